// Device unit: last status, device capabilities, the time-out, camera-control capabilities
// and the digital outputs of the standard messages.
#include <cstring>

#include "board.h"
#include "units.h"

namespace kvboard {

using namespace imaging;

namespace {

constexpr uint32_t kSignature = 0x4D495453; // "STIM": an imaging driver of this API

Result GetLastStatus(Call& call) {
    return Output(call.param2).Put(call.instance.lastStatus());
}

Result QueryDeviceCaps(Call& call) {
    const BoardSettings& s = call.board.settings();
    Output out(call.param2);
    switch (static_cast<uint32_t>(call.param1)) {
    case STC_IMG_DC_ST_SIGNATURE: return out.Put(kSignature);
    case STC_IMG_DC_DEVICE_ID: return out.Put(s.model->code);
    case STC_IMG_DC_DEVICE_NAME:
        return out.Write(s.model->deviceName, std::strlen(s.model->deviceName) + 1);
    case STC_IMG_DC_ST_DEVICE_TYPE: return out.Put(static_cast<uint32_t>(s.model->kind));
    case STC_IMG_DC_SECTIONS: return out.Put(uint32_t{1});
    case STC_IMG_DC_LINEAR_MEM_SIZE: return out.Put(s.linearMemSize);
    case STC_IMG_DC_DEVICE_MEM_SIZE: return out.Put(s.deviceMemSize);
    default: return Fail(drv::STS_UNSUPKEY);
    }
}

// Sets the time-out (seconds) and answers the previous one, when the caller asked for it.
Result SetTimeout(Call& call) {
    Output out(call.param2);
    const uint32_t previous = call.board.timeout;
    if (out.Present()) {
        if (const uint32_t status = out.Check(sizeof previous)) return Fail(status);
    }
    call.board.timeout = static_cast<uint32_t>(call.param1);
    return out.Present() ? out.Put(previous) : Ok();
}

Result GetTimeout(Call& call) {
    return Output(call.param2).Put(call.board.timeout);
}

Result QueryCamCtlCaps(Call& call) {
    const ModelSpec& m = call.board.model();
    Output out(call.param2);
    switch (static_cast<uint32_t>(call.param1)) {
    case STC_FG_CC_DIG_OUT_COUNT: // a 16-bit count: the control asks with a 2-byte buffer
        if (m.outputLines == 0) break;
        return out.Put(static_cast<uint16_t>(m.outputLines));
    case STC_FG_CC_PULSE_OPS:
        if (m.pulse == nullptr) break;
        return out.Put(m.pulse->operations);
    case STC_FG_CC_PULSE_RANGE:
        if (m.pulse == nullptr) break;
        return out.Put(m.pulse->range);
    case STC_FG_CC_PULSE_RANGE_EXT:
        if (m.pulse == nullptr) break;
        return out.Put(m.pulse->rangeExt);
    default: break;
    }
    return Fail(drv::STS_UNSUPKEY);
}

// Drives the output lines with the pattern and answers what they now show. Models whose
// outputs belong to a board extension do not offer the standard message.
Result SetDigitalOutputs(Call& call) {
    const uint32_t lines = call.board.model().outputLines;
    if (lines == 0) return NotHandled();
    Output out(call.param2);
    const uint32_t pattern = static_cast<uint32_t>(call.param1);
    if (const uint32_t status = out.Check(sizeof pattern)) return Fail(status);
    if (lines < 32 && (pattern >> lines) != 0) return Fail(drv::STS_RANGE);
    call.board.digitalOutputs = pattern;
    return out.Put(pattern);
}

constexpr MessageHandler kHandlers[] = {
    {Family::Standard, msg::STM_GET_LAST_STATUS, GetLastStatus, Locking::Self},
    {Family::Standard, msg::STM_QUERY_DEVICE_CAPS, QueryDeviceCaps},
    {Family::Standard, msg::STM_SET_TIMEOUT, SetTimeout},
    {Family::Standard, msg::STM_GET_TIMEOUT, GetTimeout},
    {Family::Standard, msg::STM_QUERY_CAMCTL_CAPS, QueryCamCtlCaps},
    {Family::Standard, msg::STM_SET_DIGITAL_OUTPUTS, SetDigitalOutputs},
};

} // namespace

std::span<const MessageHandler> DeviceHandlers() {
    return kHandlers;
}

} // namespace kvboard
