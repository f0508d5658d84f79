// The dialogs that work on the running device: digital I/O lines with their lamps, and the
// color image parameters adjusted against live video.
#include "error_box.h"
#include "main_window.h"
#include "raii.h"
#include "resource.h"
#include "setting_values.h"
#include "setup_dialog.h"
#include "setup_dialogs.h"

#include <commctrl.h>

#include <algorithm>
#include <array>

namespace vidora {
namespace {

enum class Lamp { Disabled, Off, On };
constexpr UINT_PTR kReadTimer = 1;
constexpr UINT kReadInterval = 500;  // ms

class DigitalIODialog final : public SetupDialog {
public:
    explicit DigitalIODialog(MainWindow& main) : SetupDialog(main, IDD_DIGITAL_IO) {
        for (int line = 0; line < 8; ++line) {
            OnClick(IDC_DIO_IN + line, [this, line] { return InputChosen(line); });
            OnClick(IDC_DIO_OUT + line, [this, line] { return OutputChosen(line); });
            On(IDC_DIO_WRITE + line, STN_CLICKED, [this, line] { return WriteLampClicked(line); });
        }
        OnClick(IDCANCEL, [this] {
            outputPattern_ = 0;
            KillTimer(Window(), kReadTimer);
            Close(IDCANCEL);
            return S_OK;
        });
    }

private:
    bool Bidirectional() const { return (inCaps_ & outCaps_) != 0; }
    void SetLamp(int id, Lamp lamp) {
        (id >= IDC_DIO_READ ? read_ : write_)[(id - IDC_DIO_WRITE) % 10] = lamp;
        InvalidateRect(Item(id), nullptr, FALSE);
    }
    // The lamps of a line follow its direction; the unused lamp is shown disabled.
    void ShowDirection(int line) {
        const bool in = Checked(IDC_DIO_IN + line), out = Checked(IDC_DIO_OUT + line);
        SetLamp(IDC_DIO_READ + line, in ? Lamp::Off : Lamp::Disabled);
        SetLamp(IDC_DIO_WRITE + line, out ? Lamp::Off : Lamp::Disabled);
    }
    HRESULT Load() override {
        KillTimer(Window(), kReadTimer);
        long config = 0;
        HRESULT hr;
        if (FAILED(hr = Control()->get_DigOutCaps(&outCaps_)) || FAILED(hr = Control()->get_DigInCaps(&inCaps_)) ||
            FAILED(hr = Control()->get_DigIOConfig(&config)))
            return hr;
        for (int line = 0; line < 8; ++line) {
            const long bit = 1L << line;
            Enable({IDC_DIO_OUT + line}, (outCaps_ & bit) != 0);
            Enable({IDC_DIO_IN + line}, (inCaps_ & bit) != 0);
            // Loading shows the device's configuration; only the operator's choices write.
            const bool out = (config & bit) != 0;
            Check(IDC_DIO_OUT + line, out);
            Check(IDC_DIO_IN + line, !out && (inCaps_ & bit) != 0);
            ShowDirection(line);
        }
        if (inCaps_ != 0) SetTimer(Window(), kReadTimer, kReadInterval, nullptr);
        return S_OK;
    }
    HRESULT InputChosen(int line) {
        ShowDirection(line);
        return S_OK;
    }
    HRESULT OutputChosen(int line) {
        ShowDirection(line);
        HRESULT hr;
        if (Bidirectional() && FAILED(hr = Control()->put_DigIOConfig(outputPattern_))) return hr;
        if (FAILED(hr = Control()->put_DigIOPattern(0))) return hr;
        outputPattern_ = 0;
        for (int other = 0; other < 8; ++other)
            if (write_[other] == Lamp::On) SetLamp(IDC_DIO_WRITE + other, Lamp::Off);
        return S_OK;
    }
    // A write lamp of a line set to output toggles its bit of the pattern.
    HRESULT WriteLampClicked(int line) {
        if (write_[line] == Lamp::Disabled) return S_OK;
        const long bit = 1L << line;
        if (write_[line] == Lamp::On) {
            SetLamp(IDC_DIO_WRITE + line, Lamp::Off);
            outputPattern_ &= ~bit;
        } else {
            SetLamp(IDC_DIO_WRITE + line, Lamp::On);
            outputPattern_ |= bit;
        }
        HRESULT hr;
        if (Bidirectional() && FAILED(hr = Control()->put_DigIOConfig(outputPattern_))) return hr;
        return Control()->put_DigIOPattern(outputPattern_);
    }
    // The device returns the input lines right-aligned: shifted back onto the lowest input line.
    HRESULT ReadInputs() {
        long lowest = inCaps_ & -inCaps_;
        long pattern = 0;
        bool anyInput = false;
        for (int line = 0; line < 8; ++line) anyInput = anyInput || Checked(IDC_DIO_IN + line);
        if (anyInput)
            if (const HRESULT hr = Control()->get_DigIOPattern(&pattern); FAILED(hr)) {
                KillTimer(Window(), kReadTimer);  // one error box, not one every tick
                return hr;
            }
        const long lines = pattern * lowest;
        for (int line = 0; line < 8; ++line) {
            const Lamp lamp = !Checked(IDC_DIO_IN + line) ? Lamp::Disabled
                              : (lines & (1L << line)) ? Lamp::On : Lamp::Off;
            if (read_[line] != lamp) SetLamp(IDC_DIO_READ + line, lamp);
        }
        return S_OK;
    }
    void DrawLamp(const DRAWITEMSTRUCT& item) {
        const int id = static_cast<int>(item.CtlID);
        const Lamp lamp = (id >= IDC_DIO_READ ? read_ : write_)[(id - IDC_DIO_WRITE) % 10];
        const COLORREF colors[3] = {RGB(160, 160, 160), RGB(0, 80, 0), RGB(0, 255, 0)};
        FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
        const com::UniqueBrush brush(CreateSolidBrush(colors[static_cast<int>(lamp)]));
        const HGDIOBJ oldBrush = SelectObject(item.hDC, brush.Get());
        const HGDIOBJ oldPen = SelectObject(item.hDC, GetStockObject(BLACK_PEN));
        const int size = std::min(item.rcItem.right - item.rcItem.left, item.rcItem.bottom - item.rcItem.top) - 2;
        Ellipse(item.hDC, item.rcItem.left + 1, item.rcItem.top + 1, item.rcItem.left + 1 + size,
                item.rcItem.top + 1 + size);
        SelectObject(item.hDC, oldPen);
        SelectObject(item.hDC, oldBrush);
    }
    bool Message(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
        case WM_TIMER:
            if (wParam == kReadTimer) Trap([this] { return ReadInputs(); });
            return true;
        case WM_DRAWITEM:
            DrawLamp(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return true;
        case WM_DESTROY:
            KillTimer(Window(), kReadTimer);
            return false;
        }
        return false;
    }

