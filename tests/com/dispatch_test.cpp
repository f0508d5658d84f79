// IDispatch from the type library: the by-reference coercion that script hosts need, named
// arguments, optional arguments and property puts.
#include "test_object.h"

#include "com_support.h"

#include <gtest/gtest.h>

namespace test {
namespace {

class DispatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_HRESULT_SUCCEEDED(apartment_.Result());
        object_ = MakeTestObject();
        ASSERT_TRUE(object_);
        ASSERT_HRESULT_SUCCEEDED(object_.As(&dispatch_));
    }
    DISPID Id(const wchar_t* name) {
        const DISPID id = DispidOf(dispatch_.Get(), name);
        EXPECT_NE(id, DISPID_UNKNOWN) << "no member " << name;
        return id;
    }
    CallResult Method(const wchar_t* name, std::vector<VARIANT> args,
                      std::vector<DISPID> named = {}) {
        return Call(dispatch_.Get(), Id(name), DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                    std::move(args), std::move(named));
    }

    Apartment apartment_;
    ComPtr<TestObject> object_;
    ComPtr<IDispatch> dispatch_;
};

TEST_F(DispatchTest, OutLongFromByRefVariantHoldingShortIsWrittenBack) {
    com::UniqueVariant variable;
    V_VT(variable.Get()) = VT_I2;
    V_I2(variable.Get()) = 3;
    CallResult call = Method(L"GetCount", {RefTo(variable.Get())});
    ASSERT_EQ(call.hr, S_OK);
    ASSERT_EQ(variable.Type(), VT_I4);
    EXPECT_EQ(V_I4(variable.Get()), 42);
}

TEST_F(DispatchTest, OutArgumentIgnoresWhatTheVariableHeld) {
    // An [out] argument is not read: a string that is no number must not stop the call.
    com::UniqueBstr junk(L"not a number");
    com::UniqueVariant variable;
    V_VT(variable.Get()) = VT_BSTR;
    V_BSTR(variable.Get()) = junk.Detach();
    ASSERT_EQ(Method(L"GetCount", {RefTo(variable.Get())}).hr, S_OK);
    ASSERT_EQ(variable.Type(), VT_I4);
    EXPECT_EQ(V_I4(variable.Get()), 42);
}

TEST_F(DispatchTest, InOutLongIsReadCoercedAndWrittenBack) {
    com::UniqueVariant total;
    com::UniqueBstr ten(L"10");
    V_VT(total.Get()) = VT_BSTR;
    V_BSTR(total.Get()) = ten.Detach();
    ASSERT_EQ(Method(L"AddTo", {Long(5), RefTo(total.Get())}).hr, S_OK);
    ASSERT_EQ(total.Type(), VT_I4);
    EXPECT_EQ(V_I4(total.Get()), 15);
}

