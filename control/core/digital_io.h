// The digital camera and digital I/O groups: which message family reaches a board model's
// lines, its capability masks, and the values the control keeps for these properties.
#pragma once

#include <cstdint>

#include <oaidl.h>

namespace core {

// How a board model reaches one operation on its digital lines.
enum class LinesRoute : uint8_t {
    Nothing,     // no message: reads give 0, writes are only kept
    Standard,    // the standard messages (capability query, digital outputs)
    Camera,      // the digital-camera extension
    Color,       // the color extension
    LineScan,    // the line-scan extension in line-scan mode, else the standard outputs
    Unsupported, // STC_STS_UNSUPKEY
};

struct DigitalLinesModel {
    uint32_t model; // DeviceTypeEnum
    LinesRoute configRead, configWrite, patternRead, patternWrite;
    long outputCaps, inputCaps; // DigOutCaps, DigInCaps
};

// The row of a model; models without a row of their own share the last one.
const DigitalLinesModel& DigitalLinesOf(uint32_t model);

// The configuration of a board with outputCount standard output lines: the low lines set.
long OutputConfiguration(uint32_t outputCount);

// The line-scan board's outputs are the upper four of the pattern's eight lines.
inline constexpr uint32_t kLineScanOutputShift = 4;

// Values the control keeps across devices (all 0 at creation).
struct DigitalState {
    VARIANT_BOOL exposeEnabled = VARIANT_FALSE; // last value written successfully
    uint32_t exposeDuration = 0;                // last read or written
    uint32_t exposePolarity = 0;                // last read or written
    long outputPattern = 0;                     // last DigIOPattern put
};

} // namespace core
