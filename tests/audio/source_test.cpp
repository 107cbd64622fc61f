#include "audio/source.hpp"

#include <gtest/gtest.h>

#include "support/fake_audio.hpp"

namespace {

using SourcesBuffers = FakeAudioTest;

TEST(FrameBytes, TheSizeMustFitOpenAlsSignedSize) {
  EXPECT_EQ(frame_bytes(0), 0);
  EXPECT_EQ(frame_bytes(4410), 8820);
  EXPECT_EQ(frame_bytes(1073741823), 2147483646);
  EXPECT_EQ(frame_bytes(1073741824), std::nullopt);
  EXPECT_EQ(frame_bytes(SIZE_MAX), std::nullopt);
}

TEST_F(SourcesBuffers, AnEmptyNoteStoresZeroBytes) {
  const AudioContext context = make_context(load());
  const std::size_t first = mark();
  const auto buffer = create_buffer(context, {}, 44100);
  ASSERT_TRUE(buffer.has_value()) << buffer.error();
  EXPECT_TRUE(without_make_current(record_since(first)).at(2).starts_with("alBufferData(1, 0x1101, size=0, freq=44100"))
      << without_make_current(record_since(first)).at(2);
}

TEST_F(SourcesBuffers, AFrequencyOpenAlRefusesDeletesTheNewName) {
  const AudioContext context = make_context(load());
  const std::size_t first = mark();
  EXPECT_EQ(outcome(create_buffer(context, std::vector<Mono16>(10), 0)), "InvalidValue");
  EXPECT_EQ(functions_of(without_make_current(record_since(first))),
            (Lines{"alGenBuffers", "alGetError", "alBufferData", "alGetError", "alDeleteBuffers"}));
  EXPECT_EQ(fake_.live_buffers(), 0U);
}

TEST_F(SourcesBuffers, AuxiliarySendTableIsSizedByTheDevice) {
  const Lines asked{"alGenSources", "alGetError", "alcGetIntegerv"};
  // A device without EFX has no send count to ask for.
  const Lines not_asked{"alGenSources", "alGetError"};
  // A negative count makes an empty table, not a failed allocation.
  for (const auto& [config, calls] : {std::pair{"max_aux_sends=4", asked}, std::pair{"max_aux_sends=-3", asked},
                                      std::pair{"device_extensions=ALC_ENUMERATE_ALL_EXT", not_asked}}) {
    SCOPED_TRACE(config);
    const AudioContext context = fresh_context(config);
    const std::size_t first = mark();
    const auto source = create_source(context);
    ASSERT_TRUE(source.has_value());
    EXPECT_EQ(functions_of(without_make_current(record_since(first))), calls);
  }
}

TEST_F(SourcesBuffers, AttachingASecondBufferLetsTheFirstGoOnlyAfterTheSwap) {
  const AudioContext context = make_context(load());
  auto source = create_source(context);
  const std::size_t first = mark();
  ASSERT_EQ(outcome(source->attach_buffer(std::make_shared<const SampleBuffer>(*create_buffer(context, {}, 44100)))),
            "ok");
  ASSERT_EQ(outcome(source->attach_buffer(std::make_shared<const SampleBuffer>(*create_buffer(context, {}, 44100)))),
            "ok");
  const auto calls = without_make_current(record_since(first));
  EXPECT_EQ(Lines(calls.end() - 2, calls.end()), (Lines{"alSourcei(1, 0x1009, 3)", "alDeleteBuffers(1, [2])"}));
}

TEST_F(SourcesBuffers, ReleasingASourceWhoseBufferIsSharedDeletesOnlyTheSource) {
  const AudioContext context = make_context(load());
  auto buffer = std::make_shared<const SampleBuffer>(*create_buffer(context, {}, 44100));
  {
    auto source = create_source(context);
    ASSERT_EQ(outcome(source->attach_buffer(buffer)), "ok");
    source->play();
  }
  EXPECT_EQ(fake_.calls().back(), "alDeleteSources(1, [2])");  // no stop call came first
  EXPECT_EQ(fake_.live_buffers(), 1U);
  buffer.reset();
  EXPECT_EQ(fake_.calls().back(), "alDeleteBuffers(1, [1])");
}

TEST_F(SourcesBuffers, ABufferOfAnotherContextOnTheSameDeviceIsAttachedUnderTheSourcesContext) {
  const AudioLibrary library = load();
  const auto device = open_device(library);
  const AudioContext source_context = *create_context(*device);
  const AudioContext buffer_context = *create_context(*device);
  auto source = create_source(source_context);
  auto buffer = std::make_shared<const SampleBuffer>(*create_buffer(buffer_context, {}, 44100));
  const std::size_t first = mark();
  EXPECT_EQ(outcome(source->attach_buffer(buffer)), "ok");
  EXPECT_EQ(record_since(first), (Lines{"alcSetThreadContext(ctx1) = 1", "alSourcei(1, 0x1009, 2)"}));
}

TEST_F(SourcesBuffers, ABufferOfAnotherDeviceIsRefusedAndTheSourceKeepsItsBuffer) {
  fake_.configure(R"(all_devices=One\0Two\0\0)");
  const AudioLibrary library = load();
  const AudioContext one = *create_context(*open_device(library, "One"));
  const AudioContext two = *create_context(*open_device(library, "Two"));
  std::optional<SoundSource> source(*create_source(one));
  ASSERT_EQ(outcome(source->attach_buffer(std::make_shared<const SampleBuffer>(*create_buffer(one, {}, 44100)))), "ok");
  const std::size_t first = mark();
  EXPECT_EQ(outcome(source->attach_buffer(std::make_shared<const SampleBuffer>(*create_buffer(two, {}, 44100)))),
            "WrongDevice");
  // The refused buffer's last handle went at once; no call was made for the source.
  EXPECT_EQ(functions_of(without_make_current(record_since(first))),
            (Lines{"alGenBuffers", "alGetError", "alBufferData", "alGetError", "alDeleteBuffers"}));
  EXPECT_EQ(fake_.live_buffers(), 1U);
  source.reset();
  EXPECT_EQ(fake_.live_buffers(), 0U);  // the first buffer was still attached
}

TEST_F(SourcesBuffers, UncheckedCallsLeaveTheirErrorForTheNextCheck) {
  fake_.configure("error=alSourcei:1:0xA003");
  const AudioContext context = make_context(load());
  {
    auto source = create_source(context);
    EXPECT_EQ(outcome(source->attach_buffer(std::make_shared<const SampleBuffer>(*create_buffer(context, {}, 44100)))),
              "ok");
  }
  EXPECT_EQ(outcome(create_source(context)), "InvalidValue");
}

}  // namespace
