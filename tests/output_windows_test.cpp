// Standard output on a Windows console.

#include "output_windows.hpp"

#include <gtest/gtest.h>
#include <windows.h>

#include <ostream>
#include <string>

#include "fatal.hpp"
#include "output.hpp"

namespace {

// A line the console refuses is a fatal stop showing the system's code, as any failed write is.
TEST(WindowsConsole, ALineTheConsoleRefusesIsAFatalStopWithTheSystemsCode) {
  const auto console = make_console_output(INVALID_HANDLE_VALUE);
  std::ostream out(console.get());
  testing::internal::CaptureStderr();
  EXPECT_THROW(write_line(out, "Found device: No Output\n"), FatalStop);
  const std::string report = testing::internal::GetCapturedStderr();
  EXPECT_NE(report.find("a required result held an error: Os { code: 6, kind: Other, "), std::string::npos) << report;
}

}  // namespace
