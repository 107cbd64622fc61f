#pragma once

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <vector>

#include "chime.hpp"

/// Records every note asked for, without sound, and, given an output to watch, how much had been
/// written there when each note was asked for.
class RecordingPlayer final : public NotePlayer {
 public:
  struct Note {
    float frequency_hz;
    std::uint32_t length_ms;
    std::size_t output_bytes = 0;  // 0 when no output is watched
    friend bool operator==(const Note&, const Note&) = default;
  };

  RecordingPlayer() = default;
  explicit RecordingPlayer(const std::ostringstream& out) : out_(&out) {}

  void play_note(float frequency_hz, std::uint32_t length_ms) override {
    notes.push_back({frequency_hz, length_ms, out_ != nullptr ? out_->str().size() : 0});
  }

  std::vector<Note> notes;

 private:
  const std::ostringstream* out_ = nullptr;
};
