#include "kv7400_messages.h"

namespace imaging {
namespace {

constexpr MessageFamily kFamily = MessageFamily::Lib7400;

// Every answer of the library is one 32-bit word. A driver that reports success but wrote
// another count broke the protocol: that is a failure of the call, never of the process.
STT_APISTATUS SendForWord(HDRVR driver, unsigned code, const void* block, uint32_t* answer) {
    if (answer == nullptr) return STC_STS_NULL;
    uint32_t value = 0;
    OutputDescriptor outbuf = MakeDescriptor(&value, sizeof(value));
    const STT_APISTATUS status =
        SendMessageChecked(driver, code, AddressParam(block), AddressParam(&outbuf), kFamily);
    if (status != STC_STS_NORMAL) return status; // a failure never maps to 0 in this family
    if (outbuf.BytesWritten != sizeof(uint32_t)) {
        OutputDebugStringA(
            "! ((lResult == STC_RV_SUCCESS) && (outbuf.BytesWritten != sizeof(ULNG)))\n");
        return STC_STS_STRUCTSIZ;
    }
    *answer = value;
    return status;
}

STT_APISTATUS SetParam(HDRVR driver, unsigned code, uint32_t source, uint32_t selector,
                       uint32_t value, uint32_t* answer) {
    const ParamWriteBlock block{static_cast<uint16_t>(source), 0, selector, value};
    return SendForWord(driver, code, &block, answer);
}

STT_APISTATUS GetParam(HDRVR driver, unsigned code, uint32_t source, uint32_t selector,
                       uint32_t* value) {
    const ParamReadBlock block{static_cast<uint16_t>(source), 0, selector};
    return SendForWord(driver, code, &block, value);
}

} // namespace

STT_APISTATUS STM_7400_ENABLE_SYNC_MASTER(HDRVR driver, int32_t enable, uint32_t source) {
    return SendMessageChecked(driver, msg::STM_7400_ENABLE_SYNC_MASTER, enable,
                              static_cast<uint16_t>(source), kFamily);
}

STT_APISTATUS STM_7400_SET_SYNC_MASTER_PARAM(HDRVR driver, uint32_t source, uint32_t selector,
                                             uint32_t value, uint32_t* answer) {
    return SetParam(driver, msg::STM_7400_SET_SYNC_MASTER_PARAM, source, selector, value, answer);
}

STT_APISTATUS STM_7400_GET_SYNC_MASTER_PARAM(HDRVR driver, uint32_t source, uint32_t selector,
                                             uint32_t* value) {
    return GetParam(driver, msg::STM_7400_GET_SYNC_MASTER_PARAM, source, selector, value);
}

STT_APISTATUS STM_7400_SET_ANALOG_PARAM(HDRVR driver, uint32_t source, uint32_t selector,
                                        uint32_t value, uint32_t* answer) {
    return SetParam(driver, msg::STM_7400_SET_ANALOG_PARAM, source, selector, value, answer);
}

STT_APISTATUS STM_7400_GET_ANALOG_PARAM(HDRVR driver, uint32_t source, uint32_t selector,
                                        uint32_t* value) {
    return GetParam(driver, msg::STM_7400_GET_ANALOG_PARAM, source, selector, value);
}

} // namespace imaging
