// Line-scan extension messages (KV7400LS). A failed message reports the driver's last status
// unchanged, as the standard messages do. The caller sends these only to line-scan boards.
#pragma once

#include "message_send.h"

namespace imaging {

// mode: STC_LS_ACQUIRE_ASYNC or STC_LS_ACQUIRE_SYNC; the lines go into buffer.
STT_APISTATUS STM_LS_ACQUIRE_LINES(HDRVR driver, void* buffer, uint32_t byteCount, uint32_t mode);
// mode travels as -1 or 0.
STT_APISTATUS STM_LS_SET_MODE(HDRVR driver, bool lineScan);
// window may be 0. The driver keeps using buffers and bufferStates (bufferCount entries
// each) until passthru stops, and stores its passthru event in *passthruEvent.
STT_APISTATUS STM_LS_START_PASSTHRU(HDRVR driver, HWND window, void* const* buffers,
                                    uint32_t bufferCount, uint32_t bytesPerBuffer,
                                    HANDLE* passthruEvent, int32_t* bufferStates,
                                    bool stopOnOverflow);
STT_APISTATUS STM_LS_STOP_PASSTHRU(HDRVR driver);
// lowToHigh selects the low-to-high (true) or high-to-low (false) count.
STT_APISTATUS STM_LS_SET_INTEGRATION_COUNT(HDRVR driver, bool lowToHigh, uint32_t count);
STT_APISTATUS STM_LS_GET_INTEGRATION_COUNT(HDRVR driver, bool lowToHigh, uint32_t* count);
STT_APISTATUS STM_LS_SET_LINE_DRIVE_COUNT(HDRVR driver, bool lowToHigh, uint32_t count);
STT_APISTATUS STM_LS_GET_LINE_DRIVE_COUNT(HDRVR driver, bool lowToHigh, uint32_t* count);
STT_APISTATUS STM_LS_SET_DIGIO(HDRVR driver, uint32_t pattern);
// Also the probe of line-scan mode: it succeeds exactly when the board is in that mode.
STT_APISTATUS STM_LS_GET_DIGIO(HDRVR driver, uint32_t* pattern);
// pixels holds width x height bytes, drawn with their top left corner at (originX, originY).
STT_APISTATUS STM_LS_DRAW_ACQUIRED_LINES(HDRVR driver, HWND window, uint32_t width, uint32_t height,
                                         int32_t originX, int32_t originY, const void* pixels);
STT_APISTATUS STM_LS_IS_ACQUIRE_DONE(HDRVR driver, int32_t* done, int32_t* linesComplete,
                                     int32_t* granularity);
STT_APISTATUS STM_LS_SET_DRIVE_CLOCK_DIVIDER(HDRVR driver, uint32_t divider);
STT_APISTATUS STM_LS_GET_DRIVE_CLOCK_DIVIDER(HDRVR driver, uint32_t* divider);

} // namespace imaging
