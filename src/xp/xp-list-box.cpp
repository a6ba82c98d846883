#include "xp-list-box.h"

#include "resource-ledger.h"
#include "seams.h"
#include "xp-colors.h"
#include "xp-graphics.h"
#include "xp-system.h"

#include <windows.h>
#include <windowsx.h>

#include <algorithm>
#include <cwctype>
#include <memory>

namespace {

// The button theme's check box and its states (unchecked, checked, mixed;
// four looks each, from 1).
constexpr wchar_t kButtonThemeClass[] = L"BUTTON";
constexpr int kPartCheckBox = 3;
// The list-box theme's border with both scroll bars, and its states.
constexpr wchar_t kListBoxThemeClass[] = L"LISTBOX";
constexpr int kPartBorderHVScroll = 2;
constexpr int kBorderNormal = 1;
constexpr int kBorderFocused = 2;
constexpr int kBorderDisabled = 4;

constexpr int kCheckFrame = 13;
constexpr SIZE kDefaultCheckSize{13, 13};
// Room added to the check box: across the row and above and below it.
constexpr int kCheckWidthExtra = 2;
constexpr int kCheckHeightExtra = 3;
constexpr int kTextIndent = 2;
constexpr int kItemsAreaExtra = 4;
constexpr int kWheelDelta = 120;

constexpr wchar_t kCheckBoxImage[] = L"XPCHECKBOX";

std::unique_ptr<TAlphaImage>& CheckImageSlot() {
  static std::unique_ptr<TAlphaImage> image;
  return image;
}

bool IsAsciiLetter(wchar_t AChar) {
  return (AChar >= L'a' && AChar <= L'z') || (AChar >= L'A' && AChar <= L'Z');
}

wchar_t FoldAscii(wchar_t AChar) {
  return (AChar >= L'A' && AChar <= L'Z') ? wchar_t(AChar - L'A' + L'a') : AChar;
}

// Whether AText begins with APrefix, ASCII letters compared without case.
bool StartsWithPrefix(const std::wstring& AText, const std::wstring& APrefix) {
  if (AText.size() < APrefix.size())
    return false;
  for (size_t i = 0; i < APrefix.size(); ++i) {
    const wchar_t a = AText[i], b = APrefix[i];
    if (a == b)
      continue;
    if (!IsAsciiLetter(a) || !IsAsciiLetter(b) || FoldAscii(a) != FoldAscii(b))
      return false;
  }
  return true;
}

// The strip under the vertical bar, right of the horizontal one.
class TXPListCorner : public TCustomControl {
public:
  explicit TXPListCorner(TComponent* AOwner) : TCustomControl(AOwner) {}
  std::wstring ClassName() const override { return L"TXPListCorner"; }

protected:
  void EraseBackground(HDC /*ADC*/) override {}
  void Paint() override { FillSolidRect(Canvas().Handle(), ClientRect(), clXPBtnFace); }
};

TCustomXPScrollBar* NewScrollBar(TComponent* AOwner) {
  return new TCustomXPScrollBar(AOwner);
}

} // namespace

// ===========================================================================
// TXPListsResourceManager

TAlphaImage& TXPListsResourceManager::CheckBox() {
  auto& slot = CheckImageSlot();
  if (!slot) {
    auto image = std::make_unique<TAlphaImage>();
    image->LoadFromResource(kCheckBoxImage);
    slot = std::move(image);
  }
  return *slot;
}

bool TXPListsResourceManager::Loaded() {
  return CheckImageSlot() != nullptr;
}

void TXPListsResourceManager::FreeImages() {
  CheckImageSlot().reset();
}

// ===========================================================================
// TCustomXPListBox: creation

TCustomXPListBox::TCustomXPListBox(TComponent* AOwner)
    : TXPCustomControl(AOwner), FItems(std::make_unique<TXPListBoxStrings>(this)) {
  FControlStyle |= csClickEvents | csDoubleClicks;
  SetBounds(Left(), Top(), 121, 97);
  SetTabStop(true);
  SetParentColor(false);
  SetColor(clWindow);
  FItems->OnChange = [this](TStringList*) { SelectionChanged(); };
  FScrollTimer = new TTimer(this);
  FScrollTimer->SetEnabled(false);
  FScrollTimer->SetOnTimer([this](TTimer*) { AutoScrollTick(); });
}

TCustomXPListBox::~TCustomXPListBox() {
  FScrollTimer->SetEnabled(false);
  // The item list goes first: its last changes must not reach a half-gone
  // list box.
  FItems.reset();
}

TXPScrollBarClass TCustomXPListBox::GetScrollBarClass() {
  return &NewScrollBar;
}

// The children are made on first need rather than in the constructor, so a
// descendant's scroll-bar class is the one asked.
void TCustomXPListBox::EnsureChildren() {
  if (FVertScrollBar)
    return;
  const TXPScrollBarClass makeBar = GetScrollBarClass();
  FVertScrollBar = makeBar(this);
  FVertScrollBar->SetBelongsToControl(true);
  FVertScrollBar->SetKind(sbVertical);
  FVertScrollBar->SetSmallChange(1);
  FVertScrollBar->SetTabStop(false);
  FVertScrollBar->SetVisible(false);
  FVertScrollBar->SetAlign(alRight);
  FVertScrollBar->SetParent(this);
  FVertScrollBar->OnChange = [this](TControl*) { VertScrolled(); };

  FBottomPanel = new TXPCustomControl(this);
  FBottomPanel->SetVisible(false);
  FBottomPanel->SetHeight(FVertScrollBar->Width());
  FBottomPanel->SetAlign(alBottom);
  FBottomPanel->SetParent(this);

  FCorner = new TXPListCorner(this);
  FCorner->SetVisible(false);
  FCorner->SetWidth(FVertScrollBar->Width());
  FCorner->SetAlign(alRight);
  FCorner->SetParent(FBottomPanel);

  FHorzScrollBar = makeBar(this);
  FHorzScrollBar->SetBelongsToControl(true);
  FHorzScrollBar->SetKind(sbHorizontal);
  FHorzScrollBar->SetSmallChange(4);
  FHorzScrollBar->SetLargeChange(40);
  FHorzScrollBar->SetTabStop(false);
  FHorzScrollBar->SetVisible(false);
  FHorzScrollBar->SetAlign(alClient);
  FHorzScrollBar->SetParent(FBottomPanel);
  FHorzScrollBar->OnChange = [this](TControl*) { HorzScrolled(); };
  FVertScrollBar->SetEnabled(Enabled());
  FHorzScrollBar->SetEnabled(Enabled());
}

