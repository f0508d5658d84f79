// A COM object built on the toolkit the way the control is, for the toolkit's tests, and the
// sinks that connect to it.
#pragma once

#include "com_object.h"
#include "connection_points.h"
#include "dispatch.h"
#include "error_info.h"
#include "raii.h"

#include "toolkit_test_h.h"

#include <functional>
#include <string>
#include <vector>

namespace test {

using com::ComPtr;

constexpr DISPID kDispidLevel = 4;

class TestObject final : public com::Object<TestObject, com::Dispatch<ITestObject>,
                                            ISupportErrorInfo, com::ConnectionPointContainer> {
public:
    using Self = TestObject;
    static com::InterfaceTable<Self> Interfaces() {
        static const com::InterfaceEntry<Self> table[] = {
            com::Entry<Self, ITestObject>(),
            com::Entry<Self, ITestBase, ITestObject>(),
            com::Entry<Self, IDispatch, ITestObject>(),
            com::Entry<Self, ISupportErrorInfo>(),
            com::Entry<Self, IConnectionPointContainer>(),
        };
        return table;
    }

    // ITestBase
    STDMETHODIMP GetCount(LONG* count) override {
        if (!count) return E_POINTER;
        *count = 42;
        return S_OK;
    }
    STDMETHODIMP Swap(VARIANT* value) override {
        if (!value) return E_POINTER;
        const HRESULT hr = VariantChangeType(value, value, 0, VT_BSTR);
        if (FAILED(hr)) return hr;
        const std::wstring text = L"swapped:" + std::wstring(V_BSTR(value) ? V_BSTR(value) : L"");
        VariantClear(value);
        V_VT(value) = VT_BSTR;
        V_BSTR(value) = SysAllocString(text.c_str());
        return V_BSTR(value) ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP Scale(LONG value, LONG factor, LONG* result) override {
        if (!result) return E_POINTER;
        *result = value * factor;
        return S_OK;
    }
    STDMETHODIMP get_Level(LONG* level) override {
        if (!level) return E_POINTER;
        *level = level_;
        return S_OK;
    }
    STDMETHODIMP put_Level(LONG level) override {
        if (!com::RequestEdit(propertyNotify_, kDispidLevel)) return S_FALSE;
        level_ = level;
        com::NotifyChanged(propertyNotify_, kDispidLevel);
        return S_OK;
    }

    // ITestObject
    STDMETHODIMP AddTo(LONG amount, LONG* total) override {
        if (!total) return E_POINTER;
        if (amount < 0) return E_INVALIDARG;
        *total += amount;
        return S_OK;
    }
    STDMETHODIMP Append(BSTR suffix, BSTR* text) override {
        if (!text) return E_POINTER;
        std::wstring joined = std::wstring(*text ? *text : L"") + (suffix ? suffix : L"");
        SysFreeString(*text);
        *text = SysAllocString(joined.c_str());
        return *text ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP GetMode(ModeEnum* mode) override {
        if (!mode) return E_POINTER;
        *mode = ModeRunning;
        return S_OK;
    }
    STDMETHODIMP Split(LONG value, SHORT* high, SHORT* low) override {
        if (!high || !low) return E_POINTER;
        *high = static_cast<SHORT>(value >> 16);
        *low = static_cast<SHORT>(value & 0xFFFF);
        return S_OK;
    }
    STDMETHODIMP Fail(LONG code) override {
        return com::ReportError(static_cast<HRESULT>(code),
                                {.source = L"Toolkit.Test",
                                 .description = L"The test object failed on purpose.",
                                 .helpFile = L"toolkit.hlp",
                                 .helpContext = 2131});
    }
    STDMETHODIMP Raise(LONG value) override {
        RaiseOnValue(value);
        return S_OK;
    }

    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override {
        return iid == IID_ITestObject ? S_OK : S_FALSE;
    }

    void RaiseOnValue(LONG value) {
        VARIANT arg;
        V_VT(&arg) = VT_I4;
        V_I4(&arg) = value;
        com::RaiseEvent(events_, 1, {&arg, 1});
    }
    com::ConnectionPoint& Events() { return events_; }

protected:
    std::span<com::ConnectionPoint* const> ConnectionPoints() override { return points_; }

private:
    LONG level_ = 1;
    com::ConnectionPoint events_{this, DIID_ITestEvents};
    com::ConnectionPoint propertyNotify_{this, IID_IPropertyNotifySink};
    com::ConnectionPoint* const points_[2] = {&events_, &propertyNotify_};
};

inline ComPtr<TestObject> MakeTestObject() {
    ComPtr<TestObject> object;
    com::Make(object);
    return object;
}

// An ITestEvents sink; the handler runs on the raising thread.
class EventSink final : public com::Object<EventSink, IDispatch> {
public:
    using Handler = std::function<void(LONG value)>;
    explicit EventSink(Handler handler) : handler_(std::move(handler)) {}

    static com::InterfaceTable<EventSink> Interfaces() {
        static const com::InterfaceEntry<EventSink> table[] = {
            com::Entry<EventSink, IDispatch>(),
            {&DIID_ITestEvents,
             [](EventSink* s) -> IUnknown* { return static_cast<IDispatch*>(s); }},
        };
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
        if (id != 1 || params->cArgs != 1 || V_VT(&params->rgvarg[0]) != VT_I4)
            return DISP_E_MEMBERNOTFOUND;
        InterlockedIncrement(&calls_);
        if (handler_) handler_(V_I4(&params->rgvarg[0]));
        return S_OK;
    }

    LONG Calls() const { return InterlockedCompareExchange(const_cast<LONG*>(&calls_), 0, 0); }

private:
    Handler handler_;
    LONG calls_ = 0;
};

// An IPropertyNotifySink that records what it is told and answers request-edit as set.
class PropertySink final : public com::Object<PropertySink, IPropertyNotifySink> {
public:
    static com::InterfaceTable<PropertySink> Interfaces() {
        static const com::InterfaceEntry<PropertySink> table[] = {
            com::Entry<PropertySink, IPropertyNotifySink>()};
        return table;
    }
    STDMETHODIMP OnChanged(DISPID id) override {
        changed.push_back(id);
        return S_OK;
    }
    STDMETHODIMP OnRequestEdit(DISPID id) override {
        requested.push_back(id);
        return allowEdit ? S_OK : S_FALSE;
    }

    bool allowEdit = true;
    std::vector<DISPID> changed;
    std::vector<DISPID> requested;
};

} // namespace test
