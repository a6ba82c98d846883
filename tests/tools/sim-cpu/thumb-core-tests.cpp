#include "thumb-core.h"

#include "ram-bus.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using TStepResult = TThumbCore::TStepResult;
using TFaultKind = TThumbCore::TFaultKind;

constexpr uint32_t kCode = 0x100;
constexpr uint32_t kStackTop = 0x20008000;
constexpr uint32_t kData = 0x20001000;

// NZCV as the top nibble of xPSR.
constexpr uint32_t N = 8, Z = 4, C = 2, V = 1;

class TThumbCoreTest : public ::testing::Test {
protected:
  TThumbCoreTest() : FCore(FBus) {
    FCore.WriteRegister(TThumbCore::SP, kStackTop);
    FCore.SetPC(kCode);
  }

  void LoadCode(const std::vector<uint16_t>& AHalfwords, uint32_t AAddress = kCode) {
    for (size_t i = 0; i < AHalfwords.size(); ++i)
      FBus.Write(AAddress + uint32_t(2 * i), 2, AHalfwords[i]);
    FCore.SetPC(AAddress);
  }
  void SetFlags(uint32_t ANzcv) {
    const uint32_t xpsr = FCore.ReadRegister(TThumbCore::XPSR);
    FCore.WriteRegister(TThumbCore::XPSR, (xpsr & 0x0FFFFFFF) | (ANzcv << 28));
  }
  uint32_t Flags() const { return FCore.ReadRegister(TThumbCore::XPSR) >> 28; }
  uint32_t R(unsigned AIndex) const { return FCore.ReadRegister(AIndex); }
  void SetR(unsigned AIndex, uint32_t AValue) { FCore.WriteRegister(AIndex, AValue); }
  std::array<uint32_t, 21> Registers() const {
    std::array<uint32_t, 21> all{};
    for (unsigned i = 0; i < all.size(); ++i)
      all[i] = FCore.ReadRegister(i);
    return all;
  }
  void StepExecuted(unsigned ACount = 1) {
    for (unsigned i = 0; i < ACount; ++i)
      ASSERT_EQ(FCore.Step(), TStepResult::Executed) << "step " << i;
  }

  TRamBus FBus;
  TThumbCore FCore;
};

// ---- data processing, shifts, flags ----

struct TCheck {
  unsigned Register;
  uint32_t Value;
};

struct TInstructionCase {
  const char* Name;
  std::vector<uint16_t> Code;
  std::array<uint32_t, 4> In; // R0..R3
  uint32_t FlagsIn;
  std::vector<TCheck> Out;
  uint32_t FlagsOut;
};

std::ostream& operator<<(std::ostream& AStream, const TInstructionCase& ACase) {
  return AStream << ACase.Name;
}

class TInstructionTest : public TThumbCoreTest,
                         public ::testing::WithParamInterface<TInstructionCase> {};

TEST_P(TInstructionTest, ComputesResultAndFlags) {
  const TInstructionCase& c = GetParam();
  LoadCode(c.Code);
  for (unsigned i = 0; i < 4; ++i)
    SetR(i, c.In[i]);
  SetFlags(c.FlagsIn);
  StepExecuted();
  EXPECT_EQ(FCore.GetPC(), kCode + 2 * c.Code.size());
  for (const TCheck& check : c.Out)
    EXPECT_EQ(R(check.Register), check.Value) << "r" << check.Register;
  EXPECT_EQ(Flags(), c.FlagsOut);
}

