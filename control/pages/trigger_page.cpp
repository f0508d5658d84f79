// The Trigger page: the single-frame trigger and the multiple-frame trigger of the board.
#include "trigger_page.h"

#include "page_form.h"

#include <memory>

namespace pages {
namespace {

constexpr wchar_t kReadSource[] = L"CTriggerPage::GetFeatureSupport";
constexpr wchar_t kApplySource[] = L"CTriggerPage::Apply";
constexpr DISPID kActiveDeviceId = 203;
constexpr DISPID kControlStateId = 209;
constexpr long kNone = -1; // no entry carries it: selects nothing

struct Entry {
    const wchar_t* text;
    long data;
};
constexpr Entry kTypes[] = {{L"Software", SoftwareTrigger}, {L"External", ExternalTrigger}};
constexpr Entry kTransitions[] = {{L"On High To Low", OnHighToLow},
                                  {L"On Low To High", OnLowToHigh}};
// The multiple-trigger mode limits have bit (mode - 1) for each mode the board offers.
constexpr Entry kModes[] = {{L"Once", TriggerToStart}, {L"Each Frame", TriggerForEach}};

struct Trigger {
    long type = SoftwareTrigger;
    long transition = OnHighToLow;
    long mode = TriggerToStart;
};

class TriggerForm final : public PageForm {
public:
    TriggerForm() {
        On(IDC_TRIGGER_TYPE, CBN_SELCHANGE,
           [this] { Picked(IDC_TRIGGER_TYPE, single_.type, singleChanged_); });
        On(IDC_TRIGGER_TRANSITION, CBN_SELCHANGE,
           [this] { Picked(IDC_TRIGGER_TRANSITION, single_.transition, singleChanged_); });
        On(IDC_TRIGGER_MULT_TYPE, CBN_SELCHANGE,
           [this] { Picked(IDC_TRIGGER_MULT_TYPE, mult_.type, multChanged_); });
        On(IDC_TRIGGER_MULT_TRANSITION, CBN_SELCHANGE,
           [this] { Picked(IDC_TRIGGER_MULT_TRANSITION, mult_.transition, multChanged_); });
        On(IDC_TRIGGER_MODE, CBN_SELCHANGE,
           [this] { Picked(IDC_TRIGGER_MODE, mult_.mode, multChanged_); });
    }

    void Initialize() override {
        for (int id : {IDC_TRIGGER_TYPE, IDC_TRIGGER_MULT_TYPE})
            Fill(id, kTypes);
        for (int id : {IDC_TRIGGER_TRANSITION, IDC_TRIGGER_MULT_TRANSITION})
            Fill(id, kTransitions);
        Read();
    }

    void PropertyChanged(DISPID id) override {
        if (id == kActiveDeviceId || id == kControlStateId) Read();
    }

    HRESULT Apply() override {
        ICorvid3* control = Control();
        if (!control) return S_OK;
        HRESULT hr = S_OK;
        if (supported_ && singleChanged_) {
            if (FAILED(hr = control->put_TriggerType(static_cast<TriggerTypeEnum>(single_.type))) ||
                FAILED(hr = control->put_TriggerTransition(
                           static_cast<TransitionEnum>(single_.transition))))
                return Present(hr, kApplySource);
            singleChanged_ = false;
        }
        if (modes_ && multChanged_) {
            if (FAILED(
                    hr = control->put_MultTriggerType(static_cast<TriggerTypeEnum>(mult_.type))) ||
                FAILED(
                    hr = control->put_MultTriggerMode(static_cast<TriggerModeEnum>(mult_.mode))) ||
                FAILED(hr = control->put_MultTriggerTransition(
                           static_cast<TransitionEnum>(mult_.transition))))
                return Present(hr, kApplySource);
            multChanged_ = false;
        }
        Show();
        return S_OK;
    }

private:
    template <size_t N> void Fill(int id, const Entry (&entries)[N]) const {
        ClearList(id);
        for (const Entry& entry : entries)
            AddEntry(id, entry.text, entry.data);
    }

    void Picked(int id, long& value, bool& changed) {
        value = static_cast<long>(SelectedData(id, value));
        changed = true;
        Show(); // a new type enables or disables its transition and mode
        SetDirty();
    }

