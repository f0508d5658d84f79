// The Color page's template and control ids.
#pragma once

#define COLOR_PAGE 137 // template and title
#define COLOR_PAGE_CX 378
#define COLOR_PAGE_CY 272

#define IDC_COLOR_RGB_GROUP 1601
#define IDC_COLOR_HSI_GROUP 1602
#define IDC_COLOR_OFFSET_LABEL 1603
#define IDC_COLOR_REFERENCE_LABEL 1604
#define IDC_COLOR_RED_LABEL 1605
#define IDC_COLOR_GREEN_LABEL 1606
#define IDC_COLOR_BLUE_LABEL 1607

// The sliders; each parameter's value shows under the slider's id + IDC_COLOR_VALUE and the
// "HSI" rows' names under the slider's id + IDC_COLOR_NAME.
#define IDC_COLOR_RED_OFFSET 1610
#define IDC_COLOR_GREEN_OFFSET 1611
#define IDC_COLOR_BLUE_OFFSET 1612
#define IDC_COLOR_RED_REFERENCE 1613
#define IDC_COLOR_GREEN_REFERENCE 1614
#define IDC_COLOR_BLUE_REFERENCE 1615
#define IDC_COLOR_HUE 1616
#define IDC_COLOR_BRIGHTNESS 1617
#define IDC_COLOR_V_SATURATION 1618
#define IDC_COLOR_U_SATURATION 1619
#define IDC_COLOR_CONTRAST 1620
#define IDC_COLOR_VALUE 20
#define IDC_COLOR_NAME 40
