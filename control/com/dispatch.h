// IDispatch for a dual interface, served from the type library embedded in the module
// (resource 1 of type TYPELIB): ITypeInfo answers names, optional and default arguments and
// named arguments exactly as the type library declares them.
//
// Script hosts pass their variables by reference as VARIANTs (VT_BYREF | VT_VARIANT), which
// ITypeInfo::Invoke refuses for an argument declared as a typed pointer ([out] long*). Invoke
// therefore coerces such an argument into a temporary of the declared type, passes that, and
// writes the value back into the caller's VARIANT after a successful call. A plain value
// given for a pointer argument is passed the same way, without write-back.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace com {

// The type library of the module, loaded once (not registered by loading).
HRESULT ModuleTypeLib(ITypeLib** library);
// The type information of an interface or class in the module's type library.
HRESULT ModuleTypeInfo(REFGUID guid, ITypeInfo** info);

// True while the calling thread is inside a member reached through IDispatch::Invoke. A
// pointer argument then points at one variable of its declared type, never at a caller's
// larger buffer, whatever size another argument claims.
bool InLateBoundCall();

// Gives back the type library and the interface tables; for a library unloaded while the
// process goes on (DllMain, process detach without the exit flag).
void ReleaseModuleCaches();

HRESULT DispatchGetTypeInfo(REFIID iface, UINT index, ITypeInfo** info);
HRESULT DispatchGetIDsOfNames(REFIID iface, REFIID riid, LPOLESTR* names, UINT count, DISPID* ids);
// object: the dual interface pointer of the implementing object.
HRESULT DispatchInvoke(REFIID iface, IUnknown* object, DISPID id, REFIID riid, WORD flags,
                       DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception, UINT* argError);

// Implements IDispatch of the dual interface I; the object implements I's own members.
template <class I> class Dispatch : public I {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        return DispatchGetTypeInfo(__uuidof(I), index, info);
    }
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                               DISPID* ids) override {
        return DispatchGetIDsOfNames(__uuidof(I), riid, names, count, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argError) override {
        return DispatchInvoke(__uuidof(I), static_cast<I*>(this), id, riid, flags, params, result,
                              exception, argError);
    }
};

} // namespace com
