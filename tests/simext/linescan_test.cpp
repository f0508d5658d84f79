// The line-scan family on the KV7400LS model: timing, mode and digital I/O, line acquisition
// synchronous and asynchronous, line passthru into a ring of buffers, drawing of lines, and
// that no worker outlives a stop or a closed handle.
#include <algorithm>
#include <string>
#include <vector>

#include "bitmap_files.h"
#include "ext_driver.h"

namespace simtest {
namespace {

constexpr uint32_t kWidth = 64; // frame width of input 0 for these tests
constexpr uint8_t kUnwritten = 0xA5;

// Polls `done` for up to 30 s; the bound only keeps a broken driver from hanging the run.
template <class Fn> bool Eventually(Fn done) {
    for (int i = 0; i < 30000; ++i) {
        if (done()) return true;
        Sleep(1);
    }
    return done();
}

class LineScanBoard : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(driver);
        port = ExtPort::Find();
        ASSERT_TRUE(port.Complete());
        port.ClearInputs(nullptr);
        ASSERT_EQ(driver.SetControl(0, STC_FG_CTL_FRAME_WIDTH, kWidth), 1);
    }
    void TearDown() override {
        if (port.Complete()) port.ClearInputs(nullptr);
    }
    uint32_t Status(LRESULT result) const { return StatusOf(driver, result); }
    uint32_t Read(UINT message, LPARAM p1, bool addressInParam1 = false) const {
        uint32_t value = ~0u;
        const auto address = reinterpret_cast<LPARAM>(&value);
        EXPECT_EQ(
            addressInParam1 ? driver.Send(message, address) : driver.Send(message, p1, address), 1);
        return value;
    }
    uint32_t Acquire(std::vector<uint8_t>& buffer, uint32_t bytes, uint32_t mode) const {
        LineAcquirePair pair{bytes, mode};
        return Status(driver.Send(msg::STM_LS_ACQUIRE_LINES,
                                  reinterpret_cast<LPARAM>(buffer.data()),
                                  reinterpret_cast<LPARAM>(&pair)));
    }
    struct Progress {
        int32_t done = -1, lines = -1, granularity = -1;
    };
    Progress Poll(const Driver& d) const {
        Progress p;
        LineStatusBlock block{&p.done, &p.lines, &p.granularity};
        EXPECT_EQ(d.Send(msg::STM_LS_IS_ACQUIRE_DONE, reinterpret_cast<LPARAM>(&block)), 1);
        return p;
    }
    // The slowest line rate: a line every 1.7 s, so that an acquisition is still running.
    void SlowestLines(const Driver& d) const {
        ASSERT_EQ(d.Send(msg::STM_LS_SET_DRIVE_CLOCK_DIVIDER, 256), 1);
        ASSERT_EQ(d.Send(msg::STM_LS_SET_LINE_DRIVE_COUNT, 0, 65535), 1);
        ASSERT_EQ(d.Send(msg::STM_LS_SET_LINE_DRIVE_COUNT, 1, 65535), 1);
    }
    Driver driver{"kvboard!SIM7400LS"};
    ExtPort port;
};

