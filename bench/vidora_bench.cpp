// Vidora's figures, each beside the baseline it is measured against in the same run:
//   - start to main window: Vidora.exe started until its main window is visible (the splash's
//     2 s included), against the start of a program that only opens a window;
//   - live video: frames per second that reach the control's window on SIM7100, at the board's
//     own rate and at full speed, against the board's rate and against synchronous
//     acquisitions through the control; a frame is counted when the frame counter the
//     simulator writes into the first pixels changes on the screen;
//   - one pan step (Stop, origin, Start) in the full image view of the 2048-pixel SIM7400LS.
//
//   tools/wine-run build/win64/bin/vidora_bench.exe [seconds per live figure, default 3]
#include "full_speed.h"
#include "main_window.h"
#include "resource.h"
#include "ui_driver.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

struct Spread {
    double min, median, max;
};
Spread SpreadOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return {values.front(), values[values.size() / 2], values.back()};
}

std::wstring BesideThisProgram(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1) + name;
}

// Seconds from CreateProcess until a visible top-level window with the caption; the process is
// closed through its window afterwards.
double TimeToWindow(const std::wstring& command, const wchar_t* caption) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring line = command;
    const auto start = Clock::now();
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return -1;
    double seconds = -1;
    HWND window = nullptr;
    for (int i = 0; i < 4000 && !window; ++i) {
        window = test::FindTopWindow(caption, process.dwProcessId);
        if (!window) Sleep(2);
    }
    if (window) seconds = Seconds(start);
    if (window) PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return seconds;
}

// Frames that reached the window: changes of its first pixels, sampled from the screen.
double FramesReachingWindow(HWND window, double seconds) {
    HDC screen = GetDC(window);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 4, 1);
    HGDIOBJ old = SelectObject(memory, bitmap);
    COLORREF previous[4] = {};
    long changes = 0;
    const auto start = Clock::now();
    while (Seconds(start) < seconds) {
        BitBlt(memory, 0, 0, 4, 1, screen, 0, 0, SRCCOPY);
        COLORREF now[4];
        for (int x = 0; x < 4; ++x) now[x] = GetPixel(memory, x, 0);
        if (!std::equal(now, now + 4, previous)) ++changes;
        std::copy(now, now + 4, previous);
        test::Pump();
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, screen);
    return changes / seconds;
}

double SyncAcquisitionRate(ICorvid3* control, long frame, double seconds) {
    VARIANT id;
    VariantInit(&id);
    id.vt = VT_I4;
    id.lVal = frame;
    long count = 0;
    const auto start = Clock::now();
    while (Seconds(start) < seconds)
        if (SUCCEEDED(control->AcquireFrames(1, id, VARIANT_FALSE))) ++count;
    return count / seconds;
}

// A closed main window posts the quit message that ends the program's message loop; here the
// next window follows, so it is taken off the queue.
void ForgetQuit() {
    MSG quit;
    while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
}

bool OpenDevice(vidora::MainWindow& main, const wchar_t* name) {
    ForgetQuit();
    test::UiScript script;
    script.Then(L"Select Device", [name](HWND dialog) {
        SetDlgItemTextW(dialog, IDC_SELECT_DEVICE, name);
        test::Press(dialog, IDOK);
    });
    script.Start();
    main.RunCommand(IDM_SELECT_DEVICE);
    return script.Finish() && !main.Menus().Enabled(vidora::MenuItem::SelectDevice);
}

void LiveFigures(double seconds) {
    for (const bool full : {false, true}) {
        std::optional<FullSpeed> fullSpeed;
        if (full) fullSpeed.emplace("SIM7100");
        vidora::MainWindow main;
        if (FAILED(main.Create(GetModuleHandleW(nullptr)))) return;
        SetWindowPos(main.Window(), HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
        if (!OpenDevice(main, L"SIM7100")) return;
        main.RunCommand(IDM_SINGLE_FRAME_ACQUIRE);
        const double acquired = SyncAcquisitionRate(main.Control(), main.State().FrameId, 2);
        main.RunCommand(IDM_START_PASSTHRU);
        test::Pump(std::chrono::milliseconds(300));
        const double shown = FramesReachingWindow(main.ControlWindow(), seconds);
        main.RunCommand(IDM_STOP_PASSTHRU);
        if (full)
            std::printf("live video, SIM7100 at full speed: %.1f fps reach the window; "
                        "synchronous acquisitions %.1f fps; ratio %.2f (aim 0.9)\n",
                        shown, acquired, shown / acquired);
        else
            std::printf("live video, SIM7100 at its own rate: %.1f fps reach the window; "
                        "synchronous acquisitions %.1f fps; ratio %.2f (aim 1.0, 30 fps)\n",
                        shown, acquired, shown / acquired);
    }
}

void PanFigure() {
    vidora::MainWindow main;
    if (FAILED(main.Create(GetModuleHandleW(nullptr)))) return;
    SetWindowPos(main.Window(), HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    if (!OpenDevice(main, L"SIM7400LS")) return;
    main.RunCommand(IDM_VIEW_FULL);
    main.RunCommand(IDM_START_PASSTHRU);
    const HWND bar = main.ScrollBar(true);
    std::vector<double> steps;
    for (int i = 0; i < 15; ++i) {
        const auto start = Clock::now();
        SendMessageW(main.Window(), WM_HSCROLL, SB_LINERIGHT, reinterpret_cast<LPARAM>(bar));
        steps.push_back(Seconds(start) * 1000);
    }
    main.RunCommand(IDM_STOP_PASSTHRU);
    const Spread s = SpreadOf(steps);
    std::printf("pan step (Stop, origin, Start): min %.1f, median %.1f, max %.1f ms (aim < 100 ms)\n",
                s.min, s.median, s.max);
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    if (FAILED(OleInitialize(nullptr))) return 1;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    std::vector<double> vidora, baseline;
    for (int i = 0; i < 3; ++i) {
        vidora.push_back(TimeToWindow(L"\"" + BesideThisProgram(L"Vidora.exe") + L"\"",
                                      vidora::kMainCaption));
        baseline.push_back(TimeToWindow(L"notepad.exe", L"Untitled - Notepad"));
    }
    const Spread v = SpreadOf(vidora), b = SpreadOf(baseline);
    std::printf("start to main window: min %.2f, median %.2f, max %.2f s (aim < 2.5 s; splash 2 s); "
                "a plain program's window: median %.2f s; difference %.2f s\n",
                v.min, v.median, v.max, b.median, v.median - b.median);
    LiveFigures(seconds);
    PanFigure();
    OleUninitialize();
    return 0;
}
