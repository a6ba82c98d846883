#include "vhdl-model.h"

#include <limits>
#include <stdexcept>

namespace {

template <std::size_t N>
std::wstring_view NameAt(const std::array<std::wstring_view, N>& ATable, std::int64_t AIndex) {
  return AIndex >= 0 && AIndex < static_cast<std::int64_t>(N)
             ? ATable[static_cast<std::size_t>(AIndex)]
             : std::wstring_view();
}

// "(left dir right)", or "(index)" when both ends are the same; nothing
// without a range.
std::wstring RangeText(std::int32_t ADirection, const std::wstring& AExpression1,
                       const std::wstring& AExpression2) {
  if (ADirection == NoArrayDirection)
    return {};
  if (AExpression1 == AExpression2)
    return L"(" + AExpression1 + L")";
  return L"(" + AExpression1 + L" " + std::wstring(VHDLReservedWord(ADirection)) + L" " +
         AExpression2 + L")";
}

void TrimInPlace(std::wstring& AText) {
  auto blank = [](wchar_t c) { return c <= L' '; };
  std::size_t first = 0;
  while (first < AText.size() && blank(AText[first]))
    ++first;
  std::size_t last = AText.size();
  while (last > first && blank(AText[last - 1]))
    --last;
  AText = AText.substr(first, last - first);
}

// The index text that stands for "no number": a bus member numbered -999
// keeps its index in parentheses, as a name would.
constexpr std::int64_t kNoIndexNumber = -999;

// A decimal integer of 32 bits, with an optional sign, other than the one
// that stands for no number.
bool IsDecimalInteger(std::wstring_view AText) {
  std::size_t at = 0;
  bool negative = false;
  if (at < AText.size() && (AText[at] == L'-' || AText[at] == L'+'))
    negative = AText[at++] == L'-';
  if (at == AText.size())
    return false;
  std::int64_t value = 0;
  const std::int64_t limit = negative ? -std::int64_t(std::numeric_limits<std::int32_t>::min())
                                      : std::numeric_limits<std::int32_t>::max();
  for (; at < AText.size(); ++at) {
    if (AText[at] < L'0' || AText[at] > L'9')
      return false;
    value = value * 10 + (AText[at] - L'0');
    if (value > limit)
      return false;
  }
  return (negative ? -value : value) != kNoIndexNumber;
}

} // namespace

std::wstring_view ElementKindName(TElementKind AValue) {
  return NameAt(ElementKindNames, AValue);
}

std::wstring_view VHDLReservedWord(std::int32_t AWordId) {
  return NameAt(VHDLReservedWords, AWordId);
}

// ---- interface elements -------------------------------------------------------

std::wstring TInterfaceElement::GetState_StringDescriptor() const {
  std::wstring type = SubTypeIndication + RangeText(FArrayDirection, Expression1, Expression2);
  std::wstring text = FName + L" " + std::wstring(PinElectricalName(FMode)) + L" : " + type;
  if (!DefaultValue.empty())
    text += L" := " + DefaultValue;
  return text;
}

std::wstring TInterfaceElement::GetState_AsSchematicId() {
  TrimInPlace(Expression1);
  TrimInPlace(Expression2);
  if (FArrayDirection == NoArrayDirection)
    return FName;
  if (Expression1 != Expression2)
    return FName + L"[" + Expression1 + L".." + Expression2 + L"]";
  // A numeric index joins the name as a schematic bus member does (DATA3);
  // any other index stays visible as one.
  if (IsDecimalInteger(Expression1))
    return FName + Expression1;
  return FName + L"(" + Expression1 + L")";
}

std::wstring TVHDLGeneric::GetState_StringDescriptor() const {
  return L"Generic " + TInterfaceElement::GetState_StringDescriptor();
}

std::wstring TVHDLSignal::GetState_StringDescriptor() const {
  return L"Signal " + TInterfaceElement::GetState_StringDescriptor();
}

std::wstring TVHDLPort::GetState_StringDescriptor() const {
  return L"Port " + TInterfaceElement::GetState_StringDescriptor();
}

// ---- attributes and constants -------------------------------------------------

std::wstring TVHDLAttribute::GetState_StringDescriptor() const {
  return L"Attribute " + TVHDLObject::GetState_StringDescriptor();
}

std::wstring TVHDLConstant::GetState_StringDescriptor() const {
  return L"Constant " + TVHDLObject::GetState_StringDescriptor();
}

// ---- association elements ---------------------------------------------------

std::wstring TAssociationElement::GetState_StringDescriptor() const {
  std::wstring actual;
  if (SignalOrPort)
    actual = SignalOrPort->FName + L"(" + std::wstring(ElementKindName(SignalOrPort->ElementKind)) +
             L")" + RangeText(Actual_ArrayDirection, Actual_Expression1, Actual_Expression2);
  std::wstring formal;
  if (VHDLPort)
    formal =
        (ComponentInstance ? ComponentInstance->Name : std::wstring()) + L"-" + VHDLPort->FName;
  return std::wstring(ElementKindName(ElementKind)) + L" " + formal + L" " + L"=>" + L" " + actual;
}

// ---- adders -------------------------------------------------------------------

TVHDLAttribute* AddAttribute(TEntity& AEntity, std::unique_ptr<TVHDLAttribute> AAttribute) {
  TVHDLAttribute* attribute = AAttribute.get();
  AEntity.Attributes.Add(std::wstring(), std::move(AAttribute));
  return attribute;
}

TVHDLConstant* AddConstant(TEntity& AEntity, std::unique_ptr<TVHDLConstant> AConstant) {
  TVHDLConstant* constant = AConstant.get();
  AEntity.Constants.Add(std::wstring(), std::move(AConstant));
  return constant;
}

TComponentInstance* AddComponentInstance(TEntity& AEntity,
                                         std::unique_ptr<TComponentInstance> AInstance) {
  TComponentInstance* instance = AInstance.get();
  AEntity.ComponentInstances.Add(UpperCaseAscii(instance->Name), std::move(AInstance));
  return instance;
}

TComponentDeclaration* AddComponentDeclaration(TEntity& AEntity,
                                               std::unique_ptr<TComponentDeclaration> ADecl) {
  TComponentDeclaration* declaration = ADecl.get();
  AEntity.ComponentDeclarations.Add(UpperCaseAscii(declaration->Name), std::move(ADecl));
  return declaration;
}

TAssociationElement* AddAssociationElement(TComponentInstance& AInstance,
                                           std::unique_ptr<TAssociationElement> AElement) {
  TVHDLObjectList* map = AElement->ElementKind == eElementPortMap      ? &AInstance.PortMap
                         : AElement->ElementKind == eElementGenericMap ? &AInstance.GenericMap
                                                                       : nullptr;
  if (!map)
    throw std::invalid_argument("association element: neither a port nor a generic map");
  TAssociationElement* element = AElement.get();
  map->Add(UpperCaseAscii(element->FormalPart), std::move(AElement));
  return element;
}

void MapOnto(TInterfaceElement& ASignalOrPort, TAssociationElement& AElement) {
  TVHDLObjectRefList* mapped = nullptr;
  if (auto* signal = dynamic_cast<TVHDLSignal*>(&ASignalOrPort))
    mapped = &signal->MappedPorts;
  else if (auto* port = dynamic_cast<TVHDLPort*>(&ASignalOrPort))
    mapped = &port->MappedPorts;
  if (!mapped)
    throw std::invalid_argument("association element: only a signal or a port is mapped onto");
  AElement.SignalOrPort = &ASignalOrPort;
  mapped->Add(UpperCaseAscii(AElement.FormalPart), &AElement);
}
