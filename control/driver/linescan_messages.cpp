#include "linescan_messages.h"

#include "answer_send.h"

namespace imaging {
namespace {

constexpr MessageFamily kFamily = MessageFamily::LineScan;

STT_APISTATUS Send(HDRVR driver, unsigned code, LPARAM param1, LPARAM param2) {
    return SendMessageChecked(driver, code, param1, param2, kFamily);
}

LPARAM EdgeParam(bool lowToHigh) {
    return lowToHigh ? 1 : 0;
}

STT_APISTATUS GetCount(HDRVR driver, unsigned code, bool lowToHigh, uint32_t* count) {
    return detail::SendForBareAnswer(driver, code, EdgeParam(lowToHigh), count, kFamily);
}

} // namespace

STT_APISTATUS STM_LS_ACQUIRE_LINES(HDRVR driver, void* buffer, uint32_t byteCount, uint32_t mode) {
    if (buffer == nullptr) return STC_STS_NULL;
    LineAcquirePair pair{byteCount, mode};
    return Send(driver, msg::STM_LS_ACQUIRE_LINES, AddressParam(buffer), AddressParam(&pair));
}

STT_APISTATUS STM_LS_SET_MODE(HDRVR driver, bool lineScan) {
    return Send(driver, msg::STM_LS_SET_MODE, detail::SignedBoolParam(lineScan), 0);
}

STT_APISTATUS STM_LS_START_PASSTHRU(HDRVR driver, HWND window, void* const* buffers,
                                    uint32_t bufferCount, uint32_t bytesPerBuffer,
                                    HANDLE* passthruEvent, int32_t* bufferStates,
                                    bool stopOnOverflow) {
    if (buffers == nullptr || passthruEvent == nullptr || bufferStates == nullptr)
        return STC_STS_NULL;
    // The list sizes are 4 bytes per buffer, as the protocol counts them.
    if (bufferCount > UINT32_MAX / 4) return STC_STS_RANGE;
    const uint32_t listSize = bufferCount * 4;
    LinePassthruBlock block{window,         buffers,  bufferCount,
                            bytesPerBuffer, listSize, passthruEvent,
                            bufferStates,   listSize, stopOnOverflow ? 1u : 0u};
    return Send(driver, msg::STM_LS_START_PASSTHRU, AddressParam(&block), 0);
}

STT_APISTATUS STM_LS_STOP_PASSTHRU(HDRVR driver) {
    return Send(driver, msg::STM_LS_STOP_PASSTHRU, 0, 0);
}

STT_APISTATUS STM_LS_SET_INTEGRATION_COUNT(HDRVR driver, bool lowToHigh, uint32_t count) {
    return Send(driver, msg::STM_LS_SET_INTEGRATION_COUNT, EdgeParam(lowToHigh), count);
}

STT_APISTATUS STM_LS_GET_INTEGRATION_COUNT(HDRVR driver, bool lowToHigh, uint32_t* count) {
    return GetCount(driver, msg::STM_LS_GET_INTEGRATION_COUNT, lowToHigh, count);
}

STT_APISTATUS STM_LS_SET_LINE_DRIVE_COUNT(HDRVR driver, bool lowToHigh, uint32_t count) {
    return Send(driver, msg::STM_LS_SET_LINE_DRIVE_COUNT, EdgeParam(lowToHigh), count);
}

STT_APISTATUS STM_LS_GET_LINE_DRIVE_COUNT(HDRVR driver, bool lowToHigh, uint32_t* count) {
    return GetCount(driver, msg::STM_LS_GET_LINE_DRIVE_COUNT, lowToHigh, count);
}

STT_APISTATUS STM_LS_SET_DIGIO(HDRVR driver, uint32_t pattern) {
    return Send(driver, msg::STM_LS_SET_DIGIO, 0, pattern);
}

STT_APISTATUS STM_LS_GET_DIGIO(HDRVR driver, uint32_t* pattern) {
    return detail::SendForBareAnswer(driver, msg::STM_LS_GET_DIGIO, 0, pattern, kFamily);
}

STT_APISTATUS STM_LS_DRAW_ACQUIRED_LINES(HDRVR driver, HWND window, uint32_t width, uint32_t height,
                                         int32_t originX, int32_t originY, const void* pixels) {
    if (pixels == nullptr) return STC_STS_NULL;
    const uint64_t bytes = uint64_t{width} * height;
    if (bytes > UINT32_MAX) return STC_STS_RANGE;
    LineDrawBlock block{static_cast<uint32_t>(bytes), 1, width, height, originX, originY, pixels};
    return Send(driver, msg::STM_LS_DRAW_ACQUIRED_LINES, AddressParam(window),
                AddressParam(&block));
}

STT_APISTATUS STM_LS_IS_ACQUIRE_DONE(HDRVR driver, int32_t* done, int32_t* linesComplete,
                                     int32_t* granularity) {
    if (done == nullptr || linesComplete == nullptr || granularity == nullptr) return STC_STS_NULL;
    int32_t answers[3] = {};
    LineStatusBlock block{&answers[0], &answers[1], &answers[2]};
    const STT_APISTATUS status = Send(driver, msg::STM_LS_IS_ACQUIRE_DONE, AddressParam(&block), 0);
    if (status == STC_STS_NORMAL) {
        *done = answers[0];
        *linesComplete = answers[1];
        *granularity = answers[2];
    }
    return status;
}

STT_APISTATUS STM_LS_SET_DRIVE_CLOCK_DIVIDER(HDRVR driver, uint32_t divider) {
    return Send(driver, msg::STM_LS_SET_DRIVE_CLOCK_DIVIDER, divider, 0);
}

STT_APISTATUS STM_LS_GET_DRIVE_CLOCK_DIVIDER(HDRVR driver, uint32_t* divider) {
    if (divider == nullptr) return STC_STS_NULL;
    uint32_t answer = 0;
    const STT_APISTATUS status =
        Send(driver, msg::STM_LS_GET_DRIVE_CLOCK_DIVIDER, AddressParam(&answer), 0);
    if (status == STC_STS_NORMAL) *divider = answer;
    return status;
}

} // namespace imaging
