// The line-scan board through the installed control and the simulated SIM7400LS: line timing,
// the line-scan mode, lines acquired into the caller's array, the completion event, line
// passthru into a ring with an event per buffer, drawing, and the workers' ends.
#include "frames_fixture.h"
#include "thread_count.h"

#include "line_scan.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cstring>

namespace {

using Microsoft::WRL::ComPtr;
using test::EventSink;
using test::WaitFor;
namespace msg = imaging::msg;

constexpr DISPID kOnLsAcquireNotify = 3;
constexpr DISPID kOnLsPassthruNotify = 4;
constexpr uint32_t kGranularity = 16; // the simulated board's lines per transfer

// A byte array declared (width, lines[, buffers]) the way a column-major host declares it.
com::UniqueSafeArray ByteArray(std::initializer_list<ULONG> counts, VARTYPE type = VT_UI1) {
    std::vector<SAFEARRAYBOUND> bounds;
    for (ULONG count : counts)
        bounds.push_back({count, 0});
    return com::UniqueSafeArray(
        SafeArrayCreate(type, static_cast<UINT>(bounds.size()), bounds.data()));
}

VARIANT ArrayArg(const com::UniqueSafeArray& array) {
    VARIANT v;
    VARTYPE type = VT_UI1;
    SafeArrayGetVartype(array.Get(), &type);
    V_VT(&v) = VT_ARRAY | type;
    V_ARRAY(&v) = array.Get();
    return v;
}

// What the simulated line-scan camera sees: pixel x of line n is (x + n) mod 256.
uint8_t Picture(uint32_t x, uint32_t line) {
    return static_cast<uint8_t>((x + line) % 256);
}

// The first line of lines x width bytes that differs from the picture starting at firstLine;
// -1 when all match.
long FirstWrongLine(const uint8_t* data, uint32_t width, uint32_t lines, uint32_t firstLine) {
    for (uint32_t n = 0; n < lines; ++n)
        for (uint32_t x = 0; x < width; ++x)
            if (data[size_t{n} * width + x] != Picture(x, firstLine + n))
                return static_cast<long>(n);
    return -1;
}

class LineScan : public frames_test::Frames {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(Frames::SetUp());
        ASSERT_NO_FATAL_FAILURE(Open(L"SIM7400LS"));
        com::Make(sink_);
        point_ = test::EventsPoint(control_.Get());
        ASSERT_TRUE(point_);
        ASSERT_EQ(point_->Advise(static_cast<IDispatch*>(sink_.Get()), &cookie_), S_OK);
    }
    void TearDown() override {
        if (point_) point_->Unadvise(cookie_);
        simulator_.Port().ClearFailures();
    }
    std::vector<KvTraceRecord> Sent(uint32_t message) {
        return test::RecordsOf(simulator_.Port().Trace(), message);
    }
    // Slower lines, so that a passthru buffer of 64 lines takes about 26 ms.
    void SlowLines() { ASSERT_EQ(control_->put_LSDriveClkDiv(4), S_OK); }

