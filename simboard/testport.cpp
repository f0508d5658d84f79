// Test port: a trace of every message DriverProc receives and scripted failures. Tests call
// these exports on the loaded driver; the product never does.
#include <atomic>
#include <cstring>
#include <deque>
#include <mutex>
#include <vector>

#include "acquire.h"
#include "picture.h"
#include "digital_lines.h"
#include "linescan_workers.h"
#include "trace.h"
#include "sync.h"

namespace kvboard {

namespace {

constexpr size_t kTraceCapacity = 4096; // the most recent records are kept

struct Script {
    UINT message;
    uint32_t remaining;
    uint32_t driverStatus;
    int64_t result;
};

struct Port {
    std::atomic<bool> tracing{false};
    Mutex mutex;
    std::deque<KvTraceRecord> records;
    std::vector<Script> scripts;
};

Port gPort; // built at load, like every state of the driver

Port& ThePort() {
    return gPort;
}

} // namespace

bool TraceOn() {
    return ThePort().tracing.load(std::memory_order_relaxed);
}

void TraceAppend(const KvTraceRecord& record) {
    Port& p = ThePort();
    std::lock_guard lock(p.mutex);
    if (!p.tracing) return;
    if (p.records.size() == kTraceCapacity) p.records.pop_front();
    p.records.push_back(record);
}

std::optional<Result> TakeScriptedFailure(UINT message) {
    Port& p = ThePort();
    std::lock_guard lock(p.mutex);
    for (auto it = p.scripts.begin(); it != p.scripts.end(); ++it) {
        if (it->message != message) continue;
        const Result result{static_cast<LRESULT>(it->result), it->driverStatus};
        if (--it->remaining == 0) p.scripts.erase(it);
        return result;
    }
    return std::nullopt;
}

constexpr uint32_t kNotOpen = 0xFFFFFFFF;

std::shared_ptr<Board> OpenBoard(const char* name) {
    if (name == nullptr) return nullptr;
    return FindOpenBoard(name);
}

} // namespace kvboard

extern "C" {

void WINAPI KvTestTraceStart(void) {
    kvboard::Port& p = kvboard::ThePort();
    std::lock_guard lock(p.mutex);
    p.records.clear();
    p.tracing = true;
}

void WINAPI KvTestTraceStop(void) {
    kvboard::ThePort().tracing = false;
}

uint32_t WINAPI KvTestTraceCount(void) {
    kvboard::Port& p = kvboard::ThePort();
    std::lock_guard lock(p.mutex);
    return static_cast<uint32_t>(p.records.size());
}

BOOL WINAPI KvTestTraceGet(uint32_t index, KvTraceRecord* record) {
    kvboard::Port& p = kvboard::ThePort();
    std::lock_guard lock(p.mutex);
    if (record == nullptr || index >= p.records.size()) return FALSE;
    *record = p.records[index];
    return TRUE;
}

void WINAPI KvTestFailNext(uint32_t message, uint32_t count, uint32_t driverStatus,
                           int64_t result) {
    if (count == 0) return;
    kvboard::Port& p = kvboard::ThePort();
    std::lock_guard lock(p.mutex);
    p.scripts.push_back({message, count, driverStatus, result});
}

void WINAPI KvTestClearFailures(void) {
    kvboard::Port& p = kvboard::ThePort();
    std::lock_guard lock(p.mutex);
    p.scripts.clear();
}

uint32_t WINAPI KvTestFireTrigger(const char* boardName) {
    const auto board = kvboard::OpenBoard(boardName);
    return board ? kvboard::BoardEngine(*board).FireTrigger() : kvboard::kNotOpen;
}

uint32_t WINAPI KvTestTriggerWaiters(const char* boardName) {
    const auto board = kvboard::OpenBoard(boardName);
    return board ? kvboard::BoardEngine(*board).TriggerWaiters() : kvboard::kNotOpen;
}

uint32_t WINAPI KvTestImageNumber(const char* boardName) {
    const auto board = kvboard::OpenBoard(boardName);
    return board ? static_cast<uint32_t>(kvboard::BoardPicture(*board).imageNumber.load())
                 : kvboard::kNotOpen;
}

void WINAPI KvTestSetDigitalInputs(const char* board, uint32_t pattern) {
    if (board != nullptr) kvboard::SetExternalInputs(board, pattern);
}

void WINAPI KvTestClearDigitalInputs(const char* board) {
    kvboard::SetExternalInputs(board, std::nullopt);
}

uint32_t WINAPI KvTestLineScanWorkers(void) {
    return kvboard::LineScanWorkers();
}

uint32_t WINAPI KvTestSetStorageMode(const char* boardName, uint32_t mode) {
    const auto board = kvboard::OpenBoard(boardName);
    if (!board || !kvboard::IsStorageMode(mode)) return kvboard::kNotOpen;
    auto lock = board->Lock();
    kvboard::PictureState& picture = kvboard::BoardPicture(*board);
    const uint32_t previous = picture.storageMode;
    picture.storageMode = static_cast<kvboard::StorageModeEnum>(mode);
    return previous;
}

void WINAPI KvTestRenderPattern(uint32_t pattern, BOOL color, uint32_t width, uint32_t height,
                                uint64_t frameNumber, const char* captionBoard, uint8_t* rgb32) {
    if (rgb32 == nullptr || width == 0 || height == 0) return;
    kvboard::PictureSettings s;
    s.color = color != FALSE;
    s.pattern = pattern;
    s.sceneWidth = width;
    s.sceneHeight = height;
    s.caption = captionBoard != nullptr;
    if (captionBoard != nullptr) s.boardName = captionBoard;
    // Render into a frame with room for the counter, then restore what it covered.
    kvboard::FrameView view;
    view.pixels = rgb32;
    view.width = width;
    view.height = height;
    view.layout = kvboard::PixelLayout::Rgb32;
    kvboard::RenderPicture(s, frameNumber, view);
    if (width > 1) std::memcpy(rgb32, rgb32 + 4, 4); // the counter: take the next pixel
}

} // extern "C"
