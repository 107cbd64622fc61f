#include "reference_tones.hpp"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

std::vector<ReferenceTone> reference_tones() {
  std::ifstream file(HANOI_TEST_DATA_DIR "/tones.csv");
  if (!file) throw std::runtime_error("cannot read " HANOI_TEST_DATA_DIR "/tones.csv");
  std::vector<ReferenceTone> rows;
  for (std::string line; std::getline(file, line);) {
    if (line.empty() || line.starts_with('#')) continue;
    std::replace(line.begin(), line.end(), ',', ' ');
    std::istringstream fields(line);
    ReferenceTone row;
    std::string hash;
    fields >> row.frequency >> row.length_ms >> row.frames;
    row.first8.resize(8);
    for (int& sample : row.first8) fields >> sample;
    fields >> row.min >> row.max >> row.sum >> row.sum_of_squares >> hash;
    row.fnv1a = std::stoull(hash, nullptr, 16);
    rows.push_back(row);
  }
  return rows;
}

const ReferenceTone& reference_tone(const std::string& frequency, std::uint32_t length_ms) {
  static const std::vector<ReferenceTone> rows = reference_tones();
  for (const ReferenceTone& row : rows)
    if (row.frequency == frequency && row.length_ms == length_ms) return row;
  throw std::runtime_error("no reference tone for " + frequency + " Hz, " + std::to_string(length_ms) + " ms");
}

std::uint64_t fnv1a_le(const std::vector<Mono16>& frames) {
  std::uint64_t hash = fnv1a_offset_basis;
  for (const Mono16 frame : frames) {
    const auto bits = static_cast<std::uint16_t>(frame.sample);
    const unsigned char bytes[] = {static_cast<unsigned char>(bits & 0xFFU), static_cast<unsigned char>(bits >> 8U)};
    hash = fnv1a(bytes, hash);
  }
  return hash;
}
