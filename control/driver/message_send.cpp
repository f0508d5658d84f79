#include "message_send.h"

namespace imaging {

STT_APISTATUS FailureStatus(HDRVR driver, MessageFamily family) {
    const STT_APISTATUS last = GetDriverLastStatus(driver);
    const bool negative = (last & STC_STANDARD_FLAG) != 0;
    switch (family) {
    case MessageFamily::Standard:
    case MessageFamily::LineScan: return last;
    case MessageFamily::Camera:
    case MessageFamily::Lib7400: return negative ? last : MapDeviceDependentStatus(last);
    case MessageFamily::Color: return negative ? last : STC_STS_UNKNOWNSTATUS;
    }
    return last;
}

STT_APISTATUS SendMessageChecked(HDRVR driver, unsigned code, LPARAM param1, LPARAM param2,
                                 MessageFamily family) {
    if (SendDriverMessage(driver, code, param1, param2) == STC_RV_SUCCESS) return STC_STS_NORMAL;
    return FailureStatus(driver, family);
}

} // namespace imaging
