// The frames a control has allocated: 1024 slots named by a FrameIndex, the count, and the
// active frame whose geometry is the one programmed into the device.
//
// The table only keeps records; allocating, programming and freeing driver frames is the
// control's work (frames.cpp).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace core {

// The device values a frame was allocated with, read back from the driver.
struct FrameRecord {
    uint32_t driverFrameId = 0;  // 0 until the driver allocated it
    void* baseAddress = nullptr; // the mapped pixels; null until mapped
    uint32_t bytesPerPixel = 0;
    int32_t left = 0, top = 0, width = 0, height = 0;
    int32_t scaledWidth = 0, scaledHeight = 0;          // after software decimation
    int32_t horizontalScale = 100, verticalScale = 100; // percent
    int32_t frameType = 0;
    int32_t storageMode = 0;
};

class FrameTable {
public:
    static constexpr int32_t kSlots = 1024;
    static constexpr int32_t kNone = -1; // no active frame; as an argument: the active frame

    int32_t Count() const { return count_; }
    int32_t ActiveIndex() const { return active_; }
    bool Full() const { return count_ == kSlots; }

    // True for 0..1023 naming an occupied slot.
    bool Valid(int32_t index) const;
    // The record in slot index, or null when the index is not valid.
    FrameRecord* Find(int32_t index);
    const FrameRecord* Find(int32_t index) const;
    // -1 stands for the active frame; the resulting index when it names a frame.
    std::optional<int32_t> Resolve(int32_t index) const;
    // The active frame's record; null when there is none.
    const FrameRecord* Active() const { return Find(active_); }

    // Puts the record into the lowest empty slot and makes it active. The index, or none
    // (the record dropped, nothing changed) when every slot is occupied.
    std::optional<int32_t> Insert(std::unique_ptr<FrameRecord> record);
    // Empties a valid slot and hands its record back; the active index is left as it is.
    std::unique_ptr<FrameRecord> Remove(int32_t index);
    // Empties every slot, lowest first; the active index becomes -1.
    std::vector<std::unique_ptr<FrameRecord>> RemoveAll();

    // The frame to make active after slot `removed` was emptied: the nearest occupied slot
    // below it, else the nearest above, else -1.
    int32_t Neighbour(int32_t removed) const;
    // Makes index (valid, or -1) the active frame. False for any other index.
    bool SetActive(int32_t index);

    // Copies of the active frame's base address and bytes per pixel (the defaults while
    // there is no active frame), read by drawing.
    void* ActiveBaseAddress() const { return activeBase_; }
    uint32_t ActiveBytesPerPixel() const { return activeBytesPerPixel_; }
    void SetActiveCopies(void* baseAddress, uint32_t bytesPerPixel) {
        activeBase_ = baseAddress;
        activeBytesPerPixel_ = bytesPerPixel;
    }

private:
    std::array<std::unique_ptr<FrameRecord>, kSlots> slots_;
    int32_t count_ = 0;
    std::atomic<int32_t> active_{kNone}; // also read by the passthru worker
    void* activeBase_ = nullptr;
    uint32_t activeBytesPerPixel_ = 0;
};

} // namespace core
