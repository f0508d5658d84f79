// Vidora.exe started as an operator starts it and driven from outside its process: the splash,
// the main window, a toolbar click answered with its message, and a clean exit.
#include "ui_driver.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

constexpr wchar_t kMainCaption[] = L"Vidora - Powered By Quillon";
// Toolbar buttons: Open Device, Start Passthru, Single Frame Acquire.
constexpr int kOpenDeviceButton = 3001, kStartButton = 3005, kAcquireButton = 3007;

void Click(HWND main, HWND toolbar, int button) {
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(toolbar));
}

TEST(VidoraProgram, StartsBehindItsSplashAnswersAndExitsCleanly) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring command = std::wstring(L"\"") + VIDORA_EXE + L"\"";
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
    CloseHandle(process.hThread);
    const DWORD id = process.dwProcessId;

    // The splash comes first and goes before the main window shows.
    HWND splash = nullptr;
    for (int i = 0; i < 500 && !splash; ++i) {
        splash = FindWindowW(L"VidoraSplash", nullptr);
        if (!splash) Sleep(10);
    }
    EXPECT_NE(splash, nullptr);
    const HWND main = test::WaitForTopWindow(kMainCaption, id);
    ASSERT_NE(main, nullptr);
    EXPECT_FALSE(IsWindow(splash) && IsWindowVisible(splash));

    // The toolbar's acquire button without a device: the program refuses in its own box.
    const HWND toolbar = FindWindowExW(main, nullptr, L"ToolbarWindow32", nullptr);
    ASSERT_NE(toolbar, nullptr);
    Click(main, toolbar, kAcquireButton);
    const HWND box = test::WaitForTopWindow(L"Information", id);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(test::MessageBoxText(box), L"Please open a device before acquiring a frame.");
    test::Press(box, IDOK);

    // A board opened through the dialog, live video started.
    Click(main, toolbar, kOpenDeviceButton);
    const HWND dialog = test::WaitForTopWindow(L"Select Device", id);
    ASSERT_NE(dialog, nullptr);
    SetDlgItemTextW(dialog, 302, L"SIM7100");
    test::Press(dialog, IDOK);
    for (int i = 0; i < 500 && IsWindow(dialog); ++i) Sleep(10);
    EXPECT_FALSE(IsWindow(dialog));
    Click(main, toolbar, kStartButton);
    Sleep(500);
    EXPECT_EQ(test::FindTopWindow(L"Vidora", id), nullptr);  // no error box

    // Closing the window during live video ends the process: the control goes with the
    // window and takes live video and the device with it.
    const ULONGLONG closed = GetTickCount64();
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 10000), WAIT_OBJECT_0);
    std::printf("process ended %llu ms after the close\n", GetTickCount64() - closed);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    EXPECT_EQ(code, 0u);
    if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
}

} // namespace
