#include "bsdl-model.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

template <typename T> struct TNameCase {
  T Value;
  const wchar_t* Name;
};

TEST(BSDLDisplayNames, PinElectricalNamesFollowTheOrdinals) {
  const std::vector<TNameCase<TPinElectrical>> cases = {{eElectricInput, L"Input"},
                                                        {eElectricIO, L"I/O"},
                                                        {eElectricOutput, L"Output"},
                                                        {eElectricOpenCollector, L"Open Collector"},
                                                        {eElectricPassive, L"Passive"},
                                                        {eElectricHiZ, L"HiZ"},
                                                        {eElectricOpenEmitter, L"Open Emitter"},
                                                        {eElectricPower, L"Power"}};
  for (const auto& c : cases)
    EXPECT_EQ(PinElectricalName(c.Value), c.Name) << int(c.Value);
}

TEST(BSDLDisplayNames, CellKindNamesFollowTheOrdinals) {
  const std::vector<TNameCase<TCellKind>> cases = {
      {eCellKind_Undefined, L""}, {eCellKind_BC_0, L"BC_0"}, {eCellKind_BC_1, L"BC_1"},
      {eCellKind_BC_2, L"BC_2"},  {eCellKind_BC_3, L"BC_3"}, {eCellKind_BC_4, L"BC_4"},
      {eCellKind_BC_5, L"BC_5"},  {eCellKind_BC_6, L"BC_6"}, {eCellKind_BC_7, L"BC_7"},
      {eCellKind_BC_8, L"BC_8"},  {eCellKind_BC_9, L"BC_9"}, {eCellKind_BC_10, L"BC_10"}};
  for (const auto& c : cases)
    EXPECT_EQ(CellKindName(c.Value), c.Name) << int(c.Value);
}

TEST(BSDLDisplayNames, CellFunctionNamesFollowTheOrdinals) {
  const std::vector<TNameCase<TCellFunction>> cases = {
      {eCellFunction_Undefined, L""},        {eCellFunction_Input, L"Input"},
      {eCellFunction_Clock, L"Clock"},       {eCellFunction_Output2, L"Output2"},
      {eCellFunction_Output3, L"Output3"},   {eCellFunction_Control, L"Control"},
      {eCellFunction_ControlR, L"ControlR"}, {eCellFunction_Internal, L"Internal"},
      {eCellFunction_BiDir, L"BiDir"},       {eCellFunction_ObserveOnly, L"ObserveOnly"}};
  for (const auto& c : cases)
    EXPECT_EQ(CellFunctionName(c.Value), c.Name) << int(c.Value);
}

TEST(BSDLDisplayNames, BitAndDisableResultNamesFollowTheOrdinals) {
  const std::vector<TNameCase<TBitValue>> bits = {
      {eBit_Undefined, L""}, {eBit_0, L"0"}, {eBit_1, L"1"}, {eBit_X, L"X"}};
  for (const auto& c : bits)
    EXPECT_EQ(BitValueName(c.Value), c.Name) << int(c.Value);
  const std::vector<TNameCase<TDisableResult>> results = {
      {eDisableResult_Undefined, L""},   {eDisableResult_HiZ, L"Z"},
      {eDisableResult_Weak0, L"Weak0"},  {eDisableResult_Weak1, L"Weak1"},
      {eDisableResult_Pull0, L"Pull0"},  {eDisableResult_Pull1, L"Pull1"},
      {eDisableResult_Keeper, L"Keeper"}};
  for (const auto& c : results)
    EXPECT_EQ(DisableResultName(c.Value), c.Name) << int(c.Value);
}

TEST(BSDLDisplayNames, AValueOutsideItsTypeHasTheEmptyName) {
  EXPECT_EQ(PinElectricalName(static_cast<TPinElectrical>(8)), L"");
  EXPECT_EQ(CellKindName(static_cast<TCellKind>(12)), L"");
  EXPECT_EQ(CellFunctionName(static_cast<TCellFunction>(200)), L"");
  EXPECT_EQ(BitValueName(static_cast<TBitValue>(4)), L"");
  EXPECT_EQ(DisableResultName(static_cast<TDisableResult>(7)), L"");
}

