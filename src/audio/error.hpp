#pragma once

#include <cstdint>
#include <expected>
#include <ostream>
#include <string>
#include <string_view>
#include <variant>

/// The operating system's error classes, as far as a failed library operation can fall into one.
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
  /// This system's code for a library that is nowhere to be found: ENOENT, or ERROR_MOD_NOT_FOUND
  /// on Windows, what its loader gives for a name it cannot find.
  static OsError not_found();

  friend bool operator==(const OsError&, const OsError&) = default;
};

/// The one error type of the audio output layer: a kind and that kind's payload.
class AudioError {
 public:
  enum class Kind : std::uint8_t {
    InvalidDevice,
    InvalidContext,
    InvalidName,
    InvalidEnum,
    InvalidValue,
    InvalidOperation,
    OutOfMemory,
    UnknownAlcError,
    UnknownAlError,
    UnsupportedVersion,
    ExtensionNotPresent,
    NullError,
    WrongDevice,
    WrongContext,
    Io,
  };
  struct Version {
    std::int32_t major = 0;
    std::int32_t minor = 0;
    friend bool operator==(const Version&, const Version&) = default;
  };

  /// A kind without payload; the kinds with one have their own factories below.
  AudioError(Kind kind);  // NOLINT(google-explicit-constructor): kinds read as errors at call sites
  static AudioError unknown_alc_error(std::int32_t code);
  static AudioError unknown_al_error(std::int32_t code);
  static AudioError unsupported_version(std::int32_t major, std::int32_t minor);
  AudioError(OsError error);  // NOLINT(google-explicit-constructor): an OS error is an Io error

  Kind kind() const { return kind_; }
  /// The fixed text of the kind, never with a payload; for `Io` the OS error category's description.
  std::string_view text() const;
  /// The kind's name with its payload: InvalidDevice, UnknownAlError(-7),
  /// UnsupportedVersion { major: 1, minor: 0 }, Io(Os { ... }).
  std::string debug() const;

  friend bool operator==(const AudioError&, const AudioError&) = default;
  friend std::ostream& operator<<(std::ostream& out, const AudioError& error) { return out << error.debug(); }

 private:
  using Payload = std::variant<std::monostate, std::int32_t, Version, OsError>;
  AudioError(Kind kind, Payload payload) : kind_(kind), payload_(payload) {}

  Kind kind_;
  Payload payload_;
};

template <class T>
using AudioResult = std::expected<T, AudioError>;

/// The kind for a non-zero code returned by alcGetError.
AudioError map_alc_code(std::int32_t code);
/// The kind for a non-zero code returned by alGetError: the same numbers mean other kinds than in ALC.
AudioError map_al_code(std::int32_t code);
