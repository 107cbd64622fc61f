// Fuzzes the disc count: every input is read by parse_disc_count and by a model of its rules, and
// the two must agree; every count it yields goes through check_disc_count as well.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "disc_count.hpp"
#include "report.hpp"

namespace {

using Kind = DiscCountError::Kind;

struct Outcome {
  bool ok = false;
  std::uint32_t value = 0;
  Kind kind = Kind::Empty;

  friend bool operator==(const Outcome&, const Outcome&) = default;
};

std::string describe(const Outcome& outcome) {
  if (outcome.ok) return "Ok(" + std::to_string(outcome.value) + ")";
  return DiscCountError{outcome.kind}.debug();
}

// The rules written out plainly: one optional "+", then digits only, left to right. The value is
// kept in 128 bits, where it cannot wrap, and is compared with 2^32 - 1 after every digit; since no
// digit is negative, a product above the limit means a sum above it, so this is the first failing
// step whether it is the multiplication or the addition that passes the limit.
Outcome model_parse(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return {false, 0, Kind::Empty};
  unsigned __int128 value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return {false, 0, Kind::InvalidDigit};
    value = value * 10 + static_cast<unsigned>(c - '0');
    if (value > 0xFFFF'FFFFU) return {false, 0, Kind::Overflow};
  }
  return {true, static_cast<std::uint32_t>(value), Kind::Empty};
}

Outcome outcome_of(const std::expected<std::uint32_t, DiscCountError>& result) {
  if (result) return {true, *result, Kind::Empty};
  return {false, 0, result.error().kind};
}

void check_range(std::uint32_t count, std::string_view input) {
  const auto result = check_disc_count(count);
  const bool accepted = count >= 1 && count <= max_disc_count;
  const bool agrees =
      accepted ? result && *result == count : !result && result.error() == DiscCountError{Kind::OutOfRange, count};
  if (!agrees) {
    const std::string got = result ? "Ok(" + std::to_string(*result) + ")" : result.error().debug();
    report_mismatch("check_disc_count(" + std::to_string(count) + ")", input, got,
                    accepted ? "Ok(" + std::to_string(count) + ")" : "OutOfRange for " + std::to_string(count));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const Outcome got = outcome_of(parse_disc_count(text));
  const Outcome expected = model_parse(text);
  if (got != expected) report_mismatch("parse_disc_count", text, describe(got), describe(expected));
  if (got.ok) check_range(got.value, text);
  // The range check on any 32-bit count, not only on those short digit strings reach easily.
  if (size >= 4) {
    std::uint32_t raw = 0;
    std::memcpy(&raw, data, sizeof raw);
    check_range(raw, text);
  }
  return 0;
}
