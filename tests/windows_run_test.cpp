// The Windows program, run as a Windows user runs it, under Wine: next to it an OpenAL32.dll (the
// bridge to this machine's OpenAL Soft, tests/wine), or none, or one that lacks an entry point.
// What it prints, plays and returns must be what the Linux program prints, plays and returns, but
// where Windows differs on purpose. The Windows build registers these tests (tests/wine), with the
// paths of its program, its bridges and Wine in the environment, and one Wine server for the run.

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/call_record.hpp"
#include "support/heard_moves.hpp"
#include "support/run_program.hpp"
#include "support/wave_recording.hpp"

namespace {

const std::string linux_program = HANOI_CHIMES_PATH;

std::string from_environment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr)
    throw std::runtime_error(std::string(name) + " is not set: run these tests by ctest --preset windows");
  return value;
}

// STATUS_CONTROL_C_EXIT, of which Wine hands a Linux parent the low byte only; the Windows unit
// tests check the whole code (WindowsStopsDeathTest).
constexpr int control_c_exit_low_byte = 0xC000013A & 0xFF;

class WindowsRun : public testing::Test {
 protected:
  /// Copies hanoi-chimes.exe into a folder of its own, with the OpenAL32.dll of `bridge_dir` beside
  /// it unless that is empty.
  explicit WindowsRun(const std::string& bridge_dir = from_environment("OPENAL_BRIDGE_DIR")) {
    namespace fs = std::filesystem;
    fs::copy_file(from_environment("HANOI_CHIMES_EXE"), program_folder_.file("hanoi-chimes.exe"));
    if (!bridge_dir.empty()) fs::copy_file(bridge_dir + "/OpenAL32.dll", program_folder_.file("OpenAL32.dll"));
  }

  /// Runs the program under Wine, from its own folder, recording through the wave writer.
  ProgramRun run(const std::vector<std::string>& args, const OutputWatch& watch = {}) const {
    std::vector<std::string> argv{from_environment("WINE_RUN"), from_environment("WINE_PREFIX"),
                                  program_folder_.file("hanoi-chimes.exe")};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_program(argv, recording_.env(), std::chrono::seconds(60), watch);
  }

  /// The Linux program with the same arguments, recording likewise.
  static ProgramRun run_on_linux(const std::vector<std::string>& args) {
    std::vector<std::string> argv{linux_program};
    argv.insert(argv.end(), args.begin(), args.end());
    const WaveRecording elsewhere;
    return run_program(argv, elsewhere.env());
  }

  TempDir program_folder_;
  WaveRecording recording_;
};

TEST_F(WindowsRun, ThreeDiscsPrintTheBytesLinuxPrintsAndAreHeardNoteByNote) {
  const ProgramRun run = this->run({"3"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, run_on_linux({"3"}).out);  // binary output: "\n", never "\r\n"
  const Lines lines = run.out_lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(Lines(lines.begin() + 1, lines.end()), three_disc_moves);
  recording_.expect_finished();
  const auto signal = recording_.signal();
  ASSERT_TRUE(signal) << signal.error();
  EXPECT_EQ(expect_moves_heard(lines, *signal, recording_.mixing()).size(), 14U);
}

TEST_F(WindowsRun, CtrlCStopsTheSoundAtOnceFinishesTheRecordingAndEndsAsWindowsWould) {
  // Wine turns SIGINT into Ctrl-C's console event. It comes as the first move of disc 4 is printed:
  // the note of 200 ms is about to start or has just started.
  const ProgramRun run = this->run({"4"}, signal_on_output("Moving disc size 4/4", SIGINT));
  EXPECT_EQ(run.status, control_c_exit_low_byte) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out_lines().back(), "Moving disc size 4/4 from 1 to 3");  // nothing after the last move
  // The 14 notes of the moves before, then at most what sounded of the stopped one: under 50 ms,
  // as heard, whatever the machine did meanwhile.
  recording_.expect_stopped_after(14, 0.05);
}

TEST_F(WindowsRun, AReaderThatGoesAwayIsAFatalReportNamingTheWindowsError) {
  const auto after_two_lines = [](pid_t, const std::string& out) { return std::ranges::count(out, '\n') < 2; };
  const ProgramRun run = this->run({"3"}, after_two_lines);
  EXPECT_EQ(run.status, 101);
  ASSERT_EQ(run.err_lines().size(), 1U) << run.err;
  // Windows says so in one of three ways (ERROR_BROKEN_PIPE, ERROR_NO_DATA, ERROR_PIPE_NOT_CONNECTED).
  EXPECT_TRUE(run.err.starts_with(required_report_lead + "Os { code: ")) << run.err;
  EXPECT_NE(run.err.find(", kind: BrokenPipe, message: \""), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("\" }, at src/solver.cpp:"), std::string::npos) << run.err;
  recording_.expect_finished();  // everything was released after the report
}

TEST_F(WindowsRun, ABadDiscCountIsReportedAsOnLinux) {
  for (const std::string count : {"65", "+", "x1"}) {
    SCOPED_TRACE(count);
    const ProgramRun run = this->run({count});
    const ProgramRun linux_run = run_on_linux({count});
    EXPECT_EQ(run.status, 101);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, linux_run.err);
  }
}

class WindowsRunWithoutOpenAl : public WindowsRun {
 protected:
  WindowsRunWithoutOpenAl() : WindowsRun("") {}
};

class WindowsRunWithAnIncompleteOpenAl : public WindowsRun {
 protected:
  WindowsRunWithAnIncompleteOpenAl() : WindowsRun(from_environment("OPENAL_BRIDGE_MISSING_DIR")) {}
};

TEST_F(WindowsRunWithoutOpenAl, NoLibraryIsTheErrorOfTheLastNameTried) {
  // OpenAL32.dll, the last of the five names, is found nowhere: ERROR_MOD_NOT_FOUND.
  const ProgramRun run = this->run({"3"});
  EXPECT_EQ(run.status, 101);
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(run.err.starts_with(required_report_lead + "Io(Os { code: 126, kind: NotFound, message: \"")) << run.err;
}

TEST_F(WindowsRunWithAnIncompleteOpenAl, ALibraryWithoutAnEntryPointIsRefused) {
  // alcCaptureSamples is missing: ERROR_PROC_NOT_FOUND.
  const ProgramRun run = this->run({"3"});
  EXPECT_EQ(run.status, 101);
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(run.err.starts_with(required_report_lead + "Io(Os { code: 127, kind: Unsupported, message: \""))
      << run.err;
}

}  // namespace
