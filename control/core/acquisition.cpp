// Frame acquisition: synchronous and asynchronous AcquireFrames, polling and stopping a job,
// and the worker thread that watches a job and raises OnAcquireNotify and OnAcquireNotify2.
#include "acquisition.h"

#include "corvid.h"
#include "frame_messages.h"
#include "host_array.h"

#include <cmath>
#include <vector>

namespace core {
namespace {

constexpr DWORD kHelpAcquireFrames = 2104;
constexpr DWORD kHelpStopAsyncAcquireFrames = 2005;
constexpr DWORD kHelpIsAsyncAcquireFramesDone = 2129;

constexpr DISPID kOnAcquireNotify = 1;
constexpr DISPID kOnAcquireNotify2 = 5;

// The sinks connected now; none once the control is gone.
std::vector<com::ComPtr<IUnknown>> ConnectedSinks(AcquisitionShared& shared) {
    com::Lock lock(shared.lock);
    if (!shared.events) return {};
    return shared.events->Sinks();
}

void RaiseAcquireNotify2(AcquisitionShared& shared, imaging::STT_APISTATUS jobStatus) {
    VARIANT status;
    VariantInit(&status);
    V_VT(&status) = VT_I4;
    V_I4(&status) = static_cast<LONG>(jobStatus);
    com::RaiseEvent(ConnectedSinks(shared), kOnAcquireNotify2, {&status, 1});
}

// An API status of error severity (0x94xxxxxx).
bool IsError(imaging::STT_APISTATUS status) {
    return (status & 0x8F000000u) == (0x80000000u | (imaging::STC_IMG_SEV_ERROR << 24));
}

// Paces the polls of a job: the first few follow each other at once, so that a job that ends
// at once is seen at once; then the worker sleeps a fraction of a millisecond between polls,
// so that watching a job costs little processor time and its end is still seen quickly.
class PollPacer {
public:
    PollPacer() {
        // A high-resolution timer where the system has one; else a plain one.
        timer_.Reset(CreateWaitableTimerExW(nullptr, nullptr, kHighResolution, TIMER_ALL_ACCESS));
        if (!timer_) timer_.Reset(CreateWaitableTimerW(nullptr, FALSE, nullptr));
    }
    void Pause() {
        if (++polls_ <= kQuickPolls) {
            SwitchToThread();
            return;
        }
        LARGE_INTEGER due;
        due.QuadPart = -kPauseTicks; // relative, in 100 ns
        if (timer_ && SetWaitableTimer(timer_.Get(), &due, 0, nullptr, nullptr, FALSE))
            WaitForSingleObject(timer_.Get(), INFINITE);
        else
            Sleep(1);
    }

private:
    // CREATE_WAITABLE_TIMER_HIGH_RESOLUTION (Windows 10, version 1803), not in every SDK.
    static constexpr DWORD kHighResolution = 0x00000002;
    static constexpr int kQuickPolls = 16;
    static constexpr LONGLONG kPauseTicks = 1000; // 0.1 ms
    com::UniqueHandle timer_;
    int polls_ = 0;
};

// Polls the job until the driver reports it done or the poll fails. A closed device counts
// as a failed poll.
void WatchJob(AcquisitionShared& shared, uint64_t session) {
    imaging::STT_APISTATUS jobStatus = 0;
    PollPacer pacer;
    for (;;) {
        uint32_t done = 0, bytes = 0;
        imaging::STT_APISTATUS status = imaging::STC_STS_NULL; // no driver to ask
        {
            com::Lock lock(shared.lock);
            imaging::STT_APISTATUS read = 0;
            if (shared.session == session && shared.driver) {
                status = imaging::STM_IS_ASYNC_ACQUIRE_DONE(shared.driver, shared.job.load(), &done,
                                                            &read, &bytes);
                if (status == imaging::STC_STS_NORMAL) jobStatus = read;
            }
        }
        if (status != imaging::STC_STS_NORMAL) {
            // The job's fate is unknown: the host hears the poll's failure, never a success.
            RaiseAcquireNotify2(shared, IsError(jobStatus) ? jobStatus : status);
            return;
        }
        if (done) {
            com::RaiseEvent(ConnectedSinks(shared), kOnAcquireNotify);
            RaiseAcquireNotify2(shared, jobStatus);
            return;
        }
        pacer.Pause();
    }
}

// The frame indexes of FrameIds: an array of 4-byte integers or of VARIANTs that convert to
// them, with at least count elements, or a single number when count is 1. False for anything
// else.
bool FrameIndexesOf(const VARIANT& frameIds, long count, std::vector<int32_t>& indexes) {
    if (SAFEARRAY* array = ArrayOf(frameIds)) {
        if (SafeArrayGetDim(array) != 1) return false;
        if (HoldsVariants(array)) {
            auto values = ArrayIntegers(array, static_cast<uint32_t>(count));
            if (values) indexes = std::move(*values);
            return values.has_value();
        }
        VARTYPE type = VT_EMPTY;
        if (SafeArrayGetElemsize(array) != 4 || FAILED(SafeArrayGetVartype(array, &type)))
            return false;
        if (type != VT_I4 && type != VT_UI4 && type != VT_INT && type != VT_UINT) return false;
        if (ElementCount(array, 1) < static_cast<uint32_t>(count)) return false;
        com::SafeArrayData<const int32_t> data(array);
        if (!data.Ok()) return false;
        indexes.assign(data.Data(), data.Data() + count);
        return true;
    }
    if (count != 1) return false;
    const VARIANT* value = &frameIds;
    while (V_VT(value) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(value))
        value = V_VARIANTREF(value);
    const bool byRef = V_VT(value) & VT_BYREF;
    if (byRef && !V_BYREF(value)) return false; // a reference to nothing
    switch (V_VT(value) & ~VT_BYREF) {
    case VT_I4: indexes = {byRef ? *V_I4REF(value) : V_I4(value)}; return true;
    case VT_I2: indexes = {byRef ? *V_I2REF(value) : V_I2(value)}; return true;
    case VT_R8: {
        const double number = std::trunc(byRef ? *V_R8REF(value) : V_R8(value));
        if (!(number >= INT32_MIN && number <= INT32_MAX)) return false;
        indexes = {static_cast<int32_t>(number)};
        return true;
    }
    default: return false;
    }
}

} // namespace

// ---- The control's side of the workers ----

Acquisition::~Acquisition() {
    com::Lock lock(shared_->lock);
    shared_->driver = nullptr;
    shared_->events = nullptr;
    ++shared_->session;
}

void Acquisition::DetachEvents() {
    com::Lock lock(shared_->lock);
    shared_->events = nullptr;
}

void Acquisition::EndSession() {
    {
        com::Lock lock(shared_->lock);
        shared_->driver = nullptr;
        ++shared_->session;
    }
    watcher_.End(); // no thread outlives the device
}

bool Acquisition::StartWorker(HDRVR driver, const com::ConnectionPoint& events) {
    uint64_t session = 0;
    {
        com::Lock lock(shared_->lock);
        shared_->driver = driver;
        shared_->events = &events;
        session = shared_->session;
    }
    const auto watch = [shared = shared_, session] { WatchJob(*shared, session); };
    return watcher_.Run(watch) || worker_.Start(watch);
}

void CCorvid::EndAcquisitionSession() {
    acquisition_.EndSession();
}

// ---- Members ----

STDMETHODIMP CCorvid::AcquireFrames(long frameCount, VARIANT frameIds, VARIANT_BOOL async) {
    helpContext_ = kHelpAcquireFrames;
    if (frameCount < 1 || frameCount > FrameTable::kSlots) return E_INVALIDARG;
    if (remote_.object) {
        const HRESULT hr = remote_.object->AcquireFrames(frameCount, frameIds, async);
        return FAILED(hr) ? hr : S_OK;
    }
    std::vector<int32_t> indexes;
    if (!FrameIndexesOf(frameIds, frameCount, indexes)) return E_INVALIDARG;
    std::vector<imaging::FrameHandle> handles;
    handles.reserve(indexes.size());
    for (const int32_t index : indexes) {
        const FrameRecord* record = frames_.Find(index);
        if (!record) return E_INVALIDARG;
        handles.push_back(record->driverFrameId);
    }
    const auto count = static_cast<uint32_t>(handles.size());

    if (async != VARIANT_TRUE) {
        if (Failed(imaging::AcquireFrameList(device_.driver, count, handles.data())))
            return ReportLastStatus();
        return S_OK;
    }
    acquisition_.ForgetWorker();
    imaging::JobId job = acquisition_.Shared()->job.load();
    if (Failed(imaging::StartAsyncAcquireFrameList(device_.driver, count, handles.data(), &job)))
        return ReportLastStatus();
    acquisition_.Shared()->job.store(job);
    acquisition_.StartWorker(device_.driver, events_); // a thread that cannot start is ignored
    return S_OK;
}

STDMETHODIMP CCorvid::StopAsyncAcquireFrames(STT_APISTATUS* jobStatus) {
    if (auto done = Enter(kHelpStopAsyncAcquireFrames, {jobStatus},
                          &ICorvid::StopAsyncAcquireFrames, jobStatus))
        return *done;
    imaging::STT_APISTATUS status = 0;
    const bool failed = Failed(imaging::STM_STOP_ASYNC_ACQUIRE(
        device_.driver, acquisition_.Shared()->job.load(), &status));
    *jobStatus = static_cast<STT_APISTATUS>(status);
    return failed ? ReportLastStatus() : S_OK;
}

STDMETHODIMP CCorvid::IsAsyncAcquireFramesDone(STT_APISTATUS* jobStatus, long* bytesWrittenToHost,
                                               VARIANT_BOOL* done) {
    if (auto result =
            Enter(kHelpIsAsyncAcquireFramesDone, {jobStatus, bytesWrittenToHost, done},
                  &ICorvid::IsAsyncAcquireFramesDone, jobStatus, bytesWrittenToHost, done))
        return *result;
    uint32_t finished = 0, bytes = 0;
    imaging::STT_APISTATUS status = 0;
    const bool failed = Failed(imaging::STM_IS_ASYNC_ACQUIRE_DONE(
        device_.driver, acquisition_.Shared()->job.load(), &finished, &status, &bytes));
    *jobStatus = static_cast<STT_APISTATUS>(status);
    *bytesWrittenToHost = static_cast<long>(bytes);
    *done = !failed && finished == 1 ? VARIANT_TRUE : VARIANT_FALSE;
    return failed ? ReportLastStatus() : S_OK;
}

} // namespace core
