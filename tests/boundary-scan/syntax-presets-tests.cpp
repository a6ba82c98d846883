// The tokenizer's language presets: a table of texts and the tokens each
// preset makes of them, and the multi-line constructs over a string list.

#include "syntax-presets.h"
#include "tokenizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using TTokens = std::vector<std::pair<std::int32_t, std::wstring>>;

enum class TPreset { Delphi, DFM, VB, JScript, C, Cpp };

void ApplyPreset(TCustomDCParser& AParser, TPreset APreset) {
  switch (APreset) {
  case TPreset::Delphi:
    AParser.InitDelphiSyntax();
    break;
  case TPreset::DFM:
    AParser.InitDFMSyntax();
    break;
  case TPreset::VB:
    AParser.InitVBSyntax();
    break;
  case TPreset::JScript:
    AParser.InitJScrSyntax();
    break;
  case TPreset::C:
    AParser.InitCSyntax();
    break;
  case TPreset::Cpp:
    AParser.InitCppSyntax();
    break;
  }
}

TTokens Scan(TCustomDCParser& AParser, const std::wstring& AText) {
  AParser.SetLinePtr(AText.c_str());
  TTokens tokens;
  for (int guard = 0; guard < 1000 && AParser.NextToken() != TokenKind::EndOfText; ++guard)
    tokens.emplace_back(AParser.Token(), AParser.TokenString());
  return tokens;
}

struct TPresetCase {
  const char* Name;
  TPreset Preset;
  std::wstring Text;
  TTokens Tokens;
};

class PresetTokens : public ::testing::TestWithParam<TPresetCase> {};

TEST_P(PresetTokens, ScanAsExpected) {
  TCustomDCParser parser;
  ApplyPreset(parser, GetParam().Preset);
  EXPECT_EQ(Scan(parser, GetParam().Text), GetParam().Tokens);
}

const TPresetCase kPresetCases[] = {
    {"PascalQuotesAndCharCodesAreOneString",
     TPreset::Delphi,
     L"'It''s'#13#10'x' y",
     {{1, L"'It''s'#13#10'x'"}, {3, L"y"}}},
    {"PascalHexCharCode", TPreset::Delphi, L"#$1F#9", {{1, L"#$1F#9"}}},
    {"PascalAsmBlock",
     TPreset::Delphi,
     L"asm mov eax, 1 end",
     {{6, L"asm"}, {9, L"mov"}, {9, L"eax,"}, {9, L"1"}, {9, L""}, {6, L"end"}}},
    {"PascalAsmEndInsideAWordIsNoEnd",
     TPreset::Delphi,
     L"asm mend @end endx end;",
     {{6, L"asm"}, {9, L"mend"}, {9, L"@end"}, {9, L"endx"}, {9, L""}, {6, L"end"}, {7, L";"}}},
    {"PascalAsmComments",
     TPreset::Delphi,
     L"asm {c} x(*)y // l",
     {{6, L"asm"}, {2, L"{c}"}, {9, L"x"}, {2, L"(*)"}, {9, L"y"}, {2, L"// l"}}},
    {"PascalAsmParenCommentGoesOn",
     TPreset::Delphi,
     L"asm (* x *) y",
     {{6, L"asm"}, {2, L"(* x *)"}, {9, L"y"}}},
    {"PascalAsmLoneParenAndSlash",
     TPreset::Delphi,
     L"asm ( / end",
     {{6, L"asm"}, {9, L"("}, {9, L"/"}, {9, L""}, {6, L"end"}}},
    {"PascalParenStarOpensAComment", TPreset::Delphi, L"(*) x", {{2, L"(*) x"}}},
    {"PascalReal", TPreset::Delphi, L"12.5e3 1e-2", {{5, L"12.5e3"}, {5, L"1e-2"}}},
    {"PascalDotWithoutDigitEndsTheInteger",
     TPreset::Delphi,
     L"12.e3",
     {{4, L"12"}, {7, L"."}, {3, L"e3"}}},
    {"PascalHex", TPreset::Delphi, L"$FF $", {{4, L"$FF"}, {4, L"$"}}},
    {"PascalLineComment",
     TPreset::Delphi,
     L"a // b c\nd / e",
     {{3, L"a"}, {2, L"// b c"}, {3, L"d"}, {7, L"/"}, {3, L"e"}}},
    {"PascalBraceComment", TPreset::Delphi, L"{ x } y", {{2, L"{ x }"}, {3, L"y"}}},
    {"CHexWithSuffix",
     TPreset::C,
     L"0x1Fu 10UL 7i64 3Lx",
     {{4, L"0x1Fu"}, {4, L"10UL"}, {4, L"7i64"}, {4, L"3L"}, {3, L"x"}}},
    {"CUpperXIsNoHex", TPreset::C, L"0X1F", {{4, L"0"}, {3, L"X1F"}}},
    {"CZeroXWithoutDigit", TPreset::C, L"0xg", {{7, L"0"}, {3, L"xg"}}},
    {"CRealTakesNoSuffix", TPreset::C, L"1.5u", {{5, L"1.5"}, {3, L"u"}}},
    {"CEscapedQuoteStaysInTheString", TPreset::C, L"\"a\\\"b\" c", {{1, L"\"a\\\"b\""}, {3, L"c"}}},
    {"CTwoBackslashesLetTheQuoteClose", TPreset::C, L"\"a\\\\\" c", {{1, L"\"a\\\\\""}, {3, L"c"}}},
    {"CSingleQuotes", TPreset::C, L"'\\'' x", {{1, L"'\\''"}, {3, L"x"}}},
    {"COpenStringEndsWithItsLine", TPreset::C, L"\"abc\nint", {{1, L"\"abc"}, {6, L"int"}}},
    {"CDirectiveStopsBeforeAComment",
     TPreset::C,
     L"#include <a> // x",
     {{8, L"#include <a> "}, {2, L"// x"}}},
    {"CComment", TPreset::C, L"a /* b */ c", {{3, L"a"}, {2, L"/* b */"}, {3, L"c"}}},
    {"CppWordsReplaceC", TPreset::Cpp, L"class struct", {{6, L"class"}, {6, L"struct"}}},
    {"CHasNoClass", TPreset::C, L"class", {{3, L"class"}}},
    {"JScriptHexAndNumbers",
     TPreset::JScript,
     L"0x1F 12 function",
     {{4, L"0x1F"}, {4, L"12"}, {6, L"function"}}},
    {"BasicRemIsALineComment",
     TPreset::VB,
     L"x Rem anything here\ny",
     {{3, L"x"}, {2, L"Rem anything here"}, {3, L"y"}}},
    {"BasicHex", TPreset::VB, L"&H1F & &h", {{4, L"&H1F"}, {7, L"&"}, {4, L"&h"}}},
    {"BasicStringAndQuoteComment",
     TPreset::VB,
     L"\"a\"\"b\" ' note",
     {{1, L"\"a\"\"b\""}, {2, L"' note"}}},
    {"FormTextHasNoAsm", TPreset::DFM, L"asm end", {{3, L"asm"}, {6, L"end"}}},
    {"FormTextHasNoHexNumbers", TPreset::DFM, L"$1", {{7, L"$"}, {4, L"1"}}},
};

