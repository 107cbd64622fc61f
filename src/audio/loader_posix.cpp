// The audio library's loader on POSIX systems: dlopen, dlsym and dlclose.

#include "audio/loader_posix.hpp"

#include <dlfcn.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string_view>

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

namespace {

/// The error of the last open, when it was refused before dlopen was asked.
thread_local std::optional<OsError> refused_open;

/// Whether dlopen would take `file_name` as a path relative to the current folder: a name that holds
/// a folder and does not start at the root. dlopen searches its library path only for a bare name.
bool is_relative_path(std::string_view file_name) {
  return !file_name.starts_with('/') && file_name.find('/') != std::string_view::npos;
}

}  // namespace

const LibraryLoader dynamic_loader{
    // Each step clears the loader's message first, so that a failure's message is its own.
    .open = [](const char* file_name) -> void* {
      dlerror();
      refused_open.reset();
      // Nothing is ever loaded from the folder a run starts in: whoever can write to it could plant
      // a library there. The one name of this kind, "OpenAL.framework/OpenAL", is a macOS framework,
      // whose place is under the system's framework folders (/Library/Frameworks and
      // /System/Library/Frameworks), where a macOS build would look. This build is not for macOS:
      // to it the name is no library path at all, not found without looking.
      if (is_relative_path(file_name)) {
        refused_open = OsError::not_found();
        return nullptr;
      }
      return dlopen(file_name, RTLD_NOW | RTLD_LOCAL);
    },
    .look_up =
        [](void* library, const char* name) {
          dlerror();
          return dlsym(library, name);
        },
    .close =
        [](void* library) {
          dlerror();
          return dlclose(library);
        },
    .last_error = [](LoaderStep step) -> std::optional<OsError> {
      if (step == LoaderStep::Open && refused_open) return refused_open;
      const char* message = dlerror();
      if (message == nullptr) return std::nullopt;
      return os_error_from_loader_message(message, step);
    },
};
