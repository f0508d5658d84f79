// The object base of every COM object of the library: reference counting, QueryInterface from
// a declarative interface table, and the module lock count.
//
//   class Widget final : public com::Object<Widget, IWidget, ISupportErrorInfo> {
//   public:
//       static com::InterfaceTable<Widget> Interfaces() {
//           static const com::InterfaceEntry<Widget> table[] = {
//               com::Entry<Widget, IWidget>(),              // the first entry is the identity
//               com::Entry<Widget, IDispatch, IWidget>(),   // IDispatch answered by IWidget
//               com::Entry<Widget, ISupportErrorInfo>(),
//           };
//           return table;
//       }
//   };
//
// Bases may be interfaces or classes that implement part of one (com::Dispatch<IWidget>);
// Object supplies the one IUnknown for all of them.
#pragma once

#include "module.h"

#include <windows.h>
#include <unknwn.h>
#include <wrl/client.h>

#include <new>
#include <span>
#include <type_traits>
#include <utility>

namespace com {

using Microsoft::WRL::ComPtr;

template <class T> struct InterfaceEntry {
    const IID* iid;
    IUnknown* (*cast)(T* object);
};

template <class T> using InterfaceTable = std::span<const InterfaceEntry<T>>;

// An entry answering Interface with the object's Via base (Via derives from Interface).
template <class T, class Interface, class Via = Interface> constexpr InterfaceEntry<T> Entry() {
    static_assert(std::is_base_of_v<Interface, Via>, "Via must implement Interface");
    return {&__uuidof(Interface), [](T* object) -> IUnknown* { return static_cast<Via*>(object); }};
}

// LocksModule: whether a live object keeps the module loaded. Class factories do not; only
// their LockServer does.
template <class Derived, bool LocksModule, class... Bases> class ObjectBase : public Bases... {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) final {
        if (!out) return E_POINTER;
        *out = nullptr;
        Derived* self = static_cast<Derived*>(this);
        InterfaceTable<Derived> table = Derived::Interfaces();
        IUnknown* found = nullptr;
        if (iid == IID_IUnknown) {
            found = table.front().cast(self);
        } else {
            for (const InterfaceEntry<Derived>& entry : table) {
                if (*entry.iid == iid) {
                    found = entry.cast(self);
                    break;
                }
            }
        }
        if (!found) return E_NOINTERFACE;
        found->AddRef();
        *out = found;
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() final { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    STDMETHODIMP_(ULONG) Release() final {
        const LONG refs = InterlockedDecrement(&refs_);
        if (refs == 0) delete this;
        return static_cast<ULONG>(refs);
    }

    // The object's identity, for code that holds the object by its class.
    IUnknown* Unknown() { return Derived::Interfaces().front().cast(static_cast<Derived*>(this)); }

    ObjectBase(const ObjectBase&) = delete;
    ObjectBase& operator=(const ObjectBase&) = delete;

protected:
    ObjectBase() {
        if constexpr (LocksModule) ModuleLock();
    }
    virtual ~ObjectBase() {
        if constexpr (LocksModule) ModuleUnlock();
    }

private:
    LONG refs_ = 0;
};

template <class Derived, class... Bases> using Object = ObjectBase<Derived, true, Bases...>;

// Creates an object with a reference held by the returned pointer. An object that needs
// fallible set-up gives itself HRESULT Initialize(); its failure fails the creation.
template <class T, class... Args> HRESULT Make(ComPtr<T>& object, Args&&... args) {
    object.Reset();
    ComPtr<T> created(new (std::nothrow) T(std::forward<Args>(args)...));
    if (!created) return E_OUTOFMEMORY;
    if constexpr (requires(T & t) { t.Initialize(); }) {
        const HRESULT hr = created->Initialize();
        if (FAILED(hr)) return hr;
    }
    object = std::move(created);
    return S_OK;
}

// Make, then hand out the interface iid.
template <class T, class... Args> HRESULT CreateInstance(REFIID iid, void** out, Args&&... args) {
    if (!out) return E_POINTER;
    *out = nullptr;
    ComPtr<T> object;
    const HRESULT hr = Make(object, std::forward<Args>(args)...);
    if (FAILED(hr)) return hr;
    return object->QueryInterface(iid, out);
}

} // namespace com
