// Locks and threads on the platform's own primitives. The driver is loaded and unloaded many
// times in one process: a threading runtime linked into it would keep a TLS slot and kernel
// objects from every load that no unload gives back.
#pragma once

#include <memory>

#include <windows.h>

namespace kvboard {

// Exclusive and shared locking (std::lock_guard, std::unique_lock, std::shared_lock).
class Mutex {
public:
    Mutex() = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;
    void lock() { AcquireSRWLockExclusive(&lock_); }
    bool try_lock() { return TryAcquireSRWLockExclusive(&lock_) != 0; }
    void unlock() { ReleaseSRWLockExclusive(&lock_); }
    void lock_shared() { AcquireSRWLockShared(&lock_); }
    void unlock_shared() { ReleaseSRWLockShared(&lock_); }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
};

class RecursiveMutex {
public:
    RecursiveMutex() { InitializeCriticalSection(&section_); }
    ~RecursiveMutex() { DeleteCriticalSection(&section_); }
    RecursiveMutex(const RecursiveMutex&) = delete;
    RecursiveMutex& operator=(const RecursiveMutex&) = delete;
    void lock() { EnterCriticalSection(&section_); }
    bool try_lock() { return TryEnterCriticalSection(&section_) != 0; }
    void unlock() { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

// One thread running a callable; joined (or detached) by its owner.
class Thread {
public:
    Thread() = default;
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    ~Thread() { join(); }

    // False when the thread cannot be created; the callable is then dropped.
    template <class Fn> bool Start(Fn fn) {
        join();
        auto task = std::make_unique<Fn>(std::move(fn));
        handle_ = CreateThread(nullptr, 0, &Run<Fn>, task.get(), 0, nullptr);
        if (!handle_) return false;
        static_cast<void>(task.release()); // the thread owns it now
        return true;
    }
    bool joinable() const { return handle_ != nullptr; }
    void join() {
        if (!handle_) return;
        WaitForSingleObject(handle_, INFINITE);
        detach();
    }
    void detach() {
        if (handle_) CloseHandle(handle_);
        handle_ = nullptr;
    }

private:
    template <class Fn> static DWORD WINAPI Run(void* parameter) {
        const std::unique_ptr<Fn> task(static_cast<Fn*>(parameter));
        (*task)();
        return 0;
    }
    HANDLE handle_ = nullptr;
};

} // namespace kvboard
