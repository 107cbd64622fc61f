// The operating system's errors on POSIX systems: errno values, their categories and strerror's text.

#include <gtest/gtest.h>

#include <cerrno>

#include "audio/error.hpp"
#include "os_error.hpp"

namespace {

TEST(AudioErrors, IoShowsTheOsErrorAndItsCategoryText) {
  const AudioError not_found = OsError{ENOENT};
  EXPECT_EQ(not_found.kind(), AudioError::Kind::Io);
  EXPECT_EQ(not_found.text(), "entity not found");
  EXPECT_EQ(not_found.debug(), R"(Io(Os { code: 2, kind: NotFound, message: "No such file or directory" }))");

  const AudioError denied = OsError{EACCES};
  EXPECT_EQ(denied.text(), "permission denied");
  EXPECT_EQ(denied.debug(), R"(Io(Os { code: 13, kind: PermissionDenied, message: "Permission denied" }))");

  // A number that falls in no specific class.
  const AudioError other = OsError{ENOEXEC};
  EXPECT_EQ(other.text(), "other os error");
  EXPECT_EQ(other.debug(), R"(Io(Os { code: 8, kind: Other, message: "Exec format error" }))");
}

}  // namespace
