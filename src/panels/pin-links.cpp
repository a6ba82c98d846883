#include "pin-links.h"

#include "client-access.h"
#include "host-modules.h"
#include "host-utilities.h"
#include "numeric-text.h"

#include <windows.h>

#include <cwchar>

namespace {

bool SameText(const std::wstring& A, const wchar_t* B) {
  return CompareStringOrdinal(A.c_str(), int(A.size()), B, -1, TRUE) == CSTR_EQUAL;
}

// The host's document kind of a path ("PCB", "PCBPROJECT", ...); empty
// without a host.
std::wstring DocumentKindOf(const std::wstring& APath) {
  const IClient client = Client();
  return client ? client.GetDocumentKindFromPath(APath) : std::wstring();
}

// Upper-case hexadecimal of at least ADigits digits.
std::wstring HexText(uint32_t AValue, int ADigits) {
  wchar_t text[16];
  swprintf(text, 16, L"%0*X", ADigits, unsigned(AValue));
  return text;
}

// The workspace's unified data model, which resolves object identifiers to
// schematic and PCB objects; empty when the host has no workspace.
IUnifiedDataModel UnifiedDataModel() {
  const IWorkspace workspace = GetWorkspace();
  return workspace ? workspace.GetUnifiedDataModel() : IUnifiedDataModel();
}

// Runs AWork inside one batch of look-ups and highlight changes; the batch
// is closed however the work ends.
template <class TWork> void InModelBatch(const IUnifiedDataModel& AModel, TWork AWork) {
  AModel.BeginUpdate();
  try {
    AWork();
  } catch (...) {
    AModel.EndUpdate();
    throw;
  }
  AModel.EndUpdate();
}

// The object the model holds under AId; empty when it knows none.
TDispatchRecord FindObject(const IUnifiedDataModel& AModel, const std::wstring& AId) {
  TDispatchRecord found;
  if (!AModel.FindObjectById(AId, found))
    return TDispatchRecord();
  return found;
}

} // namespace

// ---- free routines ----------------------------------------------------------------

bool IsPCBDocument(const IDocument& ADocument) {
  return ADocument && SameText(DocumentKindOf(ADocument.GetFullPath()), L"PCB");
}

bool IsPCBProject(const IProject& AProject) {
  return AProject && SameText(DocumentKindOf(AProject.GetFullPath()), L"PCBPROJECT");
}

std::wstring StripPinNumberPrefix(const std::wstring& APinNumber) {
  if (APinNumber.empty() || APinNumber[0] != L'P')
    return APinNumber;
  const std::wstring rest = APinNumber.substr(1);
  int32_t value = 0;
  return TryParseInt(rest, value) ? rest : APinNumber;
}

int32_t PCBLiveHighlightValue(int32_t APinValue) {
  return APinValue == 1 ? 2 : 1;
}

// ---- TScanPinLink ----------------------------------------------------------------

TScanPinLink::TScanPinLink(const IScanPin& AScanPin, const IDevicePin& ADevicePin,
                           bool AUseFullNameOnly)
    : FScanPin(AScanPin.ToPointer()), FDevicePin(ADevicePin.ToPointer()),
      FUseFullPinNumberOnly(AUseFullNameOnly) {}

TScanPinLink::~TScanPinLink() {
  ClearNetLinks();
}

void TScanPinLink::SetUpdateEnabled(bool AValue) {
  FUpdateEnabled = AValue;
  if (!AValue)
    ResetAllObjectsLiveHighlightValue();
}

std::wstring TScanPinLink::PinNumber_Full() const {
  return ScanPin().GetPinNumber();
}

std::wstring TScanPinLink::PinNumber_Numeric() const {
  const std::wstring full = PinNumber_Full();
  return FUseFullPinNumberOnly ? full : StripPinNumberPrefix(full);
}

bool TScanPinLink::ValidToLinkToNet(const INet& ANet) const {
  const int32_t kind = ScanPin().GetKind();
  if (kind == kScanPinKind_Power || kind == kScanPinKind_Ground)
    return false;
  if (IsPCBDocument(ANet.GetOwnerDocument()))
    return ANet.GetConnectionCount() > 1;
  const int32_t pinCount = ANet.GetPinCount();
  if (pinCount <= 0)
    return false;
  int32_t signalPins = 0;
  for (int32_t i = 0; i < pinCount; ++i) {
    const INetItem pin = ANet.GetPin(i);
    const std::wstring name = pin.GetName();
    if (!SameText(name, L"GND") && !SameText(name, L"VCC") && !pin.IsIgnored())
      ++signalPins;
  }
  return signalPins > 0;
}

TNetLink* TScanPinLink::AddNetLink(const INet& ANet, int32_t ABitIndex, TNetLinkKind ANetLinkKind) {
  FNetLinks.push_back(std::make_unique<TNetLink>(this, ANet, ABitIndex, ANetLinkKind));
  TNetLink* first = FNetLinks.back().get();
  if (ANetLinkKind == TNetLinkKind::eNetLink_Bus)
    return first;
  const INet bus = ANet.GetBus();
  if (bus) {
    const int32_t busIndex = ANet.GetBusIndex();
    if (busIndex >= 0)
      FNetLinks.push_back(
          std::make_unique<TNetLink>(this, bus, busIndex, TNetLinkKind::eNetLink_Bus));
  }
  return first;
}

