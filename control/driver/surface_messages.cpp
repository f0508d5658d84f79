#include "surface_messages.h"

#include "answer_send.h"

namespace imaging {

static_assert(SurfaceColorKey(0x000000FF) == 0x00FF0000, "red moves to the high byte");
static_assert(SurfaceColorKey(0xAA123456) == 0x00563412, "green stays, the high byte goes");

STT_APISTATUS STM_CREATE_SURFACE(HDRVR driver, int32_t width, int32_t height, uint32_t flags,
                                 SurfaceHandle* surface) {
    if (surface == nullptr) return STC_STS_NULL;
    PairBlock size{width, height};
    SurfaceHandle answer = flags;
    const STT_APISTATUS status = SendMessageChecked(driver, msg::STM_CREATE_SURFACE,
                                                    AddressParam(&size), AddressParam(&answer));
    if (status == STC_STS_NORMAL) *surface = answer;
    return status;
}

STT_APISTATUS STM_DESTROY_SURFACE(HDRVR driver, SurfaceHandle surface) {
    return SendMessageChecked(driver, msg::STM_DESTROY_SURFACE, surface, 0);
}

STT_APISTATUS STM_GET_SURFACE_DC(HDRVR driver, SurfaceHandle surface, HDC* dc) {
    return detail::SendForBareAnswer(driver, msg::STM_GET_SURFACE_DC, surface, dc);
}

STT_APISTATUS STM_RELEASE_SURFACE_DC(HDRVR driver, SurfaceHandle surface, HDC dc) {
    return SendMessageChecked(driver, msg::STM_RELEASE_SURFACE_DC, surface, AddressParam(dc));
}

STT_APISTATUS STM_SET_SURFACE_COLOR_KEY(HDRVR driver, SurfaceHandle surface, uint32_t color) {
    uint32_t key = SurfaceColorKey(color);
    return SendMessageChecked(driver, msg::STM_SET_SURFACE_COLOR_KEY, surface, AddressParam(&key));
}

STT_APISTATUS STM_SET_TRANSLUCENT(HDRVR driver, bool translucent) {
    return SendMessageChecked(driver, msg::STM_SET_TRANSLUCENT, 0, translucent ? 1 : 0);
}

STT_APISTATUS STM_SELECT_SURFACE(HDRVR driver, SurfaceHandle surface) {
    return SendMessageChecked(driver, msg::STM_SELECT_SURFACE, surface, 0);
}

STT_APISTATUS STM_OVERLAY_SURFACE_ON_FRAME(HDRVR driver, SurfaceHandle surface, FrameHandle frame,
                                           bool translucent) {
    OverlayBlock block{surface, frame};
    return SendMessageChecked(driver, msg::STM_OVERLAY_SURFACE_ON_FRAME, AddressParam(&block),
                              translucent ? 1 : 0);
}

STT_APISTATUS STM_ENABLE_OVERLAYS(HDRVR driver, bool enable) {
    return SendMessageChecked(driver, msg::STM_ENABLE_OVERLAYS, 0, enable ? 1 : 0);
}

STT_APISTATUS STM_ERASE_SURFACE(HDRVR driver, SurfaceHandle surface) {
    return SendMessageChecked(driver, msg::STM_ERASE_SURFACE, 0, surface);
}

} // namespace imaging
