// Interface stable.
#pragma once

// The table-driven tokenizer. It knows no language by itself: a language is
// a set of per-state tables of handlers, one slot per character code 0 to
// 255, and a list of reserved words. The syntax presets (syntax-presets.cpp)
// hold the handlers and the ready-made languages; the VHDL and BSDL reader
// derives from TStringsParser and registers handlers of its own.
//
// Text is wide (wchar_t). A text position points into a buffer that the
// caller keeps alive and that ends with the character 0. A character above
// 255 has no slot and belongs to no character class: it is skipped like a
// blank between tokens.

#include "dc-component.h"
#include "dc-strings.h"
#include "parser-utils.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

class TCustomDCParser;
class TSimpleParser;

// Token kinds: the value of Token and the answer of every scanning operation.
// 10 and 11 are never produced; a descendant may use them.
struct TokenKind {
  static constexpr std::int32_t NoToken = -1; // also: a handler produced nothing
  static constexpr std::int32_t EndOfText = 0;
  static constexpr std::int32_t StringLiteral = 1;
  static constexpr std::int32_t Comment = 2;
  static constexpr std::int32_t Identifier = 3; // not a reserved word
  static constexpr std::int32_t Integer = 4;
  static constexpr std::int32_t Real = 5;
  static constexpr std::int32_t ReservedWord = 6; // ResWordID tells which
  static constexpr std::int32_t Symbol = 7;       // one character no other rule takes
  static constexpr std::int32_t Preprocessor = 8;
  static constexpr std::int32_t AsmText = 9;
  static constexpr std::int32_t EndOfLine = 12; // TStringsParser with EOLIsSignificant
};

// Parser states the presets use; a state is the index of a handler table.
struct ParserStates {
  static constexpr std::int32_t Normal = 0;
  static constexpr std::int32_t BraceComment = 1; // opened on an earlier line
  static constexpr std::int32_t StarComment = 2;  // closed by "*)" or "*/"
  static constexpr std::int32_t Asm = 4;          // inside an asm block
  static constexpr std::int32_t AsmBraceComment = 5;
  static constexpr std::int32_t AsmLineComment = 6; // a "//" comment starts next
  static constexpr std::int32_t AsmParenComment = 7;
  static constexpr std::int32_t DirectiveContinuation = 10; // previous line ended with "\"
};

// A set of character codes 0 to 255.
using TCharSet = std::bitset<256>;
// Membership; a character above 255 is in no set.
inline bool InCharSet(const TCharSet& ASet, wchar_t AChar) {
  const auto code = static_cast<std::uint32_t>(AChar);
  return code < 256 && ASet.test(code);
}
TCharSet CharRange(wchar_t AFirst, wchar_t ALast);
TCharSet CharSetOf(std::wstring_view AChars);

// The character classes of the handlers.
const TCharSet& PrintableChars();  // codes 33 to 255
const TCharSet& IdentStartChars(); // A-Z, a-z, _
const TCharSet& IdentChars();      // 0-9, A-Z, a-z, _
const TCharSet& DigitChars();      // 0-9
const TCharSet& HexDigitChars();   // 0-9, A-F, a-f
const TCharSet& BeforeEndChars();  // $, @, A-Z, _, a-z
// A character that may stand inside a line: code 32 and above, and tab.
inline bool IsLineChar(wchar_t AChar) {
  return AChar >= 32 || AChar == 9;
}

// A handler: a method (code and object) that the scanner calls with the scan
// position at the character that selected it. It advances past what it
// reads and answers a token kind, or TokenKind::NoToken to produce nothing.
struct TParseProc {
  std::int32_t (*Code)(void* AData) = nullptr;
  void* Data = nullptr;
  explicit operator bool() const { return Code != nullptr; }
  std::int32_t operator()() const { return Code(Data); }
};
// ParseProc<&TMyParser::ReadThing>(this)
template <auto AMethod, class T> TParseProc ParseProc(T* AObject) {
  return TParseProc{[](void* AData) -> std::int32_t {
                      return std::int32_t((static_cast<T*>(AData)->*AMethod)());
                    },
                    AObject};
}

