// Stop signals on POSIX systems: held for the whole process and taken by sigtimedwait.

#include "stop_signals_posix.hpp"

#include <pthread.h>

#include <array>
#include <csignal>
#include <cstdlib>

#include "stop_signals.hpp"

namespace {

sigset_t& held_signals() {
  static sigset_t held = [] {
    sigset_t set;
    sigemptyset(&set);
    return set;
  }();
  return held;
}

}  // namespace

void hold_stop_signals() {
  sigset_t& held = held_signals();
  for (const int signal : std::array{SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
    // A signal ignored by whoever started the program (a job in the background, a pipeline that
    // handles a closed reader itself) stays ignored: holding it would queue it instead.
    struct sigaction action {};
    if (sigaction(signal, nullptr, &action) == 0 && action.sa_handler != SIG_IGN) sigaddset(&held, signal);
  }
  pthread_sigmask(SIG_BLOCK, &held, nullptr);  // fails only for an invalid first argument
}

// A sleeping thread wakes tens to hundreds of microseconds after its time: Linux adds the thread's
// timer slack, 50 us by default, and a virtual machine its own delay, more after a longer sleep.
const std::chrono::microseconds wait_wake_margin{500};

bool holds_stop_signal(int signal) { return sigismember(&held_signals(), signal) == 1; }

void wait_until(std::chrono::steady_clock::time_point end) {
  using Clock = std::chrono::steady_clock;
  for (Clock::time_point now = Clock::now(); now < end; now = Clock::now()) {
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(end - now).count();
    const timespec timeout{.tv_sec = left / 1'000'000'000, .tv_nsec = left % 1'000'000'000};
    // -1 is the time running out (EAGAIN) or a wake-up by a signal that is not held (EINTR): the
    // clock decides whether to wait on.
    if (const int signal = sigtimedwait(&held_signals(), nullptr, &timeout); signal > 0) throw SignalStop{signal};
  }
}

std::optional<int> take_pending_stop_signal() {
  const timespec now{};
  if (const int signal = sigtimedwait(&held_signals(), nullptr, &now); signal > 0) return signal;
  return std::nullopt;
}

void end_by_signal(int signal) {
  static_cast<void>(std::signal(signal, SIG_DFL));
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  static_cast<void>(std::raise(signal));         // pending while it is held
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);  // delivered here: the default action ends the process
  std::_Exit(128 + signal);                      // only if something kept the signal from ending it
}
