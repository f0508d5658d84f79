// The Sync page: the composite sync source and threshold, the variable-scan transitions, the
// sync sentinel and the sync master, each group shown as far as the open board offers it and
// written on Apply only when changed.
#include "sync_page.h"

#include "page_form.h"

#include <array>
#include <cmath>
#include <cwchar>
#include <memory>
#include <vector>

namespace pages {
namespace {

constexpr wchar_t kReadSource[] = L"CSyncPage::GetProperties()";
constexpr wchar_t kApplySource[] = L"CSyncPage::Apply()";
constexpr DISPID kActiveDeviceId = 203;
constexpr DISPID kControlStateId = 209;
constexpr DISPID kVideoSignalTypeId = 438;
constexpr DISPID kLineScanModeId = 1105;
constexpr long kNone = -1;           // no entry carries it: selects nothing
constexpr long kLongestList = 256;   // thresholds; a longer answer is not a list
constexpr long kVariableSentinel = 2; // bit of the sentinel type limits
// The composite sync source limits: one bit per kind of source.
constexpr long kCurrentSourceBit = 1, kSpecificSourceBit = 2, kExternalLineBit = 4;
constexpr long kChannelStep = 65536; // a specific source's channel is in the high half

struct Entry {
    const wchar_t* text;
    long data;
};
constexpr Entry kTransitions[] = {{L"On High To Low", OnHighToLow},
                                  {L"On Low To High", OnLowToHigh}};

// A number of the page: its edit and property; hundredths show as "%6.2f" of whole units.
struct Number {
    int edit;
    HRESULT (STDMETHODCALLTYPE ICorvid::*get)(long*);
    HRESULT (STDMETHODCALLTYPE ICorvid::*put)(long);
    bool hundredths;
};
// The sentinel positions in the order they are written; the search positions only with the
// variable sentinel.
constexpr Number kPositions[] = {
    {IDC_SYNC_HINSERT, &ICorvid::get_HSyncInsertPos, &ICorvid::put_HSyncInsertPos, true},
    {IDC_SYNC_HSEARCH, &ICorvid::get_HSyncSearchPos, &ICorvid::put_HSyncSearchPos, true},
    {IDC_SYNC_VINSERT, &ICorvid::get_VSyncInsertPos, &ICorvid::put_VSyncInsertPos, true},
    {IDC_SYNC_VSEARCH, &ICorvid::get_VSyncSearchPos, &ICorvid::put_VSyncSearchPos, true},
};
bool IsSearch(const Number& n) {
    return n.edit == IDC_SYNC_HSEARCH || n.edit == IDC_SYNC_VSEARCH;
}
// The sync master's parameters in the order they are written.
constexpr Number kMasterParameters[] = {
    {IDC_SYNC_HFREQUENCY, &ICorvid::get_HorizontalFrequency, &ICorvid::put_HorizontalFrequency,
     false},
    {IDC_SYNC_HPULSE, &ICorvid::get_HorizontalPulseWidth, &ICorvid::put_HorizontalPulseWidth,
     false},
    {IDC_SYNC_VFREQUENCY, &ICorvid::get_VerticalFrequency, &ICorvid::put_VerticalFrequency, false},
    {IDC_SYNC_VPULSE, &ICorvid::get_VerticalPulseWidth, &ICorvid::put_VerticalPulseWidth, false},
    {IDC_SYNC_PHASE, &ICorvid::get_Phase, &ICorvid::put_Phase, true},
};
constexpr int kMasterControls[] = {
    IDC_SYNC_HFREQUENCY_LABEL, IDC_SYNC_HFREQUENCY, IDC_SYNC_HFREQUENCY_UNIT,
    IDC_SYNC_VFREQUENCY_LABEL, IDC_SYNC_VFREQUENCY, IDC_SYNC_VFREQUENCY_UNIT,
    IDC_SYNC_HPULSE_LABEL,     IDC_SYNC_HPULSE,     IDC_SYNC_HPULSE_UNIT,
    IDC_SYNC_VPULSE_LABEL,     IDC_SYNC_VPULSE,     IDC_SYNC_VPULSE_UNIT,
    IDC_SYNC_PHASE_LABEL,      IDC_SYNC_PHASE,      IDC_SYNC_PHASE_UNIT};

std::wstring Shown(const Number& n, long value) {
    if (!n.hundredths) return std::to_wstring(value);
    wchar_t text[32];
    swprintf(text, std::size(text), L"%6.2f", value * 0.01);
    return text;
}

// What the board offers.
struct Features {
    long deviceType = 0;
    long signalType = 0; // VideoSignalTypeEnum; 0 without video selection
    long sourceKinds = 0;
    std::vector<long> thresholds;
    long sources = 0;
    bool sentinel = false;
    long sentinelTypes = 0;
    bool master = false;
    bool masterParameters = false; // the board's sync master parameters can be read
};

struct Values {
    long source = kNone;
    long threshold = kNone;
    long horizontal = OnHighToLow, vertical = OnHighToLow;
    bool sentinelOn = false;
    std::array<long, std::size(kPositions)> positions{};
    bool masterOn = false;
    std::array<long, std::size(kMasterParameters)> parameters{};
};

class SyncForm final : public PageForm {
public:
    SyncForm() {
        for (int id : {IDC_SYNC_SOURCE, IDC_SYNC_THRESHOLD})
            On(id, CBN_SELCHANGE, [this] { Changed(compositeChanged_); });
        for (int id : {IDC_SYNC_HTRANSITION, IDC_SYNC_VTRANSITION})
            On(id, CBN_SELCHANGE, [this] { Changed(scanChanged_); });
        OnClick(IDC_SYNC_SENTINEL_ENABLED, [this] {
            EnableSentinel();
            Changed(sentinelChanged_);
        });
        for (const Number& n : kPositions)
            On(n.edit, EN_CHANGE, [this] { Changed(sentinelChanged_); });
        OnClick(IDC_SYNC_MASTER_ENABLED, [this] {
            EnableMaster();
            Changed(masterChanged_);
        });
        for (const Number& n : kMasterParameters)
            On(n.edit, EN_CHANGE, [this] { Changed(masterChanged_); });
    }

