// The control's device lifecycle through the installed Corvid.ocx: the device list and its
// driver version check, opening and closing boards, the device properties, and error
// information as a client reads it.
#include "control_support.h"
#include "test_services.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace test {
namespace {

constexpr HRESULT kNullStatusResult = static_cast<HRESULT>(0x80044006);
constexpr HRESULT kStatusFetchFailedResult = static_cast<HRESULT>(0x80044010);
constexpr wchar_t kProgId[] = L"Corvid.Corvid.1";
constexpr char kSuccessText[] = "Operation or function completed successfully.";

// The text of a message id in the string tables this program links.
std::wstring MessageText(UINT id) {
    wchar_t text[512] = {};
    LoadStringW(GetModuleHandleW(nullptr), id, text, 512);
    return text;
}

std::wstring Widen(const char* text) {
    return std::wstring(text, text + strlen(text));
}

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_HRESULT_SUCCEEDED(apartment_.Result());
        control_ = CreateControl();
        ASSERT_NE(control_, nullptr);
        ASSERT_EQ(control_.As(&vtable_), S_OK);
    }

    Apartment apartment_;
    ComPtr<IDispatch> control_;
    ComPtr<ICorvid3> vtable_;
};

TEST_F(DeviceTest, ListsTheSimulatedBoardsByName) {
    const LONG count = LongOf(GetProperty(control_.Get(), L"DeviceCount"));
    ASSERT_GE(count, static_cast<LONG>(std::size(kSimBoards)));
    std::vector<std::wstring> names;
    for (LONG i = 0; i < count; ++i) {
        CallResult name = Invoke(control_.Get(), L"GetDeviceName", {Short(static_cast<SHORT>(i))});
        ASSERT_EQ(name.hr, S_OK);
        names.push_back(TextOf(name));
    }
    for (const SimBoard& board : kSimBoards)
        EXPECT_NE(std::find(names.begin(), names.end(), board.name), names.end()) << board.name;

    // Ids outside the list are argument errors without error information.
    for (SHORT id : {static_cast<SHORT>(-1), static_cast<SHORT>(count)}) {
        SetErrorInfo(0, nullptr);
        BSTR name = reinterpret_cast<BSTR>(1);
        EXPECT_EQ(vtable_->GetDeviceName(id, &name), E_INVALIDARG) << id;
        EXPECT_EQ(name, nullptr);
        EXPECT_FALSE(TakeErrorInfo().present);
    }
    EXPECT_EQ(vtable_->GetDeviceName(0, nullptr), E_POINTER);
    EXPECT_EQ(vtable_->get_DeviceCount(nullptr), E_POINTER);
}

TEST_F(DeviceTest, FreshControlHasNoActiveDevice) {
    CallResult active = GetProperty(control_.Get(), L"ActiveDevice");
    ASSERT_EQ(active.hr, S_OK);
    EXPECT_TRUE(TextOf(active).empty());
    EXPECT_EQ(LongOf(GetProperty(control_.Get(), L"DeviceType")), 0);
    // Closing without a device is no failure.
    EXPECT_EQ(Invoke(control_.Get(), L"CloseDevice").hr, S_OK);
}

TEST_F(DeviceTest, OpensEveryBoardWithItsModelCode) {
    for (const SimBoard& board : kSimBoards) {
        ASSERT_TRUE(OpenBoard(control_.Get(), board.name)) << board.name;
        EXPECT_EQ(TextOf(GetProperty(control_.Get(), L"ActiveDevice")), board.name);
        EXPECT_EQ(LongOf(GetProperty(control_.Get(), L"DeviceType")), board.model) << board.name;
    }
    // Names compare without regard to case; the list's spelling is what reads back.
    ASSERT_TRUE(OpenBoard(control_.Get(), L"sim7400"));
    EXPECT_EQ(TextOf(GetProperty(control_.Get(), L"ActiveDevice")), L"SIM7400");
    EXPECT_EQ(Invoke(control_.Get(), L"CloseDevice").hr, S_OK);
    EXPECT_TRUE(TextOf(GetProperty(control_.Get(), L"ActiveDevice")).empty());
    EXPECT_EQ(LongOf(GetProperty(control_.Get(), L"DeviceType")), 0);
}

