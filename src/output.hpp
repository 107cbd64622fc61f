#pragma once

#include <ostream>
#include <source_location>
#include <string_view>

/// Makes standard input, output and error safe to use before anything else is opened: a
/// descriptor the program was started without is taken by /dev/null, opened so that every use of
/// it fails as on a closed descriptor (EBADF). No file the run opens later (the audio library, a
/// recording, a sound server's socket) can then become standard output and receive its lines.
void guard_standard_streams();

/// Writes `line`, which ends in its newline, to `out` and flushes it, so that the line is out
/// before the sound that follows it. Can stop the run: a write that fails is a fatal stop showing
/// the OS error (a full disk, a closed descriptor), and one whose reader went away (EPIPE) stops
/// it quietly, as SIGPIPE would.
void write_line(std::ostream& out, std::string_view line, std::source_location where = std::source_location::current());
