#include "picture.h"

#include <algorithm>
#include <cmath>
#include <climits>
#include <cstring>
#include <cstdio>
#include <memory>
#include <mutex>
#include <numbers>

#include "bitmap_reader.h"
#include "caption_font.h"
#include "image_folder.h"
#include "sync.h"

namespace kvboard {

using namespace imaging;

namespace {

struct Rgb {
    double r, g, b;
};

// One pixel value, ready to store: its bytes in the frame's layout and, for YUV frames,
// its luma and color differences.
struct Encoded {
    uint8_t bytes[4] = {};
    uint8_t y = 0, u = 96, v = 96;
};

uint8_t Clamp8(double value) {
    return static_cast<uint8_t>(std::clamp(std::lround(value), 0l, 255l));
}

uint32_t LookUp(const std::vector<uint32_t>& lut, uint32_t index, uint32_t maxValue) {
    if (lut.empty()) return std::min(index, maxValue);
    return std::min(lut[std::min<size_t>(index, lut.size() - 1)], maxValue);
}

Rgb Adjusted(const ColorAdjust& a, Rgb c) {
    if (a.Nominal()) return c;
    double y = 0.299 * c.r + 0.587 * c.g + 0.114 * c.b;
    double u = 0.492 * (c.b - y) * a.uSaturation / 100.0;
    double v = 0.877 * (c.r - y) * a.vSaturation / 100.0;
    y = (y - 128.0) * a.contrast / 100.0 + 128.0 + a.brightness;
    const double angle = a.hue * std::numbers::pi / 180.0;
    const double ru = u * std::cos(angle) - v * std::sin(angle);
    const double rv = u * std::sin(angle) + v * std::cos(angle);
    double channel[3] = {y + 1.140 * rv, y - 0.395 * ru - 0.581 * rv, y + 2.032 * ru};
    for (int i = 0; i < 3; ++i) {
        channel[i] = channel[i] * a.level[i] / 100.0;
        channel[i] = channel[i] * 255.0 / std::max(1, a.reference[i]);
        channel[i] += a.offset[i];
    }
    return {channel[0], channel[1], channel[2]};
}

// Packs a grey or color value into the layout's bytes (YUV: the three plane values).
Encoded Encode(PixelLayout layout, uint8_t r, uint8_t g, uint8_t b, uint32_t grey) {
    Encoded e;
    switch (layout) {
    case PixelLayout::Mono8: e.bytes[0] = static_cast<uint8_t>(std::min(grey, 255u)); break;
    case PixelLayout::Mono16:
        e.bytes[0] = static_cast<uint8_t>(grey & 0xFF);
        e.bytes[1] = static_cast<uint8_t>(grey >> 8);
        break;
    case PixelLayout::Yuv: {
        // The inverse of R = Y + 1.375 V, B = Y + 1.734375 U with U and V offset by 96.
        const double y = 0.299 * r + 0.587 * g + 0.114 * b;
        e.y = Clamp8(y);
        e.u = Clamp8((b - y) / 1.734375 + 96.0);
        e.v = Clamp8((r - y) / 1.375 + 96.0);
        break;
    }
    case PixelLayout::Rgb565: {
        const auto word = static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
        e.bytes[0] = static_cast<uint8_t>(word & 0xFF);
        e.bytes[1] = static_cast<uint8_t>(word >> 8);
        break;
    }
    case PixelLayout::Rgb555: {
        const auto word = static_cast<uint16_t>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
        e.bytes[0] = static_cast<uint8_t>(word & 0xFF);
        e.bytes[1] = static_cast<uint8_t>(word >> 8);
        break;
    }
    case PixelLayout::Rgb24:
    case PixelLayout::Rgb32:
        e.bytes[0] = b;
        e.bytes[1] = g;
        e.bytes[2] = r;
        break;
    }
    return e;
}

// ---- Scenes --------------------------------------------------------------------------------
// A scene gives each point a symbol; the palette turns symbols into stored pixel values.

int64_t Mod(int64_t value, int64_t divisor) {
    const int64_t m = value % divisor;
    return m < 0 ? m + divisor : m;
}

constexpr int kBars = 8;
constexpr int kBoxSymbol = 8;
constexpr int kBlackSymbol = 9;
constexpr Rgb kSymbolColors[] = {
    {255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},     {255, 0, 255},
    {255, 0, 0},     {0, 0, 255},   {0, 0, 0},     {128, 128, 128}, {0, 0, 0},
};

std::vector<Encoded> MonoPalette(const PictureSettings& s, PixelLayout layout) {
    // On tables with more entries than raw values the raw value is scaled up.
    const size_t entries = s.lut[0].empty() ? 256 : s.lut[0].size();
    const uint32_t step = static_cast<uint32_t>(std::max<size_t>(entries / 256, 1));
    std::vector<Encoded> palette(256);
    for (uint32_t raw = 0; raw < 256; ++raw) {
        const uint32_t grey = s.lut[0].empty() ? raw * (s.lutMaxValue + 1) / 256
                                               : LookUp(s.lut[0], raw * step, s.lutMaxValue);
        const uint8_t g8 = static_cast<uint8_t>(std::min(grey, 255u));
        palette[raw] = Encode(layout, g8, g8, g8, grey);
    }
    return palette;
}

bool IsFieldType(uint32_t frameType) {
    return frameType == 8 || frameType == 16 || frameType == 32;
}

} // namespace

bool ColorAdjust::Nominal() const {
    const ColorAdjust n{};
    return brightness == n.brightness && contrast == n.contrast && vSaturation == n.vSaturation &&
           uSaturation == n.uSaturation && hue == n.hue && std::equal(level, level + 3, n.level) &&
           std::equal(reference, reference + 3, n.reference) &&
           std::equal(offset, offset + 3, n.offset);
}

namespace {

// ---- Test patterns ---------------------------------------------------------------------------

constexpr PatternColor kBlack{0, 0, 0};
constexpr PatternColor kWhite{255, 255, 255};

PatternColor Grey(int64_t v) {
    const auto g = static_cast<uint8_t>(std::clamp<int64_t>(v, 0, 255));
    return {g, g, g};
}

int64_t FloorDiv(int64_t a, int64_t b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

PatternColor Bars75(int64_t x, int64_t, int64_t w, int64_t) {
    constexpr PatternColor kColors[kBars] = {{191, 191, 191}, {191, 191, 0}, {0, 191, 191},
                                             {0, 191, 0},     {191, 0, 191}, {191, 0, 0},
                                             {0, 0, 191},     {0, 0, 0}};
    return kColors[Mod(x, w) * kBars / w];
}
PatternColor HorizontalRamp(int64_t x, int64_t, int64_t w, int64_t) {
    return Grey(std::clamp<int64_t>(x, 0, w - 1) * 255 / std::max<int64_t>(w - 1, 1));
}
PatternColor VerticalRamp(int64_t, int64_t y, int64_t, int64_t h) {
    return Grey(std::clamp<int64_t>(y, 0, h - 1) * 255 / std::max<int64_t>(h - 1, 1));
}
PatternColor Checkerboard(int64_t x, int64_t y, int64_t w, int64_t h) {
    const int64_t side = CheckerSquare(w, h);
    return ((FloorDiv(x, side) + FloorDiv(y, side)) & 1) ? kWhite : kBlack;
}
PatternColor CrossHatch(int64_t x, int64_t y, int64_t w, int64_t h) {
    const int64_t side = CheckerSquare(w, h);
    const bool line = Mod(x, side) == 0 || Mod(y, side) == 0 || x == w - 1 || y == h - 1;
    return line ? kWhite : kBlack;
}
PatternColor FlatBlack(int64_t, int64_t, int64_t, int64_t) {
    return kBlack;
}
PatternColor FlatWhite(int64_t, int64_t, int64_t, int64_t) {
    return kWhite;
}
PatternColor FlatGrey(int64_t, int64_t, int64_t, int64_t) {
    return Grey(128);
}

constexpr Pattern kPatterns[kPatternCount] = {
    {kModelPattern, nullptr},
    {kMovingRamp, nullptr},
    {kBarsWithBox, nullptr},
    {kBars75, Bars75},
    {kHorizontalRamp, HorizontalRamp},
    {kVerticalRamp, VerticalRamp},
    {kCheckerboard, Checkerboard},
    {kCrossHatch, CrossHatch},
    {kFlatBlack, FlatBlack},
    {kFlatWhite, FlatWhite},
    {kFlatGrey, FlatGrey},
    {kNoise, nullptr},
};

// A well-mixed 64-bit hash (splitmix64) for the seeded noise.
uint64_t Mix(uint64_t z) {
    z += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

PatternId Effective(const PictureSettings& s) {
    const uint32_t p = s.pattern < kPatternCount ? s.pattern : kModelPattern;
    if (p == kModelPattern) return s.color ? kBarsWithBox : kMovingRamp;
    return static_cast<PatternId>(p);
}

// ---- Encoded rows ----------------------------------------------------------------------------
// A picture row is held as the bytes it leaves in the frame: width x bytes-per-pixel bytes, or
// for a YUV frame its luma row followed by its U and V rows.

// How a row of the monochrome ramp is made: raw value = (a X + c) mod 256 for scene column X,
// with c = (b Y + 4n) mod 256 for scene line Y, by input source.
struct RampForm {
    int64_t a, b;
};
constexpr RampForm kRampForms[] = {{1, 1}, {1, 0}, {0, 1}, {1, -1}};

constexpr uint32_t kNoiseRows = 256;

// The mode of rows made from a played file: past the patterns' numbers.
constexpr PatternId kPlayedPicture = kPatternCount;

class PictureRows {
public:
    // The rows of the settings' pattern, or with a picture, of that played file (kept by `key`).
    PictureRows(const PictureSettings& s, const FrameView& dst, const RgbPicture* picture = nullptr,
                uint64_t key = 0)
        : settings_(WithoutCaption(s)), key_(key), geometry_(dst.geometry), width_(dst.width),
          height_(dst.height), layout_(dst.layout), bpp_(BytesPerPixel(dst.layout)),
          chroma_((dst.width + 1) / 2),
          rowBytes_(dst.layout == PixelLayout::Yuv ? size_t{dst.width} + 2 * chroma_
                                                   : size_t{dst.width} * bpp_),
          mode_(picture ? kPlayedPicture : Effective(s)),
          paint_(mode_ < kPatternCount ? kPatterns[mode_].paint : nullptr),
          still_(paint_ != nullptr || picture != nullptr),
          monoPalette_(s.color ? std::vector<Encoded>{} : MonoPalette(s, dst.layout)),
          sceneColumn_(dst.width, kBlankColumn) {
        if (mode_ == kMovingRamp) {
            for (uint32_t raw = 0; raw < 256; ++raw) {
                const auto v = static_cast<uint8_t>(raw);
                palette_.push_back(s.color ? EncodeColor({v, v, v}) : monoPalette_[raw]);
            }
        } else {
            for (const Rgb& c : kSymbolColors)
                palette_.push_back(EncodeColor({Clamp8(c.r), Clamp8(c.g), Clamp8(c.b)}));
        }
        captionBack_ = EncodeColor(kBlack);
        captionText_ = EncodeColor(kWhite);

        const uint32_t hinc = std::max(geometry_.hinc, 1u);
        const int64_t sceneWidth = std::max<uint32_t>(s.sceneWidth, 1);
        for (uint32_t x = 0; x < width_; ++x) {
            const uint64_t imageX = uint64_t{geometry_.left} + uint64_t{x} * hinc;
            if (s.activeWidth != 0 && imageX >= s.activeWidth) continue;
            const int64_t sceneX = static_cast<int64_t>(imageX) + s.panX;
            sceneColumn_[x] = mode_ == kBarsWithBox  ? Mod(sceneX, sceneWidth)
                              : mode_ == kMovingRamp ? Mod(kRampForms[s.source % 4].a * sceneX, 256)
                                                     : sceneX;
        }
        std::vector<const Encoded*> row(width_);
        const Encoded* black = &palette_[mode_ == kMovingRamp ? 0 : kBlackSymbol];
        if (mode_ == kMovingRamp || mode_ == kBarsWithBox) {
            // Mono ramp: one row per value of c (0 to 255); color: the bars. Then the black row.
            const uint32_t count = mode_ == kBarsWithBox ? 1 : 256;
            rows_.resize((count + 1) * rowBytes_);
            for (uint32_t c = 0; c < count; ++c) {
                for (uint32_t x = 0; x < width_; ++x)
                    row[x] = &palette_[ColumnSymbol(x, c)];
                EncodeRow(row, RowAt(c));
            }
            blackIndex_ = count;
        } else if (mode_ == kNoise) {
            // kNoiseRows rows of noise; each image picks its rows by its number.
            rows_.resize((kNoiseRows + 1) * rowBytes_);
            std::vector<Encoded> values(width_);
            for (uint32_t r = 0; r < kNoiseRows; ++r) {
                for (uint32_t x = 0; x < width_; ++x) {
                    const uint64_t h = Mix((uint64_t{r} << 32) | x);
                    const auto v = static_cast<uint8_t>(h);
                    values[x] = s.color ? EncodeColor({v, static_cast<uint8_t>(h >> 8),
                                                       static_cast<uint8_t>(h >> 16)})
                                        : EncodeColor({v, v, v});
                    row[x] = sceneColumn_[x] == kBlankColumn ? black : &values[x];
                }
                EncodeRow(row, RowAt(r));
            }
            blackIndex_ = kNoiseRows;
        } else {
            // A still pattern: every frame row, for each field parity the frames can show.
            const uint32_t parities = geometry_.frameType == 32 ? 2 : 1;
            const int64_t sceneHeight = std::max<uint32_t>(s.sceneHeight, 1);
            rows_.resize((size_t{parities} * height_ + 1) * rowBytes_);
            std::vector<Encoded> values(width_);
            for (uint32_t p = 0; p < parities; ++p) {
                for (uint32_t y = 0; y < height_; ++y) {
                    int64_t sceneY = 0;
                    // Odd fields (16) take parity 1; NextField (32) keeps both.
                    const uint32_t parity = geometry_.frameType == 16 ? 1 : p;
                    const bool blank = !SceneLine(y, parity, sceneY);
                    for (uint32_t x = 0; x < width_; ++x) {
                        if (blank || sceneColumn_[x] == kBlankColumn) {
                            row[x] = black;
                            continue;
                        }
                        values[x] = EncodeColor(
                            picture ? PictureAt(*picture, sceneColumn_[x], sceneY)
                                    : paint_(sceneColumn_[x], sceneY, sceneWidth, sceneHeight));
                        row[x] = &values[x];
                    }
                    EncodeRow(row, RowAt(p * height_ + y));
                }
            }
            blackIndex_ = parities * height_;
        }
        for (uint32_t x = 0; x < width_; ++x)
            row[x] = black;
        EncodeRow(row, RowAt(blackIndex_));
        black_ = RowAt(blackIndex_);
    }

    bool Fits(const PictureSettings& s, const FrameView& dst, uint64_t key) const {
        return key == key_ && dst.width == width_ && dst.height == height_ &&
               dst.layout == layout_ && dst.geometry == geometry_ && SameRows(s, settings_);
    }

    // Renders with the rows of these settings and the caption of `current` (the settings
    // the rows were found for).
    void Render(uint64_t frameNumber, const FrameView& dst, const PictureSettings& current) const {
        const PictureSettings& s = settings_;
        const FrameGeometry& g = geometry_;
        const uint32_t parity = g.frameType == 16 ? 1 : g.frameType == 32 ? (frameNumber & 1) : 0;
        const int64_t shift = static_cast<int64_t>(4 * (frameNumber & 0xFFFF));

        // The color box: its columns in the scene and its lines.
        const int64_t sceneWidth = std::max<uint32_t>(s.sceneWidth, 1);
        const int64_t sceneHeight = std::max<uint32_t>(s.sceneHeight, 1);
        const int64_t box = std::max<int64_t>(sceneHeight / 4, 1);
        const int64_t boxX =
            Mod(static_cast<int64_t>(8 * (frameNumber % static_cast<uint64_t>(sceneWidth))),
                sceneWidth);
        const int64_t boxY = sceneHeight / 2 - box / 2;
        const uint64_t seed = Mix(frameNumber);

        for (uint32_t y = 0; y < dst.height; ++y) {
            if (still_) {
                Store(RowAt((g.frameType == 32 ? parity : 0) * height_ + y), dst, y);
                continue;
            }
            int64_t sceneY = 0;
            if (!SceneLine(y, parity, sceneY)) {
                Store(black_, dst, y);
            } else if (mode_ == kMovingRamp) {
                Store(RowAt(static_cast<uint32_t>(
                          Mod(kRampForms[s.source % 4].b * sceneY + shift, 256))),
                      dst, y);
            } else if (mode_ == kNoise) {
                Store(RowAt(static_cast<uint32_t>(Mix(seed ^ y) % kNoiseRows)), dst, y);
            } else {
                Store(RowAt(0), dst, y);
                if (sceneY >= boxY && sceneY < boxY + box) {
                    for (uint32_t x = 0; x < width_; ++x) {
                        const int64_t column = sceneColumn_[x];
                        if (column >= boxX && column < boxX + box)
                            Put(palette_[kBoxSymbol], dst, x, y);
                    }
                }
            }
        }
        if (current.caption && key_ == 0) DrawCaption(current, frameNumber, dst);
    }

    uint64_t key() const { return key_; }
    size_t Bytes() const { return rows_.size(); }

private:
    static constexpr int64_t kBlankColumn = INT64_MIN;

    // The rows do not depend on the caption (drawn per image): boards that differ only in
    // their caption share their rows. Nor do they hold the played folder (they are kept by
    // its file's key): the folder drops its rows when it is gone.
    static PictureSettings WithoutCaption(PictureSettings s) {
        s.caption = false;
        s.boardName.clear();
        s.started = {};
        s.images.reset();
        return s;
    }
    static bool SameRows(const PictureSettings& a, const PictureSettings& b) {
        // Every field but the caption's (caption, boardName, started).
        return a.color == b.color && a.pattern == b.pattern && a.source == b.source &&
               a.sceneWidth == b.sceneWidth && a.sceneHeight == b.sceneHeight && a.panX == b.panX &&
               a.panY == b.panY && a.activeWidth == b.activeWidth &&
               a.activeHeight == b.activeHeight && a.lut[0] == b.lut[0] && a.lut[1] == b.lut[1] &&
               a.lut[2] == b.lut[2] && a.lutMaxValue == b.lutMaxValue && a.adjust == b.adjust;
    }

    // A played file's point of the scene: the file from the scene's top-left corner, cropped
    // to the scene; black around it.
    PatternColor PictureAt(const RgbPicture& picture, int64_t x, int64_t y) const {
        const int64_t w = std::min<int64_t>(picture.width, settings_.sceneWidth);
        const int64_t h = std::min<int64_t>(picture.height, settings_.sceneHeight);
        if (x < 0 || y < 0 || x >= w || y >= h) return kBlack;
        return picture.At(static_cast<uint32_t>(x), static_cast<uint32_t>(y));
    }

    // The scene line of frame row y for a field parity; false when it is beyond the active
    // line count (black).
    bool SceneLine(uint32_t y, uint32_t parity, int64_t& sceneY) const {
        const uint32_t vinc = std::max(geometry_.vinc, 1u);
        const uint64_t line = uint64_t{geometry_.top} + uint64_t{y} * vinc;
        const uint64_t imageY = IsFieldType(geometry_.frameType) ? 2 * line + parity : line;
        sceneY = static_cast<int64_t>(imageY) + settings_.panY;
        return settings_.activeHeight == 0 || imageY < settings_.activeHeight;
    }

    // A color as the board stores it: through the color adjustments and the red, green and
    // blue tables on a color board; its luma through the monochrome table on a monochrome one.
    Encoded EncodeColor(PatternColor c) const {
        const PictureSettings& s = settings_;
        if (!s.color) return monoPalette_[LumaOf(c)];
        const Rgb a = Adjusted(s.adjust, {double(c.r), double(c.g), double(c.b)});
        const uint8_t r = static_cast<uint8_t>(LookUp(s.lut[0], Clamp8(a.r), 255));
        const uint8_t g = static_cast<uint8_t>(LookUp(s.lut[1], Clamp8(a.g), 255));
        const uint8_t b = static_cast<uint8_t>(LookUp(s.lut[2], Clamp8(a.b), 255));
        return Encode(layout_, r, g, b, (299u * r + 587u * g + 114u * b) / 1000u);
    }

    void DrawCaption(const PictureSettings& s, uint64_t frameNumber, const FrameView& dst) const {
        using namespace caption;
        // Below the box stays kMargin; above it at least rows 0 to 3 (the counter) stay free.
        if (dst.height < uint32_t{kBoxHeight + kMargin + 4} || dst.width <= uint32_t{kMargin})
            return;
        const uint64_t elapsed =
            s.started == std::chrono::steady_clock::time_point{}
                ? 0
                : static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                            std::chrono::steady_clock::now() - s.started)
                                            .count());
        const std::string text = CaptionText(s.boardName, frameNumber, elapsed);
        const uint32_t top = dst.height - kMargin - kBoxHeight;
        const uint32_t boxWidth = static_cast<uint32_t>(2 * kPadding + text.size() * kAdvance - 1);
        const uint32_t right = std::min<uint32_t>(dst.width, kMargin + boxWidth);
        for (uint32_t r = 0; r < uint32_t{kBoxHeight}; ++r) {
            const int glyphRow = static_cast<int>(r) - kPadding;
            for (uint32_t x = kMargin; x < right; ++x) {
                bool on = false;
                const int cx = static_cast<int>(x) - kMargin - kPadding;
                if (glyphRow >= 0 && glyphRow < kGlyphHeight && cx >= 0) {
                    const size_t index = static_cast<size_t>(cx / kAdvance);
                    const int column = cx % kAdvance;
                    if (index < text.size() && column < kGlyphWidth)
                        on =
                            (GlyphOf(text[index]).rows[glyphRow] >> (kGlyphWidth - 1 - column)) & 1;
                }
                Put(on ? captionText_ : captionBack_, dst, x, top + r);
            }
        }
    }

    uint32_t ColumnSymbol(uint32_t x, uint32_t c) const {
        const int64_t column = sceneColumn_[x];
        if (column == kBlankColumn) return mode_ == kBarsWithBox ? kBlackSymbol : 0;
        if (mode_ == kBarsWithBox) {
            const int64_t sceneWidth = std::max<uint32_t>(settings_.sceneWidth, 1);
            return static_cast<uint32_t>((column * kBars / sceneWidth + settings_.source) % kBars);
        }
        return static_cast<uint32_t>((column + c) % 256);
    }

    uint8_t* RowAt(uint32_t index) { return rows_.data() + size_t{index} * rowBytes_; }
    const uint8_t* RowAt(uint32_t index) const { return rows_.data() + size_t{index} * rowBytes_; }

    void EncodeRow(const std::vector<const Encoded*>& values, uint8_t* row) const {
        if (layout_ == PixelLayout::Yuv) {
            uint8_t* u = row + width_;
            uint8_t* v = u + chroma_;
            for (uint32_t x = 0; x < width_; ++x) {
                const Encoded& e = *values[x];
                row[x] = e.y;
                if (x % 2 == 0) {
                    u[x / 2] = e.u;
                    v[x / 2] = e.v;
                }
            }
            return;
        }
        for (uint32_t x = 0; x < width_; ++x)
            std::memcpy(row + size_t{x} * bpp_, values[x]->bytes, bpp_);
    }

    // A YUV frame holds its planes one after the other: n luma bytes, then U, then V.
    void Store(const uint8_t* row, const FrameView& dst, uint32_t y) const {
        if (layout_ != PixelLayout::Yuv) {
            std::memcpy(dst.pixels + size_t{y} * rowBytes_, row, rowBytes_);
            return;
        }
        const size_t n = size_t{width_} * dst.height;
        std::memcpy(dst.pixels + size_t{y} * width_, row, width_);
        std::memcpy(dst.pixels + n + size_t{y} * width_ / 2, row + width_, chroma_);
        std::memcpy(dst.pixels + n + n / 2 + size_t{y} * width_ / 2, row + width_ + chroma_,
                    chroma_);
    }

    void Put(const Encoded& e, const FrameView& dst, uint32_t x, uint32_t y) const {
        if (layout_ != PixelLayout::Yuv) {
            std::memcpy(dst.pixels + size_t{y} * rowBytes_ + size_t{x} * bpp_, e.bytes, bpp_);
            return;
        }
        const size_t n = size_t{width_} * dst.height;
        dst.pixels[size_t{y} * width_ + x] = e.y;
        if (x % 2 == 0) {
            dst.pixels[n + size_t{y} * width_ / 2 + x / 2] = e.u;
            dst.pixels[n + n / 2 + size_t{y} * width_ / 2 + x / 2] = e.v;
        }
    }

    const PictureSettings settings_;
    const uint64_t key_; // of the played file; 0 for a pattern
    const FrameGeometry geometry_;
    const uint32_t width_;
    const uint32_t height_;
    const PixelLayout layout_;
    const uint32_t bpp_;
    const uint32_t chroma_; // bytes of a U or V row
    const size_t rowBytes_;
    const PatternId mode_;
    PatternColor (*const paint_)(int64_t, int64_t, int64_t, int64_t);
    const bool still_; // every frame row kept: a still pattern or a played file
    const std::vector<Encoded> monoPalette_; // monochrome boards: raw value -> stored value
    std::vector<Encoded> palette_;           // moving ramp: by raw value; else by scene symbol
    Encoded captionBack_, captionText_;
    // Moving ramp: (a X) mod 256; bars with box: X mod scene width; else scene column X.
    std::vector<int64_t> sceneColumn_;
    std::vector<uint8_t> rows_;
    uint32_t blackIndex_ = 0;
    const uint8_t* black_ = nullptr;
};

// The encoded rows of the pictures rendered last, most recent first: at least kSets, and more
// while they fit kPlayedRowsBudget (a played folder keeps every file's rows when it can).
// Boards acquire and show live video from several threads; each set is immutable once made.
bool rowsCacheGone = false; // plain data: still readable while the driver's statics go

class PictureRowsCache {
public:
    PictureRowsCache() = default;
    PictureRowsCache(const PictureRowsCache&) = delete;
    PictureRowsCache& operator=(const PictureRowsCache&) = delete;
    // A folder may be let go by a board destroyed after this cache, at the driver's unload.
    ~PictureRowsCache() { rowsCacheGone = true; }

