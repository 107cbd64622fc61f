// Standard streams on Windows: written straight to the system, UTF-16 for a console, and each
// failed write with the system's code.

#include "output_windows.hpp"

#include <windows.h>

#include <algorithm>
#include <array>
#include <iostream>
#include <memory>
#include <streambuf>
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

/// Standard output's buffer: each line goes to the system when it is flushed, a console's as
/// UTF-16, anything else's as its bytes. A write the system refuses fails the flush, and the buffer
/// keeps the system's code for `write_line` to report.
class SystemOutput final : public std::streambuf {
 public:
  SystemOutput(HANDLE stream, bool console) : stream_(stream), console_(console) {}
  DWORD error() const { return error_; }

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
    error_ = console_ ? write_console(stream_, pending_) : write_file(stream_, pending_);
    pending_.clear();
    return error_ == ERROR_SUCCESS ? 0 : -1;
  }

  HANDLE stream_;
  bool console_;
  DWORD error_ = ERROR_SUCCESS;
  std::string pending_;
};

}  // namespace

std::unique_ptr<std::streambuf> make_console_output(HANDLE console) {
  return std::make_unique<SystemOutput>(console, true);
}

void guard_standard_streams() {
  // Standard output bypasses the C library, whose text mode would write "\r\n" for every "\n" and
  // which keeps a failed write's code apart from the write. Kept for the life of the process, never
  // destroyed: std::cout's last flush comes after every static object of the program is gone.
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  std::cout.rdbuf(std::make_unique<SystemOutput>(out, is_console(out)).release());
}

void write_line(std::ostream& out, std::string_view line, std::source_location where) {
  if (out.write(line.data(), static_cast<std::streamsize>(line.size())).flush()) return;
  // A reader that went away is a failed write like any other: Windows has no signal for it.
  const auto* system = dynamic_cast<const SystemOutput*>(out.rdbuf());
  DWORD error = system != nullptr ? system->error() : ERROR_SUCCESS;
  if (error == ERROR_SUCCESS) error = ERROR_WRITE_FAULT;  // a stream that failed without a system error
  fatal(std::string(required_lead_in) + OsError{static_cast<std::int32_t>(error)}.debug(), where);
}

void write_error(std::string_view text) {
  HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  static_cast<void>(is_console(error) ? write_console(error, text) : write_file(error, text));
}
