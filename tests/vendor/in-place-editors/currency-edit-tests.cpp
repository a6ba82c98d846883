#include "gx-currency-edit.h"

#include "format-settings.h"

#include "text-editors-fixture.h"

namespace text_editors {
namespace {

// The run time's regional settings changed for one test and put back after.
class TSettingsScope {
public:
  TSettingsScope() : FSaved(FormatSettings()) {}
  ~TSettingsScope() { FormatSettings() = FSaved; }

private:
  TFormatSettings FSaved;
};

TEST(CurrencyFormats, TheLocaleCurrencyFormatPlacesAndQuotesTheSymbol) {
  struct TRow {
    const wchar_t* Symbol;
    int Placement;
    int Decimals;
    const wchar_t* Format;
  };
  const TRow rows[] = {
      {L"$", 0, 2, L"$,0.00;-$,0.00"},
      {L"kr", 3, 2, L",0.00 kr;-,0.00 kr"},
      {L"€", 1, 0, L",0.€;-,0.€"},
      {L"Fr.", 2, 2, L"Fr'.' ,0.00;-Fr'.' ,0.00"},
      {L"a,b", 0, 1, L"a','b,0.0;-a','b,0.0"},
      {L"", 3, 2, L",0.00;-,0.00"},
  };
  TSettingsScope scope;
  for (const TRow& row : rows) {
    FormatSettings().CurrencyString = row.Symbol;
    FormatSettings().CurrencyFormat = row.Placement;
    FormatSettings().CurrencyDecimals = row.Decimals;
    EXPECT_EQ(GetCurrencyDisplayFormat(), row.Format) << Narrow(row.Symbol);
  }
}

TEST(CurrencyFormats, FormatFloatFollowsSectionsPlaceholdersAndGrouping) {
  struct TRow {
    const wchar_t* Format;
    double Value;
    const wchar_t* Text;
  };
  const TRow rows[] = {
      {L"$,0.00;-$,0.00", 1234.5, L"$1,234.50"},
      {L"$,0.00;-$,0.00", -1234567.891, L"-$1,234,567.89"},
      {L"$,0.00;-$,0.00", 0, L"$0.00"},
      {L",0.", 1234.5, L"1,234"},
      {L"0.##", 1, L"1"},
      {L"0.##", 1.256, L"1.26"},
      {L"#.##", 0.5, L".5"},
      {L"000", 7, L"007"},
      {L"0.00", -3.1, L"-3.10"},
      {L"0;(0);'zero'", -5, L"(5)"},
      {L"0;(0);'zero'", 0, L"zero"},
      {L"'Fr.' ,0.00", 99.999, L"Fr. 100.00"},
  };
  for (const TRow& row : rows)
    EXPECT_EQ(FormatFloat(row.Format, row.Value), row.Text)
        << Narrow(row.Format) << " " << row.Value;
}

TEST(CurrencyFormats, TextToValueDropsGroupMarksAndChecksTheRange) {
  struct TRow {
    const wchar_t* Text;
    bool Accepted;
    double Value;
  };
  const TRow rows[] = {
      {L"1,234.5", true, 1234.5}, {L"0", true, 0},       {L"-2e3", true, -2000},
      {L"1e400", false, 0},       {L"1e-400", false, 0}, {L"", false, 0},
      {L"+", false, 0},           {L"12E", false, 0},    {L"1.7e308", true, 1.7e308},
      {L"1.75e308", false, 0},
  };
  for (const TRow& row : rows) {
    double value = -1;
    EXPECT_EQ(TgxInplaceCurrencyEdit::TextToValue(row.Text, value), row.Accepted)
        << Narrow(row.Text);
    EXPECT_EQ(value, row.Value) << Narrow(row.Text);
  }
}

using CurrencyEdit = TextEditors;

TEST_F(CurrencyEdit, KeystrokesAreCheckedAgainstTheTextTheyWouldMake) {
  auto* editor = NewEditor<TgxInplaceCurrencyEdit>();
  Type(L"+");
  ASSERT_TRUE(Pump([&] { return Beeps.Count == 1; })) << "a plus alone is no number";
  Type(L"-");
  ASSERT_TRUE(Pump([&] { return editor->Text() == L"-"; })) << "a minus into an empty text";
  Keys({VK_BACK});
  ASSERT_TRUE(Pump([&] { return editor->Text().empty(); }));
  Type(L"12.34");
  ASSERT_TRUE(Pump([&] { return editor->Text() == L"12.34"; })) << Narrow(editor->Text());
  Type(L"5");
  ASSERT_TRUE(Pump([&] { return Beeps.Count == 2; })) << "a third decimal";
  Type(L"x\x0663");
  ASSERT_TRUE(Pump([&] { return Beeps.Count == 4; }));
  editor->SetSelection(1, 1);
  Type(L"9");
  EXPECT_TRUE(Pump([&] { return editor->Text() == L"192.34"; })) << Narrow(editor->Text());
  EXPECT_DOUBLE_EQ(editor->GetValue(), 192.34);
  EXPECT_EQ(Beeps.Count, 4);
}

TEST_F(CurrencyEdit, WithTheGroupMarkInUseACommaIsTypedAndReadOver) {
  TSettingsScope scope;
  FormatSettings().DecimalSeparator = L'.';
  FormatSettings().ThousandSeparator = L',';
  auto* editor = NewEditor<TgxInplaceCurrencyEdit>(
      [](TgxInplaceCurrencyEdit& AEdit) { AEdit.SetUseThousandSeparator(true); });
  Type(L"1,234.5");
  ASSERT_TRUE(Pump([&] { return editor->Text() == L"1,234.5"; })) << Narrow(editor->Text());
  EXPECT_DOUBLE_EQ(editor->GetValue(), 1234.5);

  // A pasted text keeps no group marks: the paste is undone.
  editor->SetText(L"7");
  PutClipboardText(L"1,234.5");
  editor->SetSelection(0, -1);
  SendMessageW(editor->Handle(), WM_PASTE, 0, 0);
  EXPECT_EQ(editor->Text(), L"7");
  PutClipboardText(L"88.25");
  editor->SetSelection(0, -1);
  SendMessageW(editor->Handle(), WM_PASTE, 0, 0);
  EXPECT_EQ(editor->Text(), L"88.25");
}

TEST_F(CurrencyEdit, WithoutTheGroupMarkACommaIsTheDecimalMark) {
  auto* editor = NewEditor<TgxInplaceCurrencyEdit>();
  Type(L"3,5");
  EXPECT_TRUE(Pump([&] { return editor->Text() == L"3.5"; })) << Narrow(editor->Text());
}

TEST_F(CurrencyEdit, AProgrammaticValueIsHeldInTheRangeAndLeavesModifiedAlone) {
  auto* editor = NewEditor<TgxInplaceCurrencyEdit>(
      [](TgxInplaceCurrencyEdit& AEdit) { AEdit.SetMinMaxValues(0, 100); });
  editor->SetModified(false);
  editor->SetValue(150);
  EXPECT_EQ(editor->Text(), L"100");
  EXPECT_FALSE(editor->Modified());
  editor->SetModified(true);
  editor->SetValue(-4);
  EXPECT_EQ(editor->Text(), L"0");
  EXPECT_TRUE(editor->Modified());
  editor->SetText(L"-");
  EXPECT_EQ(editor->GetValue(), 0) << "unreadable text reads as the minimum";
}

TEST_F(CurrencyEdit, NullValuesGiveNullAndPaintTheNullText) {
  auto* editor = NewEditor<TgxInplaceCurrencyEdit>([](TgxInplaceCurrencyEdit& AEdit) {
    AEdit.SetDisplayFormat(L"$,0.00;-$,0.00");
    AEdit.SetNullable(true);
    AEdit.SetNullString(L"(none)");
  });
  editor->SetText(L"");
  TgxVariant value;
  editor->GetEditValue(value);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(value));
  editor->GetDisplayValue(value, false);
  EXPECT_EQ(VarToText(value), L"(none)");
  EXPECT_TRUE(editor->IsNeededRedraw());

