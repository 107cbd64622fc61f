// ALC entry points of the fake library, and the extension functions it hands out through
// alcGetProcAddress only.
#include <strings.h>

#include <algorithm>
#include <utility>

#include "fake_state.hpp"

using fake::Call;
using fake::Enum;

namespace {

// Whether `name` is an entry of a NUL-separated device list.
bool listed(const std::optional<std::string>& list, std::string_view name) {
  if (!list) return false;
  std::string_view rest = *list;
  while (!rest.empty() && rest.front() != '\0') {
    const auto end = std::min(rest.find('\0'), rest.size());
    if (rest.substr(0, end) == name) return true;
    rest.remove_prefix(std::min(end + 1, rest.size()));
  }
  return false;
}

// A configured string as alcGetString hands it out: stable until reset, with two extra NULs so
// that a device list configured without its terminator still ends; the record shows the bytes.
const ALCchar* string_answer(Call& c, const std::optional<std::string>& bytes) {
  c.result(bytes ? fake::quote(std::string_view(*bytes)) : "null");
  return bytes ? c.s.strings.insert(*bytes + std::string(2, '\0')).first->c_str() : nullptr;
}

std::string joined(const std::vector<std::string>& names) {
  std::string out;
  for (const auto& name : names) out += (out.empty() ? "" : " ") + name;
  return out;
}

// The entry of a table of names, or nullptr.
template <typename T, std::size_t N>
const std::pair<std::string_view, T>* lookup(const std::pair<std::string_view, T> (&table)[N], const char* name) {
  const auto* found =
      std::ranges::find(table, std::string_view(name != nullptr ? name : ""), &std::pair<std::string_view, T>::first);
  return found != std::end(table) ? found : nullptr;
}

// The names of the constants of the extensions the fake offers, ALC and AL alike.
#define FAKE_ENUM(name) std::pair<std::string_view, ALCenum>(#name, (name))
constexpr std::pair<std::string_view, ALCenum> kEnums[] = {FAKE_ENUM(ALC_DEFAULT_ALL_DEVICES_SPECIFIER),
                                                           FAKE_ENUM(ALC_ALL_DEVICES_SPECIFIER),
                                                           FAKE_ENUM(ALC_EFX_MAJOR_VERSION),
                                                           FAKE_ENUM(ALC_EFX_MINOR_VERSION),
                                                           FAKE_ENUM(ALC_MAX_AUXILIARY_SENDS),
                                                           FAKE_ENUM(ALC_CONNECTED),
                                                           FAKE_ENUM(ALC_DEVICE_LATENCY_SOFT),
                                                           FAKE_ENUM(ALC_FORMAT_CHANNELS_SOFT),
                                                           FAKE_ENUM(ALC_FORMAT_TYPE_SOFT),
                                                           FAKE_ENUM(ALC_BYTE_SOFT),
                                                           FAKE_ENUM(ALC_UNSIGNED_BYTE_SOFT),
                                                           FAKE_ENUM(ALC_SHORT_SOFT),
                                                           FAKE_ENUM(ALC_UNSIGNED_SHORT_SOFT),
                                                           FAKE_ENUM(ALC_INT_SOFT),
                                                           FAKE_ENUM(ALC_UNSIGNED_INT_SOFT),
                                                           FAKE_ENUM(ALC_FLOAT_SOFT),
                                                           FAKE_ENUM(ALC_MONO_SOFT),
                                                           FAKE_ENUM(ALC_STEREO_SOFT),
                                                           FAKE_ENUM(ALC_QUAD_SOFT),
                                                           FAKE_ENUM(ALC_5POINT1_SOFT),
                                                           FAKE_ENUM(ALC_6POINT1_SOFT),
                                                           FAKE_ENUM(ALC_7POINT1_SOFT),
                                                           FAKE_ENUM(AL_FORMAT_MONO_FLOAT32),
                                                           FAKE_ENUM(AL_FORMAT_STEREO_FLOAT32)};
#undef FAKE_ENUM

// ---- Extension functions: internal linkage, reachable only through alcGetProcAddress. ----

// Whether `context` is NULL or live, setting ALC_INVALID_CONTEXT if not; false when the call fails.
bool usable_context(Call& c, ALCcontext* context) {
  const bool known = context == nullptr || fake::live_context(c.s, context) != nullptr;
  if (!c.fails && !known) c.alc_error() = ALC_INVALID_CONTEXT;
  return !c.fails && known;
}

ALCboolean answer(Call& c, bool ok) {
  c.result(ok ? "1" : "0");
  return ok ? ALC_TRUE : ALC_FALSE;
}

ALCboolean ALC_APIENTRY alcSetThreadContext(ALCcontext* context) {
  Call c{"alcSetThreadContext", context};
  const bool ok = usable_context(c, context);
  if (ok) fake::set_thread_context(c.s, context);
  return answer(c, ok);
}

ALCcontext* ALC_APIENTRY alcGetThreadContext() {
  Call c{"alcGetThreadContext"};
  ALCcontext* context = c.fails ? nullptr : fake::thread_context(c.s);
  c.result(fake::handle(c.s, context));
  return context;
}

void ALC_APIENTRY alcGetInteger64vSOFT(ALCdevice* device, ALCenum pname, ALsizei size, ALCint64SOFT* values) {
  Call c{"alcGetInteger64vSOFT", device, Enum{pname}, size};
  ALCdevice* open = fake::open_device(c.s, device);
  const bool answered =
      !c.fails && open != nullptr && pname == ALC_DEVICE_LATENCY_SOFT && size > 0 && values != nullptr;
  if (!c.fails && !answered) c.alc_error() = open == nullptr ? ALC_INVALID_DEVICE : ALC_INVALID_ENUM;
  if (answered) *values = c.s.config.latency_ns;
  c.result(answered ? "[" + fake::text(c.s.config.latency_ns) + "]" : "[]");
}

FAKE_STUB(ALCdevice*, alcLoopbackOpenDeviceSOFT, (const ALCchar* deviceName), deviceName)
FAKE_STUB(ALCboolean, alcIsRenderFormatSupportedSOFT,
          (ALCdevice * device, ALCsizei freq, ALCenum channels, ALCenum type), device, freq, Enum{channels}, Enum{type})
FAKE_STUB(void, alcRenderSamplesSOFT, (ALCdevice * device, ALCvoid*, ALCsizei samples), device, samples)

#define FAKE_FUNCTION(name) std::pair<std::string_view, void*>(#name, reinterpret_cast<void*>(&(name)))
const std::pair<std::string_view, void*> kExtensionFunctions[] = {
    FAKE_FUNCTION(alcSetThreadContext),       FAKE_FUNCTION(alcGetThreadContext),
    FAKE_FUNCTION(alcLoopbackOpenDeviceSOFT), FAKE_FUNCTION(alcIsRenderFormatSupportedSOFT),
    FAKE_FUNCTION(alcRenderSamplesSOFT),      FAKE_FUNCTION(alcGetInteger64vSOFT)};
#undef FAKE_FUNCTION

// Whether an ALC query goes ahead: the call is not made to fail, `device` is NULL or open (else
// ALC_INVALID_DEVICE) and `name` is not NULL (else ALC_INVALID_VALUE). Sets `open` to the open
// device, nullptr for the null device.
bool query(Call& c, ALCdevice* device, ALCdevice*& open, const char* name = "") {
  open = fake::open_device(c.s, device);
  if (c.fails) return false;
  if (device != nullptr && open == nullptr) {
    c.alc_error() = ALC_INVALID_DEVICE;
    return false;
  }
  if (name == nullptr) c.alc_error() = ALC_INVALID_VALUE;
  return name != nullptr;
}

// What alcGetIntegerv writes through `values` (one value), or nothing after setting an error.
std::optional<ALCint> integer(Call& c, const ALCdevice* open, ALCenum param, ALCsizei size, const ALCint* values) {
  const fake::Config& config = c.s.config;
  if (size <= 0 || values == nullptr) {
    c.alc_error() = ALC_INVALID_VALUE;
  } else if (param == ALC_MAJOR_VERSION || param == ALC_MINOR_VERSION) {
    const auto& version = open != nullptr ? config.device_version : config.null_version;
    if (version) return param == ALC_MAJOR_VERSION ? version->major : version->minor;
  } else if (param == ALC_MAX_AUXILIARY_SENDS || param == ALC_CONNECTED) {
    if (open != nullptr) return param == ALC_CONNECTED ? ALCint{open->connected} : config.max_aux_sends;
    c.alc_error() = ALC_INVALID_DEVICE;
  } else {
    c.alc_error() = ALC_INVALID_ENUM;
  }
  return std::nullopt;
}

}  // namespace

