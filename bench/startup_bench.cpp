// Start-up time and peak memory of the program against openal-info, which also loads OpenAL Soft,
// opens a device and creates a context. Both run as children on the null backend, alternately:
//   - the program with 1 disc, timed from the spawn to the arrival of its first move line on a pipe
//     (the line goes out right before the first note starts), less the time the program waits
//     before it for the device to play out what it holds: the device's latency, which the bench
//     asks the null backend for the same way;
//   - openal-info, timed from the spawn to its exit.
// Peak memory is each child's maximum resident set size as wait4 reports it.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "audio/context.hpp"
#include "fatal.hpp"
#include "playback.hpp"
#include "summary.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double to_ms(Clock::duration duration) { return std::chrono::duration<double, std::milli>(duration).count(); }

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

[[noreturn]] void fail(const std::string& what) {
  static_cast<void>(std::fprintf(stderr, "startup_bench: %s\n", what.c_str()));
  std::exit(1);
}

struct ChildRun {
  double first_line_ms = 0.0;  // the program only
  double exit_ms = 0.0;
  double max_rss_kib = 0.0;
};

/// Spawns `argv` with standard input and error on /dev/null and standard output on `out_fd`.
pid_t spawn(const std::vector<std::string>& argv, int out_fd) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out_fd, STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  const int error = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) fail("cannot start " + argv[0] + ": " + std::strerror(error));
  return pid;
}

/// Waits for `pid`; a child that did not exit with status 0 is an error of the bench.
rusage reap(pid_t pid, const std::string& name) {
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) fail("waiting for " + name + ": " + std::strerror(errno));
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) fail(name + " did not exit with status 0");
  return usage;
}

ChildRun run_program(const std::string& program) {
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) fail(std::string("pipe: ") + std::strerror(errno));
  const auto start = Clock::now();
  const pid_t pid = spawn({program, "1"}, pipe_fds[1]);
  close(pipe_fds[1]);

  ChildRun run;
  std::string out;
  bool seen = false;
  char chunk[4096];
  while (true) {
    const ssize_t got = read(pipe_fds[0], chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    out.append(chunk, static_cast<std::size_t>(got));
    if (!seen && out.contains("Moving disc")) {
      run.first_line_ms = to_ms(Clock::now() - start);
      seen = true;
    }
  }
  close(pipe_fds[0]);
  const rusage usage = reap(pid, program);
  run.exit_ms = to_ms(Clock::now() - start);
  run.max_rss_kib = static_cast<double>(usage.ru_maxrss);
  if (!seen) fail(program + " printed no move line");
  return run;
}

ChildRun run_openal_info(const std::string& openal_info) {
  const int null_fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null_fd < 0) fail(std::string("/dev/null: ") + std::strerror(errno));
  const auto start = Clock::now();
  const pid_t pid = spawn({openal_info}, null_fd);
  close(null_fd);
  const rusage usage = reap(pid, openal_info);
  ChildRun run;
  run.exit_ms = to_ms(Clock::now() - start);
  run.max_rss_kib = static_cast<double>(usage.ru_maxrss);
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    static_cast<void>(std::fprintf(stderr, "usage: startup_bench PROGRAM OPENAL_INFO [REPETITIONS]\n"));
    return 1;
  }
  const std::string program = argv[1];
  const std::string openal_info = argv[2];
  const int repetitions = argc > 3 ? std::atoi(argv[3]) : 40;
  if (repetitions < 1) fail("the repetitions must be a positive number");
  static_cast<void>(setenv("ALSOFT_DRIVERS", "null", 1));  // inherited by both children

  // One untimed run of each first, so that neither pays alone for loading files into the cache.
  run_program(program);
  run_openal_info(openal_info);

  std::vector<double> first_line;
  std::vector<double> program_exit;
  std::vector<double> program_rss;
  std::vector<double> info_exit;
  std::vector<double> info_rss;
  for (int i = 0; i < repetitions; ++i) {
    // Alternating which goes first, so that neither always follows the other.
    ChildRun ours;
    ChildRun info;
    if (i % 2 == 0) {
      ours = run_program(program);
      info = run_openal_info(openal_info);
    } else {
      info = run_openal_info(openal_info);
      ours = run_program(program);
    }
    first_line.push_back(ours.first_line_ms);
    program_exit.push_back(ours.exit_ms);
    program_rss.push_back(ours.max_rss_kib);
    info_exit.push_back(info.exit_ms);
    info_rss.push_back(info.max_rss_kib);
  }

  // The wait before the first move line that is the device's, not the program's start-up. Asked
  // only now: a child started by posix_spawn counts the bench's own resident memory into its peak,
  // and loading OpenAL here first would have raised that for both children.
  double play_out_ms = 0.0;
  {
    std::ostringstream device_lines;
    const AudioContext context = required(open_audio(device_lines));
    if (const auto latency = device_latency(context.device())) {
      play_out_ms = std::min(std::chrono::duration<double, std::milli>(*latency).count(),
                             std::chrono::duration<double, std::milli>(max_play_out).count());
    }
  }

  const double start_ratio = (median(first_line) - play_out_ms) / median(info_exit);
  std::printf("%d runs of each, medians:\n", repetitions);
  std::printf(
      "  hanoi-chimes 1: spawn to first move line %.2f ms, less the device's play-out %.2f ms (spawn to exit %.1f ms), "
      "peak RSS %.0f KiB\n",
      median(first_line), play_out_ms, median(program_exit), median(program_rss));
  std::printf("  openal-info:    spawn to exit %.2f ms, peak RSS %.0f KiB\n", median(info_exit), median(info_rss));
  std::printf("start-up ratio, first move line less the play-out / openal-info run: %.3f (goal at most 1.0)\n",
              start_ratio);
  const double extra_mib = (median(program_rss) - median(info_rss)) / 1024.0;
  std::printf("peak memory, hanoi-chimes 1 - openal-info: %+.2f MiB, ratio %.3f (goal at most +2 MiB)\n", extra_mib,
              median(program_rss) / median(info_rss));
  print_summary("start-up less play-out wait / openal-info run", format("%.3f", start_ratio), "<= 1.0",
                start_ratio <= 1.0);
  print_summary("peak memory beyond openal-info's", format("%+.2f MiB", extra_mib), "<= +2 MiB", extra_mib <= 2.0);
  return 0;
}
