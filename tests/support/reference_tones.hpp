#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fnv1a.hpp"
#include "tone.hpp"

/// One row of the independently computed reference frames (tests/data/tones.csv).
struct ReferenceTone {
  std::string frequency;  // as written in the chime table
  std::uint32_t length_ms = 0;
  std::size_t frames = 0;
  std::vector<int> first8;
  int min = 0;
  int max = 0;
  std::int64_t sum = 0;
  std::int64_t sum_of_squares = 0;
  std::uint64_t fnv1a = 0;
};

/// The rows of tests/data/tones.csv.
std::vector<ReferenceTone> reference_tones();

/// The reference row for a note, by its frequency as written in the chime table and its length.
const ReferenceTone& reference_tone(const std::string& frequency, std::uint32_t length_ms);

/// 64-bit FNV-1a of the samples as little-endian bytes, as in the reference; hex16 (fnv1a.hpp)
/// writes it the way the fake library records it.
std::uint64_t fnv1a_le(const std::vector<Mono16>& frames);
