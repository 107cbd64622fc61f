#include "tone.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/reference_tones.hpp"

namespace {

TEST(Tone, EveryChimeNoteMatchesTheReferenceFrames) {
  const auto reference = reference_tones();
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
}

TEST(Tone, LongestNoteRendersAndLongerIsRefused) {
  const auto longest = render_tone(261.63F, max_tone_length_ms);
  ASSERT_TRUE(longest.has_value());
  EXPECT_EQ(longest->size(), 4294943U);
  const auto low =
      std::min_element(longest->begin(), longest->end(), [](Mono16 a, Mono16 b) { return a.sample < b.sample; });
  EXPECT_GE(low->sample, -32767);  // -32768 never occurs
  EXPECT_EQ(render_tone(261.63F, max_tone_length_ms + 1), std::nullopt);
  EXPECT_EQ(render_tone(261.63F, 4294967295U), std::nullopt);
}

}  // namespace
