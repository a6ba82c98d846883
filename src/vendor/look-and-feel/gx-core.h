#pragma once

// Interface stable.

// The bottom of the look-and-feel painting library: the process-wide
// resource-string repository, the units loader that holds back heavy
// start-ups while the module loads, the operating-system version flags and
// the library-wide first day of the week.

#include "persistent.h"
#include "rtl-exceptions.h"

#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TBitmap;
using TColor = int32_t;

// The corners of a rectangle, as the painters name them.
enum TgxCorner { coTopLeft, coTopRight, coBottomLeft, coBottomRight };

// Pixels as 32-bit quads, blue, green, red and alpha in memory order.
using TRGBColors = std::vector<RGBQUAD>;
static_assert(sizeof(RGBQUAD) == 4);

// The library's own errors; the GDI+ and edit-control errors derive from it.
class EgxException : public Exception {
public:
  using Exception::Exception;
};

// An event with its sender; an empty one is not called.
using TkxNotifyEvent = std::function<void(TPersistent* ASender)>;

// A text compiled into the module; registered by name with the repository
// so that a localizer can find and translate it.
struct TResourceString {
  const wchar_t* Text;
};

// The text of the string: its translation when one is registered, else its
// own text.
std::wstring LoadTranslatedResString(const TResourceString& AString);
// Registers (or, with nullptr, drops) a translation of the string.
void SetResStringTranslation(const TResourceString& AString, const wchar_t* ATranslation);
// Drops every translation; the strings read their own texts again.
void ReleaseResStringTranslations();

class TgxProductResourceStrings;
class TgxResourceStringsRepository;
using TgxAddResourceStringsProcedure = void (*)(TgxProductResourceStrings& AProduct);
// Offered a string for translation: its name and the string itself.
using TgxLocalizationTranslateResStringEvent =
    std::function<void(const std::wstring& AResStringName, const TResourceString* AResString)>;

// One product's resource strings, by name (ignoring case; a name already
// present keeps its first string).
class TgxProductResourceStrings {
public:
  // ARepository is the one whose translation handler TranslateString asks
  // (the process-wide one when nullptr).
  TgxProductResourceStrings(const std::wstring& AName, TgxAddResourceStringsProcedure AProc,
                            TgxResourceStringsRepository* ARepository = nullptr);
  TgxProductResourceStrings(const TgxProductResourceStrings&) = delete;
  TgxProductResourceStrings& operator=(const TgxProductResourceStrings&) = delete;
  void Add(const std::wstring& AResStringName, const TResourceString* AResString);
  void Clear() { FNames.clear(); }
  const std::wstring& Name() const { return FName; }
  int ResStringsCount() const { return int(FNames.size()); }
  int GetIndexByName(const std::wstring& AName) const;
  std::wstring GetStringName(int AIndex) const;
  std::wstring GetStringValue(int AIndex) const;
  const TResourceString* GetStringAddress(int AIndex) const;
  // Offers the string at AIndex to the repository's translation handler.
  void TranslateString(int AIndex) const;
  // Offers every string, from the first.
  void TranslateStrings() const;

private:
  struct TEntry {
    std::wstring Name;
    const TResourceString* String;
  };
  std::wstring FName;
  TgxResourceStringsRepository* FRepository;
  std::vector<TEntry> FNames; // sorted by name, ignoring case
};

// Listens for changed translations.
class IgxLocalizerListener {
public:
  virtual void TranslationChanged() = 0;

protected:
  ~IgxLocalizerListener() = default;
};

// The registry of products, in registration order.
class TgxResourceStringsRepository {
public:
  ~TgxResourceStringsRepository();
  // Appends a product and runs its add-strings procedure at once; a name
  // registered before is not checked for.
  void RegisterProduct(const std::wstring& AProductName, TgxAddResourceStringsProcedure AProc);
  // Frees the first product of exactly that name; nothing when none.
  void UnRegisterProduct(const std::wstring& AProductName);
  int GetProductIndexByName(const std::wstring& AName) const;
  int ProductsCount() const { return int(FProducts.size()); }
  TgxProductResourceStrings& GetProduct(int AIndex) const { return *FProducts.at(size_t(AIndex)); }
  // The text of the first product, in registration order, that holds the
  // name (ignoring case); empty when none does.
  std::wstring GetOriginalValue(const std::wstring& AName) const;
  // Offers every product's strings, in registration order, to
  // OnTranslateResString; nothing without a handler.
  void Translate();
  TgxLocalizationTranslateResStringEvent OnTranslateResString;
  void AddListener(IgxLocalizerListener* AListener);
  void RemoveListener(IgxLocalizerListener* AListener);
  void NotifyListeners();

private:
  std::vector<TgxProductResourceStrings*> FProducts;
  std::vector<IgxLocalizerListener*> FListeners;
};

