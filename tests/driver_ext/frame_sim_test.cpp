// Frames, acquisition, passthru and surfaces as the simulated board receives them: blocks
// byte for byte, argument and window checks that send nothing, statuses of failed messages.
#include "frame_messages.h"
#include "passthru_messages.h"
#include "sim_board.h"
#include "surface_messages.h"

#include <functional>

namespace imaging {
namespace {

using ByteList = std::vector<uint8_t>;

class FrameMessages : public SimBoard {};

TEST_F(FrameMessages, AllocateFrameAsTheControlSendsIt) {
    FrameHandle frame = 0;
    STM_ALLOCATE_FRAME(driver_, STC_FG_DEV_MEM_VOLATILE, STC_FG_ANY_FRAME_ID, &frame);
    EXPECT_EQ(Sent(msg::STM_ALLOCATE_FRAME).Param1, 0xFFFF0001u);
}

TEST_F(FrameMessages, PlainFrameListTravelsInItsOwnBlock) {
    const FrameHandle frames[] = {0x11, 0x22, 0x33};
    STM_ACQUIRE_MULTIPLE(driver_, 3, frames);
    const KvTraceRecord r = Sent(msg::STM_ACQUIRE_MULTIPLE);
    EXPECT_EQ(r.Param1, 3u);
    EXPECT_EQ(Bytes(r), (ByteList{0x11, 0, 0, 0, 0x22, 0, 0, 0, 0x33, 0, 0, 0}));
    EXPECT_NE(r.Param2, reinterpret_cast<uintptr_t>(frames)) << "a copy, not the caller's array";
}

TEST_F(FrameMessages, CountedFrameListOfThreeIsSixteenBytes) {
    const FrameHandle frames[] = {0x0101, 0x0202, 0x0303};
    JobId job = 0;
    STM_START_ASYNC_ACQUIRE_MULTIPLE(driver_, 3, frames, &job);
    const KvTraceRecord r = Sent(msg::STM_START_ASYNC_ACQUIRE_MULTIPLE);
    EXPECT_EQ(Bytes(r), (ByteList{3, 0, 0, 0, 1, 1, 0, 0, 2, 2, 0, 0, 3, 3, 0, 0}));
    EXPECT_NE(r.Param2, 0u); // the job id's descriptor
}

TEST_F(FrameMessages, EmptyFrameListsAreRefusedBeforeAnythingIsSent) {
    const FrameHandle frames[] = {1};
    JobId job = 9;
    EXPECT_EQ(STM_START_ASYNC_ACQUIRE_MULTIPLE(driver_, 0, frames, &job), STC_STS_RANGE);
    EXPECT_EQ(STM_ACQUIRE_MULTIPLE(driver_, 0, frames), STC_STS_RANGE);
    EXPECT_EQ(job, 9u);
    EXPECT_TRUE(Trace().empty());
}

TEST_F(FrameMessages, ListOfOneFrameIsNoList) {
    const FrameHandle frame = 0x4711;
    AcquireFrameList(driver_, 1, &frame);
    const KvTraceRecord r = Sent(msg::STM_ACQUIRE_FRAME);
    EXPECT_EQ(r.Param1, 0u);
    EXPECT_EQ(r.Param2, 0x4711u);
    JobId job = 0;
    StartAsyncAcquireFrameList(driver_, 1, &frame, &job);
    EXPECT_EQ(Sent(msg::STM_START_ASYNC_ACQUIRE).Param1, 0x4711u);
    for (const KvTraceRecord& rec : Trace()) {
        EXPECT_NE(rec.Message, msg::STM_ACQUIRE_MULTIPLE);
        EXPECT_NE(rec.Message, msg::STM_START_ASYNC_ACQUIRE_MULTIPLE);
    }
}

TEST_F(FrameMessages, SeveralFramesGoAsAList) {
    const FrameHandle frames[] = {7, 8};
    AcquireFrameList(driver_, 2, frames);
    EXPECT_EQ(Sent(msg::STM_ACQUIRE_MULTIPLE).Param1, 2u);
}

TEST_F(FrameMessages, RectangleAndCopyBlocks) {
    uint8_t pixels[16] = {};
    STM_READ_FRAME_RECT(driver_, 5, 1, 2, 4, 4, pixels, sizeof(pixels));
    EXPECT_EQ(Bytes(Sent(msg::STM_READ_FRAME_RECT)),
              (ByteList{5, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 4, 0, 0, 0, 4, 0, 0, 0}));
    STM_WRITE_FRAME_RECT(driver_, 6, 0, 0, 4, 4, pixels);
    const KvTraceRecord write = Sent(msg::STM_WRITE_FRAME_RECT);
    EXPECT_EQ(write.Block[0], 6);
    EXPECT_EQ(write.Param2, reinterpret_cast<uintptr_t>(pixels)) << "the pixels themselves";
    STM_COPY_FRAME_RECT(driver_, 1, 2, 3, 4, 5, 6, 7, 8);
    EXPECT_EQ(Bytes(Sent(msg::STM_COPY_FRAME_RECT)),
              (ByteList{1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0,
                        5, 0, 0, 0, 6, 0, 0, 0, 7, 0, 0, 0, 8, 0, 0, 0}));
}

TEST_F(FrameMessages, FailedMessageReportsTheTranslatedLastStatus) {
    FailNext(msg::STM_DESTROY_FRAME, drv::STS_INVALIDFRAMEHANDLE);
    EXPECT_EQ(STM_DESTROY_FRAME(driver_, 3), STC_STS_INVALIDFRAMEHANDLE);
    // Standard messages pass a device-dependent driver status on unchanged.
    FailNext(msg::STM_DESTROY_FRAME, drv::STS_DEVICE_DEPENDENT_1);
    EXPECT_EQ(STM_DESTROY_FRAME(driver_, 3), drv::STS_DEVICE_DEPENDENT_1);
    // A failure whose last status is 0 counts as a success.
    FailNext(msg::STM_DESTROY_FRAME, 0);
    EXPECT_EQ(STM_DESTROY_FRAME(driver_, 3), STC_STS_NORMAL);
}

TEST_F(FrameMessages, FailedListMessageReportsItsStatusAfterTheBlockIsGone) {
    const FrameHandle frames[] = {1, 2};
    FailNext(msg::STM_ACQUIRE_MULTIPLE, drv::STS_TIMEOUT);
    EXPECT_EQ(STM_ACQUIRE_MULTIPLE(driver_, 2, frames), STC_STS_TIMEOUT);
    const std::vector<KvTraceRecord> trace = Trace();
    ASSERT_EQ(trace.size(), 2u);
    EXPECT_EQ(trace[0].Message, msg::STM_ACQUIRE_MULTIPLE);
    EXPECT_EQ(trace[1].Message, msg::STM_GET_LAST_STATUS);
}

TEST_F(FrameMessages, FailedMessagesLeaveTheAnswersAlone) {
    FailNext(msg::STM_ALLOCATE_FRAME, drv::STS_NOMEM);
    FrameHandle frame = 99;
    EXPECT_EQ(STM_ALLOCATE_FRAME(driver_, 1, 0xFFFF, &frame), STC_STS_NOMEM);
    EXPECT_EQ(frame, 99u);
    FailNext(msg::STM_GET_FRAME_INFO, drv::STS_INVALIDFRAMEHANDLE);
    FrameInfo info{};
    info.Width = 123;
    EXPECT_EQ(STM_GET_FRAME_INFO(driver_, 1, &info), STC_STS_INVALIDFRAMEHANDLE);
    EXPECT_EQ(info.Width, 123);
}

TEST_F(FrameMessages, FailedStopPassthruReportsTheMessagesOwnStatus) {
    FailNext(msg::STM_STOP_PASSTHRU, drv::STS_INVALIDJOBHANDLE);
    STT_APISTATUS jobStatus = 0x12345678;
    EXPECT_EQ(STM_STOP_PASSTHRU(driver_, 77, &jobStatus), STC_STS_INVALIDJOBHANDLE);
    EXPECT_EQ(Sent(msg::STM_STOP_PASSTHRU).Param1, 77u);
    EXPECT_EQ(jobStatus, 0u) << "the driver wrote no job status; none is handed over";
}

// ---- Checks that send nothing ------------------------------------------------------------

struct CheckedCall {
    const char* name;
    STT_APISTATUS expected;
    std::function<STT_APISTATUS(HDRVR)> call;
};

void PrintTo(const CheckedCall& call, std::ostream* out) {
    *out << call.name;
}

const HWND kNoWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x5A5A0));
const FrameHandle gFrames[2] = {1, 2};

