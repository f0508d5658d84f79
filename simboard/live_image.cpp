#include "live_image.h"

#include <algorithm>

namespace kvboard {

namespace {

constexpr uint32_t kRgbMask = 0x00FFFFFF;

Rgb ReadVideo(const VideoView& v, const uint8_t* p) {
    switch (v.bytesPerPixel) {
    case 1: return {p[0], p[0], p[0]};
    case 2: {
        const uint32_t word = p[0] | (uint32_t{p[1]} << 8);
        const uint32_t bits = std::clamp(v.significantBits, 8u, 16u);
        const auto grey = static_cast<uint8_t>(std::min<uint32_t>(word >> (bits - 8), 255));
        return {grey, grey, grey};
    }
    default: return {p[2], p[1], p[0]}; // blue, green, red (and x)
    }
}

} // namespace

PassthruLut IdentityLut() {
    PassthruLut lut{};
    for (size_t i = 0; i < lut.size(); ++i) {
        const auto v = static_cast<uint8_t>(i);
        lut[i] = {v, v, v};
    }
    return lut;
}

void ComposeDisplay(const VideoView& video, int32_t originX, int32_t originY,
                    const PassthruLut& lut, DisplayImage& display) {
    display.pixels.assign(size_t(std::max(display.width, 0)) * std::max(display.height, 0), 0);
    if (video.pixels == nullptr || video.width <= 0 || video.height <= 0) return;
    for (int32_t y = 0; y < display.height; ++y) {
        const int64_t vy = originY + int64_t{y} * video.height / display.height;
        if (vy < 0 || vy >= video.height) continue;
        const uint8_t* row = video.pixels + size_t(vy) * video.stride;
        uint32_t* out = display.pixels.data() + size_t(y) * display.width;
        for (int32_t x = 0; x < display.width; ++x) {
            const int64_t vx = originX + int64_t{x} * video.width / display.width;
            if (vx < 0 || vx >= video.width) continue;
            const Rgb c = ReadVideo(video, row + size_t(vx) * video.bytesPerPixel);
            out[x] = PackRgb({lut[c.r].r, lut[c.g].g, lut[c.b].b});
        }
    }
}

uint32_t OverlayPixel(uint32_t under, uint32_t over, uint32_t colorKey, bool translucent) {
    over &= kRgbMask;
    if (over == (colorKey & kRgbMask)) return under;
    if (!translucent) return over;
    const Rgb a = UnpackRgb(under), b = UnpackRgb(over);
    return PackRgb({static_cast<uint8_t>((a.r + b.r) / 2), static_cast<uint8_t>((a.g + b.g) / 2),
                    static_cast<uint8_t>((a.b + b.b) / 2)});
}

void LayOverlay(const OverlayView& overlay, DisplayImage& display) {
    if (overlay.pixels == nullptr) return;
    const int32_t width = std::min(overlay.width, display.width);
    const int32_t height = std::min(overlay.height, display.height);
    for (int32_t y = 0; y < height; ++y) {
        const uint32_t* over = overlay.pixels + size_t(y) * overlay.width;
        uint32_t* out = display.pixels.data() + size_t(y) * display.width;
        for (int32_t x = 0; x < width; ++x)
            out[x] = OverlayPixel(out[x], over[x], overlay.colorKey, overlay.translucent);
    }
}

} // namespace kvboard
