// The Color page's template and control ids.
#pragma once

#define COLOR_PAGE 137 // template and title
#define COLOR_PAGE_CX 378
#define COLOR_PAGE_CY 272
