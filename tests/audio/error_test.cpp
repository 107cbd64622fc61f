#include "audio/error.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace {

using Kind = AudioError::Kind;

TEST(AudioErrors, EveryKindHasItsTextAndDebugForm) {
  const struct {
    AudioError error;
    std::string text;
    std::string debug;
  } cases[] = {
      {Kind::InvalidDevice, "AUDIO ERROR: ALC Invalid Device", "InvalidDevice"},
      {Kind::InvalidContext, "AUDIO ERROR: ALC Invalid Context", "InvalidContext"},
      {Kind::InvalidName, "AUDIO ERROR: AL Invalid Name", "InvalidName"},
      {Kind::InvalidEnum, "AUDIO ERROR: ALC Invalid Enum", "InvalidEnum"},
      {Kind::InvalidValue, "AUDIO ERROR: ALC Invalid Value", "InvalidValue"},
      {Kind::InvalidOperation, "AUDIO ERROR: AL Invalid Operation", "InvalidOperation"},
      {Kind::OutOfMemory, "AUDIO ERROR: ALC Out of Memory", "OutOfMemory"},
      {AudioError::unknown_alc_error(0xA006), "AUDIO ERROR: Unknown ALC error", "UnknownAlcError(40966)"},
      {AudioError::unknown_al_error(-7), "AUDIO ERROR: Unknown AL error", "UnknownAlError(-7)"},
      {AudioError::unsupported_version(1, 0), "AUDIO ERROR: Unsupported Version",
       "UnsupportedVersion { major: 1, minor: 0 }"},
      {AudioError::unsupported_version(-2, 17), "AUDIO ERROR: Unsupported Version",
       "UnsupportedVersion { major: -2, minor: 17 }"},
      {Kind::ExtensionNotPresent, "AUDIO ERROR: Extension Not Present", "ExtensionNotPresent"},
      {Kind::NullError, "AUDIO ERROR: Return value is NULL with no error code", "NullError"},
      {Kind::WrongDevice, "AUDIO ERROR: Resource used on wrong device", "WrongDevice"},
      {Kind::WrongContext, "AUDIO ERROR: Resource used on wrong device", "WrongContext"},
  };
  for (const auto& [error, text, debug] : cases) {
    EXPECT_EQ(error.text(), text) << debug;
    EXPECT_EQ(error.debug(), debug);
  }
}

TEST(AudioErrors, SameNumberDifferentLayer) {
  const struct {
    std::int32_t code;
    AudioError alc;
    AudioError al;
  } cases[] = {
      {0xA001, Kind::InvalidDevice, Kind::InvalidName}, {0xA002, Kind::InvalidContext, Kind::InvalidEnum},
      {0xA003, Kind::InvalidEnum, Kind::InvalidValue},  {0xA004, Kind::InvalidValue, Kind::InvalidOperation},
      {0xA005, Kind::OutOfMemory, Kind::OutOfMemory},
  };
  for (const auto& [code, alc, al] : cases) {
    EXPECT_EQ(map_alc_code(code), alc) << code;
    EXPECT_EQ(map_al_code(code), al) << code;
  }
  EXPECT_EQ(map_al_code(0xA005).text(), "AUDIO ERROR: ALC Out of Memory");
  EXPECT_EQ(map_al_code(0xA003).text(), "AUDIO ERROR: ALC Invalid Value");
}

TEST(AudioErrors, UnknownCodesKeepTheirValueWithTheirSign) {
  const struct {
    std::int32_t code;
    std::string alc;
    std::string al;
  } cases[] = {
      {1, "UnknownAlcError(1)", "UnknownAlError(1)"},
      {0xA000, "UnknownAlcError(40960)", "UnknownAlError(40960)"},
      {0xA006, "UnknownAlcError(40966)", "UnknownAlError(40966)"},
      {-1, "UnknownAlcError(-1)", "UnknownAlError(-1)"},
      {-40961, "UnknownAlcError(-40961)", "UnknownAlError(-40961)"},
      {2147483647, "UnknownAlcError(2147483647)", "UnknownAlError(2147483647)"},
      {-2147483647 - 1, "UnknownAlcError(-2147483648)", "UnknownAlError(-2147483648)"},
  };
  for (const auto& [code, alc, al] : cases) {
    EXPECT_EQ(map_alc_code(code).debug(), alc);
    EXPECT_EQ(map_al_code(code).debug(), al);
  }
}

TEST(AudioErrors, IoShowsTheOsErrorAndItsCategoryText) {
  const AudioError not_found = OsError{ENOENT};
  EXPECT_EQ(not_found.kind(), Kind::Io);
  EXPECT_EQ(not_found.text(), "entity not found");
  EXPECT_EQ(not_found.debug(), R"(Io(Os { code: 2, kind: NotFound, message: "No such file or directory" }))");

  const AudioError denied = OsError{EACCES};
  EXPECT_EQ(denied.text(), "permission denied");
  EXPECT_EQ(denied.debug(), R"(Io(Os { code: 13, kind: PermissionDenied, message: "Permission denied" }))");

  // A number that falls in no specific class.
  const AudioError other = OsError{ENOEXEC};
  EXPECT_EQ(other.text(), "other os error");
  EXPECT_EQ(other.debug(), R"(Io(Os { code: 8, kind: Other, message: "Exec format error" }))");
}

}  // namespace
