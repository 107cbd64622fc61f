#include "audio/library.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace {

TEST(AudioLibrary, LoaderMessagesGiveTheirErrorNumber) {
  const struct {
    std::string message;
    LoaderStep step;
    std::int32_t code;
  } cases[] = {
      {"libopenal.dylib: cannot open shared object file: No such file or directory", LoaderStep::Open, ENOENT},
      {"/tmp/x/libopenal.so: cannot open shared object file: Permission denied", LoaderStep::Open, EACCES},
      {"/tmp/x/libopenal.so: invalid ELF header", LoaderStep::Open, ENOEXEC},
      {"/tmp/x/libopenal.so: file too short", LoaderStep::Open, ENOEXEC},
      {"/tmp/x/libopenal.so: undefined symbol: alcCaptureSamples", LoaderStep::Lookup, ENOSYS},
      {"", LoaderStep::Lookup, ENOSYS},
  };
  for (const auto& [message, step, code] : cases) {
    EXPECT_EQ(os_error_from_loader_message(message, step).code, code) << message;
  }
}

}  // namespace
