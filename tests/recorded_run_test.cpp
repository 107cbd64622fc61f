// The program on the real OpenAL Soft with its wave writer as the sound device: the recording is
// analysed, so what a listener hears is measured, not assumed. Each printed move must be heard as
// its chime: two notes at the pitches of the move, shifted by the moving listener, each as long as
// its disc asks for.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "doppler.hpp"
#include "note_analysis.hpp"
#include "support/run_program.hpp"

namespace {

const std::string program = HANOI_CHIMES_PATH;

// OpenAL Soft mixes in periods of 1024 frames at 44100 Hz (pinned in the configuration below). A
// source is heard from the period after it starts until the period in which it is deleted. A note
// whose buffer runs out first is heard to its end, and less than a period of silence follows; one
// that is deleted first is heard for whole periods, usually one less than fit in its length, and
// the next note follows at once.
constexpr double mixing_period_s = 1024.0 / 44100.0;
// A note heard to its end lasts its buffer's length, which the shift stretches, to within a
// sample or two of resampling.
constexpr double full_note_margin_s = 0.001;
// A note cut by deletion loses up to one period on a quiet machine, and one more when the mixer is
// held up on a busy one. The recording also loses the output limiter's 1 ms delay at its end, which
// shortens the last note.
constexpr double cut_note_loss_s = 2.0 * mixing_period_s + 0.002;
// What the program may add to each note's length: its own work between notes, and the scheduler
// waking it late from its sleep.
constexpr double per_note_overhead_s = 0.005;
// OpenAL Soft steps through a buffer in 1/4096ths of a sample, so the pitch it plays is the Doppler
// shift rounded to that step: up to 0.054 Hz off at 440 Hz. The smallest shift in the table,
// 0.29 Hz at 261.63 Hz, still fails a run that leaves it out.
constexpr double pitch_tolerance_hz = 0.1;

struct ExpectedNote {
  double frequency_hz;
  double length_s;
};

/// The notes a printed move must sound as: the pitches of its pegs, in its direction, as long as
/// the whole square root of the disc's size times 100 ms.
std::vector<ExpectedNote> notes_of_move(const std::string& line) {
  unsigned disc = 0;
  unsigned same = 0;
  unsigned from = 0;
  unsigned to = 0;
  if (std::sscanf(line.c_str(), "Moving disc size %u/%u from %u to %u", &disc, &same, &from, &to) != 4) return {};
  const double length_s = std::floor(std::sqrt(static_cast<double>(disc))) * 0.1;
  const auto pair = [&](double first, double second) {
    return std::vector<ExpectedNote>{{first, length_s}, {second, length_s}};
  };
  switch (from * 10 + to) {
    case 12: return pair(392.0, 440.0);
    case 21: return pair(440.0, 392.0);
    case 13: return pair(349.23, 329.63);
    case 31: return pair(329.63, 349.23);
    case 23: return pair(293.66, 261.63);
    case 32: return pair(261.63, 293.66);
    default: return {};
  }
}

class RecordedRun : public testing::Test {
 protected:
  /// Runs the program with the wave writer recording to a file; the settings the timing depends
  /// on are pinned so that a developer's own OpenAL configuration cannot change them.
  ProgramRun record(const std::vector<std::string>& args) {
    write_file(dir_.file("alsoft.conf"),
               "drivers=wave\nfrequency=44100\nperiod_size=1024\nperiods=3\nhrtf=false\n[wave]\nfile=" +
                   dir_.file("run.wav") + "\n");
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_program(argv, {"ALSOFT_CONF=" + dir_.file("alsoft.conf"), "ALSOFT_DRIVERS", "LD_LIBRARY_PATH"});
  }

  /// Finds the notes in the recording and checks them against the printed moves.
  void expect_moves_heard(const ProgramRun& run) {
    std::vector<ExpectedNote> expected;
    for (const std::string& line : run.out_lines()) {
      const auto notes = notes_of_move(line);
      expected.insert(expected.end(), notes.begin(), notes.end());
    }
    const auto signal = wav::read_wav(dir_.file("run.wav"));
    ASSERT_TRUE(signal) << signal.error();
    EXPECT_FALSE(signal->truncated) << "the recording was never finished: was the device closed?";
    const auto notes = wav::find_notes(*signal);
    ASSERT_EQ(notes.size(), expected.size());

    // Sources rest at the origin; the listener at (1, 4, 5) moves along x at 2.5 units a second.
    const double shift = wav::doppler_shift({1, 4, 5}, {2.5, 0, 0}, {0, 0, 0}, {0, 0, 0});
    double nominal_span_s = 0.0;
    for (std::size_t i = 0; i < notes.size(); ++i) {
      SCOPED_TRACE(testing::Message() << "note " << i << " at " << notes[i].start_s << " s");
      EXPECT_NEAR(notes[i].frequency_hz, expected[i].frequency_hz * shift, pitch_tolerance_hz);
      const double full_s = expected[i].length_s / shift;
      const double gap_s = i + 1 < notes.size() ? notes[i + 1].start_s - notes[i].end_s() : 0.0;
      if (gap_s > 1e-4 && gap_s < mixing_period_s) {
        EXPECT_NEAR(notes[i].length_s, full_s, full_note_margin_s) << "heard to its end";
      } else {
        EXPECT_LE(notes[i].length_s, full_s + full_note_margin_s);
        EXPECT_GE(notes[i].length_s, expected[i].length_s - cut_note_loss_s);
      }
      if (i + 1 < notes.size()) nominal_span_s += expected[i].length_s;
    }
    // Each note starts in the mixing period after the previous note's sleep has passed, so the
    // first and last starts lie the notes' lengths apart, give or take a period at each end, plus
    // the program's own time between notes.
    const double span_s = notes.back().start_s - notes.front().start_s;
    EXPECT_GE(span_s, nominal_span_s - 2.0 * mixing_period_s);
    EXPECT_LE(span_s,
              nominal_span_s + 2.0 * mixing_period_s + per_note_overhead_s * static_cast<double>(notes.size() - 1));
  }

  TempDir dir_;
};

TEST_F(RecordedRun, ThreeDiscsChimeEachMoveAtTheShiftedPitch) {
  const ProgramRun run = record({"3"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out_lines().size(), 8U);  // the wave writer's device line and 7 moves
  expect_moves_heard(run);
}

// About a minute: 255 moves, 510 notes, 57.2 seconds of sound recorded in real time.
TEST_F(RecordedRun, DefaultRunOfEightDiscsIsHeardMoveByMove) {
  const ProgramRun run = record({});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  ASSERT_EQ(run.out_lines().size(), 256U);  // the device line and 255 moves
  EXPECT_EQ(run.out_lines()[128], "Moving disc size 8/8 from 1 to 3");
  expect_moves_heard(run);  // 510 notes
}

}  // namespace
