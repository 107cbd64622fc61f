#pragma once

#include <chrono>
#include <optional>

/// Carries a stop by a signal from where it was taken up to the entry, as `FatalStop` carries a
/// fatal one: unwinding releases everything acquired so far, latest first (the current note's
/// source and buffer, so the sound stops), and the entry then ends the process by that signal.
struct SignalStop {
  int signal;
};

/// Holds SIGINT, SIGTERM, SIGHUP and SIGPIPE for the whole process, except those that were
/// ignored when it started: none of them ends the run in the middle of a note; `wait_until` takes
/// them instead. Call it first, before any thread exists, so that OpenAL's threads hold them too.
void hold_stop_signals();

/// Whether `signal` is one that `hold_stop_signals` holds.
bool holds_stop_signal(int signal);

/// Waits on the monotonic clock until `end`. Can stop the run: a held signal that arrives, or
/// was pending, is a `SignalStop`.
void wait_until(std::chrono::steady_clock::time_point end);

/// Takes a held signal that arrived and was not taken yet, if there is one.
std::optional<int> take_pending_stop_signal();

/// Ends the process by `signal` with its default action, so that its parent sees it end by that
/// signal (a shell reports 130 for SIGINT, 143 for SIGTERM).
[[noreturn]] void end_by_signal(int signal);
