#include "gx-xp-edit.h"

#include "text-editors-fixture.h"

#include "xp-button-edit.h"

#include <string>
#include <vector>

// The wide-text editors on real windows under the display: keys and
// characters through the input queue, the clipboard, the button editor's
// button by mouse and keyboard.
namespace text_editors {
namespace {

class XPEditors : public TextEditors {
protected:
  void ReleaseShared() override {
    TXPEditResourceManager::FreeResources();
    TextEditors::ReleaseShared();
  }
  // AModifier held while AKey is pressed and released.
  static void Chord(WORD AModifier, WORD AKey) {
    std::vector<INPUT> inputs;
    auto add = [&](WORD AVk, DWORD AFlags) {
      INPUT input{};
      input.type = INPUT_KEYBOARD;
      input.ki.wVk = AVk;
      input.ki.dwFlags = AFlags;
      inputs.push_back(input);
    };
    add(AModifier, 0);
    add(AKey, 0);
    add(AKey, KEYEVENTF_KEYUP);
    add(AModifier, KEYEVENTF_KEYUP);
    ASSERT_EQ(SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT)), inputs.size());
  }
  static void ClickAt(TWinControl& AControl, POINT AClient) {
    const POINT screen = AControl.ClientToScreen(AClient);
    harness::ClickAtScreen(screen.x, screen.y);
  }
};

// --- the wide-text editor -------------------------------------------------------------------

TEST_F(XPEditors, TypedUnicodeTextIsTheEditorsTextAndItsWindowText) {
  int changes = 0;
  auto* editor = NewEditor<TXPGXEdit>(
      [&](TXPGXEdit& AEdit) { AEdit.OnChange = [&](TControl*) { ++changes; }; });
  // Greek, Cyrillic, CJK and Latin with diacritics: none of them fits one
  // ANSI code page.
  const std::wstring typed = L"Gr\u00FC\u00DFe \u03A9\u03BC\u03AD\u03B3\u03B1 "
                             L"\u041F\u0440\u0438\u0432\u0435\u0442 \u65E5\u672C";
  Type(typed);
  ASSERT_TRUE(Pump([&] { return editor->UnicodeText() == typed; }))
      << Narrow(editor->UnicodeText());
  EXPECT_EQ(changes, int(typed.size()));
  EXPECT_TRUE(editor->Modified());
  EXPECT_EQ(editor->CaretPos(), int(typed.size()));

  wchar_t buffer[64] = {};
  EXPECT_EQ(GetWindowTextLengthW(editor->Handle()), int(typed.size()));
  GetWindowTextW(editor->Handle(), buffer, 64);
  EXPECT_EQ(std::wstring(buffer), typed);
  // A short buffer gets what fits and the terminating zero.
  wchar_t shortBuffer[4] = {L'x', L'x', L'x', L'x'};
  EXPECT_EQ(SendMessageW(editor->Handle(), WM_GETTEXT, 4, LPARAM(shortBuffer)), 3);
  EXPECT_EQ(std::wstring(shortBuffer), typed.substr(0, 3));

  // The cell value goes in through the window text and cannot be undone.
  editor->SetEditValue(std::wstring(L"\u0391\u03B2"));
  EXPECT_EQ(editor->UnicodeText(), L"\u0391\u03B2");
  EXPECT_FALSE(editor->CanUndo());
  EXPECT_EQ(editor->GetEditorText(), L"\u0391\u03B2");
}

TEST_F(XPEditors, CaretKeysMoveSelectAndDeleteByCharacterAndWord) {
  auto* editor = NewEditor<TXPGXEdit>();
  editor->SetUnicodeText(L"one two three");
  Keys({VK_HOME});
  ASSERT_TRUE(Pump([&] { return editor->CaretPos() == 0; }));
  Chord(VK_CONTROL, VK_RIGHT);
  ASSERT_TRUE(Pump([&] { return editor->CaretPos() == 4; })) << editor->CaretPos();
  Chord(VK_SHIFT, VK_END);
  ASSERT_TRUE(Pump([&] { return editor->SelLength() == 9; })) << editor->SelLength();
  EXPECT_EQ(editor->SelText(), L"two three");
  Keys({VK_DELETE});
  ASSERT_TRUE(Pump([&] { return editor->UnicodeText() == L"one "; }))
      << Narrow(editor->UnicodeText());
  Keys({VK_BACK, VK_LEFT});
  ASSERT_TRUE(Pump([&] { return editor->CaretPos() == 2; })) << editor->CaretPos();
  Keys({VK_DELETE});
  EXPECT_TRUE(Pump([&] { return editor->UnicodeText() == L"on"; }))
      << Narrow(editor->UnicodeText());
}

