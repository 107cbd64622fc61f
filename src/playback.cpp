#include "playback.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <thread>

#include "audio/source.hpp"
#include "fatal.hpp"
#include "tone.hpp"

namespace {

// A sleeping thread wakes tens to hundreds of microseconds after its time (Linux adds the thread's
// timer slack, 50 us by default, and a virtual machine its own delay, more after a longer sleep):
// every note would last that much longer than its length, and a run that much a note longer than
// its notes. The sleep ends this long before the note does, and the rest is waited out by reading
// the clock, which costs a fraction of a percent of one core.
constexpr std::chrono::microseconds clock_watch{500};

}  // namespace

void sleep_for_note(std::uint32_t length_ms) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(length_ms);
  std::this_thread::sleep_until(end - clock_watch);
  while (Clock::now() < end) {
  }
}

AudioResult<void> render_and_play(const AudioContext& context, float frequency_hz, std::uint32_t length_ms,
                                  const NoteWait& wait) {
  auto source = create_source(context);
  if (!source) return std::unexpected(source.error());

  auto frames = render_tone(frequency_hz, length_ms);
  // Longer than any note a run that can end asks for (a disc of 948676 or more).
  if (!frames) return std::unexpected(AudioError::Kind::InvalidValue);
  auto buffer = std::make_shared<const SampleBuffer>(required(create_buffer(context, std::move(*frames), frame_rate)));

  // The source holds the buffer's only reference from here on: releasing the source releases both.
  if (!source->attach_buffer(std::move(buffer)))
    fatal("assertion failed: good_result.is_ok() && !good_result.is_err()");
  source->play();
  wait(length_ms);
  return {};  // the source goes now: its name is deleted (cutting the sound), then the buffer's
}

void play_note(const AudioContext& context, float frequency_hz, std::uint32_t length_ms) {
  if (auto played = render_and_play(context, frequency_hz, length_ms); !played) {
    std::cout << "Failed to play sound: " << played.error().text() << '\n';
    // exit flushes standard output; the context, the device and the library are left to the system.
    std::exit(failed_note_exit_status);
  }
}

void ContextPlayer::play_note(float frequency_hz, std::uint32_t length_ms) {
  ::play_note(context_, frequency_hz, length_ms);
}
