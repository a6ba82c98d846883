#pragma once

#include "alpha-image.h"
#include "graphics.h"
#include "string-lists.h"
#include "unit-steps.h"

#include <windows.h>

#include <memory>
#include <string>

// What the tab control and the page control stand on: their `Tabs` list
// classes and the one process-wide painter of tabs and page panes.

class TWinXPCustomTabControl;
class TWinXPPageControl;

// The tab captions of a plain tab control: every change relays the tabs out.
class TTabControlStrings : public TStringList {
public:
  explicit TTabControlStrings(TWinXPCustomTabControl* ATabControl) : FTabControl(ATabControl) {}
  std::wstring ClassName() const override { return L"TTabControlStrings"; }
  void Changed() override;

private:
  TWinXPCustomTabControl* FTabControl;
};

// The sheets of a page control seen as strings: entry i is page i, its
// string the sheet's caption and its object the sheet's data pointer. Adding
// an entry makes a sheet, deleting one frees it. Every change runs inside
// one lock of the page control's relayout, so it relays out once.
class TPageControlStrings : public TStrings {
public:
  explicit TPageControlStrings(TWinXPPageControl* ATabControl) : FTabControl(ATabControl) {}
  std::wstring ClassName() const override { return L"TPageControlStrings"; }

  std::wstring Get(int AIndex) const override;
  int GetCount() const override;
  void* GetObject(int AIndex) const override;
  void Put(int AIndex, const std::wstring& S) override;
  void PutObject(int AIndex, void* AObject) override;
  void Insert(int AIndex, const std::wstring& S) override;
  void InsertObject(int AIndex, const std::wstring& S, void* AObject) override;
  void Delete(int AIndex) override;
  void Clear() override;
  void Exchange(int AIndex1, int AIndex2) override;
  void Move(int ACurIndex, int ANewIndex) override;

private:
  TWinXPPageControl* FTabControl;
};

// The tab painter: tabs and page panes in the emulated XP look from alpha
// images, and in the classic look with edges.
class TThemePageControlData {
public:
  // The frame of a tab image each state takes.
  enum TTabState { xtsNormal, xtsHot, xtsSelected, xtsDisabled, xtsFocused };

  // Loads the five images; a missing or damaged one raises the loader's
  // error.
  TThemePageControlData();
  TThemePageControlData(const TThemePageControlData&) = delete;
  TThemePageControlData& operator=(const TThemePageControlData&) = delete;
  ~TThemePageControlData();

  void DrawPane(HDC ADC, const RECT& ARect, const RECT& AClipRect);
  void DrawTab(HDC ADC, const RECT& ARect, TTabState AState, const RECT& AClipRect);
  void DrawTabLeftEdge(HDC ADC, const RECT& ARect, TTabState AState, const RECT& AClipRect);
  void DrawTabRightEdge(HDC ADC, const RECT& ARect, TTabState AState, const RECT& AClipRect);
  void DrawTabBothEdge(HDC ADC, const RECT& ARect, TTabState AState, const RECT& AClipRect);
  // One tab with edges; the side touching the pane (bottom for a top tab)
  // stays open.
  void DrawClassicTab(HDC ADC, const RECT& ARect, const RECT& AClipRect, bool AIsTop);
  void DrawRoot(HDC ADC, const RECT& ARect, TColor AColor);

  // How far the pane's frame reaches in: 4 and 2 in the emulated XP look,
  // 3 otherwise.
  int NCCalcSizeDelta() const;
  int NCCalcSizeTopDelta() const;

  TAlphaImage& PaneImage() { return *FPaneImage; }
  TAlphaImage& TabImage() { return *FTabImage; }

private:
  void DrawTabImage(TAlphaImage& AImage, HDC ADC, const RECT& ARect, TTabState AState,
                    const RECT& AClipRect);

  std::unique_ptr<TAlphaImage> FPaneImage;
  std::unique_ptr<TAlphaImage> FTabBothEdgeImage;
  std::unique_ptr<TAlphaImage> FTabLeftEdgeImage;
  std::unique_ptr<TAlphaImage> FTabImage;
  std::unique_ptr<TAlphaImage> FTabRightEdgeImage;
};

// The tmHeight of the font, measured on a screen context.
int GetFontTextHeight(TFont& AFont);
// True in the themed state (2).
bool IsSystemThemed();
// The process-wide painter, made on the first call.
TThemePageControlData& GetTabPainter();
// Whether the painter exists now.
bool TabPainterExists();
void FreeTabPainter();

// The parts of the system's tab theme class the controls draw.
constexpr int kTabPartTopTabItem = 5;
constexpr int kTabPartTopTabItemLeftEdge = 6;
constexpr int kTabPartTopTabItemRightEdge = 7;
constexpr int kTabPartTopTabItemBothEdge = 8;
constexpr int kTabPartPane = 9;
constexpr int kTabStateNormal = 1;
constexpr int kTabStateHot = 2;
constexpr int kTabStateSelected = 3;

// One part of the system's tab theme into ARect, limited to AClip; nothing
// where the theme is missing.
void DrawTabThemePart(HWND AWindow, HDC ADC, int APart, int AState, const RECT& ARect,
                      const RECT* AClip);
// The insets of the pane part's content for a 20 x 20 rectangle; false
// (insets zero) where the theme is missing.
bool GetTabPaneInsets(HWND AWindow, RECT& AInsets);
// The system's drawing of a window's parent under ARect.
void DrawThemedParentBackground(HWND AWindow, HDC ADC, const RECT& ARect);

// The unit's entry for the module's unit steps: the start-up clears the
// painter reference, the shut-down frees the painter.
void XPPageControlStartup();
void XPPageControlShutdown();
inline constexpr TUnitStep kXPPageControlUnitStep{L"XPPageControl", &XPPageControlStartup,
                                                  &XPPageControlShutdown};
