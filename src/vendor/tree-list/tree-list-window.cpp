#include "tree-list-core.h"

#include "application.h"

#include <windowsx.h>

#include <algorithm>
#include <utility>

// What the tree list does with its raw window messages, the arithmetic of
// its scroll bars (which part scrolls, how many rows fit, what the bars
// show) and the panning mode of the middle button.

namespace {

template <typename TEnd> class TFinally {
public:
  explicit TFinally(TEnd AEnd) : FEnd(std::move(AEnd)) {}
  TFinally(const TFinally&) = delete;
  TFinally& operator=(const TFinally&) = delete;
  ~TFinally() { FEnd(); }

private:
  TEnd FEnd;
};

// The window timers of the control: the focus step while a press is held
// beyond the rows, and the click that opens the editor.
constexpr UINT_PTR kFocusStepTimer = 1;
constexpr UINT_PTR kClickEditTimer = 2;

// Panning: the origin badge's side, the thread timer's period, the top
// speed, and the cursors of the screen's list per direction.
constexpr int kPanBadgeSize = 29;
constexpr UINT kPanTimerPeriod = 20;
constexpr int kPanMaxSpeed = 12;

bool IsMouseMessageRange(UINT AMsg) {
  return AMsg >= WM_MOUSEFIRST + 1 && AMsg <= WM_MOUSELAST && AMsg != WM_MOUSEWHEEL;
}

} // namespace

// ===========================================================================
// window procedure

void TCustomgxTreeList::WndProc(TMessage& AMessage) {
  switch (AMessage.Msg) {
  case WM_GX_TREELISTEXIT: {
    AMessage.Result = 0;
    HWND focus = GetFocus();
    if (FState != tsEditing || !FInplaceEdit || focus == Handle() || IsChild(Handle(), focus))
      return;
    // An editor that refused its value is taking the focus back already.
    MSG pending;
    if (FInplaceEdit->HandleAllocated() &&
        PeekMessageW(&pending, FInplaceEdit->Handle(), WM_GX_REFOCUS, WM_GX_REFOCUS, PM_NOREMOVE))
      return;
    try {
      HideEditor();
    } catch (const EgxEditInvalidInput&) {
      // The editor keeps its cell and the focus.
    }
    return;
  }
  case WM_KILLFOCUS: {
    FFocusLeavingFor = reinterpret_cast<HWND>(AMessage.WParam);
    TFinally forget([this] { FFocusLeavingFor = nullptr; });
    TCustomgxContainer::WndProc(AMessage);
    if (FState == tsNodeDown)
      SetState(tsNormal);
    StopFocusStepTimer();
    return;
  }
  case WM_MOUSEMOVE:
    // A header or band drag follows the mouse itself.
    if (FState == tsColumnDragging || FState == tsBandDragging) {
      const POINT point{GET_X_LPARAM(AMessage.LParam), GET_Y_LPARAM(AMessage.LParam)};
      MouseMove(TShiftState(ssLeft | KeyboardShiftState()), point.x, point.y);
      AMessage.Result = 0;
      return;
    }
    break;
  case WM_LBUTTONDOWN:
  case WM_LBUTTONDBLCLK:
    StopClickEditTimer();
    if (DragMode() == dmAutomatic && !Dragging() && !ComponentState().Contains(csDesigning)) {
      // The list starts its node drags itself, once the press has moved.
      SetDragMode(dmManual);
      TFinally restore([this] { SetDragMode(dmAutomatic); });
      TCustomgxContainer::WndProc(AMessage);
      return;
    }
    break;
  case WM_LBUTTONUP:
    // The release decides itself whether it was a click of the list.
    FControlState &= ~TControlState(csClicked);
    break;
  case WM_KEYDOWN:
  case WM_SYSKEYDOWN: {
    if (AMessage.Msg == WM_KEYDOWN && Dragging() && DragMode() == dmAutomatic) {
      if (AMessage.WParam == VK_ESCAPE) {
        EndDrag(false);
        AMessage.Result = 0;
        return;
      }
      // + and - open and close the node under the dragged pointer.
      if (AMessage.WParam == VK_ADD || AMessage.WParam == VK_SUBTRACT) {
        POINT point{};
        GetCursorPos(&point);
        ::ScreenToClient(Handle(), &point);
        TgxTreeListNode* node = GetNodeAt(point.x, point.y);
        if (node && (node->Count() > 0 || node->HasChildren())) {
          if (AMessage.WParam == VK_ADD && !node->Expanded())
            node->Expand(false);
          else if (AMessage.WParam == VK_SUBTRACT && node->Expanded())
            node->Collapse(false);
        }
      }
    }
    WORD key = WORD(AMessage.WParam);
    KeyDown(key, KeyboardShiftState());
    if (key == 0 || AMessage.Msg == WM_KEYDOWN) {
      AMessage.Result = 0;
      return;
    }
    break;
  }
  case WM_CHAR: {
    wchar_t key = wchar_t(AMessage.WParam);
    KeyPress(key);
    AMessage.Result = 0;
    return;
  }
  case WM_HSCROLL:
  case WM_VSCROLL:
    // A scroll bar control of a child reports to its own handler.
    if (AMessage.LParam == 0) {
      WMScroll(AMessage, AMessage.Msg == WM_VSCROLL);
      AMessage.Result = 0;
      return;
    }
    break;
  case WM_TIMER:
    if (AMessage.WParam == kClickEditTimer || AMessage.WParam == kFocusStepTimer) {
      WMTimer(AMessage);
      AMessage.Result = 0;
      return;
    }
    break;
  case WM_SIZE:
    ResetRowHeights();
    CloseEditor();
    DropUnneededScrollBars();
    TCustomgxContainer::WndProc(AMessage);
    UpdateScrollBars();
    if (TopIndex() > 0) {
      // A taller window shows the rows the old top hid below.
      const int top = std::max(0, std::min(TopIndex(), AbsoluteCount() - FRowCount));
      if (top != TopIndex())
        SetTopIndex(top);
    }
    return;
  case WM_CANCELMODE:
    CancelMouseOperation();
    break;
  default:
    break;
  }
  TCustomgxContainer::WndProc(AMessage);
}

