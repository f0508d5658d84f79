#include "frame_table.h"

namespace core {

bool FrameTable::Valid(int32_t index) const {
    return index >= 0 && index < kSlots && slots_[index];
}

FrameRecord* FrameTable::Find(int32_t index) {
    return Valid(index) ? slots_[index].get() : nullptr;
}

const FrameRecord* FrameTable::Find(int32_t index) const {
    return Valid(index) ? slots_[index].get() : nullptr;
}

std::optional<int32_t> FrameTable::Resolve(int32_t index) const {
    const int32_t resolved = index == kNone ? active_.load() : index;
    if (!Valid(resolved)) return std::nullopt;
    return resolved;
}

std::optional<int32_t> FrameTable::Insert(std::unique_ptr<FrameRecord> record) {
    if (!record) return std::nullopt;
    for (int32_t index = 0; index < kSlots; ++index) {
        if (slots_[index]) continue;
        SetActiveCopies(record->baseAddress, record->bytesPerPixel);
        slots_[index] = std::move(record);
        active_ = index;
        ++count_;
        return index;
    }
    return std::nullopt;
}

std::unique_ptr<FrameRecord> FrameTable::Remove(int32_t index) {
    if (!Valid(index)) return nullptr;
    --count_;
    return std::move(slots_[index]);
}

std::vector<std::unique_ptr<FrameRecord>> FrameTable::RemoveAll() {
    std::vector<std::unique_ptr<FrameRecord>> removed;
    for (auto& slot : slots_) {
        if (slot) removed.push_back(std::move(slot));
    }
    count_ = 0;
    active_ = kNone;
    return removed;
}

int32_t FrameTable::Neighbour(int32_t removed) const {
    if (count_ == 0) return kNone;
    for (int32_t index = removed - 1; index >= 0; --index) {
        if (index < kSlots && slots_[index]) return index;
    }
    for (int32_t index = removed + 1; index < kSlots; ++index) {
        if (index >= 0 && slots_[index]) return index;
    }
    return kNone;
}

bool FrameTable::SetActive(int32_t index) {
    if (index != kNone && !Valid(index)) return false;
    active_ = index;
    return true;
}

} // namespace core
