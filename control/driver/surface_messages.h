// Driver messages for overlay surfaces: create and destroy, drawing contexts, color key,
// translucency, selection, merging into a frame, erasing.
#pragma once

#include "message_send.h"

namespace imaging {

// The driver takes the color key as 0x00RRGGBB; the control keeps colors as 0x00BBGGRR.
// Exchanges the red and blue bytes and drops the high byte.
constexpr uint32_t SurfaceColorKey(uint32_t color) {
    return (color & 0xFF00) | ((color >> 16) & 0xFF) | ((color << 16) & 0xFF0000);
}

// *surface is preset with the creation flags; the driver overwrites it with the new handle.
STT_APISTATUS STM_CREATE_SURFACE(HDRVR driver, int32_t width, int32_t height, uint32_t flags,
                                 SurfaceHandle* surface);
STT_APISTATUS STM_DESTROY_SURFACE(HDRVR driver, SurfaceHandle surface);
STT_APISTATUS STM_GET_SURFACE_DC(HDRVR driver, SurfaceHandle surface, HDC* dc);
STT_APISTATUS STM_RELEASE_SURFACE_DC(HDRVR driver, SurfaceHandle surface, HDC dc);
// color in the control's form (0x00BBGGRR); sent as SurfaceColorKey(color).
STT_APISTATUS STM_SET_SURFACE_COLOR_KEY(HDRVR driver, SurfaceHandle surface, uint32_t color);
STT_APISTATUS STM_SET_TRANSLUCENT(HDRVR driver, bool translucent);
STT_APISTATUS STM_SELECT_SURFACE(HDRVR driver, SurfaceHandle surface);
STT_APISTATUS STM_OVERLAY_SURFACE_ON_FRAME(HDRVR driver, SurfaceHandle surface, FrameHandle frame,
                                           bool translucent);
STT_APISTATUS STM_ENABLE_OVERLAYS(HDRVR driver, bool enable);
STT_APISTATUS STM_ERASE_SURFACE(HDRVR driver, SurfaceHandle surface);

} // namespace imaging
