// Stops from outside on Windows: the console's control events, which the system delivers on a
// thread of its own. The handler sets an event that every wait of the run watches beside its timer.

#include <windows.h>

#include <array>
#include <atomic>
#include <source_location>
#include <string>

#include "fatal.hpp"
#include "os_error.hpp"
#include "stop_signals.hpp"

// Windows 10 1803 and later; the fallback below serves the others.
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace {

/// Stops the run on a call of the system's that failed, with the code it gave (read at once, at the
/// call: any later call of the system's could change it) and the call's place: without its event or
/// timer, every wait would return at once and take no stop.
[[noreturn]] void stop_on_failed_call(const char* what, DWORD error,
                                      std::source_location where = std::source_location::current()) {
  fatal(std::string(what) + " failed: " + OsError{static_cast<std::int32_t>(error)}.debug(), where);
}

struct Handles {
  HANDLE stop_event;  // set once a stop came, and left set: every later wait takes it at once
  HANDLE wait_timer;
};

/// The stop event and the timer of every wait: a high-resolution timer where Windows has it,
/// otherwise an ordinary one with the system's timer period set to 1 ms for the rest of the run, so
/// that a note's wait wakes within a millisecond of its end rather than within the default 15.6 ms.
Handles make_handles() {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (event == nullptr) stop_on_failed_call("making the stop event", GetLastError());
  HANDLE timer = CreateWaitableTimerExW(
      nullptr, nullptr, CREATE_WAITABLE_TIMER_MANUAL_RESET | CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
  if (timer == nullptr) {
    timer = CreateWaitableTimerW(nullptr, TRUE, nullptr);
    if (timer == nullptr) stop_on_failed_call("making the wait timer", GetLastError());
    timeBeginPeriod(1);
  }
  return {event, timer};
}

/// Made once, at the first use: `hold_stop_signals` makes them before the console handler or any
/// wait can need them.
const Handles& handles() {
  static const Handles made = make_handles();
  return made;
}

/// The console event that came first (CTRL_C_EVENT is 0, so "none" is another value).
constexpr DWORD no_stop = 0xFFFFFFFF;
std::atomic<DWORD> first_stop{no_stop};

/// The handler of the console's control events that `hold_stop_signals` installs. It takes Ctrl-C,
/// Ctrl-Break and the closing of the console window as the run's stop (TRUE), the first of them
/// kept, and refuses every other event (FALSE), which the system then handles as it would without
/// it. For the closing console it never returns: the system would end the process as it did.
BOOL WINAPI take_console_event(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
  DWORD none = no_stop;
  first_stop.compare_exchange_strong(none, event);
  SetEvent(handles().stop_event);
  // The system ends the process as soon as the handler returns from a closing console (or after a
  // few seconds regardless): the handler waits here while the run releases everything and ends it.
  if (event == CTRL_CLOSE_EVENT) Sleep(INFINITE);
  return TRUE;
}

}  // namespace

void hold_stop_signals() {
  handles();  // made now, so that no wait has to make them
  if (SetConsoleCtrlHandler(take_console_event, TRUE) == FALSE) {
    stop_on_failed_call("taking the console's control events", GetLastError());
  }
}

// Waitable timers wake up to a millisecond after their time with the 1 ms timer period, and up to
// 0.9 ms under Wine 8 even at high resolution (0.4 ms at the median).
const std::chrono::microseconds wait_wake_margin{1000};

void wait_until(std::chrono::steady_clock::time_point end) {
  using Clock = std::chrono::steady_clock;
  const std::array<HANDLE, 2> waited{handles().stop_event, handles().wait_timer};
  for (Clock::time_point now = Clock::now(); now < end; now = Clock::now()) {
    // A relative due time is negative, in units of 100 ns: rounded up, never early.
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(end - now).count();
    LARGE_INTEGER due{};
    due.QuadPart = -((left + 99) / 100);
    if (SetWaitableTimer(waited[1], &due, 0, nullptr, nullptr, FALSE) == FALSE) {
      stop_on_failed_call("setting the wait timer", GetLastError());
    }
    // The stop event comes first: when both are set, the stop is taken.
    const DWORD woken_by = WaitForMultipleObjects(waited.size(), waited.data(), FALSE, INFINITE);
    if (woken_by == WAIT_OBJECT_0) throw SignalStop{static_cast<int>(first_stop.load())};
    if (woken_by == WAIT_FAILED) stop_on_failed_call("waiting", GetLastError());
  }
}

std::optional<int> take_pending_stop_signal() {
  if (WaitForSingleObject(handles().stop_event, 0) == WAIT_OBJECT_0) return static_cast<int>(first_stop.load());
  return std::nullopt;
}

void end_by_signal(int /*signal*/) { ExitProcess(STATUS_CONTROL_C_EXIT); }
