#include "passthru_messages.h"

#include "answer_send.h"

namespace imaging {
namespace {

using detail::SendForAnswer;
using detail::SendForBareAnswer;

STT_APISTATUS SendTable(HDRVR driver, unsigned code, int32_t firstEntry, int32_t entryCount,
                        const void* entries) {
    if (entries == nullptr) return STC_STS_NULL;
    PairBlock range{firstEntry, entryCount};
    return SendMessageChecked(driver, code, AddressParam(&range), AddressParam(entries));
}

} // namespace

STT_APISTATUS STM_QUERY_PASSTHRU_CAPS(HDRVR driver, uint32_t key, void* answer,
                                      uint32_t answerSize) {
    if (answer == nullptr) return STC_STS_NULL;
    OutputDescriptor descriptor = MakeDescriptor(answer, answerSize);
    return SendMessageChecked(driver, msg::STM_QUERY_PASSTHRU_CAPS, key, AddressParam(&descriptor));
}

STT_APISTATUS STM_START_PASSTHRU(HDRVR driver, HWND window, FrameHandle frame) {
    if (!IsWindow(window)) return STC_STS_INVALIDHWND;
    WindowBlock block{window, frame};
    return SendMessageChecked(driver, msg::STM_START_PASSTHRU, AddressParam(&block), 0);
}

STT_APISTATUS STM_START_ASYNC_PASSTHRU(HDRVR driver, HWND window, FrameHandle frame, JobId* job) {
    // A job nobody can stop is worse than none: the job address is required.
    if (job == nullptr) return STC_STS_NULL;
    if (!IsWindow(window)) return STC_STS_INVALIDHWND;
    WindowBlock block{window, frame};
    return SendForAnswer(driver, msg::STM_START_ASYNC_PASSTHRU, AddressParam(&block), job);
}

STT_APISTATUS STM_START_PASSTHRU_EX(HDRVR driver, HWND window, const FrameHandle* frames,
                                    int32_t* counters, uint32_t frameCount, HANDLE* syncEvent,
                                    JobId* job) {
    ExtPassthruBlock block{window, frames, counters, frameCount, syncEvent, 0, job};
    OutputDescriptor descriptor = MakeDescriptor(job, sizeof(JobId));
    return SendMessageChecked(driver, msg::STM_START_PASSTHRU_EX, AddressParam(&block),
                              AddressParam(&descriptor));
}

STT_APISTATUS STM_SET_PASSTHRU_SCALING(HDRVR driver, int32_t width, int32_t height,
                                       int32_t* usedWidth, int32_t* usedHeight) {
    if (usedWidth == nullptr || usedHeight == nullptr) return STC_STS_NULL;
    PairBlock request{width, height};
    PairBlock used{};
    const STT_APISTATUS status =
        SendForAnswer(driver, msg::STM_SET_PASSTHRU_SCALING, AddressParam(&request), &used);
    if (status == STC_STS_NORMAL) {
        *usedWidth = used.First;
        *usedHeight = used.Second;
    }
    return status;
}

STT_APISTATUS STM_STOP_PASSTHRU(HDRVR driver, JobId job, STT_APISTATUS* jobStatus) {
    return detail::StopJob(driver, msg::STM_STOP_PASSTHRU, job, jobStatus);
}

STT_APISTATUS STM_SET_PASSTHRU_SOURCE_ORIGIN(HDRVR driver, int32_t x, int32_t y) {
    PairBlock origin{x, y};
    return SendMessageChecked(driver, msg::STM_SET_PASSTHRU_SOURCE_ORIGIN, AddressParam(&origin),
                              0);
}

STT_APISTATUS STM_GET_PASSTHRU_SOURCE_ORIGIN(HDRVR driver, int32_t* x, int32_t* y) {
    if (x == nullptr || y == nullptr) return STC_STS_NULL;
    PairBlock origin{};
    const STT_APISTATUS status =
        SendForAnswer(driver, msg::STM_GET_PASSTHRU_SOURCE_ORIGIN, 0, &origin);
    if (status == STC_STS_NORMAL) {
        *x = origin.First;
        *y = origin.Second;
    }
    return status;
}

STT_APISTATUS STM_LOAD_PASSTHRU_LUT(HDRVR driver, int32_t firstEntry, int32_t entryCount,
                                    const void* entries) {
    return SendTable(driver, msg::STM_LOAD_PASSTHRU_LUT, firstEntry, entryCount, entries);
}

STT_APISTATUS STM_LOAD_DEFAULT_PASSTHRU_LUT(HDRVR driver) {
    return SendMessageChecked(driver, msg::STM_LOAD_DEFAULT_PASSTHRU_LUT, 0, 0);
}

STT_APISTATUS STM_EXTEND_PASSTHRU_PALETTE(HDRVR driver, int32_t firstEntry, int32_t entryCount,
                                          const void* entries) {
    return SendTable(driver, msg::STM_EXTEND_PASSTHRU_PALETTE, firstEntry, entryCount, entries);
}

STT_APISTATUS STM_PASSTHRU_SNAPSHOT(HDRVR driver, FrameHandle frame) {
    return SendMessageChecked(driver, msg::STM_PASSTHRU_SNAPSHOT, frame, 0);
}

STT_APISTATUS STM_GET_SYNC_EVENT(HDRVR driver, HANDLE* event) {
    return SendForBareAnswer(driver, msg::STM_GET_SYNC_EVENT, 0, event);
}

} // namespace imaging
