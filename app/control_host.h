// The program's ActiveX container: one site that creates a control by ProgID, activates it in
// place as a child of the main window and moves its window where the form puts it (the
// Left/Top/Width/Height a form host offers every control).
#pragma once

#include "com_object.h"

#include <windows.h>
#include <ocidl.h>
#include <oleidl.h>

namespace vidora {

class ControlSite final : public com::Object<ControlSite, IOleClientSite, IOleInPlaceSite,
                                             IOleInPlaceFrame> {
public:
    using Self = ControlSite;
    static com::InterfaceTable<Self> Interfaces();

    ControlSite(HWND parent, RECT position) : parent_(parent), position_(position) {}
    void SetPosition(const RECT& position) { position_ = position; }

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return S_OK; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override;
    STDMETHODIMP GetContainer(IOleContainer** container) override;
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
    // IOleWindow
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                  LPRECT position, LPRECT clip,
                                  LPOLEINPLACEFRAMEINFO info) override;
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }
    // IOleInPlaceUIWindow, IOleInPlaceFrame: the program keeps its own menus and toolbar.
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

private:
    HWND parent_;
    RECT position_;
};

// One hosted control, from creation to destruction.
class ControlHost {
public:
    ControlHost() = default;
    ControlHost(const ControlHost&) = delete;
    ControlHost& operator=(const ControlHost&) = delete;
    ~ControlHost() { Destroy(); }

    // Creates the control named by progId, initialises it as new and activates it in place.
    HRESULT Create(HWND parent, const wchar_t* progId, const RECT& position);
    // Closes the control (it stops its work and releases its device) and lets it go.
    void Destroy();

    template <class Interface> HRESULT Query(com::ComPtr<Interface>& out) const {
        return object_ ? object_.As(&out) : E_POINTER;
    }
    HWND Window() const { return window_; }
    // Moves the control's window to the rectangle (client coordinates of the parent).
    void Move(const RECT& position);

private:
    com::ComPtr<ControlSite> site_;
    com::ComPtr<IOleObject> object_;
    HWND window_ = nullptr;
};

} // namespace vidora
