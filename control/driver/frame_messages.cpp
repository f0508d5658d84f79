#include "frame_messages.h"

#include "answer_send.h"

#include <cstring>

namespace imaging {
namespace {

using detail::SendForAnswer;

// A frame list in a fixed global memory block, built for one message: the handles in order,
// preceded by their count in the counted form. The block is unlocked and freed when the
// object goes, so the driver must copy the list during the message.
class FrameListBlock {
public:
    FrameListBlock(uint32_t count, const FrameHandle* frames, bool counted) {
        const size_t entries = size_t{count} + (counted ? 1 : 0);
        memory_ = GlobalAlloc(GMEM_FIXED, entries * sizeof(FrameHandle));
        if (memory_ == nullptr) return;
        list_ = static_cast<FrameHandle*>(GlobalLock(memory_));
        if (list_ == nullptr) return;
        FrameHandle* next = list_;
        if (counted) *next++ = count;
        std::memcpy(next, frames, size_t{count} * sizeof(FrameHandle));
    }
    ~FrameListBlock() {
        if (list_ != nullptr) GlobalUnlock(memory_);
        if (memory_ != nullptr) GlobalFree(memory_);
    }
    FrameListBlock(const FrameListBlock&) = delete;
    FrameListBlock& operator=(const FrameListBlock&) = delete;

