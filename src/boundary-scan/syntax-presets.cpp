// The tokenizer's handlers and its ready-made languages. Each handler reads
// one token from SourcePtr, leaves the position after it and answers its
// kind; a preset only adds registrations to the tables.

#include "syntax-presets.h"

#include "tokenizer.h"

namespace {

using Self = TCustomDCParser;

bool At(const wchar_t* APos, wchar_t AChar) {
  return *APos == AChar;
}

bool SameAsciiPrefix(const wchar_t* APos, std::wstring_view AWord) {
  for (std::size_t i = 0; i < AWord.size(); ++i)
    if (APos[i] == 0 || FoldAsciiCase(APos[i]) != FoldAsciiCase(AWord[i]))
      return false;
  return true;
}

} // namespace

// ---- Base and line breaks --------------------------------------------------

void TCustomDCParser::InitBaseSyntax() {
  RegisterNormalProc(PrintableChars(), ParseProc<&Self::ReadSingleChar>(this));
  RegisterLineBreaks(ParserStates::Normal);
}

void TCustomDCParser::RegisterLineBreaks(std::int32_t AState) {
  RegisterProc(AState, CharSetOf(L"\r\n"), ParseProc<&Self::ReadLineBreak>(this));
}

std::int32_t TCustomDCParser::ReadLineBreak() {
  const wchar_t first = *FSourcePtr;
  ++FSourcePtr;
  // CR LF and LF CR are one break each; CR CR two.
  const wchar_t other = first == L'\r' ? L'\n' : L'\r';
  if (*FSourcePtr == other)
    ++FSourcePtr;
  ++FLinePos;
  FLinePtr = FSourcePtr;
  return TokenKind::NoToken;
}

std::int32_t TCustomDCParser::ReadSingleChar() {
  ++FSourcePtr;
  return TokenKind::Symbol;
}

bool TCustomDCParser::SkipToCharOnLine(wchar_t AChar) {
  while (IsLineChar(*FSourcePtr) && *FSourcePtr != AChar)
    ++FSourcePtr;
  return *FSourcePtr == AChar && AChar != 0;
}

std::int32_t TCustomDCParser::SkipToEndOfLine() {
  while (IsLineChar(*FSourcePtr))
    ++FSourcePtr;
  return TokenKind::Comment;
}

// ---- Identifiers -----------------------------------------------------------

std::int32_t TCustomDCParser::ReadIdentifier() {
  ++FSourcePtr;
  while (InCharSet(IdentChars(), *FSourcePtr))
    ++FSourcePtr;
  return IsResWord(TokenString()) ? TokenKind::ReservedWord : TokenKind::Identifier;
}

std::int32_t TCustomDCParser::ReadPascalIdentifier() {
  const std::int32_t kind = ReadIdentifier();
  if (kind == TokenKind::ReservedWord && FParserState == ParserStates::Normal &&
      SameTextAscii(TokenString(), L"asm"))
    FParserState = ParserStates::Asm;
  return kind;
}

std::int32_t TCustomDCParser::ReadVBIdentifier() {
  const std::int32_t kind = ReadIdentifier();
  if (kind == TokenKind::ReservedWord && FResWordID == FSpecialResWordID)
    return SkipToEndOfLine();
  return kind;
}

// ---- Numbers ---------------------------------------------------------------

std::int32_t TCustomDCParser::ReadNumber() {
  ++FSourcePtr;
  while (InCharSet(DigitChars(), *FSourcePtr))
    ++FSourcePtr;
  if (At(FSourcePtr, L'.') && InCharSet(DigitChars(), FSourcePtr[1])) {
    ++FSourcePtr;
    while (InCharSet(DigitChars(), *FSourcePtr))
      ++FSourcePtr;
    if (At(FSourcePtr, L'E') || At(FSourcePtr, L'e'))
      SkipExponent();
    return TokenKind::Real;
  }
  if (At(FSourcePtr, L'E') || At(FSourcePtr, L'e')) {
    SkipExponent();
    return TokenKind::Real;
  }
  return TokenKind::Integer;
}

