#include "bsdl-entity-builder.h"

#include "device-catalogue.h"

#include <string>

namespace {

std::wstring_view Text(const wchar_t* AText) {
  return AText ? std::wstring_view(AText) : std::wstring_view();
}

std::wstring Key(std::wstring_view AText) {
  return UpperCaseAscii(AText);
}

template <typename T> T* Lookup(const std::map<std::wstring, T*>& AIndex, std::wstring_view AKey) {
  auto at = AIndex.find(Key(AKey));
  return at == AIndex.end() ? nullptr : at->second;
}

void CheckCount(std::int32_t ACount, std::int32_t AMax, const char* AWhat) {
  if (ACount < 0 || ACount > AMax)
    throw EBSDLBuildError(std::string("boundary-scan record: ") + AWhat + " count " +
                          std::to_string(ACount) + " is outside 0.." + std::to_string(AMax));
}

} // namespace

int BSDLNameIndex(std::wstring_view AName, std::span<const TBSDLRecord> ARecords) {
  int found = 0;
  for (std::size_t i = 0; i < ARecords.size(); ++i)
    if (SameTextIgnoringCase(Text(ARecords[i].Filename), AName))
      found = static_cast<int>(i);
  return found;
}

std::unique_ptr<TBSDLEntity> TBSDLEntityBuilder::Build() {
  const TBSDLRecord& r = FRecord;
  CheckCount(r.PinCount, MaxBSDLPins, "pin");
  CheckCount(r.BoundaryCellCount, MaxBSDLCells, "cell");
  CheckCount(r.OpCodeCount, MaxBSDLOpCodes, "op-code");
  CheckCount(r.RegisterAssociationCount, MaxBSDLRegisterAssociations, "register association");

  // The index lists serve this build alone: a part made for another entity
  // must never be handed to this one.
  FScanPins.clear();
  FBoundaryCells.clear();
  FPinMappings.clear();
  FOpCodes.clear();
  FRegisterAssociations.clear();

  auto entity = std::make_unique<TBSDLEntity>();
  FEntity = entity.get();
  entity->Name = Text(r.Name);
  entity->BoundaryLength = r.BoundaryLength;
  entity->ScanClockMaxSpeed = r.ScanClockMaxSpeed;
  entity->ScanClockHaltMode = r.ScanClockHaltMode;
  entity->ConformanceStatement = Text(r.ConformanceStatement);
  entity->CompliancePattern = Text(r.CompliancePattern);
  entity->Filename = Text(r.Filename);
  entity->Instruction_SAMPLE = r.Instruction_SAMPLE;

  // Cells first, without pins: the pins list their cells, and a cell learns
  // its pin once all pins exist.
  for (int i = 0; i < r.BoundaryCellCount; ++i)
    entity->AddBoundaryCell(FindOrMakeCell(r.BoundaryCells[i]));
  for (int i = 0; i < r.PinCount; ++i)
    entity->AddPin(FindOrMakeScanPin(r.Pins[i]));

  entity->TAP_TDI = FindScanPin(Text(r.PinNumber_TDI));
  entity->TAP_TDO = FindScanPin(Text(r.PinNumber_TDO));
  entity->TAP_TMS = FindScanPin(Text(r.PinNumber_TMS));
  entity->TAP_TCK = FindScanPin(Text(r.PinNumber_TCK));
  entity->TAP_TRST = FindScanPin(Text(r.PinNumber_TRST));

  for (int i = 0; i < r.BoundaryCellCount; ++i) {
    const TBoundaryCellParameters& c = r.BoundaryCells[i];
    TBoundaryCell* cell = FindCell(c.CellNumber);
    if (!cell)
      continue;
    cell->SetPin(FindScanPin(Text(c.PinNumber)));
    if (c.ControlCellNumber != -1)
      cell->SetControlCell(CellOrThrow(c.ControlCellNumber));
    if (c.TargetCellNumber != -1)
      cell->SetTargetCell(CellOrThrow(c.TargetCellNumber));
  }

  for (int i = 0; i < r.OpCodeCount; ++i)
    entity->AddInstructionOpCode(FindOrMakeOpCode(r.OpCodes[i]));
  for (int i = 0; i < r.RegisterAssociationCount; ++i)
    entity->AddRegisterAssociation(FindOrMakeRegisterAssociation(r.RegisterAssociations[i]));
  FEntity = nullptr;
  return entity;
}

TBoundaryCell* TBSDLEntityBuilder::FindCell(std::int32_t ACellNumber) const {
  return Lookup(FBoundaryCells, std::to_wstring(ACellNumber));
}

TScanPin* TBSDLEntityBuilder::FindScanPin(std::wstring_view APinNumber) const {
  return APinNumber.empty() ? nullptr : Lookup(FScanPins, APinNumber);
}

TPinMapping* TBSDLEntityBuilder::FindPinMapping(std::wstring_view APinNumber) const {
  return Lookup(FPinMappings, APinNumber);
}

TInstructionOpCode* TBSDLEntityBuilder::FindOpCode(std::wstring_view AInstructionName) const {
  return Lookup(FOpCodes, AInstructionName);
}

TRegisterAssociation*
TBSDLEntityBuilder::FindRegisterAssociation(std::wstring_view ARegisterName) const {
  return Lookup(FRegisterAssociations, ARegisterName);
}

TBoundaryCell* TBSDLEntityBuilder::CellOrThrow(std::int32_t ACellNumber) const {
  TBoundaryCell* cell = FindCell(ACellNumber);
  if (!cell)
    throw EBSDLBuildError("boundary-scan record: no cell " + std::to_string(ACellNumber));
  return cell;
}