const CheckedCall kRefusedCalls[] = {
    {"AllocateFrame", STC_STS_NULL, [](HDRVR d) { return STM_ALLOCATE_FRAME(d, 1, 1, nullptr); }},
    {"MapFrame", STC_STS_NULL, [](HDRVR d) { return STM_MAP_FRAME(d, 1, nullptr); }},
    {"UnmapFrame", STC_STS_NULL, [](HDRVR d) { return STM_UNMAP_FRAME(d, 1, nullptr); }},
    {"GetFrameInfo", STC_STS_NULL, [](HDRVR d) { return STM_GET_FRAME_INFO(d, 1, nullptr); }},
    {"ReadFrameRect", STC_STS_NULL,
     [](HDRVR d) { return STM_READ_FRAME_RECT(d, 1, 0, 0, 1, 1, nullptr, 1); }},
    {"WriteFrameRect", STC_STS_NULL,
     [](HDRVR d) { return STM_WRITE_FRAME_RECT(d, 1, 0, 0, 1, 1, nullptr); }},
    {"AcquireMultiple", STC_STS_NULL, [](HDRVR d) { return STM_ACQUIRE_MULTIPLE(d, 2, nullptr); }},
    {"StartAsyncAcquire", STC_STS_NULL,
     [](HDRVR d) { return STM_START_ASYNC_ACQUIRE(d, 1, nullptr); }},
    {"StartAsyncAcquireMultipleFrames", STC_STS_NULL,
     [](HDRVR d) {
         JobId job;
         return STM_START_ASYNC_ACQUIRE_MULTIPLE(d, 2, nullptr, &job);
     }},
    {"StartAsyncAcquireMultipleJob", STC_STS_NULL,
     [](HDRVR d) { return STM_START_ASYNC_ACQUIRE_MULTIPLE(d, 2, gFrames, nullptr); }},
    {"IsAsyncAcquireDone", STC_STS_NULL,
     [](HDRVR d) {
         uint32_t done, bytes;
         return STM_IS_ASYNC_ACQUIRE_DONE(d, 1, &done, nullptr, &bytes);
     }},
    {"StopAsyncAcquire", STC_STS_NULL,
     [](HDRVR d) { return STM_STOP_ASYNC_ACQUIRE(d, 1, nullptr); }},
    {"QueryPassthruCaps", STC_STS_NULL,
     [](HDRVR d) { return STM_QUERY_PASSTHRU_CAPS(d, STC_FG_PC_DOES_SCALING, nullptr, 4); }},
    {"SetPassthruScaling", STC_STS_NULL,
     [](HDRVR d) {
         int32_t w;
         return STM_SET_PASSTHRU_SCALING(d, 320, 240, &w, nullptr);
     }},
    {"GetPassthruSourceOrigin", STC_STS_NULL,
     [](HDRVR d) {
         int32_t x;
         return STM_GET_PASSTHRU_SOURCE_ORIGIN(d, &x, nullptr);
     }},
    {"LoadPassthruLut", STC_STS_NULL,
     [](HDRVR d) { return STM_LOAD_PASSTHRU_LUT(d, 0, 256, nullptr); }},
    {"ExtendPassthruPalette", STC_STS_NULL,
     [](HDRVR d) { return STM_EXTEND_PASSTHRU_PALETTE(d, 0, 16, nullptr); }},
    {"GetSyncEvent", STC_STS_NULL, [](HDRVR d) { return STM_GET_SYNC_EVENT(d, nullptr); }},
    {"CreateSurface", STC_STS_NULL,
     [](HDRVR d) { return STM_CREATE_SURFACE(d, 64, 64, 0, nullptr); }},
    {"GetSurfaceDC", STC_STS_NULL, [](HDRVR d) { return STM_GET_SURFACE_DC(d, 1, nullptr); }},
    {"StopPassthru", STC_STS_NULL, [](HDRVR d) { return STM_STOP_PASSTHRU(d, 1, nullptr); }},
    {"StartAsyncPassthruJob", STC_STS_NULL,
     [](HDRVR d) { return STM_START_ASYNC_PASSTHRU(d, GetDesktopWindow(), 1, nullptr); }},
    {"StartPassthruNoWindow", STC_STS_INVALIDHWND,
     [](HDRVR d) { return STM_START_PASSTHRU(d, kNoWindow, 1); }},
    {"StartPassthruNullWindow", STC_STS_INVALIDHWND,
     [](HDRVR d) { return STM_START_PASSTHRU(d, nullptr, 1); }},
    {"StartAsyncPassthruNoWindow", STC_STS_INVALIDHWND,
     [](HDRVR d) {
         JobId job;
         return STM_START_ASYNC_PASSTHRU(d, kNoWindow, 1, &job);
     }},
    {"DrawAcquiredFrameNoWindow", STC_STS_INVALIDHWND,
     [](HDRVR d) { return STM_DRAW_ACQUIRED_FRAME(d, 1, kNoWindow); }},
};

