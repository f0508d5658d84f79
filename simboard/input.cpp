// Input unit: input capabilities, the input source, input controls per source, input lookup
// tables, the based source and the triggers.
#include <algorithm>
#include <vector>

#include "board.h"
#include "units.h"

namespace kvboard {

using namespace imaging;

namespace {

bool OneBitOf(int32_t value, uint32_t mask) {
    const auto v = static_cast<uint32_t>(value);
    return v != 0 && (v & (v - 1)) == 0 && (v & mask) == v;
}

// 0 when the control accepts the value; else STS_RANGE, STS_GRANULARITY or STS_INPUTSOURCE.
uint32_t CheckValue(const ControlSpec& c, int32_t value, uint32_t sources) {
    switch (c.check) {
    case Check::Range:
        if (value < c.min || value > c.max) return drv::STS_RANGE;
        if ((int64_t{value} - c.min) % c.step != 0) return drv::STS_GRANULARITY;
        return 0;
    case Check::OneOf: return OneBitOf(value, c.mask) ? 0 : drv::STS_RANGE;
    case Check::OneOfOrOff: return value == 0 || OneBitOf(value, c.mask) ? 0 : drv::STS_RANGE;
    case Check::SyncSource: {
        const auto kind = static_cast<int32_t>(value & 0xFFFF);
        const uint32_t channel = static_cast<uint32_t>(value) >> 16;
        if (!OneBitOf(kind, c.mask)) return drv::STS_RANGE;
        if (kind == STC_FG_CSYNC_SPECIFIC_SRC) return channel < sources ? 0 : drv::STS_INPUTSOURCE;
        return channel == 0 ? 0 : drv::STS_RANGE;
    }
    case Check::List:
        return std::find(c.list.begin(), c.list.end(), value) != c.list.end() ? 0 : drv::STS_RANGE;
    }
    return drv::STS_RANGE;
}

// ---- Input capabilities ------------------------------------------------------------------
// Every key is answered from the model's data, so that capabilities and the checks of the
// controls agree. A "does" key of a control group answers 1 when the model has the group's
// control; a limits key of a control the model lacks is not supported (STS_UNSUPKEY).

enum class From : uint8_t {
    SourceCount,
    LutCount,
    LutMaxIndex,
    LutMaxValue,
    PixelDepth,
    MaxFrameSize,      // maximum frame width and height (two 32-bit values)
    HasControl,        // flag: the model has `control`
    ControlRange,      // stSTT_LNG_RNG of a range `control`
    ControlMask,       // the bits a choice `control` accepts
    ControlListLimits, // stSTT_LIST_LIMITS of a list `control`
    ControlList,       // the values of a list `control`
    DoesTrigger,
    TriggerTypes,
    MultTriggerTypes,
    MultTriggerModes,
    DoesEventCounting,
    EventTypes,
    EventCounts,
    SingleFrameOps,
    MultFrameOps,
    DoesStrobe,
    StrobeTypes,
    StrobeListLimits,
    StrobeList,
    DoesColor,
    Yes,
};

struct CapRule {
    uint32_t key;
    From from;
    uint32_t control = 0;
};

// clang-format off
constexpr CapRule kInputCaps[] = {
    {STC_FG_IC_INPUT_SOURCE_COUNT, From::SourceCount},
    {STC_FG_IC_ILUT_COUNT, From::LutCount},
    {STC_FG_IC_MAX_ILUT_INDEX, From::LutMaxIndex},
    {STC_FG_IC_MAX_ILUT_VALUE, From::LutMaxValue},
    {STC_FG_IC_MAX_FRAME_SIZE, From::MaxFrameSize},
    {STC_FG_IC_PIXEL_DEPTH, From::PixelDepth},
    {STC_FG_IC_FRAME_TYPE_LIMITS, From::ControlMask, STC_FG_CTL_FRAME_TYPE},
    {STC_FG_IC_DOES_INPUT_FILTER, From::HasControl, STC_FG_CTL_INPUT_FILTER},
    {STC_FG_IC_INPUT_FILTER_LIMITS, From::ControlMask, STC_FG_CTL_INPUT_FILTER},
    {STC_FG_IC_DOES_PROG_A2D, From::HasControl, STC_FG_CTL_BLACK_LEVEL},
    {STC_FG_IC_BLACK_LEVEL_LIMITS, From::ControlRange, STC_FG_CTL_BLACK_LEVEL},
    {STC_FG_IC_WHITE_LEVEL_LIMITS, From::ControlRange, STC_FG_CTL_WHITE_LEVEL},
    {STC_FG_IC_DOES_VIDEO_SELECT, From::HasControl, STC_FG_CTL_VIDEO_TYPE},
    {STC_FG_IC_VIDEO_TYPE_LIMITS, From::ControlMask, STC_FG_CTL_VIDEO_TYPE},
    {STC_FG_IC_CSYNC_SOURCE_LIMITS, From::ControlMask, STC_FG_CTL_CSYNC_SOURCE},
    {STC_FG_IC_CSYNC_THRESH_LIST_LIMITS, From::ControlListLimits, STC_FG_CTL_CSYNC_THRESH},
    {STC_FG_IC_CSYNC_THRESH_LIST, From::ControlList, STC_FG_CTL_CSYNC_THRESH},
    {STC_FG_IC_DOES_ACTIVE_VIDEO, From::HasControl, STC_FG_CTL_FIRST_ACTIVE_PIXEL},
    {STC_FG_IC_CLAMP_START_LIMITS, From::ControlRange, STC_FG_CTL_CLAMP_START},
    {STC_FG_IC_CLAMP_END_LIMITS, From::ControlRange, STC_FG_CTL_CLAMP_END},
    {STC_FG_IC_ACTIVE_PIXEL_LIMITS, From::ControlRange, STC_FG_CTL_FIRST_ACTIVE_PIXEL},
    {STC_FG_IC_ACTIVE_WIDTH_LIMITS, From::ControlRange, STC_FG_CTL_ACTIVE_PIXEL_COUNT},
    {STC_FG_IC_ACTIVE_LINE_LIMITS, From::ControlRange, STC_FG_CTL_FIRST_ACTIVE_LINE},
    {STC_FG_IC_ACTIVE_HEIGHT_LIMITS, From::ControlRange, STC_FG_CTL_ACTIVE_LINE_COUNT},
    {STC_FG_IC_BACK_PORCH_START_LIMITS, From::ControlRange, STC_FG_CTL_BACK_PORCH_START},
    {STC_FG_IC_TOTAL_PIX_PER_LINE_LIMITS, From::ControlRange, STC_FG_CTL_TOTAL_PIX_PER_LINE},
    {STC_FG_IC_TOTAL_LINES_PER_FLD_LIMITS, From::ControlRange, STC_FG_CTL_TOTAL_LINES_PER_FLD},
    {STC_FG_IC_DOES_SYNC_SENTINEL, From::HasControl, STC_FG_CTL_SYNC_SENTINEL},
    {STC_FG_IC_SYNC_SENTINEL_TYPE_LIMITS, From::ControlMask, STC_FG_CTL_SYNC_SENTINEL},
    {STC_FG_IC_DOES_FRAME_SELECT, From::HasControl, STC_FG_CTL_FRAME_WIDTH},
    {STC_FG_IC_FRAME_TOP_LIMITS, From::ControlRange, STC_FG_CTL_FRAME_TOP},
    {STC_FG_IC_FRAME_LEFT_LIMITS, From::ControlRange, STC_FG_CTL_FRAME_LEFT},
    {STC_FG_IC_FRAME_WIDTH_LIMITS, From::ControlRange, STC_FG_CTL_FRAME_WIDTH},
    {STC_FG_IC_FRAME_HEIGHT_LIMITS, From::ControlRange, STC_FG_CTL_FRAME_HEIGHT},
    {STC_FG_IC_FRAME_HINC_LIMITS, From::ControlRange, STC_FG_CTL_HOR_FRAME_INC},
    {STC_FG_IC_FRAME_VINC_LIMITS, From::ControlRange, STC_FG_CTL_VER_FRAME_INC},
    {STC_FG_IC_DOES_PIXEL_CLOCK, From::HasControl, STC_FG_CTL_CLOCK_SOURCE},
    {STC_FG_IC_CLOCK_FREQ_LIMITS, From::ControlRange, STC_FG_CTL_CLOCK_FREQ},
    {STC_FG_IC_CLOCK_SOURCE_LIMITS, From::ControlMask, STC_FG_CTL_CLOCK_SOURCE},
    {STC_FG_IC_DOES_EVENT_COUNTING, From::DoesEventCounting},
    {STC_FG_IC_EVENT_TYPE_LIMITS, From::EventTypes},
    {STC_FG_IC_EVENT_COUNT_LIMITS, From::EventCounts},
    {STC_FG_IC_DOES_TRIGGER, From::DoesTrigger},
    {STC_FG_IC_TRIGGER_TYPE_LIMITS, From::TriggerTypes},
    {STC_FG_IC_MULT_TRIGGER_TYPE_LIMITS, From::MultTriggerTypes},
    {STC_FG_IC_MULT_TRIGGER_MODE_LIMITS, From::MultTriggerModes},
    {STC_FG_IC_SINGLE_FRAME_OPS, From::SingleFrameOps},
    {STC_FG_IC_MULT_FRAME_OPS, From::MultFrameOps},
    {STC_FG_IC_DOES_QUERY_INPUT_FILTER, From::HasControl, STC_FG_CTL_INPUT_FILTER},
    {STC_FG_IC_DOES_QUERY_PROG_A2D, From::HasControl, STC_FG_CTL_BLACK_LEVEL},
    {STC_FG_IC_DOES_QUERY_VIDEO_SELECT, From::HasControl, STC_FG_CTL_VIDEO_TYPE},
    {STC_FG_IC_DOES_QUERY_SYNC_SENTINEL, From::HasControl, STC_FG_CTL_SYNC_SENTINEL},
    {STC_FG_IC_DOES_QUERY_FRAME_SELECT, From::HasControl, STC_FG_CTL_FRAME_WIDTH},
    {STC_FG_IC_DOES_QUERY_PIXEL_CLOCK, From::HasControl, STC_FG_CTL_CLOCK_SOURCE},
    {STC_FG_IC_DOES_QUERY_ACTIVE_VIDEO, From::HasControl, STC_FG_CTL_FIRST_ACTIVE_PIXEL},
    {STC_FG_IC_DOES_DRAW_ACQUIRED_FRAME, From::Yes},
    {STC_FG_IC_STROBE_PULSE_WIDTH_LIST_LIMITS, From::StrobeListLimits},
    {STC_FG_IC_STROBE_PULSE_WIDTH_LIST, From::StrobeList},
    {STC_FG_IC_STROBE_TYPE_LIMITS, From::StrobeTypes},
    {STC_FG_IC_DOES_DRAW_ACQUIRED_FRAME_EX, From::Yes},
    {STC_FG_IC_DOES_STROBE, From::DoesStrobe},
    {STC_FG_IC_DOES_COLOR, From::DoesColor},
};
// clang-format on

uint32_t Flag(bool on) {
    return on ? 1 : 0;
}

Result PutList(Output& out, std::span<const int32_t> list) {
    return out.Write(list.data(), list.size_bytes());
}

Result PutListLimits(Output& out, std::span<const int32_t> list, int32_t nominal) {
    if (list.empty()) return Fail(drv::STS_UNSUPKEY);
    const auto [min, max] = std::minmax_element(list.begin(), list.end());
    return out.Put(stSTT_LIST_LIMITS{static_cast<int32_t>(list.size()), *min, *max, nominal});
}

Result AnswerCap(Board& board, const CapRule& rule, Output& out) {
    const ModelSpec& m = board.model();
    const int index = board.ControlIndex(rule.control);
    const ControlSpec* c = index < 0 ? nullptr : &board.controls()[index];
    const bool isRange = c != nullptr && c->check == Check::Range;
    const bool isChoice =
        c != nullptr && (c->check == Check::OneOf || c->check == Check::OneOfOrOff ||
                         c->check == Check::SyncSource);
    const bool isList = c != nullptr && c->check == Check::List;
    switch (rule.from) {
    case From::SourceCount: return out.Put(board.inputSources());
    case From::LutCount: return out.Put(m.lutCount);
    case From::LutMaxIndex: return out.Put(m.lutEntries - 1);
    case From::LutMaxValue: return out.Put(m.lutMaxValue);
    case From::PixelDepth: return out.Put(m.pixelDepth);
    case From::MaxFrameSize: {
        const ControlSpec* w = m.FindControl(STC_FG_CTL_FRAME_WIDTH);
        const ControlSpec* h = m.FindControl(STC_FG_CTL_FRAME_HEIGHT);
        if (w == nullptr || h == nullptr) break;
        const uint32_t size[2] = {static_cast<uint32_t>(w->max), static_cast<uint32_t>(h->max)};
        return out.Write(size, sizeof size);
    }
    case From::HasControl: return out.Put(Flag(c != nullptr));
    case From::ControlRange:
        if (!isRange) break;
        return out.Put(stSTT_LNG_RNG{c->min, c->max, c->step, c->nominal});
    case From::ControlMask:
        if (!isChoice) break;
        return out.Put(c->mask);
    case From::ControlListLimits:
        if (!isList) break;
        return PutListLimits(out, c->list, c->nominal);
    case From::ControlList:
        if (!isList) break;
        return PutList(out, c->list);
    case From::DoesTrigger:
        return out.Put(Flag((m.triggerTypes & ~ValueBit(STC_FG_TRIGGER_NONE)) != 0));
    case From::TriggerTypes: return out.Put(m.triggerTypes);
    case From::MultTriggerTypes: return out.Put(m.multTriggerTypes);
    case From::MultTriggerModes: return out.Put(m.multTriggerModes);
    case From::DoesEventCounting: return out.Put(Flag(m.eventTypes != 0));
    case From::EventTypes:
        if (m.eventTypes == 0) break;
        return out.Put(m.eventTypes);
    case From::EventCounts:
        if (m.eventTypes == 0) break;
        return out.Put(m.eventCount);
    case From::SingleFrameOps: return out.Put(m.singleFrameOps);
    case From::MultFrameOps: return out.Put(m.multFrameOps);
    case From::DoesStrobe: return out.Put(Flag(m.strobeTypes != 0));
    case From::StrobeTypes:
        if (m.strobeTypes == 0) break;
        return out.Put(m.strobeTypes);
    case From::StrobeListLimits:
        return PutListLimits(out, m.strobeWidths, m.strobeWidths.empty() ? 0 : m.strobeWidths[0]);
    case From::StrobeList:
        if (m.strobeWidths.empty()) break;
        return PutList(out, m.strobeWidths);
    case From::DoesColor: return out.Put(Flag(m.kind == STC_IMG_DEV_COLOR_FRAME_GRABBER));
    case From::Yes: return out.Put(uint32_t{1});
    }
    return Fail(drv::STS_UNSUPKEY);
}

Result QueryInputCaps(Call& call) {
    const auto key = static_cast<uint32_t>(call.param1);
    Output out(call.param2);
    for (const CapRule& rule : kInputCaps)
        if (rule.key == key) return AnswerCap(call.board, rule, out);
    return Fail(drv::STS_UNSUPKEY);
}

// ---- Input source ------------------------------------------------------------------------

Result SetInputSource(Call& call) {
    const auto source = static_cast<uint16_t>(call.param1 & 0xFFFF);
    Output out(call.param2);
    if (const uint32_t status = out.Check(sizeof source)) return Fail(status);
    if (source >= call.board.inputSources()) return Fail(drv::STS_INPUTSOURCE);
    call.board.inputSource = source;
    return out.Put(source);
}

Result GetInputSource(Call& call) {
    return Output(call.param2).Put(call.board.inputSource);
}

// ---- Input controls ----------------------------------------------------------------------

// The control's slot for a source, or the status that refuses the pair.
uint32_t FindControl(Board& board, uint16_t source, uint32_t key, int& index) {
    if (source >= board.inputSources()) return drv::STS_INPUTSOURCE;
    index = board.ControlIndex(key);
    return index < 0 ? drv::STS_CONTROL : 0;
}

Result SetInputControl(Call& call) {
    InputControlWriteBlock block{};
    if (!ReadBlock(call.param1, block)) return Fail(drv::STS_NULL);
    Output out(call.param2);
    if (const uint32_t status = out.Check(sizeof block.Value)) return Fail(status);
    int index = -1;
    if (const uint32_t status = FindControl(call.board, block.Source, block.Control, index))
        return Fail(status);
    const auto value = static_cast<int32_t>(block.Value);
    const ControlSpec& spec = call.board.controls()[index];
    if (const uint32_t status = CheckValue(spec, value, call.board.inputSources()))
        return Fail(status);
    call.board.Value(block.Source, index) = value;
    return out.Put(value);
}

Result GetInputControl(Call& call) {
    InputControlReadBlock block{};
    if (!ReadBlock(call.param1, block)) return Fail(drv::STS_NULL);
    Output out(call.param2);
    if (const uint32_t status = out.Check(sizeof(int32_t))) return Fail(status);
    int index = -1;
    if (const uint32_t status = FindControl(call.board, block.Source, block.Control, index))
        return Fail(status);
    return out.Put(call.board.Value(block.Source, index));
}

// ---- Input lookup tables -----------------------------------------------------------------

// 0 when the block names entries of an existing table; else STS_LUT.
uint32_t CheckLutBlock(const Board& board, const LutBlock& block) {
    const ModelSpec& m = board.model();
    if (block.Lut >= m.lutCount) return drv::STS_LUT;
    if (uint64_t{block.FirstEntry} + block.EntryCount > m.lutEntries) return drv::STS_LUT;
    return 0;
}

Result ReadInputLut(Call& call) {
    LutBlock block{};
    if (!ReadBlock(call.param1, block)) return Fail(drv::STS_NULL);
    if (const uint32_t status = CheckLutBlock(call.board, block)) return Fail(status);
    const std::vector<uint32_t>& lut = call.board.luts[block.Lut];
    return Output(call.param2)
        .Write(lut.data() + block.FirstEntry, size_t{block.EntryCount} * kLutEntryBytes);
}

Result WriteInputLut(Call& call) {
    LutBlock block{};
    if (!ReadBlock(call.param1, block)) return Fail(drv::STS_NULL);
    if (call.param2 == 0) return Fail(drv::STS_NULL);
    if (const uint32_t status = CheckLutBlock(call.board, block)) return Fail(status);
    std::vector<uint32_t> entries(block.EntryCount);
    std::memcpy(entries.data(), reinterpret_cast<const void*>(call.param2),
                entries.size() * kLutEntryBytes);
    const uint32_t maxValue = call.board.model().lutMaxValue;
    if (std::any_of(entries.begin(), entries.end(), [=](uint32_t e) { return e > maxValue; }))
        return Fail(drv::STS_RANGE);
    std::copy(entries.begin(), entries.end(),
              call.board.luts[block.Lut].begin() + block.FirstEntry);
    return Ok();
}

// ---- Based source ------------------------------------------------------------------------

Result SelectBasedSource(Call& call) {
    BasedSourceBlock block{};
    if (!ReadBlock(call.param1, block)) return Fail(drv::STS_NULL);
    if (block.Select > 1) return Fail(drv::STS_RANGE);
    if (block.Source >= call.board.inputSources()) return Fail(drv::STS_INPUTSOURCE);
    call.board.basedSourceSelected = block.Select == 1;
    call.board.basedSource = block.Source;
    return Ok();
}

// ---- Triggers ----------------------------------------------------------------------------

bool InSet(uint32_t set, uint32_t value) {
    return value >= 1 && value <= 32 && (set & ValueBit(value));
}

Result SetTrigger(Call& call) {
    TriggerBlock block{};
    if (!ReadBlock(call.param1, block)) return Fail(drv::STS_NULL);
    Output out(call.param2);
    if (const uint32_t status = out.Check(sizeof block)) return Fail(status);
    if (!InSet(call.board.model().triggerTypes, block.Type) || block.Transition > 1)
        return Fail(drv::STS_RANGE);
    call.board.trigger = block;
    return out.Put(block);
}

Result GetTrigger(Call& call) {
    return Output(call.param2).Put(call.board.trigger);
}

Result SetMultTrigger(Call& call) {
    MultTriggerBlock block{};
    if (!ReadBlock(call.param1, block)) return Fail(drv::STS_NULL);
    Output out(call.param2);
    if (const uint32_t status = out.Check(sizeof block)) return Fail(status);
    const ModelSpec& m = call.board.model();
    if (!InSet(m.multTriggerTypes, block.Type) || block.Transition > 1 ||
        !InSet(m.multTriggerModes, block.Mode))
        return Fail(drv::STS_RANGE);
    call.board.multTrigger = block;
    return out.Put(block);
}

Result GetMultTrigger(Call& call) {
    return Output(call.param2).Put(call.board.multTrigger);
}

constexpr MessageHandler kHandlers[] = {
    {Family::Standard, msg::STM_QUERY_INPUT_CAPS, QueryInputCaps},
    {Family::Standard, msg::STM_SET_INPUT_SOURCE, SetInputSource},
    {Family::Standard, msg::STM_GET_INPUT_SOURCE, GetInputSource},
    {Family::Standard, msg::STM_SET_INPUT_CONTROL, SetInputControl},
    {Family::Standard, msg::STM_GET_INPUT_CONTROL, GetInputControl},
    {Family::Standard, msg::STM_READ_INPUT_LUT, ReadInputLut},
    {Family::Standard, msg::STM_WRITE_INPUT_LUT, WriteInputLut},
    {Family::Standard, msg::STM_SELECT_BASED_SOURCE, SelectBasedSource},
    {Family::Standard, msg::STM_SET_TRIGGER, SetTrigger},
    {Family::Standard, msg::STM_GET_TRIGGER, GetTrigger},
    {Family::Standard, msg::STM_SET_MULT_TRIGGER, SetMultTrigger},
    {Family::Standard, msg::STM_GET_MULT_TRIGGER, GetMultTrigger},
};

} // namespace

std::span<const MessageHandler> InputHandlers() {
    return kHandlers;
}

} // namespace kvboard
