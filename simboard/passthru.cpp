// Passthru unit: passthru capabilities, the three start messages and the stop, the live video
// worker, scaling, source origin, the passthru lookup table and palette extension, snapshots
// and the sync event. The thread model is described in passthru.h.
#include "passthru.h"

#include <algorithm>
#include <chrono>

#include "handle_release.h"
#include "picture.h"
#include "surfaces.h"
#include "units.h"

namespace kvboard {

using namespace imaging;

Passthru::~Passthru() {
    if (run) Halt(std::move(run));
}

uint32_t Passthru::Halt(std::unique_ptr<PassthruRun> run) {
    if (!run) return 0;
    SetEvent(run->stop.get());
    if (run->worker.joinable()) run->worker.join();
    return run->finalStatus.load();
}

void Passthru::Stop(StopMode mode) {
    if (mode == StopMode::Signal) {
        // Under the loader lock: the worker can only be told to end. It keeps using its run,
        // which is left to it.
        std::unique_lock lock(mutex, std::try_to_lock);
        if (!lock || !run) return;
        SetEvent(run->stop.get());
        if (run->worker.joinable()) run->worker.detach();
        static_cast<void>(run.release());
        return;
    }
    std::unique_ptr<PassthruRun> ending;
    {
        std::lock_guard lock(mutex);
        ending = std::move(run);
    }
    Halt(std::move(ending));
}

void Passthru::Release(DWORD_PTR owner) {
    std::unique_ptr<PassthruRun> ending;
    {
        std::lock_guard lock(mutex);
        if (run && run->owner == owner) ending = std::move(run);
    }
    Halt(std::move(ending));
}

namespace {

// ---- The live video worker ---------------------------------------------------------------

HANDLE EnsureEvent(OwnedHandle& event) {
    if (!event) event.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    return event.get();
}

void Draw(HWND window, const DisplayImage& image) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const WindowDc dc(window);
    if (dc.get() == nullptr) return;
    StretchDIBits(dc.get(), 0, 0, image.width, image.height, 0, 0, image.width, image.height,
                  image.pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

class LiveVideo {
public:
    LiveVideo(PassthruRun& run, Board& board, Passthru& passthru, Surfaces& surfaces,
              PictureState& picture, HANDLE sync, HANDLE extSync)
        : run_(run), board_(board), passthru_(passthru), surfaces_(surfaces), picture_(picture),
          sync_(sync), extSync_(extSync) {}

    void operator()() {
        using Clock = std::chrono::steady_clock;
        const uint32_t rate = board_.settings().frameRate;
        const auto period =
            rate == 0 ? Clock::duration::zero()
                      : std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(1)) / rate;
        auto due = Clock::now();
        for (;;) {
            try {
                NextImage();
            } catch (const std::bad_alloc&) {
                Failed(drv::STS_NOMEM);
            }
            due += period;
            const auto now = Clock::now();
            if (due < now - period) due = now; // fell behind: do not catch up in a burst
            const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::max(due - now, Clock::duration::zero()));
            if (WaitForSingleObject(run_.stop.get(), static_cast<DWORD>(wait.count())) !=
                WAIT_TIMEOUT)
                return;
        }
    }

private:
    void Failed(uint32_t status) {
        uint32_t none = 0;
        run_.finalStatus.compare_exchange_strong(none, status);
    }

    void NextImage() {
        const PictureSettings settings = CurrentPictureSettings(board_);
        const uint64_t number = picture_.imageNumber.fetch_add(1) + 1;
        VideoView video;
        if (run_.mode == PassthruMode::AsyncEx) {
            // The next frame of the list gets the image, and its counter counts the fill.
            const size_t position = position_++ % run_.frames.size();
            const Frame& frame = *run_.frames[position];
            RenderPicture(settings, number, frame.View());
            InterlockedIncrement(reinterpret_cast<volatile LONG*>(run_.counters + position));
            video = ViewOf(frame.pixels(), frame);
        } else {
            const Frame& frame = *run_.frames.front();
            scratch_.resize(frame.size());
            FrameView view = frame.View();
            view.pixels = scratch_.data();
            RenderPicture(settings, number, view);
            video = ViewOf(scratch_.data(), frame);
        }
        run_.lastImage.store(number);
        if (run_.window != nullptr) Show(video);
        SetEvent(sync_);
        if (run_.mode == PassthruMode::AsyncEx) SetEvent(extSync_);
    }

