#pragma once

#include "contracts.h"

#include <cstdint>
#include <string>
#include <vector>

// A bus of a device: an address range of one bus type. Its logical sections
// are kept as children.
class TDeviceMemoryArchitectureSection : public TAbstractDeviceMemoryArchitectureSection {
public:
  HRESULT GetDeviceMemoryIndex(uint32_t* AResult) override;
  HRESULT GetBusName(std::wstring* AResult) override;
  HRESULT GetDescription(std::wstring* AResult) override;
  HRESULT GetBusType(std::wstring* AResult) override;
  HRESULT GetStartAddress(uint32_t* AResult) override;
  HRESULT GetSize(uint32_t* AResult) override;
  HRESULT GetIsMappedIO(TBoolean* AResult) override;
  HRESULT GetAddressWidth(uint32_t* AResult) override;
  HRESULT GetDesignator(std::wstring* AResult) override;
  HRESULT SetDeviceMemoryIndex(uint32_t AValue) override;
  HRESULT SetBusName(const std::wstring& AValue) override;
  HRESULT SetDescription(const std::wstring& AValue) override;
  HRESULT SetBusType(const std::wstring& AValue) override;
  HRESULT SetStartAddress(uint32_t AValue) override;
  HRESULT SetSize(uint32_t AValue) override;
  HRESULT SetAddressWidth(uint32_t AValue) override;
  HRESULT SetIsMappedIO(VARIANT_BOOL AValue) override;
  HRESULT SetDesignator(const std::wstring& AValue) override;
  // Appends without any check; answers 0.
  HRESULT AddLogicalSection(const IDeviceMemoryLogicalSection& ASection, int32_t* AResult) override;
  HRESULT GetChildMapCount(uint32_t* AResult) override;
  HRESULT GetChildMap(uint32_t AIndex, IDeviceMemoryLogicalSection* AResult) override;

private:
  int32_t FDeviceMemoryIndex = 0;
  std::wstring FBusName;
  std::wstring FDescription;
  std::wstring FBusType;
  uint32_t FStartAddress = 0;
  uint32_t FSize = 0;
  uint32_t FAddressWidth = 0;
  bool FIsMappedIO = false;
  std::wstring FDesignator;
  std::vector<IDeviceMemoryLogicalSection> FChildList;
};

// A range inside a bus with a usage, a physical type and a default flag.
class TDeviceMemoryLogicalSection : public TAbstractDeviceMemoryLogicalSection {
public:
  HRESULT GetDeviceMemoryIndex(uint32_t* AResult) override;
  HRESULT GetBusName(std::wstring* AResult) override;
  HRESULT GetBusType(std::wstring* AResult) override;
  HRESULT GetUsageType(std::wstring* AResult) override;
  HRESULT GetPhysicalType(std::wstring* AResult) override;
  HRESULT GetStartAddress(uint32_t* AResult) override;
  HRESULT GetSize(uint32_t* AResult) override;
  HRESULT GetMAU(uint32_t* AResult) override;
  HRESULT GetIsDefault(TBoolean* AResult) override;
  HRESULT GetParentMap(IDeviceMemoryArchitectureSection* AResult) override;
  HRESULT GetDesignator(std::wstring* AResult) override;
  HRESULT GetMemConfig(std::wstring* AResult) override;
  HRESULT GetIsExternal(TBoolean* AResult) override;
  HRESULT SetDeviceMemoryIndex(uint32_t AValue) override;
  HRESULT SetIsDefault(VARIANT_BOOL AValue) override;
  HRESULT SetMAU(uint32_t AValue) override;
  HRESULT SetBusName(const std::wstring& AValue) override;
  HRESULT SetBusType(const std::wstring& AValue) override;
  HRESULT SetParentMap(const IDeviceMemoryArchitectureSection& AMap) override;
  HRESULT SetSize(uint32_t AValue) override;
  HRESULT SetStartAddress(uint32_t AValue) override;
  HRESULT SetUsageType(const std::wstring& AValue) override;
  HRESULT SetPhysicalType(const std::wstring& AValue) override;
  HRESULT SetDesignator(const std::wstring& AValue) override;
  HRESULT SetMemConfig(const std::wstring& AValue) override;
  HRESULT SetIsExternal(VARIANT_BOOL AValue) override;

private:
  int32_t FDeviceMemoryIndex = 0;
  std::wstring FBusName;
  std::wstring FBusType;
  bool FIsDefault = false;
  uint32_t FMAU = 0;
  IDeviceMemoryArchitectureSection FParentMap;
  uint32_t FSize = 0;
  uint32_t FStartAddress = 0;
  std::wstring FUsageType;
  std::wstring FPhysicalType;
  std::wstring FDesignator;
  std::wstring FMemConfig;
  bool FIsExternal = false;
};

// Address-range rules of the memory map, in 64-bit arithmetic so that no
// range wraps at 4 GiB. An empty range (size 0) overlaps nothing.
struct TMemoryRange {
  uint32_t Start = 0;
  uint32_t Size = 0;
  uint64_t End() const { return uint64_t(Start) + Size; } // one past the last unit
};
// Whether two ranges share at least one unit.
bool RangesOverlap(const TMemoryRange& A, const TMemoryRange& B);
// Whether AInner lies wholly inside AOuter.
bool RangeContains(const TMemoryRange& AOuter, const TMemoryRange& AInner);
