// Live video of the simulated board: drawing into a real window, the sync events, the
// extended mode, stopping, refused windows, snapshots, scaling, source origin, lookup table
// and palette ranges, and the worker thread's end when the handle closes.
#include "live_support.h"

namespace simtest {
namespace {

constexpr char kMono[] = "kvboard!SIM7100";

uint8_t Grey(COLORREF c) {
    return GetRValue(c);
}

bool IsGrey(COLORREF c) {
    return GetRValue(c) == GetGValue(c) && GetGValue(c) == GetBValue(c);
}

TEST(LiveVideo, DrawsTheMovingRampIntoTheWindow) {
    TestWindow window;
    ASSERT_NE(window.get(), nullptr);
    Driver d(kMono);
    ASSERT_TRUE(d);
    const FrameHandle frame = AllocateFrame(d);
    const HANDLE sync = SyncEvent(d);
    ASSERT_NE(sync, nullptr);
    JobId job = 0;
    ASSERT_EQ(StartAsync(d, window.get(), frame, job), 1);
    EXPECT_NE(job, 0u);

    ASSERT_TRUE(WaitImages(sync, 2));
    const std::vector<COLORREF> before = window.Row(100, 100, 32);
    ASSERT_TRUE(WaitImages(sync, 3));
    const std::vector<COLORREF> after = window.Row(100, 100, 32);
    EXPECT_NE(before, after) << "live video moves";

    uint32_t final = 0;
    ASSERT_EQ(Stop(d, job, final), 1);
    EXPECT_EQ(final, 0u);
    // The last image stays in the window: the diagonal ramp (X + Y + 4n) mod 256 of source 0.
    const std::vector<COLORREF> row = window.Row(100, 100, 64);
    const std::vector<COLORREF> below = window.Row(101, 100, 64);
    for (size_t x = 0; x < row.size(); ++x) {
        ASSERT_TRUE(IsGrey(row[x])) << x;
        EXPECT_NE(row[x], kBackground);
        if (x > 0) {
            EXPECT_EQ(uint8_t(Grey(row[x]) - Grey(row[x - 1])), 1) << x;
        }
        EXPECT_EQ(Grey(below[x]), uint8_t(Grey(row[x]) + 1)) << x;
    }
    EXPECT_EQ(Grey(window.Pixel(300, 200)), uint8_t(Grey(row[0]) + 300));
}

TEST(LiveVideo, SyncEventIsSignalledForEveryImageInEveryMode) {
    TestWindow window;
    Driver d(kMono);
    ASSERT_TRUE(d);
    const FrameHandle frame = AllocateFrame(d);
    const HANDLE sync = SyncEvent(d);
    EXPECT_EQ(SyncEvent(d), sync) << "one event per board";
    ASSERT_EQ(d.Send(msg::STM_GET_SYNC_EVENT, 0, 0), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_NULL);

    EXPECT_EQ(WaitForSingleObject(sync, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "not running";
    ASSERT_EQ(StartSync(d, window.get(), frame), 1);
    EXPECT_TRUE(WaitImages(sync, 10));
    uint32_t final = 0;
    EXPECT_EQ(Stop(d, 0, final), 1) << "job id 0 ends the synchronous passthru";
    EXPECT_EQ(final, 0u);
    ResetEvent(sync);
    EXPECT_EQ(WaitForSingleObject(sync, 200), static_cast<DWORD>(WAIT_TIMEOUT)) << "stopped";

    JobId job = 0;
    ASSERT_EQ(StartAsync(d, window.get(), frame, job), 1);
    EXPECT_TRUE(WaitImages(sync, 10));
    EXPECT_EQ(Stop(d, job, final), 1);
}

TEST(LiveVideo, ExtendedModeFillsTheFramesInTurnAndCountsThem) {
    TestWindow window;
    Driver d(kMono);
    ASSERT_TRUE(d);
    const std::array<FrameHandle, 3> frames{AllocateFrame(d), AllocateFrame(d), AllocateFrame(d)};
    std::vector<int32_t> counters(kFrameSlots, 0);
    HANDLE extSync = nullptr;
    JobId blockJob = 0, answeredJob = 0;
    ExtPassthruBlock block{window.get(), frames.data(), counters.data(), 3, &extSync, 0, &blockJob};
    OutputDescriptor out{sizeof out, sizeof(JobId), 0, &blockJob};
    ASSERT_EQ(d.Send(msg::STM_START_PASSTHRU_EX, reinterpret_cast<LPARAM>(&block),
                     reinterpret_cast<LPARAM>(&out)),
              1);
    answeredJob = blockJob;
    EXPECT_NE(answeredJob, 0u);
    EXPECT_EQ(out.BytesWritten, sizeof(JobId));
    ASSERT_NE(extSync, nullptr);
    EXPECT_NE(extSync, SyncEvent(d)) << "the extended event is its own";

    bool all = false;
    for (int i = 0; i < 30 && !all; ++i) {
        ASSERT_EQ(WaitForSingleObject(extSync, kImageWait), WAIT_OBJECT_0);
        all = counters[0] > 0 && counters[1] > 0 && counters[2] > 0;
    }
    EXPECT_TRUE(all);
    EXPECT_EQ(counters[3], 0) << "only the listed positions count";

    uint32_t final = 0;
    ASSERT_EQ(Stop(d, answeredJob, final), 1);
    EXPECT_EQ(final, 0u);
    std::array<uint32_t, 3> numbers{};
    for (size_t i = 0; i < frames.size(); ++i) {
        const std::vector<uint8_t> pixels = ReadFrame(d, frames[i]);
        numbers[i] = FrameCounter(pixels);
        EXPECT_NE(numbers[i], 0u) << "frame " << i << " was filled";
        EXPECT_EQ(uint8_t(pixels[641] - pixels[640]), 1) << "the ramp, row 1";
    }
    EXPECT_NE(numbers[0], numbers[1]);
    EXPECT_NE(numbers[1], numbers[2]);
}

TEST(LiveVideo, ExtendedStartChecksItsBlock) {
    Driver d(kMono);
    ASSERT_TRUE(d);
    const FrameHandle frame = AllocateFrame(d);
    std::vector<int32_t> counters(kFrameSlots, 0);
    HANDLE extSync = nullptr;
    JobId job = 0;
    const auto start = [&](ExtPassthruBlock block) {
        return d.Send(msg::STM_START_PASSTHRU_EX, reinterpret_cast<LPARAM>(&block), 0);
    };
    EXPECT_EQ(start({nullptr, &frame, counters.data(), 0, &extSync, 0, &job}), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_RANGE);
    EXPECT_EQ(start({nullptr, &frame, nullptr, 1, &extSync, 0, &job}), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_NULL);
    EXPECT_EQ(start({nullptr, &frame, counters.data(), 1, nullptr, 0, &job}), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_NULL) << "no place for the event";
    EXPECT_EQ(start({nullptr, &frame, counters.data(), kFrameSlots + 1, &extSync, 0, &job}), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_RANGE);
    const FrameHandle bogus = frame + 1000;
    EXPECT_EQ(start({nullptr, &bogus, counters.data(), 1, &extSync, 0, &job}), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_INVALIDFRAMEHANDLE);
    EXPECT_EQ(job, 0u);

    // Without a window the frames are still filled.
    ASSERT_EQ(start({nullptr, &frame, counters.data(), 1, &extSync, 0, &job}), 1);
    ASSERT_NE(extSync, nullptr);
    EXPECT_EQ(WaitForSingleObject(extSync, kImageWait), WAIT_OBJECT_0);
    uint32_t final = 0;
    EXPECT_EQ(Stop(d, job, final), 1);
    EXPECT_GT(counters[0], 0);
}

TEST(LiveVideo, StopAnswersTheFinalStatusAndRefusesOtherJobs) {
    TestWindow window;
    Driver d(kMono);
    Driver other(kMono);
    ASSERT_TRUE(d);
    const FrameHandle frame = AllocateFrame(d);
    uint32_t final = 0;
    EXPECT_EQ(Stop(d, 0, final), 0) << "nothing runs";
    EXPECT_EQ(d.LastStatus(), drv::STS_INVALIDJOBHANDLE);
    EXPECT_EQ(final, drv::STS_INVALIDJOBHANDLE) << "the answer is written on failure too";

    JobId job = 0;
    ASSERT_EQ(StartAsync(d, window.get(), frame, job), 1);
    JobId second = 0;
    EXPECT_EQ(StartAsync(d, window.get(), frame, second), 0) << "one live video per board";
    EXPECT_EQ(d.LastStatus(), drv::STS_BUSY);
    EXPECT_EQ(StartSync(other, window.get(), frame), 0);
    EXPECT_EQ(other.LastStatus(), drv::STS_BUSY);
    EXPECT_EQ(Stop(other, job, final), 0) << "the job is the other handle's";
    EXPECT_EQ(other.LastStatus(), drv::STS_INVALIDJOBHANDLE);
    EXPECT_EQ(Stop(d, job + 1, final), 0);
    EXPECT_EQ(Stop(d, 0, final), 0) << "job id 0 is only the synchronous passthru";
    EXPECT_EQ(d.Send(msg::STM_STOP_PASSTHRU, job, 0), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_NULL);

    ASSERT_EQ(Stop(d, job, final), 1);
    EXPECT_EQ(final, 0u);
    EXPECT_EQ(Stop(d, job, final), 0) << "already stopped";
    EXPECT_EQ(final, drv::STS_INVALIDJOBHANDLE);
}

TEST(LiveVideo, SynchronousPassthruIsReplacedByTheNextStartOfItsHandle) {
    TestWindow window;
    Driver d(kMono);
    ASSERT_TRUE(d);
    const FrameHandle frame = AllocateFrame(d);
    const HANDLE sync = SyncEvent(d);
    ASSERT_EQ(StartSync(d, window.get(), frame), 1);
    ASSERT_EQ(StartSync(d, window.get(), frame), 1);
    JobId job = 0;
    ASSERT_EQ(StartAsync(d, window.get(), frame, job), 1) << "the control sends no stop for it";
    EXPECT_TRUE(WaitImages(sync, 2));
    uint32_t final = 0;
    EXPECT_EQ(Stop(d, 0, final), 0) << "the synchronous one is gone";
    EXPECT_EQ(Stop(d, job, final), 1);
}

TEST(LiveVideo, HandlesThatAreNotWindowsAreRefused) {
    Driver d(kMono);
    ASSERT_TRUE(d);
    const FrameHandle frame = AllocateFrame(d);
    const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HWND gone = nullptr;
    {
        TestWindow window;
        gone = window.get();
    }
    for (HWND notWindow : {static_cast<HWND>(nullptr), reinterpret_cast<HWND>(event), gone}) {
        JobId job = 0;
        EXPECT_EQ(StartAsync(d, notWindow, frame, job), 0);
        EXPECT_EQ(d.LastStatus(), drv::STS_INVALIDHWND);
        EXPECT_EQ(job, 0u);
        EXPECT_EQ(StartSync(d, notWindow, frame), 0);
        EXPECT_EQ(d.LastStatus(), drv::STS_INVALIDHWND);
    }
    std::vector<int32_t> counters(kFrameSlots, 0);
    HANDLE extSync = nullptr;
    JobId job = 0;
    ExtPassthruBlock block{
        reinterpret_cast<HWND>(event), &frame, counters.data(), 1, &extSync, 0, &job};
    EXPECT_EQ(d.Send(msg::STM_START_PASSTHRU_EX, reinterpret_cast<LPARAM>(&block), 0), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_INVALIDHWND);
    CloseHandle(event);

    TestWindow window;
    EXPECT_EQ(StartSync(d, window.get(), frame + 1000), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_INVALIDFRAMEHANDLE);
}

TEST(LiveVideo, SnapshotTakesTheLiveImageOnlyWhileRunning) {
    TestWindow window;
    Driver d(kMono);
    ASSERT_TRUE(d);
    const FrameHandle live = AllocateFrame(d);
    const FrameHandle shot = AllocateFrame(d);
    EXPECT_EQ(d.Send(msg::STM_PASSTHRU_SNAPSHOT, shot), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_PASSTHRU_STOPPED);
    EXPECT_EQ(FrameCounter(ReadFrame(d, shot)), 0u) << "nothing was taken";

    JobId job = 0;
    ASSERT_EQ(StartAsync(d, window.get(), live, job), 1);
    ASSERT_TRUE(WaitImages(SyncEvent(d), 2));
    ASSERT_EQ(d.Send(msg::STM_PASSTHRU_SNAPSHOT, shot), 1);
    EXPECT_EQ(d.Send(msg::STM_PASSTHRU_SNAPSHOT, shot + 1000), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_INVALIDFRAMEHANDLE);
    uint32_t final = 0;
    ASSERT_EQ(Stop(d, job, final), 1);

    const std::vector<uint8_t> pixels = ReadFrame(d, shot);
    const uint32_t number = FrameCounter(pixels);
    EXPECT_GE(number, 2u);
    // The ramp of that image: (X + Y + 4n) mod 256.
    EXPECT_EQ(pixels[640 * 10 + 20], uint8_t(30 + 4 * number));
    EXPECT_EQ(d.Send(msg::STM_PASSTHRU_SNAPSHOT, shot), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_PASSTHRU_STOPPED);
}

TEST(LiveVideo, ScalingCapabilitiesComeFromTheModel) {
    Driver d(kMono);
    Driver plain("kvboard!SIM760X");
    ASSERT_TRUE(d);
    ASSERT_TRUE(plain);
    uint32_t does = 7;
    ASSERT_EQ(d.Ask(msg::STM_QUERY_PASSTHRU_CAPS, STC_FG_PC_DOES_SCALING, does), 1);
    EXPECT_EQ(does, 1u);
    stSTT_LNG_RNG width{}, height{};
    ASSERT_EQ(d.Ask(msg::STM_QUERY_PASSTHRU_CAPS, STC_FG_PC_SCALE_WIDTH_LIMITS, width), 1);
    ASSERT_EQ(d.Ask(msg::STM_QUERY_PASSTHRU_CAPS, STC_FG_PC_SCALE_HEIGHT_LIMITS, height), 1);
    EXPECT_EQ(width.Min, 16);
    EXPECT_EQ(width.Max, 1024);
    EXPECT_EQ(width.Granularity, 4);
    EXPECT_EQ(width.Nominal, 640);
    EXPECT_EQ(height.Max, 1024);
    EXPECT_EQ(height.Nominal, 480);
    uint32_t small = 0;
    EXPECT_EQ(d.Ask(msg::STM_QUERY_PASSTHRU_CAPS, STC_FG_PC_SCALE_WIDTH_LIMITS, &small, 4), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_BUFSIZ);
    EXPECT_EQ(d.Ask(msg::STM_QUERY_PASSTHRU_CAPS, 1, does), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_UNSUPKEY);

    ASSERT_EQ(plain.Ask(msg::STM_QUERY_PASSTHRU_CAPS, STC_FG_PC_DOES_SCALING, does), 1);
    EXPECT_EQ(does, 0u);
    EXPECT_EQ(plain.Ask(msg::STM_QUERY_PASSTHRU_CAPS, STC_FG_PC_SCALE_WIDTH_LIMITS, width), 0);
    EXPECT_EQ(plain.LastStatus(), drv::STS_UNSUPKEY);
    PairBlock size{320, 240}, used{};
    EXPECT_EQ(plain.AskWith(msg::STM_SET_PASSTHRU_SCALING, size, used), 0);
    EXPECT_EQ(plain.LastStatus(), drv::STS_NONSTMSG);
}

TEST(LiveVideo, ScalingAnswersTheSizeUsedAndShrinksThePicture) {
    TestWindow window;
    Driver d(kMono);
    ASSERT_TRUE(d);
    const auto scale = [&](int32_t w, int32_t h) {
        PairBlock size{w, h}, used{-1, -1};
        EXPECT_EQ(d.AskWith(msg::STM_SET_PASSTHRU_SCALING, size, used), 1);
        return std::pair{used.First, used.Second};
    };
    EXPECT_EQ(scale(5000, 5), std::pair(1024, 16)) << "clamped to the limits";
    EXPECT_EQ(scale(323, 241), std::pair(320, 240)) << "down to the granularity";
    PairBlock size{320, 240};
    EXPECT_EQ(d.Send(msg::STM_SET_PASSTHRU_SCALING, reinterpret_cast<LPARAM>(&size), 0), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_NULL);

    const FrameHandle frame = AllocateFrame(d);
    LoadFlatLut(d, RGB(10, 200, 30));
    JobId job = 0;
    ASSERT_EQ(StartAsync(d, window.get(), frame, job), 1);
    ASSERT_TRUE(WaitImages(SyncEvent(d), 3));
    uint32_t final = 0;
    ASSERT_EQ(Stop(d, job, final), 1);
    EXPECT_EQ(window.Pixel(10, 10), RGB(10, 200, 30));
    EXPECT_EQ(window.Pixel(319, 239), RGB(10, 200, 30));
    EXPECT_EQ(window.Pixel(320, 100), kBackground) << "outside the scaled picture";
    EXPECT_EQ(window.Pixel(100, 240), kBackground);
}

TEST(LiveVideo, SourceOriginRoundTripsAndPansThePicture) {
    TestWindow window;
    Driver d(kMono);
    ASSERT_TRUE(d);
    PairBlock origin{}, read{-1, -1};
    ASSERT_EQ(d.Ask(msg::STM_GET_PASSTHRU_SOURCE_ORIGIN, 0, read), 1);
    EXPECT_EQ(read.First, 0);
    EXPECT_EQ(read.Second, 0);
    const auto set = [&](int32_t x, int32_t y) {
        origin = {x, y};
        return d.Send(msg::STM_SET_PASSTHRU_SOURCE_ORIGIN, reinterpret_cast<LPARAM>(&origin));
    };
    ASSERT_EQ(set(12, 34), 1);
    ASSERT_EQ(d.Ask(msg::STM_GET_PASSTHRU_SOURCE_ORIGIN, 0, read), 1);
    EXPECT_EQ(read.First, 12);
    EXPECT_EQ(read.Second, 34);
    for (auto [x, y] :
         {std::pair(-1, 0), std::pair(0, -1), std::pair(1024, 0), std::pair(0, 1024)}) {
        EXPECT_EQ(set(x, y), 0) << x << "," << y;
        EXPECT_EQ(d.LastStatus(), drv::STS_RANGE);
    }
    EXPECT_EQ(d.Send(msg::STM_SET_PASSTHRU_SOURCE_ORIGIN, 0), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_NULL);
    ASSERT_EQ(d.Ask(msg::STM_GET_PASSTHRU_SOURCE_ORIGIN, 0, read), 1);
    EXPECT_EQ(read.First, 12) << "refused origins change nothing";

    // Panned by half the frame: the right half of the window shows what lies beyond the
    // video's edge, which is black.
    ASSERT_EQ(set(320, 0), 1);
    LoadFlatLut(d, RGB(10, 200, 30));
    const FrameHandle frame = AllocateFrame(d);
    JobId job = 0;
    ASSERT_EQ(StartAsync(d, window.get(), frame, job), 1);
    ASSERT_TRUE(WaitImages(SyncEvent(d), 3));
    uint32_t final = 0;
    ASSERT_EQ(Stop(d, job, final), 1);
    EXPECT_EQ(window.Pixel(319, 100), RGB(10, 200, 30));
    EXPECT_EQ(window.Pixel(320, 100), RGB(0, 0, 0));
    EXPECT_EQ(window.Pixel(639, 479), RGB(0, 0, 0));
}

TEST(LiveVideo, LookupTableColorsTheVideoAndChecksItsRange) {
    TestWindow window;
    Driver d(kMono);
    ASSERT_TRUE(d);
    const std::vector<uint8_t> entries(3 * 256, 0);
    for (auto [first, count] : {std::pair(0, 256), std::pair(255, 1), std::pair(10, 20)})
        EXPECT_EQ(LoadLut(d, first, count, entries), 1) << first << "+" << count;
    for (auto [first, count] :
         {std::pair(1, 256), std::pair(256, 1), std::pair(-1, 2), std::pair(0, 0)}) {
        EXPECT_EQ(LoadLut(d, first, count, entries), 0) << first << "+" << count;
        EXPECT_EQ(d.LastStatus(), drv::STS_PASSTHRULUTRANGE);
    }
    PairBlock range{0, 1};
    EXPECT_EQ(d.Send(msg::STM_LOAD_PASSTHRU_LUT, reinterpret_cast<LPARAM>(&range), 0), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_NULL);

    // Entries 0 to 127 red, 128 to 255 green: the ramp shows as red and green bands.
    std::vector<uint8_t> bands;
    for (int i = 0; i < 256; ++i)
        bands.insert(bands.end(), {uint8_t(i < 128 ? 255 : 0), uint8_t(i < 128 ? 0 : 255), 0});
    ASSERT_EQ(LoadLut(d, 0, 256, bands), 1);
    const FrameHandle frame = AllocateFrame(d);
    JobId job = 0;
    ASSERT_EQ(StartAsync(d, window.get(), frame, job), 1);
    ASSERT_TRUE(WaitImages(SyncEvent(d), 3));
    uint32_t final = 0;
    ASSERT_EQ(Stop(d, job, final), 1);
    const std::vector<COLORREF> row = window.Row(50, 0, 256);
    const size_t reds = std::count(row.begin(), row.end(), RGB(255, 0, 0));
    const size_t greens = std::count(row.begin(), row.end(), RGB(0, 255, 0));
    EXPECT_EQ(reds, 128u);
    EXPECT_EQ(greens, 128u);

    // The default table shows grey again.
    ASSERT_EQ(d.Send(msg::STM_LOAD_DEFAULT_PASSTHRU_LUT), 1);
    ASSERT_EQ(StartAsync(d, window.get(), frame, job), 1);
    ASSERT_TRUE(WaitImages(SyncEvent(d), 2));
    ASSERT_EQ(Stop(d, job, final), 1);
    EXPECT_TRUE(IsGrey(window.Pixel(50, 50)));
    EXPECT_NE(window.Pixel(50, 50), window.Pixel(51, 50));
}

TEST(LiveVideo, PaletteExtensionKeepsOffTheStaticColors) {
    Driver d(kMono);
    ASSERT_TRUE(d);
    const std::vector<uint8_t> entries(3 * 256, 0x40);
    const auto extend = [&](int32_t first, int32_t count) {
        PairBlock range{first, count};
        return d.Send(msg::STM_EXTEND_PASSTHRU_PALETTE, reinterpret_cast<LPARAM>(&range),
                      reinterpret_cast<LPARAM>(entries.data()));
    };
    for (auto [first, count] : {std::pair(10, 236), std::pair(10, 1), std::pair(245, 1)})
        EXPECT_EQ(extend(first, count), 1) << first << "+" << count;
    for (auto [first, count] : {std::pair(9, 1), std::pair(0, 256), std::pair(245, 2),
                                std::pair(246, 1), std::pair(100, 0), std::pair(100, -1)}) {
        EXPECT_EQ(extend(first, count), 0) << first << "+" << count;
        EXPECT_EQ(d.LastStatus(), drv::STS_PASSTHRUPALRANGE);
    }
    PairBlock range{10, 1};
    EXPECT_EQ(d.Send(msg::STM_EXTEND_PASSTHRU_PALETTE, reinterpret_cast<LPARAM>(&range), 0), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_NULL);
}

TEST(LiveVideo, ClosingTheHandleEndsTheWorkerThread) {
    TestWindow window;
    Driver keeper(kMono); // keeps the driver loaded and the board open
    ASSERT_TRUE(keeper);
    const size_t idle = ProcessThreads();
    ASSERT_GT(idle, 0u);
    for (int mode : {4, 8, 16}) {
        std::vector<int32_t> counters(kFrameSlots, 0);
        {
            Driver d(kMono);
            ASSERT_TRUE(d);
            const FrameHandle frame = AllocateFrame(d);
            JobId job = 0;
            HANDLE extSync = nullptr;
            ExtPassthruBlock block{window.get(), &frame, counters.data(), 1, &extSync, 0, &job};
            switch (mode) {
            case 4: ASSERT_EQ(StartAsync(d, window.get(), frame, job), 1); break;
            case 8: ASSERT_EQ(StartSync(d, window.get(), frame), 1); break;
            default:
                ASSERT_EQ(d.Send(msg::STM_START_PASSTHRU_EX, reinterpret_cast<LPARAM>(&block), 0),
                          1);
            }
            ASSERT_TRUE(WaitImages(SyncEvent(d), 2));
            EXPECT_EQ(ProcessThreads(), idle + 1) << "mode " << mode << ": one worker";
        } // closed while running
        EXPECT_EQ(ProcessThreads(), idle) << "mode " << mode << ": the worker has ended";
        const HANDLE sync = SyncEvent(keeper);
        ResetEvent(sync);
        EXPECT_EQ(WaitForSingleObject(sync, 200), static_cast<DWORD>(WAIT_TIMEOUT));
    }
}

TEST(LiveVideo, ClosingTheLastHandleWhileRunningEndsEverything) {
    TestWindow window;
    size_t idle = 0;
    {
        Driver probe(kMono);
        ASSERT_TRUE(probe);
        idle = ProcessThreads();
    }
    {
        Driver d(kMono);
        ASSERT_TRUE(d);
        const FrameHandle frame = AllocateFrame(d);
        JobId job = 0;
        ASSERT_EQ(StartAsync(d, window.get(), frame, job), 1);
        ASSERT_TRUE(WaitImages(SyncEvent(d), 2));
    }
    EXPECT_LE(ProcessThreads(), idle);
    // A new board state starts stopped.
    Driver d(kMono);
    ASSERT_TRUE(d);
    uint32_t final = 0;
    EXPECT_EQ(Stop(d, 0, final), 0);
    EXPECT_EQ(d.Send(msg::STM_PASSTHRU_SNAPSHOT, AllocateFrame(d)), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_PASSTHRU_STOPPED);
}

} // namespace
} // namespace simtest

namespace simtest {
namespace {

// A program that ends while live video runs and its handle is still open ends cleanly: the
// worker is told to end at process detach and nothing crashes or hangs on the way out.
TEST(LiveVideoDeathTest, ProcessEndsWhileLiveVideoRuns) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            TestWindow window;
            auto* d = new Driver(kMono); // deliberately never closed
            const FrameHandle frame = AllocateFrame(*d);
            JobId job = 0;
            if (StartAsync(*d, window.get(), frame, job) != 1) std::exit(2);
            if (!WaitImages(SyncEvent(*d), 3)) std::exit(3);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
} // namespace simtest
