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
  std::optional<OsError> error;  // of the last failure, for last_error
};

Spy& spy() {
  static auto* instance = new Spy;  // never destroyed: libraries may still close during exit
  return *instance;
}

void* open(const char* file_name) {
  const std::string name = file_name;
  std::string path = name;
  {
    const std::lock_guard lock(spy().mutex);
    spy().error.reset();
    if (name == spy().silent_open) return nullptr;
    if (!spy().targets.empty()) {
      const auto target = spy().targets.find(name);
      path = target != spy().targets.end() ? target->second : "/nonexistent-library-folder/" + name;
    }
  }
  void* handle = dynamic_loader.open(path.c_str());
  const std::lock_guard lock(spy().mutex);
  if (handle == nullptr) {
    spy().error = dynamic_loader.last_error(LoaderStep::Open);
    return nullptr;
  }
  spy().events.push_back("open " + name);
  spy().names[handle] = name;
  return handle;
}

void* look_up(void* library, const char* name) {
  void* address = dynamic_loader.look_up(library, name);
  const std::lock_guard lock(spy().mutex);
  spy().error = address == nullptr ? dynamic_loader.last_error(LoaderStep::Lookup) : std::nullopt;
  return address;
}

int close(void* library) {
  {
    const std::lock_guard lock(spy().mutex);
    const auto known = spy().names.find(library);
    spy().events.push_back("close " + (known != spy().names.end() ? known->second : std::string("?")));
    spy().error.reset();
    if (spy().close_fails) return -1;
  }
  return dynamic_loader.close(library);
}

std::optional<OsError> last_error(LoaderStep /*step*/) {
  const std::lock_guard lock(spy().mutex);
  return spy().error;
}

}  // namespace

namespace loader_spy {

const LibraryLoader& loader() {
  static const LibraryLoader spy_loader{.open = open, .look_up = look_up, .close = close, .last_error = last_error};
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
