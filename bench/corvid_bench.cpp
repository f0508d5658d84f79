// Frames per second of acquiring and reading whole frames three ways: the installed control
// called late-bound through IDispatch::Invoke as a script host calls it, the same driver
// messages sent without the control, and memcpy of the same bytes. The simulated boards run
// at full speed (their FrameRate value is set to 0 for the run and put back afterwards).
//
//   tools/wine-run build/win64/bin/corvid_bench.exe [seconds per figure, default 2]
#include "devices.h"
#include "frame_messages.h"
#include "full_speed.h"

#include <windows.h>
#include <oleauto.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Case {
    const char* board;
    const char* what;
};
constexpr Case kCases[] = {{"SIM7100", "640 x 480 monochrome"}, {"SIM7500", "768 x 576 RGB32"}};

// Runs step until the time is up; frames per second, or -1 when a step failed.
double Rate(double seconds, const std::function<bool()>& step) {
    const auto start = Clock::now();
    long frames = 0;
    double elapsed = 0;
    do {
        if (!step()) return -1;
        ++frames;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < seconds);
    return frames / elapsed;
}

DISPID IdOf(IDispatch* object, const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    return id;
}

// args in declaration order, as a script host would give them.
HRESULT Call(IDispatch* object, DISPID id, WORD flags, std::vector<VARIANT> args,
             VARIANT* result = nullptr) {
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    EXCEPINFO exception{};
    const HRESULT hr =
        object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &exception, nullptr);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return hr;
}

VARIANT Long(LONG value) {
    VARIANT v;
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

VARIANT Bool(bool value) {
    VARIANT v;
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

LONG GetLong(IDispatch* control, const wchar_t* name) {
    VARIANT value;
    VariantInit(&value);
    Call(control, IdOf(control, name), DISPATCH_PROPERTYGET, {}, &value);
    VariantChangeType(&value, &value, 0, VT_I4);
    return V_VT(&value) == VT_I4 ? V_I4(&value) : 0;
}

// The control, late-bound: AcquireFrames(1, frame, False), then ReadFrameEx of the frame.
double ThroughControl(const char* board, double seconds, size_t& frameBytes) {
    CLSID clsid{};
    IDispatch* control = nullptr;
    if (FAILED(CLSIDFromProgID(L"Corvid.Corvid", &clsid)) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(&control))))
        return -1;
    const std::wstring name(board, board + strlen(board));
    VARIANT text;
    V_VT(&text) = VT_BSTR;
    V_BSTR(&text) = SysAllocString(name.c_str());
    double rate = -1;
    if (SUCCEEDED(Call(control, IdOf(control, L"OpenDevice"), DISPATCH_METHOD, {text}))) {
        VARIANT frame;
        VariantInit(&frame);
        const DISPID allocate = IdOf(control, L"AllocateFrame");
        if (SUCCEEDED(Call(control, allocate, DISPATCH_METHOD, {}, &frame))) {
            const LONG width = GetLong(control, L"FrameWidth");
            const LONG height = GetLong(control, L"FrameHeight");
            frameBytes = size_t(width) * height * GetLong(control, L"FrameBytesPerPixel");
            const DISPID acquire = IdOf(control, L"AcquireFrames");
            const DISPID read = IdOf(control, L"ReadFrameEx");
            VARIANT data;
            VariantInit(&data);
            VARIANT out;
            V_VT(&out) = VT_BYREF | VT_VARIANT;
            V_VARIANTREF(&out) = &data;
            rate = Rate(seconds, [&] {
                return SUCCEEDED(Call(control, acquire, DISPATCH_METHOD,
                                      {Long(1), frame, Bool(false)})) &&
                       SUCCEEDED(Call(control, read, DISPATCH_METHOD,
                                      {frame, Long(0), Long(0), Long(width), Long(height), out}));
            });
            VariantClear(&data);
        }
        Call(control, IdOf(control, L"CloseDevice"), DISPATCH_METHOD, {});
    }
    VariantClear(&text);
    control->Release();
    return rate;
}

// The same work as raw driver messages.
double ThroughDriver(const char* board, double seconds, size_t& frameBytes) {
    HDRVR driver = nullptr;
    if (imaging::OpenImagingDevice(board, &driver) != imaging::STC_STS_NORMAL) return -1;
    imaging::FrameHandle frame = 0;
    imaging::FrameInfo info{};
    info.StructSize = sizeof(info);
    double rate = -1;
    if (imaging::STM_ALLOCATE_FRAME(driver, imaging::STC_FG_DEV_MEM_VOLATILE,
                                    imaging::STC_FG_ANY_FRAME_ID, &frame) == 0 &&
        imaging::STM_GET_FRAME_INFO(driver, frame, &info) == 0) {
        std::vector<uint8_t> pixels(size_t(info.Width) * info.Height * info.BytesPerPixel);
        frameBytes = pixels.size();
        rate = Rate(seconds, [&] {
            return imaging::STM_ACQUIRE_FRAME(driver, frame) == 0 &&
                   imaging::STM_READ_FRAME_RECT(driver, frame, 0, 0, info.Width, info.Height,
                                                pixels.data(),
                                                static_cast<uint32_t>(pixels.size())) == 0;
        });
        imaging::STM_DESTROY_FRAME(driver, frame);
    }
    imaging::CloseImagingDevice(driver);
    return rate;
}

double ThroughMemcpy(size_t bytes, double seconds) {
    std::vector<uint8_t> source(bytes, 0x5A), target(bytes);
    return Rate(seconds, [&] {
        std::memcpy(target.data(), source.data(), bytes);
        source[0] = target[bytes / 2]; // keeps the copy from being optimised away
        return true;
    });
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 2.0;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
    std::printf("%-22s %14s %14s %14s %10s %10s\n", "frames", "control fps", "driver fps",
                "memcpy fps", "drv/ctl", "cpy/drv");
    int status = 0;
    for (const Case& c : kCases) {
        FullSpeed fullSpeed(c.board);
        size_t bytes = 0, driverBytes = 0;
        const double control = ThroughControl(c.board, seconds, bytes);
        const double driver = ThroughDriver(c.board, seconds, driverBytes);
        if (!bytes) bytes = driverBytes;
        const double copy = bytes ? ThroughMemcpy(bytes, seconds) : -1;
        if (control <= 0 || driver <= 0 || copy <= 0) status = 1;
        std::printf("%-22s %14.1f %14.1f %14.1f %10.2f %10.2f\n", c.what, control, driver, copy,
                    control > 0 ? driver / control : 0.0, driver > 0 ? copy / driver : 0.0);
    }
    CoUninitialize();
    return status;
}
