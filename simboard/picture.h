// The pictures the simulated boards deliver.
//
// Every image a board delivers is rendered anew by RenderPicture from the board's settings
// and the board's image number, so that a test can tell images apart and see what the
// settings did:
//
// - Monochrome boards show a ramp that moves 4 pixels per image. The raw 8-bit value at
//   image coordinates (X, Y) for image number n is, by input source s (s mod 4):
//     0: (X + Y + 4n) mod 256      diagonal ramp
//     1: (X + 4n) mod 256          horizontal ramp
//     2: (Y + 4n) mod 256          vertical ramp
//     3: (X - Y + 4n) mod 256      the other diagonal
//   The input lookup table selected by the ILUT control maps it to the pixel: on a board
//   with 1024-entry tables the raw value is first scaled by 4 (entry 4v for raw value v).
// - Color boards show eight color bars across the image (white, yellow, cyan, green,
//   magenta, red, blue, black; source s starts the sequence at bar s mod 8) and a grey box
//   (128, 128, 128) of a quarter of the image height that moves 8 pixels to the right per
//   image. The color adjustments (ColorAdjust) and the red, green and blue lookup tables of
//   the selected set then apply.
// - The active video window places the digitised image: moving the first active pixel or
//   line pans the picture, and pixels beyond the active pixel count or line count are black.
//
// Test patterns. A board's "TestPattern" value (registration.h) selects another picture from
// the table below (Patterns()); 0 or a missing value keeps the model's picture above. Every
// pattern is defined once, in scene coordinates, and goes through the same active video
// window, frame geometry, lookup tables and color adjustments; a monochrome board shows the
// luma of a color pattern. Still patterns are encoded once per settings and geometry (every
// frame row); the moving ramp, the moving box, the noise and the caption are the parts drawn
// per image. A pattern is a function that paints a scene point (Pattern::paint), so another
// source of pictures can plug in as another table entry.
//
// The caption (the board's "TestCaption" value, default 1): a box of black background at the
// bottom-left corner of the frame (kMargin pixels from its left and bottom edges, so it moves
// with the frame's origin and stays off rows 0 to 3), with white text in the driver's own
// 5 x 7 font (caption_font.h): "<board> #<image number> <h>:<mm>:<ss>.<mmm>", the time since
// the board's picture engine started (its first image since the board was opened). Its black
// and white go through the lookup tables and color adjustments like the picture. Frames
// lower than the box and 4 more rows show no caption.
//
// Recorded images. A board with an "ImageFolder" value plays the bitmap files of that folder
// instead (image_folder.h): each file is a still scene placed at the scene's top-left corner,
// cropped to the scene (the board's default frame) and padded with black, and goes through the
// same active video window, frame geometry, lookup tables and color adjustments as a pattern;
// a monochrome board shows its luma, (299 R + 587 G + 114 B + 500) / 1000. Played pictures
// have no caption. A file's rows are encoded once per settings and geometry and kept while
// they fit (kPlayedRowsBudget); an image whose file the folder cannot give (no files, an
// unreadable file) shows the pattern and its caption.
//
// The frame counter. After rendering, the first 4 bytes of the frame's memory (row 0: the
// first 4 pixels of a monochrome or YUV frame, the first pixel of an RGB32 frame) hold the
// low 32 bits of the image number, little-endian. Image numbers count every image the board
// delivers (acquisitions and live video alike), starting at 1. A test reads the counter with
// STM_READ_FRAME_RECT of the first 4 pixels (or through the mapped base address) and takes
// bytes 0 to 3.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "board.h"
#include "pixel_format.h"
#include "test_patterns.h"

namespace kvboard {

class ImageFolder;

// The color adjustments of a color board, as written through the color image parameters.
// Every value is the one written; the nominal values leave the picture unchanged.
struct ColorAdjust {
    int32_t brightness = 0;                 // added to the luma (levels 0 to 255)
    int32_t contrast = 100;                 // luma gain around mid-grey (128), percent
    int32_t vSaturation = 100;              // gain of V (the red color difference), percent
    int32_t uSaturation = 100;              // gain of U (the blue color difference), percent
    int32_t hue = 0;                        // rotation of the U-V plane, degrees
    int32_t level[3] = {100, 100, 100};     // red, green, blue gain, percent
    int32_t reference[3] = {255, 255, 255}; // red, green, blue white reference: the channel
                                            // value that shows full scale (1 to 255 and more)
    int32_t offset[3] = {0, 0, 0};          // red, green, blue, added after gain and reference

