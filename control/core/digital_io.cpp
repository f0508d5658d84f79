// The digital camera group (camera reset, camera bit width, expose pulse), which only the
// digital-camera board has, and the digital I/O group (line configuration, output pattern,
// capability masks), which every board family reaches through its own messages.
#include "digital_io.h"

#include "camera_messages.h"
#include "color_messages.h"
#include "corvid.h"
#include "input_messages.h"
#include "linescan_messages.h"

#include <algorithm>

namespace core {
namespace {

constexpr DWORD kHelpResetCamera = 2010;
constexpr DWORD kHelpDigitalCameraType = 2031;
constexpr DWORD kHelpEnableExposePulse = 2038;
constexpr DWORD kHelpExposePulseDuration = 2039;
constexpr DWORD kHelpExposePulsePolarity = 2040;
constexpr DWORD kHelpDigIOConfig = 2032;
constexpr DWORD kHelpDigIOPattern = 2033;
constexpr DWORD kHelpDigOutCaps = 2165;
constexpr DWORD kHelpDigInCaps = 2166;

constexpr uint32_t kNoDevice = 0; // KVNONE
constexpr uint32_t kOtherModels = 0xFFFFFFFF;

using enum LinesRoute;

// clang-format off
constexpr DigitalLinesModel kDigitalLines[] = {
    // model        config read  config write  pattern read  pattern write  out  in
    {kNoDevice,     Nothing,     Nothing,      Nothing,      Nothing,       0,   0},
    {KV7100,        Standard,    Unsupported,  Standard,     Standard,      255, 0},
    {KV7400,        Standard,    Unsupported,  Standard,     Standard,      255, 0},
    {KV7700,        Camera,      Camera,       Camera,       Camera,        255, 255},
    {KV7300,        Color,       Color,        Color,        Color,         15,  15},
    {KV7500,        Color,       Unsupported,  Color,        Color,         7,   24},
    {KV7400LS,      Standard,    Unsupported,  LineScan,     LineScan,      240, 15},
    {kOtherModels,  Standard,    Unsupported,  Nothing,      Nothing,       0,   0},
};
// clang-format on

} // namespace

const DigitalLinesModel& DigitalLinesOf(uint32_t model) {
    const auto* row =
        std::find_if(std::begin(kDigitalLines), std::end(kDigitalLines) - 1,
                     [model](const DigitalLinesModel& m) { return m.model == model; });
    return *row;
}

long OutputConfiguration(uint32_t outputCount) {
    return outputCount >= 32 ? -1 : static_cast<long>((1u << outputCount) - 1);
}

// ---- Digital camera ----

bool CCorvid::CameraBoard() {
    if (device_.modelCode == KV7700) return true;
    device_.lastStatus = imaging::STC_STS_CONTROL;
    return false;
}

STDMETHODIMP CCorvid::ResetCamera() {
    if (auto done = Enter(kHelpResetCamera, {}, &ICorvid::ResetCamera)) return *done;
    if (!CameraBoard() || Failed(imaging::STM_CAM_RESET(device_.driver))) return ReportLastStatus();
    return S_OK;
}

STDMETHODIMP CCorvid::get_DigitalCameraType(CameraTypeEnum* value) {
    if (auto done = Enter(kHelpDigitalCameraType, {value}, &ICorvid::get_DigitalCameraType, value))
        return *done;
    *value = CAM_16BIT;
    uint32_t type = 0;
    if (!CameraBoard() ||
        Failed(imaging::STM_CAM_GET_TYPE(device_.driver, EffectiveSource(), &type)))
        return ReportLastStatus();
    *value = static_cast<CameraTypeEnum>(type);
    return S_OK;
}

STDMETHODIMP CCorvid::put_DigitalCameraType(CameraTypeEnum value) {
    if (auto done = Enter(kHelpDigitalCameraType, {}, &ICorvid::put_DigitalCameraType, value))
        return *done;
    if (!CameraBoard() || Failed(imaging::STM_CAM_SET_TYPE(device_.driver, EffectiveSource(),
                                                           static_cast<uint32_t>(value))))
        return ReportLastStatus();
    PropertyChanged(DispidDigitalCameraType);
    return S_OK;
}

// Every device answers with the last value written successfully.
STDMETHODIMP CCorvid::get_EnableExposePulse(VARIANT_BOOL* value) {
    if (auto done = Enter(kHelpEnableExposePulse, {value}, &ICorvid::get_EnableExposePulse, value))
        return *done;
    *value = digital_.exposeEnabled;
    return S_OK;
}

STDMETHODIMP CCorvid::put_EnableExposePulse(VARIANT_BOOL value) {
    if (auto done = Enter(kHelpEnableExposePulse, {}, &ICorvid::put_EnableExposePulse, value))
        return *done;
    if (!CameraBoard() || Failed(imaging::STM_CAM_ENABLE_EXPOSE_PULSE(
                              device_.driver, value != VARIANT_FALSE, EffectiveSource())))
        return ReportLastStatus();
    digital_.exposeEnabled = value;
    PropertyChanged(DispidEnableExposePulse);
    return S_OK;
}

// The expose pulse is read as a pair; the get keeps and returns the one half it serves.
template <class Method, class T>
HRESULT CCorvid::GetExposePulse(Method method, DWORD helpContext, uint32_t DigitalState::*half,
                                T* value) {
    if (auto done = Enter(helpContext, {value}, method, value)) return *done;
    *value = T{};
    uint32_t duration = 0, polarity = 0;
    if (!CameraBoard() || Failed(imaging::STM_CAM_GET_EXPOSE_PULSE(
                              device_.driver, EffectiveSource(), &duration, &polarity))) {
        if (persist_.loading) digital_.*half = 0;
        return ReportLastStatus();
    }
    digital_.*half = half == &DigitalState::exposePolarity ? polarity : duration;
    *value = static_cast<T>(digital_.*half);
    return S_OK;
}

// The expose pulse is written as a pair: the new half with the other's last known value.
template <class Method, class T>
HRESULT CCorvid::PutExposePulse(Method method, DWORD helpContext, DISPID id,
                                uint32_t DigitalState::*half, T value) {
    if (auto done = Enter(helpContext, {}, method, value)) return *done;
    DigitalState sent = digital_;
    sent.*half = static_cast<uint32_t>(value);
    uint32_t answer = 0;
    if (!CameraBoard() ||
        Failed(imaging::STM_CAM_SET_EXPOSE_PULSE(device_.driver, sent.exposeDuration,
                                                 EffectiveSource(), sent.exposePolarity, &answer)))
        return ReportLastStatus();
    digital_.*half = sent.*half;
    PropertyChanged(id);
    return S_OK;
}

STDMETHODIMP CCorvid::get_ExposePulseDuration(long* value) {
    return GetExposePulse(&ICorvid::get_ExposePulseDuration, kHelpExposePulseDuration,
                          &DigitalState::exposeDuration, value);
}

STDMETHODIMP CCorvid::put_ExposePulseDuration(long value) {
    return PutExposePulse(&ICorvid::put_ExposePulseDuration, kHelpExposePulseDuration,
                          DispidExposePulseDuration, &DigitalState::exposeDuration, value);
}

STDMETHODIMP CCorvid::get_ExposePulsePolarity(PulsePolarityEnum* value) {
    return GetExposePulse(&ICorvid::get_ExposePulsePolarity, kHelpExposePulsePolarity,
                          &DigitalState::exposePolarity, value);
}

STDMETHODIMP CCorvid::put_ExposePulsePolarity(PulsePolarityEnum value) {
    return PutExposePulse(&ICorvid::put_ExposePulsePolarity, kHelpExposePulsePolarity,
                          DispidExposePulsePolarity, &DigitalState::exposePolarity, value);
}

// ---- Digital I/O ----

STDMETHODIMP CCorvid::get_DigIOConfig(long* value) {
    if (auto done = Enter(kHelpDigIOConfig, {value}, &ICorvid::get_DigIOConfig, value))
        return *done;
    *value = 0;
    uint32_t config = 0;
    switch (DigitalLinesOf(device_.modelCode).configRead) {
    case Camera:
        if (Failed(imaging::STM_CAM_GET_DIGIO_CONFIG(device_.driver, &config)))
            return ReportLastStatus();
        break;
    case Color:
        if (Failed(imaging::STM_CLR_DIGITAL_IO(device_.driver, imaging::STC_QUERY_CONFIGURATION,
                                               &config)))
            return ReportLastStatus();
        break;
    case Standard: {
        uint16_t outputs = 0;
        if (Failed(imaging::STM_QUERY_CAMCTL_CAPS(device_.driver, imaging::STC_FG_CC_DIG_OUT_COUNT,
                                                  &outputs, sizeof outputs)))
            return ReportLastStatus();
        *value = OutputConfiguration(outputs);
        return S_OK;
    }
    default: return S_OK;
    }
    *value = static_cast<long>(config);
    return S_OK;
}

STDMETHODIMP CCorvid::put_DigIOConfig(long value) {
    if (auto done = Enter(kHelpDigIOConfig, {}, &ICorvid::put_DigIOConfig, value)) return *done;
    auto config = static_cast<uint32_t>(value);
    switch (DigitalLinesOf(device_.modelCode).configWrite) {
    case Nothing: break;
    case Camera:
        if (Failed(imaging::STM_CAM_SET_DIGIO_CONFIG(device_.driver, config)))
            return ReportLastStatus();
        break;
    case Color:
        if (Failed(imaging::STM_CLR_DIGITAL_IO(device_.driver, imaging::STC_CONFIGURE_CONTROL,
                                               &config)))
            return ReportLastStatus();
        break;
    default: return ReportStatus(imaging::STC_STS_UNSUPKEY);
    }
    PropertyChanged(DispidDigIOConfig);
    return S_OK;
}

STDMETHODIMP CCorvid::get_DigIOPattern(long* value) {
    if (auto done = Enter(kHelpDigIOPattern, {value}, &ICorvid::get_DigIOPattern, value))
        return *done;
    *value = 0;
    uint32_t pattern = 0;
    imaging::STT_APISTATUS status = imaging::STC_STS_NORMAL;
    switch (DigitalLinesOf(device_.modelCode).patternRead) {
    case Standard:
        // The board has no read of its outputs: writing the last pattern again answers it.
        status = imaging::STM_SET_DIGITAL_OUTPUTS(
            device_.driver, static_cast<uint32_t>(digital_.outputPattern), &pattern);
        break;
    case Camera: status = imaging::STM_CAM_GET_DIGIO_PATTERN(device_.driver, &pattern); break;
    case Color:
        status = imaging::STM_CLR_DIGITAL_IO(device_.driver, imaging::STC_READ_CONTROL, &pattern);
        break;
    case LineScan:
        if (lineScan_.mode != VARIANT_TRUE) return S_OK;
        status = imaging::STM_LS_GET_DIGIO(device_.driver, &pattern);
        break;
    default: return S_OK;
    }
    if (Failed(status)) return ReportLastStatus();
    *value = static_cast<long>(pattern);
    return S_OK;
}

STDMETHODIMP CCorvid::put_DigIOPattern(long value) {
    if (auto done = Enter(kHelpDigIOPattern, {}, &ICorvid::put_DigIOPattern, value)) return *done;
    auto pattern = static_cast<uint32_t>(value);
    uint32_t answer = 0;
    imaging::STT_APISTATUS status = imaging::STC_STS_NORMAL;
    const LinesRoute route = DigitalLinesOf(device_.modelCode).patternWrite;
    switch (route) {
    case Standard:
        status = imaging::STM_SET_DIGITAL_OUTPUTS(device_.driver, pattern, &answer);
        break;
    case Camera: status = imaging::STM_CAM_SET_DIGIO_PATTERN(device_.driver, pattern); break;
    case Color:
        status = imaging::STM_CLR_DIGITAL_IO(device_.driver, imaging::STC_WRITE_CONTROL, &pattern);
        break;
    case LineScan:
        pattern >>= kLineScanOutputShift;
        status = lineScan_.mode == VARIANT_TRUE
                     ? imaging::STM_LS_SET_DIGIO(device_.driver, pattern)
                     : imaging::STM_SET_DIGITAL_OUTPUTS(device_.driver, pattern, &answer);
        break;
    default: break;
    }
    if (route != Nothing && Failed(status)) return ReportLastStatus();
    digital_.outputPattern = value;
    PropertyChanged(DispidDigIOPattern);
    return S_OK;
}

STDMETHODIMP CCorvid::get_DigOutCaps(long* value) {
    if (auto done = Enter(kHelpDigOutCaps, {value}, &ICorvid2::get_DigOutCaps, value)) return *done;
    *value = DigitalLinesOf(device_.modelCode).outputCaps;
    return S_OK;
}

STDMETHODIMP CCorvid::get_DigInCaps(long* value) {
    if (auto done = Enter(kHelpDigInCaps, {value}, &ICorvid2::get_DigInCaps, value)) return *done;
    *value = DigitalLinesOf(device_.modelCode).inputCaps;
    return S_OK;
}

} // namespace core
