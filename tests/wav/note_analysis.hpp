#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "wav_file.hpp"

namespace wav {

// A tone found in a recording.
struct HeardNote {
  double start_s = 0.0;       // first sounding sample, from the start of the recording
  double length_s = 0.0;      // until silence, the end of the recording or the next pitch
  double frequency_hz = 0.0;  // fitted to every zero crossing of the note
  double peak = 0.0;          // largest magnitude within the note, full scale = 1
  std::size_t periods = 0;    // whole periods the frequency was fitted over

  double end_s() const { return start_s + length_s; }
};

struct NoteSearch {
  // A sample counts as silent at or below this fraction of the recording's peak magnitude.
  double silence_level = 0.01;
  // Silent samples for at least this long separate two sounding stretches. Shorter runs occur
  // inside any tone at its zero crossings (about 0.003 / frequency seconds at the default level).
  double min_gap_s = 0.0005;
  // A period that differs from the running one by more than this fraction starts a new note.
  double pitch_tolerance = 0.005;
  // A steady pitch must last this many periods (at least 3) to count as a note.
  std::size_t min_periods = 3;
};

// Finds the notes of a recording of plain tones, in order. Notes are told apart by silence
// between them, by a change of pitch, or by a jump of phase where a tone restarts at its own
// pitch. Each note's frequency is fitted to the times of its upward zero crossings, which on a
// tenth of a second of clean tone is accurate to a few thousandths of a hertz; where one note
// replaces another without silence, the boundary is the sample where the signal stops matching
// the first tone and starts matching the second.
std::vector<HeardNote> find_notes(std::span<const float> samples, double sample_rate, const NoteSearch& search = {});
std::vector<HeardNote> find_notes(const Signal& signal, const NoteSearch& search = {});

}  // namespace wav
