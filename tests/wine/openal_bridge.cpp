// OpenAL32.dll for the Windows build's tests under Wine. Debian has no OpenAL for Windows and Wine
// no longer brings one, so this Wine library stands in: it exports the 93 OpenAL 1.1 core functions
// under their own names with the Windows calling convention and passes each call on to the
// machine's OpenAL Soft (libopenal.so.1), which plays, records through its wave writer and reads
// ALSOFT_CONF as it does for the Linux program.
//
// This file is compiled by the host's compiler, not as Windows code: the OpenAL headers then give
// the host library's own function types. winegcc links it with the export list made from
// src/audio/entry_points.hpp (openal32_exports.in). Each export is a jump to a forwarder that the
// compiler makes from the entry's type: it takes the call with the Windows convention and makes it
// again with the host's.

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <dlfcn.h>
#include <pthread.h>

#include <csignal>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "audio/entry_points.hpp"

// The extension functions the program asks alcGetProcAddress for, each handed out as a forwarder
// of the bridge's own. Any other name gives null: OpenAL Soft's address for it would be called with
// the Windows convention and crash.
#define BRIDGE_EXTENSION_FUNCTIONS(X)                                 \
  X(PFNALCSETTHREADCONTEXTPROC, alcSetThreadContext)                  \
  X(PFNALCGETTHREADCONTEXTPROC, alcGetThreadContext)                  \
  X(LPALCLOOPBACKOPENDEVICESOFT, alcLoopbackOpenDeviceSOFT)           \
  X(LPALCISRENDERFORMATSUPPORTEDSOFT, alcIsRenderFormatSupportedSOFT) \
  X(LPALCRENDERSAMPLESSOFT, alcRenderSamplesSOFT)                     \
  X(LPALCGETINTEGER64VSOFT, alcGetInteger64vSOFT)

namespace {

/// What each forwarder calls: OpenAL Soft's functions, except for the two address look-ups, which
/// the bridge answers itself (see look_up_alc_function).
struct HostFunctions {
#define BRIDGE_FIELD(type, name) type name = nullptr;
  AUDIO_ALC_ENTRY_POINTS(BRIDGE_FIELD)
  AUDIO_AL_ENTRY_POINTS(BRIDGE_FIELD)
  BRIDGE_EXTENSION_FUNCTIONS(BRIDGE_FIELD)
#undef BRIDGE_FIELD
};

HostFunctions host;
// OpenAL Soft's own look-ups, which the bridge's answers consult.
LPALCGETPROCADDRESS host_alc_get_proc_address = nullptr;
LPALGETPROCADDRESS host_al_get_proc_address = nullptr;

/// Takes a call with the Windows convention and makes it to host.*field with the host's.
template <class Pointer, Pointer HostFunctions::*field>
struct Forwarder;

/// Holds the stop signals in the calling thread while it lives. Wine turns SIGINT into Windows'
/// Ctrl-C event, but only in its own threads: in a thread that OpenAL Soft starts (its mixer, a
/// sound server's main loop) the signal would end the process at once. Every call into OpenAL Soft
/// is made under this, so the threads it starts hold the signals from birth, as a Windows OpenAL's
/// threads never see them, and Wine's threads take them.
class HeldStopSignals {
 public:
  HeldStopSignals() {
    sigset_t stops;
    sigemptyset(&stops);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&stops, signal);
    pthread_sigmask(SIG_BLOCK, &stops, &previous_);
  }
  HeldStopSignals(const HeldStopSignals&) = delete;
  HeldStopSignals& operator=(const HeldStopSignals&) = delete;
  ~HeldStopSignals() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

 private:
  sigset_t previous_;
};

template <class Result, class... Arguments, Result (*HostFunctions::*field)(Arguments...)>
struct Forwarder<Result (*)(Arguments...), field> {
  [[gnu::ms_abi]] static Result call(Arguments... arguments) {
    const HeldStopSignals held;
    return (host.*field)(arguments...);
  }
};

/// Sets a table's function pointer to an address from the host library, by copying: no cast between
/// object and function pointers is needed.
template <class Function>
void set_function(Function& field, void* address) {
  static_assert(sizeof field == sizeof address);
  std::memcpy(&field, &address, sizeof field);
}

}  // namespace

// The forwarders' addresses under fixed names, which the exports below jump through.
#define BRIDGE_TARGET(type, name)                                            \
  extern "C" [[gnu::visibility("hidden")]] const auto bridge_target_##name = \
      &Forwarder<type, &HostFunctions::name>::call;
AUDIO_ALC_ENTRY_POINTS(BRIDGE_TARGET)
AUDIO_AL_ENTRY_POINTS(BRIDGE_TARGET)
#undef BRIDGE_TARGET

