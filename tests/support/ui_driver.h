// A small driver for UI tests: find a program's windows by caption, answer its message boxes
// and dialogs from a second thread while the program's thread runs its modal loop, read
// window texts and take screenshots as PNG files.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace test {

inline std::wstring WindowText(HWND window) {
    wchar_t text[1024] = L"";
    // Sent with a time-out so that a busy window never blocks the test.
    SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        2000, nullptr);
    return text;
}

// A visible top-level window of the given process (0: this process) with exactly the caption.
inline HWND FindTopWindow(const std::wstring& caption, DWORD processId = 0) {
    struct Search {
        const std::wstring* caption;
        DWORD process;
        HWND found;
    } search{&caption, processId ? processId : GetCurrentProcessId(), nullptr};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner != s->process || !IsWindowVisible(window)) return TRUE;
            wchar_t text[256] = L"";
            GetWindowTextW(window, text, 256);
            if (*s->caption != text) return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

inline HWND WaitForTopWindow(const std::wstring& caption, DWORD processId = 0,
                             std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        if (HWND window = FindTopWindow(caption, processId)) return window;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return nullptr;
}

// The text of a message box (its static control).
inline std::wstring MessageBoxText(HWND box) { return WindowText(GetDlgItem(box, 0xFFFF)); }

// Clicks a dialog's button the way the button itself reports a click.
inline void Press(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Types a file name into a common file dialog and presses its OK button.
inline void ChooseFileInDialog(HWND dialog, const std::wstring& path) {
    HWND name = GetDlgItem(dialog, 0x47c);  // the file name combo box
    if (!name) name = GetDlgItem(dialog, 0x480);  // the file name edit of the older layout
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    Press(dialog, IDOK);
}

// Steps run in order on a thread of their own: each waits for a top-level window with its
// caption, then acts on it. The program's thread meanwhile runs the command that shows them.
class UiScript {
public:
    using Action = std::function<void(HWND)>;
    UiScript& Then(std::wstring caption, Action action) {
        steps_.emplace_back(std::move(caption), std::move(action));
        return *this;
    }
    // Answers a message box with OK and keeps its caption and text.
    UiScript& AnswerBox(const std::wstring& caption) {
        return Then(caption, [this, caption](HWND box) {
            seen.push_back(caption + L": " + MessageBoxText(box));
            Press(box, IDOK);
        });
    }
    void Start() {
        thread_ = std::thread([this] {
            for (auto& [caption, action] : steps_) {
                HWND window = WaitForTopWindow(caption);
                if (!window) {
                    seen.push_back(L"missing: " + caption);
                    return;
                }
                action(window);
                ++done;
            }
        });
    }
    // Waits for the steps; true when each found its window.
    bool Finish() {
        if (thread_.joinable()) thread_.join();
        return done == steps_.size();
    }
    ~UiScript() { Finish(); }

    std::vector<std::wstring> seen;
    std::size_t done = 0;

private:
    std::vector<std::pair<std::wstring, Action>> steps_;
    std::thread thread_;
};

// Handles the window messages waiting on this thread, for at least the duration; a burst is
// cut off after a second so that a queue that never runs empty cannot hold the test.
inline void Pump(std::chrono::milliseconds duration = std::chrono::milliseconds(0)) {
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + duration;
    do {
        MSG msg;
        while (std::chrono::steady_clock::now() - start < duration + std::chrono::seconds(1) &&
               PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (duration.count()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < end);
}

// What a window shows now, as 32-bit pixels copied from the screen (PrintWindow draws nothing
// here); rows top-down.
struct Capture {
    int width = 0, height = 0;
    std::vector<unsigned> pixels;  // 0x00RRGGBB
    unsigned At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

inline Capture CaptureWindow(HWND window, bool clientOnly = false) {
    RECT r{};
    if (clientOnly) {
        GetClientRect(window, &r);
        MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
    } else {
        GetWindowRect(window, &r);
    }
    Capture c;
    c.width = r.right - r.left;
    c.height = r.bottom - r.top;
    if (c.width <= 0 || c.height <= 0) return {};
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), c.width, -c.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, c.width, c.height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    c.pixels.assign(static_cast<const unsigned*>(bits),
                    static_cast<const unsigned*>(bits) + static_cast<size_t>(c.width) * c.height);
    for (unsigned& p : c.pixels) p &= 0xFFFFFF;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return c;
}

// Writes a capture as a PNG file through the platform's imaging codecs.
inline HRESULT SavePng(const Capture& c, const std::wstring& path) {
    using Microsoft::WRL::ComPtr;
    ComPtr<IWICImagingFactory> factory;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_PPV_ARGS(&factory));
    ComPtr<IWICStream> stream;
    if (SUCCEEDED(hr)) hr = factory->CreateStream(&stream);
    if (SUCCEEDED(hr)) hr = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE);
    ComPtr<IWICBitmapEncoder> encoder;
    if (SUCCEEDED(hr)) hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder);
    if (SUCCEEDED(hr)) hr = encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache);
    ComPtr<IWICBitmapFrameEncode> frame;
    if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(&frame, nullptr);
    if (SUCCEEDED(hr)) hr = frame->Initialize(nullptr);
    if (SUCCEEDED(hr)) hr = frame->SetSize(c.width, c.height);
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGR;
    if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&format);
    if (SUCCEEDED(hr) && format != GUID_WICPixelFormat32bppBGR) hr = E_FAIL;
    if (SUCCEEDED(hr))
        hr = frame->WritePixels(c.height, c.width * 4, static_cast<UINT>(c.pixels.size() * 4),
                                reinterpret_cast<BYTE*>(const_cast<unsigned*>(c.pixels.data())));
    if (SUCCEEDED(hr)) hr = frame->Commit();
    if (SUCCEEDED(hr)) hr = encoder->Commit();
    return hr;
}

// The number of different colors in a rectangle of a capture.
inline size_t DistinctColors(const Capture& c, int left, int top, int width, int height) {
    std::vector<unsigned> seen;
    for (int y = top; y < top + height && y < c.height; y += 3)
        for (int x = left; x < left + width && x < c.width; x += 3) {
            const unsigned p = c.At(x, y);
            bool known = false;
            for (unsigned s : seen) known = known || s == p;
            if (!known) seen.push_back(p);
            if (seen.size() > 64) return seen.size();
        }
    return seen.size();
}

} // namespace test
