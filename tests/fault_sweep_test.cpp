// Fault sweep: for every OpenAL call a run of 1 disc makes, and for N = 1, 2, ... until the run
// completes, the N-th call of that function fails (once, and from then on). Each run must end the
// way its failure calls for: status 0, 2 or 101, the matching last line and report, everything
// released that must be, and (in the sanitizer build) no memory error or leak. One disc makes two notes: the first
// note's unchecked calls leave their errors for the second note's check, and the second's for the check after the last
// note.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/call_record.hpp"
#include "support/fake_env.hpp"
#include "support/run_program.hpp"

namespace {

const std::string program = HANOI_CHIMES_PATH;

// Every injected failure leaves this code: AL_INVALID_OPERATION for AL calls, ALC_INVALID_VALUE for
// ALC calls.
constexpr const char* injected_code = "0xA004";
const std::string al_debug = "InvalidOperation";
const std::string al_text = "AUDIO ERROR: AL Invalid Operation";
const std::string alc_debug = "InvalidValue";

struct SweepRun {
  ProgramRun result;
  Lines calls;  // the fake's record
};

SweepRun run_one_disc(const std::string& config) {
  const TempDir dir;
  const std::vector<std::string> argv{program, "1"};
  const std::vector<std::string> env = fake_openal_env(config, dir.file("calls"));
#ifdef HANOI_SANITIZED
  ProgramRun result = run_under_memcheck(argv, env);
  EXPECT_EQ(result.memcheck, "") << config;
#else
  // Hundreds of runs: memcheck would take minutes here; the sanitizer build checks memory instead.
  ProgramRun result = run_program(argv, env);
#endif
  return {result, read_lines(dir.file("calls"))};
}

/// How many calls of each kind created and released objects: "open"/"close", "gen"/"delete".
std::map<std::string, int> object_calls(const Lines& calls) {
  std::map<std::string, int> counts;
  for (const std::string& call : calls) {
    const std::string name = function_of(call);
    if (name == "alcOpenDevice" && !call.ends_with("= null")) ++counts["devices opened"];
    if (name == "alcCloseDevice") ++counts["devices closed"];
    if (name == "alcCreateContext" && !call.ends_with("= null")) ++counts["contexts created"];
    if (name == "alcDestroyContext") ++counts["contexts destroyed"];
    // A generation that failed names nothing: "alGenBuffers(1, null)" or "(1, [])".
    if ((name == "alGenSources" || name == "alGenBuffers") && call.ends_with("])") && !call.ends_with("[])"))
      ++counts[name + " made"];
    if (name == "alDeleteSources") ++counts["alGenSources released"];
    if (name == "alDeleteBuffers") ++counts["alGenBuffers released"];
  }
  return counts;
}

/// What a failure of the N-th call of `function` must lead to, where that is known exactly: the
/// status, and the report's debug form (status 101) or the failure line's text (status 2).
struct Expected {
  int status;
  std::string detail;
};

std::optional<Expected> expected_outcome(const std::string& function, int n, int clean_calls, bool always) {
  if (n > clean_calls) return Expected{0, ""};  // the call never comes: a clean run
  // Failures the program ignores, once or from then on: the extension probes fall back to the
  // standard values or to no extension, a missing device list lists nothing, a failed latency
  // query waits for nothing, and a failed release at the end changes nothing.
  if (function == "alcGetError" || function == "alcIsExtensionPresent" || function == "alcGetEnumValue" ||
      function == "alcGetProcAddress" || function == "alcGetString" || function == "alcGetInteger64vSOFT" ||
      function == "alcDestroyContext" || function == "alcCloseDevice") {
    return Expected{0, ""};
  }
  // From then on, later calls fail too: the rest are known for a failure that happens once.
  if (always) return std::nullopt;
  // The one context stays current on this thread when making it current again fails once.
  if (function == "alcSetThreadContext") return Expected{0, ""};
  if (function == "alcOpenDevice") return Expected{101, "InvalidDevice"};
  if (function == "alcCreateContext") return Expected{101, alc_debug};
  if (function == "alListenerfv" || function == "alGenBuffers" || function == "alBufferData")
    return Expected{101, al_debug};
  if (function == "alGenSources") return Expected{2, al_text};
  // Unchecked calls leave their error for the next note's source check, or for the check that
  // follows the last note.
  if (function == "alSourcei" || function == "alSourcePlay" || function == "alDeleteSources" ||
      function == "alDeleteBuffers") {
    return Expected{2, al_text};
  }
  return std::nullopt;
}

void check(const SweepRun& run, const SweepRun& clean, const std::string& config,
           const std::optional<Expected>& expected) {
  SCOPED_TRACE(config);
  const ProgramRun& result = run.result;
  ASSERT_TRUE(result.status == 0 || result.status == 2 || result.status == 101) << result.status << "\n" << result.err;

  // What was printed: device lines OpenAL listed, moves in solution order, then at most one failure line.
  Lines devices;
  Lines moves;
  Lines failures;
  for (const std::string& line : result.out_lines()) {
    if (line.starts_with("Found device: "))
      devices.push_back(line);
    else if (line.starts_with("Moving disc size "))
      moves.push_back(line);
    else
      failures.push_back(line);
  }
  const Lines clean_lines = clean.result.out_lines();
  const Lines clean_moves(clean_lines.begin() + 1, clean_lines.end());
  ASSERT_LE(moves.size(), clean_moves.size());
  EXPECT_TRUE(std::equal(moves.begin(), moves.end(), clean_moves.begin()));
  EXPECT_LE(devices.size(), 1U);

  if (expected) {
    EXPECT_EQ(result.status, expected->status) << result.out << result.err;
  }
  const Lines err = result.err_lines();
  switch (result.status) {
    case 0:
      EXPECT_EQ(moves, clean_moves);
      EXPECT_TRUE(failures.empty());
      EXPECT_EQ(result.err, "");
      break;
    case 2:
      ASSERT_EQ(failures.size(), 1U);
      EXPECT_EQ(result.out_lines().back(), failures.front());
      EXPECT_TRUE(failures.front().starts_with("Failed to play sound: AUDIO ERROR: ")) << failures.front();
      if (expected) {
        EXPECT_EQ(failures.front(), "Failed to play sound: " + expected->detail);
      }
      EXPECT_EQ(result.err, "");
      break;
    case 101:
      EXPECT_TRUE(failures.empty());
      ASSERT_EQ(err.size(), 1U) << result.err;
      EXPECT_TRUE(err.front().starts_with(fatal_report_lead)) << err.front();
      if (expected) {
        EXPECT_TRUE(err.front().starts_with(required_report_lead + expected->detail + ", at ")) << err.front();
      }
      break;
  }
  // Whatever was made was released: every device and context, and every source and buffer but
  // one. When the error read after a generation reports an error, the name that generation made is
  // not deleted (a failed generation makes none, so none is looked for): the error read made to
  // fail, or, in a failed note, an error an unchecked call left. Destroying the context frees it.
  auto counts = object_calls(run.calls);
  EXPECT_EQ(counts["devices opened"], counts["devices closed"]);
  EXPECT_EQ(counts["contexts created"], counts["contexts destroyed"]);
  if (result.status != 2 && !config.starts_with("fail=alGetError:")) {
    EXPECT_EQ(counts["alGenSources made"], counts["alGenSources released"]);
    EXPECT_EQ(counts["alGenBuffers made"], counts["alGenBuffers released"]);
  }
}

TEST(FaultSweep, EveryOpenAlCallOfAOneDiscRunFailingOnceAndFromThenOn) {
  const SweepRun clean = run_one_disc("");
  ASSERT_EQ(clean.result.status, 0) << clean.result.err;
  std::map<std::string, int> calls_per_function;
  for (const std::string& call : clean.calls) ++calls_per_function[function_of(call)];
  ASSERT_GE(calls_per_function.size(), 15U);

  struct Case {
    std::string config;
    std::optional<Expected> expected;
  };
  std::vector<Case> cases;
  for (const auto& [function, count] : calls_per_function) {
    for (int n = 1; n <= count + 1; ++n) {
      for (const bool always : {false, true}) {
        cases.push_back({"fail=" + function + ":" + std::to_string(n) + ":" + injected_code + (always ? ":always" : ""),
                         expected_outcome(function, n, count, always)});
      }
    }
  }
  // The runs mostly sleep through their notes, so several at once keep the sweep short; no more
  // than there are cores, so that the timing checks of tests running beside it are not starved.
  std::vector<SweepRun> runs(cases.size());
  std::atomic<std::size_t> next{0};
  std::vector<std::thread> workers;  // not std::jthread, which libc++ 16 (the macOS build's) lacks
  for (unsigned worker = 0; worker < std::max(1U, std::thread::hardware_concurrency()); ++worker) {
    workers.emplace_back([&] {
      for (std::size_t i = next++; i < cases.size(); i = next++) runs[i] = run_one_disc(cases[i].config);
    });
  }
  for (std::thread& worker : workers) worker.join();  // every worker is done here
  std::set<int> statuses;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    statuses.insert(runs[i].result.status);
    check(runs[i], clean, cases[i].config, cases[i].expected);
  }
  EXPECT_EQ(statuses, (std::set<int>{0, 2, 101}));  // the sweep reached every kind of ending
}

}  // namespace
