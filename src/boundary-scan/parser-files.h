#pragma once

// The parser support library's file systems: a plain-file system, one over
// the resources of a module file (a resource stands for a file named
// TYPE\Name.ext), and the memory stream that writes a module's resource
// back when it is closed.
//
// The header takes <windows.h> first, so that names such as DeleteFile and
// GetTempFileName mean the same in every file that includes it.

#include <windows.h>

#include "dc-component.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// File-open modes: the low 16 bits are the platform's access (0 read, 1
// write, 2 both) and sharing (0x10 exclusive, 0x20 deny write, 0x30 deny
// read, 0x40 deny none); fmCreate makes a new file.
constexpr std::uint32_t fmOpenRead = 0x0000;
constexpr std::uint32_t fmOpenWrite = 0x0001;
constexpr std::uint32_t fmOpenReadWrite = 0x0002;
constexpr std::uint32_t fmShareExclusive = 0x0010;
constexpr std::uint32_t fmShareDenyWrite = 0x0020;
constexpr std::uint32_t fmShareDenyRead = 0x0030;
constexpr std::uint32_t fmShareDenyNone = 0x0040;
constexpr std::uint32_t fmCreate = 0xFF00;

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TDCStream {
public:
  virtual ~TDCStream() = default;
  virtual std::int32_t Read(void* ABuffer, std::int32_t ACount) = 0;
  virtual std::int32_t Write(const void* ABuffer, std::int32_t ACount) = 0;
  virtual std::int64_t Seek(std::int64_t AOffset, TSeekOrigin AOrigin) = 0;
  virtual void SetSize(std::int64_t ASize) = 0;
  std::int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(std::int64_t AValue) { Seek(AValue, TSeekOrigin::soBeginning); }
  std::int64_t Size();
};

// A file opened with a file-open mode; EDCError when it cannot be opened.
class TDCFileStream : public TDCStream {
public:
  TDCFileStream(const std::wstring& AFileName, std::uint32_t AMode);
  ~TDCFileStream() override;
  std::int32_t Read(void* ABuffer, std::int32_t ACount) override;
  std::int32_t Write(const void* ABuffer, std::int32_t ACount) override;
  std::int64_t Seek(std::int64_t AOffset, TSeekOrigin AOrigin) override;
  void SetSize(std::int64_t ASize) override;

private:
  HANDLE FHandle = INVALID_HANDLE_VALUE;
};

class TDCMemoryStream : public TDCStream {
public:
  std::int32_t Read(void* ABuffer, std::int32_t ACount) override;
  std::int32_t Write(const void* ABuffer, std::int32_t ACount) override;
  std::int64_t Seek(std::int64_t AOffset, TSeekOrigin AOrigin) override;
  void SetSize(std::int64_t ASize) override;
  const std::vector<std::uint8_t>& Memory() const { return FMemory; }

protected:
  std::vector<std::uint8_t> FMemory;
  std::int64_t FPosition = 0;
};

// A resource type or name: a number below 65536, or a text.
struct TResourceId {
  std::uint16_t Number = 0;
  std::wstring Name;

  bool IsNone() const { return Number == 0 && Name.empty(); }
  // As the platform's resource functions take it.
  const wchar_t* Ptr() const { return Name.empty() ? MAKEINTRESOURCEW(Number) : Name.c_str(); }
  bool operator==(const TResourceId&) const = default;
};

// The 22 standard resource type names, RT_CURSOR (1) to RT_ANIICON (22);
// the numbers without a name (13, 15, 18) hold an empty text.
extern const wchar_t* const ResourceTypeNames[22];
// A file name as a resource: the extension dropped, the type before the
// first backslash ("RT_" + it naming a standard type gives its number),
// the name after it. Without a backslash the type is none, the name empty.
void FileNameToResource(const std::wstring& AFileName, TResourceId& AType, TResourceId& AName);

// Replaces or adds one resource (language neutral) of a module file; False
// when the platform refuses, and the file is then left as it was.
bool UpdateResourceData(const std::wstring& AFileName, const TResourceId& AResType,
                        const TResourceId& AResName, std::int32_t ASize, const void* AData);

