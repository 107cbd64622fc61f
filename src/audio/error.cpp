#include "audio/error.hpp"

#include <AL/al.h>
#include <AL/alc.h>

#include <string>

AudioError::AudioError(Kind kind) : kind_(kind) {}

AudioError::AudioError(OsError error) : AudioError(Kind::Io, error) {}

AudioError AudioError::unknown_alc_error(std::int32_t code) { return {Kind::UnknownAlcError, code}; }

AudioError AudioError::unknown_al_error(std::int32_t code) { return {Kind::UnknownAlError, code}; }

AudioError AudioError::unsupported_version(std::int32_t major, std::int32_t minor) {
  return {Kind::UnsupportedVersion, Version{major, minor}};
}

std::string_view AudioError::text() const {
  switch (kind_) {
    case Kind::InvalidDevice: return "AUDIO ERROR: ALC Invalid Device";
    case Kind::InvalidContext: return "AUDIO ERROR: ALC Invalid Context";
    case Kind::InvalidName: return "AUDIO ERROR: AL Invalid Name";
    // These three read "ALC" whichever layer reported them: the kind does not record the layer.
    case Kind::InvalidEnum: return "AUDIO ERROR: ALC Invalid Enum";
    case Kind::InvalidValue: return "AUDIO ERROR: ALC Invalid Value";
    case Kind::InvalidOperation: return "AUDIO ERROR: AL Invalid Operation";
    case Kind::OutOfMemory: return "AUDIO ERROR: ALC Out of Memory";
    case Kind::UnknownAlcError: return "AUDIO ERROR: Unknown ALC error";
    case Kind::UnknownAlError: return "AUDIO ERROR: Unknown AL error";
    case Kind::UnsupportedVersion: return "AUDIO ERROR: Unsupported Version";
    case Kind::ExtensionNotPresent: return "AUDIO ERROR: Extension Not Present";
    case Kind::NullError: return "AUDIO ERROR: Return value is NULL with no error code";
    // Both wrong-resource kinds share one text; only their debug forms tell them apart.
    case Kind::WrongDevice:
    case Kind::WrongContext: return "AUDIO ERROR: Resource used on wrong device";
    case Kind::Io: return os_error_kind_description(std::get<OsError>(payload_).kind());
  }
  return "AUDIO ERROR";
}

std::string AudioError::debug() const {
  switch (kind_) {
    case Kind::InvalidDevice: return "InvalidDevice";
    case Kind::InvalidContext: return "InvalidContext";
    case Kind::InvalidName: return "InvalidName";
    case Kind::InvalidEnum: return "InvalidEnum";
    case Kind::InvalidValue: return "InvalidValue";
    case Kind::InvalidOperation: return "InvalidOperation";
    case Kind::OutOfMemory: return "OutOfMemory";
    case Kind::UnknownAlcError: return "UnknownAlcError(" + std::to_string(std::get<std::int32_t>(payload_)) + ")";
    case Kind::UnknownAlError: return "UnknownAlError(" + std::to_string(std::get<std::int32_t>(payload_)) + ")";
    case Kind::UnsupportedVersion: {
      const auto& version = std::get<Version>(payload_);
      return "UnsupportedVersion { major: " + std::to_string(version.major) +
             ", minor: " + std::to_string(version.minor) + " }";
    }
    case Kind::ExtensionNotPresent: return "ExtensionNotPresent";
    case Kind::NullError: return "NullError";
    case Kind::WrongDevice: return "WrongDevice";
    case Kind::WrongContext: return "WrongContext";
    case Kind::Io: return "Io(" + std::get<OsError>(payload_).debug() + ")";
  }
  return "AudioError";
}

AudioError map_alc_code(std::int32_t code) {
  switch (code) {
    case ALC_INVALID_DEVICE: return AudioError::Kind::InvalidDevice;
    case ALC_INVALID_CONTEXT: return AudioError::Kind::InvalidContext;
    case ALC_INVALID_ENUM: return AudioError::Kind::InvalidEnum;
    case ALC_INVALID_VALUE: return AudioError::Kind::InvalidValue;
    case ALC_OUT_OF_MEMORY: return AudioError::Kind::OutOfMemory;
    default: return AudioError::unknown_alc_error(code);
  }
}

AudioError map_al_code(std::int32_t code) {
  switch (code) {
    case AL_INVALID_NAME: return AudioError::Kind::InvalidName;
    case AL_INVALID_ENUM: return AudioError::Kind::InvalidEnum;
    case AL_INVALID_VALUE: return AudioError::Kind::InvalidValue;
    case AL_INVALID_OPERATION: return AudioError::Kind::InvalidOperation;
    case AL_OUT_OF_MEMORY: return AudioError::Kind::OutOfMemory;
    default: return AudioError::unknown_al_error(code);
  }
}
