// Helpers for the component server's tests: the installed library, regsvr32, registry reads.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace test {

// The control as installed: the system folder's Corvid.ocx.
inline std::wstring InstalledOcx() {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    return std::wstring(system) + L"\\Corvid.ocx";
}

// Runs regsvr32 /s [/u] on the installed library; the exit code, or -1 when it did not run
// or did not end within two minutes.
inline int RunRegsvr32(bool unregister) {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(system) + L"\\regsvr32.exe\" /s " +
                           (unregister ? L"/u " : L"") + L"\"" + InstalledOcx() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return -1;
    CloseHandle(process.hThread);
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

inline bool KeyExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// A string value below HKEY_CLASSES_ROOT; name null for the default value.
inline std::optional<std::wstring> ReadString(const std::wstring& path,
                                              const wchar_t* name = nullptr) {
    wchar_t data[1024] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), name, RRF_RT_REG_SZ, &type, data, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(data);
}

inline DWORD CountValues(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    DWORD values = 0, subkeys = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return values + subkeys;
}

inline const std::wstring kControlKey = L"CLSID\\{A92DE365-EFE4-11D1-BF0C-0020AF152C2E}";
inline const std::wstring kTypeLibKey = L"TypeLib\\{A92DE354-EFE4-11D1-BF0C-0020AF152C2E}";

} // namespace test
