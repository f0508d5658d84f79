// The Input page's template and control ids.
#pragma once

#define INPUT_PAGE 127 // template and title
#define INPUT_PAGE_CX 377
#define INPUT_PAGE_CY 272