// clang-format off
const TInstructionCase kArithmeticCases[] = {
  {"AddsOverflowSetsNegativeAndOverflow", {0x1842}, {0x7FFFFFFF, 1, 0, 0}, 0, {{2, 0x80000000}}, N | V},
  {"AddsWrapToZeroSetsZeroAndCarry", {0x1842}, {0xFFFFFFFF, 1, 0, 0}, 0, {{2, 0}}, Z | C},
  {"SubsBorrowClearsCarry", {0x1A42}, {0, 1, 0, 0}, C, {{2, 0xFFFFFFFF}}, N},
  {"SubsWithoutBorrowSetsCarry", {0x1A42}, {5, 3, 0, 0}, 0, {{2, 2}}, C},
  {"SubsSignedOverflow", {0x1A42}, {0x80000000, 1, 0, 0}, 0, {{2, 0x7FFFFFFF}}, C | V},
  {"AdcsAddsCarryIn", {0x4148}, {1, 2, 0, 0}, C, {{0, 4}}, 0},
  {"SbcsSubtractsBorrowWhenCarryClear", {0x4188}, {5, 3, 0, 0}, 0, {{0, 1}}, C},
  {"CmpSetsFlagsOnly", {0x4288}, {3, 3, 0, 0}, N, {{0, 3}}, Z | C},
  {"CmnSetsCarryOnWrap", {0x42C8}, {0xFFFFFFFF, 1, 0, 0}, 0, {{0, 0xFFFFFFFF}}, Z | C},
  {"TstKeepsCarryAndOverflow", {0x4208}, {0xF0, 0x0F, 0, 0}, C | V, {{0, 0xF0}}, Z | C | V},
  {"TeqWideKeepsCarryWithoutShift", {0xEA90, 0x0F01}, {5, 5, 0, 0}, C, {{0, 5}}, Z | C},
  {"MulsLeavesCarryAndOverflow", {0x4348}, {0x10000, 0x10000, 0, 0}, C | V, {{0, 0}}, Z | C | V},
  {"RsbsNegatesWithBorrow", {0x4242}, {1, 0, 0, 0}, 0, {{2, 0xFFFFFFFF}}, N},
  {"RsbsOfZeroSetsCarry", {0x4242}, {0, 0, 7, 0}, 0, {{2, 0}}, Z | C},
  {"MvnsKeepsCarry", {0x43C2}, {0xFFFFFFFF, 0, 0, 0}, C, {{2, 0}}, Z | C},
  {"AddsImmediate8", {0x32C8}, {0, 0, 0xFFFFFF38, 0}, 0, {{2, 0}}, Z | C},
  {"SubsWideShiftedOperand", {0xEBB0, 0x02E1}, {0, 0x80, 0, 0}, C, {{2, 0xFFFFFFF0}}, N},
  {"OrnImmediateLeavesFlags", {0xF060, 0x02FF}, {0, 0, 0, 0}, Z | V, {{2, 0xFFFFFF00}}, Z | V},
  {"EorWideShiftedOperand", {0xEA80, 0x1201}, {0xFF, 0xF, 0, 0}, 0, {{2, 0x0F}}, 0},
};

const TInstructionCase kShiftCases[] = {
  {"LslsImmediateCarryIsLastBitOut", {0x0042}, {0x80000001, 0, 0, 0}, 0, {{2, 2}}, C},
  {"LsrsImmediateZeroEncodes32", {0x0802}, {0x80000000, 0, 0, 0}, 0, {{2, 0}}, Z | C},
  {"AsrsImmediateZeroEncodes32", {0x1002}, {0x80000000, 0, 0, 0}, 0, {{2, 0xFFFFFFFF}}, N | C},
  {"RorsByRegister32KeepsValueCarryIsBit31", {0x41C8}, {0x80000001, 32, 0, 0}, 0, {{0, 0x80000001}}, N | C},
  {"LslsByRegister32CarryIsBit0", {0x4088}, {1, 32, 0, 0}, 0, {{0, 0}}, Z | C},
  {"LslsByRegister33ClearsCarry", {0x4088}, {0xFFFFFFFF, 33, 0, 0}, C, {{0, 0}}, Z},
  {"LslsByRegisterUsesLowByteOnly", {0x4088}, {0x80000000, 0x100, 0, 0}, C, {{0, 0x80000000}}, N | C},
  {"RrxShiftsCarryIn", {0xEA5F, 0x0230}, {3, 0, 0, 0}, C, {{2, 0x80000001}}, N | C},
  {"AndsRotatedImmediateSetsCarryFromBit31", {0xF010, 0x4200}, {0xFFFFFFFF, 0, 0, 0}, V, {{2, 0x80000000}}, N | C | V},
};

const TInstructionCase kImmediateCases[] = {
  {"PlainByte", {0xF04F, 0x00AB}, {}, 0, {{0, 0xAB}}, 0},
  {"ByteInBothHalfwords", {0xF04F, 0x10AB}, {}, 0, {{0, 0x00AB00AB}}, 0},
  {"ByteInBothHighBytes", {0xF04F, 0x20AB}, {}, 0, {{0, 0xAB00AB00}}, 0},
  {"ByteInAllBytes", {0xF04F, 0x30AB}, {}, 0, {{0, 0xABABABAB}}, 0},
  {"RotatedByte", {0xF44F, 0x307F}, {}, 0, {{0, 0x3FC00}}, 0},
};

