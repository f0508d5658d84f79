// Frames, acquisition, events, bitmap files and drawing through the installed control and the
// simulated boards.
#include "frames_fixture.h"
#include "thread_count.h"

#include <atomic>

namespace {

using namespace frames_test;
using Microsoft::WRL::ComPtr;

// ---- The frame table ----

TEST_F(Frames, AllocateAndDestroyMoveTheActiveFrame) {
    Open(L"SIM7100");
    test::Notifications notes(control_.Get());
    EXPECT_EQ(Allocate(), 0);
    EXPECT_EQ(Allocate(), 1);
    EXPECT_EQ(Allocate(), 2);
    EXPECT_EQ(Active(), 2);
    EXPECT_EQ(control_->DestroyFrame(2), S_OK);
    EXPECT_EQ(Active(), 1);
    EXPECT_EQ(control_->DestroyFrame(0), S_OK);
    EXPECT_EQ(Active(), 1);
    EXPECT_EQ(control_->DestroyFrame(1), S_OK);
    EXPECT_EQ(Active(), -1);
    LONG count = -1, width = 0;
    control_->get_FrameCount(&count);
    control_->get_FrameWidth(&width);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(width, 640); // the default frame settings again
    const std::vector<DISPID>& changed = notes.Changed();
    EXPECT_NE(std::find(changed.begin(), changed.end(), (2 << 16) + 300), changed.end());
    EXPECT_NE(std::find(changed.begin(), changed.end(), (2 << 16) + 301), changed.end());
    EXPECT_NE(std::find(changed.begin(), changed.end(), 305), changed.end());
}

TEST_F(Frames, FreedSlotIsReusedAndBadIndexesRefused) {
    Open(L"SIM7100");
    Allocate();
    Allocate();
    Allocate();
    EXPECT_EQ(control_->DestroyFrame(1), S_OK);
    EXPECT_EQ(Allocate(), 1);
    EXPECT_EQ(control_->DestroyFrame(-1), E_INVALIDARG);
    EXPECT_EQ(control_->DestroyFrame(1024), E_INVALIDARG);
    EXPECT_EQ(control_->put_ActiveFrame(7), E_INVALIDARG);
    EXPECT_EQ(control_->put_ActiveFrame(0), S_OK);
    EXPECT_EQ(Active(), 0);
}

TEST_F(Frames, TableHoldsTenTwentyFourFrames) {
    Open(L"SIM7100");
    LONG index = -1;
    for (LONG i = 0; i < 1024; ++i) {
        ASSERT_EQ(control_->AllocateFrame(0, 0, 16, 16, -1, -1, DefaultFrame, DefaultImage, &index),
                  S_OK)
            << i;
        ASSERT_EQ(index, i);
    }
    EXPECT_EQ(control_->AllocateFrame(0, 0, 16, 16, -1, -1, DefaultFrame, DefaultImage, &index),
              DISP_E_EXCEPTION);
    EXPECT_EQ(test::TakeErrorInfo().description, L"No frames available");
    LONG count = 0;
    control_->get_FrameCount(&count);
    EXPECT_EQ(count, 1024);
    EXPECT_EQ(control_->DestroyFrame(500), S_OK);
    EXPECT_EQ(control_->AllocateFrame(0, 0, 16, 16, -1, -1, DefaultFrame, DefaultImage, &index),
              S_OK);
    EXPECT_EQ(index, 500);
}

TEST_F(Frames, ScaleOutsideOneToHundredAllocatesNothing) {
    Open(L"SIM7100");
    LONG index = -1, count = -1;
    EXPECT_EQ(control_->AllocateFrame(-1, -1, -1, -1, 0, -1, DefaultFrame, DefaultImage, &index),
              E_INVALIDARG);
    EXPECT_EQ(control_->AllocateFrame(-1, -1, -1, -1, 101, -1, DefaultFrame, DefaultImage, &index),
              E_INVALIDARG);
    control_->get_FrameCount(&count);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(control_->AllocateFrame(-1, -1, -1, -1, -1, -1, DefaultFrame, DefaultImage, nullptr),
              E_POINTER);
}

TEST_F(Frames, HalfScaleDecimatesInSoftware) {
    Open(L"SIM7100");
    Allocate(50);
    LONG scale = 0, width = 0;
    control_->get_FrameHorizontalScale(&scale);
    control_->get_FrameWidth(&width);
    EXPECT_EQ(scale, 50);
    EXPECT_EQ(width, 640);
    test::Notifications notes(control_.Get());
    EXPECT_EQ(control_->put_FrameVerticalScale(30), S_OK);
    control_->get_FrameVerticalScale(&scale);
    EXPECT_EQ(scale, 100); // the put changes the defaults, not the active frame
    EXPECT_EQ(notes.Changed(), std::vector<DISPID>{316});
}

TEST_F(Frames, StorageModeNeedsTheColorInterface) {
    Open(L"SIM7100");
    LONG index = -1;
    EXPECT_EQ(control_->AllocateFrame(-1, -1, -1, -1, -1, -1, DefaultFrame, RGB32Image, &index),
              E_INVALIDARG);
}

TEST_F(Frames, ReadFrameExGivesRowsAlongTheFirstDimension) {
    Open(L"SIM7100");
    const LONG frame = Allocate();
    VARIANT missing;
    V_VT(&missing) = VT_ERROR;
    V_ERROR(&missing) = DISP_E_PARAMNOTFOUND;
    ASSERT_EQ(control_->AcquireFrames(1, test::Long(frame), VARIANT_FALSE), S_OK);
    VARIANT data;
    VariantInit(&data);
    ASSERT_EQ(control_->ReadFrameEx(-1, 0, 0, 640, 480, &data), S_OK);
    ASSERT_EQ(V_VT(&data), VT_ARRAY | VT_UI1);
    SAFEARRAY* array = V_ARRAY(&data);
    LONG upper = 0;
    SafeArrayGetUBound(array, 1, &upper);
    EXPECT_EQ(upper, 639);
    SafeArrayGetUBound(array, 2, &upper);
    EXPECT_EQ(upper, 479);
    VariantClear(&data);
    // A zero-sized rectangle still hands back an (empty) array.
    EXPECT_EQ(control_->ReadFrameEx(-1, 0, 0, 0, 480, &data), E_INVALIDARG);
    EXPECT_EQ(V_VT(&data), VT_ARRAY | VT_UI1);
    VariantClear(&data);
}

TEST_F(Frames, ArraysTooSmallOrNotPlainNumbersAreRefused) {
    Open(L"SIM7100");
    Allocate();
    VARIANT small = LongArray(std::vector<LONG>(100));
    EXPECT_EQ(control_->ReadFrame(-1, 0, 0, 640, 480, small), E_INVALIDARG);
    EXPECT_EQ(control_->WriteFrame(-1, 0, 0, 640, 480, small), E_INVALIDARG);
    EXPECT_EQ(control_->ReadFrame(-1, 0, 0, 20, 20, small), S_OK); // 400 bytes fit
    VariantClear(&small);
    EXPECT_EQ(control_->ReadFrame(-1, 0, 0, 4, 4, test::Long(5)), E_INVALIDARG);
}

// A script's array holds one byte of the rectangle per VARIANT element: converted on the way
// in, written back as bytes, and never touched past the rectangle.
TEST_F(Frames, ScriptArraysCarryOneByteOfTheRectanglePerElement) {
    Open(L"SIM7100");
    Allocate();
    const auto callFrame = [&](const wchar_t* member, VARIANT& array) {
        return test::Invoke(dispatch_.Get(), member,
                            {test::Long(-1), test::Long(8), test::Long(8), test::Long(4),
                             test::Long(4), test::RefTo(&array)});
    };
    const auto rectangle = [&] {
        const std::vector<uint8_t> frame = ReadAll(-1, 640, 480, 1);
        std::vector<LONG> bytes;
        for (size_t y = 8; y < 12; ++y)
            for (size_t x = 8; x < 12; ++x)
                bytes.push_back(frame[y * 640 + x]);
        return bytes;
    };
    std::vector<LONG> values(16);
    for (LONG i = 0; i < 16; ++i)
        values[i] = (i * 37 + 200) % 256;
    values.push_back(99); // past the rectangle
    VARIANT written = LongArray(values, VT_VARIANT);
    ASSERT_EQ(callFrame(L"WriteFrame", written).hr, S_OK);
    EXPECT_EQ(rectangle(), std::vector<LONG>(values.begin(), values.end() - 1));

    VARIANT back = LongArray(std::vector<LONG>(17, 99), VT_VARIANT);
    ASSERT_EQ(callFrame(L"ReadFrame", back).hr, S_OK);
    {
        com::SafeArrayData<VARIANT> read(V_ARRAY(&back));
        ASSERT_TRUE(read.Ok());
        for (size_t i = 0; i < 16; ++i) {
            EXPECT_EQ(V_VT(&read.Data()[i]), VT_UI1) << i;
            EXPECT_EQ(V_UI1(&read.Data()[i]), values[i]) << i;
        }
        EXPECT_EQ(V_VT(&read.Data()[16]), VT_I4);
        EXPECT_EQ(V_I4(&read.Data()[16]), 99);
    }

    // Refused before anything reaches the frame, and every array left unlocked.
    const com::UniqueBstr abc(L"abc");
    const struct {
        const char* what;
        size_t elements;
        VARIANT third;
    } refusals[] = {{"a string", 16, test::Text(abc.Get())},
                    {"a value above a byte", 16, test::Long(256)},
                    {"fewer elements than the rectangle's bytes", 15, test::Long(1)}};
    for (const auto& refusal : refusals) {
        VARIANT bad = LongArray(std::vector<LONG>(refusal.elements, 5), VT_VARIANT);
        {
            com::SafeArrayData<VARIANT> items(V_ARRAY(&bad));
            ASSERT_TRUE(items.Ok());
            VariantCopy(&items.Data()[2], const_cast<VARIANT*>(&refusal.third));
        }
        EXPECT_EQ(control_->WriteFrame(-1, 8, 8, 4, 4, bad), E_INVALIDARG) << refusal.what;
        EXPECT_EQ(rectangle(), std::vector<LONG>(values.begin(), values.end() - 1))
            << refusal.what;
        if (refusal.elements < 16) {
            EXPECT_EQ(control_->ReadFrame(-1, 8, 8, 4, 4, bad), E_INVALIDARG) << refusal.what;
        }
        EXPECT_EQ(V_ARRAY(&bad)->cLocks, 0u) << refusal.what;
        VariantClear(&bad);
    }
    VariantClear(&written);
    VariantClear(&back);
}

TEST_F(Frames, WriteThenReadAndCopyRoundTrip) {
    Open(L"SIM7100");
    const LONG first = Allocate();
    const LONG second = Allocate();
    std::vector<LONG> words(4);
    for (LONG i = 0; i < 4; ++i)
        words[i] = 0x04030201 * (i + 1);
    VARIANT pixels = LongArray(words);
    ASSERT_EQ(control_->WriteFrame(first, 8, 8, 4, 4, pixels), S_OK);
    ASSERT_EQ(control_->CopyFrameRect(first, 8, 8, 4, 4, second, 0, 0), S_OK);
    VARIANT back = LongArray(std::vector<LONG>(4));
    ASSERT_EQ(control_->ReadFrame(second, 0, 0, 4, 4, back), S_OK);
    com::SafeArrayData<LONG> read(V_ARRAY(&back));
    ASSERT_TRUE(read.Ok());
    EXPECT_EQ(std::vector<LONG>(read.Data(), read.Data() + 4), words);
    EXPECT_EQ(control_->CopyFrameRect(first, 0, 0, 4, 4, 9, 0, 0), E_INVALIDARG);
    // Through IDispatch with the array by value, as C++ and .NET-style hosts pass it: the
    // caller's own array is filled, not a copy made for the call.
    VARIANT late = LongArray(std::vector<LONG>(4));
    ASSERT_EQ(test::Invoke(dispatch_.Get(), L"ReadFrame",
                           {test::Long(second), test::Long(0), test::Long(0), test::Long(4),
                            test::Long(4), late})
                  .hr,
              S_OK);
    com::SafeArrayData<LONG> lateRead(V_ARRAY(&late));
    ASSERT_TRUE(lateRead.Ok());
    EXPECT_EQ(std::vector<LONG>(lateRead.Data(), lateRead.Data() + 4), words);
    VariantClear(&pixels);
}

// ---- Acquisition ----

TEST_F(Frames, FrameIdsFormsAndCounts) {
    Open(L"SIM7100");
    Allocate();
    Allocate();
    Allocate();
    VARIANT empty;
    VariantInit(&empty);
    EXPECT_EQ(control_->AcquireFrames(1, empty, VARIANT_FALSE), E_INVALIDARG);
    EXPECT_EQ(control_->AcquireFrames(2, test::Long(0), VARIANT_FALSE), E_INVALIDARG);
    EXPECT_EQ(control_->AcquireFrames(0, test::Long(0), VARIANT_FALSE), E_INVALIDARG);
    EXPECT_EQ(control_->AcquireFrames(1025, test::Long(0), VARIANT_FALSE), E_INVALIDARG);
    VARIANT three = LongArray({0, 1, 2});
    EXPECT_EQ(control_->AcquireFrames(4, three, VARIANT_FALSE), E_INVALIDARG);
    EXPECT_EQ(control_->AcquireFrames(2, three, VARIANT_FALSE), S_OK);
    VARIANT byRef;
    V_VT(&byRef) = VT_BYREF | VT_ARRAY | VT_I4;
    V_ARRAYREF(&byRef) = &V_ARRAY(&three);
    EXPECT_EQ(control_->AcquireFrames(3, byRef, 1), S_OK); // 1 is not true: synchronous
    VARIANT number;
    V_VT(&number) = VT_R8;
    V_R8(&number) = 1.9; // truncated to frame 1
    EXPECT_EQ(control_->AcquireFrames(1, number, VARIANT_FALSE), S_OK);
    for (const VARTYPE type : {VARTYPE{VT_I4}, VARTYPE{VT_I2}, VARTYPE{VT_R8}, VARTYPE{VT_VARIANT},
                               VARTYPE{VT_ARRAY | VT_I4}}) {
        VARIANT nowhere;
        V_VT(&nowhere) = VT_BYREF | type;
        V_BYREF(&nowhere) = nullptr;
        EXPECT_EQ(control_->AcquireFrames(1, nowhere, VARIANT_FALSE), E_INVALIDARG) << type;
    }
    EXPECT_EQ(control_->DestroyFrame(1), S_OK);
    EXPECT_EQ(control_->AcquireFrames(2, three, VARIANT_FALSE), E_INVALIDARG);
    VariantClear(&three);
}

TEST_F(Frames, SynchronousAcquisitionsDeliverNewImages) {
    Open(L"SIM7100");
    const LONG frame = Allocate();
    ASSERT_EQ(control_->AcquireFrames(1, test::Long(frame), VARIANT_FALSE), S_OK);
    const auto first = ReadAll(frame, 4, 1, 1);
    ASSERT_EQ(control_->AcquireFrames(1, test::Long(frame), VARIANT_FALSE), S_OK);
    const auto second = ReadAll(frame, 4, 1, 1);
    EXPECT_EQ(U32At(second, 0), U32At(first, 0) + 1);
}

TEST_F(Frames, StopBeforeAnyAsynchronousJobSendsJobZero) {
    Open(L"SIM7100");
    simulator_.Port().StartTrace();
    STT_APISTATUS status{};
    const HRESULT hr = control_->StopAsyncAcquireFrames(&status);
    const auto stops =
        test::RecordsOf(simulator_.Port().Trace(), imaging::msg::STM_STOP_ASYNC_ACQUIRE);
    ASSERT_EQ(stops.size(), 1u);
    EXPECT_EQ(stops[0].Param1, 0u);
    // The driver's answer decides: it knows no job 0.
    EXPECT_EQ(SUCCEEDED(hr), stops[0].Result == imaging::STC_RV_SUCCESS);
    EXPECT_EQ(control_->StopAsyncAcquireFrames(nullptr), E_POINTER);
}

using test::EventSink;
using test::EventsPoint;
using test::WaitFor;

TEST_F(Frames, AsyncAcquisitionRaisesBothEventsOnTheWorker) {
    Open(L"SIM7100");
    const LONG frame = Allocate();
    ComPtr<EventSink> first, second;
    com::Make(first);
    com::Make(second);
    ComPtr<IConnectionPoint> point = EventsPoint(control_.Get());
    ASSERT_TRUE(point);
    DWORD cookie1 = 0, cookie2 = 0;
    ASSERT_EQ(point->Advise(static_cast<IDispatch*>(first.Get()), &cookie1), S_OK);
    ASSERT_EQ(point->Advise(static_cast<IDispatch*>(second.Get()), &cookie2), S_OK);
    ASSERT_EQ(control_->AcquireFrames(1, test::Long(frame), VARIANT_TRUE), S_OK);
    ASSERT_TRUE(WaitFor([&] { return first->Count() >= 2 && second->Count() >= 2; }));
    Sleep(50); // a second raise would come now
    for (EventSink* sink : {first.Get(), second.Get()}) {
        ASSERT_EQ(sink->events.size(), 2u);
        EXPECT_EQ(sink->events[0].id, 1);
        EXPECT_EQ(sink->events[1].id, 5);
        EXPECT_EQ(sink->events[1].argument, 0);
        EXPECT_NE(sink->events[0].thread, GetCurrentThreadId());
    }
    STT_APISTATUS status{};
    LONG bytes = -1;
    VARIANT_BOOL done = VARIANT_FALSE;
    EXPECT_EQ(control_->IsAsyncAcquireFramesDone(&status, &bytes, &done), S_OK);
    EXPECT_EQ(done, VARIANT_TRUE);
    EXPECT_EQ(control_->IsAsyncAcquireFramesDone(nullptr, &bytes, &done), E_POINTER);
    // AcquireFrames(1, frame) as a script writes it: ASync takes its default, true.
    EXPECT_EQ(
        test::Invoke(dispatch_.Get(), L"AcquireFrames", {test::Long(1), test::Long(frame)}).hr,
        S_OK);
    EXPECT_TRUE(WaitFor([&] { return first->Count() >= 4; }));
    point->Unadvise(cookie1);
    point->Unadvise(cookie2);
}

// One worker watches a run of jobs; no thread of the control or the board outlives the device.
TEST_F(Frames, AsyncWorkersEndWithTheDevice) {
    const int before = test::ThreadCount();
    Open(L"SIM7100");
    const LONG frame = Allocate();
    ComPtr<EventSink> sink;
    com::Make(sink);
    ComPtr<IConnectionPoint> point = EventsPoint(control_.Get());
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(static_cast<IDispatch*>(sink.Get()), &cookie), S_OK);
    for (size_t i = 1; i <= 3; ++i) {
        ASSERT_EQ(control_->AcquireFrames(1, test::Long(frame), VARIANT_TRUE), S_OK);
        ASSERT_TRUE(WaitFor([&] { return sink->Count() >= 2 * i; }));
    }
    ASSERT_EQ(control_->CloseDevice(), S_OK);
    EXPECT_TRUE(WaitFor([&] { return test::ThreadCount() == before; })) << test::ThreadCount();
    point->Unadvise(cookie);
}

