#include "ledger-balance.h"
#include "xp-combo-box.h"
#include "xp-history-edit.h"
#include "xp-popup-list-box.h"

#include "application.h"
#include "forms.h"
#include "resource-ledger.h"
#include "smooth-text.h"
#include "support/test-harness.h"
#include "xp-button-edit.h"
#include "xp-controls.h"
#include "xp-graphics.h"
#include "xp-list-box.h"
#include "xp-scroll-bar.h"
#include "xp-system.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

std::string Narrow(const std::wstring& AText) {
  return std::string(AText.begin(), AText.end());
}

// Sets the thread's key state as the keyboard would have left it, so key
// handling sees the modifiers.
class TModifiers {
public:
  explicit TModifiers(std::initializer_list<int> AKeys) {
    BYTE keys[256];
    GetKeyboardState(keys);
    std::memcpy(FSaved, keys, sizeof(keys));
    for (int key : AKeys)
      keys[key] = 0x80;
    SetKeyboardState(keys);
  }
  ~TModifiers() { SetKeyboardState(FSaved); }

private:
  BYTE FSaved[256];
};

// A combo whose list can be asked for its rows.
class TTestCombo : public TXPComboBox {
public:
  using TXPComboBox::GetTextRect;
  using TXPComboBox::TXPComboBox;
};

class XPCombo : public TLedgerBalancedTest {
protected:
  void SetUp() override {
    // The framework's window class stays registered for the process once
    // the first window made it; it is not the test's to give back.
    {
      TWinControl probe(nullptr);
      probe.HandleNeeded();
    }
    TLedgerBalancedTest::SetUp();
    Owner = std::make_unique<TComponent>(nullptr);
    Form = new TForm(Owner.get());
    Form->SetBorderStyle(bsNone);
    Form->SetBounds(60, 60, 400, 260);
    Form->Show();
    SetForegroundWindow(Form->Handle());
    harness::PumpMessages();
  }
  void ReleaseShared() override {
    Owner.reset();
    harness::PumpMessages();
    TXPEditResourceManager::FreeResources();
    TXPScrollsResourceManager::FreeImages();
    TXPListsResourceManager::FreeImages();
    TXPHistoryEdit::FreeRegistry();
    // The application object, whose main-window hooks an open list uses.
    ReleaseApplication();
    TSmoothTextRenderer::Shutdown();
    XPGraphicsShutdown();
  }

  template <typename TCombo = TTestCombo>
  TCombo* NewCombo(std::initializer_list<const wchar_t*> AItems = {}, int ALeft = 10,
                   int ATop = 10) {
    auto* combo = new TCombo(Owner.get());
    combo->SetBounds(ALeft, ATop, 150, combo->Height());
    combo->SetParent(Form);
    combo->HandleNeeded();
    for (const wchar_t* item : AItems)
      combo->Items().Add(item);
    return combo;
  }
  static void Type(TCustomXPEdit* AEdit, const std::wstring& AKeys) {
    for (wchar_t c : AKeys)
      SendMessageW(AEdit->Handle(), WM_CHAR, c, 1);
  }
  static void Key(TWinControl* AControl, WORD AKey, UINT AMessage = WM_KEYDOWN) {
    SendMessageW(AControl->Handle(), AMessage, AKey, 1);
  }
  static bool PumpUntil(const std::function<bool()>& ADone) {
    for (int round = 0; round < 200 && !ADone(); ++round) {
      harness::PumpMessages();
      if (!ADone())
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    return ADone();
  }
  static void SendKey(WORD AKey, DWORD AFlags = 0) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = AKey;
    input.ki.dwFlags = AFlags;
    SendInput(1, &input, sizeof(INPUT));
  }
  static RECT ScreenRect(HWND AWindow) {
    RECT rect{};
    GetWindowRect(AWindow, &rect);
    return rect;
  }
  // The screen point at the middle of the combo's drop button.
  static POINT DropButtonCentre(TXPCustomComboBox* ACombo) {
    const RECT button = ACombo->Button()->BoundsRect();
    return ACombo->ClientToScreen(
        POINT{(button.left + button.right) / 2, (button.top + button.bottom) / 2});
  }
  // Drops the list down by a real click on the drop button.
  bool ClickDropButton(TXPCustomComboBox* ACombo, bool AExpectDown) {
    const POINT at = DropButtonCentre(ACombo);
    harness::ClickAtScreen(at.x, at.y);
    return PumpUntil([&] { return ACombo->DroppedDown() == AExpectDown; });
  }
  // The screen point at the middle of a row of the open list.
  static POINT RowCentre(TXPPopupListBox& AList, int AIndex) {
    const RECT row = AList.ItemRect(AIndex);
    return AList.ClientToScreen(POINT{(row.left + row.right) / 2, (row.top + row.bottom) / 2});
  }

  std::unique_ptr<TComponent> Owner;
  TForm* Form = nullptr;
};

// ===========================================================================
// Properties and text

