// The lazy evaluation of a read entity's boundary register: the reader keeps
// the BSDL attributes as text, and the cells are made from the
// "Boundary_Register" text only when the host first asks for them.

#include "bsdl-model.h"
#include "vhdl-model.h"

#include <algorithm>
#include <climits>

// clang-format off
const std::array<std::wstring_view, 78> BSDLKeywords = {
    L"AtPins", L"Bidir", L"BidirIn", L"BidirOut", L"Both", L"Boundary", L"Boundary_Length",
    L"Boundary_Register", L"BScan_Inst", L"BSDL_Extension", L"Bypass", L"Cap", L"Cap_Data",
    L"Captures", L"Cell_Data", L"Cell_Info", L"Cell_Type", L"Clamp", L"Clock", L"Clock_Info",
    L"Clock_Level", L"Compliance_Patterns", L"Component_Conformance", L"Control", L"ControlR",
    L"Design_Warning", L"Device_ID", L"Differential_Current", L"Differential_Voltage",
    L"Expect_Data", L"EXTest", L"HighZ", L"ID_Bits", L"ID_String", L"IDCode", L"IDCode_Register",
    L"Input", L"Instruction_Capture", L"Instruction_Length", L"Instruction_OPCode",
    L"Instruction_Private", L"Internal", L"InTest", L"InTest_Execution", L"Keeper", L"LOW",
    L"Observe_Only", L"Observing", L"One", L"Output2", L"Output3", L"Physical_Pin_Map", L"PI",
    L"Pin_Map", L"Pin_Map_String", L"PO", L"Port_Grouping", L"Preload", L"PULL0", L"PULL1",
    L"Register_Access", L"RunBist", L"RunBist_Execution", L"Sample", L"TAP_Scan_Clock",
    L"TAP_Scan_In", L"TAP_Scan_Mode", L"TAP_Scan_Out", L"TAP_Scan_Reset", L"UPD", L"UserCode",
    L"UserCode_Register", L"Wait_Duration", L"Weak0", L"Weak1", L"X", L"Z", L"ZERO"};
// clang-format on

namespace {

// Cell numbers from here on are not read as numbers: no register is that
// long, and a slot list sized by such a number would be absurd.
constexpr std::int32_t CellNumberLimit = 65536;

std::wstring_view Trimmed(std::wstring_view AText) {
  std::size_t first = 0;
  while (first < AText.size() && AText[first] <= L' ')
    ++first;
  std::size_t last = AText.size();
  while (last > first && AText[last - 1] <= L' ')
    --last;
  return AText.substr(first, last - first);
}

// A decimal number of 0 or more below ALimit; -1 for any other text.
std::int32_t DecimalOrMinusOne(std::wstring_view AText, std::int64_t ALimit) {
  AText = Trimmed(AText);
  if (!AText.empty() && AText.front() == L'+')
    AText.remove_prefix(1);
  if (AText.empty())
    return -1;
  std::int64_t value = 0;
  for (wchar_t c : AText) {
    if (c < L'0' || c > L'9')
      return -1;
    value = value * 10 + (c - L'0');
    if (value >= ALimit)
      return -1;
  }
  return static_cast<std::int32_t>(value);
}

const TVHDLAttribute* FindBSDLAttribute(const TEntity& AEntity, int AKeyword) {
  for (int i = 0; i < AEntity.Attributes.Count(); ++i) {
    auto* attribute = dynamic_cast<const TVHDLAttribute*>(AEntity.Attributes.Object(i));
    if (attribute && SameTextIgnoringCase(attribute->AttributeDesignator, BSDLKeywords[AKeyword]))
      return attribute;
  }
  return nullptr;
}

// The description's items: split at commas, and a blank inside a part
// separates items too; a part with nothing in it is an empty item.
std::vector<std::wstring> CellItems(std::wstring_view ADescription) {
  std::vector<std::wstring> items;
  std::size_t start = 0;
  while (true) {
    std::size_t comma = ADescription.find(L',', start);
    std::wstring_view part = ADescription.substr(
        start, comma == std::wstring_view::npos ? std::wstring_view::npos : comma - start);
    std::size_t before = items.size();
    std::wstring word;
    for (wchar_t c : part) {
      if (c <= L' ') {
        if (!word.empty())
          items.push_back(std::move(word));
        word.clear();
      } else {
        word.push_back(c);
      }
    }
    if (!word.empty())
      items.push_back(std::move(word));
    if (items.size() == before)
      items.emplace_back();
    if (comma == std::wstring_view::npos)
      break;
    start = comma + 1;
  }
  return items;
}

TCellFunction CellFunctionOfItem(std::wstring_view AItem) {
  // The standard spells the observe-only function with an underscore.
  if (SameTextIgnoringCase(AItem, L"Observe_Only"))
    return eCellFunction_ObserveOnly;
  return CellFunctionFromName(AItem);
}

} // namespace

