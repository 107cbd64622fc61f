#pragma once

#include <cstdint>
#include <expected>
#include <ostream>
#include <string>
#include <string_view>
#include <variant>

#include "os_error.hpp"

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
