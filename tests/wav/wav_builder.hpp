#pragma once

// Builds WAV images in memory for the reader's and the note finder's tests.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace wav::testing {

enum class Encoding { pcm8, pcm16, pcm24, pcm32, float32, float64 };

struct Layout {
  Encoding encoding = Encoding::pcm16;
  unsigned channels = 1;
  std::uint32_t rate = 44100;
  bool extensible = false;
};

inline void put(std::vector<std::byte>& out, std::uint64_t value, unsigned bytes) {
  for (unsigned i = 0; i < bytes; ++i) out.push_back(static_cast<std::byte>(value >> (8 * i)));
}

inline void put_id(std::vector<std::byte>& out, const char* id) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::byte>(id[i]));
}

inline void put_chunk(std::vector<std::byte>& out, const char* id, const std::vector<std::byte>& body) {
  put_id(out, id);
  put(out, body.size(), 4);
  out.insert(out.end(), body.begin(), body.end());
  if (body.size() % 2 != 0) out.push_back(std::byte{0});
}

inline unsigned sample_bytes(Encoding e) {
  switch (e) {
    case Encoding::pcm8: return 1;
    case Encoding::pcm16: return 2;
    case Encoding::pcm24: return 3;
    case Encoding::pcm32:
    case Encoding::float32: return 4;
    case Encoding::float64: return 8;
  }
  return 0;
}

inline std::vector<std::byte> fmt_chunk(const Layout& l) {
  const bool ieee = l.encoding == Encoding::float32 || l.encoding == Encoding::float64;
  const unsigned bytes = sample_bytes(l.encoding);
  std::vector<std::byte> fmt;
  const std::uint16_t tag = ieee ? 3 : 1;
  put(fmt, l.extensible ? 0xFFFE : tag, 2);
  put(fmt, l.channels, 2);
  put(fmt, l.rate, 4);
  put(fmt, std::uint64_t{l.rate} * l.channels * bytes, 4);
  put(fmt, std::uint64_t{l.channels} * bytes, 2);
  put(fmt, std::uint64_t{bytes} * 8, 2);
  if (l.extensible) {
    put(fmt, 22, 2);
    put(fmt, std::uint64_t{bytes} * 8, 2);
    put(fmt, 0, 4);
    put(fmt, tag, 2);
    for (unsigned v : {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}) {
      fmt.push_back(static_cast<std::byte>(v));
    }
  }
  return fmt;
}

// Interleaved samples, full scale = 1, in the layout's encoding.
inline std::vector<std::byte> data_chunk(const Layout& l, const std::vector<double>& interleaved) {
  std::vector<std::byte> data;
  for (double v : interleaved) {
    switch (l.encoding) {
      case Encoding::pcm8: put(data, static_cast<std::uint64_t>(std::lround(v * 127.0) + 128), 1); break;
      case Encoding::pcm16: put(data, static_cast<std::uint64_t>(std::lround(v * 32767.0)), 2); break;
      case Encoding::pcm24: put(data, static_cast<std::uint64_t>(std::lround(v * 8388607.0)), 3); break;
      case Encoding::pcm32: put(data, static_cast<std::uint64_t>(std::llround(v * 2147483647.0)), 4); break;
      case Encoding::float32: {
        const auto f = static_cast<float>(v);
        std::uint32_t bits = 0;
        std::memcpy(&bits, &f, 4);
        put(data, bits, 4);
        break;
      }
      case Encoding::float64: {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &v, 8);
        put(data, bits, 8);
        break;
      }
    }
  }
  return data;
}

// A whole file: the chunks in order, wrapped in a RIFF/WAVE header.
inline std::vector<std::byte> riff(const std::vector<std::pair<const char*, std::vector<std::byte>>>& chunks) {
  std::vector<std::byte> body;
  put_id(body, "WAVE");
  for (const auto& [id, content] : chunks) put_chunk(body, id, content);
  std::vector<std::byte> out;
  put_id(out, "RIFF");
  put(out, body.size(), 4);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

inline std::vector<std::byte> wav_image(const Layout& l, const std::vector<double>& interleaved) {
  return riff({{"fmt ", fmt_chunk(l)}, {"data", data_chunk(l, interleaved)}});
}

}  // namespace wav::testing
