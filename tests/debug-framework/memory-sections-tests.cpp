#include "host-call.h"
#include "memory-info.h"
#include "memory-sections.h"
#include "processor-info.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// DISPIDs the host uses on the memory map.
enum : DISPID {
  InfoDefaultRom = 503938,
  InfoDefaultRam = 503939,
  InfoDefaultFlash = 503940,
  InfoArchitectureCount = 503941,
  InfoLogicalCount = 503942,
  InfoLogicalSection = 503943,
  InfoArchitectureSection = 503944,
  InfoAddArchitecture = 503945,
  InfoAddLogical = 503946,
  BusGetIndex = 503917,
  BusGetBusName = 503918,
  BusSetIndex = 503926,
  BusSetBusName = 503927,
  BusSetBusType = 503929,
  BusSetStart = 503930,
  BusSetSize = 503931,
  BusChildCount = 503936,
  BusChildMap = 503937,
  LogicalGetIndex = 503891,
  LogicalGetBusName = 503892,
  LogicalGetParent = 503900,
  LogicalSetDefault = 503905,
  LogicalSetBusType = 503908,
  LogicalSetSize = 503910,
  LogicalSetStart = 503911,
  LogicalSetPhysicalType = 503913,
};

// A section object held the way the host holds one: by its IDispatch.
class THeld {
public:
  explicit THeld(TAbstractSupportService* AObject) : FObject(AObject) { FObject->AddRef(); }
  ~THeld() { FObject->Release(); }
  THeld(const THeld& AOther) : THeld(AOther.FObject) {}
  THeld& operator=(const THeld&) = delete;
  IDispatch* Get() const { return static_cast<IDispatch*>(FObject); }

private:
  TAbstractSupportService* FObject;
};

struct TBusSpec {
  const wchar_t* BusType;
  uint32_t Start;
  uint32_t Size;
};

THeld MakeBus(const TBusSpec& ASpec, const wchar_t* ABusName = L"", int32_t AIndex = 0) {
  THeld bus(new TDeviceMemoryArchitectureSection);
  EXPECT_EQ(HostCall(bus.Get(), BusSetBusType, {ArgText(ASpec.BusType)}), S_OK);
  EXPECT_EQ(HostCall(bus.Get(), BusSetStart, {ArgI8(ASpec.Start)}), S_OK);
  EXPECT_EQ(HostCall(bus.Get(), BusSetSize, {ArgI8(ASpec.Size)}), S_OK);
  EXPECT_EQ(HostCall(bus.Get(), BusSetBusName, {ArgText(ABusName)}), S_OK);
  EXPECT_EQ(HostCall(bus.Get(), BusSetIndex, {ArgI4(AIndex)}), S_OK);
  return bus;
}

THeld MakeLogical(const TBusSpec& ASpec, bool ADefault = false, const wchar_t* APhysical = L"") {
  THeld section(new TDeviceMemoryLogicalSection);
  EXPECT_EQ(HostCall(section.Get(), LogicalSetBusType, {ArgText(ASpec.BusType)}), S_OK);
  EXPECT_EQ(HostCall(section.Get(), LogicalSetStart, {ArgI8(ASpec.Start)}), S_OK);
  EXPECT_EQ(HostCall(section.Get(), LogicalSetSize, {ArgI8(ASpec.Size)}), S_OK);
  EXPECT_EQ(HostCall(section.Get(), LogicalSetDefault, {ArgBool(ADefault)}), S_OK);
  EXPECT_EQ(HostCall(section.Get(), LogicalSetPhysicalType, {ArgText(APhysical)}), S_OK);
  return section;
}

int32_t Add(const THeld& AInfo, DISPID ADispId, const THeld& ASection) {
  THostResult r;
  EXPECT_EQ(HostCall(AInfo.Get(), ADispId, {ArgObject(ASection.Get())}, r), S_OK);
  return r.Int();
}

IUnknown* Answered(const THeld& AObject, DISPID ADispId,
                   std::initializer_list<THostArg> AArgs = {}) {
  THostResult r;
  EXPECT_EQ(HostCall(AObject.Get(), ADispId, AArgs, r), S_OK);
  return IdentityOf(r.Object());
}

// ---- architecture sections: overlap rule ------------------------------------

struct TOverlapCase {
  const char* Name;
  std::vector<TBusSpec> Existing;
  TBusSpec New;
  int32_t Expected;
};

class ArchitectureOverlap : public testing::TestWithParam<TOverlapCase> {};

