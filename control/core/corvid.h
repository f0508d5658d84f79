// CCorvid, the frame grabber control: its dispatch interface ICorvid3 (with ICorvid2 and
// ICorvid below it), events, error information, and the ActiveX embedding through which a
// container sites it, activates it in place in a window of its own and lets it paint.
//
// Members not written yet answer E_NOTIMPL through CorvidUnimplemented, which is generated
// from the type library's declarations. A member is implemented by declaring its override
// here and defining it in the source unit of its feature group.
#pragma once

#include "com_object.h"
#include "connection_points.h"
#include "raii.h"

#include "corvid_unimplemented.h"

#include <ocidl.h>
#include <oleidl.h>
#include <olectl.h>

namespace core {

// Identity of the control class in the registry and in error information.
inline constexpr wchar_t kProgId[] = L"Corvid.Corvid.1";
inline constexpr wchar_t kVersionIndependentProgId[] = L"Corvid.Corvid";

// The window class of the control's own window.
inline constexpr wchar_t kWindowClass[] = L"CorvidControlWindow";

// The misc-status bits of the content aspect (also registered under MiscStatus\1):
// recompose-on-resize, can't-link-inside, inside-out, activate-when-visible,
// set-client-site-first.
inline constexpr DWORD kMiscStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE |
                                     OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE |
                                     OLEMISC_SETCLIENTSITEFIRST;
static_assert(kMiscStatus == 131473);

class CCorvid final
    : public com::Object<CCorvid, CorvidUnimplemented, IProvideClassInfo2, ISupportErrorInfo,
                         com::ConnectionPointContainer, IOleObject, IOleInPlaceObject,
                         IOleInPlaceActiveObject, IOleControl, IViewObject2, IDataObject> {
public:
    using Self = CCorvid;
    static com::InterfaceTable<Self> Interfaces();
    // The class's instance creator (class-object table).
    static HRESULT Create(REFIID iid, void** out);

    CCorvid() = default;
    ~CCorvid() override;

    // ICorvid: stock colors
    STDMETHODIMP get_BackColor(OLE_COLOR* color) override;
    STDMETHODIMP put_BackColor(OLE_COLOR color) override;
    STDMETHODIMP get_ForeColor(OLE_COLOR* color) override;
    STDMETHODIMP put_ForeColor(OLE_COLOR color) override;

    // IProvideClassInfo2
    STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override;

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override;
    STDMETHODIMP GetClientSite(IOleClientSite** site) override;
    STDMETHODIMP SetHostNames(LPCOLESTR app, LPCOLESTR object) override;
    STDMETHODIMP Close(DWORD saveOption) override;
    STDMETHODIMP SetMoniker(DWORD which, IMoniker* moniker) override;
    STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    STDMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
    STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject** data) override;
    STDMETHODIMP DoVerb(LONG verb, LPMSG msg, IOleClientSite* activeSite, LONG index, HWND parent,
                        LPCRECT position) override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
    STDMETHODIMP Update() override;
    STDMETHODIMP IsUpToDate() override;
    STDMETHODIMP GetUserClassID(CLSID* clsid) override;
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) override;
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* connection) override;
    STDMETHODIMP Unadvise(DWORD connection) override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** advise) override;
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE* palette) override;

    // IOleWindow (IOleInPlaceObject, IOleInPlaceActiveObject)
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;
    // IOleInPlaceObject
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP UIDeactivate() override;
    STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
    STDMETHODIMP ReactivateAndUndo() override;
    // IOleInPlaceActiveObject
    STDMETHODIMP TranslateAccelerator(LPMSG msg) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
    STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
    STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frame) override;
    STDMETHODIMP EnableModeless(BOOL enable) override;

    // IOleControl
    STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
    STDMETHODIMP OnMnemonic(MSG* msg) override;
    STDMETHODIMP OnAmbientPropertyChange(DISPID id) override;
    STDMETHODIMP FreezeEvents(BOOL freeze) override;

    // IViewObject2
    STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                      HDC targetDc, HDC drawDc, LPCRECTL bounds, LPCRECTL metafileBounds,
                      BOOL(STDMETHODCALLTYPE* proceed)(ULONG_PTR), ULONG_PTR proceedArg) override;
    STDMETHODIMP GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                             HDC targetDc, LOGPALETTE** colors) override;
    STDMETHODIMP Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) override;
    STDMETHODIMP Unfreeze(DWORD freeze) override;
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, LPSIZEL size) override;

    // IDataObject: the control offers no data formats; it serves data-change advise sinks.
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override;
    STDMETHODIMP GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
    STDMETHODIMP QueryGetData(FORMATETC* format) override;
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
    STDMETHODIMP SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
    STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override;
    STDMETHODIMP DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink,
                         DWORD* connection) override;
    STDMETHODIMP DUnadvise(DWORD connection) override;
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA** advise) override;

    // Operations the feature groups use.
    // After a successful property put: marks the control dirty and tells the connected
    // property-notify sinks.
    void PropertyChanged(DISPID id);
    // Asks the property-notify sinks for permission to change a property.
    bool RequestEdit(DISPID id);
    // Asks the container to repaint the control.
    void ViewChanged();
    // Tells the data-change advise sinks that the control's data changed.
    void DataChanged();
    com::ConnectionPoint& Events() { return events_; }
    HWND Window() const { return window_.Get(); }
    bool Dirty() const { return dirty_; }

    // The control's picture inside bounds: its background when it has nothing else to show.
    void Paint(HDC dc, const RECT& bounds);

protected:
    std::span<com::ConnectionPoint* const> ConnectionPoints() override { return points_; }

private:
    HRESULT InPlaceActivate(IOleClientSite* site, LPCRECT position, bool uiActivate);
    HRESULT CreateControlWindow(HWND parent, const RECT& position);
    HRESULT PutStockColor(DISPID id, OLE_COLOR color, OLE_COLOR& stored);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

    // Stock colors.
    OLE_COLOR backColor_ = 0x00FFFFFF;
    OLE_COLOR foreColor_ = 0;
    bool dirty_ = false;

    // Embedding.
    com::ComPtr<IOleClientSite> clientSite_;
    com::ComPtr<IOleInPlaceSite> inPlaceSite_;
    com::ComPtr<IOleInPlaceFrame> frame_;
    com::ComPtr<IOleInPlaceUIWindow> document_;
    com::ComPtr<IOleAdviseHolder> oleAdvise_;
    com::ComPtr<IDataAdviseHolder> dataAdvise_;
    com::ComPtr<IAdviseSink> viewSink_;
    DWORD viewAspects_ = 0;
    DWORD viewAdviseFlags_ = 0;
    bool inPlaceActive_ = false;
    bool uiActive_ = false;
    SIZEL extent_{2540, 1270}; // HIMETRIC: 1 x 0.5 inch until the container sets one
    com::UniqueWindow window_;

    com::ConnectionPoint events_{this, DIID_ICorvidEvents};
    com::ConnectionPoint propertyNotify_{this, IID_IPropertyNotifySink};
    com::ConnectionPoint* const points_[2] = {&events_, &propertyNotify_};
};

// Removes the control's window class; the library calls it when it is unloaded, because the
// class names a window procedure in the library.
void UnregisterWindowClass();

} // namespace core