    ComPtr<EventSink> sink_;
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

// ---- Timing and mode ----

TEST_F(LineScan, TimingPropertiesAddressTheirEdgesAndNotifyNothing) {
    test::Notifications notifications(control_.Get());
    simulator_.Port().StartTrace();
    EXPECT_EQ(control_->put_LoToHiLineDriveCount(300), S_OK);
    EXPECT_EQ(control_->put_HiToLoLineDriveCount(200), S_OK);
    EXPECT_EQ(control_->put_LoToHiIntegrationCount(100), S_OK);
    EXPECT_EQ(control_->put_HiToLoIntegrationCount(50), S_OK);
    EXPECT_EQ(control_->put_LSDriveClkDiv(4), S_OK);
    LONG value = 0;
    EXPECT_EQ(control_->get_LoToHiLineDriveCount(&value), S_OK);
    EXPECT_EQ(value, 300);
    EXPECT_EQ(control_->get_HiToLoLineDriveCount(&value), S_OK);
    EXPECT_EQ(value, 200);
    EXPECT_EQ(control_->get_LoToHiIntegrationCount(&value), S_OK);
    EXPECT_EQ(value, 100);
    EXPECT_EQ(control_->get_HiToLoIntegrationCount(&value), S_OK);
    EXPECT_EQ(value, 50);
    EXPECT_EQ(control_->get_LSDriveClkDiv(&value), S_OK);
    EXPECT_EQ(value, 4);

    const auto drives = Sent(msg::STM_LS_SET_LINE_DRIVE_COUNT);
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[0].Param1, 1u); // low to high
    EXPECT_EQ(drives[0].Param2, 300u);
    EXPECT_EQ(drives[1].Param1, 0u);
    const auto integrations = Sent(msg::STM_LS_GET_INTEGRATION_COUNT);
    ASSERT_EQ(integrations.size(), 2u);
    EXPECT_EQ(integrations[0].Param1, 1u);
    EXPECT_EQ(integrations[1].Param1, 0u);
    ASSERT_EQ(Sent(msg::STM_LS_SET_DRIVE_CLOCK_DIVIDER).size(), 1u);
    EXPECT_EQ(Sent(msg::STM_LS_SET_DRIVE_CLOCK_DIVIDER)[0].Param1, 4u);

    // The board refuses a divider of 0: the failure comes back and the divider stays.
    const HRESULT refused = control_->put_LSDriveClkDiv(0);
    EXPECT_EQ(refused & 0xFFFF0000, static_cast<HRESULT>(0x80040000));
    EXPECT_EQ(control_->get_LSDriveClkDiv(&value), S_OK);
    EXPECT_EQ(value, 4);
    EXPECT_TRUE(notifications.Changed().empty());
    EXPECT_EQ(control_->get_LSDriveClkDiv(nullptr), E_POINTER);
}

TEST_F(LineScan, LineScanModeIsTheBoardsAnswerToItsDigitalIoRead) {
    test::Notifications notifications(control_.Get());
    VARIANT_BOOL mode = VARIANT_TRUE;
    EXPECT_EQ(control_->get_LineScanMode(&mode), S_OK);
    EXPECT_EQ(mode, VARIANT_FALSE);
    simulator_.Port().StartTrace();
    ASSERT_EQ(control_->put_LineScanMode(VARIANT_TRUE), S_OK);
    ASSERT_EQ(notifications.Changed(), std::vector<DISPID>{DispidLineScanMode});
    const auto sets = Sent(msg::STM_LS_SET_MODE);
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(static_cast<int64_t>(sets[0].Param1), -1);
    EXPECT_EQ(control_->get_LineScanMode(&mode), S_OK);
    EXPECT_EQ(mode, VARIANT_TRUE);
    EXPECT_EQ(Sent(msg::STM_LS_GET_DIGIO).size(), 1u);
    ASSERT_EQ(control_->put_LineScanMode(VARIANT_FALSE), S_OK);
    EXPECT_EQ(control_->get_LineScanMode(&mode), S_OK);
    EXPECT_EQ(mode, VARIANT_FALSE);

    // Another board model has no line-scan mode to read; nothing is sent to it.
    ComPtr<ICorvid3> other;
    ASSERT_EQ(test::CreateControl().As(&other), S_OK);
    ASSERT_TRUE(test::OpenBoard(other.Get(), L"SIM7400"));
    simulator_.Port().StartTrace();
    EXPECT_EQ(other->get_LineScanMode(&mode), static_cast<HRESULT>(0x80044009)); // UNSUPKEY
    EXPECT_TRUE(Sent(msg::STM_LS_GET_DIGIO).empty());
}

// ---- Line acquisition ----

