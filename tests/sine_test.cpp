#include "sine.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <set>
#include <utility>

#include "chime.hpp"
#include "tone.hpp"

#ifdef __GLIBC__
#include <dlfcn.h>

#include "audio/library.hpp"
#endif

namespace {

std::uint32_t bits_of(float value) { return std::bit_cast<std::uint32_t>(value); }

#ifdef __GLIBC__
/// glibc's own sinf, from its libm, not std::sin: zig's clang links a sinf of its own (compiler-rt's)
/// into every program ahead of glibc's, and that one rounds some 328,000 note arguments otherwise.
float glibc_sine(float x) {
  static const auto sine = function_cast<float (*)(float)>(dlsym(dlopen("libm.so.6", RTLD_NOW), "sinf"));
  return sine == nullptr ? std::numeric_limits<float>::quiet_NaN() : sine(x);  // NaN: no sine's bits
}
#endif

/// Every pitch a move can sound.
std::set<float> chime_pitches() {
  std::set<float> pitches;
  for (int code = -3; code <= 3; ++code)
    if (const auto notes = chime_notes(static_cast<std::int8_t>(code)))
      pitches.insert({notes->first_hz, notes->second_hz});
  return pitches;
}

// Every argument of every frame of the longest note at each pitch: 26 million sines. Where the C
// library is glibc, each equals its sinf; on every system, their hash is the one glibc's give.
TEST(ChimeSine, EveryNoteArgumentGivesGlibcsSine) {
  const std::set<float> pitches = chime_pitches();
  ASSERT_EQ(pitches.size(), 6U);
  std::uint64_t hash = 0xcbf29ce484222325;  // FNV-1a, a 32-bit word at a time
  std::uint64_t differences = 0;
  for (const float frequency_hz : pitches) {
    for (std::uint32_t frame = 0; frame < tone_frame_count(max_tone_length_ms); ++frame) {
      // The argument as render_tone makes it, every step rounded to single precision.
      const float argument = 6.2831855F * static_cast<float>(frame) * frequency_hz / 44100.0F;
      const std::uint32_t sine = bits_of(chime_sine(argument));
      hash = (hash ^ sine) * 0x100000001b3;
#ifdef __GLIBC__
      if (sine != bits_of(glibc_sine(argument)) && ++differences <= 5) {
        ADD_FAILURE() << frequency_hz << " Hz, frame " << frame << ": sine of " << std::hexfloat << argument << " is "
                      << chime_sine(argument) << ", glibc's " << glibc_sine(argument);
      }
#endif
    }
  }
  EXPECT_EQ(differences, 0U);
  EXPECT_EQ(hash, 0x63564e518a6af99eU);
}

#ifdef __GLIBC__
// One argument or more from each way the sine is worked out, both signs, and the ends of each.
TEST(ChimeSine, EveryRangeGivesGlibcsSine) {
  const float tiniest = std::numeric_limits<float>::denorm_min();
  const float largest = std::numeric_limits<float>::max();
  for (const float argument :
       {0.0F, tiniest, 0x1.fffffep-13F, 0x1p-12F, 0.5F, 0x1.7ffffep-1F, 0x1.8p-1F, 0x1.921FB6p-1F, 1.0F, 3.0F,
        0x1.921FB6p+1F, 100.0F, 0x1.dffffep+6F, 120.0F, 1000.5F, 269076.0F, 0x1p+30F, 1e20F, largest}) {
    for (const float signed_argument : {argument, -argument}) {
      EXPECT_EQ(bits_of(chime_sine(signed_argument)), bits_of(glibc_sine(signed_argument)))
          << std::hexfloat << signed_argument;
    }
  }
}
#endif

// glibc reduces an argument below 120 by one multiply-subtract with pi/2 in double precision, and
// from 120 on with 4/pi to 192 bits. From 60 on the two round alike but for these three arguments
// and their negatives, none of them a note's; the sines are glibc's (its plain variant's: the FMA
// one rounds the first two as the long reduction does).
TEST(ChimeSine, ReducesArgumentsBelow120AsGlibcDoes) {
  for (const auto& [argument, sine] : {std::pair{0x1.46b80ep+6F, -0x1.b5476ap-10F},
                                       {0x1.52e6cp+6F, 0x1.8f6112p-4F},
                                       {0x1.b7d314p+6F, -0x1.96f55cp-12F}}) {
    EXPECT_EQ(chime_sine(argument), sine) << std::hexfloat << argument;
    EXPECT_EQ(chime_sine(-argument), -sine) << std::hexfloat << argument;
  }
}

// glibc's sinf rounds each multiply-add once where it fuses them: in its variant for x86-64
// processors with FMA and AVX2, and in its only one on 64-bit ARM. This argument it then rounds the
// other way; chime_sine gives the plain variant's result on every processor.
TEST(ChimeSine, GivesGlibcsPlainVariantWhereTheFmaOneDiffers) {
  // volatile: of a constant the compiler gives its own sine, correctly rounded, not glibc's.
  const volatile float argument = 0x1.ab6152p+5F;
  const float plain = -0x1.fa115p-7F;  // the FMA variant's: -0x1.fa1152p-7
  EXPECT_EQ(chime_sine(argument), plain);
}

}  // namespace
