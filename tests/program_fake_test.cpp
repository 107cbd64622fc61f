// The program against the fake OpenAL library: every way start-up and note playback can fail, what
// each leaves on the two streams, what was released, and no memory error or leak (memcheck).

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <string>
#include <vector>

#include "support/call_record.hpp"
#include "support/fake_env.hpp"
#include "support/reference_tones.hpp"
#include "support/run_program.hpp"

namespace {

const std::string program = HANOI_CHIMES_PATH;

/// Runs the program on the fake configured with `config`, under memcheck. The fake's record goes
/// to standard error, so record lines and the fatal report stand in the order they happened.
ProgramRun run_on_fake(const std::vector<std::string>& args, const std::string& config,
                       const std::string& library_dir = FAKE_OPENAL_DIR) {
  std::vector<std::string> argv{program};
  argv.insert(argv.end(), args.begin(), args.end());
  ProgramRun run = run_under_memcheck(argv, fake_openal_env(config, "/dev/stderr", library_dir));
  EXPECT_EQ(run.memcheck, "");
  return run;
}

/// The record lines (and the report) on standard error, split at the report: before and after it.
struct Stderr {
  Lines before;
  std::string report;
  Lines after;
};

Stderr split_at_report(const ProgramRun& run) {
  Stderr parts;
  bool seen = false;
  for (const std::string& line : run.err_lines()) {
    if (line.starts_with("thread 'main'")) {
      EXPECT_FALSE(seen) << "a second report: " << line;
      parts.report = line;
      seen = true;
    } else {
      (seen ? parts.after : parts.before).push_back(line);
    }
  }
  return parts;
}

std::size_t count(const Lines& calls, const std::string& name) {
  const Lines names = functions_of(calls);
  return static_cast<std::size_t>(std::count(names.begin(), names.end(), name));
}

TEST(ProgramOnFake, TwoDiscsPlayEveryNoteWithItsReferenceFramesAndReleaseEverything) {
  const ProgramRun run = run_on_fake({"2"}, "");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "Found device: Fake Device\n"
            "Moving disc size 1/1 from 1 to 2\n"
            "Moving disc size 2/2 from 1 to 3\n"
            "Moving disc size 1/1 from 2 to 3\n");
  const Lines calls = run.err_lines();
  Lines hashes;
  for (const std::string& call : calls)
    if (call.starts_with("alBufferData(")) hashes.push_back(call.substr(call.find("fnv=") + 4, 16));
  const Lines pitches{"392.0", "440.0", "349.23", "329.63", "293.66", "261.63"};
  ASSERT_EQ(hashes.size(), pitches.size());
  for (std::size_t note = 0; note < pitches.size(); ++note) {
    EXPECT_EQ(hashes[note], hex16(reference_tone(pitches[note], 100).fnv1a)) << "note " << note;
  }
  EXPECT_EQ(count(calls, "alGenSources"), 6U);
  EXPECT_EQ(count(calls, "alDeleteSources"), 6U);
  EXPECT_EQ(count(calls, "alDeleteBuffers"), 6U);
  // The device plays out what it holds before the first note and after the last: its latency is
  // asked (and waited out) before the first source is made and after the last buffer is gone.
  Lines order;
  for (const std::string& call : calls) {
    const std::string function = function_of(call);
    if (function == "alcGetInteger64vSOFT" || function == "alGenSources" || function == "alDeleteBuffers")
      if (order.empty() || order.back() != function) order.push_back(function);
  }
  EXPECT_EQ(order, (Lines{"alcGetInteger64vSOFT", "alGenSources", "alDeleteBuffers", "alGenSources", "alDeleteBuffers",
                          "alGenSources", "alDeleteBuffers", "alGenSources", "alDeleteBuffers", "alGenSources",
                          "alDeleteBuffers", "alGenSources", "alDeleteBuffers", "alcGetInteger64vSOFT"}));
  EXPECT_EQ(Lines(calls.end() - 3, calls.end()),
            (Lines{"alcSetThreadContext(null) = 1", "alcDestroyContext(ctx1)", "alcCloseDevice(dev1) = 1"}));
}

