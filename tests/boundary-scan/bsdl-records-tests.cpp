#include "bsdl-entity-builder.h"
#include "device-catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::string Narrow(std::wstring_view AText) {
  return std::string(AText.begin(), AText.end());
}

TScanPin* PinByNumber(const TBSDLEntity& AEntity, std::wstring_view ANumber) {
  for (TScanPin* pin : AEntity.Pins)
    if (pin->PinNumber == ANumber)
      return pin;
  return nullptr;
}

int PackagePins(int AKind) {
  // The package name ends in its pin count ("LQFP48", "BGA108").
  std::wstring name = DevicePackageInfo(AKind).Name;
  auto digits = std::find_if(name.begin(), name.end(), [](wchar_t c) { return std::iswdigit(c); });
  return std::stoi(std::wstring(digits, name.end()));
}

class KindZeroEntity : public ::testing::Test {
protected:
  TBSDLEntityCache FCache;
  TBSDLEntity* FEntity = FCache.GetEntityForKind(0);
};

TEST_F(KindZeroEntity, TwoRequestsAnswerTheSameEntity) {
  ASSERT_NE(FEntity, nullptr);
  EXPECT_EQ(FCache.GetEntityForKind(0), FEntity);
  EXPECT_EQ(FCache.GetEntity(L"LM3S101_RC2_LQFP_V1P0.BSDL"), FEntity);
}

TEST_F(KindZeroEntity, CarriesTheRecordFields) {
  EXPECT_EQ(FEntity->Name, L"LM3S101");
  EXPECT_EQ(FEntity->Filename, L"lm3s101_rc2_lqfp_v1p0.bsdl");
  EXPECT_EQ(FEntity->BoundaryLength, 40);
  EXPECT_EQ(FEntity->BoundaryCells.size(), 40u);
  EXPECT_EQ(FEntity->Pins.size(), 48u);
  EXPECT_EQ(FEntity->ScanClockMaxSpeed, 10000000.0);
  EXPECT_EQ(FEntity->ScanClockHaltMode, eScanClockHaltMode_Both);
  EXPECT_EQ(FEntity->ConformanceStatement, L"STD_1149_1_1993");
  EXPECT_EQ(FEntity->CompliancePattern, L"");
  EXPECT_EQ(FEntity->Instruction_SAMPLE, 2u);
  // Not in the record: they keep what a new entity has.
  EXPECT_EQ(FEntity->IdCode, 0u);
  EXPECT_EQ(FEntity->InstructionLength, 0);
  EXPECT_EQ(FEntity->Instruction_BYPASS, 0xFFFFFFFFu);
  EXPECT_TRUE(FEntity->PinMappings.empty());
  EXPECT_TRUE(FEntity->RegisterAssociations.empty());
}

TEST_F(KindZeroEntity, TestAccessPinsSitOnTheirPackagePins) {
  struct TCase {
    TScanPin* Pin;
    const wchar_t* Number;
    TScanPinKind Kind;
  };
  const std::vector<TCase> cases = {{FEntity->TAP_TDI, L"38", eScanPinKind_TDI},
                                    {FEntity->TAP_TDO, L"37", eScanPinKind_TDO},
                                    {FEntity->TAP_TMS, L"39", eScanPinKind_TMS},
                                    {FEntity->TAP_TCK, L"40", eScanPinKind_TCK},
                                    {FEntity->TAP_TRST, L"41", eScanPinKind_TRST}};
  for (const auto& c : cases) {
    ASSERT_NE(c.Pin, nullptr) << Narrow(c.Number);
    EXPECT_EQ(c.Pin->PinNumber, c.Number);
    EXPECT_EQ(c.Pin->Kind, c.Kind);
    EXPECT_EQ(PinByNumber(*FEntity, c.Number), c.Pin);
  }
}

