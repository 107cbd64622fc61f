#include "fatal.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "exit_status.hpp"
#include "output.hpp"

namespace {

/// Writes the one-line report: thread "main", the message and the position of the failing check.
/// It allocates nothing, so that it also serves when memory has run out.
void write_report(std::string_view message, const std::source_location& where) {
  // Standard output goes first, so the report follows every line that was written before it. If
  // either stream cannot be written there is nowhere left to say so.
  std::cout.flush();
  std::array<char, 512> position{};
  const int length = std::snprintf(position.data(), position.size(), ", at %s:%u:%u\n", where.file_name(),
                                   static_cast<unsigned>(where.line()), static_cast<unsigned>(where.column()));
  write_error("thread 'main' stopped: ");
  write_error(message);
  if (length > 0) write_error({position.data(), std::min<std::size_t>(length, position.size() - 1)});
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
