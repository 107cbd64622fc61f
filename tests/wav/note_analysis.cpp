#include "note_analysis.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace wav {
namespace {

// A sample counts as silent at or below this fraction of the recording's peak magnitude.
constexpr double silence_level = 0.01;
// Silent samples for at least this long separate two sounding stretches. Shorter runs occur inside
// any tone at its zero crossings (about 0.003 / frequency seconds at the silence level).
constexpr double min_gap_s = 0.0005;
// A period that differs from the running one by more than this fraction starts a new note.
constexpr double pitch_tolerance = 0.005;
// A steady pitch must last this many periods to count as a note.
constexpr std::size_t min_periods = 3;

struct Stretch {
  std::size_t begin = 0;  // first sounding sample
  std::size_t end = 0;    // one past the last sounding sample
};

// Runs of sound separated by at least `min_gap` silent samples.
std::vector<Stretch> sounding_stretches(std::span<const float> x, float level, std::size_t min_gap) {
  std::vector<Stretch> stretches;
  bool open = false;
  Stretch current;
  for (std::size_t i = 0; i < x.size(); ++i) {
    if (std::fabs(x[i]) <= level) continue;
    if (!open) {
      current.begin = i;
      open = true;
    } else if (i - current.end >= min_gap) {
      stretches.push_back(current);
      current.begin = i;
    }
    current.end = i + 1;
  }
  if (open) stretches.push_back(current);
  return stretches;
}

// Times, in samples, where the signal rises through zero, interpolated between samples. A crossing
// counts only after the signal has gone below -level since the last one, so that noise riding on
// a zero crossing cannot add crossings.
std::vector<double> rising_crossings(std::span<const float> x, Stretch s, float level) {
  std::vector<double> crossings;
  bool armed = false;
  for (std::size_t i = s.begin; i < s.end; ++i) {
    if (armed && i > s.begin && x[i - 1] < 0.0F && x[i] >= 0.0F) {
      const double before = x[i - 1];
      crossings.push_back(static_cast<double>(i - 1) + before / (before - x[i]));
      armed = false;
    }
    if (x[i] < -level) armed = true;
  }
  return crossings;
}

// Crossings [first, last] of one steady pitch.
struct Run {
  std::size_t first = 0;
  std::size_t last = 0;
};

// Splits crossings into runs whose periods stay within `pitch_tolerance` of the run's mean period.
// Periods that fit no run of at least `min_periods` (the ragged ones where one tone gives way to
// the next) belong to no run.
std::vector<Run> steady_runs(const std::vector<double>& c) {
  std::vector<Run> runs;
  std::size_t first = 0;
  while (first + 1 < c.size()) {
    double sum = c[first + 1] - c[first];
    std::size_t last = first + 1;
    while (last + 1 < c.size()) {
      const double mean = sum / static_cast<double>(last - first);
      const double period = c[last + 1] - c[last];
      if (std::fabs(period - mean) > pitch_tolerance * mean) break;
      sum += period;
      ++last;
    }
    if (last - first >= min_periods) {
      runs.push_back({first, last});
      first = last;
    } else {
      ++first;
    }
  }
  return runs;
}

// A sine fitted to a run: rising through zero at `origin + k * period` samples.
struct Tone {
  double origin = 0.0;
  double period = 0.0;
  double amplitude = 0.0;

