// Standard streams on POSIX systems: descriptors 0 to 2, written with the system's own calls.

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <expected>
#include <iostream>
#include <span>
#include <string>

#include "exit_status.hpp"
#include "fatal.hpp"
#include "os_error.hpp"
#include "output.hpp"
#include "stop_signals.hpp"
#include "stop_signals_posix.hpp"

namespace {

/// Writes all of `pieces` to `descriptor` in one write, or in more only when a signal cuts one short;
/// gives the error of a write that failed.
std::expected<void, OsError> write_all(int descriptor, std::span<iovec> pieces) {
  while (!pieces.empty()) {
    const ssize_t written = writev(descriptor, pieces.data(), static_cast<int>(pieces.size()));
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return std::unexpected(OsError{errno});
    // What is left: past the pieces that went out, and the part of the next that did.
    auto taken = static_cast<std::size_t>(written);
    for (; !pieces.empty() && taken >= pieces.front().iov_len; pieces = pieces.subspan(1))
      taken -= pieces.front().iov_len;
    if (!pieces.empty())
      pieces.front() = {static_cast<char*>(pieces.front().iov_base) + taken, pieces.front().iov_len - taken};
  }
  return {};
}

iovec piece_of(std::string_view text) { return {const_cast<char*>(text.data()), text.size()}; }

}  // namespace

void guard_standard_streams() {
  for (const int descriptor : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    if (fcntl(descriptor, F_GETFD) != -1 || errno != EBADF) continue;
    // open takes the lowest free descriptor, which is this one: the lower ones are open by now.
    // Standard input is opened for writing only and the outputs for reading only, so that reading
    // or writing them fails with EBADF, as it did before.
    if (open("/dev/null", descriptor == STDIN_FILENO ? O_WRONLY : O_RDONLY) != descriptor)
      std::_Exit(exit_code(ExitStatus::Fatal));
  }
}

void write_line(std::ostream& out, std::string_view line, std::source_location where) {
  std::expected<void, OsError> written;
  if (&out == &std::cout) {
    iovec piece = piece_of(line);
    written = write_all(STDOUT_FILENO, {&piece, 1});
  } else if (!out.write(line.data(), static_cast<std::streamsize>(line.size())).flush()) {
    written = std::unexpected(OsError{EIO});  // a stream of the tests', in memory: no system error to show
  }
  if (written) return;
  if (written.error().code == EPIPE && holds_stop_signal(SIGPIPE)) throw SignalStop{SIGPIPE};
  fatal(std::string(required_lead_in) + written.error().debug(), where);
}

void write_error(const ErrorLine& line) {
  std::array<iovec, std::tuple_size_v<ErrorLine>> pieces{};
  std::ranges::transform(line, pieces.begin(), piece_of);
  static_cast<void>(write_all(STDERR_FILENO, pieces));
}