TEST_F(XPCombo, PublishedPropertiesStartAtTheirDefaults) {
  TTestCombo* combo = NewCombo();
  EXPECT_TRUE(combo->AlphaNumericSorting());
  EXPECT_TRUE(combo->AutoComplete());
  EXPECT_EQ(combo->AutoCompleteDelay(), 500u);
  EXPECT_FALSE(combo->AutoDropDown());
  EXPECT_TRUE(combo->AutoDropWidth());
  EXPECT_TRUE(combo->CaseSensitive());
  EXPECT_EQ(combo->DropDownCount(), 8);
  EXPECT_EQ(combo->ItemHeight(), 16);
  EXPECT_EQ(combo->ItemIndex(), -1);
  EXPECT_EQ(combo->Items().GetCount(), 0);
  EXPECT_EQ(combo->NoItemText(), L"");
  EXPECT_FALSE(combo->ShowButton2());
  EXPECT_FALSE(combo->Sorted());
  EXPECT_EQ(combo->Style(), csDropDown);
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_FALSE(combo->PopupListBox().Visible());
  // The item list compares without case although the property reads True.
  EXPECT_FALSE(combo->PopupListBox().ListItems().CaseSensitive());

  combo->SetDropDownCount(0);
  EXPECT_EQ(combo->DropDownCount(), 1);
  combo->SetStyle(csSimple);
  EXPECT_EQ(combo->Style(), csDropDown);
  combo->SetCaseSensitive(false);
  combo->SetCaseSensitive(true);
  EXPECT_TRUE(combo->PopupListBox().ListItems().CaseSensitive());
}

TEST_F(XPCombo, ItemIndexSetsTheTextAndItemDataStaysWithItsString) {
  TTestCombo* combo = NewCombo();
  int changes = 0;
  combo->OnChange = [&](TControl*) { ++changes; };
  int first = 1, second = 2;
  combo->Items().AddObject(L"First", &first);
  // The first string of an empty list becomes current and the combo shows it.
  EXPECT_EQ(combo->ItemIndex(), 0);
  EXPECT_EQ(combo->Text(), L"First");
  EXPECT_EQ(changes, 0) << "handing the first item on is no change of the user's";
  combo->Items().AddObject(L"Second", &second);
  combo->SetItemIndex(1);
  EXPECT_EQ(combo->Text(), L"Second");
  EXPECT_EQ(combo->Items().GetObject(combo->ItemIndex()), &second);
  combo->SetSorted(true);
  combo->Items().AddObject(L"Alpha", nullptr);
  EXPECT_EQ(combo->Items().Get(0), L"Alpha");
  EXPECT_EQ(combo->Items().GetObject(combo->Items().IndexOf(L"First")), &first);
  EXPECT_EQ(combo->Text(), L"Second");
  EXPECT_EQ(combo->ItemIndex(), 2) << "the current item follows its string";
  combo->SetItemIndex(-1);
  EXPECT_EQ(combo->Text(), L"");
  combo->SetText(L"Alpha");
  EXPECT_EQ(combo->ItemIndex(), 0) << "a typed-in item's text selects it";
  combo->ClearSelection();
  EXPECT_EQ(combo->ItemIndex(), -1);
  combo->Clear();
  EXPECT_EQ(combo->Items().GetCount(), 0);
  EXPECT_EQ(combo->Text(), L"");
}