TEST(BSDLNameLookups, MatchIgnoringCaseAndAnswerUndefinedForUnknownText) {
  EXPECT_EQ(CellKindFromName(L"bc_4"), eCellKind_BC_4);
  EXPECT_EQ(CellKindFromName(L"BC_10"), eCellKind_BC_10);
  EXPECT_EQ(CellKindFromName(L"BC_11"), eCellKind_Undefined);
  EXPECT_EQ(CellFunctionFromName(L"OUTPUT3"), eCellFunction_Output3);
  EXPECT_EQ(CellFunctionFromName(L"observeonly"), eCellFunction_ObserveOnly);
  EXPECT_EQ(CellFunctionFromName(L"observe_only"), eCellFunction_Undefined);
  EXPECT_EQ(BitValueFromName(L"x"), eBit_X);
  EXPECT_EQ(BitValueFromName(L"1"), eBit_1);
  EXPECT_EQ(BitValueFromName(L""), eBit_Undefined);
  EXPECT_EQ(DisableResultFromName(L"z"), eDisableResult_HiZ);
  EXPECT_EQ(DisableResultFromName(L"KEEPER"), eDisableResult_Keeper);
  EXPECT_EQ(DisableResultFromName(L"HiZ"), eDisableResult_Undefined);
}

TEST(BSDLEntity, NewEntityIsEmptyWithEveryInstructionUndefined) {
  TBSDLEntity entity;
  EXPECT_EQ(entity.Name, L"");
  EXPECT_EQ(entity.BoundaryLength, 0);
  EXPECT_EQ(entity.InstructionLength, 0);
  EXPECT_EQ(entity.IdCode, 0u);
  for (std::uint32_t code :
       {entity.Instruction_BYPASS, entity.Instruction_EXTEST, entity.Instruction_IDCODE,
        entity.Instruction_USERCODE, entity.Instruction_CLAMP, entity.Instruction_HIGHZ,
        entity.Instruction_SAMPLE})
    EXPECT_EQ(code, 0xFFFFFFFFu);
  EXPECT_EQ(entity.ScanClockMaxSpeed, 0.0);
  EXPECT_EQ(entity.ScanClockHaltMode, eScanClockHaltMode_None);
  for (TScanPin* tap :
       {entity.TAP_TDI, entity.TAP_TDO, entity.TAP_TMS, entity.TAP_TCK, entity.TAP_TRST})
    EXPECT_EQ(tap, nullptr);
  EXPECT_TRUE(entity.Pins.empty());
  EXPECT_TRUE(entity.PinMappings.empty());
  EXPECT_TRUE(entity.BoundaryCells.empty());
  EXPECT_TRUE(entity.InstructionOpCodes.empty());
  EXPECT_TRUE(entity.RegisterAssociations.empty());
  EXPECT_TRUE(entity.Instruction_Private.empty());
  EXPECT_FALSE(entity.UsingLazyEvaluation);
  EXPECT_FALSE(entity.FProcessedBoundaryInfo);
  EXPECT_EQ(entity.Filename, L"");
  EXPECT_EQ(entity.LineNumber, 9999);
  EXPECT_EQ(entity.ColumnNumber, 9999);
}

TEST(BSDLEntity, ReaderEntityKeepsItsFileAndEvaluatesLazily) {
  TBSDLEntity entity(nullptr, L"chip.bsdl");
  EXPECT_EQ(entity.Filename, L"chip.bsdl");
  EXPECT_TRUE(entity.UsingLazyEvaluation);
  EXPECT_FALSE(entity.FProcessedBoundaryInfo);
}

TEST(BSDLEntity, AddersAppendInOrderAndAcceptTheSamePartTwice) {
  TBSDLEntity entity;
  TScanPin* a = TScanPin::Create(entity);
  TScanPin* b = TScanPin::Create(entity);
  entity.AddPin(b);
  entity.AddPin(a);
  entity.AddPin(b);
  EXPECT_EQ(entity.Pins, (std::vector<TScanPin*>{b, a, b}));
  EXPECT_EQ(a->FEntity, &entity);
  EXPECT_EQ(a->Entity, &entity);
}

// A part listed several times must still be freed exactly once.
struct TCountedOpCode : TInstructionOpCode {
  TCountedOpCode(TBSDLEntity* AEntity, int& ADestroyed)
      : TInstructionOpCode(AEntity), FDestroyed(ADestroyed) {}
  ~TCountedOpCode() override { ++FDestroyed; }
  int& FDestroyed;
};

TEST(BSDLEntity, FreesAPartListedSeveralTimesOnce) {
  int destroyed = 0;
  auto entity = std::make_unique<TBSDLEntity>();
  auto* bypass = entity->Adopt(std::make_unique<TCountedOpCode>(entity.get(), destroyed));
  for (int i = 0; i < 10; ++i)
    entity->AddInstructionOpCode(bypass);
  entity.reset();
  EXPECT_EQ(destroyed, 1);
}