    VideoView ViewOf(uint8_t* pixels, const Frame& frame) const {
        return {pixels, static_cast<int32_t>(frame.width()), static_cast<int32_t>(frame.height()),
                frame.layout(), board_.model().pixelDepth};
    }

    void Show(const VideoView& video) {
        PairBlock origin{}, scaling{};
        {
            std::lock_guard lock(passthru_.mutex);
            origin = passthru_.origin;
            scaling = passthru_.scaling;
            lut_ = passthru_.lut;
        }
        display_.width = scaling.First > 0 ? scaling.First : video.width;
        display_.height = scaling.Second > 0 ? scaling.Second : video.height;
        ComposeDisplay(video, origin.First, origin.Second, lut_, display_);
        surfaces_.OverlayLive(display_);
        if (!IsWindow(run_.window)) {
            Failed(drv::STS_INVALIDHWND); // the window went away: live video goes nowhere
            return;
        }
        Draw(run_.window, display_);
    }

    PassthruRun& run_;
    Board& board_;
    Passthru& passthru_;
    Surfaces& surfaces_;
    PictureState& picture_;
    HANDLE sync_;
    HANDLE extSync_;
    size_t position_ = 0;
    std::vector<uint8_t> scratch_;
    PassthruLut lut_{};
    DisplayImage display_;
};

// ---- Starting and stopping ---------------------------------------------------------------

struct StartRequest {
    PassthruMode mode;
    HWND window;
    std::vector<FramePtr> frames;
    int32_t* counters = nullptr;
};

struct Started {
    JobId job = 0;
    HANDLE extSync = nullptr;
};

// Starts the worker. A synchronous passthru of the same handle is replaced; any other running
// passthru makes the start fail with STS_BUSY.
uint32_t Begin(Call& call, StartRequest request, Started& started) {
    Board& board = call.board;
    Passthru& p = board.Unit<Passthru>();
    // The worker reaches these states through references: looking units up from a worker
    // would race with the board's stop.
    Surfaces& surfaces = board.Unit<Surfaces>();
    PictureState& picture = BoardPicture(board);
    const DWORD_PTR owner = call.instance.id();

    std::unique_ptr<PassthruRun> replaced;
    {
        std::lock_guard lock(p.mutex);
        if (p.run) {
            if (p.run->mode != PassthruMode::Sync || p.run->owner != owner) return drv::STS_BUSY;
            replaced = std::move(p.run);
        }
    }
    Passthru::Halt(std::move(replaced));

    auto run = std::make_unique<PassthruRun>();
    run->mode = request.mode;
    run->owner = owner;
    run->window = request.window;
    run->frames = std::move(request.frames);
    run->counters = request.counters;
    run->stop.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));

    std::lock_guard lock(p.mutex);
    if (p.run) return drv::STS_BUSY; // another start came first
    const HANDLE sync = EnsureEvent(p.syncEvent);
    const HANDLE extSync = EnsureEvent(p.extSyncEvent);
    if (!run->stop || sync == nullptr || extSync == nullptr) return drv::STS_SYSERROR;
    ResetEvent(extSync);
    if (request.mode != PassthruMode::Sync) {
        run->job = p.nextJob++;
        if (p.nextJob == 0) p.nextJob = 1;
    }
    if (!run->worker.Start(LiveVideo(*run, board, p, surfaces, picture, sync, extSync)))
        return drv::STS_SYSERROR;
    started = {run->job, extSync};
    p.run = std::move(run);
    BindHandle<Passthru>(call.instance);
    return 0;
}

