// Test-side handle on the fake OpenAL library (fake_openal.h). Construct it with the absolute
// path of the built libopenal.so before the code under test opens the same path: both then share
// one instance of the fake's state. The constructor resets that state; bad paths and bad
// configuration entries throw std::runtime_error, so a typo fails the test instead of passing.
#pragma once

#include <dlfcn.h>

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "fake_openal.h"

class FakeOpenAl {
 public:
  explicit FakeOpenAl(const std::string& library_path) : library_(dlopen(library_path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (library_ == nullptr) {
      const char* why = dlerror();
      throw std::runtime_error("cannot load fake OpenAL " + library_path + ": " + (why != nullptr ? why : "unknown"));
    }
    reset();
  }

  // The dlopen handle, for resolving the fake's entry points.
  void* handle() const { return library_.get(); }

  void reset() { control<void()>("fake_openal_reset")(); }

  // Applies configuration entries; throws std::runtime_error naming the text if any is bad
  // (the fake prints which entry to stderr).
  void configure(std::string_view text) {
    const std::string owned(text);
    if (control<int(const char*)>("fake_openal_configure")(owned.c_str()) != 0) {
      throw std::runtime_error("fake OpenAL rejected configuration: " + owned);
    }
  }

  std::vector<std::string> calls() const {
    auto* call = control<const char*(std::size_t)>("fake_openal_call");
    std::vector<std::string> lines;
    for (std::size_t index = 0, count = control<std::size_t()>("fake_openal_call_count")(); index < count; ++index) {
      if (const char* line = call(index); line != nullptr) lines.emplace_back(line);
    }
    return lines;
  }

  std::size_t live_devices() const { return control<std::size_t()>("fake_openal_live_devices")(); }
  std::size_t live_contexts() const { return control<std::size_t()>("fake_openal_live_contexts")(); }
  std::size_t live_sources() const { return control<std::size_t()>("fake_openal_live_sources")(); }
  std::size_t live_buffers() const { return control<std::size_t()>("fake_openal_live_buffers")(); }

 private:
  struct Close {
    void operator()(void* library) const { dlclose(library); }
  };

  /// One of the control functions of fake_openal.h, looked up in the loaded library.
  template <typename Function>
  Function* control(const char* name) const {
    auto* found = reinterpret_cast<Function*>(dlsym(library_.get(), name));
    if (found == nullptr) throw std::runtime_error(std::string("fake OpenAL lacks ") + name);
    return found;
  }

  std::unique_ptr<void, Close> library_;
};
