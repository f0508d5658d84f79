// What an asynchronous acquisition's worker thread shares with its control.
//
// The worker never touches the control object itself: it holds this state by shared
// ownership, so that the control may be destroyed while a worker still runs. The control
// detaches the state from its driver when it closes the device (the worker then stops
// polling a handle that is gone) and from its event sinks when it is destroyed (the worker
// then raises nothing).
#pragma once

#include "connection_points.h"
#include "raii.h"
#include "records.h"
#include "worker_thread.h"

#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <cstdint>
#include <memory>

namespace core {

struct AcquisitionShared {
    com::CriticalSection lock;
    // Guarded by lock.
    HDRVR driver = nullptr;                       // null once the device is closed
    uint64_t session = 0;                         // counts device closes
    const com::ConnectionPoint* events = nullptr; // null once the control is gone
    // The most recent job; the host thread writes it, workers read it on every poll.
    std::atomic<imaging::JobId> job{0};
};

// The control's side: the shared state and the most recent worker thread.
class Acquisition {
public:
    Acquisition() : shared_(std::make_shared<AcquisitionShared>()) {}
    Acquisition(const Acquisition&) = delete;
    Acquisition& operator=(const Acquisition&) = delete;
    // Detaches the workers from the driver and the sinks; the thread handle is closed, the
    // thread not waited for.
    ~Acquisition();

    const std::shared_ptr<AcquisitionShared>& Shared() const { return shared_; }
    // Workers raise no more events (the control is being destroyed).
    void DetachEvents();
    // Workers stop polling the driver (the device is about to close).
    void EndSession();
    // Has a worker poll the current job on driver and raise the events to the sinks of
    // events. False when no thread could be made.
    bool StartWorker(HDRVR driver, const com::ConnectionPoint& events);
    // Closes the handle of the previous worker without waiting for it.
    void ForgetWorker() { worker_.Forget(); }

private:
    std::shared_ptr<AcquisitionShared> shared_;
    ParkedWorker watcher_; // watches one job after another
    WorkerThread worker_;  // watches a job while the watcher still watches an earlier one
};

} // namespace core
