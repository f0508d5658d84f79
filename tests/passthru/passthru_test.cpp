// Live video through the installed control and the simulated boards: the window it goes to,
// the passthru size, the three modes with their events, stopping, snapshots, the lookup table
// and palette, the source origin, and the control going away while live video runs.
#include "frames_fixture.h"
#include "thread_count.h"

#include <algorithm>
#include <atomic>
#include <set>
#include <utility>

namespace {

using Microsoft::WRL::ComPtr;
using test::EventSink;
using namespace imaging::msg;

constexpr uint32_t kColorScalingInterface = 4;

// The COM error of a failing API status of the standard family (0x94000000 + code).
HRESULT ErrorOf(uint32_t status) {
    return static_cast<HRESULT>(0x80044000u | (status & 0xFFFF));
}

// The pair block (width and height, first entry and count, x and y) a message carried.
std::pair<int32_t, int32_t> PairOf(const KvTraceRecord& record) {
    const auto pair = test::BlockOf<imaging::PairBlock>(record);
    return {pair.First, pair.Second};
}

// A shown popup window of 640 x 480 that live video draws into.
class LiveWindow {
public:
    LiveWindow()
        : window_(CreateWindowExW(0, L"STATIC", L"live", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480,
                                  nullptr, nullptr, nullptr, nullptr)) {
        test::PumpMessages();
    }
    HWND Get() const { return window_.Get(); }
    long Handle() const { return HandleToLong(window_.Get()); }
    COLORREF Pixel(int x, int y) const {
        com::WindowDc dc(window_.Get());
        return GetPixel(dc.Get(), x, y);
    }

private:
    com::UniqueWindow window_;
};

// The hidden image windows of this process.
std::vector<HWND> ImageWindows() {
    std::vector<HWND> found;
    for (HWND window = FindWindowExW(nullptr, nullptr, L"KV_IMAGE_WINDOW", nullptr); window;
         window = FindWindowExW(nullptr, window, L"KV_IMAGE_WINDOW", nullptr)) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process == GetCurrentProcessId()) found.push_back(window);
    }
    return found;
}

