// The speed figures of the simulated boards and the control, each as a ratio against a
// baseline measured in the same run, min / median / max over the repeats, one line a figure
// with its aim beside it:
//   - one synchronous acquisition and one whole-frame STM_READ_FRAME_RECT against memcpy of
//     the frame;
//   - late-bound AcquireFrames + ReadFrameEx through the control against the same driver
//     messages sent directly;
//   - SaveAcquiredFrame against WriteFile of the same number of bytes into the same folder;
//   - a late-bound property get through the control's IDispatch::Invoke against a minimal
//     object served by CreateStdDispatch;
//   - asynchronous acquisition: processor time per acquisition at the board's own rate (less
//     that of a synchronous acquisition), the time from the image's delivery to
//     OnAcquireNotify at the sink, and acquisitions per second at full speed against
//     synchronous ones;
//   - acquisitions per second of a board playing a folder of 8 recorded 640 x 480 images
//     against the same board showing its test pattern.
//
//   tools/wine-run build/win64/bin/speed_bench.exe [repeats, default 3] [seconds, default 1]
#include "bitmap_file.h"
#include "corvid_h.h"
#include "devices.h"
#include "event_sink.h"
#include "frame_messages.h"
#include "full_speed.h"
#include "testport.h"

#include <windows.h>
#include <ocidl.h>
#include <oleauto.h>

#include <algorithm>
#include <cmath>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Seconds per step, run until `seconds` have passed (at least 3 steps); 0 when a step failed.
double TimePerStep(double seconds, const std::function<bool()>& step) {
    const auto start = Clock::now();
    long steps = 0;
    double elapsed = 0;
    do {
        if (!step()) return 0;
        ++steps;
        elapsed = Since(start);
    } while (elapsed < seconds || steps < 3);
    return elapsed / steps;
}

double ProcessCpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto seconds = [](FILETIME t) {
        return ((uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime) * 1e-7;
    };
    return seconds(kernel) + seconds(user);
}

// ---- Late binding -------------------------------------------------------------------------

VARIANT Long(LONG value) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

VARIANT Bool(bool value) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

class Late {
public:
    explicit Late(IDispatch* object) : object_(object) {}
    DISPID Id(const wchar_t* name) const {
        DISPID id = DISPID_UNKNOWN;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        return id;
    }
    // Arguments in declaration order, as a script host gives them.
    HRESULT Call(DISPID id, WORD flags, std::vector<VARIANT> args = {},
                 VARIANT* result = nullptr) const {
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        VARIANT ignored;
        VariantInit(&ignored);
        EXCEPINFO exception{};
        const HRESULT hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                           result ? result : &ignored, &exception, nullptr);
        VariantClear(&ignored);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
        return hr;
    }
    HRESULT Method(const wchar_t* name, std::vector<VARIANT> args = {},
                   VARIANT* result = nullptr) const {
        return Call(Id(name), DISPATCH_METHOD, std::move(args), result);
    }
    LONG Get(const wchar_t* name) const {
        VARIANT value;
        VariantInit(&value);
        Call(Id(name), DISPATCH_PROPERTYGET, {}, &value);
        VariantChangeType(&value, &value, 0, VT_I4);
        return V_VT(&value) == VT_I4 ? V_I4(&value) : 0;
    }
    void Put(const wchar_t* name, VARIANT value) const {
        DISPID put = DISPID_PROPERTYPUT;
        DISPPARAMS params{&value, &put, 1, 1};
        object_->Invoke(Id(name), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params,
                        nullptr, nullptr, nullptr);
    }

private:
    IDispatch* object_;
};

// The control with a board open and one frame allocated.
struct OpenControl {
    IDispatch* object = nullptr;
    VARIANT frame{};
    bool ok = false;

