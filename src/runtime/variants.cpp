#include "variants.h"

#include <limits>
#include <new>
#include <utility>

namespace {

// A VARIANT that clears itself.
struct TOleHolder {
  VARIANT Value;
  TOleHolder() { VariantInit(&Value); }
  explicit TOleHolder(const VARIANT& AValue) : Value(AValue) {}
  TOleHolder(const TOleHolder&) = delete;
  TOleHolder& operator=(const TOleHolder&) = delete;
  ~TOleHolder() { VariantClear(&Value); }
};

[[noreturn]] void RaiseCast(VARTYPE AFrom, const wchar_t* ATo) {
  throw EVariantError(L"Could not convert variant of type (" + std::to_wstring(AFrom) +
                      L") into type (" + ATo + L")");
}

BSTR NewBstr(const std::wstring& AText) {
  BSTR text = SysAllocStringLen(AText.data(), UINT(AText.size()));
  if (!text)
    throw std::bad_alloc();
  return text;
}

bool IsOleInteger(VARTYPE AType) {
  switch (AType) {
  case VT_I1:
  case VT_UI1:
  case VT_I2:
  case VT_UI2:
  case VT_I4:
  case VT_UI4:
  case VT_I8:
  case VT_INT:
  case VT_UINT:
    return true;
  default:
    return false;
  }
}

// The system's VARIANT routines take their sources without const.
VARIANT* Source(const VARIANT* AValue) {
  return const_cast<VARIANT*>(AValue);
}

// Converts a scalar OLE value by the system's rules, with the user's locale;
// the caller clears the result.
VARIANT Converted(const VARIANT& AValue, VARTYPE ATo, const wchar_t* AToName) {
  VARIANT result;
  VariantInit(&result);
  if (FAILED(VariantChangeTypeEx(&result, Source(&AValue), LOCALE_USER_DEFAULT, 0, ATo)))
    RaiseCast(AValue.vt, AToName);
  return result;
}

} // namespace

std::wstring AnsiToWide(const std::string& AText) {
  if (AText.empty())
    return {};
  const int count = MultiByteToWideChar(CP_ACP, 0, AText.data(), int(AText.size()), nullptr, 0);
  std::wstring wide(size_t(count), L'\0');
  MultiByteToWideChar(CP_ACP, 0, AText.data(), int(AText.size()), wide.data(), count);
  return wide;
}

std::string WideToAnsi(const std::wstring& AText) {
  if (AText.empty())
    return {};
  const int count =
      WideCharToMultiByte(CP_ACP, 0, AText.data(), int(AText.size()), nullptr, 0, nullptr, nullptr);
  std::string ansi(size_t(count), '\0');
  WideCharToMultiByte(CP_ACP, 0, AText.data(), int(AText.size()), ansi.data(), count, nullptr,
                      nullptr);
  return ansi;
}

TVariant::TVariant(const TVariant& AOther) {
  VariantInit(&FOle);
  CopyFrom(AOther);
}

TVariant::TVariant(TVariant&& AOther) noexcept
    : FType(AOther.FType), FOle(AOther.FOle), FAnsi(std::move(AOther.FAnsi)),
      FItems(std::move(AOther.FItems)), FLowBound(AOther.FLowBound) {
  VariantInit(&AOther.FOle);
  AOther.FType = VT_EMPTY;
  AOther.FLowBound = 0;
}

TVariant& TVariant::operator=(const TVariant& AOther) {
  if (this != &AOther) {
    TVariant copy(AOther);
    *this = std::move(copy);
  }
  return *this;
}

TVariant& TVariant::operator=(TVariant&& AOther) noexcept {
  if (this != &AOther) {
    Clear();
    FType = AOther.FType;
    FOle = AOther.FOle;
    FAnsi = std::move(AOther.FAnsi);
    FItems = std::move(AOther.FItems);
    FLowBound = AOther.FLowBound;
    VariantInit(&AOther.FOle);
    AOther.FType = VT_EMPTY;
    AOther.FLowBound = 0;
  }
  return *this;
}

void TVariant::Clear() {
  VariantClear(&FOle);
  FType = VT_EMPTY;
  FAnsi.clear();
  FItems.clear();
  FLowBound = 0;
}

void TVariant::CopyFrom(const TVariant& AOther) {
  if (FAILED(VariantCopy(&FOle, Source(&AOther.FOle))))
    throw std::bad_alloc();
  FType = AOther.FType;
  FAnsi = AOther.FAnsi;
  FItems = AOther.FItems;
  FLowBound = AOther.FLowBound;
}

TVariant::TVariant(int32_t AValue) : TVariant() {
  FType = FOle.vt = VT_I4;
  FOle.lVal = AValue;
}

