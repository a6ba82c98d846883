#include "text-editors-fixture.h"

#include <richedit.h>

namespace text_editors {
namespace {

using TextEdit = TextEditors;

// The text of the window itself, not the framework's copy.
std::wstring WindowTextOf(HWND AWindow) {
  wchar_t text[256] = {};
  GetWindowTextW(AWindow, text, 256);
  return text;
}

// --- the window ------------------------------------------------------------------------------

TEST_F(TextEdit, TheLiveEditorIsAPlainTextRichEditUnderItsOwnClassName) {
  ASSERT_TRUE(RichEditLibraryLoaded());
  auto* editor = NewEditor<TgxInplaceTextEdit>();
  wchar_t name[64] = {};
  GetClassNameW(editor->Handle(), name, 64);
  EXPECT_EQ(std::wstring(name), L"TgxInplaceTextEdit");
  EXPECT_TRUE(editor->WrapsSystemClass());
  EXPECT_EQ(SendMessageW(editor->Handle(), EM_GETTEXTMODE, 0, 0) & TM_PLAINTEXT, TM_PLAINTEXT);
  const auto style = DWORD(GetWindowLongPtrW(editor->Handle(), GWL_STYLE));
  EXPECT_TRUE(style & ES_AUTOHSCROLL);
  EXPECT_FALSE(style & ES_READONLY);
}

TEST_F(TextEdit, TypedTextIsTheEditorsTextAndReportsAChangeButAnAssignedValueDoesNot) {
  int changes = 0;
  auto* editor = NewEditor<TgxInplaceTextEdit>(
      [&](TgxInplaceTextEdit& AEdit) { AEdit.OnChange = [&](TControl*) { ++changes; }; });
  editor->SetEditValue(std::wstring(L"preset"));
  EXPECT_EQ(changes, 0) << "putting a value in is not a change";
  EXPECT_EQ(editor->Text(), L"preset");
  EXPECT_FALSE(editor->CanUndo()) << "a value put in cannot be undone";
  editor->SelectAll();
  Type(L"typed");
  ASSERT_TRUE(Pump([&] { return editor->Text() == L"typed"; })) << Narrow(editor->Text());
  EXPECT_EQ(editor->GetEditingText(), L"typed");
  EXPECT_TRUE(editor->Modified());
  EXPECT_GE(changes, 1);

  // The keys the container leaves the editor move its caret and delete.
  Keys({VK_LEFT, VK_LEFT});
  Type(L"X");
  ASSERT_TRUE(Pump([&] { return editor->Text() == L"typXed"; })) << Narrow(editor->Text());
  Keys({VK_DELETE});
  EXPECT_TRUE(Pump([&] { return editor->Text() == L"typXd"; })) << Narrow(editor->Text());
  EXPECT_EQ(Beeps.Count, 0);
}

// --- character case ------------------------------------------------------------------------

struct TCaseRow {
  const char* Name;
  TEditCharCase Case;
  const wchar_t* Typed;
  const wchar_t* Shown;
  const wchar_t* Existing;
  const wchar_t* Converted;
};

class CharCase : public TextEditors, public ::testing::WithParamInterface<TCaseRow> {};

TEST_P(CharCase, TypedLettersTakeTheCaseAndExistingTextIsConvertedWithoutAChange) {
  const TCaseRow& row = GetParam();
  auto* editor = NewEditor<TgxInplaceTextEdit>(
      [&](TgxInplaceTextEdit& AEdit) { AEdit.SetCharCase(row.Case); });
  Type(row.Typed);
  ASSERT_TRUE(Pump([&] { return editor->Text() == row.Shown; })) << Narrow(editor->Text());

  editor->SetCharCase(ecNormal);
  editor->SetEditValue(std::wstring(row.Existing));
  editor->SetModified(false);
  editor->SetSelection(1, 3);
  editor->SetCharCase(row.Case);
  EXPECT_EQ(editor->Text(), row.Converted);
  EXPECT_FALSE(editor->Modified()) << "the conversion is not an edit";
  int start, end;
  editor->GetSelection(start, end);
  EXPECT_EQ(start, 1);
  EXPECT_EQ(end, 3);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CharCase,
    ::testing::Values(TCaseRow{"Upper", ecUpperCase, L"aBc", L"ABC", L"Mixed Text", L"MIXED TEXT"},
                      TCaseRow{"Lower", ecLowerCase, L"aBc", L"abc", L"Mixed Text", L"mixed text"}),
    [](const ::testing::TestParamInfo<TCaseRow>& AInfo) { return AInfo.param.Name; });

// --- length ------------------------------------------------------------------------------------

TEST_F(TextEdit, TheMaximumLengthHoldsForTypingAfterTheTextIsSetAndTheWindowIsMadeAgain) {
  auto* editor =
      NewEditor<TgxInplaceTextEdit>([](TgxInplaceTextEdit& AEdit) { AEdit.SetMaxLength(5); });
  EXPECT_TRUE(editor->IsStored(svEditLimit));
  Type(L"abcdefgh");
  Settle();
  ASSERT_TRUE(Pump([&] { return editor->Text() == L"abcde"; })) << Narrow(editor->Text());

  editor->SetEditValue(std::wstring(L"xy"));
  EXPECT_EQ(SendMessageW(editor->Handle(), EM_GETLIMITTEXT, 0, 0), 5);
  editor->Deselect();
  Type(L"1234567");
  Settle();
  EXPECT_TRUE(Pump([&] { return editor->Text() == L"xy123"; })) << Narrow(editor->Text());

  // A new window (a selection bar is a creation style) keeps the limit,
  // the text and the modified flag.
  editor->SetModified(true);
  HWND before = editor->Handle();
  editor->SetSelectionBar(true);
  EXPECT_NE(editor->Handle(), before);
  RECT format{};
  SendMessageW(editor->Handle(), EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
  EXPECT_EQ(format.left, 1 + 8) << "the text starts right of the selection bar";
  EXPECT_EQ(SendMessageW(editor->Handle(), EM_GETLIMITTEXT, 0, 0), 5);
  EXPECT_EQ(WindowTextOf(editor->Handle()), L"xy123");
  EXPECT_TRUE(editor->Modified());

  // A negative length means no limit set by the editor.
  editor->SetMaxLength(-3);
  EXPECT_EQ(editor->MaxLength(), 0);
}

// --- password -----------------------------------------------------------------------------------

TEST_F(TextEdit, APasswordEditorMasksItsWindowAndItsCellsAndOffersNoCopyOrCut) {
  auto* editor = NewEditor<TgxInplaceTextEdit>(
      [](TgxInplaceTextEdit& AEdit) { AEdit.SetEditValue(std::wstring(L"secret")); });
  editor->SetPasswordChar(L'*');
  EXPECT_EQ(SendMessageW(editor->Handle(), EM_GETPASSWORDCHAR, 0, 0), L'*');
  EXPECT_EQ(editor->Text(), L"secret") << "the value stays the value";

  // A cell without the live editor shows one password character per
  // character: the same pixels as the text "******" drawn plainly.
  auto paint = [&](const std::wstring& AText, wchar_t APassword) {
    std::unique_ptr<TgxEditViewData> data(editor->CreateViewData(false));
    auto& text = dynamic_cast<TgxTextEditViewData&>(*data);
    text.Data = AText;
    text.PasswordChar = APassword;
    text.IsEditClass = false;
    auto bitmap = std::make_unique<TBitmap>(120, 20, TPixelFormat::pf32bit);
    RECT r{0, 0, 120, 20};
    editor->EditClass().DrawClientArea(bitmap->Canvas().Handle(), r, *data, false);
    GdiFlush();
    return bitmap;
  };
  auto masked = paint(L"secret", L'*');
  auto stars = paint(L"******", 0);
  auto plain = paint(L"secret", 0);
  EXPECT_TRUE(harness::SamePixels(*masked, *stars));
  EXPECT_FALSE(harness::SamePixels(*masked, *plain));

  // The live window's own paint leaves it to the window.
  std::unique_ptr<TgxEditViewData> live(editor->CreateViewData(false));
  RECT r{0, 0, 10, 10};
  EXPECT_FALSE(editor->EditClass().DrawClientArea(masked->Canvas().Handle(), r, *live, true));

  editor->SetSelection(0, 3);
  TChoosingPopup popup;
  TSeamScope<TPopupMenuSeam> scope(popup);
  SendMessageW(editor->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(editor->Handle()),
               MAKELPARAM(-1, -1));
  ASSERT_EQ(popup.Shown, 1);
  for (const std::wstring& caption : popup.Enabled)
    EXPECT_TRUE(caption != L"Cu&t" && caption != L"&Copy") << Narrow(caption);
  EXPECT_NE(std::find(popup.Enabled.begin(), popup.Enabled.end(), L"&Delete"), popup.Enabled.end());
}

// --- context menu ------------------------------------------------------------------------------

struct TMenuRow {
  const char* Name;
  const wchar_t* Caption;
  int SelStart, SelEnd;
  const wchar_t* Clipboard;
  const wchar_t* Text;
  const wchar_t* ClipboardAfter;
};

class ContextMenu : public TextEditors, public ::testing::WithParamInterface<TMenuRow> {};

TEST_P(ContextMenu, TheChosenCommandRunsOnTheWindow) {
  const TMenuRow& row = GetParam();
  auto* editor = NewEditor<TgxInplaceTextEdit>(
      [](TgxInplaceTextEdit& AEdit) { AEdit.SetEditValue(std::wstring(L"one two")); });
  PutClipboardText(row.Clipboard);
  editor->SetSelection(row.SelStart, row.SelEnd);
  TChoosingPopup popup(row.Caption);
  {
    TSeamScope<TPopupMenuSeam> scope(popup);
    const POINT at = editor->ClientToScreen({5, 5});
    SendMessageW(editor->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(editor->Handle()),
                 MAKELPARAM(at.x, at.y));
    EXPECT_EQ(popup.ShownAt.x, at.x);
    EXPECT_EQ(popup.ShownAt.y, at.y);
  }
  harness::PumpMessages();
  EXPECT_EQ(editor->Text(), row.Text);
  EXPECT_EQ(ClipboardText(), row.ClipboardAfter);
  if (std::wstring(row.Caption) == L"Select &All") {
    EXPECT_EQ(editor->SelLength(), 7);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ContextMenu,
    ::testing::Values(TMenuRow{"Cut", L"Cu&t", 0, 4, L"", L"two", L"one "},
                      TMenuRow{"Copy", L"&Copy", 4, 7, L"", L"one two", L"two"},
                      TMenuRow{"Paste", L"&Paste", 0, 3, L"six", L"six two", L"six"},
                      TMenuRow{"Delete", L"&Delete", 3, 7, L"keep", L"one", L"keep"},
                      TMenuRow{"SelectAll", L"Select &All", 2, 2, L"keep", L"one two", L"keep"}),
    [](const ::testing::TestParamInfo<TMenuRow>& AInfo) { return AInfo.param.Name; });

TEST_F(TextEdit, TheMenuOffersWhatTheEditorCanDoAndUndoesThroughTheWindow) {
  auto* editor = NewEditor<TgxInplaceTextEdit>(
      [](TgxInplaceTextEdit& AEdit) { AEdit.SetEditValue(std::wstring(L"abc")); });
  PutClipboardText(L"clip");
  editor->Deselect();
  TChoosingPopup look;
  {
    TSeamScope<TPopupMenuSeam> scope(look);
    SendMessageW(editor->Handle(), WM_CONTEXTMENU, 0, MAKELPARAM(-1, -1));
  }
  EXPECT_EQ(look.Enabled, (std::vector<std::wstring>{L"&Paste", L"Select &All"}));
  ASSERT_NE(editor->EditPopupMenu(), nullptr);
  const intptr_t tags[] = {-1, -2, 0x7FFFFFFF, -3, -4, -5, -6, 0x7FFFFFFF, -7};
  TMenuItem* items = editor->EditPopupMenu()->Items();
  ASSERT_EQ(items->Count(), 9);
  for (int i = 0; i < 9; ++i)
    EXPECT_EQ(items->Items(i)->Tag(), tags[i]) << i;

  Type(L"d");
  ASSERT_TRUE(Pump([&] { return editor->Text() == L"abcd"; }));
  TChoosingPopup undo(L"&Undo");
  {
    TSeamScope<TPopupMenuSeam> scope(undo);
    SendMessageW(editor->Handle(), WM_CONTEXTMENU, 0, MAKELPARAM(-1, -1));
  }
  EXPECT_EQ(editor->Text(), L"abc");
  EXPECT_NE(std::find(undo.Enabled.begin(), undo.Enabled.end(), L"&Undo"), undo.Enabled.end());

  // A read-only editor with a selection and no undo history offers only
  // Copy and Select All.
  editor->ClearUndo();
  editor->SetReadOnly(true);
  editor->SetSelection(0, 1);
  TChoosingPopup readOnly;
  {
    TSeamScope<TPopupMenuSeam> scope(readOnly);
    SendMessageW(editor->Handle(), WM_CONTEXTMENU, 0, MAKELPARAM(-1, -1));
  }
  EXPECT_EQ(readOnly.Enabled, (std::vector<std::wstring>{L"&Copy", L"Select &All"}));
}

TEST_F(TextEdit, AMenuPointOutsideTheEditorOrAPopupMenuOfAParentShowsNoMenu) {
  auto* editor = NewEditor<TgxInplaceTextEdit>();
  TChoosingPopup popup;
  TSeamScope<TPopupMenuSeam> scope(popup);
  const POINT outside = Container->ClientToScreen({300, 170});
  SendMessageW(editor->Handle(), WM_CONTEXTMENU, 0, MAKELPARAM(outside.x, outside.y));
  EXPECT_EQ(popup.Shown, 0);

  TPopupMenu parentMenu(nullptr);
  Container->SetPopupMenu(&parentMenu);
  SendMessageW(editor->Handle(), WM_CONTEXTMENU, 0, MAKELPARAM(-1, -1));
  EXPECT_EQ(popup.Shown, 0);
  Container->SetPopupMenu(nullptr);
  SendMessageW(editor->Handle(), WM_CONTEXTMENU, 0, MAKELPARAM(-1, -1));
  EXPECT_EQ(popup.Shown, 1);
  // From the keyboard the menu shows at the caret, inside the editor.
  RECT window;
  GetWindowRect(editor->Handle(), &window);
  EXPECT_TRUE(PtInRect(&window, popup.ShownAt));
}

TEST_F(TextEdit, APlainEditorRegistersNoRichEditCallback) {
  auto* editor = NewEditor<TgxInplaceTextEdit>();
  EXPECT_EQ(editor->CallbackRefCount(), 0);
}

// --- entering -----------------------------------------------------------------------------------

TEST_F(TextEdit, EnteringByKeyboardSelectsAllAndByAClickDoesNot) {
  auto* editor = NewEditor<TgxInplaceTextEdit>(
      [](TgxInplaceTextEdit& AEdit) { AEdit.SetEditValue(std::wstring(L"select me")); });
  Container->SetFocus();
  ASSERT_TRUE(Pump([&] { return Container->Focused(); }));
  editor->Deselect();
  editor->SetFocus();
  ASSERT_TRUE(Pump([&] { return editor->Focused(); }));
  EXPECT_EQ(editor->SelLength(), 9);

  Container->SetFocus();
  ASSERT_TRUE(Pump([&] { return Container->Focused(); }));
  editor->Deselect();
  harness::ClickAtScreen(editor->ClientToScreen({6, 6}).x, editor->ClientToScreen({6, 6}).y);
  ASSERT_TRUE(Pump([&] { return editor->Focused(); }));
  Settle();
  EXPECT_LT(editor->SelLength(), 9);
}

// --- the unit ---------------------------------------------------------------------------------

TEST(TextEditUnit, TheRichEditLibraryAndCaptionsComeWithTheUnitAndGoWithIt) {
  const size_t libraries = TResourceLedger::Count(TResourceKind::Library);
  GxEditorStartup();
  EXPECT_TRUE(RichEditLibraryLoaded());
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Library), libraries + 1);
  const wchar_t* captions[] = {L"&Undo",  L"&Redo",   L"Cu&t",       L"&Copy",
                               L"&Paste", L"&Delete", L"Select &All"};
  for (int i = 0; i < 7; ++i)
    EXPECT_EQ(TextEditMenuCaption(i), captions[i]);
  GxEditorShutdown();
  EXPECT_FALSE(RichEditLibraryLoaded());
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Library), libraries);
}

} // namespace
} // namespace text_editors