LRESULT TCustomgxTreeList::DialogCode() {
  LRESULT code = DLGC_WANTARROWS;
  if (IsEditing() || FSearching || (IsAutoSearch() && GetKeyState(VK_MENU) >= 0))
    code |= DLGC_WANTCHARS;
  if (WantsTabs())
    code |= DLGC_WANTTAB;
  return code;
}

void TCustomgxTreeList::WMScroll(TMessage& AMessage, bool AVertical) {
  if (!CanScroll())
    return;
  const int code = LOWORD(AMessage.WParam);
  if (code > SB_BOTTOM)
    return;
  // The thumb's place: the 16 bits of the message, or the bar's own track
  // position when the range is larger than that.
  int track = HIWORD(AMessage.WParam);
  if (code == SB_THUMBPOSITION || code == SB_THUMBTRACK) {
    SCROLLINFO info{sizeof(info), SIF_TRACKPOS, 0, 0, 0, 0, 0};
    if (HandleAllocated() && GetScrollInfo(AVertical ? SB_VERT : SB_HORZ, info) &&
        info.nTrackPos > 0xFFFF)
      track = info.nTrackPos;
  }
  if (AVertical) {
    const int count = AbsoluteCount();
    const int top = std::max(0, TopIndex());
    int value = top;
    switch (code) {
    case SB_LINEUP:
      value = top - 1;
      break;
    case SB_LINEDOWN:
      value = top + 1;
      break;
    case SB_PAGEUP:
      value = top - FRowCount;
      break;
    case SB_PAGEDOWN:
      value = top + FRowCount;
      break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
      value = track < 1 ? 0 : std::min(track, count);
      break;
    case SB_TOP:
      value = 0;
      break;
    case SB_BOTTOM:
      value = count;
      break;
    default:
      return;
    }
    SetTopIndex(value);
    return;
  }
  if (GetVisibleColumnCount() < 1)
    return;
  const RECT area = GetScrollAreaRect();
  const int areaWidth = std::max(0, int(area.right - area.left));
  const int content = GetScrollableWidth();
  int step = FDeltaHScroll;
  if (step <= 0) {
    // The width of "0" in the control's font.
    step = 8;
    if (HDC dc = GetDC(nullptr)) {
      HGDIOBJ old = SelectObject(dc, Font().Handle());
      SIZE size{};
      if (GetTextExtentPoint32W(dc, L"0", 1, &size) && size.cx > 0)
        step = int(size.cx);
      SelectObject(dc, old);
      ReleaseDC(nullptr, dc);
    }
  }
  int value = FLeftCoord;
  switch (code) {
  case SB_LINELEFT:
    value -= step;
    break;
  case SB_LINERIGHT:
    value += step;
    break;
  case SB_PAGELEFT:
    value -= areaWidth;
    break;
  case SB_PAGERIGHT:
    value += areaWidth;
    break;
  case SB_THUMBPOSITION:
  case SB_THUMBTRACK:
    if (track < 1)
      value = 0;
    else if (track >= content)
      value = content;
    else if (track + areaWidth + 1 >= content)
      value = track + 1;
    else
      value = ((track + 1) / 4) * 4;
    break;
  case SB_LEFT:
    value = 0;
    break;
  case SB_RIGHT:
    value = content;
    break;
  default:
    return;
  }
  SetLeftCoord(std::clamp(value, 0, std::max(0, content - areaWidth)));
}

