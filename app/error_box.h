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
// A failure of the program's own: sets its description as this thread's error information and
// returns hr, for the handler's error box.
HRESULT ProgramError(HRESULT hr, const wchar_t* description);
void ShowInformation(HWND owner, const wchar_t* text);

} // namespace vidora
