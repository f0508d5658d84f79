// Line-scan family (KV7400LS): line timing (drive clock divider, line-drive and integration
// counts for both edges), the line-scan mode and its digital I/O, line acquisition into the
// caller's buffer, line passthru into a ring of caller buffers, and drawing of lines.
//
// Lines come at the board's line rate: the pixel clock divided by the drive clock divider
// gives the drive clock, and one line lasts as many drive clock periods as the line-drive
// signal's high and low phases together. Workers produce them in steps of kGranularity lines.
//
// Acquisitions and passthru belong to the handle that started them: closing that handle (or
// the last handle on the board) stops them and waits for their workers. Workers touch only
// the caller's memory and this unit's own state, never the board lock, so a handler may wait
// for them.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <mutex>
#include "sync.h"
#include <vector>

#include "board.h"
#include "digital_lines.h"
#include "gray_draw.h"
#include "image_folder.h"
#include "line_picture.h"
#include "picture.h"
#include "linescan_workers.h"
#include "units.h"

namespace kvboard {

using namespace imaging;

namespace {

constexpr uint32_t kGranularity = 16; // lines per transfer: lines complete grow in these steps
constexpr uint32_t kMaxBuffers = 1024;
constexpr LPARAM kMinCount = 1, kMaxCount = 65535;
constexpr LPARAM kMinDivider = 1, kMaxDivider = 256;
constexpr uint32_t kLineScanOutputShift = 4; // the line-scan outputs are lines 4 to 7
constexpr uint32_t kLineScanOutputs = 0x0F;  // as the messages carry them

std::atomic<uint32_t> gWorkers{0};

// Counts a worker thread for the test port, from before it starts until its function ends.
struct CountedWorker {
    CountedWorker() { ++gWorkers; }
    ~CountedWorker() { --gWorkers; }
    CountedWorker(const CountedWorker&) = delete;
    CountedWorker& operator=(const CountedWorker&) = delete;
};

// A kernel event owned by one object.
class Event {
public:
    explicit Event(bool manualReset) : h_(CreateEventW(nullptr, manualReset, FALSE, nullptr)) {}
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    ~Event() {
        if (h_) CloseHandle(h_);
    }
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

// Paces a worker at the line rate: Advance waits until `lines` more lines have passed. The
// line period is read at every step, so timing changes apply to a running acquisition.
class LineClock {
public:
    LineClock() {
        QueryPerformanceFrequency(&frequency_);
        QueryPerformanceCounter(&start_);
    }
    // False when `stop` was signalled or `deadlineSeconds` (if > 0) passed first.
    bool Advance(uint32_t lines, double period, HANDLE stop, double deadlineSeconds = 0) {
        due_ += lines * period;
        for (;;) {
            const double now = Elapsed();
            if (deadlineSeconds > 0 && now >= deadlineSeconds) return false;
            double until = due_;
            if (deadlineSeconds > 0) until = std::min(until, deadlineSeconds);
            if (now >= due_) return WaitForSingleObject(stop, 0) != WAIT_OBJECT_0;
            const auto ms = static_cast<DWORD>(std::ceil((until - now) * 1000.0));
            if (WaitForSingleObject(stop, std::max<DWORD>(ms, 1)) == WAIT_OBJECT_0) return false;
        }
    }

private:
    double Elapsed() const {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        return static_cast<double>(now.QuadPart - start_.QuadPart) /
               static_cast<double>(frequency_.QuadPart);
    }
    LARGE_INTEGER frequency_{}, start_{};
    double due_ = 0;
};

// What an acquisition or passthru needs from the board, read when it starts.
struct LineGeometry {
    uint32_t width;                      // bytes per line: the frame width control of input 0
    double clockHz;                      // the pixel clock of input 0
    std::shared_ptr<ImageFolder> images; // recorded images played instead of the ramp, or null
};

// What the camera sees from line `firstLine` on: the played folder's strip, or the ramp.
void RenderLineData(const LineGeometry& geometry, uint64_t firstLine, uint8_t* out, size_t bytes) {
    if (!geometry.images || !geometry.images->RenderLines(firstLine, geometry.width, out, bytes))
        RenderLines(firstLine, geometry.width, out, bytes);
}

// One worker thread and the signal that stops it.
class Worker {
public:
    Worker() : stop_(true) {}
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;
    ~Worker() { Join(); }

    bool Running() const { return thread_.joinable() && !finished_; }
    HANDLE stop() const { return stop_.get(); }
    DWORD_PTR owner = 0;

