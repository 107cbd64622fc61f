#include "audio/library.hpp"

#include <AL/alext.h>
#include <dlfcn.h>

#include <cstring>
#include <functional>

#include "fatal.hpp"

namespace {

/// The loader's message for the failure that just happened, or a fatal stop when it gives none.
std::string_view loader_message(std::string_view what, const std::string& file_name) {
  const char* message = dlerror();
  if (message == nullptr) fatal(std::string(what) + " failed without an error from the loader: " + file_name);
  return message;
}

// The three library-wide extensions and the names the probe asks for, in order.
constexpr std::string_view enumerate_all_constants[] = {"ALC_ALL_DEVICES_SPECIFIER",
                                                        "ALC_DEFAULT_ALL_DEVICES_SPECIFIER"};
constexpr std::string_view loopback_constants[] = {"ALC_BYTE_SOFT",       "ALC_UNSIGNED_BYTE_SOFT",
                                                   "ALC_SHORT_SOFT",      "ALC_UNSIGNED_SHORT_SOFT",
                                                   "ALC_INT_SOFT",        "ALC_UNSIGNED_INT_SOFT",
                                                   "ALC_FLOAT_SOFT",      "ALC_MONO_SOFT",
                                                   "ALC_STEREO_SOFT",     "ALC_QUAD_SOFT",
                                                   "ALC_5POINT1_SOFT",    "ALC_6POINT1_SOFT",
                                                   "ALC_7POINT1_SOFT",    "ALC_FORMAT_CHANNELS_SOFT",
                                                   "ALC_FORMAT_TYPE_SOFT"};
constexpr std::string_view loopback_functions[] = {"alcLoopbackOpenDeviceSOFT", "alcIsRenderFormatSupportedSOFT",
                                                   "alcRenderSamplesSOFT"};
constexpr std::string_view thread_context_functions[] = {"alcSetThreadContext", "alcGetThreadContext"};

/// Some implementations give no value for these names; they take the standard values instead. The
/// EFX effect-slot names are often missing; OpenAL Soft before 1.20 offers ALC_SOFT_device_clock
/// and its function but does not know the name of its latency query.
std::optional<ALCenum> fallback_constant(std::string_view name) {
  if (name == "AL_EFFECTSLOT_EFFECT") return 1;
  if (name == "AL_EFFECTSLOT_GAIN") return 2;
  if (name == "AL_EFFECTSLOT_AUXILIARY_SEND_AUTO") return 3;
  if (name == "ALC_DEVICE_LATENCY_SOFT") return ALC_DEVICE_LATENCY_SOFT;
  return std::nullopt;
}

/// One probe for both layers. `error` reads (and so clears) the layer's error state.
ExtensionRecord probe_extension(std::span<const std::string_view> constants,
                                std::span<const std::string_view> functions, const std::function<int()>& error,
                                const std::function<bool()>& present, const std::function<int(const char*)>& enum_value,
                                const std::function<void*(const char*)>& proc_address) {
  ExtensionRecord record;
  error();  // a stale error must not be taken for a failed look-up below
  if (!present()) return record;
  record.present = true;
  for (const std::string_view name : constants) {
    const std::string text(name);
    std::optional<ALCenum> value;
    // The error is read only after a value came back: a 0 is an answer in itself.
    if (const int found = enum_value(text.c_str()); found != 0 && error() == 0) value = found;
    record.constants.emplace_back(name, value ? value : fallback_constant(name));
  }
  for (const std::string_view name : functions) {
    const std::string text(name);
    void* address = proc_address(text.c_str());
    if (address != nullptr && error() != 0) address = nullptr;
    record.functions.emplace_back(name, address);
  }
  return record;
}

}  // namespace


std::optional<ALCenum> ExtensionRecord::constant(std::string_view name) const {
  for (const auto& [constant_name, value] : constants) {
    if (constant_name == name) return value;
  }
  return std::nullopt;
}

void* ExtensionRecord::function(std::string_view name) const {
  for (const auto& [function_name, address] : functions) {
    if (function_name == name) return address;
  }
  return nullptr;
}

OsError os_error_from_loader_message(std::string_view message, LoaderStep step) {
  const std::size_t separator = message.rfind(": ");
  const std::string_view ending = separator == std::string_view::npos ? message : message.substr(separator + 2);
  for (int code = 1; code < 256; ++code) {
    if (ending == std::strerror(code)) return OsError{code};
  }
  return OsError{step == LoaderStep::Open ? ENOEXEC : ENOSYS};
}

struct AudioLibrary::Record {
  explicit Record(void* handle) : handle(handle) {}
  Record(const Record&) = delete;
  Record& operator=(const Record&) = delete;
  ~Record() {
    // Runs at the last release, possibly while a fatal stop unwinds: no unwinding from here.
    if (dlclose(handle) != 0) {
      const char* message = dlerror();
      fatal_exit(std::string("closing the audio library failed: ") + (message != nullptr ? message : "no message"));
    }
  }

