// hanoi-chimes: solves the Tower of Hanoi and plays every move as a chime of two notes.

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "audio/context.hpp"
#include "disc_count.hpp"
#include "fatal.hpp"
#include "playback.hpp"
#include "solver.hpp"
#include "text.hpp"

namespace {

int run(int argc, char** argv) {
  // Every argument is converted to text, also those that are never read.
  std::vector<std::string> arguments;
  arguments.reserve(static_cast<std::size_t>(argc));
  for (int i = 0; i < argc; ++i) arguments.push_back(required(argument_text(argv[i])));

  // A bad count stops the run before any audio work.
  std::uint32_t discs = default_disc_count;
  if (arguments.size() >= 2) discs = required(check_disc_count(required(parse_disc_count(arguments[1]))));

  const AudioContext context = required(open_audio());
  ContextPlayer player(context);
  move_tower(std::cout, player, discs, 1, 3, 1, discs);
  // The context goes first (then the device and the library with it), the arguments after.
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Each line is out when its newline is written, before the sound that follows it.
  static_cast<void>(std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ));  // fails only on a bad mode
  try {
    return run(argc, argv);
  } catch (const FatalStop&) {
    return fatal_exit_status;
  }
}
