// A tiny test-only installable driver (extscript.drv) that answers messages as a test scripts
// them, for answers a real board would not give: a success with the wrong byte count, an
// answer written by a message that then fails. Tests open it with OpenDriver and reach these
// exports with GetProcAddress on the loaded module.
#pragma once

#include <cstdint>

#include <windows.h>

extern "C" {

constexpr uint32_t kScriptTargetDescriptor = 0; // lParam2 is an answer descriptor
constexpr uint32_t kScriptTargetAddress = 1;    // lParam2 is the answer's address itself
constexpr size_t kScriptAnswerBytes = 32;

// How the driver answers every message with code Message until the scripts are cleared.
struct ScriptAnswer {
    uint32_t Message;
    int32_t Result;        // what DriverProc answers
    uint32_t LastStatus;   // the last status STM_GET_LAST_STATUS then reports (driver form)
    uint32_t Target;       // kScriptTarget...
    uint32_t Offset;       // where in the target the bytes go
    uint32_t ByteCount;    // bytes of Bytes to write (0 writes nothing)
    uint32_t BytesWritten; // what the descriptor's BytesWritten is set to
    uint8_t Bytes[kScriptAnswerBytes];
};

typedef void(WINAPI* ScriptSetFn)(const ScriptAnswer* answer);
typedef void(WINAPI* ScriptClearFn)(void);
// Messages with this code received since the last clear (STM_GET_LAST_STATUS included).
typedef uint32_t(WINAPI* ScriptCountFn)(uint32_t message);
}
