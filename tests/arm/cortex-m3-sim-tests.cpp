// The Cortex-M3 driver end to end on the simulated chip: run control,
// registers and memory by DISPID through the test host, hardware
// breakpoints, and the chip's fault switches.

#include "arm-test-support.h"
#include "dialog-hook.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

constexpr DISPID kSetRegister = 503766, kGetRegister = 503767, kPause = 503797, kContinue = 503798,
                 kStep = 503794, kReset = 503796, kIsPaused = 503800;
constexpr DISPID kReadByte = 509033, kReadHalf = 509034, kReadWord = 509035, kWriteByte = 509036,
                 kWriteHalf = 509037, kWriteWord = 509038;
constexpr uint32_t kSram = 0x20000000;

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

TEST_F(CortexM3OnSim, ComparatorIsClearedOnTheChipWhenItsObjectIsMadeAndWhenReset) {
  constexpr DISPID kBreakpointEnable = 503453, kBreakpointReset = 503457,
                   kBreakpointSetAddress = 508548;
  constexpr uint32_t kLeftOver = 0x40000801;
  // What an earlier session may have left enabled in every comparator.
  for (uint32_t n = 0; n < 2; ++n)
    ASSERT_TRUE(Target.Sim().Chip().DebugWrite(TARM_Cortex_M3::FP_COMP0 + 4 * n, 4, kLeftOver));
  Call(kIsPaused);
  ASSERT_GE(Driver.HardBreakpoints().size(), 2u);
  const auto comparator = [&](uint32_t AIndex) {
    uint32_t value = 0xFFFFFFFF;
    Target.Sim().Chip().DebugRead(TARM_Cortex_M3::FP_COMP0 + 4 * AIndex, 4, value);
    return value;
  };
  EXPECT_EQ(comparator(0), 0u);
  EXPECT_EQ(comparator(1), 0u);

  IDispatch& breakpoint = *Driver.HardBreakpoints()[1].Get();
  const struct {
    uint32_t Address, Comparator;
  } cases[] = {{0x00001234, 0x40001235}, {0x00001236, 0x80001235}};
  for (const auto& c : cases) {
    VARIANT result;
    ASSERT_EQ(InvokeDispId(breakpoint, kBreakpointSetAddress, {I8(c.Address)}, &result), S_OK);
    ASSERT_EQ(InvokeDispId(breakpoint, kBreakpointEnable, {}, &result), S_OK);
    EXPECT_EQ(comparator(1), c.Comparator) << std::hex << c.Address;
    ASSERT_EQ(InvokeDispId(breakpoint, kBreakpointReset, {}, &result), S_OK);
    EXPECT_EQ(comparator(1), 0u) << std::hex << c.Address;
  }
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
  VARIANT result;
  EXPECT_EQ(InvokeDispId(Driver, kReadWord, {I4(kSram + 0x48)}, &result),
            TARMBase::kTransferFailed);
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

// ---- the register cache ------------------------------------------------------

constexpr int32_t kXpsr = 16, kCfbp = 20, kBasepri = 23, kPrimask = 24;
constexpr unsigned kSpecialRegs = 20; // the core's selector of the CFBP word

TEST_F(CortexM3OnSim, PrimaskAndBasepriWrittenInTurnBothReadBackAfterAStep) {
  HaltAtStart();
  LoadLoop(kSram + 0x100, 4);
  SetRegister(29, kSram + 0x100);
  SetRegister(kPrimask, 1);
  SetRegister(kBasepri, 0x80);
  Call(kStep);
  EXPECT_EQ(Register(kPrimask), 1u);
  EXPECT_EQ(Register(kBasepri), 0x80u);
  EXPECT_EQ(Target.Sim().Chip().Core().ReadRegister(kSpecialRegs), 0x8001u);
}

TEST_F(CortexM3OnSim, XpsrWriteEqualToTheWordReadBeforeStillReachesTheCore) {
  HaltAtStart();
  const uint32_t before = Register(kXpsr);
  const uint32_t flipped = before ^ 0x80000000; // the N flag
  SetRegister(kXpsr, flipped);
  SetRegister(kXpsr, before);
  EXPECT_EQ(Target.Sim().Chip().Core().ReadRegister(kXpsr), before);
  EXPECT_EQ(Register(kXpsr), before);
}

TEST_F(CortexM3OnSim, FieldWriteStartsFromTheWordTheCoreHoldsNow) {
  HaltAtStart();
  EXPECT_EQ(Register(kCfbp), 0u);
  // The program changes PRIMASK itself: CPSID i, then a branch to itself.
  Call(kWriteHalf, {I4(kSram + 0x100), I4(0xB672)});
  Call(kWriteHalf, {I4(kSram + 0x102), I4(0xE7FE)});
  SetRegister(29, kSram + 0x100);
  Call(kStep);
  SetRegister(kBasepri, 0x40);
  EXPECT_EQ(Target.Sim().Chip().Core().ReadRegister(kSpecialRegs), 0x4001u)
      << "the BASEPRI write kept the PRIMASK the program set";
}

// Each way the core runs changes a field behind the driver's back; the
// field read afterwards sees the core's value.
TEST_F(CortexM3OnSim, FieldReadsAfterTheCoreRanSeeItsValues) {
  struct TCase {
    const char* Name;
    uint16_t Instruction; // executed at kSram + 0x100, before a branch to itself
    DISPID Run;
    uint32_t Primask;
  };
  const TCase cases[] = {
      {"step over CPSID i", 0xB672, kStep, 1},
      {"run over CPSID i, then halt", 0xB672, kContinue, 1},
      {"reset after CPSID i", 0xB672, kReset, 0},
  };
  HaltAtStart();
  for (const TCase& c : cases) {
    SetRegister(kCfbp, 0);
    Call(kWriteHalf, {I4(kSram + 0x100), I4(c.Instruction)});
    Call(kWriteHalf, {I4(kSram + 0x102), I4(0xE7FE)});
    SetRegister(29, kSram + 0x100);
    EXPECT_EQ(Register(kPrimask), 0u) << c.Name;
    if (c.Run == kReset) {
      Call(kStep);
      EXPECT_EQ(Register(kPrimask), 1u) << c.Name;
    }
    Call(c.Run);
    if (c.Run == kContinue)
      Call(kPause);
    EXPECT_EQ(Register(kPrimask), c.Primask) << c.Name;
  }
}

// ---- the core register transfer -----------------------------------------------

TEST_F(CortexM3OnSim, RegisterTransfersWaitForTheCoreToSignalReady) {
  HaltAtStart();
  SetRegister(1, 0x5555AAAA);
  EXPECT_EQ(Register(1), 0x5555AAAAu);
  Target.Sim().Faults().RegisterReadyLate = 3;
  SetRegister(0, 0x12345678);
  EXPECT_EQ(Target.Sim().Chip().Core().ReadRegister(0), 0x12345678u);
  EXPECT_EQ(Register(0), 0x12345678u) << "not the DCRDR value of the read before";
  EXPECT_EQ(Driver.Diagnostics().RegisterNotReady, 0u);
}

TEST_F(CortexM3OnSim, RegisterTransferThatNeverCompletesFailsAndIsCounted) {
  HaltAtStart();
  SetRegister(1, 0x5555AAAA);
  EXPECT_EQ(Register(1), 0x5555AAAAu);
  Target.Sim().Faults().RegisterReadyLate = UINT_MAX;
  EXPECT_EQ(Register(0), 0u) << "a failed read answers 0, not the stale DCRDR";
  EXPECT_EQ(Driver.Diagnostics().RegisterNotReady, 1u);
  EXPECT_EQ(Driver.Diagnostics().DroppedReads, 1u);
  SetRegister(2, 0x2222);
  EXPECT_EQ(Driver.Diagnostics().RegisterNotReady, 2u);
  EXPECT_EQ(Driver.Diagnostics().DroppedWrites, 1u);
}

// ---- memory results ------------------------------------------------------------

// A transfer the chip refuses, by each of its fault switches.
struct TMemoryFault {
  const char* Name;
  void (*Set)(TSimFaults&, uint32_t AAddress);
};
const TMemoryFault kMemoryFaults[] = {
    {"bus error",
     [](TSimFaults& AFaults, uint32_t AAddress) {
       AFaults.BusErrorEnabled = true;
       AFaults.BusErrorAddress = AAddress;
     }},
    {"WAIT without end", [](TSimFaults& AFaults, uint32_t) { AFaults.WaitAccesses = UINT_MAX; }},
};

TEST_F(CortexM3OnSim, BlockTransfersTheTargetRefusesAnswerFailureAndAreCounted) {
  HaltAtStart();
  constexpr uint32_t kAt = kSram + 0x200;
  for (const TMemoryFault& fault : kMemoryFaults) {
    uint32_t cells[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    TLongBool ok = LongFalse;
    ASSERT_EQ(Driver.MemoryWrite(0, cells, kAt, 8, &ok), S_OK);
    EXPECT_TRUE(bool(ok)) << fault.Name;
    const TArmDiagnostics before = Driver.Diagnostics();
    fault.Set(Target.Sim().Faults(), kAt + 4);
    ok = LongTrue;
    EXPECT_EQ(Driver.MemoryRead(0, cells, kAt, 8, &ok), S_OK) << fault.Name;
    EXPECT_FALSE(bool(ok)) << fault.Name;
    ok = LongTrue;
    EXPECT_EQ(Driver.MemoryWrite(0, cells, kAt, 8, &ok), S_OK) << fault.Name;
    EXPECT_FALSE(bool(ok)) << fault.Name;
    EXPECT_GT(Driver.Diagnostics().DroppedReads, before.DroppedReads) << fault.Name;
    EXPECT_GT(Driver.Diagnostics().DroppedWrites, before.DroppedWrites) << fault.Name;
    Target.Sim().Faults() = TSimFaults();
  }
}

TEST_F(CortexM3OnSim, UnitTransfersTheTargetRefusesFailTheirCall) {
  HaltAtStart();
  constexpr uint32_t kAt = kSram + 0x300;
  const DISPID reads[] = {kReadByte, kReadHalf, kReadWord};
  const DISPID writes[] = {kWriteByte, kWriteHalf, kWriteWord};
  for (const TMemoryFault& fault : kMemoryFaults) {
    fault.Set(Target.Sim().Faults(), kAt);
    for (DISPID read : reads) {
      const unsigned dropped = Driver.Diagnostics().DroppedReads;
      VARIANT result;
      EXPECT_EQ(InvokeDispId(Driver, read, {I4(kAt)}, &result), TARMBase::kTransferFailed)
          << fault.Name << " " << read;
      EXPECT_GT(Driver.Diagnostics().DroppedReads, dropped);
    }
    for (DISPID write : writes) {
      const unsigned dropped = Driver.Diagnostics().DroppedWrites;
      VARIANT result;
      EXPECT_EQ(InvokeDispId(Driver, write, {I4(kAt), I4(0x5A)}, &result),
                TARMBase::kTransferFailed)
          << fault.Name << " " << write;
      EXPECT_GT(Driver.Diagnostics().DroppedWrites, dropped);
    }
    Target.Sim().Faults() = TSimFaults();
  }
}

// ---- answers the host reads ------------------------------------------------------

TEST_F(CortexM3OnSim, RegisterWritesToIndexesOutsideTheModelAnswerFalse) {
  HaltAtStart();
  struct TCase {
    int32_t Index;
    bool Written;
  };
  const TCase cases[] = {{0, true}, {29, true}, {30, false}, {46, false}, {47, false}, {-1, false}};
  for (const TCase& c : cases)
    EXPECT_EQ(Call(kSetRegister, {I4(c.Index), I4(0x20000100)}) != 0, c.Written) << c.Index;
}

TEST_F(CortexM3OnSim, RackPanelIsTheArmControllerOfTheBoundDevice) {
  constexpr DISPID kCreateRackViewer = 503759, kReleaseResources = 503812;
  Call(kCreateRackViewer);
  TInstrumentForm* form = Driver.GetRackForm();
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(dynamic_cast<THardDeviceViewerForm*>(form), nullptr) << "not the device viewer";
  EXPECT_EQ(form->TarvoDevice().Intf(), Host.Device(0).Dispatch());
  EXPECT_TRUE(Dialogs.Dialogs().empty());
  Call(kReleaseResources);
}

// A driver the host has not bound to a chain device yet: every operation
// answers its default and touches nothing.
TEST(CortexM3Unbound, OperationsAnswerTheirDefaults) {
  TDialogHook dialogs;
  TTestCortexM3 driver;
  struct TCase {
    DISPID DispId;
    std::vector<VARIANT> Args;
    int32_t Expected; // -1: the answer is not looked at
  };
  const TCase cases[] = {
      {kGetRegister, {I4(0)}, 0},
      {kGetRegister, {I4(24)}, 0},
      {kSetRegister, {I4(0), I4(5)}, -1},
      {kPause, {}, -1},
      {kStep, {}, -1},
      {kContinue, {}, -1},
      {kReset, {}, -1},
      {kIsPaused, {}, 0},
      {503801, {}, 0},       // ProcessorIsReset
      {503793, {}, -1},      // ResetTarvoRegisters
      {503799, {I4(2)}, -1}, // RunSteps
      {503759, {}, -1},      // CreateRackViewer
      {kReadByte, {I4(kSram)}, 0},
      {kReadHalf, {I4(kSram)}, 0},
      {kReadWord, {I4(kSram)}, 0},
      {kWriteByte, {I4(kSram), I4(1)}, -1},
      {kWriteHalf, {I4(kSram), I4(1)}, -1},
      {kWriteWord, {I4(kSram), I4(1)}, -1},
      {508552, {I4(0), I8(kSram)}, 0}, // AddSoftBreakpoint
      {503786, {}, 1},                 // ResetDevice
      {503782, {I4(0)}, 1},            // InitDownload
      {509029, {I4(0)}, 0},            // ReadRegister
      {509030, {I4(0), I4(1)}, -1},    // WriteRegister
  };
  for (const TCase& c : cases) {
    VARIANT result;
    EXPECT_EQ(InvokeDispId(driver, c.DispId, c.Args, &result), S_OK) << c.DispId;
    if (c.Expected >= 0) {
      const int32_t value = result.vt == VT_BOOL ? (result.boolVal ? 1 : 0) : result.lVal;
      EXPECT_EQ(value, c.Expected) << c.DispId;
    }
    VariantClear(&result);
  }
  uint32_t cells[4] = {};
  TLongBool ok = LongTrue;
  EXPECT_EQ(driver.MemoryRead(0, cells, kSram, 4, &ok), S_OK);
  EXPECT_FALSE(bool(ok)) << "nothing was read";
  ok = LongTrue;
  EXPECT_EQ(driver.MemoryWrite(0, cells, kSram, 4, &ok), S_OK);
  EXPECT_FALSE(bool(ok)) << "nothing was written";
  EXPECT_EQ(driver.GetRackForm(), nullptr);
  EXPECT_TRUE(dialogs.Dialogs().empty());
}

} // namespace