TEST(ProgramOnFake, EveryFatalPointOfStartUpReportsThenReleasesLatestFirst) {
  const struct {
    std::string name;
    std::string config;
    std::string library_dir;
    std::string out;
    std::string debug_form;
    std::size_t devices_opened;
    Lines released_after_report;
  } cases[] = {
      {"missing entry point", "", FAKE_OPENAL_MISSING_DIR, "",
       R"(Io(Os { code: 38, kind: Unsupported, message: "Function not implemented" }))", 0, Lines()},
      {"device name not UTF-8", R"(all_devices=Good\0Bad\xFF\0\0)", FAKE_OPENAL_DIR, "Found device: Good\n",
       "Utf8Error { valid_up_to: 3, error_len: Some(1) }", 0, Lines()},
      {"listener orientation", "fail=alListenerfv@0x100F:1:0x1234", FAKE_OPENAL_DIR, "Found device: Fake Device\n",
       "UnknownAlError(4660)", 1, release_of_a_run},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    const ProgramRun run = run_on_fake({"3"}, test.config, test.library_dir);
    EXPECT_EQ(run.status, 101);
    EXPECT_EQ(run.out, test.out);
    const Stderr err = split_at_report(run);
    EXPECT_TRUE(err.report.starts_with(required_report_lead + test.debug_form + ", at src/audio/context.cpp:"))
        << err.report;
    EXPECT_EQ(functions_of(err.after), test.released_after_report);
    EXPECT_EQ(count(err.before, "alcOpenDevice"), test.devices_opened);
  }
}

TEST(ProgramOnFake, AFailedContextCreationIsReportedAfterTheDeviceIsClosed) {
  const ProgramRun run = run_on_fake({"3"}, "fail=alcCreateContext:1:0");
  EXPECT_EQ(run.status, 101);
  EXPECT_EQ(run.out, "Found device: Fake Device\n");
  const Stderr err = split_at_report(run);
  EXPECT_TRUE(err.report.starts_with(required_report_lead + "NullError, at src/main.cpp:")) << err.report;
  EXPECT_EQ(functions_of(Lines(err.before.end() - 3, err.before.end())),
            (Lines{"alcCreateContext", "alcGetError", "alcCloseDevice"}));
  EXPECT_TRUE(err.after.empty());
}

