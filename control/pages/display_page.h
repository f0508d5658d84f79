// The Display page's template and control ids.
#pragma once

#define DISPLAY_PAGE 132 // template and title
#define DISPLAY_PAGE_CX 346
#define DISPLAY_PAGE_CY 272
