#pragma once

#include "persistent.h"

#include <windows.h>

#include <string>
#include <vector>

class TStrings;
class TStringList;

// ---------------------------------------------------------------------------
// Registry

enum TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

struct TRegDataInfo {
  TRegDataType RegData = rdUnknown;
  int DataSize = 0;
};

// One open key of the registry at a time (the current key), below a root
// key, HKEY_CURRENT_USER unless set otherwise. Key paths that begin with
// "\" count from the root, others from the current key (from the root when
// none is open). Reading a value that is missing or of another type, and
// every write that fails, raises ERegistryException naming the value;
// `ReadString` of a missing value answers an empty text.
class TRegistry : public TPersistent {
public:
  TRegistry();
  explicit TRegistry(REGSAM AAccess);
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;
  ~TRegistry() override;

  std::wstring ClassName() const override { return L"TRegistry"; }

  HKEY RootKey() const { return FRootKey; }
  // Closes the current key.
  void SetRootKey(HKEY AValue);
  HKEY CurrentKey() const { return FCurrentKey; }
  // The current key's path from the root, without a leading "\".
  const std::wstring& CurrentPath() const { return FCurrentPath; }
  REGSAM Access() const { return FAccess; }
  void SetAccess(REGSAM AValue) { FAccess = AValue; }

  // Makes AKey the current key (creating it when ACanCreate); false when it
  // cannot be opened, the current key then staying as it was.
  bool OpenKey(const std::wstring& AKey, bool ACanCreate);
  bool OpenKeyReadOnly(const std::wstring& AKey);
  void CloseKey();
  bool CreateKey(const std::wstring& AKey);
  // Deletes AKey with every key below it.
  bool DeleteKey(const std::wstring& AKey);
  bool KeyExists(const std::wstring& AKey);
  bool HasSubKeys();
  void GetKeyNames(TStrings& AStrings);
  void GetValueNames(TStrings& AStrings);

  bool ValueExists(const std::wstring& AName);
  bool DeleteValue(const std::wstring& AName);
  // False when the value is missing.
  bool GetDataInfo(const std::wstring& AName, TRegDataInfo& AInfo);
  // -1 when the value is missing.
  int GetDataSize(const std::wstring& AName);
  TRegDataType GetDataType(const std::wstring& AName);

  std::wstring ReadString(const std::wstring& AName);
  void WriteString(const std::wstring& AName, const std::wstring& AValue);
  void WriteExpandString(const std::wstring& AName, const std::wstring& AValue);
  int ReadInteger(const std::wstring& AName);
  void WriteInteger(const std::wstring& AName, int AValue);
  bool ReadBool(const std::wstring& AName);
  void WriteBool(const std::wstring& AName, bool AValue);
  // Floats are the 8 bytes of an IEEE double as binary data.
  double ReadFloat(const std::wstring& AName);
  void WriteFloat(const std::wstring& AName, double AValue);
  // Reads up to ABufSize bytes of a binary value; answers the count read.
  int ReadBinaryData(const std::wstring& AName, void* ABuffer, int ABufSize);
  void WriteBinaryData(const std::wstring& AName, const void* ABuffer, int ABufSize);

  // Opens AKey below the current key (or the root) without making it
  // current; nullptr when it cannot be opened. The caller closes it.
  HKEY GetKey(const std::wstring& AKey, bool ACanCreate = false);
  // Swaps the current key without closing the one it replaces, for a caller
  // that works in a subkey for a moment and then puts the old key back.
  void SetCurrentKey(HKEY AValue) { FCurrentKey = AValue; }

protected:
  HKEY BaseKey(const std::wstring& AKey, std::wstring& ARelative) const;
  void PutData(const std::wstring& AName, const void* ABuffer, DWORD ASize, DWORD AType);
  std::vector<uint8_t> GetData(const std::wstring& AName, DWORD& AType);

private:
  HKEY FRootKey = HKEY_CURRENT_USER;
  HKEY FCurrentKey = nullptr;
  std::wstring FCurrentPath;
  REGSAM FAccess = KEY_ALL_ACCESS;
};

