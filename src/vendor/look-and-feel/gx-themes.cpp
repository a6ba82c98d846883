#include "gx-themes.h"

#include "kept-objects.h"
#include "application.h"
#include "seams.h"

#include <commctrl.h>

#include <algorithm>
#include <cwctype>
#include <memory>
#include <vector>

namespace {

std::unique_ptr<TSystemLibrary>& GUxTheme = Kept<TSystemLibrary>();
void* GFunctions[kUxThemeFunctionCount] = {};

template <typename TFunction> TFunction Bound(const char* AName) {
  return reinterpret_cast<TFunction>(UxThemeFunction(AName));
}

constexpr const wchar_t* kDefaultClassNames[kThemedObjectTypeCount] = {
    L"Button",   L"Clock",    L"ComboBox",   L"Edit",     L"ExplorerBar",
    L"Header",   L"ListBox",  L"ListView",   L"Menu",     L"Page",
    L"Progress", L"Rebar",    L"ScrollBar",  L"Spin",     L"StartPanel",
    L"Status",   L"Tab",      L"TaskBand",   L"TaskBar",  L"ToolBar",
    L"ToolTip",  L"TrackBar", L"TrayNotify", L"TreeView", L"Window",
};

struct TThemeData {
  HTHEME Theme = nullptr;
  std::wstring ClassNameList;
};

bool GThemesActive = false;
bool GClassNamesFilled = false;
TThemeData GThemeData[kThemedObjectTypeCount];
std::unique_ptr<THiddenWindow>& GReceiver = Kept<THiddenWindow>();
std::unique_ptr<std::vector<TgxThemeChangedNotificator*>>& GNotificators =
    Kept<std::vector<TgxThemeChangedNotificator*>>();

std::wstring Upper(std::wstring AText) {
  std::transform(AText.begin(), AText.end(), AText.begin(),
                 [](wchar_t c) { return wchar_t(std::towupper(c)); });
  return AText;
}

void NotifyThemeListeners() {
  if (!GNotificators)
    return;
  const size_t count = GNotificators->size();
  for (size_t i = 0; i < count && i < GNotificators->size(); ++i)
    (*GNotificators)[i]->NotifyThemeChanged();
}

bool ReceiverMessage(HWND AWnd, UINT AMsg, WPARAM AWParam, LPARAM ALParam, LRESULT& AResult) {
  if (AMsg != WM_THEMECHANGED && AMsg != WM_SYSCOLORCHANGE)
    return false;
  ReleaseAllObjectThemes();
  DefWindowProcW(AWnd, AMsg, AWParam, ALParam);
  GThemesActive = gxIsThemeActive() != FALSE;
  NotifyThemeListeners();
  AResult = 0;
  return true;
}

} // namespace

bool UxThemeLoaded() {
  return GUxTheme && GUxTheme->Loaded();
}

void* UxThemeFunction(const char* AName) {
  for (size_t i = 0; i < kUxThemeFunctionCount; ++i)
    if (std::string_view(kUxThemeFunctionNames[i]) == AName)
      return GFunctions[i];
  return nullptr;
}

size_t UxThemeBoundCount() {
  return size_t(std::count_if(std::begin(GFunctions), std::end(GFunctions),
                              [](void* AFunction) { return AFunction != nullptr; }));
}

HTHEME gxOpenThemeData(HWND AWnd, const wchar_t* AClassList) {
  return Bound<HTHEME(WINAPI*)(HWND, LPCWSTR)>("OpenThemeData")(AWnd, AClassList);
}

HRESULT gxCloseThemeData(HTHEME ATheme) {
  return Bound<HRESULT(WINAPI*)(HTHEME)>("CloseThemeData")(ATheme);
}

BOOL gxIsThemeActive() {
  const auto function = Bound<BOOL(WINAPI*)()>("IsThemeActive");
  return function ? function() : FALSE;
}

HRESULT gxGetCurrentThemeName(wchar_t* AFileName, int AFileNameCount, wchar_t* AColor,
                              int AColorCount, wchar_t* ASize, int ASizeCount) {
  return Bound<HRESULT(WINAPI*)(LPWSTR, int, LPWSTR, int, LPWSTR, int)>("GetCurrentThemeName")(
      AFileName, AFileNameCount, AColor, AColorCount, ASize, ASizeCount);
}

HRESULT gxDrawThemeBackground(HTHEME ATheme, HDC ADC, int APart, int AState, const RECT* ARect,
                              const RECT* AClip) {
  return Bound<HRESULT(WINAPI*)(HTHEME, HDC, int, int, const RECT*, const RECT*)>(
      "DrawThemeBackground")(ATheme, ADC, APart, AState, ARect, AClip);
}

HRESULT gxDrawThemeParentBackground(HWND AWnd, HDC ADC, const RECT* ARect) {
  // The call may leave another font selected; the caller's goes back.
  const HGDIOBJ font = GetCurrentObject(ADC, OBJ_FONT);
  const HRESULT result = Bound<HRESULT(WINAPI*)(HWND, HDC, const RECT*)>(
      "DrawThemeParentBackground")(AWnd, ADC, ARect);
  SelectObject(ADC, font);
  return result;
}

