#include "wav_file.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "wav_builder.hpp"

namespace {

using wav::parse_wav;
using wav::testing::Encoding;
using wav::testing::Layout;

double step_of(Encoding e) {
  switch (e) {
    case Encoding::pcm8: return 1.0 / 128;
    case Encoding::pcm16: return 1.0 / 32768;
    case Encoding::pcm24: return 1.0 / 8388608;
    default: return 1e-7;
  }
}

TEST(WavFile, DecodesEverySampleEncodingWithPlainAndExtensibleHeaders) {
  const std::vector<double> values{0.0, 0.5, -0.5, 0.25, -0.75, 0.7};
  for (Encoding e :
       {Encoding::pcm8, Encoding::pcm16, Encoding::pcm24, Encoding::pcm32, Encoding::float32, Encoding::float64}) {
    for (bool extensible : {false, true}) {
      SCOPED_TRACE(testing::Message() << "encoding " << static_cast<int>(e) << ", extensible " << extensible);
      const auto signal = parse_wav(wav::testing::wav_image({e, 1, 48000, extensible}, values));
      ASSERT_TRUE(signal) << signal.error();
      EXPECT_EQ(signal->sample_rate, 48000.0);
      EXPECT_FALSE(signal->truncated);
      ASSERT_EQ(signal->samples.size(), values.size());
      for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_NEAR(signal->samples[i], values[i], step_of(e)) << "sample " << i;
      }
    }
  }
}

TEST(WavFile, KeepsTheLoudestChannel) {
  // Three channels; the middle one carries the tone at the highest level.
  std::vector<double> frames;
  for (int i = 0; i < 64; ++i) {
    const double tone = std::sin(i * 0.3);
    frames.insert(frames.end(), {0.2 * tone, -0.6 * tone, 0.0});
  }
  const auto signal = parse_wav(wav::testing::wav_image({Encoding::float32, 3}, frames));
  ASSERT_TRUE(signal) << signal.error();
  EXPECT_EQ(signal->channel_count, 3U);
  EXPECT_EQ(signal->channel, 1U);
  ASSERT_EQ(signal->samples.size(), 64U);
  EXPECT_FLOAT_EQ(signal->samples[5], static_cast<float>(-0.6 * std::sin(1.5)));
}

TEST(WavFile, SkipsOtherChunksIncludingPaddedOnes) {
  const Layout layout{Encoding::pcm16, 2};
  const std::vector<std::byte> odd(3, std::byte{'x'});
  const auto image = wav::testing::riff({{"LIST", odd},
                                         {"fmt ", wav::testing::fmt_chunk(layout)},
                                         {"fact", std::vector<std::byte>(4)},
                                         {"data", wav::testing::data_chunk(layout, {0.5, 0.25})},
                                         {"id3 ", odd}});
  const auto signal = parse_wav(image);
  ASSERT_TRUE(signal) << signal.error();
  ASSERT_EQ(signal->samples.size(), 1U);
  EXPECT_NEAR(signal->samples[0], 0.5, 1e-4);
  EXPECT_FALSE(signal->truncated);
}

TEST(WavFile, KeepsTheWholeFramesOfAnUnfinishedRecording) {
  const Layout layout{Encoding::pcm16, 2};
  const std::vector<double> frames(20, 0.5);  // 10 stereo frames, 40 bytes of data
  auto image = wav::testing::wav_image(layout, frames);
  const std::size_t data_start = image.size() - 40;

  // Cut inside the seventh frame: six whole frames remain.
  auto cut = image;
  cut.resize(data_start + std::size_t{6} * 4 + 2);
  auto signal = parse_wav(cut);
  ASSERT_TRUE(signal) << signal.error();
  EXPECT_EQ(signal->samples.size(), 6U);
  EXPECT_TRUE(signal->truncated);

  // A recorder that never went back to write the data length leaves 0 there.
  auto unset = image;
  for (std::size_t i = data_start - 4; i < data_start; ++i) unset[i] = std::byte{0};
  signal = parse_wav(unset);
  ASSERT_TRUE(signal) << signal.error();
  EXPECT_EQ(signal->samples.size(), 10U);
  EXPECT_TRUE(signal->truncated);

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

TEST(WavFile, RejectsWhatItCannotDecode) {
  const Layout layout{Encoding::pcm16, 2};
  const auto fmt = wav::testing::fmt_chunk(layout);
  const auto data = wav::testing::data_chunk(layout, {0.1, 0.2});
  const auto with_fmt_byte = [&](std::size_t at, unsigned value) {
    auto changed = fmt;
    changed[at] = static_cast<std::byte>(value);
    return wav::testing::riff({{"fmt ", changed}, {"data", data}});
  };
  auto extensible = wav::testing::fmt_chunk({Encoding::pcm16, 2, 44100, true});
  extensible[30] = std::byte{0x11};  // damage the sub-format GUID
  auto runs_past_end = wav::testing::riff({{"fmt ", fmt}, {"data", data}});
  runs_past_end[16] = std::byte{0xF0};  // fmt chunk length

  const std::vector<std::pair<const char*, std::vector<std::byte>>> cases{
      {"not RIFF", std::vector<std::byte>(64, std::byte{'R'})},
      {"no fmt chunk", wav::testing::riff({{"LIST", {}}})},
      {"data before fmt", wav::testing::riff({{"data", data}, {"fmt ", fmt}})},
      {"fmt too short", wav::testing::riff({{"fmt ", std::vector(fmt.begin(), fmt.begin() + 14)}, {"data", data}})},
      {"unknown sub-format", wav::testing::riff({{"fmt ", extensible}, {"data", data}})},
      {"ADPCM", with_fmt_byte(0, 2)},
      {"no channels", with_fmt_byte(2, 0)},
      {"block align off", with_fmt_byte(12, 3)},
      {"fmt runs past the end", runs_past_end},
      {"NaN sample", wav::testing::wav_image({Encoding::float32, 1}, {0.1, std::numeric_limits<double>::quiet_NaN()})},
  };
  for (const auto& [what, image] : cases) {
    const auto signal = parse_wav(image);
    ASSERT_FALSE(signal) << what;
    EXPECT_FALSE(signal.error().empty()) << what;
  }
}

TEST(WavFile, ReportsAMissingFile) {
  const auto signal = wav::read_wav("/nonexistent/recording.wav");
  ASSERT_FALSE(signal);
  EXPECT_NE(signal.error().find("/nonexistent/recording.wav"), std::string::npos);
}

}  // namespace
