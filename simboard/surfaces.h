// Overlay surfaces of a board: drawing surfaces held by the driver (32-bit DIB sections with
// a memory drawing context), a color key per surface, one selected surface that the board
// lays over live video while overlays are enabled, and the board-wide translucency.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include <windows.h>

#include "board.h"
#include "live_image.h"
#include "win_handle.h"
#include "sync.h"

namespace kvboard {

constexpr size_t kMaxSurfaces = 64; // per board

// Creation flags, preset by the caller in the handle variable of STM_CREATE_SURFACE.
constexpr uint32_t kSurfaceFixedColorKey = 0x1; // the color key stays black (0)
constexpr uint32_t kSurfaceKnownFlags = kSurfaceFixedColorKey;

// Driver statuses of the surface messages that the shared protocol header does not name.
constexpr uint32_t kStsFixedColor = 0x8400022A;
constexpr uint32_t kStsInvalidSurfaceDc = 0x84000232;

struct Surface {
    Surface(int32_t width, int32_t height, uint32_t flags, DWORD_PTR owner);
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;
    ~Surface();
    bool valid() const { return pixels != nullptr; }
    OverlayView View(bool translucent) const {
        return {pixels, width, height, colorKey, translucent};
    }

    const int32_t width;
    const int32_t height;
    const uint32_t flags;
    const DWORD_PTR owner; // the handle that created it
    uint32_t colorKey = 0; // 0x00RRGGBB
    uint32_t* pixels = nullptr;
    OwnedBitmap bitmap;
    OwnedMemoryDc dc;
    HGDIOBJ previousBitmap = nullptr;
};

class Surfaces : public UnitState {
public:
    // The passthru worker: lays the selected surface over a live picture while overlays are
    // enabled. Takes the surfaces' own lock (not the board lock).
    void OverlayLive(DisplayImage& display);

    // Ends the surfaces a closing handle created.
    void Release(DWORD_PTR owner);

    // ---- Guarded by mutex ----
    Mutex mutex;
    std::map<imaging::SurfaceHandle, std::unique_ptr<Surface>> table;
    imaging::SurfaceHandle selected = 0; // 0: none
    bool translucent = false;
    bool enabled = false;
    imaging::SurfaceHandle nextHandle = 0x53000001;
};

} // namespace kvboard