  void* handle;
  EntryPoints table;
  LibraryExtensions extensions;
};

const EntryPoints& AudioLibrary::entry_points() const { return record_->table; }

const LibraryExtensions& AudioLibrary::extensions() const { return record_->extensions; }

AudioResult<AudioLibrary> load_audio_library(std::span<const std::string_view> file_names) {
  // 1. Open the first file name that loads; only the last attempt's error is kept.
  std::unique_ptr<AudioLibrary::Record> record;
  OsError last_error{ENOENT};
  for (const std::string_view name : file_names) {
    const std::string file_name(name);
    dlerror();
    if (void* handle = dlopen(file_name.c_str(), RTLD_NOW | RTLD_LOCAL)) {
      record = std::make_unique<AudioLibrary::Record>(handle);
      break;
    }
    last_error = os_error_from_loader_message(loader_message("opening a library", file_name), LoaderStep::Open);
  }
  if (!record) return std::unexpected(last_error);

  // 2. Every entry point, in table order; the first missing one closes the library again.
  EntryPoints& table = record->table;
  const auto look_up = [&](auto& field, const char* name) {
    dlerror();
    void* address = dlsym(record->handle, name);
    if (address == nullptr) {
      return std::optional(os_error_from_loader_message(loader_message("looking up", name), LoaderStep::Lookup));
    }
    field = function_cast<std::remove_reference_t<decltype(field)>>(address);
    return std::optional<OsError>();
  };
#define AUDIO_LOOK_UP(type, name) \
  if (auto missing = look_up(table.name, #name)) return std::unexpected(*missing);
  AUDIO_ALC_ENTRY_POINTS(AUDIO_LOOK_UP)
  AUDIO_AL_ENTRY_POINTS(AUDIO_LOOK_UP)
#undef AUDIO_LOOK_UP

  // 3. The library-wide extensions, asked with the null device.
  record->extensions.enumerate_all =
      probe_alc_extension(table, nullptr, "ALC_ENUMERATE_ALL_EXT", enumerate_all_constants, {});
  record->extensions.soft_loopback =
      probe_alc_extension(table, nullptr, "ALC_SOFT_loopback", loopback_constants, loopback_functions);
  record->extensions.thread_local_context =
      probe_alc_extension(table, nullptr, "ALC_EXT_thread_local_context", {}, thread_context_functions);

  // 4.-6. Share the record, then check the version; a refused library is closed again.
  AudioLibrary library(std::shared_ptr<const AudioLibrary::Record>(std::move(record)));
  if (auto version = check_version(library, nullptr); !version) return std::unexpected(version.error());
  return library;
}

ExtensionRecord probe_alc_extension(const EntryPoints& al, ALCdevice* device, std::string_view extension,
                                    std::span<const std::string_view> constants,
                                    std::span<const std::string_view> functions) {
  const std::string name(extension);
  return probe_extension(
      constants, functions, [&] { return al.alcGetError(device); },
      [&] { return al.alcIsExtensionPresent(device, name.c_str()) == ALC_TRUE; },
      [&](const char* constant) { return al.alcGetEnumValue(device, constant); },
      [&](const char* function) { return al.alcGetProcAddress(device, function); });
}

ExtensionRecord probe_al_extension(const EntryPoints& al, std::string_view extension,
                                   std::span<const std::string_view> constants,
                                   std::span<const std::string_view> functions) {
  const std::string name(extension);
  return probe_extension(
      constants, functions, [&] { return al.alGetError(); },
      [&] { return al.alIsExtensionPresent(name.c_str()) == AL_TRUE; },
      [&](const char* constant) { return al.alGetEnumValue(constant); },
      [&](const char* function) { return al.alGetProcAddress(function); });
}

AudioResult<void> check_version(const AudioLibrary& library, ALCdevice* device) {
  const EntryPoints& al = library.entry_points();
  ALCint major = 0;
  al.alcGetIntegerv(device, ALC_MAJOR_VERSION, 1, &major);
  ALCint minor = 0;
  al.alcGetIntegerv(device, ALC_MINOR_VERSION, 1, &minor);
  // No error is read: the numbers decide. A null-device query may leave them untouched.
  if ((major == 1 && minor >= 1) || (device == nullptr && major == 0 && minor == 0)) return {};
  return std::unexpected(AudioError::unsupported_version(major, minor));
}

AudioResult<void> check_alc_error(const AudioLibrary& library, ALCdevice* device) {
  if (const ALCenum code = library.entry_points().alcGetError(device); code != ALC_NO_ERROR) {
    return std::unexpected(map_alc_code(code));
  }
  return {};
}

AudioResult<void> check_al_error(const AudioLibrary& library) {
  if (const ALenum code = library.entry_points().alGetError(); code != AL_NO_ERROR) {
    return std::unexpected(map_al_code(code));
  }
  return {};
}
