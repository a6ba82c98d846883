#include "edit-controls-steps.h"

#include "gx-hooks.h"
#include "kx-brush-cache.h"
#include "kx-container.h"
#include "kx-controls.h"
#include "kx-date-words.h"
#include "kx-edit.h"
#include "kx-look-and-feels.h"
#include "kx-resource-strings.h"
#include "kx-value-types.h"

#include "application.h"
#include "resource-ledger.h"
#include "timers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <iterator>
#include <thread>

namespace {

constexpr unsigned kStepCount = static_cast<unsigned>(std::size(kEditControlsSteps));

// Dispatches this thread's messages until ADone holds, at most AMaxRounds
// waits of 50 ms each.
template <typename TPredicate> bool PumpUntil(TPredicate ADone, int AMaxRounds = 100) {
  for (int round = 0; round < AMaxRounds && !ADone(); ++round) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return ADone();
}

TEST(EditControlsUnits, UnloadGivesBackEveryKindItTookAndTwoRoundsMatch) {
  std::vector<std::vector<std::pair<std::wstring, std::wstring>>> rounds;
  for (int round = 0; round < 2; ++round) {
    const TLedgerMark mark;
    {
      TLoadedSteps loaded(kEditControlsSteps, kStepCount);
      EXPECT_FALSE(mark.Unbalanced().empty()) << "the units took nothing";
    }
    EXPECT_TRUE(mark.Unbalanced().empty());
    // Handles differ from round to round; kinds, registered names and their
    // order do not.
    std::vector<std::pair<std::wstring, std::wstring>> seen;
    for (const auto& e : mark.Since())
      seen.emplace_back(e.Kind, e.Name.rfind(L"0x", 0) == 0 ? L"handle" : e.Name);
    rounds.push_back(seen);
  }
  EXPECT_EQ(rounds[0], rounds[1]);
}

TEST(EditControlsUnits, ValueTypesRegisterInOrderAndLeaveInReverse) {
  const std::vector<std::wstring> expected = {
      L"String",  L"WideString",   L"Smallint", L"Integer",  L"Word",
      L"Boolean", L"Float",        L"Currency", L"DateTime", L"LargeInt",
      L"FMTBcd",  L"SQLTimeStamp", L"Variant",  L"Object",   L"BLOB"};
  const TLedgerMark mark;
  {
    TLoadedSteps loaded(kEditControlsSteps, kStepCount);
    ASSERT_NE(ValueTypeClassList(), nullptr);
    ASSERT_EQ(ValueTypeClassList()->Count(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
      EXPECT_EQ(ValueTypeClassList()->Item(i)->Caption(), expected[i]);
    EXPECT_NE(ValueTypeClassList()->ItemByCaption(L"Float"), nullptr);
    EXPECT_EQ(ValueTypeClassList()->ItemByCaption(L"float"), nullptr);
  }
  EXPECT_EQ(mark.Names(L"ValueType", true), expected);
  EXPECT_EQ(mark.Names(L"ValueType", false),
            std::vector<std::wstring>(expected.rbegin(), expected.rend()));
  EXPECT_EQ(ValueTypeClassList(), nullptr) << "the registry outlived its unit";
}

TEST(EditControlsUnits, StringProductsRegisterInUnitOrderWithEveryString) {
  struct TCase {
    const wchar_t* Product;
    int Count;
  };
  const TCase cases[] = {{kkxDataStringsProduct, 12},
                         {kkxEditStringsProduct, 111},
                         {kkxFilterStringsProduct, 50},
                         {kkxFilterControlStringsProduct, 35}};
  const TLedgerMark mark;
  {
    TLoadedSteps loaded(kEditControlsSteps, kStepCount);
    auto* repository = GetResourceStringsRepository();
    for (const auto& c : cases) {
      const int index = repository->GetProductIndexByName(c.Product);
      ASSERT_GE(index, 0) << c.Product;
      EXPECT_EQ(repository->GetProduct(index).ResStringsCount(), c.Count) << c.Product;
    }
    EXPECT_EQ(repository->GetOriginalValue(L"kxSDataReadError"), L"Stream read error");
    EXPECT_EQ(KxResString(L"kxSEditCheckBoxGrayed"), L"");
    EXPECT_EQ(KxResString(L"sgxBreadcrumbEditInvalidPath"),
              L"Cannot find \"%s\". Check the spelling and try again.");
  }
  std::vector<std::wstring> titles;
  for (const auto& c : cases)
    titles.push_back(c.Product);
  EXPECT_EQ(mark.Names(L"ResourceStrings", true), titles);
  for (const auto& c : cases)
    EXPECT_LT(GetResourceStringsRepository()->GetProductIndexByName(c.Product), 0) << c.Product;
}

TEST(EditControlsUnits, EditorKindsRegisterSortedWithTheirFilterHelpers) {
  TLoadedSteps loaded(kEditControlsSteps, kStepCount);
  ASSERT_NE(EditPropertiesClassRegistry(), nullptr);
  // Sorted by description: "Memo|..." before "TextEdit|...".
  EXPECT_EQ(EditPropertiesClassRegistry()->ClassNames(),
            (std::vector<std::wstring>{L"TkxMemoProperties", L"TkxTextEditProperties"}));
  EXPECT_EQ(EditPropertiesClassRegistry()->Item(1).Description,
            L"TextEdit|Represents a single line text editor");
  EXPECT_EQ(FilterEditsController()->FindHelper(L"TkxTextEditProperties"),
            L"TkxFilterTextEditHelper");
  EXPECT_EQ(FilterEditsController()->FindHelper(L"TkxMemoProperties"), L"TkxFilterMemoHelper");
  ASSERT_NE(DefaultEditStyleController(), nullptr);
  EXPECT_EQ(GlobalContainerStyleController(), DefaultEditStyleController());
  EXPECT_NE(Screen()->Cursor(kkxMouseWheelCursorSlot), nullptr);
  loaded.Unload();
  EXPECT_EQ(EditPropertiesClassRegistry(), nullptr);
  EXPECT_EQ(FilterEditsController(), nullptr);
  EXPECT_EQ(GlobalContainerStyleController(), nullptr);
}

TEST(EditControlsUnits, LibraryCursorsAreOwnedAndTheSystemHandIsOnlyLent) {
  const size_t cursorsBefore = TResourceLedger::Count(TResourceKind::Cursor);
  KxControlsStartup();
  for (const auto& slot : kkxCursorSlots)
    EXPECT_NE(Screen()->Cursor(slot.Slot), nullptr) << slot.Slot;
  HCURSOR hand = Screen()->Cursor(kkxHandCursorSlot);
  EXPECT_EQ(hand, LoadCursorW(nullptr, IDC_HAND));
  // Sixteen cursors of our own; the hand is the system's.
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Cursor), cursorsBefore + 16);
  for (int i = 0; i < 2; ++i) {
    EXPECT_NE(KxRegisteredMessage(i), 0u);
    EXPECT_EQ(KxRegisteredMessage(i), RegisterWindowMessageW(kkxRegisteredMessageNames[i]));
  }
  KxControlsShutdown();
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Cursor), cursorsBefore);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(hand, &info)) << "the system's hand cursor was destroyed";
  if (info.hbmMask)
    DeleteObject(info.hbmMask);
  if (info.hbmColor)
    DeleteObject(info.hbmColor);
  EXPECT_EQ(KxRegisteredMessage(0), 0u);
}

