#include "kx-control.h"

#include "edit-controls-units.h"
#include "fixed-theme.h"
#include "gx-hooks.h"
#include "kx-container.h"
#include "kx-controls.h"
#include "ledger-balance.h"

#include "application.h"
#include "resource-ledger.h"
#include "seams.h"
#include "support/test-harness.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr TColor kBackground = 0x00A000; // green
constexpr TColor kContent = 0x0000FF;    // red
constexpr RECT kContentRect{10, 10, 50, 30};

// A control of the base that paints a red block, shows the bars a test asks
// for and records every scroll.
class TTestControl : public TkxControl {
public:
  using TkxControl::RunAutoScroll;
  using TkxControl::TkxControl;

  bool HBar = false;
  bool VBar = false;
  std::vector<std::pair<TScrollBarKind, int>> Scrolls;
  std::function<void()> OnScrolled;
  std::vector<DWORD> PaintDCKinds;
  int Erases = 0;

protected:
  bool IsScrollBarVisible(TScrollBarKind AKind) override {
    return AKind == sbHorizontal ? HBar : VBar;
  }
  void Scroll(TScrollBarKind AKind, int ACode, int&) override {
    Scrolls.push_back({AKind, ACode});
    if (OnScrolled)
      OnScrolled();
  }
  void DoPaint() override {
    TkxControl::DoPaint();
    PaintDCKinds.push_back(GetObjectType(KxCanvas().Handle()));
    KxCanvas().FillRect(kContentRect, kContent);
  }
  void EraseBackground(HDC ADC) override {
    ++Erases;
    TkxControl::EraseBackground(ADC);
  }
};

// An object that can hold the control's mouse and hears when it loses it.
class TCaptureHolder : public TPersistent, public IkxCaptureObjectNotify {
public:
  std::wstring ClassName() const override { return L"TCaptureHolder"; }
  void CaptureLost() override { ++Lost; }
  int Lost = 0;
};

class TWheelLines : public TkxWheelScrollLinesSeam {
public:
  explicit TWheelLines(UINT ALines) : FLines(ALines) {}
  UINT Lines() override { return FLines; }

private:
  UINT FLines;
};

// A 32-bit DIB of the size, filled white, selected into a memory context.
class TMemoryPicture {
public:
  TMemoryPicture(int AWidth, int AHeight) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = AWidth;
    info.bmiHeader.biHeight = -AHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    FDC = CreateCompatibleDC(nullptr);
    FBitmap = CreateDIBSection(FDC, &info, DIB_RGB_COLORS, nullptr, nullptr, 0);
    FOld = SelectObject(FDC, FBitmap);
    RECT all{0, 0, AWidth, AHeight};
    FillRect(FDC, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }
  ~TMemoryPicture() {
    SelectObject(FDC, FOld);
    DeleteObject(FBitmap);
    DeleteDC(FDC);
  }
  HDC DC() const { return FDC; }
  COLORREF Pixel(int AX, int AY) const { return GetPixel(FDC, AX, AY); }

private:
  HDC FDC;
  HBITMAP FBitmap;
  HGDIOBJ FOld;
};

void SendMouse(DWORD AFlags, POINT AScreen) {
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  INPUT input[2]{};
  for (auto& in : input) {
    in.type = INPUT_MOUSE;
    in.mi.dx = static_cast<LONG>(AScreen.x * 65535 / (w - 1));
    in.mi.dy = static_cast<LONG>(AScreen.y * 65535 / (h - 1));
  }
  input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  input[1].mi.dwFlags = AFlags | MOUSEEVENTF_ABSOLUTE;
  ASSERT_EQ(SendInput(2, input, sizeof(INPUT)), 2u);
}

