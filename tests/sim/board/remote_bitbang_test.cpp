// The remote_bitbang protocol fed byte by byte, as a socket would deliver it.
#include <gtest/gtest.h>

#include <string>

#include "board/remote_bitbang.h"

namespace vsim {
namespace {

BoardConfig Deterministic() {
  BoardConfig c;
  c.freeRunInstructionsPerMs = 0;
  return c;
}

// One TCK cycle in remote_bitbang bytes: lines with TCK low, sample, TCK high.
std::string Cycle(bool tms, bool tdi) {
  char low = static_cast<char>('0' + (tms ? 2 : 0) + (tdi ? 1 : 0));
  return std::string{low, 'R', static_cast<char>(low + 4)};
}

class Bitbang : public ::testing::Test {
 protected:
  Board board{Deterministic()};
  RemoteBitbangSession session{board};
  std::string reply;
  RemoteBitbangSession::Outcome Feed(const std::string& bytes) {
    return session.Feed(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), reply);
  }
};

TEST_F(Bitbang, IdcodeReadAnsweredBitByBit) {
  std::string bytes;
  for (int i = 0; i < 5; ++i) bytes += Cycle(true, false);
  bytes += Cycle(false, false) + Cycle(true, false) + Cycle(false, false) + Cycle(false, false);
  for (int i = 0; i < 32; ++i) bytes += Cycle(i == 31, false);
  ASSERT_EQ(Feed(bytes), RemoteBitbangSession::Outcome::kContinue);
  ASSERT_EQ(reply.size(), 41u);
  uint32_t id = 0;
  for (size_t i = 0; i < 32; ++i) {
    if (reply[9 + i] == '1') id |= 1u << i;
  }
  EXPECT_EQ(id, 0x3F0F0F0Fu);
}

TEST_F(Bitbang, ResetBytesDriveSrstAndTrst) {
  Feed("s");
  EXPECT_TRUE(board.InReset());
  Feed("r");
  EXPECT_FALSE(board.InReset());
  Feed(
      "0"
      "2"
      "6"
      "2"
      "6");  // TMS high: into Select-IR... then TRST
  Feed("t");
  EXPECT_EQ(board.CurrentTapState(), TapState::kTestLogicReset);
  EXPECT_FALSE(board.InReset());
  Feed("u");
  EXPECT_TRUE(board.InReset());
  Feed("r");
  EXPECT_FALSE(board.InReset());
}

TEST_F(Bitbang, QuitStopsAndUnknownBytesAreCountedNotObeyed) {
  EXPECT_EQ(Feed("Bb\r\n xyz\x01\xff"), RemoteBitbangSession::Outcome::kContinue);
  EXPECT_EQ(session.UnknownBytes(), 5u);
  EXPECT_EQ(Feed("RQR"), RemoteBitbangSession::Outcome::kQuit);
  EXPECT_EQ(reply, "0") << "nothing after Q is handled";
  EXPECT_EQ(board.Counters().tckCycles, 0u);
}

TEST_F(Bitbang, ArbitraryBytesNeverBreakTheBoard) {
  uint32_t seed = 12345;
  std::string bytes(200000, '\0');
  for (char& c : bytes) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 24);
    if (c == 'Q') c = '1';
  }
  EXPECT_EQ(Feed(bytes), RemoteBitbangSession::Outcome::kContinue);
  EXPECT_EQ(reply.find_first_not_of("01"), std::string::npos);
  EXPECT_GT(session.UnknownBytes(), 0u);
}

}  // namespace
}  // namespace vsim