    explicit OpenControl(const char* board) {
        VariantInit(&frame);
        CLSID clsid{};
        if (FAILED(CLSIDFromProgID(L"Corvid.Corvid", &clsid)) ||
            FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                    reinterpret_cast<void**>(&object))))
            return;
        VARIANT name;
        VariantInit(&name);
        V_VT(&name) = VT_BSTR;
        V_BSTR(&name) = SysAllocString(std::wstring(board, board + strlen(board)).c_str());
        ok = SUCCEEDED(late().Method(L"OpenDevice", {name})) &&
             SUCCEEDED(late().Method(L"AllocateFrame", {}, &frame));
        VariantClear(&name);
    }
    ~OpenControl() {
        if (!object) return;
        late().Method(L"CloseDevice");
        object->Release();
    }
    OpenControl(const OpenControl&) = delete;
    OpenControl& operator=(const OpenControl&) = delete;
    Late late() const { return Late(object); }
};

// ---- The sink of the control's events -------------------------------------------------------

class AcquireSink final : public EventSink {
public:
    AcquireSink() : notified_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    ~AcquireSink() override { CloseHandle(notified_); }
    HANDLE Notified() const { return notified_; }
    Clock::time_point At() const { return at_; }
    void OnEvent(DISPID id) override {
        if (id != 1) return; // OnAcquireNotify
        at_ = Clock::now();
        SetEvent(notified_);
    }

private:
    HANDLE notified_;
    Clock::time_point at_;
};

