#include "xp-collapse-sections.h"

#include "rtl-exceptions.h"
#include "xp-animation.h"

#include <windows.h>

#include <algorithm>

namespace {

constexpr wchar_t kCollapseImage[] = L"XPCOLLAPSESECTION";
constexpr wchar_t kExpandImage[] = L"XPEXPANDSECTION";
constexpr wchar_t kExpandManyImage[] = L"XPEXPANDSECTIONS";

// The right margin that leaves room for the arrows, and the top margin an
// expand button above the first section needs.
constexpr unsigned kButtonMargin = 13;
constexpr int kTopButtonMargin = 7;

RECT ScreenRectOf(TControl* AControl) {
  const POINT topLeft = AControl->ClientToScreen({0, 0});
  return RECT{topLeft.x, topLeft.y, topLeft.x + AControl->Width(), topLeft.y + AControl->Height()};
}

} // namespace

// ===========================================================================
// TXPCollapseProperties

void TXPCollapseProperties::Assign(const TPersistent* ASource) {
  if (auto* source = dynamic_cast<const TXPCollapseProperties*>(ASource)) {
    FAnimationKind = source->FAnimationKind;
    FSteps = source->FSteps;
    FInterval = source->FInterval;
    return;
  }
  TPersistent::Assign(ASource);
}

// ===========================================================================
// Arrow buttons

TXPArrowButton::TXPArrowButton(TComponent* AOwner, const std::wstring& AResName)
    : TXPTransButton(AOwner, AResName, false) {
  SetShowHint(true);
}

bool TXPArrowButton::HintShow(std::wstring& AHintText) {
  std::vector<TXPCustomCollapseSection*> sections;
  GetSections(sections);
  if (sections.empty())
    return true;
  std::wstring text;
  if (!IsExpandButton())
    text = L"Hide " + sections.front()->Caption();
  else if (sections.size() == 1)
    text = L"Show " + sections.front()->Caption();
  else
    text = L"Show hidden sections";
  if (auto* section = dynamic_cast<TXPCustomCollapseSection*>(Owner()))
    if (TXPCustomCollapseSectionsPanel* panel = section->CollapsePanel();
        panel && panel->OnGetButtonHint)
      panel->OnGetButtonHint(panel, sections, text, IsExpandButton());
  AHintText = text;
  return true;
}

TXPCollapseButton::TXPCollapseButton(TComponent* AOwner) : TXPArrowButton(AOwner, kCollapseImage) {}

void TXPCollapseButton::GetSections(std::vector<TXPCustomCollapseSection*>& AList) {
  if (auto* section = dynamic_cast<TXPCustomCollapseSection*>(Owner()))
    AList.push_back(section);
}

TXPExpandButton::TXPExpandButton(TComponent* AOwner) : TXPArrowButton(AOwner, kExpandImage) {}

void TXPExpandButton::GetSections(std::vector<TXPCustomCollapseSection*>& AList) {
  AList.insert(AList.end(), FList.begin(), FList.end());
}

void TXPExpandButton::SetMultiple(bool AValue) {
  if (AValue == FMultiple)
    return;
  FMultiple = AValue;
  UpdateGlyph(AValue ? kExpandManyImage : kExpandImage);
}

// ===========================================================================
// TXPCustomCollapseSection

TXPCustomCollapseSection::TXPCustomCollapseSection(TComponent* AOwner) : TXPCustomSection(AOwner) {
  FCollapseBtn = new TXPCollapseButton(this);
  FExpandBtn = new TXPExpandButton(this);
  FCollapseBtn->FreeNotification(this);
  FExpandBtn->FreeNotification(this);
  // The expand button shows only for a folded section.
  FExpandBtn->SetVisible(false);
  FCollapseBtn->OnClick = [this](TControl*) { UserSetCollapsed(true); };
  FExpandBtn->OnClick = [this](TControl*) { ExpandClick(); };
  AlignButton();
}

TXPCustomCollapseSection::~TXPCustomCollapseSection() {
  TComponent::Free(FCollapseBtn);
  TComponent::Free(FExpandBtn);
}

void TXPCustomCollapseSection::Notification(TComponent* AComponent, TOperation AOperation) {
  TXPCustomSection::Notification(AComponent, AOperation);
  if (AOperation != opRemove)
    return;
  if (AComponent == FCollapseBtn)
    FCollapseBtn = nullptr;
  if (AComponent == FExpandBtn)
    FExpandBtn = nullptr;
}

