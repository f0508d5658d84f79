// Digital-camera board extension messages (KV7700). A failed message reports a negative last
// status unchanged and any other through MapDeviceDependentStatus. The caller sends these
// only to boards of that family.
//
// source is the effective input source; only its low 16 bits travel.
#pragma once

#include "message_send.h"

namespace imaging {

STT_APISTATUS STM_CAM_RESET(HDRVR driver);
STT_APISTATUS STM_CAM_SET_TYPE(HDRVR driver, uint32_t source, uint32_t cameraType);
STT_APISTATUS STM_CAM_GET_TYPE(HDRVR driver, uint32_t source, uint32_t* cameraType);
STT_APISTATUS STM_CAM_SET_DIGIO_CONFIG(HDRVR driver, uint32_t mask);
STT_APISTATUS STM_CAM_GET_DIGIO_CONFIG(HDRVR driver, uint32_t* mask);
STT_APISTATUS STM_CAM_SET_DIGIO_PATTERN(HDRVR driver, uint32_t pattern);
STT_APISTATUS STM_CAM_GET_DIGIO_PATTERN(HDRVR driver, uint32_t* pattern);
// enable travels as -1 or 0.
STT_APISTATUS STM_CAM_ENABLE_EXPOSE_PULSE(HDRVR driver, bool enable, uint32_t source);
// Duration and polarity always travel together. *answer receives the driver's answer word
// even when the message fails.
STT_APISTATUS STM_CAM_SET_EXPOSE_PULSE(HDRVR driver, uint32_t duration, uint32_t source,
                                       uint32_t polarity, uint32_t* answer);
STT_APISTATUS STM_CAM_GET_EXPOSE_PULSE(HDRVR driver, uint32_t source, uint32_t* duration,
                                       uint32_t* polarity);
// enable is sent unchanged (the control passes its boolean, -1 or 0).
STT_APISTATUS STM_CAM_ENABLE_SYNC_MASTER(HDRVR driver, int32_t enable, uint32_t source);
// selector: a SyncMasterParam.
STT_APISTATUS STM_CAM_SET_SYNC_MASTER_PARAM(HDRVR driver, uint32_t source, uint32_t selector,
                                            uint32_t value, uint32_t* answer);
STT_APISTATUS STM_CAM_GET_SYNC_MASTER_PARAM(HDRVR driver, uint32_t source, uint32_t selector,
                                            uint32_t* value);

} // namespace imaging
