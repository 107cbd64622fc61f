#include "text.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

TEST(Utf8, ValidTextHasNoError) {
  for (const std::string text :
       {"", "No Output", "caf\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x8E\xB5", "\xF4\x8F\xBF\xBF"}) {
    EXPECT_EQ(find_utf8_error(text), std::nullopt) << text;
  }
}

TEST(Utf8, ErrorGivesValidPrefixAndBadSequenceLength) {
  const struct {
    std::string bytes;
    Utf8Error error;
  } cases[] = {
      {"ab\xFF", {2, 1}},              // a byte that leads nothing
      {"\x80", {0, 1}},                // a lone continuation byte
      {"\xC0\xAF", {0, 1}},            // overlong lead byte
      {"\xE0\x80\x80", {0, 1}},        // overlong three-byte form: bad second byte
      {"\xED\xA0\x80", {0, 1}},        // a surrogate
      {"\xF4\x90\x80\x80", {0, 1}},    // above U+10FFFF
      {"x\xE2\x82x", {1, 2}},          // the third byte is not a continuation
      {"\xF0\x9F\x8Ex", {0, 3}},       // the fourth byte is not a continuation
      {"caf\xC3", {3, std::nullopt}},  // ends inside a sequence
      {"\xF0\x9F\x8E", {0, std::nullopt}},
  };
  for (const auto& [bytes, error] : cases) EXPECT_EQ(find_utf8_error(bytes), error) << RawArgument{bytes}.debug();
}

TEST(Utf8, AByteThatLeadsNoSequenceIsABadSequenceOfOne) {
  // Continuation bytes, the overlong leads C0 and C1, and the leads of code points above U+10FFFF
  // (F5 to F7) or of no sequence at all (F8 to FF), each followed by continuation bytes that a
  // four-byte lead would take.
  for (unsigned lead = 0x80; lead <= 0xFF; ++lead) {
    if (lead >= 0xC2 && lead <= 0xF4) continue;
    const std::string bytes = std::string("a") + static_cast<char>(lead) + "\x80\x80\x80";
    EXPECT_EQ(find_utf8_error(bytes), (Utf8Error{1, 1})) << RawArgument{bytes}.debug();
  }
}

TEST(Utf8, DebugForms) {
  EXPECT_EQ((Utf8Error{3, 1}).debug(), "Utf8Error { valid_up_to: 3, error_len: Some(1) }");
  EXPECT_EQ((Utf8Error{0, std::nullopt}).debug(), "Utf8Error { valid_up_to: 0, error_len: None }");
}

TEST(Utf16, ConvertsToUtf8AndAnUnpairedSurrogateToBytesThatAreNotUtf8) {
  const struct {
    std::u16string text;
    std::string bytes;
    std::optional<Utf8Error> error;
  } cases[] = {
      {u"", "", std::nullopt},
      {u"12", "12", std::nullopt},
      {u"caf\u00E9 \u20AC\u07FF\u0800\uFFFF", "caf\xC3\xA9 \xE2\x82\xAC\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF", std::nullopt},
      {u"\U0001F3B5\U0010FFFF", "\xF0\x9F\x8E\xB5\xF4\x8F\xBF\xBF", std::nullopt},  // surrogate pairs
      // A high surrogate alone, before another character and at the end; a low one alone.
      {std::u16string{u'a', char16_t{0xD83C}, u'b'},
       "a\xED\xA0\xBC"
       "b",
       Utf8Error{1, 1}},
      {std::u16string{u'a', char16_t{0xD83C}}, "a\xED\xA0\xBC", Utf8Error{1, 1}},
      {std::u16string{char16_t{0xDF75}, u'a'},
       "\xED\xBD\xB5"
       "a",
       Utf8Error{0, 1}},
      // Two high surrogates make no pair: each stands alone.
      {std::u16string{char16_t{0xD83C}, char16_t{0xD83C}, char16_t{0xDFB5}}, "\xED\xA0\xBC\xF0\x9F\x8E\xB5",
       Utf8Error{0, 1}},
  };
  for (const auto& [text, bytes, error] : cases) {
    const std::string converted = utf8_from_utf16(text);
    EXPECT_EQ(converted, bytes) << RawArgument{bytes}.debug();
    EXPECT_EQ(find_utf8_error(converted), error) << RawArgument{bytes}.debug();
  }
}

TEST(Arguments, InvalidTextIsReportedInOneLineByItsRawBytes) {
  EXPECT_EQ(argument_text("12"), "12");
  EXPECT_EQ(argument_text("caf\xC3\xA9"), "caf\xC3\xA9");
  const auto raw = argument_text("a\"b\\\n\xFF");
  ASSERT_FALSE(raw.has_value());
  EXPECT_EQ(raw.error().debug(), R"("a\"b\\\x0A\xFF")");
}

}  // namespace
