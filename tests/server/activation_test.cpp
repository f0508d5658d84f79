// Creating the registered control the way hosts do: by ProgID, through COM, and calling it
// through its dispatch interface.
#include "com_support.h"
#include "server_support.h"

#include "corvid_h.h"

#include <gtest/gtest.h>
#include <ocidl.h>
#include <olectl.h>

namespace test {
namespace {

using Microsoft::WRL::ComPtr;

class ActivationTest : public ::testing::TestWithParam<const wchar_t*> {
protected:
    Apartment apartment_;
};

TEST_P(ActivationTest, ProgIdCreatesTheControl) {
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(GetParam(), &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_Corvid);
    ComPtr<ICorvid3> control;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&control)), S_OK);
    ComPtr<ICorvid> base;
    EXPECT_EQ(control.As(&base), S_OK);
    OLE_COLOR color = 1;
    ASSERT_EQ(control->get_BackColor(&color), S_OK);
    EXPECT_EQ(color, 0x00FFFFFFu);
}

INSTANTIATE_TEST_SUITE_P(ProgIds, ActivationTest,
                         ::testing::Values(L"Corvid.Corvid", L"Corvid.Corvid.1",
                                           L"CorvidLibCtl.Corvid"));

class ControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_HRESULT_SUCCEEDED(apartment_.Result());
        ASSERT_EQ(
            CoCreateInstance(CLSID_Corvid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&control_)),
            S_OK);
        ASSERT_EQ(control_.As(&dispatch_), S_OK);
    }
    Apartment apartment_;
    ComPtr<ICorvid3> control_;
    ComPtr<IDispatch> dispatch_;
};

TEST_F(ControlTest, ScriptVariablesReachPointerArguments) {
    // QueryInputCaps(Key, [out] long* Buf, BufSize) with a script's variables: the call gets
    // through to the member instead of failing on the types; without a device the driver's
    // status cannot be fetched.
    VARIANT buffer;
    VariantInit(&buffer);
    CallResult call = Call(dispatch_.Get(), DispidOf(dispatch_.Get(), L"QueryInputCaps"),
                           DISPATCH_METHOD, {Short(1), RefTo(&buffer), Long(4)});
    const HRESULT hr = call.hr == DISP_E_EXCEPTION ? call.exception.scode : call.hr;
    EXPECT_EQ(hr, static_cast<HRESULT>(0x80044010));
    VariantClear(&buffer);
}

TEST_F(ControlTest, StockColorsThroughDispatch) {
    CallResult back = Call(dispatch_.Get(), DISPID_BACKCOLOR, DISPATCH_PROPERTYGET, {});
    ASSERT_EQ(back.hr, S_OK);
    EXPECT_EQ(V_I4(&back.value), 0x00FFFFFF);
    CallResult fore =
        Call(dispatch_.Get(), DispidOf(dispatch_.Get(), L"ForeColor"), DISPATCH_PROPERTYGET, {});
    ASSERT_EQ(fore.hr, S_OK);
    EXPECT_EQ(V_I4(&fore.value), 0);
    ASSERT_EQ(Call(dispatch_.Get(), DISPID_BACKCOLOR, DISPATCH_PROPERTYPUT, {Long(0x0000FF)},
                   {DISPID_PROPERTYPUT})
                  .hr,
              S_OK);
    OLE_COLOR color = 0;
    ASSERT_EQ(control_->get_BackColor(&color), S_OK);
    EXPECT_EQ(color, 0x0000FFu);
    EXPECT_EQ(control_->get_BackColor(nullptr), E_POINTER);
}

TEST_F(ControlTest, ClassInfoNamesTheEventsInterface) {
    ComPtr<IProvideClassInfo2> info;
    ASSERT_EQ(control_.As(&info), S_OK);
    GUID events{};
    ASSERT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events), S_OK);
    EXPECT_EQ(events, DIID_ICorvidEvents);
    ComPtr<ITypeInfo> classInfo;
    ASSERT_EQ(info->GetClassInfo(&classInfo), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(classInfo->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->guid, CLSID_Corvid);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    classInfo->ReleaseTypeAttr(attr);

    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(control_.As(&container), S_OK);
    ComPtr<IConnectionPoint> point;
    EXPECT_EQ(container->FindConnectionPoint(DIID_ICorvidEvents, &point), S_OK);
    EXPECT_EQ(container->FindConnectionPoint(IID_IPropertyNotifySink, &point), S_OK);
}

TEST_F(ControlTest, ErrorInformationForTheDispatchInterfaces) {
    ComPtr<ISupportErrorInfo> support;
    ASSERT_EQ(control_.As(&support), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_ICorvid), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_ICorvid3), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IOleObject), S_FALSE);
}

} // namespace
} // namespace test