  double at(std::size_t i) const {
    return amplitude * std::sin(2.0 * std::numbers::pi * (static_cast<double>(i) - origin) / period);
  }
};

// Least-squares line through the crossing times; the amplitude comes from the RMS over the
// whole periods between the first and last crossing.
Tone fit_tone(std::span<const float> x, const std::vector<double>& c, std::size_t first, std::size_t last) {
  const auto n = static_cast<double>(last - first + 1);
  const double mean_k = static_cast<double>(last - first) / 2.0;
  double mean_t = 0.0;
  for (std::size_t k = first; k <= last; ++k) mean_t += c[k];
  mean_t /= n;
  double skt = 0.0;
  double skk = 0.0;
  for (std::size_t k = first; k <= last; ++k) {
    const double dk = static_cast<double>(k - first) - mean_k;
    skt += dk * (c[k] - mean_t);
    skk += dk * dk;
  }
  Tone tone;
  tone.period = skt / skk;
  tone.origin = mean_t - tone.period * mean_k;

  const auto from = static_cast<std::size_t>(std::ceil(c[first]));
  const auto to = static_cast<std::size_t>(std::floor(c[last]));
  double energy = 0.0;
  for (std::size_t i = from; i < to; ++i) energy += static_cast<double>(x[i]) * x[i];
  tone.amplitude = to > from ? std::sqrt(2.0 * energy / static_cast<double>(to - from)) : 0.0;
  return tone;
}

// The sample in [from, to] where `before` gives way to `after`, chosen so that the squared error
// of the two tones over their sides is least.
std::size_t handover(std::span<const float> x, std::size_t from, std::size_t to, const Tone& before,
                     const Tone& after) {
  // Error if everything from i on belongs to `after`, then walk the boundary forwards.
  double cost = 0.0;
  for (std::size_t i = from; i < to; ++i) {
    const double e = x[i] - after.at(i);
    cost += e * e;
  }
  double best_cost = cost;
  std::size_t best = from;
  for (std::size_t i = from; i < to; ++i) {
    const double a = x[i] - before.at(i);
    const double b = x[i] - after.at(i);
    cost += a * a - b * b;
    if (cost < best_cost) {
      best_cost = cost;
      best = i + 1;
    }
  }
  return best;
}

}  // namespace

std::vector<HeardNote> find_notes(std::span<const float> samples, double sample_rate) {
  std::vector<HeardNote> notes;
  if (!(sample_rate > 0.0) || samples.empty()) return notes;
  float peak = 0.0F;
  for (float v : samples) peak = std::max(peak, std::fabs(v));
  if (!(peak > 0.0F)) return notes;

  const auto level = static_cast<float>(silence_level * peak);
  const auto min_gap = std::max<std::size_t>(1, static_cast<std::size_t>(std::lround(min_gap_s * sample_rate)));

  for (const Stretch& stretch : sounding_stretches(samples, level, min_gap)) {
    const std::vector<double> c = rising_crossings(samples, stretch, level);
    const std::vector<Run> runs = steady_runs(c);

    // The crossing at either end of a run that meets another tone may be a crossing of that
    // tone which happened to land in step: leave it out of the fit.
    std::vector<Tone> tones;
    std::vector<Run> fitted;
    for (std::size_t r = 0; r < runs.size(); ++r) {
      Run used = runs[r];
      if (r > 0) ++used.first;
      if (r + 1 < runs.size()) --used.last;
      tones.push_back(fit_tone(samples, c, used.first, used.last));
      fitted.push_back(used);
    }

    std::size_t begin = stretch.begin;
    for (std::size_t r = 0; r < runs.size(); ++r) {
      std::size_t end = stretch.end;
      if (r + 1 < runs.size()) {
        const auto from = static_cast<std::size_t>(std::floor(c[fitted[r].last]));
        const auto to = static_cast<std::size_t>(std::ceil(c[fitted[r + 1].first]));
        end = std::max(begin, handover(samples, from, std::min(to, stretch.end), tones[r], tones[r + 1]));
      }
      HeardNote note;
      note.start_s = static_cast<double>(begin) / sample_rate;
      note.length_s = static_cast<double>(end - begin) / sample_rate;
      note.frequency_hz = sample_rate / tones[r].period;
      notes.push_back(note);
      begin = end;
    }
  }
  return notes;
}

std::vector<HeardNote> find_notes(const Signal& signal) { return find_notes(signal.samples, signal.sample_rate); }

}  // namespace wav
