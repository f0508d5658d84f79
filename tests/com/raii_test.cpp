// The owners release what they hold: a SAFEARRAY lock is given back, BSTR copies are
// independent, moved-from owners hold nothing.
#include "raii.h"

#include <gtest/gtest.h>

namespace {

TEST(Raii, SafeArrayLockIsReleasedAtScopeEnd) {
    com::UniqueSafeArray array(SafeArrayCreateVector(VT_I4, 0, 4));
    ASSERT_NE(array.Get(), nullptr);
    {
        com::SafeArrayData<LONG> data(array.Get());
        ASSERT_TRUE(data.Ok());
        data.Data()[3] = 7;
        // While locked the array cannot be destroyed.
        EXPECT_EQ(SafeArrayDestroy(array.Get()), DISP_E_ARRAYISLOCKED);
    }
    LONG index = 3, value = 0;
    ASSERT_EQ(SafeArrayGetElement(array.Get(), &index, &value), S_OK);
    EXPECT_EQ(value, 7);
    EXPECT_EQ(SafeArrayDestroy(array.Detach()), S_OK);
}

TEST(Raii, SafeArrayLockOfNullArrayFails) {
    com::SafeArrayData<> data(nullptr);
    EXPECT_FALSE(data.Ok());
    EXPECT_EQ(data.Data(), nullptr);
}

TEST(Raii, BstrCopyAndMove) {
    com::UniqueBstr text(L"Corvid");
    BSTR copy = nullptr;
    ASSERT_EQ(text.CopyTo(&copy), S_OK);
    ASSERT_NE(copy, text.Get());
    EXPECT_STREQ(copy, L"Corvid");
    SysFreeString(copy);
    com::UniqueBstr moved(std::move(text));
    EXPECT_EQ(text.Get(), nullptr);
    EXPECT_EQ(moved.Length(), 6u);
    EXPECT_EQ(com::UniqueBstr().CopyTo(&copy), S_OK);
    EXPECT_EQ(copy, nullptr);
}

TEST(Raii, HandleIsClosedOnReset) {
    com::UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event.Valid());
    HANDLE raw = event.Get();
    event.Reset();
    EXPECT_FALSE(event.Valid());
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(raw, &flags));
}

TEST(Raii, VariantIsClearedAndDetachable) {
    com::UniqueVariant value;
    V_VT(value.Get()) = VT_BSTR;
    V_BSTR(value.Get()) = SysAllocString(L"x");
    VARIANT taken = value.Detach();
    EXPECT_EQ(value.Type(), VT_EMPTY);
    EXPECT_EQ(V_VT(&taken), VT_BSTR);
    VariantClear(&taken);
}

} // namespace
