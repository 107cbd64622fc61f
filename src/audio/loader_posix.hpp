#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "os_error.hpp"

/// The step of the dynamic loader that failed.
enum class LoaderStep : std::uint8_t { Open, Lookup, Close };

/// The dynamic loader of POSIX systems gives one message for a failure and no number. The number is
/// recovered from the message: glibc ends it with the system's text for the failure ("...: No such
/// file or directory"), and the number whose strerror text is that ending is the error. A message
/// that ends in no such text is a file that is not a loadable library when opening (ENOEXEC, "Exec
/// format error"), a function the library does not provide when looking up (ENOSYS, "Function not
/// implemented"), and a handle that is not open when closing (EINVAL).
OsError os_error_from_loader_message(std::string_view message, LoaderStep step);

/// One place where a library is looked for. With a variable: each folder that the environment
/// variable lists (separated by ':') with `folder` after it, absolute ones only: an empty or relative
/// entry would name the current folder. Without one: `folder`, or, when that is empty too, no folder
/// at all: the name goes to the loader as it is, for the loader's own search.
struct LibraryFolder {
  std::string_view variable;
  std::string_view folder;
};

/// Where this system looks for a library, by the kind of name: a bare file name ("libopenal.so"), or
/// a framework, a relative path whose first part is a macOS bundle ("OpenAL.framework/OpenAL").
struct LibrarySearch {
  std::span<const LibraryFolder> bare_names;
  std::span<const LibraryFolder> frameworks;
};

/// This system's places, one file for each: on macOS the folders where its libraries live, since
/// its dlopen would search the current folder for a bare name or a framework; elsewhere the
/// loader's own search for a bare name, which leaves the current folder out, and none for a
/// framework.
extern const LibrarySearch library_search;

/// The paths that opening `file_name` tries, in order, with `environment` reading a variable as
/// getenv does: an absolute path as it is; a bare name or a framework in each of its places; any
/// other relative path none, since the loader would look for it in the current folder.
std::vector<std::string> library_paths(std::string_view file_name, const LibrarySearch& search,
                                       const std::function<const char*(const char*)>& environment);