const TInstructionCase kBitCases[] = {
  {"BfiInsertsLowBitsOfSource", {0xF361, 0x100B}, {0xFFFFFFFF, 0x12345678, 0, 0}, 0, {{0, 0xFFFFF78F}}, 0},
  {"BfcClearsField", {0xF36F, 0x2017}, {0xFFFFFFFF, 0, 0, 0}, 0, {{0, 0xFF0000FF}}, 0},
  {"UbfxExtractsUnsigned", {0xF3C0, 0x1207}, {0xAB0, 0, 0, 0}, 0, {{2, 0xAB}}, 0},
  {"SbfxExtractsSigned", {0xF340, 0x1207}, {0xAB0, 0, 0, 0}, 0, {{2, 0xFFFFFFAB}}, 0},
  {"ClzCountsLeadingZeros", {0xFAB0, 0xF280}, {0x10000, 0, 0, 0}, 0, {{2, 15}}, 0},
  {"ClzOfZeroIs32", {0xFAB0, 0xF280}, {0, 0, 0, 0}, 0, {{2, 32}}, 0},
  {"RbitReversesBits", {0xFA90, 0xF2A0}, {0x12345678, 0, 0, 0}, 0, {{2, 0x1E6A2C48}}, 0},
  {"RevSwapsBytes", {0xBA02}, {0x12345678, 0, 0, 0}, 0, {{2, 0x78563412}}, 0},
  {"Rev16SwapsBytesInHalfwords", {0xBA42}, {0x12345678, 0, 0, 0}, 0, {{2, 0x34127856}}, 0},
  {"RevshSignExtendsSwappedHalfword", {0xBAC2}, {0x12F0, 0, 0, 0}, 0, {{2, 0xFFFFF012}}, 0},
  {"SxtbSignExtends", {0xB242}, {0x80, 0, 0, 0}, 0, {{2, 0xFFFFFF80}}, 0},
  {"UxthRotatesFirst", {0xFA1F, 0xF290}, {0x12345678, 0, 0, 0}, 0, {{2, 0x3456}}, 0},
  {"SsatClampsHigh", {0xF300, 0x0207}, {1000, 0, 0, 0}, 0, {{2, 127}}, 0},
  {"SsatClampsLow", {0xF300, 0x0207}, {uint32_t(-1000), 0, 0, 0}, 0, {{2, 0xFFFFFF80}}, 0},
  {"UsatClampsNegativeToZero", {0xF380, 0x0208}, {uint32_t(-5), 0, 0, 0}, 0, {{2, 0}}, 0},
  {"UsatClampsHigh", {0xF380, 0x0208}, {300, 0, 0, 0}, 0, {{2, 255}}, 0},
};

const TInstructionCase kMultiplyCases[] = {
  {"UmullFullProduct", {0xFBA0, 0x2301}, {0xFFFFFFFF, 0xFFFFFFFF, 0, 0}, 0, {{2, 1}, {3, 0xFFFFFFFE}}, 0},
  {"SmullSignedProduct", {0xFB80, 0x2301}, {0xFFFFFFFE, 3, 0, 0}, 0, {{2, 0xFFFFFFFA}, {3, 0xFFFFFFFF}}, 0},
  {"UmlalCarriesIntoHigh", {0xFBE0, 0x2301}, {1, 1, 0xFFFFFFFF, 0}, 0, {{2, 0}, {3, 1}}, 0},
  {"SmlalAddsSignedProduct", {0xFBC0, 0x2301}, {0xFFFFFFFF, 1, 0, 0}, 0, {{2, 0xFFFFFFFF}, {3, 0xFFFFFFFF}}, 0},
  {"MlaAccumulates", {0xFB00, 0x2201}, {3, 4, 5, 0}, 0, {{2, 17}}, 0},
  {"MlsSubtractsProduct", {0xFB00, 0x2211}, {3, 4, 5, 0}, 0, {{2, 0xFFFFFFF9}}, 0},
  {"SdivRoundsTowardZero", {0xFB90, 0xF2F1}, {uint32_t(-7), 2, 0, 0}, 0, {{2, uint32_t(-3)}}, 0},
  {"SdivByZeroGivesZero", {0xFB90, 0xF2F1}, {7, 0, 9, 0}, 0, {{2, 0}}, 0},
  {"SdivMostNegativeByMinusOne", {0xFB90, 0xF2F1}, {0x80000000, 0xFFFFFFFF, 0, 0}, 0, {{2, 0x80000000}}, 0},
  {"UdivTruncates", {0xFBB0, 0xF2F1}, {0xFFFFFFFF, 2, 0, 0}, 0, {{2, 0x7FFFFFFF}}, 0},
  {"UdivByZeroGivesZero", {0xFBB0, 0xF2F1}, {7, 0, 9, 0}, 0, {{2, 0}}, 0},
};
// clang-format on

std::string CaseName(const ::testing::TestParamInfo<TInstructionCase>& AInfo) {
  return AInfo.param.Name;
}

INSTANTIATE_TEST_SUITE_P(Arithmetic, TInstructionTest, ::testing::ValuesIn(kArithmeticCases),
                         CaseName);
INSTANTIATE_TEST_SUITE_P(Shifts, TInstructionTest, ::testing::ValuesIn(kShiftCases), CaseName);
INSTANTIATE_TEST_SUITE_P(ModifiedImmediate, TInstructionTest, ::testing::ValuesIn(kImmediateCases),
                         CaseName);
INSTANTIATE_TEST_SUITE_P(BitOperations, TInstructionTest, ::testing::ValuesIn(kBitCases), CaseName);
INSTANTIATE_TEST_SUITE_P(MultiplyDivide, TInstructionTest, ::testing::ValuesIn(kMultiplyCases),
                         CaseName);

