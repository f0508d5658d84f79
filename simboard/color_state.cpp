#include "color_state.h"

#include <algorithm>
#include <array>

#include "extension_codes.h"

namespace kvboard {

using namespace imaging;

namespace {

using enum ColorParameter;

constexpr uint32_t Code(ColorParameter p) {
    return static_cast<uint32_t>(p);
}

// Brightness and offsets are signed steps around 0; contrast and saturations in 1/256
// (256 = unchanged); hue in degrees, in steps of 2; levels and references on 0 to 255.
constexpr ColorParameterSpec kColorParameters[] = {
    {Code(Brightness), -128, 127, 1, 0},
    {Code(Contrast), 0, 511, 1, 256},
    {Code(VSaturation), 0, 511, 1, 256},
    {Code(USaturation), 0, 511, 1, 256},
    {Code(Hue), -90, 90, 2, 0},
    {Code(RedLevel), 0, 255, 1, 128},
    {Code(GreenLevel), 0, 255, 1, 128},
    {Code(BlueLevel), 0, 255, 1, 128},
    {Code(RedReference), 0, 255, 1, 255},
    {Code(GreenReference), 0, 255, 1, 255},
    {Code(BlueReference), 0, 255, 1, 255},
    {Code(RedOffset), -128, 127, 1, 0},
    {Code(GreenOffset), -128, 127, 1, 0},
    {Code(BlueOffset), -128, 127, 1, 0},
};
static_assert(std::size(kColorParameters) == kColorParameterCount);

struct ColorValues : UnitState {
    bool initialized = false;
    std::array<int32_t, kColorParameterCount> values{};
    uint32_t storageMode = 0;

    static ColorValues& Of(Board& board) {
        ColorValues& state = board.Unit<ColorValues>();
        if (!state.initialized) {
            for (size_t i = 0; i < kColorParameterCount; ++i)
                state.values[i] = kColorParameters[i].nominal;
            state.storageMode = board.model().color ? board.model().color->defaultMode : 0;
            state.initialized = true;
        }
        return state;
    }
};

size_t IndexOf(const ColorParameterSpec& param) {
    return static_cast<size_t>(&param - kColorParameters);
}

} // namespace

const ColorParameterSpec* FindColorParameter(uint32_t code) {
    const auto it = std::find_if(std::begin(kColorParameters), std::end(kColorParameters),
                                 [code](const ColorParameterSpec& p) { return p.code == code; });
    return it == std::end(kColorParameters) ? nullptr : &*it;
}

int32_t ReadColorParameter(Board& board, const ColorParameterSpec& param) {
    return ColorValues::Of(board).values[IndexOf(param)];
}

void WriteColorParameter(Board& board, const ColorParameterSpec& param, int32_t value) {
    ColorValues::Of(board).values[IndexOf(param)] = value;
}

uint32_t CurrentStorageMode(Board& board) {
    return ColorValues::Of(board).storageMode;
}

bool SetStorageMode(Board& board, uint32_t mode) {
    const ColorSpec* spec = board.model().color;
    if (spec == nullptr || mode == 0 || (mode & spec->storageModes) == 0) return false;
    ColorValues::Of(board).storageMode = mode;
    return true;
}

uint32_t ExtractFramePlanes(Board& /*board*/, FrameHandle /*frame*/,
                            const std::vector<PlaneTarget>& /*targets*/) {
    return drv::STS_INVALIDFRAMEHANDLE;
}

} // namespace kvboard
