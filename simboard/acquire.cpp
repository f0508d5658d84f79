// Acquisition unit: synchronous single and multiple acquisition and the asynchronous jobs.
#include "acquire.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "units.h"

namespace kvboard {

using namespace imaging;

struct AcquireJob {
    JobId id = 0;
    std::vector<FramePtr> frames; // released when the job ends
    TriggerPlan plan;
    Handle cancel{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    Handle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<uint32_t> status{drv::STS_PENDING};
    std::atomic<uint32_t> bytes{0};
    bool finished = false; // guarded by the engine's mutex
};

namespace {

constexpr size_t kKeptFinishedJobs = 256; // finished jobs stay answerable for polls
constexpr uint32_t kMaxListFrames = FrameStore::kMaxFrames;

std::atomic<uint32_t> gNextJobId{1};

JobId NewJobId() {
    for (;;)
        if (const JobId id = gNextJobId.fetch_add(1); id != 0) return id;
}

} // namespace

// ---- Engine ------------------------------------------------------------------------------

AcquireEngine::AcquireEngine()
    : stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    QueryPerformanceFrequency(&ticksPerSecond_);
    QueryPerformanceCounter(&epoch_);
}

AcquireEngine::~AcquireEngine() {
    Stop(StopMode::Wait);
}

void AcquireEngine::Stop(StopMode mode) {
    // Signal mode runs under the loader lock, where other threads may have died holding
    // locks: it only sets the flag and the event.
    stopping_ = true;
    if (stop_.get()) SetEvent(stop_.get());
    if (mode == StopMode::Signal) return;
    HANDLE worker = nullptr;
    {
        std::lock_guard lock(mutex_);
        worker = worker_.get();
    }
    if (worker) WaitForSingleObject(worker, INFINITE);
    std::lock_guard lock(mutex_);
    worker_.Reset();
    while (!queue_.empty()) {
        Finish(*queue_.front(), drv::STS_CANCELJOB);
        queue_.pop_front();
    }
}

bool AcquireEngine::WaitForNextFrame(uint32_t frameRate, HANDLE cancel) {
    // At full speed this runs once an image: the stop is read from its flag, and only a
    // job's cancel event costs a (zero-length) wait.
    if (stopping_) return false;
    if (cancel && WaitForSingleObject(cancel, 0) != WAIT_TIMEOUT) return false;
    if (frameRate == 0) return true;
    HANDLE handles[2] = {stop_.get(), cancel};
    const DWORD count = cancel ? 2 : 1;
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    const double period = static_cast<double>(ticksPerSecond_.QuadPart) / frameRate;
    const double elapsed = static_cast<double>(now.QuadPart - epoch_.QuadPart);
    const double next = (std::floor(elapsed / period) + 1) * period;
    const auto ms = static_cast<DWORD>(
        std::ceil((next - elapsed) * 1000.0 / static_cast<double>(ticksPerSecond_.QuadPart)));
    return WaitForMultipleObjects(count, handles, FALSE, ms) == WAIT_TIMEOUT;
}

uint32_t AcquireEngine::WaitForTrigger(DWORD timeoutMs, HANDLE cancel) {
    Handle pulse(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!pulse.get()) return drv::STS_SYSERROR;
    {
        std::lock_guard lock(mutex_);
        triggerWaiters_.push_back(pulse.get());
    }
    HANDLE handles[3] = {stop_.get(), pulse.get(), cancel};
    const DWORD r = WaitForMultipleObjects(cancel ? 3 : 2, handles, FALSE, timeoutMs);
    {
        std::lock_guard lock(mutex_);
        std::erase(triggerWaiters_, pulse.get());
    }
    if (r == WAIT_OBJECT_0 + 1) return 0;
    if (r == WAIT_TIMEOUT) return drv::STS_TIMEOUT;
    return drv::STS_CANCELJOB;
}

uint32_t AcquireEngine::FireTrigger() {
    std::lock_guard lock(mutex_);
    for (HANDLE waiter : triggerWaiters_)
        SetEvent(waiter);
    const auto released = static_cast<uint32_t>(triggerWaiters_.size());
    triggerWaiters_.clear();
    return released;
}

uint32_t AcquireEngine::TriggerWaiters() {
    std::lock_guard lock(mutex_);
    return static_cast<uint32_t>(triggerWaiters_.size());
}

uint32_t AcquireEngine::Acquire(Board& board, const std::vector<FramePtr>& frames,
                                const TriggerPlan& plan, HANDLE cancel,
                                std::atomic<uint32_t>* bytes) {
    const uint32_t frameRate = board.settings().frameRate;
    for (size_t i = 0; i < frames.size(); ++i) {
        if (plan.external && (i == 0 || plan.eachFrame)) {
            if (const uint32_t status = WaitForTrigger(plan.timeoutMs, cancel)) return status;
        }
        if (!WaitForNextFrame(frameRate, cancel)) return drv::STS_CANCELJOB;
        const PictureSettings settings = CurrentPictureSettings(board);
        RenderPicture(settings, NextImageNumber(board), frames[i]->View());
        if (bytes) *bytes += static_cast<uint32_t>(frames[i]->size());
    }
    return 0;
}

JobId AcquireEngine::Start(Board& board, std::vector<FramePtr> frames, const TriggerPlan& plan,
                           uint32_t& status) {
    std::lock_guard lock(mutex_);
    if (stopping_) {
        status = drv::STS_CANCELJOB;
        return 0;
    }
    auto job = std::make_shared<AcquireJob>();
    if (!job->cancel.get() || !job->done.get()) {
        status = drv::STS_SYSERROR;
        return 0;
    }
    if (!worker_.get()) {
        board_ = &board;
        worker_.Reset(CreateThread(nullptr, 0, WorkerMain, this, 0, nullptr));
        if (!worker_.get()) {
            status = drv::STS_SYSERROR;
            return 0;
        }
    }
    job->id = NewJobId();
    job->frames = std::move(frames);
    job->plan = plan;
    jobs_[job->id] = job;
    queue_.push_back(job);
    SetEvent(wake_.get());
    status = 0;
    return job->id;
}

uint32_t AcquireEngine::Query(JobId id, AsyncDoneAnswer& answer) {
    std::lock_guard lock(mutex_);
    const auto it = jobs_.find(id);
    if (it == jobs_.end()) return drv::STS_INVALIDJOBHANDLE;
    const AcquireJob& job = *it->second;
    answer = {job.finished ? 1u : 0u, job.status.load(), job.bytes.load()};
    return 0;
}

uint32_t AcquireEngine::StopJob(JobId id, uint32_t& jobStatus) {
    std::shared_ptr<AcquireJob> job;
    {
        std::lock_guard lock(mutex_);
        const auto it = jobs_.find(id);
        if (it == jobs_.end()) return drv::STS_INVALIDJOBHANDLE;
        job = it->second;
        if (!job->finished) {
            const auto queued = std::find(queue_.begin(), queue_.end(), job);
            if (queued != queue_.end()) {
                queue_.erase(queued);
                Finish(*job, drv::STS_CANCELJOB);
            } else {
                SetEvent(job->cancel.get());
            }
        }
    }
    // A running job ends at its next wait or after the frame it is filling.
    WaitForSingleObject(job->done.get(), INFINITE);
    jobStatus = job->status;
    return 0;
}

DWORD WINAPI AcquireEngine::WorkerMain(void* self) {
    static_cast<AcquireEngine*>(self)->Work();
    return 0;
}

void AcquireEngine::Work() {
    for (;;) {
        std::shared_ptr<AcquireJob> job;
        std::vector<FramePtr> frames;
        {
            std::lock_guard lock(mutex_);
            if (stopping_) return;
            if (!queue_.empty()) {
                job = queue_.front();
                queue_.pop_front();
                job->status = drv::STS_ACTIVE;
                frames = job->frames;
            }
        }
        if (!job) {
            HANDLE handles[2] = {stop_.get(), wake_.get()};
            if (WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return;
            continue;
        }
        const uint32_t status = Acquire(*board_, frames, job->plan, job->cancel.get(), &job->bytes);
        frames.clear();
        std::lock_guard lock(mutex_);
        Finish(*job, status);
    }
}

void AcquireEngine::Finish(AcquireJob& job, uint32_t status) {
    job.status = status;
    job.finished = true;
    job.frames.clear();
    SetEvent(job.done.get());
    finished_.push_back(job.id);
    while (finished_.size() > kKeptFinishedJobs) {
        Retire(finished_.front());
        finished_.pop_front();
    }
}

void AcquireEngine::Retire(JobId id) {
    jobs_.erase(id);
}

AcquireEngine& BoardEngine(Board& board) {
    return board.Unit<AcquireEngine>();
}

namespace {

DWORD TimeoutMs(uint32_t seconds) {
    return static_cast<DWORD>(std::min<uint32_t>(seconds, 24 * 3600) * 1000u);
}

} // namespace

TriggerPlan SingleTriggerPlan(Board& board) {
    auto lock = board.Lock();
    return {board.trigger.Type == STC_FG_TRIGGER_EXTERNAL_LINE, false, TimeoutMs(board.timeout)};
}

TriggerPlan MultipleTriggerPlan(Board& board) {
    auto lock = board.Lock();
    return {board.multTrigger.Type == STC_FG_TRIGGER_EXTERNAL_LINE,
            board.multTrigger.Mode == STC_FG_TRIGMODE_FOR_EACH, TimeoutMs(board.timeout)};
}

// ---- Handlers ----------------------------------------------------------------------------

namespace {

// The frames a list names, in order; every one must exist.
uint32_t FramesOf(Board& board, const FrameHandle* handles, uint32_t count,
                  std::vector<FramePtr>& frames) {
    auto lock = board.Lock();
    FrameStore& store = BoardFrames(board);
    for (uint32_t i = 0; i < count; ++i) {
        FramePtr frame = store.Find(handles[i]);
        if (!frame) return drv::STS_INVALIDFRAMEHANDLE;
        frames.push_back(std::move(frame));
    }
    return 0;
}

// Copies a plain frame list (count handles at `address`): the caller frees it after the
// message.
uint32_t CopyList(LPARAM address, uint32_t count, std::vector<FrameHandle>& handles) {
    if (address == 0) return drv::STS_NULL;
    if (count == 0 || count > kMaxListFrames) return drv::STS_RANGE;
    handles.resize(count);
    std::memcpy(handles.data(), reinterpret_cast<const void*>(address),
                count * sizeof(FrameHandle));
    return 0;
}

// A counted list: the count, then the handles.
uint32_t CopyCountedList(LPARAM address, std::vector<FrameHandle>& handles) {
    uint32_t count = 0;
    if (!ReadBlock(address, count)) return drv::STS_NULL;
    return CopyList(address + sizeof(uint32_t), count, handles);
}

Result Done(uint32_t status) {
    return status == 0 ? Ok() : Fail(status);
}

Result AcquireFrame(Call& call) {
    const FrameHandle handle = static_cast<FrameHandle>(call.param2);
    std::vector<FramePtr> frames;
    if (const uint32_t status = FramesOf(call.board, &handle, 1, frames)) return Fail(status);
    AcquireEngine& engine = BoardEngine(call.board);
    return Done(
        engine.Acquire(call.board, frames, SingleTriggerPlan(call.board), nullptr, nullptr));
}

Result AcquireMultiple(Call& call) {
    std::vector<FrameHandle> handles;
    if (const uint32_t status = CopyList(call.param2, static_cast<uint32_t>(call.param1), handles))
        return Fail(status);
    std::vector<FramePtr> frames;
    if (const uint32_t status =
            FramesOf(call.board, handles.data(), static_cast<uint32_t>(handles.size()), frames))
        return Fail(status);
    AcquireEngine& engine = BoardEngine(call.board);
    return Done(
        engine.Acquire(call.board, frames, MultipleTriggerPlan(call.board), nullptr, nullptr));
}

// The jobs a handle started: they end when the handle closes, even while other handles on
// the board stay open.
class HandleJobs : public UnitState {
public:
    void Add(Board& board, JobId id) {
        std::lock_guard lock(mutex_);
        board_ = &board;
        if (ids_.size() >= kPruneAt) {
            AcquireEngine& engine = BoardEngine(board);
            std::erase_if(ids_, [&](JobId job) {
                AsyncDoneAnswer answer{};
                return engine.Query(job, answer) != 0 || answer.Done == 1;
            });
        }
        ids_.push_back(id);
    }
    void Stop(StopMode mode) override {
        if (mode == StopMode::Signal) return; // the board's engine is told to stop as well
        std::vector<JobId> ids;
        Board* board = nullptr;
        {
            std::lock_guard lock(mutex_);
            ids.swap(ids_);
            board = board_;
        }
        if (board == nullptr) return;
        uint32_t jobStatus = 0;
        for (const JobId id : ids)
            BoardEngine(*board).StopJob(id, jobStatus);
    }

private:
    static constexpr size_t kPruneAt = 64;
    Mutex mutex_;
    Board* board_ = nullptr;
    std::vector<JobId> ids_;
};

Result StartJob(Call& call, std::vector<FramePtr> frames, const TriggerPlan& plan) {
    Output out(call.param2);
    uint32_t status = 0;
    const JobId id = BoardEngine(call.board).Start(call.board, std::move(frames), plan, status);
    if (id == 0) return Fail(status);
    call.instance.Unit<HandleJobs>().Add(call.board, id);
    return out.Put(id);
}

Result StartAsyncAcquire(Call& call) {
    if (const uint32_t status = Output(call.param2).Check(sizeof(JobId))) return Fail(status);
    const FrameHandle handle = static_cast<FrameHandle>(call.param1);
    std::vector<FramePtr> frames;
    if (const uint32_t status = FramesOf(call.board, &handle, 1, frames)) return Fail(status);
    return StartJob(call, std::move(frames), SingleTriggerPlan(call.board));
}

Result StartAsyncAcquireMultiple(Call& call) {
    if (const uint32_t status = Output(call.param2).Check(sizeof(JobId))) return Fail(status);
    std::vector<FrameHandle> handles;
    if (const uint32_t status = CopyCountedList(call.param1, handles)) return Fail(status);
    std::vector<FramePtr> frames;
    if (const uint32_t status =
            FramesOf(call.board, handles.data(), static_cast<uint32_t>(handles.size()), frames))
        return Fail(status);
    return StartJob(call, std::move(frames), MultipleTriggerPlan(call.board));
}

Result IsAsyncAcquireDone(Call& call) {
    Output out(call.param2);
    if (const uint32_t status = out.Check(sizeof(AsyncDoneAnswer))) return Fail(status);
    AsyncDoneAnswer answer{};
    if (const uint32_t status =
            BoardEngine(call.board).Query(static_cast<JobId>(call.param1), answer))
        return Fail(status);
    return out.Put(answer);
}

Result StopAsyncAcquire(Call& call) {
    Output out(call.param2);
    if (const uint32_t status = out.Check(sizeof(uint32_t))) return Fail(status);
    uint32_t jobStatus = 0;
    const uint32_t status =
        BoardEngine(call.board).StopJob(static_cast<JobId>(call.param1), jobStatus);
    if (status != 0) {
        // The caller reads the job status also after a failure: it names the failure.
        out.Put(status);
        return Fail(status);
    }
    return out.Put(jobStatus);
}

constexpr MessageHandler kHandlers[] = {
    {Family::Standard, msg::STM_ACQUIRE_FRAME, AcquireFrame, Locking::Self},
    {Family::Standard, msg::STM_ACQUIRE_MULTIPLE, AcquireMultiple, Locking::Self},
    {Family::Standard, msg::STM_START_ASYNC_ACQUIRE, StartAsyncAcquire, Locking::Self},
    {Family::Standard, msg::STM_START_ASYNC_ACQUIRE_MULTIPLE, StartAsyncAcquireMultiple,
     Locking::Self},
    {Family::Standard, msg::STM_IS_ASYNC_ACQUIRE_DONE, IsAsyncAcquireDone, Locking::Self},
    {Family::Standard, msg::STM_STOP_ASYNC_ACQUIRE, StopAsyncAcquire, Locking::Self},
};

} // namespace

std::span<const MessageHandler> AcquireHandlers() {
    return kHandlers;
}

} // namespace kvboard
