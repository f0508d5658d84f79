// The video input properties of the installed control on the simulated boards, checked in
// what reaches the driver (the simulator's message trace) and in what a client reads back.
#include "control_support.h"

#include <climits>

#include <gtest/gtest.h>

namespace test {
namespace {

using imaging::msg::STM_GET_INPUT_CONTROL;
using imaging::msg::STM_SET_INPUT_CONTROL;

class VideoInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_HRESULT_SUCCEEDED(apartment_.Result());
        ASSERT_TRUE(simulator_.ok());
        control_ = CreateControl();
        ASSERT_NE(control_, nullptr);
        ASSERT_EQ(control_.As(&vtable_), S_OK);
    }
    void Open(const wchar_t* board) { ASSERT_TRUE(OpenBoard(control_.Get(), board)) << board; }

    // The trace of what one action sent.
    template <class Action> std::vector<KvTraceRecord> Traced(Action action) {
        port().StartTrace();
        action();
        port().StopTrace();
        return port().Trace();
    }
    DriverPort& port() { return simulator_.Port(); }

    Apartment apartment_;
    PinnedSimulator simulator_;
    ComPtr<IDispatch> control_;
    ComPtr<ICorvid3> vtable_;
};

struct PlainProperty {
    const wchar_t* name;
    uint32_t control;
    DISPID id;
};

constexpr PlainProperty kPlainProperties[] = {
    {L"ActiveLineCount", imaging::STC_FG_CTL_ACTIVE_LINE_COUNT, 409},
    {L"ActivePixelCount", imaging::STC_FG_CTL_ACTIVE_PIXEL_COUNT, 413},
    {L"BackPorchStart", imaging::STC_FG_CTL_BACK_PORCH_START, 410},
    {L"ClampEnd", imaging::STC_FG_CTL_CLAMP_END, 412},
    {L"ClampStart", imaging::STC_FG_CTL_CLAMP_START, 414},
    {L"ClockFrequency", imaging::STC_FG_CTL_CLOCK_FREQ, 416},
    {L"ClockSource", imaging::STC_FG_CTL_CLOCK_SOURCE, 417},
    {L"ClockTransition", imaging::STC_FG_CTL_CLOCK_FLAGS, 415},
    {L"FirstActiveLine", imaging::STC_FG_CTL_FIRST_ACTIVE_LINE, 418},
    {L"FirstActivePixel", imaging::STC_FG_CTL_FIRST_ACTIVE_PIXEL, 419},
    {L"HSyncInsertPos", imaging::STC_FG_CTL_HSYNC_INSERT_POS, 422},
    {L"HSyncSearchPos", imaging::STC_FG_CTL_HSYNC_SEARCH_POS, 423},
    {L"InputFilter", imaging::STC_FG_CTL_INPUT_FILTER, 424},
    {L"InputLUT", imaging::STC_FG_CTL_ILUT, 425},
    {L"SyncSource", imaging::STC_FG_CTL_CSYNC_SOURCE, 430},
    {L"SyncThresh", imaging::STC_FG_CTL_CSYNC_THRESH, 431},
    {L"TotalLinesPerField", imaging::STC_FG_CTL_TOTAL_LINES_PER_FLD, 432},
    {L"TotalPixelsPerLine", imaging::STC_FG_CTL_TOTAL_PIX_PER_LINE, 433},
    {L"VSyncInsertPos", imaging::STC_FG_CTL_VSYNC_INSERT_POS, 439},
    {L"VSyncSearchPos", imaging::STC_FG_CTL_VSYNC_SEARCH_POS, 440},
};

