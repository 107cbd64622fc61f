#include "tone.hpp"

#include <cmath>

// This file is compiled with -ffp-contract=off and -fexcess-precision=standard (see CMakeLists.txt):
// each float step below is rounded to 32 bits on its own, in the order written.

std::uint32_t tone_frame_count(std::uint32_t length_ms) { return length_ms * frame_rate / 1000; }

std::optional<std::vector<Mono16>> render_tone(float frequency_hz, std::uint32_t length_ms) {
  if (length_ms > max_tone_length_ms) return std::nullopt;
  constexpr float two_pi = 6.2831855F;  // 2 pi held in single precision
  constexpr auto rate = static_cast<float>(frame_rate);
  std::vector<Mono16> frames(tone_frame_count(length_ms));
  for (std::uint32_t i = 0; i < frames.size(); ++i) {
    const float a = two_pi * static_cast<float>(i);  // exact: the count stays below 2^24
    const float b = a * frequency_hz;
    const float c = b / rate;
    const float s = std::sin(c);
    const float v = s * 32767.0F;
    frames[i].sample = static_cast<std::int16_t>(v);  // toward zero; |v| <= 32767 always fits
  }
  return frames;
}
