#include "kx-formats.h"
#include "edit-controls-units.h"

#include "format-settings.h"
#include "kx-date-words.h"
#include "unit-steps.h"

#include <algorithm>
#include <cwctype>

namespace {

TkxFormatController* GController = nullptr;
// Whether the library made the controller itself (and so frees it).
bool GControllerOwned = false;

bool SameTextIgnoringCase(const std::wstring& A, const wchar_t* B) {
  return CompareStringOrdinal(A.data(), int(A.size()), B, -1, TRUE) == CSTR_EQUAL;
}

const std::wstring& AMString() {
  return FormatSettings().TimeAMString;
}
const std::wstring& PMString() {
  return FormatSettings().TimePMString;
}

TkxTimeSuffixKind SuffixKind(const std::wstring& AData) {
  if (SameTextIgnoringCase(AData, L"A/P"))
    return tskAP;
  if (SameTextIgnoringCase(AData, L"AM/PM"))
    return tskAMPM;
  return tskAMPMString;
}

size_t LongerSuffixLength() {
  return std::max(AMString().size(), PMString().size());
}

// ---- the parser ----------------------------------------------------------------------------

class TFormatParser {
public:
  explicit TFormatParser(TkxDateTimeFormatInfo& AInfo) : FInfo(AInfo) {}

  // Parses AText at nesting level ALevel; level 2 is the depth nothing
  // goes beyond.
  bool Parse(const std::wstring& AText, int ALevel) {
    if (ALevel >= 2)
      return true;
    const TFormatSettings& settings = FormatSettings();
    wchar_t lastToken = L' ';
    bool hourSeen = false, twelveHour = false;
    size_t i = 0;
    while (i < AText.size()) {
      const wchar_t c = AText[i];
      // A character in two code units is literal text as a whole.
      if (IS_HIGH_SURROGATE(c) && i + 1 < AText.size()) {
        AddLiteral(AText.substr(i, 2));
        lastToken = L' ';
        i += 2;
        continue;
      }
      wchar_t token = c >= L'a' && c <= L'z' ? wchar_t(c - L'a' + L'A') : c;
      if (token >= L'A' && token <= L'Z') {
        if (token == L'M' && lastToken == L'H')
          token = L'N';
        lastToken = token;
      }
      size_t run = 1;
      while (i + run < AText.size() && AText[i + run] == c)
        ++run;
      switch (token) {
      case L'"':
      case L'\'': {
        const size_t close = AText.find(c, i + 1);
        const size_t end = close == std::wstring::npos ? AText.size() : close;
        AddLiteral(AText.substr(i + 1, end - i - 1));
        i = close == std::wstring::npos ? AText.size() : close + 1;
        continue;
      }
      case L'/':
        Add(dtikDateSeparator, L"");
        ++i;
        continue;
      case L':':
        Add(dtikTimeSeparator, L"");
        ++i;
        continue;
      case L'A': {
        const std::wstring rest = AText.substr(i);
        if (StartsWith(rest, L"AM/PM")) {
          Add(dtikTimeSuffix, rest.substr(0, 5));
          twelveHour = true;
          i += 5;
        } else if (StartsWith(rest, L"A/P")) {
          Add(dtikTimeSuffix, rest.substr(0, 3));
          twelveHour = true;
          i += 3;
        } else if (StartsWith(rest, L"AMPM")) {
          Add(dtikTimeSuffix, L"AMPM");
          twelveHour = true;
          i += 4;
        } else if (StartsWith(rest, L"AAAA")) {
          Add(dtikDay, L"DDDD");
          i += 4;
        } else if (StartsWith(rest, L"AAA")) {
          Add(dtikDay, L"DDD");
          i += 3;
        } else {
          AddLiteral(std::wstring(1, c));
          ++i;
        }
        continue;
      }
      default:
        break;
      }
      i += run;
      switch (token) {
      case L'C':
        if (!Parse(settings.ShortDateFormat, ALevel + 1))
          return false;
        AddLiteral(L" ");
        if (!Parse(FLongTimeFormat, ALevel + 1))
          return false;
        break;
      case L'D':
        if (run <= 4)
          Add(dtikDay, std::wstring(run, L'D'));
        else if (!Parse(run == 5 ? settings.ShortDateFormat : settings.LongDateFormat, ALevel + 1))
          return false;
        break;
      case L'E':
      case L'Y':
        Add(dtikYear, run > 2 ? L"YYYY" : L"YY");
        break;
      case L'G':
        return false; // eras are not supported
      case L'H':
        Add(dtikHour, std::wstring(std::min<size_t>(run, 2), L'H'));
        hourSeen = true;
        break;
      case L'M':
        Add(dtikMonth, std::wstring(std::min<size_t>(run, 4), L'M'));
        break;
      case L'N':
        Add(dtikMin, std::wstring(std::min<size_t>(run, 2), L'N'));
        break;
      case L'S':
        Add(dtikSec, std::wstring(std::min<size_t>(run, 2), L'S'));
        break;
      case L'T':
        if (!Parse(run == 1 ? settings.ShortTimeFormat : FLongTimeFormat, ALevel + 1))
          return false;
        break;
      case L'Z':
        Add(dtikMSec, std::wstring(std::min<size_t>(run, 3), L'Z'));
        break;
      default:
        AddLiteral(std::wstring(run, c));
        break;
      }
    }
    if (hourSeen)
      FTwelveHour = twelveHour;
    return true;
  }