bool PumpUntil(const std::function<bool()>& ADone) {
  for (int round = 0; round < 100 && !ADone(); ++round) {
    harness::PumpMessages();
    if (!ADone())
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
  return ADone();
}

// The library's control, hook and container units run for each test.
class KxControlBase : public TLedgerBalancedTest {
protected:
  void SetUp() override {
    {
      TWinControl probe(nullptr);
      probe.HandleNeeded();
    }
    InitOSVersionFlags();
    TLedgerBalancedTest::SetUp();
    KxControlsStartup();
    GxHooksStartup();
    KxContainerStartup();
    Owner = std::make_unique<TComponent>(nullptr);
    Form = new TWinControl(Owner.get());
    Form->SetBounds(80, 80, 400, 240);
    Form->SetColor(kBackground);
    Form->Show();
    Control = new TTestControl(Owner.get());
    Control->SetBounds(20, 20, 120, 80);
    Control->SetColor(kBackground);
    Control->SetParent(Form);
    Control->HandleNeeded();
    SetForegroundWindow(Form->Handle());
    harness::PumpMessages();
  }
  void ReleaseShared() override {
    Owner.reset();
    harness::PumpMessages();
    KxContainerShutdown();
    GxHooksShutdown();
    KxControlsShutdown();
  }
  POINT ScreenOf(TControl* AControl, POINT AClient) { return AControl->ClientToScreen(AClient); }

  TFixedTheme Theme{TThemeState::Classic};
  TSeamScope<TThemeSeam> ThemeScope{Theme};
  std::unique_ptr<TComponent> Owner;
  TWinControl* Form = nullptr;
  TTestControl* Control = nullptr;
};

// ---- painting ----------------------------------------------------------------

TEST_F(KxControlBase, PaintToTheWindowGoesThroughAMemoryBitmapAndErasesItsOwnBackground) {
  Control->PaintDCKinds.clear();
  Control->Erases = 0;
  InvalidateRect(Control->Handle(), nullptr, TRUE);
  UpdateWindow(Control->Handle());
  ASSERT_FALSE(Control->PaintDCKinds.empty());
  EXPECT_EQ(Control->PaintDCKinds.back(), static_cast<DWORD>(OBJ_MEMDC));
  EXPECT_GE(Control->Erases, 1) << "the buffer's background was not erased";
  HDC dc = GetDC(Control->Handle());
  EXPECT_EQ(GetPixel(dc, 30, 20), ColorToColorRef(kContent));
  EXPECT_EQ(GetPixel(dc, 80, 60), ColorToColorRef(kBackground));
  ReleaseDC(Control->Handle(), dc);
}

TEST_F(KxControlBase, PaintMessageWithAContextPaintsStraightIntoIt) {
  for (bool doubleBuffered : {false, true}) {
    Control->SetDoubleBuffered(doubleBuffered);
    Control->PaintDCKinds.clear();
    TMemoryPicture picture(120, 80);
    SendMessageW(Control->Handle(), WM_PAINT, reinterpret_cast<WPARAM>(picture.DC()), 0);
    ASSERT_EQ(Control->PaintDCKinds.size(), 1u) << doubleBuffered;
    EXPECT_EQ(picture.Pixel(30, 20), ColorToColorRef(kContent)) << doubleBuffered;
    // Nothing erased the picture around the content.
    EXPECT_EQ(picture.Pixel(80, 60), RGB(255, 255, 255)) << doubleBuffered;
  }
}

TEST_F(KxControlBase, OnlyTheControlsOwnEraseRequestErases) {
  struct TCase {
    bool Own;
    LRESULT Answer;
    COLORREF Pixel;
  };
  const TCase cases[] = {{false, 0, RGB(255, 255, 255)}, {true, 1, ColorToColorRef(kBackground)}};
  for (const auto& c : cases) {
    TMemoryPicture picture(120, 80);
    const auto dc = reinterpret_cast<WPARAM>(picture.DC());
    const LRESULT answer =
        SendMessageW(Control->Handle(), WM_ERASEBKGND, dc, c.Own ? static_cast<LPARAM>(dc) : 0);
    EXPECT_EQ(answer, c.Answer) << c.Own;
    EXPECT_EQ(picture.Pixel(80, 60), c.Pixel) << c.Own;
  }
}

TEST_F(KxControlBase, DefaultBorderIsDrawnAndClipsTheContent) {
  Control->SetBorderStyle(kxcbsDefault);
  const int border = Control->GetBorderSize();
  ASSERT_GT(border, 0);
  const RECT client = Control->GetClientBounds();
  EXPECT_EQ(client.left, border);
  EXPECT_EQ(client.bottom, 80 - border);
  TMemoryPicture picture(120, 80);
  SendMessageW(Control->Handle(), WM_PAINT, reinterpret_cast<WPARAM>(picture.DC()), 0);
  EXPECT_NE(picture.Pixel(0, 40), RGB(255, 255, 255)) << "no border";
  EXPECT_EQ(picture.Pixel(30, 20), ColorToColorRef(kContent));
}

// ---- keys --------------------------------------------------------------------

TEST_F(KxControlBase, DialogCodeSumsTheWantedKeysAndLeavesCtrlTabToTheDialog) {
  struct TCase {
    TkxKeys Keys;
    bool Ctrl;
    LRESULT Code;
  };
  const TCase cases[] = {{TkxKeys(kArrows | kTab), false, 3},
                         {TkxKeys(kArrows | kTab), true, 1},
                         {TkxKeys(kAll | kChars), false, 0x84},
                         {0, false, 0}};
  BYTE saved[256];
  GetKeyboardState(saved);
  for (const auto& c : cases) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = c.Ctrl ? 0x80 : 0;
    SetKeyboardState(keys);
    Control->SetKeys(c.Keys);
    EXPECT_EQ(SendMessageW(Control->Handle(), WM_GETDLGCODE, 0, 0), c.Code)
        << int(c.Keys) << c.Ctrl;
  }
  SetKeyboardState(saved);
}

