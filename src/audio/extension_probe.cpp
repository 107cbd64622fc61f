#include "audio/extension_probe.hpp"

namespace {

/// Some implementations give no value for these names; they take the standard values instead. The
/// EFX effect-slot names are often missing; OpenAL Soft before 1.20 offers ALC_SOFT_device_clock
/// and its function but does not know the name of its latency query.
std::optional<ALCenum> fallback_constant(std::string_view name) {
  if (name == "AL_EFFECTSLOT_EFFECT") return 1;
  if (name == "AL_EFFECTSLOT_GAIN") return 2;
  if (name == "AL_EFFECTSLOT_AUXILIARY_SEND_AUTO") return 3;
  if (name == "ALC_DEVICE_LATENCY_SOFT") return ALC_DEVICE_LATENCY_SOFT;
  return std::nullopt;
}

}  // namespace

bool ExtensionProbe::present(const char* extension) const {
  al.alcGetError(device);
  return al.alcIsExtensionPresent(device, extension) == ALC_TRUE;
}

std::optional<ALCenum> ExtensionProbe::constant(const char* name) const {
  const ALCenum value = al.alcGetEnumValue(device, name);
  if (value != 0 && al.alcGetError(device) == ALC_NO_ERROR) return value;
  return fallback_constant(name);
}

void* ExtensionProbe::function(const char* name) const {
  void* address = al.alcGetProcAddress(device, name);
  return address != nullptr && al.alcGetError(device) == ALC_NO_ERROR ? address : nullptr;
}
