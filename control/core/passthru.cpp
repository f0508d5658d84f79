// Live video: choosing the window and the passthru size, starting and stopping the driver's
// passthru in its three modes, the worker thread that raises OnPassthruNotify for the driver's
// sync events, snapshots, the passthru lookup table and palette, and the source origin.
#include "passthru.h"

#include "caps_answer.h"
#include "color_messages.h"
#include "corvid.h"
#include "error_info.h"
#include "host_array.h"
#include "input_messages.h"
#include "passthru_messages.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

namespace core {

using com::ComPtr;

namespace {

constexpr DWORD kHelpLoadDefaultPassthruLut = 2130;
constexpr DWORD kHelpExtendPassthruPalette = 2122;
constexpr DWORD kHelpLoadPassthruLut = 2008;
constexpr DWORD kHelpPassthruSnapshot = 2132;
constexpr DWORD kHelpQueryPassthruCaps = 2135;
constexpr DWORD kHelpStartPassthru = 2142;
constexpr DWORD kHelpStopPassthru = 2145;
constexpr DWORD kHelpXPassthruOrigin = 2100;
constexpr DWORD kHelpYPassthruOrigin = 2102;

constexpr DISPID kOnPassthruNotify = 2;

constexpr wchar_t kImageWindowClass[] = L"KV_IMAGE_WINDOW";
constexpr wchar_t kImageWindowTitle[] = L"Image";
constexpr int kImageWindowExtraBytes = 64;
constexpr wchar_t kNoImageWindow[] = L"The system refused to create the image window.";


// Messages that wake a waiting thread and are taken off its queue undispatched. Paint
// requests stay out: taking WM_PAINT off the queue does not validate a window, so it would
// wake the wait again at once.
constexpr DWORD kDiscardedMessages = QS_ALLINPUT & ~QS_PAINT;
constexpr UINT kDiscardFilter = PM_REMOVE | PM_QS_INPUT | PM_QS_POSTMESSAGE | PM_QS_SENDMESSAGE;

bool IsPassthruMode(PassthruModeEnum mode) {
    return mode == ASyncPassthru || mode == SyncPassthru || mode == ASyncPassthruEx;
}

HWND WindowFromArgument(long handle) {
    return reinterpret_cast<HWND>(static_cast<intptr_t>(handle));
}

// Waits for the object. Messages that arrive meanwhile are removed one per wake-up without
// being dispatched; messages sent from other threads are still delivered by the removal.
DWORD WaitDiscardingMessages(DWORD count, const HANDLE* objects) {
    for (;;) {
        const DWORD woken = MsgWaitForMultipleObjectsEx(count, objects, INFINITE,
                                                        kDiscardedMessages, MWMO_INPUTAVAILABLE);
        if (woken != WAIT_OBJECT_0 + count) return woken;
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, kDiscardFilter);
    }
}

bool RegisterImageWindowClass();

// The image window, or null with the system's reason in the thread's last error. The class is
// registered once per module and kept: an earlier registration serves every later window.
HWND CreateImageWindow(int width, int height) {
    WNDCLASSEXW known{};
    known.cbSize = sizeof known;
    if (!GetClassInfoExW(com::ModuleHandle(), kImageWindowClass, &known) &&
        !RegisterImageWindowClass())
        return nullptr;
    SetLastError(ERROR_SUCCESS);
    return CreateWindowExW(0, kImageWindowClass, kImageWindowTitle, WS_SYSMENU, 0, 0, width, height,
                           nullptr, nullptr, com::ModuleHandle(), nullptr);
}

bool RegisterImageWindowClass() {
    WNDCLASSW windowClass{};
    windowClass.style = CS_VREDRAW;
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.cbWndExtra = kImageWindowExtraBytes;
    windowClass.hInstance = com::ModuleHandle();
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<intptr_t>(COLOR_WINDOW + 1));
    windowClass.lpszClassName = kImageWindowClass;
    // Another thread may have registered it meanwhile.
    return RegisterClassW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

} // namespace

// ---- The worker ----