TEST_F(LineScan, SynchronousAcquisitionFillsTheCallersArrayAndRaisesNothing) {
    com::UniqueSafeArray lines = ByteArray({2048, 100});
    VARIANT array = ArrayArg(lines);
    const int threads = test::ThreadCount();
    simulator_.Port().StartTrace();
    // By reference, as a script passes its variable.
    ASSERT_EQ(
        test::Invoke(dispatch_.Get(), L"AcquireLines", {test::RefTo(&array), test::Long(0)}).hr,
        S_OK);

    const auto controls = Sent(msg::STM_SET_INPUT_CONTROL);
    ASSERT_EQ(controls.size(), 2u);
    const auto width = test::BlockOf<imaging::InputControlWriteBlock>(controls[0]);
    const auto height = test::BlockOf<imaging::InputControlWriteBlock>(controls[1]);
    EXPECT_EQ(width.Source, 0);
    EXPECT_EQ(width.Control, imaging::STC_FG_CTL_FRAME_WIDTH);
    EXPECT_EQ(width.Value, 2048u);
    EXPECT_EQ(height.Control, imaging::STC_FG_CTL_FRAME_HEIGHT);
    EXPECT_EQ(height.Value, 100u);
    const auto acquisitions = Sent(msg::STM_LS_ACQUIRE_LINES);
    ASSERT_EQ(acquisitions.size(), 1u);
    const auto pair = test::BlockOf<imaging::LineAcquirePair>(acquisitions[0]);
    EXPECT_EQ(pair.ByteCount, 204800u);
    EXPECT_EQ(pair.Mode, imaging::STC_LS_ACQUIRE_SYNC);

    com::SafeArrayData<uint8_t> data(lines.Get());
    ASSERT_TRUE(data.Ok());
    EXPECT_EQ(acquisitions[0].Param1, reinterpret_cast<uintptr_t>(data.Data()));
    EXPECT_EQ(FirstWrongLine(data.Data(), 2048, 100, 0), -1);
    EXPECT_EQ(test::ThreadCount(), threads); // no worker
    Sleep(50);
    EXPECT_EQ(sink_->Count(), 0u);
}

// Through IDispatch with the array by value, as C++ and .NET-style hosts pass it: the driver
// fills the caller's own array, synchronously and from its worker.
TEST_F(LineScan, ArraysPassedByValueThroughIDispatchAreFilledInPlace) {
    for (const LONG async : {0, -1}) {
        com::UniqueSafeArray lines = ByteArray({2048, 32});
        const size_t events = sink_->Count();
        ASSERT_EQ(test::Invoke(dispatch_.Get(), L"AcquireLines",
                               {ArrayArg(lines), test::Long(async)})
                      .hr,
                  S_OK);
        if (async) {
            ASSERT_TRUE(test::WaitFor([&] { return sink_->Count() > events; }));
        }
        com::SafeArrayData<uint8_t> data(lines.Get());
        ASSERT_TRUE(data.Ok());
        EXPECT_TRUE(std::any_of(data.Data(), data.Data() + 2048 * 32, [](uint8_t b) { return b; }))
            << "asynchronous: " << async;
    }
}

