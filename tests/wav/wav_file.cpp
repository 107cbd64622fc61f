#include "wav_file.hpp"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>

namespace wav {
namespace {

// The formats read: the tests' OpenAL Soft configuration pins 16-bit samples, 2 channels and
// 44100 Hz; scripts/record.sh leaves the wave writer its default samples, 32-bit float.
constexpr unsigned recorded_channels = 2;
constexpr std::uint32_t recorded_rate = 44100;

constexpr std::uint16_t format_pcm = 0x0001;
constexpr std::uint16_t format_float = 0x0003;
constexpr std::uint16_t format_extensible = 0xFFFE;
constexpr std::size_t extensible_fmt_bytes = 40;
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

/// What a fmt chunk describes: "24-bit integer PCM, 2 channels at 44100 Hz".
std::string describe(std::uint16_t tag, unsigned bits, unsigned channels, std::uint32_t rate) {
  std::string samples = tag == format_pcm     ? std::to_string(bits) + "-bit integer PCM"
                        : tag == format_float ? std::to_string(bits) + "-bit float"
                                              : "sample format " + std::to_string(tag);
  return samples + ", " + std::to_string(channels) + (channels == 1 ? " channel" : " channels") + " at " +
         std::to_string(rate) + " Hz";
}

/// The sample format of the "fmt " chunk, 16-bit integer PCM or 32-bit float, when it describes a
/// recorded format; else what is wrong with it.
std::expected<std::uint16_t, std::string> check_format(std::span<const std::byte> chunk) {
  if (chunk.size() < 16) {
    return std::unexpected("fmt chunk is " + std::to_string(chunk.size()) + " bytes, needs at least 16");
  }
  const std::byte* p = chunk.data();
  if (u16(p) != format_extensible) {
    return std::unexpected("expected the extensible fmt chunk OpenAL Soft writes; got format tag " +
                           std::to_string(u16(p)));
  }
  if (chunk.size() < extensible_fmt_bytes) {
    return std::unexpected("extensible fmt chunk is " + std::to_string(chunk.size()) + " bytes, needs 40");
  }
  if (std::memcmp(p + 26, subformat_tail.data(), subformat_tail.size()) != 0) {
    return std::unexpected(std::string("extensible fmt chunk has an unknown sub-format"));
  }
  const std::uint16_t tag = u16(p + 24);
  const unsigned channels = u16(p + 2);
  const std::uint32_t rate = u32(p + 4);
  const unsigned block_align = u16(p + 12);
  const unsigned bits = u16(p + 14);
  const bool known_samples = (tag == format_pcm && bits == 16) || (tag == format_float && bits == 32);
  if (!known_samples || channels != recorded_channels || rate != recorded_rate) {
    return std::unexpected("expected 16-bit integer PCM or 32-bit float, 2 channels at 44100 Hz; got " +
                           describe(tag, bits, channels, rate));
  }
  if (block_align != channels * bits / 8) {
    return std::unexpected("block align " + std::to_string(block_align) + " does not match " +
                           std::to_string(channels) + " channels of " + std::to_string(bits) + " bits");
  }
  return tag;
}

/// Sample `index` of `data`, full scale = 1.
double sample(std::span<const std::byte> data, std::uint16_t format, std::size_t index) {
  if (format == format_float) return std::bit_cast<float>(u32(data.data() + 4 * index));
  return static_cast<std::int16_t>(u16(data.data() + 2 * index)) / 32768.0;
}

Signal decode(std::span<const std::byte> data, std::uint16_t format, double sample_rate, unsigned channel_count,
              bool truncated) {
  const std::size_t sample_bytes = format == format_float ? 4 : 2;
  const std::size_t frames = data.size() / (sample_bytes * channel_count);
  // Decode every channel first: the loudest one is kept. Averaging would be simpler, but the
  // channels of a positioned source are not copies of each other (a stereo encoding may shift
  // their phase), and a mix can partly cancel or dilute the tone; the loudest channel is an
  // undistorted copy with the best signal to noise.
  std::vector<std::vector<float>> channels(channel_count, std::vector<float>(frames));
  std::vector<double> energy(channel_count, 0.0);
  for (std::size_t i = 0; i < frames; ++i) {
    for (unsigned c = 0; c < channel_count; ++c) {
      const double v = sample(data, format, i * channel_count + c);
      channels[c][i] = static_cast<float>(v);
      energy[c] += v * v;
    }
  }
  unsigned loudest = 0;
  for (unsigned c = 1; c < channel_count; ++c)
    if (energy[c] > energy[loudest]) loudest = c;
  Signal s;
  s.sample_rate = sample_rate;
  s.samples = std::move(channels[loudest]);
  s.channel_count = channel_count;
  s.channel = loudest;
  s.truncated = truncated;
  return s;
}

}  // namespace

std::expected<Signal, std::string> parse_wav(std::span<const std::byte> bytes) {
  if (bytes.size() < 12 || !has_id(bytes.data(), "RIFF") || !has_id(bytes.data() + 8, "WAVE")) {
    return std::unexpected(std::string("not a RIFF/WAVE file"));
  }
  std::optional<std::uint16_t> format;
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
      return decode(bytes.subspan(body, length), *format, recorded_rate, recorded_channels, unset || short_file);
    }
    if (declared > available) {
      return std::unexpected("chunk '" + std::string(reinterpret_cast<const char*>(header), 4) +
                             "' runs past the end of the file");
    }
    if (has_id(header, "fmt ")) {
      const auto checked = check_format(bytes.subspan(body, declared));
      if (!checked) return std::unexpected(checked.error());
      format = *checked;
    }
    // Chunks are padded to an even length.
    pos = body + declared + (declared & 1U);
    if (pos > bytes.size()) break;
  }
  return std::unexpected(std::string(format ? "no data chunk" : "no fmt chunk"));
}

Signal decode_pcm16(std::span<const std::byte> bytes, double sample_rate, unsigned channels) {
  return decode(bytes, format_pcm, sample_rate, channels, false);
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
