// One overlay surface of the driver as the control keeps it. The object owns the driver
// surface: destroying the object releases a drawing context still held, switches the
// overlays off and destroys the surface (overlays.cpp).
#pragma once

#include "records.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace core {

struct OverlaySurface {
    // The longest image file name a surface keeps.
    static constexpr size_t kImageFileChars = 260;

    OverlaySurface(HDRVR driver, int32_t width, int32_t height)
        : driver(driver), height(height), width(width) {}
    ~OverlaySurface();
    OverlaySurface(const OverlaySurface&) = delete;
    OverlaySurface& operator=(const OverlaySurface&) = delete;

    HDRVR driver;
    imaging::SurfaceHandle handle = 0; // 0 until the driver created the surface
    HDC dc = nullptr;                  // held between GetSurfaceDC and ReleaseSurfaceDC
    int32_t translucent = 0;           // 1 or 0, as the driver last accepted it
    int32_t selected = 0;              // 1 once the driver made it the active overlay
    uint32_t colorKey = 0;             // 0x00BBGGRR as the host gives it; black at creation
    int32_t height;
    int32_t width;
    uint32_t flags = 0; // creation flags
    std::wstring imageFile;
};

} // namespace core