// Every plain property reads and writes its own input control of the input source; a put of
// the value read back is valid on any board that has the control.
TEST_F(VideoInputTest, PlainPropertiesMapToTheirInputControls) {
    Open(L"SIM7100");
    ASSERT_EQ(PutProperty(control_.Get(), L"VideoInputSource", Long(1)).hr, S_OK);
    Notifications notifications(control_.Get());
    for (const PlainProperty& property : kPlainProperties) {
        LONG value = 0;
        std::vector<KvTraceRecord> trace = Traced([&] {
            CallResult get = GetProperty(control_.Get(), property.name);
            ASSERT_EQ(get.hr, S_OK) << std::wstring(property.name).c_str();
            value = LongOf(get);
            ASSERT_EQ(PutProperty(control_.Get(), property.name, Long(value)).hr, S_OK);
        });
        const auto reads = RecordsOf(trace, STM_GET_INPUT_CONTROL);
        const auto writes = RecordsOf(trace, STM_SET_INPUT_CONTROL);
        ASSERT_EQ(reads.size(), 1u);
        ASSERT_EQ(writes.size(), 1u);
        const auto read = BlockOf<imaging::InputControlReadBlock>(reads[0]);
        const auto write = BlockOf<imaging::InputControlWriteBlock>(writes[0]);
        EXPECT_EQ(read.Control, property.control);
        EXPECT_EQ(read.Source, 1);
        EXPECT_EQ(write.Control, property.control);
        EXPECT_EQ(write.Source, 1);
        EXPECT_EQ(write.Value, static_cast<uint32_t>(value));
        EXPECT_EQ(notifications.Changed().back(), property.id);
    }
}

// Values the device cannot carry are refused before it is asked; a source number it lacks
// gets its own status. Nothing is stored either way.
TEST_F(VideoInputTest, ValuesOutsideTheirTypeAreRefused) {
    Open(L"SIM7100");
    constexpr HRESULT kNoSuchSource = static_cast<HRESULT>(0x80044117); // STC_STS_INPUTSOURCE
    const struct {
        const wchar_t* name;
        LONG value;
        HRESULT error;
    } cases[] = {
        {L"VideoInputSource", 65536, E_INVALIDARG},   {L"VideoInputSource", INT_MIN, E_INVALIDARG},
        {L"VideoInputSource", 4, kNoSuchSource},      {L"BasedSource", -1, E_INVALIDARG},
        {L"HorizontalTransition", -1, E_INVALIDARG},  {L"HorizontalTransition", INT_MAX, E_INVALIDARG},
        {L"VerticalTransition", -1, E_INVALIDARG},    {L"VerticalTransition", 2, E_INVALIDARG},
        {L"Timeout", -1, E_INVALIDARG},               {L"Timeout", INT_MIN, E_INVALIDARG},
    };
    for (const auto& c : cases) {
        const LONG before = LongOf(GetProperty(control_.Get(), c.name));
        const CallResult put = PutProperty(control_.Get(), c.name, Long(c.value));
        EXPECT_EQ(put.hr, DISP_E_EXCEPTION) << std::wstring(c.name).c_str() << " " << c.value;
        EXPECT_EQ(put.exception.scode, c.error) << std::wstring(c.name).c_str() << " " << c.value;
        EXPECT_EQ(LongOf(GetProperty(control_.Get(), c.name)), before)
            << std::wstring(c.name).c_str() << " " << c.value;
    }
}

