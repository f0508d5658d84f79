// The frame store of a board: frame buffers with real pixel memory.
//
// A frame is allocated with the geometry of the board's frame controls (left, top, width,
// height, increments, frame type of the effective input source) and the storage mode
// current at allocation. Its pixel memory is one VirtualAlloc block that stays at one
// address for the frame's whole life; mapping hands that address to the caller (the driver
// runs in the caller's process). Frames are shared: an acquisition job holds its frames, so
// a frame destroyed while a job fills it lives on, unlisted, until the job lets it go.
//
// Frame information block as this driver fills it (FrameInfo): base address; Driver1 bytes
// 0-3 the storage mode, 4-7 the frame's size in bytes; width, height, bytes per pixel;
// Driver2 16-bit fields: left, top, horizontal increment, vertical increment, frame type,
// mapped flag (1 while mapped), then 2 bytes 0.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "board.h"
#include "picture.h"
#include "pixel_format.h"

namespace kvboard {

class Frame {
public:
    // Throws std::bad_alloc when the pixel memory cannot be had.
    Frame(imaging::FrameHandle handle, uint32_t width, uint32_t height, PixelLayout layout,
          StorageModeEnum storageMode, const FrameGeometry& geometry);
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;
    ~Frame();

    imaging::FrameHandle handle() const { return handle_; }
    uint32_t width() const { return width_; }
    uint32_t height() const { return height_; }
    PixelLayout layout() const { return layout_; }
    StorageModeEnum storageMode() const { return storageMode_; }
    const FrameGeometry& geometry() const { return geometry_; }
    uint32_t bytesPerPixel() const { return BytesPerPixel(layout_); }
    size_t rowBytes() const { return size_t{width_} * bytesPerPixel(); }
    size_t size() const { return size_; }
    uint8_t* pixels() const { return pixels_; }
    FrameView View() const { return {pixels_, width_, height_, layout_, geometry_}; }

    // Guarded by the board lock.
    bool mapped = false;

private:
    imaging::FrameHandle handle_;
    uint32_t width_, height_;
    PixelLayout layout_;
    StorageModeEnum storageMode_;
    FrameGeometry geometry_;
    size_t size_;
    uint8_t* pixels_;
};

using FramePtr = std::shared_ptr<Frame>;

// The frames of one board, by handle. Guarded by the board lock.
class FrameStore : public UnitState {
public:
    static constexpr size_t kMaxFrames = 4096;

    // Allocates a frame with the board's current frame geometry and storage mode; on
    // failure null and the driver status in `status`.
    FramePtr Allocate(Board& board, uint32_t& status);
    FramePtr Find(imaging::FrameHandle handle) const;
    // Removes the frame from the store; false when there is no such frame.
    bool Remove(imaging::FrameHandle handle);
    size_t count() const { return frames_.size(); }

private:
    std::map<imaging::FrameHandle, FramePtr> frames_;
    imaging::FrameHandle next_ = 1;
};

FrameStore& BoardFrames(Board& board);

// Looks a frame up under the board lock: null and STS_INVALIDFRAMEHANDLE when there is none.
FramePtr FindFrame(Board& board, imaging::FrameHandle handle, uint32_t& status);

// The geometry new frames get: the frame controls of the effective input source.
struct FrameSetup {
    uint32_t width, height;
    FrameGeometry geometry;
};
FrameSetup CurrentFrameSetup(Board& board);

} // namespace kvboard
