#pragma once

#include <cstdint>
#include <string_view>

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
