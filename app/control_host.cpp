#include "control_host.h"

namespace vidora {

com::InterfaceTable<ControlSite> ControlSite::Interfaces() {
    static const com::InterfaceEntry<Self> table[] = {
        com::Entry<Self, IOleClientSite>(),
        com::Entry<Self, IOleInPlaceSite>(),
        com::Entry<Self, IOleWindow, IOleInPlaceSite>(),
        com::Entry<Self, IOleInPlaceFrame>(),
        com::Entry<Self, IOleInPlaceUIWindow, IOleInPlaceFrame>(),
    };
    return table;
}

STDMETHODIMP ControlSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (!moniker) return E_POINTER;
    *moniker = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP ControlSite::GetContainer(IOleContainer** container) {
    if (!container) return E_POINTER;
    *container = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP ControlSite::GetWindow(HWND* window) {
    if (!window) return E_POINTER;
    *window = parent_;
    return S_OK;
}

STDMETHODIMP ControlSite::GetWindowContext(IOleInPlaceFrame** frame,
                                           IOleInPlaceUIWindow** document, LPRECT position,
                                           LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
    if (!frame || !document || !position || !clip || !info) return E_POINTER;
    *frame = this;
    AddRef();
    *document = nullptr;
    *position = position_;
    *clip = position_;
    info->fMDIApp = FALSE;
    info->hwndFrame = parent_;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
}

HRESULT ControlHost::Create(HWND parent, const wchar_t* progId, const RECT& position) {
    Destroy();
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(progId, &clsid);
    if (FAILED(hr)) return hr;
    com::ComPtr<IOleObject> object;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object));
    if (FAILED(hr)) return hr;
    com::ComPtr<ControlSite> site;
    hr = com::Make(site, parent, position);
    if (FAILED(hr)) return hr;
    hr = object->SetClientSite(site.Get());
    if (FAILED(hr)) return hr;
    if (com::ComPtr<IPersistStreamInit> persist; SUCCEEDED(object.As(&persist))) {
        hr = persist->InitNew();
        if (FAILED(hr)) {
            object->SetClientSite(nullptr);
            return hr;
        }
    }
    RECT rect = position;
    hr = object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.Get(), 0, parent, &rect);
    com::ComPtr<IOleInPlaceObject> inPlace;
    if (SUCCEEDED(hr)) hr = object.As(&inPlace);
    HWND window = nullptr;
    if (SUCCEEDED(hr)) hr = inPlace->GetWindow(&window);
    if (FAILED(hr)) {
        object->Close(OLECLOSE_NOSAVE);
        object->SetClientSite(nullptr);
        return hr;
    }
    site_ = std::move(site);
    object_ = std::move(object);
    window_ = window;
    return S_OK;
}

void ControlHost::Move(const RECT& position) {
    if (!object_) return;
    site_->SetPosition(position);
    com::ComPtr<IOleInPlaceObject> inPlace;
    if (SUCCEEDED(object_.As(&inPlace))) inPlace->SetObjectRects(&position, &position);
}

void ControlHost::Destroy() {
    if (!object_) return;
    if (com::ComPtr<IOleInPlaceObject> inPlace; SUCCEEDED(object_.As(&inPlace)))
        inPlace->InPlaceDeactivate();
    object_->Close(OLECLOSE_NOSAVE);
    object_->SetClientSite(nullptr);
    object_.Reset();
    site_.Reset();
    window_ = nullptr;
}

} // namespace vidora
