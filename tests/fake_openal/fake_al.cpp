// AL entry points of the fake library. Each acts on the current context (see current_context);
// without one it only records the call.
#include "fake_state.hpp"

#include <AL/alext.h>
#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

using namespace fake;

namespace {

constexpr int kVector = -1;  // a *v call form: as many values as the parameter takes

std::size_t listener_count(ALenum param) {
  switch (param) {
    case AL_ORIENTATION: return 6;
    case AL_POSITION:
    case AL_VELOCITY: return 3;
    default: return 1;
  }
}

std::size_t source_count(ALenum param) {
  switch (param) {
    case AL_POSITION:
    case AL_DIRECTION:
    case AL_VELOCITY: return 3;
    default: return 1;
  }
}

bool all_finite(const ALfloat* values, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (!std::isfinite(values[i])) return false;
  }
  return true;
}

std::vector<ALfloat> to_floats(const ALint* values, std::size_t count) {
  std::vector<ALfloat> out;
  for (std::size_t i = 0; values != nullptr && i < count; ++i) {
    out.push_back(static_cast<ALfloat>(values[i]));
  }
  return out;
}

std::vector<ALint> to_ints(const std::vector<ALfloat>& values) {
  return std::vector<ALint>(values.begin(), values.end());
}

fake::Source* find_source(ALCcontext* context, ALuint name) {
  if (context == nullptr) return nullptr;
  auto found = context->sources.find(name);
  return found != context->sources.end() ? &found->second : nullptr;
}

fake::Buffer* find_buffer(ALCcontext* context, ALuint name) {
  if (context == nullptr) return nullptr;
  auto found = context->buffers.find(name);
  return found != context->buffers.end() ? &found->second : nullptr;
}

bool buffer_attached(ALCcontext* context, ALuint buffer) {
  for (const auto& [name, source] : context->sources) {
    if (source.buffer == buffer) return true;
  }
  return false;
}

// ---- Listener ----

// `given` is the number of values the call form passes (1 for *f, 3 for *3f) or kVector.
void set_listener(Call& c, ALenum param, const ALfloat* values, int given) {
  ALCcontext* context = current_context(c.s);
  if (context == nullptr || c.fails()) return;
  bool known = param == AL_GAIN || param == AL_POSITION || param == AL_VELOCITY ||
               param == AL_ORIENTATION;
  std::size_t count = listener_count(param);
  if (!known || (given != kVector && static_cast<std::size_t>(given) != count)) {
    set_al_error(context, AL_INVALID_ENUM);
  } else if (values == nullptr || !all_finite(values, count) ||
             (param == AL_GAIN && values[0] < 0.0f)) {
    set_al_error(context, AL_INVALID_VALUE);
  } else {
    Listener& listener = context->listener;
    switch (param) {
      case AL_GAIN: listener.gain = values[0]; break;
      case AL_POSITION: std::copy(values, values + 3, listener.position.begin()); break;
      case AL_VELOCITY: std::copy(values, values + 3, listener.velocity.begin()); break;
      default: std::copy(values, values + 6, listener.orientation.begin()); break;
    }
  }
}

// The values a listener getter writes, or none after setting an error.
std::vector<ALfloat> get_listener(Call& c, ALenum param, bool has_output, int given) {
  ALCcontext* context = current_context(c.s);
  if (context == nullptr || c.fails()) return {};
  const Listener& listener = context->listener;
  std::vector<ALfloat> out;
  switch (param) {
    case AL_GAIN: out = {listener.gain}; break;
    case AL_POSITION: out.assign(listener.position.begin(), listener.position.end()); break;
    case AL_VELOCITY: out.assign(listener.velocity.begin(), listener.velocity.end()); break;
    case AL_ORIENTATION:
      out.assign(listener.orientation.begin(), listener.orientation.end());
      break;
    default: set_al_error(context, AL_INVALID_ENUM); return {};
  }
  if (given != kVector && static_cast<std::size_t>(given) != out.size()) {
    set_al_error(context, AL_INVALID_ENUM);
    return {};
  }
  if (!has_output) {
    set_al_error(context, AL_INVALID_VALUE);
    return {};
  }
  return out;
}

// ---- Sources ----

void set_source_floats(Call& c, ALuint name, ALenum param, const ALfloat* values, int given) {
  ALCcontext* context = current_context(c.s);
  if (context == nullptr || c.fails()) return;
  fake::Source* source = find_source(context, name);
  std::size_t count = source_count(param);
  if (source == nullptr) {
    set_al_error(context, AL_INVALID_NAME);
  } else if (given != kVector && static_cast<std::size_t>(given) != count) {
    set_al_error(context, AL_INVALID_ENUM);
  } else if (values == nullptr || !all_finite(values, count)) {
    set_al_error(context, AL_INVALID_VALUE);
  } else {
    auto& stored = source->floats[param];
    std::copy(values, values + count, stored.begin());
  }
}

void set_source_ints(Call& c, ALuint name, ALenum param, const ALint* values, int given) {
  ALCcontext* context = current_context(c.s);
  if (context == nullptr || c.fails()) return;
  fake::Source* source = find_source(context, name);
  std::size_t count = source_count(param);
  if (source == nullptr) {
    set_al_error(context, AL_INVALID_NAME);
  } else if (given != kVector && static_cast<std::size_t>(given) != count) {
    set_al_error(context, AL_INVALID_ENUM);
  } else if (values == nullptr) {
    set_al_error(context, AL_INVALID_VALUE);
  } else if (param == AL_BUFFER) {
    auto buffer = static_cast<ALuint>(values[0]);
    if (buffer != 0 && find_buffer(context, buffer) == nullptr) {
      set_al_error(context, AL_INVALID_VALUE);
    } else {
      source->buffer = buffer;
    }
  } else {
    auto& stored = source->ints[param];
    std::copy(values, values + count, stored.begin());
  }
}

