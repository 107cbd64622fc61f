// The Windows program, run as a Windows user runs it, under Wine: next to it an OpenAL32.dll (the
// bridge to this machine's OpenAL Soft, tests/wine), or none, or one that lacks an entry point.
// What it prints, plays and returns must be what the Linux program prints, plays and returns, but
// where Windows differs on purpose. The Windows build registers these tests (tests/wine), with the
// paths of its program, its bridges and Wine in the environment, and one Wine server for the run.

#include <gtest/gtest.h>

#include <algorithm>
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

  /// Runs the program under Wine with its output streams on pipes, recording through the wave
  /// writer, with `env`'s changes, from `working_folder` (or the tests' own).
  ProgramRun run(const std::vector<std::string>& args, const std::vector<std::string>& env = {},
                 const OutputWatch& watch = {}, const std::string& working_folder = {}) const {
    std::vector<std::string> argv = command(args);
    if (!working_folder.empty()) argv.insert(argv.begin(), {"/usr/bin/env", "--chdir=" + working_folder});
    return run_program(argv, joined(recording_.env(), env), std::chrono::seconds(60), watch);  // runs of seconds
  }

  /// The same at a console: started in a terminal, as a Windows user starts it in a console window,
  /// with `typist` typing at it (standard error to `err_file`, if named). `out` is what it showed.
  ProgramRun at_console(const std::vector<std::string>& args, const std::vector<std::string>& env = {},
                        const Typist& typist = {}, const std::string& err_file = {}) const {
    const Lines argv =
        err_file.empty() ? command(args) : joined({"/bin/sh", "-c", R"(exec "$@" 2>"$0")", err_file}, command(args));
    return run_in_terminal(argv, joined(recording_.env(), env), std::chrono::seconds(60), typist);  // seconds
  }

  /// The Linux program with the same arguments, recording likewise.
  static ProgramRun run_on_linux(const std::vector<std::string>& args, const OutputWatch& watch = {}) {
    std::vector<std::string> argv{linux_program};
    argv.insert(argv.end(), args.begin(), args.end());
    const WaveRecording elsewhere;
    return run_program(argv, elsewhere.env(), std::chrono::seconds(300), watch);
  }

  TempDir program_folder_;
  WaveRecording recording_;

  std::vector<std::string> command(const std::vector<std::string>& args) const {
    std::vector<std::string> argv{from_environment("WINE_RUN"), from_environment("WINE_PREFIX"),
                                  program_folder_.file("hanoi-chimes.exe")};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
  }
};

/// The lines a terminal shows of what it received, which Wine's console writes from left to right:
/// it hides the cursor around each write, and draws a space as an erasure and a step to the right.
Lines screen_lines(const std::string& received) {
  std::string text;
  for (std::size_t i = 0; i < received.size(); ++i) {
    if (received.compare(i, 2, "\x1b[") != 0) {
      if (received[i] != '\r') text += received[i];
      continue;
    }
    // A control sequence: its parameters, then a final byte. Only a step to the right shows.
    std::size_t end = i + 2;
    while (end < received.size() && (received[end] < '@' || received[end] > '~')) ++end;
    if (end == received.size()) break;
    if (received[end] == 'C') text.append(end == i + 2 ? 1 : std::stoul(received.substr(i + 2, end - i - 2)), ' ');
    i = end;
  }
  return lines_of(text);
}

/// A folder of glibc's locales (LOCPATH) that holds es_ES.UTF-8, made once for the test program:
/// Wine gives the system's messages in the language of LANG, and Spanish's are not all ASCII.
const std::string& spanish_locale_folder() {
  static const TempDir folder;
  static const int made =
      run_program({"/usr/bin/localedef", "-i", "es_ES", "-f", "UTF-8", folder.file("es_ES.UTF-8")}).status;
  if (made != 0) throw std::runtime_error("localedef cannot make es_ES.UTF-8: is Debian's locales installed?");
  return folder.path();
}

