#include "gx-mask-edit.h"

#include "text-editors-fixture.h"

namespace text_editors {
namespace {

std::wstring DateSeparator() {
  return std::wstring(1, MaskLiteralChar(L'/'));
}

// --- the mask routines ----------------------------------------------------------------------

struct TMaskRow {
  const wchar_t* Mask;
  bool Save;
  wchar_t Blank;
  int MaxChars;
};

TEST(MaskRoutines, FieldsGiveTheSaveFlagTheBlankAndTheWidth) {
  const TMaskRow rows[] = {
      {L"000", true, L'_', 3},       {L"00-00;0;*", false, L'*', 5},
      {L"00-00;1;_", true, L'_', 5}, {L"!99/99/00;1;_", true, L'_', 8},
      {L">LL<>ll", true, L'_', 4},   {L"\\A00;0;_", false, L'_', 3},
      {L"99;0", false, L'_', 2},     {L"aaaa", true, L'_', 4},
  };
  for (const TMaskRow& row : rows) {
    const std::string name = Narrow(row.Mask);
    EXPECT_EQ(MaskSaveLiterals(row.Mask), row.Save) << name;
    EXPECT_EQ(MaskBlankChar(row.Mask), row.Blank) << name;
    EXPECT_EQ(MaskMaxChars(row.Mask), row.MaxChars) << name;
  }
  // An escaped character is a literal, directives and fields take no place.
  EXPECT_EQ(MaskCharType(L"\\A00;0;_", 1), mcLiteral);
  EXPECT_EQ(MaskCharType(L"\\A00;0;_", 0), mcDirective);
  EXPECT_EQ(MaskCharType(L"\\A00;0;_", 4), mcFieldSeparator);
  EXPECT_EQ(MaskCharType(L"\\A00;0;_", 5), mcField);
  EXPECT_EQ(TextToMaskOffset(L">LL<>ll", 2), 5);
  EXPECT_EQ(TextToMaskOffset(L">LL<>ll", 4), -1);
  EXPECT_EQ(MaskDirectivesAt(L">LL<>ll", 1) & mdUpperCase, mdUpperCase);
  EXPECT_EQ(MaskDirectivesAt(L">LL<>ll", 5) & (mdUpperCase | mdLowerCase), 0);
}

TEST(MaskRoutines, ValuesAreLaidOutOnThePatternAndFieldsPaddedToTheirWidth) {
  EXPECT_EQ(MaskFormatText(L"00-00;0;_", L"123", L'_'), L"12-3_");
  EXPECT_EQ(MaskFormatText(L"!99-99;0;_", L"123", L'_'), L"_1-23")
      << "under \"!\" a short value is padded at the front";
  EXPECT_EQ(PadMaskLiterals(L"99-999;1;_", L"1-23", L'_'), L"1_-23_");
  EXPECT_EQ(PadMaskLiterals(L"!99-999;1;_", L"1-23", L'_'), L"_1-_23");
  EXPECT_EQ(PadMaskLiterals(L"99-99;1;_", L"12345", L'_'), L"12-__")
      << "a literal missing from the value is appended, the field cut";
  EXPECT_EQ(PadMaskLiterals(L"99-99;1;_", L"1 -2", L'_'), L"1_-2_");
}

// --- the editor ------------------------------------------------------------------------------

using MaskEdit = TextEditors;

TgxInplaceMaskEdit* WithMask(TgxInplaceMaskEdit& AEdit, const wchar_t* AMask) {
  AEdit.SetEditMask(AMask);
  return &AEdit;
}

TEST_F(MaskEdit, ADateMaskShowsBlanksAndSeparatorsAndTheTypedSeparatorJumpsTheField) {
  auto* editor = NewEditor<TgxInplaceMaskEdit>(
      [](TgxInplaceMaskEdit& AEdit) { WithMask(AEdit, L"99/99/00;1;_"); });
  const std::wstring sep = DateSeparator();
  EXPECT_TRUE(editor->IsMasked());
  EXPECT_EQ(editor->EditText(), L"__" + sep + L"__" + sep + L"__");
  EXPECT_EQ(editor->GetEditingText(), L"") << "an all-blank mask has no editing text";
  EXPECT_GT(editor->CallbackRefCount(), 0) << "a masked editor registers the callback";

  editor->SetCursor(0);
  Type(L"4" + sep + L"7");
  ASSERT_TRUE(Pump([&] { return editor->EditText() == L"4_" + sep + L"7_" + sep + L"__"; }))
      << Narrow(editor->EditText());
  EXPECT_EQ(Beeps.Count, 0) << "the separator is taken as a jump";
  Type(L"x");
  EXPECT_TRUE(Pump([&] { return Beeps.Count == 1; })) << "a letter in a digit position beeps";
  EXPECT_EQ(editor->Text(), L"4 " + sep + L"7 " + sep + L"  ");
}

TEST_F(MaskEdit, CaseDirectivesConvertTypedLettersUntilTheyEnd) {
  auto* editor =
      NewEditor<TgxInplaceMaskEdit>([](TgxInplaceMaskEdit& AEdit) { WithMask(AEdit, L">LL<>ll"); });
  editor->SetCursor(0);
  Type(L"abCD");
  EXPECT_TRUE(Pump([&] { return editor->EditText() == L"ABCD"; })) << Narrow(editor->EditText());
  editor->SetCursor(2);
  Type(L"xY");
  EXPECT_TRUE(Pump([&] { return editor->EditText() == L"ABxY"; })) << Narrow(editor->EditText());
}

TEST_F(MaskEdit, AnIncompleteValueRaisesWithItsMessageAndKeepsTheCaretOnTheGap) {
  auto* editor =
      NewEditor<TgxInplaceMaskEdit>([](TgxInplaceMaskEdit& AEdit) { WithMask(AEdit, L"000;0;_"); });
  editor->SetCursor(0);
  Type(L"7");
  ASSERT_TRUE(Pump([&] { return editor->EditText() == L"7__"; })) << Narrow(editor->EditText());
  Keys({VK_DOWN});
  ASSERT_TRUE(Pump([&] { return !WindowErrors().empty(); }));
  EXPECT_EQ(WindowErrors()[0], L"Invalid input value.  Use escape key to abandon changes");
  EXPECT_TRUE(Container->KeysDown.empty()) << "the key stays in the editor";
  EXPECT_TRUE(editor->Focused());
  EXPECT_EQ(editor->CaretPos(), 1) << "the caret goes to the first unfilled position";
  EXPECT_GE(Beeps.Count, 1);
  EXPECT_TRUE(editor->MaskState() & msReEnter);
  try {
    editor->ValidateEdit();
    ADD_FAILURE() << "no error";
  } catch (const EDBEditError& AError) {
    EXPECT_EQ(AError.Message(), kgxMaskInvalidInputText);
  }

  // Filled, the value passes and the key goes on to the container.
  Type(L"89");
  ASSERT_TRUE(Pump([&] { return editor->EditText() == L"789"; })) << Narrow(editor->EditText());
  Keys({VK_DOWN});
  EXPECT_TRUE(Pump([&] { return !Container->KeysDown.empty(); }));
  EXPECT_EQ(editor->Text(), L"789");
}

TEST_F(MaskEdit, ClosingThroughTheContainerRevertsAnIncompleteValueInsteadOfRaising) {
  auto* editor = NewEditor<TgxInplaceMaskEdit>([](TgxInplaceMaskEdit& AEdit) {
    WithMask(AEdit, L"00;0;_");
    AEdit.SetEditValue(std::wstring(L"42"));
  });
  editor->SetModified(false);
  editor->SetActive(true);
  editor->SetCursor(0);
  Type(L"1");
  ASSERT_TRUE(Pump([&] { return editor->EditText() == L"12"; })) << Narrow(editor->EditText());
  editor->SetCursor(1);
  Keys({VK_DELETE});
  ASSERT_TRUE(Pump([&] { return editor->EditText() == L"1_"; })) << Narrow(editor->EditText());
  editor->SetCloseFlag(true);
  EXPECT_NO_THROW(editor->ValidateEdit());
  EXPECT_EQ(editor->EditText(), L"42");
  EXPECT_FALSE(editor->Modified());
}

TEST_F(MaskEdit, PastedDigitsFillTheInputPositionsAndLettersLeaveBlanks) {
  auto* editor = NewEditor<TgxInplaceMaskEdit>(
      [](TgxInplaceMaskEdit& AEdit) { WithMask(AEdit, L"00-00;1;_"); });
  PutClipboardText(L"123456");
  editor->SetCursor(0);
  editor->PasteFromClipboard();
  EXPECT_EQ(editor->EditText(), L"12-34");
  EXPECT_TRUE(editor->Modified());
  EXPECT_TRUE(WindowErrors().empty());

  // Escape goes back to the text before the paste.
  Keys({VK_ESCAPE});
  EXPECT_TRUE(Pump([&] { return editor->EditText() == L"__-__"; })) << Narrow(editor->EditText());

  auto* optional = new TgxInplaceMaskEdit(Container);
  optional->SetParent(Container);
  optional->SetEditMask(L"99-99;1;_");
  optional->Move({20, 80, 200, 104});
  optional->SetFocus();
  PutClipboardText(L"ab3");
  optional->SetCursor(0);
  optional->PasteFromClipboard();
  EXPECT_EQ(optional->EditText(), L"__-3_");
}

TEST_F(MaskEdit, BackspaceAtTheFirstPositionDoesNothingAndDeleteKeepsTheLiterals) {
  auto* editor = NewEditor<TgxInplaceMaskEdit>([](TgxInplaceMaskEdit& AEdit) {
    WithMask(AEdit, L"00-00;1;_");
    AEdit.SetEditValue(std::wstring(L"12-34"));
  });
  editor->SetCursor(0);
  Keys({VK_BACK});
  Settle();
  EXPECT_EQ(editor->EditText(), L"12-34");
  EXPECT_EQ(editor->CaretPos(), 0);

  editor->SetSelection(1, 4);
  Keys({VK_DELETE});
  ASSERT_TRUE(Pump([&] { return editor->EditText() == L"1_-_4"; })) << Narrow(editor->EditText());
  EXPECT_EQ(editor->CaretPos(), 1) << "after a range the caret goes to its first input";

  editor->SetEditValue(std::wstring(L"12-34"));
  editor->SetCursor(3);
  Keys({VK_BACK});
  EXPECT_TRUE(Pump([&] { return editor->EditText() == L"1_-34"; })) << Narrow(editor->EditText());
  EXPECT_EQ(editor->CaretPos(), 1) << "Backspace steps back over the literal";
}

TEST_F(MaskEdit, TheCaretAlwaysSelectsOneCharacterAndArrowsStepOverLiterals) {
  auto* editor = NewEditor<TgxInplaceMaskEdit>(
      [](TgxInplaceMaskEdit& AEdit) { WithMask(AEdit, L"00-00;1;_"); });
  editor->SetCursor(1);
  int start, end;
  editor->GetSelection(start, end);
  EXPECT_EQ(start, 1);
  EXPECT_EQ(end, 2);
  Keys({VK_RIGHT});
  ASSERT_TRUE(Pump([&] { return editor->CaretPos() == 3; }));
  editor->GetSelection(start, end);
  EXPECT_EQ(start, 3);
  EXPECT_EQ(end, 4);
  Keys({VK_LEFT});
  ASSERT_TRUE(Pump([&] { return editor->CaretPos() == 1; }));
  Keys({VK_END});
  EXPECT_TRUE(Pump([&] { return editor->CaretPos() == 5; }));
}

TEST_F(MaskEdit, WithoutAMaskTheEditorIsTheTextEditor) {
  auto* editor = NewEditor<TgxInplaceMaskEdit>();
  EXPECT_FALSE(editor->IsMasked());
  EXPECT_EQ(editor->CallbackRefCount(), 0);
  Type(L"free text");
  EXPECT_TRUE(Pump([&] { return editor->Text() == L"free text"; }));
  editor->SetEditMask(L"00;0;_");
  EXPECT_EQ(editor->EditText(), L"fr") << "the value is laid out on the new pattern";
  editor->SetEditMask(L"");
  EXPECT_FALSE(editor->IsMasked());
}

} // namespace
} // namespace text_editors
