#include "audio/device.hpp"

#include <AL/alext.h>

#include <cstring>

namespace {

// The device extension whose probe the layer keeps: the number of auxiliary sends sizes every
// source's send table. The effect-slot names have standard fallback values in the probe.
constexpr std::string_view efx_constants[] = {"ALC_EFX_MAJOR_VERSION",   "ALC_EFX_MINOR_VERSION",
                                              "ALC_MAX_AUXILIARY_SENDS", "AL_EFFECTSLOT_EFFECT",
                                              "AL_EFFECTSLOT_GAIN",      "AL_EFFECTSLOT_AUXILIARY_SEND_AUTO"};
// Whether the device still plays (asked before every note), and how far behind the mixer its
// output is (waited out after the last note).
constexpr std::string_view disconnect_constants[] = {"ALC_CONNECTED"};
constexpr std::string_view device_clock_constants[] = {"ALC_DEVICE_LATENCY_SOFT"};
constexpr std::string_view device_clock_functions[] = {"alcGetInteger64vSOFT"};

/// The query for a list or a default name: the resolved ALC_ENUMERATE_ALL_EXT constant when there
/// is one, the basic query otherwise.
ALCenum choose_query(const AudioLibrary& library, std::string_view all_constant, ALCenum basic) {
  const ExtensionRecord& all = library.extensions().enumerate_all;
  return all.constant(all_constant).value_or(basic);
}

}  // namespace

std::vector<std::string> split_device_list(const char* list) {
  std::vector<std::string> names;
  if (list == nullptr) return names;
  std::size_t end = 0;
  while (list[end] != '\0' || list[end + 1] != '\0') ++end;
  // Cutting at every NUL: an empty list text still yields one (empty) piece.
  std::size_t start = 0;
  while (true) {
    const std::size_t length = std::strlen(list + start);
    names.emplace_back(list + start, length);
    if (start + length >= end) break;
    start += length + 1;
  }
  return names;
}

std::vector<std::string> list_output_devices(const AudioLibrary& library) {
  const ALCenum query = choose_query(library, "ALC_ALL_DEVICES_SPECIFIER", ALC_DEVICE_SPECIFIER);
  return split_device_list(library.entry_points().alcGetString(nullptr, query));
}

std::optional<std::string> default_output_name(const AudioLibrary& library) {
  const ALCenum query = choose_query(library, "ALC_DEFAULT_ALL_DEVICES_SPECIFIER", ALC_DEFAULT_DEVICE_SPECIFIER);
  const ALCchar* name = library.entry_points().alcGetString(nullptr, query);
  if (name == nullptr) return std::nullopt;
  return std::string(name);
}

/// What the probe found on a newly opened device.
struct DeviceExtensions {
  ExtensionRecord efx;           // ALC_EXT_EFX
  ExtensionRecord disconnect;    // ALC_EXT_disconnect
  ExtensionRecord device_clock;  // ALC_SOFT_device_clock
};

struct PlaybackDevice::Record {
  Record(AudioLibrary library, std::optional<std::string> name, ALCdevice* device, DeviceExtensions extensions)
      : name(std::move(name)), library(std::move(library)), device(device), extensions(std::move(extensions)) {}
  Record(const Record&) = delete;
  Record& operator=(const Record&) = delete;
  ~Record() {
    // Closed before the library reference goes: the library may be unloaded with it.
    library.entry_points().alcCloseDevice(device);  // result ignored: nothing more can be done
  }

  // Members go in reverse order after the close: the library reference, then the name.
  std::optional<std::string> name;
  AudioLibrary library;
  ALCdevice* device;
  DeviceExtensions extensions;
};

ALCdevice* PlaybackDevice::handle() const { return record_->device; }

const AudioLibrary& PlaybackDevice::library() const { return record_->library; }

const std::optional<std::string>& PlaybackDevice::name() const { return record_->name; }

std::optional<ALCenum> PlaybackDevice::max_auxiliary_sends_query() const {
  return record_->extensions.efx.constant("ALC_MAX_AUXILIARY_SENDS");
}

std::optional<std::chrono::nanoseconds> PlaybackDevice::latency() const {
  const ExtensionRecord& clock = record_->extensions.device_clock;
  const auto query = clock.constant("ALC_DEVICE_LATENCY_SOFT");
  void* get_integer64 = clock.function("alcGetInteger64vSOFT");
  if (!query || get_integer64 == nullptr) return std::nullopt;
  ALCint64SOFT latency_ns = 0;
  // not checked: a query that fails writes nothing, and nothing is waited for
  function_cast<LPALCGETINTEGER64VSOFT>(get_integer64)(record_->device, *query, 1, &latency_ns);
  return std::chrono::nanoseconds(latency_ns);
}

AudioResult<void> check_connected(const PlaybackDevice& device) {
  const auto query = device.record_->extensions.disconnect.constant("ALC_CONNECTED");
  if (!query) return {};
  // not checked: a query that fails writes nothing, which counts as still connected
  ALCint connected = ALC_TRUE;
  device.library().entry_points().alcGetIntegerv(device.handle(), *query, 1, &connected);
  if (connected == ALC_FALSE) return std::unexpected(AudioError::Kind::InvalidDevice);
  return {};
}

AudioResult<PlaybackDevice> open_device(const AudioLibrary& library, std::optional<std::string_view> name) {
  const EntryPoints& al = library.entry_points();
  // Opening the default device means opening it by the name OpenAL reports for it.
  std::optional<std::string> device_name = name ? std::optional<std::string>(*name) : default_output_name(library);
  ALCdevice* device = al.alcOpenDevice(device_name ? device_name->c_str() : nullptr);
  if (device == nullptr) return std::unexpected(AudioError::Kind::InvalidDevice);  // no error code is read

  DeviceExtensions extensions{
      .efx = probe_alc_extension(al, device, "ALC_EXT_EFX", efx_constants, {}),
      .disconnect = probe_alc_extension(al, device, "ALC_EXT_disconnect", disconnect_constants, {}),
      .device_clock =
          probe_alc_extension(al, device, "ALC_SOFT_device_clock", device_clock_constants, device_clock_functions),
  };
  PlaybackDevice opened(
      std::make_shared<const PlaybackDevice::Record>(library, std::move(device_name), device, std::move(extensions)));
  // A refused device is closed again as `opened` goes.
  if (auto version = check_version(library, device); !version) return std::unexpected(version.error());
  return opened;
}
