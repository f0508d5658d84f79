// Writes every test pattern of the simulated boards as PNG files, rendered by kvboard.drv
// itself: <folder>/<number>-<name>-mono.png (as a monochrome board shows it, 8-bit grey) and
// -color.png (as a color board shows it, 8-bit RGB), image number 1, with the caption of a
// board named "SIM" at time 0. The noise pictures are half as wide and high (noise does not
// compress).
//
//   patterns [FOLDER] [WIDTH HEIGHT]      default: docs/patterns, 320 x 240
//
// The PNG writer is the tool's own: rows filtered by the cheapest of None, Sub and Up, then
// deflated with fixed Huffman codes and runs (matches at distance 1); no zlib needed.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <windows.h>

#include "test_patterns.h"
#include "testport.h"

namespace {

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
    static uint32_t table[256];
    if (table[1] == 0)
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
    crc = ~crc;
    for (size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

class BitWriter {
public:
    void Bits(uint32_t value, int count) { // least significant bit first
        for (int i = 0; i < count; ++i)
            Bit((value >> i) & 1);
    }
    void Code(uint32_t code, int length) { // Huffman codes: most significant bit first
        for (int i = length - 1; i >= 0; --i)
            Bit((code >> i) & 1);
    }
    std::vector<uint8_t> Finish() {
        if (used_ != 0) bytes_.push_back(current_);
        return bytes_;
    }

private:
    void Bit(uint32_t bit) {
        current_ |= static_cast<uint8_t>(bit << used_);
        if (++used_ == 8) {
            bytes_.push_back(current_);
            current_ = 0;
            used_ = 0;
        }
    }
    std::vector<uint8_t> bytes_;
    uint8_t current_ = 0;
    int used_ = 0;
};

void Literal(BitWriter& w, uint32_t v) {
    if (v < 144)
        w.Code(0x30 + v, 8);
    else if (v < 256)
        w.Code(0x190 + v - 144, 9);
    else if (v < 280)
        w.Code(v - 256, 7);
    else
        w.Code(0xC0 + v - 280, 8);
}

void Run(BitWriter& w, uint32_t length) { // 3 to 258 bytes at distance 1
    static const uint16_t kBase[] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                     15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                     67, 83, 99, 115, 131, 163, 195, 227, 258};
    static const uint8_t kExtra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                     2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    int code = 28;
    while (kBase[code] > length)
        --code;
    Literal(w, 257 + code);
    w.Bits(length - kBase[code], kExtra[code]);
    w.Code(0, 5); // distance code 0: distance 1
}

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& data) {
    BitWriter w;
    w.Bits(1, 1); // the last block
    w.Bits(1, 2); // fixed Huffman codes
    for (size_t i = 0; i < data.size();) {
        Literal(w, data[i]);
        size_t run = 0;
        while (i + 1 + run < data.size() && data[i + 1 + run] == data[i] && run < 258)
            ++run;
        ++i;
        if (run >= 3) {
            Run(w, static_cast<uint32_t>(run));
            i += run;
        }
    }
    Literal(w, 256);
    std::vector<uint8_t> out = {0x78, 0x01};
    const std::vector<uint8_t> body = w.Finish();
    out.insert(out.end(), body.begin(), body.end());
    uint32_t a = 1, b = 0;
    for (uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    const uint32_t adler = (b << 16) | a;
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(adler >> shift));
    return out;
}

void Chunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
    const uint32_t size = static_cast<uint32_t>(data.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        png.push_back(static_cast<uint8_t>(size >> shift));
    const size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    const uint32_t crc = Crc32(png.data() + start, png.size() - start);
    for (int shift = 24; shift >= 0; shift -= 8)
        png.push_back(static_cast<uint8_t>(crc >> shift));
}

// channels: 1 (grey) or 3 (RGB); `pixels` rows of width x channels bytes.
std::vector<uint8_t> Png(uint32_t width, uint32_t height, int channels,
                         const std::vector<uint8_t>& pixels) {
    const size_t stride = size_t{width} * channels;
    std::vector<uint8_t> raw;
    std::vector<uint8_t> best, candidate(stride);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = pixels.data() + y * stride;
        const uint8_t* up = y > 0 ? row - stride : nullptr;
        uint64_t bestCost = UINT64_MAX;
        uint8_t bestFilter = 0;
        for (uint8_t filter = 0; filter < 3; ++filter) {
            uint64_t cost = 0;
            for (size_t i = 0; i < stride; ++i) {
                const uint8_t left = i >= size_t(channels) ? row[i - channels] : 0;
                const uint8_t above = up ? up[i] : 0;
                candidate[i] = static_cast<uint8_t>(row[i] - (filter == 1   ? left
                                                              : filter == 2 ? above
                                                                            : 0));
                cost += candidate[i] < 128 ? candidate[i] : 256 - candidate[i];
            }
            if (cost < bestCost) {
                bestCost = cost;
                bestFilter = filter;
                best = candidate;
            }
        }
        raw.push_back(bestFilter);
        raw.insert(raw.end(), best.begin(), best.end());
    }
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<uint8_t> header;
    for (uint32_t v : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8)
            header.push_back(static_cast<uint8_t>(v >> shift));
    header.insert(header.end(), {8, static_cast<uint8_t>(channels == 1 ? 0 : 2), 0, 0, 0});
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", Deflate(raw));
    Chunk(png, "IEND", {});
    return png;
}

bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : "docs/patterns";
    const uint32_t width = argc > 3 ? static_cast<uint32_t>(atoi(argv[2])) : 320;
    const uint32_t height = argc > 3 ? static_cast<uint32_t>(atoi(argv[3])) : 240;
    const HMODULE driver = LoadLibraryW(L"kvboard.drv");
    KvTestRenderPatternFn render = nullptr;
    if (driver != nullptr) {
        const FARPROC proc = GetProcAddress(driver, "KvTestRenderPattern");
        static_assert(sizeof proc == sizeof render);
        std::memcpy(&render, &proc, sizeof render);
    }
    if (render == nullptr || width == 0 || height == 0) {
        fprintf(stderr, "patterns: kvboard.drv with KvTestRenderPattern not found\n");
        return 1;
    }
    CreateDirectoryA(folder.c_str(), nullptr);
    std::vector<uint8_t> bgrx(size_t{width} * height * 4);
    for (const kvboard::PatternName& p : kvboard::kPatternNames) {
        if (p.id == kvboard::kModelPattern) continue; // the ramp or the bars
        // Noise does not compress: its pictures are a quarter of the others.
        const uint32_t w = p.id == kvboard::kNoise ? width / 2 : width;
        const uint32_t h = p.id == kvboard::kNoise ? height / 2 : height;
        for (const BOOL color : {FALSE, TRUE}) {
            render(p.id, color, w, h, 1, "SIM", bgrx.data());
            const int channels = color ? 3 : 1;
            std::vector<uint8_t> pixels;
            for (size_t i = 0; i < size_t{w} * h; ++i) {
                if (color)
                    pixels.insert(pixels.end(), {bgrx[4 * i + 2], bgrx[4 * i + 1], bgrx[4 * i]});
                else
                    pixels.push_back(bgrx[4 * i + 1]);
            }
            char name[64];
            snprintf(name, sizeof name, "/%02u-%s-%s.png", static_cast<unsigned>(p.id), p.name,
                     color ? "color" : "mono");
            if (!Write(folder + name, Png(w, h, channels, pixels))) {
                fprintf(stderr, "patterns: cannot write %s%s\n", folder.c_str(), name);
                return 1;
            }
            printf("%s%s\n", folder.c_str(), name);
        }
    }
    return 0;
}
