// Frames unit: allocate, map, unmap, destroy, frame information and the rectangle transfers.
#include "frames.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "units.h"

namespace kvboard {

using namespace imaging;

// ---- Frame -------------------------------------------------------------------------------

Frame::Frame(FrameHandle handle, uint32_t width, uint32_t height, PixelLayout layout,
             StorageModeEnum storageMode, const FrameGeometry& geometry)
    : handle_(handle), width_(width), height_(height), layout_(layout), storageMode_(storageMode),
      geometry_(geometry), size_(FrameBytes(layout, width, height)),
      pixels_(static_cast<uint8_t*>(VirtualAlloc(nullptr, std::max<size_t>(size_, 1),
                                                 MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE))) {
    if (pixels_ == nullptr) throw std::bad_alloc();
}

Frame::~Frame() {
    VirtualFree(pixels_, 0, MEM_RELEASE);
}

// ---- Store -------------------------------------------------------------------------------

FrameSetup CurrentFrameSetup(Board& board) {
    auto lock = board.Lock();
    const uint16_t source = EffectiveSource(board);
    const auto value = [&](uint32_t key, uint32_t fallback) {
        return static_cast<uint32_t>(
            std::max(0, board.ValueOr(source, key, static_cast<int32_t>(fallback))));
    };
    FrameSetup setup{};
    setup.width = std::max(1u, value(STC_FG_CTL_FRAME_WIDTH, board.settings().frameWidth));
    setup.height = std::max(1u, value(STC_FG_CTL_FRAME_HEIGHT, board.settings().frameHeight));
    setup.geometry.left = value(STC_FG_CTL_FRAME_LEFT, 0);
    setup.geometry.top = value(STC_FG_CTL_FRAME_TOP, 0);
    setup.geometry.hinc = std::max(1u, value(STC_FG_CTL_HOR_FRAME_INC, 1));
    setup.geometry.vinc = std::max(1u, value(STC_FG_CTL_VER_FRAME_INC, 1));
    setup.geometry.frameType = value(STC_FG_CTL_FRAME_TYPE, 0);
    return setup;
}

FramePtr FrameStore::Allocate(Board& board, uint32_t& status) {
    if (frames_.size() >= kMaxFrames) {
        status = drv::STS_FRAMELIMITEXCEEDED;
        return nullptr;
    }
    while (next_ == 0 || frames_.count(next_) != 0)
        ++next_;
    const FrameSetup setup = CurrentFrameSetup(board);
    const StorageModeEnum mode = ResolveStorageMode(board.model(), BoardPicture(board).storageMode);
    try {
        auto frame = std::make_shared<Frame>(next_, setup.width, setup.height,
                                             LayoutFor(board.model(), mode), mode, setup.geometry);
        frames_.emplace(next_++, frame);
        status = 0;
        return frame;
    } catch (const std::bad_alloc&) {
        status = drv::STS_NOMEM;
        return nullptr;
    }
}

FramePtr FrameStore::Find(FrameHandle handle) const {
    const auto it = frames_.find(handle);
    return it == frames_.end() ? nullptr : it->second;
}

bool FrameStore::Remove(FrameHandle handle) {
    return frames_.erase(handle) != 0;
}

FrameStore& BoardFrames(Board& board) {
    return board.Unit<FrameStore>();
}

FramePtr FindFrame(Board& board, FrameHandle handle, uint32_t& status) {
    auto lock = board.Lock();
    FramePtr frame = BoardFrames(board).Find(handle);
    status = frame ? 0 : drv::STS_INVALIDFRAMEHANDLE;
    return frame;
}

namespace {

// ---- Handlers ----------------------------------------------------------------------------

constexpr uint32_t kAnyFrameId = 0xFFFF;

Result AllocateFrame(Call& call) {
    Output out(call.param2);
    if (const uint32_t status = out.Check(sizeof(FrameHandle))) return Fail(status);
    const auto memoryType = static_cast<uint32_t>(call.param1 & 0xFFFF);
    const auto frameId = static_cast<uint32_t>((call.param1 >> 16) & 0xFFFF);
    if (memoryType != STC_FG_DEV_MEM_VOLATILE && memoryType != STC_FG_DEV_MEM_NONVOLATILE)
        return Fail(drv::STS_UNSUPMEMTYPE);
    if (frameId != kAnyFrameId) return Fail(drv::STS_RANGE); // the boards have no built-in frames
    uint32_t status = 0;
    const FramePtr frame = BoardFrames(call.board).Allocate(call.board, status);
    if (!frame) return Fail(status);
    return out.Put(frame->handle());
}

Result DestroyFrame(Call& call) {
    // A mapped frame may be destroyed: its mapping ends with it.
    if (!BoardFrames(call.board).Remove(static_cast<FrameHandle>(call.param1)))
        return Fail(drv::STS_INVALIDFRAMEHANDLE);
    return Ok();
}

FrameInfo InfoOf(const Frame& f) {
    FrameInfo info{};
    info.StructSize = sizeof info;
    info.BaseAddress = f.pixels();
    const auto mode = static_cast<uint32_t>(f.storageMode());
    const auto bytes = static_cast<uint32_t>(f.size());
    std::memcpy(info.Driver1, &mode, 4);
    std::memcpy(info.Driver1 + 4, &bytes, 4);
    info.Width = static_cast<uint16_t>(f.width());
    info.Height = static_cast<uint16_t>(f.height());
    info.BytesPerPixel = static_cast<uint16_t>(f.bytesPerPixel());
    const FrameGeometry& g = f.geometry();
    const uint16_t fields[6] = {static_cast<uint16_t>(g.left),      static_cast<uint16_t>(g.top),
                                static_cast<uint16_t>(g.hinc),      static_cast<uint16_t>(g.vinc),
                                static_cast<uint16_t>(g.frameType), uint16_t{f.mapped}};
    std::memcpy(info.Driver2, fields, sizeof fields);
    return info;
}

Result MapFrame(Call& call) {
    Output out(call.param2);
    if (const uint32_t status = out.Check(sizeof(FrameInfo))) return Fail(status);
    const FramePtr frame = BoardFrames(call.board).Find(static_cast<FrameHandle>(call.param1));
    if (!frame) return Fail(drv::STS_INVALIDFRAMEHANDLE);
    frame->mapped = true;
    return out.Put(InfoOf(*frame));
}

Result UnmapFrame(Call& call) {
    const FramePtr frame = BoardFrames(call.board).Find(static_cast<FrameHandle>(call.param1));
    if (!frame) return Fail(drv::STS_INVALIDFRAMEHANDLE);
    if (call.param2 == 0) return Fail(drv::STS_NULL);
    if (!frame->mapped) return Fail(drv::STS_FRAMENOTMAPPED);
    if (reinterpret_cast<void*>(call.param2) != frame->pixels()) return Fail(drv::STS_UNMAPERROR);
    frame->mapped = false;
    return Ok();
}

Result GetFrameInfo(Call& call) {
    Output out(call.param2);
    if (const uint32_t status = out.Check(sizeof(FrameInfo))) return Fail(status);
    const FramePtr frame = BoardFrames(call.board).Find(static_cast<FrameHandle>(call.param1));
    if (!frame) return Fail(drv::STS_INVALIDFRAMEHANDLE);
    return out.Put(InfoOf(*frame));
}

// ---- Rectangles ----------------------------------------------------------------------------
// A rectangle addresses width x bytes-per-pixel bytes of each of its rows. A YUV frame is
// addressed as its raw memory, 2 bytes per pixel and width x 2 bytes per row, so that a
// whole-frame transfer moves the three planes unchanged.

bool InFrame(const Frame& f, uint32_t left, uint32_t top, uint32_t width, uint32_t height) {
    return width != 0 && height != 0 && uint64_t{left} + width <= f.width() &&
           uint64_t{top} + height <= f.height();
}

uint8_t* At(const Frame& f, uint32_t left, uint32_t top) {
    return f.pixels() + size_t{top} * f.rowBytes() + size_t{left} * f.bytesPerPixel();
}

Result ReadFrameRect(Call& call) {
    FrameRectBlock block{};
    if (!ReadBlock(call.param1, block)) return Fail(drv::STS_NULL);
    const FramePtr frame = BoardFrames(call.board).Find(block.Frame);
    if (!frame) return Fail(drv::STS_INVALIDFRAMEHANDLE);
    if (!InFrame(*frame, block.Left, block.Top, block.Width, block.Height))
        return Fail(drv::STS_INVALIDFRAMERECT);
    // Straight into the caller's buffer: whole rows of a frame are one block.
    const size_t row = size_t{block.Width} * frame->bytesPerPixel();
    uint32_t status = 0;
    uint8_t* out = Output(call.param2).Claim(row * block.Height, status);
    if (out == nullptr) return Fail(status);
    if (row == frame->rowBytes()) {
        std::memcpy(out, At(*frame, block.Left, block.Top), row * block.Height);
        return Ok();
    }
    for (uint32_t y = 0; y < block.Height; ++y)
        std::memcpy(out + y * row, At(*frame, block.Left, block.Top + y), row);
    return Ok();
}

Result WriteFrameRect(Call& call) {
    FrameRectBlock block{};
    if (!ReadBlock(call.param1, block)) return Fail(drv::STS_NULL);
    if (call.param2 == 0) return Fail(drv::STS_NULL);
    const FramePtr frame = BoardFrames(call.board).Find(block.Frame);
    if (!frame) return Fail(drv::STS_INVALIDFRAMEHANDLE);
    if (!InFrame(*frame, block.Left, block.Top, block.Width, block.Height))
        return Fail(drv::STS_INVALIDFRAMERECT);
    const auto* data = reinterpret_cast<const uint8_t*>(call.param2);
    const size_t row = size_t{block.Width} * frame->bytesPerPixel();
    for (uint32_t y = 0; y < block.Height; ++y)
        std::memcpy(At(*frame, block.Left, block.Top + y), data + y * row, row);
    return Ok();
}

Result CopyFrameRect(Call& call) {
    CopyBlock block{};
    if (!ReadBlock(call.param1, block)) return Fail(drv::STS_NULL);
    FrameStore& frames = BoardFrames(call.board);
    const FramePtr source = frames.Find(block.Source);
    const FramePtr target = frames.Find(block.Destination);
    if (!source || !target) return Fail(drv::STS_INVALIDFRAMEHANDLE);
    if (source->bytesPerPixel() != target->bytesPerPixel() ||
        (source->layout() == PixelLayout::Yuv) != (target->layout() == PixelLayout::Yuv))
        return Fail(drv::STS_MODECONFLICT);
    if (!InFrame(*source, block.SourceLeft, block.SourceTop, block.Width, block.Height) ||
        !InFrame(*target, block.DestinationLeft, block.DestinationTop, block.Width, block.Height))
        return Fail(drv::STS_INVALIDFRAMERECT);
    // Through a copy, so that overlapping rectangles of one frame come out right.
    const size_t row = size_t{block.Width} * source->bytesPerPixel();
    std::vector<uint8_t> bytes(row * block.Height);
    for (uint32_t y = 0; y < block.Height; ++y)
        std::memcpy(bytes.data() + y * row, At(*source, block.SourceLeft, block.SourceTop + y),
                    row);
    for (uint32_t y = 0; y < block.Height; ++y)
        std::memcpy(At(*target, block.DestinationLeft, block.DestinationTop + y),
                    bytes.data() + y * row, row);
    return Ok();
}

constexpr MessageHandler kHandlers[] = {
    {Family::Standard, msg::STM_ALLOCATE_FRAME, AllocateFrame},
    {Family::Standard, msg::STM_DESTROY_FRAME, DestroyFrame},
    {Family::Standard, msg::STM_MAP_FRAME, MapFrame},
    {Family::Standard, msg::STM_UNMAP_FRAME, UnmapFrame},
    {Family::Standard, msg::STM_GET_FRAME_INFO, GetFrameInfo},
    {Family::Standard, msg::STM_READ_FRAME_RECT, ReadFrameRect},
    {Family::Standard, msg::STM_WRITE_FRAME_RECT, WriteFrameRect},
    {Family::Standard, msg::STM_COPY_FRAME_RECT, CopyFrameRect},
};

} // namespace

std::span<const MessageHandler> FrameHandlers() {
    return kHandlers;
}

} // namespace kvboard
