#include "application.h"

#include "resource-ledger.h"
#include "rtl-exceptions.h"
#include "seams.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace {

// Every test starts without an application and ends with the module's
// unload work: afterwards the ledger holds nothing the test made.
class ApplicationTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(ApplicationIfAny(), nullptr);
    FStart = TResourceLedger::Total();
  }
  void TearDown() override {
    ReleaseApplication();
    EXPECT_EQ(ApplicationIfAny(), nullptr);
    EXPECT_EQ(THiddenWindow::LiveCount(), 0u);
    EXPECT_EQ(TResourceLedger::Total(), FStart);
  }

  // Pumps until ADone holds; a bounded loop, failing the test when the
  // messages it waits for never come.
  static void PumpUntil(const std::function<bool()>& ADone) {
    auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!ADone()) {
      ASSERT_LT(std::chrono::steady_clock::now(), limit) << "the awaited message never came";
      if (!Application()->ProcessMessage())
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
  }

private:
  size_t FStart = 0;
};

// Records every box instead of showing it, answering AAnswer.
class TRecordingBoxes : public TMessageBoxSeam {
public:
  struct TBox {
    std::wstring Text, Caption;
    UINT Flags;
  };
  explicit TRecordingBoxes(int AAnswer = IDOK) : FAnswer(AAnswer) {}
  int Show(HWND, const std::wstring& AText, const std::wstring& ACaption, UINT AFlags) override {
    Boxes.push_back({AText, ACaption, AFlags});
    return FAnswer;
  }
  std::vector<TBox> Boxes;

private:
  int FAnswer;
};

// ---------------------------------------------------------------------------
// Messages and exceptions

TEST_F(ApplicationTest, ProcessMessagesHandlesPendingMessagesThenLeavesQuitForTheHostLoop) {
  std::vector<UINT> seen;
  THiddenWindow window([&](UINT AMsg, WPARAM, LPARAM, LRESULT&) {
    if (AMsg >= WM_USER)
      seen.push_back(AMsg);
    return false;
  });
  PostMessageW(window.Handle(), WM_USER + 1, 0, 0);
  PostMessageW(window.Handle(), WM_USER + 2, 0, 0);
  PostQuitMessage(7);
  Application()->ProcessMessages();

  EXPECT_EQ(seen, (std::vector<UINT>{WM_USER + 1, WM_USER + 2}));
  EXPECT_TRUE(Application()->Terminated());
  // The quit is still there for the loop that owns the thread.
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 7u);
}

TEST_F(ApplicationTest, OnMessageSeesMessagesFirstAndCanKeepThemFromTheWindow) {
  int reached = 0;
  THiddenWindow window([&](UINT AMsg, WPARAM, LPARAM, LRESULT&) {
    reached += AMsg == WM_USER + 5;
    return false;
  });
  Application()->OnMessage = [](MSG& AMsg, bool& AHandled) {
    AHandled = AMsg.message == WM_USER + 5 && AMsg.wParam == 1;
  };
  PostMessageW(window.Handle(), WM_USER + 5, 1, 0);
  PostMessageW(window.Handle(), WM_USER + 5, 2, 0);
  Application()->ProcessMessages();
  EXPECT_EQ(reached, 1);
}

TEST_F(ApplicationTest, ExceptionInAWindowProcedureGoesToOnException) {
  std::string caught;
  Application()->OnException = [&](TApplication*, const std::exception& AException) {
    caught = AException.what();
  };
  THiddenWindow window([](UINT AMsg, WPARAM, LPARAM, LRESULT&) -> bool {
    if (AMsg == WM_USER)
      throw EListError("List index out of bounds (5)");
    return false;
  });
  EXPECT_EQ(SendMessageW(window.Handle(), WM_USER, 0, 0), 0);
  EXPECT_EQ(caught, "List index out of bounds (5)");
  // The window keeps working.
  EXPECT_TRUE(IsWindow(window.Handle()));
}

