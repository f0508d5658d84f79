// The program-wide state record: one instance, owned by the main window for the whole run,
// read and written by every form.
#pragma once

#include <string>

namespace vidora {

struct AppState {
    std::wstring DeviceName;      // the open device as chosen in the device list
    long DeviceType = 0;          // the control's DeviceType right after the open
    long FrameId = 0;             // the one allocated frame, while the control holds frames
    long AcqLeft = 0, AcqTop = 0, AcqWidth = 0, AcqHeight = 0;  // frame rectangle, pixels
    long AcqHScale = 0, AcqVScale = 0;                          // scales in percent
    long AcqFrameType = 0;
    bool ColorSupported = false;
    long CapsValue = 0;           // receives every 4-byte capability answer
    long FrameTypeCount = 0;
    bool RemindPixelClock = false;
    bool RemindCameraWait = false;
    bool ExternalTriggerOn = false;
    bool HScrollNeeded = false, VScrollNeeded = false;
};

} // namespace vidora
