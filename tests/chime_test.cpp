#include "chime.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/recording_player.hpp"

namespace {

TEST(Chime, EachMoveAndItsReversePlayTheSamePitchesInOppositeOrder) {
  const struct {
    std::uint8_t from;
    std::uint8_t to;
    std::int8_t code;
    float first;
    float second;
  } moves[] = {
      {1, 2, 3, 392.0F, 440.0F},    {2, 1, -3, 440.0F, 392.0F},   {1, 3, 2, 349.23F, 329.63F},
      {3, 1, -2, 329.63F, 349.23F}, {2, 3, -1, 293.66F, 261.63F}, {3, 2, 1, 261.63F, 293.66F},
  };
  for (const auto& move : moves) {
    EXPECT_EQ(move_code(move.from, move.to), move.code);
    RecordingPlayer player;
    play_chime(player, move.from, move.to, 1);
    EXPECT_EQ(player.notes, (std::vector<RecordingPlayer::Note>{{move.first, 100}, {move.second, 100}}))
        << int{move.from} << "->" << int{move.to};
  }
}

TEST(Chime, PairsThatAreNoMovePlayNothing) {
  for (const auto& [from, to] : {std::pair{1, 1}, {2, 2}, {3, 3}, {0, 3}, {1, 4}, {200, 2}}) {
    EXPECT_EQ(move_code(static_cast<std::uint8_t>(from), static_cast<std::uint8_t>(to)), 0);
    RecordingPlayer player;
    play_chime(player, static_cast<std::uint8_t>(from), static_cast<std::uint8_t>(to), 4);
    EXPECT_TRUE(player.notes.empty());
  }
  EXPECT_EQ(chime_notes(0), std::nullopt);
  EXPECT_EQ(chime_notes(4), std::nullopt);
}

TEST(Chime, NoteLengthIsTheWholeSquareRootTimes100) {
  const struct {
    std::uint32_t size;
    std::uint32_t length_ms;
  } cases[] = {{1, 100},  {3, 100},    {4, 200},    {8, 200},    {9, 300},
               {15, 300}, {16, 400},   {24, 400},   {35, 500},   {36, 600},
               {99, 900}, {100, 1000}, {120, 1000}, {121, 1100}, {4294967295U, 6553600}};
  for (const auto& [size, length_ms] : cases) EXPECT_EQ(note_length_ms(size), length_ms) << size;
}

TEST(Chime, NoteLengthFollowsSinglePrecisionWhereTheIntegerRootDiffers) {
  // 16785407 is the first size whose float square root, cut to a whole number, is not the integer
  // root: the size rounds to the float 16785408, whose root rounds up to 4097.
  EXPECT_EQ(note_length_ms(16785406U), 4096U * 100);
  EXPECT_EQ(note_length_ms(16785407U), 4097U * 100);
}

}  // namespace