    void Initialize() override { Read(); }

    void PropertyChanged(DISPID id) override {
        if (id == kActiveDeviceId || id == kControlStateId || id == kVideoSignalTypeId ||
            id == kLineScanModeId)
            Read();
    }

    HRESULT Apply() override {
        ICorvid3* control = Control();
        if (!control || features_.deviceType == 0) return S_OK;
        const HRESULT hr = ApplyChanges(*control);
        if (FAILED(hr)) return Present(hr, kApplySource);
        Read(); // what the board made of it
        return S_OK;
    }

private:
    bool Composite() const {
        const long type = features_.signalType;
        return (type == CompositeVideo || type == RGBVideo) && features_.sourceKinds != 0;
    }
    bool VariableScan() const { return features_.signalType == VarScanVideo; }
    bool VariableSentinel() const { return (features_.sentinelTypes & kVariableSentinel) != 0; }
    // The KV7500's sync master is set by a jumper: the page shows it on and leaves it alone.
    bool MasterFixed() const { return features_.deviceType == KV7500; }

    // ---- Reading ----

    void Read() {
        Features features;
        Values values;
        const HRESULT hr = GetProperties(features, values);
        if (FAILED(hr)) {
            Present(hr, kReadSource);
            // The page keeps what it showed; before its first reading that is nothing.
            if (features_.deviceType == 0) Show();
            return;
        }
        features_ = std::move(features);
        values_ = values;
        compositeChanged_ = scanChanged_ = sentinelChanged_ = masterChanged_ = false;
        Show();
    }