struct PassthruWorker {
    PassthruWorker() = default;
    PassthruWorker(const PassthruWorker&) = delete;
    PassthruWorker& operator=(const PassthruWorker&) = delete;
    ~PassthruWorker() {
        // A stream the worker never took: its marshaled reference goes with it.
        if (!stream) return;
        const LARGE_INTEGER start{};
        stream->Seek(start, STREAM_SEEK_SET, nullptr);
        CoReleaseMarshalData(stream.Get());
    }

    com::UniqueHandle stop; // auto-reset; signalled when the worker is to end
    com::UniqueHandle thread;
    // False once the control is destroyed or passthru restarted: the worker then ends
    // without the final event.
    std::atomic<bool> raiseFinal{true};

    // Local device.
    HDRVR driver = nullptr;
    const com::ConnectionPoint* events = nullptr;
    const FrameTable* frames = nullptr;
    bool extended = false;
    HANDLE extendedSync = nullptr;       // the driver's, from the extended start
    com::UniqueHandle sync;              // the worker's own copy of the driver's sync event
    std::span<int32_t> counters;         // extended mode: one per list position
    std::vector<int32_t> framePositions; // extended mode: the FrameIndex of each position

    // Remote device object: its ICorvid, marshaled for the worker's apartment.
    ComPtr<IStream> stream;
};

namespace {

void RaisePassthruNotify(const PassthruWorker& worker, int32_t frameIndex) {
    VARIANT frame;
    VariantInit(&frame);
    V_VT(&frame) = VT_I4;
    V_I4(&frame) = frameIndex;
    com::RaiseEvent(worker.events->Sinks(), kOnPassthruNotify, {&frame, 1});
}

// A copy of the driver's sync event that stays valid for the worker whatever the driver does
// with its own handle. None when the driver has none.
com::UniqueHandle OwnCopy(HANDLE event) {
    HANDLE own = nullptr;
    if (!event || !DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), &own, 0,
                                   FALSE, DUPLICATE_SAME_ACCESS))
        return {};
    return com::UniqueHandle(own);
}

DWORD WINAPI LocalPassthruWorker(void* parameter) {
    PassthruWorker& worker = *static_cast<PassthruWorker*>(parameter);
    // Sinks are called directly from this thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const com::UniqueHandle& sync = worker.sync;
    const HANDLE objects[2] = {worker.stop.Get(), sync.Get()};
    const DWORD count = sync ? 2 : 1;
    DWORD exitCode = 0;
    for (;;) {
        const DWORD woken = WaitDiscardingMessages(count, objects);
        if (woken == WAIT_OBJECT_0) {
            if (worker.raiseFinal) RaisePassthruNotify(worker, worker.frames->ActiveIndex());
            exitCode = 1;
            break;
        }
        if (woken != WAIT_OBJECT_0 + 1) break; // the handles are the worker's own: cannot happen
        if (!worker.extended) {
            RaisePassthruNotify(worker, worker.frames->ActiveIndex());
            continue;
        }
        for (const size_t position : TakeFilledPositions(worker.counters))
            RaisePassthruNotify(worker, worker.framePositions[position]);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return exitCode;
}

// The remote device raises its own events; this worker holds the device object's interface
// in an apartment of its own until passthru stops.
DWORD WINAPI RemotePassthruWorker(void* parameter) {
    PassthruWorker& worker = *static_cast<PassthruWorker*>(parameter);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 0;
    DWORD exitCode = 0;
    {
        ComPtr<ICorvid> device;
        if (SUCCEEDED(
                CoGetInterfaceAndReleaseStream(worker.stream.Detach(), IID_ICorvid,
                                               reinterpret_cast<void**>(device.GetAddressOf())))) {
            DWORD signalled = 0;
            const HANDLE stop = worker.stop.Get();
            CoWaitForMultipleHandles(0, INFINITE, 1, const_cast<HANDLE*>(&stop), &signalled);
            exitCode = 1;
        }
    }
    CoUninitialize();
    return exitCode;
}

} // namespace

// ---- Platform-free pieces ----

PassthruState::PassthruState() = default;
PassthruState::~PassthruState() = default;

