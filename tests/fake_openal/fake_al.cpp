// AL entry points of the fake library. Each acts on the current context (Call::context); without
// one, or when made to fail, it only records the call.
#include <strings.h>

#include <algorithm>
#include <span>

#include "fake_state.hpp"
#include "support/fnv1a.hpp"

using fake::Call;
using fake::Enum;
using fake::List;
using fake::state;

namespace {

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
  call.output(fake::list(made.data(), static_cast<long long>(made.size())));
}

// Whether every name is known to the context (0 may stand for no buffer); else AL_INVALID_NAME.
template <typename Known>
bool all_known(const Call& call, std::span<const ALuint> names, Known known) {
  if (std::ranges::all_of(names, known)) return true;
  call.al_error(AL_INVALID_NAME);
  return false;
}

// The one AL extension the fake claims, as OpenAL Soft does; it has no functions.
constexpr const char* al_extension = "AL_EXT_FLOAT32";

}  // namespace

extern "C" {

ALenum AL_APIENTRY alGetError(void) {
  Call call("alGetError");
  ALenum error = AL_INVALID_OPERATION;  // without a current context
  if (call.fails()) {
    error = call.take_code();  // returned in place of the pending error, which stays
  } else if (ALCcontext* context = fake::current_context(); context != nullptr) {
    error = std::exchange(context->error, AL_NO_ERROR);
  }
  call.result(fake::hex(error));
  return error;
}

ALboolean AL_APIENTRY alIsExtensionPresent(const ALchar* extname) {
  Call call("alIsExtensionPresent", extname);
  const bool acts = call.context() != nullptr;
  if (acts && extname == nullptr) call.al_error(AL_INVALID_VALUE);
  const bool present = acts && extname != nullptr && strcasecmp(extname, al_extension) == 0;
  call.result(present ? "1" : "0");
  return present ? AL_TRUE : AL_FALSE;
}

ALenum AL_APIENTRY alGetEnumValue(const ALchar* ename) {
  Call call("alGetEnumValue", ename);
  const ALenum value = call.fails() ? 0 : fake::enum_value(ename);
  call.result(fake::hex(value));
  return value;
}

void* AL_APIENTRY alGetProcAddress(const ALchar* fname) {
  Call call("alGetProcAddress", fname);
  call.result("null");
  return nullptr;
}

// The listener keeps what alListenerfv sets, for alGetListenerfv to read back.
void AL_APIENTRY alListenerfv(ALenum param, const ALfloat* values) {
  const long long length = param == AL_ORIENTATION ? 6 : param == AL_POSITION || param == AL_VELOCITY ? 3 : 1;
  const Call call("alListenerfv", Enum{param}, List{values, length});
  ALCcontext* context = call.context();
  if (context == nullptr) return;
  const auto stored = context->listener.find(param);
  if (stored == context->listener.end()) {
    call.al_error(AL_INVALID_ENUM);
  } else if (values == nullptr) {
    call.al_error(AL_INVALID_VALUE);
  } else {
    std::copy(values, values + length, stored->second.begin());
  }
}

void AL_APIENTRY alGetListenerfv(ALenum param, ALfloat* values) {
  Call call("alGetListenerfv", Enum{param});
  call.result("[]");
  ALCcontext* context = call.context();
  if (context == nullptr) return;
  const auto stored = context->listener.find(param);
  if (stored == context->listener.end()) {
    call.al_error(AL_INVALID_ENUM);
  } else if (values == nullptr) {
    call.al_error(AL_INVALID_VALUE);
  } else {
    std::ranges::copy(stored->second, values);
    call.result(fake::list(stored->second.data(), static_cast<long long>(stored->second.size())));
  }
}

void AL_APIENTRY alGenSources(ALsizei n, ALuint* sources) {
  Call call("alGenSources", n);
  generate(call, n, sources, [](ALCcontext& context, ALuint name) { context.sources[name] = 0; });
}

void AL_APIENTRY alDeleteSources(ALsizei n, const ALuint* sources) {
  const Call call("alDeleteSources", n, List{sources, n});
  ALCcontext* context = call.context();
  if (context == nullptr || !valid_array(call, n, sources)) return;
  const std::span names(sources, static_cast<std::size_t>(n));
  if (!all_known(call, names, [&](ALuint name) { return context->sources.contains(name); })) return;
  for (const ALuint name : names) context->sources.erase(name);
}

// Only AL_BUFFER acts: it attaches a buffer of the context, or detaches with 0.
void AL_APIENTRY alSourcei(ALuint source, ALenum param, ALint value) {
  const Call call("alSourcei", source, Enum{param}, value);
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
  const Call call("alDeleteBuffers", n, List{buffers, n});
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
  const Call call("alBufferData", buffer, Enum{format}, "size=" + fake::text(size), "freq=" + fake::text(freq),
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
