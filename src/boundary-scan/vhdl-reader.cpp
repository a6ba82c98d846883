#include "vhdl-reader.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <system_error>
#include <cwchar>

namespace {

constexpr std::int32_t WordIdOf(std::wstring_view AWord) {
  for (std::size_t i = 0; i < VHDLReservedWords.size(); ++i)
    if (VHDLReservedWords[i] == AWord)
      return static_cast<std::int32_t>(i);
  return -1;
}

// The words and symbols the grammar names.
constexpr std::int32_t W_LParen = WordIdOf(L"(");
constexpr std::int32_t W_RParen = WordIdOf(L")");
constexpr std::int32_t W_Comma = WordIdOf(L",");
constexpr std::int32_t W_Colon = WordIdOf(L":");
constexpr std::int32_t W_Assign = WordIdOf(L":=");
constexpr std::int32_t W_Semicolon = WordIdOf(L";");
constexpr std::int32_t W_LessEqual = WordIdOf(L"<=");
constexpr std::int32_t W_Arrow = WordIdOf(L"=>");
constexpr std::int32_t W_All = WordIdOf(L"all");
constexpr std::int32_t W_Architecture = WordIdOf(L"architecture");
constexpr std::int32_t W_Attribute = WordIdOf(L"attribute");
constexpr std::int32_t W_Begin = WordIdOf(L"begin");
constexpr std::int32_t W_Block = WordIdOf(L"block");
constexpr std::int32_t W_Buffer = WordIdOf(L"buffer");
constexpr std::int32_t W_Component = WordIdOf(L"component");
constexpr std::int32_t W_Configuration = WordIdOf(L"configuration");
constexpr std::int32_t W_Constant = WordIdOf(L"constant");
constexpr std::int32_t W_DownTo = WordIdOf(L"downto");
constexpr std::int32_t W_End = WordIdOf(L"end");
constexpr std::int32_t W_Entity = WordIdOf(L"entity");
constexpr std::int32_t W_Generic = WordIdOf(L"generic");
constexpr std::int32_t W_In = WordIdOf(L"in");
constexpr std::int32_t W_InOut = WordIdOf(L"inout");
constexpr std::int32_t W_Is = WordIdOf(L"is");
constexpr std::int32_t W_Linkage = WordIdOf(L"linkage");
constexpr std::int32_t W_Map = WordIdOf(L"map");
constexpr std::int32_t W_Of = WordIdOf(L"of");
constexpr std::int32_t W_Others = WordIdOf(L"others");
constexpr std::int32_t W_Out = WordIdOf(L"out");
constexpr std::int32_t W_Port = WordIdOf(L"port");
constexpr std::int32_t W_Process = WordIdOf(L"process");
constexpr std::int32_t W_Range = WordIdOf(L"range");
constexpr std::int32_t W_Signal = WordIdOf(L"signal");
constexpr std::int32_t W_To = WordIdOf(L"to");
constexpr std::int32_t NoWord = -1;

static_assert(W_Architecture == 30 && W_Entity == 48 && W_End == 47 && W_Is == 59 && W_Of == 73 &&
              W_To == VHDLWord_To && W_DownTo == VHDLWord_DownTo);

// The entity classes an attribute statement may name.
constexpr std::int32_t EntityClassWords[] = {
    WordIdOf(L"architecture"), WordIdOf(L"component"), WordIdOf(L"configuration"),
    WordIdOf(L"constant"),     WordIdOf(L"entity"),    WordIdOf(L"function"),
    WordIdOf(L"label"),        WordIdOf(L"literal"),   WordIdOf(L"package"),
    WordIdOf(L"procedure"),    WordIdOf(L"signal"),    WordIdOf(L"subtype"),
    WordIdOf(L"type"),         WordIdOf(L"units"),     WordIdOf(L"variable")};

const TCharSet& SpecialSymbolChars() {
  static const TCharSet chars = CharSetOf(L"\"|") | CharRange(L'&', L'/') | CharRange(L':', L'>');
  return chars;
}

std::wstring Trim(const std::wstring& AText) {
  std::size_t first = 0;
  while (first < AText.size() && AText[first] <= L' ')
    ++first;
  std::size_t last = AText.size();
  while (last > first && AText[last - 1] <= L' ')
    --last;
  return AText.substr(first, last - first);
}

// A quoted value loses its quotes, and the joints of concatenated strings
// ("&" between two quotes) become one space.
std::wstring Unquote(const std::wstring& AValue) {
  if (AValue.size() <= 2 || AValue.front() != L'"' || AValue.back() != L'"')
    return AValue;
  std::wstring inner = AValue.substr(1, AValue.size() - 2);
  std::wstring result;
  result.reserve(inner.size());
  for (std::size_t i = 0; i < inner.size(); ++i) {
    if (inner.compare(i, 3, L"\"&\"") == 0) {
      result.push_back(L' ');
      i += 2;
    } else {
      result.push_back(inner[i]);
    }
  }
  return Trim(result);
}

// The first word of a comment (after "--" and blanks) and the word after it.
std::pair<std::wstring, std::wstring> CommentWords(const std::wstring& AComment) {
  std::pair<std::wstring, std::wstring> words;
  std::size_t at = AComment.compare(0, 2, L"--") == 0 ? 2 : 0;
  for (std::wstring* word : {&words.first, &words.second}) {
    while (at < AComment.size() && AComment[at] <= L' ')
      ++at;
    while (at < AComment.size() && InCharSet(IdentChars(), AComment[at]))
      word->push_back(AComment[at++]);
  }
  return words;
}

// 0 for a comment that switches reading off, with the words that switch it
// on again.
struct TPragma {
  const wchar_t* Word;
  const wchar_t* Off;
  const wchar_t* On;
};
constexpr TPragma Pragmas[] = {{L"synopsys", L"translate_off", L"translate_on"},
                               {L"rtl_synthesis", L"off", L"on"}};

const TPragma* SwitchedOffBy(const std::wstring& AComment) {
  auto [first, second] = CommentWords(AComment);
  for (const TPragma& pragma : Pragmas)
    if (SameTextIgnoringCase(first, pragma.Word) && SameTextIgnoringCase(second, pragma.Off))
      return &pragma;
  return nullptr;
}

bool SwitchesOn(const std::wstring& AComment, const TPragma& APragma) {
  auto [first, second] = CommentWords(AComment);
  return SameTextIgnoringCase(first, APragma.Word) && SameTextIgnoringCase(second, APragma.On);
}

// name "(" range ")": the name and the range text; false for anything else.
bool SplitSlice(const std::wstring& AExpression, std::wstring& AName, std::wstring& ARange) {
  std::size_t open = AExpression.find(L'(');
  if (open == std::wstring::npos || open == 0 || AExpression.back() != L')')
    return false;
  AName = Trim(AExpression.substr(0, open));
  ARange = AExpression.substr(open + 1, AExpression.size() - open - 2);
  return true;
}

// A range split at its first "DOWNTO", else its first "TO"; each side
// trimmed and at most 255 characters.
bool SplitRange(const std::wstring& ARange, std::wstring& ALeft, std::wstring& ARight) {
  std::wstring upper = UpperCaseAscii(ARange);
  std::size_t at = upper.find(L"DOWNTO");
  std::size_t length = 6;
  if (at == std::wstring::npos) {
    at = upper.find(L"TO");
    length = 2;
  }
  if (at == std::wstring::npos)
    return false;
  ALeft = Trim(ARange.substr(0, at)).substr(0, 255);
  ARight = Trim(ARange.substr(at + length)).substr(0, 255);
  return true;
}

std::string ToUtf8(const std::wstring& AText) {
  std::string out;
  out.reserve(AText.size());
  for (wchar_t wc : AText) {
    auto c = static_cast<std::uint32_t>(wc);
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | ((c >> 12) & 0x0F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

template <class T> T* Find(const TVHDLObjectList& AList, const std::wstring& AName) {
  return dynamic_cast<T*>(AList.Find(UpperCaseAscii(AName)));
}

} // namespace

std::int32_t VHDLWordId(std::wstring_view AWord) {
  return WordIdOf(AWord);
}

// ---- the surroundings without a host --------------------------------------

std::wstring TVHDLReaderSurroundings::LogFolder() {
  std::error_code error;
  std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  if (error)
    return {};
  std::wstring text = folder.wstring();
  if (!text.empty() && text.back() != L'/' && text.back() != L'\\')
    text.push_back(static_cast<wchar_t>(std::filesystem::path::preferred_separator));
  return text;
}

std::wstring TVHDLReaderSurroundings::MakeTempLogFile() {
  std::wstring folder = LogFolder();
  if (folder.empty())
    return {};
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    unsigned stamp = random() ^ (counter++ * 2654435761u);
    wchar_t name[16];
    swprintf(name, 16, L"Pro%04X.tmp", stamp & 0xFFFF);
    std::filesystem::path path = std::filesystem::path(folder) / name;
    std::error_code error;
    if (std::filesystem::exists(path, error))
      continue;
    std::ofstream create(path, std::ios::binary);
    if (create)
      return path.wstring();
  }
  return {};
}

bool TVHDLReaderSurroundings::ReplaceLog(const std::wstring& ATempFile,
                                         const std::wstring& AFinalFile) {
  std::error_code error;
  std::filesystem::rename(ATempFile, AFinalFile, error);
  return !error;
}

// ---- the reader -------------------------------------------------------------

TVHDLTextReader::TVHDLTextReader(TVHDLEntities& AEntities, std::wstring ADocumentPath,
                                 TVHDLReaderSurroundings* ASurroundings)
    : TStringsParser(nullptr), FEntities(AEntities), FDocumentPath(std::move(ADocumentPath)),
      FSurroundings(ASurroundings) {
  if (!FSurroundings) {
    FPlainSurroundings = std::make_unique<TVHDLReaderSurroundings>();
    FSurroundings = FPlainSurroundings.get();
  }
  InitializeVHDLSyntax();
}

TVHDLTextReader::~TVHDLTextReader() {
  // Replacing the log may ask the host, which may fail: nothing leaves a
  // destructor.
  try {
    CloseLogFile();
  } catch (...) {
  }
}

void TVHDLTextReader::InitializeVHDLSyntax() {
  FillStringsIndexedFrom(ResWords(), VHDLReservedWords);
  RegisterProc(0, PrintableChars(), ParseProc<&TCustomDCParser::ReadSingleChar>(this));
  RegisterLineBreaks(0);
  RegisterProc(1, PrintableChars(), ParseProc<&TCustomDCParser::ProcessBraceComment>(this));
  RegisterNormalProc(IdentStartChars(), ParseProc<&TCustomDCParser::ReadIdentifier>(this));
  RegisterNormalProc(SpecialSymbolChars(), ParseProc<&TVHDLTextReader::ReadSpecialSymbol>(this));
  RegisterNormalProc(CharSetOf(L"\""), ParseProc<&TVHDLTextReader::ReadVHDLString>(this));
  RegisterNormalProc(DigitChars(), ParseProc<&TCustomDCParser::ReadNumber>(this));
  RegisterNormalProc(CharSetOf(L"-"), ParseProc<&TVHDLTextReader::ReadCommentOrMinus>(this));
  RegisterLineBreaks(1);
}

// Two special characters that form a symbol of the word list ("<=", ":=",
// "=>" ...) are one token; otherwise the one character is.
std::int32_t TVHDLTextReader::ReadSpecialSymbol() {
  wchar_t first = *FSourcePtr++;
  wchar_t second = *FSourcePtr;
  if (second != 0 && InCharSet(SpecialSymbolChars(), second) &&
      IsResWord(std::wstring{first, second})) {
    ++FSourcePtr;
    return TokenKind::ReservedWord;
  }
  return IsResWord(std::wstring(1, first)) ? TokenKind::ReservedWord : TokenKind::Symbol;
}

// A doubled quote inside stands for one.
std::int32_t TVHDLTextReader::ReadVHDLString() {
  return ReadQuotedString(L'"');
}

std::int32_t TVHDLTextReader::ReadCommentOrMinus() {
  if (FSourcePtr[1] == L'-')
    return SkipToEndOfLine();
  ++FSourcePtr;
  return IsResWord(L"-") ? TokenKind::ReservedWord : TokenKind::Symbol;
}

std::int32_t TVHDLTextReader::NextValid() {
  for (;;) {
    std::int32_t kind = NextToken();
    if (kind != TokenKind::Comment)
      return kind;
    if (const TPragma* pragma = SwitchedOffBy(TokenString())) {
      // Everything up to the comment that switches reading on again is
      // passed over, whatever it holds; without one, the rest of the text.
      for (;;) {
        kind = NextToken();
        if (kind == TokenKind::EndOfText)
          return kind;
        if (kind == TokenKind::Comment && SwitchesOn(TokenString(), *pragma))
          break;
      }
    }
  }
}

bool TVHDLTextReader::IsWord(std::int32_t AKind, std::int32_t AWordId) const {
  return AKind == TokenKind::ReservedWord && ResWordID() == AWordId;
}

void TVHDLTextReader::Fail(const std::wstring& AMessage) {
  throw EVHDLParserError(this, AMessage);
}

void TVHDLTextReader::ExpectReservedWord(std::int32_t AWordId) {
  if (!IsWord(NextValid(), AWordId))
    Fail(L"Expected " + std::wstring(VHDLReservedWord(AWordId)));
}

std::wstring TVHDLTextReader::ExpectIdentifier() {
  if (NextValid() != TokenKind::Identifier)
    Fail(L"Identifier Expected");
  return TokenString();
}

std::wstring TVHDLTextReader::ExpectIdentifierOrConstant() {
  std::int32_t kind = NextValid();
  if (kind != TokenKind::StringLiteral && kind != TokenKind::Identifier &&
      kind != TokenKind::Integer && kind != TokenKind::Real)
    Fail(L"Identifier or Constant Expected");
  return TokenString();
}

std::wstring TVHDLTextReader::ReadExpression(std::initializer_list<std::int32_t> ALimits,
                                             bool ASpaced) {
  std::wstring result;
  for (;;) {
    PushState();
    std::int32_t kind = NextValid();
    bool stop = kind == TokenKind::EndOfText ||
                (kind == TokenKind::ReservedWord &&
                 std::find(ALimits.begin(), ALimits.end(), ResWordID()) != ALimits.end());
    PopState();
    if (stop)
      return result;
    NextValid();
    if (ASpaced)
      result.push_back(L' ');
    result += TokenString();
  }
}

std::wstring TVHDLTextReader::ExpectExpression(std::int32_t ALimitWord1, std::int32_t ALimitWord2) {
  return ReadExpression({ALimitWord1, ALimitWord2}, false);
}

std::wstring TVHDLTextReader::ExpectExpression(std::int32_t ALimitWord1, std::int32_t ALimitWord2,
                                               std::int32_t ALimitWord3) {
  return ReadExpression({ALimitWord1, ALimitWord2, ALimitWord3}, true);
}

std::int32_t TVHDLTextReader::PeekReservedWord() {
  PushState();
  std::int32_t kind = NextValid();
  std::int32_t word = kind == TokenKind::ReservedWord ? ResWordID() : NoWord;
  PopState();
  return word;
}

std::int32_t TVHDLTextReader::NextReservedWord() {
  return NextValid() == TokenKind::ReservedWord ? ResWordID() : NoWord;
}

std::wstring TVHDLTextReader::PeekIdentifier() {
  PushState();
  std::wstring text = NextValid() == TokenKind::Identifier ? TokenString() : std::wstring();
  PopState();
  return text;
}

std::int32_t TVHDLTextReader::PeekValidToken() {
  PushState();
  std::int32_t kind = NextValid();
  PopState();
  return kind;
}

std::wstring TVHDLTextReader::PeekValidTokenText() {
  PushState();
  NextValid();
  std::wstring text = TokenString();
  PopState();
  return text;
}

bool TVHDLTextReader::SkipToReservedWords(std::int32_t AResWordID1, std::int32_t AResWordID2) {
  for (;;) {
    if (PeekValidToken() == TokenKind::EndOfText)
      return false;
    std::int32_t word = PeekReservedWord();
    if (word != NoWord && (word == AResWordID1 || word == AResWordID2))
      return true;
    NextValid();
  }
}

// ---- log --------------------------------------------------------------------

void TVHDLTextReader::OpenLogFile(const std::wstring& ALogFileName) {
  CloseLogFile();
  FFinalFN = ALogFileName;
  FTempFN = FSurroundings->MakeTempLogFile();
  if (FTempFN.empty())
    return;
  FLogFile.open(std::filesystem::path(FTempFN), std::ios::binary | std::ios::trunc);
  FLogFileOpened = FLogFile.is_open();
}

void TVHDLTextReader::CloseLogFile() {
  if (!FLogFileOpened)
    return;
  FLogFileOpened = false;
  FLogFile.close();
  if (!FSurroundings->ReplaceLog(FTempFN, FFinalFN)) {
    std::error_code error;
    std::filesystem::remove(std::filesystem::path(FTempFN), error);
  }
}

void TVHDLTextReader::LogLine(const std::wstring& AText) {
  if (FLogFileOpened)
    FLogFile << ToUtf8(AText) << "\r\n";
}

// ---- the pass ---------------------------------------------------------------

std::unique_ptr<TEntity> TVHDLTextReader::CreateEntity() {
  return std::make_unique<TEntity>(this);
}

bool TVHDLTextReader::Run(const std::vector<std::wstring>& ALines) {
  Error_LineNumber = -1;
  Error_ColumnNumber = -1;
  FErrorMessage.clear();
  FInArchitecture = false;
  SetStrings(&ALines);
  OpenLogFile(FSurroundings->LogFolder() + GetLogFileName());
  bool passed = true;
  try {
    while (PeekValidToken() != TokenKind::EndOfText) {
      std::int32_t word = PeekReservedWord();
      if (word == W_Architecture)
        ReadArchitecture();
      else if (word == W_Entity)
        ReadEntity();
      else
        NextValid();
    }
  } catch (const EVHDLParserError& error) {
    passed = false;
    // An error inside an architecture ends the pass silently.
    if (!FInArchitecture) {
      FErrorMessage = error.Message();
      FSurroundings->PostError(FErrorMessage, FDocumentPath);
      if (Error_LineNumber != -1)
        FSurroundings->MoveEditorTo(FDocumentPath, Error_LineNumber, Error_ColumnNumber);
    }
  } catch (const EDCError& error) {
    passed = false;
    FErrorMessage = error.Message();
    FSurroundings->PostError(FErrorMessage, FDocumentPath);
  } catch (...) {
    // Anything else (the host failing a call it was asked to show or move
    // something with) ends the pass for the caller to handle; the log is
    // closed and the entities let go of the reader all the same.
    EndPass();
    throw;
  }
  EndPass();
  return passed;
}

void TVHDLTextReader::EndPass() {
  SetStrings(nullptr);
  for (int i = 0; i < FEntities.Count(); ++i)
    if (auto* entity = dynamic_cast<TEntity*>(FEntities.Object(i));
        entity && entity->Parser == this)
      DetachFromReader(*entity);
  CloseLogFile();
}

void TVHDLTextReader::ReadEntity() {
  PushState();
  ExpectReservedWord(W_Entity);
  std::wstring name = UpperCaseAscii(ExpectIdentifier());
  FSurroundings->ShowStatus(L"Entity:" + name);
  if (FEntities.Find(name)) {
    // The error stands at the repeated name.
    EVHDLParserError error(this, L"Entity " + name + L" Redeclared");
    PopState();
    throw error;
  }
  PopState();
  LogLine(L"New Entity:" + name);
  std::unique_ptr<TEntity> created = CreateEntity();
  TEntity& entity = *created;
  FEntities.Add(name, std::move(created));
  ReadEntityBody(entity);
}

void TVHDLTextReader::ReadArchitecture() {
  FInArchitecture = true;
  PushState();
  ExpectReservedWord(W_Architecture);
  std::wstring architecture = ExpectIdentifier();
  ExpectReservedWord(W_Of);
  std::wstring entityName = ExpectIdentifier();
  auto* entity = Find<TEntity>(FEntities, entityName);
  if (!entity) {
    EVHDLParserError error(this, L"Entity : " + entityName + L" not found for Architecture : " +
                                     architecture);
    PopState();
    throw error;
  }
  PopState();
  LogLine(L"New Architecture: " + architecture + L" For Entity:" + entityName);
  ReadArchitectureBody(*entity);
  FInArchitecture = false;
}

void TVHDLTextReader::ReadEntityBody(TEntity& AEntity) {
  ExpectReservedWord(W_Entity);
  AEntity.Name = ExpectIdentifier();
  AEntity.RecordSourcePosition();
  ExpectReservedWord(W_Is);
  while (PeekValidToken() != TokenKind::EndOfText) {
    std::int32_t word = PeekReservedWord();
    if (word == W_Attribute) {
      ReadAttribute(AEntity);
    } else if (word == W_Constant) {
      ReadConstant(AEntity);
    } else if (word == W_Generic || word == W_Port) {
      ReadInterfaceClause(AEntity, word);
    } else if (word == W_Signal) {
      ReadSignalDeclaration(AEntity);
    } else if (word == W_End) {
      ReadEndOf(W_Entity);
      return;
    } else {
      // "begin" and everything the reader does not take.
      NextValid();
    }
  }
}

void TVHDLTextReader::ReadSignalDeclaration(TEntity& AEntity) {
  NextValid();
  ReadInterfaceElements(AEntity, eElementSignalDeclaration);
  ExpectReservedWord(W_Semicolon);
}

void TVHDLTextReader::ReadEndOf(std::int32_t AWord) {
  NextValid();
  if (PeekReservedWord() == AWord)
    NextValid();
  if (!PeekIdentifier().empty())
    NextValid();
  ExpectReservedWord(W_Semicolon);
}

void TVHDLTextReader::ReadArchitectureBody(TEntity& AEntity) {
  ExpectReservedWord(W_Architecture);
  ExpectIdentifier();
  ExpectReservedWord(W_Of);
  ExpectIdentifier();
  ExpectReservedWord(W_Is);
  while (PeekValidToken() != TokenKind::EndOfText) {
    std::int32_t word = PeekReservedWord();
    if (word == W_Attribute) {
      ReadAttribute(AEntity);
    } else if (word == W_Signal) {
      ReadSignalDeclaration(AEntity);
    } else if (word == W_Component) {
      ReadComponentDeclaration(AEntity);
    } else if (word == W_Begin) {
      NextValid();
      ReadStatementPart(AEntity);
    } else if (word == W_End) {
      ReadEndOf(W_Architecture);
      return;
    } else {
      NextValid();
    }
  }
}

void TVHDLTextReader::ReadInterfaceClause(TEntity& AEntity, std::int32_t AClauseWord) {
  ExpectReservedWord(AClauseWord);
  ExpectReservedWord(W_LParen);
  TElementKind kind = AClauseWord == W_Port ? eElementPortDeclaration : eElementGenericDeclaration;
  if (PeekReservedWord() == W_RParen) {
    NextValid();
  } else {
    for (;;) {
      ReadInterfaceElements(AEntity, kind);
      std::int32_t word = NextReservedWord();
      if (word == W_Semicolon)
        continue;
      if (word == W_RParen)
        break;
      Fail(L"Expected )");
    }
  }
  ExpectReservedWord(W_Semicolon);
}

void TVHDLTextReader::ReadRange(std::wstring& AExpression1, std::wstring& AExpression2,
                                std::int32_t& ADirection, std::int32_t ACloseWord) {
  AExpression1 = Trim(ReadExpression({W_To, W_DownTo, ACloseWord, W_Semicolon}, false));
  std::int32_t word = PeekReservedWord();
  if (word == W_To || word == W_DownTo) {
    NextValid();
    ADirection = word;
    AExpression2 = Trim(ReadExpression({ACloseWord, W_Semicolon}, false));
  } else {
    ADirection = NoArrayDirection;
    AExpression2 = AExpression1;
  }
}

void TVHDLTextReader::ReadInterfaceElements(TEntity& AEntity, TElementKind AKind) {
  std::vector<std::wstring> names{ExpectIdentifier()};
  while (PeekReservedWord() == W_Comma) {
    NextValid();
    names.push_back(ExpectIdentifier());
  }
  ExpectReservedWord(W_Colon);

  TPinElectrical mode = eElectricIO;
  std::int32_t word = PeekReservedWord();
  if (word == W_In || word == W_Out || word == W_InOut || word == W_Linkage || word == W_Buffer) {
    NextValid();
    mode = word == W_In       ? eElectricInput
           : word == W_Out    ? eElectricOutput
           : word == W_Buffer ? eElectricOpenCollector
                              : eElectricIO;
  }
  std::wstring type = ExpectIdentifier();

  std::wstring expression1, expression2, defaultValue;
  std::int32_t direction = NoArrayDirection;
  word = PeekReservedWord();
  if (word == W_LParen) {
    NextValid();
    ReadRange(expression1, expression2, direction, W_RParen);
    // A single index is written as a range "to" of one element.
    if (direction == NoArrayDirection)
      direction = W_To;
    ExpectReservedWord(W_RParen);
  } else if (word == W_Range) {
    NextValid();
    expression1 = Trim(ReadExpression({W_To, W_DownTo, W_Semicolon, W_RParen, W_Assign}, false));
    word = PeekReservedWord();
    if (word == W_To || word == W_DownTo) {
      NextValid();
      direction = word;
      expression2 = Trim(ReadExpression({W_Semicolon, W_RParen, W_Assign}, false));
    }
  }
  if (PeekReservedWord() == W_Assign) {
    NextValid();
    defaultValue = ExpectExpression(W_Semicolon, W_RParen);
  }

  for (const std::wstring& name : names) {
    std::unique_ptr<TInterfaceElement> element;
    TVHDLObjectList* list = nullptr;
    switch (AKind) {
    case eElementPortDeclaration:
      element = std::make_unique<TVHDLPort>(this);
      list = &AEntity.Ports;
      break;
    case eElementGenericDeclaration:
      element = std::make_unique<TVHDLGeneric>(this);
      list = &AEntity.Generics;
      break;
    default:
      element = std::make_unique<TVHDLSignal>(this);
      list = &AEntity.Signals;
      break;
    }
    element->FName = name;
    element->FMode = mode;
    element->SubTypeIndication = type;
    element->FArrayDirection = direction;
    element->Expression1 = expression1;
    element->Expression2 = expression2;
    element->DefaultValue = defaultValue;
    AddInterfaceElement(*list, std::move(element));
  }
}

void TVHDLTextReader::ReadAttribute(TEntity& AEntity) {
  ExpectReservedWord(W_Attribute);
  auto attribute = std::make_unique<TVHDLAttribute>(this);
  attribute->AttributeDesignator = ExpectIdentifier();
  if (PeekReservedWord() == W_Of) {
    NextValid();
    attribute->AttributeKind = eAttributeKind_Specification;
    std::int32_t word = PeekReservedWord();
    if (word == W_All || word == W_Others) {
      NextValid();
      attribute->AttributeTarget = word == W_All ? eAttributeTarget_All : eAttributeTarget_Others;
    } else {
      attribute->AttributeTarget = eAttributeTarget_List;
      attribute->TargetList.push_back(ExpectIdentifierOrConstant());
      while (PeekReservedWord() == W_Comma) {
        NextValid();
        attribute->TargetList.push_back(ExpectIdentifierOrConstant());
      }
    }
    ExpectReservedWord(W_Colon);
    std::int32_t kind = NextValid();
    if (kind != TokenKind::ReservedWord ||
        std::find(std::begin(EntityClassWords), std::end(EntityClassWords), ResWordID()) ==
            std::end(EntityClassWords))
      Fail(L"Entity Class Expected (Entity..Units)");
    attribute->AttributeTargetKind = ResWordID();
    ExpectReservedWord(W_Is);
  } else {
    attribute->AttributeKind = eAttributeKind_Declaration;
  }
  attribute->AttributeExpression = Unquote(ExpectExpression(W_Semicolon, NoWord));
  ExpectReservedWord(W_Semicolon);
  AddAttribute(AEntity, std::move(attribute));
}

void TVHDLTextReader::ReadConstant(TEntity& AEntity) {
  ExpectReservedWord(W_Constant);
  auto constant = std::make_unique<TVHDLConstant>(this);
  constant->ConstantDesignators.push_back(ExpectIdentifier());
  while (PeekReservedWord() == W_Comma) {
    NextValid();
    constant->ConstantDesignators.push_back(ExpectIdentifier());
  }
  ExpectReservedWord(W_Colon);
  constant->ConstantTypeId = ExpectExpression(W_Assign, W_Semicolon);
  if (PeekReservedWord() == W_Assign) {
    NextValid();
    constant->ConstantExpression = Unquote(ExpectExpression(W_Semicolon, NoWord));
  }
  ExpectReservedWord(W_Semicolon);
  AddConstant(AEntity, std::move(constant));
}

void TVHDLTextReader::ReadComponentDeclaration(TEntity& AEntity) {
  PushState();
  ExpectReservedWord(W_Component);
  std::wstring name = UpperCaseAscii(ExpectIdentifier());
  FSurroundings->ShowStatus(L"Component Declaration:" + name);
  if (AEntity.ComponentDeclarations.Find(name)) {
    EVHDLParserError error(this, L"Component " + name + L" Redeclared");
    PopState();
    throw error;
  }
  PopState();
  LogLine(L"Component Declaration :" + name);

  auto declaration = std::make_unique<TComponentDeclaration>(this);
  ExpectReservedWord(W_Component);
  declaration->Name = ExpectIdentifier();
  declaration->RecordSourcePosition();
  TComponentDeclaration& added = *AddComponentDeclaration(AEntity, std::move(declaration));
  if (PeekReservedWord() == W_Is)
    NextValid();
  while (PeekValidToken() != TokenKind::EndOfText) {
    std::int32_t word = PeekReservedWord();
    if (word == W_Generic || word == W_Port) {
      ReadInterfaceClause(added, word);
    } else if (word == W_End) {
      NextValid();
      ExpectReservedWord(W_Component);
      if (!PeekIdentifier().empty())
        NextValid();
      ExpectReservedWord(W_Semicolon);
      return;
    } else {
      NextValid();
    }
  }
}

void TVHDLTextReader::ReadStatementPart(TEntity& AEntity) {
  while (PeekValidToken() != TokenKind::EndOfText) {
    std::int32_t kind = PeekValidToken();
    std::int32_t word = PeekReservedWord();
    if (word == W_End)
      return;
    if (kind == TokenKind::Identifier) {
      std::wstring name = ExpectIdentifier();
      if (PeekReservedWord() == W_Colon) {
        NextValid();
        std::int32_t after = PeekReservedWord();
        if (after == W_Process || after == W_Block) {
          ReadProcessOrBlock(after);
          continue;
        }
        if (after == W_Component || after == W_Entity || after == W_Configuration) {
          NextValid();
          Fail(after == W_Component ? L"Component keyword not supported in component instances"
               : after == W_Entity  ? L"Entity Instances Not Supported"
                                    : L"Configurations Not Supported");
        }
        std::wstring type = PeekIdentifier();
        if (!type.empty()) {
          auto* declaration = Find<TComponentDeclaration>(AEntity.ComponentDeclarations, type);
          if (!declaration) {
            NextValid();
            Fail(L"Component Type " + type + L" Not Found");
          }
          ReadComponentInstance(AEntity, name, *declaration);
        }
        continue;
      }
      if (PeekReservedWord() == W_LessEqual) {
        if (auto* signal = Find<TVHDLSignal>(AEntity.Signals, name))
          ReadSignalAssignment(AEntity, *signal);
        else if (auto* port = Find<TVHDLPort>(AEntity.Ports, name))
          ReadPortAssignment(AEntity, *port);
        else
          Fail(L"Unrecognized Assignment " + name);
      }
      continue;
    }
    if (word == W_Attribute) {
      ReadAttribute(AEntity);
    } else if (word == W_Process || word == W_Block) {
      ReadProcessOrBlock(word);
    } else if (word == W_Component || word == W_Entity || word == W_Configuration) {
      NextValid();
      Fail(word == W_Component ? L"Component keyword not supported in component instances"
           : word == W_Entity  ? L"Entity Instances Not Supported"
                               : L"Configurations Not Supported");
    } else {
      NextValid();
    }
  }
}

void TVHDLTextReader::ReadProcessOrBlock(std::int32_t AWord) {
  ExpectReservedWord(AWord);
  if (PeekReservedWord() == W_LParen) {
    NextValid();
    ExpectIdentifier();
    while (PeekReservedWord() == W_Comma) {
      NextValid();
      ExpectIdentifier();
    }
    ExpectReservedWord(W_RParen);
  }
  SkipToReservedWords(AWord, AWord);
  ExpectReservedWord(AWord);
  if (!PeekIdentifier().empty())
    NextValid();
  ExpectReservedWord(W_Semicolon);
}

void TVHDLTextReader::ReadComponentInstance(TEntity& AEntity, const std::wstring& AName,
                                            TComponentDeclaration& ADeclaration) {
  FSurroundings->ShowStatus(L"Component Instance : " + AName);
  auto instance = std::make_unique<TComponentInstance>(this, &AEntity);
  instance->Name = AName;
  instance->ComponentType = ExpectIdentifier();
  instance->ComponentDeclaration = &ADeclaration;
  LogLine(L"Component Instance:" + AName + L" Type:" + ADeclaration.Name);
  // The elements are listed on their signals and ports only once the whole
  // instance has been read: an instance with an error is dropped, and
  // nothing may keep pointing at its elements.
  std::vector<std::pair<TInterfaceElement*, TAssociationElement*>> mapped;
  auto readMap = [&](std::int32_t AWord, bool APortMap) {
    if (PeekReservedWord() != AWord)
      return;
    NextValid();
    ExpectReservedWord(W_Map);
    ExpectReservedWord(W_LParen);
    if (PeekReservedWord() != W_RParen) {
      for (std::int32_t number = 0;; ++number) {
        std::wstring first = ExpectIdentifierOrConstant();
        std::wstring e1, e2;
        std::int32_t direction = NoArrayDirection;
        if (PeekReservedWord() == W_LParen) {
          NextValid();
          ReadRange(e1, e2, direction, W_RParen);
          ExpectReservedWord(W_RParen);
        }
        std::unique_ptr<TAssociationElement> element;
        if (APortMap)
          element = std::make_unique<TMappedPort>(this, instance.get());
        else
          element = std::make_unique<TMappedGeneric>(this, instance.get());
        std::int32_t word = PeekReservedWord();
        if (word == W_Arrow) {
          NextValid();
          element->FormalPart = first;
          element->Formal_Expression1 = e1;
          element->Formal_Expression2 = e2;
          element->Formal_ArrayDirection = direction;
          element->ActualPart = ExpectIdentifierOrConstant();
          if (PeekReservedWord() == W_LParen) {
            NextValid();
            ReadRange(element->Actual_Expression1, element->Actual_Expression2,
                      element->Actual_ArrayDirection, W_RParen);
            ExpectReservedWord(W_RParen);
          }
        } else if (word == W_RParen || word == W_Comma) {
          element->ActualPart = first;
          element->Actual_Expression1 = e1;
          element->Actual_Expression2 = e2;
          element->Actual_ArrayDirection = direction;
        } else {
          ExpectReservedWord(W_Arrow);
        }
        std::wstring where =
            L" in Component Instance " + AName + L"(" + instance->ComponentType + L")";
        if (APortMap) {
          if (!element->FormalPart.empty()) {
            std::wstring formal = element->FormalPart.substr(0, element->FormalPart.find(L'('));
            element->VHDLPort = Find<TVHDLPort>(ADeclaration.Ports, Trim(formal));
            if (!element->VHDLPort)
              Fail(L"Unrecognized Pin " + element->FormalPart + where);
          } else {
            for (int i = 0; i < ADeclaration.Ports.Count(); ++i) {
              auto* port = dynamic_cast<TVHDLPort*>(ADeclaration.Ports.Object(i));
              if (port && port->ElementIndex == number)
                element->VHDLPort = port;
            }
            if (!element->VHDLPort)
              Fail(L"Out of Range Port Map: " + element->ActualPart + where);
          }
        }
        TInterfaceElement* target = Find<TVHDLSignal>(AEntity.Signals, element->ActualPart);
        if (!target)
          target = Find<TVHDLPort>(AEntity.Ports, element->ActualPart);
        element->SignalOrPort = target;
        LogLine(L"Adding AssociationElement:" + element->GetState_StringDescriptor());
        TAssociationElement* added = AddAssociationElement(*instance, std::move(element));
        if (target)
          mapped.emplace_back(target, added);
        if (PeekReservedWord() != W_Comma)
          break;
        NextValid();
      }
    }
    ExpectReservedWord(W_RParen);
  };
  readMap(W_Generic, false);
  readMap(W_Port, true);
  ExpectReservedWord(W_Semicolon);
  for (auto& [target, element] : mapped)
    MapOnto(*target, *element);
  AddComponentInstance(AEntity, std::move(instance));
}

void TVHDLTextReader::ReadSignalAssignment(TEntity& AEntity, TVHDLSignal& ASignal) {
  ExpectReservedWord(W_LessEqual);
  std::wstring expression = ExpectExpression(W_Semicolon, NoWord);
  ExpectReservedWord(W_Semicolon);
  std::wstring name, range, left, right;
  if (auto* port = Find<TVHDLPort>(AEntity.Ports, expression)) {
    LogLine(L"SignalConnectedToPort:" + ASignal.GetState_StringDescriptor() + L" To " +
            port->GetState_StringDescriptor());
  } else if (SplitSlice(expression, name, range) && Find<TVHDLPort>(AEntity.Ports, name) &&
             SplitRange(range, left, right)) {
    LogLine(L"SignalConnectedToPortSlice:" + ASignal.GetState_StringDescriptor() + L" To " +
            Find<TVHDLPort>(AEntity.Ports, name)->GetState_StringDescriptor() + L"[" + left +
            L".." + right + L"]");
  } else {
    LogLine(L"Unrecognized expression " + expression + L" assigned to signal " + ASignal.FName);
  }
}

void TVHDLTextReader::ReadPortAssignment(TEntity& AEntity, TVHDLPort& APort) {
  ExpectReservedWord(W_LessEqual);
  std::wstring expression = ExpectExpression(W_Semicolon, NoWord);
  ExpectReservedWord(W_Semicolon);
  LogLine(L"Found PortAssignment:" + APort.GetState_StringDescriptor() + L" " + L"<=" + L" " +
          expression);
  std::wstring name, range, left, right;
  if (auto* signal = Find<TVHDLSignal>(AEntity.Signals, expression)) {
    LogLine(L"PortConnectedToSignal:" + APort.GetState_StringDescriptor() + L" To " +
            signal->GetState_StringDescriptor());
  } else if (SplitSlice(expression, name, range) && Find<TVHDLSignal>(AEntity.Signals, name)) {
    if (SplitRange(range, left, right))
      LogLine(L"PortConnectedToSignalSlice:" + APort.GetState_StringDescriptor() + L" To " +
              Find<TVHDLSignal>(AEntity.Signals, name)->GetState_StringDescriptor() + L"[" + left +
              L".." + right + L"]");
    else
      LogLine(L"Unrecognized slice " + expression + L" assigned to port " + APort.FName);
  } else {
    LogLine(L"Unrecognized expression " + expression + L" assigned to port " + APort.FName);
  }
}

// ---- helpers ----------------------------------------------------------------

std::vector<std::wstring> ReadTextFileLines(const std::wstring& AFileName) {
  std::ifstream file(std::filesystem::path(AFileName), std::ios::binary);
  if (!file)
    throw std::runtime_error("cannot read the file");
  std::vector<std::wstring> lines;
  std::wstring line;
  char c;
  bool pendingCR = false;
  while (file.get(c)) {
    if (pendingCR) {
      pendingCR = false;
      if (c == '\n')
        continue;
    }
    if (c == '\r' || c == '\n') {
      lines.push_back(std::move(line));
      line.clear();
      pendingCR = c == '\r';
      continue;
    }
    line.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  }
  if (!line.empty())
    lines.push_back(std::move(line));
  return lines;
}

void DetachFromReader(TEntity& AEntity) {
  AEntity.Parser = nullptr;
  for (TVHDLObjectList* list : {&AEntity.Generics, &AEntity.Attributes, &AEntity.Constants,
                                &AEntity.Ports, &AEntity.Signals})
    for (int i = 0; i < list->Count(); ++i)
      list->Object(i)->Parser = nullptr;
  for (int i = 0; i < AEntity.ComponentInstances.Count(); ++i) {
    auto* instance = static_cast<TComponentInstance*>(AEntity.ComponentInstances.Object(i));
    instance->Parser = nullptr;
    for (TVHDLObjectList* map : {&instance->GenericMap, &instance->PortMap})
      for (int j = 0; j < map->Count(); ++j)
        map->Object(j)->Parser = nullptr;
  }
  for (int i = 0; i < AEntity.ComponentDeclarations.Count(); ++i)
    DetachFromReader(*static_cast<TEntity*>(AEntity.ComponentDeclarations.Object(i)));
}
