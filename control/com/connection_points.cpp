#include "connection_points.h"

#include <algorithm>
#include <memory>

namespace com {
namespace {

// An enumerator over a snapshot taken when it was created; clones share the snapshot.
template <class IEnum, class Item, class Holder>
class Enumerator final : public Object<Enumerator<IEnum, Item, Holder>, IEnum> {
public:
    using Snapshot = std::shared_ptr<const std::vector<Holder>>;

    explicit Enumerator(Snapshot items, size_t position = 0)
        : items_(std::move(items)), position_(position) {}

    static InterfaceTable<Enumerator> Interfaces() {
        static const InterfaceEntry<Enumerator> table[] = {Entry<Enumerator, IEnum>()};
        return table;
    }

    STDMETHODIMP Next(ULONG count, Item* out, ULONG* fetched) override {
        if (!out || (count > 1 && !fetched)) return E_POINTER;
        ULONG done = 0;
        Lock lock(lock_);
        while (done < count && position_ < items_->size()) {
            out[done++] = (*items_)[position_++].Copy();
        }
        if (fetched) *fetched = done;
        return done == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        Lock lock(lock_);
        const size_t left = items_->size() - position_;
        position_ += std::min<size_t>(count, left);
        return count <= left ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override {
        Lock lock(lock_);
        position_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnum** out) override {
        if (!out) return E_POINTER;
        Lock lock(lock_);
        return CreateInstance<Enumerator>(__uuidof(IEnum), reinterpret_cast<void**>(out), items_,
                                          position_);
    }

private:
    Snapshot items_;
    size_t position_;
    CriticalSection lock_;
};

struct ConnectionHolder {
    ComPtr<IUnknown> sink;
    DWORD cookie;
    CONNECTDATA Copy() const {
        sink->AddRef();
        return {sink.Get(), cookie};
    }
};

struct PointHolder {
    ComPtr<IConnectionPoint> point;
    IConnectionPoint* Copy() const {
        point->AddRef();
        return point.Get();
    }
};

using ConnectionEnumerator = Enumerator<IEnumConnections, CONNECTDATA, ConnectionHolder>;
using PointEnumerator = Enumerator<IEnumConnectionPoints, IConnectionPoint*, PointHolder>;

} // namespace

ConnectionPoint::~ConnectionPoint() {
    DisconnectAll();
}

STDMETHODIMP ConnectionPoint::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IConnectionPoint) return E_NOINTERFACE;
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = iid_;
    return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (!container) return E_POINTER;
    *container = container_;
    container_->AddRef();
    return S_OK;
}

STDMETHODIMP ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    ComPtr<IUnknown> connected;
    if (FAILED(sink->QueryInterface(iid_, reinterpret_cast<void**>(connected.GetAddressOf()))))
        return CONNECT_E_CANNOTCONNECT;
    Lock lock(lock_);
    const DWORD assigned = nextCookie_++;
    if (nextCookie_ == 0) nextCookie_ = 1; // 0 is never a valid cookie
    connections_.push_back({assigned, std::move(connected)});
    *cookie = assigned;
    return S_OK;
}

STDMETHODIMP ConnectionPoint::Unadvise(DWORD cookie) {
    ComPtr<IUnknown> released; // released after the lock is left: its Release may call back
    {
        Lock lock(lock_);
        auto found = std::find_if(connections_.begin(), connections_.end(),
                                  [cookie](const Connection& c) { return c.cookie == cookie; });
        if (found == connections_.end()) return CONNECT_E_NOCONNECTION;
        released = std::move(found->sink);
        connections_.erase(found);
    }
    return S_OK;
}

STDMETHODIMP ConnectionPoint::EnumConnections(IEnumConnections** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    auto items = std::make_shared<std::vector<ConnectionHolder>>();
    {
        Lock lock(lock_);
        for (const Connection& connection : connections_)
            items->push_back({connection.sink, connection.cookie});
    }
    return CreateInstance<ConnectionEnumerator>(IID_IEnumConnections, reinterpret_cast<void**>(out),
                                                ConnectionEnumerator::Snapshot(std::move(items)));
}

std::vector<ComPtr<IUnknown>> ConnectionPoint::Sinks() const {
    Lock lock(lock_);
    std::vector<ComPtr<IUnknown>> sinks;
    sinks.reserve(connections_.size());
    for (const Connection& connection : connections_)
        sinks.push_back(connection.sink);
    return sinks;
}

void ConnectionPoint::DisconnectAll() {
    std::vector<Connection> released;
    {
        Lock lock(lock_);
        released.swap(connections_);
    }
}

void RaiseEvent(const ConnectionPoint& point, DISPID id, std::span<VARIANT> args) {
    RaiseEvent(point.Sinks(), id, args);
}

void RaiseEvent(std::span<const ComPtr<IUnknown>> sinks, DISPID id, std::span<VARIANT> args) {
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    for (const ComPtr<IUnknown>& sink : sinks) {
        // The sink was obtained for a dispatch interface: its vtable is IDispatch's.
        auto* events = static_cast<IDispatch*>(static_cast<void*>(sink.Get()));
        DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr,
                          static_cast<UINT>(reversed.size()), 0};
        events->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                       nullptr, nullptr);
    }
}

void NotifyChanged(const ConnectionPoint& point, DISPID id) {
    for (const ComPtr<IUnknown>& sink : point.Sinks())
        static_cast<IPropertyNotifySink*>(static_cast<void*>(sink.Get()))->OnChanged(id);
}

bool RequestEdit(const ConnectionPoint& point, DISPID id) {
    for (const ComPtr<IUnknown>& sink : point.Sinks()) {
        if (static_cast<IPropertyNotifySink*>(static_cast<void*>(sink.Get()))->OnRequestEdit(id) ==
            S_FALSE)
            return false;
    }
    return true;
}

STDMETHODIMP ConnectionPointContainer::EnumConnectionPoints(IEnumConnectionPoints** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    auto items = std::make_shared<std::vector<PointHolder>>();
    for (ConnectionPoint* point : ConnectionPoints())
        items->push_back({point});
    return CreateInstance<PointEnumerator>(IID_IEnumConnectionPoints, reinterpret_cast<void**>(out),
                                           PointEnumerator::Snapshot(std::move(items)));
}

STDMETHODIMP ConnectionPointContainer::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (ConnectionPoint* point : ConnectionPoints()) {
        if (point->Iid() == iid) {
            *out = point;
            point->AddRef();
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

} // namespace com