TEST_F(TThumbCoreTest, SaturationSetsStickyQ) {
  LoadCode({0xF300, 0x0207, 0xF300, 0x0207}); // ssat r2, #8, r0 (twice)
  SetR(0, 1000);
  StepExecuted();
  EXPECT_NE(FCore.ReadRegister(TThumbCore::XPSR) & (1u << 27), 0u);
  SetR(0, 5); // no saturation: Q stays set
  StepExecuted();
  EXPECT_EQ(R(2), 5u);
  EXPECT_NE(FCore.ReadRegister(TThumbCore::XPSR) & (1u << 27), 0u);
}

// ---- IT blocks ----

struct TItStep {
  uint32_t Pc;
  uint8_t ItState;
  std::array<uint32_t, 4> R;
};

struct TItCase {
  const char* Name;
  uint32_t Flags;
  std::vector<TItStep> Steps;
};

class TItBlockTest : public TThumbCoreTest, public ::testing::WithParamInterface<TItCase> {};

TEST_P(TItBlockTest, StepsOneInstructionAtATime) {
  // itte eq; add r0,#1; add r1,#1; add r2,#1; adds r3,#1
  LoadCode({0xBF06, 0x3001, 0x3101, 0x3201, 0x3301});
  SetR(0, 0xFFFFFFFF); // would set Z and C if flags were updated inside the block
  SetFlags(GetParam().Flags);
  for (const TItStep& step : GetParam().Steps) {
    StepExecuted();
    EXPECT_EQ(FCore.GetPC(), step.Pc);
    EXPECT_EQ(FCore.ItState(), step.ItState) << "pc " << step.Pc;
    const uint32_t xpsr = FCore.ReadRegister(TThumbCore::XPSR);
    EXPECT_EQ(((xpsr >> 10) & 0x3F) << 2 | ((xpsr >> 25) & 3), step.ItState);
    for (unsigned r = 0; r < 4; ++r)
      EXPECT_EQ(R(r), step.R[r]) << "r" << r << " at pc " << step.Pc;
    if (step.Pc < kCode + 8) {
      EXPECT_EQ(Flags(), GetParam().Flags);
    }
  }
  EXPECT_EQ(Flags(), 0u); // adds r3 outside the block sets flags again
}

INSTANTIATE_TEST_SUITE_P(Conditions, TItBlockTest,
                         ::testing::Values(TItCase{"EqualTakesThenSkipsElse",
                                                   Z,
                                                   {{0x102, 0x06, {0xFFFFFFFF, 0, 0, 0}},
                                                    {0x104, 0x0C, {0, 0, 0, 0}},
                                                    {0x106, 0x18, {0, 1, 0, 0}},
                                                    {0x108, 0x00, {0, 1, 0, 0}},
                                                    {0x10A, 0x00, {0, 1, 0, 1}}}},
                                           TItCase{"NotEqualSkipsThenTakesElse",
                                                   C,
                                                   {{0x102, 0x06, {0xFFFFFFFF, 0, 0, 0}},
                                                    {0x104, 0x0C, {0xFFFFFFFF, 0, 0, 0}},
                                                    {0x106, 0x18, {0xFFFFFFFF, 0, 0, 0}},
                                                    {0x108, 0x00, {0xFFFFFFFF, 0, 1, 0}},
                                                    {0x10A, 0x00, {0xFFFFFFFF, 0, 1, 1}}}}),
                         [](const auto& AInfo) { return std::string(AInfo.param.Name); });

TEST_F(TThumbCoreTest, BreakpointInsideItBlockStopsEvenWhenConditionFails) {
  LoadCode({0xBF1C, 0xBE01, 0x3001}); // itt ne; bkpt #1; add r0, #1
  SetFlags(Z);
  StepExecuted();
  EXPECT_EQ(FCore.Step(), TStepResult::Breakpoint);
  EXPECT_EQ(FCore.GetPC(), kCode + 2);
  EXPECT_TRUE(FCore.InItBlock());
}

// ---- a loop, stepped ----

TEST_F(TThumbCoreTest, LoopStepsWithPcAndRegistersAfterEachStep) {
  // movs r0,#0; movs r1,#3; loop: adds r0,r0,r1; subs r1,#1; bne loop; bkpt
  LoadCode({0x2000, 0x2103, 0x1840, 0x3901, 0xD1FC, 0xBE00});
  struct TExpected {
    uint32_t Pc, R0, R1;
  };
  const TExpected expected[] = {
      {0x102, 0, 0}, {0x104, 0, 3}, {0x106, 3, 3}, {0x108, 3, 2}, {0x104, 3, 2}, {0x106, 5, 2},
      {0x108, 5, 1}, {0x104, 5, 1}, {0x106, 6, 1}, {0x108, 6, 0}, {0x10A, 6, 0},
  };
  for (const TExpected& e : expected) {
    StepExecuted();
    EXPECT_EQ(FCore.GetPC(), e.Pc);
    EXPECT_EQ(R(0), e.R0) << "pc " << e.Pc;
    EXPECT_EQ(R(1), e.R1) << "pc " << e.Pc;
  }
  EXPECT_EQ(FCore.Step(), TStepResult::Breakpoint);
  EXPECT_EQ(FCore.GetPC(), 0x10Au);
  EXPECT_EQ(FCore.Step(), TStepResult::Breakpoint);
  EXPECT_EQ(FCore.ExecutedCount(), 11u);
}

