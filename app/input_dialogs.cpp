// The analog input dialogs: input source, input filter, video input type, programmable A/D,
// pixel clock (with its external clock warning), sync sentinel, external trigger and timeout.
#include "error_box.h"
#include "main_window.h"
#include "resource.h"
#include "setting_values.h"
#include "setup_dialog.h"
#include "setup_dialogs.h"

#include <vector>

namespace vidora {
namespace {

void AddItem(HWND combo, const std::wstring& text) {
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

class InputSourceDialog final : public SetupDialog {
public:
    explicit InputSourceDialog(MainWindow& main) : SetupDialog(main, IDD_INPUT_SOURCE) {
        OnClick(IDOK, [this] {
            long source = 0;
            HRESULT hr = Integer(IDC_INPUT_SOURCE, source);
            if (SUCCEEDED(hr)) hr = Control()->put_VideoInputSource(static_cast<VideoSourceEnum>(source));
            if (SUCCEEDED(hr)) Close();
            return hr;
        });
    }

private:
    HRESULT Load() override {
        HRESULT hr = Caps(STC_FG_IC_INPUT_SOURCE_COUNT);
        if (FAILED(hr)) return hr;
        for (long i = 0; i < State().CapsValue; ++i) AddItem(Item(IDC_INPUT_SOURCE), L" " + std::to_wstring(i));
        VideoSourceEnum current;
        if (FAILED(hr = Control()->get_VideoInputSource(&current))) return hr;
        SetNumber(IDC_INPUT_SOURCE, current);
        return S_OK;
    }
};

constexpr long kFilterBits[4] = {1, 2, 4, 8};

class InputFilterDialog final : public SetupDialog {
public:
    explicit InputFilterDialog(MainWindow& main) : SetupDialog(main, IDD_INPUT_FILTER) {
        OnClick(IDOK, [this] {
            for (int i = 0; i < 4; ++i)
                if (Checked(IDC_IF_OPTIONS + i)) {
                    if (const HRESULT hr = Control()->put_InputFilter(static_cast<InputFilterEnum>(kFilterBits[i]));
                        FAILED(hr))
                        return hr;
                    break;
                }
            Close();
            return S_OK;
        });
    }

private:
    HRESULT Load() override {
        for (int i = 0; i < 4; ++i) Enable({IDC_IF_OPTIONS + i}, false);
        HRESULT hr = Caps(STC_FG_IC_DOES_INPUT_FILTER);
        if (FAILED(hr) || State().CapsValue != 1) return hr;
        State().CapsValue = 0;
        if (FAILED(hr = Caps(STC_FG_IC_INPUT_FILTER_LIMITS))) return hr;
        InputFilterEnum current;
        if (FAILED(hr = Control()->get_InputFilter(&current))) return hr;
        for (int i = 0; i < 4; ++i) {
            Enable({IDC_IF_OPTIONS + i}, (State().CapsValue & kFilterBits[i]) != 0);
            Check(IDC_IF_OPTIONS + i, current == kFilterBits[i]);
        }
        return S_OK;
    }
};

class VideoInputTypeDialog final : public SetupDialog {
public:
    explicit VideoInputTypeDialog(MainWindow& main) : SetupDialog(main, IDD_VIDEO_INPUT_TYPE) {
        for (int id : {IDC_COMPOSITE, IDC_YC, IDC_RGB}) OnClick(id, [this] { return ShowComposite(true); });
        OnClick(IDC_VARIABLE_SCAN, [this] { return ShowComposite(false); });
        OnClick(IDOK, [this] { return Ok(); });
    }

private:
    static constexpr int kTransitions[4] = {IDC_LINE_HIGH_TO_LOW, IDC_LINE_LOW_TO_HIGH,
                                            IDC_FIELD_HIGH_TO_LOW, IDC_FIELD_LOW_TO_HIGH};

    // Selects a transition pair from its value; any value but 0 or 1 disables the pair.
    void ShowTransition(int highToLow, int lowToHigh, long value) {
        if (value == 0 || value == 1) {
            Check(highToLow, value == 0);
            Check(lowToHigh, value == 1);
        } else {
            Enable({highToLow, lowToHigh}, false);
        }
    }
    HRESULT Load() override {
        Enable({IDC_COMPOSITE, IDC_VARIABLE_SCAN, IDC_YC, IDC_RGB, IDC_SYNC_SOURCE_LABEL,
                IDC_SYNC_SOURCE, IDC_SYNC_THRESHOLD_LABEL, IDC_SYNC_THRESHOLD},
               true);
        for (int id : kTransitions) Enable({id}, false);
        SetErrorInfo(0, nullptr);
        VideoSignalTypeEnum type;
        HRESULT hr = Control()->get_VideoSignalType(&type);
        if (FAILED(hr)) return hr;
        switch (type) {
        case CompositeVideo: Check(IDC_COMPOSITE, true); break;
        case YCVideo: Check(IDC_YC, true); break;
        case RGBVideo: Check(IDC_RGB, true); break;
        case VarScanVideo: {
            Check(IDC_VARIABLE_SCAN, true);
            for (int id : kTransitions) Enable({id}, true);
            TransitionEnum line, field;
            if (FAILED(hr = Control()->get_HorizontalTransition(&line)) ||
                FAILED(hr = Control()->get_VerticalTransition(&field)))
                return hr;
            ShowTransition(IDC_LINE_HIGH_TO_LOW, IDC_LINE_LOW_TO_HIGH, line);
            ShowTransition(IDC_FIELD_HIGH_TO_LOW, IDC_FIELD_LOW_TO_HIGH, field);
            break;
        }
        default:
            Enable({IDC_COMPOSITE, IDC_VARIABLE_SCAN}, false);
            Check(IDC_RGB, false);
            Check(IDC_YC, false);
        }

        stSTT_LIST_LIMITS list{};
        if (FAILED(hr = Control()->QueryInputCaps(STC_FG_IC_CSYNC_THRESH_LIST_LIMITS,
                                                   reinterpret_cast<long*>(&list), sizeof list)))
            return hr;
        if (list.Count > 0) {
            std::vector<long> thresholds(static_cast<std::size_t>(list.Count) + 1);
            if (FAILED(hr = Control()->QueryInputCaps(STC_FG_IC_CSYNC_THRESH_LIST, thresholds.data(),
                                                       4 * list.Count)))
                return hr;
            for (long i = 0; i < list.Count; ++i) AddItem(Item(IDC_SYNC_THRESHOLD), std::to_wstring(thresholds[i]));
        }
        long threshold = 0;
        if (FAILED(hr = Control()->get_SyncThresh(&threshold))) return hr;
        SetNumber(IDC_SYNC_THRESHOLD, threshold);

        if (FAILED(hr = Caps(STC_FG_IC_CSYNC_SOURCE_LIMITS))) return hr;
        const long sources = State().CapsValue;
        if (sources & 1) AddItem(Item(IDC_SYNC_SOURCE), L"Current Source");
        if (sources & 2) {
            if (FAILED(hr = Caps(STC_FG_IC_INPUT_SOURCE_COUNT))) return hr;
            for (long k = 0; k < State().CapsValue; ++k)
                AddItem(Item(IDC_SYNC_SOURCE), L"Channel " + std::to_wstring(k));
        }
        if (sources & 4) AddItem(Item(IDC_SYNC_SOURCE), L"External Line");
        SyncSourceEnum source;
        if (FAILED(hr = Control()->get_SyncSource(&source))) return hr;
        if (const wchar_t* name = SyncSourceText(source)) SetText(IDC_SYNC_SOURCE, name);
        return S_OK;
    }
    HRESULT ShowComposite(bool composite) {
        Enable({IDC_SYNC_SOURCE_LABEL, IDC_SYNC_SOURCE, IDC_SYNC_THRESHOLD_LABEL, IDC_SYNC_THRESHOLD},
               composite);
        for (int id : kTransitions) Enable({id}, !composite);
        if (composite) return S_OK;
        TransitionEnum line, field;
        HRESULT hr;
        if (FAILED(hr = Control()->get_HorizontalTransition(&line)) ||
            FAILED(hr = Control()->get_VerticalTransition(&field)))
            return hr;
        Check(IDC_LINE_HIGH_TO_LOW, line == 0);
        Check(IDC_LINE_LOW_TO_HIGH, line != 0);
        Check(IDC_FIELD_HIGH_TO_LOW, field == 0);
        Check(IDC_FIELD_LOW_TO_HIGH, field != 0);
        return S_OK;
    }
    HRESULT Ok() {
        HRESULT hr = S_OK;
        long type = 0;
        if (Checked(IDC_COMPOSITE)) type = CompositeVideo;
        else if (Checked(IDC_VARIABLE_SCAN)) type = VarScanVideo;
        else if (Checked(IDC_RGB)) type = RGBVideo;
        else if (Checked(IDC_YC)) type = YCVideo;
        if (type == VarScanVideo) {
            if (FAILED(hr = Control()->put_VideoSignalType(VarScanVideo)) ||
                FAILED(hr = Control()->put_HorizontalTransition(Checked(IDC_LINE_HIGH_TO_LOW) ? OnHighToLow : OnLowToHigh)) ||
                FAILED(hr = Control()->put_VerticalTransition(Checked(IDC_FIELD_HIGH_TO_LOW) ? OnHighToLow : OnLowToHigh)))
                return hr;
        } else if (type != 0) {
            long threshold = 0;
            if (FAILED(hr = Control()->put_VideoSignalType(static_cast<VideoSignalTypeEnum>(type))) ||
                FAILED(hr = Integer(IDC_SYNC_THRESHOLD, threshold)) ||
                FAILED(hr = Control()->put_SyncThresh(threshold)))
                return hr;
            // A source the list does not name (typed by the operator) leaves the source as it is.
            if (const std::optional<long> source = SyncSourceValue(Text(IDC_SYNC_SOURCE)))
                if (FAILED(hr = Control()->put_SyncSource(static_cast<SyncSourceEnum>(*source)))) return hr;
        }
        Close();
        return S_OK;
    }
};

class ProgrammableADDialog final : public SetupDialog {
public:
    explicit ProgrammableADDialog(MainWindow& main) : SetupDialog(main, IDD_PROGRAMMABLE_AD) {
        OnClick(IDOK, [this] { return Ok(); });
    }

private:
    bool HasGain() { return State().DeviceType != KV7100; }
    HRESULT Load() override {
        Enable({IDC_OFFSET, IDC_REFERENCE, IDC_GAIN}, true);
        for (const wchar_t* gain : {L".5", L"1", L"2", L"4"}) AddItem(Item(IDC_GAIN), gain);
        stSTT_LNG_RNG white{};
        long offset = 0, reference = 0;
        HRESULT hr;
        if (FAILED(hr = Control()->QueryInputCaps(STC_FG_IC_WHITE_LEVEL_LIMITS,
                                                   reinterpret_cast<long*>(&white), sizeof white)) ||
            FAILED(hr = Control()->get_Offset(&offset)) || FAILED(hr = Control()->get_Reference(&reference)))
            return hr;
        SetNumber(IDC_REFERENCE, reference);
        if (HasGain()) {
            GainEnum gain;
            if (FAILED(hr = Control()->get_Gain(&gain))) return hr;
            SetText(IDC_GAIN, GainText(gain));
        } else {
            Enable({IDC_GAIN}, false);
        }
        // The offset is shown on the device's white-level steps; a device reporting steps of
        // 0 cannot be rounded: its offset is shown as it is and the operator told why.
        const std::optional<long> rounded = RoundToGranularity(offset, white.Granularity);
        SetNumber(IDC_OFFSET, rounded.value_or(offset));
        if (!rounded)
            return ProgramError(DISP_E_DIVBYZERO,
                                L"The board reports a white-level granularity of 0: the offset "
                                L"is shown unrounded.");
        return S_OK;
    }
    HRESULT Ok() {
        long offset = 0, reference = 0;
        HRESULT hr;
        if (FAILED(hr = Integer(IDC_OFFSET, offset)) || FAILED(hr = Control()->put_Offset(offset)) ||
            FAILED(hr = Integer(IDC_REFERENCE, reference)) ||
            FAILED(hr = Control()->put_Reference(reference)))
            return hr;
        if (HasGain()) {
            const std::optional<long> gain = GainOf(Text(IDC_GAIN));
            if (!gain) return ProgramError(DISP_E_TYPEMISMATCH, L"Type mismatch");
            if (FAILED(hr = Control()->put_Gain(static_cast<GainEnum>(*gain)))) return hr;
        }
        Close();
        return S_OK;
    }
};

class PixelClockDialog final : public SetupDialog {
public:
    explicit PixelClockDialog(MainWindow& main) : SetupDialog(main, IDD_PIXEL_CLOCK) {
        OnClick(IDC_INTERNAL_CLOCK, [this] { return ShowInternal(true); });
        OnClick(IDC_EXTERNAL_CLOCK, [this] { return ShowInternal(false); });
        OnClick(IDOK, [this] { return Ok(); });
    }

private:
    HRESULT ShowInternal(bool internal) {
        Enable({IDC_FREQUENCY_LABEL, IDC_FREQUENCY, IDC_HZ}, internal);
        Enable({IDC_CLOCK_HIGH_TO_LOW, IDC_CLOCK_LOW_TO_HIGH}, !internal);
        return S_OK;
    }
    HRESULT Load() override {
        Enable({IDC_INTERNAL_CLOCK, IDC_EXTERNAL_CLOCK, IDC_CLOCK_HIGH_TO_LOW, IDC_CLOCK_LOW_TO_HIGH}, false);
        long frequency = 0;
        HRESULT hr = Caps(STC_FG_IC_DOES_PIXEL_CLOCK);
        if (FAILED(hr)) return hr;
        if (FAILED(hr = Control()->get_ClockFrequency(&frequency))) return hr;
        if (State().CapsValue == 1) {
            if (FAILED(hr = Caps(STC_FG_IC_CLOCK_SOURCE_LIMITS))) return hr;
            const long sources = State().CapsValue;
            if (sources & 1) {
                Enable({IDC_INTERNAL_CLOCK}, true);
                SetNumber(IDC_FREQUENCY, frequency);
            }
            if (sources & 2) {
                Enable({IDC_EXTERNAL_CLOCK, IDC_CLOCK_HIGH_TO_LOW, IDC_CLOCK_LOW_TO_HIGH}, true);
                TransitionEnum transition;
                if (FAILED(hr = Control()->get_ClockTransition(&transition))) return hr;
                Check(IDC_CLOCK_LOW_TO_HIGH, transition != 0);
                Check(IDC_CLOCK_HIGH_TO_LOW, transition == 0);
            }
        } else {
            SetNumber(IDC_FREQUENCY, frequency);
            Enable({IDC_FREQUENCY_LABEL, IDC_FREQUENCY, IDC_HZ}, false);
        }
        ClockSourceEnum source;
        if (FAILED(hr = Control()->get_ClockSource(&source))) return hr;
        if (Enabled(IDC_INTERNAL_CLOCK) && source == InternalClock) {
            Check(IDC_INTERNAL_CLOCK, true);
        } else if (Enabled(IDC_EXTERNAL_CLOCK) && source == ExternalClock) {
            Check(IDC_EXTERNAL_CLOCK, true);
            Enable({IDC_FREQUENCY_LABEL, IDC_FREQUENCY, IDC_HZ}, false);
        }
        return S_OK;
    }
    bool Chosen(int id) const { return Checked(id) && Enabled(id); }
    HRESULT Ok() {
        HRESULT hr;
        if (Chosen(IDC_INTERNAL_CLOCK)) {
            long frequency = 0;
            if (FAILED(hr = Control()->put_ClockSource(InternalClock)) ||
                FAILED(hr = Integer(IDC_FREQUENCY, frequency)) ||
                FAILED(hr = Control()->put_ClockFrequency(frequency)))
                return hr;
        } else if (Chosen(IDC_EXTERNAL_CLOCK)) {
            if (FAILED(hr = Control()->put_ClockSource(ExternalClock))) return hr;
            if (Chosen(IDC_CLOCK_HIGH_TO_LOW)) hr = Control()->put_ClockTransition(OnHighToLow);
            else if (Chosen(IDC_CLOCK_LOW_TO_HIGH)) hr = Control()->put_ClockTransition(OnLowToHigh);
            if (FAILED(hr)) return hr;
            if (State().RemindPixelClock)
                ReminderNote(Main(), IDD_PIXEL_CLOCK_WARNING, IDC_REMIND_PIXEL_CLOCK,
                             IDC_PIXEL_CLOCK_WARNING_OK, State().RemindPixelClock)
                    .Run();
        }
        Close();
        return S_OK;
    }
};

constexpr struct {
    HRESULT (STDMETHODCALLTYPE ICorvid3::*get)(long*);
    HRESULT (STDMETHODCALLTYPE ICorvid3::*put)(long);
} kSentinelRows[4] = {
    {&ICorvid3::get_HSyncSearchPos, &ICorvid3::put_HSyncSearchPos},
    {&ICorvid3::get_HSyncInsertPos, &ICorvid3::put_HSyncInsertPos},
    {&ICorvid3::get_VSyncSearchPos, &ICorvid3::put_VSyncSearchPos},
    {&ICorvid3::get_VSyncInsertPos, &ICorvid3::put_VSyncInsertPos},
};

class SyncSentinelDialog final : public SetupDialog {
public:
    explicit SyncSentinelDialog(MainWindow& main) : SetupDialog(main, IDD_SYNC_SENTINEL) {
        OnClick(IDOK, [this] { return Ok(); });
    }

private:
    void EnableAll(bool enable) {
        Enable({IDC_SYNC_SENTINEL}, enable);
        for (int id = IDC_SS_ROWS; id < IDC_SS_ROWS + 12; ++id) Enable({id}, enable);
    }
    HRESULT Load() override {
        HRESULT hr = Caps(STC_FG_IC_DOES_SYNC_SENTINEL);
        if (FAILED(hr)) return hr;
        if (State().CapsValue == 1) {
            for (int row = 0; row < 4; ++row) {
                long value = 0;
                if (FAILED(hr = (Control()->*kSentinelRows[row].get)(&value))) return hr;
                SetText(IDC_SS_ROWS + 3 * row + 1, HundredthsText(value));
            }
            VARIANT_BOOL on;
            if (FAILED(hr = Control()->get_SyncSentinel(&on))) return hr;
            Check(IDC_SYNC_SENTINEL, on != VARIANT_FALSE);
        }
        if (FAILED(hr = Caps(STC_FG_IC_SYNC_SENTINEL_TYPE_LIMITS))) return hr;
        if (State().CapsValue & 1) EnableAll(false);
        if (State().CapsValue & 2) EnableAll(true);
        return S_OK;
    }
    HRESULT Ok() {
        HRESULT hr;
        if (Checked(IDC_SYNC_SENTINEL) && Enabled(IDC_SYNC_SENTINEL)) {
            if (FAILED(hr = Control()->put_SyncSentinel(VARIANT_TRUE))) return hr;
            for (int row = 0; row < 4; ++row) {
                const std::optional<long> value = HundredthsOf(Text(IDC_SS_ROWS + 3 * row + 1));
                if (!value) return ProgramError(DISP_E_TYPEMISMATCH, L"Type mismatch");
                if (FAILED(hr = (Control()->*kSentinelRows[row].put)(*value))) return hr;
            }
        } else if (FAILED(hr = Control()->put_SyncSentinel(VARIANT_FALSE))) {
            return hr;
        }
        Close();
        return S_OK;
    }
};

class ExternalTriggerDialog final : public SetupDialog {
public:
    explicit ExternalTriggerDialog(MainWindow& main) : SetupDialog(main, IDD_EXTERNAL_TRIGGER) {
        OnClick(IDC_EXTERNAL_TRIGGER, [this] { return BoxChanged(); });
        OnClick(IDC_TRIGGER_OK, [this] { return Ok(); });
        OnClick(IDC_TRIGGER_CANCEL, [this] {
            Close(IDCANCEL);
            return S_OK;
        });
    }

private:
    HRESULT Load() override {
        TriggerTypeEnum type;
        const HRESULT hr = Control()->get_TriggerType(&type);
        if (FAILED(hr)) return hr;
        Check(IDC_EXTERNAL_TRIGGER, type == ExternalTrigger);
        return BoxChanged();
    }
    HRESULT BoxChanged() {
        const bool on = Checked(IDC_EXTERNAL_TRIGGER);
        Enable({IDC_TRIGGER_LOW_TO_HIGH, IDC_TRIGGER_HIGH_TO_LOW}, on);
        TransitionEnum transition = OnHighToLow;
        if (on)
            if (const HRESULT hr = Control()->get_TriggerTransition(&transition); FAILED(hr)) return hr;
        Check(IDC_TRIGGER_LOW_TO_HIGH, on && transition != 0);
        Check(IDC_TRIGGER_HIGH_TO_LOW, on && transition == 0);
        return S_OK;
    }
    HRESULT Ok() {
        HRESULT hr;
        if (Checked(IDC_EXTERNAL_TRIGGER)) {
            if (FAILED(hr = Control()->put_TriggerType(ExternalTrigger)) ||
                FAILED(hr = Control()->put_TriggerTransition(Checked(IDC_TRIGGER_HIGH_TO_LOW) ? OnHighToLow : OnLowToHigh)))
                return hr;
            State().ExternalTriggerOn = true;
        } else {
            if (FAILED(hr = Control()->put_TriggerType(SoftwareTrigger))) return hr;
            State().ExternalTriggerOn = false;
        }
        Close();
        return S_OK;
    }
};

class TimeoutDialog final : public SetupDialog {
public:
    explicit TimeoutDialog(MainWindow& main) : SetupDialog(main, IDD_TIMEOUT) {
        OnClick(IDOK, [this] {
            long seconds = 0;
            HRESULT hr = Integer(IDC_TIMEOUT, seconds);
            if (SUCCEEDED(hr)) hr = Control()->put_Timeout(seconds);
            if (SUCCEEDED(hr)) Close();
            return hr;
        });
    }

private:
    HRESULT Load() override {
        long seconds = 0;
        const HRESULT hr = Control()->get_Timeout(&seconds);
        if (SUCCEEDED(hr)) SetNumber(IDC_TIMEOUT, seconds);
        return hr;
    }
};

} // namespace

void ShowInputSource(MainWindow& main) { InputSourceDialog(main).Run(); }
void ShowInputFilter(MainWindow& main) { InputFilterDialog(main).Run(); }
void ShowVideoInputType(MainWindow& main) { VideoInputTypeDialog(main).Run(); }
void ShowProgrammableAD(MainWindow& main) { ProgrammableADDialog(main).Run(); }
void ShowPixelClock(MainWindow& main) { PixelClockDialog(main).Run(); }
void ShowSyncSentinel(MainWindow& main) { SyncSentinelDialog(main).Run(); }
void ShowExternalTrigger(MainWindow& main) { ExternalTriggerDialog(main).Run(); }
void ShowTimeout(MainWindow& main) { TimeoutDialog(main).Run(); }

} // namespace vidora
