// The fake's state, configuration and record, its control functions, and the set-up it does when
// loaded: the configuration from FAKE_OPENAL_CONFIG and the log file from FAKE_OPENAL_LOG.
#include "fake_state.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <stdexcept>

#include "fake_openal.h"

namespace fake {

namespace {

// Every function a rule may name, each between blanks: the OpenAL 1.1 core entry points and the
// extension functions handed out by alcGetProcAddress.
constexpr std::string_view kFunctions =
    " alcCreateContext alcMakeContextCurrent alcProcessContext alcSuspendContext alcDestroyContext"
    " alcGetCurrentContext alcGetContextsDevice alcOpenDevice alcCloseDevice alcGetError alcIsExtensionPresent"
    " alcGetProcAddress alcGetEnumValue alcGetString alcGetIntegerv alcCaptureOpenDevice alcCaptureCloseDevice"
    " alcCaptureStart alcCaptureStop alcCaptureSamples alDopplerFactor alDopplerVelocity alSpeedOfSound"
    " alDistanceModel alEnable alDisable alIsEnabled alGetString alGetBooleanv alGetIntegerv alGetFloatv"
    " alGetDoublev alGetBoolean alGetInteger alGetFloat alGetDouble alGetError alIsExtensionPresent"
    " alGetProcAddress alGetEnumValue alListenerf alListener3f alListenerfv alListeneri alListener3i alListeneriv"
    " alGetListenerf alGetListener3f alGetListenerfv alGetListeneri alGetListener3i alGetListeneriv alGenSources"
    " alDeleteSources alIsSource alSourcef alSource3f alSourcefv alSourcei alSource3i alSourceiv alGetSourcef"
    " alGetSource3f alGetSourcefv alGetSourcei alGetSource3i alGetSourceiv alSourcePlayv alSourceStopv"
    " alSourceRewindv alSourcePausev alSourcePlay alSourceStop alSourceRewind alSourcePause alSourceQueueBuffers"
    " alSourceUnqueueBuffers alGenBuffers alDeleteBuffers alIsBuffer alBufferData alBufferf alBuffer3f alBufferfv"
    " alBufferi alBuffer3i alBufferiv alGetBufferf alGetBuffer3f alGetBufferfv alGetBufferi alGetBuffer3i"
    " alGetBufferiv alcSetThreadContext alcGetThreadContext alcLoopbackOpenDeviceSOFT"
    " alcIsRenderFormatSupportedSOFT alcRenderSamplesSOFT alcGetInteger64vSOFT ";

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trim(std::string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

// A bad configuration entry, and why; apply_config reports it.
struct BadEntry : std::invalid_argument {
  using std::invalid_argument::invalid_argument;
};

// Decimal, or hexadecimal after 0x, with an optional '-'; the whole text must be the number.
std::optional<long long> to_number(std::string_view text) {
  const bool negative = text.starts_with('-');
  if (negative) text.remove_prefix(1);
  int base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    base = 16;
    text.remove_prefix(2);
  }
  unsigned long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size() || value > 0x7FFFFFFFFFFFFFFFULL) {
    return std::nullopt;
  }
  return negative ? -static_cast<long long>(value) : static_cast<long long>(value);
}

long long number(std::string_view text, long long lowest, long long highest) {
  const auto value = to_number(text);
  if (!value || *value < lowest || *value > highest) {
    throw BadEntry("expected a number from " + std::to_string(lowest) + " to " + std::to_string(highest));
  }
  return *value;
}

// Resolves the escapes \0, \xNN, \\ and \; of a byte value.
std::string decode_bytes(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::string_view rest = text.substr(i);
    if (!rest.starts_with('\\')) {
      out.push_back(rest[0]);
    } else if (rest.starts_with("\\0") || rest.starts_with("\\\\") || rest.starts_with("\\;")) {
      out.push_back(rest[1] == '0' ? '\0' : rest[1]);
      ++i;
    } else if (rest.size() >= 4 && rest[1] == 'x' && std::isxdigit(static_cast<unsigned char>(rest[2])) != 0 &&
               std::isxdigit(static_cast<unsigned char>(rest[3])) != 0) {
      out.push_back(static_cast<char>(number("0x" + std::string(rest.substr(2, 2)), 0, 255)));
      i += 3;
    } else {
      throw BadEntry("bad escape in " + std::string(text));
    }
  }
  return out;
}

