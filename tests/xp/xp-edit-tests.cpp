#include "fixed-theme.h"
#include "ledger-balance.h"
#include "xp-button-edit.h"
#include "xp-edit.h"

#include "application.h"
#include "menus.h"
#include "resource-ledger.h"
#include "seams.h"
#include "smooth-text.h"
#include "support/test-harness.h"
#include "xp-controls.h"
#include "xp-graphics.h"
#include "xp-system.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr TColor kParentColor = 0x00A000;

// A button edit whose button shows the ellipsis glyph.
class TTestButtonEdit : public TXPCustomButtonEdit {
public:
  using TXPCustomButtonEdit::TXPCustomButtonEdit;
  TGraphic* GetButtonGlyph(TXPEditButton*) override {
    return TXPEditResourceManager::EllipsisGlyph();
  }
  using TXPCustomButtonEdit::GetButtonsRect;
  using TXPCustomButtonEdit::GetTextRect;
};

// An edit whose themed element can be asked for.
class TTestEdit : public TXPEdit {
public:
  using TXPEdit::GetThemeDetails;
  using TXPEdit::GetThemeState;
  using TXPEdit::TXPEdit;
};

// Opens the clipboard of this process for a moment.
class TClipboard {
public:
  TClipboard() {
    for (int i = 0; i < 50 && !FOpen; ++i)
      if (!(FOpen = OpenClipboard(nullptr) != FALSE))
        Sleep(10);
  }
  ~TClipboard() {
    if (FOpen)
      CloseClipboard();
  }
  bool Open() const { return FOpen; }

private:
  bool FOpen = false;
};

