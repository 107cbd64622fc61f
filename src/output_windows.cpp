// Standard streams on Windows: binary output, UTF-16 for a console, and the system's error code
// after a failed write.

#include "output_windows.hpp"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <streambuf>
#include <string>

#include "audio/error.hpp"
#include "fatal.hpp"
#include "output.hpp"

namespace {

/// The code of a failed write to a console, which the C library never sees.
DWORD console_error = ERROR_SUCCESS;

/// Whether `stream` is a console, which takes text as UTF-16 whatever its code page.
bool is_console(HANDLE stream) {
  DWORD mode = 0;
  return GetConsoleMode(stream, &mode) != FALSE;
}

/// Writes UTF-8 `text` to `console` as UTF-16 with WriteConsoleW, a piece at a time through a buffer
/// of its own, so that it allocates nothing; no piece ends inside a character's bytes. False, with
/// `console_error` set, when the console refuses it.
bool write_console(HANDLE console, std::string_view text) {
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
      console_error = GetLastError();
      return false;
    }
    text.remove_prefix(piece);
  }
  return true;
}

class ConsoleOutput final : public std::streambuf {
 public:
  explicit ConsoleOutput(HANDLE console) : console_(console) {}

 private:
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) pending_.push_back(traits_type::to_char_type(c));
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* text, std::streamsize count) override {
    pending_.append(text, static_cast<std::size_t>(count));
    return count;
  }
  int sync() override {
    const bool written = write_console(console_, pending_);
    pending_.clear();
    return written ? 0 : -1;
  }

  HANDLE console_;
  std::string pending_;
};

}  // namespace

std::unique_ptr<std::streambuf> make_console_output(HANDLE console) { return std::make_unique<ConsoleOutput>(console); }

void guard_standard_streams() {
  // The C library's text mode would write "\r\n" for every "\n".
  static_cast<void>(_setmode(_fileno(stdout), _O_BINARY));
  static_cast<void>(_setmode(_fileno(stderr), _O_BINARY));
  // Unsynchronised, std::cout writes to the C library's descriptor 1 itself when flushed, and
  // _doserrno keeps the system's code of a write that failed.
  std::ios::sync_with_stdio(false);
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (is_console(out)) {
    // Kept for the life of the process, never destroyed: std::cout's last flush comes after every
    // static object of the program is gone.
    std::cout.rdbuf(make_console_output(out).release());
  }
}

void write_error(std::string_view text) {
  HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (is_console(error)) {
    static_cast<void>(write_console(error, text));
  } else {
    static_cast<void>(std::fwrite(text.data(), 1, text.size(), stderr));
  }
}

void clear_write_error() {
  _doserrno = 0;
  console_error = ERROR_SUCCESS;
}

void stop_on_failed_write(std::source_location where) {
  // A reader that went away is a failed write like any other: Windows has no signal for it.
  DWORD error = console_error != ERROR_SUCCESS ? console_error : static_cast<DWORD>(_doserrno);
  if (error == ERROR_SUCCESS) error = ERROR_WRITE_FAULT;  // a stream that failed without a system error
  fatal(std::string(required_lead_in) + OsError{static_cast<std::int32_t>(error)}.debug(), where);
}
