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
