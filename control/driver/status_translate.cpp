// Translation of driver-form statuses into the API form.
#include "message_send.h"

namespace imaging {
namespace {

struct StatusPair {
    uint32_t driver;
    STT_APISTATUS api;
};

// The driver-status column of the status table. Not a plain flag change: driver codes
// 0x100-0x108 are API codes 0x004-0x00C, and 0x200-0x234 are 0x100-0x132 with the driver
// codes 0x201, 0x205 and 0x227 left out.
constexpr StatusPair kDriverStatuses[] = {
    {0x81000001, STC_STS_PENDING},
    {0x81000002, STC_STS_ACTIVE},
    {0x81000003, STC_STS_CANCELJOB},
    {0x82000001, STC_STS_CLIP},
    {0x82000002, STC_STS_NONSTMSG},
    {0x84000001, STC_STS_NOSHARE},
    {0x84000002, STC_STS_NOMEM},
    {0x84000003, STC_STS_NOMEMLOCK},
    {0x84000100, STC_STS_RANGE},
    {0x84000101, STC_STS_STRUCTSIZ},
    {0x84000102, STC_STS_NULL},
    {0x84000103, STC_STS_BUSY},
    {0x84000104, STC_STS_BUFSIZ},
    {0x84000105, STC_STS_UNSUPKEY},
    {0x84000106, STC_STS_NOASYNC},
    {0x84000107, STC_STS_TIMEOUT},
    {0x84000108, STC_STS_GRANULARITY},
    {0x84000014, STC_STS_SYSERROR},
    {0x84000015, STC_STS_FIFO_OVERFLOW},
    {0x84000016, STC_STS_FIELD_OVERFLOW},
    {0x84000200, STC_STS_UNSUPMEMTYPE},
    {0x84000202, STC_STS_FRAMENOTAVAILABLE},
    {0x84000203, STC_STS_INVALIDFRAMEID},
    {0x84000204, STC_STS_INVALIDFRAMEHANDLE},
    {0x84000206, STC_STS_INVALIDFRAMERECT},
    {0x84000207, STC_STS_FRAMENOTALLOCATED},
    {0x84000208, STC_STS_MAPERROR},
    {0x84000209, STC_STS_UNMAPERROR},
    {0x8400020A, STC_STS_FRAMEISMAPPED},
    {0x8400020B, STC_STS_FRAMENOTMAPPED},
    {0x8400020C, STC_STS_FRAMELIMITEXCEEDED},
    {0x8400020D, STC_STS_FRAMEWIDTH},
    {0x8400020E, STC_STS_CLAMP},
    {0x8400020F, STC_STS_VERTICALINC},
    {0x84000210, STC_STS_FIRSTACTPIX},
    {0x84000211, STC_STS_ACTPIXCOUNT},
    {0x84000212, STC_STS_FRAMELEFT},
    {0x84000213, STC_STS_FRAMETOP},
    {0x84000214, STC_STS_FRAMEHEIGHT},
    {0x84000215, STC_STS_ACTLINECOUNT},
    {0x84000216, STC_STS_HSYNCSEARCHPOS},
    {0x84000217, STC_STS_VSYNCSEARCHPOS},
    {0x84000218, STC_STS_INPUTSOURCE},
    {0x84000219, STC_STS_CONTROL},
    {0x8400021A, STC_STS_LUT},
    {0x8400021B, STC_STS_BWINVERSION},
    {0x8400021C, STC_STS_WHITELEVEL},
    {0x8400021D, STC_STS_INTERLACEDHGTGRAN},
    {0x8400021E, STC_STS_INTERLACEDTOPGRAN},
    {0x8400021F, STC_STS_INVALIDJOBHANDLE},
    {0x84000220, STC_STS_MODECONFLICT},
    {0x84000221, STC_STS_INVALIDHWND},
    {0x84000222, STC_STS_INVALIDWNDALIGN},
    {0x84000223, STC_STS_PALETTESIZE},
    {0x84000224, STC_STS_NODCI},
    {0x84000225, STC_STS_PASSTHRULUTRANGE},
    {0x84000226, STC_STS_PASSTHRUPALRANGE},
    {0x84000228, STC_STS_SYS_RES},
    {0x84000229, STC_STS_INVALID_SURFACE_HANDLE},
    {0x8400022A, STC_STS_FIXED_COLOR},
    {0x8400022B, STC_STS_INVALID_FLAGS},
    {0x8400022C, STC_STS_NO_MORE_SURFACE},
    {0x8400022D, STC_STS_PASSTHRU_STOPPED},
    {0x8400022E, STC_STS_NO_DDI},
    {0x8400022F, STC_STS_SURFACE_TOO_SMALL},
    {0x84000230, STC_STS_PITCH_TOO_SMALL},
    {0x84000231, STC_STS_NO_IMAGE_IN_FRAME},
    {0x84000232, STC_STS_INVALID_SURFACE_DC},
    {0x84000233, STC_STS_SURFACE_NOT_SET},
    {0x84000234, STC_STS_NO_VIDEO_SIGNAL},
};

} // namespace

STT_APISTATUS TranslateDriverStatus(uint32_t driverStatus) {
    if (driverStatus == 0 || (driverStatus & STC_STANDARD_FLAG) == 0) return driverStatus;
    for (const StatusPair& pair : kDriverStatuses)
        if (pair.driver == driverStatus) return pair.api;
    return STC_STS_UNKNOWNSTATUS;
}

STT_APISTATUS MapDeviceDependentStatus(uint32_t status) {
    if (status >= drv::STS_DEVICE_DEPENDENT_1 && status <= drv::STS_DEVICE_DEPENDENT_4)
        return status | STC_API_FLAG;
    return STC_STS_UNKNOWNSTATUS;
}

const char* SeverityName(uint32_t status) {
    switch ((status >> STC_SEVERITY_SHIFT) & 7) {
    case STC_IMG_SEV_INFO: return "Informational";
    case STC_IMG_SEV_WARNING: return "Warning";
    case STC_IMG_SEV_ERROR: return "Error";
    default: return "Normal";
    }
}

STT_APISTATUS GetDriverLastStatus(HDRVR driver) {
    uint32_t last = 0;
    OutputDescriptor answer = MakeDescriptor(&last, sizeof(last));
    // Any nonzero answer counts here, not only 1.
    if (SendDriverMessage(driver, msg::STM_GET_LAST_STATUS, 0, AddressParam(&answer)) != 0 &&
        answer.BytesWritten == sizeof(last))
        return TranslateDriverStatus(last);
    return STC_STS_GETSTATUSFAIL;
}

} // namespace imaging
