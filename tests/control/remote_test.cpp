// The remote device object. Distributed activation on another host is not available here,
// so the failure boxes of Hostname come from a real activation attempt, and the forwarding is
// tested with a second control object of this process put in as the remote object.
#include "control_support.h"
#include "corvid.h"

#include <gtest/gtest.h>

namespace test {
namespace {

class RemoteTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_HRESULT_SUCCEEDED(apartment_.Result());
        ASSERT_EQ(core::CCorvid::Create(IID_PPV_ARGS(&local_)), S_OK);
        control_ = static_cast<core::CCorvid*>(local_.Get());
        ASSERT_EQ(local_.As(&dispatch_), S_OK);
        // The installed control stands in for the one on another host.
        ComPtr<IDispatch> remote = CreateControl();
        ASSERT_NE(remote, nullptr);
        ASSERT_EQ(remote.As(&remote_), S_OK);
    }

    std::wstring Hostname() {
        com::UniqueBstr host;
        EXPECT_EQ(control_->get_Hostname(host.Out()), S_OK);
        return host.Text();
    }

    Apartment apartment_;
    ComPtr<ICorvid3> local_;
    core::CCorvid* control_ = nullptr;
    ComPtr<IDispatch> dispatch_;
    ComPtr<ICorvid3> remote_;
};

TEST_F(RemoteTest, UnreachableHostShowsTheBoxAndKeepsServingLocally) {
    Notifications notifications(local_.Get());
    EXPECT_EQ(Hostname(), L"Localhost");
    BoxWatcher watcher(L"CCorvid::CreateFGDeviceObject");
    EXPECT_EQ(control_->put_Hostname(com::UniqueBstr(L"imaging-host-7").Get()), E_FAIL);
    watcher.Stop();
    const std::vector<std::wstring> texts = watcher.Texts();
    ASSERT_EQ(texts.size(), 1u);
    // The text names the host and the activation result, whatever the platform answered.
    EXPECT_EQ(
        texts[0].rfind(L"Unable to create Corvid object on hostname \"imaging-host-7\" (0x", 0), 0u)
        << std::string(texts[0].begin(), texts[0].end());
    EXPECT_FALSE(control_->HasRemoteDevice());
    EXPECT_EQ(Hostname(), L"Localhost");
    EXPECT_TRUE(notifications.Changed().empty());
    // Still served here.
    EXPECT_TRUE(OpenBoard(dispatch_.Get(), L"SIM7100"));
}

TEST_F(RemoteTest, EmptyOrCurrentHostDoesNothing) {
    BoxWatcher watcher(L"CCorvid::CreateFGDeviceObject");
    EXPECT_EQ(control_->put_Hostname(nullptr), S_OK);
    EXPECT_EQ(control_->put_Hostname(com::UniqueBstr(L"Localhost").Get()), S_OK);
    EXPECT_EQ(control_->CreateRemoteObject(nullptr), S_OK);
    watcher.Stop();
    EXPECT_TRUE(watcher.Texts().empty());
    EXPECT_FALSE(control_->HasRemoteDevice());
}

TEST_F(RemoteTest, ForwardsMembersUnchangedAndServesTheListLocally) {
    control_->AttachRemoteDevice(remote_, L"imaging-host-7");
    ASSERT_TRUE(control_->HasRemoteDevice());

    // Opened on the remote object: its state answers, this object's device stays closed.
    ASSERT_TRUE(OpenBoard(dispatch_.Get(), L"SIM7400"));
    EXPECT_EQ(LongOf(GetProperty(dispatch_.Get(), L"DeviceType")), 42);
    EXPECT_EQ(TextOf(GetProperty(dispatch_.Get(), L"ActiveDevice")), L"SIM7400");
    DeviceTypeEnum type = KVNONE;
    ASSERT_EQ(remote_->get_DeviceType(&type), S_OK);
    EXPECT_EQ(type, KV7400);
    EXPECT_EQ(control_->Device().driver, nullptr);

    // Properties and arguments travel both ways.
    ASSERT_EQ(PutProperty(dispatch_.Get(), L"ActiveLineCount", Long(200)).hr, S_OK);
    LONG lines = 0;
    ASSERT_EQ(remote_->get_ActiveLineCount(&lines), S_OK);
    EXPECT_EQ(lines, 200);
    EXPECT_EQ(LongOf(GetProperty(dispatch_.Get(), L"ActiveLineCount")), 200);
    LONG count = 0;
    ASSERT_EQ(local_->QueryInputCaps(STC_FG_IC_INPUT_SOURCE_COUNT, &count, sizeof(count)), S_OK);
    EXPECT_GT(count, 0);

    // A failure raised by the remote object comes back as the call's result.
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(local_->put_ActiveLineCount(-5), static_cast<HRESULT>(0x80044004));
    EXPECT_EQ(TakeErrorInfo().source, L"Corvid.Corvid.1");
    // The null-pointer check comes before the forwarding.
    EXPECT_EQ(local_->get_ActiveLineCount(nullptr), E_POINTER);
    // The device list is this object's own.
    short devices = 0;
    EXPECT_EQ(local_->get_DeviceCount(&devices), S_OK);
    EXPECT_EQ(devices, control_->Device().count);

    // Back to the local host: the remote object is released and this object serves again.
    EXPECT_EQ(control_->put_Hostname(com::UniqueBstr(L"Localhost").Get()), S_OK);
    EXPECT_FALSE(control_->HasRemoteDevice());
    EXPECT_EQ(Hostname(), L"Localhost");
    EXPECT_EQ(LongOf(GetProperty(dispatch_.Get(), L"DeviceType")), 0);
}

