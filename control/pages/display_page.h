// The Display page's template and control ids.
#pragma once

#define DISPLAY_PAGE 132 // template and title
#define DISPLAY_PAGE_CX 346
#define DISPLAY_PAGE_CY 272

// The picture area in dialog units: the "KV_DISPLAY" window is created over it.
#define DISPLAY_PICTURE_X 7
#define DISPLAY_PICTURE_Y 7
#define DISPLAY_PICTURE_CX 200
#define DISPLAY_PICTURE_CY 150

#define IDC_DISPLAY_PICTURE 1500
#define IDC_DISPLAY_FRAME_GROUP 1501
#define IDC_DISPLAY_FRAME 1502
#define IDC_DISPLAY_HSCALE 1503
#define IDC_DISPLAY_VSCALE 1504
#define IDC_DISPLAY_PASSTHRU_GROUP 1505
#define IDC_DISPLAY_XORIGIN_LABEL 1506
#define IDC_DISPLAY_XORIGIN 1507
#define IDC_DISPLAY_YORIGIN_LABEL 1508
#define IDC_DISPLAY_YORIGIN 1509
#define IDC_DISPLAY_START 1510
#define IDC_DISPLAY_STOP 1511
#define IDC_DISPLAY_PLANES_GROUP 1512
#define IDC_DISPLAY_RED 1513
#define IDC_DISPLAY_GREEN 1514
#define IDC_DISPLAY_BLUE 1515
#define IDC_DISPLAY_OVERLAY_GROUP 1520
#define IDC_DISPLAY_SURFACE_COUNT_LABEL 1521
#define IDC_DISPLAY_SURFACE_COUNT 1522
#define IDC_DISPLAY_ALLOCATE 1523
#define IDC_DISPLAY_DESTROY 1524
#define IDC_DISPLAY_SURFACE_LABEL 1525
#define IDC_DISPLAY_SURFACE 1526
#define IDC_DISPLAY_TRANSLUCENT 1527
#define IDC_DISPLAY_COLOR_KEY 1528
#define IDC_DISPLAY_IMAGE_LABEL 1529
#define IDC_DISPLAY_IMAGE 1530
#define IDC_DISPLAY_BROWSE 1531
#define IDC_DISPLAY_PREVIEW 1532

#ifndef RC_INVOKED
namespace pages {
// The picture window's class is registered by the first Display page of the module; the
// library removes it when it is unloaded.
void UnregisterDisplayWindowClass();
} // namespace pages
#endif