// AL_SOURCE_STATE as a query sees it: a playing source answers AL_PLAYING for the configured
// number of queries, then has finished.
ALint query_state(fake::Source& source) {
  if (source.state == AL_PLAYING) {
    if (source.polls_left > 0) {
      --source.polls_left;
    } else {
      source.state = AL_STOPPED;
    }
  }
  return source.state;
}

std::vector<ALint> get_source_ints(Call& c, ALuint name, ALenum param, bool has_output, int given) {
  ALCcontext* context = current_context(c.s);
  if (context == nullptr || c.fails()) return {};
  fake::Source* source = find_source(context, name);
  std::size_t count = source_count(param);
  if (source == nullptr) {
    set_al_error(context, AL_INVALID_NAME);
    return {};
  }
  if (given != kVector && static_cast<std::size_t>(given) != count) {
    set_al_error(context, AL_INVALID_ENUM);
    return {};
  }
  if (!has_output) {
    set_al_error(context, AL_INVALID_VALUE);
    return {};
  }
  if (param == AL_BUFFER) return {static_cast<ALint>(source->buffer)};
  if (param == AL_SOURCE_STATE) return {query_state(*source)};
  auto found = source->ints.find(param);
  std::vector<ALint> out(count, 0);
  if (found != source->ints.end()) std::copy_n(found->second.begin(), count, out.begin());
  return out;
}

std::vector<ALfloat> get_source_floats(Call& c, ALuint name, ALenum param, bool has_output,
                                       int given) {
  ALCcontext* context = current_context(c.s);
  if (context == nullptr || c.fails()) return {};
  fake::Source* source = find_source(context, name);
  std::size_t count = source_count(param);
  if (source == nullptr) {
    set_al_error(context, AL_INVALID_NAME);
    return {};
  }
  if (given != kVector && static_cast<std::size_t>(given) != count) {
    set_al_error(context, AL_INVALID_ENUM);
    return {};
  }
  if (!has_output) {
    set_al_error(context, AL_INVALID_VALUE);
    return {};
  }
  auto found = source->floats.find(param);
  if (found != source->floats.end()) {
    return std::vector<ALfloat>(found->second.begin(), found->second.begin() + count);
  }
  ALfloat initial = param == AL_GAIN || param == AL_PITCH ? 1.0f : 0.0f;
  return std::vector<ALfloat>(count, initial);
}

enum class Transport { play, stop, rewind, pause };

// All names are checked before any source changes, as a real implementation does.
void transport(Call& c, ALsizei n, const ALuint* names, Transport action) {
  ALCcontext* context = current_context(c.s);
  if (context == nullptr || c.fails()) return;
  if (n < 0 || (n > 0 && names == nullptr)) {
    set_al_error(context, AL_INVALID_VALUE);
    return;
  }
  for (ALsizei i = 0; i < n; ++i) {
    if (find_source(context, names[i]) == nullptr) {
      set_al_error(context, AL_INVALID_NAME);
      return;
    }
  }
  for (ALsizei i = 0; i < n; ++i) {
    fake::Source& source = *find_source(context, names[i]);
    switch (action) {
      case Transport::play:
        source.state = source.buffer != 0 ? AL_PLAYING : AL_STOPPED;
        source.polls_left = c.s.config.playing_polls;
        break;
      case Transport::stop:
        if (source.state != AL_INITIAL) source.state = AL_STOPPED;
        break;
      case Transport::rewind: source.state = AL_INITIAL; break;
      case Transport::pause:
        if (source.state == AL_PLAYING) source.state = AL_PAUSED;
        break;
    }
  }
}

// ---- Buffers ----

struct FormatInfo {
  ALint bits = 0;
  ALint channels = 0;
};

std::optional<FormatInfo> format_info(ALenum format) {
  switch (format) {
    case AL_FORMAT_MONO8: return FormatInfo{8, 1};
    case AL_FORMAT_MONO16: return FormatInfo{16, 1};
    case AL_FORMAT_STEREO8: return FormatInfo{8, 2};
    case AL_FORMAT_STEREO16: return FormatInfo{16, 2};
    case AL_FORMAT_MONO_FLOAT32: return FormatInfo{32, 1};
    case AL_FORMAT_STEREO_FLOAT32: return FormatInfo{32, 2};
    default: return std::nullopt;
  }
}

std::uint64_t fnv1a(const void* data, std::size_t size) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < size; ++i) {
    hash ^= bytes[i];
    hash *= 0x100000001b3ull;
  }
  return hash;
}

// Buffer setters take no parameter the fake keeps: they check the name and are recorded.
void touch_buffer(Call& c, ALuint name, bool has_values) {
  ALCcontext* context = current_context(c.s);
  if (context == nullptr || c.fails()) return;
  if (find_buffer(context, name) == nullptr) {
    set_al_error(context, AL_INVALID_NAME);
  } else if (!has_values) {
    set_al_error(context, AL_INVALID_VALUE);
  }
}