void PutClipboardText(const std::wstring& AText) {
  TClipboard clipboard;
  ASSERT_TRUE(clipboard.Open());
  EmptyClipboard();
  const size_t bytes = (AText.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  std::memcpy(GlobalLock(memory), AText.c_str(), bytes);
  GlobalUnlock(memory);
  SetClipboardData(CF_UNICODETEXT, memory);
}

std::wstring ClipboardText() {
  TClipboard clipboard;
  if (!clipboard.Open())
    return L"<closed>";
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (!data)
    return L"<none>";
  std::wstring text = static_cast<const wchar_t*>(GlobalLock(data));
  GlobalUnlock(data);
  return text;
}

// Sets the thread's key state as the keyboard would have left it, so the
// edit's key handling sees the modifiers.
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

class XPEdit : public TLedgerBalancedTest {
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
    Form = new TWinControl(Owner.get());
    Form->SetBounds(60, 60, 400, 200);
    Form->SetColor(kParentColor);
    Form->Show();
    SetForegroundWindow(Form->Handle());
    harness::PumpMessages();
  }
  void ReleaseShared() override {
    Owner.reset();
    harness::PumpMessages();
    TXPEditResourceManager::FreeResources();
    TSmoothTextRenderer::Shutdown();
    XPGraphicsShutdown();
  }

  template <typename TEdit = TXPEdit> TEdit* NewEdit(int ALeft = 10, int ATop = 10) {
    auto* edit = new TEdit(Owner.get());
    edit->SetLeft(ALeft);
    edit->SetTop(ATop);
    edit->SetParent(Form);
    edit->HandleNeeded();
    return edit;
  }
  static void Type(TCustomXPEdit* AEdit, const std::wstring& AKeys) {
    for (wchar_t c : AKeys)
      SendMessageW(AEdit->Handle(), WM_CHAR, c, 1);
  }
  static void Key(TCustomXPEdit* AEdit, WORD AKey) {
    SendMessageW(AEdit->Handle(), WM_KEYDOWN, AKey, 1);
  }
  // The client x at which the character boundary APosition lies.
  static int XOfBoundary(TCustomXPEdit* AEdit, int APosition) {
    for (int x = 0; x < AEdit->Width(); ++x)
      if (AEdit->PositionAt(x) == APosition)
        return x;
    return -1;
  }
  static bool PumpUntil(const std::function<bool()>& ADone) {
    for (int round = 0; round < 200 && !ADone(); ++round) {
      harness::PumpMessages();
      if (!ADone())
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    return ADone();
  }

  std::unique_ptr<TComponent> Owner;
  TWinControl* Form = nullptr;
};

// ===========================================================================
// Text, filtering and number modes

TEST_F(XPEdit, TypedAndPastedCharactersAreFilteredByTheNumberMode) {
  struct TCase {
    TNumberTypeEx Type;
    TRadix Radix;
    std::wstring Keys;
    std::wstring Expected;
  };
  const TCase cases[] = {
      {ntFloat, rdxDecimal, L"12-3.4x", L"12-3.4"},
      {ntUnsignedInt, rdxHexadecimal, L"1f-z", L"1f"},
      {ntSignedInt, rdxDecimal, L"-7.5a", L"-75"},
      {ntUnsignedInt, rdxBinary, L"10201", L"1001"},
      {ntNone, rdxDecimal, L"a\x00e9\x4e2d", L"a\x00e9\x4e2d"},
  };
  for (const TCase& c : cases) {
    TXPEdit* edit = NewEdit();
    edit->SetNumberType(c.Type);
    edit->SetNumberRadix(c.Radix);
    // Choosing a number mode re-writes the (empty) text as a number.
    edit->SetText(L"");
    Type(edit, c.Keys);
    EXPECT_EQ(edit->Text(), c.Expected) << std::string(c.Keys.begin(), c.Keys.end());
    TComponent::Free(edit);
  }
  // A tab becomes a space, in a number edit too.
  for (TNumberTypeEx type : {ntNone, ntFloat}) {
    TXPEdit* edit = NewEdit();
    edit->SetNumberType(type);
    edit->SetText(L"");
    PutClipboardText(L"1\t2");
    ASSERT_EQ(edit->PasteFromClipboard(), S_OK);
    EXPECT_EQ(edit->Text(), L"1 2");
    TComponent::Free(edit);
  }
}

TEST_F(XPEdit, MaxLengthCutsWhatIsInsertedButKeepsALongerText) {
  TXPEdit* edit = NewEdit();
  edit->SetMaxLength(5);
  edit->SetText(L"abcd");
  PutClipboardText(L"xyz");
  edit->SetSelStart(4);
  ASSERT_EQ(edit->PasteFromClipboard(), S_OK);
  EXPECT_EQ(edit->Text(), L"abcdx");
  edit->SetText(L"abcd");
  edit->SetSelStart(1);
  edit->SetSelLength(2);
  ASSERT_EQ(edit->PasteFromClipboard(), S_OK);
  EXPECT_EQ(edit->Text(), L"axyzd");
  EXPECT_EQ(edit->CaretPos(), 4);
  edit->SetMaxLength(2);
  EXPECT_EQ(edit->Text(), L"axyzd") << "a smaller limit leaves the text";
}

TEST_F(XPEdit, NumberValueReadsAndWritesInTheRadix) {
  TXPEdit* edit = NewEdit();
  edit->SetNumberType(ntUnsignedInt);
  edit->SetNumberRadix(rdxHexadecimal);
  edit->SetText(L"1A");
  EXPECT_EQ(edit->NumberValue(), 26.0);
  edit->SetNumberValue(255);
  EXPECT_EQ(edit->Text(), L"FF");
  edit->SetNumberRadix(rdxBinary);
  EXPECT_EQ(edit->Text(), L"11111111");
  EXPECT_EQ(edit->NumberType(), ntUnsignedInt);
  edit->SetNumberValue(0);
  EXPECT_EQ(edit->Text(), L"0");

  // Signed and float modes force the decimal radix and re-format the value.
  edit->SetNumberType(ntSignedInt);
  EXPECT_EQ(edit->NumberRadix(), rdxDecimal);
  edit->SetText(L"2");
  edit->SetNumberType(ntFloat);
  EXPECT_EQ(edit->Text(), L"2.000");
  edit->SetNumberPrecision(1);
  EXPECT_EQ(edit->Text(), L"2.0");
  edit->SetText(L"junk");
  EXPECT_EQ(edit->NumberValue(), 0.0);
  // A radix other than decimal while a number type is set means unsigned.
  edit->SetNumberRadix(rdxOctal);
  EXPECT_EQ(edit->NumberType(), ntUnsignedInt);
}

TEST_F(XPEdit, UndoRestoresTheTextBeforeTheFirstEditAndUndoAgainRedoes) {
  TXPEdit* edit = NewEdit();
  int changes = 0;
  edit->OnChange = [&](TControl*) { ++changes; };
  edit->SetText(L"abc");
  EXPECT_FALSE(edit->CanUndo()) << "setting the text by code clears the undo buffer";
  edit->SetSelStart(3);
  Type(edit, L"d");
  EXPECT_TRUE(edit->CanUndo());
  ASSERT_EQ(edit->Undo(), S_OK);
  EXPECT_EQ(edit->Text(), L"abc");
  EXPECT_EQ(edit->SelLength(), 3) << "undo selects all";
  ASSERT_EQ(edit->Undo(), S_OK);
  EXPECT_EQ(edit->Text(), L"abcd");
  EXPECT_GE(changes, 3);
  // Ctrl+Z arrives as character 26.
  Type(edit, L"\x1a");
  EXPECT_EQ(edit->Text(), L"abc");
  edit->SetReadOnly(true);
  EXPECT_FALSE(edit->CanUndo());
  Type(edit, L"x\x08");
  EXPECT_EQ(edit->Text(), L"abc") << "a read-only edit takes no edits";
}

TEST_F(XPEdit, ClearCanBeUndoneAndFiresNoChange) {
  TXPEdit* edit = NewEdit();
  edit->SetText(L"keep");
  int changes = 0;
  edit->OnChange = [&](TControl*) { ++changes; };
  edit->Clear();
  EXPECT_EQ(edit->Text(), L"");
  EXPECT_EQ(changes, 0);
  ASSERT_EQ(edit->Undo(), S_OK);
  EXPECT_EQ(edit->Text(), L"keep");
}

TEST_F(XPEdit, WindowTextMessagesServeTheEditText) {
  TXPEdit* edit = NewEdit();
  SendMessageW(edit->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"hello"));
  EXPECT_EQ(edit->Text(), L"hello");
  EXPECT_EQ(SendMessageW(edit->Handle(), WM_GETTEXTLENGTH, 0, 0), 5);
  wchar_t buffer[4] = {L'?', L'?', L'?', L'?'};
  EXPECT_EQ(SendMessageW(edit->Handle(), WM_GETTEXT, 4, reinterpret_cast<LPARAM>(buffer)), 3);
  EXPECT_EQ(std::wstring(buffer), L"hel");
  EXPECT_EQ(SendMessageW(edit->Handle(), WM_GETDLGCODE, 0, 0) & 0x81, 0x81);
  // The framework's caption follows the text for listings.
  EXPECT_EQ(edit->Caption(), L"hello");
}

TEST_F(XPEdit, OemConvertKeepsCharactersTheOemPageHolds) {
  TXPEdit* edit = NewEdit();
  edit->SetOEMConvert(true);
  edit->SetText(L"Caf\x00e9 42");
  EXPECT_EQ(edit->Text(), L"Caf\x00e9 42");
}

TEST_F(XPEdit, CharCaseChangesOnlyAsciiLetters) {
  TXPEdit* edit = NewEdit();
  edit->SetCharCase(ecUpperCase);
  Type(edit, L"ab\x00e9z");
  EXPECT_EQ(edit->Text(), L"AB\x00e9Z");
  edit->SetCharCase(ecLowerCase);
  EXPECT_EQ(edit->Text(), L"ab\x00e9z");
}

// ===========================================================================
// Caret, selection, keys and mouse

