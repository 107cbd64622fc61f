#pragma once

#include <cstdint>
#include <ostream>
#include <string>

class NotePlayer;

/// The third peg of two different pegs of 1 to 3; 0 for any other pair.
std::uint8_t spare_peg(std::uint8_t from, std::uint8_t to);

/// "Moving disc size lo/hi from F to T\n".
std::string move_line(std::uint32_t lo, std::uint32_t hi, std::uint8_t from, std::uint8_t to);

/// Moves the sub-tower of discs `lo` to `hi` (`n` of them, `n` >= 1) from peg `from` to peg `to`:
/// each move's line goes to `out` and its chime to `player` before the next move begins. Can stop
/// the run: a line that cannot be written (see `write_line`), and whatever stops `player`.
void move_tower(std::ostream& out, NotePlayer& player, std::uint32_t n, std::uint8_t from, std::uint8_t to,
                std::uint32_t lo, std::uint32_t hi);
