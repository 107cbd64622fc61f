// The operating system's error classes and the debug form of its errors, on every platform.

#include "os_error.hpp"

#include <array>
#include <string>

namespace {

struct OsErrorKindInfo {
  std::string_view name;
  std::string_view description;
};

// Indexed by OsErrorKind, in its declared order.
constexpr std::array<OsErrorKindInfo, 28> os_error_kinds{{
    {"NotFound", "entity not found"},
    {"PermissionDenied", "permission denied"},
    {"Interrupted", "operation interrupted"},
    {"ArgumentListTooLong", "argument list too long"},
    {"WouldBlock", "operation would block"},
    {"OutOfMemory", "out of memory"},
    {"ResourceBusy", "resource busy"},
    {"AlreadyExists", "entity already exists"},
    {"CrossesDevices", "cross-device link or rename"},
    {"NotADirectory", "not a directory"},
    {"IsADirectory", "is a directory"},
    {"InvalidInput", "invalid input parameter"},
    {"ExecutableFileBusy", "executable file busy"},
    {"FileTooLarge", "file too large"},
    {"StorageFull", "no storage space"},
    {"NotSeekable", "seek on unseekable file"},
    {"ReadOnlyFilesystem", "read-only filesystem or storage medium"},
    {"TooManyLinks", "too many links"},
    {"BrokenPipe", "broken pipe"},
    {"Deadlock", "deadlock"},
    {"InvalidFilename", "invalid filename"},
    {"Unsupported", "unsupported"},
    {"DirectoryNotEmpty", "directory not empty"},
    {"FilesystemLoop", "filesystem loop or indirection limit"},
    {"TimedOut", "timed out"},
    {"StaleNetworkFileHandle", "stale network file handle"},
    {"FilesystemQuotaExceeded", "filesystem quota exceeded"},
    {"Other", "other os error"},
}};
static_assert(os_error_kinds.size() == static_cast<std::size_t>(OsErrorKind::Other) + 1);

const OsErrorKindInfo& info(OsErrorKind kind) { return os_error_kinds.at(static_cast<std::size_t>(kind)); }

}  // namespace

std::string_view os_error_kind_name(OsErrorKind kind) { return info(kind).name; }

std::string_view os_error_kind_description(OsErrorKind kind) { return info(kind).description; }

std::string OsError::debug() const {
  return "Os { code: " + std::to_string(code) + ", kind: " + std::string(os_error_kind_name(kind())) + ", message: \"" +
         message() + "\" }";
}
