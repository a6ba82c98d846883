#pragma once

// The calls of every wrapper record as data, for objects that answer them
// (the test host's objects) and for checks that walk all of them.

#include <cstdint>
#include <span>
#include <string_view>

constexpr uint8_t kConversionFromPointer = 0x01;
constexpr uint8_t kConversionToPointer = 0x02;
constexpr uint8_t kConversionFromDispatch = 0x04;
constexpr uint8_t kConversionToDispatch = 0x08;
constexpr uint8_t kConversionAsDispatch = 0x10;
constexpr uint8_t kConversionAsInterface = 0x20;
constexpr uint8_t kConversionFromInterface = 0x40;

constexpr int kMaxRecordCallArgs = 10;

// One distinct host call of a record. ArgTypes are the call's argument kinds
// in declaration order (0x80 marks by reference), ResultType a VARTYPE.
struct THostRecordCall {
  const wchar_t* Record;
  const wchar_t* Operation;
  int32_t DispId;
  uint8_t ResultType;
  uint8_t ArgCount;
  uint8_t ArgTypes[kMaxRecordCallArgs];
};

// A record and its calls: HostRecordCalls()[FirstCall .. FirstCall+CallCount).
struct THostRecordKind {
  const wchar_t* Name;
  const wchar_t* Group;
  uint16_t FirstCall;
  uint16_t CallCount;
  uint8_t Conversions; // kConversion* bits its callers use
};

// A second name of a call: the same DISPID, arguments and result.
struct THostRecordAlias {
  const wchar_t* Record;
  const wchar_t* Operation;
  const wchar_t* SameAs;
};

// A record's view of the same pointer as another record, made without a query.
struct THostRecordView {
  const wchar_t* Record;
  const wchar_t* Operation;
  const wchar_t* Target;
};

std::span<const THostRecordCall> HostRecordCalls();
std::span<const THostRecordKind> HostRecordKinds();
std::span<const THostRecordAlias> HostRecordAliases();
std::span<const THostRecordView> HostRecordViews();

// The record of a name, or nullptr.
const THostRecordKind* FindHostRecordKind(std::wstring_view AName);
// The calls of a record.
std::span<const THostRecordCall> HostRecordCallsOf(const THostRecordKind& AKind);
// A record's call by DISPID, or nullptr.
const THostRecordCall* FindHostRecordCall(const THostRecordKind& AKind, int32_t ADispId);
// A record's call by operation name (a second name finds its call), or nullptr.
const THostRecordCall* FindHostRecordCall(const THostRecordKind& AKind,
                                          std::wstring_view AOperation);

// The VARTYPE an argument of a kind arrives with at the host.
uint16_t ArrivingVarType(uint8_t AKind);
