// The table-driven tokenizer: scanning, reserved words, positions, the state
// stack, errors, the line-by-line scanner and colouring.

#include "syntax-presets.h"
#include "tokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using TTokens = std::vector<std::pair<std::int32_t, std::wstring>>;

// Every token of a whole text, up to the end.
TTokens ScanText(TCustomDCParser& AParser, const std::wstring& AText) {
  AParser.SetLinePtr(AText.c_str());
  TTokens tokens;
  for (int guard = 0; guard < 1000; ++guard) {
    const std::int32_t kind = AParser.NextToken();
    if (kind == TokenKind::EndOfText)
      break;
    tokens.emplace_back(kind, AParser.TokenString());
  }
  return tokens;
}

std::wstring ErrorText(const std::function<void()>& AAction) {
  try {
    AAction();
  } catch (const EDCError& e) {
    return e.Message();
  }
  return L"(no error)";
}

TEST(Tokenizer, EmptyTextEndsAtOnceAndTokenIsNoneBefore) {
  TCustomDCParser parser;
  parser.InitDelphiSyntax();
  EXPECT_EQ(parser.Token(), TokenKind::NoToken);
  const std::wstring empty;
  parser.SetLinePtr(empty.c_str());
  EXPECT_EQ(parser.NextToken(), TokenKind::EndOfText);
  EXPECT_TRUE(parser.ParserEOF());
}

TEST(Tokenizer, AFreshScannerWithoutTextAnswersTheEnd) {
  TCustomDCParser parser;
  parser.InitDelphiSyntax();
  EXPECT_EQ(parser.NextToken(), TokenKind::EndOfText);
}

TEST(Tokenizer, CharactersWithoutHandlerAreBlanks) {
  TCustomDCParser parser;
  parser.InitDelphiSyntax();
  EXPECT_TRUE(ScanText(parser, L"   \t\x01\x1f  ").empty());
}

// A character above 255 has no slot: it is a blank, whatever its low byte.
TEST(Tokenizer, CharactersAbove255AreBlanksNotTheirLowByte) {
  TCustomDCParser parser;
  parser.InitDelphiSyntax();
  // U+010A would be a line feed and U+0127 a quote by their low byte;
  // U+0100 would be the end of the text.
  EXPECT_EQ(ScanText(parser, L"a\u010Ab\u0127c\u0100d"),
            (TTokens{{3, L"a"}, {3, L"b"}, {3, L"c"}, {3, L"d"}}));
  EXPECT_EQ(parser.LinePos(), 0);
}

TEST(Tokenizer, CharacterClassesHoldNothingAbove255) {
  EXPECT_TRUE(InCharSet(IdentStartChars(), L'A'));
  EXPECT_FALSE(InCharSet(IdentStartChars(), wchar_t(0x0141))); // low byte 'A'
  EXPECT_FALSE(InCharSet(PrintableChars(), wchar_t(0x0121)));
  EXPECT_TRUE(IsLineChar(wchar_t(0x2019))); // text inside a line stays text
  EXPECT_FALSE(IsLineChar(L'\r'));
}

TEST(Tokenizer, StringsMayHoldCharactersAbove255) {
  TCustomDCParser parser;
  parser.InitDelphiSyntax();
  EXPECT_EQ(ScanText(parser, L"'\u00e9\u2019\u010A'"), (TTokens{{1, L"'\u00e9\u2019\u010A'"}}));
  EXPECT_FALSE(parser.UnterminatedString());
}

TEST(Tokenizer, ScanningInAStateWithoutTableFails) {
  TCustomDCParser parser;
  const std::wstring text = L"a";
  parser.SetLinePtr(text.c_str());
  EXPECT_THROW(parser.NextToken(), EDCError);
}

