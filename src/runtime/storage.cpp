#include "storage.h"

#include "rtl-exceptions.h"
#include "string-lists.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <system_error>

namespace {

std::wstring Quoted(const std::wstring& AName) {
  return L"'" + AName + L"'";
}

[[noreturn]] void GetDataFailed(const std::wstring& AName) {
  throw ERegistryException(L"Failed to get data for " + Quoted(AName));
}

[[noreturn]] void InvalidDataType(const std::wstring& AName) {
  throw ERegistryException(L"Invalid data type for " + Quoted(AName));
}

std::wstring TrimmedKeyPath(const std::wstring& AKey) {
  std::wstring key = AKey;
  while (!key.empty() && key.back() == L'\\')
    key.pop_back();
  return key;
}

std::wstring Trim(const std::wstring& AText) {
  size_t first = AText.find_first_not_of(L" \t");
  if (first == std::wstring::npos)
    return {};
  size_t last = AText.find_last_not_of(L" \t");
  return AText.substr(first, last - first + 1);
}

bool SameText(const std::wstring& A, const std::wstring& B) {
  return CompareStringOrdinal(A.data(), int(A.size()), B.data(), int(B.size()), TRUE) == CSTR_EQUAL;
}

// Decimal, or hexadecimal after "0x" or "$", with an optional sign; the
// whole text must be the number and fit 32 bits (hexadecimal ones as the
// bit pattern, so "0xFFFFFFFF" is -1).
bool ParseInteger(const std::wstring& AText, int& AValue) {
  std::wstring text = Trim(AText);
  std::string narrow;
  for (wchar_t c : text) {
    if (c > 0x7F)
      return false;
    narrow.push_back(char(c));
  }
  bool negative = false;
  size_t pos = 0;
  if (pos < narrow.size() && (narrow[pos] == '-' || narrow[pos] == '+'))
    negative = narrow[pos++] == '-';
  int base = 10;
  if (narrow.compare(pos, 2, "0x") == 0 || narrow.compare(pos, 2, "0X") == 0) {
    base = 16;
    pos += 2;
  } else if (pos < narrow.size() && narrow[pos] == '$') {
    base = 16;
    pos += 1;
  }
  if (pos >= narrow.size())
    return false;
  unsigned long long magnitude = 0;
  const char* first = narrow.data() + pos;
  const char* last = narrow.data() + narrow.size();
  auto [end, error] = std::from_chars(first, last, magnitude, base);
  if (error != std::errc() || end != last)
    return false;
  long long value;
  if (base == 16) {
    if (magnitude > 0xFFFFFFFFull)
      return false;
    value = int32_t(uint32_t(magnitude));
  } else {
    if (magnitude > 0x80000000ull || (!negative && magnitude > 0x7FFFFFFFull))
      return false;
    value = (long long)magnitude;
  }
  AValue = int(negative ? -value : value);
  return true;
}

bool ParseFloat(const std::wstring& AText, double& AValue) {
  std::wstring text = Trim(AText);
  std::string narrow;
  for (wchar_t c : text) {
    if (c > 0x7F)
      return false;
    narrow.push_back(char(c));
  }
  if (narrow.empty())
    return false;
  const char* first = narrow.data();
  if (*first == '+')
    ++first;
  const char* last = narrow.data() + narrow.size();
  auto [end, error] = std::from_chars(first, last, AValue);
  return error == std::errc() && end == last;
}

std::wstring FloatText(double AValue) {
  char buffer[64];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, AValue);
  (void)error;
  return std::wstring(buffer, end);
}

// For the length of one call, a section's key is the registry object's
// current key; the previous current key comes back afterwards, also when
// the call raises. An empty section is the current key itself. Without a
// current key (the ini key could not be opened) nothing opens.
class TSectionKey {
public:
  TSectionKey(TRegistry& ARegistry, const std::wstring& ASection, bool ACanCreate)
      : FRegistry(ARegistry), FOldKey(ARegistry.CurrentKey()) {
    if (!FOldKey)
      return;
    if (ASection.empty()) {
      FKey = FOldKey;
      return;
    }
    FKey = ARegistry.GetKey(ASection, ACanCreate);
    if (FKey) {
      FOwned = true;
      ARegistry.SetCurrentKey(FKey);
    }
  }
  ~TSectionKey() {
    if (FOwned) {
      FRegistry.SetCurrentKey(FOldKey);
      RegCloseKey(FKey);
    }
  }
  TSectionKey(const TSectionKey&) = delete;
  TSectionKey& operator=(const TSectionKey&) = delete;
  bool Ok() const { return FKey != nullptr; }

private:
  TRegistry& FRegistry;
  HKEY FOldKey;
  HKEY FKey = nullptr;
  bool FOwned = false;
};