std::vector<uint8_t> PackRgbEntries(std::span<const int32_t> values) {
    std::vector<uint8_t> bytes;
    bytes.reserve(values.size() * 3);
    for (const int32_t value : values) {
        const auto bits = static_cast<uint32_t>(value);
        bytes.insert(bytes.end(), {static_cast<uint8_t>(bits >> 16),
                                   static_cast<uint8_t>(bits >> 8), static_cast<uint8_t>(bits)});
    }
    return bytes;
}

PassthruSize ScaledPassthruSize(int32_t frameWidth, int32_t frameHeight,
                                const imaging::stSTT_LNG_RNG& widths,
                                const imaging::stSTT_LNG_RNG& heights, uint32_t horizontalScale,
                                uint32_t verticalScale) {
    const int64_t width = std::min(frameWidth, widths.Max);
    const int64_t height = std::min(frameHeight, heights.Max);
    return {static_cast<int32_t>(width * horizontalScale / 100),
            static_cast<int32_t>(height * verticalScale / 100)};
}

std::vector<size_t> TakeFilledPositions(std::span<int32_t> counters) {
    std::vector<size_t> filled;
    for (size_t position = 0; position < counters.size(); ++position) {
        // The driver counts from its own side with interlocked increments.
        if (std::atomic_ref<int32_t>(counters[position]).exchange(0) > 0)
            filled.push_back(position);
    }
    return filled;
}

// ---- Starting ----

