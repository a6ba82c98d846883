#pragma once

#include "contracts.h"

#include <cstdint>
#include <vector>

// The memory map of a device: its buses (architecture sections, which may
// not overlap within one bus type) and the logical sections attached to
// them, with the default ROM, RAM and flash sections. It only grows.
class TDeviceMemoryInformation : public TAbstractDeviceMemoryInformation {
public:
  HRESULT GetDefaultROMLogicalSection(IDeviceMemoryLogicalSection* AResult) override;
  HRESULT GetDefaultRAMLogicalSection(IDeviceMemoryLogicalSection* AResult) override;
  HRESULT GetDefaultFlashLogicalSection(IDeviceMemoryLogicalSection* AResult) override;
  HRESULT GetArchitectureSectionCount(uint32_t* AResult) override;
  HRESULT GetLogicalSectionCount(uint32_t* AResult) override;
  HRESULT GetLogicalSection(uint32_t AIndex, IDeviceMemoryLogicalSection* AResult) override;
  HRESULT GetArchitectureSection(uint32_t AIndex,
                                 IDeviceMemoryArchitectureSection* AResult) override;
  // 0 when appended; -1 when it overlaps a section of the same bus type.
  HRESULT AddArchitectureSection(const IDeviceMemoryArchitectureSection& ASection,
                                 int32_t* AResult) override;
  // 0 when the first bus of its bus type that contains it took it; -1 when
  // none does (the section is then not kept).
  HRESULT AddLogicalSection(const IDeviceMemoryLogicalSection& ASection, int32_t* AResult) override;
  // Registers a default section as the default of its physical type.
  HRESULT AddDefaultSection(const IDeviceMemoryLogicalSection& ASection, int32_t* AResult) override;

private:
  std::vector<IDeviceMemoryArchitectureSection> FArchitectureSectionList;
  std::vector<IDeviceMemoryLogicalSection> FLogicalSectionList;
  IDeviceMemoryLogicalSection FDefaultRomMap;
  IDeviceMemoryLogicalSection FDefaultRamMap;
  IDeviceMemoryLogicalSection FDefaultFlashMap;
};