TEST_F(ApplicationTest, UnhandledExceptionIsShownInAStopBoxCaptionedWithTheTitle) {
  TRecordingBoxes boxes;
  TSeamScope<TMessageBoxSeam> scope(boxes);
  Application()->Title = L"Flash";
  THiddenWindow window([](UINT AMsg, WPARAM, LPARAM, LRESULT&) -> bool {
    if (AMsg == WM_USER)
      throw EFOpenError(L"Cannot open file \"a.hex\"");
    return false;
  });
  SendMessageW(window.Handle(), WM_USER, 0, 0);
  ASSERT_EQ(boxes.Boxes.size(), 1u);
  EXPECT_EQ(boxes.Boxes[0].Text, L"Cannot open file \"a.hex\".");
  EXPECT_EQ(boxes.Boxes[0].Caption, L"Flash");
  EXPECT_EQ(boxes.Boxes[0].Flags, UINT(MB_OK | MB_ICONSTOP));
}

// ---------------------------------------------------------------------------
// Hooks on the main window

class MainWindowHooks : public ApplicationTest {
protected:
  void SetUp() override {
    ApplicationTest::SetUp();
    FMain = std::make_unique<THiddenWindow>([this](UINT AMsg, WPARAM, LPARAM, LRESULT& AResult) {
      if (AMsg != WM_ACTIVATEAPP && AMsg < WM_USER)
        return false;
      Seen.push_back(L"window");
      AResult = 5;
      return true;
    });
    Application()->SetMainWindow(FMain->Handle());
  }
  void TearDown() override {
    Application()->SetMainWindow(nullptr);
    FMain.reset();
    ApplicationTest::TearDown();
  }
  LRESULT Send(UINT AMsg) { return SendMessageW(FMain->Handle(), AMsg, 0, 0); }
  int Hook(const std::wstring& AName, UINT AHandles, LRESULT AResult = 42) {
    return Application()->HookMainWindow(
        [this, AName, AHandles, AResult](UINT AMsg, WPARAM, LPARAM, LRESULT& AOut) {
          Seen.push_back(AName);
          if (AMsg != AHandles)
            return false;
          AOut = AResult;
          return true;
        });
  }

  std::unique_ptr<THiddenWindow> FMain;
  std::vector<std::wstring> Seen;
};

TEST_F(MainWindowHooks, HooksSeeTheMessageInOrderBeforeTheWindow) {
  Hook(L"first", 0);
  Hook(L"second", 0);
  EXPECT_EQ(Send(WM_ACTIVATEAPP), 5);
  EXPECT_EQ(Seen, (std::vector<std::wstring>{L"first", L"second", L"window"}));
}

TEST_F(MainWindowHooks, AHookThatHandlesTheMessageAnswersItAndStopsTheChain) {
  Hook(L"first", WM_ACTIVATEAPP, 42);
  Hook(L"second", 0);
  EXPECT_EQ(Send(WM_ACTIVATEAPP), 42);
  EXPECT_EQ(Seen, (std::vector<std::wstring>{L"first"}));
}

TEST_F(MainWindowHooks, AHookMayRemoveItselfWhileItRuns) {
  int key = 0;
  key = Application()->HookMainWindow([&](UINT, WPARAM, LPARAM, LRESULT&) {
    Seen.push_back(L"once");
    Application()->UnhookMainWindow(key);
    return false;
  });
  Hook(L"after", 0);
  Send(WM_USER);
  Send(WM_USER);
  EXPECT_EQ(Seen, (std::vector<std::wstring>{L"once", L"after", L"window", L"after", L"window"}));
}

