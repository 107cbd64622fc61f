#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "audio/context.hpp"
#include "audio/mono16.hpp"

/// OpenAL's format for `Mono16` frames: one channel of signed 16-bit samples.
inline constexpr ALenum mono16_format = AL_FORMAT_MONO16;

/// The size in bytes of `frame_count` Mono16 frames, or nothing when it passes OpenAL's signed
/// 32-bit size argument.
std::optional<ALsizei> frame_bytes(std::size_t frame_count);

/// An OpenAL source or buffer name with one owner: moving it hands the name over and leaves 0,
/// which has nothing to delete.
class OwnedName {
 public:
  explicit OwnedName(ALuint name) : name_(name) {}
  OwnedName(OwnedName&& other) noexcept : name_(std::exchange(other.name_, 0)) {}
  OwnedName& operator=(OwnedName&&) = delete;
  ~OwnedName() = default;

  ALuint get() const { return name_; }

 private:
  ALuint name_;
};

/// An OpenAL buffer filled once with the frames of one note. Its last owner deletes the buffer name.
class SampleBuffer {
 public:
  SampleBuffer(SampleBuffer&&) noexcept = default;
  SampleBuffer& operator=(SampleBuffer&&) = delete;
  ~SampleBuffer();

  ALuint name() const { return name_.get(); }
  const AudioContext& context() const { return context_; }

  /// Hands `frames` to OpenAL, which copies them; the array is released whatever the outcome.
  /// A size past 2147483647 bytes is `InvalidValue` before any OpenAL call.
  AudioResult<void> store_frames(std::vector<Mono16> frames, ALsizei frequency);

 private:
  SampleBuffer(AudioContext context, ALuint name) : context_(std::move(context)), name_(name) {}
  friend AudioResult<SampleBuffer> create_buffer(const AudioContext& context, std::vector<Mono16> frames,
                                                 ALsizei frequency);

  AudioContext context_;
  OwnedName name_;
  std::uint32_t frame_count_ = 0;  // frames stored; 0 until a store succeeds
};

/// A static OpenAL source that plays the one buffer attached to it. Releasing it deletes the source
/// name, then lets go of the buffer, so OpenAL never sees a buffer deleted under a source.
class SoundSource {
 public:
  SoundSource(SoundSource&&) noexcept = default;
  SoundSource& operator=(SoundSource&&) = delete;
  ~SoundSource();

  /// Attaches `buffer`, which must be on this source's device (`WrongDevice` otherwise, with the
  /// source left as it was). A buffer attached before is let go only after the new one is set.
  AudioResult<void> attach_buffer(std::shared_ptr<const SampleBuffer> buffer);
  /// Starts the source; nothing is reported (an OpenAL error stays pending for the next check).
  void play();

 private:
  SoundSource(AudioContext context, ALuint name) : context_(std::move(context)), name_(name) {}
  friend AudioResult<SoundSource> create_source(const AudioContext& context);

  // Declared first so that it goes last, after the source name is deleted and after the context
  // copy and the send table: OpenAL never sees a buffer deleted under a source.
  std::shared_ptr<const SampleBuffer> buffer_;
  std::vector<ALint> auxiliary_sends_;  // one entry per auxiliary send of the device, all 0
  AudioContext context_;
  OwnedName name_;
};

/// A new source on `context`, with an auxiliary-send table sized by the device.
AudioResult<SoundSource> create_source(const AudioContext& context);

/// A new buffer on `context`, filled with `frames` at `frequency` frames a second. If the fill
/// fails the buffer name is deleted again.
AudioResult<SampleBuffer> create_buffer(const AudioContext& context, std::vector<Mono16> frames, ALsizei frequency);
