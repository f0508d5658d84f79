// Acquisition: the board's video clock, its external trigger input and its acquisition
// engine, which runs asynchronous jobs.
//
// Thread model. Synchronous acquisitions run on the caller's thread. Asynchronous jobs run
// one after another, in the order they were started, on the board's one engine thread,
// which the engine starts with the first job and ends in Stop (last handle closed,
// DRV_FREE; at process detach Stop only signals). Every wait (next video frame, trigger,
// time-out) also ends when the engine stops or the job is cancelled, so no thread outlives
// Stop(Wait) and no message waits longer than the board's time-out.
//
// Video timing: images come at the board's frame rate (the "FrameRate" setting; 0: as fast
// as possible); an acquisition waits for the next frame time of the board's clock.
// Triggers: with STC_FG_TRIGGER_EXTERNAL_LINE an acquisition waits for a trigger pulse that
// comes after it started waiting, at most the board's time-out (STM_SET_TIMEOUT; 0: no
// wait), and fails with STS_TIMEOUT otherwise. Multiple acquisitions use the multiple
// trigger: TriggerToStart waits once before the first frame, TriggerForEach before each.
// Event triggers come from the video itself and do not wait.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "board.h"
#include "frames.h"
#include "sync.h"

namespace kvboard {

// How an acquisition waits for triggers.
struct TriggerPlan {
    bool external = false;  // wait for the external trigger
    bool eachFrame = false; // before every frame; else before the first only
    DWORD timeoutMs = 0;
};

// An owned kernel handle.
class Handle {
public:
    explicit Handle(HANDLE h = nullptr) : h_(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { Reset(); }
    HANDLE get() const { return h_; }
    void Reset(HANDLE h = nullptr) {
        if (h_) CloseHandle(h_);
        h_ = h;
    }

private:
    HANDLE h_;
};

struct AcquireJob;

class AcquireEngine : public UnitState {
public:
    AcquireEngine();
    ~AcquireEngine() override;
    void Stop(StopMode mode) override;

    // Waits for the board's next frame time. False when the engine stopped or `cancel`
    // (an event, or null) was set.
    bool WaitForNextFrame(uint32_t frameRate, HANDLE cancel);
    // Waits for a trigger pulse: 0, STS_TIMEOUT, or STS_CANCELJOB when stopped or cancelled.
    uint32_t WaitForTrigger(DWORD timeoutMs, HANDLE cancel);
    // Fires the external trigger: every acquisition waiting for it goes on. Answers how
    // many were waiting.
    uint32_t FireTrigger();
    uint32_t TriggerWaiters();

    // Acquires into the frames in order: 0, or the status that ended the acquisition.
    // `bytes` counts the bytes delivered.
    uint32_t Acquire(Board& board, const std::vector<FramePtr>& frames, const TriggerPlan& plan,
                     HANDLE cancel, std::atomic<uint32_t>* bytes);

    // Jobs. Start answers the new job id (never 0), or 0 and a status.
    imaging::JobId Start(Board& board, std::vector<FramePtr> frames, const TriggerPlan& plan,
                         uint32_t& status);
    // Done flag, job status (driver form) and bytes; STS_INVALIDJOBHANDLE for an unknown id.
    uint32_t Query(imaging::JobId id, imaging::AsyncDoneAnswer& answer);
    // Ends the job and waits until it has ended; `jobStatus` is its final status
    // (STS_CANCELJOB when it was still pending or running).
    uint32_t StopJob(imaging::JobId id, uint32_t& jobStatus);

private:
    static DWORD WINAPI WorkerMain(void* self);
    void Work();
    void Finish(AcquireJob& job, uint32_t status);
    void Retire(imaging::JobId id);

    Handle stop_; // manual reset: set once, when the engine stops
    Handle wake_; // auto reset: a job was queued
    std::atomic<bool> stopping_{false};
    LARGE_INTEGER epoch_{}, ticksPerSecond_{};

    Mutex mutex_; // guards everything below
    Handle worker_;
    Board* board_ = nullptr; // the board the jobs run on (the engine's owner)
    std::deque<std::shared_ptr<AcquireJob>> queue_;
    std::map<imaging::JobId, std::shared_ptr<AcquireJob>> jobs_; // pending, running, finished
    std::deque<imaging::JobId> finished_; // oldest first; the oldest are forgotten
    std::vector<HANDLE> triggerWaiters_;
};

AcquireEngine& BoardEngine(Board& board);

// The trigger plans of the board's current settings (single and multiple acquisition).
// Take the board lock.
TriggerPlan SingleTriggerPlan(Board& board);
TriggerPlan MultipleTriggerPlan(Board& board);

} // namespace kvboard
