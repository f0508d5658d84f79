// The four entry points through which the platform loads, asks and registers the library.
#include "class_objects.h"
#include "corvid.h"
#include "dispatch.h"
#include "display_page.h"
#include "module.h"
#include "registration.h"
#include "runtime_unload.h"
#include "status.h"

#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        com::SetModuleHandle(instance);
        // The status texts are in this library's string table.
        imaging::SetMessageModule(instance);
        DisableThreadLibraryCalls(instance);
        break;
    case DLL_PROCESS_DETACH:
        // On FreeLibrary (not at process exit) the window classes must go with the code, and
        // the type information and the runtime's reserve with the library.
        if (!reserved) {
            core::UnregisterWindowClass();
            pages::UnregisterDisplayWindowClass();
            com::ReleaseModuleCaches();
            ReleaseRuntimeReserves();
        }
        break;
    default: break;
    }
    return TRUE;
}

STDAPI DllCanUnloadNow() {
    return com::ModuleLockCount() == 0 ? S_OK : S_FALSE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    return server::GetClassFactory(clsid, iid, out);
}

STDAPI DllRegisterServer() {
    const std::wstring path = com::ModulePath();
    for (const server::ClassObject& entry : server::ClassObjects()) {
        const HRESULT hr = server::RegisterEntries(entry.registration, path);
        if (FAILED(hr)) return hr;
    }
    return server::RegisterTypeLibrary(path);
}

STDAPI DllUnregisterServer() {
    const std::wstring path = com::ModulePath();
    for (const server::ClassObject& entry : server::ClassObjects())
        server::UnregisterEntries(entry.registration);
    server::UnregisterTypeLibrary(path);
    return S_OK;
}
