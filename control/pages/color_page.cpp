// The Color page: the color image parameters of the color boards, each on a slider over the
// range the board reports. The KV7500 takes the RGB offsets and references, the KV7300 and
// KV760X the HSI parameters.
#include "color_page.h"

#include "page_form.h"

#include <commctrl.h>

#include <memory>

namespace pages {
namespace {

constexpr wchar_t kReadSource[] = L"CColorPage::GetImageParameters";
constexpr wchar_t kApplySource[] = L"CColorPage::Apply";
constexpr DISPID kActiveDeviceId = 203;
constexpr DISPID kControlStateId = 209;

// The parameters, each group in the order Apply writes it.
struct Parameter {
    int slider;
    STT_COLOR_PARAMETER code;
    LongGetter get;
    LongSetter put;
    bool rgb; // of the "RGB" group, else of the "HSI" group
};
const Parameter kParameters[] = {
    {IDC_COLOR_RED_OFFSET, STC_SET_RED_OFF, &ICorvid3::get_RedOffset, &ICorvid3::put_RedOffset,
     true},
    {IDC_COLOR_GREEN_OFFSET, STC_SET_GREEN_OFF, &ICorvid3::get_GreenOffset,
     &ICorvid3::put_GreenOffset, true},
    {IDC_COLOR_BLUE_OFFSET, STC_SET_BLUE_OFF, &ICorvid3::get_BlueOffset,
     &ICorvid3::put_BlueOffset, true},
    {IDC_COLOR_RED_REFERENCE, STC_SET_RED_REF, &ICorvid3::get_RedReference,
     &ICorvid3::put_RedReference, true},
    {IDC_COLOR_GREEN_REFERENCE, STC_SET_GREEN_REF, &ICorvid3::get_GreenReference,
     &ICorvid3::put_GreenReference, true},
    {IDC_COLOR_BLUE_REFERENCE, STC_SET_BLUE_REF, &ICorvid3::get_BlueReference,
     &ICorvid3::put_BlueReference, true},
    {IDC_COLOR_HUE, STC_SET_HUE, &ICorvid3::get_Hue, &ICorvid3::put_Hue, false},
    {IDC_COLOR_V_SATURATION, STC_SET_V_SAT, &ICorvid3::get_VSaturation,
     &ICorvid3::put_VSaturation, false},
    {IDC_COLOR_U_SATURATION, STC_SET_U_SAT, &ICorvid3::get_USaturation,
     &ICorvid3::put_USaturation, false},
    {IDC_COLOR_BRIGHTNESS, STC_SET_BRIGHTNESS, &ICorvid3::get_Brightness,
     &ICorvid3::put_Brightness, false},
    {IDC_COLOR_CONTRAST, STC_SET_CONTRAST, &ICorvid3::get_Contrast, &ICorvid3::put_Contrast,
     false},
};
constexpr size_t kParameterCount = std::size(kParameters);

// The group a board takes on Apply.
enum class Group { kNone, kRgb, kHsi };
Group GroupOf(long deviceType) {
    switch (deviceType) {
    case KV7500: return Group::kRgb;
    case KV7300:
    case KV760X: return Group::kHsi;
    default: return Group::kNone;
    }
}

struct Parameters {
    bool known = false; // the board has image parameters and all were read
    stSTT_LNG_RNG ranges[kParameterCount] = {};
    long values[kParameterCount] = {};
};

class ColorForm final : public PageForm {
public:
    void Initialize() override { Read(); }

    void PropertyChanged(DISPID id) override {
        if (id == kActiveDeviceId || id == kControlStateId) Read();
    }

