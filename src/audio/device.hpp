#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "audio/library.hpp"

/// Splits a device list string: names separated by NUL bytes, the list ended by two NULs in a row.
/// Null gives no names; two NULs at the start give one empty name.
std::vector<std::string> split_device_list(const char* list);

/// The output device names that OpenAL reports, in its order; the full list when
/// ALC_ENUMERATE_ALL_EXT resolved its query, otherwise the basic one.
std::vector<std::string> list_output_devices(const AudioLibrary& library);

/// The name OpenAL gives for its default output device, if any.
std::optional<std::string> default_output_name(const AudioLibrary& library);

/// ALC_EXT_EFX on a device: of its constants only the number of auxiliary sends is read, which
/// sizes every source's send table.
struct EfxExtension {
  bool present = false;
  std::optional<ALCenum> efx_major_version, efx_minor_version, max_auxiliary_sends, effectslot_effect, effectslot_gain,
      effectslot_auxiliary_send_auto;
};

/// ALC_EXT_disconnect: whether a device still plays, asked before every note.
struct DisconnectExtension {
  bool present = false;
  std::optional<ALCenum> connected;
};

/// ALC_SOFT_device_clock: how far behind the mixer a device's output is, waited out at both ends of
/// a run.
struct DeviceClockExtension {
  bool present = false;
  std::optional<ALCenum> device_latency;
  LPALCGETINTEGER64VSOFT alcGetInteger64vSOFT = nullptr;
};

/// What the probe found on a device right after it was opened.
struct DeviceExtensions {
  EfxExtension efx;
  DisconnectExtension disconnect;
  DeviceClockExtension device_clock;
};

/// One open OpenAL output device. A shared handle: copies share one record; the last copy to go
/// closes the device and then lets go of the library.
class PlaybackDevice {
 public:
  ALCdevice* handle() const;
  const AudioLibrary& library() const;
  const DeviceExtensions& extensions() const;

 private:
  struct Record;
  explicit PlaybackDevice(std::shared_ptr<const Record> record) : record_(std::move(record)) {}
  friend AudioResult<PlaybackDevice> open_device(const AudioLibrary& library, std::optional<std::string_view> name);

  std::shared_ptr<const Record> record_;
};

/// `InvalidDevice` once OpenAL reports the device lost (ALC_EXT_disconnect's ALC_CONNECTED reads 0):
/// a server that went away, a recording whose disk is full. Success while it plays, and always on
/// a device without the extension.
AudioResult<void> check_connected(const PlaybackDevice& device);

/// How long what OpenAL has mixed takes to be heard on `device` (ALC_SOFT_device_clock's
/// ALC_DEVICE_LATENCY_SOFT); nothing when the device does not offer the query.
std::optional<std::chrono::nanoseconds> device_latency(const PlaybackDevice& device);

/// Opens the named device; with no name, the device OpenAL names as its default, asked for first.
/// A refused open is `InvalidDevice`; a device below ALC 1.1 is closed again (`UnsupportedVersion`).
AudioResult<PlaybackDevice> open_device(const AudioLibrary& library, std::optional<std::string_view> name = {});
