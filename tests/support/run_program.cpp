#include "run_program.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

/// The file actions and attributes of one start, released however the start ends.
struct SpawnSetup {
  posix_spawn_file_actions_t actions{};
  posix_spawnattr_t attributes{};
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
  ~SpawnSetup() {
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
  }
};

/// Starts `argv` as `start_program` says, with the file actions and attributes of `setup`.
pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, const SpawnSetup& setup) {
  // Everything the child needs is made here, before it exists: a child of a process with other
  // threads may only call what is safe in a signal handler until it runs the program, and setenv
  // could wait forever for a lock another thread held when the process was copied.
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) environment.emplace_back(*entry);
  for (const std::string& change : env) {
    const std::string name = change.substr(0, change.find('='));
    std::erase_if(environment, [&](const std::string& entry) { return entry.starts_with(name + "="); });
    if (change.size() > name.size()) environment.push_back(change);
  }
  const auto pointers = [](const std::vector<std::string>& strings) {
    std::vector<char*> list;
    list.reserve(strings.size() + 1);
    for (const std::string& text : strings) list.push_back(const_cast<char*>(text.c_str()));
    list.push_back(nullptr);
    return list;
  };
  pid_t child = 0;
  const int error = posix_spawn(&child, argv.front().c_str(), &setup.actions, &setup.attributes, pointers(argv).data(),
                                pointers(environment).data());
  if (error != 0) throw std::runtime_error("cannot start " + argv.front() + ": " + std::strerror(error));
  return child;
}

/// Reads the output streams of `child` from `out_fd` and `err_fd` (-1: none) until both end, as
/// `run_program` says, closes them, and waits for the child. When the time runs out, `killed` is
/// killed: the child, or (negated) its process group.
ProgramRun collect(pid_t child, pid_t killed, int out_fd, int err_fd, std::chrono::seconds timeout,
                   const OutputWatch& watch) {
  ProgramRun run;
  std::array<pollfd, 2> streams{{{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}}};
  std::array<std::string*, 2> sinks{&run.out, &run.err};
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  auto open_streams = std::ranges::count_if(streams, [](const pollfd& stream) { return stream.fd >= 0; });
  while (open_streams > 0) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      kill(killed, SIGKILL);
      break;
    }
    if (poll(streams.data(), streams.size(), static_cast<int>(left.count())) < 0) continue;
    for (std::size_t i = 0; i < streams.size(); ++i) {
      if (streams[i].fd < 0 || streams[i].revents == 0) continue;
      std::array<char, 65536> chunk{};
      const ssize_t got = read(streams[i].fd, chunk.data(), chunk.size());
      if (got > 0) sinks[i]->append(chunk.data(), static_cast<std::size_t>(got));
      if (got > 0 && i == 1) run.err_writes.emplace_back(chunk.data(), static_cast<std::size_t>(got));
      // At the stream's end, or where the watch stops reading standard output.
      const bool reading = got > 0 && (i != 0 || !watch || watch(child, run.out));
      if (!reading) {
        close(streams[i].fd);
        streams[i].fd = -1;
        --open_streams;
      }
    }
  }
  for (const pollfd& stream : streams)
    if (stream.fd >= 0) close(stream.fd);
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
  return run;
}

}  // namespace

pid_t start_program(const std::vector<std::string>& argv, const std::vector<std::string>& env, int out_fd, int err_fd) {
  SpawnSetup setup;
  posix_spawn_file_actions_adddup2(&setup.actions, out_fd, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&setup.actions, err_fd, STDERR_FILENO);
  return spawn(argv, env, setup);
}

std::vector<std::string> ProgramRun::out_lines() const { return lines_of(out); }

std::vector<std::string> ProgramRun::err_lines() const { return lines_of(err); }

