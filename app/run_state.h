// The menu flags of the main window and the run-state rules read from them. The program keeps
// its run state in the menu items' enabled flags: every command reads it back from there.
// Platform-free: the main window copies these flags onto its real menu.
#pragma once

#include <array>
#include <cstddef>

namespace vidora {

enum class MenuItem {
    File, OpenImageFile, SaveImageFile, LoadLumenFile, Exit,
    Setup, SelectDevice, CloseDevice,
    SetCameraType, SetTimeout, ColorImageParameters, SelectInputSource, InputFilter,
    ProgrammableAD, VideoInputType, FrameType, SyncSentinel, PixelClock, ActiveVideoArea,
    FrameSize, SyncMaster, CameraExposure, DigitalIO, ExternalTrigger,
    View640x480, View768x576, FullImageWindow,
    Run, StartPassThru, StopPassthru, SingleFrameAcquire,
    Help, AboutVidora, HelpTopics,
    Count
};

constexpr std::size_t kMenuItemCount = static_cast<std::size_t>(MenuItem::Count);

// Where an item lives in the menu: a command id, or a position in the menu bar for the four
// top-level menus.
struct MenuItemPlace {
    int commandId;    // 0 for a top-level menu
    int barPosition;  // -1 for a command
};
MenuItemPlace PlaceOf(MenuItem item);
// The item of a command id, or MenuItem::Count when the id names none.
MenuItem ItemOfCommand(int commandId);

// The Setup items whose dialogs depend on the open device, in menu order.
constexpr MenuItem kFirstDeviceSetupItem = MenuItem::SetCameraType;
constexpr MenuItem kLastDeviceSetupItem = MenuItem::ExternalTrigger;

class MenuFlags {
public:
    bool Enabled(MenuItem item) const { return enabled_[Index(item)]; }
    bool Checked(MenuItem item) const { return checked_[Index(item)]; }
    void Enable(MenuItem item, bool on) { enabled_[Index(item)] = on; }
    void Check(MenuItem item, bool on) { checked_[Index(item)] = on; }

private:
    static std::size_t Index(MenuItem item) { return static_cast<std::size_t>(item); }
    std::array<bool, kMenuItemCount> enabled_{};
    std::array<bool, kMenuItemCount> checked_{};
};

enum class RunState { NoDevice, DeviceIdle, LiveVideo };

// The menus as the program starts: no device open, the 640 x 480 view not yet chosen.
MenuFlags StartupMenus();
RunState StateOf(const MenuFlags& flags);

// Close Device, and the first step of opening a device: back to the no-device menus. The Run
// items keep their own flags; the disabled Run menu hides them.
void SetNoDeviceMenus(MenuFlags& flags);
// Start Pass Thru: only Run and its Stop item stay usable.
void SetLiveVideoMenus(MenuFlags& flags);
// Stop Pass Thru: the idle menus again, with Save Image File now offered.
void SetStoppedLiveVideoMenus(MenuFlags& flags);

enum class View { W640x480, W768x576, Full };
void CheckView(MenuFlags& flags, View view);

} // namespace vidora