// ---- mouse -------------------------------------------------------------------

TEST_F(KxControlBase, CaptureObjectHoldsTheMouseAndHearsWhenReplaced) {
  TCaptureHolder first, second;
  Control->SetMouseCaptureObject(&first);
  EXPECT_EQ(GetCapture(), Control->Handle());
  Control->SetMouseCaptureObject(&first);
  EXPECT_EQ(first.Lost, 0) << "setting the same holder again took it away";
  Control->SetMouseCaptureObject(&second);
  EXPECT_EQ(first.Lost, 1);
  EXPECT_EQ(GetCapture(), Control->Handle());
  Control->SetMouseCaptureObject(nullptr);
  EXPECT_EQ(second.Lost, 1);
  EXPECT_NE(GetCapture(), Control->Handle());
}

TEST_F(KxControlBase, PressHoldsTheMouseUntilReleaseWhichLetsTheHolderGo) {
  TCaptureHolder holder;
  int downs = 0;
  Control->OnMouseDown = [&](TControl*, TMouseButton, TShiftState, int, int) {
    ++downs;
    Control->SetMouseCaptureObject(&holder);
  };
  const POINT at = ScreenOf(Control, POINT{60, 40});
  SendMouse(MOUSEEVENTF_LEFTDOWN, at);
  ASSERT_TRUE(PumpUntil([&] { return downs > 0; })) << "the press never arrived";
  EXPECT_TRUE(Control->MouseButtonPressed());
  EXPECT_EQ(Control->MouseDownPos().x, 60);
  EXPECT_EQ(Control->MouseDownPos().y, 40);
  EXPECT_TRUE(Control->Focused()) << "a click focuses the control";
  SendMouse(MOUSEEVENTF_LEFTUP, at);
  ASSERT_TRUE(PumpUntil([&] { return !Control->MouseButtonPressed(); }));
  EXPECT_EQ(holder.Lost, 1);
  EXPECT_EQ(Control->MouseCaptureObject(), nullptr);
  EXPECT_NE(GetCapture(), Control->Handle());
}

TEST_F(KxControlBase, WheelScrollsOneLineEachByTheBarsAndSettings) {
  struct TCase {
    bool VBar;
    UINT Lines;
    short Delta;
    size_t Scrolls;
    int Code;
  };
  const TCase cases[] = {{true, 3, 120, 3, SB_LINEUP},
                         {true, 2, -120, 2, SB_LINEDOWN},
                         {true, 0, 120, 0, 0},
                         {false, 3, 120, 0, 0}};
  for (const auto& c : cases) {
    TWheelLines lines(c.Lines);
    TSeamScope<TkxWheelScrollLinesSeam> scope(lines);
    Control->VBar = c.VBar;
    Control->Scrolls.clear();
    const POINT at = ScreenOf(Control, POINT{60, 40});
    SendMessageW(Control->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(c.Delta)),
                 MAKELPARAM(at.x, at.y));
    ASSERT_EQ(Control->Scrolls.size(), c.Scrolls) << c.VBar << c.Lines;
    for (const auto& s : Control->Scrolls) {
      EXPECT_EQ(s.first, sbVertical);
      EXPECT_EQ(s.second, c.Code);
    }
  }
}

