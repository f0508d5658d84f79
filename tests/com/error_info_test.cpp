// Error information as a client reads it: through the interface (GetErrorInfo) and through
// IDispatch::Invoke (EXCEPINFO).
#include "test_object.h"

#include "com_support.h"

#include <gtest/gtest.h>

namespace test {
namespace {

constexpr HRESULT kFailure = static_cast<HRESULT>(0x80044006);

TEST(ErrorInfo, ClientReadsSourceDescriptionAndHelp) {
    Apartment apartment;
    ComPtr<TestObject> object = MakeTestObject();
    ComPtr<ITestObject> client;
    ASSERT_HRESULT_SUCCEEDED(object.As(&client));
    com::ClearErrorInfo();

    ASSERT_EQ(client->Fail(kFailure), kFailure);
    ComPtr<ISupportErrorInfo> support;
    ASSERT_HRESULT_SUCCEEDED(client.As(&support));
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_ITestObject), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);

    ErrorRecord error = TakeErrorInfo();
    ASSERT_TRUE(error.present);
    EXPECT_EQ(error.source, L"Toolkit.Test");
    EXPECT_EQ(error.description, L"The test object failed on purpose.");
    EXPECT_EQ(error.helpFile, L"toolkit.hlp");
    EXPECT_EQ(error.helpContext, 2131u);
    // Reading it took it: the next reader finds none.
    EXPECT_FALSE(TakeErrorInfo().present);
}

TEST(ErrorInfo, WithoutHelpFileThereIsNoHelpContext) {
    Apartment apartment;
    com::ReportError(E_FAIL, {.source = L"S", .description = L"D", .helpContext = 99});
    ErrorRecord error = TakeErrorInfo();
    ASSERT_TRUE(error.present);
    EXPECT_EQ(error.description, L"D");
    EXPECT_TRUE(error.helpFile.empty());
    EXPECT_EQ(error.helpContext, 0u);
}

TEST(ErrorInfo, ScriptHostGetsItAsException) {
    Apartment apartment;
    ComPtr<TestObject> object = MakeTestObject();
    ComPtr<IDispatch> dispatch;
    ASSERT_HRESULT_SUCCEEDED(object.As(&dispatch));
    CallResult call =
        Call(dispatch.Get(), DispidOf(dispatch.Get(), L"Fail"), DISPATCH_METHOD, {Long(kFailure)});
    ASSERT_EQ(call.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(call.exception.scode, kFailure);
    EXPECT_STREQ(call.exception.bstrSource, L"Toolkit.Test");
    EXPECT_STREQ(call.exception.bstrDescription, L"The test object failed on purpose.");
    EXPECT_EQ(call.exception.dwHelpContext, 2131u);
}

} // namespace
} // namespace test
