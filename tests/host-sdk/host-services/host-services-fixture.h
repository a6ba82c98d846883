#pragma once

// What the host-service tests share: a test host whose client the
// executable's export hands out, a plug-ins registry the tests fill, and
// folder trees in the temporary folder that vanish afterwards.

#include "client-access.h"
#include "family-registry.h"
#include "host-modules.h"
#include "host-utilities.h"
#include "test-host.h"
#include "vfs-entry.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

// A folder tree under the temporary folder, removed with everything in it.
class TTempTree {
public:
  TTempTree() {
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH, temp);
    static unsigned serial = 0;
    FRoot = std::wstring(temp) + L"orv-host-services-" + std::to_wstring(GetCurrentProcessId()) +
            L"-" + std::to_wstring(++serial) + L"\\";
    CreateDirectoryW(FRoot.c_str(), nullptr);
  }
  ~TTempTree() { Remove(FRoot); }
  TTempTree(const TTempTree&) = delete;
  TTempTree& operator=(const TTempTree&) = delete;

  const std::wstring& Root() const { return FRoot; }
  // A folder below the root (created with its parents), with a trailing backslash.
  std::wstring Folder(const std::wstring& ARelative) const {
    std::wstring path = FRoot;
    size_t start = 0;
    while (start < ARelative.size()) {
      size_t end = ARelative.find(L'\\', start);
      if (end == std::wstring::npos)
        end = ARelative.size();
      path += ARelative.substr(start, end - start) + L"\\";
      CreateDirectoryW(path.c_str(), nullptr);
      start = end + 1;
    }
    return path;
  }
  // Writes a file (bytes as given) and answers its full name.
  std::wstring File(const std::wstring& ARelative, const std::string& AContent) const {
    const size_t slash = ARelative.find_last_of(L'\\');
    if (slash != std::wstring::npos)
      Folder(ARelative.substr(0, slash));
    const std::wstring name = FRoot + ARelative;
    const HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, AContent.data(), DWORD(AContent.size()), &written, nullptr);
    CloseHandle(file);
    return name;
  }

private:
  static void Remove(const std::wstring& AFolder) {
    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileW((AFolder + L"*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..")
          continue;
        const std::wstring full = AFolder + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          Remove(full + L"\\");
        } else {
          SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
          DeleteFileW(full.c_str());
        }
      } while (FindNextFileW(search, &entry));
      FindClose(search);
    }
    RemoveDirectoryW(AFolder.c_str());
  }
  std::wstring FRoot;
};

std::string FileContent(const std::wstring& AName);
bool FileThere(const std::wstring& AName);
std::string AsciiText(const std::wstring& AText);

// The host's plug-ins registry: folders in registry order, each enabled or not.
class TPluginsRegistry {
public:
  struct TEntry {
    std::wstring Folder;
    bool Disabled = false;
  };
  explicit TPluginsRegistry(TTestHost& AHost);
  void Add(std::wstring AFolder, bool ADisabled = false) {
    FEntries.push_back({std::move(AFolder), ADisabled});
  }
  // How often the host was asked for the registry's size: one walk each.
  int Walks() const { return FWalks; }

private:
  TComPtr<TFakeHostObject> FRegistry;
  std::vector<TComPtr<TFakeHostObject>> FItems;
  std::vector<TEntry> FEntries;
  int FWalks = 0;
};

// Every host-service cache starts empty and ends released; any call the
// test host did not expect fails the test.
class HostServices : public ::testing::Test {
protected:
  HostServices() { ReleaseAll(); }
  void TearDown() override {
    ReleaseAll();
    for (const std::wstring& error : Host.Errors())
      ADD_FAILURE() << AsciiText(error);
  }
  static void ReleaseAll() {
    ReleaseClientAccess();
    ReleaseDeviceFamilies();
    ReleaseHostModules();
    ReleaseVfsEntries();
  }
  // Calls of one DISPID a host object received.
  static std::vector<TFakeCall> CallsOf(TFakeHostObject& AObject, DISPID ADispId) {
    std::vector<TFakeCall> calls;
    for (const TFakeCall& call : AObject.Calls())
      if (call.DispId == ADispId)
        calls.push_back(call);
    return calls;
  }

  // A new host object of the given records that AOwner answers for ADispId.
  static TComPtr<TFakeHostObject> ServeObject(TFakeHostObject& AOwner, DISPID ADispId,
                                              std::initializer_list<std::wstring_view> ARecords) {
    TComPtr<TFakeHostObject> object = TFakeHostObject::Create(ARecords);
    AOwner.OnCall(ADispId, [object](TFakeInvocation& AInvocation) {
      AInvocation.ReturnObject(object->Dispatch());
      return S_OK;
    });
    return object;
  }

  TTestHost Host;
  TPluginsRegistry Plugins{Host};
  TTempTree Tree;
};
