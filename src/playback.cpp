#include "playback.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <thread>

#include "audio/source.hpp"
#include "fatal.hpp"
#include "tone.hpp"

void sleep_for_note(std::uint32_t length_ms) { std::this_thread::sleep_for(std::chrono::milliseconds(length_ms)); }

AudioResult<void> render_and_play(const AudioContext& context, float frequency_hz, std::uint32_t length_ms,
                                  const NoteWait& wait) {
  auto source = create_source(context);
  if (!source) return std::unexpected(source.error());

  auto frames = render_tone(frequency_hz, length_ms);
  // Longer than any note a run that can end asks for (a disc of 948676 or more).
  if (!frames) return std::unexpected(AudioError::Kind::InvalidValue);
  auto buffer = std::make_shared<const SampleBuffer>(required(create_buffer(context, std::move(*frames), frame_rate)));

  // The source holds the buffer's only reference from here on: releasing the source releases both.
  if (!source->attach_buffer(std::move(buffer))) fatal("assertion failed: good_result.is_ok() && !good_result.is_err()");
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
