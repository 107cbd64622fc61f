#include "fatal.hpp"

#include <gtest/gtest.h>

#include <source_location>
#include <string>

namespace {

TEST(FatalReport, OneLineWithTheMessageAndTheFileLineAndColumnOfTheCheck) {
  const std::source_location where = std::source_location::current();
  ASSERT_NE(where.line(), where.column());  // else a column written as the line would pass
  // A message too long for one write still makes the same one line, ended by its newline.
  for (const std::string& message : {std::string("a required result held an error: Empty"), std::string(2000, 'x')}) {
    testing::internal::CaptureStderr();
    EXPECT_THROW(fatal(message, where), FatalStop);
    const std::string report = testing::internal::GetCapturedStderr();
    EXPECT_EQ(report, "thread 'main' stopped: " + message + ", at " + std::string(where.file_name()) + ":" +
                          std::to_string(where.line()) + ":" + std::to_string(where.column()) + "\n");
  }
}

}  // namespace