TEST_F(KindZeroEntity, BypassPositionsShareOneOpCode) {
  const std::vector<std::pair<const wchar_t*, const wchar_t*>> expected = {
      {L"EXTEST", L"0000"}, {L"INTEST", L"0001"}, {L"SAMPLE", L"0010"}, {L"BYPASS", L"0011"},
      {L"BYPASS", L"0011"}, {L"BYPASS", L"0011"}, {L"BYPASS", L"0011"}, {L"BYPASS", L"0011"},
      {L"ABORT", L"1000"},  {L"BYPASS", L"0011"}, {L"DPACC", L"1010"},  {L"APACC", L"1011"},
      {L"BYPASS", L"0011"}, {L"BYPASS", L"0011"}, {L"IDCODE", L"1110"}, {L"BYPASS", L"0011"}};
  ASSERT_EQ(FEntity->InstructionOpCodes.size(), 16u);
  for (std::size_t i = 0; i < 16; ++i) {
    EXPECT_EQ(FEntity->InstructionOpCodes[i]->InstructionName, expected[i].first) << i;
    EXPECT_EQ(FEntity->InstructionOpCodes[i]->OpCodePattern, expected[i].second) << i;
  }
  TInstructionOpCode* bypass = FEntity->InstructionOpCodes[3];
  for (int i : {3, 4, 5, 6, 7, 9, 12, 13, 15})
    EXPECT_EQ(FEntity->InstructionOpCodes[i], bypass) << i;
  std::set<TInstructionOpCode*> distinct(FEntity->InstructionOpCodes.begin(),
                                         FEntity->InstructionOpCodes.end());
  EXPECT_EQ(distinct.size(), 8u);
}

TEST_F(KindZeroEntity, ControlAndOutputCellsPointAtEachOther) {
  const auto& cells = FEntity->BoundaryCells;
  EXPECT_EQ(cells[0]->TargetCell, cells[1]);
  EXPECT_EQ(cells[0]->ControlCell, nullptr);
  EXPECT_EQ(cells[0]->PortId, L"*");
  EXPECT_EQ(cells[0]->Pin, nullptr);
  EXPECT_EQ(cells[1]->ControlCell, cells[0]);
  EXPECT_EQ(cells[1]->TargetCell, nullptr);
  EXPECT_EQ(cells[1]->ControlCellNumber, 0);
  EXPECT_EQ(cells[1]->PortId, L"PB3");
  EXPECT_EQ(cells[2]->ControlCell, nullptr);
  EXPECT_EQ(cells[2]->TargetCell, nullptr);
  EXPECT_EQ(cells[2]->PortId, L"PB3");
  EXPECT_EQ(cells[1]->GetDescription(),
            L"1   (BC_1      ,PB3       ,Output3   ,X ,0   ,1 ,Z         , Pin:PB3");
}

TEST_F(KindZeroEntity, PinThirtyFourListsOutputThenInputAndItsMappingHasNoScanPin) {
  TScanPin* pin = PinByNumber(*FEntity, L"34");
  ASSERT_NE(pin, nullptr);
  EXPECT_EQ(pin->PinName, L"PB3");
  ASSERT_EQ(pin->BoundaryCells.size(), 2u);
  EXPECT_EQ(pin->BoundaryCells[0], FEntity->BoundaryCells[1]);
  EXPECT_EQ(pin->BoundaryCells[1], FEntity->BoundaryCells[2]);
  EXPECT_EQ(FEntity->BoundaryCells[1]->Pin, pin);
  EXPECT_EQ(FEntity->BoundaryCells[2]->Pin, pin);
  ASSERT_NE(pin->PinMapping, nullptr);
  EXPECT_EQ(pin->PinMapping->PinName, L"PB3");
  EXPECT_EQ(pin->PinMapping->PinNumber, L"34");
  EXPECT_EQ(pin->PinMapping->ScanPin, nullptr);
}

TEST_F(KindZeroEntity, ResetPinHasTheClockInputCellAndPinOneIsUnconnected) {
  TScanPin* reset = PinByNumber(*FEntity, L"5");
  ASSERT_NE(reset, nullptr);
  EXPECT_EQ(reset->PinName, L"RST");
  EXPECT_EQ(reset->Direction, eElectricInput);
  ASSERT_EQ(reset->BoundaryCells.size(), 1u);
  EXPECT_EQ(reset->BoundaryCells[0], FEntity->BoundaryCells[30]);
  EXPECT_EQ(FEntity->BoundaryCells[30]->CellKind, eCellKind_BC_4);
  EXPECT_EQ(FEntity->BoundaryCells[30]->CellFunction, eCellFunction_Clock);
  TScanPin* one = PinByNumber(*FEntity, L"1");
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(one->PinName, L"NC");
  EXPECT_TRUE(one->BoundaryCells.empty());
}

TEST(BSDLEntityCache, EachCacheBuildsItsOwnEntity) {
  TBSDLEntityCache first, second;
  TBSDLEntity* a = first.GetEntityForKind(0);
  TBSDLEntity* b = second.GetEntityForKind(0);
  ASSERT_NE(a, nullptr);
  EXPECT_NE(a, b);
  EXPECT_EQ(a->Name, b->Name);
}

