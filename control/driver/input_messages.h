// Driver messages for device capabilities, the time-out, input capabilities, the input
// source, input controls, input lookup tables, triggers and the digital outputs.
//
// One function per message, named after it: the open driver handle, the message's inputs in
// the order of its block fields, then the addresses where answers go. A null answer address
// that the message needs returns STC_STS_NULL without sending. Fixed-size answers are copied
// to the caller only after the message succeeded; for the queries and the LUT read the driver
// writes straight into the caller's buffer of the given size. Source numbers travel as 16 bits
// (modulo 65536). STM_GET_LAST_STATUS is GetDriverLastStatus (status.h).
#pragma once

#include "records.h"
#include "status.h"

namespace imaging {

STT_APISTATUS STM_QUERY_DEVICE_CAPS(HDRVR driver, uint32_t key, void* buffer, uint32_t bufferSize);
// previous is optional: the message is sent without it, the old time-out then discarded.
STT_APISTATUS STM_SET_TIMEOUT(HDRVR driver, uint32_t seconds, uint32_t* previous);
STT_APISTATUS STM_GET_TIMEOUT(HDRVR driver, uint32_t* seconds);

STT_APISTATUS STM_QUERY_INPUT_CAPS(HDRVR driver, uint32_t key, void* buffer, uint32_t bufferSize);
STT_APISTATUS STM_SET_INPUT_SOURCE(HDRVR driver, uint32_t source, uint16_t* answer);
STT_APISTATUS STM_GET_INPUT_SOURCE(HDRVR driver, uint16_t* source);

STT_APISTATUS STM_SET_INPUT_CONTROL(HDRVR driver, uint32_t source, uint32_t control, uint32_t value,
                                    uint32_t* answer);
STT_APISTATUS STM_GET_INPUT_CONTROL(HDRVR driver, uint32_t source, uint32_t control,
                                    uint32_t* value);

// byteCount is the size of entries in bytes.
STT_APISTATUS STM_READ_INPUT_LUT(HDRVR driver, uint32_t lut, uint32_t firstEntry,
                                 uint32_t entryCount, void* entries, uint32_t byteCount);
STT_APISTATUS STM_WRITE_INPUT_LUT(HDRVR driver, uint32_t lut, uint32_t firstEntry,
                                  uint32_t entryCount, const void* entries);

// select: 1 selects the source as the based source, 0 releases it.
STT_APISTATUS STM_SELECT_BASED_SOURCE(HDRVR driver, uint32_t select, uint32_t source);

// The answered type is always copied, the transition only when that type is
// STC_FG_TRIGGER_EXTERNAL_LINE.
STT_APISTATUS STM_SET_TRIGGER(HDRVR driver, uint32_t type, uint32_t transition,
                              uint32_t* answerType, uint32_t* answerTransition);
STT_APISTATUS STM_GET_TRIGGER(HDRVR driver, uint32_t* type, uint32_t* transition);
// As for the single trigger; the mode is always copied.
STT_APISTATUS STM_SET_MULT_TRIGGER(HDRVR driver, uint32_t type, uint32_t transition, uint32_t mode,
                                   uint32_t* answerType, uint32_t* answerTransition,
                                   uint32_t* answerMode);
STT_APISTATUS STM_GET_MULT_TRIGGER(HDRVR driver, uint32_t* type, uint32_t* transition,
                                   uint32_t* mode);

STT_APISTATUS STM_QUERY_CAMCTL_CAPS(HDRVR driver, uint32_t key, void* buffer, uint32_t bufferSize);
// pattern: one bit per output line; answer receives the driver's 32-bit pattern.
STT_APISTATUS STM_SET_DIGITAL_OUTPUTS(HDRVR driver, uint32_t pattern, uint32_t* answer);

} // namespace imaging
