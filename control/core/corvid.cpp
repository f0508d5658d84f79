// The control object: identity, stock colors, and the ActiveX embedding (site, in-place
// activation in a window of its own, drawing, advise sinks).
#include "corvid.h"

#include "dispatch.h"
#include "error_info.h"

HRESULT CorvidUnimplemented::NotImplemented() {
    return com::ReportError(E_NOTIMPL,
                            {.source = core::kProgId, .description = L"Not implemented"});
}

namespace core {

using com::ComPtr;

com::InterfaceTable<CCorvid> CCorvid::Interfaces() {
    static const com::InterfaceEntry<Self> table[] = {
        com::Entry<Self, ICorvid3>(),
        com::Entry<Self, ICorvid2, ICorvid3>(),
        com::Entry<Self, ICorvid, ICorvid3>(),
        com::Entry<Self, IDispatch, ICorvid3>(),
        com::Entry<Self, IProvideClassInfo2>(),
        com::Entry<Self, IProvideClassInfo, IProvideClassInfo2>(),
        com::Entry<Self, ISupportErrorInfo>(),
        com::Entry<Self, IConnectionPointContainer>(),
        com::Entry<Self, IOleObject>(),
        com::Entry<Self, IOleInPlaceObject>(),
        com::Entry<Self, IOleWindow, IOleInPlaceObject>(),
        com::Entry<Self, IOleInPlaceActiveObject>(),
        com::Entry<Self, IOleControl>(),
        com::Entry<Self, IViewObject2>(),
        com::Entry<Self, IViewObject, IViewObject2>(),
        com::Entry<Self, IDataObject>(),
        com::Entry<Self, IPersistPropertyBag>(),
        com::Entry<Self, IPersistStreamInit>(),
        com::Entry<Self, IPersistStorage>(),
        com::Entry<Self, IPersist, IPersistStreamInit>(),
        com::Entry<Self, ICategorizeProperties>(),
        com::Entry<Self, IPerPropertyBrowsing>(),
        com::Entry<Self, ISpecifyPropertyPages>(),
    };
    return table;
}

HRESULT CCorvid::Create(REFIID iid, void** out) {
    return com::CreateInstance<CCorvid>(iid, out);
}

CCorvid::~CCorvid() {
    acquisition_.DetachEvents(); // a control being destroyed raises no more events
    StopPassthruForDestroy();
    CloseLocalDevice();
    remote_.object.Reset();
    // A container that did not deactivate the control still gets its window back.
    window_.Reset();
}

// ---- Stock colors ----

STDMETHODIMP CCorvid::get_BackColor(OLE_COLOR* color) {
    if (!color) return E_POINTER;
    *color = backColor_;
    return S_OK;
}

STDMETHODIMP CCorvid::put_BackColor(OLE_COLOR color) {
    return PutStockColor(DISPID_BACKCOLOR, color, backColor_);
}

STDMETHODIMP CCorvid::get_ForeColor(OLE_COLOR* color) {
    if (!color) return E_POINTER;
    *color = foreColor_;
    return S_OK;
}

STDMETHODIMP CCorvid::put_ForeColor(OLE_COLOR color) {
    return PutStockColor(DISPID_FORECOLOR, color, foreColor_);
}

// A container that declines the edit gets S_FALSE and the color stays.
HRESULT CCorvid::PutStockColor(DISPID id, OLE_COLOR color, OLE_COLOR& stored) {
    if (!RequestEdit(id)) return S_FALSE;
    stored = color;
    PropertyChanged(id);
    ViewChanged();
    DataChanged();
    return S_OK;
}

// ---- Operations of the feature groups ----

void CCorvid::PropertyChanged(DISPID id) {
    dirty_ = true;
    com::NotifyChanged(propertyNotify_, id);
}

bool CCorvid::RequestEdit(DISPID id) {
    return com::RequestEdit(propertyNotify_, id);
}

void CCorvid::ViewChanged() {
    if (window_) {
        InvalidateRect(window_.Get(), nullptr, TRUE);
        return;
    }
    if (viewSink_) {
        ComPtr<IAdviseSink> sink = viewSink_;
        if (viewAdviseFlags_ & ADVF_ONLYONCE) viewSink_.Reset();
        sink->OnViewChange(DVASPECT_CONTENT, -1);
    }
}

void CCorvid::DataChanged() {
    if (dataAdvise_) dataAdvise_->SendOnDataChange(static_cast<IDataObject*>(this), 0, 0);
}

void CCorvid::Paint(HDC dc, const RECT& bounds) {
    COLORREF back = RGB(255, 255, 255), fore = RGB(0, 0, 0);
    // A color that does not translate (a bad system color index) paints as the default.
    OleTranslateColor(backColor_, nullptr, &back);
    OleTranslateColor(foreColor_, nullptr, &fore);
    com::UniqueBrush brush(CreateSolidBrush(back));
    com::UniquePen pen(CreatePen(PS_SOLID, 1, fore));
    if (!brush || !pen) return;
    com::SelectedObject selectedBrush(dc, brush.Get());
    com::SelectedObject selectedPen(dc, pen.Get());
    Rectangle(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
}

// ---- IProvideClassInfo2 ----

STDMETHODIMP CCorvid::GetClassInfo(ITypeInfo** info) {
    return com::ModuleTypeInfo(CLSID_Corvid, info);
}

STDMETHODIMP CCorvid::GetGUID(DWORD kind, GUID* guid) {
    if (!guid) return E_POINTER;
    *guid = GUID_NULL;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
    *guid = DIID_ICorvidEvents;
    return S_OK;
}

// ---- ISupportErrorInfo ----

// The three dispatch interfaces are one vtable: error information comes with each of them.
STDMETHODIMP CCorvid::InterfaceSupportsErrorInfo(REFIID iid) {
    return iid == IID_ICorvid || iid == IID_ICorvid2 || iid == IID_ICorvid3 ? S_OK : S_FALSE;
}

// ---- IOleObject ----

STDMETHODIMP CCorvid::SetClientSite(IOleClientSite* site) {
    clientSite_ = site;
    return S_OK;
}

STDMETHODIMP CCorvid::GetClientSite(IOleClientSite** site) {
    if (!site) return E_POINTER;
    return clientSite_.CopyTo(site);
}

STDMETHODIMP CCorvid::SetHostNames(LPCOLESTR, LPCOLESTR) {
    return S_OK;
}

STDMETHODIMP CCorvid::Close(DWORD) {
    InPlaceDeactivate();
    if (oleAdvise_) oleAdvise_->SendOnClose();
    return S_OK;
}

STDMETHODIMP CCorvid::SetMoniker(DWORD, IMoniker*) {
    return E_NOTIMPL;
}

STDMETHODIMP CCorvid::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CCorvid::InitFromData(IDataObject*, BOOL, DWORD) {
    return E_NOTIMPL;
}

STDMETHODIMP CCorvid::GetClipboardData(DWORD, IDataObject** data) {
    if (data) *data = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CCorvid::DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND,
                             LPCRECT position) {
    IOleClientSite* site = activeSite ? activeSite : clientSite_.Get();
    switch (verb) {
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE: return InPlaceActivate(site, position, false);
    case OLEIVERB_UIACTIVATE: return InPlaceActivate(site, position, true);
    case OLEIVERB_HIDE:
        UIDeactivate();
        if (window_) ShowWindow(window_.Get(), SW_HIDE);
        return S_OK;
    case OLEIVERB_PRIMARY:    // registered as "&Properties"
    case OLEIVERB_PROPERTIES: // TODO(pages): show the property frame once the pages exist
    case OLEIVERB_OPEN: return E_NOTIMPL;
    default: return verb > 0 ? OLEOBJ_S_INVALIDVERB : E_NOTIMPL;
    }
}

STDMETHODIMP CCorvid::EnumVerbs(IEnumOLEVERB** verbs) {
    if (!verbs) return E_POINTER;
    return OleRegEnumVerbs(CLSID_Corvid, verbs);
}

STDMETHODIMP CCorvid::Update() {
    return S_OK;
}
STDMETHODIMP CCorvid::IsUpToDate() {
    return S_OK;
}

STDMETHODIMP CCorvid::GetUserClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_Corvid;
    return S_OK;
}

STDMETHODIMP CCorvid::GetUserType(DWORD form, LPOLESTR* type) {
    if (!type) return E_POINTER;
    return OleRegGetUserType(CLSID_Corvid, form, type);
}

STDMETHODIMP CCorvid::SetExtent(DWORD aspect, SIZEL* size) {
    if (!size) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    extent_ = *size;
    return S_OK;
}

STDMETHODIMP CCorvid::GetExtent(DWORD aspect, SIZEL* size) {
    if (!size) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    *size = extent_;
    return S_OK;
}

STDMETHODIMP CCorvid::Advise(IAdviseSink* sink, DWORD* connection) {
    if (!connection) return E_POINTER;
    *connection = 0;
    if (!oleAdvise_) {
        const HRESULT hr = CreateOleAdviseHolder(&oleAdvise_);
        if (FAILED(hr)) return hr;
    }
    return oleAdvise_->Advise(sink, connection);
}

STDMETHODIMP CCorvid::Unadvise(DWORD connection) {
    if (!oleAdvise_) return OLE_E_NOCONNECTION;
    return oleAdvise_->Unadvise(connection);
}

STDMETHODIMP CCorvid::EnumAdvise(IEnumSTATDATA** advise) {
    if (!advise) return E_POINTER;
    *advise = nullptr;
    if (!oleAdvise_) return S_OK;
    return oleAdvise_->EnumAdvise(advise);
}

STDMETHODIMP CCorvid::GetMiscStatus(DWORD aspect, DWORD* status) {
    if (!status) return E_POINTER;
    *status = aspect == DVASPECT_CONTENT ? kMiscStatus : 0;
    return S_OK;
}

STDMETHODIMP CCorvid::SetColorScheme(LOGPALETTE*) {
    return E_NOTIMPL;
}

// ---- In-place activation ----

HRESULT CCorvid::InPlaceActivate(IOleClientSite* site, LPCRECT position, bool uiActivate) {
    if (!site) return E_INVALIDARG;
    if (!inPlaceActive_) {
        ComPtr<IOleInPlaceSite> inPlaceSite;
        if (FAILED(site->QueryInterface(IID_PPV_ARGS(&inPlaceSite)))) return E_NOINTERFACE;
        if (inPlaceSite->CanInPlaceActivate() != S_OK) return E_FAIL;
        HRESULT hr = inPlaceSite->OnInPlaceActivate();
        if (FAILED(hr)) return hr;
        inPlaceSite_ = inPlaceSite;
        inPlaceActive_ = true;

        HWND parent = nullptr;
        RECT placed{}, clip{};
        OLEINPLACEFRAMEINFO frameInfo{};
        frameInfo.cb = sizeof(frameInfo);
        hr = inPlaceSite_->GetWindow(&parent);
        if (SUCCEEDED(hr))
            hr = inPlaceSite_->GetWindowContext(&frame_, &document_, &placed, &clip, &frameInfo);
        if (SUCCEEDED(hr)) hr = CreateControlWindow(parent, position ? *position : placed);
        if (FAILED(hr)) {
            InPlaceDeactivate();
            return hr;
        }
    } else if (position) {
        SetObjectRects(position, nullptr);
    }
    ShowWindow(window_.Get(), SW_SHOW);

    if (uiActivate && !uiActive_) {
        uiActive_ = true;
        inPlaceSite_->OnUIActivate();
        IOleInPlaceActiveObject* active = this;
        if (frame_) frame_->SetActiveObject(active, nullptr);
        if (document_) document_->SetActiveObject(active, nullptr);
        SetFocus(window_.Get());
    }
    return S_OK;
}

HRESULT CCorvid::CreateControlWindow(HWND parent, const RECT& position) {
    const HINSTANCE instance = com::ModuleHandle();
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (!GetClassInfoExW(instance, kWindowClass, &existing)) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
        windowClass.lpfnWndProc = &CCorvid::WindowProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.lpszClassName = kWindowClass;
        if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            return HRESULT_FROM_WIN32(GetLastError());
    }
    HWND window =
        CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                        position.left, position.top, position.right - position.left,
                        position.bottom - position.top, parent, nullptr, instance, this);
    if (!window) return HRESULT_FROM_WIN32(GetLastError());
    window_.Reset(window);
    return S_OK;
}

