#include "module.h"

#include <vector>

namespace com {
namespace {

HMODULE g_module = nullptr;
LONG g_locks = 0;

HMODULE ModuleOfThisCode() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ModuleOfThisCode), &module);
    return module;
}

} // namespace

HMODULE ModuleHandle() {
    if (!g_module) g_module = ModuleOfThisCode();
    return g_module;
}

void SetModuleHandle(HMODULE module) {
    g_module = module;
}

std::wstring ModulePath() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(ModuleHandle(), path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) return std::wstring(path.data(), length);
        path.resize(path.size() * 2);
    }
}

void ModuleLock() {
    InterlockedIncrement(&g_locks);
}
void ModuleUnlock() {
    InterlockedDecrement(&g_locks);
}
LONG ModuleLockCount() {
    return InterlockedCompareExchange(&g_locks, 0, 0);
}

// Built when the library loads, before any caller can ask for it, and gone when it unloads:
// a first-use guard would take the runtime's own lock and thread-local slot, which an
// unload never gives back.
CriticalSection moduleSection;

CriticalSection& ModuleSection() {
    return moduleSection;
}

} // namespace com