void TCustomDCParser::SkipExponent() {
  ++FSourcePtr;
  if (At(FSourcePtr, L'+') || At(FSourcePtr, L'-'))
    ++FSourcePtr;
  while (InCharSet(DigitChars(), *FSourcePtr))
    ++FSourcePtr;
}

std::int32_t TCustomDCParser::ReadHexNumber() {
  ++FSourcePtr;
  while (InCharSet(HexDigitChars(), *FSourcePtr))
    ++FSourcePtr;
  return TokenKind::Integer;
}

std::int32_t TCustomDCParser::ReadCHexOrNumber() {
  if (!At(FSourcePtr + 1, L'x'))
    return ReadNumber();
  ++FSourcePtr; // to the x
  if (InCharSet(HexDigitChars(), FSourcePtr[1]))
    return ReadHexNumber();
  // "0" alone; the x begins the next token.
  return TokenKind::Symbol;
}

std::int32_t TCustomDCParser::ReadCHexOrNumberWithSuffix() {
  const std::int32_t kind = ReadCHexOrNumber();
  if (kind == TokenKind::Integer)
    SkipIntegerSuffix();
  return kind;
}

std::int32_t TCustomDCParser::ReadNumberWithSuffix() {
  const std::int32_t kind = ReadNumber();
  if (kind == TokenKind::Integer)
    SkipIntegerSuffix();
  return kind;
}

void TCustomDCParser::SkipIntegerSuffix() {
  for (std::wstring_view suffix : CIntegerSuffixes) {
    std::size_t matched = 0;
    while (matched < suffix.size() && FSourcePtr[matched] == suffix[matched])
      ++matched;
    if (matched == suffix.size()) {
      FSourcePtr += suffix.size();
      return;
    }
  }
}

std::int32_t TCustomDCParser::ReadVBHexNumber() {
  if (At(FSourcePtr + 1, L'H') || At(FSourcePtr + 1, L'h')) {
    FSourcePtr += 2;
    while (InCharSet(HexDigitChars(), *FSourcePtr))
      ++FSourcePtr;
    return TokenKind::Integer;
  }
  ++FSourcePtr;
  return TokenKind::Symbol;
}

// ---- Strings ---------------------------------------------------------------

std::int32_t TCustomDCParser::ReadQuotedString(wchar_t AQuote) {
  bool found;
  do {
    ++FSourcePtr;
    found = SkipToCharOnLine(AQuote);
    if (found)
      ++FSourcePtr;
    // A doubled quote stands for one and the string goes on.
  } while (found && At(FSourcePtr, AQuote));
  fUnterminated = !found;
  return TokenKind::StringLiteral;
}

std::int32_t TCustomDCParser::ReadPascalString() {
  ReadQuotedString(L'\'');
  if (At(FSourcePtr, L'#'))
    ReadCharCode();
  return TokenKind::StringLiteral;
}

std::int32_t TCustomDCParser::ReadCharCode() {
  // Quoted parts and character codes in a run form one token.
  for (;;) {
    ++FSourcePtr;
    if (At(FSourcePtr, L'$')) {
      ++FSourcePtr;
      while (InCharSet(HexDigitChars(), *FSourcePtr))
        ++FSourcePtr;
    } else {
      while (InCharSet(DigitChars(), *FSourcePtr))
        ++FSourcePtr;
    }
    if (At(FSourcePtr, L'#'))
      continue;
    if (At(FSourcePtr, L'\''))
      ReadPascalString();
    return TokenKind::StringLiteral;
  }
}

std::int32_t TCustomDCParser::ReadVBString() {
  return ReadQuotedString(L'"');
}

std::int32_t TCustomDCParser::ReadCString() {
  const wchar_t quote = *FSourcePtr;
  ++FSourcePtr;
  for (;;) {
    if (!SkipToCharOnLine(quote))
      break; // an open string ends with its line
    std::int32_t backslashes = 0;
    for (const wchar_t* p = FSourcePtr - 1; p >= FTokenPtr + 1 && *p == L'\\'; --p)
      ++backslashes;
    ++FSourcePtr;
    if (backslashes % 2 == 0)
      break;
  }
  return TokenKind::StringLiteral;
}

// ---- Comments --------------------------------------------------------------

