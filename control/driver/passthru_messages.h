// Driver messages for live video ("passthru") into a window: starting it in its three modes,
// scaling and origin, lookup table and palette, snapshots, the sync event, and stopping.
#pragma once

#include "message_send.h"

namespace imaging {

// The key's answer goes straight into the caller's buffer of answerSize bytes.
STT_APISTATUS STM_QUERY_PASSTHRU_CAPS(HDRVR driver, uint32_t key, void* answer,
                                      uint32_t answerSize);

// Synchronous passthru (mode 8): no job. The window must exist (STC_STS_INVALIDHWND).
STT_APISTATUS STM_START_PASSTHRU(HDRVR driver, HWND window, FrameHandle frame);
// Asynchronous passthru (mode 4): the job id goes to *job. The window must exist.
STT_APISTATUS STM_START_ASYNC_PASSTHRU(HDRVR driver, HWND window, FrameHandle frame, JobId* job);
// Extended passthru (mode 16). counters has one entry per frame slot (kFrameSlots); the
// driver stores its extended sync event in *syncEvent and the job id in *job. Sent unchecked.
STT_APISTATUS STM_START_PASSTHRU_EX(HDRVR driver, HWND window, const FrameHandle* frames,
                                    int32_t* counters, uint32_t frameCount, HANDLE* syncEvent,
                                    JobId* job);

// Asks for a scaled size; the driver answers the size it will use.
STT_APISTATUS STM_SET_PASSTHRU_SCALING(HDRVR driver, int32_t width, int32_t height,
                                       int32_t* usedWidth, int32_t* usedHeight);
// jobStatus receives the job's translated final status even when the message fails.
STT_APISTATUS STM_STOP_PASSTHRU(HDRVR driver, JobId job, STT_APISTATUS* jobStatus);

STT_APISTATUS STM_SET_PASSTHRU_SOURCE_ORIGIN(HDRVR driver, int32_t x, int32_t y);
STT_APISTATUS STM_GET_PASSTHRU_SOURCE_ORIGIN(HDRVR driver, int32_t* x, int32_t* y);

// entries points at entryCount lookup-table (or palette) entries, passed to the driver as is.
STT_APISTATUS STM_LOAD_PASSTHRU_LUT(HDRVR driver, int32_t firstEntry, int32_t entryCount,
                                    const void* entries);
STT_APISTATUS STM_LOAD_DEFAULT_PASSTHRU_LUT(HDRVR driver);
STT_APISTATUS STM_EXTEND_PASSTHRU_PALETTE(HDRVR driver, int32_t firstEntry, int32_t entryCount,
                                          const void* entries);

// The current live image goes into the frame.
STT_APISTATUS STM_PASSTHRU_SNAPSHOT(HDRVR driver, FrameHandle frame);
// The event the driver signals for each passthru image.
STT_APISTATUS STM_GET_SYNC_EVENT(HDRVR driver, HANDLE* event);

} // namespace imaging
