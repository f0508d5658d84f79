// The video input properties: one input control of the effective input source per plain
// property, the input source and based-source mode, lookup tables, scan flags, triggers, the
// signal type, and the level properties of the models that have them.
#include "corvid.h"

#include "caps_answer.h"
#include "color_messages.h"
#include "dispatch.h"
#include "host_array.h"
#include "input_messages.h"
#include "kv7400_messages.h"

#include <new>
#include <vector>

namespace core {

// A property that reads and writes one input control.
struct InputControl {
    DISPID id;
    uint32_t control;
    DWORD helpContext;
};

namespace {

constexpr uint32_t kSignalTypeInterface = 1; // STM_CLR_QUERY_INTERFACE code
// Color signal types (STT_SIGNAL_TYPE).
constexpr uint32_t kYcSignal = 2;
constexpr uint32_t kCompositeSignal = 3;
constexpr uint32_t kRgbSignal = 4;
// Monochrome video types of STC_FG_CTL_VIDEO_TYPE.
constexpr uint32_t kCompositeVideoType = 1;
constexpr uint32_t kVarScanVideoType = 2;

// The driver's lookup table entries are 32 bits wide.
constexpr UINT kLutEntryBytes = 4;

VARIANT_BOOL ToBool(bool value) {
    return value ? VARIANT_TRUE : VARIANT_FALSE;
}

// Entries are handed to the driver as raw memory: arrays of 32-bit integers lend theirs,
// arrays of VARIANTs go through a converted copy.
bool HoldsLutEntries(SAFEARRAY* array) {
    if (HoldsVariants(array)) return true;
    VARTYPE type = VT_EMPTY;
    if (FAILED(SafeArrayGetVartype(array, &type))) return false;
    switch (type) {
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT: return SafeArrayGetElemsize(array) == kLutEntryBytes;
    default: return false;
    }
}

} // namespace

// ---- The plain input-control family ----

namespace {
constexpr InputControl kActiveLineCount{409, imaging::STC_FG_CTL_ACTIVE_LINE_COUNT, 2001};
constexpr InputControl kActivePixelCount{413, imaging::STC_FG_CTL_ACTIVE_PIXEL_COUNT, 2012};
constexpr InputControl kBackPorchStart{410, imaging::STC_FG_CTL_BACK_PORCH_START, 2013};
constexpr InputControl kClampEnd{412, imaging::STC_FG_CTL_CLAMP_END, 2020};
constexpr InputControl kClampStart{414, imaging::STC_FG_CTL_CLAMP_START, 2021};
constexpr InputControl kClockFrequency{416, imaging::STC_FG_CTL_CLOCK_FREQ, 2022};
constexpr InputControl kClockSource{417, imaging::STC_FG_CTL_CLOCK_SOURCE, 2023};
constexpr InputControl kClockTransition{415, imaging::STC_FG_CTL_CLOCK_FLAGS, 2024};
constexpr InputControl kFirstActiveLine{418, imaging::STC_FG_CTL_FIRST_ACTIVE_LINE, 2041};
constexpr InputControl kFirstActivePixel{419, imaging::STC_FG_CTL_FIRST_ACTIVE_PIXEL, 2042};
constexpr InputControl kHSyncInsertPos{422, imaging::STC_FG_CTL_HSYNC_INSERT_POS, 2059};
constexpr InputControl kHSyncSearchPos{423, imaging::STC_FG_CTL_HSYNC_SEARCH_POS, 2060};
constexpr InputControl kInputFilter{424, imaging::STC_FG_CTL_INPUT_FILTER, 2063};
constexpr InputControl kInputLut{425, imaging::STC_FG_CTL_ILUT, 2064};
constexpr InputControl kSyncSource{430, imaging::STC_FG_CTL_CSYNC_SOURCE, 2081};
constexpr InputControl kSyncThresh{431, imaging::STC_FG_CTL_CSYNC_THRESH, 2082};
constexpr InputControl kTotalLinesPerField{432, imaging::STC_FG_CTL_TOTAL_LINES_PER_FLD, 2084};
constexpr InputControl kTotalPixelsPerLine{433, imaging::STC_FG_CTL_TOTAL_PIX_PER_LINE, 2085};
constexpr InputControl kVSyncInsertPos{439, imaging::STC_FG_CTL_VSYNC_INSERT_POS, 2097};
constexpr InputControl kVSyncSearchPos{440, imaging::STC_FG_CTL_VSYNC_SEARCH_POS, 2098};
constexpr InputControl kSyncSentinel{429, imaging::STC_FG_CTL_SYNC_SENTINEL, 2080};

// Help context ids of the other input members.
constexpr DWORD kHelpQueryInputCaps = 2133;
constexpr DWORD kHelpReadInputLut = 2138;
constexpr DWORD kHelpWriteInputLut = 2149;
constexpr DWORD kHelpVideoInputSource = 2093;
constexpr DWORD kHelpBasedSourceModeEnable = 2015;
constexpr DWORD kHelpBasedSource = 2014;
constexpr DWORD kHelpHorizontalTransition = 2056;
constexpr DWORD kHelpVerticalTransition = 2091;
constexpr DWORD kHelpTriggerType = 2004;
constexpr DWORD kHelpTriggerTransition = 2087;
constexpr DWORD kHelpMultTriggerType = 2069;
constexpr DWORD kHelpMultTriggerTransition = 2068;
constexpr DWORD kHelpMultTriggerMode = 2067;
constexpr DWORD kHelpVideoSignalType = 2094;
constexpr DWORD kHelpOffset = 2016;
constexpr DWORD kHelpReference = 2099;
constexpr DWORD kHelpGain = 2051;
} // namespace

bool CCorvid::ReadInput(uint32_t control, uint32_t* value) {
    return !Failed(
        imaging::STM_GET_INPUT_CONTROL(device_.driver, EffectiveSource(), control, value));
}

bool CCorvid::WriteInput(uint32_t control, uint32_t value) {
    uint32_t answer = 0;
    return !Failed(
        imaging::STM_SET_INPUT_CONTROL(device_.driver, EffectiveSource(), control, value, &answer));
}

template <class Method, class T>
HRESULT CCorvid::GetInputControl(Method method, const InputControl& control, T* value) {
    if (auto done = Enter(control.helpContext, {value}, method, value)) return *done;
    uint32_t read = 0;
    if (!ReadInput(control.control, &read)) return ReportLastStatus();
    *value = static_cast<T>(read);
    return S_OK;
}

template <class Method, class T>
HRESULT CCorvid::PutInputControl(Method method, const InputControl& control, T value) {
    if (auto done = Enter(control.helpContext, {}, method, value)) return *done;
    if (!WriteInput(control.control, static_cast<uint32_t>(value))) return ReportLastStatus();
    PropertyChanged(control.id);
    return S_OK;
}

#define CORVID_INPUT_CONTROL(Name, Type, Control)                                                  \
    STDMETHODIMP CCorvid::get_##Name(Type* value) {                                                \
        return GetInputControl(&ICorvid::get_##Name, Control, value);                              \
    }                                                                                              \
    STDMETHODIMP CCorvid::put_##Name(Type value) {                                                 \
        return PutInputControl(&ICorvid::put_##Name, Control, value);                              \
    }

CORVID_INPUT_CONTROL(ActiveLineCount, long, kActiveLineCount)
CORVID_INPUT_CONTROL(ActivePixelCount, long, kActivePixelCount)
CORVID_INPUT_CONTROL(BackPorchStart, long, kBackPorchStart)
CORVID_INPUT_CONTROL(ClampEnd, long, kClampEnd)
CORVID_INPUT_CONTROL(ClampStart, long, kClampStart)
CORVID_INPUT_CONTROL(ClockFrequency, long, kClockFrequency)
CORVID_INPUT_CONTROL(ClockSource, ClockSourceEnum, kClockSource)
CORVID_INPUT_CONTROL(ClockTransition, TransitionEnum, kClockTransition)
CORVID_INPUT_CONTROL(FirstActiveLine, long, kFirstActiveLine)
CORVID_INPUT_CONTROL(FirstActivePixel, long, kFirstActivePixel)
CORVID_INPUT_CONTROL(HSyncInsertPos, long, kHSyncInsertPos)
CORVID_INPUT_CONTROL(HSyncSearchPos, long, kHSyncSearchPos)
CORVID_INPUT_CONTROL(InputFilter, InputFilterEnum, kInputFilter)
CORVID_INPUT_CONTROL(InputLUT, long, kInputLut)
CORVID_INPUT_CONTROL(SyncSource, SyncSourceEnum, kSyncSource)
CORVID_INPUT_CONTROL(SyncThresh, long, kSyncThresh)
CORVID_INPUT_CONTROL(TotalLinesPerField, long, kTotalLinesPerField)
CORVID_INPUT_CONTROL(TotalPixelsPerLine, long, kTotalPixelsPerLine)
CORVID_INPUT_CONTROL(VSyncInsertPos, long, kVSyncInsertPos)
CORVID_INPUT_CONTROL(VSyncSearchPos, long, kVSyncSearchPos)

#undef CORVID_INPUT_CONTROL

// The sentinel is a boolean: any non-zero device value reads as true, true writes 1.
STDMETHODIMP CCorvid::get_SyncSentinel(VARIANT_BOOL* value) {
    if (auto done = Enter(kSyncSentinel.helpContext, {value}, &ICorvid::get_SyncSentinel, value))
        return *done;
    uint32_t read = 0;
    if (!ReadInput(kSyncSentinel.control, &read)) return ReportLastStatus();
    *value = ToBool(read != 0);
    return S_OK;
}

STDMETHODIMP CCorvid::put_SyncSentinel(VARIANT_BOOL value) {
    if (auto done = Enter(kSyncSentinel.helpContext, {}, &ICorvid::put_SyncSentinel, value))
        return *done;
    if (!WriteInput(kSyncSentinel.control, value != 0 ? 1 : 0)) return ReportLastStatus();
    PropertyChanged(kSyncSentinel.id);
    return S_OK;
}

// ---- Capabilities and lookup tables ----

STDMETHODIMP CCorvid::QueryInputCaps(stSTT_FG_INPUT_CAP_KEY key, long* buffer, long bufferSize) {
    if (auto done =
            Enter(kHelpQueryInputCaps, {buffer}, &ICorvid::QueryInputCaps, key, buffer, bufferSize))
        return *done;
    if (bufferSize < 0) return E_INVALIDARG;
    const CapsAnswer answer(buffer, bufferSize);
    if (!answer.Buffer()) return answer.Refusal();
    if (Failed(imaging::STM_QUERY_INPUT_CAPS(device_.driver, static_cast<uint32_t>(key),
                                             answer.Buffer(), static_cast<uint32_t>(bufferSize))))
        return ReportLastStatus();
    answer.Deliver();
    return S_OK;
}

STDMETHODIMP CCorvid::ReadInputLUT(short lut, long start, VARIANT buffer) {
    return AccessInputLut(kHelpReadInputLut, false, lut, start, buffer);
}

STDMETHODIMP CCorvid::WriteInputLUT(short lut, long start, VARIANT buffer) {
    return AccessInputLut(kHelpWriteInputLut, true, lut, start, buffer);
}

HRESULT CCorvid::AccessInputLut(DWORD helpContext, bool write, short lut, long start,
                                const VARIANT& buffer) {
    helpContext_ = helpContext;
    SAFEARRAY* array = ArrayOf(buffer);
    if (!array) return E_INVALIDARG;
    if (auto done = Enter(helpContext, {}, write ? &ICorvid::WriteInputLUT : &ICorvid::ReadInputLUT,
                          lut, start, buffer))
        return *done;
    if (SafeArrayGetDim(array) != 1 || !HoldsLutEntries(array)) return E_INVALIDARG;
    const ULONG entries = array->rgsabound[0].cElements;

    DriverArray data(array, VT_I4, !write);
    if (!data.Ok()) return E_INVALIDARG;
    const imaging::STT_APISTATUS status =
        write ? imaging::STM_WRITE_INPUT_LUT(device_.driver, static_cast<uint16_t>(lut),
                                             static_cast<uint32_t>(start), entries, data.Data())
              : imaging::STM_READ_INPUT_LUT(device_.driver, static_cast<uint16_t>(lut),
                                            static_cast<uint32_t>(start), entries, data.Data(),
                                            entries * kLutEntryBytes);
    if (Failed(status)) return ReportLastStatus();
    return data.Deliver();
}

// ---- Input source and based-source mode ----

namespace {
// Sources travel in a 16-bit field; the device answers for the numbers it lacks.
bool IsSourceNumber(long value) {
    return value >= 0 && value <= 0xFFFF;
}
bool IsTransition(long value) {
    return value == OnHighToLow || value == OnLowToHigh;
}
} // namespace

STDMETHODIMP CCorvid::get_VideoInputSource(VideoSourceEnum* value) {
    if (auto done = Enter(kHelpVideoInputSource, {value}, &ICorvid::get_VideoInputSource, value))
        return *done;
    *value = Chan0;
    uint16_t source = 0;
    if (Failed(imaging::STM_GET_INPUT_SOURCE(device_.driver, &source))) return ReportLastStatus();
    *value = static_cast<VideoSourceEnum>(source);
    return S_OK;
}

STDMETHODIMP CCorvid::put_VideoInputSource(VideoSourceEnum value) {
    if (auto done = Enter(kHelpVideoInputSource, {}, &ICorvid::put_VideoInputSource, value))
        return *done;
    if (!IsSourceNumber(value)) return E_INVALIDARG;
    uint16_t answer = 0;
    if (Failed(
            imaging::STM_SET_INPUT_SOURCE(device_.driver, static_cast<uint32_t>(value), &answer)))
        return ReportLastStatus();
    device_.inputSource = static_cast<uint16_t>(value);
    PropertyChanged(DispidVideoInputSource);
    return S_OK;
}

STDMETHODIMP CCorvid::get_BasedSourceModeEnable(VARIANT_BOOL* value) {
    if (auto done =
            Enter(kHelpBasedSourceModeEnable, {value}, &ICorvid::get_BasedSourceModeEnable, value))
        return *done;
    *value = ToBool(input_.basedMode);
    return S_OK;
}

// The mode changes before the message, so a failed message leaves it changed.
STDMETHODIMP CCorvid::put_BasedSourceModeEnable(VARIANT_BOOL value) {
    if (auto done =
            Enter(kHelpBasedSourceModeEnable, {}, &ICorvid::put_BasedSourceModeEnable, value))
        return *done;
    const bool enable = value != 0;
    if (!(input_.basedMode && enable)) {
        input_.basedMode = enable;
        if (Failed(imaging::STM_SELECT_BASED_SOURCE(device_.driver, enable ? 1 : 0,
                                                    static_cast<uint16_t>(input_.basedSource))))
            return ReportLastStatus();
    }
    PropertyChanged(DispidBasedSourceModeEnable);
    return S_OK;
}

STDMETHODIMP CCorvid::get_BasedSource(VideoSourceEnum* value) {
    if (auto done = Enter(kHelpBasedSource, {value}, &ICorvid::get_BasedSource, value))
        return *done;
    *value = static_cast<VideoSourceEnum>(input_.basedSource);
    return S_OK;
}

// While the mode is on the old source is released and the new one selected; the device's
// answers do not matter here.
STDMETHODIMP CCorvid::put_BasedSource(VideoSourceEnum value) {
    if (auto done = Enter(kHelpBasedSource, {}, &ICorvid::put_BasedSource, value)) return *done;
    if (!IsSourceNumber(value) || value > INT16_MAX) return E_INVALIDARG;
    if (input_.basedMode)
        imaging::STM_SELECT_BASED_SOURCE(device_.driver, 0,
                                         static_cast<uint16_t>(input_.basedSource));
    input_.basedSource = static_cast<int16_t>(value);
    if (input_.basedMode)
        imaging::STM_SELECT_BASED_SOURCE(device_.driver, 1,
                                         static_cast<uint16_t>(input_.basedSource));
    PropertyChanged(DispidBasedSource);
    return S_OK;
}

// ---- Scan flags ----

namespace {
constexpr uint32_t kHorizontalBit = 1u << 0;
constexpr uint32_t kVerticalBit = 1u << 1;
} // namespace

HRESULT CCorvid::GetScanFlag(uint32_t bit, TransitionEnum* value) {
    uint32_t flags = 0;
    if (!ReadInput(imaging::STC_FG_CTL_VARSCAN_FLAGS, &flags)) return ReportLastStatus();
    input_.scanFlags = flags;
    *value = (flags & bit) ? OnLowToHigh : OnHighToLow;
    return S_OK;
}

// The other bit is written back as last read or written, without a fresh read.
HRESULT CCorvid::PutScanFlag(uint32_t bit, TransitionEnum value, DISPID id) {
    const uint32_t flags = value == OnLowToHigh ? input_.scanFlags | bit : input_.scanFlags & ~bit;
    if (!WriteInput(imaging::STC_FG_CTL_VARSCAN_FLAGS, flags)) return ReportLastStatus();
    input_.scanFlags = flags;
    PropertyChanged(id);
    return S_OK;
}

STDMETHODIMP CCorvid::get_HorizontalTransition(TransitionEnum* value) {
    if (auto done =
            Enter(kHelpHorizontalTransition, {value}, &ICorvid::get_HorizontalTransition, value))
        return *done;
    return GetScanFlag(kHorizontalBit, value);
}

STDMETHODIMP CCorvid::put_HorizontalTransition(TransitionEnum value) {
    if (auto done = Enter(kHelpHorizontalTransition, {}, &ICorvid::put_HorizontalTransition, value))
        return *done;
    if (!IsTransition(value)) return E_INVALIDARG;
    return PutScanFlag(kHorizontalBit, value, DispidHorizontalTransition);
}

STDMETHODIMP CCorvid::get_VerticalTransition(TransitionEnum* value) {
    if (auto done =
            Enter(kHelpVerticalTransition, {value}, &ICorvid::get_VerticalTransition, value))
        return *done;
    return GetScanFlag(kVerticalBit, value);
}

STDMETHODIMP CCorvid::put_VerticalTransition(TransitionEnum value) {
    if (auto done = Enter(kHelpVerticalTransition, {}, &ICorvid::put_VerticalTransition, value))
        return *done;
    if (!IsTransition(value)) return E_INVALIDARG;
    return PutScanFlag(kVerticalBit, value, DispidVerticalTransition);
}

// ---- Triggers ----

// The transition comes back only for an external trigger; otherwise the kept one stays.
bool CCorvid::ReadTrigger() {
    uint32_t type = input_.triggerType, transition = input_.triggerTransition;
    if (Failed(imaging::STM_GET_TRIGGER(device_.driver, &type, &transition))) return false;
    input_.triggerType = type;
    input_.triggerTransition = transition;
    return true;
}

// A put sends the value it does not change as kept; success makes the new values the kept.
HRESULT CCorvid::WriteTrigger(uint32_t type, uint32_t transition, DISPID id) {
    uint32_t answerType = 0, answerTransition = 0;
    if (Failed(imaging::STM_SET_TRIGGER(device_.driver, type, transition, &answerType,
                                        &answerTransition)))
        return ReportLastStatus();
    input_.triggerType = type;
    input_.triggerTransition = transition;
    PropertyChanged(id);
    return S_OK;
}

bool CCorvid::ReadMultTrigger() {
    uint32_t type = input_.multTriggerType, transition = input_.multTriggerTransition,
             mode = input_.multTriggerMode;
    if (Failed(imaging::STM_GET_MULT_TRIGGER(device_.driver, &type, &transition, &mode)))
        return false;
    input_.multTriggerType = type;
    input_.multTriggerTransition = transition;
    input_.multTriggerMode = mode;
    return true;
}

HRESULT CCorvid::WriteMultTrigger(uint32_t type, uint32_t transition, uint32_t mode, DISPID id) {
    uint32_t answerType = 0, answerTransition = 0, answerMode = 0;
    if (Failed(imaging::STM_SET_MULT_TRIGGER(device_.driver, type, transition, mode, &answerType,
                                             &answerTransition, &answerMode)))
        return ReportLastStatus();
    input_.multTriggerType = type;
    input_.multTriggerTransition = transition;
    input_.multTriggerMode = mode;
    PropertyChanged(id);
    return S_OK;
}

STDMETHODIMP CCorvid::get_TriggerType(TriggerTypeEnum* value) {
    if (auto done = Enter(kHelpTriggerType, {value}, &ICorvid::get_TriggerType, value))
        return *done;
    if (!ReadTrigger()) return ReportLastStatus();
    *value = static_cast<TriggerTypeEnum>(input_.triggerType);
    return S_OK;
}

STDMETHODIMP CCorvid::put_TriggerType(TriggerTypeEnum value) {
    if (auto done = Enter(kHelpTriggerType, {}, &ICorvid::put_TriggerType, value)) return *done;
    return WriteTrigger(static_cast<uint32_t>(value), input_.triggerTransition, DispidTriggerType);
}

STDMETHODIMP CCorvid::get_TriggerTransition(TransitionEnum* value) {
    if (auto done = Enter(kHelpTriggerTransition, {value}, &ICorvid::get_TriggerTransition, value))
        return *done;
    if (!ReadTrigger()) return ReportLastStatus();
    *value = input_.triggerTransition ? OnLowToHigh : OnHighToLow;
    return S_OK;
}

STDMETHODIMP CCorvid::put_TriggerTransition(TransitionEnum value) {
    if (auto done = Enter(kHelpTriggerTransition, {}, &ICorvid::put_TriggerTransition, value))
        return *done;
    return WriteTrigger(input_.triggerType, static_cast<uint32_t>(value), DispidTriggerTransition);
}

STDMETHODIMP CCorvid::get_MultTriggerType(TriggerTypeEnum* value) {
    if (auto done = Enter(kHelpMultTriggerType, {value}, &ICorvid::get_MultTriggerType, value))
        return *done;
    if (!ReadMultTrigger()) return ReportLastStatus();
    *value = static_cast<TriggerTypeEnum>(input_.multTriggerType);
    return S_OK;
}

STDMETHODIMP CCorvid::put_MultTriggerType(TriggerTypeEnum value) {
    if (auto done = Enter(kHelpMultTriggerType, {}, &ICorvid::put_MultTriggerType, value))
        return *done;
    return WriteMultTrigger(static_cast<uint32_t>(value), input_.multTriggerTransition,
                            input_.multTriggerMode, DispidMultTriggerType);
}

STDMETHODIMP CCorvid::get_MultTriggerTransition(TransitionEnum* value) {
    if (auto done =
            Enter(kHelpMultTriggerTransition, {value}, &ICorvid::get_MultTriggerTransition, value))
        return *done;
    if (!ReadMultTrigger()) return ReportLastStatus();
    *value = input_.multTriggerTransition ? OnLowToHigh : OnHighToLow;
    return S_OK;
}

STDMETHODIMP CCorvid::put_MultTriggerTransition(TransitionEnum value) {
    if (auto done =
            Enter(kHelpMultTriggerTransition, {}, &ICorvid::put_MultTriggerTransition, value))
        return *done;
    return WriteMultTrigger(input_.multTriggerType, static_cast<uint32_t>(value),
                            input_.multTriggerMode, DispidMultTriggerTransition);
}

STDMETHODIMP CCorvid::get_MultTriggerMode(TriggerModeEnum* value) {
    if (auto done = Enter(kHelpMultTriggerMode, {value}, &ICorvid::get_MultTriggerMode, value))
        return *done;
    if (!ReadMultTrigger()) return ReportLastStatus();
    *value = static_cast<TriggerModeEnum>(input_.multTriggerMode);
    return S_OK;
}

STDMETHODIMP CCorvid::put_MultTriggerMode(TriggerModeEnum value) {
    if (auto done = Enter(kHelpMultTriggerMode, {}, &ICorvid::put_MultTriggerMode, value))
        return *done;
    return WriteMultTrigger(input_.multTriggerType, input_.multTriggerTransition,
                            static_cast<uint32_t>(value), DispidMultTriggerMode);
}

// ---- Signal type ----

// Color boards report the signal type through their color interface, the others through the
// video type input control.
STDMETHODIMP CCorvid::get_VideoSignalType(VideoSignalTypeEnum* value) {
    if (auto done = Enter(kHelpVideoSignalType, {value}, &ICorvid::get_VideoSignalType, value))
        return *done;
    if (Failed(imaging::STM_CLR_QUERY_INTERFACE(device_.driver, kSignalTypeInterface))) {
        uint32_t type = 0;
        if (Failed(imaging::STM_GET_INPUT_CONTROL(device_.driver, EffectiveSource(),
                                                  imaging::STC_FG_CTL_VIDEO_TYPE, &type)))
            return ReportLastStatus();
        switch (type) {
        case kCompositeVideoType: *value = CompositeVideo; return S_OK;
        case kVarScanVideoType: *value = VarScanVideo; return S_OK;
        default: return E_FAIL;
        }
    }
    uint32_t signal = 0;
    if (Failed(imaging::STM_CLR_SIGNAL_TYPE(device_.driver, EffectiveSource(),
                                            imaging::STC_READ_CONTROL, &signal)))
        return ReportLastStatus();
    switch (signal) {
    case kYcSignal: *value = YCVideo; return S_OK;
    case kCompositeSignal: *value = CompositeVideo; return S_OK;
    case kRgbSignal: *value = RGBVideo; return S_OK;
    default: return E_FAIL;
    }
}

STDMETHODIMP CCorvid::put_VideoSignalType(VideoSignalTypeEnum value) {
    if (auto done = Enter(kHelpVideoSignalType, {}, &ICorvid::put_VideoSignalType, value))
        return *done;
    if (Failed(imaging::STM_CLR_QUERY_INTERFACE(device_.driver, kSignalTypeInterface))) {
        const uint32_t type = value == CompositeVideo ? kCompositeVideoType
                              : value == VarScanVideo ? kVarScanVideoType
                                                      : 0;
        uint32_t answer = 0;
        if (Failed(imaging::STM_SET_INPUT_CONTROL(device_.driver, EffectiveSource(),
                                                  imaging::STC_FG_CTL_VIDEO_TYPE, type, &answer)))
            return ReportLastStatus();
    } else {
        uint32_t signal = value == CompositeVideo ? kCompositeSignal
                          : value == YCVideo      ? kYcSignal
                          : value == RGBVideo     ? kRgbSignal
                                                  : 0;
        if (Failed(imaging::STM_CLR_SIGNAL_TYPE(device_.driver, EffectiveSource(),
                                                imaging::STC_WRITE_CONTROL, &signal)))
            return ReportLastStatus();
    }
    PropertyChanged(DispidVideoSignalType);
    return S_OK;
}

// ---- Levels ----

namespace {

// Which models have which level, and how.
enum class LevelSupport { None, BlackWhite, AnalogParam };

LevelSupport LevelSupportOf(uint32_t model, bool gain) {
    switch (model) {
    case KV7100: return gain ? LevelSupport::None : LevelSupport::BlackWhite;
    case KV7400:
    case KV7400LS: return LevelSupport::AnalogParam;
    default: return LevelSupport::None;
    }
}

uint32_t AnalogSelector(CCorvid::Level level) {
    switch (level) {
    case CCorvid::Level::Offset: return imaging::AP_Offset;
    case CCorvid::Level::Reference: return imaging::AP_Reference;
    case CCorvid::Level::Gain: break;
    }
    return imaging::AP_Gain;
}

DISPID LevelDispid(CCorvid::Level level) {
    switch (level) {
    case CCorvid::Level::Offset: return DispidOffset;
    case CCorvid::Level::Reference: return DispidReference;
    case CCorvid::Level::Gain: break;
    }
    return DispidGain;
}

} // namespace

// read gets the value when the model has the level and the device answered.
HRESULT CCorvid::GetLevel(Level level, std::optional<long>& read) {
    const bool gain = level == Level::Gain;
    switch (LevelSupportOf(device_.modelCode, gain)) {
    case LevelSupport::None: return persist_.Active() ? S_OK : E_NOTIMPL;
    case LevelSupport::AnalogParam: {
        uint32_t value = 0;
        if (Failed(imaging::STM_7400_GET_ANALOG_PARAM(device_.driver, EffectiveSource(),
                                                      AnalogSelector(level), &value)))
            return ReportLastStatus();
        read = static_cast<int32_t>(value);
        if (gain) input_.lastGain = static_cast<int32_t>(value);
        return S_OK;
    }
    case LevelSupport::BlackWhite: break;
    }
    // The offset is the negated black level, the reference the white level above it.
    uint32_t black = 0;
    if (!ReadInput(imaging::STC_FG_CTL_BLACK_LEVEL, &black)) return ReportLastStatus();
    if (level == Level::Offset) {
        read = -static_cast<long>(static_cast<int32_t>(black));
        return S_OK;
    }
    uint32_t white = 0;
    if (!ReadInput(imaging::STC_FG_CTL_WHITE_LEVEL, &white)) return ReportLastStatus();
    read = static_cast<long>(static_cast<int32_t>(white - black));
    return S_OK;
}

HRESULT CCorvid::PutLevel(Level level, long value) {
    const bool gain = level == Level::Gain;
    const DISPID id = LevelDispid(level);
    uint32_t answer = 0;
    switch (LevelSupportOf(device_.modelCode, gain)) {
    case LevelSupport::None: return persist_.Active() ? S_OK : E_NOTIMPL;
    case LevelSupport::AnalogParam:
        if (Failed(imaging::STM_7400_SET_ANALOG_PARAM(device_.driver, EffectiveSource(),
                                                      AnalogSelector(level),
                                                      static_cast<uint32_t>(value), &answer)))
            return ReportLastStatus();
        if (gain) input_.lastGain = static_cast<int32_t>(value);
        PropertyChanged(id);
        return S_OK;
    case LevelSupport::BlackWhite: break;
    }
    if (level == Level::Offset) {
        if (!WriteInput(imaging::STC_FG_CTL_BLACK_LEVEL, static_cast<uint32_t>(-value)))
            return ReportLastStatus();
    } else {
        uint32_t black = 0;
        if (!ReadInput(imaging::STC_FG_CTL_BLACK_LEVEL, &black)) return ReportLastStatus();
        if (!WriteInput(imaging::STC_FG_CTL_WHITE_LEVEL, static_cast<uint32_t>(value) + black))
            return ReportLastStatus();
    }
    PropertyChanged(id);
    return S_OK;
}

// The level members of a model without the level do not touch the value.
template <class T> HRESULT CCorvid::GetLevel(Level level, T* value) {
    std::optional<long> read;
    const HRESULT hr = GetLevel(level, read);
    if (read) *value = static_cast<T>(*read);
    return hr;
}

STDMETHODIMP CCorvid::get_Offset(long* value) {
    if (auto done = Enter(kHelpOffset, {value}, &ICorvid::get_Offset, value)) return *done;
    return GetLevel(Level::Offset, value);
}

STDMETHODIMP CCorvid::put_Offset(long value) {
    if (auto done = Enter(kHelpOffset, {}, &ICorvid::put_Offset, value)) return *done;
    return PutLevel(Level::Offset, value);
}

STDMETHODIMP CCorvid::get_Reference(long* value) {
    if (auto done = Enter(kHelpReference, {value}, &ICorvid::get_Reference, value)) return *done;
    return GetLevel(Level::Reference, value);
}

STDMETHODIMP CCorvid::put_Reference(long value) {
    if (auto done = Enter(kHelpReference, {}, &ICorvid::put_Reference, value)) return *done;
    return PutLevel(Level::Reference, value);
}

STDMETHODIMP CCorvid::get_Gain(GainEnum* value) {
    if (auto done = Enter(kHelpGain, {value}, &ICorvid::get_Gain, value)) return *done;
    return GetLevel(Level::Gain, value);
}

STDMETHODIMP CCorvid::put_Gain(GainEnum value) {
    if (auto done = Enter(kHelpGain, {}, &ICorvid::put_Gain, value)) return *done;
    return PutLevel(Level::Gain, static_cast<long>(value));
}

} // namespace core
