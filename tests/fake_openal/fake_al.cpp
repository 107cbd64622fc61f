// AL entry points of the fake library. Each acts on the current context (Call::context); without
// one, or when made to fail, it only records the call.
#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>
#include <utility>

#include "fake_state.hpp"
#include "support/fnv1a.hpp"

using fake::Call;
using fake::Enum;
using fake::List;
using fake::Output;

namespace {

// Whether a call's count and array can be read: n names from `names`, or AL_INVALID_VALUE.
bool valid_array(const Call& c, ALsizei n, const void* names) {
  if (n >= 0 && (n == 0 || names != nullptr)) return true;
  c.al_error(AL_INVALID_VALUE);
  return false;
}

// alGenSources and alGenBuffers: names from the one counter, each added to the context by `add`.
template <typename Add>
void generate(Call& c, ALsizei n, ALuint* names, Add add) {
  std::vector<ALuint> made;
  if (ALCcontext* context = c.context(); context != nullptr && valid_array(c, n, names)) {
    for (ALuint& name : std::span(names, static_cast<std::size_t>(n))) {
      name = c.s.next_name++;
      add(*context, name);
      made.push_back(name);
    }
  }
  c.output(fake::list(made.data(), static_cast<long long>(made.size())));
}

bool attached(const ALCcontext& context, ALuint buffer) {
  return std::ranges::any_of(context.sources, [&](const auto& source) { return source.second == buffer; });
}

// The bytes of one frame of an alBufferData format; 0 for a format the fake does not take.
ALsizei frame_bytes(ALenum format) {
  switch (format) {
    case AL_FORMAT_MONO8: return 1;
    case AL_FORMAT_MONO16:
    case AL_FORMAT_STEREO8: return 2;
    case AL_FORMAT_STEREO16:
    case AL_FORMAT_MONO_FLOAT32: return 4;
    case AL_FORMAT_STEREO_FLOAT32: return 8;
    default: return 0;
  }
}

constexpr const char* kAlExtension = "AL_EXT_FLOAT32";

}  // namespace

