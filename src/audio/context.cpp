#include "audio/context.hpp"

#include <AL/alext.h>

#include "fatal.hpp"
#include "output.hpp"
#include "text.hpp"

namespace {

/// The process-wide lock of the alcMakeContextCurrent path: created once on first use, also when
/// two threads race for it, and never destroyed, so a guard can outlive static destruction.
std::mutex& context_lock() {
  static auto* lock = new std::mutex;
  return *lock;
}

ContextGuard make_current(const PlaybackDevice& device, ALCcontext* context) {
  const AudioLibrary& library = device.library();
  if (const auto set_thread_context = library.extensions().thread_local_context.alcSetThreadContext) {
    set_thread_context(context);  // result not looked at
    return {};
  }
  ContextGuard guard(context_lock());
  library.entry_points().alcMakeContextCurrent(context);  // result not looked at
  return guard;
}

AudioResult<void> set_listener(const AudioContext& context, ALenum parameter, const ALfloat* values) {
  const ContextGuard guard = make_current(context, true);
  context.library().entry_points().alListenerfv(parameter, values);
  return check_al_error(context.library());
}

}  // namespace

struct AudioContext::Record {
  Record(PlaybackDevice device, ALCcontext* context) : device(std::move(device)), context(context) {}
  Record(const Record&) = delete;
  Record& operator=(const Record&) = delete;
  ~Record() {
    // No context is current once this one is gone; the device reference goes after, as a member.
    const ContextGuard guard = make_current(device, nullptr);
    device.library().entry_points().alcDestroyContext(context);
  }

  PlaybackDevice device;
  ALCcontext* context;
};

ALCcontext* AudioContext::handle() const { return record_->context; }

const PlaybackDevice& AudioContext::device() const { return record_->device; }

ContextGuard make_current(const AudioContext& context, bool current) {
  return make_current(context.device(), current ? context.handle() : nullptr);
}

AudioResult<AudioContext> create_context(const PlaybackDevice& device) {
  const AudioLibrary& library = device.library();
  ALCcontext* context = library.entry_points().alcCreateContext(device.handle(), nullptr);
  if (context == nullptr) {
    if (auto checked = check_alc_error(library, device.handle()); !checked) return std::unexpected(checked.error());
    return std::unexpected(AudioError::Kind::NullError);
  }
  AudioContext created(std::make_shared<const AudioContext::Record>(device, context));
  // Current from here on, until another context (or none) is made current.
  { const ContextGuard guard = make_current(created, true); }
  return created;
}

AudioResult<void> check_pending_error(const AudioContext& context) {
  const ContextGuard guard = make_current(context, true);
  return check_al_error(context.library());
}

AudioResult<void> set_listener_position(const AudioContext& context, const Vector3& position) {
  return set_listener(context, AL_POSITION, position.data());
}

AudioResult<void> set_listener_velocity(const AudioContext& context, const Vector3& velocity) {
  return set_listener(context, AL_VELOCITY, velocity.data());
}

AudioResult<void> set_listener_orientation(const AudioContext& context, const Vector3& at, const Vector3& up) {
  const std::array<ALfloat, 6> orientation{at[0], at[1], at[2], up[0], up[1], up[2]};
  return set_listener(context, AL_ORIENTATION, orientation.data());
}

AudioResult<AudioContext> open_audio(std::ostream& out, std::span<const std::string_view> library_names,
                                     const LibraryLoader& loader) {
  const AudioLibrary library = required(load_audio_library(library_names, loader));

  // Every device line is out before the device is opened, so a failure to open comes after them.
  for (const std::string& name : list_output_devices(library)) {
    if (const auto bad = find_utf8_error(name)) fatal(std::string(required_lead_in) + bad->debug());
    write_line(out, "Found device: " + name + "\n");
  }

  const PlaybackDevice device = required(open_device(library));
  // The one failure handed back: the device, then the library, go as this returns.
  auto context = create_context(device);
  if (!context) return std::unexpected(context.error());

  required(set_listener_position(*context, {1.0F, 4.0F, 5.0F}));
  required(set_listener_velocity(*context, {2.5F, 0.0F, 0.0F}));
  required(set_listener_orientation(*context, {0.0F, 0.0F, 1.0F}, {0.0F, 1.0F, 0.0F}));
  // The context keeps the device, and the device the library, once these handles go.
  return context;
}