    std::shared_ptr<const PictureRows> Find(const PictureSettings& s, const FrameView& dst,
                                            uint64_t key) {
        std::lock_guard lock(mutex_);
        const auto it = std::find_if(sets_.begin(), sets_.end(),
                                     [&](const auto& set) { return set->Fits(s, dst, key); });
        if (it == sets_.end()) return nullptr;
        std::rotate(sets_.begin(), it, it + 1);
        return sets_.front();
    }

    std::shared_ptr<const PictureRows> Add(std::shared_ptr<const PictureRows> set) {
        std::lock_guard lock(mutex_);
        bytes_ += set->Bytes();
        sets_.insert(sets_.begin(), set);
        while (sets_.size() > kSets && (bytes_ > kPlayedRowsBudget || sets_.size() > kMaxSets))
            DropLocked(sets_.end() - 1);
        return set;
    }

    // The rows of a folder's listing: its keys' high half.
    void Forget(uint64_t serial) {
        std::lock_guard lock(mutex_);
        for (auto it = sets_.begin(); it != sets_.end();)
            it = (*it)->key() >> 32 == serial ? DropLocked(it) : it + 1; // patterns: key 0
    }

private:
    using Sets = std::vector<std::shared_ptr<const PictureRows>>;
    Sets::iterator DropLocked(Sets::iterator it) {
        bytes_ -= (*it)->Bytes();
        return sets_.erase(it);
    }