  void PostProcess() {
    for (int i = 0; i < FInfo.ItemCount(); ++i)
      if (FInfo.Items(i).Kind == dtikHour) {
        FInfo.Items(i).Data = (FTwelveHour ? L"12" : L"24") + FInfo.Items(i).Data;
        return;
      }
    for (int i = 0; i < FInfo.ItemCount(); ++i)
      if (FInfo.Items(i).Kind == dtikTimeSuffix) {
        FInfo.RemoveItem(i);
        FInfo.SetDefinedItems(dtikTimeSuffix, false);
        return;
      }
  }

  std::wstring FLongTimeFormat;

private:
  static bool StartsWith(const std::wstring& AText, const wchar_t* APrefix) {
    const size_t length = wcslen(APrefix);
    return AText.size() >= length && CompareStringOrdinal(AText.data(), int(length), APrefix,
                                                          int(length), TRUE) == CSTR_EQUAL;
  }
  // Fields come once each; text and separators as often as they occur.
  void Add(TkxDateTimeFormatItemKind AKind, const std::wstring& AData) {
    if (AKind == dtikString || AKind == dtikDateSeparator || AKind == dtikTimeSeparator ||
        !FInfo.DefinedItems(AKind))
      FInfo.AddItem(AKind, AData);
  }
  void AddLiteral(const std::wstring& AText) {
    if (FInfo.ItemCount() > 0 && FInfo.Items(FInfo.ItemCount() - 1).Kind == dtikString)
      FInfo.Items(FInfo.ItemCount() - 1).Data += AText;
    else
      FInfo.AddItem(dtikString, AText);
  }

  TkxDateTimeFormatInfo& FInfo;
  bool FTwelveHour = false;
};

bool ParseWith(TkxDateTimeFormatInfo& AInfo, const std::wstring& AFormat,
               const std::wstring& ALongTimeFormat) {
  AInfo.ClearFormatInfo();
  TFormatParser parser(AInfo);
  parser.FLongTimeFormat = ALongTimeFormat;
  if (!parser.Parse(AFormat.empty() ? L"C" : AFormat, 0)) {
    AInfo.ClearFormatInfo();
    return false;
  }
  parser.PostProcess();
  return true;
}

int StandardMaskLength(const TkxDateTimeFormatItem& AItem) {
  switch (AItem.Kind) {
  case dtikString:
    return int(AItem.Data.size());
  case dtikYear:
    return AItem.Data.size() == 2 ? 2 : 4;
  case dtikMonth:
  case dtikDay:
    return AItem.Data.size() > 2 ? 3 : 2;
  case dtikHour:
  case dtikMin:
  case dtikSec:
    return 2;
  case dtikMSec:
    return 0;
  case dtikTimeSuffix:
    switch (SuffixKind(AItem.Data)) {
    case tskAP:
      return 1;
    case tskAMPM:
      return 2;
    default:
      return int(LongerSuffixLength());
    }
  case dtikDateSeparator:
  case dtikTimeSeparator:
    return 1;
  }
  return 0;
}

std::wstring Quoted(const std::wstring& AText) {
  std::wstring mask;
  QuoteMaskLiteral(mask, AText);
  return mask;
}

std::wstring SeparatorPattern(wchar_t ASeparator) {
  if (ASeparator == 0)
    return L"";
  if (ASeparator == L' ')
    return L"' '";
  return std::wstring(L"\\") + ASeparator;
}

std::wstring Lower(std::wstring AText) {
  for (wchar_t& c : AText)
    c = wchar_t(std::towlower(c));
  return AText;
}

} // namespace

