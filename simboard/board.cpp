#include "board.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <shared_mutex>

namespace kvboard {

void UnitSlots::StopAll(StopMode mode) {
    if (mode == StopMode::Signal) {
        // Under the loader lock, where a dead thread may hold the mutex: slots are only ever
        // added, so the list can be walked without it.
        for (auto& slot : slots_)
            slot.second->Stop(mode);
        return;
    }
    // Stop outside the lock: a worker being stopped may still look up a unit state.
    std::vector<UnitState*> states;
    {
        std::lock_guard lock(mutex_);
        for (auto& slot : slots_)
            states.push_back(slot.second.get());
    }
    for (UnitState* state : states)
        state->Stop(mode);
}

namespace {

int32_t ResolveNominal(const ControlSpec& spec, const BoardSettings& settings) {
    switch (spec.follows) {
    case Nominal::Given: return spec.nominal;
    case Nominal::FrameWidth: return static_cast<int32_t>(settings.frameWidth);
    case Nominal::FrameHeight: return static_cast<int32_t>(settings.frameHeight);
    case Nominal::FieldHeight: return static_cast<int32_t>(std::max(1u, settings.frameHeight / 2));
    }
    return spec.nominal;
}

// Clamps a value into a range control and rounds it down to the control's granularity.
int32_t FitRange(const ControlSpec& spec, int32_t value) {
    value = std::clamp(value, spec.min, spec.max);
    return value - (value - spec.min) % spec.step;
}

} // namespace

Board::Board(BoardSettings settings) : settings_(std::move(settings)) {
    const ModelSpec& m = *settings_.model;
    for (const ControlSpec& spec : m.controls) {
        ControlSpec resolved = spec;
        resolved.nominal = ResolveNominal(spec, settings_);
        if (resolved.check == Check::Range) resolved.nominal = FitRange(resolved, resolved.nominal);
        controls_.push_back(resolved);
    }
    std::vector<int32_t> nominals;
    for (const ControlSpec& c : controls_)
        nominals.push_back(c.nominal);
    values_.assign(settings_.inputSources, nominals);

    // Lookup tables start as the identity, stretched over the value range.
    const uint32_t last = std::max(1u, m.lutEntries - 1);
    std::vector<uint32_t> identity(m.lutEntries);
    for (uint32_t i = 0; i < m.lutEntries; ++i)
        identity[i] = static_cast<uint32_t>(uint64_t{i} * m.lutMaxValue / last);
    luts.assign(m.lutCount, identity);
}

int Board::ControlIndex(uint32_t key) const {
    for (size_t i = 0; i < controls_.size(); ++i)
        if (controls_[i].key == key) return static_cast<int>(i);
    return -1;
}

int32_t Board::ValueOr(uint16_t source, uint32_t key, int32_t fallback) {
    auto lock = Lock();
    const int index = ControlIndex(key);
    if (index < 0 || source >= values_.size()) return fallback;
    return values_[source][index];
}

// ---- Open handles ------------------------------------------------------------------------

namespace {

struct OpenBoard {
    std::shared_ptr<Board> board;
    size_t handles = 0;
};

struct Registry {
    Mutex mutex; // shared for look-ups
    std::map<DWORD_PTR, std::shared_ptr<Instance>> instances;
    std::map<std::string, OpenBoard> boards; // by upper-case board name
    DWORD_PTR nextId = 1;
};

// Built when the driver is loaded (under the loader lock, one thread) and gone when it is
// unloaded: no first-use guard, and nothing of it stays behind in the process.
Registry gRegistry;

Registry& Handles() {
    return gRegistry;
}

std::string BoardKey(const std::string& name) {
    std::string key = name;
    for (char& c : key)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return key;
}

} // namespace

DWORD_PTR OpenInstance(BoardSettings settings) {
    Registry& r = Handles();
    std::unique_lock lock(r.mutex);
    OpenBoard& open = r.boards[BoardKey(settings.name)];
    if (!open.board) open.board = std::make_shared<Board>(std::move(settings));
    ++open.handles;
    const DWORD_PTR id = r.nextId++;
    r.instances.emplace(id, std::make_shared<Instance>(id, open.board));
    return id;
}

std::shared_ptr<Instance> FindInstance(DWORD_PTR id) {
    Registry& r = Handles();
    std::shared_lock lock(r.mutex);
    const auto it = r.instances.find(id);
    return it == r.instances.end() ? nullptr : it->second;
}

std::shared_ptr<Board> FindOpenBoard(const std::string& name) {
    Registry& r = Handles();
    std::shared_lock lock(r.mutex);
    const auto it = r.boards.find(BoardKey(name));
    return it == r.boards.end() ? nullptr : it->second.board;
}

bool CloseInstance(DWORD_PTR id) {
    Registry& r = Handles();
    std::shared_ptr<Instance> instance;
    std::shared_ptr<Board> lastOnBoard;
    {
        std::unique_lock lock(r.mutex);
        const auto it = r.instances.find(id);
        if (it == r.instances.end()) return false;
        instance = std::move(it->second);
        r.instances.erase(it);
        const auto board = r.boards.find(BoardKey(instance->board().settings().name));
        if (board != r.boards.end() && --board->second.handles == 0) {
            lastOnBoard = std::move(board->second.board);
            r.boards.erase(board);
        }
    }
    // Workers end outside the registry lock: they may still be sending messages.
    instance->Stop(StopMode::Wait);
    if (lastOnBoard) lastOnBoard->Stop(StopMode::Wait);
    return true;
}

void CloseAllInstances(StopMode mode) {
    Registry& r = Handles();
    if (mode == StopMode::Signal) {
        // Under the loader lock: tell the workers to end and leave all state in place, since
        // they may still be running while the process goes away.
        std::shared_lock lock(r.mutex);
        for (auto& [id, instance] : r.instances)
            instance->Stop(mode);
        for (auto& [name, open] : r.boards)
            open.board->Stop(mode);
        return;
    }
    std::map<DWORD_PTR, std::shared_ptr<Instance>> instances;
    std::map<std::string, OpenBoard> boards;
    {
        std::unique_lock lock(r.mutex);
        instances.swap(r.instances);
        boards.swap(r.boards);
    }
    for (auto& [id, instance] : instances)
        instance->Stop(mode);
    for (auto& [name, open] : boards)
        open.board->Stop(mode);
}

} // namespace kvboard
