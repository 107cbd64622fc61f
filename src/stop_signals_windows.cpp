// Stops from outside on Windows: the console's control events, which the system delivers on a
// thread of its own. The handler sets an event that every wait of the run watches beside its timer.

#include "stop_signals_windows.hpp"

#include <windows.h>

#include <array>
#include <atomic>
#include <string>

#include "audio/error.hpp"
#include "fatal.hpp"
#include "stop_signals.hpp"

// Windows 10 1803 and later; the fallback below serves the others.
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace {

/// Stops the run on a call of the system's that failed: without its event or timer, every wait
/// would return at once and take no stop. Before the run holds anything (`hold_stop_signals`) the
/// process ends at once; in a wait the run unwinds.
[[noreturn]] void stop_on_failed_call(const char* what, bool unwind) {
  const std::string message =
      std::string(what) + " failed: " + OsError{static_cast<std::int32_t>(GetLastError())}.debug();
  if (unwind) fatal(message);
  fatal_exit(message);
}

/// Set once a stop came, and left set: every later wait takes it at once.
HANDLE stop_event() {
  static HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return event;
}

/// The console event that came first (CTRL_C_EVENT is 0, so "none" is another value).
constexpr DWORD no_stop = 0xFFFFFFFF;
std::atomic<DWORD> first_stop{no_stop};

/// The timer of every wait: a high-resolution one where Windows has it, otherwise an ordinary one
/// with the system's timer period set to 1 ms for the rest of the run, so that a note's wait wakes
/// within a millisecond of its end rather than within the default 15.6 ms.
HANDLE wait_timer() {
  static HANDLE timer = [] {
    if (HANDLE precise = CreateWaitableTimerExW(
            nullptr, nullptr, CREATE_WAITABLE_TIMER_MANUAL_RESET | CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
            TIMER_ALL_ACCESS)) {
      return precise;
    }
    timeBeginPeriod(1);
    return CreateWaitableTimerW(nullptr, TRUE, nullptr);
  }();
  return timer;
}

}  // namespace

BOOL WINAPI take_console_event(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
  DWORD none = no_stop;
  first_stop.compare_exchange_strong(none, event);
  SetEvent(stop_event());
  // The system ends the process as soon as the handler returns from a closing console (or after a
  // few seconds regardless): the handler waits here while the run releases everything and ends it.
  if (event == CTRL_CLOSE_EVENT) Sleep(INFINITE);
  return TRUE;
}

void hold_stop_signals() {
  // Made now, so that no wait has to make them.
  if (stop_event() == nullptr) stop_on_failed_call("making the stop event", false);
  if (wait_timer() == nullptr) stop_on_failed_call("making the wait timer", false);
  if (SetConsoleCtrlHandler(take_console_event, TRUE) == FALSE) {
    stop_on_failed_call("taking the console's control events", false);
  }
}

// Waitable timers wake up to a millisecond after their time with the 1 ms timer period, and up to
// 0.9 ms under Wine 8 even at high resolution (0.4 ms at the median).
const std::chrono::microseconds wait_wake_margin{1000};

bool holds_stop_signal(int /*signal*/) { return false; }

void wait_until(std::chrono::steady_clock::time_point end) {
  using Clock = std::chrono::steady_clock;
  const std::array<HANDLE, 2> handles{stop_event(), wait_timer()};
  for (Clock::time_point now = Clock::now(); now < end; now = Clock::now()) {
    // A relative due time is negative, in units of 100 ns: rounded up, never early.
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(end - now).count();
    LARGE_INTEGER due{};
    due.QuadPart = -((left + 99) / 100);
    if (SetWaitableTimer(handles[1], &due, 0, nullptr, nullptr, FALSE) == FALSE) {
      stop_on_failed_call("setting the wait timer", true);
    }
    // The stop event comes first: when both are set, the stop is taken.
    const DWORD woken_by = WaitForMultipleObjects(handles.size(), handles.data(), FALSE, INFINITE);
    if (woken_by == WAIT_OBJECT_0) throw SignalStop{static_cast<int>(first_stop.load())};
    if (woken_by == WAIT_FAILED) stop_on_failed_call("waiting", true);
  }
}

std::optional<int> take_pending_stop_signal() {
  if (WaitForSingleObject(stop_event(), 0) == WAIT_OBJECT_0) return static_cast<int>(first_stop.load());
  return std::nullopt;
}

void end_by_signal(int /*signal*/) { ExitProcess(STATUS_CONTROL_C_EXIT); }