TEST_F(LineScanBoard, CountsForBothEdgesAndTheDivider) {
    for (const UINT set : {msg::STM_LS_SET_INTEGRATION_COUNT, msg::STM_LS_SET_LINE_DRIVE_COUNT}) {
        const UINT get = set + 1;
        ASSERT_EQ(driver.Send(set, 1, 300), 1);
        ASSERT_EQ(driver.Send(set, 0, 700), 1);
        EXPECT_EQ(Read(get, 1), 300u);
        EXPECT_EQ(Read(get, 0), 700u);
        EXPECT_EQ(Status(driver.Send(set, 1, 0)), drv::STS_RANGE);
        EXPECT_EQ(Status(driver.Send(set, 1, 65536)), drv::STS_RANGE);
        EXPECT_EQ(Status(driver.Send(set, 2, 10)), drv::STS_RANGE);
        EXPECT_EQ(Status(driver.Send(get, 1, 0)), drv::STS_NULL);
        EXPECT_EQ(Read(get, 1), 300u);
    }
    EXPECT_EQ(Read(msg::STM_LS_GET_DRIVE_CLOCK_DIVIDER, 0, true), 1u);
    ASSERT_EQ(driver.Send(msg::STM_LS_SET_DRIVE_CLOCK_DIVIDER, 8), 1);
    EXPECT_EQ(Read(msg::STM_LS_GET_DRIVE_CLOCK_DIVIDER, 0, true), 8u);
    EXPECT_EQ(Status(driver.Send(msg::STM_LS_SET_DRIVE_CLOCK_DIVIDER, 0)), drv::STS_RANGE);
    EXPECT_EQ(Status(driver.Send(msg::STM_LS_SET_DRIVE_CLOCK_DIVIDER, 257)), drv::STS_RANGE);
}

TEST_F(LineScanBoard, DigitalLinesBelongToTheFamilyOnlyInLineScanMode) {
    uint32_t pattern = 0;
    const auto address = reinterpret_cast<LPARAM>(&pattern);
    EXPECT_EQ(Status(driver.Send(msg::STM_LS_GET_DIGIO, 0, address)), drv::STS_MODECONFLICT);
    EXPECT_EQ(Status(driver.Send(msg::STM_LS_SET_DIGIO, 0, 3)), drv::STS_MODECONFLICT);

    ASSERT_EQ(driver.Send(msg::STM_LS_SET_MODE, -1), 1);
    ASSERT_EQ(driver.Send(msg::STM_LS_SET_DIGIO, 0, 0x3), 1);
    EXPECT_EQ(Read(msg::STM_LS_GET_DIGIO, 0), 0x33u) << "outputs 4, 5 loop back to inputs 0, 1";
    port.SetInputs("SIM7400LS", 0x0A);
    EXPECT_EQ(Read(msg::STM_LS_GET_DIGIO, 0), 0x3Au);
    port.ClearInputs("SIM7400LS");
    EXPECT_EQ(Status(driver.Send(msg::STM_LS_SET_DIGIO, 0, 0x10)), drv::STS_RANGE);

    // The standard output message drives the same four lines.
    ASSERT_EQ(driver.Ask(msg::STM_SET_DIGITAL_OUTPUTS, 0xC, pattern), 1);
    EXPECT_EQ(Read(msg::STM_LS_GET_DIGIO, 0), 0xCCu);
    EXPECT_EQ(Status(driver.Send(msg::STM_LS_GET_DIGIO, 0, 0)), drv::STS_NULL);

    ASSERT_EQ(driver.Send(msg::STM_LS_SET_MODE, 0), 1);
    EXPECT_EQ(Status(driver.Send(msg::STM_LS_GET_DIGIO, 0, address)), drv::STS_MODECONFLICT);
}

TEST_F(LineScanBoard, SynchronousAcquisitionFillsExactlyTheBytesAsked) {
    const uint32_t bytes = kWidth * 40 + 10; // a last, partial line
    std::vector<uint8_t> first(bytes + 16, kUnwritten), second(bytes + 16, kUnwritten);
    ASSERT_EQ(Acquire(first, bytes, STC_LS_ACQUIRE_SYNC), 0u);
    EXPECT_TRUE(std::all_of(first.begin() + bytes, first.end(), [](uint8_t b) {
        return b == kUnwritten;
    })) << "nothing beyond the byte count";
    // Lines differ from each other and a second acquisition sees the same lines again.
    EXPECT_FALSE(std::equal(first.begin(), first.begin() + kWidth, first.begin() + kWidth));
    ASSERT_EQ(Acquire(second, bytes, STC_LS_ACQUIRE_SYNC), 0u);
    EXPECT_EQ(first, second);

    const Progress p = Poll(driver);
    EXPECT_EQ(p.done, 1);
    EXPECT_EQ(p.lines, 41);
    EXPECT_EQ(p.granularity, 16);
}

