#include "gx-spin-edit.h"

#include "format-settings.h"

#include "text-editors-fixture.h"

namespace text_editors {
namespace {

// The run time's decimal mark set for one test and put back after it.
class TDecimalScope {
public:
  explicit TDecimalScope(wchar_t ASeparator) : FSaved(FormatSettings().DecimalSeparator) {
    FormatSettings().DecimalSeparator = ASeparator;
  }
  ~TDecimalScope() { FormatSettings().DecimalSeparator = FSaved; }

private:
  wchar_t FSaved;
};

class SpinEdit : public TextEditors {
protected:
  TgxInplaceSpinEdit*
  NewSpin(const std::function<void(TgxInplaceSpinEdit&)>& AConfigure = nullptr) {
    return NewEditor<TgxInplaceSpinEdit>(AConfigure);
  }
  // The screen point in the middle of the top or the bottom button.
  static POINT ButtonPoint(TgxInplaceSpinEdit& AEdit, bool ATop) {
    std::unique_ptr<TgxEditViewData> data(AEdit.CreateViewData(false));
    TgxEditViewInfo info;
    const auto& kind = TgxInplaceSpinEditClass::Instance();
    kind.CalcViewInfo(*data, false, info);
    const RECT column =
        TgxInplaceSpinEditClass::ButtonColumn(info, kind.CalcSpinButtonWidth(*data));
    RECT window;
    GetWindowRect(AEdit.Handle(), &window);
    const int middle = (column.top + column.bottom) / 2;
    return POINT{window.left + (column.left + column.right) / 2,
                 window.top + (ATop ? (column.top + middle) / 2 : (middle + column.bottom) / 2)};
  }
  static void MouseInput(DWORD AFlags, LONG AData = 0) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = AFlags;
    input.mi.mouseData = DWORD(AData);
    ASSERT_EQ(SendInput(1, &input, sizeof(INPUT)), 1u);
  }
  static void Press(POINT AScreen) {
    SetCursorPos(AScreen.x, AScreen.y);
    Settle();
    MouseInput(MOUSEEVENTF_LEFTDOWN);
  }
  static void MoveTo(POINT AScreen) {
    SetCursorPos(AScreen.x, AScreen.y);
    Settle();
  }
  // One tick of the repeat timer, as the system would send it. The
  // system's own timer is stopped again at once, so that only the test's
  // ticks step, however slowly the messages are pumped.
  static void Tick(TgxInplaceSpinEdit& AEdit) {
    SendMessageW(AEdit.Handle(), WM_TIMER, TgxInplaceSpinEdit::kRepeatTimerId, 0);
    HoldSystemTimer(AEdit);
  }
  static void HoldSystemTimer(TgxInplaceSpinEdit& AEdit) {
    KillTimer(AEdit.Handle(), TgxInplaceSpinEdit::kRepeatTimerId);
  }
};

TEST_F(SpinEdit, ArrowKeysStepByTheIncrementAndStayInTheEditor) {
  auto* editor = NewSpin([](TgxInplaceSpinEdit& AEdit) { AEdit.SetIncrement(5); });
  EXPECT_EQ(editor->Text(), L"0");
  Keys({VK_UP, VK_UP});
  ASSERT_TRUE(Pump([&] { return editor->Text() == L"10"; })) << Narrow(editor->Text());
  Keys({VK_DOWN});
  ASSERT_TRUE(Pump([&] { return editor->Text() == L"5"; })) << Narrow(editor->Text());
  EXPECT_TRUE(editor->Modified());
  EXPECT_TRUE(Container->KeysDown.empty()) << "the stepping keys do not move the cell";
  EXPECT_EQ(editor->StatePressed(), sbNotDown) << "the key's release ends the press";
  EXPECT_EQ(Beeps.Count, 0);
}

TEST_F(SpinEdit, ARangeHoldsTheValueAndBothEndsZeroMeanNoRange) {
  struct TRow {
    double Min, Max, Set;
    const wchar_t* Shown;
    double ShownMin, ShownMax;
  };
  const TRow rows[] = {
      {0, 0, -1234, L"-1234", 0, 0},     {0, 10, 15, L"10", 0, 10}, {0, 10, -3, L"0", 0, 10},
      {5, 5, 100, L"5", 5, 5},           {5, 5, -100, L"5", 5, 5},  {10, 5, 7, L"5", 5, 5},
      {-2.5, 2.5, -9, L"-2", -2.5, 2.5},
  };
  auto* editor = NewSpin();
  for (const TRow& row : rows) {
    editor->SetMinMaxValues(0, 0);
    editor->SetMinMaxValues(row.Min, row.Max);
    editor->SetValue(row.Set);
    EXPECT_EQ(editor->Text(), row.Shown) << row.Min << ".." << row.Max << " " << row.Set;
    EXPECT_EQ(editor->MinValue(), row.ShownMin);
    EXPECT_EQ(editor->MaxValue(), row.ShownMax);
  }
  EXPECT_TRUE(editor->IsStored(svMinValue) && editor->IsStored(svMaxValue));

  // Stepping stops at the end of the range.
  editor->SetMinMaxValues(0, 2);
  editor->SetValue(1);
  Keys({VK_UP, VK_UP, VK_UP});
  Settle();
  EXPECT_TRUE(Pump([&] { return editor->Text() == L"2"; })) << Narrow(editor->Text());
}

TEST_F(SpinEdit, IntegersRoundHalfToEvenAndFloatsShowFifteenDigits) {
  struct TRow {
    TgxValueType Type;
    double Value;
    const wchar_t* Shown;
  };
  const TRow rows[] = {
      {vtInt, 2.5, L"2"},         {vtInt, 3.5, L"4"},
      {vtInt, -2.5, L"-2"},       {vtInt, 2.6, L"3"},
      {vtFloat, 2.5, L"2.5"},     {vtFloat, 0.1 + 0.2, L"0.3"},
      {vtFloat, 1e20, L"1E20"},   {vtFloat, 1.5e-7, L"1.5E-7"},
      {vtFloat, -0.25, L"-0.25"}, {vtFloat, 123456789012345.0, L"123456789012345"},
  };
  auto* editor = NewSpin();
  for (const TRow& row : rows) {
    editor->SetValueType(row.Type);
    editor->SetValue(row.Value);
    EXPECT_EQ(editor->Text(), row.Shown) << row.Value;
  }
  // Switching the type re-formats the text.
  editor->SetValueType(vtFloat);
  editor->SetValue(7.75);
  editor->SetValueType(vtInt);
  EXPECT_EQ(editor->Text(), L"8");
  EXPECT_EQ(editor->IntValue(), 8);
  editor->SetValueType(vtFloat);
  editor->SetValue(-7.75);
  EXPECT_EQ(editor->IntValue(), -7) << "IntValue truncates toward zero";
}

TEST_F(SpinEdit, TextThatIsNoNumberReadsAsTheEmptyValue) {
  struct TRow {
    TgxValueType Type;
    const wchar_t* Text;
    double Value;
  };
  const TRow rows[] = {
      {vtInt, L"", -2},       {vtFloat, L"", -2.7},
      {vtInt, L"12", 12},     {vtInt, L"1.5", -2},
      {vtInt, L"+", -2},      {vtFloat, L"1.5", 1.5},
      {vtFloat, L"-", -2.7},  {vtFloat, L"2e3", 2000},
      {vtFloat, L"1e", -2.7}, {vtInt, L"99999999999", -2},
  };
  auto* editor = NewSpin([](TgxInplaceSpinEdit& AEdit) { AEdit.SetMinMaxValues(-2.7, 5000); });
  for (const TRow& row : rows) {
    editor->SetValueType(row.Type);
    editor->SetText(row.Text);
    EXPECT_DOUBLE_EQ(editor->GetValue(), row.Value) << Narrow(row.Text);
  }
}

TEST_F(SpinEdit, UnderACommaLocaleAPointStillReadsAndATypedPointBecomesTheComma) {
  TDecimalScope comma(L',');
  auto* editor = NewSpin([](TgxInplaceSpinEdit& AEdit) { AEdit.SetValueType(vtFloat); });
  editor->SetText(L"2.5");
  EXPECT_DOUBLE_EQ(editor->GetValue(), 2.5);
  editor->SetText(L"2,25");
  EXPECT_DOUBLE_EQ(editor->GetValue(), 2.25);
  editor->SetValue(1.5);
  EXPECT_EQ(editor->Text(), L"1,5") << "values are written with the locale's mark";

  editor->SetText(L"");
  Type(L"3.7");
  ASSERT_TRUE(Pump([&] { return editor->Text() == L"3,7"; })) << Narrow(editor->Text());
  EXPECT_DOUBLE_EQ(editor->GetValue(), 3.7);
  EXPECT_EQ(Beeps.Count, 0);
}

TEST_F(SpinEdit, CharactersThatBelongInNoNumberAreRefusedWithABeep) {
  auto* editor = NewSpin();
  editor->SetText(L"");
  Type(L"1a2");
  ASSERT_TRUE(Pump([&] { return Beeps.Count == 1 && editor->Text() == L"12"; }))
      << Narrow(editor->Text());
  Type(L".");
  EXPECT_TRUE(Pump([&] { return Beeps.Count == 2; })) << "no decimal mark in an integer";
  Type(L"\x0663"); // a digit of another script
  EXPECT_TRUE(Pump([&] { return Beeps.Count == 3; }));
  EXPECT_EQ(editor->Text(), L"12");

  editor->SetValueType(vtFloat);
  Type(L".5");
  ASSERT_TRUE(Pump([&] { return editor->Text() == L"12.5"; })) << Narrow(editor->Text());
  EXPECT_EQ(Beeps.Count, 3);
}

TEST_F(SpinEdit, WithoutEditorEnabledOnlyTheButtonsKeysAndWheelChangeTheValue) {
  auto* editor = NewSpin([](TgxInplaceSpinEdit& AEdit) { AEdit.SetEditorEnabled(false); });
  Type(L"7");
  ASSERT_TRUE(Pump([&] { return Beeps.Count == 1; }));
  Keys({VK_BACK});
  Settle();
  EXPECT_EQ(editor->Text(), L"0") << "Backspace changes no text";
  Keys({VK_UP});
  EXPECT_TRUE(Pump([&] { return editor->Text() == L"1"; })) << Narrow(editor->Text());
  PutClipboardText(L"55");
  SendMessageW(editor->Handle(), WM_PASTE, 0, 0);
  EXPECT_EQ(editor->Text(), L"1") << "no paste either";
}

TEST_F(SpinEdit, WithUseCtrlIncrementOnlyCtrlArrowsStep) {
  auto* editor = NewSpin([](TgxInplaceSpinEdit& AEdit) { AEdit.SetUseCtrlIncrement(true); });
  editor->SetValue(4);
  Keys({VK_UP});
  ASSERT_TRUE(Pump([&] { return !Container->KeysDown.empty(); }))
      << "a plain arrow goes on to the container";
  EXPECT_EQ(editor->Text(), L"4");
  std::vector<INPUT> inputs(4);
  const WORD keys[4] = {VK_CONTROL, VK_UP, VK_UP, VK_CONTROL};
  for (size_t i = 0; i < 4; ++i) {
    inputs[i].type = INPUT_KEYBOARD;
    inputs[i].ki.wVk = keys[i];
    inputs[i].ki.dwFlags = i < 2 ? 0 : KEYEVENTF_KEYUP;
  }
  ASSERT_EQ(SendInput(4, inputs.data(), sizeof(INPUT)), 4u);
  EXPECT_TRUE(Pump([&] { return editor->Text() == L"5"; })) << Narrow(editor->Text());
}

TEST_F(SpinEdit, TheWheelStepsOncePerMessageWhateverTheDelta) {
  auto* editor = NewSpin();
  MouseInput(MOUSEEVENTF_WHEEL, WHEEL_DELTA);
  ASSERT_TRUE(Pump([&] { return editor->Text() == L"1"; })) << Narrow(editor->Text());
  MouseInput(MOUSEEVENTF_WHEEL, -3 * WHEEL_DELTA);
  ASSERT_TRUE(Pump([&] { return editor->Text() == L"0"; })) << Narrow(editor->Text());
  EXPECT_EQ(editor->StatePressed(), sbNotDown) << "the wheel's press lasts one step";
  // Zero counts as down.
  SendMessageW(editor->Handle(), WM_MOUSEWHEEL, 0, 0);
  EXPECT_EQ(editor->Text(), L"-1");
}

TEST_F(SpinEdit, HoldingAButtonStepsAtOnceThenOnEveryTickWhileTheMouseIsOnIt) {
  auto* editor = NewSpin();
  const POINT top = ButtonPoint(*editor, true);
  Press(top);
  ASSERT_TRUE(Pump([&] { return editor->Text() == L"1"; })) << Narrow(editor->Text());
  HoldSystemTimer(*editor);
  EXPECT_EQ(editor->StatePressed(), sbTopDown);
  EXPECT_EQ(GetCapture(), editor->Handle());
  EXPECT_NE(editor->RepeatTimer(), 0u) << "the first repeat is pending";

  Tick(*editor);
  Tick(*editor);
  EXPECT_EQ(editor->Text(), L"3");

  // Off the button the press stays but stepping pauses; back on, it resumes.
  MoveTo(ButtonPoint(*editor, false));
  ASSERT_TRUE(Pump([&] { return editor->StateActive() == sbNotDown; }));
  Tick(*editor);
  EXPECT_EQ(editor->Text(), L"3");
  EXPECT_EQ(editor->StatePressed(), sbTopDown);
  MoveTo(top);
  ASSERT_TRUE(Pump([&] { return editor->StateActive() == sbTopDown; }));
  Tick(*editor);
  EXPECT_EQ(editor->Text(), L"4");

  MouseInput(MOUSEEVENTF_LEFTUP);
  ASSERT_TRUE(Pump([&] { return editor->StatePressed() == sbNotDown; }));
  EXPECT_NE(GetCapture(), editor->Handle());
  Tick(*editor);
  EXPECT_EQ(editor->Text(), L"4") << "a tick after the release finds no press";
  EXPECT_EQ(editor->RepeatTimer(), 0u) << "and the timer ends";
  EXPECT_TRUE(editor->Modified());
}

TEST_F(SpinEdit, TheBottomButtonStepsDownAndTheMiddleLineBelongsToIt) {
  auto* editor = NewSpin();
  Press(ButtonPoint(*editor, false));
  ASSERT_TRUE(Pump([&] { return editor->Text() == L"-1"; })) << Narrow(editor->Text());
  HoldSystemTimer(*editor);
  MouseInput(MOUSEEVENTF_LEFTUP);
  ASSERT_TRUE(Pump([&] { return editor->StatePressed() == sbNotDown; }));

  const RECT column{10, 2, 25, 22};
  EXPECT_EQ(TgxInplaceSpinEditClass::ButtonAt(column, POINT{12, 11}), sbTopDown);
  EXPECT_EQ(TgxInplaceSpinEditClass::ButtonAt(column, POINT{12, 12}), sbBottomDown);
  EXPECT_EQ(TgxInplaceSpinEditClass::ButtonAt(column, POINT{9, 12}), sbNotDown);
}

TEST_F(SpinEdit, AClickTheContainerPassesOnPressesTheCellButtonAtOnce) {
  auto* editor = NewSpin();
  POINT point = ButtonPoint(*editor, true);
  ScreenToClient(Container->Handle(), &point);
  editor->MouseButtonClick(point.x, point.y);
  EXPECT_EQ(editor->Text(), L"1");
  EXPECT_EQ(editor->StatePressed(), sbTopDown);
  SendMessageW(editor->Handle(), WM_CANCELMODE, 0, 0);
  EXPECT_EQ(editor->StatePressed(), sbNotDown);
}

TEST_F(SpinEdit, AStepThatCannotModifyBeepsAndChangesNothing) {
  auto* editor = NewSpin([](TgxInplaceSpinEdit& AEdit) { AEdit.SetReadOnly(true); });
  Keys({VK_UP});
  ASSERT_TRUE(Pump([&] { return Beeps.Count == 1; }));
  EXPECT_EQ(editor->Text(), L"0");
  EXPECT_FALSE(editor->Modified());
}

TEST_F(SpinEdit, ValidationReformatsTheTypedTextIntoTheRange) {
  auto* editor = NewSpin([](TgxInplaceSpinEdit& AEdit) { AEdit.SetMinMaxValues(0, 50); });
  editor->SetText(L"");
  Type(L"077");
  ASSERT_TRUE(Pump([&] { return editor->Text() == L"077"; })) << Narrow(editor->Text());
  editor->ValidateEdit();
  EXPECT_EQ(editor->Text(), L"50");
}

TEST_F(SpinEdit, TheButtonsTakeTheRightEdgeAndAreHiddenByTheStyle) {
  auto* editor = NewSpin();
  std::unique_ptr<TgxEditViewData> data(editor->CreateViewData(false));
  auto* spin = dynamic_cast<TgxSpinEditViewData*>(data.get());
  ASSERT_NE(spin, nullptr);
  EXPECT_TRUE(spin->ShowButton);
  const int width = TgxInplaceSpinEditClass::Instance().CalcSpinButtonWidth(*data);
  EXPECT_GE(width, 12);
  RECT client;
  GetClientRect(editor->Handle(), &client);
  RECT window;
  GetWindowRect(editor->Handle(), &window);
  EXPECT_LE(client.right, (window.right - window.left) - width)
      << "the edit's client area leaves the button column";

  // A cell painted without a window shows the buttons' face in the column.
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 120, 24);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, bitmap);
  const RECT cell{0, 0, 120, 24};
  FillRect(dc, &cell, GetSysColorBrush(COLOR_WINDOW));
  data->ViewBounds = cell;
  TgxInplaceSpinEditClass::Instance().Draw(dc, cell, *data, nullptr);
  TgxEditViewInfo info;
  TgxInplaceSpinEditClass::Instance().CalcViewInfo(*data, false, info);
  const RECT column = TgxInplaceSpinEditClass::ButtonColumn(info, width);
  EXPECT_EQ(column.right - column.left, width);
  EXPECT_LE(info.ClientBounds.right, column.left) << "the text never runs under the buttons";
  EXPECT_EQ(GetPixel(dc, column.left + 3, column.top + 3), GetSysColor(COLOR_BTNFACE));
  const int middle = (column.top + column.bottom) / 2;
  int arrow = 0;
  for (int x = column.left; x < column.right; ++x)
    for (int y = column.top; y < middle; ++y)
      arrow += GetPixel(dc, x, y) == GetSysColor(COLOR_BTNTEXT);
  EXPECT_GT(arrow, 2) << "the up arrow is drawn";
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);

  editor->Style().SetButtonTransparence(ebtHideAlways);
  data.reset(editor->CreateViewData(false));
  EXPECT_FALSE(dynamic_cast<TgxSpinEditViewData&>(*data).ShowButton);
  EXPECT_EQ(TgxInplaceSpinEditClass::Instance().CalcSpinButtonWidth(*data), 0);
}

} // namespace
} // namespace text_editors
