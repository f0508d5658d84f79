// Vidora's main window and device selection, run in the test's own process against the
// installed control and the simulated boards, driven through their windows as an operator
// drives them: menu commands, toolbar clicks, dialogs filled and answered, message boxes read.
#include "bitmap_files.h"
#include "resource.h"
#include "vidora_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <array>
#include <map>
#include <set>

namespace vidora {
namespace {

using test::UiScript;

std::wstring TempPath(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + name;
}

std::vector<unsigned char> FileBytes(const std::wstring& path) {
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// File Setup Run Help, then the items in menu order (see MenuItem).
constexpr wchar_t kStartupMenus[] = L"1101"
                                    L"1001"
                                    L"10"
                                    L"0000000000000000"
                                    L"111"
                                    L"000"
                                    L"11";
constexpr wchar_t kIdleMenus[] = L"1111"
                                 L"1011"
                                 L"01"
                                 L"%"
                                 L"111"
                                 L"101"
                                 L"11";
constexpr wchar_t kLiveMenus[] = L"0010"
                                 L"1011"
                                 L"01"
                                 L"%"
                                 L"111"
                                 L"010"
                                 L"11";

std::wstring WithSetupItems(const wchar_t* pattern, const std::wstring& setup) {
    std::wstring out = pattern;
    out.replace(out.find(L'%'), 1, setup);
    return out;
}

TEST_F(VidoraTest, StartsWithNoDeviceInThe640x480View) {
    EXPECT_EQ(EnabledItems(), kStartupMenus);
    EXPECT_TRUE(Checked(IDM_VIEW_640X480));
    EXPECT_FALSE(Checked(IDM_VIEW_768X576));
    EXPECT_FALSE(Checked(IDM_VIEW_FULL));
    EXPECT_EQ(Panel(0), L"Status");
    EXPECT_EQ(Panel(1), L"No device is open  ");
    EXPECT_EQ(Panel(2), L"Viewing Window: 640 x 480  ");
    RECT outer{};
    GetWindowRect(main_.Window(), &outer);
    EXPECT_EQ(outer.right - outer.left, 800);
    EXPECT_EQ(outer.bottom - outer.top, 587);
    EXPECT_EQ(ChildRect(main_.ControlWindow()), (Rect{0, 30, 640, 480}));
    EXPECT_EQ(ChildRect(GetDlgItem(main_.Window(), IDC_IMG640X480)), (Rect{652, 39, 132, 464}));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(main_.Window(), IDC_IMG768X576)));
    EXPECT_EQ(SendMessageW(main_.Toolbar(), TB_BUTTONCOUNT, 0, 0), 10); // 8 and 2 separators
    Screenshot(L"vidora-no-device.png");
}

TEST_F(VidoraTest, RefusalsInEachRunStateShowTheirInformation) {
    auto click = [this](const wchar_t* key) {
        return [this, key] { main_.ToolbarButtonClick(key); };
    };
    const struct {
        const wchar_t* key;
        const wchar_t* message; // null: the command does nothing
    } noDevice[] =
        {
            {L"SingleFrameAcquire", L"Please open a device before acquiring a frame."},
            {L"StartPassthru", L"Please open a device before starting passthru operation."},
            {L"LoadLumenFile", L"Please select a device before loading Lumen file."},
            {L"StopPassthru", nullptr},
            {L"NoSuchButton", nullptr},
        },
      live[] = {
          {L"SingleFrameAcquire", L"Please stop passthru before acquiring a frame."},
          {L"LoadLumenFile", L"Please stop passthru operation before loading Lumen file."},
          {L"OpenImageFile", L"Please stop passthru operation before opening image file."},
          {L"SaveImageFile", L"Please stop passthru operation before saving image file."},
          {L"OpenDevice", L"Please stop passthru operation before opening another device."},
          {L"StartPassthru", nullptr},
      };
    for (const auto& c : noDevice) {
        const auto texts = BoxesOf(L"Information", click(c.key));
        EXPECT_EQ(texts,
                  c.message ? std::vector<std::wstring>{c.message} : std::vector<std::wstring>{})
            << c.key;
    }
    EXPECT_EQ(EnabledItems(), kStartupMenus);
    OpenDevice(L"SIM7100");
    main_.ToolbarButtonClick(L"StartPassthru");
    const std::wstring liveMenus = EnabledItems();
    for (const auto& c : live) {
        const auto texts = BoxesOf(L"Information", click(c.key));
        EXPECT_EQ(texts,
                  c.message ? std::vector<std::wstring>{c.message} : std::vector<std::wstring>{})
            << c.key;
    }
    EXPECT_EQ(EnabledItems(), liveMenus);
    main_.ToolbarButtonClick(L"StopPassthru");
}

TEST_F(VidoraTest, EachBoardGetsTheSetupItemsItSupports) {
    // Setup items from Set Camera Type to External Trigger: camera type, time-out, color
    // parameters, input source, filter, A/D, video type, frame type, sentinel, pixel clock,
    // active video, frame size, sync master, exposure, digital I/O, trigger.
    const std::map<std::wstring, std::wstring> boards = {
        {L"SIM7100", L"0101111111110011"}, {L"SIM7400", L"0101111111111011"},
        {L"SIM7700", L"1101001001011111"}, {L"SIM7300", L"0111101110111011"},
        {L"SIM7500", L"0111001111111011"}, {L"SIM7400LS", L"0100010001011011"},
        {L"SIM760X", L"0101011100010000"},
    };
    for (const auto& [board, setup] : boards) {
        OpenDevice(board);
        EXPECT_EQ(EnabledItems(), WithSetupItems(kIdleMenus, setup)) << board;
        EXPECT_EQ(Panel(1), board + L"  ");
        const bool pal = main_.State().AcqWidth == 768 && main_.State().AcqHeight == 576;
        EXPECT_TRUE(Checked(pal ? IDM_VIEW_768X576 : IDM_VIEW_640X480)) << board;
        EXPECT_EQ(main_.State().AcqWidth, Property(&ICorvid3::get_FrameWidth));
    }
    main_.RunCommand(IDM_CLOSE_DEVICE);
    EXPECT_EQ(EnabledItems(), WithSetupItems(L"1101"
                                             L"1001"
                                             L"10"
                                             L"%"
                                             L"111"
                                             L"101"
                                             L"11",
                                             L"0000000000000000"));
    EXPECT_EQ(Panel(1), L"No device is open  ");
}

TEST_F(VidoraTest, AcquiredFrameIsShownSavedAndOpenedAgain) {
    OpenDevice(L"SIM7100");
    main_.RunCommand(IDM_SINGLE_FRAME_ACQUIRE);
    EXPECT_TRUE(Enabled(IDM_SAVE_IMAGE_FILE));
    test::Pump(std::chrono::milliseconds(100));
    const test::Capture view = test::CaptureWindow(main_.ControlWindow(), true);
    EXPECT_GT(test::DistinctColors(view, 0, 0, view.width, view.height), 8u);
    Screenshot(L"vidora-acquired.png");

    const std::wstring path = TempPath(L"vidora-saved.bmp");
    DeleteFileW(path.c_str());
    UiScript save;
    save.Then(L"Save Image File", [path](HWND dialog) { test::ChooseFileInDialog(dialog, path); });
    save.Start();
    main_.ToolbarButtonClick(L"SaveImageFile");
    ASSERT_TRUE(save.Finish());
    // The file holds the frame: 8-bit rows bottom-up after the headers and the grey palette.
    const std::vector<unsigned char> file = FileBytes(path);
    ASSERT_EQ(file.size(), 14u + 40 + 1024 + 640 * 480);
    VARIANT pixels;
    VariantInit(&pixels);
    ASSERT_EQ(main_.Control()->ReadFrameEx(main_.State().FrameId, 0, 0, 640, 480, &pixels), S_OK);
    unsigned char* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(pixels.parray, reinterpret_cast<void**>(&data)), S_OK);
    for (int y : {0, 1, 240, 479})
        EXPECT_EQ(0, memcmp(&file[14 + 40 + 1024 + (479 - y) * 640], data + y * 640, 640)) << y;
    const unsigned char grey = data[200 * 640 + 300];
    SafeArrayUnaccessData(pixels.parray);
    VariantClear(&pixels);

