#include "bsdl-file-entity.h"

#include "bsdl-reader.h"

#include <algorithm>
#include <cwchar>

namespace {

std::wstring Trim(std::wstring_view AText) {
  std::size_t first = 0;
  while (first < AText.size() && AText[first] <= L' ')
    ++first;
  std::size_t last = AText.size();
  while (last > first && AText[last - 1] <= L' ')
    --last;
  return std::wstring(AText.substr(first, last - first));
}

std::wstring WithoutQuotes(const std::wstring& AText) {
  std::wstring text = Trim(AText);
  if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"')
    return text.substr(1, text.size() - 2);
  return text;
}

// Split at commas outside parentheses; each part trimmed, empty parts
// dropped.
std::vector<std::wstring> SplitTopLevel(std::wstring_view AText) {
  std::vector<std::wstring> parts;
  int depth = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= AText.size(); ++i) {
    wchar_t c = i < AText.size() ? AText[i] : L',';
    if (c == L'(')
      ++depth;
    else if (c == L')')
      --depth;
    else if (c == L',' && depth <= 0) {
      std::wstring part = Trim(AText.substr(start, i - start));
      if (!part.empty())
        parts.push_back(part);
      start = i + 1;
    }
  }
  return parts;
}

std::optional<std::int32_t> Decimal(std::wstring_view AText) {
  std::wstring text = Trim(AText);
  if (text.empty() || text.size() > 9)
    return std::nullopt;
  std::int32_t value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9')
      return std::nullopt;
    value = value * 10 + (c - L'0');
  }
  return value;
}

// A pattern of bits, most significant first; nothing for one that holds
// anything but 0 and 1.
std::optional<std::uint32_t> BitPattern(std::wstring_view AText) {
  if (AText.empty() || AText.size() > 32)
    return std::nullopt;
  std::uint32_t value = 0;
  for (wchar_t c : AText) {
    if (c != L'0' && c != L'1')
      return std::nullopt;
    value = value << 1 | (c == L'1' ? 1u : 0u);
  }
  return value;
}

const TVHDLAttribute* FindAttribute(const TEntity& AEntity, std::wstring_view ADesignator) {
  for (int i = 0; i < AEntity.Attributes.Count(); ++i) {
    auto* attribute = dynamic_cast<const TVHDLAttribute*>(AEntity.Attributes.Object(i));
    if (attribute && SameTextIgnoringCase(attribute->AttributeDesignator, ADesignator))
      return attribute;
  }
  return nullptr;
}

struct TTapAttribute {
  const wchar_t* Designator;
  TScanPinKind Kind;
};
constexpr TTapAttribute TapAttributes[] = {{L"TAP_SCAN_IN", eScanPinKind_TDI},
                                           {L"TAP_SCAN_OUT", eScanPinKind_TDO},
                                           {L"TAP_SCAN_MODE", eScanPinKind_TMS},
                                           {L"TAP_SCAN_CLOCK", eScanPinKind_TCK},
                                           {L"TAP_SCAN_RESET", eScanPinKind_TRST}};

// Linkage pins of these names supply the chip.
TScanPinKind SupplyKind(std::wstring_view AName) {
  std::wstring upper = UpperCaseAscii(AName);
  for (const wchar_t* prefix : {L"VDD", L"VCC"})
    if (upper.rfind(prefix, 0) == 0)
      return eScanPinKind_Power;
  for (const wchar_t* prefix : {L"GND", L"VSS"})
    if (upper.rfind(prefix, 0) == 0)
      return eScanPinKind_Ground;
  return eScanPinKind_Normal;
}

} // namespace

std::wstring BSDLAttributeText(const TEntity& AEntity, std::wstring_view ADesignator) {
  const TVHDLAttribute* attribute = FindAttribute(AEntity, ADesignator);
  return attribute ? attribute->AttributeExpression : std::wstring();
}

