// The painting library's start-up and shut-down, run through its own unit
// steps: what the units make, the painters the root look and feel picks,
// the Office 2003 scheme a theme names, and the repairs that keep start-up
// and unloading from raising.

#include "gx-core.h"
#include "gx-office11.h"
#include "gx-themes.h"
#include "kx-components.h"
#include "kx-graphics.h"
#include "kx-look-and-feels.h"
#include "look-and-feel-units.h"

#include "resource-ledger.h"
#include "seams.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// The library started by its steps for the life of the object.
class TStartedLibrary {
public:
  TStartedLibrary() { FRunner.Startup(); }
  ~TStartedLibrary() { FRunner.Shutdown(); }

private:
  TUnitStepRunner FRunner{kLookAndFeelUnits, unsigned(std::size(kLookAndFeelUnits))};
};

std::vector<std::wstring> PainterNames() {
  std::vector<std::wstring> names;
  if (TkxLookAndFeelPaintersManager* manager = PaintersManager())
    for (int i = 0; i < manager->Count(); ++i)
      names.push_back(manager->Items(i)->LookAndFeelName());
  return names;
}

std::string Narrow(const std::wstring& AText) {
  return std::string(AText.begin(), AText.end());
}

} // namespace

TEST(LookAndFeelUnits, StartupMakesFivePaintersSortedByNameAndARootThatPicksByTheming) {
  struct TCase {
    const char* Name;
    bool RefuseUxTheme;
  };
  for (const TCase& c : {TCase{"with UxTheme.dll", false}, TCase{"without UxTheme.dll", true}}) {
    if (c.RefuseUxTheme)
      TSystemLibraries::Refuse(L"UxTheme.dll");
    {
      TStartedLibrary library;
      EXPECT_EQ(PainterNames(), (std::vector<std::wstring>{L"Flat", L"Native", L"Office11",
                                                           L"Standard", L"UltraFlat"}))
          << c.Name;
      TkxLookAndFeel* root = GetRootLookAndFeel();
      ASSERT_NE(root, nullptr) << c.Name;
      ASSERT_NE(root->Painter(), nullptr) << c.Name << ": the root has its painter at once";
      const bool themed = UxThemeLoaded() && gxIsThemeActive();
      EXPECT_EQ(c.RefuseUxTheme, !UxThemeLoaded()) << c.Name;
      EXPECT_EQ(Narrow(root->Painter()->LookAndFeelName()), themed ? "Native" : "UltraFlat")
          << c.Name;
      EXPECT_EQ(ThemeChangeWindow() != nullptr, UxThemeLoaded())
          << c.Name << ": the theme-change window exists only with the theme library";
      EXPECT_NE(PaletteListenerWindow(), nullptr) << c.Name;
      EXPECT_EQ(kxTimerWindow(), nullptr) << c.Name << ": no timer window before a timer";
      if (!c.RefuseUxTheme) {
        EXPECT_EQ(UxThemeBoundCount(), kUxThemeFunctionCount)
            << c.Name << ": the system's UxTheme.dll has every function bound";
      }
    }
    TSystemLibraries::Allow(L"UxTheme.dll");
    EXPECT_EQ(PaintersManager(), nullptr) << c.Name;
    EXPECT_EQ(GetRootLookAndFeel(), nullptr) << c.Name;
    EXPECT_EQ(PaletteListenerWindow(), nullptr) << c.Name;
    EXPECT_EQ(ThemeChangeWindow(), nullptr) << c.Name;
    EXPECT_FALSE(UxThemeLoaded()) << c.Name;
  }
}

