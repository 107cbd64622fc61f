#include "disc_count.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using Kind = DiscCountError::Kind;

TEST(DiscCount, AcceptsPlainDecimalWithOneOptionalPlusAndLeadingZeros) {
  EXPECT_EQ(parse_disc_count("8"), 8U);
  EXPECT_EQ(parse_disc_count("+5"), 5U);
  EXPECT_EQ(parse_disc_count("007"), 7U);
  EXPECT_EQ(parse_disc_count("+0"), 0U);
  EXPECT_EQ(parse_disc_count("4294967295"), 4294967295U);
  EXPECT_EQ(parse_disc_count("00000000004294967295"), 4294967295U);
}

TEST(DiscCount, RefusesWithTheKindOfTheFirstFailure) {
  const struct {
    std::string text;
    Kind kind;
  } cases[] = {
      {"", Kind::Empty},
      {"+", Kind::Empty},
      {"-1", Kind::InvalidDigit},
      {" 5", Kind::InvalidDigit},
      {"5 ", Kind::InvalidDigit},
      {"1e3", Kind::InvalidDigit},
      {"++5", Kind::InvalidDigit},
      {"+-5", Kind::InvalidDigit},
      {"0x10", Kind::InvalidDigit},
      {std::string("5\0", 2), Kind::InvalidDigit},
      {"4294967296", Kind::Overflow},  // overflows in the addition
      {"4294967300", Kind::Overflow},  // overflows in the multiplication
      {"99999999999", Kind::Overflow},
      {"9999999999a", Kind::Overflow},        // the overflow comes before the letter
      {"12a9999999999", Kind::InvalidDigit},  // the letter comes before the overflow
  };
  for (const auto& [text, kind] : cases) {
    const auto parsed = parse_disc_count(text);
    ASSERT_FALSE(parsed.has_value()) << '"' << text << '"';
    EXPECT_EQ(parsed.error().kind, kind) << '"' << text << '"';
  }
}

TEST(DiscCount, RunsOnlyCountsTheSolverCanFinish) {
  EXPECT_EQ(check_disc_count(1), 1U);
  EXPECT_EQ(check_disc_count(max_disc_count), max_disc_count);
  EXPECT_EQ(check_disc_count(0).error().debug(), "OutOfRange { count: 0, min: 1, max: 64 }");
  EXPECT_EQ(check_disc_count(65).error().debug(), "OutOfRange { count: 65, min: 1, max: 64 }");
  EXPECT_EQ(check_disc_count(4294967295U).error().kind, Kind::OutOfRange);
}

TEST(DiscCount, DebugFormNamesTheKind) {
  EXPECT_EQ(parse_disc_count("").error().debug(), "Empty");
  EXPECT_EQ(parse_disc_count("x").error().debug(), "InvalidDigit");
  EXPECT_EQ(parse_disc_count("4294967296").error().debug(), "Overflow");
}

}  // namespace