// A poll that fails on the worker reaches the host as a failing status in the event.
TEST_F(Frames, FailedPollOnTheWorkerRaisesItsFailure) {
    Open(L"SIM7100");
    const LONG frame = Allocate();
    ComPtr<EventSink> sink;
    com::Make(sink);
    ComPtr<IConnectionPoint> point = EventsPoint(control_.Get());
    ASSERT_TRUE(point);
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(static_cast<IDispatch*>(sink.Get()), &cookie), S_OK);
    simulator_.Port().FailNext(imaging::msg::STM_IS_ASYNC_ACQUIRE_DONE, imaging::drv::STS_BUSY);
    ASSERT_EQ(control_->AcquireFrames(1, test::Long(frame), VARIANT_TRUE), S_OK);
    ASSERT_TRUE(WaitFor([&] { return sink->Count() >= 1; }));
    const EventSink::Event event = sink->Snapshot()[0];
    EXPECT_EQ(event.id, 5) << "OnAcquireNotify2 alone";
    EXPECT_EQ(static_cast<uint32_t>(event.argument), imaging::STC_STS_BUSY);
    point->Unadvise(cookie);
}

TEST_F(Frames, SinkThatDisconnectsDuringAnEventGetsNoMore) {
    Open(L"SIM7100");
    const LONG frame = Allocate();
    ComPtr<EventSink> sink;
    com::Make(sink);
    ComPtr<IConnectionPoint> point = EventsPoint(control_.Get());
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(static_cast<IDispatch*>(sink.Get()), &cookie), S_OK);
    std::atomic<bool> disconnected{false};
    sink->onEvent = [&] {
        if (!disconnected.exchange(true)) point->Unadvise(cookie);
    };
    ASSERT_EQ(control_->AcquireFrames(1, test::Long(frame), VARIANT_TRUE), S_OK);
    ASSERT_TRUE(WaitFor([&] { return sink->Count() >= 1; }));
    VARIANT_BOOL done = VARIANT_FALSE;
    STT_APISTATUS status{};
    LONG bytes = 0;
    ASSERT_TRUE(WaitFor([&] {
        control_->IsAsyncAcquireFramesDone(&status, &bytes, &done);
        return done == VARIANT_TRUE;
    }));
    Sleep(100);
    EXPECT_EQ(sink->Count(), 1u); // OnAcquireNotify only: OnAcquireNotify2 came after Unadvise
}

