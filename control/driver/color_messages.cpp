#include "color_messages.h"

#include "answer_send.h"

namespace imaging {
namespace {

constexpr MessageFamily kFamily = MessageFamily::Color;

STT_APISTATUS SendInOut(HDRVR driver, unsigned code, LPARAM param1, uint32_t* value) {
    return detail::SendInOutValue(driver, code, param1, value, kFamily);
}

// The operation block carries the address of its parameter code, which lives here.
STT_APISTATUS SendOperation(HDRVR driver, unsigned code, uint32_t operation, uint32_t source,
                            uint32_t parameter, uint32_t* value) {
    ColorOperationBlock block{operation, source, &parameter};
    return SendInOut(driver, code, AddressParam(&block), value);
}

LPARAM QueryWord(uint32_t source, uint32_t operation) {
    return static_cast<LPARAM>(ColorQueryWord(source, operation));
}

} // namespace

STT_APISTATUS STM_CLR_QUERY_INTERFACE(HDRVR driver, uint32_t interfaceCode) {
    return SendMessageChecked(driver, msg::STM_CLR_QUERY_INTERFACE, AddressParam(&interfaceCode), 0,
                              kFamily);
}

STT_APISTATUS STM_CLR_STORAGE_MODE(HDRVR driver, uint32_t source, uint32_t operation,
                                   uint32_t* answer) {
    // In and out: the write operation sends the caller's mode, the others answer into it.
    return SendInOut(driver, msg::STM_CLR_STORAGE_MODE, QueryWord(source, operation), answer);
}

STT_APISTATUS STM_CLR_IMAGE_PARAMETER(HDRVR driver, uint32_t operation, uint32_t source,
                                      uint32_t parameter, uint32_t* value) {
    return SendOperation(driver, msg::STM_CLR_IMAGE_PARAMETER, operation, source, parameter, value);
}

STT_APISTATUS STM_CLR_SCALING(HDRVR driver, uint32_t source, uint32_t operation,
                              STT_SCALE_PARAM* scale) {
    // In and out, like the storage mode: the write operation sends the caller's scales.
    if (scale == nullptr) return STC_STS_NULL;
    STT_SCALE_PARAM value = *scale;
    const STT_APISTATUS status = SendMessageChecked(
        driver, msg::STM_CLR_SCALING, QueryWord(source, operation), AddressParam(&value), kFamily);
    if (status == STC_STS_NORMAL) *scale = value;
    return status;
}

STT_APISTATUS STM_CLR_DIGITAL_IO(HDRVR driver, uint32_t operation, uint32_t* value) {
    return SendInOut(driver, msg::STM_CLR_DIGITAL_IO, operation, value);
}

STT_APISTATUS STM_CLR_SIGNAL_TYPE(HDRVR driver, uint32_t source, uint32_t operation,
                                  uint32_t* value) {
    return SendInOut(driver, msg::STM_CLR_SIGNAL_TYPE, QueryWord(source, operation), value);
}

STT_APISTATUS STM_CLR_SYNC_MASTER(HDRVR driver, uint32_t operation, uint32_t source,
                                  uint32_t* value) {
    return SendOperation(driver, msg::STM_CLR_SYNC_MASTER, operation, source,
                         STC_SYNC_MASTER_ENABLE, value);
}

uint32_t PackPlaneRecords(const PlaneBuffer* red, const PlaneBuffer* green, const PlaneBuffer* blue,
                          STT_BUFFER_INFO (&records)[3]) {
    const struct {
        const PlaneBuffer* plane;
        uint32_t bit;
    } planes[] = {{red, kPlaneRed}, {green, kPlaneGreen}, {blue, kPlaneBlue}};

    uint32_t mask = 0;
    size_t packed = 0;
    for (auto& record : records)
        record = STT_BUFFER_INFO{};
    for (const auto& [plane, bit] : planes) {
        if (plane == nullptr) continue;
        const uint64_t bytes = uint64_t{plane->Width} * plane->Height * plane->ElementSize;
        STT_BUFFER_INFO& record = records[packed++];
        record.StructSize = sizeof(STT_BUFFER_INFO);
        record.BufferAddr = plane->Data;
        record.BufferSize = bytes > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(bytes);
        record.Width = plane->Width;
        record.Height = plane->Height;
        record.PixelDepth = plane->ElementSize;
        mask |= bit;
    }
    records[0].Flags = mask;
    return mask;
}

STT_APISTATUS STM_CLR_EXTRACT_PLANES(HDRVR driver, FrameHandle frame, STT_BUFFER_INFO* records,
                                     uint32_t planeMask) {
    if (records == nullptr) return STC_STS_NULL;
    records[0].Flags = planeMask;
    return SendMessageChecked(driver, msg::STM_CLR_EXTRACT_PLANES, frame, AddressParam(records),
                              kFamily);
}

STT_APISTATUS STM_CLR_DRAW_PLANE(HDRVR driver, const STT_BUFFER_INFO* plane, HWND window) {
    if (plane == nullptr) return STC_STS_NULL;
    return SendMessageChecked(driver, msg::STM_CLR_DRAW_PLANE, AddressParam(plane),
                              AddressParam(window), kFamily);
}

} // namespace imaging