    // Opened again, the picture box shows it over the view.
    UiScript open;
    open.Then(L"Open Image File", [path](HWND dialog) { test::ChooseFileInDialog(dialog, path); });
    open.Start();
    main_.RunCommand(IDM_OPEN_IMAGE_FILE);
    ASSERT_TRUE(open.Finish());
    EXPECT_TRUE(IsWindowVisible(main_.Picture()));
    test::Pump(std::chrono::milliseconds(100));
    const test::Capture picture = test::CaptureWindow(main_.Picture(), true);
    EXPECT_EQ(picture.At(300, 200), static_cast<unsigned>(grey * 0x010101));

    // A cancelled dialog changes nothing and shows nothing.
    UiScript cancel;
    cancel.Then(L"Open Image File", [](HWND dialog) { test::Press(dialog, IDCANCEL); });
    cancel.Start();
    EXPECT_TRUE(BoxesOf(L"Vidora", [this] { main_.RunCommand(IDM_OPEN_IMAGE_FILE); }).empty());
    EXPECT_TRUE(cancel.Finish());
    EXPECT_TRUE(IsWindowVisible(main_.Picture()));

    // A damaged file (cut inside its headers) never reaches the platform's loader.
    {
        std::ofstream cut(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
        cut.write(reinterpret_cast<const char*>(file.data()), 30);
    }
    UiScript damaged;
    damaged.Then(L"Open Image File",
                 [path](HWND dialog) { test::ChooseFileInDialog(dialog, path); });
    damaged.Start();
    EXPECT_EQ(BoxesOf(L"Vidora", [this] { main_.RunCommand(IDM_OPEN_IMAGE_FILE); }),
              std::vector<std::wstring>{L"Invalid picture"});
    EXPECT_TRUE(damaged.Finish());
    DeleteFileW(path.c_str());
}

TEST_F(VidoraTest, LiveVideoRunsUntilStoppedAndLeavesAStillFrame) {
    OpenDevice(L"SIM7100");
    const std::wstring idle = EnabledItems();
    main_.RunCommand(IDM_START_PASSTHRU);
    EXPECT_EQ(EnabledItems(), WithSetupItems(kLiveMenus, idle.substr(10, 16)));
    test::Pump(std::chrono::milliseconds(500));
    const test::Capture live = test::CaptureWindow(main_.ControlWindow(), true);
    EXPECT_GT(test::DistinctColors(live, 0, 0, live.width, live.height), 8u);
    Screenshot(L"vidora-live.png");
    main_.RunCommand(IDM_STOP_PASSTHRU);
    EXPECT_EQ(EnabledItems().substr(0, 10), L"1111"
                                            L"1111"
                                            L"01");
    EXPECT_TRUE(Enabled(IDM_START_PASSTHRU));
    EXPECT_FALSE(Enabled(IDM_STOP_PASSTHRU));
    test::Pump(std::chrono::milliseconds(100));
    const test::Capture still = test::CaptureWindow(main_.ControlWindow(), true);
    EXPECT_GT(test::DistinctColors(still, 0, 0, still.width, still.height), 8u);
}

TEST_F(VidoraTest, FullViewScrollBarsPanLiveVideo) {
    OpenDevice(L"SIM7400LS"); // 2048 pixels wide: wider than any full view here
    main_.RunCommand(IDM_VIEW_FULL);
    EXPECT_TRUE(Checked(IDM_VIEW_FULL));
    const Rect view = ChildRect(main_.ControlWindow());
    EXPECT_EQ(Panel(2), FullViewPanelText(view.width, view.height));
    const HWND bar = main_.ScrollBar(true);
    EXPECT_TRUE(main_.State().HScrollNeeded);
    EXPECT_FALSE(IsWindowVisible(bar));
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE;
    GetScrollInfo(bar, SB_CTL, &info);
    EXPECT_EQ(info.nMax, 2048 - view.width);

    // Without live video the bar moves nothing in the control.
    SendMessageW(main_.Window(), WM_HSCROLL, SB_PAGERIGHT, reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(Property(&ICorvid3::get_XPassthruOrigin), 0);

    main_.RunCommand(IDM_START_PASSTHRU);
    ASSERT_TRUE(Enabled(IDM_STOP_PASSTHRU));
    EXPECT_TRUE(IsWindowVisible(bar));
    SendMessageW(main_.Window(), WM_HSCROLL, SB_PAGERIGHT, reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(Property(&ICorvid3::get_XPassthruOrigin), 128); // two pages of 64
    SendMessageW(main_.Window(), WM_HSCROLL, SB_LINERIGHT, reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(Property(&ICorvid3::get_XPassthruOrigin), 136);
    EXPECT_TRUE(Enabled(IDM_STOP_PASSTHRU));
    main_.RunCommand(IDM_STOP_PASSTHRU);

    // A fixed view hides the bars but keeps the flags; live video there shows none.
    main_.RunCommand(IDM_VIEW_640X480);
    EXPECT_FALSE(IsWindowVisible(bar));
    EXPECT_TRUE(main_.State().HScrollNeeded);
    main_.RunCommand(IDM_START_PASSTHRU);
    EXPECT_FALSE(IsWindowVisible(bar));
    main_.RunCommand(IDM_STOP_PASSTHRU);
}

TEST_F(VidoraTest, FailuresShowTheControlsDescriptionAndTheProgramGoesOn) {
    // An unknown device: the dialog stays open, the menus are back without a device.
    UiScript script;
    script.Then(L"Select Device", [](HWND dialog) {
        SetDlgItemTextW(dialog, IDC_SELECT_DEVICE, L"NOSUCHBOARD");
        test::Press(dialog, IDOK);
    });
    script.Then(L"Select Device", [this](HWND dialog) {
        // Still open once the error has been answered.
        for (int i = 0; i < 500 && errors_.Texts().empty(); ++i)
            Sleep(10);
        test::Press(dialog, IDCANCEL);
    });
    script.Start();
    const auto unknown = BoxesOf(L"Vidora", [this] { main_.RunCommand(IDM_SELECT_DEVICE); });
    ASSERT_TRUE(script.Finish());
    ASSERT_EQ(unknown.size(), 1u);
    EXPECT_FALSE(unknown[0].empty());
    EXPECT_EQ(EnabledItems(), WithSetupItems(L"1101"
                                             L"1001"
                                             L"10"
                                             L"%"
                                             L"111"
                                             L"000"
                                             L"11",
                                             L"0000000000000000"));

    // A driver failure during an acquisition is shown; the next acquisition works.
    OpenDevice(L"SIM7100");
    simulator_.Port().FailNext(imaging::msg::STM_ACQUIRE_FRAME, 0x94000006);
    const auto failed = BoxesOf(L"Vidora", [this] { main_.RunCommand(IDM_SINGLE_FRAME_ACQUIRE); });
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_FALSE(failed[0].empty());
    EXPECT_FALSE(Enabled(IDM_SAVE_IMAGE_FILE));
    EXPECT_TRUE(BoxesOf(L"Vidora", [this] { main_.RunCommand(IDM_SINGLE_FRAME_ACQUIRE); }).empty());
    EXPECT_TRUE(Enabled(IDM_SAVE_IMAGE_FILE));

    // A failing start leaves the live-video menus as they were changed: Stop enabled.
    simulator_.Port().FailNext(imaging::msg::STM_START_ASYNC_PASSTHRU, 0x94000006);
    EXPECT_EQ(BoxesOf(L"Vidora", [this] { main_.RunCommand(IDM_START_PASSTHRU); }).size(), 1u);
    EXPECT_TRUE(Enabled(IDM_STOP_PASSTHRU));
    EXPECT_FALSE(Enabled(IDM_START_PASSTHRU));
    EXPECT_FALSE(BarEnabled(0));
}

TEST_F(VidoraTest, LumenFileSavedByTheControlLoads) {
    OpenDevice(L"SIM7300");
    const std::wstring path = TempPath(L"vidora-setup.cam");
    com::UniqueBstr name(path.c_str());
    ASSERT_EQ(main_.Control()->SaveCameraFile(name.Get()), S_OK);
    UiScript load;
    load.Then(L"Load Lumen File", [path](HWND dialog) { test::ChooseFileInDialog(dialog, path); });
    load.Start();
    EXPECT_TRUE(BoxesOf(L"Vidora", [this] { main_.ToolbarButtonClick(L"LoadLumenFile"); }).empty());
    EXPECT_TRUE(load.Finish());
    com::UniqueBstr loaded;
    ASSERT_EQ(main_.Control()->get_CameraFile(loaded.Out()), S_OK);
    EXPECT_STREQ(loaded.Text(), path.c_str());
    DeleteFileW(path.c_str());
}

// A 640 x 480 24-bit bitmap file of four flat quadrants (top-left, top-right, bottom-left,
// bottom-right).
void WriteQuadrants(const std::wstring& path, const std::array<unsigned, 4>& rgb) {
    simtest::WriteFileBytes(
        path, simtest::BitmapBytes(640, 480, 24, false, nullptr, [&](uint32_t x, uint32_t y) {
            const unsigned c = rgb[(y >= 240) * 2 + (x >= 320)];
            return simtest::Rgb8{static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
                                 static_cast<uint8_t>(c)};
        }));
}

// A board pointed at a folder of recorded images shows them in Vidora, in a single frame and
// in live video: the monochrome board shows each quadrant's luma.
TEST_F(VidoraTest, ABoardPlayingRecordedImagesShowsThem) {
    const simtest::ScratchFolder scratch(L"vidora-played");
    const std::wstring& folder = scratch.path();
    // red, green, blue, white: luma 76, 150, 29, 255; the second file turns them round.
    WriteQuadrants(folder + L"\\1.bmp", {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF});
    WriteQuadrants(folder + L"\\2.bmp", {0xFFFFFF, 0x0000FF, 0x00FF00, 0xFF0000});
    const std::set<std::vector<unsigned>> shown = {{76, 150, 29, 255}, {255, 29, 150, 76}};
    const std::wstring key = L"System\\CurrentControlSet\\Services\\kvboard\\SIMVIDPLAY";
    struct BoardKey { // the scratch board is gone again on every path
        const std::wstring& path;
        ~BoardKey() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, path.c_str()); }
    } board{key};
    const DWORD enable = 1, model = 32; // KV7100
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"Enable", REG_DWORD, &enable, 4);
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"Model", REG_DWORD, &model, 4);
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"ImageFolder", REG_SZ,
                              folder.c_str(), static_cast<DWORD>((folder.size() + 1) * 2)),
              ERROR_SUCCESS);

    const auto quadrants = [this] {
        test::Pump(std::chrono::milliseconds(100));
        const test::Capture view = test::CaptureWindow(main_.ControlWindow(), true);
        std::vector<unsigned> grey;
        for (auto [x, y] : {std::pair{160, 120}, {480, 120}, {160, 360}, {480, 360}})
            grey.push_back(view.At(x, y) & 0xFF);
        return grey;
    };
    OpenDevice(L"SIMVIDPLAY");
    ASSERT_NE(Panel(1), L"No device is open  ");
    main_.RunCommand(IDM_SINGLE_FRAME_ACQUIRE);
    EXPECT_EQ(shown.count(quadrants()), 1u);
    main_.RunCommand(IDM_START_PASSTHRU);
    test::Pump(std::chrono::milliseconds(300));
    EXPECT_EQ(shown.count(quadrants()), 1u);
    Screenshot(L"vidora-played.png");
    main_.RunCommand(IDM_STOP_PASSTHRU);
    main_.RunCommand(IDM_CLOSE_DEVICE);
}

} // namespace
} // namespace vidora
