// Count of the line-scan unit's live worker threads, for the test port.
#pragma once

#include <cstdint>

namespace kvboard {

uint32_t LineScanWorkers();

} // namespace kvboard