void TCustomgxTreeList::WMTimer(TMessage& AMessage) {
  if (AMessage.WParam == kClickEditTimer) {
    StopClickEditTimer();
    if (FState != tsNormal)
      return;
    bool allow = true;
    if (OnClickHoverEdit)
      OnClickHoverEdit(this, FocusedColumn(), allow);
    if (allow)
      ShowEditor();
    return;
  }
  // The focus steps one row per tick while the press stays beyond the rows.
  if (FState != tsNodeDown || FFocusStepDirection == 0) {
    StopFocusStepTimer();
    return;
  }
  SetFocusedNumber(FocusedNumber() + FFocusStepDirection);
  if (IsMultiSelect())
    SelectOnlyFocused();
  Update();
}

void TCustomgxTreeList::StartClickEditTimer() {
  if (FClickEditTimer || FState == tsEditing || !HandleAllocated())
    return;
  FClickEditTimer = SetTimer(Handle(), kClickEditTimer, GetDoubleClickTime(), nullptr) != 0;
}

void TCustomgxTreeList::StopClickEditTimer() {
  if (!FClickEditTimer)
    return;
  FClickEditTimer = false;
  if (HandleAllocated())
    KillTimer(Handle(), kClickEditTimer);
}

void TCustomgxTreeList::StartFocusStepTimer(int ADirection) {
  FFocusStepDirection = ADirection;
  if (!HandleAllocated())
    return;
  StopFocusStepTimer();
  FFocusStepDirection = ADirection;
  FFocusStepTimer = SetTimer(Handle(), kFocusStepTimer, 60, nullptr) != 0;
}

void TCustomgxTreeList::StopFocusStepTimer() {
  FFocusStepDirection = 0;
  if (!FFocusStepTimer)
    return;
  FFocusStepTimer = false;
  if (HandleAllocated())
    KillTimer(Handle(), kFocusStepTimer);
}

// ===========================================================================
// rows that fit and the scroll bars

int TCustomgxTreeList::GetScrollDistance(int ARows) {
  int distance = 0;
  if (ARows < 0) {
    TgxTreeListNode* node = FTopVisibleNode;
    for (int i = 0; node && i < -ARows; ++i, node = GetNextVisible(node))
      distance -= CalcRowHeight(node, FRowHeight, false);
  } else if (ARows > 0) {
    int index = TopIndex();
    for (int i = 0; i < ARows && index > 0; ++i)
      distance += CalcRowHeight(GetNodeAtAbsoluteIndex(--index), FRowHeight, false);
  }
  return distance;
}

int TCustomgxTreeList::GetTopIndexForLastRow(int AIndex) {
  RECT cells{};
  GetCellsAreaRect(cells);
  const int height = int(cells.bottom - cells.top);
  int sum = CalcRowHeight(GetNodeAtAbsoluteIndex(AIndex), FRowHeight, false);
  int top = AIndex;
  while (top > 0) {
    const int above = CalcRowHeight(GetNodeAtAbsoluteIndex(top - 1), FRowHeight, false);
    if (sum + above > height)
      break;
    sum += above;
    --top;
  }
  return top;
}

int TCustomgxTreeList::CountFittingRows(TgxTreeListNode* ANode, int AHeight, int& APartCount,
                                        int& AFullCount) {
  APartCount = 0;
  AFullCount = 0;
  int used = 0;
  bool ended = false;
  for (TgxTreeListNode* node = ANode; node; node = GetNextVisible(node)) {
    const int height = CalcRowHeight(node, FRowHeight, false);
    ++APartCount;
    if (used + height > AHeight) {
      used = AHeight;
      ended = true;
      break;
    }
    used += height;
    ++AFullCount;
  }
  if (!ended && ANode) {
    // Room left below the last row is filled from above the first.
    for (int index = GetAbsoluteIndexOf(ANode) - 1; index >= 0; --index) {
      const int height = CalcRowHeight(GetNodeAtAbsoluteIndex(index), FRowHeight, false);
      ++APartCount;
      if (used + height > AHeight) {
        used = AHeight;
        break;
      }
      used += height;
      ++AFullCount;
    }
  }
  APartCount = std::max(1, APartCount);
  AFullCount = std::max(1, AFullCount);
  return used;
}

