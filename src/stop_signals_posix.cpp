// Stop signals on POSIX systems, Linux and macOS alike: held for the whole process, and let in only
// for the length of a wait, by pselect.

#include "stop_signals_posix.hpp"

#include <pthread.h>
#include <sys/select.h>

#include <array>
#include <csignal>
#include <cstdlib>

#include "stop_signals.hpp"

namespace {

constexpr std::array stop_signals{SIGINT, SIGTERM, SIGHUP, SIGPIPE};

/// The signals held, and the mask a wait runs under: the program's own with them let in.
struct Masks {
  sigset_t held;
  sigset_t waiting;
};

Masks& signal_masks() {
  static Masks masks = [] {
    Masks empty{};
    sigemptyset(&empty.held);
    pthread_sigmask(SIG_SETMASK, nullptr, &empty.waiting);
    return empty;
  }();
  return masks;
}

/// The first held signal let in by a wait and not taken yet; 0 for none. Written by `note_stop`,
/// which runs only inside a wait's pselect, on the waiting thread: everywhere else the signals are
/// held.
volatile std::sig_atomic_t arrived = 0;

extern "C" void note_stop(int signal) {
  if (arrived == 0) arrived = signal;
}

}  // namespace

void hold_stop_signals() {
  Masks& masks = signal_masks();
  for (const int signal : stop_signals) {
    // A signal ignored by whoever started the program (a job in the background, a pipeline that
    // handles a closed reader itself) stays ignored: holding it would queue it instead.
    struct sigaction action {};
    if (sigaction(signal, nullptr, &action) == 0 && action.sa_handler != SIG_IGN) sigaddset(&masks.held, signal);
  }
  // Held from here on, also in every thread started later (OpenAL's). A wait lets them in again,
  // those that were blocked when the program started too, one at a time: a second signal that
  // comes while the first is noted stays pending.
  pthread_sigmask(SIG_BLOCK, &masks.held, &masks.waiting);  // fails only for an invalid first argument
  struct sigaction noting {};
  noting.sa_handler = note_stop;
  noting.sa_mask = masks.held;
  for (const int signal : stop_signals) {
    if (sigismember(&masks.held, signal) != 1) continue;
    sigdelset(&masks.waiting, signal);
    sigaction(signal, &noting, nullptr);
  }
}

// A sleeping thread wakes tens to hundreds of microseconds after its time: Linux adds the thread's
// timer slack, 50 us by default, and a virtual machine its own delay, more after a longer sleep.
const std::chrono::microseconds wait_wake_margin{500};

bool holds_stop_signal(int signal) { return sigismember(&signal_masks().held, signal) == 1; }

void wait_until(std::chrono::steady_clock::time_point end) {
  using Clock = std::chrono::steady_clock;
  for (Clock::time_point now = Clock::now(); now < end; now = Clock::now()) {
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(end - now).count();
    const timespec timeout{.tv_sec = left / 1'000'000'000, .tv_nsec = left % 1'000'000'000};
    // pselect lets the held signals in and sleeps in one step, on Linux and macOS a system call of
    // its own, so that no signal can come between the two and go unnoticed until the sleep ends. It
    // ends early (EINTR) for a signal let in, held or not, and for a stop and continue (Ctrl-Z and
    // fg): the clock decides whether to wait on.
    pselect(0, nullptr, nullptr, nullptr, &timeout, &signal_masks().waiting);
    if (arrived != 0) {
      const int signal = arrived;
      arrived = 0;
      throw SignalStop{signal};
    }
  }
}

std::optional<int> take_pending_stop_signal() {
  // sigwait takes a pending signal without waiting; one that is not pending would have it wait.
  sigset_t pending;
  if (sigpending(&pending) != 0) return std::nullopt;
  for (const int signal : stop_signals) {
    if (holds_stop_signal(signal) && sigismember(&pending, signal) == 1) {
      sigset_t only;
      sigemptyset(&only);
      sigaddset(&only, signal);
      int taken = 0;
      if (sigwait(&only, &taken) == 0) return taken;
    }
  }
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
