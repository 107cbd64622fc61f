#include "solver.hpp"

#include <cstdlib>

#include "chime.hpp"
#include "output.hpp"

std::uint8_t spare_peg(std::uint8_t from, std::uint8_t to) {
  // A move code's magnitude names its pair of pegs by the peg left out, and is 0 for no move.
  return static_cast<std::uint8_t>(std::abs(move_code(from, to)));
}

std::string move_line(std::uint32_t lo, std::uint32_t hi, std::uint8_t from, std::uint8_t to) {
  return "Moving disc size " + std::to_string(lo) + "/" + std::to_string(hi) + " from " + std::to_string(from) +
         " to " + std::to_string(to) + "\n";
}

void move_tower(std::ostream& out, NotePlayer& player, std::uint32_t n, std::uint8_t from, std::uint8_t to,
                std::uint32_t lo, std::uint32_t hi) {
  if (n == 1) {
    // The line is out before its chime starts.
    write_line(out, move_line(lo, hi, from, to));
    play_chime(player, from, to, lo);
    return;
  }
  const std::uint8_t spare = spare_peg(from, to);
  move_tower(out, player, n - 1, from, spare, lo, hi - 1);
  move_tower(out, player, 1, from, to, hi, hi);
  move_tower(out, player, n - 1, spare, to, lo, hi - 1);
}
