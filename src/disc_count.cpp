#include "disc_count.hpp"

#include <limits>

std::string DiscCountError::debug() const {
  switch (kind) {
    case Kind::Empty: return "Empty";
    case Kind::InvalidDigit: return "InvalidDigit";
    case Kind::Overflow: return "Overflow";
    case Kind::OutOfRange:
      return "OutOfRange { count: " + std::to_string(count) + ", min: 1, max: " + std::to_string(max_disc_count) + " }";
  }
  return "DiscCountError";
}

std::expected<std::uint32_t, DiscCountError> parse_disc_count(std::string_view text) {
  using Kind = DiscCountError::Kind;
  if (text.starts_with('+')) text.remove_prefix(1);
  if (text.empty()) return std::unexpected(DiscCountError{Kind::Empty});
  constexpr std::uint32_t max = std::numeric_limits<std::uint32_t>::max();
  std::uint32_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::unexpected(DiscCountError{Kind::InvalidDigit});
    const auto digit = static_cast<std::uint32_t>(c - '0');
    // Both steps are checked before they are taken: the first one that would pass 2^32 - 1 fails.
    if (value > max / 10 || value * 10 > max - digit) return std::unexpected(DiscCountError{Kind::Overflow});
    value = value * 10 + digit;
  }
  return value;
}

std::expected<std::uint32_t, DiscCountError> check_disc_count(std::uint32_t count) {
  if (count == 0 || count > max_disc_count)
    return std::unexpected(DiscCountError{DiscCountError::Kind::OutOfRange, count});
  return count;
}
