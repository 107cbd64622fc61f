// Checks of the fake OpenAL library itself: its exports, the behaviour the program's tests lean
// on (errors, thread contexts, injected failures) and the exact record format.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "fake_control.hpp"

namespace {

constexpr const char* kCoreEntryPoints[] = {
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
};

constexpr const char* kExtensionFunctions[] = {
    "alcSetThreadContext", "alcGetThreadContext", "alcLoopbackOpenDeviceSOFT",
    "alcIsRenderFormatSupportedSOFT", "alcRenderSamplesSOFT",
};

template <typename Function>
Function resolve(void* library, const char* name) {
  auto function = reinterpret_cast<Function>(dlsym(library, name));
  if (function == nullptr) throw std::runtime_error(std::string("missing ") + name);
  return function;
}

// The entry points these tests call, resolved from the fake as the program resolves them.
#define FAKE_API(name) decltype(&::name) name = resolve<decltype(&::name)>(library, #name)
struct Api {
  explicit Api(void* handle) : library(handle) {}
  void* library;
  FAKE_API(alcOpenDevice);
  FAKE_API(alcCloseDevice);
  FAKE_API(alcCreateContext);
  FAKE_API(alcDestroyContext);
  FAKE_API(alcMakeContextCurrent);
  FAKE_API(alcGetCurrentContext);
  FAKE_API(alcGetError);
  FAKE_API(alcGetString);
  FAKE_API(alcGetIntegerv);
  FAKE_API(alcIsExtensionPresent);
  FAKE_API(alcGetEnumValue);
  FAKE_API(alcGetProcAddress);
  FAKE_API(alGetError);
  FAKE_API(alListenerfv);
  FAKE_API(alGetListenerfv);
  FAKE_API(alGenSources);
  FAKE_API(alDeleteSources);
  FAKE_API(alGenBuffers);
  FAKE_API(alDeleteBuffers);
  FAKE_API(alBufferData);
  FAKE_API(alGetBufferi);
  FAKE_API(alSourcei);
  FAKE_API(alGetSourcei);
  FAKE_API(alSourcePlay);
};
#undef FAKE_API

class FakeOpenAlTest : public testing::Test {
 protected:
  FakeOpenAl fake{FAKE_OPENAL_PATH};
  Api al{fake.handle()};

  // Opens the default device and makes a fresh context current.
  ALCcontext* open_session() {
    device = al.alcOpenDevice(nullptr);
    ALCcontext* context = al.alcCreateContext(device, nullptr);
    al.alcMakeContextCurrent(context);
    return context;
  }

