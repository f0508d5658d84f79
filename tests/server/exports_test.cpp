// The library's exports called directly, as COM calls them: class objects and the unload
// decision.
#include "com_support.h"
#include "process_counts.h"
#include "server_support.h"

#include "corvid_h.h"

#include <ocidl.h>

#include <gtest/gtest.h>

namespace test {
namespace {

using Microsoft::WRL::ComPtr;

class ExportsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_HRESULT_SUCCEEDED(apartment_.Result());
        library_ = LoadLibraryW(InstalledOcx().c_str());
        ASSERT_NE(library_, nullptr);
        getClassObject_ = reinterpret_cast<decltype(getClassObject_)>(
            reinterpret_cast<void*>(GetProcAddress(library_, "DllGetClassObject")));
        canUnloadNow_ = reinterpret_cast<decltype(canUnloadNow_)>(
            reinterpret_cast<void*>(GetProcAddress(library_, "DllCanUnloadNow")));
        ASSERT_NE(getClassObject_, nullptr);
        ASSERT_NE(canUnloadNow_, nullptr);
        EXPECT_NE(GetProcAddress(library_, "DllRegisterServer"), nullptr);
        EXPECT_NE(GetProcAddress(library_, "DllUnregisterServer"), nullptr);
    }
    void TearDown() override {
        if (library_) FreeLibrary(library_);
    }
    ComPtr<IClassFactory> Factory() {
        ComPtr<IClassFactory> factory;
        EXPECT_EQ(getClassObject_(CLSID_Corvid, IID_IClassFactory,
                                  reinterpret_cast<void**>(factory.GetAddressOf())),
                  S_OK);
        return factory;
    }

    Apartment apartment_;
    HMODULE library_ = nullptr;
    HRESULT(STDAPICALLTYPE* getClassObject_)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT(STDAPICALLTYPE* canUnloadNow_)() = nullptr;
};

TEST_F(ExportsTest, LiveObjectKeepsTheLibraryLoaded) {
    EXPECT_EQ(canUnloadNow_(), S_OK);
    ComPtr<IClassFactory> factory = Factory();
    ASSERT_TRUE(factory);
    // An unlocked class factory alone does not hold the library.
    EXPECT_EQ(canUnloadNow_(), S_OK);
    ComPtr<IUnknown> control;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&control)), S_OK);
    EXPECT_EQ(canUnloadNow_(), S_FALSE);
    control.Reset();
    EXPECT_EQ(canUnloadNow_(), S_OK);
}

TEST_F(ExportsTest, LockedFactoryKeepsTheLibraryLoaded) {
    ComPtr<IClassFactory> factory = Factory();
    ASSERT_TRUE(factory);
    ASSERT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(canUnloadNow_(), S_FALSE);
    ASSERT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(canUnloadNow_(), S_OK);
}

TEST_F(ExportsTest, ClassFactoryIsCreatedOnceAndKept) {
    ComPtr<IClassFactory> first = Factory(), second = Factory();
    EXPECT_EQ(first.Get(), second.Get());
}

