#pragma once

#include <cstddef>
#include <expected>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace wav {

// One channel of a recording as floats, full scale = 1.
struct Signal {
  double sample_rate = 0.0;
  std::vector<float> samples;
  // Channels in the recording, and which one `samples` holds: the one with the most energy.
  unsigned channel_count = 0;
  unsigned channel = 0;
  // The data chunk declared more bytes than the file holds, or no length at all (a recorder that
  // never went back to write it): `samples` is every whole frame the file does hold.
  bool truncated = false;
};

// Decodes a RIFF/WAVE image as OpenAL Soft's wave writer records it: 2 channels at 44100 Hz, with
// its extensible format header, in 16-bit integer PCM (the tests' configuration pins it) or 32-bit
// float (its default, which scripts/record.sh keeps). Chunks other than "fmt " and "data" are
// skipped. Any other format, or anything that cannot be decoded, is an error message saying what
// was found, never a crash.
std::expected<Signal, std::string> parse_wav(std::span<const std::byte> bytes);

// Decodes raw interleaved signed 16-bit little-endian PCM, as a sound server's pipe sink writes it;
// a partial frame at the end is left out.
Signal decode_pcm16(std::span<const std::byte> bytes, double sample_rate, unsigned channels);

// Reads and decodes a WAV file.
std::expected<Signal, std::string> read_wav(const std::filesystem::path& path);

}  // namespace wav
