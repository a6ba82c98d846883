#include "tokenizer.h"

#include <algorithm>

namespace {

// Where a scanner stands before it is given any text: the end of an empty
// text, so scanning answers the end at once instead of reading nowhere.
const wchar_t kEmptyText[1] = {0};

} // namespace

TCharSet CharRange(wchar_t AFirst, wchar_t ALast) {
  TCharSet result;
  for (std::uint32_t c = static_cast<std::uint32_t>(AFirst);
       c <= static_cast<std::uint32_t>(ALast) && c < 256; ++c)
    result.set(c);
  return result;
}

TCharSet CharSetOf(std::wstring_view AChars) {
  TCharSet result;
  for (wchar_t c : AChars)
    if (static_cast<std::uint32_t>(c) < 256)
      result.set(static_cast<std::uint32_t>(c));
  return result;
}

const TCharSet& PrintableChars() {
  static const TCharSet set = CharRange(33, 255);
  return set;
}
const TCharSet& IdentStartChars() {
  static const TCharSet set = CharRange(L'A', L'Z') | CharRange(L'a', L'z') | CharSetOf(L"_");
  return set;
}
const TCharSet& IdentChars() {
  static const TCharSet set = IdentStartChars() | CharRange(L'0', L'9');
  return set;
}
const TCharSet& DigitChars() {
  static const TCharSet set = CharRange(L'0', L'9');
  return set;
}
const TCharSet& HexDigitChars() {
  static const TCharSet set = CharRange(L'0', L'9') | CharRange(L'A', L'F') | CharRange(L'a', L'f');
  return set;
}
const TCharSet& BeforeEndChars() {
  static const TCharSet set = CharSetOf(L"$@_") | CharRange(L'A', L'Z') | CharRange(L'a', L'z');
  return set;
}

// ---- TNotifierList ---------------------------------------------------------

void TNotifierList::AddMethod(const TNotifierProc& AMethod) {
  DeleteMethod(AMethod);
  FItems.push_back(TNotifierListItem{AMethod});
}

void TNotifierList::DeleteMethod(const TNotifierProc& AMethod) {
  auto it = std::find_if(FItems.begin(), FItems.end(), [&](const TNotifierListItem& AItem) {
    return SameMethod(AItem.Method, AMethod);
  });
  if (it != FItems.end())
    FItems.erase(it);
}

void TNotifierList::DeleteWithData(const void* AData) {
  std::erase_if(FItems, [&](const TNotifierListItem& AItem) { return AItem.Method.Data == AData; });
}

void TNotifierList::NotifyEvents(TDCComponent* ASender, std::int32_t AWParam,
                                 std::int32_t ALParam) {
  std::int32_t i = Count() - 1;
  while (i >= 0) {
    const TNotifierProc method = FItems[std::size_t(i)].Method;
    method(ASender, AWParam, ALParam);
    // The call may have removed entries: stay within what is left.
    i = MinInt(i, Count()) - 1;
  }
}

// ---- TSimpleParser ---------------------------------------------------------

const TDCClassInfo TSimpleParser::ClassInfo{L"TSimpleParser", &TDCComponent::ClassInfo};

TSimpleParser::TSimpleParser(TDCComponent* AOwner)
    : TDCComponent(AOwner), FNotifiers(std::make_unique<TNotifierList>()) {}

TSimpleParser::~TSimpleParser() {
  // Components that listen are told that this parser goes away.
  for (std::int32_t i = FNotifiers->Count() - 1; i >= 0; --i) {
    if (i >= FNotifiers->Count())
      continue;
    if (TDCComponent* component = FNotifiers->Items(i).Method.Component) {
      RemoveFreeNotification(component);
      component->Notification(this, TDCOperation::opRemove);
    }
  }
  FNotifiers.reset();
}

void TSimpleParser::RegisterNotifier(const TNotifierProc& M) {
  FNotifiers->AddMethod(M);
  if (M.Component)
    FreeNotification(M.Component);
}

void TSimpleParser::UnRegisterNotifier(const TNotifierProc& M) {
  if (FNotifiers)
    FNotifiers->DeleteMethod(M);
}

void TSimpleParser::Notification(TDCComponent* AComponent, TDCOperation AOperation) {
  TDCComponent::Notification(AComponent, AOperation);
  if (AOperation == TDCOperation::opRemove && FNotifiers)
    FNotifiers->DeleteWithData(AComponent);
}

