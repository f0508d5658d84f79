// The Digital I/O page's template and control ids.
#pragma once

#define DIGIO_PAGE 153 // template and title
#define DIGIO_PAGE_CX 311
#define DIGIO_PAGE_CY 272

#define IDC_DIGIO_CONFIG_GROUP 1701
#define IDC_DIGIO_CONFIG_LABEL 1702
#define IDC_DIGIO_CONFIG 1703
#define IDC_DIGIO_STATE_GROUP 1704
#define IDC_DIGIO_PATTERN_LABEL 1705
#define IDC_DIGIO_PATTERN 1706
#define IDC_DIGIO_REFRESH 1707
// Line n (0 to 7) has the ids base + n.
#define IDC_DIGIO_LINE 1710  // the line's number over its buttons
#define IDC_DIGIO_IN 1720    // "In" radio button
#define IDC_DIGIO_OUT 1730   // "Out" radio button
#define IDC_DIGIO_STATE 1740 // state check box
