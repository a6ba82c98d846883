// The Cortex-M3 driver end to end on the simulated chip: run control,
// registers and memory by DISPID through the test host, hardware
// breakpoints, and the chip's fault switches.

#include "arm-test-support.h"
#include "dialog-hook.h"

#include <gtest/gtest.h>

namespace {

constexpr DISPID kSetRegister = 503766, kGetRegister = 503767, kPause = 503797, kContinue = 503798,
                 kStep = 503794, kReset = 503796, kIsPaused = 503800;
constexpr DISPID kReadByte = 509033, kReadHalf = 509034, kReadWord = 509035, kWriteByte = 509036,
                 kWriteHalf = 509037, kWriteWord = 509038;
constexpr uint32_t kSram = 0x20000000;

VARIANT I4(int32_t AValue) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = AValue;
  return v;
}

class CortexM3OnSim : public ::testing::Test {
protected:
  TTracingSimTarget Target;
  TTestHost Host{Target};
  TDialogHook Dialogs;
  TTestCortexM3 Driver;

  void SetUp() override { Bind(); }
  void Bind() {
    TBoolean bound;
    Driver.SetTarvoDevice(ITarvoDevice::FromDispatch(Host.Device(0).Dispatch()), &bound);
  }
  uint32_t Call(DISPID ADispId, std::vector<VARIANT> AArgs = {}) {
    VARIANT result;
    EXPECT_EQ(InvokeDispId(Driver, ADispId, std::move(AArgs), &result), S_OK) << ADispId;
    const uint32_t value = result.vt == VT_BOOL ? (result.boolVal ? 1 : 0) : uint32_t(result.lVal);
    VariantClear(&result);
    return value;
  }
  bool Paused() { return Call(kIsPaused) != 0; }
  uint32_t Register(int32_t AIndex) { return Call(kGetRegister, {I4(AIndex)}); }
  void SetRegister(int32_t AIndex, uint32_t AValue) {
    Call(kSetRegister, {I4(AIndex), I4(int32_t(AValue))});
  }
  // A Thumb program in SRAM: n NOPs then a branch to itself.
  void LoadLoop(uint32_t AAddress, unsigned ANops) {
    for (unsigned i = 0; i < ANops; ++i)
      Call(kWriteHalf, {I4(int32_t(AAddress + 2 * i)), I4(0xBF00)});
    Call(kWriteHalf, {I4(int32_t(AAddress + 2 * ANops)), I4(0xE7FE)});
  }
  void HaltAtStart() {
    ASSERT_FALSE(Paused() && false);
    Call(kPause);
    ASSERT_TRUE(Paused());
  }
};

TEST_F(CortexM3OnSim, ConnectsHaltsAndReadsThePcByIndex29) {
  Call(kIsPaused);
  EXPECT_TRUE(Driver.Initialized());
  EXPECT_TRUE(Driver.FpEnabled());
  EXPECT_GT(Driver.FpNumCode(), 0);
  Call(kPause);
  EXPECT_TRUE(Target.Sim().Chip().IsHalted());
  EXPECT_TRUE(Paused());
  EXPECT_EQ(Register(29), Target.Sim().Chip().Core().GetPC());
  EXPECT_TRUE(Dialogs.Dialogs().empty());
}

TEST_F(CortexM3OnSim, StepAdvancesThePcByOneInstructionAndRunContinues) {
  HaltAtStart();
  LoadLoop(kSram + 0x100, 4);
  SetRegister(29, kSram + 0x100);
  Call(kStep);
  EXPECT_EQ(Register(29), kSram + 0x102);
  Call(kContinue);
  EXPECT_FALSE(Paused());
  Call(kPause);
  EXPECT_TRUE(Paused());
  EXPECT_EQ(Register(29), kSram + 0x108) << "parked on the branch to itself";
}

TEST_F(CortexM3OnSim, ResetTakesPcAndSpFromTheVectorTable) {
  HaltAtStart();
  Call(kReset);
  uint32_t sp = 0, pc = 0;
  Target.Sim().Chip().DebugRead(0, 4, sp);
  Target.Sim().Chip().DebugRead(4, 4, pc);
  EXPECT_EQ(Register(13), sp & ~3u);
  EXPECT_EQ(Register(29), pc & ~1u);
}

TEST_F(CortexM3OnSim, RegistersWrittenReadBack) {
  HaltAtStart();
  struct TCase {
    int32_t Index;
    uint32_t Value;
    uint32_t Expected;
  };
  const TCase cases[] = {
      {0, 0x11111111, 0x11111111},  {7, 0x77777777, 0x77777777},  {12, 0xC0DEC0DE, 0xC0DEC0DE},
      {25, 0x20001000, 0x20001000}, {26, 0x20000800, 0x20000800}, {16, 0x81000000, 0x81000000},
  };
  for (const TCase& c : cases) {
    SetRegister(c.Index, c.Value);
    EXPECT_EQ(Register(c.Index), c.Expected) << c.Index;
  }
  Register(20);
  SetRegister(24, 1); // PRIMASK
  Register(20);
  EXPECT_EQ(Register(24), 1u);
  SetRegister(23, 0x80); // BASEPRI
  Register(20);
  EXPECT_EQ(Register(23), 0x80u);
}

