#pragma once

#include <cstddef>
#include <expected>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace wav {

// One channel of a WAV recording as floats, full scale = 1.
struct Signal {
  double sample_rate = 0.0;
  std::vector<float> samples;
  // Channels in the file, and which one `samples` holds: the one with the most energy.
  unsigned channel_count = 0;
  unsigned channel = 0;
  // The data chunk declared more bytes than the file holds, or no length at all (a recorder that
  // never went back to write it): `samples` is every whole frame the file does hold.
  bool truncated = false;

  double duration_s() const { return sample_rate > 0.0 ? static_cast<double>(samples.size()) / sample_rate : 0.0; }
};

// Decodes a RIFF/WAVE image: integer PCM of 8, 16, 24 or 32 bits and IEEE float of 32 or 64 bits,
// with a plain or an extensible format header, any number of channels. Chunks other than "fmt "
// and "data" are skipped. Anything that cannot be decoded is an error message, never a crash.
std::expected<Signal, std::string> parse_wav(std::span<const std::byte> bytes);

// Decodes raw interleaved signed 16-bit little-endian PCM, as a sound server's pipe sink writes it;
// a partial frame at the end is left out.
Signal decode_pcm16(std::span<const std::byte> bytes, double sample_rate, unsigned channels);

// Reads and decodes a WAV file.
std::expected<Signal, std::string> read_wav(const std::filesystem::path& path);

}  // namespace wav
