#include "note_analysis.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <string>

#include "chime.hpp"
#include "tone.hpp"
#include "wav_builder.hpp"

namespace {

constexpr double rate = 44100.0;

// Appends `count` samples of a tone that starts at phase 0, the way the program writes a note.
void tone(std::vector<float>& out, double hz, std::size_t count, double amplitude = 0.06) {
  for (std::size_t i = 0; i < count; ++i) {
    out.push_back(
        static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(i) / rate)));
  }
}

void silence(std::vector<float>& out, std::size_t count) { out.insert(out.end(), count, 0.0F); }

// A chime as the mixer delivers it: a note heard to its end and followed by silence, then notes
// cut short and replaced at once by the next pitch.
struct Chime {
  std::vector<float> samples;
  std::vector<std::size_t> starts{45, 45 + 4415 + 705, 45 + 4415 + 705 + 4096};
  std::vector<std::size_t> lengths{4415, 4096, 4096};
  std::vector<double> pitches{392.0, 440.0, 261.63};

  Chime() {
    silence(samples, 45);
    tone(samples, 392.0, 4415);
    silence(samples, 705);
    tone(samples, 440.0, 4096);
    tone(samples, 261.63, 4096);
    silence(samples, 300);
  }
};

void expect_chime(const std::vector<wav::HeardNote>& notes, const Chime& chime) {
  ASSERT_EQ(notes.size(), chime.pitches.size());
  for (std::size_t i = 0; i < notes.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "note " << i);
    EXPECT_NEAR(notes[i].frequency_hz, chime.pitches[i], 0.002);
    EXPECT_NEAR(notes[i].start_s * rate, static_cast<double>(chime.starts[i]), 1.0);
    EXPECT_NEAR(notes[i].length_s * rate, static_cast<double>(chime.lengths[i]), 2.0);
  }
}

TEST(NoteAnalysis, SeparatesNotesAtSilenceAndAtAChangeOfPitch) {
  const Chime chime;
  expect_chime(wav::find_notes(chime.samples, rate), chime);
}

TEST(NoteAnalysis, IgnoresANoiseFloor) {
  // 16-bit dither: about one step of noise everywhere, silence included.
  Chime chime;
  std::mt19937 random(7);
  std::uniform_real_distribution<float> noise(-1.0F / 32768, 1.0F / 32768);
  for (float& s : chime.samples) s += noise(random);
  expect_chime(wav::find_notes(chime.samples, rate), chime);

  std::vector<float> quiet(44100);
  for (float& s : quiet) s = noise(random);
  EXPECT_TRUE(wav::find_notes(quiet, rate).empty());
  EXPECT_TRUE(wav::find_notes(std::vector<float>(4410, 0.0F), rate).empty());
}

TEST(NoteAnalysis, SplitsAToneThatRestartsAtItsOwnPitch) {
  std::vector<float> samples;
  tone(samples, 329.63, 3000);  // cut part way through a cycle
  tone(samples, 329.63, 4000);
  const auto notes = wav::find_notes(samples, rate);
  ASSERT_EQ(notes.size(), 2U);
  EXPECT_NEAR(notes[0].length_s * rate, 3000.0, 2.0);
  EXPECT_NEAR(notes[1].start_s * rate, 3000.0, 2.0);
  EXPECT_NEAR(notes[1].frequency_hz, 329.63, 0.002);
}

TEST(NoteAnalysis, MeasuresShiftedProgramTonesWellUnderATenthOfAHertz) {
  // The program's 16-bit notes, stepped through at a pitch a little below 1 with linear
  // interpolation, as a mixer does to apply a Doppler shift.
  const double step = 4091.0 / 4096.0;
  std::vector<float> pitches;  // the six of the chimes
  for (std::int8_t code = 1; code <= 3; ++code) {
    pitches.insert(pitches.end(), {chime_notes(code)->first_hz, chime_notes(code)->second_hz});
  }
  for (const float hz : pitches) {
    const std::vector<Mono16> frames = render_tone(hz, 100).value();
    std::vector<float> note;
    note.reserve(frames.size());
    for (const Mono16 frame : frames) note.push_back(static_cast<float>(frame.sample) / 32768.0F);
    std::vector<float> heard;
    for (double pos = 0.0; pos + 1.0 < static_cast<double>(note.size()); pos += step) {
      const auto i = static_cast<std::size_t>(pos);
      const double frac = pos - static_cast<double>(i);
      heard.push_back(static_cast<float>(0.15 * (note[i] + frac * (note[i + 1] - note[i]))));
    }
    const auto notes = wav::find_notes(heard, rate);
    ASSERT_EQ(notes.size(), 1U) << hz;
    EXPECT_NEAR(notes[0].frequency_hz, hz * step, 0.005) << hz;
    EXPECT_NEAR(notes[0].length_s, 0.1 / step, 2.0 / rate) << hz;
  }
}

TEST(NoteAnalysis, FindsTheNotesOfARecordingOnDisk) {
  // In the tests' recording format, with the tone louder on the right, as OpenAL Soft's wave
  // writer records a source behind and to the left of the listener.
  const Chime chime;
  std::vector<double> frames;
  for (float s : chime.samples) frames.insert(frames.end(), {0.7 * s, static_cast<double>(s)});
  const auto image = wav::testing::wav_image(frames);
  const auto path =
      std::filesystem::temp_directory_path() / ("note_analysis_test_" + std::to_string(::getpid()) + ".wav");
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  }
  const auto signal = wav::read_wav(path);
  std::filesystem::remove(path);
  ASSERT_TRUE(signal) << signal.error();
  EXPECT_EQ(signal->channel, 1U);
  expect_chime(wav::find_notes(*signal), chime);
}

}  // namespace
