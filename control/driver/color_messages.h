// Color board extension messages (KV7300, KV7500). A failed message reports a negative last
// status unchanged and any other as STC_STS_UNKNOWNSTATUS. The caller sends these only to
// boards of that family.
//
// Messages that carry the color query word (ColorQueryWord, records.h) take the source and
// the operation (STT_CONTROL_TYPE); only the low 8 bits of each travel.
#pragma once

#include "message_send.h"

namespace imaging {

// Parameter code of STM_CLR_SYNC_MASTER.
constexpr uint32_t STC_SYNC_MASTER_ENABLE = 1;

// Succeeds exactly when the board offers the interface (an STT_QUERY_COLOR_INTERFACE code).
STT_APISTATUS STM_CLR_QUERY_INTERFACE(HDRVR driver, uint32_t interfaceCode);
// Operation 4: mask of the supported storage modes; operation 7: the current mode.
STT_APISTATUS STM_CLR_STORAGE_MODE(HDRVR driver, uint32_t source, uint32_t operation,
                                   uint32_t* answer);
// *value is read (operation 7) or written (operation 8); parameter is an STT_COLOR_PARAMETER.
// The caller's variable changes only when the message succeeds.
STT_APISTATUS STM_CLR_IMAGE_PARAMETER(HDRVR driver, uint32_t operation, uint32_t source,
                                      uint32_t parameter, uint32_t* value);
// Horizontal and vertical scale; operations 0 to 3 for the limits, 7 for the current scaling.
STT_APISTATUS STM_CLR_SCALING(HDRVR driver, uint32_t source, uint32_t operation,
                              STT_SCALE_PARAM* scale);
// Operation 5 reads, 6 writes the configuration; 7 reads, 8 writes the pattern.
STT_APISTATUS STM_CLR_DIGITAL_IO(HDRVR driver, uint32_t operation, uint32_t* value);
// Operation 7 reads, 8 writes the video signal type.
STT_APISTATUS STM_CLR_SIGNAL_TYPE(HDRVR driver, uint32_t source, uint32_t operation,
                                  uint32_t* value);
// Sync master enable: operation 7 reads, 8 writes.
STT_APISTATUS STM_CLR_SYNC_MASTER(HDRVR driver, uint32_t operation, uint32_t source,
                                  uint32_t* value);

// One host plane for STM_CLR_EXTRACT_PLANES.
struct PlaneBuffer {
    void* Data;
    uint32_t Width;
    uint32_t Height;
    uint32_t ElementSize; // bytes per element, sent as PixelDepth
};

// Packs one record per supplied plane (null: not supplied) in the order red, green, blue from
// records[0]; unused records are zeroed. Returns the plane mask (kPlaneRed | kPlaneGreen |
// kPlaneBlue of the supplied planes), which also goes into records[0].Flags. A BufferSize
// beyond 32 bits is clamped to 0xFFFFFFFF (never larger than the real buffer).
uint32_t PackPlaneRecords(const PlaneBuffer* red, const PlaneBuffer* green, const PlaneBuffer* blue,
                          STT_BUFFER_INFO (&records)[3]);

// records holds the planes packed as PackPlaneRecords does; planeMask goes into
// records[0].Flags before the message is sent.
STT_APISTATUS STM_CLR_EXTRACT_PLANES(HDRVR driver, FrameHandle frame, STT_BUFFER_INFO* records,
                                     uint32_t planeMask);
STT_APISTATUS STM_CLR_DRAW_PLANE(HDRVR driver, const STT_BUFFER_INFO* plane, HWND window);

} // namespace imaging
