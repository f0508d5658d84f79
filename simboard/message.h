// What every message handler of the simulated board works with: the call it answers, its
// result, the answer descriptor, input blocks, and the handler tables units register.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>

#include <windows.h>

#include "records.h"
#include "stapi.h"

namespace kvboard {

class Board;
class Instance;

// Message families. The standard messages reach every board; an extension family's codes
// reach only boards whose model owns the family (the same code means different things in
// different families).
enum class Family : uint8_t { Standard, Camera, Color, LineScan, Lib7400 };

using FamilySet = uint32_t;
constexpr FamilySet FamilyBit(Family f) {
    return 1u << static_cast<unsigned>(f);
}
constexpr FamilySet operator|(Family a, Family b) {
    return FamilyBit(a) | FamilyBit(b);
}

// What DriverProc answers and the last status it leaves for the handle.
struct Result {
    LRESULT answer;
    uint32_t status;         // driver form; 0 after success
    bool notHandled = false; // the board lacks the feature: DefDriverProc answers instead
};
inline Result Ok() {
    return {imaging::STC_RV_SUCCESS, 0};
}
inline Result Fail(uint32_t status) {
    return {0, status};
}
// For a standard message that this board's model does not offer: the message goes to
// DefDriverProc and leaves STS_NONSTMSG, as a message the driver does not know.
inline Result NotHandled() {
    return {0, imaging::drv::STS_NONSTMSG, true};
}

// One message as a handler sees it. The board is the one the handle was opened on.
struct Call {
    Instance& instance;
    Board& board;
    UINT message;
    LPARAM param1;
    LPARAM param2;
};

using HandlerFn = Result (*)(Call&);

// Whether the dispatcher holds the board lock while the handler runs. Handlers that wait
// (for a frame time, a job, a worker) take Locking::Self and lock only around state access,
// so that other threads can stop or poll them meanwhile.
enum class Locking : uint8_t { Board, Self };

struct MessageHandler {
    Family family;
    UINT code;
    HandlerFn handle;
    Locking locking = Locking::Board;
};

// The answer descriptor a caller passes (as lParam) wherever the driver returns data.
// Nothing is ever written beyond BufferSize; BytesWritten tells how much was.
class Output {
public:
    explicit Output(LPARAM param) : d_(reinterpret_cast<imaging::OutputDescriptor*>(param)) {}

    // 0 when an answer of `size` bytes fits; else STS_NULL, STS_STRUCTSIZ or STS_BUFSIZ.
    uint32_t Check(size_t size) const;
    // Checks, copies and sets BytesWritten.
    Result Write(const void* data, size_t size);
    template <class T> Result Put(const T& value) { return Write(&value, sizeof value); }
    // For answers written in place: the caller's buffer once an answer of `size` bytes fits
    // (BytesWritten then says `size`), else nullptr with `status` set as Write would.
    uint8_t* Claim(size_t size, uint32_t& status);
    // For messages whose answer is optional: no descriptor or no buffer is no answer.
    bool Present() const { return d_ != nullptr && d_->Buffer != nullptr; }

private:
    imaging::OutputDescriptor* d_;
};

// Copies the caller's input block (so that it cannot change under the handler).
template <class T> bool ReadBlock(LPARAM param, T& block) {
    if (param == 0) return false;
    std::memcpy(&block, reinterpret_cast<const void*>(param), sizeof block);
    return true;
}

// ---- Input blocks by message -------------------------------------------------------------
// Which parameter of a message carries an input block and how long it is. The test port
// copies these bytes into its trace.

enum class BlockParam : uint8_t { Param1, Param2 };
enum class BlockSize : uint8_t {
    Fixed,       // `bytes`
    LutEntries,  // LUT block in lParam1: EntryCount x kLutEntryBytes
    CountedList, // (first word + 1) x 4
    Param1Words, // lParam1 x 4
    // A ColorOperationBlock in lParam1, followed in the trace by the parameter code it points
    // to and the 32-bit value at lParam2, both as received.
    ColorOperation,
};

struct InputBlockSpec {
    Family family;
    UINT code;
    BlockParam param;
    BlockSize size;
    uint32_t bytes;
};

// Width of one input lookup table entry as it crosses the protocol.
constexpr uint32_t kLutEntryBytes = 4;

struct InputBlock {
    const void* address = nullptr;
    size_t size = 0;
    // Words the block refers to, which the trace keeps after the block's bytes.
    uint32_t referenced[2] = {};
    size_t referencedCount = 0;
};

// The input block of a message for a board with the given families (none: address null).
InputBlock FindInputBlock(FamilySet families, UINT code, LPARAM param1, LPARAM param2);

} // namespace kvboard
