#pragma once

#include <ostream>
#include <source_location>
#include <string_view>

/// Makes standard input, output and error safe to use before anything else is opened, and has
/// standard output written straight to the system, a line at a time (`write_line` flushes each), so
/// that a line that cannot be written is known at once. On POSIX systems a descriptor the program
/// was started without is taken by /dev/null, opened so that every use of it fails as on a closed
/// descriptor (EBADF): no file the run opens later (the audio library, a recording, a sound
/// server's socket) can then become standard output and receive its lines. On Windows both output
/// streams are written with the system's own calls, so that the program writes the same bytes as
/// elsewhere (no "\r\n"), and a console in UTF-16, so that it shows UTF-8 text as such.
void guard_standard_streams();

/// Writes `line`, which ends in its newline, to `out` and flushes it, so that the line is out
/// before the sound that follows it. Can stop the run: a write that fails is a fatal stop showing
/// the operating system's error (a full disk, a closed descriptor, a reader that went away on
/// Windows); on POSIX systems a reader that went away (EPIPE) stops it quietly, as SIGPIPE would.
void write_line(std::ostream& out, std::string_view line, std::source_location where = std::source_location::current());

/// Writes `text` to standard error, unbuffered, allocating nothing (a fatal report needs it when
/// memory has run out); on a Windows console as UTF-16, as standard output is. A failure is ignored:
/// there is nowhere left to report it.
void write_error(std::string_view text);
