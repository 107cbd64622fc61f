// The program played the way most desktops play: through a sound server, PulseAudio or PipeWire
// serving the same protocol, which OpenAL Soft reaches with its pulse backend. Each test starts a
// private server whose only sink records what it plays, in real time, and analyses that; every
// test runs against both servers.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "support/call_record.hpp"
#include "support/heard_moves.hpp"
#include "support/run_program.hpp"
#include "support/sound_server.hpp"

namespace {

const std::string program = HANOI_CHIMES_PATH;

Lines moves_of(const std::string& out) {
  Lines moves;
  for (const std::string& line : lines_of(out))
    if (line.starts_with("Moving disc size ")) moves.push_back(line);
  return moves;
}

class ServerRun : public testing::TestWithParam<ServerKind> {
 protected:
  SoundServer server_{GetParam()};
};

TEST_P(ServerRun, ThreeDiscsAreHeardNoteByNoteTheFirstAndLastWithinAPeriodOfTheMiddle) {
  const ProgramRun run = run_program({program, "3"}, server_.client_env());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(moves_of(run.out), three_disc_moves);
  // OpenAL Soft mixes for the server in periods of 1024 frames, as for a recording by default.
  const Mixing mixing;
  const auto notes = expect_moves_heard(run.out_lines(), server_.recording(), mixing);
  ASSERT_EQ(notes.size(), 14U);
  // A note starts at a mixing period and is cut at one when its source is deleted: 4 periods
  // (92.9 ms) or, ending before the next, in full (100.1 ms, stretched by the listener's motion).
  // A device released before it plays out cuts the last note by what the server holds (60 to
  // 80 ms); the play-out wait before the first note is checked exactly on the fake library.
  const auto middle = *std::ranges::min_element(notes.begin() + 1, notes.end() - 1, {}, &wav::HeardNote::length_s);
  // A period and a millisecond: a busy machine once cost the first note a period (69.6 ms) anyway.
  EXPECT_GE(notes.front().length_s, middle.length_s - mixing.period_s - 0.001);
  // Half a period, for the ends the server's stream and the note finder move (PipeWire: 91.9 ms).
  EXPECT_GE(notes.back().length_s, middle.length_s - mixing.period_s / 2);
}

TEST_P(ServerRun, AKilledServerEndsTheRunAsALostDevice) {
  // Killed while the fifth of the 15 moves of 4 discs plays, about a second into the run.
  bool killed = false;
  const ProgramRun run =
      run_program({program, "4"}, server_.client_env(), std::chrono::seconds(60), [&](pid_t, const std::string& out) {
        if (!killed && moves_of(out).size() >= 5) {
          server_.kill();
          killed = true;
        }
        return true;
      });
  EXPECT_EQ(run.status, 2) << run.err;
  // The device is closed before the process ends: OpenAL Soft finds no device left open at exit.
  EXPECT_EQ(run.err.find("not closed"), std::string::npos) << run.err;
  ASSERT_FALSE(run.out_lines().empty());
  EXPECT_EQ(run.out_lines().back(), "Failed to play sound: AUDIO ERROR: ALC Invalid Device");
  const auto moves = moves_of(run.out);
  EXPECT_GE(moves.size(), 5U);
  EXPECT_LT(moves.size(), 15U);  // the ten moves after the kill take two seconds: no watch is that late
}

TEST_P(ServerRun, RunScriptPlaysThroughTheServer) {
  std::vector<std::string> env = server_.client_env();
  env.emplace_back("ALSOFT_DRIVERS");  // the script relies on OpenAL Soft finding the server itself
  const ProgramRun run = run_program({"/bin/bash", HANOI_SOURCE_DIR "/scripts/run.sh", "1"}, env,
                                     std::chrono::seconds(900));  // it builds first
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err.find("recording"), std::string::npos) << run.err;
  EXPECT_EQ(moves_of(run.out), std::vector<std::string>{"Moving disc size 1/1 from 1 to 3"});
  // The move's two pitches in order: an underrun may split a note heard in real time.
  std::vector<double> pitches;
  for (const wav::HeardNote& note : wav::find_notes(server_.recording())) {
    if (pitches.empty() || std::abs(note.frequency_hz - pitches.back()) > 1.0) pitches.push_back(note.frequency_hz);
  }
  ASSERT_EQ(pitches.size(), 2U);
  EXPECT_NEAR(pitches[0], 349.23, 1.0);  // shifted by the listener's motion, by less than 0.5 Hz
  EXPECT_NEAR(pitches[1], 329.63, 1.0);
}

INSTANTIATE_TEST_SUITE_P(Through, ServerRun, testing::Values(ServerKind::PulseAudio, ServerKind::PipeWire),
                         [](const auto& server) { return server_name(server.param); });

}  // namespace