TDCFontHandle TSimpleParser::GetFont(std::int32_t) {
  return nullptr;
}
bool TSimpleParser::GetBackColor(std::int32_t, std::uint32_t&) {
  return false;
}
bool TSimpleParser::StoreColorData() {
  return false;
}

void TSimpleParser::PrepareColorData(std::int32_t, const std::wstring& AS,
                                     std::wstring& AColorData) {
  AColorData.assign(AS.size(), wchar_t(0));
}

// ---- TTokenData ------------------------------------------------------------

void TTokenData::ProcessSinglePop(TCustomDCParser*) {}

// ---- TCustomDCParser -------------------------------------------------------

const TDCClassInfo TCustomDCParser::ClassInfo{L"TCustomDCParser", &TSimpleParser::ClassInfo};

TCustomDCParser::TCustomDCParser(TDCComponent* AOwner)
    : TSimpleParser(AOwner), FTokenPtr(kEmptyText), FSourcePtr(kEmptyText), FLinePtr(kEmptyText),
      fHashList(256, TDCStrings(true)) {
  FResWords.OnChange = [this] { ResWordsChanged(); };
}

TCustomDCParser::~TCustomDCParser() {
  FResWords.OnChange = nullptr;
}

void TCustomDCParser::RegisterProc(std::initializer_list<std::int32_t> AStates,
                                   const TCharSet& ACharSet, TParseProc AProc) {
  if (AStates.size() == 0)
    return;
  const std::int32_t highest = *std::max_element(AStates.begin(), AStates.end());
  if (*std::min_element(AStates.begin(), AStates.end()) < 0)
    RaiseErrorFmt(L"List index out of bounds (%d)",
                  {std::int64_t(*std::min_element(AStates.begin(), AStates.end()))});
  while (ParserStateCount() <= highest)
    FParserStates.push_back(std::make_unique<THandlerTable>());
  for (std::size_t code = 0; code < 256; ++code) {
    if (!ACharSet.test(code))
      continue;
    for (std::int32_t state : AStates)
      (*FParserStates[std::size_t(state)])[code] = AProc;
  }
}

std::int32_t TCustomDCParser::SimpleNextToken() {
  for (;;) {
    FTokenPtr = FSourcePtr;
    const wchar_t ch = *FSourcePtr;
    std::int32_t kind = TokenKind::EndOfText;
    if (ch != 0) {
      const auto code = static_cast<std::uint32_t>(ch);
      if (FParserState < 0 || FParserState >= ParserStateCount())
        RaiseErrorFmt(L"List index out of bounds (%d)", {std::int64_t(FParserState)});
      // A character above 255 has no slot of its own: it is a blank.
      const TParseProc* proc =
          code < 256 ? &(*FParserStates[std::size_t(FParserState)])[code] : nullptr;
      if (!proc || !*proc) {
        ++FSourcePtr;
        continue;
      }
      kind = (*proc)();
      if (kind == TokenKind::NoToken)
        continue;
    }
    FToken = kind;
    return kind;
  }
}

std::int32_t TCustomDCParser::NextToken() {
  return SimpleNextToken();
}

std::wstring TCustomDCParser::TokenString() const {
  if (FSourcePtr <= FTokenPtr)
    return {};
  return std::wstring(FTokenPtr, std::size_t(FSourcePtr - FTokenPtr));
}

std::wstring TCustomDCParser::NextTokenStr() {
  NextToken();
  return TokenString();
}

std::int32_t TCustomDCParser::NextValidToken() {
  std::int32_t kind;
  do
    kind = NextToken();
  while (kind == TokenKind::Comment);
  return kind;
}

std::wstring TCustomDCParser::NextValidTokenStr() {
  NextValidToken();
  return TokenString();
}

std::int32_t TCustomDCParser::PeekToken() {
  PushState();
  const std::int32_t kind = NextToken();
  PopState();
  return kind;
}

std::wstring TCustomDCParser::PeekTokenStr() {
  PushState();
  std::wstring text = NextTokenStr();
  PopState();
  return text;
}

std::wstring TCustomDCParser::PeekValidTokenStr() {
  PushState();
  std::wstring text = NextValidTokenStr();
  PopState();
  return text;
}

std::int32_t TCustomDCParser::SkipTokens(std::int32_t ANumber) {
  std::int32_t kind = FToken;
  for (std::int32_t i = 0; i < ANumber; ++i)
    kind = NextToken();
  return kind;
}