// ---- Theme manager -------------------------------------------------------

bool ThemesActive() {
  return GThemesActive;
}

bool IsThemingUsable(TgxThemedObjectTypes ATypes) {
  if (!GThemesActive || !UxThemeLoaded())
    return false;
  for (int type = 0; type < kThemedObjectTypeCount; ++type)
    if ((ATypes & (1u << type)) && !AcquireObjectTheme(TgxThemedObjectType(type)))
      return false;
  return true;
}

HTHEME AcquireObjectTheme(TgxThemedObjectType AType, const wchar_t* AClassList) {
  if (!IsThemingUsable() || AType < 0 || AType >= kThemedObjectTypeCount)
    return nullptr;
  TThemeData& data = GThemeData[AType];
  if (data.Theme) {
    if (!AClassList || Upper(AClassList) == Upper(data.ClassNameList))
      return data.Theme;
    ReleaseObjectTheme(AType);
  }
  std::wstring classList = AClassList                    ? std::wstring(AClassList)
                           : !data.ClassNameList.empty() ? data.ClassNameList
                                                         : std::wstring(kDefaultClassNames[AType]);
  data.Theme = gxOpenThemeData(nullptr, classList.c_str());
  data.ClassNameList = data.Theme ? classList : std::wstring();
  return data.Theme;
}

HRESULT ReleaseObjectTheme(TgxThemedObjectType AType) {
  if (!IsThemingUsable())
    return S_FALSE;
  TThemeData& data = GThemeData[AType];
  if (!data.Theme)
    return S_OK;
  const HRESULT result = gxCloseThemeData(data.Theme);
  data.Theme = nullptr;
  data.ClassNameList.clear();
  return result;
}

void ReleaseAllObjectThemes() {
  for (TThemeData& data : GThemeData) {
    if (data.Theme && UxThemeLoaded())
      gxCloseThemeData(data.Theme);
    data.Theme = nullptr;
  }
}

bool IsLunaOrRoyaleTheme() {
  if (!IsThemingUsable())
    return false;
  wchar_t file[1024] = {};
  if (FAILED(gxGetCurrentThemeName(file, 1024, nullptr, 0, nullptr, 0)))
    return false;
  std::wstring name = file;
  const size_t slash = name.find_last_of(L"\\/");
  if (slash != std::wstring::npos)
    name.erase(0, slash + 1);
  name = Upper(name);
  return name == L"LUNA.MSSTYLES" || name == L"ROYALE.MSSTYLES";
}

HWND ThemeChangeWindow() {
  return GReceiver ? GReceiver->Handle() : nullptr;
}

TgxThemeChangedNotificator::TgxThemeChangedNotificator() {
  if (GNotificators)
    GNotificators->push_back(this);
}

TgxThemeChangedNotificator::~TgxThemeChangedNotificator() {
  if (!GNotificators)
    return;
  const auto found = std::find(GNotificators->begin(), GNotificators->end(), this);
  if (found != GNotificators->end())
    GNotificators->erase(found);
}

void TgxThemeChangedNotificator::NotifyThemeChanged() {
  if (OnThemeChanged)
    OnThemeChanged();
}

// ---- The units -----------------------------------------------------------

void gxUxThemeStartup() {
  InitCommonControls();
  GUxTheme = std::make_unique<TSystemLibrary>(L"UxTheme.dll");
  if (!GUxTheme->Loaded()) {
    GUxTheme.reset();
    return;
  }
  for (size_t i = 0; i < kUxThemeFunctionCount; ++i)
    GFunctions[i] = reinterpret_cast<void*>(GUxTheme->Proc(kUxThemeFunctionNames[i]));
}

void gxUxThemeShutdown() {
  std::fill(std::begin(GFunctions), std::end(GFunctions), nullptr);
  GUxTheme.reset();
}

void gxThemeManagerStartup() {
  GClassNamesFilled = true;
  if (!UxThemeLoaded())
    return;
  GThemesActive = gxIsThemeActive() != FALSE;
  GReceiver = std::make_unique<THiddenWindow>(
      [](UINT AMsg, WPARAM AWParam, LPARAM ALParam, LRESULT& AResult) {
        return ReceiverMessage(GReceiver ? GReceiver->Handle() : nullptr, AMsg, AWParam, ALParam,
                               AResult);
      });
  GNotificators = std::make_unique<std::vector<TgxThemeChangedNotificator*>>();
}

void gxThemeManagerShutdown() {
  if (UxThemeLoaded()) {
    GReceiver.reset();
    GThemesActive = false;
    ReleaseAllObjectThemes();
    GNotificators.reset();
  }
  for (TThemeData& data : GThemeData)
    data = TThemeData();
  GClassNamesFilled = false;
}
