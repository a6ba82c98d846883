#include "seams.h"

#include "application.h"
#include "resource-ledger.h"

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <chrono>
#include <cwctype>
#include <mutex>
#include <random>
#include <set>
#include <vector>

// ---------------------------------------------------------------------------
// Message boxes and confirmations

namespace {

class TSystemMessageBox : public TMessageBoxSeam {
public:
  int Show(HWND AOwner, const std::wstring& AText, const std::wstring& ACaption,
           UINT AFlags) override {
    return MessageBoxW(AOwner, AText.c_str(), ACaption.c_str(), AFlags);
  }
};

} // namespace

TMessageBoxSeam& TMessageBoxSeam::System() {
  static TSystemMessageBox system;
  return system;
}

int ShowMessageBox(HWND AOwner, const std::wstring& AText, const std::wstring& ACaption,
                   UINT AFlags) {
  return TMessageBoxSeam::Current().Show(AOwner, AText, ACaption, AFlags);
}

void ShowErrorBox(HWND AOwner, const std::wstring& AText) {
  ShowMessageBox(AOwner, AText, L"Error", MB_OK | MB_ICONERROR);
}

bool Confirm(HWND AOwner, const std::wstring& AText, const std::wstring& ACaption) {
  return ShowMessageBox(AOwner, AText, ACaption, MB_OKCANCEL | MB_ICONQUESTION) == IDOK;
}

// ---------------------------------------------------------------------------
// Modal loops

namespace {

class TSystemModalLoop : public TModalLoopSeam {
  struct TEnum {
    HWND Modal;
    std::vector<HWND>* Windows;
  };
  static BOOL CALLBACK DisableOne(HWND AWnd, LPARAM AParam) {
    auto* e = reinterpret_cast<TEnum*>(AParam);
    if (AWnd != e->Modal && IsWindowVisible(AWnd) && IsWindowEnabled(AWnd)) {
      EnableWindow(AWnd, FALSE);
      e->Windows->push_back(AWnd);
    }
    return TRUE;
  }

public:
  int Run(HWND AWindow, const std::function<int()>& AResult) override {
    // Every other enabled top-level window of this thread is disabled while
    // the loop runs, and enabled again afterwards, even when it fails.
    struct TDisabled {
      std::vector<HWND> Windows;
      ~TDisabled() {
        for (HWND w : Windows)
          if (IsWindow(w))
            EnableWindow(w, TRUE);
      }
    } disabled;
    TEnum e{AWindow, &disabled.Windows};
    EnumThreadWindows(GetCurrentThreadId(), &TSystemModalLoop::DisableOne,
                      reinterpret_cast<LPARAM>(&e));
    TApplication* app = Application();
    int result = 0;
    while ((result = AResult()) == 0 && IsWindow(AWindow) && !app->Terminated())
      app->HandleMessage();
    return result;
  }
};

} // namespace

TModalLoopSeam& TModalLoopSeam::System() {
  static TSystemModalLoop system;
  return system;
}

int RunModalLoop(HWND AWindow, const std::function<int()>& AResult) {
  return TModalLoopSeam::Current().Run(AWindow, AResult);
}

// ---------------------------------------------------------------------------
// The open-file dialog

std::wstring SystemFileFilter(const std::wstring& AFilter) {
  std::vector<std::wstring> parts;
  size_t start = 0;
  while (start <= AFilter.size() && !AFilter.empty()) {
    size_t bar = AFilter.find(L'|', start);
    if (bar == std::wstring::npos) {
      parts.push_back(AFilter.substr(start));
      break;
    }
    parts.push_back(AFilter.substr(start, bar - start));
    start = bar + 1;
  }
  if (parts.size() % 2 != 0)
    parts.pop_back();
  std::wstring result;
  for (auto& part : parts) {
    result += part;
    result += L'\0';
  }
  result += L'\0';
  return result;
}