TEST_F(XPCombo, DropDownListTakesOnlyTheTextsOfItems) {
  TTestCombo* combo = NewCombo({L"One", L"Two", L"Three"});
  combo->SetStyle(csDropDownList);
  combo->SetItemIndex(1);
  struct TCase {
    const wchar_t* Assigned;
    const wchar_t* Text;
    int Index;
  };
  const TCase cases[] = {
      {L"Four", L"Two", 1},
      {L"Three", L"Three", 2},
      // IndexOf ignores case: the combo shows the item's own text.
      {L"one", L"One", 0},
      {L"", L"", -1},
  };
  for (const TCase& c : cases) {
    combo->SetText(c.Assigned);
    EXPECT_EQ(combo->Text(), c.Text) << Narrow(c.Assigned);
    EXPECT_EQ(combo->ItemIndex(), c.Index) << Narrow(c.Assigned);
  }
  // The window text message is refused the same way, and still answers 1.
  combo->SetItemIndex(2);
  EXPECT_EQ(SendMessageW(combo->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Nine")), 1);
  EXPECT_EQ(combo->Text(), L"Three");
  EXPECT_EQ(SendMessageW(combo->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"One")), 1);
  EXPECT_EQ(combo->ItemIndex(), 0);

  // Turning a drop-down combo with a stray text into a list empties it.
  TTestCombo* other = NewCombo({L"One"}, 10, 60);
  other->SetText(L"stray");
  other->SetStyle(csDropDownList);
  EXPECT_EQ(other->Text(), L"");
  EXPECT_EQ(other->ItemIndex(), -1);
}

// ===========================================================================
// Auto-completion

TEST_F(XPCombo, DropDownListSearchesByTypedPrefixUntilThePause) {
  TTestCombo* combo = NewCombo({L"One", L"Two", L"Three"});
  combo->SetStyle(csDropDownList);
  combo->SetItemIndex(-1);
  int changes = 0;
  combo->OnChange = [&](TControl*) { ++changes; };
  // A pause that never ends: the typed characters build one search text.
  combo->SetAutoCompleteDelay(0xFFFFFFFFu);
  Type(combo, L"t");
  EXPECT_EQ(combo->Text(), L"Two");
  Type(combo, L"h");
  EXPECT_EQ(combo->Text(), L"Three") << "the search text is th";
  EXPECT_EQ(combo->ItemIndex(), 2);
  EXPECT_EQ(changes, 2);
  Type(combo, L"x");
  EXPECT_EQ(combo->Text(), L"Three") << "a character that matches nothing is dropped";

  // Every character after the pause: each starts a search of its own.
  combo->SetAutoCompleteDelay(0);
  Type(combo, L"o");
  EXPECT_EQ(combo->Text(), L"One");
  Type(combo, L"t");
  EXPECT_EQ(combo->Text(), L"Two");
  Type(combo, L"h");
  EXPECT_EQ(combo->Text(), L"Two") << "h alone matches nothing";
  Type(combo, L"t");
  EXPECT_EQ(combo->Text(), L"Three") << "the search goes on after the current item";
}

TEST_F(XPCombo, DropDownCompletesTheTypedTextAndSelectsTheRest) {
  TTestCombo* combo = NewCombo({L"Alpha", L"Beta"});
  combo->SetItemIndex(-1);
  combo->SetFocus();
  Type(combo, L"a");
  EXPECT_EQ(combo->Text(), L"alpha");
  Type(combo, L"l");
  EXPECT_EQ(combo->Text(), L"alpha") << "the user's typing keeps its case";
  EXPECT_EQ(combo->SelStart(), 2);
  EXPECT_EQ(combo->SelLength(), 3);
  EXPECT_EQ(combo->ItemIndex(), 0);

  // Backspace removes the completed part and lets the item go.
  Type(combo, L"\b");
  EXPECT_EQ(combo->Text(), L"al");
  EXPECT_EQ(combo->ItemIndex(), -1);
  EXPECT_EQ(combo->CaretPos(), 2);
  // Then the character before the caret.
  Type(combo, L"\b");
  EXPECT_EQ(combo->Text(), L"a");
  // A character that completes nothing is the edit's.
  Type(combo, L"z");
  EXPECT_EQ(combo->Text(), L"az");

  // Typing inside the text does not complete.
  combo->SetText(L"Be");
  combo->SetSelStart(0);
  Type(combo, L"x");
  EXPECT_EQ(combo->Text(), L"xBe");

  // Without auto-completion typing is plain editing.
  combo->SetAutoComplete(false);
  combo->SetText(L"");
  Type(combo, L"b");
  EXPECT_EQ(combo->Text(), L"b");

  // A combo without items leaves every character to the edit.
  TTestCombo* empty = NewCombo({}, 10, 60);
  Type(empty, L"q");
  EXPECT_EQ(empty->Text(), L"q");
}

TEST_F(XPCombo, ReadOnlyComboIgnoresTypingTheWheelAndItsButton) {
  TTestCombo* combo = NewCombo({L"Alpha", L"Beta"});
  combo->SetItemIndex(0);
  combo->SetReadOnly(true);
  int keyPresses = 0;
  combo->OnKeyPress = [&](TControl*, wchar_t&) { ++keyPresses; };
  Type(combo, L"b");
  EXPECT_EQ(combo->Text(), L"Alpha");
  EXPECT_EQ(keyPresses, 0) << "not even OnKeyPress";
  SendMessageW(combo->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(-WHEEL_DELTA)), 0);
  EXPECT_EQ(combo->ItemIndex(), 0);
  Key(combo, VK_DOWN);
  EXPECT_EQ(combo->ItemIndex(), 0);
  combo->Button()->Click();
  EXPECT_FALSE(combo->DroppedDown());
}

TEST_F(XPCombo, WheelAndArrowsStepThroughTheItems) {
  TTestCombo* combo = NewCombo({L"One", L"Two", L"Three"});
  combo->SetItemIndex(0);
  combo->SetFocus();
  EXPECT_EQ(SendMessageW(combo->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(-WHEEL_DELTA)), 0), 1);
  EXPECT_EQ(combo->Text(), L"Two");
  EXPECT_EQ(combo->SelLength(), 3) << "the text is selected in csDropDown";
  SendMessageW(combo->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(WHEEL_DELTA)), 0);
  EXPECT_EQ(combo->Text(), L"One");
  Key(combo, VK_DOWN);
  Key(combo, VK_DOWN);
  Key(combo, VK_DOWN);
  EXPECT_EQ(combo->Text(), L"Three") << "the last item stays";

  combo->SetStyle(csDropDownList);
  struct TCase {
    WORD Key;
    int Index;
  };
  for (const TCase& c : {TCase{VK_HOME, 0}, TCase{VK_RIGHT, 1}, TCase{VK_END, 2}, TCase{VK_LEFT, 1},
                         TCase{VK_UP, 0}, TCase{VK_DOWN, 1}}) {
    Key(combo, c.Key);
    EXPECT_EQ(combo->ItemIndex(), c.Index) << c.Key;
  }
}

// ===========================================================================
// The drop-down list

