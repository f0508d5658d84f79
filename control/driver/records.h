// Fixed-layout records of the driver message protocol.
//
// Both sides of the protocol (the control's driver access layer and the board drivers, the
// simulated one included) use these declarations, so they always agree.
//
// Layouts. On Win32 every record has exactly the byte layout of the protocol: little-endian,
// 32-bit addresses. On Win64 every field that holds an address or a platform handle (window,
// event, drawing context, memory) is pointer-sized (8 bytes) and naturally aligned, every
// other field keeps its width and order, and a record that holds a pointer is padded to a
// multiple of 8. Driver-issued handles (frame, job, surface) stay 32-bit. A StructSize field
// always holds the record's real size (sizeof). The table gives offset:width per field.
//
//   record                      Win32                          Win64
//   OutputDescriptor            16: size 0 bufsize 4 written 8 24: size 0 bufsize 4 written 8
//                                   buffer 12:4                    buffer 16:8
//   ImagingDeviceInfo           52 or 60, no addresses         same
//   DeviceOpenBlock             28, no addresses               same
//   input-control, LUT, based
//   source, trigger blocks      8/12/12/8/8/12, no addresses   same
//   FrameInfo                   36: base 4:4 width 16 height   48: base 8:8 width 24 height
//                                   18 bpp 20                      26 bpp 28
//   FrameRectBlock, CopyBlock   20, 32, no addresses           same
//   WindowBlock                 8: hwnd 0:4 frame 4            16: hwnd 0:8 frame 8
//   ExtPassthruBlock            28: hwnd 0 frames 4 counters   56: hwnd 0 frames 8 counters
//                                   8 count 12 event 16          16 count 24 event 32
//                                   reserved 20 jobid 24         reserved 40 jobid 48
//   PairBlock, OverlayBlock     8, no addresses                same
//   ParamWriteBlock/ReadBlock,
//   ExposePulse blocks          12/8/12, no addresses          same
//   ColorOperationBlock         12: op 0 source 4 param 8:4    16: op 0 source 4 param 8:8
//   STT_BUFFER_INFO             32: size 0 addr 4:4 bufsize 8  40: size 0 addr 8:8 bufsize 16
//                                   width 12 height 16 depth     width 20 height 24 depth 28
//                                   20 flags 24 reserved 28      flags 32 reserved 36
//   LineAcquirePair             8, no addresses                same
//   LinePassthruBlock           36: hwnd 0 bufs 4 count 8      56: hwnd 0 bufs 8 count 16
//                                   bytes 12 listsize 16 event   bytes 20 listsize 24 event
//                                   20 states 24 statesize 28    32 states 40 statesize 48
//                                   stop 32                      stop 52
//   LineDrawBlock               28: pixels 24:4                32: pixels 24:8
//   LineStatusBlock             12: three addresses            24: three addresses
//
// Answers that are a platform handle (the sync event of STM_GET_SYNC_EVENT, the drawing
// context of STM_GET_SURFACE_DC, the events stored through ExtPassthruBlock and
// LinePassthruBlock) are written into pointer-sized variables.
#pragma once

#include <cstddef>
#include <cstdint>

#include <windows.h>

