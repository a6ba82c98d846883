#include "gx-core.h"

#include "graphics.h"
#include "unit-steps.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
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
                                                     TgxAddResourceStringsProcedure AProc,
                                                     TgxResourceStringsRepository* ARepository)
    : FName(AName), FRepository(ARepository) {
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

const TResourceString* TgxProductResourceStrings::GetStringAddress(int AIndex) const {
  return FNames.at(size_t(AIndex)).String;
}

void TgxProductResourceStrings::TranslateString(int AIndex) const {
  const TEntry& entry = FNames.at(size_t(AIndex));
  TgxResourceStringsRepository* repository =
      FRepository ? FRepository : GetResourceStringsRepository();
  if (repository->OnTranslateResString)
    repository->OnTranslateResString(entry.Name, entry.String);
}

void TgxProductResourceStrings::TranslateStrings() const {
  for (int i = 0; i < ResStringsCount(); ++i)
    TranslateString(i);
}

TgxResourceStringsRepository::~TgxResourceStringsRepository() {
  while (!FProducts.empty())
    UnRegisterProduct(FProducts.front()->Name());
}

void TgxResourceStringsRepository::RegisterProduct(const std::wstring& AProductName,
                                                   TgxAddResourceStringsProcedure AProc) {
  auto* product = new TgxProductResourceStrings(AProductName, AProc, this);
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

void TgxResourceStringsRepository::Translate() {
  if (!OnTranslateResString)
    return;
  for (const TgxProductResourceStrings* product : FProducts)
    product->TranslateStrings();
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

// ---- Conversions ---------------------------------------------------------

namespace {

int ConvertedLength(int ALength, size_t ASize) {
  // A length past the text would read beyond it: the text's end is the end.
  return ALength < 0 || size_t(ALength) > ASize ? int(ASize) : ALength;
}

} // namespace

std::wstring ConvertAnsiToWide(const std::string& AText, UINT ACodePage, int ALength) {
  const int length = ConvertedLength(ALength, AText.size());
  if (length == 0)
    return L"";
  const DWORD flags = ACodePage == CP_UTF8 ? 0 : MB_PRECOMPOSED;
  const int count = MultiByteToWideChar(ACodePage, 0, AText.data(), length, nullptr, 0);
  if (count <= 0)
    return L"";
  std::wstring result(size_t(count), L'\0');
  const int written =
      MultiByteToWideChar(ACodePage, flags, AText.data(), length, result.data(), count);
  result.resize(size_t(written > 0 ? written : 0));
  return result;
}

std::string ConvertWideToAnsi(const std::wstring& AText, UINT ACodePage, int ALength) {
  const int length = ConvertedLength(ALength, AText.size());
  if (length == 0)
    return "";
  const int count =
      WideCharToMultiByte(ACodePage, 0, AText.data(), length, nullptr, 0, nullptr, nullptr);
  if (count <= 0)
    return "";
  std::string result(size_t(count), '\0');
  const int written = WideCharToMultiByte(ACodePage, 0, AText.data(), length, result.data(), count,
                                          nullptr, nullptr);
  result.resize(size_t(written > 0 ? written : 0));
  return result;
}

std::string VariantToAnsiText(const VARIANT& AValue) {
  if ((V_VT(&AValue) & VT_ARRAY) && !(V_VT(&AValue) & VT_BYREF) && V_ARRAY(&AValue) &&
      SafeArrayGetDim(V_ARRAY(&AValue)) == 1) {
    SAFEARRAY* array = V_ARRAY(&AValue);
    LONG low = 0, high = -1;
    SafeArrayGetLBound(array, 1, &low);
    SafeArrayGetUBound(array, 1, &high);
    // As many bytes as the bounds count elements: an array of wider
    // elements gives its first bytes, never more than it holds.
    const size_t count = high >= low ? size_t(high - low + 1) : 0;
    void* data = nullptr;
    std::string result;
    if (count > 0 && SUCCEEDED(SafeArrayAccessData(array, &data))) {
      result.assign(static_cast<const char*>(data), count);
      SafeArrayUnaccessData(array);
    }
    return result;
  }
  return ConvertWideToAnsi(VariantToWideText(AValue), CP_ACP);
}

std::wstring VariantToWideText(const VARIANT& AValue) {
  if (V_VT(&AValue) == VT_BSTR)
    return V_BSTR(&AValue) ? std::wstring(V_BSTR(&AValue), SysStringLen(V_BSTR(&AValue))) : L"";
  if (V_VT(&AValue) & VT_ARRAY)
    return ConvertAnsiToWide(VariantToAnsiText(AValue), CP_ACP);
  VARIANT text;
  VariantInit(&text);
  std::wstring result;
  if (SUCCEEDED(VariantChangeType(&text, const_cast<VARIANT*>(&AValue), 0, VT_BSTR)) &&
      V_BSTR(&text))
    result.assign(V_BSTR(&text), SysStringLen(V_BSTR(&text)));
  VariantClear(&text);
  return result;
}

std::wstring VariantToText(const VARIANT& AValue) {
  return VariantToWideText(AValue);
}

WORD QueryCharType(wchar_t AChar) {
  WORD type = 0;
  return GetStringTypeW(CT_CTYPE1, &AChar, 1, &type) ? type : 0;
}

void InvokeNotifyEvent(TPersistent* ASender, const TkxNotifyEvent& AEvent) {
  if (AEvent)
    AEvent(ASender);
}

void SwapIntegers(int& A, int& B) {
  std::swap(A, B);
}

void CopyMemoryBlock(void* ADest, const void* ASource, size_t ACount) {
  if (ACount)
    std::memmove(ADest, ASource, ACount);
}

void ZeroMemoryBlock(void* ADest, size_t ACount) {
  if (ACount)
    std::memset(ADest, 0, ACount);
}

void* AllocZeroedMemory(size_t ASize) {
  return std::calloc(ASize ? ASize : 1, 1);
}

void FreeMemoryBlock(void* ABlock) {
  std::free(ABlock);
}

// ---- Colours and bitmap pixels -------------------------------------------

uint32_t ColorToBgraQuad(TColor AColor, uint8_t AReserved) {
  const uint32_t rgb = uint32_t(ColorToRGB(AColor));
  // 0x00BBGGRR: red is the low byte; the quad wants blue there.
  return (rgb & 0xFF) << 16 | (rgb & 0xFF00) | (rgb >> 16 & 0xFF) | uint32_t(AReserved) << 24;
}

int GetBitmapBitsPerPixel(TBitmap& ABitmap) {
  switch (ABitmap.PixelFormat()) {
  case TPixelFormat::pf1bit:
    return 1;
  case TPixelFormat::pf4bit:
    return 4;
  case TPixelFormat::pf8bit:
    return 8;
  case TPixelFormat::pf15bit:
  case TPixelFormat::pf16bit:
    return 16;
  case TPixelFormat::pf24bit:
    return 24;
  case TPixelFormat::pf32bit:
    return 32;
  default:
    break;
  }
  // A device-format bitmap has the screen's depth.
  int bits = 0;
  if (const HDC dc = GetDC(nullptr)) {
    bits = GetDeviceCaps(dc, BITSPIXEL);
    ReleaseDC(nullptr, dc);
  }
  return bits;
}

// The header the DIB calls read is the system's 40-byte one.
static_assert(sizeof(BITMAPINFOHEADER) == 40);

void InitBitmapInfoHeader32(BITMAPINFOHEADER& AHeader, int AWidth, int AHeight, bool ATopDown) {
  AHeader = BITMAPINFOHEADER{};
  AHeader.biSize = sizeof(BITMAPINFOHEADER);
  AHeader.biWidth = AWidth;
  AHeader.biHeight = ATopDown ? -AHeight : AHeight;
  AHeader.biPlanes = 1;
  AHeader.biBitCount = 32;
  AHeader.biCompression = BI_RGB;
}

void InitBitmapInfoHeaderFor(BITMAPINFOHEADER& AHeader, TBitmap& ABitmap, bool ATopDown) {
  InitBitmapInfoHeader32(AHeader, ABitmap.Width(), ABitmap.Height(), ATopDown);
}

namespace {

// A memory context compatible with the screen, for the DIB calls.
class TScreenMemoryDC {
public:
  TScreenMemoryDC() : FHandle(CreateCompatibleDC(nullptr)) {}
  ~TScreenMemoryDC() {
    if (FHandle)
      DeleteDC(FHandle);
  }
  TScreenMemoryDC(const TScreenMemoryDC&) = delete;
  TScreenMemoryDC& operator=(const TScreenMemoryDC&) = delete;
  HDC Handle() const { return FHandle; }

private:
  HDC FHandle;
};

bool ReadBitmapPixels32(TBitmap& ABitmap, RGBQUAD* APixels, bool ATopDown) {
  const int width = ABitmap.Width(), height = ABitmap.Height();
  if (width <= 0 || height <= 0)
    return false;
  BITMAPINFO info{};
  InitBitmapInfoHeaderFor(info.bmiHeader, ABitmap, ATopDown);
  TScreenMemoryDC dc;
  const HBITMAP handle = ABitmap.Handle();
  if (GetDIBits(dc.Handle(), handle, 0, UINT(height), APixels, &info, DIB_RGB_COLORS))
    return true;
  // Some rows may still be readable: read them one by one, a row that
  // fails twice leaving zeros.
  bool result = true;
  for (int i = 0; i < height; ++i) {
    RGBQUAD* line = APixels + size_t(i) * size_t(width);
    if (GetDIBits(dc.Handle(), handle, UINT(i), 1, line, &info, DIB_RGB_COLORS))
      continue;
    std::vector<RGBQUAD> temporary(static_cast<size_t>(width));
    const bool read =
        GetDIBits(dc.Handle(), handle, UINT(i), 1, temporary.data(), &info, DIB_RGB_COLORS) != 0;
    std::copy(temporary.begin(), temporary.end(), line);
    result = result && read;
  }
  return result;
}

} // namespace

bool ReadBitmapColors(TBitmap& ABitmap, TRGBColors& AColors, bool ATopDown) {
  const int width = ABitmap.Width(), height = ABitmap.Height();
  if (width <= 0 || height <= 0)
    return false;
  AColors.assign(size_t(width) * size_t(height), RGBQUAD{});
  return ReadBitmapPixels32(ABitmap, AColors.data(), ATopDown);
}

bool WriteBitmapColors(TBitmap& ABitmap, const TRGBColors& AColors, bool ATopDown) {
  const int width = ABitmap.Width(), height = ABitmap.Height();
  // Fewer colours than pixels would have the system read past the array.
  if (width <= 0 || height <= 0 || AColors.size() < size_t(width) * size_t(height))
    return false;
  BITMAPINFO info{};
  InitBitmapInfoHeaderFor(info.bmiHeader, ABitmap, ATopDown);
  TScreenMemoryDC dc;
  return SetDIBits(dc.Handle(), ABitmap.Handle(), 0, UINT(height), AColors.data(), &info,
                   DIB_RGB_COLORS) != 0;
}

bool BitmapUsesAlpha(TBitmap& ABitmap) {
  if (GetBitmapBitsPerPixel(ABitmap) <= 31)
    return false;
  TRGBColors colors;
  ReadBitmapColors(ABitmap, colors, false);
  return std::any_of(colors.begin(), colors.end(),
                     [](const RGBQUAD& AQuad) { return AQuad.rgbReserved != 0; });
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