namespace {

class TSystemOpenFile : public TOpenFileSeam {
public:
  bool Execute(TOpenFileRequest& ARequest) override {
    std::wstring filter = SystemFileFilter(ARequest.Filter);
    std::vector<wchar_t> file(32768, L'\0');
    std::copy_n(ARequest.FileName.begin(), std::min(ARequest.FileName.size(), file.size() - 1),
                file.begin());
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = ARequest.Owner;
    ofn.lpstrFilter = ARequest.Filter.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = DWORD(ARequest.FilterIndex);
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = DWORD(file.size());
    ofn.lpstrInitialDir = ARequest.InitialDir.empty() ? nullptr : ARequest.InitialDir.c_str();
    ofn.lpstrTitle = ARequest.Title.empty() ? nullptr : ARequest.Title.c_str();
    ofn.lpstrDefExt = ARequest.DefaultExt.empty() ? nullptr : ARequest.DefaultExt.c_str();
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_ENABLESIZING;
    if (!GetOpenFileNameW(&ofn))
      return false;
    ARequest.FileName = file.data();
    ARequest.FilterIndex = int(ofn.nFilterIndex);
    return true;
  }
};

} // namespace

TOpenFileSeam& TOpenFileSeam::System() {
  static TSystemOpenFile system;
  return system;
}

bool ExecuteOpenFile(TOpenFileRequest& ARequest) {
  return TOpenFileSeam::Current().Execute(ARequest);
}

// ---------------------------------------------------------------------------
// Optional system libraries

namespace {

std::mutex GRefusedLock;
std::set<std::wstring> GRefused;

// "C:\\Windows\\system32\\UxTheme.DLL" and "uxtheme" both name "uxtheme".
std::wstring LibraryKey(const std::wstring& AName) {
  std::wstring name = AName.substr(
      AName.find_last_of(L"\\/") == std::wstring::npos ? 0 : AName.find_last_of(L"\\/") + 1);
  std::transform(name.begin(), name.end(), name.begin(),
                 [](wchar_t c) { return wchar_t(std::towlower(c)); });
  if (name.size() > 4 && name.compare(name.size() - 4, 4, L".dll") == 0)
    name.resize(name.size() - 4);
  return name;
}

} // namespace

void TSystemLibraries::Refuse(const std::wstring& AName) {
  std::lock_guard<std::mutex> lock(GRefusedLock);
  GRefused.insert(LibraryKey(AName));
}

void TSystemLibraries::Allow(const std::wstring& AName) {
  std::lock_guard<std::mutex> lock(GRefusedLock);
  GRefused.erase(LibraryKey(AName));
}

bool TSystemLibraries::IsRefused(const std::wstring& AName) {
  {
    std::lock_guard<std::mutex> lock(GRefusedLock);
    if (GRefused.count(LibraryKey(AName)) != 0)
      return true;
  }
  // A hosting program may refuse a library to every module it loads; a
  // real host has no such export and refuses nothing.
  using TIsRefused = int32_t(__stdcall*)(const wchar_t*);
  static const TIsRefused hostRefuses = [] {
    const HMODULE program = GetModuleHandleW(nullptr);
    return program ? reinterpret_cast<TIsRefused>(reinterpret_cast<void (*)()>(
                         GetProcAddress(program, kHostRefusedLibraryExport)))
                   : nullptr;
  }();
  return hostRefuses && hostRefuses(AName.c_str()) != 0;
}

TSystemLibrary::TSystemLibrary(const std::wstring& AName) {
  if (TSystemLibraries::IsRefused(AName)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return;
  }
  FModule = LoadLibraryW(AName.c_str());
  if (FModule)
    LedgerTake(TResourceKind::Library, FModule);
}

TSystemLibrary::~TSystemLibrary() {
  if (FModule) {
    FreeLibrary(FModule);
    LedgerGive(TResourceKind::Library, FModule);
  }
}

FARPROC TSystemLibrary::Proc(const char* AName) const {
  return FModule ? GetProcAddress(FModule, AName) : nullptr;
}

// ---------------------------------------------------------------------------
// Theme state

namespace {

bool IsWindowsXPOrLater() {
  // GetVersion keeps answering the real version to programs without a
  // manifest up to Windows 8, which is all this test needs.
  DWORD version = GetVersion();
  DWORD major = LOBYTE(LOWORD(version));
  DWORD minor = HIBYTE(LOWORD(version));
  return major > 5 || (major == 5 && minor > 0);
}

class TSystemTheme : public TThemeSeam {
public:
  TThemeState State() override {
    // Asked on every paint and never kept: the user may switch styles.
    TSystemLibrary uxTheme(L"UxTheme.dll");
    using TBoolFunction = BOOL(WINAPI*)();
    auto isThemeActive = uxTheme.Function<TBoolFunction>("IsThemeActive");
    auto isAppThemed = uxTheme.Function<TBoolFunction>("IsAppThemed");
    if (isThemeActive && isAppThemed && isThemeActive() && isAppThemed())
      return TThemeState::Themed;
    return IsWindowsXPOrLater() ? TThemeState::Classic : TThemeState::Emulated;
  }
};

} // namespace