void TCustomgxTreeList::UpdateRowCount() {
  RECT cells{};
  GetCellsAreaRect(cells);
  const int height = std::max(0, int(cells.bottom - cells.top));
  if (!FTopVisibleNode || Count() == 0) {
    // Without rows the count is what rows of the default height would fill.
    const int row = std::max(1, FRowHeight);
    FVisibleRowCount = std::max(1, height / row);
    FRowCount = std::max(1, (height + row - 1) / row);
    return;
  }
  CountFittingRows(FTopVisibleNode, height, FRowCount, FVisibleRowCount);
}

void TCustomgxTreeList::GetVScrollInfo(int& AMin, int& AMax, int& APos, int& APage, int&) {
  const int count = AbsoluteCount();
  AMin = 0;
  AMax = FRowCount >= count ? 0 : count - 1;
  APos = std::max(0, TopIndex());
  APage = FRowCount;
}

RECT TCustomgxTreeList::GetScrollAreaRect() {
  RECT area = ClientRect();
  if (FShowIndicator)
    area.left += std::max(0, GetIndicatorWidth());
  if (IsShowStatusPanel())
    area.bottom -= FStatusHeight;
  area.top += FGroupPanelHeight;
  if (!IsAutoWidth()) {
    const int left = GetLeftFixedBand(), right = GetRightFixedBand();
    if (left >= 0)
      area.left += GetBandWidth(left) + GetBandAreaOffset();
    if (right >= 0)
      area.right -= GetBandWidth(right);
  }
  if (area.right < area.left)
    area.right = area.left;
  return area;
}

int TCustomgxTreeList::GetScrollableWidth() {
  int width = GetContentWidth();
  const int left = GetLeftFixedBand(), right = GetRightFixedBand();
  if (left >= 0)
    width -= GetBandWidth(left) + GetBandAreaOffset();
  if (right >= 0)
    width -= GetBandWidth(right);
  return std::max(0, width);
}

void TCustomgxTreeList::UpdateScrollBars() {
  if (!HandleAllocated() || IsDestroying())
    return;
  HideDragImages();
  TFinally show([this] { ShowDragImages(); });
  auto vertical = [this] {
    UpdateRowCount();
    if (!IsVertScrollBarAllowed())
      return;
    int min = 0, max = 0, pos = 0, page = 0, mask = 0;
    GetVScrollInfo(min, max, pos, page, mask);
    SCROLLINFO now{sizeof(now), SIF_ALL, 0, 0, 0, 0, 0};
    GetScrollInfo(SB_VERT, now);
    if (now.nMin == min && now.nMax == max && int(now.nPage) == page && now.nPos == pos)
      return;
    SCROLLINFO info{sizeof(info), SIF_RANGE | SIF_PAGE | SIF_POS, min, max, UINT(page), pos, 0};
    SetScrollInfo(SB_VERT, info, true);
  };
  auto horizontal = [this] {
    if (!IsHorzScrollBarAllowed())
      return;
    const RECT area = GetScrollAreaRect();
    const int page = int(area.right - area.left);
    const int content = GetScrollableWidth();
    const int max = content > page ? content - 1 : 0;
    SCROLLINFO now{sizeof(now), SIF_ALL, 0, 0, 0, 0, 0};
    GetScrollInfo(SB_HORZ, now);
    if (now.nMin == 0 && now.nMax == max && int(now.nPage) == page && now.nPos == FLeftCoord)
      return;
    SCROLLINFO info{
        sizeof(info), SIF_RANGE | SIF_PAGE | SIF_POS, 0, max, UINT(page), FLeftCoord, 0};
    SetScrollInfo(SB_HORZ, info, true);
  };
  // Showing one bar can take the room that decides the other.
  vertical();
  horizontal();
  vertical();
  horizontal();
}

