#pragma once

#include "controls.h"
#include "menus.h"
#include "xp-sections.h"
#include "xp-splitter.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The collapsible sections: each section can be folded away with a small
// arrow button in the panel's right margin and brought back with an expand
// button where it was; neighbouring folded sections share one expand button
// whose click offers a menu of them.

enum TXPAnimationKind : uint8_t { xakNone, xakFocusRects, xakFading, xakSliding };

class TXPCustomCollapseSection;
class TXPCustomCollapseSectionsPanel;

// How a fold started by the user is animated.
class TXPCollapseProperties : public TPersistent {
public:
  std::wstring ClassName() const override { return L"TXPCollapseProperties"; }
  void Assign(const TPersistent* ASource) override;

  TXPAnimationKind AnimationKind() const { return FAnimationKind; }
  void SetAnimationKind(TXPAnimationKind AValue) { FAnimationKind = AValue; }
  int Steps() const { return FSteps; }
  void SetSteps(int AValue) { FSteps = AValue; }
  // Milliseconds.
  int Interval() const { return FInterval; }
  void SetInterval(int AValue) { FInterval = AValue; }

private:
  TXPAnimationKind FAnimationKind = xakNone;
  int FSteps = 16;
  int FInterval = 4;
};

// The arrows beside the sections; their hints name the sections they fold
// or unfold.
class TXPArrowButton : public TXPTransButton {
public:
  TXPArrowButton(TComponent* AOwner, const std::wstring& AResName);
  std::wstring ClassName() const override { return L"TXPArrowButton"; }
  // The sections the button stands for.
  virtual void GetSections(std::vector<TXPCustomCollapseSection*>& AList) = 0;
  virtual bool IsExpandButton() const = 0;
  bool HintShow(std::wstring& AHintText) override;
};

class TXPCollapseButton : public TXPArrowButton {
public:
  explicit TXPCollapseButton(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TXPCollapseButton"; }
  void GetSections(std::vector<TXPCustomCollapseSection*>& AList) override;
  bool IsExpandButton() const override { return false; }
};

class TXPExpandButton : public TXPArrowButton {
public:
  explicit TXPExpandButton(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TXPExpandButton"; }
  void GetSections(std::vector<TXPCustomCollapseSection*>& AList) override;
  bool IsExpandButton() const override { return true; }

  // Several sections: the image of several folded sections.
  bool Multiple() const { return FMultiple; }
  void SetMultiple(bool AValue);
  void AddSection(TXPCustomCollapseSection* ASection) { FList.push_back(ASection); }
  void ClearSections() { FList.clear(); }
  const std::vector<TXPCustomCollapseSection*>& List() const { return FList; }

private:
  std::vector<TXPCustomCollapseSection*> FList;
  bool FMultiple = false;
};

// The menu an expand button of several sections offers.
class TXPExpandPopupMenu : public TPopupMenu {
public:
  using TPopupMenu::TPopupMenu;
  std::wstring ClassName() const override { return L"TXPExpandPopupMenu"; }
};

using TXPGetButtonHint = std::function<void(TXPCustomCollapseSectionsPanel* ASender,
                                            const std::vector<TXPCustomCollapseSection*>& ASections,
                                            std::wstring& AHint, bool AIsExpandButton)>;

class TXPCustomCollapseSection : public TXPCustomSection {
public:
  explicit TXPCustomCollapseSection(TComponent* AOwner);
  ~TXPCustomCollapseSection() override;
  std::wstring ClassName() const override { return L"TXPCustomCollapseSection"; }

  TXPTransButton* CollapseButton() const { return FCollapseBtn; }
  TXPTransButton* ExpandButton() const { return FExpandBtn; }
  bool Collapsible() const { return FCollapsible; }
  void SetCollapsible(bool AValue);
  bool Collapsed() const { return FCollapsed; }
  // Only a collapsible section folds, and never the last open one of a
  // panel that must keep one open.
  void SetCollapsed(bool AValue);
  // The same, as the user's own change (which may animate).
  void UserSetCollapsed(bool AValue);
  // The parent as a collapse panel, or nullptr.
  TXPCustomCollapseSectionsPanel* CollapsePanel() const;

  void SetParent(TWinControl* AParent) override;
  void Loaded() override;
  void VisibilityChanged() override;
  void ShowingChanged() override;
  virtual void PositionCollapseButton();
  void AlignButton();

  TNotifyEvent OnCollapse;
  TNotifyEvent OnCollapsing;
  TNotifyEvent OnExpand;
  TNotifyEvent OnExpanding;

protected:
  void WndProc(TMessage& AMessage) override;
  void Notification(TComponent* AComponent, TOperation AOperation) override;
  virtual void DoCollapse();
  virtual void DoCollapsing();
  virtual void DoExpand();
  virtual void DoExpanding();
  void SetCollapsedInternal(bool AValue);
  void ExpandClick();

private:
  friend class TXPCustomCollapseSectionsPanel;
  void Animate(bool ACollapsing);

  TXPTransButton* FCollapseBtn = nullptr;
  TXPTransButton* FExpandBtn = nullptr;
  bool FInAlignButton = false;
  bool FCollapsible = true;
  bool FCollapsed = false;
  bool FUserCollapsing = false;
};

class TXPCollapseSection : public TXPCustomCollapseSection {
public:
  using TXPCustomCollapseSection::TXPCustomCollapseSection;
  std::wstring ClassName() const override { return L"TXPCollapseSection"; }
};

class TXPCustomCollapseSectionsPanel : public TXPCustomSectionsPanel {
public:
  explicit TXPCustomCollapseSectionsPanel(TComponent* AOwner);
  ~TXPCustomCollapseSectionsPanel() override;
  std::wstring ClassName() const override { return L"TXPCustomCollapseSectionsPanel"; }

  bool CanCloseAll() const { return FCanCloseAll; }
  void SetCanCloseAll(bool AValue);
  TXPCollapseProperties& CollapseProperties() { return *FCollapseProps; }
  void SetCollapseProperties(const TXPCollapseProperties& AValue) {
    FCollapseProps->Assign(&AValue);
  }
  TXPExpandPopupMenu* HiddenPopupMenu() const { return FHiddenPopupMenu; }
  TXPGetButtonHint OnGetButtonHint;

  // More sections may close: CanCloseAll, or more than one shown.
  bool CanCloseMore() const;
  // Places the arrows after a layout.
  void ArrangeButtons();

  TXPCustomSection* CreateSection(TComponent* AOwner) override;
  bool IsSectionShown(const TXPCustomSection* ASection) const override;
  int GetTopMargin() const override;
  int GetRightMargin() const override;
  int GetBottomMargin() const override;
  void Rearrange() override;
  void LoadSection(TXPCustomSection* ASection, TCustomIniFile& AIni, int AIndex) override;
  void SaveSection(TXPCustomSection* ASection, TCustomIniFile& AIni, int AIndex) override;
  void ValidateInsertControl(TControl* AControl) override;

protected:
  void Notification(TComponent* AComponent, TOperation AOperation) override;

private:
  bool ButtonsPresent() const;
  void PlaceExpandButton(TXPTransButton* AButton, int AIndex);

  TXPExpandPopupMenu* FHiddenPopupMenu = nullptr;
  bool FCanCloseAll = false;
  std::unique_ptr<TXPCollapseProperties> FCollapseProps;
};

class TXPCollapseSectionsPanel : public TXPCustomCollapseSectionsPanel {
public:
  using TXPCustomCollapseSectionsPanel::TXPCustomCollapseSectionsPanel;
  std::wstring ClassName() const override { return L"TXPCollapseSectionsPanel"; }
};