TEST_F(DispatchTest, UncoercibleInOutValueIsTypeMismatchAndLeavesTheVariable) {
    com::UniqueVariant total;
    com::UniqueBstr text(L"abc");
    V_VT(total.Get()) = VT_BSTR;
    V_BSTR(total.Get()) = text.Detach();
    CallResult call = Method(L"AddTo", {Long(5), RefTo(total.Get())});
    EXPECT_EQ(call.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(call.argError, 0u); // rgvarg[0]: the last argument
    ASSERT_EQ(total.Type(), VT_BSTR);
    EXPECT_STREQ(V_BSTR(total.Get()), L"abc");
}

TEST_F(DispatchTest, FailingMemberDoesNotWriteBack) {
    com::UniqueVariant total;
    *total.Get() = Short(7);
    CallResult call = Method(L"AddTo", {Long(-1), RefTo(total.Get())});
    EXPECT_EQ(call.hr == DISP_E_EXCEPTION ? static_cast<HRESULT>(call.exception.scode) : call.hr,
              E_INVALIDARG);
    ASSERT_EQ(total.Type(), VT_I2);
    EXPECT_EQ(V_I2(total.Get()), 7);
}

TEST_F(DispatchTest, PlainValueForPointerArgumentIsAccepted) {
    // JScript passes values; the member works on a temporary and nothing is written back.
    VARIANT total = Short(10);
    ASSERT_EQ(Method(L"AddTo", {Long(5), total}).hr, S_OK);
    EXPECT_EQ(V_VT(&total), VT_I2);
    EXPECT_EQ(V_I2(&total), 10);
    EXPECT_EQ(Method(L"GetCount", {Long(0)}).hr, S_OK);
}

TEST_F(DispatchTest, MatchingTypedReferenceGoesThroughUnchanged) {
    LONG total = 1;
    VARIANT ref;
    V_VT(&ref) = VT_BYREF | VT_I4;
    V_I4REF(&ref) = &total;
    ASSERT_EQ(Method(L"AddTo", {Long(2), ref}).hr, S_OK);
    EXPECT_EQ(total, 3);
}

TEST_F(DispatchTest, InOutStringIsWrittenBack) {
    com::UniqueVariant text;
    *text.Get() = Long(5);
    com::UniqueBstr suffix(L"!");
    ASSERT_EQ(Method(L"Append", {Text(suffix.Get()), RefTo(text.Get())}).hr, S_OK);
    ASSERT_EQ(text.Type(), VT_BSTR);
    EXPECT_STREQ(V_BSTR(text.Get()), L"5!");
}

TEST_F(DispatchTest, EnumOutIsWrittenBackAsLong) {
    com::UniqueVariant mode;
    ASSERT_EQ(Method(L"GetMode", {RefTo(mode.Get())}).hr, S_OK);
    ASSERT_EQ(mode.Type(), VT_I4);
    EXPECT_EQ(V_I4(mode.Get()), ModeRunning);
}

TEST_F(DispatchTest, SeveralOutArgumentsOfOneCall) {
    com::UniqueVariant high, low;
    ASSERT_EQ(Method(L"Split", {Long(0x00030004), RefTo(high.Get()), RefTo(low.Get())}).hr, S_OK);
    ASSERT_EQ(high.Type(), VT_I2);
    ASSERT_EQ(low.Type(), VT_I2);
    EXPECT_EQ(V_I2(high.Get()), 3);
    EXPECT_EQ(V_I2(low.Get()), 4);
}

TEST_F(DispatchTest, InOutVariantByReferenceAndByValue) {
    com::UniqueVariant value;
    *value.Get() = Long(5);
    ASSERT_EQ(Method(L"Swap", {RefTo(value.Get())}).hr, S_OK);
    ASSERT_EQ(value.Type(), VT_BSTR);
    EXPECT_STREQ(V_BSTR(value.Get()), L"swapped:5");
    EXPECT_EQ(Method(L"Swap", {Long(6)}).hr, S_OK);
}

TEST_F(DispatchTest, NamedArgumentsInAnyOrder) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"AddTo"), const_cast<LPOLESTR>(L"total"),
                        const_cast<LPOLESTR>(L"amount")};
    DISPID ids[3] = {};
    ASSERT_EQ(dispatch_->GetIDsOfNames(IID_NULL, names, 3, LOCALE_USER_DEFAULT, ids), S_OK);
    com::UniqueVariant total;
    *total.Get() = Short(1);
    // total named first, then amount: both by name, none by position.
    CallResult call = Call(dispatch_.Get(), ids[0], DISPATCH_METHOD, {RefTo(total.Get()), Long(4)},
                           {ids[1], ids[2]});
    ASSERT_EQ(call.hr, S_OK);
    ASSERT_EQ(total.Type(), VT_I4);
    EXPECT_EQ(V_I4(total.Get()), 5);
}

TEST_F(DispatchTest, OptionalArgumentTakesItsDefault) {
    CallResult defaulted = Method(L"Scale", {Long(5)});
    ASSERT_EQ(defaulted.hr, S_OK);
    EXPECT_EQ(V_I4(&defaulted.value), 10);
    CallResult given = Method(L"Scale", {Long(5), Long(3)});
    ASSERT_EQ(given.hr, S_OK);
    EXPECT_EQ(V_I4(&given.value), 15);
}

TEST_F(DispatchTest, PropertyPutAndGet) {
    const DISPID level = Id(L"Level");
    com::UniqueBstr twelve(L"12");
    ASSERT_EQ(Call(dispatch_.Get(), level, DISPATCH_PROPERTYPUT, {Text(twelve.Get())},
                   {DISPID_PROPERTYPUT})
                  .hr,
              S_OK);
    CallResult got = Call(dispatch_.Get(), level, DISPATCH_PROPERTYGET, {});
    ASSERT_EQ(got.hr, S_OK);
    EXPECT_EQ(V_I4(&got.value), 12);

    // A script variable passed for the new value.
    com::UniqueVariant variable;
    *variable.Get() = Short(9);
    ASSERT_EQ(Call(dispatch_.Get(), level, DISPATCH_PROPERTYPUT, {RefTo(variable.Get())},
                   {DISPID_PROPERTYPUT})
                  .hr,
              S_OK);
    LONG value = 0;
    ASSERT_EQ(object_->get_Level(&value), S_OK);
    EXPECT_EQ(value, 9);
}

TEST_F(DispatchTest, UnknownNamesAndInterfaces) {
    EXPECT_EQ(DispidOf(dispatch_.Get(), L"NoSuchMember"), DISPID_UNKNOWN);
    DISPPARAMS none{};
    EXPECT_EQ(
        dispatch_->Invoke(1, IID_IUnknown, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
        DISP_E_UNKNOWNINTERFACE);
    UINT count = 0;
    ASSERT_EQ(dispatch_->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(dispatch_->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);
    ASSERT_EQ(dispatch_->GetTypeInfo(0, 0, &info), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->guid, IID_ITestObject);
    info->ReleaseTypeAttr(attr);
}

} // namespace
} // namespace test
