#include "line_picture.h"

namespace kvboard {

void RenderLines(uint64_t firstLine, uint32_t width, uint8_t* out, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i)
        out[i] = static_cast<uint8_t>(i % width + firstLine + i / width);
}

} // namespace kvboard
