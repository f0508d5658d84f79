#include "digital_lines.h"
#include "sync.h"

#include <map>
#include <mutex>

#include <windows.h>

namespace kvboard {

namespace {

// Spreads the low bits of `bits` over the set bits of `mask`, lowest first.
uint32_t Deposit(uint32_t bits, uint32_t mask) {
    uint32_t out = 0;
    for (uint32_t m = mask; m != 0; m &= m - 1, bits >>= 1)
        if (bits & 1) out |= m & ~(m - 1);
    return out;
}

// Gathers the bits of `value` at the set bits of `mask` into the low bits, lowest first.
uint32_t Extract(uint32_t value, uint32_t mask) {
    uint32_t out = 0, bit = 1;
    for (uint32_t m = mask; m != 0; m &= m - 1, bit <<= 1)
        if (value & m & ~(m - 1)) out |= bit;
    return out;
}

std::string Key(const char* name) {
    std::string key = name;
    CharUpperBuffA(key.data(), static_cast<DWORD>(key.size()));
    return key;
}

struct Wiring {
    Mutex mutex;
    std::map<std::string, uint32_t> inputs; // by upper-case board name
};

Wiring gWiring; // built at load, like every state of the driver

Wiring& TheWiring() {
    return gWiring;
}

} // namespace

DigitalPortState& DigitalPortState::Of(Board& board) {
    DigitalPortState& state = board.Unit<DigitalPortState>();
    if (!state.initialized) {
        const DigitalPortSpec* port = board.model().digitalPort;
        state.config = port != nullptr && port->configurable ? port->defaultConfig : 0;
        state.initialized = true;
    }
    return state;
}

uint32_t OutputLines(const DigitalPortSpec& port, uint32_t config) {
    return port.configurable ? port.lines & config : port.outputs;
}

uint32_t InputLines(const DigitalPortSpec& port, uint32_t config) {
    return port.configurable ? port.lines & ~config : port.inputs;
}

uint32_t ReadLines(const Board& board, uint32_t config, uint32_t latch) {
    const DigitalPortSpec* port = board.model().digitalPort;
    if (port == nullptr) return 0;
    const uint32_t outputs = OutputLines(*port, config);
    const uint32_t inputs = InputLines(*port, config);
    const uint32_t driven = latch & outputs;
    const std::optional<uint32_t> external = ExternalInputs(board.settings().name);
    const uint32_t seen = external ? *external : Deposit(Extract(driven, outputs), inputs);
    return driven | (seen & inputs);
}

void SetExternalInputs(const char* board, std::optional<uint32_t> pattern) {
    Wiring& w = TheWiring();
    std::lock_guard lock(w.mutex);
    if (board == nullptr) {
        if (!pattern) w.inputs.clear();
        return;
    }
    if (pattern)
        w.inputs[Key(board)] = *pattern;
    else
        w.inputs.erase(Key(board));
}

std::optional<uint32_t> ExternalInputs(const std::string& board) {
    Wiring& w = TheWiring();
    std::lock_guard lock(w.mutex);
    const auto it = w.inputs.find(Key(board.c_str()));
    if (it == w.inputs.end()) return std::nullopt;
    return it->second;
}

} // namespace kvboard