[[noreturn]] void SectionFailed(const std::wstring& ASection) {
  throw ERegistryException(L"Failed to create key " + ASection);
}

} // namespace

// ---------------------------------------------------------------------------
// TRegistry

TRegistry::TRegistry() = default;

TRegistry::TRegistry(REGSAM AAccess) : FAccess(AAccess) {}

TRegistry::~TRegistry() {
  CloseKey();
}

void TRegistry::SetRootKey(HKEY AValue) {
  if (AValue == FRootKey)
    return;
  CloseKey();
  FRootKey = AValue;
}

HKEY TRegistry::BaseKey(const std::wstring& AKey, std::wstring& ARelative) const {
  if (!AKey.empty() && AKey[0] == L'\\') {
    ARelative = TrimmedKeyPath(AKey.substr(1));
    return FRootKey;
  }
  ARelative = TrimmedKeyPath(AKey);
  return FCurrentKey ? FCurrentKey : FRootKey;
}

HKEY TRegistry::GetKey(const std::wstring& AKey, bool ACanCreate) {
  std::wstring relative;
  HKEY base = BaseKey(AKey, relative);
  HKEY key = nullptr;
  LONG status;
  if (ACanCreate)
    status = RegCreateKeyExW(base, relative.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, FAccess,
                             nullptr, &key, nullptr);
  else
    status = RegOpenKeyExW(base, relative.c_str(), 0, FAccess, &key);
  return status == ERROR_SUCCESS ? key : nullptr;
}

bool TRegistry::OpenKey(const std::wstring& AKey, bool ACanCreate) {
  HKEY key = GetKey(AKey, ACanCreate);
  if (!key)
    return false;
  std::wstring relative;
  bool absolute = !AKey.empty() && AKey[0] == L'\\';
  BaseKey(AKey, relative);
  std::wstring path;
  if (absolute || !FCurrentKey)
    path = relative;
  else
    path = relative.empty() ? FCurrentPath
                            : (FCurrentPath.empty() ? relative : FCurrentPath + L"\\" + relative);
  CloseKey();
  FCurrentKey = key;
  FCurrentPath = path;
  return true;
}

bool TRegistry::OpenKeyReadOnly(const std::wstring& AKey) {
  REGSAM access = FAccess;
  FAccess = KEY_READ;
  bool opened = false;
  try {
    opened = OpenKey(AKey, false);
  } catch (...) {
    FAccess = access;
    throw;
  }
  FAccess = access;
  return opened;
}

void TRegistry::CloseKey() {
  if (FCurrentKey)
    RegCloseKey(FCurrentKey);
  FCurrentKey = nullptr;
  FCurrentPath.clear();
}

bool TRegistry::CreateKey(const std::wstring& AKey) {
  HKEY key = GetKey(AKey, true);
  if (!key)
    return false;
  RegCloseKey(key);
  return true;
}

bool TRegistry::DeleteKey(const std::wstring& AKey) {
  std::wstring relative;
  HKEY base = BaseKey(AKey, relative);
  // An empty name would empty the base key itself.
  if (relative.empty())
    return false;
  return RegDeleteTreeW(base, relative.c_str()) == ERROR_SUCCESS;
}