// ---- format infos ----------------------------------------------------------------------------

void TkxDateTimeFormatInfo::AddItem(TkxDateTimeFormatItemKind AKind, const std::wstring& AData) {
  FItems.push_back(std::make_unique<TkxDateTimeFormatItem>(TkxDateTimeFormatItem{AData, AKind}));
  FDefinedItems[AKind] = true;
}

void TkxDateTimeFormatInfo::RemoveItem(int AIndex) {
  FItems.erase(FItems.begin() + AIndex);
}

void TkxDateTimeFormatInfo::ClearFormatInfo() {
  FItems.clear();
  FDefinedItems.fill(false);
}

bool ParseDateTimeFormat(TkxDateTimeFormatInfo& AInfo, const std::wstring& AFormat) {
  return ParseWith(AInfo, AFormat, LongTimeFormatOf(false));
}

std::wstring LongTimeFormatOf(bool AUseMorvikDateTimeFormats) {
  if (AUseMorvikDateTimeFormats)
    return FormatSettings().LongTimeFormat;
  return ConvertLocaleTimeMarkers(ReadLocaleString(GetThreadLocale(), LOCALE_STIMEFORMAT, L""));
}

// ---- masks and formats -----------------------------------------------------------------------

std::wstring StandardMask(const TkxDateTimeFormatInfo& AInfo, TkxMaskMode AMode) {
  if (AInfo.ItemCount() == 0)
    return L"";
  const bool time = AMode == TkxMaskMode::Time;
  std::wstring mask = time ? L"" : L"!";
  for (int i = 0; i < AInfo.ItemCount(); ++i) {
    const TkxDateTimeFormatItem& item = AInfo.Items(i);
    switch (item.Kind) {
    case dtikString:
      for (wchar_t c : item.Data) {
        mask += L'\\';
        mask += c;
      }
      break;
    case dtikYear:
      mask += item.Data.size() == 2 ? L"99" : L"9999";
      break;
    case dtikMonth:
    case dtikDay:
      mask += item.Data.size() > 2 ? L"lll" : L"99";
      break;
    case dtikHour:
    case dtikMin:
    case dtikSec:
      mask += time ? L"00" : L"99";
      break;
    case dtikTimeSuffix:
      mask += std::wstring(size_t(StandardMaskLength(item)), L'c');
      break;
    case dtikDateSeparator:
      mask += L'/';
      break;
    case dtikTimeSeparator:
      mask += L':';
      break;
    case dtikMSec:
      break;
    }
  }
  return mask + (time ? L";1;0" : L";1; ");
}

std::wstring RegExprDateMask(const TkxDateTimeFormatInfo& AInfo) {
  const TFormatSettings& settings = FormatSettings();
  std::wstring mask;
  for (int i = 0; i < AInfo.ItemCount(); ++i) {
    const TkxDateTimeFormatItem& item = AInfo.Items(i);
    switch (item.Kind) {
    case dtikString:
      mask += Quoted(item.Data);
      break;
    case dtikYear:
      mask += item.Data.size() == 2 ? L"\\d\\d" : L"\\d\\d\\d\\d";
      break;
    case dtikMonth: {
      const auto& names =
          item.Data.size() == 4 ? settings.LongMonthNames : settings.ShortMonthNames;
      mask += L"((0?[1-9]|1[012])|(";
      for (size_t m = 0; m < names.size(); ++m)
        mask += (m ? L"|" : L"") + Quoted(names[m]);
      mask += L"))";
      break;
    }
    case dtikDay:
      mask += L"([012]?[1-9]|[123]0|31)";
      break;
    case dtikDateSeparator:
      mask += SeparatorPattern(settings.DateSeparator);
      break;
    default:
      break;
    }
  }
  return mask;
}

