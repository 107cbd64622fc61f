#include "solver.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "chime.hpp"
#include "support/call_record.hpp"
#include "support/recording_player.hpp"

namespace {

struct Move {
  std::uint32_t disc;
  std::uint8_t from;
  std::uint8_t to;
  friend bool operator==(const Move&, const Move&) = default;
};

struct SolvedRun {
  Lines lines;
  std::vector<RecordingPlayer::Note> notes;
};

SolvedRun solve(std::uint32_t n) {
  std::ostringstream out;
  RecordingPlayer player(out);
  move_tower(out, player, n, 1, 3, 1, n);
  return {lines_of(out.str()), player.notes};
}

/// The moves of a run's lines, each line read by its format; its exact text is pinned by the
/// tests of small towers.
std::vector<Move> moves_of(const SolvedRun& run) {
  std::vector<Move> moves;
  for (const std::string& line : run.lines) {
    unsigned lo = 0;
    unsigned hi = 0;
    unsigned from = 0;
    unsigned to = 0;
    EXPECT_EQ(std::sscanf(line.c_str(), "Moving disc size %u/%u from %u to %u", &lo, &hi, &from, &to), 4) << line;
    EXPECT_EQ(lo, hi) << line;
    moves.push_back({lo, static_cast<std::uint8_t>(from), static_cast<std::uint8_t>(to)});
  }
  return moves;
}

TEST(Solver, MoveLineText) {
  EXPECT_EQ(move_line(1, 1, 1, 3), "Moving disc size 1/1 from 1 to 3\n");
  EXPECT_EQ(move_line(4294967295U, 4294967295U, 3, 2), "Moving disc size 4294967295/4294967295 from 3 to 2\n");
}

TEST(Solver, SmallTowersPrintTheirSolution) {
  EXPECT_EQ(solve(1).lines, Lines{"Moving disc size 1/1 from 1 to 3"});
  EXPECT_EQ(solve(2).lines, (Lines{"Moving disc size 1/1 from 1 to 2", "Moving disc size 2/2 from 1 to 3",
                                   "Moving disc size 1/1 from 2 to 3"}));
  EXPECT_EQ(solve(3).lines, three_disc_moves);
}

TEST(Solver, DefaultRunOfEightDiscsMakes255MovesAnd510NotesOf57Point2Seconds) {
  const SolvedRun run = solve(8);
  const auto moves = moves_of(run);
  ASSERT_EQ(moves.size(), 255U);
  EXPECT_EQ(moves[127], (Move{8, 1, 3}));  // the middle move takes the largest disc across
  std::vector<int> moves_per_disc(9);
  for (const Move& move : moves) ++moves_per_disc.at(move.disc);
  for (std::uint32_t disc = 1; disc <= 8; ++disc) EXPECT_EQ(moves_per_disc[disc], 1 << (8 - disc)) << disc;
  ASSERT_EQ(run.notes.size(), 510U);
  std::uint64_t total_ms = 0;
  for (const auto& note : run.notes) total_ms += note.length_ms;
  EXPECT_EQ(total_ms, 57200U);
}

TEST(Solver, FirstMoveGoesToPegThreeForOddCountsAndPegTwoForEven) {
  for (std::uint32_t n = 1; n <= 10; ++n) {
    EXPECT_EQ(moves_of(solve(n)).front(), (Move{1, 1, static_cast<std::uint8_t>(n % 2 == 1 ? 3 : 2)})) << n;
  }
}

TEST(Solver, EveryMoveIsLegal) {
  std::vector<std::vector<std::uint32_t>> pegs(4);
  for (std::uint32_t disc = 10; disc >= 1; --disc) pegs[1].push_back(disc);
  for (const Move& move : moves_of(solve(10))) {
    ASSERT_FALSE(pegs[move.from].empty());
    ASSERT_EQ(pegs[move.from].back(), move.disc);
    ASSERT_TRUE(pegs[move.to].empty() || pegs[move.to].back() > move.disc);
    pegs[move.from].pop_back();
    pegs[move.to].push_back(move.disc);
  }
  EXPECT_EQ(pegs[3].size(), 10U);
}

TEST(Solver, SparePeg) {
  EXPECT_EQ(spare_peg(1, 2), 3);
  EXPECT_EQ(spare_peg(2, 1), 3);
  EXPECT_EQ(spare_peg(1, 3), 2);
  EXPECT_EQ(spare_peg(3, 1), 2);
  EXPECT_EQ(spare_peg(2, 3), 1);
  EXPECT_EQ(spare_peg(3, 2), 1);
  for (const auto& [from, to] : {std::pair{1, 1}, {2, 2}, {3, 3}, {0, 1}, {1, 4}, {4, 0}, {255, 3}}) {
    EXPECT_EQ(spare_peg(static_cast<std::uint8_t>(from), static_cast<std::uint8_t>(to)), 0) << from << to;
  }
}

TEST(Solver, EveryLineIsFollowedByItsChimeBeforeTheNextLine) {
  const SolvedRun run = solve(3);
  const std::vector<Move> moves = moves_of(run);
  // Each move's chime as play_chime plays it (its pitches and lengths are the chime tests'), heard
  // once the move's line and nothing after it is out.
  std::vector<RecordingPlayer::Note> expected;
  std::size_t printed = 0;
  for (std::size_t move = 0; move < moves.size(); ++move) {
    printed += run.lines[move].size() + 1;
    RecordingPlayer chime;
    play_chime(chime, moves[move].from, moves[move].to, moves[move].disc);
    for (RecordingPlayer::Note note : chime.notes) {
      note.output_bytes = printed;
      expected.push_back(note);
    }
  }
  ASSERT_EQ(expected.size(), 14U);
  EXPECT_EQ(run.notes, expected);
}

}  // namespace
