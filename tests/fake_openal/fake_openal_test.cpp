// What the program's tests rely on the fake OpenAL library for without checking it: where errors go,
// which context is current, what rules hit and how names are checked.
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "fake_control.hpp"

namespace {

class FakeOpenAlTest : public testing::Test {
 protected:
  FakeOpenAlTest() { alcMakeContextCurrent(context_); }

  FakeOpenAl fake_{FAKE_OPENAL_PATH};
  ALCdevice* device_ = alcOpenDevice(nullptr);
  ALCcontext* context_ = alcCreateContext(device_, nullptr);
};

TEST_F(FakeOpenAlTest, ErrorsStayWithTheirDeviceOrContextUntilRead) {
  ALCint value = 0;
  alcGetIntegerv(device_, ALC_MAJOR_VERSION, 0, &value);
  alcGetIntegerv(nullptr, ALC_MAJOR_VERSION, 0, &value);
  alcGetIntegerv(nullptr, ALC_CONNECTED, 1, &value);  // asks for a device: replaces the null device's error
  EXPECT_EQ(alcGetError(device_), ALC_INVALID_VALUE);
  EXPECT_EQ(alcGetError(nullptr), ALC_INVALID_DEVICE);
  EXPECT_EQ(alcGetError(nullptr), ALC_NO_ERROR);
  alSourcePlay(99);  // the first AL error stays until read
  alGenSources(-1, nullptr);
  EXPECT_EQ(alGetError(), AL_INVALID_NAME);
  EXPECT_EQ(alGetError(), AL_NO_ERROR);
  ASSERT_EQ(alcCloseDevice(device_), ALC_TRUE);  // then stale
  EXPECT_EQ(alcGetError(device_), ALC_INVALID_DEVICE);
}

TEST_F(FakeOpenAlTest, AThreadsOwnContextWinsInThatThreadOnly) {
  auto* set_thread_context =
      reinterpret_cast<PFNALCSETTHREADCONTEXTPROC>(alcGetProcAddress(nullptr, "alcSetThreadContext"));
  ASSERT_EQ(set_thread_context(alcCreateContext(device_, nullptr)), ALC_TRUE);
  alGenSources(-1, nullptr);
  std::thread([] { EXPECT_EQ(alGetError(), AL_NO_ERROR); }).join();
  alcMakeContextCurrent(context_);  // drops this thread's own context, error and all
  EXPECT_EQ(alGetError(), AL_NO_ERROR);
  alcDestroyContext(context_);
  EXPECT_EQ(alGetError(), AL_INVALID_OPERATION);  // no context is current once it is destroyed
}

TEST_F(FakeOpenAlTest, RulesCountTheirOwnCallsAndLeaveTheirCodes) {
  fake_.configure(
      "fail=alGenSources:2:0xA005:always; error=alListenerfv@0x1004:1:0xA003; disconnect=alListenerfv:2;"
      "fail=alcGetError:1:0xA002; fail=alcCloseDevice:1:0xA001");
  ALuint names[3] = {};
  for (ALuint& name : names) alGenSources(1, &name);
  EXPECT_EQ(alGetError(), AL_OUT_OF_MEMORY);
  EXPECT_EQ(names[2], 0U) << "a failing call makes no names";
  const ALfloat zeros[3] = {};
  alListenerfv(AL_VELOCITY, zeros);  // not the argument the error= rule counts
  EXPECT_EQ(alGetError(), AL_NO_ERROR);
  alListenerfv(AL_POSITION, zeros);  // the second call of all disconnects
  EXPECT_EQ(alGetError(), AL_INVALID_VALUE);
  ALCint connected = -1;
  alcGetIntegerv(device_, ALC_CONNECTED, 1, &connected);
  EXPECT_EQ(connected, ALC_FALSE);
  alcGetIntegerv(device_, ALC_MAJOR_VERSION, 0, &connected);  // left pending by the failing read
  EXPECT_EQ(alcGetError(device_), ALC_INVALID_CONTEXT);
  EXPECT_EQ(alcGetError(device_), ALC_INVALID_VALUE);
  EXPECT_EQ(alcCloseDevice(device_), ALC_FALSE);  // the device goes all the same
  EXPECT_EQ(fake_.live_devices(), 0U);
  EXPECT_EQ(alcGetError(nullptr), ALC_INVALID_DEVICE);
}

TEST_F(FakeOpenAlTest, NamesAreCheckedForKindContextAndAttachment) {
  ALuint buffers[2] = {};
  alGenBuffers(2, buffers);
  ALuint source = 0;
  alGenSources(1, &source);
  alSourcei(buffers[1], AL_BUFFER, static_cast<ALint>(buffers[0]));  // a buffer is not a source
  EXPECT_EQ(alGetError(), AL_INVALID_NAME);
  alSourcei(source, AL_BUFFER, static_cast<ALint>(buffers[0]));
  alDeleteBuffers(2, buffers);  // refused whole: one is attached
  EXPECT_EQ(alGetError(), AL_INVALID_OPERATION);
  alcMakeContextCurrent(alcCreateContext(device_, nullptr));
  alDeleteSources(1, &source);  // another context's name
  EXPECT_EQ(alGetError(), AL_INVALID_NAME);
  alcDestroyContext(context_);  // what was never released stays counted
  EXPECT_EQ(fake_.live_sources(), 1U);
  EXPECT_EQ(fake_.live_buffers(), 2U);
}

TEST_F(FakeOpenAlTest, BadConfigurationIsRejectedWhole) {
  for (const char* bad : {"colour=red", "fail=alcOpenDevic:1:0", "fail=alcOpenDevice:0:0", "fail=alcOpenDevice:1",
                          "devices=a\\q", "null_version=1", "max_aux_sends=4;max_aux_sends=x"}) {
    EXPECT_THROW(fake_.configure(bad), std::runtime_error) << bad;
  }
  ALCint sends = 0;
  alcGetIntegerv(device_, ALC_MAX_AUXILIARY_SENDS, 1, &sends);
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
