// The fake's state, configuration and record, its control functions, and the set-up it does when
// loaded: the configuration from FAKE_OPENAL_CONFIG and the log file from FAKE_OPENAL_LOG.
#include "fake_state.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

#include "audio/entry_points.hpp"
#include "fake_openal.h"

namespace fake {

namespace {

// A bad configuration entry, and why; apply_config reports it.
struct BadEntry : std::invalid_argument {
  using std::invalid_argument::invalid_argument;
};

std::string_view trim(std::string_view text) {
  text.remove_prefix(std::min(text.find_first_not_of(" \t\r"), text.size()));
  return text.substr(0, text.find_last_not_of(" \t\r") + 1);
}

// Decimal, or hexadecimal after 0x, with an optional '-', from `lowest` to `highest`.
long long number(std::string_view text, long long lowest = 0, long long highest = 0x7FFFFFFF) {
  const bool negative = text.starts_with('-');
  const int base = text.substr(negative ? 1 : 0).starts_with("0x") ? 16 : 10;
  text.remove_prefix((negative ? 1 : 0) + (base == 16 ? 2 : 0));
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  value = negative ? -value : value;
  if (text.empty() || text.starts_with('-') || error != std::errc{} || end != text.data() + text.size() ||
      value < lowest || value > highest) {
    throw BadEntry("expected a number from " + std::to_string(lowest) + " to " + std::to_string(highest));
  }
  return value;
}

// Resolves the escapes \0, \xNN, \\ and \; of a byte value.
std::string decode_bytes(std::string_view text) {
  std::string out;
  for (std::size_t index = 0; index < text.size(); ++index) {
    const std::string_view rest = text.substr(index);
    if (!rest.starts_with('\\')) {
      out.push_back(rest[0]);
    } else if (rest.size() > 1 && std::string_view("0\\;").contains(rest[1])) {
      out.push_back(rest[1] == '0' ? '\0' : rest[1]);
      ++index;
    } else if (rest.starts_with("\\x") && rest.size() >= 4) {
      out.push_back(static_cast<char>(number("0x" + std::string(rest.substr(2, 2)))));
      index += 3;
    } else {
      throw BadEntry("bad escape in " + std::string(text));
    }
  }
  return out;
}

std::optional<std::string> parse_bytes(std::string_view text) {
  return text == "null" ? std::nullopt : std::optional(decode_bytes(text));
}

std::optional<Version> parse_version(std::string_view text) {
  if (text == "untouched") return std::nullopt;
  const auto dot = text.find('.');
  if (dot == std::string_view::npos) throw BadEntry("expected M.m or untouched");
  return Version{static_cast<ALCint>(number(text.substr(0, dot))), static_cast<ALCint>(number(text.substr(dot + 1)))};
}

std::vector<std::string> split_names(std::string_view text) {
  std::istringstream words{std::string(text)};
  std::vector<std::string> names;
  for (std::string name; words >> name;) names.push_back(name);
  return names;
}

// <function>[@<arg>]:<N>:<code>[:always], without :<code> for a disconnect, read from the right so
// that <arg> may hold ':'.
Rule parse_rule(std::string_view text, Rule::Kind kind) {
  Rule rule;
  rule.kind = kind;
  rule.always = text.ends_with(":always");
  if (rule.always) text.remove_suffix(std::string_view(":always").size());
  if (kind != Rule::Kind::Disconnect) {
    const auto colon = text.rfind(':');
    if (colon == std::string_view::npos) throw BadEntry("expected <function>[@<arg>]:<N>:<code>[:always]");
    rule.code = static_cast<ALenum>(number(text.substr(colon + 1)));
    text = text.substr(0, colon);
  }
  const auto colon = text.rfind(':');
  if (colon == std::string_view::npos) throw BadEntry("expected <function>[@<arg>]:<N>");
  rule.nth = number(text.substr(colon + 1), 1, 0x7FFFFFFFFFFFFFFF);
  const std::string_view head = text.substr(0, colon);
  rule.function = head.substr(0, head.find('@'));
  // The names a rule may count: the core entry points and the extension functions.
#define FAKE_NAME(type, name) #name,
  constexpr std::string_view core[] = {AUDIO_ALC_ENTRY_POINTS(FAKE_NAME) AUDIO_AL_ENTRY_POINTS(FAKE_NAME)};
#undef FAKE_NAME
  if (std::ranges::find(core, rule.function) == std::end(core) && !is_extension_function(rule.function)) {
    throw BadEntry("unknown function " + rule.function);
  }
  if (head.find('@') != std::string_view::npos) {
    const std::string arg = decode_bytes(head.substr(head.find('@') + 1));
    rule.arg_forms = {arg, quote(arg)};
  }
  return rule;
}

void apply_entry(std::string_view key, std::string_view value, Config& config) {
  const std::string_view trimmed = trim(value);
  if (key == "devices") {
    config.devices = parse_bytes(value);
  } else if (key == "all_devices") {
    config.all_devices = parse_bytes(value);
  } else if (key == "default_device") {
    config.default_device = parse_bytes(value);
  } else if (key == "default_all_device") {
    config.default_all_device = parse_bytes(value);
  } else if (key == "null_version" || key == "device_version") {
    (key == "null_version" ? config.null_version : config.device_version) = parse_version(trimmed);
  } else if (key == "null_extensions" || key == "device_extensions") {
    (key == "null_extensions" ? config.null_extensions : config.device_extensions) = split_names(value);
  } else if (key == "max_aux_sends") {
    config.max_aux_sends = static_cast<ALCint>(number(trimmed, -0x80000000LL));
  } else if (key == "latency_ns") {
    config.latency_ns = number(trimmed, -0x7FFFFFFFFFFFFFFF, 0x7FFFFFFFFFFFFFFF);
  } else if (key == "fail" || key == "error" || key == "disconnect") {
    const auto kind = key == "fail" ? Rule::Kind::Fail : key == "error" ? Rule::Kind::Error : Rule::Kind::Disconnect;
    config.rules.push_back(parse_rule(trimmed, kind));
  } else {
    throw BadEntry("unknown key");
  }
}

// The generation guards against a context left in a thread's variable before a reset.
thread_local ALCcontext* thread_context = nullptr;
thread_local std::uint64_t thread_generation = 0;

template <typename T>
T* find(const std::vector<std::unique_ptr<T>>& registry, const T* handle) {
  const auto found = std::ranges::find(registry, handle, &std::unique_ptr<T>::get);
  return handle != nullptr && found != registry.end() ? found->get() : nullptr;
}

template <typename T>
std::string handle_name(const std::vector<std::unique_ptr<T>>& registry, const T* handle, const char* kind) {
  const auto found = std::ranges::find(registry, handle, &std::unique_ptr<T>::get);
  if (handle == nullptr) return "null";
  return kind + (found != registry.end() ? std::to_string(found - registry.begin() + 1) : "?");
}

void write_all(int descriptor, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
    if (written < 0 && errno != EINTR) return;
    if (written > 0) bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

void complain(const std::string& message) { write_all(STDERR_FILENO, "fake OpenAL: " + message + "\n"); }

// Applies configuration text to `config`, entries in order. On a bad entry returns false with a
// description in `problem`, `config` then partly updated: callers apply to a copy.
bool apply_config(std::string_view text, Config& config, std::string& problem) {
  for (std::size_t start = 0, end = 0; start <= text.size(); start = end + 1) {
    // An entry ends at a ';' or a newline that no backslash escapes.
    for (end = start; end < text.size() && text[end] != ';' && text[end] != '\n';) end += text[end] == '\\' ? 2 : 1;
    end = std::min(end, text.size());
    const std::string_view entry = trim(text.substr(start, end - start));
    const auto equals = entry.find('=');
    const std::string_view key = trim(entry.substr(0, equals));
    try {
      if (!entry.empty() && equals == std::string_view::npos) throw BadEntry("no '='");
      if (!entry.empty()) apply_entry(key, entry.substr(equals + 1), config);
    } catch (const BadEntry& bad) {
      problem = std::string(key) + ": " + bad.what() + " (entry: " + std::string(entry) + ")";
      return false;
    }
  }
  return true;
}

}  // namespace

State& state() {
  static auto* instance = new State;
  return *instance;
}

ALCdevice* open_device(const ALCdevice* handle) {
  ALCdevice* device = find(state().devices, handle);
  return device != nullptr && device->open ? device : nullptr;
}

ALCcontext* live_context(const ALCcontext* handle) {
  ALCcontext* context = find(state().contexts, handle);
  return context != nullptr && context->alive ? context : nullptr;
}

void set_thread_context(ALCcontext* context) {
  thread_context = context;
  thread_generation = state().generation;
}

ALCcontext* current_context() {
  const bool own = thread_generation == state().generation && thread_context != nullptr;
  return live_context(own ? thread_context : state().process_context);
}

std::string hex(long long value) {
  std::ostringstream out;
  out << (value < 0 ? "-0x" : "0x") << std::uppercase << std::hex << (value < 0 ? 0ULL - value : value);
  return out.str();
}

std::string text(ALfloat value) {
  std::string out(32, '\0');
  out.resize(static_cast<std::size_t>(std::to_chars(out.data(), out.data() + out.size(), value).ptr - out.data()));
  return out;
}

std::string quote(std::string_view bytes) {
  std::string out = "\"";
  for (const unsigned char byte : bytes) {
    if (byte >= 0x20 && byte <= 0x7E && byte != '"' && byte != '\\') {
      out.push_back(static_cast<char>(byte));
    } else {
      out += {'\\', 'x', "0123456789ABCDEF"[byte >> 4U], "0123456789ABCDEF"[byte & 0xFU]};
    }
  }
  return out + "\"";
}

std::string quote(const char* text) { return text == nullptr ? "null" : quote(std::string_view(text)); }

std::string handle(const ALCdevice* device) { return handle_name(state().devices, device, "dev"); }

std::string handle(const ALCcontext* context) { return handle_name(state().contexts, context, "ctx"); }

void Call::add(const ALCdevice* device) {
  device_arg_ = device;
  args_.push_back(handle(device));
}

void Call::add(const ALCcontext* context) {
  const ALCcontext* live = live_context(context);
  device_arg_ = live != nullptr ? live->device : nullptr;
  args_.push_back(handle(context));
}

void Call::apply_rules() {
  std::optional<ALenum> fail_code;
  std::optional<ALenum> error_code;
  for (Rule& rule : state().config.rules) {
    if (rule.function != name_) continue;
    if (!rule.arg_forms.empty() && std::ranges::find_first_of(rule.arg_forms, args_) == rule.arg_forms.end()) continue;
    ++rule.seen;
    if (rule.always ? rule.seen < rule.nth : rule.seen != rule.nth) continue;
    if (rule.kind == Rule::Kind::Disconnect) {
      for (const auto& device : state().devices) device->connected = false;
    } else {
      auto& code_of_kind = rule.kind == Rule::Kind::Fail ? fail_code : error_code;
      if (!code_of_kind) code_of_kind = rule.code;
    }
  }
  fails_ = fail_code.has_value();
  code_ = fail_code.value_or(error_code.value_or(0));
}

ALCenum& Call::pending_alc_error() const {
  ALCdevice* device = open_device(device_arg_);
  return device != nullptr ? device->error : state().null_device_error;
}

bool Call::alc_error(ALCenum error) const {
  if (!fails_) pending_alc_error() = error;
  return false;
}

void Call::al_error(ALenum error) const {
  ALCcontext* context = current_context();
  if (!fails_ && context != nullptr && context->error == AL_NO_ERROR) context->error = error;
}

Call::~Call() {
  if (code_ != 0 && std::string_view(name_).starts_with("alc")) {
    pending_alc_error() = code_;
  } else if (ALCcontext* context = current_context(); code_ != 0 && context != nullptr) {
    context->error = code_;
  }
  std::string line = std::string(name_) + "(";
  for (std::size_t index = 0; index < args_.size(); ++index) line += (index > 0 ? ", " : "") + args_[index];
  line += result_ ? ") = " + *result_ : ")";
  if (state().log_fd >= 0) write_all(state().log_fd, line + "\n");
  state().record.push_back(std::move(line));
}

}  // namespace fake

namespace {

// Runs when the library is loaded (by the program's dlopen, or a test's). A configuration
// mistake must not let a run pass on defaults, so it stops the process.
const struct LoadTimeSetup {
  LoadTimeSetup() {
    fake::State& state = fake::state();
    if (const char* path = std::getenv("FAKE_OPENAL_LOG"); path != nullptr && *path != '\0') {
      state.log_fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
      if (state.log_fd < 0) {
        fake::complain("cannot open FAKE_OPENAL_LOG file " + std::string(path));
        std::abort();
      }
    }
    std::string problem;
    if (const char* text = std::getenv("FAKE_OPENAL_CONFIG");
        text != nullptr && !fake::apply_config(text, state.config, problem)) {
      fake::complain("bad FAKE_OPENAL_CONFIG entry: " + problem);
      std::abort();
    }
  }
} setup;

// The state, locked for one control function.
struct Locked {
  fake::State& state = fake::state();
  std::lock_guard<std::mutex> lock{state.mutex};
};

// What the caller has not released: objects still open or alive, or names still in a context.
template <typename Count>
size_t live(const std::vector<std::unique_ptr<Count>>& registry, auto count) {
  size_t total = 0;
  for (const auto& object : registry) total += count(*object);
  return total;
}

}  // namespace

extern "C" {

void fake_openal_reset(void) {
  const Locked locked;
  static_cast<fake::Session&>(locked.state) = fake::Session{};
  ++locked.state.generation;
}

int fake_openal_configure(const char* text) {
  const Locked locked;
  fake::Config updated = locked.state.config;
  std::string problem = "no text";
  if (text == nullptr || !fake::apply_config(text, updated, problem)) {
    fake::complain("bad configuration entry: " + problem);
    return -1;
  }
  locked.state.config = std::move(updated);
  return 0;
}

size_t fake_openal_call_count(void) { return Locked().state.record.size(); }

const char* fake_openal_call(size_t index) {
  const Locked locked;
  return index < locked.state.record.size() ? locked.state.record[index].c_str() : nullptr;
}

size_t fake_openal_live_devices(void) {
  return live(Locked().state.devices, [](const ALCdevice& device) { return size_t{device.open}; });
}

size_t fake_openal_live_contexts(void) {
  return live(Locked().state.contexts, [](const ALCcontext& context) { return size_t{context.alive}; });
}

size_t fake_openal_live_sources(void) {
  return live(Locked().state.contexts, [](const ALCcontext& context) { return context.sources.size(); });
}

size_t fake_openal_live_buffers(void) {
  return live(Locked().state.contexts, [](const ALCcontext& context) { return context.buffers.size(); });
}

}  // extern "C"
