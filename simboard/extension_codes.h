// Values that the board extension messages carry and the statuses the board libraries
// leave. Scoped, so that they never collide with the imaging API's own names.
#pragma once

#include <cstdint>

namespace kvboard {

// STT_QUERY_COLOR_INTERFACE: the interfaces a color board may offer.
enum class ColorInterface : uint32_t {
    SignalType = 1,
    StorageMode = 2,
    ImageParameter = 3,
    HardwareScaling = 4,
    DigitalIo = 5,
    DrawAcquiredFrame = 6,
    SyncMasterMode = 7,
    ExtractFrame = 8,
    DrawBuffer = 9,
};
constexpr uint32_t InterfaceBit(ColorInterface i) {
    return 1u << static_cast<uint32_t>(i);
}

// STT_COLOR_PARAMETER.
enum class ColorParameter : uint32_t {
    Brightness = 1,
    Contrast = 2,
    VSaturation = 3,
    USaturation = 4,
    Hue = 5,
    RedLevel = 6,
    GreenLevel = 7,
    BlueLevel = 8,
    RedReference = 9,
    GreenReference = 10,
    BlueReference = 11,
    RedOffset = 12,
    GreenOffset = 13,
    BlueOffset = 14,
};
constexpr uint32_t kColorParameterCount = 14;

// STT_SIGNAL_TYPE.
enum class SignalType : uint32_t {
    Mono = 1,
    YC = 2,
    Composite = 3,
    Rgb = 4,
    TripleMono = 5,
    DualMono = 6
};
constexpr uint32_t SignalBit(SignalType s) {
    return 1u << static_cast<uint32_t>(s);
}

// The parameter code of the color sync master message (STT_SYNC_MASTER_PARAMETER).
constexpr uint32_t kSyncMasterEnable = 1;

// Digital camera bit widths (CameraTypeEnum) and expose pulse polarity.
enum class CameraType : uint32_t { Bits16, Bits14, Bits12, Bits10, Bits8Single, Bits8Dual };
constexpr uint32_t kCameraTypeCount = 6;
constexpr uint32_t kPolarityActiveLow = 1;

// Device-dependent driver statuses (standard flag clear) that the digital-camera and KV7400
// board libraries leave.
namespace libsts {
constexpr uint32_t kOutOfRange = 0x04000001;  // a value outside the parameter's range
constexpr uint32_t kBadSelector = 0x04000002; // unknown parameter selector
constexpr uint32_t kBadSource = 0x04000003;   // the board has no such input
constexpr uint32_t kSyncInUse = 0x04000004;   // the sync generator drives another input
} // namespace libsts

} // namespace kvboard
