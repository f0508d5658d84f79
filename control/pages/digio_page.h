// The Digital I/O page's template and control ids.
#pragma once

#define DIGIO_PAGE 153 // template and title
#define DIGIO_PAGE_CX 311
#define DIGIO_PAGE_CY 272
