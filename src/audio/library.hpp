#pragma once

#include <AL/al.h>
#include <AL/alc.h>

#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
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

/// POSIX guarantees that an address from dlsym or alcGetProcAddress converts to a function pointer;
/// the copy does so without a cast between object and function pointers.
template <class Function>
Function function_cast(void* address) {
  static_assert(sizeof(Function) == sizeof(void*));
  Function function = nullptr;
  std::memcpy(&function, &address, sizeof function);
  return function;
}

/// What the extension probe found for one extension: absent, or present with each of its constants
/// resolved to a value or absent and each of its functions resolved to an address or absent.
struct ExtensionRecord {
  bool present = false;
  std::vector<std::pair<std::string_view, std::optional<ALCenum>>> constants;
  std::vector<std::pair<std::string_view, void*>> functions;

  /// The resolved value of a constant of a present extension.
  std::optional<ALCenum> constant(std::string_view name) const;
  /// The resolved address of a function of a present extension, or null.
  void* function(std::string_view name) const;
};

/// The library-wide ALC extensions, probed with the null device when the library is loaded.
struct LibraryExtensions {
  ExtensionRecord enumerate_all;         // ALC_ENUMERATE_ALL_EXT
  ExtensionRecord soft_loopback;         // ALC_SOFT_loopback (recorded; nothing uses it)
  ExtensionRecord thread_local_context;  // ALC_EXT_thread_local_context
};

/// The platform's loader gives one message for a failure and no number. The number is recovered
/// from the message: glibc ends it with the system's text for the failure ("...: No such file or
/// directory"), and the number whose strerror text is that ending is the error. A message that ends
/// in no such text is a file that is not a loadable library when opening (ENOEXEC, "Exec format
/// error") and a function the library does not provide when looking up (ENOSYS, "Function not
/// implemented").
enum class LoaderStep : std::uint8_t { Open, Lookup };
OsError os_error_from_loader_message(std::string_view message, LoaderStep step);

/// The OpenAL library opened at run time: its entry-point table and its extension record. A shared
/// handle: copies share one record, and the last copy to go closes the library.
class AudioLibrary {
 public:
  const EntryPoints& entry_points() const;
  const LibraryExtensions& extensions() const;

 private:
  struct Record;
  explicit AudioLibrary(std::shared_ptr<const Record> record) : record_(std::move(record)) {}
  friend AudioResult<AudioLibrary> load_audio_library(std::span<const std::string_view> file_names);

  std::shared_ptr<const Record> record_;
};

/// The file names tried, in this order, on every platform; each is handed unchanged to the
/// platform's loader, so its own search rules apply.
inline constexpr std::array<std::string_view, 5> default_library_names{
    "libopenal.so", "libopenal.dylib", "OpenAL.framework/OpenAL", "soft_oal.dll", "OpenAL32.dll"};

/// Opens the first of `file_names` that loads, looks up all 93 entry points, probes the
/// library-wide extensions and checks the ALC version with the null device.
AudioResult<AudioLibrary> load_audio_library(std::span<const std::string_view> file_names = default_library_names);

/// Probes an ALC extension on `device` (null for the library-wide probe): whether it is present,
/// then each constant and function by name. Absence is recorded, never an error.
ExtensionRecord probe_alc_extension(const EntryPoints& al, ALCdevice* device, std::string_view extension,
                                    std::span<const std::string_view> constants,
                                    std::span<const std::string_view> functions);
/// The same for an AL extension, on the current context.
ExtensionRecord probe_al_extension(const EntryPoints& al, std::string_view extension,
                                   std::span<const std::string_view> constants,
                                   std::span<const std::string_view> functions);

/// Accepts ALC 1.1 and any later 1.x; with the null device also 0.0 (an implementation that leaves
/// the numbers alone). Anything else is `UnsupportedVersion` with the numbers read.
AudioResult<void> check_version(const AudioLibrary& library, ALCdevice* device);

/// Reads the ALC error of `device` once: 0 is success, anything else the mapped error.
AudioResult<void> check_alc_error(const AudioLibrary& library, ALCdevice* device);
/// Reads the AL error of the current context once. Call it under the guard the checked call ran in.
AudioResult<void> check_al_error(const AudioLibrary& library);