TEST(Tokenizer, RegisterProcReplacesSlotsAndAddsTables) {
  TCustomDCParser parser;
  parser.InitBaseSyntax();
  EXPECT_EQ(parser.ParserStateCount(), 1);
  parser.RegisterProc({3, 1}, CharSetOf(L"x"),
                      ParseProc<&TCustomDCParser::ReadIdentifier>(&parser));
  EXPECT_EQ(parser.ParserStateCount(), 4);
  parser.RegisterNormalProc(CharSetOf(L"x"), ParseProc<&TCustomDCParser::ReadIdentifier>(&parser));
  EXPECT_EQ(ScanText(parser, L"xy+"), (TTokens{{3, L"xy"}, {7, L"+"}}));
}

TEST(Tokenizer, ResWordHashBuckets) {
  const std::vector<std::pair<std::wstring, std::int32_t>> cases = {
      {L"asm", 231}, {L"ASM", 231}, {L"end", 196}, {L"begin", 136}, {L"entity", 149}, {L"", 255}};
  for (const auto& [word, bucket] : cases)
    EXPECT_EQ(TCustomDCParser::ResWordHash(word), bucket) << std::string(word.begin(), word.end());
}

TEST(Tokenizer, ReservedWordsIgnoreCaseUnlessCaseSensitive) {
  TCustomDCParser parser;
  parser.InitDelphiSyntax();
  EXPECT_EQ(ScanText(parser, L"BEGIN begin"), (TTokens{{6, L"BEGIN"}, {6, L"begin"}}));
  EXPECT_EQ(parser.ResWordID(), 8);
  parser.SetCaseSensitive(true);
  EXPECT_EQ(ScanText(parser, L"BEGIN begin"), (TTokens{{3, L"BEGIN"}, {6, L"begin"}}));
}

TEST(Tokenizer, OfTwoEqualWordsTheLaterLineStays) {
  TCustomDCParser parser;
  parser.InitBaseSyntax();
  parser.RegisterNormalProc(IdentStartChars(),
                            ParseProc<&TCustomDCParser::ReadIdentifier>(&parser));
  const std::wstring_view words[] = {L"Alpha", L" beta ", L"ALPHA", L"  "};
  FillStringsIndexed(parser.ResWords(), words);
  EXPECT_EQ(parser.SortedResWords().Count(), 2);
  EXPECT_TRUE(parser.IsResWord(L"alpha"));
  EXPECT_EQ(parser.ResWordID(), 2);
  EXPECT_TRUE(parser.IsResWord(L"BETA"));
  EXPECT_EQ(parser.ResWordID(), 1);
  EXPECT_EQ(parser.ResWordText(1), L"beta");
  EXPECT_FALSE(parser.IsResWord(L"gamma"));
}

TEST(Tokenizer, ReservedWordIndexWaitsWhileLoading) {
  TCustomDCParser parser;
  parser.BeginLoading();
  parser.InitDelphiSyntax();
  EXPECT_EQ(parser.SortedResWords().Count(), 0);
  parser.EndLoading();
  EXPECT_EQ(parser.SortedResWords().Count(), 109);
}

TEST(Tokenizer, PeekTokenLeavesEverythingAsItWas) {
  TStringsParser parser;
  parser.InitDelphiSyntax();
  const std::vector<std::wstring> lines = {L"begin (* open", L"closed *) x"};
  parser.SetStrings(&lines);
  ASSERT_EQ(parser.NextToken(), 6);
  const auto tokenPtr = parser.TokenPtr();
  const auto sourcePtr = parser.SourcePtr();
  EXPECT_EQ(parser.PeekToken(), 2);
  EXPECT_EQ(parser.PeekTokenStr(), L"(* open");
  EXPECT_EQ(parser.Token(), 6);
  EXPECT_EQ(parser.TokenPtr(), tokenPtr);
  EXPECT_EQ(parser.SourcePtr(), sourcePtr);
  EXPECT_EQ(parser.LinePos(), 0);
  EXPECT_EQ(parser.ParserState(), 0);
  // Past the comment, onto the next line, and back.
  EXPECT_EQ(parser.PeekValidTokenStr(), L"x");
  EXPECT_EQ(parser.LinePos(), 0);
  EXPECT_EQ(parser.ParserState(), 0);
  EXPECT_EQ(parser.TokenString(), L"begin");
  EXPECT_EQ(parser.NextValidTokenStr(), L"x");
  EXPECT_EQ(parser.LinePos(), 1);
}