TEST_F(XPEdit, CaretKeysMoveByCharacterAndBySpaceSeparatedWord) {
  TXPEdit* edit = NewEdit();
  edit->SetText(L"alpha beta");
  struct TCase {
    int From;
    WORD Key;
    bool Ctrl;
    int To;
  };
  const TCase cases[] = {
      {8, VK_LEFT, true, 6},   {6, VK_LEFT, true, 0},  {0, VK_RIGHT, true, 6},
      {6, VK_RIGHT, true, 10}, {3, VK_LEFT, false, 2}, {3, VK_RIGHT, false, 4},
      {3, VK_HOME, false, 0},  {3, VK_END, false, 10}, {0, VK_LEFT, false, 0},
  };
  for (const TCase& c : cases) {
    edit->SetSelStart(c.From);
    ASSERT_EQ(edit->CaretPos(), c.From);
    if (c.Ctrl) {
      TModifiers ctrl({VK_CONTROL});
      Key(edit, c.Key);
    } else {
      Key(edit, c.Key);
    }
    EXPECT_EQ(edit->CaretPos(), c.To) << "from " << c.From << " key " << c.Key;
    EXPECT_EQ(edit->SelLength(), 0);
  }
  EXPECT_EQ(XPEditWordStartBefore(L"alpha beta", 8), 6);
  EXPECT_EQ(XPEditWordStartAfter(L"a  b", 0), 3);
}

TEST_F(XPEdit, DeleteAndBackspaceRemoveAtAndBeforeTheCaret) {
  TXPEdit* edit = NewEdit();
  edit->SetText(L"abcdef");
  edit->SetSelStart(3);
  Key(edit, VK_DELETE);
  EXPECT_EQ(edit->Text(), L"abcef");
  Type(edit, L"\x08");
  EXPECT_EQ(edit->Text(), L"abef");
  EXPECT_EQ(edit->CaretPos(), 2);
  edit->SetSelStart(0);
  Type(edit, L"\x08");
  EXPECT_EQ(edit->Text(), L"abef") << "nothing before the caret";
  edit->SetSelStart(1);
  edit->SetSelLength(2);
  Key(edit, VK_DELETE);
  EXPECT_EQ(edit->Text(), L"af");
}

TEST_F(XPEdit, DoubleClickSelectsTheWordAtOrLeftOfThePointer) {
  struct TCase {
    std::wstring Text;
    int Boundary;
    std::wstring Selected;
  };
  const TCase cases[] = {
      {L"foo  bar", 4, L"foo"}, // between the two spaces
      {L"foo  bar", 3, L"foo"}, // right after foo
      {L"foo  bar", 6, L"bar"}, // inside bar
      {L"  bar", 1, L"bar"},    // only spaces to the left
  };
  for (const TCase& c : cases) {
    TXPEdit* edit = NewEdit();
    edit->SetText(c.Text);
    const int x = XOfBoundary(edit, c.Boundary);
    ASSERT_GE(x, 0);
    SendMessageW(edit->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(x, 8));
    SendMessageW(edit->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(x, 8));
    EXPECT_EQ(edit->SelText(), c.Selected)
        << std::string(c.Text.begin(), c.Text.end()) << " at " << c.Boundary;
    EXPECT_EQ(edit->CaretPos(), edit->SelStart() + edit->SelLength());
    TComponent::Free(edit);
  }
}

TEST_F(XPEdit, ClickThatFocusesAnAutoSelectEditSelectsAllUnlessDragged) {
  TXPEdit* other = NewEdit(10, 100);
  TXPEdit* edit = NewEdit();
  edit->SetText(L"some text here");
  other->SetFocus();
  harness::PumpMessages();
  const int x = XOfBoundary(edit, 2);
  SendMessageW(edit->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 8));
  SendMessageW(edit->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(x, 8));
  EXPECT_TRUE(edit->Focused());
  EXPECT_EQ(edit->SelLength(), 14);

  // A click in the focused edit places the caret; a drag selects.
  SendMessageW(edit->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 8));
  SendMessageW(edit->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(x, 8));
  EXPECT_EQ(edit->SelLength(), 0);
  EXPECT_EQ(edit->CaretPos(), 2);
  const int x2 = XOfBoundary(edit, 6);
  SendMessageW(edit->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 8));
  SendMessageW(edit->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x2, 8));
  SendMessageW(edit->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(x2, 8));
  EXPECT_EQ(edit->SelText(), L"me t");
  // Cancelling the mode ends a drag selection.
  SendMessageW(edit->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 8));
  SendMessageW(edit->Handle(), WM_CANCELMODE, 0, 0);
  SendMessageW(edit->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x2, 8));
  EXPECT_EQ(edit->SelLength(), 0);
}

TEST_F(XPEdit, LongTextScrollsToTheCaretAndHomeShowsTheStart) {
  TXPEdit* edit = NewEdit();
  edit->SetText(std::wstring(200, L'w'));
  edit->SetFocus();
  harness::PumpMessages();
  Key(edit, VK_END);
  EXPECT_EQ(edit->CaretPos(), 200);
  EXPECT_GT(edit->FirstChar(), 0);
  EXPECT_EQ(edit->FirstChar() + edit->CharVisibleCount(), 200)
      << "the end of the text stands at the right edge";
  POINT caret{};
  GetCaretPos(&caret);
  EXPECT_GT(caret.x, edit->Width() / 2);
  Key(edit, VK_HOME);
  EXPECT_EQ(edit->FirstChar(), 0);
}

