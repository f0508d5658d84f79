// The picture that live video shows in a window, built without any window code: a video
// image panned by the source origin, scaled to the passthru size, coloured by the passthru
// lookup table, with an overlay surface laid over it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kvboard {

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

// Passthru lookup table: for a grey board, video value v shows as entry v; for a color board,
// each channel goes through its own component of the table (red through .r and so on).
constexpr size_t kPassthruLutEntries = 256;
using PassthruLut = std::array<Rgb, kPassthruLutEntries>;
PassthruLut IdentityLut();

// Pixels of a display image and of overlay surfaces: 32-bit 0x00RRGGBB (the layout of a
// 32-bit top-down DIB), rows top to bottom without padding.
struct DisplayImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;
};

constexpr uint32_t PackRgb(Rgb c) {
    return (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b;
}
constexpr Rgb UnpackRgb(uint32_t c) {
    return {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c)};
}

// A video image as the board digitises it: `bytesPerPixel` 1 (8-bit grey), 2 (grey in the low
// `significantBits` of a little-endian word), 3 (blue, green, red) or 4 (blue, green, red, x).
struct VideoView {
    const uint8_t* pixels = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    uint32_t bytesPerPixel = 1;
    uint32_t significantBits = 8; // grey words only
    size_t stride = 0;            // bytes per row
};

// The display pixel (x, y) shows the video pixel (originX + x * video width / display width,
// originY + y * video height / display height): the origin pans the picture without changing
// its scale, and what lies beyond the video's edge is black.
void ComposeDisplay(const VideoView& video, int32_t originX, int32_t originY,
                    const PassthruLut& lut, DisplayImage& display);

// An overlay surface of `width` x `height` pixels laid over the image from its top-left
// corner: pixels of the color key (0x00RRGGBB) let the image show through; others replace it,
// or, translucent, mix half and half with it.
struct OverlayView {
    const uint32_t* pixels = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    uint32_t colorKey = 0;
    bool translucent = false;
};
uint32_t OverlayPixel(uint32_t under, uint32_t over, uint32_t colorKey, bool translucent);
void LayOverlay(const OverlayView& overlay, DisplayImage& display);

} // namespace kvboard
