// External forms, server views and the hosting panel in real windows: the
// host's holder is a fake host object whose window is a real one of the
// test, and every host call goes by DISPID.

#include "host-forms.h"
#include "host-utilities.h"
#include "server-views.h"
#include "test-host-access.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

TTestHost& SharedTestHost() {
  static TTestHost host;
  return host;
}

namespace {

constexpr DISPID kSetParentWindowHolder = 49, kAttach = 50, kDetach = 51, kGetBounds = 52,
                 kGetCaption = 53, kGetHandle = 54, kSetBounds = 56, kIsDockingPanel = 60,
                 kGetViewName = 61, kHolderGetHandle = 69, kHolderCaptionChanged = 71,
                 kIsShuttingDown = 504, kFindHelpTopic = 963, kFindDialogHelpTopic = 964,
                 kGetGUIManager = 494, kProcessShortcut = 158, kSetFocus = 57,
                 kHolderSetDialogWindow = 70;

void PumpMessages() {
  MSG message;
  for (int round = 0; round < 20; ++round)
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
}

LRESULT CALLBACK PlainWindowProc(HWND AWindow, UINT AMessage, WPARAM AWParam, LPARAM ALParam) {
  return DefWindowProcW(AWindow, AMessage, AWParam, ALParam);
}

HWND MakeWindow(const wchar_t* AClass, HWND AParent, int AWidth, int AHeight) {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  if (!GetClassInfoExW(GetModuleHandleW(nullptr), AClass, &windowClass)) {
    windowClass.lpfnWndProc = &PlainWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = AClass;
    RegisterClassExW(&windowClass);
  }
  const DWORD style = AParent ? WS_CHILD | WS_VISIBLE : WS_OVERLAPPEDWINDOW | WS_VISIBLE;
  return CreateWindowExW(0, AClass, L"", style, 0, 0, AWidth, AHeight, AParent, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

RECT RectInParent(HWND AWindow) {
  RECT rect = {};
  GetWindowRect(AWindow, &rect);
  MapWindowPoints(nullptr, GetParent(AWindow), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

int32_t HandleOf(HWND AWindow) {
  return int32_t(reinterpret_cast<intptr_t>(AWindow));
}

// A holder window of the host: a real top-level window behind a fake
// IExternalFormHolder that answers its handle.
class THostHolder : public ::testing::Test {
protected:
  void SetUp() override {
    SharedTestHost();
    FHolderWindow = MakeWindow(L"THostHolderWindow", nullptr, 640, 480);
    ASSERT_NE(FHolderWindow, nullptr) << "no display?";
    FHolder = TFakeHostObject::Create({L"IExternalFormHolder"});
    FHolder->OnCall(kHolderGetHandle, [this](TFakeInvocation& AInvocation) {
      AInvocation.ReturnInt(HandleOf(FHolderWindow));
      return S_OK;
    });
  }
  void TearDown() override {
    DestroyWindow(FHolderWindow);
    PumpMessages();
  }
  HRESULT Call(IDispatch* AObject, DISPID ADispId, THostArgs& AArgs, VARIANT* AResult = nullptr) {
    return AArgs.Invoke(AObject, ADispId, AResult);
  }
  HRESULT Call(IDispatch* AObject, DISPID ADispId, VARIANT* AResult = nullptr) {
    THostArgs none;
    return none.Invoke(AObject, ADispId, AResult);
  }
  uint32_t FormHandle(IDispatch* AView) {
    TResultVariant result;
    EXPECT_EQ(Call(AView, kGetHandle, &result.Value), S_OK);
    return uint32_t(V_I4(&result.Value));
  }

  HWND FHolderWindow = nullptr;
  TComPtr<TFakeHostObject> FHolder;
};

// A form that tells when it is freed.
class TWatchedForm : public TServerPanelForm {
public:
  explicit TWatchedForm(bool* AFreed) : FFreed(AFreed) {}
  ~TWatchedForm() override { *FFreed = true; }

private:
  bool* FFreed;
};

} // namespace

TEST_F(THostHolder, ExternalFormAttachesToResizesInAndDetachesFromTheHoldersWindow) {
  auto* form = new TServerViewForm;
  form->SetCaption(L"Pins");
  TComPtr<IDispatch> view(new TExternalForm(form, true));

  THostArgs holder;
  holder.Obj(FHolder->Dispatch());
  ASSERT_EQ(Call(view.Get(), kSetParentWindowHolder, holder), S_OK);
  EXPECT_EQ(FormHandle(view.Get()), 0u) << "storing the holder does not attach";

  ASSERT_EQ(Call(view.Get(), kAttach), S_OK);
  HWND window = reinterpret_cast<HWND>(uintptr_t(FormHandle(view.Get())));
  ASSERT_TRUE(IsWindow(window));
  EXPECT_EQ(GetParent(window), FHolderWindow);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(GetWindowLongW(window, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME), 0) << "borderless";

  THostArgs bounds;
  bounds.I4(10).I4(20).I4(300).I4(200);
  ASSERT_EQ(Call(view.Get(), kSetBounds, bounds), S_OK);
  const RECT placed = RectInParent(window);
  EXPECT_EQ(placed.left, 10);
  EXPECT_EQ(placed.top, 20);
  EXPECT_EQ(placed.right - placed.left, 300);
  EXPECT_EQ(placed.bottom - placed.top, 200);

  int32_t left = 0, top = 0, width = 0, height = 0;
  THostArgs out;
  out.Ref(VT_I4, &left).Ref(VT_I4, &top).Ref(VT_I4, &width).Ref(VT_I4, &height);
  ASSERT_EQ(Call(view.Get(), kGetBounds, out), S_OK);
  EXPECT_EQ((std::vector<int32_t>{left, top, width, height}),
            (std::vector<int32_t>{10, 20, 300, 200}));

  TResultVariant caption;
  ASSERT_EQ(Call(view.Get(), kGetCaption, &caption.Value), S_OK);
  EXPECT_EQ(std::wstring(V_BSTR(&caption.Value)), L"Pins");

  ASSERT_EQ(Call(view.Get(), kDetach), S_OK);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(FormHandle(view.Get()), 0u);
  EXPECT_FALSE(form->Visible());
  EXPECT_EQ(form->ParentWindow(), nullptr);
}

TEST_F(THostHolder, AnEmptyHolderDetachesTheForm) {
  auto* form = new TServerViewForm;
  TComPtr<IDispatch> view(new TExternalForm(form, true));
  THostArgs holder;
  holder.Obj(FHolder->Dispatch());
  ASSERT_EQ(Call(view.Get(), kSetParentWindowHolder, holder), S_OK);
  ASSERT_EQ(Call(view.Get(), kAttach), S_OK);
  HWND window = form->WindowHandle();
  ASSERT_TRUE(IsWindow(window));

  THostArgs empty;
  empty.Obj(nullptr);
  ASSERT_EQ(Call(view.Get(), kSetParentWindowHolder, empty), S_OK);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(form->ParentWindow(), nullptr);
}

TEST_F(THostHolder, PanelViewIsADockingPanelAndItsFormDrawsItsCaptionIntoTheHolder) {
  auto* form = new TServerPanelForm;
  TComPtr<IDispatch> view(new TServerPanelView(L"BoundaryScanPins", form));
  EXPECT_EQ(form->FPanelName, L"BoundaryScanPins");

  TResultVariant docking, name;
  ASSERT_EQ(Call(view.Get(), kIsDockingPanel, &docking.Value), S_OK);
  EXPECT_EQ(V_BOOL(&docking.Value), VARIANT_TRUE);
  ASSERT_EQ(Call(view.Get(), kGetViewName, &name.Value), S_OK);
  EXPECT_EQ(std::wstring(V_BSTR(&name.Value)), L"BoundaryScanPins");

  THostArgs holder;
  holder.Obj(FHolder->Dispatch());
  ASSERT_EQ(Call(view.Get(), kSetParentWindowHolder, holder), S_OK);
  EXPECT_EQ(form->ParentWindowHolder().Intf(), FHolder->Dispatch());
  ASSERT_EQ(Call(view.Get(), kAttach), S_OK);

  FHolder->ClearLog();
  form->SetCaption(L"Boundary Scan Pins");
  wchar_t text[64] = {};
  GetWindowTextW(FHolderWindow, text, 64);
  EXPECT_EQ(std::wstring(text), L"Boundary Scan Pins");
  bool told = false;
  for (const TFakeCall& call : FHolder->Calls())
    told |= call.DispId == kHolderCaptionChanged;
  EXPECT_TRUE(told);

  // The message the host sends panels is consumed without effect.
  EXPECT_EQ(SendMessageW(form->WindowHandle(), 0x0BD7, 1, 2), 0);
  EXPECT_TRUE(FHolder->Errors().empty());
}

TEST_F(THostHolder, ServiceNamesOfViewsAndOfTheHostingPanel) {
  TComPtr<IDispatch> view(new TServerPanelView(L"View", new TServerPanelForm));
  TExternalFormComponent panel(FHolderWindow);
  struct TCase {
    IDispatch* Object;
    const wchar_t* Name;
    bool Supported;
  };
  const TCase cases[] = {
      {view.Get(), L"ServerView", true},
      {view.Get(), L"DRAGDROPTARGET", true},
      {view.Get(), L"externalform", true},
      {view.Get(), L"ExternalFormHolder", false},
      {panel.HolderDispatch(), L"externalformholder", true},
      {panel.HolderDispatch(), L"ExternalForm", false},
      {panel.HolderDispatch(), L"ServerView", false},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(SupportsService(c.Object, c.Name), c.Supported) << Narrow(c.Name);
}

TEST_F(THostHolder, AnExternalFormsEndFreesTheFormAtOnceOnlyWhenTheHostIsGoing) {
  struct TCase {
    const char* Name;
    bool ShuttingDown;
    bool WithWindow;
    bool FreedAtOnce;
  };
  const TCase cases[] = {
      {"host shutting down", true, true, true},
      {"form with a window", false, true, false},
      {"form without a window", false, false, false},
  };
  for (const TCase& c : cases) {
    SharedTestHost().Client().OnCall(kIsShuttingDown, [&](TFakeInvocation& AInvocation) {
      AInvocation.ReturnBool(c.ShuttingDown);
      return S_OK;
    });
    bool freed = false;
    auto* form = new TWatchedForm(&freed);
    if (c.WithWindow)
      form->Handle();
    { TComPtr<IDispatch> view(new TExternalForm(form, false)); }
    EXPECT_EQ(freed, c.FreedAtOnce) << c.Name;
    PumpMessages();
    EXPECT_TRUE(freed) << c.Name << ": freed after the pending messages";
  }
  SharedTestHost().Client().OnCall(kIsShuttingDown, [](TFakeInvocation& AInvocation) {
    AInvocation.ReturnBool(false);
    return S_OK;
  });
}

TEST_F(THostHolder, HostingPanelShowsAPlugInFormInsideItAndResizesIt) {
  auto* form = new TServerViewForm;
  form->SetCaption(L"Hosted");
  TComPtr<TExternalForm> external(new TExternalForm(form, true));
  auto panel = std::make_unique<TExternalFormComponent>(FHolderWindow);
  panel->SetBounds(5, 5, 400, 300);

  panel->SetExternalForm(IExternalForm::FromDispatch(external.Get()));
  EXPECT_EQ(panel->Caption(), L"Hosted");
  HWND window = panel->ExternHandle();
  ASSERT_TRUE(IsWindow(window));
  EXPECT_EQ(GetParent(window), panel->Handle());
  EXPECT_TRUE(IsWindowVisible(window));

  panel->SetBounds(5, 5, 250, 120);
  const RECT placed = RectInParent(window);
  EXPECT_EQ(placed.left, 0);
  EXPECT_EQ(placed.top, 0);
  EXPECT_EQ(placed.right, 250);
  EXPECT_EQ(placed.bottom, 120);

  // The same form again changes nothing: the window stays.
  panel->SetExternalForm(IExternalForm::FromDispatch(external.Get()));
  EXPECT_EQ(panel->ExternHandle(), window);

  panel.reset();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(form->ParentWindow(), nullptr);
}

TEST_F(THostHolder, HostingPanelHandsAHostFormItsHolderAndSizesIt) {
  TComPtr<TFakeHostObject> hostForm = TFakeHostObject::Create({L"IExternalForm"});
  hostForm->OnCall(kGetCaption, [](TFakeInvocation& AInvocation) {
    AInvocation.ReturnText(L"Host form");
    return S_OK;
  });
  TExternalFormComponent panel(FHolderWindow);
  panel.SetExternalForm(IExternalForm::FromDispatch(hostForm->Dispatch()));

  std::vector<DISPID> order;
  IDispatch* givenHolder = nullptr;
  for (const TFakeCall& call : hostForm->Calls()) {
    order.push_back(call.DispId);
    if (call.DispId == kSetParentWindowHolder)
      givenHolder = V_DISPATCH(&call.Declared(0));
  }
  EXPECT_EQ(givenHolder, panel.HolderDispatch());
  const auto at = [&](DISPID AId) {
    return std::find(order.begin(), order.end(), AId) - order.begin();
  };
  EXPECT_LT(at(kSetParentWindowHolder), at(kAttach)) << "attached once it knows its holder";

  TResultVariant handle;
  THostArgs none;
  ASSERT_EQ(none.Invoke(panel.HolderDispatch(), kHolderGetHandle, &handle.Value), S_OK);
  EXPECT_EQ(V_I4(&handle.Value), HandleOf(panel.Handle()));
  EXPECT_EQ(none.Invoke(panel.HolderDispatch(), 72, nullptr), E_NOTIMPL);

  hostForm->ClearLog();
  panel.SetBounds(0, 0, 180, 90);
  bool sized = false;
  for (const TFakeCall& call : hostForm->Calls())
    if (call.DispId == kSetBounds)
      sized |= V_I4(&call.Declared(2)) == 180 && V_I4(&call.Declared(3)) == 90;
  EXPECT_TRUE(sized);
  EXPECT_TRUE(hostForm->Errors().empty());
}

TEST_F(THostHolder, HostingPanelSwitchesToAnotherFormWithoutDetachingTheFirst) {
  const auto hostForm = [](const wchar_t* ACaption) {
    TComPtr<TFakeHostObject> form = TFakeHostObject::Create({L"IExternalForm"});
    form->OnCall(kGetCaption, [ACaption](TFakeInvocation& AInvocation) {
      AInvocation.ReturnText(ACaption);
      return S_OK;
    });
    return form;
  };
  const TComPtr<TFakeHostObject> first = hostForm(L"First"), second = hostForm(L"Second");
  // The panel goes first; the forms' logs, which hold its holder, are
  // emptied before it goes.
  auto ownedPanel = std::make_unique<TExternalFormComponent>(FHolderWindow);
  TExternalFormComponent& panel = *ownedPanel;
  panel.SetBounds(0, 0, 300, 200);
  panel.SetExternalForm(IExternalForm::FromDispatch(first->Dispatch()));
  first->ClearLog();

  // An empty form and the shown form itself change nothing.
  panel.SwitchExternalForm(IExternalForm());
  panel.SwitchExternalForm(IExternalForm::FromDispatch(first->Dispatch()));
  EXPECT_TRUE(first->Calls().empty());
  EXPECT_EQ(panel.ExternalForm().Intf(), first->Dispatch());

  panel.SwitchExternalForm(IExternalForm::FromDispatch(second->Dispatch()));
  EXPECT_EQ(panel.ExternalForm().Intf(), second->Dispatch());
  EXPECT_EQ(panel.Caption(), L"Second");
  for (const TFakeCall& call : first->Calls())
    EXPECT_NE(call.DispId, kDetach) << "the previous form is left as it is";
  std::vector<DISPID> order;
  for (const TFakeCall& call : second->Calls())
    if (call.DispId != kGetCaption)
      order.push_back(call.DispId);
  constexpr DISPID kShow = 58;
  EXPECT_EQ(order, (std::vector<DISPID>{kSetParentWindowHolder, kSetBounds, kAttach, kShow}));
  const TFakeCall& sized = *std::find_if(second->Calls().begin(), second->Calls().end(),
                                         [](const TFakeCall& c) { return c.DispId == kSetBounds; });
  RECT client = {};
  GetClientRect(panel.Handle(), &client);
  EXPECT_EQ(V_I4(&sized.Declared(0)), 0);
  EXPECT_EQ(V_I4(&sized.Declared(1)), 0);
  EXPECT_EQ(V_I4(&sized.Declared(2)), client.right);
  EXPECT_EQ(V_I4(&sized.Declared(3)), client.bottom);
  first->ClearLog();
  second->ClearLog();
  ownedPanel.reset();
}

TEST_F(THostHolder, HostingPanelSwitchesTransparencyByItsMessage) {
  constexpr UINT kSetTransparent = 0x0401;
  TExternalFormComponent panel(FHolderWindow);
  EXPECT_FALSE(panel.Transparent());
  EXPECT_EQ(SendMessageW(panel.Handle(), kSetTransparent, 1, 0), 1);
  EXPECT_TRUE(panel.Transparent());
  EXPECT_EQ(SendMessageW(panel.Handle(), kSetTransparent, 0, 0), 1);
  EXPECT_FALSE(panel.Transparent());
}

// ---- help ---------------------------------------------------------------------

namespace {

class THelpForm : public ::testing::Test {
protected:
  void SetUp() override {
    SharedTestHost().ClientApi().OnCall(kFindDialogHelpTopic, [](TFakeInvocation& AInvocation) {
      AInvocation.SetText(1, L"Orv");
      AInvocation.ReturnBool(true);
      return S_OK;
    });
    SharedTestHost().ClientApi().OnCall(kFindHelpTopic, [this](TFakeInvocation& AInvocation) {
      FKeywords.push_back(AInvocation.Text(0));
      AInvocation.ReturnBool(false); // nothing is opened
      return S_OK;
    });
    FGui = TFakeHostObject::Create({L"IGUIManager"});
    SharedTestHost().Client().OnCall(kGetGUIManager, [this](TFakeInvocation& AInvocation) {
      AInvocation.ReturnObject(FGui->Dispatch());
      return S_OK;
    });
    FForm.SetName(L"PinsForm");
    FForm.SetBorderStyle(TFormBorder::None);
    FForm.Show();
    FPanel = MakeWindow(L"TPanelX", FForm.Handle(), 200, 100);
    TFormWithHelp::SetControlName(FPanel, L"PanelTop");
    FButton = MakeWindow(L"TButtonX", FPanel, 80, 20);
  }
  void TearDown() override { SetModifiers(false); }
  void SetModifiers(bool ACtrl) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = ACtrl ? 0x80 : 0;
    SetKeyboardState(keys);
  }

  TServerViewForm FForm;
  HWND FPanel = nullptr, FButton = nullptr;
  std::vector<std::wstring> FKeywords;
  TComPtr<TFakeHostObject> FGui;
};

} // namespace

TEST_F(THelpForm, AnUnnamedControlIsKnownByItsClassWithoutTheLeadingT) {
  EXPECT_EQ(FForm.GetHelpControlName(FButton), L"ButtonX");
  EXPECT_EQ(FForm.GetHelpControlName(FPanel), L"PanelTop");
  EXPECT_EQ(FForm.GetHelpControlName(nullptr), L"PinsForm");
}

TEST_F(THelpForm, F1OnAChildAsksTheHostForTheKeywordOfItsPath) {
  EXPECT_TRUE(FForm.ChildKey(FButton, VK_F1));
  ASSERT_EQ(FKeywords.size(), 1u);
  EXPECT_EQ(FKeywords[0], L"Orv.Dlg.PinsForm.PanelTop.ButtonX");
  EXPECT_TRUE(FForm.FIgnoreWhatsThis);
  EXPECT_FALSE(FForm.ChildKey(FButton, VK_F2));
}

TEST_F(THelpForm, F1WithCtrlGoesToTheHostsShortcutsNotToHelp) {
  SetModifiers(true);
  EXPECT_TRUE(FForm.ChildKey(FButton, VK_F1));
  EXPECT_TRUE(FKeywords.empty());
  ASSERT_FALSE(FGui->Calls().empty());
  const TFakeCall& call = FGui->Calls().back();
  EXPECT_EQ(call.DispId, kProcessShortcut);
  EXPECT_EQ(V_I4(&call.Declared(0)), VK_F1);
  EXPECT_EQ(V_BOOL(&call.Declared(1)), VARIANT_FALSE); // Alt
  EXPECT_EQ(V_BOOL(&call.Declared(2)), VARIANT_FALSE); // Shift
  EXPECT_EQ(V_BOOL(&call.Declared(3)), VARIANT_TRUE);  // Ctrl
}

TEST_F(THelpForm, ServerViewFormWantsEveryKey) {
  EXPECT_EQ(SendMessageW(FForm.Handle(), WM_GETDLGCODE, 0, 0), 7);
}

TEST(ServerDialog, IsCentredOnTheMonitorAndKeepsItsSizeableFrame) {
  SharedTestHost();
  for (const bool sizeable : {false, true}) {
    TServerDialog dialog(sizeable);
    dialog.Show();
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(MonitorFromWindow(GetActiveWindow(), MONITOR_DEFAULTTONEAREST), &info);
    RECT rect = {};
    GetWindowRect(dialog.Handle(), &rect);
    EXPECT_EQ(rect.left, info.rcMonitor.left +
                             (info.rcMonitor.right - info.rcMonitor.left - dialog.Width()) / 2);
    EXPECT_EQ(rect.top, info.rcMonitor.top +
                            (info.rcMonitor.bottom - info.rcMonitor.top - dialog.Height()) / 2);
    EXPECT_EQ((GetWindowLongW(dialog.Handle(), GWL_STYLE) & WS_THICKFRAME) != 0, sizeable);
  }
}

namespace {

constexpr DISPID kGetTimerManager = 531, kAddHandler = 268, kRemoveHandler = 269,
                 kHandleTimerEvent = 267;

// A panel form that counts its timer ticks.
class TTickingPanel : public TServerPanelForm {
public:
  std::vector<uint32_t> Ticks;
  void DoTimer(uint32_t AId) override { Ticks.push_back(AId); }
};

} // namespace

TEST(ServerPanelForm, OwnsADisabledHostTimerThatTicksItAndGoesWithIt) {
  struct TCase {
    const char* Name;
    HRESULT RemoveAnswer; // a host that is going may fail the removal
  };
  const TCase cases[] = {{"host removes the timer", S_OK}, {"host fails the removal", E_FAIL}};
  for (const TCase& c : cases) {
    const auto timers = TFakeHostObject::Create({L"ITimerManager"});
    timers->OnCall(kAddHandler, [](TFakeInvocation& AInvocation) {
      AInvocation.ReturnInt(9);
      return S_OK;
    });
    const HRESULT removeAnswer = c.RemoveAnswer;
    timers->OnCall(kRemoveHandler, [removeAnswer](TFakeInvocation&) { return removeAnswer; });
    SharedTestHost().Client().OnCall(kGetTimerManager, [timers](TFakeInvocation& AInvocation) {
      AInvocation.ReturnObject(timers->Dispatch());
      return S_OK;
    });
    {
      TTickingPanel panel;
      ASSERT_NE(panel.TimerHandler(), nullptr) << c.Name;
      EXPECT_EQ(panel.TimerHandler()->TimerID(), 9u) << c.Name;
      std::vector<TFakeCall> added;
      for (const TFakeCall& call : timers->Calls())
        if (call.DispId == kAddHandler)
          added.push_back(call);
      ASSERT_EQ(added.size(), 1u) << c.Name;
      EXPECT_EQ(V_I4(&added[0].Declared(1)), 500) << c.Name;
      EXPECT_EQ(V_BOOL(&added[0].Declared(2)), VARIANT_FALSE) << c.Name << ": created disabled";

      THostArgs tick;
      tick.I4(9);
      EXPECT_EQ(tick.Invoke(panel.TimerHandler(), kHandleTimerEvent, nullptr), S_OK) << c.Name;
      EXPECT_EQ(panel.Ticks, std::vector<uint32_t>{9}) << c.Name;
    } // the panel's end must not raise, whatever the host answers
    int removed = 0;
    for (const TFakeCall& call : timers->Calls())
      if (call.DispId == kRemoveHandler && V_I4(&call.Declared(0)) == 9)
        ++removed;
    EXPECT_EQ(removed, 1) << c.Name;
  }
}

// ---- modal dialogs --------------------------------------------------------

namespace {

constexpr DISPID kGetMainWindowHandle = 492;
// Steps of a test run from a thread timer inside the dialog's own loop.
constexpr UINT kStepInterval = 100;
// Far beyond any step: ends a loop that would otherwise wait for a person.
constexpr UINT kModalDeadline = 15000;
constexpr int kTimedOut = -1;

HWND MakeControl(const wchar_t* AClass, HWND AParent, DWORD AStyle, int AId, int ATop) {
  return CreateWindowExW(0, AClass, L"", WS_CHILD | WS_VISIBLE | AStyle, 10, ATop, 80, 22, AParent,
                         reinterpret_cast<HMENU>(intptr_t(AId)), GetModuleHandleW(nullptr),
                         nullptr);
}

class TModalDialog : public ::testing::Test {
public:
  struct TStep {
    std::function<void(TModalDialog&)> Run;
  };

  void SetUp() override {
    SharedTestHost();
    FOwner = MakeWindow(L"THostMainWindow", nullptr, 800, 600);
    ASSERT_NE(FOwner, nullptr) << "no display?";
    SharedTestHost().Client().OnCall(kGetMainWindowHandle, [this](TFakeInvocation& AInvocation) {
      AInvocation.ReturnInt(HandleOf(FOwner));
      return S_OK;
    });
    FDialog = std::make_unique<TRefusingDialog>();
    FDialog->SetBounds(0, 0, 300, 200);
    FDialog->PositionDialog();
    HWND window = FDialog->Handle();
    FEdit = MakeControl(L"EDIT", window, WS_TABSTOP | ES_AUTOHSCROLL, 100, 10);
    FOk = MakeControl(L"BUTTON", window, WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, 40);
    FCancel = MakeControl(L"BUTTON", window, WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL, 70);
  }
  void TearDown() override {
    FDialog.reset();
    SharedTestHost().Client().OnCall(kGetMainWindowHandle, [](TFakeInvocation& AInvocation) {
      AInvocation.ReturnInt(0);
      return S_OK;
    });
    DestroyWindow(FOwner);
    PumpMessages();
  }

  // Runs the dialog modally; each step runs on its own timer tick while the
  // dialog's loop runs. What the dialog and its owner looked like during the
  // first step is kept.
  int RunModal(std::vector<TStep> ASteps) {
    FSteps = std::move(ASteps);
    FNextStep = 0;
    Current() = this;
    const UINT_PTR steps = SetTimer(nullptr, 0, kStepInterval, &StepTimer);
    const UINT_PTR deadline = SetTimer(nullptr, 0, kModalDeadline, &DeadlineTimer);
    const int result = FDialog->ShowModal();
    KillTimer(nullptr, steps);
    KillTimer(nullptr, deadline);
    Current() = nullptr;
    return result;
  }

  static TModalDialog*& Current() {
    static TModalDialog* current = nullptr;
    return current;
  }
  static void CALLBACK StepTimer(HWND, UINT, UINT_PTR, DWORD) {
    TModalDialog* test = Current();
    if (!test || test->FNextStep >= test->FSteps.size())
      return;
    if (test->FNextStep == 0) {
      test->FSeenOwnerEnabled = IsWindowEnabled(test->FOwner) != FALSE;
      test->FSeenVisible = IsWindowVisible(test->FDialog->WindowHandle()) != FALSE;
      test->FSeenOwner = GetWindow(test->FDialog->WindowHandle(), GW_OWNER);
      test->FSeenFocus = GetFocus();
    }
    test->FSteps[test->FNextStep++].Run(*test);
  }
  static void CALLBACK DeadlineTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (TModalDialog* test = Current())
      test->FDialog->SetModalResult(kTimedOut);
  }

  // A dialog that can refuse to close.
  class TRefusingDialog : public TServerDialog {
  public:
    bool FRefuseClose = false;
    bool CloseQuery() override { return !FRefuseClose; }
  };

  HWND FOwner = nullptr;
  std::unique_ptr<TRefusingDialog> FDialog;
  HWND FEdit = nullptr, FOk = nullptr, FCancel = nullptr;
  std::vector<TStep> FSteps;
  size_t FNextStep = 0;
  bool FSeenOwnerEnabled = true;
  bool FSeenVisible = false;
  HWND FSeenOwner = nullptr;
  HWND FSeenFocus = nullptr;
};

void PostKey(HWND AWindow, WORD AKey) {
  PostMessageW(AWindow, WM_KEYDOWN, AKey, 1);
}

} // namespace

TEST_F(TModalDialog, EndsWithTheResultOfHowItWasClosed) {
  using TStep = TModalDialog::TStep;
  struct TCase {
    const char* Name;
    std::vector<TStep> Steps;
    int Expected;
  };
  const std::vector<TCase> cases = {
      {"closing the window",
       {{[](TModalDialog& T) { PostMessageW(T.FDialog->WindowHandle(), WM_CLOSE, 0, 0); }}},
       mrCancel},
      {"clicking OK", {{[](TModalDialog& T) { SendMessageW(T.FOk, BM_CLICK, 0, 0); }}}, mrOk},
      {"a result set by the program",
       {{[](TModalDialog& T) { T.FDialog->SetModalResult(mrRetry); }}},
       mrRetry},
      {"Escape in the edit", {{[](TModalDialog&) { PostKey(GetFocus(), VK_ESCAPE); }}}, mrCancel},
      {"Enter in the edit", {{[](TModalDialog&) { PostKey(GetFocus(), VK_RETURN); }}}, mrOk},
      {"Escape on the OK button",
       {{[](TModalDialog& T) { SetFocus(T.FOk); }},
        {[](TModalDialog&) { PostKey(GetFocus(), VK_ESCAPE); }}},
       mrCancel},
      {"Enter on the Cancel button",
       {{[](TModalDialog& T) { SetFocus(T.FCancel); }},
        {[](TModalDialog&) { PostKey(GetFocus(), VK_RETURN); }}},
       mrCancel},
      {"a close the dialog refuses, then No",
       {{[](TModalDialog& T) {
          T.FDialog->FRefuseClose = true;
          PostMessageW(T.FDialog->WindowHandle(), WM_CLOSE, 0, 0);
        }},
        {[](TModalDialog& T) {
          EXPECT_EQ(T.FDialog->ModalResult(), mrNone) << "still open";
          T.FDialog->FRefuseClose = false;
          T.FDialog->SetModalResult(mrNo);
        }}},
       mrNo},
  };
  for (const TCase& c : cases) {
    FSeenOwnerEnabled = true;
    FSeenVisible = false;
    const int result = RunModal(c.Steps);
    EXPECT_EQ(result, c.Expected) << c.Name;
    EXPECT_FALSE(FSeenOwnerEnabled) << c.Name << ": the host's window is disabled meanwhile";
    EXPECT_TRUE(FSeenVisible) << c.Name;
    EXPECT_EQ(FSeenOwner, FOwner) << c.Name << ": owned by the host's main window";
    EXPECT_EQ(FSeenFocus, FEdit) << c.Name << ": the first tab stop has the focus";
    EXPECT_TRUE(IsWindowEnabled(FOwner)) << c.Name;
    EXPECT_FALSE(IsWindowVisible(FDialog->WindowHandle())) << c.Name;
    EXPECT_FALSE(FDialog->Modal()) << c.Name;
    FDialog->FRefuseClose = false;
  }
}

TEST_F(TModalDialog, AQuitMessageEndsTheLoopAndReachesTheOuterLoop) {
  const int result = RunModal({{[](TModalDialog&) { PostQuitMessage(7); }}});
  EXPECT_EQ(result, mrCancel);
  MSG quit = {};
  ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(quit.wParam, 7u);
  EXPECT_TRUE(IsWindowEnabled(FOwner));
}

TEST_F(TModalDialog, IsCentredOnTheMonitorWhileModal) {
  RECT seen = {};
  RunModal({{[&seen](TModalDialog& T) {
    GetWindowRect(T.FDialog->WindowHandle(), &seen);
    T.FDialog->SetModalResult(mrOk);
  }}});
  MONITORINFO info = {};
  info.cbSize = sizeof(info);
  GetMonitorInfoW(MonitorFromWindow(FOwner, MONITOR_DEFAULTTONEAREST), &info);
  EXPECT_EQ(seen.left,
            info.rcMonitor.left + (info.rcMonitor.right - info.rcMonitor.left - 300) / 2);
  EXPECT_EQ(seen.top, info.rcMonitor.top + (info.rcMonitor.bottom - info.rcMonitor.top - 200) / 2);
}

TEST(ServerDialog, OnlyASizeableDialogKeepsTheSystemsFrameHandling) {
  SharedTestHost();
  for (const bool sizeable : {false, true}) {
    TServerDialog dialog(sizeable);
    dialog.Show();
    HWND window = dialog.Handle();
    const HMENU menu = GetSystemMenu(window, FALSE);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetMenuState(menu, SC_SIZE, MF_BYCOMMAND) != UINT(-1), sizeable)
        << "sizeable " << sizeable << ": the system menu offers Size";
    RECT rect = {};
    GetWindowRect(window, &rect);
    const LRESULT hit = SendMessageW(window, WM_NCHITTEST, 0,
                                     MAKELPARAM(rect.right - 1, (rect.top + rect.bottom) / 2));
    EXPECT_EQ(hit == HTRIGHT, sizeable) << "sizeable " << sizeable << ": hit " << hit;
  }
}

// ---- dialog keys ----------------------------------------------------------

namespace {

LRESULT CALLBACK WantsTabProc(HWND AWindow, UINT AMessage, WPARAM AWParam, LPARAM ALParam) {
  if (AMessage == WM_GETDLGCODE)
    return DLGC_WANTTAB;
  return DefWindowProcW(AWindow, AMessage, AWParam, ALParam);
}

HWND MakeTabWanter(HWND AParent, int ATop) {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  if (!GetClassInfoExW(GetModuleHandleW(nullptr), L"TTabWanter", &windowClass)) {
    windowClass.lpfnWndProc = &WantsTabProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TTabWanter";
    RegisterClassExW(&windowClass);
  }
  return MakeControl(L"TTabWanter", AParent, WS_TABSTOP, 0, ATop);
}

void PumpDialogMessages() {
  MSG message;
  for (int round = 0; round < 20; ++round)
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
      if (!IsFormDialogMessage(message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
}

void SetShift(bool ADown) {
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_SHIFT] = ADown ? 0x80 : 0;
  keys[VK_MENU] = 0;
  SetKeyboardState(keys);
}

// A plug-in form with a button, a hosting panel that shows a second
// plug-in form with two buttons, a disabled button, a static text and a
// last button; the tab order runs through the hosted form's controls.
class TTabOrder : public ::testing::Test {
public:
  void SetUp() override {
    SharedTestHost();
    FOuter.SetBounds(50, 50, 500, 400);
    FOuter.Show();
    HWND outer = FOuter.Handle();
    FFirst = MakeControl(L"BUTTON", outer, WS_TABSTOP, 1, 10);
    FPanel = std::make_unique<TExternalFormComponent>(outer);
    FInnerForm = new TServerViewForm;
    FInner = TComPtr<TExternalForm>(new TExternalForm(FInnerForm, true));
    FPanel->SetBounds(10, 40, 300, 200);
    FPanel->SetExternalForm(IExternalForm::FromDispatch(FInner.Get()));
    HWND inner = FPanel->ExternHandle();
    FInnerA = MakeControl(L"BUTTON", inner, WS_TABSTOP, 2, 10);
    FInnerB = MakeControl(L"BUTTON", inner, WS_TABSTOP, 3, 40);
    FDisabled = MakeControl(L"BUTTON", outer, WS_TABSTOP | WS_DISABLED, 4, 250);
    MakeControl(L"STATIC", outer, 0, 5, 280);
    FLast = MakeControl(L"BUTTON", outer, WS_TABSTOP, 6, 310);
  }
  void TearDown() override {
    SetShift(false);
    FPanel.reset();
    FInner.Reset();
    FOuter.DestroyHandle();
    PumpMessages();
  }
  void PressTab(bool AShift) {
    SetShift(AShift);
    PostKey(GetFocus(), VK_TAB);
    PumpDialogMessages();
    SetShift(false);
  }

  TServerViewForm FOuter;
  std::unique_ptr<TExternalFormComponent> FPanel;
  TServerViewForm* FInnerForm = nullptr;
  TComPtr<TExternalForm> FInner;
  HWND FFirst = nullptr, FInnerA = nullptr, FInnerB = nullptr, FDisabled = nullptr, FLast = nullptr;
};

} // namespace

TEST_F(TTabOrder, TabAndShiftTabWalkThroughTheHostedFormsControlsAndWrap) {
  struct TCase {
    const char* Name;
    bool Shift;
    std::vector<HWND TTabOrder::*> Order; // from the first button on
  };
  const TCase cases[] = {
      {"Tab",
       false,
       {&TTabOrder::FInnerA, &TTabOrder::FInnerB, &TTabOrder::FLast, &TTabOrder::FFirst}},
      {"Shift+Tab",
       true,
       {&TTabOrder::FLast, &TTabOrder::FInnerB, &TTabOrder::FInnerA, &TTabOrder::FFirst}},
  };
  for (const TCase& c : cases) {
    SetFocus(FFirst);
    ASSERT_EQ(GetFocus(), FFirst) << c.Name;
    for (size_t step = 0; step < c.Order.size(); ++step) {
      PressTab(c.Shift);
      EXPECT_EQ(GetFocus(), this->*c.Order[step]) << c.Name << ", step " << step;
    }
  }
}

TEST_F(TTabOrder, TabStaysWithAControlThatWantsItAndAltTabIsNoDialogKey) {
  HWND wanter = MakeTabWanter(FPanel->ExternHandle(), 70);
  struct TCase {
    const char* Name;
    HWND TTabOrder::*Focus;
    HWND Wanter;
    bool Alt;
    bool Handled;
  };
  const TCase cases[] = {
      {"a button", &TTabOrder::FInnerA, nullptr, false, true},
      {"a control that wants Tab", nullptr, wanter, false, false},
      {"Alt held", &TTabOrder::FInnerA, nullptr, true, false},
  };
  for (const TCase& c : cases) {
    HWND focus = c.Focus ? this->*c.Focus : c.Wanter;
    SetFocus(focus);
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_MENU] = c.Alt ? 0x80 : 0;
    SetKeyboardState(keys);
    MSG message = {focus, WM_KEYDOWN, VK_TAB, 1, 0, {}};
    EXPECT_EQ(IsFormDialogMessage(message), c.Handled) << c.Name;
    EXPECT_EQ(GetFocus() != focus, c.Handled) << c.Name;
    SetShift(false);
  }
}

TEST_F(THostHolder, AFormDockedInAHostWindowKeepsTabAmongItsOwnControls) {
  auto* form = new TServerViewForm;
  TComPtr<IDispatch> view(new TExternalForm(form, true));
  THostArgs holder;
  holder.Obj(FHolder->Dispatch());
  ASSERT_EQ(Call(view.Get(), kSetParentWindowHolder, holder), S_OK);
  ASSERT_EQ(Call(view.Get(), kAttach), S_OK);
  HWND first = MakeControl(L"BUTTON", form->WindowHandle(), WS_TABSTOP, 1, 10);
  HWND second = MakeControl(L"BUTTON", form->WindowHandle(), WS_TABSTOP, 2, 40);
  SetFocus(second);
  PostKey(second, VK_TAB);
  PumpDialogMessages();
  EXPECT_EQ(GetFocus(), first) << "wrapped inside the form; the host's window has no say";
}

// ---- keys from a child control ----------------------------------------------

namespace {

// Sends AKey to AControl as its key-down, with AModifier held unless it is
// 0 (Alt makes it a system key), and handles it through the plug-in's
// message loop. The keys go by message, not through the desktop's input,
// so no other program's window can take them. As with the keyboard, F1 as
// a key-down is followed by the system's help request for the control.
void PressKey(HWND AControl, WORD AModifier, WORD AKey) {
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_SHIFT] = keys[VK_CONTROL] = keys[VK_MENU] = 0;
  if (AModifier)
    keys[AModifier] = 0x80;
  SetKeyboardState(keys);
  if (AModifier == VK_MENU)
    PostMessageW(AControl, WM_SYSKEYDOWN, AKey, LPARAM(0x20000001)); // context code: Alt
  else
    PostMessageW(AControl, WM_KEYDOWN, AKey, 1);
  PumpDialogMessages();
  if (AKey == VK_F1 && AModifier != VK_MENU) {
    HELPINFO help = {};
    help.cbSize = sizeof(help);
    help.iContextType = HELPINFO_WINDOW;
    help.iCtrlId = GetDlgCtrlID(AControl);
    help.hItemHandle = AControl;
    SendMessageW(AControl, WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
  }
  keys[AModifier] = 0;
  SetKeyboardState(keys);
}

} // namespace

TEST_F(THelpForm, F1InAChildAsksForItsHelpAndWithAModifierGoesToTheHostsShortcuts) {
  struct TCase {
    const char* Name;
    WORD Modifier;
    bool Help;
    bool Alt, Shift, Ctrl; // as the host's shortcut handling is told
  };
  const TCase cases[] = {
      {"F1", 0, true, false, false, false},
      {"Ctrl+F1", VK_CONTROL, false, false, false, true},
      {"Shift+F1", VK_SHIFT, false, false, true, false},
      {"Alt+F1", VK_MENU, false, true, false, false},
  };
  for (const TCase& c : cases) {
    FKeywords.clear();
    FGui->ClearLog();
    PressKey(FButton, c.Modifier, VK_F1);

    std::vector<TFakeCall> shortcuts;
    for (const TFakeCall& call : FGui->Calls())
      if (call.DispId == kProcessShortcut)
        shortcuts.push_back(call);
    if (c.Help) {
      EXPECT_EQ(FKeywords, std::vector<std::wstring>{L"Orv.Dlg.PinsForm.PanelTop.ButtonX"})
          << c.Name << ": the help of the child, asked once";
      EXPECT_TRUE(shortcuts.empty()) << c.Name;
      continue;
    }
    EXPECT_TRUE(FKeywords.empty()) << c.Name << ": no help";
    ASSERT_EQ(shortcuts.size(), 1u) << c.Name;
    EXPECT_EQ(V_I4(&shortcuts[0].Declared(0)), VK_F1) << c.Name;
    EXPECT_EQ(V_BOOL(&shortcuts[0].Declared(1)) != VARIANT_FALSE, c.Alt) << c.Name;
    EXPECT_EQ(V_BOOL(&shortcuts[0].Declared(2)) != VARIANT_FALSE, c.Shift) << c.Name;
    EXPECT_EQ(V_BOOL(&shortcuts[0].Declared(3)) != VARIANT_FALSE, c.Ctrl) << c.Name;
  }
}

// ---- the host form's dialog window ------------------------------------------

TEST_F(THostHolder, AHostFormThatNamesItsDialogWindowGetsTheDialogKeysOfItsControls) {
  auto panel = std::make_unique<TExternalFormComponent>(FHolderWindow);
  panel->SetBounds(10, 10, 300, 200);
  IDispatch* holder = panel->HolderDispatch();

  // The host's form: a window of the host with a group of two radio
  // buttons. Attached, it sits in its holder's window; focused, it names
  // its window the dialog window, as the host's forms do when activated.
  HWND hostForm = MakeWindow(L"THostFormWindow", FHolderWindow, 280, 180);
  HWND first = MakeControl(L"BUTTON", hostForm, WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON, 1, 10);
  HWND second = MakeControl(L"BUTTON", hostForm, BS_AUTORADIOBUTTON, 2, 40);
  TComPtr<TFakeHostObject> form = TFakeHostObject::Create({L"IExternalForm"});
  form->OnCall(kGetHandle, [hostForm](TFakeInvocation& AInvocation) {
    AInvocation.ReturnInt(HandleOf(hostForm));
    return S_OK;
  });
  form->OnCall(kAttach, [hostForm, holder](TFakeInvocation&) {
    TResultVariant window;
    THostArgs none;
    const HRESULT answer = none.Invoke(holder, kHolderGetHandle, &window.Value);
    SetParent(hostForm, reinterpret_cast<HWND>(intptr_t(V_I4(&window.Value))));
    return answer;
  });
  form->OnCall(kSetFocus, [hostForm, holder, first](TFakeInvocation&) {
    THostArgs window;
    window.I4(HandleOf(hostForm));
    const HRESULT answer = window.Invoke(holder, kHolderSetDialogWindow, nullptr);
    SetFocus(first);
    return answer;
  });
  panel->SetExternalForm(IExternalForm::FromDispatch(form->Dispatch()));
  ASSERT_EQ(GetParent(hostForm), panel->Handle());

  panel->SetFocus();
  ASSERT_EQ(GetFocus(), first);
  PostKey(first, VK_DOWN);
  PumpDialogMessages();
  EXPECT_EQ(GetFocus(), second) << "the arrow moves through the host form's group";

  // The host form gives the dialog window up: its controls' keys are their
  // own again.
  THostArgs none;
  none.I4(0);
  ASSERT_EQ(none.Invoke(holder, kHolderSetDialogWindow, nullptr), S_OK);
  PostKey(second, VK_UP);
  PumpDialogMessages();
  EXPECT_EQ(GetFocus(), second);

  EXPECT_TRUE(form->Errors().empty());
  // The log holds the panel's holder, which goes with the panel.
  form->ClearLog();
  panel.reset();
}

// ---- where a dialog is shown ------------------------------------------------

namespace {

// A dialog that lays itself out in its own constructor, after its base
// centred it.
class TLaidOutDialog : public TServerDialog {
public:
  static constexpr int32_t kWidth = 520, kHeight = 130;
  TLaidOutDialog() { SetBounds(Left(), Top(), kWidth, kHeight); }
};

} // namespace

TEST(ServerDialog, IsCentredAtTheSizeItWasLaidOutToUnlessItWasPlacedSince) {
  SharedTestHost();
  struct TCase {
    const char* Name;
    bool Placed;
  };
  const TCase cases[] = {{"laid out after it was centred", false},
                         {"placed by the program after its layout", true}};
  for (const TCase& c : cases) {
    TLaidOutDialog dialog;
    if (c.Placed)
      dialog.SetBounds(30, 40, dialog.Width(), dialog.Height());
    dialog.Show();
    RECT rect = {};
    GetWindowRect(dialog.Handle(), &rect);
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(MonitorFromWindow(dialog.Handle(), MONITOR_DEFAULTTONEAREST), &info);
    const RECT& area = info.rcMonitor;
    const LONG left =
        c.Placed ? 30 : area.left + (area.right - area.left - TLaidOutDialog::kWidth) / 2;
    const LONG top =
        c.Placed ? 40 : area.top + (area.bottom - area.top - TLaidOutDialog::kHeight) / 2;
    EXPECT_EQ(rect.left, left) << c.Name;
    EXPECT_EQ(rect.top, top) << c.Name;
    EXPECT_EQ(rect.right - rect.left, TLaidOutDialog::kWidth) << c.Name;
    EXPECT_EQ(rect.bottom - rect.top, TLaidOutDialog::kHeight) << c.Name;
  }
}

// ---- the library's window classes at its unload ---------------------------------

TEST_F(THostHolder, TheLibrarysUnloadFreesWhatWaitsClosesItsWindowsAndUnregistersItsClasses) {
  TServerViewForm open;
  open.SetParentWindow(FHolderWindow);
  open.Show();
  ASSERT_TRUE(open.HandleAllocated());
  auto panel = std::make_unique<TExternalFormComponent>(FHolderWindow);
  HWND panelWindow = panel->Handle();
  bool freed = false;
  DestroyLater(std::unique_ptr<TFormWithHelp>(new TWatchedForm(&freed)));
  ASSERT_FALSE(freed);

  UnregisterModuleWindowClasses();
  EXPECT_TRUE(freed) << "a deferred destruction does not wait for code that is going";
  EXPECT_FALSE(open.HandleAllocated());
  EXPECT_FALSE(IsWindow(panelWindow));
  EXPECT_TRUE(IsWindow(FHolderWindow)) << "the host's windows stay";
  for (const wchar_t* name :
       {L"TServerViewForm", L"TExternalFormComponent", L"TDelayedDestroyer"}) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    EXPECT_FALSE(GetClassInfoExW(GetModuleInstance(), name, &windowClass)) << Narrow(name);
  }

  // As in a library loaded again, the next window registers its class.
  open.Show();
  EXPECT_TRUE(open.HandleAllocated());
  panel.reset();
}