TEST_F(XPEdit, RealKeysTypeCapitalsAndShiftHomeSelects) {
  TXPEdit* edit = NewEdit();
  edit->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return edit->Focused(); }));
  INPUT keys[8]{};
  const WORD sequence[][2] = {{VK_SHIFT, 0},
                              {'A', 0},
                              {'A', KEYEVENTF_KEYUP},
                              {VK_SHIFT, KEYEVENTF_KEYUP},
                              {'B', 0},
                              {'B', KEYEVENTF_KEYUP}};
  for (size_t i = 0; i < std::size(sequence); ++i) {
    keys[i].type = INPUT_KEYBOARD;
    keys[i].ki.wVk = sequence[i][0];
    keys[i].ki.dwFlags = sequence[i][1];
  }
  ASSERT_EQ(SendInput(6, keys, sizeof(INPUT)), 6u);
  ASSERT_TRUE(PumpUntil([&] { return edit->Text() == L"Ab"; }))
      << "typed: " << std::string(edit->Text().begin(), edit->Text().end());
  EXPECT_EQ(edit->SelLength(), 0) << "typing with Shift held selects nothing";
  // Shift stays down while Home is handled, as a person holds it.
  auto send = [&](WORD AKey, DWORD AFlags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = AKey;
    input.ki.dwFlags = AFlags;
    ASSERT_EQ(SendInput(1, &input, sizeof(INPUT)), 1u);
  };
  send(VK_SHIFT, 0);
  ASSERT_TRUE(PumpUntil([] { return GetAsyncKeyState(VK_SHIFT) < 0; }));
  send(VK_HOME, KEYEVENTF_EXTENDEDKEY);
  send(VK_HOME, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP);
  const bool selected = PumpUntil([&] { return edit->SelLength() == 2; });
  send(VK_SHIFT, KEYEVENTF_KEYUP);
  PumpUntil([] { return GetAsyncKeyState(VK_SHIFT) >= 0; });
  EXPECT_TRUE(selected);
  EXPECT_EQ(edit->CaretPos(), 0);
}

// ===========================================================================
// Clipboard and the shared menu

TEST_F(XPEdit, CopyAndPasteRoundTripThroughTheClipboard) {
  TXPEdit* source = NewEdit();
  TXPEdit* target = NewEdit(10, 60);
  source->SetText(L"round trip");
  source->SetSelStart(6);
  source->SetSelLength(4);
  // Ctrl+C as a character, Ctrl+Insert as a key.
  PutClipboardText(L"");
  Type(source, L"\x03");
  EXPECT_EQ(ClipboardText(), L"trip");
  source->SetSelStart(0);
  source->SetSelLength(5);
  {
    TModifiers ctrl({VK_CONTROL});
    Key(source, VK_INSERT);
  }
  EXPECT_EQ(ClipboardText(), L"round");
  Type(target, L"\x16");
  EXPECT_EQ(target->Text(), L"round");
  // Cut (Ctrl+X) copies and removes.
  source->SetSelStart(5);
  source->SetSelLength(5);
  Type(source, L"\x18");
  EXPECT_EQ(source->Text(), L"round");
  EXPECT_EQ(ClipboardText(), L" trip");
  // An empty clipboard inserts nothing.
  {
    TClipboard clipboard;
    ASSERT_TRUE(clipboard.Open());
    EmptyClipboard();
  }
  EXPECT_EQ(target->PasteFromClipboard(), S_OK);
  EXPECT_EQ(target->Text(), L"round");
}

TEST_F(XPEdit, PasswordEditCopiesNothingButCutStillDeletes) {
  TXPEdit* edit = NewEdit();
  edit->SetPasswordChar(L'*');
  edit->SetText(L"secret");
  EXPECT_EQ(edit->DisplayText(), L"******");
  PutClipboardText(L"untouched");
  ASSERT_EQ(edit->SelectAll(), S_OK);
  ASSERT_EQ(edit->CopyToClipboard(), S_OK);
  EXPECT_EQ(ClipboardText(), L"untouched");
  ASSERT_EQ(edit->CutToClipboard(), S_OK);
  EXPECT_EQ(ClipboardText(), L"untouched");
  EXPECT_EQ(edit->Text(), L"");
}

TEST_F(XPEdit, SharedMenuEnablesItsCommandsByTheEditStateAndDrivesTheEdit) {
  TXPEdit* edit = NewEdit();
  edit->SetText(L"menu text");
  PutClipboardText(L"X");
  struct TCase {
    int SelStart, SelLength;
    bool Typed;
    bool Undo, Cut, Paste, SelectAll;
  };
  const TCase cases[] = {
      {0, 0, false, false, false, true, true},
      {0, 4, false, false, true, true, true},
      {0, 9, true, true, true, true, false},
  };
  for (const TCase& c : cases) {
    if (c.Typed) {
      edit->SetSelStart(9);
      Type(edit, L"!");
      Type(edit, L"\x08");
    }
    edit->SetSelStart(c.SelStart);
    edit->SetSelLength(c.SelLength);
    TPopupMenu* menu = edit->GetPopupMenu();
    ASSERT_EQ(menu, TXPEditResourceManager::StandardEditPopupMenu());
    EXPECT_EQ(TXPEditResourceManager::MenuItemUndo()->Enabled(), c.Undo);
    EXPECT_EQ(TXPEditResourceManager::MenuItemCut()->Enabled(), c.Cut);
    EXPECT_EQ(TXPEditResourceManager::MenuItemCopy()->Enabled(), c.Cut);
    EXPECT_EQ(TXPEditResourceManager::MenuItemDelete()->Enabled(), c.Cut);
    EXPECT_EQ(TXPEditResourceManager::MenuItemPaste()->Enabled(), c.Paste);
    EXPECT_EQ(TXPEditResourceManager::MenuItemSelectAll()->Enabled(), c.SelectAll);
  }
  std::vector<std::wstring> captions;
  TMenuItem* items = TXPEditResourceManager::StandardEditPopupMenu()->Items();
  for (int i = 0; i < items->Count(); ++i)
    captions.push_back(items->Items(i)->Caption());
  const std::vector<std::wstring> expected = {L"&Undo",  L"-",       L"Cu&t", L"&Copy",
                                              L"&Paste", L"&Delete", L"-",    L"Select &All"};
  EXPECT_EQ(captions, expected);

  // The items act on the edit they were bound to.
  edit->SetSelStart(0);
  edit->SetSelLength(5);
  edit->GetPopupMenu();
  TXPEditResourceManager::MenuItemCut()->Click();
  EXPECT_EQ(edit->Text(), L"text");
  EXPECT_EQ(ClipboardText(), L"menu ");
  TXPEditResourceManager::MenuItemSelectAll()->Click();
  EXPECT_EQ(edit->SelLength(), 4);
  TXPEditResourceManager::MenuItemDelete()->Click();
  EXPECT_EQ(edit->Text(), L"");
  // A freed edit leaves the items bound to nothing.
  TComponent::Free(edit);
  EXPECT_EQ(TXPEditResourceManager::BoundTarget(), nullptr);
  TXPEditResourceManager::MenuItemPaste()->Click();
}

