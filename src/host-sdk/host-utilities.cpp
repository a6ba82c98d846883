#include "host-utilities.h"

#include "client-access.h"
#include "dialogs.h"
#include "exceptions.h"
#include "host-records.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace {

wchar_t AsciiUpper(wchar_t ACh) {
  return (ACh >= L'a' && ACh <= L'z') ? wchar_t(ACh - L'a' + L'A') : ACh;
}

std::wstring AsciiUpperText(std::wstring AText) {
  std::transform(AText.begin(), AText.end(), AText.begin(), AsciiUpper);
  return AText;
}

// Everything up to and including the last path delimiter.
std::wstring FilePath(const std::wstring& AFileName) {
  const size_t slash = AFileName.find_last_of(L"\\/:");
  return slash == std::wstring::npos ? std::wstring() : AFileName.substr(0, slash + 1);
}

std::wstring FileNameOnly(const std::wstring& AFileName) {
  const size_t slash = AFileName.find_last_of(L"\\/:");
  return slash == std::wstring::npos ? AFileName : AFileName.substr(slash + 1);
}

std::wstring LastErrorText(const std::wstring& AWhat) {
  return AWhat + L" (system error " + std::to_wstring(GetLastError()) + L")";
}

// The whole file as text: UTF-16 or UTF-8 by their byte-order marks,
// otherwise the ANSI code page. Raises when the file cannot be read.
std::wstring ReadTextFile(const std::wstring& AFileName) {
  const HANDLE file = CreateFileW(AFileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    throw EOleSysError(HRESULT_FROM_WIN32(GetLastError()),
                       LastErrorText(L"Cannot open file \"" + AFileName + L"\""));
  std::string bytes;
  char chunk[4096];
  DWORD read = 0;
  bool ok = true;
  while ((ok = ReadFile(file, chunk, sizeof chunk, &read, nullptr)) && read > 0)
    bytes.append(chunk, read);
  const DWORD error = GetLastError();
  CloseHandle(file);
  if (!ok)
    throw EOleSysError(HRESULT_FROM_WIN32(error), L"Cannot read file \"" + AFileName + L"\"");

  if (bytes.size() >= 2 && uint8_t(bytes[0]) == 0xFF && uint8_t(bytes[1]) == 0xFE)
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
  UINT codePage = CP_ACP;
  size_t start = 0;
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    codePage = CP_UTF8;
    start = 3;
  }
  const int length = int(bytes.size() - start);
  if (length == 0)
    return std::wstring();
  std::wstring text(
      size_t(MultiByteToWideChar(codePage, 0, bytes.data() + start, length, nullptr, 0)), L'\0');
  MultiByteToWideChar(codePage, 0, bytes.data() + start, length, text.data(), int(text.size()));
  return text;
}

std::vector<std::wstring> SplitLines(const std::wstring& AText) {
  std::vector<std::wstring> lines;
  size_t start = 0;
  while (start < AText.size()) {
    const size_t end = AText.find_first_of(L"\r\n", start);
    if (end == std::wstring::npos) {
      lines.push_back(AText.substr(start));
      break;
    }
    lines.push_back(AText.substr(start, end - start));
    start =
        end + ((AText[end] == L'\r' && end + 1 < AText.size() && AText[end + 1] == L'\n') ? 2 : 1);
  }
  return lines;
}

// The keys of a lock file; one separator character follows each key.
struct TLockKey {
  std::wstring_view Key;
  std::wstring TFileOwnershipDetails::*Field;
};
constexpr TLockKey kLockKeys[] = {
    {L"ComputerName", &TFileOwnershipDetails::ComputerName},
    {L"UserName", &TFileOwnershipDetails::UserName},
    {L"ProcessID", &TFileOwnershipDetails::ProcessID},
};

struct TIdentity {
  bool Read = false;
  std::wstring Computer, User, Process;
};

TIdentity& Identity() {
  static TIdentity identity;
  if (!identity.Read) {
    wchar_t buffer[512];
    DWORD size = DWORD(std::size(buffer));
    identity.Computer = GetComputerNameW(buffer, &size) ? std::wstring(buffer, size) : L"";
    size = DWORD(std::size(buffer));
    identity.User = GetUserNameW(buffer, &size) ? std::wstring(buffer) : L"";
    identity.Process = std::to_wstring(GetCurrentProcessId());
    identity.Read = true;
  }
  return identity;
}