// The exports: bridge_NAME jumps to NAME's forwarder with every register and the stack untouched,
// so the forwarder receives the caller's arguments. The export list names these symbols.
// clang-format off
#define BRIDGE_EXPORT(type, name)       \
  ".globl bridge_" #name "\n"           \
  ".hidden bridge_" #name "\n"          \
  ".type bridge_" #name ", @function\n" \
  "bridge_" #name ":\n"                 \
  "jmp *bridge_target_" #name "(%rip)\n"
// clang-format on
asm(".pushsection .text\n" AUDIO_ALC_ENTRY_POINTS(BRIDGE_EXPORT) AUDIO_AL_ENTRY_POINTS(BRIDGE_EXPORT) ".popsection");
#undef BRIDGE_EXPORT

#define BRIDGE_DECLARE(type, name) extern "C" [[gnu::visibility("hidden")]] void bridge_##name();
AUDIO_ALC_ENTRY_POINTS(BRIDGE_DECLARE)
AUDIO_AL_ENTRY_POINTS(BRIDGE_DECLARE)
#undef BRIDGE_DECLARE

namespace {

// The look-ups below hand out function addresses as void* through reinterpret_cast, which GCC allows
// (C++ leaves it to the compiler): copying as set_function does would need a template over the
// forwarders' types, and gcc 12 crashes on a template argument with Windows' convention when it
// writes debug information.

/// The bridge's own address for a core function: its export, as GetProcAddress gives it.
void* core_function(const char* name) {
#define BRIDGE_MATCH(type, function) \
  if (std::strcmp(name, #function) == 0) return reinterpret_cast<void*>(&bridge_##function);
  AUDIO_ALC_ENTRY_POINTS(BRIDGE_MATCH)
  AUDIO_AL_ENTRY_POINTS(BRIDGE_MATCH)
#undef BRIDGE_MATCH
  return nullptr;
}

/// The bridge's own address for a wrapped extension function.
void* extension_function(const char* name) {
#define BRIDGE_MATCH(type, function)     \
  if (std::strcmp(name, #function) == 0) \
    return reinterpret_cast<void*>(&Forwarder<type, &HostFunctions::function>::call);
  BRIDGE_EXTENSION_FUNCTIONS(BRIDGE_MATCH)
#undef BRIDGE_MATCH
  return nullptr;
}

// OpenAL Soft answers first, so that its error state is what it would be without the bridge; a
// name it offers is then handed out as the bridge's own function, or as null when the bridge has
// none.
ALCvoid* look_up_alc_function(ALCdevice* device, const ALCchar* name) {
  if (host_alc_get_proc_address(device, name) == nullptr) return nullptr;
  if (void* core = core_function(name)) return core;
  return extension_function(name);
}

void* look_up_al_function(const ALchar* name) {
  if (host_al_get_proc_address(name) == nullptr) return nullptr;
  return core_function(name);
}

/// Opens OpenAL Soft and fills the host table; false when the library or one of its functions is
/// missing, which fails the DLL's loading rather than a later call.
bool load_host_library() {
  void* library = dlopen("libopenal.so.1", RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return false;
  bool complete = true;
  const auto look_up = [&](auto& field, const char* name) {
    void* address = dlsym(library, name);
    complete = complete && address != nullptr;
    set_function(field, address);
  };
#define BRIDGE_LOOK_UP(type, name) look_up(host.name, #name);
  AUDIO_ALC_ENTRY_POINTS(BRIDGE_LOOK_UP)
  AUDIO_AL_ENTRY_POINTS(BRIDGE_LOOK_UP)
#undef BRIDGE_LOOK_UP
  if (!complete) return false;

    // The extension functions are OpenAL Soft's for every device; one it lacks stays null, and its
    // look-up gives null as OpenAL Soft's does.
#define BRIDGE_EXTENSION(type, name) set_function(host.name, host.alcGetProcAddress(nullptr, #name));
  BRIDGE_EXTENSION_FUNCTIONS(BRIDGE_EXTENSION)
#undef BRIDGE_EXTENSION

  // The look-ups are answered by the bridge, through the same forwarders as every other function.
  host_alc_get_proc_address = host.alcGetProcAddress;
  host_al_get_proc_address = host.alGetProcAddress;
  host.alcGetProcAddress = look_up_alc_function;
  host.alGetProcAddress = look_up_al_function;
  return true;
}

}  // namespace

/// The DLL's entry point, with Windows' types (BOOL, HINSTANCE, DWORD, LPVOID). OpenAL Soft is
/// opened when a process loads the bridge and stays open until the process ends: its mixer thread
/// may still be running when the program lets the bridge go.
extern "C" [[gnu::ms_abi]] int DllMain(void* /*instance*/, std::uint32_t reason, void* /*reserved*/) {
  constexpr std::uint32_t process_attach = 1;
  if (reason != process_attach) return 1;
  return load_host_library() ? 1 : 0;
}
