#include "xp-page-control.h"

#include "application.h"
#include "forms.h"
#include "rtl-exceptions.h"
#include "xp-tab-painter.h"

#include <windows.h>

#include <algorithm>

// ===========================================================================
// TWinXPTabSheet

TWinXPTabSheet::TWinXPTabSheet(TComponent* AOwner) : TXPCustomControl(AOwner) {
  SetAlign(alClient);
  FControlStyle |= csAcceptsControls | csDoubleClicks;
  SetVisible(false);
  SetTabStop(false);
  SetParentColor(true);
}

TWinXPTabSheet::~TWinXPTabSheet() {
  if (FPageControl)
    FPageControl->RemovePage(this);
}

void TWinXPTabSheet::BeforeDestruction() {
  if (FPageControl)
    FPageControl->RemovePage(this);
  TXPCustomControl::BeforeDestruction();
}

void TWinXPTabSheet::Unlink() {
  FPageControl = nullptr;
  FTabShowing = false;
}

void TWinXPTabSheet::CreateParams(TCreateParams& AParams) {
  TXPCustomControl::CreateParams(AParams);
  AParams.Style |= WS_CLIPCHILDREN;
}

void TWinXPTabSheet::ValidateParent(TWinControl* AParent) {
  TXPCustomControl::ValidateParent(AParent);
  if (AParent && Owner() && !dynamic_cast<TWinXPPageControl*>(AParent))
    throw Exception(ClassName() + L" can be inserted only in TWinXPPageControl.");
}

void TWinXPTabSheet::SetPageControl(TWinXPPageControl* AValue) {
  if (AValue == FPageControl)
    return;
  if (FPageControl)
    FPageControl->RemovePage(this);
  SetParent(AValue);
  if (AValue)
    AValue->InsertPage(this);
}

int TWinXPTabSheet::PageIndex() const {
  return FPageControl ? FPageControl->IndexOfPage(this) : -1;
}

void TWinXPTabSheet::SetPageIndex(int AValue) {
  if (!FPageControl)
    return;
  const int target = std::min(AValue, FPageControl->PageCount() - 1);
  FPageControl->MovePage(PageIndex(), target);
  FPageControl->SetCurrentTab(target);
}

int TWinXPTabSheet::TabIndex() const {
  if (!FTabShowing || !FPageControl)
    return -1;
  int shown = 0;
  const int own = PageIndex();
  for (int i = 0; i < own; ++i)
    if (FPageControl->Pages(i)->FTabShowing)
      ++shown;
  return shown;
}

void TWinXPTabSheet::SetImageIndex(int AValue) {
  if (AValue == FImageIndex)
    return;
  FImageIndex = AValue;
  if (FTabShowing && FPageControl)
    FPageControl->ImageListChange();
}

void TWinXPTabSheet::SetTabVisible(bool AValue) {
  if (AValue == FTabVisible)
    return;
  FTabVisible = AValue;
  RefreshTabShowing();
}

void TWinXPTabSheet::RefreshTabShowing() {
  ChangeTabShowing(FPageControl && FTabVisible);
}

void TWinXPTabSheet::ChangeTabShowing(bool AValue) {
  if (AValue == FTabShowing)
    return;
  if (AValue) {
    FTabShowing = true;
    FPageControl->TabShown();
    return;
  }
  const int oldIndex = PageIndex();
  FTabShowing = false;
  if (FPageControl)
    FPageControl->TabHidden(this, oldIndex);
}

void TWinXPTabSheet::TextChanged() {
  TXPCustomControl::TextChanged();
  // The tab shows the caption: its width follows it.
  if (FPageControl && FTabShowing)
    FPageControl->TabsChanged();
}

void TWinXPTabSheet::ShowingChanged() {
  TXPCustomControl::ShowingChanged();
  try {
    if (Showing()) {
      if (OnShow)
        OnShow(this);
    } else if (OnHide) {
      OnHide(this);
    }
  } catch (const std::exception& error) {
    if (TApplication* application = ApplicationIfAny())
      application->HandleException(error);
  }
}

void TWinXPTabSheet::EnabledChanged() {
  TXPCustomControl::EnabledChanged();
  for (int i = 0; i < ControlCount(); ++i)
    Controls(i)->EnabledChanged();
}

void TWinXPTabSheet::EraseBackground(HDC ADC) {
  if (IsSystemThemed()) {
    DrawThemedParentBackground(Handle(), ADC, ClientRect());
    return;
  }
  if (FPageControl && Parent() == FPageControl) {
    FPageControl->DrawPaneBehind(this, ADC);
    return;
  }
  TXPCustomControl::EraseBackground(ADC);
}

// ===========================================================================
// TWinXPPageControl

TWinXPPageControl::TWinXPPageControl(TComponent* AOwner) : TWinXPCustomTabControl(AOwner) {
  FControlStyle &= ~uint32_t(csAcceptsControls);
  FTabs = TWinXPPageControl::CreateTabStrings();
}

TWinXPPageControl::~TWinXPPageControl() {
  // The sheets go with their owner (or with this control as their parent):
  // they must not call back into a page control that is going.
  for (int i = 0; i < FPages.Count(); ++i)
    Pages(i)->Unlink();
  FPages.Clear();
  FActivePage = nullptr;
}

std::unique_ptr<TStrings> TWinXPPageControl::CreateTabStrings() {
  return std::make_unique<TPageControlStrings>(this);
}

void TWinXPPageControl::InsertPage(TWinXPTabSheet* APage) {
  FPages.Add(APage);
  AttachPage(APage);
}

void TWinXPPageControl::InsertPageAt(int AIndex, TWinXPTabSheet* APage) {
  FPages.Insert(AIndex, APage);
  AttachPage(APage);
}

