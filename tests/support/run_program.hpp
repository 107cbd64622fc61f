#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "support/call_record.hpp"

/// What a finished program left: its two output streams and how it ended.
struct ProgramRun {
  std::string out;
  std::string err;
  int status = -1;                      // the exit status; -1 when a signal ended it
  int signal = 0;                       // the signal that ended it; 0 when it exited
  std::string memcheck;                 // valgrind's report, for a run under memcheck: empty when clean
  std::vector<std::string> err_writes;  // each write to standard error, for `run_keeping_writes_apart`
  std::vector<std::string> out_lines() const;
  std::vector<std::string> err_lines() const;
};

/// Starts `argv` (the program's path first, with no search) with the environment changed by `env`
/// (see `run_program`) and its standard output and error on `out_fd` and `err_fd`; safe to call
/// while other threads run.
pid_t start_program(const std::vector<std::string>& argv, const std::vector<std::string>& env, int out_fd, int err_fd);

/// Called while a program runs, each time its standard output has grown: the program's process and
/// everything it wrote there so far. A test can act on the running program from here. It returns
/// whether to go on reading: false closes the reading end of standard output, as a reader that
/// goes away (`| head -n 2`) does.
using OutputWatch = std::function<bool(pid_t program, const std::string& out)>;

/// Runs `argv` (the program's path first, with no search) with the environment changed by `env`:
/// "NAME=value" sets a variable, a bare "NAME" removes it. A run longer than `timeout` is killed:
/// every bound given is minutes past its run's own length, there only to end a run that hangs.
ProgramRun run_program(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
                       std::chrono::seconds timeout = std::chrono::seconds(300), const OutputWatch& watch = {});

/// `run_program`, with standard error on a socket that keeps each write apart (up to 64 KiB), in `err_writes`.
ProgramRun run_keeping_writes_apart(const std::vector<std::string>& argv, const std::vector<std::string>& env);

/// Given everything a terminal has shown so far, what to type at it next: nothing, or keys such as
/// "\x03" (Ctrl-C).
using Typist = std::function<std::string(const std::string& screen)>;

/// Runs `argv` as `run_program` does, but on a pseudo-terminal of its own, its controlling terminal,
/// as a program started in a terminal window runs: `out` is everything the terminal showed, both
/// output streams as the program wrote them, with the terminal's line endings ("\r\n"); `err` stays
/// empty. `typist` is asked each time the screen has grown.
ProgramRun run_in_terminal(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                           std::chrono::seconds timeout, const Typist& typist = {});

/// The same with memory checking: under valgrind's memcheck, or, in a sanitizer build, with the
/// sanitizers' own checks. Either reports any memory error and any leak of memory the program owns
/// (status 99 then); memory that system libraries keep for themselves is suppressed.
ProgramRun run_under_memcheck(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
                              std::chrono::seconds timeout = std::chrono::seconds(300));

/// A fresh empty folder under the system's temporary folder, removed with everything in it when
/// this goes.
class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

/// The lines of a text file; nothing when it does not exist.
std::vector<std::string> read_lines(const std::string& path);
void write_file(const std::string& path, const std::string& text);
