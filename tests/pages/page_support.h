// Helpers of the property pages' tests: a page created from its class id through COM, sited
// and given a control, activated in a real window, and its dialog's controls read and
// worked as a user works them.
#pragma once

#include "control_support.h"
#include "kvtestdrv.h"
#include "test_services.h"
#include "test_container.h"
#include "ui_driver.h"

#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace test {

// The frame's side of a page: records the page's status changes.
class PageSite final : public com::Object<PageSite, IPropertyPageSite> {
public:
    static com::InterfaceTable<PageSite> Interfaces() {
        static const com::InterfaceEntry<PageSite> table[] = {com::Entry<PageSite, IPropertyPageSite>()};
        return table;
    }
    STDMETHODIMP OnStatusChange(DWORD flags) override {
        statuses.push_back(flags);
        return S_OK;
    }
    STDMETHODIMP GetLocaleID(LCID* locale) override {
        *locale = LOCALE_USER_DEFAULT;
        return S_OK;
    }
    STDMETHODIMP GetPageContainer(IUnknown** container) override {
        *container = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP TranslateAccelerator(MSG*) override { return S_FALSE; }
    std::vector<DWORD> statuses;
};

// One page on one control, active in a visible window for the life of the object.
class ActivePage {
public:
    ActivePage(REFCLSID clsid, IDispatch* control) {
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&page_));
        if (!page_) return;
        com::Make(site_);
        page_->SetPageSite(site_.Get());
        IUnknown* object = control;
        page_->SetObjects(control ? 1 : 0, &object);
        PROPPAGEINFO info{};
        page_->GetPageInfo(&info);
        title_ = info.pszTitle ? info.pszTitle : L"";
        CoTaskMemFree(info.pszTitle);
        CoTaskMemFree(info.pszDocString);
        CoTaskMemFree(info.pszHelpFile);
        SetWindowPos(frame_.Get(), nullptr, 0, 0, info.size.cx + 40, info.size.cy + 60,
                     SWP_NOMOVE | SWP_NOZORDER);
        const RECT area{8, 8, 8 + info.size.cx, 8 + info.size.cy};
        if (FAILED(page_->Activate(frame_.Get(), &area, FALSE))) return;
        page_->Show(SW_SHOW);
        dialog_ = GetWindow(frame_.Get(), GW_CHILD);
        Pump();
    }
    ActivePage(const ActivePage&) = delete;
    ActivePage& operator=(const ActivePage&) = delete;
    ~ActivePage() {
        if (!page_) return;
        if (dialog_) page_->Deactivate();
        page_->SetObjects(0, nullptr);
        page_->SetPageSite(nullptr);
    }

    bool Active() const { return dialog_ != nullptr; }
    IPropertyPage2* Page() const { return page_.Get(); }
    HWND Dialog() const { return dialog_; }
    const std::wstring& Title() const { return title_; }
    bool Dirty() const { return page_->IsPageDirty() == S_OK; }
    HRESULT Apply() const { return page_->Apply(); }

    std::wstring Text(int id) const { return WindowText(GetDlgItem(dialog_, id)); }
    bool Enabled(int id) const { return IsWindowEnabled(GetDlgItem(dialog_, id)) != FALSE; }
    bool Checked(int id) const { return IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }
    std::vector<std::wstring> Entries(int id) const {
        std::vector<std::wstring> entries;
        const int count = static_cast<int>(SendDlgItemMessageW(dialog_, id, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            wchar_t text[256] = {};
            SendDlgItemMessageW(dialog_, id, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            entries.emplace_back(text);
        }
        return entries;
    }
    // The selected entry's text; empty without a selection.
    std::wstring Selection(int id) const {
        const LRESULT at = SendDlgItemMessageW(dialog_, id, CB_GETCURSEL, 0, 0);
        if (at < 0) return L"";
        wchar_t text[256] = {};
        SendDlgItemMessageW(dialog_, id, CB_GETLBTEXT, at, reinterpret_cast<LPARAM>(text));
        return text;
    }

    // What a user does: each sends the notification the control itself would send.
    void Choose(int id, const std::wstring& entry) const {
        SendDlgItemMessageW(dialog_, id, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                            reinterpret_cast<LPARAM>(entry.c_str()));
        SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog_, id)));
    }
    void Type(int id, const std::wstring& text) const {
        SetDlgItemTextW(dialog_, id, text.c_str()); // the edit sends EN_CHANGE
    }
    void Click(int id) const { SendDlgItemMessageW(dialog_, id, BM_CLICK, 0, 0); }
    // Moves a slider as the user drags it.
    void Slide(int id, long position) const {
        HWND slider = GetDlgItem(dialog_, id);
        SendMessageW(slider, TBM_SETPOS, TRUE, position);
        SendMessageW(dialog_, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position),
                     reinterpret_cast<LPARAM>(slider));
    }

    // The page as the user sees it, into the build tree's screenshot folder.
    void Screenshot(const std::wstring& name) const {
        Pump(std::chrono::milliseconds(100));
        SavePng(CaptureWindow(frame_.Get(), true),
                std::wstring(PAGE_SCREENSHOTS) + L"/" + name + L".png");
    }

private:
    FrameWindow frame_;
    ComPtr<IPropertyPage2> page_;
    ComPtr<PageSite> site_;
    HWND dialog_ = nullptr;
    std::wstring title_;
};

// The fixture of the page tests: a control of the installed library in the test's apartment.
class PageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_HRESULT_SUCCEEDED(apartment_.Result());
        control_ = CreateControl();
        ASSERT_TRUE(control_);
        ASSERT_HRESULT_SUCCEEDED(control_.As(&corvid_));
    }
    Apartment apartment_;
    ComPtr<IDispatch> control_;
    ComPtr<ICorvid3> corvid_;
};

