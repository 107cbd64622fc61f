// ALC entry points of the fake library, and the extension functions it hands out through
// alcGetProcAddress only.
#include <strings.h>

#include <algorithm>
#include <array>

#include "fake_state.hpp"

using fake::Call;
using fake::Enum;
using fake::state;

namespace {

// The names of the constants of the extensions the fake offers, ALC and AL alike; a table, kept
// several names to a line.
#define FAKE_ENUM(name) std::pair<std::string_view, ALCenum>(#name, (name))
// clang-format off
constexpr std::array enums{
    FAKE_ENUM(ALC_DEFAULT_ALL_DEVICES_SPECIFIER), FAKE_ENUM(ALC_ALL_DEVICES_SPECIFIER), FAKE_ENUM(ALC_CONNECTED),
    FAKE_ENUM(ALC_EFX_MAJOR_VERSION), FAKE_ENUM(ALC_EFX_MINOR_VERSION), FAKE_ENUM(ALC_MAX_AUXILIARY_SENDS),
    FAKE_ENUM(ALC_DEVICE_LATENCY_SOFT), FAKE_ENUM(ALC_FORMAT_CHANNELS_SOFT), FAKE_ENUM(ALC_FORMAT_TYPE_SOFT),
    FAKE_ENUM(ALC_BYTE_SOFT), FAKE_ENUM(ALC_UNSIGNED_BYTE_SOFT), FAKE_ENUM(ALC_SHORT_SOFT),
    FAKE_ENUM(ALC_UNSIGNED_SHORT_SOFT), FAKE_ENUM(ALC_INT_SOFT), FAKE_ENUM(ALC_UNSIGNED_INT_SOFT),
    FAKE_ENUM(ALC_FLOAT_SOFT), FAKE_ENUM(ALC_MONO_SOFT), FAKE_ENUM(ALC_STEREO_SOFT), FAKE_ENUM(ALC_QUAD_SOFT),
    FAKE_ENUM(ALC_5POINT1_SOFT), FAKE_ENUM(ALC_6POINT1_SOFT), FAKE_ENUM(ALC_7POINT1_SOFT),
    FAKE_ENUM(AL_FORMAT_MONO_FLOAT32), FAKE_ENUM(AL_FORMAT_STEREO_FLOAT32)};
// clang-format on
#undef FAKE_ENUM

ALCboolean answer(Call& call, bool done) {
  call.result(done ? "1" : "0");
  return done ? ALC_TRUE : ALC_FALSE;
}

// Whether `context` may be made current: NULL or live, else ALC_INVALID_CONTEXT.
bool usable_context(const Call& call, const ALCcontext* context) {
  if (context != nullptr && fake::live_context(context) == nullptr) return call.alc_error(ALC_INVALID_CONTEXT);
  return !call.fails();
}

// Whether an ALC query goes ahead: the call is not made to fail, `device` is NULL or open (else
// ALC_INVALID_DEVICE) and `name` is not NULL (else ALC_INVALID_VALUE).
bool query(const Call& call, const ALCdevice* device, const char* name = "") {
  if (device != nullptr && fake::open_device(device) == nullptr) return call.alc_error(ALC_INVALID_DEVICE);
  return name == nullptr ? call.alc_error(ALC_INVALID_VALUE) : !call.fails();
}

// ---- Extension functions: internal linkage, reachable only through alcGetProcAddress. ----

ALCboolean ALC_APIENTRY alcSetThreadContext(ALCcontext* context) {
  Call call("alcSetThreadContext", context);
  const bool usable = usable_context(call, context);
  if (usable) fake::set_thread_context(context);
  return answer(call, usable);
}

void ALC_APIENTRY alcGetInteger64vSOFT(ALCdevice* device, ALCenum pname, ALsizei size, ALCint64SOFT* values) {
  Call call("alcGetInteger64vSOFT", device, Enum{pname}, size);
  const bool open = fake::open_device(device) != nullptr;
  const bool answered = open && pname == ALC_DEVICE_LATENCY_SOFT && size > 0 && values != nullptr && !call.fails();
  if (answered) *values = state().config.latency_ns;
  if (!answered) call.alc_error(open ? ALC_INVALID_ENUM : ALC_INVALID_DEVICE);
  call.result(answered ? "[" + fake::text(*values) + "]" : "[]");
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

// The entry of a table of names, or nullptr.
template <typename Table>
const typename Table::value_type* lookup(const Table& table, std::string_view name) {
  const auto found = std::ranges::find(table, name, &Table::value_type::first);
  return found != table.end() ? &*found : nullptr;
}

// A configured string as alcGetString hands it out: stable until reset, with two extra NULs so
// that a device list configured without its terminator still ends; the record shows the bytes.
const ALCchar* string_answer(Call& call, const std::optional<std::string>& bytes) {
  call.result(bytes ? fake::quote(*bytes) : "null");
  return bytes ? state().strings.insert(*bytes + std::string(2, '\0')).first->c_str() : nullptr;
}

// What alcGetIntegerv writes (one value), or nothing after setting an error.
std::optional<ALCint> integer(const Call& call, const ALCdevice* device, ALCenum param, ALCsizei size,
                              const ALCint* values) {
  const fake::Config& config = state().config;
  if (size <= 0 || values == nullptr) {
    call.alc_error(ALC_INVALID_VALUE);
  } else if (param == ALC_MAJOR_VERSION || param == ALC_MINOR_VERSION) {
    const auto& version = device != nullptr ? config.device_version : config.null_version;
    if (version) return param == ALC_MAJOR_VERSION ? version->major : version->minor;
  } else if (param == ALC_MAX_AUXILIARY_SENDS || param == ALC_CONNECTED) {
    if (device != nullptr) return param == ALC_CONNECTED ? ALCint{device->connected} : config.max_aux_sends;
    call.alc_error(ALC_INVALID_DEVICE);
  } else {
    call.alc_error(ALC_INVALID_ENUM);
  }
  return std::nullopt;
}

}  // namespace

ALCenum fake::enum_value(const char* name) {
  const auto* found = lookup(enums, name != nullptr ? name : "");
  return found != nullptr ? found->second : 0;
}

bool fake::is_extension_function(std::string_view name) { return lookup(extension_functions, name) != nullptr; }

extern "C" {

ALCcontext* ALC_APIENTRY alcCreateContext(ALCdevice* device, const ALCint* attrlist) {
  long long length = 0;  // the attributes through their terminating 0
  while (attrlist != nullptr && attrlist[length++] != 0) continue;
  Call call("alcCreateContext", device, fake::List{attrlist, length});
  ALCdevice* open = fake::open_device(device);
  ALCcontext* context = nullptr;
  if (open == nullptr) {
    call.alc_error(ALC_INVALID_DEVICE);
  } else if (!call.fails()) {
    context = state().contexts.emplace_back(std::make_unique<ALCcontext>()).get();
    context->device = open;
  }
  call.result(fake::handle(context));
  return context;
}

ALCboolean ALC_APIENTRY alcMakeContextCurrent(ALCcontext* context) {
  Call call("alcMakeContextCurrent", context);
  const bool usable = usable_context(call, context);
  if (usable) {
    // As in OpenAL Soft, the calling thread's own context is dropped so that the new one is used.
    state().process_context = context;
    fake::set_thread_context(nullptr);
  }
  return answer(call, usable);
}

void ALC_APIENTRY alcDestroyContext(ALCcontext* context) {
  const Call call("alcDestroyContext", context);
  ALCcontext* live = fake::live_context(context);
  if (live == nullptr) {
    call.alc_error(ALC_INVALID_CONTEXT);
  } else if (!call.fails()) {
    live->alive = false;
    if (state().process_context == live) state().process_context = nullptr;
  }
}

ALCdevice* ALC_APIENTRY alcOpenDevice(const ALCchar* devicename) {
  Call call("alcOpenDevice", devicename);
  ALCdevice* device = call.fails() ? nullptr : state().devices.emplace_back(std::make_unique<ALCdevice>()).get();
  call.result(fake::handle(device));
  return device;
}

ALCboolean ALC_APIENTRY alcCloseDevice(ALCdevice* device) {
  Call call("alcCloseDevice", device);
  ALCdevice* open = fake::open_device(device);
  // Retired even when the call is made to fail, so that a failing close cannot leak the device.
  if (open != nullptr) open->open = false;
  return answer(call, open != nullptr ? !call.fails() : call.alc_error(ALC_INVALID_DEVICE));
}

ALCenum ALC_APIENTRY alcGetError(ALCdevice* device) {
  Call call("alcGetError", device);
  ALCenum error = ALC_INVALID_DEVICE;
  if (call.fails()) {
    error = call.take_code();  // returned in place of the pending error, which stays
  } else if (device == nullptr || fake::open_device(device) != nullptr) {
    error = std::exchange(call.pending_alc_error(), ALC_NO_ERROR);
  }
  call.result(fake::hex(error));
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
  const ALCenum value = query(call, device, enumname) ? fake::enum_value(enumname) : 0;
  call.result(fake::hex(value));
  return value;
}

// The device lists and default names; the program asks them of the null device only.
const ALCchar* ALC_APIENTRY alcGetString(ALCdevice* device, ALCenum param) {
  Call call("alcGetString", device, Enum{param});
  const fake::Config& config = state().config;
  if (!query(call, device)) return string_answer(call, std::nullopt);
  switch (param) {
    case ALC_DEVICE_SPECIFIER: return string_answer(call, config.devices);
    case ALC_ALL_DEVICES_SPECIFIER: return string_answer(call, config.all_devices);
    case ALC_DEFAULT_DEVICE_SPECIFIER: return string_answer(call, config.default_device);
    case ALC_DEFAULT_ALL_DEVICES_SPECIFIER: return string_answer(call, config.default_all_device);
    default: call.alc_error(ALC_INVALID_ENUM); return string_answer(call, std::nullopt);
  }
}

void ALC_APIENTRY alcGetIntegerv(ALCdevice* device, ALCenum param, ALCsizei size, ALCint* values) {
  Call call("alcGetIntegerv", device, Enum{param}, size);
  const std::optional<ALCint> value =
      query(call, device) ? integer(call, fake::open_device(device), param, size, values) : std::nullopt;
  if (value) *values = *value;
  call.result(value ? "[" + fake::text(*value) + "]" : "[]");
}

FAKE_STUB(void, alcProcessContext, (ALCcontext*))
FAKE_STUB(void, alcSuspendContext, (ALCcontext*))
FAKE_STUB(ALCcontext*, alcGetCurrentContext, ())
FAKE_STUB(ALCdevice*, alcGetContextsDevice, (ALCcontext*))
FAKE_STUB(ALCdevice*, alcCaptureOpenDevice, (const ALCchar*, ALCuint, ALCenum, ALCsizei))
FAKE_STUB(ALCboolean, alcCaptureCloseDevice, (ALCdevice*))
FAKE_STUB(void, alcCaptureStart, (ALCdevice*))
FAKE_STUB(void, alcCaptureStop, (ALCdevice*))

}  // extern "C"
