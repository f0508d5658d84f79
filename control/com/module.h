// The library module: its handle and file path, and the lock count that decides whether the
// platform may unload it (live objects and locked class factories hold it).
#pragma once

#include "raii.h"

#include <windows.h>

#include <string>

namespace com {

// The module whose code this is (the control library, or a test program that links the
// toolkit). DllMain records it; without that it is found from the code's own address.
HMODULE ModuleHandle();
void SetModuleHandle(HMODULE module);
std::wstring ModulePath();

void ModuleLock();
void ModuleUnlock();
LONG ModuleLockCount();

// Serialises the module's one-time initialisations (cached class factories, type library).
CriticalSection& ModuleSection();

} // namespace com