class Passthru : public frames_test::Frames {
protected:
    void SetUp() override {
        Frames::SetUp();
        if (HasFatalFailure()) return;
        com::Make(sink_);
        point_ = test::EventsPoint(control_.Get());
        ASSERT_TRUE(point_);
        ASSERT_EQ(point_->Advise(static_cast<IDispatch*>(sink_.Get()), &cookie_), S_OK);
        port().Resolve(imageNumber_, "KvTestImageNumber");
        ASSERT_TRUE(imageNumber_);
    }
    void TearDown() override {
        port().ClearFailures();
        if (point_) point_->Unadvise(cookie_);
        point_.Reset();
    }
    DriverPort& port() { return simulator_.Port(); }
    std::vector<KvTraceRecord> Sent(uint32_t message) {
        return test::RecordsOf(port().Trace(), message);
    }
    // The driver's handle of a frame, as the synchronous acquisition sends it.
    uint32_t DriverFrameOf(LONG frame) {
        port().StartTrace();
        EXPECT_EQ(control_->AcquireFrames(1, test::Long(frame), VARIANT_FALSE), S_OK);
        const std::vector<KvTraceRecord> acquire = Sent(STM_ACQUIRE_FRAME);
        return acquire.empty() ? 0 : static_cast<uint32_t>(acquire[0].Param2);
    }
    // The events OnPassthruNotify has carried so far.
    std::vector<LONG> Notified() {
        std::vector<LONG> frames;
        for (const EventSink::Event& event : sink_->Snapshot()) {
            EXPECT_EQ(event.id, 2);
            EXPECT_NE(event.thread, GetCurrentThreadId());
            frames.push_back(event.argument);
        }
        return frames;
    }
    // Lets the last reference of the control go; the sink stays connected.
    void ReleaseControl() {
        point_.Reset();
        control_.Reset();
        dispatch_.Reset();
    }
    bool WaitForEvents(size_t count) {
        return test::WaitFor([&] { return sink_->Count() >= count; });
    }
    uint32_t ImageNumber(const char* board) { return imageNumber_(board); }
    // Every entry of the passthru lookup table shows the same color.
    void LoadFlatLut(COLORREF color) {
        const LONG entry = (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
        VARIANT table = frames_test::LongArray(std::vector<LONG>(256, entry));
        EXPECT_EQ(control_->LoadPassthruLUT(0, table), S_OK);
        VariantClear(&table);
    }

    ComPtr<EventSink> sink_;
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
    KvTestImageNumberFn imageNumber_ = nullptr;
};

// ---- The window ----

TEST_F(Passthru, WithoutAWindowOneHiddenImageWindowOfTheActiveFrameIsMade) {
    Open(L"SIM7100");
    LONG frame = -1;
    ASSERT_EQ(control_->AllocateFrame(0, 0, 320, 240, -1, -1, DefaultFrame, DefaultImage, &frame),
              S_OK);
    const uint32_t handle = DriverFrameOf(frame);
    ASSERT_TRUE(ImageWindows().empty());

    port().StartTrace();
    // StartPassthru() as a script writes it: no window, the active frame, asynchronous.
    ASSERT_EQ(test::Invoke(dispatch_.Get(), L"StartPassthru").hr, S_OK);
    const std::vector<HWND> windows = ImageWindows();
    ASSERT_EQ(windows.size(), 1u);
    const HWND image = windows[0];
    EXPECT_FALSE(IsWindowVisible(image));
    wchar_t title[16] = {};
    GetWindowTextW(image, title, 16);
    EXPECT_STREQ(title, L"Image");
    RECT bounds{};
    GetWindowRect(image, &bounds);
    EXPECT_EQ(bounds.left, 0);
    EXPECT_EQ(bounds.top, 0);
    EXPECT_EQ(bounds.right - bounds.left, 320);
    EXPECT_EQ(bounds.bottom - bounds.top, 240);
    EXPECT_EQ(GetParent(image), nullptr);
    const LONG_PTR style = GetWindowLongPtrW(image, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_EQ(style & (WS_POPUP | WS_CHILD | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
    EXPECT_EQ(GetClassLongPtrW(image, GCL_CBWNDEXTRA), 64);
    EXPECT_EQ(GetClassLongPtrW(image, GCL_STYLE), CS_VREDRAW);

    const std::vector<KvTraceRecord> starts = Sent(STM_START_ASYNC_PASSTHRU);
    ASSERT_EQ(starts.size(), 1u);
    const auto block = test::BlockOf<imaging::WindowBlock>(starts[0]);
    EXPECT_EQ(block.Window, image);
    EXPECT_EQ(block.Frame, handle);

    // Stopped and started again: the same window serves.
    ASSERT_EQ(control_->StopPassthru(), S_OK);
    ASSERT_EQ(control_->StartPassthru(0, -1, ASyncPassthru), S_OK);
    EXPECT_EQ(ImageWindows(), windows);
    ASSERT_EQ(control_->StopPassthru(), S_OK);
    // It goes with the control.
    ReleaseControl();
    EXPECT_TRUE(ImageWindows().empty());
}

// Stands for a desktop where windows cannot be made: refuses every image window.
LRESULT CALLBACK RefuseImageWindows(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const LPCWSTR name = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs->lpszClass;
        if (!IS_INTRESOURCE(name) && wcscmp(name, L"KV_IMAGE_WINDOW") == 0) return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(Passthru, RefusedImageWindowFailsEveryStartAlikeAndLeavesTheClassUsable) {
    Open(L"SIM7100");
    Allocate();
    const HHOOK hook = SetWindowsHookExW(WH_CBT, RefuseImageWindows, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    std::vector<std::wstring> reasons;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const test::CallResult call = test::Invoke(dispatch_.Get(), L"StartPassthru");
        EXPECT_EQ(call.hr, DISP_E_EXCEPTION);
        reasons.push_back(test::Wide(call.exception.bstrDescription));
    }
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(reasons[0], reasons[1]) << "the same reason each time";
    EXPECT_NE(reasons[0], L"Unknown error");
    EXPECT_EQ(reasons[1].find(L"already exists"), std::wstring::npos) << reasons[1].c_str();
    ASSERT_EQ(test::Invoke(dispatch_.Get(), L"StartPassthru").hr, S_OK);
    EXPECT_EQ(ImageWindows().size(), 1u);
    ASSERT_EQ(control_->StopPassthru(), S_OK);
}

TEST_F(Passthru, SitedControlShowsLiveVideoInItsOwnWindow) {
    test::FrameWindow form;
    ComPtr<test::TestSite> site;
    ASSERT_HRESULT_SUCCEEDED(com::Make(site, form.Get(), RECT{10, 20, 210, 120}));
    ComPtr<IOleObject> object;
    ASSERT_EQ(control_.As(&object), S_OK);
    ASSERT_EQ(object->SetClientSite(site.Get()), S_OK);
    RECT position{10, 20, 210, 120};
    ASSERT_EQ(
        object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.Get(), 0, form.Get(), &position),
        S_OK);
    HWND own = nullptr;
    ComPtr<IOleInPlaceObject> inPlace;
    ASSERT_EQ(object.As(&inPlace), S_OK);
    ASSERT_EQ(inPlace->GetWindow(&own), S_OK);
    test::PumpMessages();

    Open(L"SIM7100");
    Allocate();
    LoadFlatLut(RGB(10, 200, 30));
    port().StartTrace();
    ASSERT_EQ(control_->StartPassthru(0, -1, ASyncPassthru), S_OK);
    ASSERT_TRUE(WaitForEvents(3));
    ASSERT_EQ(control_->StopPassthru(), S_OK);
    const std::vector<KvTraceRecord> starts = Sent(STM_START_ASYNC_PASSTHRU);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(test::BlockOf<imaging::WindowBlock>(starts[0]).Window, own);
    EXPECT_TRUE(ImageWindows().empty());
    com::WindowDc dc(own);
    EXPECT_EQ(GetPixel(dc.Get(), 100, 50), RGB(10, 200, 30));
    object->Close(OLECLOSE_NOSAVE);
    object->SetClientSite(nullptr);
}

// ---- Passthru size ----

TEST_F(Passthru, ScalingDevicesGetTheFrameSizeBeforeTheStart) {
    Open(L"SIM7100");
    Allocate();
    LiveWindow window;
    port().StartTrace();
    ASSERT_EQ(control_->StartPassthru(window.Handle(), -1, SyncPassthru), S_OK);
    port().StopTrace();
    std::vector<uint32_t> messages;
    for (const KvTraceRecord& record : port().Trace())
        if (record.ThreadId == GetCurrentThreadId()) messages.push_back(record.Message);
    // Not a color board: no color interface is asked for.
    EXPECT_EQ(messages, (std::vector<uint32_t>{STM_QUERY_PASSTHRU_CAPS, STM_QUERY_PASSTHRU_CAPS,
                                               STM_QUERY_PASSTHRU_CAPS, STM_GET_INPUT_CONTROL,
                                               STM_GET_INPUT_CONTROL, STM_SET_PASSTHRU_SCALING,
                                               STM_START_PASSTHRU, STM_GET_SYNC_EVENT}));
    const std::vector<KvTraceRecord> queries = Sent(STM_QUERY_PASSTHRU_CAPS);
    EXPECT_EQ(queries[0].Param1, 288u);
    EXPECT_EQ(queries[1].Param1, 290u);
    EXPECT_EQ(queries[2].Param1, 289u);
    EXPECT_EQ(PairOf(Sent(STM_SET_PASSTHRU_SCALING).at(0)), std::pair(640, 480));
    EXPECT_EQ(control_->StopPassthru(), S_OK);
}

TEST_F(Passthru, DeviceThatDoesNotScaleStartsWithoutScaling) {
    Open(L"SIM760X");
    Allocate();
    LiveWindow window;
    for (const PassthruModeEnum mode : {ASyncPassthru, SyncPassthru}) {
        port().StartTrace();
        ASSERT_EQ(control_->StartPassthru(window.Handle(), -1, mode), S_OK) << mode;
        ASSERT_EQ(control_->StopPassthru(), S_OK);
        const std::vector<KvTraceRecord> queries = Sent(STM_QUERY_PASSTHRU_CAPS);
        ASSERT_EQ(queries.size(), 1u) << mode;
        EXPECT_EQ(queries[0].Param1, 288u);
        EXPECT_TRUE(Sent(STM_SET_PASSTHRU_SCALING).empty()) << mode;
        EXPECT_EQ(Sent(mode == SyncPassthru ? STM_START_PASSTHRU : STM_START_ASYNC_PASSTHRU).size(),
                  1u);
    }
}

TEST_F(Passthru, ColorBoardScalesByItsHardwareScale) {
    Open(L"SIM7300");
    LONG frame = -1;
    ASSERT_EQ(control_->AllocateFrame(0, 0, 640, 480, 50, 100, DefaultFrame, DefaultImage, &frame),
              S_OK);
    LiveWindow window;
    port().StartTrace();
    ASSERT_EQ(control_->StartPassthru(window.Handle(), frame, ASyncPassthru), S_OK);
    const std::vector<KvTraceRecord> queries = Sent(STM_CLR_QUERY_INTERFACE);
    ASSERT_FALSE(queries.empty());
    EXPECT_EQ(test::BlockOf<uint32_t>(queries[0]), kColorScalingInterface);
    ASSERT_EQ(Sent(STM_CLR_SCALING).size(), 1u);
    EXPECT_EQ(PairOf(Sent(STM_SET_PASSTHRU_SCALING).at(0)), std::pair(320, 480));
    EXPECT_EQ(control_->StopPassthru(), S_OK);
}

TEST_F(Passthru, FailedScalingStepEndsTheStart) {
    Open(L"SIM7100");
    Allocate();
    LiveWindow window;
    for (const uint32_t message :
         {STM_QUERY_PASSTHRU_CAPS, STM_GET_INPUT_CONTROL, STM_SET_PASSTHRU_SCALING}) {
        port().StartTrace();
        port().FailNext(message, imaging::drv::STS_BUSY);
        EXPECT_EQ(control_->StartPassthru(window.Handle(), -1, ASyncPassthru),
                  ErrorOf(imaging::STC_STS_BUSY))
            << std::hex << message;
        EXPECT_TRUE(Sent(STM_START_ASYNC_PASSTHRU).empty());
    }
    EXPECT_EQ(control_->StopPassthru(), S_OK);
    EXPECT_EQ(sink_->Count(), 0u) << "no worker ran";
}

// ---- Running and stopping ----

TEST_F(Passthru, LiveVideoShowsInTheWindowAndStopsWithAFinalEvent) {
    Open(L"SIM7100");
    Allocate();
    const LONG active = Allocate();
    LiveWindow window;
    LoadFlatLut(RGB(10, 200, 30));
    port().StartTrace();
    ASSERT_EQ(control_->StartPassthru(window.Handle(), 0, ASyncPassthru), S_OK);
    ASSERT_TRUE(WaitForEvents(3));
    // Each image names the active frame, not the one live video uses.
    for (const LONG frame : Notified())
        EXPECT_EQ(frame, active);
    EXPECT_EQ(window.Pixel(10, 10), RGB(10, 200, 30));
    EXPECT_EQ(window.Pixel(639, 479), RGB(10, 200, 30));

    ASSERT_EQ(control_->put_ActiveFrame(0), S_OK);
    ASSERT_EQ(control_->StopPassthru(), S_OK);
    const std::vector<LONG> frames = Notified();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.back(), 0) << "the final event names the active frame at the stop";
    const std::vector<KvTraceRecord> stops = Sent(STM_STOP_PASSTHRU);
    ASSERT_EQ(stops.size(), 1u);
    EXPECT_NE(stops[0].Param1, 0u);
    EXPECT_EQ(stops[0].Result, 1);

    // Stopped: no more events, and the device shows no more images.
    const uint32_t image = ImageNumber("SIM7100");
    Sleep(200);
    EXPECT_EQ(sink_->Count(), frames.size());
    EXPECT_EQ(ImageNumber("SIM7100"), image);
    port().StartTrace();
    EXPECT_EQ(control_->StopPassthru(), S_OK) << "nothing runs";
    EXPECT_TRUE(port().Trace().empty());
}

// Counts the WM_APP messages that reach it.
std::atomic<int> appMessages{0};
LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_APP) ++appMessages;
    return DefWindowProcW(window, message, wparam, lparam);
}

TEST_F(Passthru, StopServesMessagesSentToTheHostWhileItWaits) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = CountingProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"PassthruCountingWindow";
    RegisterClassW(&windowClass);
    com::UniqueWindow counting(CreateWindowExW(0, L"PassthruCountingWindow", L"", WS_POPUP, 0, 0, 8,
                                               8, nullptr, nullptr, windowClass.hInstance,
                                               nullptr));
    Open(L"SIM7100");
    Allocate();
    LiveWindow window;
    ASSERT_EQ(control_->StartPassthru(window.Handle(), -1, ASyncPassthru), S_OK);
    ASSERT_TRUE(WaitForEvents(1));
    // The host's sink talks to the host's window from the worker while the host waits for
    // the worker to end: no deadlock.
    appMessages = 0;
    std::atomic<bool> stopping{false};
    {
        std::lock_guard<std::mutex> lock(sink_->mutex); // the worker raises meanwhile
        sink_->onEvent = [&] {
            if (stopping) SendMessageW(counting.Get(), WM_APP, 0, 0);
        };
    }
    stopping = true;
    ASSERT_EQ(control_->StopPassthru(), S_OK);
    sink_->onEvent = nullptr;
    EXPECT_GE(appMessages.load(), 1) << "the final event's message was delivered";
}

