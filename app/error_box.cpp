#include "error_box.h"

#include "raii.h"

#include <oleauto.h>
#include <wrl/client.h>

#include <cwchar>

namespace vidora {

std::wstring ErrorDescription(HRESULT hr) {
    Microsoft::WRL::ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) == S_OK && info) {
        com::UniqueBstr text;
        if (SUCCEEDED(info->GetDescription(text.Out())) && text.Length() > 0)
            return std::wstring(text.Get(), text.Length());
    }
    wchar_t* system = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&system), 0, nullptr);
    std::wstring text = length ? std::wstring(system, length) : std::wstring();
    LocalFree(system);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    if (text.empty()) {
        wchar_t fallback[48];
        swprintf(fallback, 48, L"Unexpected error 0x%08lX", static_cast<unsigned long>(hr));
        text = fallback;
    }
    return text;
}

HRESULT ProgramError(HRESULT hr, const wchar_t* description) {
    Microsoft::WRL::ComPtr<ICreateErrorInfo> create;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        create->SetSource(const_cast<wchar_t*>(kAppTitle));
        create->SetDescription(const_cast<wchar_t*>(description));
        Microsoft::WRL::ComPtr<IErrorInfo> info;
        if (SUCCEEDED(create.As(&info))) SetErrorInfo(0, info.Get());
    }
    return hr;
}

void ShowErrorBox(HWND owner, const std::wstring& description) {
    MessageBoxW(owner, description.c_str(), kAppTitle, MB_OK);
}

void ShowInformation(HWND owner, const wchar_t* text) {
    MessageBoxW(owner, text, L"Information", MB_OK);
}

} // namespace vidora