void TScanPinLink::ClearNetLinks() {
  FNetLinks.clear();
}

void TScanPinLink::DeActivateNetLinks() {
  for (const std::unique_ptr<TNetLink>& link : FNetLinks)
    link->DeActivate();
}

void TScanPinLink::ResetAllObjectsLiveHighlightValue() {
  if (FNetLinks.empty())
    return;
  const IUnifiedDataModel model = UnifiedDataModel();
  if (!model)
    return;
  InModelBatch(model, [&] {
    for (const std::unique_ptr<TNetLink>& link : FNetLinks) {
      const INet& net = link->TargetNet;
      const IPCB_Net pcbNet = FindObject(model, net.GetPCBObjectId()).As<IPCB_Net>();
      if (pcbNet) {
        pcbNet.SetLiveHighlightValue(0);
        continue;
      }
      const int32_t count = net.GetItemCount();
      for (int32_t i = 0; i < count; ++i) {
        const ISch_GraphicalObject object =
            FindObject(model, net.GetItem(i).GetObjectId()).As<ISch_GraphicalObject>();
        if (object)
          object.SetLiveHighlightValue(L"");
      }
    }
  });
}

// ---- TNetLink ---------------------------------------------------------------------

TNetLink::TNetLink(TScanPinLink* AScanPinLink, const INet& ATargetNet, int32_t ABitIndex,
                   TNetLinkKind ANetLinkKind)
    : ScanPinLink(AScanPinLink), TargetNet(ATargetNet), BitIndex(ABitIndex),
      NetLinkKind(ANetLinkKind) {}

bool TNetLink::ExistsOnDocument(const IDocument& ADocument) const {
  if (!ADocument)
    return false;
  const IDispatch* document = ADocument.Intf();
  const int32_t count = TargetNet.GetItemCount();
  for (int32_t i = 0; i < count; ++i) {
    const IDocument owner = TargetNet.GetItem(i).GetOwnerDocument();
    if (owner && owner.AsDispatch().Get() == document)
      return true;
  }
  return false;
}

namespace {

// Sets (a pin value other than 0) or clears one bit of a bus object's
// display word, four hexadecimal digits or more; a text that is not a
// hexadecimal number counts as 0.
void WriteBusBit(const ISch_GraphicalObject& AObject, int32_t ABitIndex, int32_t AValue) {
  const uint32_t old = uint32_t(HexStrToIntDef(AObject.GetLiveHighlightValue(), 0));
  const uint32_t mask = 1u << (uint32_t(ABitIndex) & 31);
  AObject.SetLiveHighlightValue(HexText(AValue != 0 ? old | mask : old & ~mask, 4));
}

} // namespace

bool TNetLink::UpdateBusDisplayValue(const ISch_GraphicalObject& ASchObject) const {
  if (NetLinkKind != TNetLinkKind::eNetLink_Bus || BitIndex < 0 || !ASchObject)
    return false;
  WriteBusBit(ASchObject, BitIndex, ScanPinLink->ScanPin().GetCurrentValue());
  return true;
}

void TNetLink::PerformUpdate(const TDocumentLink& ADocumentLink) const {
  const IUnifiedDataModel model = UnifiedDataModel();
  if (!model)
    return;
  InModelBatch(model, [&] {
    if (!ExistsOnDocument(ADocumentLink.Document))
      return;
    const std::wstring kind = ADocumentLink.Document.GetKind();
    const IScanPin pin = ScanPinLink->ScanPin();
    if (SameText(kind, L"SCH")) {
      const auto write = [&](const std::wstring& AId) {
        const ISch_GraphicalObject object = FindObject(model, AId).As<ISch_GraphicalObject>();
        if (!object)
          return;
        if (!UpdateBusDisplayValue(object))
          object.SetLiveHighlightValue(std::to_wstring(pin.GetCurrentValue()));
      };
      const int32_t items = TargetNet.GetItemCount();
      for (int32_t i = 0; i < items; ++i)
        write(TargetNet.GetItem(i).GetObjectId());
      const int32_t lines = TargetNet.GetLineCount();
      for (int32_t i = 0; i < lines; ++i)
        write(TargetNet.GetLine(i).AsDMObject().GetObjectId());
      // The lines of the bus this net is a bit of show the bus's word: the
      // net's own bit is set or cleared there, the other bits are kept.
      const INet bus = TargetNet.GetBus();
      if (bus) {
        const int32_t bit = TargetNet.GetBusIndex();
        const int32_t busLines = bus.GetLineCount();
        for (int32_t i = 0; i < busLines; ++i) {
          const ISch_GraphicalObject object =
              FindObject(model, bus.GetLine(i).AsDMObject().GetObjectId())
                  .As<ISch_GraphicalObject>();
          if (!object)
            continue;
          if (bit >= 0)
            WriteBusBit(object, bit, pin.GetCurrentValue());
          else
            object.SetLiveHighlightValue(std::to_wstring(pin.GetCurrentValue()));
        }
      }
    } else if (SameText(kind, L"PCB")) {
      const IPCB_Net pcbNet = FindObject(model, TargetNet.GetPCBObjectId()).As<IPCB_Net>();
      if (pcbNet)
        pcbNet.SetLiveHighlightValue(PCBLiveHighlightValue(pin.GetCurrentValue()));
    }
  });
}
