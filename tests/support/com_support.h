// Shared helpers for tests that act as COM clients.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>
#include <vector>

namespace test {

// The test's thread joins a single-threaded apartment for the life of the object.
class Apartment {
public:
    Apartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;
    ~Apartment() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    HRESULT Result() const { return result_; }

private:
    HRESULT result_;
};

// The thread's current error information as a client reads it (GetErrorInfo clears it).
struct ErrorRecord {
    bool present = false;
    std::wstring source;
    std::wstring description;
    std::wstring helpFile;
    DWORD helpContext = 0;
};

inline std::wstring TakeBstr(BSTR text) {
    std::wstring copy = text ? std::wstring(text, SysStringLen(text)) : std::wstring();
    SysFreeString(text);
    return copy;
}

inline ErrorRecord TakeErrorInfo() {
    ErrorRecord record;
    Microsoft::WRL::ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) != S_OK || !info) return record;
    record.present = true;
    BSTR text = nullptr;
    if (SUCCEEDED(info->GetSource(&text))) record.source = TakeBstr(text);
    text = nullptr;
    if (SUCCEEDED(info->GetDescription(&text))) record.description = TakeBstr(text);
    text = nullptr;
    if (SUCCEEDED(info->GetHelpFile(&text))) record.helpFile = TakeBstr(text);
    info->GetHelpContext(&record.helpContext);
    return record;
}

inline DISPID DispidOf(IDispatch* object, const wchar_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)))
        return DISPID_UNKNOWN;
    return id;
}

// Calls a member the way a script host does: arguments in declaration order (reversed into
// rgvarg here), the caller keeping ownership of them.
struct CallResult {
    HRESULT hr = E_FAIL;
    VARIANT value{};
    EXCEPINFO exception{};
    UINT argError = static_cast<UINT>(-1);
    CallResult() { VariantInit(&value); }
    CallResult(const CallResult&) = delete;
    CallResult& operator=(const CallResult&) = delete;
    CallResult(CallResult&& other) noexcept
        : hr(other.hr), value(other.value), exception(other.exception), argError(other.argError) {
        VariantInit(&other.value);
        other.exception = {};
    }
    ~CallResult() {
        VariantClear(&value);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
    }
};

inline CallResult Call(IDispatch* object, DISPID id, WORD flags, std::vector<VARIANT> args,
                       std::vector<DISPID> named = {}) {
    CallResult call;
    // Named arguments come first in rgvarg, in the order of their ids.
    std::vector<VARIANT> ordered;
    const size_t positional = args.size() - named.size();
    for (size_t i = 0; i < named.size(); ++i)
        ordered.push_back(args[positional + i]);
    for (size_t i = 0; i < positional; ++i)
        ordered.push_back(args[positional - 1 - i]);
    DISPPARAMS params{ordered.empty() ? nullptr : ordered.data(),
                      named.empty() ? nullptr : named.data(), static_cast<UINT>(ordered.size()),
                      static_cast<UINT>(named.size())};
    call.hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                             flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF) ? nullptr
                                                                                      : &call.value,
                             &call.exception, &call.argError);
    return call;
}

inline VARIANT Long(LONG value) {
    VARIANT v;
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

inline VARIANT Short(SHORT value) {
    VARIANT v;
    V_VT(&v) = VT_I2;
    V_I2(&v) = value;
    return v;
}

// A reference to a caller's VARIANT, the way VBScript passes a variable.
inline VARIANT RefTo(VARIANT* variable) {
    VARIANT v;
    V_VT(&v) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&v) = variable;
    return v;
}

// A borrowed BSTR value (the caller frees the string).
inline VARIANT Text(BSTR text) {
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = text;
    return v;
}

} // namespace test
