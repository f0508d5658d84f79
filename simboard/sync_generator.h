// The sync generator of the boards that can be sync master (digital-camera board, KV7400
// library boards): one generator per board, driving the camera of one input at a time, with
// its horizontal and vertical timing. Both families answer it the same way; failures leave
// the device-dependent statuses of the board libraries (extension_codes.h).
#pragma once

#include <cstdint>

#include "message.h"

namespace kvboard {

// Parameters of a board library, checked against a range: out of range or off the step
// gives libsts::kOutOfRange.
struct ParamRange {
    uint32_t selector;
    int32_t min;
    int32_t max;
    int32_t step;
    int32_t nominal;
};

const ParamRange* FindParam(std::span<const ParamRange> table, uint32_t selector);
uint32_t CheckParam(const ParamRange& range, int32_t value); // 0 or libsts::kOutOfRange

// lParam1 the enable word, lParam2 the source. Enabling while the generator drives another
// input fails with libsts::kSyncInUse.
Result EnableSyncMaster(Call& call);
// lParam1 a parameter write block, lParam2 a descriptor for the value now in effect.
Result SetSyncMasterParam(Call& call);
// lParam1 a parameter read block, lParam2 a descriptor for the value.
Result GetSyncMasterParam(Call& call);

} // namespace kvboard
