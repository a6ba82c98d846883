#pragma once

#include "gx-core.h"
#include "kx-controls.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

// The user's regional formats in the forms the date, time and currency
// editors work with: parsed date and time formats, edit masks in the
// positional and the regular-expression mask languages, display formats for
// masked editing and the currency display format, kept up to date when the
// user changes the regional settings.

enum TkxDateTimeFormatItemKind : uint8_t {
  dtikString,
  dtikYear,
  dtikMonth,
  dtikDay,
  dtikHour,
  dtikMin,
  dtikSec,
  dtikMSec,
  dtikTimeSuffix,
  dtikDateSeparator,
  dtikTimeSeparator,
};

enum TkxTimeSuffixKind { tskAP, tskAMPM, tskAMPMString };
enum TkxFirstWeekOfYear { fwySystem, fwyJan1, fwyFirstFullWeek, fwyFirstFourDays };

// One part of a format: literal text, or the pattern letters of a field
// ("MM", "12H", "NN", "AM/PM"); separators carry no data.
struct TkxDateTimeFormatItem {
  std::wstring Data;
  TkxDateTimeFormatItemKind Kind;
};

// A parsed format: its parts in order, and which field kinds it already has.
class TkxDateTimeFormatInfo {
public:
  void AddItem(TkxDateTimeFormatItemKind AKind, const std::wstring& AData);
  void RemoveItem(int AIndex);
  void ClearFormatInfo();
  int ItemCount() const { return int(FItems.size()); }
  TkxDateTimeFormatItem& Items(int AIndex) { return *FItems.at(size_t(AIndex)); }
  const TkxDateTimeFormatItem& Items(int AIndex) const { return *FItems.at(size_t(AIndex)); }
  bool DefinedItems(TkxDateTimeFormatItemKind AKind) const { return FDefinedItems[AKind]; }
  void SetDefinedItems(TkxDateTimeFormatItemKind AKind, bool AValue) {
    FDefinedItems[AKind] = AValue;
  }

private:
  std::array<bool, 11> FDefinedItems{};
  std::vector<std::unique_ptr<TkxDateTimeFormatItem>> FItems;
};

struct TkxDateTimeFormatItemInfo {
  TkxDateTimeFormatItemKind Kind = dtikString;
  int32_t ItemZoneStart = 0; // 1-based, in the standard mask's text
  int32_t ItemZoneLength = 0;
  TkxTimeSuffixKind TimeSuffixKind = tskAP;
};

// Parses a format ("C" when empty) into AInfo; a format with an era letter,
// or whose nested format fails, leaves it empty. Answers whether it parsed.
bool ParseDateTimeFormat(TkxDateTimeFormatInfo& AInfo, const std::wstring& AFormat);

class IkxFormatControllerListener {
public:
  virtual void FormatChanged() = 0;

protected:
  ~IkxFormatControllerListener() = default;
};

// Offered besides IkxFormatControllerListener by listeners that want to hear
// of a change of the system time.
class IkxTimeChangeListener {
public:
  virtual void TimeChanged() = 0;

protected:
  ~IkxTimeChangeListener() = default;
};

// A message window of the loading thread, so it hears the broadcasts of
// changed regional settings and system time.
class TkxFormatController final : public TkxMessageWindow, private IgxLocalizerListener {
public:
  TkxFormatController();
  TkxFormatController(const TkxFormatController&) = delete;
  TkxFormatController& operator=(const TkxFormatController&) = delete;
  ~TkxFormatController() override;

  // Recomputes every format and mask.
  void GetFormats();
  void AddListener(IkxFormatControllerListener* AListener);
  void RemoveListener(IkxFormatControllerListener* AListener);
  void NotifyListeners();
  void BeginUpdate() { ++FLockCount; }
  // Tells the listeners when the last update ends; does not recompute.
  void EndUpdate();

  static std::wstring RegExprCustomDateEditMask(const std::wstring& AFormatString);
  static bool GetDateTimeFormatItemStandardMaskInfo(const TkxDateTimeFormatInfo& AFormatInfo,
                                                    int APos, TkxDateTimeFormatItemInfo& AItemInfo);
  static int GetDateTimeStandardMaskStringLength(const TkxDateTimeFormatInfo& AFormatInfo);

