#include "seams.h"

#include "resource-ledger.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class TScriptedBoxes : public TMessageBoxSeam {
public:
  explicit TScriptedBoxes(int AAnswer) : FAnswer(AAnswer) {}
  int Show(HWND, const std::wstring& AText, const std::wstring& ACaption, UINT AFlags) override {
    Texts.push_back(AText);
    Captions.push_back(ACaption);
    Flags.push_back(AFlags);
    return FAnswer;
  }
  std::vector<std::wstring> Texts, Captions;
  std::vector<UINT> Flags;

private:
  int FAnswer;
};

TEST(Seams, ScopesNestAndPutThePreviousImplementationBack) {
  TScriptedBoxes outer(IDOK), inner(IDCANCEL);
  {
    TSeamScope<TMessageBoxSeam> a(outer);
    EXPECT_EQ(&TMessageBoxSeam::Current(), &outer);
    {
      TSeamScope<TMessageBoxSeam> b(inner);
      EXPECT_EQ(ShowMessageBox(nullptr, L"x", L"y", MB_OK), IDCANCEL);
    }
    EXPECT_EQ(ShowMessageBox(nullptr, L"x", L"y", MB_OK), IDOK);
  }
  EXPECT_EQ(&TMessageBoxSeam::Current(), &TMessageBoxSeam::System());
  EXPECT_EQ(outer.Texts.size(), 1u);
  EXPECT_EQ(inner.Texts.size(), 1u);
}

TEST(Seams, ConfirmIsTrueOnlyForOk) {
  struct TCase {
    int Answer;
    bool Confirmed;
  } cases[] = {{IDOK, true}, {IDCANCEL, false}, {IDYES, false}, {0, false}};
  for (auto& c : cases) {
    TScriptedBoxes boxes(c.Answer);
    TSeamScope<TMessageBoxSeam> scope(boxes);
    EXPECT_EQ(Confirm(nullptr, L"Erase the whole flash?", L"Confirm"), c.Confirmed) << c.Answer;
    ASSERT_EQ(boxes.Flags.size(), 1u);
    EXPECT_EQ(boxes.Flags[0], UINT(MB_OKCANCEL | MB_ICONQUESTION));
    EXPECT_EQ(boxes.Captions[0], L"Confirm");
  }
}

TEST(Seams, ErrorBoxesAreCaptionedError) {
  TScriptedBoxes boxes(IDOK);
  TSeamScope<TMessageBoxSeam> scope(boxes);
  ShowErrorBox(nullptr, L"Invalid start address");
  ASSERT_EQ(boxes.Texts.size(), 1u);
  EXPECT_EQ(boxes.Texts[0], L"Invalid start address");
  EXPECT_EQ(boxes.Captions[0], L"Error");
  EXPECT_EQ(boxes.Flags[0], UINT(MB_OK | MB_ICONERROR));
}

TEST(Seams, FileFiltersBecomeTheDialogsNulSeparatedList) {
  using namespace std::string_literals;
  struct TCase {
    std::wstring Filter;
    std::wstring Expected;
  } cases[] = {
      {L"Intel Hex Files (*.hex)|*.hex|All files (*.*)|*.*",
       L"Intel Hex Files (*.hex)\0*.hex\0All files (*.*)\0*.*\0\0"s},
      {L"", L"\0"s},
      // A description without its pattern is dropped.
      {L"Hex|*.hex|Lonely", L"Hex\0*.hex\0\0"s},
      {L"Hex|*.hex;*.ihx", L"Hex\0*.hex;*.ihx\0\0"s},
  };
  for (auto& c : cases)
    EXPECT_EQ(SystemFileFilter(c.Filter), c.Expected);
}

TEST(Seams, TheOpenFileDialogCanBeAnsweredWithoutAWindow) {
  struct TChooser : TOpenFileSeam {
    bool Execute(TOpenFileRequest& ARequest) override {
      Filter = ARequest.Filter;
      ARequest.FileName = L"C:\\work\\image.hex";
      return true;
    }
    std::wstring Filter;
  } chooser;
  TSeamScope<TOpenFileSeam> scope(chooser);
  TOpenFileRequest request;
  request.Filter = L"Intel Hex Files (*.hex)|*.hex|All files (*.*)|*.*";
  ASSERT_TRUE(ExecuteOpenFile(request));
  EXPECT_EQ(request.FileName, L"C:\\work\\image.hex");
  EXPECT_EQ(chooser.Filter, request.Filter);
}

TEST(Seams, AModalLoopCanBeRunByAScript) {
  struct TScript : TModalLoopSeam {
    int Run(HWND AWindow, const std::function<int()>&) override {
      Window = AWindow;
      return IDCANCEL;
    }
    HWND Window = nullptr;
  } script;
  TSeamScope<TModalLoopSeam> scope(script);
  HWND fake = reinterpret_cast<HWND>(uintptr_t(0x1234));
  EXPECT_EQ(RunModalLoop(fake, [] { return 0; }), IDCANCEL);
  EXPECT_EQ(script.Window, fake);
}

// ---------------------------------------------------------------------------
// Optional system libraries and the theme state

class SystemLibraries : public ::testing::Test {
protected:
  void TearDown() override {
    TSystemLibraries::Allow(L"UxTheme.dll");
    EXPECT_EQ(TResourceLedger::Count(TResourceKind::Library), 0u);
  }
};