TEST_F(ExportsTest, UnknownClassAndNullPointer) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject_(IID_IDispatch, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(getClassObject_(CLSID_Corvid, IID_IClassFactory, nullptr), E_POINTER);
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject_(CLSID_Corvid, IID_IDispatch, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
}

// Every page class hands out a factory whose objects are that page, and a live page keeps the
// library loaded like the control does.
TEST_F(ExportsTest, PageFactoriesMakeTheirPages) {
    const struct {
        const CLSID* clsid;
        const wchar_t* title;
    } pages[] = {
        {&CLSID_GeneralPage, L"General"}, {&CLSID_SpatialPage, L"Spatial"},
        {&CLSID_SyncPage, L"Sync"},       {&CLSID_TriggerPage, L"Trigger"},
        {&CLSID_InputPage, L"Input"},     {&CLSID_DisplayPage, L"Display"},
        {&CLSID_ColorPage, L"Color"},     {&CLSID_DigIOPage, L"Digital I/O"},
        {&CLSID_DigCamPage, L"Digital Camera"}, {&CLSID_LineScanPage, L"Line Scan"},
    };
    for (const auto& page : pages) {
        SCOPED_TRACE(testing::Message() << page.title);
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(getClassObject_(*page.clsid, IID_IClassFactory,
                                  reinterpret_cast<void**>(factory.GetAddressOf())),
                  S_OK);
        ComPtr<IPropertyPage2> object;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&object)), S_OK);
        EXPECT_EQ(canUnloadNow_(), S_FALSE);
        PROPPAGEINFO info{};
        ASSERT_EQ(object->GetPageInfo(&info), S_OK);
        EXPECT_STREQ(info.pszTitle, page.title);
        EXPECT_STREQ(info.pszHelpFile, L"Corvid.hlp");
        EXPECT_STREQ(info.pszDocString, L"Your Help String");
        EXPECT_GT(info.size.cx, 300);
        EXPECT_GT(info.size.cy, 300);
        CoTaskMemFree(info.pszTitle);
        CoTaskMemFree(info.pszHelpFile);
        CoTaskMemFree(info.pszDocString);
        object.Reset();
        EXPECT_EQ(canUnloadNow_(), S_OK);
    }
}

// A host that creates the control, lets it go and unloads the library, again and again (as
// CoFreeUnusedLibraries does), gets back everything each load took, the board driver's loads
// included: creating the control builds the device list, which opens every board.
TEST(Unload, LoadingTheLibraryAgainAndAgainLeavesNothingBehind) {
    Apartment apartment;
    ASSERT_HRESULT_SUCCEEDED(apartment.Result());
    const auto cycle = [] {
        const HMODULE library = LoadLibraryW(InstalledOcx().c_str());
        ASSERT_NE(library, nullptr);
        const auto getClassObject = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(
            REFCLSID, REFIID, void**)>(reinterpret_cast<void*>(
            GetProcAddress(library, "DllGetClassObject")));
        ASSERT_NE(getClassObject, nullptr);
        {
            ComPtr<IClassFactory> factory;
            ASSERT_EQ(getClassObject(CLSID_Corvid, IID_IClassFactory,
                                     reinterpret_cast<void**>(factory.GetAddressOf())),
                      S_OK);
            ComPtr<ICorvid> control;
            ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&control)), S_OK);
            short count = 0;
            ASSERT_EQ(control->get_DeviceCount(&count), S_OK);
            EXPECT_GT(count, 0);
        }
        FreeLibrary(library);
        EXPECT_EQ(GetModuleHandleW(InstalledOcx().c_str()), nullptr);
        EXPECT_EQ(GetModuleHandleW(L"kvboard.drv"), nullptr);
    };
    // The system libraries the control imports stay loaded, as in any host that shows a
    // window: what their own loads leave behind is the platform's, not the control's (here,
    // each unload of the multimedia library leaves registry keys open and the common controls
    // a mutex).
    for (const wchar_t* system : {L"winmm.dll", L"comctl32.dll", L"comdlg32.dll", L"version.dll"})
        ASSERT_NE(LoadLibraryW(system), nullptr) << system;
    cycle(); // the platform's own first-use state
    const size_t heap = HeapBytesInUse();
    const long handles = ProcessHandles();
    const int slots = FreeTlsSlots();
    constexpr int kCycles = 10;
    for (int i = 0; i < kCycles; ++i)
        cycle();
    EXPECT_EQ(FreeTlsSlots(), slots);
    EXPECT_LT(ProcessHandles() - handles, kCycles / 2);
    // A few bytes a load are the loader's own; a block left per load would be kilobytes.
    EXPECT_LT(static_cast<double>(HeapBytesInUse()) - static_cast<double>(heap),
              kCycles * 2048.0);
}

TEST_F(ExportsTest, FactoryRefusesAggregation) {
    ComPtr<IClassFactory> factory = Factory();
    ASSERT_TRUE(factory);
    ComPtr<IUnknown> outer;
    ASSERT_EQ(factory.As(&outer), S_OK); // any unknown stands for an outer object
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(outer.Get(), IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(canUnloadNow_(), S_OK);
}

} // namespace
} // namespace test
