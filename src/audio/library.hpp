#pragma once

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "audio/entry_points.hpp"
#include "audio/error.hpp"

/// Every OpenAL 1.1 core function, looked up by name when the library is loaded. Fields are named
/// exactly like OpenAL's functions: `al.alcOpenDevice(name)`.
struct EntryPoints {
#define AUDIO_FIELD(type, name) type name = nullptr;
  AUDIO_ALC_ENTRY_POINTS(AUDIO_FIELD)
  AUDIO_AL_ENTRY_POINTS(AUDIO_FIELD)
#undef AUDIO_FIELD
};

/// An address from the loader or from alcGetProcAddress is a function's: POSIX guarantees that it
/// converts to a function pointer, and Windows hands out nothing else. The copy converts it without
/// a cast between object and function pointers.
template <class Function>
Function function_cast(void* address) {
  static_assert(sizeof(Function) == sizeof(void*));
  Function function = nullptr;
  std::memcpy(&function, &address, sizeof function);
  return function;
}

/// The order and the calls of the extension probe, on one layer: ALC with a device handle (null for
/// the library-wide probe), or AL on the current context. It asks whether the extension is present,
/// then each of its constants and functions by name. Absence is recorded, never an error.
class ExtensionProbe {
 public:
  /// The ALC form, on `device`.
  ExtensionProbe(const EntryPoints& al, ALCdevice* device) : al_(al), device_(device) {}
  /// The AL form, on the context current when it probes. Part of the probe's interface that only
  /// the tests use: the program reads no AL extension.
  explicit ExtensionProbe(const EntryPoints& al) : al_(al) {}

  /// Whether `extension` is present, after a read of the error state that clears it: a stale error
  /// must not be taken for a failed look-up of a constant or function.
  bool present(const char* extension) const;
  /// The constant's value; absent when OpenAL gives 0 (no error is read then: 0 is an answer in
  /// itself) or a value with a pending error. Some names then take their standard value.
  std::optional<ALCenum> constant(const char* name) const;
  /// The function's address; null when OpenAL gives none or gives one with a pending error.
  void* function(const char* name) const;

 private:
  int error() const;

  const EntryPoints& al_;
  std::optional<ALCdevice*> device_;  // nothing for the AL form
};

/// One constant of an extension: its OpenAL name and the field of the record that takes its value.
template <class Extension>
struct ExtensionConstant {
  const char* name;
  std::optional<ALCenum> Extension::*field;
};

/// One function of an extension: its OpenAL name and the `store_function` of the record's typed
/// field that takes its address. Code that needs the function reads the field.
template <class Extension>
struct ExtensionFunction {
  const char* name;
  void (*store)(Extension& found, void* address);
};

/// Stores a function's address in the record's `field`, converted to that field's type.
template <auto field, class Extension>
void store_function(Extension& found, void* address) {
  found.*field = function_cast<std::remove_reference_t<decltype(found.*field)>>(address);
}

