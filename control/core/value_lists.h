// The value lists that design environments offer for a few properties: display strings
// with the cookies that stand for their values.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace core {

struct PredefinedValue {
    std::wstring text;
    uint32_t cookie;
};

// The sync-source capability bits.
inline constexpr uint32_t kSyncCurrentSource = 1;
inline constexpr uint32_t kSyncSpecificSource = 2;
inline constexpr uint32_t kSyncExternalLine = 4;

// Only the first six channels have names; a board that reports more lists six.
std::vector<PredefinedValue> InputSourceValues(uint32_t sources);
// One entry per channel (specific source), then the current source and the external line,
// each when the capability has it.
std::vector<PredefinedValue> SyncSourceValues(uint32_t capability, uint32_t sources);
// The thresholds as decimal numbers, each its own cookie.
std::vector<PredefinedValue> ThresholdValues(std::span<const int32_t> thresholds);

} // namespace core
