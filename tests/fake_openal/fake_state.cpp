#include "fake_state.hpp"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>

namespace fake {

namespace {

// Every function a fail= or error= rule may name: the OpenAL 1.1 core entry points and the
// extension functions handed out by alcGetProcAddress.
constexpr std::string_view kFunctions[] = {
    "alcCreateContext", "alcMakeContextCurrent", "alcProcessContext", "alcSuspendContext",
    "alcDestroyContext", "alcGetCurrentContext", "alcGetContextsDevice", "alcOpenDevice",
    "alcCloseDevice", "alcGetError", "alcIsExtensionPresent", "alcGetProcAddress",
    "alcGetEnumValue", "alcGetString", "alcGetIntegerv", "alcCaptureOpenDevice",
    "alcCaptureCloseDevice", "alcCaptureStart", "alcCaptureStop", "alcCaptureSamples",
    "alDopplerFactor", "alDopplerVelocity", "alSpeedOfSound", "alDistanceModel", "alEnable",
    "alDisable", "alIsEnabled", "alGetString", "alGetBooleanv", "alGetIntegerv", "alGetFloatv",
    "alGetDoublev", "alGetBoolean", "alGetInteger", "alGetFloat", "alGetDouble", "alGetError",
    "alIsExtensionPresent", "alGetProcAddress", "alGetEnumValue", "alListenerf", "alListener3f",
    "alListenerfv", "alListeneri", "alListener3i", "alListeneriv", "alGetListenerf",
    "alGetListener3f", "alGetListenerfv", "alGetListeneri", "alGetListener3i", "alGetListeneriv",
    "alGenSources", "alDeleteSources", "alIsSource", "alSourcef", "alSource3f", "alSourcefv",
    "alSourcei", "alSource3i", "alSourceiv", "alGetSourcef", "alGetSource3f", "alGetSourcefv",
    "alGetSourcei", "alGetSource3i", "alGetSourceiv", "alSourcePlayv", "alSourceStopv",
    "alSourceRewindv", "alSourcePausev", "alSourcePlay", "alSourceStop", "alSourceRewind",
    "alSourcePause", "alSourceQueueBuffers", "alSourceUnqueueBuffers", "alGenBuffers",
    "alDeleteBuffers", "alIsBuffer", "alBufferData", "alBufferf", "alBuffer3f", "alBufferfv",
    "alBufferi", "alBuffer3i", "alBufferiv", "alGetBufferf", "alGetBuffer3f", "alGetBufferfv",
    "alGetBufferi", "alGetBuffer3i", "alGetBufferiv",
    "alcSetThreadContext", "alcGetThreadContext", "alcLoopbackOpenDeviceSOFT",
    "alcIsRenderFormatSupportedSOFT", "alcRenderSamplesSOFT",
};

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trim_end(std::string_view text) {
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

// Decimal, or hexadecimal after 0x; an optional leading '-'. The whole text must be the number.
std::optional<long long> parse_int(std::string_view text) {
  bool negative = false;
  if (!text.empty() && text.front() == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;
  unsigned long long value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  if (value > 0x7FFFFFFFFFFFFFFFull) return std::nullopt;
  long long signed_value = static_cast<long long>(value);
  return negative ? -signed_value : signed_value;
}

// Resolves the escapes \0, \xNN, \\ and \; of a byte value.
bool decode_bytes(std::string_view text, std::string& out, std::string& problem) {
  out.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out.push_back(text[i]);
      continue;
    }
    if (i + 1 >= text.size()) {
      problem = "trailing backslash";
      return false;
    }
    char next = text[++i];
    if (next == '0') {
      out.push_back('\0');
    } else if (next == '\\' || next == ';') {
      out.push_back(next);
    } else if (next == 'x' && i + 2 < text.size() &&
               std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
               std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      unsigned value = 0;
      std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16);
      out.push_back(static_cast<char>(value));
      i += 2;
    } else {
      problem = "bad escape \\" + std::string(1, next);
      return false;
    }
  }
  return true;
}

bool parse_bytes_value(std::string_view text, std::optional<std::string>& out, std::string& problem) {
  if (text == "null") {
    out.reset();
    return true;
  }
  std::string bytes;
  if (!decode_bytes(text, bytes, problem)) return false;
  out = std::move(bytes);
  return true;
}

bool parse_version(std::string_view text, std::optional<Version>& out) {
  if (text == "untouched") {
    out.reset();
    return true;
  }
  auto dot = text.find('.');
  if (dot == std::string_view::npos) return false;
  auto major = parse_int(text.substr(0, dot));
  auto minor = parse_int(text.substr(dot + 1));
  if (!major || !minor || *major < 0 || *minor < 0 || *major > 0x7FFFFFFF || *minor > 0x7FFFFFFF) {
    return false;
  }
  out = Version{static_cast<int>(*major), static_cast<int>(*minor)};
  return true;
}

std::vector<std::string> split_names(std::string_view text) {
  std::vector<std::string> names;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (is_blank(text[i]))) ++i;
    std::size_t start = i;
    while (i < text.size() && !is_blank(text[i])) ++i;
    if (i > start) names.emplace_back(text.substr(start, i - start));
  }
  return names;
}