TEST(ProgramOnFake, ANoteThatCannotBePlayedEndsTheRunWithStatusTwoAfterReleasingEverything) {
  const struct {
    std::string name;
    std::string config;
    std::size_t moves_printed;  // of the solution, from its first
    std::string failure;
    std::size_t sources_asked;
    std::string failed_check = "alGetError";  // the run is released right after it
  } cases[] = {
      // Unchecked calls leave their error for the next note's source check.
      {"attach", "error=alSourcei:1:0xA003", 1, "Failed to play sound: AUDIO ERROR: ALC Invalid Value", 2},
      {"play", "error=alSourcePlay:2:0xA005", 2, "Failed to play sound: AUDIO ERROR: ALC Out of Memory", 3},
      // No next note reads what the last one left: the end of the run does.
      {"last play", "error=alSourcePlay:14:0xA004", 7, "Failed to play sound: AUDIO ERROR: AL Invalid Operation", 14},
      // A device lost while a note plays fails the next one before anything is made for it.
      {"lost device", "disconnect=alSourcePlay:2", 2, "Failed to play sound: AUDIO ERROR: ALC Invalid Device", 2,
       "alcGetIntegerv"},
      {"lost during the last note", "disconnect=alSourcePlay:14", 7,
       "Failed to play sound: AUDIO ERROR: ALC Invalid Device", 14, "alcGetIntegerv"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    const ProgramRun run = run_on_fake({"3"}, test.config);
    EXPECT_EQ(run.status, 2);
    Lines expected{"Found device: Fake Device"};
    expected.insert(expected.end(), three_disc_moves.begin(),
                    three_disc_moves.begin() + static_cast<std::ptrdiff_t>(test.moves_printed));
    expected.push_back(test.failure);
    EXPECT_EQ(run.out_lines(), expected);
    const Lines calls = run.err_lines();
    EXPECT_EQ(count(calls, "alGenSources"), test.sources_asked);
    // The notes before have released their own objects: after the failed check the context and the
    // device go.
    ASSERT_GE(calls.size(), 4U);
    EXPECT_EQ(functions_of(Lines(calls.end() - 4, calls.end())), joined({test.failed_check}, release_of_a_run));
  }
}

TEST(ProgramOnFake, ABufferThatCannotBeMadeIsFatalAndEverythingIsReleasedAfterTheReport) {
  const ProgramRun run = run_on_fake({"3"}, "fail=alGenBuffers:2:0xA005");
  EXPECT_EQ(run.status, 101);
  EXPECT_EQ(run.out, "Found device: Fake Device\nMoving disc size 1/1 from 1 to 3\n");
  const Stderr err = split_at_report(run);
  EXPECT_TRUE(err.report.starts_with(required_report_lead + "OutOfMemory, at src/playback.cpp:")) << err.report;
  EXPECT_EQ(functions_of(err.after), joined({"alcSetThreadContext", "alDeleteSources"}, release_of_a_run));
}

/// The program on the fake without memcheck (which would watch the shell, or report on a run that
/// a signal ends), run by `bash -c script` with the program's path as $0 and `args` after it.
ProgramRun run_through_shell(const std::string& script, const std::vector<std::string>& args,
                             const std::string& config = "", const OutputWatch& watch = {}) {
  std::vector<std::string> argv{"/bin/bash", "-c", script, program};
  argv.insert(argv.end(), args.begin(), args.end());
  return run_program(argv, fake_openal_env(config, "/dev/stderr"), std::chrono::seconds(60), watch);  // runs of seconds
}

TEST(ProgramOnFake, AFailedWriteIsFatalAtTheFirstLineAndNothingIsPlayed) {
  for (const auto& [redirect, debug_form] :
       {std::pair{">/dev/full", R"(Os { code: 28, kind: StorageFull, message: "No space left on device" })"},
        // The program finds standard output closed, whatever it opens afterwards.
        {">&-", R"(Os { code: 9, kind: Other, message: "Bad file descriptor" })"}}) {
    SCOPED_TRACE(redirect);
    const ProgramRun run = run_through_shell(R"(exec "$0" "$@" )" + std::string(redirect), {"2"});
    EXPECT_EQ(run.status, 101);
    const Stderr err = split_at_report(run);
    EXPECT_TRUE(err.report.starts_with(required_report_lead + debug_form + ", at src/audio/context.cpp:"))
        << err.report;
    EXPECT_EQ(count(err.before, "alcOpenDevice"), 0U);  // the device line comes before the device
  }
}

TEST(ProgramOnFake, EveryLineIsOutBeforeTheNotesThatFollowIt) {
  // The fake's record goes to the same pipe as the program's lines, each record line as its call
  // is made: a line held back in a buffer would show up after the calls of its notes.
  const ProgramRun run = run_program({program, "2"}, fake_openal_env("", "/dev/stdout"));
  ASSERT_EQ(run.status, 0) << run.err;
  Lines order;
  for (const std::string& line : run.out_lines()) {
    if (line.starts_with("Moving disc size ")) order.push_back(line.substr(17, 3));
    if (line.starts_with("alSourcePlay(")) order.emplace_back("play");
  }
  EXPECT_EQ(order, (Lines{"1/1", "play", "play", "2/2", "play", "play", "1/1", "play", "play"}));
}

TEST(ProgramOnFake, AReaderThatGoesAwayEndsTheRunBySigpipeUnlessItIsIgnored) {
  // The reader takes the device line and the first move, then goes; the next move's line finds no
  // reader. A parent that ignores SIGPIPE (trap "" PIPE) leaves it ignored: the failed write is
  // then fatal like any other.
  const auto after_two_lines = [](pid_t, const std::string& out) { return std::ranges::count(out, '\n') < 2; };
  const struct {
    std::string script;
    int status;
    int signal;
    std::string report;
  } cases[] = {
      {R"(exec "$0" "$@")", -1, SIGPIPE, ""},
      {R"(trap "" PIPE; exec "$0" "$@")", 101, 0,
       required_report_lead + R"(Os { code: 32, kind: BrokenPipe, message: "Broken pipe" }, at src/solver.cpp:)"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.script);
    const ProgramRun run = run_through_shell(test.script, {"3"}, "", after_two_lines);
    EXPECT_EQ(run.status, test.status);
    EXPECT_EQ(run.signal, test.signal);
    EXPECT_EQ(run.out, "Found device: Fake Device\nMoving disc size 1/1 from 1 to 3\n");
    const Stderr err = split_at_report(run);
    EXPECT_TRUE(err.report.starts_with(test.report)) << err.report;
    EXPECT_EQ(err.report.empty(), test.report.empty()) << err.report;
    const Lines calls = joined(err.before, err.after);
    EXPECT_EQ(count(calls, "alGenSources"), 2U);
    EXPECT_EQ(functions_of(err.after), test.report.empty() ? Lines{} : release_of_a_run);
    ASSERT_GE(calls.size(), 3U);
    EXPECT_EQ(functions_of(Lines(calls.end() - 3, calls.end())), release_of_a_run);
  }
}

TEST(ProgramOnFake, AStopSignalEndsTheNoteAndTheRunByThatSignalAfterReleasingEverything) {
  // The signal comes as the first note starts, and its wait takes it (a wait stopped and continued
  // meanwhile: NoteWait).
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    const ProgramRun run =
        run_through_shell(R"(exec "$0" "$@")", {"3"}, "signal=alSourcePlay:1:" + std::to_string(signal));
    EXPECT_EQ(run.signal, signal);
    // Nothing after the move whose note was stopped.
    EXPECT_EQ(run.out_lines(), (Lines{"Found device: Fake Device", three_disc_moves.front()}));
    const Lines calls = run.err_lines();
    EXPECT_EQ(count(calls, "alSourcePlay"), 1U);
    ASSERT_GE(calls.size(), 8U);
    // The note's source and buffer go while it plays, then the context and the device.
    EXPECT_EQ(
        functions_of(Lines(calls.end() - 8, calls.end())),
        joined({"alSourcePlay", "alcSetThreadContext", "alDeleteSources", "alcSetThreadContext", "alDeleteBuffers"},
               release_of_a_run));
  }
}