std::wstring ModuleFileName(HMODULE AModule) {
  std::wstring name(32768, L'\0');
  const DWORD length = GetModuleFileNameW(AModule, name.data(), DWORD(name.size()));
  name.resize(length);
  return name;
}

// A pointer to a routine of this code, whose module is the plug-in's library.
void ModuleAnchor() {}

std::wstring OwnModuleFileName() {
  return ModuleFileName(GetModuleInstance());
}

} // namespace

// ---- lock files --------------------------------------------------------------

std::wstring GetLockFileName(const std::wstring& AFileName) {
  return FilePath(AFileName) + L"~$" + FileNameOnly(AFileName) + L"_loc";
}

bool ReadLockFileDetails(const std::wstring& AFileName, TFileOwnershipDetails& ADetails) {
  ADetails = TFileOwnershipDetails();
  const std::wstring lockName = GetLockFileName(AFileName);
  if (!FileExists(lockName))
    return false;
  for (const std::wstring& line : SplitLines(ReadTextFile(lockName))) {
    for (const TLockKey& key : kLockKeys) {
      if (line.compare(0, key.Key.size(), key.Key) == 0)
        ADetails.*key.Field =
            line.size() > key.Key.size() + 1 ? line.substr(key.Key.size() + 1) : std::wstring();
    }
  }
  return !ADetails.ComputerName.empty() && !ADetails.UserName.empty() &&
         !ADetails.ProcessID.empty();
}

bool IsFileLockedByOther(const std::wstring& AFileName, std::wstring& AComputer,
                         std::wstring& AUser) {
  AComputer.clear();
  AUser.clear();
  try {
    TFileOwnershipDetails details;
    if (!ReadLockFileDetails(AFileName, details))
      return false;
    AComputer = details.ComputerName;
    AUser = details.UserName;
    return !SameName(details.ComputerName, GetLocalComputerName()) ||
           !SameName(details.UserName, GetLocalUserName()) ||
           !SameName(details.ProcessID, GetLocalProcessID());
  } catch (...) {
    // A lock that cannot be read is someone else's.
    return true;
  }
}

void ReportLockedFile(const std::wstring& AFileName, const std::wstring& AComputer,
                      const std::wstring& AUser, int AKind) {
  if ((AKind != 1 && AKind != 2) || AreMessagesSuppressed())
    return;
  const std::wstring name = FileNameOnly(AFileName);
  if (AKind == 2) {
    ShowWarning(name + L" is used and locked by " + AUser + L" on " + AComputer +
                L".\r\nYou will not be able to save your changes.");
    return;
  }
  const IQovWorkSpace workspace = GetQovWorkspace();
  if (!workspace)
    return;
  const IQovMessagesManager messages = workspace.GetMessagesManager();
  if (!messages)
    return;
  messages.AddMessage(L"[Locked File]",
                      name + L" is used by " + AUser + L" on " + AComputer +
                          L". You will not be able to save your changes.",
                      GetClientMessageSource(), AFileName, L"Ombrel:OpenObject",
                      L"FileName=" + AFileName, 73, false, L"", L"");
}

bool ReplaceFileIfNotLocked(const std::wstring& ANewFile, const std::wstring& ATargetFile) {
  if (SameName(ANewFile, ATargetFile))
    return true;
  std::wstring computer, user;
  if (IsFileLockedByOther(ATargetFile, computer, user)) {
    ReportLockedFile(ATargetFile, computer, user, 1);
    if (FileExists(ANewFile))
      DeleteFileW(ANewFile.c_str());
    return false;
  }
  IServerDocument document;
  if (const IClient client = Client())
    document = client.GetDocumentByPath(ATargetFile);
  if (document)
    document.BeginFileChange();
  bool replaced = true;
  if (FileExists(ANewFile)) {
    // One step: the target is either the old file or the new one, never
    // neither. When the move fails the old target stays as it was.
    if (!MoveFileExW(ANewFile.c_str(), ATargetFile.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH)) {
      DeleteFileW(ANewFile.c_str());
      replaced = false;
    }
  }
  if (document)
    document.EndFileChange();
  return replaced;
}

std::wstring GetLocalComputerName() {
  return Identity().Computer;
}

std::wstring GetLocalUserName() {
  return Identity().User;
}

std::wstring GetLocalProcessID() {
  return Identity().Process;
}

void ReleaseLocalIdentity() {
  TIdentity& identity = Identity();
  identity = TIdentity();
}

// ---- folders -----------------------------------------------------------------

