// The stand-in zip library: reads .zip archives (stored and deflated
// entries, zlib inside), lists, tests and unpacks them and reports through
// the status callback with the records of zip-library.h. Creating archives
// and encrypted entries are not supported and answer an error code.
// Between files it peeks at the message queue through user32's
// PeekMessageA, as the host's library does to keep its window responsive.

#include "zip-library.h"

#include <shlwapi.h>
#include <windows.h>
#include <zlib.h>

#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

enum TZipResult : int32_t {
  eZipOk = 0,
  eZipAborted = 1,
  eZipCannotOpen = 2,
  eZipNotAnArchive = 3,
  eZipDamagedEntry = 4,
  eZipCannotWrite = 5,
  eZipNothingToDo = 6,
  eZipNotSupported = 7,
  eZipBadHandle = 8,
};

struct TResultText {
  int32_t Code;
  const char* Text;
};

constexpr TResultText kResultTexts[] = {
    {eZipOk, "The operation completed successfully."},
    {eZipAborted, "The operation was aborted."},
    {eZipCannotOpen, "The zip file could not be opened."},
    {eZipNotAnArchive, "The file is not a valid zip file."},
    {eZipDamagedEntry, "A file in the zip file is damaged."},
    {eZipCannotWrite, "A file could not be written."},
    {eZipNothingToDo, "No file in the zip file matched the files to process."},
    {eZipNotSupported, "The operation is not supported."},
    {eZipBadHandle, "The handle is not valid."},
};

// Warning codes of TWarningRec.xWarning.
enum TZipWarning : int32_t {
  eWarnUnsafePath = 1, // the entry would be written outside the target folder
  eWarnEncrypted = 2,
  eWarnDamaged = 3,
  eWarnExists = 4,
  eWarnMissing = 5,
};

struct TEntry {
  std::string Name; // as stored, '/' separated
  uint16_t Flags = 0, Method = 0;
  uint32_t Crc = 0, PackedSize = 0, Size = 0, LocalOffset = 0;
  bool IsFolder() const { return !Name.empty() && Name.back() == '/'; }
};

struct TJob {
  std::string ZipFileName, UnzipToFolder;
  bool PreservePaths = true, SkipIfExisting = false, SkipIfNotExisting = false;
  std::vector<std::string> Include, Exclude;
  TZipStatusCallback Callback = nullptr;
  volatile bool AbortRequested = false;
};

std::map<int32_t, std::unique_ptr<TJob>> GJobs;
int32_t GNextHandle = 1;

TJob* Find(int32_t AHandle) {
  const auto found = GJobs.find(AHandle);
  return found == GJobs.end() ? nullptr : found->second.get();
}

uint16_t Read16(const std::vector<uint8_t>& AData, std::size_t AAt) {
  return uint16_t(AData[AAt] | AData[AAt + 1] << 8);
}

uint32_t Read32(const std::vector<uint8_t>& AData, std::size_t AAt) {
  return uint32_t(Read16(AData, AAt)) | uint32_t(Read16(AData, AAt + 2)) << 16;
}

