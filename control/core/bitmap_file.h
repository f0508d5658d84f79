// Windows bitmap (DIB) files of acquired frames: the bytes of the file for each storage mode.
//
//   format   file header   info header                    after it         offset
//   Grey8    "BM"          8 bits, no compression,        256 grey entries 1078
//                          256 colors used and important
//   Rgb16    "BM"          16 bits, bit fields, 3 colors  3 masks          66
//   Rgb24    "BM"          24 bits, no compression        nothing          54
//   Rgb32    "BM"          32 bits, no compression        nothing          54
//
// The image size is the row length rounded up to 4 bytes times the height, and every row is
// padded to that length (frames are saved with a width that is a multiple of 4, so their rows
// need no padding). The height is positive: the rows are stored bottom-up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace core {

// StorageModeEnum of the type library.
enum class StorageMode : int32_t {
    Default = 0,
    Mono = 1,
    Yuv = 2,
    Rgb = 3,
    Rgb16 = 4,
    Rgb15 = 5,
    Rgb24 = 6,
    Rgb32 = 7,
};

enum class BitmapFormat { Grey8, Rgb16, Rgb24, Rgb32 };

// The file format of a storage mode; none for the modes that write no file (Yuv before its
// conversion, Rgb15, unknown values).
std::optional<BitmapFormat> BitmapFormatOf(StorageMode mode);

// A DefaultImage frame saved by its bytes per pixel: 1 Mono, 2 Rgb16, 3 Rgb24, 4 Rgb.
// Other sizes keep Default.
StorageMode StorageModeForBytesPerPixel(uint32_t bytesPerPixel);

uint32_t BytesPerPixelOf(BitmapFormat format);
// Offset of the pixels in the file: 1078, 66, 54 or 54.
uint32_t PixelOffsetOf(BitmapFormat format);

// Color masks of a 16-bit file: 5-6-5, or 5-5-5 for boards that store 15-bit pixels in
// their 16-bit mode.
struct BitMasks {
    uint32_t red, green, blue;
};
inline constexpr BitMasks kMasks565{0xF800, 0x07E0, 0x001F};
inline constexpr BitMasks kMasks555{0x7C00, 0x03E0, 0x001F};

// Takes the file's bytes in pieces, in order; false stops the file.
using BitmapSink = std::function<bool(std::span<const uint8_t>)>;

// The whole file of a width x height image taken from the top-left corner of a frame whose
// rows are sourceStride bytes apart, without copying the frame: the headers, then the rows
// last row first, each padded. What lies beyond the frame's bytes reads as 0. False when the
// sink stops or the file would exceed 4 GB.
bool StreamBitmapFile(BitmapFormat format, uint32_t width, uint32_t height,
                      std::span<const uint8_t> frame, size_t sourceStride, const BitMasks& masks,
                      const BitmapSink& sink);

// Size of the saved image of a frame: the scaled size rounded down to a multiple of 4,
// (scale * size / 400) * 4.
uint32_t SavedImageExtent(uint32_t frameExtent, uint32_t scalePercent);

// Whether a bitmap file's headers, sizes and offsets agree with its length and describe an
// uncompressed or bit-field image of a depth the platform's loader reads, so that the loader
// never reads past the file. A damaged file answers false.
bool IsSoundBitmapFile(std::span<const uint8_t> file);

} // namespace core
