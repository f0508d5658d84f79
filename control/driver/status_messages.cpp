// Message texts of statuses: the string table of the module recorded at load time, and the
// descriptions of statuses that have no text.
#include "status.h"

#include <atomic>
#include <cstdio>

namespace imaging {
namespace {

std::atomic<HMODULE> messageModule{nullptr};

constexpr int32_t kMinimumBuffer = 256;

constexpr char kSuccessText[] = "Operation or function completed successfully.";

constexpr char kNoMessageFormat[] =
    "Status (%#lx) appears to be a Strata API status, but no associated message was found.";

constexpr char kDriverStatusFormat[] =
    "Status (%#lx) is not a Strata API status.  It may be a Strata device driver status.  If "
    "so, the severity and status code are as follows:\n\n   Severity = %s,   Status Code = %#x.";

constexpr char kDeviceApiStatusFormat[] =
    "Status (%#lx) is not a known Strata API status.  It may be a device dependent API "
    "status.  If so, the severityand status code are as follows:\n\n   Severity = %s\n   "
    "Status Code = %#x.";

constexpr char kDeviceStatusFormat[] =
    "Status (%#lx) is not a Strata API status.  It may be a device dependent status returned "
    "from a device driver.  If so, the severity and status code are as follows:\n\n   "
    "Severity = %s,   Status Code = %#x.";

HMODULE TextModule() {
    HMODULE module = messageModule.load();
    return module ? module : GetModuleHandleW(nullptr);
}

} // namespace

void SetMessageModule(HMODULE module) {
    messageModule.store(module);
}

STT_APISTATUS GetApiStatusMessage(STT_APISTATUS status, char* buffer, int32_t bufferLength) {
    if (!buffer) return STC_STS_NULL;
    if (bufferLength < kMinimumBuffer) return STC_STS_BUFSIZ;

    const size_t size = static_cast<size_t>(bufferLength);
    const unsigned long printed = status; // %#lx takes an unsigned long
    const uint32_t code = status & 0xFFF;
    const bool standard = (status & STC_STANDARD_FLAG) != 0;
    const bool api = (status & STC_API_FLAG) != 0;

    if (code == 0) {
        snprintf(buffer, size, "%s", kSuccessText);
    } else if (standard && api) {
        const UINT id = ((status >> 12) & 0x7000) | code;
        if (LoadStringA(TextModule(), id, buffer, bufferLength) <= 0)
            snprintf(buffer, size, kNoMessageFormat, printed);
    } else if (standard) {
        snprintf(buffer, size, kDriverStatusFormat, printed, SeverityName(status),
                 static_cast<unsigned>(status & 0xFFFF));
    } else if (api) {
        snprintf(buffer, size, kDeviceApiStatusFormat, printed, SeverityName(status),
                 static_cast<unsigned>(code));
    } else {
        snprintf(buffer, size, kDeviceStatusFormat, printed, SeverityName(status),
                 static_cast<unsigned>(status & 0xFFFF));
    }
    return STC_STS_NORMAL;
}

} // namespace imaging