/// One function of `Extension` whose record field is named like the OpenAL function, so that the
/// name is written once and the two cannot disagree.
// NOLINTNEXTLINE(bugprone-macro-parentheses): the arguments are a type and a member's name
#define AUDIO_EXTENSION_FUNCTION(Extension, field) \
  { #field, store_function < &Extension::field> }

/// Probes the extension `name`: the record says whether it is present and holds each constant and
/// function of the tables that resolved, asked in table order; the rest stay absent. The tables
/// are constant arrays, which the spans only look at.
template <class Extension>
Extension probe_extension(const ExtensionProbe& probe, const char* name,
                          std::span<const ExtensionConstant<Extension>> constants,
                          std::span<const ExtensionFunction<Extension>> functions) {
  Extension found;
  found.present = probe.present(name);
  if (!found.present) return found;
  for (const auto& [constant, field] : constants) found.*field = probe.constant(constant);
  for (const auto& [function, store] : functions) {
    if (void* address = probe.function(function)) store(found, address);
  }
  return found;
}

/// ALC_ENUMERATE_ALL_EXT: the full device list and default name, when its constants resolved.
struct EnumerateAllExtension {
  bool present = false;
  std::optional<ALCenum> all_devices_specifier;
  std::optional<ALCenum> default_all_devices_specifier;
};

/// ALC_SOFT_loopback: recorded; nothing uses it.
struct SoftLoopbackExtension {
  bool present = false;
  std::optional<ALCenum> byte_soft, unsigned_byte_soft, short_soft, unsigned_short_soft, int_soft, unsigned_int_soft,
      float_soft, mono_soft, stereo_soft, quad_soft, five_point_one_soft, six_point_one_soft, seven_point_one_soft,
      format_channels_soft, format_type_soft;
  LPALCLOOPBACKOPENDEVICESOFT alcLoopbackOpenDeviceSOFT = nullptr;
  LPALCISRENDERFORMATSUPPORTEDSOFT alcIsRenderFormatSupportedSOFT = nullptr;
  LPALCRENDERSAMPLESSOFT alcRenderSamplesSOFT = nullptr;
};

/// ALC_EXT_thread_local_context: a current context per thread, set through alcSetThreadContext.
struct ThreadLocalContextExtension {
  bool present = false;
  PFNALCSETTHREADCONTEXTPROC alcSetThreadContext = nullptr;
  PFNALCGETTHREADCONTEXTPROC alcGetThreadContext = nullptr;  // resolved, never called
};

/// The library-wide ALC extensions, probed with the null device when the library is loaded.
struct LibraryExtensions {
  EnumerateAllExtension enumerate_all;
  SoftLoopbackExtension soft_loopback;
  ThreadLocalContextExtension thread_local_context;
};

/// How the audio library is found, opened, looked into and closed: the platform's dynamic loader in
/// a run, a test's own in a test (like volk, which takes its loader function from the caller). A
/// file name is opened at each of its paths in turn, none of them in the current folder. Each other
/// step returns its value or the operating system's error for its own failure; an error of code 0 is
/// a failure for which the platform gave no error.
struct LibraryLoader {
  std::vector<std::string> (*paths)(std::string_view file_name);
  std::expected<void*, OsError> (*open)(const char* path);
  std::expected<void*, OsError> (*look_up)(void* library, const char* name);
  std::expected<void, OsError> (*close)(void* library);
};

/// The platform's dynamic loader: library_paths, dlopen (every symbol bound at once, none shared),
/// dlsym and dlclose; on Windows the name as it is, LoadLibrary (without the system's error dialogs),
/// GetProcAddress and FreeLibrary.
extern const LibraryLoader dynamic_loader;

/// What the platform's loader gives for a library that is nowhere to be found (ENOENT, or
/// ERROR_MOD_NOT_FOUND on Windows), and so the error when there is no file name to try.
extern const OsError library_not_found;

/// The OpenAL library opened at run time: its entry-point table and its extension record. A shared
/// handle: copies share one record, and the last copy to go closes the library. Releasing the last
/// copy can end the process: a library that cannot be closed is a fatal report, then status 101.
class AudioLibrary {
 public:
  const EntryPoints& entry_points() const;
  const LibraryExtensions& extensions() const;

 private:
  struct Record;
  explicit AudioLibrary(std::shared_ptr<const Record> record) : record_(std::move(record)) {}
  friend AudioResult<AudioLibrary> load_audio_library(std::span<const std::string_view> file_names,
                                                      const LibraryLoader& loader);

  std::shared_ptr<const Record> record_;
};

/// The file names tried, in this order, on every platform, none in the current folder: on Linux a
/// bare name goes to the loader's own search, and a relative path with a folder in it is not looked
/// for; on macOS each name becomes the absolute paths of the folders it may be in (library_paths);
/// on Windows the DLL folder takes the current folder's place in the search.
inline constexpr std::array<std::string_view, 5> default_library_names{
    "libopenal.so", "libopenal.dylib", "OpenAL.framework/OpenAL", "soft_oal.dll", "OpenAL32.dll"};

/// Opens the first of `file_names` that loads, looks up all 93 entry points, probes the
/// library-wide extensions and checks the ALC version with the null device. Can stop the run: a
/// loader that fails without a message, or a library that cannot be closed again, is a fatal stop.
AudioResult<AudioLibrary> load_audio_library(std::span<const std::string_view> file_names = default_library_names,
                                             const LibraryLoader& loader = dynamic_loader);

/// Accepts ALC 1.1 and any later 1.x; with the null device also 0.0 (an implementation that leaves
/// the numbers alone). Anything else is `UnsupportedVersion` with the numbers read.
AudioResult<void> check_version(const AudioLibrary& library, ALCdevice* device);

/// Reads the ALC error of `device` once: 0 is success, anything else the mapped error.
AudioResult<void> check_alc_error(const AudioLibrary& library, ALCdevice* device);
/// Reads the AL error of the current context once. Call it under the guard the checked call ran in.
AudioResult<void> check_al_error(const AudioLibrary& library);
