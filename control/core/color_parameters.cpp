// The color image parameters of the color boards (KV7300, KV7500): which color interfaces the
// board offers, brightness, contrast, saturation, hue and the per-channel levels, the limits
// of the hardware scaler and the supported storage modes. Every request addresses the
// effective input source.
#include "corvid.h"

#include "color_messages.h"

namespace core {

// A property bound to one color parameter (STT_COLOR_PARAMETER).
struct ColorProperty {
    uint32_t parameter;
    DWORD helpContext;
    // The get clears the caller's value when the board lacks the image-parameter interface
    // (outside a load).
    bool zeroWithoutInterface = false;
};

namespace {

constexpr ColorProperty kBrightness{STC_SET_BRIGHTNESS, 2153};
constexpr ColorProperty kContrast{STC_SET_CONTRAST, 2026};
constexpr ColorProperty kVSaturation{STC_SET_V_SAT, 2096};
constexpr ColorProperty kUSaturation{STC_SET_U_SAT, 2088};
constexpr ColorProperty kHue{STC_SET_HUE, 2061};
constexpr ColorProperty kRedOffset{STC_SET_RED_OFF, 2074, true};
constexpr ColorProperty kGreenOffset{STC_SET_GREEN_OFF, 2052};
constexpr ColorProperty kBlueOffset{STC_SET_BLUE_OFF, 2017};
constexpr ColorProperty kRedReference{STC_SET_RED_REF, 2075};
constexpr ColorProperty kGreenReference{STC_SET_GREEN_REF, 2053};
constexpr ColorProperty kBlueReference{STC_SET_BLUE_REF, 2018};

constexpr DWORD kHelpColorQuery = 2116; // the interface, scaling and storage-mode queries
constexpr DWORD kHelpColorImageParameters = 2115;

} // namespace

bool CCorvid::IsColorBoard() const {
    return device_.modelCode == KV7300 || device_.modelCode == KV7500;
}

// The color messages mean something else to other boards: they never see one. Their models
// lack the feature, which is what the stored status says.
bool CCorvid::QueryColorInterface(uint32_t interfaceCode) {
    if (!IsColorBoard()) return !Failed(imaging::STC_STS_CONTROL);
    return !Failed(imaging::STM_CLR_QUERY_INTERFACE(device_.driver, interfaceCode));
}

HRESULT CCorvid::ReportModelLacksFeature() {
    device_.lastStatus = imaging::STC_STS_CONTROL;
    return ReportLastStatus();
}

bool CCorvid::SendImageParameter(uint32_t operation, uint32_t parameter, uint32_t* value) {
    if (!IsColorBoard()) return !Failed(imaging::STC_STS_CONTROL);
    return !Failed(imaging::STM_CLR_IMAGE_PARAMETER(device_.driver, operation, EffectiveSource(),
                                                    parameter, value));
}

// ---- Queries ----

// The answer is the whole result: a refused query is no error.
STDMETHODIMP CCorvid::ColorQueryInterface(STT_QUERY_COLOR_INTERFACE interfaceCode,
                                          VARIANT_BOOL* supported) {
    if (auto done = Enter(kHelpColorQuery, {supported}, &ICorvid::ColorQueryInterface,
                          interfaceCode, supported))
        return *done;
    *supported =
        QueryColorInterface(static_cast<uint32_t>(interfaceCode)) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CCorvid::ColorImageParameters(STT_CONTROL_TYPE control, STT_COLOR_PARAMETER param,
                                           long* value) {
    if (auto done = Enter(kHelpColorImageParameters, {value}, &ICorvid::ColorImageParameters,
                          control, param, value))
        return *done;
    uint32_t io = static_cast<uint32_t>(*value);
    if (!SendImageParameter(static_cast<uint32_t>(control), static_cast<uint32_t>(param), &io))
        return ReportLastStatus();
    *value = static_cast<long>(io);
    return S_OK;
}

// Only the limits and the nominal setting can be asked for.
STDMETHODIMP CCorvid::ColorQueryHardwareScaling(STT_CONTROL_TYPE control, long* hscale,
                                                long* vscale) {
    if (auto done = Enter(kHelpColorQuery, {hscale, vscale}, &ICorvid3::ColorQueryHardwareScaling,
                          control, hscale, vscale))
        return *done;
    const auto operation = static_cast<uint32_t>(control);
    if (operation > imaging::STC_QUERY_CONTROL_NOMINAL) return E_INVALIDARG;
    if (!IsColorBoard()) return ReportModelLacksFeature();
    imaging::STT_SCALE_PARAM scale{};
    if (Failed(imaging::STM_CLR_SCALING(device_.driver, EffectiveSource(), operation, &scale)))
        return ReportLastStatus();
    *hscale = scale.hscale;
    *vscale = scale.vscale;
    return S_OK;
}

// A board without the storage-mode interface supports no mode, without an error. The
// capability mask is shared with the mode's own bits, as the boards define it.
STDMETHODIMP CCorvid::ColorQueryStorageMode(STT_IMAGE_MODE imageMode, VARIANT_BOOL* supported) {
    if (auto done = Enter(kHelpColorQuery, {supported}, &ICorvid3::ColorQueryStorageMode, imageMode,
                          supported))
        return *done;
    *supported = VARIANT_FALSE;
    if (!QueryColorInterface(STC_QUERY_COLOR_INTERFACE_STORAGE_MODE)) return S_OK;
    const auto mode = static_cast<uint32_t>(imageMode);
    uint32_t mask = mode;
    if (Failed(imaging::STM_CLR_STORAGE_MODE(device_.driver, EffectiveSource(),
                                             imaging::STC_QUERY_CAPABILITY, &mask)))
        return ReportLastStatus();
    *supported = (mask & mode) != 0 ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

// ---- The parameter properties ----

template <class Method>
HRESULT CCorvid::GetColorProperty(Method method, const ColorProperty& property, long* value) {
    if (auto done = Enter(property.helpContext, {value}, method, value)) return *done;
    if (!QueryColorInterface(STC_QUERY_COLOR_INTERFACE_IMAGE_PARAMETER)) {
        if (property.zeroWithoutInterface && !persist_.loading) *value = 0;
        return ReportLastStatus();
    }
    uint32_t read = 0;
    if (!SendImageParameter(imaging::STC_READ_CONTROL, property.parameter, &read))
        return ReportLastStatus();
    *value = static_cast<long>(read);
    return S_OK;
}

// The color properties notify nobody of a change.
template <class Method>
HRESULT CCorvid::PutColorProperty(Method method, const ColorProperty& property, long value) {
    if (auto done = Enter(property.helpContext, {}, method, value)) return *done;
    if (!QueryColorInterface(STC_QUERY_COLOR_INTERFACE_IMAGE_PARAMETER)) return ReportLastStatus();
    uint32_t written = static_cast<uint32_t>(value);
    if (!SendImageParameter(imaging::STC_WRITE_CONTROL, property.parameter, &written))
        return ReportLastStatus();
    return S_OK;
}

CORVID_PROPERTY_THROUGH(Brightness, long, GetColorProperty, PutColorProperty, kBrightness)
CORVID_PROPERTY_THROUGH(Contrast, long, GetColorProperty, PutColorProperty, kContrast)
CORVID_PROPERTY_THROUGH(VSaturation, long, GetColorProperty, PutColorProperty, kVSaturation)
CORVID_PROPERTY_THROUGH(USaturation, long, GetColorProperty, PutColorProperty, kUSaturation)
CORVID_PROPERTY_THROUGH(Hue, long, GetColorProperty, PutColorProperty, kHue)
CORVID_PROPERTY_THROUGH(RedOffset, long, GetColorProperty, PutColorProperty, kRedOffset)
CORVID_PROPERTY_THROUGH(GreenOffset, long, GetColorProperty, PutColorProperty, kGreenOffset)
CORVID_PROPERTY_THROUGH(BlueOffset, long, GetColorProperty, PutColorProperty, kBlueOffset)
CORVID_PROPERTY_THROUGH(RedReference, long, GetColorProperty, PutColorProperty, kRedReference)
CORVID_PROPERTY_THROUGH(GreenReference, long, GetColorProperty, PutColorProperty, kGreenReference)
CORVID_PROPERTY_THROUGH(BlueReference, long, GetColorProperty, PutColorProperty, kBlueReference)

} // namespace core
