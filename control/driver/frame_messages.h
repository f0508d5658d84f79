// Driver messages for frame buffers (allocate, map, read, write, copy, free) and for
// acquiring images into them, synchronously and as background jobs.
//
// Each function takes the open driver handle, the message's inputs in the order of its block
// fields, then the addresses where answers go. Answers are copied only after a successful
// message, except the final job status of STM_STOP_ASYNC_ACQUIRE, which is always handed over.
#pragma once

#include "message_send.h"

namespace imaging {

// ---- Frames and memory -------------------------------------------------------------------

// lParam1 carries the memory type in its low and the built-in frame id in its high 16 bits;
// the control asks for STC_FG_DEV_MEM_VOLATILE and STC_FG_ANY_FRAME_ID.
STT_APISTATUS STM_ALLOCATE_FRAME(HDRVR driver, uint16_t memoryType, uint16_t frameId,
                                 FrameHandle* frame);
STT_APISTATUS STM_DESTROY_FRAME(HDRVR driver, FrameHandle frame);
STT_APISTATUS STM_MAP_FRAME(HDRVR driver, FrameHandle frame, FrameInfo* info);
// baseAddress is the one the frame info of STM_MAP_FRAME gave; null is refused.
STT_APISTATUS STM_UNMAP_FRAME(HDRVR driver, FrameHandle frame, void* baseAddress);
STT_APISTATUS STM_GET_FRAME_INFO(HDRVR driver, FrameHandle frame, FrameInfo* info);
// The rectangle's pixels, row after row, go straight into the caller's buffer.
STT_APISTATUS STM_READ_FRAME_RECT(HDRVR driver, FrameHandle frame, uint32_t left, uint32_t top,
                                  uint32_t width, uint32_t height, void* pixels,
                                  uint32_t byteCount);
STT_APISTATUS STM_WRITE_FRAME_RECT(HDRVR driver, FrameHandle frame, uint32_t left, uint32_t top,
                                   uint32_t width, uint32_t height, const void* pixels);
STT_APISTATUS STM_COPY_FRAME_RECT(HDRVR driver, FrameHandle source, uint32_t sourceLeft,
                                  uint32_t sourceTop, uint32_t width, uint32_t height,
                                  FrameHandle destination, uint32_t destinationLeft,
                                  uint32_t destinationTop);

// ---- Acquisition -------------------------------------------------------------------------

STT_APISTATUS STM_ACQUIRE_FRAME(HDRVR driver, FrameHandle frame);
// The handles travel in a fixed global memory block that lives for the message only.
// A count of 0 is refused with STC_STS_RANGE; no memory gives STC_STS_NOMEM.
STT_APISTATUS STM_ACQUIRE_MULTIPLE(HDRVR driver, uint32_t count, const FrameHandle* frames);
STT_APISTATUS STM_START_ASYNC_ACQUIRE(HDRVR driver, FrameHandle frame, JobId* job);
// As STM_ACQUIRE_MULTIPLE, with the count in front of the handles.
STT_APISTATUS STM_START_ASYNC_ACQUIRE_MULTIPLE(HDRVR driver, uint32_t count,
                                               const FrameHandle* frames, JobId* job);
// jobStatus receives the job's status translated into the API form.
STT_APISTATUS STM_IS_ASYNC_ACQUIRE_DONE(HDRVR driver, JobId job, uint32_t* done,
                                        STT_APISTATUS* jobStatus, uint32_t* bytesToHost);
// jobStatus receives the job's translated final status even when the message fails.
STT_APISTATUS STM_STOP_ASYNC_ACQUIRE(HDRVR driver, JobId job, STT_APISTATUS* jobStatus);
// The window must exist (STC_STS_INVALIDHWND otherwise, nothing sent).
STT_APISTATUS STM_DRAW_ACQUIRED_FRAME(HDRVR driver, FrameHandle frame, HWND window);

// One frame is acquired with STM_ACQUIRE_FRAME, several with STM_ACQUIRE_MULTIPLE.
STT_APISTATUS AcquireFrameList(HDRVR driver, uint32_t count, const FrameHandle* frames);
// One frame starts with STM_START_ASYNC_ACQUIRE, several with STM_START_ASYNC_ACQUIRE_MULTIPLE.
STT_APISTATUS StartAsyncAcquireFrameList(HDRVR driver, uint32_t count, const FrameHandle* frames,
                                         JobId* job);

} // namespace imaging
