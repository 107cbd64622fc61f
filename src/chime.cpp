#include "chime.hpp"

#include <cmath>

std::int8_t move_code(std::uint8_t from, std::uint8_t to) {
  if (from == 1 && to == 2) return 3;
  if (from == 3 && to == 2) return 1;
  if (from == 1 && to == 3) return 2;
  if (from == 2 && to == 1) return -3;
  if (from == 2 && to == 3) return -1;
  if (from == 3 && to == 1) return -2;
  return 0;
}

std::optional<ChimeNotes> chime_notes(std::int8_t code) {
  switch (code) {
    case 1: return ChimeNotes{261.63F, 293.66F};
    case -1: return ChimeNotes{293.66F, 261.63F};
    case 2: return ChimeNotes{349.23F, 329.63F};
    case -2: return ChimeNotes{329.63F, 349.23F};
    case 3: return ChimeNotes{392.0F, 440.0F};
    case -3: return ChimeNotes{440.0F, 392.0F};
    default: return std::nullopt;
  }
}

std::uint32_t note_length_ms(std::uint32_t disc_size) {
  const float root = std::sqrt(static_cast<float>(disc_size));
  return static_cast<std::uint32_t>(root) * 100;
}

void play_chime(NotePlayer& player, std::uint8_t from, std::uint8_t to, std::uint32_t disc_size) {
  const auto notes = chime_notes(move_code(from, to));
  if (!notes) return;
  player.play_note(notes->first_hz, note_length_ms(disc_size));
  player.play_note(notes->second_hz, note_length_ms(disc_size));
}
