#include "frame_table.h"

namespace core {

std::optional<int32_t> FrameTable::Insert(std::unique_ptr<FrameRecord> record) {
    if (!record) return std::nullopt;
    void* const baseAddress = record->baseAddress;
    const uint32_t bytesPerPixel = record->bytesPerPixel;
    const std::optional<int32_t> index = SlotTable::Insert(std::move(record));
    if (index) SetActiveCopies(baseAddress, bytesPerPixel);
    return index;
}

} // namespace core
