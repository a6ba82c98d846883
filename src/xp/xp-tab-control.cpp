#include "xp-tab-control.h"

#include "forms.h"
#include "labels.h"
#include "resource-ledger.h"
#include "rtl-exceptions.h"
#include "smooth-text.h"
#include "xp-colors.h"
#include "xp-graphics.h"
#include "xp-page-control.h"
#include "xp-system.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

namespace {

// Aligned children sit this far inside the pane.
constexpr int kPaneInset = 4;
constexpr int kMinTabWidth = 42;

bool IsEmptyRect(const RECT& ARect) {
  return ARect.right <= ARect.left || ARect.bottom <= ARect.top;
}

// The tab drawn top side up into a bitmap of ARect's size is copied onto
// ADC at AClip flipped vertically: bottom tabs are the top artwork mirrored.
void CopyMirrored(HDC ADC, TBitmap& ATab, const RECT& ARect, const RECT& AClip) {
  const int width = ATab.Width();
  const int clipHeight = AClip.bottom - AClip.top;
  if (width <= 0 || clipHeight <= 0)
    return;
  TBitmap flipped(width, clipHeight, TPixelFormat::pf32bit);
  GdiFlush();
  const size_t rowBytes = size_t(width) * 4;
  for (int y = 0; y < clipHeight; ++y) {
    const int source = clipHeight - 1 - y;
    if (source < 0 || source >= ATab.Height())
      continue;
    std::memcpy(flipped.ScanLine(y), ATab.ScanLine(source), rowBytes);
  }
  const int drawWidth = std::min<int>(AClip.right, ARect.left + width) - AClip.left;
  if (drawWidth <= 0)
    return;
  BitBlt(ADC, AClip.left, AClip.top, drawWidth, clipHeight, flipped.Canvas().Handle(),
         AClip.left - ARect.left, 0, SRCCOPY);
}

} // namespace

// ===========================================================================
// Construction

TWinXPCustomTabControl::TWinXPCustomTabControl(TComponent* AOwner) : TXPCustomControl(AOwner) {
  FControlStyle |= csAcceptsControls | csDoubleClicks;
  SetParentColor(true);
  FImageChangeLink.OnChange = [this](TChangeLink*) { ImageListChange(); };
  FTabs = TWinXPCustomTabControl::CreateTabStrings();
  FScrollBtns = new TXPUpDown(this);
  FScrollBtns->SetKind(udkHorizontal);
  FScrollBtns->SetControl(this);
  FScrollBtns->SetVisible(false);
  FScrollBtns->OnUpClick = [this](TControl*) {
    FShowActiveTab = false;
    ScrollTabs(-1);
  };
  FScrollBtns->OnDownClick = [this](TControl*) {
    FShowActiveTab = false;
    ScrollTabs(1);
  };
  FScrollBtns->SetParent(this);
  SetBounds(Left(), Top(), 289, 193);
  SetTabStop(true);
}

TWinXPCustomTabControl::~TWinXPCustomTabControl() {
  if (FScrollBtns) {
    TXPUpDown* arrows = FScrollBtns;
    FScrollBtns = nullptr;
    TComponent::Free(arrows);
  }
}

std::unique_ptr<TStrings> TWinXPCustomTabControl::CreateTabStrings() {
  return std::make_unique<TTabControlStrings>(this);
}

void TWinXPCustomTabControl::CreateParams(TCreateParams& AParams) {
  TXPCustomControl::CreateParams(AParams);
  AParams.Style |= WS_CLIPCHILDREN;
}

void TWinXPCustomTabControl::CreateWnd() {
  TXPCustomControl::CreateWnd();
  TabsChanged();
  UpdateScrollButtons();
}

