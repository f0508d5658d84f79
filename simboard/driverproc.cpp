// The driver entry: DriverProc, the DRV_* messages and the dispatch of every message of an
// open handle to the handler a unit registered for it (units.h).
#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <string>

#include <windows.h>
#include <mmsystem.h>

#include "board.h"
#include "registration.h"
#include "runtime_unload.h"
#include "trace.h"
#include "units.h"

namespace kvboard {

using namespace imaging;

namespace {

// ---- Dispatch table ----------------------------------------------------------------------

class DispatchTable {
public:
    DispatchTable() {
        for (UnitTable unit : kUnits)
            for (const MessageHandler& h : unit()) {
                const bool added = handlers_.emplace(Key(h.family, h.code), &h).second;
                if (!added) OutputDebugStringA("kvboard: a message has two handlers\n");
            }
    }

    // The handler of a message for a board whose model owns `families`, or null.
    const MessageHandler* Find(FamilySet families, UINT code) const {
        families |= FamilyBit(Family::Standard);
        for (unsigned f = 0; f < 32; ++f) {
            if (!(families & (1u << f))) continue;
            const auto it = handlers_.find(Key(static_cast<Family>(f), code));
            if (it != handlers_.end()) return it->second;
        }
        return nullptr;
    }

private:
    static uint64_t Key(Family family, UINT code) {
        return (uint64_t{static_cast<uint8_t>(family)} << 32) | code;
    }
    std::map<uint64_t, const MessageHandler*> handlers_;
};

// Built at load from the units' constant tables.
const DispatchTable gDispatch;

const DispatchTable& Dispatch() {
    return gDispatch;
}

Result Run(const MessageHandler& handler, Call& call) {
    if (handler.locking == Locking::Self) return handler.handle(call);
    auto lock = call.board.Lock();
    return handler.handle(call);
}

// ---- DRV_OPEN ----------------------------------------------------------------------------

constexpr size_t kMaxOpenText = 512;

bool EqualsIgnoringCase(const std::string& a, const char* b) {
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b, -1) == CSTR_EQUAL;
}

// The board an open parameter names: "driver!board" (8-bit text) for this driver, or a
// DeviceOpenBlock. The block's first byte is its StructSize (28), which no name starts with.
std::optional<std::string> RequestedBoard(LPARAM param) {
    if (param == 0) return std::nullopt;
    const auto* text = reinterpret_cast<const char*>(param);
    if (static_cast<unsigned char>(text[0]) == sizeof(DeviceOpenBlock)) {
        DeviceOpenBlock block{};
        std::memcpy(&block, text, sizeof block);
        if (block.StructSize != sizeof(DeviceOpenBlock)) return std::nullopt;
        const size_t length = strnlen(block.BoardName, kOpenBlockNameChars);
        if (length == 0 || length == kOpenBlockNameChars) return std::nullopt;
        return std::string(block.BoardName, length);
    }
    const size_t length = strnlen(text, kMaxOpenText);
    if (length == kMaxOpenText) return std::nullopt;
    const std::string whole(text, length);
    const size_t bang = whole.find('!');
    if (bang == std::string::npos || !EqualsIgnoringCase(whole.substr(0, bang), kDriverName))
        return std::nullopt;
    return whole.substr(bang + 1);
}

// DRV_OPEN without a parameter opens no board: the system's first, per-process open of an
// installable driver has no parameter and must succeed. That handle answers no board
// message.
constexpr DWORD_PTR kSessionId = ~DWORD_PTR{0};

LRESULT Open(LPARAM param) {
    if (param == 0) return static_cast<LRESULT>(kSessionId);
    const std::optional<std::string> board = RequestedBoard(param);
    if (!board) return 0;
    std::optional<BoardSettings> settings = ReadBoardSettings(*board);
    if (!settings) return 0;
    return static_cast<LRESULT>(OpenInstance(std::move(*settings)));
}

// ---- Messages ----------------------------------------------------------------------------

struct Answered {
    LRESULT answer;
    uint32_t status;
};

Answered HandleMessage(DWORD_PTR id, HDRVR driver, UINT message, LPARAM p1, LPARAM p2,
                       Instance* instance) {
    if (const std::optional<Result> scripted = TakeScriptedFailure(message)) {
        if (instance) instance->setLastStatus(scripted->status);
        return {scripted->answer, scripted->status};
    }
    // The driver messages leave the handle's last status as it was.
    const uint32_t kept = instance ? instance->lastStatus() : 0;
    switch (message) {
    case DRV_LOAD:
    case DRV_ENABLE:
    case DRV_DISABLE: return {1, kept};
    case DRV_FREE:
        // The last handle is gone and the driver is about to be unloaded: no worker of any
        // unit may outlive this point.
        CloseAllInstances(StopMode::Wait);
        return {1, kept};
    case DRV_OPEN: return {Open(p2), 0};
    case DRV_CLOSE: return {id == kSessionId || CloseInstance(id) ? 1 : 0, kept};
    case DRV_QUERYCONFIGURE: return {0, kept};
    default: break;
    }
    if (instance == nullptr) return {DefDriverProc(id, driver, message, p1, p2), 0};

    Board& board = instance->board();
    const MessageHandler* handler = Dispatch().Find(board.model().families, message);
    Result result = NotHandled();
    if (handler != nullptr) {
        Call call{*instance, board, message, p1, p2};
        result = Run(*handler, call);
    }
    if (result.notHandled) result.answer = DefDriverProc(id, driver, message, p1, p2);
    instance->setLastStatus(result.status);
    return {result.answer, result.status};
}

} // namespace

} // namespace kvboard

