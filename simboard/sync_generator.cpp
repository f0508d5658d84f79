#include "sync_generator.h"

#include <algorithm>
#include <array>

#include "board.h"
#include "extension_codes.h"

namespace kvboard {

using namespace imaging;

namespace {

// Horizontal and vertical frequency in Hz, pulse widths in nanoseconds and lines, phase in
// degrees.
constexpr ParamRange kSyncParams[] = {
    {SMP_HorizontalFrequency, 10'000, 100'000, 1, 15'734},
    {SMP_VerticalFrequency, 10, 240, 1, 60},
    {SMP_HorizontalPulseWidth, 100, 9'000, 10, 4'700},
    {SMP_VerticalPulseWidth, 1, 30, 1, 3},
    {SMP_Phase, 0, 359, 1, 0},
};

struct SyncGeneratorState : UnitState {
    bool enabled = false;
    uint16_t source = 0; // the input whose camera it drives while enabled
    std::array<int32_t, std::size(kSyncParams)> values = [] {
        std::array<int32_t, std::size(kSyncParams)> v{};
        for (size_t i = 0; i < v.size(); ++i)
            v[i] = kSyncParams[i].nominal;
        return v;
    }();
};

int32_t& ValueOf(SyncGeneratorState& state, const ParamRange& param) {
    return state.values[static_cast<size_t>(&param - kSyncParams)];
}

} // namespace

const ParamRange* FindParam(std::span<const ParamRange> table, uint32_t selector) {
    const auto it = std::find_if(table.begin(), table.end(), [selector](const ParamRange& p) {
        return p.selector == selector;
    });
    return it == table.end() ? nullptr : &*it;
}

uint32_t CheckParam(const ParamRange& range, int32_t value) {
    if (value < range.min || value > range.max) return libsts::kOutOfRange;
    if ((int64_t{value} - range.min) % range.step != 0) return libsts::kOutOfRange;
    return 0;
}

Result EnableSyncMaster(Call& call) {
    const bool enable = call.param1 != 0;
    const auto source = static_cast<uint16_t>(call.param2 & 0xFFFF);
    if (source >= call.board.inputSources()) return Fail(libsts::kBadSource);
    SyncGeneratorState& sync = call.board.Unit<SyncGeneratorState>();
    if (enable) {
        if (sync.enabled && sync.source != source) return Fail(libsts::kSyncInUse);
        sync.enabled = true;
        sync.source = source;
    } else if (sync.source == source) {
        sync.enabled = false;
    }
    return Ok();
}

Result SetSyncMasterParam(Call& call) {
    ParamWriteBlock block{};
    if (!ReadBlock(call.param1, block)) return Fail(drv::STS_NULL);
    Output out(call.param2);
    if (const uint32_t status = out.Check(sizeof(int32_t))) return Fail(status);
    if (block.Source >= call.board.inputSources()) return Fail(libsts::kBadSource);
    const ParamRange* param = FindParam(kSyncParams, block.Selector);
    if (param == nullptr) return Fail(libsts::kBadSelector);
    const auto value = static_cast<int32_t>(block.Value);
    if (const uint32_t status = CheckParam(*param, value)) return Fail(status);
    int32_t& current = ValueOf(call.board.Unit<SyncGeneratorState>(), *param);
    current = value;
    return out.Put(current);
}

Result GetSyncMasterParam(Call& call) {
    ParamReadBlock block{};
    if (!ReadBlock(call.param1, block)) return Fail(drv::STS_NULL);
    Output out(call.param2);
    if (const uint32_t status = out.Check(sizeof(int32_t))) return Fail(status);
    if (block.Source >= call.board.inputSources()) return Fail(libsts::kBadSource);
    const ParamRange* param = FindParam(kSyncParams, block.Selector);
    if (param == nullptr) return Fail(libsts::kBadSelector);
    return out.Put(ValueOf(call.board.Unit<SyncGeneratorState>(), *param));
}

} // namespace kvboard
