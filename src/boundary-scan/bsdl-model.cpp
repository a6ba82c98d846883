#include "bsdl-model.h"

#include <stdexcept>

namespace {

template <typename T> T* MakePart(TBSDLEntity& AEntity) {
  return AEntity.Adopt(std::make_unique<T>(&AEntity));
}

} // namespace

TScanPin* TScanPin::Create(TBSDLEntity& AEntity) {
  return MakePart<TScanPin>(AEntity);
}
TPinMapping* TPinMapping::Create(TBSDLEntity& AEntity) {
  return MakePart<TPinMapping>(AEntity);
}
TBoundaryCell* TBoundaryCell::Create(TBSDLEntity& AEntity) {
  return MakePart<TBoundaryCell>(AEntity);
}
TInstructionOpCode* TInstructionOpCode::Create(TBSDLEntity& AEntity) {
  return MakePart<TInstructionOpCode>(AEntity);
}
TRegisterAssociation* TRegisterAssociation::Create(TBSDLEntity& AEntity) {
  return MakePart<TRegisterAssociation>(AEntity);
}

std::wstring TScanPin::GetDescription() const {
  return L" Pin Name:" + PadRight(PinName, 12) + L" Number:" + PadRight(PinNumber, 12) + L" IO:" +
         std::wstring(PinElectricalName(Direction));
}

std::wstring TScanPin::GetShortDescription() const {
  return PinName + L"(" + PinNumber + L")-" + std::wstring(PinElectricalName(Direction));
}

std::wstring TBoundaryCell::GetDescription() const {
  std::wstring text = PadRight(std::to_wstring(CellNumber), 4) + L"(" +
                      PadRight(CellKindName(CellKind), 10) + L"," + PadRight(PortId, 10) + L"," +
                      PadRight(CellFunctionName(CellFunction), 10) + L"," +
                      PadRight(BitValueName(SafeBit), 2);
  // The disable part and the pin are written only for a cell that has a
  // control cell; the text has no closing parenthesis.
  if (ControlCellNumber >= 0) {
    text += L"," + PadRight(std::to_wstring(ControlCellNumber), 4);
    text += L"," + PadRight(BitValueName(DisableValue), 2);
    text += L"," + PadRight(DisableResultName(DisableResult), 10);
    text += L",";
    if (Pin)
      text += L" Pin:" + Pin->PinName;
  }
  return text;
}

std::wstring TInstructionOpCode::GetDescription() const {
  return InstructionName + L"(" + OpCodePattern + L")";
}

void TRegisterAssociation::AddOpCode(TInstructionOpCode* AOpCode) {
  if (!AOpCode)
    throw std::invalid_argument("register association: missing op-code");
  InstructionOpCodes.emplace_back(AOpCode->InstructionName, AOpCode);
}

std::wstring TRegisterAssociation::GetDescription() const {
  std::wstring text = PadRight(RegisterName, 10);
  if (RegisterLength > 0)
    text += L"[" + std::to_wstring(RegisterLength) + L"]";
  text += L" (";
  bool first = true;
  for (const auto& [name, opCode] : InstructionOpCodes) {
    if (!first)
      text += L",";
    first = false;
    text += name + L"(" + opCode->OpCodePattern + L")";
  }
  return text + L")";
}

TBSDLEntity::TBSDLEntity() = default;

TBSDLEntity::TBSDLEntity(TVHDLParser* AParser, std::wstring AFilename)
    : TEntity(AParser), UsingLazyEvaluation(true), Filename(std::move(AFilename)) {}
