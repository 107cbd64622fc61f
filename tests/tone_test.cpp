#include "tone.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

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

std::vector<ReferenceTone> read_reference() {
  std::ifstream file(HANOI_TEST_DATA_DIR "/tones.csv");
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

std::uint64_t fnv1a_le(const std::vector<Mono16>& frames) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (const Mono16 frame : frames) {
    const unsigned bits = static_cast<std::uint16_t>(frame.sample);
    for (const unsigned byte : {bits & 0xFFU, bits >> 8U}) {
      hash ^= byte;
      hash *= 0x100000001b3ULL;
    }
  }
  return hash;
}

TEST(Tone, EveryChimeNoteMatchesTheReferenceFrames) {
  const auto reference = read_reference();
  ASSERT_EQ(reference.size(), 60U);  // six pitches at ten lengths
  for (const ReferenceTone& row : reference) {
    SCOPED_TRACE(row.frequency + " Hz, " + std::to_string(row.length_ms) + " ms");
    const auto frames = render_tone(std::stof(row.frequency), row.length_ms);
    ASSERT_TRUE(frames.has_value());
    ASSERT_EQ(frames->size(), row.frames);
    std::vector<int> first8;
    std::int64_t sum = 0;
    std::int64_t sum_of_squares = 0;
    int min = 0;
    int max = 0;
    for (const Mono16 frame : *frames) {
      if (first8.size() < 8) first8.push_back(frame.sample);
      sum += frame.sample;
      sum_of_squares += std::int64_t{frame.sample} * frame.sample;
      min = std::min<int>(min, frame.sample);
      max = std::max<int>(max, frame.sample);
    }
    EXPECT_EQ(first8, row.first8);
    EXPECT_EQ(min, row.min);
    EXPECT_EQ(max, row.max);
    EXPECT_EQ(sum, row.sum);
    EXPECT_EQ(sum_of_squares, row.sum_of_squares);
    EXPECT_EQ(fnv1a_le(*frames), row.fnv1a);
  }
}

TEST(Tone, FrameCountIsLengthTimesRateInWholeFrames) {
  EXPECT_EQ(render_tone(440.0F, 0)->size(), 0U);
  EXPECT_EQ(render_tone(440.0F, 1)->size(), 44U);
  EXPECT_EQ(render_tone(440.0F, 300)->size(), 13230U);
  EXPECT_EQ(tone_frame_count(max_tone_length_ms), 4294943U);
}

TEST(Tone, LongestNoteRendersAndLongerIsRefused) {
  const auto longest = render_tone(261.63F, max_tone_length_ms);
  ASSERT_TRUE(longest.has_value());
  EXPECT_EQ(longest->size(), 4294943U);
  const auto [low, high] = std::minmax_element(longest->begin(), longest->end(),
                                               [](Mono16 a, Mono16 b) { return a.sample < b.sample; });
  EXPECT_GE(low->sample, -32767);  // -32768 never occurs
  EXPECT_LE(high->sample, 32767);
  EXPECT_EQ(render_tone(261.63F, max_tone_length_ms + 1), std::nullopt);
  EXPECT_EQ(render_tone(261.63F, 4294967295U), std::nullopt);
}

}  // namespace
