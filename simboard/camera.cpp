// Digital-camera family (KV7700): camera reset and bit width, the digital I/O lines, the
// expose pulse and the sync generator. Failures leave the device-dependent statuses of the
// board's library (extension_codes.h); answer descriptors fail with the standard ones.
#include <vector>

#include "board.h"
#include "digital_lines.h"
#include "extension_codes.h"
#include "sync_generator.h"
#include "units.h"

namespace kvboard {

using namespace imaging;

namespace {

// The camera's native width, which a reset restores.
CameraType NativeType(const ModelSpec& m) {
    switch (m.pixelDepth) {
    case 16: return CameraType::Bits16;
    case 14: return CameraType::Bits14;
    case 12: return CameraType::Bits12;
    case 10: return CameraType::Bits10;
    default: return CameraType::Bits8Single;
    }
}

struct ExposePulse {
    bool enabled = false;
    uint32_t duration = 0;
    uint32_t polarity = 0;
};

// Per input: the camera attached to it.
struct CameraState : UnitState {
    std::vector<uint32_t> types;
    std::vector<ExposePulse> pulses;

    static CameraState& Of(Board& board) {
        CameraState& state = board.Unit<CameraState>();
        if (state.types.empty()) {
            const ModelSpec& m = board.model();
            state.types.assign(board.inputSources(), static_cast<uint32_t>(NativeType(m)));
            const uint32_t duration =
                m.pulse ? static_cast<uint32_t>(m.pulse->rangeExt.Nominal) : 0;
            state.pulses.assign(board.inputSources(), ExposePulse{false, duration, 0});
        }
        return state;
    }
};

uint16_t SourceOf(LPARAM param) {
    return static_cast<uint16_t>(param & 0xFFFF);
}

Result Reset(Call& call) {
    CameraState& cam = CameraState::Of(call.board);
    cam.types.assign(cam.types.size(), static_cast<uint32_t>(NativeType(call.board.model())));
    return Ok();
}

Result SetType(Call& call) {
    const uint16_t source = SourceOf(call.param1);
    if (source >= call.board.inputSources()) return Fail(libsts::kBadSource);
    const auto type = static_cast<uint32_t>(call.param2);
    if (type >= kCameraTypeCount) return Fail(libsts::kOutOfRange);
    CameraState::Of(call.board).types[source] = type;
    return Ok();
}

Result GetType(Call& call) {
    Output out(call.param2);
    if (const uint32_t status = out.Check(sizeof(uint32_t))) return Fail(status);
    const uint16_t source = SourceOf(call.param1);
    if (source >= call.board.inputSources()) return Fail(libsts::kBadSource);
    return out.Put(CameraState::Of(call.board).types[source]);
}

Result SetDigioConfig(Call& call) {
    const auto config = static_cast<uint32_t>(call.param2);
    if ((config & ~call.board.model().digitalPort->lines) != 0) return Fail(libsts::kOutOfRange);
    DigitalPortState::Of(call.board).config = config;
    return Ok();
}

Result GetDigioConfig(Call& call) {
    return Output(call.param2).Put(DigitalPortState::Of(call.board).config);
}

Result SetDigioPattern(Call& call) {
    const auto pattern = static_cast<uint32_t>(call.param2);
    if ((pattern & ~call.board.model().digitalPort->lines) != 0) return Fail(libsts::kOutOfRange);
    DigitalPortState::Of(call.board).latch = pattern;
    return Ok();
}

Result GetDigioPattern(Call& call) {
    const DigitalPortState& port = DigitalPortState::Of(call.board);
    return Output(call.param2).Put(ReadLines(call.board, port.config, port.latch));
}

Result EnableExposePulse(Call& call) {
    const uint16_t source = SourceOf(call.param2);
    if (source >= call.board.inputSources()) return Fail(libsts::kBadSource);
    CameraState::Of(call.board).pulses[source].enabled = call.param1 != 0;
    return Ok();
}

// lParam1 the duration, lParam2 an expose-pulse write block. The driver writes the
// duration in effect into the block's answer word, also when it refuses the new one.
Result SetExposePulse(Call& call) {
    if (call.param2 == 0) return Fail(drv::STS_NULL);
    auto* block = reinterpret_cast<ExposePulseWriteBlock*>(call.param2);
    ExposePulseWriteBlock in{};
    ReadBlock(call.param2, in);
    const uint16_t source = in.Source;
    if (source >= call.board.inputSources()) return Fail(libsts::kBadSource);
    ExposePulse& pulse = CameraState::Of(call.board).pulses[source];
    const stSTT_LNG_RNG& range = call.board.model().pulse->rangeExt;
    const auto duration = static_cast<uint32_t>(call.param1);
    const bool valid = duration >= static_cast<uint32_t>(range.Min) &&
                       duration <= static_cast<uint32_t>(range.Max) &&
                       in.Polarity <= kPolarityActiveLow;
    if (valid) {
        pulse.duration = duration;
        pulse.polarity = in.Polarity;
    }
    block->Answer = pulse.duration;
    return valid ? Ok() : Fail(libsts::kOutOfRange);
}

// The answer buffer is an expose-pulse read buffer whose first word names the source.
Result GetExposePulse(Call& call) {
    Output out(call.param2);
    if (const uint32_t status = out.Check(sizeof(ExposePulseReadBuffer))) return Fail(status);
    const auto* d = reinterpret_cast<const OutputDescriptor*>(call.param2);
    ExposePulseReadBuffer answer{};
    std::memcpy(&answer, d->Buffer, sizeof answer);
    if (answer.Source >= call.board.inputSources()) return Fail(libsts::kBadSource);
    const ExposePulse& pulse = CameraState::Of(call.board).pulses[answer.Source];
    answer.Duration = pulse.duration;
    answer.Polarity = pulse.polarity;
    return out.Put(answer);
}

constexpr MessageHandler kHandlers[] = {
    {Family::Camera, msg::STM_CAM_RESET, Reset},
    {Family::Camera, msg::STM_CAM_SET_TYPE, SetType},
    {Family::Camera, msg::STM_CAM_GET_TYPE, GetType},
    {Family::Camera, msg::STM_CAM_SET_DIGIO_CONFIG, SetDigioConfig},
    {Family::Camera, msg::STM_CAM_GET_DIGIO_CONFIG, GetDigioConfig},
    {Family::Camera, msg::STM_CAM_SET_DIGIO_PATTERN, SetDigioPattern},
    {Family::Camera, msg::STM_CAM_GET_DIGIO_PATTERN, GetDigioPattern},
    {Family::Camera, msg::STM_CAM_ENABLE_EXPOSE_PULSE, EnableExposePulse},
    {Family::Camera, msg::STM_CAM_SET_EXPOSE_PULSE, SetExposePulse},
    {Family::Camera, msg::STM_CAM_GET_EXPOSE_PULSE, GetExposePulse},
    {Family::Camera, msg::STM_CAM_ENABLE_SYNC_MASTER, EnableSyncMaster},
    {Family::Camera, msg::STM_CAM_SET_SYNC_MASTER_PARAM, SetSyncMasterParam},
    {Family::Camera, msg::STM_CAM_GET_SYNC_MASTER_PARAM, GetSyncMasterParam},
};

} // namespace

std::span<const MessageHandler> CameraHandlers() {
    return kHandlers;
}

} // namespace kvboard
