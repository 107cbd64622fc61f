// ALC entry points of the fake library, and the ALC extension functions it hands out through
// alcGetProcAddress only (thread-local contexts and loopback devices).
#include "fake_state.hpp"

#include <AL/alext.h>
#include <AL/efx.h>
#include <strings.h>

#include <algorithm>
#include <cstring>
#include <type_traits>

using namespace fake;

namespace {

const char* const kDefaultName = "Fake Device";

// The open device a live context belongs to: where ALC errors about that context go.
ALCdevice* device_of(State& s, ALCcontext* context) {
  ALCcontext* live = live_context(s, context);
  return live != nullptr ? open_device(s, live->device) : nullptr;
}

// Whether `name` is an entry of a NUL-separated device list.
bool listed(const std::optional<std::string>& list, std::string_view name) {
  if (!list) return false;
  std::string_view rest = *list;
  while (!rest.empty()) {
    auto end = rest.find('\0');
    std::string_view entry = rest.substr(0, end);
    if (entry.empty()) return false;
    if (entry == name) return true;
    if (end == std::string_view::npos) return false;
    rest.remove_prefix(end + 1);
  }
  return false;
}

ALCdevice* new_device(State& s, std::string name, bool loopback) {
  auto device = std::make_unique<ALCdevice>();
  device->number = s.next_device++;
  device->loopback = loopback;
  device->name = std::move(name);
  s.devices.push_back(std::move(device));
  return s.devices.back().get();
}

// Extension names compare without regard to case, as in OpenAL Soft.
bool has_extension(const std::vector<std::string>& list, const char* name) {
  for (const auto& extension : list) {
    if (strcasecmp(extension.c_str(), name) == 0) return true;
  }
  return false;
}

std::string joined(const std::vector<std::string>& names) {
  std::string out;
  for (const auto& name : names) {
    if (!out.empty()) out.push_back(' ');
    out += name;
  }
  return out;
}

std::string attribute_list(const ALCint* attributes) {
  if (attributes == nullptr) return "null";
  std::string out = "[";
  // Pairs up to the terminating 0; a list without one is cut off rather than read forever.
  for (int pair = 0; pair < 64; ++pair) {
    if (attributes[2 * pair] == 0) return out + "0]";
    out += hex(attributes[2 * pair]) + "," + dec(attributes[2 * pair + 1]) + ",";
  }
  return out + "...]";
}

struct NamedEnum {
  const char* name;
  ALCenum value;
};

#define FAKE_ENUM(name) NamedEnum{#name, name}
constexpr NamedEnum kAlcEnums[] = {
    FAKE_ENUM(ALC_FALSE), FAKE_ENUM(ALC_TRUE), FAKE_ENUM(ALC_FREQUENCY), FAKE_ENUM(ALC_REFRESH),
    FAKE_ENUM(ALC_SYNC), FAKE_ENUM(ALC_MONO_SOURCES), FAKE_ENUM(ALC_STEREO_SOURCES),
    FAKE_ENUM(ALC_NO_ERROR), FAKE_ENUM(ALC_INVALID_DEVICE), FAKE_ENUM(ALC_INVALID_CONTEXT),
    FAKE_ENUM(ALC_INVALID_ENUM), FAKE_ENUM(ALC_INVALID_VALUE), FAKE_ENUM(ALC_OUT_OF_MEMORY),
    FAKE_ENUM(ALC_MAJOR_VERSION), FAKE_ENUM(ALC_MINOR_VERSION), FAKE_ENUM(ALC_ATTRIBUTES_SIZE),
    FAKE_ENUM(ALC_ALL_ATTRIBUTES), FAKE_ENUM(ALC_DEFAULT_DEVICE_SPECIFIER),
    FAKE_ENUM(ALC_DEVICE_SPECIFIER), FAKE_ENUM(ALC_EXTENSIONS),
    FAKE_ENUM(ALC_CAPTURE_DEVICE_SPECIFIER), FAKE_ENUM(ALC_CAPTURE_DEFAULT_DEVICE_SPECIFIER),
    FAKE_ENUM(ALC_CAPTURE_SAMPLES),
    // ALC_ENUMERATE_ALL_EXT
    FAKE_ENUM(ALC_DEFAULT_ALL_DEVICES_SPECIFIER), FAKE_ENUM(ALC_ALL_DEVICES_SPECIFIER),
    // ALC_EXT_EFX
    FAKE_ENUM(ALC_EFX_MAJOR_VERSION), FAKE_ENUM(ALC_EFX_MINOR_VERSION),
    FAKE_ENUM(ALC_MAX_AUXILIARY_SENDS),
    // ALC_SOFT_loopback
    FAKE_ENUM(ALC_FORMAT_CHANNELS_SOFT), FAKE_ENUM(ALC_FORMAT_TYPE_SOFT), FAKE_ENUM(ALC_BYTE_SOFT),
    FAKE_ENUM(ALC_UNSIGNED_BYTE_SOFT), FAKE_ENUM(ALC_SHORT_SOFT), FAKE_ENUM(ALC_UNSIGNED_SHORT_SOFT),
    FAKE_ENUM(ALC_INT_SOFT), FAKE_ENUM(ALC_UNSIGNED_INT_SOFT), FAKE_ENUM(ALC_FLOAT_SOFT),
    FAKE_ENUM(ALC_MONO_SOFT), FAKE_ENUM(ALC_STEREO_SOFT), FAKE_ENUM(ALC_QUAD_SOFT),
    FAKE_ENUM(ALC_5POINT1_SOFT), FAKE_ENUM(ALC_6POINT1_SOFT), FAKE_ENUM(ALC_7POINT1_SOFT),
};
#undef FAKE_ENUM

// ---- Extension functions: internal linkage, reachable only through alcGetProcAddress. ----

ALCboolean ALC_APIENTRY alcSetThreadContext(ALCcontext* context) {
  Call c{"alcSetThreadContext"};
  c.args(handle(c.s, context));
  ALCcontext* live = live_context(c.s, context);
  ALCboolean ok = ALC_FALSE;
  if (!c.fails()) {
    if (context != nullptr && live == nullptr) {
      set_alc_error(c.s, nullptr, ALC_INVALID_CONTEXT);
    } else {
      set_thread_context(c.s, live);
      ok = ALC_TRUE;
    }
  }
  c.inject_alc(device_of(c.s, context));
  c.result(flag(ok));
  return ok;
}

ALCcontext* ALC_APIENTRY alcGetThreadContext() {
  Call c{"alcGetThreadContext"};
  ALCcontext* context = c.fails() ? nullptr : thread_context(c.s);
  c.inject_alc(device_of(c.s, thread_context(c.s)));
  c.result(handle(c.s, context));
  return context;
}

ALCdevice* ALC_APIENTRY alcLoopbackOpenDeviceSOFT(const ALCchar* deviceName) {
  Call c{"alcLoopbackOpenDeviceSOFT", Key::string(deviceName)};
  c.args(quote(deviceName));
  ALCdevice* device = nullptr;
  if (!c.fails()) device = new_device(c.s, deviceName != nullptr ? deviceName : "Loopback", true);
  c.inject_alc(nullptr);
  c.result(handle(c.s, device));
  return device;
}

ALCboolean ALC_APIENTRY alcIsRenderFormatSupportedSOFT(ALCdevice* device, ALCsizei freq,
                                                       ALCenum channels, ALCenum type) {
  Call c{"alcIsRenderFormatSupportedSOFT"};
  c.args(handle(c.s, device), dec(freq), hex(channels), hex(type));
  ALCdevice* open = open_device(c.s, device);
  ALCboolean ok = ALC_FALSE;
  if (!c.fails()) {
    if (open == nullptr || !open->loopback) {
      set_alc_error(c.s, open, ALC_INVALID_DEVICE);
    } else if (freq <= 0) {
      set_alc_error(c.s, open, ALC_INVALID_VALUE);
    } else {
      bool known_channels = channels == ALC_MONO_SOFT || channels == ALC_STEREO_SOFT ||
                            (channels >= ALC_QUAD_SOFT && channels <= ALC_7POINT1_SOFT);
      bool known_type = type >= ALC_BYTE_SOFT && type <= ALC_FLOAT_SOFT;
      ok = known_channels && known_type ? ALC_TRUE : ALC_FALSE;
    }
  }
  c.inject_alc(open);
  c.result(flag(ok));
  return ok;
}

void ALC_APIENTRY alcRenderSamplesSOFT(ALCdevice* device, ALCvoid* buffer, ALCsizei samples) {
  Call c{"alcRenderSamplesSOFT"};
  c.args(handle(c.s, device), dec(samples));
  ALCdevice* open = open_device(c.s, device);
  if (!c.fails()) {
    if (open == nullptr || !open->loopback) {
      set_alc_error(c.s, open, ALC_INVALID_DEVICE);
    } else if (samples < 0 || (samples > 0 && buffer == nullptr)) {
      set_alc_error(c.s, open, ALC_INVALID_VALUE);
    }
  }
  c.inject_alc(open);
}

static_assert(std::is_same_v<decltype(&alcSetThreadContext), PFNALCSETTHREADCONTEXTPROC>);
static_assert(std::is_same_v<decltype(&alcGetThreadContext), PFNALCGETTHREADCONTEXTPROC>);
static_assert(std::is_same_v<decltype(&alcLoopbackOpenDeviceSOFT), LPALCLOOPBACKOPENDEVICESOFT>);
static_assert(
    std::is_same_v<decltype(&alcIsRenderFormatSupportedSOFT), LPALCISRENDERFORMATSUPPORTEDSOFT>);
static_assert(std::is_same_v<decltype(&alcRenderSamplesSOFT), LPALCRENDERSAMPLESSOFT>);

struct NamedFunction {
  const char* name;
  void* address;
};

#define FAKE_FUNCTION(name) NamedFunction{#name, reinterpret_cast<void*>(&name)}
const NamedFunction kExtensionFunctions[] = {
    FAKE_FUNCTION(alcSetThreadContext),           FAKE_FUNCTION(alcGetThreadContext),
    FAKE_FUNCTION(alcLoopbackOpenDeviceSOFT),     FAKE_FUNCTION(alcIsRenderFormatSupportedSOFT),
    FAKE_FUNCTION(alcRenderSamplesSOFT),
};
#undef FAKE_FUNCTION

// What alcGetString hands out, and how the record shows it.
struct StringAnswer {
  const ALCchar* text = nullptr;
  std::string shown = "null";
};

StringAnswer plain(State& s, std::string_view text) {
  return {intern(s, text), quote_bytes(text)};
}

// A device list is shown with exactly its configured bytes, terminating NULs included.
StringAnswer device_list(State& s, const std::optional<std::string>& list) {
  if (!list) return {};
  return {intern(s, *list), quote_bytes(*list)};
}

StringAnswer optional_name(State& s, const std::optional<std::string>& name) {
  if (!name) return {};
  return plain(s, *name);
}

}  // namespace