TCustomXPScrollBar& TCustomXPListBox::VertScrollBar() {
  EnsureChildren();
  return *FVertScrollBar;
}
TCustomXPScrollBar& TCustomXPListBox::HorzScrollBar() {
  EnsureChildren();
  return *FHorzScrollBar;
}
TXPCustomControl& TCustomXPListBox::BottomPanel() {
  EnsureChildren();
  return *FBottomPanel;
}
TCustomControl& TCustomXPListBox::Corner() {
  EnsureChildren();
  return *FCorner;
}

void TCustomXPListBox::CreateParams(TCreateParams& AParams) {
  TXPCustomControl::CreateParams(AParams);
  AParams.Style |= WS_CLIPCHILDREN;
  if (FBorderStyle == bsSingle) {
    if (GetXPThemeState() == xtsClassic)
      AParams.ExStyle |= WS_EX_CLIENTEDGE;
    else
      AParams.Style |= WS_BORDER;
  }
}

void TCustomXPListBox::CreateWnd() {
  EnsureChildren();
  TXPCustomControl::CreateWnd();
  UpdateItemHeight();
  UpdateHorzArea();
  UpdateVertArea();
  UpdateScrollRange();
}

// ===========================================================================
// Items and selection

void TCustomXPListBox::SetItems(const TStrings& AValue) {
  FItems->Assign(&AValue);
  UpdateScrollRange();
}

int TCustomXPListBox::SelCount() const {
  if (!FMultiSelect)
    return -1;
  int count = 0;
  for (int i = 0; i < Count(); ++i)
    if (FItems->Item(i)->Selected())
      ++count;
  return count;
}

bool TCustomXPListBox::Selected(int AIndex) const {
  const TXPListItem* item = FItems->Item(AIndex);
  return item && item->Selected();
}

void TCustomXPListBox::SetSelected(int AIndex, bool AValue) {
  TXPListItem* item = FItems->Item(AIndex);
  if (!item || item->Selected() == AValue)
    return;
  item->SetSelected(AValue);
  if (FMultiSelect)
    InvalidateItem(AIndex);
}

bool TCustomXPListBox::ItemChecked(int AIndex) const {
  return State(AIndex) == cbChecked;
}

void TCustomXPListBox::SetItemChecked(int AIndex, bool AValue) {
  SetState(AIndex, AValue ? cbChecked : cbUnchecked);
}

TCheckBoxState TCustomXPListBox::State(int AIndex) const {
  const TXPListItem* item = FItems->Item(AIndex);
  return item ? item->State() : cbUnchecked;
}

void TCustomXPListBox::SetState(int AIndex, TCheckBoxState AValue) {
  TXPListItem* item = FItems->Item(AIndex);
  if (!item || item->State() == AValue)
    return;
  item->SetState(AValue);
  InvalidateCheck(AIndex);
  if (FUseCheckBoxes)
    DoClickCheck();
}

std::wstring TCustomXPListBox::CurrentText() const {
  if (FItemIndex < 0 || FItemIndex >= Count())
    return std::wstring();
  return FItems->Get(FItemIndex);
}

void TCustomXPListBox::Clear() {
  FItems->Clear();
}

void TCustomXPListBox::ClearSelection() {
  if (!FMultiSelect) {
    SetItemIndex(-1);
    return;
  }
  for (int i = 0; i < Count(); ++i)
    SetSelected(i, false);
}

void TCustomXPListBox::SelectAll() {
  if (!FMultiSelect)
    return;
  for (int i = 0; i < Count(); ++i)
    SetSelected(i, true);
}

int TCustomXPListBox::ItemAtPos(POINT APos, bool AExisting) {
  return ItemIndexAt(APos, !AExisting);
}

void TCustomXPListBox::ResetTracking() {
  FHotIndex = -1;
  FLightedIndex = -1;
  FPressedIndex = -1;
}

void TCustomXPListBox::SetItemIndex(int AValue) {
  const int count = Count();
  if (AValue < 0)
    AValue = FMouseDown ? 0 : -1;
  if (AValue >= count)
    AValue = count - 1;
  if (AValue != FItemIndex) {
    const int old = FItemIndex;
    FItemIndex = AValue;
    if (!FMultiSelect) {
      SetSelected(old, false);
      SetSelected(AValue, true);
    }
    if (AValue == -1) {
      InvalidateItem(old);
      SyncScrollPosition();
    } else if (AValue >= FTopIndex && AValue < FTopIndex + FVisibleCount) {
      InvalidateItem(old);
      InvalidateItem(AValue);
      SyncScrollPosition();
    } else if (FItemIndexByMouse) {
      InvalidateFrom(old < 0 ? AValue : std::min(AValue, old));
    } else if (AValue < FTopIndex || FVisibleCount <= 0 || ColumnMode()) {
      SetTopIndex(AValue);
    } else {
      SetTopIndex(AValue - FVisibleCount + 1);
    }
  }
  if (FItemIndex >= 0 && FSuppressChange == 0 && !FItemIndexByMouse)
    Click();
  FItemIndexByMouse = false;
}

void TCustomXPListBox::SelectOnlyCurrent() {
  for (int i = 0; i < Count(); ++i)
    if (TXPListItem* item = FItems->Item(i))
      item->SetSelected(i == FItemIndex);
  InvalidateItems();
}

void TCustomXPListBox::SelectionChanged() {
  if (OnSelectionChanged)
    OnSelectionChanged(this);
}

void TCustomXPListBox::DoClickCheck() {
  if (OnClickCheck)
    OnClickCheck(this);
}

// ===========================================================================
// Published settings

void TCustomXPListBox::SetAlphaNumericSorting(bool AValue) {
  if (AValue == FAlphaNumericSorting)
    return;
  FAlphaNumericSorting = AValue;
  if (FItems->Sorted()) {
    FItems->SetSorted(false);
    FItems->SetSorted(true);
  }
  Invalidate();
}

void TCustomXPListBox::SetBorderStyle(TBorderStyle AValue) {
  if (AValue == FBorderStyle)
    return;
  FBorderStyle = AValue;
  if (HandleAllocated())
    RecreateWnd();
}

void TCustomXPListBox::SetColumns(unsigned AValue) {
  if (AValue == FColumns)
    return;
  FColumns = AValue;
  if (AValue != 0)
    FHorzDelta = 0;
  UpdateItemHeight();
  UpdateScrollRange();
  Invalidate();
}

