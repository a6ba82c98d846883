#include "dap-fixture.h"
#include "scan-target.h"
#include "stellaris-sim.h"
#include "tap.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using S = TTapState;

struct TTransitionCase {
  S From;
  bool Tms;
  S To;
};

// Every edge of the state diagram.
constexpr TTransitionCase kTransitionCases[] = {
    {S::Reset, false, S::Idle},         {S::Reset, true, S::Reset},
    {S::Idle, false, S::Idle},          {S::Idle, true, S::DrSelect},
    {S::DrSelect, false, S::DrCapture}, {S::DrSelect, true, S::IrSelect},
    {S::DrCapture, false, S::DrShift},  {S::DrCapture, true, S::DrExit1},
    {S::DrShift, false, S::DrShift},    {S::DrShift, true, S::DrExit1},
    {S::DrExit1, false, S::DrPause},    {S::DrExit1, true, S::DrUpdate},
    {S::DrPause, false, S::DrPause},    {S::DrPause, true, S::DrExit2},
    {S::DrExit2, false, S::DrShift},    {S::DrExit2, true, S::DrUpdate},
    {S::DrUpdate, false, S::Idle},      {S::DrUpdate, true, S::DrSelect},
    {S::IrSelect, false, S::IrCapture}, {S::IrSelect, true, S::Reset},
    {S::IrCapture, false, S::IrShift},  {S::IrCapture, true, S::IrExit1},
    {S::IrShift, false, S::IrShift},    {S::IrShift, true, S::IrExit1},
    {S::IrExit1, false, S::IrPause},    {S::IrExit1, true, S::IrUpdate},
    {S::IrPause, false, S::IrPause},    {S::IrPause, true, S::IrExit2},
    {S::IrExit2, false, S::IrShift},    {S::IrExit2, true, S::IrUpdate},
    {S::IrUpdate, false, S::Idle},      {S::IrUpdate, true, S::DrSelect},
};

TEST(TapStateTest, EveryEdgeOfTheDiagramLeadsWhereTheStandardSays) {
  for (const auto& c : kTransitionCases)
    EXPECT_EQ(NextTapState(c.From, c.Tms), c.To) << "from " << unsigned(c.From) << " tms " << c.Tms;
}

TEST(TapStateTest, FiveTmsHighClocksReachResetFromEveryState) {
  for (unsigned s = 1; s <= 16; ++s) {
    S state = static_cast<S>(s);
    for (int i = 0; i < 5; ++i)
      state = NextTapState(state, true);
    EXPECT_EQ(state, S::Reset) << "from " << s;
  }
}

class TScanTargetTest : public ::testing::Test {
protected:
  TScanTargetTest() { Scan.ResetTap(); }
  TStellarisSim Sim;
  TSimScanTarget Scan{Sim};
};

TEST_F(TScanTargetTest, IdcodeIsSelectedAfterResetAtEveryPosition) {
  const uint32_t expected[] = {TArmDebugPort::kIdcode, TStellarisSim::kOtherIdcode};
  for (unsigned pos = 0; pos < 2; ++pos) {
    Scan.ResetTap();
    const std::string got = Scan.ShiftDR(pos, std::string(32, '0'));
    EXPECT_EQ(TSimScanTarget::FromBits(got), expected[pos]) << "position " << pos;
  }
}

TEST_F(TScanTargetTest, IrCaptureEndsInZeroOne) {
  EXPECT_EQ(Scan.ShiftIR(0, "1111"), "0001");
  Scan.MoveToState(S::Idle);
  EXPECT_EQ(Scan.ShiftIR(1, "11111"), "00001");
}

TEST_F(TScanTargetTest, ShiftsLeaveTheChainInExit1) {
  Scan.ShiftIR(0, "1110");
  EXPECT_EQ(Scan.State(), S::IrExit1);
  Scan.MoveToState(S::DrShift);
  Scan.ShiftDR(0, std::string(35, '0'));
  EXPECT_EQ(Scan.State(), S::DrExit1);
}

TEST_F(TScanTargetTest, DpaccTextIsDataFirstAndRnWLast) {
  // Write SELECT (A[3:2] = 10) := 0x000000F0, then read it back twice: the
  // second scan captures the first read's result over ACK 010.
  const std::string selectWrite = std::string(24, '0') + "11110000" + "10" + "0";
  const std::string selectRead = std::string(32, '0') + "10" + "1";
  Scan.ShiftIR(0, "1010");
  Scan.MoveToState(S::Idle);
  Scan.ShiftDR(0, selectWrite);
  Scan.MoveToState(S::Idle);
  Scan.ShiftDR(0, selectRead);
  Scan.MoveToState(S::Idle);
  EXPECT_EQ(Scan.ShiftDR(0, selectRead), std::string(24, '0') + "11110000" + "010");
  EXPECT_EQ(TSimScanTarget::ToBits(0x5, 4), "0101");
  EXPECT_EQ(TSimScanTarget::FromBits("0101"), 0x5u);
}