bool ReadFileBytes(const std::string& AName, std::vector<uint8_t>& AData) {
  HANDLE file = CreateFileA(AName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  LARGE_INTEGER size = {};
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart < 0x7FFFFFFF;
  if (ok) {
    AData.resize(std::size_t(size.QuadPart));
    DWORD read = 0;
    ok = AData.empty() || (ReadFile(file, AData.data(), DWORD(AData.size()), &read, nullptr) &&
                           read == AData.size());
  }
  CloseHandle(file);
  return ok;
}

// The central directory's entries; false when the file is not an archive
// or a record reaches past its end.
bool ReadDirectory(const std::vector<uint8_t>& AData, std::vector<TEntry>& AEntries) {
  if (AData.size() < 22)
    return false;
  std::size_t end = AData.size() - 22;
  const std::size_t lowest = AData.size() > 22 + 0xFFFF ? AData.size() - 22 - 0xFFFF : 0;
  for (;; --end) {
    if (Read32(AData, end) == 0x06054B50)
      break;
    if (end == lowest)
      return false;
  }
  const uint16_t count = Read16(AData, end + 10);
  std::size_t at = Read32(AData, end + 16);
  for (uint16_t index = 0; index < count; ++index) {
    if (at + 46 > AData.size() || Read32(AData, at) != 0x02014B50)
      return false;
    TEntry entry;
    entry.Flags = Read16(AData, at + 8);
    entry.Method = Read16(AData, at + 10);
    entry.Crc = Read32(AData, at + 16);
    entry.PackedSize = Read32(AData, at + 20);
    entry.Size = Read32(AData, at + 24);
    const std::size_t nameLength = Read16(AData, at + 28), extra = Read16(AData, at + 30),
                      comment = Read16(AData, at + 32);
    entry.LocalOffset = Read32(AData, at + 42);
    if (at + 46 + nameLength > AData.size())
      return false;
    entry.Name.assign(reinterpret_cast<const char*>(&AData[at + 46]), nameLength);
    AEntries.push_back(std::move(entry));
    at += 46 + nameLength + extra + comment;
  }
  return true;
}

// The entry's bytes, checked against its CRC; false when damaged.
bool Extract(const std::vector<uint8_t>& AData, const TEntry& AEntry, std::vector<uint8_t>& AOut) {
  const std::size_t local = AEntry.LocalOffset;
  if (std::size_t(local) + 30 > AData.size() || Read32(AData, local) != 0x04034B50)
    return false;
  const std::size_t start = local + 30 + Read16(AData, local + 26) + Read16(AData, local + 28);
  if (start > AData.size() || AData.size() - start < AEntry.PackedSize)
    return false;
  AOut.assign(AEntry.Size, 0);
  if (AEntry.Method == 0) {
    if (AEntry.PackedSize != AEntry.Size)
      return false;
    std::memcpy(AOut.data(), &AData[start], AEntry.Size);
  } else if (AEntry.Method == 8) {
    z_stream stream = {};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
      return false;
    stream.next_in = const_cast<Bytef*>(&AData[start]);
    stream.avail_in = AEntry.PackedSize;
    Bytef spare = 0;
    stream.next_out = AOut.empty() ? &spare : AOut.data();
    stream.avail_out = AOut.empty() ? 0 : uInt(AOut.size());
    const int status = inflate(&stream, Z_FINISH);
    const bool complete = status == Z_STREAM_END && stream.total_out == AEntry.Size;
    inflateEnd(&stream);
    if (!complete)
      return false;
  } else {
    return false;
  }
  return crc32(0L, AOut.data(), uInt(AOut.size())) == AEntry.Crc;
}

bool Matches(const std::vector<std::string>& AMasks, const std::string& AName) {
  std::string windowsName = AName;
  for (char& c : windowsName)
    if (c == '/')
      c = '\\';
  const std::size_t slash = windowsName.find_last_of('\\');
  const std::string baseName =
      slash == std::string::npos ? windowsName : windowsName.substr(slash + 1);
  for (const std::string& mask : AMasks)
    if (PathMatchSpecA(windowsName.c_str(), mask.c_str()) ||
        PathMatchSpecA(baseName.c_str(), mask.c_str()))
      return true;
  return false;
}

// A stored name that stays inside the target folder: no drive, no root,
// no ".." part.
bool IsSafeName(const std::string& AName) {
  if (AName.empty() || AName[0] == '/' || AName[0] == '\\' || AName.find(':') != std::string::npos)
    return false;
  std::size_t start = 0;
  while (start <= AName.size()) {
    std::size_t end = AName.find_first_of("/\\", start);
    if (end == std::string::npos)
      end = AName.size();
    if (AName.compare(start, end - start, "..") == 0)
      return false;
    start = end + 1;
  }
  return true;
}

void Notify(TJob& AJob, int32_t AKind, const void* ABlock) {
  if (AJob.Callback)
    AJob.Callback(AKind, ABlock);
}

void Warn(TJob& AJob, int32_t AHandle, const std::string& AName, int32_t AWarning) {
  TWarningRec warning = {};
  warning.wStructSize = sizeof(warning);
  warning.hZip = AHandle;
  lstrcpynA(warning.szFilename, AName.c_str(), int(kZipFileNameLength));
  warning.xWarning = AWarning;
  Notify(AJob, eZipCallback_Warning, &warning);
}

// Lets the caller's window breathe between files; an abort request may arrive.
void PumpMessages() {
  MSG message;
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
}

bool CreateFolders(const std::string& APath) {
  for (std::size_t at = APath.find('\\', 3); at != std::string::npos;
       at = APath.find('\\', at + 1)) {
    const std::string folder = APath.substr(0, at);
    CreateDirectoryA(folder.c_str(), nullptr);
  }
  return true;
}

bool WriteFileBytes(const std::string& AName, const std::vector<uint8_t>& AData) {
  HANDLE file = CreateFileA(AName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  DWORD written = 0;
  const bool ok =
      AData.empty() || (WriteFile(file, AData.data(), DWORD(AData.size()), &written, nullptr) &&
                        written == AData.size());
  CloseHandle(file);
  return ok;
}

enum class TRunMode { List, Test, Unzip };

int32_t Run(int32_t AHandle, TRunMode AMode) {
  TJob* job = Find(AHandle);
  if (!job)
    return eZipBadHandle;
  job->AbortRequested = false;
  std::vector<uint8_t> data;
  if (!ReadFileBytes(job->ZipFileName, data))
    return eZipCannotOpen;
  std::vector<TEntry> entries;
  if (!ReadDirectory(data, entries))
    return eZipNotAnArchive;

  std::vector<const TEntry*> chosen;
  for (const TEntry& entry : entries)
    if ((job->Include.empty() || Matches(job->Include, entry.Name)) &&
        !Matches(job->Exclude, entry.Name))
      chosen.push_back(&entry);

  TGlobalStatusRec status = {};
  status.wStructSize = sizeof(status);
  status.hZip = AHandle;
  status.lFilesTotal = int32_t(chosen.size());
  for (const TEntry* entry : chosen)
    status.lBytesTotal += int32_t(entry->Size);

  std::string folder = job->UnzipToFolder;
  if (!folder.empty() && folder.back() != '\\' && folder.back() != '/')
    folder += '\\';

  int32_t result = chosen.empty() && AMode == TRunMode::Unzip ? eZipNothingToDo : eZipOk;
  for (const TEntry* entry : chosen) {
    PumpMessages();
    if (job->AbortRequested) {
      result = eZipAborted;
      break;
    }
    bool skipped = false;
    if (AMode == TRunMode::List) {
      std::array<char, 8 + kZipFileNameLength + 4> block = {};
      lstrcpynA(block.data() + 8, entry->Name.c_str(), int(kZipFileNameLength));
      Notify(*job, eZipCallback_ListingFile, block.data());
    } else if (entry->Flags & 1) {
      Warn(*job, AHandle, entry->Name, eWarnEncrypted);
      result = eZipNotSupported;
      skipped = true;
    } else if (AMode == TRunMode::Unzip && !IsSafeName(entry->Name)) {
      Warn(*job, AHandle, entry->Name, eWarnUnsafePath);
      skipped = true;
    } else {
      std::string target = entry->Name;
      for (char& c : target)
        if (c == '/')
          c = '\\';
      if (!job->PreservePaths)
        target.erase(0, target.find_last_of('\\') + 1);
      target = folder + target;
      const bool exists = GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES;
      std::vector<uint8_t> bytes;
      if (AMode == TRunMode::Unzip && entry->IsFolder()) {
        if (job->PreservePaths)
          CreateFolders(target);
        skipped = !job->PreservePaths;
      } else if (AMode == TRunMode::Unzip && job->SkipIfExisting && exists) {
        Warn(*job, AHandle, entry->Name, eWarnExists);
        skipped = true;
      } else if (AMode == TRunMode::Unzip && job->SkipIfNotExisting && !exists) {
        Warn(*job, AHandle, entry->Name, eWarnMissing);
        skipped = true;
      } else if (!Extract(data, *entry, bytes)) {
        Warn(*job, AHandle, entry->Name, eWarnDamaged);
        result = eZipDamagedEntry;
        skipped = true;
      } else if (AMode == TRunMode::Unzip) {
        CreateFolders(target);
        if (!WriteFileBytes(target, bytes)) {
          result = eZipCannotWrite;
          skipped = true;
        } else {
          status.lBytesOutput += int32_t(bytes.size());
        }
      }
    }
    if (skipped) {
      ++status.lFilesSkipped;
      status.lBytesSkipped += int32_t(entry->Size);
    } else {
      ++status.lFilesProcessed;
      status.lBytesProcessed += int32_t(entry->Size);
    }
    const int32_t done = status.lFilesProcessed + status.lFilesSkipped;
    status.nFilesPercent = int8_t(done * 100 / (status.lFilesTotal ? status.lFilesTotal : 1));
    status.nBytesPercent = int8_t(int64_t(status.lBytesProcessed + status.lBytesSkipped) * 100 /
                                  (status.lBytesTotal ? status.lBytesTotal : 1));
    if (AMode != TRunMode::List)
      Notify(*job, eZipCallback_GlobalStatus, &status);
  }

  TProcessCompletedRec completed = {};
  completed.wStructSize = sizeof(completed);
  completed.hZip = AHandle;
  completed.lFilesTotal = status.lFilesTotal;
  completed.lFilesProcessed = status.lFilesProcessed;
  completed.lFilesSkipped = status.lFilesSkipped;
  completed.lBytesTotal = status.lBytesTotal;
  completed.lBytesProcessed = status.lBytesProcessed;
  completed.lBytesSkipped = status.lBytesSkipped;
  completed.lBytesOutput = status.lBytesOutput;
  completed.xResult = result;
  Notify(*job, eZipCallback_ProcessCompleted, &completed);
  return result;
}

int32_t SetText(int32_t AHandle, std::string TJob::*AField, const char* AValue) {
  TJob* job = Find(AHandle);
  if (!job)
    return eZipBadHandle;
  job->*AField = AValue ? AValue : "";
  return eZipOk;
}

int32_t SetFlag(int32_t AHandle, bool TJob::*AField, int32_t AValue) {
  TJob* job = Find(AHandle);
  if (!job)
    return eZipBadHandle;
  job->*AField = AValue != 0;
  return eZipOk;
}

int32_t AddMasks(int32_t AHandle, std::vector<std::string> TJob::*AField, const char* AValue,
                 bool AReplace) {
  TJob* job = Find(AHandle);
  if (!job)
    return eZipBadHandle;
  if (AReplace)
    (job->*AField).clear();
  // Several masks may come in one text, separated by '|'.
  std::string masks = AValue ? AValue : "";
  std::size_t start = 0;
  while (start <= masks.size()) {
    std::size_t end = masks.find('|', start);
    if (end == std::string::npos)
      end = masks.size();
    if (end > start)
      (job->*AField).push_back(masks.substr(start, end - start));
    start = end + 1;
  }
  return eZipOk;
}

} // namespace

extern "C" {

void WINAPI XceedZipInitDLL() {}
void WINAPI XceedZipShutdownDLL() {}

int32_t WINAPI XzCreateXceedZipA() {
  const int32_t handle = GNextHandle++;
  GJobs[handle] = std::make_unique<TJob>();
  return handle;
}

int32_t WINAPI XzDestroyXceedZip(int32_t AHandle) {
  return GJobs.erase(AHandle) ? eZipOk : eZipBadHandle;
}

int32_t WINAPI XzSetZipFilenameA(int32_t AHandle, const char* AValue) {
  return SetText(AHandle, &TJob::ZipFileName, AValue);
}

int32_t WINAPI XzSetXceedZipCallback(int32_t AHandle, TZipStatusCallback ACallback) {
  TJob* job = Find(AHandle);
  if (!job)
    return eZipBadHandle;
  job->Callback = ACallback;
  return eZipOk;
}

// Base path, temporary folder and password change nothing here: reading
// needs neither, and encrypted entries are refused.
int32_t WINAPI XzSetBasePathA(int32_t AHandle, const char*) {
  return Find(AHandle) ? eZipOk : eZipBadHandle;
}
int32_t WINAPI XzSetTempFolderA(int32_t AHandle, const char*) {
  return Find(AHandle) ? eZipOk : eZipBadHandle;
}
int32_t WINAPI XzSetEncryptionPasswordA(int32_t AHandle, const char*) {
  return Find(AHandle) ? eZipOk : eZipBadHandle;
}
int32_t WINAPI XzSetUnzipToFolderA(int32_t AHandle, const char* AValue) {
  return SetText(AHandle, &TJob::UnzipToFolder, AValue);
}
int32_t WINAPI XzSetPreservePaths(int32_t AHandle, int32_t AValue) {
  return SetFlag(AHandle, &TJob::PreservePaths, AValue);
}
int32_t WINAPI XzSetProcessSubfolders(int32_t AHandle, int32_t) {
  return Find(AHandle) ? eZipOk : eZipBadHandle;
}
int32_t WINAPI XzSetSkipIfExisting(int32_t AHandle, int32_t AValue) {
  return SetFlag(AHandle, &TJob::SkipIfExisting, AValue);
}
int32_t WINAPI XzSetSkipIfNotExisting(int32_t AHandle, int32_t AValue) {
  return SetFlag(AHandle, &TJob::SkipIfNotExisting, AValue);
}
int32_t WINAPI XzSetUseTempFile(int32_t AHandle, int32_t) {
  return Find(AHandle) ? eZipOk : eZipBadHandle;
}
int32_t WINAPI XzSetCompressionMethod(int32_t AHandle, int32_t) {
  return Find(AHandle) ? eZipOk : eZipBadHandle;
}
int32_t WINAPI XzAddFilesToProcessA(int32_t AHandle, const char* AValue) {
  return AddMasks(AHandle, &TJob::Include, AValue, false);
}
int32_t WINAPI XzAddFilesToExcludeA(int32_t AHandle, const char* AValue) {
  return AddMasks(AHandle, &TJob::Exclude, AValue, false);
}
int32_t WINAPI XzSetFilesToProcessA(int32_t AHandle, const char* AValue) {
  return AddMasks(AHandle, &TJob::Include, AValue, true);
}
int32_t WINAPI XzSetFilesToExcludeA(int32_t AHandle, const char* AValue) {
  return AddMasks(AHandle, &TJob::Exclude, AValue, true);
}
int32_t WINAPI XzSetAbort(int32_t AHandle, int32_t AValue) {
  TJob* job = Find(AHandle);
  if (!job)
    return eZipBadHandle;
  job->AbortRequested = AValue != 0;
  return eZipOk;
}

int32_t WINAPI XzZip(int32_t AHandle) {
  return Find(AHandle) ? eZipNotSupported : eZipBadHandle;
}
int32_t WINAPI XzUnzip(int32_t AHandle) {
  return Run(AHandle, TRunMode::Unzip);
}
int32_t WINAPI XzListZipContents(int32_t AHandle) {
  return Run(AHandle, TRunMode::List);
}
int32_t WINAPI XzTestZipFile(int32_t AHandle, int32_t) {
  return Run(AHandle, TRunMode::Test);
}

int32_t WINAPI XzGetErrorDescriptionA(int32_t, int32_t, int32_t ACode, char* ABuffer,
                                      int32_t ASize) {
  if (!ABuffer || ASize <= 0)
    return 0;
  const char* text = "Unknown error.";
  for (const TResultText& row : kResultTexts)
    if (row.Code == ACode)
      text = row.Text;
  lstrcpynA(ABuffer, text, ASize);
  return int32_t(std::strlen(ABuffer));
}

} // extern "C"
