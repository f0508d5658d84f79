#include "page_table.h"

#include "corvid_h.h"
#include "digcam_page.h"
#include "digio_page.h"
#include "color_page.h"
#include "display_page.h"
#include "general_page.h"
#include "input_page.h"
#include "linescan_page.h"
#include "spatial_page.h"
#include "sync_page.h"
#include "trigger_page.h"

namespace pages {

std::unique_ptr<PageForm> MakeGeneralForm();
std::unique_ptr<PageForm> MakeSpatialForm();
std::unique_ptr<PageForm> MakeSyncForm();
std::unique_ptr<PageForm> MakeTriggerForm();
std::unique_ptr<PageForm> MakeInputForm();
std::unique_ptr<PageForm> MakeDisplayForm();
std::unique_ptr<PageForm> MakeColorForm();
std::unique_ptr<PageForm> MakeDigIOForm();
std::unique_ptr<PageForm> MakeDigCamForm();
std::unique_ptr<PageForm> MakeLineScanForm();

namespace {

const PageClass kPages[] = {
    {&CLSID_GeneralPage, L"GeneralPage", GENERAL_PAGE, {GENERAL_PAGE_CX, GENERAL_PAGE_CY}, &MakeGeneralForm},
    {&CLSID_SpatialPage, L"SpatialPage", SPATIAL_PAGE, {SPATIAL_PAGE_CX, SPATIAL_PAGE_CY}, &MakeSpatialForm},
    {&CLSID_SyncPage, L"SyncPage", SYNC_PAGE, {SYNC_PAGE_CX, SYNC_PAGE_CY}, &MakeSyncForm},
    {&CLSID_TriggerPage, L"TriggerPage", TRIGGER_PAGE, {TRIGGER_PAGE_CX, TRIGGER_PAGE_CY}, &MakeTriggerForm},
    {&CLSID_InputPage, L"InputPage", INPUT_PAGE, {INPUT_PAGE_CX, INPUT_PAGE_CY}, &MakeInputForm},
    {&CLSID_DisplayPage, L"DisplayPage", DISPLAY_PAGE, {DISPLAY_PAGE_CX, DISPLAY_PAGE_CY}, &MakeDisplayForm},
    {&CLSID_ColorPage, L"ColorPage", COLOR_PAGE, {COLOR_PAGE_CX, COLOR_PAGE_CY}, &MakeColorForm},
    {&CLSID_DigIOPage, L"DigIOPage", DIGIO_PAGE, {DIGIO_PAGE_CX, DIGIO_PAGE_CY}, &MakeDigIOForm},
    {&CLSID_DigCamPage, L"DigCamPage", DIGCAM_PAGE, {DIGCAM_PAGE_CX, DIGCAM_PAGE_CY}, &MakeDigCamForm},
    {&CLSID_LineScanPage, L"LineScanPage", LINESCAN_PAGE, {LINESCAN_PAGE_CX, LINESCAN_PAGE_CY}, &MakeLineScanForm},
};

} // namespace

std::span<const PageClass> PageClasses() {
    return kPages;
}

} // namespace pages
