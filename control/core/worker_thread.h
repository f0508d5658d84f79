// A worker thread of the control: it joins the multithreaded apartment (event sinks are
// called directly from it) and holds a reference on this library for its whole life, so
// that the library stays loaded while a worker of a destroyed control finishes.
#pragma once

#include "raii.h"

#include <windows.h>

#include <functional>
#include <memory>

namespace core {

class WorkerThread {
public:
    WorkerThread() = default;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Runs body on a new thread; the handle of an earlier thread is closed, that thread not
    // waited for. False when no thread could be made.
    bool Start(std::function<void()> body);
    // Waits until the thread has ended and closes its handle. Messages sent to the calling
    // thread are handled meanwhile, so that a sink that sends to the host's windows from the
    // worker cannot block it. Called on the worker itself (from one of its sinks), it only
    // closes the handle.
    void Join();
    // Closes the handle without waiting for the thread.
    void Forget() { handle_.Reset(); }
    bool Held() const { return handle_.Valid(); }

private:
    com::UniqueHandle handle_;
    DWORD id_ = 0;
};

// A worker thread kept between bodies, so that a body that follows another costs no new
// thread and apartment: Run hands the thread one body at a time. Ending (or destroying) the
// worker tells the thread to end once its body is done; it is not waited for.
class ParkedWorker {
public:
    ParkedWorker() = default;
    ParkedWorker(const ParkedWorker&) = delete;
    ParkedWorker& operator=(const ParkedWorker&) = delete;
    ~ParkedWorker() { End(); }

    // False while the thread still runs an earlier body, or when no thread could be made:
    // the caller then runs the body some other way.
    bool Run(std::function<void()> body);
    void End();

    struct Parking; // what the thread shares with its owner

private:
    std::shared_ptr<Parking> parking_;
};

} // namespace core