std::wstring RegExprTimeMask(const TkxDateTimeFormatInfo& AInfo) {
  std::wstring mask;
  for (int i = 0; i < AInfo.ItemCount(); ++i) {
    const TkxDateTimeFormatItem& item = AInfo.Items(i);
    switch (item.Kind) {
    case dtikString:
      mask += Quoted(item.Data);
      break;
    case dtikHour:
      mask += item.Data.rfind(L"12", 0) == 0 ? L"(0?[1-9]|1[012])" : L"([01]?\\d|2[0-3])";
      break;
    case dtikMin:
    case dtikSec:
      mask += L"[0-5]?\\d";
      break;
    case dtikTimeSuffix:
      switch (SuffixKind(item.Data)) {
      case tskAP:
        mask += L"(A|P)?";
        break;
      case tskAMPM:
        mask += L"(AM|PM)?";
        break;
      default:
        if (!AMString().empty() || !PMString().empty()) {
          std::wstring both = AMString().empty()   ? PMString()
                              : PMString().empty() ? AMString()
                                                   : AMString() + L"'|'" + PMString();
          mask += L"('" + both + L"')?";
        }
        break;
      }
      break;
    case dtikTimeSeparator:
      mask += SeparatorPattern(FormatSettings().TimeSeparator);
      break;
    default:
      break;
    }
  }
  return mask;
}

std::wstring MaskedEditFormat(const TkxDateTimeFormatInfo& AInfo) {
  std::wstring format;
  for (int i = 0; i < AInfo.ItemCount(); ++i) {
    const TkxDateTimeFormatItem& item = AInfo.Items(i);
    switch (item.Kind) {
    case dtikString:
      format += L"'" + item.Data + L"'";
      break;
    case dtikYear:
    case dtikTimeSuffix:
      format += Lower(item.Data);
      break;
    case dtikMonth:
      format += item.Data.size() > 2 ? L"mmm" : L"mm";
      break;
    case dtikDay:
      format += item.Data.size() > 2 ? L"ddd" : L"dd";
      break;
    case dtikHour:
      format += L"hh";
      break;
    case dtikMin:
      format += L"nn";
      break;
    case dtikSec:
      format += L"ss";
      break;
    case dtikDateSeparator:
      format += L'/';
      break;
    case dtikTimeSeparator:
      format += L':';
      break;
    case dtikMSec:
      break;
    }
  }
  return format;
}

std::wstring DateEditFormatOf(const std::wstring& AShortDateFormat) {
  std::wstring format;
  for (size_t i = 0; i < AShortDateFormat.size(); ++i) {
    const wchar_t c = AShortDateFormat[i];
    format += c;
    const bool lone = (c == L'd' || c == L'M') && (i == 0 || AShortDateFormat[i - 1] != c) &&
                      (i + 1 == AShortDateFormat.size() || AShortDateFormat[i + 1] != c);
    if (lone)
      format += c;
  }
  return format;
}

std::wstring BuildCurrencyFormat() {
  const TFormatSettings& settings = FormatSettings();
  const std::wstring number =
      L",0." + std::wstring(size_t(std::max(settings.CurrencyDecimals, 0)), L'0');
  std::wstring symbol;
  for (wchar_t c : settings.CurrencyString)
    symbol += c == L',' || c == L'.' ? std::wstring(L"'") + c + L"'" : std::wstring(1, c);
  static const wchar_t* const kPositive[] = {L"SN", L"NS", L"S N", L"N S"};
  static const wchar_t* const kNegative[] = {L"(SN)", L"-SN",  L"S-N",   L"SN-",  L"(NS)", L"-NS",
                                             L"N-S",  L"NS-",  L"-N S",  L"-S N", L"N S-", L"S N-",
                                             L"S -N", L"N- S", L"(S N)", L"(N S)"};
  const auto expand = [&](const wchar_t* APattern) {
    std::wstring text;
    for (const wchar_t* p = APattern; *p; ++p)
      text += *p == L'S' ? symbol : *p == L'N' ? number : std::wstring(1, *p);
    return text;
  };
  const int positive = std::clamp(settings.CurrencyFormat, 0, 3);
  const int negative = std::clamp(settings.NegCurrFormat, 0, 15);
  return expand(kPositive[positive]) + L";" + expand(kNegative[negative]);
}

// ---- the controller ------------------------------------------------------------------------

TkxFormatController::TkxFormatController() {
  GetFormats();
  GetResourceStringsRepository()->AddListener(this);
}

TkxFormatController::~TkxFormatController() {
  GetResourceStringsRepository()->RemoveListener(this);
  if (GController == this) {
    GController = nullptr;
    GControllerOwned = false;
  }
}