TBoundaryCell* TBSDLEntityBuilder::FindOrMakeCell(const TBoundaryCellParameters& ACell) {
  if (TBoundaryCell* found = FindCell(ACell.CellNumber))
    return found;
  TBoundaryCell* cell = TBoundaryCell::Create(*FEntity);
  cell->SetCellNumber(ACell.CellNumber);
  cell->SetCellKind(ACell.CellKind);
  cell->SetPortId(std::wstring(Text(ACell.PortId)));
  cell->SetCellFunction(ACell.CellFunction);
  cell->SetSafeBit(ACell.SafeBit);
  cell->SetControlCellNumber(ACell.ControlCellNumber);
  cell->SetDisableValue(ACell.DisableValue);
  cell->SetDisableResult(ACell.DisableResult);
  cell->SetPin(nullptr);
  FBoundaryCells.emplace(Key(std::to_wstring(ACell.CellNumber)), cell);
  return cell;
}

TScanPin* TBSDLEntityBuilder::FindOrMakeScanPin(const TScanPinParameters& APin) {
  if (TScanPin* found = FindScanPin(Text(APin.PinNumber)))
    return found;
  CheckCount(APin.BoundaryCellCount, 2, "pin cell");
  TScanPin* pin = TScanPin::Create(*FEntity);
  pin->SetDirection(APin.Direction);
  pin->SetPinName(std::wstring(Text(APin.PinName)));
  pin->SetPinNumber(std::wstring(Text(APin.PinNumber)));
  pin->SetKind(APin.Kind);
  // The mapping is made before the pin is registered, so a new mapping finds
  // no scan pin under its number and keeps none.
  pin->SetPinMapping(FindOrMakePinMapping(APin.PinMapping));
  for (int i = 0; i < APin.BoundaryCellCount; ++i)
    pin->AddBoundaryCell(CellOrThrow(APin.BoundaryCells[i]));
  FScanPins.emplace(Key(Text(APin.PinNumber)), pin);
  return pin;
}

TPinMapping* TBSDLEntityBuilder::FindOrMakePinMapping(const TPinMappingParameters& AMapping) {
  if (TPinMapping* found = FindPinMapping(Text(AMapping.PinNumber)))
    return found;
  TPinMapping* mapping = TPinMapping::Create(*FEntity);
  mapping->SetPinName(std::wstring(Text(AMapping.PinName)));
  mapping->SetPinNumber(std::wstring(Text(AMapping.PinNumber)));
  mapping->SetScanPin(FindScanPin(Text(AMapping.PinNumber)));
  FPinMappings.emplace(Key(Text(AMapping.PinNumber)), mapping);
  return mapping;
}

TInstructionOpCode* TBSDLEntityBuilder::FindOrMakeOpCode(const TOpCodeParameters& AOpCode) {
  // A second record under a name already made answers the first object: the
  // entity lists the one BYPASS op-code at every BYPASS position.
  if (TInstructionOpCode* found = FindOpCode(Text(AOpCode.InstructionName)))
    return found;
  TInstructionOpCode* opCode = TInstructionOpCode::Create(*FEntity);
  opCode->SetInstructionName(std::wstring(Text(AOpCode.InstructionName)));
  opCode->SetOpCodePattern(std::wstring(Text(AOpCode.OpCodePattern)));
  FOpCodes.emplace(Key(Text(AOpCode.InstructionName)), opCode);
  return opCode;
}

TRegisterAssociation*
TBSDLEntityBuilder::FindOrMakeRegisterAssociation(const TRegisterAssociationParameters& ARA) {
  if (TRegisterAssociation* found = FindRegisterAssociation(Text(ARA.RegisterName)))
    return found;
  CheckCount(ARA.OpCodeCount, MaxBSDLRegisterOpCodes, "register op-code");
  TRegisterAssociation* ra = TRegisterAssociation::Create(*FEntity);
  ra->SetRegisterName(std::wstring(Text(ARA.RegisterName)));
  ra->SetRegisterLength(ARA.RegisterLength);
  for (int i = 0; i < ARA.OpCodeCount; ++i) {
    TInstructionOpCode* opCode = FindOpCode(Text(ARA.OpCodes[i].InstructionName));
    if (!opCode)
      throw EBSDLBuildError(
          "boundary-scan record: register " +
          std::string(Text(ARA.RegisterName).begin(), Text(ARA.RegisterName).end()) +
          " names an unknown op-code");
    ra->AddOpCode(opCode);
  }
  FRegisterAssociations.emplace(Key(Text(ARA.RegisterName)), ra);
  return ra;
}

TBSDLEntityCache::TBSDLEntityCache(std::span<const TBSDLRecord> ARecords)
    : FRecords(ARecords), FSlots(ARecords.size()) {}

TBSDLEntity* TBSDLEntityCache::GetEntity(std::wstring_view AFilename) {
  bool known = false;
  for (const TBSDLRecord& record : FRecords)
    known = known || SameTextIgnoringCase(Text(record.Filename), AFilename);
  if (!known)
    return nullptr;
  std::unique_ptr<TBSDLEntity>& slot = FSlots[BSDLNameIndex(AFilename, FRecords)];
  if (!slot)
    slot = BuildBSDLEntity(FRecords[BSDLNameIndex(AFilename, FRecords)]);
  return slot.get();
}

TBSDLEntity* TBSDLEntityCache::GetEntityForKind(int AKind) {
  return GetEntity(DeviceBSDLName(AKind));
}