TEST_F(SystemLibraries, ARefusedLibraryFailsAsAMissingOneWhateverItsSpelling) {
  TSystemLibraries::Refuse(L"UxTheme.dll");
  for (const wchar_t* name : {L"UxTheme.dll", L"uxtheme", L"C:\\windows\\system32\\UXTHEME.DLL"}) {
    SetLastError(0);
    TSystemLibrary library(name);
    EXPECT_FALSE(library.Loaded()) << name;
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(library.Proc("IsThemeActive"), nullptr);
  }
  TSystemLibrary other(L"msimg32.dll");
  EXPECT_TRUE(other.Loaded());
}

TEST_F(SystemLibraries, AnAllowedLibraryLoadsAndIsGivenBackWithItsObject) {
  TSystemLibraries::Refuse(L"uxtheme");
  TSystemLibraries::Allow(L"UXTHEME.DLL");
  {
    TSystemLibrary library(L"UxTheme.dll");
    ASSERT_TRUE(library.Loaded());
    EXPECT_NE(library.Proc("IsThemeActive"), nullptr);
    EXPECT_EQ(TResourceLedger::Count(TResourceKind::Library), 1u);
  }
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Library), 0u);
}

TEST_F(SystemLibraries, WithoutUxThemeTheThemeStateIsClassic) {
  TSystemLibraries::Refuse(L"UxTheme.dll");
  EXPECT_EQ(GetThemeState(), TThemeState::Classic);
}

TEST_F(SystemLibraries, TheThemeStateCanBeSetForAllThreeLooks) {
  struct TFixed : TThemeSeam {
    TThemeState Value;
    TThemeState State() override { return Value; }
  } fixed;
  TSeamScope<TThemeSeam> scope(fixed);
  for (TThemeState state : {TThemeState::Classic, TThemeState::Emulated, TThemeState::Themed}) {
    fixed.Value = state;
    EXPECT_EQ(GetThemeState(), state);
  }
  EXPECT_EQ(int(TThemeState::Classic), 0);
  EXPECT_EQ(int(TThemeState::Emulated), 1);
  EXPECT_EQ(int(TThemeState::Themed), 2);
}

// ---------------------------------------------------------------------------
// Random numbers, ShellExecute, sleeps

TEST(Seams, SystemRandomNumbersStayInTheirRange) {
  for (int range : {1, 2, 7, 20, 1000}) {
    for (int i = 0; i < 200; ++i) {
      int value = Random(range);
      ASSERT_GE(value, 0);
      ASSERT_LT(value, range);
    }
  }
  EXPECT_EQ(Random(0), 0);
  EXPECT_EQ(Random(-5), 0);
  for (int i = 0; i < 200; ++i) {
    double value = RandomDouble();
    ASSERT_GE(value, 0.0);
    ASSERT_LT(value, 1.0);
  }
}

TEST(Seams, ARandomSourceCanBeScripted) {
  struct TScripted : TRandomSeam {
    int Next(int ARange) override { return ARange - 1; }
    double NextDouble() override { return 0.25; }
  } scripted;
  TSeamScope<TRandomSeam> scope(scripted);
  EXPECT_EQ(Random(20), 19);
  EXPECT_EQ(RandomDouble(), 0.25);
}

TEST(Seams, ShellExecuteGoesThroughTheSeam) {
  struct TRecorder : TShellSeam {
    intptr_t Execute(HWND, const std::wstring& AVerb, const std::wstring& AFile,
                     const std::wstring& AParameters, const std::wstring&, int AShow) override {
      Calls.push_back(AVerb + L" " + AFile + L" [" + AParameters + L"] " + std::to_wstring(AShow));
      return 42;
    }
    std::vector<std::wstring> Calls;
  } recorder;
  TSeamScope<TShellSeam> scope(recorder);
  EXPECT_EQ(ShellExecuteFile(nullptr, L"OPEN", L"http://example.invalid/", L"", L"", SW_SHOWNORMAL),
            42);
  ASSERT_EQ(recorder.Calls.size(), 1u);
  EXPECT_EQ(recorder.Calls[0], L"OPEN http://example.invalid/ [] 1");
}

TEST(Seams, TheShieldIconCanBeGivenWhereTheSystemHasNone) {
  struct TShield : TStockIconSeam {
    HICON Icon(int AId, bool ALarge) override {
      Asked = AId;
      Large = ALarge;
      return CopyIcon(LoadIconW(nullptr, IDI_WARNING));
    }
    int Asked = 0;
    bool Large = true;
  } shield;
  TSeamScope<TStockIconSeam> scope(shield);
  HICON icon = GetStockIconHandle(77, false);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(shield.Asked, 77);
  EXPECT_FALSE(shield.Large);
  DestroyIcon(icon);
}

TEST(Seams, TheSystemsStockIconIsTheCallersOrNone) {
  // Some systems (Wine among them) have no shield; a given icon is real.
  for (bool large : {false, true}) {
    HICON icon = GetStockIconHandle(77, large);
    if (icon) {
      ICONINFO info{};
      ASSERT_TRUE(GetIconInfo(icon, &info));
      DeleteObject(info.hbmMask);
      if (info.hbmColor)
        DeleteObject(info.hbmColor);
      EXPECT_TRUE(DestroyIcon(icon));
    }
  }
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Library), 0u);
}

TEST(Seams, SleepsGoThroughTheSeam) {
  struct TRecorder : TSleepSeam {
    void Sleep(DWORD AMilliseconds) override { Slept += AMilliseconds; }
    DWORD Slept = 0;
  } recorder;
  TSeamScope<TSleepSeam> scope(recorder);
  SleepFor(100);
  SleepFor(20);
  EXPECT_EQ(recorder.Slept, 120u);
}

} // namespace