// Modes 4 and 8: the window block names a window and the frame whose format live video has.
uint32_t WindowRequest(Call& call, PassthruMode mode, StartRequest& request) {
    WindowBlock block{};
    if (!ReadBlock(call.param1, block)) return drv::STS_NULL;
    if (!IsWindow(block.Window)) return drv::STS_INVALIDHWND;
    uint32_t status = 0;
    FramePtr frame = FindFrame(call.board, block.Frame, status);
    if (!frame) return status;
    request = {mode, block.Window, {std::move(frame)}};
    return 0;
}

Result StartPassthru(Call& call) {
    StartRequest request{};
    Started started;
    if (const uint32_t status = WindowRequest(call, PassthruMode::Sync, request))
        return Fail(status);
    if (const uint32_t status = Begin(call, std::move(request), started)) return Fail(status);
    return Ok();
}

Result StartAsyncPassthru(Call& call) {
    Output out(call.param2);
    if (const uint32_t status = out.Check(sizeof(JobId))) return Fail(status);
    StartRequest request{};
    Started started;
    if (const uint32_t status = WindowRequest(call, PassthruMode::Async, request))
        return Fail(status);
    if (const uint32_t status = Begin(call, std::move(request), started)) return Fail(status);
    return out.Put(started.job);
}

// Mode 16. The window may be null (frames only); the extended sync event and the job id go
// through the block, the job id also through the descriptor when there is one.
Result StartPassthruEx(Call& call) {
    ExtPassthruBlock block{};
    if (!ReadBlock(call.param1, block)) return Fail(drv::STS_NULL);
    if (block.Frames == nullptr || block.Counters == nullptr || block.SyncEvent == nullptr ||
        block.Job == nullptr)
        return Fail(drv::STS_NULL);
    if (block.FrameCount == 0 || block.FrameCount > kFrameSlots) return Fail(drv::STS_RANGE);
    if (block.Window != nullptr && !IsWindow(block.Window)) return Fail(drv::STS_INVALIDHWND);
    Output out(call.param2);
    if (out.Present()) {
        if (const uint32_t status = out.Check(sizeof(JobId))) return Fail(status);
    }
    StartRequest request{PassthruMode::AsyncEx, block.Window, {}, block.Counters};
    for (uint32_t i = 0; i < block.FrameCount; ++i) {
        uint32_t status = 0;
        FramePtr frame = FindFrame(call.board, block.Frames[i], status);
        if (!frame) return Fail(status);
        request.frames.push_back(std::move(frame));
    }
    Started started;
    if (const uint32_t status = Begin(call, std::move(request), started)) return Fail(status);
    *block.SyncEvent = started.extSync;
    *block.Job = started.job;
    return out.Present() ? out.Put(started.job) : Ok();
}

// Answers the final status of the job; a job id that names no passthru of this handle (0
// for its synchronous passthru) fails with STS_INVALIDJOBHANDLE, which is also the answer.
Result StopPassthru(Call& call) {
    Output out(call.param2);
    if (const uint32_t status = out.Check(sizeof(uint32_t))) return Fail(status);
    Passthru& p = call.board.Unit<Passthru>();
    const auto job = static_cast<JobId>(call.param1);
    std::unique_ptr<PassthruRun> ending;
    {
        std::lock_guard lock(p.mutex);
        if (p.run && p.run->owner == call.instance.id() && p.run->job == job)
            ending = std::move(p.run);
    }
    if (!ending) {
        out.Put(drv::STS_INVALIDJOBHANDLE);
        return Fail(drv::STS_INVALIDJOBHANDLE);
    }
    return out.Put(Passthru::Halt(std::move(ending)));
}

// ---- Capabilities and settings -----------------------------------------------------------