extern "C" {

ALCcontext* ALC_APIENTRY alcCreateContext(ALCdevice* device, const ALCint* attrlist) {
  Call c{"alcCreateContext"};
  c.args(handle(c.s, device), attribute_list(attrlist));
  ALCdevice* open = open_device(c.s, device);
  ALCcontext* context = nullptr;
  if (!c.fails()) {
    if (open == nullptr) {
      set_alc_error(c.s, nullptr, ALC_INVALID_DEVICE);
    } else {
      auto created = std::make_unique<ALCcontext>();
      created->number = c.s.next_context++;
      created->device = open;
      c.s.contexts.push_back(std::move(created));
      context = c.s.contexts.back().get();
    }
  }
  c.inject_alc(open);
  c.result(handle(c.s, context));
  return context;
}

ALCboolean ALC_APIENTRY alcMakeContextCurrent(ALCcontext* context) {
  Call c{"alcMakeContextCurrent"};
  c.args(handle(c.s, context));
  ALCcontext* live = live_context(c.s, context);
  ALCboolean ok = ALC_FALSE;
  if (!c.fails()) {
    if (context != nullptr && live == nullptr) {
      set_alc_error(c.s, nullptr, ALC_INVALID_CONTEXT);
    } else {
      // As in OpenAL Soft, the calling thread's own context is dropped so the new one is used.
      c.s.process_context = live;
      set_thread_context(c.s, nullptr);
      ok = ALC_TRUE;
    }
  }
  c.inject_alc(device_of(c.s, context));
  c.result(flag(ok));
  return ok;
}

void ALC_APIENTRY alcProcessContext(ALCcontext* context) {
  Call c{"alcProcessContext"};
  c.args(handle(c.s, context));
  if (!c.fails() && live_context(c.s, context) == nullptr) {
    set_alc_error(c.s, nullptr, ALC_INVALID_CONTEXT);
  }
  c.inject_alc(device_of(c.s, context));
}

void ALC_APIENTRY alcSuspendContext(ALCcontext* context) {
  Call c{"alcSuspendContext"};
  c.args(handle(c.s, context));
  if (!c.fails() && live_context(c.s, context) == nullptr) {
    set_alc_error(c.s, nullptr, ALC_INVALID_CONTEXT);
  }
  c.inject_alc(device_of(c.s, context));
}

void ALC_APIENTRY alcDestroyContext(ALCcontext* context) {
  Call c{"alcDestroyContext"};
  c.args(handle(c.s, context));
  ALCcontext* live = live_context(c.s, context);
  ALCdevice* device = device_of(c.s, context);
  if (!c.fails()) {
    if (live == nullptr) {
      set_alc_error(c.s, nullptr, ALC_INVALID_CONTEXT);
    } else {
      live->alive = false;
      if (c.s.process_context == live) c.s.process_context = nullptr;
    }
  }
  c.inject_alc(device);
}

ALCcontext* ALC_APIENTRY alcGetCurrentContext(void) {
  Call c{"alcGetCurrentContext"};
  ALCcontext* context = c.fails() ? nullptr : current_context(c.s);
  c.inject_alc(device_of(c.s, current_context(c.s)));
  c.result(handle(c.s, context));
  return context;
}

ALCdevice* ALC_APIENTRY alcGetContextsDevice(ALCcontext* context) {
  Call c{"alcGetContextsDevice"};
  c.args(handle(c.s, context));
  ALCcontext* live = live_context(c.s, context);
  ALCdevice* device = nullptr;
  if (!c.fails()) {
    if (live == nullptr) {
      set_alc_error(c.s, nullptr, ALC_INVALID_CONTEXT);
    } else {
      device = live->device;
    }
  }
  c.inject_alc(device_of(c.s, context));
  c.result(handle(c.s, device));
  return device;
}

ALCdevice* ALC_APIENTRY alcOpenDevice(const ALCchar* devicename) {
  Call c{"alcOpenDevice", Key::string(devicename)};
  c.args(quote(devicename));
  ALCdevice* device = nullptr;
  if (!c.fails()) {
    const Config& config = c.s.config;
    if (devicename == nullptr || devicename[0] == '\0') {
      device = new_device(c.s, config.default_device.value_or(kDefaultName), false);
    } else if (listed(config.devices, devicename) || listed(config.all_devices, devicename) ||
               config.default_device == devicename || config.default_all_device == devicename) {
      device = new_device(c.s, devicename, false);
    } else {
      set_alc_error(c.s, nullptr, ALC_INVALID_VALUE);
    }
  }
  c.inject_alc(nullptr);
  c.result(handle(c.s, device));
  return device;
}

ALCboolean ALC_APIENTRY alcCloseDevice(ALCdevice* device) {
  Call c{"alcCloseDevice"};
  c.args(handle(c.s, device));
  ALCdevice* open = open_device(c.s, device);
  ALCboolean ok = ALC_FALSE;
  // Retired even when the call is made to fail, so a failing close cannot leak the device.
  if (open != nullptr) open->open = false;
  if (!c.fails()) {
    if (open == nullptr) {
      set_alc_error(c.s, nullptr, ALC_INVALID_DEVICE);
    } else {
      ok = ALC_TRUE;
    }
  }
  c.inject_alc(nullptr);
  c.result(flag(ok));
  return ok;
}

ALCenum ALC_APIENTRY alcGetError(ALCdevice* device) {
  Call c{"alcGetError"};
  c.args(handle(c.s, device));
  ALCdevice* open = open_device(c.s, device);
  ALCenum error = ALC_NO_ERROR;
  if (c.fails()) {
    error = c.injected();
  } else if (device != nullptr && open == nullptr) {
    error = ALC_INVALID_DEVICE;
  } else {
    ALCenum& pending = open != nullptr ? open->error : c.s.null_device_error;
    error = pending;
    pending = ALC_NO_ERROR;
    c.inject_alc(open);
  }
  c.result(hex(error));
  return error;
}

ALCboolean ALC_APIENTRY alcIsExtensionPresent(ALCdevice* device, const ALCchar* extname) {
  Call c{"alcIsExtensionPresent", Key::string(extname)};
  c.args(handle(c.s, device), quote(extname));
  ALCdevice* open = open_device(c.s, device);
  ALCboolean present = ALC_FALSE;
  if (!c.fails()) {
    if (device != nullptr && open == nullptr) {
      set_alc_error(c.s, nullptr, ALC_INVALID_DEVICE);
    } else if (extname == nullptr) {
      set_alc_error(c.s, open, ALC_INVALID_VALUE);
    } else {
      const auto& list = open != nullptr ? c.s.config.device_extensions : c.s.config.null_extensions;
      present = has_extension(list, extname) ? ALC_TRUE : ALC_FALSE;
    }
  }
  c.inject_alc(open);
  c.result(flag(present));
  return present;
}

void* ALC_APIENTRY alcGetProcAddress(ALCdevice* device, const ALCchar* funcname) {
  Call c{"alcGetProcAddress", Key::string(funcname)};
  c.args(handle(c.s, device), quote(funcname));
  ALCdevice* open = open_device(c.s, device);
  void* address = nullptr;
  std::string shown = "null";
  if (!c.fails()) {
    if (device != nullptr && open == nullptr) {
      set_alc_error(c.s, nullptr, ALC_INVALID_DEVICE);
    } else if (funcname == nullptr) {
      set_alc_error(c.s, open, ALC_INVALID_VALUE);
    } else {
      for (const auto& function : kExtensionFunctions) {
        if (std::strcmp(function.name, funcname) == 0) {
          address = function.address;
          shown = std::string("&") + function.name;
        }
      }
    }
  }
  c.inject_alc(open);
  c.result(shown);
  return address;
}

ALCenum ALC_APIENTRY alcGetEnumValue(ALCdevice* device, const ALCchar* enumname) {
  Call c{"alcGetEnumValue", Key::string(enumname)};
  c.args(handle(c.s, device), quote(enumname));
  ALCdevice* open = open_device(c.s, device);
  ALCenum value = 0;
  if (!c.fails()) {
    if (device != nullptr && open == nullptr) {
      set_alc_error(c.s, nullptr, ALC_INVALID_DEVICE);
    } else if (enumname == nullptr) {
      set_alc_error(c.s, open, ALC_INVALID_VALUE);
    } else {
      for (const auto& known : kAlcEnums) {
        if (std::strcmp(known.name, enumname) == 0) value = known.value;
      }
    }
  }
  c.inject_alc(open);
  c.result(hex(value));
  return value;
}

const ALCchar* ALC_APIENTRY alcGetString(ALCdevice* device, ALCenum param) {
  Call c{"alcGetString", Key::param(param)};
  c.args(handle(c.s, device), hex(param));
  ALCdevice* open = open_device(c.s, device);
  const Config& config = c.s.config;
  StringAnswer answer;
  bool bad_device = device != nullptr && open == nullptr;
  if (!c.fails()) {
    switch (param) {
      case ALC_NO_ERROR: answer = plain(c.s, "No Error"); break;
      case ALC_INVALID_DEVICE: answer = plain(c.s, "Invalid Device"); break;
      case ALC_INVALID_CONTEXT: answer = plain(c.s, "Invalid Context"); break;
      case ALC_INVALID_ENUM: answer = plain(c.s, "Invalid Enum"); break;
      case ALC_INVALID_VALUE: answer = plain(c.s, "Invalid Value"); break;
      case ALC_OUT_OF_MEMORY: answer = plain(c.s, "Out of Memory"); break;
      case ALC_DEFAULT_DEVICE_SPECIFIER: answer = optional_name(c.s, config.default_device); break;
      case ALC_DEFAULT_ALL_DEVICES_SPECIFIER:
        answer = optional_name(c.s, config.default_all_device);
        break;
      case ALC_CAPTURE_DEFAULT_DEVICE_SPECIFIER: answer = plain(c.s, ""); break;
      case ALC_DEVICE_SPECIFIER:
      case ALC_ALL_DEVICES_SPECIFIER:
      case ALC_CAPTURE_DEVICE_SPECIFIER:
      case ALC_EXTENSIONS:
        if (bad_device) {
          set_alc_error(c.s, nullptr, ALC_INVALID_DEVICE);
        } else if (param == ALC_EXTENSIONS) {
          answer = plain(c.s, joined(open != nullptr ? config.device_extensions
                                                     : config.null_extensions));
        } else if (param == ALC_CAPTURE_DEVICE_SPECIFIER) {
          answer = device_list(c.s, std::string(1, '\0'));  // no capture devices
        } else if (open != nullptr) {
          answer = plain(c.s, open->name);
        } else {
          answer = device_list(c.s, param == ALC_DEVICE_SPECIFIER ? config.devices
                                                                  : config.all_devices);
        }
        break;
      default: set_alc_error(c.s, open, ALC_INVALID_ENUM); break;
    }
  }
  c.inject_alc(open);
  c.result(answer.shown);
  return answer.text;
}

void ALC_APIENTRY alcGetIntegerv(ALCdevice* device, ALCenum param, ALCsizei size, ALCint* values) {
  Call c{"alcGetIntegerv", Key::param(param)};
  c.args(handle(c.s, device), hex(param), dec(size));
  ALCdevice* open = open_device(c.s, device);
  const Config& config = c.s.config;
  std::vector<ALCint> out;
  if (!c.fails()) {
    auto device_only = [&](ALCint value) {
      if (open != nullptr) {
        out.push_back(value);
      } else {
        set_alc_error(c.s, nullptr, ALC_INVALID_DEVICE);
      }
    };
    if (device != nullptr && open == nullptr) {
      set_alc_error(c.s, nullptr, ALC_INVALID_DEVICE);
    } else if (size <= 0 || values == nullptr) {
      set_alc_error(c.s, open, ALC_INVALID_VALUE);
    } else {
      const auto& version = open != nullptr ? config.device_version : config.null_version;
      switch (param) {
        case ALC_MAJOR_VERSION:
          if (version) out.push_back(version->major);
          break;
        case ALC_MINOR_VERSION:
          if (version) out.push_back(version->minor);
          break;
        case ALC_EFX_MAJOR_VERSION: out.push_back(1); break;
        case ALC_EFX_MINOR_VERSION: out.push_back(0); break;
        case ALC_MAX_AUXILIARY_SENDS: device_only(config.max_aux_sends); break;
        case ALC_ATTRIBUTES_SIZE: device_only(1); break;
        case ALC_ALL_ATTRIBUTES: device_only(0); break;
        case ALC_FREQUENCY: device_only(44100); break;
        case ALC_REFRESH: device_only(50); break;
        case ALC_SYNC: device_only(ALC_FALSE); break;
        case ALC_MONO_SOURCES: device_only(255); break;
        case ALC_STEREO_SOURCES: device_only(1); break;
        case ALC_CAPTURE_SAMPLES: set_alc_error(c.s, open, ALC_INVALID_DEVICE); break;
        default: set_alc_error(c.s, open, ALC_INVALID_ENUM); break;
      }
      std::copy(out.begin(), out.end(), values);
    }
  }
  c.inject_alc(open);
  c.result(written(out));
}

ALCdevice* ALC_APIENTRY alcCaptureOpenDevice(const ALCchar* devicename, ALCuint frequency,
                                              ALCenum format, ALCsizei buffersize) {
  Call c{"alcCaptureOpenDevice", Key::string(devicename)};
  c.args(quote(devicename), dec(frequency), hex(format), dec(buffersize));
  // There are no capture devices.
  if (!c.fails()) set_alc_error(c.s, nullptr, ALC_INVALID_VALUE);
  c.inject_alc(nullptr);
  c.result("null");
  return nullptr;
}

ALCboolean ALC_APIENTRY alcCaptureCloseDevice(ALCdevice* device) {
  Call c{"alcCaptureCloseDevice"};
  c.args(handle(c.s, device));
  ALCdevice* open = open_device(c.s, device);
  if (!c.fails()) set_alc_error(c.s, open, ALC_INVALID_DEVICE);
  c.inject_alc(open);
  c.result(flag(false));
  return ALC_FALSE;
}

void ALC_APIENTRY alcCaptureStart(ALCdevice* device) {
  Call c{"alcCaptureStart"};
  c.args(handle(c.s, device));
  ALCdevice* open = open_device(c.s, device);
  if (!c.fails()) set_alc_error(c.s, open, ALC_INVALID_DEVICE);
  c.inject_alc(open);
}

void ALC_APIENTRY alcCaptureStop(ALCdevice* device) {
  Call c{"alcCaptureStop"};
  c.args(handle(c.s, device));
  ALCdevice* open = open_device(c.s, device);
  if (!c.fails()) set_alc_error(c.s, open, ALC_INVALID_DEVICE);
  c.inject_alc(open);
}

// Left out of the variant that stands for an OpenAL library missing one core entry point.
#ifndef FAKE_OPENAL_WITHOUT_CAPTURE_SAMPLES
void ALC_APIENTRY alcCaptureSamples(ALCdevice* device, ALCvoid* /*buffer*/, ALCsizei samples) {
  Call c{"alcCaptureSamples"};
  c.args(handle(c.s, device), dec(samples));
  ALCdevice* open = open_device(c.s, device);
  if (!c.fails()) set_alc_error(c.s, open, ALC_INVALID_DEVICE);
  c.inject_alc(open);
}
#endif

}  // extern "C"