TEST(BSDLEntityCache, UnknownFileGivesNoEntityAndAnUnknownKindThrows) {
  TBSDLEntityCache cache;
  EXPECT_EQ(cache.GetEntity(L"no_such_file.bsdl"), nullptr);
  EXPECT_EQ(cache.GetEntity(L""), nullptr);
  EXPECT_THROW(cache.GetEntityForKind(-1), std::out_of_range);
  EXPECT_THROW(cache.GetEntityForKind(DeviceKindCount), std::out_of_range);
}

TEST(BSDLEntityCache, KindsSharingAFileShareItsEntity) {
  TBSDLEntityCache cache;
  // Every kind of one cache that names the same file gets the same entity,
  // and that entity describes the file the kind names.
  for (int kind : {0, 1, 2, 3}) {
    TBSDLEntity* entity = cache.GetEntityForKind(kind);
    ASSERT_NE(entity, nullptr);
    EXPECT_EQ(entity->Filename, DeviceBSDLName(kind));
    EXPECT_EQ(entity, cache.GetEntity(DeviceBSDLName(kind)));
  }
}

TEST(BSDLNameIndex, IgnoresCaseAndAnswersZeroForAnUnknownName) {
  struct TCase {
    const wchar_t* Name;
    int Index;
  };
  const std::vector<TCase> cases = {{L"LM3S101_RC2_LQFP_V1P0.BSDL", 0},
                                    {L"lm3s101_rc2_qfn_v1p0.bsdl", 1},
                                    {L"Spmm064_LM3S1968_ra2_lqfp_v1p0.bsdl", -1},
                                    {L"LM3S9997_RC0_BGA_V1P0.BSDL", 301},
                                    {L"lm3s9997_rc0_bga_v1p0", 0},
                                    {L"", 0},
                                    {L"unknown.bsdl", 0}};
  for (const auto& c : cases) {
    int expected = c.Index;
    if (expected < 0) {
      for (int i = 0; i < BSDLNameCount; ++i)
        if (std::wstring_view(TBSDLNames[i]) == L"SPMM064_lm3s1968_ra2_lqfp_v1p0.bsdl")
          expected = i;
      ASSERT_GT(expected, 0);
    }
    EXPECT_EQ(BSDLNameIndex(c.Name), expected) << Narrow(c.Name);
  }
}

TEST(BSDLRecords, TRSTIsMissingFromNinetyFiveFilesAndTheirEntitiesHaveNoTRSTPin) {
  int withoutTRST = 0;
  for (int i = 0; i < BSDLNameCount; ++i) {
    const TBSDLRecord& record = TBSDLParameters[i];
    if (std::wstring_view(record.PinNumber_TRST).empty()) {
      ++withoutTRST;
      auto entity = BuildBSDLEntity(record);
      EXPECT_EQ(entity->TAP_TRST, nullptr) << Narrow(record.Filename);
      EXPECT_NE(entity->TAP_TDI, nullptr) << Narrow(record.Filename);
      for (TScanPin* pin : entity->Pins)
        EXPECT_NE(pin->Kind, eScanPinKind_TRST) << Narrow(record.Filename);
    }
  }
  EXPECT_EQ(withoutTRST, 95);
}

// The rules every compiled-in record keeps, checked over the records and over
// the entities built from them.
class EveryRecord : public ::testing::TestWithParam<int> {
protected:
  const TBSDLRecord& FRecord = TBSDLParameters[GetParam()];
};

