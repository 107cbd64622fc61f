// The command line on POSIX systems: argv, bytes as the caller gave them.

#include "command_line.hpp"

std::vector<std::string> command_line_arguments(int argc, char** argv) { return {argv, argv + argc}; }
