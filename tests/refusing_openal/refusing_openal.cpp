// OpenAL Soft refusing one source: a libopenal.so that is the system's OpenAL Soft (every entry
// point but one comes from it, through its dependency on libopenal.so.1) except that the N-th call
// of alGenSources, N given by REFUSED_SOURCE, makes nothing and leaves AL_INVALID_VALUE. So a test
// can fail a note of a real run, recorded by OpenAL Soft's wave writer, at a place it chooses.

#define AL_API extern "C" __attribute__((visibility("default")))
#include <AL/al.h>
#include <dlfcn.h>

#include <atomic>
#include <cstdlib>

AL_API void AL_APIENTRY alGenSources(ALsizei n, ALuint* sources) {
  // OpenAL Soft is loaded already, as this library's dependency.
  static const auto real =
      reinterpret_cast<LPALGENSOURCES>(dlsym(dlopen("libopenal.so.1", RTLD_NOW | RTLD_NOLOAD), "alGenSources"));
  static std::atomic<long> calls{0};
  const char* refused = std::getenv("REFUSED_SOURCE");
  // A negative count is OpenAL's own AL_INVALID_VALUE, and makes no name.
  const bool refuse = ++calls == (refused != nullptr ? std::atol(refused) : 0);
  real(refuse ? -1 : n, sources);
}
