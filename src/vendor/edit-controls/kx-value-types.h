#pragma once

#include "streams.h"
#include "variants.h"

#include <cstdint>
#include <string>
#include <vector>

class TPersistent;

// A stream of a data store with the flag that says whether texts go in
// UTF-16 (wide strings) or in the system's ANSI code page.
struct TkxValueStream {
  TStream& Stream;
  bool Unicode = true;
};

// How one kind of field value is held in a record buffer of a data store:
// its size, how a value goes in and comes out as a variant, how two stored
// values compare, stream and show as text. The kinds are used as classes
// only: each is one stateless object, and the store calls its operations
// with the buffer addresses it owns.
//
// A text buffer holds a reference to a heap string (nullptr when no text is
// set). For the kinds whose data buffer holds a reference, PrepareValueBuffer
// turns a buffer address into the address of the referenced value, which
// GetValue accepts.
class TkxValueType {
public:
  TkxValueType(const TkxValueType&) = delete;
  TkxValueType& operator=(const TkxValueType&) = delete;

  virtual int CompareBuffers(const void* P1, const void* P2) const;
  virtual void ReleaseBuffer(void* ABuffer) const;
  void ReleaseTextBuffer(void* ATextBuffer) const;
  virtual size_t BufferSize() const { return 0; }
  virtual TVariant BufferValue(const void* ABuffer) const;
  virtual std::wstring BufferValueText(const void* ABuffer) const;
  std::wstring TextBufferText(const void* ATextBuffer) const;
  virtual void LoadBufferValue(void* ABuffer, TkxValueStream& AStream) const;
  void LoadTextBuffer(void* ATextBuffer, TkxValueStream& AStream) const;
  virtual void StoreBufferValue(void* ABuffer, const TVariant& AValue) const;
  void StoreTextBuffer(void* ATextBuffer, const std::wstring& AText) const;
  virtual void SaveBufferValue(const void* ABuffer, TkxValueStream& AStream) const;
  void SaveTextBuffer(const void* ATextBuffer, TkxValueStream& AStream) const;

  // The class name without its leading "Tkx" and first "ValueType".
  std::wstring Caption() const;
  const wchar_t* ClassName() const { return FClassName; }
  virtual int CompareValues(const void* P1, const void* P2) const;
  virtual TVariant GetValue(const void* AValue) const { return BufferValue(AValue); }
  virtual VARTYPE GetVarType() const { return VT_VARIANT; }
  // Null and any value of a kind without its own variant type are valid;
  // otherwise the value is cast to the kind's type in place, or left as it
  // was when it cannot be, and the answer is false.
  bool IsValueValid(TVariant& AValue) const;
  virtual bool IsString() const { return false; }
  virtual void PrepareValueBuffer(const void*& ABuffer) const { (void)ABuffer; }

protected:
  explicit TkxValueType(const wchar_t* AClassName) : FClassName(AClassName) {}
  ~TkxValueType() = default;

private:
  const wchar_t* FClassName;
};

// The class of a kind: its one object.
using TkxValueTypeClass = const TkxValueType*;

// The fifteen concrete kinds in their load order: String, WideString,
// Smallint, Integer, Word, Boolean, Float, Currency, DateTime, LargeInt,
// FMTBcd, SQLTimeStamp, Variant, Object, BLOB.
extern const TkxValueTypeClass kkxValueTypes[15];
// The abstract kind, which is never registered.
TkxValueTypeClass kxBaseValueType();
// The kind of a class name ("TkxFloatValueType"), nullptr when none.
TkxValueTypeClass FindValueTypeClass(const std::wstring& AClassName);

// The fixed records of the BCD and SQL time-stamp kinds.
#pragma pack(push, 1)
struct TkxBcd {
  uint8_t Precision;
  uint8_t SignSpecialPlaces; // bit 7 the sign, bits 0..5 the decimal places
  uint8_t Fraction[32];      // two digits per byte, the first in the high half
};
struct TkxSQLTimeStamp {
  int16_t Year;
  uint16_t Month, Day, Hour, Minute, Second;
  uint32_t Fractions; // milliseconds
};
#pragma pack(pop)
static_assert(sizeof(TkxBcd) == 34);
static_assert(sizeof(TkxSQLTimeStamp) == 16);

// The BCD of a value's decimal text, and its text back (the locale's
// decimal separator is not used: a point).
TkxBcd VariantToBcd(const TVariant& AValue);
std::wstring BcdToText(const TkxBcd& AValue);
int BcdCompare(const TkxBcd& A, const TkxBcd& B);

// The registry of value-type classes, made on first use.
class TkxValueTypeClassList {
public:
  // Appends the class unless present.
  void RegisterItem(TkxValueTypeClass AItem);
  void UnregisterItem(TkxValueTypeClass AItem);
  // The first registered class whose caption equals ACaption exactly
  // (letter case counts); nullptr when none.
  TkxValueTypeClass ItemByCaption(const std::wstring& ACaption) const;
  size_t Count() const { return FItems.size(); }
  TkxValueTypeClass Item(size_t AIndex) const { return FItems.at(AIndex); }

private:
  std::vector<TkxValueTypeClass> FItems;
};

// The registry; nullptr after the data storage unit's unload until the next
// load.
TkxValueTypeClassList* ValueTypeClassList();
