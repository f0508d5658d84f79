// Color family (KV7300, KV7500): the interface query, storage modes, image parameters,
// hardware scaling, digital I/O, signal type, sync master, plane extraction and plane
// drawing. What a board offers is its model's ColorSpec; a message of an interface the
// board lacks fails with STS_UNSUPKEY. Failures leave standard driver statuses.
#include <algorithm>
#include <bit>
#include <vector>

#include "board.h"
#include "color_state.h"
#include "digital_lines.h"
#include "extension_codes.h"
#include "gray_draw.h"
#include "units.h"

namespace kvboard {

using namespace imaging;

namespace {

const ColorSpec& SpecOf(const Board& board) {
    return *board.model().color;
}

bool Offers(const Board& board, ColorInterface i) {
    return (SpecOf(board).interfaces & InterfaceBit(i)) != 0;
}

// The color query word: source in bits 0-7, operation in bits 8-15.
struct QueryWord {
    uint32_t source;
    uint32_t operation;
};
QueryWord Decode(LPARAM word) {
    const auto w = static_cast<uint32_t>(word);
    return {w & 0xFF, (w >> 8) & 0xFF};
}

uint32_t* ValueAt(LPARAM address) {
    return reinterpret_cast<uint32_t*>(address);
}

// ---- Interface query ---------------------------------------------------------------------

Result QueryInterface(Call& call) {
    uint32_t code = 0;
    if (!ReadBlock(call.param1, code)) return Fail(drv::STS_NULL);
    if (code == 0 || code >= 32 || (SpecOf(call.board).interfaces & (1u << code)) == 0)
        return Fail(drv::STS_UNSUPKEY);
    return Ok();
}

// ---- Storage mode ------------------------------------------------------------------------
// Operation 4 answers the capability mask, 7 the current mode, 8 sets it.

Result StorageMode(Call& call) {
    if (!Offers(call.board, ColorInterface::StorageMode)) return Fail(drv::STS_UNSUPKEY);
    uint32_t* value = ValueAt(call.param2);
    if (value == nullptr) return Fail(drv::STS_NULL);
    const QueryWord q = Decode(call.param1);
    if (q.source >= call.board.inputSources()) return Fail(drv::STS_INPUTSOURCE);
    const ColorSpec& spec = SpecOf(call.board);
    switch (q.operation) {
    case STC_QUERY_CAPABILITY: *value = spec.storageModes; return Ok();
    case STC_READ_CONTROL: *value = CurrentStorageMode(call.board); return Ok();
    case STC_WRITE_CONTROL:
        if (!SetStorageMode(call.board, *value)) return Fail(drv::STS_RANGE);
        return Ok();
    default: return Fail(drv::STS_RANGE);
    }
}

// ---- Image parameters --------------------------------------------------------------------

Result ImageParameter(Call& call) {
    if (!Offers(call.board, ColorInterface::ImageParameter)) return Fail(drv::STS_UNSUPKEY);
    ColorOperationBlock block{};
    if (!ReadBlock(call.param1, block) || block.Parameter == nullptr) return Fail(drv::STS_NULL);
    uint32_t* value = ValueAt(call.param2);
    if (value == nullptr) return Fail(drv::STS_NULL);
    if (block.Source >= call.board.inputSources()) return Fail(drv::STS_INPUTSOURCE);
    const ColorParameterSpec* param = FindColorParameter(*block.Parameter);
    if (param == nullptr) return Fail(drv::STS_UNSUPKEY);
    switch (block.Operation) {
    case STC_QUERY_CONTROL_MIN: *value = static_cast<uint32_t>(param->min); return Ok();
    case STC_QUERY_CONTROL_MAX: *value = static_cast<uint32_t>(param->max); return Ok();
    case STC_QUERY_CONTROL_GRANULARITY: *value = static_cast<uint32_t>(param->step); return Ok();
    case STC_QUERY_CONTROL_NOMINAL: *value = static_cast<uint32_t>(param->nominal); return Ok();
    case STC_READ_CONTROL:
        *value = static_cast<uint32_t>(ReadColorParameter(call.board, *param));
        return Ok();
    case STC_WRITE_CONTROL: {
        const auto v = static_cast<int32_t>(*value);
        if (v < param->min || v > param->max) return Fail(drv::STS_RANGE);
        if ((int64_t{v} - param->min) % param->step != 0) return Fail(drv::STS_GRANULARITY);
        WriteColorParameter(call.board, *param, v);
        return Ok();
    }
    default: return Fail(drv::STS_RANGE);
    }
}

// ---- Hardware scaling --------------------------------------------------------------------
// Operations 0 to 3 answer the limits, 7 the current scaling, 8 sets it (the control
// programs it when it allocates a frame); the scaler starts at its nominal setting.
struct ScalingState : UnitState {
    bool set = false;
    STT_SCALE_PARAM current{};
};

Result Scaling(Call& call) {
    if (!Offers(call.board, ColorInterface::HardwareScaling)) return Fail(drv::STS_UNSUPKEY);
    auto* answer = reinterpret_cast<STT_SCALE_PARAM*>(call.param2);
    if (answer == nullptr) return Fail(drv::STS_NULL);
    const QueryWord q = Decode(call.param1);
    if (q.source >= call.board.inputSources()) return Fail(drv::STS_INPUTSOURCE);
    const ColorSpec& spec = SpecOf(call.board);
    if (q.operation <= STC_QUERY_CONTROL_NOMINAL) {
        *answer = spec.scaling[q.operation];
        return Ok();
    }
    ScalingState& state = call.board.Unit<ScalingState>();
    if (q.operation == STC_READ_CONTROL) {
        *answer = state.set ? state.current : spec.scaling[STC_QUERY_CONTROL_NOMINAL];
        return Ok();
    }
    if (q.operation == STC_WRITE_CONTROL) {
        const STT_SCALE_PARAM& min = spec.scaling[STC_QUERY_CONTROL_MIN];
        const STT_SCALE_PARAM& max = spec.scaling[STC_QUERY_CONTROL_MAX];
        const STT_SCALE_PARAM& step = spec.scaling[STC_QUERY_CONTROL_GRANULARITY];
        const STT_SCALE_PARAM v = *answer;
        if (v.hscale < min.hscale || v.hscale > max.hscale || v.vscale < min.vscale ||
            v.vscale > max.vscale)
            return Fail(drv::STS_RANGE);
        if ((step.hscale && (v.hscale - min.hscale) % step.hscale) ||
            (step.vscale && (v.vscale - min.vscale) % step.vscale))
            return Fail(drv::STS_GRANULARITY);
        state.current = v;
        state.set = true;
        return Ok();
    }
    return Fail(drv::STS_RANGE);
}

// ---- Digital I/O -------------------------------------------------------------------------
// lParam1: 5 reads the configuration (output lines), 6 writes it (configurable ports
// only), 7 reads the lines, 8 writes the output pattern.

Result DigitalIo(Call& call) {
    if (!Offers(call.board, ColorInterface::DigitalIo)) return Fail(drv::STS_UNSUPKEY);
    uint32_t* value = ValueAt(call.param2);
    if (value == nullptr) return Fail(drv::STS_NULL);
    const DigitalPortSpec& spec = *call.board.model().digitalPort;
    DigitalPortState& port = DigitalPortState::Of(call.board);
    const uint32_t lines = spec.configurable ? spec.lines : spec.outputs | spec.inputs;
    switch (static_cast<uint32_t>(call.param1)) {
    case STC_QUERY_CONFIGURATION: *value = OutputLines(spec, port.config); return Ok();
    case STC_CONFIGURE_CONTROL:
        if (!spec.configurable) return Fail(drv::STS_UNSUPKEY);
        if ((*value & ~spec.lines) != 0) return Fail(drv::STS_RANGE);
        port.config = *value;
        return Ok();
    case STC_READ_CONTROL: *value = ReadLines(call.board, port.config, port.latch); return Ok();
    case STC_WRITE_CONTROL:
        if ((*value & ~lines) != 0) return Fail(drv::STS_RANGE);
        port.latch = *value;
        return Ok();
    default: return Fail(drv::STS_RANGE);
    }
}

// ---- Signal type -------------------------------------------------------------------------
// Operation 4 answers the SignalBit set of the types the board decodes, 7 reads, 8 writes.

struct SignalState : UnitState {
    std::vector<uint32_t> types; // per source

