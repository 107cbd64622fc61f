// The audio library's loader on POSIX systems: dlopen, dlsym and dlclose.

#include "audio/loader_posix.hpp"

#include <dlfcn.h>

#include <cerrno>
#include <cstdlib>
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

/// A variable of the process's environment, or null when it is not set.
const char* process_environment(const char* variable) { return std::getenv(variable); }

}  // namespace

std::vector<std::string> library_paths(std::string_view file_name, const LibrarySearch& search,
                                       const std::function<const char*(const char*)>& environment) {
  if (file_name.starts_with('/')) return {std::string(file_name)};
  // A bare name or a framework is looked for in its places, any other relative path nowhere.
  const std::size_t slash = file_name.find('/');
  std::span<const LibraryFolder> places;
  if (slash == std::string_view::npos) {
    places = search.bare_names;
  } else if (file_name.substr(0, slash).ends_with(".framework")) {
    places = search.frameworks;
  }
  std::vector<std::string> paths;
  const auto add = [&](const std::string& folder) {
    paths.push_back(folder.empty() ? std::string(file_name) : folder + "/" + std::string(file_name));
  };
  for (const auto& [variable, folder] : places) {
    if (variable.empty()) {
      add(std::string(folder));
      continue;
    }
    const char* value = environment(std::string(variable).c_str());
    const std::string_view list = value != nullptr ? value : "";
    for (std::size_t start = 0, end = 0; end != std::string_view::npos; start = end + 1) {
      end = list.find(':', start);
      const std::string_view entry = list.substr(start, end - start);
      if (entry.starts_with('/')) add(std::string(entry) + std::string(folder));
    }
  }
  return paths;
}

// Nothing is ever loaded from the folder a run starts in: whoever can write to it could plant a
// library there. Each step clears the loader's message first, so that a failure's message is its own.
const LibraryLoader dynamic_loader{
    .paths = [](std::string_view file_name) { return library_paths(file_name, library_search, process_environment); },
    .open = [](const char* path) -> std::expected<void*, OsError> {
      dlerror();
      if (void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL)) return library;
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
