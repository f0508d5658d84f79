#include "class_objects.h"

#include "corvid.h"
#include "page_table.h"

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

// A property page: its two ProgIDs, and its class key replaced as a whole on registration.
#define PAGE_PROGIDS(Name, Clsid, Description)                                                    \
    {L"Corvid." Name L".1", nullptr, Description},                                               \
    {L"Corvid." Name L".1\\CLSID", nullptr, Clsid},                                               \
    {L"Corvid." Name, nullptr, Description},                                                     \
    {L"Corvid." Name L"\\CurVer", nullptr, L"Corvid." Name L".1"}
#define PAGE_CLASS_KEY(Clsid, Description, Threading)                                             \
    {L"CLSID\\" Clsid, nullptr, Description, true},                                              \
    {L"CLSID\\" Clsid L"\\InprocServer32", nullptr, L"%MODULE%"},                                \
    {L"CLSID\\" Clsid L"\\InprocServer32", L"ThreadingModel", Threading}
#define PAGE_ENTRIES(Name, Clsid, Description, Threading)                                         \
    PAGE_PROGIDS(Name, Clsid, Description), PAGE_CLASS_KEY(Clsid, Description, Threading)

#define GENERAL_CLSID L"{A92DE352-EFE4-11D1-BF0C-0020AF152C2E}"
#define SPATIAL_CLSID L"{413563F2-3064-11D2-BF49-0020AF152C2E}"
#define SYNC_CLSID L"{92EB95D2-31E9-11D2-BF4C-0020AF152C2E}"
#define TRIGGER_CLSID L"{92EB95D3-31E9-11D2-BF4C-0020AF152C2E}"
#define INPUT_CLSID L"{92EB95D4-31E9-11D2-BF4C-0020AF152C2E}"
#define DISPLAY_CLSID L"{92EB95D5-31E9-11D2-BF4C-0020AF152C2E}"
#define COLOR_CLSID L"{5B5DF6D3-5C5D-11D2-BF5D-0020AF152C2E}"
#define DIGIO_CLSID L"{925EA932-6CDF-11D2-AE40-0020AF155615}"
#define DIGCAM_CLSID L"{C2191964-7D59-11D2-AE47-0020AF155615}"
#define LINESCAN_CLSID L"{63684D72-7D98-11D2-AE47-0020AF155615}"

constexpr RegistryEntry kGeneralPageEntries[] = {
    PAGE_ENTRIES(L"GeneralPage", GENERAL_CLSID, L"Quillon (TM) General Property Page", L"both")};
constexpr RegistryEntry kSpatialPageEntries[] = {
    PAGE_ENTRIES(L"SpatialPage", SPATIAL_CLSID, L"Quillon (TM) Spatial Property Page", L"Apartment")};
constexpr RegistryEntry kSyncPageEntries[] = {
    PAGE_ENTRIES(L"SyncPage", SYNC_CLSID, L"Quillon (TM) Sync Property Page", L"Apartment")};
constexpr RegistryEntry kTriggerPageEntries[] = {
    PAGE_ENTRIES(L"TriggerPage", TRIGGER_CLSID, L"Quillon (TM) Trigger Property Page", L"Apartment")};
constexpr RegistryEntry kInputPageEntries[] = {
    PAGE_ENTRIES(L"InputPage", INPUT_CLSID, L"Quillon (TM) Input Property Page", L"Apartment")};
constexpr RegistryEntry kDisplayPageEntries[] = {
    PAGE_ENTRIES(L"DisplayPage", DISPLAY_CLSID, L"Quillon (TM) Display Property Page", L"Apartment")};
constexpr RegistryEntry kColorPageEntries[] = {
    PAGE_ENTRIES(L"ColorPage", COLOR_CLSID, L"Quillon (TM) Color Property Page", L"Apartment")};
constexpr RegistryEntry kDigIOPageEntries[] = {
    PAGE_ENTRIES(L"DigIOPage", DIGIO_CLSID, L"Quillon (TM) Digital I/O Property Page", L"Apartment")};
// These two carry the class identifier under their version-independent ProgID as well.
constexpr RegistryEntry kDigCamPageEntries[] = {
    PAGE_PROGIDS(L"DigCamPage", DIGCAM_CLSID, L"Quillon (TM) Digital Camera Property Page"),
    {L"Corvid.DigCamPage\\CLSID", nullptr, DIGCAM_CLSID},
    PAGE_CLASS_KEY(DIGCAM_CLSID, L"Quillon (TM) Digital Camera Property Page", L"Apartment")};
constexpr RegistryEntry kLineScanPageEntries[] = {
    PAGE_PROGIDS(L"LineScanPage", LINESCAN_CLSID, L"Quillon (TM) Line Scan Property Page"),
    {L"Corvid.LineScanPage\\CLSID", nullptr, LINESCAN_CLSID},
    PAGE_CLASS_KEY(LINESCAN_CLSID, L"Quillon (TM) Line Scan Property Page", L"Apartment")};

template <const CLSID* Clsid> constexpr com::InstanceCreator kPage = &pages::CreatePageOf<Clsid>;

const ClassObject kClassObjects[] = {
    {&CLSID_Corvid, &core::CCorvid::Create, kCorvidEntries},
    {&CLSID_GeneralPage, kPage<&CLSID_GeneralPage>, kGeneralPageEntries},
    {&CLSID_SpatialPage, kPage<&CLSID_SpatialPage>, kSpatialPageEntries},
    {&CLSID_SyncPage, kPage<&CLSID_SyncPage>, kSyncPageEntries},
    {&CLSID_TriggerPage, kPage<&CLSID_TriggerPage>, kTriggerPageEntries},
    {&CLSID_InputPage, kPage<&CLSID_InputPage>, kInputPageEntries},
    {&CLSID_DisplayPage, kPage<&CLSID_DisplayPage>, kDisplayPageEntries},
    {&CLSID_ColorPage, kPage<&CLSID_ColorPage>, kColorPageEntries},
    {&CLSID_DigIOPage, kPage<&CLSID_DigIOPage>, kDigIOPageEntries},
    {&CLSID_DigCamPage, kPage<&CLSID_DigCamPage>, kDigCamPageEntries},
    {&CLSID_LineScanPage, kPage<&CLSID_LineScanPage>, kLineScanPageEntries},
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
