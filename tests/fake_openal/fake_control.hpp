// The fake OpenAL library of the tests, and FakeOpenAl, a test's handle on it.
//
// The fake is a libopenal.so with every OpenAL 1.1 core entry point, loaded with dlopen exactly as
// the real library is. It simulates the calls the program makes (fake_openal.cpp says how); any
// other entry point records its name alone, "alSourceStop(...)", and returns 0 or NULL. Devices and
// contexts are named dev1, ctx1, ... in creation order.
//
// The record: one line per call, in call order, failing calls and extension functions included:
//   name(arg, ...)  or  name(arg, ...) = result  or  name(arg, ...) = [output, ...]
// Arguments come in declaration order, without output pointers: integers in decimal; enums and
// error codes in 0x upper-case hex (0x1005, 0x0); booleans 0 or 1; floats in shortest round-trip
// form (0.5, -1); strings as "..." with bytes outside 0x20..0x7E, " and \ as \xNN; handles as dev1,
// ctx2, or dev? for one never issued; arrays as [1,0,-1]; a NULL pointer as null. For instance:
//   alcGetString(null, 0x1005) = "Fake Device\x00\x00"    the configured bytes exactly
//   alcCreateContext(dev1, [4103,44100,0]) = ctx1         attributes through the terminating 0
//   alcGetProcAddress(null, "alcSetThreadContext") = &alcSetThreadContext
//   alcGetIntegerv(null, 0x1000, 1) = [1]                 [] when nothing was written
//   alGenSources(1, [3])  alDeleteSources(1, [3])         names made ([] if none), names passed
//   alListenerfv(0x100F, [0,0,-1,0,1,0])                  6 values for the orientation, 3 for position, velocity
//   alBufferData(2, 0x1101, size=8820, freq=44100, fnv=85944171f73967e8)    or data=null for NULL
//       fnv: the data's 64-bit FNV-1a hash as hex16 writes it (support/fnv1a.hpp)
//
// Configuration: key=value entries separated by ';' or newlines, blanks around them ignored. In a
// byte value \0 stands for a NUL and \xNN for any byte; the word null for a NULL string.
//   devices=, all_devices= <bytes>|null                 the device lists ["Fake Device\0\0"]
//   default_device=, default_all_device= <bytes>|null   the default names ["Fake Device"]
//   null_version=, device_version= M.m|untouched  on the null or an open device [1.1]; untouched:
//                                                 nothing written
//   null_extensions= <names>    [ALC_ENUMERATE_ALL_EXT ALC_SOFT_loopback ALC_EXT_thread_local_context]
//   device_extensions= <names>  [those and ALC_EXT_EFX ALC_EXT_disconnect ALC_SOFT_device_clock]
//   max_aux_sends= <int> [2], latency_ns= <int> [25000000]   ALC_MAX_AUXILIARY_SENDS and
//                               ALC_DEVICE_LATENCY_SOFT on an open device
//   fail=<function>[@<arg>]:<N>:<code>[:always]  the call does nothing: it returns NULL, 0 or
//       nothing and makes no names (alcCloseDevice still closes); <code> becomes the pending
//       error, and a failing alcGetError or alGetError returns it and leaves that error pending
//   error=<function>[@<arg>]:<N>:<code>[:always]  the call works, then <code> becomes the pending error
//   disconnect=<function>[@<arg>]:<N>[:always]    every open device is disconnected before the call
//   signal=<function>[@<arg>]:<N>:<signal>[:always]  the call works, then <signal> (a number) is
//       sent to the process, as if it came from outside just then
// A rule counts the calls to <function> (entry point or extension function) made after it was
// configured, with @<arg> only those with an argument recorded as <arg> (0x313) or as the string
// "<arg>", and hits the N-th (with :always, every one from the N-th on). <code>, decimal or 0x hex,
// goes to the current context for AL calls; for ALC calls to the device argument (or a live
// context argument's device) if it is open, else to the null device. 0 leaves the errors alone.
//
// FAKE_OPENAL_CONFIG is applied as the library loads; a bad entry is reported and aborts.
// FAKE_OPENAL_LOG=<path> appends each record line to that file as it is made, so the record
// survives exit and _exit. Linked with -z nodelete, the library is loaded once per process and
// its state survives dlclose.
#pragma once

#include <dlfcn.h>

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

/// Construct it with the absolute path of the built libopenal.so before the code under test opens
/// the same path: both then share one instance of the fake's state. The constructor resets that
/// state; a bad path or configuration entry throws std::runtime_error, so a typo fails the test.
class FakeOpenAl {
 public:
  explicit FakeOpenAl(const std::string& library_path)
      : library_(dlopen(library_path.c_str(), RTLD_NOW | RTLD_LOCAL), &dlclose) {
    if (library_ == nullptr) {
      const char* why = dlerror();
      throw std::runtime_error("cannot load fake OpenAL " + library_path + ": " + (why != nullptr ? why : "unknown"));
    }
    reset();
  }

  /// The dlopen handle, for resolving the fake's entry points.
  void* handle() const { return library_.get(); }

  /// Back to the defaults: configuration, record, objects, errors and current contexts.
  void reset() { control<void()>("fake_openal_reset")(); }

  /// Applies the entries on top of the configuration, or none if one is bad (the fake prints
  /// which to stderr).
  void configure(std::string_view text) {
    const std::string owned(text);
    if (control<int(const char*)>("fake_openal_configure")(owned.c_str()) != 0) {
      throw std::runtime_error("fake OpenAL rejected configuration: " + owned);
    }
  }

  std::vector<std::string> calls() const {
    auto* call = control<const char*(std::size_t)>("fake_openal_call");
    std::vector<std::string> lines;
    for (const char* line = call(0); line != nullptr; line = call(lines.size())) lines.emplace_back(line);
    return lines;
  }

  /// Objects made and not yet closed, destroyed or deleted, over all contexts.
  std::size_t live_devices() const { return live("devices"); }
  std::size_t live_contexts() const { return live("contexts"); }
  std::size_t live_sources() const { return live("sources"); }
  std::size_t live_buffers() const { return live("buffers"); }

 private:
  /// One of the fake's control functions, looked up in the loaded library.
  template <typename Function>
  Function* control(const char* name) const {
    auto* found = reinterpret_cast<Function*>(dlsym(library_.get(), name));
    if (found == nullptr) throw std::runtime_error(std::string("fake OpenAL lacks ") + name);
    return found;
  }

  std::size_t live(const char* kind) const { return control<std::size_t(const char*)>("fake_openal_live")(kind); }

  std::unique_ptr<void, int (*)(void*)> library_;
};
