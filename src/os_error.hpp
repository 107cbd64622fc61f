#pragma once

#include <cstdint>
#include <string>
#include <string_view>

/// The operating system's error classes, as far as a failed operation (loading a library, writing a
/// line) can fall into one.
enum class OsErrorKind : std::uint8_t {
  NotFound,
  PermissionDenied,
  Interrupted,
  ArgumentListTooLong,
  WouldBlock,
  OutOfMemory,
  ResourceBusy,
  AlreadyExists,
  CrossesDevices,
  NotADirectory,
  IsADirectory,
  InvalidInput,
  ExecutableFileBusy,
  FileTooLarge,
  StorageFull,
  NotSeekable,
  ReadOnlyFilesystem,
  TooManyLinks,
  BrokenPipe,
  Deadlock,
  InvalidFilename,
  Unsupported,
  DirectoryNotEmpty,
  FilesystemLoop,
  TimedOut,
  StaleNetworkFileHandle,
  FilesystemQuotaExceeded,
  Other,
};

std::string_view os_error_kind_name(OsErrorKind kind);
/// Short description of a category; "other os error" for `Other`.
std::string_view os_error_kind_description(OsErrorKind kind);

/// The operating system's report of a failed operation: its error number (errno on POSIX systems,
/// GetLastError's code on Windows), from which the category and the system's message are derived
/// when they are needed.
struct OsError {
  std::int32_t code = 0;

  OsErrorKind kind() const;
  /// The system's message for the number: strerror's, or on Windows FormatMessage's without its
  /// line break.
  std::string message() const;
  /// Os { code: 2, kind: NotFound, message: "No such file or directory" }
  std::string debug() const;

  friend bool operator==(const OsError&, const OsError&) = default;
};
