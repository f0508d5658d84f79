// The program's startup routine: splash, main window, message loop.
#pragma once

#include <windows.h>

namespace vidora {

constexpr DWORD kSplashMilliseconds = 2000;

// Runs the program to its end; returns the process exit code.
int RunVidora(HINSTANCE instance);

} // namespace vidora
