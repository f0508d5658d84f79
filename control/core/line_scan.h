// What the line-scan board's workers share with their control, and the geometry of the
// host arrays that line data travels in.
//
// Each worker holds its link by shared ownership, so that the control may be destroyed
// while a worker finishes. A link loses its event sinks when the control goes and its
// driver when the device closes; the passthru link also owns the filled-buffer flags and
// the buffer list that the driver keeps using while passthru runs.
#pragma once

#include "connection_points.h"
#include "raii.h"
#include "worker_thread.h"

#include <windows.h>
#include <mmsystem.h>
#include <oleauto.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace core {

// The most buffers one line passthru may use.
inline constexpr uint32_t kMaxLineBuffers = 1024;

// Geometry of a line array: width bytes per line, lines per buffer, and buffers (1 for the
// two-dimensional arrays of acquisition and drawing).
struct LineArray {
    uint32_t width = 0;
    uint32_t lines = 0;
    uint32_t buffers = 1;
    uint32_t BufferBytes() const { return width * lines; }
};

// A two-dimensional (or larger) array: width is the element count of the second stored
// bound, lines that of the first. None for fewer dimensions, elements that are not plain
// numbers or an empty array.
std::optional<LineArray> LinesOf(SAFEARRAY* array);
// A three-dimensional (or larger) array: width is the third stored bound, lines the second
// and the buffer count the first. None as above, and for more than kMaxLineBuffers buffers.
std::optional<LineArray> LineBuffersOf(SAFEARRAY* array);

// The part every link has: the control's event sinks while it lives.
struct LineEventLink {
    com::CriticalSection lock;
    const com::ConnectionPoint* events = nullptr; // guarded by lock; null once the control goes
    std::vector<com::ComPtr<IUnknown>> Sinks();
    void DetachEvents();
};

// An asynchronous line acquisition's worker polls driver until the acquisition is done.
struct LineAcquireLink : LineEventLink {
    HDRVR driver = nullptr; // guarded by lock; null once the worker must stop polling
};

// A line passthru: the ring's buffer list and filled-buffer flags, which the driver uses
// until passthru stops, and what the worker waits on.
struct LinePassthruLink : LineEventLink {
    explicit LinePassthruLink(uint32_t bufferCount)
        : addresses(bufferCount), filled(bufferCount, 0) {}
    std::vector<void*> addresses;
    std::vector<int32_t> filled;   // set non-zero by the driver, cleared by the worker
    com::UniqueHandle stop;        // the control's own signal that ends the worker
    com::UniqueHandle bufferEvent; // the driver's passthru event, duplicated for the worker
};

// The control's line-scan state.
struct LineScanState {
    LineScanState() = default;
    LineScanState(const LineScanState&) = delete;
    LineScanState& operator=(const LineScanState&) = delete;
    // The workers end (and are waited for) and raise nothing more.
    ~LineScanState();

    VARIANT_BOOL mode = VARIANT_FALSE; // the last line-scan mode read or written
    com::UniqueVariant storedLines;    // private copy of the last drawn line array

    std::shared_ptr<LineAcquireLink> acquire;
    WorkerThread acquireWorker;
    std::shared_ptr<LinePassthruLink> passthru; // present while the driver may use its ring
    WorkerThread passthruWorker;

    // Stops the acquisition worker polling and waits until it has ended.
    void EndAcquireWorker();
    // Signals the passthru worker to end and waits until it has.
    void EndPassthruWorker();
};

} // namespace core
