// One property page object: the platform's property-page protocol over a dialog template of
// this library, holding the form that fills the dialog. The page's class (title, template,
// help, form) comes from the page table.
#pragma once

#include "com_object.h"
#include "page_form.h"
#include "page_table.h"

#include <ocidl.h>
#include <olectl.h>

#include <memory>
#include <vector>

namespace pages {

class PropertyPage final : public com::Object<PropertyPage, IPropertyPage2, IPropertyNotifySink>,
                           private PageHost {
public:
    explicit PropertyPage(const PageClass& page);
    ~PropertyPage() override;

    static com::InterfaceTable<PropertyPage> Interfaces() {
        static const com::InterfaceEntry<PropertyPage> table[] = {
            com::Entry<PropertyPage, IPropertyPage2>(),
            com::Entry<PropertyPage, IPropertyPage, IPropertyPage2>(),
            com::Entry<PropertyPage, IPropertyNotifySink>(),
        };
        return table;
    }

    // IPropertyPage
    STDMETHODIMP SetPageSite(IPropertyPageSite* site) override;
    STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL modal) override;
    STDMETHODIMP Deactivate() override;
    STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override;
    STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override;
    STDMETHODIMP Show(UINT command) override;
    STDMETHODIMP Move(LPCRECT rect) override;
    STDMETHODIMP IsPageDirty() override;
    STDMETHODIMP Apply() override;
    STDMETHODIMP Help(LPCOLESTR directory) override;
    STDMETHODIMP TranslateAccelerator(MSG* message) override;
    // IPropertyPage2
    STDMETHODIMP EditProperty(DISPID id) override;
    // IPropertyNotifySink: the first object's property changes.
    STDMETHODIMP OnChanged(DISPID id) override;
    STDMETHODIMP OnRequestEdit(DISPID id) override;

private:
    // PageHost
    ICorvid3* Control() override;
    std::vector<ComPtr<ICorvid3>> Controls() override;
    void SetDirty(bool dirty) override;

    void Listen();
    void StopListening();
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    const PageClass& class_;
    std::unique_ptr<PageForm> form_;
    ComPtr<IPropertyPageSite> site_;
    std::vector<ComPtr<IUnknown>> objects_;
    ComPtr<ICorvid3> control_; // of the first object
    ComPtr<IConnectionPoint> notifications_;
    DWORD cookie_ = 0;
    HWND dialog_ = nullptr;
    bool dirty_ = false;
};

} // namespace pages