TEST(LookAndFeelUnits, ShutdownGivesBackEveryHandleAndRegistrationStartupTook) {
  const size_t handlesBefore = TResourceLedger::Total();
  const size_t registrationsBefore = TResourceLedger::Registrations();
  {
    auto library = std::make_unique<TStartedLibrary>();
    EXPECT_GT(TResourceLedger::Total(), handlesBefore);
    EXPECT_GT(TResourceLedger::Registrations(), registrationsBefore);
    // A timer made while started brings the timer window; shut-down frees
    // both even though the timer was never stopped.
    std::unique_ptr<TkxTimer> timer(CreateTimer(60000, true, [](TPersistent*) {}));
    EXPECT_TRUE(timer->TimerOn());
    EXPECT_NE(kxTimerWindow(), nullptr);
    library.reset();
    EXPECT_EQ(TResourceLedger::Total(), handlesBefore);
    EXPECT_EQ(TResourceLedger::Registrations(), registrationsBefore);
    EXPECT_EQ(kxTimerWindow(), nullptr);
    timer->SetInterval(10);
    EXPECT_FALSE(timer->TimerOn()) << "no timer window is made after the shut-down";
  }
  EXPECT_EQ(TResourceLedger::Total(), handlesBefore)
      << "a timer freed late gives back nothing twice";
}

TEST(LookAndFeelUnits, LibraryStringsAreRegisteredWhileStartedAndFoundIgnoringCase) {
  {
    TStartedLibrary library;
    TgxResourceStringsRepository* repository = GetResourceStringsRepository();
    const int index = repository->GetProductIndexByName(L"LibraryStrings");
    ASSERT_GE(index, 0);
    EXPECT_EQ(repository->GetProduct(index).ResStringsCount(), 25);
    EXPECT_EQ(repository->GetOriginalValue(L"KXSDATEEOM"), L"eom");
    EXPECT_EQ(repository->GetOriginalValue(L"skxLockedStateText"), L"Please wait...");
  }
  EXPECT_EQ(GetResourceStringsRepository()->GetProductIndexByName(L"LibraryStrings"), -1);
}

namespace {

int GStopCalls = 0;
std::vector<int> GStopOrder;
void FirstStop() {
  ++GStopCalls;
  GStopOrder.push_back(1);
}
void SecondStop() {
  ++GStopCalls;
  GStopOrder.push_back(2);
}
void RaisingStop() {
  GStopOrder.push_back(3);
  throw std::runtime_error("stop failed");
}

} // namespace

TEST(LookAndFeelUnits, ATranslationMadeWhileStartedIsDroppedAtShutdown) {
  {
    TStartedLibrary library;
    SetResStringTranslation(skxLockedStateText, L"Bitte warten...");
    EXPECT_EQ(LoadTranslatedResString(skxLockedStateText), L"Bitte warten...");
  }
  EXPECT_EQ(LoadTranslatedResString(skxLockedStateText), L"Please wait...");
}

TEST(LookAndFeelUnits, StopProceduresLeftWithTheLoaderRunOnceEachAndTheLoaderIsFreed) {
  GStopCalls = 0;
  GStopOrder.clear();
  GetUnitsLoader().AddUnit(nullptr, &FirstStop);
  GetUnitsLoader().AddUnit(nullptr, &RaisingStop);
  GetUnitsLoader().AddUnit(nullptr, &SecondStop);
  EXPECT_NO_THROW(gxCoreShutdown());
  EXPECT_EQ(GStopOrder, (std::vector<int>{2, 3, 1})) << "the last queued stops first";
  EXPECT_EQ(GStopCalls, 2);
  EXPECT_EQ(ExistingUnitsLoader(), nullptr);
  EXPECT_NO_THROW(gxCoreShutdown()) << "a second unload finds nothing left";
  EXPECT_EQ(GStopCalls, 2);
}

TEST(LookAndFeelUnits, GdiPlusStopsRunOnceEachAtUnload) {
  const int before = GdiPlusStopCount();
  {
    TStartedLibrary library;
    ASSERT_NE(ExistingUnitsLoader(), nullptr);
    EXPECT_EQ(ExistingUnitsLoader()->PendingFinalizations(), 2u);
  }
  EXPECT_EQ(GdiPlusStopCount() - before, 2);
  EXPECT_FALSE(GdiPlusStarted());
  EXPECT_EQ(ExistingUnitsLoader(), nullptr);
}