LRESULT CALLBACK CCorvid::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* control = reinterpret_cast<CCorvid*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_ERASEBKGND: return 1; // WM_PAINT covers the whole client area
    case WM_PAINT:
        if (control) {
            com::PaintDc paint(window);
            RECT client{};
            GetClientRect(window, &client);
            control->Repaint(paint.Get(), client);
            return 0;
        }
        break;
    case WM_NCDESTROY: SetWindowLongPtrW(window, GWLP_USERDATA, 0); break;
    default: break;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

void UnregisterWindowClass() {
    UnregisterClassW(kWindowClass, com::ModuleHandle());
}

// ---- IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject ----

STDMETHODIMP CCorvid::GetWindow(HWND* window) {
    if (!window) return E_POINTER;
    *window = window_.Get();
    return window_ ? S_OK : E_FAIL;
}

STDMETHODIMP CCorvid::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}

STDMETHODIMP CCorvid::InPlaceDeactivate() {
    if (!inPlaceActive_) return S_OK;
    UIDeactivate();
    inPlaceActive_ = false;
    window_.Reset();
    ComPtr<IOleInPlaceSite> site = std::move(inPlaceSite_);
    frame_.Reset();
    document_.Reset();
    if (site) site->OnInPlaceDeactivate();
    return S_OK;
}