TEST_F(XPCombo, ListIsAsHighAsItsRowsAndWideEnoughForItsItems) {
  TTestCombo* combo = NewCombo();
  for (int i = 0; i < 20; ++i)
    combo->Items().Add(L"Entry number " + std::to_wstring(i) + L" with a longer text");
  combo->SetDropDownCount(8);
  combo->SetDroppedDown(true);
  TXPPopupListBox& list = combo->PopupListBox();
  ASSERT_TRUE(list.Visible());
  const bool classic = GetXPThemeState() == xtsClassic;
  const int border = 2 * (GetSystemMetrics(SM_CYBORDER) + (classic ? 0 : 1));
  EXPECT_EQ(list.Height(), border + 8 * list.UsedItemHeight());
  int widest = 0;
  for (int i = 0; i < 20; ++i)
    widest = std::max(widest, combo->MeasureItemText(i));
  ASSERT_GT(widest, 0);
  const int expected = std::max(
      combo->Width(), std::min(400, widest + GetXPScrollBarSize() +
                                        2 * (GetSystemMetrics(SM_CXBORDER) + (classic ? 2 : 3))));
  EXPECT_EQ(list.Width(), expected);
  EXPECT_TRUE(list.VertScrollBar().Visible());
  // Under the combo, on the screen.
  const RECT comboRect = ScreenRect(combo->Handle());
  const RECT listRect = ScreenRect(list.Handle());
  EXPECT_EQ(listRect.left, comboRect.left);
  EXPECT_EQ(listRect.top, comboRect.bottom);
  EXPECT_TRUE(IsWindowVisible(list.Handle()));
  combo->SetDroppedDown(false);
  EXPECT_FALSE(IsWindowVisible(list.Handle()));

  // No items: one row.
  TTestCombo* empty = NewCombo({}, 10, 60);
  empty->SetDroppedDown(true);
  EXPECT_EQ(empty->PopupListBox().Height(), border + empty->PopupListBox().UsedItemHeight());
  EXPECT_EQ(empty->PopupListBox().Width(), empty->Width());
  empty->SetDroppedDown(false);

  // An item wider than the limit: the list stops at 400 pixels.
  TTestCombo* wide = NewCombo({}, 10, 110);
  wide->Items().Add(std::wstring(120, L'W'));
  ASSERT_GE(wide->MeasureItemText(0), 600);
  wide->SetDroppedDown(true);
  EXPECT_EQ(wide->PopupListBox().Width(), 400);
  wide->SetDroppedDown(false);
  wide->SetAutoDropWidth(false);
  wide->SetDroppedDown(true);
  EXPECT_EQ(wide->PopupListBox().Width(), wide->Width());
  wide->SetDroppedDown(false);
}

TEST_F(XPCombo, ListAtTheScreensCornerStaysOnTheMonitor) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromWindow(Form->Handle(), MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT screen = monitor.rcMonitor;
  Form->SetBounds(screen.right - 160, screen.bottom - 40, 160, 40);
  harness::PumpMessages();
  TTestCombo* combo = NewCombo({}, 5, 5);
  for (int i = 0; i < 12; ++i)
    combo->Items().Add(L"A rather long item of the list, number " + std::to_wstring(i));
  combo->SetDroppedDown(true);
  const RECT list = ScreenRect(combo->PopupListBox().Handle());
  EXPECT_LE(list.right, screen.right);
  EXPECT_LE(list.bottom, screen.bottom);
  EXPECT_GT(list.right - list.left, combo->Width()) << "wider than the combo, so moved left";
  EXPECT_LT(list.top, ScreenRect(combo->Handle()).bottom) << "moved up over the combo";
  combo->SetDroppedDown(false);
}

TEST_F(XPCombo, ClickingTheButtonDropsAndAClickOnAnItemPicksIt) {
  TTestCombo* combo = NewCombo({L"Red", L"Green", L"Blue"});
  combo->SetItemIndex(0);
  std::vector<std::string> events;
  combo->OnDropDown = [&](TControl*) { events.push_back("drop"); };
  combo->OnCloseUp = [&](TControl*) { events.push_back("close"); };
  combo->OnSelect = [&](TControl*) { events.push_back("select"); };
  combo->OnChange = [&](TControl*) { events.push_back("change"); };
  ASSERT_TRUE(ClickDropButton(combo, true));
  TXPPopupListBox& list = combo->PopupListBox();
  EXPECT_TRUE(IsWindowVisible(list.Handle()));
  EXPECT_TRUE(combo->Focused()) << "the combo keeps the focus";
  EXPECT_TRUE(TXPPopupListBox::MouseHookInstalled());
  EXPECT_EQ(list.ItemIndex(), 0);

  const POINT blue = RowCentre(list, 2);
  SetCursorPos(blue.x, blue.y);
  // Moving over a row chooses it without handing it on.
  ASSERT_TRUE(PumpUntil([&] {
    SendMessageW(list.Handle(), WM_MOUSEMOVE, 0,
                 MAKELPARAM(list.ScreenToClient(blue).x, list.ScreenToClient(blue).y));
    return list.ItemIndex() == 2;
  }));
  EXPECT_EQ(combo->Text(), L"Red");
  {
    // The chosen row is drawn in the highlight colour.
    std::unique_ptr<TBitmap> picture = harness::PrintWindow(list.Handle());
    const RECT row = list.ItemRect(2);
    EXPECT_EQ(harness::PixelAt(*picture, row.right - 3, (row.top + row.bottom) / 2),
              TColor(ColorToColorRef(clXPHighlight)));
    EXPECT_NE(harness::PixelAt(*picture, row.right - 3, list.ItemRect(0).top + 2),
              TColor(ColorToColorRef(clXPHighlight)));
  }
  harness::ClickAtScreen(blue.x, blue.y);
  ASSERT_TRUE(PumpUntil([&] { return !combo->DroppedDown(); }));
  EXPECT_EQ(combo->Text(), L"Blue");
  EXPECT_EQ(combo->ItemIndex(), 2);
  EXPECT_FALSE(IsWindowVisible(list.Handle()));
  EXPECT_FALSE(TXPPopupListBox::MouseHookInstalled());
  EXPECT_EQ(TXPPopupListBox::OpenPopup(), nullptr);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front(), "drop");
  EXPECT_NE(std::find(events.begin(), events.end(), "close"), events.end());
  EXPECT_NE(std::find(events.begin(), events.end(), "change"), events.end());
  EXPECT_NE(std::find(events.begin(), events.end(), "select"), events.end());
}

