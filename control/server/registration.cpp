#include "registration.h"

#include "com_object.h"
#include "raii.h"

#include <oleauto.h>

namespace server {
namespace {

std::wstring Expand(const wchar_t* data, const std::wstring& modulePath) {
    std::wstring text = data;
    static constexpr wchar_t kModule[] = L"%MODULE%";
    for (size_t at = text.find(kModule); at != std::wstring::npos;
         at = text.find(kModule, at + modulePath.size()))
        text.replace(at, std::size(kModule) - 1, modulePath);
    return text;
}

bool KeyIsEmpty(HKEY key) {
    DWORD subkeys = 0, values = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    return subkeys == 0 && values == 0;
}

HRESULT LoadModuleTypeLib(const std::wstring& modulePath, REGKIND kind, ITypeLib** library) {
    HRESULT hr = LoadTypeLibEx(modulePath.c_str(), kind, library);
    if (SUCCEEDED(hr)) return hr;
    std::wstring tlb = modulePath;
    const size_t dot = tlb.find_last_of(L".\\/");
    if (dot != std::wstring::npos && tlb[dot] == L'.') tlb.resize(dot);
    tlb += L".tlb";
    return SUCCEEDED(LoadTypeLibEx(tlb.c_str(), kind, library)) ? S_OK : hr;
}

} // namespace

HRESULT RegisterEntries(std::span<const RegistryEntry> entries, const std::wstring& modulePath) {
    for (const RegistryEntry& entry : entries) {
        if (entry.replace) {
            const LSTATUS deleted = RegDeleteTreeW(HKEY_CLASSES_ROOT, entry.key);
            if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND)
                return HRESULT_FROM_WIN32(deleted);
        }
        HKEY created = nullptr;
        LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, entry.key, 0, nullptr, 0, KEY_SET_VALUE,
                                         nullptr, &created, nullptr);
        if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
        com::UniqueRegKey key(created);
        if (!entry.data) continue;
        const std::wstring data = Expand(entry.data, modulePath);
        status = RegSetValueExW(key.Get(), entry.name, 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(data.c_str()),
                                static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
        if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    }
    return S_OK;
}

HRESULT UnregisterEntries(std::span<const RegistryEntry> entries) {
    // Children before parents: the reverse of the order they were written in.
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        HKEY opened = nullptr;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, entry->key, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                          &opened) != ERROR_SUCCESS)
            continue; // already gone
        com::UniqueRegKey key(opened);
        if (entry->replace) {
            // A key this library owns whole (a page's class key) goes with all it holds.
            key.Reset();
            RegDeleteTreeW(HKEY_CLASSES_ROOT, entry->key);
            RegDeleteKeyW(HKEY_CLASSES_ROOT, entry->key);
            continue;
        }
        if (entry->data) RegDeleteValueW(key.Get(), entry->name);
        const bool empty = KeyIsEmpty(key.Get());
        key.Reset();
        if (empty) RegDeleteKeyW(HKEY_CLASSES_ROOT, entry->key);
    }
    return S_OK;
}

HRESULT RegisterTypeLibrary(const std::wstring& modulePath) {
    com::ComPtr<ITypeLib> library;
    return LoadModuleTypeLib(modulePath, REGKIND_REGISTER, &library);
}

HRESULT UnregisterTypeLibrary(const std::wstring& modulePath) {
    com::ComPtr<ITypeLib> library;
    HRESULT hr = LoadModuleTypeLib(modulePath, REGKIND_NONE, &library);
    if (FAILED(hr)) return hr;
    TLIBATTR* attr = nullptr;
    hr = library->GetLibAttr(&attr);
    if (FAILED(hr)) return hr;
    const TLIBATTR copy = *attr;
    library->ReleaseTLibAttr(attr);

    // Looked up at run time: an automation library without it leaves the type library
    // registered, and removal still succeeds.
    using UnRegisterTypeLibFn = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);
    HMODULE automation = GetModuleHandleW(L"oleaut32.dll");
    auto unregister = automation ? reinterpret_cast<UnRegisterTypeLibFn>(reinterpret_cast<void*>(
                                       GetProcAddress(automation, "UnRegisterTypeLib")))
                                 : nullptr;
    if (!unregister) return S_OK;
    return unregister(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid, copy.syskind);
}

} // namespace server
