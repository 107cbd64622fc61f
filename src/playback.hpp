#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include "audio/context.hpp"
#include "chime.hpp"

/// Waits out a note: the sleep alone stands for its length; the source is never queried.
using NoteWait = std::function<void(std::uint32_t length_ms)>;

/// Waits `length_ms`, measured from the call on the monotonic clock: asleep until shortly before
/// the end, then reading the clock, so that it returns on time rather than a wake-up's delay late.
/// Can stop the run: a stop signal that arrives while it sleeps is a `SignalStop`.
void sleep_for_note(std::uint32_t length_ms);

/// Plays one note on a fresh source and buffer and returns once `wait` has waited out its length;
/// both objects are released before it returns. A device that OpenAL reports lost, or a source
/// that cannot be created, is returned as its error. Can stop the run: a buffer that cannot be
/// created or attached is a fatal stop, and `wait` may stop it by a signal.
AudioResult<void> render_and_play(const AudioContext& context, float frequency_hz, std::uint32_t length_ms,
                                  const NoteWait& wait = sleep_for_note);

/// Carries the end of a run on a note that cannot be played, once its failure line is out, up to
/// the entry, as `FatalStop` carries a fatal one: unwinding releases everything acquired so far,
/// latest first, so that the device is closed properly (a recording gets its final sizes, a sound
/// server its stream's end), and the entry then exits with `ExitStatus::FailedNote`.
struct FailedNoteStop {};

/// Plays one note. Can stop the run: a note that cannot be played writes "Failed to play sound: "
/// and the error's text as the last line of standard output, then is a `FailedNoteStop`.
void play_note(const AudioContext& context, float frequency_hz, std::uint32_t length_ms);

/// The longest a run waits for the device to play out what it was given.
inline constexpr std::chrono::milliseconds max_play_out{1000};

/// Waits until the device has played what OpenAL has mixed so far: its reported latency, at most
/// `max_play_out`; nothing on a device that does not report it. Before the first note, so that the
/// note does not start while a sound server is still taking in its first buffer (it would be heard
/// up to two mixing periods short); after the last, so that releasing the device does not cut the
/// end of the note that it still holds. Can stop the run: `wait` may stop it by a signal.
void wait_for_play_out(const AudioContext& context, const NoteWait& wait = sleep_for_note);

/// Ends the playing of a complete run, before its context is released. Reads the error that the
/// last note's unchecked calls may have left, as the next note's check would have; waits for the
/// device to play out; then asks whether the device is still there. Can stop the run like a failed
/// note, and `wait` may stop it by a signal.
void finish_playback(const AudioContext& context, const NoteWait& wait = sleep_for_note);

/// The run's player: every note through OpenAL on the run's context, as `play_note` plays it.
class ContextPlayer final : public NotePlayer {
 public:
  explicit ContextPlayer(const AudioContext& context) : context_(context) {}
  void play_note(float frequency_hz, std::uint32_t length_ms) override;

 private:
  const AudioContext& context_;
};