TEST_P(EveryRecord, FollowsTheRecordRules) {
  const TBSDLRecord& r = FRecord;
  EXPECT_EQ(std::wstring_view(r.Filename), TBSDLNames[GetParam()]);
  EXPECT_EQ(r.ScanClockMaxSpeed, 10000000.0);
  EXPECT_EQ(r.ScanClockHaltMode, eScanClockHaltMode_Both);
  EXPECT_EQ(std::wstring_view(r.ConformanceStatement), L"STD_1149_1_1993");
  EXPECT_EQ(std::wstring_view(r.CompliancePattern), L"");
  EXPECT_EQ(r.Instruction_SAMPLE, 2u);
  EXPECT_EQ(r.RegisterAssociationCount, 0);
  EXPECT_EQ(r.OpCodeCount, 16);

  EXPECT_EQ(r.BoundaryCellCount, r.BoundaryLength);
  EXPECT_GE(r.BoundaryLength, 40);
  EXPECT_LE(r.BoundaryLength, 204);
  for (int i = 0; i < r.BoundaryCellCount; ++i) {
    const TBoundaryCellParameters& c = r.BoundaryCells[i];
    SCOPED_TRACE("cell " + std::to_string(i));
    EXPECT_EQ(c.CellNumber, i);
    EXPECT_FALSE(c.ControlCellNumber != -1 && c.TargetCellNumber != -1);
    switch (c.CellFunction) {
    case eCellFunction_Control:
      EXPECT_EQ(c.CellKind, eCellKind_BC_1);
      EXPECT_EQ(c.SafeBit, eBit_1);
      EXPECT_EQ(c.DisableValue, eBit_0);
      EXPECT_EQ(c.DisableResult, eDisableResult_Undefined);
      EXPECT_EQ(std::wstring_view(c.PortId), L"*");
      EXPECT_EQ(std::wstring_view(c.PinNumber), L"");
      ASSERT_GE(c.TargetCellNumber, 0);
      ASSERT_LT(c.TargetCellNumber, r.BoundaryCellCount);
      EXPECT_EQ(r.BoundaryCells[c.TargetCellNumber].ControlCellNumber, i);
      break;
    case eCellFunction_Output3:
      EXPECT_EQ(c.CellKind, eCellKind_BC_1);
      EXPECT_EQ(c.SafeBit, eBit_X);
      EXPECT_EQ(c.DisableValue, eBit_1);
      EXPECT_EQ(c.DisableResult, eDisableResult_HiZ);
      ASSERT_GE(c.ControlCellNumber, 0);
      ASSERT_LT(c.ControlCellNumber, r.BoundaryCellCount);
      EXPECT_EQ(r.BoundaryCells[c.ControlCellNumber].TargetCellNumber, i);
      break;
    case eCellFunction_Input:
    case eCellFunction_Clock:
      EXPECT_EQ(c.CellKind,
                c.CellFunction == eCellFunction_Input ? eCellKind_BC_1 : eCellKind_BC_4);
      EXPECT_EQ(c.SafeBit, eBit_X);
      EXPECT_EQ(c.DisableValue, eBit_0);
      EXPECT_EQ(c.DisableResult, eDisableResult_Undefined);
      EXPECT_EQ(c.ControlCellNumber, -1);
      EXPECT_EQ(c.TargetCellNumber, -1);
      break;
    default:
      ADD_FAILURE() << "a cell of none of the four shapes";
    }
    if (c.CellFunction != eCellFunction_Control) {
      EXPECT_NE(std::wstring_view(c.PortId), L"*");
      EXPECT_NE(std::wstring_view(c.PinNumber), L"");
    }
  }

  std::set<std::wstring> numbers;
  for (int i = 0; i < r.PinCount; ++i) {
    const TScanPinParameters& p = r.Pins[i];
    SCOPED_TRACE("pin " + Narrow(p.PinNumber));
    EXPECT_TRUE(numbers.insert(p.PinNumber).second) << "pin listed twice";
    EXPECT_EQ(std::wstring_view(p.PinMapping.PinName), p.PinName);
    EXPECT_EQ(std::wstring_view(p.PinMapping.PinNumber), p.PinNumber);
    ASSERT_GE(p.BoundaryCellCount, 0);
    ASSERT_LE(p.BoundaryCellCount, 2);
    for (int k = 0; k < p.BoundaryCellCount; ++k) {
      ASSERT_GE(p.BoundaryCells[k], 0);
      ASSERT_LT(p.BoundaryCells[k], r.BoundaryCellCount);
      EXPECT_EQ(std::wstring_view(r.BoundaryCells[p.BoundaryCells[k]].PinNumber), p.PinNumber);
    }
    if (p.BoundaryCellCount == 2) {
      EXPECT_EQ(r.BoundaryCells[p.BoundaryCells[0]].CellFunction, eCellFunction_Output3);
      EXPECT_EQ(r.BoundaryCells[p.BoundaryCells[1]].CellFunction, eCellFunction_Input);
    } else if (p.BoundaryCellCount == 1) {
      EXPECT_EQ(r.BoundaryCells[p.BoundaryCells[0]].CellFunction, eCellFunction_Clock);
    } else {
      const bool noSignal = p.Kind != eScanPinKind_Normal || p.Direction == eElectricPassive;
      EXPECT_TRUE(noSignal) << "a signal pin without cells";
    }
    for (int k = p.BoundaryCellCount; k < 2; ++k)
      EXPECT_EQ(p.BoundaryCells[k], -1);
  }

  const std::vector<std::pair<const wchar_t*, TScanPinKind>> taps = {
      {r.PinNumber_TDI, eScanPinKind_TDI},
      {r.PinNumber_TDO, eScanPinKind_TDO},
      {r.PinNumber_TMS, eScanPinKind_TMS},
      {r.PinNumber_TCK, eScanPinKind_TCK},
      {r.PinNumber_TRST, eScanPinKind_TRST}};
  for (const auto& [number, kind] : taps) {
    if (kind != eScanPinKind_TRST) {
      ASSERT_NE(std::wstring_view(number), L"");
    }
    for (int i = 0; i < r.PinCount; ++i)
      EXPECT_EQ(r.Pins[i].Kind == kind, std::wstring_view(r.Pins[i].PinNumber) == number)
          << Narrow(r.Pins[i].PinNumber);
  }
}

