// The program's two message boxes: a failed call's error description titled "Vidora", and the
// run-state refusals titled "Information".
#pragma once

#include <windows.h>

#include <string>

namespace vidora {

constexpr wchar_t kAppTitle[] = L"Vidora";

// The description of a failed call: the error information the failing object left on this
// thread, else the system's text for the result.
std::wstring ErrorDescription(HRESULT hr);
void ShowErrorBox(HWND owner, const std::wstring& description);
void ShowInformation(HWND owner, const wchar_t* text);

} // namespace vidora
