// Ends what one handle started on its board when that handle closes.
//
// A board unit whose work belongs to the handle that started it (passthru, surfaces) binds
// the handle to it with BindHandle; when the handle closes, the unit's Release(handle id)
// runs. At process detach (StopMode::Signal) nothing is released: the loader lock is held and
// the board's own Stop signals its workers.
#pragma once

#include <memory>

#include "board.h"

namespace kvboard {

template <class BoardUnit> class HandleRelease : public UnitState {
public:
    void Bind(const std::shared_ptr<Board>& board, DWORD_PTR id) {
        board_ = board;
        id_ = id;
    }
    void Stop(StopMode mode) override {
        if (mode == StopMode::Signal) return;
        if (const std::shared_ptr<Board> board = board_.lock())
            board->Unit<BoardUnit>().Release(id_);
    }

private:
    std::weak_ptr<Board> board_;
    DWORD_PTR id_ = 0;
};

template <class BoardUnit> void BindHandle(Instance& instance) {
    instance.Unit<HandleRelease<BoardUnit>>().Bind(instance.sharedBoard(), instance.id());
}

} // namespace kvboard
