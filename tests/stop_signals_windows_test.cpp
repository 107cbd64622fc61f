// Stops from outside on Windows.

#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <thread>
#include <utility>

#include "stop_signals.hpp"

// Entries of the program's import table, through which every call of these functions goes.
extern "C" void(WINAPI* __imp_Sleep)(DWORD);
extern "C" BOOL(WINAPI* __imp_SetConsoleCtrlHandler)(PHANDLER_ROUTINE, BOOL);

namespace {

/// The console handler that `hold_stop_signals` installs, caught on its way to the system.
PHANDLER_ROUTINE install_console_handler() {
  static PHANDLER_ROUTINE installed = nullptr;
  __imp_SetConsoleCtrlHandler = [](PHANDLER_ROUTINE handler, BOOL) -> BOOL { return (installed = handler) != nullptr; };
  hold_stop_signals();
  return installed;
}

// Half a second's wait costs under a millisecond of processor time, in whole clock ticks (10 ms under
// Wine, 15.6 on Windows); one that spins, all of it on Windows, 40 ms or more under a busy Wine.
TEST(WindowsStops, AWaitSleepsRatherThanSpins) {
  const auto processor_time = [] {
    std::array<FILETIME, 4> times{};  // the process's start and end, its time in the kernel and outside
    EXPECT_TRUE(GetProcessTimes(GetCurrentProcess(), times.data(), &times[1], &times[2], &times[3]));
    const auto in_100ns = [](FILETIME time) { return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime; };
    return std::chrono::duration<std::uint64_t, std::ratio<1, 10'000'000>>(in_100ns(times[2]) + in_100ns(times[3]));
  };
  const auto before = processor_time();
  wait_until(std::chrono::steady_clock::now() + std::chrono::milliseconds(500));
  EXPECT_LT(processor_time() - before, std::chrono::milliseconds(20));
}

// A parent sees a run stopped by Ctrl-C end as Windows' own handling would end it. Wine hands a
// Linux parent only the low byte of a code, so the whole code is checked here, where a Windows
// parent (GoogleTest's death test) reads it.
TEST(WindowsStopsDeathTest, EndTheProcessAsCtrlCEndsIt) {
  EXPECT_EXIT(end_by_signal(CTRL_C_EVENT), testing::ExitedWithCode(static_cast<int>(STATUS_CONTROL_C_EXIT)), "");
}

// Each case in a process of its own: a stop, once taken, stays.
TEST(WindowsStopsDeathTest, TheConsoleHandlerTakesCtrlCCtrlBreakAndTheClosingConsoleOnly) {
  // Ctrl-C and Ctrl-Break are taken; every other event is left to the system, and is no stop.
  for (const auto& [event, taken] : {std::pair{CTRL_C_EVENT, true},
                                     {CTRL_BREAK_EVENT, true},
                                     {CTRL_LOGOFF_EVENT, false},
                                     {CTRL_SHUTDOWN_EVENT, false}}) {
    SCOPED_TRACE(event);
    const auto handled = [event = event, taken = taken] {
      const bool took = install_console_handler()(event) == TRUE;
      return took == taken && take_pending_stop_signal().value_or(-1) == (taken ? static_cast<int>(event) : -1);
    };
    EXPECT_EXIT(std::exit(handled() ? 0 : 1), testing::ExitedWithCode(0), "");
  }
  // The closing console's handler runs on a thread of the system's and never returns, for the
  // system would end the process unreleased once it did: the run's wait takes the stop while the
  // handler sleeps for good, as its call of Sleep (through the import table) shows. A handler that
  // returns ends the process with 2 instead, whatever the pace of either thread.
  EXPECT_EXIT(
      {
        static HANDLE asleep = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        static decltype(__imp_Sleep) system_sleep = __imp_Sleep;
        __imp_Sleep = [](DWORD ms) {
          if (ms == INFINITE) SetEvent(asleep);
          system_sleep(ms);
        };
        std::thread([handler = install_console_handler()] {
          handler(CTRL_CLOSE_EVENT);
          std::_Exit(2);
        }).detach();
        try {
          wait_until(std::chrono::steady_clock::now() + std::chrono::seconds(10));  // only if no stop came
        } catch (const SignalStop& stop) {
          // A minute passes only for a handler that blocks other than by sleeping.
          std::_Exit(stop.signal == CTRL_CLOSE_EVENT && WaitForSingleObject(asleep, 60'000) == WAIT_OBJECT_0 ? 0 : 1);
        }
        std::_Exit(3);
      },
      testing::ExitedWithCode(0), "");
}

}  // namespace
