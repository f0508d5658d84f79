// The sync master: whether the board generates horizontal and vertical sync for the camera,
// and the generator's timing. Three board families implement it with three different
// extension message sets; the open model chooses.
#include "corvid.h"

#include "camera_messages.h"
#include "color_messages.h"
#include "kv7400_messages.h"

namespace core {

// A timing property of the sync generator.
struct SyncParameter {
    uint32_t selector; // SyncMasterParam
    DWORD helpContext;
};

namespace {

constexpr SyncParameter kHorizontalFrequency{imaging::SMP_HorizontalFrequency, 2054};
constexpr SyncParameter kHorizontalPulseWidth{imaging::SMP_HorizontalPulseWidth, 2055};
constexpr SyncParameter kVerticalFrequency{imaging::SMP_VerticalFrequency, 2089};
constexpr SyncParameter kVerticalPulseWidth{imaging::SMP_VerticalPulseWidth, 2090};
constexpr SyncParameter kPhase{imaging::SMP_Phase, 2073};

constexpr DWORD kHelpSyncMasterEnabled = 2079;

// How a model implements the sync master.
enum class SyncFamily {
    None,          // no sync generator
    Lib7400,       // KV7400 board library: enable and timing; the enable is not read back
    Camera,        // digital-camera board: as the library, with its own messages
    Color,         // color board: the enable only, read and written
    ColorReadOnly, // color board whose enable is set on the board: read only, writes ignored
};

SyncFamily SyncFamilyOf(uint32_t model) {
    switch (model) {
    case KV7400:
    case KV7400LS: return SyncFamily::Lib7400;
    case KV7700: return SyncFamily::Camera;
    case KV7300: return SyncFamily::Color;
    case KV7500: return SyncFamily::ColorReadOnly;
    default: return SyncFamily::None;
    }
}

} // namespace

// The library and camera boards cannot be asked, so they answer the last value written.
STDMETHODIMP CCorvid::get_SyncMasterEnabled(VARIANT_BOOL* value) {
    if (auto done = Enter(kHelpSyncMasterEnabled, {value}, &ICorvid::get_SyncMasterEnabled, value))
        return *done;
    switch (SyncFamilyOf(device_.modelCode)) {
    case SyncFamily::None: return ReportModelLacksFeature();
    case SyncFamily::Lib7400:
    case SyncFamily::Camera: break;
    case SyncFamily::Color:
    case SyncFamily::ColorReadOnly: {
        uint32_t enabled = 0;
        if (Failed(imaging::STM_CLR_SYNC_MASTER(device_.driver, imaging::STC_READ_CONTROL,
                                                EffectiveSource(), &enabled)))
            return ReportLastStatus();
        syncMasterEnabled_ = static_cast<int32_t>(enabled);
        break;
    }
    }
    *value = syncMasterEnabled_ != 0 ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

// The boolean travels as the host gave it, widened with its sign (true: -1).
STDMETHODIMP CCorvid::put_SyncMasterEnabled(VARIANT_BOOL value) {
    if (auto done = Enter(kHelpSyncMasterEnabled, {}, &ICorvid::put_SyncMasterEnabled, value))
        return *done;
    const int32_t enable = value;
    const HDRVR driver = device_.driver;
    switch (SyncFamilyOf(device_.modelCode)) {
    case SyncFamily::None: return ReportModelLacksFeature();
    case SyncFamily::Lib7400:
        if (Failed(imaging::STM_7400_ENABLE_SYNC_MASTER(driver, enable, EffectiveSource())))
            return ReportLastStatus();
        break;
    case SyncFamily::Camera:
        if (Failed(imaging::STM_CAM_ENABLE_SYNC_MASTER(driver, enable, EffectiveSource())))
            return ReportLastStatus();
        break;
    case SyncFamily::Color: {
        uint32_t written = static_cast<uint32_t>(enable);
        if (Failed(imaging::STM_CLR_SYNC_MASTER(driver, imaging::STC_WRITE_CONTROL,
                                                EffectiveSource(), &written)))
            return ReportLastStatus();
        break;
    }
    case SyncFamily::ColorReadOnly: break;
    }
    syncMasterEnabled_ = enable;
    return S_OK;
}

template <class Method>
HRESULT CCorvid::GetSyncParameter(Method method, const SyncParameter& parameter, long* value) {
    if (auto done = Enter(parameter.helpContext, {value}, method, value)) return *done;
    uint32_t read = 0;
    switch (SyncFamilyOf(device_.modelCode)) {
    case SyncFamily::Lib7400:
        if (Failed(imaging::STM_7400_GET_SYNC_MASTER_PARAM(device_.driver, EffectiveSource(),
                                                           parameter.selector, &read)))
            return ReportLastStatus();
        break;
    case SyncFamily::Camera:
        if (Failed(imaging::STM_CAM_GET_SYNC_MASTER_PARAM(device_.driver, EffectiveSource(),
                                                          parameter.selector, &read)))
            return ReportLastStatus();
        break;
    default: return ReportModelLacksFeature();
    }
    *value = static_cast<long>(read);
    return S_OK;
}

// The answer of a write (the value in effect) is not used.
template <class Method>
HRESULT CCorvid::PutSyncParameter(Method method, const SyncParameter& parameter, long value) {
    if (auto done = Enter(parameter.helpContext, {}, method, value)) return *done;
    const auto written = static_cast<uint32_t>(value);
    uint32_t answer = 0;
    switch (SyncFamilyOf(device_.modelCode)) {
    case SyncFamily::Lib7400:
        if (Failed(imaging::STM_7400_SET_SYNC_MASTER_PARAM(device_.driver, EffectiveSource(),
                                                           parameter.selector, written, &answer)))
            return ReportLastStatus();
        return S_OK;
    case SyncFamily::Camera:
        if (Failed(imaging::STM_CAM_SET_SYNC_MASTER_PARAM(device_.driver, EffectiveSource(),
                                                          parameter.selector, written, &answer)))
            return ReportLastStatus();
        return S_OK;
    default: return ReportModelLacksFeature();
    }
}

CORVID_PROPERTY_THROUGH(HorizontalFrequency, long, GetSyncParameter, PutSyncParameter,
                        kHorizontalFrequency)
CORVID_PROPERTY_THROUGH(HorizontalPulseWidth, long, GetSyncParameter, PutSyncParameter,
                        kHorizontalPulseWidth)
CORVID_PROPERTY_THROUGH(VerticalFrequency, long, GetSyncParameter, PutSyncParameter,
                        kVerticalFrequency)
CORVID_PROPERTY_THROUGH(VerticalPulseWidth, long, GetSyncParameter, PutSyncParameter,
                        kVerticalPulseWidth)
CORVID_PROPERTY_THROUGH(Phase, long, GetSyncParameter, PutSyncParameter, kPhase)

} // namespace core