// ---- auto-scroll --------------------------------------------------------------

TEST(KxAutoScroll, DirectionAndSpeedFollowTheDistanceBeyondTheAnchorArea) {
  const POINT anchor{500, 400};
  const SIZE screen{1280, 1024};
  struct TCase {
    POINT At;
    bool H, V;
    TkxScrollDirection Direction;
    int Speed;
    bool Left;
  };
  const TCase cases[] = {
      {{505, 405}, true, true, dirNone, 0, false},
      {{500, 419}, true, true, dirDown, 2, true},  // 5 beyond the half width
      {{500, 469}, true, true, dirDown, 12, true}, // 55 beyond
      {{500, 900}, true, true, dirDown, 12, true},
      {{500, 381}, true, true, dirUp, 2, true},
      {{540, 410}, true, true, dirRight, 6, true},
      {{450, 420}, true, true, dirLeft, 8, true},
      // Without a horizontal bar any sideways distance is inside the area.
      {{900, 405}, false, true, dirNone, 0, false},
      {{900, 440}, false, true, dirDown, 6, true},
      {{500, 900}, true, false, dirNone, 0, false},
  };
  for (const auto& c : cases) {
    const TkxAutoScrollMotion m = kxAutoScrollMotion(anchor, c.At, 29, c.H, c.V, screen);
    EXPECT_EQ(m.Direction, c.Direction) << c.At.x << "," << c.At.y;
    EXPECT_EQ(m.Speed, c.Speed) << c.At.x << "," << c.At.y;
    EXPECT_EQ(m.LeftAnchorArea, c.Left) << c.At.x << "," << c.At.y;
  }
  EXPECT_EQ(kxAutoScrollCursor(dirNone, true, false), 2102);
  EXPECT_EQ(kxAutoScrollCursor(dirLeft, true, true), 2107);
}

// Stops a mode that never ends by itself; it is a bound, not a measure.
void CALLBACK EscapeAfterTimeout(HWND, UINT, UINT_PTR, DWORD) {
  keybd_event(VK_ESCAPE, 0, 0, 0);
}

// Where the mouse goes once the mode runs, in the control's client
// coordinates; the cursor is put there too, so that any move the system
// reports on its own agrees.
HWND GScrolledWindow = nullptr;
POINT GFarPoint{};
void CALLBACK MoveMouseFar(HWND, UINT, UINT_PTR, DWORD) {
  POINT screen = GFarPoint;
  ClientToScreen(GScrolledWindow, &screen);
  SetCursorPos(screen.x, screen.y);
  PostMessageW(GScrolledWindow, WM_MOUSEMOVE, 0, MAKELPARAM(GFarPoint.x, GFarPoint.y));
}

TEST_F(KxControlBase, MiddleButtonScrollsTowardsTheCursorUntilEscape) {
  Control->HBar = true;
  Control->VBar = true;
  const POINT anchor = ScreenOf(Control, POINT{60, 40});
  SetCursorPos(anchor.x, anchor.y);
  harness::PumpMessages();
  POINT start;
  GetCursorPos(&start);
  // Far below the anchor: the fastest speed, one step a tick.
  GScrolledWindow = Control->Handle();
  GFarPoint = Control->ScreenToClient(POINT{start.x, start.y + 120});
  Control->OnScrolled = [&] {
    if (Control->Scrolls.size() == 3)
      PostMessageW(Control->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
  };
  const UINT_PTR mover = SetTimer(nullptr, 0, 30, MoveMouseFar);
  const UINT_PTR watchdog = SetTimer(nullptr, 0, 20000, EscapeAfterTimeout);
  const size_t windows = TResourceLedger::Count(TResourceKind::Window);
  const POINT client = Control->ScreenToClient(start);
  SendMessageW(Control->Handle(), WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(client.x, client.y));
  KillTimer(nullptr, mover);
  KillTimer(nullptr, watchdog);
  ASSERT_GE(Control->Scrolls.size(), 3u);
  for (const auto& s : Control->Scrolls) {
    EXPECT_EQ(s.first, sbVertical);
    EXPECT_EQ(s.second, SB_LINEDOWN);
  }
  EXPECT_FALSE(Control->IsScrollingContent());
  EXPECT_NE(GetCapture(), Control->Handle());
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Window), windows) << "anchor window left";
  SetCursorPos(anchor.x, anchor.y);
  harness::PumpMessages();
}

