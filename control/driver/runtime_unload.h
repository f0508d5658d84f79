// What a library that links the C++ runtime statically gives back when it is unloaded.
//
// The statically linked runtime sets aside a reserve for exceptions thrown when memory runs
// out (about 72 KB, taken from the heap when the library loads) and never frees it: a library
// that a host loads and unloads again and again (a driver opened and closed, a control
// created after the last one went away) would leave one reserve behind per load. Called from
// DllMain on a dynamic unload, after the library's own threads have ended.
#pragma once

#if defined(__GLIBCXX__)
namespace __gnu_cxx {
void __freeres() noexcept; // the runtime's own release of that reserve
}
#endif

inline void ReleaseRuntimeReserves() {
#if defined(__GLIBCXX__)
    __gnu_cxx::__freeres();
#endif
}