class RefusedCall : public SimBoard, public ::testing::WithParamInterface<CheckedCall> {};

TEST_P(RefusedCall, SendsNothing) {
    EXPECT_EQ(GetParam().call(driver_), GetParam().expected);
    EXPECT_TRUE(Trace().empty());
}

INSTANTIATE_TEST_SUITE_P(Frames, RefusedCall, ::testing::ValuesIn(kRefusedCalls),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Windows and passthru ----------------------------------------------------------------

class PassthruMessages : public SimBoard {
protected:
    void SetUp() override {
        SimBoard::SetUp();
        window_ = CreateWindowExW(0, L"STATIC", L"passthru", WS_POPUP, 0, 0, 64, 48, nullptr,
                                  nullptr, nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
    }
    void TearDown() override {
        if (window_) DestroyWindow(window_);
        SimBoard::TearDown();
    }
    HWND window_ = nullptr;
};

TEST_F(PassthruMessages, LiveWindowIsSentInTheWindowBlock) {
    STM_START_PASSTHRU(driver_, window_, 0x31);
    const WindowBlock block = BlockAs<WindowBlock>(Sent(msg::STM_START_PASSTHRU));
    EXPECT_EQ(block.Window, window_);
    EXPECT_EQ(block.Frame, 0x31u);
    STM_DRAW_ACQUIRED_FRAME(driver_, 0x32, window_);
    const KvTraceRecord draw = Sent(msg::STM_DRAW_ACQUIRED_FRAME);
    EXPECT_EQ(draw.Param1, 0x32u);
    EXPECT_EQ(draw.Param2, reinterpret_cast<uintptr_t>(window_));
}

TEST_F(PassthruMessages, WindowThatIsGoneIsRefused) {
    DestroyWindow(window_);
    const HWND gone = window_;
    window_ = nullptr;
    EXPECT_EQ(STM_START_PASSTHRU(driver_, gone, 1), STC_STS_INVALIDHWND);
    EXPECT_TRUE(Trace().empty());
}

TEST_F(PassthruMessages, ExtendedPassthruBlockInFieldOrder) {
    const FrameHandle frames[] = {4, 5};
    static int32_t counters[kFrameSlots];
    HANDLE event = nullptr;
    JobId job = 0;
    STM_START_PASSTHRU_EX(driver_, window_, frames, counters, 2, &event, &job);
    const ExtPassthruBlock block = BlockAs<ExtPassthruBlock>(Sent(msg::STM_START_PASSTHRU_EX));
    EXPECT_EQ(block.Window, window_);
    EXPECT_EQ(block.Frames, frames);
    EXPECT_EQ(block.Counters, counters);
    EXPECT_EQ(block.FrameCount, 2u);
    EXPECT_EQ(block.SyncEvent, &event);
    EXPECT_EQ(block.Reserved, 0u);
    EXPECT_EQ(block.Job, &job);
}

TEST_F(PassthruMessages, PairBlocks) {
    int32_t w = 0, h = 0;
    STM_SET_PASSTHRU_SCALING(driver_, 320, 240, &w, &h);
    EXPECT_EQ(Bytes(Sent(msg::STM_SET_PASSTHRU_SCALING)), (ByteList{0x40, 1, 0, 0, 0xF0, 0, 0, 0}));
    STM_SET_PASSTHRU_SOURCE_ORIGIN(driver_, -1, 2);
    EXPECT_EQ(Bytes(Sent(msg::STM_SET_PASSTHRU_SOURCE_ORIGIN)),
              (ByteList{0xFF, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0}));
    const uint8_t lut[16] = {};
    STM_LOAD_PASSTHRU_LUT(driver_, 8, 16, lut);
    const KvTraceRecord load = Sent(msg::STM_LOAD_PASSTHRU_LUT);
    EXPECT_EQ(Bytes(load), (ByteList{8, 0, 0, 0, 16, 0, 0, 0}));
    EXPECT_EQ(load.Param2, reinterpret_cast<uintptr_t>(lut));
}

// ---- Surfaces ------------------------------------------------------------------------------

class SurfaceMessages : public SimBoard {};

TEST_F(SurfaceMessages, ColorKeyIsSentWithRedAndBlueExchanged) {
    STM_SET_SURFACE_COLOR_KEY(driver_, 3, 0x000000FF);
    const KvTraceRecord r = Sent(msg::STM_SET_SURFACE_COLOR_KEY);
    EXPECT_EQ(r.Param1, 3u);
    EXPECT_EQ(BlockAs<uint32_t>(r), 0x00FF0000u);
}

TEST_F(SurfaceMessages, BlocksAndFlags) {
    SurfaceHandle surface = 0;
    STM_CREATE_SURFACE(driver_, 64, 32, 0, &surface);
    EXPECT_EQ(Bytes(Sent(msg::STM_CREATE_SURFACE)), (ByteList{64, 0, 0, 0, 32, 0, 0, 0}));
    STM_OVERLAY_SURFACE_ON_FRAME(driver_, 2, 9, true);
    const KvTraceRecord overlay = Sent(msg::STM_OVERLAY_SURFACE_ON_FRAME);
    EXPECT_EQ(Bytes(overlay), (ByteList{2, 0, 0, 0, 9, 0, 0, 0}));
    EXPECT_EQ(overlay.Param2, 1u);
    STM_ERASE_SURFACE(driver_, 6);
    const KvTraceRecord erase = Sent(msg::STM_ERASE_SURFACE);
    EXPECT_EQ(erase.Param1, 0u);
    EXPECT_EQ(erase.Param2, 6u);
}

TEST_F(SurfaceMessages, FailedCreationLeavesTheHandleAlone) {
    FailNext(msg::STM_CREATE_SURFACE, drv::STS_NO_MORE_SURFACE);
    SurfaceHandle surface = 5;
    EXPECT_EQ(STM_CREATE_SURFACE(driver_, 64, 32, 0, &surface), STC_STS_NO_MORE_SURFACE);
    EXPECT_EQ(surface, 5u);
}

} // namespace
} // namespace imaging
