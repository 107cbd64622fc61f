#include "audio/error.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using Kind = AudioError::Kind;

TEST(AudioErrors, SameNumberDifferentLayer) {
  // The debug forms are what fatal reports show. An AL error's text is what a note that cannot be
  // played prints; three of them read "ALC", as the kind does not record its layer.
  const struct {
    std::int32_t code;
    std::string alc;
    std::string al;
    std::string al_text;
  } cases[] = {
      {0xA001, "InvalidDevice", "InvalidName", "AUDIO ERROR: AL Invalid Name"},
      {0xA002, "InvalidContext", "InvalidEnum", "AUDIO ERROR: ALC Invalid Enum"},
      {0xA003, "InvalidEnum", "InvalidValue", "AUDIO ERROR: ALC Invalid Value"},
      {0xA004, "InvalidValue", "InvalidOperation", "AUDIO ERROR: AL Invalid Operation"},
      {0xA005, "OutOfMemory", "OutOfMemory", "AUDIO ERROR: ALC Out of Memory"},
  };
  for (const auto& [code, alc, al, al_text] : cases) {
    EXPECT_EQ(map_alc_code(code).debug(), alc) << code;
    EXPECT_EQ(map_al_code(code).debug(), al) << code;
    EXPECT_EQ(map_al_code(code).text(), al_text) << code;
  }
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
  // A version a broken library reports keeps its sign too.
  EXPECT_EQ(AudioError::unsupported_version(-2, 17).debug(), "UnsupportedVersion { major: -2, minor: 17 }");
}

}  // namespace
