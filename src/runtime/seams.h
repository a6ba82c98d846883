#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

// The places where the framework reaches outside the process or waits on a
// person: message boxes, modal loops, the open-file dialog, the theme state,
// optional system libraries, random numbers, ShellExecute and sleeps. Each
// is one small interface with the system's own implementation behind it;
// anything (a test, a scripted host) may install another for a while with
// `TSeamScope`. Callers always go through the free functions below, never
// through the system calls themselves.

template <typename TSelf> class TSeam {
public:
  virtual ~TSeam() = default;
  // The installed implementation, else the system's.
  static TSelf& Current() { return FCurrent ? *FCurrent : TSelf::System(); }
  // Installs AImplementation (nullptr: the system's again); answers the one
  // it replaces.
  static TSelf* Install(TSelf* AImplementation) {
    TSelf* previous = FCurrent;
    FCurrent = AImplementation;
    return previous;
  }

private:
  static inline TSelf* FCurrent = nullptr;
};

// Installs an implementation for its own lifetime and puts the previous one
// back afterwards, so scopes nest.
template <typename TSelf> class TSeamScope {
public:
  explicit TSeamScope(TSelf& AImplementation) : FPrevious(TSelf::Install(&AImplementation)) {}
  TSeamScope(const TSeamScope&) = delete;
  TSeamScope& operator=(const TSeamScope&) = delete;
  ~TSeamScope() { TSelf::Install(FPrevious); }

private:
  TSelf* FPrevious;
};

// ---------------------------------------------------------------------------
// Message boxes and confirmations

class TMessageBoxSeam : public TSeam<TMessageBoxSeam> {
public:
  // Shows a box with MessageBoxW's flags and answers its IDOK, IDCANCEL, ...
  virtual int Show(HWND AOwner, const std::wstring& AText, const std::wstring& ACaption,
                   UINT AFlags) = 0;
  static TMessageBoxSeam& System();
};

int ShowMessageBox(HWND AOwner, const std::wstring& AText, const std::wstring& ACaption,
                   UINT AFlags);
// An error box captioned "Error" with an OK button.
void ShowErrorBox(HWND AOwner, const std::wstring& AText);
// An OK/Cancel question; true only for OK.
bool Confirm(HWND AOwner, const std::wstring& AText, const std::wstring& ACaption);

// ---------------------------------------------------------------------------
// Modal loops

class TModalLoopSeam : public TSeam<TModalLoopSeam> {
public:
  // Runs a modal loop for AWindow until AResult answers non-zero, the
  // window is gone or the application is terminating; answers the last
  // AResult (0 when the loop ended otherwise). The system loop disables the
  // thread's other top-level windows meanwhile.
  virtual int Run(HWND AWindow, const std::function<int()>& AResult) = 0;
  static TModalLoopSeam& System();
};

int RunModalLoop(HWND AWindow, const std::function<int()>& AResult);

// ---------------------------------------------------------------------------
// The open-file dialog

struct TOpenFileRequest {
  HWND Owner = nullptr;
  std::wstring Title;
  // Pairs of description and pattern separated by "|", as
  // "Intel Hex Files (*.hex)|*.hex|All files (*.*)|*.*".
  std::wstring Filter;
  int FilterIndex = 1;
  std::wstring InitialDir;
  std::wstring DefaultExt;
  // In: the proposed file; out: the chosen one.
  std::wstring FileName;
};

class TOpenFileSeam : public TSeam<TOpenFileSeam> {
public:
  // True when a file was chosen (ARequest.FileName holds it).
  virtual bool Execute(TOpenFileRequest& ARequest) = 0;
  static TOpenFileSeam& System();
};

bool ExecuteOpenFile(TOpenFileRequest& ARequest);
// The filter in the dialog's own form: every "|" a NUL, closed by two NULs.
// An odd last description without a pattern is dropped.
std::wstring SystemFileFilter(const std::wstring& AFilter);