// The records pushed: hard, soft, soft.
class TokenizerStack : public ::testing::Test {
protected:
  void SetUp() override {
    parser.InitDelphiSyntax();
    parser.SetLinePtr(text.c_str());
    parser.NextToken(); // a
    parser.PushState();
    parser.NextToken(); // b
    parser.SoftPushState();
    parser.NextToken(); // c
    parser.SoftPushState();
    parser.NextToken(); // d
  }
  TCustomDCParser parser;
  const std::wstring text = L"a b c d e";
};

TEST_F(TokenizerStack, PopStateRemovesSoftRecordsDownToTheHardOne) {
  EXPECT_EQ(parser.PopState(), 3);
  EXPECT_EQ(parser.TokenString(), L"a");
  EXPECT_EQ(parser.InternalState(), -1);
}

TEST_F(TokenizerStack, SoftPopStateRemovesOnlyTheSoftTop) {
  EXPECT_TRUE(parser.SoftPopState());
  EXPECT_EQ(parser.TokenString(), L"c");
  EXPECT_EQ(parser.InternalState(), 1);
}

TEST_F(TokenizerStack, WritingInternalStateRestoresAndCuts) {
  parser.SetInternalState(2);
  EXPECT_EQ(parser.TokenString(), L"c");
  EXPECT_EQ(parser.InternalState(), 1);
  parser.SetInternalState(0);
  EXPECT_EQ(parser.TokenString(), L"a");
  EXPECT_EQ(parser.InternalState(), -1);
  EXPECT_EQ(parser.NextTokenStr(), L"b");
}

TEST_F(TokenizerStack, InternalStateOfTheCountIsInTheFuture) {
  EXPECT_EQ(ErrorText([&] { parser.SetInternalState(3); }).rfind(L"State is in future", 0), 0u);
}

TEST(Tokenizer, SoftPopStateOverAHardRecordAloneFails) {
  TCustomDCParser parser;
  parser.InitDelphiSyntax();
  parser.PushState();
  EXPECT_EQ(ErrorText([&] { parser.SoftPopState(); }).rfind(L"Token list is empty", 0), 0u);
  EXPECT_EQ(parser.InternalState(), 0);
  parser.PopState();
  EXPECT_EQ(ErrorText([&] { parser.PopState(); }).rfind(L"Token list is empty", 0), 0u);
}

// A soft record below a hard top is restored and left on the stack.
TEST(Tokenizer, SoftPopStateUnderAHardTopRestoresWithoutPopping) {
  TCustomDCParser parser;
  parser.InitDelphiSyntax();
  const std::wstring text = L"a b c";
  parser.SetLinePtr(text.c_str());
  parser.NextToken();
  parser.SoftPushState();
  parser.NextToken();
  parser.PushState();
  parser.NextToken();
  EXPECT_FALSE(parser.SoftPopState());
  EXPECT_EQ(parser.TokenString(), L"a");
  EXPECT_EQ(parser.InternalState(), 1);
}

TEST(Tokenizer, ErrorsNameTheTokenPosition) {
  TStringsParser parser;
  parser.InitDelphiSyntax();
  const std::vector<std::wstring> lines = {L"", L"", L"begin x := 1"};
  parser.SetStrings(&lines);
  parser.NextToken();
  parser.NextToken();
  ASSERT_EQ(parser.TokenString(), L"x");
  EXPECT_EQ(ErrorText([&] { parser.CheckChar(L';'); }), L"'';'' expected at Line:3, Char:7. ");
  EXPECT_EQ(ErrorText([&] { parser.CheckResWord(27); }), L"end expected at Line:3, Char:7. ");
  EXPECT_EQ(ErrorText([&] { parser.CheckNextChar(L';'); }), L"'';'' expected at Line:3, Char:9. ");
  std::int32_t column = 0, line = 0;
  parser.GetTokenPosition(column, line);
  EXPECT_EQ(column, 9);
  EXPECT_EQ(line, 3);
}