TEST_F(KxControlBase, MiddleButtonWithoutOwnBarsStartsNoMode) {
  Control->Scrolls.clear();
  SendMessageW(Control->Handle(), WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(60, 40));
  SendMessageW(Control->Handle(), WM_MBUTTONUP, 0, MAKELPARAM(60, 40));
  EXPECT_FALSE(Control->IsScrollingContent());
  EXPECT_TRUE(Control->Scrolls.empty());
}

// ---- child components and fonts ----------------------------------------------

class TFontListener : public IkxFontListener {
public:
  void Changed(TPersistent* ASender, TFont&) override { Senders.push_back(ASender); }
  std::vector<TPersistent*> Senders;
};

TEST_F(KxControlBase, FontListenersHearEachChangeUntilRemoved) {
  TFontListener listener;
  Control->AddFontListener(&listener);
  Control->Font().SetSize(14);
  Control->RemoveFontListener(&listener);
  Control->Font().SetSize(16);
  ASSERT_EQ(listener.Senders.size(), 1u);
  EXPECT_EQ(listener.Senders[0], Control);
}

TEST_F(KxControlBase, ChildComponentFollowsItsControlAndLeavesIt) {
  auto* child = new TkxControlChildComponent(Control, true);
  EXPECT_EQ(child->Control(), Control);
  EXPECT_EQ(child->Owner(), Owner.get());
  EXPECT_TRUE(child->HasParent());
  Control->RemoveChildComponent(child);
  EXPECT_FALSE(child->HasParent());
  child->SetParentComponent(Control);
  EXPECT_EQ(child->Control(), Control);
  EXPECT_TRUE(TClassRegistry::IsRegistered(L"TkxControlChildComponent"));
}

// ---- thread hooks ----------------------------------------------------------------

std::vector<int> GCalls;
void FirstProc(int, WPARAM, LPARAM, LRESULT&) {
  GCalls.push_back(1);
}
void SecondProc(int, WPARAM, LPARAM, LRESULT& AResult) {
  GCalls.push_back(2);
  AResult = 1;
}
HHOOK RefusingInstaller(int, HOOKPROC, DWORD) {
  SetLastError(ERROR_ACCESS_DENIED);
  return nullptr;
}

TEST_F(KxControlBase, KindsShareOneHookInstalledWithTheFirstAndRemovedWithTheLast) {
  TgxHookController& hooks = *HookController();
  const size_t before = TResourceLedger::Count(TResourceKind::Hook);
  AddThreadHookProc(TgxHookType::htKeyboard, FirstProc);
  HHOOK keyboard = hooks.Hook(TgxHookType::htKeyboard).Handle();
  ASSERT_NE(keyboard, nullptr);
  AddThreadHookProc(TgxHookType::htKeyboard, SecondProc);
  EXPECT_EQ(hooks.Hook(TgxHookType::htKeyboard).Handle(), keyboard) << "a second hook was made";
  AddThreadHookProc(TgxHookType::htCBT, FirstProc);
  EXPECT_NE(hooks.Hook(TgxHookType::htCBT).Handle(), nullptr);
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Hook), before + 2);

  // The newest procedure runs first, and its answer stands.
  GCalls.clear();
  EXPECT_EQ(hooks.Hook(TgxHookType::htKeyboard).Dispatch(HC_ACTION, 'A', 0), 1);
  EXPECT_EQ(GCalls, (std::vector<int>{2, 1}));

  RemoveThreadHookProc(FirstProc);
  EXPECT_EQ(hooks.Hook(TgxHookType::htKeyboard).Handle(), keyboard);
  EXPECT_EQ(hooks.Hook(TgxHookType::htCBT).Handle(), nullptr);
  RemoveThreadHookProc(FirstProc);
  RemoveThreadHookProc(SecondProc);
  EXPECT_EQ(hooks.Hook(TgxHookType::htKeyboard).Handle(), nullptr);
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Hook), before);
}

