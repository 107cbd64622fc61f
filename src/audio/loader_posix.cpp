// The audio library's loader on POSIX systems: dlopen, dlsym and dlclose.

#include "audio/loader_posix.hpp"

#include <dlfcn.h>

#include <cerrno>
#include <cstring>

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

const LibraryLoader dynamic_loader{
    // Each step clears the loader's message first, so that a failure's message is its own.
    .open =
        [](const char* file_name) {
          dlerror();
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
      const char* message = dlerror();
      if (message == nullptr) return std::nullopt;
      return os_error_from_loader_message(message, step);
    },
};