bool HasBSDLAttributeOn(const TEntity& AEntity, std::wstring_view ADesignator,
                        std::wstring_view ATarget) {
  for (int i = 0; i < AEntity.Attributes.Count(); ++i) {
    auto* attribute = dynamic_cast<const TVHDLAttribute*>(AEntity.Attributes.Object(i));
    if (!attribute || !SameTextIgnoringCase(attribute->AttributeDesignator, ADesignator))
      continue;
    for (const std::wstring& target : attribute->TargetList)
      if (SameTextIgnoringCase(target, ATarget))
        return true;
  }
  return false;
}

TScanPinKind BSDLTapKind(const TEntity& AEntity, std::wstring_view APortName) {
  for (const TTapAttribute& tap : TapAttributes)
    if (HasBSDLAttributeOn(AEntity, tap.Designator, APortName))
      return tap.Kind;
  return eScanPinKind_Normal;
}

std::map<std::wstring, std::vector<std::wstring>> BSDLPinMap(const TEntity& AEntity) {
  std::wstring chosen;
  if (auto* generic = dynamic_cast<const TVHDLGeneric*>(AEntity.Generics.Find(L"PHYSICAL_PIN_MAP")))
    chosen = WithoutQuotes(generic->DefaultValue);
  const TVHDLConstant* map = nullptr;
  int pinMaps = 0;
  for (int i = 0; i < AEntity.Constants.Count(); ++i) {
    auto* constant = dynamic_cast<const TVHDLConstant*>(AEntity.Constants.Object(i));
    if (!constant || !SameTextIgnoringCase(Trim(constant->ConstantTypeId), L"PIN_MAP_STRING"))
      continue;
    ++pinMaps;
    if (!map)
      map = constant;
    for (const std::wstring& name : constant->ConstantDesignators)
      if (!chosen.empty() && SameTextIgnoringCase(name, chosen))
        map = constant;
  }
  std::map<std::wstring, std::vector<std::wstring>> pins;
  if (!map || (pinMaps > 1 && chosen.empty()))
    return pins;
  for (const std::wstring& entry : SplitTopLevel(map->ConstantExpression)) {
    std::size_t colon = entry.find(L':');
    if (colon == std::wstring::npos)
      continue;
    std::wstring name = UpperCaseAscii(Trim(std::wstring_view(entry).substr(0, colon)));
    std::wstring numbers = Trim(std::wstring_view(entry).substr(colon + 1));
    if (numbers.size() >= 2 && numbers.front() == L'(' && numbers.back() == L')')
      pins[name] = SplitTopLevel(std::wstring_view(numbers).substr(1, numbers.size() - 2));
    else
      pins[name] = {numbers};
  }
  return pins;
}

std::vector<TBSDLPortElement> BSDLPortElements(const TEntity& AEntity) {
  std::vector<const TVHDLPort*> ports;
  for (int i = 0; i < AEntity.Ports.Count(); ++i)
    if (auto* port = dynamic_cast<const TVHDLPort*>(AEntity.Ports.Object(i)))
      ports.push_back(port);
  std::sort(ports.begin(), ports.end(), [](const TVHDLPort* a, const TVHDLPort* b) {
    return a->ElementIndex < b->ElementIndex;
  });
  const auto pinMap = BSDLPinMap(AEntity);

  std::vector<TBSDLPortElement> elements;
  for (const TVHDLPort* port : ports) {
    auto mapped = pinMap.find(UpperCaseAscii(port->FName));
    const std::vector<std::wstring>* numbers = mapped == pinMap.end() ? nullptr : &mapped->second;
    auto first = Decimal(port->Expression1);
    auto last = Decimal(port->Expression2);
    std::vector<std::optional<std::int32_t>> indices;
    if (port->FArrayDirection != NoArrayDirection && first && last) {
      std::int32_t step = port->FArrayDirection == VHDLWord_DownTo ? -1 : 1;
      // A range that runs the other way is empty.
      if ((*last - *first) * step >= 0)
        for (std::int32_t i = *first;; i += step) {
          indices.push_back(i);
          if (i == *last)
            break;
        }
    } else {
      indices.push_back(std::nullopt);
    }
    for (std::size_t k = 0; k < indices.size(); ++k) {
      TBSDLPortElement element{port, port->FName, indices[k], {}};
      if (indices[k])
        element.Name += L"(" + std::to_wstring(*indices[k]) + L")";
      if (numbers && k < numbers->size())
        element.PinNumber = (*numbers)[k];
      elements.push_back(std::move(element));
    }
  }
  return elements;
}

