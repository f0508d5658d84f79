// An events sink of the control that records every event with its arguments and the thread
// that raised it, and the helpers to connect it and to wait for what it hears.
#pragma once

#include "com_object.h"
#include "corvid_h.h"

#include <ocidl.h>
#include <windows.h>

#include <functional>
#include <mutex>
#include <vector>

namespace test {

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
        for (UINT i = params ? params->cArgs : 0; i > 0; --i)
            event.args.push_back(
                V_VT(&params->rgvarg[i - 1]) == VT_I4 ? V_I4(&params->rgvarg[i - 1]) : -1);
        if (event.args.size() == 1) event.status = event.args[0];
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
        LONG status; // the argument of a one-argument event
        std::vector<LONG> args;
    };
    std::mutex mutex;
    std::vector<Event> events;
    std::function<void()> onEvent;
    size_t Count() {
        std::lock_guard<std::mutex> lock(mutex);
        return events.size();
    }
    std::vector<Event> Events() {
        std::lock_guard<std::mutex> lock(mutex);
        return events;
    }
};

inline com::ComPtr<IConnectionPoint> EventsPoint(IUnknown* control) {
    com::ComPtr<IConnectionPointContainer> container;
    com::ComPtr<IConnectionPoint> point;
    control->QueryInterface(IID_PPV_ARGS(&container));
    if (container) container->FindConnectionPoint(DIID_ICorvidEvents, &point);
    return point;
}

// Polls the condition for up to ten seconds.
inline bool WaitFor(const std::function<bool()>& condition) {
    for (int i = 0; i < 1000 && !condition(); ++i)
        Sleep(10);
    return condition();
}

} // namespace test
