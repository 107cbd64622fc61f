#include "text.hpp"

#include <gtest/gtest.h>

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
  for (const auto& [bytes, error] : cases) {
    EXPECT_EQ(find_utf8_error(bytes), error) << RawArgument{bytes}.debug();
  }
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

TEST(Arguments, InvalidTextIsReportedInOneLineByItsRawBytes) {
  EXPECT_EQ(argument_text("12"), "12");
  EXPECT_EQ(argument_text("caf\xC3\xA9"), "caf\xC3\xA9");
  const auto raw = argument_text("a\"b\\\n\xFF");
  ASSERT_FALSE(raw.has_value());
  EXPECT_EQ(raw.error().debug(), R"("a\"b\\\x0A\xFF")");
}

}  // namespace
