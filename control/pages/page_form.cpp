#include "page_form.h"

#include "raii.h"

#include <commctrl.h>

#include <cwchar>

namespace pages {
namespace {

// Results an interface defines for itself (the control's statuses among them) carry their
// meaning in the error's description; the platform has no text for them.
bool IsInterfaceResult(HRESULT hr) {
    const auto code = static_cast<uint32_t>(hr);
    return code >= 0x80040200u && code <= 0x8004FFFFu;
}

std::wstring SystemText(HRESULT hr) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length ? std::wstring(buffer, length) : std::wstring();
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    return text;
}

} // namespace

std::wstring ErrorText(HRESULT hr, const wchar_t* description) {
    if (IsInterfaceResult(hr) && description && *description) return description;
    std::wstring text = SystemText(hr);
    if (!text.empty()) return text;
    wchar_t buffer[64];
    if (IsInterfaceResult(hr))
        swprintf(buffer, std::size(buffer), L"IDispatch error #%d", static_cast<int>(hr - 0x80040200));
    else
        swprintf(buffer, std::size(buffer), L"Unknown error 0x%0lX", static_cast<unsigned long>(hr));
    return buffer;
}

long OnStep(const stSTT_LNG_RNG& range, long value) {
    if (value <= range.Min) return range.Min;
    if (value >= range.Max) return range.Max;
    const long long step = range.Granularity > 0 ? range.Granularity : 1;
    return static_cast<long>(range.Min + (static_cast<long long>(value) - range.Min) / step * step);
}

bool PageForm::Handle(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    // Notifications caused by the form's own showing of values are not the user's edits.
    if (message == WM_COMMAND && !showing_) {
        for (const Route& route : routes_) {
            if (route.id == LOWORD(wParam) && route.code == HIWORD(wParam)) {
                route.handler();
                result = TRUE;
                return true;
            }
        }
    }
    return Message(message, wParam, lParam, result);
}

long PageForm::DeviceType() const {
    ICorvid3* control = Control();
    DeviceTypeEnum type{};
    if (!control || FAILED(control->get_DeviceType(&type))) return 0;
    return static_cast<long>(type);
}

HRESULT PageForm::Caps(stSTT_FG_INPUT_CAP_KEY key, void* answer, long size) const {
    ICorvid3* control = Control();
    if (!control) return E_UNEXPECTED;
    const HRESULT hr = control->QueryInputCaps(key, static_cast<long*>(answer), size);
    return hr == static_cast<HRESULT>(STC_STS_UNSUPKEY) ? S_FALSE : hr;
}

HRESULT PageForm::Flag(stSTT_FG_INPUT_CAP_KEY key, bool& flag) const {
    long answer = 0;
    const HRESULT hr = Caps(key, &answer, sizeof answer);
    flag = hr == S_OK && answer != 0;
    return FAILED(hr) ? hr : S_OK;
}

HRESULT PageForm::Present(HRESULT hr, const wchar_t* source) const {
    com::UniqueBstr description, helpFile;
    DWORD helpContext = 0;
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) == S_OK && info) {
        info->GetDescription(description.Out());
        info->GetHelpFile(helpFile.Out());
        info->GetHelpContext(&helpContext);
    }
    const std::wstring text =
        ErrorText(hr, description.Get()) + L"\nWould you like to see additional help?";
    if (MessageBoxW(dialog_, text.c_str(), source, MB_YESNO | MB_ICONEXCLAMATION) == IDYES &&
        !helpFile.Empty())
        WinHelpW(dialog_, helpFile.Text(), HELP_CONTEXT, helpContext);
    return hr;
}

std::wstring PageForm::Text(int id) const {
    HWND item = Item(id);
    const int length = item ? GetWindowTextLengthW(item) : 0;
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    if (item) GetWindowTextW(item, text.data(), length + 1);
    text.resize(wcslen(text.c_str()));
    return text;
}

void PageForm::SetText(int id, const std::wstring& text) const {
    Showing showing(const_cast<PageForm&>(*this));
    SetDlgItemTextW(dialog_, id, text.c_str());
}

unsigned long PageForm::Unsigned(int id) const {
    const std::wstring text = Text(id);
    unsigned long value = 0;
    for (wchar_t c : text) {
        if (c == L' ' && value == 0) continue;
        if (c < L'0' || c > L'9') break;
        value = value * 10 + static_cast<unsigned long>(c - L'0');
    }
    return value;
}

void PageForm::Enable(std::initializer_list<int> ids, bool enable) const {
    for (int id : ids)
        if (HWND item = Item(id)) EnableWindow(item, enable);
}

void PageForm::Check(int id, bool check) const {
    Showing showing(const_cast<PageForm&>(*this));
    CheckDlgButton(dialog_, id, check ? BST_CHECKED : BST_UNCHECKED);
}

void PageForm::ClearList(int id) const {
    SendDlgItemMessageW(dialog_, id, CB_RESETCONTENT, 0, 0);
}

void PageForm::AddEntry(int id, const std::wstring& text, LPARAM data) const {
    const LRESULT at = SendDlgItemMessageW(dialog_, id, CB_ADDSTRING, 0,
                                           reinterpret_cast<LPARAM>(text.c_str()));
    if (at >= 0) SendDlgItemMessageW(dialog_, id, CB_SETITEMDATA, static_cast<WPARAM>(at), data);
}

int PageForm::EntryCount(int id) const {
    return static_cast<int>(SendDlgItemMessageW(dialog_, id, CB_GETCOUNT, 0, 0));
}

bool PageForm::SelectData(int id, LPARAM data) const {
    const int count = EntryCount(id);
    for (int i = 0; i < count; ++i) {
        if (SendDlgItemMessageW(dialog_, id, CB_GETITEMDATA, static_cast<WPARAM>(i), 0) == data)
            return SelectIndex(id, i);
    }
    SelectIndex(id, -1);
    return false;
}

bool PageForm::SelectIndex(int id, int index) const {
    return SendDlgItemMessageW(dialog_, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0) != CB_ERR;
}

int PageForm::Selected(int id) const {
    return static_cast<int>(SendDlgItemMessageW(dialog_, id, CB_GETCURSEL, 0, 0));
}

LPARAM PageForm::SelectedData(int id, LPARAM otherwise) const {
    const int at = Selected(id);
    if (at < 0) return otherwise;
    return SendDlgItemMessageW(dialog_, id, CB_GETITEMDATA, static_cast<WPARAM>(at), 0);
}

void PageForm::SetSlider(int id, long min, long max, long step, long position) const {
    SendDlgItemMessageW(dialog_, id, TBM_SETRANGEMIN, FALSE, min);
    SendDlgItemMessageW(dialog_, id, TBM_SETRANGEMAX, FALSE, max);
    SendDlgItemMessageW(dialog_, id, TBM_SETLINESIZE, 0, step > 0 ? step : 1);
    SendDlgItemMessageW(dialog_, id, TBM_SETPAGESIZE, 0, step > 0 ? step : 1);
    SendDlgItemMessageW(dialog_, id, TBM_SETPOS, TRUE, position);
}

long PageForm::SliderPosition(int id) const {
    return static_cast<long>(SendDlgItemMessageW(dialog_, id, TBM_GETPOS, 0, 0));
}

} // namespace pages
