#include "zip-library.h"

#include "host-utilities.h"

#include <array>
#include <cstring>

namespace {

// The library's entry points, bound by name; the order is the index.
enum TZipEntry : int {
  eXceedZipInitDLL,
  eXceedZipShutdownDLL,
  eXzCreateXceedZipA,
  eXzDestroyXceedZip,
  eXzSetZipFilenameA,
  eXzSetXceedZipCallback,
  eXzSetBasePathA,
  eXzSetTempFolderA,
  eXzSetUnzipToFolderA,
  eXzSetEncryptionPasswordA,
  eXzSetPreservePaths,
  eXzSetProcessSubfolders,
  eXzSetSkipIfExisting,
  eXzSetSkipIfNotExisting,
  eXzSetUseTempFile,
  eXzSetCompressionMethod,
  eXzAddFilesToProcessA,
  eXzAddFilesToExcludeA,
  eXzSetAbort,
  eXzZip,
  eXzUnzip,
  eXzListZipContents,
  eXzTestZipFile,
  eXzGetErrorDescriptionA,
  eXzSetFilesToProcessA,
  eXzSetFilesToExcludeA,
  eZipEntryCount
};

constexpr std::array<const char*, eZipEntryCount> kZipEntryNames = {"XceedZipInitDLL",
                                                                    "XceedZipShutdownDLL",
                                                                    "XzCreateXceedZipA",
                                                                    "XzDestroyXceedZip",
                                                                    "XzSetZipFilenameA",
                                                                    "XzSetXceedZipCallback",
                                                                    "XzSetBasePathA",
                                                                    "XzSetTempFolderA",
                                                                    "XzSetUnzipToFolderA",
                                                                    "XzSetEncryptionPasswordA",
                                                                    "XzSetPreservePaths",
                                                                    "XzSetProcessSubfolders",
                                                                    "XzSetSkipIfExisting",
                                                                    "XzSetSkipIfNotExisting",
                                                                    "XzSetUseTempFile",
                                                                    "XzSetCompressionMethod",
                                                                    "XzAddFilesToProcessA",
                                                                    "XzAddFilesToExcludeA",
                                                                    "XzSetAbort",
                                                                    "XzZip",
                                                                    "XzUnzip",
                                                                    "XzListZipContents",
                                                                    "XzTestZipFile",
                                                                    "XzGetErrorDescriptionA",
                                                                    "XzSetFilesToProcessA",
                                                                    "XzSetFilesToExcludeA"};

using TNoArgs = void(WINAPI*)();
using TCreate = int32_t(WINAPI*)();
using THandleOnly = int32_t(WINAPI*)(int32_t);
using THandleText = int32_t(WINAPI*)(int32_t, const char*);
using THandleInt = int32_t(WINAPI*)(int32_t, int32_t);
using THandleCallback = int32_t(WINAPI*)(int32_t, TZipStatusCallback);
using TErrorText = int32_t(WINAPI*)(int32_t, int32_t, int32_t, char*, int32_t);

// Process-wide: the library stays loaded once bound.
HMODULE GZipModule = nullptr;
std::array<FARPROC, eZipEntryCount> GZipEntries = {};
TXCeedZip* GCurrentZip = nullptr;

// Off: the library's message peeking goes to the real PeekMessageA.
constexpr bool kStubPeekMessage = false;

BOOL WINAPI PeekMessageStub(LPMSG, HWND, UINT, UINT, UINT) {
  return FALSE;
}

template <class TFunction> TFunction Entry(TZipEntry AEntry) {
  return reinterpret_cast<TFunction>(reinterpret_cast<void*>(GZipEntries[AEntry]));
}

// Loads and binds the library; a library that lacks an entry point is not
// used at all, so a half-bound library is never called.
bool LoadZipLibrary() {
  if (GZipModule)
    return true;
  const std::wstring name = GetHostSystemFolder() + L"ZipComponents.DLL";
  HMODULE module = LoadLibraryW(name.c_str());
  if (!module)
    return false;
  std::array<FARPROC, eZipEntryCount> entries = {};
  for (int index = 0; index < eZipEntryCount; ++index) {
    entries[index] = GetProcAddress(module, kZipEntryNames[index]);
    if (!entries[index]) {
      FreeLibrary(module);
      return false;
    }
  }
  GZipModule = module;
  GZipEntries = entries;
  return true;
}

std::string AnsiText(const std::wstring& AText) {
  if (AText.empty())
    return {};
  const int size =
      WideCharToMultiByte(CP_ACP, 0, AText.data(), int(AText.size()), nullptr, 0, nullptr, nullptr);
  std::string text(std::size_t(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, AText.data(), int(AText.size()), text.data(), size, nullptr,
                      nullptr);
  return text;
}

std::wstring WideText(const char* AText, std::size_t ALength) {
  if (ALength == 0)
    return {};
  const int size = MultiByteToWideChar(CP_ACP, 0, AText, int(ALength), nullptr, 0);
  std::wstring text(std::size_t(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, AText, int(ALength), text.data(), size);
  return text;
}

constexpr int32_t kTrue = -1, kFalse = 0;

// True when every byte of the range is committed, readable memory.
bool IsReadable(const void* AStart, std::size_t ASize) {
  auto address = reinterpret_cast<uintptr_t>(AStart);
  const uintptr_t end = address + ASize;
  if (end < address)
    return false;
  while (address < end) {
    MEMORY_BASIC_INFORMATION info = {};
    if (VirtualQuery(reinterpret_cast<void*>(address), &info, sizeof(info)) != sizeof(info))
      return false;
    constexpr DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                               PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    if (info.State != MEM_COMMIT || !(info.Protect & readable) || (info.Protect & PAGE_GUARD))
      return false;
    address = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
  }
  return true;
}

// A NUL-terminated text inside readable memory, at most AMaximum characters.
bool ReadableText(const char* AText, std::size_t AMaximum, std::string& AOut) {
  AOut.clear();
  for (std::size_t index = 0; index <= AMaximum; ++index) {
    if (!IsReadable(AText + index, 1))
      return false;
    if (AText[index] == '\0')
      return true;
    AOut += AText[index];
  }
  return false;
}

// The module's PE headers, or nullptr when they are not valid.
const uint8_t* GetImageNtHeaders(const uint8_t* ABase) {
  if (!ABase || !IsReadable(ABase, 64) || ABase[0] != 'M' || ABase[1] != 'Z')
    return nullptr;
  uint32_t offset = 0;
  std::memcpy(&offset, ABase + 60, 4);
  if (offset == 0)
    return nullptr;
  const uint8_t* headers = ABase + offset;
  // The signature, file header and optional header with its data directories.
  if (!IsReadable(headers, sizeof(void*) == 8 ? 264 : 248))
    return nullptr;
  uint32_t signature = 0;
  std::memcpy(&signature, headers, 4);
  return signature == 0x00004550 ? headers : nullptr;
}

uint32_t Word32(const uint8_t* AAt) {
  uint32_t value = 0;
  std::memcpy(&value, AAt, 4);
  return value;
}

} // namespace

std::vector<void**> FindImportSlots(HMODULE AModule, const char* ALibrary, const char* AFunction) {
  std::vector<void**> slots;
  const auto* base = reinterpret_cast<const uint8_t*>(AModule);
  const uint8_t* headers = GetImageNtHeaders(base);
  if (!headers)
    return slots;
  // Only an image of this program's own kind has address slots of a
  // pointer's width: PE32 (magic 0x10B) for 32-bit code, PE32+ (0x20B) for
  // 64-bit. Their import directories and lookup entries differ in place and
  // width.
  constexpr bool kWide = sizeof(void*) == 8;
  uint16_t magic = 0;
  std::memcpy(&magic, headers + 24, 2);
  if (magic != (kWide ? 0x20B : 0x10B))
    return slots;
  constexpr std::size_t kEntry = sizeof(void*);
  constexpr uint64_t kByOrdinal = kWide ? 0x8000000000000000ull : 0x80000000ull;
  const uint32_t imports = Word32(headers + (kWide ? 144 : 128));
  if (imports == 0)
    return slots;
  constexpr std::size_t kNameLimit = 1024;
  for (const uint8_t* descriptor = base + imports;; descriptor += 20) {
    if (!IsReadable(descriptor, 20))
      break;
    const uint32_t lookup = Word32(descriptor), name = Word32(descriptor + 12),
                   addresses = Word32(descriptor + 16);
    if (lookup == 0 && Word32(descriptor + 4) == 0 && Word32(descriptor + 8) == 0 && name == 0 &&
        addresses == 0)
      break;
    std::string library;
    if (name == 0 ||
        !ReadableText(reinterpret_cast<const char*>(base + name), kNameLimit, library) ||
        lstrcmpiA(library.c_str(), ALibrary) != 0 || lookup == 0)
      continue;
    for (std::size_t k = 0;; ++k) {
      const uint8_t* entryAt = base + lookup + kEntry * k;
      if (!IsReadable(entryAt, kEntry))
        break;
      uint64_t entry = 0;
      std::memcpy(&entry, entryAt, kEntry);
      if (entry == 0)
        break;
      if (entry & kByOrdinal)
        continue; // by ordinal: no name to compare
      std::string function;
      if (!ReadableText(reinterpret_cast<const char*>(base + uint32_t(entry) + 2), kNameLimit,
                        function))
        continue;
      if (function == AFunction)
        slots.push_back(
            reinterpret_cast<void**>(const_cast<uint8_t*>(base + addresses + kEntry * k)));
    }
  }
  return slots;
}

int PatchPeekMessageImport(HMODULE AModule, void* AReplacement) {
  int written = 0;
  for (void** slot : FindImportSlots(AModule, "user32.dll", "PeekMessageA")) {
    DWORD previous = 0;
    if (!VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &previous))
      continue;
    std::memcpy(slot, &AReplacement, sizeof(void*));
    DWORD ignored = 0;
    VirtualProtect(slot, sizeof(void*), previous, &ignored);
    ++written;
  }
  return written;
}

BOOL WINAPI PeekMessagePassThrough(LPMSG AMessage, HWND AWindow, UINT AFilterMin, UINT AFilterMax,
                                   UINT ARemove) {
  return PeekMessageA(AMessage, AWindow, AFilterMin, AFilterMax, ARemove);
}

TXCeedZip::TXCeedZip(const std::wstring& AZipFileName) {
  if (LoadZipLibrary()) {
    PatchPeekMessageImport(GZipModule, kStubPeekMessage
                                           ? reinterpret_cast<void*>(&PeekMessageStub)
                                           : reinterpret_cast<void*>(&PeekMessagePassThrough));
    Entry<TNoArgs>(eXceedZipInitDLL)();
    hZip = Entry<TCreate>(eXzCreateXceedZipA)();
    if (hZip != 0) {
      Entry<THandleText>(eXzSetZipFilenameA)(hZip, AnsiText(AZipFileName).c_str());
      Entry<THandleCallback>(eXzSetXceedZipCallback)(hZip, &ZipStatusCallback);
    } else {
      Entry<TNoArgs>(eXceedZipShutdownDLL)();
    }
  }
  GCurrentZip = this;
}

TXCeedZip::~TXCeedZip() {
  if (hZip != 0) {
    Entry<TNoArgs>(eXceedZipShutdownDLL)();
    Entry<THandleOnly>(eXzDestroyXceedZip)(hZip);
  }
  // Whichever instance goes, callbacks stop reaching any instance.
  GCurrentZip = nullptr;
}

TXCeedZip* TXCeedZip::CurrentZip() {
  return GCurrentZip;
}

namespace {

// The setters: one routine per argument kind, each a no-op without a handle.
void SetText(int32_t AHandle, TZipEntry AEntry, const std::wstring& AValue) {
  if (AHandle != 0)
    Entry<THandleText>(AEntry)(AHandle, AnsiText(AValue).c_str());
}

void SetInt(int32_t AHandle, TZipEntry AEntry, int32_t AValue) {
  if (AHandle != 0)
    Entry<THandleInt>(AEntry)(AHandle, AValue);
}

} // namespace

void TXCeedZip::SetBasePath(const std::wstring& AValue) {
  SetText(hZip, eXzSetBasePathA, AValue);
}
void TXCeedZip::SetTempFolder(const std::wstring& AValue) {
  SetText(hZip, eXzSetTempFolderA, AValue);
}
void TXCeedZip::SetUnzipToFolder(const std::wstring& AValue) {
  SetText(hZip, eXzSetUnzipToFolderA, AValue);
}
void TXCeedZip::SetEncryptionPassword(const std::wstring& AValue) {
  SetText(hZip, eXzSetEncryptionPasswordA, AValue);
}
void TXCeedZip::SetCompressionLevel(int32_t AValue) {
  SetInt(hZip, eXzSetCompressionMethod, AValue);
}
void TXCeedZip::SetPreservePaths(bool AValue) {
  SetInt(hZip, eXzSetPreservePaths, AValue ? kTrue : kFalse);
}
void TXCeedZip::SetProcessSubfolders(bool AValue) {
  SetInt(hZip, eXzSetProcessSubfolders, AValue ? kTrue : kFalse);
}
void TXCeedZip::SetSkipIfExisting(bool AValue) {
  SetInt(hZip, eXzSetSkipIfExisting, AValue ? kTrue : kFalse);
}
void TXCeedZip::SetSkipIfNotExisting(bool AValue) {
  SetInt(hZip, eXzSetSkipIfNotExisting, AValue ? kTrue : kFalse);
}
void TXCeedZip::SetUseTempFile(bool AValue) {
  SetInt(hZip, eXzSetUseTempFile, AValue ? kTrue : kFalse);
}

int32_t TXCeedZip::UnZip() {
  return hZip != 0 ? Entry<THandleOnly>(eXzUnzip)(hZip) : kZipLibraryUnavailable;
}

int32_t TXCeedZip::Zip() {
  return hZip != 0 ? Entry<THandleOnly>(eXzZip)(hZip) : kZipLibraryUnavailable;
}

int32_t TXCeedZip::List() {
  FListResults.clear();
  return hZip != 0 ? Entry<THandleOnly>(eXzListZipContents)(hZip) : kZipLibraryUnavailable;
}

bool TXCeedZip::TestZip() {
  return hZip != 0 && Entry<THandleInt>(eXzTestZipFile)(hZip, kTrue) == 0;
}

void TXCeedZip::Abort() {
  SetInt(hZip, eXzSetAbort, kTrue);
}

void TXCeedZip::AddFilesToProcess(const std::wstring& AFileNames) {
  SetText(hZip, eXzAddFilesToProcessA, AFileNames);
}

void TXCeedZip::AddFilesToExclude(const std::wstring& AFileNames) {
  SetText(hZip, eXzAddFilesToExcludeA, AFileNames);
}

std::wstring TXCeedZip::GetErrorMessage(int32_t AError) {
  if (hZip == 0)
    return L"The zip library \"ZipComponents.DLL\" is not available.";
  constexpr int32_t kBufferSize = 1024;
  char buffer[kBufferSize] = {};
  Entry<TErrorText>(eXzGetErrorDescriptionA)(hZip, 0, AError, buffer, kBufferSize);
  buffer[kBufferSize - 1] = '\0'; // a library that fills the buffer is not trusted to end it
  return WideText(buffer, std::strlen(buffer));
}

void WINAPI TXCeedZip::ZipStatusCallback(int32_t AKind, const void* ABlock) {
  TXCeedZip* zip = GCurrentZip;
  if (!zip || !ABlock)
    return;
  switch (AKind) {
  case eZipCallback_ListingFile: {
    const char* name = static_cast<const char*>(ABlock) + 8;
    zip->FListResults.push_back(WideText(name, strnlen(name, kZipFileNameLength)));
    break;
  }
  case eZipCallback_GlobalStatus:
    if (zip->EventGlobalStatus)
      zip->EventGlobalStatus(static_cast<const TGlobalStatusRec*>(ABlock));
    break;
  case eZipCallback_ProcessCompleted:
    if (zip->EventProcessCompleted)
      zip->EventProcessCompleted(static_cast<const TProcessCompletedRec*>(ABlock));
    break;
  case eZipCallback_Warning:
    if (zip->EventWarning)
      zip->EventWarning(static_cast<const TWarningRec*>(ABlock));
    break;
  default:
    break;
  }
}