TXPCustomCollapseSectionsPanel* TXPCustomCollapseSection::CollapsePanel() const {
  return dynamic_cast<TXPCustomCollapseSectionsPanel*>(Parent());
}

void TXPCustomCollapseSection::Loaded() {
  TXPCustomSection::Loaded();
  AlignButton();
}

void TXPCustomCollapseSection::WndProc(TMessage& AMessage) {
  TXPCustomSection::WndProc(AMessage);
  if (AMessage.Msg == WM_WINDOWPOSCHANGED)
    AlignButton();
}

void TXPCustomCollapseSection::AlignButton() {
  if (!HandleAllocated() || FInAlignButton)
    return;
  FInAlignButton = true;
  try {
    PositionCollapseButton();
  } catch (...) {
    FInAlignButton = false;
    throw;
  }
  FInAlignButton = false;
}

void TXPCustomCollapseSection::PositionCollapseButton() {
  if (FCollapseBtn)
    FCollapseBtn->SetBounds(Left() + ClientWidth() + 2, Top() + 2, FCollapseBtn->Width(),
                            FCollapseBtn->Height());
}

void TXPCustomCollapseSection::SetParent(TWinControl* AParent) {
  TXPCustomSection::SetParent(AParent);
  if (FCollapseBtn)
    FCollapseBtn->SetParent(Parent());
  if (FExpandBtn)
    FExpandBtn->SetParent(Parent());
}

