// Setup Active Video Area, Setup Frame Size and Setup Frame Type: the device's line and pixel
// timing, and the frame the program allocates.
#include "error_box.h"
#include "main_window.h"
#include "resource.h"
#include "setting_values.h"
#include "setup_dialog.h"
#include "setup_dialogs.h"

#include <array>
#include <iterator>

namespace vidora {
namespace {

BoundedField FieldOfRow(int base, int row) {
    return {base + 4 * row, base + 4 * row + 1, base + 4 * row + 2};
}

struct TimingRow {
    stSTT_FG_INPUT_CAP_KEY limits;
    LongProperty property;
};

// In load and write order.
const std::array<TimingRow, 9>& TimingRows() {
    static const std::array<TimingRow, 9> rows = {{
        {STC_FG_IC_TOTAL_PIX_PER_LINE_LIMITS, CORVID_PROPERTY(TotalPixelsPerLine)},
        {STC_FG_IC_BACK_PORCH_START_LIMITS, CORVID_PROPERTY(BackPorchStart)},
        {STC_FG_IC_CLAMP_START_LIMITS, CORVID_PROPERTY(ClampStart)},
        {STC_FG_IC_CLAMP_END_LIMITS, CORVID_PROPERTY(ClampEnd)},
        {STC_FG_IC_ACTIVE_PIXEL_LIMITS, CORVID_PROPERTY(FirstActivePixel)},
        {STC_FG_IC_ACTIVE_WIDTH_LIMITS, CORVID_PROPERTY(ActivePixelCount)},
        {STC_FG_IC_TOTAL_LINES_PER_FLD_LIMITS, CORVID_PROPERTY(TotalLinesPerField)},
        {STC_FG_IC_ACTIVE_LINE_LIMITS, CORVID_PROPERTY(FirstActiveLine)},
        {STC_FG_IC_ACTIVE_HEIGHT_LIMITS, CORVID_PROPERTY(ActiveLineCount)},
    }};
    return rows;
}

HRESULT QueryRange(ICorvid3* control, stSTT_FG_INPUT_CAP_KEY key, stSTT_LNG_RNG& range) {
    return control->QueryInputCaps(key, reinterpret_cast<long*>(&range), sizeof range);
}

class ActiveVideoAreaDialog final : public SetupDialog {
public:
    explicit ActiveVideoAreaDialog(MainWindow& main) : SetupDialog(main, IDD_ACTIVE_VIDEO_AREA) {
        for (int row = 0; row < 9; ++row) Add(fields_[row] = FieldOfRow(IDC_AVA_ROWS, row));
        OnClick(IDOK, [this] { return Ok(); });
    }

private:
    // A row the device cannot report is disabled without a message.
    HRESULT Load() override {
        for (std::size_t row = 0; row < fields_.size(); ++row) {
            const TimingRow& timing = TimingRows()[row];
            stSTT_LNG_RNG range{};
            long value = 0;
            SetErrorInfo(0, nullptr);
            if (FAILED(QueryRange(Control(), timing.limits, range)) ||
                FAILED(timing.property.get(Control(), &value))) {
                fields_[row].Enable(false);
                continue;
            }
            fields_[row].Enable(true);
            fields_[row].SetRange(range.Min, range.Max, range.Granularity);
            fields_[row].SetValue(value);
        }
        SetErrorInfo(0, nullptr);
        return S_OK;
    }
    // Stops at the first write the device refuses; the rows before it stay written.
    HRESULT Ok() {
        for (std::size_t row = 0; row < fields_.size(); ++row) {
            if (!Enabled(fields_[row].EditId())) continue;
            long value = 0;
            HRESULT hr = Integer(fields_[row].EditId(), value);
            if (SUCCEEDED(hr)) hr = TimingRows()[row].property.put(Control(), value);
            if (FAILED(hr)) return hr;
        }
        Close();
        return S_OK;
    }

