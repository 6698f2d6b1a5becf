// fake_copt.cpp: a solver library for the loader tests whose entry points do nothing. A build leaves entry points out
// by renaming them (-DCOPT_Solve=omitted_COPT_Solve), which gives a library that lacks them, and on ELF systems can
// export one of those as a null address instead (-DFAKE_COPT_NULL_ENTRY_POINT="COPT_Solve").
#ifdef _WIN32
#define COPT_API_EXPORT __declspec(dllexport)
#include <windows.h>
#else
#define COPT_API_EXPORT __attribute__((visibility("default")))
#endif

#include "backend/copt_api.h"

#pragma GCC diagnostic ignored "-Wunused-parameter"

#define FAKE_ENTRY_POINT(name, params) \
  int name params { return 0; }
COPT_API_ENTRY_POINTS(FAKE_ENTRY_POINT)

#if defined(FAKE_COPT_NULL_ENTRY_POINT) && defined(__ELF__)
// The entry point is exported as an absolute symbol of value 0: looking it up succeeds, with a null address and no
// error to report.
__asm__(".globl " FAKE_COPT_NULL_ENTRY_POINT "\n.set " FAKE_COPT_NULL_ENTRY_POINT ", 0");
#endif

#ifdef _WIN32
namespace {
DWORD g_error_mode_at_load = 0xFFFFFFFF;
}

/// The calling thread's error mode while the loader ran this library's initialisation.
extern "C" __declspec(dllexport) DWORD fake_copt_error_mode_at_load() { return g_error_mode_at_load; }

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_error_mode_at_load = GetThreadErrorMode();
  }
  return TRUE;
}
#endif
