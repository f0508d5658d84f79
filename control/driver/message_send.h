// The one place where the layer sends a driver message, and how a failed message becomes a
// status for each message family.
#pragma once

#include "records.h"
#include "status.h"

namespace imaging {

enum class MessageFamily {
    Standard,    // 0x5000-0x6FFF and the line-scan extension: the last status unchanged
    LineScan,    // same mapping as Standard
    Camera,      // digital-camera extension: negative unchanged, else device-dependent map
    Lib7400,     // KV7400 board library: as Camera
    Color,       // color extension: negative unchanged, else STC_STS_UNKNOWNSTATUS
};

// The status a failed message of the family reports, from the driver's last status.
STT_APISTATUS FailureStatus(HDRVR driver, MessageFamily family);

// Sends one message: an answer of exactly 1 is success (0); anything else is the family's
// failure status.
STT_APISTATUS SendMessageChecked(HDRVR driver, unsigned code, LPARAM param1, LPARAM param2,
                                 MessageFamily family = MessageFamily::Standard);

// A fresh answer descriptor on the caller's buffer.
inline OutputDescriptor MakeDescriptor(void* buffer, uint32_t bufferSize) {
    OutputDescriptor d{};
    d.StructSize = sizeof(OutputDescriptor);
    d.BufferSize = bufferSize;
    d.BytesWritten = 0;
    d.Buffer = buffer;
    return d;
}

inline LPARAM AddressParam(const void* address) {
    return reinterpret_cast<LPARAM>(address);
}

} // namespace imaging
