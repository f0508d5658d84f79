// Imaging driver services written into HKLM\System\CurrentControlSet\Services for a test and
// removed again when the object goes away.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

class TestService {
public:
    static constexpr char kServicesPath[] = "System\\CurrentControlSet\\Services";

    // marker: whether the service key carries the "STIMG" value.
    explicit TestService(std::string name, bool marker = true) : name_(std::move(name)) {
        Delete(name_); // a leftover of an interrupted run
        HKEY key = nullptr;
        ok_ = RegCreateKeyExA(HKEY_LOCAL_MACHINE, Path().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr) == ERROR_SUCCESS;
        if (ok_ && marker) {
            const DWORD one = 1;
            ok_ = RegSetValueExA(key, "STIMG", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one),
                                 sizeof(one)) == ERROR_SUCCESS;
        }
        if (key) RegCloseKey(key);
    }
    TestService(const TestService&) = delete;
    TestService& operator=(const TestService&) = delete;
    ~TestService() { Delete(name_); }

    // A board subkey; without enable the "Enable" value is left out.
    bool AddBoard(const std::string& board, std::optional<uint32_t> enable) {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, (Path() + "\\" + board).c_str(), 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
            return false;
        bool done = true;
        if (enable)
            done =
                RegSetValueExA(key, "Enable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&*enable),
                               sizeof(uint32_t)) == ERROR_SUCCESS;
        RegCloseKey(key);
        return done;
    }

    bool ok() const { return ok_; }

    // Removes a service key and everything under it.
    static void Delete(const std::string& name) {
        HKEY services = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServicesPath, 0, KEY_ALL_ACCESS, &services) !=
            ERROR_SUCCESS)
            return;
        RegDeleteTreeA(services, name.c_str());
        RegDeleteKeyA(services, name.c_str());
        RegCloseKey(services);
    }
    const std::string& name() const { return name_; }

private:
    std::string Path() const { return std::string(kServicesPath) + "\\" + name_; }
    std::string name_;
    bool ok_ = false;
};