  editor->SetNullable(false);
  editor->GetEditValue(value);
  EXPECT_EQ(VarToText(value), L"");
  editor->GetDisplayValue(value, false);
  EXPECT_EQ(VarToText(value), L"$0.00");
  editor->SetText(L"-1234.5");
  editor->GetDisplayValue(value, false);
  EXPECT_EQ(VarToText(value), L"-$1,234.50");

  // The painted view data carries the formatted text.
  std::unique_ptr<TgxEditViewData> data(editor->CreateViewData(false));
  EXPECT_EQ(VarToText(data->Data), L"-$1,234.50");
}

TEST_F(CurrencyEdit, ARegionalChangeBringsTheNewCurrencyFormatUnlessOneWasSet) {
  const LCID saved = GetThreadLocale();
  TSettingsScope scope;
  auto* automatic = NewEditor<TgxInplaceCurrencyEdit>();
  auto* fixed = NewEditor<TgxInplaceCurrencyEdit>(
      [](TgxInplaceCurrencyEdit& AEdit) { AEdit.SetDisplayFormat(L"0.0"); });
  EXPECT_EQ(automatic->DisplayFormat(), GetCurrencyDisplayFormat());
  ASSERT_TRUE(SetThreadLocale(MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT)));
  SendMessageW(Form->Handle(), WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"intl"));
  SetThreadLocale(saved);
  EXPECT_EQ(automatic->DisplayFormat(), L",0.00 €;-,0.00 €");
  EXPECT_EQ(fixed->DisplayFormat(), L"0.0");
  // The locale's marks came along: a comma for decimals, a point for groups.
  EXPECT_EQ(FormatSettings().DecimalSeparator, L',');
  EXPECT_EQ(FormatSettings().ThousandSeparator, L'.');
  automatic->SetText(L"1234,5");
  TgxVariant shown;
  automatic->GetDisplayValue(shown, false);
  EXPECT_EQ(VarToText(shown), L"1.234,50 €");
  ReloadFormatSettings();
}

} // namespace
} // namespace text_editors