TEST_F(XPCombo, ClickingTheButtonWhileDownClosesAndLeavesItClosed) {
  TTestCombo* combo = NewCombo({L"Red", L"Green"});
  ASSERT_TRUE(ClickDropButton(combo, true));
  ASSERT_TRUE(ClickDropButton(combo, false));
  // Settle: nothing re-opens it afterwards.
  for (int i = 0; i < 5; ++i) {
    harness::PumpMessages();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_FALSE(combo->PopupListBox().Visible());
  // And the next click opens it again.
  ASSERT_TRUE(ClickDropButton(combo, true));
  combo->SetDroppedDown(false);
}

TEST_F(XPCombo, ClickElsewhereClosesWithoutTakingTheItem) {
  TTestCombo* combo = NewCombo({L"Red", L"Green", L"Blue"});
  combo->SetItemIndex(0);
  ASSERT_TRUE(ClickDropButton(combo, true));
  TXPPopupListBox& list = combo->PopupListBox();
  const POINT green = list.ScreenToClient(RowCentre(list, 1));
  SendMessageW(list.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(green.x, green.y));
  ASSERT_EQ(list.ItemIndex(), 1);
  const POINT away = Form->ClientToScreen(POINT{300, 200});
  harness::ClickAtScreen(away.x, away.y);
  ASSERT_TRUE(PumpUntil([&] { return !combo->DroppedDown(); }));
  EXPECT_EQ(combo->Text(), L"Red");
  EXPECT_EQ(list.ItemIndex(), 0) << "the list is put back on the combo's text";
  EXPECT_FALSE(combo->Flag1());
}

TEST_F(XPCombo, KeysInTheOpenListMoveAcceptAndCancel) {
  TTestCombo* combo = NewCombo({L"Red", L"Green", L"Blue"});
  combo->SetItemIndex(0);
  combo->SetFocus();
  int selects = 0;
  combo->OnSelect = [&](TControl*) { ++selects; };
  // Alt+Down opens.
  {
    TModifiers alt({VK_MENU});
    Key(combo, VK_DOWN, WM_SYSKEYDOWN);
  }
  ASSERT_TRUE(combo->DroppedDown());
  // Keys that reach the combo go to the list: Down moves and hands on.
  Key(combo, VK_DOWN);
  EXPECT_EQ(combo->PopupListBox().ItemIndex(), 1);
  EXPECT_EQ(combo->Text(), L"Green");
  EXPECT_EQ(selects, 1);
  Key(combo, VK_RETURN);
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(combo->Text(), L"Green");
  EXPECT_EQ(combo->SelLength(), 5) << "accepted text is selected in csDropDown";

  // Escape puts the list back on the combo's text.
  combo->SetDroppedDown(true);
  TXPPopupListBox& list = combo->PopupListBox();
  const POINT blue = list.ScreenToClient(RowCentre(list, 2));
  SendMessageW(list.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(blue.x, blue.y));
  ASSERT_EQ(list.ItemIndex(), 2);
  Key(combo, VK_ESCAPE);
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(combo->Text(), L"Green");
  EXPECT_EQ(list.ItemIndex(), 1);

  // Typed characters auto-complete in the combo while the list is down.
  combo->SetStyle(csDropDownList);
  combo->SetAutoCompleteDelay(0);
  combo->SetDroppedDown(true);
  Type(combo, L"b");
  EXPECT_EQ(combo->Text(), L"Blue");
  EXPECT_EQ(list.ItemIndex(), 2);
  // Alt+Up closes accepting.
  {
    TModifiers alt({VK_MENU});
    Key(combo, VK_UP, WM_SYSKEYDOWN);
  }
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(combo->Text(), L"Blue");
}

TEST_F(XPCombo, RealKeysOpenPickAndAcceptWithoutLeakingTheEnter) {
  TTestCombo* combo = NewCombo({L"Red", L"Green", L"Blue"});
  combo->SetStyle(csDropDownList);
  combo->SetItemIndex(0);
  combo->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return combo->Focused(); }));
  int keyPresses = 0;
  combo->OnKeyPress = [&](TControl*, wchar_t&) { ++keyPresses; };
  SendKey(VK_MENU);
  SendKey(VK_DOWN, KEYEVENTF_EXTENDEDKEY);
  SendKey(VK_DOWN, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP);
  SendKey(VK_MENU, KEYEVENTF_KEYUP);
  ASSERT_TRUE(PumpUntil([&] { return combo->DroppedDown(); }));
  SendKey(VK_DOWN, KEYEVENTF_EXTENDEDKEY);
  SendKey(VK_DOWN, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP);
  SendKey(VK_DOWN, KEYEVENTF_EXTENDEDKEY);
  SendKey(VK_DOWN, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP);
  ASSERT_TRUE(PumpUntil([&] { return combo->PopupListBox().ItemIndex() == 2; }));
  SendKey(VK_RETURN);
  SendKey(VK_RETURN, KEYEVENTF_KEYUP);
  ASSERT_TRUE(PumpUntil([&] { return !combo->DroppedDown(); }));
  for (int i = 0; i < 5; ++i) {
    harness::PumpMessages();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  EXPECT_EQ(combo->Text(), L"Blue");
  EXPECT_EQ(keyPresses, 0) << "the Enter that closed the list is not typed as well";
}

