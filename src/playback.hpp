#pragma once

#include <cstdint>
#include <functional>

#include "audio/context.hpp"
#include "chime.hpp"

/// The status of a run that ended on a note it could not play.
inline constexpr int failed_note_exit_status = 2;

/// Waits out a note: the sleep alone stands for its length; the source is never queried.
using NoteWait = std::function<void(std::uint32_t length_ms)>;

/// Waits `length_ms`, measured from the call on the monotonic clock: asleep until shortly before
/// the end, then reading the clock, so that it returns on time rather than a wake-up's delay late.
void sleep_for_note(std::uint32_t length_ms);

/// Plays one note on a fresh source and buffer and returns once `wait` has waited out its length;
/// both objects are released before it returns. A source that cannot be created is returned as
/// its error; a buffer that cannot be created or attached is a fatal stop.
AudioResult<void> render_and_play(const AudioContext& context, float frequency_hz, std::uint32_t length_ms,
                                  const NoteWait& wait = sleep_for_note);

/// Plays one note; a note that cannot be played ends the process with "Failed to play sound: " and
/// the error's text as the last line of standard output, and status 2, releasing nothing.
void play_note(const AudioContext& context, float frequency_hz, std::uint32_t length_ms);

/// The run's player: every note through OpenAL on the run's context.
class ContextPlayer final : public NotePlayer {
 public:
  explicit ContextPlayer(const AudioContext& context) : context_(context) {}
  void play_note(float frequency_hz, std::uint32_t length_ms) override;

 private:
  const AudioContext& context_;
};