void TXPCustomCollapseSection::ShowingChanged() {
  TXPCustomSection::ShowingChanged();
  if (HandleAllocated()) {
    const UINT show = Showing() && !FCollapsed ? SWP_SHOWWINDOW : SWP_HIDEWINDOW;
    SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
                 show | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  TXPSectionSplitter* bar = Splitter();
  TXPCustomSectionsPanel* panel = Panel();
  if (!bar || !panel)
    return;
  const std::vector<TXPCustomSection*> shown = panel->ShownSections();
  const bool isShown = panel->IsSectionShown(this);
  bar->SetVisible(isShown && !shown.empty() && shown.back() != this);
}

void TXPCustomCollapseSection::VisibilityChanged() {
  if (Visible() && FCollapsible)
    SetCollapsedInternal(false);
  TXPCustomSection::VisibilityChanged();
}

void TXPCustomCollapseSection::SetCollapsible(bool AValue) {
  if (AValue == FCollapsible)
    return;
  FCollapsible = AValue;
  if (!AValue)
    SetCollapsedInternal(false);
  if (TXPCustomSectionsPanel* panel = Panel())
    panel->Rearrange();
}

void TXPCustomCollapseSection::SetCollapsed(bool AValue) {
  if (!FCollapsible)
    return;
  TXPCustomCollapseSectionsPanel* panel = CollapsePanel();
  if (!AValue || !panel || panel->CanCloseMore())
    SetCollapsedInternal(AValue);
}

void TXPCustomCollapseSection::UserSetCollapsed(bool AValue) {
  FUserCollapsing = true;
  try {
    SetCollapsed(AValue);
  } catch (...) {
    FUserCollapsing = false;
    throw;
  }
  FUserCollapsing = false;
}

void TXPCustomCollapseSection::ExpandClick() {
  auto* button = dynamic_cast<TXPExpandButton*>(FExpandBtn);
  if (!button)
    return;
  const std::vector<TXPCustomCollapseSection*> list = button->List();
  if (list.size() == 1) {
    list.front()->UserSetCollapsed(false);
    return;
  }
  TXPCustomCollapseSectionsPanel* panel = CollapsePanel();
  if (!panel || list.empty())
    return;
  TXPExpandPopupMenu* menu = panel->HiddenPopupMenu();
  menu->Items()->Clear();
  for (TXPCustomCollapseSection* section : list) {
    auto* item = new TMenuItem(menu);
    item->SetCaption(section->Caption());
    item->SetTag(reinterpret_cast<intptr_t>(section));
    item->OnClick = [section](TMenuItem*) { section->UserSetCollapsed(false); };
    menu->Items()->Add(item);
  }
  POINT cursor{};
  GetCursorPos(&cursor);
  menu->Popup(cursor.x, cursor.y);
}

void TXPCustomCollapseSection::Animate(bool ACollapsing) {
  TXPCustomCollapseSectionsPanel* panel = CollapsePanel();
  const TXPCollapseProperties& props = panel->CollapseProperties();
  TControl* button = nullptr;
  if (ACollapsing) {
    button = FCollapseBtn;
  } else {
    // The expand button that stands for this section: the last visible one
    // of the sections up to this one.
    for (int i = 0; i < panel->SectionCount(); ++i) {
      auto* section = dynamic_cast<TXPCustomCollapseSection*>(panel->Sections(i));
      if (section && section->FExpandBtn && section->FExpandBtn->Visible())
        button = section->FExpandBtn;
      if (section == this)
        break;
    }
  }
  if (!button || !HandleAllocated())
    return;
  const RECT sectionRect = ScreenRectOf(this);
  const RECT buttonRect = ScreenRectOf(button);
  const RECT from = ACollapsing ? sectionRect : buttonRect;
  const RECT to = ACollapsing ? buttonRect : sectionRect;
  switch (props.AnimationKind()) {
  case xakFocusRects:
    AnimateFocusRects(from, to, props.Steps(), DWORD(props.Interval()));
    break;
  case xakFading:
    AnimateControlImage(this, ACollapsing, from, DWORD(props.Interval()), props.Steps(), to);
    break;
  case xakSliding:
    AnimateWindow(Handle(), DWORD(props.Interval()),
                  ACollapsing ? AW_SLIDE | AW_HIDE | AW_VER_NEGATIVE | AW_HOR_POSITIVE
                              : AW_SLIDE | AW_VER_POSITIVE | AW_HOR_NEGATIVE);
    break;
  case xakNone:
    break;
  }
}

void TXPCustomCollapseSection::SetCollapsedInternal(bool AValue) {
  if (AValue == FCollapsed)
    return;
  FCollapsed = AValue;
  AValue ? DoCollapsing() : DoExpanding();
  if (TXPCustomCollapseSectionsPanel* panel = CollapsePanel();
      panel && FUserCollapsing && panel->CollapseProperties().AnimationKind() != xakNone)
    Animate(AValue);
  if (HandleAllocated())
    ShowingChanged();
  if (TXPCustomSectionsPanel* panel = Panel())
    panel->Rearrange();
  AValue ? DoCollapse() : DoExpand();
}

void TXPCustomCollapseSection::DoCollapse() {
  if (OnCollapse)
    OnCollapse(this);
}
void TXPCustomCollapseSection::DoCollapsing() {
  if (OnCollapsing)
    OnCollapsing(this);
}
void TXPCustomCollapseSection::DoExpand() {
  if (OnExpand)
    OnExpand(this);
}
void TXPCustomCollapseSection::DoExpanding() {
  if (OnExpanding)
    OnExpanding(this);
}

// ===========================================================================
// TXPCustomCollapseSectionsPanel

TXPCustomCollapseSectionsPanel::TXPCustomCollapseSectionsPanel(TComponent* AOwner)
    : TXPCustomSectionsPanel(AOwner), FCollapseProps(std::make_unique<TXPCollapseProperties>()) {
  FHiddenPopupMenu = new TXPExpandPopupMenu(this);
  FHiddenPopupMenu->SetAlignment(paRight);
  FHiddenPopupMenu->FreeNotification(this);
}

TXPCustomCollapseSectionsPanel::~TXPCustomCollapseSectionsPanel() = default;

void TXPCustomCollapseSectionsPanel::Notification(TComponent* AComponent, TOperation AOperation) {
  TXPCustomSectionsPanel::Notification(AComponent, AOperation);
  if (AOperation == opRemove && AComponent == FHiddenPopupMenu)
    FHiddenPopupMenu = nullptr;
}

void TXPCustomCollapseSectionsPanel::SetCanCloseAll(bool AValue) {
  if (AValue == FCanCloseAll)
    return;
  FCanCloseAll = AValue;
  ArrangeButtons();
}

TXPCustomSection* TXPCustomCollapseSectionsPanel::CreateSection(TComponent* AOwner) {
  return new TXPCollapseSection(AOwner);
}

bool TXPCustomCollapseSectionsPanel::IsSectionShown(const TXPCustomSection* ASection) const {
  if (IsDesigning())
    return true;
  auto* section = dynamic_cast<const TXPCustomCollapseSection*>(ASection);
  return ASection->Visible() && !(section && section->Collapsed());
}

bool TXPCustomCollapseSectionsPanel::ButtonsPresent() const {
  for (int i = 0; i < SectionCount(); ++i)
    if (auto* section = dynamic_cast<TXPCustomCollapseSection*>(Sections(i));
        section && section->Collapsible())
      return true;
  return false;
}

int TXPCustomCollapseSectionsPanel::GetRightMargin() const {
  if (Margin() < kButtonMargin + 1 && ButtonsPresent())
    return int(kButtonMargin);
  return int(Margin());
}

int TXPCustomCollapseSectionsPanel::GetTopMargin() const {
  const TXPCustomSection* first = Sections(0);
  if (first && ButtonsPresent() && !IsSectionShown(first))
    return std::max(int(Margin()), kTopButtonMargin);
  return int(Margin());
}

int TXPCustomCollapseSectionsPanel::GetBottomMargin() const {
  const int count = SectionCount();
  if (count > 0 && !IsSectionShown(Sections(count - 1)))
    return std::max(int(Margin()), SplitterWidth() + 2);
  return int(Margin());
}

bool TXPCustomCollapseSectionsPanel::CanCloseMore() const {
  return FCanCloseAll || ShownSections().size() > 1;
}

void TXPCustomCollapseSectionsPanel::Rearrange() {
  TXPCustomSectionsPanel::Rearrange();
  ArrangeButtons();
}

void TXPCustomCollapseSectionsPanel::ValidateInsertControl(TControl* AControl) {
  if (dynamic_cast<TXPArrowButton*>(AControl))
    return;
  TXPCustomSectionsPanel::ValidateInsertControl(AControl);
}

void TXPCustomCollapseSectionsPanel::PlaceExpandButton(TXPTransButton* AButton, int AIndex) {
  const std::vector<TXPCustomSection*> shown = ShownSections();
  int y = GetTopMargin();
  bool found = false;
  for (int i = AIndex + 1; i < SectionCount() && !found; ++i)
    if (IsSectionShown(Sections(i))) {
      y = Sections(i)->Top();
      found = true;
    }
  if (!found && !shown.empty())
    y = shown.back()->Top() + shown.back()->Height() + SplitterWidth();
  const int top = y - std::max(SplitterWidth(), AButton->Height());
  AButton->SetBounds(ClientWidth() - GetRightMargin() + 2, top, AButton->Width(),
                     AButton->Height());
}

void TXPCustomCollapseSectionsPanel::ArrangeButtons() {
  if (FUpdateCount > 0 || FInRearranging2 || !HandleAllocated())
    return;
  FInRearranging2 = true;
  DisableAlign();
  auto finish = [this] {
    EnableAlign();
    FInRearranging2 = false;
  };
  try {
    const bool close = CanCloseMore();
    TXPExpandButton* head = nullptr;
    for (int k = 0; k < SectionCount(); ++k) {
      auto* section = dynamic_cast<TXPCustomCollapseSection*>(Sections(k));
      if (!section)
        continue;
      const bool shown = IsSectionShown(section);
      if (section->FCollapseBtn) {
        section->FCollapseBtn->SetVisible(close && shown && section->Collapsible());
        section->PositionCollapseButton();
      }
      auto* expand = dynamic_cast<TXPExpandButton*>(section->FExpandBtn);
      const bool folded = section->Visible() && !shown && section->Collapsible();
      if (!folded || !expand) {
        if (expand)
          expand->SetVisible(false);
        head = nullptr;
        continue;
      }
      if (!head) {
        head = expand;
        head->ClearSections();
        head->AddSection(section);
        head->SetMultiple(false);
        PlaceExpandButton(head, k);
        head->SetVisible(true);
        head->BringToFront();
      } else {
        head->AddSection(section);
        head->SetMultiple(true);
        PlaceExpandButton(head, k);
        expand->SetVisible(false);
      }
    }
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

void TXPCustomCollapseSectionsPanel::SaveSection(TXPCustomSection* ASection, TCustomIniFile& AIni,
                                                 int AIndex) {
  TXPCustomSectionsPanel::SaveSection(ASection, AIni, AIndex);
  if (auto* section = dynamic_cast<TXPCustomCollapseSection*>(ASection))
    AIni.WriteBool(L"", Name() + L"_Collapsed" + std::to_wstring(AIndex), section->Collapsed());
}

void TXPCustomCollapseSectionsPanel::LoadSection(TXPCustomSection* ASection, TCustomIniFile& AIni,
                                                 int AIndex) {
  TXPCustomSectionsPanel::LoadSection(ASection, AIni, AIndex);
  if (auto* section = dynamic_cast<TXPCustomCollapseSection*>(ASection))
    section->SetCollapsed(
        AIni.ReadBool(L"", Name() + L"_Collapsed" + std::to_wstring(AIndex), section->Collapsed()));
}
