// Folders of bitmap files for the tests of boards that play recorded images: a scratch folder
// and bitmap files written as a paint program writes them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <windows.h>

#include <gtest/gtest.h>

namespace simtest {

// A folder of the test's own under the temporary folder, deleted with what it holds.
class ScratchFolder {
public:
    explicit ScratchFolder(const wchar_t* name) {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + name;
        Remove(path_);
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~ScratchFolder() { Remove(path_); }
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const wchar_t* name) const { return path_ + L"\\" + name; }

private:
    static void Remove(const std::wstring& dir) {
        WIN32_FIND_DATAW found{};
        const HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &found);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = found.cFileName;
                if (name == L"." || name == L"..") continue;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    Remove(dir + L"\\" + name);
                else
                    DeleteFileW((dir + L"\\" + name).c_str());
            } while (FindNextFileW(h, &found));
            FindClose(h);
        }
        RemoveDirectoryW(dir.c_str());
    }
    std::wstring path_;
};

struct Rgb8 {
    uint8_t r, g, b;
};

// A bitmap file written as a paint program writes one: 8 bits with a palette (the picture's
// colors must then be palette entries: `Rgb8{i, 255 - i, i / 2}` for index i), 24 or 32 bits,
// rows bottom-up (or top-down with a negative height), each padded to 4 bytes.
using Paint = std::function<Rgb8(uint32_t x, uint32_t y)>;
inline Rgb8 PaletteEntry(uint8_t i) {
    return {i, static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i / 2)};
}

inline void Put32(std::vector<uint8_t>& f, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        f[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

inline std::vector<uint8_t> BitmapBytes(uint32_t width, uint32_t height, uint16_t bits,
                                        bool topDown,
                                        const std::function<uint8_t(uint32_t, uint32_t)>& index,
                                        const Paint& paint) {
    const uint32_t stride = (width * bits + 31) / 32 * 4;
    const uint32_t palette = bits == 8 ? 1024 : 0;
    const uint32_t offset = 54 + palette;
    std::vector<uint8_t> f(offset + size_t{stride} * height);
    const auto put32 = [&](size_t at, uint32_t v) { Put32(f, at, v); };
    f[0] = 'B';
    f[1] = 'M';
    put32(2, static_cast<uint32_t>(f.size()));
    put32(10, offset);
    put32(14, 40);
    put32(18, width);
    put32(22, topDown ? static_cast<uint32_t>(-static_cast<int32_t>(height)) : height);
    f[26] = 1;
    f[28] = static_cast<uint8_t>(bits);
    for (uint32_t i = 0; bits == 8 && i < 256; ++i) {
        const Rgb8 c = PaletteEntry(static_cast<uint8_t>(i));
        f[54 + 4 * i] = c.b;
        f[55 + 4 * i] = c.g;
        f[56 + 4 * i] = c.r;
    }
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = f.data() + offset + size_t{topDown ? y : height - 1 - y} * stride;
        for (uint32_t x = 0; x < width; ++x) {
            if (bits == 8) {
                row[x] = index(x, y);
                continue;
            }
            const Rgb8 c = paint(x, y);
            uint8_t* px = row + size_t{x} * (bits / 8);
            px[0] = c.b;
            px[1] = c.g;
            px[2] = c.r;
        }
    }
    return f;
}

inline void WriteFileBytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    const HANDLE h =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    ASSERT_EQ(written, bytes.size());
}

} // namespace simtest
