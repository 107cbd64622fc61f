#pragma once

// Builds WAV images in memory for the reader's and the note finder's tests, as OpenAL Soft's wave
// writer records them: 2 channels at 44100 Hz with an extensible header, in 16-bit integer PCM
// unless told.

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace wav::testing {

/// What the extensible header says; a test of a refused format changes it.
struct Header {
  std::uint16_t sample_format = 1;  // 1 integer PCM, 3 float
  unsigned bits = 16;
  unsigned channels = 2;
  std::uint32_t rate = 44100;
};

inline void put(std::vector<std::byte>& out, std::uint64_t value, unsigned bytes) {
  for (unsigned i = 0; i < bytes; ++i) out.push_back(static_cast<std::byte>(value >> (8 * i)));
}

inline void put_id(std::vector<std::byte>& out, const char* id) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::byte>(id[i]));
}

inline std::vector<std::byte> fmt_chunk(const Header& h = {}) {
  const unsigned block_align = h.channels * h.bits / 8;
  std::vector<std::byte> fmt;
  put(fmt, 0xFFFE, 2);
  put(fmt, h.channels, 2);
  put(fmt, h.rate, 4);
  put(fmt, std::uint64_t{h.rate} * block_align, 4);
  put(fmt, block_align, 2);
  put(fmt, h.bits, 2);
  put(fmt, 22, 2);
  put(fmt, h.bits, 2);
  put(fmt, 3, 4);  // front left and right
  put(fmt, h.sample_format, 2);
  for (unsigned v : {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}) {
    fmt.push_back(static_cast<std::byte>(v));
  }
  return fmt;
}

/// Interleaved samples, full scale = 1, as 16-bit integers or, for sample format 3, 32-bit floats.
inline std::vector<std::byte> data_chunk(const std::vector<double>& interleaved, const Header& h = {}) {
  std::vector<std::byte> data;
  for (double v : interleaved) {
    if (h.sample_format == 3) {
      put(data, std::bit_cast<std::uint32_t>(static_cast<float>(v)), 4);
    } else {
      put(data, static_cast<std::uint64_t>(std::lround(v * 32767.0)), 2);
    }
  }
  return data;
}

/// A whole file: the chunks in order, each padded to an even length, in a RIFF/WAVE header.
inline std::vector<std::byte> riff(const std::vector<std::pair<const char*, std::vector<std::byte>>>& chunks) {
  std::vector<std::byte> body;
  put_id(body, "WAVE");
  for (const auto& [id, content] : chunks) {
    put_id(body, id);
    put(body, content.size(), 4);
    body.insert(body.end(), content.begin(), content.end());
    if (content.size() % 2 != 0) body.push_back(std::byte{0});
  }
  std::vector<std::byte> out;
  put_id(out, "RIFF");
  put(out, body.size(), 4);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

inline std::vector<std::byte> wav_image(const std::vector<double>& interleaved, const Header& h = {}) {
  return riff({{"fmt ", fmt_chunk(h)}, {"data", data_chunk(interleaved, h)}});
}

}  // namespace wav::testing
