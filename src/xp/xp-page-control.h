#pragma once

#include "classes.h"
#include "controls.h"
#include "xp-controls.h"
#include "xp-tab-control.h"

#include <windows.h>

#include <string>

// The tab control whose tabs are pages: each tab is one tab sheet, a
// client-aligned container shown while it is the active page. The page
// control keeps the ordered list of its sheets, shows one at a time, moves
// the focus with the page and keeps tab selection and active page in step.

class TWinXPPageControl;

class TWinXPTabSheet : public TXPCustomControl {
public:
  explicit TWinXPTabSheet(TComponent* AOwner);
  ~TWinXPTabSheet() override;
  std::wstring ClassName() const override { return L"TWinXPTabSheet"; }
  void BeforeDestruction() override;

  TWinXPPageControl* PageControl() const { return FPageControl; }
  void SetPageControl(TWinXPPageControl* AValue);
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int AValue);
  // Position in the page list, -1 without a page control. Writing it moves
  // the sheet (at most to the last place) and selects it; a negative value
  // raises the page list's index error.
  int PageIndex() const;
  void SetPageIndex(int AValue);
  bool TabVisible() const { return FTabVisible; }
  void SetTabVisible(bool AValue);
  // Whether the tab is shown now.
  bool TabShowing() const { return FTabShowing; }
  // Position of the tab among the shown tabs, -1 when not shown.
  int TabIndex() const;
  // The object the page control's Tabs show for this sheet; not owned.
  void* Data() const { return FData; }
  void SetData(void* AValue) { FData = AValue; }

  TNotifyEvent OnHide;
  TNotifyEvent OnShow;

  void ShowingChanged() override;
  void EnabledChanged() override;
  void TextChanged() override;

protected:
  void CreateParams(TCreateParams& AParams) override;
  void ValidateParent(TWinControl* AParent) override;
  void EraseBackground(HDC ADC) override;

private:
  friend class TWinXPPageControl;
  friend class TPageControlStrings;
  void RefreshTabShowing();
  void ChangeTabShowing(bool AValue);
  void Unlink();

  void* FData = nullptr;
  TWinXPPageControl* FPageControl = nullptr;
  int FImageIndex = -1;
  bool FTabVisible = true;
  bool FTabShowing = false;
};

class TWinXPPageControl : public TWinXPCustomTabControl {
public:
  explicit TWinXPPageControl(TComponent* AOwner);
  ~TWinXPPageControl() override;
  std::wstring ClassName() const override { return L"TWinXPPageControl"; }

  TWinXPTabSheet* ActivePage() const { return FActivePage; }
  // Ignored for a sheet of another page control.
  void SetActivePage(TWinXPTabSheet* AValue);
  int ActivePageIndex() const;
  void SetActivePageIndex(int AValue) { SelectPageAt(AValue); }
  int PageCount() const { return FPages.Count(); }
  TWinXPTabSheet* Pages(int AIndex) const { return FPages.Item<TWinXPTabSheet>(AIndex); }
  int IndexOfPage(const TWinXPTabSheet* APage) const { return FPages.IndexOf(APage); }

  void InsertPage(TWinXPTabSheet* APage);
  void InsertPageAt(int AIndex, TWinXPTabSheet* APage);
  // Takes the sheet out of the list and makes the page after it (wrapping
  // round) active, or none when it was the only one.
  void RemovePage(TWinXPTabSheet* APage);
  TWinXPTabSheet* FindNextPage(TWinXPTabSheet* ACurPage, bool AGoForward, bool ACheckTabVisible);
  // Exchanges or moves entries of the page list.
  void ExchangePages(int AIndex1, int AIndex2);
  void MovePage(int ACurIndex, int ANewIndex);

  void LockTabChanges();
  void UnlockTabChanges();
  void TabShown();
  void TabHidden(TWinXPTabSheet* APage, int AOldIndex);
  // The pane behind a sheet, drawn into the sheet's DC.
  void DrawPaneBehind(TWinXPTabSheet* ASheet, HDC ADC);

protected:
  bool IsTabSelectable(int AIndex) override;
  std::unique_ptr<TStrings> CreateTabStrings() override;
  bool IsTabShown(int AIndex) override;
  bool TabHasNoImage(int AIndex) override;
  void SelectPageAt(int AIndex) override;
  void FocusAfterClick() override;

private:
  void AttachPage(TWinXPTabSheet* APage);
  void SwitchActivePage(TWinXPTabSheet* APage);
  void FocusSheet(TWinXPTabSheet* APage);

  TWinXPTabSheet* FActivePage = nullptr;
  TList FPages;
};
