// The real plug-in loaded and unloaded by the test host: what its units
// make at start-up and give back at FreeLibrary, as the host's ledger hears
// it and as the loading thread's windows show it.

#include "host-ledger.h"
#include "plugin-library.h"
#include "test-host.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace {

// The module's unit steps in start-up order.
const std::vector<std::wstring> kStartupSteps = {
    L"Framework",
    L"Graphics",
    L"ParserSupport",
    L"XPControls",
    L"XPSpeedButtons",
    L"InstrumentPanels",
    L"InstrumentChecks",
    L"InstrumentLabels",
    L"InstrumentButtons",
    L"WinXPButtons",
    L"XPProgress",
    L"XPSections",
    L"XPScrolls",
    L"XPLists",
    L"XPPageControl",
    L"XPEdits2",
    L"XPExtEdits",
    L"gxUtils",
    L"gxCntner",
    L"gxEditor",
    L"gxExEdtr",
    L"gxTL",
    L"gxCore",
    L"gxCoreClasses",
    L"gxUxTheme",
    L"gxThemeManager",
    L"gxOffice11",
    L"kxGeometry",
    L"kxDrawTextUtils",
    L"kxLookAndFeelPainters",
    L"kxLookAndFeels",
    L"kxLibraryStrs",
    L"kxDWMApi",
    L"kxControls",
    L"gxHooks",
    L"kxContainer",
    L"kxDataStrs",
    L"kxDataStorage",
    L"kxPaint",
    L"kxFormats",
    L"kxDateUtils",
    L"kxEditStrs",
    L"kxFilterStrs",
    L"kxClasses",
    L"gxGDIPlusAPI",
    L"gxGDIPlusClasses",
    L"kxGraphics",
    L"kxEdit",
    L"kxFilterControlStrs",
    L"kxTextEdit",
    L"kxMemo",
    L"kxPCStrs",
    L"kxPCPainterFactory",
    L"kxPCPainters",
    L"gxInspectorRows",
    L"gxInspectorRowKinds",
    L"Forms",
};

std::string Narrow(const std::wstring& AText) {
  return std::string(AText.begin(), AText.end());
}

std::vector<std::wstring> Steps(const std::vector<THostLedgerEntry>& AEntries, bool ATaken) {
  std::vector<std::wstring> steps;
  for (const THostLedgerEntry& entry : AEntries)
    if (entry.Kind == L"Step" && entry.Taken == ATaken)
      steps.push_back(entry.Name);
  return steps;
}

// Resources held by kind: taken minus given, by name.
std::map<std::wstring, std::map<std::wstring, int>>
Held(const std::vector<THostLedgerEntry>& AEntries) {
  std::map<std::wstring, std::map<std::wstring, int>> held;
  for (const THostLedgerEntry& entry : AEntries)
    held[entry.Kind][entry.Name] += entry.Taken ? 1 : -1;
  return held;
}

int HeldOfKind(const std::vector<THostLedgerEntry>& AEntries, const wchar_t* AKind) {
  int count = 0;
  const auto held = Held(AEntries);
  const auto ofKind = held.find(AKind);
  if (ofKind == held.end())
    return 0;
  for (const auto& [name, balance] : ofKind->second)
    count += balance;
  return count;
}

// The entries with each handle replaced by its order of first appearance
// within its kind, so that two rounds compare although the system hands
// out other handles.
std::vector<std::wstring> Normalised(const std::vector<THostLedgerEntry>& AEntries) {
  std::map<std::wstring, std::map<std::wstring, size_t>> seen;
  std::vector<std::wstring> lines;
  for (const THostLedgerEntry& entry : AEntries) {
    std::wstring name = entry.Name;
    if (name.rfind(L"0x", 0) == 0) {
      auto& ofKind = seen[entry.Kind];
      const size_t order = ofKind.emplace(name, ofKind.size() + 1).first->second;
      name = L"#" + std::to_wstring(order);
    }
    lines.push_back((entry.Taken ? L"+ " : L"- ") + entry.Kind + L" " + name);
  }
  return lines;
}

HMODULE ClassModule(HWND AWnd) {
  return reinterpret_cast<HMODULE>(GetClassLongPtrW(AWnd, GCLP_HMODULE));
}

struct TWindowSearch {
  DWORD Thread;
  HMODULE Module;
  std::vector<HWND> Windows;
  void Consider(HWND AWnd) {
    if (GetWindowThreadProcessId(AWnd, nullptr) == Thread && ClassModule(AWnd) == Module)
      Windows.push_back(AWnd);
  }
};

BOOL CALLBACK ConsiderWindow(HWND AWnd, LPARAM ASearch) {
  reinterpret_cast<TWindowSearch*>(ASearch)->Consider(AWnd);
  return TRUE;
}

// The loading thread's windows (message-only ones too) whose class belongs
// to AModule.
std::vector<HWND> WindowsOfModule(HMODULE AModule) {
  TWindowSearch search{GetCurrentThreadId(), AModule, {}};
  EnumThreadWindows(search.Thread, &ConsiderWindow, reinterpret_cast<LPARAM>(&search));
  for (HWND wnd = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); wnd;
       wnd = FindWindowExW(HWND_MESSAGE, wnd, nullptr, nullptr))
    search.Consider(wnd);
  return search.Windows;
}

struct TRound {
  HMODULE Module = nullptr;
  std::vector<THostLedgerEntry> Loaded;   // the ledger after start-up
  std::vector<THostLedgerEntry> Unloaded; // the ledger after FreeLibrary
  std::vector<HWND> Windows;              // the module's windows while loaded
  bool GdiPlusLoaded = false;
  std::vector<HWND> WindowsLeft;
};

