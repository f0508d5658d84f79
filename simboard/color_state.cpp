#include "color_state.h"

#include <algorithm>
#include <cmath>

#include "extension_codes.h"
#include "frames.h"
#include "picture.h"
#include "pixel_format.h"

namespace kvboard {

using namespace imaging;

namespace {

using enum ColorParameter;

constexpr uint32_t Code(ColorParameter p) {
    return static_cast<uint32_t>(p);
}

// The units of ColorAdjust: brightness and offsets are levels added (0 to 255 scale),
// contrast, saturations and channel levels percent (100 = unchanged), hue degrees in steps
// of 2, references the channel value that shows full scale.
constexpr ColorParameterSpec kColorParameters[] = {
    {Code(Brightness), -128, 127, 1, 0},
    {Code(Contrast), 0, 200, 1, 100},
    {Code(VSaturation), 0, 200, 1, 100},
    {Code(USaturation), 0, 200, 1, 100},
    {Code(Hue), -90, 90, 2, 0},
    {Code(RedLevel), 0, 200, 1, 100},
    {Code(GreenLevel), 0, 200, 1, 100},
    {Code(BlueLevel), 0, 200, 1, 100},
    {Code(RedReference), 1, 511, 1, 255},
    {Code(GreenReference), 1, 511, 1, 255},
    {Code(BlueReference), 1, 511, 1, 255},
    {Code(RedOffset), -128, 127, 1, 0},
    {Code(GreenOffset), -128, 127, 1, 0},
    {Code(BlueOffset), -128, 127, 1, 0},
};
static_assert(std::size(kColorParameters) == kColorParameterCount);

// The field of the board's color adjustments a parameter sets.
int32_t& FieldOf(ColorAdjust& a, uint32_t code) {
    switch (static_cast<ColorParameter>(code)) {
    case Brightness: return a.brightness;
    case Contrast: return a.contrast;
    case VSaturation: return a.vSaturation;
    case USaturation: return a.uSaturation;
    case Hue: return a.hue;
    case RedLevel: return a.level[0];
    case GreenLevel: return a.level[1];
    case BlueLevel: return a.level[2];
    case RedReference: return a.reference[0];
    case GreenReference: return a.reference[1];
    case BlueReference: return a.reference[2];
    case RedOffset: return a.offset[0];
    case GreenOffset: return a.offset[1];
    case BlueOffset: return a.offset[2];
    }
    return a.brightness; // unreachable: codes come from kColorParameters
}

struct Rgb {
    uint8_t r, g, b;
};

uint8_t Expand5(uint32_t v) {
    return static_cast<uint8_t>((v << 3) | (v >> 2));
}
uint8_t Expand6(uint32_t v) {
    return static_cast<uint8_t>((v << 2) | (v >> 4));
}
uint8_t Clamp8(double v) {
    return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

// The color of pixel (x, y) of a frame, whatever its layout.
Rgb PixelOf(const Frame& f, uint32_t x, uint32_t y) {
    const size_t i = size_t{y} * f.width() + x;
    const uint8_t* p = f.pixels();
    switch (f.layout()) {
    case PixelLayout::Mono8: return {p[i], p[i], p[i]};
    case PixelLayout::Mono16: {
        const auto v =
            static_cast<uint8_t>(std::min<uint32_t>((p[2 * i] | p[2 * i + 1] << 8) >> 2, 255));
        return {v, v, v};
    }
    case PixelLayout::Yuv: {
        const size_t n = size_t{f.width()} * f.height();
        const double luma = p[i];
        const double u = p[n + i / 2] - 96.0;
        const double v = p[n + n / 2 + i / 2] - 96.0;
        return {Clamp8(luma + 1.375 * v), Clamp8(luma - 0.703125 * v - 0.34375 * u),
                Clamp8(luma + 1.734375 * u)};
    }
    case PixelLayout::Rgb565: {
        const uint32_t w = p[2 * i] | p[2 * i + 1] << 8;
        return {Expand5(w >> 11), Expand6((w >> 5) & 0x3F), Expand5(w & 0x1F)};
    }
    case PixelLayout::Rgb555: {
        const uint32_t w = p[2 * i] | p[2 * i + 1] << 8;
        return {Expand5((w >> 10) & 0x1F), Expand5((w >> 5) & 0x1F), Expand5(w & 0x1F)};
    }
    case PixelLayout::Rgb24: return {p[3 * i + 2], p[3 * i + 1], p[3 * i]};
    case PixelLayout::Rgb32: return {p[4 * i + 2], p[4 * i + 1], p[4 * i]};
    }
    return {0, 0, 0};
}

uint8_t Channel(const Rgb& c, uint32_t plane) {
    return plane == kPlaneRed ? c.r : plane == kPlaneGreen ? c.g : c.b;
}

} // namespace

const ColorParameterSpec* FindColorParameter(uint32_t code) {
    const auto it = std::find_if(std::begin(kColorParameters), std::end(kColorParameters),
                                 [code](const ColorParameterSpec& p) { return p.code == code; });
    return it == std::end(kColorParameters) ? nullptr : &*it;
}

int32_t ReadColorParameter(Board& board, const ColorParameterSpec& param) {
    return FieldOf(BoardPicture(board).adjust, param.code);
}

void WriteColorParameter(Board& board, const ColorParameterSpec& param, int32_t value) {
    FieldOf(BoardPicture(board).adjust, param.code) = value;
}

uint32_t CurrentStorageMode(Board& board) {
    return ResolveStorageMode(board.model(), BoardPicture(board).storageMode);
}

bool SetStorageMode(Board& board, uint32_t mode) {
    const ColorSpec* spec = board.model().color;
    if (spec == nullptr || mode == 0 || !IsStorageMode(mode) || (mode & spec->storageModes) == 0)
        return false;
    BoardPicture(board).storageMode = static_cast<StorageModeEnum>(mode);
    return true;
}

// Each target receives the frame's top-left width x height pixels of its plane; where the
// target reaches beyond the frame, its elements are left as they were.
uint32_t ExtractFramePlanes(Board& board, FrameHandle handle,
                            const std::vector<PlaneTarget>& targets) {
    uint32_t status = 0;
    const FramePtr frame = FindFrame(board, handle, status);
    if (!frame) return status;
    for (const PlaneTarget& t : targets) {
        const uint32_t width = std::min(t.width, frame->width());
        const uint32_t height = std::min(t.height, frame->height());
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < width; ++x) {
                const uint32_t v = Channel(PixelOf(*frame, x, y), t.plane);
                uint8_t* element = t.data + (size_t{y} * t.width + x) * t.elementSize;
                std::memset(element, 0, t.elementSize);
                element[0] = static_cast<uint8_t>(v);
            }
    }
    return 0;
}

} // namespace kvboard