// <function>[@<arg>]:<N>:<code>[:always]. Parsed from the right, so the arg may hold ':'.
bool parse_rule(std::string_view text, bool fail, Rule& rule, std::string& problem) {
  rule = Rule{};
  rule.fail = fail;
  constexpr std::string_view always = ":always";
  if (text.ends_with(always)) {
    rule.always = true;
    text.remove_suffix(always.size());
  }
  auto code_colon = text.rfind(':');
  if (code_colon == std::string_view::npos) {
    problem = "expected <function>[@<arg>]:<N>:<code>[:always]";
    return false;
  }
  auto nth_colon = text.rfind(':', code_colon == 0 ? 0 : code_colon - 1);
  if (nth_colon == std::string_view::npos || nth_colon == code_colon) {
    problem = "expected <function>[@<arg>]:<N>:<code>[:always]";
    return false;
  }
  auto code = parse_int(text.substr(code_colon + 1));
  auto nth = parse_int(text.substr(nth_colon + 1, code_colon - nth_colon - 1));
  if (!nth || *nth < 1) {
    problem = "call number must be 1 or more";
    return false;
  }
  if (!code || *code < 0 || *code > 0x7FFFFFFF) {
    problem = "bad error code";
    return false;
  }
  rule.nth = static_cast<unsigned long long>(*nth);
  rule.code = static_cast<ALenum>(*code);

  std::string_view head = text.substr(0, nth_colon);
  auto at = head.find('@');
  rule.function = std::string(head.substr(0, at));
  if (std::find(std::begin(kFunctions), std::end(kFunctions), rule.function) == std::end(kFunctions)) {
    problem = "unknown function " + rule.function;
    return false;
  }
  if (at != std::string_view::npos) {
    std::string arg;
    if (!decode_bytes(head.substr(at + 1), arg, problem)) return false;
    rule.arg_number = parse_int(arg);
    rule.arg = std::move(arg);
  }
  return true;
}

bool apply_entry(std::string_view key, std::string_view value, Config& config, std::string& problem) {
  std::string_view trimmed = trim_end(value);
  if (key == "devices") return parse_bytes_value(value, config.devices, problem);
  if (key == "all_devices") return parse_bytes_value(value, config.all_devices, problem);
  if (key == "default_device") return parse_bytes_value(value, config.default_device, problem);
  if (key == "default_all_device") {
    return parse_bytes_value(value, config.default_all_device, problem);
  }
  if (key == "null_version" || key == "device_version") {
    auto& target = key == "null_version" ? config.null_version : config.device_version;
    if (!parse_version(trimmed, target)) {
      problem = "expected M.m or untouched";
      return false;
    }
    return true;
  }
  if (key == "null_extensions") {
    config.null_extensions = split_names(value);
    return true;
  }
  if (key == "device_extensions") {
    config.device_extensions = split_names(value);
    return true;
  }
  if (key == "max_aux_sends") {
    auto sends = parse_int(trimmed);
    if (!sends || *sends < -0x80000000LL || *sends > 0x7FFFFFFF) {
      problem = "expected an integer";
      return false;
    }
    config.max_aux_sends = static_cast<ALCint>(*sends);
    return true;
  }
  if (key == "playing_polls") {
    auto polls = parse_int(trimmed);
    if (!polls || *polls < 0) {
      problem = "expected a count of 0 or more";
      return false;
    }
    config.playing_polls = *polls;
    return true;
  }
  if (key == "fail" || key == "error") {
    Rule rule;
    if (!parse_rule(trimmed, key == "fail", rule, problem)) return false;
    config.rules.push_back(std::move(rule));
    return true;
  }
  problem = "unknown key";
  return false;
}

