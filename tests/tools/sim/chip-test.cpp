#include "dap-fixture.h"

#include <gtest/gtest.h>

namespace {

using TChip = TStellarisChip;
constexpr uint32_t kKey = 0xA4420000;
constexpr uint32_t kDbgKey = 0xA05F0000;

class TChipTest : public TDapFixture {
protected:
  TChipTest() { PowerUp(); }

  void Program(uint32_t AAddress, uint32_t AValue) {
    WriteWord(kFma, AAddress);
    WriteWord(kFmd, AValue);
    WriteWord(kFmc, kKey | 1);
  }
  void ErasePage(uint32_t AAddress) {
    WriteWord(kFma, AAddress);
    WriteWord(kFmc, kKey | 2);
  }
  uint32_t Dhcsr() { return ReadWord(kDhcsr); }
  void Halt() { WriteWord(kDhcsr, kDbgKey | 3); }
  uint32_t ReadCore(unsigned ASelector) {
    WriteWord(kDcrsr, ASelector);
    return ReadWord(kDcrdr);
  }
  void WriteCore(unsigned ASelector, uint32_t AValue) {
    WriteWord(kDcrdr, AValue);
    WriteWord(kDcrsr, 0x10000 | ASelector);
  }
  // A vector table (SP, reset at 0x8) and a branch-to-self in flash.
  void ProgramImage() {
    Program(0x0, 0x20001000);
    Program(0x4, 0x00000009);
    Program(0x8, 0xBF00E7FE);
  }
};

struct TIdCase {
  uint32_t Address;
  uint32_t Value;
};
constexpr TIdCase kIdCases[] = {
    {0xE000ED00, 0x411FC231}, // CPUID
    {0xE0002000, 0x00000260}, // FP_CTRL: 6 code, 2 literal, disabled
    {0xE0001000, 0x40000000}, // DWT_CTRL: 4 comparators
    {0x400FE000, 0x10010002}, // DID0
    {0x400FE004, 0x1073402E}, // DID1
    {0x400FE008, 0x00FF007F}, // DC0
    {0x400FE010, 0x001133FF}, // DC1
    {0x400FE060, 0x078E3AD1}, // RCC
    {0x400FE070, 0x07802810}, // RCC2
    {0x400FE400, 0xFFFFFFFF}, // FMPPE0
    {0x400FE40C, 0xFFFFFFFF}, // FMPPE3
    {0xE00FF000, 0xFFF0F003}, // ROM table: SCS
    {0xE00FF004, 0xFFF02003}, // DWT
    {0xE00FF008, 0xFFF03003}, // FPB
    {0xE00FF00C, 0xFFF01003}, // ITM
    {0xE00FF010, 0xFFF41003}, // TPIU
    {0xE00FF014, 0xFFF42002}, // ETM absent
    {0xE00FF018, 0x00000000}, // end
    {0xE00FFFF4, 0x00000010}, // ROM table CID1: class 1
    {0xE000EFE0, 0x00000000}, // SCS PID0
    {0xE000EFF4, 0x000000E0}, // SCS CID1: class E
};

TEST_F(TChipTest, IdentificationRegistersHoldTheirResetValues) {
  for (const auto& c : kIdCases)
    EXPECT_EQ(ReadWord(c.Address), c.Value) << std::hex << c.Address;
  EXPECT_EQ(CtrlStat() & TArmDebugPort::STICKYERR, 0u);
}

TEST_F(TChipTest, WritesToFlashThroughTheBusFailAndChangeNothing) {
  WriteWord(0x100, 0);
  EXPECT_EQ(CtrlStat() & TArmDebugPort::STICKYERR, TArmDebugPort::STICKYERR);
  ClearSticky();
  EXPECT_EQ(ReadWord(0x100), 0xFFFFFFFFu);
}

TEST_F(TChipTest, FlashProgrammingOnlyClearsBits) {
  Program(0x400, 0xFFFF0000);
  Program(0x400, 0x00FFFF00);
  EXPECT_EQ(ReadWord(0x400), 0x00FF0000u);
  EXPECT_EQ(ReadWord(kFcris) & 2, 2u); // PRIS
  EXPECT_EQ(Sim.Counters().FlashWordPrograms, 2u);
}

TEST_F(TChipTest, FlashCommandWithoutKeyIsIgnored) {
  WriteWord(kFma, 0x400);
  WriteWord(kFmd, 0);
  WriteWord(kFmc, 0xA4410001);
  EXPECT_EQ(ReadWord(0x400), 0xFFFFFFFFu);
  EXPECT_EQ(ReadWord(kFcris), 0u);
}

TEST_F(TChipTest, PageEraseClearsOnlyItsKilobyte) {
  for (uint32_t a : {0x3FCu, 0x400u, 0x7FCu, 0x800u})
    Program(a, 0x12345678);
  ErasePage(0x5A4); // any address inside the page
  EXPECT_EQ(ReadWord(0x3FC), 0x12345678u);
  EXPECT_EQ(ReadWord(0x400), 0xFFFFFFFFu);
  EXPECT_EQ(ReadWord(0x7FC), 0xFFFFFFFFu);
  EXPECT_EQ(ReadWord(0x800), 0x12345678u);
}

TEST_F(TChipTest, MassEraseClearsTheWholeFlash) {
  Program(0x0, 0);
  Program(0x3FFFC, 0);
  WriteWord(kFmc, kKey | 4);
  EXPECT_EQ(ReadWord(0x0), 0xFFFFFFFFu);
  EXPECT_EQ(ReadWord(0x3FFFC), 0xFFFFFFFFu);
  EXPECT_EQ(Sim.Counters().FlashMassErases, 1u);
}

struct TAccessErrorCase {
  const char* What;
  uint32_t Address;
  uint32_t Command;
};
constexpr TAccessErrorCase kAccessErrorCases[] = {
    {"program beyond the flash", 0x40000, 1},    {"erase beyond the flash", 0x40000, 2},
    {"program a protected block", 0x804, 1},     {"erase a protected block", 0xC00, 2},
    {"mass erase with a protected block", 0, 4},
};

TEST_F(TChipTest, ProtectedOrMissingAddressesRaiseAccessError) {
  WriteWord(0x400FE400, 0xFFFFFFFD); // FMPPE0: block 1 (0x800..0xFFF) protected
  WriteWord(kFcim, 1);
  for (const auto& c : kAccessErrorCases) {
    Program(0x800, 0xFFFFFFFF); // nothing: make sure state is clean
    WriteWord(kFcmisc, 3);
    WriteWord(kFma, c.Address);
    WriteWord(kFmd, 0);
    WriteWord(kFmc, kKey | c.Command);
    EXPECT_EQ(ReadWord(kFcris) & 1, 1u) << c.What;
    EXPECT_EQ(ReadWord(kFcmisc) & 1, 1u) << c.What;
    WriteWord(kFcmisc, 1); // write one to clear
    EXPECT_EQ(ReadWord(kFcris) & 1, 0u) << c.What;
  }
  EXPECT_EQ(ReadWord(0x804), 0xFFFFFFFFu);
}

TEST_F(TChipTest, ProtectionBitsCanOnlyBeCleared) {
  WriteWord(0x400FE404, 0xFFFF0000);
  WriteWord(0x400FE404, 0x0000FFFF);
  EXPECT_EQ(ReadWord(0x400FE404), 0u);
}

TEST_F(TChipTest, FlashWorkAdvancesVirtualTime) {
  const uint64_t before = Sim.VirtualTimeNs();
  const uint64_t tckBefore = Sim.Counters().TckCycles;
  Program(0x0, 0);
  ErasePage(0x0);
  const uint64_t tckNs = (Sim.Counters().TckCycles - tckBefore) * 100;
  EXPECT_EQ(Sim.VirtualTimeNs() - before, tckNs + kFlashWordProgramNs + kFlashPageEraseNs);
}

struct TDc0Case {
  unsigned FlashKb, SramKb;
  uint32_t Dc0;
};
constexpr TDc0Case kDc0Cases[] = {
    {256, 64, 0x00FF007F},
    {128, 32, 0x007F003F},
    {64, 8, 0x001F001F},
};

TEST(TDeviceSizeTest, Dc0FollowsTheMemorySizes) {
  for (const auto& c : kDc0Cases) {
    TSimConfig config;
    config.FlashKb = c.FlashKb;
    config.SramKb = c.SramKb;
    TStellarisSim sim(config);
    uint32_t v = 0;
    ASSERT_TRUE(sim.Chip().DebugRead(0x400FE008, 4, v));
    EXPECT_EQ(v, c.Dc0) << c.FlashKb << "/" << c.SramKb;
    EXPECT_TRUE(sim.Chip().DebugRead(0x20000000 + c.SramKb * 1024 - 4, 4, v));
    EXPECT_FALSE(sim.Chip().DebugRead(0x20000000 + c.SramKb * 1024, 4, v));
    EXPECT_FALSE(sim.Chip().DebugRead(c.FlashKb * 1024, 4, v));
  }
}

TEST(TDeviceSizeTest, ImpossibleLayoutsAreRefused) {
  TSimConfig odd;
  odd.FlashKb = 3;
  EXPECT_THROW(TStellarisSim{odd}, std::invalid_argument);
  TSimConfig offChain;
  offChain.ChipPosition = 2;
  EXPECT_THROW(TStellarisSim{offChain}, std::invalid_argument);
}

TEST_F(TChipTest, DhcsrWritesNeedTheKey) {
  WriteWord(kDhcsr, 0x00000003);
  EXPECT_EQ(Dhcsr() & TChip::S_HALT, 0u);
  Halt();
  EXPECT_EQ(Dhcsr() & (TChip::S_HALT | TChip::S_REGRDY | 3), TChip::S_HALT | TChip::S_REGRDY | 3);
}

TEST_F(TChipTest, HaltClearsLockup) {
  // Erased flash: the reset vector points nowhere and the core locks up.
  WriteWord(kDhcsr, kDbgKey | 1); // let the core run its slices
  EXPECT_NE(Dhcsr() & TChip::S_LOCKUP, 0u);
  Halt();
  EXPECT_EQ(Dhcsr() & (TChip::S_LOCKUP | TChip::S_HALT), TChip::S_HALT);
}

TEST_F(TChipTest, ResetStatusIsClearedByReading) {
  ReadWord(kDhcsr);
  WriteWord(kAircr, 0x05FA0001); // VECTRESET
  EXPECT_NE(Dhcsr() & TChip::S_RESET_ST, 0u);
  EXPECT_EQ(Dhcsr() & TChip::S_RESET_ST, 0u);
}

TEST_F(TChipTest, AircrWithoutKeyDoesNotReset) {
  ReadWord(kDhcsr);
  WriteWord(kAircr, 0x00000004);
  EXPECT_EQ(Dhcsr() & TChip::S_RESET_ST, 0u);
  EXPECT_EQ(ReadWord(kAircr) >> 16, 0xFA05u);
}

TEST_F(TChipTest, DebugStatusIsWriteOneToClear) {
  Halt();
  EXPECT_EQ(ReadWord(kDfsr), TChip::DFSR_HALTED);
  EXPECT_EQ(ReadWord(kDfsr), TChip::DFSR_HALTED); // reading does not clear it
  WriteWord(kDfsr, 0x2);
  EXPECT_EQ(ReadWord(kDfsr), TChip::DFSR_HALTED);
  WriteWord(kDfsr, 0x1F);
  EXPECT_EQ(ReadWord(kDfsr), 0u);
}

TEST_F(TChipTest, VectorCatchHaltsAtTheResetVector) {
  ProgramImage();
  Halt();
  WriteWord(kDemcr, 0x01000501);
  WriteWord(kDfsr, 0x1F);
  WriteWord(kAircr, 0x05FA0004); // SYSRESETREQ
  EXPECT_NE(Dhcsr() & TChip::S_HALT, 0u);
  EXPECT_EQ(ReadWord(kDfsr), TChip::DFSR_VCATCH);
  EXPECT_EQ(ReadCore(15), 0x8u);
  EXPECT_EQ(ReadCore(13), 0x20001000u);
  EXPECT_EQ(ReadCore(16), 0x01000000u);
}

TEST_F(TChipTest, SystemResetRestoresClockRegisters) {
  WriteWord(0x400FE060, 0x01234567);
  WriteWord(0x400FE140, 0x0B);
  WriteWord(kAircr, 0x05FA0004);
  EXPECT_EQ(ReadWord(0x400FE060), 0x078E3AD1u);
  EXPECT_EQ(ReadWord(0x400FE140), 0x31u);
}

struct TRegisterCase {
  unsigned Selector;
  uint32_t Written;
  uint32_t Read;
};
constexpr TRegisterCase kRegisterCases[] = {
    {0, 0x11111111, 0x11111111},  {7, 0x77777777, 0x77777777},
    {12, 0xCCCCCCCC, 0xCCCCCCCC}, {13, 0x20000FF3, 0x20000FF0},
    {14, 0xFFFFFFF9, 0xFFFFFFF9}, {15, 0x00000201, 0x00000200},
    {16, 0x61000000, 0x61000000}, {17, 0x20000800, 0x20000800},
    {20, 0x00000001, 0x00000001}, // PRIMASK in bits 7..0
};

TEST_F(TChipTest, CoreRegistersGoThroughDcrsrAndDcrdr) {
  Halt();
  for (const auto& c : kRegisterCases) {
    WriteCore(c.Selector, c.Written);
    EXPECT_NE(Dhcsr() & TChip::S_REGRDY, 0u);
    EXPECT_EQ(ReadCore(c.Selector), c.Read) << "selector " << c.Selector;
  }
}

TEST_F(TChipTest, BankedStackPointerFollowsControl) {
  Halt();
  WriteCore(17, 0x20000800); // MSP
  WriteCore(18, 0x20000400); // PSP
  EXPECT_EQ(ReadCore(13), 0x20000800u);
  WriteCore(20, 0x02000000); // CONTROL.SPSEL: thread mode uses PSP
  EXPECT_EQ(ReadCore(13), 0x20000400u);
  EXPECT_EQ(ReadCore(17), 0x20000800u);
  EXPECT_EQ(ReadCore(20), 0x02000000u);
}

TEST_F(TChipTest, CoreRegistersAreOnlyReachableWhileHalted) {
  Halt();
  WriteCore(0, 0x1234);
  WriteWord(kDhcsr, kDbgKey | 1); // run
  WriteWord(kDcrdr, 0);
  WriteWord(kDcrsr, 0x10000); // ignored while running
  Halt();
  EXPECT_EQ(ReadCore(0), 0x1234u);
}

TEST_F(TChipTest, StepAdvancesByTheInstructionLength) {
  WriteWord(kSram + 0x100, 0xF04FBF00); // NOP; MOV.W r0, #0 (first half)
  WriteWord(kSram + 0x104, 0xBF000000); // (second half); NOP
  Halt();
  WriteCore(15, kSram + 0x100);
  const uint32_t expected[] = {kSram + 0x102, kSram + 0x106, kSram + 0x108};
  for (uint32_t pc : expected) {
    WriteWord(kDhcsr, kDbgKey | 0xD);
    EXPECT_NE(Dhcsr() & TChip::S_HALT, 0u);
    EXPECT_EQ(ReadCore(15), pc);
  }
}

TEST_F(TChipTest, FpbNeedsTheKeyToBeEnabled) {
  WriteWord(0xE0002000, 1);
  EXPECT_EQ(ReadWord(0xE0002000), 0x260u);
  WriteWord(0xE0002000, 3);
  EXPECT_EQ(ReadWord(0xE0002000), 0x261u);
}

TEST_F(TChipTest, FpbComparatorHaltsBeforeTheInstruction) {
  ProgramImage();
  Halt();
  WriteWord(0xE0002000, 3);
  WriteWord(0xE0002008, 0x40000009); // lower halfword at 0x8, enabled
  WriteWord(kDemcr, 0x01000001);
  WriteWord(kAircr, 0x05FA0001); // reset: vector catch at 0x8
  WriteWord(kDfsr, 0x1F);
  WriteWord(kDhcsr, kDbgKey | 1); // run
  EXPECT_NE(Dhcsr() & TChip::S_HALT, 0u);
  EXPECT_EQ(ReadWord(kDfsr), TChip::DFSR_BKPT);
  EXPECT_EQ(ReadCore(15), 0x8u);
}

TEST_F(TChipTest, FpbUpperHalfwordComparatorIgnoresTheLowerOne) {
  ProgramImage();
  Halt();
  WriteWord(0xE0002000, 3);
  WriteWord(0xE0002008, 0x80000009); // upper halfword (0xA) only
  WriteCore(15, 0x8);
  WriteWord(kDhcsr, kDbgKey | 0xD); // the step at 0x8 is not stopped
  EXPECT_EQ(ReadWord(kDfsr) & TChip::DFSR_BKPT, 0u);
}

TEST_F(TChipTest, FaultHaltsWithHardFaultCatchOtherwiseLocksUp) {
  Halt();
  WriteWord(kDemcr, 0x00000400); // VC_HARDERR
  WriteCore(15, 0x30000000);     // nothing there
  WriteWord(kDfsr, 0x1F);
  WriteWord(kDhcsr, kDbgKey | 1);
  EXPECT_NE(Dhcsr() & TChip::S_HALT, 0u);
  EXPECT_EQ(ReadWord(kDfsr), TChip::DFSR_VCATCH);

  WriteWord(kDemcr, 0);
  WriteWord(kDhcsr, kDbgKey | 1);
  EXPECT_EQ(Dhcsr() & (TChip::S_HALT | TChip::S_LOCKUP), TChip::S_LOCKUP);
}

TEST_F(TChipTest, NeverHaltedFaultHidesTheHaltedStatus) {
  Sim.Faults().NeverShowHalted = true;
  Halt();
  EXPECT_EQ(Dhcsr() & TChip::S_HALT, 0u);
  EXPECT_TRUE(Sim.Chip().IsHalted());
}

TEST_F(TChipTest, SrstHoldsTheCoreAndReleasesThroughAReset) {
  ProgramImage();
  Halt();
  WriteWord(kDemcr, 0x01000001);
  Sim.SetSrst(true);
  EXPECT_NE(Dhcsr() & TChip::S_RESET_ST, 0u);
  EXPECT_NE(Dhcsr() & TChip::S_RESET_ST, 0u); // held while the pin is low
  Sim.SetSrst(false);
  EXPECT_NE(Dhcsr() & TChip::S_HALT, 0u);
  EXPECT_EQ(ReadCore(15), 0x8u);
}

TEST_F(TChipTest, PeripheralSpaceWithoutRegistersIsABusError) {
  ReadWord(0x40000000);
  EXPECT_EQ(CtrlStat() & TArmDebugPort::STICKYERR, TArmDebugPort::STICKYERR);
  ClearSticky();
  ReadWord(0xE0041000); // the absent ETM
  EXPECT_EQ(CtrlStat() & TArmDebugPort::STICKYERR, TArmDebugPort::STICKYERR);
}

} // namespace