TEST_F(XPCombo, SwitchingToAnotherApplicationClosesTheList) {
  TTestCombo* combo = NewCombo({L"Red", L"Green"});
  combo->SetItemIndex(0);
  Application()->SetMainWindow(Form->Handle());
  combo->SetDroppedDown(true);
  TXPPopupListBox& list = combo->PopupListBox();
  const POINT green = list.ScreenToClient(RowCentre(list, 1));
  SendMessageW(list.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(green.x, green.y));
  SendMessageW(Form->Handle(), WM_ACTIVATEAPP, FALSE, 0);
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(combo->Text(), L"Red");
  Application()->SetMainWindow(nullptr);
}

TEST_F(XPCombo, LosingFocusDisablingOrFreeingTheComboClosesTheList) {
  TTestCombo* combo = NewCombo({L"Red"});
  TTestCombo* other = NewCombo({L"Blue"}, 10, 60);
  const HWND window = combo->Handle();
  const LONG_PTR procedure = GetWindowLongPtrW(window, GWLP_WNDPROC);

  combo->SetDroppedDown(true);
  EXPECT_NE(GetWindowLongPtrW(window, GWLP_WNDPROC), procedure) << "keys go through the list";
  other->SetFocus();
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(GetWindowLongPtrW(window, GWLP_WNDPROC), procedure);

  combo->SetDroppedDown(true);
  combo->SetEnabled(false);
  EXPECT_FALSE(combo->DroppedDown());
  combo->SetEnabled(true);

  combo->SetDroppedDown(true);
  TComponent::Free(combo);
  EXPECT_EQ(TXPPopupListBox::OpenPopup(), nullptr);
  EXPECT_FALSE(TXPPopupListBox::MouseHookInstalled());
  // The other combo still works.
  other->SetDroppedDown(true);
  EXPECT_TRUE(other->PopupListBox().Visible());
  // One list at a time: opening a second closes the first.
  TTestCombo* third = NewCombo({L"Green"}, 10, 110);
  third->SetDroppedDown(true);
  EXPECT_FALSE(other->DroppedDown());
  EXPECT_FALSE(other->PopupListBox().Visible());
  EXPECT_EQ(TXPPopupListBox::OpenPopup(), &third->PopupListBox());
  EXPECT_TRUE(third->Focused()) << "the first combo's closing does not take the focus back";
  third->SetDroppedDown(false);
  EXPECT_FALSE(TXPPopupListBox::MouseHookInstalled());
}

TEST_F(XPCombo, DropDownListOpensOnAClickAnywhere) {
  TTestCombo* combo = NewCombo({L"Red", L"Green"});
  combo->SetStyle(csDropDownList);
  const POINT text = combo->ClientToScreen(POINT{10, combo->Height() / 2});
  harness::ClickAtScreen(text.x, text.y);
  ASSERT_TRUE(PumpUntil([&] { return combo->DroppedDown(); }));
  // A click on the combo's text while down closes it and keeps it closed.
  harness::ClickAtScreen(text.x, text.y);
  ASSERT_TRUE(PumpUntil([&] { return !combo->DroppedDown(); }));
  for (int i = 0; i < 5; ++i) {
    harness::PumpMessages();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  EXPECT_FALSE(combo->DroppedDown());
}

TEST_F(XPCombo, SecondButtonClicksItsOwnEventAndCtrlEnterClicksIt) {
  TTestCombo* combo = NewCombo({L"Red"});
  const RECT narrow = [&] {
    RECT rect;
    combo->GetTextRect(rect);
    return rect;
  }();
  combo->SetShowButton2(true);
  ASSERT_TRUE(combo->Button2()->Visible());
  EXPECT_GT(combo->Button()->Left(), 0);
  EXPECT_GT(combo->Button2()->Left(), combo->Button()->Left()) << "the second one docks outermost";
  RECT rect;
  combo->GetTextRect(rect);
  EXPECT_EQ(rect.right, narrow.right - combo->Button2()->Width());
  int clicks = 0;
  combo->OnButton2Click = [&](TControl*) { ++clicks; };
  combo->Button2()->Click();
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(combo->DroppedDown());
  {
    TModifiers ctrl({VK_CONTROL});
    Key(combo, VK_RETURN);
  }
  EXPECT_EQ(clicks, 2);
}

TEST_F(XPCombo, ListStylesHaveNoCaretAndTheirMenuIsOnlyAnAssignedOne) {
  TTestCombo* combo = NewCombo({L"Red"});
  combo->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return combo->Focused(); }));
  {
    GUITHREADINFO thread{};
    thread.cbSize = sizeof(thread);
    ASSERT_TRUE(GetGUIThreadInfo(GetCurrentThreadId(), &thread));
    EXPECT_EQ(thread.hwndCaret, combo->Handle()) << "a drop-down combo has its caret";
  }
  EXPECT_NE(combo->GetPopupMenu(), nullptr);
  combo->SetStyle(csDropDownList);
  EXPECT_EQ(combo->GetPopupMenu(), nullptr);
  combo->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return combo->Focused(); }));
  GUITHREADINFO thread{};
  thread.cbSize = sizeof(thread);
  ASSERT_TRUE(GetGUIThreadInfo(GetCurrentThreadId(), &thread));
  EXPECT_NE(thread.hwndCaret, combo->Handle());
  combo->SetSelLength(0);
  EXPECT_EQ(combo->SelectAll(), S_OK);
  EXPECT_EQ(combo->SelLength(), 0) << "SelectAll selects nothing in a list style";
}

