// The host's client found through the executable's export, the services
// built on it, and the objects the plug-in hands the host, reached by DISPID.

#include "host-services-fixture.h"

#include "host-args.h"

#include <stdexcept>

namespace {

constexpr DISPID kRunCommand = 625, kGetGUIManager = 494, kProcessShortcut = 158,
                 kUpdateAfterShortcut = 156, kSetStatusText = 164, kGetSuppressMessages = 793,
                 kGetBitmapFolder = 774, kGetSecondBitmapFolder = 773,
                 kGetEmbeddedLibraryFolder = 787, kAddNotificationHandler = 527,
                 kRemoveNotificationHandler = 528, kGetTimerManager = 531, kAddHandler = 268,
                 kRemoveHandler = 269;

TEST_F(HostServices, ClientIsTheTestHostsClientFromTheExport) {
  EXPECT_EQ(Client().Intf(), Host.Client().Dispatch());
  EXPECT_EQ(ClientAPI().Intf(), Host.ClientApi().Dispatch());
}

TEST_F(HostServices, AHostWithoutTheExportHasNoClient) {
  BindClientAccess(GetModuleHandleW(L"kernel32.dll"));
  EXPECT_TRUE(Client().IsEmpty());
  EXPECT_TRUE(ClientAPI().IsEmpty());
  EXPECT_EQ(GetHostMainWindowHandle(), 0);
  EXPECT_FALSE(AreMessagesSuppressed());
}

TEST(ClientAccess, AnEmptyAnswerIsAskedAgainOnTheNextCall) {
  ReleaseClientAccess();
  ASSERT_EQ(TTestHost::Current(), nullptr);
  EXPECT_TRUE(Client().IsEmpty()) << "the export hands back nothing without a host";
  {
    TTestHost host;
    EXPECT_EQ(Client().Intf(), host.Client().Dispatch());
    ReleaseClientAccess();
  }
}

TEST_F(HostServices, SuppressMessagesIsReadOnceAndKept) {
  bool suppressed = true;
  Host.ClientApi().OnCall(kGetSuppressMessages, [&](TFakeInvocation& AInvocation) {
    AInvocation.ReturnBool(suppressed);
    return S_OK;
  });
  EXPECT_TRUE(AreMessagesSuppressed());
  suppressed = false;
  EXPECT_TRUE(AreMessagesSuppressed());
  EXPECT_EQ(CallsOf(Host.ClientApi(), kGetSuppressMessages).size(), 1u);
}

TEST_F(HostServices, RunProcessHandsBackTheHostsParameterString) {
  Host.Client().OnCall(kRunCommand, [](TFakeInvocation& AInvocation) {
    EXPECT_EQ(AInvocation.Text(0), L"TEXTEDIT:CrossProbeNotify");
    EXPECT_EQ(AInvocation.Text(1), L"Object=Pin|Name=A1");
    AInvocation.SetText(1, L"Result=Done");
    return S_OK;
  });
  std::wstring parameters = L"Object=Pin|Name=A1";
  RunProcess(L"TEXTEDIT:CrossProbeNotify", parameters);
  EXPECT_EQ(parameters, L"Result=Done");
}

TEST_F(HostServices, FoldersComeFromTheClientApi) {
  struct TCase {
    DISPID DispId;
    std::wstring (*Read)();
    const wchar_t* Answer;
  };
  const TCase cases[] = {
      {kGetBitmapFolder, GetHostBitmapFolder, L"C:\\Host\\Bitmaps\\"},
      {kGetSecondBitmapFolder, GetHostSecondBitmapFolder, L"C:\\Host\\More\\"},
      {kGetEmbeddedLibraryFolder, GetEmbeddedLibraryFolder, L"C:\\Host\\Embedded\\"},
  };
  for (const TCase& c : cases) {
    Host.ClientApi().OnCall(c.DispId, [&c](TFakeInvocation& AInvocation) {
      AInvocation.ReturnText(c.Answer);
      return S_OK;
    });
    EXPECT_EQ(c.Read(), c.Answer);
  }
  EXPECT_EQ(GetClientMessageSource(), L"Orvandel test host");
}

TEST_F(HostServices, StatusTextGoesToTheGuiManagerAndClearsWithMinusOne) {
  const auto gui = ServeObject(Host.Client(), kGetGUIManager, {L"IGUIManager"});
  SetHostStatusText(2, L"Reading flash");
  ClearHostStatusText();
  const auto calls = CallsOf(*gui.Get(), kSetStatusText);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(V_I4(&calls[0].Declared(0)), 2);
  EXPECT_EQ(std::wstring(V_BSTR(&calls[0].Declared(1))), L"Reading flash");
  EXPECT_EQ(V_I4(&calls[1].Declared(0)), -1);
  EXPECT_EQ(SysStringLen(V_BSTR(&calls[1].Declared(1))), 0u);
}

// The thread's keyboard state with only the given keys down.
class TKeyboardState {
public:
  explicit TKeyboardState(std::initializer_list<int> AKeysDown) {
    GetKeyboardState(FSaved);
    BYTE state[256] = {};
    for (int key : AKeysDown)
      state[key] = 0x80;
    SetKeyboardState(state);
  }
  ~TKeyboardState() { SetKeyboardState(FSaved); }

private:
  BYTE FSaved[256];
};

TEST_F(HostServices, ShortcutPassesAltShiftCtrlInThatOrder) {
  struct TCase {
    int Key;
    bool Alt, Shift, Ctrl;
  };
  const TCase cases[] = {{VK_MENU, true, false, false},
                         {VK_SHIFT, false, true, false},
                         {VK_CONTROL, false, false, true}};
  const auto gui = ServeObject(Host.Client(), kGetGUIManager, {L"IGUIManager"});
  for (const TCase& c : cases) {
    gui->ClearLog();
    TKeyboardState keys({c.Key});
    EXPECT_FALSE(ProcessHostShortcut('S'));
    const auto calls = CallsOf(*gui.Get(), kProcessShortcut);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(V_I4(&calls[0].Declared(0)), 'S');
    EXPECT_EQ(V_BOOL(&calls[0].Declared(1)) != 0, c.Alt) << "key " << c.Key;
    EXPECT_EQ(V_BOOL(&calls[0].Declared(2)) != 0, c.Shift) << "key " << c.Key;
    EXPECT_EQ(V_BOOL(&calls[0].Declared(3)) != 0, c.Ctrl) << "key " << c.Key;
  }
}

TEST_F(HostServices, HandledShortcutIsFollowedByTheHostsUpdate) {
  const auto gui = ServeObject(Host.Client(), kGetGUIManager, {L"IGUIManager"});
  for (const bool handled : {false, true}) {
    gui->ClearLog();
    gui->OnCall(kProcessShortcut, [handled](TFakeInvocation& AInvocation) {
      AInvocation.ReturnBool(handled);
      return S_OK;
    });
    EXPECT_EQ(ProcessHostShortcut(VK_F5), handled);
    EXPECT_EQ(CallsOf(*gui.Get(), kUpdateAfterShortcut).size(), handled ? 1u : 0u);
  }
}

TEST_F(HostServices, StringListAnswersTheHostByDispId) {
  TComPtr<TADStrings> strings(new TADStrings);
  strings->Strings() = {L"lm3s811", L"Stellaris"};
  TResultVariant count;
  ASSERT_EQ(THostArgs().Invoke(strings.Get(), 660, &count.Value), S_OK);
  EXPECT_EQ(V_I4(&count.Value), 2);

  struct TCase {
    std::wstring Text;
    int32_t Index;
  };
  const TCase cases[] = {{L"LM3S811", 0}, {L"stellaris", 1}, {L"lm3s8", -1}};
  for (const TCase& c : cases) {
    THostArgs args;
    args.Str(c.Text);
    TResultVariant index;
    ASSERT_EQ(args.Invoke(strings.Get(), 662, &index.Value), S_OK);
    EXPECT_EQ(V_I4(&index.Value), c.Index) << AsciiText(c.Text);
  }

  THostArgs add;
  add.Str(L"Cortex-M3");
  TResultVariant added;
  ASSERT_EQ(add.Invoke(strings.Get(), 663, &added.Value), S_OK);
  EXPECT_EQ(V_I4(&added.Value), 2);

  THostArgs item;
  item.I4(2);
  TResultVariant text;
  ASSERT_EQ(item.Invoke(strings.Get(), 661, &text.Value), S_OK);
  EXPECT_EQ(std::wstring(V_BSTR(&text.Value)), L"Cortex-M3");
}

TEST_F(HostServices, StringListIndexOutsideTheListFailsTheHostsCall) {
  TComPtr<TADStrings> strings(new TADStrings);
  strings->Strings() = {L"only"};
  for (const int32_t index : {-1, 1}) {
    THostArgs args;
    args.I4(index);
    TResultVariant text;
    EXPECT_TRUE(FAILED(args.Invoke(strings.Get(), 661, &text.Value))) << index;
  }
}

TEST_F(HostServices, NotificationHandlerIsRegisteredFromCreateToDestroy) {
  std::vector<std::wstring> seen;
  TComPtr<TNotificationHandler> handler =
      TNotificationHandler::Create([&](const INotification& ANotification) {
        seen.push_back(ANotification.IsEmpty() ? L"empty" : L"notification");
      });
  ASSERT_TRUE(handler->IsRegistered());
  const auto added = CallsOf(Host.Client(), kAddNotificationHandler);
  ASSERT_EQ(added.size(), 1u);
  EXPECT_EQ(V_DISPATCH(&added[0].Declared(0)), static_cast<IDispatch*>(handler.Get()));

  const auto notification = TFakeHostObject::Create({L"INotification"});
  THostArgs args;
  args.Obj(notification->Dispatch());
  EXPECT_EQ(args.Invoke(handler.Get(), 266, nullptr), S_OK);
  EXPECT_EQ(seen, std::vector<std::wstring>{L"notification"});

  handler->Destroy();
  const auto removed = CallsOf(Host.Client(), kRemoveNotificationHandler);
  ASSERT_EQ(removed.size(), 1u);
  EXPECT_EQ(V_DISPATCH(&removed[0].Declared(0)), static_cast<IDispatch*>(handler.Get()));
  handler->Destroy();
  EXPECT_EQ(CallsOf(Host.Client(), kRemoveNotificationHandler).size(), 1u)
      << "unregistered once only";
  Host.Client().ClearLog(); // drops the log's references before the handler goes
}

TEST_F(HostServices, NotificationCallbackFailureFailsTheHostsCall) {
  TComPtr<TNotificationHandler> handler = TNotificationHandler::Create(
      [](const INotification&) { throw std::runtime_error("handler failed"); });
  const auto notification = TFakeHostObject::Create({L"INotification"});
  THostArgs args;
  args.Obj(notification->Dispatch());
  EXPECT_EQ(args.Invoke(handler.Get(), 266, nullptr), E_UNEXPECTED);
  handler->Destroy();
  THostArgs again;
  again.Obj(notification->Dispatch());
  EXPECT_EQ(again.Invoke(handler.Get(), 266, nullptr), S_OK) << "no callback after Destroy";
  Host.Client().ClearLog();
}

TEST_F(HostServices, TimerHandlerOwnsTheHostsTimerId) {
  const auto timers = ServeObject(Host.Client(), kGetTimerManager, {L"ITimerManager"});
  timers->OnCall(kAddHandler, [](TFakeInvocation& AInvocation) {
    EXPECT_EQ(AInvocation.Int(1), 250);
    EXPECT_TRUE(AInvocation.Bool(2));
    AInvocation.ReturnInt(7);
    return S_OK;
  });
  std::vector<uint32_t> ticks;
  TComPtr<TTimerHandler> timer =
      TTimerHandler::Create([&](uint32_t AId) { ticks.push_back(AId); }, 250, true);
  EXPECT_EQ(timer->TimerID(), 7u);
  THostArgs tick;
  tick.I4(7);
  EXPECT_EQ(tick.Invoke(timer.Get(), 267, nullptr), S_OK);
  EXPECT_EQ(ticks, std::vector<uint32_t>{7});
  timer->Destroy();
  const auto removed = CallsOf(*timers.Get(), kRemoveHandler);
  ASSERT_EQ(removed.size(), 1u);
  EXPECT_EQ(V_I4(&removed[0].Declared(0)), 7);
  timers->ClearLog();
}

TEST_F(HostServices, TimerGoesQuietlyWhenTheHostFailsItsRemoval) {
  const auto timers = ServeObject(Host.Client(), kGetTimerManager, {L"ITimerManager"});
  timers->OnCall(kAddHandler, [](TFakeInvocation& AInvocation) {
    AInvocation.ReturnInt(3);
    return S_OK;
  });
  timers->OnCall(kRemoveHandler, [](TFakeInvocation& AInvocation) {
    return AInvocation.Raise(L"The timer manager is gone");
  });
  TComPtr<TTimerHandler> timer = TTimerHandler::Create([](uint32_t) {}, 100, true);
  ASSERT_EQ(timer->TimerID(), 3u);
  EXPECT_NO_THROW(timer->Destroy()) << "owners call it while they are destroyed";
  EXPECT_EQ(timer->TimerID(), 0u);
  EXPECT_NO_THROW(timer->Destroy());
  EXPECT_EQ(CallsOf(*timers.Get(), kRemoveHandler).size(), 1u) << "removed once only";
}

TEST_F(HostServices, TimerCallbackFailureFailsOnlyTheHostsCall) {
  const auto timers = ServeObject(Host.Client(), kGetTimerManager, {L"ITimerManager"});
  TComPtr<TTimerHandler> timer =
      TTimerHandler::Create([](uint32_t) { throw std::runtime_error("tick failed"); }, 100, true);
  THostArgs tick;
  tick.I4(0);
  EXPECT_EQ(tick.Invoke(timer.Get(), 267, nullptr), E_UNEXPECTED);
  timer->Destroy();
}

TEST_F(HostServices, ClientThatIsNoDispatchObjectIsNoClientUntilItIs) {
  Host.Client().SetRefusesDispatchQuery(true);
  IClient none;
  EXPECT_NO_THROW(none = Client());
  EXPECT_FALSE(none);
  Host.Client().SetRefusesDispatchQuery(false);
  EXPECT_EQ(Client().Intf(), Host.Client().Dispatch()) << "asked again, not cached empty";
}

TEST(ClientAccess, TimerWithoutClientNeitherRegistersNorUnregisters) {
  ReleaseClientAccess();
  ASSERT_EQ(TTestHost::Current(), nullptr);
  TComPtr<TTimerHandler> timer = TTimerHandler::Create([](uint32_t) {}, 100, true);
  EXPECT_EQ(timer->TimerID(), 0u);
  {
    TTestHost host; // a client appears before the timer goes: still nothing to remove
    const auto timers = TFakeHostObject::Create({L"ITimerManager"});
    host.Client().OnCall(kGetTimerManager, [&](TFakeInvocation& AInvocation) {
      AInvocation.ReturnObject(timers->Dispatch());
      return S_OK;
    });
    timer->Destroy();
    EXPECT_TRUE(timers->Calls().empty());
    ReleaseClientAccess();
  }
}

} // namespace
