#include "camera_messages.h"

#include "answer_send.h"

namespace imaging {
namespace {

constexpr MessageFamily kFamily = MessageFamily::Camera;

STT_APISTATUS Send(HDRVR driver, unsigned code, LPARAM param1, LPARAM param2) {
    return SendMessageChecked(driver, code, param1, param2, kFamily);
}

STT_APISTATUS SendForAnswer(HDRVR driver, unsigned code, LPARAM param1, uint32_t* answer) {
    return detail::SendForAnswer(driver, code, param1, answer, kFamily);
}

LPARAM SourceParam(uint32_t source) {
    return static_cast<uint16_t>(source);
}

} // namespace

STT_APISTATUS STM_CAM_RESET(HDRVR driver) {
    return Send(driver, msg::STM_CAM_RESET, 0, 0);
}

STT_APISTATUS STM_CAM_SET_TYPE(HDRVR driver, uint32_t source, uint32_t cameraType) {
    return Send(driver, msg::STM_CAM_SET_TYPE, SourceParam(source), cameraType);
}

STT_APISTATUS STM_CAM_GET_TYPE(HDRVR driver, uint32_t source, uint32_t* cameraType) {
    return SendForAnswer(driver, msg::STM_CAM_GET_TYPE, SourceParam(source), cameraType);
}

STT_APISTATUS STM_CAM_SET_DIGIO_CONFIG(HDRVR driver, uint32_t mask) {
    return Send(driver, msg::STM_CAM_SET_DIGIO_CONFIG, 0, mask);
}

STT_APISTATUS STM_CAM_GET_DIGIO_CONFIG(HDRVR driver, uint32_t* mask) {
    return SendForAnswer(driver, msg::STM_CAM_GET_DIGIO_CONFIG, 0, mask);
}

STT_APISTATUS STM_CAM_SET_DIGIO_PATTERN(HDRVR driver, uint32_t pattern) {
    return Send(driver, msg::STM_CAM_SET_DIGIO_PATTERN, 0, pattern);
}

STT_APISTATUS STM_CAM_GET_DIGIO_PATTERN(HDRVR driver, uint32_t* pattern) {
    return SendForAnswer(driver, msg::STM_CAM_GET_DIGIO_PATTERN, 0, pattern);
}

STT_APISTATUS STM_CAM_ENABLE_EXPOSE_PULSE(HDRVR driver, bool enable, uint32_t source) {
    return Send(driver, msg::STM_CAM_ENABLE_EXPOSE_PULSE, detail::SignedBoolParam(enable),
                SourceParam(source));
}

STT_APISTATUS STM_CAM_SET_EXPOSE_PULSE(HDRVR driver, uint32_t duration, uint32_t source,
                                       uint32_t polarity, uint32_t* answer) {
    if (answer == nullptr) return STC_STS_NULL;
    ExposePulseWriteBlock block{static_cast<uint16_t>(source), 0, 0, polarity};
    const STT_APISTATUS status =
        Send(driver, msg::STM_CAM_SET_EXPOSE_PULSE, duration, AddressParam(&block));
    *answer = block.Answer; // handed over whatever the result
    return status;
}

STT_APISTATUS STM_CAM_GET_EXPOSE_PULSE(HDRVR driver, uint32_t source, uint32_t* duration,
                                       uint32_t* polarity) {
    if (duration == nullptr || polarity == nullptr) return STC_STS_NULL;
    ExposePulseReadBuffer buffer{static_cast<uint16_t>(source), 0, 0, 0};
    OutputDescriptor descriptor = MakeDescriptor(&buffer, sizeof(buffer));
    const STT_APISTATUS status =
        Send(driver, msg::STM_CAM_GET_EXPOSE_PULSE, 0, AddressParam(&descriptor));
    if (status == STC_STS_NORMAL) {
        *duration = buffer.Duration;
        *polarity = buffer.Polarity;
    }
    return status;
}

STT_APISTATUS STM_CAM_ENABLE_SYNC_MASTER(HDRVR driver, int32_t enable, uint32_t source) {
    return Send(driver, msg::STM_CAM_ENABLE_SYNC_MASTER, enable, SourceParam(source));
}

STT_APISTATUS STM_CAM_SET_SYNC_MASTER_PARAM(HDRVR driver, uint32_t source, uint32_t selector,
                                            uint32_t value, uint32_t* answer) {
    ParamWriteBlock block{static_cast<uint16_t>(source), 0, selector, value};
    return SendForAnswer(driver, msg::STM_CAM_SET_SYNC_MASTER_PARAM, AddressParam(&block), answer);
}

STT_APISTATUS STM_CAM_GET_SYNC_MASTER_PARAM(HDRVR driver, uint32_t source, uint32_t selector,
                                            uint32_t* value) {
    ParamReadBlock block{static_cast<uint16_t>(source), 0, selector};
    return SendForAnswer(driver, msg::STM_CAM_GET_SYNC_MASTER_PARAM, AddressParam(&block), value);
}

} // namespace imaging
