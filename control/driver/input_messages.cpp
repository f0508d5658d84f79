#include "input_messages.h"

#include "message_send.h"

namespace imaging {
namespace {

uint16_t Source16(uint32_t source) {
    return static_cast<uint16_t>(source & 0xFFFF);
}

// A message whose lParam2 is a descriptor on the caller's buffer.
STT_APISTATUS SendForAnswer(HDRVR driver, unsigned code, LPARAM param1, void* buffer,
                            uint32_t bufferSize) {
    OutputDescriptor answer = MakeDescriptor(buffer, bufferSize);
    return SendMessageChecked(driver, code, param1, AddressParam(&answer));
}

// A message answering one fixed-size value, copied to *out after success.
template <typename T>
STT_APISTATUS SendForValue(HDRVR driver, unsigned code, LPARAM param1, T* out) {
    T value{};
    const STT_APISTATUS status = SendForAnswer(driver, code, param1, &value, sizeof(value));
    if (status == STC_STS_NORMAL) *out = value;
    return status;
}

void CopyTrigger(const TriggerBlock& answer, uint32_t* type, uint32_t* transition) {
    *type = answer.Type;
    if (answer.Type == STC_FG_TRIGGER_EXTERNAL_LINE) *transition = answer.Transition;
}

} // namespace

STT_APISTATUS STM_QUERY_DEVICE_CAPS(HDRVR driver, uint32_t key, void* buffer, uint32_t bufferSize) {
    if (!buffer) return STC_STS_NULL;
    return SendForAnswer(driver, msg::STM_QUERY_DEVICE_CAPS, key, buffer, bufferSize);
}

STT_APISTATUS STM_SET_TIMEOUT(HDRVR driver, uint32_t seconds, uint32_t* previous) {
    uint32_t old = 0;
    const STT_APISTATUS status =
        SendForAnswer(driver, msg::STM_SET_TIMEOUT, seconds, &old, sizeof(old));
    if (status == STC_STS_NORMAL && previous) *previous = old;
    return status;
}

STT_APISTATUS STM_GET_TIMEOUT(HDRVR driver, uint32_t* seconds) {
    if (!seconds) return STC_STS_NULL;
    return SendForValue(driver, msg::STM_GET_TIMEOUT, 0, seconds);
}

STT_APISTATUS STM_QUERY_INPUT_CAPS(HDRVR driver, uint32_t key, void* buffer, uint32_t bufferSize) {
    if (!buffer) return STC_STS_NULL;
    return SendForAnswer(driver, msg::STM_QUERY_INPUT_CAPS, key, buffer, bufferSize);
}

STT_APISTATUS STM_SET_INPUT_SOURCE(HDRVR driver, uint32_t source, uint16_t* answer) {
    if (!answer) return STC_STS_NULL;
    return SendForValue(driver, msg::STM_SET_INPUT_SOURCE, Source16(source), answer);
}

STT_APISTATUS STM_GET_INPUT_SOURCE(HDRVR driver, uint16_t* source) {
    if (!source) return STC_STS_NULL;
    return SendForValue(driver, msg::STM_GET_INPUT_SOURCE, 0, source);
}

STT_APISTATUS STM_SET_INPUT_CONTROL(HDRVR driver, uint32_t source, uint32_t control, uint32_t value,
                                    uint32_t* answer) {
    if (!answer) return STC_STS_NULL;
    InputControlWriteBlock block{};
    block.Source = Source16(source);
    block.Control = control;
    block.Value = value;
    return SendForValue(driver, msg::STM_SET_INPUT_CONTROL, AddressParam(&block), answer);
}

STT_APISTATUS STM_GET_INPUT_CONTROL(HDRVR driver, uint32_t source, uint32_t control,
                                    uint32_t* value) {
    if (!value) return STC_STS_NULL;
    InputControlReadBlock block{};
    block.Source = Source16(source);
    block.Control = control;
    return SendForValue(driver, msg::STM_GET_INPUT_CONTROL, AddressParam(&block), value);
}

STT_APISTATUS STM_READ_INPUT_LUT(HDRVR driver, uint32_t lut, uint32_t firstEntry,
                                 uint32_t entryCount, void* entries, uint32_t byteCount) {
    if (!entries) return STC_STS_NULL;
    LutBlock block{};
    block.Lut = static_cast<uint16_t>(lut);
    block.FirstEntry = firstEntry;
    block.EntryCount = entryCount;
    return SendForAnswer(driver, msg::STM_READ_INPUT_LUT, AddressParam(&block), entries, byteCount);
}

STT_APISTATUS STM_WRITE_INPUT_LUT(HDRVR driver, uint32_t lut, uint32_t firstEntry,
                                  uint32_t entryCount, const void* entries) {
    if (!entries) return STC_STS_NULL;
    LutBlock block{};
    block.Lut = static_cast<uint16_t>(lut);
    block.FirstEntry = firstEntry;
    block.EntryCount = entryCount;
    // The entries go as they are, without a descriptor.
    return SendMessageChecked(driver, msg::STM_WRITE_INPUT_LUT, AddressParam(&block),
                              AddressParam(entries));
}

STT_APISTATUS STM_SELECT_BASED_SOURCE(HDRVR driver, uint32_t select, uint32_t source) {
    BasedSourceBlock block{};
    block.Select = select;
    block.Source = Source16(source);
    return SendMessageChecked(driver, msg::STM_SELECT_BASED_SOURCE, AddressParam(&block), 0);
}

STT_APISTATUS STM_SET_TRIGGER(HDRVR driver, uint32_t type, uint32_t transition,
                              uint32_t* answerType, uint32_t* answerTransition) {
    if (!answerType || !answerTransition) return STC_STS_NULL;
    TriggerBlock block{};
    block.Type = type;
    block.Transition = transition;
    TriggerBlock answer{};
    const STT_APISTATUS status =
        SendForAnswer(driver, msg::STM_SET_TRIGGER, AddressParam(&block), &answer, sizeof(answer));
    if (status == STC_STS_NORMAL) CopyTrigger(answer, answerType, answerTransition);
    return status;
}

STT_APISTATUS STM_GET_TRIGGER(HDRVR driver, uint32_t* type, uint32_t* transition) {
    if (!type || !transition) return STC_STS_NULL;
    TriggerBlock answer{};
    const STT_APISTATUS status =
        SendForAnswer(driver, msg::STM_GET_TRIGGER, 0, &answer, sizeof(answer));
    if (status == STC_STS_NORMAL) CopyTrigger(answer, type, transition);
    return status;
}

STT_APISTATUS STM_SET_MULT_TRIGGER(HDRVR driver, uint32_t type, uint32_t transition, uint32_t mode,
                                   uint32_t* answerType, uint32_t* answerTransition,
                                   uint32_t* answerMode) {
    if (!answerType || !answerTransition || !answerMode) return STC_STS_NULL;
    MultTriggerBlock block{};
    block.Type = type;
    block.Transition = transition;
    block.Mode = mode;
    MultTriggerBlock answer{};
    const STT_APISTATUS status = SendForAnswer(driver, msg::STM_SET_MULT_TRIGGER,
                                               AddressParam(&block), &answer, sizeof(answer));
    if (status == STC_STS_NORMAL) {
        CopyTrigger({answer.Type, answer.Transition}, answerType, answerTransition);
        *answerMode = answer.Mode;
    }
    return status;
}

STT_APISTATUS STM_GET_MULT_TRIGGER(HDRVR driver, uint32_t* type, uint32_t* transition,
                                   uint32_t* mode) {
    if (!type || !transition || !mode) return STC_STS_NULL;
    MultTriggerBlock answer{};
    const STT_APISTATUS status =
        SendForAnswer(driver, msg::STM_GET_MULT_TRIGGER, 0, &answer, sizeof(answer));
    if (status == STC_STS_NORMAL) {
        CopyTrigger({answer.Type, answer.Transition}, type, transition);
        *mode = answer.Mode;
    }
    return status;
}

STT_APISTATUS STM_QUERY_CAMCTL_CAPS(HDRVR driver, uint32_t key, void* buffer, uint32_t bufferSize) {
    if (!buffer) return STC_STS_NULL;
    return SendForAnswer(driver, msg::STM_QUERY_CAMCTL_CAPS, key, buffer, bufferSize);
}

STT_APISTATUS STM_SET_DIGITAL_OUTPUTS(HDRVR driver, uint32_t pattern, uint32_t* answer) {
    if (!answer) return STC_STS_NULL;
    return SendForValue(driver, msg::STM_SET_DIGITAL_OUTPUTS, pattern, answer);
}

} // namespace imaging