void TCustomXPListBox::SetItemHeight(int AValue) {
  if (AValue == FItemHeight)
    return;
  FItemHeight = AValue;
  UpdateItemHeight();
  Invalidate();
}

void TCustomXPListBox::SetMultiSelect(bool AValue) {
  if (AValue == FMultiSelect)
    return;
  FMultiSelect = AValue;
  if (!AValue)
    SelectOnlyCurrent();
}

void TCustomXPListBox::SetScrollBars(TXPScrollStyle AValue) {
  if (AValue == FScrollBars)
    return;
  FScrollBars = AValue;
  UpdateVertVisibility();
  UpdateHorzVisibility();
  UpdateVertRange();
  UpdateHorzRange();
  if (ColumnMode())
    InvalidateItems();
}

void TCustomXPListBox::SetSorted(bool AValue) {
  FItems->SetSorted(AValue);
  Invalidate();
}

void TCustomXPListBox::SetStyle(TXPListBoxStyle AValue) {
  if (AValue == FStyle)
    return;
  FStyle = AValue;
  UpdateItemHeight();
  Invalidate();
}

void TCustomXPListBox::SetUseCheckBoxes(bool AValue) {
  if (AValue == FUseCheckBoxes)
    return;
  FUseCheckBoxes = AValue;
  UpdateItemHeight();
  UpdateScrollRange();
  InvalidateItems();
}

// ===========================================================================
// Hooks of the view

int TCustomXPListBox::GetCheckWidth() {
  if (!FUseCheckBoxes)
    return 0;
  SIZE size = kDefaultCheckSize;
  GetCheckBoxSize(RECT{0, 0, 0, 0}, 1, size);
  return size.cx + kCheckWidthExtra;
}

TColor TCustomXPListBox::GetBackgroundColor() {
  return Enabled() ? clXPWindow : clXPBtnHighlight;
}

int TCustomXPListBox::GetPrevIndex() {
  return std::max(FItemIndex - 1, 0);
}

int TCustomXPListBox::GetNextIndex() {
  return FItemIndex + 1;
}

void TCustomXPListBox::AdjustNonClientRect(RECT& ARect) {
  if (GetXPThemeState() != xtsClassic)
    InflateRect(&ARect, -1, -1);
}

bool TCustomXPListBox::PaintNonClientBorder() {
  if (GetXPThemeState() == xtsClassic)
    return false;
  if (!HandleAllocated())
    return true;
  HWND window = Handle();
  TSystemLibrary uxtheme(L"uxtheme.dll");
  using TOpen = HANDLE(WINAPI*)(HWND, LPCWSTR);
  using TClose = HRESULT(WINAPI*)(HANDLE);
  using TDraw = HRESULT(WINAPI*)(HANDLE, HDC, int, int, const RECT*, const RECT*);
  auto open = uxtheme.Function<TOpen>("OpenThemeData");
  auto close = uxtheme.Function<TClose>("CloseThemeData");
  auto draw = uxtheme.Function<TDraw>("DrawThemeBackground");
  if (!open || !close || !draw)
    return true;
  HANDLE theme = open(window, kListBoxThemeClass);
  if (!theme)
    return true;
  RECT windowRect{};
  GetWindowRect(window, &windowRect);
  OffsetRect(&windowRect, -windowRect.left, -windowRect.top);
  RECT client{};
  GetClientRect(window, &client);
  const int inset = (windowRect.right - client.right) / 2;
  const int insetY = (windowRect.bottom - client.bottom) / 2;
  HDC dc = AcquireWindowDC(window);
  if (dc) {
    // The DC may be a print target that goes on to draw the client area:
    // the exclusion must not outlive the frame.
    const int saved = SaveDC(dc);
    ExcludeClipRect(dc, inset, insetY, windowRect.right - inset, windowRect.bottom - insetY);
    const int state = !Enabled() ? kBorderDisabled : Focused() ? kBorderFocused : kBorderNormal;
    draw(theme, dc, kPartBorderHVScroll, state, &windowRect, nullptr);
    RestoreDC(dc, saved);
    ReleaseWindowDC(window, dc);
  }
  close(theme);
  return true;
}

void TCustomXPListBox::AdjustItemHeight(int& /*AHeight*/) {}

RECT TCustomXPListBox::GetItemsRect() {
  return ClientRect();
}

void TCustomXPListBox::GetCheckBoxSize(const RECT& /*ARect*/, int AThemeDetail, SIZE& ASize) {
  ASize = kDefaultCheckSize;
  if (GetXPThemeState() != xtsThemed || !HandleAllocated())
    return;
  HWND window = Handle();
  HDC dc = GetDC(window);
  if (!dc)
    return;
  LedgerTake(TResourceKind::DeviceContext, dc);
  ThemePartTrueSize(window, kButtonThemeClass, kPartCheckBox, AThemeDetail, dc, ASize);
  LedgerGive(TResourceKind::DeviceContext, dc);
  ReleaseDC(window, dc);
}

template <typename TWork> void TCustomXPListBox::Measure(TWork AWork) {
  if (!HandleAllocated())
    return;
  HWND window = Handle();
  HDC dc = GetDC(window);
  if (!dc)
    return;
  LedgerTake(TResourceKind::DeviceContext, dc);
  {
    TCanvas canvas;
    canvas.SetHandle(dc);
    canvas.Font().Assign(&Font());
    try {
      AWork(canvas);
    } catch (...) {
      canvas.SetHandle(nullptr);
      LedgerGive(TResourceKind::DeviceContext, dc);
      ReleaseDC(window, dc);
      throw;
    }
    canvas.SetHandle(nullptr);
  }
  LedgerGive(TResourceKind::DeviceContext, dc);
  ReleaseDC(window, dc);
}

