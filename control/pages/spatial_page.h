// The Spatial page's template and control ids.
#pragma once

#define SPATIAL_PAGE 112 // template and title
#define SPATIAL_PAGE_CX 351
#define SPATIAL_PAGE_CY 272
