#pragma once

#include <array>
#include <ostream>
#include <source_location>
#include <string_view>

/// Makes standard input, output and error safe to use before anything else is opened. On POSIX
/// systems a descriptor the program was started without is taken by /dev/null, opened so that
/// every use of it fails as on a closed descriptor (EBADF): no file the run opens later (the audio
/// library, a recording, a sound server's socket) can then become standard output and receive its
/// lines. Windows gives a stream the program was started without a handle that fails every write.
void guard_standard_streams();

/// Writes `line`, which ends in its newline, to `out`, so that the line is out before the sound that
/// follows it. Lines for `std::cout` go straight to the system, unbuffered, as the same bytes
/// everywhere (no "\r\n" on Windows), and on a Windows console as UTF-16, so that it shows UTF-8
/// text as such. Can stop the run: a write that fails is a fatal stop showing the operating
/// system's error (a full disk, a closed descriptor, a reader that went away on Windows); on POSIX
/// systems a reader that went away (EPIPE) stops it quietly, as SIGPIPE would.
void write_line(std::ostream& out, std::string_view line, std::source_location where = std::source_location::current());

/// The pieces of one line of standard error: a short lead-in, the message, and a short ending with
/// the newline.
using ErrorLine = std::array<std::string_view, 3>;

/// Writes `line` to standard error in one write, so that no other writer on the stream (OpenAL's
/// own log lines, a terminal shared with another program) lands inside it; unbuffered, allocating
/// nothing (a fatal report needs it when memory has run out); on a Windows console as UTF-16, as
/// standard output is. A failure is ignored: there is nowhere left to report it.
void write_error(const ErrorLine& line);
