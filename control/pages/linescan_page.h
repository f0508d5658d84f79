// The Line Scan page's template and control ids.
#pragma once

#define LINESCAN_PAGE 161 // template and title
#define LINESCAN_PAGE_CX 324
#define LINESCAN_PAGE_CY 272
