#include "loader_spy.hpp"

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

std::expected<void*, OsError> open(const char* file_name) {
  const std::string name = file_name;
  std::string path = name;
  {
    const std::lock_guard lock(spy().mutex);
    if (name == spy().silent_open) return std::unexpected(OsError{0});
    if (!spy().targets.empty()) {
      const auto target = spy().targets.find(name);
      path = target != spy().targets.end() ? target->second : "/nonexistent-library-folder/" + name;
    }
  }
  const auto handle = dynamic_loader.open(path.c_str());
  if (handle) {
    const std::lock_guard lock(spy().mutex);
    spy().events.push_back("open " + name);
    spy().names[*handle] = name;
  }
  return handle;
}

std::expected<void, OsError> close(void* library) {
  {
    const std::lock_guard lock(spy().mutex);
    const auto known = spy().names.find(library);
    spy().events.push_back("close " + (known != spy().names.end() ? known->second : std::string("?")));
    if (spy().close_fails) return std::unexpected(OsError{0});
  }
  return dynamic_loader.close(library);
}

}  // namespace

namespace loader_spy {

const LibraryLoader& loader() {
  static const LibraryLoader spy_loader{
      .paths = dynamic_loader.paths, .open = open, .look_up = dynamic_loader.look_up, .close = close};
  return spy_loader;
}

std::vector<std::string> events() {
  const std::lock_guard lock(spy().mutex);
  return spy().events;
}

void clear_events() {
  const std::lock_guard lock(spy().mutex);
  spy().events.clear();
}

void redirect(std::map<std::string, std::string> targets) {
  const std::lock_guard lock(spy().mutex);
  spy().targets = std::move(targets);
}

void fail_open_silently(std::string name) {
  const std::lock_guard lock(spy().mutex);
  spy().silent_open = std::move(name);
}

void fail_close(bool fail) {
  const std::lock_guard lock(spy().mutex);
  spy().close_fails = fail;
}

}  // namespace loader_spy
