#include "wav_file.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "wav_builder.hpp"

namespace {

using wav::parse_wav;
using wav::testing::data_chunk;
using wav::testing::fmt_chunk;
using wav::testing::riff;
using wav::testing::wav_image;

TEST(WavFile, DecodesTheLoudestChannelOfTheRecordedFormats) {
  // Full scale both ways, then a tone at two levels: a source to one side is louder on that side.
  const std::vector<double> values{-32768.0 / 32767, 1.0, 0.0, 0.5, -0.25};
  for (const unsigned louder : {0U, 1U}) {
    SCOPED_TRACE(louder);
    std::vector<double> frames;
    for (double v : values) {
      frames.push_back(louder == 0 ? v : 0.3 * v);
      frames.push_back(louder == 1 ? v : 0.3 * v);
    }
    const auto signal = parse_wav(wav_image(frames));
    ASSERT_TRUE(signal) << signal.error();
    EXPECT_EQ(signal->sample_rate, 44100.0);
    EXPECT_EQ(signal->channel_count, 2U);
    EXPECT_EQ(signal->channel, louder);
    EXPECT_FALSE(signal->truncated);
    EXPECT_EQ(signal->samples, (std::vector<float>{-1.0F, 32767.0F / 32768, 0.0F, 16384.0F / 32768, -8192.0F / 32768}));
  }
  // The wave writer's own default, which scripts/record.sh keeps: 32-bit floats, read as they are.
  const auto floats = parse_wav(wav_image({0.25, -0.5, 1.0, -1.0, 0.1, 0.2}, {.sample_format = 3, .bits = 32}));
  ASSERT_TRUE(floats) << floats.error();
  EXPECT_EQ(floats->channel, 1U);
  EXPECT_EQ(floats->samples, (std::vector<float>{-0.5F, -1.0F, 0.2F}));
}

TEST(WavFile, SkipsOtherChunksIncludingPaddedOnes) {
  const std::vector<std::byte> odd(3, std::byte{'x'});
  const auto image = riff({{"LIST", odd},
                           {"fmt ", fmt_chunk()},
                           {"fact", std::vector<std::byte>(4)},
                           {"data", data_chunk({0.5, 0.25})},
                           {"id3 ", odd}});
  const auto signal = parse_wav(image);
  ASSERT_TRUE(signal) << signal.error();
  ASSERT_EQ(signal->samples.size(), 1U);
  EXPECT_NEAR(signal->samples[0], 0.5, 1e-4);
  EXPECT_FALSE(signal->truncated);
}

TEST(WavFile, KeepsTheWholeFramesOfAnUnfinishedRecording) {
  const std::vector<double> frames(20, 0.5);  // 10 stereo frames, 40 bytes of data
  const auto image = wav_image(frames);
  const std::size_t data_start = image.size() - 40;

  // Cut inside the seventh frame: six whole frames remain.
  auto cut = image;
  cut.resize(data_start + std::size_t{6} * 4 + 2);
  auto signal = parse_wav(cut);
  ASSERT_TRUE(signal) << signal.error();
  EXPECT_EQ(signal->samples.size(), 6U);
  EXPECT_TRUE(signal->truncated);

  // A recorder that never went back to write the data length leaves 0 or all ones there.
  for (const auto unset : {std::byte{0}, std::byte{0xFF}}) {
    auto unfinished = image;
    for (std::size_t i = data_start - 4; i < data_start; ++i) unfinished[i] = unset;
    signal = parse_wav(unfinished);
    ASSERT_TRUE(signal) << signal.error();
    EXPECT_EQ(signal->samples.size(), 10U);
    EXPECT_TRUE(signal->truncated);
  }

  // Every shorter prefix is either an error or a shorter recording, never a crash.
  for (std::size_t n = 0; n < image.size(); ++n) {
    const auto prefix = parse_wav(std::span(image).first(n));
    if (n < data_start) {
      EXPECT_FALSE(prefix) << n << " bytes";
    } else {
      ASSERT_TRUE(prefix) << n << " bytes: " << prefix.error();
      EXPECT_EQ(prefix->samples.size(), (n - data_start) / 4) << n << " bytes";
    }
  }
}

TEST(WavFile, RefusesAnyOtherFormatOrDamagedFileSayingWhatItFound) {
  const auto data = data_chunk({0.1, 0.2});
  const auto with_fmt = [&](std::vector<std::byte> fmt) { return riff({{"fmt ", std::move(fmt)}, {"data", data}}); };
  const auto fmt_with_byte = [](std::size_t at, unsigned value) {
    auto fmt = fmt_chunk();
    fmt[at] = static_cast<std::byte>(value);
    return fmt;
  };
  auto plain = fmt_with_byte(0, 1);  // a plain header of the same samples: format tag 1
  plain[1] = std::byte{0};
  plain.resize(16);
  const auto fmt = fmt_chunk();
  auto runs_past_end = with_fmt(fmt);
  runs_past_end[16] = std::byte{0xF0};  // the fmt chunk's length
  const auto bits24 = with_fmt(fmt_chunk({.bits = 24}));

  const struct {
    std::string what;
    std::vector<std::byte> image;
  } cases[] = {
      {"64-bit float", with_fmt(fmt_chunk({.sample_format = 3, .bits = 64}))},
      {"24 bits", bits24},
      {"1 channel", with_fmt(fmt_chunk({.channels = 1}))},
      {"48000 Hz", with_fmt(fmt_chunk({.rate = 48000}))},
      {"sample format 2", with_fmt(fmt_with_byte(24, 2))},
      {"a plain fmt chunk", with_fmt(plain)},
      {"an unknown sub-format", with_fmt(fmt_with_byte(30, 0x11))},
      {"block align 3", with_fmt(fmt_with_byte(12, 3))},
      {"a fmt chunk of 14 bytes", with_fmt(std::vector(fmt.begin(), fmt.begin() + 14))},
      {"an extensible fmt chunk of 24 bytes", with_fmt(std::vector(fmt.begin(), fmt.begin() + 24))},
      {"a chunk past the end", runs_past_end},
      {"no RIFF header", std::vector<std::byte>(64, std::byte{'R'})},
      {"no fmt chunk", riff({{"LIST", {}}})},
      {"no data chunk", riff({{"fmt ", fmt}})},
      {"data before fmt", riff({{"data", data}, {"fmt ", fmt}})},
  };
  for (const auto& [what, image] : cases) EXPECT_FALSE(parse_wav(image)) << what;
  // The message says what was found, so that a recording made in another format says how.
  const auto other_format = parse_wav(bits24);
  ASSERT_FALSE(other_format);
  EXPECT_EQ(
      other_format.error(),
      "expected 16-bit integer PCM or 32-bit float, 2 channels at 44100 Hz; got 24-bit integer PCM, 2 channels at "
      "44100 Hz");
}

TEST(WavFile, ReportsAMissingFile) {
  const auto signal = wav::read_wav("/nonexistent/recording.wav");
  ASSERT_FALSE(signal);
  EXPECT_NE(signal.error().find("/nonexistent/recording.wav"), std::string::npos);
}

TEST(Pcm16, APartialFrameAtTheEndIsLeftOut) {
  // What a pipe sink has delivered so far may end inside a sample or a frame.
  const auto bytes = data_chunk({0.5, -0.5, 0.25});
  for (const auto& [channels, size, frames] :
       {std::tuple{1U, 5U, 2U}, std::tuple{2U, 6U, 1U}, std::tuple{2U, 3U, 0U}}) {
    SCOPED_TRACE(testing::Message() << channels << " channels, " << size << " bytes");
    const wav::Signal signal = wav::decode_pcm16(std::span(bytes).first(size), 44100.0, channels);
    EXPECT_EQ(signal.samples.size(), frames);
    EXPECT_FALSE(signal.truncated);
  }
}

}  // namespace
