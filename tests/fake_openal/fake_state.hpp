// Internal state of the fake OpenAL library: objects, configuration, injected failures and the
// call record, all guarded by one mutex. Every entry point runs inside one fake::Call, which holds
// the lock for the whole call, decides whether a configured rule hits it and appends its record
// line when it ends.
#pragma once

// The OpenAL headers declare every entry point with AL_API / ALC_API; declaring them with default
// visibility here exports exactly the functions defined against those declarations, while
// -fvisibility=hidden keeps everything else in the library private.
#if defined(AL_AL_H) || defined(AL_ALC_H)
#error "fake_state.hpp must be included before the OpenAL headers"
#endif
#define AL_API extern __attribute__((visibility("default")))
#define ALC_API extern __attribute__((visibility("default")))
#include <AL/al.h>
#include <AL/alc.h>

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fake {

struct Listener {
  std::array<ALfloat, 3> position{};
  std::array<ALfloat, 3> velocity{};
  std::array<ALfloat, 6> orientation{0.0f, 0.0f, -1.0f, 0.0f, 1.0f, 0.0f};
  ALfloat gain = 1.0f;
};

struct Source {
  ALuint buffer = 0;
  ALint state = AL_INITIAL;
  long long polls_left = 0;  // AL_SOURCE_STATE queries still answering AL_PLAYING
  std::map<ALenum, std::array<ALfloat, 3>> floats;
  std::map<ALenum, std::array<ALint, 3>> ints;
};

struct Buffer {
  ALenum format = 0;
  ALsizei size = 0;
  ALsizei frequency = 0;
  std::uint64_t fnv = 0;
};

}  // namespace fake

// The opaque handle types of alc.h, completed here. Objects stay allocated until reset (see
// State::devices), so a handle is only ever compared against the registry before use.
struct ALCdevice_struct {
  unsigned number = 0;
  bool open = true;
  bool loopback = false;
  std::string name;
  ALCenum error = ALC_NO_ERROR;
};

struct ALCcontext_struct {
  unsigned number = 0;
  bool alive = true;
  ALCdevice* device = nullptr;
  ALenum error = AL_NO_ERROR;
  fake::Listener listener;
  std::map<ALuint, fake::Source> sources;
  std::map<ALuint, fake::Buffer> buffers;
};

namespace fake {

// One fail= or error= entry.
struct Rule {
  bool fail = false;
  std::string function;
  std::optional<std::string> arg;          // @arg bytes
  std::optional<long long> arg_number;     // @arg read as a number, for enum parameters
  unsigned long long nth = 1;
  ALenum code = 0;
  bool always = false;
  unsigned long long seen = 0;             // matching calls since the rule was configured
};

struct Version {
  int major = 1;
  int minor = 1;
};

struct Config {
  std::optional<std::string> devices{std::string("Fake Device\0\0", 13)};
  std::optional<std::string> all_devices{std::string("Fake Device\0\0", 13)};
  std::optional<std::string> default_device{"Fake Device"};
  std::optional<std::string> default_all_device{"Fake Device"};
  std::optional<Version> null_version{Version{}};    // nullopt: leave the output untouched
  std::optional<Version> device_version{Version{}};
  std::vector<std::string> null_extensions{"ALC_ENUMERATE_ALL_EXT", "ALC_SOFT_loopback",
                                           "ALC_EXT_thread_local_context"};
  std::vector<std::string> device_extensions{"ALC_ENUMERATE_ALL_EXT", "ALC_EXT_EFX",
                                             "ALC_SOFT_loopback", "ALC_EXT_thread_local_context"};
  ALCint max_aux_sends = 2;
  long long playing_polls = 1;
  std::vector<Rule> rules;
};

// Parses configuration text into `config` (entries applied in order). On a bad entry returns
// false with a description in `problem`; `config` is then partly updated, so callers parse into a
// copy.
bool apply_config(std::string_view text, Config& config, std::string& problem);

struct State {
  std::mutex mutex;
  Config config;
  std::deque<std::string> record;   // deque: lines never move, fake_openal_call hands out c_str()
  std::deque<std::string> strings;  // strings handed out by alcGetString and alGetString
  std::vector<std::unique_ptr<ALCdevice>> devices;
  std::vector<std::unique_ptr<ALCcontext>> contexts;
  ALCenum null_device_error = ALC_NO_ERROR;
  ALCcontext* process_context = nullptr;
  std::uint64_t generation = 1;  // bumped by reset; thread contexts of older generations are void
  unsigned next_device = 1;
  unsigned next_context = 1;
  ALuint next_name = 1;
  int log_fd = -1;

  void reset();
};

State& state();

// Which argument a @arg rule compares against.
struct Key {
  const char* text = nullptr;
  bool has_text = false;
  std::optional<long long> number;

  static Key string(const char* s) { return Key{s, true, std::nullopt}; }
  static Key param(long long value) { return Key{nullptr, false, value}; }
};

// Lookups and error state; all need the lock (inside a Call).
ALCdevice* open_device(State& s, ALCdevice* handle);        // handle if it is an open device
ALCcontext* live_context(State& s, ALCcontext* handle);     // handle if it is a live context
ALCcontext* current_context(State& s);                      // thread context first
ALCcontext* thread_context(State& s);
void set_thread_context(State& s, ALCcontext* context);
void set_alc_error(State& s, ALCdevice* open_or_null, ALCenum code);
void set_al_error(ALCcontext* context, ALenum code);          // keeps an earlier pending error
const char* intern(State& s, std::string_view bytes);        // stable until reset

// Record formatting.
std::string dec(long long value);
std::string hex(long long value);
std::string flag(bool value);
std::string quote(const char* text);
std::string quote_bytes(std::string_view bytes);
std::string number(ALfloat value);
std::string float_list(const ALfloat* values, std::size_t count);
std::string int_list(const ALint* values, std::size_t count);
std::string name_list(const ALuint* names, long long count);
std::string written(const std::vector<ALint>& values);    // "[1,2]", "[]" when nothing written
std::string written(const std::vector<ALfloat>& values);
std::string handle(State& s, const ALCdevice* device);
std::string handle(State& s, const ALCcontext* context);

// One entry point call. The constructor takes the lock and runs the configured rules; the
// destructor appends "name(args)[ = result]" to the record (and the log file) and unlocks.
class Call {
 public:
  explicit Call(const char* name, Key key = {});
  ~Call();
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;

  State& s;

  // True when a fail= rule hits this call: do nothing and return the failure value.
  bool fails() const { return fail_; }
  // The injected code (fail= or error=), 0 if none.
  ALenum injected() const { return code_; }

  template <typename... Parts>
  void args(const Parts&... parts) {
    ((append_arg(parts)), ...);
  }
  void result(std::string text) { result_ = std::move(text); }

  // Leaves the injected code pending on a device (nullptr: the null device) or on the current
  // context.
  void inject_alc(ALCdevice* open_or_null);
  void inject_al();

 private:
  void append_arg(const std::string& part);

  std::unique_lock<std::mutex> lock_;
  std::string line_;
  bool first_arg_ = true;
  std::optional<std::string> result_;
  bool fail_ = false;
  ALenum code_ = 0;
};

}  // namespace fake
