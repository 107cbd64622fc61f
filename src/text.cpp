#include "text.hpp"

#include <cstdint>

namespace {

bool within(std::uint8_t byte, std::uint8_t low, std::uint8_t high) { return low <= byte && byte <= high; }
bool within16(std::uint32_t unit, std::uint32_t low, std::uint32_t high) { return low <= unit && unit <= high; }

/// Bytes in a sequence: 1 for ASCII, 2 to 4 for a valid lead byte, 0 for a byte that leads nothing.
std::size_t sequence_width(std::uint8_t lead) {
  if (lead < 0x80) return 1;
  if (within(lead, 0xC2, 0xDF)) return 2;
  if (within(lead, 0xE0, 0xEF)) return 3;
  if (within(lead, 0xF0, 0xF4)) return 4;
  return 0;
}

}  // namespace

std::string Utf8Error::debug() const {
  std::string text = "Utf8Error { valid_up_to: " + std::to_string(valid_up_to) + ", error_len: ";
  text += error_len ? "Some(" + std::to_string(*error_len) + ")" : std::string("None");
  return text + " }";
}

std::optional<Utf8Error> find_utf8_error(std::string_view bytes) {
  std::size_t start = 0;
  while (start < bytes.size()) {
    const auto lead = static_cast<std::uint8_t>(bytes[start]);
    const std::size_t width = sequence_width(lead);
    if (width == 0) return Utf8Error{start, 1};
    // The second byte's range excludes overlong forms, surrogates and code points above U+10FFFF.
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
    for (std::size_t offset = 1; offset < width; ++offset) {
      if (start + offset >= bytes.size()) return Utf8Error{start, std::nullopt};
      const auto byte = static_cast<std::uint8_t>(bytes[start + offset]);
      if (!within(byte, offset == 1 ? low : 0x80, offset == 1 ? high : 0xBF)) return Utf8Error{start, offset};
    }
    start += width;
  }
  return std::nullopt;
}

std::string utf8_from_utf16(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  const auto byte = [&bytes](std::uint32_t value) { bytes.push_back(static_cast<char>(value)); };
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t point = text[i];
    // A high surrogate followed by a low one is one code point beyond U+FFFF.
    if (within16(point, 0xD800, 0xDBFF) && i + 1 < text.size() && within16(text[i + 1], 0xDC00, 0xDFFF)) {
      point = 0x10000 + ((point - 0xD800) << 10U) + (text[++i] - 0xDC00U);
    }
    if (point < 0x80) {
      byte(point);
    } else if (point < 0x800) {
      byte(0xC0 | (point >> 6U));
      byte(0x80 | (point & 0x3FU));
    } else if (point < 0x10000) {
      byte(0xE0 | (point >> 12U));
      byte(0x80 | ((point >> 6U) & 0x3FU));
      byte(0x80 | (point & 0x3FU));
    } else {
      byte(0xF0 | (point >> 18U));
      byte(0x80 | ((point >> 12U) & 0x3FU));
      byte(0x80 | ((point >> 6U) & 0x3FU));
      byte(0x80 | (point & 0x3FU));
    }
  }
  return bytes;
}

std::string RawArgument::debug() const {
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string text = "\"";
  for (const char c : bytes) {
    const auto byte = static_cast<std::uint8_t>(c);
    if (c == '"' || c == '\\') {
      text += '\\';
      text += c;
    } else if (within(byte, 0x20, 0x7E)) {
      text += c;
    } else {
      text += "\\x";
      text += hex[byte >> 4U];
      text += hex[byte & 0xFU];
    }
  }
  return text + "\"";
}

std::expected<std::string, RawArgument> argument_text(std::string bytes) {
  if (find_utf8_error(bytes)) return std::unexpected(RawArgument{std::move(bytes)});
  return bytes;
}