// A board of the tests' own driver (a KV7400 to the control) open on a control of its own,
// answering each message as the test scripts it. A simulated board stays open meanwhile, so
// that the common driver's refusal of the test board does not unload it.
class ScriptedBoard {
public:
    explicit ScriptedBoard(const char* name) : holder_(CreateControl()) {
        if (!holder_ || !OpenBoard(holder_.Get(), L"SIM7100")) return;
        service_.emplace("kvtestdrv.drv");
        if (!service_->ok() || !service_->AddBoard(name, 1)) return;
        control_ = CreateControl();
        const std::wstring board(name, name + strlen(name));
        if (!control_ || !OpenBoard(control_.Get(), board.c_str())) return;
        DriverPort(L"kvtestdrv.drv").Resolve(setAnswer_, "KvTestDrvSetAnswer");
    }
    ScriptedBoard(const ScriptedBoard&) = delete;
    ScriptedBoard& operator=(const ScriptedBoard&) = delete;
    ~ScriptedBoard() {
        if (control_) Invoke(control_.Get(), L"CloseDevice");
    }

    bool ok() const { return setAnswer_ != nullptr; }
    IDispatch* Control() const { return control_.Get(); }
    void Answer(uint32_t message, const void* bytes, uint32_t size) const {
        setAnswer_(message, bytes, size);
    }

private:
    ComPtr<IDispatch> holder_;
    std::optional<TestService> service_;
    ComPtr<IDispatch> control_;
    KvTestDrvSetAnswerFn setAnswer_ = nullptr;
};

// Applies the page and answers what the simulated board received meanwhile; the page is
// clean afterwards.
inline std::vector<KvTraceRecord> ApplyTraced(const ActivePage& page) {
    DriverPort port(L"kvboard.drv");
    if (!port.ok()) {
        ADD_FAILURE() << "the board's test port is missing";
        return {};
    }
    port.StartTrace();
    EXPECT_EQ(page.Apply(), S_OK);
    port.StopTrace();
    EXPECT_FALSE(page.Dirty());
    return port.Trace();
}

// A child window of this process's visible top-level windows with the control id.
inline HWND FindItemOnScreen(int id) {
    struct Search {
        int id;
        HWND found;
    } search{id, nullptr};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
            EnumChildWindows(
                window,
                [](HWND child, LPARAM param) -> BOOL {
                    auto* s = reinterpret_cast<Search*>(param);
                    if (GetDlgCtrlID(child) != s->id) return TRUE;
                    s->found = child;
                    return FALSE;
                },
                param);
            return s->found == nullptr;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The page in the platform's property frame, as a design environment shows it: `look` gets
// the page's dialog (found by its control `id`) on a thread of its own, then the frame is
// closed with OK. True when the page showed in the frame.
inline bool ShowInFrame(REFCLSID clsid, IDispatch* control, int id,
                        const std::function<void(HWND)>& look) {
    bool shown = false;
    std::thread watcher([&] {
        HWND item = nullptr;
        for (int i = 0; i < 500 && !item; ++i, Sleep(20)) item = FindItemOnScreen(id);
        if (!item) return;
        shown = true;
        look(GetParent(item));
        Press(GetAncestor(item, GA_ROOT), IDOK);
    });
    IUnknown* object = control;
    CLSID page = clsid;
    const HRESULT hr = OleCreatePropertyFrame(nullptr, 0, 0, L"Corvid", 1, &object, 1, &page,
                                              LOCALE_USER_DEFAULT, 0, nullptr);
    watcher.join();
    return SUCCEEDED(hr) && shown;
}

// On the open board: the page in the platform's property frame, then every enabled list of
// `lists` chosen again as it stands and applied. Answers the texts of the page's error boxes
// (titled "<page class>::GetFeatureSupport" and "<page class>::Apply") and a note when the
// frame did not show the page; nothing when all went well. The first list always has entries.
inline std::vector<std::wstring> ShowAndReapply(REFCLSID clsid, IDispatch* control,
                                                const std::wstring& pageClass,
                                                std::initializer_list<int> lists) {
    std::vector<std::wstring> problems;
    LRESULT entries = 0;
    const int first = *lists.begin();
    if (!ShowInFrame(clsid, control, first, [&](HWND dialog) {
            entries = SendDlgItemMessageW(dialog, first, CB_GETCOUNT, 0, 0);
        }) ||
        entries <= 0)
        problems.push_back(L"not shown in the property frame");
    BoxWatcher read(pageClass + L"::GetFeatureSupport"), apply(pageClass + L"::Apply");
    {
        ActivePage page(clsid, control);
        for (int id : lists)
            if (page.Enabled(id) && !page.Selection(id).empty()) page.Choose(id, page.Selection(id));
        if (page.Apply() != S_OK) problems.push_back(L"Apply failed");
    }
    for (BoxWatcher* box : {&read, &apply}) {
        box->Stop();
        for (const std::wstring& text : box->Texts()) problems.push_back(text);
    }
    return problems;
}

// What a page's error box says when writing `property` fails because the board answers
// `message` with the driver status: the control's description of that failure (taken from a
// write of the property that fails that way) and the help question.
inline std::wstring ErrorBoxText(IDispatch* control, DriverPort& port, uint32_t message,
                                 uint32_t status, const wchar_t* property, VARIANT value) {
    port.FailNext(message, status);
    const std::wstring description =
        Wide(PutProperty(control, property, value).exception.bstrDescription);
    return description.empty() ? L"" : description + L"\nWould you like to see additional help?";
}

} // namespace test
