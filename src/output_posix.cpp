// Standard streams on POSIX systems: descriptors 0 to 2, and errno after a failed write.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "exit_status.hpp"
#include "fatal.hpp"
#include "os_error.hpp"
#include "output.hpp"
#include "stop_signals.hpp"
#include "stop_signals_posix.hpp"

void guard_standard_streams() {
  for (const int descriptor : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    if (fcntl(descriptor, F_GETFD) != -1 || errno != EBADF) continue;
    // open takes the lowest free descriptor, which is this one: the lower ones are open by now.
    // Standard input is opened for writing only and the outputs for reading only, so that reading
    // or writing them fails with EBADF, as it did before.
    if (open("/dev/null", descriptor == STDIN_FILENO ? O_WRONLY : O_RDONLY) != descriptor)
      std::_Exit(exit_code(ExitStatus::Fatal));
  }
  // Unsynchronised, std::cout writes to descriptor 1 itself when flushed, and errno tells why a
  // write failed.
  std::ios::sync_with_stdio(false);
}

void write_error(std::string_view text) { static_cast<void>(std::fwrite(text.data(), 1, text.size(), stderr)); }

void write_line(std::ostream& out, std::string_view line, std::source_location where) {
  // errno is the failed write's own: cleared first, for a stream that fails without a system call.
  errno = 0;
  if (out.write(line.data(), static_cast<std::streamsize>(line.size())).flush()) return;
  const int error = errno != 0 ? errno : EIO;
  if (error == EPIPE && holds_stop_signal(SIGPIPE)) throw SignalStop{SIGPIPE};
  fatal(std::string(required_lead_in) + OsError{error}.debug(), where);
}
