// The fixture of the color, sync master and overlay tests: the installed control on a pinned
// simulator, with the trace of what one action sent.
#pragma once

#include "frames_fixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace color_test {

using Microsoft::WRL::ComPtr;

// The control's results for the statuses these features report.
constexpr HRESULT kModelLacksFeature = static_cast<HRESULT>(0x80044118); // STC_STS_CONTROL
constexpr HRESULT kUnknownStatus = static_cast<HRESULT>(0x80044012);     // STC_STS_UNKNOWNSTATUS
constexpr HRESULT kUnsupportedKey = static_cast<HRESULT>(0x80044009);    // STC_STS_UNSUPKEY

class ColorTest : public frames_test::Frames {
protected:
    // Opens the board on its first input, whatever an earlier test left selected.
    void Open(const wchar_t* board) {
        Frames::Open(board);
        ASSERT_EQ(control_->put_VideoInputSource(Chan0), S_OK);
    }
    template <class Action> std::vector<KvTraceRecord> Traced(Action action) {
        simulator_.Port().StartTrace();
        action();
        simulator_.Port().StopTrace();
        return simulator_.Port().Trace();
    }
    DriverPort& Port() { return simulator_.Port(); }
    std::wstring StatusMessage() {
        return test::TextOf(test::GetProperty(dispatch_.Get(), L"StatusMessage"));
    }
};

// A color operation block as the trace keeps it: the block, then the parameter code it
// points to and the value lParam2 points to, both as sent.
struct OperationTrace {
    imaging::ColorOperationBlock block;
    uint32_t parameter;
    uint32_t value;
};

} // namespace color_test