// A notification method: (Sender, wParam, lParam). Component is the object
// when it is a component, so that the list can forget it when it goes.
struct TNotifierProc {
  void (*Code)(void* AData, TDCComponent* ASender, std::int32_t AWParam,
               std::int32_t ALParam) = nullptr;
  void* Data = nullptr;
  TDCComponent* Component = nullptr;
  void operator()(TDCComponent* ASender, std::int32_t AWParam, std::int32_t ALParam) const {
    Code(Data, ASender, AWParam, ALParam);
  }
};
template <auto AMethod, class T> TNotifierProc NotifierProc(T* AObject) {
  TNotifierProc result;
  result.Code = [](void* AData, TDCComponent* ASender, std::int32_t AWParam, std::int32_t ALParam) {
    (static_cast<T*>(AData)->*AMethod)(ASender, AWParam, ALParam);
  };
  result.Data = AObject;
  if constexpr (std::is_base_of_v<TDCComponent, T>)
    result.Component = AObject;
  return result;
}
// Same code and same object.
inline bool SameMethod(const TNotifierProc& A, const TNotifierProc& B) {
  return A.Code == B.Code && A.Data == B.Data;
}

struct TNotifierListItem {
  TNotifierProc Method;
};

class TNotifierList {
public:
  // Removes an entry with the same code and object first, then appends.
  void AddMethod(const TNotifierProc& AMethod);
  // Removes the first entry with the same code and object.
  void DeleteMethod(const TNotifierProc& AMethod);
  // Removes every entry whose object is AData.
  void DeleteWithData(const void* AData);
  // Calls the entries from the last to the first; an entry may remove
  // itself (or others) while it is called.
  void NotifyEvents(TDCComponent* ASender, std::int32_t AWParam, std::int32_t ALParam);

  std::int32_t Count() const { return std::int32_t(FItems.size()); }
  const TNotifierListItem& Items(std::int32_t AIndex) const { return FItems.at(AIndex); }

private:
  std::vector<TNotifierListItem> FItems;
};

// (Sender, Token, TokenStr, ColorData): may change the style string of one
// token for an editor's colouring.
using TGetColorDataEvent =
    std::function<void(TCustomDCParser* ASender, std::int32_t AToken, const std::wstring& ATokenStr,
                       std::wstring& AColorData)>;

// A font handle for an editor; the tokenizer has none of its own.
using TDCFontHandle = void*;

class TSimpleParser : public TDCComponent {
public:
  static const TDCClassInfo ClassInfo;
  TDCClass ClassType() const override { return &ClassInfo; }

  explicit TSimpleParser(TDCComponent* AOwner = nullptr);
  ~TSimpleParser() override;

  // Adds M; when M's object is a component, M is forgotten when that
  // component is destroyed.
  void RegisterNotifier(const TNotifierProc& M);
  void UnRegisterNotifier(const TNotifierProc& M);
  TNotifierList& Notifiers() { return *FNotifiers; }

  std::int32_t LinePos() const { return FLinePos; }
  virtual void SetLinePos(std::int32_t AValue) { FLinePos = AValue; }
  virtual TDCFontHandle GetFont(std::int32_t AState);
  virtual bool GetBackColor(std::int32_t AState, std::uint32_t& AColor);
  // Colours one line; answers the state after it (the next line's start).
  virtual std::int32_t ColorString(const std::wstring& AStrData, std::int32_t AInitState,
                                   std::wstring& AColorData) = 0;
  virtual bool StoreColorData();
  virtual void PrepareColorData(std::int32_t ALinePos, const std::wstring& AS,
                                std::wstring& AColorData);

  void Notification(TDCComponent* AComponent, TDCOperation AOperation) override;

protected:
  std::unique_ptr<TNotifierList> FNotifiers;
  std::int32_t FLinePos = 0;
};

// One saved scanner position of the state stack.
class TTokenData {
public:
  virtual ~TTokenData() = default;
  // Called just before the record is restored by a pop.
  virtual void ProcessSinglePop(TCustomDCParser* AParser);