    HRESULT GetProperties(Features& f, Values& v) const {
        f.deviceType = DeviceType();
        if (f.deviceType == 0) return S_OK;
        ICorvid3& control = *Control();
        bool videoSelect = false;
        HRESULT hr = Flag(STC_FG_IC_DOES_VIDEO_SELECT, videoSelect);
        VideoSignalTypeEnum signal{};
        if (SUCCEEDED(hr) && videoSelect && SUCCEEDED(hr = control.get_VideoSignalType(&signal)))
            f.signalType = signal;
        if (FAILED(hr) ||
            FAILED(hr = Caps(STC_FG_IC_CSYNC_SOURCE_LIMITS, &f.sourceKinds, sizeof f.sourceKinds)) ||
            FAILED(hr = ReadThresholds(f.thresholds)) ||
            FAILED(hr = Caps(STC_FG_IC_INPUT_SOURCE_COUNT, &f.sources, sizeof f.sources)) ||
            FAILED(hr = Flag(STC_FG_IC_DOES_SYNC_SENTINEL, f.sentinel)) ||
            (f.sentinel && FAILED(hr = Caps(STC_FG_IC_SYNC_SENTINEL_TYPE_LIMITS, &f.sentinelTypes,
                                            sizeof f.sentinelTypes))))
            return hr;

        if (f.sourceKinds != 0) {
            SyncSourceEnum source{};
            if (FAILED(hr = control.get_SyncSource(&source)) ||
                FAILED(hr = control.get_SyncThresh(&v.threshold)))
                return hr;
            v.source = source;
        }
        if (f.signalType == VarScanVideo) {
            TransitionEnum horizontal{}, vertical{};
            if (FAILED(hr = control.get_HorizontalTransition(&horizontal)) ||
                FAILED(hr = control.get_VerticalTransition(&vertical)))
                return hr;
            v.horizontal = horizontal;
            v.vertical = vertical;
        }
        if (f.sentinel) {
            VARIANT_BOOL on = VARIANT_FALSE;
            if (FAILED(hr = control.get_SyncSentinel(&on))) return hr;
            v.sentinelOn = on != VARIANT_FALSE;
            const bool variable = (f.sentinelTypes & kVariableSentinel) != 0;
            for (size_t i = 0; i < std::size(kPositions); ++i)
                if ((variable || !IsSearch(kPositions[i])) &&
                    FAILED(hr = (control.*kPositions[i].get)(&v.positions[i])))
                    return hr;
        }

        // A board without a sync master refuses its reads; that is the answer, not an error.
        VARIANT_BOOL master = VARIANT_FALSE;
        f.master = SUCCEEDED(control.get_SyncMasterEnabled(&master));
        v.masterOn = master != VARIANT_FALSE;
        f.masterParameters = f.master && f.deviceType != KV7500;
        for (size_t i = 0; f.masterParameters && i < std::size(kMasterParameters); ++i)
            f.masterParameters =
                SUCCEEDED((control.*kMasterParameters[i].get)(&v.parameters[i]));
        SetErrorInfo(0, nullptr);
        return S_OK;
    }

    HRESULT ReadThresholds(std::vector<long>& thresholds) const {
        stSTT_LIST_LIMITS limits{};
        HRESULT hr = Caps(STC_FG_IC_CSYNC_THRESH_LIST_LIMITS, &limits, sizeof limits);
        if (hr != S_OK || limits.Count <= 0 || limits.Count > kLongestList) return FAILED(hr) ? hr : S_OK;
        std::vector<long> list(static_cast<size_t>(limits.Count));
        hr = Caps(STC_FG_IC_CSYNC_THRESH_LIST, list.data(),
                  static_cast<long>(list.size() * sizeof(long)));
        if (hr == S_OK) thresholds = std::move(list);
        return FAILED(hr) ? hr : S_OK;
    }

    // ---- Showing ----