    std::array<BoundedField, 9> fields_;
};

enum FrameRow { kLeft, kTop, kWidth, kHeight, kHScale, kVScale };

class FrameSizeDialog final : public SetupDialog {
public:
    explicit FrameSizeDialog(MainWindow& main) : SetupDialog(main, IDD_FRAME_SIZE) {
        for (int row = 0; row < 6; ++row) Add(fields_[row] = FieldOfRow(IDC_FS_ROWS, row));
        OnClick(IDOK, [this] { return Ok(); });
    }

private:
    HRESULT Load() override {
        for (const BoundedField& field : fields_) field.Enable(true);
        long values[6] = {};
        HRESULT hr;
        if (FAILED(hr = Control()->get_FrameLeft(&values[kLeft])) ||
            FAILED(hr = Control()->get_FrameWidth(&values[kWidth])) ||
            FAILED(hr = Control()->get_FrameHorizontalScale(&values[kHScale])) ||
            FAILED(hr = Control()->get_FrameTop(&values[kTop])) ||
            FAILED(hr = Control()->get_FrameHeight(&values[kHeight])) ||
            FAILED(hr = Control()->get_FrameVerticalScale(&values[kVScale])))
            return hr;
        for (int scale : {kHScale, kVScale}) fields_[scale].SetRange(1, 100, 1);
        if (State().DeviceType == KV7100) {
            for (int row : {kLeft, kWidth, kTop, kHeight}) fields_[row].Enable(false);
        } else {
            const stSTT_FG_INPUT_CAP_KEY keys[4] = {STC_FG_IC_FRAME_LEFT_LIMITS, STC_FG_IC_FRAME_TOP_LIMITS,
                                                    STC_FG_IC_FRAME_WIDTH_LIMITS,
                                                    STC_FG_IC_FRAME_HEIGHT_LIMITS};
            for (int row : {kLeft, kWidth, kTop, kHeight}) {
                stSTT_LNG_RNG range{};
                if (FAILED(hr = QueryRange(Control(), keys[row], range))) return hr;
                fields_[row].SetRange(range.Min, range.Max, range.Granularity);
            }
        }
        for (int row = 0; row < 6; ++row) fields_[row].SetValue(values[row]);
        return S_OK;
    }
    // Only the program's copies change; they apply at the next frame allocation.
    HRESULT Ok() {
        long values[6] = {};
        for (int row = 0; row < 6; ++row)
            if (const HRESULT hr = Integer(fields_[row].EditId(), values[row]); FAILED(hr)) return hr;
        AppState& state = State();
        long* targets[6] = {&state.AcqLeft,  &state.AcqTop,    &state.AcqWidth,
                            &state.AcqHeight, &state.AcqHScale, &state.AcqVScale};
        for (int row = 0; row < 6; ++row) *targets[row] = values[row];
        // The full view's scroll bars follow the new frame size.
        if (Main().Menus().Checked(MenuItem::FullImageWindow)) Main().ShowFullView();
        Close();
        return S_OK;
    }

    std::array<BoundedField, 6> fields_;
};

class FrameTypeDialog final : public SetupDialog {
public:
    explicit FrameTypeDialog(MainWindow& main) : SetupDialog(main, IDD_FRAME_TYPE) {
        OnClick(IDOK, [this] {
            for (int i = 0; i < 7; ++i)
                if (Checked(IDC_FT_OPTIONS + i)) {
                    State().AcqFrameType = kFrameTypeBits[i];
                    break;
                }
            Close();
            return S_OK;
        });
    }

private:
    HRESULT Load() override {
        for (int i = 0; i < 7; ++i) Enable({IDC_FT_OPTIONS + i}, false);
        HRESULT hr = Caps(STC_FG_IC_FRAME_TYPE_LIMITS);
        if (FAILED(hr)) return hr;
        for (int i = 0; i < 7; ++i)
            Enable({IDC_FT_OPTIONS + i}, (State().CapsValue & kFrameTypeBits[i]) != 0);
        FrameTypeEnum current;
        if (FAILED(hr = Control()->get_FrameType(&current))) return hr;
        for (int i = 0; i < 7; ++i) Check(IDC_FT_OPTIONS + i, current == kFrameTypeBits[i]);
        return S_OK;
    }
};

} // namespace

void ShowActiveVideoArea(MainWindow& main) { ActiveVideoAreaDialog(main).Run(); }
void ShowFrameSize(MainWindow& main) { FrameSizeDialog(main).Run(); }
void ShowFrameType(MainWindow& main) { FrameTypeDialog(main).Run(); }

} // namespace vidora
