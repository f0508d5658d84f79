#include "kvtestdrv.h"

#include "stapi.h"

#include <mmsystem.h>

#include <cstring>
#include <algorithm>
#include <map>
#include <vector>

using namespace imaging;

namespace {

struct Failure {
    uint32_t message;
    uint32_t count;
    uint32_t driverStatus;
    int64_t result;
};

struct State {
    bool tracing = false;
    std::vector<KvTraceRecord> trace;
    std::vector<Failure> failures;
    std::map<uint32_t, std::vector<uint8_t>> answers;
    uint32_t lastStatus = 0;
    uint32_t statusAnswerSize = 4;
    OutputDescriptor lastDescriptor{};
    DeviceOpenBlock lastOpen{};
    uint32_t openCount = 0;
    KvTestDrvOpenHook openHook = nullptr;
};

State& state() {
    static State s;
    return s;
}

// Input block sizes of the messages whose lParam1 is an address.
uint32_t InputBlockSize(uint32_t message) {
    switch (message) {
    case msg::STM_SET_INPUT_CONTROL: return sizeof(InputControlWriteBlock);
    case msg::STM_GET_INPUT_CONTROL: return sizeof(InputControlReadBlock);
    case msg::STM_READ_INPUT_LUT:
    case msg::STM_WRITE_INPUT_LUT: return sizeof(LutBlock);
    case msg::STM_SELECT_BASED_SOURCE: return sizeof(BasedSourceBlock);
    case msg::STM_SET_TRIGGER: return sizeof(TriggerBlock);
    case msg::STM_SET_MULT_TRIGGER: return sizeof(MultTriggerBlock);
    default: return 0;
    }
}

bool CarriesDescriptor(uint32_t message) {
    return message != msg::STM_WRITE_INPUT_LUT && message != msg::STM_SELECT_BASED_SOURCE;
}

std::vector<uint8_t> DeviceCapability(LPARAM key) {
    uint32_t value = 0;
    switch (key) {
    case STC_IMG_DC_DEVICE_ID: value = kTestDrvDeviceId; break;
    case STC_IMG_DC_ST_DEVICE_TYPE: value = kTestDrvDeviceKind; break;
    case STC_IMG_DC_LINEAR_MEM_SIZE: value = kTestDrvLinearMem; break;
    case STC_IMG_DC_DEVICE_MEM_SIZE: value = kTestDrvDeviceMem; break;
    default: return {};
    }
    std::vector<uint8_t> bytes(sizeof(value));
    memcpy(bytes.data(), &value, sizeof(value));
    return bytes;
}

LRESULT Answer(uint32_t message, LPARAM param1, LPARAM param2) {
    State& s = state();
    KvTraceRecord record{};
    record.Message = message;
    record.Param1 = static_cast<uint64_t>(param1);
    record.Param2 = static_cast<uint64_t>(param2);
    record.ThreadId = GetCurrentThreadId();
    record.BlockSize = InputBlockSize(message);
    if (record.BlockSize && param1)
        memcpy(record.Block, reinterpret_cast<const void*>(param1), record.BlockSize);
    else
        record.BlockSize = 0;

    auto* descriptor =
        CarriesDescriptor(message) ? reinterpret_cast<OutputDescriptor*>(param2) : nullptr;
    s.lastDescriptor = descriptor ? *descriptor : OutputDescriptor{};

    LRESULT result = STC_RV_SUCCESS;
    uint32_t status = 0;
    auto failure = s.failures.begin();
    while (failure != s.failures.end() && failure->message != message)
        ++failure;
    if (failure != s.failures.end()) {
        result = static_cast<LRESULT>(failure->result);
        status = failure->driverStatus;
        if (--failure->count == 0) s.failures.erase(failure);
    } else if (descriptor && descriptor->StructSize == sizeof(OutputDescriptor)) {
        const std::vector<uint8_t> bytes =
            message == msg::STM_QUERY_DEVICE_CAPS ? DeviceCapability(param1) : s.answers[message];
        const uint32_t size = std::min<uint32_t>(descriptor->BufferSize, bytes.size());
        if (size && descriptor->Buffer) memcpy(descriptor->Buffer, bytes.data(), size);
        descriptor->BytesWritten = size;
    }
    s.lastStatus = status;
    record.Result = result;
    record.DriverStatus = status;
    if (s.tracing) s.trace.push_back(record);
    return result;
}

// Answers the last status without changing it.
LRESULT LastStatus(LPARAM param1, LPARAM param2) {
    State& s = state();
    auto* descriptor = reinterpret_cast<OutputDescriptor*>(param2);
    s.lastDescriptor = descriptor ? *descriptor : OutputDescriptor{};
    KvTraceRecord record{};
    record.Message = msg::STM_GET_LAST_STATUS;
    record.Param1 = static_cast<uint64_t>(param1);
    record.Param2 = static_cast<uint64_t>(param2);
    record.ThreadId = GetCurrentThreadId();
    record.DriverStatus = s.lastStatus;
    record.Result = 0;
    if (descriptor && descriptor->Buffer && descriptor->BufferSize >= sizeof(uint32_t)) {
        memcpy(descriptor->Buffer, &s.lastStatus, sizeof(uint32_t));
        descriptor->BytesWritten = s.statusAnswerSize;
        record.Result = STC_RV_SUCCESS;
    }
    if (s.tracing) s.trace.push_back(record);
    return static_cast<LRESULT>(record.Result);
}

// Driver ids of the two kinds of open.
constexpr LRESULT kSessionId = 0x5E55;
constexpr LRESULT kBoardId = 1;

LRESULT Open(LPARAM param2) {
    // The platform opens a module once without a parameter before the caller's open.
    if (param2 == 0) return kSessionId;
    const auto* block = reinterpret_cast<const DeviceOpenBlock*>(param2);
    if (block->StructSize != sizeof(DeviceOpenBlock)) return 0;
    State& s = state();
    s.lastOpen = *block;
    if (s.openHook) s.openHook(block->BoardName);
    if (strncmp(block->BoardName, kTestDrvRefusedPrefix, strlen(kTestDrvRefusedPrefix)) == 0)
        return 0;
    ++s.openCount;
    return kBoardId;
}

} // namespace