    long inCaps_ = 0, outCaps_ = 0, outputPattern_ = 0;
    std::array<Lamp, 8> write_{}, read_{};
};

struct ColorRow {
    STT_COLOR_PARAMETER selector;
    LongProperty property;
};

// In the order of the dialog's rows.
const std::array<ColorRow, 11>& ColorRows() {
    static const std::array<ColorRow, 11> rows = {{
        {STC_SET_RED_OFF, CORVID_PROPERTY(RedOffset)},
        {STC_SET_GREEN_OFF, CORVID_PROPERTY(GreenOffset)},
        {STC_SET_BLUE_OFF, CORVID_PROPERTY(BlueOffset)},
        {STC_SET_RED_REF, CORVID_PROPERTY(RedReference)},
        {STC_SET_GREEN_REF, CORVID_PROPERTY(GreenReference)},
        {STC_SET_BLUE_REF, CORVID_PROPERTY(BlueReference)},
        {STC_SET_BRIGHTNESS, CORVID_PROPERTY(Brightness)},
        {STC_SET_CONTRAST, CORVID_PROPERTY(Contrast)},
        {STC_SET_HUE, CORVID_PROPERTY(Hue)},
        {STC_SET_U_SAT, CORVID_PROPERTY(USaturation)},
        {STC_SET_V_SAT, CORVID_PROPERTY(VSaturation)},
    }};
    return rows;
}
constexpr int kBrightnessRow = 6;
constexpr wchar_t kNotAvailable[] = L"N/A";
// The notification a row's text box sends its dialog when Enter is pressed in it.
constexpr WORD kReturnPressed = 0x7001;

int LabelOf(int row) { return IDC_CP_ROWS + 3 * row; }
int EditOf(int row) { return IDC_CP_ROWS + 3 * row + 1; }
int SliderOf(int row) { return IDC_CP_ROWS + 3 * row + 2; }

// Enter in a row's text box applies it at once (these dialogs have no OK button).
LRESULT CALLBACK ColorEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                               DWORD_PTR) {
    if (message == WM_GETDLGCODE && lParam &&
        reinterpret_cast<const MSG*>(lParam)->message == WM_KEYDOWN && wParam == VK_RETURN)
        return DLGC_WANTMESSAGE;
    if (message == WM_KEYDOWN && wParam == VK_RETURN) {
        SendMessageW(GetParent(edit), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(edit), kReturnPressed),
                     reinterpret_cast<LPARAM>(edit));
        return 0;
    }
    if (message == WM_CHAR && wParam == L'\r') return 0;  // no beep
    if (message == WM_NCDESTROY) RemoveWindowSubclass(edit, ColorEditProc, 1);
    return DefSubclassProc(edit, message, wParam, lParam);
}