TEST_F(Passthru, SynchronousPassthruStopsToo) {
    Open(L"SIM7100");
    Allocate();
    LiveWindow window;
    port().StartTrace();
    ASSERT_EQ(control_->StartPassthru(window.Handle(), -1, SyncPassthru), S_OK);
    ASSERT_TRUE(WaitForEvents(2));
    const auto block = test::BlockOf<imaging::WindowBlock>(Sent(STM_START_PASSTHRU).at(0));
    EXPECT_EQ(block.Window, window.Get());
    // A second start replaces the first (the driver allows it for synchronous passthru).
    ASSERT_EQ(control_->StartPassthru(window.Handle(), -1, SyncPassthru), S_OK);
    ASSERT_EQ(control_->StopPassthru(), S_OK);
    const std::vector<KvTraceRecord> stops = Sent(STM_STOP_PASSTHRU);
    ASSERT_EQ(stops.size(), 1u);
    EXPECT_EQ(stops[0].Param1, 0u) << "the driver names synchronous passthru job 0";
    EXPECT_EQ(stops[0].Result, 1);
    const size_t events = sink_->Count();
    const uint32_t image = ImageNumber("SIM7100");
    Sleep(200);
    EXPECT_EQ(ImageNumber("SIM7100"), image) << "live video has stopped";
    EXPECT_EQ(sink_->Count(), events);
}

