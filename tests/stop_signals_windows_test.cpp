// Stops from outside on Windows.

#include "stop_signals_windows.hpp"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "stop_signals.hpp"

namespace {

// A parent sees a run stopped by Ctrl-C end as Windows' own handling would end it. Wine hands a
// Linux parent only the low byte of a code, so the whole code is checked here, where a Windows
// parent (GoogleTest's death test) reads it.
TEST(WindowsStopsDeathTest, EndTheProcessAsCtrlCEndsIt) {
  EXPECT_EXIT(end_by_signal(CTRL_C_EVENT), testing::ExitedWithCode(static_cast<int>(STATUS_CONTROL_C_EXIT)), "");
}

// Each case in a process of its own: a stop, once taken, stays.
TEST(WindowsStopsDeathTest, TheConsoleHandlerTakesCtrlCCtrlBreakAndTheClosingConsoleOnly) {
  for (const DWORD event : {CTRL_C_EVENT, CTRL_BREAK_EVENT}) {
    SCOPED_TRACE(event);
    EXPECT_EXIT(
        std::exit(take_console_event(event) == TRUE && take_pending_stop_signal() == static_cast<int>(event) ? 0 : 1),
        testing::ExitedWithCode(0), "");
  }
  // Every other event is left to the system, and is no stop.
  EXPECT_EXIT(std::exit(take_console_event(CTRL_LOGOFF_EVENT) == FALSE &&
                                take_console_event(CTRL_SHUTDOWN_EVENT) == FALSE && !take_pending_stop_signal()
                            ? 0
                            : 1),
              testing::ExitedWithCode(0), "");
  // The closing console's handler runs on a thread of the system's and never returns, for the
  // system would end the process unreleased once it did: the run's wait takes the stop instead.
  EXPECT_EXIT(
      {
        std::thread([] {
          take_console_event(CTRL_CLOSE_EVENT);
          std::_Exit(2);
        }).detach();
        try {
          wait_until(std::chrono::steady_clock::now() + std::chrono::seconds(10));
        } catch (const SignalStop& stop) {
          std::this_thread::sleep_for(std::chrono::milliseconds(200));  // a handler that returns ends it with 2
          std::_Exit(stop.signal == CTRL_CLOSE_EVENT ? 0 : 1);
        }
        std::_Exit(3);
      },
      testing::ExitedWithCode(0), "");
}

}  // namespace
