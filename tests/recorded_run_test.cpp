// The program on the real OpenAL Soft with its wave writer as the sound device, configured as the
// scripts record: the recording is analysed, so what a listener hears is measured, not assumed.
// Each printed move must be heard as its chime: two notes at the pitches of the move, shifted by
// the moving listener, each as long as its disc asks for.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
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
  ProgramRun record(const std::vector<std::string>& args, const OutputWatch& watch = {},
                    const std::vector<std::string>& library_env = {"LD_LIBRARY_PATH"}) {
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
    std::vector<std::string> env{"ALSOFT_CONF=" + config, "ALSOFT_DRIVERS"};
    env.insert(env.end(), library_env.begin(), library_env.end());
    return run_program(argv, env, std::chrono::seconds(300), watch);
  }

  std::expected<wav::Signal, std::string> recording() const { return wav::read_wav(dir_.file("run.wav")); }

  /// Whether OpenAL Soft finished the recording: the sizes in its RIFF and data headers, which it
  /// writes when the device is closed, match the file's length.
  void expect_recording_finished() const {
    std::ifstream file(dir_.file("run.wav"), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const auto size_at = [&](std::size_t offset) {
      std::uint32_t size = 0;
      for (std::size_t i = 0; i < 4; ++i)
        size |= std::uint32_t{static_cast<unsigned char>(bytes[offset + i])} << (8 * i);
      return std::size_t{size};
    };
    const std::size_t data = bytes.find("data");
    ASSERT_TRUE(bytes.starts_with("RIFF") && data != std::string::npos && data + 8 <= bytes.size());
    EXPECT_EQ(size_at(4), bytes.size() - 8) << "RIFF size";
    EXPECT_EQ(size_at(data + 4), bytes.size() - data - 8) << "data size";
  }

  /// Finds the notes in the recording and checks them against the printed moves; returns the
  /// share of notes heard for at least 98% of their length.
  double expect_moves_heard_in_recording(const ProgramRun& run) {
    const auto signal = recording();
    EXPECT_TRUE(signal) << signal.error();
    if (!signal) return 0.0;
    expect_recording_finished();
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
  // SIGINT as the first move of disc 4 is printed: its first note, of 200 ms, is then about to
  // start or has just started, and stops at once.
  bool sent = false;
  const ProgramRun run = record({"4"}, [&](pid_t child, const std::string& out) {
    if (!sent && out.find("Moving disc size 4/4") != std::string::npos) sent = kill(child, SIGINT) == 0;
    return true;
  });
  EXPECT_EQ(run.signal, SIGINT);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out_lines().back(), "Moving disc size 4/4 from 1 to 3");  // nothing after the last move
  expect_recording_finished();
  const auto signal = recording();
  ASSERT_TRUE(signal) << signal.error();
  // The 14 notes of the moves before, then at most the start of the stopped note.
  const auto notes = wav::find_notes(*signal);
  ASSERT_GE(notes.size(), 2U * 7);
  ASSERT_LE(notes.size(), 2U * 7 + 1);
  if (notes.size() == 2U * 7 + 1) {
    EXPECT_LT(notes.back().length_s, 0.1);
  }
}

TEST_F(RecordedRun, ARunEndedByAFailedNoteLeavesAFinishedRecording) {
  // OpenAL Soft refuses the fifth source: the first note of the third move.
  const ProgramRun run = record({"3"}, {}, {"LD_LIBRARY_PATH=" REFUSING_OPENAL_DIR, "REFUSED_SOURCE=5"});
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_EQ(run.err, "");
  const auto lines = run.out_lines();
  ASSERT_EQ(lines.size(), 5U);
  EXPECT_EQ(lines.back(), "Failed to play sound: AUDIO ERROR: ALC Invalid Value");
  expect_recording_finished();
  const auto signal = recording();
  ASSERT_TRUE(signal) << signal.error();
  // The four notes played before it, each to its end.
  expect_moves_heard(std::vector<std::string>(lines.begin(), lines.end() - 2), *signal, mixing_);
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