namespace imaging {

using FrameHandle = uint32_t;   // issued by the driver
using JobId = uint32_t;         // issued by the driver; 0 means no job
using SurfaceHandle = uint32_t; // issued by the driver

#if defined(_WIN64)
#define IMAGING_LAYOUT(w32, w64) (w64)
#else
#define IMAGING_LAYOUT(w32, w64) (w32)
#endif
#define IMAGING_RECORD_SIZE(type, w32, w64)                                                    \
    static_assert(sizeof(type) == IMAGING_LAYOUT(w32, w64), #type " size")
#define IMAGING_FIELD_AT(type, field, w32, w64)                                                \
    static_assert(offsetof(type, field) == IMAGING_LAYOUT(w32, w64), #type "::" #field)

// ---- Answer descriptor -------------------------------------------------------------------

struct OutputDescriptor {
    uint32_t StructSize;   // sizeof(OutputDescriptor)
    uint32_t BufferSize;   // bytes the caller's buffer can take
    uint32_t BytesWritten; // 0 on the way in; set by the driver
    void* Buffer;
};
IMAGING_RECORD_SIZE(OutputDescriptor, 16, 24);
IMAGING_FIELD_AT(OutputDescriptor, BytesWritten, 8, 8);
IMAGING_FIELD_AT(OutputDescriptor, Buffer, 12, 16);

// ---- Device list and open ----------------------------------------------------------------

constexpr uint32_t kDeviceInfoShortSize = 52;
constexpr uint32_t kDeviceInfoLongSize = 60;
constexpr size_t kDeviceInfoNameChars = 20; // 19 characters and the terminator

// One entry of the device list; the 52-byte form ends before DeviceMemSize.
struct ImagingDeviceInfo {
    uint32_t StructSize; // 52 or 60
    uint32_t DeviceKind; // stSTT_IMGDEVTYPE; 0 when the board fails to open
    uint32_t DeviceId;   // board model code; 0 when the board fails to open
    char BoardName[kDeviceInfoNameChars];
    char DriverName[kDeviceInfoNameChars];
    uint32_t DeviceMemSize;
    uint32_t LinearMemSize;
};
IMAGING_RECORD_SIZE(ImagingDeviceInfo, 60, 60);
IMAGING_FIELD_AT(ImagingDeviceInfo, BoardName, 12, 12);
IMAGING_FIELD_AT(ImagingDeviceInfo, DriverName, 32, 32);
IMAGING_FIELD_AT(ImagingDeviceInfo, DeviceMemSize, 52, 52);
IMAGING_FIELD_AT(ImagingDeviceInfo, LinearMemSize, 56, 56);

constexpr size_t kOpenBlockNameChars = 24; // 23 characters and the terminator

// The open parameter of a board's own driver.
struct DeviceOpenBlock {
    uint32_t StructSize; // 28
    char BoardName[kOpenBlockNameChars];
};
IMAGING_RECORD_SIZE(DeviceOpenBlock, 28, 28);

// ---- Input blocks of the device and input-control messages -------------------------------

struct InputControlReadBlock {
    uint16_t Source;
    uint16_t Pad;
    uint32_t Control; // stSTT_FG_INPUT_CONTROL
};
IMAGING_RECORD_SIZE(InputControlReadBlock, 8, 8);

struct InputControlWriteBlock {
    uint16_t Source;
    uint16_t Pad;
    uint32_t Control;
    uint32_t Value;
};
IMAGING_RECORD_SIZE(InputControlWriteBlock, 12, 12);

struct LutBlock {
    uint16_t Lut;
    uint16_t Pad;
    uint32_t FirstEntry;
    uint32_t EntryCount;
};
IMAGING_RECORD_SIZE(LutBlock, 12, 12);

struct BasedSourceBlock {
    uint32_t Select; // 1 select, 0 release
    uint16_t Source;
    uint16_t Pad;
};
IMAGING_RECORD_SIZE(BasedSourceBlock, 8, 8);

struct TriggerBlock {
    uint32_t Type;       // stSTT_FG_TRIGGER
    uint32_t Transition; // 0 high to low, 1 low to high
};
IMAGING_RECORD_SIZE(TriggerBlock, 8, 8);

struct MultTriggerBlock {
    uint32_t Type;
    uint32_t Transition;
    uint32_t Mode; // stSTT_FG_TRIGGER_MODE
};
IMAGING_RECORD_SIZE(MultTriggerBlock, 12, 12);

// Capability answers.
struct stSTT_LNG_RNG {
    int32_t Min;
    int32_t Max;
    int32_t Granularity;
    int32_t Nominal;
};
IMAGING_RECORD_SIZE(stSTT_LNG_RNG, 16, 16);

struct stSTT_LIST_LIMITS {
    int32_t Count;
    int32_t Min;
    int32_t Max;
    int32_t Nominal;
};
IMAGING_RECORD_SIZE(stSTT_LIST_LIMITS, 16, 16);

struct stSTT_NL_LNG_RNG {
    int32_t Min;
    int32_t Max;
    int32_t Nominal;
};
IMAGING_RECORD_SIZE(stSTT_NL_LNG_RNG, 12, 12);

struct stSTT_FG_FRAME_OPS { // stSTT_FG_SINGLE_FRAME_OPS and stSTT_FG_MULT_FRAME_OPS
    int32_t ToDevSync;
    int32_t ToDevAsync;
    int32_t ToHostSync;
    int32_t ToHostAsync;
};
IMAGING_RECORD_SIZE(stSTT_FG_FRAME_OPS, 16, 16);

struct stSTT_RECT {
    int32_t x;
    int32_t y;
    int32_t Width;
    int32_t Height;
};
IMAGING_RECORD_SIZE(stSTT_RECT, 16, 16);

struct STT_SCALE_PARAM {
    uint16_t hscale; // percent
    uint16_t vscale;
};
IMAGING_RECORD_SIZE(STT_SCALE_PARAM, 4, 4);

// ---- Frames, acquisition, passthru, surfaces ---------------------------------------------

struct FrameInfo {
    uint32_t StructSize;
    void* BaseAddress; // the pixels in the caller's address space while mapped
    uint8_t Driver1[8];
    uint16_t Width;
    uint16_t Height;
    uint16_t BytesPerPixel; // 1, 2, 3 or 4
    uint8_t Driver2[14];
};
IMAGING_RECORD_SIZE(FrameInfo, 36, 48);
IMAGING_FIELD_AT(FrameInfo, BaseAddress, 4, 8);
IMAGING_FIELD_AT(FrameInfo, Width, 16, 24);
IMAGING_FIELD_AT(FrameInfo, Height, 18, 26);
IMAGING_FIELD_AT(FrameInfo, BytesPerPixel, 20, 28);

struct FrameRectBlock {
    FrameHandle Frame;
    uint32_t Left;
    uint32_t Top;
    uint32_t Width;
    uint32_t Height;
};
IMAGING_RECORD_SIZE(FrameRectBlock, 20, 20);

struct CopyBlock {
    FrameHandle Source;
    uint32_t SourceLeft;
    uint32_t SourceTop;
    uint32_t Width;
    uint32_t Height;
    FrameHandle Destination;
    uint32_t DestinationLeft;
    uint32_t DestinationTop;
};
IMAGING_RECORD_SIZE(CopyBlock, 32, 32);

struct WindowBlock {
    HWND Window;
    FrameHandle Frame;
};
IMAGING_RECORD_SIZE(WindowBlock, 8, 16);
IMAGING_FIELD_AT(WindowBlock, Frame, 4, 8);

constexpr size_t kFrameSlots = 1024; // the control's per-frame counters

struct ExtPassthruBlock {
    HWND Window;
    const FrameHandle* Frames;
    int32_t* Counters; // one per frame slot, kFrameSlots of them
    uint32_t FrameCount;
    HANDLE* SyncEvent; // where the driver stores the extended sync event
    uint32_t Reserved; // 0
    JobId* Job;        // where the job id goes
};
IMAGING_RECORD_SIZE(ExtPassthruBlock, 28, 56);
IMAGING_FIELD_AT(ExtPassthruBlock, FrameCount, 12, 24);
IMAGING_FIELD_AT(ExtPassthruBlock, SyncEvent, 16, 32);
IMAGING_FIELD_AT(ExtPassthruBlock, Reserved, 20, 40);
IMAGING_FIELD_AT(ExtPassthruBlock, Job, 24, 48);

struct PairBlock {
    int32_t First;
    int32_t Second;
};
IMAGING_RECORD_SIZE(PairBlock, 8, 8);

struct OverlayBlock {
    SurfaceHandle Surface;
    FrameHandle Frame;
};
IMAGING_RECORD_SIZE(OverlayBlock, 8, 8);

// Answer of STM_IS_ASYNC_ACQUIRE_DONE.
struct AsyncDoneAnswer {
    uint32_t Done;         // 1 when done
    uint32_t JobStatus;    // driver form
    uint32_t BytesToHost;
};
IMAGING_RECORD_SIZE(AsyncDoneAnswer, 12, 12);

// ---- Board extension blocks --------------------------------------------------------------

struct ParamWriteBlock {
    uint16_t Source;
    uint16_t Pad;
    uint32_t Selector;
    uint32_t Value;
};
IMAGING_RECORD_SIZE(ParamWriteBlock, 12, 12);

struct ParamReadBlock {
    uint16_t Source;
    uint16_t Pad;
    uint32_t Selector;
};
IMAGING_RECORD_SIZE(ParamReadBlock, 8, 8);

struct ExposePulseReadBuffer {
    uint16_t Source; // input
    uint16_t Pad;
    uint32_t Duration; // answer
    uint32_t Polarity; // answer
};
IMAGING_RECORD_SIZE(ExposePulseReadBuffer, 12, 12);

struct ExposePulseWriteBlock {
    uint16_t Source;
    uint16_t Pad;
    uint32_t Answer; // written by the driver
    uint32_t Polarity;
};
IMAGING_RECORD_SIZE(ExposePulseWriteBlock, 12, 12);

struct ColorOperationBlock {
    uint32_t Operation; // STT_CONTROL_TYPE
    uint32_t Source;
    uint32_t* Parameter; // STT_COLOR_PARAMETER code
};
IMAGING_RECORD_SIZE(ColorOperationBlock, 12, 16);
IMAGING_FIELD_AT(ColorOperationBlock, Parameter, 8, 8);

// The color query word: bits 0-7 source, bits 8-15 operation.
constexpr uint32_t ColorQueryWord(uint32_t source, uint32_t operation) {
    return (source & 0xFF) | ((operation & 0xFF) << 8);
}

struct STT_BUFFER_INFO {
    uint32_t StructSize;
    void* BufferAddr;
    uint32_t BufferSize;
    uint32_t Width;
    uint32_t Height;
    uint32_t PixelDepth;
    uint32_t Flags;
    uint32_t Reserved;
};
IMAGING_RECORD_SIZE(STT_BUFFER_INFO, 32, 40);
IMAGING_FIELD_AT(STT_BUFFER_INFO, BufferAddr, 4, 8);
IMAGING_FIELD_AT(STT_BUFFER_INFO, BufferSize, 8, 16);
IMAGING_FIELD_AT(STT_BUFFER_INFO, Flags, 24, 32);

// Plane mask of STM_CLR_EXTRACT_PLANES.
constexpr uint32_t kPlaneRed = 1;
constexpr uint32_t kPlaneGreen = 2;
constexpr uint32_t kPlaneBlue = 4;

struct LineAcquirePair {
    uint32_t ByteCount;
    uint32_t Mode; // STC_LS_ACQUIRE_ASYNC or STC_LS_ACQUIRE_SYNC
};
IMAGING_RECORD_SIZE(LineAcquirePair, 8, 8);

struct LinePassthruBlock {
    HWND Window;
    void* const* Buffers; // the buffer-address array
    uint32_t BufferCount;
    uint32_t BytesPerBuffer;
    uint32_t BufferListSize; // BufferCount * 4
    HANDLE* PassthruEvent;   // where the driver stores the passthru event
    int32_t* BufferStates;   // one flag per buffer, set by the driver when filled
    uint32_t StateListSize;  // BufferCount * 4
    uint32_t StopOnOverflow; // 0 or 1
};
IMAGING_RECORD_SIZE(LinePassthruBlock, 36, 56);
IMAGING_FIELD_AT(LinePassthruBlock, BufferCount, 8, 16);
IMAGING_FIELD_AT(LinePassthruBlock, PassthruEvent, 20, 32);
IMAGING_FIELD_AT(LinePassthruBlock, BufferStates, 24, 40);
IMAGING_FIELD_AT(LinePassthruBlock, StopOnOverflow, 32, 52);

struct LineDrawBlock {
    uint32_t ByteCount; // width * height
    uint32_t One;       // 1
    uint32_t Width;
    uint32_t Height;
    int32_t OriginX;
    int32_t OriginY;
    const void* Pixels;
};
IMAGING_RECORD_SIZE(LineDrawBlock, 28, 32);
IMAGING_FIELD_AT(LineDrawBlock, Pixels, 24, 24);

struct LineStatusBlock {
    int32_t* Done;
    int32_t* LinesComplete;
    int32_t* Granularity;
};
IMAGING_RECORD_SIZE(LineStatusBlock, 12, 24);

} // namespace imaging
