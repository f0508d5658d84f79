#include "run_state.h"

#include "resource.h"

namespace vidora {
namespace {

constexpr MenuItemPlace kPlaces[kMenuItemCount] = {
    {0, 0}, {IDM_OPEN_IMAGE_FILE, -1}, {IDM_SAVE_IMAGE_FILE, -1}, {IDM_LOAD_LUMEN_FILE, -1},
    {IDM_EXIT, -1},
    {0, 1}, {IDM_SELECT_DEVICE, -1}, {IDM_CLOSE_DEVICE, -1},
    {IDM_SET_CAMERA_TYPE, -1}, {IDM_SET_TIMEOUT, -1}, {IDM_COLOR_IMAGE_PARAMETERS, -1},
    {IDM_SELECT_INPUT_SOURCE, -1}, {IDM_INPUT_FILTER, -1}, {IDM_PROGRAMMABLE_AD, -1},
    {IDM_VIDEO_INPUT_TYPE, -1}, {IDM_FRAME_TYPE, -1}, {IDM_SYNC_SENTINEL, -1},
    {IDM_PIXEL_CLOCK, -1}, {IDM_ACTIVE_VIDEO_AREA, -1}, {IDM_FRAME_SIZE, -1},
    {IDM_SYNC_MASTER, -1}, {IDM_CAMERA_EXPOSURE, -1}, {IDM_DIGITAL_IO, -1},
    {IDM_EXTERNAL_TRIGGER, -1},
    {IDM_VIEW_640X480, -1}, {IDM_VIEW_768X576, -1}, {IDM_VIEW_FULL, -1},
    {0, 2}, {IDM_START_PASSTHRU, -1}, {IDM_STOP_PASSTHRU, -1}, {IDM_SINGLE_FRAME_ACQUIRE, -1},
    {0, 3}, {IDM_ABOUT_VIDORA, -1}, {IDM_HELP_TOPICS, -1},
};

void ForEachDeviceSetupItem(MenuFlags& flags, bool on) {
    for (int i = static_cast<int>(kFirstDeviceSetupItem);
         i <= static_cast<int>(kLastDeviceSetupItem); ++i)
        flags.Enable(static_cast<MenuItem>(i), on);
}

} // namespace

MenuItemPlace PlaceOf(MenuItem item) { return kPlaces[static_cast<std::size_t>(item)]; }

MenuItem ItemOfCommand(int commandId) {
    for (std::size_t i = 0; i < kMenuItemCount; ++i)
        if (commandId != 0 && kPlaces[i].commandId == commandId) return static_cast<MenuItem>(i);
    return MenuItem::Count;
}

MenuFlags StartupMenus() {
    MenuFlags flags;
    for (MenuItem item : {MenuItem::File, MenuItem::OpenImageFile, MenuItem::Exit,
                          MenuItem::Setup, MenuItem::SelectDevice, MenuItem::View640x480,
                          MenuItem::View768x576, MenuItem::FullImageWindow, MenuItem::Help,
                          MenuItem::AboutVidora, MenuItem::HelpTopics})
        flags.Enable(item, true);
    return flags;
}

RunState StateOf(const MenuFlags& flags) {
    if (flags.Enabled(MenuItem::SelectDevice)) return RunState::NoDevice;
    return flags.Enabled(MenuItem::StopPassthru) ? RunState::LiveVideo : RunState::DeviceIdle;
}

void SetNoDeviceMenus(MenuFlags& flags) {
    flags.Enable(MenuItem::SelectDevice, true);
    flags.Enable(MenuItem::CloseDevice, false);
    flags.Enable(MenuItem::LoadLumenFile, false);
    ForEachDeviceSetupItem(flags, false);
    flags.Enable(MenuItem::Run, false);
    flags.Enable(MenuItem::SaveImageFile, false);
}

void SetLiveVideoMenus(MenuFlags& flags) {
    flags.Enable(MenuItem::File, false);
    flags.Enable(MenuItem::Setup, false);
    flags.Enable(MenuItem::Help, false);
    flags.Enable(MenuItem::StartPassThru, false);
    flags.Enable(MenuItem::StopPassthru, true);
    flags.Enable(MenuItem::SingleFrameAcquire, false);
}

void SetStoppedLiveVideoMenus(MenuFlags& flags) {
    flags.Enable(MenuItem::File, true);
    flags.Enable(MenuItem::Setup, true);
    flags.Enable(MenuItem::Help, true);
    flags.Enable(MenuItem::StartPassThru, true);
    flags.Enable(MenuItem::StopPassthru, false);
    flags.Enable(MenuItem::SingleFrameAcquire, true);
    flags.Enable(MenuItem::SaveImageFile, true);
}

void CheckView(MenuFlags& flags, View view) {
    flags.Check(MenuItem::View640x480, view == View::W640x480);
    flags.Check(MenuItem::View768x576, view == View::W768x576);
    flags.Check(MenuItem::FullImageWindow, view == View::Full);
}

} // namespace vidora