Result QueryPassthruCaps(Call& call) {
    const BoardSettings& s = call.board.settings();
    const PassthruScaling* scaling = s.model->passthruScaling;
    Output out(call.param2);
    switch (static_cast<uint32_t>(call.param1)) {
    case STC_FG_PC_DOES_SCALING: return out.Put(uint32_t{scaling != nullptr});
    case STC_FG_PC_SCALE_WIDTH_LIMITS:
        if (scaling == nullptr) break;
        return out.Put(stSTT_LNG_RNG{scaling->minWidth, scaling->maxWidth, scaling->widthStep,
                                     static_cast<int32_t>(s.frameWidth)});
    case STC_FG_PC_SCALE_HEIGHT_LIMITS:
        if (scaling == nullptr) break;
        return out.Put(stSTT_LNG_RNG{scaling->minHeight, scaling->maxHeight, scaling->heightStep,
                                     static_cast<int32_t>(s.frameHeight)});
    default: break;
    }
    return Fail(drv::STS_UNSUPKEY);
}

int32_t Fit(int32_t value, int32_t min, int32_t max, int32_t step) {
    value = std::clamp(value, min, max);
    return value - (value - min) % step;
}

// Takes the nearest size the board can show (within the limits, on their granularity) and
// answers it. Models that do not scale live video do not offer the message.
Result SetPassthruScaling(Call& call) {
    const PassthruScaling* limits = call.board.model().passthruScaling;
    if (limits == nullptr) return NotHandled();
    PairBlock size{};
    if (!ReadBlock(call.param1, size)) return Fail(drv::STS_NULL);
    Output out(call.param2);
    if (const uint32_t status = out.Check(sizeof size)) return Fail(status);
    const PairBlock used{
        Fit(size.First, limits->minWidth, limits->maxWidth, limits->widthStep),
        Fit(size.Second, limits->minHeight, limits->maxHeight, limits->heightStep)};
    Passthru& p = call.board.Unit<Passthru>();
    {
        std::lock_guard lock(p.mutex);
        p.scaling = used;
    }
    return out.Put(used);
}

int32_t MaxFrameExtent(const Board& board, uint32_t control, uint32_t fallback) {
    const ControlSpec* spec = board.model().FindControl(control);
    return spec ? spec->max : static_cast<int32_t>(fallback);
}

// The origin is the point of the digitised image shown at the window's top-left corner; it
// must lie inside the board's largest frame.
Result SetSourceOrigin(Call& call) {
    PairBlock origin{};
    if (!ReadBlock(call.param1, origin)) return Fail(drv::STS_NULL);
    const Board& board = call.board;
    if (origin.First < 0 || origin.Second < 0 ||
        origin.First >=
            MaxFrameExtent(board, STC_FG_CTL_FRAME_WIDTH, board.settings().frameWidth) ||
        origin.Second >=
            MaxFrameExtent(board, STC_FG_CTL_FRAME_HEIGHT, board.settings().frameHeight))
        return Fail(drv::STS_RANGE);
    Passthru& p = call.board.Unit<Passthru>();
    std::lock_guard lock(p.mutex);
    p.origin = origin;
    return Ok();
}

Result GetSourceOrigin(Call& call) {
    Passthru& p = call.board.Unit<Passthru>();
    PairBlock origin{};
    {
        std::lock_guard lock(p.mutex);
        origin = p.origin;
    }
    return Output(call.param2).Put(origin);
}

// Reads `count` three-byte entries (red, green, blue) into table[first...]; the range has
// been checked.
template <size_t N>
void LoadEntries(const uint8_t* bytes, int32_t first, int32_t count, std::array<Rgb8, N>& table) {
    for (int32_t i = 0; i < count; ++i, bytes += 3)
        table[size_t(first + i)] = {bytes[0], bytes[1], bytes[2]};
}

Result LoadPassthruLut(Call& call) {
    PairBlock range{};
    if (!ReadBlock(call.param1, range)) return Fail(drv::STS_NULL);
    if (range.First < 0 || range.Second <= 0 ||
        range.First > static_cast<int32_t>(kPassthruLutEntries) - range.Second)
        return Fail(drv::STS_PASSTHRULUTRANGE);
    if (call.param2 == 0) return Fail(drv::STS_NULL);
    Passthru& p = call.board.Unit<Passthru>();
    std::lock_guard lock(p.mutex);
    LoadEntries(reinterpret_cast<const uint8_t*>(call.param2), range.First, range.Second, p.lut);
    return Ok();
}