TVariant::TVariant(int64_t AValue) : TVariant() {
  FType = FOle.vt = VT_I8;
  FOle.llVal = AValue;
}

TVariant::TVariant(double AValue) : TVariant() {
  FType = FOle.vt = VT_R8;
  FOle.dblVal = AValue;
}

TVariant::TVariant(bool AValue) : TVariant() {
  FType = FOle.vt = VT_BOOL;
  FOle.boolVal = AValue ? VARIANT_TRUE : VARIANT_FALSE;
}

TVariant::TVariant(const std::wstring& AValue) : TVariant() {
  FOle.bstrVal = NewBstr(AValue);
  FType = FOle.vt = VT_BSTR;
}

TVariant TVariant::Null() {
  TVariant value;
  value.FType = value.FOle.vt = VT_NULL;
  return value;
}

TVariant TVariant::Integer(VARTYPE AType, int64_t AValue) {
  TVariant value;
  VARIANT source;
  VariantInit(&source);
  source.vt = VT_I8;
  source.llVal = AValue;
  if (!IsOleInteger(AType) || FAILED(VariantChangeType(&value.FOle, &source, 0, AType)))
    RaiseCast(VT_I8, L"Integer");
  value.FType = AType;
  return value;
}

TVariant TVariant::Single(float AValue) {
  TVariant value;
  value.FType = value.FOle.vt = VT_R4;
  value.FOle.fltVal = AValue;
  return value;
}

TVariant TVariant::Currency(int64_t AScaled) {
  TVariant value;
  value.FType = value.FOle.vt = VT_CY;
  value.FOle.cyVal.int64 = AScaled;
  return value;
}

TVariant TVariant::Date(double AValue) {
  TVariant value;
  value.FType = value.FOle.vt = VT_DATE;
  value.FOle.date = AValue;
  return value;
}

TVariant TVariant::Ansi(const std::string& AValue) {
  TVariant value;
  value.FType = varAnsiString;
  value.FAnsi = AValue;
  return value;
}

TVariant TVariant::UString(const std::wstring& AValue) {
  TVariant value(AValue);
  value.FType = varUString;
  return value;
}

TVariant TVariant::Array(std::vector<TVariant> AItems, int32_t ALowBound) {
  TVariant value;
  value.FType = varArray;
  value.FItems = std::move(AItems);
  value.FLowBound = ALowBound;
  return value;
}

TVariant TVariant::FromOle(const VARIANT& AValue) {
  const VARIANT* source = &AValue;
  if (source->vt == (VT_BYREF | VT_VARIANT) && source->pvarVal)
    source = source->pvarVal;
  if (source->vt & VT_BYREF) {
    TOleHolder plain;
    if (FAILED(VariantCopyInd(&plain.Value, Source(source))))
      RaiseCast(source->vt, L"Variant");
    return FromOle(plain.Value);
  }
  if (source->vt & VT_ARRAY) {
    SAFEARRAY* array = source->parray;
    if (!array || SafeArrayGetDim(array) != 1)
      RaiseCast(source->vt, L"Array");
    LONG low = 0, high = -1;
    SafeArrayGetLBound(array, 1, &low);
    SafeArrayGetUBound(array, 1, &high);
    std::vector<TVariant> items;
    const VARTYPE elementType = VARTYPE(source->vt & VT_TYPEMASK);
    for (LONG i = low; i <= high; ++i) {
      TOleHolder element;
      if (elementType == VT_VARIANT) {
        if (FAILED(SafeArrayGetElement(array, &i, &element.Value)))
          RaiseCast(source->vt, L"Array");
      } else {
        // Plain element types are read into a VARIANT of that type.
        VARIANT raw;
        VariantInit(&raw);
        if (FAILED(SafeArrayGetElement(array, &i, &raw.lVal)))
          RaiseCast(source->vt, L"Array");
        raw.vt = elementType;
        element.Value = raw;
      }
      items.push_back(FromOle(element.Value));
    }
    return Array(std::move(items), int32_t(low));
  }
  switch (source->vt) {
  case VT_EMPTY:
  case VT_NULL:
  case VT_I1:
  case VT_UI1:
  case VT_I2:
  case VT_UI2:
  case VT_I4:
  case VT_UI4:
  case VT_I8:
  case VT_UI8:
  case VT_INT:
  case VT_UINT:
  case VT_R4:
  case VT_R8:
  case VT_CY:
  case VT_DATE:
  case VT_BSTR:
  case VT_BOOL:
  case VT_ERROR:
  case VT_DECIMAL: {
    TVariant value;
    if (FAILED(VariantCopy(&value.FOle, Source(source))))
      RaiseCast(source->vt, L"Variant");
    value.FType = source->vt;
    return value;
  }
  default:
    RaiseCast(source->vt, L"Variant");
  }
}