TEST_F(WindowsRun, ThreeDiscsPrintWhatLinuxPrintsAndAreHeardNoteByNote) {
  const ProgramRun linux_run = run_on_linux({"3"});
  const ProgramRun run = this->run({"3"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, linux_run.out);  // binary output: "\n", never "\r\n"
  const Lines lines = run.out_lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(Lines(lines.begin() + 1, lines.end()), three_disc_moves);
  recording_.expect_finished();
  const auto signal = recording_.signal();
  ASSERT_TRUE(signal) << signal.error();
  EXPECT_EQ(expect_moves_heard(lines, *signal, recording_.mixing()).size(), 14U);
}

TEST_F(WindowsRun, AReaderThatGoesAwayIsAFatalReportNamingTheWindowsError) {
  const auto after_two_lines = [](pid_t, const std::string& out) { return std::ranges::count(out, '\n') < 2; };
  const ProgramRun run = this->run({"3"}, {}, after_two_lines);
  EXPECT_EQ(run.status, 101);
  ASSERT_EQ(run.err_lines().size(), 1U) << run.err;
  // Windows says so in one of three ways (ERROR_BROKEN_PIPE, ERROR_NO_DATA, ERROR_PIPE_NOT_CONNECTED).
  EXPECT_TRUE(run.err.starts_with(required_report_lead + "Os { code: ")) << run.err;
  EXPECT_NE(run.err.find(", kind: BrokenPipe, message: \""), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("\" }, at src/solver.cpp:"), std::string::npos) << run.err;
  recording_.expect_finished();  // everything was released after the report
  // So is a line that a full disk refuses, or that has no stream to go to (a null handle).
  for (const auto& [redirect, debug_form] : {std::pair{">/dev/full", "Os { code: 112, kind: StorageFull, "},
                                             std::pair{">&-", "Os { code: 6, kind: Other, "}}) {
    const ProgramRun refused = run_program(
        joined({"/bin/sh", "-c", R"(exec "$@" )" + std::string(redirect), "sh"}, command({"1"})), recording_.env());
    EXPECT_EQ(refused.status, 101);
    EXPECT_TRUE(refused.err.starts_with(required_report_lead + debug_form)) << refused.err;
  }
}

TEST_F(WindowsRun, ABadDiscCountIsReportedAsOnLinux) {
  // Every argument is read from the wide command line, so one that is not ASCII is text as on
  // Linux, also where it is never used.
  for (const Lines& args : {Lines{"65"}, Lines{"+"}, Lines{"x1", "\u00e9"}, Lines{"\u00e9"}}) {
    SCOPED_TRACE(args.front());
    const ProgramRun run = run_keeping_writes_apart(command(args), joined(recording_.env(), {"LANG=C.UTF-8"}));
    const ProgramRun linux_run = run_on_linux(args);
    EXPECT_EQ(run.status, 101);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, linux_run.err);
    EXPECT_EQ(run.err_writes, Lines{run.err});  // in one write
  }
}

TEST_F(WindowsRun, CtrlCTypedAtAConsoleStopsTheSoundAtOnceAndEndsAsWindowsWould) {
  // What the Linux program prints up to the first move of disc 4, where its reader stops.
  const std::string last_line = "Moving disc size 4/4 from 1 to 3";
  Lines linux_lines =
      run_on_linux({"4"}, [&](pid_t, const std::string& out) { return !out.contains(last_line); }).out_lines();
  linux_lines.resize(std::ranges::find(linux_lines, last_line) - linux_lines.begin() + 1);
  // Typed as that move is shown: the note of 200 ms is about to start or has just started.
  bool typed = false;
  const ProgramRun run = at_console({"4"}, {}, [&](const std::string& screen) {
    if (typed || !screen.contains(last_line)) return std::string();
    typed = true;
    return std::string("\x03");
  });
  EXPECT_EQ(run.status, control_c_exit_low_byte) << run.out;
  // The Linux program's lines and nothing after them but the console's echo of the key; of the
  // notes, the 14 of the moves before, then at most what sounded of the stopped one: under 50 ms,
  // as heard, whatever the machine did meanwhile.
  Lines screen = screen_lines(run.out);
  if (!screen.empty() && screen.back() == "^C") screen.pop_back();
  EXPECT_EQ(screen, linux_lines);
  recording_.expect_stopped_after(14, 0.05);
}

