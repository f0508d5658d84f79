// Runs a simulated board at full speed for the life of the object: its FrameRate value is set
// to 0 and the old value (or its absence) is put back afterwards.
#pragma once

#include <windows.h>

#include <cstring>
#include <optional>
#include <string>

inline constexpr wchar_t kServices[] = L"System\\CurrentControlSet\\Services\\kvboard\\";

// Sets the board's FrameRate to 0 and puts the old value (or its absence) back at the end.
class FullSpeed {
public:
    explicit FullSpeed(const char* board) {
        const std::wstring key = kServices + std::wstring(board, board + strlen(board));
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0,
                            KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_, nullptr) != ERROR_SUCCESS)
            return;
        DWORD value = 0, size = sizeof(value), type = 0;
        if (RegQueryValueExW(key_, L"FrameRate", nullptr, &type, reinterpret_cast<BYTE*>(&value),
                             &size) == ERROR_SUCCESS && type == REG_DWORD)
            previous_ = value;
        const DWORD zero = 0;
        RegSetValueExW(key_, L"FrameRate", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&zero),
                       sizeof(zero));
    }
    ~FullSpeed() {
        if (!key_) return;
        if (previous_)
            RegSetValueExW(key_, L"FrameRate", 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&*previous_), sizeof(DWORD));
        else
            RegDeleteValueW(key_, L"FrameRate");
        RegCloseKey(key_);
    }
    FullSpeed(const FullSpeed&) = delete;
    FullSpeed& operator=(const FullSpeed&) = delete;

private:
    HKEY key_ = nullptr;
    std::optional<DWORD> previous_;
};

