#pragma once

#include "change-links.h"
#include "controls.h"
#include "graphics.h"
#include "image-lists.h"
#include "xp-controls.h"
#include "xp-tab-painter.h"
#include "xp-up-down.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

// The library's owner-drawn tab control: one row of tabs along the top or
// the bottom edge, a page pane filling the rest, tabs scrolled sideways with
// an arrow pair when they do not fit, hot tracking, keyboard and
// accelerator selection and an OnChanging/OnChange pair around every
// selection change. Drawn with the system's tab elements when themed, from
// the tab painter's images in the emulated look, with edges in the classic
// look.

enum TWinXPTabPosition { tpTop, tpBottom };

using TTabChangingEvent = std::function<void(TControl* ASender, bool& AAllowChange)>;

class TWinXPCustomTabControl : public TXPCustomControl {
public:
  explicit TWinXPCustomTabControl(TComponent* AOwner);
  ~TWinXPCustomTabControl() override;
  std::wstring ClassName() const override { return L"TWinXPCustomTabControl"; }

  TCustomImageList* Images() const { return FImages; }
  void SetImages(TCustomImageList* AValue);
  TWinXPTabPosition TabPosition() const { return FTabPosition; }
  void SetTabPosition(TWinXPTabPosition AValue);
  bool PassFocusOnChange() const { return FPassFocusOnChange; }
  void SetPassFocusOnChange(bool AValue) { FPassFocusOnChange = AValue; }
  TStrings& Tabs() { return *FTabs; }
  // Copies the captions into the control's own list.
  void SetTabs(const TStrings& AValue) { FTabs->Assign(&AValue); }
  // The position of the selected tab among the shown tabs, -1 for none.
  int TabIndex() { return ReadTabIndex(); }
  void SetTabIndex(int AValue);

  TNotifyEvent OnChange;
  TTabChangingEvent OnChanging;

  // The lowest raw index whose rectangle holds the point, else -1.
  int IndexOfTabAt(int AX, int AY);
  // The tab's rectangle in client coordinates; empty when scrolled out.
  RECT TabRect(int AIndex);
  void ScrollTabs(int ADelta);
  void SelectNextPage(bool AGoForward);
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  void Loaded() override;
  void RedrawControl() override;

  // State the tests and the page control read.
  int CurrentTabIndex() const { return FCurrentTabIndex; }
  int StartTab() const { return FStartTab; }
  int HighlightedIndex() const { return FHighlightedIndex; }
  RECT DisplayRect() const { return FDisXPyRect; }
  RECT TabArea() const { return FTabArea; }
  TXPUpDown* ScrollButtons() const { return FScrollBtns; }

  // The one road by which the selection changes.
  void SetCurrentTab(int AIndex);
  // Relayout after the tabs changed; nothing while changes are locked.
  virtual void TabsChanged();
  void InvalidateTabs();
  void ImageListChange();
  int LockCount() const { return FLockTabsChangesCount; }

  void FontChanged() override;
  void EnabledChanged() override;
  void MouseLeave(intptr_t AMarker) override;
  bool DialogChar(wchar_t AChar) override;
  void ValidateInsertControl(TControl* AControl) override;

protected:
  virtual bool IsTabSelectable(int AIndex);
  virtual std::unique_ptr<TStrings> CreateTabStrings();
  virtual void PaintTabItem(TCanvas& ACanvas, int AIndex, const RECT& ARect);
  virtual int ReadTabIndex();
  virtual bool IsTabShown(int AIndex);
  virtual bool TabHasNoImage(int AIndex);
  virtual void SelectPageAt(int AIndex);
  virtual void UpdateActivePage();
  virtual void FocusAfterClick();

  virtual bool QueryChanging();
  virtual void DoTabChange();
  virtual bool AllowTabChange();

  void CreateParams(TCreateParams& AParams) override;
  void CreateWnd() override;
  void AdjustClientRect(RECT& ARect) override;
  void Resize() override;
  void Paint() override;
  void EraseBackground(HDC ADC) override;
  void WndProc(TMessage& AMessage) override;
  void MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
  void MouseMove(TShiftState AShift, int AX, int AY) override;
  void Notification(TComponent* AComponent, TOperation AOperation) override;
  LRESULT DialogCode() override { return DLGC_WANTARROWS; }

  // Draws the pane (the system's element when themed, else the painter's).
  void DrawPaneArea(HDC ADC, const RECT& ARect, const RECT& AClip);
  int FindNextTab(int AStart, bool AGoForward, bool AShownOnly);
  int RawToShownIndex(int AIndex);
  int ShownToRawIndex(int AIndex);
  bool IsDesigning() const { return ComponentState().Contains(csDesigning); }
  bool IsLoading() const { return ComponentState().Contains(csLoading); }

  int FLockTabsChangesCount = 0;
  std::unique_ptr<TStrings> FTabs;

private:
  void CalcDisplayRect();
  int GetTabHeight(int AIndex);
  int GetTabWidth(int AIndex);
  int GetTabTop(int AIndex);
  int GetTabOffset(int AIndex);
  int GetTabRightEnd(int AIndex) { return GetTabOffset(AIndex) + GetTabWidth(AIndex); }
  int GetPaneTopOverlap();
  int GetPaneBottomOverlap();
  int GetTabsRightLimit();
  int TabAtForClick(int AX, int AY);
  void SetStartTab(int AValue);
  void ScrollToActiveTab();
  void UpdateScrollButtons();
  void SetHighlightedTab(int AIndex);
  void PaintTabs(TCanvas& ACanvas);
  void DrawTabBackground(TCanvas& ACanvas, const RECT& ARect, const RECT& AClip, int AIndex);
  void GetTabThemeDetail(int AIndex, int& APart, int& AState);
  int CaptionWidth(const std::wstring& ACaption);
  void HandleNCCalcSize(TMessage& AMessage);

  TCustomImageList* FImages = nullptr;
  TChangeLink FImageChangeLink;
  int FHeight = 0;
  int FCurrentTabIndex = -1;
  RECT FDisXPyRect{};
  RECT FTabArea{};
  TXPUpDown* FScrollBtns = nullptr;
  int FStartTab = 0;
  bool FShowActiveTab = false;
  int FSavedTabIndex = -2;
  TWinXPTabPosition FTabPosition = tpTop;
  int FHighlightedIndex = -1;
  bool FUpdatingTabIndex = false;
  int FWidth = 0;
  bool FPassFocusOnChange = false;
  // A one-pixel surface the captions are measured on outside painting.
  std::unique_ptr<TBitmap> FMeasure;
};
