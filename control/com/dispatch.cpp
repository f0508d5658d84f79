#include "dispatch.h"

#include "com_object.h"
#include "module.h"
#include "raii.h"

#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace com {
namespace {

// A parameter declared as a pointer that a VARIANT can carry by reference: the type it
// points to (VT_I4 for long*, VT_ARRAY | VT_I4 for SAFEARRAY(long)*), and whether the
// member only writes it.
struct PointerParam {
    VARTYPE target = VT_EMPTY; // VT_EMPTY: not a pointer parameter
    bool outOnly = false;
    // A VARIANT taken by value: an array in it may be one whose memory the member fills or
    // keeps, so it must be the caller's own array and not a copy made for the call.
    bool variantValue = false;
};

using MemberKey = std::pair<MEMBERID, INVOKEKIND>;

// A property whose get takes nothing but its [out, retval] pointer to a plain value: Invoke
// calls it straight through the interface's function table, which is much cheaper than the
// type information's Invoke and gives the same result.
struct PlainGetter {
    size_t slot = 0;           // index in the function table
    VARTYPE type = VT_EMPTY;   // of the value
};

// What Invoke needs to know about one dual interface, built once from its type information.
struct InterfaceInfo {
    ComPtr<ITypeInfo> dispatchInfo; // handed to clients, used for names and Invoke
    // The parameters (retval excluded) of the members that have a pointer parameter.
    std::map<MemberKey, std::vector<PointerParam>> pointerMembers;
    std::map<MEMBERID, PlainGetter> plainGetters;
};

bool IsVariantScalar(VARTYPE type) {
    switch (type) {
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BSTR:
    case VT_BOOL:
    case VT_ERROR:
    case VT_DECIMAL:
    case VT_UNKNOWN:
    case VT_DISPATCH:
    case VT_VARIANT: return true;
    default: return false;
    }
}

// The VARIANT type of a value of the described type; VT_EMPTY for one a VARIANT cannot hold
// (records, interface pointers declared by name, pointers to pointers).
VARTYPE VariantTypeOf(ITypeInfo* info, const TYPEDESC& desc) {
    if (IsVariantScalar(desc.vt)) return desc.vt;
    if (desc.vt == VT_SAFEARRAY) {
        const VARTYPE element = VariantTypeOf(info, *desc.lptdesc);
        return element != VT_EMPTY && !(element & VT_ARRAY) ? VT_ARRAY | element : VT_EMPTY;
    }
    if (desc.vt != VT_USERDEFINED) return VT_EMPTY;
    ComPtr<ITypeInfo> ref;
    if (FAILED(info->GetRefTypeInfo(desc.hreftype, &ref))) return VT_EMPTY;
    TYPEATTR* attr = nullptr;
    if (FAILED(ref->GetTypeAttr(&attr))) return VT_EMPTY;
    VARTYPE type = VT_EMPTY;
    if (attr->typekind == TKIND_ENUM)
        type = VT_I4;
    else if (attr->typekind == TKIND_ALIAS)
        type = VariantTypeOf(ref.Get(), attr->tdescAlias);
    ref->ReleaseTypeAttr(attr);
    return type;
}

bool IsPlainValue(VARTYPE type) {
    switch (type) {
    case VT_UI1:
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_BSTR:
    case VT_BOOL: return true;
    default: return false;
    }
}

void CollectPlainGetter(ITypeInfo* info, const FUNCDESC& func, InterfaceInfo& out) {
    if (func.invkind != INVOKE_PROPERTYGET || func.funckind != FUNC_PUREVIRTUAL ||
        func.callconv != CC_STDCALL || func.elemdescFunc.tdesc.vt != VT_HRESULT ||
        func.cParams != 1 || func.cParamsOpt != 0)
        return;
    const ELEMDESC& param = func.lprgelemdescParam[0];
    if (!(param.paramdesc.wParamFlags & PARAMFLAG_FRETVAL) || param.tdesc.vt != VT_PTR) return;
    const VARTYPE type = VariantTypeOf(info, *param.tdesc.lptdesc);
    if (!IsPlainValue(type)) return;
    out.plainGetters.emplace(func.memid,
                             PlainGetter{static_cast<size_t>(func.oVft) / sizeof(void*), type});
}

void CollectPointerMembers(ITypeInfo* info, InterfaceInfo& out) {
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr))) return;
    const bool isBase = attr->guid == IID_IDispatch || attr->guid == IID_IUnknown;
    const WORD functions = attr->cFuncs;
    const WORD implemented = attr->cImplTypes;
    info->ReleaseTypeAttr(attr);
    if (isBase) return;

    for (UINT f = 0; f < functions; ++f) {
        FUNCDESC* func = nullptr;
        if (FAILED(info->GetFuncDesc(f, &func))) continue;
        std::vector<PointerParam> params;
        bool anyPointer = false;
        for (SHORT p = 0; p < func->cParams; ++p) {
            const ELEMDESC& elem = func->lprgelemdescParam[p];
            const USHORT flags = elem.paramdesc.wParamFlags;
            if (flags & (PARAMFLAG_FRETVAL | PARAMFLAG_FLCID)) continue;
            PointerParam param;
            if (elem.tdesc.vt == VT_VARIANT) {
                param.variantValue = true;
                anyPointer = true;
            } else if (elem.tdesc.vt == VT_PTR) {
                param.target = VariantTypeOf(info, *elem.tdesc.lptdesc);
                param.outOnly = (flags & PARAMFLAG_FOUT) && !(flags & PARAMFLAG_FIN);
                anyPointer = anyPointer || param.target != VT_EMPTY;
            }
            params.push_back(param);
        }
        if (anyPointer) out.pointerMembers.emplace(MemberKey{func->memid, func->invkind}, params);
        CollectPlainGetter(info, *func, out);
        info->ReleaseFuncDesc(func);
    }
    // Members of the base interfaces (ICorvid3 extends ICorvid2 extends ICorvid).
    if (implemented > 0) {
        HREFTYPE baseRef = 0;
        ComPtr<ITypeInfo> base;
        if (SUCCEEDED(info->GetRefTypeOfImplType(0, &baseRef)) &&
            SUCCEEDED(info->GetRefTypeInfo(baseRef, &base)))
            CollectPointerMembers(base.Get(), out);
    }
}