INSTANTIATE_TEST_SUITE_P(Presets, PresetTokens, ::testing::ValuesIn(kPresetCases),
                         [](const auto& AInfo) { return std::string(AInfo.param.Name); });

TEST(Presets, UnterminatedPascalStringIsStillAString) {
  TCustomDCParser parser;
  parser.InitDelphiSyntax();
  EXPECT_EQ(Scan(parser, L"'abc"), (TTokens{{1, L"'abc"}}));
  EXPECT_TRUE(parser.UnterminatedString());
  Scan(parser, L"'abc'");
  EXPECT_FALSE(parser.UnterminatedString());
}

TEST(Presets, FormTextNeverEntersTheAsmState) {
  TCustomDCParser parser;
  parser.InitDFMSyntax();
  Scan(parser, L"asm");
  EXPECT_EQ(parser.ParserState(), 0);
}

TEST(Presets, LineBreaksCountOnePerPair) {
  const std::vector<std::pair<std::wstring, std::int32_t>> cases = {
      {L"a\r\nb", 1}, {L"a\n\rb", 1}, {L"a\r\rb", 2}, {L"a\n\nb", 2}, {L"a\r\n\r\nb", 2}};
  for (TPreset preset : {TPreset::Delphi, TPreset::VB, TPreset::C}) {
    for (const auto& [text, lines] : cases) {
      TCustomDCParser parser;
      ApplyPreset(parser, preset);
      EXPECT_EQ(Scan(parser, text), (TTokens{{3, L"a"}, {3, L"b"}}));
      EXPECT_EQ(parser.LinePos(), lines);
      EXPECT_EQ(parser.CharPos(), 1); // the line starts at b
    }
  }
}

// Within one text, an asm block or a continued directive over several
// lines still counts them.
TEST(Presets, LinesAreCountedInsideAsmAndContinuedDirectives) {
  TCustomDCParser pascal;
  pascal.InitDelphiSyntax();
  Scan(pascal, L"asm\r\nmov\r\n{x\r\n}\r\nend");
  EXPECT_EQ(pascal.LinePos(), 4);
  TCustomDCParser c;
  c.InitCSyntax();
  EXPECT_EQ(Scan(c, L"#define A \\\r\n  B\r\nint"),
            (TTokens{{8, L"#define A \\"}, {8, L"  B"}, {6, L"int"}}));
  EXPECT_EQ(c.LinePos(), 2);
}

