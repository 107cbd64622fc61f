#pragma once

#include <cstddef>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

/// Where a byte string stops being valid UTF-8: the length of its valid prefix, and the length of
/// the bad sequence after it (absent when the bytes end inside a sequence that could still be valid).
struct Utf8Error {
  std::size_t valid_up_to = 0;
  std::optional<std::size_t> error_len;

  /// Utf8Error { valid_up_to: 3, error_len: Some(1) }
  std::string debug() const;
  friend bool operator==(const Utf8Error&, const Utf8Error&) = default;
};

/// The first place where `bytes` are not valid UTF-8, or nothing when all of them are.
std::optional<Utf8Error> find_utf8_error(std::string_view bytes);

/// UTF-16 text as UTF-8. An unpaired surrogate, which no UTF-8 can hold, becomes the three bytes
/// that would encode its value, which are not valid UTF-8, so `find_utf8_error` finds it where it
/// stood.
std::string utf8_from_utf16(std::u16string_view text);

/// An argument as the command line gave it, for a report when it is not valid text: in double
/// quotes, with every byte that is not printable ASCII written as \xNN.
struct RawArgument {
  std::string bytes;
  std::string debug() const;
};

/// The argument as text, or its raw form when it is not valid UTF-8.
std::expected<std::string, RawArgument> argument_text(std::string bytes);