int TCustomXPListBox::GetItemTextWidth(int AIndex) {
  int width = 0;
  const std::wstring text = FItems->Get(AIndex);
  Measure([&](TCanvas& ACanvas) {
    RECT rect{0, 0, 0, 0};
    ACanvas.TextRect(rect, text, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    width = rect.right - rect.left;
  });
  return width;
}

int TCustomXPListBox::GetFontHeight() {
  int height = 0;
  Measure([&](TCanvas& ACanvas) {
    TEXTMETRICW metrics{};
    // Measuring selects the canvas's font into the DC first.
    ACanvas.TextExtent(L"0");
    if (GetTextMetricsW(ACanvas.Handle(), &metrics))
      height = metrics.tmHeight;
  });
  return height;
}

// ===========================================================================
// Layout

void TCustomXPListBox::UpdateItemHeight() {
  int height = 1;
  if (FStyle == lbOwnerDrawFixed) {
    height = FItemHeight;
  } else if (FUseCheckBoxes) {
    if (GetXPThemeState() == xtsClassic) {
      SIZE check{};
      GetXPCheckSize(check);
      height = check.cy;
    } else {
      SIZE size = kDefaultCheckSize;
      GetCheckBoxSize(RECT{0, 0, 0, 0}, 1, size);
      height = size.cy + kCheckHeightExtra;
    }
  }
  AdjustItemHeight(height);
  if (HandleAllocated() && FStyle == lbStandard)
    height = std::max(height, GetFontHeight());
  // A row is never less than a pixel high: every division below relies on it.
  FUsedItemHeight = std::max(height, 1);
  if (HandleAllocated())
    UpdateVisibleCount();
}

void TCustomXPListBox::UpdateVisibleCount() {
  const int rows = std::max<int>(FVisibleAreaSize.cy / FUsedItemHeight, 1);
  if (ColumnMode()) {
    FColumnCount = rows;
    FVisibleCount = int(FColumns) * rows;
  } else {
    FColumnCount = 0;
    FVisibleCount = rows;
  }
  UpdateVertRange();
}

int TCustomXPListBox::GetItemWidth() {
  if (ColumnMode())
    return FVisibleAreaSize.cx / int(FColumns);
  switch (FScrollBars) {
  case pssHorizontal:
  case pssBoth:
  case pssAuto:
  case pssAutoHorizontal:
    return std::max<int>(FItemsAreaWidth, FVisibleAreaSize.cx);
  default:
    return FVisibleAreaSize.cx;
  }
}

POINT TCustomXPListBox::GetItemPos(int AIndex) {
  const RECT items = GetItemsRect();
  const int k = AIndex - FTopIndex;
  if (ColumnMode()) {
    const int rows = std::max(FColumnCount, 1);
    const int column = k >= 0 ? k / rows : (k - rows + 1) / rows;
    const int row = k - column * rows;
    return POINT{items.left + GetItemWidth() * column, items.top + row * FUsedItemHeight};
  }
  return POINT{items.left - FHorzDelta, items.top + k * FUsedItemHeight};
}

int TCustomXPListBox::GetColumnsNeeded() {
  return (Count() - 1) / std::max(FColumnCount, 1) + 1;
}

RECT TCustomXPListBox::ItemRect(int AIndex) {
  if (AIndex < 0 || AIndex >= Count())
    return RECT{0, 0, 0, 0};
  const POINT pos = GetItemPos(AIndex);
  return RECT{pos.x + GetCheckWidth(), pos.y, pos.x + GetItemWidth(), pos.y + FUsedItemHeight};
}

int TCustomXPListBox::ItemIndexAt(POINT APoint, bool AExtend) {
  const RECT items = GetItemsRect();
  const int x = APoint.x - items.left;
  const int y = APoint.y - items.top;
  const int height = FUsedItemHeight;
  if (ColumnMode()) {
    if (y < 0)
      return FTopIndex - 1;
    if (!AExtend && y >= FColumnCount * height)
      return FTopIndex + FColumnCount * int(FColumns);
    const int width = std::max(GetItemWidth(), 1);
    return (x / width) * FColumnCount + y / height + FTopIndex;
  }
  if (!AExtend) {
    if (y < 0)
      return FTopIndex - 1;
    if (y >= std::min(Count() - FTopIndex, FVisibleCount + 1) * height)
      return -1;
  }
  return y / height + FTopIndex;
}

bool TCustomXPListBox::PtInCheckColumn(POINT APoint) {
  if (!FUseCheckBoxes)
    return false;
  const RECT items = GetItemsRect();
  const int x = APoint.x - items.left;
  if (ColumnMode()) {
    const int width = std::max(GetItemWidth(), 1);
    return x % width < GetCheckWidth();
  }
  return x < GetCheckWidth() - FHorzDelta;
}

bool TCustomXPListBox::PtInScrollBars(POINT APoint) {
  EnsureChildren();
  const RECT vertical = FVertScrollBar->BoundsRect();
  if (FVertScrollBar->Visible() && PtInRect(&vertical, APoint))
    return true;
  if (FBottomPanel->Visible()) {
    const RECT bounds = FBottomPanel->BoundsRect();
    if (PtInRect(&bounds, APoint))
      return true;
  }
  return false;
}

bool TCustomXPListBox::WantsVertBar() {
  if (ColumnMode())
    return false;
  switch (FScrollBars) {
  case pssVertical:
  case pssBoth:
    return true;
  case pssAuto:
  case pssAutoVertical:
    return Count() > FVisibleCount;
  default:
    return false;
  }
}

bool TCustomXPListBox::WantsHorzBar() {
  switch (FScrollBars) {
  case pssHorizontal:
  case pssBoth:
    return true;
  case pssAuto:
  case pssAutoHorizontal:
    if (ColumnMode())
      return GetColumnsNeeded() > int(FColumns);
    return FItemsAreaWidth > FVisibleAreaSize.cx;
  default:
    return false;
  }
}

void TCustomXPListBox::UpdateVertVisibility() {
  EnsureChildren();
  const bool wanted = WantsVertBar();
  if (wanted == FVertScrollBar->Visible())
    return;
  FVertScrollBar->SetVisible(wanted);
  FCorner->SetVisible(wanted);
  UpdateHorzArea();
}

void TCustomXPListBox::UpdateHorzVisibility() {
  EnsureChildren();
  const bool wanted = WantsHorzBar();
  if (wanted == FBottomPanel->Visible())
    return;
  FBottomPanel->SetVisible(wanted);
  FHorzScrollBar->SetVisible(wanted);
  if (!wanted)
    SetHorzDelta(0);
  UpdateVertArea();
}

void TCustomXPListBox::UpdateVertArea() {
  if (!HandleAllocated())
    return;
  EnsureChildren();
  const RECT items = GetItemsRect();
  FVisibleAreaSize.cy = items.bottom - items.top;
  if (FBottomPanel->Visible())
    FVisibleAreaSize.cy -= FBottomPanel->Height();
  UpdateVisibleCount();
  UpdateVertVisibility();
  UpdateVertRange();
}

void TCustomXPListBox::UpdateHorzArea() {
  if (!HandleAllocated())
    return;
  EnsureChildren();
  const RECT items = GetItemsRect();
  FVisibleAreaSize.cx = items.right - items.left;
  if (FVertScrollBar->Visible())
    FVisibleAreaSize.cx -= FVertScrollBar->Width();
  UpdateHorzVisibility();
  UpdateHorzRange();
}

void TCustomXPListBox::UpdateVertRange() {
  if (ColumnMode() || !FVertScrollBar)
    return;
  FVertScrollBar->SetPageSize(0);
  if (Count() == 0)
    return;
  FVertScrollBar->SetParams(FTopIndex, 0, Count() - 1);
  const int page = std::min(FVisibleCount, Count() - 1);
  FVertScrollBar->SetPageSize(page);
  FVertScrollBar->SetLargeChange(std::max(page - 1, 1));
}

void TCustomXPListBox::UpdateHorzRange() {
  if (!FHorzScrollBar)
    return;
  FHorzScrollBar->SetPageSize(0);
  if (FItemsAreaWidth == 0)
    return;
  if (!ColumnMode()) {
    FHorzScrollBar->SetParams(FHorzDelta, 0, FItemsAreaWidth - 1);
    FHorzScrollBar->SetPageSize(std::min<int>(FVisibleAreaSize.cx, FItemsAreaWidth - 1));
    return;
  }
  if (Count() == 0)
    return;
  FHorzScrollBar->SetParams(FTopIndex / std::max(FColumnCount, 1), 0, GetColumnsNeeded() - 1);
  const int page = std::min<int>(int(FColumns), Count() - 1);
  FHorzScrollBar->SetPageSize(page);
  FHorzScrollBar->SetLargeChange(std::max(page - 1, 1));
}

void TCustomXPListBox::UpdateScrollRange() {
  if (!HandleAllocated())
    return;
  CalcItemsAreaWidth();
  UpdateVertVisibility();
  UpdateVertRange();
  if (ColumnMode()) {
    UpdateHorzVisibility();
    UpdateHorzRange();
  }
}

void TCustomXPListBox::CalcItemsAreaWidth() {
  if (!HandleAllocated())
    return;
  if (ColumnMode()) {
    FItemsAreaWidth = GetItemWidth();
  } else {
    int widest = 0;
    for (int i = 0; i < Count(); ++i)
      if (!FItems->Get(i).empty())
        widest = std::max(widest, GetItemTextWidth(i));
    FItemsAreaWidth = widest + kItemsAreaExtra;
    if (FUseCheckBoxes)
      FItemsAreaWidth += GetCheckWidth();
  }
  UpdateHorzVisibility();
  UpdateHorzRange();
}

void TCustomXPListBox::SyncScrollPosition() {
  if (!FVertScrollBar)
    return;
  if (ColumnMode())
    FHorzScrollBar->SetPosition(FTopIndex / std::max(FColumnCount, 1));
  else
    FVertScrollBar->SetPosition(FTopIndex);
}

void TCustomXPListBox::VertScrolled() {
  if (!ColumnMode())
    SetTopIndex(FVertScrollBar->Position());
}

void TCustomXPListBox::HorzScrolled() {
  if (ColumnMode())
    SetTopIndex(FHorzScrollBar->Position() * FColumnCount);
  else
    SetHorzDelta(FHorzScrollBar->Position());
}

void TCustomXPListBox::SetHorzDelta(int AValue) {
  if (ColumnMode())
    AValue = 0;
  else
    AValue = std::max(std::min<int>(AValue, FItemsAreaWidth - FVisibleAreaSize.cx), 0);
  if (AValue == FHorzDelta)
    return;
  FHorzDelta = AValue;
  if (FHorzScrollBar)
    FHorzScrollBar->SetPosition(FHorzDelta);
  InvalidateItems();
}

void TCustomXPListBox::SetTopIndex(int AValue) {
  if (ColumnMode()) {
    const int rows = std::max(FColumnCount, 1);
    AValue = std::min(AValue, std::max(GetColumnsNeeded() * rows - FVisibleCount, 0));
    AValue -= AValue % rows;
  } else {
    AValue = std::min(AValue, Count() - FVisibleCount);
  }
  AValue = std::max(AValue, 0);
  if (AValue == FTopIndex)
    return;
  FTopIndex = AValue;
  SyncScrollPosition();
  InvalidateItems();
}

// ===========================================================================
// Invalidation

void TCustomXPListBox::InvalidateItem(int AIndex) {
  if (!HandleAllocated() || AIndex < 0 || AIndex >= Count())
    return;
  const RECT rect = ItemRect(AIndex);
  InvalidateRect(Handle(), &rect, FALSE);
}

void TCustomXPListBox::InvalidateCheck(int AIndex) {
  if (!HandleAllocated())
    return;
  const POINT pos = GetItemPos(AIndex);
  const RECT rect{pos.x, pos.y, pos.x + GetCheckWidth(), pos.y + FUsedItemHeight};
  InvalidateRect(Handle(), &rect, FALSE);
}

void TCustomXPListBox::InvalidateFrom(int AIndex) {
  if (!HandleAllocated())
    return;
  const POINT pos = GetItemPos(AIndex);
  const RECT rect{pos.x, pos.y, pos.x + FVisibleAreaSize.cx, pos.y + FVisibleAreaSize.cy};
  InvalidateRect(Handle(), &rect, FALSE);
}

void TCustomXPListBox::InvalidateItems() {
  InvalidateFrom(FTopIndex);
}

// ===========================================================================
// Keys

TShiftState TCustomXPListBox::KeyShift() const {
  return KeyboardShiftState();
}

void TCustomXPListBox::KeyDown(WORD& AKey, TShiftState AShift) {
  if (AKey == 0)
    return;
  if (AKey == VK_SPACE) {
    if (FUseCheckBoxes)
      SetItemChecked(FItemIndex, !ItemChecked(FItemIndex));
    if (!FExtendedSelect)
      SetSelected(FItemIndex, !Selected(FItemIndex));
    return;
  }
  int target = 0;
  switch (AKey) {
  case VK_PRIOR:
    target = std::max(FItemIndex - FVisibleCount + 1, 0);
    break;
  case VK_NEXT:
    target = FItemIndex + FVisibleCount - 1;
    break;
  case VK_END:
    target = Count() - 1;
    break;
  case VK_HOME:
    target = 0;
    break;
  case VK_LEFT:
    target = std::max(FItemIndex - FColumnCount, 0);
    break;
  case VK_UP:
    target = GetPrevIndex();
    break;
  case VK_RIGHT:
    target = FItemIndex + FColumnCount;
    break;
  case VK_DOWN:
    target = GetNextIndex();
    break;
  default:
    return;
  }
  if (FMultiSelect)
    ++FSuppressChange;
  SetItemIndex(target);
  if (!FMultiSelect || !(AShift & ssShift)) {
    if (FExtendedSelect)
      SelectOnlyCurrent();
    FSelStartIndex = FItemIndex;
  } else if (FExtendedSelect) {
    const int current = FItemIndex;
    for (int i = std::min(current, FPredIndex); i <= std::max(current, FPredIndex); ++i)
      SetSelected(i, false);
    for (int i = std::min(current, FSelStartIndex); i <= std::max(current, FSelStartIndex); ++i)
      SetSelected(i, true);
  }
  FPredIndex = FItemIndex;
  if (FMultiSelect) {
    --FSuppressChange;
    if (FSuppressChange == 0 && FItemIndex >= 0 && !FItemIndexByMouse)
      Click();
  }
}

int TCustomXPListBox::FindItemByPrefix(const std::wstring& APrefix, bool AShorten, int AStart) {
  std::wstring prefix = APrefix;
  const int count = Count();
  while (!prefix.empty()) {
    // After the start up to the last, then from the first up to the start.
    for (int step = 1; step <= count; ++step) {
      const int i = ((AStart + step) % count + count) % count;
      if (StartsWithPrefix(FItems->Get(i), prefix))
        return i;
    }
    if (!AShorten)
      break;
    prefix.pop_back();
  }
  return -1;
}

void TCustomXPListBox::KeyPress(wchar_t& AKey) {
  if (!FAutoComplete || AKey == 0)
    return;
  const DWORD now = GetTickCount();
  if (now - FLastTime >= FAutoCompleteDelay)
    FFilter.clear();
  FLastTime = now;
  if (AKey == VK_BACK) {
    if (!FFilter.empty()) {
      const bool pair = FFilter.size() >= 2 && IS_LOW_SURROGATE(FFilter.back()) &&
                        IS_HIGH_SURROGATE(FFilter[FFilter.size() - 2]);
      FFilter.resize(FFilter.size() - (pair ? 2 : 1));
    }
  } else {
    FFilter.push_back(AKey);
  }
  ++FSuppressChange;
  if (FFilter.empty()) {
    SetItemIndex(0);
    --FSuppressChange;
    Click();
  } else {
    const int match = FindItemByPrefix(FFilter, true, FItemIndex);
    if (match >= 0) {
      if (FMultiSelect)
        ClearSelection();
      SetItemIndex(match);
      FSelStartIndex = match;
      if (FMultiSelect)
        SetSelected(match, true);
    }
    --FSuppressChange;
    if (match >= 0)
      Click();
  }
  if (AKey != VK_BACK && AKey != VK_RETURN && AKey != VK_ESCAPE)
    AKey = 0;
}

void TCustomXPListBox::KeyDownMessage(TMessage& AMessage) {
  WORD key = WORD(AMessage.WParam);
  KeyDown(key, KeyShift());
}

void TCustomXPListBox::CharMessage(TMessage& AMessage) {
  wchar_t key = wchar_t(AMessage.WParam);
  KeyPress(key);
}

// ===========================================================================
// Mouse

void TCustomXPListBox::MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  TXPCustomControl::MouseDown(AButton, AShift, AX, AY);
  if (AButton != mbLeft)
    return;
  FMouseDown = true;
  if (CanFocus() && !Focused())
    SetFocus();
  const POINT point{AX, AY};
  if (PtInScrollBars(point))
    return;
  if (PtInCheckColumn(point)) {
    FPressedIndex = ItemIndexAt(point, false);
    if (FPressedIndex >= Count())
      FPressedIndex = -1;
    InvalidateCheck(FPressedIndex);
    return;
  }
  FItemIndexByMouse = true;
  const int hit = ItemIndexAt(point, false);
  if (hit >= 0 && hit < Count())
    SetItemIndex(hit);
  FItemIndexByMouse = false;
  const bool shift = (AShift & ssShift) != 0;
  const bool ctrl = (AShift & ssCtrl) != 0;
  if (!FMultiSelect || !shift)
    FSelStartIndex = FItemIndex;
  FPredIndex = FItemIndex;
  if ((ctrl && !shift) || (FMultiSelect && !FExtendedSelect)) {
    FSelState = FMultiSelect ? !Selected(FItemIndex) : true;
    SetSelected(FItemIndex, FSelState);
  } else {
    SelectOnlyCurrent();
    FSelState = true;
    if (shift)
      for (int i = std::min(FSelStartIndex, FItemIndex); i <= std::max(FSelStartIndex, FItemIndex);
           ++i)
        SetSelected(i, true);
  }
}

