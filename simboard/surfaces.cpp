// Surfaces unit: creation and destruction, drawing contexts, color key, translucency,
// selection, erase, enabling overlays, and burning a surface into a frame.
#include "surfaces.h"

#include <algorithm>

#include "frames.h"
#include "handle_release.h"
#include "units.h"

namespace kvboard {

using namespace imaging;

Surface::Surface(int32_t w, int32_t h, uint32_t f, DWORD_PTR o)
    : width(w), height(h), flags(f), owner(o) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    dc.reset(CreateCompatibleDC(nullptr));
    if (!bitmap || !dc || bits == nullptr) return;
    previousBitmap = SelectObject(dc.get(), bitmap.get());
    if (previousBitmap == nullptr || previousBitmap == HGDI_ERROR) return;
    pixels = static_cast<uint32_t*>(bits); // zero-filled: all black, the initial color key
}

Surface::~Surface() {
    // The bitmap can only be deleted once no context has it selected.
    if (dc && previousBitmap != nullptr && previousBitmap != HGDI_ERROR)
        SelectObject(dc.get(), previousBitmap);
    dc.reset();
    bitmap.reset();
}

void Surfaces::OverlayLive(DisplayImage& display) {
    std::lock_guard lock(mutex);
    if (!enabled || selected == 0) return;
    const auto it = table.find(selected);
    if (it != table.end()) LayOverlay(it->second->View(translucent), display);
}

void Surfaces::Release(DWORD_PTR owner) {
    std::lock_guard lock(mutex);
    std::erase_if(table, [&](const auto& entry) { return entry.second->owner == owner; });
    if (!table.contains(selected)) selected = 0;
}

