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

#include "audio/error.hpp"

// Table order matters: lookups stop at the first missing name, which is the one reported. Do not
// reorder. Each entry is the pointer type the OpenAL 1.1 headers give for that name.
#define AUDIO_ALC_ENTRY_POINTS(X)                   \
  X(LPALCCREATECONTEXT, alcCreateContext)           \
  X(LPALCMAKECONTEXTCURRENT, alcMakeContextCurrent) \
  X(LPALCPROCESSCONTEXT, alcProcessContext)         \
  X(LPALCSUSPENDCONTEXT, alcSuspendContext)         \
  X(LPALCDESTROYCONTEXT, alcDestroyContext)         \
  X(LPALCGETCURRENTCONTEXT, alcGetCurrentContext)   \
  X(LPALCGETCONTEXTSDEVICE, alcGetContextsDevice)   \
  X(LPALCOPENDEVICE, alcOpenDevice)                 \
  X(LPALCCLOSEDEVICE, alcCloseDevice)               \
  X(LPALCGETERROR, alcGetError)                     \
  X(LPALCISEXTENSIONPRESENT, alcIsExtensionPresent) \
  X(LPALCGETPROCADDRESS, alcGetProcAddress)         \
  X(LPALCGETENUMVALUE, alcGetEnumValue)             \
  X(LPALCGETSTRING, alcGetString)                   \
  X(LPALCGETINTEGERV, alcGetIntegerv)               \
  X(LPALCCAPTUREOPENDEVICE, alcCaptureOpenDevice)   \
  X(LPALCCAPTURECLOSEDEVICE, alcCaptureCloseDevice) \
  X(LPALCCAPTURESTART, alcCaptureStart)             \
  X(LPALCCAPTURESTOP, alcCaptureStop)               \
  X(LPALCCAPTURESAMPLES, alcCaptureSamples)

#define AUDIO_AL_ENTRY_POINTS(X)                      \
  X(LPALDOPPLERFACTOR, alDopplerFactor)               \
  X(LPALDOPPLERVELOCITY, alDopplerVelocity)           \
  X(LPALSPEEDOFSOUND, alSpeedOfSound)                 \
  X(LPALDISTANCEMODEL, alDistanceModel)               \
  X(LPALENABLE, alEnable)                             \
  X(LPALDISABLE, alDisable)                           \
  X(LPALISENABLED, alIsEnabled)                       \
  X(LPALGETSTRING, alGetString)                       \
  X(LPALGETBOOLEANV, alGetBooleanv)                   \
  X(LPALGETINTEGERV, alGetIntegerv)                   \
  X(LPALGETFLOATV, alGetFloatv)                       \
  X(LPALGETDOUBLEV, alGetDoublev)                     \
  X(LPALGETBOOLEAN, alGetBoolean)                     \
  X(LPALGETINTEGER, alGetInteger)                     \
  X(LPALGETFLOAT, alGetFloat)                         \
  X(LPALGETDOUBLE, alGetDouble)                       \
  X(LPALGETERROR, alGetError)                         \
  X(LPALISEXTENSIONPRESENT, alIsExtensionPresent)     \
  X(LPALGETPROCADDRESS, alGetProcAddress)             \
  X(LPALGETENUMVALUE, alGetEnumValue)                 \
  X(LPALLISTENERF, alListenerf)                       \
  X(LPALLISTENER3F, alListener3f)                     \
  X(LPALLISTENERFV, alListenerfv)                     \
  X(LPALLISTENERI, alListeneri)                       \
  X(LPALLISTENER3I, alListener3i)                     \
  X(LPALLISTENERIV, alListeneriv)                     \
  X(LPALGETLISTENERF, alGetListenerf)                 \
  X(LPALGETLISTENER3F, alGetListener3f)               \
  X(LPALGETLISTENERFV, alGetListenerfv)               \
  X(LPALGETLISTENERI, alGetListeneri)                 \
  X(LPALGETLISTENER3I, alGetListener3i)               \
  X(LPALGETLISTENERIV, alGetListeneriv)               \
  X(LPALGENSOURCES, alGenSources)                     \
  X(LPALDELETESOURCES, alDeleteSources)               \
  X(LPALISSOURCE, alIsSource)                         \
  X(LPALSOURCEF, alSourcef)                           \
  X(LPALSOURCE3F, alSource3f)                         \
  X(LPALSOURCEFV, alSourcefv)                         \
  X(LPALSOURCEI, alSourcei)                           \
  X(LPALSOURCE3I, alSource3i)                         \
  X(LPALSOURCEIV, alSourceiv)                         \
  X(LPALGETSOURCEF, alGetSourcef)                     \
  X(LPALGETSOURCE3F, alGetSource3f)                   \
  X(LPALGETSOURCEFV, alGetSourcefv)                   \
  X(LPALGETSOURCEI, alGetSourcei)                     \
  X(LPALGETSOURCE3I, alGetSource3i)                   \
  X(LPALGETSOURCEIV, alGetSourceiv)                   \
  X(LPALSOURCEPLAYV, alSourcePlayv)                   \
  X(LPALSOURCESTOPV, alSourceStopv)                   \
  X(LPALSOURCEREWINDV, alSourceRewindv)               \
  X(LPALSOURCEPAUSEV, alSourcePausev)                 \
  X(LPALSOURCEPLAY, alSourcePlay)                     \
  X(LPALSOURCESTOP, alSourceStop)                     \
  X(LPALSOURCEREWIND, alSourceRewind)                 \
  X(LPALSOURCEPAUSE, alSourcePause)                   \
  X(LPALSOURCEQUEUEBUFFERS, alSourceQueueBuffers)     \
  X(LPALSOURCEUNQUEUEBUFFERS, alSourceUnqueueBuffers) \
  X(LPALGENBUFFERS, alGenBuffers)                     \
  X(LPALDELETEBUFFERS, alDeleteBuffers)               \
  X(LPALISBUFFER, alIsBuffer)                         \
  X(LPALBUFFERDATA, alBufferData)                     \
  X(LPALBUFFERF, alBufferf)                           \
  X(LPALBUFFER3F, alBuffer3f)                         \
  X(LPALBUFFERFV, alBufferfv)                         \
  X(LPALBUFFERI, alBufferi)                           \
  X(LPALBUFFER3I, alBuffer3i)                         \
  X(LPALBUFFERIV, alBufferiv)                         \
  X(LPALGETBUFFERF, alGetBufferf)                     \
  X(LPALGETBUFFER3F, alGetBuffer3f)                   \
  X(LPALGETBUFFERFV, alGetBufferfv)                   \
  X(LPALGETBUFFERI, alGetBufferi)                     \
  X(LPALGETBUFFER3I, alGetBuffer3i)                   \
  X(LPALGETBUFFERIV, alGetBufferiv)

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

/// The names of the 93 core functions, in table order.
extern const std::array<std::string_view, 93> entry_point_names;

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
