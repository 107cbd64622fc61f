#include "audio/context.hpp"

#include <gtest/gtest.h>

#include <mutex>
#include <sstream>
#include <thread>

#include "support/fake_audio.hpp"

namespace {

using ContextAndListener = FakeAudioTest;

/// The fake without ALC_EXT_thread_local_context: contexts are made current for the process.
constexpr const char* process_wide = "null_extensions=ALC_ENUMERATE_ALL_EXT ALC_SOFT_loopback";

TEST_F(ContextAndListener, ThreadLocalPathSetsTheThreadsContextWithoutTheProcessCall) {
  const AudioLibrary library = load();
  const AudioContext context = make_context(library);
  const std::size_t first = mark();
  {
    const ContextGuard guard = make_current(context, true);
    EXPECT_FALSE(guard.owns_lock());
  }
  { const ContextGuard guard = make_current(context, false); }
  EXPECT_EQ(record_since(first), (Lines{"alcSetThreadContext(ctx1) = 1", "alcSetThreadContext(null) = 1"}));
  for (const std::string& call : fake_.calls()) EXPECT_FALSE(call.starts_with("alcMakeContextCurrent")) << call;
}

TEST_F(ContextAndListener, ProcessWidePathHoldsTheLockAroundTheProcessCall) {
  fake_.configure(process_wide);
  const AudioLibrary library = load();
  const AudioContext context = make_context(library);
  const std::size_t first = mark();
  {
    const ContextGuard guard = make_current(context, true);
    EXPECT_TRUE(guard.owns_lock());
  }
  { const ContextGuard guard = make_current(context, false); }
  EXPECT_EQ(record_since(first), (Lines{"alcMakeContextCurrent(ctx1) = 1", "alcMakeContextCurrent(null) = 1"}));
}

TEST_F(ContextAndListener, AnUnresolvedThreadFunctionMeansTheProcessWidePath) {
  fake_.configure("fail=alcGetProcAddress@alcSetThreadContext:1:0");
  const AudioLibrary library = load();
  const AudioContext context = make_context(library);
  const ContextGuard guard = make_current(context, true);
  EXPECT_TRUE(guard.owns_lock());
  EXPECT_EQ(fake_.calls().back(), "alcMakeContextCurrent(ctx1) = 1");
}

TEST_F(ContextAndListener, GuardsOnDifferentThreadsHoldTheSameLock) {
  // What keeps two threads' groups of calls apart is that their guards lock one mutex; the fake
  // lines its callers up by a lock of its own, so calls that overlap could not show it.
  fake_.configure(process_wide);
  const AudioLibrary library = load();
  const AudioContext context = make_context(library);
  const std::mutex* here = nullptr;
  {
    const ContextGuard guard = make_current(context, true);
    here = guard.mutex();
  }
  const std::mutex* there = nullptr;
  std::thread([&] {
    const ContextGuard guard = make_current(context, true);
    there = guard.mutex();
  }).join();
  ASSERT_NE(here, nullptr);
  EXPECT_EQ(here, there);
}

TEST_F(ContextAndListener, NewContextIsCurrentWhenCreated) {
  const AudioLibrary library = load();
  const auto device = open_device(library);
  const std::size_t first = mark();
  const auto context = create_context(*device);
  ASSERT_TRUE(context.has_value()) << context.error();
  EXPECT_EQ(record_since(first), (Lines{"alcCreateContext(dev1, null) = ctx1", "alcSetThreadContext(ctx1) = 1"}));
}

TEST_F(ContextAndListener, AFailedCreationIsTheDevicesErrorOrNullError) {
  for (const auto& [code, expected] : {std::pair{"0", "NullError"}, {"0xA001", "InvalidDevice"}}) {
    SCOPED_TRACE(code);
    fake_.reset();
    fake_.configure(std::string("fail=alcCreateContext:1:") + code);
    const AudioLibrary library = load();
    const auto device = open_device(library);
    const std::size_t first = mark();
    EXPECT_EQ(outcome(create_context(*device)), expected);
    EXPECT_EQ(functions_of(without_make_current(record_since(first))), (Lines{"alcCreateContext", "alcGetError"}));
    EXPECT_EQ(fake_.live_contexts(), 0U);
    EXPECT_EQ(fake_.live_devices(), 1U);  // the device is left as it was
  }
}

TEST_F(ContextAndListener, ListenerSettersPassTheirValuesAndReadTheError) {
  const AudioLibrary library = load();
  const AudioContext context = make_context(library);
  const std::size_t first = mark();
  EXPECT_EQ(outcome(set_listener_position(context, {1.0F, -4.0F, 0.5F})), "ok");
  EXPECT_EQ(outcome(set_listener_velocity(context, {2.5F, 0.0F, 0.0F})), "ok");
  EXPECT_EQ(outcome(set_listener_orientation(context, {0.0F, 0.0F, 1.0F}, {0.0F, 1.0F, 0.0F})), "ok");
  EXPECT_EQ(without_make_current(record_since(first)),
            (Lines{"alListenerfv(0x1004, [1,-4,0.5])", "alGetError() = 0x0", "alListenerfv(0x1006, [2.5,0,0])",
                   "alGetError() = 0x0", "alListenerfv(0x100F, [0,0,1,0,1,0])", "alGetError() = 0x0"}));
  fake_.configure("fail=alListenerfv:1:0xA002");
  EXPECT_EQ(outcome(set_listener_velocity(context, {1.0F, 2.0F, 3.0F})), "InvalidEnum");
}

TEST_F(ContextAndListener, ReleaseClearsTheCurrentContextDestroysItThenClosesTheDevice) {
  for (const bool thread_local_path : {true, false}) {
    SCOPED_TRACE(thread_local_path);
    fake_.reset();
    if (!thread_local_path) fake_.configure(process_wide);
    loader_spy::clear_events();
    std::size_t first = 0;
    {
      const AudioContext context = make_context(load());  // the context holds the only device and library
      first = mark();
    }
    const std::string clear = thread_local_path ? "alcSetThreadContext(null) = 1" : "alcMakeContextCurrent(null) = 1";
    EXPECT_EQ(record_since(first), (Lines{clear, "alcDestroyContext(ctx1)", "alcCloseDevice(dev1) = 1"}));
    EXPECT_EQ(loader_spy::events(), (Lines{"open " + fake_openal_path, "close " + fake_openal_path}));
  }
}

TEST_F(ContextAndListener, OpenAudioPrintsTheDevicesAndPlacesTheListener) {
  fake_.configure(R"(all_devices=Fake Device\0Second\0\0)");
  std::ostringstream out;
  const auto context = open_audio(out, fake_names_, loader_spy::loader());
  ASSERT_TRUE(context.has_value()) << context.error();
  EXPECT_EQ(out.str(), "Found device: Fake Device\nFound device: Second\n");
  const EntryPoints& al = context->library().entry_points();
  std::array<ALfloat, 6> values{};
  const ContextGuard guard = make_current(*context, true);
  al.alGetListenerfv(AL_POSITION, values.data());
  EXPECT_EQ(values, (std::array<ALfloat, 6>{1.0F, 4.0F, 5.0F, 0, 0, 0}));
  al.alGetListenerfv(AL_VELOCITY, values.data());
  EXPECT_EQ(values, (std::array<ALfloat, 6>{2.5F, 0.0F, 0.0F, 0, 0, 0}));
  al.alGetListenerfv(AL_ORIENTATION, values.data());
  EXPECT_EQ(values, (std::array<ALfloat, 6>{0.0F, 0.0F, 1.0F, 0.0F, 1.0F, 0.0F}));
  // Only the context holds the device and the library now.
  EXPECT_EQ(loader_spy::events(), Lines{"open " + fake_openal_path});
}

TEST_F(ContextAndListener, OpenAudioReturnsAFailedCreationWithEverythingReleased) {
  fake_.configure("fail=alcCreateContext:1:0");
  std::ostringstream out;
  const auto context = open_audio(out, fake_names_, loader_spy::loader());
  EXPECT_EQ(outcome(context), "NullError");
  EXPECT_EQ(fake_.calls().back(), "alcCloseDevice(dev1) = 1");
  EXPECT_EQ(loader_spy::events(), (Lines{"open " + fake_openal_path, "close " + fake_openal_path}));
}

}  // namespace
