#pragma once

// Interface stable.

// Visual styles through UxTheme.dll, bound by name at start-up, and the
// theme manager: one cached theme handle per kind of themed object, whether
// themed drawing is usable, and who hears of theme changes.

#include <windows.h>

#include <uxtheme.h>

#include <cstdint>
#include <functional>
#include <string>

// The functions bound from UxTheme.dll, in binding order.
inline constexpr const char* kUxThemeFunctionNames[] = {
    "CloseThemeData",
    "DrawThemeBackground",
    "DrawThemeEdge",
    "DrawThemeIcon",
    "DrawThemeParentBackground",
    "DrawThemeText",
    "DrawThemeTextEx",
    "EnableThemeDialogTexture",
    "GetCurrentThemeName",
    "GetThemeAppProperties",
    "GetThemeBackgroundContentRect",
    "GetThemeBackgroundRegion",
    "GetThemeBackgroundExtent",
    "GetThemeBool",
    "GetThemeColor",
    "GetThemeDocumentationProperty",
    "GetThemeEnumValue",
    "GetThemeFilename",
    "GetThemeFont",
    "GetThemeInt",
    "GetThemeIntList",
    "GetThemeMargins",
    "GetThemeMetric",
    "GetThemePartSize",
    "GetThemePosition",
    "GetThemePropertyOrigin",
    "GetThemeRect",
    "GetThemeString",
    "GetThemeSysBool",
    "GetThemeSysColor",
    "GetThemeSysColorBrush",
    "GetThemeSysFont",
    "GetThemeSysInt",
    "GetThemeSysSize",
    "GetThemeSysString",
    "GetThemeTextExtent",
    "GetThemeTextMetrics",
    "GetWindowTheme",
    "HitTestThemeBackground",
    "IsAppThemed",
    "IsThemeActive",
    "IsThemePartDefined",
    "IsThemeBackgroundPartiallyTransparent",
    "IsThemeDialogTextureEnabled",
    "OpenThemeData",
    "SetThemeAppProperties",
    "SetWindowTheme",
    "BufferedPaintInit",
    "BufferedPaintUnInit",
    "BeginBufferedPaint",
    "EndBufferedPaint",
    "BufferedPaintSetAlpha",
};
inline constexpr size_t kUxThemeFunctionCount = std::size(kUxThemeFunctionNames);

bool UxThemeLoaded();
// The bound function of that name (nullptr when unbound or not listed).
void* UxThemeFunction(const char* AName);
size_t UxThemeBoundCount();

// Wrappers; only IsThemeActive checks its binding, the others are called
// once IsThemingUsable has answered true.
HTHEME gxOpenThemeData(HWND AWnd, const wchar_t* AClassList);
HRESULT gxCloseThemeData(HTHEME ATheme);
BOOL gxIsThemeActive();
HRESULT gxGetCurrentThemeName(wchar_t* AFileName, int AFileNameCount, wchar_t* AColor,
                              int AColorCount, wchar_t* ASize, int ASizeCount);
HRESULT gxDrawThemeBackground(HTHEME ATheme, HDC ADC, int APart, int AState, const RECT* ARect,
                              const RECT* AClip);
HRESULT gxDrawThemeParentBackground(HWND AWnd, HDC ADC, const RECT* ARect);

enum TgxThemedObjectType {
  totButton,
  totClock,
  totComboBox,
  totEdit,
  totExplorerBar,
  totHeader,
  totListBox,
  totListView,
  totMenu,
  totPage,
  totProgress,
  totRebar,
  totScrollBar,
  totSpin,
  totStartPanel,
  totStatus,
  totTab,
  totTaskBand,
  totTaskBar,
  totToolBar,
  totToolTip,
  totTrackBar,
  totTrayNotify,
  totTreeview,
  totWindow,
};
inline constexpr int kThemedObjectTypeCount = 25;
using TgxThemedObjectTypes = uint32_t; // bit n: type n

bool ThemesActive();
bool IsThemingUsable(TgxThemedObjectTypes ATypes = 0);
HTHEME AcquireObjectTheme(TgxThemedObjectType AType, const wchar_t* AClassList = nullptr);
HRESULT ReleaseObjectTheme(TgxThemedObjectType AType);
void ReleaseAllObjectThemes();
bool IsLunaOrRoyaleTheme();
// The theme-change window while the manager runs with UxTheme.dll, else
// nullptr.
HWND ThemeChangeWindow();

// Hears of theme and system-colour changes while it lives (listed only when
// UxTheme.dll is loaded).
class TgxThemeChangedNotificator {
public:
  TgxThemeChangedNotificator();
  virtual ~TgxThemeChangedNotificator();
  TgxThemeChangedNotificator(const TgxThemeChangedNotificator&) = delete;
  TgxThemeChangedNotificator& operator=(const TgxThemeChangedNotificator&) = delete;
  std::function<void()> OnThemeChanged;
  virtual void NotifyThemeChanged();
};

void gxUxThemeStartup();
void gxUxThemeShutdown();
void gxThemeManagerStartup();
void gxThemeManagerShutdown();