// ===========================================================================
// History edit

class XPHistory : public XPCombo {
protected:
  void SetUp() override {
    XPCombo::SetUp();
    Unique = std::wstring(L"xp_combo-") + (sizeof(void*) == 8 ? L"x86_64" : L"i686") + L"-" +
             std::to_wstring(GetCurrentProcessId());
    Prefix = L"Software\\OrvandelTests\\";
    TXPHistoryEdit::SetKeyPrefix(Prefix);
  }
  void TearDown() override {
    TXPHistoryEdit::SetKeyPrefix(L"");
    XPCombo::TearDown();
    RegDeleteTreeW(HKEY_CURRENT_USER, (Prefix + Unique).c_str());
    RegDeleteTreeW(HKEY_CURRENT_USER, (std::wstring(kXPHistoryOlderPath) + Unique).c_str());
  }
  TXPHistoryEdit* NewHistory(const std::wstring& AValue, TWinControl* AParent = nullptr) {
    auto* edit = new TXPHistoryEdit(Owner.get());
    edit->SetRegKey(Unique + L"\\" + AValue);
    edit->SetParent(AParent ? AParent : Form);
    edit->HandleNeeded();
    return edit;
  }
  // The value kept at key\value below HKEY_CURRENT_USER, "<none>" when missing.
  static std::wstring Stored(const std::wstring& AKey, const std::wstring& AValue) {
    wchar_t buffer[8192];
    DWORD bytes = sizeof(buffer);
    DWORD type = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, AKey.c_str(), AValue.c_str(), RRF_RT_REG_SZ, &type, buffer,
                     &bytes) != ERROR_SUCCESS)
      return L"<none>";
    return buffer;
  }
  static void Put(const std::wstring& AKey, const std::wstring& AValue, const std::wstring& AData) {
    RegSetKeyValueW(HKEY_CURRENT_USER, AKey.c_str(), AValue.c_str(), REG_SZ, AData.c_str(),
                    DWORD((AData.size() + 1) * sizeof(wchar_t)));
  }
  static std::vector<std::wstring> Lines(TXPHistoryEdit* AEdit) {
    std::vector<std::wstring> lines;
    for (int i = 0; i < AEdit->Items().GetCount(); ++i)
      lines.push_back(AEdit->Items().Get(i));
    return lines;
  }
  static void Confirm(TXPHistoryEdit* AEdit, const std::wstring& AText) {
    AEdit->SetText(AText);
    AEdit->WantSpecialKey(VK_RETURN);
  }

  std::wstring Unique;
  std::wstring Prefix;
};

TEST_F(XPHistory, ConfirmedTextsGoToTheTopOnceAndEmptyOnesNever) {
  TXPHistoryEdit* edit = NewHistory(L"Lines");
  EXPECT_EQ(edit->Style(), csDropDown);
  EXPECT_TRUE(edit->AddToHistoryOnExit());
  for (const wchar_t* text : {L"a", L"b", L"a", L""})
    Confirm(edit, text);
  EXPECT_EQ(Lines(edit), (std::vector<std::wstring>{L"a", L"b"}));
  EXPECT_EQ(edit->ItemIndex(), -1) << "the empty text left the choice";
  Confirm(edit, L"b");
  EXPECT_EQ(Lines(edit), (std::vector<std::wstring>{L"b", L"a"}));
  EXPECT_EQ(edit->ItemIndex(), 0);
  edit->EmptyHistory();
  EXPECT_TRUE(Lines(edit).empty());
}

TEST_F(XPHistory, EnterFiresOnEnterHitAndIsTakenByTheHistory) {
  TXPHistoryEdit* edit = NewHistory(L"Enter");
  int hits = 0;
  edit->OnEnterHit = [&](TControl*) { ++hits; };
  edit->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return edit->Focused(); }));
  edit->SetText(L"0x20000000");
  SendKey(VK_RETURN);
  SendKey(VK_RETURN, KEYEVENTF_KEYUP);
  ASSERT_TRUE(PumpUntil([&] { return hits == 1; }));
  EXPECT_EQ(Lines(edit), (std::vector<std::wstring>{L"0x20000000"}));
  EXPECT_EQ(edit->Text(), L"0x20000000") << "the Enter is not typed into the text";
}