ALCenum fake::enum_value(const char* name) {
  const auto* found = lookup(kEnums, name);
  return found != nullptr ? found->second : 0;
}

extern "C" {

ALCcontext* ALC_APIENTRY alcCreateContext(ALCdevice* device, const ALCint* attrlist) {
  Call c{"alcCreateContext", device, fake::Attributes{attrlist}};
  ALCdevice* open = fake::open_device(c.s, device);
  ALCcontext* context = nullptr;
  if (!c.fails && open == nullptr) c.alc_error() = ALC_INVALID_DEVICE;
  if (!c.fails && open != nullptr) {
    c.s.contexts.push_back(std::make_unique<ALCcontext>());
    context = c.s.contexts.back().get();
    context->device = open;
  }
  c.result(fake::handle(c.s, context));
  return context;
}

ALCboolean ALC_APIENTRY alcMakeContextCurrent(ALCcontext* context) {
  Call c{"alcMakeContextCurrent", context};
  const bool ok = usable_context(c, context);
  if (ok) {
    // As in OpenAL Soft, the calling thread's own context is dropped so that the new one is used.
    c.s.process_context = context;
    fake::set_thread_context(c.s, nullptr);
  }
  return answer(c, ok);
}

void ALC_APIENTRY alcDestroyContext(ALCcontext* context) {
  Call c{"alcDestroyContext", context};
  ALCcontext* live = fake::live_context(c.s, context);
  if (c.fails) return;
  if (live == nullptr) {
    c.alc_error() = ALC_INVALID_CONTEXT;
    return;
  }
  live->alive = false;
  if (c.s.process_context == live) c.s.process_context = nullptr;
}

ALCcontext* ALC_APIENTRY alcGetCurrentContext(void) {
  Call c{"alcGetCurrentContext"};
  ALCcontext* context = c.fails ? nullptr : fake::current_context(c.s);
  c.result(fake::handle(c.s, context));
  return context;
}

ALCdevice* ALC_APIENTRY alcOpenDevice(const ALCchar* devicename) {
  Call c{"alcOpenDevice", devicename};
  const fake::Config& config = c.s.config;
  const bool known = devicename == nullptr || *devicename == '\0' || listed(config.devices, devicename) ||
                     listed(config.all_devices, devicename) || config.default_device == devicename ||
                     config.default_all_device == devicename;
  ALCdevice* device = nullptr;
  if (!c.fails && !known) c.alc_error() = ALC_INVALID_VALUE;
  if (!c.fails && known) {
    c.s.devices.push_back(std::make_unique<ALCdevice>());
    device = c.s.devices.back().get();
    const bool named = devicename != nullptr && *devicename != '\0';
    device->name = named ? devicename : config.default_device.value_or("Fake Device");
  }
  c.result(fake::handle(c.s, device));
  return device;
}

ALCboolean ALC_APIENTRY alcCloseDevice(ALCdevice* device) {
  Call c{"alcCloseDevice", device};
  ALCdevice* open = fake::open_device(c.s, device);
  // Retired even when the call is made to fail, so that a failing close cannot leak the device.
  if (open != nullptr) open->open = false;
  if (!c.fails && open == nullptr) c.alc_error() = ALC_INVALID_DEVICE;
  return answer(c, !c.fails && open != nullptr);
}

ALCenum ALC_APIENTRY alcGetError(ALCdevice* device) {
  Call c{"alcGetError", device};
  ALCenum error = ALC_INVALID_DEVICE;
  if (c.fails) {
    error = std::exchange(c.code, 0);  // returned in place of the pending error, which stays
  } else if (device == nullptr || fake::open_device(c.s, device) != nullptr) {
    error = std::exchange(c.alc_error(), ALC_NO_ERROR);
  }
  c.result(fake::hex(error));
  return error;
}

ALCboolean ALC_APIENTRY alcIsExtensionPresent(ALCdevice* device, const ALCchar* extname) {
  Call c{"alcIsExtensionPresent", device, extname};
  ALCdevice* open = nullptr;
  if (!query(c, device, open, extname)) return answer(c, false);
  // Extension names compare without regard to case, as in OpenAL Soft.
  const auto& names = open != nullptr ? c.s.config.device_extensions : c.s.config.null_extensions;
  return answer(c,
                std::ranges::any_of(names, [&](const auto& name) { return strcasecmp(name.c_str(), extname) == 0; }));
}

void* ALC_APIENTRY alcGetProcAddress(ALCdevice* device, const ALCchar* funcname) {
  Call c{"alcGetProcAddress", device, funcname};
  ALCdevice* open = nullptr;
  const auto* found = query(c, device, open, funcname) ? lookup(kExtensionFunctions, funcname) : nullptr;
  c.result(found != nullptr ? "&" + std::string(found->first) : "null");
  return found != nullptr ? found->second : nullptr;
}

ALCenum ALC_APIENTRY alcGetEnumValue(ALCdevice* device, const ALCchar* enumname) {
  Call c{"alcGetEnumValue", device, enumname};
  ALCdevice* open = nullptr;
  const ALCenum value = query(c, device, open, enumname) ? fake::enum_value(enumname) : 0;
  c.result(fake::hex(value));
  return value;
}

const ALCchar* ALC_APIENTRY alcGetString(ALCdevice* device, ALCenum param) {
  Call c{"alcGetString", device, Enum{param}};
  const fake::Config& config = c.s.config;
  ALCdevice* open = nullptr;
  if (!query(c, device, open)) return string_answer(c, std::nullopt);
  switch (param) {
    case ALC_DEFAULT_DEVICE_SPECIFIER: return string_answer(c, config.default_device);
    case ALC_DEFAULT_ALL_DEVICES_SPECIFIER: return string_answer(c, config.default_all_device);
    case ALC_EXTENSIONS:
      return string_answer(c, joined(open != nullptr ? config.device_extensions : config.null_extensions));
    case ALC_DEVICE_SPECIFIER:
    case ALC_ALL_DEVICES_SPECIFIER:
      if (open != nullptr) return string_answer(c, open->name);
      return string_answer(c, param == ALC_DEVICE_SPECIFIER ? config.devices : config.all_devices);
    default: c.alc_error() = ALC_INVALID_ENUM; return string_answer(c, std::nullopt);
  }
}

void ALC_APIENTRY alcGetIntegerv(ALCdevice* device, ALCenum param, ALCsizei size, ALCint* values) {
  Call c{"alcGetIntegerv", device, Enum{param}, size};
  ALCdevice* open = nullptr;
  const std::optional<ALCint> value = query(c, device, open) ? integer(c, open, param, size, values) : std::nullopt;
  if (value) *values = *value;
  c.result(value ? "[" + fake::text(*value) + "]" : "[]");
}

FAKE_STUB(void, alcProcessContext, (ALCcontext * context), context)
FAKE_STUB(void, alcSuspendContext, (ALCcontext * context), context)
FAKE_STUB(ALCdevice*, alcGetContextsDevice, (ALCcontext * context), context)
FAKE_STUB(ALCdevice*, alcCaptureOpenDevice,
          (const ALCchar* devicename, ALCuint frequency, ALCenum format, ALCsizei buffersize), devicename, frequency,
          Enum{format}, buffersize)
FAKE_STUB(ALCboolean, alcCaptureCloseDevice, (ALCdevice * device), device)
FAKE_STUB(void, alcCaptureStart, (ALCdevice * device), device)
FAKE_STUB(void, alcCaptureStop, (ALCdevice * device), device)

}  // extern "C"