void TCustomXPListBox::SelectByMouse(int AIndex) {
  FLightedIndex = AIndex;
  if (AIndex < 0)
    return;
  if (AIndex != FPredIndex) {
    if (!FMultiSelect) {
      SelectOnlyCurrent();
    } else if (FExtendedSelect) {
      const int from = FPredIndex < 0 ? AIndex : FPredIndex;
      for (int i = std::min(from, AIndex); i <= std::max(from, AIndex); ++i)
        SetSelected(i, !Selected(i));
      for (int i = std::min(FSelStartIndex, AIndex); i <= std::max(FSelStartIndex, AIndex); ++i)
        SetSelected(i, FSelState);
    }
    FPredIndex = AIndex;
  }
  SetItemIndex(AIndex);
}

void TCustomXPListBox::MouseMove(TShiftState AShift, int AX, int AY) {
  TXPCustomControl::MouseMove(AShift, AX, AY);
  const POINT point{AX, AY};
  const RECT client = ClientRect();
  const int hot = PtInRect(&client, point) ? ItemIndexAt(point, false) : -1;
  if (hot != FHotIndex) {
    const int old = FHotIndex;
    FHotIndex = hot;
    if (FUseCheckBoxes) {
      InvalidateCheck(old);
      InvalidateCheck(hot);
    }
  }
  if (!FMouseDown || PtInScrollBars(point))
    return;
  int distance = 0;
  if (AY <= client.top)
    distance = client.top - AY;
  else if (AY >= client.bottom)
    distance = AY - client.bottom;
  FScrollTimer->SetInterval(distance > 100  ? kXPListScrollFast
                            : distance > 50 ? kXPListScrollMedium
                                            : kXPListScrollSlow);
  FScrollTimer->SetEnabled(distance > 0);
  SelectByMouse(ItemIndexAt(point, false));
}

