// A library that records the error mode of the thread that loads it, as the loader runs its
// DllMain: whether the system's dialogs about a failed load were off while the program opened it.

#include <windows.h>

namespace {

DWORD mode_when_loaded = 0xFFFFFFFF;

}  // namespace

extern "C" __declspec(dllexport) DWORD error_mode_when_loaded() { return mode_when_loaded; }

extern "C" BOOL WINAPI DllMain(HINSTANCE /*library*/, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) mode_when_loaded = GetThreadErrorMode();
  return TRUE;
}
