// The operating system's errors on Windows: the system's text without its line break, in the
// debug form of a report.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "audio/error.hpp"
#include "os_error.hpp"

namespace {

TEST(WindowsErrors, TheSystemsTextStandsOnTheReportsOneLine) {
  // The system ends its texts with a line break, which a report of one line must not carry.
  const OsError os_error{ERROR_BAD_EXE_FORMAT};  // a library for another machine
  const std::string message = os_error.message();
  EXPECT_FALSE(message.empty());
  EXPECT_EQ(message.find_first_of("\r\n"), std::string::npos) << message;
  const AudioError error = os_error;
  EXPECT_EQ(error.debug(), "Io(Os { code: 193, kind: Other, message: \"" + message + "\" })");
}

TEST(WindowsErrors, ACodeTheSystemHasNoTextForIsNamedByItsNumber) {
  // Bit 29 marks codes of applications' own, which the system does not describe.
  EXPECT_EQ(OsError{0x20000001}.message(), "Unknown error 536870913");
}

}  // namespace