bool TRegistry::KeyExists(const std::wstring& AKey) {
  std::wstring relative;
  HKEY base = BaseKey(AKey, relative);
  HKEY key = nullptr;
  if (RegOpenKeyExW(base, relative.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

bool TRegistry::HasSubKeys() {
  DWORD count = 0;
  HKEY key = FCurrentKey ? FCurrentKey : FRootKey;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return false;
  return count > 0;
}

namespace {

// Fills AStrings with the names AEnum gives for index 0, 1, ... until it
// answers anything but success; ALongest is the longest name the kind has.
template <typename TEnum>
void ListRegistryNames(TStrings& AStrings, size_t ALongest, TEnum AEnum) {
  AStrings.BeginUpdate();
  try {
    AStrings.Clear();
    std::wstring name(ALongest, L'\0');
    for (DWORD index = 0;; ++index) {
      DWORD length = DWORD(name.size());
      if (AEnum(index, name.data(), &length) != ERROR_SUCCESS)
        break;
      AStrings.Add(name.substr(0, length));
    }
  } catch (...) {
    AStrings.EndUpdate();
    throw;
  }
  AStrings.EndUpdate();
}

} // namespace

void TRegistry::GetKeyNames(TStrings& AStrings) {
  const HKEY key = FCurrentKey ? FCurrentKey : FRootKey;
  ListRegistryNames(AStrings, 256, [key](DWORD AIndex, wchar_t* AName, DWORD* ALength) {
    return RegEnumKeyExW(key, AIndex, AName, ALength, nullptr, nullptr, nullptr, nullptr);
  });
}

void TRegistry::GetValueNames(TStrings& AStrings) {
  const HKEY key = FCurrentKey ? FCurrentKey : FRootKey;
  ListRegistryNames(AStrings, 16384, [key](DWORD AIndex, wchar_t* AName, DWORD* ALength) {
    return RegEnumValueW(key, AIndex, AName, ALength, nullptr, nullptr, nullptr, nullptr);
  });
}

bool TRegistry::ValueExists(const std::wstring& AName) {
  TRegDataInfo info;
  return GetDataInfo(AName, info);
}

bool TRegistry::DeleteValue(const std::wstring& AName) {
  return RegDeleteValueW(FCurrentKey ? FCurrentKey : FRootKey, AName.c_str()) == ERROR_SUCCESS;
}

bool TRegistry::GetDataInfo(const std::wstring& AName, TRegDataInfo& AInfo) {
  DWORD type = 0;
  DWORD size = 0;
  AInfo = {};
  if (RegQueryValueExW(FCurrentKey ? FCurrentKey : FRootKey, AName.c_str(), nullptr, &type, nullptr,
                       &size) != ERROR_SUCCESS)
    return false;
  switch (type) {
  case REG_SZ:
    AInfo.RegData = rdString;
    break;
  case REG_EXPAND_SZ:
    AInfo.RegData = rdExpandString;
    break;
  case REG_DWORD:
    AInfo.RegData = rdInteger;
    break;
  case REG_BINARY:
    AInfo.RegData = rdBinary;
    break;
  default:
    AInfo.RegData = rdUnknown;
  }
  AInfo.DataSize = int(size);
  return true;
}

int TRegistry::GetDataSize(const std::wstring& AName) {
  TRegDataInfo info;
  return GetDataInfo(AName, info) ? info.DataSize : -1;
}

TRegDataType TRegistry::GetDataType(const std::wstring& AName) {
  TRegDataInfo info;
  GetDataInfo(AName, info);
  return info.RegData;
}

std::vector<uint8_t> TRegistry::GetData(const std::wstring& AName, DWORD& AType) {
  HKEY key = FCurrentKey ? FCurrentKey : FRootKey;
  // The value may grow between asking its size and reading it: ask again.
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD size = 0;
    if (RegQueryValueExW(key, AName.c_str(), nullptr, &AType, nullptr, &size) != ERROR_SUCCESS)
      GetDataFailed(AName);
    std::vector<uint8_t> data(size);
    LONG status = RegQueryValueExW(key, AName.c_str(), nullptr, &AType, data.data(), &size);
    if (status == ERROR_SUCCESS) {
      data.resize(size);
      return data;
    }
    if (status != ERROR_MORE_DATA)
      break;
  }
  GetDataFailed(AName);
}

void TRegistry::PutData(const std::wstring& AName, const void* ABuffer, DWORD ASize, DWORD AType) {
  if (RegSetValueExW(FCurrentKey ? FCurrentKey : FRootKey, AName.c_str(), 0, AType,
                     static_cast<const BYTE*>(ABuffer), ASize) != ERROR_SUCCESS)
    throw ERegistryException(L"Failed to set data for " + Quoted(AName));
}

std::wstring TRegistry::ReadString(const std::wstring& AName) {
  if (!ValueExists(AName))
    return {};
  DWORD type = 0;
  std::vector<uint8_t> data = GetData(AName, type);
  if (type != REG_SZ && type != REG_EXPAND_SZ)
    InvalidDataType(AName);
  std::wstring text(data.size() / sizeof(wchar_t), L'\0');
  if (!text.empty())
    std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
  // Stored strings end in a nul, or several, or (written carelessly) none.
  size_t end = text.find(L'\0');
  if (end != std::wstring::npos)
    text.resize(end);
  return text;
}

void TRegistry::WriteString(const std::wstring& AName, const std::wstring& AValue) {
  PutData(AName, AValue.c_str(), DWORD((AValue.size() + 1) * sizeof(wchar_t)), REG_SZ);
}

void TRegistry::WriteExpandString(const std::wstring& AName, const std::wstring& AValue) {
  PutData(AName, AValue.c_str(), DWORD((AValue.size() + 1) * sizeof(wchar_t)), REG_EXPAND_SZ);
}

int TRegistry::ReadInteger(const std::wstring& AName) {
  DWORD type = 0;
  std::vector<uint8_t> data = GetData(AName, type);
  if (type != REG_DWORD || data.size() != sizeof(DWORD))
    InvalidDataType(AName);
  DWORD value;
  std::memcpy(&value, data.data(), sizeof value);
  return int(value);
}

void TRegistry::WriteInteger(const std::wstring& AName, int AValue) {
  DWORD value = DWORD(AValue);
  PutData(AName, &value, sizeof value, REG_DWORD);
}

bool TRegistry::ReadBool(const std::wstring& AName) {
  return ReadInteger(AName) != 0;
}

void TRegistry::WriteBool(const std::wstring& AName, bool AValue) {
  WriteInteger(AName, AValue ? 1 : 0);
}

double TRegistry::ReadFloat(const std::wstring& AName) {
  DWORD type = 0;
  std::vector<uint8_t> data = GetData(AName, type);
  if (type != REG_BINARY || data.size() != sizeof(double))
    InvalidDataType(AName);
  double value;
  std::memcpy(&value, data.data(), sizeof value);
  return value;
}

void TRegistry::WriteFloat(const std::wstring& AName, double AValue) {
  PutData(AName, &AValue, sizeof AValue, REG_BINARY);
}

int TRegistry::ReadBinaryData(const std::wstring& AName, void* ABuffer, int ABufSize) {
  if (!ValueExists(AName))
    return 0;
  DWORD type = 0;
  std::vector<uint8_t> data = GetData(AName, type);
  if (type != REG_BINARY && type != REG_NONE)
    InvalidDataType(AName);
  size_t count = std::min(data.size(), size_t(std::max(ABufSize, 0)));
  if (count > 0)
    std::memcpy(ABuffer, data.data(), count);
  return int(count);
}

void TRegistry::WriteBinaryData(const std::wstring& AName, const void* ABuffer, int ABufSize) {
  PutData(AName, ABuffer, DWORD(std::max(ABufSize, 0)), REG_BINARY);
}

// ---------------------------------------------------------------------------
// TRegIniFile

TRegIniFile::TRegIniFile(const std::wstring& AFileName, REGSAM AAccess)
    : TRegistry(AAccess), FFileName(AFileName) {
  // A key that cannot be opened leaves no current key: reads answer their
  // defaults and writes raise.
  if (!OpenKey(AFileName, true))
    OpenKey(AFileName, false);
}

std::wstring TRegIniFile::ReadString(const std::wstring& ASection, const std::wstring& AIdent,
                                     const std::wstring& ADefault) {
  TSectionKey section(*this, ASection, false);
  TRegDataInfo info;
  if (!section.Ok() || !GetDataInfo(AIdent, info))
    return ADefault;
  if (info.RegData == rdString || info.RegData == rdExpandString)
    return TRegistry::ReadString(AIdent);
  if (info.RegData == rdInteger)
    return std::to_wstring(TRegistry::ReadInteger(AIdent));
  return ADefault;
}

void TRegIniFile::WriteString(const std::wstring& ASection, const std::wstring& AIdent,
                              const std::wstring& AValue) {
  TSectionKey section(*this, ASection, true);
  if (!section.Ok())
    SectionFailed(ASection);
  TRegistry::WriteString(AIdent, AValue);
}

int TRegIniFile::ReadInteger(const std::wstring& ASection, const std::wstring& AIdent,
                             int ADefault) {
  TSectionKey section(*this, ASection, false);
  TRegDataInfo info;
  if (!section.Ok() || !GetDataInfo(AIdent, info))
    return ADefault;
  if (info.RegData == rdInteger)
    return TRegistry::ReadInteger(AIdent);
  int value = ADefault;
  if ((info.RegData == rdString || info.RegData == rdExpandString) &&
      ParseInteger(TRegistry::ReadString(AIdent), value))
    return value;
  return ADefault;
}

void TRegIniFile::WriteInteger(const std::wstring& ASection, const std::wstring& AIdent,
                               int AValue) {
  WriteString(ASection, AIdent, std::to_wstring(AValue));
}

bool TRegIniFile::ReadBool(const std::wstring& ASection, const std::wstring& AIdent,
                           bool ADefault) {
  return ReadInteger(ASection, AIdent, ADefault ? 1 : 0) != 0;
}

void TRegIniFile::WriteBool(const std::wstring& ASection, const std::wstring& AIdent, bool AValue) {
  WriteString(ASection, AIdent, AValue ? L"1" : L"0");
}

void TRegIniFile::ReadSection(const std::wstring& ASection, TStrings& AStrings) {
  TSectionKey section(*this, ASection, false);
  if (section.Ok())
    GetValueNames(AStrings);
  else
    AStrings.Clear();
}

void TRegIniFile::ReadSections(TStrings& AStrings) {
  if (CurrentKey())
    GetKeyNames(AStrings);
  else
    AStrings.Clear();
}

void TRegIniFile::ReadSectionValues(const std::wstring& ASection, TStrings& AStrings) {
  TStringList names;
  ReadSection(ASection, names);
  AStrings.BeginUpdate();
  try {
    AStrings.Clear();
    for (int i = 0; i < names.Count(); ++i)
      AStrings.Add(names.Get(i) + L"=" + ReadString(ASection, names.Get(i), {}));
  } catch (...) {
    AStrings.EndUpdate();
    throw;
  }
  AStrings.EndUpdate();
}

void TRegIniFile::EraseSection(const std::wstring& ASection) {
  if (CurrentKey())
    TRegistry::DeleteKey(ASection);
}

void TRegIniFile::DeleteKey(const std::wstring& ASection, const std::wstring& AIdent) {
  TSectionKey section(*this, ASection, false);
  if (section.Ok())
    DeleteValue(AIdent);
}

// ---------------------------------------------------------------------------
// TCustomIniFile

int TCustomIniFile::ReadInteger(const std::wstring& ASection, const std::wstring& AIdent,
                                int ADefault) {
  int value = ADefault;
  return ParseInteger(ReadString(ASection, AIdent, {}), value) ? value : ADefault;
}

void TCustomIniFile::WriteInteger(const std::wstring& ASection, const std::wstring& AIdent,
                                  int AValue) {
  WriteString(ASection, AIdent, std::to_wstring(AValue));
}

bool TCustomIniFile::ReadBool(const std::wstring& ASection, const std::wstring& AIdent,
                              bool ADefault) {
  return ReadInteger(ASection, AIdent, ADefault ? 1 : 0) != 0;
}

void TCustomIniFile::WriteBool(const std::wstring& ASection, const std::wstring& AIdent,
                               bool AValue) {
  WriteString(ASection, AIdent, AValue ? L"1" : L"0");
}

double TCustomIniFile::ReadFloat(const std::wstring& ASection, const std::wstring& AIdent,
                                 double ADefault) {
  double value = ADefault;
  return ParseFloat(ReadString(ASection, AIdent, {}), value) ? value : ADefault;
}

void TCustomIniFile::WriteFloat(const std::wstring& ASection, const std::wstring& AIdent,
                                double AValue) {
  WriteString(ASection, AIdent, FloatText(AValue));
}

void TCustomIniFile::ReadSectionValues(const std::wstring& ASection, TStrings& AStrings) {
  TStringList names;
  ReadSection(ASection, names);
  AStrings.BeginUpdate();
  try {
    AStrings.Clear();
    for (int i = 0; i < names.Count(); ++i)
      AStrings.Add(names.Get(i) + L"=" + ReadString(ASection, names.Get(i), {}));
  } catch (...) {
    AStrings.EndUpdate();
    throw;
  }
  AStrings.EndUpdate();
}

bool TCustomIniFile::SectionExists(const std::wstring& ASection) {
  TStringList sections;
  ReadSections(sections);
  return sections.IndexOf(ASection) >= 0;
}

bool TCustomIniFile::ValueExists(const std::wstring& ASection, const std::wstring& AIdent) {
  TStringList names;
  ReadSection(ASection, names);
  return names.IndexOf(AIdent) >= 0;
}

// ---------------------------------------------------------------------------
// TIniFile

namespace {

// Splits a list of nul-terminated strings that ends in an empty one.
void AddNulSeparated(const std::wstring& ABuffer, size_t ALength, TStrings& AStrings) {
  AStrings.BeginUpdate();
  try {
    AStrings.Clear();
    size_t start = 0;
    while (start < ALength) {
      size_t end = ABuffer.find(L'\0', start);
      if (end == std::wstring::npos || end > ALength)
        end = ALength;
      if (end > start)
        AStrings.Add(ABuffer.substr(start, end - start));
      start = end + 1;
    }
  } catch (...) {
    AStrings.EndUpdate();
    throw;
  }
  AStrings.EndUpdate();
}

} // namespace

std::wstring TIniFile::ReadString(const std::wstring& ASection, const std::wstring& AIdent,
                                  const std::wstring& ADefault) {
  std::wstring buffer(2048, L'\0');
  for (;;) {
    DWORD length =
        GetPrivateProfileStringW(ASection.c_str(), AIdent.c_str(), ADefault.c_str(), buffer.data(),
                                 DWORD(buffer.size()), FileName().c_str());
    // A value that filled the buffer may have been cut short.
    if (length + 1 < buffer.size())
      return buffer.substr(0, length);
    buffer.assign(buffer.size() * 2, L'\0');
  }
}

void TIniFile::WriteString(const std::wstring& ASection, const std::wstring& AIdent,
                           const std::wstring& AValue) {
  if (!WritePrivateProfileStringW(ASection.c_str(), AIdent.c_str(), AValue.c_str(),
                                  FileName().c_str()))
    throw EIniFileException(L"Unable to write to " + FileName());
}

void TIniFile::ReadSection(const std::wstring& ASection, TStrings& AStrings) {
  std::wstring buffer(4096, L'\0');
  for (;;) {
    DWORD length = GetPrivateProfileStringW(ASection.c_str(), nullptr, L"", buffer.data(),
                                            DWORD(buffer.size()), FileName().c_str());
    if (length + 2 < buffer.size()) {
      AddNulSeparated(buffer, length, AStrings);
      return;
    }
    buffer.assign(buffer.size() * 2, L'\0');
  }
}

void TIniFile::ReadSections(TStrings& AStrings) {
  std::wstring buffer(4096, L'\0');
  for (;;) {
    DWORD length =
        GetPrivateProfileSectionNamesW(buffer.data(), DWORD(buffer.size()), FileName().c_str());
    if (length + 2 < buffer.size()) {
      AddNulSeparated(buffer, length, AStrings);
      return;
    }
    buffer.assign(buffer.size() * 2, L'\0');
  }
}

void TIniFile::EraseSection(const std::wstring& ASection) {
  if (!WritePrivateProfileStringW(ASection.c_str(), nullptr, nullptr, FileName().c_str()))
    throw EIniFileException(L"Unable to write to " + FileName());
}

void TIniFile::DeleteKey(const std::wstring& ASection, const std::wstring& AIdent) {
  WritePrivateProfileStringW(ASection.c_str(), AIdent.c_str(), nullptr, FileName().c_str());
}

void TIniFile::UpdateFile() {
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, FileName().c_str());
}

// ---------------------------------------------------------------------------
// TMemIniFile

TMemIniFile::TMemIniFile(const std::wstring& AFileName) : TCustomIniFile(AFileName) {
  if (AFileName.empty() || GetFileAttributesW(AFileName.c_str()) == INVALID_FILE_ATTRIBUTES)
    return;
  TStringList lines;
  lines.LoadFromFile(AFileName);
  SetStrings(lines);
}

TMemIniFile::TSection* TMemIniFile::FindSection(const std::wstring& ASection) {
  for (auto& section : FSections)
    if (SameText(section.Name, ASection))
      return &section;
  return nullptr;
}

TMemIniFile::TEntry* TMemIniFile::FindEntry(TSection& ASection, const std::wstring& AIdent) {
  for (auto& entry : ASection.Entries)
    if (SameText(entry.Ident, AIdent))
      return &entry;
  return nullptr;
}

std::wstring TMemIniFile::ReadString(const std::wstring& ASection, const std::wstring& AIdent,
                                     const std::wstring& ADefault) {
  TSection* section = FindSection(ASection);
  TEntry* entry = section ? FindEntry(*section, AIdent) : nullptr;
  return entry ? entry->Value : ADefault;
}

void TMemIniFile::WriteString(const std::wstring& ASection, const std::wstring& AIdent,
                              const std::wstring& AValue) {
  TSection* section = FindSection(ASection);
  if (!section) {
    FSections.push_back({ASection, {}});
    section = &FSections.back();
  }
  if (TEntry* entry = FindEntry(*section, AIdent))
    entry->Value = AValue;
  else
    section->Entries.push_back({AIdent, AValue});
}

void TMemIniFile::ReadSection(const std::wstring& ASection, TStrings& AStrings) {
  AStrings.BeginUpdate();
  try {
    AStrings.Clear();
    if (TSection* section = FindSection(ASection))
      for (const auto& entry : section->Entries)
        AStrings.Add(entry.Ident);
  } catch (...) {
    AStrings.EndUpdate();
    throw;
  }
  AStrings.EndUpdate();
}

void TMemIniFile::ReadSections(TStrings& AStrings) {
  AStrings.BeginUpdate();
  try {
    AStrings.Clear();
    for (const auto& section : FSections)
      AStrings.Add(section.Name);
  } catch (...) {
    AStrings.EndUpdate();
    throw;
  }
  AStrings.EndUpdate();
}

void TMemIniFile::ReadSectionValues(const std::wstring& ASection, TStrings& AStrings) {
  AStrings.BeginUpdate();
  try {
    AStrings.Clear();
    if (TSection* section = FindSection(ASection))
      for (const auto& entry : section->Entries)
        AStrings.Add(entry.Ident + L"=" + entry.Value);
  } catch (...) {
    AStrings.EndUpdate();
    throw;
  }
  AStrings.EndUpdate();
}

void TMemIniFile::EraseSection(const std::wstring& ASection) {
  FSections.erase(std::remove_if(FSections.begin(), FSections.end(),
                                 [&](const TSection& s) { return SameText(s.Name, ASection); }),
                  FSections.end());
}

void TMemIniFile::DeleteKey(const std::wstring& ASection, const std::wstring& AIdent) {
  if (TSection* section = FindSection(ASection)) {
    auto& entries = section->Entries;
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&](const TEntry& e) { return SameText(e.Ident, AIdent); }),
                  entries.end());
  }
}