// Chooses the item of the shown menu with the caption, noting where the
// menu showed and which items it offered enabled.
class TChoosingPopup : public TPopupMenuSeam {
public:
  explicit TChoosingPopup(const std::wstring& ACaption) : FCaption(ACaption) {}
  UINT Track(HMENU AMenu, UINT, int AX, int AY, HWND) override {
    ShownAt = POINT{AX, AY};
    UINT chosen = 0;
    for (int i = 0; i < GetMenuItemCount(AMenu); ++i) {
      wchar_t caption[64] = {};
      GetMenuStringW(AMenu, UINT(i), caption, 64, MF_BYPOSITION);
      if (caption[0] && !(GetMenuState(AMenu, UINT(i), MF_BYPOSITION) & MF_GRAYED))
        Enabled.push_back(caption);
      if (FCaption == caption)
        chosen = GetMenuItemID(AMenu, i);
    }
    return chosen;
  }
  POINT ShownAt{-1, -1};
  std::vector<std::wstring> Enabled;

private:
  std::wstring FCaption;
};

TEST_F(XPEdit, ContextMenuShowsTheSharedMenuAtThePointAndRunsTheChosenCommand) {
  TXPEdit* edit = NewEdit();
  edit->SetText(L"cut this");
  edit->SetSelStart(0);
  edit->SetSelLength(4);
  PutClipboardText(L"");
  TChoosingPopup popup(L"Cu&t");
  {
    TSeamScope<TPopupMenuSeam> scope(popup);
    const POINT at = edit->ClientToScreen({5, 5});
    SendMessageW(edit->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(edit->Handle()),
                 MAKELPARAM(at.x, at.y));
    EXPECT_EQ(popup.ShownAt.x, at.x);
    EXPECT_EQ(popup.ShownAt.y, at.y);
  }
  const std::vector<std::wstring> enabled = {L"Cu&t", L"&Copy", L"&Paste", L"&Delete",
                                             L"Select &All"};
  EXPECT_EQ(popup.Enabled, enabled);
  EXPECT_EQ(edit->Text(), L"this");
  EXPECT_EQ(ClipboardText(), L"cut ");
  ReleaseApplication();
}

TEST_F(XPEdit, AssignedPopupMenuIsReturnedUnchanged) {
  TXPEdit* edit = NewEdit();
  auto* menu = new TPopupMenu(Owner.get());
  edit->SetPopupMenu(menu);
  EXPECT_EQ(edit->GetPopupMenu(), menu);
  EXPECT_FALSE(TXPEditResourceManager::MenuCreated());
}

// ===========================================================================
// Painting

// The top row of the text rectangle: glyphs leave it to the background.
int TextTop(TCustomXPEdit* AEdit) {
  return AEdit->FrameSize() + AEdit->BorderSize();
}