TEST(ProgramOnFake, AStopSignalAfterTheLastWaitStillEndsTheRunByThatSignal) {
  // It comes while the context is destroyed, when no wait is left to take it.
  const ProgramRun run = run_through_shell(R"(exec "$0" "$@")", {"1"}, "signal=alcDestroyContext:1:2");
  EXPECT_EQ(run.signal, SIGINT);
  EXPECT_EQ(run.out, "Found device: Fake Device\nMoving disc size 1/1 from 1 to 3\n");
  const Lines calls = run.err_lines();
  ASSERT_GE(calls.size(), 3U);
  EXPECT_EQ(functions_of(Lines(calls.end() - 3, calls.end())), release_of_a_run);
}

#ifndef HANOI_SANITIZED  // the sanitizers cannot run with a limit on address space
TEST(ProgramOnFake, AnAllocationThatFailsIsFatalAndEverythingIsReleasedAfterTheReport) {
  // An absurd send count asks for 8 GiB for one source's table, past the 2 GB allowed here.
  const ProgramRun run =
      run_through_shell(R"(exec prlimit --as=2000000000 "$0" "$@")", {"2"}, "max_aux_sends=2147483647");
  EXPECT_EQ(run.status, 101);
  EXPECT_EQ(run.out, "Found device: Fake Device\nMoving disc size 1/1 from 1 to 2\n");
  const Stderr err = split_at_report(run);
  EXPECT_TRUE(err.report.starts_with(fatal_report_lead + "memory allocation failed, at src/")) << err.report;
  EXPECT_EQ(functions_of(err.after), joined({"alcSetThreadContext", "alDeleteSources"}, release_of_a_run));
}
#endif

}  // namespace
