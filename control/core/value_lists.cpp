// Value lists built from the device's capability answers.
#include "value_lists.h"

#include <algorithm>

namespace core {
namespace {

constexpr const wchar_t* kChannelNames[] = {L"Channel0", L"Channel1", L"Channel2",
                                            L"Channel3", L"Channel4", L"Channel5"};
constexpr uint32_t kNamedChannels = static_cast<uint32_t>(std::size(kChannelNames));

} // namespace

std::vector<PredefinedValue> InputSourceValues(uint32_t sources) {
    std::vector<PredefinedValue> values;
    for (uint32_t channel = 0; channel < std::min(sources, kNamedChannels); ++channel)
        values.push_back({kChannelNames[channel], channel});
    return values;
}

std::vector<PredefinedValue> SyncSourceValues(uint32_t capability, uint32_t sources) {
    std::vector<PredefinedValue> values;
    if (capability & kSyncSpecificSource)
        for (uint32_t channel = 0; channel < std::min(sources, kNamedChannels); ++channel)
            values.push_back({kChannelNames[channel], channel * 65536 + kSyncSpecificSource});
    if (capability & kSyncCurrentSource) values.push_back({L"CurrentSource", kSyncCurrentSource});
    if (capability & kSyncExternalLine) values.push_back({L"ExternalLine", kSyncExternalLine});
    return values;
}

std::vector<PredefinedValue> ThresholdValues(std::span<const int32_t> thresholds) {
    std::vector<PredefinedValue> values;
    for (const int32_t threshold : thresholds)
        values.push_back({std::to_wstring(threshold), static_cast<uint32_t>(threshold)});
    return values;
}

} // namespace core
