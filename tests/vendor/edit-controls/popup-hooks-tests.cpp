#include "edit-controls-units.h"
#include "gx-hooks.h"
#include "kx-container.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <vector>

namespace {

struct TSeen {
  HWND Window;
  UINT Message;
  WPARAM WParam;
  LPARAM LParam;
};
std::vector<TSeen> GSeen;

LRESULT CALLBACK ProbeProc(HWND AWnd, UINT AMsg, WPARAM AWParam, LPARAM ALParam) {
  switch (AMsg) {
  case WM_LBUTTONDOWN:
  case WM_LBUTTONUP:
  case WM_SYSKEYDOWN:
  case WM_SYSKEYUP:
  case WM_KEYUP:
    GSeen.push_back({AWnd, AMsg, AWParam, ALParam});
    return 0;
  case WM_SYSCHAR:
    return 0; // no menu to open
  default:
    return DefWindowProcW(AWnd, AMsg, AWParam, ALParam);
  }
}

const wchar_t* const kProbeClass = L"OrvandelHookProbe";

// A popup of a drop-down editor that turns down every system key and
// swallows the click that closes it.
class TDecliningPopup : public IkxPopupWindow {
public:
  TDecliningPopup(HWND APopup, HWND AOwner) : FPopup(APopup), FOwner(AOwner) {}
  HWND PopupWindow() const override { return FPopup; }
  HWND OwnerWindow() const override { return FOwner; }
  RECT GetOwnerScreenBounds() const override {
    RECT r{};
    GetWindowRect(FOwner, &r);
    return r;
  }
  void ClosePopup() override {
    ++Closed;
    RemovePopupWindow(this);
  }
  bool HandleSysKey(WPARAM AKey) override {
    OfferedKeys.push_back(AKey);
    return false;
  }
  bool ConsumesClosingClick(HWND, UINT, POINT) override { return true; }
  bool IsStandalone() const override { return Standalone; }
  bool Active() const override { return IsActive; }

  bool Standalone = false;
  bool IsActive = false;
  int Closed = 0;
  std::vector<WPARAM> OfferedKeys;

private:
  HWND FPopup;
  HWND FOwner;
};

class PopupHooks : public ::testing::Test {
protected:
  void SetUp() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ProbeProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kProbeClass;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassW(&wc);
    FForm = CreateWindowExW(0, kProbeClass, L"probe", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100,
                            320, 240, nullptr, nullptr, wc.hInstance, nullptr);
    FOwner = CreateWindowExW(0, kProbeClass, L"owner", WS_CHILD | WS_VISIBLE, 10, 10, 80, 20, FForm,
                             nullptr, wc.hInstance, nullptr);
    FPopup = CreateWindowExW(WS_EX_TOOLWINDOW, kProbeClass, L"popup", WS_POPUP, 0, 0, 50, 50,
                             nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(FForm && FOwner && FPopup);
    GxHooksStartup();
    KxContainerStartup();
    SetForegroundWindow(FForm);
    SetFocus(FForm);
    Pump([] { return false; }, 4);
    GSeen.clear();
  }

  void TearDown() override {
    KxContainerShutdown();
    GxHooksShutdown();
    DestroyWindow(FPopup);
    DestroyWindow(FForm);
    UnregisterClassW(kProbeClass, GetModuleHandleW(nullptr));
  }