// The generation guards against a context pointer left in a thread by a test before reset.
thread_local ALCcontext* tls_context = nullptr;
thread_local std::uint64_t tls_generation = 0;

void write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

}  // namespace

bool apply_config(std::string_view text, Config& config, std::string& problem) {
  std::string entry;
  auto finish_entry = [&]() -> bool {
    std::string_view view = entry;
    while (!view.empty() && (is_blank(view.front()) || view.front() == '\n')) view.remove_prefix(1);
    if (trim_end(view).empty()) return true;
    auto equals = view.find('=');
    if (equals == std::string_view::npos) {
      problem = "entry without '=': " + std::string(view);
      return false;
    }
    std::string_view key = trim_end(view.substr(0, equals));
    if (!apply_entry(key, view.substr(equals + 1), config, problem)) {
      problem = std::string(key) + ": " + problem + " (entry: " + std::string(view) + ")";
      return false;
    }
    return true;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\\' && i + 1 < text.size()) {
      entry.push_back(c);
      entry.push_back(text[++i]);
    } else if (c == ';' || c == '\n') {
      if (!finish_entry()) return false;
      entry.clear();
    } else {
      entry.push_back(c);
    }
  }
  return finish_entry();
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
  next_device = 1;
  next_context = 1;
  next_name = 1;
}

State& state() {
  // Never destroyed: the program may still call in from atexit handlers or other threads while
  // the process exits.
  static State* instance = new State;
  return *instance;
}

ALCdevice* open_device(State& s, ALCdevice* handle) {
  if (handle == nullptr) return nullptr;
  for (auto& device : s.devices) {
    if (device.get() == handle) return device->open ? handle : nullptr;
  }
  return nullptr;
}

ALCcontext* live_context(State& s, ALCcontext* handle) {
  if (handle == nullptr) return nullptr;
  for (auto& context : s.contexts) {
    if (context.get() == handle) return context->alive ? handle : nullptr;
  }
  return nullptr;
}

ALCcontext* thread_context(State& s) {
  if (tls_generation != s.generation) return nullptr;
  return live_context(s, tls_context);
}

void set_thread_context(State& s, ALCcontext* context) {
  tls_context = context;
  tls_generation = s.generation;
}

ALCcontext* current_context(State& s) {
  if (tls_generation == s.generation && tls_context != nullptr) return live_context(s, tls_context);
  return live_context(s, s.process_context);
}

void set_alc_error(State& s, ALCdevice* open_or_null, ALCenum code) {
  if (open_or_null != nullptr) {
    open_or_null->error = code;
  } else {
    s.null_device_error = code;
  }
}

void set_al_error(ALCcontext* context, ALenum code) {
  if (context != nullptr && context->error == AL_NO_ERROR) context->error = code;
}

const char* intern(State& s, std::string_view bytes) {
  for (const auto& text : s.strings) {
    if (text.size() == bytes.size() + 2 && std::string_view(text).substr(0, bytes.size()) == bytes) {
      return text.c_str();
    }
  }
  // Two extra NULs: a device list configured without its terminator still ends safely.
  std::string stored(bytes);
  stored.append(2, '\0');
  s.strings.push_back(std::move(stored));
  return s.strings.back().c_str();
}

