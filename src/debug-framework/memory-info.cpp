#include "memory-info.h"

#include "memory-sections.h"

#include <cwctype>
#include <string_view>

namespace {

template <class T, class V> HRESULT Answer(T* AResult, const V& AValue) {
  if (!AResult)
    return E_POINTER;
  *AResult = AValue;
  return S_OK;
}

template <class R> R EntryOrEmpty(const std::vector<R>& AList, uint32_t AIndex) {
  return AIndex < AList.size() ? AList[AIndex] : R();
}

bool SameTextIgnoringCase(std::wstring_view A, std::wstring_view B) {
  if (A.size() != B.size())
    return false;
  for (std::size_t i = 0; i < A.size(); ++i)
    if (std::towlower(A[i]) != std::towlower(B[i]))
      return false;
  return true;
}

TMemoryRange RangeOf(const IDeviceMemoryArchitectureSection& ASection) {
  return {uint32_t(ASection.GetStartAddress()), uint32_t(ASection.GetSize())};
}

TMemoryRange RangeOf(const IDeviceMemoryLogicalSection& ASection) {
  return {uint32_t(ASection.GetStartAddress()), uint32_t(ASection.GetSize())};
}

} // namespace

HRESULT
TDeviceMemoryInformation::GetDefaultROMLogicalSection(IDeviceMemoryLogicalSection* AResult) {
  return Answer(AResult, FDefaultRomMap);
}

HRESULT
TDeviceMemoryInformation::GetDefaultRAMLogicalSection(IDeviceMemoryLogicalSection* AResult) {
  return Answer(AResult, FDefaultRamMap);
}

HRESULT
TDeviceMemoryInformation::GetDefaultFlashLogicalSection(IDeviceMemoryLogicalSection* AResult) {
  return Answer(AResult, FDefaultFlashMap);
}

HRESULT TDeviceMemoryInformation::GetArchitectureSectionCount(uint32_t* AResult) {
  return Answer(AResult, uint32_t(FArchitectureSectionList.size()));
}

HRESULT TDeviceMemoryInformation::GetLogicalSectionCount(uint32_t* AResult) {
  return Answer(AResult, uint32_t(FLogicalSectionList.size()));
}

HRESULT TDeviceMemoryInformation::GetLogicalSection(uint32_t AIndex,
                                                    IDeviceMemoryLogicalSection* AResult) {
  return Answer(AResult, EntryOrEmpty(FLogicalSectionList, AIndex));
}

HRESULT
TDeviceMemoryInformation::GetArchitectureSection(uint32_t AIndex,
                                                 IDeviceMemoryArchitectureSection* AResult) {
  return Answer(AResult, EntryOrEmpty(FArchitectureSectionList, AIndex));
}

HRESULT
TDeviceMemoryInformation::AddArchitectureSection(const IDeviceMemoryArchitectureSection& ASection,
                                                 int32_t* AResult) {
  if (!AResult)
    return E_POINTER;
  return Guarded([&] {
    *AResult = -1;
    const std::wstring busType = ASection.GetBusType();
    const TMemoryRange range = RangeOf(ASection);
    for (const IDeviceMemoryArchitectureSection& existing : FArchitectureSectionList)
      if (existing.GetBusType() == busType && RangesOverlap(range, RangeOf(existing)))
        return;
    FArchitectureSectionList.push_back(ASection);
    *AResult = 0;
  });
}

HRESULT TDeviceMemoryInformation::AddLogicalSection(const IDeviceMemoryLogicalSection& ASection,
                                                    int32_t* AResult) {
  if (!AResult)
    return E_POINTER;
  return Guarded([&] {
    *AResult = -1;
    const std::wstring busType = ASection.GetBusType();
    const TMemoryRange range = RangeOf(ASection);
    for (const IDeviceMemoryArchitectureSection& bus : FArchitectureSectionList) {
      if (bus.GetBusType() != busType || !RangeContains(RangeOf(bus), range))
        continue;
      ASection.SetParentMap(bus);
      ASection.SetBusName(bus.GetBusName());
      ASection.SetDeviceMemoryIndex(bus.GetDeviceMemoryIndex());
      bus.AddLogicalSection(ASection);
      FLogicalSectionList.push_back(ASection);
      int32_t ignored = 0;
      const HRESULT hr = AddDefaultSection(ASection, &ignored);
      if (FAILED(hr))
        throw EOleSysError(hr, L"AddDefaultSection");
      *AResult = 0;
      return;
    }
  });
}

HRESULT TDeviceMemoryInformation::AddDefaultSection(const IDeviceMemoryLogicalSection& ASection,
                                                    int32_t* AResult) {
  if (!AResult)
    return E_POINTER;
  return Guarded([&] {
    *AResult = 0;
    if (!ASection.GetIsDefault())
      return;
    const struct {
      const wchar_t* PhysicalType;
      IDeviceMemoryLogicalSection TDeviceMemoryInformation::*Default;
    } defaults[] = {
        {L"rom", &TDeviceMemoryInformation::FDefaultRomMap},
        {L"ram", &TDeviceMemoryInformation::FDefaultRamMap},
        {L"flash", &TDeviceMemoryInformation::FDefaultFlashMap},
    };
    const std::wstring physicalType = ASection.GetPhysicalType();
    for (const auto& d : defaults)
      if (SameTextIgnoringCase(physicalType, d.PhysicalType))
        this->*d.Default = ASection;
  });
}