// Connects a sink to the control's events for the life of the object.
class Connection {
public:
    Connection(IDispatch* control, EventSink* sink) : sink_(sink) {
        IConnectionPointContainer* container = nullptr;
        if (FAILED(control->QueryInterface(IID_IConnectionPointContainer,
                                           reinterpret_cast<void**>(&container))))
            return;
        if (SUCCEEDED(container->FindConnectionPoint(DIID_ICorvidEvents, &point_)) &&
            FAILED(point_->Advise(sink, &cookie_))) {
            point_->Release();
            point_ = nullptr;
        }
        container->Release();
    }
    ~Connection() {
        if (!point_) return;
        point_->Unadvise(cookie_);
        point_->Release();
        sink_->WaitUntilReleased();
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    bool Ok() const { return point_ != nullptr; }

private:
    EventSink* sink_;
    IConnectionPoint* point_ = nullptr;
    DWORD cookie_ = 0;
};

// ---- A minimal late-bound object: one property served by the platform's standard dispatch --

// Members described by CreateDispTypeInfo return their value itself.
struct IValue : IUnknown {
    virtual LONG STDMETHODCALLTYPE Value() = 0;
};

class Minimal final : public IValue {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = iid == IID_IUnknown ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    LONG STDMETHODCALLTYPE Value() override { return 640; }
};

// ---- Figures --------------------------------------------------------------------------------

struct Figure {
    Figure(const char* what, const char* aim) : what(what), aim(aim) {}
    const char* what;
    const char* aim;
    std::vector<double> values;
};

void Print(const Figure& f) {
    std::vector<double> v = f.values;
    std::sort(v.begin(), v.end());
    if (v.empty() || v.front() <= 0) {
        std::printf("%-66s failed\n", f.what);
        return;
    }
    std::printf("%-66s %8.2f %8.2f %8.2f   aim %s\n", f.what, v.front(), v[v.size() / 2], v.back(),
                f.aim);
}

struct Board {
    const char* name;
    const char* what;
};
constexpr Board kMono{"SIM7100", "640 x 480 mono"};
constexpr Board kRgb{"SIM7500", "768 x 576 RGB32"};

// a / b; not a number when either failed (0).
double Ratio(double a, double b) {
    return a > 0 && b > 0 ? a / b : std::nan("");
}

double MemcpySeconds(size_t bytes, double seconds) {
    std::vector<uint8_t> source(bytes, 0x5A), target(bytes);
    return TimePerStep(seconds, [&] {
        std::memcpy(target.data(), source.data(), bytes);
        source[bytes / 3] = target[bytes / 2]; // keeps the copy from being optimised away
        return true;
    });
}

// Driver: seconds per acquisition, per whole-frame read, and the frame's bytes.
struct DriverTimes {
    double acquire = 0, read = 0, both = 0;
    size_t bytes = 0;
};
DriverTimes ThroughDriver(const char* board, double seconds) {
    DriverTimes t;
    HDRVR driver = nullptr;
    if (imaging::OpenImagingDevice(board, &driver) != imaging::STC_STS_NORMAL) return t;
    imaging::FrameHandle frame = 0;
    imaging::FrameInfo info{};
    info.StructSize = sizeof(info);
    if (imaging::STM_ALLOCATE_FRAME(driver, imaging::STC_FG_DEV_MEM_VOLATILE,
                                    imaging::STC_FG_ANY_FRAME_ID, &frame) == 0 &&
        imaging::STM_GET_FRAME_INFO(driver, frame, &info) == 0) {
        std::vector<uint8_t> pixels(size_t(info.Width) * info.Height * info.BytesPerPixel);
        t.bytes = pixels.size();
        const auto acquire = [&] { return imaging::STM_ACQUIRE_FRAME(driver, frame) == 0; };
        const auto read = [&] {
            return imaging::STM_READ_FRAME_RECT(driver, frame, 0, 0, info.Width, info.Height,
                                                pixels.data(),
                                                static_cast<uint32_t>(pixels.size())) == 0;
        };
        t.acquire = TimePerStep(seconds, acquire);
        t.read = TimePerStep(seconds, read);
        t.both = TimePerStep(seconds, [&] { return acquire() && read(); });
        imaging::STM_DESTROY_FRAME(driver, frame);
    }
    imaging::CloseImagingDevice(driver);
    return t;
}

// ---- Recorded images ------------------------------------------------------------------------

// A folder of `files` 640 x 480 24-bit bitmap files that the board plays for the life of the
// object (its ImageFolder value); the folder and the value are removed afterwards.
class PlayedFolder {
public:
    PlayedFolder(const char* board, int files) {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"corvid_bench_played";
        CreateDirectoryW(folder_.c_str(), nullptr);
        constexpr uint32_t kWidth = 640, kHeight = 480;
        std::vector<uint8_t> picture(size_t{kWidth} * kHeight * 3);
        for (int f = 0; f < files; ++f) {
            for (size_t i = 0; i < picture.size(); ++i)
                picture[i] = static_cast<uint8_t>(i / 3 % kWidth + i / (3 * kWidth) + 40 * f);
            const std::wstring path = folder_ + L"\\" + std::to_wstring(100 + f) + L".bmp";
            const HANDLE h =
                CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            if (h == INVALID_HANDLE_VALUE) continue;
            core::StreamBitmapFile(core::BitmapFormat::Rgb24, kWidth, kHeight, picture, kWidth * 3,
                                   core::kMasks565, [h](std::span<const uint8_t> bytes) {
                                       DWORD written = 0;
                                       return WriteFile(h, bytes.data(),
                                                        static_cast<DWORD>(bytes.size()), &written,
                                                        nullptr) != 0;
                                   });
            CloseHandle(h);
            files_.push_back(path);
        }
        key_ = kServices + std::wstring(board, board + strlen(board));
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, key_.c_str(), L"ImageFolder", REG_SZ, folder_.c_str(),
                        static_cast<DWORD>((folder_.size() + 1) * 2));
    }
    ~PlayedFolder() {
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, key_.c_str(), L"ImageFolder");
        for (const std::wstring& file : files_)
            DeleteFileW(file.c_str());
        RemoveDirectoryW(folder_.c_str());
    }
    PlayedFolder(const PlayedFolder&) = delete;
    PlayedFolder& operator=(const PlayedFolder&) = delete;

private:
    std::wstring folder_, key_;
    std::vector<std::wstring> files_;
};