STDMETHODIMP CCorvid::StartPassthru(long windowHandle, long frameIndex, PassthruModeEnum mode) {
    helpContext_ = kHelpStartPassthru;
    if (remote_.object) return StartRemotePassthru(frameIndex, mode);
    if (!IsPassthruMode(mode)) return E_INVALIDARG;
    const std::optional<int32_t> index = frames_.Resolve(frameIndex);
    if (!index) return E_INVALIDARG;
    const FrameRecord& frame = *frames_.Find(*index);

    HWND window = WindowFromArgument(windowHandle);
    if (!IsWindow(window)) window = window_.Get();
    if (!window) {
        const FrameRecord& sized = frames_.Active() ? *frames_.Active() : frame;
        if (IsWindow(passthru_.imageWindow.Get())) {
            SetWindowPos(passthru_.imageWindow.Get(), nullptr, 0, 0, sized.width, sized.height,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        } else {
            const HWND created = CreateImageWindow(sized.width, sized.height);
            if (!created) {
                const DWORD reason = GetLastError();
                if (reason != ERROR_SUCCESS) return HandleSystemError(reason);
                // Refused without a reason (a hook, a desktop without a display).
                return com::ReportError(HRESULT_FROM_WIN32(ERROR_CANNOT_MAKE),
                                        {.source = kProgId, .description = kNoImageWindow});
            }
            passthru_.imageWindow.Reset(created);
        }
        window = passthru_.imageWindow.Get();
    }
    passthru_.window = window;

    if (mode != ASyncPassthruEx && !ProgramPassthruScaling()) return ReportLastStatus();

    imaging::JobId job = 0;
    auto worker = std::make_unique<PassthruWorker>();
    imaging::STT_APISTATUS status = imaging::STC_STS_NORMAL;
    switch (mode) {
    case ASyncPassthru:
        status =
            imaging::STM_START_ASYNC_PASSTHRU(device_.driver, window, frame.driverFrameId, &job);
        break;
    case SyncPassthru:
        status = imaging::STM_START_PASSTHRU(device_.driver, window, frame.driverFrameId);
        break;
    default: {
        // The list holds the allocated frames in table order.
        uint32_t count = 0;
        for (int32_t slot = 0; slot < FrameTable::kSlots && count < uint32_t(frames_.Count());
             ++slot) {
            if (const FrameRecord* record = frames_.Find(slot)) {
                passthru_.frameIds[count++] = record->driverFrameId;
                worker->framePositions.push_back(slot);
            }
        }
        // Counted from now on: a fill the driver counts before the worker runs is kept.
        std::fill_n(passthru_.counters.begin(), count, 0);
        worker->extended = true;
        worker->counters = std::span<int32_t>(passthru_.counters.data(), count);
        status = imaging::STM_START_PASSTHRU_EX(device_.driver, window, passthru_.frameIds.data(),
                                                passthru_.counters.data(), count,
                                                &worker->extendedSync, &job);
        break;
    }
    }
    if (Failed(status)) return ReportLastStatus();
    // The driver has taken over whatever live video ran before: its worker ends now, also
    // when this start fails below.
    EndPassthruWorker(false);
    if (mode == SyncPassthru) {
        passthru_.synchronous = true;
    } else {
        // A new start of the same driver handle takes over its synchronous passthru.
        passthru_.job = job;
        passthru_.synchronous = false;
    }
    // The sync event is asked for here, on the caller's thread, so that a refusal reaches the
    // caller as this call's failure (the live video it started stops again) rather than
    // leaving a worker without images.
    HANDLE driverSync = worker->extendedSync;
    if (!worker->extended) {
        const imaging::STT_APISTATUS refused = imaging::STM_GET_SYNC_EVENT(device_.driver, &driverSync);
        if (refused != imaging::STC_STS_NORMAL) {
            StopDriverPassthru();
            Failed(refused);
            return ReportLastStatus();
        }
    }
    worker->sync = OwnCopy(driverSync);

    worker->driver = device_.driver;
    worker->events = &events_;
    worker->frames = &frames_;
    StartPassthruWorker(std::move(worker), &LocalPassthruWorker);
    return S_OK;
}

// The passthru size follows the frame size and the color boards' hardware scaling, on devices
// that scale live video. False when a step failed; its status is the last status.
bool CCorvid::ProgramPassthruScaling() {
    const HDRVR driver = device_.driver;
    imaging::STT_SCALE_PARAM hardware{100, 100};
    if (HasColorInterface(STC_QUERY_COLOR_INTERFACE_HARDWARE_SCALING) &&
        Failed(imaging::STM_CLR_SCALING(driver, EffectiveSource(), imaging::STC_READ_CONTROL,
                                        &hardware)))
        return false;
    uint32_t scales = 0;
    if (Failed(imaging::STM_QUERY_PASSTHRU_CAPS(driver, imaging::STC_FG_PC_DOES_SCALING, &scales,
                                                sizeof(scales))))
        return false;
    if (scales != 1) return true;
    imaging::stSTT_LNG_RNG widths{}, heights{};
    uint32_t frameWidth = 0, frameHeight = 0;
    if (Failed(imaging::STM_QUERY_PASSTHRU_CAPS(driver, imaging::STC_FG_PC_SCALE_WIDTH_LIMITS,
                                                &widths, sizeof(widths))) ||
        Failed(imaging::STM_QUERY_PASSTHRU_CAPS(driver, imaging::STC_FG_PC_SCALE_HEIGHT_LIMITS,
                                                &heights, sizeof(heights))) ||
        !ReadInput(imaging::STC_FG_CTL_FRAME_WIDTH, &frameWidth) ||
        !ReadInput(imaging::STC_FG_CTL_FRAME_HEIGHT, &frameHeight))
        return false;
    const PassthruSize size =
        ScaledPassthruSize(static_cast<int32_t>(frameWidth), static_cast<int32_t>(frameHeight),
                           widths, heights, hardware.hscale, hardware.vscale);
    int32_t usedWidth = 0, usedHeight = 0;
    return !Failed(imaging::STM_SET_PASSTHRU_SCALING(driver, size.width, size.height, &usedWidth,
                                                     &usedHeight));
}

HRESULT CCorvid::StartRemotePassthru(long frameIndex, PassthruModeEnum mode) {
    auto worker = std::make_unique<PassthruWorker>();
    const HRESULT marshaled = CoMarshalInterThreadInterfaceInStream(
        IID_ICorvid, static_cast<ICorvid*>(remote_.object.Get()), &worker->stream);
    if (FAILED(marshaled)) {
        wchar_t text[64] = {};
        swprintf(text, 64, L"CoMarshalInterThreadInterfaceInStream failed 0x%x",
                 static_cast<unsigned>(marshaled));
        return ReportDescription(text);
    }
    const HRESULT started = remote_.object->StartPassthru(0, frameIndex, mode);
    if (FAILED(started)) return started;
    StartPassthruWorker(std::move(worker), &RemotePassthruWorker);
    return S_OK;
}

// A worker of an earlier start gives way to the new one. A stop event or thread that cannot
// be made leaves passthru running without events.
void CCorvid::StartPassthruWorker(std::unique_ptr<PassthruWorker> worker,
                                  LPTHREAD_START_ROUTINE routine) {
    EndPassthruWorker(false);
    worker->stop.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!worker->stop) return;
    worker->thread.Reset(CreateThread(nullptr, 0, routine, worker.get(), 0, nullptr));
    if (!worker->thread) return;
    passthru_.worker = std::move(worker);
}

