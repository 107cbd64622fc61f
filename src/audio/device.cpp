#include "audio/device.hpp"

#include <cstring>

#include "audio/extension_probe.hpp"

namespace {

// Only the sends' number is read; the rest are asked all the same: the library sees every call, in tested order.
using Efx = EfxExtension;
constexpr ExtensionConstant<Efx> efx_constants[]{
    {"ALC_EFX_MAJOR_VERSION", &Efx::efx_major_version},
    {"ALC_EFX_MINOR_VERSION", &Efx::efx_minor_version},
    {"ALC_MAX_AUXILIARY_SENDS", &Efx::max_auxiliary_sends},
    {"AL_EFFECTSLOT_EFFECT", &Efx::effectslot_effect},
    {"AL_EFFECTSLOT_GAIN", &Efx::effectslot_gain},
    {"AL_EFFECTSLOT_AUXILIARY_SEND_AUTO", &Efx::effectslot_auxiliary_send_auto},
};
constexpr ExtensionConstant<DisconnectExtension> disconnect_constants[]{
    {"ALC_CONNECTED", &DisconnectExtension::connected}};
using Clock = DeviceClockExtension;
constexpr ExtensionConstant<Clock> clock_constants[]{{"ALC_DEVICE_LATENCY_SOFT", &Clock::device_latency}};
constexpr ExtensionFunction<Clock> clock_functions[]{AUDIO_EXTENSION_FUNCTION(Clock, alcGetInteger64vSOFT)};

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
  // The full list when ALC_ENUMERATE_ALL_EXT resolved its query, otherwise the basic one.
  const ALCenum query = library.extensions().enumerate_all.all_devices_specifier.value_or(ALC_DEVICE_SPECIFIER);
  return split_device_list(library.entry_points().alcGetString(nullptr, query));
}

std::optional<std::string> default_output_name(const AudioLibrary& library) {
  const ALCenum query =
      library.extensions().enumerate_all.default_all_devices_specifier.value_or(ALC_DEFAULT_DEVICE_SPECIFIER);
  const ALCchar* name = library.entry_points().alcGetString(nullptr, query);
  if (name == nullptr) return std::nullopt;
  return std::string(name);
}

struct PlaybackDevice::Record {
  Record(AudioLibrary library, std::optional<std::string> name, ALCdevice* device, DeviceExtensions extensions)
      : name(std::move(name)), library(std::move(library)), device(device), extensions(extensions) {}
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

const DeviceExtensions& PlaybackDevice::extensions() const { return record_->extensions; }

AudioResult<void> check_connected(const PlaybackDevice& device) {
  const auto query = device.extensions().disconnect.connected;
  if (!query) return {};
  // not checked: a query that fails writes nothing, which counts as still connected
  ALCint connected = ALC_TRUE;
  device.library().entry_points().alcGetIntegerv(device.handle(), *query, 1, &connected);
  if (connected == ALC_FALSE) return std::unexpected(AudioError::Kind::InvalidDevice);
  return {};
}

std::optional<std::chrono::nanoseconds> device_latency(const PlaybackDevice& device) {
  const DeviceClockExtension& clock = device.extensions().device_clock;
  if (!clock.device_latency || clock.alcGetInteger64vSOFT == nullptr) return std::nullopt;
  // not checked: a query that fails writes nothing, and nothing is waited for
  ALCint64SOFT latency_ns = 0;
  clock.alcGetInteger64vSOFT(device.handle(), *clock.device_latency, 1, &latency_ns);
  return std::chrono::nanoseconds(latency_ns);
}

AudioResult<PlaybackDevice> open_device(const AudioLibrary& library, std::optional<std::string_view> name) {
  const EntryPoints& al = library.entry_points();
  // Opening the default device means opening it by the name OpenAL reports for it.
  std::optional<std::string> device_name = name ? std::optional<std::string>(*name) : default_output_name(library);
  ALCdevice* device = al.alcOpenDevice(device_name ? device_name->c_str() : nullptr);
  if (device == nullptr) return std::unexpected(AudioError::Kind::InvalidDevice);  // no error code is read

  const ExtensionProbe probe{al, device};
  DeviceExtensions extensions{
      .efx = probe_extension<Efx>(probe, "ALC_EXT_EFX", efx_constants, {}),
      .disconnect = probe_extension<DisconnectExtension>(probe, "ALC_EXT_disconnect", disconnect_constants, {}),
      .device_clock = probe_extension<Clock>(probe, "ALC_SOFT_device_clock", clock_constants, clock_functions)};
  PlaybackDevice opened(
      std::make_shared<const PlaybackDevice::Record>(library, std::move(device_name), device, extensions));
  // A refused device is closed again as `opened` goes.
  if (auto version = check_version(library, device); !version) return std::unexpected(version.error());
  return opened;
}