  // --- properties ---
  const std::wstring& CurrencyFormat() const { return FCurrencyFormat; }
  void SetCurrencyFormat(const std::wstring& AValue);
  const std::wstring& DateEditFormat() const { return FDateEditFormat; }
  const std::wstring& DateEditMask() const { return FDateEditMask; }
  const std::wstring& MaskedDateEditFormat() const { return FMaskedDateEditFormat; }
  const std::wstring& MaskedDateTimeEditFormat() const { return FMaskedDateTimeEditFormat; }
  const std::wstring& RegExprDateEditMask() const { return FRegExprDateEditMask; }
  void SetRegExprDateEditMask(const std::wstring& AValue);
  const std::wstring& RegExprDateTimeEditMask() const { return FRegExprDateTimeEditMask; }
  void SetRegExprDateTimeEditMask(const std::wstring& AValue);
  const std::wstring& StandardDateEditMask() const { return FStandardDateEditMask; }
  void SetStandardDateEditMask(const std::wstring& AValue);
  const std::wstring& StandardDateTimeEditMask() const { return FStandardDateTimeEditMask; }
  void SetStandardDateTimeEditMask(const std::wstring& AValue);
  bool AssignedCurrencyFormat() const { return FAssignedCurrencyFormat; }
  void SetAssignedCurrencyFormat(bool AValue);
  bool AssignedRegExprDateEditMask() const { return FAssignedRegExprDateEditMask; }
  void SetAssignedRegExprDateEditMask(bool AValue);
  bool AssignedRegExprDateTimeEditMask() const { return FAssignedRegExprDateTimeEditMask; }
  void SetAssignedRegExprDateTimeEditMask(bool AValue);
  bool AssignedStandardDateEditMask() const { return FAssignedStandardDateEditMask; }
  void SetAssignedStandardDateEditMask(bool AValue);
  bool AssignedStandardDateTimeEditMask() const { return FAssignedStandardDateTimeEditMask; }
  void SetAssignedStandardDateTimeEditMask(bool AValue);
  TkxFirstWeekOfYear FirstWeekOfYear() const { return FFirstWeekOfYear; }
  void SetFirstWeekOfYear(TkxFirstWeekOfYear AValue);
  bool UseMorvikDateTimeFormats() const { return FUseMorvikDateTimeFormats; }
  void SetUseMorvikDateTimeFormats(bool AValue);
  // Sunday = 0.
  int StartOfWeek() const { return GetEffectiveFirstWeekDay(); }
  void SetStartOfWeek(int AValue);
  bool AssignedStartOfWeek() const { return IsFirstWeekDayAssigned(); }
  void SetAssignedStartOfWeek(bool AValue);
  const TkxDateTimeFormatInfo& DateFormatInfo() const { return FDateFormatInfo; }
  const TkxDateTimeFormatInfo& TimeFormatInfo() const { return FTimeFormatInfo; }
  const TkxDateTimeFormatInfo& DateTimeFormatInfo() const { return FDateTimeFormatInfo; }

private:
  void TranslationChanged() override;
  bool WndProc(UINT AMsg, WPARAM AWParam, LPARAM ALParam, LRESULT& AResult) override;
  void Refresh();
  template <typename T> void SetAndRefresh(T& AField, T AValue);
  void SetMask(bool& AAssigned, std::wstring& AField, const std::wstring& AValue);

  bool FAssignedCurrencyFormat = false;
  bool FAssignedRegExprDateEditMask = false;
  bool FAssignedRegExprDateTimeEditMask = false;
  bool FAssignedStandardDateEditMask = false;
  bool FAssignedStandardDateTimeEditMask = false;
  std::wstring FCurrencyFormat;
  std::wstring FDateEditFormat;
  std::wstring FDateEditMask;
  TkxFirstWeekOfYear FFirstWeekOfYear = fwySystem;
  std::vector<IkxFormatControllerListener*> FList;
  int FLockCount = 0;
  std::wstring FMaskedDateEditFormat;
  std::wstring FMaskedDateTimeEditFormat;
  std::wstring FRegExprDateEditMask;
  std::wstring FRegExprDateTimeEditMask;
  std::wstring FStandardDateEditMask;
  std::wstring FStandardDateTimeEditMask;
  bool FUseMorvikDateTimeFormats = false;
  TkxDateTimeFormatInfo FDateFormatInfo;
  TkxDateTimeFormatInfo FDateTimeFormatInfo;
  TkxDateTimeFormatInfo FTimeFormatInfo;
};

// The library-wide controller, made on first call; freed at unload.
TkxFormatController* GetFormatController();

// The pieces the controller builds its masks from, for a parsed format.
enum class TkxMaskMode { Date = 0, Time = 1, DateTime = 2 };
std::wstring StandardMask(const TkxDateTimeFormatInfo& AInfo, TkxMaskMode AMode);
std::wstring RegExprDateMask(const TkxDateTimeFormatInfo& AInfo);
std::wstring RegExprTimeMask(const TkxDateTimeFormatInfo& AInfo);
std::wstring MaskedEditFormat(const TkxDateTimeFormatInfo& AInfo);
// The short date format with every lone "d" and "M" doubled.
std::wstring DateEditFormatOf(const std::wstring& AShortDateFormat);
// The currency display format of the current regional settings.
std::wstring BuildCurrencyFormat();
// The long time format the controller works with.
std::wstring LongTimeFormatOf(bool AUseMorvikDateTimeFormats);
