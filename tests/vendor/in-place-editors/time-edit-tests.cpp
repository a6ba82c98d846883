#include "gx-time-edit.h"

#include "format-settings.h"

#include "text-editors-fixture.h"

#include <cmath>

namespace text_editors {
namespace {

// The locale's time separator as the editor shows it.
std::wstring Sep() {
  return std::wstring(1, FormatSettings().TimeSeparator);
}
std::wstring Clock(const wchar_t* AHour, const wchar_t* AMinute, const wchar_t* ASecond) {
  return std::wstring(AHour) + Sep() + AMinute + Sep() + ASecond;
}

// The run time's time separator set for one test and put back after it.
class TTimeSeparatorScope {
public:
  explicit TTimeSeparatorScope(wchar_t ASeparator) : FSaved(FormatSettings().TimeSeparator) {
    FormatSettings().TimeSeparator = ASeparator;
  }
  ~TTimeSeparatorScope() { FormatSettings().TimeSeparator = FSaved; }

private:
  wchar_t FSaved;
};

class TimeEdit : public TextEditors {
protected:
  TgxInplaceTimeEdit*
  NewTime(const std::function<void(TgxInplaceTimeEdit&)>& AConfigure = nullptr) {
    return NewEditor<TgxInplaceTimeEdit>(AConfigure);
  }
};

TEST(TimeTexts, TimesAreFormattedAndReadWithTheLocaleSeparator) {
  TTimeSeparatorScope point(L'.');
  EXPECT_EQ(FormatTimeOfDay(L"hh:nn:ss", 0.75 + 5.0 / 86400), L"18.00.05");
  EXPECT_EQ(FormatTimeOfDay(L"hh:nn", 2.0 / 24), L"02.00");
  double time = 0;
  EXPECT_TRUE(TryTextToTime(L"07.30.15", time));
  EXPECT_NEAR(time, (7 * 3600 + 30 * 60 + 15) / 86400.0, 1e-12);
  EXPECT_TRUE(TryTextToTime(L"09", time)) << "an hour alone is a time";
  EXPECT_NEAR(time, 9 / 24.0, 1e-12);
  for (const wchar_t* bad : {L"24.00.00", L"07:30:00", L"12.60", L"", L"x"})
    EXPECT_FALSE(TryTextToTime(bad, time)) << Narrow(bad);
}

TEST_F(TimeEdit, UpAndDownStepTheFieldTheCaretIsIn) {
  struct TRow {
    int Caret;
    WORD Key;
    const wchar_t *Hour, *Minute, *Second;
  };
  const TRow rows[] = {
      {0, VK_UP, L"11", L"15", L"00"},   {1, VK_DOWN, L"09", L"15", L"00"},
      {2, VK_UP, L"11", L"15", L"00"}, // the separator after a field belongs to it
      {3, VK_UP, L"10", L"16", L"00"},   {5, VK_DOWN, L"10", L"14", L"00"},
      {7, VK_DOWN, L"10", L"14", L"59"}, // one second below a whole minute
  };
  auto* editor = NewTime();
  for (const TRow& row : rows) {
    editor->SetEditValue(10.0 / 24 + 15.0 / 1440);
    ASSERT_EQ(editor->EditText(), Clock(L"10", L"15", L"00"));
    editor->SetCursor(row.Caret);
    editor->SetSelection(row.Caret, row.Caret);
    Keys({row.Key});
    EXPECT_TRUE(Pump([&] { return editor->EditText() == Clock(row.Hour, row.Minute, row.Second); }))
        << "caret " << row.Caret << ": " << Narrow(editor->EditText());
  }
  EXPECT_EQ(Beeps.Count, 0);
}

TEST_F(TimeEdit, AStepPastEitherEndOfTheDayChangesNothing) {
  auto* editor = NewTime();
  editor->SetEditValue(23.0 / 24 + 15.0 / 1440);
  editor->SetModified(false);
  editor->SetSelection(0, 0);
  Keys({VK_UP});
  Settle();
  EXPECT_TRUE(Pump([&] { return editor->Modified(); })) << "the refused step still marks";
  EXPECT_EQ(editor->EditText(), Clock(L"23", L"15", L"00"));
  editor->SetSelection(3, 3);
  Keys({VK_UP});
  EXPECT_TRUE(Pump([&] { return editor->EditText() == Clock(L"23", L"16", L"00"); }))
      << Narrow(editor->EditText());

  editor->SetEditValue(30.0 / 86400);
  editor->SetSelection(3, 3);
  Keys({VK_DOWN});
  Settle();
  EXPECT_EQ(editor->EditText(), Clock(L"00", L"00", L"30"));
  editor->SetSelection(6, 6);
  Keys({VK_DOWN});
  EXPECT_TRUE(Pump([&] { return editor->EditText() == Clock(L"00", L"00", L"29"); }));
}

TEST_F(TimeEdit, TypedDigitsAreCheckedAgainstTheirField) {
  auto* editor = NewTime();
  struct TRow {
    int Caret;
    const wchar_t* Typed;
    bool Refused;
  };
  const TRow rows[] = {
      {0, L"3", true}, {0, L"2", false}, {1, L"4", true}, {1, L"3", false},
      {3, L"6", true}, {3, L"5", false}, {6, L"6", true}, {6, L"5", false},
  };
  for (const TRow& row : rows) {
    const int beeps = Beeps.Count;
    const std::wstring before = editor->EditText();
    editor->SetCursor(row.Caret);
    Type(row.Typed);
    Settle();
    if (row.Refused) {
      EXPECT_TRUE(Pump([&] { return Beeps.Count == beeps + 1; })) << row.Caret << Narrow(row.Typed);
      EXPECT_EQ(editor->EditText(), before);
    } else {
      EXPECT_TRUE(Pump([&] { return editor->EditText()[size_t(row.Caret)] == row.Typed[0]; }))
          << row.Caret << " " << Narrow(editor->EditText());
      EXPECT_EQ(Beeps.Count, beeps);
    }
  }
  EXPECT_EQ(editor->EditText(), Clock(L"23", L"50", L"50"));
}

TEST_F(TimeEdit, TheDatePartOfALoadedValueComesBackWithTheEditedTime) {
  auto* editor = NewTime();
  editor->SetEditValue(2.75);
  EXPECT_EQ(editor->EditText(), Clock(L"18", L"00", L"00"));
  EXPECT_EQ(editor->SavedDate(), 2);
  EXPECT_FALSE(editor->Modified()) << "loading keeps the Modified flag";
  editor->SetSelection(0, 0);
  Keys({VK_UP});
  ASSERT_TRUE(Pump([&] { return editor->EditText() == Clock(L"19", L"00", L"00"); }));
  TgxVariant value;
  editor->GetEditValue(value);
  ASSERT_TRUE(std::holds_alternative<double>(value));
  EXPECT_NEAR(std::get<double>(value), 2 + 19.0 / 24, 1e-9);
}

TEST_F(TimeEdit, NullLoadsMidnightAndGivesBackAPlainZero) {
  auto* editor = NewTime();
  editor->SetEditValue(1.5);
  editor->SetEditValue(TgxVariant());
  EXPECT_EQ(editor->EditText(), Clock(L"00", L"00", L"00"));
  TgxVariant value;
  editor->GetEditValue(value);
  ASSERT_TRUE(std::holds_alternative<int64_t>(value));
  EXPECT_EQ(std::get<int64_t>(value), 0);
  editor->SetEditValue(std::wstring());
  EXPECT_EQ(editor->SavedDate(), 0);
}

TEST_F(TimeEdit, TheShorterFormatsStepOnlyTheirFields) {
  auto* editor = NewTime([](TgxInplaceTimeEdit& AEdit) { AEdit.SetTimeEditFormat(tfHour); });
  editor->SetEditValue(5.0 / 24);
  EXPECT_EQ(editor->EditText(), L"05");
  editor->SetSelection(2, 2);
  Keys({VK_UP});
  EXPECT_TRUE(Pump([&] { return editor->EditText() == L"06"; })) << Narrow(editor->EditText());

  editor->SetTimeEditFormat(tfHourMin);
  // A new mask makes the window again.
  editor->SetFocus();
  ASSERT_TRUE(Pump([&] { return editor->Focused(); }));
  editor->SetEditValue(5.0 / 24 + 59.0 / 1440);
  EXPECT_EQ(editor->EditText(), L"05" + Sep() + L"59");
  editor->SetSelection(4, 4);
  Keys({VK_UP});
  EXPECT_TRUE(Pump([&] { return editor->EditText() == L"06" + Sep() + L"00"; }))
      << Narrow(editor->EditText());
}

TEST_F(TimeEdit, TheLocaleSeparatorIsShownAndRead) {
  TTimeSeparatorScope point(L'.');
  auto* editor = NewTime();
  editor->SetEditValue(8.5 / 24);
  EXPECT_EQ(editor->EditText(), L"08.30.00");
  editor->SetSelection(3, 3);
  Keys({VK_UP});
  EXPECT_TRUE(Pump([&] { return editor->EditText() == L"08.31.00"; }))
      << Narrow(editor->EditText());
  EXPECT_NEAR(editor->Time(), (8 * 60 + 31) / 1440.0, 1e-9);
  Owner.reset();
}

} // namespace
} // namespace text_editors
