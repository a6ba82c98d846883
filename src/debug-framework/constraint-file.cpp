#include "constraint-file.h"

#include "client-access.h"
#include "host-utilities.h"
#include "numeric-text.h"
#include "string-routines.h"

#include <windows.h>

#include <fstream>
#include <iterator>

namespace {

bool SameText(const std::wstring& A, const std::wstring& B) {
  return CompareStringOrdinal(A.c_str(), int(A.size()), B.c_str(), int(B.size()), TRUE) ==
         CSTR_EQUAL;
}

// How a key's text becomes a field value.
enum class TKeyKind { Text, Size, Integer, Boolean };

template <class TFields> struct TKeyRow {
  const wchar_t* Key;
  TKeyKind Kind;
  std::wstring TFields::*Text = nullptr;
  uint32_t TFields::*Number = nullptr;
  bool TFields::*Flag = nullptr;
};

template <class TFields>
constexpr TKeyRow<TFields> TextKey(const wchar_t* AKey, std::wstring TFields::*AField) {
  return {AKey, TKeyKind::Text, AField, nullptr, nullptr};
}
template <class TFields>
constexpr TKeyRow<TFields> NumberKey(const wchar_t* AKey, TKeyKind AKind,
                                     uint32_t TFields::*AField) {
  return {AKey, AKind, nullptr, AField, nullptr};
}
template <class TFields>
constexpr TKeyRow<TFields> FlagKey(const wchar_t* AKey, bool TFields::*AField) {
  return {AKey, TKeyKind::Boolean, nullptr, nullptr, AField};
}

using A = TArchitectureSectionFields;
using L = TLogicalSectionFields;

constexpr TKeyRow<A> kArchitectureKeys[] = {
    TextKey<A>(L"ComponentDesignator", &A::Designator),
    TextKey<A>(L"Memory_BusName", &A::BusName),
    TextKey<A>(L"Memory_Description", &A::Description),
    TextKey<A>(L"Memory_BusType", &A::BusType),
    NumberKey<A>(L"ProgramDownloadAddress", TKeyKind::Size, &A::StartAddress),
    NumberKey<A>(L"Memory_Depth", TKeyKind::Size, &A::Size),
    NumberKey<A>(L"Memory_Width", TKeyKind::Integer, &A::AddressWidth),
    FlagKey<A>(L"Memory_MappedIO", &A::IsMappedIO),
};

constexpr TKeyRow<L> kLogicalKeys[] = {
    TextKey<L>(L"ComponentDesignator", &L::Designator),
    TextKey<L>(L"Memory_BusName", &L::BusName),
    TextKey<L>(L"Memory_BusType", &L::BusType),
    FlagKey<L>(L"Default", &L::IsDefault),
    NumberKey<L>(L"Memory_Mau", TKeyKind::Size, &L::MAU),
    NumberKey<L>(L"Memory_Depth", TKeyKind::Size, &L::Size),
    NumberKey<L>(L"ProgramDownloadAddress", TKeyKind::Size, &L::StartAddress),
    TextKey<L>(L"Memory_UsageType", &L::UsageType),
    TextKey<L>(L"Memory_PhysicalType", &L::PhysicalType),
    TextKey<L>(L"Memory_Configuration", &L::MemConfig),
    FlagKey<L>(L"Memory_External", &L::IsExternal),
};

// Absent keys keep the field's default.
template <class TFields, std::size_t N>
void ReadKeys(const TParameterList& AParamList, const TKeyRow<TFields> (&ARows)[N],
              TFields& AFields) {
  for (const TKeyRow<TFields>& row : ARows) {
    std::wstring text;
    if (!AParamList.GetState_ParameterAsString(row.Key, text))
      continue;
    switch (row.Kind) {
    case TKeyKind::Text:
      AFields.*row.Text = text;
      break;
    case TKeyKind::Size:
      AFields.*row.Number = ParseSize(text);
      break;
    case TKeyKind::Integer: {
      int32_t value = 0;
      AParamList.GetState_ParameterAsInteger(row.Key, value);
      AFields.*row.Number = uint32_t(value);
      break;
    }
    case TKeyKind::Boolean: {
      bool value = false;
      AParamList.GetState_ParameterAsBoolean(row.Key, value);
      AFields.*row.Flag = value;
      break;
    }
    }
  }
}

struct TRecordRow {
  const wchar_t* Name;
  TConstraintRecordKind Kind;
};

constexpr TRecordRow kRecordKinds[] = {
    {L"BUS_LAYOUT_INFO", TConstraintRecordKind::Architecture},
    {L"TARVO_CORE", TConstraintRecordKind::Logical},
};

} // namespace

std::vector<std::wstring> ConstraintFileCandidates(const std::wstring& AName) {
  return {
      AName,
      GetModuleFolder() + L"Library\\Embedded\\" + AName,
      GetEmbeddedLibraryFolder() + AName,
      SpecialFolder_EmbeddedExtension() + L"Library\\Embedded\\" + AName,
  };
}

bool FindConstraintFile(const std::wstring& AName, std::wstring& AFullPath) {
  AFullPath.clear();
  if (AName.empty())
    return false;
  for (const std::wstring& candidate : ConstraintFileCandidates(AName)) {
    if (FileExists(candidate)) {
      AFullPath = candidate;
      return true;
    }
  }
  return false;
}

std::vector<std::wstring> ReadConstraintLines(const std::wstring& AFileFullPath) {
  std::vector<std::wstring> lines;
  std::ifstream file(AFileFullPath.c_str(), std::ios::binary);
  if (!file)
    return lines;
  const std::string content((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
  // The files are plain ANSI text; lines end in CR LF, LF or CR.
  std::string line;
  const auto flush = [&lines, &line] {
    const int length = MultiByteToWideChar(CP_ACP, 0, line.data(), int(line.size()), nullptr, 0);
    std::wstring wide(std::size_t(length), L'\0');
    if (length > 0)
      MultiByteToWideChar(CP_ACP, 0, line.data(), int(line.size()), wide.data(), length);
    lines.push_back(std::move(wide));
    line.clear();
  };
  for (std::size_t i = 0; i < content.size(); ++i) {
    const char c = content[i];
    if (c == '\r' || c == '\n') {
      flush();
      if (c == '\r' && i + 1 < content.size() && content[i + 1] == '\n')
        ++i;
    } else {
      line += c;
    }
  }
  if (!line.empty())
    flush();
  return lines;
}

TConstraintRecordKind ConstraintRecordKind(const TParameterList& AParamList) {
  std::wstring record;
  if (!AParamList.GetState_ParameterAsString(L"Record", record))
    return TConstraintRecordKind::Skipped;
  for (const TRecordRow& row : kRecordKinds)
    if (SameText(record, row.Name))
      return row.Kind;
  return TConstraintRecordKind::Skipped;
}

TArchitectureSectionFields ReadArchitectureSectionFields(const TParameterList& AParamList) {
  TArchitectureSectionFields fields;
  ReadKeys(AParamList, kArchitectureKeys, fields);
  return fields;
}

TLogicalSectionFields ReadLogicalSectionFields(const TParameterList& AParamList) {
  TLogicalSectionFields fields;
  ReadKeys(AParamList, kLogicalKeys, fields);
  if (fields.MAU == 0)
    fields.MAU = 8;
  return fields;
}
