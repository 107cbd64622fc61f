#include "fatal.hpp"

#include <gtest/gtest.h>

#include <source_location>
#include <string>

namespace {

TEST(FatalReport, OneLineWithTheMessageAndTheFileLineAndColumnOfTheCheck) {
  const std::source_location where = std::source_location::current();
  ASSERT_NE(where.line(), where.column());  // else a column written as the line would pass
  testing::internal::CaptureStderr();
  EXPECT_THROW(fatal("a required result held an error: Empty", where), FatalStop);
  const std::string report = testing::internal::GetCapturedStderr();
  EXPECT_EQ(report, "thread 'main' stopped: a required result held an error: Empty, at " +
                        std::string(where.file_name()) + ":" + std::to_string(where.line()) + ":" +
                        std::to_string(where.column()) + "\n");
}

}  // namespace
