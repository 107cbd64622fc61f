// The program played the way most desktops play: through a sound server (PulseAudio, or PipeWire
// serving the same protocol), which OpenAL Soft reaches with its pulse backend. Each test starts a
// private server whose only sink records what it plays, in real time, and analyses that.

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "support/heard_moves.hpp"
#include "support/run_program.hpp"
#include "support/sound_server.hpp"

namespace {

const std::string program = HANOI_CHIMES_PATH;

/// The solution of 3 discs, as the program prints it after its device line.
const std::vector<std::string> three_disc_moves{"Moving disc size 1/1 from 1 to 3", "Moving disc size 2/2 from 1 to 2",
                                                "Moving disc size 1/1 from 3 to 2", "Moving disc size 3/3 from 1 to 3",
                                                "Moving disc size 1/1 from 2 to 1", "Moving disc size 2/2 from 2 to 3",
                                                "Moving disc size 1/1 from 1 to 3"};

std::vector<std::string> moves_of(const std::string& out) {
  std::vector<std::string> moves;
  for (const std::string& line : ProgramRun{.out = out, .err = {}, .status = 0, .memcheck = {}}.out_lines()) {
    if (line.starts_with("Moving disc size ")) moves.push_back(line);
  }
  return moves;
}

TEST(ServerRun, ThreeDiscsAreHeardNoteByNoteTheFirstAndLastInFull) {
  SoundServer server;
  const ProgramRun run = run_program({program, "3"}, server.client_env());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(moves_of(run.out), three_disc_moves);
  // OpenAL Soft mixes for the server in periods of 1024 frames, as for a recording by default.
  const Mixing mixing;
  const auto notes = expect_moves_heard(run.out_lines(), server.recording(), mixing);
  // The device plays out what it holds before the first note and before it goes: neither the
  // first nor the last note is heard shorter than the others, whole periods of their 100 ms.
  ASSERT_EQ(notes.size(), 14U);
  EXPECT_GE(notes.front().length_s, 0.1 - mixing.period_s - 0.001);
  EXPECT_GE(notes.back().length_s, 0.1 - mixing.period_s - 0.001);
}

TEST(ServerRun, AKilledServerEndsTheRunAsALostDevice) {
  SoundServer server;
  // Killed while the fifth of the 15 moves of 4 discs plays, about a second into the run.
  bool killed = false;
  const ProgramRun run =
      run_program({program, "4"}, server.client_env(), std::chrono::seconds(60), [&](pid_t, const std::string& out) {
        if (!killed && moves_of(out).size() >= 5) {
          server.kill();
          killed = true;
        }
        return true;
      });
  EXPECT_EQ(run.status, 2) << run.err;
  ASSERT_FALSE(run.out_lines().empty());
  EXPECT_EQ(run.out_lines().back(), "Failed to play sound: AUDIO ERROR: ALC Invalid Device");
  const auto moves = moves_of(run.out);
  EXPECT_GE(moves.size(), 5U);
  EXPECT_LT(moves.size(), 15U);
}

TEST(ServerRun, AReaderThatGoesAwayEndsTheRunBySigpipe) {
  // OpenAL Soft's pulse backend leaves SIGPIPE blocked in the program's thread, so the gone reader
  // shows only as a failed write.
  SoundServer server;
  const ProgramRun run = run_program(
      {"/bin/bash", "-c", R"("$0" "$@" | head -n 2; exit "${PIPESTATUS[0]}")", program, "3"}, server.client_env());
  EXPECT_EQ(run.status, 128 + SIGPIPE);  // as the shell reports it
  EXPECT_EQ(run.out_lines().size(), 2U);
  // The first move's two notes, not the whole run's.
  EXPECT_EQ(wav::find_notes(server.recording()).size(), 2U);
}

TEST(ServerRun, RunScriptPlaysThroughTheServer) {
  SoundServer server;
  std::vector<std::string> env = server.client_env();
  env.emplace_back("ALSOFT_DRIVERS");  // the script relies on OpenAL Soft finding the server itself
  const ProgramRun run =
      run_program({"/bin/bash", HANOI_SOURCE_DIR "/scripts/run.sh", "1"}, env, std::chrono::seconds(900));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err.find("recording"), std::string::npos) << run.err;
  EXPECT_EQ(moves_of(run.out), std::vector<std::string>{"Moving disc size 1/1 from 1 to 3"});
  EXPECT_EQ(wav::find_notes(server.recording()).size(), 2U);
}

}  // namespace