void TWinXPPageControl::AttachPage(TWinXPTabSheet* APage) {
  APage->FPageControl = this;
  APage->SetParent(this);
  APage->SetAlign(alClient);
  APage->SetVisible(false);
  APage->RefreshTabShowing();
}

void TWinXPPageControl::RemovePage(TWinXPTabSheet* APage) {
  if (!APage || APage->FPageControl != this)
    return;
  TWinXPTabSheet* next = FindNextPage(APage, true, !IsDesigning());
  if (next == APage)
    next = nullptr;
  FPages.Remove(APage);
  APage->ChangeTabShowing(false);
  APage->FPageControl = nullptr;
  SetActivePage(next);
}

TWinXPTabSheet* TWinXPPageControl::FindNextPage(TWinXPTabSheet* ACurPage, bool AGoForward,
                                                bool ACheckTabVisible) {
  const int index = FindNextTab(FPages.IndexOf(ACurPage), AGoForward, ACheckTabVisible);
  return index >= 0 ? Pages(index) : nullptr;
}

void TWinXPPageControl::ExchangePages(int AIndex1, int AIndex2) {
  FPages.Exchange(AIndex1, AIndex2);
}

void TWinXPPageControl::MovePage(int ACurIndex, int ANewIndex) {
  FPages.Move(ACurIndex, ANewIndex);
}

void TWinXPPageControl::SetActivePage(TWinXPTabSheet* AValue) {
  if (AValue && AValue->FPageControl != this)
    return;
  SwitchActivePage(AValue);
  if (!AValue) {
    if (!IsLoading())
      SetCurrentTab(-1);
  } else if (AValue == FActivePage) {
    SetCurrentTab(AValue->PageIndex());
  }
}

int TWinXPPageControl::ActivePageIndex() const {
  return FActivePage ? FActivePage->PageIndex() : -1;
}

void TWinXPPageControl::SelectPageAt(int AIndex) {
  if (AIndex >= 0 && AIndex < PageCount())
    SetActivePage(Pages(AIndex));
  else
    SetActivePage(nullptr);
}

void TWinXPPageControl::SwitchActivePage(TWinXPTabSheet* APage) {
  if (APage == FActivePage)
    return;
  TCustomForm* form = GetParentForm(this);
  if (form && FActivePage && form->ActiveControl() &&
      FActivePage->ContainsControl(form->ActiveControl())) {
    // The focus leaves the page before the page goes.
    try {
      form->SetActiveControl(FActivePage);
    } catch (const EInvalidOperation&) {
    }
    if (form->ActiveControl() != FActivePage) {
      SetCurrentTab(FActivePage->PageIndex());
      return;
    }
  }
  if (APage) {
    APage->BringToFront();
    APage->SetVisible(true);
    if (form && FActivePage && form->ActiveControl() == FActivePage) {
      try {
        form->SetActiveControl(APage->CanFocus() ? static_cast<TWinControl*>(APage) : this);
      } catch (const EInvalidOperation&) {
      }
    }
  }
  if (FActivePage)
    FActivePage->SetVisible(false);
  FActivePage = APage;
  if (form && FActivePage && form->ActiveControl() == FActivePage)
    FActivePage->SelectNext(nullptr, true, true);
}

void TWinXPPageControl::LockTabChanges() {
  ++FLockTabsChangesCount;
}

void TWinXPPageControl::UnlockTabChanges() {
  if (FLockTabsChangesCount <= 0)
    return;
  --FLockTabsChangesCount;
  if (FLockTabsChangesCount == 0)
    TabsChanged();
}

void TWinXPPageControl::TabShown() {
  TabsChanged();
}

void TWinXPPageControl::TabHidden(TWinXPTabSheet* APage, int AOldIndex) {
  LockTabChanges();
  try {
    InvalidateTabs();
    if (APage == FActivePage)
      SetCurrentTab(std::min(AOldIndex, Tabs().Count() - 1));
    UpdateActivePage();
  } catch (...) {
    UnlockTabChanges();
    throw;
  }
  UnlockTabChanges();
}

bool TWinXPPageControl::IsTabSelectable(int AIndex) {
  return TWinXPCustomTabControl::IsTabSelectable(AIndex) && AIndex >= 0 && AIndex < PageCount() &&
         Pages(AIndex)->Enabled();
}

bool TWinXPPageControl::IsTabShown(int AIndex) {
  return AIndex >= 0 && AIndex < PageCount() && Pages(AIndex)->TabVisible();
}

bool TWinXPPageControl::TabHasNoImage(int AIndex) {
  if (AIndex < 0 || AIndex >= PageCount())
    return false;
  const int image = Pages(AIndex)->ImageIndex();
  return !Images() || image < 0 || image >= Images()->Count();
}

void TWinXPPageControl::FocusAfterClick() {
  if (PassFocusOnChange())
    FocusSheet(FActivePage);
  else
    TWinXPCustomTabControl::FocusAfterClick();
}

void TWinXPPageControl::FocusSheet(TWinXPTabSheet* APage) {
  if (!APage)
    return;
  for (int i = 0; i < APage->ControlCount(); ++i)
    if (auto* child = dynamic_cast<TWinControl*>(APage->Controls(i))) {
      if (child->CanFocus())
        child->SetFocus();
      return;
    }
  if (APage->CanFocus())
    APage->SetFocus();
}

void TWinXPPageControl::DrawPaneBehind(TWinXPTabSheet* ASheet, HDC ADC) {
  POINT old;
  OffsetWindowOrgEx(ADC, ASheet->Left(), ASheet->Top(), &old);
  EraseBackground(ADC);
  SetWindowOrgEx(ADC, old.x, old.y, nullptr);
}
