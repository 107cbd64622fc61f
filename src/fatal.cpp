#include "fatal.hpp"

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "exit_status.hpp"

namespace {

/// Writes the one-line report: thread "main", the message and the position of the failing check.
/// It allocates nothing, so that it also serves when memory has run out.
void write_report(std::string_view message, const std::source_location& where) {
  // Standard output goes first, so the report follows every line that was written before it. If
  // either stream cannot be written there is nowhere left to say so.
  std::cout.flush();
  static_cast<void>(std::fprintf(stderr, "thread 'main' stopped: %.*s, at %s:%u:%u\n", static_cast<int>(message.size()),
                                 message.data(), where.file_name(), static_cast<unsigned>(where.line()),
                                 static_cast<unsigned>(where.column())));
}

}  // namespace

void fatal(std::string_view message, std::source_location where) {
  write_report(message, where);
  throw FatalStop{};
}

void fatal_exit(std::string_view message, std::source_location where) {
  write_report(message, where);
  std::exit(exit_code(ExitStatus::Fatal));
}

void stop_on_failed_allocation() {
  std::set_new_handler([] {
    write_report("memory allocation failed", std::source_location::current());
    throw AllocationStop{};
  });
}
