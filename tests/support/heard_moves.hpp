#pragma once

#include <string>
#include <vector>

#include "note_analysis.hpp"
#include "wav_file.hpp"

/// How OpenAL mixed what is being checked: it starts a source at the first mixing period after
/// the source was started, and a deleted source stops at once, so a note deleted before its buffer
/// runs out is heard for whole periods.
struct Mixing {
  double period_s = 1024.0 / 44100.0;
};

/// Checks that `signal` holds the chimes of the move lines among `lines`, in order: two notes per
/// move at the move's pitches (shifted by the listener's motion), each as long as its disc asks
/// for, less what the mixing periods cut from a note deleted before its end. Returns the notes
/// found, for checks of the test's own.
std::vector<wav::HeardNote> expect_moves_heard(const std::vector<std::string>& lines, const wav::Signal& signal,
                                               const Mixing& mixing);

/// The length each move line among `lines` asks of its two notes, in playing order.
std::vector<double> note_lengths_of(const std::vector<std::string>& lines);
