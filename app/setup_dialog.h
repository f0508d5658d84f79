// The program's small forms toolkit for its modal setup dialogs: a dialog base that routes
// control notifications through a table of control ids and handlers and shows every failure
// in the error box, and the bounded field (edit + up-down + limits).
#pragma once

#include "corvid_h.h"

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace vidora {

class MainWindow;
struct AppState;

// A control property read and written as a 32-bit number, whatever its declared type.
struct LongProperty {
    std::function<HRESULT(ICorvid3*, long*)> get;
    std::function<HRESULT(ICorvid3*, long)> put;
};
template <class Interface, class T>
LongProperty PropertyOf(HRESULT (STDMETHODCALLTYPE Interface::*get)(T*),
                        HRESULT (STDMETHODCALLTYPE Interface::*put)(T)) {
    return {[get](ICorvid3* c, long* value) {
                T v{};
                const HRESULT hr = (c->*get)(&v);
                *value = static_cast<long>(v);
                return hr;
            },
            [put](ICorvid3* c, long value) { return (c->*put)(static_cast<T>(value)); }};
}
#define CORVID_PROPERTY(Name) PropertyOf(&ICorvid3::get_##Name, &ICorvid3::put_##Name)


// Lets the window messages waiting on this thread run.
void RunPendingMessages();

// An edit and its up-down control; the range comes from the device's long range record.
class BoundedField {
public:
    BoundedField() = default;
    BoundedField(int labelId, int editId, int upDownId) :
        labelId_(labelId), editId_(editId), upDownId_(upDownId) {}
    void Attach(HWND dialog);
    int EditId() const { return editId_; }
    HWND UpDown() const { return upDown_; }
    void Enable(bool enable) const;
    // Min, Max and the step (a granularity of 0 steps by 1), then the value shown.
    void SetRange(long min, long max, long increment) const;
    void SetValue(long value) const;
    // The typing rules: in range the up-down follows, above the maximum the text becomes the
    // maximum at once, below the minimum the text stays as typed.
    void TextChanged() const;
    void UpDownChanged() const;

private:
    int labelId_ = 0, editId_ = 0, upDownId_ = 0;
    HWND dialog_ = nullptr, edit_ = nullptr, upDown_ = nullptr;
    mutable bool showing_ = false;  // the program, not the operator, is writing the text
};

class SetupDialog {
public:
    SetupDialog(MainWindow& main, int templateId) : main_(main), templateId_(templateId) {}
    SetupDialog(const SetupDialog&) = delete;
    SetupDialog& operator=(const SetupDialog&) = delete;
    virtual ~SetupDialog() = default;

    // Shows the dialog modally over the main window until it is closed.
    void Run();

protected:
    using Handler = std::function<HRESULT()>;
    // Routes a notification of a control to its handler (code: BN_CLICKED, EN_CHANGE, ...).
    void On(int id, WORD code, Handler handler) { handlers_.push_back({id, code, std::move(handler)}); }
    void OnClick(int id, Handler handler) { On(id, BN_CLICKED, std::move(handler)); }
    void Add(BoundedField& field) { fields_.push_back(&field); }

    // Form_Load; a failure is shown in the error box and the dialog stays open.
    virtual HRESULT Load() = 0;
    // Messages beyond the notifications (timers, drawing, sliders); true when handled.
    virtual bool Message(UINT, WPARAM, LPARAM) { return false; }
    // Runs a handler as a notification would: clears the error, shows a failure.
    void Trap(const Handler& handler);

    void Close(int result = IDOK) { EndDialog(window_, result); }
    MainWindow& Main() { return main_; }
    ICorvid3* Control();
    AppState& State();
    HWND Window() const { return window_; }
    HWND Item(int id) const { return GetDlgItem(window_, id); }

    std::wstring Text(int id) const;
    void SetText(int id, const std::wstring& text) const { SetDlgItemTextW(window_, id, text.c_str()); }
    void SetNumber(int id, long value) const { SetText(id, std::to_wstring(value)); }
    void Enable(std::initializer_list<int> ids, bool enable) const;
    bool Enabled(int id) const { return IsWindowEnabled(Item(id)); }
    bool Checked(int id) const { return IsDlgButtonChecked(window_, id) == BST_CHECKED; }
    void Check(int id, bool check) const { CheckDlgButton(window_, id, check ? BST_CHECKED : BST_UNCHECKED); }
    // The text of a control as a 32-bit integer; a type-mismatch error when it is none.
    HRESULT Integer(int id, long& value) const;
    // The 4-byte capability answer of a key, into AppState::CapsValue.
    HRESULT Caps(stSTT_FG_INPUT_CAP_KEY key);

private:
    struct Route {
        int id;
        WORD code;
        Handler handler;
    };
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);

    MainWindow& main_;
    int templateId_;
    HWND window_ = nullptr;
    std::vector<Route> handlers_;
    std::vector<BoundedField*> fields_;
};

// A note with a "Remind me again later" box bound to one of the program's reminder flags.
class ReminderNote final : public SetupDialog {
public:
    ReminderNote(MainWindow& main, int templateId, int boxId, int okId, bool& remind) :
        SetupDialog(main, templateId), boxId_(boxId), remind_(remind) {
        const Handler ok = [this] {
            remind_ = Checked(boxId_);
            Close();
            return S_OK;
        };
        OnClick(okId, ok);
        OnClick(IDCANCEL, ok);
    }

private:
    HRESULT Load() override {
        Check(boxId_, remind_);
        return S_OK;
    }
    int boxId_;
    bool& remind_;
};


} // namespace vidora
