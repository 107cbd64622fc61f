#include "audio/library.hpp"

#include <type_traits>

#include "audio/extension_probe.hpp"
#include "fatal.hpp"

namespace {

/// The error of a loader step that failed, or a fatal stop when the loader gave none.
OsError loader_error(const OsError& error, std::string_view what, std::string_view name) {
  if (error.code == 0) fatal(std::string(what) + " failed without an error from the loader: " + std::string(name));
  return error;
}

/// The first of `file_names` that opens, each tried at its paths in turn; when none opens, the last
/// attempt's error. Can stop the run, as loader_error does.
std::expected<void*, OsError> open_first(std::span<const std::string_view> file_names, const LibraryLoader& loader) {
  OsError last_error = library_not_found;  // where no path is tried, none is found
  for (const std::string_view name : file_names) {
    for (const std::string& path : loader.paths(name)) {
      const auto opened = loader.open(path.c_str());
      if (opened) return opened;
      last_error = loader_error(opened.error(), "opening a library", path);
    }
  }
  return std::unexpected(last_error);
}

using EnumerateAll = EnumerateAllExtension;
constexpr ExtensionConstant<EnumerateAll> enumerate_all_constants[]{
    {"ALC_ALL_DEVICES_SPECIFIER", &EnumerateAll::all_devices_specifier},
    {"ALC_DEFAULT_ALL_DEVICES_SPECIFIER", &EnumerateAll::default_all_devices_specifier},
};

// Nothing reads these; asked all the same: the library sees every call, and tests pin the calls' order.
using Loopback = SoftLoopbackExtension;
constexpr ExtensionConstant<Loopback> loopback_constants[]{
    {"ALC_BYTE_SOFT", &Loopback::byte_soft},
    {"ALC_UNSIGNED_BYTE_SOFT", &Loopback::unsigned_byte_soft},
    {"ALC_SHORT_SOFT", &Loopback::short_soft},
    {"ALC_UNSIGNED_SHORT_SOFT", &Loopback::unsigned_short_soft},
    {"ALC_INT_SOFT", &Loopback::int_soft},
    {"ALC_UNSIGNED_INT_SOFT", &Loopback::unsigned_int_soft},
    {"ALC_FLOAT_SOFT", &Loopback::float_soft},
    {"ALC_MONO_SOFT", &Loopback::mono_soft},
    {"ALC_STEREO_SOFT", &Loopback::stereo_soft},
    {"ALC_QUAD_SOFT", &Loopback::quad_soft},
    {"ALC_5POINT1_SOFT", &Loopback::five_point_one_soft},
    {"ALC_6POINT1_SOFT", &Loopback::six_point_one_soft},
    {"ALC_7POINT1_SOFT", &Loopback::seven_point_one_soft},
    {"ALC_FORMAT_CHANNELS_SOFT", &Loopback::format_channels_soft},
    {"ALC_FORMAT_TYPE_SOFT", &Loopback::format_type_soft},
};
// Nothing calls these; asked all the same, as the constants above are: trimming them changes the calls.
constexpr ExtensionFunction<Loopback> loopback_functions[]{
    AUDIO_EXTENSION_FUNCTION(Loopback, alcLoopbackOpenDeviceSOFT),
    AUDIO_EXTENSION_FUNCTION(Loopback, alcIsRenderFormatSupportedSOFT),
    AUDIO_EXTENSION_FUNCTION(Loopback, alcRenderSamplesSOFT),
};

// alcGetThreadContext is never called; asked all the same, as the loopback rows are: the library sees it.
using ThreadContext = ThreadLocalContextExtension;
constexpr ExtensionFunction<ThreadContext> thread_context_functions[]{
    AUDIO_EXTENSION_FUNCTION(ThreadContext, alcSetThreadContext),
    AUDIO_EXTENSION_FUNCTION(ThreadContext, alcGetThreadContext),
};

}  // namespace

struct AudioLibrary::Record {
  Record(const LibraryLoader& loader, void* handle) : loader(loader), handle(handle) {}
  Record(const Record&) = delete;
  Record& operator=(const Record&) = delete;
  ~Record() {
    // Runs at the last release, possibly while a fatal stop unwinds: no unwinding from here.
    if (const auto closed = loader.close(handle); !closed) {
      const OsError& error = closed.error();
      fatal_exit("closing the audio library failed: " + (error.code != 0 ? error.debug() : "no error from the loader"));
    }
  }

  LibraryLoader loader;
  void* handle;
  EntryPoints table;
  LibraryExtensions extensions;
};

const EntryPoints& AudioLibrary::entry_points() const { return record_->table; }

const LibraryExtensions& AudioLibrary::extensions() const { return record_->extensions; }

AudioResult<AudioLibrary> load_audio_library(std::span<const std::string_view> file_names,
                                             const LibraryLoader& loader) {
  const auto opened = open_first(file_names, loader);
  if (!opened) return std::unexpected(opened.error());
  auto record = std::make_unique<AudioLibrary::Record>(loader, *opened);

  // Every entry point, in table order; the first missing one closes the library again.
  EntryPoints& table = record->table;
  const auto look_up = [&](auto& field, const char* name) -> std::optional<OsError> {
    const auto address = loader.look_up(record->handle, name);
    if (!address) return loader_error(address.error(), "looking up", name);
    field = function_cast<std::remove_reference_t<decltype(field)>>(*address);
    return std::nullopt;
  };
#define AUDIO_LOOK_UP(type, name) \
  if (auto missing = look_up(table.name, #name)) return std::unexpected(*missing);
  AUDIO_ALC_ENTRY_POINTS(AUDIO_LOOK_UP)
  AUDIO_AL_ENTRY_POINTS(AUDIO_LOOK_UP)
#undef AUDIO_LOOK_UP

  // The library-wide extensions, asked with the null device.
  const ExtensionProbe probe{table, nullptr};
  record->extensions = {
      .enumerate_all = probe_extension<EnumerateAll>(probe, "ALC_ENUMERATE_ALL_EXT", enumerate_all_constants, {}),
      .soft_loopback = probe_extension<Loopback>(probe, "ALC_SOFT_loopback", loopback_constants, loopback_functions),
      .thread_local_context =
          probe_extension<ThreadContext>(probe, "ALC_EXT_thread_local_context", {}, thread_context_functions)};

  // Shared from here on; a library whose version is refused is closed again as it goes.
  AudioLibrary library(std::shared_ptr<const AudioLibrary::Record>(std::move(record)));
  if (auto version = check_version(library, nullptr); !version) return std::unexpected(version.error());
  return library;
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
