#include "gx-core.h"

#include "unit-steps.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <map>

namespace {

int CompareIgnoringCase(const std::wstring& A, const std::wstring& B) {
  return CompareStringOrdinal(A.c_str(), int(A.size()), B.c_str(), int(B.size()), TRUE) -
         CSTR_EQUAL;
}

std::map<const TResourceString*, std::wstring>& Translations() {
  static std::map<const TResourceString*, std::wstring> translations;
  return translations;
}

TgxResourceStringsRepository* GRepository = nullptr;
TgxUnitsLoader* GLoader = nullptr;
bool GUnitsInitialized = false;
TgxOSVersionFlags GFlags{};
int GFirstWeekDay = 0;
bool GFirstWeekDayAssigned = false;

} // namespace

std::wstring LoadTranslatedResString(const TResourceString& AString) {
  const auto found = Translations().find(&AString);
  if (found != Translations().end())
    return found->second;
  return AString.Text ? AString.Text : L"";
}

void SetResStringTranslation(const TResourceString& AString, const wchar_t* ATranslation) {
  if (ATranslation)
    Translations()[&AString] = ATranslation;
  else
    Translations().erase(&AString);
}

void ReleaseResStringTranslations() {
  Translations().clear();
}

// ---- Products and the repository -----------------------------------------

TgxProductResourceStrings::TgxProductResourceStrings(const std::wstring& AName,
                                                     TgxAddResourceStringsProcedure AProc)
    : FName(AName) {
  if (AProc)
    AProc(*this);
}

void TgxProductResourceStrings::Add(const std::wstring& AResStringName,
                                    const TResourceString* AResString) {
  const auto at = std::lower_bound(FNames.begin(), FNames.end(), AResStringName,
                                   [](const TEntry& AEntry, const std::wstring& AName) {
                                     return CompareIgnoringCase(AEntry.Name, AName) < 0;
                                   });
  if (at != FNames.end() && CompareIgnoringCase(at->Name, AResStringName) == 0)
    return;
  FNames.insert(at, {AResStringName, AResString});
}

int TgxProductResourceStrings::GetIndexByName(const std::wstring& AName) const {
  const auto at = std::lower_bound(FNames.begin(), FNames.end(), AName,
                                   [](const TEntry& AEntry, const std::wstring& AKey) {
                                     return CompareIgnoringCase(AEntry.Name, AKey) < 0;
                                   });
  if (at != FNames.end() && CompareIgnoringCase(at->Name, AName) == 0)
    return int(at - FNames.begin());
  return -1;
}

std::wstring TgxProductResourceStrings::GetStringName(int AIndex) const {
  return FNames.at(size_t(AIndex)).Name;
}

std::wstring TgxProductResourceStrings::GetStringValue(int AIndex) const {
  const TResourceString* string = FNames.at(size_t(AIndex)).String;
  return string && string->Text ? string->Text : L"";
}

TgxResourceStringsRepository::~TgxResourceStringsRepository() {
  while (!FProducts.empty())
    UnRegisterProduct(FProducts.front()->Name());
}

void TgxResourceStringsRepository::RegisterProduct(const std::wstring& AProductName,
                                                   TgxAddResourceStringsProcedure AProc) {
  auto* product = new TgxProductResourceStrings(AProductName, AProc);
  FProducts.push_back(product);
  LedgerRegistration(L"ResourceStringProduct", AProductName.c_str(), true);
}

void TgxResourceStringsRepository::UnRegisterProduct(const std::wstring& AProductName) {
  const int index = GetProductIndexByName(AProductName);
  if (index < 0)
    return;
  TgxProductResourceStrings* product = FProducts[size_t(index)];
  FProducts.erase(FProducts.begin() + index);
  LedgerRegistration(L"ResourceStringProduct", AProductName.c_str(), false);
  delete product;
}

int TgxResourceStringsRepository::GetProductIndexByName(const std::wstring& AName) const {
  for (size_t i = 0; i < FProducts.size(); ++i)
    if (FProducts[i]->Name() == AName)
      return int(i);
  return -1;
}

std::wstring TgxResourceStringsRepository::GetOriginalValue(const std::wstring& AName) const {
  for (const TgxProductResourceStrings* product : FProducts) {
    const int index = product->GetIndexByName(AName);
    if (index >= 0)
      return product->GetStringValue(index);
  }
  return L"";
}

void TgxResourceStringsRepository::AddListener(IgxLocalizerListener* AListener) {
  if (std::find(FListeners.begin(), FListeners.end(), AListener) == FListeners.end())
    FListeners.push_back(AListener);
}

void TgxResourceStringsRepository::RemoveListener(IgxLocalizerListener* AListener) {
  const auto found = std::find(FListeners.begin(), FListeners.end(), AListener);
  if (found != FListeners.end())
    FListeners.erase(found);
}

void TgxResourceStringsRepository::NotifyListeners() {
  const size_t count = FListeners.size();
  for (size_t i = 0; i < count && i < FListeners.size(); ++i)
    FListeners[i]->TranslationChanged();
}

TgxResourceStringsRepository* GetResourceStringsRepository() {
  if (!GRepository)
    GRepository = new TgxResourceStringsRepository;
  return GRepository;
}

// ---- Units loader --------------------------------------------------------

TgxUnitsLoader::~TgxUnitsLoader() {
  Finalize();
}

void TgxUnitsLoader::AddUnit(TgxUnitProcedure AInitializeProc, TgxUnitProcedure AFinalizeProc) {
  if (AInitializeProc) {
    if (IsLibraryModule()) {
      FInitializeList.push_back(AInitializeProc);
    } else {
      GUnitsInitialized = true;
      AInitializeProc();
    }
  }
  if (AFinalizeProc)
    FFinalizeList.push_back(AFinalizeProc);
}