TEST_F(LineScan, AsynchronousAcquisitionRaisesItsCompletionFromAWorker) {
    com::UniqueSafeArray lines = ByteArray({640, 64});
    const int threads = test::ThreadCount();
    simulator_.Port().StartTrace();
    ASSERT_EQ(control_->AcquireLines(ArrayArg(lines), VARIANT_TRUE), S_OK);
    simulator_.Port().StopTrace(); // before the worker's polls fill the trace
    const auto acquisitions = Sent(msg::STM_LS_ACQUIRE_LINES);
    ASSERT_EQ(acquisitions.size(), 1u);
    EXPECT_EQ(test::BlockOf<imaging::LineAcquirePair>(acquisitions[0]).Mode,
              imaging::STC_LS_ACQUIRE_ASYNC);
    ASSERT_TRUE(WaitFor([&] { return sink_->Count() >= 1; }));
    const EventSink::Event event = sink_->Snapshot()[0];
    EXPECT_EQ(event.id, kOnLsAcquireNotify);
    EXPECT_EQ(event.arguments, (std::vector<LONG>{64, kGranularity}));
    EXPECT_NE(event.thread, GetCurrentThreadId());
    {
        com::SafeArrayData<uint8_t> data(lines.Get());
        EXPECT_EQ(FirstWrongLine(data.Data(), 640, 64, 0), -1);
    }
    // The worker ends with its event; both driver and control threads are gone.
    EXPECT_TRUE(WaitFor([&] { return test::ThreadCount() == threads; }));
    Sleep(50);
    EXPECT_EQ(sink_->Count(), 1u);

    LONG complete = 0, granularity = 0;
    VARIANT_BOOL done = VARIANT_FALSE;
    EXPECT_EQ(control_->IsAcquireLinesDone(&complete, &granularity, &done), S_OK);
    EXPECT_EQ(done, VARIANT_TRUE);
    EXPECT_EQ(complete, 64);
    EXPECT_EQ(granularity, 16);
    EXPECT_EQ(control_->IsAcquireLinesDone(&complete, nullptr, &done), E_INVALIDARG);
    EXPECT_EQ(control_->IsAcquireLinesDone(nullptr, &granularity, &done), E_INVALIDARG);
    EXPECT_EQ(control_->IsAcquireLinesDone(&complete, &granularity, nullptr), E_INVALIDARG);
}

TEST_F(LineScan, ArraysWithoutTheirDimensionsOrOfReferencesAreRefusedBeforeAnythingIsSent) {
    com::UniqueSafeArray vector(SafeArrayCreateVector(VT_UI1, 0, 4096));
    com::UniqueSafeArray variants = ByteArray({64, 16}, VT_VARIANT);
    com::UniqueSafeArray empty = ByteArray({0, 16});
    com::UniqueSafeArray plane = ByteArray({64, 16});
    com::UniqueSafeArray tooManyBuffers = ByteArray({16, 1, 1025});
    com::UniqueSafeArray variantRing = ByteArray({16, 4, 2}, VT_VARIANT);
    simulator_.Port().StartTrace();
    for (const VARIANT& bad : {test::Long(5), ArrayArg(vector), ArrayArg(empty)}) {
        EXPECT_EQ(control_->AcquireLines(bad, VARIANT_FALSE), E_INVALIDARG);
        EXPECT_EQ(control_->DrawAcquiredLines(0, bad, 0, 0), E_INVALIDARG);
        EXPECT_EQ(control_->StartLSPassthru(0, bad, VARIANT_FALSE), E_INVALIDARG);
    }
    for (const VARIANT& bad : {ArrayArg(plane), ArrayArg(tooManyBuffers), ArrayArg(variantRing)})
        EXPECT_EQ(control_->StartLSPassthru(0, bad, VARIANT_FALSE), E_INVALIDARG);
    // A script's array cannot take lines that arrive after the call; it draws only bytes.
    EXPECT_EQ(control_->AcquireLines(ArrayArg(variants), VARIANT_TRUE), E_INVALIDARG);
    LONG at[2] = {63, 15};
    VARIANT notAByte = test::Long(-1);
    ASSERT_EQ(SafeArrayPutElement(variants.Get(), at, &notAByte), S_OK);
    EXPECT_EQ(control_->DrawAcquiredLines(0, ArrayArg(variants), 0, 0), E_INVALIDARG);
    EXPECT_TRUE(simulator_.Port().Trace().empty());
    EXPECT_EQ(variants.Get()->cLocks, 0u);
}