// A lookup-table buffer that is no array is refused before anything is forwarded.
TEST_F(RemoteTest, LutArgumentCheckedBeforeForwarding) {
    control_->AttachRemoteDevice(remote_, L"imaging-host-7");
    VARIANT notAnArray = Long(3);
    EXPECT_EQ(local_->ReadInputLUT(0, 0, notAnArray), E_INVALIDARG);
    // A real array goes to the remote object, which has no device open.
    SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 0, 4);
    VARIANT buffer;
    V_VT(&buffer) = VT_ARRAY | VT_I4;
    V_ARRAY(&buffer) = array;
    EXPECT_EQ(local_->ReadInputLUT(0, 0, buffer), static_cast<HRESULT>(0x80044010));
    SafeArrayDestroy(array);
    control_->AttachRemoteDevice(nullptr, L"Localhost");
}

// Line-scan work goes to the remote object, except passthru, which only the local device can
// serve; the display flags are set or cleared before the call leaves.
TEST_F(RemoteTest, LineScanForwardsAllButPassthru) {
    control_->AttachRemoteDevice(remote_, L"imaging-host-7");
    ASSERT_TRUE(OpenBoard(dispatch_.Get(), L"SIM7400LS"));
    SAFEARRAYBOUND bounds[] = {{64, 0}, {16, 0}, {2, 0}};
    com::UniqueSafeArray ring(SafeArrayCreate(VT_UI1, 3, bounds));
    com::UniqueSafeArray lines(SafeArrayCreate(VT_UI1, 2, bounds));
    VARIANT buffers;
    V_VT(&buffers) = VT_ARRAY | VT_UI1;
    V_ARRAY(&buffers) = ring.Get();
    EXPECT_EQ(local_->StartLSPassthru(0, buffers, VARIANT_FALSE), E_NOTIMPL);
    EXPECT_EQ(local_->StopLSPassthru(), E_NOTIMPL);
    VARIANT array;
    V_VT(&array) = VT_ARRAY | VT_UI1;
    V_ARRAY(&array) = lines.Get();
    ASSERT_EQ(local_->put_LoToHiLineDriveCount(300), S_OK);
    LONG count = 0;
    ASSERT_EQ(remote_->get_LoToHiLineDriveCount(&count), S_OK);
    EXPECT_EQ(count, 300);
    ASSERT_EQ(local_->AcquireLines(array, VARIANT_FALSE), S_OK);
    EXPECT_FALSE(control_->Device().displayingLines);
    // The remote object has no window to draw into: its failure comes back.
    EXPECT_NE(local_->DrawAcquiredLines(0, array, 0, 0), S_OK);
    EXPECT_TRUE(control_->Device().displayingLines);
    LONG done = 0, granularity = 0;
    VARIANT_BOOL complete = VARIANT_FALSE;
    EXPECT_EQ(local_->IsAcquireLinesDone(&done, &granularity, &complete), S_OK);
    EXPECT_EQ(complete, VARIANT_TRUE);
    EXPECT_EQ(done, 16);
    control_->AttachRemoteDevice(nullptr, L"Localhost");
}

} // namespace
} // namespace test