TEST_F(LineScanBoard, AsynchronousAcquisitionReportsThroughTheStatusBlock) {
    const uint32_t bytes = kWidth * 100;
    std::vector<uint8_t> sync(bytes, kUnwritten), async(bytes, kUnwritten);
    ASSERT_EQ(Acquire(sync, bytes, STC_LS_ACQUIRE_SYNC), 0u);
    ASSERT_EQ(Acquire(async, bytes, STC_LS_ACQUIRE_ASYNC), 0u);
    Progress p;
    std::vector<int32_t> seen;
    ASSERT_TRUE(Eventually([&] {
        p = Poll(driver);
        seen.push_back(p.lines);
        return p.done == 1;
    }));
    EXPECT_EQ(p.lines, 100);
    EXPECT_EQ(p.granularity, 16);
    for (const int32_t lines : seen)
        EXPECT_TRUE(lines % 16 == 0 || lines == 100) << lines;
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(async, sync);
    EXPECT_TRUE(Eventually([&] { return port.Workers() == 0; }));
}

TEST_F(LineScanBoard, RefusesBadAcquisitions) {
    std::vector<uint8_t> buffer(kWidth);
    EXPECT_EQ(Acquire(buffer, kWidth, 3), drv::STS_RANGE);
    EXPECT_EQ(Acquire(buffer, 0, STC_LS_ACQUIRE_SYNC), drv::STS_RANGE);
    LineAcquirePair pair{kWidth, STC_LS_ACQUIRE_SYNC};
    EXPECT_EQ(Status(driver.Send(msg::STM_LS_ACQUIRE_LINES, 0, reinterpret_cast<LPARAM>(&pair))),
              drv::STS_NULL);
    int32_t done = 0;
    LineStatusBlock partial{&done, nullptr, &done};
    EXPECT_EQ(Status(driver.Send(msg::STM_LS_IS_ACQUIRE_DONE, reinterpret_cast<LPARAM>(&partial))),
              drv::STS_NULL);
}

TEST_F(LineScanBoard, ClosingTheHandleEndsARunningAcquisition) {
    ASSERT_EQ(port.Workers(), 0u);
    std::vector<uint8_t> buffer(kWidth * 64, kUnwritten);
    {
        const Driver other("kvboard!SIM7400LS");
        SlowestLines(other);
        LineAcquirePair pair{kWidth * 64, STC_LS_ACQUIRE_ASYNC};
        ASSERT_EQ(other.Send(msg::STM_LS_ACQUIRE_LINES, reinterpret_cast<LPARAM>(buffer.data()),
                             reinterpret_cast<LPARAM>(&pair)),
                  1);
        EXPECT_EQ(port.Workers(), 1u);
        EXPECT_EQ(Poll(driver).done, 0);
        EXPECT_EQ(Acquire(buffer, kWidth, STC_LS_ACQUIRE_SYNC), drv::STS_BUSY);
    }
    EXPECT_EQ(port.Workers(), 0u) << "the handle that started it is closed";
}

// ---- Passthru ----------------------------------------------------------------------------

struct Ring {
    explicit Ring(uint32_t count, uint32_t lines)
        : data(size_t{count} * kWidth * lines, kUnwritten), states(count, 0) {
        for (uint32_t i = 0; i < count; ++i)
            addresses.push_back(data.data() + size_t{i} * kWidth * lines);
        bytes = kWidth * lines;
    }
    LinePassthruBlock Block(HANDLE* event, bool stopOnOverflow, HWND window = nullptr) {
        const auto n = static_cast<uint32_t>(states.size());
        return {window, addresses.data(),        n, bytes, n * 4, event, states.data(),
                n * 4,  stopOnOverflow ? 1u : 0u};
    }
    std::vector<uint8_t> data;
    std::vector<void*> addresses;
    std::vector<int32_t> states;
    uint32_t bytes;
};

