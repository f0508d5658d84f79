#include "bitmap_reader.h"

namespace kvboard {

namespace {

uint32_t U16(std::span<const uint8_t> b, size_t at) {
    return uint32_t{b[at]} | (uint32_t{b[at + 1]} << 8);
}
uint32_t U32(std::span<const uint8_t> b, size_t at) {
    return U16(b, at) | (U16(b, at + 2) << 16);
}

constexpr size_t kFileHeader = 14;
constexpr uint32_t kRgb = 0;       // BI_RGB
constexpr uint32_t kBitFields = 3; // BI_BITFIELDS

} // namespace

std::optional<RgbPicture> DecodeBitmap(std::span<const uint8_t> file, std::string& why) {
    if (file.empty()) {
        why = "empty";
        return std::nullopt;
    }
    if (file.size() < kFileHeader + 40 || file[0] != 'B' || file[1] != 'M') {
        why = file.size() >= 2 && file[0] == 'B' && file[1] == 'M' ? "truncated"
                                                                   : "not a bitmap file";
        return std::nullopt;
    }
    const uint32_t pixelOffset = U32(file, 10);
    const uint32_t headerSize = U32(file, kFileHeader);
    const auto width = static_cast<int32_t>(U32(file, kFileHeader + 4));
    const auto height = static_cast<int32_t>(U32(file, kFileHeader + 8));
    const uint32_t planes = U16(file, kFileHeader + 12);
    const uint32_t bits = U16(file, kFileHeader + 14);
    const uint32_t compression = U32(file, kFileHeader + 16);
    const uint32_t colorsUsed = U32(file, kFileHeader + 32);

    if (headerSize < 40 || headerSize > 124 || planes != 1) {
        why = "not a bitmap file";
        return std::nullopt;
    }
    if (bits != 8 && bits != 24 && bits != 32) {
        why = "8, 24 or 32 bits per pixel are read, not " + std::to_string(bits);
        return std::nullopt;
    }
    // Bit-field masks follow a 40-byte header and are part of the longer ones.
    const size_t tables = kFileHeader + headerSize;
    if (compression == kBitFields && bits == 32) {
        if (file.size() < tables + (headerSize == 40 ? 12 : 0)) {
            why = "truncated";
            return std::nullopt;
        }
        const size_t masks = kFileHeader + 40;
        if (U32(file, masks) != 0xFF0000 || U32(file, masks + 4) != 0xFF00 ||
            U32(file, masks + 8) != 0xFF) {
            why = "32-bit bit fields other than 8 bits of red, green and blue";
            return std::nullopt;
        }
    } else if (compression != kRgb) {
        why = "compressed";
        return std::nullopt;
    }
    if (width <= 0 || height == 0 || height == INT32_MIN ||
        static_cast<uint32_t>(width) > kMaxBitmapSide ||
        static_cast<uint32_t>(height < 0 ? -height : height) > kMaxBitmapSide ||
        uint64_t(width) * uint64_t(height < 0 ? -height : height) > kMaxBitmapPixels) {
        why = "size out of range";
        return std::nullopt;
    }

    RgbPicture picture;
    picture.width = static_cast<uint32_t>(width);
    picture.height = static_cast<uint32_t>(height < 0 ? -height : height);
    const size_t stride = (size_t{picture.width} * bits + 31) / 32 * 4;

    std::vector<PatternColor> palette;
    if (bits == 8) {
        const uint32_t entries = colorsUsed == 0 ? 256 : colorsUsed;
        if (entries > 256) {
            why = "a palette of more than 256 colors";
            return std::nullopt;
        }
        if (file.size() < tables + size_t{entries} * 4) {
            why = "truncated";
            return std::nullopt;
        }
        // Indexes past the palette show black.
        palette.assign(256, PatternColor{0, 0, 0});
        for (uint32_t i = 0; i < entries; ++i) {
            const size_t at = tables + size_t{i} * 4;
            palette[i] = {file[at + 2], file[at + 1], file[at]};
        }
    }
    if (pixelOffset < tables || pixelOffset > file.size() ||
        (file.size() - pixelOffset) / stride < picture.height) {
        why = "truncated";
        return std::nullopt;
    }

    picture.pixels.resize(size_t{picture.width} * picture.height);
    const size_t bytesPerPixel = bits / 8;
    for (uint32_t y = 0; y < picture.height; ++y) {
        const uint32_t stored = height > 0 ? picture.height - 1 - y : y; // bottom-up by default
        const uint8_t* row = file.data() + pixelOffset + stored * stride;
        PatternColor* out = picture.pixels.data() + size_t{y} * picture.width;
        for (uint32_t x = 0; x < picture.width; ++x, row += bytesPerPixel)
            out[x] = bits == 8 ? palette[*row] : PatternColor{row[2], row[1], row[0]};
    }
    return picture;
}

} // namespace kvboard