std::vector<ALint> get_buffer_ints(Call& c, ALuint name, ALenum param, bool has_output,
                                   std::size_t count) {
  ALCcontext* context = current_context(c.s);
  if (context == nullptr || c.fails()) return {};
  fake::Buffer* buffer = find_buffer(context, name);
  if (buffer == nullptr) {
    set_al_error(context, AL_INVALID_NAME);
    return {};
  }
  if (!has_output) {
    set_al_error(context, AL_INVALID_VALUE);
    return {};
  }
  if (count != 1) return std::vector<ALint>(count, 0);
  auto info = format_info(buffer->format).value_or(FormatInfo{});
  switch (param) {
    case AL_FREQUENCY: return {buffer->frequency};
    case AL_BITS: return {info.bits};
    case AL_CHANNELS: return {info.channels};
    case AL_SIZE: return {buffer->size};
    default: return {0};
  }
}

std::vector<ALfloat> get_buffer_floats(Call& c, ALuint name, bool has_output, std::size_t count) {
  ALCcontext* context = current_context(c.s);
  if (context == nullptr || c.fails()) return {};
  if (find_buffer(context, name) == nullptr) {
    set_al_error(context, AL_INVALID_NAME);
    return {};
  }
  if (!has_output) {
    set_al_error(context, AL_INVALID_VALUE);
    return {};
  }
  return std::vector<ALfloat>(count, 0.0f);
}

// Copies what a getter produced to its output pointers (nothing after an error).
template <typename T>
void store(const std::vector<T>& values, T* value) {
  if (!values.empty()) *value = values[0];
}

template <typename T>
void store(const std::vector<T>& values, T* value1, T* value2, T* value3) {
  if (values.size() != 3) return;
  *value1 = values[0];
  *value2 = values[1];
  *value3 = values[2];
}

// ---- State queries: only AL_DISTANCE_MODEL and the like, answered with zeros. ----

template <typename T>
std::vector<T> zero_state(Call& c, bool has_output) {
  ALCcontext* context = current_context(c.s);
  if (context == nullptr || c.fails()) return {};
  if (!has_output) {
    set_al_error(context, AL_INVALID_VALUE);
    return {};
  }
  return {T{}};
}

struct NamedEnum {
  const char* name;
  ALenum value;
};

#define FAKE_ENUM(name) NamedEnum{#name, name}
constexpr NamedEnum kAlEnums[] = {
    FAKE_ENUM(AL_NONE), FAKE_ENUM(AL_FALSE), FAKE_ENUM(AL_TRUE), FAKE_ENUM(AL_NO_ERROR),
    FAKE_ENUM(AL_INVALID_NAME), FAKE_ENUM(AL_INVALID_ENUM), FAKE_ENUM(AL_INVALID_VALUE),
    FAKE_ENUM(AL_INVALID_OPERATION), FAKE_ENUM(AL_OUT_OF_MEMORY), FAKE_ENUM(AL_GAIN),
    FAKE_ENUM(AL_PITCH), FAKE_ENUM(AL_POSITION), FAKE_ENUM(AL_VELOCITY), FAKE_ENUM(AL_DIRECTION),
    FAKE_ENUM(AL_ORIENTATION), FAKE_ENUM(AL_BUFFER), FAKE_ENUM(AL_LOOPING),
    FAKE_ENUM(AL_SOURCE_STATE), FAKE_ENUM(AL_INITIAL), FAKE_ENUM(AL_PLAYING),
    FAKE_ENUM(AL_PAUSED), FAKE_ENUM(AL_STOPPED), FAKE_ENUM(AL_FORMAT_MONO8),
    FAKE_ENUM(AL_FORMAT_MONO16), FAKE_ENUM(AL_FORMAT_STEREO8), FAKE_ENUM(AL_FORMAT_STEREO16),
    FAKE_ENUM(AL_FREQUENCY), FAKE_ENUM(AL_BITS), FAKE_ENUM(AL_CHANNELS), FAKE_ENUM(AL_SIZE),
    FAKE_ENUM(AL_FORMAT_MONO_FLOAT32), FAKE_ENUM(AL_FORMAT_STEREO_FLOAT32),
};
#undef FAKE_ENUM

constexpr const char* kAlExtensions = "AL_EXT_FLOAT32";

}  // namespace

