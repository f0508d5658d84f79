// An event sink of the control for the benchmarks, living on its user's stack: IDispatch
// whose Invoke hands each event's DISPID to OnEvent, on whatever thread raises it. The events
// interface is a dispinterface, so every interface asked for is answered with IDispatch.
#pragma once

#include <windows.h>
#include <oaidl.h>

class EventSink : public IDispatch {
public:
    virtual void OnEvent(DISPID id) = 0;

    STDMETHODIMP QueryInterface(REFIID, void** out) override {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override { return InterlockedDecrement(&refs_); }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                        UINT*) override {
        OnEvent(id);
        return S_OK;
    }

    // A sink on its user's stack must outlive the references the control still holds after
    // Unadvise: an event being raised on a worker keeps one until its call returns. Waits (at
    // most 10 s) until only the user's own reference is left.
    void WaitUntilReleased() const {
        for (int i = 0; i < 10000 && InterlockedCompareExchange(&refs_, 0, 0) > 1; ++i)
            Sleep(1);
    }

protected:
    virtual ~EventSink() = default;

private:
    mutable LONG refs_ = 1;
};