TEST_F(Passthru, ExtendedModeNamesEachFilledFrame) {
    Open(L"SIM7100");
    const LONG first = Allocate();
    Allocate();
    const LONG third = Allocate();
    const uint32_t handles[] = {DriverFrameOf(first), DriverFrameOf(third)};
    ASSERT_EQ(control_->DestroyFrame(1), S_OK);
    LiveWindow window;
    port().StartTrace();
    ASSERT_EQ(control_->StartPassthru(window.Handle(), -1, ASyncPassthruEx), S_OK);
    EXPECT_TRUE(Sent(STM_SET_PASSTHRU_SCALING).empty());
    const std::vector<KvTraceRecord> starts = Sent(STM_START_PASSTHRU_EX);
    ASSERT_EQ(starts.size(), 1u);
    const auto block = test::BlockOf<imaging::ExtPassthruBlock>(starts[0]);
    EXPECT_EQ(block.Window, window.Get());
    EXPECT_EQ(block.FrameCount, 2u);
    EXPECT_EQ(block.Reserved, 0u);
    // The list lives in the control, in this process.
    EXPECT_EQ(block.Frames[0], handles[0]);
    EXPECT_EQ(block.Frames[1], handles[1]);

    ASSERT_TRUE(test::WaitFor([&] {
        const std::vector<LONG> frames = Notified();
        return std::count(frames.begin(), frames.end(), first) >= 2 &&
               std::count(frames.begin(), frames.end(), third) >= 2;
    }));
    ASSERT_EQ(control_->StopPassthru(), S_OK);
    const std::vector<LONG> frames = Notified();
    EXPECT_EQ(std::set<LONG>(frames.begin(), frames.end()), (std::set<LONG>{first, third}))
        << "the frame indexes, not the list positions";
    const std::vector<KvTraceRecord> stops = Sent(STM_STOP_PASSTHRU);
    ASSERT_EQ(stops.size(), 1u);
    EXPECT_NE(stops[0].Param1, 0u);
    EXPECT_EQ(stops[0].Result, 1);
}