// The registry read and written as an ini file: the object opens (creating
// it) the key AFileName below HKEY_CURRENT_USER; a section is a subkey of
// that key (an empty section the key itself) and an identifier a value
// name. Integers are written as decimal text and Booleans as "1"/"0"; a
// missing section or value reads as the default.
class TRegIniFile : public TRegistry {
public:
  explicit TRegIniFile(const std::wstring& AFileName, REGSAM AAccess = KEY_ALL_ACCESS);
  std::wstring ClassName() const override { return L"TRegIniFile"; }
  const std::wstring& FileName() const { return FFileName; }

  std::wstring ReadString(const std::wstring& ASection, const std::wstring& AIdent,
                          const std::wstring& ADefault);
  void WriteString(const std::wstring& ASection, const std::wstring& AIdent,
                   const std::wstring& AValue);
  // Decimal (or "0x"/"$" hexadecimal) text or an integer value; anything
  // else reads as the default.
  int ReadInteger(const std::wstring& ASection, const std::wstring& AIdent, int ADefault);
  void WriteInteger(const std::wstring& ASection, const std::wstring& AIdent, int AValue);
  bool ReadBool(const std::wstring& ASection, const std::wstring& AIdent, bool ADefault);
  void WriteBool(const std::wstring& ASection, const std::wstring& AIdent, bool AValue);
  void ReadSection(const std::wstring& ASection, TStrings& AStrings);
  void ReadSections(TStrings& AStrings);
  void ReadSectionValues(const std::wstring& ASection, TStrings& AStrings);
  void EraseSection(const std::wstring& ASection);
  using TRegistry::DeleteKey;
  void DeleteKey(const std::wstring& ASection, const std::wstring& AIdent);

  using TRegistry::ReadBool;
  using TRegistry::ReadInteger;
  using TRegistry::ReadString;
  using TRegistry::WriteBool;
  using TRegistry::WriteInteger;
  using TRegistry::WriteString;

private:
  std::wstring FFileName;
};

// ---------------------------------------------------------------------------
// Ini files

// The common face of every ini store. Integers are decimal text (read also
// as "0x" or "$" hexadecimal), Booleans "1"/"0" (read as integers, non-zero
// meaning true), floats their shortest exact decimal text; a value that
// does not parse reads as the default.
class TCustomIniFile : public TPersistent {
public:
  explicit TCustomIniFile(const std::wstring& AFileName) : FFileName(AFileName) {}
  std::wstring ClassName() const override { return L"TCustomIniFile"; }
  const std::wstring& FileName() const { return FFileName; }

  virtual std::wstring ReadString(const std::wstring& ASection, const std::wstring& AIdent,
                                  const std::wstring& ADefault) = 0;
  virtual void WriteString(const std::wstring& ASection, const std::wstring& AIdent,
                           const std::wstring& AValue) = 0;
  virtual int ReadInteger(const std::wstring& ASection, const std::wstring& AIdent, int ADefault);
  virtual void WriteInteger(const std::wstring& ASection, const std::wstring& AIdent, int AValue);
  virtual bool ReadBool(const std::wstring& ASection, const std::wstring& AIdent, bool ADefault);
  virtual void WriteBool(const std::wstring& ASection, const std::wstring& AIdent, bool AValue);
  virtual double ReadFloat(const std::wstring& ASection, const std::wstring& AIdent,
                           double ADefault);
  virtual void WriteFloat(const std::wstring& ASection, const std::wstring& AIdent, double AValue);

  // The identifiers of a section, the section names, "identifier=value"
  // lines; each clears AStrings first.
  virtual void ReadSection(const std::wstring& ASection, TStrings& AStrings) = 0;
  virtual void ReadSections(TStrings& AStrings) = 0;
  virtual void ReadSectionValues(const std::wstring& ASection, TStrings& AStrings);
  virtual void EraseSection(const std::wstring& ASection) = 0;
  virtual void DeleteKey(const std::wstring& ASection, const std::wstring& AIdent) = 0;
  // Writes what is held in memory to its store; the base has nothing held.
  virtual void UpdateFile() {}

  bool SectionExists(const std::wstring& ASection);
  virtual bool ValueExists(const std::wstring& ASection, const std::wstring& AIdent);

private:
  std::wstring FFileName;
};

