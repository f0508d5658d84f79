// A table of numbered slots, each empty or owning one record, with the count and the active
// slot: the control's frames (1024 slots) and overlay surfaces (64 slots).
//
// The table only keeps records; what a record stands for in the driver is its owner's work.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace core {

template <class Record, int32_t Slots> class SlotTable {
public:
    static constexpr int32_t kSlots = Slots;
    static constexpr int32_t kNone = -1; // no active slot; as an argument: the active one

    int32_t Count() const { return count_; }
    int32_t ActiveIndex() const { return active_; }
    bool Full() const { return count_ == kSlots; }

    // True for 0..kSlots-1 naming an occupied slot.
    bool Valid(int32_t index) const { return index >= 0 && index < kSlots && slots_[index]; }
    // The record in slot index, or null when the index is not valid.
    Record* Find(int32_t index) { return Valid(index) ? slots_[index].get() : nullptr; }
    const Record* Find(int32_t index) const { return Valid(index) ? slots_[index].get() : nullptr; }
    // -1 stands for the active slot; the resulting index when it names a record.
    std::optional<int32_t> Resolve(int32_t index) const {
        const int32_t resolved = index == kNone ? active_.load() : index;
        if (!Valid(resolved)) return std::nullopt;
        return resolved;
    }
    // The active record; null when there is none.
    const Record* Active() const { return Find(active_); }
    Record* Active() { return Find(active_); }

    // Puts the record into the lowest empty slot and makes it active. The index, or none
    // (the record dropped, nothing changed) when every slot is occupied.
    std::optional<int32_t> Insert(std::unique_ptr<Record> record) {
        if (!record) return std::nullopt;
        for (int32_t index = 0; index < kSlots; ++index) {
            if (slots_[index]) continue;
            slots_[index] = std::move(record);
            active_ = index;
            ++count_;
            return index;
        }
        return std::nullopt;
    }
    // Empties a valid slot and hands its record back; the active index is left as it is.
    std::unique_ptr<Record> Remove(int32_t index) {
        if (!Valid(index)) return nullptr;
        --count_;
        return std::move(slots_[index]);
    }
    // Empties every slot, lowest first; the active index becomes -1.
    std::vector<std::unique_ptr<Record>> RemoveAll() {
        std::vector<std::unique_ptr<Record>> removed;
        for (auto& slot : slots_) {
            if (slot) removed.push_back(std::move(slot));
        }
        count_ = 0;
        active_ = kNone;
        return removed;
    }

    // The slot to make active after slot `removed` was emptied: the nearest occupied slot
    // below it, else the nearest above, else -1.
    int32_t Neighbour(int32_t removed) const {
        if (count_ == 0) return kNone;
        for (int32_t index = removed - 1; index >= 0; --index) {
            if (index < kSlots && slots_[index]) return index;
        }
        for (int32_t index = removed + 1; index < kSlots; ++index) {
            if (index >= 0 && slots_[index]) return index;
        }
        return kNone;
    }
    // Makes index (valid, or -1) the active slot. False for any other index.
    bool SetActive(int32_t index) {
        if (index != kNone && !Valid(index)) return false;
        active_ = index;
        return true;
    }

private:
    std::array<std::unique_ptr<Record>, kSlots> slots_;
    int32_t count_ = 0;
    std::atomic<int32_t> active_{kNone}; // also read by the passthru worker
};

} // namespace core
