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
  void* probe = dynamic_loader.open("error_mode_probe.dll");
  ASSERT_NE(probe, nullptr);
  const auto error_mode_when_loaded =
      function_cast<DWORD (*)()>(dynamic_loader.look_up(probe, "error_mode_when_loaded"));
  ASSERT_NE(error_mode_when_loaded, nullptr);
  EXPECT_EQ(error_mode_when_loaded(), static_cast<DWORD>(SEM_FAILCRITICALERRORS));
  EXPECT_EQ(GetThreadErrorMode(), before);
  EXPECT_EQ(dynamic_loader.close(probe), 0);
}

}  // namespace
