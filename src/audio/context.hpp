#pragma once

#include <array>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <span>
#include <string_view>

#include "audio/device.hpp"

/// The OpenAL context of a run. A shared handle: copies share one record; the last copy to go
/// clears the current context, destroys this one and then lets go of the device.
class AudioContext {
 public:
  ALCcontext* handle() const;
  const PlaybackDevice& device() const;
  const AudioLibrary& library() const { return device().library(); }

 private:
  struct Record;
  explicit AudioContext(std::shared_ptr<const Record> record) : record_(std::move(record)) {}
  friend AudioResult<AudioContext> create_context(const PlaybackDevice& device);

  std::shared_ptr<const Record> record_;
};

/// Held around every group of AL calls. Empty when OpenAL keeps a current context per thread;
/// otherwise it holds the process-wide `context_lock` until released. Releasing it does not reset
/// the current context.
using ContextGuard = std::unique_lock<std::mutex>;

/// Makes `context` current (or, with `current` false, no context) for this thread through
/// alcSetThreadContext when the library offers it, otherwise for the process under `context_lock`.
/// Never call it while holding a guard: the lock is not recursive.
[[nodiscard]] ContextGuard make_current(const AudioContext& context, bool current);

/// Creates a context on `device`, with no attribute list, and makes it current. A null result is
/// the device's ALC error, or `NullError` when there is none.
AudioResult<AudioContext> create_context(const PlaybackDevice& device);

/// Reads the AL error pending on `context` once, under its guard: what an unchecked call left.
AudioResult<void> check_pending_error(const AudioContext& context);

using Vector3 = std::array<float, 3>;
AudioResult<void> set_listener_position(const AudioContext& context, const Vector3& position);
AudioResult<void> set_listener_velocity(const AudioContext& context, const Vector3& velocity);
AudioResult<void> set_listener_orientation(const AudioContext& context, const Vector3& at, const Vector3& up);

/// The audio start-up of a run: loads the library, writes a "Found device: " line to `out` for every
/// output device, opens the default device, creates the context and places the listener. Every
/// failure is a fatal stop except a failed context creation, which is returned with the device
/// and the library already released.
AudioResult<AudioContext> open_audio(std::ostream& out,
                                     std::span<const std::string_view> library_names = default_library_names,
                                     const LibraryLoader& loader = dynamic_loader);