// Seconds per synchronous acquisition of a freshly opened board.
double AcquireSeconds(const char* board, double seconds) {
    HDRVR driver = nullptr;
    if (imaging::OpenImagingDevice(board, &driver) != imaging::STC_STS_NORMAL) return 0;
    imaging::FrameHandle frame = 0;
    double t = 0;
    if (imaging::STM_ALLOCATE_FRAME(driver, imaging::STC_FG_DEV_MEM_VOLATILE,
                                    imaging::STC_FG_ANY_FRAME_ID, &frame) == 0) {
        t = TimePerStep(seconds, [&] { return imaging::STM_ACQUIRE_FRAME(driver, frame) == 0; });
        imaging::STM_DESTROY_FRAME(driver, frame);
    }
    imaging::CloseImagingDevice(driver);
    return t;
}

// Acquisitions per second playing 8 recorded files / showing the test pattern, with its
// caption or (`caption` false) without it.
double PlayedRatio(const char* board, double seconds, bool caption = true) {
    const std::wstring key = kServices + std::wstring(board, board + strlen(board));
    const DWORD off = 0;
    if (!caption)
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"TestCaption", REG_DWORD, &off, 4);
    const double pattern = AcquireSeconds(board, seconds);
    PlayedFolder played(board, 8);
    const double ratio = Ratio(pattern, AcquireSeconds(board, seconds));
    if (!caption) RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"TestCaption");
    return ratio;
}

double ControlAcquireAndRead(const char* board, double seconds) {
    OpenControl c(board);
    if (!c.ok) return 0;
    const Late late = c.late();
    const LONG width = late.Get(L"FrameWidth"), height = late.Get(L"FrameHeight");
    const DISPID acquire = late.Id(L"AcquireFrames"), read = late.Id(L"ReadFrameEx");
    VARIANT data;
    VariantInit(&data);
    VARIANT out;
    V_VT(&out) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&out) = &data;
    const double t = TimePerStep(seconds, [&] {
        return SUCCEEDED(late.Call(acquire, DISPATCH_METHOD, {Long(1), c.frame, Bool(false)})) &&
               SUCCEEDED(late.Call(read, DISPATCH_METHOD,
                                   {c.frame, Long(0), Long(0), Long(width), Long(height), out}));
    });
    VariantClear(&data);
    return t;
}

// SaveAcquiredFrame against WriteFile of as many bytes, both into the temporary folder.
double SaveRatio(const char* board, double seconds) {
    OpenControl c(board);
    if (!c.ok || FAILED(c.late().Method(L"AcquireFrames", {Long(1), c.frame, Bool(false)})))
        return 0;
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring saved = std::wstring(folder) + L"speed_bench_saved.bmp";
    const std::wstring written = std::wstring(folder) + L"speed_bench_written.bin";
    VARIANT name;
    VariantInit(&name);
    V_VT(&name) = VT_BSTR;
    V_BSTR(&name) = SysAllocString(saved.c_str());
    const DISPID save = c.late().Id(L"SaveAcquiredFrame");
    const double saving = TimePerStep(seconds, [&] {
        return SUCCEEDED(c.late().Call(save, DISPATCH_METHOD, {c.frame, name}));
    });
    VariantClear(&name);

    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    GetFileAttributesExW(saved.c_str(), GetFileExInfoStandard, &attributes);
    const std::vector<uint8_t> bytes(attributes.nFileSizeLow, 0x5A);
    const double writing = TimePerStep(seconds, [&] {
        HANDLE file = CreateFileW(written.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        DWORD done = 0;
        const bool ok =
            WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
            done == bytes.size();
        CloseHandle(file);
        return ok;
    });
    DeleteFileW(saved.c_str());
    DeleteFileW(written.c_str());
    return writing > 0 && !bytes.empty() ? saving / writing : 0;
}

// A plain property get through the control against the minimal object.
double InvokeRatio(const wchar_t* property, double seconds) {
    OpenControl c(kMono.name);
    if (!c.ok) return 0;
    METHODDATA method{const_cast<OLECHAR*>(L"Value"), nullptr, 1, 3, CC_STDCALL, 0,
                      DISPATCH_PROPERTYGET,           VT_I4};
    INTERFACEDATA data{&method, 1};
    ITypeInfo* typeInfo = nullptr;
    if (FAILED(CreateDispTypeInfo(&data, LOCALE_SYSTEM_DEFAULT, &typeInfo))) return 0;
    // The interface the made-up class implements: its members are what Invoke serves.
    HREFTYPE ref = 0;
    ITypeInfo* interfaceInfo = nullptr;
    if (FAILED(typeInfo->GetRefTypeOfImplType(0, &ref)) ||
        FAILED(typeInfo->GetRefTypeInfo(ref, &interfaceInfo))) {
        typeInfo->Release();
        return 0;
    }
    Minimal minimal;
    IUnknown* standard = nullptr;
    IDispatch* dispatch = nullptr;
    double ratio = 0;
    if (SUCCEEDED(CreateStdDispatch(nullptr, &minimal, interfaceInfo, &standard)) &&
        SUCCEEDED(standard->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)))) {
        const Late control = c.late(), plain(dispatch);
        const DISPID id = control.Id(property);
        const auto get = [](Late late, DISPID which) {
            return [late, which] {
                VARIANT value;
                VariantInit(&value);
                return SUCCEEDED(late.Call(which, DISPATCH_PROPERTYGET, {}, &value));
            };
        };
        const double through = TimePerStep(seconds, get(control, id));
        const double minimalTime = TimePerStep(seconds, get(plain, 1));
        ratio = minimalTime > 0 ? through / minimalTime : 0;
    }
    if (dispatch) dispatch->Release();
    if (standard) standard->Release();
    interfaceInfo->Release();
    typeInfo->Release();
    return ratio;
}