// ---- Stopping ----

void CCorvid::EndPassthruWorker(bool finalEvent) {
    if (!passthru_.worker) return;
    PassthruWorker& worker = *passthru_.worker;
    worker.raiseFinal = finalEvent;
    SetEvent(worker.stop.Get());
    const HANDLE thread = worker.thread.Get();
    WaitDiscardingMessages(1, &thread);
    passthru_.worker.reset();
}

STDMETHODIMP CCorvid::StopPassthru() {
    helpContext_ = kHelpStopPassthru;
    EndPassthruWorker(true);
    if (remote_.object) return remote_.object->StopPassthru();
    return StopDriverPassthru();
}

// Stops what the driver runs for this control: the job of an asynchronous or extended
// passthru, and a synchronous passthru, which the driver names by job 0.
HRESULT CCorvid::StopDriverPassthru() {
    imaging::STT_APISTATUS jobStatus = 0;
    if (passthru_.job != 0) {
        if (Failed(imaging::STM_STOP_PASSTHRU(device_.driver, passthru_.job, &jobStatus)))
            return ReportLastStatus();
        passthru_.job = 0;
    }
    if (passthru_.synchronous) {
        if (Failed(imaging::STM_STOP_PASSTHRU(device_.driver, 0, &jobStatus)))
            return ReportLastStatus();
        passthru_.synchronous = false;
    }
    return S_OK;
}

// The control goes: its worker ends without raising anything, then the driver's passthru.
void CCorvid::StopPassthruForDestroy() {
    EndPassthruWorker(false);
    if (remote_.object) {
        remote_.object->StopPassthru();
        return;
    }
    if (device_.driver) StopDriverPassthru();
    com::ClearErrorInfo();
}

// ---- Snapshot, capabilities, lookup table and palette ----

STDMETHODIMP CCorvid::PassthruSnapshot(long frameIndex) {
    if (auto done = Enter(kHelpPassthruSnapshot, {}, &ICorvid::PassthruSnapshot, frameIndex))
        return *done;
    const std::optional<int32_t> index = frames_.Resolve(frameIndex);
    if (!index) return E_INVALIDARG;
    if (Failed(imaging::STM_PASSTHRU_SNAPSHOT(device_.driver, frames_.Find(*index)->driverFrameId)))
        return ReportLastStatus();
    return S_OK;
}

STDMETHODIMP CCorvid::QueryPassthruCaps(stSTT_FG_PASSTHRU_CAP_KEY key, long* buffer,
                                        long bufferSize) {
    if (auto done = Enter(kHelpQueryPassthruCaps, {buffer}, &ICorvid::QueryPassthruCaps, key,
                          buffer, bufferSize))
        return *done;
    if (bufferSize < 0) return E_INVALIDARG;
    const CapsAnswer answer(buffer, bufferSize);
    if (!answer.Buffer()) return answer.Refusal();
    if (Failed(imaging::STM_QUERY_PASSTHRU_CAPS(device_.driver, static_cast<uint32_t>(key),
                                                answer.Buffer(),
                                                static_cast<uint32_t>(bufferSize))))
        return ReportLastStatus();
    answer.Deliver();
    return S_OK;
}

STDMETHODIMP CCorvid::LoadDefaultPassthruLUT() {
    if (auto done = Enter(kHelpLoadDefaultPassthruLut, {}, &ICorvid::LoadDefaultPassthruLUT))
        return *done;
    if (Failed(imaging::STM_LOAD_DEFAULT_PASSTHRU_LUT(device_.driver))) return ReportLastStatus();
    return S_OK;
}