TEST_F(WindowsRun, AConsoleShowsANonAsciiLineAsWrittenWhereverItsPiecesEnd) {
  // The bridge opens the Linux fake OpenAL from here, which names its one device so that the
  // line's "é" is its bytes 1,023 and 1,024: the console is written a piece of 1,024 bytes at a
  // time. The terminal takes UTF-8 (LANG).
  const TempDir fake;
  std::filesystem::create_symlink(FAKE_OPENAL_PATH, fake.file("libopenal.so.1"));
  const std::string name = std::string(1009, 'x') + "\u00e9";
  const ProgramRun shown = at_console(
      {"1"}, {"LD_LIBRARY_PATH=" + fake.path(), "FAKE_OPENAL_CONFIG=all_devices=" + name + "\\0\\0", "LANG=C.UTF-8"});
  EXPECT_EQ(shown.status, 0) << shown.out;
  EXPECT_EQ(screen_lines(shown.out), (Lines{"Found device: " + name, "Moving disc size 1/1 from 1 to 3"}));
}

class WindowsRunWithoutOpenAl : public WindowsRun {
 protected:
  WindowsRunWithoutOpenAl() : WindowsRun("") {}
};

class WindowsRunWithAnIncompleteOpenAl : public WindowsRun {
 protected:
  WindowsRunWithAnIncompleteOpenAl() : WindowsRun(from_environment("OPENAL_BRIDGE_MISSING_DIR")) {}
};

TEST_F(WindowsRunWithoutOpenAl, NoLibraryIsLoadedFromTheWorkingFolderButFromPath) {
  // An OpenAL under each of the five names in the folder the run starts in, whoever put it there,
  // is never loaded: OpenAL32.dll, the last name, is found nowhere (ERROR_MOD_NOT_FOUND).
  namespace fs = std::filesystem;
  const std::string bridge = from_environment("OPENAL_BRIDGE_DIR") + "/OpenAL32.dll";
  const TempDir working_folder;
  fs::create_directory(working_folder.file("OpenAL.framework"));
  // Windows adds ".dll" to a name without an ending.
  for (const char* name : {"libopenal.so", "libopenal.dylib", "OpenAL.framework/OpenAL", "OpenAL.framework/OpenAL.dll",
                           "soft_oal.dll", "OpenAL32.dll"})
    fs::copy_file(bridge, working_folder.file(name));
  const ProgramRun run = this->run({"1"}, {}, {}, working_folder.path());
  EXPECT_EQ(run.status, 101);
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(run.err.starts_with(required_report_lead + "Io(Os { code: 126, kind: NotFound, message: \"")) << run.err;

  // One in a folder on PATH is.
  const ProgramRun on_path = this->run({"1"}, {"WINEPATH=Z:" + from_environment("OPENAL_BRIDGE_DIR")});
  EXPECT_EQ(on_path.status, 0) << on_path.err;
}

TEST_F(WindowsRunWithoutOpenAl, AConsoleShowsAReportInTheUsersLanguageAsItIsWritten) {
  const std::vector<std::string> spanish{"LANG=es_ES.UTF-8", "LOCPATH=" + spanish_locale_folder()};
  const ProgramRun piped = run({"3"}, spanish);
  ASSERT_EQ(piped.status, 101);
  ASSERT_TRUE(std::ranges::any_of(piped.err, [](char byte) { return (byte & 0x80) != 0; }))
      << "the system's message is ASCII: " << piped.err;
  const ProgramRun shown = at_console({"3"}, spanish);
  EXPECT_EQ(shown.status, 101);
  EXPECT_EQ(screen_lines(shown.out), piped.err_lines());
  // Standard error sent to a file from a console takes the report as a pipe does.
  EXPECT_EQ(at_console({"3"}, spanish, {}, program_folder_.file("err.txt")).status, 101);
  EXPECT_EQ(read_lines(program_folder_.file("err.txt")), piped.err_lines());
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