void TBSDLEntity::EvaluateBoundaryInfo() {
  if (!UsingLazyEvaluation || FProcessedBoundaryInfo)
    return;
  if (const TVHDLAttribute* length = FindBSDLAttribute(*this, BSDLKeyword_Boundary_Length)) {
    std::int32_t value = DecimalOrMinusOne(length->AttributeExpression, INT32_MAX + 1LL);
    BoundaryLength = value < 0 ? 0 : value;
  }
  if (const TVHDLAttribute* reg = FindBSDLAttribute(*this, BSDLKeyword_Boundary_Register))
    ParseBoundaryRegister(reg->AttributeExpression);
  FProcessedBoundaryInfo = true;
}

void TBSDLEntity::ParseBoundaryRegister(std::wstring_view AText) {
  AText = Trimmed(AText);
  std::vector<TBoundaryCell*> cells;
  std::int32_t highest = -1;
  std::size_t position = 0;
  while (position < AText.size()) {
    std::size_t open = AText.find(L'(', position);
    if (open == std::wstring_view::npos)
      break;
    std::size_t close = std::wstring_view::npos;
    int depth = 1;
    for (std::size_t i = open + 1; i < AText.size(); ++i) {
      if (AText[i] == L'(')
        ++depth;
      else if (AText[i] == L')' && --depth == 0) {
        close = i;
        break;
      }
    }
    if (close == std::wstring_view::npos)
      break;
    std::int32_t number =
        DecimalOrMinusOne(AText.substr(position, open - position), CellNumberLimit);
    if (number < 0)
      break;

    std::vector<std::wstring> items = CellItems(Trimmed(AText.substr(open + 1, close - open - 1)));
    auto item = [&](std::size_t AIndex) {
      return AIndex < items.size() ? std::wstring_view(items[AIndex]) : std::wstring_view();
    };
    TBoundaryCell* cell = TBoundaryCell::Create(*this);
    cell->SetCellNumber(number);
    cell->SetCellKind(CellKindFromName(item(0)));
    cell->SetPortId(std::wstring(item(1)));
    cell->SetCellFunction(CellFunctionOfItem(item(2)));
    cell->SetSafeBit(BitValueFromName(item(3)));
    cell->SetControlCellNumber(DecimalOrMinusOne(item(4), CellNumberLimit));
    cell->SetDisableValue(BitValueFromName(item(5)));
    cell->SetDisableResult(DisableResultFromName(item(6)));
    cells.push_back(cell);
    highest = std::max(highest, number);

    position = close + 1;
    if (position < AText.size()) {
      std::size_t comma = AText.find(L',', position);
      if (comma == std::wstring_view::npos)
        break;
      position = comma + 1;
      while (position < AText.size() && AText[position] == L' ')
        ++position;
    }
  }

  // One slot per entry, and more when a number was left out, so that every
  // cell sits at the index of its number; a later entry of the same number
  // replaces an earlier one.
  std::size_t base = BoundaryCells.size();
  std::size_t slots = std::max<std::size_t>(cells.size(), static_cast<std::size_t>(highest + 1));
  std::vector<TBoundaryCell*> placed(slots, nullptr);
  for (TBoundaryCell* cell : cells)
    placed[cell->CellNumber] = cell;

  for (TBoundaryCell* cell : placed) {
    if (!cell || cell->PortId == L"*")
      continue;
    for (TScanPin* pin : Pins) {
      if (SameTextIgnoringCase(pin->PinName, cell->PortId)) {
        cell->SetPin(pin);
        pin->AddBoundaryCell(cell);
        if (pin->Kind == eScanPinKind_Power || pin->Kind == eScanPinKind_Ground)
          pin->SetKind(eScanPinKind_Normal);
        break;
      }
    }
  }
  BoundaryCells.insert(BoundaryCells.end(), placed.begin(), placed.end());
  for (std::size_t i = base; i < BoundaryCells.size(); ++i) {
    TBoundaryCell* cell = BoundaryCells[i];
    if (!cell || cell->ControlCellNumber < 0)
      continue;
    std::size_t at = base + static_cast<std::size_t>(cell->ControlCellNumber);
    if (at < BoundaryCells.size() && BoundaryCells[at]) {
      cell->SetControlCell(BoundaryCells[at]);
      BoundaryCells[at]->SetTargetCell(cell);
    }
  }
}
