#include "audio/source.hpp"

#include <algorithm>
#include <limits>
#include <utility>

namespace {

/// One new name from `generate`, alGenSources or alGenBuffers, made under the context's guard and
/// with the error read while the guard is held; nothing is made when the error is not 0.
AudioResult<ALuint> generate_name(const AudioContext& context, LPALGENSOURCES generate) {
  ALuint name = 0;
  const ContextGuard guard = make_current(context, true);
  generate(1, &name);
  if (auto checked = check_al_error(context.library()); !checked) return std::unexpected(checked.error());
  return name;
}

}  // namespace

std::optional<ALsizei> frame_bytes(std::size_t frame_count) {
  constexpr std::size_t max_bytes = std::numeric_limits<ALsizei>::max();
  if (frame_count > max_bytes / sizeof(Mono16)) return std::nullopt;
  return static_cast<ALsizei>(frame_count * sizeof(Mono16));
}

SampleBuffer::~SampleBuffer() {
  ALuint name = name_.get();
  if (name == 0) return;  // never named, or moved from
  const ContextGuard guard = make_current(context_, true);
  context_.library().entry_points().alDeleteBuffers(1, &name);  // not checked: nothing to undo
}

AudioResult<void> SampleBuffer::store_frames(std::vector<Mono16> frames, ALsizei frequency) {
  const std::optional<ALsizei> size = frame_bytes(frames.size());
  if (!size) return std::unexpected(AudioError::Kind::InvalidValue);  // before any OpenAL call

  const ContextGuard guard = make_current(context_, true);
  const AudioLibrary& library = context_.library();
  library.entry_points().alBufferData(name_.get(), mono16_format, frames.data(), *size, frequency);
  if (auto checked = check_al_error(library); !checked) return checked;
  frame_count_ = static_cast<std::uint32_t>(*size / sizeof(Mono16));  // one channel
  return {};
}

SoundSource::~SoundSource() {
  ALuint name = name_.get();
  if (name == 0) return;  // moved from
  // Deleting a playing source stops it; no stop call comes first. The members go after this, in
  // their order: the context copy, the send table, then the buffer.
  const ContextGuard guard = make_current(context_, true);
  context_.library().entry_points().alDeleteSources(1, &name);  // not checked: nothing to undo
}

AudioResult<void> SoundSource::attach_buffer(std::shared_ptr<const SampleBuffer> buffer) {
  // Devices are the same when their handles are; a buffer of another device is let go here.
  if (buffer->context().device().handle() != context_.device().handle()) {
    return std::unexpected(AudioError::Kind::WrongDevice);
  }
  {
    const ContextGuard guard = make_current(context_, true);
    // not checked: a pending error shows at the next check on this context
    context_.library().entry_points().alSourcei(name_.get(), AL_BUFFER, static_cast<ALint>(buffer->name()));
  }
  // The buffer attached before is let go only after the source no longer plays it.
  std::swap(buffer_, buffer);
  return {};
}

void SoundSource::play() {
  const ContextGuard guard = make_current(context_, true);
  context_.library().entry_points().alSourcePlay(name_.get());  // not checked: a pending error shows at the next check
}

AudioResult<SoundSource> create_source(const AudioContext& context) {
  const AudioLibrary& library = context.library();
  const auto name = generate_name(context, library.entry_points().alGenSources);
  if (!name) return std::unexpected(name.error());
  // The source owns its name from here on: if its send table cannot be allocated, the name is
  // deleted again as the run stops.
  SoundSource source(context, *name);
  // Sized with no guard held: the query is ALC, on the device. A negative count means no sends.
  ALCint sends = 0;
  if (const auto query = context.device().extensions().efx.max_auxiliary_sends) {
    library.entry_points().alcGetIntegerv(context.device().handle(), *query, 1, &sends);
  }
  source.auxiliary_sends_.assign(static_cast<std::size_t>(std::max(sends, 0)), 0);
  return source;
}

AudioResult<SampleBuffer> create_buffer(const AudioContext& context, std::vector<Mono16> frames, ALsizei frequency) {
  const auto name = generate_name(context, context.library().entry_points().alGenBuffers);
  if (!name) return std::unexpected(name.error());
  SampleBuffer buffer(context, *name);
  // A failed fill deletes the new name again as `buffer` goes.
  if (auto stored = buffer.store_frames(std::move(frames), frequency); !stored) {
    return std::unexpected(stored.error());
  }
  return buffer;
}
