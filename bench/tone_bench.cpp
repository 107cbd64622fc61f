// render_tone against a bare loop of chime_sine over the same frames: synthesis should cost no more
// than the sines it is made of. A bare loop of the C library's sinf shows what the project's own
// sine costs beside it. All run as Google Benchmark benchmarks in one process, their repetitions
// interleaved in random order; the ratios of their medians are printed at the end.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sine.hpp"
#include "summary.hpp"
#include "tone.hpp"

namespace {

// The longest note of a default run, at the highest pitch of the chime table: the widest argument
// range the sine sees in a run.
constexpr float note_hz = 440.0F;
constexpr std::uint32_t note_ms = 200;

/// The sine arguments of the note's frames, computed exactly as render_tone computes them.
std::vector<float> note_arguments() {
  constexpr float two_pi = 6.2831855F;
  constexpr auto rate = static_cast<float>(frame_rate);
  std::vector<float> arguments(tone_frame_count(note_ms));
  for (std::uint32_t i = 0; i < arguments.size(); ++i) {
    const float a = two_pi * static_cast<float>(i);
    const float b = a * note_hz;
    arguments[i] = b / rate;
  }
  return arguments;
}

void RenderTone(benchmark::State& state) {
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the timing loop's variable
    auto frames = render_tone(note_hz, note_ms);
    benchmark::DoNotOptimize(frames);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * tone_frame_count(note_ms));
}

// A sine of the same arguments, each result stored: the stores and DoNotOptimize keep every call.
// The arguments are ready beforehand, so only the sines and the stores are timed.
template <float (*sine)(float)>
void BareSines(benchmark::State& state) {
  const std::vector<float> arguments = note_arguments();
  std::vector<float> sines(arguments.size());
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the timing loop's variable
    for (std::size_t i = 0; i < arguments.size(); ++i) sines[i] = sine(arguments[i]);
    benchmark::DoNotOptimize(sines.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * tone_frame_count(note_ms));
}
float library_sinf(float x) { return ::sinf(x); }

BENCHMARK(RenderTone)->Unit(benchmark::kMicrosecond)->Repetitions(15)->MinTime(0.05)->ReportAggregatesOnly(true);
BENCHMARK(BareSines<chime_sine>)
    ->Name("BareChimeSine")
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(15)
    ->MinTime(0.05)
    ->ReportAggregatesOnly(true);
BENCHMARK(BareSines<library_sinf>)
    ->Name("BareSinf")
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(15)
    ->MinTime(0.05)
    ->ReportAggregatesOnly(true);

/// Shows the runs as usual and keeps the median real time of each benchmark, in microseconds.
class MedianReporter : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal: a reporter of one's own does not follow --benchmark_color.
  MedianReporter() : ConsoleReporter(isatty(STDOUT_FILENO) != 0 ? OO_Color : OO_None) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) failed_ = true;
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        medians_[run.run_name.function_name] = run.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  const std::map<std::string, double>& medians() const { return medians_; }
  bool failed() const { return failed_; }

 private:
  std::map<std::string, double> medians_;
  bool failed_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  // Repetitions in random order, so that a slow spell of the machine falls on both benchmarks.
  std::vector<char*> arguments(argv, argv + argc);
  std::string interleave = "--benchmark_enable_random_interleaving=true";
  arguments.insert(arguments.begin() + 1, interleave.data());
  int count = static_cast<int>(arguments.size());
  benchmark::Initialize(&count, arguments.data());
  if (benchmark::ReportUnrecognizedArguments(count, arguments.data())) return 1;

  MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  if (reporter.failed()) return 1;

  const auto render = reporter.medians().find("RenderTone");
  const auto bare = reporter.medians().find("BareChimeSine");
  const auto library = reporter.medians().find("BareSinf");
  const auto end = reporter.medians().end();
  if (render == end || bare == end || library == end) return 0;  // filtered out
  const double ratio = bare->second / render->second;
  std::printf(
      "\nrender_tone, %u frames (%u ms at %.0f Hz): median %.1f us; bare chime_sine loop: median %.1f us; "
      "bare C library sinf loop: median %.1f us\n",
      tone_frame_count(note_ms), note_ms, static_cast<double>(note_hz), render->second, bare->second, library->second);
  std::printf("ratio bare chime_sine / render_tone: %.3f (goal at least 0.9)\n", ratio);
  std::printf("ratio bare chime_sine / bare C library sinf: %.3f\n", bare->second / library->second);
  print_summary("render_tone speed: bare sine loop / render_tone", format("%.3f", ratio), ">= 0.9", ratio >= 0.9);
  return 0;
}
