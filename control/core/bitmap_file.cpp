#include "bitmap_file.h"

#include <algorithm>
#include <cstring>

namespace core {
namespace {

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kInfoHeaderBytes = 40;
constexpr uint32_t kPaletteEntries = 256;
constexpr uint32_t kBitFields = 3; // BI_BITFIELDS

class Writer {
public:
    explicit Writer(std::vector<uint8_t>& out) : out_(out) {}
    void U16(uint32_t value) {
        out_.push_back(static_cast<uint8_t>(value));
        out_.push_back(static_cast<uint8_t>(value >> 8));
    }
    void U32(uint32_t value) {
        U16(value & 0xFFFF);
        U16(value >> 16);
    }

private:
    std::vector<uint8_t>& out_;
};

size_t PaddedRow(size_t rowBytes) {
    return (rowBytes + 3) / 4 * 4;
}

} // namespace

std::optional<BitmapFormat> BitmapFormatOf(StorageMode mode) {
    switch (mode) {
    case StorageMode::Default:
    case StorageMode::Mono: return BitmapFormat::Grey8;
    case StorageMode::Rgb16: return BitmapFormat::Rgb16;
    case StorageMode::Rgb24: return BitmapFormat::Rgb24;
    case StorageMode::Rgb:
    case StorageMode::Rgb32: return BitmapFormat::Rgb32;
    default: return std::nullopt;
    }
}

StorageMode StorageModeForBytesPerPixel(uint32_t bytesPerPixel) {
    switch (bytesPerPixel) {
    case 1: return StorageMode::Mono;
    case 2: return StorageMode::Rgb16;
    case 3: return StorageMode::Rgb24;
    case 4: return StorageMode::Rgb;
    default: return StorageMode::Default;
    }
}

uint32_t BytesPerPixelOf(BitmapFormat format) {
    switch (format) {
    case BitmapFormat::Grey8: return 1;
    case BitmapFormat::Rgb16: return 2;
    case BitmapFormat::Rgb24: return 3;
    case BitmapFormat::Rgb32: return 4;
    }
    return 1;
}

uint32_t PixelOffsetOf(BitmapFormat format) {
    switch (format) {
    case BitmapFormat::Grey8: return kFileHeaderBytes + kInfoHeaderBytes + 4 * kPaletteEntries;
    case BitmapFormat::Rgb16: return kFileHeaderBytes + kInfoHeaderBytes + 12;
    default: return kFileHeaderBytes + kInfoHeaderBytes;
    }
}

namespace {

// The file and info headers and what follows them up to the pixels; empty when the file
// would exceed 4 GB.
std::vector<uint8_t> BitmapHeaders(BitmapFormat format, uint32_t width, uint32_t height,
                                   const BitMasks& masks) {
    const uint32_t bytesPerPixel = BytesPerPixelOf(format);
    const uint64_t imageSize = uint64_t{PaddedRow(size_t{width} * bytesPerPixel)} * height;
    const uint32_t offset = PixelOffsetOf(format);
    if (imageSize + offset > 0xFFFFFFFFu) return {};

    std::vector<uint8_t> file;
    file.reserve(offset);
    Writer out(file);
    // File header.
    file.push_back('B');
    file.push_back('M');
    out.U32(static_cast<uint32_t>(imageSize + offset));
    out.U16(0);
    out.U16(0);
    out.U32(offset);
    // Info header.
    out.U32(kInfoHeaderBytes);
    out.U32(width);
    out.U32(height); // positive: bottom-up rows
    out.U16(1);
    out.U16(bytesPerPixel * 8);
    out.U32(format == BitmapFormat::Rgb16 ? kBitFields : 0);
    out.U32(static_cast<uint32_t>(imageSize));
    out.U32(0); // pixels per meter
    out.U32(0);
    switch (format) {
    case BitmapFormat::Grey8:
        out.U32(kPaletteEntries);
        out.U32(kPaletteEntries);
        for (uint32_t i = 0; i < kPaletteEntries; ++i)
            out.U32(i << 16 | i << 8 | i); // blue, green, red, 0
        break;
    case BitmapFormat::Rgb16:
        out.U32(3);
        out.U32(0);
        out.U32(masks.red);
        out.U32(masks.green);
        out.U32(masks.blue);
        break;
    default:
        out.U32(0);
        out.U32(0);
        break;
    }
    return file;
}

} // namespace

bool StreamBitmapFile(BitmapFormat format, uint32_t width, uint32_t height,
                      std::span<const uint8_t> frame, size_t sourceStride, const BitMasks& masks,
                      const BitmapSink& sink) {
    const std::vector<uint8_t> headers = BitmapHeaders(format, width, height, masks);
    if (headers.empty() || !sink(headers)) return false;
    const size_t rowBytes = size_t{width} * BytesPerPixelOf(format);
    const size_t padding = PaddedRow(rowBytes) - rowBytes;
    static constexpr uint8_t kZeros[64] = {};
    // Writes n zero bytes.
    const auto zeros = [&sink](size_t n) {
        for (; n > 0; n -= std::min(n, sizeof kZeros))
            if (!sink({kZeros, std::min(n, sizeof kZeros)})) return false;
        return true;
    };
    for (size_t row = height; row-- > 0;) {
        const size_t start = row * sourceStride;
        const size_t take = start < frame.size() ? std::min(rowBytes, frame.size() - start) : 0;
        if ((take != 0 && !sink(frame.subspan(start, take))) || !zeros(rowBytes - take + padding))
            return false;
    }
    return true;
}

uint32_t SavedImageExtent(uint32_t frameExtent, uint32_t scalePercent) {
    return static_cast<uint32_t>(uint64_t{scalePercent} * frameExtent / 400 * 4);
}

namespace {

uint32_t ReadU32(std::span<const uint8_t> bytes, size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | uint32_t{bytes[at + 3]} << 24;
}
uint16_t ReadU16(std::span<const uint8_t> bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

} // namespace

bool IsSoundBitmapFile(std::span<const uint8_t> file) {
    constexpr uint32_t kCoreHeaderBytes = 12;
    constexpr int64_t kLargestSide = 65536;
    const uint64_t length = file.size();
    if (length < kFileHeaderBytes + kCoreHeaderBytes || file[0] != 'B' || file[1] != 'M')
        return false;
    const uint32_t pixelsAt = ReadU32(file, 10);
    const uint32_t headerBytes = ReadU32(file, kFileHeaderBytes);
    const bool core = headerBytes == kCoreHeaderBytes;
    if (!core && headerBytes != kInfoHeaderBytes && headerBytes != 52 && headerBytes != 56 &&
        headerBytes != 108 && headerBytes != 124)
        return false;
    if (kFileHeaderBytes + uint64_t{headerBytes} > length) return false;

    const size_t info = kFileHeaderBytes;
    const int64_t width = core ? ReadU16(file, info + 4) : static_cast<int32_t>(ReadU32(file, info + 4));
    const int64_t rawHeight =
        core ? ReadU16(file, info + 6) : static_cast<int32_t>(ReadU32(file, info + 8));
    const uint16_t planes = ReadU16(file, info + (core ? 8 : 12));
    const uint16_t bits = ReadU16(file, info + (core ? 10 : 14));
    const uint32_t compression = core ? 0 : ReadU32(file, info + 16);
    const uint32_t colorsUsed = core ? 0 : ReadU32(file, info + 32);
    const int64_t height = rawHeight < 0 ? -rawHeight : rawHeight;
    if (width <= 0 || width > kLargestSide || height == 0 || height > kLargestSide || planes != 1)
        return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    const bool bitFields = compression == kBitFields && (bits == 16 || bits == 32);
    if (compression != 0 && !bitFields) return false; // run-length and embedded images

    // Color masks after a 40-byte header, then the palette, all before the pixels.
    uint64_t tables = bitFields && headerBytes == kInfoHeaderBytes ? 12 : 0;
    if (bits <= 8) {
        const uint64_t most = uint64_t{1} << bits;
        if (colorsUsed > most) return false;
        tables += (colorsUsed ? colorsUsed : most) * (core ? 3 : 4);
    } else if (colorsUsed > kPaletteEntries) {
        return false;
    }
    if (pixelsAt < kFileHeaderBytes + uint64_t{headerBytes} + tables || pixelsAt >= length)
        return false;
    const uint64_t stride = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
    return stride * static_cast<uint64_t>(height) <= length - pixelsAt;
}

} // namespace core