    static SignalState& Of(Board& board) {
        SignalState& state = board.Unit<SignalState>();
        if (state.types.empty())
            state.types.assign(board.inputSources(), SpecOf(board).defaultSignal);
        return state;
    }
};

Result SignalTypeMessage(Call& call) {
    if (!Offers(call.board, ColorInterface::SignalType)) return Fail(drv::STS_UNSUPKEY);
    uint32_t* value = ValueAt(call.param2);
    if (value == nullptr) return Fail(drv::STS_NULL);
    const QueryWord q = Decode(call.param1);
    if (q.source >= call.board.inputSources()) return Fail(drv::STS_INPUTSOURCE);
    const ColorSpec& spec = SpecOf(call.board);
    uint32_t& current = SignalState::Of(call.board).types[q.source];
    switch (q.operation) {
    case STC_QUERY_CAPABILITY: *value = spec.signalTypes; return Ok();
    case STC_READ_CONTROL: *value = current; return Ok();
    case STC_WRITE_CONTROL:
        if (*value >= 32 || (spec.signalTypes & (1u << *value)) == 0) return Fail(drv::STS_RANGE);
        current = *value;
        return Ok();
    default: return Fail(drv::STS_RANGE);
    }
}

// ---- Sync master -------------------------------------------------------------------------

struct ColorSyncState : UnitState {
    uint32_t enabled = 0; // as written: the control keeps the value it reads back
};

Result SyncMaster(Call& call) {
    if (!Offers(call.board, ColorInterface::SyncMasterMode)) return Fail(drv::STS_UNSUPKEY);
    ColorOperationBlock block{};
    if (!ReadBlock(call.param1, block) || block.Parameter == nullptr) return Fail(drv::STS_NULL);
    uint32_t* value = ValueAt(call.param2);
    if (value == nullptr) return Fail(drv::STS_NULL);
    if (block.Source >= call.board.inputSources()) return Fail(drv::STS_INPUTSOURCE);
    if (*block.Parameter != kSyncMasterEnable) return Fail(drv::STS_UNSUPKEY);
    ColorSyncState& sync = call.board.Unit<ColorSyncState>();
    switch (block.Operation) {
    case STC_READ_CONTROL: *value = sync.enabled; return Ok();
    case STC_WRITE_CONTROL:
        if (!SpecOf(call.board).syncMasterWritable) return Fail(drv::STS_CONTROL);
        sync.enabled = *value;
        return Ok();
    default: return Fail(drv::STS_RANGE);
    }
}

// ---- Planes ------------------------------------------------------------------------------

// Element sizes a plane buffer may have (the host's arrays of bytes, words or longs).
bool ValidElement(uint32_t size) {
    return size == 1 || size == 2 || size == 4;
}

// 0 when a plane record describes a usable buffer.
uint32_t CheckPlane(const STT_BUFFER_INFO& plane) {
    if (plane.BufferAddr == nullptr) return drv::STS_NULL;
    if (plane.StructSize != sizeof(STT_BUFFER_INFO)) return drv::STS_STRUCTSIZ;
    if (plane.Width == 0 || plane.Height == 0 || !ValidElement(plane.PixelDepth))
        return drv::STS_RANGE;
    if (uint64_t{plane.Width} * plane.Height * plane.PixelDepth > plane.BufferSize)
        return drv::STS_BUFSIZ;
    return 0;
}

Result ExtractPlanes(Call& call) {
    if (!Offers(call.board, ColorInterface::ExtractFrame)) return Fail(drv::STS_UNSUPKEY);
    auto* records = reinterpret_cast<STT_BUFFER_INFO*>(call.param2);
    if (records == nullptr) return Fail(drv::STS_NULL);
    const uint32_t mask = records[0].Flags;
    if (mask == 0 || (mask & ~(kPlaneRed | kPlaneGreen | kPlaneBlue)) != 0)
        return Fail(drv::STS_INVALID_FLAGS);
    std::vector<PlaneTarget> targets;
    size_t next = 0;
    for (const uint32_t plane : {kPlaneRed, kPlaneGreen, kPlaneBlue}) {
        if (!(mask & plane)) continue;
        const STT_BUFFER_INFO& record = records[next++];
        if (const uint32_t status = CheckPlane(record)) return Fail(status);
        targets.push_back({plane, static_cast<uint8_t*>(record.BufferAddr), record.Width,
                           record.Height, record.PixelDepth});
    }
    if (const uint32_t status =
            ExtractFramePlanes(call.board, static_cast<FrameHandle>(call.param1), targets))
        return Fail(status);
    return Ok();
}

// Draws one plane as gray levels at the window's origin; elements wider than a byte are
// clipped to 255.
Result DrawPlane(Call& call) {
    if (!Offers(call.board, ColorInterface::DrawBuffer)) return Fail(drv::STS_UNSUPKEY);
    STT_BUFFER_INFO plane{};
    if (!ReadBlock(call.param1, plane)) return Fail(drv::STS_NULL);
    if (const uint32_t status = CheckPlane(plane)) return Fail(status);
    const auto window = reinterpret_cast<HWND>(call.param2);
    if (!IsWindow(window)) return Fail(drv::STS_INVALIDHWND);
    const size_t count = size_t{plane.Width} * plane.Height;
    std::vector<uint8_t> gray(count);
    const auto* src = static_cast<const uint8_t*>(plane.BufferAddr);
    for (size_t i = 0; i < count; ++i) {
        uint32_t v = 0;
        std::memcpy(&v, src + i * plane.PixelDepth, plane.PixelDepth);
        gray[i] = static_cast<uint8_t>(std::min<uint32_t>(v, 255));
    }
    if (!DrawGray(window, 0, 0, plane.Width, plane.Height, gray.data(), plane.Width))
        return Fail(drv::STS_SYSERROR);
    return Ok();
}

constexpr MessageHandler kHandlers[] = {
    {Family::Color, msg::STM_CLR_QUERY_INTERFACE, QueryInterface},
    {Family::Color, msg::STM_CLR_STORAGE_MODE, StorageMode},
    {Family::Color, msg::STM_CLR_IMAGE_PARAMETER, ImageParameter},
    {Family::Color, msg::STM_CLR_SCALING, Scaling},
    {Family::Color, msg::STM_CLR_DIGITAL_IO, DigitalIo},
    {Family::Color, msg::STM_CLR_SIGNAL_TYPE, SignalTypeMessage},
    {Family::Color, msg::STM_CLR_SYNC_MASTER, SyncMaster},
    {Family::Color, msg::STM_CLR_EXTRACT_PLANES, ExtractPlanes},
    {Family::Color, msg::STM_CLR_DRAW_PLANE, DrawPlane, Locking::Self},
};

} // namespace

std::span<const MessageHandler> ColorHandlers() {
    return kHandlers;
}

} // namespace kvboard
