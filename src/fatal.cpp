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
  // The position ends the line, cut short if it must be, but always with its newline.
  std::array<char, 512> position{};
  const int length = std::snprintf(position.data(), position.size(), ", at %s:%u:%u\n", where.file_name(),
                                   static_cast<unsigned>(where.line()), static_cast<unsigned>(where.column()));
  std::size_t ending = length > 0 ? std::min(static_cast<std::size_t>(length), position.size() - 1) : 0;
  if (ending == 0 || position.at(ending - 1) != '\n') position.at(ending++) = '\n';
  // The whole line goes out in one write, so that no other writer on the stream (OpenAL's own log
  // lines, a terminal shared with another program) lands inside it; in pieces only when it does not
  // fit the buffer.
  const std::array<std::string_view, 3> pieces{"thread 'main' stopped: ", message, {position.data(), ending}};
  std::array<char, 1024> line{};
  std::size_t size = 0;
  for (const std::string_view piece : pieces) size += piece.size();
  if (size > line.size()) {
    for (const std::string_view piece : pieces) write_error(piece);
    return;
  }
  char* end = line.data();
  for (const std::string_view piece : pieces) end = std::copy(piece.begin(), piece.end(), end);
  write_error({line.data(), size});
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