ProgramRun run_program(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                       std::chrono::seconds timeout, const OutputWatch& watch) {
  std::array<int, 2> out_pipe{};
  std::array<int, 2> err_pipe{};
  if (pipe2(out_pipe.data(), O_CLOEXEC) != 0 || pipe2(err_pipe.data(), O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
  const pid_t child = start_program(argv, env, out_pipe[1], err_pipe[1]);
  close(out_pipe[1]);
  close(err_pipe[1]);
  return collect(child, child, out_pipe[0], err_pipe[0], timeout, watch);
}

ProgramRun run_keeping_writes_apart(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
  std::array<int, 2> out{};
  std::array<int, 2> err{};  // a socket: each read takes one record, which is one write
  if (pipe2(out.data(), O_CLOEXEC) != 0 || socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, err.data()) != 0)
    throw std::runtime_error("pipe failed");
  const pid_t child = start_program(argv, env, out[1], err[1]);
  close(out[1]);
  close(err[1]);
  return collect(child, child, out[0], err[0], std::chrono::seconds(60), {});  // runs of seconds
}

ProgramRun run_in_terminal(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                           std::chrono::seconds timeout, const Typist& typist) {
  int terminal = -1;
  int unused_side = -1;
  winsize size{};  // wide enough that no line wraps
  size.ws_row = 50;
  size.ws_col = 2000;
  if (openpty(&terminal, &unused_side, nullptr, nullptr, &size) != 0) throw std::runtime_error("openpty failed");
  close(unused_side);
  fcntl(terminal, F_SETFD, FD_CLOEXEC);
  pid_t child = -1;
  try {
    const char* side = ptsname(terminal);
    if (side == nullptr) throw std::runtime_error(std::string("ptsname failed: ") + std::strerror(errno));
    // The program leads a session of its own, and the terminal it opens first becomes that
    // session's controlling terminal: Ctrl-C typed there is its own.
    SpawnSetup setup;
    posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, side, O_RDWR, 0);
    posix_spawn_file_actions_adddup2(&setup.actions, STDIN_FILENO, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&setup.actions, STDIN_FILENO, STDERR_FILENO);
    posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSID);
    child = spawn(argv, env, setup);
  } catch (...) {
    close(terminal);
    throw;
  }

  // The screen ends when the last process that holds the terminal lets it go (EIO). As the leader
  // of its session the program leads its process group too: a run out of time is killed with
  // everything it started there (Wine's own processes).
  return collect(child, -child, terminal, -1, timeout, [&](pid_t, const std::string& screen) {
    const std::string keys = typist ? typist(screen) : "";
    return write(terminal, keys.data(), keys.size()) == static_cast<ssize_t>(keys.size());
  });
}

ProgramRun run_under_memcheck(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                              std::chrono::seconds timeout) {
  const TempDir dir;
#ifdef HANOI_SANITIZED
  // valgrind cannot run a sanitized program: the sanitizers check it, writing to a log of their own.
  std::vector<std::string> checked_env{"ASAN_OPTIONS=exitcode=99:detect_leaks=1:log_path=" + dir.file("memcheck"),
                                       "UBSAN_OPTIONS=exitcode=99:print_stacktrace=1:log_path=" + dir.file("memcheck"),
                                       "LSAN_OPTIONS=exitcode=99:suppressions=" HANOI_LSAN_SUPPRESSIONS};
  checked_env.insert(checked_env.end(), env.begin(), env.end());
  ProgramRun run = run_program(argv, checked_env, timeout);
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    std::ifstream log(entry.path());
    run.memcheck.append(std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>());
  }
  return run;
#else
  std::vector<std::string> command{"/usr/bin/valgrind",
                                   "--quiet",
                                   "--error-exitcode=99",
                                   "--leak-check=full",
                                   "--errors-for-leak-kinds=definite,indirect",
                                   "--keep-debuginfo=yes",
                                   std::string("--suppressions=") + HANOI_VALGRIND_SUPPRESSIONS,
                                   "--log-file=" + dir.file("memcheck.log")};
  command.insert(command.end(), argv.begin(), argv.end());
  ProgramRun run = run_program(command, env, timeout);
  std::ifstream log(dir.file("memcheck.log"));
  run.memcheck.assign(std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>());
  return run;
#endif
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "hanoi-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> read_lines(const std::string& path) {
  std::ifstream file(path);
  return lines_of(std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()));
}

void write_file(const std::string& path, const std::string& text) {
  std::ofstream file(path);
  file << text;
  if (!file) throw std::runtime_error("cannot write " + path);
}