TEST(Presets, ASecondPresetReplacesTheFirstInState0) {
  TCustomDCParser parser;
  parser.InitDelphiSyntax();
  parser.InitCSyntax();
  EXPECT_EQ(Scan(parser, L"$FF 'x' int"),
            (TTokens{{7, L"$"}, {3, L"FF"}, {1, L"'x'"}, {6, L"int"}}));
  EXPECT_EQ(parser.ParserStateCount(), 11);
}

TEST(Presets, BasicRemIsTheSpecialWord) {
  TCustomDCParser parser;
  parser.InitVBSyntax();
  EXPECT_EQ(parser.SpecialResWordID(), 43);
}

// Multi-line constructs over a string list carry over through ParserState.
struct TLinesCase {
  const char* Name;
  TPreset Preset;
  std::vector<std::wstring> Lines;
  // Per token: kind, text, and the state after it.
  std::vector<std::tuple<std::int32_t, std::wstring, std::int32_t>> Tokens;
};

class PresetLines : public ::testing::TestWithParam<TLinesCase> {};

TEST_P(PresetLines, CarryOverLines) {
  TStringsParser parser;
  ApplyPreset(parser, GetParam().Preset);
  parser.SetStrings(&GetParam().Lines);
  std::vector<std::tuple<std::int32_t, std::wstring, std::int32_t>> tokens;
  for (int guard = 0; guard < 100 && parser.NextToken() != 0; ++guard)
    tokens.emplace_back(parser.Token(), parser.TokenString(), parser.ParserState());
  EXPECT_EQ(tokens, GetParam().Tokens);
}

const TLinesCase kLinesCases[] = {
    {"PascalBraceComment",
     TPreset::Delphi,
     {L"x { abc", L"def } y"},
     {{3, L"x", 0}, {2, L"{ abc", 1}, {2, L"def }", 0}, {3, L"y", 0}}},
    {"PascalParenComment",
     TPreset::Delphi,
     {L"x (* abc", L"", L"def *) y"},
     {{3, L"x", 0}, {2, L"(* abc", 2}, {2, L"def *)", 0}, {3, L"y", 0}}},
    {"PascalAsmOverLines",
     TPreset::Delphi,
     {L"asm", L"  nop", L"end;"},
     {{6, L"asm", 4}, {9, L"nop", 4}, {9, L"", 0}, {6, L"end", 0}, {7, L";", 0}}},
    {"CComment",
     TPreset::C,
     {L"a /* b", L"c */ d"},
     {{3, L"a", 0}, {2, L"/* b", 2}, {2, L"c */", 0}, {3, L"d", 0}}},
    {"CDirectiveContinues",
     TPreset::C,
     {L"#define A \\", L"  B \\", L"  C", L"int"},
     {{8, L"#define A \\", 10}, {8, L"  B \\", 10}, {8, L"  C", 0}, {6, L"int", 0}}},
    {"CContinuationEndsAtAComment",
     TPreset::C,
     {L"#x \\", L"y /* z */"},
     {{8, L"#x \\", 10}, {8, L"y ", 0}, {2, L"/* z */", 0}}},
};

INSTANTIATE_TEST_SUITE_P(Presets, PresetLines, ::testing::ValuesIn(kLinesCases),
                         [](const auto& AInfo) { return std::string(AInfo.param.Name); });

TEST(WordTables, SizesAndIdentifiers) {
  EXPECT_EQ(PascalResWords.size(), 109u);
  EXPECT_EQ(DFMResWords.size(), 5u);
  EXPECT_EQ(VBResWords.size(), 56u);
  EXPECT_EQ(JScriptResWords.size(), 58u);
  EXPECT_EQ(CppResWords.size(), 94u);
  EXPECT_EQ(CResWords.size(), 31u);
  EXPECT_EQ(CIntegerSuffixes.size(), 17u);
  EXPECT_EQ(SQLResWords.size(), 152u);
  EXPECT_EQ(PascalResWords[5], L"asm");
  EXPECT_EQ(PascalResWords[45], L"index");
  EXPECT_EQ(PascalResWords[77], L"read");
  EXPECT_EQ(PascalResWords[106], L"write");
  EXPECT_EQ(VBResWords[43], L"Rem");
  EXPECT_TRUE(std::is_sorted(PascalResWords.begin(), PascalResWords.end()));
}

} // namespace
