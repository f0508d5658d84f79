// The color family's link to the board's pictures: image parameters, the storage mode of
// new frames and the planes of a frame.
#pragma once

#include <cstdint>
#include <vector>

#include "board.h"

namespace kvboard {

// An image parameter (STT_COLOR_PARAMETER) and its range.
struct ColorParameterSpec {
    uint32_t code;
    int32_t min;
    int32_t max;
    int32_t step;
    int32_t nominal;
};

const ColorParameterSpec* FindColorParameter(uint32_t code); // null: no such parameter

// Board lock held.
int32_t ReadColorParameter(Board& board, const ColorParameterSpec& param);
void WriteColorParameter(Board& board, const ColorParameterSpec& param, int32_t value);

// The storage mode (STT_IMAGE_MODE) of the frames the board allocates; board lock held.
uint32_t CurrentStorageMode(Board& board);
bool SetStorageMode(Board& board, uint32_t mode); // false: the board cannot store it

// One caller buffer that receives a plane: width x height elements of `elementSize` bytes,
// row after row.
struct PlaneTarget {
    uint32_t plane; // kPlaneRed, kPlaneGreen or kPlaneBlue
    uint8_t* data;
    uint32_t width;
    uint32_t height;
    uint32_t elementSize;
};

// Copies the planes of a frame into the targets; 0 or a driver status. Board lock held.
uint32_t ExtractFramePlanes(Board& board, imaging::FrameHandle frame,
                            const std::vector<PlaneTarget>& targets);

} // namespace kvboard
