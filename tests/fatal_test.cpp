#include "fatal.hpp"

#include <gtest/gtest.h>

#include <source_location>
#include <string>

namespace {

TEST(FatalReport, OneLineWithTheMessageAndTheFileLineAndColumnOfTheCheck) {
  const std::source_location where = std::source_location::current();
  ASSERT_NE(where.line(), where.column());  // else a column written as the line would pass
  // Messages of a kilobyte alone but more with the rest of the line, and far longer, make one line.
  for (const std::string& message :
       {std::string("a required result held an error: Empty"), std::string(1000, 'x'), std::string(5000, 'x')}) {
    testing::internal::CaptureStderr();
    EXPECT_THROW(fatal(message, where), FatalStop);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "thread 'main' stopped: " + message + ", at " + std::string(where.file_name()) + ":" +
                  std::to_string(where.line()) + ":" + std::to_string(where.column()) + "\n");
  }
}

}  // namespace
