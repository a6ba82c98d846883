#include "memory-sections.h"

namespace {

template <class T, class V> HRESULT Answer(T* AResult, const V& AValue) {
  if (!AResult)
    return E_POINTER;
  *AResult = AValue;
  return S_OK;
}

template <class T, class V> HRESULT Store(T& AField, const V& AValue) {
  AField = AValue;
  return S_OK;
}

} // namespace

bool RangesOverlap(const TMemoryRange& A, const TMemoryRange& B) {
  if (A.Size == 0 || B.Size == 0)
    return false;
  return A.Start < B.End() && B.Start < A.End();
}

bool RangeContains(const TMemoryRange& AOuter, const TMemoryRange& AInner) {
  return AInner.Start >= AOuter.Start && AInner.End() <= AOuter.End();
}

// ---- TDeviceMemoryArchitectureSection -------------------------------------

HRESULT TDeviceMemoryArchitectureSection::GetDeviceMemoryIndex(uint32_t* AResult) {
  return Answer(AResult, uint32_t(FDeviceMemoryIndex));
}
HRESULT TDeviceMemoryArchitectureSection::GetBusName(std::wstring* AResult) {
  return Answer(AResult, FBusName);
}
HRESULT TDeviceMemoryArchitectureSection::GetDescription(std::wstring* AResult) {
  return Answer(AResult, FDescription);
}
HRESULT TDeviceMemoryArchitectureSection::GetBusType(std::wstring* AResult) {
  return Answer(AResult, FBusType);
}
HRESULT TDeviceMemoryArchitectureSection::GetStartAddress(uint32_t* AResult) {
  return Answer(AResult, FStartAddress);
}
HRESULT TDeviceMemoryArchitectureSection::GetSize(uint32_t* AResult) {
  return Answer(AResult, FSize);
}
HRESULT TDeviceMemoryArchitectureSection::GetIsMappedIO(TBoolean* AResult) {
  return Answer(AResult, TBoolean(FIsMappedIO));
}
HRESULT TDeviceMemoryArchitectureSection::GetAddressWidth(uint32_t* AResult) {
  return Answer(AResult, FAddressWidth);
}
HRESULT TDeviceMemoryArchitectureSection::GetDesignator(std::wstring* AResult) {
  return Answer(AResult, FDesignator);
}
HRESULT TDeviceMemoryArchitectureSection::SetDeviceMemoryIndex(uint32_t AValue) {
  return Store(FDeviceMemoryIndex, int32_t(AValue));
}
HRESULT TDeviceMemoryArchitectureSection::SetBusName(const std::wstring& AValue) {
  return Guarded([&] { FBusName = AValue; });
}
HRESULT TDeviceMemoryArchitectureSection::SetDescription(const std::wstring& AValue) {
  return Guarded([&] { FDescription = AValue; });
}
HRESULT TDeviceMemoryArchitectureSection::SetBusType(const std::wstring& AValue) {
  return Guarded([&] { FBusType = AValue; });
}
HRESULT TDeviceMemoryArchitectureSection::SetStartAddress(uint32_t AValue) {
  return Store(FStartAddress, AValue);
}
HRESULT TDeviceMemoryArchitectureSection::SetSize(uint32_t AValue) {
  return Store(FSize, AValue);
}
HRESULT TDeviceMemoryArchitectureSection::SetAddressWidth(uint32_t AValue) {
  return Store(FAddressWidth, AValue);
}
HRESULT TDeviceMemoryArchitectureSection::SetIsMappedIO(VARIANT_BOOL AValue) {
  return Store(FIsMappedIO, AValue != 0);
}
HRESULT TDeviceMemoryArchitectureSection::SetDesignator(const std::wstring& AValue) {
  return Guarded([&] { FDesignator = AValue; });
}
HRESULT
TDeviceMemoryArchitectureSection::AddLogicalSection(const IDeviceMemoryLogicalSection& ASection,
                                                    int32_t* AResult) {
  return Guarded([&] {
    FChildList.push_back(ASection);
    if (AResult)
      *AResult = 0;
  });
}
HRESULT TDeviceMemoryArchitectureSection::GetChildMapCount(uint32_t* AResult) {
  return Answer(AResult, uint32_t(FChildList.size()));
}
HRESULT TDeviceMemoryArchitectureSection::GetChildMap(uint32_t AIndex,
                                                      IDeviceMemoryLogicalSection* AResult) {
  return Answer(AResult,
                AIndex < FChildList.size() ? FChildList[AIndex] : IDeviceMemoryLogicalSection());
}

