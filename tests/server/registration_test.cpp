// Registration and removal through the system's regsvr32, checked in the registry. Each test
// leaves the control registered, as the installation left it.
#include "server_support.h"

#include <gtest/gtest.h>

#include <cwctype>

namespace test {
namespace {

// A path for comparison: lower case, without the long-path prefix "\\?\" (the same file).
std::wstring Lower(std::wstring text) {
    if (text.starts_with(L"\\\\?\\")) text.erase(0, 4);
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

class RegistrationTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(RunRegsvr32(false), 0) << "could not restore"; }
};

// The ten property pages: ProgIDs Corvid.<name>.1 and Corvid.<name>, an in-process server
// each; two also name their class under the version-independent ProgID.
struct PageRegistration {
    const wchar_t* name;
    const wchar_t* clsid;
    const wchar_t* description;
    const wchar_t* threading;
    bool clsidBelowProgId;
};
constexpr PageRegistration kPages[] = {
    {L"GeneralPage", L"{A92DE352-EFE4-11D1-BF0C-0020AF152C2E}", L"Quillon (TM) General Property Page", L"both", false},
    {L"SpatialPage", L"{413563F2-3064-11D2-BF49-0020AF152C2E}", L"Quillon (TM) Spatial Property Page", L"Apartment", false},
    {L"SyncPage", L"{92EB95D2-31E9-11D2-BF4C-0020AF152C2E}", L"Quillon (TM) Sync Property Page", L"Apartment", false},
    {L"TriggerPage", L"{92EB95D3-31E9-11D2-BF4C-0020AF152C2E}", L"Quillon (TM) Trigger Property Page", L"Apartment", false},
    {L"InputPage", L"{92EB95D4-31E9-11D2-BF4C-0020AF152C2E}", L"Quillon (TM) Input Property Page", L"Apartment", false},
    {L"DisplayPage", L"{92EB95D5-31E9-11D2-BF4C-0020AF152C2E}", L"Quillon (TM) Display Property Page", L"Apartment", false},
    {L"ColorPage", L"{5B5DF6D3-5C5D-11D2-BF5D-0020AF152C2E}", L"Quillon (TM) Color Property Page", L"Apartment", false},
    {L"DigIOPage", L"{925EA932-6CDF-11D2-AE40-0020AF155615}", L"Quillon (TM) Digital I/O Property Page", L"Apartment", false},
    {L"DigCamPage", L"{C2191964-7D59-11D2-AE47-0020AF155615}", L"Quillon (TM) Digital Camera Property Page", L"Apartment", true},
    {L"LineScanPage", L"{63684D72-7D98-11D2-AE47-0020AF155615}", L"Quillon (TM) Line Scan Property Page", L"Apartment", true},
};

void ExpectPagesRegistered() {
    for (const PageRegistration& page : kPages) {
        SCOPED_TRACE(testing::Message() << page.clsid);
        const std::wstring progId = std::wstring(L"Corvid.") + page.name;
        const std::wstring key = std::wstring(L"CLSID\\") + page.clsid;
        EXPECT_EQ(ReadString(progId + L".1"), page.description);
        EXPECT_EQ(ReadString(progId + L".1\\CLSID"), page.clsid);
        EXPECT_EQ(ReadString(progId), page.description);
        EXPECT_EQ(ReadString(progId + L"\\CurVer"), progId + L".1");
        EXPECT_EQ(KeyExists(progId + L"\\CLSID"), page.clsidBelowProgId);
        EXPECT_EQ(ReadString(key), page.description);
        const auto server = ReadString(key + L"\\InprocServer32");
        ASSERT_TRUE(server.has_value());
        EXPECT_EQ(Lower(*server), Lower(InstalledOcx()));
        EXPECT_EQ(ReadString(key + L"\\InprocServer32", L"ThreadingModel"), page.threading);
    }
}

void ExpectRegistered() {
    ExpectPagesRegistered();
    EXPECT_EQ(ReadString(L"Corvid.Corvid.1"), L"Quillon (TM) Frame Grabber 2.0");
    EXPECT_EQ(ReadString(L"Corvid.Corvid.1\\CLSID"), L"{A92DE365-EFE4-11D1-BF0C-0020AF152C2E}");
    EXPECT_EQ(ReadString(L"Corvid.Corvid"), L"Quillon (TM) Frame Grabber");
    EXPECT_EQ(ReadString(L"Corvid.Corvid\\CurVer"), L"Corvid.Corvid.1");
    EXPECT_EQ(ReadString(L"CorvidLibCtl.Corvid\\CLSID"), L"{A92DE365-EFE4-11D1-BF0C-0020AF152C2E}");
    EXPECT_EQ(ReadString(L"CorvidLibCtl.Corvid\\CurVer"), L"Corvid.Corvid.1");

    EXPECT_EQ(ReadString(kControlKey), L"Quillon (TM) Frame Grabber");
    EXPECT_EQ(ReadString(kControlKey, L"AppID"), L"{7C05F120-6799-11d2-BF61-0020AF152C2E}");
    EXPECT_EQ(ReadString(kControlKey + L"\\ProgID"), L"Corvid.Corvid.1");
    EXPECT_EQ(ReadString(kControlKey + L"\\VersionIndependentProgID"), L"Corvid.Corvid");
    const auto server = ReadString(kControlKey + L"\\InprocServer32");
    ASSERT_TRUE(server.has_value());
    EXPECT_EQ(Lower(*server), Lower(InstalledOcx()));
    EXPECT_EQ(ReadString(kControlKey + L"\\InprocServer32", L"ThreadingModel"), L"apartment");
    EXPECT_TRUE(KeyExists(kControlKey + L"\\Programmable"));
    EXPECT_TRUE(KeyExists(kControlKey + L"\\Control"));
    EXPECT_TRUE(KeyExists(kControlKey + L"\\Insertable"));
    const auto bitmap = ReadString(kControlKey + L"\\ToolboxBitmap32");
    ASSERT_TRUE(bitmap.has_value());
    EXPECT_EQ(Lower(*bitmap), Lower(InstalledOcx() + L", 1"));
    EXPECT_EQ(ReadString(kControlKey + L"\\MiscStatus"), L"0");
    EXPECT_EQ(ReadString(kControlKey + L"\\MiscStatus\\1"), L"131473");
    EXPECT_EQ(ReadString(kControlKey + L"\\TypeLib"), L"{A92DE354-EFE4-11D1-BF0C-0020AF152C2E}");
    EXPECT_EQ(ReadString(kControlKey + L"\\Version"), L"1.0");
    EXPECT_EQ(ReadString(kControlKey + L"\\Verb\\0"), L"&Properties, 0, 2");

    // The type library, registered from the library file itself.
    EXPECT_EQ(ReadString(kTypeLibKey + L"\\1.0"), L"Quillon (TM) Frame Grabber 2.22");
    const auto library = ReadString(kTypeLibKey + L"\\1.0\\0\\win64");
    ASSERT_TRUE(library.has_value());
    EXPECT_EQ(Lower(*library), Lower(InstalledOcx()));
}

void ExpectUnregistered() {
    EXPECT_FALSE(KeyExists(L"Corvid.Corvid.1"));
    EXPECT_FALSE(KeyExists(L"Corvid.Corvid"));
    EXPECT_FALSE(KeyExists(L"CorvidLibCtl.Corvid"));
    EXPECT_FALSE(KeyExists(kControlKey));
    EXPECT_FALSE(KeyExists(kTypeLibKey));
    EXPECT_TRUE(KeyExists(L"CLSID")); // shared with every other class
    for (const PageRegistration& page : kPages) {
        EXPECT_FALSE(KeyExists(std::wstring(L"Corvid.") + page.name + L".1"));
        EXPECT_FALSE(KeyExists(std::wstring(L"Corvid.") + page.name));
        EXPECT_FALSE(KeyExists(std::wstring(L"CLSID\\") + page.clsid));
    }
}

TEST_F(RegistrationTest, UnregisterRemovesAndRegisterRestoresEveryEntry) {
    ASSERT_EQ(RunRegsvr32(true), 0);
    ExpectUnregistered();
    ASSERT_EQ(RunRegsvr32(false), 0);
    ExpectRegistered();
}

TEST_F(RegistrationTest, RegisteringTwiceLeavesTheSameEntries) {
    ASSERT_EQ(RunRegsvr32(false), 0);
    const DWORD once = CountValues(kControlKey);
    ASSERT_EQ(RunRegsvr32(false), 0);
    EXPECT_EQ(CountValues(kControlKey), once);
    ExpectRegistered();
}

TEST_F(RegistrationTest, UnregisterKeepsWhatOthersWroteBelowTheClassKey) {
    HKEY foreign = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, (kControlKey + L"\\HostData").c_str(), 0, nullptr,
                              0, KEY_WRITE, nullptr, &foreign, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(foreign);
    ASSERT_EQ(RunRegsvr32(true), 0);
    EXPECT_TRUE(KeyExists(kControlKey + L"\\HostData"));
    EXPECT_FALSE(KeyExists(kControlKey + L"\\InprocServer32"));
    EXPECT_FALSE(KeyExists(kControlKey + L"\\ProgID"));
    EXPECT_FALSE(ReadString(kControlKey).has_value());
    EXPECT_FALSE(KeyExists(L"Corvid.Corvid"));
    EXPECT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, kControlKey.c_str()), ERROR_SUCCESS);
}

TEST_F(RegistrationTest, UnregisteringWhatIsNotRegisteredSucceeds) {
    ASSERT_EQ(RunRegsvr32(true), 0);
    EXPECT_EQ(RunRegsvr32(true), 0);
    ExpectUnregistered();
}

} // namespace
} // namespace test