TEST_F(MainWindowHooks, RemovingTheLastHookPutsTheWindowProcedureBack) {
  LONG_PTR own = GetWindowLongPtrW(FMain->Handle(), GWLP_WNDPROC);
  int a = Hook(L"a", 0);
  int b = Hook(L"b", 0);
  EXPECT_NE(GetWindowLongPtrW(FMain->Handle(), GWLP_WNDPROC), own);
  Application()->UnhookMainWindow(a);
  EXPECT_NE(GetWindowLongPtrW(FMain->Handle(), GWLP_WNDPROC), own);
  Application()->UnhookMainWindow(b);
  EXPECT_EQ(GetWindowLongPtrW(FMain->Handle(), GWLP_WNDPROC), own);
}

TEST_F(MainWindowHooks, HooksFollowTheMainWindowWhenItChanges) {
  LONG_PTR own = GetWindowLongPtrW(FMain->Handle(), GWLP_WNDPROC);
  Hook(L"hook", 0);
  THiddenWindow other([&](UINT AMsg, WPARAM, LPARAM, LRESULT&) {
    if (AMsg == WM_USER)
      Seen.push_back(L"other");
    return false;
  });
  Application()->SetMainWindow(other.Handle());
  EXPECT_EQ(GetWindowLongPtrW(FMain->Handle(), GWLP_WNDPROC), own);
  Send(WM_USER);
  SendMessageW(other.Handle(), WM_USER, 0, 0);
  EXPECT_EQ(Seen, (std::vector<std::wstring>{L"window", L"hook", L"other"}));
  Application()->SetMainWindow(nullptr);
}

TEST_F(MainWindowHooks, ADestroyedMainWindowIsForgotten) {
  Hook(L"hook", 0);
  HWND main = FMain->Handle();
  FMain.reset();
  EXPECT_FALSE(IsWindow(main));
  EXPECT_EQ(Application()->MainWindow(), nullptr);
}

TEST_F(MainWindowHooks, AnExceptionInAHookGoesToTheApplicationAndTheWindowStillAnswers) {
  std::string caught;
  Application()->OnException = [&](TApplication*, const std::exception& AException) {
    caught = AException.what();
  };
  Application()->HookMainWindow(
      [](UINT, WPARAM, LPARAM, LRESULT&) -> bool { throw EAssertionFailed("hook failed"); });
  EXPECT_EQ(Send(WM_USER), 5);
  EXPECT_EQ(caught, "hook failed");
}

// ---------------------------------------------------------------------------
// Help

TEST_F(ApplicationTest, HelpContextGoesToOnHelpOnlyForANonZeroContext) {
  struct TCase {
    bool HasHandler;
    bool HandlerAnswer;
    int Context;
    bool Expected;
  } cases[] = {
      {false, false, 12, false},
      {true, true, 0, false},
      {true, true, 12, true},
      {true, false, 12, false},
  };
  for (auto& c : cases) {
    std::vector<std::pair<UINT, uintptr_t>> asked;
    Application()->OnHelp = nullptr;
    if (c.HasHandler)
      Application()->OnHelp = [&](UINT ACommand, uintptr_t AData) {
        asked.emplace_back(ACommand, AData);
        return c.HandlerAnswer;
      };
    EXPECT_EQ(Application()->HelpContext(c.Context), c.Expected) << c.Context;
    if (c.HasHandler && c.Context != 0) {
      ASSERT_EQ(asked.size(), 1u);
      EXPECT_EQ(asked[0].first, UINT(HELP_CONTEXT));
      EXPECT_EQ(asked[0].second, uintptr_t(c.Context));
    } else {
      EXPECT_TRUE(asked.empty());
    }
  }
}

// ---------------------------------------------------------------------------
// Modal loops