// An ini file on disk, read and written at each call through the system's
// profile functions. A write that fails raises EIniFileException naming
// the file.
class TIniFile : public TCustomIniFile {
public:
  using TCustomIniFile::TCustomIniFile;
  std::wstring ClassName() const override { return L"TIniFile"; }

  std::wstring ReadString(const std::wstring& ASection, const std::wstring& AIdent,
                          const std::wstring& ADefault) override;
  void WriteString(const std::wstring& ASection, const std::wstring& AIdent,
                   const std::wstring& AValue) override;
  void ReadSection(const std::wstring& ASection, TStrings& AStrings) override;
  void ReadSections(TStrings& AStrings) override;
  void EraseSection(const std::wstring& ASection) override;
  void DeleteKey(const std::wstring& ASection, const std::wstring& AIdent) override;
  // Flushes the system's cached copy of the file.
  void UpdateFile() override;
};

// An ini file held in memory: read when the object is made (a missing file
// is an empty one), written back by `UpdateFile` only. Section and
// identifier names compare ignoring case and keep the case they were first
// written with; sections and identifiers keep their order.
class TMemIniFile : public TCustomIniFile {
public:
  explicit TMemIniFile(const std::wstring& AFileName);
  std::wstring ClassName() const override { return L"TMemIniFile"; }

  std::wstring ReadString(const std::wstring& ASection, const std::wstring& AIdent,
                          const std::wstring& ADefault) override;
  void WriteString(const std::wstring& ASection, const std::wstring& AIdent,
                   const std::wstring& AValue) override;
  void ReadSection(const std::wstring& ASection, TStrings& AStrings) override;
  void ReadSections(TStrings& AStrings) override;
  void ReadSectionValues(const std::wstring& ASection, TStrings& AStrings) override;
  void EraseSection(const std::wstring& ASection) override;
  void DeleteKey(const std::wstring& ASection, const std::wstring& AIdent) override;
  bool ValueExists(const std::wstring& ASection, const std::wstring& AIdent) override;
  void UpdateFile() override;

  void Clear();
  // The whole content as ini lines, and back.
  void GetStrings(TStrings& AStrings) const;
  void SetStrings(const TStrings& AStrings);

private:
  struct TEntry {
    std::wstring Ident;
    std::wstring Value;
  };
  struct TSection {
    std::wstring Name;
    std::vector<TEntry> Entries;
  };
  TSection* FindSection(const std::wstring& ASection);
  TEntry* FindEntry(TSection& ASection, const std::wstring& AIdent);

  std::vector<TSection> FSections;
};

// The registry behind the ini face: sections are subkeys of the key
// AFileName below HKEY_CURRENT_USER (an empty section is the key itself).
// Strings and Booleans are text ("1"/"0"), integers DWORD values (text ones
// are read too), floats the 8 bytes of an IEEE double as binary data.
class TRegistryIniFile : public TCustomIniFile {
public:
  explicit TRegistryIniFile(const std::wstring& AFileName, REGSAM AAccess = KEY_ALL_ACCESS);
  ~TRegistryIniFile() override;
  std::wstring ClassName() const override { return L"TRegistryIniFile"; }

  std::wstring ReadString(const std::wstring& ASection, const std::wstring& AIdent,
                          const std::wstring& ADefault) override;
  void WriteString(const std::wstring& ASection, const std::wstring& AIdent,
                   const std::wstring& AValue) override;
  int ReadInteger(const std::wstring& ASection, const std::wstring& AIdent, int ADefault) override;
  void WriteInteger(const std::wstring& ASection, const std::wstring& AIdent, int AValue) override;
  double ReadFloat(const std::wstring& ASection, const std::wstring& AIdent,
                   double ADefault) override;
  void WriteFloat(const std::wstring& ASection, const std::wstring& AIdent, double AValue) override;
  void ReadSection(const std::wstring& ASection, TStrings& AStrings) override;
  void ReadSections(TStrings& AStrings) override;
  void EraseSection(const std::wstring& ASection) override;
  void DeleteKey(const std::wstring& ASection, const std::wstring& AIdent) override;
  bool ValueExists(const std::wstring& ASection, const std::wstring& AIdent) override;

  TRegIniFile& RegIniFile() { return *FRegIniFile; }

private:
  TRegIniFile* FRegIniFile;
};
