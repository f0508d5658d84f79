// Test patterns (a board's TestPattern value) and the caption (TestCaption): every pattern on a
// monochrome and a color board, checked for the properties that can break, and the caption
// read back by matching the driver's font.
#include "acq_driver.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <set>
#include <string>

#include "bitmap_files.h"
#include "caption_font.h"
#include "process_counts.h"

namespace simtest {
namespace {

namespace cap = kvboard::caption;

LRESULT Acquire(const Driver& d, FrameHandle frame) {
    return d.Send(msg::STM_ACQUIRE_FRAME, 0, frame);
}

// A frame's pixels as luma and color, whatever its storage (1 byte grey or 4 bytes BGRX).
struct Picture {
    uint32_t width = 0, height = 0, counter = 0;
    std::vector<uint8_t> r, g, b;
    int Luma(uint32_t x, uint32_t y) const {
        const size_t i = size_t{y} * width + x;
        return (299 * r[i] + 587 * g[i] + 114 * b[i] + 500) / 1000;
    }
    bool Grey(uint32_t x, uint32_t y) const {
        const size_t i = size_t{y} * width + x;
        return r[i] == g[i] && g[i] == b[i];
    }
};

Picture Read(const Driver& d, FrameHandle frame) {
    const FrameInfo info = Info(d, frame);
    const std::vector<uint8_t> bytes = ReadAll(d, frame);
    Picture p;
    p.width = info.Width;
    p.height = info.Height;
    p.counter = Counter(d, frame);
    const size_t n = size_t{p.width} * p.height;
    p.r.resize(n);
    p.g.resize(n);
    p.b.resize(n);
    for (size_t i = 0; i < n; ++i) {
        if (info.BytesPerPixel == 1) {
            p.r[i] = p.g[i] = p.b[i] = bytes[i];
        } else {
            p.b[i] = bytes[i * info.BytesPerPixel];
            p.g[i] = bytes[i * info.BytesPerPixel + 1];
            p.r[i] = bytes[i * info.BytesPerPixel + 2];
        }
    }
    return p;
}

constexpr uint32_t kMovingRamp = 1, kBars = 2, kBars75 = 3, kHRamp = 4, kVRamp = 5, kChecker = 6,
                   kHatch = 7, kBlack = 8, kWhite = 9, kGrey = 10, kNoise = 11;

// Counts the pixels of rows 1 to the last (row 0 holds the counter) where `ok` fails and
// reports the first few.
template <class Ok> void ExpectAll(const Picture& p, const char* what, Ok ok) {
    int failures = 0;
    for (uint32_t y = 1; y < p.height; ++y)
        for (uint32_t x = 0; x < p.width; ++x)
            if (!ok(x, y) && ++failures <= 3)
                ADD_FAILURE() << what << ": pixel " << x << "," << y << " luma " << p.Luma(x, y);
    EXPECT_EQ(failures, 0) << what;
}

void CheckMovingRamp(const Picture& p) {
    ExpectAll(p, "ramp steps by one", [&](uint32_t x, uint32_t y) {
        return x + 1 == p.width || p.Luma(x + 1, y) == (p.Luma(x, y) + 1) % 256;
    });
    ExpectAll(p, "grey", [&](uint32_t x, uint32_t y) { return p.Grey(x, y); });
}

// Eight bars of falling luma (white, yellow, cyan, green, magenta, red, blue, black).
void CheckBars(const Picture& p, int white) {
    const uint32_t bar = p.width / 8;
    int previous = 256;
    for (uint32_t i = 0; i < 8; ++i) {
        const int luma = p.Luma(i * bar + bar / 2, 10);
        EXPECT_LT(luma, previous) << "bar " << i;
        previous = luma;
    }
    EXPECT_EQ(p.Luma(bar / 2, 10), white);
    EXPECT_EQ(p.Luma(7 * bar + bar / 2, 10), 0);
    // Within a bar the picture is flat (row 10 is clear of the box).
    for (uint32_t i = 0; i < 8; ++i)
        EXPECT_EQ(p.Luma(i * bar + 1, 10), p.Luma(i * bar + bar - 2, 10)) << "bar " << i;
}

void CheckHRamp(const Picture& p) {
    ExpectAll(p, "rises to the right",
              [&](uint32_t x, uint32_t y) { return x == 0 || p.Luma(x, y) >= p.Luma(x - 1, y); });
    ExpectAll(p, "same down", [&](uint32_t x, uint32_t y) { return p.Luma(x, y) == p.Luma(x, 1); });
    EXPECT_EQ(p.Luma(0, 1), 0);
    EXPECT_EQ(p.Luma(p.width - 1, 1), 255);
}

void CheckVRamp(const Picture& p) {
    ExpectAll(p, "rises downwards",
              [&](uint32_t x, uint32_t y) { return y == 1 || p.Luma(x, y) >= p.Luma(x, y - 1); });
    ExpectAll(p, "same across",
              [&](uint32_t x, uint32_t y) { return p.Luma(x, y) == p.Luma(0, y); });
    EXPECT_EQ(p.Luma(0, p.height - 1), 255);
    EXPECT_LE(p.Luma(0, 1), 1);
}

uint32_t Square(const Picture& p) {
    return std::max<uint32_t>(std::min(p.width, p.height) / 8, 2);
}

void CheckChecker(const Picture& p) {
    const uint32_t side = Square(p);
    EXPECT_EQ(side, p.height / 8);
    ExpectAll(p, "squares alternate", [&](uint32_t x, uint32_t y) {
        return p.Luma(x, y) == (((x / side + y / side) & 1) ? 255 : 0);
    });
}

void CheckHatch(const Picture& p) {
    const uint32_t side = Square(p);
    ExpectAll(p, "grid lines", [&](uint32_t x, uint32_t y) {
        const bool line = x % side == 0 || y % side == 0 || x + 1 == p.width || y + 1 == p.height;
        return p.Luma(x, y) == (line ? 255 : 0);
    });
}

void CheckFlat(const Picture& p, int value) {
    ExpectAll(p, "flat",
              [&](uint32_t x, uint32_t y) { return p.Luma(x, y) == value && p.Grey(x, y); });
}

void CheckNoise(const Picture& p) {
    std::set<int> values;
    for (uint32_t x = 0; x < p.width; ++x)
        values.insert(p.Luma(x, 5));
    EXPECT_GT(values.size(), 100u) << "noise takes many values";
}

struct PatternCase {
    uint32_t pattern;
    const char* name;
    std::function<void(const Picture&)> check;
};

const PatternCase kCases[] = {
    {kMovingRamp, "moving ramp", CheckMovingRamp},
    {kBars, "100% bars", [](const Picture& p) { CheckBars(p, 255); }},
    {kBars75, "75% bars", [](const Picture& p) { CheckBars(p, 191); }},
    {kHRamp, "horizontal ramp", CheckHRamp},
    {kVRamp, "vertical ramp", CheckVRamp},
    {kChecker, "checkerboard", CheckChecker},
    {kHatch, "cross-hatch", CheckHatch},
    {kBlack, "black", [](const Picture& p) { CheckFlat(p, 0); }},
    {kWhite, "white", [](const Picture& p) { CheckFlat(p, 255); }},
    {kGrey, "grey", [](const Picture& p) { CheckFlat(p, 128); }},
    {kNoise, "noise", CheckNoise},
};

struct BoardCase {
    const wchar_t* key;
    const char* open;
    DWORD model;
};
const BoardCase kBoards[] = {
    {L"SIMPAT1", "kvboard!SIMPAT1", KV7100}, // monochrome, 640 x 480
    {L"SIMPAT2", "kvboard!SIMPAT2", KV7500}, // color, 768 x 576, RGB32
};

// Each test has boards of its own: the tests may run side by side.
const BoardCase kCaptionBoards[] = {
    {L"SIMPAT4", "kvboard!SIMPAT4", KV7100},
    {L"SIMPAT5", "kvboard!SIMPAT5", KV7500},
};

TEST(Pattern, EveryPatternOnAMonochromeAndAColorBoard) {
    for (const BoardCase& bc : kBoards) {
        for (const PatternCase& c : kCases) {
            SCOPED_TRACE(testing::Message() << c.name << " on model " << bc.model);
            FastBoard board(bc.key, bc.model);
            board.Set(L"TestPattern", c.pattern);
            board.Set(L"TestCaption", 0);
            Driver d(bc.open);
            ASSERT_TRUE(d);
            ScopedFrame frame(d);
            ASSERT_EQ(Acquire(d, frame), 1);
            c.check(Read(d, frame));
        }
    }
}

// Noise is new every image, and the same image number shows the same noise.
TEST(Pattern, NoiseDiffersBetweenImagesAndRepeatsWithItsSeeds) {
    std::vector<Picture> first;
    for (int session = 0; session < 2; ++session) {
        FastBoard board(L"SIMPAT3", KV7100);
        board.Set(L"TestPattern", kNoise);
        board.Set(L"TestCaption", 0);
        Driver d("kvboard!SIMPAT3");
        ASSERT_TRUE(d);
        ScopedFrame frame(d);
        std::vector<Picture> shots;
        for (int i = 0; i < 2; ++i) {
            ASSERT_EQ(Acquire(d, frame), 1);
            shots.push_back(Read(d, frame));
        }
        size_t differ = 0;
        for (size_t i = 640; i < shots[0].r.size(); ++i)
            differ += shots[0].r[i] != shots[1].r[i];
        EXPECT_GT(differ, shots[0].r.size() / 2) << "consecutive images differ";
        if (session == 0) {
            first = shots;
        } else {
            ASSERT_EQ(shots[0].counter, first[0].counter) << "a new board starts at image 1";
            EXPECT_TRUE(shots[0].r == first[0].r && shots[1].r == first[1].r)
                << "the same image numbers show the same noise";
        }
    }
}

// Writes an inverting table into input lookup table 2 of a monochrome board and selects it.
void SelectInvertingTable(const Driver& d) {
    std::vector<uint32_t> inverted(256);
    for (uint32_t i = 0; i < 256; ++i)
        inverted[i] = 255 - i;
    LutBlock block{2, 0, 0, 256};
    ASSERT_EQ(d.Send(msg::STM_WRITE_INPUT_LUT, reinterpret_cast<LPARAM>(&block),
                     reinterpret_cast<LPARAM>(inverted.data())),
              1);
    ASSERT_EQ(d.SetControl(0, STC_FG_CTL_ILUT, 2), 1);
}

// The input controls change every pattern as they change the model's picture: the frame's
// scaling and field type, and the selected input lookup table.
TEST(Pattern, FrameGeometryAndLookupTablesApplyToThePatterns) {
    FastBoard board(L"SIMPAT7", KV7100);
    board.Set(L"TestPattern", kChecker);
    board.Set(L"TestCaption", 0);
    Driver d("kvboard!SIMPAT7");
    ASSERT_TRUE(d);
    ASSERT_EQ(d.SetControl(0, STC_FG_CTL_HOR_FRAME_INC, 2), 1);
    ASSERT_EQ(d.SetControl(0, STC_FG_CTL_FRAME_WIDTH, 320), 1);
    ASSERT_EQ(d.SetControl(0, STC_FG_CTL_FRAME_TYPE, 16), 1); // OddField: image lines 1, 3, 5...
    {
        ScopedFrame frame(d);
        ASSERT_EQ(Acquire(d, frame), 1);
        const Picture p = Read(d, frame);
        ASSERT_EQ(p.width, 320u);
        ExpectAll(p, "scaled odd-field squares", [&](uint32_t x, uint32_t y) {
            if (y >= 240) return true; // past the image's 480 lines: black or not, not checked
            return p.Luma(x, y) == ((((2 * x) / 60 + (2 * y + 1) / 60) & 1) ? 255 : 0);
        });
    }
    ASSERT_NO_FATAL_FAILURE(SelectInvertingTable(d));
    ScopedFrame frame(d);
    ASSERT_EQ(Acquire(d, frame), 1);
    const Picture p = Read(d, frame);
    ExpectAll(p, "inverted squares", [&](uint32_t x, uint32_t y) {
        if (y >= 240) return true;
        return p.Luma(x, y) == ((((2 * x) / 60 + (2 * y + 1) / 60) & 1) ? 0 : 255);
    });
}

// The caption's text, read glyph by glyph from the box at the bottom-left corner.
std::string ReadCaption(const Picture& p) {
    const uint32_t top = p.height - cap::kMargin - cap::kBoxHeight + cap::kPadding;
    std::string text;
    for (uint32_t left = cap::kMargin + cap::kPadding; left + cap::kGlyphWidth <= p.width;
         left += cap::kAdvance) {
        uint8_t rows[cap::kGlyphHeight] = {};
        for (int r = 0; r < cap::kGlyphHeight; ++r)
            for (int c = 0; c < cap::kGlyphWidth; ++c)
                if (p.Luma(left + c, top + r) > 127)
                    rows[r] |= static_cast<uint8_t>(1 << (cap::kGlyphWidth - 1 - c));
        const auto it = std::find_if(std::begin(cap::kGlyphs), std::end(cap::kGlyphs),
                                     [&](const cap::Glyph& g) {
                                         return std::equal(rows, rows + cap::kGlyphHeight, g.rows);
                                     });
        if (it == std::end(cap::kGlyphs)) break;
        text += it->c;
    }
    return text;
}

TEST(Pattern, TheCaptionShowsTheBoardAndAFrameNumberAdvancingByOne) {
    for (const BoardCase& bc : kCaptionBoards) {
        SCOPED_TRACE(testing::Message() << "model " << bc.model);
        FastBoard board(bc.key, bc.model); // TestPattern and TestCaption missing: the defaults
        Driver d(bc.open);
        ASSERT_TRUE(d);
        ScopedFrame frame(d);
        for (int i = 0; i < 3; ++i) {
            ASSERT_EQ(Acquire(d, frame), 1);
            const Picture p = Read(d, frame);
            const std::string text = ReadCaption(p);
            std::string name;
            for (const wchar_t* c = bc.key; *c; ++c)
                name += static_cast<char>(*c);
            const std::string expected = name + " #" + std::to_string(p.counter) + " ";
            EXPECT_EQ(text.substr(0, expected.size()), expected) << "caption '" << text << "'";
            // Then the time since the board started, h:mm:ss.mmm (under 10 hours here); the
            // reading may go on past the box into the picture.
            const std::string clock = text.size() >= expected.size() + 11
                                          ? text.substr(expected.size(), 11)
                                          : std::string();
            const std::string form = "9:99:99.999";
            bool ok = clock.size() == form.size();
            for (size_t i = 0; ok && i < form.size(); ++i)
                ok = form[i] == '9' ? std::isdigit(static_cast<unsigned char>(clock[i])) != 0
                                    : clock[i] == form[i];
            EXPECT_TRUE(ok) << "clock '" << clock << "' in caption '" << text << "'";
        }
    }
}

TEST(Pattern, TestCaptionZeroLeavesNoCaption) {
    for (DWORD caption : {0u, 1u}) {
        FastBoard board(L"SIMPAT6", KV7100);
        board.Set(L"TestPattern", kGrey);
        board.Set(L"TestCaption", caption);
        Driver d("kvboard!SIMPAT6");
        ASSERT_TRUE(d);
        ScopedFrame frame(d);
        ASSERT_EQ(Acquire(d, frame), 1);
        const Picture p = Read(d, frame);
        size_t notGrey = 0;
        for (uint32_t y = 1; y < p.height; ++y)
            for (uint32_t x = 0; x < p.width; ++x)
                notGrey += p.Luma(x, y) != 128;
        if (caption == 0) {
            EXPECT_EQ(notGrey, 0u);
            EXPECT_EQ(ReadCaption(p), "");
        } else {
            EXPECT_GT(notGrey, 0u);
            EXPECT_EQ(ReadCaption(p).substr(0, 9), "SIMPAT6 #");
        }
    }
}

// ---- Recorded images (a board's ImageFolder) -------------------------------------------------

// The three played files: their shapes, depths and row orders differ, and each tells its
// pixels apart from the others'.
struct PlayedFile {
    const wchar_t* name;
    uint32_t width, height;
    uint16_t bits;
    bool topDown;
};
const PlayedFile kPlayed[] = {
    {L"b.bmp", 200, 100, 24, false}, // smaller than the frame: padded with black
    {L"a.BMP", 640, 480, 8, false},  // plays first: names sort ignoring case
    {L"c.bmp", 1000, 700, 32, true}, // larger than every frame: cropped
};
constexpr size_t kPlayOrder[] = {1, 0, 2}; // kPlayed in the order they play

Rgb8 PlayedColor(size_t file, uint32_t x, uint32_t y) {
    if (kPlayed[file].bits == 8) return PaletteEntry(static_cast<uint8_t>(x + 3 * y));
    return {static_cast<uint8_t>(x * 3 + file * 50), static_cast<uint8_t>(y * 5),
            static_cast<uint8_t>(x ^ y)};
}

void WritePlayedFiles(const ScratchFolder& folder) {
    for (size_t i = 0; i < std::size(kPlayed); ++i) {
        const PlayedFile& f = kPlayed[i];
        WriteFileBytes(folder / f.name,
                       BitmapBytes(
                           f.width, f.height, f.bits, f.topDown,
                           [](uint32_t x, uint32_t y) { return static_cast<uint8_t>(x + 3 * y); },
                           [i](uint32_t x, uint32_t y) { return PlayedColor(i, x, y); }));
    }
    WriteFileBytes(folder / L"notes.txt", {'n', 'o'}); // not a .bmp: not played
}

// Whether a frame shows played file `file` (its luma on a monochrome board, through `lut`),
// black past the file.
void ExpectPlayed(
    const Picture& p, size_t file, bool color, const char* what,
    const std::function<int(int)>& lut = [](int v) { return v; }) {
    const PlayedFile& f = kPlayed[file];
    ExpectAll(p, what, [&](uint32_t x, uint32_t y) {
        const size_t i = size_t{y} * p.width + x;
        const Rgb8 c = x < f.width && y < f.height ? PlayedColor(file, x, y) : Rgb8{0, 0, 0};
        if (color) return p.r[i] == c.r && p.g[i] == c.g && p.b[i] == c.b;
        return p.Luma(x, y) == lut((299 * c.r + 587 * c.g + 114 * c.b + 500) / 1000);
    });
}

TEST(Play, AFolderPlaysInNameOrderLoopingOnAMonochromeAndAColorBoard) {
    ScratchFolder folder(L"corvid_play_files");
    WritePlayedFiles(folder);
    for (const BoardCase& bc : {BoardCase{L"SIMPLAY1", "kvboard!SIMPLAY1", KV7100},
                                BoardCase{L"SIMPLAY2", "kvboard!SIMPLAY2", KV7500}}) {
        SCOPED_TRACE(testing::Message() << "model " << bc.model);
        const bool color = bc.model == KV7500;
        FastBoard board(bc.key, bc.model); // the caption is on: played pictures have none
        board.SetText(L"ImageFolder", folder.path() + L"\\");
        Driver d(bc.open);
        ASSERT_TRUE(d);
        ScopedFrame frame(d);
        for (uint32_t n = 1; n <= 7; ++n) {
            ASSERT_EQ(Acquire(d, frame), 1);
            const Picture p = Read(d, frame);
            EXPECT_EQ(p.counter, n);
            ExpectPlayed(p, kPlayOrder[(n - 1) % 3], color, "played file");
        }
        if (color) continue;
        // The input lookup table maps the played picture as it maps a pattern.
        ASSERT_NO_FATAL_FAILURE(SelectInvertingTable(d));
        ASSERT_EQ(Acquire(d, frame), 1); // image 8: the second file
        ExpectPlayed(Read(d, frame), kPlayOrder[1], false, "through the inverting table",
                     [](int v) { return 255 - v; });
    }
}

// An image whose file the folder cannot give shows the test pattern (flat grey here), and
// the acquisition still succeeds; ImageRate holds each file for its share of the frame rate.
TEST(Play, FilesThatCannotBePlayedShowTheTestPattern) {
    ScratchFolder folder(L"corvid_play_bad");
    const auto good = BitmapBytes(64, 64, 24, false, nullptr, [](uint32_t, uint32_t) {
        return Rgb8{255, 255, 255};
    });
    WriteFileBytes(folder / L"1.bmp", good);
    WriteFileBytes(folder / L"2.bmp", std::vector<uint8_t>(good.begin(), good.end() - 100));
    auto deep16 = good;
    deep16[28] = 16;
    WriteFileBytes(folder / L"3.bmp", deep16);
    WriteFileBytes(folder / L"4.bmp", {});
    CreateDirectoryW((folder / L"0.bmp").c_str(), nullptr); // a folder named like a file
    // 32 bits stored with bit fields: played with the usual masks, refused with others.
    const auto white32 = BitmapBytes(64, 64, 32, false, nullptr, [](uint32_t, uint32_t) {
        return Rgb8{255, 255, 255};
    });
    const auto withMasks = [&](uint32_t red, uint32_t green, uint32_t blue) {
        std::vector<uint8_t> f = white32;
        f.insert(f.begin() + 54, 12, 0);
        Put32(f, 2, static_cast<uint32_t>(f.size()));
        Put32(f, 10, 66);
        Put32(f, 30, 3); // BI_BITFIELDS
        Put32(f, 54, red);
        Put32(f, 58, green);
        Put32(f, 62, blue);
        return f;
    };
    WriteFileBytes(folder / L"5.bmp", withMasks(0xFF0000, 0xFF00, 0xFF));
    WriteFileBytes(folder / L"6.bmp", withMasks(0xF800, 0x7E0, 0x1F));
    // 8 bits run-length encoded: refused; with a palette of two colors: played.
    auto grey8 = BitmapBytes(
        64, 64, 8, false, [](uint32_t, uint32_t) { return uint8_t{1}; }, nullptr);
    auto rle = grey8;
    Put32(rle, 30, 1); // BI_RLE8
    WriteFileBytes(folder / L"7.bmp", rle);
    grey8.erase(grey8.begin() + 54 + 8, grey8.begin() + 54 + 1024);
    Put32(grey8, 2, static_cast<uint32_t>(grey8.size()));
    Put32(grey8, 10, 62);
    Put32(grey8, 46, 2);        // colors used
    Put32(grey8, 54, 0);        // black
    Put32(grey8, 58, 0xFFFFFF); // white
    WriteFileBytes(folder / L"8.bmp", grey8);

    ScratchFolder onlyFolder(L"corvid_play_none");
    CreateDirectoryW((onlyFolder / L"x.bmp").c_str(), nullptr);

    struct Case {
        std::wstring folder;
        DWORD frameRate, imageRate;
        const char* shows; // per image: W the white file, G the grey pattern
    };
    const Case cases[] = {
        {folder.path(), 0, 0, "WGGGWGGWWG"},
        {folder.path(), 1000, 500, "WWGGGGGGWW"},
        {onlyFolder.path(), 0, 0, "GG"},
        {folder / L"missing", 0, 0, "GG"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.shows);
        FastBoard board(L"SIMPLAY3", KV7100);
        board.Set(L"TestPattern", kGrey);
        board.Set(L"TestCaption", 0);
        board.Set(L"FrameRate", c.frameRate);
        if (c.imageRate != 0) board.Set(L"ImageRate", c.imageRate);
        board.SetText(L"ImageFolder", c.folder);
        Driver d("kvboard!SIMPLAY3");
        ASSERT_TRUE(d);
        ScopedFrame frame(d);
        for (const char* shows = c.shows; *shows; ++shows) {
            ASSERT_EQ(Acquire(d, frame), 1);
            const Picture p = Read(d, frame);
            ExpectAll(p, "white file or grey pattern", [&](uint32_t x, uint32_t y) {
                const bool inFile = x < 64 && y < 64;
                return p.Luma(x, y) == (*shows == 'G' ? 128 : inFile ? 255 : 0);
            });
        }
    }
}

// The rows a playing board keeps are let go when it closes, while the driver stays loaded
// (another board is open) and its row cache lives on.
TEST(Play, ClosingAPlayingBoardLetsGoOfItsPictures) {
    ScratchFolder folder(L"corvid_play_close");
    WritePlayedFiles(folder);
    Driver keepLoaded("kvboard!SIM7100");
    ASSERT_TRUE(keepLoaded);
    const auto cycle = [&] {
        FastBoard board(L"SIMPLAY4", KV7100);
        board.SetText(L"ImageFolder", folder.path());
        Driver d("kvboard!SIMPLAY4");
        ASSERT_TRUE(d);
        ScopedFrame frame(d);
        for (int i = 0; i < 3; ++i) // every file: 3 x 300 KB of rows
            ASSERT_EQ(Acquire(d, frame), 1);
    };
    cycle();
    const size_t heap = test::HeapBytesInUse();
    constexpr int kCycles = 20;
    for (int i = 0; i < kCycles; ++i)
        ASSERT_NO_FATAL_FAILURE(cycle());
    EXPECT_LT(static_cast<double>(test::HeapBytesInUse()) - static_cast<double>(heap),
              kCycles * 16 * 1024.0);
}

} // namespace
} // namespace simtest