// The repository, made on first call (also after the library's shut-down,
// which frees it).
TgxResourceStringsRepository* GetResourceStringsRepository();

// Start and stop procedures of units that must not start while the module
// loads. In a library module the start procedures stay queued.
using TgxUnitProcedure = void (*)();
class TgxUnitsLoader {
public:
  ~TgxUnitsLoader();
  void AddUnit(TgxUnitProcedure AInitializeProc, TgxUnitProcedure AFinalizeProc);
  // Takes the stop procedure back and calls it when it was listed.
  void RemoveUnit(TgxUnitProcedure AFinalizeProc);
  void Initialize();
  void Finalize();
  size_t PendingInitializations() const { return FInitializeList.size(); }
  size_t PendingFinalizations() const { return FFinalizeList.size(); }

private:
  std::vector<TgxUnitProcedure> FInitializeList;
  std::vector<TgxUnitProcedure> FFinalizeList;
};
TgxUnitsLoader& GetUnitsLoader();
// The loader when one exists, without making it.
TgxUnitsLoader* ExistingUnitsLoader();
// Whether the queued start procedures ran.
bool UnitsInitialized();
// True in a module loaded as a dynamic library.
bool IsLibraryModule();

// Operating-system flags, computed by the library's start-up.
struct TgxOSVersionFlags {
  bool Win9xFamily, Win95, Win98, WinMe, NTFamily, Win2000, Win2000Up, WinXP, WinXPUp, Win2000OrXP,
      Vista, VistaUp, Win7Up, Wow64Process;
};
TgxOSVersionFlags ComputeOSVersionFlags(unsigned APlatform, unsigned AMajor, unsigned AMinor);
void InitOSVersionFlags();
const TgxOSVersionFlags& OSVersionFlags();

// The first day of the week, 0 = Sunday .. 6.
std::wstring ReadLocaleString(unsigned long ALocale, unsigned long AType,
                              const std::wstring& ADefault);
// The locale's first day (the locale counts from Monday = 0). A value that
// is not a number counts as the default, Monday.
int FirstWeekDayFromLocaleText(const std::wstring& AText);
int GetLocaleFirstWeekDay();
void AssignFirstWeekDay(int ADay);
void ClearAssignedFirstWeekDay();
bool IsFirstWeekDayAssigned();
int GetEffectiveFirstWeekDay();

// ---- Conversions -----------------------------------------------------------

// Text in a code page to UTF-16 and back; a negative length means the whole
// text, a longer one than the text is cut to it. Unmappable characters come
// out as the system converts them.
std::wstring ConvertAnsiToWide(const std::string& AText, UINT ACodePage = CP_ACP, int ALength = -1);
std::string ConvertWideToAnsi(const std::wstring& AText, UINT ACodePage = CP_ACP, int ALength = -1);
// A one-dimensional array's bytes as they are; anything else as text in
// the ANSI code page.
std::string VariantToAnsiText(const VARIANT& AValue);
std::wstring VariantToWideText(const VARIANT& AValue);
std::wstring VariantToText(const VARIANT& AValue);
// The CT_CTYPE1 bits of the character; 0 when the system cannot say.
WORD QueryCharType(wchar_t AChar);
void InvokeNotifyEvent(TPersistent* ASender, const TkxNotifyEvent& AEvent);
void SwapIntegers(int& A, int& B);
void CopyMemoryBlock(void* ADest, const void* ASource, size_t ACount);
void ZeroMemoryBlock(void* ADest, size_t ACount);
void* AllocZeroedMemory(size_t ASize);
void FreeMemoryBlock(void* ABlock);

// ---- Colours and bitmap pixels ----------------------------------------------

// The colour (system colours resolved) as a quad: blue, green, red in
// memory order and AReserved as the fourth byte.
uint32_t ColorToBgraQuad(TColor AColor, uint8_t AReserved = 0);
// Bits per pixel of the bitmap's format; device and custom formats answer
// the screen's.
int GetBitmapBitsPerPixel(TBitmap& ABitmap);
void InitBitmapInfoHeader32(BITMAPINFOHEADER& AHeader, int AWidth, int AHeight, bool ATopDown);
void InitBitmapInfoHeaderFor(BITMAPINFOHEADER& AHeader, TBitmap& ABitmap, bool ATopDown);
// Every pixel, rows from the top when ATopDown; false for an empty bitmap or
// when a row could not be read (that row is zeros then).
bool ReadBitmapColors(TBitmap& ABitmap, TRGBColors& AColors, bool ATopDown);
// Writes width x height quads back; false for an empty bitmap or too few
// colours.
bool WriteBitmapColors(TBitmap& ABitmap, const TRGBColors& AColors, bool ATopDown);
// A 32-bit bitmap with a pixel whose fourth byte is not zero.
bool BitmapUsesAlpha(TBitmap& ABitmap);

// The unit's start-up and shut-down.
void gxCoreStartup();
void gxCoreShutdown();
