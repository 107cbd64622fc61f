#include "audio/device.hpp"

#include <gtest/gtest.h>

#include "support/fake_audio.hpp"

namespace {

TEST(DeviceList, SplitsAtNulsUpToTheFirstDoubleNul) {
  EXPECT_EQ(split_device_list(nullptr), Lines{});
  EXPECT_EQ(split_device_list("A\0B\0\0"), (Lines{"A", "B"}));
  EXPECT_EQ(split_device_list("\0\0"), Lines{""});  // one empty name, not an empty list
  EXPECT_EQ(split_device_list("\0B\0\0"), (Lines{"", "B"}));
  EXPECT_EQ(split_device_list("No Output\0\0ignored\0\0"), Lines{"No Output"});
  // Lines are bytes: judging them is the caller's business.
  EXPECT_EQ(split_device_list("caf\xC3\0\xFF\xFE\0\0"), (Lines{"caf\xC3", "\xFF\xFE"}));
}

using OutputDevice = FakeAudioTest;

TEST_F(OutputDevice, ListAndDefaultNameUseTheEnumerateAllQueriesWhenResolved) {
  fake_.configure(R"(devices=Basic\0\0;all_devices=Full A\0Full B\0\0;default_device=Basic;default_all_device=Full B)");
  const AudioLibrary library = load();
  const std::size_t first = mark();
  EXPECT_EQ(list_output_devices(library), (Lines{"Full A", "Full B"}));
  EXPECT_EQ(default_output_name(library), "Full B");
  EXPECT_EQ(without_make_current(record_since(first)),
            (Lines{R"(alcGetString(null, 0x1013) = "Full A\x00Full B\x00\x00")",
                   R"(alcGetString(null, 0x1012) = "Full B")"}));
}

TEST_F(OutputDevice, BasicQueriesWithoutTheExtensionOrItsConstants) {
  const struct {
    std::string config;
    std::string list_query;
    std::string default_query;
  } cases[] = {
      {"null_extensions=ALC_SOFT_loopback", "0x1005", "0x1004"},
      {"fail=alcGetEnumValue@ALC_ALL_DEVICES_SPECIFIER:1:0", "0x1005", "0x1012"},
      // Only the default name's own constant decides its query.
      {"fail=alcGetEnumValue@ALC_DEFAULT_ALL_DEVICES_SPECIFIER:1:0", "0x1013", "0x1004"},
  };
  for (const auto& [config, list_query, default_query] : cases) {
    SCOPED_TRACE(config);
    fake_.reset();
    fake_.configure(config);
    const AudioLibrary library = load();
    const std::size_t first = mark();
    list_output_devices(library);
    default_output_name(library);
    const auto calls = without_make_current(record_since(first));
    ASSERT_EQ(calls.size(), 2U);
    EXPECT_TRUE(calls[0].starts_with("alcGetString(null, " + list_query + ")")) << calls[0];
    EXPECT_TRUE(calls[1].starts_with("alcGetString(null, " + default_query + ")")) << calls[1];
  }
}

TEST_F(OutputDevice, NullListAndNoDefaultName) {
  fake_.configure("all_devices=null;default_all_device=null");
  const AudioLibrary library = load();
  EXPECT_EQ(list_output_devices(library), Lines{});
  EXPECT_EQ(default_output_name(library), std::nullopt);
}

TEST_F(OutputDevice, DefaultDeviceIsOpenedByItsReportedName) {
  const AudioLibrary library = load();
  const std::size_t first = mark();
  const auto device = open_device(library);
  ASSERT_TRUE(device.has_value()) << device.error();
  const auto calls = without_make_current(record_since(first));
  EXPECT_EQ(Lines(calls.begin(), calls.begin() + 2),
            (Lines{R"(alcGetString(null, 0x1012) = "Fake Device")", R"(alcOpenDevice("Fake Device") = dev1)"}));
  // The new device's probes, EFX first, then the version check on it.
  EXPECT_EQ(calls[2], "alcGetError(dev1) = 0x0");
  Lines probed;
  for (const std::string& call : calls)
    if (call.starts_with("alcIsExtensionPresent(dev1, ")) probed.push_back(call);
  EXPECT_EQ(probed, (Lines{R"(alcIsExtensionPresent(dev1, "ALC_EXT_EFX") = 1)",
                           R"(alcIsExtensionPresent(dev1, "ALC_EXT_disconnect") = 1)",
                           R"(alcIsExtensionPresent(dev1, "ALC_SOFT_device_clock") = 1)"}));
  EXPECT_EQ(Lines(calls.end() - 2, calls.end()),
            (Lines{"alcGetIntegerv(dev1, 0x1000, 1) = [1]", "alcGetIntegerv(dev1, 0x1001, 1) = [1]"}));
  const DeviceExtensions& extensions = device->extensions();
  EXPECT_EQ(extensions.efx.max_auxiliary_sends, 0x20003);
  EXPECT_EQ(extensions.disconnect.connected, 0x313);
  EXPECT_EQ(extensions.device_clock.device_latency, 0x1601);
  EXPECT_NE(extensions.device_clock.alcGetInteger64vSOFT, nullptr);
}

TEST_F(OutputDevice, WithoutADefaultNameTheDeviceIsOpenedWithNull) {
  fake_.configure("default_all_device=null");
  const AudioLibrary library = load();
  const std::size_t first = mark();
  const auto device = open_device(library);
  ASSERT_TRUE(device.has_value()) << device.error();
  EXPECT_EQ(without_make_current(record_since(first))[1], "alcOpenDevice(null) = dev1");
}

TEST_F(OutputDevice, ARefusedOpenIsInvalidDeviceWithoutReadingAnError) {
  fake_.configure("fail=alcOpenDevice:1:0xA004");
  const AudioLibrary library = load();
  const std::size_t first = mark();
  EXPECT_EQ(outcome(open_device(library)), "InvalidDevice");
  EXPECT_EQ(functions_of(without_make_current(record_since(first))), (Lines{"alcGetString", "alcOpenDevice"}));
  EXPECT_EQ(fake_.live_devices(), 0U);
}

TEST_F(OutputDevice, ADeviceBelowVersionOneOneIsClosedAgain) {
  for (const auto& [version, outcome_text] : {std::pair{"1.0", "UnsupportedVersion { major: 1, minor: 0 }"},
                                              {"2.0", "UnsupportedVersion { major: 2, minor: 0 }"},
                                              {"0.0", "UnsupportedVersion { major: 0, minor: 0 }"}}) {
    SCOPED_TRACE(version);
    fake_.reset();
    fake_.configure(std::string("device_version=") + version);
    const AudioLibrary library = load();
    EXPECT_EQ(outcome(open_device(library)), outcome_text);
    EXPECT_EQ(fake_.calls().back(), "alcCloseDevice(dev1) = 1");
    EXPECT_EQ(fake_.live_devices(), 0U);
  }
}

TEST_F(OutputDevice, TheLastHandleClosesTheDeviceThenLetsGoOfTheLibrary) {
  std::optional<PlaybackDevice> device;
  {
    const AudioLibrary library = load();
    device = *open_device(library);
    const PlaybackDevice copy = *device;
  }
  EXPECT_EQ(fake_.live_devices(), 1U);
  EXPECT_EQ(loader_spy::events(), Lines{"open " + fake_openal_path});  // the device holds the library
  device.reset();
  EXPECT_EQ(fake_.calls().back(), "alcCloseDevice(dev1) = 1");
  EXPECT_EQ(loader_spy::events(), (Lines{"open " + fake_openal_path, "close " + fake_openal_path}));
}

}  // namespace
