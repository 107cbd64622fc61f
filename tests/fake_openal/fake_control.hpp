// Test-side handle on the fake OpenAL library (fake_openal.h). Construct it with the absolute
// path of the built libopenal.so before the code under test opens the same path: both then share
// one instance of the fake's state. The constructor resets that state; bad paths and bad
// configuration entries throw std::runtime_error, so a typo fails the test instead of passing.
#pragma once

#include <dlfcn.h>

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "fake_openal.h"

class FakeOpenAl {
 public:
  explicit FakeOpenAl(const std::string& library_path) : handle_(dlopen(library_path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (handle_ == nullptr) {
      const char* why = dlerror();
      throw std::runtime_error("cannot load fake OpenAL " + library_path + ": " +
                               (why != nullptr ? why : "unknown error"));
    }
    try {
      resolve(reset_, "fake_openal_reset");
      resolve(configure_, "fake_openal_configure");
      resolve(call_count_, "fake_openal_call_count");
      resolve(call_, "fake_openal_call");
      resolve(live_devices_, "fake_openal_live_devices");
      resolve(live_contexts_, "fake_openal_live_contexts");
      resolve(live_sources_, "fake_openal_live_sources");
      resolve(live_buffers_, "fake_openal_live_buffers");
    } catch (...) {
      dlclose(handle_);
      throw;
    }
    reset_();
  }

  ~FakeOpenAl() { dlclose(handle_); }

  FakeOpenAl(const FakeOpenAl&) = delete;
  FakeOpenAl& operator=(const FakeOpenAl&) = delete;

  // The dlopen handle, for resolving the fake's entry points.
  void* handle() const { return handle_; }

  void reset() { reset_(); }

  // Applies configuration entries; throws std::runtime_error naming the text if any is bad
  // (the fake prints which entry to stderr).
  void configure(std::string_view text) {
    std::string owned(text);
    if (configure_(owned.c_str()) != 0) {
      throw std::runtime_error("fake OpenAL rejected configuration: " + owned);
    }
  }

  std::vector<std::string> calls() const {
    std::vector<std::string> lines;
    std::size_t count = call_count_();
    for (std::size_t i = 0; i < count; ++i) {
      const char* line = call_(i);
      if (line != nullptr) lines.emplace_back(line);
    }
    return lines;
  }

  std::size_t live_devices() const { return live_devices_(); }
  std::size_t live_contexts() const { return live_contexts_(); }
  std::size_t live_sources() const { return live_sources_(); }
  std::size_t live_buffers() const { return live_buffers_(); }

 private:
  template <typename Function>
  void resolve(Function*& target, const char* name) {
    target = reinterpret_cast<Function*>(dlsym(handle_, name));
    if (target == nullptr) throw std::runtime_error(std::string("fake OpenAL lacks ") + name);
  }

  void* handle_;
  void (*reset_)() = nullptr;
  int (*configure_)(const char*) = nullptr;
  std::size_t (*call_count_)() = nullptr;
  const char* (*call_)(std::size_t) = nullptr;
  std::size_t (*live_devices_)() = nullptr;
  std::size_t (*live_contexts_)() = nullptr;
  std::size_t (*live_sources_)() = nullptr;
  std::size_t (*live_buffers_)() = nullptr;
};