TEST_F(ApplicationTest, SystemModalLoopRunsUntilAResultAndDisablesOtherWindowsMeanwhile) {
  THiddenWindow other([](UINT, WPARAM, LPARAM, LRESULT&) { return false; });
  ShowWindow(other.Handle(), SW_SHOWNA);
  int result = 0;
  bool otherEnabledDuring = true;
  THiddenWindow modal([&](UINT AMsg, WPARAM, LPARAM, LRESULT&) {
    if (AMsg != WM_USER)
      return false;
    otherEnabledDuring = IsWindowEnabled(other.Handle());
    result = IDOK;
    return true;
  });
  ShowWindow(modal.Handle(), SW_SHOWNA);
  PostMessageW(modal.Handle(), WM_USER, 0, 0);

  EXPECT_EQ(RunModalLoop(modal.Handle(), [&] { return result; }), IDOK);
  EXPECT_FALSE(otherEnabledDuring);
  EXPECT_TRUE(IsWindowEnabled(other.Handle()));
  EXPECT_TRUE(IsWindowEnabled(modal.Handle()));
}

TEST_F(ApplicationTest, SystemModalLoopEndsWithoutAResultWhenTheApplicationTerminates) {
  THiddenWindow modal([&](UINT AMsg, WPARAM, LPARAM, LRESULT&) {
    if (AMsg != WM_USER)
      return false;
    Application()->Terminate();
    return true;
  });
  PostMessageW(modal.Handle(), WM_USER, 0, 0);
  EXPECT_EQ(RunModalLoop(modal.Handle(), [] { return 0; }), 0);
}

TEST_F(ApplicationTest, SystemModalLoopEndsWhenItsWindowIsDestroyed) {
  auto modal =
      std::make_unique<THiddenWindow>([](UINT, WPARAM, LPARAM, LRESULT&) { return false; });
  HWND handle = modal->Handle();
  THiddenWindow closer([&](UINT AMsg, WPARAM, LPARAM, LRESULT&) {
    if (AMsg != WM_USER)
      return false;
    modal.reset();
    return true;
  });
  PostMessageW(closer.Handle(), WM_USER, 0, 0);
  EXPECT_EQ(RunModalLoop(handle, [] { return 0; }), 0);
  EXPECT_FALSE(IsWindow(handle));
}

// ---------------------------------------------------------------------------
// Calls handed to the loading thread

TEST_F(ApplicationTest, AWorkersSynchronizedCallRunsOnTheLoadingThreadWhenItPumps) {
  Application();
  DWORD ranOn = 0;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    SynchronizeMainThreadCall([&] { ranOn = GetCurrentThreadId(); });
    done = true;
  });
  PumpUntil([&] { return done.load(); });
  worker.join();
  EXPECT_EQ(ranOn, GetCurrentThreadId());
}

TEST_F(ApplicationTest, AnExceptionOfASynchronizedCallIsRaisedInTheWorker) {
  Application();
  std::atomic<bool> done{false};
  std::string caught;
  std::thread worker([&] {
    try {
      SynchronizeMainThreadCall([] { throw EConvertError("not a number"); });
    } catch (const EConvertError& e) {
      caught = e.what();
    }
    done = true;
  });
  PumpUntil([&] { return done.load(); });
  worker.join();
  EXPECT_EQ(caught, "not a number");
}

TEST_F(ApplicationTest, ASynchronizedCallNotTakenInTimeIsWithdrawnWithAnError) {
  Application();
  bool ran = false;
  bool timedOut = false;
  std::thread worker([&] {
    try {
      SynchronizeMainThreadCall([&] { ran = true; }, 50);
    } catch (const EThreadTimeout&) {
      timedOut = true;
    }
  });
  worker.join(); // the loading thread does not pump meanwhile
  EXPECT_TRUE(timedOut);
  EXPECT_FALSE(CheckSynchronize());
  EXPECT_FALSE(ran);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, CM_SYNCHRONIZE, CM_SYNCHRONIZE, PM_REMOVE)) {
  }
}

TEST_F(ApplicationTest, OnTheLoadingThreadCallsRunAtOnce) {
  Application();
  int runs = 0;
  SynchronizeMainThreadCall([&] { ++runs; });
  QueueMainThreadCall([&] { ++runs; });
  EXPECT_EQ(runs, 2);
  EXPECT_FALSE(CheckSynchronize());
}

