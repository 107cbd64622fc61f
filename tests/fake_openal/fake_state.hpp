// Internal state of the fake OpenAL library, guarded by one mutex. Every entry point runs inside
// one fake::Call, which holds the lock for the whole call, records the arguments, decides whether a
// configured rule hits the call, and when the call ends leaves the injected code pending and
// appends the record line.
#pragma once

// The OpenAL headers declare every entry point with AL_API / ALC_API; declaring them with default
// visibility here exports exactly the functions defined against those declarations, while
// -fvisibility=hidden keeps everything else in the library private. The fake's sources include
// the OpenAL headers only through this one.
#if defined(AL_AL_H) || defined(AL_ALC_H)
#error "fake_state.hpp must be included before the OpenAL headers"
#endif
#define AL_API extern __attribute__((visibility("default")))
#define ALC_API extern __attribute__((visibility("default")))
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <concepts>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

// The opaque handle types of alc.h, completed here. Objects stay allocated until reset, so that a
// stale handle is still recognised; a handle is only ever compared against the registry before use.
struct ALCdevice_struct {
  bool open = true;
  bool connected = true;  // false once a disconnect= rule hit
  ALCenum error = ALC_NO_ERROR;
};

struct ALCcontext_struct {
  bool alive = true;
  ALCdevice* device = nullptr;
  ALenum error = AL_NO_ERROR;
  std::map<ALenum, std::vector<ALfloat>> listener{{AL_GAIN, {1.0F}},
                                                  {AL_POSITION, {0.0F, 0.0F, 0.0F}},
                                                  {AL_VELOCITY, {0.0F, 0.0F, 0.0F}},
                                                  {AL_ORIENTATION, {0.0F, 0.0F, -1.0F, 0.0F, 1.0F, 0.0F}}};
  std::map<ALuint, ALuint> sources;  // name -> attached buffer, 0 for none
  std::set<ALuint> buffers;
};

namespace fake {

// One fail=, error= or disconnect= entry.
struct Rule {
  enum class Kind : std::uint8_t { Fail, Error, Disconnect };
  Kind kind = Kind::Fail;
  bool always = false;
  std::string function;
  std::vector<std::string> arg_forms;  // how an @arg may appear in the record; empty: any call
  long long nth = 1;
  ALenum code = 0;
  long long seen = 0;  // counted calls since the rule was configured
};

struct Version {
  ALCint major = 1;
  ALCint minor = 1;
};

struct Config {
  std::optional<std::string> devices{std::string("Fake Device\0\0", 13)};
  std::optional<std::string> all_devices{std::string("Fake Device\0\0", 13)};
  std::optional<std::string> default_device{"Fake Device"};
  std::optional<std::string> default_all_device{"Fake Device"};
  std::optional<Version> null_version{Version{}};  // nullopt: nothing written
  std::optional<Version> device_version{Version{}};
  std::vector<std::string> null_extensions{"ALC_ENUMERATE_ALL_EXT", "ALC_SOFT_loopback",
                                           "ALC_EXT_thread_local_context"};
  std::vector<std::string> device_extensions{"ALC_ENUMERATE_ALL_EXT", "ALC_EXT_EFX",
                                             "ALC_SOFT_loopback",     "ALC_EXT_thread_local_context",
                                             "ALC_EXT_disconnect",    "ALC_SOFT_device_clock"};
  ALCint max_aux_sends = 2;
  ALCint64SOFT latency_ns = 25'000'000;
  std::vector<Rule> rules;
};

// What fake_openal_reset returns to its defaults.
struct Session {
  Config config;
  std::deque<std::string> record;  // deque: lines never move, fake_openal_call hands out c_str()
  std::set<std::string> strings;   // strings handed out by alcGetString, kept until reset
  std::vector<std::unique_ptr<ALCdevice>> devices;
  std::vector<std::unique_ptr<ALCcontext>> contexts;
  ALCenum null_device_error = ALC_NO_ERROR;
  ALCcontext* process_context = nullptr;
  ALuint next_name = 1;
};

struct State : Session {
  std::mutex mutex;
  std::uint64_t generation = 1;  // bumped by reset: thread contexts of older generations are void
  int log_fd = -1;
};

/// The one state of the library, never destroyed: the program may still call in while it exits.
State& state();

// Lookups; all need the lock (inside a Call).
ALCdevice* open_device(const ALCdevice* handle);     // the handle if it is an open device
ALCcontext* live_context(const ALCcontext* handle);  // the handle if it is a live context
ALCcontext* current_context();                       // the thread's own first
void set_thread_context(ALCcontext* context);
ALCenum enum_value(const char* name);               // of the names alcGetEnumValue and alGetEnumValue know, else 0
bool is_extension_function(std::string_view name);  // one that alcGetProcAddress hands out

// Record formatting.
std::string hex(long long value);
std::string text(ALfloat value);
std::string text(std::integral auto value) { return std::to_string(value); }
std::string quote(std::string_view bytes);
std::string quote(const char* text);
std::string handle(const ALCdevice* device);
std::string handle(const ALCcontext* context);

template <typename T>
std::string list(const T* values, long long count) {
  if (values == nullptr) return "null";
  std::string out = "[";
  for (long long index = 0; index < count; ++index) out += (index > 0 ? "," : "") + text(values[index]);
  return out + "]";
}

// Argument kinds a Call records differently from their C type.
struct Enum {
  long long value;
};
template <typename T>
struct List {
  const T* values;
  long long count;
};
template <typename T>
List(const T*, long long) -> List<T>;  // clang before 17 deduces no aggregate's arguments

// One entry point call: the lock, the rules' verdict, the error state and the record line.
class Call {
 public:
  template <typename... Args>
  explicit Call(const char* name, const Args&... args) : lock_(state().mutex), name_(name) {
    (add(args), ...);
    apply_rules();
  }
  ~Call();
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;

