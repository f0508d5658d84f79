// KV7400 board library (KV7400, KV7400LS): the sync generator and the analog front end's
// gain, offset and reference per input. Every answer is one 32-bit value (BytesWritten 4);
// failures leave the library's device-dependent statuses (extension_codes.h).
#include <array>
#include <vector>

#include "board.h"
#include "extension_codes.h"
#include "sync_generator.h"
#include "units.h"

namespace kvboard {

using namespace imaging;

namespace {

// Gain in 1/64 steps (64 = unity), offset and reference in millivolts.
constexpr ParamRange kAnalogParams[] = {
    {AP_Gain, 16, 1023, 1, 64},
    {AP_Offset, -500, 500, 1, 0},
    {AP_Reference, 100, 2000, 1, 714},
};

struct AnalogState : UnitState {
    std::vector<std::array<int32_t, std::size(kAnalogParams)>> values; // [source][param]

    static AnalogState& Of(Board& board) {
        AnalogState& state = board.Unit<AnalogState>();
        if (state.values.empty()) {
            std::array<int32_t, std::size(kAnalogParams)> nominal{};
            for (size_t i = 0; i < nominal.size(); ++i)
                nominal[i] = kAnalogParams[i].nominal;
            state.values.assign(board.inputSources(), nominal);
        }
        return state;
    }
    int32_t& Value(uint16_t source, const ParamRange& param) {
        return values[source][static_cast<size_t>(&param - kAnalogParams)];
    }
};

Result SetAnalogParam(Call& call) {
    ParamWriteBlock block{};
    if (!ReadBlock(call.param1, block)) return Fail(drv::STS_NULL);
    Output out(call.param2);
    if (const uint32_t status = out.Check(sizeof(int32_t))) return Fail(status);
    if (block.Source >= call.board.inputSources()) return Fail(libsts::kBadSource);
    const ParamRange* param = FindParam(kAnalogParams, block.Selector);
    if (param == nullptr) return Fail(libsts::kBadSelector);
    const auto value = static_cast<int32_t>(block.Value);
    if (const uint32_t status = CheckParam(*param, value)) return Fail(status);
    int32_t& current = AnalogState::Of(call.board).Value(block.Source, *param);
    current = value;
    return out.Put(current);
}

Result GetAnalogParam(Call& call) {
    ParamReadBlock block{};
    if (!ReadBlock(call.param1, block)) return Fail(drv::STS_NULL);
    Output out(call.param2);
    if (const uint32_t status = out.Check(sizeof(int32_t))) return Fail(status);
    if (block.Source >= call.board.inputSources()) return Fail(libsts::kBadSource);
    const ParamRange* param = FindParam(kAnalogParams, block.Selector);
    if (param == nullptr) return Fail(libsts::kBadSelector);
    return out.Put(AnalogState::Of(call.board).Value(block.Source, *param));
}

constexpr MessageHandler kHandlers[] = {
    {Family::Lib7400, msg::STM_7400_ENABLE_SYNC_MASTER, EnableSyncMaster},
    {Family::Lib7400, msg::STM_7400_SET_SYNC_MASTER_PARAM, SetSyncMasterParam},
    {Family::Lib7400, msg::STM_7400_GET_SYNC_MASTER_PARAM, GetSyncMasterParam},
    {Family::Lib7400, msg::STM_7400_SET_ANALOG_PARAM, SetAnalogParam},
    {Family::Lib7400, msg::STM_7400_GET_ANALOG_PARAM, GetAnalogParam},
};

} // namespace

std::span<const MessageHandler> Lib7400Handlers() {
    return kHandlers;
}

} // namespace kvboard