void TCustomgxTreeList::DropUnneededScrollBars() {
  if (!HandleAllocated())
    return;
  const LONG_PTR style = GetWindowLongPtrW(Handle(), GWL_STYLE);
  if ((style & WS_HSCROLL) == 0 || (style & WS_VSCROLL) == 0 || KeepScrollBars())
    return;
  RECT cells{};
  GetCellsAreaRect(cells);
  cells.right += GetSystemMetrics(SM_CXVSCROLL);
  cells.bottom += GetSystemMetrics(SM_CYHSCROLL);
  int part = 0, full = 0;
  const int height = int(cells.bottom - cells.top);
  int rows = 0;
  for (TgxTreeListNode* node = FTopVisibleNode; node; node = GetNextVisible(node))
    ++rows;
  if (FTopVisibleNode)
    CountFittingRows(FTopVisibleNode, height, part, full);
  const bool rowsFit = !FTopVisibleNode || full >= std::max(rows, AbsoluteCount());
  const RECT area = GetScrollAreaRect();
  const int width = int(area.right - area.left) + GetSystemMetrics(SM_CXVSCROLL);
  if (!rowsFit || GetScrollableWidth() > width)
    return;
  SetWindowLongPtrW(Handle(), GWL_STYLE, style & ~LONG_PTR(WS_HSCROLL | WS_VSCROLL));
  SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
               SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

bool TCustomgxTreeList::CanScrollContent() {
  // A footer and fixed bands stay where they are while the rest moves.
  return HandleAllocated() && IsWindowVisible(Handle()) && !IsUpdateLocked() && !IsPaintLocked() &&
         FState != tsEditing && !FShowFooter && GetLeftFixedBand() < 0 && GetRightFixedBand() < 0;
}

void TCustomgxTreeList::ScrollContentHorz(int ADx) {
  if (!HandleAllocated())
    return;
  const RECT area = GetScrollAreaRect();
  HideDragImages();
  ScrollWindowEx(Handle(), ADx, 0, &area, &area, nullptr, nullptr, SW_INVALIDATE);
  ShowDragImages();
}

void TCustomgxTreeList::ScrollContentVert(int ADy) {
  if (!HandleAllocated())
    return;
  TgxGridDrawInfo info;
  CalcRectInfo(info, false);
  RECT cells = info.CellsRect;
  if (FShowIndicator)
    cells.left = info.IndicatorRect.left;
  HideDragImages();
  ScrollWindowEx(Handle(), 0, ADy, &cells, &cells, nullptr, nullptr, SW_INVALIDATE);
  ShowDragImages();
  // The dots of the tree lines keep their phase with the row, not the screen.
  if (FPaintStyle == psStandard && FTreeLineStyle == tlDot) {
    RECT tree = cells;
    tree.left = info.CellsRect.left;
    tree.right = std::min<LONG>(tree.right, tree.left + std::max(0, GetBandWidth(0)));
    InvalidateRect(Handle(), &tree, FALSE);
  }
  FreeDrawInfo(info);
}

// ===========================================================================
// panning

void TCustomgxTreeList::StartPanning() {
  if (!HandleAllocated() || FPanning)
    return;
  FreeTooltipWindow();
  const LONG_PTR style = GetWindowLongPtrW(Handle(), GWL_STYLE);
  const bool hasHorz = (style & WS_HSCROLL) != 0, hasVert = (style & WS_VSCROLL) != 0;
  POINT origin{};
  GetCursorPos(&origin);

  const wchar_t* bitmapName = hasHorz && hasVert ? L"GXGRID_FULLSCROLLBITMAP"
                              : hasVert          ? L"GXGRID_VERSCROLLBITMAP"
                                                 : L"GXGRID_HORSCROLLBITMAP";
  HBITMAP bitmap = static_cast<HBITMAP>(
      LoadImageW(ModuleInstance(), bitmapName, IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
  int badgeWidth = kPanBadgeSize, badgeHeight = kPanBadgeSize;
  if (bitmap) {
    BITMAP info{};
    if (GetObjectW(bitmap, sizeof(info), &info)) {
      badgeWidth = info.bmWidth;
      badgeHeight = info.bmHeight;
    }
  }
  HWND badge = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, origin.x - badgeWidth / 2,
                               origin.y - badgeHeight / 2, badgeWidth, badgeHeight, Handle(),
                               nullptr, ModuleInstance(), nullptr);
  if (badge) {
    SetWindowRgn(badge, CreateEllipticRgn(0, 0, badgeWidth + 1, badgeHeight + 1), FALSE);
    SetWindowPos(badge, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    if (HDC dc = GetWindowDC(badge)) {
      if (bitmap) {
        if (HDC memory = CreateCompatibleDC(dc)) {
          HGDIOBJ old = SelectObject(memory, bitmap);
          BitBlt(dc, 0, 0, badgeWidth, badgeHeight, memory, 0, 0, SRCCOPY);
          SelectObject(memory, old);
          DeleteDC(memory);
        }
      }
      if (HRGN frame = CreateEllipticRgn(0, 0, badgeWidth + 1, badgeHeight + 1)) {
        FrameRgn(dc, frame, GetSysColorBrush(COLOR_WINDOWTEXT), 1, 1);
        DeleteObject(frame);
      }
      ReleaseDC(badge, dc);
    }
  }

  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  RECT neutral{origin.x - badgeWidth / 2, origin.y - badgeWidth / 2,
               origin.x - badgeWidth / 2 + badgeWidth, origin.y - badgeWidth / 2 + badgeWidth};
  if (!hasHorz) {
    neutral.left = 0;
    neutral.right = screenWidth;
  }
  if (!hasVert) {
    neutral.top = 0;
    neutral.bottom = screenHeight;
  }
  int direction = 0, speed = 1, ticks = 0;
  bool leftNeutral = false;
  POINT last = origin;
  auto setCursorFor = [&](int ADirection) {
    static constexpr TCursor kDirectionCursors[] = {0, -1137, -1134, -1135, -1136};
    TCursor cursor = kDirectionCursors[ADirection];
    if (ADirection == 0)
      cursor = hasHorz && hasVert ? -1131 : hasHorz ? -1132 : -1133;
    if (HCURSOR handle = Screen()->Cursor(cursor))
      ::SetCursor(handle);
  };
  auto track = [&](POINT AP) {
    if (PtInRect(&neutral, AP)) {
      direction = 0;
      speed = 0;
    } else {
      leftNeutral = true;
      const int dy = std::abs(int(AP.y - origin.y)), dx = std::abs(int(AP.x - origin.x));
      int distance = 0;
      if (!hasHorz || (hasVert && dy >= dx)) {
        direction = AP.y < origin.y ? 2 : 4;
        distance = dy;
      } else {
        direction = AP.x < origin.x ? 1 : 3;
        distance = dx;
      }
      speed = std::clamp((distance - badgeWidth / 2) / 5 + 1, 1, kPanMaxSpeed);
    }
    setCursorFor(direction);
  };
  setCursorFor(0);
  FPanning = true;
  const UINT_PTR timer = SetTimer(nullptr, 0, kPanTimerPeriod, nullptr);
  SetCapture(Handle());
  TFinally finish([&] {
    FPanning = false;
    if (HandleAllocated() && GetCapture() == Handle())
      ReleaseCapture();
    if (timer)
      KillTimer(nullptr, timer);
    if (badge)
      DestroyWindow(badge);
    if (bitmap)
      DeleteObject(bitmap);
  });
  MSG msg;
  while (HandleAllocated() && GetCapture() == Handle()) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1)
      break;
    if (got == 0) {
      PostQuitMessage(int(msg.wParam));
      break;
    }
    if (msg.message == WM_KEYDOWN || msg.message == WM_KEYUP) {
      if (msg.wParam == VK_ESCAPE)
        break;
      continue;
    }
    if (msg.message == WM_TIMER) {
      if (msg.hwnd == nullptr && msg.wParam == timer) {
        ++ticks;
        if (speed > 0 && ticks % (kPanMaxSpeed + 1 - speed) == 0) {
          static constexpr struct {
            UINT Msg;
            WPARAM Code;
          } kSteps[] = {{0, 0},
                        {WM_HSCROLL, SB_LINELEFT},
                        {WM_VSCROLL, SB_LINEUP},
                        {WM_HSCROLL, SB_LINERIGHT},
                        {WM_VSCROLL, SB_LINEDOWN}};
          if (direction > 0)
            Perform(kSteps[direction].Msg, kSteps[direction].Code, 0);
        }
      }
      continue;
    }
    if (msg.message == WM_MOUSEMOVE) {
      POINT point{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
      if (msg.hwnd)
        ::ClientToScreen(msg.hwnd, &point);
      if (point.x == last.x && point.y == last.y)
        continue;
      last = point;
      track(point);
      continue;
    }
    if (msg.message == WM_MOUSEWHEEL) {
      if (leftNeutral)
        break;
      continue;
    }
    if (msg.message == WM_PAINT && badge && msg.hwnd == badge) {
      ValidateRect(badge, nullptr);
      continue;
    }
    if (IsMouseMessageRange(msg.message))
      break;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}
