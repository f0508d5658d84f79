// The Trigger page's template and control ids.
#pragma once

#define TRIGGER_PAGE 122 // template and title
#define TRIGGER_PAGE_CX 345
#define TRIGGER_PAGE_CY 272
