#include "property_page.h"

#include "module.h"
#include "raii.h"

#include <commctrl.h>

#include <cwchar>

namespace pages {
namespace {

// The page templates use 8-point "MS Shell Dlg"; a dialog unit is a quarter of that font's
// average character width across and an eighth of its height down.
SIZE DialogUnitsToPixels(SIZE units) {
    com::WindowDc screen(nullptr);
    LOGFONTW font{};
    font.lfHeight = -MulDiv(8, GetDeviceCaps(screen.Get(), LOGPIXELSY), 72);
    font.lfCharSet = DEFAULT_CHARSET;
    wcscpy(font.lfFaceName, L"MS Shell Dlg");
    com::UniqueFont handle(CreateFontIndirectW(&font));
    com::SelectedObject selected(screen.Get(), handle.Get());
    TEXTMETRICW metrics{};
    GetTextMetricsW(screen.Get(), &metrics);
    SIZE extent{};
    static constexpr wchar_t kAlphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    GetTextExtentPoint32W(screen.Get(), kAlphabet, 52, &extent);
    const int baseX = (extent.cx / 26 + 1) / 2;
    const int baseY = metrics.tmHeight;
    return {MulDiv(units.cx, baseX, 4), MulDiv(units.cy, baseY, 8)};
}

wchar_t* TaskMemCopy(const std::wstring& text) {
    auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc((text.size() + 1) * sizeof(wchar_t)));
    if (copy) wmemcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

std::wstring LoadText(UINT id) {
    const wchar_t* text = nullptr;
    const int length = LoadStringW(com::ModuleHandle(), id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

} // namespace

HRESULT CreatePage(const PageClass& page, REFIID iid, void** out) {
    return com::CreateInstance<PropertyPage>(iid, out, page);
}

PropertyPage::PropertyPage(const PageClass& page) : class_(page), form_(page.makeForm()) {}

PropertyPage::~PropertyPage() {
    StopListening();
    if (dialog_) DestroyWindow(dialog_);
}

STDMETHODIMP PropertyPage::SetPageSite(IPropertyPageSite* site) {
    site_ = site;
    return S_OK;
}

STDMETHODIMP PropertyPage::Activate(HWND parent, LPCRECT rect, BOOL) {
    if (!rect) return E_POINTER;
    if (dialog_) return E_UNEXPECTED;
    if (!form_) return E_OUTOFMEMORY;
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&classes);
    dialog_ = CreateDialogParamW(com::ModuleHandle(), MAKEINTRESOURCEW(class_.titleId), parent,
                                 &PropertyPage::DialogProc, reinterpret_cast<LPARAM>(this));
    if (!dialog_) return HRESULT_FROM_WIN32(GetLastError());
    MoveWindow(dialog_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
               FALSE);
    form_->Attach(this, dialog_);
    form_->Initialize();
    Listen();
    return S_OK;
}

STDMETHODIMP PropertyPage::Deactivate() {
    if (!dialog_) return E_UNEXPECTED;
    StopListening();
    form_->Deactivating();
    form_->Detach();
    DestroyWindow(std::exchange(dialog_, nullptr));
    return S_OK;
}

STDMETHODIMP PropertyPage::GetPageInfo(PROPPAGEINFO* info) {
    if (!info) return E_POINTER;
    info->cb = sizeof *info;
    info->pszTitle = TaskMemCopy(LoadText(class_.titleId));
    info->size = DialogUnitsToPixels(class_.templateSize);
    info->pszDocString = TaskMemCopy(kDocString);
    info->pszHelpFile = TaskMemCopy(LoadText(HelpFileId(class_)));
    info->dwHelpContext = 0;
    if (!info->pszTitle || !info->pszDocString || !info->pszHelpFile) {
        CoTaskMemFree(std::exchange(info->pszTitle, nullptr));
        CoTaskMemFree(std::exchange(info->pszDocString, nullptr));
        CoTaskMemFree(std::exchange(info->pszHelpFile, nullptr));
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

STDMETHODIMP PropertyPage::SetObjects(ULONG count, IUnknown** objects) {
    if (count && !objects) return E_POINTER;
    StopListening();
    objects_.clear();
    control_.Reset();
    for (ULONG i = 0; i < count; ++i)
        if (objects[i]) objects_.emplace_back(objects[i]);
    // An object that is no control leaves the page with nothing to edit.
    if (!objects_.empty()) objects_.front().As(&control_);
    if (dialog_) {
        form_->Initialize();
        Listen();
    }
    return S_OK;
}

STDMETHODIMP PropertyPage::Show(UINT command) {
    if (!dialog_) return E_UNEXPECTED;
    ShowWindow(dialog_, static_cast<int>(command));
    return S_OK;
}

STDMETHODIMP PropertyPage::Move(LPCRECT rect) {
    if (!rect) return E_POINTER;
    if (!dialog_) return E_UNEXPECTED;
    MoveWindow(dialog_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
               TRUE);
    return S_OK;
}

STDMETHODIMP PropertyPage::IsPageDirty() {
    return dirty_ ? S_OK : S_FALSE;
}

STDMETHODIMP PropertyPage::Apply() {
    if (!dialog_ || !dirty_) return S_OK;
    // Failures have been shown to the user by the form; the sheet goes on.
    form_->Apply();
    SetDirty(false);
    return S_OK;
}

STDMETHODIMP PropertyPage::Help(LPCOLESTR) {
    // The frame opens the help file that GetPageInfo names.
    return E_NOTIMPL;
}

STDMETHODIMP PropertyPage::TranslateAccelerator(MSG* message) {
    if (!message) return E_POINTER;
    if (!dialog_) return S_FALSE;
    return IsDialogMessageW(dialog_, message) ? S_OK : S_FALSE;
}

STDMETHODIMP PropertyPage::EditProperty(DISPID) {
    return E_NOTIMPL;
}

STDMETHODIMP PropertyPage::OnChanged(DISPID id) {
    if (dialog_) form_->PropertyChanged(id);
    return S_OK;
}

STDMETHODIMP PropertyPage::OnRequestEdit(DISPID) {
    return S_OK;
}

ICorvid3* PropertyPage::Control() {
    return control_.Get();
}

std::vector<ComPtr<ICorvid3>> PropertyPage::Controls() {
    std::vector<ComPtr<ICorvid3>> controls;
    for (const ComPtr<IUnknown>& object : objects_) {
        ComPtr<ICorvid3> control;
        if (SUCCEEDED(object.As(&control))) controls.push_back(control);
    }
    return controls;
}

void PropertyPage::SetDirty(bool dirty) {
    if (dirty_ == dirty) return;
    dirty_ = dirty;
    if (site_) site_->OnStatusChange(dirty ? PROPPAGESTATUS_DIRTY | PROPPAGESTATUS_VALIDATE
                                           : PROPPAGESTATUS_VALIDATE);
}

// The page listens to its first object while its dialog exists.
void PropertyPage::Listen() {
    if (cookie_ || !control_) return;
    ComPtr<IConnectionPointContainer> container;
    if (FAILED(control_.As(&container))) return;
    ComPtr<IConnectionPoint> point;
    if (FAILED(container->FindConnectionPoint(IID_IPropertyNotifySink, &point))) return;
    if (SUCCEEDED(point->Advise(static_cast<IPropertyNotifySink*>(this), &cookie_)))
        notifications_ = point;
}

void PropertyPage::StopListening() {
    if (notifications_ && cookie_) notifications_->Unadvise(cookie_);
    notifications_.Reset();
    cookie_ = 0;
}

INT_PTR CALLBACK PropertyPage::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        return FALSE;
    }
    auto* page = reinterpret_cast<PropertyPage*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!page || page->dialog_ != window) return FALSE;
    INT_PTR result = FALSE;
    if (page->form_->Handle(message, wParam, lParam, result)) {
        if (message != WM_COMMAND) SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
        return message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORDLG ? result : TRUE;
    }
    return FALSE;
}

} // namespace pages