bool TCustomDCParser::SkipToResWord(std::int32_t AResWordID) {
  while (FToken != TokenKind::EndOfText && !IsTokenResWord(AResWordID))
    NextToken();
  return FToken != TokenKind::EndOfText;
}

bool TCustomDCParser::SkipToChar(wchar_t AChar) {
  while (FToken != TokenKind::EndOfText && !IsTokenChar(AChar))
    NextToken();
  return FToken != TokenKind::EndOfText;
}

bool TCustomDCParser::IsTokenResWord(std::int32_t AResWord) const {
  return FToken == TokenKind::ReservedWord && FResWordID == AResWord;
}

bool TCustomDCParser::IsTokenChar(wchar_t AChar) const {
  return FToken == TokenKind::Symbol && FSourcePtr > FTokenPtr && *FTokenPtr == AChar;
}

bool TCustomDCParser::IsNextTokenResWord(std::int32_t AResWord) {
  NextToken();
  return IsTokenResWord(AResWord);
}

bool TCustomDCParser::IsNextTokenChar(wchar_t AChar) {
  NextToken();
  return IsTokenChar(AChar);
}

bool TCustomDCParser::IsPeekTokenResWord(std::int32_t AResWord) {
  PushState();
  NextToken();
  const bool result = IsTokenResWord(AResWord);
  PopState();
  return result;
}

bool TCustomDCParser::IsPeekTokenChar(wchar_t AChar) {
  PushState();
  NextToken();
  const bool result = IsTokenChar(AChar);
  PopState();
  return result;
}

bool TCustomDCParser::IsTokenPseudoResWord() const {
  return FToken == TokenKind::ReservedWord &&
         (FResWordID == 45 || FResWordID == 77 || FResWordID == 106);
}

void TCustomDCParser::CheckChar(wchar_t AChar) {
  if (!IsTokenChar(AChar))
    ErrorFmt(L"''%s'' expected", {std::wstring(1, AChar)});
}

void TCustomDCParser::CheckNextChar(wchar_t AChar) {
  NextValidToken();
  CheckChar(AChar);
}

void TCustomDCParser::CheckResWord(std::int32_t AResWordID) {
  if (!IsTokenResWord(AResWordID))
    ErrorFmt(L"%s expected", {ResWordText(AResWordID)});
}

void TCustomDCParser::CheckNextResWord(std::int32_t AResWordID) {
  NextValidToken();
  CheckResWord(AResWordID);
}

void TCustomDCParser::ErrorFmt(const std::wstring& AMsg, std::initializer_list<TFormatArg> AArgs) {
  std::int32_t column = 0;
  std::int32_t line = 0;
  GetTokenPosition(column, line);
  // The message is filled before the position and the context are added, so
  // a "%" in a file name of the context is never taken for a directive.
  RaiseError(FormatText(AMsg, AArgs) +
             FormatText(L" at Line:%d, Char:%d. ", {std::int64_t(line), std::int64_t(column)}) +
             GetErrorContext());
}

void TCustomDCParser::Error(const std::wstring& AErrorStr) {
  ErrorFmt(AErrorStr, {std::wstring()});
}

std::wstring TCustomDCParser::GetErrorContext() const {
  return {};
}

void TCustomDCParser::GetTokenPosition(std::int32_t& AColumn, std::int32_t& ALine) const {
  AColumn = TokenCharPos() + 1;
  ALine = FLinePos + 1;
}

// ---- State stack -----------------------------------------------------------

void TCustomDCParser::SaveTokenData(TTokenData& AData) const {
  AData.IfDefLevel = FIfDefLevel;
  AData.SkipTokens = FSkipTokens;
  AData.Token = FToken;
  AData.ParserState = FParserState;
  AData.LinePos = FLinePos;
  AData.CharPos = CharPos();
  AData.TokenCharPos = TokenCharPos();
  AData.LinePtr = FLinePtr;
  AData.ResWordID = FResWordID;
}

void TCustomDCParser::RestoreTokenData(const TTokenData& AData) {
  FIfDefLevel = AData.IfDefLevel;
  FSkipTokens = AData.SkipTokens;
  FLinePos = AData.LinePos;
  SetLinePtr(AData.LinePtr);
  LineChanged();
  FSourcePtr = FLinePtr + AData.CharPos;
  FTokenPtr = FLinePtr + AData.TokenCharPos;
  FToken = AData.Token;
  FParserState = AData.ParserState;
  FResWordID = AData.ResWordID;
}

std::unique_ptr<TTokenData> TCustomDCParser::GetTokenDataClass() const {
  return std::make_unique<TTokenData>();
}