// ---- TDeviceMemoryLogicalSection ------------------------------------------

HRESULT TDeviceMemoryLogicalSection::GetDeviceMemoryIndex(uint32_t* AResult) {
  return Answer(AResult, uint32_t(FDeviceMemoryIndex));
}
HRESULT TDeviceMemoryLogicalSection::GetBusName(std::wstring* AResult) {
  return Answer(AResult, FBusName);
}
HRESULT TDeviceMemoryLogicalSection::GetBusType(std::wstring* AResult) {
  return Answer(AResult, FBusType);
}
HRESULT TDeviceMemoryLogicalSection::GetUsageType(std::wstring* AResult) {
  return Answer(AResult, FUsageType);
}
HRESULT TDeviceMemoryLogicalSection::GetPhysicalType(std::wstring* AResult) {
  return Answer(AResult, FPhysicalType);
}
HRESULT TDeviceMemoryLogicalSection::GetStartAddress(uint32_t* AResult) {
  return Answer(AResult, FStartAddress);
}
HRESULT TDeviceMemoryLogicalSection::GetSize(uint32_t* AResult) {
  return Answer(AResult, FSize);
}
HRESULT TDeviceMemoryLogicalSection::GetMAU(uint32_t* AResult) {
  return Answer(AResult, FMAU);
}
HRESULT TDeviceMemoryLogicalSection::GetIsDefault(TBoolean* AResult) {
  return Answer(AResult, TBoolean(FIsDefault));
}
HRESULT TDeviceMemoryLogicalSection::GetParentMap(IDeviceMemoryArchitectureSection* AResult) {
  return Answer(AResult, FParentMap);
}
HRESULT TDeviceMemoryLogicalSection::GetDesignator(std::wstring* AResult) {
  return Answer(AResult, FDesignator);
}
HRESULT TDeviceMemoryLogicalSection::GetMemConfig(std::wstring* AResult) {
  return Answer(AResult, FMemConfig);
}
HRESULT TDeviceMemoryLogicalSection::GetIsExternal(TBoolean* AResult) {
  return Answer(AResult, TBoolean(FIsExternal));
}
HRESULT TDeviceMemoryLogicalSection::SetDeviceMemoryIndex(uint32_t AValue) {
  return Store(FDeviceMemoryIndex, int32_t(AValue));
}
HRESULT TDeviceMemoryLogicalSection::SetIsDefault(VARIANT_BOOL AValue) {
  return Store(FIsDefault, AValue != 0);
}
HRESULT TDeviceMemoryLogicalSection::SetMAU(uint32_t AValue) {
  return Store(FMAU, AValue);
}
HRESULT TDeviceMemoryLogicalSection::SetBusName(const std::wstring& AValue) {
  return Guarded([&] { FBusName = AValue; });
}
HRESULT TDeviceMemoryLogicalSection::SetBusType(const std::wstring& AValue) {
  return Guarded([&] { FBusType = AValue; });
}
HRESULT TDeviceMemoryLogicalSection::SetParentMap(const IDeviceMemoryArchitectureSection& AMap) {
  return Store(FParentMap, AMap);
}
HRESULT TDeviceMemoryLogicalSection::SetSize(uint32_t AValue) {
  return Store(FSize, AValue);
}
HRESULT TDeviceMemoryLogicalSection::SetStartAddress(uint32_t AValue) {
  return Store(FStartAddress, AValue);
}
HRESULT TDeviceMemoryLogicalSection::SetUsageType(const std::wstring& AValue) {
  return Guarded([&] { FUsageType = AValue; });
}
HRESULT TDeviceMemoryLogicalSection::SetPhysicalType(const std::wstring& AValue) {
  return Guarded([&] { FPhysicalType = AValue; });
}
HRESULT TDeviceMemoryLogicalSection::SetDesignator(const std::wstring& AValue) {
  return Guarded([&] { FDesignator = AValue; });
}
HRESULT TDeviceMemoryLogicalSection::SetMemConfig(const std::wstring& AValue) {
  return Guarded([&] { FMemConfig = AValue; });
}
HRESULT TDeviceMemoryLogicalSection::SetIsExternal(VARIANT_BOOL AValue) {
  return Store(FIsExternal, AValue != 0);
}