std::int32_t TCustomDCParser::ProcessBraceComment() {
  if (SkipToCharOnLine(L'}')) {
    ++FSourcePtr;
    FParserState = ParserStates::Normal;
  } else {
    FParserState = ParserStates::BraceComment;
  }
  return TokenKind::Comment;
}

std::int32_t TCustomDCParser::ContinueStarComment(wchar_t ACloser) {
  for (;;) {
    if (!SkipToCharOnLine(L'*')) {
      FParserState = ParserStates::StarComment;
      break;
    }
    ++FSourcePtr;
    if (At(FSourcePtr, ACloser)) {
      ++FSourcePtr;
      FParserState = ParserStates::Normal;
      break;
    }
  }
  return TokenKind::Comment;
}

std::int32_t TCustomDCParser::ContinueParenComment() {
  return ContinueStarComment(L')');
}
std::int32_t TCustomDCParser::ContinueCComment() {
  return ContinueStarComment(L'/');
}

std::int32_t TCustomDCParser::ReadParenOrComment() {
  ++FSourcePtr;
  if (At(FSourcePtr, L'*')) {
    ++FSourcePtr;
    return ContinueParenComment();
  }
  return TokenKind::Symbol;
}

std::int32_t TCustomDCParser::ReadSlashOrLineComment() {
  ++FSourcePtr;
  if (At(FSourcePtr, L'/'))
    return SkipToEndOfLine();
  return TokenKind::Symbol;
}

std::int32_t TCustomDCParser::ReadSlashOrCComment() {
  ++FSourcePtr;
  std::int32_t kind = TokenKind::Symbol;
  if (At(FSourcePtr, L'*')) {
    ++FSourcePtr;
    kind = ContinueCComment();
  } else if (At(FSourcePtr, L'/')) {
    kind = SkipToEndOfLine();
  }
  if (FParserState == ParserStates::DirectiveContinuation)
    FParserState = ParserStates::Normal;
  return kind;
}

std::int32_t TCustomDCParser::ReadDirective() {
  ++FSourcePtr;
  FParserState = ParserStates::Normal;
  while (IsLineChar(*FSourcePtr)) {
    if (At(FSourcePtr, L'/') && (At(FSourcePtr + 1, L'*') || At(FSourcePtr + 1, L'/')))
      break;
    if (At(FSourcePtr, L'\\') && !IsLineChar(FSourcePtr[1])) {
      // A backslash closing the line continues the directive on the next.
      ++FSourcePtr;
      FParserState = ParserStates::DirectiveContinuation;
      break;
    }
    ++FSourcePtr;
  }
  return TokenKind::Preprocessor;
}

// ---- Asm blocks ------------------------------------------------------------

bool TCustomDCParser::IsAsmEnd() const {
  const wchar_t* p = FSourcePtr;
  if (p[0] == 0 || p[1] == 0 || p[2] == 0)
    return false;
  if (FCaseSensitive ? std::wstring_view(p, 3) != L"end" : !SameAsciiPrefix(p, L"end"))
    return false;
  if (p > FLinePtr && InCharSet(BeforeEndChars(), p[-1]))
    return false;
  return p[3] == 0 || !InCharSet(IdentChars(), p[3]);
}

std::int32_t TCustomDCParser::ReadAsmText() {
  while (InCharSet(PrintableChars(), *FSourcePtr)) {
    if (IsAsmEnd()) {
      FParserState = ParserStates::Normal;
      break;
    }
    if (At(FSourcePtr, L'{')) {
      FParserState = ParserStates::AsmBraceComment;
      break;
    }
    if (At(FSourcePtr, L'(') && At(FSourcePtr + 1, L'*')) {
      FParserState = ParserStates::AsmParenComment;
      break;
    }
    if (At(FSourcePtr, L'/') && At(FSourcePtr + 1, L'/')) {
      FParserState = ParserStates::AsmLineComment;
      break;
    }
    ++FSourcePtr;
  }
  return TokenKind::AsmText;
}