    HRESULT Apply() override {
        ICorvid3* control = Control();
        if (!control || !parameters_.known || group_ == Group::kNone) return S_OK;
        for (size_t i = 0; i < kParameterCount; ++i) {
            const Parameter& p = kParameters[i];
            if (p.rgb != (group_ == Group::kRgb)) continue;
            if (const HRESULT hr = (control->*p.put)(SliderPosition(p.slider)); FAILED(hr))
                return Present(hr, kApplySource);
        }
        return S_OK;
    }

protected:
    bool Message(UINT message, WPARAM, LPARAM lParam, INT_PTR& result) override {
        if (message != WM_HSCROLL || !lParam) return false;
        for (size_t i = 0; i < kParameterCount; ++i) {
            const int slider = kParameters[i].slider;
            if (reinterpret_cast<HWND>(lParam) != Item(slider)) continue;
            // A moved slider stays on the board's steps and shows its value.
            const long position = SliderPosition(slider);
            const long value = OnStep(parameters_.ranges[i], position);
            if (value != position) SendMessageW(Item(slider), TBM_SETPOS, TRUE, value);
            SetNumber(slider + IDC_COLOR_VALUE, value);
            SetDirty();
            result = 0;
            return true;
        }
        return false;
    }

private:
    void Read() {
        const long deviceType = DeviceType();
        Parameters parameters;
        const HRESULT hr = deviceType != 0 ? GetImageParameters(parameters) : S_OK;
        if (FAILED(hr)) {
            Present(hr, kReadSource);
            if (parameters_.known) return; // the page keeps what it showed
        }
        group_ = GroupOf(deviceType);
        parameters_ = SUCCEEDED(hr) ? parameters : Parameters{};
        Show();
    }

    // Boards without the color extension have no parameters: they are asked first, so that
    // the page stays empty for them without an error.
    HRESULT GetImageParameters(Parameters& parameters) const {
        ICorvid3& control = *Control();
        VARIANT_BOOL supported = VARIANT_FALSE;
        HRESULT hr =
            control.ColorQueryInterface(STC_QUERY_COLOR_INTERFACE_IMAGE_PARAMETER, &supported);
        if (FAILED(hr) || supported == VARIANT_FALSE) return hr;
        for (size_t i = 0; i < kParameterCount; ++i) {
            const Parameter& p = kParameters[i];
            stSTT_LNG_RNG& range = parameters.ranges[i];
            if (FAILED(hr = control.ColorImageParameters(STC_QUERY_CONTROL_MIN, p.code,
                                                         &range.Min)) ||
                FAILED(hr = control.ColorImageParameters(STC_QUERY_CONTROL_MAX, p.code,
                                                         &range.Max)) ||
                FAILED(hr = control.ColorImageParameters(STC_QUERY_CONTROL_GRANULARITY, p.code,
                                                         &range.Granularity)) ||
                FAILED(hr = control.ColorImageParameters(STC_QUERY_CONTROL_NOMINAL, p.code,
                                                         &range.Nominal)) ||
                FAILED(hr = (control.*p.get)(&parameters.values[i])))
                return hr;
        }
        parameters.known = true;
        return S_OK;
    }

    void Show() const {
        const bool known = parameters_.known;
        for (size_t i = 0; i < kParameterCount; ++i) {
            const Parameter& p = kParameters[i];
            const stSTT_LNG_RNG& range = parameters_.ranges[i];
            const long position = OnStep(range, parameters_.values[i]);
            SetSlider(p.slider, range.Min, range.Max > range.Min ? range.Max : range.Min,
                      range.Granularity, position);
            SetText(p.slider + IDC_COLOR_VALUE, known ? std::to_wstring(position) : L"");
            const bool editable = known && p.rgb == (group_ == Group::kRgb) && group_ != Group::kNone;
            Enable({p.slider, p.slider + IDC_COLOR_VALUE, p.slider + IDC_COLOR_NAME}, editable);
        }
        const bool rgb = known && group_ == Group::kRgb;
        Enable({IDC_COLOR_RGB_GROUP, IDC_COLOR_OFFSET_LABEL, IDC_COLOR_REFERENCE_LABEL,
                IDC_COLOR_RED_LABEL, IDC_COLOR_GREEN_LABEL, IDC_COLOR_BLUE_LABEL},
               rgb);
        Enable({IDC_COLOR_HSI_GROUP}, known && group_ == Group::kHsi);
    }

    Group group_ = Group::kNone;
    Parameters parameters_;
};

} // namespace

std::unique_ptr<PageForm> MakeColorForm() {
    return std::make_unique<ColorForm>();
}

} // namespace pages
