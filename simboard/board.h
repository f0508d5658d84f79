// Board and open-handle state of the simulated driver.
//
// A Board is one registered board (a subkey of the service key) while at least one handle is
// open on it: every handle opened on the same board shares it, as handles on one piece of
// hardware share its registers. An Instance is one open handle (one DRV_OPEN); it keeps the
// handle's last status. Board state is guarded by the board lock (Board::Lock); the
// dispatcher holds it around every handler that registered with Locking::Board.
//
// Units keep state of their own without touching this header: Board::Unit<T>() and
// Instance::Unit<T>() create a T (derived from UnitState) on first use and keep it for the
// life of the board or handle. A unit whose state owns worker threads ends them in
// UnitState::Stop, which runs when the last handle on the board closes (DRV_CLOSE), when the
// driver is freed (DRV_FREE) and at process detach.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <typeindex>
#include <utility>
#include <vector>

#include "models.h"
#include "sync.h"

namespace kvboard {

// The simulation settings of one board, read from its registry subkey at DRV_OPEN.
struct BoardSettings {
    std::string name; // the board subkey's name as registered
    const ModelSpec* model = nullptr;
    uint32_t frameWidth = 0; // default frame, clamped to the model's frame limits
    uint32_t frameHeight = 0;
    uint32_t frameRate = 0; // frames per second; 0: as fast as possible
    uint32_t inputSources = 0;
    uint32_t linearMemSize = 0; // bytes
    uint32_t deviceMemSize = 0; // bytes
    uint32_t testPattern = 0;   // PatternId (picture.h); 0: the model's picture
    uint32_t testCaption = 1;   // 0: no caption in the pictures
    std::wstring imageFolder;   // recorded images played instead (image_folder.h); empty: none
    uint32_t imageRate = 0;     // files per second of the played folder
};

enum class StopMode {
    Wait,   // end the workers and wait for them
    Signal, // process detach under the loader lock: tell the workers to end, do not wait
};

class UnitState {
public:
    virtual ~UnitState() = default;
    // Ends the worker threads this state owns; called before the state is destroyed.
    virtual void Stop(StopMode /*mode*/) {}
};

class UnitSlots {
public:
    template <class T> T& Get() {
        std::lock_guard lock(mutex_);
        for (auto& [type, state] : slots_)
            if (type == std::type_index(typeid(T))) return static_cast<T&>(*state);
        slots_.emplace_back(std::type_index(typeid(T)), std::make_unique<T>());
        return static_cast<T&>(*slots_.back().second);
    }
    void StopAll(StopMode mode);

private:
    Mutex mutex_;
    std::vector<std::pair<std::type_index, std::unique_ptr<UnitState>>> slots_;
};

constexpr uint32_t kDefaultTimeoutSeconds = 5;

class Board {
public:
    explicit Board(BoardSettings settings);
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    const BoardSettings& settings() const { return settings_; }
    const ModelSpec& model() const { return *settings_.model; }
    uint32_t inputSources() const { return settings_.inputSources; }

    std::unique_lock<RecursiveMutex> Lock() { return std::unique_lock(mutex_); }
    template <class T> T& Unit() { return units_.Get<T>(); }
    void Stop(StopMode mode) { units_.StopAll(mode); }

    // The board's input controls: the model's, with nominals resolved for its frame size.
    const std::vector<ControlSpec>& controls() const { return controls_; }
    // The control's slot (index into controls()), or -1 when the model lacks it.
    int ControlIndex(uint32_t key) const;
    // The current value of a control for a source (source < inputSources(), control present).
    int32_t& Value(uint16_t source, int index) { return values_[source][index]; }
    // Convenience for other units: the value of `key` on `source`, or `fallback`.
    int32_t ValueOr(uint16_t source, uint32_t key, int32_t fallback);

    // ---- Core state; guarded by Lock() ----
    std::vector<std::vector<uint32_t>> luts; // [lut][entry]
    uint16_t inputSource = 0;
    bool basedSourceSelected = false;
    uint16_t basedSource = 0;
    imaging::TriggerBlock trigger{imaging::STC_FG_TRIGGER_NONE, 0};
    imaging::MultTriggerBlock multTrigger{imaging::STC_FG_TRIGGER_NONE, 0,
                                          imaging::STC_FG_TRIGMODE_TO_START};
    uint32_t timeout = kDefaultTimeoutSeconds; // seconds
    uint32_t digitalOutputs = 0;

private:
    BoardSettings settings_;
    RecursiveMutex mutex_;
    std::vector<ControlSpec> controls_;
    std::vector<std::vector<int32_t>> values_; // [source][control index]
    UnitSlots units_;
};

class Instance {
public:
    Instance(DWORD_PTR id, std::shared_ptr<Board> board) : id_(id), board_(std::move(board)) {}

    DWORD_PTR id() const { return id_; }
    Board& board() { return *board_; }
    const std::shared_ptr<Board>& sharedBoard() const { return board_; }

    uint32_t lastStatus() const { return lastStatus_.load(); }
    void setLastStatus(uint32_t status) { lastStatus_.store(status); }

    template <class T> T& Unit() { return units_.Get<T>(); }
    void Stop(StopMode mode) { units_.StopAll(mode); }

private:
    DWORD_PTR id_;
    std::shared_ptr<Board> board_;
    std::atomic<uint32_t> lastStatus_{0};
    UnitSlots units_;
};

// ---- Open handles ------------------------------------------------------------------------

// Opens a handle on the board the settings name, creating the board's state when no handle
// is open on it yet (the settings of a board already open are not re-read). Returns the
// driver id that DRV_OPEN answers (never 0).
DWORD_PTR OpenInstance(BoardSettings settings);
// The open handle with this driver id, or null.
std::shared_ptr<Instance> FindInstance(DWORD_PTR id);
// The board with this name (ignoring case) while a handle is open on it, or null.
std::shared_ptr<Board> FindOpenBoard(const std::string& name);
// Closes a handle; the last handle on a board stops the board's units. False when the id is
// not open.
bool CloseInstance(DWORD_PTR id);
// Closes every handle and stops every board (DRV_FREE, process detach).
void CloseAllInstances(StopMode mode);

} // namespace kvboard
