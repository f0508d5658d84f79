// Test port of the simulated board driver.
//
// Tests in the same process reach these exports with GetProcAddress on the already loaded
// kvboard.drv (GetModuleHandle(L"kvboard.drv")), so every check still goes through the real
// OpenDriver/SendDriverMessage path. The product itself never calls them.
#pragma once

#include <cstdint>

#include <windows.h>

extern "C" {

constexpr size_t kKvTraceBlockBytes = 64;

// One message as the driver received it.
struct KvTraceRecord {
    uint32_t Message;
    uint32_t BlockSize; // bytes copied into Block (0 when the message carries no input block)
    uint64_t Param1;    // lParam1 as received
    uint64_t Param2;    // lParam2 as received
    uint8_t Block[kKvTraceBlockBytes]; // copy of the input record (lParam1's block, or the
                                       // descriptor-less input of lParam2) at receive time;
                                       // a color operation block is followed by its
                                       // parameter code and the value at lParam2
    int64_t Result;                    // what DriverProc answered
    uint32_t DriverStatus;             // the driver's last status after the message
    uint32_t ThreadId;
};

// Starts a new trace (clears the old one). The trace keeps the most recent records.
typedef void(WINAPI* KvTestTraceStartFn)(void);
// Stops recording; the records stay readable.
typedef void(WINAPI* KvTestTraceStopFn)(void);
typedef uint32_t(WINAPI* KvTestTraceCountFn)(void);
// Copies record `index` (0 = oldest kept); FALSE when there is no such record.
typedef BOOL(WINAPI* KvTestTraceGetFn)(uint32_t index, KvTraceRecord* record);
// The next `count` messages with code `message` fail: DriverProc answers `result` (0 when
// unsure) and leaves `driverStatus` as the last status. Several scripts may be pending.
typedef void(WINAPI* KvTestFailNextFn)(uint32_t message, uint32_t count, uint32_t driverStatus,
                                       int64_t result);
typedef void(WINAPI* KvTestClearFailuresFn)(void);
// Fires the external trigger input of an open board (its registered name, any case): every
// acquisition waiting for a trigger on it goes on. Answers how many were waiting, or
// 0xFFFFFFFF when no handle is open on such a board.
typedef uint32_t(WINAPI* KvTestFireTriggerFn)(const char* boardName);
// How many acquisitions wait for the board's trigger now (0xFFFFFFFF: board not open), so
// that a test fires only once the acquisition listens (an earlier pulse is not seen).
typedef uint32_t(WINAPI* KvTestTriggerWaitersFn)(const char* boardName);
// The number of the last image the board delivered (0: none yet; 0xFFFFFFFF: not open).
typedef uint32_t(WINAPI* KvTestImageNumberFn)(const char* boardName);
// Puts `pattern` on the digital input lines of the board named `board` (its registry name,
// any case), open or not, until cleared: the extension messages that read the lines then
// see it on the input lines. Without it, a loopback connects the k-th output line to the
// k-th input line. Clearing with a null name clears every board.
typedef void(WINAPI* KvTestSetDigitalInputsFn)(const char* board, uint32_t pattern);
typedef void(WINAPI* KvTestClearDigitalInputsFn)(const char* board);
// Number of the driver's line-scan worker threads (line acquisition, line passthru) alive.
typedef uint32_t(WINAPI* KvTestLineScanWorkersFn)(void);
// Sets the color storage mode (StorageModeEnum) that new frames of an open board get, as the
// color boards' storage-mode message does; answers the previous mode, or 0xFFFFFFFF when
// the board is not open or the mode is not a storage mode.
typedef uint32_t(WINAPI* KvTestSetStorageModeFn)(const char* boardName, uint32_t mode);
// Renders test pattern `pattern` (test_patterns.h) as a monochrome (color FALSE) or color board
// would show image number `frameNumber` in a frame of width x height, with the nominal input
// controls, into `rgb32` (4 bytes per pixel: blue, green, red, 0), with the caption of a board
// named `captionBoard` at time 0 (null: no caption). The frame counter is not stamped. For
// the tools that draw the patterns (tools/patterns).
typedef void(WINAPI* KvTestRenderPatternFn)(uint32_t pattern, BOOL color, uint32_t width,
                                            uint32_t height, uint64_t frameNumber,
                                            const char* captionBoard, uint8_t* rgb32);

#if defined(KVBOARD_DRIVER) // the driver's own definitions (testport.cpp)
void WINAPI KvTestTraceStart(void);
void WINAPI KvTestTraceStop(void);
uint32_t WINAPI KvTestTraceCount(void);
BOOL WINAPI KvTestTraceGet(uint32_t index, KvTraceRecord* record);
void WINAPI KvTestFailNext(uint32_t message, uint32_t count, uint32_t driverStatus, int64_t result);
void WINAPI KvTestClearFailures(void);
uint32_t WINAPI KvTestFireTrigger(const char* boardName);
uint32_t WINAPI KvTestTriggerWaiters(const char* boardName);
uint32_t WINAPI KvTestImageNumber(const char* boardName);
void WINAPI KvTestSetDigitalInputs(const char* board, uint32_t pattern);
void WINAPI KvTestClearDigitalInputs(const char* board);
uint32_t WINAPI KvTestLineScanWorkers(void);
uint32_t WINAPI KvTestSetStorageMode(const char* boardName, uint32_t mode);
void WINAPI KvTestRenderPattern(uint32_t pattern, BOOL color, uint32_t width, uint32_t height,
                                uint64_t frameNumber, const char* captionBoard, uint8_t* rgb32);
#endif
}