    template <class Fn> void Start(DWORD_PTR ownerId, Fn fn) {
        Join();
        ResetEvent(stop_.get());
        finished_ = false;
        owner = ownerId;
        auto counted = std::make_shared<CountedWorker>();
        thread_.Start([this, fn = std::move(fn), counted = std::move(counted)]() mutable {
            fn();
            finished_ = true;
            counted.reset();
        });
    }
    void Signal() { SetEvent(stop_.get()); }
    void Join() {
        if (thread_.joinable()) thread_.join();
    }

private:
    Event stop_;
    Thread thread_;
    std::atomic<bool> finished_{true};
};

class LineScanState : public UnitState {
public:
    ~LineScanState() override { Stop(StopMode::Wait); }

    // Timing, read by the workers at every step.
    std::atomic<uint32_t> divider{1};
    std::atomic<uint32_t> lineDrive[2]{1024, 1024}; // [edge]: 0 high to low, 1 low to high
    std::atomic<uint32_t> integration[2]{512, 512}; // [edge]
    std::atomic<bool> lineScanMode{false};

    double LinePeriod(double clockHz) const {
        const double ticks = static_cast<double>(lineDrive[0]) + static_cast<double>(lineDrive[1]);
        return ticks * divider / std::max(clockHz, 1.0);
    }

    Mutex mutex; // guards the job state below; workers never take it

    // ---- Line acquisition ----
    Worker acquire;
    bool syncAcquiring = false;
    std::atomic<bool> acquireDone{true};
    std::atomic<int32_t> linesComplete{0};

    // ---- Line passthru ----
    Worker passthru;
    HANDLE passthruEvent = nullptr; // handed to the caller; closed when passthru stops

    bool AcquireBusy() const { return syncAcquiring || acquire.Running(); }

    // Runs one acquisition of `bytes` into `buffer`; false when stopped or past the deadline.
    bool Acquire(uint8_t* buffer, uint32_t bytes, const LineGeometry& geometry, HANDLE stop,
                 double deadlineSeconds) {
        const uint32_t lines = (bytes + geometry.width - 1) / geometry.width;
        LineClock clock;
        for (uint32_t done = 0; done < lines;) {
            const uint32_t step = std::min(kGranularity, lines - done);
            if (!clock.Advance(step, LinePeriod(geometry.clockHz), stop, deadlineSeconds))
                return false;
            const size_t first = size_t{done} * geometry.width;
            const size_t count = std::min<size_t>(size_t{step} * geometry.width, bytes - first);
            RenderLineData(geometry, done, buffer + first, count);
            done += step;
            linesComplete = static_cast<int32_t>(done);
        }
        return true;
    }

    void StopAcquire(StopMode mode) {
        acquire.Signal();
        if (mode == StopMode::Wait) {
            std::lock_guard lock(mutex);
            acquire.Join();
        }
    }

    void StopPassthru(StopMode mode) {
        passthru.Signal();
        if (mode == StopMode::Signal) return;
        std::lock_guard lock(mutex);
        passthru.Join();
        if (passthruEvent != nullptr) {
            // Wake a waiter one last time; the closed handle then fails its next wait.
            SetEvent(passthruEvent);
            CloseHandle(passthruEvent);
            passthruEvent = nullptr;
        }
    }

    void StopOwnedBy(DWORD_PTR id) {
        bool acquireOwned, passthruOwned;
        {
            std::lock_guard lock(mutex);
            acquireOwned = acquire.owner == id;
            passthruOwned = passthru.owner == id;
        }
        if (acquireOwned) StopAcquire(StopMode::Wait);
        if (passthruOwned) StopPassthru(StopMode::Wait);
    }

    void Stop(StopMode mode) override {
        StopAcquire(mode);
        StopPassthru(mode);
    }
};

// The handle's side: closing the handle stops what it started on the board.
struct LineScanOwner : UnitState {
    std::weak_ptr<Board> board;
    DWORD_PTR id = 0;

