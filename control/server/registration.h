// Self-registration from tables: each class lists the registry entries it writes below
// HKEY_CLASSES_ROOT; removal deletes those values and then each listed key that is left
// empty, so that nothing another program wrote is lost and the shared CLSID key stays.
#pragma once

#include <windows.h>

#include <span>
#include <string>

namespace server {

struct RegistryEntry {
    const wchar_t* key;            // below HKEY_CLASSES_ROOT; parents come before children
    const wchar_t* name = nullptr; // value name; null: the key's default value
    const wchar_t* data = nullptr; // null: the key alone; "%MODULE%" stands for the library path
    bool replace = false;          // delete the key's whole tree before writing it
};

HRESULT RegisterEntries(std::span<const RegistryEntry> entries, const std::wstring& modulePath);
HRESULT UnregisterEntries(std::span<const RegistryEntry> entries);

// The type library embedded in the library file (resource TYPELIB 1), or failing that the
// .tlb file beside it.
HRESULT RegisterTypeLibrary(const std::wstring& modulePath);
HRESULT UnregisterTypeLibrary(const std::wstring& modulePath);

} // namespace server
