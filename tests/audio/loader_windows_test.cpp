// The audio library's loader on Windows.

#include <gtest/gtest.h>
#include <windows.h>

#include "audio/library.hpp"

namespace {

// A library that cannot be loaded must not halt the run with a system dialog (a drive without its
// medium on PATH, say). error_mode_probe.dll, beside this program, records the error mode of the
// thread that opens it, from inside the loader.
TEST(WindowsLoader, OpensALibraryWithTheSystemsDialogsOffAndTurnsThemBackOn) {
  const UINT before = GetThreadErrorMode();
  const auto probe = dynamic_loader.open("error_mode_probe.dll");
  ASSERT_TRUE(probe.has_value()) << probe.error().debug();
  const auto error_mode_when_loaded = dynamic_loader.look_up(*probe, "error_mode_when_loaded");
  ASSERT_TRUE(error_mode_when_loaded.has_value()) << error_mode_when_loaded.error().debug();
  EXPECT_EQ(function_cast<DWORD (*)()>(*error_mode_when_loaded)(), static_cast<DWORD>(SEM_FAILCRITICALERRORS));
  EXPECT_EQ(GetThreadErrorMode(), before);
  EXPECT_TRUE(dynamic_loader.close(*probe).has_value());
}

}  // namespace