// A refused sync event fails the start with the driver's status, on the caller's thread and
// without a box; the live video it started stops again and a new start works.
TEST_F(Passthru, RefusedSyncEventFailsTheStart) {
    Open(L"SIM7100");
    Allocate();
    LiveWindow window;
    test::BoxWatcher boxes(L"Error - GetSyncEvent");
    // The failing start takes over running synchronous live video, whose worker must end too.
    const int threads = test::ThreadCount();
    ASSERT_EQ(control_->StartPassthru(window.Handle(), -1, SyncPassthru), S_OK);
    ASSERT_TRUE(WaitForEvents(1));
    port().FailNext(STM_GET_SYNC_EVENT, imaging::drv::STS_PASSTHRULUTRANGE);
    port().StartTrace();
    EXPECT_EQ(control_->StartPassthru(window.Handle(), -1, ASyncPassthru),
              ErrorOf(imaging::STC_STS_PASSTHRULUTRANGE));
    const test::ErrorRecord error = test::TakeErrorInfo();
    com::UniqueBstr text;
    ASSERT_EQ(control_->GetStatusMessage(static_cast<long>(imaging::STC_STS_PASSTHRULUTRANGE),
                                         text.Out()),
              S_OK);
    EXPECT_EQ(error.description, text.Text());
    EXPECT_EQ(Sent(STM_STOP_PASSTHRU).size(), 1u);
    EXPECT_TRUE(test::WaitFor([&] { return test::ThreadCount() <= threads; }))
        << test::ThreadCount() << " threads, " << threads << " before the live video";
    const size_t events = sink_->Count();
    ASSERT_EQ(control_->StartPassthru(window.Handle(), -1, ASyncPassthru), S_OK);
    ASSERT_TRUE(WaitForEvents(events + 1));
    ASSERT_EQ(control_->StopPassthru(), S_OK);
    boxes.Stop();
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(Passthru, RefusedStartKeepsTheRunningPassthru) {
    Open(L"SIM7100");
    Allocate();
    LiveWindow window;
    ASSERT_EQ(control_->StartPassthru(window.Handle(), -1, ASyncPassthru), S_OK);
    ASSERT_TRUE(WaitForEvents(1));
    // The driver runs one asynchronous passthru at a time.
    EXPECT_EQ(control_->StartPassthru(window.Handle(), -1, ASyncPassthru),
              ErrorOf(imaging::STC_STS_BUSY));
    const size_t events = sink_->Count();
    EXPECT_TRUE(WaitForEvents(events + 2)) << "its worker still raises the events";
    port().StartTrace();
    ASSERT_EQ(control_->StopPassthru(), S_OK);
    EXPECT_EQ(Sent(STM_STOP_PASSTHRU).size(), 1u);
}

TEST_F(Passthru, FailedStopKeepsTheJob) {
    Open(L"SIM7100");
    Allocate();
    LiveWindow window;
    ASSERT_EQ(control_->StartPassthru(window.Handle(), -1, ASyncPassthru), S_OK);
    port().StartTrace();
    port().FailNext(STM_STOP_PASSTHRU, imaging::drv::STS_BUSY);
    EXPECT_EQ(control_->StopPassthru(), ErrorOf(imaging::STC_STS_BUSY));
    EXPECT_EQ(control_->StopPassthru(), S_OK) << "the job is stopped on the next call";
    const std::vector<KvTraceRecord> stops = Sent(STM_STOP_PASSTHRU);
    ASSERT_EQ(stops.size(), 2u);
    EXPECT_EQ(stops[0].Param1, stops[1].Param1);
}

TEST_F(Passthru, ArgumentErrorsSendNothing) {
    Open(L"SIM7100");
    LiveWindow window;
    port().StartTrace();
    EXPECT_EQ(control_->StartPassthru(window.Handle(), -1, ASyncPassthru), E_INVALIDARG)
        << "no frame";
    EXPECT_TRUE(port().Trace().empty());
    Allocate();
    port().StartTrace();
    EXPECT_EQ(control_->StartPassthru(0, -1, static_cast<PassthruModeEnum>(2)), E_INVALIDARG);
    EXPECT_EQ(control_->StartPassthru(window.Handle(), 5, ASyncPassthru), E_INVALIDARG);
    EXPECT_EQ(control_->StartPassthru(window.Handle(), 1024, ASyncPassthruEx), E_INVALIDARG);
    EXPECT_EQ(control_->PassthruSnapshot(3), E_INVALIDARG);
    EXPECT_EQ(control_->QueryPassthruCaps(STC_FG_PC_DOES_SCALING, nullptr, 4), E_POINTER);
    LONG answer = 0;
    EXPECT_EQ(control_->QueryPassthruCaps(STC_FG_PC_DOES_SCALING, &answer, -1), E_INVALIDARG);
    EXPECT_EQ(control_->LoadPassthruLUT(0, test::Long(0x112233)), E_INVALIDARG) << "no array";
    com::UniqueBstr name(L"red");
    SAFEARRAY* strings = SafeArrayCreateVector(VT_BSTR, 0, 1);
    LONG at = 0;
    SafeArrayPutElement(strings, &at, name.Get());
    VARIANT texts;
    V_VT(&texts) = VT_ARRAY | VT_BSTR;
    V_ARRAY(&texts) = strings;
    EXPECT_EQ(control_->ExtendPassthruPalette(10, texts), E_INVALIDARG);
    VariantClear(&texts);
    EXPECT_TRUE(port().Trace().empty());
}

// ---- Snapshots and capabilities ----

TEST_F(Passthru, SnapshotTakesTheLiveImageIntoTheFrame) {
    Open(L"SIM7100");
    const LONG live = Allocate();
    const LONG still = Allocate();
    const uint32_t handle = DriverFrameOf(still);
    const std::vector<uint8_t> acquired = ReadAll(still, 640, 480, 1);
    EXPECT_EQ(control_->PassthruSnapshot(still), ErrorOf(imaging::STC_STS_PASSTHRU_STOPPED));
    LiveWindow window;
    ASSERT_EQ(control_->StartPassthru(window.Handle(), live, ASyncPassthru), S_OK);
    ASSERT_TRUE(WaitForEvents(2));
    port().StartTrace();
    // PassthruSnapshot() from a script: the active frame.
    EXPECT_EQ(test::Invoke(dispatch_.Get(), L"PassthruSnapshot").hr, S_OK);
    const std::vector<KvTraceRecord> snapshots = Sent(STM_PASSTHRU_SNAPSHOT);
    ASSERT_EQ(snapshots.size(), 1u);
    EXPECT_EQ(snapshots[0].Param1, handle);
    ASSERT_EQ(control_->StopPassthru(), S_OK);
    EXPECT_NE(ReadAll(still, 640, 480, 1), acquired) << "a later image came in";
}

TEST_F(Passthru, CapabilityAnswersFitTheCallersBuffer) {
    Open(L"SIM7100");
    imaging::stSTT_LNG_RNG widths{};
    ASSERT_EQ(control_->QueryPassthruCaps(STC_FG_PC_SCALE_WIDTH_LIMITS,
                                          reinterpret_cast<long*>(&widths), sizeof(widths)),
              S_OK);
    EXPECT_EQ(widths.Min, 16);
    EXPECT_EQ(widths.Max, 1024);
    EXPECT_EQ(widths.Granularity, 4);
    EXPECT_EQ(widths.Nominal, 640);
    // A script's variable holds one value, whatever size the script names.
    VARIANT answer;
    VariantInit(&answer);
    V_VT(&answer) = VT_I4;
    const auto query = [&](LONG key, LONG size) {
        return test::Invoke(dispatch_.Get(), L"QueryPassthruCaps",
                            {test::Long(key), test::RefTo(&answer), test::Long(size)});
    };
    EXPECT_EQ(query(STC_FG_PC_SCALE_WIDTH_LIMITS, 16).hr, S_OK);
    EXPECT_EQ(V_I4(&answer), 16);
    EXPECT_EQ(query(STC_FG_PC_DOES_SCALING, 4).hr, S_OK);
    EXPECT_EQ(V_I4(&answer), 1);
    const test::CallResult refused = query(77, 4);
    EXPECT_EQ(refused.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(refused.exception.scode & 0xFFFF0000, 0x80040000)
        << std::hex << refused.exception.scode;
    EXPECT_FALSE(test::Wide(refused.exception.bstrDescription).empty());
}

// ---- Lookup table, palette, origin ----

TEST_F(Passthru, LookupTableEntriesColorTheLiveVideo) {
    Open(L"SIM7100");
    Allocate();
    LiveWindow window;
    // A script's array of VARIANTs: entry v is red for the upper half of the values.
    std::vector<LONG> bands;
    for (LONG v = 0; v < 256; ++v)
        bands.push_back(v < 128 ? 0x00FF0000 : 0x000000FF);
    VARIANT table = frames_test::LongArray(bands, VT_VARIANT);
    port().StartTrace();
    ASSERT_EQ(control_->LoadPassthruLUT(0, table), S_OK);
    VariantClear(&table);
    EXPECT_EQ(PairOf(Sent(STM_LOAD_PASSTHRU_LUT).at(0)), std::pair(0, 256));
    ASSERT_EQ(control_->StartPassthru(window.Handle(), -1, ASyncPassthru), S_OK);
    ASSERT_TRUE(WaitForEvents(3));
    ASSERT_EQ(control_->StopPassthru(), S_OK);
    size_t reds = 0, blues = 0;
    for (int x = 0; x < 256; ++x) {
        const COLORREF pixel = window.Pixel(x, 50);
        reds += pixel == RGB(255, 0, 0);
        blues += pixel == RGB(0, 0, 255);
    }
    EXPECT_EQ(reds, 128u);
    EXPECT_EQ(blues, 128u);

    // The driver judges the range; the default table brings grey back.
    VARIANT one = frames_test::LongArray({0x112233});
    port().StartTrace();
    EXPECT_EQ(control_->LoadPassthruLUT(0, one), S_OK);
    EXPECT_EQ(PairOf(Sent(STM_LOAD_PASSTHRU_LUT).at(0)), std::pair(0, 1));
    EXPECT_EQ(control_->LoadPassthruLUT(256, one), ErrorOf(imaging::STC_STS_PASSTHRULUTRANGE));
    ASSERT_EQ(control_->LoadDefaultPassthruLUT(), S_OK);
    ASSERT_EQ(control_->StartPassthru(window.Handle(), -1, ASyncPassthru), S_OK);
    const size_t events = sink_->Count();
    ASSERT_TRUE(WaitForEvents(events + 3));
    ASSERT_EQ(control_->StopPassthru(), S_OK);
    const COLORREF pixel = window.Pixel(50, 50);
    EXPECT_TRUE(GetRValue(pixel) == GetGValue(pixel) && GetGValue(pixel) == GetBValue(pixel));

    port().StartTrace();
    EXPECT_EQ(control_->ExtendPassthruPalette(10, one), S_OK);
    EXPECT_EQ(control_->ExtendPassthruPalette(0, one), ErrorOf(imaging::STC_STS_PASSTHRUPALRANGE));
    VariantClear(&one);
    const std::vector<KvTraceRecord> palette = Sent(STM_EXTEND_PASSTHRU_PALETTE);
    ASSERT_EQ(palette.size(), 2u);
    EXPECT_EQ(PairOf(palette[0]), std::pair(10, 1));
}

TEST_F(Passthru, OriginSendsBothCoordinatesWithoutNotifications) {
    Open(L"SIM7100");
    test::Notifications notes(control_.Get());
    port().StartTrace();
    ASSERT_EQ(test::PutProperty(dispatch_.Get(), L"XPassthruOrigin", test::Long(10)).hr, S_OK);
    ASSERT_EQ(control_->put_YPassthruOrigin(20), S_OK);
    std::vector<KvTraceRecord> sets = Sent(STM_SET_PASSTHRU_SOURCE_ORIGIN);
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(PairOf(sets[0]), std::pair(10, 0)) << "before any read";
    EXPECT_EQ(PairOf(sets[1]), std::pair(10, 20));
    EXPECT_EQ(test::LongOf(test::GetProperty(dispatch_.Get(), L"XPassthruOrigin")), 10);
    LONG y = 0;
    EXPECT_EQ(control_->get_YPassthruOrigin(&y), S_OK);
    EXPECT_EQ(y, 20);
    EXPECT_EQ(control_->get_YPassthruOrigin(nullptr), E_POINTER);

    // A refused origin keeps the one known: the next put sends it.
    EXPECT_EQ(control_->put_XPassthruOrigin(-1), ErrorOf(imaging::STC_STS_RANGE));
    port().StartTrace();
    ASSERT_EQ(control_->put_YPassthruOrigin(30), S_OK);
    sets = Sent(STM_SET_PASSTHRU_SOURCE_ORIGIN);
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(PairOf(sets[0]), std::pair(10, 30));
    port().FailNext(STM_GET_PASSTHRU_SOURCE_ORIGIN, imaging::drv::STS_BUSY);
    LONG x = -5;
    EXPECT_EQ(control_->get_XPassthruOrigin(&x), ErrorOf(imaging::STC_STS_BUSY));
    EXPECT_EQ(x, 10) << "the origin last known";
    EXPECT_TRUE(notes.Changed().empty());
}

// ---- The control going away ----

TEST_F(Passthru, DestroyingTheControlStopsLiveVideoWithoutEvents) {
    Open(L"SIM7100");
    Allocate();
    LiveWindow window;
    // A driver without a sync event: the worker raises only the event of its end.
    port().FailNext(STM_GET_SYNC_EVENT, 0, 1);
    ASSERT_EQ(control_->StartPassthru(window.Handle(), -1, ASyncPassthru), S_OK);
    port().StartTrace();
    ReleaseControl(); // the last reference
    const std::vector<KvTraceRecord> stops = Sent(STM_STOP_PASSTHRU);
    ASSERT_EQ(stops.size(), 1u);
    EXPECT_EQ(stops[0].Result, 1);
    EXPECT_EQ(ImageNumber("SIM7100"), 0xFFFFFFFFu) << "the device is closed";
    EXPECT_EQ(sink_->Count(), 0u) << "a control that goes raises nothing";
}

} // namespace
