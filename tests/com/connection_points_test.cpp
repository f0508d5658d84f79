// Connection points: cookies, events reaching sinks, disconnection while an event is being
// raised from another thread, property notification and request-edit refusal.
#include "test_object.h"

#include "com_support.h"

#include <gtest/gtest.h>

#include <thread>

namespace test {
namespace {

class ConnectionPointTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_HRESULT_SUCCEEDED(apartment_.Result());
        object_ = MakeTestObject();
        ASSERT_TRUE(object_);
        ComPtr<IConnectionPointContainer> container;
        ASSERT_HRESULT_SUCCEEDED(object_.As(&container));
        ASSERT_EQ(container->FindConnectionPoint(DIID_ITestEvents, &events_), S_OK);
        ASSERT_EQ(container->FindConnectionPoint(IID_IPropertyNotifySink, &notify_), S_OK);
    }
    static ComPtr<EventSink> MakeSink(EventSink::Handler handler = {}) {
        ComPtr<EventSink> sink;
        com::Make(sink, std::move(handler));
        return sink;
    }

    Apartment apartment_;
    ComPtr<TestObject> object_;
    ComPtr<IConnectionPoint> events_;
    ComPtr<IConnectionPoint> notify_;
};

TEST_F(ConnectionPointTest, ContainerListsBothPoints) {
    ComPtr<IConnectionPointContainer> container;
    ASSERT_HRESULT_SUCCEEDED(object_.As(&container));
    ComPtr<IConnectionPoint> none;
    EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, &none), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(none, nullptr);

    ComPtr<IEnumConnectionPoints> points;
    ASSERT_EQ(container->EnumConnectionPoints(&points), S_OK);
    IConnectionPoint* found[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(points->Next(3, found, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    IID first{}, second{};
    found[0]->GetConnectionInterface(&first);
    found[1]->GetConnectionInterface(&second);
    EXPECT_EQ(first, DIID_ITestEvents);
    EXPECT_EQ(second, IID_IPropertyNotifySink);
    ComPtr<IConnectionPointContainer> back;
    ASSERT_EQ(found[0]->GetConnectionPointContainer(&back), S_OK);
    EXPECT_EQ(back.Get(), container.Get());
    found[0]->Release();
    found[1]->Release();
}

TEST_F(ConnectionPointTest, CookiesAreDistinctAndUnadviseChecksThem) {
    ComPtr<EventSink> a = MakeSink(), b = MakeSink();
    DWORD first = 0, second = 0;
    ASSERT_EQ(events_->Advise(a.Get(), &first), S_OK);
    ASSERT_EQ(events_->Advise(b.Get(), &second), S_OK);
    EXPECT_NE(first, 0u);
    EXPECT_NE(second, 0u);
    EXPECT_NE(first, second);

    ComPtr<IEnumConnections> connections;
    ASSERT_EQ(events_->EnumConnections(&connections), S_OK);
    CONNECTDATA data[2] = {};
    ULONG fetched = 0;
    ASSERT_EQ(connections->Next(2, data, &fetched), S_OK);
    EXPECT_EQ(data[0].dwCookie, first);
    EXPECT_EQ(data[1].dwCookie, second);
    data[0].pUnk->Release();
    data[1].pUnk->Release();

    EXPECT_EQ(events_->Unadvise(first), S_OK);
    EXPECT_EQ(events_->Unadvise(first), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(events_->Unadvise(0), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(events_->Unadvise(second), S_OK);
}

TEST_F(ConnectionPointTest, SinkWithoutTheInterfaceIsRefused) {
    ComPtr<PropertySink> wrong;
    com::Make(wrong);
    DWORD cookie = 7;
    EXPECT_EQ(events_->Advise(wrong.Get(), &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie, 0u);
    EXPECT_EQ(events_->Advise(nullptr, &cookie), E_POINTER);
}

TEST_F(ConnectionPointTest, EventReachesEverySinkWithItsArgument) {
    LONG seen = 0;
    ComPtr<EventSink> a = MakeSink([&](LONG value) { seen = value; });
    ComPtr<EventSink> b = MakeSink();
    DWORD ca = 0, cb = 0;
    ASSERT_EQ(events_->Advise(a.Get(), &ca), S_OK);
    ASSERT_EQ(events_->Advise(b.Get(), &cb), S_OK);
    ComPtr<ITestObject> client;
    ASSERT_HRESULT_SUCCEEDED(object_.As(&client));
    ASSERT_EQ(client->Raise(17), S_OK);
    EXPECT_EQ(seen, 17);
    EXPECT_EQ(a->Calls(), 1);
    EXPECT_EQ(b->Calls(), 1);
    ASSERT_EQ(events_->Unadvise(ca), S_OK);
    object_->RaiseOnValue(18);
    EXPECT_EQ(a->Calls(), 1);
    EXPECT_EQ(b->Calls(), 2);
    events_->Unadvise(cb);
}

TEST_F(ConnectionPointTest, SinkUnadvisesItselfDuringEventFromWorkerThread) {
    DWORD cookie = 0;
    HRESULT unadvised = E_FAIL;
    IConnectionPoint* point = events_.Get();
    ComPtr<EventSink> sink = MakeSink([&](LONG) { unadvised = point->Unadvise(cookie); });
    ASSERT_EQ(events_->Advise(sink.Get(), &cookie), S_OK);

    std::thread worker([&] { object_->RaiseOnValue(1); });
    worker.join();
    EXPECT_EQ(unadvised, S_OK);
    EXPECT_EQ(sink->Calls(), 1);

    std::thread again([&] { object_->RaiseOnValue(2); });
    again.join();
    EXPECT_EQ(sink->Calls(), 1);
}

TEST_F(ConnectionPointTest, OtherSinkDisconnectsWhileAnEventIsInProgress) {
    // The first sink holds the raise open until the main thread has disconnected the second
    // one; Unadvise must not wait for the raise.
    com::UniqueHandle entered(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    com::UniqueHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ComPtr<EventSink> holding = MakeSink([&](LONG value) {
        if (value != 1) return;
        SetEvent(entered.Get());
        WaitForSingleObject(release.Get(), INFINITE);
    });
    ComPtr<EventSink> leaving = MakeSink();
    DWORD holdingCookie = 0, leavingCookie = 0;
    ASSERT_EQ(events_->Advise(holding.Get(), &holdingCookie), S_OK);
    ASSERT_EQ(events_->Advise(leaving.Get(), &leavingCookie), S_OK);

    std::thread worker([&] { object_->RaiseOnValue(1); });
    ASSERT_EQ(WaitForSingleObject(entered.Get(), 30000), WAIT_OBJECT_0);
    const HRESULT unadvised = events_->Unadvise(leavingCookie);
    SetEvent(release.Get());
    worker.join();
    EXPECT_EQ(unadvised, S_OK);

    const LONG before = leaving->Calls();
    object_->RaiseOnValue(2);
    EXPECT_EQ(leaving->Calls(), before);
    EXPECT_EQ(holding->Calls(), 2);
    events_->Unadvise(holdingCookie);
}

TEST_F(ConnectionPointTest, ReleasingTheSinksReferenceWhenTheObjectGoes) {
    ComPtr<EventSink> sink = MakeSink();
    DWORD cookie = 0;
    ASSERT_EQ(events_->Advise(sink.Get(), &cookie), S_OK);
    events_.Reset();
    notify_.Reset();
    object_.Reset(); // the host forgot to disconnect
    // Only this test's reference is left.
    EXPECT_EQ(sink->AddRef(), 2u);
    EXPECT_EQ(sink->Release(), 1u);
}

TEST_F(ConnectionPointTest, PropertyPutNotifiesAfterPermission) {
    ComPtr<PropertySink> sink;
    com::Make(sink);
    DWORD cookie = 0;
    ASSERT_EQ(notify_->Advise(sink.Get(), &cookie), S_OK);
    ASSERT_EQ(object_->put_Level(5), S_OK);
    EXPECT_EQ(sink->requested, std::vector<DISPID>{kDispidLevel});
    EXPECT_EQ(sink->changed, std::vector<DISPID>{kDispidLevel});
    notify_->Unadvise(cookie);
}

TEST_F(ConnectionPointTest, RefusedEditChangesNothing) {
    ComPtr<PropertySink> sink;
    com::Make(sink);
    sink->allowEdit = false;
    DWORD cookie = 0;
    ASSERT_EQ(notify_->Advise(sink.Get(), &cookie), S_OK);
    EXPECT_EQ(object_->put_Level(5), S_FALSE);
    LONG level = 0;
    ASSERT_EQ(object_->get_Level(&level), S_OK);
    EXPECT_EQ(level, 1);
    EXPECT_EQ(sink->requested.size(), 1u);
    EXPECT_TRUE(sink->changed.empty());
    notify_->Unadvise(cookie);
}

} // namespace
} // namespace test