extern "C" {

ALenum AL_APIENTRY alGetError(void) {
  Call c{"alGetError"};
  ALenum error = AL_INVALID_OPERATION;  // without a current context
  if (c.fails) {
    error = std::exchange(c.code, 0);  // returned in place of the pending error, which stays
  } else if (ALCcontext* context = fake::current_context(c.s); context != nullptr) {
    error = std::exchange(context->error, AL_NO_ERROR);
  }
  c.result(fake::hex(error));
  return error;
}

ALboolean AL_APIENTRY alIsExtensionPresent(const ALchar* extname) {
  Call c{"alIsExtensionPresent", extname};
  const bool acts = c.context() != nullptr;
  if (acts && extname == nullptr) c.al_error(AL_INVALID_VALUE);
  const bool present = acts && extname != nullptr && strcasecmp(extname, kAlExtension) == 0;
  c.result(present ? "1" : "0");
  return present ? AL_TRUE : AL_FALSE;
}

ALenum AL_APIENTRY alGetEnumValue(const ALchar* ename) {
  Call c{"alGetEnumValue", ename};
  const ALenum value = c.fails ? 0 : fake::enum_value(ename);
  c.result(fake::hex(value));
  return value;
}

// The fake offers no AL extension functions.
FAKE_STUB(void*, alGetProcAddress, (const ALchar* fname), fname)

void AL_APIENTRY alListenerfv(ALenum param, const ALfloat* values) {
  Call c{"alListenerfv", Enum{param}, List{values, fake::vector_length(param)}};
  ALCcontext* context = c.context();
  if (context == nullptr) return;
  const auto stored = context->listener.find(param);
  if (stored == context->listener.end()) {
    c.al_error(AL_INVALID_ENUM);
    return;
  }
  const std::span given(values, values != nullptr ? stored->second.size() : 0);
  if (values == nullptr || !std::ranges::all_of(given, [](ALfloat v) { return std::isfinite(v); }) ||
      (param == AL_GAIN && given[0] < 0.0F)) {
    c.al_error(AL_INVALID_VALUE);
  } else {
    std::ranges::copy(given, stored->second.begin());
  }
}

void AL_APIENTRY alGetListenerfv(ALenum param, ALfloat* values) {
  Call c{"alGetListenerfv", Enum{param}};
  c.result("[]");
  ALCcontext* context = c.context();
  if (context == nullptr) return;
  const auto stored = context->listener.find(param);
  if (stored == context->listener.end()) {
    c.al_error(AL_INVALID_ENUM);
  } else if (values == nullptr) {
    c.al_error(AL_INVALID_VALUE);
  } else {
    std::ranges::copy(stored->second, values);
    c.result(fake::list(stored->second.data(), static_cast<long long>(stored->second.size())));
  }
}

void AL_APIENTRY alGenSources(ALsizei n, ALuint* sources) {
  Call c{"alGenSources", n};
  generate(c, n, sources, [](ALCcontext& context, ALuint name) { context.sources[name] = 0; });
}

void AL_APIENTRY alDeleteSources(ALsizei n, const ALuint* sources) {
  Call c{"alDeleteSources", n, List{sources, n}};
  ALCcontext* context = c.context();
  if (context == nullptr || !valid_array(c, n, sources)) return;
  const std::span names(sources, static_cast<std::size_t>(n));
  if (!std::ranges::all_of(names, [&](ALuint name) { return context->sources.contains(name); })) {
    c.al_error(AL_INVALID_NAME);
    return;
  }
  for (const ALuint name : names) context->sources.erase(name);
}

void AL_APIENTRY alSourcei(ALuint source, ALenum param, ALint value) {
  Call c{"alSourcei", source, Enum{param}, value};
  ALCcontext* context = c.context();
  if (context == nullptr) return;
  const auto found = context->sources.find(source);
  const auto buffer = static_cast<ALuint>(value);
  if (found == context->sources.end()) {
    c.al_error(AL_INVALID_NAME);
  } else if (param == AL_BUFFER && buffer != 0 && !context->buffers.contains(buffer)) {
    c.al_error(AL_INVALID_VALUE);
  } else if (param == AL_BUFFER) {
    found->second = buffer;
  }
}

void AL_APIENTRY alSourcePlay(ALuint source) {
  Call c{"alSourcePlay", source};
  ALCcontext* context = c.context();
  if (context != nullptr && !context->sources.contains(source)) c.al_error(AL_INVALID_NAME);
}

void AL_APIENTRY alGenBuffers(ALsizei n, ALuint* buffers) {
  Call c{"alGenBuffers", n};
  generate(c, n, buffers, [](ALCcontext& context, ALuint name) { context.buffers.insert(name); });
}

void AL_APIENTRY alDeleteBuffers(ALsizei n, const ALuint* buffers) {
  Call c{"alDeleteBuffers", n, List{buffers, n}};
  ALCcontext* context = c.context();
  if (context == nullptr || !valid_array(c, n, buffers)) return;
  // Name 0 is the null buffer and is skipped; any other must exist and be attached to no source.
  const std::span names(buffers, static_cast<std::size_t>(n));
  for (const ALuint name : names) {
    if (name != 0 && !context->buffers.contains(name)) {
      c.al_error(AL_INVALID_NAME);
      return;
    }
    if (name != 0 && attached(*context, name)) {
      c.al_error(AL_INVALID_OPERATION);
      return;
    }
  }
  for (const ALuint name : names) context->buffers.erase(name);
}

void AL_APIENTRY alBufferData(ALuint buffer, ALenum format, const ALvoid* data, ALsizei size, ALsizei freq) {
  Call c{"alBufferData",
         buffer,
         Enum{format},
         "size=" + fake::text(size),
         "freq=" + fake::text(freq),
         data != nullptr
             ? "fnv=" +
                   hex16(fnv1a({static_cast<const unsigned char*>(data), static_cast<std::size_t>(std::max(size, 0))}))
             : std::string("data=null")};
  ALCcontext* context = c.context();
  if (context == nullptr) return;
  const ALsizei frame = frame_bytes(format);
  if (!context->buffers.contains(buffer)) {
    c.al_error(AL_INVALID_NAME);
  } else if (frame == 0) {
    c.al_error(AL_INVALID_ENUM);
  } else if (size < 0 || size % frame != 0 || freq < 1) {
    c.al_error(AL_INVALID_VALUE);
  } else if (attached(*context, buffer)) {
    c.al_error(AL_INVALID_OPERATION);
  }
}

// Entry points the program does not use: recorded only.
FAKE_STUB(void, alDopplerFactor, (ALfloat value), value)
FAKE_STUB(void, alDopplerVelocity, (ALfloat value), value)
FAKE_STUB(void, alSpeedOfSound, (ALfloat value), value)
FAKE_STUB(void, alDistanceModel, (ALenum distanceModel), Enum{distanceModel})
FAKE_STUB(void, alEnable, (ALenum capability), Enum{capability})
FAKE_STUB(void, alDisable, (ALenum capability), Enum{capability})
FAKE_STUB(ALboolean, alIsEnabled, (ALenum capability), Enum{capability})
FAKE_STUB(const ALchar*, alGetString, (ALenum param), Enum{param})
FAKE_STUB(Output, alGetBooleanv, (ALenum param, ALboolean*), Enum{param})
FAKE_STUB(Output, alGetIntegerv, (ALenum param, ALint*), Enum{param})
FAKE_STUB(Output, alGetFloatv, (ALenum param, ALfloat*), Enum{param})
FAKE_STUB(Output, alGetDoublev, (ALenum param, ALdouble*), Enum{param})
FAKE_STUB(ALboolean, alGetBoolean, (ALenum param), Enum{param})
FAKE_STUB(ALint, alGetInteger, (ALenum param), Enum{param})
FAKE_STUB(ALfloat, alGetFloat, (ALenum param), Enum{param})
FAKE_STUB(ALdouble, alGetDouble, (ALenum param), Enum{param})

FAKE_STUB(void, alListenerf, (ALenum param, ALfloat value), Enum{param}, value)
FAKE_STUB(void, alListener3f, (ALenum param, ALfloat value1, ALfloat value2, ALfloat value3), Enum{param}, value1,
          value2, value3)
FAKE_STUB(void, alListeneri, (ALenum param, ALint value), Enum{param}, value)
FAKE_STUB(void, alListener3i, (ALenum param, ALint value1, ALint value2, ALint value3), Enum{param}, value1, value2,
          value3)
FAKE_STUB(void, alListeneriv, (ALenum param, const ALint* values), Enum{param},
          List{values, fake::vector_length(param)})
FAKE_STUB(Output, alGetListenerf, (ALenum param, ALfloat*), Enum{param})
FAKE_STUB(Output, alGetListener3f, (ALenum param, ALfloat*, ALfloat*, ALfloat*), Enum{param})
FAKE_STUB(Output, alGetListeneri, (ALenum param, ALint*), Enum{param})
FAKE_STUB(Output, alGetListener3i, (ALenum param, ALint*, ALint*, ALint*), Enum{param})
FAKE_STUB(Output, alGetListeneriv, (ALenum param, ALint*), Enum{param})

FAKE_STUB(ALboolean, alIsSource, (ALuint source), source)
FAKE_STUB(void, alSourcef, (ALuint source, ALenum param, ALfloat value), source, Enum{param}, value)
FAKE_STUB(void, alSource3f, (ALuint source, ALenum param, ALfloat value1, ALfloat value2, ALfloat value3), source,
          Enum{param}, value1, value2, value3)
FAKE_STUB(void, alSourcefv, (ALuint source, ALenum param, const ALfloat* values), source, Enum{param},
          List{values, fake::vector_length(param)})
FAKE_STUB(void, alSource3i, (ALuint source, ALenum param, ALint value1, ALint value2, ALint value3), source,
          Enum{param}, value1, value2, value3)
FAKE_STUB(void, alSourceiv, (ALuint source, ALenum param, const ALint* values), source, Enum{param},
          List{values, fake::vector_length(param)})
FAKE_STUB(Output, alGetSourcef, (ALuint source, ALenum param, ALfloat*), source, Enum{param})
FAKE_STUB(Output, alGetSource3f, (ALuint source, ALenum param, ALfloat*, ALfloat*, ALfloat*), source, Enum{param})
FAKE_STUB(Output, alGetSourcefv, (ALuint source, ALenum param, ALfloat*), source, Enum{param})
FAKE_STUB(Output, alGetSourcei, (ALuint source, ALenum param, ALint*), source, Enum{param})
FAKE_STUB(Output, alGetSource3i, (ALuint source, ALenum param, ALint*, ALint*, ALint*), source, Enum{param})
FAKE_STUB(Output, alGetSourceiv, (ALuint source, ALenum param, ALint*), source, Enum{param})
FAKE_STUB(void, alSourcePlayv, (ALsizei n, const ALuint* sources), n, List{sources, n})
FAKE_STUB(void, alSourceStopv, (ALsizei n, const ALuint* sources), n, List{sources, n})
FAKE_STUB(void, alSourceRewindv, (ALsizei n, const ALuint* sources), n, List{sources, n})
FAKE_STUB(void, alSourcePausev, (ALsizei n, const ALuint* sources), n, List{sources, n})
FAKE_STUB(void, alSourceStop, (ALuint source), source)
FAKE_STUB(void, alSourceRewind, (ALuint source), source)
FAKE_STUB(void, alSourcePause, (ALuint source), source)
FAKE_STUB(void, alSourceQueueBuffers, (ALuint source, ALsizei nb, const ALuint* buffers), source, nb, List{buffers, nb})
FAKE_STUB(Output, alSourceUnqueueBuffers, (ALuint source, ALsizei nb, ALuint*), source, nb)

FAKE_STUB(ALboolean, alIsBuffer, (ALuint buffer), buffer)
FAKE_STUB(void, alBufferf, (ALuint buffer, ALenum param, ALfloat value), buffer, Enum{param}, value)
FAKE_STUB(void, alBuffer3f, (ALuint buffer, ALenum param, ALfloat value1, ALfloat value2, ALfloat value3), buffer,
          Enum{param}, value1, value2, value3)
FAKE_STUB(void, alBufferfv, (ALuint buffer, ALenum param, const ALfloat* values), buffer, Enum{param},
          List{values, fake::vector_length(param)})
FAKE_STUB(void, alBufferi, (ALuint buffer, ALenum param, ALint value), buffer, Enum{param}, value)
FAKE_STUB(void, alBuffer3i, (ALuint buffer, ALenum param, ALint value1, ALint value2, ALint value3), buffer,
          Enum{param}, value1, value2, value3)
FAKE_STUB(void, alBufferiv, (ALuint buffer, ALenum param, const ALint* values), buffer, Enum{param},
          List{values, fake::vector_length(param)})
FAKE_STUB(Output, alGetBufferf, (ALuint buffer, ALenum param, ALfloat*), buffer, Enum{param})
FAKE_STUB(Output, alGetBuffer3f, (ALuint buffer, ALenum param, ALfloat*, ALfloat*, ALfloat*), buffer, Enum{param})
FAKE_STUB(Output, alGetBufferfv, (ALuint buffer, ALenum param, ALfloat*), buffer, Enum{param})
FAKE_STUB(Output, alGetBufferi, (ALuint buffer, ALenum param, ALint*), buffer, Enum{param})
FAKE_STUB(Output, alGetBuffer3i, (ALuint buffer, ALenum param, ALint*, ALint*, ALint*), buffer, Enum{param})
FAKE_STUB(Output, alGetBufferiv, (ALuint buffer, ALenum param, ALint*), buffer, Enum{param})

}  // extern "C"