std::optional<std::string> parse_bytes(std::string_view text) {
  if (text == "null") return std::nullopt;
  return decode_bytes(text);
}

std::optional<Version> parse_version(std::string_view text) {
  if (text == "untouched") return std::nullopt;
  const auto dot = text.find('.');
  if (dot == std::string_view::npos) throw BadEntry("expected M.m or untouched");
  return Version{static_cast<int>(number(text.substr(0, dot), 0, 0x7FFFFFFF)),
                 static_cast<int>(number(text.substr(dot + 1), 0, 0x7FFFFFFF))};
}

std::vector<std::string> split_names(std::string_view text) {
  std::vector<std::string> names;
  while (!(text = trim(text)).empty()) {
    const auto end = static_cast<std::size_t>(std::find_if(text.begin(), text.end(), is_blank) - text.begin());
    names.emplace_back(text.substr(0, end));
    text.remove_prefix(end);
  }
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
    const auto code_colon = text.rfind(':');
    if (code_colon == std::string_view::npos) throw BadEntry("expected <function>[@<arg>]:<N>:<code>[:always]");
    rule.code = static_cast<ALenum>(number(text.substr(code_colon + 1), 0, 0x7FFFFFFF));
    text = text.substr(0, code_colon);
  }
  const auto nth_colon = text.rfind(':');
  if (nth_colon == std::string_view::npos || nth_colon == 0) throw BadEntry("expected <function>[@<arg>]:<N>");
  rule.nth = static_cast<unsigned long long>(number(text.substr(nth_colon + 1), 1, 0x7FFFFFFFFFFFFFFF));
  const std::string_view head = text.substr(0, nth_colon);
  const auto at = head.find('@');
  rule.function = head.substr(0, at);
  if (rule.function.find_first_of(" @") != std::string::npos ||
      kFunctions.find(" " + rule.function + " ") == std::string_view::npos) {
    throw BadEntry("unknown function " + rule.function);
  }
  if (at != std::string_view::npos) {
    const std::string arg = decode_bytes(head.substr(at + 1));
    rule.arg_forms.push_back(quote(std::string_view(arg)));
    if (const auto value = to_number(arg)) rule.arg_forms.push_back(hex(*value));
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
  } else if (key == "null_version") {
    config.null_version = parse_version(trimmed);
  } else if (key == "device_version") {
    config.device_version = parse_version(trimmed);
  } else if (key == "null_extensions") {
    config.null_extensions = split_names(value);
  } else if (key == "device_extensions") {
    config.device_extensions = split_names(value);
  } else if (key == "max_aux_sends") {
    config.max_aux_sends = static_cast<ALCint>(number(trimmed, -0x80000000LL, 0x7FFFFFFF));
  } else if (key == "latency_ns") {
    config.latency_ns = number(trimmed, -0x7FFFFFFFFFFFFFFF, 0x7FFFFFFFFFFFFFFF);
  } else if (key == "fail") {
    config.rules.push_back(parse_rule(trimmed, Rule::Kind::Fail));
  } else if (key == "error") {
    config.rules.push_back(parse_rule(trimmed, Rule::Kind::Error));
  } else if (key == "disconnect") {
    config.rules.push_back(parse_rule(trimmed, Rule::Kind::Disconnect));
  } else {
    throw BadEntry("unknown key");
  }
}

// The generation guards against a context left in a thread's variable before a reset.
thread_local ALCcontext* tls_context = nullptr;
thread_local std::uint64_t tls_generation = 0;

template <typename T>
T* find(const std::vector<std::unique_ptr<T>>& registry, const T* handle) {
  const auto found = std::ranges::find_if(registry, [&](const auto& known) { return known.get() == handle; });
  return handle != nullptr && found != registry.end() ? found->get() : nullptr;
}

template <typename T>
std::string handle_name(const std::vector<std::unique_ptr<T>>& registry, const T* handle, const char* kind) {
  if (handle == nullptr) return "null";
  const auto found = std::ranges::find_if(registry, [&](const auto& known) { return known.get() == handle; });
  return kind + (found != registry.end() ? std::to_string(found - registry.begin() + 1) : "?");
}

void write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno != EINTR) return;
    if (written > 0) bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