void TkxFormatController::GetFormats() {
  if (!GController)
    GController = this;
  const TFormatSettings& settings = FormatSettings();
  if (!FAssignedCurrencyFormat)
    FCurrencyFormat = BuildCurrencyFormat();
  FDateEditFormat = DateEditFormatOf(settings.ShortDateFormat);
  const std::wstring longTime = LongTimeFormatOf(FUseMorvikDateTimeFormats);
  ParseWith(FDateFormatInfo, settings.ShortDateFormat, longTime);
  ParseWith(FTimeFormatInfo, longTime, longTime);
  ParseWith(FDateTimeFormatInfo, settings.ShortDateFormat + L" " + longTime, longTime);
  FDateEditMask = StandardMask(FDateFormatInfo, TkxMaskMode::Date);
  if (!FAssignedStandardDateEditMask)
    FStandardDateEditMask = FDateEditMask;
  if (!FAssignedRegExprDateEditMask) {
    FRegExprDateEditMask = RegExprDateMask(FDateFormatInfo);
    AddSmartInputWords(FRegExprDateEditMask, false);
  }
  if (!FAssignedRegExprDateTimeEditMask) {
    FRegExprDateTimeEditMask =
        RegExprDateMask(FDateFormatInfo) + L" ' '(" + RegExprTimeMask(FTimeFormatInfo) + L")?";
    AddSmartInputWords(FRegExprDateTimeEditMask, true);
  }
  if (!FAssignedStandardDateTimeEditMask)
    FStandardDateTimeEditMask = StandardMask(FDateTimeFormatInfo, TkxMaskMode::DateTime);
  FMaskedDateEditFormat = MaskedEditFormat(FDateFormatInfo);
  FMaskedDateTimeEditFormat = MaskedEditFormat(FDateTimeFormatInfo);
}

void TkxFormatController::AddListener(IkxFormatControllerListener* AListener) {
  if (AListener && std::find(FList.begin(), FList.end(), AListener) == FList.end())
    FList.push_back(AListener);
}

void TkxFormatController::RemoveListener(IkxFormatControllerListener* AListener) {
  FList.erase(std::remove(FList.begin(), FList.end(), AListener), FList.end());
}

void TkxFormatController::NotifyListeners() {
  // A listener may leave the list while it hears of the change.
  const std::vector<IkxFormatControllerListener*> listeners = FList;
  for (IkxFormatControllerListener* listener : listeners)
    if (std::find(FList.begin(), FList.end(), listener) != FList.end())
      listener->FormatChanged();
}

void TkxFormatController::EndUpdate() {
  if (FLockCount > 0 && --FLockCount == 0)
    NotifyListeners();
}

std::wstring TkxFormatController::RegExprCustomDateEditMask(const std::wstring& AFormatString) {
  TkxDateTimeFormatInfo info;
  ParseDateTimeFormat(info, AFormatString);
  return RegExprDateMask(info);
}

bool TkxFormatController::GetDateTimeFormatItemStandardMaskInfo(
    const TkxDateTimeFormatInfo& AFormatInfo, int APos, TkxDateTimeFormatItemInfo& AItemInfo) {
  if (APos <= 0 || AFormatInfo.ItemCount() == 0)
    return false;
  int start = 1;
  for (int i = 0; i < AFormatInfo.ItemCount(); ++i) {
    const TkxDateTimeFormatItem& item = AFormatInfo.Items(i);
    const int length = StandardMaskLength(item);
    if (APos >= start && APos < start + length) {
      AItemInfo.Kind = item.Kind;
      AItemInfo.ItemZoneStart = start;
      AItemInfo.ItemZoneLength = length;
      if (item.Kind == dtikTimeSuffix)
        AItemInfo.TimeSuffixKind = SuffixKind(item.Data);
      return true;
    }
    start += length;
  }
  return false;
}

int TkxFormatController::GetDateTimeStandardMaskStringLength(
    const TkxDateTimeFormatInfo& AFormatInfo) {
  int length = 0;
  for (int i = 0; i < AFormatInfo.ItemCount(); ++i)
    length += StandardMaskLength(AFormatInfo.Items(i));
  return length;
}

void TkxFormatController::Refresh() {
  if (FLockCount != 0)
    return;
  GetFormats();
  NotifyListeners();
}

template <typename T> void TkxFormatController::SetAndRefresh(T& AField, T AValue) {
  if (AField == AValue)
    return;
  AField = AValue;
  Refresh();
}

