// Acquisition: asynchronous jobs polled and stopped, external triggers and time-outs, jobs
// that outlive their frames or their handle, messages from several threads on one handle,
// and a process that ends while a job runs.
#include "acq_driver.h"

#include <atomic>
#include <string>
#include <thread>

namespace simtest {
namespace {

constexpr uint32_t kFrameBytes = 640 * 480;

TEST(AsyncAcquire, AJobIsPolledToDoneAndReportsItsBytes) {
    Driver d("kvboard!SIM7100");
    ASSERT_TRUE(d);
    ScopedFrame frame(d);
    const JobId job = StartAsync(d, frame);
    ASSERT_NE(job, 0u);
    const AsyncDoneAnswer done = PollUntilDone(d, job);
    EXPECT_EQ(done.Done, 1u);
    EXPECT_EQ(done.JobStatus, 0u);
    EXPECT_EQ(done.BytesToHost, kFrameBytes);
    EXPECT_GE(Counter(d, frame), 1u);

    // Stopping a finished job succeeds with its status; it stays answerable.
    uint32_t status = ~0u;
    EXPECT_EQ(d.Ask(msg::STM_STOP_ASYNC_ACQUIRE, job, status), 1);
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(Poll(d, job).Done, 1u);

    const JobId next = StartAsync(d, frame);
    EXPECT_NE(next, 0u);
    EXPECT_NE(next, job);
    EXPECT_EQ(PollUntilDone(d, next).JobStatus, 0u);
}

TEST(AsyncAcquire, AMultipleJobFillsItsFramesInOrder) {
    Driver d("kvboard!SIM7100");
    ASSERT_TRUE(d);
    ScopedFrame a(d), b(d), c(d);
    const JobId job = StartAsyncMultiple(d, {c, a, b});
    const AsyncDoneAnswer done = PollUntilDone(d, job);
    EXPECT_EQ(done.JobStatus, 0u);
    EXPECT_EQ(done.BytesToHost, 3 * kFrameBytes);
    const uint32_t first = Counter(d, c);
    EXPECT_EQ(Counter(d, a), first + 1);
    EXPECT_EQ(Counter(d, b), first + 2);

    const uint32_t empty[] = {0};
    JobId none = 0;
    EXPECT_EQ(d.Ask(msg::STM_START_ASYNC_ACQUIRE_MULTIPLE, reinterpret_cast<LPARAM>(empty), none),
              0);
    EXPECT_EQ(d.LastStatus(), drv::STS_RANGE);
    const uint32_t unknown[] = {1, a.get() + b.get() + c.get()};
    EXPECT_EQ(d.Ask(msg::STM_START_ASYNC_ACQUIRE_MULTIPLE, reinterpret_cast<LPARAM>(unknown), none),
              0);
    EXPECT_EQ(d.LastStatus(), drv::STS_INVALIDFRAMEHANDLE);
    EXPECT_EQ(none, 0u);
}

TEST(AsyncAcquire, UnknownJobsAreRefused) {
    Driver d("kvboard!SIM7100");
    ASSERT_TRUE(d);
    AsyncDoneAnswer answer{};
    EXPECT_EQ(d.Ask(msg::STM_IS_ASYNC_ACQUIRE_DONE, 0, answer), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_INVALIDJOBHANDLE);
    uint32_t status = 0;
    EXPECT_EQ(d.Ask(msg::STM_STOP_ASYNC_ACQUIRE, 0x7FFF0000, status), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_INVALIDJOBHANDLE);
    EXPECT_EQ(status, drv::STS_INVALIDJOBHANDLE) << "the status reaches the caller";
    uint8_t small[8] = {};
    EXPECT_EQ(d.Ask(msg::STM_IS_ASYNC_ACQUIRE_DONE, 0, small, sizeof small), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_BUFSIZ);
}

TEST(AsyncAcquire, StoppingEndsRunningAndPendingJobs) {
    Driver d("kvboard!SIM7100");
    ASSERT_TRUE(d);
    const AcqPort port = AcqPort::Find();
    ASSERT_EQ(SetTimeoutSeconds(d, 60), 1);
    ASSERT_EQ(SetMultTrigger(d, STC_FG_TRIGGER_EXTERNAL_LINE, STC_FG_TRIGMODE_TO_START), 1);
    ScopedFrame a(d), b(d);
    const JobId running = StartAsyncMultiple(d, {a, b});
    ASSERT_TRUE(port.AwaitWaiters("SIM7100"));
    const JobId pending = StartAsyncMultiple(d, {b});
    AsyncDoneAnswer answer = Poll(d, running);
    EXPECT_EQ(answer.Done, 0u);
    EXPECT_EQ(answer.JobStatus, drv::STS_ACTIVE);
    answer = Poll(d, pending);
    EXPECT_EQ(answer.Done, 0u);
    EXPECT_EQ(answer.JobStatus, drv::STS_PENDING);

    uint32_t status = 0;
    ASSERT_EQ(d.Ask(msg::STM_STOP_ASYNC_ACQUIRE, pending, status), 1);
    EXPECT_EQ(status, drv::STS_CANCELJOB);
    ASSERT_EQ(d.Ask(msg::STM_STOP_ASYNC_ACQUIRE, running, status), 1);
    EXPECT_EQ(status, drv::STS_CANCELJOB);
    // The stopped job reads as done, so that a poller ends.
    answer = Poll(d, running);
    EXPECT_EQ(answer.Done, 1u);
    EXPECT_EQ(answer.JobStatus, drv::STS_CANCELJOB);
    EXPECT_EQ(answer.BytesToHost, 0u);
    EXPECT_EQ(Counter(d, a), 0u) << "nothing was acquired";
    EXPECT_EQ(port.TriggerWaiters("SIM7100"), 0u);
}

// ---- Triggers ----------------------------------------------------------------------------

TEST(Trigger, AnExternalTriggerStartsTheJob) {
    Driver d("kvboard!SIM7100");
    ASSERT_TRUE(d);
    const AcqPort port = AcqPort::Find();
    ASSERT_EQ(SetTimeoutSeconds(d, 60), 1);
    ASSERT_EQ(SetTrigger(d, STC_FG_TRIGGER_EXTERNAL_LINE), 1);
    ScopedFrame frame(d);
    const JobId job = StartAsync(d, frame);
    ASSERT_TRUE(port.AwaitWaiters("SIM7100"));
    EXPECT_EQ(Poll(d, job).Done, 0u);
    EXPECT_EQ(port.FireTrigger("sim7100"), 1u) << "board names ignore case";
    const AsyncDoneAnswer done = PollUntilDone(d, job);
    EXPECT_EQ(done.JobStatus, 0u);
    EXPECT_GE(Counter(d, frame), 1u);
    EXPECT_EQ(port.FireTrigger("NOSUCHBOARD"), kNotOpen);
}

TEST(Trigger, SynchronousAcquisitionWaitsForTheTrigger) {
    Driver d("kvboard!SIM7100");
    ASSERT_TRUE(d);
    const AcqPort port = AcqPort::Find();
    ASSERT_EQ(SetTimeoutSeconds(d, 60), 1);
    ASSERT_EQ(SetTrigger(d, STC_FG_TRIGGER_EXTERNAL_LINE), 1);
    ScopedFrame frame(d);
    LRESULT result = -1;
    std::thread acquirer([&] { result = d.Send(msg::STM_ACQUIRE_FRAME, 0, frame); });
    ASSERT_TRUE(port.AwaitWaiters("SIM7100"));
    EXPECT_EQ(port.FireTrigger("SIM7100"), 1u);
    acquirer.join();
    EXPECT_EQ(result, 1);
    EXPECT_GE(Counter(d, frame), 1u);
}

TEST(Trigger, TriggerForEachWaitsBeforeEveryFrame) {
    Driver d("kvboard!SIM7100");
    ASSERT_TRUE(d);
    const AcqPort port = AcqPort::Find();
    ASSERT_EQ(SetTimeoutSeconds(d, 60), 1);
    ASSERT_EQ(SetMultTrigger(d, STC_FG_TRIGGER_EXTERNAL_LINE, STC_FG_TRIGMODE_FOR_EACH), 1);
    ScopedFrame a(d), b(d), c(d);
    const JobId job = StartAsyncMultiple(d, {a, b, c});
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(port.AwaitWaiters("SIM7100")) << "trigger " << i;
        const AsyncDoneAnswer answer = Poll(d, job);
        EXPECT_EQ(answer.Done, 0u);
        EXPECT_EQ(answer.BytesToHost, i * kFrameBytes);
        EXPECT_EQ(port.FireTrigger("SIM7100"), 1u);
    }
    EXPECT_EQ(PollUntilDone(d, job).JobStatus, 0u);
    EXPECT_EQ(Counter(d, c), Counter(d, a) + 2);
}

TEST(Trigger, WithoutATriggerAcquisitionTimesOut) {
    Driver d("kvboard!SIM7100");
    ASSERT_TRUE(d);
    ASSERT_EQ(SetTimeoutSeconds(d, 1), 1);
    ASSERT_EQ(SetTrigger(d, STC_FG_TRIGGER_EXTERNAL_LINE), 1);
    ScopedFrame frame(d);
    EXPECT_EQ(d.Send(msg::STM_ACQUIRE_FRAME, 0, frame), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_TIMEOUT);
    const JobId job = StartAsync(d, frame);
    const AsyncDoneAnswer done = PollUntilDone(d, job);
    EXPECT_EQ(done.JobStatus, drv::STS_TIMEOUT);
    EXPECT_EQ(done.BytesToHost, 0u);
    uint32_t status = 0;
    EXPECT_EQ(d.Ask(msg::STM_STOP_ASYNC_ACQUIRE, job, status), 1);
    EXPECT_EQ(status, drv::STS_TIMEOUT) << "a finished job keeps its status";
    EXPECT_EQ(Counter(d, frame), 0u);

    // A time-out of 0 does not wait at all.
    ASSERT_EQ(SetTimeoutSeconds(d, 0), 1);
    EXPECT_EQ(d.Send(msg::STM_ACQUIRE_FRAME, 0, frame), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_TIMEOUT);
    // The software trigger does not wait.
    ASSERT_EQ(SetTrigger(d, STC_FG_TRIGGER_NONE), 1);
    EXPECT_EQ(d.Send(msg::STM_ACQUIRE_FRAME, 0, frame), 1);
}

// ---- Lifetime ------------------------------------------------------------------------------

TEST(JobLifetime, AFrameDestroyedWhileAJobFillsItIsSafe) {
    Driver d("kvboard!SIM7100");
    ASSERT_TRUE(d);
    const AcqPort port = AcqPort::Find();
    ASSERT_EQ(SetTimeoutSeconds(d, 60), 1);
    ASSERT_EQ(SetMultTrigger(d, STC_FG_TRIGGER_EXTERNAL_LINE, STC_FG_TRIGMODE_FOR_EACH), 1);
    const FrameHandle a = Allocate(d), b = Allocate(d);
    const JobId job = StartAsyncMultiple(d, {a, b});
    ASSERT_TRUE(port.AwaitWaiters("SIM7100"));
    EXPECT_EQ(Destroy(d, a), 1);
    EXPECT_EQ(Destroy(d, b), 1);
    port.FireTrigger("SIM7100");
    ASSERT_TRUE(port.AwaitWaiters("SIM7100"));
    port.FireTrigger("SIM7100");
    const AsyncDoneAnswer done = PollUntilDone(d, job);
    EXPECT_EQ(done.JobStatus, 0u);
    EXPECT_EQ(done.BytesToHost, 2 * kFrameBytes);
    FrameInfo info{};
    EXPECT_EQ(d.Ask(msg::STM_GET_FRAME_INFO, a, info), 0) << "the frame stays destroyed";
}

TEST(JobLifetime, ClosingTheHandleEndsItsJobsAndTheWorker) {
    // Another board's handle keeps the driver loaded, so that the test port stays callable.
    Driver keeper("kvboard!SIM7400");
    ASSERT_TRUE(keeper);
    const AcqPort port = AcqPort::Find();
    const int before = ThreadCount();
    ASSERT_GT(before, 0);
    {
        Driver d("kvboard!SIM7100");
        ASSERT_TRUE(d);
        ASSERT_EQ(SetTimeoutSeconds(d, 60), 1);
        ASSERT_EQ(SetTrigger(d, STC_FG_TRIGGER_EXTERNAL_LINE), 1);
        ScopedFrame frame(d);
        ASSERT_NE(StartAsync(d, frame), 0u);
        ASSERT_TRUE(port.AwaitWaiters("SIM7100"));
        EXPECT_GT(ThreadCount(), before) << "the job runs on the board's own thread";
    } // the frame goes first, then the handle, while the job waits
    EXPECT_EQ(ThreadCount(), before);
    EXPECT_EQ(port.TriggerWaiters("SIM7100"), kNotOpen) << "the board is closed";
}

TEST(JobLifetime, AJobEndsWithItsHandleWhileTheBoardStaysOpen) {
    Driver keeper("kvboard!SIM7100");
    ASSERT_TRUE(keeper);
    const AcqPort port = AcqPort::Find();
    ASSERT_EQ(SetTimeoutSeconds(keeper, 60), 1);
    ASSERT_EQ(SetTrigger(keeper, STC_FG_TRIGGER_EXTERNAL_LINE), 1);
    ScopedFrame frame(keeper);
    JobId job = 0;
    {
        Driver owner("kvboard!SIM7100");
        ASSERT_TRUE(owner);
        job = StartAsync(owner, frame); // frames belong to the board, not to a handle
        ASSERT_TRUE(port.AwaitWaiters("SIM7100"));
    }
    const AsyncDoneAnswer answer = Poll(keeper, job);
    EXPECT_EQ(answer.Done, 1u);
    EXPECT_EQ(answer.JobStatus, drv::STS_CANCELJOB);
    EXPECT_EQ(port.TriggerWaiters("SIM7100"), 0u);
}

TEST(Concurrency, PollsAndInputControlsOnOneHandleFromTwoThreads) {
    FastBoard board(L"SIMACQ4", KV7100);
    Driver d("kvboard!SIMACQ4");
    ASSERT_TRUE(d);
    ASSERT_EQ(d.SetControl(0, STC_FG_CTL_FRAME_WIDTH, 64), 1);
    ASSERT_EQ(d.SetControl(0, STC_FG_CTL_FRAME_HEIGHT, 16), 1);
    ScopedFrame frame(d);
    std::atomic<int> jobFailures{0}, controlFailures{0};
    std::atomic<bool> acquiring{true};

    std::thread acquirer([&] {
        for (int i = 0; i < 200; ++i) {
            JobId job = 0;
            if (d.Ask(msg::STM_START_ASYNC_ACQUIRE, frame, job) != 1) {
                ++jobFailures;
                continue;
            }
            AsyncDoneAnswer answer{};
            do {
                if (d.Ask(msg::STM_IS_ASYNC_ACQUIRE_DONE, job, answer) != 1) {
                    ++jobFailures;
                    break;
                }
            } while (answer.Done != 1);
            if (answer.JobStatus != 0) ++jobFailures;
        }
        acquiring = false;
    });
    int rounds = 0;
    while (acquiring || rounds < 100) {
        const int32_t value = (rounds % 8) * 4;
        if (d.SetControl(1, STC_FG_CTL_FRAME_LEFT, value) != 1) ++controlFailures;
        if (d.GetControl(1, STC_FG_CTL_FRAME_LEFT) != value) ++controlFailures;
        if (d.SetControl(0, STC_FG_CTL_ILUT, rounds % 4) != 1) ++controlFailures;
        ++rounds;
    }
    acquirer.join();
    EXPECT_EQ(jobFailures, 0);
    EXPECT_EQ(controlFailures, 0);
    EXPECT_GE(Counter(d, frame), 200u);
}

// A process that ends while a job waits: run this test's program again as a child that
// leaves a job running and simply returns; it must end normally.
constexpr wchar_t kChildVariable[] = L"SIMACQ_CHILD";

TEST(ProcessEnd, AProcessEndsCleanlyWhileAJobRuns) {
    if (GetEnvironmentVariableW(kChildVariable, nullptr, 0) != 0) {
        auto* d = new Driver("kvboard!SIM7100"); // left open on purpose
        ASSERT_TRUE(*d);
        ASSERT_EQ(SetTimeoutSeconds(*d, 60), 1);
        ASSERT_EQ(SetTrigger(*d, STC_FG_TRIGGER_EXTERNAL_LINE), 1);
        const FrameHandle frame = Allocate(*d);
        ASSERT_NE(StartAsync(*d, frame), 0u);
        ASSERT_TRUE(AcqPort::Find().AwaitWaiters("SIM7100"));
        return;
    }
    wchar_t program[MAX_PATH] = {};
    ASSERT_NE(GetModuleFileNameW(nullptr, program, MAX_PATH), 0u);
    std::wstring command = std::wstring(L"\"") + program +
                           L"\" --gtest_filter=ProcessEnd.AProcessEndsCleanlyWhileAJobRuns";
    ASSERT_TRUE(SetEnvironmentVariableW(kChildVariable, L"1"));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    const BOOL started = CreateProcessW(program, command.data(), nullptr, nullptr, FALSE, 0,
                                        nullptr, nullptr, &startup, &child);
    SetEnvironmentVariableW(kChildVariable, nullptr);
    ASSERT_TRUE(started);
    const DWORD waited = WaitForSingleObject(child.hProcess, 120000);
    DWORD exitCode = ~0u;
    GetExitCodeProcess(child.hProcess, &exitCode);
    if (waited != WAIT_OBJECT_0) TerminateProcess(child.hProcess, 99);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    EXPECT_EQ(waited, WAIT_OBJECT_0) << "the child hung at its end";
    EXPECT_EQ(exitCode, 0u);
}

} // namespace
} // namespace simtest
