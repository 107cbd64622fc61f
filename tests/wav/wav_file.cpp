#include "wav_file.hpp"

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>

namespace wav {
namespace {

constexpr std::uint16_t format_pcm = 0x0001;
constexpr std::uint16_t format_float = 0x0003;
constexpr std::uint16_t format_extensible = 0xFFFE;
// An extensible header names its sample format by a GUID whose last 14 bytes are fixed; the first
// two bytes hold the plain format tag.
constexpr std::array<unsigned char, 14> subformat_tail{0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                       0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
// Recorders that stream write these as the data length and may never come back to fix it.
constexpr std::uint32_t length_unset_zero = 0;
constexpr std::uint32_t length_unset_ones = 0xFFFFFFFF;

std::uint16_t u16(const std::byte* p) {
  return static_cast<std::uint16_t>(std::to_integer<unsigned>(p[0]) | (std::to_integer<unsigned>(p[1]) << 8));
}

std::uint32_t u32(const std::byte* p) {
  return static_cast<std::uint32_t>(u16(p)) | (static_cast<std::uint32_t>(u16(p + 2)) << 16);
}

bool has_id(const std::byte* p, const char (&id)[5]) { return std::memcmp(p, id, 4) == 0; }

struct Format {
  std::uint16_t tag = 0;  // format_pcm or format_float once resolved
  unsigned channels = 0;
  std::uint32_t rate = 0;
  unsigned block_align = 0;
  unsigned bytes_per_sample = 0;
};

std::expected<Format, std::string> parse_format(std::span<const std::byte> chunk) {
  if (chunk.size() < 16) {
    return std::unexpected("fmt chunk is " + std::to_string(chunk.size()) + " bytes, needs at least 16");
  }
  const std::byte* p = chunk.data();
  Format f;
  f.tag = u16(p);
  f.channels = u16(p + 2);
  f.rate = u32(p + 4);
  f.block_align = u16(p + 12);
  const unsigned bits = u16(p + 14);
  if (f.tag == format_extensible) {
    if (chunk.size() < 40) {
      return std::unexpected("extensible fmt chunk is " + std::to_string(chunk.size()) + " bytes, needs 40");
    }
    if (std::memcmp(p + 26, subformat_tail.data(), subformat_tail.size()) != 0) {
      return std::unexpected(std::string("extensible fmt chunk has an unknown sub-format"));
    }
    f.tag = u16(p + 24);
  }
  if (f.channels == 0) return std::unexpected(std::string("fmt chunk declares no channels"));
  if (f.rate == 0) return std::unexpected(std::string("fmt chunk declares a sample rate of 0"));
  const bool pcm = f.tag == format_pcm && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
  const bool ieee = f.tag == format_float && (bits == 32 || bits == 64);
  if (!pcm && !ieee) {
    return std::unexpected("unsupported sample format: tag " + std::to_string(f.tag) + ", " + std::to_string(bits) +
                           " bits");
  }
  f.bytes_per_sample = bits / 8;
  if (f.block_align != f.channels * f.bytes_per_sample) {
    return std::unexpected("block align " + std::to_string(f.block_align) + " does not match " +
                           std::to_string(f.channels) + " channels of " + std::to_string(bits) + " bits");
  }
  return f;
}

// One sample as a float with full scale at 1.
double decode_sample(const Format& f, const std::byte* p) {
  if (f.tag == format_float) {
    if (f.bytes_per_sample == 4) return std::bit_cast<float>(u32(p));
    const std::uint64_t bits = u32(p) | (static_cast<std::uint64_t>(u32(p + 4)) << 32);
    return std::bit_cast<double>(bits);
  }
  switch (f.bytes_per_sample) {
    case 1:  // 8-bit PCM is unsigned, centred on 128
      return (std::to_integer<int>(p[0]) - 128) / 128.0;
    case 2: return static_cast<std::int16_t>(u16(p)) / 32768.0;
    case 3: {
      // Place the three bytes at the top of a 32-bit word so the sign comes along.
      const std::uint32_t word = (static_cast<std::uint32_t>(u16(p)) << 8) |
                                 (static_cast<std::uint32_t>(std::to_integer<unsigned>(p[2])) << 24);
      return static_cast<std::int32_t>(word) / 2147483648.0;
    }
    default: return static_cast<std::int32_t>(u32(p)) / 2147483648.0;
  }
}

std::expected<Signal, std::string> decode_data(const Format& f, std::span<const std::byte> data, bool truncated) {
  const std::size_t frames = data.size() / f.block_align;
  // Decode every channel first: the loudest one is kept. Averaging would be simpler, but the
  // channels of a positioned source are not always copies of each other (a stereo encoding may
  // shift their phase, a surround layout leaves channels empty), and a mix can partly cancel or
  // dilute the tone; the loudest channel is an undistorted copy with the best signal to noise.
  std::vector<std::vector<float>> channels(f.channels, std::vector<float>(frames));
  std::vector<double> energy(f.channels, 0.0);
  for (std::size_t i = 0; i < frames; ++i) {
    const std::byte* frame = data.data() + i * f.block_align;
    for (unsigned c = 0; c < f.channels; ++c) {
      const double v = decode_sample(f, frame + std::size_t{c} * f.bytes_per_sample);
      if (!std::isfinite(v)) {
        return std::unexpected("sample " + std::to_string(i) + " of channel " + std::to_string(c) +
                               " is not a finite number");
      }
      channels[c][i] = static_cast<float>(v);
      energy[c] += v * v;
    }
  }
  unsigned loudest = 0;
  for (unsigned c = 1; c < f.channels; ++c) {
    if (energy[c] > energy[loudest]) loudest = c;
  }
  Signal s;
  s.sample_rate = f.rate;
  s.samples = std::move(channels[loudest]);
  s.channel_count = f.channels;
  s.channel = loudest;
  s.truncated = truncated;
  return s;
}

}  // namespace

std::expected<Signal, std::string> parse_wav(std::span<const std::byte> bytes) {
  if (bytes.size() < 12 || !has_id(bytes.data(), "RIFF") || !has_id(bytes.data() + 8, "WAVE")) {
    return std::unexpected(std::string("not a RIFF/WAVE file"));
  }
  std::optional<Format> format;
  std::size_t pos = 12;
  while (bytes.size() - pos >= 8) {
    const std::byte* header = bytes.data() + pos;
    const std::uint32_t declared = u32(header + 4);
    const std::size_t body = pos + 8;
    const std::size_t available = bytes.size() - body;

    if (has_id(header, "data")) {
      if (!format) return std::unexpected(std::string("data chunk comes before the fmt chunk"));
      // Samples are the last thing a recorder writes, so a short file or an unset length means
      // the recording stopped early: keep what is there and say so.
      const bool unset = declared == length_unset_zero || declared == length_unset_ones;
      const bool short_file = declared > available;
      const std::size_t length = unset || short_file ? available : declared;
      return decode_data(*format, bytes.subspan(body, length), unset || short_file);
    }
    if (declared > available) {
      return std::unexpected("chunk '" + std::string(reinterpret_cast<const char*>(header), 4) +
                             "' runs past the end of the file");
    }
    if (has_id(header, "fmt ")) {
      auto parsed = parse_format(bytes.subspan(body, declared));
      if (!parsed) return std::unexpected(parsed.error());
      format = *parsed;
    }
    // Chunks are padded to an even length.
    pos = body + declared + (declared & 1U);
    if (pos > bytes.size()) break;
  }
  return std::unexpected(std::string(format ? "no data chunk" : "no fmt chunk"));
}

Signal decode_pcm16(std::span<const std::byte> bytes, double sample_rate, unsigned channels) {
  const Format format{.tag = format_pcm,
                      .channels = channels,
                      .rate = static_cast<std::uint32_t>(sample_rate),
                      .block_align = 2 * channels,
                      .bytes_per_sample = 2};
  return *decode_data(format, bytes, false);  // 16-bit samples are always finite
}

std::expected<Signal, std::string> read_wav(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::unexpected("cannot open " + path.string());
  std::vector<char> raw{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) return std::unexpected("cannot read " + path.string());
  auto signal = parse_wav(std::as_bytes(std::span(raw)));
  if (!signal) return std::unexpected(path.string() + ": " + signal.error());
  return signal;
}

}  // namespace wav
