// The fake OpenAL library of the tests (its record and configuration are described in
// fake_control.hpp): its state, its entry points, the control functions FakeOpenAl calls, and the
// set-up it does when loaded.
//   It simulates what the program relies on. Each device has one pending ALC error, and so has the
// null device (a new error replaces it); each context one AL error (the first stays until read).
// A thread's own context (alcSetThreadContext) wins over the process's (alcMakeContextCurrent);
// AL calls act on the current context, and without one do nothing. Source and buffer names come
// from one counter and belong to their context, so a name of the wrong kind or context is caught.

// The OpenAL headers declare every entry point with AL_API / ALC_API; declaring them with default
// visibility exports exactly the functions defined against those declarations, while
// -fvisibility=hidden keeps everything else in the library private, the extension functions too.
#define AL_API extern __attribute__((visibility("default")))
#define ALC_API extern __attribute__((visibility("default")))
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <concepts>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "audio/entry_points.hpp"
#include "support/fnv1a.hpp"

// The control functions, exported like the entry points.
#define FAKE_OPENAL_API extern "C" __attribute__((visibility("default")))

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
  std::map<ALenum, std::vector<ALfloat>> listener{{AL_POSITION, {0.0F, 0.0F, 0.0F}},
                                                  {AL_VELOCITY, {0.0F, 0.0F, 0.0F}},
                                                  {AL_ORIENTATION, {0.0F, 0.0F, -1.0F, 0.0F, 1.0F, 0.0F}}};
  std::map<ALuint, ALuint> sources;  // name -> attached buffer, 0 for none
  std::set<ALuint> buffers;
};

