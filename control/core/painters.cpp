#include "painters.h"

#include <cstring>
#include <optional>
#include <vector>

namespace core {
namespace {

constexpr int kGreyLevels = 256;

// Entries 2k and 2k+1 both hold grey 2k.
com::UniquePalette CreateGreyPalette() {
    std::vector<uint8_t> memory(sizeof(LOGPALETTE) + kGreyLevels * sizeof(PALETTEENTRY));
    auto* palette = reinterpret_cast<LOGPALETTE*>(memory.data());
    palette->palVersion = 0x300;
    palette->palNumEntries = kGreyLevels;
    for (int i = 0; i < kGreyLevels; ++i) {
        const auto level = static_cast<BYTE>(i & ~1);
        palette->palPalEntry[i] = {level, level, level, 0};
    }
    return com::UniquePalette(CreatePalette(palette));
}

// A palette selected and realized into a DC for one painting; the previous one comes back.
class RealizedPalette {
public:
    RealizedPalette(HDC dc, HPALETTE palette) : dc_(dc) {
        previous_ = SelectPalette(dc, palette, FALSE);
        RealizePalette(dc);
    }
    RealizedPalette(const RealizedPalette&) = delete;
    RealizedPalette& operator=(const RealizedPalette&) = delete;
    ~RealizedPalette() {
        if (previous_) SelectPalette(dc_, previous_, FALSE);
    }

private:
    HDC dc_;
    HPALETTE previous_ = nullptr;
};

BITMAPINFOHEADER TopDownHeader(const PaintedFrame& frame, WORD bits) {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = frame.width;
    header.biHeight = -frame.height; // rows top-down
    header.biPlanes = 1;
    header.biBitCount = bits;
    header.biCompression = BI_RGB;
    return header;
}

} // namespace

int PaintGreyFrame(HDC target, const PaintedFrame& frame, bool deviceBitmap,
                   com::CriticalSection& painterLock) {
    if (!target || !frame.pixels || frame.width <= 0 || frame.height <= 0) return 0;
    const int displayBits = GetDeviceCaps(target, BITSPIXEL);
    com::UniquePalette palette;
    std::optional<RealizedPalette> realized;
    if (!deviceBitmap || displayBits == 16) {
        palette = CreateGreyPalette();
        if (palette) realized.emplace(target, palette.Get());
    }

    // The color table holds palette indexes: value 2k uses entry 2k+1 and 2k+1 entry 2k.
    struct {
        BITMAPINFOHEADER header;
        WORD indexes[kGreyLevels];
    } info{};
    info.header = TopDownHeader(frame, 8);
    for (int k = 0; k < kGreyLevels / 2; ++k) {
        info.indexes[2 * k] = static_cast<WORD>(2 * k + 1);
        info.indexes[2 * k + 1] = static_cast<WORD>(2 * k);
    }

    com::UniqueBitmap bitmap;
    {
        com::Lock lock(painterLock);
        if (deviceBitmap && displayBits == 8) {
            bitmap.Reset(CreateCompatibleBitmap(target, frame.width, frame.height));
            if (bitmap)
                SetBitmapBits(bitmap.Get(), static_cast<DWORD>(frame.width) * frame.height,
                              frame.pixels);
        } else {
            bitmap.Reset(CreateDIBitmap(target, &info.header, CBM_INIT, frame.pixels,
                                        reinterpret_cast<BITMAPINFO*>(&info), DIB_PAL_COLORS));
        }
    }
    if (!bitmap) return 0;
    com::UniqueMemoryDc memory(CreateCompatibleDC(target));
    if (!memory) return 0;
    com::SelectedObject selected(memory.Get(), bitmap.Get());
    std::optional<RealizedPalette> memoryPalette;
    if (palette) memoryPalette.emplace(memory.Get(), palette.Get());
    SetStretchBltMode(target, HALFTONE);
    StretchBlt(target, 0, 0, frame.width, frame.height, memory.Get(), frame.left, frame.top,
               frame.width, frame.height, SRCCOPY);
    return 1;
}

int PaintColorFrame(HDC target, const PaintedFrame& frame, int right, int bottom,
                    const std::function<void(const wchar_t* step)>& failed) {
    if (!target || !frame.pixels || frame.width <= 0 || frame.height <= 0) return 0;
    PIXELFORMATDESCRIPTOR format{};
    bool matching = true;
    if (DescribePixelFormat(target, 1, sizeof(format), &format) == 0) {
        failed(L"DescribePixelFormat");
    } else if (frame.bytesPerPixel == 2) {
        matching = format.cColorBits == 16 && format.cGreenBits == 5;
    } else if (frame.bytesPerPixel == 4) {
        matching = format.cColorBits == 32;
    }
    if (frame.bytesPerPixel != 2 && frame.bytesPerPixel != 4) return 0;

    com::UniqueBitmap bitmap(CreateCompatibleBitmap(target, frame.width, frame.height));
    if (!bitmap) {
        failed(L"CreateCompatibleBitmap");
        return 0;
    }
    const DWORD bytes = frame.bytesPerPixel * static_cast<DWORD>(frame.width) * frame.height;
    if (matching) {
        if (!SetBitmapBits(bitmap.Get(), bytes, frame.pixels)) {
            failed(L"SetBitmapBits");
            return 0;
        }
    } else {
        BITMAPINFO info{};
        info.bmiHeader = TopDownHeader(frame, static_cast<WORD>(frame.bytesPerPixel * 8));
        info.bmiHeader.biXPelsPerMeter = 3000;
        info.bmiHeader.biYPelsPerMeter = 3000;
        if (!SetDIBits(target, bitmap.Get(), 0, static_cast<UINT>(frame.height), frame.pixels,
                       &info, DIB_RGB_COLORS)) {
            failed(L"SetDIBits");
            return 0;
        }
    }
    com::UniqueMemoryDc memory(CreateCompatibleDC(target));
    if (!memory) {
        failed(L"CreateCompatibleDC");
        return 0;
    }
    const HGDIOBJ previous = SelectObject(memory.Get(), bitmap.Get());
    if (!previous || previous == HGDI_ERROR) {
        failed(L"SelectObject");
        return 0;
    }
    int result = 1;
    if (!SetStretchBltMode(target, COLORONCOLOR)) {
        failed(L"SetStretchBltMode");
        result = 0;
    } else if (!StretchBlt(target, 0, 0, right, bottom, memory.Get(), frame.left, frame.top,
                           frame.width, frame.height, SRCCOPY)) {
        failed(L"StretchBlt");
        result = 0;
    }
    SelectObject(memory.Get(), previous);
    return result;
}

} // namespace core