TEST_F(ApplicationTest, TheApplicationsWakeUpPostsTheSynchronizeMessageToItsWindow) {
  Application();
  std::thread worker([] { QueueMainThreadCall([] {}); });
  worker.join();
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, CM_SYNCHRONIZE, CM_SYNCHRONIZE, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, Application()->Handle());
  EXPECT_EQ(msg.message, 0x8066u);
  DispatchMessageW(&msg);
  EXPECT_FALSE(CheckSynchronize()); // the message ran the queue
}

TEST_F(ApplicationTest, AReplacedWakeUpHandlerIsCalledAndThePreviousOneCanBePutBack) {
  Application();
  std::atomic<int> wakes{0};
  TWakeMainThread previous = SetWakeMainThread([&] { ++wakes; });
  int runs = 0;
  std::thread worker([&] { QueueMainThreadCall([&] { ++runs; }); });
  worker.join();
  EXPECT_EQ(wakes.load(), 1);
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, CM_SYNCHRONIZE, CM_SYNCHRONIZE, PM_NOREMOVE));
  EXPECT_TRUE(CheckSynchronize());
  EXPECT_EQ(runs, 1);

  SetWakeMainThread(std::move(previous));
  std::thread again([&] { QueueMainThreadCall([&] { ++runs; }); });
  again.join();
  PumpUntil([&] { return runs == 2; });
  EXPECT_EQ(wakes.load(), 1);
}

TEST_F(ApplicationTest, AnExceptionOfAQueuedCallGoesToTheApplication) {
  std::string caught;
  Application()->OnException = [&](TApplication*, const std::exception& AException) {
    caught = AException.what();
  };
  std::thread worker([] { QueueMainThreadCall([] { throw EStreamError("stream broke"); }); });
  worker.join();
  PumpUntil([&] { return !caught.empty(); });
  EXPECT_EQ(caught, "stream broke");
}

TEST_F(ApplicationTest, ReleasingTheApplicationPutsBackTheWakeUpHandlerItReplaced) {
  int outer = 0;
  SetWakeMainThread([&] { ++outer; });
  Application();
  ReleaseApplication();
  TWakeMainThread current = SetWakeMainThread(nullptr);
  ASSERT_TRUE(current);
  current();
  EXPECT_EQ(outer, 1);
}

// ---------------------------------------------------------------------------
// Screen cursors

TEST_F(ApplicationTest, StandardSlotsAnswerSharedSystemCursorsThatAreNeverOwned) {
  struct TCase {
    int Slot;
    LPCWSTR Id;
  } cases[] = {{0, IDC_ARROW},  {-21, IDC_HAND},  {-11, IDC_WAIT},
               {-4, IDC_IBEAM}, {-9, IDC_SIZEWE}, {12345, IDC_ARROW}};
  for (auto& c : cases)
    EXPECT_EQ(Screen()->Cursor(c.Slot), LoadCursorW(nullptr, c.Id)) << c.Slot;
  EXPECT_EQ(Screen()->Cursor(-1), nullptr);
  EXPECT_EQ(Screen()->OwnedCount(), 0u);
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Cursor), 0u);
}