TEST_F(VideoInputTest, OutOfRangeValueRaisesTheDeviceStatus) {
    Open(L"SIM7100");
    Notifications notifications(control_.Get());
    CallResult put = PutProperty(control_.Get(), L"ActiveLineCount", Long(-5));
    EXPECT_EQ(put.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(put.exception.scode, static_cast<HRESULT>(0x80044004));
    const std::wstring rangeText = Wide(put.exception.bstrDescription);
    EXPECT_EQ(rangeText.rfind(L"STC_STS_RANGE:", 0), 0u);
    EXPECT_EQ(TextOf(GetProperty(control_.Get(), L"StatusMessage")), rangeText);
    EXPECT_TRUE(notifications.Changed().empty());
}

TEST_F(VideoInputTest, NoDeviceFailsWithTheStatusFetchFailure) {
    LONG value = 0;
    EXPECT_EQ(vtable_->get_ClampStart(&value), static_cast<HRESULT>(0x80044010));
    EXPECT_EQ(vtable_->get_ClampStart(nullptr), E_POINTER);
}

TEST_F(VideoInputTest, SyncSentinelIsABoolean) {
    Open(L"SIM7100");
    std::vector<KvTraceRecord> trace =
        Traced([&] { ASSERT_EQ(vtable_->put_SyncSentinel(static_cast<VARIANT_BOOL>(5)), S_OK); });
    const auto writes = RecordsOf(trace, STM_SET_INPUT_CONTROL);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(BlockOf<imaging::InputControlWriteBlock>(writes[0]).Value, 1u);
    VARIANT_BOOL on = 0;
    ASSERT_EQ(vtable_->get_SyncSentinel(&on), S_OK);
    EXPECT_EQ(on, VARIANT_TRUE);
    ASSERT_EQ(vtable_->put_SyncSentinel(VARIANT_FALSE), S_OK);
    ASSERT_EQ(vtable_->get_SyncSentinel(&on), S_OK);
    EXPECT_EQ(on, VARIANT_FALSE);
}

TEST_F(VideoInputTest, BasedSourceModeRedirectsTheInputControls) {
    Open(L"SIM7100");
    ASSERT_EQ(vtable_->put_VideoInputSource(Chan1), S_OK);
    VideoSourceEnum source = Chan0;
    ASSERT_EQ(vtable_->get_VideoInputSource(&source), S_OK);
    EXPECT_EQ(source, Chan1);

    // Mode off: the based source is only kept.
    std::vector<KvTraceRecord> trace =
        Traced([&] { ASSERT_EQ(vtable_->put_BasedSource(Chan2), S_OK); });
    EXPECT_TRUE(RecordsOf(trace, imaging::msg::STM_SELECT_BASED_SOURCE).empty());

    trace = Traced([&] {
        ASSERT_EQ(vtable_->put_BasedSourceModeEnable(VARIANT_TRUE), S_OK);
        LONG lines = 0;
        ASSERT_EQ(vtable_->get_ActiveLineCount(&lines), S_OK);
        // Already on: nothing to send.
        ASSERT_EQ(vtable_->put_BasedSourceModeEnable(VARIANT_TRUE), S_OK);
    });
    auto selects = RecordsOf(trace, imaging::msg::STM_SELECT_BASED_SOURCE);
    ASSERT_EQ(selects.size(), 1u);
    EXPECT_EQ(BlockOf<imaging::BasedSourceBlock>(selects[0]).Select, 1u);
    EXPECT_EQ(BlockOf<imaging::BasedSourceBlock>(selects[0]).Source, 2);
    auto reads = RecordsOf(trace, STM_GET_INPUT_CONTROL);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(BlockOf<imaging::InputControlReadBlock>(reads[0]).Source, 2);
    VARIANT_BOOL mode = 0;
    ASSERT_EQ(vtable_->get_BasedSourceModeEnable(&mode), S_OK);
    EXPECT_EQ(mode, VARIANT_TRUE);

    // Mode on: the old source is released and the new one selected.
    trace = Traced([&] { ASSERT_EQ(vtable_->put_BasedSource(Chan3), S_OK); });
    selects = RecordsOf(trace, imaging::msg::STM_SELECT_BASED_SOURCE);
    ASSERT_EQ(selects.size(), 2u);
    EXPECT_EQ(BlockOf<imaging::BasedSourceBlock>(selects[0]).Select, 0u);
    EXPECT_EQ(BlockOf<imaging::BasedSourceBlock>(selects[0]).Source, 2);
    EXPECT_EQ(BlockOf<imaging::BasedSourceBlock>(selects[1]).Select, 1u);
    EXPECT_EQ(BlockOf<imaging::BasedSourceBlock>(selects[1]).Source, 3);

    // Mode off again: the input source is addressed.
    trace = Traced([&] {
        ASSERT_EQ(vtable_->put_BasedSourceModeEnable(VARIANT_FALSE), S_OK);
        LONG lines = 0;
        ASSERT_EQ(vtable_->get_ActiveLineCount(&lines), S_OK);
    });
    reads = RecordsOf(trace, STM_GET_INPUT_CONTROL);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(BlockOf<imaging::InputControlReadBlock>(reads[0]).Source, 1);
}

TEST_F(VideoInputTest, ScanTransitionsKeepTheOtherBit) {
    Open(L"SIM7100");
    std::vector<KvTraceRecord> trace = Traced([&] {
        ASSERT_EQ(vtable_->put_HorizontalTransition(OnLowToHigh), S_OK);
        ASSERT_EQ(vtable_->put_VerticalTransition(OnHighToLow), S_OK);
        ASSERT_EQ(vtable_->put_VerticalTransition(OnLowToHigh), S_OK);
    });
    const auto writes = RecordsOf(trace, STM_SET_INPUT_CONTROL);
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(BlockOf<imaging::InputControlWriteBlock>(writes[0]).Control,
              imaging::STC_FG_CTL_VARSCAN_FLAGS);
    EXPECT_EQ(BlockOf<imaging::InputControlWriteBlock>(writes[0]).Value, 1u);
    EXPECT_EQ(BlockOf<imaging::InputControlWriteBlock>(writes[1]).Value, 1u);
    EXPECT_EQ(BlockOf<imaging::InputControlWriteBlock>(writes[2]).Value, 3u);
    TransitionEnum horizontal = OnHighToLow, vertical = OnHighToLow;
    ASSERT_EQ(vtable_->get_HorizontalTransition(&horizontal), S_OK);
    ASSERT_EQ(vtable_->get_VerticalTransition(&vertical), S_OK);
    EXPECT_EQ(horizontal, OnLowToHigh);
    EXPECT_EQ(vertical, OnLowToHigh);
}

TEST_F(VideoInputTest, TriggerPutsSendTheKeptValues) {
    Open(L"SIM7100");
    // Before any read the kept values are software trigger, high-to-low, trigger to start.
    std::vector<KvTraceRecord> trace = Traced([&] {
        ASSERT_EQ(vtable_->put_TriggerType(ExternalTrigger), S_OK);
        ASSERT_EQ(vtable_->put_TriggerTransition(OnLowToHigh), S_OK);
        ASSERT_EQ(vtable_->put_MultTriggerMode(TriggerForEach), S_OK);
    });
    const auto single = RecordsOf(trace, imaging::msg::STM_SET_TRIGGER);
    ASSERT_EQ(single.size(), 2u);
    EXPECT_EQ(BlockOf<imaging::TriggerBlock>(single[0]).Type, 2u);
    EXPECT_EQ(BlockOf<imaging::TriggerBlock>(single[0]).Transition, 0u);
    EXPECT_EQ(BlockOf<imaging::TriggerBlock>(single[1]).Type, 2u);
    EXPECT_EQ(BlockOf<imaging::TriggerBlock>(single[1]).Transition, 1u);
    const auto multiple = RecordsOf(trace, imaging::msg::STM_SET_MULT_TRIGGER);
    ASSERT_EQ(multiple.size(), 1u);
    EXPECT_EQ(BlockOf<imaging::MultTriggerBlock>(multiple[0]).Type, 1u);
    EXPECT_EQ(BlockOf<imaging::MultTriggerBlock>(multiple[0]).Transition, 0u);
    EXPECT_EQ(BlockOf<imaging::MultTriggerBlock>(multiple[0]).Mode, 2u);

    TriggerTypeEnum type = SoftwareTrigger;
    TransitionEnum transition = OnHighToLow;
    TriggerModeEnum mode = TriggerToStart;
    ASSERT_EQ(vtable_->get_TriggerType(&type), S_OK);
    ASSERT_EQ(vtable_->get_TriggerTransition(&transition), S_OK);
    ASSERT_EQ(vtable_->get_MultTriggerMode(&mode), S_OK);
    EXPECT_EQ(type, ExternalTrigger);
    EXPECT_EQ(transition, OnLowToHigh);
    EXPECT_EQ(mode, TriggerForEach);
}

TEST_F(VideoInputTest, SignalTypeByBoardKind) {
    // A monochrome board: the video type control.
    Open(L"SIM7100");
    VideoSignalTypeEnum type = RGBVideo;
    ASSERT_EQ(vtable_->put_VideoSignalType(VarScanVideo), S_OK);
    ASSERT_EQ(vtable_->get_VideoSignalType(&type), S_OK);
    EXPECT_EQ(type, VarScanVideo);
    // A type the control maps to 0, which the board refuses.
    EXPECT_NE(vtable_->put_VideoSignalType(RGBVideo), S_OK);

    // A color board: its signal-type interface.
    Open(L"SIM7300");
    std::vector<KvTraceRecord> trace = Traced([&] {
        ASSERT_EQ(vtable_->put_VideoSignalType(YCVideo), S_OK);
        ASSERT_EQ(vtable_->get_VideoSignalType(&type), S_OK);
    });
    EXPECT_EQ(type, YCVideo);
    EXPECT_EQ(RecordsOf(trace, imaging::msg::STM_CLR_SIGNAL_TYPE).size(), 2u);
    EXPECT_TRUE(RecordsOf(trace, STM_SET_INPUT_CONTROL).empty());
}

TEST_F(VideoInputTest, LevelsByModel) {
    for (const SimBoard& board : kSimBoards) {
        Open(board.name);
        LONG offset = 0, reference = 0;
        GainEnum gain = GAIN_OF_1;
        const HRESULT offsetResult = vtable_->get_Offset(&offset);
        const HRESULT referenceResult = vtable_->get_Reference(&reference);
        std::vector<KvTraceRecord> trace;
        HRESULT gainResult = E_FAIL;
        trace = Traced([&] { gainResult = vtable_->get_Gain(&gain); });
        switch (board.model) {
        case 32: // black and white levels, no gain
            EXPECT_EQ(offsetResult, S_OK);
            EXPECT_EQ(referenceResult, S_OK);
            EXPECT_EQ(gainResult, E_NOTIMPL);
            break;
        case 42:
        case 46: { // the analog parameters of the board library
            EXPECT_NE(gainResult, E_NOTIMPL);
            const auto reads = RecordsOf(trace, imaging::msg::STM_7400_GET_ANALOG_PARAM);
            ASSERT_EQ(reads.size(), 1u);
            EXPECT_EQ(BlockOf<imaging::ParamReadBlock>(reads[0]).Selector, imaging::AP_Gain);
            break;
        }
        default:
            EXPECT_EQ(offsetResult, E_NOTIMPL) << board.model;
            EXPECT_EQ(referenceResult, E_NOTIMPL) << board.model;
            EXPECT_EQ(gainResult, E_NOTIMPL) << board.model;
            EXPECT_EQ(vtable_->put_Offset(1), E_NOTIMPL);
            EXPECT_TRUE(trace.empty() ||
                        RecordsOf(trace, imaging::msg::STM_7400_GET_ANALOG_PARAM).empty());
            break;
        }
    }
}

TEST_F(VideoInputTest, BlackAndWhiteLevelsOfTheKV7100) {
    Open(L"SIM7100");
    std::vector<KvTraceRecord> trace = Traced([&] { ASSERT_EQ(vtable_->put_Offset(10), S_OK); });
    auto writes = RecordsOf(trace, STM_SET_INPUT_CONTROL);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(BlockOf<imaging::InputControlWriteBlock>(writes[0]).Control,
              imaging::STC_FG_CTL_BLACK_LEVEL);
    EXPECT_EQ(static_cast<int32_t>(BlockOf<imaging::InputControlWriteBlock>(writes[0]).Value), -10);
    LONG offset = 0;
    ASSERT_EQ(vtable_->get_Offset(&offset), S_OK);
    EXPECT_EQ(offset, 10);

    trace = Traced([&] { ASSERT_EQ(vtable_->put_Reference(100), S_OK); });
    writes = RecordsOf(trace, STM_SET_INPUT_CONTROL);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(BlockOf<imaging::InputControlWriteBlock>(writes[0]).Control,
              imaging::STC_FG_CTL_WHITE_LEVEL);
    EXPECT_EQ(BlockOf<imaging::InputControlWriteBlock>(writes[0]).Value, 90u);
    LONG reference = 0;
    ASSERT_EQ(vtable_->get_Reference(&reference), S_OK);
    EXPECT_EQ(reference, 100);
}

// ---- Capabilities and lookup tables ----

TEST_F(VideoInputTest, QueryInputCapsWritesTheCallersBuffer) {
    Open(L"SIM7100");
    LONG sources = 0;
    ASSERT_EQ(vtable_->QueryInputCaps(STC_FG_IC_INPUT_SOURCE_COUNT, &sources, sizeof(sources)),
              S_OK);
    EXPECT_EQ(sources, 4);
    EXPECT_EQ(vtable_->QueryInputCaps(STC_FG_IC_INPUT_SOURCE_COUNT, nullptr, 4), E_POINTER);
    EXPECT_EQ(vtable_->QueryInputCaps(STC_FG_IC_INPUT_SOURCE_COUNT, &sources, -1), E_INVALIDARG);

    // A script's variable, passed by reference.
    VARIANT variable;
    VariantInit(&variable);
    CallResult call = Invoke(control_.Get(), L"QueryInputCaps",
                             {Long(STC_FG_IC_INPUT_SOURCE_COUNT), RefTo(&variable), Long(4)});
    EXPECT_EQ(call.hr, S_OK);
    EXPECT_EQ(V_VT(&variable), VT_I4);
    EXPECT_EQ(V_I4(&variable), 4);
    VariantClear(&variable);
}

TEST_F(VideoInputTest, LateBoundQueryInputCapsWritesOnlyTheVariable) {
    Open(L"SIM7100");
    // A 16-byte answer asked for through IDispatch: the caller's variable holds one value,
    // the rest of the answer must not land in the memory behind it.
    LONG memory[4] = {-1, -1, -1, -1};
    VARIANT byRef;
    V_VT(&byRef) = VT_BYREF | VT_I4;
    V_I4REF(&byRef) = memory;
    CallResult call = Invoke(control_.Get(), L"QueryInputCaps",
                             {Long(STC_FG_IC_FRAME_HINC_LIMITS), byRef, Long(16)});
    EXPECT_EQ(call.hr, S_OK);
    imaging::stSTT_LNG_RNG limits{};
    ASSERT_EQ(vtable_->QueryInputCaps(STC_FG_IC_FRAME_HINC_LIMITS, reinterpret_cast<long*>(&limits),
                                      sizeof(limits)),
              S_OK); // early-bound: the caller's whole buffer
    EXPECT_EQ(memory[0], limits.Min);
    EXPECT_EQ(memory[1], -1);
    EXPECT_EQ(memory[2], -1);
    EXPECT_EQ(memory[3], -1);
    EXPECT_NE(limits.Max, -1);
}

// A late-bound caller names one variable: a claimed size far beyond any answer is refused at
// once, with or without a device, and nothing is allocated for it.
TEST_F(VideoInputTest, LateBoundCapsQueriesRefuseHugeSizes) {
    for (const bool open : {false, true}) {
        if (open) Open(L"SIM7100");
        for (const wchar_t* member : {L"QueryInputCaps", L"QueryPassthruCaps"}) {
            for (const LONG size : {LONG{65537}, LONG{0x7FFFFFFF}}) {
                VARIANT variable;
                VariantInit(&variable);
                CallResult call =
                    Invoke(control_.Get(), member, {Long(1), RefTo(&variable), Long(size)});
                EXPECT_EQ(call.hr, DISP_E_EXCEPTION) << member << " " << size << " " << open;
                if (open) {
                    EXPECT_EQ(call.exception.scode, E_INVALIDARG) << member << " " << size;
                }
            }
        }
    }
}

VARIANT ArrayArgument(SAFEARRAY* array, VARTYPE element) {
    VARIANT v;
    V_VT(&v) = VT_ARRAY | element;
    V_ARRAY(&v) = array;
    return v;
}

TEST_F(VideoInputTest, LookupTablesRoundTripThroughLongArrays) {
    Open(L"SIM7100");
    com::UniqueSafeArray written(SafeArrayCreateVector(VT_I4, 0, 8));
    {
        com::SafeArrayData<LONG> data(written.Get());
        ASSERT_TRUE(data.Ok());
        for (LONG i = 0; i < 8; ++i)
            data.Data()[i] = 255 - i;
    }
    std::vector<KvTraceRecord> trace = Traced([&] {
        ASSERT_EQ(vtable_->WriteInputLUT(1, 16, ArrayArgument(written.Get(), VT_I4)), S_OK);
    });
    // The entries themselves travel, 32 bits each.
    const auto writes = RecordsOf(trace, imaging::msg::STM_WRITE_INPUT_LUT);
    ASSERT_EQ(writes.size(), 1u);
    uint32_t first[2] = {};
    memcpy(first, writes[0].Block, sizeof(first));
    EXPECT_EQ(first[0], 255u);
    EXPECT_EQ(first[1], 254u);

    com::UniqueSafeArray read(SafeArrayCreateVector(VT_UI4, 0, 8));
    trace = Traced(
        [&] { ASSERT_EQ(vtable_->ReadInputLUT(1, 16, ArrayArgument(read.Get(), VT_UI4)), S_OK); });
    const auto reads = RecordsOf(trace, imaging::msg::STM_READ_INPUT_LUT);
    ASSERT_EQ(reads.size(), 1u);
    const auto block = BlockOf<imaging::LutBlock>(reads[0]);
    EXPECT_EQ(block.Lut, 1);
    EXPECT_EQ(block.FirstEntry, 16u);
    EXPECT_EQ(block.EntryCount, 8u);
    com::SafeArrayData<ULONG> data(read.Get());
    ASSERT_TRUE(data.Ok());
    for (ULONG i = 0; i < 8; ++i)
        EXPECT_EQ(data.Data()[i], 255 - i);
    // The control released its lock: only this test's own access holds one.
    EXPECT_EQ(read.Get()->cLocks, 1u);
}

TEST_F(VideoInputTest, LookupTableBuffersThatCannotHoldEntriesAreRefused) {
    Open(L"SIM7100");
    const auto refused = [&](SAFEARRAY* array, VARTYPE element) {
        std::vector<KvTraceRecord> trace;
        HRESULT read = S_OK, write = S_OK;
        trace = Traced([&] {
            read = vtable_->ReadInputLUT(0, 0, ArrayArgument(array, element));
            write = vtable_->WriteInputLUT(0, 0, ArrayArgument(array, element));
        });
        EXPECT_EQ(read, E_INVALIDARG);
        EXPECT_EQ(write, E_INVALIDARG);
        EXPECT_TRUE(RecordsOf(trace, imaging::msg::STM_READ_INPUT_LUT).empty());
        EXPECT_TRUE(RecordsOf(trace, imaging::msg::STM_WRITE_INPUT_LUT).empty());
        EXPECT_EQ(array->cLocks, 0u);
    };
    // A script's array with an element that is no 32-bit entry.
    com::UniqueSafeArray variants(SafeArrayCreateVector(VT_VARIANT, 0, 4));
    VARIANT tooLarge;
    V_VT(&tooLarge) = VT_R8;
    V_R8(&tooLarge) = 3e9;
    const com::UniqueBstr abc(L"abc");
    for (const VARIANT& entry : {tooLarge, Text(abc.Get())}) {
        LONG last = 3;
        SafeArrayPutElement(variants.Get(), &last, const_cast<VARIANT*>(&entry));
        HRESULT write = S_OK;
        const auto trace = Traced(
            [&] { write = vtable_->WriteInputLUT(0, 0, ArrayArgument(variants.Get(), VT_VARIANT)); });
        EXPECT_EQ(write, E_INVALIDARG);
        EXPECT_TRUE(RecordsOf(trace, imaging::msg::STM_WRITE_INPUT_LUT).empty());
        EXPECT_EQ(variants.Get()->cLocks, 0u);
    }
    // Bytes are too narrow for the driver's 32-bit entries.
    com::UniqueSafeArray bytes(SafeArrayCreateVector(VT_UI1, 0, 16));
    refused(bytes.Get(), VT_UI1);
    com::UniqueSafeArray strings(SafeArrayCreateVector(VT_BSTR, 0, 4));
    refused(strings.Get(), VT_BSTR);
    // Two dimensions.
    SAFEARRAYBOUND bounds[2] = {{4, 0}, {4, 0}};
    com::UniqueSafeArray square(SafeArrayCreate(VT_I4, 2, bounds));
    refused(square.Get(), VT_I4);
    // No array at all.
    EXPECT_EQ(vtable_->WriteInputLUT(0, 0, Long(5)), E_INVALIDARG);

    // The same refusal as a script sees it, with the array passed by reference.
    VARIANT scriptArray = ArrayArgument(variants.Get(), VT_VARIANT);
    CallResult call =
        Invoke(control_.Get(), L"WriteInputLUT", {Short(0), Long(0), RefTo(&scriptArray)});
    EXPECT_EQ(call.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(call.exception.scode, E_INVALIDARG);
}

} // namespace
} // namespace test
