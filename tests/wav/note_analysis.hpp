#pragma once

#include <span>
#include <vector>

#include "wav_file.hpp"

namespace wav {

// A tone found in a recording.
struct HeardNote {
  double start_s = 0.0;       // first sounding sample, from the start of the recording
  double length_s = 0.0;      // until silence, the end of the recording or the next pitch
  double frequency_hz = 0.0;  // fitted to every zero crossing of the note

  double end_s() const { return start_s + length_s; }
};

// Finds the notes of a recording of plain tones, in order. Notes are told apart by silence
// between them, by a change of pitch, or by a jump of phase where a tone restarts at its own
// pitch. Each note's frequency is fitted to the times of its upward zero crossings, which on a
// tenth of a second of clean tone is accurate to a few thousandths of a hertz; where one note
// replaces another without silence, the boundary is the sample where the signal stops matching
// the first tone and starts matching the second.
std::vector<HeardNote> find_notes(std::span<const float> samples, double sample_rate);
std::vector<HeardNote> find_notes(const Signal& signal);

}  // namespace wav
