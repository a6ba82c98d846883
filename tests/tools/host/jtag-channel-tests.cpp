// The test host's JTAG channel driving the simulated chip in process.

#include "jtag-channel.h"
#include "sim-scan-target.h"

#include <gtest/gtest.h>

namespace {

constexpr int kReset = 1, kIdle = 2, kDrShift = 5, kDrExit1 = 6, kIrShift = 12, kIrExit1 = 13;
constexpr int32_t kDpacc = 0xA, kIdcode = 0xE;

struct TDpAnswer {
  uint32_t Data;
  unsigned Ack;
};

class JtagChannel : public ::testing::Test {
protected:
  TSimChipTarget Target;
  TTestJtagChannel Channel{Target};

  void SelectInstruction(int32_t AInstruction) {
    Channel.MoveToState(kIdle, kIrShift);
    Channel.ShiftInstruction(AInstruction, 0);
    Channel.MoveToState(kIrExit1, kDrShift);
  }
  // One 35-bit debug-port scan: data, register address bits 3:2, RnW.
  TDpAnswer Scan(uint32_t AData, unsigned AAddress, bool ARead) {
    const std::string bits = BitsOf((uint64_t(AData) << 3) | ((AAddress >> 2) & 3) << 1 | (ARead ? 1 : 0), 35);
    const std::wstring out = Channel.ShiftDataBits(std::wstring(bits.begin(), bits.end()), 0);
    Channel.MoveToState(kDrExit1, kIdle);
    Channel.MoveToState(kIdle, kDrShift);
    const uint64_t v = ValueOfBits(std::string(out.begin(), out.end()));
    return {uint32_t(v >> 3), unsigned(v & 7)};
  }
};

TEST_F(JtagChannel, IdcodeAfterResetAndThroughTheInstruction) {
  ASSERT_TRUE(Channel.OpenChannel());
  Channel.MoveToState(0, kReset);
  Channel.MoveToState(kReset, kDrShift);
  EXPECT_EQ(uint32_t(Channel.ShiftDataCapture(0, 32, 0)), 0x3BA00477u);
  Channel.MoveToState(kDrExit1, kIdle);
  Channel.SendInstruction(kIdcode, 0);
  Channel.MoveToState(kIdle, kDrShift);
  EXPECT_EQ(uint32_t(Channel.ShiftDataCapture(0, 32, 0)), 0x3BA00477u);
  Channel.CloseChannel();
  EXPECT_FALSE(Channel.IsOpen());
}

TEST_F(JtagChannel, DebugPortPowersUpThroughChannelCalls) {
  Channel.OpenChannel();
  Channel.MoveToState(0, kReset);
  SelectInstruction(kDpacc);
  const unsigned kOkFault = 2, kCtrlStat = 0x4, kRdBuff = 0xC;
  EXPECT_EQ(Scan(0x50000000, kCtrlStat, false).Ack, kOkFault); // power-up request
  uint32_t status = 0;
  for (int i = 0; i < 10 && (status & 0xA0000000) != 0xA0000000; ++i) {
    Scan(0, kCtrlStat, true);
    const TDpAnswer a = Scan(0, kRdBuff, true);
    EXPECT_EQ(a.Ack, kOkFault);
    status = a.Data;
  }
  EXPECT_EQ(status & 0xF0000000, 0xF0000000u) << "both requests acknowledged";
  EXPECT_GT(Channel.DataScans(), 2u);
}

TEST_F(JtagChannel, BadIndexAndBadBitsAreErrors) {
  EXPECT_THROW(Channel.ShiftDataBits(L"0101", 7), EJtagChannelError);
  // Anything but '0' and '1', also a character whose low bits are a '1'.
  for (const wchar_t* bad : {L"01x1", L"01 1", L"0\u01311", L"2", L"0\u00b01"})
    EXPECT_THROW(Channel.ShiftDataBits(bad, 0), EJtagChannelError) << Channel.DataScans();
  EXPECT_EQ(Channel.DataScans(), 0u) << "a refused text is not scanned";
  EXPECT_THROW(Channel.ShiftDataCapture(0, 33, 0), EJtagChannelError);
}

TEST(RecordingScanTarget, SeesTheChannelTraffic) {
  TRecordingScanTarget target;
  TTestJtagChannel channel(target);
  channel.SendInstruction(0xB, 0);
  ASSERT_EQ(target.Scans.size(), 3u);
  EXPECT_EQ(target.Scans[1].Kind, 'I');
  EXPECT_EQ(target.Scans[1].Bits, "1011");
}

} // namespace
