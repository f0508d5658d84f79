// kvtestdrv.drv: a tiny installable driver for the driver-layer tests. It answers the way a
// board's own driver would when it is opened with a DeviceOpenBlock, keeps the message trace
// and scripted failures of the simulator's test port (same export names and records), and
// gives each message a scripted answer. Test code only.
#pragma once

#include "records.h"
#include "testport.h"

extern "C" {

// Board names starting with this prefix are refused at open.
constexpr char kTestDrvRefusedPrefix[] = "TSTREFUSE";

// Device capabilities answered by the driver (keys 2, 4, 6 and 7).
constexpr uint32_t kTestDrvDeviceId = 42;
constexpr uint32_t kTestDrvDeviceKind = 2;
constexpr uint32_t kTestDrvLinearMem = 0x00400000;
constexpr uint32_t kTestDrvDeviceMem = 0x00800000;

// Answer bytes for a message code (written into its descriptor's buffer, up to BufferSize).
typedef void(WINAPI* KvTestDrvSetAnswerFn)(uint32_t message, const void* bytes, uint32_t size);
// BytesWritten reported by STM_GET_LAST_STATUS (4 unless changed); the status of the last
// answered or failed message is what it writes.
typedef void(WINAPI* KvTestDrvSetStatusAnswerSizeFn)(uint32_t size);
// The descriptor that came with the most recent traced message (zeroed when none came).
typedef void(WINAPI* KvTestDrvLastDescriptorFn)(imaging::OutputDescriptor* descriptor);
// The open block of the most recent DRV_OPEN, and the number of opens still open.
typedef void(WINAPI* KvTestDrvLastOpenFn)(imaging::DeviceOpenBlock* block);
typedef uint32_t(WINAPI* KvTestDrvOpenCountFn)(void);
// Called with the board name at every DRV_OPEN (before the driver decides); null removes it.
typedef void(WINAPI* KvTestDrvOpenHook)(const char* board);
typedef void(WINAPI* KvTestDrvSetOpenHookFn)(KvTestDrvOpenHook hook);
}
