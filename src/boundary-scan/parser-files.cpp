#include "parser-files.h"

#include "class-registry.h"
#include "parser-utils.h"
#include "string-routines.h"

#include <algorithm>
#include <cstring>

namespace {

// The last "\", "/" or drive colon: what follows is the file's name.
std::size_t NameStart(const std::wstring& APath) {
  const std::size_t separator = APath.find_last_of(L"\\/:");
  return separator == std::wstring::npos ? 0 : separator + 1;
}

// Where the extension (with its dot) begins; the length when there is none.
std::size_t ExtensionStart(const std::wstring& APath) {
  const std::size_t dot = APath.rfind(L'.');
  if (dot == std::wstring::npos || dot < NameStart(APath))
    return APath.size();
  return dot;
}

// Date-times count days from 1899-12-30; file times 100 ns ticks from 1601.
double FileTimeToDateTime(const FILETIME& AFileTime) {
  FILETIME local;
  FileTimeToLocalFileTime(&AFileTime, &local);
  ULARGE_INTEGER ticks;
  ticks.LowPart = local.dwLowDateTime;
  ticks.HighPart = local.dwHighDateTime;
  constexpr double kTicksPerDay = 864000000000.0;
  constexpr double kDaysFrom1601To1899 = 109205.0;
  return double(ticks.QuadPart) / kTicksPerDay - kDaysFrom1601To1899;
}

// A module loaded for its resources only, released on every path.
class TDataModule {
public:
  explicit TDataModule(const std::wstring& AFileName)
      : FHandle(LoadLibraryExW(AFileName.c_str(), nullptr,
                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {
    if (!FHandle)
      FHandle = LoadLibraryExW(AFileName.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  }
  ~TDataModule() {
    if (FHandle)
      FreeLibrary(FHandle);
  }
  TDataModule(const TDataModule&) = delete;
  TDataModule& operator=(const TDataModule&) = delete;
  HMODULE Handle() const { return FHandle; }

private:
  HMODULE FHandle;
};

struct TStartUp {
  TStartUp() { StartParserFileSystems(); }
};
// The library's start-up: whenever this module is part of a program, its
// file-system classes are registered while the program loads.
const TStartUp kStartUp;

} // namespace

// ---- Streams ---------------------------------------------------------------

std::int64_t TDCStream::Size() {
  const std::int64_t position = Seek(0, TSeekOrigin::soCurrent);
  const std::int64_t size = Seek(0, TSeekOrigin::soEnd);
  Seek(position, TSeekOrigin::soBeginning);
  return size;
}

TDCFileStream::TDCFileStream(const std::wstring& AFileName, std::uint32_t AMode) {
  DWORD access = GENERIC_READ | GENERIC_WRITE;
  DWORD share = 0;
  DWORD disposition = CREATE_ALWAYS;
  if (AMode != fmCreate) {
    const std::uint32_t mode = AMode & 0xFFFF;
    access = (mode & 3) == fmOpenRead    ? GENERIC_READ
             : (mode & 3) == fmOpenWrite ? GENERIC_WRITE
                                         : GENERIC_READ | GENERIC_WRITE;
    switch (mode & 0xF0) {
    case fmShareExclusive:
      share = 0;
      break;
    case fmShareDenyWrite:
      share = FILE_SHARE_READ;
      break;
    case fmShareDenyRead:
      share = FILE_SHARE_WRITE;
      break;
    default:
      share = FILE_SHARE_READ | FILE_SHARE_WRITE;
      break;
    }
    disposition = OPEN_EXISTING;
  }
  FHandle = CreateFileW(AFileName.c_str(), access, share, nullptr, disposition,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  if (FHandle == INVALID_HANDLE_VALUE)
    RaiseErrorFmt(AMode == fmCreate ? L"Cannot create file \"%s\"" : L"Cannot open file \"%s\"",
                  {AFileName});
}

TDCFileStream::~TDCFileStream() {
  if (FHandle != INVALID_HANDLE_VALUE)
    CloseHandle(FHandle);
}

std::int32_t TDCFileStream::Read(void* ABuffer, std::int32_t ACount) {
  DWORD done = 0;
  if (ACount <= 0 || !ReadFile(FHandle, ABuffer, DWORD(ACount), &done, nullptr))
    return 0;
  return std::int32_t(done);
}

std::int32_t TDCFileStream::Write(const void* ABuffer, std::int32_t ACount) {
  DWORD done = 0;
  if (ACount <= 0 || !WriteFile(FHandle, ABuffer, DWORD(ACount), &done, nullptr))
    return 0;
  return std::int32_t(done);
}

std::int64_t TDCFileStream::Seek(std::int64_t AOffset, TSeekOrigin AOrigin) {
  LARGE_INTEGER distance;
  distance.QuadPart = AOffset;
  LARGE_INTEGER position{};
  const DWORD method = AOrigin == TSeekOrigin::soBeginning ? FILE_BEGIN
                       : AOrigin == TSeekOrigin::soCurrent ? FILE_CURRENT
                                                           : FILE_END;
  if (!SetFilePointerEx(FHandle, distance, &position, method))
    return -1;
  return position.QuadPart;
}

void TDCFileStream::SetSize(std::int64_t ASize) {
  const std::int64_t position = Position();
  Seek(ASize, TSeekOrigin::soBeginning);
  SetEndOfFile(FHandle);
  Seek(std::min(position, ASize), TSeekOrigin::soBeginning);
}

std::int32_t TDCMemoryStream::Read(void* ABuffer, std::int32_t ACount) {
  const std::int64_t available = std::int64_t(FMemory.size()) - FPosition;
  if (ACount <= 0 || available <= 0)
    return 0;
  const std::int32_t count = std::int32_t(std::min<std::int64_t>(ACount, available));
  std::memcpy(ABuffer, FMemory.data() + FPosition, std::size_t(count));
  FPosition += count;
  return count;
}

std::int32_t TDCMemoryStream::Write(const void* ABuffer, std::int32_t ACount) {
  if (ACount <= 0)
    return 0;
  if (std::size_t(FPosition) + std::size_t(ACount) > FMemory.size())
    FMemory.resize(std::size_t(FPosition) + std::size_t(ACount));
  std::memcpy(FMemory.data() + FPosition, ABuffer, std::size_t(ACount));
  FPosition += ACount;
  return ACount;
}

std::int64_t TDCMemoryStream::Seek(std::int64_t AOffset, TSeekOrigin AOrigin) {
  const std::int64_t base = AOrigin == TSeekOrigin::soBeginning ? 0
                            : AOrigin == TSeekOrigin::soCurrent ? FPosition
                                                                : std::int64_t(FMemory.size());
  FPosition = std::max<std::int64_t>(0, base + AOffset);
  return FPosition;
}

void TDCMemoryStream::SetSize(std::int64_t ASize) {
  FMemory.resize(std::size_t(std::max<std::int64_t>(0, ASize)));
  FPosition = std::min<std::int64_t>(FPosition, ASize);
}

// ---- Resource names ----------------------------------------------------------

const wchar_t* const ResourceTypeNames[22] = {
    L"RT_CURSOR",       L"RT_BITMAP",       L"RT_ICON", L"RT_MENU",        L"RT_DIALOG",
    L"RT_STRING",       L"RT_FONTDIR",      L"RT_FONT", L"RT_ACCELERATOR", L"RT_RCDATA",
    L"RT_MESSAGETABLE", L"RT_GROUP_CURSOR", L"",        L"RT_GROUP_ICON",  L"",
    L"RT_VERSION",      L"RT_DLGINCLUDE",   L"",        L"RT_PLUGPLAY",    L"RT_VXD",
    L"RT_ANICURSOR",    L"RT_ANIICON"};

void FileNameToResource(const std::wstring& AFileName, TResourceId& AType, TResourceId& AName) {
  AType = TResourceId{};
  AName = TResourceId{};
  const std::wstring withoutExtension = AFileName.substr(0, ExtensionStart(AFileName));
  const std::size_t backslash = withoutExtension.find(L'\\');
  if (backslash == std::wstring::npos)
    return;
  AName.Name = withoutExtension.substr(backslash + 1);
  const std::wstring type = withoutExtension.substr(0, backslash);
  const std::wstring standard = L"RT_" + type;
  for (std::uint16_t i = 0; i < 22; ++i) {
    if (*ResourceTypeNames[i] && SameTextAscii(standard, ResourceTypeNames[i])) {
      AType.Number = std::uint16_t(i + 1);
      return;
    }
  }
  AType.Name = type;
}

bool UpdateResourceData(const std::wstring& AFileName, const TResourceId& AResType,
                        const TResourceId& AResName, std::int32_t ASize, const void* AData) {
  HANDLE update = BeginUpdateResourceW(AFileName.c_str(), FALSE);
  if (!update)
    return false;
  const BOOL updated = UpdateResourceW(update, AResType.Ptr(), AResName.Ptr(),
                                       MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                                       const_cast<void*>(AData), DWORD(std::max(ASize, 0)));
  // A refused update is discarded, so the file stays as it was.
  const BOOL ended = EndUpdateResourceW(update, updated ? FALSE : TRUE);
  return updated && ended;
}

// ---- TFileSystem -------------------------------------------------------------

const TDCClassInfo TFileSystem::ClassInfo{L"TFileSystem", &TDCComponent::ClassInfo};
const TDCClassInfo TWin32FileSystem::ClassInfo{L"TWin32FileSystem", &TFileSystem::ClassInfo};
const TDCClassInfo TResFileSystem::ClassInfo{L"TResFileSystem", &TFileSystem::ClassInfo};

void TFileSystem::RenameFileExcept(const std::wstring& AFileName, const std::wstring& AToFileName) {
  if (!RenameFile(AFileName, AToFileName))
    RaiseErrorFmt(L"Can't rename file %s to file %s", {AFileName, AToFileName});
}

void TFileSystem::DeleteFileExcept(const std::wstring& AFileName) {
  if (FileExists(AFileName) && !DeleteFile(AFileName))
    RaiseErrorFmt(L"Can't delete file %S", {AFileName});
}

std::wstring TFileSystem::GetBackupFileName(const std::wstring& AFileName) {
  const std::size_t nameStart = NameStart(AFileName);
  const std::size_t extensionStart = ExtensionStart(AFileName);
  const std::wstring folder = AFileName.substr(0, nameStart);
  const std::wstring name = AFileName.substr(nameStart, extensionStart - nameStart);
  std::wstring extension = AFileName.substr(extensionStart);
  if (extension.empty())
    extension = L".~";
  else
    extension = (L".~" + extension.substr(1)).substr(0, 4);
  return AppendPathDelimiter(folder) + name + extension;
}

std::wstring TFileSystem::ChangeFileExt(const std::wstring& AFileName,
                                        const std::wstring& AExtension) {
  return AFileName.substr(0, ExtensionStart(AFileName)) + AExtension;
}

std::wstring TFileSystem::ExtractFileExt(const std::wstring& AFileName) {
  return AFileName.substr(ExtensionStart(AFileName));
}

// ---- TWin32FileSystem --------------------------------------------------------

std::wstring TWin32FileSystem::GetCurrentDir() {
  const DWORD length = GetCurrentDirectoryW(0, nullptr);
  std::wstring dir(length, L'\0');
  dir.resize(GetCurrentDirectoryW(length, dir.data()));
  return dir;
}

void TWin32FileSystem::SetCurrentDir(const std::wstring& ADir) {
  SetCurrentDirectoryW(ADir.c_str());
}

std::unique_ptr<TDCStream> TWin32FileSystem::GetFileStream(const std::wstring& AFileName,
                                                           std::uint32_t AMode) {
  return std::make_unique<TDCFileStream>(AFileName, AMode);
}

bool TWin32FileSystem::FileAge(const std::wstring& AFileName, double& AFileDateTime) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(AFileName.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return false;
  AFileDateTime = FileTimeToDateTime(data.ftLastWriteTime);
  return true;
}

bool TWin32FileSystem::RenameFile(const std::wstring& AOldName, const std::wstring& ANewName) {
  return MoveFileW(AOldName.c_str(), ANewName.c_str()) != 0;
}

bool TWin32FileSystem::IsReadonly(const std::wstring& AFileName) {
  // A missing file's attributes are all ones: read-only among them.
  return (GetFileAttributesW(AFileName.c_str()) & FILE_ATTRIBUTE_READONLY) != 0;
}

bool TWin32FileSystem::DeleteFile(const std::wstring& AFileName) {
  return ::DeleteFileW(AFileName.c_str()) != 0;
}

bool TWin32FileSystem::FileExists(const std::wstring& AFileName) {
  const DWORD attributes = GetFileAttributesW(AFileName.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring TWin32FileSystem::GetTempFileName(const std::wstring& AFileName) {
  const std::size_t nameStart = NameStart(AFileName);
  std::wstring folder = AFileName.substr(0, nameStart);
  if (folder.empty())
    folder = L".";
  const std::wstring prefix = AFileName.substr(nameStart);
  wchar_t buffer[MAX_PATH] = {};
  if (::GetTempFileNameW(folder.c_str(), prefix.c_str(), 0, buffer) == 0)
    RaiseError(L"Can't create temporary filename");
  return buffer;
}

// ---- TResFileSystem ----------------------------------------------------------

TResFileSystem::~TResFileSystem() {
  ReleaseModule();
}

void TResFileSystem::ReleaseModule() {
  if (fModuleHandle) {
    FreeLibrary(fModuleHandle);
    fModuleHandle = nullptr;
  }
}

void TResFileSystem::SetFileName(const std::wstring& AValue) {
  if (AValue == fFileName)
    return;
  ReleaseModule();
  fFileName = AValue;
}

bool TResFileSystem::FileExists(const std::wstring& AFileName) {
  TResourceId type;
  TResourceId name;
  FileNameToResource(AFileName, type, name);
  if (type.IsNone() || name.IsNone())
    return false;
  TDataModule module(fFileName);
  return module.Handle() && FindResourceW(module.Handle(), name.Ptr(), type.Ptr()) != nullptr;
}

std::unique_ptr<TDCStream> TResFileSystem::GetFileStream(const std::wstring& AFileName,
                                                         std::uint32_t AMode) {
  TResourceId type;
  TResourceId name;
  FileNameToResource(AFileName, type, name);
  return std::make_unique<TResWriteStream>(fFileName, name.Name, type, AMode);
}

// ---- TResWriteStream ---------------------------------------------------------

TResWriteStream::TResWriteStream(const std::wstring& AFileName, const std::wstring& AResName,
                                 const TResourceId& AResType, std::uint32_t AMode)
    : fResName(AResName), fResType(AResType), fFileName(AFileName) {
  TDataModule module(fFileName);
  if (AMode == fmCreate || !module.Handle())
    return;
  TResourceId name;
  name.Name = fResName;
  HRSRC resource = FindResourceW(module.Handle(), name.Ptr(), fResType.Ptr());
  if (!resource)
    return;
  fInitSize = std::int32_t(SizeofResource(module.Handle(), resource));
  HGLOBAL data = LoadResource(module.Handle(), resource);
  const void* bytes = data ? LockResource(data) : nullptr;
  if (fInitSize > 0 && bytes) {
    FMemory.assign(static_cast<const std::uint8_t*>(bytes),
                   static_cast<const std::uint8_t*>(bytes) + fInitSize);
    FPosition = 0;
  } else {
    fInitSize = 0;
  }
}

TResWriteStream::~TResWriteStream() {
  try {
    Close();
  } catch (...) {
    // Nothing can be reported from here; Close tells the callers that ask.
  }
}

std::int32_t TResWriteStream::Write(const void* ABuffer, std::int32_t ACount) {
  fModified = true;
  return TDCMemoryStream::Write(ABuffer, ACount);
}

void TResWriteStream::Close() {
  if (FClosed)
    return;
  FClosed = true;
  if (!fModified && std::int64_t(FMemory.size()) == fInitSize)
    return;
  TResourceId name;
  name.Name = fResName;
  if (!UpdateResourceData(fFileName, fResType, name, std::int32_t(FMemory.size()), FMemory.data()))
    RaiseError(L"Error updating resource");
}

// ---- Start-up ------------------------------------------------------------------

void StartParserFileSystems() {
  static const bool started = [] {
    RegisterClassOnce(&TWin32FileSystem::ClassInfo);
    RegisterClassOnce(&TResFileSystem::ClassInfo);
    return true;
  }();
  (void)started;
}

// ---- TResourceWriter ---------------------------------------------------------------

namespace {

constexpr std::uint32_t kPageSize = 4096;
constexpr std::uint32_t kPeSignature = 0x00004550; // "PE\0\0"

// The optional header's fields the rewrite adjusts, for PE32 and PE32+.
struct TOptionalFields {
  DWORD* SizeOfInitializedData = nullptr;
  DWORD* SizeOfImage = nullptr;
  IMAGE_DATA_DIRECTORY* ResourceDirectory = nullptr;
};

TOptionalFields OptionalFields(IMAGE_FILE_HEADER* AFileHeader) {
  TOptionalFields fields;
  auto* optional = reinterpret_cast<std::uint8_t*>(AFileHeader + 1);
  const WORD magic = *reinterpret_cast<WORD*>(optional);
  if (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
    auto* header = reinterpret_cast<IMAGE_OPTIONAL_HEADER32*>(optional);
    fields.SizeOfInitializedData = &header->SizeOfInitializedData;
    fields.SizeOfImage = &header->SizeOfImage;
    if (header->NumberOfRvaAndSizes > IMAGE_DIRECTORY_ENTRY_RESOURCE)
      fields.ResourceDirectory = &header->DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE];
  } else if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
    auto* header = reinterpret_cast<IMAGE_OPTIONAL_HEADER64*>(optional);
    fields.SizeOfInitializedData = &header->SizeOfInitializedData;
    fields.SizeOfImage = &header->SizeOfImage;
    if (header->NumberOfRvaAndSizes > IMAGE_DIRECTORY_ENTRY_RESOURCE)
      fields.ResourceDirectory = &header->DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE];
  }
  return fields;
}

} // namespace

TResourceWriter::TResourceWriter(const std::wstring& AFileName) : FFileName(AFileName) {
  Open(0);
}

TResourceWriter::~TResourceWriter() {
  Close();
}

void TResourceWriter::RaiseOpenError(const std::wstring& AMsg, DWORD AErrorCode) {
  Close();
  RaiseError(AMsg + FormatText(L"\r\nError code : %d", {std::int64_t(AErrorCode)}));
}

void TResourceWriter::Open(std::uint32_t AMappingSize) {
  FFileHandle = CreateFileW(FFileName.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (FFileHandle == INVALID_HANDLE_VALUE)
    RaiseOpenError(L"Can't open file for writing", GetLastError());
  LARGE_INTEGER size{};
  GetFileSizeEx(FFileHandle, &size);
  if (size.QuadPart > 0x7FFFFFFF)
    RaiseOpenError(L"Invalid file format", ERROR_FILE_TOO_LARGE);
  fOldFileSize = std::int32_t(size.QuadPart);
  fFilesize = AMappingSize ? AMappingSize : std::uint32_t(fOldFileSize);
  FFileMapping = CreateFileMappingW(FFileHandle, nullptr, PAGE_READWRITE, 0, AMappingSize, nullptr);
  if (!FFileMapping)
    RaiseOpenError(L"Can't map file", GetLastError());
  FFileBase = static_cast<std::uint8_t*>(MapViewOfFile(FFileMapping, FILE_MAP_WRITE, 0, 0, 0));
  if (!FFileBase)
    RaiseOpenError(L"Can't perform MapViewOfFile", GetLastError());

  // Every header is checked to lie inside the file before it is read.
  FDosHeader = reinterpret_cast<IMAGE_DOS_HEADER*>(FFileBase);
  if (fFilesize < sizeof(IMAGE_DOS_HEADER) || FDosHeader->e_magic != IMAGE_DOS_SIGNATURE ||
      FDosHeader->e_lfanew < 0 ||
      std::uint64_t(FDosHeader->e_lfanew) + 4 + sizeof(IMAGE_FILE_HEADER) > fFilesize ||
      *reinterpret_cast<DWORD*>(FFileBase + FDosHeader->e_lfanew) != kPeSignature)
    RaiseOpenError(L"Invalid file format", GetLastError());
  FNTHeader = reinterpret_cast<IMAGE_FILE_HEADER*>(FFileBase + FDosHeader->e_lfanew + 4);
  const std::uint64_t sections = std::uint64_t(FDosHeader->e_lfanew) + 4 +
                                 sizeof(IMAGE_FILE_HEADER) + FNTHeader->SizeOfOptionalHeader;
  if (sections + std::uint64_t(FNTHeader->NumberOfSections) * sizeof(IMAGE_SECTION_HEADER) >
          fFilesize ||
      !OptionalFields(FNTHeader).SizeOfImage)
    RaiseOpenError(L"Invalid file format", GetLastError());
  auto* section = reinterpret_cast<IMAGE_SECTION_HEADER*>(FFileBase + sections);
  FResSectHdr = nullptr;
  for (WORD i = 0; i < FNTHeader->NumberOfSections; ++i) {
    char name[9] = {};
    std::memcpy(name, section[i].Name, 8);
    if (_stricmp(name, ".rsrc") == 0) {
      FResSectHdr = &section[i];
      break;
    }
  }
  if (!FResSectHdr)
    RaiseOpenError(L"This file doesn't contain resources", GetLastError());
  if (std::uint64_t(FResSectHdr->PointerToRawData) + FResSectHdr->SizeOfRawData > fFilesize)
    RaiseOpenError(L"Invalid file format", GetLastError());
  FResourceBase = FFileBase + FResSectHdr->PointerToRawData;
  FResourceRVA = FResSectHdr->VirtualAddress;
  FResourceSize = FResSectHdr->SizeOfRawData;
}

void TResourceWriter::Close() {
  if (FFileBase)
    UnmapViewOfFile(FFileBase);
  if (FFileMapping)
    CloseHandle(FFileMapping);
  if (FFileHandle != INVALID_HANDLE_VALUE)
    CloseHandle(FFileHandle);
  FFileBase = nullptr;
  FFileMapping = nullptr;
  FFileHandle = INVALID_HANDLE_VALUE;
  FDosHeader = nullptr;
  FNTHeader = nullptr;
  FResSectHdr = nullptr;
  FResourceBase = nullptr;
}

std::uint8_t* TResourceWriter::ResourceAt(std::uint32_t AOffset, std::uint32_t ASize) const {
  if (!FResourceBase || std::uint64_t(AOffset) + ASize > FResourceSize)
    return nullptr;
  return FResourceBase + AOffset;
}

IMAGE_RESOURCE_DIRECTORY* TResourceWriter::RootDirectory() const {
  return reinterpret_cast<IMAGE_RESOURCE_DIRECTORY*>(
      ResourceAt(0, sizeof(IMAGE_RESOURCE_DIRECTORY)));
}

bool TResourceWriter::ProcessAllResources(IMAGE_RESOURCE_DIRECTORY* ADir,
                                          const TProcessFunc& AProcessFunc) {
  return WalkDirectory(ADir, nullptr, AProcessFunc, 0);
}

bool TResourceWriter::WalkDirectory(IMAGE_RESOURCE_DIRECTORY* ADir,
                                    const IMAGE_RESOURCE_DIRECTORY_ENTRY* ATypeEntry,
                                    const TProcessFunc& AProcessFunc, int ADepth) {
  // A directory that leads round in a circle ends the walk, not the program.
  if (!ADir || ADepth > 2)
    return false;
  const std::uint32_t dirOffset =
      std::uint32_t(reinterpret_cast<std::uint8_t*>(ADir) - FResourceBase);
  const std::uint32_t count = std::uint32_t(ADir->NumberOfNamedEntries) + ADir->NumberOfIdEntries;
  auto* entries = reinterpret_cast<IMAGE_RESOURCE_DIRECTORY_ENTRY*>(
      ResourceAt(dirOffset + sizeof(IMAGE_RESOURCE_DIRECTORY),
                 count * sizeof(IMAGE_RESOURCE_DIRECTORY_ENTRY)));
  if (!entries)
    return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    IMAGE_RESOURCE_DIRECTORY_ENTRY& entry = entries[i];
    IMAGE_RESOURCE_DIRECTORY* sub = nullptr;
    if (entry.DataIsDirectory)
      sub = reinterpret_cast<IMAGE_RESOURCE_DIRECTORY*>(
          ResourceAt(entry.OffsetToDirectory, sizeof(IMAGE_RESOURCE_DIRECTORY)));
    bool subLeadsToDirectory = false;
    if (sub && sub->NumberOfNamedEntries + sub->NumberOfIdEntries > 0) {
      auto* first = reinterpret_cast<IMAGE_RESOURCE_DIRECTORY_ENTRY*>(
          ResourceAt(entry.OffsetToDirectory + sizeof(IMAGE_RESOURCE_DIRECTORY),
                     sizeof(IMAGE_RESOURCE_DIRECTORY_ENTRY)));
      subLeadsToDirectory = first && first->DataIsDirectory;
    }
    if (subLeadsToDirectory) {
      if (WalkDirectory(sub, &entry, AProcessFunc, ADepth + 1))
        return true;
    } else if (AProcessFunc(entry, ATypeEntry)) {
      return true;
    }
  }
  return false;
}

bool TResourceWriter::EntryMatches(const IMAGE_RESOURCE_DIRECTORY_ENTRY& AEntry,
                                   const IMAGE_RESOURCE_DIRECTORY_ENTRY* ATypeEntry,
                                   const TResourceId& AResType,
                                   const std::wstring& AResName) const {
  auto nameOf = [this](const IMAGE_RESOURCE_DIRECTORY_ENTRY& AItem, std::wstring& AText) {
    const auto* length = reinterpret_cast<const WORD*>(ResourceAt(AItem.NameOffset, 2));
    if (!length)
      return false;
    const auto* chars = reinterpret_cast<const wchar_t*>(
        ResourceAt(AItem.NameOffset + 2, std::uint32_t(*length) * 2));
    if (!chars)
      return false;
    AText.assign(chars, *length);
    return true;
  };
  std::wstring name;
  if (!AEntry.NameIsString || !nameOf(AEntry, name) || name != AResName)
    return false;
  // The type counts too: a resource of another type that happens to carry
  // the same name is not the one asked for.
  if (!ATypeEntry)
    return false;
  if (!AResType.Name.empty()) {
    std::wstring type;
    return ATypeEntry->NameIsString && nameOf(*ATypeEntry, type) &&
           SameTextAscii(type, AResType.Name);
  }
  return !ATypeEntry->NameIsString && ATypeEntry->Id == AResType.Number;
}

IMAGE_RESOURCE_DATA_ENTRY*
TResourceWriter::FirstLanguageData(const IMAGE_RESOURCE_DIRECTORY_ENTRY& AEntry) const {
  if (!AEntry.DataIsDirectory)
    return nullptr;
  auto* languages = reinterpret_cast<IMAGE_RESOURCE_DIRECTORY*>(
      ResourceAt(AEntry.OffsetToDirectory, sizeof(IMAGE_RESOURCE_DIRECTORY)));
  if (!languages || languages->NumberOfNamedEntries + languages->NumberOfIdEntries == 0)
    return nullptr;
  auto* first = reinterpret_cast<IMAGE_RESOURCE_DIRECTORY_ENTRY*>(
      ResourceAt(AEntry.OffsetToDirectory + sizeof(IMAGE_RESOURCE_DIRECTORY),
                 sizeof(IMAGE_RESOURCE_DIRECTORY_ENTRY)));
  if (!first || first->DataIsDirectory)
    return nullptr;
  return reinterpret_cast<IMAGE_RESOURCE_DATA_ENTRY*>(
      ResourceAt(first->OffsetToData, sizeof(IMAGE_RESOURCE_DATA_ENTRY)));
}

void TResourceWriter::UpdateResource(const TResourceId& AResType, const std::wstring& AResName,
                                     const void* AData, std::int32_t ADataLength) {
  if (ADataLength < 0 || (ADataLength > 0 && !AData))
    RaiseError(L"Error updating resource");
  bool found = false;
  ProcessAllResources(RootDirectory(), [&](IMAGE_RESOURCE_DIRECTORY_ENTRY& AEntry,
                                           const IMAGE_RESOURCE_DIRECTORY_ENTRY* ATypeEntry) {
    if (!EntryMatches(AEntry, ATypeEntry, AResType, AResName))
      return false;
    IMAGE_RESOURCE_DATA_ENTRY* data = FirstLanguageData(AEntry);
    if (!data)
      return false;
    fOldSize = std::int32_t(data->Size);
    found = true;
    return true;
  });
  if (!found)
    RaiseError(L"Resource not found");

  // The new bytes go past the end of the file, inside the grown resource
  // section: only right when no section and no other data follow it.
  const std::uint64_t sectionEnd =
      std::uint64_t(FResSectHdr->PointerToRawData) + FResSectHdr->SizeOfRawData;
  if (sectionEnd != std::uint64_t(fOldFileSize))
    RaiseError(L"Error updating resource: the resource section is not at the end of the file");

  fDelta = (ADataLength / std::int32_t(kPageSize) + 1) * std::int32_t(kPageSize);
  const std::int32_t oldFileSize = fOldFileSize;
  Close();
  Open(std::uint32_t(oldFileSize) + std::uint32_t(fDelta));
  FResourceSize += std::uint32_t(fDelta); // the copy lies in the grown section
  ProcessAllResources(RootDirectory(), [&](IMAGE_RESOURCE_DIRECTORY_ENTRY& AEntry,
                                           const IMAGE_RESOURCE_DIRECTORY_ENTRY* ATypeEntry) {
    if (!EntryMatches(AEntry, ATypeEntry, AResType, AResName))
      return false;
    IMAGE_RESOURCE_DATA_ENTRY* data = FirstLanguageData(AEntry);
    if (!data)
      return false;
    if (ADataLength > 0)
      std::memcpy(FFileBase + oldFileSize, AData, std::size_t(ADataLength));
    const std::uint32_t oldDataPosition =
        data->OffsetToData - FResourceRVA + FResSectHdr->PointerToRawData;
    data->OffsetToData += std::uint32_t(oldFileSize) - oldDataPosition;
    data->Size = std::uint32_t(ADataLength);
    return true;
  });
  const TOptionalFields fields = OptionalFields(FNTHeader);
  *fields.SizeOfInitializedData += std::uint32_t(fDelta);
  *fields.SizeOfImage += std::uint32_t(fDelta);
  FResSectHdr->Misc.VirtualSize += std::uint32_t(fDelta);
  FResSectHdr->SizeOfRawData += std::uint32_t(fDelta);
  if (fields.ResourceDirectory)
    fields.ResourceDirectory->Size += std::uint32_t(fDelta);
  FlushViewOfFile(FFileBase, 0);
}
