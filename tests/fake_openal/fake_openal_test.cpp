// Checks of the fake OpenAL library's own contract where the program's tests do not reach it:
// error placement, stale handles, injected failures, sources and buffers, record forms and bad
// configuration. The test links the fake directly; FakeOpenAl opens that same loaded instance.
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "fake_control.hpp"

namespace {

using Lines = std::vector<std::string>;

class FakeOpenAlTest : public testing::Test {
 protected:
  // Opens the default device and makes a fresh context current.
  ALCcontext* open_session() {
    device = alcOpenDevice(nullptr);
    ALCcontext* context = alcCreateContext(device, nullptr);
    alcMakeContextCurrent(context);
    return context;
  }

  FakeOpenAl fake{FAKE_OPENAL_PATH};
  ALCdevice* device = nullptr;
};

TEST_F(FakeOpenAlTest, ThreadContextWinsOverProcessContextOnlyInItsThread) {
  auto* set_thread_context =
      reinterpret_cast<PFNALCSETTHREADCONTEXTPROC>(alcGetProcAddress(nullptr, "alcSetThreadContext"));
  ASSERT_NE(set_thread_context, nullptr);
  ALCcontext* process = open_session();
  ALCcontext* own = alcCreateContext(device, nullptr);
  ASSERT_EQ(set_thread_context(own), ALC_TRUE);
  EXPECT_EQ(alcGetCurrentContext(), own);

  // An AL error raised here lands on the thread's context, not on the process-wide one.
  alGenSources(-1, nullptr);
  std::thread other([&] {
    EXPECT_EQ(alcGetCurrentContext(), process);
    EXPECT_EQ(alGetError(), AL_NO_ERROR);
  });
  other.join();
  EXPECT_EQ(alGetError(), AL_INVALID_VALUE);

  // Making a context current drops the calling thread's own; a destroyed context is not current.
  alcMakeContextCurrent(process);
  EXPECT_EQ(alcGetCurrentContext(), process);
  alcDestroyContext(process);
  EXPECT_EQ(alcGetCurrentContext(), nullptr);
  EXPECT_EQ(alGetError(), AL_INVALID_OPERATION);
  EXPECT_EQ(set_thread_context(process), ALC_FALSE);
  EXPECT_EQ(alcGetError(nullptr), ALC_INVALID_CONTEXT);
}

TEST_F(FakeOpenAlTest, ErrorsAreKeptPerDeviceAndContextAndReadOnce) {
  open_session();
  EXPECT_EQ(alcOpenDevice("No Such Device"), nullptr);
  ALCint untouched = -7;
  alcGetIntegerv(device, 0x7777, 1, &untouched);
  EXPECT_EQ(untouched, -7);
  alcGetIntegerv(nullptr, ALC_MAX_AUXILIARY_SENDS, 1, &untouched);  // asks for a device
  EXPECT_EQ(untouched, -7);
  EXPECT_EQ(alcGetError(device), ALC_INVALID_ENUM);
  EXPECT_EQ(alcGetError(device), ALC_NO_ERROR);
  EXPECT_EQ(alcGetError(nullptr), ALC_INVALID_DEVICE);  // the later error replaced the first
  EXPECT_EQ(alcGetError(nullptr), ALC_NO_ERROR);

  // The first AL error stays until read.
  alSourcePlay(99);
  alGenSources(-1, nullptr);
  EXPECT_EQ(alGetError(), AL_INVALID_NAME);
  EXPECT_EQ(alGetError(), AL_NO_ERROR);

  // A closed device is no longer known.
  ASSERT_EQ(alcCloseDevice(device), ALC_TRUE);
  EXPECT_EQ(alcGetError(device), ALC_INVALID_DEVICE);
  EXPECT_EQ(alcCloseDevice(device), ALC_FALSE);
  EXPECT_EQ(alcGetError(nullptr), ALC_INVALID_DEVICE);
}

TEST_F(FakeOpenAlTest, FailRulesDoNothingAndLeaveTheirCode) {
  fake.configure("fail=alcOpenDevice:2:0xA004; fail=alGenSources:1:0xA005:always");
  ALCdevice* first = alcOpenDevice(nullptr);
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(alcOpenDevice(nullptr), nullptr);
  EXPECT_EQ(alcGetError(nullptr), ALC_INVALID_VALUE);
  ALCdevice* third = alcOpenDevice(nullptr);
  EXPECT_NE(third, nullptr);

  alcMakeContextCurrent(alcCreateContext(first, nullptr));
  for (int attempt = 0; attempt < 2; ++attempt) {
    ALuint name = 12345;
    alGenSources(1, &name);
    EXPECT_EQ(name, 12345U) << "a failing alGenSources leaves the array alone";
    EXPECT_EQ(alGetError(), AL_OUT_OF_MEMORY);
  }
  EXPECT_EQ(fake.live_sources(), 0U);

  // A failing error read returns the code and leaves the pending error.
  alcGetIntegerv(first, ALC_MAJOR_VERSION, 1, nullptr);
  fake.configure("fail=alcGetError:1:0xA002");
  EXPECT_EQ(alcGetError(first), ALC_INVALID_CONTEXT);
  EXPECT_EQ(alcGetError(first), ALC_INVALID_VALUE);

  // A failing close still releases the device; its code goes to the null device.
  fake.configure("fail=alcCloseDevice:1:0xA001");
  EXPECT_EQ(alcCloseDevice(third), ALC_FALSE);
  EXPECT_EQ(alcGetError(nullptr), ALC_INVALID_DEVICE);
  EXPECT_EQ(fake.live_devices(), 1U);
}

TEST_F(FakeOpenAlTest, SourcesAndBuffersBehaveLikeARealImplementation) {
  ALCcontext* context = open_session();
  ALuint names[2] = {};
  alGenBuffers(2, names);
  alBufferData(names[0], AL_FORMAT_STEREO16, "abcdefgh", 8, 22050);
  EXPECT_EQ(alGetError(), AL_NO_ERROR);
  alBufferData(names[0], AL_FORMAT_STEREO16, "abcdef", 6, 22050);  // not whole frames
  EXPECT_EQ(alGetError(), AL_INVALID_VALUE);
  alBufferData(names[0], 0x1234, "ab", 2, 22050);
  EXPECT_EQ(alGetError(), AL_INVALID_ENUM);

  // A buffer name is not a source name.
  alSourcei(names[1], AL_BUFFER, static_cast<ALint>(names[0]));
  EXPECT_EQ(alGetError(), AL_INVALID_NAME);

  // An attached buffer can be neither refilled nor deleted, and nothing of a refused delete goes.
  ALuint source = 0;
  alGenSources(1, &source);
  alSourcei(source, AL_BUFFER, static_cast<ALint>(names[0]));
  alBufferData(names[0], AL_FORMAT_MONO8, "a", 1, 22050);
  EXPECT_EQ(alGetError(), AL_INVALID_OPERATION);
  alDeleteBuffers(2, names);
  EXPECT_EQ(alGetError(), AL_INVALID_OPERATION);
  EXPECT_EQ(fake.live_buffers(), 2U);

  const ALfloat not_finite[] = {1.0F, std::numeric_limits<ALfloat>::quiet_NaN(), 5.0F};
  alListenerfv(AL_POSITION, not_finite);
  EXPECT_EQ(alGetError(), AL_INVALID_VALUE);
  ALfloat position[3] = {9.0F, 9.0F, 9.0F};
  alGetListenerfv(AL_POSITION, position);
  EXPECT_EQ(position[1], 0.0F);

  // Whatever the caller forgets to release stays counted after its context is gone.
  alcDestroyContext(context);
  EXPECT_EQ(fake.live_contexts(), 0U);
  EXPECT_EQ(fake.live_sources(), 1U);
  EXPECT_EQ(fake.live_buffers(), 2U);
}

TEST_F(FakeOpenAlTest, RecordFormsOfArgumentsOutputsAndStubs) {
  fake.configure(R"(devices=Speakers\0Caf\xE9 "1"\0\0; null_version=untouched)");
  alcGetString(nullptr, ALC_DEVICE_SPECIFIER);
  ALCint version = -1;
  alcGetIntegerv(nullptr, ALC_MAJOR_VERSION, 1, &version);
  device = alcOpenDevice("Speakers");
  const ALCint attributes[] = {ALC_FREQUENCY, 44100, 0};
  alcMakeContextCurrent(alcCreateContext(device, attributes));
  ALfloat gain = 0.0F;
  alGetListenerfv(AL_GAIN, &gain);
  const ALfloat direction[] = {0.5F, -1.0F, 1e30F};
  alSourcefv(7, AL_DIRECTION, direction);
  ALint state = -1;
  alGetSourcei(7, AL_SOURCE_STATE, &state);
  EXPECT_EQ(state, -1);
  alGetString(AL_VERSION);
  alcGetString(reinterpret_cast<ALCdevice*>(&version), ALC_EXTENSIONS);

  EXPECT_EQ(fake.calls(), (Lines{
                              R"(alcGetString(null, 0x1005) = "Speakers\x00Caf\xE9 \x221\x22\x00\x00")",
                              "alcGetIntegerv(null, 0x1000, 1) = []",
                              R"(alcOpenDevice("Speakers") = dev1)",
                              "alcCreateContext(dev1, [0x1007,44100,0]) = ctx1",
                              "alcMakeContextCurrent(ctx1) = 1",
                              "alGetListenerfv(0x100A) = [1]",
                              "alSourcefv(7, 0x1005, [0.5,-1,1e+30])",
                              "alGetSourcei(7, 0x1010) = []",
                              "alGetString(0xB002) = null",
                              "alcGetString(dev?, 0x1006) = null",
                          }));
}

TEST_F(FakeOpenAlTest, BadConfigurationIsRejectedWhole) {
  for (const char* bad : {"colour=red", "fail=alcOpenDevic:1:0", "fail=alcOpenDevice:0:0", "fail=alcOpenDevice:1",
                          "devices=a\\q", "null_version=1", "max_aux_sends=4;max_aux_sends=x"}) {
    EXPECT_THROW(fake.configure(bad), std::runtime_error) << bad;
  }
  device = alcOpenDevice(nullptr);
  ALCint sends = 0;
  alcGetIntegerv(device, ALC_MAX_AUXILIARY_SENDS, 1, &sends);
  EXPECT_EQ(sends, 2);
}

TEST(FakeOpenAlDeathTest, ABadEnvironmentConfigurationStopsTheProcessAsTheLibraryLoads) {
  // The threadsafe style runs the test in a fresh process, which loads the fake as it starts.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ASSERT_EQ(setenv("FAKE_OPENAL_CONFIG", "devcies=Speakers", 1), 0);
  EXPECT_DEATH({}, "bad FAKE_OPENAL_CONFIG entry: devcies");
  ASSERT_EQ(unsetenv("FAKE_OPENAL_CONFIG"), 0);
}

}  // namespace