// A script's array takes one byte of the lines per VARIANT.
TEST_F(LineScan, ScriptArraysTakeSynchronousLinesAsBytes) {
    com::UniqueSafeArray lines = ByteArray({320, 20}, VT_VARIANT);
    VARIANT array = ArrayArg(lines);
    ASSERT_EQ(
        test::Invoke(dispatch_.Get(), L"AcquireLines", {test::RefTo(&array), test::Long(0)}).hr,
        S_OK);
    std::vector<uint8_t> bytes;
    {
        com::SafeArrayData<VARIANT> data(lines.Get());
        ASSERT_TRUE(data.Ok());
        for (size_t i = 0; i < 320 * 20; ++i) {
            ASSERT_EQ(V_VT(&data.Data()[i]), VT_UI1) << i;
            bytes.push_back(V_UI1(&data.Data()[i]));
        }
    }
    EXPECT_EQ(FirstWrongLine(bytes.data(), 320, 20, 0), -1);
}

TEST_F(LineScan, AFailedAcquisitionIsReportedAndStartsNoWorker) {
    com::UniqueSafeArray lines = ByteArray({64, 16});
    const int threads = test::ThreadCount();
    simulator_.Port().FailNext(msg::STM_LS_ACQUIRE_LINES, 0x84000107);
    const HRESULT hr = control_->AcquireLines(ArrayArg(lines), VARIANT_TRUE);
    EXPECT_EQ(hr & 0xFFFF0000, static_cast<HRESULT>(0x80040000));
    EXPECT_EQ(test::ThreadCount(), threads);
}

// ---- Line passthru ----

TEST_F(LineScan, PassthruSendsItsRingAndAnnouncesEachFilledBuffer) {
    SlowLines();
    com::UniqueSafeArray ring = ByteArray({1024, 64, 4});
    const int threads = test::ThreadCount();
    simulator_.Port().StartTrace();
    ASSERT_EQ(control_->StartLSPassthru(0, ArrayArg(ring), VARIANT_FALSE), S_OK);
    const auto starts = Sent(msg::STM_LS_START_PASSTHRU);
    ASSERT_EQ(starts.size(), 1u);
    const auto block = test::BlockOf<imaging::LinePassthruBlock>(starts[0]);
    EXPECT_EQ(block.Window, nullptr);
    EXPECT_EQ(block.BufferCount, 4u);
    EXPECT_EQ(block.BytesPerBuffer, 65536u);
    EXPECT_EQ(block.BufferListSize, 16u);
    EXPECT_EQ(block.StateListSize, 16u);
    EXPECT_EQ(block.StopOnOverflow, 0u);
    {
        com::SafeArrayData<uint8_t> data(ring.Get());
        // The list lives as long as passthru runs.
        for (uintptr_t k = 0; k < 4; ++k)
            EXPECT_EQ(reinterpret_cast<uintptr_t>(block.Buffers[k]),
                      reinterpret_cast<uintptr_t>(data.Data()) + k * 65536);
    }
    const auto controls = Sent(msg::STM_SET_INPUT_CONTROL);
    ASSERT_EQ(controls.size(), 2u);
    EXPECT_EQ(test::BlockOf<imaging::InputControlWriteBlock>(controls[0]).Value, 1024u);
    EXPECT_EQ(test::BlockOf<imaging::InputControlWriteBlock>(controls[1]).Value, 64u);
    EXPECT_GE(test::ThreadCount(), threads + 2); // the driver's and the control's

    ASSERT_TRUE(WaitFor([&] { return sink_->Count() >= 6; }));
    ASSERT_EQ(control_->StopLSPassthru(), S_OK);
    EXPECT_EQ(Sent(msg::STM_LS_STOP_PASSTHRU).size(), 1u);
    EXPECT_EQ(test::ThreadCount(), threads);
    const auto events = sink_->Snapshot();
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(events[i].id, kOnLsPassthruNotify);
        EXPECT_EQ(events[i].arguments, std::vector<LONG>{static_cast<LONG>(i % 4)}) << i;
        EXPECT_NE(events[i].thread, GetCurrentThreadId());
    }
    // Every pass of the ring holds 256 lines: buffer k always starts at line 64 k (mod 256).
    com::SafeArrayData<uint8_t> data(ring.Get());
    for (uint32_t k = 0; k < 4; ++k)
        EXPECT_EQ(FirstWrongLine(data.Data() + k * 65536, 1024, 64, 64 * k), -1) << k;
    Sleep(60);
    EXPECT_EQ(sink_->Count(), events.size()); // nothing after the stop
}