uint32_t StartPassthru(const Driver& d, LinePassthruBlock block) {
    return StatusOf(d, d.Send(msg::STM_LS_START_PASSTHRU, reinterpret_cast<LPARAM>(&block)));
}

TEST_F(LineScanBoard, PassthruFlagsEveryFilledBufferAndSignalsItsEvent) {
    Ring ring(3, 8);
    HANDLE event = nullptr;
    ASSERT_EQ(StartPassthru(driver, ring.Block(&event, false)), 0u);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(port.Workers(), 1u);
    EXPECT_EQ(StartPassthru(driver, ring.Block(&event, false)), drv::STS_BUSY);

    // Consume as the control does: after each wake-up, handle and clear the set flags.
    std::vector<int> order;
    while (order.size() < 7) {
        ASSERT_EQ(WaitForSingleObject(event, 30000), WAIT_OBJECT_0);
        for (size_t i = 0; i < ring.states.size(); ++i)
            if (InterlockedExchange(reinterpret_cast<volatile LONG*>(&ring.states[i]), 0) != 0)
                order.push_back(static_cast<int>(i));
    }
    // Several buffers may fill between two wake-ups, so the scan order need not be the ring
    // order; what must hold is that the ring starts at buffer 0 and every buffer is used.
    EXPECT_EQ(order[0], 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_NE(std::find(order.begin(), order.end(), i), order.end()) << "buffer " << i;
    for (const void* buffer : ring.addresses) {
        const auto* b = static_cast<const uint8_t*>(buffer);
        EXPECT_FALSE(std::all_of(b, b + ring.bytes, [](uint8_t v) { return v == kUnwritten; }));
    }

    ASSERT_EQ(driver.Send(msg::STM_LS_STOP_PASSTHRU), 1);
    EXPECT_EQ(port.Workers(), 0u);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED) << "the event is closed at stop";
    EXPECT_EQ(driver.Send(msg::STM_LS_STOP_PASSTHRU), 1) << "stopping twice is harmless";
}

TEST_F(LineScanBoard, PassthruStopsOnOverflowWhenAsked) {
    Ring ring(2, 4);
    HANDLE event = nullptr;
    ASSERT_EQ(StartPassthru(driver, ring.Block(&event, true)), 0u);
    // Nobody clears the flags: once both buffers are full, the driver stops by itself.
    ASSERT_TRUE(Eventually([&] { return port.Workers() == 0; }));
    EXPECT_EQ(ring.states, (std::vector<int32_t>{1, 1}));
    const std::vector<uint8_t> filled = ring.data;
    Sleep(20);
    EXPECT_EQ(ring.data, filled) << "no buffer is overwritten";
    // A new passthru may start at once.
    ring.states.assign(2, 0);
    ASSERT_EQ(StartPassthru(driver, ring.Block(&event, true)), 0u);
    ASSERT_EQ(driver.Send(msg::STM_LS_STOP_PASSTHRU), 1);
    EXPECT_EQ(port.Workers(), 0u);
}

TEST_F(LineScanBoard, PassthruWithoutStopOnOverflowGoesOn) {
    Ring ring(2, 4);
    HANDLE event = nullptr;
    ASSERT_EQ(StartPassthru(driver, ring.Block(&event, false)), 0u);
    ASSERT_TRUE(Eventually([&] { return ring.states[0] != 0 && ring.states[1] != 0; }));
    // Flags stay set, yet the buffers keep being filled and the event keeps coming.
    for (int wakeups = 0; wakeups < 3; ++wakeups)
        ASSERT_EQ(WaitForSingleObject(event, 30000), WAIT_OBJECT_0);
    EXPECT_EQ(port.Workers(), 1u);
    ASSERT_EQ(driver.Send(msg::STM_LS_STOP_PASSTHRU), 1);
}

