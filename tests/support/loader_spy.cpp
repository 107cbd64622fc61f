#include "loader_spy.hpp"

#include <dlfcn.h>

#include <mutex>

namespace {

struct Spy {
  std::mutex mutex;
  std::vector<std::string> events;
  std::map<void*, std::string> names;
  std::map<std::string, std::string> targets;
  std::string silent_open;
  bool close_fails = false;
};

Spy& spy() {
  static auto* instance = new Spy;  // never destroyed: libraries may still close during exit
  return *instance;
}

template <class Function>
Function next(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" void* dlopen(const char* file, int mode) {
  static const auto real_dlopen = next<void* (*)(const char*, int)>("dlopen");
  std::string name = file != nullptr ? file : "";
  std::string path = name;
  {
    std::lock_guard lock(spy().mutex);
    // Failing before the real dlopen leaves the loader's message state as the caller cleared it.
    if (!name.empty() && name == spy().silent_open) return nullptr;
    if (!spy().targets.empty() && name.find('/') == std::string::npos) {
      const auto target = spy().targets.find(name);
      path = target != spy().targets.end() ? target->second : "/nonexistent-library-folder/" + name;
    }
  }
  void* handle = real_dlopen(file != nullptr ? path.c_str() : nullptr, mode);
  if (handle != nullptr) {
    std::lock_guard lock(spy().mutex);
    spy().events.push_back("open " + name);
    spy().names[handle] = name;
  }
  return handle;
}

extern "C" int dlclose(void* handle) {
  static const auto real_dlclose = next<int (*)(void*)>("dlclose");
  {
    std::lock_guard lock(spy().mutex);
    const auto known = spy().names.find(handle);
    spy().events.push_back("close " + (known != spy().names.end() ? known->second : std::string("?")));
    if (spy().close_fails) return -1;
  }
  return real_dlclose(handle);
}

namespace loader_spy {

std::vector<std::string> events() {
  std::lock_guard lock(spy().mutex);
  return spy().events;
}

void clear_events() {
  std::lock_guard lock(spy().mutex);
  spy().events.clear();
}

void redirect(std::map<std::string, std::string> targets) {
  std::lock_guard lock(spy().mutex);
  spy().targets = std::move(targets);
}

void fail_open_silently(std::string name) {
  std::lock_guard lock(spy().mutex);
  spy().silent_open = std::move(name);
}

void fail_close(bool fail) {
  std::lock_guard lock(spy().mutex);
  spy().close_fails = fail;
}

}  // namespace loader_spy