  template <typename TPredicate> static bool Pump(TPredicate ADone, int AMaxRounds = 100) {
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

  static bool Saw(HWND AWnd, UINT AMsg, WPARAM AWParam) {
    for (const auto& s : GSeen)
      if (s.Window == AWnd && s.Message == AMsg && s.WParam == AWParam)
        return true;
    return false;
  }
  static const TSeen* Find(HWND AWnd, UINT AMsg) {
    for (const auto& s : GSeen)
      if (s.Window == AWnd && s.Message == AMsg)
        return &s;
    return nullptr;
  }

  // Alt+K to the focused form; waits (bounded) for the Alt release, which
  // no hook touches.
  void SendAltKey() {
    INPUT keys[4]{};
    const WORD codes[4] = {VK_MENU, 'K', 'K', VK_MENU};
    for (int i = 0; i < 4; ++i) {
      keys[i].type = INPUT_KEYBOARD;
      keys[i].ki.wVk = codes[i];
      keys[i].ki.dwFlags = i >= 2 ? KEYEVENTF_KEYUP : 0;
    }
    ASSERT_EQ(SendInput(4, keys, sizeof(INPUT)), 4u);
    ASSERT_TRUE(Pump([&] {
      return Saw(FForm, WM_KEYUP, VK_MENU) || Saw(FForm, WM_SYSKEYUP, VK_MENU);
    })) << "the keys never arrived";
  }

  // A left click at AWindow's client point; waits (bounded) for the button's
  // release, which no hook touches.
  void SendClick(HWND AWindow, POINT AClient) {
    POINT at = AClient;
    ClientToScreen(AWindow, &at);
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    INPUT mouse[3]{};
    for (auto& m : mouse) {
      m.type = INPUT_MOUSE;
      m.mi.dx = static_cast<LONG>(at.x * 65535 / (w - 1));
      m.mi.dy = static_cast<LONG>(at.y * 65535 / (h - 1));
    }
    mouse[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    mouse[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
    mouse[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
    ASSERT_EQ(SendInput(3, mouse, sizeof(INPUT)), 3u);
    ASSERT_TRUE(Pump([&] { return Find(AWindow, WM_LBUTTONUP) != nullptr; }))
        << "the click never arrived";
  }

  HWND FForm = nullptr;
  HWND FOwner = nullptr;
  HWND FPopup = nullptr;
};

TEST_F(PopupHooks, ClickAndAltKeyReachTheWindowUnchangedWhileNoPopupIsListed) {
  ASSERT_NE(HookController()->Hook(TgxHookType::htMouse).Handle(), nullptr);
  SendAltKey();
  SendClick(FForm, POINT{200, 120});
  EXPECT_TRUE(Saw(FForm, WM_SYSKEYDOWN, 'K'));
  const TSeen* down = Find(FForm, WM_LBUTTONDOWN);
  ASSERT_NE(down, nullptr) << "the click was held back";
  EXPECT_EQ(down->LParam, MAKELPARAM(200, 120));
  EXPECT_EQ(down->WParam, static_cast<WPARAM>(MK_LBUTTON));
}

TEST_F(PopupHooks, ListedPopupIsOfferedAltKeyAndTheKeyItDeclinesGoesNowhere) {
  TDecliningPopup popup(FPopup, FOwner);
  AddPopupWindow(&popup);
  SendAltKey();
  EXPECT_FALSE(Saw(FForm, WM_SYSKEYDOWN, 'K')) << "a declined system key went on";
  EXPECT_NE(std::find(popup.OfferedKeys.begin(), popup.OfferedKeys.end(), WPARAM('K')),
            popup.OfferedKeys.end());
  RemovePopupWindow(&popup);
}

TEST_F(PopupHooks, ClickElsewhereClosesThePopupAndOnlyAClickOnTheOwnerGoesOn) {
  struct TCase {
    bool OnOwner;
    bool ReachesWindow;
  };
  const TCase cases[] = {{false, false}, {true, true}};
  for (const auto& c : cases) {
    GSeen.clear();
    TDecliningPopup popup(FPopup, FOwner);
    AddPopupWindow(&popup);
    const HWND target = c.OnOwner ? FOwner : FForm;
    SendClick(target, c.OnOwner ? POINT{40, 10} : POINT{200, 120});
    EXPECT_EQ(popup.Closed, 1) << c.OnOwner;
    EXPECT_EQ(Find(target, WM_LBUTTONDOWN) != nullptr, c.ReachesWindow) << c.OnOwner;
    EXPECT_EQ(popup.ClosedByOwnerClick, c.OnOwner);
    EXPECT_TRUE(PopupWindowList()->empty());
    RemovePopupWindow(&popup);
  }
}

TEST_F(PopupHooks, LosingActivationClosesEveryPopupButAnActiveStandaloneOne) {
  struct TCase {
    bool Standalone;
    bool Active;
    int Closed;
  };
  const TCase cases[] = {{false, false, 1}, {false, true, 1}, {true, true, 0}, {true, false, 1}};
  for (const auto& c : cases) {
    TDecliningPopup popup(FPopup, FOwner);
    popup.Standalone = c.Standalone;
    popup.IsActive = c.Active;
    AddPopupWindow(&popup);
    SendMessageW(FForm, WM_ACTIVATEAPP, FALSE, 0);
    EXPECT_EQ(popup.Closed, c.Closed) << c.Standalone << c.Active;
    RemovePopupWindow(&popup);
  }
}

} // namespace