TEST_F(XPEditors, TypingIntoAFullEditorInsertsNothingButStillReportsAChange) {
  int changes = 0;
  auto* editor = NewEditor<TXPGXEdit>([&](TXPGXEdit& AEdit) {
    AEdit.SetMaxLength(3);
    AEdit.OnChange = [&](TControl*) { ++changes; };
  });
  Type(L"\u00E4bcd");
  Settle();
  EXPECT_EQ(editor->UnicodeText(), L"\u00E4bc");
  EXPECT_EQ(changes, 4) << "the refused character still runs the change";
}

TEST_F(XPEditors, PastedControlCharactersBecomeSpacesAndPasswordTextIsNeverCopied) {
  auto* editor = NewEditor<TXPGXEdit>();
  PutClipboardText(L"\u0436\tz");
  editor->PasteFromClipboard();
  EXPECT_EQ(editor->UnicodeText(), L"\u0436 z");

  editor->SelectAll();
  editor->CopyToClipboard();
  EXPECT_EQ(ClipboardText(), L"\u0436 z");

  PutClipboardText(L"kept");
  editor->SetPasswordChar(L'*');
  editor->SelectAll();
  editor->CopyToClipboard();
  editor->CutToClipboard();
  EXPECT_EQ(ClipboardText(), L"kept");
  EXPECT_EQ(editor->UnicodeText(), L"") << "cut still deletes the selection";
}

TEST_F(XPEditors, UndoGoesBackBeforeTheFirstEditAndASecondUndoReturns) {
  auto* editor = NewEditor<TXPGXEdit>();
  editor->SetText(L"base");
  editor->SelectAll();
  Type(L"12");
  ASSERT_TRUE(Pump([&] { return editor->UnicodeText() == L"12"; }))
      << Narrow(editor->UnicodeText());
  EXPECT_TRUE(editor->CanUndo());
  editor->Undo();
  EXPECT_EQ(editor->UnicodeText(), L"base");
  EXPECT_EQ(editor->SelLength(), 4) << "undo selects all";
  editor->Undo();
  EXPECT_EQ(editor->UnicodeText(), L"12");

  // Setting the text clears the undo; storing the Unicode text keeps it.
  editor->SetUnicodeText(L"u");
  EXPECT_TRUE(editor->CanUndo());
  editor->SetText(L"t");
  EXPECT_FALSE(editor->CanUndo());
  // The editor's own read-only flag refuses undo and edits.
  editor->SetUnicodeText(L"r");
  editor->SetReadOnly(true);
  EXPECT_FALSE(editor->CanUndo());
  editor->SetSelText(L"x");
  EXPECT_EQ(editor->UnicodeText(), L"r");
}

TEST_F(XPEditors, OEMConversionReplacesCharactersTheCodePageLacks) {
  auto* editor = NewEditor<TXPGXEdit>([](TXPGXEdit& AEdit) { AEdit.SetOEMConvert(true); });
  editor->SetText(L"A\u65E5");
  const std::wstring stored = editor->UnicodeText();
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[0], L'A');
  EXPECT_NE(stored[1], L'\u65E5');
}

TEST_F(XPEditors, ACellPaintedWithoutAWindowShowsThePlainText) {
  auto* editor = NewEditor<TXPGXEdit>([](TXPGXEdit& AEdit) { AEdit.SetPasswordChar(L'*'); });
  editor->SetText(L"WWW");
  auto paint = [&](const std::wstring& AText) {
    std::unique_ptr<TgxEditViewData> data(editor->CreateViewData(false));
    data->Data = AText;
    auto bitmap = std::make_unique<TBitmap>(80, 20);
    RECT rect{0, 0, 80, 20};
    EXPECT_TRUE(editor->EditClass().DrawClientArea(bitmap->Canvas().Handle(), rect, *data, false));
    return bitmap;
  };
  std::unique_ptr<TgxEditViewData> live(editor->CreateViewData(false));
  EXPECT_EQ(VarToText(live->Data), L"WWW");
  RECT rect{0, 0, 80, 20};
  EXPECT_FALSE(editor->EditClass().DrawClientArea(nullptr, rect, *live, true))
      << "the live window paints itself";
  auto plain = paint(L"WWW"), masked = paint(L"***"), again = paint(VarToText(live->Data));
  EXPECT_TRUE(harness::SamePixels(*plain, *again));
  EXPECT_FALSE(harness::SamePixels(*plain, *masked));
}