TEST_P(ArchitectureOverlap, AddArchitectureSectionRefusesOnlyRealOverlapsOfOneBusType) {
  const TOverlapCase& c = GetParam();
  THeld info(new TDeviceMemoryInformation);
  for (const TBusSpec& spec : c.Existing)
    ASSERT_EQ(Add(info, InfoAddArchitecture, MakeBus(spec)), 0);
  EXPECT_EQ(Add(info, InfoAddArchitecture, MakeBus(c.New)), c.Expected);
  THostResult count;
  ASSERT_EQ(HostCall(info.Get(), InfoArchitectureCount, {}, count), S_OK);
  EXPECT_EQ(count.Int(), int32_t(c.Existing.size()) + (c.Expected == 0 ? 1 : 0));
}

const TBusSpec Low{L"CODE", 0, 0x1000};
const TBusSpec High{L"CODE", 0x1000, 0x1000};

INSTANTIATE_TEST_SUITE_P(
    Table, ArchitectureOverlap,
    testing::Values(
        TOverlapCase{"AdjacentAbove", {Low}, High, 0},
        TOverlapCase{"AdjacentBelow", {High}, Low, 0},
        TOverlapCase{"StraddlingTheBoundary", {Low, High}, {L"CODE", 0x0FFF, 2}, -1},
        TOverlapCase{"OtherBusTypeBeside", {Low, High}, {L"SRAM", 0, 0x1000}, 0},
        TOverlapCase{"BusTypeIsCaseSensitive", {Low}, {L"code", 0, 0x1000}, 0},
        // The new section's last unit is the existing section's first.
        TOverlapCase{"OneUnitOverlapBelow", {High}, {L"CODE", 0, 0x1001}, -1},
        // The new section's first unit is the existing section's last.
        TOverlapCase{"OneUnitOverlapAbove", {Low}, {L"CODE", 0x0FFF, 0x1000}, -1},
        TOverlapCase{"Inside", {Low}, {L"CODE", 0x100, 0x10}, -1},
        TOverlapCase{"Covering", {{L"CODE", 0x100, 0x10}}, Low, -1},
        TOverlapCase{"SameRange", {Low}, Low, -1},
        // An empty section covers no address; it is not a 4 GiB one.
        TOverlapCase{"EmptyNewSection", {Low}, {L"CODE", 0x800, 0}, 0},
        TOverlapCase{"EmptyExistingSection", {{L"CODE", 0, 0}}, Low, 0},
        TOverlapCase{"EndingAtTopOfAddressSpace", {{L"CODE", 0xFFFFF000u, 0x1000}}, Low, 0},
        // A section running past 4 GiB does not wrap round to low addresses.
        TOverlapCase{
            "PastTopDoesNotWrap", {{L"CODE", 0x100, 0x100}}, {L"CODE", 0xFFFFFF00u, 0x200}, 0},
        TOverlapCase{"PastTopStillOverlapsBelowTop",
                     {{L"CODE", 0xFFFFF000u, 0x100}},
                     {L"CODE", 0xFFFFF0F0u, 0x20000},
                     -1}),
    [](const testing::TestParamInfo<TOverlapCase>& AInfo) {
      return std::string(AInfo.param.Name);
    });

// ---- logical sections: attach rule -----------------------------------------

struct TAttachCase {
  const char* Name;
  TBusSpec Section;
  int32_t Expected;
  int BusIndex; // into the fixture's buses; -1 when not attached
};

class LogicalAttach : public testing::TestWithParam<TAttachCase> {
protected:
  void SetUp() override {
    for (std::size_t i = 0; i < std::size(FSpecs); ++i) {
      FBuses.push_back(MakeBus(FSpecs[i], FNames[i], int32_t(i) + 1));
      ASSERT_EQ(Add(FInfo, InfoAddArchitecture, FBuses.back()), 0);
    }
  }
  const TBusSpec FSpecs[4] = {{L"CODE", 0, 0x1000},
                              {L"CODE", 0x1000, 0x1000},
                              {L"SRAM", 0, 0x1000},
                              {L"WRAP", 0x1000, 0x1000}};
  const wchar_t* FNames[4] = {L"Main", L"Second", L"Data", L"Wrap"};
  THeld FInfo{new TDeviceMemoryInformation};
  std::vector<THeld> FBuses;
};