// Rewrites one resource of a module file's resource section in place, for
// platforms without the system's resource update: the new bytes go to the
// end of the file, which grows by whole 4096-byte pages (at least one more
// than the data), and the headers are adjusted. The section must be the
// last of the file; a module whose resource section is followed by another
// is refused rather than corrupted. Errors raise EDCError.
class TResourceWriter {
public:
  explicit TResourceWriter(const std::wstring& AFileName);
  ~TResourceWriter();
  TResourceWriter(const TResourceWriter&) = delete;
  TResourceWriter& operator=(const TResourceWriter&) = delete;

  // Replaces the resource of that type whose name is the text AResName
  // (compared exactly); "Resource not found" when there is none.
  void UpdateResource(const TResourceId& AResType, const std::wstring& AResName, const void* AData,
                      std::int32_t ADataLength);

  // Called with each name-level entry and the type-level entry above it;
  // answering True stops the walk.
  using TProcessFunc = std::function<bool(IMAGE_RESOURCE_DIRECTORY_ENTRY& AEntry,
                                          const IMAGE_RESOURCE_DIRECTORY_ENTRY* ATypeEntry)>;
  // Walks the directory (the root: every type's names); True when stopped.
  bool ProcessAllResources(IMAGE_RESOURCE_DIRECTORY* ADir, const TProcessFunc& AProcessFunc);
  IMAGE_RESOURCE_DIRECTORY* RootDirectory() const;
  std::int32_t FileSize() const { return fOldFileSize; }

private:
  void Open(std::uint32_t AMappingSize);
  void Close();
  [[noreturn]] void RaiseOpenError(const std::wstring& AMsg, DWORD AErrorCode);
  // A position inside the resource section, or nullptr when the range is not.
  std::uint8_t* ResourceAt(std::uint32_t AOffset, std::uint32_t ASize) const;
  bool WalkDirectory(IMAGE_RESOURCE_DIRECTORY* ADir,
                     const IMAGE_RESOURCE_DIRECTORY_ENTRY* ATypeEntry,
                     const TProcessFunc& AProcessFunc, int ADepth);
  bool EntryMatches(const IMAGE_RESOURCE_DIRECTORY_ENTRY& AEntry,
                    const IMAGE_RESOURCE_DIRECTORY_ENTRY* ATypeEntry, const TResourceId& AResType,
                    const std::wstring& AResName) const;
  IMAGE_RESOURCE_DATA_ENTRY* FirstLanguageData(const IMAGE_RESOURCE_DIRECTORY_ENTRY& AEntry) const;

  HANDLE FFileHandle = INVALID_HANDLE_VALUE;
  HANDLE FFileMapping = nullptr;
  std::uint8_t* FFileBase = nullptr;
  std::int32_t fOldFileSize = 0;
  IMAGE_DOS_HEADER* FDosHeader = nullptr;
  IMAGE_FILE_HEADER* FNTHeader = nullptr;
  IMAGE_SECTION_HEADER* FResSectHdr = nullptr;
  std::uint8_t* FResourceBase = nullptr;
  std::uint32_t FResourceRVA = 0;
  std::uint32_t FResourceSize = 0;
  std::int32_t fDelta = 0;
  std::int32_t fOldSize = 0;
  std::uint32_t fFilesize = 0;
  std::wstring FFileName;
};

enum class TFileSystemLevel { flFullSupport = 0, flOnlyGetStream = 1 };

class TFileSystem : public TDCComponent {
public:
  static const TDCClassInfo ClassInfo;
  TDCClass ClassType() const override { return &ClassInfo; }
  using TDCComponent::TDCComponent;

