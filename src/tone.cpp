#include "tone.hpp"

#include <algorithm>
#include <array>

#include "sine.hpp"

// Every float step below is rounded to 32 bits on its own, in the order written: the build turns
// off fused multiply-add contraction (-ffp-contract=off) and uses SSE or AVX arithmetic, which keeps
// no wider intermediate.

namespace {

// Frames are made a block at a time: the sine arguments of the whole block, then their sines, then
// the samples. The argument and sample loops make no calls and always run the full block, so the
// compiler turns them into vector instructions; each lane rounds exactly as the scalar step would,
// so the samples do not change. Only the sines are taken one by one, with the project's own sine
// (sine.hpp) rather than the C library's, which rounds differently from one system to another.
constexpr std::size_t block_frames = 256;
constexpr float two_pi = 6.2831855F;  // 2 pi held in single precision

// Builds a function twice, for AVX2 and without, where the platform's loader can choose between
// them (the build says so: Windows' loader cannot); elsewhere the function is built once, without.
#ifdef HANOI_TARGET_CLONES
#define AVX2_CLONE [[gnu::target_clones("avx2", "default")]]
#else
#define AVX2_CLONE
#endif

// The sine arguments of frames first .. first + block_frames - 1. Their division is what synthesis
// spends beyond the sines, so the loop is built twice: eight frames an instruction where the
// processor has AVX2, four elsewhere; the choice is made once, when the program is loaded. AVX2
// brings no fused multiply-add, and both forms round every lane alike.
AVX2_CLONE void sine_arguments(std::size_t first, float frequency_hz, std::array<float, block_frames>& values) {
  constexpr auto rate = static_cast<float>(frame_rate);
  // 32-bit indices convert to float without a narrowing shuffle, and exactly: a note has fewer than
  // 2^24 frames.
  const auto base = static_cast<std::int32_t>(first);
  for (std::int32_t k = 0; k < static_cast<std::int32_t>(block_frames); ++k) {
    const float a = two_pi * static_cast<float>(base + k);
    const float b = a * frequency_hz;
    values[static_cast<std::size_t>(k)] = b / rate;
  }
}

}  // namespace

std::uint32_t tone_frame_count(std::uint32_t length_ms) { return length_ms * frame_rate / 1000; }

std::optional<std::vector<Mono16>> render_tone(float frequency_hz, std::uint32_t length_ms) {
  if (length_ms > max_tone_length_ms) return std::nullopt;
  const std::size_t total = tone_frame_count(length_ms);
  std::vector<Mono16> frames;
  frames.reserve(total);  // the one allocation; each block is appended as it is finished
  std::array<float, block_frames> values{};
  std::array<Mono16, block_frames> samples{};
  for (std::size_t first = 0; first < total; first += block_frames) {
    sine_arguments(first, frequency_hz, values);
    const std::size_t count = std::min(block_frames, total - first);
    for (std::size_t k = 0; k < count; ++k) values[k] = chime_sine(values[k]);
    std::fill(values.begin() + static_cast<std::ptrdiff_t>(count), values.end(), 0.0F);  // past the note's end
    for (std::size_t k = 0; k < block_frames; ++k) {
      samples[k].sample = static_cast<std::int16_t>(values[k] * 32767.0F);  // toward zero; |v| <= 32767 fits
    }
    frames.insert(frames.end(), samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(count));
  }
  return frames;
}