TEST_F(LineScanBoard, RefusesBadPassthruBlocks) {
    Ring ring(2, 4);
    HANDLE event = nullptr;
    LinePassthruBlock block = ring.Block(&event, false);
    block.BufferCount = 0;
    EXPECT_EQ(StartPassthru(driver, block), drv::STS_RANGE);
    block = ring.Block(&event, false);
    block.BufferCount = 1025;
    EXPECT_EQ(StartPassthru(driver, block), drv::STS_RANGE);
    block = ring.Block(&event, false);
    block.StateListSize = 4;
    EXPECT_EQ(StartPassthru(driver, block), drv::STS_BUFSIZ);
    block = ring.Block(nullptr, false);
    EXPECT_EQ(StartPassthru(driver, block), drv::STS_NULL);
    block = ring.Block(&event, false, reinterpret_cast<HWND>(0x1234));
    EXPECT_EQ(StartPassthru(driver, block), drv::STS_INVALIDHWND);
    EXPECT_EQ(event, nullptr);
    EXPECT_EQ(port.Workers(), 0u);
}

TEST_F(LineScanBoard, ClosingTheHandleEndsPassthru) {
    Ring ring(4, 8);
    HANDLE event = nullptr;
    {
        const Driver other("kvboard!SIM7400LS");
        ASSERT_EQ(StartPassthru(other, ring.Block(&event, false)), 0u);
        ASSERT_EQ(WaitForSingleObject(event, 30000), WAIT_OBJECT_0);
        EXPECT_EQ(port.Workers(), 1u);
    }
    EXPECT_EQ(port.Workers(), 0u);
    const std::vector<uint8_t> after = ring.data;
    Sleep(20);
    EXPECT_EQ(ring.data, after) << "nothing writes into the buffers any more";
    // The board itself is still open on the fixture's handle and can start again.
    ASSERT_EQ(StartPassthru(driver, ring.Block(&event, false)), 0u);
    ASSERT_EQ(driver.Send(msg::STM_LS_STOP_PASSTHRU), 1);
}

// Starts passthru and an acquisition on a new handle of the line-scan board and closes it.
void RunAndClose(Ring& ring, std::vector<uint8_t>& lines) {
    const Driver d("kvboard!SIM7400LS");
    ASSERT_TRUE(d);
    ASSERT_EQ(d.SetControl(0, STC_FG_CTL_FRAME_WIDTH, kWidth), 1);
    ASSERT_EQ(d.Send(msg::STM_LS_SET_DRIVE_CLOCK_DIVIDER, 256), 1);
    HANDLE event = nullptr;
    ASSERT_EQ(StartPassthru(d, ring.Block(&event, false)), 0u);
    LineAcquirePair pair{static_cast<uint32_t>(lines.size()), STC_LS_ACQUIRE_ASYNC};
    ASSERT_EQ(d.Send(msg::STM_LS_ACQUIRE_LINES, reinterpret_cast<LPARAM>(lines.data()),
                     reinterpret_cast<LPARAM>(&pair)),
              1);
    EXPECT_EQ(ExtPort::Find().Workers(), 2u);
}

TEST(LineScanLifetime, ClosingTheLastHandleOnTheBoardEndsItsWorkers) {
    const Driver keepsTheDriverLoaded("kvboard!SIM7100");
    ASSERT_TRUE(keepsTheDriverLoaded);
    const ExtPort port = ExtPort::Find();
    ASSERT_TRUE(port.Complete());
    Ring ring(2, 8);
    std::vector<uint8_t> lines(kWidth * 32);
    RunAndClose(ring, lines);
    EXPECT_EQ(port.Workers(), 0u);
}

