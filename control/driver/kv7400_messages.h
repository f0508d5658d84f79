// Messages of the KV7400 board library (KV7400, KV7400LS): sync master and analog parameters.
// A failed message reports a negative last status unchanged and any other through
// MapDeviceDependentStatus. A successful answer must be exactly 4 bytes; any other count is
// reported as STC_STS_STRUCTSIZ and the answer is not used. The caller sends these only to
// boards with that library.
//
// source is the effective input source; only its low 16 bits travel.
#pragma once

#include "message_send.h"

namespace imaging {

// enable is sent unchanged (the control passes its boolean, -1 or 0).
STT_APISTATUS STM_7400_ENABLE_SYNC_MASTER(HDRVR driver, int32_t enable, uint32_t source);
// selector: a SyncMasterParam.
STT_APISTATUS STM_7400_SET_SYNC_MASTER_PARAM(HDRVR driver, uint32_t source, uint32_t selector,
                                             uint32_t value, uint32_t* answer);
STT_APISTATUS STM_7400_GET_SYNC_MASTER_PARAM(HDRVR driver, uint32_t source, uint32_t selector,
                                             uint32_t* value);
// selector: an AnalogParam.
STT_APISTATUS STM_7400_SET_ANALOG_PARAM(HDRVR driver, uint32_t source, uint32_t selector,
                                        uint32_t value, uint32_t* answer);
STT_APISTATUS STM_7400_GET_ANALOG_PARAM(HDRVR driver, uint32_t source, uint32_t selector,
                                        uint32_t* value);

} // namespace imaging
