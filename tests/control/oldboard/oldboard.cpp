// oldboard.drv: a board driver of an old release (version 2.10) for the control's driver
// version check. It opens any board named "OLD<model code>" and answers the device
// capability query with that model code; every other message fails. Test code only.
#include "records.h"
#include "stapi.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstdlib>
#include <cstring>

using namespace imaging;

namespace {

constexpr char kBoardPrefix[] = "OLD";
constexpr LRESULT kSessionId = 0x5E55;

// The model code of the board the open block names; 0 for a name this driver does not serve.
uint32_t ModelOf(LPARAM openParam) {
    const auto* block = reinterpret_cast<const DeviceOpenBlock*>(openParam);
    if (!block || block->StructSize != sizeof(DeviceOpenBlock)) return 0;
    if (strncmp(block->BoardName, kBoardPrefix, strlen(kBoardPrefix)) != 0) return 0;
    return static_cast<uint32_t>(strtoul(block->BoardName + strlen(kBoardPrefix), nullptr, 10));
}

LRESULT QueryDeviceCaps(DWORD_PTR model, LPARAM key, LPARAM param2) {
    auto* answer = reinterpret_cast<OutputDescriptor*>(param2);
    if (key != STC_IMG_DC_DEVICE_ID || !answer || !answer->Buffer || answer->BufferSize < 4)
        return 0;
    const uint32_t code = static_cast<uint32_t>(model);
    memcpy(answer->Buffer, &code, sizeof(code));
    answer->BytesWritten = sizeof(code);
    return STC_RV_SUCCESS;
}

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    DriverProc(DWORD_PTR id, HDRVR driver, UINT message, LPARAM param1, LPARAM param2) {
    switch (message) {
    case DRV_LOAD:
    case DRV_ENABLE:
    case DRV_DISABLE:
    case DRV_FREE:
    case DRV_CLOSE: return 1;
    // The platform opens a module once without a parameter before the caller's open; the
    // driver id of a board open is its model code.
    case DRV_OPEN: return param2 == 0 ? kSessionId : static_cast<LRESULT>(ModelOf(param2));
    case msg::STM_QUERY_DEVICE_CAPS: return QueryDeviceCaps(id, param1, param2);
    default:
        if (message >= DRV_USER) return 0;
        return DefDriverProc(id, driver, message, param1, param2);
    }
}