void TWinXPCustomTabControl::ValidateInsertControl(TControl* AControl) {
  TXPCustomControl::ValidateInsertControl(AControl);
  if (dynamic_cast<TWinXPTabSheet*>(AControl))
    return;
  if (auto* arrows = dynamic_cast<TXPUpDown*>(AControl); arrows && arrows->Control() == this)
    return;
  throw Exception(AControl->ClassName() + L" can't be inserted into " + ClassName() + L".");
}

// ===========================================================================
// Properties

void TWinXPCustomTabControl::SetImages(TCustomImageList* AValue) {
  if (FImages)
    FImages->UnRegisterChanges(&FImageChangeLink);
  FImages = AValue;
  if (FImages) {
    FImages->RegisterChanges(&FImageChangeLink);
    FImages->FreeNotification(this);
  }
  ImageListChange();
}

void TWinXPCustomTabControl::Notification(TComponent* AComponent, TOperation AOperation) {
  TXPCustomControl::Notification(AComponent, AOperation);
  if (AOperation == opRemove && AComponent == FImages)
    SetImages(nullptr);
}

void TWinXPCustomTabControl::SetTabPosition(TWinXPTabPosition AValue) {
  if (AValue == FTabPosition)
    return;
  FTabPosition = AValue;
  UpdateScrollButtons();
  Invalidate();
}

void TWinXPCustomTabControl::SetTabIndex(int AValue) {
  SetCurrentTab(ShownToRawIndex(AValue));
}

int TWinXPCustomTabControl::ReadTabIndex() {
  return RawToShownIndex(FCurrentTabIndex);
}

bool TWinXPCustomTabControl::IsTabSelectable(int /*AIndex*/) {
  return true;
}

bool TWinXPCustomTabControl::IsTabShown(int AIndex) {
  return AIndex >= 0 && AIndex < FTabs->Count();
}

bool TWinXPCustomTabControl::TabHasNoImage(int AIndex) {
  return AIndex >= 0 && AIndex < FTabs->Count();
}

void TWinXPCustomTabControl::SelectPageAt(int AIndex) {
  SetCurrentTab(AIndex);
}

void TWinXPCustomTabControl::UpdateActivePage() {
  SelectPageAt(FCurrentTabIndex);
}

void TWinXPCustomTabControl::FocusAfterClick() {
  if (CanFocus())
    SetFocus();
}

bool TWinXPCustomTabControl::QueryChanging() {
  bool allow = true;
  if (OnChanging)
    OnChanging(this, allow);
  return allow;
}

bool TWinXPCustomTabControl::AllowTabChange() {
  bool allow = true;
  if (OnChanging)
    OnChanging(this, allow);
  return allow;
}

void TWinXPCustomTabControl::DoTabChange() {
  if (IsLoading())
    return;
  if (OnChange)
    OnChange(this);
}

// ===========================================================================
// Index spaces

int TWinXPCustomTabControl::RawToShownIndex(int AIndex) {
  int shown = 0;
  for (int i = 0; i <= AIndex && i < FTabs->Count(); ++i)
    if (IsTabShown(i))
      ++shown;
  return shown - 1;
}

int TWinXPCustomTabControl::ShownToRawIndex(int AIndex) {
  int result = AIndex;
  int remaining = AIndex;
  for (int i = 0; remaining >= 0 && i < FTabs->Count(); ++i) {
    if (IsTabShown(i))
      --remaining;
    else
      ++result;
  }
  return result;
}

int TWinXPCustomTabControl::FindNextTab(int AStart, bool AGoForward, bool AShownOnly) {
  const int count = FTabs->Count();
  if (count == 0)
    return -1;
  if (AStart == -1)
    AStart = AGoForward ? count - 1 : 0;
  int i = AStart;
  for (int step = 0; step <= count; ++step) {
    i = AGoForward ? (i + 1) % count : (i - 1 + count) % count;
    if (!AShownOnly || IsTabShown(i))
      return i;
    if (i == AStart)
      return -1;
  }
  return -1;
}

// ===========================================================================
// Layout