// The context is added after the message is filled: a "%" in a file name
// stays as it is.
TEST(Tokenizer, TheErrorContextIsNotFormatted) {
  class TNamedParser : public TCustomDCParser {
  protected:
    std::wstring GetErrorContext() const override { return L"in 100%s.vhd"; }
  };
  TNamedParser parser;
  parser.InitDelphiSyntax();
  const std::wstring text = L"x";
  parser.SetLinePtr(text.c_str());
  parser.NextToken();
  EXPECT_EQ(ErrorText([&] { parser.CheckChar(L'('); }),
            L"''('' expected at Line:1, Char:1. in 100%s.vhd");
}

TEST(Tokenizer, TokenTests) {
  TCustomDCParser parser;
  parser.InitDelphiSyntax();
  const std::wstring text = L"; begin index x";
  parser.SetLinePtr(text.c_str());
  EXPECT_TRUE(parser.IsNextTokenChar(L';'));
  EXPECT_TRUE(parser.IsPeekTokenResWord(8));
  EXPECT_FALSE(parser.IsPeekTokenChar(L';'));
  EXPECT_TRUE(parser.IsTokenChar(L';'));
  EXPECT_TRUE(parser.IsNextTokenResWord(8));
  EXPECT_FALSE(parser.IsTokenPseudoResWord());
  parser.NextToken();
  EXPECT_TRUE(parser.IsTokenPseudoResWord());
  EXPECT_EQ(parser.SkipTokens(0), 6);
  EXPECT_EQ(parser.SkipTokens(2), 0);
}

TEST(Tokenizer, SkipToCharStaysOnAMatchingToken) {
  TCustomDCParser parser;
  parser.InitDelphiSyntax();
  const std::wstring text = L"; a ; b end c";
  parser.SetLinePtr(text.c_str());
  parser.NextToken();
  EXPECT_TRUE(parser.SkipToChar(L';'));
  EXPECT_EQ(parser.TokenCharPos(), 0);
  parser.NextToken();
  EXPECT_TRUE(parser.SkipToChar(L';'));
  EXPECT_EQ(parser.TokenCharPos(), 4);
  EXPECT_TRUE(parser.SkipToResWord(27));
  EXPECT_EQ(parser.TokenString(), L"end");
  EXPECT_FALSE(parser.SkipToChar(L'?'));
  EXPECT_TRUE(parser.ParserEOF());
}

TEST(Tokenizer, SettingLinePtrStartsANewText) {
  TCustomDCParser parser;
  parser.InitDelphiSyntax();
  const std::wstring first = L"a b";
  const std::wstring second = L"c";
  parser.SetLinePtr(first.c_str());
  parser.NextToken();
  parser.SetParserState(0);
  parser.SetLinePtr(second.c_str());
  EXPECT_EQ(parser.Token(), TokenKind::NoToken);
  EXPECT_EQ(parser.NextTokenStr(), L"c");
  parser.SetCharPos(0);
  EXPECT_EQ(parser.NextTokenStr(), L"c");
}

// ---- The line-by-line scanner ----------------------------------------------

std::vector<std::int32_t> Kinds(TStringsParser& AParser) {
  std::vector<std::int32_t> kinds;
  for (int guard = 0; guard < 100; ++guard) {
    kinds.push_back(AParser.NextToken());
    if (kinds.back() == 0)
      break;
  }
  return kinds;
}

TEST(StringsParser, EndOfLineTokensWhenSignificant) {
  const std::vector<std::wstring> lines = {L"a", L"", L"b"};
  TStringsParser parser;
  parser.InitDelphiSyntax();
  parser.SetStrings(&lines);
  EXPECT_EQ(Kinds(parser), (std::vector<std::int32_t>{3, 3, 0}));
  parser.ResetParser();
  parser.SetEOLIsSignificant(true);
  EXPECT_EQ(Kinds(parser), (std::vector<std::int32_t>{3, 12, 12, 3, 12, 0}));
}