std::wstring GetHostFolder() {
  return AsciiUpperText(FilePath(ModuleFileName(nullptr)));
}

std::wstring GetHostSystemFolder() {
  return GetHostFolder() + L"System\\";
}

std::wstring GetModuleFolder() {
  return FilePath(OwnModuleFileName());
}

std::wstring GetModuleBaseName() {
  std::wstring name = FileNameOnly(OwnModuleFileName());
  const size_t dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos)
    name.erase(dot);
  return name;
}

std::wstring GetModuleLibraryFolder() {
  return GetModuleFolder() + L"Library\\";
}

std::wstring GetModuleTemplatesFolder() {
  return GetModuleFolder() + L"Templates\\";
}

std::wstring GetTempFolder() {
  wchar_t buffer[MAX_PATH + 1];
  const DWORD length = GetTempPathW(256, buffer);
  return length > 0 && length < 256 ? std::wstring(buffer, length) : std::wstring();
}

std::wstring GetLongTempFolder() {
  const std::wstring folder = GetTempFolder();
  std::wstring longName(32768, L'\0');
  const DWORD length = GetLongPathNameW(folder.c_str(), longName.data(), DWORD(longName.size()));
  if (length == 0 || length >= longName.size())
    return IncludeTrailingChar(folder, L'\\');
  longName.resize(length);
  return IncludeTrailingChar(longName, L'\\');
}

std::wstring MakeTempFileName() {
  wchar_t name[MAX_PATH + 1];
  if (!GetTempFileNameW(GetTempFolder().c_str(), L"Pro", 0, name))
    return std::wstring();
  return name;
}

std::wstring SpecialFolder_EmbeddedExtension() {
  static constexpr wchar_t kToolChainLibrary[] = L"Chandrel.dll";
  const std::wstring systemFolder = GetHostSystemFolder();
  if (FileExists(systemFolder + kToolChainLibrary))
    return systemFolder;
  std::wstring found;
  ForEachPluginFolder([&](const std::wstring& AFolder, bool& AStop) {
    if (FileExists(AFolder + kToolChainLibrary)) {
      found = AFolder;
      AStop = true;
    }
  });
  return found.empty() ? std::wstring(L"\\") : found;
}

// ---- host modules --------------------------------------------------------------

void ForEachPluginFolder(const TPluginFolderVisitor& AVisitor) {
  const IClient client = Client();
  if (!client)
    return;
  const IPluginsRegistry registry = client.GetPluginsRegistry();
  if (!registry)
    return;
  const int32_t count = registry.GetCount();
  for (int32_t index = 0; index < count; ++index) {
    const IPluginsRegistryItem item = registry.GetItemDispatch(index);
    if (!item || item.GetDisabled() != 0)
      continue;
    bool stop = false;
    AVisitor(IncludeTrailingChar(item.GetFolder(), L'\\'), stop);
    if (stop)
      return;
  }
}

std::wstring FindHostModule(const std::wstring& AModuleName) {
  const std::wstring candidate = IncludeTrailingChar(GetHostSystemFolder(), L'\\') + AModuleName;
  if (FileExists(candidate))
    return candidate;
  std::wstring result;
  ForEachPluginFolder([&](const std::wstring& AFolder, bool& AStop) {
    // A folder that is gone, or a name that is no valid pattern, matches
    // nothing here; the search goes on with the next folder.
    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileW((AFolder + AModuleName).c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
      return;
    do {
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        continue;
      const std::wstring name = AFolder + entry.cFileName;
      if (FileExists(name)) {
        result = name;
        AStop = true;
        break;
      }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
  });
  return result;
}

void LoadHostModule(HMODULE& AHandle, const std::wstring& AModuleName) {
  if (AHandle)
    return;
  AHandle = GetModuleHandleW(AModuleName.c_str());
  if (AHandle)
    return;
  const std::wstring path = FindHostModule(AModuleName);
  if (!path.empty())
    AHandle = LoadLibraryW(path.c_str());
}

// ---- the library's window classes -----------------------------------------------

namespace {

struct TRegisteredClass {
  std::wstring Name;
  ATOM Atom;
};

std::vector<TModuleWindowClass*>& DeclaredClasses() {
  static std::vector<TModuleWindowClass*> classes;
  return classes;
}

std::vector<TRegisteredClass>& RegisteredClasses() {
  static std::vector<TRegisteredClass> classes;
  return classes;
}

bool IsRegisteredByModule(const wchar_t* AName) {
  const auto& classes = RegisteredClasses();
  return std::any_of(classes.begin(), classes.end(),
                     [&](const TRegisteredClass& AClass) { return AClass.Name == AName; });
}

// A window of this thread whose class the library registered. The class
// atom alone does not tell: a host class of the same name shares it.
bool IsModuleWindow(HWND AWindow) {
  if (GetWindowThreadProcessId(AWindow, nullptr) != GetCurrentThreadId() ||
      HINSTANCE(GetClassLongPtrW(AWindow, GCLP_HMODULE)) != GetModuleInstance())
    return false;
  const ATOM atom = ATOM(GetClassLongW(AWindow, GCW_ATOM));
  const auto& classes = RegisteredClasses();
  return std::any_of(classes.begin(), classes.end(),
                     [&](const TRegisteredClass& AClass) { return AClass.Atom == atom; });
}

BOOL CALLBACK CollectModuleChild(HWND AWindow, LPARAM AWindows) {
  if (IsModuleWindow(AWindow))
    reinterpret_cast<std::vector<HWND>*>(AWindows)->push_back(AWindow);
  return TRUE;
}

BOOL CALLBACK CollectModuleWindows(HWND AWindow, LPARAM AWindows) {
  CollectModuleChild(AWindow, AWindows);
  EnumChildWindows(AWindow, &CollectModuleChild, AWindows);
  return TRUE;
}

} // namespace

HINSTANCE GetModuleInstance() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ModuleAnchor), &module);
  return module;
}