int TWinXPCustomTabControl::GetPaneTopOverlap() {
  if (IsSystemThemed()) {
    RECT insets{};
    GetTabPaneInsets(HandleAllocated() ? Handle() : nullptr, insets);
    return insets.top - 1;
  }
  return GetTabPainter().NCCalcSizeTopDelta() - 1;
}

int TWinXPCustomTabControl::GetPaneBottomOverlap() {
  if (IsSystemThemed()) {
    RECT insets{};
    GetTabPaneInsets(HandleAllocated() ? Handle() : nullptr, insets);
    return insets.bottom - 1;
  }
  return GetTabPainter().NCCalcSizeDelta() - 1;
}

void TWinXPCustomTabControl::CalcDisplayRect() {
  if (!HandleAllocated())
    return;
  FDisXPyRect = RECT{0, 0, FWidth, FHeight};
  FTabArea = RECT{};
  int height = 0;
  for (int i = 0; i < FTabs->Count(); ++i)
    height = std::max(height, GetTabTop(i) + GetTabHeight(i));
  if (FTabs->Count() == 0)
    height = 2;
  if (FTabPosition == tpTop) {
    FTabArea = RECT{0, 0, Width(), height};
    FDisXPyRect.top = FTabArea.bottom - GetPaneTopOverlap();
  } else {
    FTabArea = RECT{0, FDisXPyRect.bottom - height - 1, Width(), FDisXPyRect.bottom};
    FDisXPyRect.bottom = FTabArea.top + GetPaneBottomOverlap();
  }
}

int TWinXPCustomTabControl::GetTabHeight(int AIndex) {
  if (AIndex < 0 || AIndex >= FTabs->Count() || !IsTabShown(AIndex))
    return 0;
  const int imageHeight = FImages ? FImages->Height() : 0;
  int height = std::max(imageHeight, GetFontTextHeight(Font())) + 6;
  if (AIndex == FCurrentTabIndex)
    height += 2;
  return height;
}

int TWinXPCustomTabControl::GetTabTop(int AIndex) {
  if (AIndex < 0 || AIndex >= FTabs->Count())
    return 0;
  if (IsTabShown(AIndex) && AIndex != FCurrentTabIndex && FTabPosition == tpTop)
    return FTabArea.top + 2;
  return FTabArea.top;
}

int TWinXPCustomTabControl::CaptionWidth(const std::wstring& ACaption) {
  if (!FMeasure)
    FMeasure = std::make_unique<TBitmap>(1, 1, TPixelFormat::pf32bit);
  TCanvas& canvas = FMeasure->Canvas();
  canvas.SetFont(Font());
  if (SmoothDraw()) {
    SIZE size{};
    RECT room{0, 0, 32767, 32767};
    MeasureXPCaption(canvas, room, ACaption, size, 100, epNone, dcfSmoothText, Font());
    return size.cx;
  }
  return canvas.TextWidth(ACaption);
}

int TWinXPCustomTabControl::GetTabWidth(int AIndex) {
  if (AIndex < 0 || AIndex >= FTabs->Count() || !IsTabShown(AIndex))
    return 0;
  int width = CaptionWidth(FTabs->Strings(AIndex));
  if (FImages && !TabHasNoImage(AIndex))
    width += FImages->Width() + 2;
  return std::max(width + 12, kMinTabWidth);
}

int TWinXPCustomTabControl::GetTabOffset(int AIndex) {
  if (AIndex < 0 || AIndex >= FTabs->Count())
    return 0;
  int offset = 0;
  for (int i = 0; i < AIndex; ++i)
    offset += GetTabWidth(i);
  return offset;
}