// One load, first export, unload.
TRound LoadAndUnload() {
  TRound round;
  THostLedger::Clear();
  {
    TPluginLibrary plugin;
    EXPECT_TRUE(plugin.Load(DefaultPluginPath())) << Narrow(plugin.ErrorText());
    round.Module = plugin.Module();
    int32_t count = 0;
    EXPECT_EQ(plugin.GetTarvoDriverCount(&count), S_OK);
    round.Loaded = THostLedger::Entries(round.Module);
    round.Windows = WindowsOfModule(round.Module);
    round.GdiPlusLoaded = GetModuleHandleW(L"gdiplus.dll") != nullptr;
  } // FreeLibrary
  round.Unloaded = THostLedger::Entries(round.Module);
  round.WindowsLeft = WindowsOfModule(round.Module);
  return round;
}

} // namespace

TEST(ModuleLoad, StartupRunsTheTableAndUnloadingRunsItBackwardsGivingBackEveryKind) {
  TTestHost host;
  ASSERT_EQ(GetModuleHandleW(L"gdiplus.dll"), nullptr) << "the test program does not start GDI+";
  const TRound round = LoadAndUnload();
  EXPECT_EQ(Steps(round.Loaded, true), kStartupSteps);
  EXPECT_TRUE(Steps(round.Loaded, false).empty());
  const std::vector<std::wstring> reverse(kStartupSteps.rbegin(), kStartupSteps.rend());
  EXPECT_EQ(Steps(round.Unloaded, false), reverse);
  EXPECT_FALSE(round.GdiPlusLoaded) << "GDI+ is only queued at start-up";

  for (const auto& [kind, names] : Held(round.Unloaded))
    for (const auto& [name, balance] : names)
      EXPECT_EQ(balance, 0) << Narrow(kind) << " " << Narrow(name) << " is not balanced";
  // Every kind the issue names took part.
  for (const wchar_t* kind : {L"Window", L"WindowClass", L"Hook", L"GdiObject", L"Cursor",
                              L"Library", L"ResourceStringProduct", L"Painter"})
    EXPECT_GT(Held(round.Loaded)[kind].size(), 0u) << Narrow(kind) << " never taken";
  EXPECT_TRUE(round.WindowsLeft.empty()) << "a window of the plug-in's classes outlived it";
}

TEST(ModuleLoad, TwoLoadUnloadRoundsGiveIdenticalLedgers) {
  TTestHost host;
  const TRound first = LoadAndUnload();
  const TRound second = LoadAndUnload();
  ASSERT_FALSE(first.Unloaded.empty());
  EXPECT_EQ(Normalised(first.Unloaded), Normalised(second.Unloaded));
}

TEST(ModuleLoad, TheLoadingThreadHoldsTheUnitsHiddenWindowsAndHooksUntilUnloading) {
  struct TCase {
    const char* Name;
    bool RefuseUxTheme;
    size_t Windows;
  };
  const TCase cases[] = {
      {"with UxTheme.dll", false, 3},
      {"without UxTheme.dll: no theme-change window", true, 2},
  };
  TTestHost host;
  for (const TCase& c : cases) {
    if (c.RefuseUxTheme)
      THostSeams::RefuseSystemLibrary(L"UxTheme.dll");
    const TRound round = LoadAndUnload();
    THostSeams::AllowSystemLibrary(L"UxTheme.dll");
    EXPECT_EQ(round.Windows.size(), c.Windows) << c.Name;
    for (HWND wnd : round.Windows)
      EXPECT_FALSE(IsWindowVisible(wnd)) << c.Name;
    EXPECT_EQ(HeldOfKind(round.Loaded, L"Hook"), 3) << c.Name;
    EXPECT_EQ(HeldOfKind(round.Unloaded, L"Hook"), 0) << c.Name;
    EXPECT_TRUE(round.WindowsLeft.empty()) << c.Name;

    // The classes the plug-in registered are gone with it.
    auto held = Held(round.Loaded);
    for (const auto& [atom, balance] : held[L"WindowClass"]) {
      (void)balance;
      WNDCLASSEXW info{};
      info.cbSize = sizeof(info);
      const auto value = ATOM(std::stoul(atom.substr(2), nullptr, 16));
      EXPECT_FALSE(GetClassInfoExW(round.Module, MAKEINTATOM(value), &info))
          << c.Name << ": class " << Narrow(atom) << " left registered";
    }
  }
}

TEST(ModuleLoad, ThePluginImportsOnlyLibrariesOfTheSystemFolder) {
  TPluginLibrary plugin;
  ASSERT_TRUE(plugin.Load(DefaultPluginPath())) << Narrow(plugin.ErrorText());
  const auto* base = reinterpret_cast<const BYTE*>(plugin.Module());
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  ASSERT_NE(directory.VirtualAddress, 0u);
  wchar_t system[MAX_PATH] = {};
  ASSERT_NE(GetSystemDirectoryW(system, MAX_PATH), 0u);
  size_t count = 0;
  for (auto* import =
           reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
       import->Name != 0; ++import, ++count) {
    const std::string name = reinterpret_cast<const char*>(base + import->Name);
    const std::wstring path = std::wstring(system) + L"\\" + std::wstring(name.begin(), name.end());
    EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES)
        << name << " is not a library of the system folder";
  }
  EXPECT_GT(count, 0u);
}
