#include "gray_draw.h"
#include "win_handle.h"

#include <cstring>
#include <vector>

namespace kvboard {

namespace {

struct GrayBitmapInfo {
    BITMAPINFOHEADER header;
    RGBQUAD palette[256];
};

} // namespace

bool DrawGray(HWND window, int x, int y, uint32_t width, uint32_t height, const uint8_t* pixels,
              size_t stride) {
    if (!IsWindow(window) || pixels == nullptr || width == 0 || height == 0) return false;
    if (width > 0x7FFF'FFFF || height > 0x7FFF'FFFF) return false;
    // Device-independent rows are padded to 4 bytes.
    const size_t rowBytes = (size_t{width} + 3) & ~size_t{3};
    std::vector<uint8_t> rows(rowBytes * height);
    for (uint32_t r = 0; r < height; ++r)
        std::memcpy(rows.data() + r * rowBytes, pixels + r * stride, width);

    GrayBitmapInfo info{};
    info.header.biSize = sizeof info.header;
    info.header.biWidth = static_cast<LONG>(width);
    info.header.biHeight = -static_cast<LONG>(height); // top-down
    info.header.biPlanes = 1;
    info.header.biBitCount = 8;
    info.header.biCompression = BI_RGB;
    info.header.biClrUsed = 256;
    for (int i = 0; i < 256; ++i)
        info.palette[i] = {static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};

    const WindowDc dc(window);
    if (dc.get() == nullptr) return false;
    const int drawn = SetDIBitsToDevice(dc.get(), x, y, width, height, 0, 0, 0, height, rows.data(),
                                        reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS);
    return drawn != 0;
}

} // namespace kvboard