bool TMemIniFile::ValueExists(const std::wstring& ASection, const std::wstring& AIdent) {
  TSection* section = FindSection(ASection);
  return section && FindEntry(*section, AIdent);
}

void TMemIniFile::Clear() {
  FSections.clear();
}

void TMemIniFile::GetStrings(TStrings& AStrings) const {
  AStrings.BeginUpdate();
  try {
    AStrings.Clear();
    for (const auto& section : FSections) {
      AStrings.Add(L"[" + section.Name + L"]");
      for (const auto& entry : section.Entries)
        AStrings.Add(entry.Ident + L"=" + entry.Value);
      AStrings.Add(L"");
    }
  } catch (...) {
    AStrings.EndUpdate();
    throw;
  }
  AStrings.EndUpdate();
}

void TMemIniFile::SetStrings(const TStrings& AStrings) {
  Clear();
  TSection* section = nullptr;
  for (int i = 0; i < AStrings.Count(); ++i) {
    std::wstring line = Trim(AStrings.Get(i));
    if (line.empty() || line[0] == L';')
      continue;
    if (line.front() == L'[' && line.back() == L']') {
      std::wstring name = Trim(line.substr(1, line.size() - 2));
      section = FindSection(name);
      if (!section) {
        FSections.push_back({name, {}});
        section = &FSections.back();
      }
      continue;
    }
    size_t equals = line.find(L'=');
    if (!section || equals == std::wstring::npos)
      continue;
    std::wstring ident = Trim(line.substr(0, equals));
    // The first of two equal identifiers is the one that reads.
    if (!FindEntry(*section, ident))
      section->Entries.push_back({ident, Trim(line.substr(equals + 1))});
  }
}