std::int32_t TCustomDCParser::PushState() {
  auto data = std::make_unique<TTokenData>();
  SaveTokenData(*data);
  FTokenList.push_back(std::move(data));
  return std::int32_t(FTokenList.size()) - 1;
}

std::int32_t TCustomDCParser::SoftPushState() {
  std::unique_ptr<TTokenData> data = GetTokenDataClass();
  SaveTokenData(*data);
  data->SoftPush = true;
  FTokenList.push_back(std::move(data));
  return std::int32_t(FTokenList.size()) - 1;
}

bool TCustomDCParser::PopOneState() {
  if (FTokenList.empty())
    Error(L"Token list is empty");
  TTokenData& top = *FTokenList.back();
  top.ProcessSinglePop(this);
  RestoreTokenData(top);
  const bool soft = top.SoftPush;
  FTokenList.pop_back();
  return soft;
}

std::int32_t TCustomDCParser::PopState() {
  while (PopOneState()) {
  }
  return FToken;
}

bool TCustomDCParser::SoftPopState() {
  if (FTokenList.empty())
    Error(L"Token list is empty");
  if (FTokenList.back()->SoftPush) {
    PopOneState();
    return true;
  }
  for (std::size_t i = FTokenList.size() - 1; i-- > 0;) {
    if (FTokenList[i]->SoftPush) {
      RestoreTokenData(*FTokenList[i]);
      return false;
    }
  }
  Error(L"Token list is empty");
}

void TCustomDCParser::SetInternalState(std::int32_t AValue) {
  if (AValue >= std::int32_t(FTokenList.size()))
    Error(L"State is in future");
  if (AValue < 0)
    RaiseErrorFmt(L"List index out of bounds (%d)", {std::int64_t(AValue)});
  RestoreTokenData(*FTokenList[std::size_t(AValue)]);
  FTokenList.resize(std::size_t(AValue));
}

// ---- Reserved words --------------------------------------------------------

void TCustomDCParser::SetResWords(const TDCStrings& AValue) {
  if (&AValue == &FResWords)
    return;
  FResWords.BeginUpdate();
  FResWords.Clear();
  for (std::int32_t i = 0; i < AValue.Count(); ++i)
    FResWords.AddObject(AValue.Strings(i), AValue.Objects(i));
  FResWords.EndUpdate();
}

void TCustomDCParser::SetCaseSensitive(bool AValue) {
  if (AValue == FCaseSensitive)
    return;
  FCaseSensitive = AValue;
  ResWordsChanged();
}

void TCustomDCParser::ResWordsChanged() {
  UpdateResWords();
  FNotifiers->NotifyEvents(this, 0, 0);
}

void TCustomDCParser::Loaded() {
  TSimpleParser::Loaded();
  UpdateResWords();
}

void TCustomDCParser::UpdateResWords() {
  if (Loading())
    return;
  // From the last line up, so that of two equal words the later one stays.
  FIntWords.Clear();
  for (std::int32_t i = FResWords.Count() - 1; i >= 0; --i) {
    const std::wstring word = TrimText(FResWords.Strings(i));
    if (!word.empty())
      FIntWords.AddObject(word, FResWords.Objects(i));
  }
  for (TDCStrings& bucket : fHashList)
    bucket.Clear();
  for (std::int32_t i = FIntWords.Count() - 1; i >= 0; --i) {
    const std::wstring& word = FIntWords.Strings(i);
    fHashList[std::size_t(ResWordHash(word))].AddObject(word, FIntWords.Objects(i));
  }
}

std::int32_t TCustomDCParser::ResWordHash(const std::wstring& AS) {
  std::uint32_t h = static_cast<std::uint32_t>(std::int32_t(AS.size()) - 1);
  for (wchar_t c : AS) {
    const std::uint32_t code = static_cast<std::uint32_t>(FoldAsciiCase(c));
    h = (h ^ code) * 2u;
  }
  return std::int32_t((h >> 1) & 255u);
}

bool TCustomDCParser::IsResWord(const std::wstring& AS) {
  const TDCStrings& bucket = fHashList[std::size_t(ResWordHash(AS))];
  if (bucket.Count() == 0)
    return false;
  std::int32_t index = 0;
  if (!bucket.Find(AS, index))
    return false;
  FResWordID = std::int32_t(bucket.Objects(index));
  if (FCaseSensitive)
    return MatchesResWordCase(AS);
  return true;
}

