#include "yuv.h"

#include <algorithm>

namespace core {
namespace {

constexpr int kChromaZero = 96;

uint32_t Channel(double value) {
    // Truncated toward zero, then clamped.
    const int truncated = static_cast<int>(value);
    return static_cast<uint32_t>(std::clamp(truncated, 0, 255));
}

} // namespace

uint32_t YuvToRgb32(uint8_t y, uint8_t u, uint8_t v) {
    const double luma = y;
    const double cb = u - kChromaZero;
    const double cr = v - kChromaZero;
    const uint32_t r = Channel(luma + 1.375 * cr);
    const uint32_t g = Channel(luma - 0.703125 * cr - 0.34375 * cb);
    const uint32_t b = Channel(luma + 1.734375 * cb);
    return r << 16 | g << 8 | b;
}

bool ConvertYuvFrame(std::span<const uint8_t> source, std::span<uint32_t> rgb) {
    const size_t n = rgb.size();
    if (source.size() < YuvFrameBytes(n)) return false;
    const size_t pairs = n / 2;
    const uint8_t* luma = source.data();
    const uint8_t* u = luma + n;
    const uint8_t* v = u + pairs;
    for (size_t i = 0; i < n; ++i) {
        const size_t pair = pairs ? std::min(i / 2, pairs - 1) : 0;
        rgb[i] = pairs ? YuvToRgb32(luma[i], u[pair], v[pair])
                       : YuvToRgb32(luma[i], kChromaZero, kChromaZero);
    }
    return true;
}

} // namespace core