    void Show() {
        Showing showing(*this);
        const Features& f = features_;
        const Values& v = values_;
        const bool open = f.deviceType != 0;
        for (int id : {IDC_SYNC_SOURCE, IDC_SYNC_THRESHOLD, IDC_SYNC_HTRANSITION,
                       IDC_SYNC_VTRANSITION})
            ClearList(id);
        if (open) {
            for (long threshold : f.thresholds)
                AddEntry(IDC_SYNC_THRESHOLD, std::to_wstring(threshold), threshold);
            if (f.sourceKinds & kSpecificSourceBit) {
                for (long channel = 0; channel < f.sources; ++channel)
                    AddEntry(IDC_SYNC_SOURCE, L"Channel" + std::to_wstring(channel),
                             channel * kChannelStep + kSpecificSourceBit);
            }
            if (f.sourceKinds & kCurrentSourceBit)
                AddEntry(IDC_SYNC_SOURCE, L"CurrentSource", CurrentSource);
            if (f.sourceKinds & kExternalLineBit)
                AddEntry(IDC_SYNC_SOURCE, L"ExternalLine", ExternalLine);
            for (int id : {IDC_SYNC_HTRANSITION, IDC_SYNC_VTRANSITION})
                for (const Entry& entry : kTransitions)
                    AddEntry(id, entry.text, entry.data);
        }

        const bool composite = open && Composite();
        Enable({IDC_SYNC_COMPOSITE_GROUP, IDC_SYNC_SOURCE_LABEL, IDC_SYNC_SOURCE,
                IDC_SYNC_THRESHOLD_LABEL, IDC_SYNC_THRESHOLD},
               composite);
        SelectData(IDC_SYNC_SOURCE, composite ? v.source : kNone);
        SelectData(IDC_SYNC_THRESHOLD, composite ? v.threshold : kNone);

        const bool scan = open && VariableScan();
        Enable({IDC_SYNC_VARSCAN_GROUP, IDC_SYNC_HTRANSITION_LABEL, IDC_SYNC_HTRANSITION,
                IDC_SYNC_VTRANSITION_LABEL, IDC_SYNC_VTRANSITION},
               scan);
        SelectData(IDC_SYNC_HTRANSITION, scan ? v.horizontal : kNone);
        SelectData(IDC_SYNC_VTRANSITION, scan ? v.vertical : kNone);

        const bool sentinel = open && f.sentinel;
        Enable({IDC_SYNC_SENTINEL_GROUP, IDC_SYNC_SENTINEL_ENABLED}, sentinel);
        Check(IDC_SYNC_SENTINEL_ENABLED, sentinel && v.sentinelOn);
        for (size_t i = 0; i < std::size(kPositions); ++i) {
            const Number& n = kPositions[i];
            const bool shown = sentinel && (VariableSentinel() || !IsSearch(n));
            SetText(n.edit, shown ? Shown(n, v.positions[i]) : L"");
        }
        EnableSentinel();

        const bool master = open && f.master;
        Enable({IDC_SYNC_MASTER_GROUP}, master);
        Enable({IDC_SYNC_MASTER_ENABLED}, master && !MasterFixed());
        Check(IDC_SYNC_MASTER_ENABLED, master && (MasterFixed() || v.masterOn));
        for (size_t i = 0; i < std::size(kMasterParameters); ++i) {
            const Number& n = kMasterParameters[i];
            SetText(n.edit, open && f.masterParameters ? Shown(n, v.parameters[i]) : L"");
        }
        EnableMaster();
    }

    // The positions apply while the sentinel is on; the search positions to the variable one.
    void EnableSentinel() const {
        const bool on = features_.deviceType != 0 && features_.sentinel &&
                        Checked(IDC_SYNC_SENTINEL_ENABLED);
        Enable({IDC_SYNC_HORIZONTAL_LABEL, IDC_SYNC_VERTICAL_LABEL, IDC_SYNC_INSERT_LABEL,
                IDC_SYNC_HINSERT, IDC_SYNC_HINSERT_UNIT, IDC_SYNC_VINSERT, IDC_SYNC_VINSERT_UNIT},
               on);
        Enable({IDC_SYNC_SEARCH_LABEL, IDC_SYNC_HSEARCH, IDC_SYNC_HSEARCH_UNIT, IDC_SYNC_VSEARCH,
                IDC_SYNC_VSEARCH_UNIT},
               on && VariableSentinel());
    }

    // The parameters apply while the generator is on.
    void EnableMaster() const {
        const bool on = features_.deviceType != 0 && features_.masterParameters &&
                        Checked(IDC_SYNC_MASTER_ENABLED);
        for (int id : kMasterControls)
            Enable({id}, on);
    }

