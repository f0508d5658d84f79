#include "worker_thread.h"

#include <objbase.h>

#include <memory>

namespace core {
namespace {

struct ThreadStart {
    std::function<void()> body;
    HMODULE module = nullptr;
};

DWORD WINAPI RunWorker(void* parameter) {
    HMODULE module = nullptr;
    {
        const std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(parameter));
        module = start->module;
        const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        start->body();
        if (SUCCEEDED(com)) CoUninitialize();
    }
    FreeLibraryAndExitThread(module, 1);
}

} // namespace

bool WorkerThread::Start(std::function<void()> body) {
    auto start = std::make_unique<ThreadStart>();
    start->body = std::move(body);
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(&RunWorker), &start->module))
        return false;
    const HMODULE module = start->module;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, &RunWorker, start.get(), 0, &id);
    if (!thread) {
        FreeLibrary(module);
        return false;
    }
    start.release(); // the thread owns it now
    handle_.Reset(thread);
    id_ = id;
    return true;
}

void WorkerThread::Join() {
    if (!handle_) return;
    if (id_ != GetCurrentThreadId()) {
        const HANDLE thread = handle_.Get();
        while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) ==
               WAIT_OBJECT_0 + 1) {
            MSG msg;
            // Peeking handles the sent messages; posted ones stay queued for the host.
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
    }
    handle_.Reset();
}

// ---- ParkedWorker ----

struct ParkedWorker::Parking {
    com::CriticalSection lock;
    com::UniqueHandle wake{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    // Guarded by lock.
    std::function<void()> body;
    bool busy = false; // a body was handed over and has not finished
    bool end = false;
};

namespace {

void ParkAndRun(const std::shared_ptr<ParkedWorker::Parking>& parking);

} // namespace

bool ParkedWorker::Run(std::function<void()> body) {
    if (!parking_) {
        auto parking = std::make_shared<Parking>();
        if (!parking->wake) return false;
        WorkerThread thread;
        if (!thread.Start([parking] { ParkAndRun(parking); })) return false;
        thread.Forget();
        parking_ = std::move(parking);
    }
    {
        com::Lock lock(parking_->lock);
        if (parking_->busy) return false;
        parking_->busy = true;
        parking_->body = std::move(body);
    }
    SetEvent(parking_->wake.Get());
    return true;
}

void ParkedWorker::End() {
    if (!parking_) return;
    {
        com::Lock lock(parking_->lock);
        parking_->end = true;
    }
    SetEvent(parking_->wake.Get());
    parking_.reset();
}

namespace {

void ParkAndRun(const std::shared_ptr<ParkedWorker::Parking>& parking) {
    for (;;) {
        WaitForSingleObject(parking->wake.Get(), INFINITE);
        std::function<void()> body;
        {
            com::Lock lock(parking->lock);
            if (parking->end) return;
            body = std::move(parking->body);
            parking->body = nullptr;
        }
        if (body) body();
        com::Lock lock(parking->lock);
        parking->busy = false;
        if (parking->end) return;
    }
}

} // namespace

} // namespace core