// Asynchronous acquisitions, each waited for at the sink. Figures of one run.
struct AsyncFigures {
    double cpuPerAsync = 0, cpuPerSync = 0; // seconds of processor time per acquisition
    std::vector<double> latencies;          // seconds from delivery to OnAcquireNotify
    std::vector<double> syncLatencies;      // seconds from delivery to AcquireFrames' return
};
AsyncFigures AsyncAtOwnRate(const char* board, int count) {
    AsyncFigures f;
    OpenControl c(board);
    AcquireSink sink;
    Connection connection(c.object, &sink);
    const auto imageNumber = reinterpret_cast<KvTestImageNumberFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kvboard.drv"), "KvTestImageNumber")));
    if (!c.ok || !connection.Ok() || !imageNumber) return f;
    const Late late = c.late();
    const DISPID acquire = late.Id(L"AcquireFrames");

    double cpu = ProcessCpuSeconds();
    for (int i = 0; i < count; ++i)
        if (FAILED(late.Call(acquire, DISPATCH_METHOD, {Long(1), c.frame, Bool(false)}))) return f;
    f.cpuPerSync = (ProcessCpuSeconds() - cpu) / count;

    cpu = ProcessCpuSeconds();
    for (int i = 0; i < count; ++i) {
        if (FAILED(late.Call(acquire, DISPATCH_METHOD, {Long(1), c.frame, Bool(true)})) ||
            WaitForSingleObject(sink.Notified(), 5000) != WAIT_OBJECT_0)
            return f;
    }
    f.cpuPerAsync = (ProcessCpuSeconds() - cpu) / count;

    // Delivery is seen by a watcher that spins on the board's image number.
    std::atomic<bool> watching{true};
    std::atomic<int64_t> deliveredAt{0};
    const uint32_t before = imageNumber(board);
    std::atomic<uint32_t> last{before};
    std::thread watcher([&] {
        while (watching.load()) {
            const uint32_t now = imageNumber(board);
            if (now != last.load()) {
                deliveredAt.store(Clock::now().time_since_epoch().count());
                last.store(now);
            }
            YieldProcessor();
        }
    });
    const auto delivered = [&] { return Clock::time_point{Clock::duration(deliveredAt.load())}; };
    for (int i = 0; i < count; ++i) {
        if (FAILED(late.Call(acquire, DISPATCH_METHOD, {Long(1), c.frame, Bool(false)}))) break;
        f.syncLatencies.push_back(
            std::chrono::duration<double>(Clock::now() - delivered()).count());
    }
    for (int i = 0; i < count; ++i) {
        if (FAILED(late.Call(acquire, DISPATCH_METHOD, {Long(1), c.frame, Bool(true)})) ||
            WaitForSingleObject(sink.Notified(), 5000) != WAIT_OBJECT_0)
            break;
        f.latencies.push_back(std::chrono::duration<double>(sink.At() - delivered()).count());
    }
    watching = false;
    watcher.join();
    return f;
}