TEST(BSDLParts, NewPartsHoldTheirDefaults) {
  TBSDLEntity entity;
  const TBoundaryCell* cell = TBoundaryCell::Create(entity);
  EXPECT_EQ(cell->CellNumber, -1);
  EXPECT_EQ(cell->CellKind, eCellKind_Undefined);
  EXPECT_EQ(cell->PortId, L"*");
  EXPECT_EQ(cell->SafeBit, eBit_X);
  EXPECT_EQ(cell->ControlCellNumber, -1);
  EXPECT_EQ(cell->DisableValue, eBit_0);
  EXPECT_EQ(cell->DisableResult, eDisableResult_Undefined);
  EXPECT_EQ(cell->CellFunction, eCellFunction_Undefined);
  EXPECT_EQ(cell->Pin, nullptr);
  EXPECT_EQ(cell->ControlCell, nullptr);
  EXPECT_EQ(cell->TargetCell, nullptr);
  const TScanPin* pin = TScanPin::Create(entity);
  EXPECT_EQ(pin->Direction, eElectricPassive);
  EXPECT_EQ(pin->Kind, eScanPinKind_Normal);
  EXPECT_EQ(pin->PinMapping, nullptr);
  EXPECT_EQ(pin->LinkedPortBitIndex, -1);
  EXPECT_TRUE(pin->BoundaryCells.empty());
  EXPECT_EQ(TInstructionOpCode::Create(entity)->InstructionCode, 0u);
  EXPECT_EQ(TRegisterAssociation::Create(entity)->RegisterLength, 0);
  EXPECT_EQ(entity.PartCount(), 4u);
  EXPECT_TRUE(entity.Pins.empty()) << "Create must not add to a list";
}

TEST(BSDLParts, ObjectCodesAreFixedPerClass) {
  TBSDLEntity entity;
  TBSDLObject base(&entity);
  const std::vector<std::pair<const TBSDLObject*, int>> cases = {
      {&base, 4},
      {TPinMapping::Create(entity), 4},
      {TScanPin::Create(entity), 19},
      {TBoundaryCell::Create(entity), 41},
      {TInstructionOpCode::Create(entity), 72},
      {TRegisterAssociation::Create(entity), 99}};
  for (const auto& [object, code] : cases)
    EXPECT_EQ(object->GetObjectCode(), code);
  EXPECT_EQ(base.GetDescription(), L"");
  EXPECT_EQ(TPinMapping::Create(entity)->GetShortDescription(), L"");
}

TEST(BSDLDescriptions, NewCellShowsNeitherControlPartNorPin) {
  TBSDLEntity entity;
  TBoundaryCell* cell = TBoundaryCell::Create(entity);
  TScanPin* pin = TScanPin::Create(entity);
  pin->SetPinName(L"PA0");
  cell->SetPin(pin);
  const std::wstring expected = L"-1  (          ,*         ,          ,X ";
  EXPECT_EQ(cell->GetDescription(), expected);
  EXPECT_EQ(cell->GetShortDescription(), expected);
}

TEST(BSDLDescriptions, CellsDescribeThemselvesPieceByPiece) {
  struct TCase {
    std::int32_t Number;
    TCellKind Kind;
    const wchar_t* Port;
    TCellFunction Function;
    TBitValue Safe;
    std::int32_t Control;
    TBitValue Disable;
    TDisableResult Result;
    const wchar_t* PinName; // nullptr: no pin
    const wchar_t* Expected;
  };
  const std::vector<TCase> cases = {
      {1, eCellKind_BC_1, L"PA0", eCellFunction_Output3, eBit_X, 13, eBit_0, eDisableResult_HiZ,
       L"PA0", L"1   (BC_1      ,PA0       ,Output3   ,X ,13  ,0 ,Z         , Pin:PA0"},
      {2, eCellKind_BC_1, L"PB3", eCellFunction_Output3, eBit_X, 0, eBit_1, eDisableResult_HiZ,
       nullptr, L"2   (BC_1      ,PB3       ,Output3   ,X ,0   ,1 ,Z         ,"},
      {30, eCellKind_BC_4, L"RST", eCellFunction_Clock, eBit_X, -1, eBit_0,
       eDisableResult_Undefined, L"RST", L"30  (BC_4      ,RST       ,Clock     ,X "},
      {12345, eCellKind_BC_10, L"A_VERY_LONG_PORT", eCellFunction_ObserveOnly, eBit_Undefined,
       123456, eBit_X, eDisableResult_Keeper, L"P",
       L"12345(BC_10     ,A_VERY_LONG_PORT,ObserveOnly,  ,123456,X ,Keeper    , Pin:P"},
  };
  for (const auto& c : cases) {
    TBSDLEntity entity;
    TBoundaryCell* cell = TBoundaryCell::Create(entity);
    cell->SetCellNumber(c.Number);
    cell->SetCellKind(c.Kind);
    cell->SetPortId(c.Port);
    cell->SetCellFunction(c.Function);
    cell->SetSafeBit(c.Safe);
    cell->SetControlCellNumber(c.Control);
    cell->SetDisableValue(c.Disable);
    cell->SetDisableResult(c.Result);
    if (c.PinName) {
      TScanPin* pin = TScanPin::Create(entity);
      pin->SetPinName(c.PinName);
      cell->SetPin(pin);
    }
    EXPECT_EQ(cell->GetDescription(), c.Expected);
  }
}

