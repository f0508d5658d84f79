// Shapes of message that recur across the frame, passthru, surface and board extension
// functions: an answer through a descriptor, an answer through a bare address, a value that is
// read or written in place. Answers reach the caller only when the call succeeds.
#pragma once

#include "message_send.h"

namespace imaging::detail {

// lParam2 is a descriptor on a local answer of type T; *answer receives it on success.
template <typename T>
STT_APISTATUS SendForAnswer(HDRVR driver, unsigned code, LPARAM param1, T* answer,
                            MessageFamily family = MessageFamily::Standard) {
    if (answer == nullptr) return STC_STS_NULL;
    T value{};
    OutputDescriptor descriptor = MakeDescriptor(&value, sizeof(value));
    const STT_APISTATUS status =
        SendMessageChecked(driver, code, param1, AddressParam(&descriptor), family);
    if (status == STC_STS_NORMAL) *answer = value;
    return status;
}

// lParam2 is the bare address of a local answer of type T (no descriptor).
template <typename T>
STT_APISTATUS SendForBareAnswer(HDRVR driver, unsigned code, LPARAM param1, T* answer,
                                MessageFamily family = MessageFamily::Standard) {
    if (answer == nullptr) return STC_STS_NULL;
    T value{};
    const STT_APISTATUS status =
        SendMessageChecked(driver, code, param1, AddressParam(&value), family);
    if (status == STC_STS_NORMAL) *answer = value;
    return status;
}

// lParam2 is the bare address of a 32-bit value that the driver reads (write operations) or
// overwrites (read operations). The caller's variable changes only when the call succeeds.
inline STT_APISTATUS SendInOutValue(HDRVR driver, unsigned code, LPARAM param1, uint32_t* value,
                                    MessageFamily family) {
    if (value == nullptr) return STC_STS_NULL;
    uint32_t local = *value;
    const STT_APISTATUS status =
        SendMessageChecked(driver, code, param1, AddressParam(&local), family);
    if (status == STC_STS_NORMAL) *value = local;
    return status;
}

// Stop messages of jobs: the job's final status (driver form) is translated and handed over
// whatever the message's own result; the caller decides from the returned status.
inline STT_APISTATUS StopJob(HDRVR driver, unsigned code, JobId job, STT_APISTATUS* jobStatus) {
    if (jobStatus == nullptr) return STC_STS_NULL;
    uint32_t finalStatus = 0;
    OutputDescriptor descriptor = MakeDescriptor(&finalStatus, sizeof(finalStatus));
    const STT_APISTATUS status = SendMessageChecked(driver, code, job, AddressParam(&descriptor));
    *jobStatus = TranslateDriverStatus(finalStatus);
    return status;
}

// Booleans that travel as a 16-bit boolean widened with sign: -1 or 0.
inline LPARAM SignedBoolParam(bool value) {
    return value ? LPARAM(-1) : LPARAM(0);
}

} // namespace imaging::detail
