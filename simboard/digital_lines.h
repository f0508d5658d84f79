// Extension digital I/O lines of a board: which lines drive and which listen, what the
// inputs see, and what a test put on them (test port).
//
// Input lines see what a test put on them. Until a test does, a loopback plug connects the
// k-th output line to the k-th input line, so a board with both reads back what it drives.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "board.h"

namespace kvboard {

// The board's port state; guarded by the board lock.
struct DigitalPortState : UnitState {
    bool initialized = false;
    uint32_t config = 0; // configurable ports: bit set = output
    uint32_t latch = 0;  // the pattern last written; only output lines drive it

    // The state for a board whose model has a port (first use takes the model's defaults).
    static DigitalPortState& Of(Board& board);
};

uint32_t OutputLines(const DigitalPortSpec& port, uint32_t config);
uint32_t InputLines(const DigitalPortSpec& port, uint32_t config);

// The pattern the host reads: output lines show what they drive, input lines what they see.
uint32_t ReadLines(const Board& board, uint32_t config, uint32_t latch);

// The pattern a test put on a board's input lines (by board name); nullopt: none, the
// loopback applies. Clearing with a null name clears every board.
void SetExternalInputs(const char* board, std::optional<uint32_t> pattern);
std::optional<uint32_t> ExternalInputs(const std::string& board);

} // namespace kvboard