TEST(EditControlsUnits, ContainerHooksAreThreadHooksOfTheLoadingThread) {
  const size_t hooksBefore = TResourceLedger::Count(TResourceKind::Hook);
  GxHooksStartup();
  KxContainerStartup();
  ASSERT_NE(HookController(), nullptr);
  struct TCase {
    TgxHookType Type;
    bool Installed;
  };
  const TCase cases[] = {{TgxHookType::htKeyboard, false},
                         {TgxHookType::htMouse, true},
                         {TgxHookType::htWndProc, true},
                         {TgxHookType::htGetMessage, true},
                         {TgxHookType::htCBT, false}};
  for (const auto& c : cases)
    EXPECT_EQ(HookController()->Hook(c.Type).Handle() != nullptr, c.Installed)
        << static_cast<int>(c.Type);
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Hook), hooksBefore + 3);
  EXPECT_TRUE(UseOwnScrollBars());
  KxContainerShutdown();
  GxHooksShutdown();
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Hook), hooksBefore);
  EXPECT_EQ(HookController(), nullptr);
}

// ---------------------------------------------------------------------------
// The main-thread wake-up

TEST(EditControlsUnits, WorkerCallRunsOnTheLoadingThreadWhenItsWindowGetsTheMessage) {
  KxControlsStartup();
  ASSERT_NE(SystemController(), nullptr);
  std::atomic<DWORD> ranOn{0};
  std::thread worker([&] { QueueMainThreadCall([&] { ranOn = GetCurrentThreadId(); }); });
  worker.join();
  EXPECT_EQ(ranOn.load(), 0u) << "the call ran on the worker";
  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, SystemController()->Handle(), KXM_SYNCHRONIZE, KXM_SYNCHRONIZE,
                           PM_NOREMOVE))
      << "the wake-up did not post 0x8066 to the controller's window";
  EXPECT_TRUE(PumpUntil([&] { return ranOn != 0; }));
  EXPECT_EQ(ranOn.load(), GetCurrentThreadId());
  KxControlsShutdown();
}