  /// Whether a fail= rule hit: the call then does nothing and returns its failure value.
  bool fails() const { return fails_; }
  /// The injected code, then no longer left pending: a failing error read returns it instead.
  ALenum take_code() { return std::exchange(code_, 0); }
  /// The current context, or nullptr when there is none or the call fails: what AL calls act on.
  ALCcontext* context() const { return fails_ ? nullptr : current_context(); }
  /// Sets the pending ALC error this call's errors go to (see fake_openal.h), unless the call
  /// fails; returns false, for a check that refuses the call.
  bool alc_error(ALCenum error) const;
  /// The pending ALC error itself, for alcGetError.
  ALCenum& pending_alc_error() const;
  /// Sets an AL error on the current context unless one is pending or the call fails.
  void al_error(ALenum error) const;

  /// An argument known only once the call has acted (the names alGenSources made).
  void output(std::string arg) { args_.push_back(std::move(arg)); }
  void result(std::string text) { result_ = std::move(text); }

 private:
  void add(const std::string& arg) { args_.push_back(arg); }
  void add(const char* string) { args_.push_back(quote(string)); }
  void add(Enum value) { args_.push_back(hex(value.value)); }
  void add(ALfloat value) { args_.push_back(text(value)); }
  void add(std::integral auto value) { args_.push_back(text(value)); }
  template <typename T>
  void add(const List<T>& values) {
    args_.push_back(list(values.values, values.count));
  }
  void add(const ALCdevice* device);
  void add(const ALCcontext* context);
  void apply_rules();

  std::unique_lock<std::mutex> lock_;
  const char* name_;
  std::vector<std::string> args_;
  std::optional<std::string> result_;
  const ALCdevice* device_arg_ = nullptr;  // the device argument, or a live context argument's device
  bool fails_ = false;
  ALenum code_ = 0;  // injected code, left pending when the call ends
};

// An entry point the program never calls: recorded by its name alone, "name(...)".
template <typename Result>
Result unrecorded_call(const char* name) {
  const Call call(name, std::string("..."));
  if constexpr (!std::is_void_v<Result>) return Result{};
}

}  // namespace fake

// Defines such an entry point with its exact signature, as the OpenAL headers declare it.
#define FAKE_STUB(result, name, parameters) \
  result AL_APIENTRY name parameters { return fake::unrecorded_call<result>(#name); }
