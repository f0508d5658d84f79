// The board models the simulator offers: one declarative table per model.
//
// A model is data: its identity, its frame format, its memory, its triggers and the input
// controls it has, each with its range. The input capabilities a board answers are derived
// from this data (input.cpp), so that what a board reports and what it accepts never differ.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "message.h"

namespace kvboard {

// How an input control checks a value.
enum class Check : uint8_t {
    Range,      // min..max in steps of `step` from min
    OneOf,      // exactly one bit of `mask`
    OneOfOrOff, // 0 or exactly one bit of `mask`
    SyncSource, // low 16 bits one bit of `mask`; a specific source (2) names a channel below
                // the source count in the high 16 bits, other kinds leave them 0
    List,       // one of `list`
};

// A nominal that follows the board's configured frame size instead of a fixed number.
enum class Nominal : uint8_t { Given, FrameWidth, FrameHeight, FieldHeight };

struct ControlSpec {
    uint32_t key; // stSTT_FG_INPUT_CONTROL
    Check check;
    int32_t min;
    int32_t max;
    int32_t step;
    int32_t nominal;
    uint32_t mask;
    std::span<const int32_t> list;
    Nominal follows;
};

constexpr ControlSpec Range(uint32_t key, int32_t min, int32_t max, int32_t step, int32_t nominal) {
    return {key, Check::Range, min, max, step, nominal, 0, {}, Nominal::Given};
}
// A range whose nominal is the board's frame width, frame height or field height.
constexpr ControlSpec SizeRange(uint32_t key, int32_t min, int32_t max, int32_t step,
                                Nominal follows) {
    return {key, Check::Range, min, max, step, 0, 0, {}, follows};
}
constexpr ControlSpec OneOf(uint32_t key, uint32_t mask, int32_t nominal) {
    return {key, Check::OneOf, 0, 0, 1, nominal, mask, {}, Nominal::Given};
}
constexpr ControlSpec OneOfOrOff(uint32_t key, uint32_t mask, int32_t nominal) {
    return {key, Check::OneOfOrOff, 0, 0, 1, nominal, mask, {}, Nominal::Given};
}
constexpr ControlSpec SyncSourceChoice(uint32_t mask, int32_t nominal) {
    return {imaging::STC_FG_CTL_CSYNC_SOURCE,
            Check::SyncSource,
            0,
            0,
            1,
            nominal,
            mask,
            {},
            Nominal::Given};
}
constexpr ControlSpec ListOf(uint32_t key, std::span<const int32_t> list, int32_t nominal) {
    return {key, Check::List, 0, 0, 1, nominal, 0, list, Nominal::Given};
}

// Trigger, event and mode sets: bit (value - 1) stands for value, so that 1 (software
// trigger, TriggerToStart, frame event) is bit 0.
constexpr uint32_t ValueBit(uint32_t value) {
    return 1u << (value - 1);
}

struct PulseCaps { // the expose pulse of a digital-camera board
    uint32_t operations;
    imaging::stSTT_LNG_RNG range;
    imaging::stSTT_LNG_RNG rangeExt;
};

// Digital I/O lines reached through a board extension (camera, color or line-scan family).
// Lines are numbered as the host sees them. On a configurable port every line of `lines`
// is an output or an input as the configuration mask says (bit set: output); otherwise
// `outputs` and `inputs` are fixed.
struct DigitalPortSpec {
    bool configurable;
    uint32_t lines;         // configurable ports
    uint32_t defaultConfig; // configurable ports
    uint32_t outputs;       // fixed ports
    uint32_t inputs;        // fixed ports
};

// What a color board answers through the color family.
struct ColorSpec {
    uint32_t interfaces;    // InterfaceBit set of the STT_QUERY_COLOR_INTERFACE codes offered
    uint32_t storageModes;  // capability mask: a mode is supported when mode AND mask != 0
    uint32_t signalTypes;   // SignalBit set
    uint32_t defaultSignal; // STT_SIGNAL_TYPE
    bool syncMasterWritable;
    imaging::STT_SCALE_PARAM scaling[4]; // minimum, maximum, granularity, nominal
};

// Passthru scaling limits. Their nominal answers are the board's frame width and height.
struct PassthruScaling {
    int32_t minWidth, maxWidth, widthStep;
    int32_t minHeight, maxHeight, heightStep;
};

struct ModelSpec {
    uint32_t code;          // DeviceTypeCode: the board's device id
    const char* boardName;  // the board registration installs for the model
    const char* deviceName; // answer of STC_IMG_DC_DEVICE_NAME
    imaging::stSTT_IMGDEVTYPE kind;
    FamilySet families; // extension families the board answers

    // Defaults of the simulation settings (registry values may override them).
    uint32_t frameWidth;
    uint32_t frameHeight;
    uint32_t inputSources;
    uint32_t linearMemSize; // bytes
    uint32_t deviceMemSize; // bytes

    uint32_t pixelDepth;    // bits
    uint32_t bytesPerPixel; // in frames
    uint32_t lutCount;      // input lookup tables
    uint32_t lutEntries;
    uint32_t lutMaxValue;
    uint32_t outputLines; // digital outputs of the standard messages (0: none, or an extension)

    uint32_t triggerTypes;     // ValueBit set of stSTT_FG_TRIGGER
    uint32_t multTriggerTypes; // ValueBit set of stSTT_FG_TRIGGER
    uint32_t multTriggerModes; // ValueBit set of stSTT_FG_TRIGGER_MODE
    uint32_t eventTypes;       // ValueBit set of stSTT_FG_EVENT; 0: no event counting
    imaging::stSTT_LNG_RNG eventCount;
    uint32_t strobeTypes; // stSTT_FG_STROBE bits; 0: no strobe
    std::span<const int32_t> strobeWidths;
    imaging::stSTT_FG_FRAME_OPS singleFrameOps;
    imaging::stSTT_FG_FRAME_OPS multFrameOps;
    const PulseCaps* pulse;             // null: no expose pulse
    const DigitalPortSpec* digitalPort; // null: no extension digital I/O
    const ColorSpec* color;             // null: no color family
    const PassthruScaling* passthruScaling; // null: live video is shown at the frame's size

    std::span<const ControlSpec> controls;

    const ControlSpec* FindControl(uint32_t key) const;
};

std::span<const ModelSpec> Models();
const ModelSpec* FindModel(uint32_t code);

} // namespace kvboard