// ---- faults ----

struct TFaultCase {
  const char* Name;
  std::vector<uint16_t> Code;
  std::array<uint32_t, 3> In; // R0..R2
  uint32_t Lr;
  TFaultKind Kind;
  uint32_t Address; // 0 = the instruction's own address
};

class TFaultTest : public TThumbCoreTest, public ::testing::WithParamInterface<TFaultCase> {};

TEST_P(TFaultTest, FaultsWithoutChangingRegisters) {
  const TFaultCase& c = GetParam();
  LoadCode(c.Code);
  for (unsigned i = 0; i < 3; ++i)
    SetR(i, c.In[i]);
  SetR(TThumbCore::LR, c.Lr);
  FBus.SetWord(kStackTop, 0xFFFFFFF9);
  FBus.SetWord(0x2000FFF8, 0x11111111);
  FBus.SetWord(0x2000FFFC, 0x22222222);
  SetR(TThumbCore::SP, kStackTop);
  const auto before = Registers();
  EXPECT_EQ(FCore.Step(), TStepResult::Fault);
  EXPECT_EQ(FCore.LastFaultKind(), c.Kind);
  EXPECT_EQ(FCore.LastFaultAddress(), c.Address ? c.Address : kCode);
  EXPECT_EQ(Registers(), before);
}

// clang-format off
const TFaultCase kFaultCases[] = {
  {"UdfIsUndefined", {0xDE00}, {}, 0, TFaultKind::Undefined, 0},
  {"WideUdfIsUndefined", {0xF7F0, 0xA000}, {}, 0, TFaultKind::Undefined, 0},
  {"DspExtendAndAddIsUndefined", {0xFA41, 0xF082}, {}, 0, TFaultKind::Undefined, 0},
  {"DspMultiplyIsUndefined", {0xFB11, 0xF002}, {}, 0, TFaultKind::Undefined, 0},
  {"SaturatingAddIsUndefined", {0xFA82, 0xF081}, {}, 0, TFaultKind::Undefined, 0},
  {"HalfwordSaturateIsUndefined", {0xF321, 0x0003}, {}, 0, TFaultKind::Undefined, 0},
  {"SvcIsNotModelled", {0xDF00}, {}, 0, TFaultKind::SupervisorCall, 0},
  {"CoprocessorHasNoCoprocessor", {0xEE10, 0x0F10}, {}, 0, TFaultKind::NoCoprocessor, 0},
  {"FloatingPointHasNoCoprocessor", {0xEE00, 0x0A10}, {}, 0, TFaultKind::NoCoprocessor, 0},
  {"UnalignedLdmFaults", {0xC905}, {0, 0x20000002, 0}, 0, TFaultKind::Unaligned, 0},
  {"UnalignedLdrdFaults", {0xE9D1, 0x2300}, {0, 0x20000002, 0}, 0, TFaultKind::Unaligned, 0},
  {"LoadFromNowhereIsBusError", {0x6808}, {0, 0x30000000, 0}, 0, TFaultKind::DataBusError, 0x30000000},
  {"LdmFailingMidwayKeepsBaseAndRegisters", {0xC93C}, {0, 0x2000FFF8, 0}, 0, TFaultKind::DataBusError, 0x20010000},
  {"PopOfExcReturnIntoPcIsNotModelled", {0xBD00}, {}, 0, TFaultKind::ExceptionReturn, 0},
  {"BxToExcReturnIsNotModelled", {0x4770}, {}, 0xFFFFFFF9, TFaultKind::ExceptionReturn, 0},
  {"LdrPcOfExcReturnIsNotModelled", {0xF8D1, 0xF000}, {0, kStackTop, 0}, 0, TFaultKind::ExceptionReturn, 0},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Kinds, TFaultTest, ::testing::ValuesIn(kFaultCases),
                         [](const auto& AInfo) { return std::string(AInfo.param.Name); });

TEST_F(TThumbCoreTest, FetchFromNowhereIsInstructionBusError) {
  FCore.SetPC(0x30000000);
  EXPECT_EQ(FCore.Step(), TStepResult::Fault);
  EXPECT_EQ(FCore.LastFaultKind(), TFaultKind::InstructionBusError);
  EXPECT_EQ(FCore.LastFaultAddress(), 0x30000000u);
  EXPECT_EQ(FCore.GetPC(), 0x30000000u);
}

