// Standard streams on Windows: binary output, UTF-16 for a console, and the system's error code
// after a failed write.

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <streambuf>
#include <string>

#include "audio/error.hpp"
#include "fatal.hpp"
#include "output.hpp"

namespace {

/// The code of a failed write to a console, which the C library never sees.
DWORD console_error = ERROR_SUCCESS;

/// Standard output on a console, which takes text as UTF-16 whatever its code page: each line is
/// converted from UTF-8 when it is flushed and written with WriteConsoleW.
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
    const int size = static_cast<int>(pending_.size());
    std::wstring wide(static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, pending_.data(), size, nullptr, 0)),
                      L'\0');
    MultiByteToWideChar(CP_UTF8, 0, pending_.data(), size, wide.data(), static_cast<int>(wide.size()));
    pending_.clear();
    DWORD written = 0;
    if (WriteConsoleW(console_, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) == FALSE) {
      console_error = GetLastError();
      return -1;
    }
    return 0;
  }

  HANDLE console_;
  std::string pending_;
};

}  // namespace

void guard_standard_streams() {
  // The C library's text mode would write "\r\n" for every "\n".
  static_cast<void>(_setmode(_fileno(stdout), _O_BINARY));
  static_cast<void>(_setmode(_fileno(stderr), _O_BINARY));
  // Unsynchronised, std::cout writes to the C library's descriptor 1 itself when flushed, and
  // _doserrno keeps the system's code of a write that failed.
  std::ios::sync_with_stdio(false);
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (GetConsoleMode(out, &mode) != FALSE) {
    static ConsoleOutput console(out);
    std::cout.rdbuf(&console);
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