TEST(LineScanLifetime, UnloadingTheDriverLeavesNoWorkerBehind) {
    Ring ring(2, 8);
    std::vector<uint8_t> lines(kWidth * 32);
    RunAndClose(ring, lines);
    // The last handle is closed and the driver unloaded: a worker left running would now
    // execute unmapped code and end the process.
    EXPECT_EQ(GetModuleHandleW(L"kvboard.drv"), nullptr);
    const std::vector<uint8_t> after = ring.data;
    Sleep(50);
    EXPECT_EQ(ring.data, after);
}

// The child of ProcessEndsWhileLineScanRuns: ends its process with passthru and an
// acquisition running and the handle still open. Does nothing when run on its own.
constexpr wchar_t kChildVariable[] = L"KVBOARD_SIMEXT_CHILD";

TEST(LineScanLifetime, ChildEndsItsProcessWhileLineScanRuns) {
    if (GetEnvironmentVariableW(kChildVariable, nullptr, 0) == 0) GTEST_SKIP() << "child only";
    static Ring ring(2, 8);
    static std::vector<uint8_t> lines(kWidth * 64);
    static const Driver d("kvboard!SIM7400LS"); // never closed
    ASSERT_TRUE(d);
    ASSERT_EQ(d.SetControl(0, STC_FG_CTL_FRAME_WIDTH, kWidth), 1);
    HANDLE event = nullptr;
    ASSERT_EQ(StartPassthru(d, ring.Block(&event, false)), 0u);
    LineAcquirePair pair{static_cast<uint32_t>(lines.size()), STC_LS_ACQUIRE_ASYNC};
    ASSERT_EQ(d.Send(msg::STM_LS_ACQUIRE_LINES, reinterpret_cast<LPARAM>(lines.data()),
                     reinterpret_cast<LPARAM>(&pair)),
              1);
    ASSERT_EQ(WaitForSingleObject(event, 30000), WAIT_OBJECT_0);
    ExitProcess(7);
}

TEST(LineScanLifetime, ProcessEndsWhileLineScanRuns) {
    wchar_t self[MAX_PATH];
    ASSERT_NE(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    std::wstring command =
        std::wstring(L"\"") + self +
        L"\" --gtest_filter=LineScanLifetime.ChildEndsItsProcessWhileLineScanRuns";
    ASSERT_TRUE(SetEnvironmentVariableW(kChildVariable, L"1"));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0,
                                        nullptr, nullptr, &startup, &child);
    SetEnvironmentVariableW(kChildVariable, nullptr);
    ASSERT_TRUE(started);
    CloseHandle(child.hThread);
    EXPECT_EQ(WaitForSingleObject(child.hProcess, 60000), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(child.hProcess, &code));
    EXPECT_EQ(code, 7u) << "the child reached its exit and ended cleanly";
    CloseHandle(child.hProcess);
}

TEST_F(LineScanBoard, PassthruDrawsIntoItsWindow) {
    const ScratchWindow window(kWidth, 16);
    ASSERT_NE(window.get(), nullptr);
    Ring ring(2, 8);
    HANDLE event = nullptr;
    ASSERT_EQ(StartPassthru(driver, ring.Block(&event, true, window.get())), 0u);
    ASSERT_TRUE(Eventually([&] { return port.Workers() == 0; })) << "stops on overflow";
    // The last buffer filled is on the window: buffer 1, drawn at the origin.
    const uint8_t* last = ring.data.data() + ring.bytes;
    for (int y = 0; y < 8; y += 3)
        for (int x = 0; x < static_cast<int>(kWidth); x += 7) {
            const uint8_t v = last[y * kWidth + x];
            EXPECT_EQ(window.Pixel(x, y), RGB(v, v, v)) << x << "," << y;
        }
}

