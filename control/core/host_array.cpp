#include "host_array.h"

#include "raii.h"

#include <cstdint>
#include <cstring>

namespace core {

SAFEARRAY* ArrayOf(const VARIANT& value) {
    const VARTYPE type = V_VT(&value);
    if (type == (VT_BYREF | VT_VARIANT))
        return V_VARIANTREF(&value) ? ArrayOf(*V_VARIANTREF(&value)) : nullptr;
    if (!(type & VT_ARRAY)) return nullptr;
    if (type & VT_BYREF) return V_ARRAYREF(&value) ? *V_ARRAYREF(&value) : nullptr;
    return V_ARRAY(&value);
}

bool HoldsPlainNumbers(SAFEARRAY* array) {
    if (!array) return false;
    constexpr USHORT kReferenceFeatures =
        FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH | FADF_VARIANT | FADF_RECORD;
    if (array->fFeatures & kReferenceFeatures) return false;
    VARTYPE type = VT_EMPTY;
    if (FAILED(SafeArrayGetVartype(array, &type))) return false;
    switch (type) {
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_I8:
    case VT_UI8:
    case VT_R4:
    case VT_R8: return true;
    default: return false;
    }
}

uint32_t ElementCount(SAFEARRAY* array, UINT dimension) {
    if (!array || dimension < 1 || dimension > array->cDims) return 0;
    // rgsabound lists the dimensions last first.
    return array->rgsabound[array->cDims - dimension].cElements;
}

std::optional<size_t> ArrayBytes(SAFEARRAY* array) {
    if (!array || array->cDims == 0) return std::nullopt;
    uint64_t bytes = SafeArrayGetElemsize(array);
    for (UINT d = 1; d <= array->cDims; ++d) {
        bytes *= ElementCount(array, d);
        if (bytes > 0xFFFFFFFFu) return std::nullopt;
    }
    if (bytes == 0) return std::nullopt;
    return static_cast<size_t>(bytes);
}

std::optional<std::vector<int32_t>> ArrayIntegers(SAFEARRAY* array, uint32_t count) {
    if (!array) return std::nullopt;
    VARTYPE type = VT_EMPTY;
    if (FAILED(SafeArrayGetVartype(array, &type))) return std::nullopt;
    const bool variants = type == VT_VARIANT;
    if (!variants && !HoldsPlainNumbers(array)) return std::nullopt;
    const UINT size = SafeArrayGetElemsize(array);
    uint64_t elements = array->cDims > 0 ? 1 : 0;
    for (UINT d = 1; d <= array->cDims; ++d)
        elements *= ElementCount(array, d);
    if (elements < count) return std::nullopt;
    const bool rawBits = size == 4 && type != VT_R4;

    com::SafeArrayData<const uint8_t> data(array);
    if (!data.Ok()) return std::nullopt;
    std::vector<int32_t> values(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* element = data.Data() + size_t{i} * size;
        if (rawBits) {
            std::memcpy(&values[i], element, 4);
            continue;
        }
        VARIANT number;
        VariantInit(&number);
        const VARIANT* source = reinterpret_cast<const VARIANT*>(element);
        if (!variants) {
            V_VT(&number) = type;
            std::memcpy(&V_UI8(&number), element, size);
            source = &number;
        }
        com::UniqueVariant converted;
        if (FAILED(VariantChangeType(converted.Out(), const_cast<VARIANT*>(source), 0, VT_I4)))
            return std::nullopt;
        values[i] = V_I4(converted.Get());
    }
    return values;
}

} // namespace core
