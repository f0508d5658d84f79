// Imaging boards in the system's service configuration: scan, count, list, open and close.
//
// Every imaging driver is a service under HKLM\System\CurrentControlSet\Services whose key
// has a value "STIMG"; each subkey except "Enum" is a board, counted when its "Enable" value
// is nonzero. Nothing is cached: every call reads the registry afresh.
#pragma once

#include "status.h"

namespace imaging {

// Called for every enabled board, in scan order.
using ImagingBoardCallback = void (*)(const char* boardName, const char* driverName, void* context);

// Returns the number of enabled boards; 0 when the services cannot be read. Diagnostics go to
// the debugger output only.
uint32_t ScanImagingDrivers(ImagingBoardCallback callback, void* context);

STT_APISTATUS CountImagingDevices(uint32_t* count);

// Fills a list of ImagingDeviceInfo entries of 52 or 60 bytes, the size given by the first
// entry's StructSize; listSize is the list's size in bytes. Every board is opened once to ask
// its model, kind and memory sizes.
STT_APISTATUS GetImagingDeviceList(void* list, uint32_t listSize);

// Opens the driver of the first enabled board whose name matches ignoring case: the common
// board driver kvboard.drv first, else the board's own driver with a DeviceOpenBlock.
STT_APISTATUS OpenImagingDevice(const char* boardName, HDRVR* driver);

STT_APISTATUS CloseImagingDevice(HDRVR driver);

} // namespace imaging