std::string dec(long long value) { return std::to_string(value); }

std::string hex(long long value) {
  char buffer[24];
  unsigned long long magnitude =
      value < 0 ? 0ull - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
  std::snprintf(buffer, sizeof buffer, "%s0x%llX", value < 0 ? "-" : "", magnitude);
  return buffer;
}

std::string flag(bool value) { return value ? "1" : "0"; }

std::string quote_bytes(std::string_view bytes) {
  std::string out = "\"";
  for (char c : bytes) {
    auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte <= 0x7E && c != '"' && c != '\\') {
      out.push_back(c);
    } else {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02X", byte);
      out += escape;
    }
  }
  out.push_back('"');
  return out;
}

std::string quote(const char* text) {
  return text == nullptr ? "null" : quote_bytes(std::string_view(text));
}

std::string number(ALfloat value) {
  char buffer[32];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (error != std::errc{}) return "?";
  return std::string(buffer, end);
}

std::string float_list(const ALfloat* values, std::size_t count) {
  if (values == nullptr) return "null";
  std::string out = "[";
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) out.push_back(',');
    out += number(values[i]);
  }
  return out + "]";
}

std::string int_list(const ALint* values, std::size_t count) {
  if (values == nullptr) return "null";
  std::string out = "[";
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) out.push_back(',');
    out += dec(values[i]);
  }
  return out + "]";
}

std::string name_list(const ALuint* names, long long count) {
  if (names == nullptr) return "null";
  std::string out = "[";
  for (long long i = 0; i < count; ++i) {
    if (i > 0) out.push_back(',');
    out += dec(names[i]);
  }
  return out + "]";
}

std::string written(const std::vector<ALint>& values) {
  return values.empty() ? "[]" : int_list(values.data(), values.size());
}

std::string written(const std::vector<ALfloat>& values) {
  return values.empty() ? "[]" : float_list(values.data(), values.size());
}

std::string handle(State& s, const ALCdevice* device) {
  if (device == nullptr) return "null";
  for (const auto& known : s.devices) {
    if (known.get() == device) return "dev" + dec(known->number);
  }
  return "dev?";
}

std::string handle(State& s, const ALCcontext* context) {
  if (context == nullptr) return "null";
  for (const auto& known : s.contexts) {
    if (known.get() == context) return "ctx" + dec(known->number);
  }
  return "ctx?";
}

Call::Call(const char* name, Key key) : s(state()), lock_(s.mutex), line_(name) {
  line_.push_back('(');
  bool fail_hit = false;
  std::optional<ALenum> fail_code;
  std::optional<ALenum> error_code;
  for (auto& rule : s.config.rules) {
    if (rule.function != name) continue;
    if (rule.arg) {
      bool matches = false;
      if (key.has_text) {
        matches = key.text != nullptr && *rule.arg == key.text;
      } else if (key.number) {
        matches = rule.arg_number && *rule.arg_number == *key.number;
      }
      if (!matches) continue;
    }
    ++rule.seen;
    bool hit = rule.always ? rule.seen >= rule.nth : rule.seen == rule.nth;
    if (!hit) continue;
    if (rule.fail) {
      if (!fail_hit) fail_code = rule.code;
      fail_hit = true;
    } else if (!error_code) {
      error_code = rule.code;
    }
  }
  fail_ = fail_hit;
  code_ = fail_hit ? *fail_code : error_code.value_or(0);
}

Call::~Call() {
  line_.push_back(')');
  if (result_) line_ += " = " + *result_;
  if (s.log_fd >= 0) write_all(s.log_fd, line_ + "\n");
  s.record.push_back(std::move(line_));
}

void Call::append_arg(const std::string& part) {
  if (!first_arg_) line_ += ", ";
  first_arg_ = false;
  line_ += part;
}

void Call::inject_alc(ALCdevice* open_or_null) {
  if (code_ != 0) set_alc_error(s, open_or_null, code_);
}

void Call::inject_al() {
  if (code_ == 0) return;
  if (ALCcontext* context = current_context(s)) context->error = code_;
}

}  // namespace fake