// Acquisitions at full speed, synchronous and asynchronous (each waited for at the sink):
// seconds per acquisition.
struct FullSpeedTimes {
    double sync = 0, async = 0;
};
FullSpeedTimes AsyncAtFullSpeed(const char* board, double seconds) {
    FullSpeed fullSpeed(board);
    OpenControl c(board);
    AcquireSink sink;
    Connection connection(c.object, &sink);
    if (!c.ok || !connection.Ok()) return {};
    const Late late = c.late();
    const DISPID acquire = late.Id(L"AcquireFrames");
    FullSpeedTimes t;
    t.sync = TimePerStep(seconds, [&] {
        return SUCCEEDED(late.Call(acquire, DISPATCH_METHOD, {Long(1), c.frame, Bool(false)}));
    });
    t.async = TimePerStep(seconds, [&] {
        return SUCCEEDED(late.Call(acquire, DISPATCH_METHOD, {Long(1), c.frame, Bool(true)})) &&
               WaitForSingleObject(sink.Notified(), 5000) == WAIT_OBJECT_0;
    });
    return t;
}

// The least an acquisition handed to another thread and reported back by an event can cost
// on this machine: one wake of a waiting thread and one wake back.
double EventRoundTripSeconds(double seconds) {
    const HANDLE go = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    const HANDLE back = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    double t = 0;
    if (go && back) {
        std::atomic<bool> running{true};
        std::thread partner([&] {
            while (WaitForSingleObject(go, INFINITE) == WAIT_OBJECT_0 && running.load())
                SetEvent(back);
        });
        t = TimePerStep(seconds, [&] {
            SetEvent(go);
            return WaitForSingleObject(back, 5000) == WAIT_OBJECT_0;
        });
        running = false;
        SetEvent(go);
        partner.join();
    }
    if (go) CloseHandle(go);
    if (back) CloseHandle(back);
    return t;
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return std::nan("");
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(p * values.size()))];
}

} // namespace

