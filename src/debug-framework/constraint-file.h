#pragma once

// Constraint files: "<name>.Constraint" text files that give a device's
// memory map, one parameter string per line. "BUS_LAYOUT_INFO" lines
// describe the device's buses (architecture sections), "TARVO_CORE" lines
// the logical sections placed on them; any other line is skipped.

#include "parameter-list.h"

#include <cstdint>
#include <string>
#include <vector>

inline constexpr wchar_t kConstraintFileExtension[] = L".Constraint";

// The places a constraint file name is tried, in order: the name itself
// (absolute, or relative to the current folder); the plug-in's
// "Library\Embedded\" folder; the host's embedded library folder; the
// embedded tool chain's "Library\Embedded\" folder.
std::vector<std::wstring> ConstraintFileCandidates(const std::wstring& AName);
// The first candidate that is an existing file; False and an empty path when
// none is, and for an empty name.
bool FindConstraintFile(const std::wstring& AName, std::wstring& AFullPath);

// The lines of a text file in file order; no lines when it cannot be read.
std::vector<std::wstring> ReadConstraintLines(const std::wstring& AFileFullPath);

enum class TConstraintRecordKind { Skipped, Architecture, Logical };
// The kind of a line by its "Record" parameter, compared ignoring case.
TConstraintRecordKind ConstraintRecordKind(const TParameterList& AParamList);

// The values of a "BUS_LAYOUT_INFO" line.
struct TArchitectureSectionFields {
  std::wstring Designator;
  std::wstring BusName;
  std::wstring Description;
  std::wstring BusType;
  uint32_t StartAddress = 0;
  uint32_t Size = 0;
  uint32_t AddressWidth = 0;
  bool IsMappedIO = false;
};

// The values of a "TARVO_CORE" line. An MAU that is absent, 0 or not a
// number is 8.
struct TLogicalSectionFields {
  std::wstring Designator;
  std::wstring BusName;
  std::wstring BusType;
  bool IsDefault = false;
  uint32_t MAU = 8;
  uint32_t Size = 0;
  uint32_t StartAddress = 0;
  std::wstring UsageType;
  std::wstring PhysicalType;
  std::wstring MemConfig;
  bool IsExternal = false;
};

TArchitectureSectionFields ReadArchitectureSectionFields(const TParameterList& AParamList);
TLogicalSectionFields ReadLogicalSectionFields(const TParameterList& AParamList);
