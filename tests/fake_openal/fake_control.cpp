// Control functions of the fake library, and the set-up it does when loaded: the configuration
// from FAKE_OPENAL_CONFIG and the log file from FAKE_OPENAL_LOG.
#include "fake_state.hpp"
#include "fake_openal.h"

#include <fcntl.h>

#include <cstdio>
#include <cstdlib>

using namespace fake;

namespace {

// Runs when the library is loaded (by the program's dlopen, or a test's). A configuration
// mistake must not let a run pass on defaults, so it stops the process.
struct LoadTimeSetup {
  LoadTimeSetup() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (const char* path = std::getenv("FAKE_OPENAL_LOG"); path != nullptr && *path != '\0') {
      s.log_fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
      if (s.log_fd < 0) {
        std::fprintf(stderr, "fake OpenAL: cannot open FAKE_OPENAL_LOG file %s\n", path);
        std::abort();
      }
    }
    if (const char* text = std::getenv("FAKE_OPENAL_CONFIG"); text != nullptr) {
      std::string problem;
      if (!apply_config(text, s.config, problem)) {
        std::fprintf(stderr, "fake OpenAL: bad FAKE_OPENAL_CONFIG entry: %s\n", problem.c_str());
        std::abort();
      }
    }
  }
};

const LoadTimeSetup setup;

}  // namespace

extern "C" {

void fake_openal_reset(void) {
  State& s = state();
  std::lock_guard lock(s.mutex);
  s.reset();
}

int fake_openal_configure(const char* text) {
  State& s = state();
  std::lock_guard lock(s.mutex);
  if (text == nullptr) return -1;
  Config updated = s.config;
  std::string problem;
  if (!apply_config(text, updated, problem)) {
    std::fprintf(stderr, "fake OpenAL: bad configuration entry: %s\n", problem.c_str());
    return -1;
  }
  s.config = std::move(updated);
  return 0;
}

size_t fake_openal_call_count(void) {
  State& s = state();
  std::lock_guard lock(s.mutex);
  return s.record.size();
}

const char* fake_openal_call(size_t index) {
  State& s = state();
  std::lock_guard lock(s.mutex);
  return index < s.record.size() ? s.record[index].c_str() : nullptr;
}

size_t fake_openal_live_devices(void) {
  State& s = state();
  std::lock_guard lock(s.mutex);
  size_t count = 0;
  for (const auto& device : s.devices) count += device->open ? 1 : 0;
  return count;
}

size_t fake_openal_live_contexts(void) {
  State& s = state();
  std::lock_guard lock(s.mutex);
  size_t count = 0;
  for (const auto& context : s.contexts) count += context->alive ? 1 : 0;
  return count;
}

size_t fake_openal_live_sources(void) {
  State& s = state();
  std::lock_guard lock(s.mutex);
  size_t count = 0;
  for (const auto& context : s.contexts) count += context->sources.size();
  return count;
}

size_t fake_openal_live_buffers(void) {
  State& s = state();
  std::lock_guard lock(s.mutex);
  size_t count = 0;
  for (const auto& context : s.contexts) count += context->buffers.size();
  return count;
}

}  // extern "C"
