// The fixture of the persistence tests: the installed control on a pinned simulator, a
// property bag that keeps what it is given in order, and helpers that read the persisted
// properties through the control's dispatch interface.
#pragma once

#include "frames_fixture.h"
#include "property_map.h"
#include "stapi.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace persistence_test {

using Microsoft::WRL::ComPtr;
using test::Call;
using test::CallResult;
using test::DispidOf;

// A host's property bag: the values in the order they were written, and the names asked for.
class MemoryBag final : public com::Object<MemoryBag, IPropertyBag> {
public:
    static com::InterfaceTable<MemoryBag> Interfaces() {
        static const com::InterfaceEntry<MemoryBag> table[] = {
            com::Entry<MemoryBag, IPropertyBag>()};
        return table;
    }
    ~MemoryBag() override {
        for (auto& [name, value] : values)
            VariantClear(&value);
    }
    STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
        reads.emplace_back(name);
        for (auto& [key, stored] : values) {
            if (key != name) continue;
            // Typed as asked, the way hosts' bags answer, unless raw.
            const VARTYPE type = raw ? VARTYPE(VT_EMPTY) : V_VT(value);
            VariantClear(value);
            return type == VT_EMPTY ? VariantCopy(value, &stored)
                                    : VariantChangeType(value, &stored, 0, type);
        }
        return E_INVALIDARG;
    }
    STDMETHODIMP Write(LPCOLESTR name, VARIANT* value) override {
        VARIANT copy;
        VariantInit(&copy);
        VariantCopy(&copy, value);
        values.emplace_back(name, copy);
        return S_OK;
    }
    std::vector<std::wstring> Names() const {
        std::vector<std::wstring> names;
        for (const auto& [name, value] : values)
            names.push_back(name);
        return names;
    }
    VARIANT* Find(const std::wstring& name) {
        for (auto& [key, value] : values)
            if (key == name) return &value;
        return nullptr;
    }
    void Remove(const std::wstring& name) {
        for (auto it = values.begin(); it != values.end(); ++it) {
            if (it->first != name) continue;
            VariantClear(&it->second);
            values.erase(it);
            return;
        }
    }

    std::vector<std::pair<std::wstring, VARIANT>> values;
    std::vector<std::wstring> reads;
    bool raw = false; // answers the stored values as they are, whatever type is asked for
};

// The names of the persisted properties in map order.
inline std::vector<std::wstring> MapNames() {
    std::vector<std::wstring> names;
    for (const core::PropertyMapEntry& entry : core::PropertyMap())
        names.push_back(entry.name);
    return names;
}

inline std::wstring Describe(const VARIANT& value) {
    VARIANT text;
    VariantInit(&text);
    std::wstring described = L"vt " + std::to_wstring(V_VT(&value)) + L" ";
    if (SUCCEEDED(VariantChangeType(&text, const_cast<VARIANT*>(&value), 0, VT_BSTR)))
        described += test::Wide(V_BSTR(&text));
    VariantClear(&text);
    return described;
}

class Persistence : public frames_test::Frames {
protected:
    // Every persisted property as its dispatch get gives it: "vt value" per map entry.
    std::vector<std::wstring> Snapshot(IDispatch* control) {
        std::vector<std::wstring> values;
        for (const core::PropertyMapEntry& entry : core::PropertyMap()) {
            CallResult call = Call(control, entry.dispid, DISPATCH_PROPERTYGET, {});
            values.push_back(std::wstring(entry.name) + L": " +
                             (call.hr == S_OK ? Describe(call.value) : L"fails"));
        }
        return values;
    }
    ComPtr<MemoryBag> SavedBag(IUnknown* control) {
        ComPtr<MemoryBag> bag;
        com::Make(bag);
        ComPtr<IPersistPropertyBag> persist;
        EXPECT_EQ(control->QueryInterface(IID_PPV_ARGS(&persist)), S_OK);
        if (persist) {
            EXPECT_EQ(persist->Save(bag.Get(), TRUE, TRUE), S_OK);
        }
        return bag;
    }
    HRESULT LoadBag(IUnknown* control, IPropertyBag* bag) {
        ComPtr<IPersistPropertyBag> persist;
        if (FAILED(control->QueryInterface(IID_PPV_ARGS(&persist)))) return E_NOINTERFACE;
        return persist->Load(bag, nullptr);
    }
    HRESULT Put(IDispatch* control, const wchar_t* name, LONG value) {
        return test::PutProperty(control, name, test::Long(value)).hr;
    }
    // Closes this control's board (a board is open in one control at a time), runs load on
    // a new control and expects it to report every persisted property as this one did.
    template <class Load> ComPtr<IDispatch> ExpectRestoredInNewControl(Load load) {
        const std::vector<std::wstring> saved = Snapshot(dispatch_.Get());
        CloseDevice();
        ComPtr<IDispatch> other = test::CreateControl();
        EXPECT_TRUE(other);
        if (!other) return other;
        EXPECT_EQ(load(other.Get()), S_OK);
        EXPECT_EQ(Snapshot(other.Get()), saved);
        return other;
    }
    template <class Persist> static ComPtr<Persist> As(IDispatch* control) {
        ComPtr<Persist> persist;
        EXPECT_EQ(control->QueryInterface(IID_PPV_ARGS(&persist)), S_OK);
        return persist;
    }
    // Moves a numeric property to a neighbouring value the device accepts; answers it.
    LONG Nudge(const wchar_t* name) {
        const LONG current = Get(dispatch_.Get(), name);
        for (LONG next : {current - 1, current + 1, current / 2, current * 2})
            if (Put(dispatch_.Get(), name, next) == S_OK && Get(dispatch_.Get(), name) == next)
                return next;
        ADD_FAILURE() << "no neighbour of " << current;
        return current;
    }
    // Outside a load or save, a failing time-out write is an error with error information.
    void ExpectTimeoutFailureReported() {
        simulator_.Port().FailNext(imaging::msg::STM_SET_TIMEOUT, 0x94000006);
        CallResult call = test::PutProperty(dispatch_.Get(), L"Timeout", test::Long(4));
        EXPECT_EQ(call.hr, DISP_E_EXCEPTION);
        EXPECT_NE(call.exception.scode, S_OK);
        EXPECT_FALSE(test::Wide(call.exception.bstrDescription).empty());
        simulator_.Port().ClearFailures();
    }
    void CloseDevice() { EXPECT_EQ(test::Invoke(dispatch_.Get(), L"CloseDevice").hr, S_OK); }
    LONG Get(IDispatch* control, const wchar_t* name) {
        return test::LongOf(test::GetProperty(control, name));
    }
};

} // namespace persistence_test