  // RenameFile, raising when it answers False.
  virtual void RenameFileExcept(const std::wstring& AFileName, const std::wstring& AToFileName);
  // DeleteFile of an existing file, raising when it answers False; a
  // missing file is no error.
  virtual void DeleteFileExcept(const std::wstring& AFileName);
  virtual std::wstring GetCurrentDir() { return {}; }
  virtual void SetCurrentDir(const std::wstring&) {}
  virtual std::unique_ptr<TDCStream> GetFileStream(const std::wstring& AFileName,
                                                   std::uint32_t AMode) = 0;
  // The modification time as a date-time (days since 1899-12-30).
  virtual bool FileAge(const std::wstring&, double&) { return false; }
  virtual bool RenameFile(const std::wstring&, const std::wstring&) { return true; }
  virtual bool IsReadonly(const std::wstring&) { return false; }
  virtual bool DeleteFile(const std::wstring&) { return true; }
  virtual bool FileExists(const std::wstring& AFileName) = 0;
  virtual std::wstring GetTempFileName(const std::wstring& AFileName) { return AFileName; }
  // unit.pas gives unit.~pa, a.h a.~h, README README.~
  virtual std::wstring GetBackupFileName(const std::wstring& AFileName);
  virtual TFileSystemLevel GetFileSystemLevel() { return TFileSystemLevel::flFullSupport; }
  virtual std::wstring ChangeFileExt(const std::wstring& AFileName, const std::wstring& AExtension);
  virtual std::wstring ExtractFileExt(const std::wstring& AFileName);
};

class TWin32FileSystem : public TFileSystem {
public:
  static const TDCClassInfo ClassInfo;
  TDCClass ClassType() const override { return &ClassInfo; }
  using TFileSystem::TFileSystem;

  std::wstring GetCurrentDir() override;
  void SetCurrentDir(const std::wstring& ADir) override;
  std::unique_ptr<TDCStream> GetFileStream(const std::wstring& AFileName,
                                           std::uint32_t AMode) override;
  bool FileAge(const std::wstring& AFileName, double& AFileDateTime) override;
  bool RenameFile(const std::wstring& AOldName, const std::wstring& ANewName) override;
  // A missing file is read-only.
  bool IsReadonly(const std::wstring& AFileName) override;
  bool DeleteFile(const std::wstring& AFileName) override;
  bool FileExists(const std::wstring& AFileName) override;
  // A new, empty, uniquely named file in AFileName's folder, its name
  // beginning with (at most three characters of) AFileName's name.
  std::wstring GetTempFileName(const std::wstring& AFileName) override;
};

class TResFileSystem : public TFileSystem {
public:
  static const TDCClassInfo ClassInfo;
  TDCClass ClassType() const override { return &ClassInfo; }
  using TFileSystem::TFileSystem;
  ~TResFileSystem() override;

  // The module file whose resources stand for files.
  const std::wstring& FileName() const { return fFileName; }
  void SetFileName(const std::wstring& AValue);

  std::unique_ptr<TDCStream> GetFileStream(const std::wstring& AFileName,
                                           std::uint32_t AMode) override;
  bool FileExists(const std::wstring& AFileName) override;
  TFileSystemLevel GetFileSystemLevel() override { return TFileSystemLevel::flOnlyGetStream; }

private:
  void ReleaseModule();

  std::wstring fFileName;
  HMODULE fModuleHandle = nullptr;
};

// The bytes of one resource of a module file, held in memory; when it was
// written to or its size changed, Close writes it back to the module.
class TResWriteStream : public TDCMemoryStream {
public:
  // Unless AMode is fmCreate the resource's present bytes are read in.
  TResWriteStream(const std::wstring& AFileName, const std::wstring& AResName,
                  const TResourceId& AResType, std::uint32_t AMode);
  // Writes back what Close has not; a failure then cannot be raised here,
  // so callers that must know close the stream themselves.
  ~TResWriteStream() override;
  std::int32_t Write(const void* ABuffer, std::int32_t ACount) override;
  // Writes the resource back when it was modified or resized; EDCError
  // "Error updating resource" when the module refuses.
  void Close();

private:
  bool fModified = false;
  std::int32_t fInitSize = 0;
  std::wstring fResName;
  TResourceId fResType;
  std::wstring fFileName;
  bool FClosed = false;
};

// The parser support library's start-up: registers its two file-system
// classes with the class registry (once per process; also done when the
// library is loaded).
void StartParserFileSystems();