TEST_P(EveryRecord, HasThePinsOfEveryDeviceThatNamesIt) {
  std::set<std::wstring> recordPins;
  for (int i = 0; i < FRecord.PinCount; ++i)
    recordPins.insert(FRecord.Pins[i].PinNumber);
  int devices = 0;
  for (int kind = 0; kind < DeviceKindCount; ++kind) {
    if (DeviceRecord(kind).BSDLIndex != GetParam())
      continue;
    ++devices;
    SCOPED_TRACE(Narrow(DeviceFullName(kind)));
    EXPECT_EQ(FRecord.PinCount, PackagePins(kind));
    std::set<std::wstring> setPins;
    for (int i = 0; i < DevicePinCount(kind); ++i)
      setPins.insert(DevicePin(kind, i).PinNumber);
    EXPECT_EQ(recordPins, setPins);
  }
  EXPECT_GT(devices, 0);
}

TEST_P(EveryRecord, BuildsAnEntityWhosePartsMirrorTheRecord) {
  auto entity = BuildBSDLEntity(FRecord);
  ASSERT_EQ(static_cast<int>(entity->BoundaryCells.size()), FRecord.BoundaryLength);
  ASSERT_EQ(static_cast<int>(entity->Pins.size()), FRecord.PinCount);
  ASSERT_EQ(entity->InstructionOpCodes.size(), 16u);
  for (int i = 0; i < FRecord.BoundaryLength; ++i) {
    TBoundaryCell* cell = entity->BoundaryCells[i];
    EXPECT_EQ(cell->CellNumber, i);
    EXPECT_EQ(cell->FEntity, entity.get());
    if (cell->ControlCell) {
      EXPECT_EQ(cell->ControlCell->TargetCell, cell);
    }
    if (cell->TargetCell) {
      EXPECT_EQ(cell->TargetCell->ControlCell, cell);
    }
    if (cell->Pin) {
      const auto& pinCells = cell->Pin->BoundaryCells;
      EXPECT_NE(std::find(pinCells.begin(), pinCells.end(), cell), pinCells.end());
    }
  }
  for (TScanPin* pin : entity->Pins) {
    ASSERT_NE(pin->PinMapping, nullptr);
    EXPECT_EQ(pin->PinMapping->PinNumber, pin->PinNumber);
    EXPECT_EQ(pin->PinMapping->PinName, pin->PinName);
    for (TBoundaryCell* cell : pin->BoundaryCells)
      EXPECT_EQ(cell->Pin, pin);
  }
  for (TScanPin* tap : {entity->TAP_TDI, entity->TAP_TDO, entity->TAP_TMS, entity->TAP_TCK})
    ASSERT_NE(tap, nullptr);
  for (int i : {4, 5, 6, 7, 9, 12, 13, 15})
    EXPECT_EQ(entity->InstructionOpCodes[i], entity->InstructionOpCodes[3]);
}

INSTANTIATE_TEST_SUITE_P(AllFiles, EveryRecord, ::testing::Range(0, BSDLNameCount),
                         [](const ::testing::TestParamInfo<int>& AInfo) {
                           return "Record" + std::to_string(AInfo.param);
                         });

// Builds from a copy of record 0 that a test may spoil.
class SpoiltRecord : public ::testing::Test {
protected:
  std::unique_ptr<TBSDLRecord> FRecord = std::make_unique<TBSDLRecord>(TBSDLParameters[0]);