TEST_F(XPEdit, FrameSizesAndBorderStyleFollowTheThemeStateAtCreation) {
  struct TCase {
    int State;
    int Frame, Border;
    bool ClientEdge;
  };
  const TCase cases[] = {{0, 0, 1, true}, {1, 1, 2, false}, {2, 1, 2, false}};
  for (const TCase& c : cases) {
    TFixedTheme theme(c.State);
    TSeamScope<TThemeSeam> scope(theme);
    TXPEdit* edit = NewEdit();
    EXPECT_EQ(edit->FrameSize(), c.Frame);
    EXPECT_EQ(edit->BorderSize(), c.Border);
    const LONG_PTR exStyle = GetWindowLongPtrW(edit->Handle(), GWL_EXSTYLE);
    EXPECT_EQ((exStyle & WS_EX_CLIENTEDGE) != 0, c.ClientEdge) << "state " << c.State;
    edit->SetBorderStyle(bsNone);
    EXPECT_EQ(GetWindowLongPtrW(edit->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
    EXPECT_EQ(GetWindowLongPtrW(edit->Handle(), GWL_STYLE) & WS_BORDER, 0);
    TComponent::Free(edit);
  }
}

TEST_F(XPEdit, AutoSizeFitsTheHeightToTheFont) {
  TFixedTheme theme(1);
  TSeamScope<TThemeSeam> scope(theme);
  TXPEdit* edit = NewEdit();
  TEXTMETRICW metrics{};
  {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, edit->Font().Handle());
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    DeleteDC(dc);
  }
  EXPECT_EQ(edit->Height(), 2 + 2 * 3 + metrics.tmHeight);
  edit->SetAutoSize(false);
  edit->SetHeight(60);
  edit->Font().SetHeight(edit->Font().Height() - 1);
  EXPECT_EQ(edit->Height(), 60) << "without AutoSize the height is only raised";
  edit->SetHeight(5);
  edit->Font().SetHeight(edit->Font().Height() + 1);
  EXPECT_GT(edit->Height(), 5);
}

TEST_F(XPEdit, EmulatedLookPaintsFrameBorderAndSelection) {
  TFixedTheme theme(1);
  TSeamScope<TThemeSeam> scope(theme);
  UpdateXPLibraryColors();
  TXPEdit* edit = NewEdit();
  edit->SetText(L"select me");
  edit->SetHideSelection(false);
  edit->SetSelStart(0);
  edit->SetSelLength(6);
  auto image = harness::RenderControl(*edit);
  EXPECT_EQ(harness::PixelAt(*image, 0, 0), kXPEditFrameColor);
  EXPECT_EQ(harness::PixelAt(*image, edit->Width() - 1, edit->Height() - 1), kXPEditFrameColor);
  EXPECT_EQ(harness::PixelAt(*image, 1, 1), ColorToRGB(clXPWindow));
  const int top = TextTop(edit);
  EXPECT_EQ(harness::PixelAt(*image, top + 1, top), ColorToRGB(clXPHighlight))
      << "the selection's background";
  EXPECT_EQ(harness::PixelAt(*image, edit->Width() - top - 2, top), ColorToRGB(clXPWindow));

  // Disabled: the selection is drawn inverted, the frame in the text colour.
  edit->SetEnabled(false);
  image = harness::RenderControl(*edit);
  EXPECT_EQ(harness::PixelAt(*image, 0, 0), ColorToRGB(clXPBtnShadow));
  EXPECT_EQ(harness::PixelAt(*image, top + 1, top), ColorToRGB(clXPBtnShadow));
  EXPECT_EQ(harness::PixelAt(*image, edit->Width() - top - 2, top), ColorToRGB(clXPBtnHighlight));

  // A hidden selection of an unfocused edit is drawn as plain text.
  edit->SetEnabled(true);
  edit->SetHideSelection(true);
  image = harness::RenderControl(*edit);
  EXPECT_EQ(harness::PixelAt(*image, top + 1, top), ColorToRGB(clXPWindow));
  UpdateXPLibraryColors();
}

TEST_F(XPEdit, ClassicLookLeavesTheFrameToTheWindowAndBsNoneDrawsTheRingInTheBackground) {
  TFixedTheme theme(0);
  TSeamScope<TThemeSeam> scope(theme);
  UpdateXPLibraryColors();
  TXPEdit* edit = NewEdit();
  edit->SetBorderStyle(bsNone);
  edit->SetColor(0x3366CC);
  edit->SetUseColor(true);
  auto image = harness::RenderControl(*edit);
  EXPECT_EQ(harness::PixelAt(*image, 0, 0), TColor(0x3366CC));
  EXPECT_EQ(harness::PixelAt(*image, edit->Width() / 2, 1), TColor(0x3366CC));
  UpdateXPLibraryColors();
}

TEST_F(XPEdit, ThemedLookDrawsTheThemesEditElement) {
  TFixedTheme theme(2);
  TSeamScope<TThemeSeam> scope(theme);
  TXPEdit* edit = NewEdit();
  edit->SetText(L"");
  auto image = harness::RenderControl(*edit);
  // The same element drawn by itself over a marker colour.
  TBitmap reference(edit->Width(), edit->Height(), TPixelFormat::pf32bit);
  reference.Canvas().Brush().SetColor(clFuchsia);
  reference.Canvas().FillRect(RECT{0, 0, edit->Width(), edit->Height()});
  TXPThemeDetails details;
  details.Part = IsWindowsVistaOrLater() ? 6 : 1;
  details.State = IsWindowsVistaOrLater() ? 1 : kEditStateNormal;
  DrawThemePart(edit->Handle(), L"EDIT", details.Part, kEditStateNormal,
                reference.Canvas().Handle(), RECT{0, 0, edit->Width(), edit->Height()});
  GdiFlush();
  const TColor corner = harness::PixelAt(reference, 0, edit->Height() / 2);
  ASSERT_NE(corner, clFuchsia) << "the theme has no edit element";
  EXPECT_EQ(harness::PixelAt(*image, 0, edit->Height() / 2), corner);
  // Own colours in the themed state paint the classic way with Color.
  edit->SetUseColor(true);
  edit->SetColor(0x3366CC);
  image = harness::RenderControl(*edit);
  EXPECT_EQ(harness::PixelAt(*image, edit->Width() / 2, TextTop(edit)), TColor(0x3366CC));
}

TEST_F(XPEdit, ThemedElementStateFollowsFocusHoverAndEnabling) {
  TXPEdit* other = NewEdit(10, 100);
  auto* edit = NewEdit<TTestEdit>();
  other->SetFocus();
  harness::PumpMessages();
  const bool vista = IsWindowsVistaOrLater();
  struct TCase {
    std::function<void()> Arrange;
    int State;
    int VistaState;
  };
  const TCase cases[] = {
      {[] {}, kEditStateNormal, kEditStateNormal},
      {[&] { edit->SetReadOnly(true); }, kEditStateReadOnly, kEditStateReadOnly},
      {[&] { edit->MouseEnter(0); }, kEditStateHot, 3},
      {[&] {
         edit->SetFocus();
         harness::PumpMessages();
       },
       kEditStateFocused, 3},
      {[&] { edit->SetEnabled(false); }, kEditStateDisabled, kEditStateDisabled},
  };
  for (const TCase& c : cases) {
    c.Arrange();
    EXPECT_EQ(edit->GetThemeState(), c.State);
    TXPThemeDetails details;
    edit->GetThemeDetails(details);
    EXPECT_EQ(details.Part, vista ? 6 : 1);
    EXPECT_EQ(details.State, vista ? c.VistaState : c.State);
  }
  edit->MouseLeave(0);
}

// A two-state skin: the upper half ANormal, the lower half AHot.
void MakeSkin(TAlphaBitmap& ASkin, int AWidth, int AHeight, uint32_t ANormal, uint32_t AHot) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = AWidth;
  info.bmiHeader.biHeight = AHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  auto* pixels = static_cast<uint32_t*>(bits);
  for (int y = 0; y < AHeight; ++y)
    for (int x = 0; x < AWidth; ++x)
      pixels[(AHeight - 1 - y) * AWidth + x] = y < AHeight / 2 ? ANormal : AHot;
  ASkin.SetHandle(section);
}

TEST_F(XPEdit, CustomLookDrawsTheSkinHalfOfTheStateOrItsOwnColour) {
  TFixedTheme theme(1);
  TSeamScope<TThemeSeam> scope(theme);
  TXPEdit* edit = NewEdit();
  edit->SetLookAndFeel(xlfCustom);
  edit->SetColor(0x3366CC);
  // Without a skin: the native look in the edit's own colour.
  auto image = harness::RenderControl(*edit);
  EXPECT_EQ(harness::PixelAt(*image, edit->Width() / 2, TextTop(edit)), TColor(0x3366CC));
  EXPECT_EQ(harness::PixelAt(*image, 0, 0), kXPEditFrameColor);

  MakeSkin(edit->BackImage(), 20, 20, 0xFF0000FF, 0xFFFF0000);
  image = harness::RenderControl(*edit);
  EXPECT_EQ(harness::PixelAt(*image, 5, edit->Height() / 2), TColor(0xFF0000)) << "upper half";
  edit->MouseEnter(0);
  EXPECT_TRUE(edit->Hot());
  image = harness::RenderControl(*edit);
  EXPECT_EQ(harness::PixelAt(*image, 5, edit->Height() / 2), TColor(0x0000FF)) << "hot: lower half";
  edit->MouseLeave(0);
}

