// Reading Windows bitmap files into pictures a board can play: uncompressed 8-bit (palette),
// 24-bit and 32-bit files, bottom-up or top-down, with any of the common info headers
// (40, 52, 56, 108 or 124 bytes). A 32-bit file may also be stored with bit fields, when its
// masks are the usual red 0xFF0000, green 0xFF00 and blue 0xFF. Everything else (other depths,
// compression, sizes that do not agree with the file) is refused with a reason, never read
// past the file's end.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "picture.h"

namespace kvboard {

// A picture, top row first, as red, green and blue.
struct RgbPicture {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<PatternColor> pixels; // width x height
    PatternColor At(uint32_t x, uint32_t y) const { return pixels[size_t{y} * width + x]; }
};

// The largest picture read: 16384 pixels a side and 64 M pixels in all.
inline constexpr uint32_t kMaxBitmapSide = 16384;
inline constexpr uint64_t kMaxBitmapPixels = uint64_t{64} << 20;

// The picture of a bitmap file's bytes; nothing when the file cannot be read, with the
// reason in `why` ("truncated", "8, 24 or 32 bits per pixel are read, not 16", ...).
std::optional<RgbPicture> DecodeBitmap(std::span<const uint8_t> file, std::string& why);

} // namespace kvboard