  ALCdevice* device = nullptr;
};

TEST(FakeOpenAlExports, FullLibraryHasEveryCoreEntryPointAndTheVariantLacksOne) {
  void* full = dlopen(FAKE_OPENAL_PATH, RTLD_NOW | RTLD_LOCAL);
  void* missing = dlopen(FAKE_OPENAL_MISSING_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(full, nullptr) << dlerror();
  ASSERT_NE(missing, nullptr) << dlerror();
  for (const char* name : kCoreEntryPoints) {
    EXPECT_NE(dlsym(full, name), nullptr) << name;
    bool expected_in_variant = std::string(name) != "alcCaptureSamples";
    EXPECT_EQ(dlsym(missing, name) != nullptr, expected_in_variant) << name;
  }
  for (const char* name : kExtensionFunctions) {
    EXPECT_EQ(dlsym(full, name), nullptr) << name << " must only come from alcGetProcAddress";
  }
  dlclose(missing);
  dlclose(full);
}

TEST_F(FakeOpenAlTest, ThreadContextWinsOverProcessContextOnlyInItsThread) {
  auto set_thread_context = reinterpret_cast<PFNALCSETTHREADCONTEXTPROC>(
      al.alcGetProcAddress(nullptr, "alcSetThreadContext"));
  ASSERT_NE(set_thread_context, nullptr);
  EXPECT_EQ(al.alcGetProcAddress(nullptr, "alcNoSuchFunction"), nullptr);

  ALCcontext* process = open_session();
  ALCcontext* own = al.alcCreateContext(device, nullptr);
  ASSERT_EQ(set_thread_context(own), ALC_TRUE);
  EXPECT_EQ(al.alcGetCurrentContext(), own);

  // An AL error raised here lands on the thread's context, not on the process-wide one.
  al.alGenSources(-1, nullptr);
  std::thread other([&] {
    EXPECT_EQ(al.alcGetCurrentContext(), process);
    EXPECT_EQ(al.alGetError(), AL_NO_ERROR);
  });
  other.join();
  EXPECT_EQ(al.alGetError(), AL_INVALID_VALUE);

  // Making a context current drops the calling thread's own context.
  al.alcMakeContextCurrent(process);
  EXPECT_EQ(al.alcGetCurrentContext(), process);
  // A destroyed context is no longer current.
  al.alcDestroyContext(process);
  EXPECT_EQ(al.alcGetCurrentContext(), nullptr);
  EXPECT_EQ(al.alGetError(), AL_INVALID_OPERATION);
}

TEST_F(FakeOpenAlTest, ErrorsAreKeptPerDeviceAndContextAndReadOnce) {
  open_session();
  EXPECT_EQ(al.alcOpenDevice("No Such Device"), nullptr);
  ALCint untouched = -7;
  al.alcGetIntegerv(device, 0x7777, 1, &untouched);
  EXPECT_EQ(untouched, -7);
  EXPECT_EQ(al.alcGetError(device), ALC_INVALID_ENUM);
  EXPECT_EQ(al.alcGetError(device), ALC_NO_ERROR);
  EXPECT_EQ(al.alcGetError(nullptr), ALC_INVALID_VALUE);
  EXPECT_EQ(al.alcGetError(nullptr), ALC_NO_ERROR);

  // The first AL error stays until read.
  al.alSourcePlay(99);
  al.alGenSources(-1, nullptr);
  EXPECT_EQ(al.alGetError(), AL_INVALID_NAME);
  EXPECT_EQ(al.alGetError(), AL_NO_ERROR);

  // A closed device is no longer known.
  ASSERT_EQ(al.alcCloseDevice(device), ALC_TRUE);
  EXPECT_EQ(al.alcGetError(device), ALC_INVALID_DEVICE);
  EXPECT_EQ(al.alcCloseDevice(device), ALC_FALSE);
  EXPECT_EQ(al.alcGetError(nullptr), ALC_INVALID_DEVICE);
}

TEST_F(FakeOpenAlTest, FailRulesCountMatchingCallsAndLeaveTheirCode) {
  fake.configure("fail=alcOpenDevice:2:0xA004; fail=alGenSources:1:0xA005:always");
  ALCdevice* first = al.alcOpenDevice(nullptr);
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(al.alcOpenDevice(nullptr), nullptr);
  EXPECT_EQ(al.alcGetError(nullptr), ALC_INVALID_VALUE);
  ALCdevice* third = al.alcOpenDevice(nullptr);
  EXPECT_NE(third, nullptr);

  al.alcMakeContextCurrent(al.alcCreateContext(first, nullptr));
  for (int attempt = 0; attempt < 2; ++attempt) {
    ALuint name = 12345;
    al.alGenSources(1, &name);
    EXPECT_EQ(name, 12345u) << "a failing alGenSources leaves the array alone";
    EXPECT_EQ(al.alGetError(), AL_OUT_OF_MEMORY);
  }
  EXPECT_EQ(fake.live_sources(), 0u);

  // A failing close still releases the device.
  fake.configure("fail=alcCloseDevice:1:0xA001");
  EXPECT_EQ(al.alcCloseDevice(third), ALC_FALSE);
  EXPECT_EQ(al.alcGetError(nullptr), ALC_INVALID_DEVICE);
  EXPECT_EQ(fake.live_devices(), 1u);
}

TEST_F(FakeOpenAlTest, RulesWithAnArgumentOnlyCountCallsWithThatArgument) {
  device = al.alcOpenDevice(nullptr);
  fake.configure(
      "fail=alcIsExtensionPresent@ALC_EXT_EFX:1:0\n"
      "error=alcGetEnumValue@ALC_MAX_AUXILIARY_SENDS:2:0xA004:always\n"
      "fail=alcGetString@0x1013:1:0");
  EXPECT_EQ(al.alcIsExtensionPresent(device, "ALC_ENUMERATE_ALL_EXT"), ALC_TRUE);
  EXPECT_EQ(al.alcIsExtensionPresent(device, "ALC_EXT_EFX"), ALC_FALSE);
  EXPECT_EQ(al.alcIsExtensionPresent(device, "ALC_EXT_EFX"), ALC_TRUE);
  EXPECT_EQ(al.alcGetError(device), ALC_NO_ERROR) << "code 0 leaves no error";

  EXPECT_EQ(al.alcGetEnumValue(device, "ALC_EFX_MAJOR_VERSION"), 0x20001);
  for (int call = 1; call <= 3; ++call) {
    EXPECT_EQ(al.alcGetEnumValue(device, "ALC_MAX_AUXILIARY_SENDS"), 0x20003);
    EXPECT_EQ(al.alcGetError(device), call == 1 ? ALC_NO_ERROR : ALC_INVALID_VALUE) << call;
  }

  EXPECT_EQ(al.alcGetString(nullptr, ALC_ALL_DEVICES_SPECIFIER), nullptr);
  EXPECT_STREQ(al.alcGetString(nullptr, ALC_DEVICE_SPECIFIER), "Fake Device");
}

TEST_F(FakeOpenAlTest, RecordShowsEachCallWithItsArgumentsAndResult) {
  fake.configure(R"(devices=Speakers\0Caf\xE9 "1"\0\0; null_version=untouched)");
  const ALCchar* list = al.alcGetString(nullptr, ALC_DEVICE_SPECIFIER);
  ASSERT_NE(list, nullptr);
  constexpr char kList[] = "Speakers\0Caf\xE9 \"1\"\0";  // the literal adds the final NUL
  EXPECT_EQ(std::string(list, sizeof kList), std::string(kList, sizeof kList));
  ALCint version = -1;
  al.alcGetIntegerv(nullptr, ALC_MAJOR_VERSION, 1, &version);
  EXPECT_EQ(version, -1);

  device = al.alcOpenDevice("Speakers");
  const ALCint attributes[] = {ALC_FREQUENCY, 44100, 0};
  ALCcontext* context = al.alcCreateContext(device, attributes);
  al.alcMakeContextCurrent(context);
  const ALfloat orientation[] = {0.0f, 0.0f, -1.0f, 0.0f, 1.0f, 0.5f};
  al.alListenerfv(AL_ORIENTATION, orientation);
  ALuint source = 0;
  ALuint buffer = 0;
  al.alGenSources(1, &source);
  al.alGenBuffers(1, &buffer);
  al.alBufferData(buffer, AL_FORMAT_MONO16, "foobar", 6, 44100);
  al.alSourcei(source, AL_BUFFER, static_cast<ALint>(buffer));
  al.alSourcePlay(source);
  al.alDeleteBuffers(1, &buffer);
  al.alGetError();
  al.alDeleteSources(1, &source);
  al.alDeleteBuffers(1, &buffer);
  al.alcMakeContextCurrent(nullptr);
  al.alcDestroyContext(context);
  al.alcCloseDevice(device);
  al.alcGetError(device);

  std::vector<std::string> expected = {
      R"(alcGetString(null, 0x1005) = "Speakers\x00Caf\xE9 \x221\x22\x00\x00")",
      "alcGetIntegerv(null, 0x1000, 1) = []",
      R"(alcOpenDevice("Speakers") = dev1)",
      "alcCreateContext(dev1, [0x1007,44100,0]) = ctx1",
      "alcMakeContextCurrent(ctx1) = 1",
      "alListenerfv(0x100F, [0,0,-1,0,1,0.5])",
      "alGenSources(1, [1])",
      "alGenBuffers(1, [2])",
      "alBufferData(2, 0x1101, size=6, freq=44100, fnv=85944171f73967e8)",
      "alSourcei(1, 0x1009, 2)",
      "alSourcePlay(1)",
      "alDeleteBuffers(1, [2])",
      "alGetError() = 0xA004",
      "alDeleteSources(1, [1])",
      "alDeleteBuffers(1, [2])",
      "alcMakeContextCurrent(null) = 1",
      "alcDestroyContext(ctx1)",
      "alcCloseDevice(dev1) = 1",
      "alcGetError(dev1) = 0xA001",
  };
  EXPECT_EQ(fake.calls(), expected);
  EXPECT_EQ(fake.call_names().front(), "alcGetString");
  EXPECT_EQ(fake.live_buffers() + fake.live_sources() + fake.live_contexts() + fake.live_devices(),
            0u);
}

TEST_F(FakeOpenAlTest, SourcesAndBuffersBehaveLikeARealImplementation) {
  ALCcontext* context = open_session();
  ALuint names[2] = {};
  al.alGenBuffers(2, names);
  al.alBufferData(names[0], AL_FORMAT_STEREO16, "abcdefgh", 8, 22050);
  ALint value = 0;
  al.alGetBufferi(names[0], AL_FREQUENCY, &value);
  EXPECT_EQ(value, 22050);
  al.alGetBufferi(names[0], AL_CHANNELS, &value);
  EXPECT_EQ(value, 2);
  al.alGetBufferi(names[0], AL_BITS, &value);
  EXPECT_EQ(value, 16);
  al.alGetBufferi(names[0], AL_SIZE, &value);
  EXPECT_EQ(value, 8);
  // A size that is not whole frames is refused and changes nothing.
  al.alBufferData(names[0], AL_FORMAT_STEREO16, "abcdef", 6, 22050);
  EXPECT_EQ(al.alGetError(), AL_INVALID_VALUE);
  al.alGetBufferi(names[0], AL_SIZE, &value);
  EXPECT_EQ(value, 8);

  // A buffer name is not a source name.
  al.alSourcei(names[1], AL_BUFFER, static_cast<ALint>(names[0]));
  EXPECT_EQ(al.alGetError(), AL_INVALID_NAME);

  ALuint source = 0;
  al.alGenSources(1, &source);
  al.alSourcei(source, AL_BUFFER, static_cast<ALint>(names[0]));
  al.alSourcePlay(source);
  al.alGetSourcei(source, AL_SOURCE_STATE, &value);
  EXPECT_EQ(value, AL_PLAYING);
  al.alGetSourcei(source, AL_SOURCE_STATE, &value);
  EXPECT_EQ(value, AL_STOPPED);

  const ALfloat position[] = {1.0f, 4.0f, 5.0f};
  al.alListenerfv(AL_POSITION, position);
  ALfloat read_back[3] = {};
  al.alGetListenerfv(AL_POSITION, read_back);
  EXPECT_EQ(read_back[1], 4.0f);
  const ALfloat not_finite[] = {1.0f, std::numeric_limits<ALfloat>::quiet_NaN(), 5.0f};
  al.alListenerfv(AL_POSITION, not_finite);
  EXPECT_EQ(al.alGetError(), AL_INVALID_VALUE);

  // Whatever the program forgets to release stays counted after its context is gone.
  al.alcDestroyContext(context);
  EXPECT_EQ(fake.live_contexts(), 0u);
  EXPECT_EQ(fake.live_sources(), 1u);
  EXPECT_EQ(fake.live_buffers(), 2u);
}

TEST_F(FakeOpenAlTest, BadConfigurationIsRejectedWhole) {
  for (const char* bad : {"colour=red", "fail=alcOpenDevic:1:0", "fail=alcOpenDevice:0:0",
                          "fail=alcOpenDevice:1", "devices=a\\q", "null_version=1",
                          "max_aux_sends=2;playing_polls=-1"}) {
    EXPECT_THROW(fake.configure(bad), std::runtime_error) << bad;
  }
  device = al.alcOpenDevice(nullptr);
  ALCint sends = 0;
  al.alcGetIntegerv(device, 0x20003, 1, &sends);
  EXPECT_EQ(sends, 2);
  fake.configure("max_aux_sends=-3");
  al.alcGetIntegerv(device, 0x20003, 1, &sends);
  EXPECT_EQ(sends, -3);
}

TEST(FakeOpenAlDeathTest, EnvironmentConfiguresAndLogsAFreshlyLoadedLibrary) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string log_path = testing::TempDir() + "fake_openal_test_log.txt";
  std::remove(log_path.c_str());
  // The death-test child is a fresh process, so the library is loaded, and configured, there.
  EXPECT_EXIT(
      {
        setenv("FAKE_OPENAL_LOG", log_path.c_str(), 1);
        setenv("FAKE_OPENAL_CONFIG", "devices=Speakers\\0\\0;fail=alcOpenDevice:1:0xA004", 1);
        void* library = dlopen(FAKE_OPENAL_PATH, RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) _exit(90);
        auto open = reinterpret_cast<LPALCOPENDEVICE>(dlsym(library, "alcOpenDevice"));
        open("Speakers");
        open("Speakers");
        _exit(3);
      },
      testing::ExitedWithCode(3), "");
  std::ifstream log(log_path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(log, line);) lines.push_back(line);
  EXPECT_EQ(lines, (std::vector<std::string>{R"(alcOpenDevice("Speakers") = null)",
                                             R"(alcOpenDevice("Speakers") = dev1)"}));

  EXPECT_DEATH(
      {
        setenv("FAKE_OPENAL_CONFIG", "devcies=Speakers", 1);
        dlopen(FAKE_OPENAL_PATH, RTLD_NOW | RTLD_LOCAL);
      },
      "bad FAKE_OPENAL_CONFIG entry: devcies");
}

}  // namespace