TEST_F(XPEdit, TransparentEditUnderlinesItsTextOnlyWhileHotAndHooksTheThread) {
  TXPEdit* plain = NewEdit(10, 60);
  plain->SetHotTrack(true);
  plain->MouseEnter(0);
  EXPECT_EQ(plain->Font().Style() & fsUnderline, 0) << "not transparent";
  plain->MouseLeave(0);

  TXPEdit* edit = NewEdit();
  EXPECT_FALSE(TCustomXPEdit::TransparencyHookInstalled());
  edit->SetTransparent(true);
  edit->SetHotTrack(true);
  EXPECT_TRUE(TCustomXPEdit::TransparencyHookInstalled());
  EXPECT_EQ(TCustomXPEdit::TransparentEditCount(), 1u);
  EXPECT_NE(GetWindowLongPtrW(edit->Handle(), GWL_EXSTYLE) & WS_EX_TRANSPARENT, 0);
  edit->MouseEnter(0);
  EXPECT_NE(edit->Font().Style() & fsUnderline, 0);
  edit->MouseLeave(0);
  EXPECT_EQ(edit->Font().Style() & fsUnderline, 0);
  // A sibling that repaints beneath does not start an endless repaint.
  InvalidateRect(Form->Handle(), nullptr, TRUE);
  harness::PumpMessages();
  TComponent::Free(edit);
  EXPECT_FALSE(TCustomXPEdit::TransparencyHookInstalled()) << "the last edit took the hook";
}

// ===========================================================================
// Button edit

TEST_F(XPEdit, ButtonSitsInsideTheFrameAndShowButtonGivesTheTextItsRoom) {
  TFixedTheme theme(1);
  TSeamScope<TThemeSeam> scope(theme);
  auto* edit = NewEdit<TTestButtonEdit>();
  EXPECT_EQ(edit->Width(), 145);
  EXPECT_EQ(edit->Button()->Width(), 19);
  EXPECT_EQ(edit->Button()->Left(), 145 - 1 - 19);
  EXPECT_EQ(edit->Button()->Top(), 1);
  RECT buttons, text;
  edit->GetButtonsRect(buttons);
  EXPECT_EQ(buttons.left, 145 - 1 - 19);
  edit->GetTextRect(text);
  EXPECT_EQ(text.right, 145 - 3 - (19 - 2 + 1));
  edit->SetShowButton(false);
  edit->GetButtonsRect(buttons);
  EXPECT_TRUE(IsRectEmpty(&buttons));
  edit->GetTextRect(text);
  EXPECT_EQ(text.right, 145 - 3);
  EXPECT_FALSE(edit->Button()->Visible());
}

TEST_F(XPEdit, EmulatedButtonFaceIsTheStatesCellOfTheComboButtonBitmap) {
  TFixedTheme theme(1);
  TSeamScope<TThemeSeam> scope(theme);
  auto* edit = NewEdit<TTestButtonEdit>();
  TBitmap* face = TXPEditResourceManager::ComboButton();
  ASSERT_EQ(face->Width(), 15);
  ASSERT_EQ(face->Height(), 64);
  const POINT at{edit->Button()->Left() + 1, edit->Button()->Top() + 1};
  auto normal = harness::RenderControl(*edit);
  EXPECT_EQ(harness::PixelAt(*normal, at.x, at.y), face->Canvas().Pixel(1, 1));
  // Pressed: the third cell.
  const POINT inButton{edit->Button()->Left() + 9, edit->Button()->Top() + 8};
  SendMessageW(edit->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(inButton.x, inButton.y));
  ASSERT_TRUE(edit->Button()->Down());
  auto pressed = harness::RenderControl(*edit);
  EXPECT_EQ(harness::PixelAt(*pressed, at.x, at.y), face->Canvas().Pixel(1, 32 + 1));
  SendMessageW(edit->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(inButton.x, inButton.y));
}

TEST_F(XPEdit, DisabledButtonEditDrawsTheRightHalfOfItsGlyph) {
  TFixedTheme theme(0);
  TSeamScope<TThemeSeam> scope(theme);
  auto* edit = NewEdit<TTestButtonEdit>();
  TBitmap* glyph = TXPEditResourceManager::EllipsisGlyph();
  ASSERT_EQ(glyph->Width(), 20);
  ASSERT_EQ(glyph->Height(), 4);
  const TColor key = glyph->Canvas().Pixel(0, 3);
  // The first glyph pixel that is not the see-through colour, per cell.
  POINT ink{-1, -1};
  for (int y = 0; y < 4 && ink.x < 0; ++y)
    for (int x = 0; x < 10 && ink.x < 0; ++x)
      if (glyph->Canvas().Pixel(x, y) != key && glyph->Canvas().Pixel(x + 10, y) != key &&
          glyph->Canvas().Pixel(x, y) != glyph->Canvas().Pixel(x + 10, y))
        ink = {x, y};
  ASSERT_GE(ink.x, 0) << "the two cells differ somewhere";
  auto glyphOrigin = [&] {
    const RECT button = edit->Button()->BoundsRect();
    // The rendering holds the window's client edge around the client area.
    RECT window{};
    GetWindowRect(edit->Handle(), &window);
    const POINT client = edit->ClientToScreen({0, 0});
    const int dx = client.x - window.left, dy = client.y - window.top;
    // Centred in the face (classic look: the whole button).
    return POINT{dx + button.left + (button.right - button.left - 10) / 2,
                 dy + button.top + (button.bottom - button.top - 4) / 2};
  };
  const POINT origin = glyphOrigin();
  auto image = harness::RenderControl(*edit);
  EXPECT_EQ(harness::PixelAt(*image, origin.x + ink.x, origin.y + ink.y),
            glyph->Canvas().Pixel(ink.x, ink.y));
  edit->SetEnabled(false);
  EXPECT_FALSE(edit->Button()->Enabled());
  image = harness::RenderControl(*edit);
  EXPECT_EQ(harness::PixelAt(*image, origin.x + ink.x, origin.y + ink.y),
            glyph->Canvas().Pixel(ink.x + 10, ink.y));
}

