// Golden debug-port traces of the ARM driver against the simulated chip:
// each scan's instruction and 35-bit text compared as data.

#include "arm-test-support.h"

#include <gtest/gtest.h>

void PrintTo(const TDapScan& AScan, std::ostream* AOut) {
  *AOut << (AScan.Instruction == kDpacc ? "DP " : "AP ") << AScan.Bits;
}

namespace {

constexpr uint32_t DP = kDpacc, AP = kApacc;
constexpr uint8_t CTRL = 0x4, SELECT = 0x8, RDBUFF = 0xC, CSW = 0x0, TAR = 0x4, DRW = 0xC;
constexpr uint8_t BD0 = 0x0, BD1 = 0x4, BD2 = 0x8; // BD registers within bank 0x10
constexpr bool R = true, W = false;

class ArmScanTrace : public ::testing::Test {
protected:
  TTracingSimTarget Target;
  TTestHost Host{Target};
  TTestCortexM3 Driver;

  void SetUp() override {
    TBoolean bound;
    Driver.SetTarvoDevice(ITarvoDevice::FromDispatch(Host.Device(0).Dispatch()), &bound);
    Driver.OpenChannel();
  }
  void TearDown() override { Driver.CloseChannel(); }
  std::vector<TDapScan> Take() { return std::exchange(Target.Scans, {}); }
};

TEST_F(ArmScanTrace, ScanTextIsDataFirstMostSignificantBitFirst) {
  struct TCase {
    uint32_t Data;
    uint8_t Address;
    bool Read;
    const wchar_t* Text;
  };
  const TCase cases[] = {
      {0, 0xC, true,
       L"00000000000000000000000000000000"
       L"111"},
      {0x50000000, 0x4, false,
       L"01010000000000000000000000000000"
       L"010"},
      {0xA05F0003, 0x0, false,
       L"10100000010111110000000000000011"
       L"000"},
      {0, 0x8, true,
       L"00000000000000000000000000000000"
       L"101"},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(DapScanText(c.Data, c.Address, c.Read), c.Text) << std::hex << c.Data;
}

TEST_F(ArmScanTrace, CapturedTextGivesDataAndAcknowledge) {
  const std::wstring allOnes(32, L'1');
  EXPECT_EQ(DapCapturedData(allOnes + L"010"), 0xFFFFFFFFu);
  EXPECT_EQ(DapCapturedAck(allOnes + L"010"), 2);
  EXPECT_EQ(DapCapturedData(L"x" + std::wstring(31, L'0') + L"010"), 0u);
  EXPECT_EQ(DapCapturedAck(std::wstring(32, L'0') + L"0x1"), 0);
}

TEST_F(ArmScanTrace, PowerUpMakesTwentyTwoDataScans) {
  ASSERT_TRUE(Driver.DebugPortInit());
  const std::vector<TDapScan> expected = {
      Dap(DP, 0, CTRL, R),   Dap(DP, 0, RDBUFF, R),        Dap(DP, 0x20, CTRL, W),
      Dap(DP, 0, CTRL, R),   Dap(DP, 0, RDBUFF, R),        Dap(DP, 0x50000000, CTRL, W),
      Dap(DP, 0, CTRL, R),   Dap(DP, 0, RDBUFF, R),        Dap(DP, 0, CTRL, R),
      Dap(DP, 0, RDBUFF, R), Dap(DP, 0x50000001, CTRL, W), Dap(DP, 0, CTRL, R),
      Dap(DP, 0, RDBUFF, R), Dap(DP, 0xF0, SELECT, W),     Dap(AP, 0, 0xC, R),
      Dap(DP, 0, RDBUFF, R), Dap(DP, 0, CTRL, R),          Dap(DP, 0, RDBUFF, R),
      Dap(AP, 0, 0x8, R),    Dap(DP, 0, RDBUFF, R),        Dap(DP, 0, CTRL, R),
      Dap(DP, 0, RDBUFF, R),
  };
  EXPECT_EQ(Take(), expected);
}

TEST_F(ArmScanTrace, DhcsrWriteSelectsBankZeroSetsUpTheBankedWindowAndChecks) {
  ASSERT_TRUE(Driver.DebugPortInit());
  Take();
  ASSERT_TRUE(Driver.MemApBankedWriteAndCheck(TARM_Cortex_M3::DHCSR, 0xA05F0003));
  const std::vector<TDapScan> expected = {
      Dap(DP, 0x00, SELECT, W), Dap(AP, 0xA2000002, CSW, W), Dap(AP, 0xE000EDF0, TAR, W),
      Dap(DP, 0x10, SELECT, W), Dap(AP, 0xA05F0003, BD0, W), Dap(DP, 0, CTRL, R),
      Dap(DP, 0, RDBUFF, R),
  };
  EXPECT_EQ(Take(), expected);
  EXPECT_TRUE(Target.Sim().Chip().IsHalted());
}

TEST_F(ArmScanTrace, CoreRegisterReadSavesDcrdrSelectsThroughBd1WaitsForReadyAndReadsBd2) {
  ASSERT_TRUE(Driver.DebugPortInit());
  ASSERT_TRUE(Driver.MemApBankedWriteAndCheck(TARM_Cortex_M3::DHCSR, 0xA05F0003));
  Take();
  Driver.ReadCoreRegister(25);
  const std::vector<TDapScan> expected = {
      Dap(AP, 0, 0x8, R),  Dap(DP, 0, RDBUFF, R), // DCRDR kept (BD2 at 0xE000EDF0)
      Dap(AP, 17, BD1, W),                        // MSP selected
      Dap(AP, 0, BD0, R),  Dap(DP, 0, RDBUFF, R), // DHCSR shows S_REGRDY
      Dap(AP, 0, BD2, R),  Dap(DP, 0, RDBUFF, R), // DCRDR
      Dap(DP, 0, CTRL, R), Dap(DP, 0, RDBUFF, R),
  };
  EXPECT_EQ(Take(), expected);
}

TEST_F(ArmScanTrace, WordReadAfterBankedAccessResendsCswAndTar) {
  ASSERT_TRUE(Driver.DebugPortInit());
  uint32_t value = 0;
  ASSERT_TRUE(Driver.MemApBankedReadAndCheck(TARM_Cortex_M3::DHCSR, value));
  Take();
  Driver.MemApReadWord(0x20000010, value);
  const std::vector<TDapScan> expected = {
      Dap(DP, 0x00, SELECT, W), Dap(AP, 0xA2000012, CSW, W), Dap(AP, 0x20000010, TAR, W),
      Dap(AP, 0, DRW, R),       Dap(DP, 0, RDBUFF, R),       Dap(DP, 0, CTRL, R),
      Dap(DP, 0, RDBUFF, R),
  };
  EXPECT_EQ(Take(), expected);
}

TEST_F(ArmScanTrace, BankedReadsInOneBlockSendCswAndTarOnce) {
  ASSERT_TRUE(Driver.DebugPortInit());
  Take();
  uint32_t value = 0;
  ASSERT_TRUE(Driver.MemApBankedRead(TARM_Cortex_M3::DHCSR, value));
  ASSERT_TRUE(Driver.MemApBankedRead(TARM_Cortex_M3::DCRDR, value));
  const std::vector<TDapScan> expected = {
      Dap(DP, 0x00, SELECT, W), Dap(AP, 0xA2000002, CSW, W), Dap(AP, 0xE000EDF0, TAR, W),
      Dap(DP, 0x10, SELECT, W), Dap(AP, 0, BD0, R),          Dap(DP, 0, RDBUFF, R),
      Dap(AP, 0, BD2, R),       Dap(DP, 0, RDBUFF, R),
  };
  EXPECT_EQ(Take(), expected);
}

} // namespace
