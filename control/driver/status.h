// Statuses of the driver access layer: translation from the driver's form, message texts,
// and the error result a failing status becomes.
#pragma once

#include "stapi.h"

#include <windows.h>
#include <mmsystem.h>

namespace imaging {

// Message id of a status: its low 16 bits OR the low 16 bits of the status shifted right by
// 12 with sign extension (severity in bits 14-12, code in bits 11-0 for an API status).
constexpr uint16_t MessageId(STT_APISTATUS status) {
    const uint32_t shifted = static_cast<uint32_t>(static_cast<int32_t>(status) >> 12);
    return static_cast<uint16_t>((status | shifted) & 0xFFFF);
}

// The COM error result raised for a failing status: 0x80040000 + message id.
constexpr HRESULT ErrorResult(STT_APISTATUS status) {
    return static_cast<HRESULT>(0x80040000u + MessageId(status));
}

// Records the module whose string table holds the message texts (the control library calls
// it when it is loaded). Without it the process's main module is read.
void SetMessageModule(HMODULE module);

// Writes the text of a status into buffer (8-bit, zero-terminated, at most bufferLength
// characters with the terminator). A null buffer gives STC_STS_NULL, a bufferLength below 256
// STC_STS_BUFSIZ, both without writing; every other case returns 0, a status without a text
// included (it is described instead).
STT_APISTATUS GetApiStatusMessage(STT_APISTATUS status, char* buffer, int32_t bufferLength);

// Fetches the driver's last status with STM_GET_LAST_STATUS and translates it.
STT_APISTATUS GetDriverLastStatus(HDRVR driver);

STT_APISTATUS TranslateDriverStatus(uint32_t driverStatus);
STT_APISTATUS MapDeviceDependentStatus(uint32_t status);

// "Informational", "Warning", "Error" or "Normal" for the severity bits of a status.
const char* SeverityName(uint32_t status);

} // namespace imaging
