#include "playback.hpp"

#include <algorithm>
#include <chrono>
#include <iostream>

#include "audio/source.hpp"
#include "fatal.hpp"
#include "output.hpp"
#include "stop_signals.hpp"
#include "tone.hpp"

namespace {

/// The end of a run on a note that cannot be played: its failure line, then the stop that releases
/// everything on the way to the entry.
[[noreturn]] void end_on_failed_note(const AudioError& error) {
  write_line(std::cout, "Failed to play sound: " + std::string(error.text()) + "\n");
  throw FailedNoteStop{};
}

}  // namespace

void sleep_for_note(std::uint32_t length_ms) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(length_ms);
  // A wait wakes late by up to the platform's margin: it ends that much early, and the rest is
  // waited out by reading the clock, so that the note lasts its length and not a wake-up's delay
  // longer (every note of a run would, and the run that much a note).
  wait_until(end - wait_wake_margin);
  while (Clock::now() < end) {
  }
}

AudioResult<void> render_and_play(const AudioContext& context, float frequency_hz, std::uint32_t length_ms,
                                  const NoteWait& wait) {
  // A lost device plays nothing: the note fails before anything is made for it.
  if (auto connected = check_connected(context.device()); !connected) return connected;
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
  if (auto played = render_and_play(context, frequency_hz, length_ms); !played) end_on_failed_note(played.error());
}

void wait_for_play_out(const AudioContext& context, const NoteWait& wait) {
  const auto latency = device_latency(context.device());
  if (!latency) return;
  // A negative latency is no wait; one past `max_play_out` is not believed beyond it.
  const auto play_out = std::chrono::ceil<std::chrono::milliseconds>(*latency);
  wait(static_cast<std::uint32_t>(std::clamp(play_out, std::chrono::milliseconds{0}, max_play_out).count()));
}

void finish_playback(const AudioContext& context, const NoteWait& wait) {
  if (auto checked = check_pending_error(context); !checked) end_on_failed_note(checked.error());
  wait_for_play_out(context, wait);
  if (auto connected = check_connected(context.device()); !connected) end_on_failed_note(connected.error());
}

void ContextPlayer::play_note(float frequency_hz, std::uint32_t length_ms) {
  ::play_note(context_, frequency_hz, length_ms);
}
