// The operating system's errors on Windows: the codes that loading a library or writing a line
// give, their categories, and the system's text without its line break.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "audio/error.hpp"

namespace {

TEST(WindowsErrors, LoaderAndWriteCodesFallInTheirCategories) {
  const struct {
    DWORD code;
    std::string kind;
    std::string text;
  } cases[] = {
      {ERROR_MOD_NOT_FOUND, "NotFound", "entity not found"},  // no library by that name
      {ERROR_PROC_NOT_FOUND, "Unsupported", "unsupported"},   // a function the library lacks
      {ERROR_BAD_EXE_FORMAT, "Other", "other os error"},      // not a library for this machine
      {ERROR_FILE_NOT_FOUND, "NotFound", "entity not found"},
      {ERROR_PATH_NOT_FOUND, "NotFound", "entity not found"},
      {ERROR_ACCESS_DENIED, "PermissionDenied", "permission denied"},
      {ERROR_NOT_ENOUGH_MEMORY, "OutOfMemory", "out of memory"},
      {ERROR_DISK_FULL, "StorageFull", "no storage space"},
      // A reader that went away, in each of the ways a pipe says so.
      {ERROR_BROKEN_PIPE, "BrokenPipe", "broken pipe"},
      {ERROR_NO_DATA, "BrokenPipe", "broken pipe"},
      {ERROR_PIPE_NOT_CONNECTED, "BrokenPipe", "broken pipe"},
  };
  for (const auto& [code, kind, text] : cases) {
    SCOPED_TRACE(code);
    const OsError os_error{static_cast<std::int32_t>(code)};
    EXPECT_EQ(os_error_kind_name(os_error.kind()), kind);
    const AudioError error = os_error;
    EXPECT_EQ(error.text(), text);
    // The system's own words, on one line.
    const std::string message = os_error.message();
    EXPECT_FALSE(message.empty());
    EXPECT_EQ(message.find_first_of("\r\n"), std::string::npos) << message;
    std::string debug = "Io(Os { code: ";
    debug.append(std::to_string(code)).append(", kind: ").append(kind).append(", message: \"");
    EXPECT_EQ(error.debug(), debug.append(message).append("\" })"));
  }
}

TEST(WindowsErrors, ACodeTheSystemHasNoTextForIsNamedByItsNumber) {
  // Bit 29 marks codes of applications' own, which the system does not describe.
  EXPECT_EQ(OsError{0x20000001}.message(), "Unknown error 536870913");
}

}  // namespace
