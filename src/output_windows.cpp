// Standard streams on Windows: written straight to the system with its own calls, UTF-16 for a
// console, and each failed write with the system's code.

#include <windows.h>

#include <algorithm>
#include <array>
#include <iostream>
#include <string>

#include "fatal.hpp"
#include "os_error.hpp"
#include "output.hpp"

namespace {

/// Whether `stream` is a console, which takes text as UTF-16 whatever its code page.
bool is_console(HANDLE stream) {
  DWORD mode = 0;
  return GetConsoleMode(stream, &mode) != FALSE;
}

/// Writes UTF-8 `text` to `console` as UTF-16 with WriteConsoleW, a piece at a time through a buffer
/// of its own, so that it allocates nothing; no piece ends inside a character's bytes. Gives the
/// system's code when the console refuses it, ERROR_SUCCESS otherwise.
DWORD write_console(HANDLE console, std::string_view text) {
  std::array<wchar_t, 1024> wide{};
  while (!text.empty()) {
    // A UTF-8 sequence yields at most one UTF-16 unit a byte, so a piece of this many bytes fits.
    std::size_t piece = std::min(text.size(), wide.size());
    while (piece < text.size() && piece > 0 && (static_cast<unsigned char>(text[piece]) & 0xC0) == 0x80) --piece;
    if (piece == 0) piece = std::min(text.size(), wide.size());  // no character starts here: cut anyway
    const int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(piece), wide.data(),
                                          static_cast<int>(wide.size()));
    DWORD written = 0;
    if (WriteConsoleW(console, wide.data(), static_cast<DWORD>(units), &written, nullptr) == FALSE) {
      return GetLastError();
    }
    text.remove_prefix(piece);
  }
  return ERROR_SUCCESS;
}

/// Writes `text` to a file or pipe, all of it, as it is. Gives the system's code when the write
/// fails, ERROR_SUCCESS otherwise.
DWORD write_file(HANDLE file, std::string_view text) {
  while (!text.empty()) {
    DWORD written = 0;
    if (WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) == FALSE) {
      return GetLastError();
    }
    if (written == 0) return ERROR_WRITE_FAULT;  // nothing taken, and no code for it
    text.remove_prefix(written);
  }
  return ERROR_SUCCESS;
}

/// Room for the longest fatal report, so that it goes out in one write. The longest message is an
/// argument's raw form: the command line holds at most 32,767 UTF-16 units, each at most 3 bytes of
/// UTF-8 shown as "\xNN", 12 characters; the lead-ins, the position (512 bytes at most) and every
/// other message are far shorter. Kept out of the stack, whose size it would be a good part of.
/// Only the main thread writes reports.
std::array<wchar_t, (12 * 32'767) + 4'096> report_room;

}  // namespace

void guard_standard_streams() {
  // Nothing to do: a stream the program was started without has a handle that fails every write,
  // and the program opens nothing that could take its place.
}

void write_line(std::ostream& out, std::string_view line, std::source_location where) {
  DWORD error = ERROR_SUCCESS;
  if (&out == &std::cout) {
    // Not through the C library, whose text mode would write "\r\n" for every "\n". A reader that
    // went away is a failed write like any other: Windows has no signal for it.
    HANDLE stream = GetStdHandle(STD_OUTPUT_HANDLE);
    error = is_console(stream) ? write_console(stream, line) : write_file(stream, line);
  } else if (!out.write(line.data(), static_cast<std::streamsize>(line.size())).flush()) {
    error = ERROR_WRITE_FAULT;  // a stream of the tests', in memory: no system error to show
  }
  if (error != ERROR_SUCCESS)
    fatal(std::string(required_lead_in) + OsError{static_cast<std::int32_t>(error)}.debug(), where);
}

void write_error(const ErrorLine& line) {
  HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  const bool console = is_console(error);
  // A message too long for the room (none can be) is cut, so that the position still ends the line.
  const std::size_t message_room = report_room.size() - line.front().size() - line.back().size();
  std::size_t used = 0;                                             // UTF-16 units on a console, bytes elsewhere
  auto* const bytes = reinterpret_cast<char*>(report_room.data());  // as many bytes as units, at least
  for (std::size_t i = 0; i < line.size(); ++i) {
    const std::string_view piece = i == 1 ? line.at(i).substr(0, message_room) : line.at(i);
    if (console) {
      used += static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, piece.data(), static_cast<int>(piece.size()),
                                                           report_room.data() + used,
                                                           static_cast<int>(report_room.size() - used)));
    } else {
      used = static_cast<std::size_t>(std::copy(piece.begin(), piece.end(), bytes + used) - bytes);
    }
  }
  DWORD written = 0;
  static_cast<void>(console ? WriteConsoleW(error, report_room.data(), static_cast<DWORD>(used), &written, nullptr)
                            : WriteFile(error, bytes, static_cast<DWORD>(used), &written, nullptr));
}
