#include "host_array.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace core {
namespace {

// Bytes of one element of a plain number type; 0 for any other type.
UINT NumberSize(VARTYPE type) {
    switch (type) {
    case VT_I1:
    case VT_UI1: return 1;
    case VT_I2:
    case VT_UI2: return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4: return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8: return 8;
    default: return 0;
    }
}

// Stores `value` converted to the number type `type` at `target`; false when it does not
// convert or does not fit (VariantChangeType checks the range).
bool StoreConverted(const VARIANT& value, VARTYPE type, void* target) {
    com::UniqueVariant converted;
    if (FAILED(VariantChangeType(converted.Out(), const_cast<VARIANT*>(&value), 0, type)))
        return false;
    std::memcpy(target, &V_UI1(converted.Get()), NumberSize(type));
    return true;
}

// Elements of all dimensions together, capped at 2^32 (more than any member takes).
uint64_t Elements(SAFEARRAY* array) {
    if (!array || array->cDims == 0) return 0;
    uint64_t elements = 1;
    for (UINT d = 1; d <= array->cDims; ++d)
        elements = std::min<uint64_t>(elements * ElementCount(array, d), uint64_t{1} << 32);
    return elements;
}

} // namespace

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
    return SUCCEEDED(SafeArrayGetVartype(array, &type)) && NumberSize(type) != 0;
}

bool HoldsVariants(SAFEARRAY* array) {
    VARTYPE type = VT_EMPTY;
    return array && SUCCEEDED(SafeArrayGetVartype(array, &type)) && type == VT_VARIANT &&
           SafeArrayGetElemsize(array) == sizeof(VARIANT);
}

uint32_t ElementCount(SAFEARRAY* array, UINT dimension) {
    if (!array || dimension < 1 || dimension > array->cDims) return 0;
    // rgsabound lists the dimensions last first.
    return array->rgsabound[array->cDims - dimension].cElements;
}

std::optional<size_t> ArrayBytes(SAFEARRAY* array) {
    const uint64_t bytes = Elements(array) * SafeArrayGetElemsize(array);
    if (bytes == 0 || bytes > 0xFFFFFFFFu) return std::nullopt;
    return static_cast<size_t>(bytes);
}

std::optional<std::vector<int32_t>> ArrayIntegers(SAFEARRAY* array, uint32_t count) {
    const bool variants = HoldsVariants(array);
    if (!variants && !HoldsPlainNumbers(array)) return std::nullopt;
    if (Elements(array) < count) return std::nullopt;
    VARTYPE type = VT_EMPTY;
    SafeArrayGetVartype(array, &type);
    const UINT size = SafeArrayGetElemsize(array);
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
        if (!StoreConverted(*source, VT_I4, &values[i])) return std::nullopt;
    }
    return values;
}

DriverArray::DriverArray(SAFEARRAY* array, VARTYPE type, bool filled) : type_(type) {
    const bool variants = HoldsVariants(array);
    if (!variants && !HoldsPlainNumbers(array)) return;
    elementSize_ = variants ? NumberSize(type) : SafeArrayGetElemsize(array);
    const uint64_t elements = Elements(array);
    if (elementSize_ == 0 || elements * elementSize_ > 0xFFFFFFFFu) return;
    bytes_ = static_cast<uint32_t>(elements * elementSize_);
    host_.emplace(array);
    if (!host_->Ok()) {
        result_ = host_->Result();
        host_.reset();
        return;
    }
    converted_ = variants;
    if (variants) {
        try {
            buffer_.resize(bytes_);
        } catch (const std::bad_alloc&) {
            result_ = E_OUTOFMEMORY;
            return;
        }
        const auto* values = reinterpret_cast<const VARIANT*>(host_->Data());
        for (size_t i = 0; !filled && i < elements; ++i)
            if (!StoreConverted(values[i], type, &buffer_[i * elementSize_])) return;
    }
    result_ = S_OK;
}

void* DriverArray::Data() const {
    if (converted_) return const_cast<uint8_t*>(buffer_.data());
    return host_ ? host_->Data() : nullptr;
}

HRESULT DriverArray::Deliver(size_t elements) {
    if (!converted_ || !Ok()) return result_;
    auto* values = reinterpret_cast<VARIANT*>(host_->Data());
    elements = std::min<size_t>(elements, bytes_ / elementSize_);
    for (size_t i = 0; i < elements; ++i) {
        const HRESULT cleared = VariantClear(&values[i]);
        if (FAILED(cleared)) return cleared;
        V_VT(&values[i]) = type_;
        std::memcpy(&V_UI1(&values[i]), &buffer_[i * elementSize_], elementSize_);
    }
    return S_OK;
}

} // namespace core