TEST(BSDLDescriptions, ScanPinsPadLongAndJoinShort) {
  TBSDLEntity entity;
  TScanPin* pin = TScanPin::Create(entity);
  EXPECT_EQ(pin->GetShortDescription(), L"()-Passive");
  EXPECT_EQ(pin->GetDescription(), L" Pin Name:             Number:             IO:Passive");
  pin->SetPinName(L"PB3");
  pin->SetPinNumber(L"34");
  pin->SetDirection(eElectricIO);
  EXPECT_EQ(pin->GetShortDescription(), L"PB3(34)-I/O");
  EXPECT_EQ(pin->GetDescription(), L" Pin Name:PB3          Number:34           IO:I/O");
  pin->SetPinName(L"A_NAME_LONGER_THAN_12");
  EXPECT_EQ(pin->GetShortDescription(), L"A_NAME_LONGER_THAN_12(34)-I/O");
  EXPECT_EQ(pin->GetDescription(), L" Pin Name:A_NAME_LONGER_THAN_12 Number:34           IO:I/O");
}

TEST(BSDLDescriptions, OpCodeShowsNameAndPattern) {
  TBSDLEntity entity;
  TInstructionOpCode* opCode = TInstructionOpCode::Create(entity);
  opCode->SetInstructionName(L"BYPASS");
  opCode->SetOpCodePattern(L"0011");
  EXPECT_EQ(opCode->GetDescription(), L"BYPASS(0011)");
  EXPECT_EQ(opCode->GetShortDescription(), L"BYPASS(0011)");
}

TEST(BSDLDescriptions, RegisterAssociationListsItsOpCodes) {
  TBSDLEntity entity;
  TRegisterAssociation* empty = TRegisterAssociation::Create(entity);
  empty->SetRegisterName(L"BYPASS");
  EXPECT_EQ(empty->GetDescription(), L"BYPASS     ()");

  TInstructionOpCode* idcode = TInstructionOpCode::Create(entity);
  idcode->SetInstructionName(L"IDCODE");
  idcode->SetOpCodePattern(L"1110");
  TInstructionOpCode* user = TInstructionOpCode::Create(entity);
  user->SetInstructionName(L"USER");
  user->SetOpCodePattern(L"1000");
  TRegisterAssociation* ra = TRegisterAssociation::Create(entity);
  ra->SetRegisterName(L"DEVICE_ID");
  ra->SetRegisterLength(32);
  ra->AddOpCode(idcode);
  ra->AddOpCode(user);
  EXPECT_EQ(ra->GetDescription(), L"DEVICE_ID [32] (IDCODE(1110),USER(1000))");
  EXPECT_EQ(ra->InstructionOpCodes[1].second, user);
}

TEST(BSDLParts, RegisterAssociationRefusesAMissingOpCode) {
  TBSDLEntity entity;
  TRegisterAssociation* ra = TRegisterAssociation::Create(entity);
  EXPECT_THROW(ra->AddOpCode(nullptr), std::invalid_argument);
  EXPECT_TRUE(ra->InstructionOpCodes.empty());
}

TEST(VHDLObjects, ObjectWithoutParserHasNoSourcePosition) {
  TVHDLObject object;
  EXPECT_EQ(object.LineNumber, 9999);
  EXPECT_EQ(object.ColumnNumber, 9999);
  EXPECT_EQ(object.Parser, nullptr);
  EXPECT_EQ(object.GetState_StringDescriptor(), L"");
}

TEST(VHDLObjects, ObjectListKeepsKeysSortedAndEqualKeysInOrderOfAddition) {
  TVHDLObjectList list;
  std::vector<TVHDLObject*> added;
  for (const wchar_t* key : {L"TDO", L"", L"A", L"TDO", L""}) {
    auto object = std::make_unique<TVHDLObject>();
    added.push_back(object.get());
    list.Add(key, std::move(object));
  }
  ASSERT_EQ(list.Count(), 5);
  const std::vector<std::wstring> keys = {L"", L"", L"A", L"TDO", L"TDO"};
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(list.Key(i), keys[i]);
  EXPECT_EQ(list.Object(0), added[1]);
  EXPECT_EQ(list.Object(1), added[4]);
  EXPECT_EQ(list.Object(3), added[0]);
  EXPECT_EQ(list.Object(4), added[3]);
  EXPECT_EQ(list.Find(L"TDO"), added[0]);
  EXPECT_EQ(list.Find(L"TD"), nullptr);
}

} // namespace