void TCustomXPListBox::AutoScrollTick() {
  POINT cursor{};
  GetCursorPos(&cursor);
  SelectByMouse(ItemIndexAt(ScreenToClient(cursor), true));
}

void TCustomXPListBox::MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  if (AButton == mbLeft) {
    FMouseDown = false;
    const int pressed = FPressedIndex;
    FPressedIndex = -1;
    const POINT point{AX, AY};
    if (PtInCheckColumn(point)) {
      const int index = ItemIndexAt(point, false);
      if (index >= 0 && index < Count()) {
        TCheckBoxState next = cbChecked;
        switch (State(index)) {
        case cbChecked:
          next = cbUnchecked;
          break;
        case cbGrayed:
          next = cbChecked;
          break;
        case cbUnchecked:
          next = FAllowGrayed ? cbGrayed : cbChecked;
          break;
        }
        SetState(index, next);
        InvalidateCheck(index);
      }
    }
    if (pressed >= 0)
      InvalidateCheck(pressed);
    FScrollTimer->SetEnabled(false);
  }
  TXPCustomControl::MouseUp(AButton, AShift, AX, AY);
}

void TCustomXPListBox::WheelMessage(TMessage& AMessage) {
  AMessage.Result = 1;
  const int notches = GET_WHEEL_DELTA_WPARAM(AMessage.WParam) / kWheelDelta;
  if (notches == 0)
    return;
  int step = 0;
  if (GET_KEYSTATE_WPARAM(AMessage.WParam) == MK_CONTROL) {
    step = FVisibleCount - 1;
  } else if (ColumnMode()) {
    step = 1;
  } else {
    UINT lines = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    step = int(lines);
  }
  if (ColumnMode())
    step *= FColumnCount;
  SetTopIndex(FTopIndex - notches * step);
  POINT point{GET_X_LPARAM(AMessage.LParam), GET_Y_LPARAM(AMessage.LParam)};
  point = ScreenToClient(point);
  const RECT client = ClientRect();
  const int at = PtInRect(&client, point) ? ItemIndexAt(point, false) : -1;
  FLightedIndex = at;
  FHotIndex = at;
}

