#pragma once

#include <string>
#include <vector>

/// The program's arguments, its own name first, as bytes meant to be UTF-8 (`argument_text` checks
/// them): on POSIX systems as `argv` holds them; on Windows taken from the wide command line and
/// converted from UTF-16 (`utf8_from_utf16`), so that one which is not valid UTF-16 is not valid
/// UTF-8 either.
std::vector<std::string> command_line_arguments(int argc, char** argv);
