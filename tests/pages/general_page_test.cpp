// The General page: the device list, the time-out, camera files through the file dialogs, the
// page's error box.
#include "page_support.h"

#include "general_page.h"

#include <fstream>

namespace test {
namespace {

class GeneralPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_HRESULT_SUCCEEDED(apartment_.Result());
        control_ = CreateControl();
        ASSERT_TRUE(control_);
    }
    // A file in the test's temporary folder, as the file dialogs take it.
    static std::wstring TempFile(const wchar_t* name) {
        wchar_t folder[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, folder);
        return std::wstring(folder) + name;
    }

    Apartment apartment_;
    ComPtr<IDispatch> control_;
};

TEST_F(GeneralPageTest, WithoutADeviceListsTheBoardsAndKeepsCameraFilesDisabled) {
    ActivePage page(CLSID_GeneralPage, control_.Get());
    ASSERT_TRUE(page.Active());
    EXPECT_EQ(page.Title(), L"General");
    const auto devices = page.Entries(IDC_GENERAL_DEVICE);
    ASSERT_EQ(devices.size(), std::size(kSimBoards));
    for (size_t i = 0; i < devices.size(); ++i)
        EXPECT_EQ(devices[i], TextOf(Invoke(control_.Get(), L"GetDeviceName", {Long(static_cast<LONG>(i))})));
    EXPECT_EQ(page.Selection(IDC_GENERAL_DEVICE), L"");
    // The control has no time-out without a device: the page leaves it disabled.
    EXPECT_TRUE(FAILED(GetProperty(control_.Get(), L"Timeout").hr));
    EXPECT_FALSE(page.Enabled(IDC_GENERAL_TIMEOUT));
    EXPECT_FALSE(page.Enabled(IDC_GENERAL_HOSTNAME));
    for (int id : {IDC_GENERAL_FILE, IDC_GENERAL_LOAD, IDC_GENERAL_SAVE})
        EXPECT_FALSE(page.Enabled(id)) << id;
    EXPECT_FALSE(page.Dirty());
}

TEST_F(GeneralPageTest, ApplyOpensTheChosenDeviceAndWritesTheTimeout) {
    ASSERT_TRUE(OpenBoard(control_.Get(), L"SIM7400"));
    ActivePage page(CLSID_GeneralPage, control_.Get());
    ASSERT_TRUE(page.Active());
    EXPECT_EQ(page.Selection(IDC_GENERAL_DEVICE), L"SIM7400");
    EXPECT_TRUE(page.Enabled(IDC_GENERAL_LOAD));
    EXPECT_TRUE(page.Enabled(IDC_GENERAL_TIMEOUT));
    EXPECT_EQ(page.Text(IDC_GENERAL_TIMEOUT),
              std::to_wstring(LongOf(GetProperty(control_.Get(), L"Timeout"))));
    page.Screenshot(L"page_general");

    page.Choose(IDC_GENERAL_DEVICE, L"SIM7300");
    page.Type(IDC_GENERAL_TIMEOUT, L"7");
    EXPECT_TRUE(page.Dirty());
    EXPECT_EQ(page.Apply(), S_OK);
    EXPECT_FALSE(page.Dirty());
    EXPECT_EQ(TextOf(GetProperty(control_.Get(), L"ActiveDevice")), L"SIM7300");
    EXPECT_EQ(LongOf(GetProperty(control_.Get(), L"Timeout")), 7);

    // The control's own changes reach the page: the device list follows the open board.
    Arg board(L"SIM7100");
    ASSERT_EQ(PutProperty(control_.Get(), L"ActiveDevice", board.Get()).hr, S_OK);
    EXPECT_EQ(page.Selection(IDC_GENERAL_DEVICE), L"SIM7100");
}

TEST_F(GeneralPageTest, CameraFilesThroughTheFileDialogs) {
    ASSERT_TRUE(OpenBoard(control_.Get(), L"SIM7100"));
    ActivePage page(CLSID_GeneralPage, control_.Get());
    ASSERT_TRUE(page.Active());

    // Cancel in the dialog changes nothing.
    {
        UiScript script;
        script.Then(L"Load Camera File", [](HWND dialog) { Press(dialog, IDCANCEL); }).Start();
        page.Click(IDC_GENERAL_LOAD);
        ASSERT_TRUE(script.Finish());
    }
    EXPECT_FALSE(page.Dirty());

    const std::wstring saved = TempFile(L"general_page.cam");
    DeleteFileW(saved.c_str());
    {
        UiScript script;
        script.Then(L"Save Camera File", [&](HWND dialog) { ChooseFileInDialog(dialog, saved); }).Start();
        page.Click(IDC_GENERAL_SAVE);
        ASSERT_TRUE(script.Finish());
    }
    EXPECT_EQ(page.Text(IDC_GENERAL_FILE), saved);
    EXPECT_TRUE(page.Dirty());
    EXPECT_EQ(page.Apply(), S_OK);
    EXPECT_NE(GetFileAttributesW(saved.c_str()), INVALID_FILE_ATTRIBUTES);

    // A damaged file: the control's error in the page's box, with the help question.
    const std::wstring damaged = TempFile(L"general_page_damaged.cam");
    std::ofstream(damaged.c_str()) << "[Frame]\nFrameTop=abc\n";
    UiScript script;
    script.Then(L"Load Camera File", [&](HWND dialog) { ChooseFileInDialog(dialog, damaged); })
        .Then(L"Error", [&](HWND box) {
            script.seen.push_back(MessageBoxText(box));
            Press(box, IDNO);
        })
        .Start();
    page.Click(IDC_GENERAL_LOAD);
    page.Apply();
    ASSERT_TRUE(script.Finish());
    ASSERT_EQ(script.seen.size(), 1u);
    EXPECT_EQ(script.seen[0], L"Invalid camera file\nWould you like to see additional help?");
    DeleteFileW(saved.c_str());
    DeleteFileW(damaged.c_str());
}

} // namespace
} // namespace test
