#pragma once

#include <cstdio>
#include <string>

/// One row of the bench's closing table: the figure, what was measured, the goal, and whether the
/// measurement meets it. scripts/bench.sh collects the lines that start with "SUMMARY ".
inline void print_summary(const std::string& figure, const std::string& measured, const std::string& goal, bool met) {
  static_cast<void>(std::printf("SUMMARY %-52s %-18s %-12s %s\n", figure.c_str(), measured.c_str(), goal.c_str(),
                                met ? "PASS" : "MISS"));
  static_cast<void>(std::fflush(stdout));
}

/// printf into a std::string.
template <class... Args>
std::string format(const char* pattern, Args... args) {
  char text[128];
  if (std::snprintf(text, sizeof text, pattern, args...) < 0) return {};
  return text;
}