  std::int32_t Token = TokenKind::NoToken;
  std::int32_t ParserState = 0;
  std::int32_t LinePos = 0;
  std::int32_t CharPos = 0;
  std::int32_t TokenCharPos = 0;
  std::int32_t SkipTokens = 0;
  std::int32_t IfDefLevel = 0;
  std::int32_t ResWordID = 0;
  const wchar_t* LinePtr = nullptr;
  bool SoftPush = false;
};

class TCustomDCParser : public TSimpleParser {
public:
  static const TDCClassInfo ClassInfo;
  TDCClass ClassType() const override { return &ClassInfo; }

  explicit TCustomDCParser(TDCComponent* AOwner = nullptr);
  ~TCustomDCParser() override;

  // ---- Registration -------------------------------------------------------
  // Sets AProc in the slots of every code of ACharSet in every state of
  // AStates, replacing what was there; tables are added up to the largest
  // state given.
  void RegisterProc(std::initializer_list<std::int32_t> AStates, const TCharSet& ACharSet,
                    TParseProc AProc);
  void RegisterProc(std::int32_t AState, const TCharSet& ACharSet, TParseProc AProc) {
    RegisterProc({AState}, ACharSet, AProc);
  }
  void RegisterNormalProc(const TCharSet& ACharSet, TParseProc AProc) {
    RegisterProc({0}, ACharSet, AProc);
  }
  std::int32_t ParserStateCount() const { return std::int32_t(FParserStates.size()); }

  // ---- Scanning -----------------------------------------------------------
  std::int32_t SimpleNextToken();
  virtual std::int32_t NextToken();
  // The text from TokenPtr up to SourcePtr.
  virtual std::wstring TokenString() const;
  std::wstring NextTokenStr();
  // NextToken repeated while the kind is a comment.
  std::int32_t NextValidToken();
  std::wstring NextValidTokenStr();
  // Look ahead: everything is left as it was.
  std::int32_t PeekToken();
  std::wstring PeekTokenStr();
  std::wstring PeekValidTokenStr();
  std::int32_t SkipTokens(std::int32_t ANumber);
  // Moves on until the current token is that word (or character) or the end
  // of the text; a current token that matches is not passed over. False at
  // the end of the text.
  bool SkipToResWord(std::int32_t AResWordID);
  bool SkipToChar(wchar_t AChar);
  bool ParserEOF() const { return FToken == TokenKind::EndOfText; }

  bool IsTokenResWord(std::int32_t AResWord) const;
  bool IsTokenChar(wchar_t AChar) const;
  bool IsNextTokenResWord(std::int32_t AResWord);
  bool IsNextTokenChar(wchar_t AChar);
  bool IsPeekTokenResWord(std::int32_t AResWord);
  bool IsPeekTokenChar(wchar_t AChar);
  // A word of the Pascal list reserved only in some places: index, read, write.
  bool IsTokenPseudoResWord() const;

  // Each raises EDCError with the token's position unless the token matches.
  void CheckChar(wchar_t AChar);
  void CheckNextChar(wchar_t AChar);
  void CheckResWord(std::int32_t AResWordID);
  void CheckNextResWord(std::int32_t AResWordID);
  [[noreturn]] void ErrorFmt(const std::wstring& AMsg, std::initializer_list<TFormatArg> AArgs);
  [[noreturn]] void Error(const std::wstring& AErrorStr);

  // ---- State stack --------------------------------------------------------
  std::int32_t PushState();
  std::int32_t SoftPushState();
  // Pops down to and including the last hard record; answers Token.
  std::int32_t PopState();
  bool SoftPopState();
  bool PopOneState();
  std::int32_t InternalState() const { return std::int32_t(FTokenList.size()) - 1; }
  void SetInternalState(std::int32_t AValue);

