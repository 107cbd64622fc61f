// The audio library's loader on Windows: LoadLibrary, GetProcAddress and FreeLibrary, each failure
// with GetLastError's code.

#include <windows.h>

#include <array>
#include <cstring>

#include "audio/library.hpp"
#include "fatal.hpp"

namespace {

/// The failure of the system call that just failed, with its code.
std::unexpected<OsError> failed() { return std::unexpected(OsError{static_cast<std::int32_t>(GetLastError())}); }

/// Takes the current folder out of the DLL search for the whole process, once, before the first
/// load: whoever can write to the folder a run starts in could plant a library there. A DLL folder
/// takes the current folder's place in the search, which keeps the program's own folder, the
/// system's folders and PATH. It is the system folder, searched anyway: the empty string would do
/// as well on Windows, but Wine takes it for no folder set and searches the current one. Can stop
/// the run.
void leave_out_current_folder() {
  static const DWORD error = [] {
    std::array<wchar_t, MAX_PATH> system_folder{};
    const UINT length = GetSystemDirectoryW(system_folder.data(), system_folder.size());
    if (length >= system_folder.size()) return static_cast<DWORD>(ERROR_BUFFER_OVERFLOW);
    if (length == 0 || SetDllDirectoryW(system_folder.data()) == FALSE) return GetLastError();
    return static_cast<DWORD>(ERROR_SUCCESS);
  }();
  if (error != ERROR_SUCCESS) {
    fatal("taking the current folder out of the library search failed: " +
          OsError{static_cast<std::int32_t>(error)}.debug());
  }
}

}  // namespace

const OsError library_not_found{ERROR_MOD_NOT_FOUND};

const LibraryLoader dynamic_loader{
    .paths = [](std::string_view file_name) { return std::vector<std::string>{std::string(file_name)}; },
    .open = [](const char* file_name) -> std::expected<void*, OsError> {
      leave_out_current_folder();
      // A library that cannot be loaded must not stop the run with a dialog box: the failure
      // is reported, and the next file name tried.
      DWORD previous_mode = 0;
      const bool mode_set = SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previous_mode) != FALSE;
      HMODULE library = LoadLibraryA(file_name);
      const auto opened = library != nullptr ? std::expected<void*, OsError>(library) : failed();
      if (mode_set) SetThreadErrorMode(previous_mode, nullptr);
      return opened;
    },
    .look_up = [](void* library, const char* name) -> std::expected<void*, OsError> {
      const FARPROC function = GetProcAddress(static_cast<HMODULE>(library), name);
      if (function == nullptr) return failed();
      // Handed on as an address, which function_cast turns back into the entry point's type.
      void* address = nullptr;
      static_assert(sizeof address == sizeof function);
      std::memcpy(&address, &function, sizeof address);
      return address;
    },
    .close = [](void* library) -> std::expected<void, OsError> {
      if (FreeLibrary(static_cast<HMODULE>(library)) != FALSE) return {};
      return failed();
    },
};