extern "C" LRESULT CALLBACK DriverProc(DWORD_PTR id, HDRVR driver, UINT message, LPARAM p1,
                                       LPARAM p2) {
    using namespace kvboard;
    // DRV_OPEN has no driver id yet; every later message carries the id DRV_OPEN answered.
    const std::shared_ptr<Instance> instance = message == DRV_OPEN ? nullptr : FindInstance(id);
    const bool tracing = TraceOn();
    KvTraceRecord record{};
    if (tracing) {
        record.Message = message;
        record.Param1 = static_cast<uint64_t>(p1);
        record.Param2 = static_cast<uint64_t>(p2);
        record.ThreadId = GetCurrentThreadId();
        if (instance) {
            const InputBlock block =
                FindInputBlock(instance->board().model().families, message, p1, p2);
            record.BlockSize = static_cast<uint32_t>(std::min(block.size, kKvTraceBlockBytes));
            if (record.BlockSize != 0) std::memcpy(record.Block, block.address, record.BlockSize);
            const size_t referencedBytes = block.referencedCount * sizeof(uint32_t);
            if (record.BlockSize != 0 && record.BlockSize + referencedBytes <= kKvTraceBlockBytes) {
                std::memcpy(record.Block + record.BlockSize, block.referenced, referencedBytes);
                record.BlockSize += static_cast<uint32_t>(referencedBytes);
            }
        }
    }
    const Answered answered = HandleMessage(id, driver, message, p1, p2, instance.get());
    if (tracing) {
        record.Result = answered.answer;
        record.DriverStatus = answered.status;
        TraceAppend(record);
    }
    return answered.answer;
}

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH: DisableThreadLibraryCalls(module); break;
    case DLL_PROCESS_DETACH:
        // Normally DRV_CLOSE and DRV_FREE have stopped everything. Left-over workers can only
        // be told to end here: the loader lock is held, so nobody may wait for them.
        kvboard::CloseAllInstances(kvboard::StopMode::Signal);
        // Unloaded while the process goes on (the last CloseDriver): give the runtime's
        // reserve back, or every open and close of a board would leave it behind.
        if (!reserved) ReleaseRuntimeReserves();
        break;
    default: break;
    }
    return TRUE;
}
