#pragma once

#include <cstdint>
#include <optional>

/// Sounds one note and returns when it is over. The run plays through OpenAL, and can stop there
/// (see `play_note`); a test records.
class NotePlayer {
 public:
  virtual ~NotePlayer() = default;
  virtual void play_note(float frequency_hz, std::uint32_t length_ms) = 0;
};

/// The signed code of a move: the magnitude names the pair of pegs (1: pegs 2 and 3, 2: pegs 1 and
/// 3, 3: pegs 1 and 2), the sign the direction; 0 for a pair that is not two different pegs of 1 to 3.
std::int8_t move_code(std::uint8_t from, std::uint8_t to);

/// The two pitches of a move code, in playing order; nothing for code 0.
struct ChimeNotes {
  float first_hz;
  float second_hz;
};
std::optional<ChimeNotes> chime_notes(std::int8_t code);

/// How long each note of a move of the given disc lasts: the single-precision square root of the
/// size, cut to a whole number, times 100 ms.
std::uint32_t note_length_ms(std::uint32_t disc_size);

/// Plays the two notes of the move of disc `disc_size` from `from` to `to`, one after the other;
/// nothing for a pair without a move code. Can stop the run wherever `player` can.
void play_chime(NotePlayer& player, std::uint8_t from, std::uint8_t to, std::uint32_t disc_size);