TEST_F(TThumbCoreTest, BranchToEvenAddressFaultsAtTheTarget) {
  LoadCode({0x4700}); // bx r0
  SetR(0, 0x200);
  StepExecuted();
  EXPECT_EQ(FCore.GetPC(), 0x200u);
  EXPECT_EQ(FCore.ReadRegister(TThumbCore::XPSR) & (1u << 24), 0u);
  EXPECT_EQ(FCore.Step(), TStepResult::Fault);
  EXPECT_EQ(FCore.LastFaultKind(), TFaultKind::InvalidState);
  EXPECT_EQ(FCore.LastFaultAddress(), 0x200u);
}

TEST_F(TThumbCoreTest, PopIntoPcWithThumbBitBranches) {
  LoadCode({0xBD00}); // pop {pc}
  FBus.SetWord(kStackTop, 0x201);
  StepExecuted();
  EXPECT_EQ(FCore.GetPC(), 0x200u);
  EXPECT_EQ(R(TThumbCore::SP), kStackTop + 4);
  EXPECT_NE(FCore.ReadRegister(TThumbCore::XPSR) & (1u << 24), 0u);
}

TEST_F(TThumbCoreTest, BreakpointLeavesPcAtTheInstruction) {
  LoadCode({0xBE00});
  EXPECT_EQ(FCore.Step(), TStepResult::Breakpoint);
  EXPECT_EQ(FCore.GetPC(), kCode);
}

TEST_F(TThumbCoreTest, WaitForInterruptStopsPastTheInstruction) {
  LoadCode({0xBF30, 0xBF20, 0xBF40, 0xBF20}); // wfi; wfe; sev; wfe
  EXPECT_EQ(FCore.Step(), TStepResult::WaitForInterrupt);
  EXPECT_EQ(FCore.GetPC(), kCode + 2);
  EXPECT_EQ(FCore.Step(), TStepResult::WaitForInterrupt);
  StepExecuted(); // sev
  StepExecuted(); // wfe consumes the event
  EXPECT_EQ(FCore.GetPC(), kCode + 8);
}

// ---- loads and stores ----

TEST_F(TThumbCoreTest, UnalignedWordLoadIsSplitIntoBytes) {
  LoadCode({0x6808}); // ldr r0, [r1]
  FBus.SetWord(kData, 0x44332211);
  FBus.SetWord(kData + 4, 0x88776655);
  SetR(1, kData + 1);
  StepExecuted();
  EXPECT_EQ(R(0), 0x55443322u);
  EXPECT_TRUE(FBus.FSawUnaligned == false);
}

struct TLoadCase {
  const char* Name;
  std::vector<uint16_t> Code;
  uint32_t R2;
  uint32_t Expected;
};

class TLoadTest : public TThumbCoreTest, public ::testing::WithParamInterface<TLoadCase> {};