TEST(EditControlsUnits, ShutdownPutsBackThePreviousWakeUpHandler) {
  std::atomic<int> previousWakes{0};
  TWakeMainThread saved = SetWakeMainThread([&] { ++previousWakes; });
  KxControlsStartup();
  std::thread([] { QueueMainThreadCall([] {}); }).join();
  EXPECT_EQ(previousWakes.load(), 0) << "the controller did not take the wake-up over";
  PumpUntil([] { return false; }, 2);
  KxControlsShutdown();
  std::thread([] { QueueMainThreadCall([] {}); }).join();
  EXPECT_EQ(previousWakes.load(), 1);
  CheckSynchronize();
  SetWakeMainThread(std::move(saved));
}

// ---------------------------------------------------------------------------
// Unloading never raises and leaves nothing running

class TStillTracked : public IkxMouseTrackingCaller {
public:
  void TrackedMouseLeave() override { ++Leaves; }
  int Leaves = 0;
};

TEST(EditControlsUnits, UnloadFreesMouseTrackingLeftRunning) {
  const size_t timersBefore = TResourceLedger::Count(TResourceKind::Timer);
  KxControlsStartup();
  TStillTracked first, second;
  // Bounds that hold every point, so no tick ends the tracking by itself.
  const RECT everywhere{-100000, -100000, 100000, 100000};
  StartMouseTracking(nullptr, everywhere, &first);
  StartMouseTracking(nullptr, everywhere, &second);
  StartMouseTracking(nullptr, everywhere, &first); // tracked once only
  EXPECT_EQ(MouseTrackingCount(), 2u);
  EXPECT_GT(TTimer::RunningCount(), 0u);
  EXPECT_NO_THROW(KxControlsShutdown());
  EXPECT_EQ(MouseTrackingCount(), 0u);
  EXPECT_EQ(TTimer::RunningCount(), 0u);
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Timer), timersBefore);
  EXPECT_FALSE(IsMouseTrackingActive(&first));
  StartMouseTracking(nullptr, everywhere, &first);
  EXPECT_EQ(MouseTrackingCount(), 0u) << "tracking started after unload";
}

void KeyboardProc(int, WPARAM, LPARAM, LRESULT&) {}
void CbtProc(int, WPARAM, LPARAM, LRESULT&) {}

TEST(EditControlsUnits, UnloadUninstallsHooksLeftBehind) {
  const size_t hooksBefore = TResourceLedger::Count(TResourceKind::Hook);
  GxHooksStartup();
  AddThreadHookProc(TgxHookType::htKeyboard, KeyboardProc);
  AddThreadHookProc(TgxHookType::htCBT, CbtProc);
  AddThreadHookProc(TgxHookType::htCBT, KeyboardProc);
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Hook), hooksBefore + 2);
  EXPECT_NO_THROW(GxHooksShutdown());
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Hook), hooksBefore);
  EXPECT_EQ(HookController(), nullptr);
}

