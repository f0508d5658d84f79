// The Digital Camera page's template and control ids.
#pragma once

#define DIGCAM_PAGE 156 // template and title
#define DIGCAM_PAGE_CX 326
#define DIGCAM_PAGE_CY 272