STDMETHODIMP CCorvid::LoadPassthruLUT(long start, VARIANT rgbArray) {
    return LoadPassthruTable(kHelpLoadPassthruLut, &ICorvid::LoadPassthruLUT,
                             &imaging::STM_LOAD_PASSTHRU_LUT, start, rgbArray);
}

STDMETHODIMP CCorvid::ExtendPassthruPalette(long start, VARIANT rgbArray) {
    return LoadPassthruTable(kHelpExtendPassthruPalette, &ICorvid::ExtendPassthruPalette,
                             &imaging::STM_EXTEND_PASSTHRU_PALETTE, start, rgbArray);
}

HRESULT CCorvid::LoadPassthruTable(DWORD helpContext,
                                   HRESULT (STDMETHODCALLTYPE ICorvid::*member)(long, VARIANT),
                                   imaging::STT_APISTATUS (*message)(HDRVR, int32_t, int32_t,
                                                                     const void*),
                                   long start, const VARIANT& rgbArray) {
    helpContext_ = helpContext;
    SAFEARRAY* array = ArrayOf(rgbArray);
    if (!array) return E_INVALIDARG;
    if (auto done = Enter(helpContext, {}, member, start, rgbArray)) return *done;
    if (SafeArrayGetDim(array) == 0) return E_INVALIDARG;
    const uint32_t count = ElementCount(array, 1);
    const std::optional<std::vector<int32_t>> values = ArrayIntegers(array, count);
    if (!values) return E_INVALIDARG;
    imaging::STT_APISTATUS status = 0;
    {
        const std::vector<uint8_t> entries = PackRgbEntries(*values);
        // An empty table still reaches the driver, which judges the range.
        static const uint8_t kNoEntries[3] = {};
        status = message(device_.driver, start, static_cast<int32_t>(count),
                         entries.empty() ? kNoEntries : entries.data());
    }
    if (Failed(status)) return ReportLastStatus();
    return S_OK;
}

// ---- Source origin ----

HRESULT CCorvid::GetPassthruOrigin(bool vertical, long* value) {
    int32_t x = 0, y = 0;
    if (Failed(imaging::STM_GET_PASSTHRU_SOURCE_ORIGIN(device_.driver, &x, &y))) {
        *value = vertical ? passthru_.originY : passthru_.originX;
        return ReportLastStatus();
    }
    passthru_.originX = x;
    passthru_.originY = y;
    *value = vertical ? y : x;
    return S_OK;
}

HRESULT CCorvid::PutPassthruOrigin(bool vertical, long value) {
    const int32_t x = vertical ? passthru_.originX : static_cast<int32_t>(value);
    const int32_t y = vertical ? static_cast<int32_t>(value) : passthru_.originY;
    if (Failed(imaging::STM_SET_PASSTHRU_SOURCE_ORIGIN(device_.driver, x, y)))
        return ReportLastStatus();
    passthru_.originX = x;
    passthru_.originY = y;
    return S_OK;
}

STDMETHODIMP CCorvid::get_XPassthruOrigin(long* value) {
    if (auto done = Enter(kHelpXPassthruOrigin, {value}, &ICorvid::get_XPassthruOrigin, value))
        return *done;
    return GetPassthruOrigin(false, value);
}

STDMETHODIMP CCorvid::put_XPassthruOrigin(long value) {
    if (auto done = Enter(kHelpXPassthruOrigin, {}, &ICorvid::put_XPassthruOrigin, value))
        return *done;
    return PutPassthruOrigin(false, value);
}

STDMETHODIMP CCorvid::get_YPassthruOrigin(long* value) {
    if (auto done = Enter(kHelpYPassthruOrigin, {value}, &ICorvid::get_YPassthruOrigin, value))
        return *done;
    return GetPassthruOrigin(true, value);
}

STDMETHODIMP CCorvid::put_YPassthruOrigin(long value) {
    if (auto done = Enter(kHelpYPassthruOrigin, {}, &ICorvid::put_YPassthruOrigin, value))
        return *done;
    return PutPassthruOrigin(true, value);
}

} // namespace core
