// Helpers of the control's tests: the installed control created by ProgID, members called by
// name as a script host calls them, the simulator's test port, and a watcher that answers
// message boxes.
#pragma once

#include "com_object.h"
#include "com_support.h"
#include "driver_port.h"
#include "raii.h"
#include "records.h"
#include "stapi.h"

#include "corvid_h.h"

#include <mmsystem.h>
#include <ocidl.h>
#include <olectl.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace test {

using Microsoft::WRL::ComPtr;

// The simulated boards that regsvr32 kvboard.drv installs, with their model codes.
struct SimBoard {
    const wchar_t* name;
    LONG model;
};
inline constexpr SimBoard kSimBoards[] = {
    {L"SIM7100", 32}, {L"SIM7400", 42},   {L"SIM7700", 43},  {L"SIM7300", 44},
    {L"SIM7500", 45}, {L"SIM7400LS", 46}, {L"SIM760X", 112},
};

inline ComPtr<IDispatch> CreateControl(const wchar_t* progId = L"Corvid.Corvid") {
    CLSID clsid{};
    ComPtr<IDispatch> control;
    if (FAILED(CLSIDFromProgID(progId, &clsid))) return control;
    CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                     reinterpret_cast<void**>(control.GetAddressOf()));
    return control;
}

// A borrowed string argument that owns its BSTR.
class Arg {
public:
    explicit Arg(const wchar_t* text) : text_(text) {}
    VARIANT Get() const { return Text(text_.Get()); }

private:
    com::UniqueBstr text_;
};

inline CallResult GetProperty(IDispatch* control, const wchar_t* name,
                              std::vector<VARIANT> args = {}) {
    return Call(control, DispidOf(control, name), DISPATCH_PROPERTYGET, std::move(args));
}

inline CallResult PutProperty(IDispatch* control, const wchar_t* name, VARIANT value) {
    return Call(control, DispidOf(control, name), DISPATCH_PROPERTYPUT, {value},
                {DISPID_PROPERTYPUT});
}

inline CallResult Invoke(IDispatch* control, const wchar_t* name, std::vector<VARIANT> args = {}) {
    return Call(control, DispidOf(control, name), DISPATCH_METHOD, std::move(args));
}