TEST_F(XPHistory, LinesAreSavedToTheRegistryAndReadBackWithoutALimit) {
  TXPHistoryEdit* edit = NewHistory(L"Address");
  std::vector<std::wstring> expected;
  for (int i = 0; i < 100; ++i) {
    Confirm(edit, L"0x" + std::to_wstring(1000 + i));
    expected.insert(expected.begin(), L"0x" + std::to_wstring(1000 + i));
  }
  edit->SaveHistory();
  const std::wstring stored = Stored(Prefix + Unique, L"Address");
  EXPECT_EQ(stored.substr(0, 14), L"0x1099\r\n0x1098") << "most recent first, CR LF apart";

  TXPHistoryEdit* again = NewHistory(L"Address");
  again->SetText(L"kept");
  again->LoadHistory();
  EXPECT_EQ(Lines(again), expected);
  EXPECT_EQ(again->Text(), L"kept") << "loading leaves the text shown";

  // A history that was never saved reads as empty.
  TXPHistoryEdit* fresh = NewHistory(L"Nothing");
  fresh->Items().Add(L"stale");
  fresh->LoadHistory();
  EXPECT_TRUE(Lines(fresh).empty());
}

TEST_F(XPHistory, PathsSplitAtTheLastBackslashAndFollowTheOwnerWithoutARegKey) {
  TXPHistoryEdit* edit = NewHistory(L"Tools\\Flash\\Address");
  Confirm(edit, L"0x00000000");
  edit->SaveHistory();
  EXPECT_EQ(Stored(Prefix + Unique + L"\\Tools\\Flash", L"Address"), L"0x00000000");

  // Without RegKey: the owner's class name and the edit's name.
  auto* named = new TXPHistoryEdit(Form);
  named->SetName(L"EditFilename");
  TXPHistoryEdit::SetKeyPrefix(Prefix + Unique + L"\\");
  EXPECT_EQ(named->CurrentPath(), Prefix + Unique + L"\\TForm\\EditFilename");
  EXPECT_EQ(named->OlderPath(), std::wstring(kXPHistoryOlderPath) + L"EditFilenameProp");
  EXPECT_EQ(edit->OlderPath(), std::wstring(kXPHistoryOlderPath) + edit->RegKey());
  named->Items().Add(L"file.hex");
  named->SaveHistory();
  EXPECT_EQ(Stored(Prefix + Unique + L"\\TForm", L"EditFilename"), L"file.hex");
  // Without a name either there is no place of its own: nothing is written.
  auto* unnamed = new TXPHistoryEdit(Form);
  unnamed->Items().Add(L"nowhere");
  unnamed->SaveHistory();
  EXPECT_EQ(Stored(Prefix + Unique + L"\\TForm", L""), L"<none>");
  TXPHistoryEdit::SetKeyPrefix(Prefix);
  TComponent::Free(unnamed);
  TComponent::Free(named);
}

TEST_F(XPHistory, AFirstRunReadsTheOlderPlaceAndSavesToTheCurrentOne) {
  Put(std::wstring(kXPHistoryOlderPath) + Unique, L"Older", L"old 1\r\nold 2");
  TXPHistoryEdit* edit = NewHistory(L"Older");
  edit->LoadHistory();
  EXPECT_EQ(Lines(edit), (std::vector<std::wstring>{L"old 1", L"old 2"}));
  Confirm(edit, L"new");
  edit->SaveHistory();
  EXPECT_EQ(Stored(Prefix + Unique, L"Older"), L"new\r\nold 1\r\nold 2");
  EXPECT_EQ(Stored(std::wstring(kXPHistoryOlderPath) + Unique, L"Older"), L"old 1\r\nold 2")
      << "the older place is never written";
  // Once the current place holds lines, they win.
  TXPHistoryEdit* next = NewHistory(L"Older");
  next->LoadHistory();
  EXPECT_EQ(Lines(next).front(), L"new");
}

TEST_F(XPHistory, AFormClosedWithOkAddsTheTextBeforeSaving) {
  for (TModalResult result : {mrOk, mrCancel}) {
    const std::wstring value = result == mrOk ? L"Ok" : L"Cancel";
    auto* dialog = new TForm(Owner.get());
    dialog->SetBounds(80, 80, 200, 100);
    dialog->Show();
    TXPHistoryEdit* edit = NewHistory(value, dialog);
    edit->Items().Add(L"earlier");
    edit->SetText(L"typed");
    dialog->SetModalResult(result);
    TComponent::Free(dialog);
    harness::PumpMessages();
    EXPECT_EQ(Stored(Prefix + Unique, value), result == mrOk ? L"typed\r\nearlier" : L"earlier")
        << Narrow(value);
  }
}

TEST_F(XPHistory, LoadedReadsTheHistoryAndTheRegistryGoesAtUnloading) {
  Put(Prefix + Unique, L"Loaded", L"x\r\ny");
  TXPHistoryEdit* edit = NewHistory(L"Loaded");
  edit->Loaded();
  EXPECT_EQ(Lines(edit), (std::vector<std::wstring>{L"x", L"y"}));
  EXPECT_TRUE(TXPHistoryEdit::RegistryCreated());
  EXPECT_STREQ(kXPExtEditsUnitStep.Name, L"XPExtEdits");
  kXPExtEditsUnitStep.Shutdown();
  EXPECT_FALSE(TXPHistoryEdit::RegistryCreated());
}

} // namespace
