// The Digital Camera page's template and control ids.
#pragma once

#define DIGCAM_PAGE 156 // template and title
#define DIGCAM_PAGE_CX 326
#define DIGCAM_PAGE_CY 272

#define IDC_DIGCAM_PULSE_GROUP 1801
#define IDC_DIGCAM_ENABLE 1802
#define IDC_DIGCAM_POLARITY_GROUP 1803
#define IDC_DIGCAM_ACTIVE_HIGH 1804 // polarity n has the id IDC_DIGCAM_ACTIVE_HIGH + n
#define IDC_DIGCAM_ACTIVE_LOW 1805
#define IDC_DIGCAM_DURATION_LABEL 1806
#define IDC_DIGCAM_DURATION 1807
#define IDC_DIGCAM_DURATION_UNIT 1808
#define IDC_DIGCAM_TYPE_GROUP 1810
#define IDC_DIGCAM_TYPE 1811 // camera type n (0 to 5) has the id IDC_DIGCAM_TYPE + n
#define IDC_DIGCAM_RESET 1820