    void Stop(StopMode mode) override {
        if (mode != StopMode::Wait) return; // the board's own stop signals everything
        if (const std::shared_ptr<Board> b = board.lock()) b->Unit<LineScanState>().StopOwnedBy(id);
    }
};

LineScanState& StateOf(Call& call) {
    LineScanOwner& owner = call.instance.Unit<LineScanOwner>();
    if (owner.id == 0) {
        owner.board = call.instance.sharedBoard();
        owner.id = call.instance.id();
    }
    return call.board.Unit<LineScanState>();
}

LineGeometry GeometryOf(Board& board) {
    const int32_t width =
        board.ValueOr(0, STC_FG_CTL_FRAME_WIDTH, static_cast<int32_t>(board.settings().frameWidth));
    const int32_t clock = board.ValueOr(0, STC_FG_CTL_CLOCK_FREQ, 20'000'000);
    return {static_cast<uint32_t>(std::max(width, 1)), static_cast<double>(clock),
            PlayedFolder(board)};
}

template <class T> bool WriteTo(LPARAM address, T value) {
    if (address == 0) return false;
    std::memcpy(reinterpret_cast<void*>(address), &value, sizeof value);
    return true;
}

// ---- Timing ------------------------------------------------------------------------------

bool ValidEdge(LPARAM edge) {
    return edge == 0 || edge == 1;
}

bool ValidCount(LPARAM count) {
    return count >= kMinCount && count <= kMaxCount;
}

Result SetCount(Call& call, std::atomic<uint32_t> (&counts)[2]) {
    if (!ValidEdge(call.param1) || !ValidCount(call.param2)) return Fail(drv::STS_RANGE);
    counts[call.param1] = static_cast<uint32_t>(call.param2);
    return Ok();
}

Result GetCount(Call& call, std::atomic<uint32_t> (&counts)[2]) {
    if (!ValidEdge(call.param1)) return Fail(drv::STS_RANGE);
    return WriteTo(call.param2, counts[call.param1].load()) ? Ok() : Fail(drv::STS_NULL);
}

Result SetIntegrationCount(Call& call) {
    return SetCount(call, StateOf(call).integration);
}
Result GetIntegrationCount(Call& call) {
    return GetCount(call, StateOf(call).integration);
}
Result SetLineDriveCount(Call& call) {
    return SetCount(call, StateOf(call).lineDrive);
}
Result GetLineDriveCount(Call& call) {
    return GetCount(call, StateOf(call).lineDrive);
}

Result SetDriveClockDivider(Call& call) {
    if (call.param1 < kMinDivider || call.param1 > kMaxDivider) return Fail(drv::STS_RANGE);
    StateOf(call).divider = static_cast<uint32_t>(call.param1);
    return Ok();
}

Result GetDriveClockDivider(Call& call) {
    return WriteTo(call.param1, StateOf(call).divider.load()) ? Ok() : Fail(drv::STS_NULL);
}

// ---- Mode and digital I/O ----------------------------------------------------------------
// In line-scan mode the digital lines carry the line-scan signals and are reached through
// this family; outside it, through the standard output message. Both drive the same latch.

Result SetMode(Call& call) {
    StateOf(call).lineScanMode = call.param1 != 0;
    return Ok();
}

Result SetDigio(Call& call) {
    if (!StateOf(call).lineScanMode) return Fail(drv::STS_MODECONFLICT);
    const auto pattern = static_cast<uint32_t>(call.param2);
    if ((pattern & ~kLineScanOutputs) != 0) return Fail(drv::STS_RANGE);
    call.board.digitalOutputs = pattern;
    return Ok();
}

Result GetDigio(Call& call) {
    if (!StateOf(call).lineScanMode) return Fail(drv::STS_MODECONFLICT);
    const uint32_t latch = (call.board.digitalOutputs & kLineScanOutputs) << kLineScanOutputShift;
    return WriteTo(call.param2, ReadLines(call.board, 0, latch)) ? Ok() : Fail(drv::STS_NULL);
}

// ---- Line acquisition --------------------------------------------------------------------

Result AcquireLines(Call& call) {
    LineAcquirePair pair{};
    if (call.param1 == 0 || !ReadBlock(call.param2, pair)) return Fail(drv::STS_NULL);
    if (pair.ByteCount == 0) return Fail(drv::STS_RANGE);
    if (pair.Mode != STC_LS_ACQUIRE_ASYNC && pair.Mode != STC_LS_ACQUIRE_SYNC)
        return Fail(drv::STS_RANGE);
    auto* buffer = reinterpret_cast<uint8_t*>(call.param1);
    const LineGeometry geometry = GeometryOf(call.board);
    const uint32_t timeout = [&] {
        auto lock = call.board.Lock();
        return call.board.timeout;
    }();
    LineScanState& ls = StateOf(call);

    std::unique_lock lock(ls.mutex);
    if (ls.AcquireBusy()) return Fail(drv::STS_BUSY);
    ls.acquireDone = false;
    ls.linesComplete = 0;
    if (pair.Mode == STC_LS_ACQUIRE_ASYNC) {
        ls.acquire.Start(call.instance.id(), [&ls, buffer, bytes = pair.ByteCount, geometry] {
            ls.Acquire(buffer, bytes, geometry, ls.acquire.stop(), 0);
            ls.acquireDone = true;
        });
        return Ok();
    }
    // Synchronous: on the caller's thread, until done, stopped (the handle closes) or timed out.
    ls.acquire.Join();
    ResetEvent(ls.acquire.stop());
    ls.acquire.owner = call.instance.id();
    ls.syncAcquiring = true;
    lock.unlock();
    const bool complete = ls.Acquire(buffer, pair.ByteCount, geometry, ls.acquire.stop(), timeout);
    lock.lock();
    ls.syncAcquiring = false;
    ls.acquireDone = true;
    if (complete) return Ok();
    return Fail(WaitForSingleObject(ls.acquire.stop(), 0) == WAIT_OBJECT_0 ? drv::STS_CANCELJOB
                                                                           : drv::STS_TIMEOUT);
}

// Writes the done flag, the lines completed and the granularity through the block's
// addresses. With no acquisition ever started, nothing is pending: done, 0 lines.
Result IsAcquireDone(Call& call) {
    LineStatusBlock block{};
    if (!ReadBlock(call.param1, block)) return Fail(drv::STS_NULL);
    if (block.Done == nullptr || block.LinesComplete == nullptr || block.Granularity == nullptr)
        return Fail(drv::STS_NULL);
    LineScanState& ls = StateOf(call);
    const bool done = ls.acquireDone;
    *block.LinesComplete = ls.linesComplete;
    *block.Granularity = static_cast<int32_t>(kGranularity);
    *block.Done = done ? 1 : 0;
    return Ok();
}

// ---- Line passthru -----------------------------------------------------------------------

struct Ring {
    std::vector<uint8_t*> buffers;
    uint32_t bytes;
    int32_t* states;
    HWND window;
    bool stopOnOverflow;
    HANDLE event;
};

// Fills the ring buffer after buffer, line after line; flags each full buffer and signals
// the event. A buffer whose flag the host has not cleared yet is an overflow: with
// stop-on-overflow passthru ends there, otherwise the buffer is filled again.
void RunPassthru(LineScanState& ls, const Ring& ring, const LineGeometry& geometry, HANDLE stop) {
    const uint32_t linesPerBuffer = (ring.bytes + geometry.width - 1) / geometry.width;
    LineClock clock;
    uint64_t line = 0;
    for (size_t index = 0;; index = (index + 1) % ring.buffers.size()) {
        volatile LONG* state = reinterpret_cast<volatile LONG*>(ring.states + index);
        if (ring.stopOnOverflow && InterlockedCompareExchange(state, 0, 0) != 0) return;
        for (uint32_t done = 0; done < linesPerBuffer;) {
            const uint32_t step = std::min(kGranularity, linesPerBuffer - done);
            if (!clock.Advance(step, ls.LinePeriod(geometry.clockHz), stop)) return;
            const size_t first = size_t{done} * geometry.width;
            const size_t count =
                std::min<size_t>(size_t{step} * geometry.width, ring.bytes - first);
            RenderLineData(geometry, line + done, ring.buffers[index] + first, count);
            done += step;
        }
        line += linesPerBuffer;
        if (ring.window != nullptr)
            DrawGray(ring.window, 0, 0, geometry.width, ring.bytes / geometry.width,
                     ring.buffers[index], geometry.width);
        InterlockedExchange(state, 1);
        SetEvent(ring.event);
    }
}

Result StartPassthru(Call& call) {
    LinePassthruBlock block{};
    if (!ReadBlock(call.param1, block)) return Fail(drv::STS_NULL);
    if (block.Buffers == nullptr || block.PassthruEvent == nullptr || block.BufferStates == nullptr)
        return Fail(drv::STS_NULL);
    const uint32_t n = block.BufferCount;
    if (n == 0 || n > kMaxBuffers || block.BytesPerBuffer == 0) return Fail(drv::STS_RANGE);
    if (block.BufferListSize < n * 4 || block.StateListSize < n * 4) return Fail(drv::STS_BUFSIZ);
    if (block.StopOnOverflow > 1) return Fail(drv::STS_RANGE);
    if (block.Window != nullptr && !IsWindow(block.Window)) return Fail(drv::STS_INVALIDHWND);
    Ring ring{{},           block.BytesPerBuffer,      block.BufferStates,
              block.Window, block.StopOnOverflow == 1, nullptr};
    for (uint32_t i = 0; i < n; ++i) {
        if (block.Buffers[i] == nullptr) return Fail(drv::STS_NULL);
        ring.buffers.push_back(static_cast<uint8_t*>(block.Buffers[i]));
    }
    const LineGeometry geometry = GeometryOf(call.board);
    LineScanState& ls = StateOf(call);

    std::lock_guard lock(ls.mutex);
    if (ls.passthru.Running()) return Fail(drv::STS_BUSY);
    // A passthru that ended on an overflow still holds its event until now.
    ls.passthru.Join();
    if (ls.passthruEvent != nullptr) CloseHandle(ls.passthruEvent);
    ls.passthruEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (ls.passthruEvent == nullptr) return Fail(drv::STS_SYSERROR);
    ring.event = ls.passthruEvent;
    *block.PassthruEvent = ls.passthruEvent;
    ls.passthru.Start(call.instance.id(), [&ls, ring = std::move(ring), geometry] {
        RunPassthru(ls, ring, geometry, ls.passthru.stop());
    });
    return Ok();
}

Result StopPassthru(Call& call) {
    StateOf(call).StopPassthru(StopMode::Wait);
    return Ok();
}

// ---- Drawing -----------------------------------------------------------------------------

Result DrawAcquiredLines(Call& call) {
    LineDrawBlock block{};
    if (!ReadBlock(call.param2, block) || block.Pixels == nullptr) return Fail(drv::STS_NULL);
    const auto window = reinterpret_cast<HWND>(call.param1);
    if (!IsWindow(window)) return Fail(drv::STS_INVALIDHWND);
    if (block.Width == 0 || block.Height == 0 ||
        uint64_t{block.Width} * block.Height > block.ByteCount)
        return Fail(drv::STS_RANGE);
    if (!DrawGray(window, block.OriginX, block.OriginY, block.Width, block.Height,
                  static_cast<const uint8_t*>(block.Pixels), block.Width))
        return Fail(drv::STS_SYSERROR);
    return Ok();
}

// Handlers that may wait for a worker (or run a synchronous acquisition) lock for themselves.
constexpr MessageHandler kHandlers[] = {
    {Family::LineScan, msg::STM_LS_ACQUIRE_LINES, AcquireLines, Locking::Self},
    {Family::LineScan, msg::STM_LS_SET_MODE, SetMode, Locking::Self},
    {Family::LineScan, msg::STM_LS_START_PASSTHRU, StartPassthru, Locking::Self},
    {Family::LineScan, msg::STM_LS_STOP_PASSTHRU, StopPassthru, Locking::Self},
    {Family::LineScan, msg::STM_LS_SET_INTEGRATION_COUNT, SetIntegrationCount, Locking::Self},
    {Family::LineScan, msg::STM_LS_GET_INTEGRATION_COUNT, GetIntegrationCount, Locking::Self},
    {Family::LineScan, msg::STM_LS_SET_LINE_DRIVE_COUNT, SetLineDriveCount, Locking::Self},
    {Family::LineScan, msg::STM_LS_GET_LINE_DRIVE_COUNT, GetLineDriveCount, Locking::Self},
    {Family::LineScan, msg::STM_LS_SET_DIGIO, SetDigio},
    {Family::LineScan, msg::STM_LS_GET_DIGIO, GetDigio},
    {Family::LineScan, msg::STM_LS_DRAW_ACQUIRED_LINES, DrawAcquiredLines, Locking::Self},
    {Family::LineScan, msg::STM_LS_IS_ACQUIRE_DONE, IsAcquireDone, Locking::Self},
    {Family::LineScan, msg::STM_LS_SET_DRIVE_CLOCK_DIVIDER, SetDriveClockDivider, Locking::Self},
    {Family::LineScan, msg::STM_LS_GET_DRIVE_CLOCK_DIVIDER, GetDriveClockDivider, Locking::Self},
};

} // namespace

uint32_t LineScanWorkers() {
    return gWorkers;
}

std::span<const MessageHandler> LineScanHandlers() {
    return kHandlers;
}

} // namespace kvboard