    static constexpr size_t kSets = 8;
    static constexpr size_t kMaxSets = 4096;
    Mutex mutex_;
    Sets sets_;
    size_t bytes_ = 0;
};

PictureRowsCache rowsCache;

// The rows of the file a played folder shows in an image; null when it has none to show.
std::shared_ptr<const PictureRows> PlayedRows(const PictureSettings& s, uint64_t frameNumber,
                                              const FrameView& dst) {
    const std::optional<ImageFolder::Slot> slot = s.images->SlotOf(frameNumber);
    if (!slot) return nullptr;
    if (auto rows = rowsCache.Find(s, dst, slot->key)) return rows;
    // Read and encoded outside the cache's lock; two threads may both make a set, harmlessly.
    const std::shared_ptr<const RgbPicture> picture = s.images->Load(*slot);
    if (!picture) return nullptr;
    return rowsCache.Add(std::make_shared<const PictureRows>(s, dst, picture.get(), slot->key));
}

} // namespace

void RenderPicture(const PictureSettings& s, uint64_t frameNumber, FrameView dst) {
    if (dst.pixels == nullptr || dst.width == 0 || dst.height == 0) return;
    std::shared_ptr<const PictureRows> rows;
    if (s.images) rows = PlayedRows(s, frameNumber, dst);
    if (!rows) rows = rowsCache.Find(s, dst, 0);
    if (!rows) rows = rowsCache.Add(std::make_shared<const PictureRows>(s, dst));
    rows->Render(frameNumber, dst, s);

    // The counter goes in last, over whatever the first pixels show.
    const size_t n = size_t{dst.width} * dst.height;
    if (n * BytesPerPixel(dst.layout) >= 4) {
        const auto counter = static_cast<uint32_t>(frameNumber);
        const uint8_t bytes[4] = {static_cast<uint8_t>(counter), static_cast<uint8_t>(counter >> 8),
                                  static_cast<uint8_t>(counter >> 16),
                                  static_cast<uint8_t>(counter >> 24)};
        std::memcpy(dst.pixels, bytes, 4);
    }
}

void ForgetPlayedRows(uint64_t serial) {
    if (!rowsCacheGone) rowsCache.Forget(serial);
}

const Pattern* Patterns() {
    return kPatterns;
}

int64_t CheckerSquare(int64_t sceneWidth, int64_t sceneHeight) {
    return std::max<int64_t>(std::min(sceneWidth, sceneHeight) / 8, 2);
}

std::string CaptionText(const std::string& boardName, uint64_t frameNumber, uint64_t elapsedMs) {
    char clock[48];
    std::snprintf(clock, sizeof clock, " #%llu %llu:%02u:%02u.%03u",
                  static_cast<unsigned long long>(frameNumber),
                  static_cast<unsigned long long>(elapsedMs / 3600000),
                  static_cast<unsigned>(elapsedMs / 60000 % 60),
                  static_cast<unsigned>(elapsedMs / 1000 % 60),
                  static_cast<unsigned>(elapsedMs % 1000));
    return boardName + clock;
}

uint32_t ReadFrameCounter(const uint8_t* pixels) {
    return uint32_t{pixels[0]} | (uint32_t{pixels[1]} << 8) | (uint32_t{pixels[2]} << 16) |
           (uint32_t{pixels[3]} << 24);
}

// ---- Per-board picture state ---------------------------------------------------------------

PictureState& BoardPicture(Board& board) {
    return board.Unit<PictureState>();
}

uint64_t NextImageNumber(Board& board) {
    return BoardPicture(board).imageNumber.fetch_add(1) + 1;
}

uint16_t EffectiveSource(Board& board) {
    auto lock = board.Lock();
    return board.basedSourceSelected ? board.basedSource : board.inputSource;
}

PictureSettings CurrentPictureSettings(Board& board) {
    auto lock = board.Lock();
    const ModelSpec& m = board.model();
    PictureSettings s;
    s.color = m.kind == STC_IMG_DEV_COLOR_FRAME_GRABBER;
    s.source = EffectiveSource(board);
    s.sceneWidth = board.settings().frameWidth;
    s.sceneHeight = board.settings().frameHeight;

    // Pan by the distance of the first active pixel and line from their nominals.
    const auto offset = [&](uint32_t key) -> int32_t {
        const int index = board.ControlIndex(key);
        if (index < 0 || s.source >= board.inputSources()) return 0;
        return board.Value(s.source, index) - board.controls()[index].nominal;
    };
    s.panX = offset(STC_FG_CTL_FIRST_ACTIVE_PIXEL);
    s.panY = offset(STC_FG_CTL_FIRST_ACTIVE_LINE);
    s.activeWidth = static_cast<uint32_t>(
        std::max(0, board.ValueOr(s.source, STC_FG_CTL_ACTIVE_PIXEL_COUNT, 0)));
    // The active line count is per field; a frame holds both fields.
    s.activeHeight = 2 * static_cast<uint32_t>(
                             std::max(0, board.ValueOr(s.source, STC_FG_CTL_ACTIVE_LINE_COUNT, 0)));

    const auto ilut =
        static_cast<uint32_t>(std::max(0, board.ValueOr(s.source, STC_FG_CTL_ILUT, 0)));
    const uint32_t luts = static_cast<uint32_t>(board.luts.size());
    if (!s.color) {
        if (ilut < luts) s.lut[0] = board.luts[ilut];
    } else if (luts >= 3) {
        const uint32_t set = ilut % (luts / 3); // a set is red, green and blue
        for (uint32_t c = 0; c < 3; ++c)
            s.lut[c] = board.luts[set * 3 + c];
    } else if (ilut < luts) {
        for (auto& lut : s.lut)
            lut = board.luts[ilut];
    }
    s.lutMaxValue = m.lutMaxValue;
    s.adjust = BoardPicture(board).adjust;
    s.pattern = board.settings().testPattern;
    s.caption = board.settings().testCaption != 0;
    s.boardName = board.settings().name;
    s.started = BoardPicture(board).started;
    s.images = PlayedFolder(board);
    return s;
}

std::shared_ptr<ImageFolder> PlayedFolder(Board& board) {
    auto lock = board.Lock();
    const BoardSettings& settings = board.settings();
    if (settings.imageFolder.empty()) return nullptr;
    PictureState& state = BoardPicture(board);
    if (!state.images)
        state.images = std::make_shared<ImageFolder>(settings.name, settings.imageFolder,
                                                     settings.imageRate, settings.frameRate);
    return state.images;
}

} // namespace kvboard