HRESULT BuildInterfaceInfo(REFIID iface, InterfaceInfo& out) {
    ComPtr<ITypeInfo> info;
    HRESULT hr = ModuleTypeInfo(iface, &info);
    if (FAILED(hr)) return hr;
    out.dispatchInfo = info;

    // The member descriptions with their real parameter types live in the interface part
    // of a dual interface.
    ComPtr<ITypeInfo> vtableInfo = info;
    TYPEATTR* attr = nullptr;
    hr = info->GetTypeAttr(&attr);
    if (FAILED(hr)) return hr;
    const bool dualDispatch =
        attr->typekind == TKIND_DISPATCH && (attr->wTypeFlags & TYPEFLAG_FDUAL);
    info->ReleaseTypeAttr(attr);
    if (dualDispatch) {
        HREFTYPE ref = 0;
        ComPtr<ITypeInfo> part;
        if (SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref)) &&
            SUCCEEDED(info->GetRefTypeInfo(ref, &part)))
            vtableInfo = part;
    }
    CollectPointerMembers(vtableInfo.Get(), out);
    return S_OK;
}

struct Caches {
    ComPtr<ITypeLib> library;
    std::map<GUID, std::unique_ptr<InterfaceInfo>, bool (*)(const GUID&, const GUID&)> interfaces{
        [](const GUID& a, const GUID& b) { return memcmp(&a, &b, sizeof(GUID)) < 0; }};
};

// Made on first use and kept while the library is loaded; callers hold ModuleSection. At
// process exit it is left alone (releasing type information then would call into an
// automation library that may already be gone); a library unloaded while the process goes
// on gives it back (ReleaseModuleCaches).
Caches* moduleCaches = nullptr;

Caches& ModuleCaches() {
    if (!moduleCaches) moduleCaches = new Caches;
    return *moduleCaches;
}