TEST_F(TScanTargetTest, UnknownInstructionsActAsBypass) {
  for (uint32_t ir : {0x0u, 0x1u, 0x4u, 0x7u, 0x9u, 0xCu, 0xDu, 0xFu}) {
    Scan.MoveToState(S::Idle);
    Scan.ShiftIR(0, TSimScanTarget::ToBits(ir, 4));
    Scan.MoveToState(S::Idle);
    EXPECT_EQ(Sim.Chain().At(0).DrLength(), 1u) << "IR " << ir;
    EXPECT_EQ(Scan.ShiftDR(0, "1"), "0") << "IR " << ir;
  }
}

TEST_F(TScanTargetTest, InstructionReachesOnlyTheAddressedDevice) {
  Scan.ShiftIR(1, "11111"); // device 1 to BYPASS, device 0 gets BYPASS too
  Scan.MoveToState(S::Idle);
  EXPECT_EQ(Sim.Chain().At(0).Instruction(), TArmDebugPort::IR_BYPASS);
  Scan.ShiftIR(0, "1110");
  Scan.MoveToState(S::Idle);
  EXPECT_EQ(Sim.Chain().At(0).Instruction(), TArmDebugPort::IR_IDCODE);
  EXPECT_EQ(Sim.Chain().At(1).Instruction(), 0x1Fu);
}

TEST_F(TScanTargetTest, PinLevelAndScanLevelSeeTheSameIdcode) {
  // Raw pins: Reset -> Idle -> DrSelect -> DrCapture -> DrShift, 32 bits.
  TStellarisSim raw;
  for (int i = 0; i < 5; ++i)
    raw.ClockBit(true, false);
  for (bool tms : {false, true, false, false})
    raw.ClockBit(tms, false);
  uint32_t idcode = 0;
  for (int i = 0; i < 32; ++i)
    idcode |= uint32_t(raw.ClockBit(i == 31, false)) << i;
  EXPECT_EQ(idcode, TArmDebugPort::kIdcode);
  EXPECT_EQ(TSimScanTarget::FromBits(Scan.ShiftDR(0, std::string(32, '0'))), idcode);
}

TEST_F(TScanTargetTest, MoveToStateTakesTheShortestPath) {
  Scan.MoveToState(S::Idle);
  const uint64_t before = Sim.Counters().TckCycles;
  Scan.MoveToState(S::IrShift);
  EXPECT_EQ(Sim.Counters().TckCycles - before, 4u);
  Scan.MoveToState(S::IrExit1);
  Scan.MoveToState(S::DrShift);
  EXPECT_EQ(Sim.Counters().TckCycles - before, 9u); // 1 + IrExit1 -> DrShift in 4
  Scan.MoveToState(S::DrShift);
  EXPECT_EQ(Sim.Counters().TckCycles - before, 9u);
}

TEST_F(TScanTargetTest, MalformedRequestsAreRejected) {
  EXPECT_THROW(Scan.ShiftDR(0, "01x"), std::invalid_argument);
  EXPECT_THROW(Scan.ShiftDR(0, ""), std::invalid_argument);
  EXPECT_THROW(Scan.ShiftIR(0, "111"), std::invalid_argument);
  EXPECT_THROW(Scan.ShiftDR(5, "1"), std::out_of_range);
  EXPECT_THROW(Scan.MoveToState(S::Undefined), std::invalid_argument);
}

TEST_F(TScanTargetTest, TrstSelectsIdcodeAgain) {
  Scan.ShiftIR(0, "1010");
  Scan.MoveToState(S::Idle);
  Sim.SetTrst(true);
  EXPECT_EQ(Sim.Chain().State(), S::Reset);
  EXPECT_EQ(Sim.Chain().At(0).Instruction(), TArmDebugPort::IR_IDCODE);
}

TEST_F(TScanTargetTest, StuckTdoReadsAllOnes) {
  Sim.Faults().TdoStuckHigh = true;
  EXPECT_EQ(Scan.ShiftDR(0, std::string(32, '0')), std::string(32, '1'));
}

TEST_F(TScanTargetTest, ScansAndTckCyclesAreCounted) {
  const uint64_t ir = Sim.IrScans(), dr = Sim.DrScans();
  Scan.ShiftIR(0, "1110");
  Scan.ShiftDR(0, std::string(32, '0'));
  EXPECT_EQ(Sim.IrScans() - ir, 1u);
  EXPECT_EQ(Sim.DrScans() - dr, 1u);
  // 10 MHz: 100 ns per TCK.
  EXPECT_EQ(Sim.VirtualTimeNs(), Sim.Counters().TckCycles * 100);
}

// The chip may sit further down the chain.
class TChipAtPositionOneTest : public TDapFixture {
protected:
  static TSimConfig Config() {
    TSimConfig c;
    c.ChipPosition = 1;
    return c;
  }
  TChipAtPositionOneTest() : TDapFixture(Config()) {}
};

TEST_F(TChipAtPositionOneTest, DebugPortWorksBehindTheOtherDevice) {
  EXPECT_EQ(TSimScanTarget::FromBits(Scan.ShiftDR(1, std::string(32, '0'))),
            TArmDebugPort::kIdcode);
  EXPECT_EQ(TSimScanTarget::FromBits(Scan.ShiftDR(0, std::string(32, '0'))),
            TStellarisSim::kOtherIdcode);
  PowerUp();
  WriteWord(kSram + 8, 0xCAFEF00D);
  EXPECT_EQ(ReadWord(kSram + 8), 0xCAFEF00Du);
}

} // namespace