std::vector<std::pair<std::wstring, std::wstring>> BSDLOpCodes(const TEntity& AEntity) {
  std::vector<std::pair<std::wstring, std::wstring>> opCodes;
  for (const std::wstring& entry :
       SplitTopLevel(BSDLAttributeText(AEntity, L"INSTRUCTION_OPCODE"))) {
    std::size_t open = entry.find(L'(');
    if (open == std::wstring::npos || entry.back() != L')')
      continue;
    std::wstring name = Trim(std::wstring_view(entry).substr(0, open));
    for (const std::wstring& pattern :
         SplitTopLevel(std::wstring_view(entry).substr(open + 1, entry.size() - open - 2)))
      opCodes.emplace_back(name, pattern);
  }
  return opCodes;
}

void CompleteBSDLEntity(TBSDLEntity& AEntity) {
  for (const TBSDLPortElement& element : BSDLPortElements(AEntity)) {
    if (element.PinNumber.empty())
      continue;
    TScanPin* pin = TScanPin::Create(AEntity);
    const TPinElectrical mode = element.Port->FMode;
    TScanPinKind kind = BSDLTapKind(AEntity, element.Port->FName);
    if (kind == eScanPinKind_Normal && mode == eElectricIO)
      kind = SupplyKind(element.Port->FName);
    pin->SetDirection(kind == eScanPinKind_Power || kind == eScanPinKind_Ground ? eElectricPower
                                                                                : mode);
    pin->SetPinName(element.Name);
    pin->SetPinNumber(element.PinNumber);
    pin->SetKind(kind);
    TPinMapping* mapping = TPinMapping::Create(AEntity);
    mapping->SetPinName(element.Name);
    mapping->SetPinNumber(element.PinNumber);
    mapping->SetScanPin(pin);
    pin->SetPinMapping(mapping);
    AEntity.AddPin(pin);
    switch (kind) {
    case eScanPinKind_TDI:
      AEntity.TAP_TDI = pin;
      break;
    case eScanPinKind_TDO:
      AEntity.TAP_TDO = pin;
      break;
    case eScanPinKind_TMS:
      AEntity.TAP_TMS = pin;
      break;
    case eScanPinKind_TCK:
      AEntity.TAP_TCK = pin;
      break;
    case eScanPinKind_TRST:
      AEntity.TAP_TRST = pin;
      break;
    default:
      break;
    }
  }

  struct TInstructionField {
    const wchar_t* Name;
    std::uint32_t TBSDLEntity::*Field;
  };
  static constexpr TInstructionField instructions[] = {
      {L"BYPASS", &TBSDLEntity::Instruction_BYPASS},
      {L"EXTEST", &TBSDLEntity::Instruction_EXTEST},
      {L"SAMPLE", &TBSDLEntity::Instruction_SAMPLE},
      {L"IDCODE", &TBSDLEntity::Instruction_IDCODE},
      {L"USERCODE", &TBSDLEntity::Instruction_USERCODE},
      {L"CLAMP", &TBSDLEntity::Instruction_CLAMP},
      {L"HIGHZ", &TBSDLEntity::Instruction_HIGHZ}};
  for (const auto& [name, pattern] : BSDLOpCodes(AEntity)) {
    TInstructionOpCode* opCode = TInstructionOpCode::Create(AEntity);
    opCode->SetInstructionName(name);
    opCode->SetOpCodePattern(pattern);
    AEntity.AddInstructionOpCode(opCode);
    for (const TInstructionField& field : instructions) {
      auto value = BitPattern(pattern);
      // The first op-code of an instruction is its code.
      if (value && SameTextIgnoringCase(name, field.Name) &&
          AEntity.*field.Field == TBSDLEntity::UndefinedInstruction)
        AEntity.*field.Field = *value;
    }
  }

  if (auto length = Decimal(BSDLAttributeText(AEntity, L"INSTRUCTION_LENGTH")))
    AEntity.InstructionLength = *length;
  std::wstring idCode;
  for (wchar_t c : BSDLAttributeText(AEntity, L"IDCODE_REGISTER"))
    if (c > L' ')
      idCode.push_back(c);
  if (idCode.size() == 32)
    if (auto value = BitPattern(idCode))
      AEntity.IdCode = *value;

  // "(frequency, LOW|BOTH)" on the clock pin.
  for (int i = 0; i < AEntity.Attributes.Count(); ++i) {
    auto* attribute = dynamic_cast<const TVHDLAttribute*>(AEntity.Attributes.Object(i));
    if (!attribute || !SameTextIgnoringCase(attribute->AttributeDesignator, L"TAP_SCAN_CLOCK"))
      continue;
    std::wstring value = Trim(attribute->AttributeExpression);
    if (value.size() < 2 || value.front() != L'(' || value.back() != L')')
      break;
    std::vector<std::wstring> parts =
        SplitTopLevel(std::wstring_view(value).substr(1, value.size() - 2));
    if (!parts.empty()) {
      wchar_t* end = nullptr;
      double frequency = std::wcstod(parts[0].c_str(), &end);
      if (end && *end == 0)
        AEntity.ScanClockMaxSpeed = frequency;
    }
    if (parts.size() > 1)
      AEntity.ScanClockHaltMode = SameTextIgnoringCase(parts[1], L"BOTH") ? eScanClockHaltMode_Both
                                  : SameTextIgnoringCase(parts[1], L"LOW")
                                      ? eScanClockHaltMode_Low
                                      : eScanClockHaltMode_None;
    break;
  }

  AEntity.ConformanceStatement = BSDLAttributeText(AEntity, L"COMPONENT_CONFORMANCE");
  AEntity.CompliancePattern = BSDLAttributeText(AEntity, L"COMPLIANCE_PATTERNS");
  AEntity.DesignWarning = BSDLAttributeText(AEntity, L"DESIGN_WARNING");
  AEntity.Instruction_Capture = BSDLAttributeText(AEntity, L"INSTRUCTION_CAPTURE");
  AEntity.Register_IDCode = BSDLAttributeText(AEntity, L"IDCODE_REGISTER");
  AEntity.Register_UserCode = BSDLAttributeText(AEntity, L"USERCODE_REGISTER");
  AEntity.RegisterAccessDescriptor = BSDLAttributeText(AEntity, L"REGISTER_ACCESS");
  AEntity.Instruction_Private = SplitTopLevel(BSDLAttributeText(AEntity, L"INSTRUCTION_PRIVATE"));
}

std::unique_ptr<TBSDLEntity> ReadCompleteBSDLEntity(const std::wstring& AFileName,
                                                    TVHDLReaderSurroundings* ASurroundings) {
  TVHDLEntities entities;
  if (!ReadBSDLFile(AFileName, entities, nullptr, ASurroundings) || entities.Count() == 0)
    return nullptr;
  // The first entity of the file: the list is sorted by name, so the one
  // read first is the one the text declares first.
  int first = 0;
  for (int i = 1; i < entities.Count(); ++i)
    if (entities.Object(i)->LineNumber < entities.Object(first)->LineNumber)
      first = i;
  std::unique_ptr<TVHDLObject> object = entities.Release(first);
  auto* entity = dynamic_cast<TBSDLEntity*>(object.get());
  if (!entity)
    return nullptr;
  object.release();
  std::unique_ptr<TBSDLEntity> result(entity);
  CompleteBSDLEntity(*result);
  return result;
}