HRESULT FindInterfaceInfo(REFIID iface, const InterfaceInfo** out) {
    Lock lock(ModuleSection());
    auto& interfaces = ModuleCaches().interfaces;
    auto found = interfaces.find(iface);
    if (found == interfaces.end()) {
        auto info = std::make_unique<InterfaceInfo>();
        const HRESULT hr = BuildInterfaceInfo(iface, *info);
        if (FAILED(hr)) return hr;
        found = interfaces.emplace(iface, std::move(info)).first;
    }
    *out = found->second.get();
    return S_OK;
}

const std::vector<PointerParam>* FindPointerMember(const InterfaceInfo& info, DISPID id,
                                                   WORD flags) {
    static const std::pair<WORD, INVOKEKIND> kinds[] = {
        {DISPATCH_METHOD, INVOKE_FUNC},
        {DISPATCH_PROPERTYGET, INVOKE_PROPERTYGET},
        {DISPATCH_PROPERTYPUT, INVOKE_PROPERTYPUT},
        {DISPATCH_PROPERTYPUTREF, INVOKE_PROPERTYPUTREF},
    };
    for (const auto& [flag, kind] : kinds) {
        if (!(flags & flag)) continue;
        auto found = info.pointerMembers.find({id, kind});
        if (found != info.pointerMembers.end()) return &found->second;
    }
    return nullptr;
}

bool IsMissingArgument(const VARIANT& arg) {
    return V_VT(&arg) == VT_ERROR && V_ERROR(&arg) == DISP_E_PARAMNOTFOUND;
}

// One argument passed through a temporary of the declared type.
struct CoercedArgument {
    VARTYPE target = VT_EMPTY;
    VARIANT* writeBack = nullptr; // the caller's VARIANT, null for a value argument
    UniqueVariant value;
};

// Points arg at the temporary's value, as VT_BYREF | target.
void PassByReference(VARIANT& arg, CoercedArgument& coerced) {
    VARIANT* temporary = coerced.value.Get();
    V_VT(&arg) = VT_BYREF | coerced.target;
    if (coerced.target == VT_VARIANT)
        V_VARIANTREF(&arg) = temporary;
    else if (coerced.target == VT_DECIMAL)
        V_DECIMALREF(&arg) = &V_DECIMAL(temporary);
    else
        V_BYREF(&arg) = &V_I8(temporary); // the value union, whatever its type
}

// Sets up the temporary for one argument. S_FALSE: the argument goes through unchanged.
HRESULT Coerce(VARIANT& arg, const PointerParam& param, CoercedArgument& coerced) {
    const VARTYPE passed = V_VT(&arg);
    if (passed == (VT_BYREF | param.target) || IsMissingArgument(arg)) return S_FALSE;
    coerced.target = param.target;

    if (param.target == VT_VARIANT) {
        // VARIANT*: any reference is taken as it is; a value is passed as a copy.
        if (passed & VT_BYREF) return S_FALSE;
        const HRESULT hr = VariantCopy(coerced.value.Get(), &arg);
        if (FAILED(hr)) return hr;
        PassByReference(arg, coerced);
        return S_OK;
    }

    VARIANT* source = &arg;
    if (passed == (VT_BYREF | VT_VARIANT)) {
        source = V_VARIANTREF(&arg);
        if (!source) return E_POINTER;
        coerced.writeBack = source;
    } else if (passed & VT_BYREF) {
        return S_FALSE; // a reference of another type: the type library decides
    }

    if (param.outOnly) {
        V_VT(coerced.value.Get()) = param.target; // zero value: 0, null BSTR, null array
    } else {
        const HRESULT hr = VariantChangeType(coerced.value.Get(), source, 0, param.target);
        if (FAILED(hr)) return hr;
    }
    PassByReference(arg, coerced);
    return S_OK;
}

