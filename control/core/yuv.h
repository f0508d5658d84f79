// Conversion of the boards' planar YUV frames into 32-bit RGB for bitmap files.
//
// A YUV frame of n pixels holds n luma bytes, then n/2 U bytes, then n/2 V bytes: one U and
// one V byte for each horizontal pair of pixels. The boards' chroma is centred on 96.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace core {

// The 32-bit pixel R * 65536 + G * 256 + B (bytes B, G, R, 0 in memory) for one sample.
uint32_t YuvToRgb32(uint8_t y, uint8_t u, uint8_t v);

// Bytes a YUV frame of pixelCount pixels occupies: the luma plane and two chroma planes.
constexpr size_t YuvFrameBytes(size_t pixelCount) {
    return pixelCount + 2 * (pixelCount / 2);
}

// Converts a whole frame: source holds YuvFrameBytes(rgb.size()) bytes (false, and nothing
// written, when it holds fewer). A last unpaired pixel of an odd count takes the chroma of
// the pair before it.
bool ConvertYuvFrame(std::span<const uint8_t> source, std::span<uint32_t> rgb);

} // namespace core
