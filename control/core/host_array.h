// Host arrays handed to the control in VARIANTs: the checks that come before the control
// gives an array's memory to the driver, which reads or writes raw bytes there.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include "raii.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace core {

// The array a VARIANT argument carries, by value (VT_ARRAY) or by reference (VT_BYREF |
// VT_ARRAY, or a VT_BYREF | VT_VARIANT that holds one, the way script hosts pass their
// variables); null when it carries none.
SAFEARRAY* ArrayOf(const VARIANT& value);

// True when the elements are plain numbers (integers or reals of 1 to 8 bytes), which the
// driver may fill or read as raw bytes. Arrays of VARIANTs, strings, objects or records are
// not: raw bytes would corrupt them.
bool HoldsPlainNumbers(SAFEARRAY* array);

// True when the elements are VARIANTs, the only arrays a script host makes.
bool HoldsVariants(SAFEARRAY* array);

// Bytes of the array's data: the product of the element counts of all dimensions times the
// element size; none when it does not fit in 32 bits or the array has no elements.
std::optional<size_t> ArrayBytes(SAFEARRAY* array);

// The element count of dimension `dimension` (1 = the first stored bound).
uint32_t ElementCount(SAFEARRAY* array, UINT dimension);

// The first `count` elements (in storage order) as 32-bit integers: 4-byte integers as their
// bits, other plain numbers and VARIANTs converted by value. None when the array holds other
// elements, has fewer, or an element does not convert.
std::optional<std::vector<int32_t>> ArrayIntegers(SAFEARRAY* array, uint32_t count);

// The memory the driver reads or fills for a host array, held for one driver message.
// An array of plain numbers lends its own memory, locked, as it always has. An array of
// VARIANTs gets a buffer of its own with one element of `type` per VARIANT, in storage
// order: converted from the VARIANTs when the driver reads it; written back into them as
// VARIANTs of `type` by Deliver when the driver fills it. Only the VARIANT API touches the
// host's elements, so nothing lands past them or over their bookkeeping.
class DriverArray {
public:
    // `filled`: the driver writes the buffer, so the host's values need no converting.
    DriverArray(SAFEARRAY* array, VARTYPE type, bool filled);
    DriverArray(const DriverArray&) = delete;
    DriverArray& operator=(const DriverArray&) = delete;

    // E_INVALIDARG for an array of other elements or an element that does not convert (or
    // does not fit `type`), or the failure of the array's lock.
    HRESULT Result() const { return result_; }
    bool Ok() const { return SUCCEEDED(result_); }
    bool Converted() const { return converted_; }
    void* Data() const;
    uint32_t Bytes() const { return bytes_; }
    uint32_t ElementSize() const { return elementSize_; }

    // Writes the first `elements` values of a filled buffer back into the host's VARIANTs;
    // nothing to do for an array that lent its own memory.
    HRESULT Deliver(size_t elements = SIZE_MAX);

private:
    std::optional<com::SafeArrayData<uint8_t>> host_;
    std::vector<uint8_t> buffer_;
    VARTYPE type_;
    bool converted_ = false;
    uint32_t bytes_ = 0;
    uint32_t elementSize_ = 0;
    HRESULT result_ = E_INVALIDARG;
};

} // namespace core