namespace {

// Comment states outside an asm block and their twins inside it.
std::int32_t IntoAsmState(std::int32_t AState, std::int32_t ACommentState,
                          std::int32_t AAsmCommentState) {
  if (AState == ParserStates::Normal)
    return ParserStates::Asm;
  if (AState == ACommentState)
    return AAsmCommentState;
  return AState;
}

} // namespace

std::int32_t TCustomDCParser::ReadAsmBraceComment() {
  ProcessBraceComment();
  FParserState =
      IntoAsmState(FParserState, ParserStates::BraceComment, ParserStates::AsmBraceComment);
  return TokenKind::Comment;
}

std::int32_t TCustomDCParser::ReadAsmSlash() {
  const std::int32_t kind = ReadSlashOrLineComment();
  FParserState = ParserStates::Asm;
  return kind == TokenKind::Symbol ? TokenKind::AsmText : kind;
}

std::int32_t TCustomDCParser::ReadAsmParen() {
  const std::int32_t kind = ReadParenOrComment();
  if (kind == TokenKind::Symbol)
    return TokenKind::AsmText;
  FParserState =
      IntoAsmState(FParserState, ParserStates::StarComment, ParserStates::AsmParenComment);
  return kind;
}

std::int32_t TCustomDCParser::ContinueAsmParenComment() {
  ContinueParenComment();
  FParserState =
      IntoAsmState(FParserState, ParserStates::StarComment, ParserStates::AsmParenComment);
  return TokenKind::Comment;
}

// ---- Presets ---------------------------------------------------------------

void TCustomDCParser::InitDelphiSyntax() {
  FillStringsIndexedFrom(ResWords(), PascalResWords);
  InitBaseSyntax();
  RegisterNormalProc(CharSetOf(L"'"), ParseProc<&Self::ReadPascalString>(this));
  RegisterNormalProc(CharSetOf(L"{"), ParseProc<&Self::ProcessBraceComment>(this));
  RegisterProc(ParserStates::BraceComment, PrintableChars(),
               ParseProc<&Self::ProcessBraceComment>(this));
  RegisterNormalProc(IdentStartChars(), ParseProc<&Self::ReadPascalIdentifier>(this));
  RegisterNormalProc(CharSetOf(L"$"), ParseProc<&Self::ReadHexNumber>(this));
  RegisterNormalProc(DigitChars(), ParseProc<&Self::ReadNumber>(this));
  RegisterNormalProc(CharSetOf(L"/"), ParseProc<&Self::ReadSlashOrLineComment>(this));
  RegisterNormalProc(CharSetOf(L"("), ParseProc<&Self::ReadParenOrComment>(this));
  RegisterNormalProc(CharSetOf(L"#"), ParseProc<&Self::ReadCharCode>(this));
  RegisterProc(ParserStates::StarComment, PrintableChars(),
               ParseProc<&Self::ContinueParenComment>(this));
  RegisterProc(ParserStates::Asm, PrintableChars(), ParseProc<&Self::ReadAsmText>(this));
  RegisterProc({ParserStates::Asm, ParserStates::AsmLineComment}, CharSetOf(L"/"),
               ParseProc<&Self::ReadAsmSlash>(this));
  RegisterProc(ParserStates::Asm, CharSetOf(L"{"), ParseProc<&Self::ReadAsmBraceComment>(this));
  RegisterProc(ParserStates::AsmBraceComment, PrintableChars(),
               ParseProc<&Self::ReadAsmBraceComment>(this));
  RegisterProc(ParserStates::Asm, CharSetOf(L"("), ParseProc<&Self::ReadAsmParen>(this));
  RegisterProc(ParserStates::AsmParenComment, PrintableChars(),
               ParseProc<&Self::ContinueAsmParenComment>(this));
  RegisterLineBreaks(ParserStates::StarComment);
  RegisterLineBreaks(ParserStates::BraceComment);
  // An asm block over several lines of one text still counts its lines.
  for (std::int32_t state : {ParserStates::Asm, ParserStates::AsmBraceComment,
                             ParserStates::AsmLineComment, ParserStates::AsmParenComment})
    RegisterLineBreaks(state);
}

