// Compiles the record layouts so their assertions hold on every target.
#include "records.h"
#include "stapi.h"