namespace {

// The largest surface: the model's largest frame.
int32_t MaxExtent(const Board& board, uint32_t control, uint32_t fallback) {
    const ControlSpec* spec = board.model().FindControl(control);
    return spec ? spec->max : static_cast<int32_t>(fallback);
}

Surface* Find(Surfaces& s, LPARAM handle) {
    const auto it = s.table.find(static_cast<SurfaceHandle>(handle));
    return it == s.table.end() ? nullptr : it->second.get();
}

// Zero or one, as the switches of the surface messages take them.
bool Switch(LPARAM value, bool& on) {
    if (value != 0 && value != 1) return false;
    on = value == 1;
    return true;
}

Result CreateSurface(Call& call) {
    PairBlock size{};
    auto* handle = reinterpret_cast<SurfaceHandle*>(call.param2);
    if (!ReadBlock(call.param1, size) || handle == nullptr) return Fail(drv::STS_NULL);
    const uint32_t flags = *handle;
    if ((flags & ~kSurfaceKnownFlags) != 0) return Fail(drv::STS_INVALID_FLAGS);
    const Board& board = call.board;
    if (size.First <= 0 || size.Second <= 0 ||
        size.First > MaxExtent(board, STC_FG_CTL_FRAME_WIDTH, board.settings().frameWidth) ||
        size.Second > MaxExtent(board, STC_FG_CTL_FRAME_HEIGHT, board.settings().frameHeight))
        return Fail(drv::STS_RANGE);

    Surfaces& s = call.board.Unit<Surfaces>();
    std::lock_guard lock(s.mutex);
    if (s.table.size() >= kMaxSurfaces) return Fail(drv::STS_NO_MORE_SURFACE);
    auto surface = std::make_unique<Surface>(size.First, size.Second, flags, call.instance.id());
    if (!surface->valid()) return Fail(drv::STS_NOMEM);
    const SurfaceHandle id = s.nextHandle++;
    if (s.nextHandle == 0) s.nextHandle = 1;
    s.table.emplace(id, std::move(surface));
    BindHandle<Surfaces>(call.instance);
    *handle = id;
    return Ok();
}

Result DestroySurface(Call& call) {
    Surfaces& s = call.board.Unit<Surfaces>();
    std::lock_guard lock(s.mutex);
    if (s.table.erase(static_cast<SurfaceHandle>(call.param1)) == 0)
        return Fail(drv::STS_INVALID_SURFACE_HANDLE);
    if (s.selected == static_cast<SurfaceHandle>(call.param1)) s.selected = 0;
    return Ok();
}

// Answers the surface's drawing context in a pointer-sized variable. The context stays the
// driver's: the caller draws with it and hands it back with STM_RELEASE_SURFACE_DC.
Result GetSurfaceDc(Call& call) {
    auto* answer = reinterpret_cast<HDC*>(call.param2);
    if (answer == nullptr) return Fail(drv::STS_NULL);
    Surfaces& s = call.board.Unit<Surfaces>();
    std::lock_guard lock(s.mutex);
    Surface* surface = Find(s, call.param1);
    if (surface == nullptr) return Fail(drv::STS_INVALID_SURFACE_HANDLE);
    *answer = surface->dc.get();
    return Ok();
}

Result ReleaseSurfaceDc(Call& call) {
    Surfaces& s = call.board.Unit<Surfaces>();
    std::lock_guard lock(s.mutex);
    Surface* surface = Find(s, call.param1);
    if (surface == nullptr) return Fail(drv::STS_INVALID_SURFACE_HANDLE);
    if (reinterpret_cast<HDC>(call.param2) != surface->dc.get()) return Fail(kStsInvalidSurfaceDc);
    // The caller drew on its own thread: make its batched drawing reach the pixels.
    GdiFlush();
    return Ok();
}

Result SetColorKey(Call& call) {
    uint32_t key = 0;
    if (!ReadBlock(call.param2, key)) return Fail(drv::STS_NULL);
    if (key > 0x00FFFFFF) return Fail(drv::STS_RANGE);
    Surfaces& s = call.board.Unit<Surfaces>();
    std::lock_guard lock(s.mutex);
    Surface* surface = Find(s, call.param1);
    if (surface == nullptr) return Fail(drv::STS_INVALID_SURFACE_HANDLE);
    if ((surface->flags & kSurfaceFixedColorKey) && key != surface->colorKey)
        return Fail(kStsFixedColor);
    surface->colorKey = key;
    return Ok();
}

Result SetTranslucent(Call& call) {
    Surfaces& s = call.board.Unit<Surfaces>();
    std::lock_guard lock(s.mutex);
    return Switch(call.param2, s.translucent) ? Ok() : Fail(drv::STS_RANGE);
}

Result SelectSurface(Call& call) {
    Surfaces& s = call.board.Unit<Surfaces>();
    std::lock_guard lock(s.mutex);
    if (Find(s, call.param1) == nullptr) return Fail(drv::STS_INVALID_SURFACE_HANDLE);
    s.selected = static_cast<SurfaceHandle>(call.param1);
    return Ok();
}

// Overlays are shown over live video only while enabled and only when a surface is selected;
// enabling before selecting is allowed (nothing shows until a surface is selected).
Result EnableOverlays(Call& call) {
    Surfaces& s = call.board.Unit<Surfaces>();
    std::lock_guard lock(s.mutex);
    return Switch(call.param2, s.enabled) ? Ok() : Fail(drv::STS_RANGE);
}

// Fills the surface with its color key, so that nothing of it shows.
Result EraseSurface(Call& call) {
    Surfaces& s = call.board.Unit<Surfaces>();
    std::lock_guard lock(s.mutex);
    Surface* surface = Find(s, call.param2);
    if (surface == nullptr) return Fail(drv::STS_INVALID_SURFACE_HANDLE);
    GdiFlush(); // drawing the caller batched must not land after the erase
    std::fill_n(surface->pixels, size_t(surface->width) * surface->height, surface->colorKey);
    return Ok();
}

// Burns the surface into the frame's pixels as it would show over live video: color-key
// pixels leave the frame as it is, the others replace it, or mix with it when translucent.
// The surface must cover the whole frame.
Result OverlaySurfaceOnFrame(Call& call) {
    OverlayBlock block{};
    if (!ReadBlock(call.param1, block)) return Fail(drv::STS_NULL);
    bool translucent = false;
    if (!Switch(call.param2, translucent)) return Fail(drv::STS_RANGE);
    Surfaces& s = call.board.Unit<Surfaces>();
    std::lock_guard lock(s.mutex);
    const Surface* surface = Find(s, block.Surface);
    if (surface == nullptr) return Fail(drv::STS_INVALID_SURFACE_HANDLE);
    uint32_t status = 0;
    const FramePtr frame = FindFrame(call.board, block.Frame, status);
    if (!frame) return Fail(status);
    if (surface->width < static_cast<int32_t>(frame->width()) ||
        surface->height < static_cast<int32_t>(frame->height()))
        return Fail(drv::STS_SURFACE_TOO_SMALL);
    GdiFlush(); // drawing the caller batched must be in the surface first
    const VideoView video{frame->pixels(), static_cast<int32_t>(frame->width()),
                          static_cast<int32_t>(frame->height()), frame->layout(),
                          call.board.model().pixelDepth};
    LayOverlay(surface->View(translucent), video);
    return Ok();
}

constexpr MessageHandler kHandlers[] = {
    {Family::Standard, msg::STM_CREATE_SURFACE, CreateSurface},
    {Family::Standard, msg::STM_DESTROY_SURFACE, DestroySurface},
    {Family::Standard, msg::STM_GET_SURFACE_DC, GetSurfaceDc},
    {Family::Standard, msg::STM_RELEASE_SURFACE_DC, ReleaseSurfaceDc},
    {Family::Standard, msg::STM_SET_SURFACE_COLOR_KEY, SetColorKey},
    {Family::Standard, msg::STM_SET_TRANSLUCENT, SetTranslucent},
    {Family::Standard, msg::STM_SELECT_SURFACE, SelectSurface},
    {Family::Standard, msg::STM_ENABLE_OVERLAYS, EnableOverlays},
    {Family::Standard, msg::STM_ERASE_SURFACE, EraseSurface},
    {Family::Standard, msg::STM_OVERLAY_SURFACE_ON_FRAME, OverlaySurfaceOnFrame},
};

} // namespace

std::span<const MessageHandler> SurfaceHandlers() {
    return kHandlers;
}

} // namespace kvboard
