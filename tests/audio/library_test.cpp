#include "audio/library.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <string>

#include "audio/loader_posix.hpp"
#include "fatal.hpp"
#include "support/fake_audio.hpp"

namespace {

TEST(AudioLibrary, LoaderMessagesGiveTheirErrorNumber) {
  const struct {
    std::string message;
    LoaderStep step;
    std::int32_t code;
  } cases[] = {
      {"libopenal.dylib: cannot open shared object file: No such file or directory", LoaderStep::Open, ENOENT},
      {"/tmp/x/libopenal.so: cannot open shared object file: Permission denied", LoaderStep::Open, EACCES},
      {"/tmp/x/libopenal.so: invalid ELF header", LoaderStep::Open, ENOEXEC},
      {"/tmp/x/libopenal.so: undefined symbol: alcCaptureSamples", LoaderStep::Lookup, ENOSYS},
      {"", LoaderStep::Lookup, ENOSYS},
  };
  for (const auto& [message, step, code] : cases) {
    EXPECT_EQ(os_error_from_loader_message(message, step).code, code) << message;
  }
}

TEST(AudioLibrary, NamesBecomeThePathsTheyAreLookedForAt) {
  // A Mac's kind of search, shortened; DYLD_FRAMEWORK_PATH is not set. (Linux's is the next test's.)
  constexpr LibraryFolder libraries[]{{"DYLD_LIBRARY_PATH", ""}, {"HOME", "/lib"}, {"", "/usr/lib"}};
  constexpr LibraryFolder frameworks[]{{"DYLD_FRAMEWORK_PATH", ""}, {"", "/Library/Frameworks"}};
  const auto env = [](std::string_view variable) -> const char* {
    return variable == "DYLD_LIBRARY_PATH" ? "/a::lib:./b:/c" : variable == "HOME" ? "/h" : nullptr;
  };
  const std::pair<std::string, Lines> cases[] = {
      {"x.dylib", {"/a/x.dylib", "/c/x.dylib", "/h/lib/x.dylib", "/usr/lib/x.dylib"}},
      {"OpenAL.framework/OpenAL", {"/Library/Frameworks/OpenAL.framework/OpenAL"}},
      {"./OpenAL.framework/OpenAL", {}},
  };
  for (const auto& [name, paths] : cases) EXPECT_EQ(library_paths(name, {libraries, frameworks}, env), paths) << name;
}

using LibraryLoading = FakeAudioTest;

TEST_F(LibraryLoading, TheFirstNameToOpenWinsOrTheLastAttemptsErrorIsKept) {
  // Linux's search: only the last name opens, or none; the first fails otherwise than the last (/ is a
  // folder, /dev/null no library), so a kept error shows; the relative name is not looked for.
  const struct {
    std::map<std::string, std::string> targets;
    std::string result;
    Lines events;
  } cases[] = {
      {{{"libopenal.so", "/"}, {"OpenAL32.dll", fake_openal_path}}, "ok", {"open OpenAL32.dll"}},
      {{{"libopenal.so", "/"}, {"OpenAL.framework/OpenAL", fake_openal_path}, {"OpenAL32.dll", "/dev/null"}},
       R"(Io(Os { code: 8, kind: Other, message: "Exec format error" }))",
       {}},
      // A library without one entry point is closed again.
      {{{"libopenal.so", FAKE_OPENAL_MISSING_PATH}},
       R"(Io(Os { code: 38, kind: Unsupported, message: "Function not implemented" }))",
       {"open libopenal.so", "close libopenal.so"}},
  };
  for (const auto& [targets, result, events] : cases) {
    loader_spy::clear_events();
    loader_spy::redirect(targets);
    const auto library = load_audio_library(default_library_names, loader_spy::loader());
    loader_spy::redirect({});
    EXPECT_EQ(outcome(library), result);
    EXPECT_EQ(loader_spy::events(), events);
  }
}

TEST_F(LibraryLoading, AFailedOpenWithoutALoaderMessageStopsTheRunThere) {
  // The first name fails as usual, the second without a message; the fourth would open.
  loader_spy::redirect({{"soft_oal.dll", fake_openal_path}});
  loader_spy::fail_open_silently("libopenal.dylib");
  testing::internal::CaptureStderr();
  EXPECT_THROW(static_cast<void>(load_audio_library(default_library_names, loader_spy::loader())), FatalStop);
  const std::string report = testing::internal::GetCapturedStderr();
  loader_spy::fail_open_silently("");
  loader_spy::redirect({});
  EXPECT_TRUE(report.starts_with(fatal_report_lead + "opening a library failed without an error from the "
                                                     "loader: libopenal.dylib, at src/audio/library.cpp:"))
      << report;
  EXPECT_TRUE(loader_spy::events().empty());
}

using LibraryLoadingDeathTest = LibraryLoading;

TEST_F(LibraryLoadingDeathTest, AFailedCloseEndsTheProcessWithTheFatalStatus) {
  EXPECT_EXIT(
      {
        const AudioLibrary library = load();
        loader_spy::fail_close(true);
      },
      testing::ExitedWithCode(101),
      "^thread 'main' stopped: closing the audio library failed: no error from the loader, at "
      "src/audio/library.cpp:[0-9]+:[0-9]+\n$");
}

TEST_F(LibraryLoading, VersionIsCheckedWithTheNullDevice) {
  const struct {
    std::string version;
    std::string result;
  } cases[] = {
      {"1.1", "ok"},
      {"1.7", "ok"},
      {"0.0", "ok"},  // an implementation that leaves the numbers alone
      {"untouched", "ok"},
      {"1.0", "UnsupportedVersion { major: 1, minor: 0 }"},
      {"2.1", "UnsupportedVersion { major: 2, minor: 1 }"},
      {"0.1", "UnsupportedVersion { major: 0, minor: 1 }"},
  };
  for (const auto& [version, result] : cases) {
    SCOPED_TRACE(version);
    fake_.reset();
    fake_.configure("null_version=" + version);
    loader_spy::clear_events();
    EXPECT_EQ(outcome(load_audio_library(fake_names_, loader_spy::loader())), result);
    // A refused library is closed, since nothing holds it; an accepted one when its handle goes.
    EXPECT_EQ(loader_spy::events(), (Lines{"open " + fake_openal_path, "close " + fake_openal_path}));
  }
}

TEST_F(LibraryLoading, ProbesTheThreeLibraryExtensionsWithTheNullDevice) {
  const AudioLibrary library = load();
  const LibraryExtensions& extensions = library.extensions();
  EXPECT_TRUE(extensions.enumerate_all.present);
  EXPECT_EQ(extensions.enumerate_all.all_devices_specifier, 0x1013);
  EXPECT_EQ(extensions.enumerate_all.default_all_devices_specifier, 0x1012);
  EXPECT_TRUE(extensions.soft_loopback.present);
  EXPECT_EQ(extensions.soft_loopback.format_type_soft, 0x1991);
  EXPECT_NE(extensions.soft_loopback.alcRenderSamplesSOFT, nullptr);
  EXPECT_NE(extensions.thread_local_context.alcSetThreadContext, nullptr);
  EXPECT_NE(extensions.thread_local_context.alcGetThreadContext, nullptr);
  // Extension functions come from alcGetProcAddress only, never from the entry-point table.
  EXPECT_EQ(dlsym(fake_.handle(), "alcSetThreadContext"), nullptr);

  const auto calls = fake_.calls();
  const Lines enumerate_all(calls.begin(), calls.begin() + 7);
  EXPECT_EQ(enumerate_all,
            (Lines{"alcGetError(null) = 0x0", "alcIsExtensionPresent(null, \"ALC_ENUMERATE_ALL_EXT\") = 1",
                   "alcGetEnumValue(null, \"ALC_ALL_DEVICES_SPECIFIER\") = 0x1013", "alcGetError(null) = 0x0",
                   "alcGetEnumValue(null, \"ALC_DEFAULT_ALL_DEVICES_SPECIFIER\") = 0x1012", "alcGetError(null) = 0x0",
                   "alcGetError(null) = 0x0"}));
  // The version check reads no error.
  EXPECT_EQ(Lines(calls.end() - 2, calls.end()),
            (Lines{"alcGetIntegerv(null, 0x1000, 1) = [1]", "alcGetIntegerv(null, 0x1001, 1) = [1]"}));
}

TEST_F(LibraryLoading, ProbeOutcomes) {
  // Absent extension: nothing more is asked about it.
  fake_.configure("null_extensions=ALC_SOFT_loopback");
  {
    const AudioLibrary library = load();
    EXPECT_FALSE(library.extensions().enumerate_all.present);
    EXPECT_FALSE(library.extensions().thread_local_context.present);
    for (const std::string& call : fake_.calls()) EXPECT_FALSE(call.starts_with("alcGetProcAddress(null, \"alcSet"));
  }
  fake_.reset();
  // A 0 value leaves the constant absent, without an error read; a value with a pending error, or
  // an address with one, leaves it absent too. The extension stays present.
  fake_.configure(
      "error=alcGetEnumValue@ALC_ALL_DEVICES_SPECIFIER:1:0xA004;"
      "fail=alcGetEnumValue@ALC_DEFAULT_ALL_DEVICES_SPECIFIER:1:0;"
      "error=alcGetProcAddress@alcSetThreadContext:1:0xA004;"
      "fail=alcGetProcAddress@alcGetThreadContext:1:0");
  const AudioLibrary library = load();
  const EnumerateAllExtension& all = library.extensions().enumerate_all;
  EXPECT_TRUE(all.present);
  EXPECT_EQ(all.all_devices_specifier, std::nullopt);
  EXPECT_EQ(all.default_all_devices_specifier, std::nullopt);
  EXPECT_TRUE(library.extensions().thread_local_context.present);
  EXPECT_EQ(library.extensions().thread_local_context.alcSetThreadContext, nullptr);
  EXPECT_EQ(library.extensions().thread_local_context.alcGetThreadContext, nullptr);
  const auto calls = fake_.calls();
  const auto zero =
      std::find(calls.begin(), calls.end(), "alcGetEnumValue(null, \"ALC_DEFAULT_ALL_DEVICES_SPECIFIER\") = 0x0");
  ASSERT_NE(zero, calls.end());
  EXPECT_EQ(*(zero + 1), "alcGetError(null) = 0x0");  // the probe's own clearing read of the next extension
  EXPECT_EQ(*(zero + 2), "alcIsExtensionPresent(null, \"ALC_SOFT_loopback\") = 1");
}

TEST_F(LibraryLoading, UnresolvedEffectSlotNamesTakeTheirStandardValues) {
  // The fake knows no effect-slot names; a name without a standard value stays absent.
  fake_.configure("fail=alcGetEnumValue@ALC_EFX_MAJOR_VERSION:1:0");
  const auto device = open_device(load());
  ASSERT_TRUE(device.has_value());
  const EfxExtension& efx = device->extensions().efx;
  EXPECT_EQ(efx.effectslot_effect, 1);
  EXPECT_EQ(efx.effectslot_gain, 2);
  EXPECT_EQ(efx.effectslot_auxiliary_send_auto, 3);
  EXPECT_EQ(efx.max_auxiliary_sends, 0x20003);
  EXPECT_EQ(efx.efx_major_version, std::nullopt);
}

TEST_F(LibraryLoading, ErrorChecksReadOnceAndMapByLayer) {
  fake_.configure("error=alcGetIntegerv:2:0xA001");
  const AudioLibrary library = load();
  // The version check read no error, so its 0xA001 is still pending; it reads as ALC.
  EXPECT_EQ(outcome(check_alc_error(library, nullptr)), "InvalidDevice");
  EXPECT_EQ(outcome(check_alc_error(library, nullptr)), "ok");
  const AudioContext context = make_context(library);
  fake_.configure("error=alSourcePlay:1:0xA001");
  const ContextGuard guard = make_current(context, true);
  library.entry_points().alSourcePlay(1);
  EXPECT_EQ(outcome(check_al_error(library)), "InvalidName");
  EXPECT_EQ(outcome(check_al_error(library)), "ok");
}

TEST_F(LibraryLoading, EveryHandleCopyKeepsTheLibraryOpen) {
  std::optional<AudioLibrary> first(load());
  const AudioLibrary second = *first;
  first.reset();
  EXPECT_EQ(loader_spy::events(), Lines{"open " + fake_openal_path});
  std::optional<AudioLibrary> third(second);
  third.reset();
  EXPECT_EQ(loader_spy::events().size(), 1U);
}

}  // namespace