  // ---- Reserved words -----------------------------------------------------
  // The caller's words, one per line, each line's object its identifier.
  // Changing the list rebuilds the index (once per update bracket).
  TDCStrings& ResWords() { return FResWords; }
  void SetResWords(const TDCStrings& AValue);
  const TDCStrings& SortedResWords() const { return FIntWords; }
  bool CaseSensitive() const { return FCaseSensitive; }
  void SetCaseSensitive(bool AValue);
  std::int32_t ResWordID() const { return FResWordID; }
  // Looks S up; sets ResWordID when found.
  bool IsResWord(const std::wstring& AS);
  // The bucket (0..255) of a word.
  static std::int32_t ResWordHash(const std::wstring& AS);
  // The trimmed ResWords line carrying AResWordID (empty when none does).
  std::wstring ResWordText(std::int32_t AResWordID) const;
  std::int32_t SpecialResWordID() const { return FSpecialResWordID; }

  // ---- Positions ----------------------------------------------------------
  const wchar_t* LinePtr() const { return FLinePtr; }
  // A position other than SourcePtr starts a new text there: SourcePtr,
  // LinePtr and TokenPtr move to it and Token becomes NoToken.
  void SetLinePtr(const wchar_t* AValue);
  const wchar_t* TokenPtr() const { return FTokenPtr; }
  void SetTokenPtr(const wchar_t* AValue) { FTokenPtr = AValue; }
  const wchar_t* SourcePtr() const { return FSourcePtr; }
  void SetSourcePtr(const wchar_t* AValue) { FSourcePtr = AValue; }
  std::int32_t CharPos() const { return std::int32_t(FSourcePtr - FLinePtr); }
  void SetCharPos(std::int32_t AValue) { FSourcePtr = FLinePtr + AValue; }
  std::int32_t TokenCharPos() const { return std::int32_t(FTokenPtr - FLinePtr); }
  void SetTokenCharPos(std::int32_t AValue) { FTokenPtr = FLinePtr + AValue; }
  std::int32_t ParserState() const { return FParserState; }
  void SetParserState(std::int32_t AValue) { FParserState = AValue; }
  std::int32_t Token() const { return FToken; }
  void SetToken(std::int32_t AValue) { FToken = AValue; }
  bool UnterminatedString() const { return fUnterminated; }
  void SetUnterminatedString(bool AValue) { fUnterminated = AValue; }
  std::int32_t SkipTokensValue() const { return FSkipTokens; }
  void SetSkipTokensValue(std::int32_t AValue) { FSkipTokens = AValue; }
  std::int32_t IfDefLevel() const { return FIfDefLevel; }
  void SetIfDefLevel(std::int32_t AValue) { FIfDefLevel = AValue; }
  // Column (TokenCharPos + 1) and line (LinePos + 1), both counted from 1.
  virtual void GetTokenPosition(std::int32_t& AColumn, std::int32_t& ALine) const;
  const TDCVersion& Version() const { return FVersion; }

  // ---- Colouring ----------------------------------------------------------
  TGetColorDataEvent OnGetColorData;
  std::int32_t ColorString(const std::wstring& AStrData, std::int32_t AInitState,
                           std::wstring& AColorData) override;

  // ---- Syntax presets (syntax-presets.cpp) --------------------------------
  void InitDelphiSyntax();
  void InitDFMSyntax();
  void InitVBSyntax();
  void InitJSSyntax();
  void InitJScrSyntax();
  void InitCSyntax();
  void InitCppSyntax();
  virtual void InitBaseSyntax();
  void RegisterLineBreaks(std::int32_t AState);