  int PinIndex(std::wstring_view ANumber) const {
    for (int i = 0; i < FRecord->PinCount; ++i)
      if (FRecord->Pins[i].PinNumber == ANumber)
        return i;
    return -1;
  }
};

TEST_F(SpoiltRecord, RebuildAfterAFailedBuildReusesNothingOfIt) {
  TBSDLEntityCache cache(std::span<const TBSDLRecord>(FRecord.get(), 1));
  // Fails after every cell and pin was made: cell 1 names a missing control.
  FRecord->BoundaryCells[1].ControlCellNumber = 999;
  EXPECT_THROW(cache.GetEntity(FRecord->Filename), EBSDLBuildError);

  FRecord->BoundaryCells[1].ControlCellNumber = 0;
  TBSDLEntity* entity = cache.GetEntity(FRecord->Filename);
  ASSERT_NE(entity, nullptr);
  EXPECT_EQ(entity->BoundaryCells[1]->ControlCellNumber, 0);
  EXPECT_EQ(entity->BoundaryCells[1]->ControlCell, entity->BoundaryCells[0]);
  for (TBoundaryCell* cell : entity->BoundaryCells)
    EXPECT_EQ(cell->FEntity, entity);
  for (TScanPin* pin : entity->Pins) {
    EXPECT_EQ(pin->FEntity, entity);
    EXPECT_EQ(pin->PinMapping->FEntity, entity);
  }
  for (TInstructionOpCode* opCode : entity->InstructionOpCodes)
    EXPECT_EQ(opCode->FEntity, entity);
  EXPECT_EQ(cache.GetEntity(FRecord->Filename), entity);
}

TEST_F(SpoiltRecord, BrokenRecordsAreRefused) {
  struct TCase {
    const char* What;
    void (*Spoil)(TBSDLRecord&, int APin34);
  };
  const std::vector<TCase> cases = {
      {"pin count above the array", [](TBSDLRecord& r, int) { r.PinCount = MaxBSDLPins + 1; }},
      {"negative cell count", [](TBSDLRecord& r, int) { r.BoundaryCellCount = -1; }},
      {"op-code count above the array", [](TBSDLRecord& r, int) { r.OpCodeCount = 17; }},
      {"pin with three cells", [](TBSDLRecord& r, int p) { r.Pins[p].BoundaryCellCount = 3; }},
      {"pin naming a missing cell", [](TBSDLRecord& r, int p) { r.Pins[p].BoundaryCells[1] = 40; }},
      {"target cell missing",
       [](TBSDLRecord& r, int) { r.BoundaryCells[0].TargetCellNumber = 77; }},
      {"register naming an unknown op-code",
       [](TBSDLRecord& r, int) {
         r.RegisterAssociationCount = 1;
         r.RegisterAssociations[0] = {L"USER1", 8, 1, {{L"USER1", L"1000"}}};
       }},
  };
  for (const auto& c : cases) {
    auto record = std::make_unique<TBSDLRecord>(TBSDLParameters[0]);
    c.Spoil(*record, PinIndex(L"34"));
    EXPECT_THROW(BuildBSDLEntity(*record), EBSDLBuildError) << c.What;
  }
}

TEST_F(SpoiltRecord, RegisterAssociationFindsItsOpCodesByName) {
  FRecord->RegisterAssociationCount = 1;
  FRecord->RegisterAssociations[0] = {L"DEVICE_ID", 32, 1, {{L"idcode", L""}}};
  auto entity = BuildBSDLEntity(*FRecord);
  ASSERT_EQ(entity->RegisterAssociations.size(), 1u);
  EXPECT_EQ(entity->RegisterAssociations[0]->GetDescription(), L"DEVICE_ID [32] (IDCODE(1110))");
  EXPECT_EQ(entity->RegisterAssociations[0]->InstructionOpCodes[0].second,
            entity->InstructionOpCodes[14]);
}

TEST_F(SpoiltRecord, ATestAccessPinNumberThatNoPinHasGivesNoPin) {
  FRecord->PinNumber_TMS = L"99";
  FRecord->PinNumber_TRST = L"";
  auto entity = BuildBSDLEntity(*FRecord);
  EXPECT_EQ(entity->TAP_TMS, nullptr);
  EXPECT_EQ(entity->TAP_TRST, nullptr);
  EXPECT_NE(entity->TAP_TDI, nullptr);
}

} // namespace