TEST_F(KxControlBase, RefusedHookIsReportedAndTakesNoProcedure) {
  TgxHookController& hooks = *HookController();
  const TgxHookInstaller previous = SetHookInstaller(RefusingInstaller);
  try {
    AddThreadHookProc(TgxHookType::htKeyboard, FirstProc);
    ADD_FAILURE() << "the refusal was not reported";
  } catch (const EgxHookError& error) {
    EXPECT_NE(std::string(error.what()).find("keyboard"), std::string::npos) << error.what();
  }
  SetHookInstaller(previous);
  EXPECT_EQ(hooks.Hook(TgxHookType::htKeyboard).Count(), 0u);
  EXPECT_EQ(hooks.Hook(TgxHookType::htKeyboard).Handle(), nullptr);
  // The same procedure can be added once the system accepts.
  AddThreadHookProc(TgxHookType::htKeyboard, FirstProc);
  EXPECT_NE(hooks.Hook(TgxHookType::htKeyboard).Handle(), nullptr);
  RemoveThreadHookProc(FirstProc);
}

// ---- popup-closing hooks ----------------------------------------------------------

std::vector<std::string> GClosed;

// A drop-down editor's popup opened from a control of the form; it
// swallows the click that closes it.
class TTestPopup : public IkxPopupWindow {
public:
  TTestPopup(const char* AName, HWND AOwner) : FName(AName), FOwner(AOwner) {
    FWindow = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP, 0, 0, 40, 40, nullptr,
                              nullptr, nullptr, nullptr);
  }
  ~TTestPopup() {
    RemovePopupWindow(this);
    DestroyWindow(FWindow);
  }
  HWND PopupWindow() const override { return FWindow; }
  HWND OwnerWindow() const override { return FOwner; }
  RECT GetOwnerScreenBounds() const override {
    RECT r{};
    GetWindowRect(FOwner, &r);
    return r;
  }
  void ClosePopup() override {
    GClosed.push_back(FName);
    RemovePopupWindow(this);
  }
  bool HandleSysKey(WPARAM) override { return true; }
  bool ConsumesClosingClick(HWND, UINT, POINT) override { return true; }

private:
  std::string FName;
  HWND FOwner;
  HWND FWindow;
};

class KxPopupHooks : public KxControlBase {
protected:
  void SetUp() override {
    KxControlBase::SetUp();
    Other = new TTestControl(Owner.get());
    Other->SetBounds(200, 20, 120, 80);
    Other->SetParent(Form);
    Other->HandleNeeded();
    harness::PumpMessages();
    GClosed.clear();
  }
  TTestControl* Other = nullptr;
};

TEST_F(KxPopupHooks, ClickElsewhereClosesTheListedPopupAndIsSwallowed) {
  for (bool listed : {false, true}) {
    GClosed.clear();
    int downs = 0;
    Other->OnMouseDown = [&](TControl*, TMouseButton, TShiftState, int, int) { ++downs; };
    TTestPopup popup("popup", Control->Handle());
    if (listed)
      AddPopupWindow(&popup);
    const POINT at = ScreenOf(Other, POINT{60, 40});
    SendMouse(MOUSEEVENTF_LEFTDOWN, at);
    SendMouse(MOUSEEVENTF_LEFTUP, at);
    // The release is never held back: once it is through, the press was seen
    // or swallowed.
    int ups = 0;
    Other->OnMouseUp = [&](TControl*, TMouseButton, TShiftState, int, int) { ++ups; };
    ASSERT_TRUE(PumpUntil([&] { return ups > 0; })) << listed;
    EXPECT_EQ(GClosed.size(), listed ? 1u : 0u) << listed;
    EXPECT_EQ(downs, listed ? 0 : 1) << listed;
    EXPECT_TRUE(PopupWindowList()->empty());
  }
}

