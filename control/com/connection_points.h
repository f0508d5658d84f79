// Connection points: outgoing interfaces of an object (a dispatch events interface, and
// IPropertyNotifySink) and the container that hands them out.
//
// Raising an event takes a snapshot of the connected sinks under the point's lock and calls
// them outside it, so that a sink may Advise or Unadvise, even from inside its own handler
// or while another thread raises an event; a sink disconnected during a raise still gets
// that one call (the snapshot holds its reference), but no later one.
#pragma once

#include "com_object.h"
#include "raii.h"

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <initializer_list>
#include <span>
#include <vector>

namespace com {

// One connection point, a member of the object that owns it. Its references are the
// owner's: AddRef and Release go to the container.
class ConnectionPoint final : public IConnectionPoint {
public:
    ConnectionPoint(IConnectionPointContainer* container, REFIID iid)
        : container_(container), iid_(iid) {}
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;
    ~ConnectionPoint();

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return container_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return container_->Release(); }

    STDMETHODIMP GetConnectionInterface(IID* iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** connections) override;

    REFIID Iid() const { return iid_; }
    // The connected sinks (each the pointer obtained for the point's interface), in the
    // order they connected.
    std::vector<ComPtr<IUnknown>> Sinks() const;
    // Drops every connection (when the owner is destroyed or closed).
    void DisconnectAll();

private:
    struct Connection {
        DWORD cookie;
        ComPtr<IUnknown> sink;
    };

    IConnectionPointContainer* container_;
    const IID iid_;
    mutable CriticalSection lock_;
    std::vector<Connection> connections_;
    DWORD nextCookie_ = 1;
};

// Calls IDispatch::Invoke(id, DISPATCH_METHOD) on every sink of a point whose interface is a
// dispatch interface. args in declaration order; they stay owned by the caller. Failures of
// single sinks are ignored: one broken host must not stop the others.
void RaiseEvent(const ConnectionPoint& point, DISPID id, std::span<VARIANT> args = {});
// The same for sinks taken from a point earlier (ConnectionPoint::Sinks), for a caller that
// must not touch the point while it calls them.
void RaiseEvent(std::span<const ComPtr<IUnknown>> sinks, DISPID id, std::span<VARIANT> args = {});

// IPropertyNotifySink::OnChanged(id) to every sink of the point.
void NotifyChanged(const ConnectionPoint& point, DISPID id);
// IPropertyNotifySink::OnRequestEdit(id): false when a sink declines (S_FALSE).
bool RequestEdit(const ConnectionPoint& point, DISPID id);

// Implements IConnectionPointContainer over the points the object lists.
class ConnectionPointContainer : public IConnectionPointContainer {
public:
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

protected:
    virtual std::span<ConnectionPoint* const> ConnectionPoints() = 0;
    ~ConnectionPointContainer() = default;
};

} // namespace com
