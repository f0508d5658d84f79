// The content of one property page: the dialog behind the page's tab, the control it edits
// and the handlers of its controls. The COM side (PropertyPage) creates the dialog on
// activation and forwards the platform's calls; a page's form only reads the control, shows
// what it read, and writes it back on Apply.
#pragma once

#include "corvid_h.h"

#include <windows.h>
#include <wrl/client.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace pages {

using Microsoft::WRL::ComPtr;

// A long property of the control, read or written, for tables of properties.
using LongGetter = HRESULT (STDMETHODCALLTYPE ICorvid3::*)(long*);
using LongSetter = HRESULT (STDMETHODCALLTYPE ICorvid3::*)(long);

// What a form needs of the page that holds it.
class PageHost {
public:
    virtual ICorvid3* Control() = 0;              // of the first object; null without one
    virtual std::vector<ComPtr<ICorvid3>> Controls() = 0; // of every object
    virtual void SetDirty(bool dirty) = 0;
protected:
    ~PageHost() = default;
};

class PageForm {
public:
    PageForm() = default;
    PageForm(const PageForm&) = delete;
    PageForm& operator=(const PageForm&) = delete;
    virtual ~PageForm() = default;

    // The dialog was created: read the control and show it.
    virtual void Initialize() = 0;
    // Writes what changed; a failure has been presented already.
    virtual HRESULT Apply() = 0;
    // The control fired its property-changed notification for id.
    virtual void PropertyChanged(DISPID) {}
    // The page is about to be deactivated (its dialog is destroyed after this).
    virtual void Deactivating() {}

    // Called by the page around the dialog's life.
    void Attach(PageHost* host, HWND dialog) {
        host_ = host;
        dialog_ = dialog;
    }
    void Detach() { dialog_ = nullptr; }
    HWND Window() const { return dialog_; }
    // The dialog procedure's share: true when the message was handled.
    bool Handle(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);

protected:
    using Handler = std::function<void()>;
    // Routes a notification of a control (BN_CLICKED, CBN_SELCHANGE, EN_CHANGE...) to a handler.
    void On(int id, WORD code, Handler handler) { routes_.push_back({id, code, std::move(handler)}); }
    void OnClick(int id, Handler handler) { On(id, BN_CLICKED, std::move(handler)); }
    // Messages beyond the notifications (drawing, sliders, timers); true when handled.
    virtual bool Message(UINT, WPARAM, LPARAM, INT_PTR&) { return false; }

    ICorvid3* Control() const { return host_ ? host_->Control() : nullptr; }
    std::vector<ComPtr<ICorvid3>> Controls() const {
        return host_ ? host_->Controls() : std::vector<ComPtr<ICorvid3>>{};
    }
    void SetDirty() const {
        if (host_ && !showing_) host_->SetDirty(true);
    }
    void ClearDirty() const {
        if (host_) host_->SetDirty(false);
    }
    // The user changed a group of controls: its flag up, the page dirty.
    void Changed(bool& flag) const {
        flag = true;
        SetDirty();
    }
    // The form, not the user, changes its controls while this lives: their notifications
    // do not mark the page dirty.
    class Showing {
    public:
        explicit Showing(PageForm& form) : form_(form), was_(form.showing_) { form_.showing_ = true; }
        ~Showing() { form_.showing_ = was_; }
        Showing(const Showing&) = delete;
        Showing& operator=(const Showing&) = delete;
    private:
        PageForm& form_;
        bool was_;
    };
    bool IsShowing() const { return showing_; }

    // The device type of the first object; 0 without a device (or without a control).
    long DeviceType() const;
    // Asks the first object's board an input capability. S_FALSE, the answer untouched, when
    // the board does not know the key: it lacks that feature.
    HRESULT Caps(stSTT_FG_INPUT_CAP_KEY key, void* answer, long size) const;
    // A yes-or-no capability; no for a key the board does not know.
    HRESULT Flag(stSTT_FG_INPUT_CAP_KEY key, bool& flag) const;

    // Presents a failed call on the control in the page's error box, titled with the
    // operation's name (null: no name). Returns hr.
    HRESULT Present(HRESULT hr, const wchar_t* source) const;

    // Dialog controls.
    HWND Item(int id) const { return GetDlgItem(dialog_, id); }
    std::wstring Text(int id) const;
    void SetText(int id, const std::wstring& text) const;
    void SetNumber(int id, long value) const { SetText(id, std::to_wstring(value)); }
    // The text of an edit as an unsigned number (what the user typed, digits only as far
    // as they go, as the platform's GetDlgItemInt reads it).
    unsigned long Unsigned(int id) const;
    void Enable(std::initializer_list<int> ids, bool enable) const;
    bool Checked(int id) const { return IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }
    void Check(int id, bool check) const;

    // Combo boxes: entries with a number each.
    void ClearList(int id) const;
    void AddEntry(int id, const std::wstring& text, LPARAM data = 0) const;
    int EntryCount(int id) const;
    // Selects the first entry with the data; none when no entry has it. True when found.
    bool SelectData(int id, LPARAM data) const;
    bool SelectIndex(int id, int index) const; // -1 clears the selection
    int Selected(int id) const;                // -1 without a selection
    LPARAM SelectedData(int id, LPARAM otherwise = 0) const;

    // Trackbars.
    void SetSlider(int id, long min, long max, long step, long position) const;
    long SliderPosition(int id) const;

private:
    struct Route {
        int id;
        WORD code;
        Handler handler;
    };
    PageHost* host_ = nullptr;
    HWND dialog_ = nullptr;
    std::vector<Route> routes_;
    bool showing_ = false;
};

// A value on the device's steps: rounded down to a whole step from the minimum, inside the range.
long OnStep(const stSTT_LNG_RNG& range, long value);

// The text of the error a failed call left on this thread (or the platform's text for the
// result), as the page's error box shows it, without the help question.
std::wstring ErrorText(HRESULT hr, const wchar_t* description);

} // namespace pages