TEST_F(KxPopupHooks, LosingActivationClosesTheListedPopup) {
  for (bool listed : {false, true}) {
    GClosed.clear();
    TTestPopup popup("popup", Control->Handle());
    if (listed)
      AddPopupWindow(&popup);
    SendMessageW(Form->Handle(), WM_ACTIVATEAPP, FALSE, 0);
    EXPECT_EQ(GClosed.size(), listed ? 1u : 0u) << listed;
  }
}

TEST_F(KxPopupHooks, HidingTheOwnerByMoveClosesItsPopupButAMoveDoesNot) {
  struct TCase {
    bool Listed;
    UINT Flags;
    size_t Closed;
  };
  const TCase cases[] = {{true, SWP_NOSIZE, 0},
                         {true, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE, 1},
                         {false, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE, 0}};
  for (const auto& c : cases) {
    GClosed.clear();
    ShowWindow(Control->Handle(), SW_SHOWNA);
    TTestPopup popup("popup", Control->Handle());
    if (c.Listed)
      AddPopupWindow(&popup);
    SetWindowPos(Control->Handle(), nullptr, 30, 30, 0, 0, c.Flags | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(GClosed.size(), c.Closed) << c.Listed << " " << c.Flags;
  }
}

TEST_F(KxPopupHooks, HidingAnOwnerClosesItsPopupAndThoseOpenedAfterItNewestFirst) {
  struct TCase {
    bool HideFirstOwner;
    std::vector<std::string> Closed;
  };
  const TCase cases[] = {{true, {"second", "first"}}, {false, {"second"}}};
  for (const auto& c : cases) {
    GClosed.clear();
    ShowWindow(Control->Handle(), SW_SHOWNA);
    ShowWindow(Other->Handle(), SW_SHOWNA);
    TTestPopup first("first", Control->Handle());
    TTestPopup second("second", Other->Handle());
    AddPopupWindow(&first);
    AddPopupWindow(&second);
    ShowWindow(c.HideFirstOwner ? Control->Handle() : Other->Handle(), SW_HIDE);
    EXPECT_EQ(GClosed, c.Closed) << c.HideFirstOwner;
  }
}

int GNcActivates = 0;
WNDPROC GFormProc = nullptr;
LRESULT CALLBACK CountingProc(HWND AWnd, UINT AMsg, WPARAM AWParam, LPARAM ALParam) {
  if (AMsg == WM_NCACTIVATE && AWParam == FALSE)
    ++GNcActivates;
  return CallWindowProcW(GFormProc, AWnd, AMsg, AWParam, ALParam);
}

TEST_F(KxPopupHooks, OwnersFormKeepsItsActiveCaptionWhileThePopupIsListed) {
  HWND form = Form->Handle();
  GFormProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(form, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProc)));
  for (bool listed : {false, true}) {
    GNcActivates = 0;
    TTestPopup popup("popup", Control->Handle());
    if (listed)
      AddPopupWindow(&popup);
    const LRESULT answer = SendMessageW(form, WM_NCACTIVATE, FALSE, 0);
    EXPECT_EQ(GNcActivates, listed ? 0 : 1) << listed;
    EXPECT_EQ(answer, 1) << listed;
    EXPECT_EQ(TgxMessagesController::BlockedWindow(), nullptr) << "the block outlived its message";
    RemovePopupWindow(&popup);
  }
  SetWindowLongPtrW(form, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GFormProc));
}

TEST_F(KxPopupHooks, SecondBlockWhileOneWaitsIsRefused) {
  TgxMessagesController* controller = MessagesController();
  ASSERT_NE(controller, nullptr);
  controller->BlockMessage(Form->Handle());
  EXPECT_THROW(controller->BlockMessage(Other->Handle()), EgxException);
  EXPECT_EQ(TgxMessagesController::BlockedWindow(), Form->Handle());
  EXPECT_EQ(SendMessageW(Form->Handle(), WM_USER + 5, 0, 0), 1);
  EXPECT_EQ(TgxMessagesController::BlockedWindow(), nullptr);
}

} // namespace
