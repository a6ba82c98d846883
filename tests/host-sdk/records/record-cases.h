#pragma once

// Typed calls of every wrapper operation, written from records.txt: each case
// makes the record on a host object, calls the operation with the probe's
// sample arguments and hands back what the operation returned and what came
// back through references.

#include "com-ptr.h"
#include "disp-record.h"

#include <oaidl.h>

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

// A value that came out of a wrapper operation.
struct TProbeValue {
  enum class TKind { None, Int, Int64, Real, Bool, Text, Object };
  TKind Kind = TKind::None;
  int64_t Int = 0;
  double Real = 0;
  std::wstring Text;
  const void* Object = nullptr; // identity only, no reference
  bool Empty = false;           // an empty record
};

class TRecordCaseProbe {
public:
  // The sample arguments: distinct per declaration position, so a swap shows.
  static int32_t SampleInt(unsigned AIndex) { return int32_t(0x1000 + 0x111 * AIndex); }
  static int64_t SampleInt64(unsigned AIndex) { return (int64_t(AIndex + 1) << 36) + 5; }
  static bool SampleBool(unsigned AIndex) { return AIndex % 2 == 0; }
  static double SampleReal(unsigned AIndex) { return 0.5 + AIndex; }
  static std::wstring SampleText(unsigned AIndex) { return L"text-" + std::to_wstring(AIndex); }

  // The objects passed for record arguments, one per position.
  explicit TRecordCaseProbe(std::vector<IDispatch*> AObjects) : FObjects(std::move(AObjects)) {}

  int32_t Int(unsigned AIndex) const { return SampleInt(AIndex); }
  int64_t Int64(unsigned AIndex) const { return SampleInt64(AIndex); }
  bool Bool(unsigned AIndex) const { return SampleBool(AIndex); }
  double Real(unsigned AIndex) const { return SampleReal(AIndex); }
  std::wstring Text(unsigned AIndex) const { return SampleText(AIndex); }
  IDispatch* Object(unsigned AIndex) const { return FObjects.at(AIndex); }

  void Returned(int32_t AValue) { Result = Number(TProbeValue::TKind::Int, AValue); }
  void Returned(int64_t AValue) { Result = Number(TProbeValue::TKind::Int64, AValue); }
  void Returned(double AValue) {
    Result.Kind = TProbeValue::TKind::Real;
    Result.Real = AValue;
  }
  void Returned(bool AValue) { Result = Number(TProbeValue::TKind::Bool, AValue ? 1 : 0); }
  void Returned(const std::wstring& AValue) { Result = TextValue(AValue); }
  void Returned(const TDispRecordBase& AValue) { Result = ObjectValue(AValue.Intf()); }

  void CameBack(unsigned AIndex, int32_t AValue) {
    Back[AIndex] = Number(TProbeValue::TKind::Int, AValue);
  }
  void CameBack(unsigned AIndex, int64_t AValue) {
    Back[AIndex] = Number(TProbeValue::TKind::Int64, AValue);
  }
  void CameBack(unsigned AIndex, const std::wstring& AValue) { Back[AIndex] = TextValue(AValue); }
  void CameBack(unsigned AIndex, const TDispRecordBase& AValue) {
    Back[AIndex] = ObjectValue(AValue.Intf());
  }

  void Converted(const wchar_t* AName, const TDispRecordBase& AValue) {
    Conversions[AName] = ObjectValue(AValue.Intf());
  }
  void Converted(const wchar_t* AName, void* APointer) {
    Conversions[AName] = ObjectValue(APointer);
  }
  void Converted(const wchar_t* AName, const TComPtr<IDispatch>& AValue) {
    Conversions[AName] = ObjectValue(AValue.Get());
  }
  void Converted(const wchar_t* AName, const TComPtr<IUnknown>& AValue) {
    Conversions[AName] = ObjectValue(AValue.Get());
  }

  TProbeValue Result;
  std::map<unsigned, TProbeValue> Back;
  std::map<std::wstring, TProbeValue> Conversions;

private:
  static TProbeValue Number(TProbeValue::TKind AKind, int64_t AValue) {
    TProbeValue v;
    v.Kind = AKind;
    v.Int = AValue;
    return v;
  }
  static TProbeValue TextValue(const std::wstring& AText) {
    TProbeValue v;
    v.Kind = TProbeValue::TKind::Text;
    v.Text = AText;
    return v;
  }
  static TProbeValue ObjectValue(const void* AObject) {
    TProbeValue v;
    v.Kind = TProbeValue::TKind::Object;
    v.Object = AObject;
    v.Empty = AObject == nullptr;
    return v;
  }
  std::vector<IDispatch*> FObjects;
};

struct TRecordCallCase {
  const wchar_t* Record;
  const wchar_t* Operation;
  const wchar_t* Logged; // the operation the host sees (a second name logs its call)
  int32_t DispId;
  uint16_t OutMask; // out arguments: emptied before the call
  void (*Run)(IDispatch* ATarget, TRecordCaseProbe& AProbe);
};

struct TRecordConversionCase {
  const wchar_t* Record;
  unsigned Count; // conversions and views the record's callers use
  void (*Run)(IDispatch* ATarget, TRecordCaseProbe& AProbe);
};

std::span<const TRecordCallCase> RecordCallCases();
std::span<const TRecordConversionCase> RecordConversionCases();