HRESULT InvokeWithCoercion(ITypeInfo* info, const std::vector<PointerParam>& declared,
                           IUnknown* object, DISPID id, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    const UINT count = params->cArgs;
    const UINT named = params->cNamedArgs;
    if (count == 0 || !params->rgvarg || named > count || (named && !params->rgdispidNamedArgs))
        return info->Invoke(object, id, flags, params, result, exception, argError);

    std::vector<VARIANT> args(params->rgvarg, params->rgvarg + count);
    std::vector<CoercedArgument> coerced(count);
    bool anyCoerced = false;
    for (UINT i = 0; i < count; ++i) {
        // rgvarg holds the named arguments first, then the positional ones in reverse order.
        LONG position = 0;
        if (i < named) {
            const DISPID name = params->rgdispidNamedArgs[i];
            position = name == DISPID_PROPERTYPUT ? static_cast<LONG>(declared.size()) - 1 : name;
        } else {
            position = static_cast<LONG>(count - 1 - i);
        }
        if (position < 0 || position >= static_cast<LONG>(declared.size())) continue;
        const PointerParam& param = declared[static_cast<size_t>(position)];
        if (param.variantValue) {
            // An array passed by value reaches the member as a reference to the caller's
            // VARIANT, so that the type information's Invoke has nothing to copy.
            if ((V_VT(&args[i]) & VT_ARRAY) && !(V_VT(&args[i]) & VT_BYREF)) {
                V_VT(&args[i]) = VT_BYREF | VT_VARIANT;
                V_VARIANTREF(&args[i]) = &params->rgvarg[i];
                anyCoerced = true;
            }
            continue;
        }
        if (param.target == VT_EMPTY) continue;
        const HRESULT hr = Coerce(args[i], param, coerced[i]);
        if (FAILED(hr)) {
            if (argError) *argError = i;
            return DISP_E_TYPEMISMATCH;
        }
        anyCoerced = anyCoerced || hr == S_OK;
    }
    if (!anyCoerced) return info->Invoke(object, id, flags, params, result, exception, argError);

    DISPPARAMS call = *params;
    call.rgvarg = args.data();
    const HRESULT hr = info->Invoke(object, id, flags, &call, result, exception, argError);
    if (SUCCEEDED(hr)) {
        for (CoercedArgument& argument : coerced) {
            if (!argument.writeBack) continue;
            // The member wrote through the pointer; a DECIMAL also covers the type field.
            V_VT(argument.value.Get()) = argument.target;
            VariantClear(argument.writeBack);
            *argument.writeBack = argument.value.Detach();
        }
    }
    return hr;
}

// Calls a plain property get through the function table and answers as the type
// information's Invoke does: the value in result (whatever the member left there, also when
// it fails), and for a failure DISP_E_EXCEPTION with the member's error in exception.
HRESULT InvokePlainGetter(IUnknown* object, const PlainGetter& getter, VARIANT* result,
                          EXCEPINFO* exception) {
    using Get = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, void*);
    VARIANT value;
    VariantInit(&value);
    const Get get = (*reinterpret_cast<Get* const*>(object))[getter.slot];
    const HRESULT hr = get(object, &V_I8(&value)); // the value union, whatever its type
    V_VT(&value) = getter.type;
    if (result)
        *result = value;
    else
        VariantClear(&value);
    if (SUCCEEDED(hr)) return S_OK;
    if (exception) {
        *exception = {};
        exception->scode = hr;
        ComPtr<IErrorInfo> error;
        if (GetErrorInfo(0, &error) == S_OK) {
            error->GetDescription(&exception->bstrDescription);
            error->GetHelpFile(&exception->bstrHelpFile);
            error->GetSource(&exception->bstrSource);
            error->GetHelpContext(&exception->dwHelpContext);
        }
    }
    return DISP_E_EXCEPTION;
}

// The depth of late-bound calls on each thread, in a slot of the platform's own taken when the
// library loads and given back when it unloads (the compiler's thread_local would leave a
// slot and a lock behind per load). Without a slot every call counts as late-bound: the
// members then never write past one variable of the declared type.
class ThreadDepth {
public:
    ThreadDepth() : slot_(TlsAlloc()) {}
    ~ThreadDepth() {
        if (slot_ != TLS_OUT_OF_INDEXES) TlsFree(slot_);
    }
    ThreadDepth(const ThreadDepth&) = delete;
    ThreadDepth& operator=(const ThreadDepth&) = delete;

