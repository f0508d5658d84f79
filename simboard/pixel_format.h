// How the pixels of a frame lie in its memory: the color storage modes a board delivers and
// the byte layout each one has.
#pragma once

#include <cstddef>
#include <cstdint>

#include "models.h"

namespace kvboard {

// The color storage modes, by the numbers the protocol carries.
enum StorageModeEnum : uint32_t {
    DefaultImage = 0, // the board's native format
    MonoImage = 1,
    YUVImage = 2,
    RGBImage = 3, // 32-bit RGB
    RGB16Image = 4,
    RGB15Image = 5,
    RGB24Image = 6,
    RGB32Image = 7,
};
constexpr uint32_t kLastStorageMode = RGB32Image;

// The byte layouts behind the storage modes.
//   Mono8   1 byte per pixel, grey
//   Mono16  2 bytes per pixel, little-endian grey of the model's pixel depth (10 bits)
//   Yuv     three planes for n = width x height pixels: n luma bytes, then n/2 U bytes, then
//           n/2 V bytes, one U and one V byte per horizontal pair of pixels (pixel i uses
//           U byte n + i/2 and V byte 3n/2 + i/2); U and V carry an offset of 96, so that
//           R = Y + 1.375 V, G = Y - 0.703125 V - 0.34375 U, B = Y + 1.734375 U with
//           U = byte - 96 and V = byte - 96. Reported as 2 bytes per pixel.
//   Rgb565  2 bytes, little-endian red 15-11, green 10-5, blue 4-0
//   Rgb555  2 bytes, little-endian red 14-10, green 9-5, blue 4-0
//   Rgb24   3 bytes: blue, green, red
//   Rgb32   4 bytes: blue, green, red, 0
enum class PixelLayout : uint8_t { Mono8, Mono16, Yuv, Rgb565, Rgb555, Rgb24, Rgb32 };

constexpr bool IsStorageMode(uint32_t mode) {
    return mode <= kLastStorageMode;
}

// The storage mode frames of this model get when `requested` is programmed: monochrome
// models always deliver MonoImage; DefaultImage on a color model is its native RGB format.
StorageModeEnum ResolveStorageMode(const ModelSpec& model, StorageModeEnum requested);

// The layout of a resolved storage mode on this model. The KV7300 stores its 16-bit RGB
// as 5-5-5, the others as 5-6-5.
PixelLayout LayoutFor(const ModelSpec& model, StorageModeEnum resolved);

// Bytes per pixel as the frame information reports them: monochrome 1 (2 on a model with
// more than 8 bits per pixel), YUV 2, RGB16 and RGB15 2, RGB24 3, RGB32 4.
uint32_t BytesPerPixel(PixelLayout layout);

// Bytes of a frame of this size and layout (width x height x bytes per pixel).
size_t FrameBytes(PixelLayout layout, uint32_t width, uint32_t height);

} // namespace kvboard
