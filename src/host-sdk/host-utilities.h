#pragma once

// What every part of the plug-in needs from its surroundings: host lock
// files, the host's and the plug-in's folders, temporary files, the search
// and loading of host modules, deferred destruction, and small text and
// keyboard routines. The host is reached only through the client accessors;
// without a client the host-bound operations do nothing.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// The content of a host lock file.
struct TFileOwnershipDetails {
  std::wstring ComputerName;
  std::wstring UserName;
  std::wstring ProcessID; // decimal process number
};

// Folder + "~$" + name with extension + "_loc".
std::wstring GetLockFileName(const std::wstring& AFileName);
// Empties ADetails, reads the lock file when it exists; True when all three
// values are non-empty. Raises when the lock file exists but cannot be read.
bool ReadLockFileDetails(const std::wstring& AFileName, TFileOwnershipDetails& ADetails);
// True when a complete lock of another computer, user or process exists,
// and when the lock file cannot be read.
bool IsFileLockedByOther(const std::wstring& AFileName, std::wstring& AComputer,
                         std::wstring& AUser);
// Kind 1: a message on the host's messages panel; kind 2: a warning dialog;
// nothing for other kinds or while the host suppresses messages.
void ReportLockedFile(const std::wstring& AFileName, const std::wstring& AComputer,
                      const std::wstring& AUser, int AKind);
// Puts ANewFile in the place of ATargetFile unless another one holds the
// target's lock. The replacement is atomic: the old target stays whenever
// the new file cannot take its place.
bool ReplaceFileIfNotLocked(const std::wstring& ANewFile, const std::wstring& ATargetFile);

// This computer, user and process, read once per process.
std::wstring GetLocalComputerName();
std::wstring GetLocalUserName();
std::wstring GetLocalProcessID();
// Module shutdown: forgets the three.
void ReleaseLocalIdentity();

// Folders end in a backslash.
std::wstring GetHostFolder(); // the main program's folder, ASCII upper case
std::wstring GetHostSystemFolder();
std::wstring GetModuleFolder(); // the folder of the library that holds this code
// The file name of the library that holds this code, without folder and
// extension (the host files dialog help under it).
std::wstring GetModuleBaseName();
std::wstring GetModuleLibraryFolder();
std::wstring GetModuleTemplatesFolder();
std::wstring GetTempFolder();
std::wstring GetLongTempFolder();
// An empty, uniquely named file "Pro..." in the temporary folder; empty
// when the system refuses.
std::wstring MakeTempFileName();
// The folder holding "Chandrel.dll": the host's System folder, else the
// first plug-in folder that has it, else "\".
std::wstring SpecialFolder_EmbeddedExtension();

// Called for each registered, enabled plug-in folder (trailing backslash
// ensured) in registry order; setting AStop ends the walk.
using TPluginFolderVisitor = std::function<void(const std::wstring& AFolder, bool& AStop)>;
void ForEachPluginFolder(const TPluginFolderVisitor& AVisitor);
// The full name of a host module file: the host's System folder first, then
// the files directly in each registered, enabled plug-in folder; a folder
// that does not exist is skipped. Empty when not found.
std::wstring FindHostModule(const std::wstring& AModuleName);
// Fills a caller-owned handle once: an already loaded module of that name,
// else the file FindHostModule finds, loaded. Stays 0 on failure; never freed.
void LoadHostModule(HMODULE& AHandle, const std::wstring& AModuleName);

// The library's window classes. Each is registered under the instance of
// the library that holds this code, never under the host program's: a
// class of the program's instance would outlive the library with its
// window procedure in freed code, would keep the library, loaded again,
// from registering its own, and could be taken for a host class of the
// same name.
HINSTANCE GetModuleInstance();

// A window class of the library with a fixed name, declared once at
// namespace scope (or as a static member) with a static name string. The
// declared classes are registered together when the library is loaded, or
// one by one on first use.
class TModuleWindowClass {
public:
  explicit TModuleWindowClass(const WNDCLASSEXW& AClass);
  // Registers the class unless it is registered; its name, to create
  // windows of it (a class the system refused makes that fail).
  const wchar_t* Use();

private:
  WNDCLASSEXW FClass;
};

// Registers AClass under the library's instance, with the arrow cursor
// unless it names one, unless the library registered a class of that name
// already (a class named at run time, such as a form's). False when the
// system refuses it.
bool RegisterModuleWindowClass(const WNDCLASSEXW& AClass);
// At the library's load: registers every declared class.
void RegisterModuleWindowClasses();
// At the library's unload: runs the pending deferred destructions, destroys
// this thread's remaining windows of the library's classes (their procedure
// is about to go) and unregisters every class the library registered.
void UnregisterModuleWindowClasses();

// Frees an object once the message that is being handled now is done: a
// hidden window posts itself a message and frees the object when it
// arrives. Relies on the host thread's message loop.
class TDelayedDestroyer {
public:
  static constexpr UINT kDestroyMessage = 0xB021;

  // The destroyer owns itself from here on and frees itself after AAction ran.
  static void Create(std::function<void()> AAction);
  // Runs every destruction still waiting for its message, now: the library
  // is going away and its message would find no code.
  static void RunPending();
  ~TDelayedDestroyer();
  TDelayedDestroyer(const TDelayedDestroyer&) = delete;
  TDelayedDestroyer& operator=(const TDelayedDestroyer&) = delete;

private:
  explicit TDelayedDestroyer(std::function<void()> AAction);
  static LRESULT CALLBACK WindowProc(HWND AWindow, UINT AMessage, WPARAM AWParam, LPARAM ALParam);

  HWND FHandle = nullptr;
  std::function<void()> FObjectToDestroy;
  static TModuleWindowClass FWindowClass;
};

template <class T> void DestroyLater(std::unique_ptr<T> AObject) {
  auto shared = std::shared_ptr<T>(std::move(AObject));
  TDelayedDestroyer::Create([shared]() mutable { shared.reset(); });
}

// True when the file exists and is not a folder.
bool FileExists(const std::wstring& AName);

// Text and keyboard routines.
std::wstring IncludeTrailingChar(const std::wstring& AText, wchar_t ACh);
bool SameName(const std::wstring& A, const std::wstring& B); // ASCII case ignored
// "0x"/"0X" removed, then hexadecimal digits; any other character gives
// ADefault; wraps modulo 2^32; nothing left gives 0.
int32_t HexStrToIntDef(const std::wstring& AText, int32_t ADefault);
std::wstring PadRight(const std::wstring& AText, size_t AWidth);
std::wstring PadLeft(const std::wstring& AText, wchar_t ACh, size_t AWidth);
// No ":" and not beginning with "\\".
bool IsRelativePath(const std::wstring& APath);
bool IsCtrlDown();
bool IsShiftDown();
bool IsAltDown();
