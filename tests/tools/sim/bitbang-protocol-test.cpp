#include "bitbang-protocol.h"
#include "stellaris-sim.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// One TCK cycle as OpenOCD sends it: low with the data, then high.
std::string Cycle(bool ATms, bool ATdi, bool ARead = false) {
  const char low = char('0' + (ATms ? 2 : 0) + (ATdi ? 1 : 0));
  std::string s(1, low);
  if (ARead)
    s += 'R';
  s += char(low + 4);
  return s;
}

class TBitbangProtocolTest : public ::testing::Test {
protected:
  std::string Run(const std::string& ACommands, bool* AMore = nullptr) {
    std::string reply;
    const bool more = Protocol.Feed(ACommands.data(), ACommands.size(), reply);
    if (AMore)
      *AMore = more;
    return reply;
  }
  TStellarisSim Sim;
  TBitbangProtocol Protocol{Sim};
};

TEST_F(TBitbangProtocolTest, IdcodeComesOutOnTdo) {
  std::string cmds;
  for (int i = 0; i < 5; ++i)
    cmds += Cycle(true, false);
  for (bool tms : {false, true, false, false})
    cmds += Cycle(tms, false);
  for (int i = 0; i < 32; ++i)
    cmds += Cycle(i == 31, false, true);
  const std::string tdo = Run(cmds);
  ASSERT_EQ(tdo.size(), 32u);
  uint32_t idcode = 0;
  for (int i = 0; i < 32; ++i)
    idcode |= uint32_t(tdo[i] == '1') << i;
  EXPECT_EQ(idcode, 0x3BA00477u);
}

TEST_F(TBitbangProtocolTest, OnlyRisingEdgesClock) {
  const uint64_t before = Sim.Counters().TckCycles;
  Run("4444000444");
  EXPECT_EQ(Sim.Counters().TckCycles - before, 2u);
}

TEST_F(TBitbangProtocolTest, QuitStopsInterpreting) {
  bool more = true;
  EXPECT_EQ(Run("RQR", &more), "1");
  EXPECT_FALSE(more);
}

TEST_F(TBitbangProtocolTest, BlinkAndUnknownCommandsAreAccepted) {
  bool more = false;
  EXPECT_EQ(Run("B?xb", &more), "");
  EXPECT_TRUE(more);
  EXPECT_FALSE(Protocol.LedOn());
  Run("B");
  EXPECT_TRUE(Protocol.LedOn());
}

struct TResetCase {
  char Command;
  bool Trst, Srst;
};
constexpr TResetCase kResetCases[] = {
    {'r', false, false}, {'s', false, true}, {'t', true, false}, {'u', true, true}};

TEST_F(TBitbangProtocolTest, ResetCommandsDriveTheRightPins) {
  for (const auto& c : kResetCases) {
    TStellarisSim sim;
    TBitbangProtocol protocol(sim);
    std::string reply;
    // Leave Test-Logic-Reset first so TRST shows.
    const std::string idle = Cycle(false, false);
    protocol.Feed(idle.data(), idle.size(), reply);
    uint32_t dhcsr = 0;
    sim.Chip().DebugRead(0xE000EDF0, 4, dhcsr); // clears S_RESET_ST
    protocol.Feed(&c.Command, 1, reply);
    EXPECT_EQ(sim.Chain().State() == TTapState::Reset, c.Trst) << c.Command;
    sim.Chip().DebugRead(0xE000EDF0, 4, dhcsr);
    EXPECT_EQ((dhcsr & TStellarisChip::S_RESET_ST) != 0, c.Srst) << c.Command;
  }
}

} // namespace
