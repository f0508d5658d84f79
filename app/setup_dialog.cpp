#include "setup_dialog.h"

#include "error_box.h"
#include "layout.h"
#include "main_window.h"
#include "resource.h"
#include "setting_values.h"
#include "setup_dialogs.h"

#include <commctrl.h>
#include <olectl.h>

namespace vidora {

void RunPendingMessages() {
    // Bounded in time: during live video at full speed new paints keep arriving and the queue
    // may never run empty.
    const ULONGLONG end = GetTickCount64() + 50;
    MSG msg;
    while (GetTickCount64() < end && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void BoundedField::Attach(HWND dialog) {
    dialog_ = dialog;
    edit_ = GetDlgItem(dialog, editId_);
    upDown_ = GetDlgItem(dialog, upDownId_);
    SendMessageW(upDown_, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit_), 0);
}

void BoundedField::Enable(bool enable) const {
    for (int id : {labelId_, editId_, upDownId_}) EnableWindow(GetDlgItem(dialog_, id), enable);
}

void BoundedField::SetRange(long min, long max, long increment) const {
    SendMessageW(upDown_, UDM_SETRANGE32, min, max);
    UDACCEL step{0, static_cast<UINT>(increment > 0 ? increment : 1)};
    SendMessageW(upDown_, UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&step));
}

void BoundedField::SetValue(long value) const {
    SendMessageW(upDown_, UDM_SETPOS32, 0, value);
    showing_ = true;
    SetWindowTextW(edit_, std::to_wstring(value).c_str());
    showing_ = false;
}

void BoundedField::TextChanged() const {
    if (showing_) return;
    wchar_t text[64] = L"";
    GetWindowTextW(edit_, text, 64);
    const double value = LeadingNumber(text);
    int min = 0, max = 0;
    SendMessageW(upDown_, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&min), reinterpret_cast<LPARAM>(&max));
    switch (ClassifyTyped(value, min, max)) {
    case FieldTyping::Accept:
        SendMessageW(upDown_, UDM_SETPOS32, 0, RoundHalfEven(value));
        break;
    case FieldTyping::ClampToMax:
        SendMessageW(upDown_, UDM_SETPOS32, 0, max);
        SetWindowTextW(edit_, std::to_wstring(max).c_str());
        break;
    case FieldTyping::LeaveAsTyped: break;
    }
}

void BoundedField::UpDownChanged() const {
    const LRESULT value = SendMessageW(upDown_, UDM_GETPOS32, 0, 0);
    SetWindowTextW(edit_, std::to_wstring(static_cast<long>(value)).c_str());
}

void SetupDialog::Run() {
    const HINSTANCE instance =
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(main_.Window(), GWLP_HINSTANCE));
    DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId_), main_.Window(), DialogProc,
                    reinterpret_cast<LPARAM>(this));
}

ICorvid3* SetupDialog::Control() { return main_.Control(); }
AppState& SetupDialog::State() { return main_.State(); }

INT_PTR CALLBACK SetupDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        reinterpret_cast<SetupDialog*>(lParam)->window_ = window;
    }
    auto* self = reinterpret_cast<SetupDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    return self ? self->Handle(message, wParam, lParam) : FALSE;
}

INT_PTR SetupDialog::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        for (BoundedField* field : fields_) field->Attach(window_);
        Trap([this] { return Load(); });
        return TRUE;
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const WORD code = HIWORD(wParam);
        if (code == EN_CHANGE)
            for (BoundedField* field : fields_)
                if (field->EditId() == id) field->TextChanged();
        bool handled = false;
        for (const Route& route : handlers_)
            if (route.id == id && route.code == code) {
                Trap(route.handler);
                handled = true;
            }
        // The close box and Escape cancel every dialog that has no handler of its own.
        if (!handled && id == IDCANCEL) Close(IDCANCEL);
        return TRUE;
    }
    case WM_VSCROLL:
        for (BoundedField* field : fields_)
            if (field->UpDown() == reinterpret_cast<HWND>(lParam)) {
                field->UpDownChanged();
                return TRUE;
            }
        break;
    }
    return Message(message, wParam, lParam) ? TRUE : FALSE;
}

void SetupDialog::Trap(const Handler& handler) {
    SetErrorInfo(0, nullptr);
    const HRESULT hr = handler();
    if (FAILED(hr)) ShowErrorBox(window_, ErrorDescription(hr));
}

std::wstring SetupDialog::Text(int id) const {
    const HWND item = Item(id);
    const int length = GetWindowTextLengthW(item);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(item, text.data(), length + 1)));
    return text;
}

void SetupDialog::Enable(std::initializer_list<int> ids, bool enable) const {
    for (int id : ids) EnableWindow(Item(id), enable);
}

HRESULT SetupDialog::Integer(int id, long& value) const {
    const std::optional<long> number = IntegerOf(Text(id));
    if (!number) return ProgramError(DISP_E_TYPEMISMATCH, L"Type mismatch");
    value = *number;
    return S_OK;
}

HRESULT SetupDialog::Caps(stSTT_FG_INPUT_CAP_KEY key) {
    return main_.Control()->QueryInputCaps(key, &main_.State().CapsValue, 4);
}

} // namespace vidora

namespace vidora {

bool RunSetupCommand(MainWindow& main, int commandId) {
    static const struct {
        int command;
        void (*show)(MainWindow&);
    } kDialogs[] = {
        {IDM_SET_CAMERA_TYPE, ShowCameraType},
        {IDM_SET_TIMEOUT, ShowTimeout},
        {IDM_COLOR_IMAGE_PARAMETERS, ShowColorImageParameters},
        {IDM_SELECT_INPUT_SOURCE, ShowInputSource},
        {IDM_INPUT_FILTER, ShowInputFilter},
        {IDM_PROGRAMMABLE_AD, ShowProgrammableAD},
        {IDM_VIDEO_INPUT_TYPE, ShowVideoInputType},
        {IDM_FRAME_TYPE, ShowFrameType},
        {IDM_SYNC_SENTINEL, ShowSyncSentinel},
        {IDM_PIXEL_CLOCK, ShowPixelClock},
        {IDM_ACTIVE_VIDEO_AREA, ShowActiveVideoArea},
        {IDM_FRAME_SIZE, ShowFrameSize},
        {IDM_SYNC_MASTER, ShowSyncMaster},
        {IDM_CAMERA_EXPOSURE, ShowCameraExposure},
        {IDM_DIGITAL_IO, ShowDigitalIO},
        {IDM_EXTERNAL_TRIGGER, ShowExternalTrigger},
        {IDM_ABOUT_VIDORA, ShowAbout},
    };
    for (const auto& dialog : kDialogs)
        if (dialog.command == commandId) {
            dialog.show(main);
            return true;
        }
    return false;
}

} // namespace vidora
