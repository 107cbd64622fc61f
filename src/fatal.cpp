#include "fatal.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>

#include "exit_status.hpp"
#include "output.hpp"

namespace {

/// Writes the one-line report: thread "main", the message and the position of the failing check.
/// It allocates nothing, so that it also serves when memory has run out. Standard output holds
/// nothing back (`write_line`), so the report follows every line written before it.
void write_report(std::string_view message, const std::source_location& where) {
  // The position ends the line, cut short if it must be, but always with its newline.
  std::array<char, 512> position{};
  const int length = std::snprintf(position.data(), position.size(), ", at %s:%u:%u\n", where.file_name(),
                                   static_cast<unsigned>(where.line()), static_cast<unsigned>(where.column()));
  std::size_t ending = length > 0 ? std::min(static_cast<std::size_t>(length), position.size() - 1) : 0;
  if (ending == 0 || position.at(ending - 1) != '\n') position.at(ending++) = '\n';
  write_error({"thread 'main' stopped: ", message, {position.data(), ending}});
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