RECT TWinXPCustomTabControl::TabRect(int AIndex) {
  if (AIndex < FStartTab || AIndex < 0 || AIndex >= FTabs->Count())
    return RECT{};
  const bool selected = AIndex == FCurrentTabIndex;
  int x = GetTabOffset(AIndex) - GetTabOffset(FStartTab);
  if (!selected)
    x += 2;
  RECT r{x, GetTabTop(AIndex), x + GetTabWidth(AIndex), FTabArea.bottom};
  if (selected) {
    r.right += 6;
  } else if (FTabPosition == tpTop) {
    r.bottom = FDisXPyRect.top;
  } else {
    r.top = FDisXPyRect.bottom;
    r.bottom -= 2;
  }
  return r;
}

int TWinXPCustomTabControl::IndexOfTabAt(int AX, int AY) {
  const POINT point{AX, AY};
  for (int i = 0; i < FTabs->Count(); ++i) {
    const RECT r = TabRect(i);
    if (PtInRect(&r, point))
      return i;
  }
  return -1;
}

int TWinXPCustomTabControl::TabAtForClick(int AX, int AY) {
  if (AX == 0 && AY >= FTabArea.top && AY < FTabArea.bottom)
    return FStartTab - 1;
  return IndexOfTabAt(AX, AY);
}

int TWinXPCustomTabControl::GetTabsRightLimit() {
  if (FScrollBtns && FScrollBtns->Visible())
    return FScrollBtns->Left();
  return Width();
}

void TWinXPCustomTabControl::UpdateScrollButtons() {
  if (!HandleAllocated() || !FScrollBtns)
    return;
  CalcDisplayRect();
  const int a = (FTabArea.bottom - FTabArea.top) - 4;
  FScrollBtns->SetBounds(Width() - 2 * a, FTabArea.top + 1, 2 * a, a);
  if (FLockTabsChangesCount > 0)
    return;
  const int saved = FStartTab;
  FStartTab = 0;
  const int count = FTabs->Count();
  const bool visible = count > 0 && GetTabRightEnd(count - 1) > Width() - 6;
  FScrollBtns->SetVisible(visible);
  if (visible) {
    FStartTab = saved;
  } else {
    SetStartTab(0);
  }
}

void TWinXPCustomTabControl::SetStartTab(int AValue) {
  if (!HandleAllocated())
    return;
  const int count = FTabs->Count();
  AValue = std::min(AValue, count - 1);
  AValue = std::max(AValue, 0);
  const int limit = GetTabsRightLimit();
  const int old = FStartTab;
  if (FShowActiveTab && FCurrentTabIndex >= 0 && FStartTab > FCurrentTabIndex) {
    FStartTab = FCurrentTabIndex;
  } else {
    FStartTab = AValue;
    int noted = FStartTab;
    while (FStartTab > 0 && TabRect(count - 1).right <= limit) {
      noted = FStartTab;
      --FStartTab;
    }
    FStartTab = noted;
    if (FShowActiveTab && FCurrentTabIndex >= 0)
      while (FStartTab < count - 1 && TabRect(FCurrentTabIndex).right > limit &&
             GetTabWidth(FCurrentTabIndex) < limit)
        ++FStartTab;
  }
  if (FStartTab != old)
    InvalidateTabs();
}

void TWinXPCustomTabControl::ScrollTabs(int ADelta) {
  SetStartTab(FStartTab + ADelta);
}

void TWinXPCustomTabControl::ScrollToActiveTab() {
  FShowActiveTab = true;
  SetStartTab(FStartTab);
  FShowActiveTab = false;
}

void TWinXPCustomTabControl::TabsChanged() {
  if (!HandleAllocated() || FLockTabsChangesCount > 0)
    return;
  if (TabIndex() < 0)
    SetTabIndex(0);
  CalcDisplayRect();
  UpdateScrollButtons();
  UpdateActivePage();
  Realign();
  InvalidateTabs();
}

void TWinXPCustomTabControl::InvalidateTabs() {
  if (HandleAllocated())
    InvalidateRect(Handle(), &FTabArea, TRUE);
}