class ColorParametersDialog final : public SetupDialog {
public:
    explicit ColorParametersDialog(MainWindow& main) : SetupDialog(main, IDD_COLOR_PARAMETERS) {
        for (int row = 0; row < 11; ++row)
            On(EditOf(row), kReturnPressed, [this, row] { return ApplyText(row, false); });
        On(EditOf(kBrightnessRow), EN_KILLFOCUS, [this] { return ApplyText(kBrightnessRow, true); });
        OnClick(IDC_RESTORE_DEFAULTS, [this] { return RestoreDefaults(); });
        OnClick(IDCANCEL, [this] {
            Close(IDCANCEL);
            return S_OK;
        });
    }

private:
    HRESULT Nominal(int row, long& value) {
        return Control()->ColorImageParameters(STC_QUERY_CONTROL_NOMINAL, ColorRows()[row].selector, &value);
    }
    // Each row traps its own errors: a parameter the device does not have shows "N/A".
    HRESULT Load() override {
        Main().StartPassThru();
        for (int row = 0; row < 11; ++row) {
            SetWindowSubclass(Item(EditOf(row)), ColorEditProc, 1, 0);
            const STT_COLOR_PARAMETER selector = ColorRows()[row].selector;
            long nominal = 0, value = 0, min = 0, max = 0;
            SetErrorInfo(0, nullptr);
            if (FAILED(Nominal(row, nominal)) || FAILED(ColorRows()[row].property.get(Control(), &value)) ||
                FAILED(Control()->ColorImageParameters(STC_QUERY_CONTROL_MAX, selector, &max)) ||
                FAILED(Control()->ColorImageParameters(STC_QUERY_CONTROL_MIN, selector, &min))) {
                SetText(EditOf(row), kNotAvailable);
                Enable({LabelOf(row), EditOf(row), SliderOf(row)}, false);
                continue;
            }
            Enable({LabelOf(row), EditOf(row), SliderOf(row)}, true);
            SetNumber(EditOf(row), value);
            SendDlgItemMessageW(Window(), SliderOf(row), TBM_SETRANGEMIN, FALSE, min);
            SendDlgItemMessageW(Window(), SliderOf(row), TBM_SETRANGEMAX, TRUE, max);
            SendDlgItemMessageW(Window(), SliderOf(row), TBM_SETPOS, TRUE, value);
            nominals_[row] = nominal;
        }
        SetErrorInfo(0, nullptr);
        return S_OK;
    }
    // Live video pauses while the device takes the new value.
    HRESULT Write(int row, long value) {
        HRESULT hr = Control()->StopPassthru();
        if (SUCCEEDED(hr)) {
            RunPendingMessages();
            hr = ColorRows()[row].property.put(Control(), value);
        }
        if (SUCCEEDED(hr)) {
            SetNumber(EditOf(row), value);
            SendDlgItemMessageW(Window(), SliderOf(row), TBM_SETPOS, TRUE, value);
            hr = Control()->StartPassthru(0, -1, ASyncPassthru);
        }
        return hr;
    }
    HRESULT ApplyText(int row, bool focusLost) {
        if (Text(EditOf(row)) == kNotAvailable) return S_OK;
        long value = 0;
        if (const HRESULT hr = Integer(EditOf(row), value); FAILED(hr)) return hr;
        if (!focusLost) return Write(row, value);
        // Leaving the brightness box runs the program's own stop and start of live video.
        Main().StopPassThru();
        HRESULT hr = ColorRows()[row].property.put(Control(), value);
        if (SUCCEEDED(hr)) SendDlgItemMessageW(Window(), SliderOf(row), TBM_SETPOS, TRUE, value);
        Main().StartPassThru();
        return hr;
    }
    HRESULT RestoreDefaults() {
        HRESULT hr = Control()->StopPassthru();
        if (FAILED(hr)) return hr;
        for (int row = 0; row < 11; ++row) {
            long nominal = 0;
            if (FAILED(Nominal(row, nominal))) continue;
            if (FAILED(hr = ColorRows()[row].property.put(Control(), nominals_[row]))) return hr;
            SetNumber(EditOf(row), nominals_[row]);
            SendDlgItemMessageW(Window(), SliderOf(row), TBM_SETPOS, TRUE, nominals_[row]);
        }
        SetErrorInfo(0, nullptr);
        return Control()->StartPassthru(0, -1, ASyncPassthru);
    }
    bool Message(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message != WM_HSCROLL || LOWORD(wParam) != TB_ENDTRACK) return false;
        for (int row = 0; row < 11; ++row)
            if (reinterpret_cast<HWND>(lParam) == Item(SliderOf(row))) {
                const long value = static_cast<long>(SendMessageW(Item(SliderOf(row)), TBM_GETPOS, 0, 0));
                Trap([this, row, value] { return Write(row, value); });
            }
        return true;
    }

    std::array<long, 11> nominals_{};
};

} // namespace

void ShowDigitalIO(MainWindow& main) { DigitalIODialog(main).Run(); }

void ShowColorImageParameters(MainWindow& main) {
    ColorParametersDialog(main).Run();
    // However the dialog was closed, live video stops and leaves a still frame.
    main.StopPassThru();
}

} // namespace vidora