    intptr_t Get() const {
        return slot_ == TLS_OUT_OF_INDEXES ? 1 : reinterpret_cast<intptr_t>(TlsGetValue(slot_));
    }
    void Add(intptr_t delta) const {
        if (slot_ != TLS_OUT_OF_INDEXES)
            TlsSetValue(slot_, reinterpret_cast<void*>(Get() + delta));
    }

private:
    const DWORD slot_;
};

ThreadDepth lateBoundDepth;

// Marks the calling thread as inside a late-bound call for its lifetime.
class LateBoundScope {
public:
    LateBoundScope() { lateBoundDepth.Add(1); }
    ~LateBoundScope() { lateBoundDepth.Add(-1); }
    LateBoundScope(const LateBoundScope&) = delete;
    LateBoundScope& operator=(const LateBoundScope&) = delete;
};

} // namespace

bool InLateBoundCall() {
    return lateBoundDepth.Get() > 0;
}

void ReleaseModuleCaches() {
    Lock lock(ModuleSection());
    delete moduleCaches;
    moduleCaches = nullptr;
}

HRESULT ModuleTypeLib(ITypeLib** library) {
    if (!library) return E_POINTER;
    *library = nullptr;
    Lock lock(ModuleSection());
    Caches& caches = ModuleCaches();
    if (!caches.library) {
        const std::wstring path = ModulePath();
        HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &caches.library);
        if (FAILED(hr)) {
            // Beside the module as a separate file, the way a development build may ship it.
            std::wstring tlb = path;
            const size_t dot = tlb.find_last_of(L".\\/");
            if (dot != std::wstring::npos && tlb[dot] == L'.') tlb.resize(dot);
            tlb += L".tlb";
            if (FAILED(LoadTypeLibEx(tlb.c_str(), REGKIND_NONE, &caches.library))) return hr;
        }
    }
    return caches.library.CopyTo(library);
}

HRESULT ModuleTypeInfo(REFGUID guid, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    ComPtr<ITypeLib> library;
    const HRESULT hr = ModuleTypeLib(&library);
    if (FAILED(hr)) return hr;
    return library->GetTypeInfoOfGuid(guid, info);
}

HRESULT DispatchGetTypeInfo(REFIID iface, UINT index, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    const InterfaceInfo* found = nullptr;
    const HRESULT hr = FindInterfaceInfo(iface, &found);
    if (FAILED(hr)) return hr;
    return found->dispatchInfo.CopyTo(info);
}

HRESULT DispatchGetIDsOfNames(REFIID iface, REFIID riid, LPOLESTR* names, UINT count, DISPID* ids) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids) return E_POINTER;
    const InterfaceInfo* found = nullptr;
    const HRESULT hr = FindInterfaceInfo(iface, &found);
    if (FAILED(hr)) return hr;
    return found->dispatchInfo->GetIDsOfNames(names, count, ids);
}

HRESULT DispatchInvoke(REFIID iface, IUnknown* object, DISPID id, REFIID riid, WORD flags,
                       DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!params) return E_POINTER;
    const InterfaceInfo* found = nullptr;
    const HRESULT hr = FindInterfaceInfo(iface, &found);
    if (FAILED(hr)) return hr;
    ITypeInfo* info = found->dispatchInfo.Get();
    LateBoundScope lateBound;
    if ((flags & DISPATCH_PROPERTYGET) && params->cArgs == 0) {
        const auto getter = found->plainGetters.find(id);
        if (getter != found->plainGetters.end())
            return InvokePlainGetter(object, getter->second, result, exception);
    }
    if (const std::vector<PointerParam>* declared = FindPointerMember(*found, id, flags))
        return InvokeWithCoercion(info, *declared, object, id, flags, params, result, exception,
                                  argError);
    return info->Invoke(object, id, flags, params, result, exception, argError);
}

} // namespace com
