// Self-registration: regsvr32 installs one board of every model under the service key and
// regsvr32 /u removes the key.
#include "sim_driver.h"

namespace simtest {
namespace {

struct Installed {
    const wchar_t* board;
    DWORD model;
    DWORD width;
    DWORD height;
};
constexpr Installed kBoards[] = {
    {L"SIM7100", 32, 640, 480},  {L"SIM7400", 42, 640, 480}, {L"SIM7700", 43, 640, 480},
    {L"SIM7300", 44, 640, 480},  {L"SIM7500", 45, 768, 576}, {L"SIM7400LS", 46, 2048, 512},
    {L"SIM760X", 112, 640, 480},
};

std::wstring DriverPath() {
    wchar_t path[MAX_PATH];
    const UINT n = GetSystemDirectoryW(path, MAX_PATH);
    EXPECT_GT(n, 0u);
    return std::wstring(path, n) + L"\\kvboard.drv";
}

// Runs regsvr32 silently on the installed driver and answers its exit code.
DWORD RunRegsvr32(bool unregister) {
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(system) + L"\\regsvr32.exe\" /s " +
                           (unregister ? L"/u " : L"") + L"\"" + DriverPath() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        ADD_FAILURE() << "CreateProcess failed: " << GetLastError();
        return ~0u;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = ~0u;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

// Leaves the boards installed whatever the test did.
struct RestoreInstall {
    ~RestoreInstall() { EXPECT_EQ(RunRegsvr32(false), 0u); }
};

void ExpectInstalled() {
    EXPECT_TRUE(RegGetValueW(HKEY_LOCAL_MACHINE, kServiceKey, L"STIMG", RRF_RT_ANY, nullptr,
                             nullptr, nullptr) == ERROR_SUCCESS)
        << "the service key lacks STIMG";
    for (const Installed& b : kBoards) {
        const std::wstring path = BoardKeyPath(b.board);
        DWORD value = 0;
        ASSERT_TRUE(ReadDword(path, L"Enable", value)) << "no Enable for board";
        EXPECT_EQ(value, 1u);
        ASSERT_TRUE(ReadDword(path, L"Model", value));
        EXPECT_EQ(value, b.model);
        ASSERT_TRUE(ReadDword(path, L"FrameWidth", value));
        EXPECT_EQ(value, b.width);
        ASSERT_TRUE(ReadDword(path, L"FrameHeight", value));
        EXPECT_EQ(value, b.height);
        ASSERT_TRUE(ReadDword(path, L"FrameRate", value));
        EXPECT_EQ(value, 30u);
        for (const wchar_t* name : {L"InputSources", L"LinearMemSize", L"DeviceMemSize"})
            EXPECT_TRUE(ReadDword(path, name, value));
    }
}

TEST(Registration, InstallsSevenEnabledBoardsUnderAnImagingService) {
    ExpectInstalled();
}

TEST(Registration, UnregisterRemovesTheServiceKeyAndRegisterRestoresIt) {
    RestoreInstall restore;
    ASSERT_EQ(RunRegsvr32(true), 0u);
    EXPECT_FALSE(KeyExists(kServiceKey));
    {
        Driver driver("kvboard!SIM7100");
        EXPECT_FALSE(driver) << "a removed board still opens";
    }
    EXPECT_EQ(RunRegsvr32(true), 0u) << "unregistering twice fails";
    ASSERT_EQ(RunRegsvr32(false), 0u);
    ExpectInstalled();
    Driver driver("kvboard!SIM7100");
    EXPECT_TRUE(driver);
}

TEST(Registration, RegisteringAgainWritesTheDefaultSettings) {
    RestoreInstall restore;
    const std::wstring path = BoardKeyPath(L"SIM7100");
    WriteDword(path, L"FrameWidth", 320);
    WriteDword(path, L"Enable", 0);
    ASSERT_EQ(RunRegsvr32(false), 0u);
    DWORD value = 0;
    ASSERT_TRUE(ReadDword(path, L"FrameWidth", value));
    EXPECT_EQ(value, 640u);
    ASSERT_TRUE(ReadDword(path, L"Enable", value));
    EXPECT_EQ(value, 1u);
}

} // namespace
} // namespace simtest