void TCustomDCParser::InitDFMSyntax() {
  FillStringsIndexedFrom(ResWords(), DFMResWords);
  InitBaseSyntax();
  RegisterNormalProc(CharSetOf(L"'"), ParseProc<&Self::ReadPascalString>(this));
  RegisterNormalProc(CharSetOf(L"{"), ParseProc<&Self::ProcessBraceComment>(this));
  RegisterProc(ParserStates::BraceComment, PrintableChars(),
               ParseProc<&Self::ProcessBraceComment>(this));
  RegisterNormalProc(IdentStartChars(), ParseProc<&Self::ReadPascalIdentifier>(this));
  RegisterNormalProc(DigitChars(), ParseProc<&Self::ReadNumber>(this));
  RegisterNormalProc(CharSetOf(L"/"), ParseProc<&Self::ReadSlashOrLineComment>(this));
  RegisterNormalProc(CharSetOf(L"("), ParseProc<&Self::ReadParenOrComment>(this));
  RegisterNormalProc(CharSetOf(L"#"), ParseProc<&Self::ReadCharCode>(this));
  RegisterProc(ParserStates::StarComment, PrintableChars(),
               ParseProc<&Self::ContinueParenComment>(this));
  RegisterLineBreaks(ParserStates::StarComment);
  RegisterLineBreaks(ParserStates::BraceComment);
}

void TCustomDCParser::InitVBSyntax() {
  FillStringsIndexedFrom(ResWords(), VBResWords);
  if (IsResWord(L"REM"))
    FSpecialResWordID = FResWordID;
  InitBaseSyntax();
  RegisterNormalProc(DigitChars(), ParseProc<&Self::ReadNumber>(this));
  RegisterNormalProc(IdentStartChars(), ParseProc<&Self::ReadVBIdentifier>(this));
  RegisterNormalProc(CharSetOf(L"\""), ParseProc<&Self::ReadVBString>(this));
  RegisterNormalProc(CharSetOf(L"'"), ParseProc<&Self::SkipToEndOfLine>(this));
  RegisterNormalProc(CharSetOf(L"&"), ParseProc<&Self::ReadVBHexNumber>(this));
}

void TCustomDCParser::InitJSSyntax() {
  InitBaseSyntax();
  RegisterNormalProc(CharSetOf(L"\"'"), ParseProc<&Self::ReadCString>(this));
  RegisterNormalProc(IdentStartChars(), ParseProc<&Self::ReadIdentifier>(this));
  RegisterNormalProc(CharSetOf(L"/"), ParseProc<&Self::ReadSlashOrCComment>(this));
  RegisterProc(ParserStates::DirectiveContinuation,
               CharSetOf(L"\t") | CharRange(32, 46) | CharRange(48, 255),
               ParseProc<&Self::ReadDirective>(this));
  RegisterProc(ParserStates::DirectiveContinuation, CharSetOf(L"/"),
               ParseProc<&Self::ReadSlashOrCComment>(this));
  RegisterProc(ParserStates::StarComment, PrintableChars(),
               ParseProc<&Self::ContinueCComment>(this));
  RegisterLineBreaks(ParserStates::StarComment);
  // A continued directive over lines of one text still counts its lines.
  RegisterLineBreaks(ParserStates::DirectiveContinuation);
}

void TCustomDCParser::InitJScrSyntax() {
  FillStringsIndexedFrom(ResWords(), JScriptResWords);
  InitJSSyntax();
  RegisterNormalProc(DigitChars(), ParseProc<&Self::ReadNumber>(this));
  RegisterNormalProc(CharSetOf(L"0"), ParseProc<&Self::ReadCHexOrNumber>(this));
}

void TCustomDCParser::InitCSyntax() {
  FillStringsIndexedFrom(ResWords(), CResWords);
  InitJSSyntax();
  RegisterNormalProc(CharSetOf(L"#"), ParseProc<&Self::ReadDirective>(this));
  RegisterNormalProc(DigitChars(), ParseProc<&Self::ReadNumberWithSuffix>(this));
  RegisterNormalProc(CharSetOf(L"0"), ParseProc<&Self::ReadCHexOrNumberWithSuffix>(this));
}

void TCustomDCParser::InitCppSyntax() {
  InitCSyntax();
  FillStringsIndexedFrom(ResWords(), CppResWords);
}
