// The picture that live video shows in a window, built without any window code: a video
// image panned by the source origin, scaled to the passthru size, coloured by the passthru
// lookup table, with an overlay surface laid over it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "pixel_format.h"

namespace kvboard {

struct Rgb8 {
    uint8_t r, g, b;
    bool operator==(const Rgb8&) const = default;
};

// Passthru lookup table: for a grey board, video value v shows as entry v; for a color board,
// each channel goes through its own component of the table (red through .r and so on).
constexpr size_t kPassthruLutEntries = 256;
using PassthruLut = std::array<Rgb8, kPassthruLutEntries>;
PassthruLut IdentityLut();

// Pixels of a display image and of overlay surfaces: 32-bit 0x00RRGGBB (the layout of a
// 32-bit top-down DIB), rows top to bottom without padding.
struct DisplayImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;
    std::vector<int32_t> columns; // scratch of ComposeDisplay, kept between images
};

constexpr uint32_t PackRgb(Rgb8 c) {
    return (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b;
}
constexpr Rgb8 UnpackRgb(uint32_t c) {
    return {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c)};
}

// A video image in one of the frame layouts, rows back to back.
struct VideoView {
    uint8_t* pixels = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    PixelLayout layout = PixelLayout::Mono8;
    uint32_t greyBits = 8; // significant bits of a Mono16 pixel
};
// The display color of video pixel (x, y), before the passthru lookup table.
Rgb8 ReadVideoPixel(const VideoView& video, int32_t x, int32_t y);
// Stores a color at video pixel (x, y): grey layouts take its luminance; a YUV pixel shares
// its color differences with the other pixel of its pair, which therefore change too.
void WriteVideoPixel(const VideoView& video, int32_t x, int32_t y, Rgb8 color);

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
// The same, merged into the pixels of a video image.
void LayOverlay(const OverlayView& overlay, const VideoView& video);

} // namespace kvboard
