#include "pin-bases.h"

#include "io-standard-table.h"

namespace {

// One answer of the object itself; a failing answer becomes an exception,
// which the calling operation turns into E_UNEXPECTED.
template <class C, class B, class T> T Ask(C& AObject, HRESULT (B::*AOperation)(T*)) {
  T value{};
  const HRESULT hr = (AObject.*AOperation)(&value);
  if (FAILED(hr))
    throw EOleSysError(hr, L"Device pin operation failed");
  return value;
}

using TPinQuestion = HRESULT (TAbstractDevicePin::*)(TBoolean*);

constexpr TPinQuestion PositiveQuestions[] = {
    &TAbstractDevicePin::GetIsDiffP_Pin,
    &TAbstractDevicePin::GetIsHDiffP_Pin,
    &TAbstractDevicePin::GetIsDCIP_Pin,
    &TAbstractDevicePin::GetIsClkDiffP_Pin,
};

constexpr TPinQuestion NegativeQuestions[] = {
    &TAbstractDevicePin::GetIsDiffN_Pin,
    &TAbstractDevicePin::GetIsHDiffN_Pin,
    &TAbstractDevicePin::GetIsDCIN_Pin,
    &TAbstractDevicePin::GetIsClkDiffN_Pin,
};

template <std::size_t N>
HRESULT AnyOf(TAbstractDevicePin& APin, const TPinQuestion (&AQuestions)[N], TBoolean* AResult) {
  if (!AResult)
    return E_POINTER;
  return Guarded([&] {
    bool answer = false;
    for (TPinQuestion question : AQuestions)
      if (Ask(APin, question)) {
        answer = true;
        break;
      }
    *AResult = answer;
  });
}

template <class F>
HRESULT RowText(TTarvoAbstractDeviceIOStandard& AStandard, std::wstring* AResult, F AColumn) {
  if (!AResult)
    return E_POINTER;
  return Guarded([&] {
    const TIOStandardRow* row =
        FindIOStandard(Ask(AStandard, &TTarvoAbstractDeviceIOStandard::GetStandardId));
    *AResult = row ? AColumn(*row) : L"";
  });
}

} // namespace

ULONG STDMETHODCALLTYPE TTarvoAbstractDevicePin::AddRef() {
  return ULONG(-1);
}

ULONG STDMETHODCALLTYPE TTarvoAbstractDevicePin::Release() {
  return ULONG(-1);
}

HRESULT TTarvoAbstractDevicePin::GetUniqueDifferentialID(std::wstring* AResult) {
  if (!AResult)
    return E_POINTER;
  return Guarded([&] {
    std::wstring id = Ask(*this, &TAbstractDevicePin::GetIOBank);
    id += L'|';
    id += Ask(*this, &TAbstractDevicePin::GetDifferentialId);
    id += L'|';
    id += Ask(*this, &TAbstractDevicePin::GetClkDifferentialId);
    *AResult = std::move(id);
  });
}

HRESULT TTarvoAbstractDevicePin::GetIsPosPinOfDiffPair(TBoolean* AResult) {
  return AnyOf(*this, PositiveQuestions, AResult);
}

HRESULT TTarvoAbstractDevicePin::GetIsNegPinOfDiffPair(TBoolean* AResult) {
  return AnyOf(*this, NegativeQuestions, AResult);
}

HRESULT TTarvoAbstractDeviceIOStandard::GetDisplayName(std::wstring* AResult) {
  return RowText(*this, AResult, [](const TIOStandardRow& ARow) { return ARow.DisplayName; });
}

HRESULT TTarvoAbstractDeviceIOStandard::GetParamName(std::wstring* AResult) {
  return RowText(*this, AResult, [](const TIOStandardRow& ARow) { return ARow.ParamName; });
}

HRESULT TTarvoAbstractDeviceIOStandard::GetSlewCount(int32_t* AResult) {
  if (!AResult)
    return E_POINTER;
  *AResult = 0;
  return S_OK;
}

HRESULT TTarvoAbstractDeviceIOStandard::GetSlewValue(int32_t, std::wstring* AResult) {
  if (!AResult)
    return E_POINTER;
  AResult->clear();
  return S_OK;
}

HRESULT TTarvoAbstractDeviceIOStandard::GetDriveCount(int32_t* AResult) {
  if (!AResult)
    return E_POINTER;
  *AResult = 0;
  return S_OK;
}

HRESULT TTarvoAbstractDeviceIOStandard::GetDriveStrength(int32_t, std::wstring* AResult) {
  if (!AResult)
    return E_POINTER;
  AResult->clear();
  return S_OK;
}