bool TVariant::IsInteger() const {
  return IsOleInteger(FType) || FType == VT_UI8;
}

bool TVariant::IsNumeric() const {
  return IsInteger() || FType == VT_R4 || FType == VT_R8 || FType == VT_CY || FType == VT_DECIMAL;
}

const TVariant& TVariant::operator[](int32_t AIndex) const {
  if (!IsArray() || AIndex < FLowBound || AIndex > HighBound())
    throw EVariantError(L"Variant or safe array index out of bounds");
  return FItems[size_t(AIndex - FLowBound)];
}

VARIANT TVariant::ScalarOle() const {
  VARIANT result;
  VariantInit(&result);
  if (FType == varAnsiString) {
    result.bstrVal = NewBstr(AnsiToWide(FAnsi));
    result.vt = VT_BSTR;
  } else if (FType == varArray) {
    RaiseCast(FType, L"scalar");
  } else if (FAILED(VariantCopy(&result, Source(&FOle)))) {
    throw std::bad_alloc();
  }
  return result;
}

VARIANT TVariant::ToOle() const {
  if (!IsArray())
    return ScalarOle();
  SAFEARRAYBOUND bound{ULONG(FItems.size()), FLowBound};
  SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 1, &bound);
  if (!array)
    throw std::bad_alloc();
  for (size_t i = 0; i < FItems.size(); ++i) {
    TOleHolder element(FItems[i].ToOle());
    LONG index = FLowBound + LONG(i);
    if (FAILED(SafeArrayPutElement(array, &index, &element.Value))) {
      SafeArrayDestroy(array);
      throw std::bad_alloc();
    }
  }
  VARIANT result;
  VariantInit(&result);
  result.vt = varArray;
  result.parray = array;
  return result;
}

int64_t TVariant::AsInt64() const {
  TOleHolder source(ScalarOle());
  TOleHolder result(Converted(source.Value, VT_I8, L"Int64"));
  return result.Value.llVal;
}

double TVariant::AsDouble() const {
  TOleHolder source(ScalarOle());
  TOleHolder result(Converted(source.Value, VT_R8, L"Double"));
  return result.Value.dblVal;
}

bool TVariant::AsBoolean() const {
  TOleHolder source(ScalarOle());
  TOleHolder result(Converted(source.Value, VT_BOOL, L"Boolean"));
  return result.Value.boolVal != VARIANT_FALSE;
}

std::wstring TVariant::AsString() const {
  if (FType == varAnsiString)
    return AnsiToWide(FAnsi);
  if (FType == VT_BSTR || FType == varUString)
    return FOle.bstrVal ? std::wstring(FOle.bstrVal, SysStringLen(FOle.bstrVal)) : std::wstring();
  if (FType == VT_NULL)
    RaiseCast(FType, L"String");
  TOleHolder source(ScalarOle());
  const TOleHolder text(Converted(source.Value, VT_BSTR, L"String"));
  return text.Value.bstrVal ? std::wstring(text.Value.bstrVal, SysStringLen(text.Value.bstrVal))
                            : std::wstring();
}

std::string TVariant::AsAnsi() const {
  return FType == varAnsiString ? FAnsi : WideToAnsi(AsString());
}

int64_t TVariant::CurrencyScaled() const {
  if (FType == VT_CY)
    return FOle.cyVal.int64;
  TOleHolder source(ScalarOle());
  TOleHolder result(Converted(source.Value, VT_CY, L"Currency"));
  return result.Value.cyVal.int64;
}

int VariantCompareOle(const TVariant& A, const TVariant& B) {
  if (A.IsNull() || B.IsNull())
    return A.IsNull() == B.IsNull() ? 0 : A.IsNull() ? -1 : 1;
  TOleHolder left(A.ToOle()), right(B.ToOle());
  // VarCmp leaves out the unsigned and 8-bit integer types on some systems;
  // they compare as 64-bit integers.
  for (VARIANT* side : {&left.Value, &right.Value})
    if (side->vt == VT_I1 || side->vt == VT_UI2 || side->vt == VT_UI4 || side->vt == VT_UI8 ||
        side->vt == VT_INT || side->vt == VT_UINT)
      VariantChangeType(side, side, 0, VT_I8);
  switch (VarCmp(&left.Value, &right.Value, LOCALE_USER_DEFAULT, 0)) {
  case VARCMP_LT:
    return -1;
  case VARCMP_EQ:
    return 0;
  case VARCMP_GT:
    return 1;
  default:
    throw EVariantError(L"Invalid variant type comparison");
  }
}
