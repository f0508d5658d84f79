// The frames a control has allocated: 1024 slots named by a FrameIndex, the count, and the
// active frame whose geometry is the one programmed into the device.
//
// The table only keeps records; allocating, programming and freeing driver frames is the
// control's work (frames.cpp).
#pragma once

#include "slot_table.h"

#include <cstdint>
#include <memory>
#include <optional>

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

class FrameTable : public SlotTable<FrameRecord, 1024> {
public:
    // Inserts as the slot table does; the new active frame's copies are taken.
    std::optional<int32_t> Insert(std::unique_ptr<FrameRecord> record);

    // Copies of the active frame's base address and bytes per pixel (the defaults while
    // there is no active frame), read by drawing.
    void* ActiveBaseAddress() const { return activeBase_; }
    uint32_t ActiveBytesPerPixel() const { return activeBytesPerPixel_; }
    void SetActiveCopies(void* baseAddress, uint32_t bytesPerPixel) {
        activeBase_ = baseAddress;
        activeBytesPerPixel_ = bytesPerPixel;
    }

private:
    void* activeBase_ = nullptr;
    uint32_t activeBytesPerPixel_ = 0;
};

} // namespace core