STDMETHODIMP CCorvid::UIDeactivate() {
    if (!uiActive_) return S_OK;
    uiActive_ = false;
    if (document_) document_->SetActiveObject(nullptr, nullptr);
    if (frame_) frame_->SetActiveObject(nullptr, nullptr);
    if (inPlaceSite_) inPlaceSite_->OnUIDeactivate(FALSE);
    return S_OK;
}

STDMETHODIMP CCorvid::SetObjectRects(LPCRECT position, LPCRECT) {
    if (!position) return E_POINTER;
    if (window_)
        MoveWindow(window_.Get(), position->left, position->top, position->right - position->left,
                   position->bottom - position->top, TRUE);
    return S_OK;
}

STDMETHODIMP CCorvid::ReactivateAndUndo() {
    return E_NOTIMPL;
}
STDMETHODIMP CCorvid::TranslateAccelerator(LPMSG) {
    return S_FALSE;
}
STDMETHODIMP CCorvid::OnFrameWindowActivate(BOOL) {
    return S_OK;
}
STDMETHODIMP CCorvid::OnDocWindowActivate(BOOL) {
    return S_OK;
}
STDMETHODIMP CCorvid::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
    return S_OK;
}
STDMETHODIMP CCorvid::EnableModeless(BOOL) {
    return S_OK;
}

