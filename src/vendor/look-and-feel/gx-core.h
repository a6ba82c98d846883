#pragma once

// Interface stable.

// The bottom of the look-and-feel painting library: the process-wide
// resource-string repository, the units loader that holds back heavy
// start-ups while the module loads, the operating-system version flags and
// the library-wide first day of the week.

#include <cstdint>
#include <string>
#include <vector>

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
using TgxAddResourceStringsProcedure = void (*)(TgxProductResourceStrings& AProduct);

// One product's resource strings, by name (ignoring case; a name already
// present keeps its first string).
class TgxProductResourceStrings {
public:
  TgxProductResourceStrings(const std::wstring& AName, TgxAddResourceStringsProcedure AProc);
  void Add(const std::wstring& AResStringName, const TResourceString* AResString);
  void Clear() { FNames.clear(); }
  const std::wstring& Name() const { return FName; }
  int ResStringsCount() const { return int(FNames.size()); }
  int GetIndexByName(const std::wstring& AName) const;
  std::wstring GetStringName(int AIndex) const;
  std::wstring GetStringValue(int AIndex) const;

private:
  struct TEntry {
    std::wstring Name;
    const TResourceString* String;
  };
  std::wstring FName;
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

// The unit's start-up and shut-down.
void gxCoreStartup();
void gxCoreShutdown();
