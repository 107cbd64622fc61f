// The command line on Windows: the wide one, which holds every argument as the caller gave it (argv
// holds them in the ANSI code page, with what it cannot represent lost).

#include <windows.h>
// After windows.h, whose declarations it uses.
#include <shellapi.h>

#include <string_view>

#include "command_line.hpp"
#include "text.hpp"

std::vector<std::string> command_line_arguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  // Only without memory to split it in: argv then, whose bytes are UTF-8 only if they are ASCII.
  if (wide == nullptr) return {argv, argv + argc};
  std::vector<std::string> arguments;
  arguments.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const std::wstring_view argument(wide[i]);
    arguments.push_back(utf8_from_utf16({reinterpret_cast<const char16_t*>(argument.data()), argument.size()}));
  }
  LocalFree(wide);
  return arguments;
}