  // ---- Handlers (syntax-presets.cpp) --------------------------------------
  // Each starts at SourcePtr and answers a token kind (NoToken for nothing).
  std::int32_t ReadSingleChar();
  std::int32_t ReadLineBreak(); // CR or LF; CR LF and LF CR count as one break
  // Advances over line characters other than AChar; True when it stopped at
  // AChar (the position is at it).
  bool SkipToCharOnLine(wchar_t AChar);
  std::int32_t SkipToEndOfLine();
  std::int32_t ReadIdentifier();
  std::int32_t ReadPascalIdentifier();
  std::int32_t ReadVBIdentifier();
  std::int32_t ReadNumber();
  void SkipExponent();
  std::int32_t ReadHexNumber();
  std::int32_t ReadCHexOrNumber();
  std::int32_t ReadCHexOrNumberWithSuffix();
  std::int32_t ReadNumberWithSuffix();
  void SkipIntegerSuffix();
  std::int32_t ReadVBHexNumber();
  std::int32_t ReadQuotedString(wchar_t AQuote);
  std::int32_t ReadPascalString();
  std::int32_t ReadCharCode();
  std::int32_t ReadVBString();
  std::int32_t ReadCString();
  virtual std::int32_t ProcessBraceComment();
  std::int32_t ContinueStarComment(wchar_t ACloser);
  std::int32_t ContinueParenComment();
  std::int32_t ContinueCComment();
  std::int32_t ReadParenOrComment();
  std::int32_t ReadSlashOrLineComment();
  std::int32_t ReadSlashOrCComment();
  std::int32_t ReadDirective();
  bool IsAsmEnd() const;
  std::int32_t ReadAsmText();
  std::int32_t ReadAsmBraceComment();
  std::int32_t ReadAsmSlash();
  std::int32_t ReadAsmParen();
  std::int32_t ContinueAsmParenComment();

protected:
  // Text appended to every error message (a descendant may name its file).
  virtual std::wstring GetErrorContext() const;
  // Gives the token's style string (its length, every character the kind)
  // to OnGetColorData and fits the answer back to the token's length.
  virtual void GetColorData(std::int32_t AToken, const std::wstring& ATokenStr,
                            std::wstring& AColorData);
  // Called when LinePtr has moved to another line; a descendant provides
  // the line's text there.
  virtual void LineChanged() {}
  virtual void RestoreTokenData(const TTokenData& AData);
  virtual void SaveTokenData(TTokenData& AData) const;
  // A new, empty record of the class SoftPushState uses.
  virtual std::unique_ptr<TTokenData> GetTokenDataClass() const;
  virtual void UpdateResWords();
  void ResWordsChanged();
  void Loaded() override;
  // With CaseSensitive: whether AS equals the text of the word found.
  bool MatchesResWordCase(const std::wstring& AS) const;

  std::int32_t FSpecialResWordID = 0;

  // Scanning fields, reachable by descendants' handlers.
  std::int32_t FParserState = 0;
  const wchar_t* FTokenPtr;
  const wchar_t* FSourcePtr;
  std::int32_t FToken = TokenKind::NoToken;
  const wchar_t* FLinePtr;
  std::int32_t FResWordID = 0;
  bool fUnterminated = false;

private:
  using THandlerTable = std::array<TParseProc, 256>;

  TDCStrings FIntWords{true};
  std::int32_t FSkipTokens = 0;
  TDCStrings FResWords;
  std::int32_t FIfDefLevel = 0;
  std::vector<std::unique_ptr<THandlerTable>> FParserStates;
  std::vector<std::unique_ptr<TTokenData>> FTokenList;
  std::vector<TDCStrings> fHashList;
  TDCVersion FVersion;
  bool FCaseSensitive = false;
};

// Scans a list of lines, one after another. The lines hold no line-break
// characters: multi-line constructs carry over through ParserState alone.
class TStringsParser : public TCustomDCParser {
public:
  static const TDCClassInfo ClassInfo;
  TDCClass ClassType() const override { return &ClassInfo; }

  explicit TStringsParser(TDCComponent* AOwner = nullptr);

  // Not owned; the list must outlive the scanning. Setting another list
  // restarts at its first line.
  const std::vector<std::wstring>* Strings() const { return FStrings; }
  void SetStrings(const std::vector<std::wstring>* AValue);
  bool EOLIsSignificant() const { return FEOLIsSignificant; }
  void SetEOLIsSignificant(bool AValue) { FEOLIsSignificant = AValue; }

  void ResetParser();
  void SetLinePos(std::int32_t AValue) override;
  std::int32_t NextToken() override;

protected:
  void LineChanged() override;

private:
  void CheckStrings();

  const std::vector<std::wstring>* FStrings = nullptr;
  std::wstring FStr;
  bool FEOLIsSignificant = false;
};