// The driver fills buffers 1, 2 and 3 while the host handles buffer 0; the test takes back
// the flag of buffer 2, so the wake-up that follows finds only buffers 1 and 3 filled.
TEST_F(LineScan, BuffersFilledByOneWakeUpAreAnnouncedInAscendingOrder) {
    SlowLines();
    com::UniqueSafeArray ring = ByteArray({1024, 64, 4});
    simulator_.Port().StartTrace();
    // Shared with the sink, which may still hear the ring after a failed assertion.
    struct Ring {
        std::atomic<int32_t*> flags{nullptr};
        std::atomic<bool> first{true};
    };
    const auto shared = std::make_shared<Ring>();
    sink_->onEvent = [shared] {
        if (!shared->first.exchange(false)) return;
        volatile LONG* filled = reinterpret_cast<volatile LONG*>(shared->flags.load());
        if (!filled) return;
        WaitFor([&] { return InterlockedCompareExchange(filled + 3, 0, 0) != 0; });
        InterlockedExchange(filled + 2, 0);
    };
    // The flags' address is in the block the driver receives; the first buffer takes about
    // 26 ms, long after the test has read it.
    ASSERT_EQ(control_->StartLSPassthru(0, ArrayArg(ring), VARIANT_FALSE), S_OK);
    const auto starts = Sent(msg::STM_LS_START_PASSTHRU);
    ASSERT_EQ(starts.size(), 1u);
    shared->flags = test::BlockOf<imaging::LinePassthruBlock>(starts[0]).BufferStates;
    ASSERT_TRUE(WaitFor([&] { return sink_->Count() >= 3; }));
    ASSERT_EQ(control_->StopLSPassthru(), S_OK);
    const auto events = sink_->Snapshot();
    EXPECT_EQ(events[0].arguments, std::vector<LONG>{0});
    EXPECT_EQ(events[1].arguments, std::vector<LONG>{1});
    EXPECT_EQ(events[2].arguments, std::vector<LONG>{3});
}

TEST_F(LineScan, WorkersEndWhenTheDeviceCloses) {
    SlowLines();
    com::UniqueSafeArray ring = ByteArray({1024, 64, 4});
    com::UniqueSafeArray lines = ByteArray({640, 4096}); // about 1.6 s of lines
    const int threads = test::ThreadCount();
    ASSERT_EQ(control_->StartLSPassthru(0, ArrayArg(ring), VARIANT_FALSE), S_OK);
    ASSERT_EQ(control_->AcquireLines(ArrayArg(lines), VARIANT_TRUE), S_OK);
    EXPECT_GE(test::ThreadCount(), threads + 4);
    ASSERT_TRUE(WaitFor([&] { return sink_->Count() >= 1; }));
    simulator_.Port().StartTrace();
    ASSERT_EQ(control_->CloseDevice(), S_OK);
    EXPECT_EQ(Sent(msg::STM_LS_STOP_PASSTHRU).size(), 1u); // the ring is let go first
    EXPECT_EQ(test::ThreadCount(), threads);
    const size_t heard = sink_->Count();
    Sleep(60);
    EXPECT_EQ(sink_->Count(), heard);
    for (const EventSink::Event& event : sink_->Snapshot())
        EXPECT_EQ(event.id, kOnLsPassthruNotify); // the acquisition never completed
}

TEST_F(LineScan, WorkersEndWhenTheControlIsDestroyed) {
    SlowLines();
    com::UniqueSafeArray ring = ByteArray({1024, 64, 4});
    const int threads = test::ThreadCount();
    ASSERT_EQ(control_->StartLSPassthru(-1, ArrayArg(ring), VARIANT_TRUE), S_OK);
    ASSERT_TRUE(WaitFor([&] { return sink_->Count() >= 1; }));
    point_.Reset();
    control_.Reset();
    dispatch_.Reset(); // the last reference
    EXPECT_EQ(test::ThreadCount(), threads);
    const size_t heard = sink_->Count();
    Sleep(60);
    EXPECT_EQ(sink_->Count(), heard);
}