void TCustomXPListBox::MouseLeave(intptr_t AMarker) {
  TXPCustomControl::MouseLeave(AMarker);
  FHotIndex = -1;
  FLightedIndex = -1;
}

// ===========================================================================
// Notifications and messages

void TCustomXPListBox::EnabledChanged() {
  TXPCustomControl::EnabledChanged();
  Invalidate();
  if (FVertScrollBar) {
    FVertScrollBar->SetEnabled(Enabled());
    FHorzScrollBar->SetEnabled(Enabled());
  }
}

void TCustomXPListBox::FontChanged() {
  TXPCustomControl::FontChanged();
  UpdateItemHeight();
  Invalidate();
}

void TCustomXPListBox::WndProc(TMessage& AMessage) {
  switch (AMessage.Msg) {
  case WM_KEYDOWN:
    TXPCustomControl::WndProc(AMessage);
    KeyDownMessage(AMessage);
    return;
  case WM_CHAR:
    CharMessage(AMessage);
    AMessage.Result = 0;
    return;
  case WM_MOUSEWHEEL:
    WheelMessage(AMessage);
    return;
  case WM_GETTEXTLENGTH:
    FText = CurrentText();
    AMessage.Result = LRESULT(FText.size());
    return;
  case WM_GETTEXT: {
    auto* buffer = reinterpret_cast<wchar_t*>(AMessage.LParam);
    const size_t room = size_t(AMessage.WParam);
    AMessage.Result = 0;
    if (!buffer || room == 0)
      return;
    const size_t copied = std::min(FText.size(), room - 1);
    std::copy_n(FText.data(), copied, buffer);
    buffer[copied] = L'\0';
    AMessage.Result = LRESULT(copied);
    return;
  }
  case WM_SETTEXT: {
    const auto* text = reinterpret_cast<const wchar_t*>(AMessage.LParam);
    SetItemIndex(FItems->IndexOf(text ? std::wstring(text) : std::wstring()));
    AMessage.Result = 1;
    return;
  }
  case WM_SETFOCUS:
  case WM_KILLFOCUS:
    TXPCustomControl::WndProc(AMessage);
    if (FItemIndex >= 0)
      InvalidateItem(FItemIndex);
    else
      InvalidateItems();
    return;
  case WM_SIZE:
    TXPCustomControl::WndProc(AMessage);
    UpdateItemHeight();
    UpdateHorzArea();
    UpdateVertArea();
    return;
  case WM_NCCALCSIZE:
    if (AMessage.WParam) {
      auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(AMessage.LParam);
      AdjustNonClientRect(params->rgrc[0]);
    } else {
      AdjustNonClientRect(*reinterpret_cast<RECT*>(AMessage.LParam));
    }
    TXPCustomControl::WndProc(AMessage);
    return;
  case WM_NCPAINT:
    if (PaintNonClientBorder()) {
      AMessage.Result = 0;
      return;
    }
    break;
  default:
    break;
  }
  TXPCustomControl::WndProc(AMessage);
}

// ===========================================================================
// Painting

int TCustomXPListBox::LookState(int AIndex) {
  if (!Enabled())
    return 3;
  if (AIndex == FPressedIndex)
    return 2;
  if (AIndex == FHotIndex)
    return 1;
  return 0;
}

void TCustomXPListBox::Paint() {
  Canvas().SetFont(Font());
  PaintEmptyArea();
  HDC dc = Canvas().Handle();
  HRGN saved = nullptr;
  ClipToRect(dc, GetItemsRect(), saved);
  const int last = FTopIndex + std::min(Count() - FTopIndex, FVisibleCount);
  for (int i = FTopIndex; i <= last; ++i)
    PaintItem(i);
  RestoreClipRgn(dc, saved);
}

void TCustomXPListBox::PaintItem(int AIndex) {
  if (AIndex >= 0 && AIndex < Count()) {
    if (ColumnMode() || FStyle == lbStandard || ComponentState().Contains(csDesigning))
      PaintStandardItem(AIndex);
    else
      PaintOwnerDrawItem(AIndex);
    return;
  }
  if (AIndex < 0 && FTopIndex == 0 && HandleAllocated() && Focused()) {
    const POINT pos = GetItemPos(0);
    const RECT rect{pos.x + GetCheckWidth(), pos.y, pos.x + GetItemWidth(),
                    pos.y + FUsedItemHeight};
    Canvas().Font().SetColor(Font().Color());
    Canvas().DrawFocusRect(rect);
  }
}