namespace {

// One fail=, error=, disconnect= or signal= entry.
struct Rule {
  enum class Kind : std::uint8_t { Fail, Error, Disconnect, Signal };
  Kind kind = Kind::Fail;
  bool always = false;
  std::string function;
  std::vector<std::string> arg_forms;  // how an @arg may appear in the record; empty: any call
  long long nth = 1;
  ALenum code = 0;     // the signal's number for signal=
  long long seen = 0;  // counted calls since the rule was configured
};

struct Config {
  // What alcGetString answers, by its parameter; nullopt: NULL.
  std::map<ALCenum, std::optional<std::string>> alc_strings{
      {ALC_DEVICE_SPECIFIER, std::string("Fake Device\0\0", 13)},
      {ALC_ALL_DEVICES_SPECIFIER, std::string("Fake Device\0\0", 13)},
      {ALC_DEFAULT_DEVICE_SPECIFIER, "Fake Device"},
      {ALC_DEFAULT_ALL_DEVICES_SPECIFIER, "Fake Device"}};
  std::optional<std::array<ALCint, 2>> null_version{{1, 1}};  // major, minor; nullopt: nothing written
  std::optional<std::array<ALCint, 2>> device_version{{1, 1}};
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
  std::uint64_t resets = 0;
  int log_fd = -1;
};

/// The one state of the library, never destroyed: the program may still call in while it exits.
State& state() {
  static auto* instance = new State;
  return *instance;
}

// The calling thread's own context, and the reset count when it was set: a reset voids it, since
// it may point at a context the reset freed.
thread_local std::pair<ALCcontext*, std::uint64_t> thread_context{nullptr, 0};

// The object a handle stands for if it was issued since the last reset, else nullptr.
template <typename T>
T* known(const std::vector<std::unique_ptr<T>>& registry, const T* handle) {
  const auto found = std::ranges::find(registry, handle, &std::unique_ptr<T>::get);
  return handle != nullptr && found != registry.end() ? found->get() : nullptr;
}

ALCdevice* open_device(const ALCdevice* handle) {
  ALCdevice* device = known(state().devices, handle);
  return device != nullptr && device->open ? device : nullptr;
}

ALCcontext* live_context(const ALCcontext* handle) {
  ALCcontext* context = known(state().contexts, handle);
  return context != nullptr && context->alive ? context : nullptr;
}

// The thread's own context wins over the process's.
ALCcontext* current_context() {
  const bool own = thread_context.second == state().resets && thread_context.first != nullptr;
  return live_context(own ? thread_context.first : state().process_context);
}

std::string hex(long long value) {
  std::ostringstream out;
  out << (value < 0 ? "-0x" : "0x") << std::uppercase << std::hex << (value < 0 ? 0ULL - value : value);
  return out.str();
}

std::string text(ALfloat value) {
  std::string out(32, '\0');
  out.resize(static_cast<std::size_t>(std::to_chars(out.data(), out.data() + out.size(), value).ptr - out.data()));
  return out;
}

std::string text(std::integral auto value) { return std::to_string(value); }

std::string quote(std::string_view bytes) {
  std::string out = "\"";
  for (const unsigned char byte : bytes) {
    if (byte >= 0x20 && byte <= 0x7E && byte != '"' && byte != '\\') {
      out.push_back(static_cast<char>(byte));
    } else {
      out += {'\\', 'x', "0123456789ABCDEF"[byte >> 4U], "0123456789ABCDEF"[byte & 0xFU]};
    }
  }
  return out + "\"";
}

std::string quote(const char* text) { return text == nullptr ? "null" : quote(std::string_view(text)); }

// dev1, ctx2: the place in the registry; dev? for a pointer never issued.
template <typename T>
std::string handle_name(const std::vector<std::unique_ptr<T>>& registry, const T* handle, const char* kind) {
  const auto found = std::ranges::find(registry, handle, &std::unique_ptr<T>::get);
  if (handle == nullptr) return "null";
  return kind + (found != registry.end() ? std::to_string(found - registry.begin() + 1) : "?");
}

std::string handle(const ALCdevice* device) { return handle_name(state().devices, device, "dev"); }
std::string handle(const ALCcontext* context) { return handle_name(state().contexts, context, "ctx"); }

template <typename T>
std::string list(const T* values, long long count) {
  if (values == nullptr) return "null";
  std::string out = "[";
  for (long long index = 0; index < count; ++index) out += (index > 0 ? "," : "") + text(values[index]);
  return out + "]";
}

void write_all(int descriptor, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
    if (written < 0 && errno != EINTR) return;
    if (written > 0) bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

// One entry point call. It holds the lock for the whole call, records the arguments, decides
// whether a configured rule hits the call, and when it ends leaves the injected code pending and
// appends the record line.
class Call {
 public:
  template <typename... Args>
  explicit Call(const char* name, const Args&... args) : lock_(state().mutex), name_(name) {
    (add(args), ...);
    apply_rules();
  }
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;

  ~Call() {
    if (code_ != 0 && std::string_view(name_).starts_with("alc")) {
      pending_alc_error() = code_;
    } else if (ALCcontext* context = current_context(); code_ != 0 && context != nullptr) {
      context->error = code_;
    }
    std::string line = std::string(name_) + "(";
    for (std::size_t index = 0; index < args_.size(); ++index) line += (index > 0 ? ", " : "") + args_[index];
    line += result_ ? ") = " + *result_ : ")";
    if (state().log_fd >= 0) write_all(state().log_fd, line + "\n");
    state().record.push_back(std::move(line));
    if (signal_ != 0) kill(getpid(), signal_);
  }

  /// Whether a fail= rule hit: the call then does nothing and returns its failure value.
  bool fails() const { return fails_; }
  /// The injected code, then no longer left pending: a failing error read returns it instead.
  ALenum take_code() { return std::exchange(code_, 0); }
  /// The current context, or nullptr when there is none or the call fails: what AL calls act on.
  ALCcontext* context() const { return fails_ ? nullptr : current_context(); }
  /// The pending ALC error of the device argument (or a live context argument's device) if that
  /// device is open, else of the null device.
  ALCenum& pending_alc_error() const {
    ALCdevice* device = open_device(device_arg_);
    return device != nullptr ? device->error : state().null_device_error;
  }
  /// Sets the pending ALC error unless the call fails; returns false, for a check that refuses.
  bool alc_error(ALCenum error) const {
    if (!fails_) pending_alc_error() = error;
    return false;
  }
  /// Sets an AL error on the current context unless one is pending or the call fails.
  void al_error(ALenum error) const {
    ALCcontext* context = current_context();
    if (!fails_ && context != nullptr && context->error == AL_NO_ERROR) context->error = error;
  }

  /// An argument known only once the call has acted (the names alGenSources made).
  void output(std::string arg) { args_.push_back(std::move(arg)); }
  void result(std::string text) { result_ = std::move(text); }

 private:
  // Arguments as they are recorded: integers in decimal, strings quoted, handles by name; enums
  // and arrays come formatted (hex, list).
  void add(const std::string& arg) { args_.push_back(arg); }
  void add(const char* string) { args_.push_back(quote(string)); }
  void add(std::integral auto value) { args_.push_back(text(value)); }
  void add(const ALCdevice* device) {
    device_arg_ = device;
    args_.push_back(handle(device));
  }
  void add(const ALCcontext* context) {
    const ALCcontext* live = live_context(context);
    device_arg_ = live != nullptr ? live->device : nullptr;
    args_.push_back(handle(context));
  }

  // Counts the call for every rule on it; the first fail= code that hits wins, else the first
  // error= code.
  void apply_rules() {
    std::optional<ALenum> fail_code;
    std::optional<ALenum> error_code;
    for (Rule& rule : state().config.rules) {
      if (rule.function != name_) continue;
      if (!rule.arg_forms.empty() && std::ranges::find_first_of(rule.arg_forms, args_) == rule.arg_forms.end()) {
        continue;
      }
      ++rule.seen;
      if (rule.always ? rule.seen < rule.nth : rule.seen != rule.nth) continue;
      if (rule.kind == Rule::Kind::Disconnect) {
        for (const auto& device : state().devices) device->connected = false;
      } else if (rule.kind == Rule::Kind::Signal) {
        signal_ = rule.code;
      } else {
        auto& code_of_kind = rule.kind == Rule::Kind::Fail ? fail_code : error_code;
        if (!code_of_kind) code_of_kind = rule.code;
      }
    }
    fails_ = fail_code.has_value();
    code_ = fail_code.value_or(error_code.value_or(0));
  }

  std::unique_lock<std::mutex> lock_;
  const char* name_;
  std::vector<std::string> args_;
  std::optional<std::string> result_;
  const ALCdevice* device_arg_ = nullptr;  // the device argument, or a live context argument's device
  bool fails_ = false;
  ALenum code_ = 0;  // injected code, left pending when the call ends
  int signal_ = 0;   // sent to the process when the call ends
};

// An entry point the program never calls: recorded by its name alone, "name(...)".
template <typename Result>
Result unrecorded_call(const char* name) {
  const Call call(name, std::string("..."));
  if constexpr (!std::is_void_v<Result>) return Result{};
}

// Defines such an entry point with its exact signature, as the OpenAL headers declare it.
#define FAKE_STUB(result, name, parameters) \
  result AL_APIENTRY name parameters { return unrecorded_call<result>(#name); }

ALCboolean answer(Call& call, bool done) {
  call.result(done ? "1" : "0");
  return done ? ALC_TRUE : ALC_FALSE;
}

// Whether `context` may be made current: NULL or live, else ALC_INVALID_CONTEXT.
bool usable_context(const Call& call, const ALCcontext* context) {
  if (context != nullptr && live_context(context) == nullptr) return call.alc_error(ALC_INVALID_CONTEXT);
  return !call.fails();
}

// Whether an ALC query goes ahead: the call is not made to fail, `device` is NULL or open (else
// ALC_INVALID_DEVICE) and `name` is not NULL (else ALC_INVALID_VALUE).
bool query(const Call& call, const ALCdevice* device, const char* name = "") {
  if (device != nullptr && open_device(device) == nullptr) return call.alc_error(ALC_INVALID_DEVICE);
  return name == nullptr ? call.alc_error(ALC_INVALID_VALUE) : !call.fails();
}

// The extension functions: internal linkage, reachable only through alcGetProcAddress.

ALCboolean ALC_APIENTRY alcSetThreadContext(ALCcontext* context) {
  Call call("alcSetThreadContext", context);
  const bool usable = usable_context(call, context);
  if (usable) thread_context = {context, state().resets};
  return answer(call, usable);
}

void ALC_APIENTRY alcGetInteger64vSOFT(ALCdevice* device, ALCenum pname, ALsizei size, ALCint64SOFT* values) {
  Call call("alcGetInteger64vSOFT", device, hex(pname), size);
  const bool open = open_device(device) != nullptr;
  const bool answered = open && pname == ALC_DEVICE_LATENCY_SOFT && size > 0 && values != nullptr && !call.fails();
  if (answered) *values = state().config.latency_ns;
  if (!answered) call.alc_error(open ? ALC_INVALID_ENUM : ALC_INVALID_DEVICE);
  call.result(answered ? "[" + text(*values) + "]" : "[]");
}

FAKE_STUB(ALCcontext*, alcGetThreadContext, ())
FAKE_STUB(ALCdevice*, alcLoopbackOpenDeviceSOFT, (const ALCchar*))
FAKE_STUB(ALCboolean, alcIsRenderFormatSupportedSOFT, (ALCdevice*, ALCsizei, ALCenum, ALCenum))
FAKE_STUB(void, alcRenderSamplesSOFT, (ALCdevice*, ALCvoid*, ALCsizei))

#define FAKE_FUNCTION(name) std::pair<std::string_view, void*>(#name, reinterpret_cast<void*>(&(name)))
const std::array extension_functions{
    FAKE_FUNCTION(alcSetThreadContext),       FAKE_FUNCTION(alcGetThreadContext),
    FAKE_FUNCTION(alcLoopbackOpenDeviceSOFT), FAKE_FUNCTION(alcIsRenderFormatSupportedSOFT),
    FAKE_FUNCTION(alcRenderSamplesSOFT),      FAKE_FUNCTION(alcGetInteger64vSOFT)};
#undef FAKE_FUNCTION

// The constants of the ALC extensions the fake offers, for alcGetEnumValue; several names a line.
#define FAKE_ENUM(name) std::pair<std::string_view, ALCenum>(#name, (name))
// clang-format off
constexpr std::array enums{
    FAKE_ENUM(ALC_DEFAULT_ALL_DEVICES_SPECIFIER), FAKE_ENUM(ALC_ALL_DEVICES_SPECIFIER), FAKE_ENUM(ALC_CONNECTED),
    FAKE_ENUM(ALC_EFX_MAJOR_VERSION), FAKE_ENUM(ALC_EFX_MINOR_VERSION), FAKE_ENUM(ALC_MAX_AUXILIARY_SENDS),
    FAKE_ENUM(ALC_DEVICE_LATENCY_SOFT), FAKE_ENUM(ALC_FORMAT_CHANNELS_SOFT), FAKE_ENUM(ALC_FORMAT_TYPE_SOFT),
    FAKE_ENUM(ALC_BYTE_SOFT), FAKE_ENUM(ALC_UNSIGNED_BYTE_SOFT), FAKE_ENUM(ALC_SHORT_SOFT),
    FAKE_ENUM(ALC_UNSIGNED_SHORT_SOFT), FAKE_ENUM(ALC_INT_SOFT), FAKE_ENUM(ALC_UNSIGNED_INT_SOFT),
    FAKE_ENUM(ALC_FLOAT_SOFT), FAKE_ENUM(ALC_MONO_SOFT), FAKE_ENUM(ALC_STEREO_SOFT), FAKE_ENUM(ALC_QUAD_SOFT),
    FAKE_ENUM(ALC_5POINT1_SOFT), FAKE_ENUM(ALC_6POINT1_SOFT), FAKE_ENUM(ALC_7POINT1_SOFT)};
// clang-format on
#undef FAKE_ENUM

// The entry of a table of names, or nullptr.
template <typename Table>
const typename Table::value_type* lookup(const Table& table, std::string_view name) {
  const auto found = std::ranges::find(table, name, &Table::value_type::first);
  return found != table.end() ? &*found : nullptr;
}

ALCenum enum_value(const char* name) {
  const auto* found = lookup(enums, name != nullptr ? name : "");
  return found != nullptr ? found->second : 0;
}

// A configured string as alcGetString hands it out: stable until reset, with two extra NULs so
// that a device list configured without its terminator still ends; the record shows the bytes.
const ALCchar* string_answer(Call& call, const std::optional<std::string>& bytes) {
  call.result(bytes ? quote(*bytes) : "null");
  return bytes ? state().strings.insert(*bytes + std::string(2, '\0')).first->c_str() : nullptr;
}

// What alcGetIntegerv writes (one value), or nothing after setting an error.
std::optional<ALCint> integer(const Call& call, const ALCdevice* device, ALCenum param, ALCsizei size,
                              const ALCint* values) {
  const Config& config = state().config;
  if (size <= 0 || values == nullptr) {
    call.alc_error(ALC_INVALID_VALUE);
  } else if (param == ALC_MAJOR_VERSION || param == ALC_MINOR_VERSION) {
    const auto& version = device != nullptr ? config.device_version : config.null_version;
    if (version) return (*version)[param == ALC_MAJOR_VERSION ? 0 : 1];
  } else if (param == ALC_MAX_AUXILIARY_SENDS || param == ALC_CONNECTED) {
    if (device != nullptr) return param == ALC_CONNECTED ? ALCint{device->connected} : config.max_aux_sends;
    call.alc_error(ALC_INVALID_DEVICE);
  } else {
    call.alc_error(ALC_INVALID_ENUM);
  }
  return std::nullopt;
}

// Whether a call's count and array can be read: `count` names from `names`, or AL_INVALID_VALUE.
bool valid_array(const Call& call, ALsizei count, const void* names) {
  if (count >= 0 && (count == 0 || names != nullptr)) return true;
  call.al_error(AL_INVALID_VALUE);
  return false;
}

// alGenSources and alGenBuffers: names from the one counter, each added to the context by `add`.
template <typename Add>
void generate(Call& call, ALsizei count, ALuint* names, Add add) {
  std::vector<ALuint> made;
  if (ALCcontext* context = call.context(); context != nullptr && valid_array(call, count, names)) {
    for (ALuint& name : std::span(names, static_cast<std::size_t>(count))) {
      name = state().next_name++;
      add(*context, name);
      made.push_back(name);
    }
  }
  call.output(list(made.data(), static_cast<long long>(made.size())));
}

// Whether every name is known to the context (0 may stand for no buffer); else AL_INVALID_NAME.
template <typename Known>
bool all_known(const Call& call, std::span<const ALuint> names, Known is_known) {
  if (std::ranges::all_of(names, is_known)) return true;
  call.al_error(AL_INVALID_NAME);
  return false;
}

// The listener value `param` of the context the call acts on, or nullptr; when the call acts, a
// value the fake does not keep is AL_INVALID_ENUM and a NULL array AL_INVALID_VALUE.
std::vector<ALfloat>* listener_value(const Call& call, ALenum param, const void* values) {
  ALCcontext* context = call.context();
  if (context == nullptr) return nullptr;
  const auto stored = context->listener.find(param);
  if (stored != context->listener.end() && values != nullptr) return &stored->second;
  call.al_error(stored == context->listener.end() ? AL_INVALID_ENUM : AL_INVALID_VALUE);
  return nullptr;
}

}  // namespace

extern "C" {

ALCcontext* ALC_APIENTRY alcCreateContext(ALCdevice* device, const ALCint* attrlist) {
  long long length = 0;  // the attributes through their terminating 0
  while (attrlist != nullptr && attrlist[length++] != 0) continue;
  Call call("alcCreateContext", device, list(attrlist, length));
  ALCdevice* open = open_device(device);
  ALCcontext* context = nullptr;
  if (open == nullptr) {
    call.alc_error(ALC_INVALID_DEVICE);
  } else if (!call.fails()) {
    context = state().contexts.emplace_back(std::make_unique<ALCcontext>()).get();
    context->device = open;
  }
  call.result(handle(context));
  return context;
}

ALCboolean ALC_APIENTRY alcMakeContextCurrent(ALCcontext* context) {
  Call call("alcMakeContextCurrent", context);
  const bool usable = usable_context(call, context);
  if (usable) {
    // As in OpenAL Soft, the calling thread's own context is dropped so that the new one is used.
    state().process_context = context;
    thread_context = {nullptr, state().resets};
  }
  return answer(call, usable);
}

void ALC_APIENTRY alcDestroyContext(ALCcontext* context) {
  const Call call("alcDestroyContext", context);
  ALCcontext* live = live_context(context);
  if (live == nullptr) call.alc_error(ALC_INVALID_CONTEXT);
  // No longer current anywhere from then on: current_context() answers only live contexts.
  if (live != nullptr && !call.fails()) live->alive = false;
}

ALCdevice* ALC_APIENTRY alcOpenDevice(const ALCchar* devicename) {
  Call call("alcOpenDevice", devicename);
  ALCdevice* device = call.fails() ? nullptr : state().devices.emplace_back(std::make_unique<ALCdevice>()).get();
  call.result(handle(device));
  return device;
}

ALCboolean ALC_APIENTRY alcCloseDevice(ALCdevice* device) {
  Call call("alcCloseDevice", device);
  ALCdevice* open = open_device(device);
  // Retired even when the call is made to fail, so that a failing close cannot leak the device.
  if (open != nullptr) open->open = false;
  return answer(call, open != nullptr ? !call.fails() : call.alc_error(ALC_INVALID_DEVICE));
}

ALCenum ALC_APIENTRY alcGetError(ALCdevice* device) {
  Call call("alcGetError", device);
  ALCenum error = ALC_INVALID_DEVICE;
  if (call.fails()) {
    error = call.take_code();  // returned in place of the pending error, which stays
  } else if (device == nullptr || open_device(device) != nullptr) {
    error = std::exchange(call.pending_alc_error(), ALC_NO_ERROR);
  }
  call.result(hex(error));
  return error;
}

ALCboolean ALC_APIENTRY alcIsExtensionPresent(ALCdevice* device, const ALCchar* extname) {
  Call call("alcIsExtensionPresent", device, extname);
  if (!query(call, device, extname)) return answer(call, false);
  // Extension names compare without regard to case, as in OpenAL Soft.
  const auto& names = device != nullptr ? state().config.device_extensions : state().config.null_extensions;
  return answer(call,
                std::ranges::any_of(names, [&](const auto& name) { return strcasecmp(name.c_str(), extname) == 0; }));
}

void* ALC_APIENTRY alcGetProcAddress(ALCdevice* device, const ALCchar* funcname) {
  Call call("alcGetProcAddress", device, funcname);
  const auto* found = query(call, device, funcname) ? lookup(extension_functions, funcname) : nullptr;
  call.result(found != nullptr ? "&" + std::string(found->first) : "null");
  return found != nullptr ? found->second : nullptr;
}

ALCenum ALC_APIENTRY alcGetEnumValue(ALCdevice* device, const ALCchar* enumname) {
  Call call("alcGetEnumValue", device, enumname);
  const ALCenum value = query(call, device, enumname) ? enum_value(enumname) : 0;
  call.result(hex(value));
  return value;
}

// The device lists and default names; the program asks them of the null device only.
const ALCchar* ALC_APIENTRY alcGetString(ALCdevice* device, ALCenum param) {
  Call call("alcGetString", device, hex(param));
  const auto& strings = state().config.alc_strings;
  const auto found = strings.find(param);
  if (!query(call, device)) return string_answer(call, std::nullopt);
  if (found == strings.end()) call.alc_error(ALC_INVALID_ENUM);
  return string_answer(call, found != strings.end() ? found->second : std::nullopt);
}

void ALC_APIENTRY alcGetIntegerv(ALCdevice* device, ALCenum param, ALCsizei size, ALCint* values) {
  Call call("alcGetIntegerv", device, hex(param), size);
  const std::optional<ALCint> value =
      query(call, device) ? integer(call, open_device(device), param, size, values) : std::nullopt;
  if (value) *values = *value;
  call.result(value ? "[" + text(*value) + "]" : "[]");
}

ALenum AL_APIENTRY alGetError(void) {
  Call call("alGetError");
  ALenum error = AL_INVALID_OPERATION;  // without a current context
  if (call.fails()) {
    error = call.take_code();  // returned in place of the pending error, which stays
  } else if (ALCcontext* context = current_context(); context != nullptr) {
    error = std::exchange(context->error, AL_NO_ERROR);
  }
  call.result(hex(error));
  return error;
}

ALboolean AL_APIENTRY alIsExtensionPresent(const ALchar* extname) {
  Call call("alIsExtensionPresent", extname);
  if (call.context() != nullptr && extname == nullptr) call.al_error(AL_INVALID_VALUE);
  call.result("0");  // no AL extension: the program asks for none
  return AL_FALSE;
}

ALenum AL_APIENTRY alGetEnumValue(const ALchar* ename) {
  Call call("alGetEnumValue", ename);
  call.result("0x0");  // no AL extension, so no constant of one
  return 0;
}

void* AL_APIENTRY alGetProcAddress(const ALchar* fname) {
  Call call("alGetProcAddress", fname);
  call.result("null");
  return nullptr;
}

// The listener keeps what alListenerfv sets, for alGetListenerfv to read back.
void AL_APIENTRY alListenerfv(ALenum param, const ALfloat* values) {
  const long long length = param == AL_ORIENTATION ? 6 : param == AL_POSITION || param == AL_VELOCITY ? 3 : 1;
  const Call call("alListenerfv", hex(param), list(values, length));
  if (auto* stored = listener_value(call, param, values)) std::copy(values, values + length, stored->begin());
}

void AL_APIENTRY alGetListenerfv(ALenum param, ALfloat* values) {
  Call call("alGetListenerfv", hex(param));
  const auto* stored = listener_value(call, param, values);
  if (stored != nullptr) std::ranges::copy(*stored, values);
  call.result(stored != nullptr ? list(stored->data(), static_cast<long long>(stored->size())) : "[]");
}

void AL_APIENTRY alGenSources(ALsizei n, ALuint* sources) {
  Call call("alGenSources", n);
  generate(call, n, sources, [](ALCcontext& context, ALuint name) { context.sources[name] = 0; });
}

void AL_APIENTRY alDeleteSources(ALsizei n, const ALuint* sources) {
  const Call call("alDeleteSources", n, list(sources, n));
  ALCcontext* context = call.context();
  if (context == nullptr || !valid_array(call, n, sources)) return;
  const std::span names(sources, static_cast<std::size_t>(n));
  if (!all_known(call, names, [&](ALuint name) { return context->sources.contains(name); })) return;
  for (const ALuint name : names) context->sources.erase(name);
}

// Only AL_BUFFER acts: it attaches a buffer of the context, or detaches with 0.
void AL_APIENTRY alSourcei(ALuint source, ALenum param, ALint value) {
  const Call call("alSourcei", source, hex(param), value);
  ALCcontext* context = call.context();
  if (context == nullptr) return;
  const auto buffer = static_cast<ALuint>(value);
  if (!context->sources.contains(source)) {
    call.al_error(AL_INVALID_NAME);
  } else if (param == AL_BUFFER && buffer != 0 && !context->buffers.contains(buffer)) {
    call.al_error(AL_INVALID_VALUE);
  } else if (param == AL_BUFFER) {
    context->sources[source] = buffer;
  }
}

void AL_APIENTRY alSourcePlay(ALuint source) {
  const Call call("alSourcePlay", source);
  if (ALCcontext* context = call.context(); context != nullptr && !context->sources.contains(source)) {
    call.al_error(AL_INVALID_NAME);
  }
}

void AL_APIENTRY alGenBuffers(ALsizei n, ALuint* buffers) {
  Call call("alGenBuffers", n);
  generate(call, n, buffers, [](ALCcontext& context, ALuint name) { context.buffers.insert(name); });
}

// Name 0 is the null buffer and is skipped; any other must exist and be attached to no source.
void AL_APIENTRY alDeleteBuffers(ALsizei n, const ALuint* buffers) {
  const Call call("alDeleteBuffers", n, list(buffers, n));
  ALCcontext* context = call.context();
  if (context == nullptr || !valid_array(call, n, buffers)) return;
  const std::span names(buffers, static_cast<std::size_t>(n));
  if (!all_known(call, names, [&](ALuint name) { return name == 0 || context->buffers.contains(name); })) return;
  const auto attached = [&](ALuint name) {
    return std::ranges::any_of(context->sources,
                               [&](const auto& source) { return name != 0 && source.second == name; });
  };
  if (std::ranges::any_of(names, attached)) {
    call.al_error(AL_INVALID_OPERATION);
    return;
  }
  for (const ALuint name : names) context->buffers.erase(name);
}

// Checks the name, size and frequency and keeps nothing of the data: the record names the data
// by its hash.
void AL_APIENTRY alBufferData(ALuint buffer, ALenum format, const ALvoid* data, ALsizei size, ALsizei freq) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  const Call call("alBufferData", buffer, hex(format), "size=" + text(size), "freq=" + text(freq),
                  data != nullptr ? "fnv=" + hex16(fnv1a({bytes, static_cast<std::size_t>(std::max(size, 0))}))
                                  : std::string("data=null"));
  ALCcontext* context = call.context();
  if (context == nullptr) return;
  if (!context->buffers.contains(buffer)) {
    call.al_error(AL_INVALID_NAME);
  } else if (size < 0 || freq < 1) {
    call.al_error(AL_INVALID_VALUE);
  }
}

FAKE_STUB(void, alcProcessContext, (ALCcontext*))
FAKE_STUB(void, alcSuspendContext, (ALCcontext*))
FAKE_STUB(ALCcontext*, alcGetCurrentContext, ())
FAKE_STUB(ALCdevice*, alcGetContextsDevice, (ALCcontext*))
FAKE_STUB(ALCdevice*, alcCaptureOpenDevice, (const ALCchar*, ALCuint, ALCenum, ALCsizei))
FAKE_STUB(ALCboolean, alcCaptureCloseDevice, (ALCdevice*))
FAKE_STUB(void, alcCaptureStart, (ALCdevice*))
FAKE_STUB(void, alcCaptureStop, (ALCdevice*))
// Not exported by the fake-openal-missing library (exports-missing.map).
FAKE_STUB(void, alcCaptureSamples, (ALCdevice*, ALCvoid*, ALCsizei))

FAKE_STUB(void, alDopplerFactor, (ALfloat))
FAKE_STUB(void, alDopplerVelocity, (ALfloat))
FAKE_STUB(void, alSpeedOfSound, (ALfloat))
FAKE_STUB(void, alDistanceModel, (ALenum))
FAKE_STUB(void, alEnable, (ALenum))
FAKE_STUB(void, alDisable, (ALenum))
FAKE_STUB(ALboolean, alIsEnabled, (ALenum))
FAKE_STUB(const ALchar*, alGetString, (ALenum))
FAKE_STUB(void, alGetBooleanv, (ALenum, ALboolean*))
FAKE_STUB(void, alGetIntegerv, (ALenum, ALint*))
FAKE_STUB(void, alGetFloatv, (ALenum, ALfloat*))
FAKE_STUB(void, alGetDoublev, (ALenum, ALdouble*))
FAKE_STUB(ALboolean, alGetBoolean, (ALenum))
FAKE_STUB(ALint, alGetInteger, (ALenum))
FAKE_STUB(ALfloat, alGetFloat, (ALenum))
FAKE_STUB(ALdouble, alGetDouble, (ALenum))
FAKE_STUB(void, alListenerf, (ALenum, ALfloat))
FAKE_STUB(void, alListener3f, (ALenum, ALfloat, ALfloat, ALfloat))
FAKE_STUB(void, alListeneri, (ALenum, ALint))
FAKE_STUB(void, alListener3i, (ALenum, ALint, ALint, ALint))
FAKE_STUB(void, alListeneriv, (ALenum, const ALint*))
FAKE_STUB(void, alGetListenerf, (ALenum, ALfloat*))
FAKE_STUB(void, alGetListener3f, (ALenum, ALfloat*, ALfloat*, ALfloat*))
FAKE_STUB(void, alGetListeneri, (ALenum, ALint*))
FAKE_STUB(void, alGetListener3i, (ALenum, ALint*, ALint*, ALint*))
FAKE_STUB(void, alGetListeneriv, (ALenum, ALint*))
FAKE_STUB(ALboolean, alIsSource, (ALuint))
FAKE_STUB(void, alSourcef, (ALuint, ALenum, ALfloat))
FAKE_STUB(void, alSource3f, (ALuint, ALenum, ALfloat, ALfloat, ALfloat))
FAKE_STUB(void, alSourcefv, (ALuint, ALenum, const ALfloat*))
FAKE_STUB(void, alSource3i, (ALuint, ALenum, ALint, ALint, ALint))
FAKE_STUB(void, alSourceiv, (ALuint, ALenum, const ALint*))
FAKE_STUB(void, alGetSourcef, (ALuint, ALenum, ALfloat*))
FAKE_STUB(void, alGetSource3f, (ALuint, ALenum, ALfloat*, ALfloat*, ALfloat*))
FAKE_STUB(void, alGetSourcefv, (ALuint, ALenum, ALfloat*))
FAKE_STUB(void, alGetSourcei, (ALuint, ALenum, ALint*))
FAKE_STUB(void, alGetSource3i, (ALuint, ALenum, ALint*, ALint*, ALint*))
FAKE_STUB(void, alGetSourceiv, (ALuint, ALenum, ALint*))
FAKE_STUB(void, alSourcePlayv, (ALsizei, const ALuint*))
FAKE_STUB(void, alSourceStopv, (ALsizei, const ALuint*))
FAKE_STUB(void, alSourceRewindv, (ALsizei, const ALuint*))
FAKE_STUB(void, alSourcePausev, (ALsizei, const ALuint*))
FAKE_STUB(void, alSourceStop, (ALuint))
FAKE_STUB(void, alSourceRewind, (ALuint))
FAKE_STUB(void, alSourcePause, (ALuint))
FAKE_STUB(void, alSourceQueueBuffers, (ALuint, ALsizei, const ALuint*))
FAKE_STUB(void, alSourceUnqueueBuffers, (ALuint, ALsizei, ALuint*))
FAKE_STUB(ALboolean, alIsBuffer, (ALuint))
FAKE_STUB(void, alBufferf, (ALuint, ALenum, ALfloat))
FAKE_STUB(void, alBuffer3f, (ALuint, ALenum, ALfloat, ALfloat, ALfloat))
FAKE_STUB(void, alBufferfv, (ALuint, ALenum, const ALfloat*))
FAKE_STUB(void, alBufferi, (ALuint, ALenum, ALint))
FAKE_STUB(void, alBuffer3i, (ALuint, ALenum, ALint, ALint, ALint))
FAKE_STUB(void, alBufferiv, (ALuint, ALenum, const ALint*))
FAKE_STUB(void, alGetBufferf, (ALuint, ALenum, ALfloat*))
FAKE_STUB(void, alGetBuffer3f, (ALuint, ALenum, ALfloat*, ALfloat*, ALfloat*))
FAKE_STUB(void, alGetBufferfv, (ALuint, ALenum, ALfloat*))
FAKE_STUB(void, alGetBufferi, (ALuint, ALenum, ALint*))
FAKE_STUB(void, alGetBuffer3i, (ALuint, ALenum, ALint*, ALint*, ALint*))
FAKE_STUB(void, alGetBufferiv, (ALuint, ALenum, ALint*))

}  // extern "C"

namespace {

std::string_view trim(std::string_view text) {
  text.remove_prefix(std::min(text.find_first_not_of(" \t\r"), text.size()));
  return text.substr(0, text.find_last_not_of(" \t\r") + 1);
}

// Decimal, or hexadecimal after 0x, with an optional '-', from `lowest` to `highest`; a bad entry
// throws std::invalid_argument saying why.
long long number(std::string_view text, long long lowest = 0, long long highest = 0x7FFFFFFF) {
  const bool negative = text.starts_with('-');
  const int base = text.substr(negative ? 1 : 0).starts_with("0x") ? 16 : 10;
  text.remove_prefix((negative ? 1 : 0) + (base == 16 ? 2 : 0));
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  value = negative ? -value : value;
  if (text.empty() || text.starts_with('-') || error != std::errc{} || end != text.data() + text.size() ||
      value < lowest || value > highest) {
    throw std::invalid_argument("expected a number from " + std::to_string(lowest) + " to " + std::to_string(highest));
  }
  return value;
}

// A byte value: \0 stands for a NUL and \xNN for any byte.
std::string decode_bytes(std::string_view text) {
  std::string out;
  for (std::size_t index = 0; index < text.size(); ++index) {
    const std::string_view rest = text.substr(index);
    if (!rest.starts_with('\\')) {
      out.push_back(rest[0]);
    } else if (rest.starts_with("\\0")) {
      out.push_back('\0');
      ++index;
    } else if (rest.starts_with("\\x") && rest.size() >= 4) {
      out.push_back(static_cast<char>(number("0x" + std::string(rest.substr(2, 2)))));
      index += 3;
    } else {
      throw std::invalid_argument("bad escape in " + std::string(text));
    }
  }
  return out;
}

std::optional<std::array<ALCint, 2>> parse_version(std::string_view text) {
  if (text == "untouched") return std::nullopt;
  const auto dot = text.find('.');
  if (dot == std::string_view::npos) throw std::invalid_argument("expected M.m or untouched");
  return std::array{static_cast<ALCint>(number(text.substr(0, dot))),
                    static_cast<ALCint>(number(text.substr(dot + 1)))};
}

std::vector<std::string> split_names(std::string_view text) {
  std::istringstream words{std::string(text)};
  std::vector<std::string> names;
  for (std::string name; words >> name;) names.push_back(name);
  return names;
}

// <function>[@<arg>]:<N>:<code>[:always], without :<code> for a disconnect, read from the right so
// that <arg> may hold ':'.
Rule parse_rule(std::string_view text, Rule::Kind kind) {
  Rule rule;
  rule.kind = kind;
  rule.always = text.ends_with(":always");
  if (rule.always) text.remove_suffix(std::string_view(":always").size());
  const auto last_field = [&text](const char* expected) {  // taken off `text`
    const auto colon = text.rfind(':');
    if (colon == std::string_view::npos) throw std::invalid_argument(std::string("expected ") + expected);
    const std::string_view field = text.substr(colon + 1);
    text = text.substr(0, colon);
    return field;
  };
  if (kind != Rule::Kind::Disconnect) {
    rule.code = static_cast<ALenum>(number(last_field("<function>[@<arg>]:<N>:<code>[:always]")));
  }
  rule.nth = number(last_field("<function>[@<arg>]:<N>"), 1, 0x7FFFFFFFFFFFFFFF);
  const auto at = text.find('@');
  rule.function = text.substr(0, at);
  // The names a rule may count: the core entry points and the extension functions.
#define FAKE_NAME(type, name) #name,
  constexpr std::string_view core[] = {AUDIO_ALC_ENTRY_POINTS(FAKE_NAME) AUDIO_AL_ENTRY_POINTS(FAKE_NAME)};
#undef FAKE_NAME
  if (std::ranges::find(core, rule.function) == std::end(core) &&
      lookup(extension_functions, rule.function) == nullptr) {
    throw std::invalid_argument("unknown function " + rule.function);
  }
  if (at != std::string_view::npos) {
    const std::string arg = decode_bytes(text.substr(at + 1));
    rule.arg_forms = {arg, quote(arg)};
  }
  return rule;
}

void apply_entry(std::string_view key, std::string_view value, Config& config) {
  const std::string_view trimmed = trim(value);
  const std::map<std::string_view, ALCenum> string_keys{{"devices", ALC_DEVICE_SPECIFIER},
                                                        {"all_devices", ALC_ALL_DEVICES_SPECIFIER},
                                                        {"default_device", ALC_DEFAULT_DEVICE_SPECIFIER},
                                                        {"default_all_device", ALC_DEFAULT_ALL_DEVICES_SPECIFIER}};
  if (const auto found = string_keys.find(key); found != string_keys.end()) {
    config.alc_strings[found->second] = value == "null" ? std::nullopt : std::optional(decode_bytes(value));
  } else if (key == "null_version" || key == "device_version") {
    (key == "null_version" ? config.null_version : config.device_version) = parse_version(trimmed);
  } else if (key == "null_extensions" || key == "device_extensions") {
    (key == "null_extensions" ? config.null_extensions : config.device_extensions) = split_names(value);
  } else if (key == "max_aux_sends") {
    config.max_aux_sends = static_cast<ALCint>(number(trimmed, -0x80000000LL));
  } else if (key == "latency_ns") {
    config.latency_ns = number(trimmed, -0x7FFFFFFFFFFFFFFF, 0x7FFFFFFFFFFFFFFF);
  } else if (const std::map<std::string_view, Rule::Kind> kinds{{"fail", Rule::Kind::Fail},
                                                                {"error", Rule::Kind::Error},
                                                                {"disconnect", Rule::Kind::Disconnect},
                                                                {"signal", Rule::Kind::Signal}};
             kinds.contains(key)) {
    config.rules.push_back(parse_rule(trimmed, kinds.at(key)));
  } else {
    throw std::invalid_argument("unknown key");
  }
}

// Applies configuration text to `config`, entries in order. On a bad entry returns false with a
// description in `problem`, `config` then partly updated: callers apply to a copy.
bool apply_config(std::string_view text, Config& config, std::string& problem) {
  for (std::size_t start = 0, end = 0; start <= text.size(); start = end + 1) {
    end = std::min(text.find_first_of(";\n", start), text.size());
    const std::string_view entry = trim(text.substr(start, end - start));
    const auto equals = entry.find('=');
    const std::string_view key = trim(entry.substr(0, equals));
    try {
      if (!entry.empty() && equals == std::string_view::npos) throw std::invalid_argument("no '='");
      if (!entry.empty()) apply_entry(key, entry.substr(equals + 1), config);
    } catch (const std::invalid_argument& bad) {
      problem = std::string(key) + ": " + bad.what() + " (entry: " + std::string(entry) + ")";
      return false;
    }
  }
  return true;
}

void complain(const std::string& message) { write_all(STDERR_FILENO, "fake OpenAL: " + message + "\n"); }

// Runs when the library is loaded (by the program's dlopen, or a test's). A configuration
// mistake must not let a run pass on defaults, so it stops the process.
const struct LoadTimeSetup {
  LoadTimeSetup() {
    if (const char* path = std::getenv("FAKE_OPENAL_LOG"); path != nullptr && *path != '\0') {
      state().log_fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
      if (state().log_fd < 0) {
        complain("cannot open FAKE_OPENAL_LOG file " + std::string(path));
        std::abort();
      }
    }
    std::string problem;
    if (const char* text = std::getenv("FAKE_OPENAL_CONFIG");
        text != nullptr && !apply_config(text, state().config, problem)) {
      complain("bad FAKE_OPENAL_CONFIG entry: " + problem);
      std::abort();
    }
  }
} setup;

}  // namespace

// The control functions FakeOpenAl looks up.

FAKE_OPENAL_API void fake_openal_reset() {
  const std::lock_guard lock(state().mutex);
  static_cast<Session&>(state()) = Session{};
  ++state().resets;
}

// Applies the entries on top of the current configuration: 0 if all are valid, else -1 with
// nothing changed.
FAKE_OPENAL_API int fake_openal_configure(const char* text) {
  const std::lock_guard lock(state().mutex);
  Config updated = state().config;
  std::string problem = "no text";
  if (text == nullptr || !apply_config(text, updated, problem)) {
    complain("bad configuration entry: " + problem);
    return -1;
  }
  state().config = std::move(updated);
  return 0;
}

// One record line, NULL past the end; valid until the next reset.
FAKE_OPENAL_API const char* fake_openal_call(size_t index) {
  const std::lock_guard lock(state().mutex);
  return index < state().record.size() ? state().record[index].c_str() : nullptr;
}

// What the caller has not released, of one kind: "devices" still open, "contexts" alive, or
// "sources" or "buffers" over all contexts. Closing a device or destroying a context releases
// nothing else, so what it held stays counted.
FAKE_OPENAL_API size_t fake_openal_live(const char* kind) {
  const std::lock_guard lock(state().mutex);
  const std::string_view counted(kind);
  size_t total = 0;
  for (const auto& device : state().devices) total += counted == "devices" && device->open ? 1 : 0;
  for (const auto& context : state().contexts) {
    if (counted == "contexts") total += context->alive ? 1 : 0;
    if (counted == "sources") total += context->sources.size();
    if (counted == "buffers") total += context->buffers.size();
  }
  return total;
}