void TWinXPCustomTabControl::ImageListChange() {
  if (!HandleAllocated())
    return;
  CalcDisplayRect();
  // Image space changes the tabs' widths: the arrows follow whether they
  // still fit.
  UpdateScrollButtons();
  ScrollToActiveTab();
  InvalidateTabs();
}

void TWinXPCustomTabControl::AdjustClientRect(RECT& ARect) {
  ARect = FDisXPyRect;
  InflateRect(&ARect, -kPaneInset, -kPaneInset);
  TXPCustomControl::AdjustClientRect(ARect);
}

void TWinXPCustomTabControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  TXPCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
  UpdateScrollButtons();
}

void TWinXPCustomTabControl::Resize() {
  CalcDisplayRect();
  TXPCustomControl::Resize();
  ScrollToActiveTab();
}

void TWinXPCustomTabControl::RedrawControl() {
  CalcDisplayRect();
  ScrollToActiveTab();
  TXPCustomControl::RedrawControl();
}

void TWinXPCustomTabControl::Loaded() {
  TXPCustomControl::Loaded();
  // A load that set no tab leaves the selection as the tabs made it.
  if (FSavedTabIndex != -2)
    SetCurrentTab(FSavedTabIndex);
  FSavedTabIndex = -2;
}

void TWinXPCustomTabControl::HandleNCCalcSize(TMessage& AMessage) {
  auto* first = reinterpret_cast<RECT*>(AMessage.LParam);
  FWidth = first->right - first->left;
  FHeight = first->bottom - first->top;
  CalcDisplayRect();
  if (!AMessage.WParam) {
    TXPCustomControl::WndProc(AMessage);
    return;
  }
  auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(AMessage.LParam);
  int dx, dy;
  if (IsSystemThemed()) {
    RECT insets{};
    GetTabPaneInsets(Handle(), insets);
    dx = insets.right;
    dy = insets.bottom;
  } else {
    dx = dy = GetTabPainter().NCCalcSizeDelta();
  }
  // The old pixels stay except a strip of the pane's right and bottom
  // frame, which is painted again.
  RECT& valid = params->rgrc[1];
  if (params->rgrc[0].right != valid.right)
    valid.right = std::min(params->rgrc[0].right, valid.right) - dx;
  if (params->rgrc[0].bottom != valid.bottom)
    valid.bottom = std::min(params->rgrc[0].bottom, valid.bottom) - dy;
  params->rgrc[2] = params->rgrc[1];
  AMessage.Result = WVR_VALIDRECTS;
}

// ===========================================================================
// Selection

void TWinXPCustomTabControl::SetCurrentTab(int AIndex) {
  if (IsLoading()) {
    if (FSavedTabIndex == -2)
      FSavedTabIndex = AIndex;
    return;
  }
  if (FUpdatingTabIndex)
    return;
  struct TGuard {
    bool& Flag;
    explicit TGuard(bool& AFlag) : Flag(AFlag) { Flag = true; }
    ~TGuard() { Flag = false; }
  } guard(FUpdatingTabIndex);
  const int count = FTabs->Count();
  if (AIndex < 0)
    AIndex = -1;
  if (AIndex >= count)
    AIndex = count - 1;
  if (AIndex == FCurrentTabIndex)
    return;
  if (AIndex != FSavedTabIndex && !AllowTabChange())
    return;
  FCurrentTabIndex = AIndex;
  SelectPageAt(AIndex);
  ScrollToActiveTab();
  if (AIndex != FSavedTabIndex)
    DoTabChange();
  InvalidateTabs();
}

void TWinXPCustomTabControl::SelectNextPage(bool AGoForward) {
  const int next = FindNextTab(FCurrentTabIndex, AGoForward, true);
  if (next >= 0 && next != FCurrentTabIndex && QueryChanging())
    SetCurrentTab(next);
}

