// The program on the real OpenAL Soft with its wave writer as the sound device, configured as the
// scripts record: the recording is analysed, so what a listener hears is measured, not assumed.
// Each printed move must be heard as its chime: two notes at the pitches of the move, shifted by
// the moving listener, each as long as its disc asks for.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <string>
#include <vector>

#include "support/heard_moves.hpp"
#include "support/run_program.hpp"
#include "support/wave_recording.hpp"

namespace {

const std::string program = HANOI_CHIMES_PATH;

class RecordedRun : public testing::Test {
 protected:
  /// Runs the program with the wave writer recording to a file, as the scripts record.
  ProgramRun record(const std::vector<std::string>& args, const OutputWatch& watch = {},
                    const std::vector<std::string>& library_env = {"LD_LIBRARY_PATH"}) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> env = recording_.env();
    env.insert(env.end(), library_env.begin(), library_env.end());
    return run_program(argv, env, std::chrono::seconds(300), watch);
  }

  /// Finds the notes in the recording and checks them against the printed moves; returns the
  /// share of notes heard for at least 98% of their length.
  double expect_moves_heard_in_recording(const ProgramRun& run) {
    const auto signal = recording_.signal();
    EXPECT_TRUE(signal) << signal.error();
    if (!signal) return 0.0;
    recording_.expect_finished();
    const auto notes = expect_moves_heard(run.out_lines(), *signal, recording_.mixing());
    const auto lengths = note_lengths_of(run.out_lines());
    if (notes.size() != lengths.size() || notes.empty()) return 0.0;
    std::size_t heard_in_full = 0;
    for (std::size_t i = 0; i < notes.size(); ++i) heard_in_full += notes[i].length_s >= 0.98 * lengths[i] ? 1 : 0;
    return static_cast<double>(heard_in_full) / static_cast<double>(notes.size());
  }

  WaveRecording recording_;
};

TEST_F(RecordedRun, ThreeDiscsChimeEachMoveAtTheShiftedPitch) {
  const ProgramRun run = record({"3"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out_lines().size(), 8U);  // the wave writer's device line and 7 moves
  expect_moves_heard_in_recording(run);
}

TEST_F(RecordedRun, AnInterruptedRecordingIsFinishedAndItsLastNoteStopsAtOnce) {
  // SIGINT as the first move of disc 4 is printed: its first note, of 200 ms, is then about to
  // start or has just started, and stops at once.
  const ProgramRun run = record({"4"}, signal_on_output("Moving disc size 4/4", SIGINT));
  EXPECT_EQ(run.signal, SIGINT);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out_lines().back(), "Moving disc size 4/4 from 1 to 3");  // nothing after the last move
  // The 14 notes of the moves before, then at most the start of the stopped note.
  recording_.expect_stopped_after(14, 0.1);
}

TEST_F(RecordedRun, ARunEndedByAFailedNoteLeavesAFinishedRecording) {
  // OpenAL Soft refuses the fifth source: the first note of the third move.
  const ProgramRun run = record({"3"}, {}, {"LD_LIBRARY_PATH=" REFUSING_OPENAL_DIR, "REFUSED_SOURCE=5"});
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_EQ(run.err, "");
  const auto lines = run.out_lines();
  ASSERT_EQ(lines.size(), 5U);
  EXPECT_EQ(lines.back(), "Failed to play sound: AUDIO ERROR: ALC Invalid Value");
  recording_.expect_finished();
  const auto signal = recording_.signal();
  ASSERT_TRUE(signal) << signal.error();
  // The four notes played before it, each to its end.
  expect_moves_heard(std::vector<std::string>(lines.begin(), lines.end() - 2), *signal, recording_.mixing());
}

// About a minute: 255 moves, 510 notes, 57.2 seconds of sound recorded in real time.
TEST_F(RecordedRun, DefaultRunOfEightDiscsIsHeardMoveByMove) {
  const ProgramRun run = record({});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  ASSERT_EQ(run.out_lines().size(), 256U);  // the device line and 255 moves
  EXPECT_EQ(run.out_lines()[128], "Moving disc size 8/8 from 1 to 3");
  // A faithful recording: at least 95% of its 510 notes heard for at least 98% of their length.
  EXPECT_GE(expect_moves_heard_in_recording(run), 0.95);
}

}  // namespace