void complain(const std::string& message) { write_all(STDERR_FILENO, "fake OpenAL: " + message + "\n"); }

}  // namespace

bool apply_config(std::string_view text, Config& config, std::string& problem) {
  // Entries end at an unescaped ';' or a newline; escapes are resolved per value.
  std::string entry;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i + 1 < text.size() && text[i] == '\\') {
      entry += text.substr(i++, 2);
    } else if (i < text.size() && text[i] != ';' && text[i] != '\n') {
      entry.push_back(text[i]);
    } else {
      const std::string_view view = trim(entry);
      const auto equals = view.find('=');
      const std::string_view key = trim(view.substr(0, equals));
      try {
        if (!view.empty() && equals == std::string_view::npos) throw BadEntry("no '='");
        if (!view.empty()) apply_entry(key, view.substr(equals + 1), config);
      } catch (const BadEntry& bad) {
        problem = std::string(key) + ": " + bad.what() + " (entry: " + std::string(view) + ")";
        return false;
      }
      entry.clear();
    }
  }
  return true;
}

void State::reset() {
  config = Config{};
  record.clear();
  strings.clear();
  devices.clear();
  contexts.clear();
  null_device_error = ALC_NO_ERROR;
  process_context = nullptr;
  ++generation;
  next_name = 1;
}

State& state() {
  // Never destroyed: the program may still call in from atexit handlers or other threads while
  // the process exits.
  static auto* instance = new State;
  return *instance;
}

ALCdevice* open_device(State& s, ALCdevice* handle) {
  ALCdevice* device = find(s.devices, handle);
  return device != nullptr && device->open ? device : nullptr;
}

ALCcontext* live_context(State& s, ALCcontext* handle) {
  ALCcontext* context = find(s.contexts, handle);
  return context != nullptr && context->alive ? context : nullptr;
}

ALCcontext* thread_context(State& s) { return tls_generation == s.generation ? live_context(s, tls_context) : nullptr; }

void set_thread_context(State& s, ALCcontext* context) {
  tls_context = context;
  tls_generation = s.generation;
}

ALCcontext* current_context(State& s) {
  if (tls_generation == s.generation && tls_context != nullptr) return live_context(s, tls_context);
  return live_context(s, s.process_context);
}

std::string hex(long long value) {
  auto magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
  std::string digits;
  do {
    digits.insert(digits.begin(), kHexDigits[magnitude % 16]);
    magnitude /= 16;
  } while (magnitude != 0);
  return (value < 0 ? "-0x" : "0x") + digits;
}

std::string text(ALfloat value) {
  std::string out(32, '\0');
  out.resize(static_cast<std::size_t>(std::to_chars(out.data(), out.data() + out.size(), value).ptr - out.data()));
  return out;
}

std::string quote(std::string_view bytes) {
  std::string out = "\"";
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte <= 0x7E && c != '"' && c != '\\') {
      out.push_back(c);
    } else {
      out += {'\\', 'x', kHexDigits[byte >> 4U], kHexDigits[byte & 0xFU]};
    }
  }
  return out + "\"";
}

std::string quote(const char* text) { return text == nullptr ? "null" : quote(std::string_view(text)); }

std::string handle(State& s, const ALCdevice* device) { return handle_name(s.devices, device, "dev"); }

std::string handle(State& s, const ALCcontext* context) { return handle_name(s.contexts, context, "ctx"); }

void Call::add(Attributes attributes) {
  if (attributes.list == nullptr) {
    args_.emplace_back("null");
    return;
  }
  // Pairs up to the terminating 0; a list without one is cut off rather than read forever.
  std::string out = "[";
  for (std::size_t i = 0; i < 128; i += 2) {
    if (attributes.list[i] == 0) {
      args_.push_back(out + "0]");
      return;
    }
    out += hex(attributes.list[i]) + "," + text(attributes.list[i + 1]) + ",";
  }
  args_.push_back(out + "...]");
}

void Call::add(ALCdevice* device) {
  device_arg_ = device;
  args_.push_back(handle(s, device));
}

void Call::add(ALCcontext* context) {
  const ALCcontext* live = live_context(s, context);
  device_arg_ = live != nullptr ? live->device : nullptr;
  args_.push_back(handle(s, context));
}