void TMemIniFile::UpdateFile() {
  TStringList lines;
  GetStrings(lines);
  lines.SaveToFile(FileName());
}

// ---------------------------------------------------------------------------
// TRegistryIniFile

TRegistryIniFile::TRegistryIniFile(const std::wstring& AFileName, REGSAM AAccess)
    : TCustomIniFile(AFileName), FRegIniFile(new TRegIniFile(AFileName, AAccess)) {}

TRegistryIniFile::~TRegistryIniFile() {
  delete FRegIniFile;
}

std::wstring TRegistryIniFile::ReadString(const std::wstring& ASection, const std::wstring& AIdent,
                                          const std::wstring& ADefault) {
  return FRegIniFile->ReadString(ASection, AIdent, ADefault);
}

void TRegistryIniFile::WriteString(const std::wstring& ASection, const std::wstring& AIdent,
                                   const std::wstring& AValue) {
  FRegIniFile->WriteString(ASection, AIdent, AValue);
}

int TRegistryIniFile::ReadInteger(const std::wstring& ASection, const std::wstring& AIdent,
                                  int ADefault) {
  return FRegIniFile->ReadInteger(ASection, AIdent, ADefault);
}

void TRegistryIniFile::WriteInteger(const std::wstring& ASection, const std::wstring& AIdent,
                                    int AValue) {
  TSectionKey section(*FRegIniFile, ASection, true);
  if (!section.Ok())
    SectionFailed(ASection);
  FRegIniFile->TRegistry::WriteInteger(AIdent, AValue);
}

