// The Input page: the video input and its filter, the input lookup tables, the A/D levels and
// the pixel clock, each shown as far as the open board supports it.
#include "input_page.h"

#include "page_form.h"
#include "raii.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace pages {
namespace {

constexpr wchar_t kReadSource[] = L"CInputPage::GetFeatureSupport";
constexpr wchar_t kApplySource[] = L"CInputPage::Apply";
constexpr DISPID kActiveDeviceId = 203;
constexpr DISPID kControlStateId = 209;
constexpr DISPID kLineScanModeId = 1105;
constexpr long kNone = -1;            // no entry carries it: selects nothing
constexpr long kDisabled = -1;        // the "Based Mode:" entry of based-source mode off
constexpr long kAll = -1;             // a mask that takes every entry
constexpr long kLongestTable = 65536; // entries; a larger answer is not a lookup table

struct Entry {
    const wchar_t* text;
    long data;
};
constexpr Entry kFilters[] = {{L"AC Coupled, None", AC_No_Filter},
                              {L"AC Coupled, 50Hz", AC_50Hz_Filter},
                              {L"AC Coupled, 60Hz", AC_60Hz_Filter},
                              {L"DC Coupled, None", DC_No_Filter}};
constexpr Entry kGains[] = {
    {L"0.5", GAIN_OF_POINT_5}, {L"1", GAIN_OF_1}, {L"2", GAIN_OF_2}, {L"4", GAIN_OF_4}};
// The clock source limits have the source's own value as their bit.
constexpr Entry kClockSources[] = {{L"Internal", InternalClock}, {L"External", ExternalClock}};
constexpr Entry kClockTransitions[] = {{L"On Low To High", OnLowToHigh},
                                       {L"On High To Low", OnHighToLow}};

// Signal types: composite and variable scan as the video type limits allow (the limit bits
// are their values), the color signals on the boards that decode them.
struct SignalType {
    const wchar_t* text;
    long data;
    long deviceType; // 0: by the video type limits
};
constexpr SignalType kSignalTypes[] = {
    {L"Composite", CompositeVideo, 0}, {L"Variable Scan", VarScanVideo, 0},
    {L"RGB", RGBVideo, KV7500},        {L"YC", YCVideo, KV7300},
    {L"YC", YCVideo, KV760X},
};

// The changes waiting for Apply, one bit each.
enum Change : unsigned {
    kBasedChange = 1u << 0,
    kSourceChange = 1u << 1,
    kFilterChange = 1u << 2,
    kTypeChange = 1u << 3,
    kLutChange = 1u << 4,
    kGainChange = 1u << 5,
    kReferenceChange = 1u << 6,
    kOffsetChange = 1u << 7,
    kClockSourceChange = 1u << 8,
    kFrequencyChange = 1u << 9,
    kTransitionChange = 1u << 10,
    kTableChange = 1u << 11, // tables set up with Identity or Inverse
};

// What the board offers.
struct Features {
    long deviceType = 0;
    long sources = 0;
    long filters = 0; // InputFilterEnum bits; 0: no filter
    bool videoSelect = false;
    long videoTypes = 0; // composite and variable scan bits
    bool levels = false; // reference and offset (and on some boards the gain)
    stSTT_LNG_RNG reference{}, offset{};
    long luts = 0;
    long lutEntries = 0;
    long lutMax = 0;
    bool clock = false;      // the pixel clock can be set
    bool clockQuery = false; // and read
    long clockSources = 0;   // ClockSourceEnum bits
};

struct Values {
    long source = 0;
    long signalType = 0;
    bool based = false;
    long basedSource = 0;
    long filter = 0;
    long lut = 0; // the table shown, as the "ILUT:" list numbers it
    long gain = GAIN_OF_1;
    long reference = 0; // microvolts
    long offset = 0;
    long clockSource = 0;
    long frequency = 0;
    long transition = 0;
};

bool HasLevels(long deviceType) {
    return deviceType == KV7100 || deviceType == KV7400 || deviceType == KV7400LS;
}

std::wstring Millivolts(long microvolts) {
    wchar_t text[32];
    swprintf(text, std::size(text), L"%6.2f", microvolts * 0.001);
    return text;
}

// A straight table over the whole output range, rising or falling.
std::vector<LONG> Ramp(long entries, long maxValue, bool inverse) {
    std::vector<LONG> table(static_cast<size_t>(entries));
    for (long i = 0; i < entries; ++i) {
        const long value =
            entries > 1 ? static_cast<long>(static_cast<long long>(i) * maxValue / (entries - 1))
                        : 0;
        table[static_cast<size_t>(i)] = inverse ? maxValue - value : value;
    }
    return table;
}

class InputForm final : public PageForm {
public:
    InputForm() {
        On(IDC_INPUT_BASED, CBN_SELCHANGE, [this] { Mark(kBasedChange); });
        On(IDC_INPUT_SOURCE, CBN_SELCHANGE, [this] { Mark(kSourceChange); });
        On(IDC_INPUT_FILTER, CBN_SELCHANGE, [this] { Mark(kFilterChange); });
        On(IDC_INPUT_TYPE, CBN_SELCHANGE, [this] { Mark(kTypeChange); });
        On(IDC_INPUT_GAIN, CBN_SELCHANGE, [this] { Mark(kGainChange); });
        On(IDC_INPUT_LUT, CBN_SELCHANGE, [this] {
            ShowTable(static_cast<long>(SelectedData(IDC_INPUT_LUT, values_.lut)));
            Mark(kLutChange);
        });
        OnClick(IDC_INPUT_IDENTITY, [this] { SetTable(false); });
        OnClick(IDC_INPUT_INVERSE, [this] { SetTable(true); });
        On(IDC_INPUT_CLOCK_SOURCE, CBN_SELCHANGE, [this] {
            EnableClock();
            Mark(kClockSourceChange);
        });
        On(IDC_INPUT_CLOCK_TRANSITION, CBN_SELCHANGE, [this] { Mark(kTransitionChange); });
        On(IDC_INPUT_FREQUENCY, EN_CHANGE, [this] { Mark(kFrequencyChange); });
    }