void TgxUnitsLoader::RemoveUnit(TgxUnitProcedure AFinalizeProc) {
  const auto found = std::find(FFinalizeList.begin(), FFinalizeList.end(), AFinalizeProc);
  if (found == FFinalizeList.end())
    return;
  FFinalizeList.erase(found);
  if (AFinalizeProc)
    AFinalizeProc();
}

void TgxUnitsLoader::Initialize() {
  const std::vector<TgxUnitProcedure> procedures = std::move(FInitializeList);
  FInitializeList.clear();
  for (const TgxUnitProcedure procedure : procedures)
    if (procedure)
      procedure();
  GUnitsInitialized = true;
}

void TgxUnitsLoader::Finalize() {
  const std::vector<TgxUnitProcedure> procedures = std::move(FFinalizeList);
  FFinalizeList.clear();
  if (GUnitsInitialized)
    for (auto it = procedures.rbegin(); it != procedures.rend(); ++it) {
      try {
        if (*it)
          (*it)();
      } catch (...) {
        // One unit's failed stop does not keep the others from stopping.
      }
    }
  GUnitsInitialized = false;
}

TgxUnitsLoader& GetUnitsLoader() {
  if (!GLoader)
    GLoader = new TgxUnitsLoader;
  return *GLoader;
}

TgxUnitsLoader* ExistingUnitsLoader() {
  return GLoader;
}

bool UnitsInitialized() {
  return GUnitsInitialized;
}

bool IsLibraryModule() {
  // The module holding this code is a library when it is not the program.
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&IsLibraryModule), &module);
  return module != GetModuleHandleW(nullptr);
}

// ---- Version flags -------------------------------------------------------

TgxOSVersionFlags ComputeOSVersionFlags(unsigned APlatform, unsigned AMajor, unsigned AMinor) {
  TgxOSVersionFlags f{};
  f.Win9xFamily = APlatform == VER_PLATFORM_WIN32_WINDOWS;
  f.Win95 = f.Win9xFamily && AMinor == 0;
  f.Win98 = f.Win9xFamily && AMinor == 10;
  f.WinMe = f.Win9xFamily && AMinor == 90;
  f.NTFamily = APlatform == VER_PLATFORM_WIN32_NT;
  f.Win2000 = f.NTFamily && AMajor == 5 && AMinor == 0;
  f.Win2000Up = f.NTFamily && AMajor >= 5;
  f.WinXP = f.NTFamily && AMajor == 5 && AMinor > 0;
  f.WinXPUp = f.Win2000Up && !f.Win2000;
  f.Win2000OrXP = f.Win2000 || f.WinXP;
  f.Vista = f.NTFamily && AMajor == 6;
  f.VistaUp = f.NTFamily && AMajor >= 6;
  f.Win7Up = f.NTFamily && (AMajor > 6 || (AMajor == 6 && AMinor >= 1));
  return f;
}

void InitOSVersionFlags() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  GetVersionExW(&info);
  GFlags = ComputeOSVersionFlags(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion);
  using TIsWow64Process = BOOL(WINAPI*)(HANDLE, PBOOL);
  const auto isWow64 = reinterpret_cast<TIsWow64Process>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "IsWow64Process")));
  BOOL wow64 = FALSE;
  GFlags.Wow64Process = isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

const TgxOSVersionFlags& OSVersionFlags() {
  return GFlags;
}

// ---- First day of the week -----------------------------------------------

std::wstring ReadLocaleString(unsigned long ALocale, unsigned long AType,
                              const std::wstring& ADefault) {
  const int length = GetLocaleInfoW(ALocale, AType, nullptr, 0);
  if (length <= 0)
    return ADefault;
  std::wstring text(size_t(length), L'\0');
  const int read = GetLocaleInfoW(ALocale, AType, text.data(), length);
  text.resize(read > 0 ? size_t(read - 1) : 0);
  return text;
}

int FirstWeekDayFromLocaleText(const std::wstring& AText) {
  // Only a plain decimal number is a day; anything else is Monday, the
  // locale's own default.
  int monday = 0;
  const bool numeric =
      !AText.empty() && AText.size() < 6 &&
      std::all_of(AText.begin(), AText.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
  if (numeric)
    monday = std::stoi(AText);
  const int day = monday + 1;
  return day > 6 ? 0 : day;
}

int GetLocaleFirstWeekDay() {
  return FirstWeekDayFromLocaleText(
      ReadLocaleString(GetThreadLocale(), LOCALE_IFIRSTDAYOFWEEK, L"0"));
}

void AssignFirstWeekDay(int ADay) {
  if (ADay < 0 || ADay > 6)
    return;
  GFirstWeekDay = ADay;
  GFirstWeekDayAssigned = true;
}

void ClearAssignedFirstWeekDay() {
  GFirstWeekDayAssigned = false;
}

bool IsFirstWeekDayAssigned() {
  return GFirstWeekDayAssigned;
}

int GetEffectiveFirstWeekDay() {
  return GFirstWeekDayAssigned ? GFirstWeekDay : GetLocaleFirstWeekDay();
}

// ---- The unit ------------------------------------------------------------

void gxCoreStartup() {
  InitOSVersionFlags();
  GFirstWeekDay = GetLocaleFirstWeekDay();
  GFirstWeekDayAssigned = false;
}

void gxCoreShutdown() {
  delete GRepository;
  GRepository = nullptr;
  // Stop procedures still queued belong to units that did not take them
  // back; the services they stop go with this unload all the same, so each
  // runs once, the last queued first, and the loader goes.
  if (TgxUnitsLoader* loader = GLoader) {
    GLoader = nullptr;
    GUnitsInitialized = true;
    loader->Finalize();
    delete loader;
  }
}