TEST_F(DeviceTest, OpeningWithoutANameFailsWithTheNullStatusAfterClosing) {
    ASSERT_TRUE(OpenBoard(control_.Get(), L"SIM7100"));
    const std::wstring nullText = MessageText(16390);
    ASSERT_FALSE(nullText.empty());

    // Through IDispatch, as a script host sees it.
    Arg empty(L"");
    CallResult call = Invoke(control_.Get(), L"OpenDevice", {empty.Get()});
    EXPECT_EQ(call.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(call.exception.scode, kNullStatusResult);
    EXPECT_EQ(Wide(call.exception.bstrDescription), nullText);
    EXPECT_EQ(Wide(call.exception.bstrSource), kProgId);
    EXPECT_TRUE(TextOf(GetProperty(control_.Get(), L"ActiveDevice")).empty());

    // Through the vtable with a null string: the thread's error information.
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(vtable_->OpenDevice(nullptr), kNullStatusResult);
    const ErrorRecord error = TakeErrorInfo();
    ASSERT_TRUE(error.present);
    EXPECT_EQ(error.description, nullText);
    EXPECT_EQ(error.source, kProgId);
    EXPECT_EQ(error.helpFile, L"corvid.hlp");
    EXPECT_EQ(error.helpContext, 2131u);

    // The last status is the failure's, in full.
    EXPECT_EQ(TextOf(GetProperty(control_.Get(), L"StatusMessage")), nullText);
}

TEST_F(DeviceTest, StatusMessagesOfAnyStatus) {
    EXPECT_EQ(TextOf(Invoke(control_.Get(), L"GetStatusMessage", {Long(0)})), Widen(kSuccessText));
    EXPECT_EQ(TextOf(Invoke(control_.Get(), L"GetStatusMessage",
                            {Long(static_cast<LONG>(imaging::STC_STS_RANGE))})),
              MessageText(16388));
    BSTR text = nullptr;
    EXPECT_EQ(vtable_->GetStatusMessage(0, nullptr), E_POINTER);
    EXPECT_EQ(vtable_->get_StatusMessage(nullptr), E_POINTER);
    EXPECT_EQ(vtable_->get_StatusMessage(&text), S_OK);
    EXPECT_EQ(Wide(text), Widen(kSuccessText)); // nothing failed yet
    SysFreeString(text);
}

TEST_F(DeviceTest, TimeoutReadsBackAndFailsWithoutADevice) {
    LONG seconds = 99;
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(vtable_->get_Timeout(&seconds), kStatusFetchFailedResult);
    EXPECT_EQ(seconds, 0);
    EXPECT_EQ(TakeErrorInfo().helpContext, 2083u);

    ASSERT_TRUE(OpenBoard(control_.Get(), L"SIM7100"));
    ASSERT_EQ(PutProperty(control_.Get(), L"Timeout", Long(7)).hr, S_OK);
    EXPECT_EQ(LongOf(GetProperty(control_.Get(), L"Timeout")), 7);
}

TEST_F(DeviceTest, ActiveDevicePutOpensAndClosesAndNotifiesEvenAfterAFailure) {
    Notifications notifications(control_.Get());
    ASSERT_TRUE(notifications.Connected());
    Arg board(L"SIM7300");
    ASSERT_EQ(PutProperty(control_.Get(), L"ActiveDevice", board.Get()).hr, S_OK);
    EXPECT_EQ(LongOf(GetProperty(control_.Get(), L"DeviceType")), 44);

    Arg unknown(L"NOSUCHBOARD");
    CallResult failed = PutProperty(control_.Get(), L"ActiveDevice", unknown.Get());
    EXPECT_EQ(failed.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(failed.exception.scode, static_cast<HRESULT>(0x8004400E)); // STC_STS_NOOPENDEVICE

    ASSERT_TRUE(OpenBoard(control_.Get(), L"SIM7300"));
    Arg empty(L"");
    ASSERT_EQ(PutProperty(control_.Get(), L"ActiveDevice", empty.Get()).hr, S_OK);
    EXPECT_TRUE(TextOf(GetProperty(control_.Get(), L"ActiveDevice")).empty());
    EXPECT_EQ(LongOf(GetProperty(control_.Get(), L"DeviceType")), 0);

    const std::vector<DISPID> expected = {DispidActiveDevice, DispidActiveDevice,
                                          DispidActiveDevice};
    EXPECT_EQ(notifications.Changed(), expected);
    ASSERT_EQ(Invoke(control_.Get(), L"ControlStateChanged").hr, S_OK);
    EXPECT_EQ(notifications.Changed().back(), DispidControlStateChanged);
}

TEST_F(DeviceTest, OpeningReadsTheDefaultsAndTheStorageModeOnlyWhereSupported) {
    PinnedSimulator simulator;
    ASSERT_TRUE(simulator.ok());
    DriverPort& port = simulator.Port();

    // A board without the color interface: the failed query stays the last status.
    port.StartTrace();
    ASSERT_TRUE(OpenBoard(control_.Get(), L"SIM7100"));
    port.StopTrace();
    std::vector<KvTraceRecord> trace = port.Trace();
    const std::vector<uint32_t> expected = {
        imaging::msg::STM_GET_INPUT_SOURCE,  imaging::msg::STM_ALLOCATE_FRAME,
        imaging::msg::STM_GET_FRAME_INFO,    imaging::msg::STM_DESTROY_FRAME,
        imaging::msg::STM_GET_INPUT_CONTROL, imaging::msg::STM_CLR_QUERY_INTERFACE};
    std::vector<uint32_t> sent;
    for (const KvTraceRecord& record : trace)
        if (record.Message != imaging::msg::STM_GET_LAST_STATUS && record.Message >= DRV_USER)
            sent.push_back(record.Message);
    EXPECT_EQ(sent, expected);
    const auto allocate = RecordsOf(trace, imaging::msg::STM_ALLOCATE_FRAME);
    ASSERT_EQ(allocate.size(), 1u);
    EXPECT_EQ(allocate[0].Param1, 0xFFFF0001u); // volatile memory, any frame id
    const auto frameType = RecordsOf(trace, imaging::msg::STM_GET_INPUT_CONTROL);
    ASSERT_EQ(frameType.size(), 1u);
    EXPECT_EQ(BlockOf<imaging::InputControlReadBlock>(frameType[0]).Control,
              imaging::STC_FG_CTL_FRAME_TYPE);
    EXPECT_NE(TextOf(GetProperty(control_.Get(), L"StatusMessage")), Widen(kSuccessText));

    // A color board answers the query and reads its storage mode.
    port.StartTrace();
    ASSERT_TRUE(OpenBoard(control_.Get(), L"SIM7300"));
    port.StopTrace();
    EXPECT_EQ(RecordsOf(port.Trace(), imaging::msg::STM_CLR_STORAGE_MODE).size(), 1u);
    EXPECT_EQ(TextOf(GetProperty(control_.Get(), L"StatusMessage")), Widen(kSuccessText));
}

// A board installed after the control was made opens, but is not in its list.
TEST_F(DeviceTest, BoardInstalledLaterOpensWithoutBeingListed) {
    constexpr wchar_t kBoardKey[] = L"System\\CurrentControlSet\\Services\\kvboard\\SIMLATER";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kBoardKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    const DWORD one = 1, model = 32;
    RegSetValueExW(key, L"Enable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4);
    RegSetValueExW(key, L"Model", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&model), 4);
    RegCloseKey(key);

    EXPECT_TRUE(OpenBoard(control_.Get(), L"SIMLATER"));
    EXPECT_TRUE(TextOf(GetProperty(control_.Get(), L"ActiveDevice")).empty());
    EXPECT_EQ(LongOf(GetProperty(control_.Get(), L"DeviceType")), 0);
    EXPECT_EQ(Invoke(control_.Get(), L"CloseDevice").hr, S_OK);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kBoardKey);
}

// ---- The driver version check at creation ----

// A service of oldboard.drv (release 2.10) installed as a board driver is in the system
// folder and in the installable-driver list while the object lives.
class OldDriverInstall {
public:
    static constexpr char kService[] = "kvold";
    static constexpr wchar_t kDrivers32[] =
        L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";

    OldDriverInstall() : service_(kService) {
        wchar_t module[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, module, MAX_PATH);
        std::wstring built = module;
        built.resize(built.find_last_of(L'\\') + 1);
        built += L"" OLDBOARD_DRIVER_NAME;
        ok_ = service_.ok() && CopyFileW(built.c_str(), Installed().c_str(), FALSE);
        HKEY key = nullptr;
        ok_ = ok_ && RegCreateKeyExW(HKEY_LOCAL_MACHINE, kDrivers32, 0, nullptr, 0, KEY_ALL_ACCESS,
                                     nullptr, &key, nullptr) == ERROR_SUCCESS;
        if (key) {
            constexpr wchar_t file[] = L"kvold.drv";
            ok_ =
                ok_ && RegSetValueExW(key, L"kvold", 0, REG_SZ, reinterpret_cast<const BYTE*>(file),
                                      sizeof(file)) == ERROR_SUCCESS;
            RegCloseKey(key);
        }
    }
    OldDriverInstall(const OldDriverInstall&) = delete;
    OldDriverInstall& operator=(const OldDriverInstall&) = delete;
    ~OldDriverInstall() {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDrivers32, 0, KEY_ALL_ACCESS, &key) ==
            ERROR_SUCCESS) {
            RegDeleteValueW(key, L"kvold");
            RegCloseKey(key);
        }
        DeleteFileW(Installed().c_str());
    }
    bool ok() const { return ok_; }
    bool AddBoard(const char* board) { return service_.AddBoard(board, 1); }

    static std::wstring Installed() {
        wchar_t system[MAX_PATH] = {};
        GetSystemDirectoryW(system, MAX_PATH);
        return std::wstring(system) + L"\\kvold.drv";
    }

