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

void ExpectRegistered() {
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
