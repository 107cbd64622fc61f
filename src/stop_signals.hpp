#pragma once

#include <chrono>
#include <optional>

/// Carries a stop from outside (a signal on POSIX systems, a console event on Windows) from where
/// it was taken up to the entry, as `FatalStop` carries a fatal one: unwinding releases everything
/// acquired so far, latest first (the current note's source and buffer, so the sound stops), and
/// the entry then ends the process by `end_by_signal`.
struct SignalStop {
  int signal;  // the signal's number; on Windows the console event's (CTRL_C_EVENT, ...)
};

/// Takes the stops from outside over for the whole process, so that none of them ends the run in
/// the middle of a note: `wait_until` takes them instead. On POSIX systems SIGINT, SIGTERM, SIGHUP
/// and SIGPIPE are held, except those that were ignored when the program started; call it first,
/// before any thread exists, so that OpenAL's threads hold them too. On Windows Ctrl-C, Ctrl-Break
/// and the closing of the console window are.
void hold_stop_signals();

/// How late a wait of this platform may wake after its time: a note's wait ends that much early and
/// reads the clock for the rest (a fraction of a percent of one core).
extern const std::chrono::microseconds wait_wake_margin;

/// Waits on the monotonic clock until `end`. Can stop the run: a stop that arrives, or was pending,
/// is a `SignalStop`, taken at once.
void wait_until(std::chrono::steady_clock::time_point end);

/// Takes a stop that arrived and was not taken yet, if there is one.
std::optional<int> take_pending_stop_signal();

/// Ends the process as the stop would have ended it unheld, so that its parent sees why it ended:
/// by the signal with its default action on POSIX systems (a shell reports 130 for SIGINT, 143 for
/// SIGTERM), with STATUS_CONTROL_C_EXIT on Windows, as Windows' own handling of Ctrl-C does.
[[noreturn]] void end_by_signal(int signal);