void TWinXPCustomTabControl::SetHighlightedTab(int AIndex) {
  if (AIndex == FHighlightedIndex || IsDesigning())
    return;
  FHighlightedIndex = AIndex;
  InvalidateTabs();
  if (FScrollBtns)
    FScrollBtns->Invalidate();
}

// ===========================================================================
// Input

void TWinXPCustomTabControl::MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  TXPCustomControl::MouseDown(AButton, AShift, AX, AY);
  if (AButton != mbLeft || (AShift & ssDouble))
    return;
  const int index = TabAtForClick(AX, AY);
  if (index >= 0)
    SetCurrentTab(index);
  if (!IsDesigning() && TabStop())
    FocusAfterClick();
}

void TWinXPCustomTabControl::MouseMove(TShiftState AShift, int AX, int AY) {
  TXPCustomControl::MouseMove(AShift, AX, AY);
  SetHighlightedTab(IndexOfTabAt(AX, AY));
}

void TWinXPCustomTabControl::MouseLeave(intptr_t AMarker) {
  TXPCustomControl::MouseLeave(AMarker);
  SetHighlightedTab(-1);
}

bool TWinXPCustomTabControl::DialogChar(wchar_t AChar) {
  for (int i = 0; i < FTabs->Count(); ++i) {
    if (!IsAccel(AChar, FTabs->Strings(i)) || !IsTabSelectable(i) || !CanFocus())
      continue;
    if (QueryChanging())
      SetCurrentTab(i);
    return true;
  }
  return false;
}

void TWinXPCustomTabControl::FontChanged() {
  TXPCustomControl::FontChanged();
  CalcDisplayRect();
  ScrollToActiveTab();
  Invalidate();
}

void TWinXPCustomTabControl::EnabledChanged() {
  TXPCustomControl::EnabledChanged();
  Invalidate();
  for (int i = 0; i < ControlCount(); ++i)
    Controls(i)->EnabledChanged();
}

void TWinXPCustomTabControl::WndProc(TMessage& AMessage) {
  switch (AMessage.Msg) {
  case WM_NCCALCSIZE:
    HandleNCCalcSize(AMessage);
    return;
  case WM_KEYDOWN:
    if (AMessage.WParam == VK_TAB && GetKeyState(VK_CONTROL) < 0) {
      SelectNextPage(GetKeyState(VK_SHIFT) >= 0);
      AMessage.Result = 0;
      return;
    }
    if (AMessage.WParam == VK_LEFT && TabIndex() > 0)
      SelectNextPage(false);
    else if (AMessage.WParam == VK_RIGHT && TabIndex() < FTabs->Count() - 1)
      SelectNextPage(true);
    break;
  case CM_DIALOGKEY: {
    // Ctrl+Tab while the focus is here or in a page moves to the next tab.
    HWND focus = GetFocus();
    const bool focusInside =
        HandleAllocated() && focus && (focus == Handle() || IsChild(Handle(), focus));
    if (AMessage.WParam == VK_TAB && GetKeyState(VK_CONTROL) < 0 && focusInside) {
      SelectNextPage(GetKeyState(VK_SHIFT) >= 0);
      AMessage.Result = 1;
      return;
    }
    break;
  }
  case WM_SETFOCUS:
  case WM_KILLFOCUS:
    TXPCustomControl::WndProc(AMessage);
    InvalidateTabs();
    return;
  default:
    break;
  }
  TXPCustomControl::WndProc(AMessage);
}

// ===========================================================================
// Painting

void TWinXPCustomTabControl::DrawPaneArea(HDC ADC, const RECT& ARect, const RECT& AClip) {
  if (IsSystemThemed())
    DrawTabThemePart(Handle(), ADC, kTabPartPane, 0, ARect, &AClip);
  else
    GetTabPainter().DrawPane(ADC, ARect, AClip);
}

