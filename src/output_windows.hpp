#pragma once

#include <windows.h>

#include <memory>
#include <streambuf>

/// Standard output's buffer on a console, which takes text as UTF-16 whatever its code page: each
/// line is converted from UTF-8 and written with WriteConsoleW when it is flushed. A write the
/// console refuses fails the flush, and `write_line` then shows the system's code.
std::unique_ptr<std::streambuf> make_console_output(HANDLE console);
