#include "models.h"

#include <algorithm>

#include "extension_codes.h"

namespace kvboard {

using namespace imaging;

namespace {

template <size_t... N> constexpr auto Join(const std::array<ControlSpec, N>&... parts) {
    std::array<ControlSpec, (N + ...)> all{};
    size_t at = 0;
    ((std::copy(parts.begin(), parts.end(), all.begin() + at), at += N), ...);
    return all;
}

constexpr uint32_t kAllFrameTypes = 1 | 2 | 4 | 8 | 16 | 32 | 64; // FrameTypeEnum bits
constexpr uint32_t kNonInterlaced = 64;
constexpr uint32_t kAllFilters = 1 | 2 | 4 | 8;            // InputFilterEnum bits
constexpr uint32_t kInternalClock = 1, kExternalClock = 2; // ClockSourceEnum
constexpr uint32_t kAllSyncSources =
    STC_FG_CSYNC_CURRENT_SRC | STC_FG_CSYNC_SPECIFIC_SRC | STC_FG_CSYNC_EXTERNAL_LINE;
constexpr uint32_t kMB = 1024 * 1024;

constexpr int32_t kSyncThresholds[] = {50, 75, 100, 125, 150};  // millivolts
constexpr int32_t kStrobeWidths[] = {1, 2, 5, 10, 20, 50, 100}; // microseconds

constexpr uint32_t kSoftwareAndExternal =
    ValueBit(STC_FG_TRIGGER_NONE) | ValueBit(STC_FG_TRIGGER_EXTERNAL_LINE);
constexpr uint32_t kAllTriggers = kSoftwareAndExternal | ValueBit(STC_FG_TRIGGER_EVENT) |
                                  ValueBit(STC_FG_TRIGGER_ONE_EVENT_DELAY);
constexpr uint32_t kBothModes =
    ValueBit(STC_FG_TRIGMODE_TO_START) | ValueBit(STC_FG_TRIGMODE_FOR_EACH);
constexpr uint32_t kAllEvents = ValueBit(STC_FG_EVENT_FRAME) | ValueBit(STC_FG_EVENT_FIELD) |
                                ValueBit(STC_FG_EVENT_EXT_HI_TO_LO) |
                                ValueBit(STC_FG_EVENT_EXT_LO_TO_HI);
constexpr uint32_t kAllStrobes =
    STC_FG_STROBE_NOW | STC_FG_STROBE_FRAME_BASED | STC_FG_STROBE_FIELD_BASED;

constexpr stSTT_FG_FRAME_OPS kAllOps{1, 1, 1, 1};
constexpr stSTT_FG_FRAME_OPS kHostOps{0, 0, 1, 1};
constexpr stSTT_LNG_RNG kNoEvents{0, 0, 0, 0};
constexpr stSTT_LNG_RNG kEventCounts{1, 65535, 1, 1};

// ---- Control groups ----------------------------------------------------------------------

// Frame selection inside the digitised image: origin, size and decimation.
template <int32_t MaxW, int32_t MaxH> constexpr std::array<ControlSpec, 6> FrameSelect() {
    return {{
        Range(STC_FG_CTL_FRAME_LEFT, 0, MaxW - 4, 4, 0),
        Range(STC_FG_CTL_FRAME_TOP, 0, MaxH - 1, 1, 0),
        SizeRange(STC_FG_CTL_FRAME_WIDTH, 4, MaxW, 4, Nominal::FrameWidth),
        SizeRange(STC_FG_CTL_FRAME_HEIGHT, 1, MaxH, 1, Nominal::FrameHeight),
        Range(STC_FG_CTL_HOR_FRAME_INC, 1, 8, 1, 1),
        Range(STC_FG_CTL_VER_FRAME_INC, 1, 8, 1, 1),
    }};
}

// Active video window and line timing of an analog input.
template <int32_t MaxW, int32_t MaxH, int32_t TotalPix, int32_t TotalLines>
constexpr std::array<ControlSpec, 9> ActiveVideo() {
    return {{
        Range(STC_FG_CTL_CLAMP_START, 0, 255, 1, 16),
        Range(STC_FG_CTL_CLAMP_END, 0, 255, 1, 48),
        Range(STC_FG_CTL_FIRST_ACTIVE_PIXEL, 0, 511, 1, 128),
        SizeRange(STC_FG_CTL_ACTIVE_PIXEL_COUNT, 4, MaxW, 4, Nominal::FrameWidth),
        Range(STC_FG_CTL_FIRST_ACTIVE_LINE, 0, 63, 1, 20),
        SizeRange(STC_FG_CTL_ACTIVE_LINE_COUNT, 1, MaxH, 1, Nominal::FieldHeight),
        Range(STC_FG_CTL_TOTAL_PIX_PER_LINE, 64, 4096, 2, TotalPix),
        Range(STC_FG_CTL_TOTAL_LINES_PER_FLD, 16, 2048, 1, TotalLines),
        Range(STC_FG_CTL_BACK_PORCH_START, 0, 255, 1, 32),
    }};
}

// Composite sync, sync sentinel and scan transitions of an analog input.
constexpr std::array<ControlSpec, 9> kAnalogSync{{
    OneOf(STC_FG_CTL_VIDEO_TYPE, STC_FG_VID_COMPOSITE | STC_FG_VID_VARSCAN, STC_FG_VID_COMPOSITE),
    Range(STC_FG_CTL_VARSCAN_FLAGS, 0, 3, 1, 0),
    SyncSourceChoice(kAllSyncSources, STC_FG_CSYNC_CURRENT_SRC),
    ListOf(STC_FG_CTL_CSYNC_THRESH, kSyncThresholds, 100),
    OneOfOrOff(STC_FG_CTL_SYNC_SENTINEL, STC_FG_SYNC_SENTINEL_FIXED | STC_FG_SYNC_SENTINEL_VARIABLE,
               0),
    Range(STC_FG_CTL_HSYNC_INSERT_POS, 0, 1023, 1, 700),
    Range(STC_FG_CTL_HSYNC_SEARCH_POS, 0, 1023, 1, 680),
    Range(STC_FG_CTL_VSYNC_INSERT_POS, 0, 511, 1, 260),
    Range(STC_FG_CTL_VSYNC_SEARCH_POS, 0, 511, 1, 250),
}};

// Programmable A/D reference levels, in millivolts.
constexpr std::array<ControlSpec, 2> kLevels{{
    Range(STC_FG_CTL_BLACK_LEVEL, -1000, 1000, 1, 0),
    Range(STC_FG_CTL_WHITE_LEVEL, 0, 2000, 1, 714),
}};

// Pixel clock: source, frequency in Hz, and the external clock's transition.
template <uint32_t Sources, int32_t Nominal> constexpr std::array<ControlSpec, 3> PixelClock() {
    return {{
        OneOf(STC_FG_CTL_CLOCK_SOURCE, Sources, (Sources & kInternalClock) ? 1 : 2),
        Range(STC_FG_CTL_CLOCK_FREQ, 4'000'000, 80'000'000, 1, Nominal),
        Range(STC_FG_CTL_CLOCK_FLAGS, 0, 1, 1, 0),
    }};
}

template <int32_t LastLut, uint32_t FrameTypes, int32_t FrameType>
constexpr std::array<ControlSpec, 2> LutAndFrameType() {
    return {{
        Range(STC_FG_CTL_ILUT, 0, LastLut, 1, 0),
        OneOf(STC_FG_CTL_FRAME_TYPE, FrameTypes, FrameType),
    }};
}

constexpr std::array<ControlSpec, 1> kFilter{{OneOf(STC_FG_CTL_INPUT_FILTER, kAllFilters, 1)}};

// ---- Models ------------------------------------------------------------------------------

constexpr auto kKv7100Controls =
    Join(LutAndFrameType<3, kAllFrameTypes, 1>(), kFilter, kLevels, kAnalogSync,
         ActiveVideo<1024, 1024, 780, 262>(), FrameSelect<1024, 1024>(),
         PixelClock<kInternalClock | kExternalClock, 12'272'727>());

constexpr auto kKv7400Controls = kKv7100Controls;

constexpr auto kKv7700Controls =
    Join(LutAndFrameType<1, kNonInterlaced, kNonInterlaced>(),
         std::array{OneOf(STC_FG_CTL_VIDEO_TYPE, STC_FG_VID_VARSCAN, STC_FG_VID_VARSCAN),
                    Range(STC_FG_CTL_VARSCAN_FLAGS, 0, 3, 1, 0)},
         FrameSelect<4096, 4096>(), PixelClock<kExternalClock, 40'000'000>());

constexpr auto kKv7300Controls =
    Join(LutAndFrameType<2, kAllFrameTypes, 1>(), kFilter, kAnalogSync,
         ActiveVideo<1024, 1024, 780, 262>(), FrameSelect<1024, 1024>());

// Six lookup tables in two sets of red, green and blue: the ILUT control picks the set.
constexpr auto kKv7500Controls =
    Join(LutAndFrameType<1, kAllFrameTypes, 1>(), kAnalogSync, ActiveVideo<1024, 1024, 944, 312>(),
         FrameSelect<1024, 1024>(), PixelClock<kInternalClock, 14'750'000>());

constexpr auto kKv7400LsControls =
    Join(LutAndFrameType<1, kNonInterlaced, kNonInterlaced>(), kLevels,
         std::array{Range(STC_FG_CTL_VARSCAN_FLAGS, 0, 3, 1, 0)}, FrameSelect<8192, 4096>(),
         PixelClock<kInternalClock | kExternalClock, 20'000'000>());

constexpr auto kKv760xControls =
    Join(LutAndFrameType<0, kAllFrameTypes, 1>(), kLevels,
         std::array{OneOf(STC_FG_CTL_VIDEO_TYPE, STC_FG_VID_COMPOSITE, STC_FG_VID_COMPOSITE)},
         FrameSelect<1024, 1024>());

constexpr PassthruScaling kScaleTo1024{16, 1024, 4, 16, 1024, 2};
constexpr PassthruScaling kScaleTo4096{16, 4096, 4, 16, 4096, 2};

constexpr PulseCaps kCameraPulse{1, {1, 65535, 1, 1000}, {1, 16'777'215, 1, 1000}};

// Extension digital I/O. The camera board's eight lines and the KV7300's four are each an
// output or an input; the KV7500 and the line-scan board have fixed outputs and inputs.
constexpr DigitalPortSpec kCameraPort{
    .configurable = true, .lines = 0xFF, .defaultConfig = 0x0F, .outputs = 0, .inputs = 0};
constexpr DigitalPortSpec kKv7300Port{
    .configurable = true, .lines = 0x0F, .defaultConfig = 0x03, .outputs = 0, .inputs = 0};
constexpr DigitalPortSpec kKv7500Port{
    .configurable = false, .lines = 0, .defaultConfig = 0, .outputs = 0x07, .inputs = 0x18};
constexpr DigitalPortSpec kLineScanPort{
    .configurable = false, .lines = 0, .defaultConfig = 0, .outputs = 0xF0, .inputs = 0x0F};

// Color interfaces. The KV7300 offers everything, hardware scaling included. The KV7500
// decodes RGB without a scaler, and it can report but not change whether it is the sync
// master (a jumper sets it): the control then reads the sync master and sends no write.
constexpr uint32_t kAllColorInterfaces =
    InterfaceBit(ColorInterface::SignalType) | InterfaceBit(ColorInterface::StorageMode) |
    InterfaceBit(ColorInterface::ImageParameter) | InterfaceBit(ColorInterface::HardwareScaling) |
    InterfaceBit(ColorInterface::DigitalIo) | InterfaceBit(ColorInterface::DrawAcquiredFrame) |
    InterfaceBit(ColorInterface::SyncMasterMode) | InterfaceBit(ColorInterface::ExtractFrame) |
    InterfaceBit(ColorInterface::DrawBuffer);

constexpr ColorSpec kKv7300Color{
    .interfaces = kAllColorInterfaces,
    .storageModes = 0x07, // every mode but YUYV 4:2:2 (8)
    .signalTypes =
        SignalBit(SignalType::Mono) | SignalBit(SignalType::YC) | SignalBit(SignalType::Composite),
    .defaultSignal = static_cast<uint32_t>(SignalType::Composite),
    .syncMasterWritable = true,
    .scaling = {{10, 10}, {100, 100}, {1, 1}, {100, 100}},
};

constexpr ColorSpec kKv7500Color{
    .interfaces = kAllColorInterfaces & ~InterfaceBit(ColorInterface::HardwareScaling),
    .storageModes = 0x06, // neither mono (1) nor YUYV 4:2:2 (8)
    .signalTypes =
        SignalBit(SignalType::YC) | SignalBit(SignalType::Composite) | SignalBit(SignalType::Rgb),
    .defaultSignal = static_cast<uint32_t>(SignalType::Rgb),
    .syncMasterWritable = false,
    .scaling = {},
};

// clang-format off
constexpr ModelSpec kModels[] = {
    {.code = KV7100, .boardName = "SIM7100", .deviceName = "KV7100 (simulated)",
     .kind = STC_IMG_DEV_MONO_FRAME_GRABBER, .families = 0,
     .frameWidth = 640, .frameHeight = 480, .inputSources = 4,
     .linearMemSize = 64 * kMB, .deviceMemSize = 1 * kMB,
     .pixelDepth = 8, .bytesPerPixel = 1, .lutCount = 4, .lutEntries = 256, .lutMaxValue = 255,
     .outputLines = 4,
     .triggerTypes = kSoftwareAndExternal, .multTriggerTypes = kSoftwareAndExternal,
     .multTriggerModes = kBothModes, .eventTypes = 0, .eventCount = kNoEvents,
     .strobeTypes = 0, .strobeWidths = {}, .singleFrameOps = kAllOps, .multFrameOps = kAllOps,
     .pulse = nullptr, .digitalPort = nullptr, .color = nullptr, .passthruScaling = &kScaleTo1024,
     .controls = kKv7100Controls},
    {.code = KV7400, .boardName = "SIM7400", .deviceName = "KV7400 (simulated)",
     .kind = STC_IMG_DEV_MONO_FRAME_GRABBER, .families = FamilyBit(Family::Lib7400),
     .frameWidth = 640, .frameHeight = 480, .inputSources = 4,
     .linearMemSize = 64 * kMB, .deviceMemSize = 2 * kMB,
     .pixelDepth = 8, .bytesPerPixel = 1, .lutCount = 4, .lutEntries = 256, .lutMaxValue = 255,
     .outputLines = 8,
     .triggerTypes = kAllTriggers, .multTriggerTypes = kAllTriggers,
     .multTriggerModes = kBothModes, .eventTypes = kAllEvents, .eventCount = kEventCounts,
     .strobeTypes = kAllStrobes, .strobeWidths = kStrobeWidths,
     .singleFrameOps = kAllOps, .multFrameOps = kAllOps,
     .pulse = nullptr, .digitalPort = nullptr, .color = nullptr, .passthruScaling = &kScaleTo1024,
     .controls = kKv7400Controls},
    {.code = KV7700, .boardName = "SIM7700", .deviceName = "KV7700 (simulated)",
     .kind = STC_IMG_DEV_MONO_FRAME_GRABBER, .families = FamilyBit(Family::Camera),
     .frameWidth = 640, .frameHeight = 480, .inputSources = 2,
     .linearMemSize = 64 * kMB, .deviceMemSize = 4 * kMB,
     .pixelDepth = 10, .bytesPerPixel = 2, .lutCount = 2, .lutEntries = 1024,
     .lutMaxValue = 1023, .outputLines = 0,
     .triggerTypes = kSoftwareAndExternal, .multTriggerTypes = kSoftwareAndExternal,
     .multTriggerModes = kBothModes, .eventTypes = 0, .eventCount = kNoEvents,
     .strobeTypes = kAllStrobes, .strobeWidths = kStrobeWidths,
     .singleFrameOps = kAllOps, .multFrameOps = kAllOps,
     .pulse = &kCameraPulse, .digitalPort = &kCameraPort, .color = nullptr, .passthruScaling = &kScaleTo4096,
     .controls = kKv7700Controls},
    {.code = KV7300, .boardName = "SIM7300", .deviceName = "KV7300 (simulated)",
     .kind = STC_IMG_DEV_COLOR_FRAME_GRABBER, .families = FamilyBit(Family::Color),
     .frameWidth = 640, .frameHeight = 480, .inputSources = 3,
     .linearMemSize = 64 * kMB, .deviceMemSize = 2 * kMB,
     .pixelDepth = 24, .bytesPerPixel = 3, .lutCount = 3, .lutEntries = 256, .lutMaxValue = 255,
     .outputLines = 0,
     .triggerTypes = kSoftwareAndExternal, .multTriggerTypes = kSoftwareAndExternal,
     .multTriggerModes = ValueBit(STC_FG_TRIGMODE_TO_START), .eventTypes = 0,
     .eventCount = kNoEvents, .strobeTypes = 0, .strobeWidths = {},
     .singleFrameOps = kAllOps, .multFrameOps = kHostOps,
     .pulse = nullptr, .digitalPort = &kKv7300Port, .color = &kKv7300Color, .passthruScaling = &kScaleTo1024,
     .controls = kKv7300Controls},
    {.code = KV7500, .boardName = "SIM7500", .deviceName = "KV7500 (simulated)",
     .kind = STC_IMG_DEV_COLOR_FRAME_GRABBER, .families = FamilyBit(Family::Color),
     .frameWidth = 768, .frameHeight = 576, .inputSources = 2,
     .linearMemSize = 64 * kMB, .deviceMemSize = 4 * kMB,
     .pixelDepth = 32, .bytesPerPixel = 4, .lutCount = 6, .lutEntries = 256, .lutMaxValue = 255,
     .outputLines = 0,
     .triggerTypes = kSoftwareAndExternal, .multTriggerTypes = kSoftwareAndExternal,
     .multTriggerModes = kBothModes, .eventTypes = 0, .eventCount = kNoEvents,
     .strobeTypes = 0, .strobeWidths = {}, .singleFrameOps = kAllOps, .multFrameOps = kAllOps,
     .pulse = nullptr, .digitalPort = &kKv7500Port, .color = &kKv7500Color, .passthruScaling = &kScaleTo1024,
     .controls = kKv7500Controls},
    {.code = KV7400LS, .boardName = "SIM7400LS", .deviceName = "KV7400LS (simulated)",
     .kind = STC_IMG_DEV_MONO_FRAME_GRABBER, .families = Family::Lib7400 | Family::LineScan,
     .frameWidth = 2048, .frameHeight = 512, .inputSources = 1,
     .linearMemSize = 64 * kMB, .deviceMemSize = 2 * kMB,
     .pixelDepth = 8, .bytesPerPixel = 1, .lutCount = 2, .lutEntries = 256, .lutMaxValue = 255,
     .outputLines = 8,
     .triggerTypes = kSoftwareAndExternal, .multTriggerTypes = ValueBit(STC_FG_TRIGGER_NONE),
     .multTriggerModes = ValueBit(STC_FG_TRIGMODE_TO_START), .eventTypes = 0,
     .eventCount = kNoEvents, .strobeTypes = 0, .strobeWidths = {},
     .singleFrameOps = kHostOps, .multFrameOps = kHostOps,
     .pulse = nullptr, .digitalPort = &kLineScanPort, .color = nullptr, .passthruScaling = nullptr,
     .controls = kKv7400LsControls},
    {.code = KV760X, .boardName = "SIM760X", .deviceName = "KV760X (simulated)",
     .kind = STC_IMG_DEV_MONO_FRAME_GRABBER, .families = 0,
     .frameWidth = 640, .frameHeight = 480, .inputSources = 2,
     .linearMemSize = 64 * kMB, .deviceMemSize = 0,
     .pixelDepth = 8, .bytesPerPixel = 1, .lutCount = 1, .lutEntries = 256, .lutMaxValue = 255,
     .outputLines = 2,
     .triggerTypes = ValueBit(STC_FG_TRIGGER_NONE), .multTriggerTypes = ValueBit(STC_FG_TRIGGER_NONE),
     .multTriggerModes = ValueBit(STC_FG_TRIGMODE_TO_START), .eventTypes = 0,
     .eventCount = kNoEvents, .strobeTypes = 0, .strobeWidths = {},
     .singleFrameOps = kHostOps, .multFrameOps = kHostOps,
     .pulse = nullptr, .digitalPort = nullptr, .color = nullptr, .passthruScaling = nullptr,
     .controls = kKv760xControls},
};
// clang-format on

} // namespace

const ControlSpec* ModelSpec::FindControl(uint32_t key) const {
    const auto it = std::find_if(controls.begin(), controls.end(),
                                 [key](const ControlSpec& c) { return c.key == key; });
    return it == controls.end() ? nullptr : &*it;
}

std::span<const ModelSpec> Models() {
    return kModels;
}

const ModelSpec* FindModel(uint32_t code) {
    const auto it = std::find_if(std::begin(kModels), std::end(kModels),
                                 [code](const ModelSpec& m) { return m.code == code; });
    return it == std::end(kModels) ? nullptr : &*it;
}

} // namespace kvboard