void TkxFormatController::SetMask(bool& AAssigned, std::wstring& AField,
                                  const std::wstring& AValue) {
  AAssigned = true;
  if (AField == AValue)
    return;
  AField = AValue;
  Refresh();
}

void TkxFormatController::SetCurrencyFormat(const std::wstring& AValue) {
  SetMask(FAssignedCurrencyFormat, FCurrencyFormat, AValue);
}
void TkxFormatController::SetRegExprDateEditMask(const std::wstring& AValue) {
  SetMask(FAssignedRegExprDateEditMask, FRegExprDateEditMask, AValue);
}
void TkxFormatController::SetRegExprDateTimeEditMask(const std::wstring& AValue) {
  SetMask(FAssignedRegExprDateTimeEditMask, FRegExprDateTimeEditMask, AValue);
}
void TkxFormatController::SetStandardDateEditMask(const std::wstring& AValue) {
  SetMask(FAssignedStandardDateEditMask, FStandardDateEditMask, AValue);
}
void TkxFormatController::SetStandardDateTimeEditMask(const std::wstring& AValue) {
  SetMask(FAssignedStandardDateTimeEditMask, FStandardDateTimeEditMask, AValue);
}
void TkxFormatController::SetAssignedCurrencyFormat(bool AValue) {
  SetAndRefresh(FAssignedCurrencyFormat, AValue);
}
void TkxFormatController::SetAssignedRegExprDateEditMask(bool AValue) {
  SetAndRefresh(FAssignedRegExprDateEditMask, AValue);
}
void TkxFormatController::SetAssignedRegExprDateTimeEditMask(bool AValue) {
  SetAndRefresh(FAssignedRegExprDateTimeEditMask, AValue);
}
void TkxFormatController::SetAssignedStandardDateEditMask(bool AValue) {
  SetAndRefresh(FAssignedStandardDateEditMask, AValue);
}
void TkxFormatController::SetAssignedStandardDateTimeEditMask(bool AValue) {
  SetAndRefresh(FAssignedStandardDateTimeEditMask, AValue);
}
void TkxFormatController::SetFirstWeekOfYear(TkxFirstWeekOfYear AValue) {
  SetAndRefresh(FFirstWeekOfYear, AValue);
}
void TkxFormatController::SetUseMorvikDateTimeFormats(bool AValue) {
  SetAndRefresh(FUseMorvikDateTimeFormats, AValue);
}

void TkxFormatController::SetStartOfWeek(int AValue) {
  if (AValue == StartOfWeek())
    return;
  AssignFirstWeekDay(AValue);
  Refresh();
}

void TkxFormatController::SetAssignedStartOfWeek(bool AValue) {
  if (AValue)
    AssignFirstWeekDay(GetLocaleFirstWeekDay());
  else
    ClearAssignedFirstWeekDay();
}

void TkxFormatController::TranslationChanged() {
  GetFormats();
  NotifyListeners();
}

bool TkxFormatController::WndProc(UINT AMsg, WPARAM AWParam, LPARAM ALParam, LRESULT& AResult) {
  if (AMsg == WM_SETTINGCHANGE && AWParam == 0 && ALParam &&
      lstrcmpiW(reinterpret_cast<const wchar_t*>(ALParam), L"intl") == 0 &&
      UpdateFormatSettings()) {
    SetThreadLocale(LOCALE_USER_DEFAULT);
    ReloadFormatSettings();
    GetFormats();
    NotifyListeners();
    AResult = 0;
    return true;
  }
  if (AMsg == WM_TIMECHANGE) {
    const std::vector<IkxFormatControllerListener*> listeners = FList;
    for (IkxFormatControllerListener* listener : listeners)
      if (auto* time = dynamic_cast<IkxTimeChangeListener*>(listener))
        time->TimeChanged();
    AResult = 0;
    return true;
  }
  return false;
}

TkxFormatController* GetFormatController() {
  if (!GController) {
    auto* controller = new TkxFormatController();
    GController = controller;
    GControllerOwned = true;
  }
  return GController;
}

void KxFormatsStartup() {
  // The format controller is made on first use by a date or currency
  // editor; nothing happens at load.
}

void KxFormatsShutdown() {
  try {
    if (GController && GControllerOwned)
      delete GController;
    GController = nullptr;
    GControllerOwned = false;
  } catch (...) {
  }
}