    void Initialize() override { Read(); }

    void PropertyChanged(DISPID id) override {
        if (id == kActiveDeviceId || id == kControlStateId || id == kLineScanModeId) Read();
    }

    HRESULT Apply() override {
        ICorvid3* control = Control();
        if (!control || features_.deviceType == 0) return S_OK;
        HRESULT hr = ApplyChanges(*control);
        if (FAILED(hr)) return Present(hr, kApplySource);
        Read(); // what the board made of it
        return S_OK;
    }

protected:
    bool Message(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override {
        if (message == WM_HSCROLL && lParam) {
            const auto slider = reinterpret_cast<HWND>(lParam);
            if (slider == Item(IDC_INPUT_REFERENCE_SLIDER))
                Slid(IDC_INPUT_REFERENCE_SLIDER, IDC_INPUT_REFERENCE, features_.reference,
                     kReferenceChange);
            else if (slider == Item(IDC_INPUT_OFFSET_SLIDER))
                Slid(IDC_INPUT_OFFSET_SLIDER, IDC_INPUT_OFFSET, features_.offset, kOffsetChange);
            else
                return false;
            result = 0;
            return true;
        }
        if (message == WM_DRAWITEM && wParam == IDC_INPUT_GRAPH && lParam) {
            DrawTable(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            result = TRUE;
            return true;
        }
        return false;
    }

private:
    void Mark(Change change) {
        changes_ |= change;
        SetDirty();
    }

    // ---- Reading ----

    void Read() {
        Features features;
        Values values;
        std::vector<LONG> table;
        const HRESULT hr = GetFeatureSupport(features, values, table);
        if (FAILED(hr)) {
            Present(hr, kReadSource);
            // The page keeps what it showed; before its first reading that is nothing.
            if (features_.deviceType == 0) Show();
            return;
        }
        features_ = features;
        values_ = values;
        table_ = std::move(table);
        pending_.clear();
        changes_ = 0;
        Show();
    }

    HRESULT Caps(stSTT_FG_INPUT_CAP_KEY key, void* answer, long size) const {
        return Control()->QueryInputCaps(key, static_cast<long*>(answer), size);
    }
    HRESULT Flag(stSTT_FG_INPUT_CAP_KEY key, bool& flag) const {
        long answer = 0;
        const HRESULT hr = Caps(key, &answer, sizeof answer);
        flag = SUCCEEDED(hr) && answer != 0;
        return hr;
    }

    HRESULT GetFeatureSupport(Features& f, Values& v, std::vector<LONG>& table) const {
        f.deviceType = DeviceType();
        if (f.deviceType == 0) return S_OK;
        ICorvid3& control = *Control();
        bool filter = false, a2d = false;
        HRESULT hr;
        if (FAILED(hr = Caps(STC_FG_IC_INPUT_SOURCE_COUNT, &f.sources, sizeof f.sources)) ||
            FAILED(hr = Flag(STC_FG_IC_DOES_INPUT_FILTER, filter)) ||
            (filter &&
             FAILED(hr = Caps(STC_FG_IC_INPUT_FILTER_LIMITS, &f.filters, sizeof f.filters))) ||
            FAILED(hr = Flag(STC_FG_IC_DOES_VIDEO_SELECT, f.videoSelect)) ||
            (f.videoSelect &&
             FAILED(hr = Caps(STC_FG_IC_VIDEO_TYPE_LIMITS, &f.videoTypes, sizeof f.videoTypes))) ||
            FAILED(hr = Flag(STC_FG_IC_DOES_PROG_A2D, a2d)))
            return hr;
        if (!filter) f.filters = 0;
        // The control has levels only on the boards whose front end it knows.
        f.levels = a2d && HasLevels(f.deviceType);
        if (f.levels) {
            stSTT_LNG_RNG black{};
            if (FAILED(hr = Caps(STC_FG_IC_BLACK_LEVEL_LIMITS, &black, sizeof black)) ||
                FAILED(hr = Caps(STC_FG_IC_WHITE_LEVEL_LIMITS, &f.reference, sizeof f.reference)))
                return hr;
            // The KV7100's offset is the black level negated.
            f.offset = f.deviceType == KV7100 ? stSTT_LNG_RNG{-black.Max, -black.Min,
                                                              black.Granularity, -black.Nominal}
                                              : black;
        }
        if (FAILED(hr = Caps(STC_FG_IC_ILUT_COUNT, &f.luts, sizeof f.luts))) return hr;
        if (f.luts > 0) {
            long lastIndex = -1;
            if (FAILED(hr = Caps(STC_FG_IC_MAX_ILUT_INDEX, &lastIndex, sizeof lastIndex)) ||
                FAILED(hr = Caps(STC_FG_IC_MAX_ILUT_VALUE, &f.lutMax, sizeof f.lutMax)))
                return hr;
            f.lutEntries = lastIndex >= 0 && lastIndex < kLongestTable ? lastIndex + 1 : 0;
        }
        if (FAILED(hr = Flag(STC_FG_IC_DOES_PIXEL_CLOCK, f.clock))) return hr;
        if (f.clock && (FAILED(hr = Flag(STC_FG_IC_DOES_QUERY_PIXEL_CLOCK, f.clockQuery)) ||
                        FAILED(hr = Caps(STC_FG_IC_CLOCK_SOURCE_LIMITS, &f.clockSources,
                                         sizeof f.clockSources))))
            return hr;

        // The values, each only where the board has it.
        VideoSourceEnum source{}, basedSource{};
        VARIANT_BOOL based = VARIANT_FALSE;
        if (FAILED(hr = control.get_VideoInputSource(&source)) ||
            FAILED(hr = control.get_BasedSource(&basedSource)) ||
            FAILED(hr = control.get_BasedSourceModeEnable(&based)))
            return hr;
        v.source = source;
        v.basedSource = basedSource;
        v.based = based != VARIANT_FALSE;
        if (f.videoSelect) {
            VideoSignalTypeEnum type{};
            if (FAILED(hr = control.get_VideoSignalType(&type))) return hr;
            v.signalType = type;
        }
        if (f.filters) {
            InputFilterEnum value{};
            if (FAILED(hr = control.get_InputFilter(&value))) return hr;
            v.filter = value;
        }
        if (f.luts > 0) {
            long lut = 0;
            if (FAILED(hr = control.get_InputLUT(&lut))) return hr;
            // The KV7500's control picks a set of three tables (red, green, blue).
            v.lut = f.deviceType == KV7500 ? lut * 3 : lut;
            if (f.lutEntries > 0 && v.lut >= 0 && v.lut < f.luts) {
                table.assign(static_cast<size_t>(f.lutEntries), 0);
                if (FAILED(hr = TransferTable(v.lut, table, false))) return hr;
            }
        }
        if (f.levels) {
            if (f.deviceType != KV7100) { // the KV7100's gain is fixed at 1
                GainEnum gain{};
                if (FAILED(hr = control.get_Gain(&gain))) return hr;
                v.gain = gain;
            }
            if (FAILED(hr = control.get_Reference(&v.reference)) ||
                FAILED(hr = control.get_Offset(&v.offset)))
                return hr;
        }
        if (f.clock && f.clockQuery) {
            ClockSourceEnum clockSource{};
            if (FAILED(hr = control.get_ClockSource(&clockSource))) return hr;
            v.clockSource = clockSource;
            if ((f.clockSources & InternalClock) &&
                FAILED(hr = control.get_ClockFrequency(&v.frequency)))
                return hr;
            TransitionEnum transition{};
            if ((f.clockSources & ExternalClock) &&
                FAILED(hr = control.get_ClockTransition(&transition)))
                return hr;
            v.transition = transition;
        }
        return S_OK;
    }

    // One lookup table through a one-dimensional array of 32-bit entries.
    HRESULT TransferTable(long lut, std::vector<LONG>& entries, bool write) const {
        SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 0, static_cast<ULONG>(entries.size()));
        if (!array) return E_OUTOFMEMORY;
        com::UniqueVariant buffer;
        V_VT(buffer.Get()) = VT_ARRAY | VT_I4;
        V_ARRAY(buffer.Get()) = array; // the variant owns it now
        if (write) {
            com::SafeArrayData<LONG> data(array);
            if (!data.Ok()) return data.Result();
            std::copy(entries.begin(), entries.end(), data.Data());
        }
        const auto table = static_cast<short>(lut);
        const HRESULT hr = write ? Control()->WriteInputLUT(table, 0, *buffer.Get())
                                 : Control()->ReadInputLUT(table, 0, *buffer.Get());
        if (FAILED(hr) || write) return hr;
        com::SafeArrayData<LONG> data(array);
        if (!data.Ok()) return data.Result();
        std::copy(data.Data(), data.Data() + entries.size(), entries.begin());
        return S_OK;
    }

    // ---- Showing ----

    // Adds the entries, or those whose value is a bit of the mask.
    template <size_t N> void Fill(int id, const Entry (&entries)[N], long mask = kAll) const {
        for (const Entry& entry : entries)
            if (mask == kAll || (mask & entry.data) != 0) AddEntry(id, entry.text, entry.data);
    }

    void Show() {
        const Features& f = features_;
        const Values& v = values_;
        const bool open = f.deviceType != 0;
        for (int id :
             {IDC_INPUT_SOURCE, IDC_INPUT_BASED, IDC_INPUT_TYPE, IDC_INPUT_FILTER, IDC_INPUT_LUT,
              IDC_INPUT_GAIN, IDC_INPUT_CLOCK_SOURCE, IDC_INPUT_CLOCK_TRANSITION})
            ClearList(id);

        if (open) AddEntry(IDC_INPUT_BASED, L"Disabled", kDisabled);
        for (long channel = 0; channel < f.sources; ++channel) {
            const std::wstring name = L"Channel " + std::to_wstring(channel);
            AddEntry(IDC_INPUT_SOURCE, name, channel);
            AddEntry(IDC_INPUT_BASED, name, channel);
        }
        SelectData(IDC_INPUT_SOURCE, open ? v.source : kNone);
        SelectData(IDC_INPUT_BASED, !open ? kNone : v.based ? v.basedSource : kDisabled);
        const bool sources = f.sources > 0;
        Enable({IDC_INPUT_GROUP}, open);
        Enable({IDC_INPUT_SOURCE_LABEL, IDC_INPUT_SOURCE, IDC_INPUT_BASED_LABEL, IDC_INPUT_BASED},
               sources);

        if (f.videoSelect) {
            for (const SignalType& type : kSignalTypes)
                if (type.deviceType ? type.deviceType == f.deviceType
                                    : (f.videoTypes & type.data) != 0)
                    AddEntry(IDC_INPUT_TYPE, type.text, type.data);
        }
        SelectData(IDC_INPUT_TYPE, f.videoSelect ? v.signalType : kNone);
        Enable({IDC_INPUT_TYPE_LABEL, IDC_INPUT_TYPE}, f.videoSelect);

        Fill(IDC_INPUT_FILTER, kFilters, f.filters);
        SelectData(IDC_INPUT_FILTER, f.filters ? v.filter : kNone);
        Enable({IDC_INPUT_FILTER_LABEL, IDC_INPUT_FILTER}, f.filters != 0);

        ShowLookupTable();
        ShowLevels();
        ShowClock();
    }

    void ShowLookupTable() {
        const Features& f = features_;
        for (long lut = 0; lut < f.luts; ++lut)
            AddEntry(IDC_INPUT_LUT, std::to_wstring(lut), lut);
        SelectData(IDC_INPUT_LUT, f.luts > 0 ? values_.lut : kNone);
        const bool tables = f.luts > 0;
        Enable({IDC_INPUT_LUT_GROUP, IDC_INPUT_LUT_LABEL, IDC_INPUT_LUT, IDC_INPUT_GRAPH_OUTPUT,
                IDC_INPUT_GRAPH_INPUT, IDC_INPUT_GRAPH_ZERO},
               tables);
        Enable({IDC_INPUT_IDENTITY, IDC_INPUT_INVERSE}, tables && f.lutEntries > 0 && f.lutMax > 0);
        RedrawTable();
    }

    void ShowLevels() {
        const Features& f = features_;
        if (f.levels) Fill(IDC_INPUT_GAIN, kGains);
        // Only the four gains are listed: another value of the board selects none of them.
        SelectData(IDC_INPUT_GAIN, f.levels ? values_.gain : kNone);
        Enable({IDC_INPUT_AD_GROUP}, f.levels);
        Enable({IDC_INPUT_GAIN_LABEL, IDC_INPUT_GAIN}, f.levels && f.deviceType != KV7100);
        ShowLevel(IDC_INPUT_REFERENCE_SLIDER, IDC_INPUT_REFERENCE, f.reference, values_.reference);
        ShowLevel(IDC_INPUT_OFFSET_SLIDER, IDC_INPUT_OFFSET, f.offset, values_.offset);
        Enable({IDC_INPUT_REFERENCE_LABEL, IDC_INPUT_REFERENCE, IDC_INPUT_REFERENCE_UNIT,
                IDC_INPUT_REFERENCE_SLIDER, IDC_INPUT_OFFSET_LABEL, IDC_INPUT_OFFSET,
                IDC_INPUT_OFFSET_UNIT, IDC_INPUT_OFFSET_SLIDER},
               f.levels);
    }

    void ShowLevel(int slider, int text, const stSTT_LNG_RNG& range, long value) const {
        if (!features_.levels) {
            SetSlider(slider, 0, 0, 1, 0);
            SetText(text, L"");
            return;
        }
        SetSlider(slider, range.Min, std::max(range.Min, range.Max), range.Granularity,
                  OnStep(range, value));
        SetText(text, Millivolts(value));
    }

    // A moved slider stays on the device's steps and shows its value.
    void Slid(int slider, int text, const stSTT_LNG_RNG& range, Change change) {
        const long position = SliderPosition(slider);
        const long value = OnStep(range, position);
        if (value != position) SendMessageW(Item(slider), TBM_SETPOS, TRUE, value);
        SetText(text, Millivolts(value));
        Mark(change);
    }

    void ShowClock() {
        const Features& f = features_;
        if (f.clock) {
            Fill(IDC_INPUT_CLOCK_SOURCE, kClockSources, f.clockSources);
            if (f.clockSources & ExternalClock) Fill(IDC_INPUT_CLOCK_TRANSITION, kClockTransitions);
        } else {
            // Without a pixel clock each list holds one empty entry.
            AddEntry(IDC_INPUT_CLOCK_SOURCE, L"", kNone);
            AddEntry(IDC_INPUT_CLOCK_TRANSITION, L"", kNone);
        }
        const bool known = f.clock && f.clockQuery;
        SelectData(IDC_INPUT_CLOCK_SOURCE, known ? values_.clockSource : kNone);
        SelectData(IDC_INPUT_CLOCK_TRANSITION, known ? values_.transition : kNone);
        SetText(IDC_INPUT_FREQUENCY, known && (f.clockSources & InternalClock)
                                         ? std::to_wstring(values_.frequency)
                                         : L"");
        Enable({IDC_INPUT_CLOCK_GROUP, IDC_INPUT_CLOCK_SOURCE_LABEL, IDC_INPUT_CLOCK_SOURCE},
               f.clock);
        EnableClock();
    }

    // The frequency belongs to the internal clock, the transition to the external one.
    void EnableClock() const {
        const Features& f = features_;
        const long chosen = static_cast<long>(SelectedData(IDC_INPUT_CLOCK_SOURCE, kNone));
        const bool internal =
            f.clock && (f.clockSources & InternalClock) && chosen != ExternalClock;
        const bool external =
            f.clock && (f.clockSources & ExternalClock) && chosen != InternalClock;
        Enable({IDC_INPUT_FREQUENCY_LABEL, IDC_INPUT_FREQUENCY, IDC_INPUT_FREQUENCY_UNIT},
               internal);
        Enable({IDC_INPUT_CLOCK_TRANSITION_LABEL, IDC_INPUT_CLOCK_TRANSITION}, external);
    }

    // ---- The lookup table graph ----

    // Shows another table: the one set up on the page, else the board's.
    void ShowTable(long lut) {
        const auto pending = pending_.find(lut);
        if (pending != pending_.end()) {
            table_ = pending->second;
        } else if (features_.lutEntries > 0 && lut >= 0) {
            std::vector<LONG> table(static_cast<size_t>(features_.lutEntries));
            const HRESULT hr = TransferTable(lut, table, false);
            if (FAILED(hr)) Present(hr, kReadSource);
            table_ = SUCCEEDED(hr) ? std::move(table) : std::vector<LONG>();
        }
        RedrawTable();
    }

    // Identity and Inverse set up the chosen table; Apply writes it.
    void SetTable(bool inverse) {
        const long lut = static_cast<long>(SelectedData(IDC_INPUT_LUT, kNone));
        if (lut < 0 || features_.lutEntries <= 0) return;
        table_ = pending_[lut] = Ramp(features_.lutEntries, features_.lutMax, inverse);
        RedrawTable();
        Mark(kTableChange);
    }

    void RedrawTable() const {
        if (HWND graph = Item(IDC_INPUT_GRAPH)) InvalidateRect(graph, nullptr, TRUE);
    }

    void DrawTable(const DRAWITEMSTRUCT& item) const {
        const RECT& area = item.rcItem;
        FillRect(item.hDC, &area,
                 GetSysColorBrush(features_.luts > 0 ? COLOR_WINDOW : COLOR_BTNFACE));
        FrameRect(item.hDC, &area, GetSysColorBrush(COLOR_WINDOWFRAME));
        const long width = area.right - area.left - 2, height = area.bottom - area.top - 2;
        if (table_.size() < 2 || features_.lutMax <= 0 || width < 2 || height < 2) return;
        std::vector<POINT> points(static_cast<size_t>(width));
        for (long x = 0; x < width; ++x) {
            const size_t at =
                static_cast<size_t>(x) * (table_.size() - 1) / static_cast<size_t>(width - 1);
            const long long value = std::clamp<long long>(table_[at], 0, features_.lutMax);
            points[static_cast<size_t>(x)] = {
                area.left + 1 + x,
                static_cast<LONG>(area.bottom - 2 - value * (height - 1) / features_.lutMax)};
        }
        com::UniquePen pen(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_HIGHLIGHT)));
        com::SelectedObject selected(item.hDC, pen.Get());
        Polyline(item.hDC, points.data(), static_cast<int>(points.size()));
    }

