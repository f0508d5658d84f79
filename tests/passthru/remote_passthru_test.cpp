// Live video served by a remote device object. Distributed activation on another host is not
// available here, so the installed control in an apartment of its own thread stands in for
// the control on the other host: the control under test reaches it through a proxy.
#include "control_support.h"
#include "corvid.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using Microsoft::WRL::ComPtr;
using namespace imaging::msg;

// The installed control living on a thread of its own that pumps its apartment's messages.
class RemoteHost {
public:
    RemoteHost() {
        com::UniqueHandle ready(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        IStream* stream = nullptr;
        thread_ = std::thread([&] {
            threadId_ = GetCurrentThreadId();
            CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            {
                ComPtr<IDispatch> control = test::CreateControl();
                if (control)
                    CoMarshalInterThreadInterfaceInStream(IID_ICorvid3, control.Get(), &stream);
                MSG message;
                PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); // the thread's queue
                SetEvent(ready.Get());
                while (GetMessageW(&message, nullptr, 0, 0) > 0)
                    DispatchMessageW(&message);
            }
            CoUninitialize();
        });
        WaitForSingleObject(ready.Get(), INFINITE);
        if (stream)
            CoGetInterfaceAndReleaseStream(stream, IID_ICorvid3,
                                           reinterpret_cast<void**>(proxy_.GetAddressOf()));
    }
    RemoteHost(const RemoteHost&) = delete;
    RemoteHost& operator=(const RemoteHost&) = delete;
    ~RemoteHost() {
        proxy_.Reset();
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }
    const ComPtr<ICorvid3>& Proxy() const { return proxy_; }

private:
    std::thread thread_;
    DWORD threadId_ = 0;
    ComPtr<ICorvid3> proxy_;
};

class RemotePassthru : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_HRESULT_SUCCEEDED(apartment_.Result());
        ASSERT_TRUE(simulator_.ok());
        ASSERT_TRUE(host_.Proxy());
        ASSERT_EQ(core::CCorvid::Create(IID_PPV_ARGS(&local_)), S_OK);
        control_ = static_cast<core::CCorvid*>(local_.Get());
        ASSERT_EQ(local_.As(&dispatch_), S_OK);
        control_->AttachRemoteDevice(host_.Proxy(), L"imaging-host-7");
        com::Make(sink_);
        point_ = test::EventsPoint(local_.Get());
        ASSERT_EQ(point_->Advise(static_cast<IDispatch*>(sink_.Get()), &cookie_), S_OK);
    }
    void TearDown() override {
        if (point_) point_->Unadvise(cookie_);
        control_->AttachRemoteDevice(nullptr, L"Localhost");
    }
    std::vector<KvTraceRecord> Sent(uint32_t message) {
        return test::RecordsOf(simulator_.Port().Trace(), message);
    }

    test::Apartment apartment_;
    test::PinnedSimulator simulator_;
    RemoteHost host_;
    ComPtr<ICorvid3> local_;
    core::CCorvid* control_ = nullptr;
    ComPtr<IDispatch> dispatch_;
    ComPtr<test::EventSink> sink_;
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

TEST_F(RemotePassthru, StartAndStopGoToTheDeviceObject) {
    ASSERT_TRUE(test::OpenBoard(dispatch_.Get(), L"SIM7100"));
    LONG frame = -1;
    ASSERT_EQ(local_->AllocateFrame(-1, -1, -1, -1, -1, -1, DefaultFrame, DefaultImage, &frame),
              S_OK);
    EXPECT_EQ(control_->Device().driver, nullptr) << "the device is the other host's";
    HWND here = CreateWindowExW(0, L"STATIC", L"local", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr,
                                nullptr, nullptr);
    simulator_.Port().StartTrace();
    ASSERT_EQ(local_->StartPassthru(HandleToLong(here), frame, ASyncPassthru), S_OK);
    const std::vector<KvTraceRecord> starts = Sent(STM_START_ASYNC_PASSTHRU);
    ASSERT_EQ(starts.size(), 1u);
    // The device object's host shows live video in a window of its own.
    const HWND shown = test::BlockOf<imaging::WindowBlock>(starts[0]).Window;
    EXPECT_NE(shown, here);
    wchar_t className[32] = {};
    GetClassNameW(shown, className, 32);
    EXPECT_STREQ(className, L"KV_IMAGE_WINDOW");

    ASSERT_EQ(local_->StopPassthru(), S_OK);
    EXPECT_EQ(Sent(STM_STOP_PASSTHRU).size(), 1u);
    EXPECT_EQ(sink_->Count(), 0u) << "the device object raises its events to its own sinks";
    // A start the device object refuses is the caller's result.
    EXPECT_EQ(local_->StartPassthru(0, 7, ASyncPassthru), E_INVALIDARG);
    EXPECT_EQ(local_->StopPassthru(), S_OK);
    // The members without a worker are forwarded unchanged.
    simulator_.Port().StartTrace();
    EXPECT_EQ(local_->put_XPassthruOrigin(12), S_OK);
    LONG x = 0;
    EXPECT_EQ(local_->get_XPassthruOrigin(&x), S_OK);
    EXPECT_EQ(x, 12);
    EXPECT_EQ(Sent(STM_SET_PASSTHRU_SOURCE_ORIGIN).size(), 1u);
    EXPECT_EQ(local_->CloseDevice(), S_OK);
    DestroyWindow(here);
}

} // namespace
