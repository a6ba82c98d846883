#include "cli-bsdl.h"

#include "cli-common.h"

#include "bsdl-types.h"
#include "com-ptr.h"
#include "dispatch.h"

#include <optional>
#include <span>
#include <stdexcept>
#include <string_view>

namespace {

// The DISPIDs the verb reads.
constexpr DISPID kGetBSDLEntity = 503406;
constexpr DISPID kEntityName = 503458;
constexpr DISPID kEntityBoundaryLength = 503461;
constexpr DISPID kEntityInstructionOpcode = 503465;
constexpr DISPID kEntityBoundaryCell = 503464;
constexpr DISPID kEntityPinCount = 503467;
constexpr DISPID kEntityBoundaryCellCount = 503469;
constexpr DISPID kEntityInstructionOpcodeCount = 503470;
constexpr DISPID kEntityScanClockMaxSpeed = 503484;
constexpr DISPID kEntityFilename = 503489;
constexpr DISPID kPinNumber = 503492;
constexpr DISPID kOpCodeName = 503513;
constexpr DISPID kOpCodePattern = 503514;
constexpr DISPID kCellNumber = 503501;
constexpr DISPID kCellKind = 503502;
constexpr DISPID kCellPortId = 503503;
constexpr DISPID kCellFunction = 503504;
constexpr DISPID kCellSafeBit = 503505;
constexpr DISPID kCellControlCellNumber = 503506;
constexpr DISPID kCellDisableValue = 503507;
constexpr DISPID kCellDisableResult = 503508;
constexpr DISPID kCellPin = 503509;
constexpr DISPID kCellTargetCell = 503511;

// The five test-access pins, in the order they are printed.
struct TTapPinRow {
  const wchar_t* Label;
  DISPID DispId;
};
constexpr TTapPinRow kTapPins[] = {
    {L"TDI", 503472}, {L"TDO", 503473}, {L"TMS", 503474}, {L"TCK", 503475}, {L"TRST", 503476},
};

[[noreturn]] void CallFailed(DISPID ADispId, const char* AWhat, HRESULT AResult) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(AResult));
  throw std::runtime_error(std::string("DISPID ") + std::to_string(ADispId) + " " + AWhat + " " +
                           code);
}

// One call by DISPID with an optional index argument; the answer coerced to
// AType. Every call is checked: a failing HRESULT or an answer of another
// kind is an error, not a silent zero.
void Call(IDispatch* AObject, DISPID ADispId, std::optional<int32_t> AIndex, VARTYPE AType,
          TVariant& AResult) {
  if (!AObject)
    throw std::runtime_error("DISPID " + std::to_string(ADispId) + " asked of no object");
  TVariant arg;
  DISPPARAMS params{};
  if (AIndex) {
    V_VT(&arg.Get()) = VT_I4;
    V_I4(&arg.Get()) = *AIndex;
    params.rgvarg = &arg.Get();
    params.cArgs = 1;
  }
  TVariant raw;
  HRESULT hr = AObject->Invoke(ADispId, IID_NULL, LOCALE_USER_DEFAULT,
                               DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, &raw.Get(), nullptr,
                               nullptr);
  if (FAILED(hr))
    CallFailed(ADispId, "failed with", hr);
  if (AType == VT_DISPATCH && V_VT(&raw.Get()) == VT_EMPTY)
    return; // an empty interface
  hr = CoerceVariant(raw.Get(), AType, AResult);
  if (FAILED(hr))
    CallFailed(ADispId, "gave an answer of the wrong kind:", hr);
}

std::wstring Text(IDispatch* AObject, DISPID ADispId) {
  TVariant v;
  Call(AObject, ADispId, std::nullopt, VT_BSTR, v);
  BSTR b = V_BSTR(&v.Get());
  return b ? std::wstring(b, SysStringLen(b)) : std::wstring();
}

int32_t Int(IDispatch* AObject, DISPID ADispId) {
  TVariant v;
  Call(AObject, ADispId, std::nullopt, VT_I4, v);
  return V_I4(&v.Get());
}

double Real(IDispatch* AObject, DISPID ADispId) {
  TVariant v;
  Call(AObject, ADispId, std::nullopt, VT_R8, v);
  return V_R8(&v.Get());
}

// An empty pointer for an empty interface.
TComPtr<IDispatch> Object(IDispatch* AObject, DISPID ADispId,
                          std::optional<int32_t> AIndex = std::nullopt) {
  TVariant v;
  Call(AObject, ADispId, AIndex, VT_DISPATCH, v);
  return V_VT(&v.Get()) == VT_DISPATCH ? TComPtr<IDispatch>(V_DISPATCH(&v.Get()))
                                       : TComPtr<IDispatch>();
}

// A display name by the ordinal the host answered; one outside the table
// shows as the number in brackets, so a bad answer is seen, not hidden.
std::wstring NameOf(std::span<const std::wstring_view> ANames, int32_t AValue) {
  if (AValue < 0 || static_cast<std::size_t>(AValue) >= ANames.size())
    return L"[" + std::to_wstring(AValue) + L"]";
  return ANames[static_cast<std::size_t>(AValue)].empty()
             ? std::wstring(L"-")
             : std::wstring(ANames[static_cast<std::size_t>(AValue)]);
}