TEST_P(TLoadTest, ExtendsToWord) {
  LoadCode(GetParam().Code);
  FBus.SetWord(kData, 0x80F18283);
  SetR(1, kData);
  SetR(2, GetParam().R2);
  StepExecuted();
  EXPECT_EQ(R(0), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, TLoadTest,
    ::testing::Values(TLoadCase{"LdrsbSignExtends", {0x5688}, 1, 0xFFFFFF82},
                      TLoadCase{"LdrhZeroExtends", {0x8848}, 0, 0x80F1},
                      TLoadCase{"LdrshSignExtends", {0xF9B1, 0x0002}, 0, 0xFFFF80F1}),
    [](const auto& AInfo) { return std::string(AInfo.param.Name); });

TEST_F(TThumbCoreTest, LdmWithBaseInListLoadsBaseWithoutWriteback) {
  LoadCode({0xC907}); // ldm r1, {r0, r1, r2}
  FBus.SetWord(kData, 10);
  FBus.SetWord(kData + 4, 11);
  FBus.SetWord(kData + 8, 12);
  SetR(1, kData);
  StepExecuted();
  EXPECT_EQ(R(0), 10u);
  EXPECT_EQ(R(1), 11u);
  EXPECT_EQ(R(2), 12u);
}

TEST_F(TThumbCoreTest, PushStoresLowestRegisterAtLowestAddress) {
  LoadCode({0xB503, 0xBC1C}); // push {r0, r1, lr}; pop {r2, r3, r4}
  SetR(0, 0xA0);
  SetR(1, 0xA1);
  SetR(TThumbCore::LR, 0xA14);
  StepExecuted();
  EXPECT_EQ(R(TThumbCore::SP), kStackTop - 12);
  EXPECT_EQ(FBus.Word(kStackTop - 12), 0xA0u);
  EXPECT_EQ(FBus.Word(kStackTop - 8), 0xA1u);
  EXPECT_EQ(FBus.Word(kStackTop - 4), 0xA14u);
  StepExecuted();
  EXPECT_EQ(R(2), 0xA0u);
  EXPECT_EQ(R(3), 0xA1u);
  EXPECT_EQ(R(4), 0xA14u);
  EXPECT_EQ(R(TThumbCore::SP), kStackTop);
}

TEST_F(TThumbCoreTest, IndexedAddressingWritesBack) {
  // ldr r0, [r1], #4; ldr r0, [r1, #-4]!; strd r2, r3, [r1, #8]!; stmdb r1!, {r2, r3}
  LoadCode({0xF851, 0x0B04, 0xF851, 0x0D04, 0xE9E1, 0x2302, 0xE921, 0x000C});
  FBus.SetWord(kData, 0x1234);
  SetR(1, kData);
  StepExecuted();
  EXPECT_EQ(R(0), 0x1234u);
  EXPECT_EQ(R(1), kData + 4);
  SetR(0, 0);
  StepExecuted();
  EXPECT_EQ(R(0), 0x1234u);
  EXPECT_EQ(R(1), kData);
  SetR(2, 0x22);
  SetR(3, 0x33);
  StepExecuted();
  EXPECT_EQ(R(1), kData + 8);
  EXPECT_EQ(FBus.Word(kData + 8), 0x22u);
  EXPECT_EQ(FBus.Word(kData + 12), 0x33u);
  StepExecuted();
  EXPECT_EQ(R(1), kData);
  EXPECT_EQ(FBus.Word(kData), 0x22u);
  EXPECT_EQ(FBus.Word(kData + 4), 0x33u);
}

TEST_F(TThumbCoreTest, StoreExclusiveSucceedsOnlyAfterLoadExclusive) {
  // ldrex r0,[r1]; strex r2,r3,[r1]; strex r2,r3,[r1]; ldrex r0,[r1]; clrex; strex r2,r3,[r1]
  LoadCode({0xE851, 0x0F00, 0xE841, 0x3200, 0xE841, 0x3200, 0xE851, 0x0F00, 0xF3BF, 0x8F2F, 0xE841,
            0x3200});
  FBus.SetWord(kData, 5);
  SetR(1, kData);
  SetR(3, 6);
  StepExecuted(2);
  EXPECT_EQ(R(0), 5u);
  EXPECT_EQ(R(2), 0u);
  EXPECT_EQ(FBus.Word(kData), 6u);
  SetR(3, 7);
  StepExecuted();
  EXPECT_EQ(R(2), 1u);
  EXPECT_EQ(FBus.Word(kData), 6u);
  StepExecuted(3);
  EXPECT_EQ(R(2), 1u);
  EXPECT_EQ(FBus.Word(kData), 6u);
}

// ---- branches ----

TEST_F(TThumbCoreTest, TableBranchesScaleTheEntryByTwo) {
  // tbb [pc, r0]; table bytes 2, 5 at pc+4
  LoadCode({0xE8DF, 0xF000, 0x0502});
  SetR(0, 1);
  StepExecuted();
  EXPECT_EQ(FCore.GetPC(), kCode + 4 + 10);
  // tbh [pc, r0, lsl #1]; table halfwords 3, 0x100
  LoadCode({0xE8DF, 0xF010, 0x0003, 0x0100});
  SetR(0, 1);
  StepExecuted();
  EXPECT_EQ(FCore.GetPC(), kCode + 4 + 0x200);
}

struct TBranchCase {
  const char* Name;
  std::vector<uint16_t> Code;
  uint32_t R0;
  uint32_t Pc;
  uint32_t Lr; // expected LR (initial 0)
};

class TBranchTest : public TThumbCoreTest, public ::testing::WithParamInterface<TBranchCase> {};

TEST_P(TBranchTest, BranchesToTarget) {
  LoadCode(GetParam().Code);
  SetR(0, GetParam().R0);
  SetR(TThumbCore::LR, 0);
  StepExecuted();
  EXPECT_EQ(FCore.GetPC(), GetParam().Pc);
  EXPECT_EQ(R(TThumbCore::LR), GetParam().Lr);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, TBranchTest,
    ::testing::Values(
        TBranchCase{"CbzTakenOnZero", {0xB110}, 0, kCode + 8, 0},
        TBranchCase{"CbzFallsThroughOnNonZero", {0xB110}, 1, kCode + 2, 0},
        TBranchCase{"CbnzTakenOnNonZero", {0xB910}, 1, kCode + 8, 0},
        TBranchCase{"BlLinksWithThumbBit", {0xF000, 0xF87E}, 0, kCode + 0x100, (kCode + 4) | 1},
        TBranchCase{"BlxRegisterLinksWithThumbBit", {0x4780}, 0x301, 0x300, (kCode + 2) | 1},
        TBranchCase{"BackwardConditionalTakenWhenNotEqual", {0xD1FC}, 0, kCode - 4, 0}),
    [](const auto& AInfo) { return std::string(AInfo.param.Name); });

TEST_F(TThumbCoreTest, LiteralAddressesUseWordAlignedPc) {
  // at 0x102: adr r0, .+8 -> Align(0x106,4)+4; ldr r1, [pc, #4] -> Align(0x108,4)+4
  LoadCode({0xA001, 0x4901}, kCode + 2);
  FBus.SetWord(0x10C, 0xCAFE);
  StepExecuted(2);
  EXPECT_EQ(R(0), 0x108u);
  EXPECT_EQ(R(1), 0xCAFEu);
}

// ---- special registers ----

TEST_F(TThumbCoreTest, ControlSelectsProcessStack) {
  // msr psp, r0; movs r1, #2; msr control, r1; mrs r2, msp; mrs r3, psp
  LoadCode({0xF380, 0x8809, 0x2102, 0xF381, 0x8814, 0xF3EF, 0x8208, 0xF3EF, 0x8309});
  SetR(0, 0x20004000);
  StepExecuted(3);
  EXPECT_EQ(R(TThumbCore::SP), 0x20004000u);
  EXPECT_EQ(FCore.ReadRegister(TThumbCore::MSP), kStackTop);
  EXPECT_EQ(FCore.ReadRegister(TThumbCore::PSP), 0x20004000u);
  EXPECT_EQ(FCore.ReadRegister(TThumbCore::SpecialRegs) >> 24, 2u);
  StepExecuted(2);
  EXPECT_EQ(R(2), kStackTop);
  EXPECT_EQ(R(3), 0x20004000u);
}

TEST_F(TThumbCoreTest, ApsrMovesFlagsOnlyAndXpsrReadHidesExecutionState) {
  // mrs r0, apsr; msr apsr_nzcvq, r1; mrs r2, xpsr
  LoadCode({0xF3EF, 0x8000, 0xF381, 0x8800, 0xF3EF, 0x8203});
  SetFlags(N | C);
  SetR(1, 0x5FFFFFFF);
  StepExecuted(3);
  EXPECT_EQ(R(0), 0xA0000000u);
  EXPECT_EQ(Flags(), Z | V);
  EXPECT_EQ(R(2), 0x58000000u); // Z V Q, no T bit
}

TEST_F(TThumbCoreTest, BasepriMaxOnlyRaisesPriority) {
  // msr basepri_max, r0; mrs r1, basepri
  const std::vector<uint16_t> code = {0xF380, 0x8812, 0xF3EF, 0x8111};
  struct TCase {
    uint32_t Current, Written, Expected;
  } cases[] = {{0, 0x40, 0x40}, {0x40, 0x20, 0x20}, {0x20, 0x40, 0x20}, {0x20, 0, 0x20}};
  for (const TCase& c : cases) {
    LoadCode(code);
    FCore.WriteRegister(TThumbCore::SpecialRegs, c.Current << 8);
    SetR(0, c.Written);
    StepExecuted(2);
    EXPECT_EQ(R(1), c.Expected) << c.Current << " <- " << c.Written;
  }
}

TEST_F(TThumbCoreTest, UnprivilegedCodeCannotMaskInterrupts) {
  // cpsid i; msr primask, r0; mrs r1, primask
  LoadCode({0xB672, 0xF380, 0x8810, 0xF3EF, 0x8110});
  FCore.WriteRegister(TThumbCore::SpecialRegs, 1u << 24); // CONTROL.nPRIV
  SetR(0, 1);
  StepExecuted(3);
  EXPECT_EQ(FCore.ReadRegister(TThumbCore::SpecialRegs) & 0xFF, 0u);
  EXPECT_EQ(R(1), 0u);
}

TEST_F(TThumbCoreTest, CpsTogglesPrimask) {
  LoadCode({0xB672, 0xB662}); // cpsid i; cpsie i
  StepExecuted();
  EXPECT_EQ(FCore.ReadRegister(TThumbCore::SpecialRegs) & 0xFF, 1u);
  StepExecuted();
  EXPECT_EQ(FCore.ReadRegister(TThumbCore::SpecialRegs) & 0xFF, 0u);
}

TEST_F(TThumbCoreTest, ResetLoadsStackAndEntryFromVectorTable) {
  FBus.SetWord(0, 0x20002000);
  FBus.SetWord(4, 0x201);
  SetR(3, 7);
  ASSERT_TRUE(FCore.Reset());
  EXPECT_EQ(R(TThumbCore::SP), 0x20002000u);
  EXPECT_EQ(FCore.GetPC(), 0x200u);
  EXPECT_EQ(R(3), 0u);
  EXPECT_EQ(R(TThumbCore::LR), 0xFFFFFFFFu);
  EXPECT_EQ(FCore.ReadRegister(TThumbCore::XPSR), 0x01000000u);
}

} // namespace