TEST_F(XPEditors, TheEditMenuActsOnTheEditorAndOffersWhatApplies) {
  auto* editor = NewEditor<TXPGXEdit>();
  editor->SetText(L"abc def");
  editor->SetSelStart(4);
  editor->SetSelLength(3);
  TChoosingPopup popup(TXPEditResourceManager::MenuItemCut()->Caption());
  TSeamScope<TPopupMenuSeam> scope(popup);
  SendMessageW(editor->Handle(), WM_CONTEXTMENU, WPARAM(editor->Handle()), MAKELPARAM(-1, -1));
  Settle();
  ASSERT_EQ(popup.Shown, 1);
  EXPECT_EQ(editor->UnicodeText(), L"abc ");
  EXPECT_EQ(ClipboardText(), L"def");
}

// --- the button editor ------------------------------------------------------------------------

TEST_F(XPEditors, TheButtonClicksByMouseAndByCtrlEnter) {
  int clicks = 0;
  auto* editor = NewEditor<TXPGXButtonEdit>([&](TXPGXButtonEdit& AEdit) {
    AEdit.OnButtonClick = [&](TControl* ASender) {
      EXPECT_EQ(ASender, &AEdit);
      ++clicks;
    };
  });
  TXPGXEditButton* button = editor->Button();
  ASSERT_TRUE(button->Visible());
  EXPECT_EQ(button->Left() + button->Width(), editor->ClientWidth()) << "docked at the right";
  ClickAt(*editor, POINT{button->Left() + button->Width() / 2, button->Height() / 2});
  ASSERT_TRUE(Pump([&] { return clicks == 1; })) << clicks;
  EXPECT_TRUE(editor->Focused());

  Chord(VK_CONTROL, VK_RETURN);
  ASSERT_TRUE(Pump([&] { return clicks == 2; })) << clicks;
  EXPECT_TRUE(Container->KeysDown.empty()) << "Ctrl+Enter is the editor's";
  // Typing still edits the text beside the button.
  Type(L"\u00E9");
  EXPECT_TRUE(Pump([&] { return editor->UnicodeText() == L"\u00E9"; }));
}

TEST_F(XPEditors, WithoutItsButtonTheTextSpansTheEditor) {
  auto* editor = NewEditor<TXPGXButtonEdit>();
  RECT withButton, buttons, text;
  editor->GetTextRect(withButton);
  editor->GetButtonsRect(buttons);
  EXPECT_FALSE(IsRectEmpty(&buttons));
  EXPECT_LE(withButton.right, buttons.left + 1);
  const int autoWidth = editor->GetAutoWidth();

  editor->SetShowButton(false);
  editor->GetTextRect(text);
  editor->GetButtonsRect(buttons);
  EXPECT_TRUE(IsRectEmpty(&buttons));
  EXPECT_FALSE(editor->Button()->Visible());
  EXPECT_EQ(text.right, editor->ClientWidth() - editor->BorderSize());
  EXPECT_EQ(editor->GetAutoWidth(), autoWidth - editor->Button()->Width());
}

TEST_F(XPEditors, ATransparentButtonEditorShowsItsButtonOnlyWhileFocused) {
  SetCursorPos(0, 0);
  auto* editor =
      NewEditor<TXPGXButtonEdit>([](TXPGXButtonEdit& AEdit) { AEdit.SetTransparent(true); });
  EXPECT_TRUE(editor->Button()->Visible());
  Container->SetFocus();
  ASSERT_TRUE(Pump([&] { return !editor->Focused(); }));
  EXPECT_FALSE(editor->Button()->Visible()) << editor->Hot() << editor->Button()->Hot();
  editor->SetTransparent(false);
  EXPECT_TRUE(editor->Button()->Visible());
}

TEST_F(XPEditors, ADisabledButtonEditorDisablesItsButton) {
  auto* editor = NewEditor<TXPGXButtonEdit>();
  editor->SetEnabled(false);
  EXPECT_FALSE(editor->Button()->Enabled());
  EXPECT_EQ(editor->Button()->ThemeState(), 4);
  editor->SetEnabled(true);
  EXPECT_TRUE(editor->Button()->Enabled());
}

} // namespace
} // namespace text_editors