inline std::wstring Wide(const BSTR text) {
    return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

// A property read as a long (the type library's enumerations and shorts included).
inline LONG LongOf(const CallResult& call) {
    VARIANT copy;
    VariantInit(&copy);
    LONG value = 0;
    if (SUCCEEDED(VariantChangeType(&copy, const_cast<VARIANT*>(&call.value), 0, VT_I4)))
        value = V_I4(&copy);
    VariantClear(&copy);
    return value;
}

inline std::wstring TextOf(const CallResult& call) {
    if (V_VT(&call.value) != VT_BSTR || !V_BSTR(&call.value)) return std::wstring();
    return std::wstring(V_BSTR(&call.value), SysStringLen(V_BSTR(&call.value)));
}

inline ::testing::AssertionResult OpenBoard(IDispatch* control, const wchar_t* board) {
    Arg name(board);
    CallResult call = Invoke(control, L"OpenDevice", {name.Get()});
    if (call.hr == S_OK) return ::testing::AssertionSuccess();
    const std::wstring text = Wide(call.exception.bstrDescription);
    return ::testing::AssertionFailure()
           << "OpenDevice: " << std::hex << call.hr << " " << call.exception.scode << " "
           << std::string(text.begin(), text.end());
}

// The trace records of one message code.
inline std::vector<KvTraceRecord> RecordsOf(const std::vector<KvTraceRecord>& trace,
                                            uint32_t message) {
    std::vector<KvTraceRecord> found;
    for (const KvTraceRecord& record : trace)
        if (record.Message == message) found.push_back(record);
    return found;
}

template <class Block> Block BlockOf(const KvTraceRecord& record) {
    Block block{};
    memcpy(&block, record.Block,
           sizeof(block) < record.BlockSize ? sizeof(block) : record.BlockSize);
    return block;
}

// Records the property-changed notifications of a control while it is connected.
class ChangeSink final : public com::Object<ChangeSink, IPropertyNotifySink> {
public:
    static com::InterfaceTable<ChangeSink> Interfaces() {
        static const com::InterfaceEntry<ChangeSink> table[] = {
            com::Entry<ChangeSink, IPropertyNotifySink>()};
        return table;
    }
    STDMETHODIMP OnChanged(DISPID id) override {
        changed.push_back(id);
        return S_OK;
    }
    STDMETHODIMP OnRequestEdit(DISPID) override { return S_OK; }
    std::vector<DISPID> changed;
};

// Connects a ChangeSink to a control for the life of the object.
class Notifications {
public:
    explicit Notifications(IUnknown* control) {
        com::Make(sink_);
        ComPtr<IConnectionPointContainer> container;
        if (FAILED(control->QueryInterface(IID_PPV_ARGS(&container)))) return;
        if (FAILED(container->FindConnectionPoint(IID_IPropertyNotifySink, &point_))) return;
        point_->Advise(static_cast<IPropertyNotifySink*>(sink_.Get()), &cookie_);
    }
    Notifications(const Notifications&) = delete;
    Notifications& operator=(const Notifications&) = delete;
    ~Notifications() {
        if (point_ && cookie_) point_->Unadvise(cookie_);
    }
    bool Connected() const { return cookie_ != 0; }
    std::vector<DISPID>& Changed() { return sink_->changed; }

private:
    ComPtr<ChangeSink> sink_;
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

// Records the control's events (ICorvidEvents) with their argument and the thread that raised
// them.
class EventSink final : public com::Object<EventSink, IDispatch> {
public:
    static com::InterfaceTable<EventSink> Interfaces() {
        static const com::InterfaceEntry<EventSink> table[] = {
            com::Entry<EventSink, IDispatch>(),
            {&DIID_ICorvidEvents,
             [](EventSink* sink) -> IUnknown* { return static_cast<IDispatch*>(sink); }}};
        return table;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                        UINT*) override {
        Event event{id, GetCurrentThreadId(), 0, {}};
        // rgvarg holds the arguments last first.
        for (UINT i = params ? params->cArgs : 0; i > 0; --i) {
            const VARIANT& arg = params->rgvarg[i - 1];
            event.arguments.push_back(V_VT(&arg) == VT_I4 ? V_I4(&arg) : -1);
        }
        if (event.arguments.size() == 1) event.argument = event.arguments[0];
        {
            std::lock_guard<std::mutex> lock(mutex);
            events.push_back(event);
        }
        if (onEvent) onEvent();
        return S_OK;
    }
    struct Event {
        DISPID id;
        DWORD thread;
        LONG argument;               // the job status or frame index the event carries
        std::vector<LONG> arguments; // all of them, in declaration order
    };
    std::mutex mutex;
    std::vector<Event> events;
    std::function<void()> onEvent;
    size_t Count() {
        std::lock_guard<std::mutex> lock(mutex);
        return events.size();
    }
    std::vector<Event> Snapshot() {
        std::lock_guard<std::mutex> lock(mutex);
        return events;
    }
};

inline ComPtr<IConnectionPoint> EventsPoint(IUnknown* control) {
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    control->QueryInterface(IID_PPV_ARGS(&container));
    if (container) container->FindConnectionPoint(DIID_ICorvidEvents, &point);
    return point;
}

// Polls the condition for up to ten seconds; only a bound against hangs.
inline bool WaitFor(const std::function<bool()>& condition) {
    for (int i = 0; i < 1000 && !condition(); ++i)
        Sleep(10);
    return condition();
}

// Keeps the simulated board driver loaded, so that its test port and trace outlive the
// control's opens and closes.
class PinnedSimulator {
public:
    PinnedSimulator() : module_(LoadLibraryW(L"kvboard.drv")), port_(L"kvboard.drv") {}
    bool ok() const { return module_.Valid() && port_.ok(); }
    DriverPort& Port() { return port_; }

private:
    com::UniqueLibrary module_;
    DriverPort port_;
};

// Answers the message boxes of one caption from a thread of its own: reads the text of each
// box, records it and presses OK, until it is stopped.
class BoxWatcher {
public:
    explicit BoxWatcher(std::wstring caption) : caption_(std::move(caption)) {
        thread_ = std::thread([this] { Watch(); });
    }
    BoxWatcher(const BoxWatcher&) = delete;
    BoxWatcher& operator=(const BoxWatcher&) = delete;
    ~BoxWatcher() { Stop(); }

    void Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    std::vector<std::wstring> Texts() {
        std::lock_guard<std::mutex> lock(mutex_);
        return texts_;
    }

private:
    void Watch() {
        while (!stop_) {
            HWND box = FindWindowW(L"#32770", caption_.c_str());
            if (!box) {
                Sleep(20);
                continue;
            }
            wchar_t text[2048] = {};
            GetDlgItemTextW(box, 0xFFFF, text, 2048);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                texts_.push_back(text);
            }
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
            while (!stop_ && IsWindow(box))
                Sleep(10);
        }
    }

    std::wstring caption_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::wstring> texts_;
    std::thread thread_;
};

} // namespace test
