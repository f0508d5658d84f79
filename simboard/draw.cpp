// Draw unit: STM_DRAW_ACQUIRED_FRAME draws a frame into a window, at its own size, from the
// window's top left corner.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "frames.h"
#include "units.h"

namespace kvboard {

using namespace imaging;

namespace {

struct BitmapInfo256 {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256]; // grey table of 8-bit frames, or the three masks of 5-6-5 frames
};

// The pixels of a frame as a top-down device-independent bitmap: the frame memory itself
// where its layout is one, else a converted copy (10-bit grey to 8 bits, YUV to 32-bit RGB).
class DibImage {
public:
    DibImage(const Frame& f, uint32_t pixelDepth) {
        BITMAPINFOHEADER& h = info_.header;
        h.biSize = sizeof h;
        h.biWidth = static_cast<LONG>(f.width());
        h.biHeight = -static_cast<LONG>(f.height());
        h.biPlanes = 1;
        h.biCompression = BI_RGB;
        const size_t pixels = size_t{f.width()} * f.height();
        switch (f.layout()) {
        case PixelLayout::Mono8:
        case PixelLayout::Mono16: {
            h.biBitCount = 8;
            h.biClrUsed = 256;
            for (int i = 0; i < 256; ++i)
                info_.colors[i] = {static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i),
                                   0};
            if (f.layout() == PixelLayout::Mono8) {
                Rows(f.pixels(), f.height(), f.rowBytes());
                break;
            }
            const unsigned shift = pixelDepth > 8 ? pixelDepth - 8 : 0;
            std::vector<uint8_t> grey(pixels);
            for (size_t i = 0; i < pixels; ++i) {
                const unsigned value = f.pixels()[2 * i] | (f.pixels()[2 * i + 1] << 8);
                grey[i] = static_cast<uint8_t>(std::min(value >> shift, 255u));
            }
            Own(std::move(grey), f.height(), f.width());
            break;
        }
        case PixelLayout::Yuv: {
            h.biBitCount = 32;
            std::vector<uint8_t> rgb(pixels * 4);
            const uint8_t* p = f.pixels();
            for (size_t i = 0; i < pixels; ++i) {
                const double y = p[i];
                const double u = p[pixels + i / 2] - 96.0;
                const double v = p[pixels + pixels / 2 + i / 2] - 96.0;
                const auto clamp = [](double c) {
                    return static_cast<uint8_t>(std::clamp(static_cast<int>(c), 0, 255));
                };
                rgb[4 * i + 0] = clamp(y + 1.734375 * u);
                rgb[4 * i + 1] = clamp(y - 0.703125 * v - 0.34375 * u);
                rgb[4 * i + 2] = clamp(y + 1.375 * v);
            }
            Own(std::move(rgb), f.height(), size_t{f.width()} * 4);
            break;
        }
        case PixelLayout::Rgb565: {
            h.biBitCount = 16;
            h.biCompression = BI_BITFIELDS;
            const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
            std::memcpy(info_.colors, masks, sizeof masks);
            Rows(f.pixels(), f.height(), f.rowBytes());
            break;
        }
        case PixelLayout::Rgb555: // the default 16-bit format
            h.biBitCount = 16;
            Rows(f.pixels(), f.height(), f.rowBytes());
            break;
        case PixelLayout::Rgb24:
            h.biBitCount = 24;
            Rows(f.pixels(), f.height(), f.rowBytes());
            break;
        case PixelLayout::Rgb32:
            h.biBitCount = 32;
            Rows(f.pixels(), f.height(), f.rowBytes());
            break;
        }
    }

    const BITMAPINFO* info() const { return reinterpret_cast<const BITMAPINFO*>(&info_); }
    const void* bits() const { return bits_; }
    bool grey() const { return info_.header.biBitCount == 8; }

private:
    // Bitmap rows start on 4-byte boundaries; frame rows that do not are copied.
    void Rows(const uint8_t* rows, uint32_t height, size_t rowBytes) {
        if (rowBytes % 4 == 0) {
            bits_ = rows;
            return;
        }
        const size_t stride = (rowBytes + 3) & ~size_t{3};
        std::vector<uint8_t> padded(stride * height);
        for (uint32_t y = 0; y < height; ++y)
            std::memcpy(padded.data() + y * stride, rows + y * rowBytes, rowBytes);
        copy_ = std::move(padded); // `rows` may have pointed into the old copy
        bits_ = copy_.data();
    }
    void Own(std::vector<uint8_t> rows, uint32_t height, size_t rowBytes) {
        copy_ = std::move(rows);
        Rows(copy_.data(), height, rowBytes);
    }

    BitmapInfo256 info_{};
    std::vector<uint8_t> copy_;
    const void* bits_ = nullptr;
};

// A window's drawing context for one draw, with a grey palette selected on palette displays.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (previous_) SelectPalette(dc_, previous_, FALSE);
        if (palette_) DeleteObject(palette_);
        if (dc_) ReleaseDC(window_, dc_);
    }
    HDC get() const { return dc_; }

    void UseGreyPalette() {
        if (!(GetDeviceCaps(dc_, RASTERCAPS) & RC_PALETTE)) return;
        struct {
            WORD version, count;
            PALETTEENTRY entries[256];
        } grey{0x300, 256, {}};
        for (int i = 0; i < 256; ++i)
            grey.entries[i] = {static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
        palette_ = CreatePalette(reinterpret_cast<const LOGPALETTE*>(&grey));
        if (!palette_) return;
        previous_ = SelectPalette(dc_, palette_, FALSE);
        RealizePalette(dc_);
    }

private:
    HWND window_;
    HDC dc_;
    HPALETTE palette_ = nullptr;
    HPALETTE previous_ = nullptr;
};

Result DrawAcquiredFrame(Call& call) {
    const auto window = reinterpret_cast<HWND>(call.param2);
    if (window == nullptr || !IsWindow(window)) return Fail(drv::STS_INVALIDHWND);
    uint32_t status = 0;
    const FramePtr frame = FindFrame(call.board, static_cast<FrameHandle>(call.param1), status);
    if (!frame) return Fail(status);

    const DibImage image(*frame, call.board.model().pixelDepth);
    WindowDc dc(window);
    if (!dc.get()) return Fail(drv::STS_SYSERROR);
    if (image.grey()) dc.UseGreyPalette();
    const int drawn =
        SetDIBitsToDevice(dc.get(), 0, 0, frame->width(), frame->height(), 0, 0, 0, frame->height(),
                          image.bits(), image.info(), DIB_RGB_COLORS);
    return drawn == 0 ? Fail(drv::STS_SYSERROR) : Ok();
}

constexpr MessageHandler kHandlers[] = {
    {Family::Standard, msg::STM_DRAW_ACQUIRED_FRAME, DrawAcquiredFrame, Locking::Self},
};

} // namespace

std::span<const MessageHandler> DrawHandlers() {
    return kHandlers;
}

} // namespace kvboard
