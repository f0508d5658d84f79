#include "message.h"

#include <algorithm>

namespace kvboard {

using namespace imaging;

uint32_t Output::Check(size_t size) const {
    if (d_ == nullptr) return drv::STS_NULL;
    if (d_->StructSize != sizeof(OutputDescriptor)) return drv::STS_STRUCTSIZ;
    if (d_->Buffer == nullptr) return drv::STS_NULL;
    if (d_->BufferSize < size) return drv::STS_BUFSIZ;
    return 0;
}

uint8_t* Output::Claim(size_t size, uint32_t& status) {
    status = Check(size);
    if (status != 0) {
        if (status == drv::STS_BUFSIZ) d_->BytesWritten = 0;
        return nullptr;
    }
    d_->BytesWritten = static_cast<uint32_t>(size);
    return static_cast<uint8_t*>(d_->Buffer);
}

Result Output::Write(const void* data, size_t size) {
    uint32_t status = 0;
    uint8_t* buffer = Claim(size, status);
    if (buffer == nullptr) return Fail(status);
    if (size != 0) std::memcpy(buffer, data, size);
    return Ok();
}

namespace {

using enum Family;
using enum BlockParam;
using enum BlockSize;

// Every message that carries an input record, by family. Messages not listed carry none
// (plain values, answer descriptors, or output-only addresses).
constexpr InputBlockSpec kInputBlocks[] = {
    // Input controls.
    {Standard, msg::STM_SET_INPUT_CONTROL, Param1, Fixed, sizeof(InputControlWriteBlock)},
    {Standard, msg::STM_GET_INPUT_CONTROL, Param1, Fixed, sizeof(InputControlReadBlock)},
    {Standard, msg::STM_READ_INPUT_LUT, Param1, Fixed, sizeof(LutBlock)},
    {Standard, msg::STM_WRITE_INPUT_LUT, Param2, LutEntries, 0},
    {Standard, msg::STM_SELECT_BASED_SOURCE, Param1, Fixed, sizeof(BasedSourceBlock)},
    {Standard, msg::STM_SET_TRIGGER, Param1, Fixed, sizeof(TriggerBlock)},
    {Standard, msg::STM_SET_MULT_TRIGGER, Param1, Fixed, sizeof(MultTriggerBlock)},
    // Frames and acquisition.
    {Standard, msg::STM_READ_FRAME_RECT, Param1, Fixed, sizeof(FrameRectBlock)},
    {Standard, msg::STM_WRITE_FRAME_RECT, Param1, Fixed, sizeof(FrameRectBlock)},
    {Standard, msg::STM_COPY_FRAME_RECT, Param1, Fixed, sizeof(CopyBlock)},
    {Standard, msg::STM_ACQUIRE_MULTIPLE, Param2, Param1Words, 0},
    {Standard, msg::STM_START_ASYNC_ACQUIRE_MULTIPLE, Param1, CountedList, 0},
    // Passthru.
    {Standard, msg::STM_START_PASSTHRU, Param1, Fixed, sizeof(WindowBlock)},
    {Standard, msg::STM_START_ASYNC_PASSTHRU, Param1, Fixed, sizeof(WindowBlock)},
    {Standard, msg::STM_START_PASSTHRU_EX, Param1, Fixed, sizeof(ExtPassthruBlock)},
    {Standard, msg::STM_SET_PASSTHRU_SCALING, Param1, Fixed, sizeof(PairBlock)},
    {Standard, msg::STM_SET_PASSTHRU_SOURCE_ORIGIN, Param1, Fixed, sizeof(PairBlock)},
    {Standard, msg::STM_LOAD_PASSTHRU_LUT, Param1, Fixed, sizeof(PairBlock)},
    {Standard, msg::STM_EXTEND_PASSTHRU_PALETTE, Param1, Fixed, sizeof(PairBlock)},
    // Surfaces.
    {Standard, msg::STM_CREATE_SURFACE, Param1, Fixed, sizeof(PairBlock)},
    {Standard, msg::STM_SET_SURFACE_COLOR_KEY, Param2, Fixed, sizeof(uint32_t)},
    {Standard, msg::STM_OVERLAY_SURFACE_ON_FRAME, Param1, Fixed, sizeof(OverlayBlock)},
    // Digital-camera family.
    {Camera, msg::STM_CAM_SET_EXPOSE_PULSE, Param2, Fixed, sizeof(ExposePulseWriteBlock)},
    {Camera, msg::STM_CAM_SET_SYNC_MASTER_PARAM, Param1, Fixed, sizeof(ParamWriteBlock)},
    {Camera, msg::STM_CAM_GET_SYNC_MASTER_PARAM, Param1, Fixed, sizeof(ParamReadBlock)},
    // Color family.
    {Color, msg::STM_CLR_QUERY_INTERFACE, Param1, Fixed, sizeof(uint32_t)},
    {Color, msg::STM_CLR_IMAGE_PARAMETER, Param1, ColorOperation, sizeof(ColorOperationBlock)},
    {Color, msg::STM_CLR_SYNC_MASTER, Param1, ColorOperation, sizeof(ColorOperationBlock)},
    {Color, msg::STM_CLR_DRAW_PLANE, Param1, Fixed, sizeof(STT_BUFFER_INFO)},
    // The first plane record: it carries the plane mask.
    {Color, msg::STM_CLR_EXTRACT_PLANES, Param2, Fixed, sizeof(STT_BUFFER_INFO)},
    // Line-scan family.
    {LineScan, msg::STM_LS_ACQUIRE_LINES, Param2, Fixed, sizeof(LineAcquirePair)},
    {LineScan, msg::STM_LS_START_PASSTHRU, Param1, Fixed, sizeof(LinePassthruBlock)},
    {LineScan, msg::STM_LS_DRAW_ACQUIRED_LINES, Param2, Fixed, sizeof(LineDrawBlock)},
    {LineScan, msg::STM_LS_IS_ACQUIRE_DONE, Param1, Fixed, sizeof(LineStatusBlock)},
    // KV7400 board library.
    {Lib7400, msg::STM_7400_SET_SYNC_MASTER_PARAM, Param1, Fixed, sizeof(ParamWriteBlock)},
    {Lib7400, msg::STM_7400_GET_SYNC_MASTER_PARAM, Param1, Fixed, sizeof(ParamReadBlock)},
    {Lib7400, msg::STM_7400_SET_ANALOG_PARAM, Param1, Fixed, sizeof(ParamWriteBlock)},
    {Lib7400, msg::STM_7400_GET_ANALOG_PARAM, Param1, Fixed, sizeof(ParamReadBlock)},
};

uint32_t FirstWord(LPARAM param) {
    uint32_t word = 0;
    ReadBlock(param, word);
    return word;
}

} // namespace

InputBlock FindInputBlock(FamilySet families, UINT code, LPARAM param1, LPARAM param2) {
    families |= FamilyBit(Family::Standard);
    const auto spec = std::find_if(std::begin(kInputBlocks), std::end(kInputBlocks),
                                   [&](const InputBlockSpec& s) {
                                       return s.code == code && (families & FamilyBit(s.family));
                                   });
    if (spec == std::end(kInputBlocks)) return {};
    const LPARAM param = spec->param == Param1 ? param1 : param2;
    if (param == 0) return {};
    size_t size = spec->bytes;
    InputBlock found{};
    switch (spec->size) {
    case Fixed: break;
    case ColorOperation: {
        ColorOperationBlock block{};
        ReadBlock(param, block);
        if (block.Parameter != nullptr && param2 != 0) {
            found.referenced[0] = *block.Parameter;
            found.referenced[1] = FirstWord(param2);
            found.referencedCount = 2;
        }
        break;
    }
    case LutEntries: {
        LutBlock lut{};
        if (!ReadBlock(param1, lut)) return {};
        size = size_t{lut.EntryCount} * kLutEntryBytes;
        break;
    }
    case CountedList: size = (size_t{FirstWord(param)} + 1) * 4; break;
    case Param1Words: size = static_cast<size_t>(static_cast<uint32_t>(param1)) * 4; break;
    }
    found.address = reinterpret_cast<const void*>(param);
    found.size = size;
    return found;
}

} // namespace kvboard
