// The answer buffer of a capability query whose caller hands over a long variable and a size.
#pragma once

#include "dispatch.h"

#include <cstddef>
#include <new>
#include <vector>

namespace core {

// A caller reached through IDispatch names one variable of its declared type, whatever size
// it claims: the driver then answers into a buffer of the size asked for and the variable
// receives the answer's first value. A vtable caller's buffer takes the answer directly.
class CapsAnswer {
public:
    // No capability answer comes near this size; a larger claim through IDispatch names
    // memory the caller does not have.
    static constexpr long kLargestAnswerBytes = 64 * 1024;

    CapsAnswer(long* variable, long bufferSize) : variable_(variable), answer_(variable) {
        if (!com::InLateBoundCall() || bufferSize <= static_cast<long>(sizeof(long))) return;
        if (bufferSize > kLargestAnswerBytes) {
            answer_ = nullptr;
            refusal_ = E_INVALIDARG;
            return;
        }
        try {
            scratch_.resize((static_cast<size_t>(bufferSize) + sizeof(long) - 1) / sizeof(long));
            answer_ = scratch_.data();
        } catch (const std::bad_alloc&) {
            answer_ = nullptr;
        }
    }
    CapsAnswer(const CapsAnswer&) = delete;
    CapsAnswer& operator=(const CapsAnswer&) = delete;

    // Null when no buffer of that size could be had; Refusal() then says why.
    long* Buffer() const { return answer_; }
    HRESULT Refusal() const { return refusal_; }
    // Hands the caller's variable its value after a successful query.
    void Deliver() const { *variable_ = answer_[0]; }

private:
    long* variable_;
    long* answer_;
    std::vector<long> scratch_;
    HRESULT refusal_ = E_OUTOFMEMORY;
};

} // namespace core
