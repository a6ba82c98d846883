#include "host-record-table.h"

#include <oaidl.h>

const THostRecordKind* FindHostRecordKind(std::wstring_view AName) {
  for (const THostRecordKind& kind : HostRecordKinds())
    if (AName == kind.Name)
      return &kind;
  return nullptr;
}

std::span<const THostRecordCall> HostRecordCallsOf(const THostRecordKind& AKind) {
  return HostRecordCalls().subspan(AKind.FirstCall, AKind.CallCount);
}

const THostRecordCall* FindHostRecordCall(const THostRecordKind& AKind, int32_t ADispId) {
  for (const THostRecordCall& call : HostRecordCallsOf(AKind))
    if (call.DispId == ADispId)
      return &call;
  return nullptr;
}

const THostRecordCall* FindHostRecordCall(const THostRecordKind& AKind,
                                          std::wstring_view AOperation) {
  for (const THostRecordAlias& alias : HostRecordAliases())
    if (AOperation == alias.Operation && std::wstring_view(AKind.Name) == alias.Record)
      AOperation = alias.SameAs;
  for (const THostRecordCall& call : HostRecordCallsOf(AKind))
    if (AOperation == call.Operation)
      return &call;
  return nullptr;
}

uint16_t ArrivingVarType(uint8_t AKind) {
  if (AKind & 0x80)
    return uint16_t(VT_BYREF | (AKind & 0x7F));
  return AKind;
}