TEST_F(LineScan, StopWithoutPassthruIsTheDriversAnswer) {
    const int threads = test::ThreadCount();
    simulator_.Port().FailNext(msg::STM_LS_STOP_PASSTHRU, 0x84000107);
    EXPECT_EQ(control_->StopLSPassthru() & 0xFFFF0000, static_cast<HRESULT>(0x80040000));
    EXPECT_EQ(control_->StopLSPassthru(), S_OK);
    EXPECT_EQ(test::ThreadCount(), threads);
}

// ---- Drawing ----

TEST_F(LineScan, DrawnLinesReachTheWindowFromAPrivateCopy) {
    HWND window = CreateWindowExW(0, L"STATIC", L"lines", WS_POPUP | WS_VISIBLE, 0, 0, 320, 200,
                                  nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    test::PumpMessages();
    com::UniqueSafeArray lines = ByteArray({256, 64});
    {
        com::SafeArrayData<uint8_t> data(lines.Get());
        for (uint32_t n = 0; n < 64; ++n)
            for (uint32_t x = 0; x < 256; ++x)
                data.Data()[n * 256 + x] = Picture(x, n);
    }
    simulator_.Port().StartTrace();
    ASSERT_EQ(control_->DrawAcquiredLines(HandleToLong(window), ArrayArg(lines), 10, 20), S_OK);
    const auto draws = Sent(msg::STM_LS_DRAW_ACQUIRED_LINES);
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].Param1, reinterpret_cast<uintptr_t>(window));
    const auto block = test::BlockOf<imaging::LineDrawBlock>(draws[0]);
    EXPECT_EQ(block.ByteCount, 256u * 64u);
    EXPECT_EQ(block.One, 1u);
    EXPECT_EQ(block.Width, 256u);
    EXPECT_EQ(block.Height, 64u);
    EXPECT_EQ(block.OriginX, 10);
    EXPECT_EQ(block.OriginY, 20);
    {
        com::SafeArrayData<uint8_t> data(lines.Get());
        EXPECT_NE(block.Pixels, data.Data());
    }
    const COLORREF pixel = test::PixelOf(window, 10 + 100, 20 + 30);
    EXPECT_EQ(GetRValue(pixel), Picture(100, 30));
    EXPECT_EQ(GetBValue(pixel), Picture(100, 30));
    DestroyWindow(window);
}

// ---- Line arrays ----

TEST(LineArrays, GeometryComesFromTheStoredBounds) {
    com::UniqueSafeArray plane = ByteArray({2048, 100});
    const auto lines = core::LinesOf(plane.Get());
    ASSERT_TRUE(lines);
    EXPECT_EQ(lines->width, 2048u);
    EXPECT_EQ(lines->lines, 100u);
    com::UniqueSafeArray ring = ByteArray({1024, 64, 4});
    const auto buffers = core::LineBuffersOf(ring.Get());
    ASSERT_TRUE(buffers);
    EXPECT_EQ(buffers->width, 1024u);
    EXPECT_EQ(buffers->lines, 64u);
    EXPECT_EQ(buffers->buffers, 4u);
    EXPECT_EQ(buffers->BufferBytes(), 65536u);
    EXPECT_FALSE(core::LineBuffersOf(plane.Get()));
    com::UniqueSafeArray full = ByteArray({1, 1, 1024});
    EXPECT_TRUE(core::LineBuffersOf(full.Get()));
    com::UniqueSafeArray words = ByteArray({8, 2}, VT_I4); // plain numbers: raw bytes are fine
    EXPECT_TRUE(core::LinesOf(words.Get()));
}

} // namespace
