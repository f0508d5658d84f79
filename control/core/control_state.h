// The state one control object keeps about its device, its input settings and the optional
// remote device object. Plain records: CCorvid owns one of each.
#pragma once

#include "corvid_h.h"
#include "raii.h"
#include "records.h"
#include "status.h"

#include <wrl/client.h>

#include <cstdint>
#include <memory>
#include <string>

namespace core {

// The installed devices (built once, when the object is created) and the open one.
struct DeviceState {
    std::unique_ptr<imaging::ImagingDeviceInfo[]> records; // 60-byte entries
    std::unique_ptr<std::wstring[]> names;                 // board names, same order
    int32_t count = 0;
    int32_t activeIndex = -1; // -1: none open, or opened by a name not in the list
    HDRVR driver = nullptr;   // null: no device open
    uint32_t modelCode = 0;   // DeviceType when the device was opened
    uint16_t inputSource = 0; // VideoInputSource
    imaging::STT_APISTATUS lastStatus = 0;
    // Set while the control repaints the last drawn frame or the acquired lines.
    bool displayingFrame = false;
    bool displayingLines = false;
};

// What AllocateFrame uses for arguments of -1 and what the frame properties report when
// there is no active frame. Filled when a device is opened and by a camera file.
struct FrameDefaults {
    int32_t left = 0;
    int32_t top = 0;
    int32_t height = 0;
    int32_t width = 0;
    int32_t frameType = 0;
    int32_t storageMode = 0;
    int32_t bytesPerPixel = 0;
    uintptr_t baseAddress = 0;
    int32_t horizontalScale = 0;
    int32_t verticalScale = 0;
};

// Input settings the control keeps itself; they live as long as the object, across devices.
struct InputState {
    bool basedMode = false;
    int16_t basedSource = 0;
    uint32_t scanFlags = 0; // bit 0 horizontal, bit 1 vertical transition
    uint32_t triggerType = SoftwareTrigger;
    uint32_t triggerTransition = OnHighToLow;
    uint32_t multTriggerType = SoftwareTrigger;
    uint32_t multTriggerTransition = OnHighToLow;
    uint32_t multTriggerMode = TriggerToStart;
    int32_t lastGain = GAIN_OF_1;
};

// Raised while a persistence Load or Save runs: failures are then swallowed.
struct PersistFlags {
    bool loading = false;
    bool saving = false;
    bool Active() const { return loading || saving; }
};

// The control object on another host that serves the dispatch members while present.
struct RemoteDevice {
    Microsoft::WRL::ComPtr<ICorvid3> object;
    std::wstring host = L"Localhost";
};

} // namespace core
