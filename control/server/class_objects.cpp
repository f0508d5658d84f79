#include "class_objects.h"

#include "corvid.h"

#include <array>

namespace server {
namespace {

#define CORVID_CLSID L"{A92DE365-EFE4-11D1-BF0C-0020AF152C2E}"
#define CORVID_KEY L"CLSID\\" CORVID_CLSID

// The control. The version-independent ProgID carries the class identifier too, because
// CLSIDFromProgID reads only the ProgID's own CLSID subkey. CorvidLibCtl.Corvid is the
// name under which the operator program creates the control.
constexpr RegistryEntry kCorvidEntries[] = {
    {L"Corvid.Corvid.1", nullptr, L"Quillon (TM) Frame Grabber 2.0"},
    {L"Corvid.Corvid.1\\CLSID", nullptr, CORVID_CLSID},
    {L"Corvid.Corvid", nullptr, L"Quillon (TM) Frame Grabber"},
    {L"Corvid.Corvid\\CLSID", nullptr, CORVID_CLSID},
    {L"Corvid.Corvid\\CurVer", nullptr, L"Corvid.Corvid.1"},
    {L"CorvidLibCtl.Corvid", nullptr, L"Quillon (TM) Frame Grabber"},
    {L"CorvidLibCtl.Corvid\\CLSID", nullptr, CORVID_CLSID},
    {L"CorvidLibCtl.Corvid\\CurVer", nullptr, L"Corvid.Corvid.1"},
    {CORVID_KEY, nullptr, L"Quillon (TM) Frame Grabber"},
    {CORVID_KEY, L"AppID", L"{7C05F120-6799-11d2-BF61-0020AF152C2E}"},
    {CORVID_KEY L"\\ProgID", nullptr, L"Corvid.Corvid.1"},
    {CORVID_KEY L"\\VersionIndependentProgID", nullptr, L"Corvid.Corvid"},
    {CORVID_KEY L"\\Programmable"},
    {CORVID_KEY L"\\InprocServer32", nullptr, L"%MODULE%"},
    {CORVID_KEY L"\\InprocServer32", L"ThreadingModel", L"apartment"},
    {CORVID_KEY L"\\Control"},
    {CORVID_KEY L"\\Insertable"},
    {CORVID_KEY L"\\ToolboxBitmap32", nullptr, L"%MODULE%, 1"},
    {CORVID_KEY L"\\MiscStatus", nullptr, L"0"},
    {CORVID_KEY L"\\MiscStatus\\1", nullptr, L"131473"},
    {CORVID_KEY L"\\TypeLib", nullptr, L"{A92DE354-EFE4-11D1-BF0C-0020AF152C2E}"},
    {CORVID_KEY L"\\Version", nullptr, L"1.0"},
    {CORVID_KEY L"\\Verb"},
    {CORVID_KEY L"\\Verb\\0", nullptr, L"&Properties, 0, 2"},
};

// The property pages join this table as they are built.
const ClassObject kClassObjects[] = {
    {&CLSID_Corvid, &core::CCorvid::Create, kCorvidEntries},
};

std::array<com::ComPtr<IClassFactory>, std::size(kClassObjects)> g_factories;

} // namespace

std::span<const ClassObject> ClassObjects() {
    return kClassObjects;
}

HRESULT GetClassFactory(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (size_t i = 0; i < std::size(kClassObjects); ++i) {
        if (*kClassObjects[i].clsid != clsid) continue;
        com::ComPtr<IClassFactory> factory;
        {
            com::Lock lock(com::ModuleSection());
            if (!g_factories[i]) {
                com::ComPtr<com::ClassFactory> created;
                const HRESULT hr = com::Make(created, kClassObjects[i].create);
                if (FAILED(hr)) return hr;
                g_factories[i] = created;
            }
            factory = g_factories[i];
        }
        return factory->QueryInterface(iid, out);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

} // namespace server