std::wstring NumberOrDash(int32_t AValue) {
  return AValue < 0 ? std::wstring(L"-") : std::to_wstring(AValue);
}

std::wstring Column(std::wstring_view AText, std::size_t AWidth) {
  return PadRight(AText, AWidth) + L" ";
}

std::wstring Right(std::wstring_view AText, std::size_t AWidth) {
  std::wstring out;
  if (AText.size() < AWidth)
    out.assign(AWidth - AText.size(), L' ');
  return out + std::wstring(AText);
}

std::wstring Line(std::wstring_view ALabel, std::wstring_view AValue) {
  return PadRight(std::wstring(ALabel) + L":", 17) + std::wstring(AValue) + L"\n";
}

std::wstring CellRow(IDispatch* ACell) {
  std::wstring pin = L"-";
  if (TComPtr<IDispatch> p = Object(ACell, kCellPin))
    pin = Text(p.Get(), kPinNumber);
  std::wstring target = L"-";
  if (TComPtr<IDispatch> t = Object(ACell, kCellTargetCell))
    target = std::to_wstring(Int(t.Get(), kCellNumber));
  return L"  " + Right(std::to_wstring(Int(ACell, kCellNumber)), 4) + L"  " +
         Column(NameOf(CellKindNames, Int(ACell, kCellKind)), 6) +
         Column(Text(ACell, kCellPortId), 10) +
         Column(NameOf(CellFunctionNames, Int(ACell, kCellFunction)), 11) +
         Column(NameOf(BitValueNames, Int(ACell, kCellSafeBit)), 4) +
         Column(NumberOrDash(Int(ACell, kCellControlCellNumber)), 7) +
         Column(NameOf(BitValueNames, Int(ACell, kCellDisableValue)), 7) +
         Column(NameOf(DisableResultNames, Int(ACell, kCellDisableResult)), 6) + Column(pin, 5) +
         target + L"\n";
}

} // namespace

std::wstring FormatBsdlEntity(IDispatch* AEntity, const std::optional<TPartDataOrigin>& AOrigin) {
  std::wstring out;
  out += Line(L"Entity", Text(AEntity, kEntityName));
  out += Line(L"File", Text(AEntity, kEntityFilename));
  if (AOrigin) {
    out += Line(L"Description", AOrigin->BoundaryScanText());
    out += Line(L"Pin data", AOrigin->PinsText());
  }
  out += Line(L"Boundary length", std::to_wstring(Int(AEntity, kEntityBoundaryLength)));
  out += Line(L"Pins", std::to_wstring(Int(AEntity, kEntityPinCount)));
  out += Line(L"Test clock",
              std::to_wstring(static_cast<long long>(Real(AEntity, kEntityScanClockMaxSpeed))) +
                  L" Hz");

  std::wstring taps;
  for (const TTapPinRow& row : kTapPins) {
    TComPtr<IDispatch> pin = Object(AEntity, row.DispId);
    if (!taps.empty())
      taps += L"  ";
    taps += std::wstring(row.Label) + L" " + (pin ? Text(pin.Get(), kPinNumber) : L"-");
  }
  out += Line(L"TAP pins", taps);

  const int32_t opCodes = Int(AEntity, kEntityInstructionOpcodeCount);
  out += Line(L"Op-codes", std::to_wstring(opCodes));
  for (int32_t i = 0; i < opCodes; ++i) {
    TComPtr<IDispatch> opCode = Object(AEntity, kEntityInstructionOpcode, i);
    out += L"  " + Right(std::to_wstring(i), 4) + L"  ";
    out += opCode ? Column(Text(opCode.Get(), kOpCodeName), 10) + Text(opCode.Get(), kOpCodePattern)
                  : std::wstring(L"-");
    out += L"\n";
  }

  const int32_t cells = Int(AEntity, kEntityBoundaryCellCount);
  out += Line(L"Cells", std::to_wstring(cells));
  out += L"  Cell  Kind   Port       Function    Safe Control Disable Result Pin   Target\n";
  for (int32_t i = 0; i < cells; ++i) {
    TComPtr<IDispatch> cell = Object(AEntity, kEntityBoundaryCell, i);
    out += cell ? CellRow(cell.Get()) : L"  " + Right(std::to_wstring(i), 4) + L"  -\n";
  }
  return out;
}

int BsdlVerb(IDispatch* ADriver, std::FILE* AOut, std::FILE* AErr,
             const std::optional<TPartDataOrigin>& AOrigin) {
  try {
    TComPtr<IDispatch> entity = Object(ADriver, kGetBSDLEntity);
    if (!entity) {
      std::fputs("orvandel: the device has no boundary-scan description\n", AErr);
      return 1;
    }
    std::fputs(Narrowed(FormatBsdlEntity(entity.Get(), AOrigin)).c_str(), AOut);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(AErr, "orvandel: %s\n", e.what());
    return 1;
  }
}
