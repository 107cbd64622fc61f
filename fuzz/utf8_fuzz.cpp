// Fuzzes the UTF-8 check: find_utf8_error must agree with a model that knows UTF-8 only through its
// encoder, and argument_text must keep valid text as it is and give back invalid bytes in a report
// that reads back to the same bytes.
//
// The model is strict UTF-8 as Unicode defines it: the shortest encoding of a code point up to
// U+10FFFF that is not a surrogate. (The C library's mbrtowc is no reference for this: glibc
// accepts encoded surrogates.)

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "report.hpp"
#include "text.hpp"

namespace {

std::uint64_t key(std::string_view bytes) {
  std::uint64_t packed = bytes.size();
  for (const char c : bytes) packed = packed << 8U | static_cast<unsigned char>(c);
  return packed;
}

/// Every prefix of every code point's encoding, mapped to whether it is the whole encoding.
const std::unordered_map<std::uint64_t, bool>& encoding_prefixes() {
  static const auto table = [] {
    std::unordered_map<std::uint64_t, bool> prefixes;
    prefixes.reserve(1'200'000);
    for (std::uint32_t cp = 0; cp <= 0x10FFFF; ++cp) {
      if (cp >= 0xD800 && cp <= 0xDFFF) continue;
      std::string encoded;
      auto put = [&](std::uint32_t byte) { encoded += static_cast<char>(byte); };
      if (cp < 0x80) {
        put(cp);
      } else if (cp < 0x800) {
        put(0xC0 | cp >> 6);
        put(0x80 | (cp & 0x3F));
      } else if (cp < 0x10000) {
        put(0xE0 | cp >> 12);
        put(0x80 | (cp >> 6 & 0x3F));
        put(0x80 | (cp & 0x3F));
      } else {
        put(0xF0 | cp >> 18);
        put(0x80 | (cp >> 12 & 0x3F));
        put(0x80 | (cp >> 6 & 0x3F));
        put(0x80 | (cp & 0x3F));
      }
      for (std::size_t length = 1; length <= encoded.size(); ++length) {
        prefixes[key(std::string_view(encoded).substr(0, length))] = length == encoded.size();
      }
    }
    return prefixes;
  }();
  return table;
}

// At each position, take bytes while they are still the start of some encoding. A whole encoding
// is a character; running out of input part-way is an unfinished sequence (no error length);
// otherwise the bad sequence is the bytes taken, at least one.
std::optional<Utf8Error> model_find_error(std::string_view bytes) {
  const auto& prefixes = encoding_prefixes();
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t taken = 0;
    bool whole = false;
    while (!whole && start + taken < bytes.size()) {
      const auto found = prefixes.find(key(bytes.substr(start, taken + 1)));
      if (found == prefixes.end()) break;
      ++taken;
      whole = found->second;
    }
    if (whole) {
      start += taken;
    } else if (start + taken == bytes.size()) {
      return Utf8Error{start, std::nullopt};
    } else {
      return Utf8Error{start, std::max<std::size_t>(taken, 1)};
    }
  }
  return std::nullopt;
}

std::string describe(const std::optional<Utf8Error>& error) { return error ? error->debug() : "valid"; }

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

/// The bytes a raw argument's report stands for, or nothing when it is not a well-formed report
/// (printable ASCII only, in double quotes, with \" \\ and \xNN escapes).
std::optional<std::string> read_report(std::string_view report) {
  if (report.size() < 2 || report.front() != '"' || report.back() != '"') return std::nullopt;
  report = report.substr(1, report.size() - 2);
  std::string bytes;
  for (std::size_t i = 0; i < report.size(); ++i) {
    const char c = report[i];
    if (c < 0x20 || c > 0x7E || c == '"') return std::nullopt;
    if (c != '\\') {
      bytes += c;
    } else if (i + 1 < report.size() && (report[i + 1] == '"' || report[i + 1] == '\\')) {
      bytes += report[++i];
    } else if (i + 3 < report.size() && report[i + 1] == 'x' && hex_value(report[i + 2]) >= 0 &&
               hex_value(report[i + 3]) >= 0) {
      bytes += static_cast<char>(hex_value(report[i + 2]) * 16 + hex_value(report[i + 3]));
      i += 3;
    } else {
      return std::nullopt;
    }
  }
  return bytes;
}

void check_argument(std::string_view input) {
  // An argument is a C string: it ends at the first NUL.
  const std::string_view argument = input.substr(0, input.find('\0'));
  const std::unique_ptr<char[]> copy(new char[argument.size() + 1]);
  std::memcpy(copy.get(), argument.data(), argument.size());
  copy[argument.size()] = '\0';

  const auto result = argument_text(copy.get());
  const bool valid = !model_find_error(argument);
  if (result) {
    if (!valid || *result != argument) report_mismatch("argument_text", argument, quoted(*result), "an error");
    return;
  }
  if (valid) report_mismatch("argument_text", argument, result.error().debug(), "the text");
  const std::string report = result.error().debug();
  if (result.error().bytes != argument || read_report(report) != std::string(argument)) {
    report_mismatch("RawArgument::debug", argument, report, "a report of the argument's bytes");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  encoding_prefixes();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto got = find_utf8_error(bytes);
  const auto expected = model_find_error(bytes);
  if (got != expected) report_mismatch("find_utf8_error", bytes, describe(got), describe(expected));
  check_argument(bytes);
  return 0;
}
