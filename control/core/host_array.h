// Host arrays handed to the control in VARIANTs: the checks that come before the control
// gives an array's memory to the driver, which reads or writes raw bytes there.
#pragma once

#include <windows.h>
#include <oleauto.h>

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

// Bytes of the array's data: the product of the element counts of all dimensions times the
// element size; none when it does not fit in 32 bits or the array has no elements.
std::optional<size_t> ArrayBytes(SAFEARRAY* array);

// The element count of dimension `dimension` (1 = the first stored bound).
uint32_t ElementCount(SAFEARRAY* array, UINT dimension);

// The first `count` elements (in storage order) as 32-bit integers: 4-byte integers as their
// bits, other plain numbers and VARIANTs converted by value. None when the array holds other
// elements, has fewer, or an element does not convert.
std::optional<std::vector<int32_t>> ArrayIntegers(SAFEARRAY* array, uint32_t count);

} // namespace core