int main(int argc, char** argv) {
    const int repeats = std::max(1, argc > 1 ? std::atoi(argv[1]) : 3);
    const double seconds = argc > 2 ? std::atof(argv[2]) : 1.0;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;

    Figure acquireMono{"simulator: acquire 640x480 mono / memcpy of the frame", "<= 10"};
    Figure acquireRgb{"simulator: acquire 768x576 RGB32 / memcpy of the frame", "<= 10"};
    Figure readMono{"simulator: STM_READ_FRAME_RECT whole 640x480 mono / memcpy", "<= 3"};
    Figure readRgb{"simulator: STM_READ_FRAME_RECT whole 768x576 RGB32 / memcpy", "<= 3"};
    Figure controlMono{"control: AcquireFrames+ReadFrameEx rate / driver rate, mono", ">= 0.9"};
    Figure controlRgb{"control: AcquireFrames+ReadFrameEx rate / driver rate, RGB32", ">= 0.9"};
    Figure saveMono{"control: SaveAcquiredFrame / WriteFile of its bytes, mono", "<= 1.3"};
    Figure saveRgb{"control: SaveAcquiredFrame / WriteFile of its bytes, RGB32", "<= 1.3"};
    Figure invokeCount{"control: Invoke get DeviceCount / CreateStdDispatch get", "<= 1.0"};
    Figure invokeWidth{"control: Invoke get FrameWidth / CreateStdDispatch get", "<= 1.0"};
    Figure asyncCpu{"async at own rate: control CPU ms per acquisition (async - sync)", "< 1"};
    Figure latencyMedian{"async at own rate: delivery -> OnAcquireNotify median, ms", "< 0.5"};
    Figure syncLatency{"baseline: delivery -> synchronous AcquireFrames returns median, ms", "-"};
    Figure latencyP99{"async at own rate: delivery -> OnAcquireNotify p99, ms", "< 2"};
    Figure asyncRate{"async full speed: acquisitions per second / synchronous", ">= 0.8"};
    Figure asyncMs{"async full speed: ms per acquisition", "-"};
    Figure roundTrip{"baseline: event to another thread and back, ms", "-"};
    Figure playedMono{"simulator: played 640x480 files / test pattern, acquisitions, mono", ">= 1"};
    Figure playedRgb{"simulator: played 640x480 files / test pattern, acquisitions, RGB32", ">= 1"};
    Figure playedBare{"simulator: played files / pattern, no caption, acquisitions, mono", "-"};

    for (int r = 0; r < repeats; ++r) {
        for (const Board* b : {&kMono, &kRgb}) {
            FullSpeed fullSpeed(b->name);
            const DriverTimes d = ThroughDriver(b->name, seconds);
            const double copy = d.bytes ? MemcpySeconds(d.bytes, seconds) : 0;
            const double control = ControlAcquireAndRead(b->name, seconds);
            const bool mono = b == &kMono;
            (mono ? acquireMono : acquireRgb).values.push_back(Ratio(d.acquire, copy));
            (mono ? readMono : readRgb).values.push_back(Ratio(d.read, copy));
            (mono ? controlMono : controlRgb).values.push_back(Ratio(d.both, control));
            (mono ? saveMono : saveRgb).values.push_back(Ratio(SaveRatio(b->name, seconds), 1));
            (mono ? playedMono : playedRgb).values.push_back(PlayedRatio(b->name, seconds));
        }
        invokeCount.values.push_back(Ratio(InvokeRatio(L"DeviceCount", seconds), 1));
        invokeWidth.values.push_back(Ratio(InvokeRatio(L"FrameWidth", seconds), 1));
        const AsyncFigures a = AsyncAtOwnRate(kMono.name, 90);
        asyncCpu.values.push_back(a.latencies.empty() ? std::nan("")
                                                      : 1000 * (a.cpuPerAsync - a.cpuPerSync));
        latencyMedian.values.push_back(1000 * Percentile(a.latencies, 0.5));
        syncLatency.values.push_back(1000 * Percentile(a.syncLatencies, 0.5));
        latencyP99.values.push_back(1000 * Percentile(a.latencies, 0.99));
        const FullSpeedTimes full = AsyncAtFullSpeed(kMono.name, seconds);
        asyncRate.values.push_back(Ratio(full.sync, full.async));
        asyncMs.values.push_back(1000 * full.async);
        roundTrip.values.push_back(1000 * EventRoundTripSeconds(seconds));
        {
            FullSpeed fullSpeed(kMono.name);
            playedBare.values.push_back(PlayedRatio(kMono.name, seconds, false));
        }
    }

    std::printf("%-66s %8s %8s %8s\n", "figure", "min", "median", "max");
    for (const Figure* f : {&acquireMono, &acquireRgb,  &readMono,      &readRgb,     &controlMono,
                            &controlRgb,  &saveMono,    &saveRgb,       &invokeCount, &invokeWidth,
                            &asyncCpu,    &syncLatency, &latencyMedian, &latencyP99,  &asyncRate,
                            &asyncMs,     &roundTrip,   &playedMono,    &playedRgb,   &playedBare})
        Print(*f);
    CoUninitialize();
    return 0;
}
