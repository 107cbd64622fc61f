// The program against the fake OpenAL library: every way start-up and note playback can fail, what
// each leaves on the two streams, what was released, and no memory error or leak (memcheck).

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/reference_tones.hpp"
#include "support/run_program.hpp"

namespace {

const std::string program = HANOI_CHIMES_PATH;
using Lines = std::vector<std::string>;

const std::string report_lead = "thread 'main' stopped: a required result held an error: ";

/// Runs the program on the fake configured with `config`, under memcheck. The fake's record goes
/// to standard error, so record lines and the fatal report stand in the order they happened.
ProgramRun run_on_fake(const std::vector<std::string>& args, const std::string& config,
                       const std::string& library_dir = FAKE_OPENAL_DIR) {
  std::vector<std::string> argv{program};
  argv.insert(argv.end(), args.begin(), args.end());
  ProgramRun run = run_under_memcheck(
      argv, {"LD_LIBRARY_PATH=" + library_dir, "FAKE_OPENAL_CONFIG=" + config, "FAKE_OPENAL_LOG=/dev/stderr"});
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

Lines names_of(const Lines& calls) {
  Lines names;
  for (const std::string& call : calls) names.push_back(call.substr(0, call.find('(')));
  return names;
}

std::size_t count(const Lines& calls, const std::string& name) {
  const Lines names = names_of(calls);
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
  for (const std::string& call : calls) {
    if (call.starts_with("alBufferData(")) hashes.push_back(call.substr(call.find("fnv=") + 4, 16));
  }
  const Lines pitches{"392.0", "440.0", "349.23", "329.63", "293.66", "261.63"};
  ASSERT_EQ(hashes.size(), pitches.size());
  for (std::size_t note = 0; note < pitches.size(); ++note) {
    EXPECT_EQ(hashes[note], hex16(reference_tone(pitches[note], 100).fnv1a)) << "note " << note;
  }
  EXPECT_EQ(count(calls, "alGenSources"), 6U);
  EXPECT_EQ(count(calls, "alDeleteSources"), 6U);
  EXPECT_EQ(count(calls, "alDeleteBuffers"), 6U);
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
    Lines released_after_report;
  } cases[] = {
      {"missing entry point",
       "",
       FAKE_OPENAL_MISSING_DIR,
       "",
       R"(Io(Os { code: 38, kind: Unsupported, message: "Function not implemented" }))",
       {}},
      {"device name not UTF-8",
       R"(all_devices=Good\0Bad\xFF\0\0)",
       FAKE_OPENAL_DIR,
       "Found device: Good\n",
       "Utf8Error { valid_up_to: 3, error_len: Some(1) }",
       {}},
      {"default device",
       "fail=alcOpenDevice:1:0xA004",
       FAKE_OPENAL_DIR,
       "Found device: Fake Device\n",
       "InvalidDevice",
       {}},
      {"listener position",
       "fail=alListenerfv@0x1004:1:0xA003",
       FAKE_OPENAL_DIR,
       "Found device: Fake Device\n",
       "InvalidValue",
       {"alcSetThreadContext", "alcDestroyContext", "alcCloseDevice"}},
      {"listener velocity",
       "fail=alListenerfv@0x1006:1:0xA002",
       FAKE_OPENAL_DIR,
       "Found device: Fake Device\n",
       "InvalidEnum",
       {"alcSetThreadContext", "alcDestroyContext", "alcCloseDevice"}},
      {"listener orientation",
       "fail=alListenerfv@0x100F:1:0x1234",
       FAKE_OPENAL_DIR,
       "Found device: Fake Device\n",
       "UnknownAlError(4660)",
       {"alcSetThreadContext", "alcDestroyContext", "alcCloseDevice"}},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    const ProgramRun run = run_on_fake({"3"}, test.config, test.library_dir);
    EXPECT_EQ(run.status, 101);
    EXPECT_EQ(run.out, test.out);
    const Stderr err = split_at_report(run);
    EXPECT_TRUE(err.report.starts_with(report_lead + test.debug_form + ", at src/audio/context.cpp:")) << err.report;
    EXPECT_EQ(names_of(err.after), test.released_after_report);
    EXPECT_EQ(count(err.before, "alcOpenDevice"), test.out.empty() || test.name == "device name not UTF-8" ? 0U : 1U);
  }
}

TEST(ProgramOnFake, AFailedContextCreationIsReportedAfterTheDeviceIsClosed) {
  const ProgramRun run = run_on_fake({"3"}, "fail=alcCreateContext:1:0");
  EXPECT_EQ(run.status, 101);
  EXPECT_EQ(run.out, "Found device: Fake Device\n");
  const Stderr err = split_at_report(run);
  EXPECT_TRUE(err.report.starts_with(report_lead + "NullError, at src/main.cpp:")) << err.report;
  EXPECT_EQ(names_of(Lines(err.before.end() - 3, err.before.end())),
            (Lines{"alcCreateContext", "alcGetError", "alcCloseDevice"}));
  EXPECT_TRUE(err.after.empty());
}

TEST(ProgramOnFake, ANoteThatCannotBePlayedEndsTheRunWithStatusTwoReleasingNothing) {
  const struct {
    std::string name;
    std::string config;
    Lines moves_printed;
    std::string failure;
    std::size_t sources_asked;
  } cases[] = {
      {"first source",
       "fail=alGenSources:1:0xA004",
       {"Moving disc size 1/1 from 1 to 3"},
       "Failed to play sound: AUDIO ERROR: AL Invalid Operation",
       1},
      // Unchecked calls leave their error for the next note's source check.
      {"attach",
       "error=alSourcei:1:0xA003",
       {"Moving disc size 1/1 from 1 to 3"},
       "Failed to play sound: AUDIO ERROR: ALC Invalid Value",
       2},
      {"play",
       "error=alSourcePlay:2:0xA005",
       {"Moving disc size 1/1 from 1 to 3", "Moving disc size 2/2 from 1 to 2"},
       "Failed to play sound: AUDIO ERROR: ALC Out of Memory",
       3},
      {"unknown code",
       "fail=alGenSources:4:0x7777",
       {"Moving disc size 1/1 from 1 to 3", "Moving disc size 2/2 from 1 to 2"},
       "Failed to play sound: AUDIO ERROR: Unknown AL error",
       4},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    const ProgramRun run = run_on_fake({"3"}, test.config);
    EXPECT_EQ(run.status, 2);
    Lines expected{"Found device: Fake Device"};
    expected.insert(expected.end(), test.moves_printed.begin(), test.moves_printed.end());
    expected.push_back(test.failure);
    EXPECT_EQ(run.out_lines(), expected);
    const Lines calls = run.err_lines();
    EXPECT_EQ(count(calls, "alGenSources"), test.sources_asked);
    EXPECT_EQ(names_of(calls).back(), "alGetError");  // nothing is released after the failed check
  }
}

TEST(ProgramOnFake, ABufferThatCannotBeMadeIsFatalAndEverythingIsReleasedAfterTheReport) {
  for (const auto& [config, debug_form] :
       {std::pair{"fail=alGenBuffers:2:0xA005", "OutOfMemory"}, {"fail=alBufferData:1:0xA003", "InvalidValue"}}) {
    SCOPED_TRACE(config);
    const ProgramRun run = run_on_fake({"3"}, config);
    EXPECT_EQ(run.status, 101);
    EXPECT_EQ(run.out, "Found device: Fake Device\nMoving disc size 1/1 from 1 to 3\n");
    const Stderr err = split_at_report(run);
    EXPECT_TRUE(err.report.starts_with(report_lead + debug_form + ", at src/playback.cpp:")) << err.report;
    EXPECT_EQ(names_of(err.after), (Lines{"alcSetThreadContext", "alDeleteSources", "alcSetThreadContext",
                                          "alcDestroyContext", "alcCloseDevice"}));
  }
}

}  // namespace