TEST(EditControlsUnits, AddingAProcedureTwiceToOneKindIsRefused) {
  TgxHookController controller;
  controller.SetHook(TgxHookType::htKeyboard, KeyboardProc);
  EXPECT_THROW(controller.SetHook(TgxHookType::htKeyboard, KeyboardProc), EAssertionFailed);
  controller.SetHook(TgxHookType::htCBT, KeyboardProc);
  controller.ReleaseHook(KeyboardProc);
  EXPECT_EQ(controller.Hook(TgxHookType::htKeyboard).Handle(), nullptr);
  EXPECT_EQ(controller.Hook(TgxHookType::htCBT).Handle(), nullptr);
}

TEST(EditControlsUnits, ShutdownsRaiseNothingWithoutOrAfterTheirStartups) {
  const TLedgerMark mark;
  for (int pass = 0; pass < 2; ++pass)
    for (size_t i = kStepCount; i-- > 0;)
      EXPECT_NO_THROW(kEditControlsSteps[i].Shutdown()) << kEditControlsSteps[i].Name;
  EXPECT_TRUE(mark.Since().empty());
}

// ---------------------------------------------------------------------------
// The brush cache and the date words

TEST(EditControlsUnits, FullBrushCacheEvictsTheLeastUsedColour) {
  KxPaintStartup();
  {
    TkxSolidBrushCache cache(2);
    const int32_t red = 0x0000FF, green = 0x00FF00, blue = 0xFF0000;
    HBRUSH redBrush = cache.GetBrush(red);
    EXPECT_EQ(cache.GetBrush(red), redBrush);
    cache.GetBrush(blue);
    cache.GetBrush(green); // full: blue was never hit again
    ASSERT_EQ(cache.Depth(), 2);
    EXPECT_EQ(cache.ColorAt(0), red);
    EXPECT_EQ(cache.ColorAt(1), green);
    // System colours are the system's brushes and never cached.
    EXPECT_EQ(cache.GetBrush(static_cast<int32_t>(0xFF000005u)), GetSysColorBrush(5));
    EXPECT_EQ(cache.Depth(), 2);
  }
  KxPaintShutdown();
}

TEST(EditControlsUnits, SystemColourChangeEmptiesTheBrushCache) {
  KxPaintStartup();
  ASSERT_NE(GetSolidBrush(0x123456), nullptr);
  ASSERT_EQ(SolidBrushCache()->Depth(), 1);
  ASSERT_NE(PaletteListenerWindow(), nullptr);
  SendMessageW(PaletteListenerWindow(), WM_SYSCOLORCHANGE, 0, 0);
  EXPECT_EQ(SolidBrushCache()->Depth(), 0);
  KxPaintShutdown();
  EXPECT_EQ(GetSolidBrush(0x123456), nullptr);
}

TEST(EditControlsUnits, DateMasksQuoteTheWordsAndAllowNowOnlyWhenAsked) {
  struct TCase {
    bool IncludeNow;
    const wchar_t* Translation; // of "today"
    const wchar_t* Prefix;
    bool HasNow;
  };
  const TCase cases[] = {
      {false, nullptr, L"(d)|('today'|'yesterday'|'tomorrow'|'Sunday'", false},
      {true, nullptr, L"(d)|('today'|'yesterday'", true},
      {false, L"o'clock", L"(d)|('o'\\''clock'|'yesterday'", false},
  };
  KxDateUtilsStartup();
  for (const auto& c : cases) {
    SetResStringTranslation(kxSDateToday, c.Translation);
    std::wstring mask = L"d";
    AddSmartInputWords(mask, c.IncludeNow);
    EXPECT_EQ(mask.rfind(c.Prefix, 0), 0u) << mask;
    EXPECT_EQ(mask.find(L"|'now')") != std::wstring::npos, c.HasNow) << mask;
    EXPECT_NE(mask.find(L"'eom'"), std::wstring::npos);
    const std::wstring offset = L")((\\+|-)\\d(\\d(\\d\\d?)?)?)?";
    ASSERT_GT(mask.size(), offset.size());
    EXPECT_EQ(mask.substr(mask.size() - offset.size()), offset);
  }
  SetResStringTranslation(kxSDateToday, nullptr);
  KxDateUtilsShutdown();
  EXPECT_TRUE(SmartInputWords().empty());
}

} // namespace
