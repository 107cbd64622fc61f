#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

/// The disc count when the command line gives none.
inline constexpr std::uint32_t default_disc_count = 8;
/// The largest tower the program takes on: 2^64 - 1 moves still fit a 64-bit count, and the
/// recursion stays 64 calls deep. No run that large could ever finish.
inline constexpr std::uint32_t max_disc_count = 64;

/// Why a disc count was refused.
struct DiscCountError {
  enum class Kind : std::uint8_t { Empty, InvalidDigit, Overflow, OutOfRange };
  Kind kind;
  /// The parsed count, for OutOfRange.
  std::uint32_t count = 0;

  /// The kind's name; OutOfRange also shows the count and the accepted range.
  std::string debug() const;
  friend bool operator==(const DiscCountError&, const DiscCountError&) = default;
};

/// Reads an unsigned 32-bit decimal: one optional leading "+", leading zeros allowed, nothing
/// trimmed. The first failing character or step decides the kind of the error.
std::expected<std::uint32_t, DiscCountError> parse_disc_count(std::string_view text);

/// A count the solver can run: 1 to `max_disc_count`.
std::expected<std::uint32_t, DiscCountError> check_disc_count(std::uint32_t count);
