#include "pixel_format.h"

namespace kvboard {

using namespace imaging;

StorageModeEnum ResolveStorageMode(const ModelSpec& model, StorageModeEnum requested) {
    if (model.kind != STC_IMG_DEV_COLOR_FRAME_GRABBER) return MonoImage;
    if (requested == DefaultImage || !IsStorageMode(requested))
        return model.bytesPerPixel == 3 ? RGB24Image : RGB32Image;
    return requested;
}

PixelLayout LayoutFor(const ModelSpec& model, StorageModeEnum resolved) {
    switch (resolved) {
    case MonoImage:
        if (model.kind != STC_IMG_DEV_COLOR_FRAME_GRABBER && model.bytesPerPixel == 2)
            return PixelLayout::Mono16;
        return PixelLayout::Mono8;
    case YUVImage: return PixelLayout::Yuv;
    case RGB16Image: return model.code == KV7300 ? PixelLayout::Rgb555 : PixelLayout::Rgb565;
    case RGB15Image: return PixelLayout::Rgb555;
    case RGB24Image: return PixelLayout::Rgb24;
    case DefaultImage:
    case RGBImage:
    case RGB32Image: return PixelLayout::Rgb32;
    }
    return PixelLayout::Rgb32;
}

uint32_t BytesPerPixel(PixelLayout layout) {
    switch (layout) {
    case PixelLayout::Mono8: return 1;
    case PixelLayout::Mono16:
    case PixelLayout::Yuv:
    case PixelLayout::Rgb565:
    case PixelLayout::Rgb555: return 2;
    case PixelLayout::Rgb24: return 3;
    case PixelLayout::Rgb32: return 4;
    }
    return 4;
}

size_t FrameBytes(PixelLayout layout, uint32_t width, uint32_t height) {
    return size_t{width} * height * BytesPerPixel(layout);
}

} // namespace kvboard