TEST_F(CortexM3OnSim, MemoryUnitsReadAndWrittenAtAlignedAndUnalignedAddresses) {
  HaltAtStart();
  Call(kWriteWord, {I4(kSram), I4(int32_t(0x44332211))});
  Call(kWriteWord, {I4(kSram + 4), I4(int32_t(0x88776655))});
  struct TCase {
    DISPID Read;
    uint32_t Address;
    uint32_t Expected;
  };
  const TCase cases[] = {
      {kReadByte, kSram, 0x11},           {kReadByte, kSram + 3, 0x44},
      {kReadHalf, kSram, 0x2211},         {kReadHalf, kSram + 2, 0x4433},
      {kReadHalf, kSram + 3, 0x5544},     {kReadWord, kSram + 4, 0x88776655},
      {kReadWord, kSram + 1, 0x55443322},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(Call(c.Read, {I4(int32_t(c.Address))}), c.Expected) << std::hex << c.Address;
  Call(kWriteByte, {I4(kSram + 1), I4(0xAB)});
  Call(kWriteHalf, {I4(kSram + 6), I4(0xCDEF)});
  Call(kWriteWord, {I4(kSram + 9), I4(int32_t(0x12345678))});
  EXPECT_EQ(Call(kReadWord, {I4(kSram)}), 0x4433AB11u);
  EXPECT_EQ(Call(kReadWord, {I4(kSram + 4)}), 0xCDEF6655u);
  EXPECT_EQ(Call(kReadWord, {I4(kSram + 9)}), 0x12345678u);
}

TEST_F(CortexM3OnSim, HardwareBreakpointStopsTheProgramAndItsRemovalLetsItRun) {
  HaltAtStart();
  // The flash patch unit matches fetches from the code region only, so the
  // program goes to flash through the flash controller.
  constexpr uint32_t kCode = 0x1000, kFma = 0x400FD000, kFmd = 0x400FD004, kFmc = 0x400FD008;
  for (uint32_t i = 0; i < 5; ++i) {
    const uint32_t word = i < 4 ? 0xBF00BF00 : 0xE7FEE7FE;
    Call(kWriteWord, {I4(int32_t(kFma)), I4(int32_t(kCode + 4 * i))});
    Call(kWriteWord, {I4(int32_t(kFmd)), I4(int32_t(word))});
    Call(kWriteWord, {I4(int32_t(kFmc)), I4(int32_t(0xA4420001))});
  }
  ASSERT_EQ(Call(kReadWord, {I4(kCode)}), 0xBF00BF00u);
  ASSERT_FALSE(Driver.HardBreakpoints().empty());
  auto& breakpoint = *Driver.HardBreakpoints()[0].Get();
  breakpoint.SetAddress(kCode + 0xA);
  TBoolean ok;
  breakpoint.Enable(&ok);
  ASSERT_TRUE(bool(ok));
  uint32_t comparator = 0;
  Target.Sim().Chip().DebugRead(TARM_Cortex_M3::FP_COMP0, 4, comparator);
  EXPECT_EQ(comparator, ((kCode + 0xA) & 0x1FFFFFFC) | 0x80000000u | 1u);
  SetRegister(29, kCode);
  Call(kContinue);
  for (int i = 0; i < 20 && !Paused(); ++i) {
  }
  ASSERT_TRUE(Paused());
  EXPECT_EQ(Register(29), kCode + 0xA);
  breakpoint.Disable(&ok);
  Call(kContinue);
  Call(kPause);
  EXPECT_EQ(Register(29), kCode + 0x10);
}

TEST_F(CortexM3OnSim, AbsentTargetIsReportedOnceUntilReset) {
  Target.Sim().Faults().TdoStuckHigh = true;
  EXPECT_FALSE(Paused());
  EXPECT_FALSE(Paused());
  EXPECT_EQ(Register(0), 0u);
  ASSERT_EQ(Dialogs.Dialogs().size(), 1u);
  EXPECT_EQ(Dialogs.Dialogs()[0].Text, L"Target is not responding.");
  EXPECT_EQ(Dialogs.Dialogs()[0].Caption, L"Error");
  EXPECT_GT(Driver.Diagnostics().FailedAccesses, 0u);
  Call(kReset);
  Paused();
  EXPECT_EQ(Dialogs.Dialogs().size(), 2u);
}

TEST_F(CortexM3OnSim, WaitBurstsAndStickyErrorsAreSurvivedWithCorrectData) {
  HaltAtStart();
  Call(kWriteWord, {I4(kSram + 0x40), I4(0x5A5A1234)});
  Target.Sim().Faults().WaitAccesses = 5;
  Call(kWriteWord, {I4(kSram + 0x44), I4(0x0BADCAFE)});
  Target.Sim().Faults().WaitAccesses = 7;
  EXPECT_EQ(Call(kReadWord, {I4(kSram + 0x40)}), 0x5A5A1234u);
  EXPECT_EQ(Call(kReadWord, {I4(kSram + 0x44)}), 0x0BADCAFEu);
  EXPECT_GT(Driver.Diagnostics().WaitRepeats, 0u);

  Target.Sim().Faults().BusErrorEnabled = true;
  Target.Sim().Faults().BusErrorAddress = kSram + 0x48;
  EXPECT_EQ(Call(kReadWord, {I4(kSram + 0x48)}), 0u);
  EXPECT_GT(Driver.Diagnostics().StickyErrors, 0u);
  EXPECT_GT(Driver.Diagnostics().DroppedReads, 0u);
  EXPECT_EQ(Call(kReadWord, {I4(kSram + 0x40)}), 0x5A5A1234u);
}

TEST_F(CortexM3OnSim, PowerAcknowledgeThatNeverComesEndsInBoundedTime) {
  Target.Sim().Faults().NoPowerAck = true;
  EXPECT_FALSE(Paused());
  EXPECT_FALSE(Driver.Initialized());
  EXPECT_EQ(Dialogs.Dialogs().size(), 1u);
  EXPECT_GT(Driver.Diagnostics().PowerUpFailures, 0u);
}

} // namespace