TThemeSeam& TThemeSeam::System() {
  static TSystemTheme system;
  return system;
}

TThemeState GetThemeState() {
  return TThemeSeam::Current().State();
}

// ---------------------------------------------------------------------------
// Random sources

namespace {

class TSystemRandom : public TRandomSeam {
public:
  TSystemRandom()
      : FEngine(uint32_t(std::chrono::high_resolution_clock::now().time_since_epoch().count()) ^
                GetCurrentProcessId()) {}
  int Next(int ARange) override {
    if (ARange < 1)
      return 0;
    std::lock_guard<std::mutex> lock(FLock);
    return std::uniform_int_distribution<int>(0, ARange - 1)(FEngine);
  }
  double NextDouble() override {
    std::lock_guard<std::mutex> lock(FLock);
    return std::uniform_real_distribution<double>(0.0, 1.0)(FEngine);
  }

private:
  std::mutex FLock;
  std::mt19937 FEngine;
};

} // namespace

TRandomSeam& TRandomSeam::System() {
  static TSystemRandom system;
  return system;
}

int Random(int ARange) {
  return TRandomSeam::Current().Next(ARange);
}
double RandomDouble() {
  return TRandomSeam::Current().NextDouble();
}

// ---------------------------------------------------------------------------
// ShellExecute

namespace {

class TSystemShell : public TShellSeam {
public:
  intptr_t Execute(HWND AOwner, const std::wstring& AVerb, const std::wstring& AFile,
                   const std::wstring& AParameters, const std::wstring& ADirectory,
                   int AShowCommand) override {
    auto orNull = [](const std::wstring& s) { return s.empty() ? nullptr : s.c_str(); };
    return reinterpret_cast<intptr_t>(ShellExecuteW(AOwner, orNull(AVerb), AFile.c_str(),
                                                    orNull(AParameters), orNull(ADirectory),
                                                    AShowCommand));
  }
};

} // namespace

TShellSeam& TShellSeam::System() {
  static TSystemShell system;
  return system;
}

intptr_t ShellExecuteFile(HWND AOwner, const std::wstring& AVerb, const std::wstring& AFile,
                          const std::wstring& AParameters, const std::wstring& ADirectory,
                          int AShowCommand) {
  return TShellSeam::Current().Execute(AOwner, AVerb, AFile, AParameters, ADirectory, AShowCommand);
}

// ---------------------------------------------------------------------------
// Stock icons

#if defined(__i386__)
// The record the system fills is fixed at 536 bytes for 32-bit callers.
static_assert(sizeof(SHSTOCKICONINFO) == 536);
#endif

namespace {

class TSystemStockIcon : public TStockIconSeam {
public:
  HICON Icon(int AId, bool ALarge) override {
    // Bound by name: systems before Vista have no stock icons.
    TSystemLibrary shell(L"shell32.dll");
    using TGetStockIconInfo = HRESULT(WINAPI*)(SHSTOCKICONID, UINT, SHSTOCKICONINFO*);
    auto getInfo = shell.Function<TGetStockIconInfo>("SHGetStockIconInfo");
    if (!getInfo)
      return nullptr;
    SHSTOCKICONINFO info{};
    info.cbSize = sizeof(info);
    UINT flags = SHGSI_ICON | (ALarge ? 0 : SHGSI_SMALLICON);
    if (FAILED(getInfo(SHSTOCKICONID(AId), flags, &info)))
      return nullptr;
    return info.hIcon;
  }
};

} // namespace

TStockIconSeam& TStockIconSeam::System() {
  static TSystemStockIcon system;
  return system;
}

HICON GetStockIconHandle(int AId, bool ALarge) {
  return TStockIconSeam::Current().Icon(AId, ALarge);
}

// ---------------------------------------------------------------------------
// Sleeps

namespace {

class TSystemSleep : public TSleepSeam {
public:
  void Sleep(DWORD AMilliseconds) override { ::Sleep(AMilliseconds); }
};

} // namespace

TSleepSeam& TSleepSeam::System() {
  static TSystemSleep system;
  return system;
}

void SleepFor(DWORD AMilliseconds) {
  TSleepSeam::Current().Sleep(AMilliseconds);
}