    // ---- Applying ----

    long Entered(const Number& n) const {
        if (!n.hundredths) return static_cast<long>(Unsigned(n.edit));
        return static_cast<long>(std::lround(std::wcstod(Text(n.edit).c_str(), nullptr) * 100.0));
    }

    template <size_t N>
    HRESULT WriteNumbers(ICorvid3& control, const Number (&numbers)[N], bool search) const {
        for (const Number& n : numbers) {
            if (IsSearch(n) && !search) continue;
            if (const HRESULT hr = (control.*n.put)(Entered(n)); FAILED(hr)) return hr;
        }
        return S_OK;
    }

    HRESULT WriteComposite(ICorvid3& control) const {
        const HRESULT hr = control.put_SyncThresh(
            static_cast<long>(SelectedData(IDC_SYNC_THRESHOLD, values_.threshold)));
        if (FAILED(hr)) return hr;
        return control.put_SyncSource(
            static_cast<SyncSourceEnum>(SelectedData(IDC_SYNC_SOURCE, values_.source)));
    }

    HRESULT WriteScan(ICorvid3& control) const {
        const HRESULT hr = control.put_HorizontalTransition(
            static_cast<TransitionEnum>(SelectedData(IDC_SYNC_HTRANSITION, values_.horizontal)));
        if (FAILED(hr)) return hr;
        return control.put_VerticalTransition(
            static_cast<TransitionEnum>(SelectedData(IDC_SYNC_VTRANSITION, values_.vertical)));
    }

    // A fixed sentinel has insert positions only.
    HRESULT WriteSentinel(ICorvid3& control) const {
        HRESULT hr = S_OK;
        // The camera board's sentinel works only without its sync master.
        if (features_.deviceType == KV7700) hr = control.put_SyncMasterEnabled(VARIANT_FALSE);
        if (SUCCEEDED(hr))
            hr = control.put_SyncSentinel(Checked(IDC_SYNC_SENTINEL_ENABLED) ? VARIANT_TRUE
                                                                              : VARIANT_FALSE);
        return SUCCEEDED(hr) ? WriteNumbers(control, kPositions, VariableSentinel()) : hr;
    }

    // The parameters change while the generator is off; a board whose parameters cannot be
    // read is only switched.
    HRESULT WriteMaster(ICorvid3& control) const {
        HRESULT hr = S_OK;
        if (features_.masterParameters) {
            hr = control.put_SyncMasterEnabled(VARIANT_FALSE);
            if (SUCCEEDED(hr)) hr = WriteNumbers(control, kMasterParameters, true);
        }
        if (FAILED(hr)) return hr;
        return control.put_SyncMasterEnabled(Checked(IDC_SYNC_MASTER_ENABLED) ? VARIANT_TRUE
                                                                                : VARIANT_FALSE);
    }

    // Writes the changed groups in the board's order; the first failure ends it and leaves
    // the groups not yet written waiting.
    HRESULT ApplyChanges(ICorvid3& control) {
        struct Step {
            bool& changed;
            bool applies;
            HRESULT (SyncForm::*write)(ICorvid3&) const;
        };
        const Step steps[] = {
            {compositeChanged_, Composite(), &SyncForm::WriteComposite},
            {scanChanged_, VariableScan(), &SyncForm::WriteScan},
            {sentinelChanged_, features_.sentinel, &SyncForm::WriteSentinel},
            {masterChanged_, features_.master && !MasterFixed(), &SyncForm::WriteMaster},
        };
        for (const Step& step : steps) {
            if (!step.changed) continue;
            if (step.applies)
                if (const HRESULT hr = (this->*step.write)(control); FAILED(hr)) return hr;
            step.changed = false;
        }
        return S_OK;
    }

    Features features_;
    Values values_;
    bool compositeChanged_ = false;
    bool scanChanged_ = false;
    bool sentinelChanged_ = false;
    bool masterChanged_ = false;
};

} // namespace

std::unique_ptr<PageForm> MakeSyncForm() {
    return std::make_unique<SyncForm>();
}

} // namespace pages