TEST(LookAndFeelUnits, FirstWeekDayCountsFromSundayAndANonNumericLocaleValueIsMonday) {
  struct TCase {
    const wchar_t* LocaleText;
    int Day;
  };
  const TCase cases[] = {
      {L"0", 1}, {L"5", 6}, {L"6", 0}, {L"9", 0}, {L"", 1}, {L"x", 1}, {L"-1", 1}, {L"1a", 1},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(FirstWeekDayFromLocaleText(c.LocaleText), c.Day) << Narrow(c.LocaleText);
}

TEST(LookAndFeelUnits, AnAssignedFirstWeekDayHoldsUntilClearedAndOutOfRangeDaysAreIgnored) {
  ClearAssignedFirstWeekDay();
  const int locale = GetLocaleFirstWeekDay();
  AssignFirstWeekDay(7);
  EXPECT_FALSE(IsFirstWeekDayAssigned());
  AssignFirstWeekDay((locale + 3) % 7);
  EXPECT_TRUE(IsFirstWeekDayAssigned());
  EXPECT_EQ(GetEffectiveFirstWeekDay(), (locale + 3) % 7);
  ClearAssignedFirstWeekDay();
  EXPECT_EQ(GetEffectiveFirstWeekDay(), locale);
}

TEST(LookAndFeelUnits, TheOffice2003SchemeFollowsTheThemeFileAndColourName) {
  struct TCase {
    const wchar_t* File;
    const wchar_t* Color;
    unsigned Major;
    int Scheme;
  };
  const TCase cases[] = {
      {L"C:\\WINDOWS\\Resources\\Themes\\Luna\\Luna.msstyles", L"HomeStead", 5, 2},
      {L"C:\\WINDOWS\\Resources\\Themes\\Royale\\Royale.msstyles", L"NormalColor", 5, 0},
      {L"C:\\Windows\\Resources\\Themes\\Aero\\aero.msstyles", L"normalcolor", 6, 1},
      {L"luna.msstyles", L"Metallic", 5, 3},
      {L"luna.msstyles", L"Other", 6, 0},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(Office11SchemeOf(c.File, c.Color, c.Major), c.Scheme) << Narrow(c.File);
}

TEST(LookAndFeelUnits, RepositoryFindsTheFirstProductsStringAndUnregistersOnlyTheFirstOfAName) {
  static const TResourceString first{L"first text"};
  static const TResourceString second{L"second text"};
  TgxResourceStringsRepository repository;
  repository.RegisterProduct(
      L"A", [](TgxProductResourceStrings& AProduct) { AProduct.Add(L"Shared", &first); });
  repository.RegisterProduct(L"A", [](TgxProductResourceStrings& AProduct) {
    AProduct.Add(L"Shared", &second);
    AProduct.Add(L"shared", &first);
  });
  repository.RegisterProduct(L"Empty", nullptr);
  EXPECT_EQ(repository.GetProduct(1).ResStringsCount(), 1) << "a name added twice is kept once";
  EXPECT_EQ(repository.GetProduct(2).ResStringsCount(), 0);
  EXPECT_EQ(repository.GetOriginalValue(L"SHARED"), L"first text");
  repository.UnRegisterProduct(L"a");
  EXPECT_EQ(repository.ProductsCount(), 3) << "product names compare exactly";
  repository.UnRegisterProduct(L"A");
  EXPECT_EQ(repository.ProductsCount(), 2);
  EXPECT_EQ(repository.GetOriginalValue(L"Shared"), L"second text");
}

TEST(LookAndFeelUnits, APainterOfANameAlreadyListedIsRefused) {
  TStartedLibrary library;
  TkxLookAndFeelPaintersManager* manager = PaintersManager();
  ASSERT_NE(manager, nullptr);
  EXPECT_FALSE(manager->Register(new TkxFlatLookAndFeelPainter));
  EXPECT_EQ(manager->Count(), 5);
  EXPECT_EQ(manager->GetPainter(L"ultraflat"), manager->GetPainter(lfsUltraFlat));
  EXPECT_EQ(manager->GetPainter(L""), nullptr);
}
