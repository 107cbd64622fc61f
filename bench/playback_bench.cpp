// What playing adds to the length of the notes, in-process with the program's own playback: the
// time one note takes beyond its length, and whole runs of 4 and 6 discs from the first note's start
// to the last note's end against the sum of their note lengths. scripts/bench.sh runs it on OpenAL
// Soft's null backend (ALSOFT_DRIVERS=null), on Linux and, built for Windows, under Wine.

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <vector>

#include "audio/context.hpp"
#include "chime.hpp"
#include "fatal.hpp"
#include "playback.hpp"
#include "solver.hpp"
#include "summary.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double to_ms(Clock::duration duration) { return std::chrono::duration<double, std::milli>(duration).count(); }

/// The value below which `share` of the values lie (0.5: the median).
double quantile(std::vector<double> values, double share) {
  std::sort(values.begin(), values.end());
  return values[static_cast<std::size_t>(std::lround(share * static_cast<double>(values.size() - 1)))];
}

double mean(const std::vector<double>& values) {
  double sum = 0.0;
  for (const double value : values) sum += value;
  return sum / static_cast<double>(values.size());
}

void print_spread(const char* what, const std::vector<double>& values) {
  std::printf("  %-36s median %.4f ms  mean %.4f  p10 %.4f  p90 %.4f  max %.4f\n", what, quantile(values, 0.5),
              mean(values), quantile(values, 0.1), quantile(values, 0.9), quantile(values, 1.0));
}

constexpr double note_goal_ms = 0.06;
constexpr double run_goal_ratio = 1.001;

/// Notes of 10 to 100 ms at the chime table's pitches, each played as a run plays it and timed from
/// the call to its return. The wait is the run's own sleep, timed on its own as well, to tell its
/// lateness from the rest (rendering and the OpenAL calls).
void time_notes(const AudioContext& context, int count) {
  constexpr std::array<float, 6> pitches{261.63F, 293.66F, 329.63F, 349.23F, 392.0F, 440.0F};
  Clock::duration slept{};
  const NoteWait timed_sleep = [&slept](std::uint32_t length_ms) {
    const auto start = Clock::now();
    sleep_for_note(length_ms);
    slept = Clock::now() - start;
  };

  std::vector<double> beyond;
  std::vector<double> lateness;
  std::vector<double> work;
  for (int i = 0; i < count; ++i) {
    const auto length_ms = static_cast<std::uint32_t>(10 + (i * 37) % 91);  // spread over 10..100
    const float pitch = pitches[static_cast<std::size_t>(i) % pitches.size()];
    const auto start = Clock::now();
    required(render_and_play(context, pitch, length_ms, timed_sleep));
    const auto took = Clock::now() - start;
    beyond.push_back(to_ms(took) - length_ms);
    lateness.push_back(to_ms(slept) - length_ms);
    work.push_back(to_ms(took - slept));
  }

  std::printf("%d notes of 10 to 100 ms, the time each took beyond its length:\n", count);
  print_spread("whole note:", beyond);
  print_spread("of it, the sleep waking late:", lateness);
  print_spread("of it, rendering and OpenAL calls:", work);
  const double median = quantile(beyond, 0.5);
  print_summary(format("note time beyond its length (median of %d)", count), format("%.4f ms", median),
                format("< %.2f ms", note_goal_ms), median < note_goal_ms);
}

/// Plays through the run's player and notes when the first note started and the last one ended.
class TimedPlayer final : public NotePlayer {
 public:
  explicit TimedPlayer(const AudioContext& context) : player_(context) {}

  void play_note(float frequency_hz, std::uint32_t length_ms) override {
    const auto start = Clock::now();
    if (!first_start_) first_start_ = start;
    player_.play_note(frequency_hz, length_ms);
    last_end_ = Clock::now();
    notes_ms_ += length_ms;
    ++notes_;
  }

  double span_ms() const { return to_ms(last_end_ - first_start_.value_or(last_end_)); }
  std::uint64_t notes_ms() const { return notes_ms_; }
  int notes() const { return notes_; }

 private:
  ContextPlayer player_;
  std::optional<Clock::time_point> first_start_;
  Clock::time_point last_end_;
  std::uint64_t notes_ms_ = 0;
  int notes_ = 0;
};

/// A whole run of `discs` discs, its move lines written one by one as the program writes them, here
/// into memory: writing them out would cost microseconds, against the tenth of a millisecond a
/// note of a run may take beyond its length.
void time_run(const AudioContext& context, std::uint32_t discs) {
  std::ostringstream lines;
  TimedPlayer player(context);
  move_tower(lines, player, discs, 1, 3, 1, discs);
  const double ratio = player.span_ms() / static_cast<double>(player.notes_ms());
  std::printf(
      "run of %u discs: %d notes, %llu ms of notes, first note's start to last note's end %.2f ms: ratio %.5f\n", discs,
      player.notes(), static_cast<unsigned long long>(player.notes_ms()), player.span_ms(), ratio);
  print_summary(format("run of %u discs: span / sum of note lengths", discs), format("%.5f", ratio),
                format("<= %.3f", run_goal_ratio), ratio <= run_goal_ratio);
}

}  // namespace

int main(int argc, char** argv) {
  const int notes = argc > 1 ? std::atoi(argv[1]) : 200;
  if (notes < 1) {
    static_cast<void>(std::fprintf(stderr, "usage: playback_bench [NOTES]\n"));
    return 1;
  }
  try {
    std::ostringstream device_lines;
    const AudioContext context = required(open_audio(device_lines));
    time_notes(context, notes);
    time_run(context, 4);
    time_run(context, 6);
  } catch (const FatalStop&) {
    return 1;  // the report is on standard error
  }
  return 0;
}
