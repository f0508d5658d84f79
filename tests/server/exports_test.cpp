// The library's exports called directly, as COM calls them: class objects and the unload
// decision.
#include "com_support.h"
#include "server_support.h"

#include "corvid_h.h"

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