void TCustomXPListBox::PaintEmptyArea() {
  HDC dc = Canvas().Handle();
  const TColor background = GetBackgroundColor();
  const int rows = ColumnMode() ? FColumnCount : FVisibleCount;
  const int shown = std::max(std::min(Count() - FTopIndex, rows), 0);
  const int height = FUsedItemHeight;
  if (ColumnMode() || shown + FTopIndex >= Count())
    FillSolidRect(dc, RECT{0, shown * height, FVisibleAreaSize.cx, FVisibleAreaSize.cy},
                  background);
  if (ColumnMode() && Count() > 0) {
    const int last = std::min(Count() - 1, int(FColumns) * FColumnCount + FTopIndex - 1);
    const POINT pos = GetItemPos(last);
    const int width = GetItemWidth();
    FillSolidRect(dc, RECT{pos.x, pos.y + height, pos.x + width, shown * height}, background);
    FillSolidRect(dc, RECT{pos.x + width, 0, FVisibleAreaSize.cx, shown * height}, background);
  }
  if (FItemIndex < 0 && HandleAllocated() && Focused())
    PaintItem(-1);
}

void TCustomXPListBox::PaintStandardItem(int AIndex) {
  if (FUseCheckBoxes && AIndex >= 0 && AIndex < Count())
    PaintCheckBox(AIndex);
  const POINT pos = GetItemPos(AIndex);
  RECT rect{pos.x + GetCheckWidth(), pos.y, pos.x + GetItemWidth(), pos.y + FUsedItemHeight};
  const bool selected = Selected(AIndex);
  TColor brush, text;
  if (Enabled()) {
    brush = selected ? clXPHighlight : clXPWindow;
    text = selected ? clXPHighlightText : Font().Color();
  } else {
    brush = selected ? clXPBtnShadow : clXPBtnHighlight;
    text = selected ? clXPBtnHighlight : clXPBtnShadow;
  }
  FillSolidRect(Canvas().Handle(), rect, brush);
  if (AIndex >= 0 && AIndex < Count()) {
    RECT textRect = rect;
    if (ColumnMode())
      InflateRect(&textRect, -kTextIndent, 0);
    else
      textRect.left += kTextIndent;
    Canvas().Font().SetColor(text);
    PaintItemText(AIndex, textRect);
  }
  rect.right = std::min<LONG>(rect.right, rect.left + FVisibleAreaSize.cx);
  if (AIndex == FItemIndex && HandleAllocated() && Focused()) {
    Canvas().Font().SetColor(text);
    Canvas().DrawFocusRect(rect);
  }
}

void TCustomXPListBox::PaintItemText(int AIndex, const RECT& ARect) {
  DrawXPCaption(Canvas(), ARect, FItems->Get(AIndex), Canvas().Font(), clDefault, taLeftJustify,
                tlCenter, dcfNoPrefix, epNone, 100);
}

void TCustomXPListBox::PaintOwnerDrawItem(int AIndex) {
  const POINT pos = GetItemPos(AIndex);
  const RECT rect{pos.x, pos.y, pos.x + GetItemWidth(), pos.y + FUsedItemHeight};
  TOwnerDrawState state = 0;
  if (Selected(AIndex))
    state |= odSelected;
  if (!Enabled())
    state |= odDisabled;
  if (ItemChecked(AIndex))
    state |= odChecked;
  if (AIndex == FItemIndex)
    state |= odFocused;
  if (AIndex == FHotIndex)
    state |= odHotLight;
  if (OnDrawItem)
    OnDrawItem(this, AIndex, rect, state);
}

void TCustomXPListBox::PaintCheckBox(int AIndex) {
  HDC dc = Canvas().Handle();
  const POINT pos = GetItemPos(AIndex);
  RECT cell{pos.x, pos.y, pos.x + GetCheckWidth(), pos.y + FUsedItemHeight};
  FillSolidRect(dc, cell, GetBackgroundColor());
  if (AIndex >= Count())
    return;
  cell.left += 1;
  const TCheckBoxState state = State(AIndex);
  const int look = LookState(AIndex);
  const int theme = GetXPThemeState();
  const int rowTop = pos.y;
  if (theme == xtsClassic) {
    SIZE size{};
    GetXPCheckSize(size);
    const int x = ColumnMode() ? cell.left + 1 : 1 - FHorzDelta;
    const int y = rowTop + (FUsedItemHeight - size.cy) / 2;
    RECT box{x, y, x + size.cx, y + size.cy};
    UINT flags = DFCS_BUTTONCHECK | DFCS_TRANSPARENT;
    if (!Enabled() || state == cbGrayed)
      flags |= DFCS_INACTIVE;
    if (AIndex == FHotIndex)
      flags |= DFCS_HOT;
    if (AIndex == FPressedIndex)
      flags |= DFCS_PUSHED;
    if (state != cbUnchecked)
      flags |= DFCS_CHECKED;
    DrawFrameControl(dc, &box, DFC_BUTTON, flags);
    return;
  }
  const int mark = state == cbChecked ? 4 : state == cbGrayed ? 8 : 0;
  if (theme == xtsEmulated) {
    TAlphaImage& image = TXPListsResourceManager::CheckBox();
    const int x = ColumnMode() ? cell.left : -FHorzDelta;
    const int y = rowTop + (FUsedItemHeight - kCheckFrame) / 2;
    const int frame = look + mark;
    DrawSkinBitmap(RECT{x, y, x + kCheckFrame, y + kCheckFrame},
                   RECT{0, 0, kCheckFrame, kCheckFrame},
                   RECT{0, frame * kCheckFrame, kCheckFrame, (frame + 1) * kCheckFrame}, dc,
                   image.Handle(), true);
    return;
  }
  const int detail = look + mark + 1;
  SIZE size = kDefaultCheckSize;
  GetCheckBoxSize(cell, detail, size);
  const int y = rowTop + (FUsedItemHeight - int(size.cy)) / 2;
  const RECT box{cell.left, y, cell.left + size.cx, y + size.cy};
  DrawThemePart(Handle(), kButtonThemeClass, kPartCheckBox, detail, dc, box);
}