private:
    TestService service_;
    bool ok_ = false;
};

TEST(DriverVersionCheck, WarnsOnceForEachOutdatedBoardOfACheckedModel) {
    Apartment apartment;
    ASSERT_HRESULT_SUCCEEDED(apartment.Result());
    OldDriverInstall install;
    ASSERT_TRUE(install.ok());
    // 113 belongs to the KV760X family; 32896 has bit 15 set and is never checked.
    ASSERT_TRUE(install.AddBoard("OLD112"));
    ASSERT_TRUE(install.AddBoard("OLD113"));
    ASSERT_TRUE(install.AddBoard("OLD32896"));

    BoxWatcher watcher(L"Device error");
    ComPtr<IDispatch> control = CreateControl();
    watcher.Stop();
    ASSERT_NE(control, nullptr);

    const std::wstring warning =
        L"The kvold device driver is out of date.  You must update to version 3.00 or later to "
        L"ensure the Quillon Frame Grabber Control functions properly.";
    EXPECT_EQ(watcher.Texts(), (std::vector<std::wstring>{warning, warning}));

    // The boards stay in the list.
    const LONG count = LongOf(GetProperty(control.Get(), L"DeviceCount"));
    int old = 0;
    for (LONG i = 0; i < count; ++i)
        old += TextOf(Invoke(control.Get(), L"GetDeviceName", {Short(static_cast<SHORT>(i))}))
                   .rfind(L"OLD", 0) == 0;
    EXPECT_EQ(old, 3);
}

TEST(DriverVersionCheck, CurrentDriversGiveNoWarning) {
    Apartment apartment;
    ASSERT_HRESULT_SUCCEEDED(apartment.Result());
    BoxWatcher watcher(L"Device error");
    ComPtr<IDispatch> control = CreateControl();
    watcher.Stop();
    ASSERT_NE(control, nullptr);
    EXPECT_TRUE(watcher.Texts().empty());
}

} // namespace
} // namespace test