TEST(StringsParser, NoEndOfLineInsideAComment) {
  const std::vector<std::wstring> lines = {L"a (* x", L"y *) b"};
  TStringsParser parser;
  parser.InitDelphiSyntax();
  parser.SetEOLIsSignificant(true);
  parser.SetStrings(&lines);
  EXPECT_EQ(Kinds(parser), (std::vector<std::int32_t>{3, 2, 2, 3, 12, 0}));
}

TEST(StringsParser, WithoutStringsItFails) {
  TStringsParser parser;
  parser.InitDelphiSyntax();
  EXPECT_EQ(ErrorText([&] { parser.NextToken(); }).rfind(L"Strings are not specified", 0), 0u);
  EXPECT_EQ(ErrorText([&] { parser.SetLinePos(1); }).rfind(L"Strings are not specified", 0), 0u);
}

TEST(StringsParser, SetLinePosRestartsAtThatLineUnlessAlreadyThere) {
  const std::vector<std::wstring> lines = {L"a b", L"c d"};
  TStringsParser parser;
  parser.InitDelphiSyntax();
  parser.SetStrings(&lines);
  parser.NextToken();
  parser.SetLinePos(0); // same line, same text: the position stays
  EXPECT_EQ(parser.NextTokenStr(), L"b");
  parser.SetLinePos(1);
  EXPECT_EQ(parser.NextTokenStr(), L"c");
  parser.SetLinePos(0);
  EXPECT_EQ(parser.NextTokenStr(), L"a");
}

// ---- Colouring --------------------------------------------------------------

TEST(Colouring, EmptyBufferAnswersTheInitialStateAndColoursNothing) {
  TCustomDCParser parser;
  parser.InitDelphiSyntax();
  std::wstring colours;
  EXPECT_EQ(parser.ColorString(L"(* open", 0, colours), 0);
  EXPECT_TRUE(colours.empty());
  colours = L"?";
  EXPECT_EQ(parser.ColorString(L"", 5, colours), 5);
  EXPECT_EQ(colours, L"?");
}

TEST(Colouring, EachTokenGivesItsKindToItsCharacters) {
  TCustomDCParser parser;
  parser.InitDelphiSyntax();
  std::wstring colours(16, L'-');
  EXPECT_EQ(parser.ColorString(L"a := 'x' (* open", 0, colours), 2);
  EXPECT_EQ(colours, std::wstring(L"\x03-\x07\x07-\x01\x01\x01-\x02\x02\x02\x02\x02\x02\x02", 16));
  // The next line continues the comment.
  std::wstring next(6, L'-');
  EXPECT_EQ(parser.ColorString(L"x *) y", 2, next), 0);
  EXPECT_EQ(next, std::wstring(L"\x02\x02\x02\x02-\x03", 6));
}

TEST(Colouring, TheEventShapesStylesToTheTokenLength) {
  TCustomDCParser parser;
  parser.InitDelphiSyntax();
  parser.OnGetColorData = [](TCustomDCParser*, std::int32_t AToken, const std::wstring&,
                             std::wstring& AColorData) {
    AColorData = AToken == 3 ? L"ABCDEFG" : L"";
  };
  std::wstring colours(6, L'-');
  parser.ColorString(L"abc ;;", 0, colours);
  EXPECT_EQ(colours, std::wstring(L"ABC-\x07\x07", 6));
}

TEST(Colouring, SimpleParserDefaults) {
  TCustomDCParser parser;
  std::uint32_t colour = 7;
  EXPECT_EQ(parser.GetFont(0), nullptr);
  EXPECT_FALSE(parser.GetBackColor(0, colour));
  EXPECT_FALSE(parser.StoreColorData());
  std::wstring data = L"xyz";
  parser.PrepareColorData(0, L"ab", data);
  EXPECT_EQ(data, std::wstring(2, wchar_t(0)));
}

// ---- Notifiers --------------------------------------------------------------

