#pragma once

// What the generated recording contracts need: a call log with argument
// texts, canned results, and a description of every contract class.

#include "contracts.h"

#include <cstdio>
#include <string>
#include <type_traits>
#include <vector>

inline std::wstring ArgText(const std::wstring& AValue) {
  return AValue;
}
inline std::wstring ArgText(int32_t AValue) {
  return std::to_wstring(AValue);
}
inline std::wstring ArgText(uint32_t AValue) {
  return std::to_wstring(AValue);
}
inline std::wstring ArgText(int64_t AValue) {
  return std::to_wstring(AValue);
}
inline std::wstring ArgText(double AValue) {
  wchar_t buffer[32];
  swprintf(buffer, 32, L"%g", AValue);
  return buffer;
}
inline std::wstring ArgText(VARIANT_BOOL AValue) {
  return std::to_wstring(AValue);
}
inline std::wstring ArgText(TBoolean AValue) {
  return std::to_wstring(AValue.Value);
}
inline std::wstring ArgText(const TDispRecordBase& AValue) {
  return AValue.IsEmpty() ? L"null" : L"obj";
}
inline std::wstring PointerText(const void* AValue) {
  wchar_t buffer[16];
  swprintf(buffer, 16, L"%08X", unsigned(reinterpret_cast<uintptr_t>(AValue)));
  return buffer;
}
inline std::wstring ArgText(TDataWord AValue) {
  return PointerText(AValue.Value);
}
template <std::size_t N> std::wstring ArgText(const TSetValue<N>& AValue) {
  std::wstring s;
  for (std::size_t i = 0; i < N; ++i) {
    wchar_t buffer[4];
    swprintf(buffer, 4, L"%02X", AValue.Bytes[i]);
    if (i)
      s += L':';
    s += buffer;
  }
  return s;
}

// Canned answers, one per result kind, so a test can tell the VARTYPE and
// the value apart.
constexpr int32_t kCannedInt = 0x7123;
constexpr uint32_t kCannedUnsigned = 0xE000EDF0;
constexpr int64_t kCannedInt64 = 0x123456789ABLL;
constexpr double kCannedDouble = 2.5;
constexpr uint8_t kCannedBoolean = 2;
constexpr uint8_t kCannedEnum = 3;

// By-reference results written by recording operations: the value depends on
// the parameter's position. Out flags follow a pattern of three: written
// false, written 5, left alone (which counts as true).
inline int32_t FilledInt(int AIndex) {
  return 100 + AIndex;
}
inline uint32_t FilledUnsigned(int AIndex) {
  return 0xF0000000u + uint32_t(AIndex);
}
inline bool FilledFlag(int AIndex) {
  return AIndex % 3 != 1;
}

class TCallRecorder {
public:
  virtual ~TCallRecorder() = default;
  std::vector<std::wstring> Calls;
  HRESULT Answer = S_OK;
  TDispatchRecord ObjectResult;

protected:
  template <class... A> void Record(const wchar_t* AName, const A&... AArgs) {
    std::wstring s = AName;
    s += L'(';
    bool first = true;
    ((s += first ? L"" : L",", s += ArgText(AArgs), first = false), ...);
    s += L')';
    Calls.push_back(s);
  }
  static void Fill(int32_t& AValue, int AIndex) { AValue = FilledInt(AIndex); }
  static void Fill(uint32_t& AValue, int AIndex) { AValue = FilledUnsigned(AIndex); }
  static void Fill(TBoolean& AValue, int AIndex) {
    if (AIndex % 3 == 1)
      AValue = false;
    else if (AIndex % 3 == 2)
      AValue = TBoolean::FromByte(5);
  }
  static void Canned(std::wstring* AResult, const wchar_t* AName) { *AResult = AName; }
  static void Canned(int32_t* AResult, const wchar_t*) { *AResult = kCannedInt; }
  static void Canned(uint32_t* AResult, const wchar_t*) { *AResult = kCannedUnsigned; }
  static void Canned(int64_t* AResult, const wchar_t*) { *AResult = kCannedInt64; }
  static void Canned(double* AResult, const wchar_t*) { *AResult = kCannedDouble; }
  static void Canned(TBoolean* AResult, const wchar_t*) {
    *AResult = TBoolean::FromByte(kCannedBoolean);
  }
  template <class E, std::enable_if_t<std::is_enum_v<E>, int> = 0>
  static void Canned(E* AResult, const wchar_t*) {
    *AResult = static_cast<E>(kCannedEnum);
  }
  template <class R, std::enable_if_t<std::is_base_of_v<TDispRecordBase, R>, int> = 0>
  void Canned(R* AResult, const wchar_t*) {
    *AResult = R::FromDispatch(ObjectResult.Intf());
  }
};

struct TRecordingObject {
  TAbstractSupportService* Object;
  TCallRecorder* Recorder;
};

// One DISPID of a class: argument kinds in declaration order (s string,
// i int32, u uint32, l int64, d double, f flag, o object, I/U by-reference
// int32/uint32, F out flag, w data word, t transport set) and the result
// kind (0 none, s, i, u, l, d, b Boolean, e enumeration, o object).
struct TContractOp {
  DISPID DispId;
  const wchar_t* Name;
  const char* Args;
  char Result;
  bool Custom; // has a default body of its own
};

struct TContractClass {
  const wchar_t* Name;
  const wchar_t* Parent;
  std::vector<const wchar_t*> Services;
  std::vector<TContractOp> Ops;
  TRecordingObject (*CreateRecording)();
  TAbstractSupportService* (*CreatePlain)();
};