TEST_F(XPEdit, ThemedButtonFaceLosesTheThemesArrow) {
  // Runs of dissimilar pixels inside a row become a gradient between their
  // neighbours; a run reaching the right edge stays.
  TBitmap row(8, 1, TPixelFormat::pf32bit);
  const TColor pixels[] = {0xE0E0E0, 0xE0E0E0, 0x000000, 0x000000,
                           0xE0E0E0, 0xE0E0E0, 0xE0E0E0, 0x0000FF};
  for (int x = 0; x < 8; ++x)
    row.Canvas().SetPixel(x, 0, pixels[x]);
  RemoveThemedArrow(row, RECT{0, 0, 8, 1});
  for (int x : {2, 3})
    EXPECT_TRUE(XPSimilarColors(harness::PixelAt(row, x, 0), 0xE0E0E0)) << x;
  EXPECT_EQ(harness::PixelAt(row, 7, 0), TColor(0x0000FF));
  EXPECT_TRUE(XPSimilarColors(0x101010, 0x121212));
  EXPECT_FALSE(XPSimilarColors(0x0000FF, 0xFF0000));
  EXPECT_TRUE(XPSimilarColors(0xFFFFFF, 0xFAFAFA));
}

TEST_F(XPEdit, ButtonClicksByMouseAndCtrlEnterReachOnButtonClick) {
  auto* edit = NewEdit<TTestButtonEdit>();
  int clicks = 0;
  edit->OnButtonClick = [&](TControl* ASender) {
    EXPECT_EQ(ASender, edit);
    ++clicks;
  };
  const POINT inButton{edit->Button()->Left() + 5, edit->Button()->Top() + 5};
  SendMessageW(edit->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(inButton.x, inButton.y));
  EXPECT_TRUE(edit->Focused()) << "pressing the button focuses the edit";
  SendMessageW(edit->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(inButton.x, inButton.y));
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(edit->WantSpecialKey(VK_RETURN)) << "Enter alone is the form's";
  {
    TModifiers ctrl({VK_CONTROL});
    EXPECT_TRUE(edit->WantSpecialKey(VK_RETURN));
    Key(edit, VK_RETURN);
  }
  EXPECT_EQ(clicks, 2);
  edit->SetWantsReturn(true);
  EXPECT_TRUE(edit->WantSpecialKey(VK_RETURN));
  edit->SetShowButton(false);
  edit->ClickButton();
  EXPECT_EQ(clicks, 2) << "no button, no click";
}

TEST_F(XPEdit, TransparentButtonEditShowsItsButtonOnlyWhileFocusedOrHot) {
  TXPEdit* other = NewEdit(10, 100);
  auto* edit = NewEdit<TTestButtonEdit>();
  edit->SetTransparent(true);
  other->SetFocus();
  harness::PumpMessages();
  EXPECT_FALSE(edit->Button()->Visible());
  edit->MouseEnter(0);
  EXPECT_TRUE(edit->Button()->Visible());
  edit->MouseLeave(0);
  EXPECT_FALSE(edit->Button()->Visible());
  edit->SetFocus();
  harness::PumpMessages();
  EXPECT_TRUE(edit->Button()->Visible());
  // Painting with the button shown asks for no further paint.
  edit->Invalidate();
  UpdateWindow(edit->Handle());
  EXPECT_FALSE(GetUpdateRect(edit->Handle(), nullptr, FALSE))
      << "the edit invalidated itself while it painted";
  other->SetFocus();
  harness::PumpMessages();
  EXPECT_FALSE(edit->Button()->Visible());
}

TEST_F(XPEdit, SharedResourcesLoadOnFirstUseAndGoAtTheUnitsShutDown) {
  EXPECT_FALSE(TXPEditResourceManager::BitmapsLoaded());
  const size_t before = TResourceLedger::Count(TResourceKind::GdiObject);
  struct TCase {
    TBitmap* (*Get)();
    int Width, Height;
  };
  const TCase cases[] = {
      {&TXPEditResourceManager::ComboButton, 15, 64},
      {&TXPEditResourceManager::EllipsisGlyph, 20, 4},
      {&TXPEditResourceManager::DirectoryGlyph, 24, 11},
      {&TXPEditResourceManager::FileNameGlyph, 24, 11},
  };
  for (const TCase& c : cases) {
    TBitmap* bitmap = c.Get();
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->Width(), c.Width);
    EXPECT_EQ(bitmap->Height(), c.Height);
  }
  {
    TFixedTheme theme(0);
    TSeamScope<TThemeSeam> scope(theme);
    EXPECT_EQ(TXPEditResourceManager::ComboButtonGlyph()->Width(), 18);
  }
  {
    TFixedTheme theme(1);
    TSeamScope<TThemeSeam> scope(theme);
    EXPECT_EQ(TXPEditResourceManager::ComboButtonGlyph()->Width(), 20);
  }
  EXPECT_GT(TResourceLedger::Count(TResourceKind::GdiObject), before);
  TXPEditResourceManager::StandardEditPopupMenu();
  kXPEditsUnitStep.Shutdown();
  EXPECT_FALSE(TXPEditResourceManager::BitmapsLoaded());
  EXPECT_FALSE(TXPEditResourceManager::MenuCreated());
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::GdiObject), before);
  EXPECT_STREQ(kXPEditsUnitStep.Name, L"XPEdits2");
}

} // namespace
