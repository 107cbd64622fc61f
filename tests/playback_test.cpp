#include "playback.hpp"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <functional>
#include <stdexcept>
#include <thread>

#include "fatal.hpp"
#include "stop_signals.hpp"
#include "support/fake_audio.hpp"
#include "support/reference_tones.hpp"
#include "tone.hpp"

namespace {

using NotePlayback = FakeAudioTest;

/// Waits for nothing, and remembers what it was asked to wait for.
struct NoWait {
  std::vector<std::uint32_t>* waits;
  void operator()(std::uint32_t length_ms) const { waits->push_back(length_ms); }
};

TEST_F(NotePlayback, OneNoteMakesTheseCallsInOrderOnBothPaths) {
  for (const bool thread_local_path : {true, false}) {
    SCOPED_TRACE(thread_local_path);
    fake_.reset();
    if (!thread_local_path) fake_.configure("null_extensions=ALC_ENUMERATE_ALL_EXT");
    const AudioContext context = make_context(load());
    const std::size_t first = mark();
    std::vector<std::uint32_t> waits;
    ASSERT_EQ(outcome(render_and_play(context, 440.0F, 100, NoWait{&waits})), "ok");
    EXPECT_EQ(waits, std::vector<std::uint32_t>{100});
    const std::string current = thread_local_path ? "alcSetThreadContext(ctx1) = 1" : "alcMakeContextCurrent(ctx1) = 1";
    // Source 1, buffer 2: the fake numbers both kinds from one counter. The frames handed over
    // are the reference frames of the note.
    const std::string fnv = hex16(reference_tone("440.0", 100).fnv1a);
    EXPECT_EQ(record_since(first),
              (Lines{"alcGetIntegerv(dev1, 0x313, 1) = [1]", current, "alGenSources(1, [1])", "alGetError() = 0x0",
                     "alcGetIntegerv(dev1, 0x20003, 1) = [2]", current, "alGenBuffers(1, [2])", "alGetError() = 0x0",
                     current, "alBufferData(2, 0x1101, size=8820, freq=44100, fnv=" + fnv + ")", "alGetError() = 0x0",
                     current, "alSourcei(1, 0x1009, 2)", current, "alSourcePlay(1)", current, "alDeleteSources(1, [1])",
                     current, "alDeleteBuffers(1, [2])"}));
    EXPECT_EQ(fake_.live_sources(), 0U);
    EXPECT_EQ(fake_.live_buffers(), 0U);
  }
}

TEST_F(NotePlayback, ASourceThatCannotBeCreatedIsReturnedAndNothingElseIsMade) {
  fake_.configure("fail=alGenSources:1:0xA004");
  const AudioContext context = make_context(load());
  const std::size_t first = mark();
  std::vector<std::uint32_t> waits;
  const auto played = render_and_play(context, 440.0F, 100, NoWait{&waits});
  EXPECT_EQ(outcome(played), "InvalidOperation");
  EXPECT_EQ(played.error().text(), "AUDIO ERROR: AL Invalid Operation");
  EXPECT_EQ(functions_of(without_make_current(record_since(first))),
            (Lines{"alcGetIntegerv", "alGenSources", "alGetError"}));
  EXPECT_TRUE(waits.empty());
}

TEST_F(NotePlayback, ALostDeviceFailsTheNoteBeforeAnythingIsMadeForIt) {
  const struct {
    std::string config;
    std::string outcome;
    Lines calls;
  } cases[] = {
      {"disconnect=alcGetIntegerv@0x313:1", "InvalidDevice", {"alcGetIntegerv(dev1, 0x313, 1) = [0]"}},
      // A query that fails writes nothing: the device is not taken for lost.
      {"fail=alcGetIntegerv@0x313:1:0xA001", "ok", {"alcGetIntegerv(dev1, 0x313, 1) = []"}},
      // Without ALC_EXT_disconnect there is nothing to ask.
      {"device_extensions=ALC_EXT_EFX", "ok", {}},
  };
  for (const auto& [config, expected_outcome, first_calls] : cases) {
    SCOPED_TRACE(config);
    const AudioContext context = fresh_context(config);
    const std::size_t first = mark();
    std::vector<std::uint32_t> waits;
    const auto played = render_and_play(context, 440.0F, 100, NoWait{&waits});
    EXPECT_EQ(outcome(played), expected_outcome);
    const auto calls = without_make_current(record_since(first));
    ASSERT_GE(calls.size(), first_calls.size() + (played ? 1 : 0));
    EXPECT_EQ(Lines(calls.begin(), calls.begin() + static_cast<std::ptrdiff_t>(first_calls.size())), first_calls);
    if (played) {
      EXPECT_TRUE(calls[first_calls.size()].starts_with("alGenSources")) << calls[first_calls.size()];
    } else {
      EXPECT_EQ(played.error().text(), "AUDIO ERROR: ALC Invalid Device");
      EXPECT_EQ(calls.size(), first_calls.size());
      EXPECT_EQ(fake_.live_sources(), 0U);
    }
  }
}

TEST_F(NotePlayback, TheEndOfARunReadsTheLastErrorThenLetsTheDevicePlayOutThenAsksForIt) {
  const struct {
    std::string config;
    std::string latency;  // as the device reports it; empty: it reports none
    std::vector<std::uint32_t> waits;
  } cases[] = {
      {"latency_ns=25000000", "25000000", {25}},
      // Whole milliseconds, rounded up; never more than a second, never less than nothing.
      {"latency_ns=1", "1", {1}},
      {"latency_ns=5000000000", "5000000000", {1000}},
      {"latency_ns=-3000000", "-3000000", {0}},
      // OpenAL Soft before 1.20 has no name for the latency query: its standard value serves.
      {"fail=alcGetEnumValue@ALC_DEVICE_LATENCY_SOFT:1:0", "25000000", {25}},
      // A device that reports no latency is released at once.
      {"device_extensions=ALC_EXT_EFX", "", {}},
  };
  for (const auto& [config, latency, expected_waits] : cases) {
    SCOPED_TRACE(config);
    const AudioContext context = fresh_context(config);
    const std::size_t first = mark();
    std::vector<std::uint32_t> waits;
    finish_playback(context, NoWait{&waits});
    Lines calls{"alGetError() = 0x0"};
    if (!latency.empty()) {
      calls.insert(calls.end(), {"alcGetInteger64vSOFT(dev1, 0x1601, 1) = [" + latency + "]",
                                 "alcGetIntegerv(dev1, 0x313, 1) = [1]"});
    }
    EXPECT_EQ(without_make_current(record_since(first)), calls);
    EXPECT_EQ(waits, expected_waits);
  }
}

TEST_F(NotePlayback, ABufferThatCannotBeMadeIsFatalAndTheSourceGoesAfterTheReport) {
  for (const auto& [rule, debug_form, calls] :
       {std::tuple{"fail=alGenBuffers:1:0xA005", "OutOfMemory", Lines{"alGenBuffers", "alGetError", "alDeleteSources"}},
        std::tuple{
            "fail=alBufferData:1:0xA003", "InvalidValue",
            Lines{"alGenBuffers", "alGetError", "alBufferData", "alGetError", "alDeleteBuffers", "alDeleteSources"}}}) {
    SCOPED_TRACE(rule);
    const AudioContext context = fresh_context(rule);
    std::vector<std::uint32_t> waits;
    const std::size_t first = mark();
    testing::internal::CaptureStderr();
    EXPECT_THROW(static_cast<void>(render_and_play(context, 440.0F, 100, NoWait{&waits})), FatalStop);
    const std::string report = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(report.starts_with(required_report_lead + debug_form + ", at src/playback.cpp:")) << report;
    // From the buffer on: the device's and the source's calls before it are another test's.
    const Lines functions = functions_of(without_make_current(record_since(first)));
    EXPECT_EQ(Lines(std::find(functions.begin(), functions.end(), "alGenBuffers"), functions.end()), calls);
    EXPECT_TRUE(waits.empty());
    EXPECT_EQ(fake_.live_sources(), 0U);
    EXPECT_EQ(fake_.live_buffers(), 0U);
  }
}

TEST_F(NotePlayback, ALengthBeyondAnyRunnableNoteIsRefusedBeforeAnyBuffer) {
  const AudioContext context = make_context(load());
  const std::size_t first = mark();
  std::vector<std::uint32_t> waits;
  EXPECT_EQ(outcome(render_and_play(context, 440.0F, max_tone_length_ms + 1, NoWait{&waits})), "InvalidValue");
  EXPECT_EQ(functions_of(without_make_current(record_since(first))),
            (Lines{"alcGetIntegerv", "alGenSources", "alGetError", "alcGetIntegerv", "alDeleteSources"}));
}

TEST(NoteWait, TwoNotesTakeAtLeastTheirLengthsTogether) {
  // Only the lower bound is certain on a busy machine: a note is never cut short by its wait.
  const auto start = std::chrono::steady_clock::now();
  sleep_for_note(100);
  sleep_for_note(100);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
}

/// A wait in a process of its own that holds the stop signals as the program does: when it ran again
/// after its own alarm stopped it (Ctrl-Z) 250 ms in, when the wait ended, the stop it took (0: none).
struct StoppedWait {
  std::chrono::steady_clock::time_point resumed;
  std::chrono::steady_clock::time_point ended;
  int signal = 0;
};
std::chrono::steady_clock::time_point resumed_at;

/// Waits `length_ms` from its start; `while_stopped` acts on the process before it is continued (fg).
StoppedWait stop_and_continue(std::uint32_t length_ms, const std::function<void(pid_t)>& while_stopped) {
  StoppedWait wait;
  std::array<int, 2> report{};
  if (pipe(report.data()) != 0) throw std::runtime_error("pipe failed");
  if (const pid_t child = fork(); child != 0) {
    close(report[1]);
    int status = 0;
    waitpid(child, &status, WUNTRACED);
    if (WIFSTOPPED(status)) while_stopped(child);
    kill(child, SIGCONT);
    const bool told = read(report[0], &wait, sizeof wait) == sizeof wait;
    close(report[0]);
    waitpid(child, nullptr, 0);
    if (!WIFSTOPPED(status) || !told) throw std::runtime_error("the waiting process was not stopped, or did not tell");
    return wait;
  }
  // Held as the program holds it, also in a job that a shell started with SIGINT ignored.
  static_cast<void>(std::signal(SIGINT, SIG_DFL));
  hold_stop_signals();
  // Its own alarm stops it, however late either process runs; the handler returns once it goes on.
  struct sigaction on_alarm {};
  on_alarm.sa_handler = [](int) {
    static_cast<void>(raise(SIGSTOP));
    resumed_at = std::chrono::steady_clock::now();
  };
  sigaction(SIGALRM, &on_alarm, nullptr);
  // Its end fixed before the alarm is set: a stop that comes before the wait begins leaves it there.
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(length_ms);
  ualarm(250'000, 0);
  try {
    wait_until(end);
  } catch (const SignalStop& taken) {
    wait.signal = taken.signal;
  }
  wait = {resumed_at, std::chrono::steady_clock::now(), wait.signal};
  _exit(write(report[1], &wait, sizeof wait) == sizeof wait ? 0 : 1);
}

TEST(NoteWait, AWaitStoppedAndContinuedTakesAStopThatCameMeanwhileAndDoesNotStartOver) {
  // Ctrl-C while it is stopped: the wait goes on and takes SIGINT, rather than ending and letting
  // the next note begin; a ten-second note, so that no busy machine's delay lets it end first.
  EXPECT_EQ(stop_and_continue(10'000, [](pid_t child) { kill(child, SIGINT); }).signal, SIGINT);
  // Stopped for a second of a two-second wait: it ends 750 ms after it runs again, one that starts over
  // 2 s after; the bound leaves 750 ms for a busy machine to wake it (a late continue does not count).
  const StoppedWait wait = stop_and_continue(2000, [](pid_t) { std::this_thread::sleep_for(std::chrono::seconds(1)); });
  EXPECT_LT(wait.ended - wait.resumed, std::chrono::milliseconds(1500));
}

}  // namespace
