// The line-scan board: line timing, the line-scan mode, acquisition of lines into a host
// array with its completion event, drawing of lines (and their redraw when the control
// repaints), and line passthru into a ring of host buffers with an event per filled buffer.
#include "line_scan.h"

#include "corvid.h"
#include "error_info.h"
#include "host_array.h"
#include "input_messages.h"
#include "linescan_messages.h"

#include <algorithm>
#include <cstring>

namespace core {
namespace {

constexpr DWORD kHelpLineScanMode = 2066;
constexpr DWORD kHelpDrawAcquiredLines = 2148;
constexpr DWORD kHelpIsAcquireLinesDone = 2128;
constexpr DWORD kHelpStartLSPassthru = 2141;
constexpr DWORD kHelpStopLSPassthru = 2144;
constexpr DWORD kHelpAcquireLines = 2106;

constexpr DISPID kOnLsAcquireNotify = 3;
constexpr DISPID kOnLsPassthruNotify = 4;

// Line acquisitions and passthru take their geometry from the frame size of input 0.
constexpr uint32_t kLineInput = 0;

VARIANT LongVariant(long value) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

// The element count of a stored bound (0 = the first, the last dimension declared).
uint32_t StoredCount(SAFEARRAY* array, UINT bound) {
    return array->rgsabound[bound].cElements;
}

// Lines are bytes: an array of VARIANTs holds one per element.
bool IsLineData(SAFEARRAY* array, UINT dimensions) {
    return array && SafeArrayGetDim(array) >= dimensions &&
           (HoldsPlainNumbers(array) || HoldsVariants(array)) && ArrayBytes(array).has_value();
}

// Polls the acquisition until the driver reports it complete, then raises OnLsAcquireNotify.
// A failed poll, or a device that closed, ends the worker without an event.
void WatchLines(LineAcquireLink& link) {
    for (;;) {
        int32_t done = 0, lines = 0, granularity = 0;
        {
            com::Lock lock(link.lock);
            if (!link.driver ||
                imaging::STM_LS_IS_ACQUIRE_DONE(link.driver, &done, &lines, &granularity) !=
                    imaging::STC_STS_NORMAL)
                return;
        }
        if (done) {
            VARIANT args[] = {LongVariant(lines), LongVariant(granularity)};
            com::RaiseEvent(link.Sinks(), kOnLsAcquireNotify, args);
            return;
        }
        Sleep(0);
    }
}

// Waits for the driver's event or the control's stop; after each wake-up raises
// OnLsPassthruNotify for every filled buffer in ascending order. A flag is cleared before
// its event, so that a buffer filled again meanwhile is announced again.
void WatchRing(LinePassthruLink& ring) {
    const HANDLE waits[] = {ring.stop.Get(), ring.bufferEvent.Get()};
    const auto count = static_cast<uint32_t>(std::min<size_t>(ring.filled.size(), kMaxLineBuffers));
    while (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        for (uint32_t i = 0; i < count; ++i) {
            auto* flag = reinterpret_cast<volatile LONG*>(&ring.filled[i]);
            if (InterlockedExchange(flag, 0) == 0) continue;
            if (WaitForSingleObject(ring.stop.Get(), 0) == WAIT_OBJECT_0) return;
            VARIANT args[] = {LongVariant(static_cast<long>(i))};
            com::RaiseEvent(ring.Sinks(), kOnLsPassthruNotify, args);
        }
    }
}

} // namespace

// ---- Line arrays and the workers' links ----

std::optional<LineArray> LinesOf(SAFEARRAY* array) {
    if (!IsLineData(array, 2)) return std::nullopt;
    return LineArray{StoredCount(array, 1), StoredCount(array, 0), 1};
}

// The driver fills the ring long after the call: only an array that lends its own memory
// can take it.
std::optional<LineArray> LineBuffersOf(SAFEARRAY* array) {
    if (!IsLineData(array, 3) || !HoldsPlainNumbers(array)) return std::nullopt;
    const LineArray ring{StoredCount(array, 2), StoredCount(array, 1), StoredCount(array, 0)};
    if (ring.buffers > kMaxLineBuffers) return std::nullopt;
    return ring;
}

std::vector<com::ComPtr<IUnknown>> LineEventLink::Sinks() {
    com::Lock hold(lock);
    if (!events) return {};
    return events->Sinks();
}

void LineEventLink::DetachEvents() {
    com::Lock hold(lock);
    events = nullptr;
}

LineScanState::~LineScanState() {
    if (acquire) acquire->DetachEvents();
    if (passthru) passthru->DetachEvents();
    EndAcquireWorker();
    EndPassthruWorker();
}

void LineScanState::EndAcquireWorker() {
    if (acquire) {
        com::Lock lock(acquire->lock);
        acquire->driver = nullptr;
    }
    acquireWorker.Join();
}

void LineScanState::EndPassthruWorker() {
    if (passthru && passthru->stop) SetEvent(passthru->stop.Get());
    passthruWorker.Join();
}

// The device is about to close: a running passthru stops first, so that the driver lets go
// of the ring before its memory goes, and both workers end.
void CCorvid::EndLineScan() {
    lineScan_.EndAcquireWorker();
    if (lineScan_.passthru) imaging::STM_LS_STOP_PASSTHRU(device_.driver);
    lineScan_.EndPassthruWorker();
    lineScan_.passthru.reset();
}

// The frame size of input 0 tells the driver the line width and the lines per buffer; the
// driver's answers do not matter here.
void CCorvid::WriteLineGeometry(const LineArray& geometry) {
    uint32_t answer = 0;
    imaging::STM_SET_INPUT_CONTROL(device_.driver, kLineInput, imaging::STC_FG_CTL_FRAME_WIDTH,
                                   geometry.width, &answer);
    imaging::STM_SET_INPUT_CONTROL(device_.driver, kLineInput, imaging::STC_FG_CTL_FRAME_HEIGHT,
                                   geometry.lines, &answer);
}

// ---- Line timing ----

// One timing property: its help context and the driver messages that read and write it.
struct LineTiming {
    DWORD helpContext;
    imaging::STT_APISTATUS (*read)(HDRVR, uint32_t*);
    imaging::STT_APISTATUS (*write)(HDRVR, uint32_t);
};

namespace {

// The count messages address an edge: true low to high, false high to low.
template <bool LowToHigh> imaging::STT_APISTATUS ReadLineDrive(HDRVR driver, uint32_t* count) {
    return imaging::STM_LS_GET_LINE_DRIVE_COUNT(driver, LowToHigh, count);
}
template <bool LowToHigh> imaging::STT_APISTATUS WriteLineDrive(HDRVR driver, uint32_t count) {
    return imaging::STM_LS_SET_LINE_DRIVE_COUNT(driver, LowToHigh, count);
}
template <bool LowToHigh> imaging::STT_APISTATUS ReadIntegration(HDRVR driver, uint32_t* count) {
    return imaging::STM_LS_GET_INTEGRATION_COUNT(driver, LowToHigh, count);
}
template <bool LowToHigh> imaging::STT_APISTATUS WriteIntegration(HDRVR driver, uint32_t count) {
    return imaging::STM_LS_SET_INTEGRATION_COUNT(driver, LowToHigh, count);
}

constexpr LineTiming kDriveClockDivider{2065, imaging::STM_LS_GET_DRIVE_CLOCK_DIVIDER,
                                        imaging::STM_LS_SET_DRIVE_CLOCK_DIVIDER};
constexpr LineTiming kLoToHiLineDrive{2126, ReadLineDrive<true>, WriteLineDrive<true>};
constexpr LineTiming kHiToLoLineDrive{2147, ReadLineDrive<false>, WriteLineDrive<false>};
constexpr LineTiming kLoToHiIntegration{2125, ReadIntegration<true>, WriteIntegration<true>};
constexpr LineTiming kHiToLoIntegration{2146, ReadIntegration<false>, WriteIntegration<false>};

} // namespace

template <class Method>
HRESULT CCorvid::GetLineTiming(Method method, const LineTiming& timing, long* value) {
    if (auto done = Enter(timing.helpContext, {value}, method, value)) return *done;
    uint32_t read = 0;
    if (Failed(timing.read(device_.driver, &read))) return ReportLastStatus();
    *value = static_cast<long>(read);
    return S_OK;
}

template <class Method>
HRESULT CCorvid::PutLineTiming(Method method, const LineTiming& timing, long value) {
    if (auto done = Enter(timing.helpContext, {}, method, value)) return *done;
    if (Failed(timing.write(device_.driver, static_cast<uint32_t>(value))))
        return ReportLastStatus();
    return S_OK;
}

#define CORVID_LINE_TIMING(Name, Timing)                                                           \
    STDMETHODIMP CCorvid::get_##Name(long* v) {                                                    \
        return GetLineTiming(&ICorvid::get_##Name, Timing, v);                                     \
    }                                                                                              \
    STDMETHODIMP CCorvid::put_##Name(long v) {                                                     \
        return PutLineTiming(&ICorvid::put_##Name, Timing, v);                                     \
    }

CORVID_LINE_TIMING(LSDriveClkDiv, kDriveClockDivider)
CORVID_LINE_TIMING(LoToHiLineDriveCount, kLoToHiLineDrive)
CORVID_LINE_TIMING(HiToLoLineDriveCount, kHiToLoLineDrive)
CORVID_LINE_TIMING(LoToHiIntegrationCount, kLoToHiIntegration)
CORVID_LINE_TIMING(HiToLoIntegrationCount, kHiToLoIntegration)

#undef CORVID_LINE_TIMING

// ---- Line-scan mode ----

// The board is in line-scan mode exactly when it answers the line-scan digital I/O read.
STDMETHODIMP CCorvid::get_LineScanMode(VARIANT_BOOL* value) {
    if (auto done = Enter(kHelpLineScanMode, {value}, &ICorvid::get_LineScanMode, value))
        return *done;
    if (device_.modelCode != KV7400LS) return ReportStatus(imaging::STC_STS_UNSUPKEY);
    uint32_t pattern = 0;
    lineScan_.mode =
        Failed(imaging::STM_LS_GET_DIGIO(device_.driver, &pattern)) ? VARIANT_FALSE : VARIANT_TRUE;
    *value = lineScan_.mode;
    return S_OK;
}

STDMETHODIMP CCorvid::put_LineScanMode(VARIANT_BOOL value) {
    if (auto done = Enter(kHelpLineScanMode, {}, &ICorvid::put_LineScanMode, value)) return *done;
    if (Failed(imaging::STM_LS_SET_MODE(device_.driver, value != VARIANT_FALSE)))
        return ReportLastStatus();
    PropertyChanged(DispidLineScanMode);
    lineScan_.mode = value;
    return S_OK;
}

// ---- Line acquisition ----

STDMETHODIMP CCorvid::AcquireLines(VARIANT userBuffer, VARIANT_BOOL async) {
    helpContext_ = kHelpAcquireLines;
    SAFEARRAY* array = ArrayOf(userBuffer);
    if (!array) return E_INVALIDARG;
    device_.displayingLines = false;
    if (remote_.object) return remote_.object->AcquireLines(userBuffer, async);
    const std::optional<LineArray> geometry = LinesOf(array);
    if (!geometry) return E_INVALIDARG;
    {
        DriverArray data(array, VT_UI1, true);
        // An asynchronous acquisition fills the memory after the call: a converted copy
        // would be gone by then.
        if (!data.Ok() || (data.Converted() && async != VARIANT_FALSE)) return E_INVALIDARG;
        WriteLineGeometry(*geometry);
        const uint32_t mode =
            async != VARIANT_FALSE ? imaging::STC_LS_ACQUIRE_ASYNC : imaging::STC_LS_ACQUIRE_SYNC;
        if (Failed(imaging::STM_LS_ACQUIRE_LINES(device_.driver, data.Data(),
                                                 geometry->BufferBytes(), mode)))
            return ReportLastStatus();
        if (async == VARIANT_FALSE) return data.Deliver();
    }
    // The driver took this acquisition, so any earlier one is over: its worker goes first.
    lineScan_.EndAcquireWorker();
    auto link = std::make_shared<LineAcquireLink>();
    link->driver = device_.driver;
    link->events = &events_;
    lineScan_.acquire = link;
    lineScan_.acquireWorker.Start([link] { WatchLines(*link); }); // no thread: no event
    return S_OK;
}

STDMETHODIMP CCorvid::IsAcquireLinesDone(long* linesComplete, long* granularity,
                                         VARIANT_BOOL* complete) {
    helpContext_ = kHelpIsAcquireLinesDone;
    if (!linesComplete || !granularity || !complete) return E_INVALIDARG;
    if (auto done = Enter(kHelpIsAcquireLinesDone, {}, &ICorvid::IsAcquireLinesDone, linesComplete,
                          granularity, complete))
        return *done;
    int32_t finished = 0, lines = 0, step = 0;
    if (Failed(imaging::STM_LS_IS_ACQUIRE_DONE(device_.driver, &finished, &lines, &step)))
        return ReportLastStatus();
    *complete = finished ? VARIANT_TRUE : VARIANT_FALSE;
    *linesComplete = lines;
    *granularity = step;
    return S_OK;
}

// ---- Drawing lines ----

STDMETHODIMP CCorvid::DrawAcquiredLines(long windowHandle, VARIANT bufferInfo, long xOrigin,
                                        long yOrigin) {
    helpContext_ = kHelpDrawAcquiredLines;
    SAFEARRAY* array = ArrayOf(bufferInfo);
    if (!array) return E_INVALIDARG;
    device_.displayingLines = true;
    if (remote_.object)
        return remote_.object->DrawAcquiredLines(windowHandle, bufferInfo, xOrigin, yOrigin);
    const std::optional<LineArray> geometry = LinesOf(array);
    if (!geometry) return E_INVALIDARG;

    // The private copy that the repaint draws again.
    SAFEARRAYBOUND bounds[] = {{geometry->width, 0}, {geometry->lines, 0}};
    com::UniqueSafeArray copy(SafeArrayCreate(VT_UI1, 2, bounds));
    if (!copy.Get()) return E_OUTOFMEMORY;
    {
        const DriverArray source(array, VT_UI1, false);
        com::SafeArrayData<uint8_t> target(copy.Get());
        if (!source.Ok() || !target.Ok()) return E_INVALIDARG;
        std::memcpy(target.Data(), source.Data(), geometry->BufferBytes());
    }
    // During a repaint the caller's array is the previous copy: it goes only now, and the
    // lines are drawn from the new one.
    com::UniqueVariant previous = std::move(lineScan_.storedLines);
    V_VT(lineScan_.storedLines.Get()) = VT_ARRAY | VT_UI1;
    V_ARRAY(lineScan_.storedLines.Get()) = copy.Detach();
    previous.Reset();

    HWND target = reinterpret_cast<HWND>(static_cast<intptr_t>(windowHandle));
    if (!IsWindow(target)) target = window_.Get();
    com::SafeArrayData<const uint8_t> lines(V_ARRAY(lineScan_.storedLines.Get()));
    if (!lines.Ok()) return E_FAIL;
    if (Failed(imaging::STM_LS_DRAW_ACQUIRED_LINES(device_.driver, target, geometry->width,
                                                   geometry->lines, xOrigin, yOrigin,
                                                   lines.Data())))
        return ReportLastStatus();
    return S_OK;
}

// The repaint shows the last drawn lines again, in the control's own window.
void CCorvid::RedrawLines() {
    if (!window_ || V_VT(lineScan_.storedLines.Get()) == VT_EMPTY) return;
    DrawAcquiredLines(HandleToLong(window_.Get()), *lineScan_.storedLines.Get(), 0, 0);
    com::ClearErrorInfo();
}

// ---- Line passthru ----

STDMETHODIMP CCorvid::StartLSPassthru(long window, VARIANT buffers, VARIANT_BOOL stopOnOverflow) {
    helpContext_ = kHelpStartLSPassthru;
    SAFEARRAY* array = ArrayOf(buffers);
    if (!array) return E_INVALIDARG;
    if (remote_.object) return E_NOTIMPL;
    const std::optional<LineArray> geometry = LineBuffersOf(array);
    if (!geometry) return E_INVALIDARG;
    WriteLineGeometry(*geometry);
    // 0: no window; anything but a window (the default -1 included): the control's own.
    HWND target = nullptr;
    if (window != 0) {
        target = reinterpret_cast<HWND>(static_cast<intptr_t>(window));
        if (!IsWindow(target)) target = window_.Get();
    }

    auto ring = std::make_shared<LinePassthruLink>(geometry->buffers);
    HANDLE bufferEvent = nullptr;
    {
        com::SafeArrayData<uint8_t> data(array);
        if (!data.Ok()) return E_INVALIDARG;
        for (uint32_t k = 0; k < geometry->buffers; ++k)
            ring->addresses[k] = data.Data() + size_t{k} * geometry->BufferBytes();
        if (Failed(imaging::STM_LS_START_PASSTHRU(device_.driver, target, ring->addresses.data(),
                                                  geometry->buffers, geometry->BufferBytes(),
                                                  &bufferEvent, ring->filled.data(),
                                                  stopOnOverflow != VARIANT_FALSE)))
            return ReportLastStatus();
    }
    // The driver took the new ring; the worker of an earlier one goes.
    lineScan_.EndPassthruWorker();
    lineScan_.passthru = ring;
    // The worker waits on its own copy of the driver's event, which stays valid however the
    // driver disposes of its handle, and on the control's stop signal.
    HANDLE duplicate = nullptr;
    ring->stop.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (ring->stop && DuplicateHandle(GetCurrentProcess(), bufferEvent, GetCurrentProcess(),
                                      &duplicate, SYNCHRONIZE, FALSE, 0)) {
        ring->bufferEvent.Reset(duplicate);
        ring->events = &events_;
        lineScan_.passthruWorker.Start([ring] { WatchRing(*ring); }); // no thread: no events
    }
    return S_OK;
}

STDMETHODIMP CCorvid::StopLSPassthru() {
    helpContext_ = kHelpStopLSPassthru;
    if (remote_.object) return E_NOTIMPL;
    lineScan_.EndPassthruWorker();
    if (Failed(imaging::STM_LS_STOP_PASSTHRU(device_.driver))) return ReportLastStatus();
    lineScan_.passthru.reset(); // the driver no longer uses the ring
    return S_OK;
}

} // namespace core