    bool Nominal() const;
    bool operator==(const ColorAdjust&) const = default;
};

// How frame pixel (x, y) maps to the digitised image: X = left + x * hinc; Y = top + y * vinc,
// except for a field frame type (EvenField 8, OddField 16, NextField 32), whose lines are
// one field: Y = 2 (top + y * vinc) + parity (odd field 1; NextField takes the parity of
// the image number).
struct FrameGeometry {
    uint32_t left = 0;
    uint32_t top = 0;
    uint32_t hinc = 1;
    uint32_t vinc = 1;
    uint32_t frameType = 0; // FrameTypeEnum
    bool operator==(const FrameGeometry&) const = default;
};

// Where a picture goes: pixel memory of width x height pixels in `layout`, rows back to back.
struct FrameView {
    uint8_t* pixels = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;
    PixelLayout layout = PixelLayout::Mono8;
    FrameGeometry geometry;
};

struct PatternColor {
    uint8_t r, g, b;
};

// The grey a monochrome board shows for a color: its luma, rounded.
inline uint8_t LumaOf(PatternColor c) {
    return static_cast<uint8_t>((299u * c.r + 587u * c.g + 114u * c.b + 500u) / 1000u);
}

// A pattern of the table (its name and description: kPatternNames, test_patterns.h).
struct Pattern {
    PatternId id;
    // Paints still scene point (x, y) of a scene of w x h; null for the patterns drawn per
    // image (moving ramp, bars with box, noise).
    PatternColor (*paint)(int64_t x, int64_t y, int64_t w, int64_t h);
};

const Pattern* Patterns(); // kPatternCount entries, index = id
// The side of a checkerboard square and the spacing of the cross-hatch: an eighth of the
// scene's smaller side, at least 2.
int64_t CheckerSquare(int64_t sceneWidth, int64_t sceneHeight);

struct PictureSettings {
    bool color = false; // a color board (its palette); picks the model's pattern
    uint32_t pattern = kModelPattern;
    uint16_t source = 0;       // the input source digitised
    uint32_t sceneWidth = 640; // size of the camera's scene (the board's default frame)
    uint32_t sceneHeight = 480;
    int32_t panX = 0; // first active pixel and line relative to their nominals
    int32_t panY = 0;
    uint32_t activeWidth = 0;  // pixels per line digitised (0: unlimited)
    uint32_t activeHeight = 0; // lines per frame digitised (0: unlimited)
    // Input lookup tables: monochrome uses lut[0]; color uses red, green, blue. Empty: identity.
    std::vector<uint32_t> lut[3];
    uint32_t lutMaxValue = 255;
    ColorAdjust adjust;
    // Recorded images played instead of the pattern; null: none. (Their rows are kept by
    // file, not by this pointer.)
    std::shared_ptr<ImageFolder> images;
    // The caption: none when `caption` is false. (Not part of the cached rows: PictureRows'
    // SameRows in picture.cpp compares every field above; a new picture field goes there too.)
    bool caption = false;
    std::string boardName;
    std::chrono::steady_clock::time_point started{}; // time 0 of the caption's clock
    bool operator==(const PictureSettings&) const = default;
};

// The caption's text for an image.
std::string CaptionText(const std::string& boardName, uint64_t frameNumber, uint64_t elapsedMs);

// Renders image number `frameNumber` into `dst` and stamps the frame counter. The rows of a
// picture are encoded once per settings, geometry and layout and kept for the next images
// (a few such sets, shared by every board of the process), so that an image costs little more
// than copying its rows.
void RenderPicture(const PictureSettings& settings, uint64_t frameNumber, FrameView dst);

// Encoded rows of played files are kept up to this many bytes in all (the rows of the last
// 8 pictures are kept whatever their size).
inline constexpr size_t kPlayedRowsBudget = size_t{128} << 20;
// Drops the kept rows of a folder's listing (the high half of its keys) when it is gone.
void ForgetPlayedRows(uint64_t serial);

// The frame counter stamped into a frame's first 4 bytes.
uint32_t ReadFrameCounter(const uint8_t* pixels);

// ---- Per-board picture state ---------------------------------------------------------------

// What a board's picture depends on beyond its input controls. Guarded by the board lock
// (except the image number). The color family writes `adjust` (STM_CLR_IMAGE_PARAMETER) and
// `storageMode` (STM_CLR_STORAGE_MODE); new frames take the storage mode current at
// allocation.
struct PictureState : UnitState {
    ColorAdjust adjust;
    std::shared_ptr<ImageFolder> images; // made at the first picture of a board that plays
    StorageModeEnum storageMode = DefaultImage;
    std::atomic<uint64_t> imageNumber{0}; // of the last image delivered
    const std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
};

PictureState& BoardPicture(Board& board);
// The number of the next image the board delivers (1 for the first).
uint64_t NextImageNumber(Board& board);
// The effective input source: the based source while one is selected, else the input source.
uint16_t EffectiveSource(Board& board);
// The board's current picture settings. Takes the board lock.
PictureSettings CurrentPictureSettings(Board& board);
// The folder of recorded images the board plays; null when it plays none. Takes the board lock.
std::shared_ptr<ImageFolder> PlayedFolder(Board& board);

} // namespace kvboard