// ---------------------------------------------------------------------------
// Optional system libraries

// Loads system libraries by name for features that work without them. A
// refused name fails as a missing library does (ERROR_MOD_NOT_FOUND), so a
// test can show the road each caller takes without it. Names compare by
// their file name, ignoring case and a missing ".dll".
class TSystemLibraries {
public:
  static void Refuse(const std::wstring& AName);
  static void Allow(const std::wstring& AName);
  static bool IsRefused(const std::wstring& AName);
};
// The export through which the program hosting a module refuses libraries
// to it as well: int32_t __stdcall (const wchar_t* AName), non-zero to refuse.
inline constexpr char kHostRefusedLibraryExport[] = "HostSeam_IsSystemLibraryRefused";

// A loaded system library, freed with the object; empty when refused or
// missing.
class TSystemLibrary {
public:
  explicit TSystemLibrary(const std::wstring& AName);
  TSystemLibrary(const TSystemLibrary&) = delete;
  TSystemLibrary& operator=(const TSystemLibrary&) = delete;
  ~TSystemLibrary();

  bool Loaded() const { return FModule != nullptr; }
  HMODULE Module() const { return FModule; }
  // The named export, or nullptr (also when not loaded).
  FARPROC Proc(const char* AName) const;
  template <typename TFunction> TFunction Function(const char* AName) const {
    return reinterpret_cast<TFunction>(reinterpret_cast<void (*)()>(Proc(AName)));
  }

private:
  HMODULE FModule = nullptr;
};

// ---------------------------------------------------------------------------
// Theme state

// What every control asks before it paints: the system's classic look, the
// framework's own emulated XP look, or the system's visual styles.
enum class TThemeState { Classic = 0, Emulated = 1, Themed = 2 };

class TThemeSeam : public TSeam<TThemeSeam> {
public:
  virtual TThemeState State() = 0;
  static TThemeSeam& System();
};

// The system's answer: Themed when UxTheme.dll loads and reports the
// application themed; otherwise Emulated on systems older than XP, where
// the framework draws its own XP look; otherwise Classic.
TThemeState GetThemeState();

// ---------------------------------------------------------------------------
// Random sources

class TRandomSeam : public TSeam<TRandomSeam> {
public:
  // Uniform in [0, ARange); 0 for a range below 1.
  virtual int Next(int ARange) = 0;
  // Uniform in [0, 1).
  virtual double NextDouble() = 0;
  // The system source is seeded once per process.
  static TRandomSeam& System();
};

int Random(int ARange);
double RandomDouble();

// ---------------------------------------------------------------------------
// ShellExecute

class TShellSeam : public TSeam<TShellSeam> {
public:
  // Answers ShellExecuteW's result: above 32 on success.
  virtual intptr_t Execute(HWND AOwner, const std::wstring& AVerb, const std::wstring& AFile,
                           const std::wstring& AParameters, const std::wstring& ADirectory,
                           int AShowCommand) = 0;
  static TShellSeam& System();
};

intptr_t ShellExecuteFile(HWND AOwner, const std::wstring& AVerb, const std::wstring& AFile,
                          const std::wstring& AParameters, const std::wstring& ADirectory,
                          int AShowCommand);

// ---------------------------------------------------------------------------
// Stock icons

class TStockIconSeam : public TSeam<TStockIconSeam> {
public:
  // The system's stock icon AId (77 the shield) in the small or large size,
  // owned by the caller (DestroyIcon); nullptr where the system has none.
  virtual HICON Icon(int AId, bool ALarge) = 0;
  static TStockIconSeam& System();
};

HICON GetStockIconHandle(int AId, bool ALarge);

// ---------------------------------------------------------------------------
// Sleeps

class TSleepSeam : public TSeam<TSleepSeam> {
public:
  virtual void Sleep(DWORD AMilliseconds) = 0;
  static TSleepSeam& System();
};

void SleepFor(DWORD AMilliseconds);