// ---- IOleControl ----

STDMETHODIMP CCorvid::GetControlInfo(CONTROLINFO* info) {
    if (!info) return E_POINTER;
    return E_NOTIMPL; // no mnemonics
}

STDMETHODIMP CCorvid::OnMnemonic(MSG*) {
    return E_NOTIMPL;
}
STDMETHODIMP CCorvid::OnAmbientPropertyChange(DISPID) {
    return S_OK;
}
STDMETHODIMP CCorvid::FreezeEvents(BOOL) {
    return S_OK;
}

// ---- IViewObject2 ----

STDMETHODIMP CCorvid::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC drawDc,
                           LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                           ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!drawDc || !bounds) return E_INVALIDARG;
    const RECT area{bounds->left, bounds->top, bounds->right, bounds->bottom};
    Repaint(drawDc, area);
    return S_OK;
}

STDMETHODIMP CCorvid::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors) {
    if (colors) *colors = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CCorvid::Freeze(DWORD, LONG, void*, DWORD* freeze) {
    if (freeze) *freeze = 0;
    return E_NOTIMPL;
}

STDMETHODIMP CCorvid::Unfreeze(DWORD) {
    return E_NOTIMPL;
}

STDMETHODIMP CCorvid::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
    viewSink_ = sink;
    viewAspects_ = aspects;
    viewAdviseFlags_ = flags;
    return S_OK;
}

STDMETHODIMP CCorvid::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
    if (aspects) *aspects = viewAspects_;
    if (flags) *flags = viewAdviseFlags_;
    if (sink) return viewSink_.CopyTo(sink);
    return S_OK;
}

STDMETHODIMP CCorvid::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    return GetExtent(aspect, size);
}

// ---- IDataObject ----

STDMETHODIMP CCorvid::GetData(FORMATETC*, STGMEDIUM*) {
    return DV_E_FORMATETC;
}
STDMETHODIMP CCorvid::GetDataHere(FORMATETC*, STGMEDIUM*) {
    return DV_E_FORMATETC;
}
STDMETHODIMP CCorvid::QueryGetData(FORMATETC*) {
    return DV_E_FORMATETC;
}

STDMETHODIMP CCorvid::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) {
    if (out) out->ptd = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CCorvid::SetData(FORMATETC*, STGMEDIUM*, BOOL) {
    return E_NOTIMPL;
}

STDMETHODIMP CCorvid::EnumFormatEtc(DWORD, IEnumFORMATETC** formats) {
    if (formats) *formats = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CCorvid::DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink,
                              DWORD* connection) {
    if (!connection) return E_POINTER;
    *connection = 0;
    if (!dataAdvise_) {
        const HRESULT hr = CreateDataAdviseHolder(&dataAdvise_);
        if (FAILED(hr)) return hr;
    }
    return dataAdvise_->Advise(static_cast<IDataObject*>(this), format, flags, sink, connection);
}

STDMETHODIMP CCorvid::DUnadvise(DWORD connection) {
    if (!dataAdvise_) return OLE_E_NOCONNECTION;
    return dataAdvise_->Unadvise(connection);
}

STDMETHODIMP CCorvid::EnumDAdvise(IEnumSTATDATA** advise) {
    if (!advise) return E_POINTER;
    *advise = nullptr;
    if (!dataAdvise_) return S_OK;
    return dataAdvise_->EnumAdvise(advise);
}

} // namespace core