double TRegistryIniFile::ReadFloat(const std::wstring& ASection, const std::wstring& AIdent,
                                   double ADefault) {
  TSectionKey section(*FRegIniFile, ASection, false);
  TRegDataInfo info;
  if (!section.Ok() || !FRegIniFile->GetDataInfo(AIdent, info))
    return ADefault;
  if (info.RegData == rdBinary && info.DataSize == int(sizeof(double)))
    return FRegIniFile->TRegistry::ReadFloat(AIdent);
  double value = ADefault;
  if (info.RegData == rdString && ParseFloat(FRegIniFile->TRegistry::ReadString(AIdent), value))
    return value;
  return ADefault;
}

void TRegistryIniFile::WriteFloat(const std::wstring& ASection, const std::wstring& AIdent,
                                  double AValue) {
  TSectionKey section(*FRegIniFile, ASection, true);
  if (!section.Ok())
    SectionFailed(ASection);
  FRegIniFile->TRegistry::WriteFloat(AIdent, AValue);
}

void TRegistryIniFile::ReadSection(const std::wstring& ASection, TStrings& AStrings) {
  FRegIniFile->ReadSection(ASection, AStrings);
}

void TRegistryIniFile::ReadSections(TStrings& AStrings) {
  FRegIniFile->ReadSections(AStrings);
}

void TRegistryIniFile::EraseSection(const std::wstring& ASection) {
  FRegIniFile->EraseSection(ASection);
}

void TRegistryIniFile::DeleteKey(const std::wstring& ASection, const std::wstring& AIdent) {
  FRegIniFile->DeleteKey(ASection, AIdent);
}

bool TRegistryIniFile::ValueExists(const std::wstring& ASection, const std::wstring& AIdent) {
  TSectionKey section(*FRegIniFile, ASection, false);
  return section.Ok() && FRegIniFile->TRegistry::ValueExists(AIdent);
}