void Call::apply_rules() {
  std::optional<ALenum> fail_code;
  std::optional<ALenum> error_code;
  for (Rule& rule : s.config.rules) {
    if (rule.function != name_) continue;
    if (!rule.arg_forms.empty() && std::ranges::find_first_of(rule.arg_forms, args_) == rule.arg_forms.end()) continue;
    ++rule.seen;
    if (rule.always ? rule.seen < rule.nth : rule.seen != rule.nth) continue;
    if (rule.kind == Rule::Kind::Disconnect) {
      for (const auto& device : s.devices) device->connected = false;
      continue;
    }
    auto& code_of_kind = rule.kind == Rule::Kind::Fail ? fail_code : error_code;
    if (!code_of_kind) code_of_kind = rule.code;
  }
  fails = fail_code.has_value();
  code = fail_code.value_or(error_code.value_or(0));
}

ALCcontext* Call::context() const { return fails ? nullptr : current_context(s); }

ALCenum& Call::alc_error() {
  ALCdevice* device = open_device(s, device_arg_);
  return device != nullptr ? device->error : s.null_device_error;
}

void Call::al_error(ALenum error) const {
  ALCcontext* context = current_context(s);
  if (context != nullptr && context->error == AL_NO_ERROR) context->error = error;
}

Call::~Call() {
  if (code != 0 && std::string_view(name_).starts_with("alc")) {
    alc_error() = code;
  } else if (code != 0 && current_context(s) != nullptr) {
    current_context(s)->error = code;
  }
  std::string line = std::string(name_) + "(";
  for (std::size_t i = 0; i < args_.size(); ++i) line += (i > 0 ? ", " : "") + args_[i];
  line += result_ ? ") = " + *result_ : ")";
  if (s.log_fd >= 0) write_all(s.log_fd, line + "\n");
  s.record.push_back(std::move(line));
}

}  // namespace fake

using fake::State;

namespace {

// Runs when the library is loaded (by the program's dlopen, or a test's). A configuration
// mistake must not let a run pass on defaults, so it stops the process.
const struct LoadTimeSetup {
  LoadTimeSetup() {
    State& s = fake::state();
    if (const char* path = std::getenv("FAKE_OPENAL_LOG"); path != nullptr && *path != '\0') {
      s.log_fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
      if (s.log_fd < 0) {
        fake::complain("cannot open FAKE_OPENAL_LOG file " + std::string(path));
        std::abort();
      }
    }
    std::string problem;
    if (const char* text = std::getenv("FAKE_OPENAL_CONFIG");
        text != nullptr && !fake::apply_config(text, s.config, problem)) {
      fake::complain("bad FAKE_OPENAL_CONFIG entry: " + problem);
      std::abort();
    }
  }
} setup;

// The state, locked for one control function.
struct Locked {
  State& s = fake::state();
  std::lock_guard<std::mutex> lock{s.mutex};
};

}  // namespace

extern "C" {

void fake_openal_reset(void) { Locked().s.reset(); }

int fake_openal_configure(const char* text) {
  const Locked locked;
  fake::Config updated = locked.s.config;
  std::string problem = "no text";
  if (text == nullptr || !fake::apply_config(text, updated, problem)) {
    fake::complain("bad configuration entry: " + problem);
    return -1;
  }
  locked.s.config = std::move(updated);
  return 0;
}

size_t fake_openal_call_count(void) { return Locked().s.record.size(); }

const char* fake_openal_call(size_t index) {
  const Locked locked;
  return index < locked.s.record.size() ? locked.s.record[index].c_str() : nullptr;
}

size_t fake_openal_live_devices(void) {
  const Locked locked;
  return static_cast<size_t>(std::ranges::count_if(locked.s.devices, [](const auto& device) { return device->open; }));
}

size_t fake_openal_live_contexts(void) {
  const Locked locked;
  return static_cast<size_t>(
      std::ranges::count_if(locked.s.contexts, [](const auto& context) { return context->alive; }));
}

size_t fake_openal_live_sources(void) {
  const Locked locked;
  size_t count = 0;
  for (const auto& context : locked.s.contexts) count += context->sources.size();
  return count;
}

size_t fake_openal_live_buffers(void) {
  const Locked locked;
  size_t count = 0;
  for (const auto& context : locked.s.contexts) count += context->buffers.size();
  return count;
}

}  // extern "C"