bool TCustomDCParser::MatchesResWordCase(const std::wstring& AS) const {
  return AS == ResWordText(FResWordID);
}

std::wstring TCustomDCParser::ResWordText(std::int32_t AResWordID) const {
  const std::int32_t index = FResWords.IndexOfObject(AResWordID);
  return index < 0 ? std::wstring() : TrimText(FResWords.Strings(index));
}

// ---- Positions -------------------------------------------------------------

void TCustomDCParser::SetLinePtr(const wchar_t* AValue) {
  if (!AValue)
    AValue = kEmptyText;
  FLinePtr = AValue;
  if (AValue == FSourcePtr)
    return;
  FSourcePtr = AValue;
  FTokenPtr = AValue;
  FToken = TokenKind::NoToken;
}

// ---- Colouring -------------------------------------------------------------

std::int32_t TCustomDCParser::ColorString(const std::wstring& AStrData, std::int32_t AInitState,
                                          std::wstring& AColorData) {
  if (AStrData.empty() || AColorData.empty())
    return AInitState;
  FParserState = AInitState;
  const wchar_t* base = AStrData.c_str();
  SetLinePtr(base);
  FSourcePtr = FTokenPtr = base;
  if (AColorData.size() != AStrData.size())
    AColorData.resize(AStrData.size());
  for (;;) {
    const std::int32_t kind = SimpleNextToken();
    if (kind == TokenKind::EndOfText)
      break;
    // Positions count from the start of the given line, whatever line
    // breaks the text holds.
    const std::size_t first = std::size_t(FTokenPtr - base);
    const std::size_t length = std::size_t(FSourcePtr - FTokenPtr);
    if (OnGetColorData) {
      std::wstring style;
      GetColorData(kind, TokenString(), style);
      for (std::size_t i = 0; i < length && first + i < AColorData.size(); ++i)
        AColorData[first + i] = style[i];
    } else {
      for (std::size_t i = 0; i < length && first + i < AColorData.size(); ++i)
        AColorData[first + i] = wchar_t(kind);
    }
  }
  return FParserState;
}

void TCustomDCParser::GetColorData(std::int32_t AToken, const std::wstring& ATokenStr,
                                   std::wstring& AColorData) {
  if (!OnGetColorData)
    return;
  AColorData.assign(ATokenStr.size(), wchar_t(AToken));
  OnGetColorData(this, AToken, ATokenStr, AColorData);
  AColorData.resize(ATokenStr.size(), wchar_t(AToken));
}

// ---- TStringsParser --------------------------------------------------------

const TDCClassInfo TStringsParser::ClassInfo{L"TStringsParser", &TCustomDCParser::ClassInfo};

TStringsParser::TStringsParser(TDCComponent* AOwner) : TCustomDCParser(AOwner) {}

void TStringsParser::CheckStrings() {
  if (!FStrings)
    Error(L"Strings are not specified");
}

void TStringsParser::SetStrings(const std::vector<std::wstring>* AValue) {
  if (AValue == FStrings)
    return;
  FStrings = AValue;
  if (FStrings)
    ResetParser();
}

void TStringsParser::LineChanged() {
  CheckStrings();
  if (FLinePos >= 0 && FLinePos < std::int32_t(FStrings->size()))
    FStr = (*FStrings)[std::size_t(FLinePos)];
  else
    FStr.clear();
  // The kept text may reuse the same buffer as the line before: every
  // position moves to its start.
  SetLinePtr(FStr.c_str());
  FSourcePtr = FTokenPtr = FLinePtr;
}

void TStringsParser::SetLinePos(std::int32_t AValue) {
  CheckStrings();
  if (AValue == FLinePos && AValue >= 0 && AValue < std::int32_t(FStrings->size()) &&
      FStr == (*FStrings)[std::size_t(AValue)])
    return;
  FLinePos = AValue;
  LineChanged();
}

std::int32_t TStringsParser::NextToken() {
  CheckStrings();
  std::int32_t kind = SimpleNextToken();
  while (kind == TokenKind::EndOfText) {
    if (FLinePos >= std::int32_t(FStrings->size()))
      return kind;
    ++FLinePos;
    LineChanged();
    if (FEOLIsSignificant && FParserState == ParserStates::Normal) {
      FToken = TokenKind::EndOfLine;
      return FToken;
    }
    kind = SimpleNextToken();
  }
  return kind;
}

void TStringsParser::ResetParser() {
  FLinePos = 0;
  LineChanged();
  FParserState = 0;
  FToken = TokenKind::NoToken;
}