class TListener : public TDCComponent {
public:
  void Changed(TDCComponent*, std::int32_t AWParam, std::int32_t) { Calls.push_back(AWParam); }
  void Other(TDCComponent*, std::int32_t, std::int32_t) { Calls.push_back(-1); }
  std::vector<std::int32_t> Calls;
};

TEST(Notifiers, AddedOnceCalledLastFirstAndRemovedByDataOrMethod) {
  TListener a, b;
  TNotifierList list;
  list.AddMethod(NotifierProc<&TListener::Changed>(&a));
  list.AddMethod(NotifierProc<&TListener::Changed>(&b));
  list.AddMethod(NotifierProc<&TListener::Changed>(&a)); // moves to the end
  list.AddMethod(NotifierProc<&TListener::Other>(&a));
  EXPECT_EQ(list.Count(), 3);
  list.NotifyEvents(nullptr, 5, 0);
  EXPECT_EQ(a.Calls, (std::vector<std::int32_t>{-1, 5}));
  EXPECT_EQ(b.Calls, (std::vector<std::int32_t>{5}));
  list.DeleteMethod(NotifierProc<&TListener::Changed>(&a));
  EXPECT_EQ(list.Count(), 2);
  list.DeleteWithData(&a);
  EXPECT_EQ(list.Count(), 1);
}

class TSelfRemover {
public:
  void Fire(TDCComponent*, std::int32_t, std::int32_t) {
    ++Calls;
    List->DeleteWithData(this);
  }
  TNotifierList* List = nullptr;
  int Calls = 0;
};

TEST(Notifiers, AnEntryMayRemoveItselfWhileCalled) {
  TNotifierList list;
  TSelfRemover first, second, third;
  for (TSelfRemover* r : {&first, &second, &third}) {
    r->List = &list;
    list.AddMethod(NotifierProc<&TSelfRemover::Fire>(r));
  }
  list.NotifyEvents(nullptr, 0, 0);
  EXPECT_EQ(first.Calls + second.Calls + third.Calls, 3);
  EXPECT_EQ(list.Count(), 0);
}

TEST(Notifiers, AParserTellsItsListenersOfWordChangesAndForgetsDestroyedOnes) {
  TCustomDCParser parser;
  auto listener = std::make_unique<TListener>();
  parser.RegisterNotifier(NotifierProc<&TListener::Changed>(listener.get()));
  parser.InitDelphiSyntax(); // one word list load, one notification
  parser.SetCaseSensitive(true);
  parser.SetCaseSensitive(true); // unchanged: no notification
  EXPECT_EQ(listener->Calls.size(), 2u);
  listener.reset();
  EXPECT_EQ(parser.Notifiers().Count(), 0);
  parser.SetCaseSensitive(false); // nobody left to call
}

TEST(Notifiers, AListenerIsToldWhenTheParserGoes) {
  class TWatcher : public TListener {
  public:
    void Notification(TDCComponent* AComponent, TDCOperation AOperation) override {
      TDCComponent::Notification(AComponent, AOperation);
      if (AOperation == TDCOperation::opRemove)
        Removed = AComponent;
    }
    TDCComponent* Removed = nullptr;
  };
  TWatcher watcher;
  auto parser = std::make_unique<TCustomDCParser>();
  TDCComponent* parserAddress = parser.get();
  parser->RegisterNotifier(NotifierProc<&TListener::Changed>(&watcher));
  parser.reset();
  EXPECT_EQ(watcher.Removed, parserAddress);
}

TEST(Components, AnOwnerFreesWhatItOwns) {
  TDCComponent owner;
  auto* parser = new TStringsParser(&owner);
  EXPECT_EQ(owner.ComponentCount(), 1);
  EXPECT_EQ(parser->Owner(), &owner);
  EXPECT_TRUE(parser->ClassType()->InheritsFrom(&TCustomDCParser::ClassInfo));
  EXPECT_FALSE(TCustomDCParser::ClassInfo.InheritsFrom(&TStringsParser::ClassInfo));
}

} // namespace
