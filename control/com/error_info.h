// COM error information: what a failing member leaves for its caller (GetErrorInfo, or the
// EXCEPINFO of IDispatch::Invoke).
#pragma once

#include <windows.h>
#include <oleauto.h>

namespace com {

struct ErrorDescription {
    const wchar_t* source = nullptr; // the ProgID of the raising class
    const wchar_t* description = nullptr;
    const wchar_t* helpFile = nullptr; // null: no help
    DWORD helpContext = 0;
    const GUID* guid = nullptr; // interface that defined the error; null: GUID_NULL
};

// Makes the error the thread's current error information and returns result, so that a
// member can end with `return com::ReportError(hr, {...});`. Failing to create the
// information (out of memory) leaves none and still returns result.
HRESULT ReportError(HRESULT result, const ErrorDescription& error);

// Clears the thread's error information.
void ClearErrorInfo();

} // namespace com
