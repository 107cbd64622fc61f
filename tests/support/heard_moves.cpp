#include "support/heard_moves.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "chime.hpp"
#include "doppler.hpp"

namespace {

// A note heard to its end lasts its buffer's length, which the shift stretches, to within a
// sample or two of resampling.
constexpr double full_note_margin_s = 0.001;
// How long a busy machine may hold up OpenAL Soft's mixer (see the cut notes below).
constexpr double busy_mixer_delay_s = 0.025;
// What the program may add to each note's length: its own work between notes, and the scheduler
// waking it late from its sleep.
constexpr double per_note_overhead_s = 0.005;
// OpenAL Soft steps through a buffer in 1/4096ths of a sample, so the pitch it plays is the Doppler
// shift rounded to that step: up to 0.054 Hz off at 440 Hz. The smallest shift in the table,
// 0.29 Hz at 261.63 Hz, still fails a run that leaves it out.
constexpr double pitch_tolerance_hz = 0.1;

struct ExpectedNote {
  double frequency_hz;
  double length_s;
};

/// The notes a printed move must sound as: the two pitches of its chime in playing order, each as
/// long as its disc asks for. The program's own table says which (chime_test.cpp holds it against a
/// table of its own): what is checked here is that every printed move is heard as its chime.
std::vector<ExpectedNote> notes_of_move(const std::string& line) {
  unsigned disc = 0;
  unsigned same = 0;
  unsigned from = 0;
  unsigned to = 0;
  if (std::sscanf(line.c_str(), "Moving disc size %u/%u from %u to %u", &disc, &same, &from, &to) != 4) return {};
  const auto notes = chime_notes(move_code(static_cast<std::uint8_t>(from), static_cast<std::uint8_t>(to)));
  if (!notes) return {};
  const double length_s = note_length_ms(disc) / 1000.0;
  return {{notes->first_hz, length_s}, {notes->second_hz, length_s}};
}

std::vector<ExpectedNote> notes_of_moves(const std::vector<std::string>& lines) {
  std::vector<ExpectedNote> expected;
  for (const std::string& line : lines) {
    const auto notes = notes_of_move(line);
    expected.insert(expected.end(), notes.begin(), notes.end());
  }
  return expected;
}

}  // namespace

std::vector<double> note_lengths_of(const std::vector<std::string>& lines) {
  std::vector<double> lengths;
  for (const ExpectedNote& note : notes_of_moves(lines)) lengths.push_back(note.length_s);
  return lengths;
}

std::vector<wav::HeardNote> expect_moves_heard(const std::vector<std::string>& lines, const wav::Signal& signal,
                                               const Mixing& mixing) {
  const std::vector<ExpectedNote> expected = notes_of_moves(lines);
  auto notes = wav::find_notes(signal);
  EXPECT_EQ(notes.size(), expected.size());
  if (notes.size() != expected.size() || notes.empty()) return notes;

  // A note cut by deletion loses up to one period on a quiet machine. On a busy one the mixer can be
  // held up and then mix several periods at once, after the note was deleted: up to 25 ms were seen
  // with both cores compiling. The output limiter's 1 ms delay shortens the end of a recording too.
  const double cut_note_loss_s = mixing.period_s + busy_mixer_delay_s + 0.002;
  // Sources rest at the origin; the listener at (1, 4, 5) moves along x at 2.5 units a second.
  const double shift = wav::doppler_shift({1, 4, 5}, {2.5, 0, 0}, {0, 0, 0});
  double nominal_span_s = 0.0;
  for (std::size_t i = 0; i < notes.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "note " << i << " at " << notes[i].start_s << " s");
    EXPECT_NEAR(notes[i].frequency_hz, expected[i].frequency_hz * shift, pitch_tolerance_hz);
    const double full_s = expected[i].length_s / shift;
    const double gap_s = i + 1 < notes.size() ? notes[i + 1].start_s - notes[i].end_s() : 0.0;
    if (gap_s > 1e-4 && gap_s < mixing.period_s) {
      EXPECT_NEAR(notes[i].length_s, full_s, full_note_margin_s) << "heard to its end";
    } else {
      EXPECT_LE(notes[i].length_s, full_s + full_note_margin_s);
      EXPECT_GE(notes[i].length_s, expected[i].length_s - cut_note_loss_s);
    }
    if (i + 1 < notes.size()) nominal_span_s += expected[i].length_s;
  }
  // Each note starts in the mixing period after the previous note's wait has passed, so the first
  // and last starts lie the notes' lengths apart, give or take a period at each end, plus the
  // program's own time between notes.
  const double span_s = notes.back().start_s - notes.front().start_s;
  EXPECT_GE(span_s, nominal_span_s - 2.0 * mixing.period_s);
  EXPECT_LE(span_s,
            nominal_span_s + 2.0 * mixing.period_s + per_note_overhead_s * static_cast<double>(notes.size() - 1));
  return notes;
}
