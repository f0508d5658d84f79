#include "live_image.h"

#include <algorithm>

namespace kvboard {

namespace {

constexpr uint32_t kRgbMask = 0x00FFFFFF;

uint8_t Clamp8(int32_t v) {
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

// Expands a 5- or 6-bit channel to 8 bits.
uint8_t Expand(uint32_t value, uint32_t bits) {
    return static_cast<uint8_t>((value << (8 - bits)) | (value >> (2 * bits - 8)));
}

} // namespace

Rgb8 ReadVideoPixel(const VideoView& v, int32_t x, int32_t y) {
    const size_t n = size_t(v.width) * v.height;
    const size_t i = size_t(y) * v.width + x;
    const uint8_t* p = v.pixels + i * BytesPerPixel(v.layout);
    const auto word = [p] { return uint32_t{p[0]} | (uint32_t{p[1]} << 8); };
    switch (v.layout) {
    case PixelLayout::Mono8: return {p[0], p[0], p[0]};
    case PixelLayout::Mono16: {
        const uint32_t bits = std::clamp(v.greyBits, 8u, 16u);
        const uint8_t grey = Clamp8(static_cast<int32_t>(word() >> (bits - 8)));
        return {grey, grey, grey};
    }
    case PixelLayout::Yuv: {
        // Planes: n luma bytes, n/2 U bytes, n/2 V bytes; U and V carry an offset of 96.
        const int32_t luma = v.pixels[i];
        const int32_t u = v.pixels[n + i / 2] - 96;
        const int32_t vv = v.pixels[n + n / 2 + i / 2] - 96;
        // R = Y + 1.375 V, G = Y - 0.703125 V - 0.34375 U, B = Y + 1.734375 U, in 1/64ths.
        return {Clamp8(luma + (88 * vv) / 64), Clamp8(luma - (45 * vv + 22 * u) / 64),
                Clamp8(luma + (111 * u) / 64)};
    }
    case PixelLayout::Rgb565: {
        const uint32_t w = word();
        return {Expand(w >> 11, 5), Expand((w >> 5) & 0x3F, 6), Expand(w & 0x1F, 5)};
    }
    case PixelLayout::Rgb555: {
        const uint32_t w = word();
        return {Expand((w >> 10) & 0x1F, 5), Expand((w >> 5) & 0x1F, 5), Expand(w & 0x1F, 5)};
    }
    case PixelLayout::Rgb24:
    case PixelLayout::Rgb32: return {p[2], p[1], p[0]}; // blue, green, red (, 0)
    }
    return {0, 0, 0};
}

void WriteVideoPixel(const VideoView& v, int32_t x, int32_t y, Rgb8 c) {
    const size_t n = size_t(v.width) * v.height;
    const size_t i = size_t(y) * v.width + x;
    uint8_t* p = v.pixels + i * BytesPerPixel(v.layout);
    const auto store = [p](uint32_t word) {
        p[0] = static_cast<uint8_t>(word);
        p[1] = static_cast<uint8_t>(word >> 8);
    };
    const int32_t luma = (77 * c.r + 150 * c.g + 29 * c.b) >> 8;
    switch (v.layout) {
    case PixelLayout::Mono8: p[0] = static_cast<uint8_t>(luma); return;
    case PixelLayout::Mono16: {
        const uint32_t bits = std::clamp(v.greyBits, 8u, 16u);
        store(uint32_t(luma) << (bits - 8));
        return;
    }
    case PixelLayout::Yuv:
        // The inverse of the read: U = (B - Y) / 1.734375, V = (R - Y) / 1.375, offset 96.
        v.pixels[i] = static_cast<uint8_t>(luma);
        v.pixels[n + i / 2] = Clamp8((c.b - luma) * 64 / 111 + 96);
        v.pixels[n + n / 2 + i / 2] = Clamp8((c.r - luma) * 64 / 88 + 96);
        return;
    case PixelLayout::Rgb565: store(((c.r >> 3) << 11) | ((c.g >> 2) << 5) | (c.b >> 3)); return;
    case PixelLayout::Rgb555: store(((c.r >> 3) << 10) | ((c.g >> 3) << 5) | (c.b >> 3)); return;
    case PixelLayout::Rgb24:
    case PixelLayout::Rgb32:
        p[0] = c.b;
        p[1] = c.g;
        p[2] = c.r;
        return;
    }
}

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
    // The video column of each display column; -1 beyond the video's edge.
    display.columns.resize(size_t(std::max(display.width, 0)));
    for (int32_t x = 0; x < display.width; ++x) {
        const int64_t vx = originX + int64_t{x} * video.width / display.width;
        display.columns[x] = vx < 0 || vx >= video.width ? -1 : int32_t(vx);
    }
    // 8-bit grey, the common case, through one table of display colors.
    uint32_t grey[256];
    if (video.layout == PixelLayout::Mono8)
        for (uint32_t v = 0; v < 256; ++v)
            grey[v] = PackRgb({lut[v].r, lut[v].g, lut[v].b});
    for (int32_t y = 0; y < display.height; ++y) {
        const int64_t vy = originY + int64_t{y} * video.height / display.height;
        if (vy < 0 || vy >= video.height) continue;
        uint32_t* out = display.pixels.data() + size_t(y) * display.width;
        if (video.layout == PixelLayout::Mono8) {
            const uint8_t* row = video.pixels + size_t(vy) * video.width;
            for (int32_t x = 0; x < display.width; ++x)
                if (const int32_t vx = display.columns[x]; vx >= 0) out[x] = grey[row[vx]];
            continue;
        }
        for (int32_t x = 0; x < display.width; ++x) {
            const int32_t vx = display.columns[x];
            if (vx < 0) continue;
            const Rgb8 c = ReadVideoPixel(video, vx, int32_t(vy));
            out[x] = PackRgb({lut[c.r].r, lut[c.g].g, lut[c.b].b});
        }
    }
}

uint32_t OverlayPixel(uint32_t under, uint32_t over, uint32_t colorKey, bool translucent) {
    over &= kRgbMask;
    if (over == (colorKey & kRgbMask)) return under;
    if (!translucent) return over;
    const Rgb8 a = UnpackRgb(under), b = UnpackRgb(over);
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

void LayOverlay(const OverlayView& overlay, const VideoView& video) {
    if (overlay.pixels == nullptr || video.pixels == nullptr) return;
    const int32_t width = std::min(overlay.width, video.width);
    const int32_t height = std::min(overlay.height, video.height);
    for (int32_t y = 0; y < height; ++y) {
        const uint32_t* over = overlay.pixels + size_t(y) * overlay.width;
        for (int32_t x = 0; x < width; ++x) {
            if ((over[x] & kRgbMask) == (overlay.colorKey & kRgbMask)) continue;
            const uint32_t under = PackRgb(ReadVideoPixel(video, x, y));
            const uint32_t merged =
                OverlayPixel(under, over[x], overlay.colorKey, overlay.translucent);
            WriteVideoPixel(video, x, y, UnpackRgb(merged));
        }
    }
}

} // namespace kvboard
