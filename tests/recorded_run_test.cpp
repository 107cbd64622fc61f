// The program on the real OpenAL Soft with its wave writer as the sound device, configured as the
// scripts record: the recording is analysed, so what a listener hears is measured, not assumed.
// Each printed move must be heard as its chime: two notes at the pitches of the move, shifted by
// the moving listener, each as long as its disc asks for.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/heard_moves.hpp"
#include "support/run_program.hpp"

namespace {

const std::string program = HANOI_CHIMES_PATH;

class RecordedRun : public testing::Test {
 protected:
  /// Runs the program with the wave writer recording to a file. The configuration is the one the
  /// scripts write, with the settings that a developer's own OpenAL configuration could change
  /// pinned after it, among them the one format the reader takes: 16-bit stereo at 44100 Hz.
  ProgramRun record(const std::vector<std::string>& args, const OutputWatch& watch = {}) {
    const std::string config = dir_.file("alsoft.conf");
    const ProgramRun written =
        run_program({"/bin/bash", "-c", R"(source "$0" && write_wave_config "$1" "$2")",
                     std::string(HANOI_SOURCE_DIR) + "/scripts/lib/common.sh", config, dir_.file("run.wav")});
    EXPECT_EQ(written.status, 0) << written.err;
    for (const std::string& line : read_lines(config)) {
      if (line.starts_with("period_size=")) mixing_.period_s = std::stod(line.substr(12)) / 44100.0;
    }
    std::ofstream(config, std::ios::app)
        << "[general]\nfrequency=44100\nsample-type=int16\nchannels=stereo\nhrtf=false\n";
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_program(argv, {"ALSOFT_CONF=" + config, "ALSOFT_DRIVERS", "LD_LIBRARY_PATH"}, std::chrono::seconds(300),
                       watch);
  }

  std::expected<wav::Signal, std::string> recording() const { return wav::read_wav(dir_.file("run.wav")); }

  /// Finds the notes in the recording and checks them against the printed moves; returns the
  /// share of notes heard for at least 98% of their length.
  double expect_moves_heard_in_recording(const ProgramRun& run) {
    const auto signal = recording();
    EXPECT_TRUE(signal) << signal.error();
    if (!signal) return 0.0;
    EXPECT_FALSE(signal->truncated) << "the recording was never finished: was the device closed?";
    const auto notes = expect_moves_heard(run.out_lines(), *signal, mixing_);
    const auto lengths = note_lengths_of(run.out_lines());
    if (notes.size() != lengths.size() || notes.empty()) return 0.0;
    std::size_t heard_in_full = 0;
    for (std::size_t i = 0; i < notes.size(); ++i) heard_in_full += notes[i].length_s >= 0.98 * lengths[i] ? 1 : 0;
    return static_cast<double>(heard_in_full) / static_cast<double>(notes.size());
  }

  TempDir dir_;
  Mixing mixing_;
};

TEST_F(RecordedRun, ThreeDiscsChimeEachMoveAtTheShiftedPitch) {
  const ProgramRun run = record({"3"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out_lines().size(), 8U);  // the wave writer's device line and 7 moves
  expect_moves_heard_in_recording(run);
}

TEST_F(RecordedRun, AnInterruptedRecordingIsFinishedAndItsLastNoteStopsAtOnce) {
  // SIGINT 50 ms into the first note of disc 4, which is 200 ms long.
  bool sent = false;
  const ProgramRun run = record({"4"}, [&](pid_t child, const std::string& out) {
    if (sent || out.find("Moving disc size 4/4") == std::string::npos) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    kill(child, SIGINT);
    sent = true;
  });
  EXPECT_EQ(run.status, 128 + SIGINT);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out_lines().back(), "Moving disc size 4/4 from 1 to 3");  // nothing after the last move
  const auto signal = recording();
  ASSERT_TRUE(signal) << signal.error();
  EXPECT_FALSE(signal->truncated) << "the recording was never finished";
  const auto notes = wav::find_notes(*signal);
  ASSERT_EQ(notes.size(), 2U * 7 + 1);
  // Heard until the signal, give or take the mixing periods, and not for its 200 ms.
  EXPECT_LT(notes.back().length_s, 0.1);
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