TEST_F(LineScanBoard, DrawsAcquiredLines) {
    const ScratchWindow window(40, 20);
    ASSERT_NE(window.get(), nullptr);
    std::vector<uint8_t> pixels(5 * 3);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<uint8_t>(i * 17);
    LineDrawBlock block{15, 1, 5, 3, 4, 2, pixels.data()};
    ASSERT_EQ(
        Status(driver.Send(msg::STM_LS_DRAW_ACQUIRED_LINES, reinterpret_cast<LPARAM>(window.get()),
                           reinterpret_cast<LPARAM>(&block))),
        0u);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const uint8_t v = pixels[y * 5 + x];
            EXPECT_EQ(window.Pixel(4 + x, 2 + y), RGB(v, v, v)) << x << "," << y;
        }
    block.ByteCount = 14;
    EXPECT_EQ(
        Status(driver.Send(msg::STM_LS_DRAW_ACQUIRED_LINES, reinterpret_cast<LPARAM>(window.get()),
                           reinterpret_cast<LPARAM>(&block))),
        drv::STS_RANGE);
    block.ByteCount = 15;
    EXPECT_EQ(
        Status(driver.Send(msg::STM_LS_DRAW_ACQUIRED_LINES, 0, reinterpret_cast<LPARAM>(&block))),
        drv::STS_INVALIDHWND);
}

// A line-scan board playing recorded images sees their rows one after the other, each file
// from its top row, looping: rows cropped or padded with black to the line, and a file that
// cannot be read left out.
TEST(LineScanPlay, LinesAreThePlayedFilesRowsOneAfterTheOther) {
    ScratchFolder folder(L"corvid_play_lines");
    const auto grey = [](uint32_t v) {
        const auto g = static_cast<uint8_t>(v);
        return Rgb8{g, g, g};
    };
    // a: 40 x 3, padded; b: unreadable; c: 80 x 2 top-down, cropped.
    WriteFileBytes(folder / L"a.bmp",
                   BitmapBytes(40, 3, 24, false, nullptr,
                               [&](uint32_t x, uint32_t y) { return grey(x + 10 * y); }));
    WriteFileBytes(folder / L"b.bmp", {'B', 'M'});
    WriteFileBytes(folder / L"c.bmp",
                   BitmapBytes(80, 2, 24, true, nullptr,
                               [&](uint32_t x, uint32_t y) { return grey(200 - x - 50 * y); }));
    const auto expected = [](uint32_t line, uint32_t x) -> uint8_t {
        const uint32_t l = line % 5;
        if (l < 3) return static_cast<uint8_t>(x < 40 ? x + 10 * l : 0);
        return static_cast<uint8_t>(200 - x - 50 * (l - 3));
    };
    ScratchBoard board(L"SIMLSPLAY");
    board.Set(L"Enable", 1);
    board.Set(L"Model", KV7400LS);
    board.SetText(L"ImageFolder", folder.path());
    Driver d("kvboard!SIMLSPLAY");
    ASSERT_TRUE(d);
    ASSERT_EQ(d.SetControl(0, STC_FG_CTL_FRAME_WIDTH, kWidth), 1);
    for (int acquisition = 0; acquisition < 2; ++acquisition) { // each starts at line 0
        std::vector<uint8_t> lines(kWidth * 12 + 7);            // and a partial line
        LineAcquirePair pair{static_cast<uint32_t>(lines.size()), STC_LS_ACQUIRE_SYNC};
        ASSERT_EQ(d.Send(msg::STM_LS_ACQUIRE_LINES, reinterpret_cast<LPARAM>(lines.data()),
                         reinterpret_cast<LPARAM>(&pair)),
                  1);
        int failures = 0;
        for (size_t i = 0; i < lines.size(); ++i) {
            const auto line = static_cast<uint32_t>(i / kWidth),
                       x = static_cast<uint32_t>(i % kWidth);
            if (lines[i] != expected(line, x) && ++failures <= 3)
                ADD_FAILURE() << "line " << line << " pixel " << x << ": " << int{lines[i]};
        }
        EXPECT_EQ(failures, 0);
    }
}

} // namespace
} // namespace simtest