    // Null when the block could not be allocated or locked.
    const FrameHandle* List() const { return list_; }

private:
    HGLOBAL memory_ = nullptr;
    FrameHandle* list_ = nullptr;
};

// Counts that are 0, or whose list would not fit in memory, are refused before allocating.
bool ListCountInRange(uint32_t count) {
    return count != 0 && size_t{count} < SIZE_MAX / sizeof(FrameHandle);
}

STT_APISTATUS Evaluate(HDRVR driver, LRESULT result) {
    return result == STC_RV_SUCCESS ? STC_STS_NORMAL
                                    : FailureStatus(driver, MessageFamily::Standard);
}

STT_APISTATUS ReadFrameInfo(HDRVR driver, unsigned code, FrameHandle frame, FrameInfo* info,
                            uint32_t presetSize) {
    if (info == nullptr) return STC_STS_NULL;
    FrameInfo answer{};
    answer.StructSize = presetSize;
    OutputDescriptor descriptor = MakeDescriptor(&answer, sizeof(answer));
    const STT_APISTATUS status = SendMessageChecked(driver, code, frame, AddressParam(&descriptor));
    if (status == STC_STS_NORMAL) *info = answer;
    return status;
}

} // namespace

// ---- Frames and memory -------------------------------------------------------------------

STT_APISTATUS STM_ALLOCATE_FRAME(HDRVR driver, uint16_t memoryType, uint16_t frameId,
                                 FrameHandle* frame) {
    const uint32_t selector = uint32_t{memoryType} | (uint32_t{frameId} << 16);
    return SendForAnswer(driver, msg::STM_ALLOCATE_FRAME, static_cast<LPARAM>(selector), frame);
}

STT_APISTATUS STM_DESTROY_FRAME(HDRVR driver, FrameHandle frame) {
    return SendMessageChecked(driver, msg::STM_DESTROY_FRAME, frame, 0);
}

STT_APISTATUS STM_MAP_FRAME(HDRVR driver, FrameHandle frame, FrameInfo* info) {
    return ReadFrameInfo(driver, msg::STM_MAP_FRAME, frame, info, 0);
}

STT_APISTATUS STM_UNMAP_FRAME(HDRVR driver, FrameHandle frame, void* baseAddress) {
    if (baseAddress == nullptr) return STC_STS_NULL;
    return SendMessageChecked(driver, msg::STM_UNMAP_FRAME, frame, AddressParam(baseAddress));
}

STT_APISTATUS STM_GET_FRAME_INFO(HDRVR driver, FrameHandle frame, FrameInfo* info) {
    return ReadFrameInfo(driver, msg::STM_GET_FRAME_INFO, frame, info, sizeof(FrameInfo));
}

STT_APISTATUS STM_READ_FRAME_RECT(HDRVR driver, FrameHandle frame, uint32_t left, uint32_t top,
                                  uint32_t width, uint32_t height, void* pixels,
                                  uint32_t byteCount) {
    if (pixels == nullptr) return STC_STS_NULL;
    FrameRectBlock block{frame, left, top, width, height};
    OutputDescriptor descriptor = MakeDescriptor(pixels, byteCount);
    return SendMessageChecked(driver, msg::STM_READ_FRAME_RECT, AddressParam(&block),
                              AddressParam(&descriptor));
}

STT_APISTATUS STM_WRITE_FRAME_RECT(HDRVR driver, FrameHandle frame, uint32_t left, uint32_t top,
                                   uint32_t width, uint32_t height, const void* pixels) {
    if (pixels == nullptr) return STC_STS_NULL;
    FrameRectBlock block{frame, left, top, width, height};
    return SendMessageChecked(driver, msg::STM_WRITE_FRAME_RECT, AddressParam(&block),
                              AddressParam(pixels));
}

STT_APISTATUS STM_COPY_FRAME_RECT(HDRVR driver, FrameHandle source, uint32_t sourceLeft,
                                  uint32_t sourceTop, uint32_t width, uint32_t height,
                                  FrameHandle destination, uint32_t destinationLeft,
                                  uint32_t destinationTop) {
    CopyBlock block{source, sourceLeft,  sourceTop,       width,
                    height, destination, destinationLeft, destinationTop};
    return SendMessageChecked(driver, msg::STM_COPY_FRAME_RECT, AddressParam(&block), 0);
}

// ---- Acquisition -------------------------------------------------------------------------

STT_APISTATUS STM_ACQUIRE_FRAME(HDRVR driver, FrameHandle frame) {
    return SendMessageChecked(driver, msg::STM_ACQUIRE_FRAME, 0, frame);
}

STT_APISTATUS STM_ACQUIRE_MULTIPLE(HDRVR driver, uint32_t count, const FrameHandle* frames) {
    if (frames == nullptr) return STC_STS_NULL;
    if (!ListCountInRange(count)) return STC_STS_RANGE;
    LRESULT result;
    {
        FrameListBlock block(count, frames, false);
        if (block.List() == nullptr) return STC_STS_NOMEM;
        result = SendDriverMessage(driver, msg::STM_ACQUIRE_MULTIPLE, static_cast<LPARAM>(count),
                                   AddressParam(block.List()));
    }
    return Evaluate(driver, result);
}

STT_APISTATUS STM_START_ASYNC_ACQUIRE(HDRVR driver, FrameHandle frame, JobId* job) {
    return SendForAnswer(driver, msg::STM_START_ASYNC_ACQUIRE, frame, job);
}

STT_APISTATUS STM_START_ASYNC_ACQUIRE_MULTIPLE(HDRVR driver, uint32_t count,
                                               const FrameHandle* frames, JobId* job) {
    if (frames == nullptr || job == nullptr) return STC_STS_NULL;
    if (!ListCountInRange(count)) return STC_STS_RANGE;
    JobId answer = 0;
    OutputDescriptor descriptor = MakeDescriptor(&answer, sizeof(answer));
    LRESULT result;
    {
        FrameListBlock block(count, frames, true);
        if (block.List() == nullptr) return STC_STS_NOMEM;
        result = SendDriverMessage(driver, msg::STM_START_ASYNC_ACQUIRE_MULTIPLE,
                                   AddressParam(block.List()), AddressParam(&descriptor));
    }
    const STT_APISTATUS status = Evaluate(driver, result);
    if (status == STC_STS_NORMAL) *job = answer;
    return status;
}

STT_APISTATUS STM_IS_ASYNC_ACQUIRE_DONE(HDRVR driver, JobId job, uint32_t* done,
                                        STT_APISTATUS* jobStatus, uint32_t* bytesToHost) {
    if (done == nullptr || jobStatus == nullptr || bytesToHost == nullptr) return STC_STS_NULL;
    AsyncDoneAnswer answer{};
    const STT_APISTATUS status =
        SendForAnswer(driver, msg::STM_IS_ASYNC_ACQUIRE_DONE, job, &answer);
    if (status != STC_STS_NORMAL) return status;
    *done = answer.Done;
    *jobStatus = TranslateDriverStatus(answer.JobStatus);
    *bytesToHost = answer.BytesToHost;
    return status;
}

STT_APISTATUS STM_STOP_ASYNC_ACQUIRE(HDRVR driver, JobId job, STT_APISTATUS* jobStatus) {
    return detail::StopJob(driver, msg::STM_STOP_ASYNC_ACQUIRE, job, jobStatus);
}

STT_APISTATUS STM_DRAW_ACQUIRED_FRAME(HDRVR driver, FrameHandle frame, HWND window) {
    if (!IsWindow(window)) return STC_STS_INVALIDHWND;
    return SendMessageChecked(driver, msg::STM_DRAW_ACQUIRED_FRAME, frame, AddressParam(window));
}

STT_APISTATUS AcquireFrameList(HDRVR driver, uint32_t count, const FrameHandle* frames) {
    if (frames == nullptr) return STC_STS_NULL;
    if (count == 1) return STM_ACQUIRE_FRAME(driver, frames[0]);
    return STM_ACQUIRE_MULTIPLE(driver, count, frames);
}

STT_APISTATUS StartAsyncAcquireFrameList(HDRVR driver, uint32_t count, const FrameHandle* frames,
                                         JobId* job) {
    if (frames == nullptr || job == nullptr) return STC_STS_NULL;
    if (count == 1) return STM_START_ASYNC_ACQUIRE(driver, frames[0], job);
    return STM_START_ASYNC_ACQUIRE_MULTIPLE(driver, count, frames, job);
}

} // namespace imaging
