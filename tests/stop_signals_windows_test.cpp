// Stops from outside on Windows.

#include <gtest/gtest.h>
#include <windows.h>

#include "stop_signals.hpp"

namespace {

// A parent sees a run stopped by Ctrl-C end as Windows' own handling would end it. Wine hands a
// Linux parent only the low byte of a code, so the whole code is checked here, where a Windows
// parent (GoogleTest's death test) reads it.
TEST(WindowsStopsDeathTest, EndTheProcessAsCtrlCEndsIt) {
  EXPECT_EXIT(end_by_signal(CTRL_C_EVENT), testing::ExitedWithCode(static_cast<int>(STATUS_CONTROL_C_EXIT)), "");
}

}  // namespace
