#pragma once

#include "contracts.h"

#include <cstdint>
#include <string>

// A device pin as the host sees it. The driver that made its pins frees them
// when it is destroyed, so interface references never do: AddRef and
// Release do nothing. The differential-pair answers are derived from the
// pin's other answers; everything else is the descendant's.
class TTarvoAbstractDevicePin : public TAbstractDevicePin {
public:
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // GetIOBank + "|" + GetDifferentialId + "|" + GetClkDifferentialId.
  HRESULT GetUniqueDifferentialID(std::wstring* AResult) override;
  // True at the first of the positive-side questions that answers True.
  HRESULT GetIsPosPinOfDiffPair(TBoolean* AResult) override;
  // The same with the negative-side questions.
  HRESULT GetIsNegPinOfDiffPair(TBoolean* AResult) override;
};

// An I/O standard as the host sees it: its names come from the shared
// I/O-standard table, at the row the descendant names with GetStandardId.
// It has no slew rates and no drive strengths.
class TTarvoAbstractDeviceIOStandard : public TAbstractDeviceIOStandard {
public:
  // The row of this standard in IOStandardTable.
  virtual HRESULT GetStandardId(std::uint8_t* AResult) = 0;

  // An id past the table answers empty names: the standard is shown
  // without a name rather than failing the host's whole list.
  HRESULT GetDisplayName(std::wstring* AResult) override;
  HRESULT GetParamName(std::wstring* AResult) override;
  HRESULT GetSlewCount(int32_t* AResult) override;
  HRESULT GetSlewValue(int32_t AIndex, std::wstring* AResult) override;
  HRESULT GetDriveCount(int32_t* AResult) override;
  HRESULT GetDriveStrength(int32_t AIndex, std::wstring* AResult) override;
};