    void Read() {
        singleChanged_ = multChanged_ = false;
        const HRESULT hr = GetFeatureSupport();
        if (FAILED(hr)) Present(hr, kReadSource);
        Show();
    }

    // Commits what it read only when every read succeeded: a failure keeps the page as it was.
    HRESULT GetFeatureSupport() {
        bool supported = false;
        long modes = 0;
        Trigger single, mult;
        ICorvid3* control = Control();
        if (control && DeviceType() != 0) {
            long does = 0;
            HRESULT hr = control->QueryInputCaps(STC_FG_IC_DOES_TRIGGER, &does, sizeof does);
            if (FAILED(hr)) return hr;
            supported = does != 0;
            if (supported) {
                if (FAILED(hr = control->QueryInputCaps(STC_FG_IC_MULT_TRIGGER_MODE_LIMITS, &modes,
                                                        sizeof modes)) ||
                    FAILED(hr = ReadTrigger(single, false)))
                    return hr;
                modes &= 3; // "Once" and "Each Frame"
                if (modes && FAILED(hr = ReadTrigger(mult, true))) return hr;
            }
        }
        supported_ = supported;
        modes_ = modes;
        single_ = single;
        mult_ = mult;
        return S_OK;
    }

    HRESULT ReadTrigger(Trigger& trigger, bool multiple) const {
        ICorvid3* control = Control();
        TriggerTypeEnum type{};
        TransitionEnum transition{};
        HRESULT hr =
            multiple ? control->get_MultTriggerType(&type) : control->get_TriggerType(&type);
        if (SUCCEEDED(hr))
            hr = multiple ? control->get_MultTriggerTransition(&transition)
                          : control->get_TriggerTransition(&transition);
        TriggerModeEnum mode = TriggerToStart;
        if (SUCCEEDED(hr) && multiple) hr = control->get_MultTriggerMode(&mode);
        if (FAILED(hr)) return hr;
        trigger = {type, transition, mode};
        return S_OK;
    }

    // Shows the values with the controls that apply to them enabled; a transition and a mode
    // only matter for an external trigger.
    void Show() {
        Enable({IDC_TRIGGER_SINGLE_GROUP, IDC_TRIGGER_TYPE_LABEL, IDC_TRIGGER_TYPE}, supported_);
        SelectData(IDC_TRIGGER_TYPE, supported_ ? single_.type : kNone);
        const bool external = supported_ && single_.type == ExternalTrigger;
        Enable({IDC_TRIGGER_TRANSITION_LABEL, IDC_TRIGGER_TRANSITION}, external);
        SelectData(IDC_TRIGGER_TRANSITION, external ? single_.transition : kNone);

        const bool multiple = modes_ != 0;
        Enable({IDC_TRIGGER_MULT_GROUP, IDC_TRIGGER_MULT_TYPE_LABEL, IDC_TRIGGER_MULT_TYPE},
               multiple);
        SelectData(IDC_TRIGGER_MULT_TYPE, multiple ? mult_.type : kNone);
        const bool multExternal = multiple && mult_.type == ExternalTrigger;
        Enable({IDC_TRIGGER_MULT_TRANSITION_LABEL, IDC_TRIGGER_MULT_TRANSITION,
                IDC_TRIGGER_MODE_LABEL, IDC_TRIGGER_MODE},
               multExternal);
        SelectData(IDC_TRIGGER_MULT_TRANSITION, multExternal ? mult_.transition : kNone);
        ClearList(IDC_TRIGGER_MODE);
        for (const Entry& mode : kModes)
            if (modes_ & (1L << (mode.data - 1))) AddEntry(IDC_TRIGGER_MODE, mode.text, mode.data);
        SelectData(IDC_TRIGGER_MODE, multExternal ? mult_.mode : kNone);
    }

    bool supported_ = false; // single-frame trigger
    long modes_ = 0;         // multiple-trigger modes offered; none: no multiple trigger
    Trigger single_, mult_;
    bool singleChanged_ = false;
    bool multChanged_ = false;
};

} // namespace

std::unique_ptr<PageForm> MakeTriggerForm() {
    return std::make_unique<TriggerForm>();
}

} // namespace pages
