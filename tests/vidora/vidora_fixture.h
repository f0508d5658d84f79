// The fixture of Vidora's UI tests: the real main window in the test's own process, on the
// installed control and the simulated boards, with every message box answered.
#pragma once

#include "control_support.h"
#include "main_window.h"
#include "resource.h"
#include "ui_driver.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace vidora {

using test::UiScript;

class VidoraTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_HRESULT_SUCCEEDED(ole_);
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        ASSERT_TRUE(simulator_.ok());
        ASSERT_EQ(main_.Create(GetModuleHandleW(nullptr)), S_OK);
        SetWindowPos(main_.Window(), HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
        test::Pump(std::chrono::milliseconds(100));
    }
    void TearDown() override {
        if (main_.Window()) DestroyWindow(main_.Window());
        errors_.Stop();
        information_.Stop();
        const std::vector<std::wstring> errors = errors_.Texts();
        for (std::size_t i = expectedErrors_; i < errors.size(); ++i)
            ADD_FAILURE() << "unexpected error box: " << std::string(errors[i].begin(), errors[i].end());
        MSG quit;
        while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
        simulator_.Port().ClearFailures();
        if (SUCCEEDED(ole_)) OleUninitialize();
    }

    bool Enabled(int commandId) const {
        return !(GetMenuState(GetMenu(main_.Window()), commandId, MF_BYCOMMAND) & MF_GRAYED);
    }
    bool Checked(int commandId) const {
        return GetMenuState(GetMenu(main_.Window()), commandId, MF_BYCOMMAND) & MF_CHECKED;
    }
    bool BarEnabled(int position) const {
        return !(GetMenuState(GetMenu(main_.Window()), position, MF_BYPOSITION) & MF_GRAYED);
    }
    std::wstring Panel(int index) const {
        wchar_t text[256] = L"";
        SendMessageW(main_.StatusBar(), SB_GETTEXTW, index, reinterpret_cast<LPARAM>(text));
        return text;
    }
    // The enabled menus as the operator sees them: File, Setup, Run, Help, then each item.
    std::wstring EnabledItems() const {
        std::wstring out;
        for (int position = 0; position < 4; ++position) out += BarEnabled(position) ? L'1' : L'0';
        for (std::size_t i = 0; i < kMenuItemCount; ++i) {
            const MenuItemPlace place = PlaceOf(static_cast<MenuItem>(i));
            if (place.commandId) out += Enabled(place.commandId) ? L'1' : L'0';
        }
        return out;
    }
    Rect ChildRect(HWND child) const {
        RECT r{};
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, main_.Window(), reinterpret_cast<POINT*>(&r), 2);
        return {r.left, r.top, r.right - r.left, r.bottom - r.top};
    }
    void Screenshot(const wchar_t* name) {
        test::Pump(std::chrono::milliseconds(200));
        const test::Capture capture = test::CaptureWindow(main_.Window());
        EXPECT_HRESULT_SUCCEEDED(
            test::SavePng(capture, std::wstring(VIDORA_SCREENSHOTS) + L"/" + name));
    }

    // Opens a board through the Select Device dialog, as the operator does.
    void OpenDevice(const std::wstring& name) {
        UiScript script;
        script.Then(L"Select Device", [name](HWND dialog) {
            SetDlgItemTextW(dialog, IDC_SELECT_DEVICE, name.c_str());
            test::Press(dialog, IDOK);
        });
        script.Start();
        main_.RunCommand(IDM_SELECT_DEVICE);
        ASSERT_TRUE(script.Finish());
    }
    // Runs a command; the texts of the boxes of one caption that it showed.
    std::vector<std::wstring> BoxesOf(const wchar_t* caption, const std::function<void()>& run) {
        test::BoxWatcher& watcher = std::wstring(caption) == L"Vidora" ? errors_ : information_;
        const std::size_t before = watcher.Texts().size();
        run();
        test::Pump(std::chrono::milliseconds(100));
        const std::vector<std::wstring> texts = watcher.Texts();
        if (&watcher == &errors_) expectedErrors_ = texts.size();
        return {texts.begin() + static_cast<std::ptrdiff_t>(before), texts.end()};
    }
    long Property(HRESULT (STDMETHODCALLTYPE ICorvid3::*get)(long*)) {
        long value = -12345;
        EXPECT_EQ((main_.Control()->*get)(&value), S_OK);
        return value;
    }

    HRESULT ole_ = OleInitialize(nullptr);
    test::PinnedSimulator simulator_;
    // Every box is answered, so that an unexpected one fails the test instead of hanging it.
    test::BoxWatcher errors_{L"Vidora"};
    test::BoxWatcher information_{L"Information"};
    std::size_t expectedErrors_ = 0;
    MainWindow main_;
};

} // namespace vidora