extern "C" {

// ---- Global state ----

void AL_APIENTRY alDopplerFactor(ALfloat value) {
  Call c{"alDopplerFactor"};
  c.args(number(value));
  c.inject_al();
}

void AL_APIENTRY alDopplerVelocity(ALfloat value) {
  Call c{"alDopplerVelocity"};
  c.args(number(value));
  c.inject_al();
}

void AL_APIENTRY alSpeedOfSound(ALfloat value) {
  Call c{"alSpeedOfSound"};
  c.args(number(value));
  c.inject_al();
}

void AL_APIENTRY alDistanceModel(ALenum distanceModel) {
  Call c{"alDistanceModel"};
  c.args(hex(distanceModel));
  c.inject_al();
}

void AL_APIENTRY alEnable(ALenum capability) {
  Call c{"alEnable", Key::param(capability)};
  c.args(hex(capability));
  c.inject_al();
}

void AL_APIENTRY alDisable(ALenum capability) {
  Call c{"alDisable", Key::param(capability)};
  c.args(hex(capability));
  c.inject_al();
}

ALboolean AL_APIENTRY alIsEnabled(ALenum capability) {
  Call c{"alIsEnabled", Key::param(capability)};
  c.args(hex(capability));
  c.inject_al();
  c.result(flag(false));
  return AL_FALSE;
}

const ALchar* AL_APIENTRY alGetString(ALenum param) {
  Call c{"alGetString", Key::param(param)};
  c.args(hex(param));
  ALCcontext* context = current_context(c.s);
  const char* text = nullptr;
  if (context != nullptr && !c.fails()) {
    switch (param) {
      case AL_VENDOR: text = "Fake OpenAL"; break;
      case AL_VERSION: text = "1.1"; break;
      case AL_RENDERER: text = "Fake Renderer"; break;
      case AL_EXTENSIONS: text = kAlExtensions; break;
      case AL_NO_ERROR: text = "No Error"; break;
      case AL_INVALID_NAME: text = "Invalid Name"; break;
      case AL_INVALID_ENUM: text = "Invalid Enum"; break;
      case AL_INVALID_VALUE: text = "Invalid Value"; break;
      case AL_INVALID_OPERATION: text = "Invalid Operation"; break;
      case AL_OUT_OF_MEMORY: text = "Out of Memory"; break;
      default: set_al_error(context, AL_INVALID_ENUM); break;
    }
  }
  c.inject_al();
  c.result(quote(text));
  return text;
}

void AL_APIENTRY alGetBooleanv(ALenum param, ALboolean* values) {
  Call c{"alGetBooleanv", Key::param(param)};
  c.args(hex(param));
  auto out = zero_state<ALint>(c, values != nullptr);
  if (!out.empty()) values[0] = AL_FALSE;
  c.inject_al();
  c.result(written(out));
}

void AL_APIENTRY alGetIntegerv(ALenum param, ALint* values) {
  Call c{"alGetIntegerv", Key::param(param)};
  c.args(hex(param));
  auto out = zero_state<ALint>(c, values != nullptr);
  if (!out.empty()) values[0] = 0;
  c.inject_al();
  c.result(written(out));
}

void AL_APIENTRY alGetFloatv(ALenum param, ALfloat* values) {
  Call c{"alGetFloatv", Key::param(param)};
  c.args(hex(param));
  auto out = zero_state<ALfloat>(c, values != nullptr);
  if (!out.empty()) values[0] = 0.0f;
  c.inject_al();
  c.result(written(out));
}

void AL_APIENTRY alGetDoublev(ALenum param, ALdouble* values) {
  Call c{"alGetDoublev", Key::param(param)};
  c.args(hex(param));
  auto out = zero_state<ALfloat>(c, values != nullptr);
  if (!out.empty()) values[0] = 0.0;
  c.inject_al();
  c.result(written(out));
}

ALboolean AL_APIENTRY alGetBoolean(ALenum param) {
  Call c{"alGetBoolean", Key::param(param)};
  c.args(hex(param));
  c.inject_al();
  c.result(flag(false));
  return AL_FALSE;
}

ALint AL_APIENTRY alGetInteger(ALenum param) {
  Call c{"alGetInteger", Key::param(param)};
  c.args(hex(param));
  c.inject_al();
  c.result(dec(0));
  return 0;
}

ALfloat AL_APIENTRY alGetFloat(ALenum param) {
  Call c{"alGetFloat", Key::param(param)};
  c.args(hex(param));
  c.inject_al();
  c.result(number(0.0f));
  return 0.0f;
}

ALdouble AL_APIENTRY alGetDouble(ALenum param) {
  Call c{"alGetDouble", Key::param(param)};
  c.args(hex(param));
  c.inject_al();
  c.result(number(0.0f));
  return 0.0;
}

ALenum AL_APIENTRY alGetError(void) {
  Call c{"alGetError"};
  ALCcontext* context = current_context(c.s);
  ALenum error = AL_NO_ERROR;
  if (c.fails()) {
    error = c.injected();
  } else if (context == nullptr) {
    error = AL_INVALID_OPERATION;
  } else {
    error = context->error;
    context->error = AL_NO_ERROR;
    c.inject_al();
  }
  c.result(hex(error));
  return error;
}

ALboolean AL_APIENTRY alIsExtensionPresent(const ALchar* extname) {
  Call c{"alIsExtensionPresent", Key::string(extname)};
  c.args(quote(extname));
  ALCcontext* context = current_context(c.s);
  ALboolean present = AL_FALSE;
  if (context != nullptr && !c.fails()) {
    if (extname == nullptr) {
      set_al_error(context, AL_INVALID_VALUE);
    } else {
      present = strcasecmp(extname, kAlExtensions) == 0 ? AL_TRUE : AL_FALSE;
    }
  }
  c.inject_al();
  c.result(flag(present));
  return present;
}

void* AL_APIENTRY alGetProcAddress(const ALchar* fname) {
  Call c{"alGetProcAddress", Key::string(fname)};
  c.args(quote(fname));
  // The fake offers no AL extension functions.
  ALCcontext* context = current_context(c.s);
  if (context != nullptr && !c.fails() && fname == nullptr) set_al_error(context, AL_INVALID_VALUE);
  c.inject_al();
  c.result("null");
  return nullptr;
}

ALenum AL_APIENTRY alGetEnumValue(const ALchar* ename) {
  Call c{"alGetEnumValue", Key::string(ename)};
  c.args(quote(ename));
  ALCcontext* context = current_context(c.s);
  ALenum value = 0;
  if (!c.fails()) {
    if (ename == nullptr) {
      set_al_error(context, AL_INVALID_VALUE);
    } else {
      for (const auto& known : kAlEnums) {
        if (std::strcmp(known.name, ename) == 0) value = known.value;
      }
    }
  }
  c.inject_al();
  c.result(hex(value));
  return value;
}

// ---- Listener ----

void AL_APIENTRY alListenerf(ALenum param, ALfloat value) {
  Call c{"alListenerf", Key::param(param)};
  c.args(hex(param), number(value));
  set_listener(c, param, &value, 1);
  c.inject_al();
}

void AL_APIENTRY alListener3f(ALenum param, ALfloat value1, ALfloat value2, ALfloat value3) {
  Call c{"alListener3f", Key::param(param)};
  c.args(hex(param), number(value1), number(value2), number(value3));
  const ALfloat values[3] = {value1, value2, value3};
  set_listener(c, param, values, 3);
  c.inject_al();
}

void AL_APIENTRY alListenerfv(ALenum param, const ALfloat* values) {
  Call c{"alListenerfv", Key::param(param)};
  c.args(hex(param), float_list(values, listener_count(param)));
  set_listener(c, param, values, kVector);
  c.inject_al();
}

void AL_APIENTRY alListeneri(ALenum param, ALint value) {
  Call c{"alListeneri", Key::param(param)};
  c.args(hex(param), dec(value));
  auto values = to_floats(&value, 1);
  set_listener(c, param, values.data(), 1);
  c.inject_al();
}

void AL_APIENTRY alListener3i(ALenum param, ALint value1, ALint value2, ALint value3) {
  Call c{"alListener3i", Key::param(param)};
  c.args(hex(param), dec(value1), dec(value2), dec(value3));
  const ALint given[3] = {value1, value2, value3};
  auto values = to_floats(given, 3);
  set_listener(c, param, values.data(), 3);
  c.inject_al();
}

void AL_APIENTRY alListeneriv(ALenum param, const ALint* values) {
  Call c{"alListeneriv", Key::param(param)};
  std::size_t count = listener_count(param);
  c.args(hex(param), int_list(values, count));
  auto floats = to_floats(values, count);
  set_listener(c, param, values != nullptr ? floats.data() : nullptr, kVector);
  c.inject_al();
}

void AL_APIENTRY alGetListenerf(ALenum param, ALfloat* value) {
  Call c{"alGetListenerf", Key::param(param)};
  c.args(hex(param));
  auto out = get_listener(c, param, value != nullptr, 1);
  store(out, value);
  c.inject_al();
  c.result(written(out));
}

void AL_APIENTRY alGetListener3f(ALenum param, ALfloat* value1, ALfloat* value2, ALfloat* value3) {
  Call c{"alGetListener3f", Key::param(param)};
  c.args(hex(param));
  auto out = get_listener(c, param, value1 && value2 && value3, 3);
  store(out, value1, value2, value3);
  c.inject_al();
  c.result(written(out));
}

void AL_APIENTRY alGetListenerfv(ALenum param, ALfloat* values) {
  Call c{"alGetListenerfv", Key::param(param)};
  c.args(hex(param));
  auto out = get_listener(c, param, values != nullptr, kVector);
  std::copy(out.begin(), out.end(), values);
  c.inject_al();
  c.result(written(out));
}

void AL_APIENTRY alGetListeneri(ALenum param, ALint* value) {
  Call c{"alGetListeneri", Key::param(param)};
  c.args(hex(param));
  auto out = to_ints(get_listener(c, param, value != nullptr, 1));
  store(out, value);
  c.inject_al();
  c.result(written(out));
}

void AL_APIENTRY alGetListener3i(ALenum param, ALint* value1, ALint* value2, ALint* value3) {
  Call c{"alGetListener3i", Key::param(param)};
  c.args(hex(param));
  auto out = to_ints(get_listener(c, param, value1 && value2 && value3, 3));
  store(out, value1, value2, value3);
  c.inject_al();
  c.result(written(out));
}

void AL_APIENTRY alGetListeneriv(ALenum param, ALint* values) {
  Call c{"alGetListeneriv", Key::param(param)};
  c.args(hex(param));
  auto out = to_ints(get_listener(c, param, values != nullptr, kVector));
  std::copy(out.begin(), out.end(), values);
  c.inject_al();
  c.result(written(out));
}

// ---- Sources ----

void AL_APIENTRY alGenSources(ALsizei n, ALuint* sources) {
  Call c{"alGenSources"};
  ALCcontext* context = current_context(c.s);
  std::vector<ALuint> names;
  if (context != nullptr && !c.fails()) {
    if (n < 0 || (n > 0 && sources == nullptr)) {
      set_al_error(context, AL_INVALID_VALUE);
    } else {
      for (ALsizei i = 0; i < n; ++i) {
        ALuint name = c.s.next_name++;
        context->sources[name] = fake::Source{};
        sources[i] = name;
        names.push_back(name);
      }
    }
  }
  c.args(dec(n), name_list(names.data(), static_cast<long long>(names.size())));
  c.inject_al();
}

void AL_APIENTRY alDeleteSources(ALsizei n, const ALuint* sources) {
  Call c{"alDeleteSources"};
  c.args(dec(n), name_list(sources, n));
  ALCcontext* context = current_context(c.s);
  if (context != nullptr && !c.fails()) {
    bool valid = n >= 0 && (n == 0 || sources != nullptr);
    if (!valid) {
      set_al_error(context, AL_INVALID_VALUE);
    } else {
      bool all_known = true;
      for (ALsizei i = 0; i < n; ++i) all_known = all_known && find_source(context, sources[i]);
      if (!all_known) {
        set_al_error(context, AL_INVALID_NAME);
      } else {
        for (ALsizei i = 0; i < n; ++i) context->sources.erase(sources[i]);
      }
    }
  }
  c.inject_al();
}

ALboolean AL_APIENTRY alIsSource(ALuint source) {
  Call c{"alIsSource"};
  c.args(dec(source));
  ALCcontext* context = current_context(c.s);
  ALboolean known = !c.fails() && find_source(context, source) != nullptr ? AL_TRUE : AL_FALSE;
  c.inject_al();
  c.result(flag(known));
  return known;
}

void AL_APIENTRY alSourcef(ALuint source, ALenum param, ALfloat value) {
  Call c{"alSourcef", Key::param(param)};
  c.args(dec(source), hex(param), number(value));
  set_source_floats(c, source, param, &value, 1);
  c.inject_al();
}

void AL_APIENTRY alSource3f(ALuint source, ALenum param, ALfloat value1, ALfloat value2,
                            ALfloat value3) {
  Call c{"alSource3f", Key::param(param)};
  c.args(dec(source), hex(param), number(value1), number(value2), number(value3));
  const ALfloat values[3] = {value1, value2, value3};
  set_source_floats(c, source, param, values, 3);
  c.inject_al();
}

void AL_APIENTRY alSourcefv(ALuint source, ALenum param, const ALfloat* values) {
  Call c{"alSourcefv", Key::param(param)};
  c.args(dec(source), hex(param), float_list(values, source_count(param)));
  set_source_floats(c, source, param, values, kVector);
  c.inject_al();
}

void AL_APIENTRY alSourcei(ALuint source, ALenum param, ALint value) {
  Call c{"alSourcei", Key::param(param)};
  c.args(dec(source), hex(param), dec(value));
  set_source_ints(c, source, param, &value, 1);
  c.inject_al();
}

void AL_APIENTRY alSource3i(ALuint source, ALenum param, ALint value1, ALint value2,
                            ALint value3) {
  Call c{"alSource3i", Key::param(param)};
  c.args(dec(source), hex(param), dec(value1), dec(value2), dec(value3));
  const ALint values[3] = {value1, value2, value3};
  set_source_ints(c, source, param, values, 3);
  c.inject_al();
}

void AL_APIENTRY alSourceiv(ALuint source, ALenum param, const ALint* values) {
  Call c{"alSourceiv", Key::param(param)};
  c.args(dec(source), hex(param), int_list(values, source_count(param)));
  set_source_ints(c, source, param, values, kVector);
  c.inject_al();
}

void AL_APIENTRY alGetSourcef(ALuint source, ALenum param, ALfloat* value) {
  Call c{"alGetSourcef", Key::param(param)};
  c.args(dec(source), hex(param));
  auto out = get_source_floats(c, source, param, value != nullptr, 1);
  store(out, value);
  c.inject_al();
  c.result(written(out));
}

void AL_APIENTRY alGetSource3f(ALuint source, ALenum param, ALfloat* value1, ALfloat* value2,
                               ALfloat* value3) {
  Call c{"alGetSource3f", Key::param(param)};
  c.args(dec(source), hex(param));
  auto out = get_source_floats(c, source, param, value1 && value2 && value3, 3);
  store(out, value1, value2, value3);
  c.inject_al();
  c.result(written(out));
}

void AL_APIENTRY alGetSourcefv(ALuint source, ALenum param, ALfloat* values) {
  Call c{"alGetSourcefv", Key::param(param)};
  c.args(dec(source), hex(param));
  auto out = get_source_floats(c, source, param, values != nullptr, kVector);
  std::copy(out.begin(), out.end(), values);
  c.inject_al();
  c.result(written(out));
}

void AL_APIENTRY alGetSourcei(ALuint source, ALenum param, ALint* value) {
  Call c{"alGetSourcei", Key::param(param)};
  c.args(dec(source), hex(param));
  auto out = get_source_ints(c, source, param, value != nullptr, 1);
  store(out, value);
  c.inject_al();
  c.result(written(out));
}

void AL_APIENTRY alGetSource3i(ALuint source, ALenum param, ALint* value1, ALint* value2,
                               ALint* value3) {
  Call c{"alGetSource3i", Key::param(param)};
  c.args(dec(source), hex(param));
  auto out = get_source_ints(c, source, param, value1 && value2 && value3, 3);
  store(out, value1, value2, value3);
  c.inject_al();
  c.result(written(out));
}

void AL_APIENTRY alGetSourceiv(ALuint source, ALenum param, ALint* values) {
  Call c{"alGetSourceiv", Key::param(param)};
  c.args(dec(source), hex(param));
  auto out = get_source_ints(c, source, param, values != nullptr, kVector);
  std::copy(out.begin(), out.end(), values);
  c.inject_al();
  c.result(written(out));
}

void AL_APIENTRY alSourcePlayv(ALsizei n, const ALuint* sources) {
  Call c{"alSourcePlayv"};
  c.args(dec(n), name_list(sources, n));
  transport(c, n, sources, Transport::play);
  c.inject_al();
}

void AL_APIENTRY alSourceStopv(ALsizei n, const ALuint* sources) {
  Call c{"alSourceStopv"};
  c.args(dec(n), name_list(sources, n));
  transport(c, n, sources, Transport::stop);
  c.inject_al();
}

void AL_APIENTRY alSourceRewindv(ALsizei n, const ALuint* sources) {
  Call c{"alSourceRewindv"};
  c.args(dec(n), name_list(sources, n));
  transport(c, n, sources, Transport::rewind);
  c.inject_al();
}

void AL_APIENTRY alSourcePausev(ALsizei n, const ALuint* sources) {
  Call c{"alSourcePausev"};
  c.args(dec(n), name_list(sources, n));
  transport(c, n, sources, Transport::pause);
  c.inject_al();
}

void AL_APIENTRY alSourcePlay(ALuint source) {
  Call c{"alSourcePlay"};
  c.args(dec(source));
  transport(c, 1, &source, Transport::play);
  c.inject_al();
}

void AL_APIENTRY alSourceStop(ALuint source) {
  Call c{"alSourceStop"};
  c.args(dec(source));
  transport(c, 1, &source, Transport::stop);
  c.inject_al();
}

void AL_APIENTRY alSourceRewind(ALuint source) {
  Call c{"alSourceRewind"};
  c.args(dec(source));
  transport(c, 1, &source, Transport::rewind);
  c.inject_al();
}

void AL_APIENTRY alSourcePause(ALuint source) {
  Call c{"alSourcePause"};
  c.args(dec(source));
  transport(c, 1, &source, Transport::pause);
  c.inject_al();
}

void AL_APIENTRY alSourceQueueBuffers(ALuint source, ALsizei nb, const ALuint* buffers) {
  Call c{"alSourceQueueBuffers"};
  c.args(dec(source), dec(nb), name_list(buffers, nb));
  ALCcontext* context = current_context(c.s);
  if (context != nullptr && !c.fails() && find_source(context, source) == nullptr) {
    set_al_error(context, AL_INVALID_NAME);
  }
  c.inject_al();
}

void AL_APIENTRY alSourceUnqueueBuffers(ALuint source, ALsizei nb, ALuint* /*buffers*/) {
  Call c{"alSourceUnqueueBuffers"};
  c.args(dec(source), dec(nb));
  ALCcontext* context = current_context(c.s);
  if (context != nullptr && !c.fails() && find_source(context, source) == nullptr) {
    set_al_error(context, AL_INVALID_NAME);
  }
  c.inject_al();
  c.result("[]");
}

// ---- Buffers ----

void AL_APIENTRY alGenBuffers(ALsizei n, ALuint* buffers) {
  Call c{"alGenBuffers"};
  ALCcontext* context = current_context(c.s);
  std::vector<ALuint> names;
  if (context != nullptr && !c.fails()) {
    if (n < 0 || (n > 0 && buffers == nullptr)) {
      set_al_error(context, AL_INVALID_VALUE);
    } else {
      for (ALsizei i = 0; i < n; ++i) {
        ALuint name = c.s.next_name++;
        context->buffers[name] = fake::Buffer{};
        buffers[i] = name;
        names.push_back(name);
      }
    }
  }
  c.args(dec(n), name_list(names.data(), static_cast<long long>(names.size())));
  c.inject_al();
}

void AL_APIENTRY alDeleteBuffers(ALsizei n, const ALuint* buffers) {
  Call c{"alDeleteBuffers"};
  c.args(dec(n), name_list(buffers, n));
  ALCcontext* context = current_context(c.s);
  if (context != nullptr && !c.fails()) {
    if (n < 0 || (n > 0 && buffers == nullptr)) {
      set_al_error(context, AL_INVALID_VALUE);
      c.inject_al();
      return;
    }
    // Name 0 is the null buffer and is skipped; anything else must exist and be unattached.
    ALenum problem = AL_NO_ERROR;
    for (ALsizei i = 0; i < n && problem == AL_NO_ERROR; ++i) {
      if (buffers[i] == 0) continue;
      if (find_buffer(context, buffers[i]) == nullptr) {
        problem = AL_INVALID_NAME;
      } else if (buffer_attached(context, buffers[i])) {
        problem = AL_INVALID_OPERATION;
      }
    }
    if (problem != AL_NO_ERROR) {
      set_al_error(context, problem);
    } else {
      for (ALsizei i = 0; i < n; ++i) context->buffers.erase(buffers[i]);
    }
  }
  c.inject_al();
}

ALboolean AL_APIENTRY alIsBuffer(ALuint buffer) {
  Call c{"alIsBuffer"};
  c.args(dec(buffer));
  ALCcontext* context = current_context(c.s);
  bool known = context != nullptr && (buffer == 0 || find_buffer(context, buffer) != nullptr);
  ALboolean answer = !c.fails() && known ? AL_TRUE : AL_FALSE;
  c.inject_al();
  c.result(flag(answer));
  return answer;
}

void AL_APIENTRY alBufferData(ALuint buffer, ALenum format, const ALvoid* data, ALsizei size,
                              ALsizei freq) {
  Call c{"alBufferData"};
  std::uint64_t hash = data != nullptr && size > 0 ? fnv1a(data, static_cast<std::size_t>(size))
                                                   : fnv1a(nullptr, 0);
  char hash_text[17];
  std::snprintf(hash_text, sizeof hash_text, "%016llx", static_cast<unsigned long long>(hash));
  c.args(dec(buffer), hex(format), "size=" + dec(size), "freq=" + dec(freq),
         data != nullptr ? std::string("fnv=") + hash_text : std::string("data=null"));
  ALCcontext* context = current_context(c.s);
  if (context != nullptr && !c.fails()) {
    fake::Buffer* target = find_buffer(context, buffer);
    auto info = format_info(format);
    if (target == nullptr) {
      set_al_error(context, AL_INVALID_NAME);
    } else if (size < 0 || freq < 1) {
      set_al_error(context, AL_INVALID_VALUE);
    } else if (!info) {
      set_al_error(context, AL_INVALID_ENUM);
    } else if (size % (info->bits / 8 * info->channels) != 0) {
      set_al_error(context, AL_INVALID_VALUE);
    } else if (buffer_attached(context, buffer)) {
      set_al_error(context, AL_INVALID_OPERATION);
    } else {
      *target = fake::Buffer{format, size, freq, hash};
    }
  }
  c.inject_al();
}

void AL_APIENTRY alBufferf(ALuint buffer, ALenum param, ALfloat value) {
  Call c{"alBufferf", Key::param(param)};
  c.args(dec(buffer), hex(param), number(value));
  touch_buffer(c, buffer, true);
  c.inject_al();
}

void AL_APIENTRY alBuffer3f(ALuint buffer, ALenum param, ALfloat value1, ALfloat value2,
                            ALfloat value3) {
  Call c{"alBuffer3f", Key::param(param)};
  c.args(dec(buffer), hex(param), number(value1), number(value2), number(value3));
  touch_buffer(c, buffer, true);
  c.inject_al();
}

void AL_APIENTRY alBufferfv(ALuint buffer, ALenum param, const ALfloat* values) {
  Call c{"alBufferfv", Key::param(param)};
  c.args(dec(buffer), hex(param), float_list(values, 1));
  touch_buffer(c, buffer, values != nullptr);
  c.inject_al();
}

void AL_APIENTRY alBufferi(ALuint buffer, ALenum param, ALint value) {
  Call c{"alBufferi", Key::param(param)};
  c.args(dec(buffer), hex(param), dec(value));
  touch_buffer(c, buffer, true);
  c.inject_al();
}

void AL_APIENTRY alBuffer3i(ALuint buffer, ALenum param, ALint value1, ALint value2,
                            ALint value3) {
  Call c{"alBuffer3i", Key::param(param)};
  c.args(dec(buffer), hex(param), dec(value1), dec(value2), dec(value3));
  touch_buffer(c, buffer, true);
  c.inject_al();
}

void AL_APIENTRY alBufferiv(ALuint buffer, ALenum param, const ALint* values) {
  Call c{"alBufferiv", Key::param(param)};
  c.args(dec(buffer), hex(param), int_list(values, 1));
  touch_buffer(c, buffer, values != nullptr);
  c.inject_al();
}

void AL_APIENTRY alGetBufferf(ALuint buffer, ALenum param, ALfloat* value) {
  Call c{"alGetBufferf", Key::param(param)};
  c.args(dec(buffer), hex(param));
  auto out = get_buffer_floats(c, buffer, value != nullptr, 1);
  store(out, value);
  c.inject_al();
  c.result(written(out));
}

void AL_APIENTRY alGetBuffer3f(ALuint buffer, ALenum param, ALfloat* value1, ALfloat* value2,
                               ALfloat* value3) {
  Call c{"alGetBuffer3f", Key::param(param)};
  c.args(dec(buffer), hex(param));
  auto out = get_buffer_floats(c, buffer, value1 && value2 && value3, 3);
  store(out, value1, value2, value3);
  c.inject_al();
  c.result(written(out));
}

void AL_APIENTRY alGetBufferfv(ALuint buffer, ALenum param, ALfloat* values) {
  Call c{"alGetBufferfv", Key::param(param)};
  c.args(dec(buffer), hex(param));
  auto out = get_buffer_floats(c, buffer, values != nullptr, 1);
  store(out, values);
  c.inject_al();
  c.result(written(out));
}

void AL_APIENTRY alGetBufferi(ALuint buffer, ALenum param, ALint* value) {
  Call c{"alGetBufferi", Key::param(param)};
  c.args(dec(buffer), hex(param));
  auto out = get_buffer_ints(c, buffer, param, value != nullptr, 1);
  store(out, value);
  c.inject_al();
  c.result(written(out));
}

void AL_APIENTRY alGetBuffer3i(ALuint buffer, ALenum param, ALint* value1, ALint* value2,
                               ALint* value3) {
  Call c{"alGetBuffer3i", Key::param(param)};
  c.args(dec(buffer), hex(param));
  auto out = get_buffer_ints(c, buffer, param, value1 && value2 && value3, 3);
  store(out, value1, value2, value3);
  c.inject_al();
  c.result(written(out));
}

void AL_APIENTRY alGetBufferiv(ALuint buffer, ALenum param, ALint* values) {
  Call c{"alGetBufferiv", Key::param(param)};
  c.args(dec(buffer), hex(param));
  auto out = get_buffer_ints(c, buffer, param, values != nullptr, 1);
  store(out, values);
  c.inject_al();
  c.result(written(out));
}

}  // extern "C"