extern "C" {

__declspec(dllexport) LRESULT CALLBACK
    DriverProc(DWORD_PTR id, HDRVR driver, UINT message, LPARAM param1, LPARAM param2) {
    switch (message) {
    case DRV_LOAD:
    case DRV_ENABLE:
    case DRV_DISABLE:
    case DRV_FREE: return 1;
    case DRV_OPEN: return Open(param2);
    case DRV_CLOSE:
        if (id == static_cast<DWORD_PTR>(kBoardId) && state().openCount) --state().openCount;
        return 1;
    case msg::STM_GET_LAST_STATUS: {
        // Scripted failures apply to the status message too.
        for (const Failure& f : state().failures)
            if (f.message == message) return Answer(message, param1, param2);
        return LastStatus(param1, param2);
    }
    default:
        if (message >= DRV_USER) return Answer(message, param1, param2);
        return DefDriverProc(id, driver, message, param1, param2);
    }
}

__declspec(dllexport) void WINAPI KvTestTraceStart() {
    state().trace.clear();
    state().tracing = true;
}
__declspec(dllexport) void WINAPI KvTestTraceStop() {
    state().tracing = false;
}
__declspec(dllexport) uint32_t WINAPI KvTestTraceCount() {
    return static_cast<uint32_t>(state().trace.size());
}
__declspec(dllexport) BOOL WINAPI KvTestTraceGet(uint32_t index, KvTraceRecord* record) {
    if (index >= state().trace.size() || !record) return FALSE;
    *record = state().trace[index];
    return TRUE;
}
__declspec(dllexport) void WINAPI
    KvTestFailNext(uint32_t message, uint32_t count, uint32_t driverStatus, int64_t result) {
    if (count) state().failures.push_back({message, count, driverStatus, result});
}
__declspec(dllexport) void WINAPI KvTestClearFailures() {
    state().failures.clear();
    state().answers.clear();
    state().statusAnswerSize = 4;
    state().lastStatus = 0;
}
__declspec(dllexport) void WINAPI
    KvTestDrvSetAnswer(uint32_t message, const void* bytes, uint32_t size) {
    const auto* first = static_cast<const uint8_t*>(bytes);
    state().answers[message].assign(first, first + size);
}
__declspec(dllexport) void WINAPI KvTestDrvSetStatusAnswerSize(uint32_t size) {
    state().statusAnswerSize = size;
}
__declspec(dllexport) void WINAPI KvTestDrvLastDescriptor(OutputDescriptor* descriptor) {
    *descriptor = state().lastDescriptor;
}
__declspec(dllexport) void WINAPI KvTestDrvLastOpen(DeviceOpenBlock* block) {
    *block = state().lastOpen;
}
__declspec(dllexport) void WINAPI KvTestDrvSetOpenHook(KvTestDrvOpenHook hook) {
    state().openHook = hook;
}
__declspec(dllexport) uint32_t WINAPI KvTestDrvOpenCount() {
    return state().openCount;
}
}
