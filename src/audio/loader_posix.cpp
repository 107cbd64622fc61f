// The audio library's loader on POSIX systems: dlopen, dlsym and dlclose.

#include "audio/loader_posix.hpp"

#include <dlfcn.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "audio/library.hpp"

OsError os_error_from_loader_message(std::string_view message, LoaderStep step) {
  const std::size_t separator = message.rfind(": ");
  const std::string_view ending = separator == std::string_view::npos ? message : message.substr(separator + 2);
  for (int code = 1; code < 256; ++code) {
    if (ending == std::strerror(code)) return OsError{code};
  }
  switch (step) {
    case LoaderStep::Open: return OsError{ENOEXEC};
    case LoaderStep::Lookup: return OsError{ENOSYS};
    case LoaderStep::Close: return OsError{EINVAL};
  }
  return OsError{EINVAL};
}

const OsError library_not_found{ENOENT};

namespace {

/// The error of the step that just failed, from the loader's message; code 0 when it gave none.
std::unexpected<OsError> failed(LoaderStep step) {
  const char* message = dlerror();
  return std::unexpected(message != nullptr ? os_error_from_loader_message(message, step) : OsError{0});
}

/// Whether dlopen would take `file_name` as a path relative to the current folder: a name that holds
/// a folder and does not start at the root. dlopen searches its library path only for a bare name.
bool is_relative_path(std::string_view file_name) { return !file_name.starts_with('/') && file_name.contains('/'); }

}  // namespace

// Each step clears the loader's message first, so that a failure's message is its own.
const LibraryLoader dynamic_loader{
    .open = [](const char* file_name) -> std::expected<void*, OsError> {
      // Nothing is ever loaded from the folder a run starts in: whoever can write to it could plant
      // a library there. The one name of this kind, "OpenAL.framework/OpenAL", is a macOS framework,
      // whose place is under the system's framework folders (/Library/Frameworks and
      // /System/Library/Frameworks), where a macOS build would look. This build is not for macOS:
      // to it the name is no library path at all, not found without looking.
      if (is_relative_path(file_name)) return std::unexpected(library_not_found);
      dlerror();
      if (void* library = dlopen(file_name, RTLD_NOW | RTLD_LOCAL)) return library;
      return failed(LoaderStep::Open);
    },
    .look_up = [](void* library, const char* name) -> std::expected<void*, OsError> {
      dlerror();
      if (void* address = dlsym(library, name)) return address;
      return failed(LoaderStep::Lookup);
    },
    .close = [](void* library) -> std::expected<void, OsError> {
      dlerror();
      if (dlclose(library) == 0) return {};
      return failed(LoaderStep::Close);
    },
};