void TWinXPCustomTabControl::EraseBackground(HDC ADC) {
  if (!HandleAllocated())
    return;
  RECT clip = FDisXPyRect;
  if (FTabPosition == tpTop)
    clip.top += GetPaneTopOverlap();
  else
    clip.bottom -= GetPaneBottomOverlap();
  DrawPaneArea(ADC, FDisXPyRect, clip);
}

void TWinXPCustomTabControl::Paint() {
  const int width = Width();
  const int height = FTabArea.bottom - FTabArea.top;
  if (width <= 0 || height <= 0)
    return;
  TBitmap strip(width, height, TPixelFormat::pf32bit);
  TCanvas& canvas = strip.Canvas();
  HDC dc = canvas.Handle();
  POINT oldOrigin;
  SetWindowOrgEx(dc, FTabArea.left, FTabArea.top, &oldOrigin);
  canvas.SetFont(Font());
  DrawPaneArea(dc, FDisXPyRect, FTabArea);
  PaintTabs(canvas);
  SetWindowOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
  BitBlt(Canvas().Handle(), FTabArea.left, FTabArea.top, width, height, dc, 0, 0, SRCCOPY);
}

void TWinXPCustomTabControl::PaintTabs(TCanvas& ACanvas) {
  HDC dc = ACanvas.Handle();
  RECT outside = FTabArea;
  if (FTabPosition == tpTop)
    outside.bottom = FDisXPyRect.top;
  else
    outside.top = FDisXPyRect.bottom;
  if (!IsEmptyRect(outside))
    ::PaintParentBackground(this, dc, &outside);
  const int saved = SaveDC(dc);
  if (FScrollBtns && FScrollBtns->Visible())
    ExcludeClipRect(dc, FScrollBtns->Left(), FTabArea.top,
                    FScrollBtns->Left() + FScrollBtns->Width(), FTabArea.bottom);
  const int count = FTabs->Count();
  for (int i = 0; i < count && i < FCurrentTabIndex; ++i)
    PaintTabItem(ACanvas, i, TabRect(i));
  for (int i = std::max(FCurrentTabIndex + 1, 0); i < count; ++i)
    PaintTabItem(ACanvas, i, TabRect(i));
  if (FCurrentTabIndex >= 0 && FCurrentTabIndex < count)
    PaintTabItem(ACanvas, FCurrentTabIndex, TabRect(FCurrentTabIndex));
  RestoreDC(dc, saved);
}

void TWinXPCustomTabControl::GetTabThemeDetail(int AIndex, int& APart, int& AState) {
  bool isFirst = true, isLast = true;
  for (int i = 0; i < AIndex; ++i)
    if (IsTabShown(i))
      isFirst = false;
  for (int i = AIndex + 1; i < FTabs->Count(); ++i)
    if (IsTabShown(i))
      isLast = false;
  if (isFirst && isLast)
    APart = kTabPartTopTabItemBothEdge;
  else if (isFirst)
    APart = kTabPartTopTabItemLeftEdge;
  else if (isLast)
    APart = kTabPartTopTabItemRightEdge;
  else
    APart = kTabPartTopTabItem;
  if (AIndex == FCurrentTabIndex)
    AState = kTabStateSelected;
  else if (AIndex == FHighlightedIndex)
    AState = kTabStateHot;
  else
    AState = kTabStateNormal;
}

