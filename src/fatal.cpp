#include "fatal.hpp"

#include <cstdio>
#include <cstdlib>

std::string fatal_report(std::string_view message, const std::source_location& where) {
  std::string report = "thread 'main' stopped: ";
  report += message;
  report += ", at ";
  report += where.file_name();
  report += ':';
  report += std::to_string(where.line());
  report += ':';
  report += std::to_string(where.column());
  return report;
}

namespace {

void write_report(std::string_view message, const std::source_location& where) {
  std::string line = fatal_report(message, where);
  line += '\n';
  // Standard output goes first, so the report follows every line that was written before it. If
  // either stream cannot be written there is nowhere left to say so.
  static_cast<void>(std::fflush(stdout));
  static_cast<void>(std::fwrite(line.data(), 1, line.size(), stderr));
}

}  // namespace

void fatal(std::string_view message, std::source_location where) {
  write_report(message, where);
  throw FatalStop{};
}

void fatal_exit(std::string_view message, std::source_location where) {
  write_report(message, where);
  std::exit(fatal_exit_status);
}