TEST_P(LogicalAttach, AddLogicalSectionAttachesToTheFirstBusThatContainsIt) {
  const TAttachCase& c = GetParam();
  const THeld section = MakeLogical(c.Section);
  EXPECT_EQ(Add(FInfo, InfoAddLogical, section), c.Expected);
  THostResult count;
  ASSERT_EQ(HostCall(FInfo.Get(), InfoLogicalCount, {}, count), S_OK);
  EXPECT_EQ(count.Int(), c.BusIndex < 0 ? 0 : 1);
  for (std::size_t i = 0; i < FBuses.size(); ++i) {
    THostResult children;
    ASSERT_EQ(HostCall(FBuses[i].Get(), BusChildCount, {}, children), S_OK);
    EXPECT_EQ(children.Int(), int(i) == c.BusIndex ? 1 : 0) << "bus " << i;
  }
  THostResult name, index;
  ASSERT_EQ(HostCall(section.Get(), LogicalGetBusName, {}, name), S_OK);
  ASSERT_EQ(HostCall(section.Get(), LogicalGetIndex, {}, index), S_OK);
  if (c.BusIndex < 0) {
    EXPECT_EQ(Answered(section, LogicalGetParent), nullptr);
    EXPECT_EQ(name.Text(), L"");
    EXPECT_EQ(index.Int(), 0);
  } else {
    EXPECT_EQ(Answered(section, LogicalGetParent), IdentityOf(FBuses[c.BusIndex].Get()));
    EXPECT_EQ(name.Text(), FNames[c.BusIndex]);
    EXPECT_EQ(index.Int(), c.BusIndex + 1);
    EXPECT_EQ(Answered(FBuses[c.BusIndex], BusChildMap, {ArgI4(0)}), IdentityOf(section.Get()));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, LogicalAttach,
    testing::Values(TAttachCase{"InsideFirstBus", {L"CODE", 0x0800, 0x0800}, 0, 0},
                    TAttachCase{"OneUnitTooLongForFirstBus", {L"CODE", 0x0800, 0x0801}, -1, -1},
                    TAttachCase{"InsideSecondBus", {L"CODE", 0x1800, 0x0800}, 0, 1},
                    TAttachCase{"WholeBus", {L"CODE", 0x1000, 0x1000}, 0, 1},
                    TAttachCase{"OtherBusTypeSameRange", {L"SRAM", 0x0800, 0x0800}, 0, 2},
                    TAttachCase{"NoBusOfItsType", {L"DATA", 0, 0x10}, -1, -1},
                    TAttachCase{"StartsBelowEveryBus", {L"WRAP", 0x0FFF, 0x10}, -1, -1},
                    // Start + size wraps to 0x800, which a 32-bit sum would take as
                    // inside the bus.
                    TAttachCase{"EndPastTopDoesNotWrap", {L"WRAP", 0x1800, 0xFFFFF000u}, -1, -1}),
    [](const testing::TestParamInfo<TAttachCase>& AInfo) { return std::string(AInfo.param.Name); });

// ---- default sections ------------------------------------------------------

struct TDefaultCase {
  const char* Name;
  bool IsDefault;
  const wchar_t* PhysicalType;
  DISPID BecomesDefaultOf; // 0 for none
};

class DefaultSection : public testing::TestWithParam<TDefaultCase> {};

TEST_P(DefaultSection, AttachedDefaultSectionBecomesTheDefaultOfItsPhysicalType) {
  const TDefaultCase& c = GetParam();
  THeld info(new TDeviceMemoryInformation);
  ASSERT_EQ(Add(info, InfoAddArchitecture, MakeBus({L"CODE", 0, 0x10000})), 0);
  const THeld section = MakeLogical({L"CODE", 0, 0x100}, c.IsDefault, c.PhysicalType);
  ASSERT_EQ(Add(info, InfoAddLogical, section), 0);
  for (DISPID d : {InfoDefaultRom, InfoDefaultRam, InfoDefaultFlash})
    EXPECT_EQ(Answered(info, d), d == c.BecomesDefaultOf ? IdentityOf(section.Get()) : nullptr)
        << "DISPID " << d;
}

INSTANTIATE_TEST_SUITE_P(
    Table, DefaultSection,
    testing::Values(TDefaultCase{"RamInCapitals", true, L"RAM", InfoDefaultRam},
                    TDefaultCase{"Rom", true, L"rom", InfoDefaultRom},
                    TDefaultCase{"FlashMixedCase", true, L"Flash", InfoDefaultFlash},
                    TDefaultCase{"OtherPhysicalType", true, L"SRAM", 0},
                    TDefaultCase{"NotDefault", false, L"ram", 0}),
    [](const testing::TestParamInfo<TDefaultCase>& AInfo) {
      return std::string(AInfo.param.Name);
    });

TEST(MemoryInformation, SecondDefaultRamSectionReplacesTheFirst) {
  THeld info(new TDeviceMemoryInformation);
  ASSERT_EQ(Add(info, InfoAddArchitecture, MakeBus({L"SRAM", 0x20000000, 0x10000})), 0);
  const THeld first = MakeLogical({L"SRAM", 0x20000000, 0x100}, true, L"RAM");
  const THeld second = MakeLogical({L"SRAM", 0x20000100, 0x100}, true, L"ram");
  ASSERT_EQ(Add(info, InfoAddLogical, first), 0);
  ASSERT_EQ(Add(info, InfoAddLogical, second), 0);
  EXPECT_EQ(Answered(info, InfoDefaultRam), IdentityOf(second.Get()));
}

TEST(MemoryInformation, IndexesBeyondTheListsAnswerEmptySections) {
  THeld info(new TDeviceMemoryInformation);
  const THeld bus = MakeBus({L"CODE", 0, 0x1000});
  ASSERT_EQ(Add(info, InfoAddArchitecture, bus), 0);
  ASSERT_EQ(Add(info, InfoAddLogical, MakeLogical({L"CODE", 0, 0x10})), 0);
  for (DISPID d : {InfoLogicalSection, InfoArchitectureSection}) {
    EXPECT_NE(Answered(info, d, {ArgI4(0)}), nullptr);
    EXPECT_EQ(Answered(info, d, {ArgI4(1)}), nullptr);
    EXPECT_EQ(Answered(info, d, {ArgI8(0xFFFFFFFF)}), nullptr);
  }
  EXPECT_EQ(Answered(bus, BusChildMap, {ArgI4(1)}), nullptr);
}

// ---- processor information -------------------------------------------------

struct TCoreCase {
  TDeviceProcessor_Core Core;
  const wchar_t* Texts[5]; // core, architecture, family, tool chain, target
};

class ProcessorInformation : public testing::TestWithParam<TCoreCase> {};

TEST_P(ProcessorInformation, AnswersTheNamesOfItsCoreByDispid) {
  const TCoreCase& c = GetParam();
  THeld info(new TDeviceProcessorInformation(c.Core));
  const DISPID dispids[5] = {503888, 503887, 503886, 503890, 503889};
  for (int i = 0; i < 5; ++i) {
    THostResult r;
    ASSERT_EQ(HostCall(info.Get(), dispids[i], {}, r), S_OK);
    EXPECT_EQ(r.Text(), c.Texts[i]) << "DISPID " << dispids[i];
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProcessorInformation,
    testing::Values(TCoreCase{eDeviceProcessor_CORE_UNKNOWN,
                              {L"UNKNOWN", L"UNKNOWN", L"UNKNOWN", L"VORKANT UNKNOWN", L"UNKNOWN"}},
                    TCoreCase{eDeviceProcessor_CORE_ARM_CORTEX_M3,
                              {L"ARM_CORTEX_M3", L"ARMv7_M", L"CORTEX", L"VORKANT ARM", L"ARMv7M"}},
                    TCoreCase{eDeviceProcessor_CORE_ARM2a,
                              {L"ARM2a", L"ARMv2a", L"ARM3", L"VORKANT ARM", L"UNKNOWN"}},
                    TCoreCase{eDeviceProcessor_CORE_ARM_80200,
                              {L"ARM_80200", L"ARMv5TE", L"XSCALE", L"VORKANT ARM", L"XScale"}},
                    TCoreCase{eDeviceProcessor_CORE_ARM_IXP465,
                              {L"ARM_IXP465", L"ARMv5TE", L"XSCALE", L"VORKANT ARM", L"XScale"}},
                    TCoreCase{eDeviceProcessor_CORE_ARM_CORTEX_M0,
                              {L"ARM_CORTEX_M0", L"ARMv6_M", L"CORTEX", L"VORKANT ARM", L"ARMv6M"}},
                    TCoreCase{eDeviceProcessor_CORE_MicroBlaze,
                              {L"MicroBlaze", L"MicroBlaze", L"MicroBlaze", L"VORKANT MicroBlaze",
                               L"MB"}},
                    TCoreCase{eDeviceProcessor_CORE_MIPS32r2,
                              {L"MIPS32r2", L"MIPS", L"MIPS", L"VORKANT UNKNOWN", L"MIPS32r2"}},
                    TCoreCase{eDeviceProcessor_CORE_PPC_405,
                              {L"PPC_405", L"PowerPC", L"PowerPC", L"VORKANT PowerPC", L"405"}},
                    TCoreCase{eDeviceProcessor_CORE_CoreMP7,
                              {L"CoreMP7", L"ARMv4T", L"ARM7TDMI", L"VORKANT ARM", L"ARMv4T"}}));

TEST(CoreTable, OrdinalsFollowTheHostsNumbering) {
  EXPECT_EQ(int(eDeviceProcessor_CORE_ARM_CORTEX_M3), 55);
  EXPECT_EQ(int(eDeviceProcessor_CORE_VRK3000), 62);
  EXPECT_EQ(int(eDeviceProcessor_CORE_CoreMP7), DeviceProcessorCoreCount - 1);
  EXPECT_EQ(DeviceProcessorCoreCount, 75);
}

} // namespace
