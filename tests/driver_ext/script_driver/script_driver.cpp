// extscript.drv: answers driver messages as the test scripted them (see script_port.h).
// Unscripted messages go to DefDriverProc; STM_GET_LAST_STATUS answers the last status of the
// most recent scripted message.
#include "script_port.h"

#include "records.h"
#include "stapi.h"

#include <mmsystem.h>

#include <cstring>
#include <map>
#include <mutex>

namespace {

std::mutex lock;
std::map<uint32_t, ScriptAnswer> scripts;
std::map<uint32_t, uint32_t> counts;
uint32_t lastStatus = 0;

void WriteAnswer(const ScriptAnswer& script, LPARAM param2) {
    if (param2 == 0) return;
    if (script.Target == kScriptTargetDescriptor) {
        auto* descriptor = reinterpret_cast<imaging::OutputDescriptor*>(param2);
        const uint32_t room =
            descriptor->BufferSize > script.Offset ? descriptor->BufferSize - script.Offset : 0;
        const uint32_t bytes = script.ByteCount < room ? script.ByteCount : room;
        if (bytes != 0 && descriptor->Buffer != nullptr)
            std::memcpy(static_cast<uint8_t*>(descriptor->Buffer) + script.Offset, script.Bytes,
                        bytes);
        descriptor->BytesWritten = script.BytesWritten;
    } else if (script.ByteCount != 0) {
        std::memcpy(reinterpret_cast<uint8_t*>(param2) + script.Offset, script.Bytes,
                    script.ByteCount);
    }
}

LRESULT Answer(DWORD_PTR driverId, HDRVR driver, UINT message, LPARAM param1, LPARAM param2) {
    std::lock_guard<std::mutex> guard(lock);
    ++counts[message];
    if (message == imaging::msg::STM_GET_LAST_STATUS) {
        auto* descriptor = reinterpret_cast<imaging::OutputDescriptor*>(param2);
        if (descriptor == nullptr || descriptor->Buffer == nullptr || descriptor->BufferSize < 4)
            return 0;
        std::memcpy(descriptor->Buffer, &lastStatus, sizeof(lastStatus));
        descriptor->BytesWritten = sizeof(lastStatus);
        return 1;
    }
    const auto found = scripts.find(message);
    if (found == scripts.end()) return DefDriverProc(driverId, driver, message, param1, param2);
    WriteAnswer(found->second, param2);
    lastStatus = found->second.LastStatus;
    return found->second.Result;
}

} // namespace

extern "C" {

__declspec(dllexport) LRESULT WINAPI
    DriverProc(DWORD_PTR driverId, HDRVR driver, UINT message, LPARAM param1, LPARAM param2) {
    switch (message) {
    case DRV_LOAD:
    case DRV_FREE:
    case DRV_ENABLE:
    case DRV_DISABLE:
    case DRV_CLOSE: return 1;
    case DRV_OPEN: return 1; // one instance; any nonzero id
    default: return Answer(driverId, driver, message, param1, param2);
    }
}

__declspec(dllexport) void WINAPI ScriptSet(const ScriptAnswer* answer) {
    std::lock_guard<std::mutex> guard(lock);
    scripts[answer->Message] = *answer;
}

__declspec(dllexport) void WINAPI ScriptClear(void) {
    std::lock_guard<std::mutex> guard(lock);
    scripts.clear();
    counts.clear();
    lastStatus = 0;
}

__declspec(dllexport) uint32_t WINAPI ScriptCount(uint32_t message) {
    std::lock_guard<std::mutex> guard(lock);
    const auto found = counts.find(message);
    return found == counts.end() ? 0 : found->second;
}
}
