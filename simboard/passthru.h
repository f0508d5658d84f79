// Live video ("passthru") of a board.
//
// Thread model. While live video runs, the board has one worker thread. Each image, at the
// board's frame rate, the worker renders the picture (picture.h) into the format of the
// passthru frame, or in the extended mode into the next frame of the list, composes what the
// window shows (source origin, scaling, passthru lookup table, overlay surface), draws it into
// the window with GDI from its own thread (GetDC, StretchDIBits, ReleaseDC; the window's own
// thread is never asked for anything, since it may be blocked waiting for passthru to stop),
// and signals the sync event (and the extended sync event). The worker holds no lock while it
// draws; it copies the passthru settings under the passthru lock and lays the overlay under
// the surfaces' lock. Whoever stops it signals its stop event and joins it with no lock held.
//
// Modes and how they end:
//   4  STM_START_ASYNC_PASSTHRU answers a job id; STM_STOP_PASSTHRU with that id ends it.
//   8  STM_START_PASSTHRU runs the same way without a job id. It ends with STM_STOP_PASSTHRU
//      for job id 0 from the handle that started it, with a new start from that handle (which
//      replaces it), or when that handle closes.
//   16 STM_START_PASSTHRU_EX fills the listed frames in turn, counts each fill in the
//      caller's counter of its list position, and signals the extended sync event; its job
//      id ends it like mode 4.
// Every mode also ends when the handle that started it closes, at DRV_FREE, and is signalled
// to end at process detach. The caller's counters must stay valid until passthru has ended.
//
// The sync events (STM_GET_SYNC_EVENT, and the extended one stored through the extended
// block) are auto-reset events owned by the board: they are created on first use, reused by
// later starts, and closed when the board's last handle closes.
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include "sync.h"
#include <vector>

#include "board.h"
#include "frames.h"
#include "live_image.h"
#include "win_handle.h"

namespace kvboard {

enum class PassthruMode : uint32_t { Async = 4, Sync = 8, AsyncEx = 16 };

// System palette entries that passthru may extend: the 256-entry palette less the 20 static
// colors the system keeps at both ends.
constexpr int32_t kFirstFreePaletteEntry = 10;
constexpr int32_t kPaletteEntries = 256;
constexpr int32_t kLastFreePaletteEntry = kPaletteEntries - 11;

// One running live video.
struct PassthruRun {
    PassthruMode mode = PassthruMode::Async;
    DWORD_PTR owner = 0;          // the handle that started it
    imaging::JobId job = 0;       // 0 for mode 8
    HWND window = nullptr;        // null: extended mode without a window
    std::vector<FramePtr> frames; // the passthru frame, or the extended mode's list
    int32_t* counters = nullptr;  // extended mode: the caller's fill counter per list position
    OwnedHandle stop;             // manual reset
    std::atomic<uint32_t> finalStatus{0}; // driver form; the first failure while running
    std::atomic<uint64_t> lastImage{0};   // number of the last image shown
    Thread worker;
};

class Passthru : public UnitState {
public:
    ~Passthru() override;
    void Stop(StopMode mode) override;
    // Ends the live video that a closing handle started.
    void Release(DWORD_PTR owner);

    // Signals the run's worker to end, waits for it, and answers its final status.
    static uint32_t Halt(std::unique_ptr<PassthruRun> run);

    // ---- Guarded by mutex ----
    Mutex mutex;
    imaging::PairBlock scaling{0, 0}; // 0 x 0: the size of the frame shown
    imaging::PairBlock origin{0, 0};
    PassthruLut lut = IdentityLut();
    std::array<Rgb8, kPaletteEntries> palette{}; // the extension entries loaded
    std::unique_ptr<PassthruRun> run;
    imaging::JobId nextJob = 0x50000001;
    OwnedHandle syncEvent;    // created on first use
    OwnedHandle extSyncEvent; // created on first use
};

} // namespace kvboard
