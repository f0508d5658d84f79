// The test patterns of the simulated boards by their number (a board's "TestPattern"
// registry value), with the names and descriptions tools print. A header of its own, without
// the driver's types, so that tools (boardlist, patterns) share the one table; the pictures
// themselves are painted in picture.cpp.
#pragma once

#include <cstdint>

namespace kvboard {

enum PatternId : uint32_t {
    kModelPattern = 0,   // the model's: kMovingRamp (monochrome) or kBarsWithBox (color)
    kMovingRamp = 1,     // the diagonal ramp moving 4 pixels per image (per input source)
    kBarsWithBox = 2,    // 100% color bars with the moving grey box
    kBars75 = 3,         // 75% color bars (white at 75%: 191)
    kHorizontalRamp = 4, // 0 at the scene's left to 255 at its right
    kVerticalRamp = 5,   // 0 at the scene's top to 255 at its bottom
    kCheckerboard = 6,   // black and white squares of CheckerSquare(), black at the origin
    kCrossHatch = 7,     // white 1-pixel lines every CheckerSquare() on black, and the edges
    kFlatBlack = 8,
    kFlatWhite = 9,
    kFlatGrey = 10, // 128
    kNoise = 11,    // grey (monochrome) or color noise, new per image, seeded by its number
    kPatternCount
};

struct PatternName {
    PatternId id;
    const char* name; // one word
    const char* description;
};

inline constexpr PatternName kPatternNames[kPatternCount] = {
    {kModelPattern, "model", "the model's picture (ramp: monochrome; bars: color)"},
    {kMovingRamp, "ramp", "diagonal ramp moving 4 pixels per image"},
    {kBarsWithBox, "bars", "100% color bars with a moving grey box"},
    {kBars75, "bars75", "75% color bars"},
    {kHorizontalRamp, "hramp", "horizontal ramp, 0 to 255 across the scene"},
    {kVerticalRamp, "vramp", "vertical ramp, 0 to 255 down the scene"},
    {kCheckerboard, "checker", "checkerboard, squares an eighth of the smaller side"},
    {kCrossHatch, "hatch", "cross-hatch grid of white lines on black"},
    {kFlatBlack, "black", "flat black"},
    {kFlatWhite, "white", "flat white"},
    {kFlatGrey, "grey", "flat grey (128)"},
    {kNoise, "noise", "noise, new every image, seeded by the image number"},
};

} // namespace kvboard