TEST_F(Frames, DestroyingTheControlWhileAWorkerRunsIsSafe) {
    Open(L"SIM7100");
    LONG timeout = 0;
    control_->put_Timeout(1);
    control_->get_Timeout(&timeout);
    ASSERT_EQ(control_->put_TriggerType(ExternalTrigger), S_OK); // the job waits for a trigger
    const LONG frame = Allocate();
    ComPtr<EventSink> sink;
    com::Make(sink);
    ComPtr<IConnectionPoint> point = EventsPoint(control_.Get());
    DWORD cookie = 0;
    point->Advise(static_cast<IDispatch*>(sink.Get()), &cookie);
    point.Reset();
    ASSERT_EQ(control_->AcquireFrames(1, test::Long(frame), VARIANT_TRUE), S_OK);
    control_.Reset();
    dispatch_.Reset(); // the last reference: the control goes while its worker polls
    Sleep(300);
    EXPECT_EQ(sink->Count(), 0u); // a gone control raises nothing
    // The process is sound: a new control works.
    ComPtr<IDispatch> again = test::CreateControl();
    ASSERT_TRUE(again);
    EXPECT_TRUE(test::OpenBoard(again.Get(), L"SIM7100"));
}

// ---- Bitmap files ----

TEST_F(Frames, MonoFrameSavedBottomUpWithGreyPalette) {
    Open(L"SIM7100");
    const LONG frame = Allocate();
    ASSERT_EQ(control_->AcquireFrames(1, test::Long(frame), VARIANT_FALSE), S_OK);
    const auto pixels = ReadAll(frame, 640, 480, 1);
    const std::wstring name = TempFile(L"corvid_mono.bmp");
    com::UniqueBstr file(name.c_str());
    ASSERT_EQ(control_->SaveAcquiredFrame(frame, file.Get()), S_OK);
    const auto bytes = FileBytes(name);
    ASSERT_EQ(bytes.size(), 1078u + 640u * 480u);
    EXPECT_EQ(U32At(bytes, 10), 1078u);
    EXPECT_EQ(U32At(bytes, 54 + 4 * 200), 0x00C8C8C8u);
    // The file's last row is the frame's first.
    EXPECT_TRUE(std::equal(pixels.begin(), pixels.begin() + 640, bytes.begin() + 1078 + 479 * 640));
    EXPECT_TRUE(std::equal(pixels.end() - 640, pixels.end(), bytes.begin() + 1078));
    HBITMAP loaded = static_cast<HBITMAP>(LoadImageW(nullptr, name.c_str(), IMAGE_BITMAP, 0, 0,
                                                     LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    ASSERT_TRUE(loaded);
    BITMAP info{};
    GetObjectW(loaded, sizeof(info), &info);
    EXPECT_EQ(info.bmWidth, 640);
    EXPECT_EQ(info.bmHeight, 480);
    DeleteObject(loaded);
    DeleteFileW(name.c_str());
    EXPECT_EQ(control_->SaveAcquiredFrame(5, file.Get()), E_INVALIDARG);
}

TEST_F(Frames, HalfScaleFrameSavedAtHalfSize) {
    Open(L"SIM7100");
    const LONG frame = Allocate(50);
    const std::wstring name = TempFile(L"corvid_half.bmp");
    com::UniqueBstr file(name.c_str());
    ASSERT_EQ(control_->SaveAcquiredFrame(frame, file.Get()), S_OK);
    const auto bytes = FileBytes(name);
    ASSERT_GE(bytes.size(), 54u);
    EXPECT_EQ(U32At(bytes, 18), 320u);
    EXPECT_EQ(bytes.size(), 1078u + 320u * U32At(bytes, 22));
    DeleteFileW(name.c_str());
}

// ---- Drawing and planes ----

TEST_F(Frames, DrawIntoAWindowShowsTheFrame) {
    Open(L"SIM7100");
    const LONG frame = Allocate();
    std::vector<uint8_t> grey(640 * 480, 0x80);
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, 640 * 480);
    {
        com::SafeArrayData<uint8_t> data(array);
        std::copy(grey.begin(), grey.end(), data.Data());
    }
    VARIANT pixels;
    V_VT(&pixels) = VT_ARRAY | VT_UI1;
    V_ARRAY(&pixels) = array;
    ASSERT_EQ(control_->WriteFrame(frame, 0, 0, 640, 480, pixels), S_OK);
    VariantClear(&pixels);

    HWND window = CreateWindowExW(0, L"STATIC", L"draw", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_TRUE(window);
    simulator_.Port().StartTrace();
    EXPECT_EQ(control_->DrawAcquiredFrame(HandleToLong(window), frame), S_OK); // hidden
    EXPECT_TRUE(test::RecordsOf(simulator_.Port().Trace(), kDrawAcquiredFrame).empty());
    ShowWindow(window, SW_SHOW);
    test::PumpMessages();
    EXPECT_EQ(control_->DrawAcquiredFrame(HandleToLong(window), frame), S_OK);
    EXPECT_EQ(test::RecordsOf(simulator_.Port().Trace(), kDrawAcquiredFrame).size(), 1u);
    const COLORREF pixel = test::PixelOf(window, 100, 100);
    EXPECT_EQ(GetRValue(pixel), 0x80);
    EXPECT_EQ(GetGValue(pixel), 0x80);
    DestroyWindow(window);
}

} // namespace
