// The Sync page's template and control ids.
#pragma once

#define SYNC_PAGE 117 // template and title
#define SYNC_PAGE_CX 366
#define SYNC_PAGE_CY 272