void TWinXPCustomTabControl::DrawTabBackground(TCanvas& ACanvas, const RECT& ARect,
                                               const RECT& AClip, int AIndex) {
  HDC dc = ACanvas.Handle();
  const int theme = GetXPThemeState();
  if (theme == xtsClassic) {
    GetTabPainter().DrawClassicTab(dc, ARect, AClip, FTabPosition == tpTop);
    return;
  }
  int part, state;
  GetTabThemeDetail(AIndex, part, state);
  auto drawInto = [&](HDC ATarget, const RECT& ARectangle, const RECT& AClipping) {
    if (theme == xtsThemed) {
      DrawTabThemePart(Handle(), ATarget, part, state, ARectangle, &AClipping);
      return;
    }
    const auto tabState = state == kTabStateSelected ? TThemePageControlData::xtsSelected
                          : state == kTabStateHot    ? TThemePageControlData::xtsHot
                                                     : TThemePageControlData::xtsNormal;
    TThemePageControlData& painter = GetTabPainter();
    switch (part) {
    case kTabPartTopTabItemLeftEdge:
      painter.DrawTabLeftEdge(ATarget, ARectangle, tabState, AClipping);
      break;
    case kTabPartTopTabItemRightEdge:
      painter.DrawTabRightEdge(ATarget, ARectangle, tabState, AClipping);
      break;
    case kTabPartTopTabItemBothEdge:
      painter.DrawTabBothEdge(ATarget, ARectangle, tabState, AClipping);
      break;
    default:
      painter.DrawTab(ATarget, ARectangle, tabState, AClipping);
      break;
    }
  };
  if (FTabPosition == tpTop) {
    drawInto(dc, ARect, AClip);
    return;
  }
  const int width = ARect.right - ARect.left, height = ARect.bottom - ARect.top;
  if (width <= 0 || height <= 0)
    return;
  TBitmap tab(width, height, TPixelFormat::pf32bit);
  HDC tabDC = tab.Canvas().Handle();
  // The area under the tab's rounded corners shows what lies beneath it.
  BitBlt(tabDC, 0, 0, width, height, dc, ARect.left, ARect.top, SRCCOPY);
  POINT oldOrigin;
  SetWindowOrgEx(tabDC, ARect.left, ARect.top, &oldOrigin);
  drawInto(tabDC, ARect, ARect);
  SetWindowOrgEx(tabDC, oldOrigin.x, oldOrigin.y, nullptr);
  CopyMirrored(dc, tab, ARect, AClip);
}

void TWinXPCustomTabControl::PaintTabItem(TCanvas& ACanvas, int AIndex, const RECT& ARect) {
  if (!IsTabShown(AIndex) || AIndex < FStartTab)
    return;
  const bool selected = AIndex == FCurrentTabIndex;
  RECT r = ARect, clip = ARect, focus = ARect;
  bool laterShown = false, earlierShown = false;
  for (int i = AIndex + 1; i < FTabs->Count(); ++i)
    laterShown = laterShown || IsTabShown(i);
  for (int i = 0; i < AIndex; ++i)
    earlierShown = earlierShown || IsTabShown(i);
  if (selected && !laterShown && earlierShown) {
    focus.right -= 2;
    if (clip.right < Width() - 2)
      clip.right -= 2;
  }
  if (selected) {
    if (FTabPosition == tpTop)
      r.bottom += 1;
    else
      r.top -= 1;
  }
  DrawTabBackground(ACanvas, r, clip, AIndex);
  r.left += 6;
  if (selected) {
    focus.left += 3;
    focus.right -= 3;
    if (FTabPosition == tpTop) {
      focus.top += 3;
      focus.bottom -= 2;
    } else {
      focus.top += 2;
      focus.bottom -= 3;
    }
    r.bottom -= 2;
    r.left += 2;
  }
  const std::wstring caption = FTabs->Strings(AIndex);
  DrawXPCaption(ACanvas, r, caption, Font(), clBtnText, taLeftJustify, tlCenter,
                SmoothDraw() ? TXPDrawCaptionFlags(dcfSmoothText) : TXPDrawCaptionFlags(0), epNone,
                100);
  if (selected && Focused() && !InState(csPaintCopy))
    DrawFocusRect(ACanvas.Handle(), &focus);
  if (FImages && FImages->Count() > 0) {
    const int x = r.left + ACanvas.TextWidth(caption) + 2;
    const int y = selected ? focus.top + 2 : r.top + 2;
    FImages->Draw(ACanvas, x, y, AIndex, true);
  }
}