    // ---- Applying ----

    long Chosen(int list, long otherwise) const {
        return static_cast<long>(SelectedData(list, otherwise));
    }

    // The source is set before the mode is switched on, so that the board selects the chosen
    // source at once; switching off releases the kept one.
    HRESULT WriteBased(ICorvid3& control) const {
        const long based = Chosen(IDC_INPUT_BASED, kDisabled);
        if (based == kDisabled) return control.put_BasedSourceModeEnable(VARIANT_FALSE);
        const HRESULT hr = control.put_BasedSource(static_cast<VideoSourceEnum>(based));
        return FAILED(hr) ? hr : control.put_BasedSourceModeEnable(VARIANT_TRUE);
    }

    HRESULT WriteTables() {
        while (!pending_.empty()) {
            auto table = pending_.begin();
            if (const HRESULT hr = TransferTable(table->first, table->second, true); FAILED(hr))
                return hr;
            pending_.erase(table);
        }
        return S_OK;
    }

    // Writes what changed in the board's order; the first failure ends it and leaves the
    // changes not yet written waiting.
    HRESULT ApplyChanges(ICorvid3& control) {
        const Features& f = features_;
        const Values& v = values_;
        if (f.deviceType == KV7100) changes_ &= ~kGainChange; // fixed at 1
        if (!(f.clockSources & InternalClock)) changes_ &= ~kFrequencyChange;
        if (!(f.clockSources & ExternalClock)) changes_ &= ~kTransitionChange;
        // The KV7500's lookup table control picks a set of three tables.
        const long lutSet = f.deviceType == KV7500 ? 3 : 1;
        using Source = VideoSourceEnum;
        using Filter = InputFilterEnum;
        using Signal = VideoSignalTypeEnum;
        using Clock = ClockSourceEnum;
        using Transition = TransitionEnum;
        const std::pair<unsigned, std::function<HRESULT()>> steps[] = {
            {kBasedChange, [&] { return WriteBased(control); }},
            {kSourceChange,
             [&] {
                 return control.put_VideoInputSource(Source(Chosen(IDC_INPUT_SOURCE, v.source)));
             }},
            {kFilterChange,
             [&] { return control.put_InputFilter(Filter(Chosen(IDC_INPUT_FILTER, v.filter))); }},
            {kTypeChange,
             [&] {
                 return control.put_VideoSignalType(Signal(Chosen(IDC_INPUT_TYPE, v.signalType)));
             }},
            {kLutChange,
             [&] { return control.put_InputLUT(Chosen(IDC_INPUT_LUT, v.lut) / lutSet); }},
            {kTableChange, [&] { return WriteTables(); }},
            {kGainChange,
             [&] { return control.put_Gain(GainEnum(Chosen(IDC_INPUT_GAIN, v.gain))); }},
            // The levels are written as the sliders stand: the texts show them rounded.
            {kReferenceChange,
             [&] { return control.put_Reference(SliderPosition(IDC_INPUT_REFERENCE_SLIDER)); }},
            {kOffsetChange,
             [&] { return control.put_Offset(SliderPosition(IDC_INPUT_OFFSET_SLIDER)); }},
            {kClockSourceChange,
             [&] {
                 return control.put_ClockSource(
                     Clock(Chosen(IDC_INPUT_CLOCK_SOURCE, v.clockSource)));
             }},
            {kFrequencyChange,
             [&] {
                 return control.put_ClockFrequency(
                     static_cast<long>(Unsigned(IDC_INPUT_FREQUENCY)));
             }},
            {kTransitionChange,
             [&] {
                 return control.put_ClockTransition(
                     Transition(Chosen(IDC_INPUT_CLOCK_TRANSITION, v.transition)));
             }},
        };
        for (const auto& [change, write] : steps) {
            if (!(changes_ & change)) continue;
            if (const HRESULT hr = write(); FAILED(hr)) return hr;
            changes_ &= ~change;
        }
        return S_OK;
    }

    Features features_;
    Values values_;
    std::vector<LONG> table_;                   // the table the graph shows
    std::map<long, std::vector<LONG>> pending_; // tables set up with Identity or Inverse
    unsigned changes_ = 0;
};

} // namespace

std::unique_ptr<PageForm> MakeInputForm() {
    return std::make_unique<InputForm>();
}

} // namespace pages
