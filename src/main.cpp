// hanoi-chimes: solves the Tower of Hanoi and plays every move as a chime of two notes.

#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "audio/context.hpp"
#include "command_line.hpp"
#include "disc_count.hpp"
#include "exit_status.hpp"
#include "fatal.hpp"
#include "output.hpp"
#include "playback.hpp"
#include "solver.hpp"
#include "stop_signals.hpp"
#include "text.hpp"

namespace {

int run(int argc, char** argv) {
  // Every argument is converted to text, also those that are never read.
  std::vector<std::string> arguments;
  for (std::string& argument : command_line_arguments(argc, argv)) {
    arguments.push_back(required(argument_text(std::move(argument))));
  }

  // A bad count stops the run before any audio work.
  std::uint32_t discs = default_disc_count;
  if (arguments.size() >= 2) discs = required(check_disc_count(required(parse_disc_count(arguments[1]))));

  const AudioContext context = required(open_audio(std::cout));
  wait_for_play_out(context);
  ContextPlayer player(context);
  move_tower(std::cout, player, discs, 1, 3, 1, discs);
  finish_playback(context);
  // The context goes first (then the device and the library with it), the arguments after.
  return exit_code(ExitStatus::Complete);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    // First what may allocate; then, before anything is opened and OpenAL starts its threads, the rest.
    stop_on_failed_allocation();
    guard_standard_streams();
    hold_stop_signals();
    const int status = run(argc, argv);
    // A stop signal that came after the last wait still ends the run by that signal.
    if (const auto signal = take_pending_stop_signal()) end_by_signal(*signal);
    return status;
  } catch (const FailedNoteStop&) {
    return exit_code(ExitStatus::FailedNote);
  } catch (const FatalStop&) {
    return exit_code(ExitStatus::Fatal);
  } catch (const SignalStop& stop) {
    end_by_signal(stop.signal);
  }
}