TEST_F(ApplicationTest, ModuleCursorsAreDestroyedAtUnloadAndSharedSystemCursorsNever) {
  // The module's cursor resources come from user32 here, which has some.
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  const int moduleSlots[] = {2100, 2101, 2102, 2103, 2104, 2105, 2106,  2107,  2108,  2109,  2110,
                             2111, 2112, 2113, 2114, 2115, 4101, -1128, -1129, -1130, -1141, -1142};
  std::vector<HCURSOR> owned;
  for (int slot : moduleSlots) {
    ASSERT_TRUE(Screen()->LoadModuleCursor(slot, user32, MAKEINTRESOURCEW(32512))) << slot;
    owned.push_back(Screen()->Cursor(slot));
  }
  ASSERT_TRUE(Screen()->LoadSystemCursor(-2099, IDC_HAND));
  EXPECT_EQ(Screen()->Cursor(-2099), LoadCursorW(nullptr, IDC_HAND));
  EXPECT_EQ(Screen()->OwnedCount(), std::size(moduleSlots));
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Cursor), std::size(moduleSlots));

  ReleaseApplication();

  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Cursor), 0u);
  ICONINFO info{};
  for (HCURSOR cursor : owned)
    EXPECT_FALSE(GetIconInfo(cursor, &info));
  ASSERT_TRUE(GetIconInfo(LoadCursorW(nullptr, IDC_HAND), &info));
  DeleteObject(info.hbmMask);
  if (info.hbmColor)
    DeleteObject(info.hbmColor);
}

TEST_F(ApplicationTest, ReplacingAnOwnedCursorDestroysTheOldOne) {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  ASSERT_TRUE(Screen()->LoadModuleCursor(2100, user32, MAKEINTRESOURCEW(32512)));
  HCURSOR first = Screen()->Cursor(2100);
  ASSERT_TRUE(Screen()->LoadModuleCursor(2100, user32, MAKEINTRESOURCEW(32512)));
  EXPECT_NE(Screen()->Cursor(2100), first);
  ICONINFO info{};
  EXPECT_FALSE(GetIconInfo(first, &info));
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Cursor), 1u);

  Screen()->LoadSystemCursor(2100, IDC_CROSS);
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Cursor), 0u);
}

TEST_F(ApplicationTest, PuttingTheSameCursorBackAsSharedKeepsItAlive) {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  ASSERT_TRUE(Screen()->LoadModuleCursor(2109, user32, MAKEINTRESOURCEW(32512)));
  HCURSOR cursor = Screen()->Cursor(2109);
  Screen()->SetCursor(2109, cursor, TCursorOwnership::Shared);
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Cursor), 0u);
  ReleaseApplication();
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(cursor, &info));
  DeleteObject(info.hbmMask);
  if (info.hbmColor)
    DeleteObject(info.hbmColor);
  DestroyCursor(cursor);
}

TEST_F(ApplicationTest, AMissingModuleCursorLeavesTheSlotAsItWas) {
  EXPECT_FALSE(Screen()->LoadModuleCursor(2108, GetModuleHandleW(nullptr), L"KX_REMOVECURSOR"));
  EXPECT_FALSE(Screen()->HasCursor(2108));
  EXPECT_EQ(Screen()->Cursor(2108), LoadCursorW(nullptr, IDC_ARROW));
}

TEST_F(ApplicationTest, HourGlassScopesNestAndPutBackTheCursorThatWasCurrent) {
  EXPECT_EQ(Screen()->CurrentCursor(), 0);
  Screen()->SetCurrentCursor(-21);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND)) << "a current cursor shows at once";
  {
    THourGlassScope outer;
    EXPECT_EQ(Screen()->CurrentCursor(), kHourGlassCursor);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
    {
      THourGlassScope inner;
      Screen()->SetCurrentCursor(-3);
    }
    EXPECT_EQ(Screen()->CurrentCursor(), kHourGlassCursor)
        << "the inner scope restores the outer's";
  }
  EXPECT_EQ(Screen()->CurrentCursor(), -21);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));

  // An exception leaving the work still puts the cursor back.
  try {
    THourGlassScope busy;
    throw Exception("work failed");
  } catch (const Exception&) {
  }
  EXPECT_EQ(Screen()->CurrentCursor(), -21);

  // Released inside the scope (the module unloading), nothing is restored.
  {
    THourGlassScope busy;
    ReleaseApplication();
  }
  EXPECT_EQ(Screen()->CurrentCursor(), 0);
}

} // namespace