Result LoadDefaultPassthruLut(Call& call) {
    Passthru& p = call.board.Unit<Passthru>();
    std::lock_guard lock(p.mutex);
    p.lut = IdentityLut();
    return Ok();
}

// The entries are kept for a display with a 256-color palette; the true-color drawing of
// live video does not need them.
Result ExtendPassthruPalette(Call& call) {
    PairBlock range{};
    if (!ReadBlock(call.param1, range)) return Fail(drv::STS_NULL);
    if (range.First < kFirstFreePaletteEntry || range.Second <= 0 ||
        range.First > kLastFreePaletteEntry + 1 - range.Second)
        return Fail(drv::STS_PASSTHRUPALRANGE);
    if (call.param2 == 0) return Fail(drv::STS_NULL);
    Passthru& p = call.board.Unit<Passthru>();
    std::lock_guard lock(p.mutex);
    LoadEntries(reinterpret_cast<const uint8_t*>(call.param2), range.First, range.Second,
                p.palette);
    return Ok();
}

// The image live video shows now goes into the frame, in the frame's own format.
Result PassthruSnapshot(Call& call) {
    Passthru& p = call.board.Unit<Passthru>();
    uint64_t image = 0;
    {
        std::lock_guard lock(p.mutex);
        if (!p.run) return Fail(drv::STS_PASSTHRU_STOPPED);
        image = p.run->lastImage.load();
    }
    uint32_t status = 0;
    const FramePtr frame = FindFrame(call.board, static_cast<FrameHandle>(call.param1), status);
    if (!frame) return Fail(status);
    if (image == 0) image = NextImageNumber(call.board); // nothing shown yet
    RenderPicture(CurrentPictureSettings(call.board), image, frame->View());
    return Ok();
}

// Answers the board's sync event in a pointer-sized variable. The event stays the driver's.
Result GetSyncEvent(Call& call) {
    auto* answer = reinterpret_cast<HANDLE*>(call.param2);
    if (answer == nullptr) return Fail(drv::STS_NULL);
    Passthru& p = call.board.Unit<Passthru>();
    std::lock_guard lock(p.mutex);
    const HANDLE event = EnsureEvent(p.syncEvent);
    if (event == nullptr) return Fail(drv::STS_SYSERROR);
    *answer = event;
    return Ok();
}

constexpr MessageHandler kHandlers[] = {
    {Family::Standard, msg::STM_QUERY_PASSTHRU_CAPS, QueryPassthruCaps},
    {Family::Standard, msg::STM_START_PASSTHRU, StartPassthru, Locking::Self},
    {Family::Standard, msg::STM_START_ASYNC_PASSTHRU, StartAsyncPassthru, Locking::Self},
    {Family::Standard, msg::STM_START_PASSTHRU_EX, StartPassthruEx, Locking::Self},
    {Family::Standard, msg::STM_STOP_PASSTHRU, StopPassthru, Locking::Self},
    {Family::Standard, msg::STM_SET_PASSTHRU_SCALING, SetPassthruScaling},
    {Family::Standard, msg::STM_SET_PASSTHRU_SOURCE_ORIGIN, SetSourceOrigin},
    {Family::Standard, msg::STM_GET_PASSTHRU_SOURCE_ORIGIN, GetSourceOrigin},
    {Family::Standard, msg::STM_LOAD_PASSTHRU_LUT, LoadPassthruLut},
    {Family::Standard, msg::STM_LOAD_DEFAULT_PASSTHRU_LUT, LoadDefaultPassthruLut},
    {Family::Standard, msg::STM_EXTEND_PASSTHRU_PALETTE, ExtendPassthruPalette},
    {Family::Standard, msg::STM_PASSTHRU_SNAPSHOT, PassthruSnapshot},
    {Family::Standard, msg::STM_GET_SYNC_EVENT, GetSyncEvent},
};

} // namespace

std::span<const MessageHandler> PassthruHandlers() {
    return kHandlers;
}

} // namespace kvboard