TModuleWindowClass::TModuleWindowClass(const WNDCLASSEXW& AClass) : FClass(AClass) {
  DeclaredClasses().push_back(this);
}

const wchar_t* TModuleWindowClass::Use() {
  RegisterModuleWindowClass(FClass);
  return FClass.lpszClassName;
}

bool RegisterModuleWindowClass(const WNDCLASSEXW& AClass) {
  if (IsRegisteredByModule(AClass.lpszClassName))
    return true;
  WNDCLASSEXW windowClass = AClass;
  windowClass.cbSize = sizeof(windowClass);
  windowClass.hInstance = GetModuleInstance();
  if (!windowClass.hCursor)
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  // A class of this name whose procedure lies in this library's image, but
  // that this load did not register, was left by an earlier load at the
  // same address: its procedure went with that load. (A host's global class
  // of the same name is found here too, and is left alone.)
  WNDCLASSEXW left = {};
  left.cbSize = sizeof(left);
  HMODULE owner = nullptr;
  if (GetClassInfoExW(windowClass.hInstance, windowClass.lpszClassName, &left) &&
      GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                             GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(left.lpfnWndProc), &owner) &&
      owner == windowClass.hInstance)
    UnregisterClassW(windowClass.lpszClassName, windowClass.hInstance);
  const ATOM atom = RegisterClassExW(&windowClass);
  if (!atom)
    return false;
  RegisteredClasses().push_back({windowClass.lpszClassName, atom});
  return true;
}

void RegisterModuleWindowClasses() {
  for (TModuleWindowClass* windowClass : DeclaredClasses())
    windowClass->Use();
}

void UnregisterModuleWindowClasses() {
  // What waits for a deferred destruction is freed while its code is here.
  TDelayedDestroyer::RunPending();
  std::vector<HWND> windows;
  EnumThreadWindows(GetCurrentThreadId(), &CollectModuleWindows,
                    reinterpret_cast<LPARAM>(&windows));
  for (HWND window = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); window;
       window = FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr))
    CollectModuleChild(window, reinterpret_cast<LPARAM>(&windows));
  // A window goes with its parent: ask before destroying each.
  for (HWND window : windows)
    if (IsWindow(window))
      DestroyWindow(window);
  for (const TRegisteredClass& windowClass : RegisteredClasses())
    UnregisterClassW(windowClass.Name.c_str(), GetModuleInstance());
  RegisteredClasses().clear();
}

// ---- deferred destruction --------------------------------------------------------

namespace {

std::vector<TDelayedDestroyer*>& PendingDestroyers() {
  static std::vector<TDelayedDestroyer*> destroyers;
  return destroyers;
}

} // namespace

TModuleWindowClass TDelayedDestroyer::FWindowClass([] {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = &TDelayedDestroyer::WindowProc;
  windowClass.lpszClassName = L"TDelayedDestroyer";
  return windowClass;
}());

void TDelayedDestroyer::Create(std::function<void()> AAction) {
  new TDelayedDestroyer(std::move(AAction));
}

