#pragma once

// The zip library wrapper: one TXCeedZip handles one archive file through
// the host's zip library "ZipComponents.DLL", loaded from the host's System
// folder and bound by name. The records and callback kinds below are the
// library's own layout; the stand-in library builds them from this header.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// What the library reports through the status callback.
enum TZipCallbackKind : int32_t {
  eZipCallback_ListingFile = 1,       // block: file name at byte 8
  eZipCallback_GlobalStatus = 10,     // block: TGlobalStatusRec
  eZipCallback_ProcessCompleted = 12, // block: TProcessCompletedRec
  eZipCallback_Warning = 17,          // block: TWarningRec
};

struct TGlobalStatusRec {
  uint16_t wStructSize;
  int32_t hZip;
  int32_t lFilesTotal;
  int32_t lFilesProcessed;
  int32_t lFilesSkipped;
  int8_t nFilesPercent;
  int32_t lBytesTotal;
  int32_t lBytesProcessed;
  int32_t lBytesSkipped;
  int8_t nBytesPercent;
  int32_t lBytesOutput;
  int8_t nCompressionRatio;
  int32_t lBytesTotalHigh;
  int32_t lBytesProcessedHigh;
  int32_t lBytesSkippedHigh;
  int32_t lBytesOutputHigh;
};
static_assert(sizeof(TGlobalStatusRec) == 64 && offsetof(TGlobalStatusRec, nFilesPercent) == 20 &&
              offsetof(TGlobalStatusRec, nBytesPercent) == 36 &&
              offsetof(TGlobalStatusRec, nCompressionRatio) == 44 &&
              offsetof(TGlobalStatusRec, lBytesOutputHigh) == 60);

struct TProcessCompletedRec {
  uint16_t wStructSize;
  int32_t hZip;
  int32_t lFilesTotal;
  int32_t lFilesProcessed;
  int32_t lFilesSkipped;
  int32_t lBytesTotal;
  int32_t lBytesProcessed;
  int32_t lBytesSkipped;
  int32_t lBytesOutput;
  int8_t nCompressionRatio;
  int32_t xResult;
  int32_t lBytesTotalHigh;
  int32_t lBytesProcessedHigh;
  int32_t lBytesSkippedHigh;
  int32_t lBytesOutputHigh;
};
static_assert(sizeof(TProcessCompletedRec) == 60 &&
              offsetof(TProcessCompletedRec, nCompressionRatio) == 36 &&
              offsetof(TProcessCompletedRec, xResult) == 40 &&
              offsetof(TProcessCompletedRec, lBytesOutputHigh) == 56);

constexpr std::size_t kZipFileNameLength = 260;

struct TWarningRec {
  uint16_t wStructSize;
  int32_t hZip;
  char szFilename[kZipFileNameLength];
  int32_t xWarning;
};
static_assert(sizeof(TWarningRec) == 272 && offsetof(TWarningRec, szFilename) == 8 &&
              offsetof(TWarningRec, xWarning) == 268);

// The status callback the library calls: a kind and its parameter block.
using TZipStatusCallback = void(WINAPI*)(int32_t AKind, const void* ABlock);

// The result every operation answers when the library could not be loaded
// or bound, or did not give this archive a handle.
constexpr int32_t kZipLibraryUnavailable = -1;

class TXCeedZip {
public:
  using TGlobalStatusEvent = std::function<void(const TGlobalStatusRec*)>;
  using TProcessCompletedEvent = std::function<void(const TProcessCompletedRec*)>;
  using TWarningEvent = std::function<void(const TWarningRec*)>;

  explicit TXCeedZip(const std::wstring& AZipFileName);
  ~TXCeedZip();
  TXCeedZip(const TXCeedZip&) = delete;
  TXCeedZip& operator=(const TXCeedZip&) = delete;

  // Settings, passed straight to the library; nothing is kept here.
  void SetBasePath(const std::wstring& AValue);
  void SetTempFolder(const std::wstring& AValue);
  void SetUnzipToFolder(const std::wstring& AValue);
  void SetEncryptionPassword(const std::wstring& AValue);
  void SetCompressionLevel(int32_t AValue);
  void SetPreservePaths(bool AValue);
  void SetProcessSubfolders(bool AValue);
  void SetSkipIfExisting(bool AValue);
  void SetSkipIfNotExisting(bool AValue);
  void SetUseTempFile(bool AValue);

  TGlobalStatusEvent EventGlobalStatus;
  TProcessCompletedEvent EventProcessCompleted;
  TWarningEvent EventWarning;

  // The library's results, 0 meaning success.
  int32_t UnZip();
  int32_t Zip();
  // Fills ListResults with the names the library reports during this call.
  int32_t List();
  bool TestZip();
  void Abort();
  void AddFilesToProcess(const std::wstring& AFileNames);
  void AddFilesToExclude(const std::wstring& AFileNames);
  std::wstring GetErrorMessage(int32_t AError);

  const std::vector<std::wstring>& ListResults() const { return FListResults; }
  // Whether the library was loaded and bound and gave this archive a handle.
  bool IsAvailable() const { return hZip != 0; }

  // The instance the library's callbacks go to (the last one constructed).
  static TXCeedZip* CurrentZip();

private:
  static void WINAPI ZipStatusCallback(int32_t AKind, const void* ABlock);

  int32_t hZip = 0;
  std::vector<std::wstring> FListResults;
};

// The import address table slots of a loaded module that import AFunction
// (exact case) by name from ALibrary (any case); ordinal imports carry no
// name and are passed over. Empty when the module's headers are not valid.
std::vector<void**> FindImportSlots(HMODULE AModule, const char* ALibrary, const char* AFunction);

// Points every user32 "PeekMessageA" import slot of AModule at
// AReplacement; answers how many slots were written. A slot whose page
// cannot be made writable is left as it was.
int PatchPeekMessageImport(HMODULE AModule, void* AReplacement);

// What the zip library's PeekMessageA import is redirected to: the real one.
BOOL WINAPI PeekMessagePassThrough(LPMSG AMessage, HWND AWindow, UINT AFilterMin, UINT AFilterMax,
                                   UINT ARemove);
