#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text.hpp"

// What the fuzz targets share: a readable form of an input and the report of a result that
// disagrees with the model. The report aborts, so libFuzzer keeps the input as a crash.

/// The bytes in double quotes, printable ASCII as is and every other byte as \xNN: the form the
/// program gives a raw argument, which the UTF-8 target checks by reading it back.
inline std::string quoted(std::string_view bytes) { return RawArgument{std::string(bytes)}.debug(); }

[[noreturn]] inline void report_mismatch(std::string_view what, std::string_view input, const std::string& got,
                                         const std::string& expected) {
  // The process aborts next either way; a report that cannot be written changes nothing.
  static_cast<void>(
      std::fprintf(stderr, "\n%.*s disagrees with the model\n  input:    %s\n  got:      %s\n  expected: %s\n",
                   static_cast<int>(what.size()), what.data(), quoted(input).c_str(), got.c_str(), expected.c_str()));
  std::abort();
}