void TDelayedDestroyer::RunPending() {
  auto& pending = PendingDestroyers();
  while (!pending.empty()) {
    TDelayedDestroyer* destroyer = pending.back();
    std::function<void()> action = std::move(destroyer->FObjectToDestroy);
    delete destroyer;
    if (action)
      action();
  }
}

TDelayedDestroyer::TDelayedDestroyer(std::function<void()> AAction)
    : FObjectToDestroy(std::move(AAction)) {
  FHandle = CreateWindowExW(0, FWindowClass.Use(), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleInstance(), nullptr);
  if (!FHandle) {
    // Without a window nothing would ever free the object: free it now.
    std::function<void()> action = std::move(FObjectToDestroy);
    delete this;
    action();
    return;
  }
  SetWindowLongPtrW(FHandle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  if (!PostMessageW(FHandle, kDestroyMessage, 0, 0)) {
    // A full message queue would leave the object and the window for good.
    std::function<void()> action = std::move(FObjectToDestroy);
    delete this;
    action();
    return;
  }
  PendingDestroyers().push_back(this);
}

TDelayedDestroyer::~TDelayedDestroyer() {
  auto& pending = PendingDestroyers();
  pending.erase(std::remove(pending.begin(), pending.end(), this), pending.end());
  if (FHandle) {
    SetWindowLongPtrW(FHandle, GWLP_USERDATA, 0);
    DestroyWindow(FHandle);
  }
}

LRESULT CALLBACK TDelayedDestroyer::WindowProc(HWND AWindow, UINT AMessage, WPARAM AWParam,
                                               LPARAM ALParam) {
  if (AMessage == kDestroyMessage) {
    if (auto* self =
            reinterpret_cast<TDelayedDestroyer*>(GetWindowLongPtrW(AWindow, GWLP_USERDATA))) {
      std::function<void()> action = std::move(self->FObjectToDestroy);
      delete self;
      if (action)
        action();
      return 0;
    }
  }
  return DefWindowProcW(AWindow, AMessage, AWParam, ALParam);
}

// ---- text and keyboard ---------------------------------------------------------------

bool FileExists(const std::wstring& AName) {
  const DWORD attributes = GetFileAttributesW(AName.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring IncludeTrailingChar(const std::wstring& AText, wchar_t ACh) {
  if (!AText.empty() && AText.back() == ACh)
    return AText;
  return AText + ACh;
}

bool SameName(const std::wstring& A, const std::wstring& B) {
  return A.size() == B.size() &&
         std::equal(A.begin(), A.end(), B.begin(),
                    [](wchar_t a, wchar_t b) { return AsciiUpper(a) == AsciiUpper(b); });
}

int32_t HexStrToIntDef(const std::wstring& AText, int32_t ADefault) {
  size_t start = 0;
  if (AText.size() >= 2 && AText[0] == L'0' && (AText[1] == L'x' || AText[1] == L'X'))
    start = 2;
  uint32_t value = 0;
  for (size_t i = start; i < AText.size(); ++i) {
    const wchar_t ch = AText[i];
    uint32_t digit;
    if (ch >= L'0' && ch <= L'9')
      digit = uint32_t(ch - L'0');
    else if (ch >= L'A' && ch <= L'F')
      digit = uint32_t(ch - L'A' + 10);
    else if (ch >= L'a' && ch <= L'f')
      digit = uint32_t(ch - L'a' + 10);
    else
      return ADefault;
    value = value * 16 + digit;
  }
  return int32_t(value);
}

std::wstring PadRight(const std::wstring& AText, size_t AWidth) {
  return AText.size() >= AWidth ? AText : AText + std::wstring(AWidth - AText.size(), L' ');
}

std::wstring PadLeft(const std::wstring& AText, wchar_t ACh, size_t AWidth) {
  return AText.size() >= AWidth ? AText : std::wstring(AWidth - AText.size(), ACh) + AText;
}

bool IsRelativePath(const std::wstring& APath) {
  return APath.find(L':') == std::wstring::npos && APath.compare(0, 2, L"\\\\") != 0;
}

bool IsCtrlDown() {
  return (GetKeyState(VK_CONTROL) & 0x8000) != 0;
}

bool IsShiftDown() {
  return (GetKeyState(VK_SHIFT) & 0x8000) != 0;
}

bool IsAltDown() {
  return (GetKeyState(VK_MENU) & 0x8000) != 0;
}
