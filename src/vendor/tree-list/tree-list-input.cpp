#include "tree-list-core.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

// The keyboard and the mouse of the tree list: focus moves, expansion,
// multi-selection gestures, the editor's opening and closing, and a small
// state machine over FState for sizing, pressing and dragging. Every mouse
// decision starts from a hit test.

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

// A press must move this far before it becomes a drag.
constexpr int kDragThreshold = 5;

// Keys a live editor is closed by before the list handles them.
bool ClosesEditor(WORD AKey) {
  switch (AKey) {
  case VK_TAB:
  case VK_RETURN:
  case VK_ESCAPE:
  case VK_PRIOR:
  case VK_NEXT:
  case VK_UP:
  case VK_DOWN:
    return true;
  default:
    return false;
  }
}

// Characters that open the editor and go on into it.
bool OpensEditor(wchar_t AKey) {
  return AKey == 8 || AKey == 22 || AKey == 24 || (AKey >= 32 && AKey <= 255);
}

bool IsSizingOrDragging(TgxTreeListState AState) {
  switch (AState) {
  case tsColumnSizing:
  case tsColumnDragging:
  case tsBandSizing:
  case tsBandDragging:
  case tsBandPanelSizing:
  case tsHeaderPanelSizing:
  case tsRowSizing:
    return true;
  default:
    return false;
  }
}

// The parts of a row a press selects its node on.
bool IsSelectablePart(TgxTreeListHitTest AHit) {
  switch (AHit) {
  case htIcon:
  case htStateIcon:
  case htLabel:
  case htNewRowItem:
  case htSummaryNodeFooter:
  case htPreview:
    return true;
  default:
    return false;
  }
}

bool HasChildNodes(TgxTreeListNode* ANode) {
  return ANode && (ANode->Count() > 0 || ANode->HasChildren());
}

} // namespace

// ===========================================================================
// focus moves

void TCustomgxTreeList::SelectOnlyFocused() {
  if (!FFocused)
    return;
  ClearSelection();
  FFocused->SetSelected(true);
  SetSelectionAnchor(FFocused);
}

void TCustomgxTreeList::ActivateNewItemRow() {
  if (!IsShowNewItemRow() || FNewItemRowActive)
    return;
  FNewItemRowActive = true;
  Invalidate();
}

void TCustomgxTreeList::FocusFirstLastNode(bool ALast) {
  const int count = AbsoluteCount();
  if (count > 0)
    SetFocusedNumber(ALast ? count - 1 : 0);
}

int TCustomgxTreeList::FindFocusableColumn(int AFrom, bool AForward) {
  const int count = GetVisibleColumnCount();
  for (int i = AFrom; i >= 0 && i < count; i += AForward ? 1 : -1)
    if (GetColumnTabStop(GetFocusedAbsoluteIndex(i)))
      return i;
  return -1;
}

void TCustomgxTreeList::MoveFocusRow(int ADelta, TShiftState AShift) {
  if (!FFocused)
    return;
  const int index = FocusedNumber();
  if (!IsMultiSelect()) {
    SetFocusedNumber(index + ADelta);
    return;
  }
  const bool shift = (AShift & ssShift) != 0;
  if (shift && FSelecting) {
    const int side = CompareWithAnchor(FFocused);
    const bool back = (ADelta > 0 && side < 0) || (ADelta < 0 && side > 0);
    if (back) {
      FFocused->SetSelected(false);
      SetFocusedNumber(index + ADelta);
    } else {
      SetFocusedNumber(index + ADelta);
      if (FFocused)
        FFocused->SetSelected(true);
    }
    return;
  }
  // The edge of the list keeps what is selected.
  const bool atLast = ADelta > 0 && index >= AbsoluteCount() - 1;
  const bool atFirstAlone = ADelta < 0 && index == 0 && GetSelectedCount() == 1;
  if (!atLast && !atFirstAlone)
    ClearSelection();
  if (!shift) {
    SetSelectionAnchor(nullptr);
    SetFocusedNumber(index + ADelta);
    return;
  }
  if (FSelectionAnchor) {
    SelectNodes(FSelectionAnchor, FFocused);
    const int side = CompareWithAnchor(FFocused);
    const bool away = (ADelta > 0 && side > 0) || (ADelta < 0 && side < 0);
    if (!away && side != 0)
      FFocused->SetSelected(false);
  } else {
    SetSelectionAnchor(FFocused);
    FFocused->SetSelected(true);
  }
  FSelecting = true;
  SetFocusedNumber(index + ADelta);
  if (FFocused)
    FFocused->SetSelected(true);
}

void TCustomgxTreeList::MoveFocusPage(int ADelta) {
  if (!FFocused)
    return;
  const int count = AbsoluteCount();
  const int index = FocusedNumber();
  if (count < 2) {
    if ((ADelta < 0 && index == 0) || (ADelta > 0 && index >= count - 1))
      return;
    SetFocusedNumber(index + ADelta);
    return;
  }
  const int top = std::max(0, TopIndex());
  const int last = std::min(top + FRowCount - 1, count - 1);
  if (index > top && index < last) {
    SetFocusedNumber(ADelta < 0 ? top : last);
    return;
  }
  SetFocusedNumber(index + ADelta * std::max(1, FRowCount - 1));
}

bool TCustomgxTreeList::MoveFocusInBand(bool AUp) {
  if (IsRowSelect() || !FFocused || IsGroupNode(FFocused))
    return false;
  const int column = GetFocusedAbsoluteIndex(FFocusedColumn);
  if (column < 0)
    return false;
  const int band = GetBandVisibleIndex(GetColumnBandIndex(column));
  const int rows = GetHeaderRowCount(band);
  if (rows < 2)
    return false;
  const int row = GetColumnRowIndex(column);
  if ((AUp && row == 0 && IsFirstNode(FFocused) && FocusedNumber() == 0) ||
      (!AUp && row == rows - 1 && FocusedNumber() == AbsoluteCount() - 1))
    return true;
  const int target = AUp ? (row == 0 ? rows - 1 : row - 1) : (row == rows - 1 ? 0 : row + 1);
  const int cols = GetHeaderColCount(band, target);
  if (cols < 1)
    return false;
  const int col = std::min(GetColumnColIndex(column), cols - 1);
  SetFocusedColumn(GetFocusedVisibleIndex(GetHeaderAbsoluteIndex(band, target, col)));
  // A wrap leaves the node to the ordinary row move.
  return AUp ? row != 0 : row != rows - 1;
}

// ===========================================================================
// keyboard

void TCustomgxTreeList::KeyDown(WORD& AKey, TShiftState AShift) {
  BeginSelection();
  TFinally end([this] { EndSelection(); });
  if (OnKeyDown)
    OnKeyDown(this, AKey, AShift);
  if (AKey == 0 || !CanKeyDown(AKey, AShift))
    return;
  if (IsSizingOrDragging(FState)) {
    if (AKey == VK_ESCAPE)
      CancelMouseOperation();
    return;
  }
  if (Count() == 0)
    return;
  if (FState == tsEditing && ClosesEditor(AKey)) {
    CloseEditor();
    if (AKey == VK_ESCAPE)
      return;
  }
  const bool shift = (AShift & ssShift) != 0;
  const bool ctrl = (AShift & ssCtrl) != 0;
  if (IsNewItemRowActive() && (AKey == VK_NEXT || AKey == VK_DOWN)) {
    FNewItemRowActive = false;
    SetFocusedNode(FTopVisibleNode, FFocusedColumn, true);
    if (!ctrl && !shift && IsMultiSelect())
      SelectOnlyFocused();
    Invalidate();
    return;
  }
  if (FSearching) {
    // The keys of a running search act on it alone.
    switch (AKey) {
    case VK_BACK:
      SearchBackspace();
      return;
    case VK_DELETE:
      SearchClear();
      return;
    case VK_RETURN:
      if (shift || ctrl) {
        SearchNext(shift);
        return;
      }
      break;
    case VK_ESCAPE:
      EndSearch();
      return;
    default:
      break;
    }
  }
  if (ctrl) {
    const bool rangeKey = AKey == VK_PRIOR || AKey == VK_NEXT || AKey == VK_END ||
                          AKey == VK_HOME || AKey == VK_UP || AKey == VK_DOWN;
    if (!(shift && rangeKey)) {
      FSelecting = false;
      switch (AKey) {
      case VK_SPACE:
        if ((IsRowSelect() || !IsEditing()) && FFocused && IsMultiSelect()) {
          FFocused->SetSelected(!IsNodeSelected(FFocused));
          SetSelectionAnchor(FFocused);
        }
        break;
      case VK_PRIOR:
      case VK_NEXT:
        MoveFocusPage(AKey == VK_PRIOR ? -1 : 1);
        break;
      case VK_END:
      case VK_HOME:
        FocusFirstLastNode(AKey == VK_END);
        break;
      case VK_LEFT:
      case VK_RIGHT:
        if (GetVisibleColumnCount() > 0)
          SetFocusedColumn(AKey == VK_LEFT ? 0 : GetVisibleColumnCount() - 1);
        break;
      case VK_UP:
        if (FocusedNumber() == 0 && IsShowNewItemRow())
          ActivateNewItemRow();
        else
          SetFocusedNumber(FocusedNumber() - 1);
        break;
      case VK_DOWN:
        SetFocusedNumber(FocusedNumber() + 1);
        break;
      default:
        break;
      }
      return;
    }
  }
  const bool cellMode = !IsRowSelect();
  switch (AKey) {
  case VK_TAB:
    if (AShift & ssAlt)
      break;
    if (!cellMode) {
      ClearSelection();
      SetFocusedNumber(FocusedNumber() + (shift ? -1 : 1));
      break;
    }
    if (const int next = FindFocusableColumn(FFocusedColumn + (shift ? -1 : 1), !shift);
        next >= 0) {
      SetFocusedColumn(next);
    } else if (IsTabThrough()) {
      const int index = FocusedNumber() + (shift ? -1 : 1);
      if (TgxTreeListNode* node = GetNodeAtAbsoluteIndex(index)) {
        ClearSelection();
        const int column = shift ? FindFocusableColumn(GetVisibleColumnCount() - 1, false)
                                 : FindFocusableColumn(0, true);
        SetFocusedNode(node, std::max(0, column), true);
      }
    }
    break;
  case VK_RETURN:
    if (IsEnterThrough()) {
      if (const int next = FindFocusableColumn(FFocusedColumn + 1, true); next >= 0)
        SetFocusedColumn(next);
      else if (TgxTreeListNode* node = GetNodeAtAbsoluteIndex(FocusedNumber() + 1))
        SetFocusedNode(node, std::max(0, FindFocusableColumn(0, true)), true);
      ShowEditor();
    }
    break;
  case VK_ESCAPE:
    ClearSelection();
    FInplaceColumn = -1;
    FInplaceNode = nullptr;
    if (FInplaceEdit)
      FInplaceEdit->Deselect();
    CloseEditor();
    break;
  case VK_PRIOR:
  case VK_NEXT:
    ClearSelection();
    if (shift) {
      if (!FSelectionAnchor)
        SetSelectionAnchor(FFocused);
    } else {
      SetSelectionAnchor(nullptr);
    }
    if (AKey == VK_PRIOR && FocusedNumber() == 0 && IsShowNewItemRow()) {
      ActivateNewItemRow();
      break;
    }
    MoveFocusPage(AKey == VK_PRIOR ? -1 : 1);
    if (shift && FSelectionAnchor && FFocused)
      SelectNodes(FSelectionAnchor, FFocused);
    break;
  case VK_END:
  case VK_HOME:
    if (!cellMode || shift) {
      ClearSelection();
      if (shift) {
        if (!FSelectionAnchor)
          SetSelectionAnchor(FFocused);
        FocusFirstLastNode(AKey == VK_END);
        if (FSelectionAnchor && FFocused)
          SelectNodes(FSelectionAnchor, FFocused);
      } else {
        SetSelectionAnchor(nullptr);
        FocusFirstLastNode(AKey == VK_END);
      }
    } else if (GetVisibleColumnCount() > 0) {
      SetFocusedColumn(AKey == VK_END ? GetVisibleColumnCount() - 1 : 0);
    }
    break;
  case VK_LEFT:
    if (!cellMode || GetVisibleColumnCount() < 2) {
      MakeNodeVisible(FFocused);
      if (IsNewItemRowActive() || !FFocused)
        break;
      if (FFocused->Expanded() && HasChildNodes(FFocused)) {
        FFocused->Collapse(false);
      } else if (TgxTreeListNode* parent = FFocused->Parent()) {
        ClearSelection();
        SetFocusedNode(parent, FFocusedColumn, true);
        if (IsMultiSelect())
          SelectOnlyFocused();
      }
    } else if (FFocusedColumn > 0) {
      SetFocusedColumn(FFocusedColumn - 1);
    } else if (IsHorzThrough()) {
      if (TgxTreeListNode* node = GetNodeAtAbsoluteIndex(FocusedNumber() - 1))
        SetFocusedNode(node, std::max(0, FindFocusableColumn(GetVisibleColumnCount() - 1, false)),
                       true);
    }
    break;
  case VK_RIGHT:
    if (!cellMode || GetVisibleColumnCount() < 2) {
      MakeNodeVisible(FFocused);
      if (IsNewItemRowActive() || !FFocused)
        break;
      if (HasChildNodes(FFocused) && !FFocused->Expanded()) {
        FFocused->Expand(false);
      } else if (FFocused->Expanded() && FFocused->Count() > 0) {
        ClearSelection();
        SetFocusedNode(FFocused->GetFirstChild(), FFocusedColumn, true);
        if (IsMultiSelect())
          SelectOnlyFocused();
      }
    } else if (FFocusedColumn < GetVisibleColumnCount() - 1) {
      SetFocusedColumn(FFocusedColumn + 1);
    } else if (IsHorzThrough()) {
      if (TgxTreeListNode* node = GetNodeAtAbsoluteIndex(FocusedNumber() + 1))
        SetFocusedNode(node, std::max(0, FindFocusableColumn(0, true)), true);
    }
    break;
  case VK_UP:
    if (IsVertThrough() && MoveFocusInBand(true))
      break;
    if (FocusedNumber() == 0 && IsShowNewItemRow())
      ActivateNewItemRow();
    else
      MoveFocusRow(-1, AShift);
    break;
  case VK_DOWN:
    if (IsVertThrough() && MoveFocusInBand(false))
      break;
    MoveFocusRow(1, AShift);
    break;
  case VK_F2:
    ShowEditor();
    break;
  default:
    break;
  }
  // Something stays selected while a node has the focus.
  if (IsMultiSelect() && FFocused && GetSelectedCount() == 0)
    FFocused->SetSelected(true);
}

void TCustomgxTreeList::KeyPress(wchar_t& AKey) {
  const TShiftState shift = KeyboardShiftState();
  const bool ctrlOnly = (shift & ssCtrl) && !(shift & ssAlt);
  if (IsAutoSearch() && FState == tsNormal && !FSearching && AKey != 8 && AKey != 9 && AKey != 13 &&
      AKey != 27 && !ctrlOnly)
    StartSearch(-1, std::wstring());
  const bool editing = FState == tsEditing;
  if (FSearching || !IsEnterShowEditor() || editing) {
    if (OnKeyPress)
      OnKeyPress(this, AKey);
  } else if (AKey == L'\r') {
    ShowEditor();
  } else if (OpensEditor(AKey)) {
    ShowEditorChar(AKey);
    if (FState != tsEditing && OnKeyPress)
      OnKeyPress(this, AKey);
  } else if (OnKeyPress) {
    OnKeyPress(this, AKey);
  }
  if (AKey == 0 || FState == tsEditing)
    return;
  if (FSearching) {
    if (AKey >= 32 && AKey <= 255 && !ctrlOnly)
      SearchAddChar(AKey);
    return;
  }
  if (!FFocused)
    return;
  switch (AKey) {
  case 1: // Ctrl+A
    SelectAll();
    break;
  case L'*':
    if (HasChildNodes(FFocused))
      FFocused->Expand(true);
    break;
  case L'+':
    MakeNodeVisible(FFocused);
    FFocused->Expand(false);
    break;
  case L'-':
    MakeNodeVisible(FFocused);
    FFocused->Collapse(false);
    break;
  default:
    break;
  }
}

void TCustomgxTreeList::DblClick() {
  if (OnDblClick)
    OnDblClick(this);
}

// ===========================================================================
// mouse

void TCustomgxTreeList::DrawSizingLine() {
  if (!HandleAllocated())
    return;
  TgxGridDrawInfo info;
  CalcRectInfo(info, false);
  HDC dc = GetDC(Handle());
  if (!dc)
    return;
  const int oldMode = SetROP2(dc, R2_NOTXORPEN);
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  auto line = [dc](int AX1, int AY1, int AX2, int AY2) {
    MoveToEx(dc, AX1, AY1, nullptr);
    LineTo(dc, AX2, AY2);
  };
  const RECT& cells = info.CellsRect;
  switch (FState) {
  case tsColumnSizing:
  case tsBandSizing: {
    int top = FShowHeaders ? int(info.HeaderRect.top) : int(cells.top);
    if (FState == tsBandSizing && FShowBands)
      top = info.BandRect.top;
    const int width = FState == tsBandSizing ? 2 : 1;
    for (int i = 0; i < width; ++i)
      line(FSizingPos + i, top, FSizingPos + i, cells.bottom);
    break;
  }
  case tsBandPanelSizing:
  case tsHeaderPanelSizing:
  case tsRowSizing: {
    const int left =
        FState == tsRowSizing && FShowIndicator ? int(info.IndicatorRect.left) : int(cells.left);
    const int height = FState == tsRowSizing ? 1 : 2;
    for (int i = 0; i < height; ++i)
      line(left, FSizingPos + i, cells.right, FSizingPos + i);
    break;
  }
  default:
    break;
  }
  SelectObject(dc, oldPen);
  DeleteObject(pen);
  SetROP2(dc, oldMode);
  ReleaseDC(Handle(), dc);
  FSizingLineShown = !FSizingLineShown;
  FreeDrawInfo(info);
}

void TCustomgxTreeList::MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  if (FState == tsEditing && FInplaceEdit) {
    if (FInplaceEdit->DisableKillFocus())
      return;
    if (!FInplaceEdit->DisableCloseEditor())
      CloseEditor();
  }
  FlagCtrl = false;
  FlagSelect = false;
  FlagEditor = false;
  FFocusJustTaken = false;
  if (!ComponentState().Contains(csDesigning) && HandleAllocated()) {
    HWND focus = GetFocus();
    const bool inside = focus == Handle() || IsChild(Handle(), focus);
    if (!inside && CanFocus()) {
      ::SetFocus(Handle());
      FFocusJustTaken = true;
    }
    focus = GetFocus();
    if (focus != Handle() && !IsChild(Handle(), focus)) {
      ReleaseCapture();
      return;
    }
  }
  FHitInfo = GetHitInfo(POINT{AX, AY});
  if (AButton == mbRight && FState != tsNormal)
    CancelMouseOperation();
  const bool dbl = (AShift & ssDouble) != 0;
  const TgxTreeListHitTest hit = FHitInfo.hitType;

  if (AButton == mbLeft && FState == tsNormal) {
    auto startSizing = [this](TgxTreeListState AState, int APos) {
      SetState(AState);
      FPointDragging = POINT{APos, APos};
      FSizingPos = FPrevSizingPos = APos;
      FSizingLineShown = false;
      DrawSizingLine();
    };
    switch (hit) {
    case htBandEdge:
      if (FHitInfo.Band < 0)
        break;
      if (dbl)
        BandEdgeDblClick(FHitInfo.Band);
      else
        startSizing(tsBandSizing, AX);
      return;
    case htColumnEdge:
      if (FHitInfo.Column < 0)
        break;
      if (dbl)
        ColumnEdgeDblClick(FHitInfo.Column);
      else
        startSizing(tsColumnSizing, AX);
      return;
    case htBandPanelEdge:
      startSizing(tsBandPanelSizing, AY);
      return;
    case htHeaderPanelEdge:
      startSizing(tsHeaderPanelSizing, AY);
      return;
    case htRowEdge:
      startSizing(tsRowSizing, AY);
      return;
    case htBand:
      if (FHitInfo.Band >= 0) {
        SetState(tsBandDown);
        FDownBandIndex = FHitInfo.Band;
        FDownBandPushed = true;
        FPointDragging = POINT{AX, AY};
        Invalidate();
      }
      break;
    case htColumn:
      if (FHitInfo.Column >= 0) {
        SetState(tsColumnDown);
        FDownColumnIndex = FHitInfo.Column;
        FDownColumnPushed = true;
        FPointDragging = POINT{AX, AY};
        Invalidate();
      }
      break;
    case htBandButton:
      if (IsBandButtonClicking()) {
        SetState(tsBandButtonDown);
        FBandButtonPushed = true;
        Invalidate();
      }
      break;
    case htHeaderButton:
      if (IsHeaderButtonClicking()) {
        SetState(tsHeaderButtonDown);
        FHeaderButtonPushed = true;
        Invalidate();
      }
      break;
    default:
      break;
    }
  }

  const bool selectable = IsSelectablePart(hit);
  TgxTreeListNode* node = FHitInfo.Node;
  if (FState == tsNormal && node && (AButton == mbLeft || (AButton == mbRight && selectable))) {
    if (hit == htButton || (dbl && selectable)) {
      StopClickEditTimer();
      if (DblClkExpanding() || hit == htButton)
        node->SetExpanded(!node->Expanded());
      if (dbl && hit != htButton && CanDblClick())
        DblClick();
      return;
    }
    if (hit == htNewRowItem) {
      if (!FFocused) {
        NoFocusedNodeClick();
      } else {
        const bool wasActive = IsNewItemRowActive();
        const int oldColumn = FFocusedColumn;
        const int column =
            FHitInfo.Column >= 0 ? GetFocusedVisibleIndexOrNone(FHitInfo.Column) : -1;
        if (column >= 0)
          SetFocusedColumn(column);
        ActivateNewItemRow();
        FlagEditor = true;
        if (AButton == mbLeft && !IsRowSelect() && column >= 0 && wasActive &&
            column == oldColumn && !FFocusJustTaken)
          StartClickEditTimer();
      }
    } else if (selectable || hit == htIndicator) {
      if (AButton == mbLeft && hit != htIndicator)
        SetState(tsNodeDown);
      FDragNode = node;
      if (FNewItemRowActive) {
        FNewItemRowActive = false;
        Invalidate();
      }
      OldFocusedNode = FFocused;
      const int oldColumn = FFocusedColumn;
      FMouseDownLeftCoord = FLeftCoord;
      int column = FHitInfo.Column >= 0 ? GetFocusedVisibleIndexOrNone(FHitInfo.Column) : -1;
      if (column < 0)
        column = oldColumn;
      SetFocusedNode(node, column, true);
      FPointDragging = POINT{AX, AY};
      if (IsMultiSelect()) {
        FSelecting = false;
        if (AShift & (ssCtrl | ssShift)) {
          FlagCtrl = true;
          if (AShift & ssShift) {
            if (!FSelectionAnchor)
              SetSelectionAnchor(OldFocusedNode);
            if (!(AShift & ssCtrl))
              ClearSelection();
            if (FSelectionAnchor)
              SelectNodes(FSelectionAnchor, FFocused);
            else
              FFocused->SetSelected(!IsNodeSelected(FFocused));
          } else {
            FFocused->SetSelected(!IsNodeSelected(FFocused));
            SetSelectionAnchor(FFocused);
          }
          return;
        }
        if (IsNodeSelected(FFocused)) {
          if (AButton != mbRight)
            FlagSelect = true;
        } else {
          SelectOnlyFocused();
        }
      }
      if (AButton == mbLeft && hit == htLabel && FHitInfo.Column >= 0 && !IsRowSelect() &&
          node == OldFocusedNode && column == oldColumn && !FFocusJustTaken)
        StartClickEditTimer();
    }
  } else if (FState == tsEditing) {
    CloseEditor();
  }

  if (AButton == mbLeft && dbl && CanDblClick()) {
    switch (hit) {
    case htNowhere:
    case htIcon:
    case htStateIcon:
    case htIndent:
    case htLabel:
    case htRight:
    case htOutside:
      if (!selectable || !node)
        DblClick();
      break;
    default:
      break;
    }
  }
  if (AButton == mbMiddle && FState == tsNormal)
    StartPanning();
  TCustomgxContainer::MouseDown(AButton, AShift, AX, AY);
}

void TCustomgxTreeList::MouseMove(TShiftState AShift, int AX, int AY) {
  const TgxTreeListHitInfo hit = GetHitInfo(POINT{AX, AY});
  if (!(AShift & ssLeft) && FState == tsNodeDown) {
    SetState(tsNormal);
    StopFocusStepTimer();
  }
  auto moveLine = [this](int APos, int AMin, int AMax) {
    const int pos = std::clamp(APos, AMin, std::max(AMin, AMax));
    if (pos == FSizingPos)
      return;
    if (FSizingLineShown)
      DrawSizingLine();
    FPrevSizingPos = FSizingPos;
    FSizingPos = pos;
    DrawSizingLine();
  };
  const bool beyond = std::abs(AX - FPointDragging.x) > kDragThreshold ||
                      std::abs(AY - FPointDragging.y) > kDragThreshold;
  switch (FState) {
  case tsColumnSizing: {
    int left = 0, max = 0, min = 0;
    GetColumnSizingBounds(FHitInfo.Column, AX, left, max, min);
    moveLine(AX, min, max);
    break;
  }
  case tsBandSizing: {
    int left = 0, max = 0, min = 0;
    GetBandSizingBounds(FHitInfo.Band, AX, left, max, min);
    moveLine(AX, min, max);
    break;
  }
  case tsRowSizing: {
    int max = 0, min = 0;
    GetRowSizingBounds(FHitInfo.Node, AY, max, min);
    moveLine(AY, min, max);
    break;
  }
  case tsBandPanelSizing: {
    int min = AY, value = AY;
    SnapBandPanelHeight(AY, min, value);
    moveLine(value, std::min(min, value), value);
    break;
  }
  case tsHeaderPanelSizing: {
    int min = AY, value = AY;
    SnapHeaderPanelHeight(AY, min, value);
    moveLine(value, std::min(min, value), value);
    break;
  }
  case tsBandDown:
    if (beyond && CanBandDragging(FDownBandIndex)) {
      FDragAbsoluteBandIndex = GetBandAbsoluteIndex(FDownBandIndex);
      StartBandDragging(FDragAbsoluteBandIndex);
      break;
    }
    if (const bool pushed = hit.hitType == htBand && hit.Band == FDownBandIndex;
        pushed != FDownBandPushed) {
      FDownBandPushed = pushed;
      Invalidate();
    }
    break;
  case tsColumnDown:
    if (beyond && CanHeaderDragging(FDownColumnIndex)) {
      FDragAbsoluteHeaderIndex = FDownColumnIndex;
      StartHeaderDragging(FDragAbsoluteHeaderIndex);
      break;
    }
    if (const bool pushed = hit.hitType == htColumn && hit.Column == FDownColumnIndex;
        pushed != FDownColumnPushed) {
      FDownColumnPushed = pushed;
      Invalidate();
    }
    break;
  case tsBandButtonDown:
    if (const bool pushed = hit.hitType == htBandButton; pushed != FBandButtonPushed) {
      FBandButtonPushed = pushed;
      Invalidate();
    }
    break;
  case tsHeaderButtonDown:
    if (const bool pushed = hit.hitType == htHeaderButton; pushed != FHeaderButtonPushed) {
      FHeaderButtonPushed = pushed;
      Invalidate();
    }
    break;
  case tsNodeDown: {
    if (DragMode() == dmAutomatic) {
      if (!beyond)
        break;
      TgxTreeListNode* node = FDragNode ? FDragNode : hit.Node;
      if (!node)
        break;
      if (node != FFocused) {
        if (!FlagCtrl)
          ClearSelection();
        SetFocusedNode(node, FFocusedColumn, true);
      }
      node->SetSelected(true);
      FlagCtrl = false;
      FlagSelect = false;
      BeginDrag(true);
      break;
    }
    if (!IsMouseScroll() || Count() == 0)
      break;
    RECT cells{};
    GetCellsAreaRect(cells);
    if (AY < cells.top) {
      if (FFocused != FTopVisibleNode)
        SetFocusedNode(FTopVisibleNode, FFocusedColumn, true);
      StartFocusStepTimer(-1);
    } else if (AY >= cells.bottom) {
      TgxTreeListNode* last =
          GetNodeAtAbsoluteIndex(std::min(TopIndex() + FRowCount - 1, AbsoluteCount() - 1));
      if (last && FFocused != last)
        SetFocusedNode(last, FFocusedColumn, true);
      StartFocusStepTimer(1);
    } else {
      StopFocusStepTimer();
      const TgxTreeListHitInfo row = GetHitInfo(POINT{int(cells.left), AY});
      if (row.Node && row.Node != FFocused) {
        SetFocusedNode(row.Node, FFocusedColumn, true);
        if (IsMultiSelect())
          SelectOnlyFocused();
      }
    }
    break;
  }
  default:
    break;
  }
  UpdateHotTrack(hit);
  TCustomgxContainer::MouseMove(AShift, AX, AY);
}

void TCustomgxTreeList::MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  BeginSelection();
  TFinally end([this] { EndSelection(); });
  StopFocusStepTimer();
  const TgxTreeListHitInfo hit = GetHitInfo(POINT{AX, AY});
  const TgxTreeListState pressState = FState;
  auto endSizing = [this] {
    if (FSizingLineShown)
      DrawSizingLine();
  };
  switch (FState) {
  case tsBandSizing: {
    endSizing();
    const int band = FHitInfo.Band;
    int left = 0, max = 0, min = 0;
    GetBandSizingBounds(band, FSizingPos, left, max, min);
    const int pos = std::clamp(FSizingPos, min, std::max(min, max));
    SetState(tsNormal);
    if (pos != FPointDragging.x) {
      const int width = pos - left + 2;
      if (IsAutoWidth())
        ResizeBandAutoWidth(band, width);
      else
        SetBandWidth(band, width);
      DoChangedColumnsWidth();
    }
    Invalidate();
    break;
  }
  case tsColumnSizing: {
    endSizing();
    const int column = FHitInfo.Column;
    int left = 0, max = 0, min = 0;
    GetColumnSizingBounds(column, FSizingPos, left, max, min);
    const int pos = std::clamp(FSizingPos, min, std::max(min, max));
    SetState(tsNormal);
    if (pos != FPointDragging.x) {
      const int width = pos - left + 1;
      const int band = GetBandVisibleIndex(GetColumnBandIndex(column));
      if (IsBandHeaderWidth() && !IsAutoWidth() && GetHeaderRowCount(band) <= 1)
        ResizeColumnInBand(band, column, width);
      else if (IsAutoWidth())
        ResizeColumnAutoWidth(band, column, width);
      else
        SetColumnWidth(column, width);
      DoChangedColumnsWidth();
    }
    Invalidate();
    break;
  }
  case tsBandPanelSizing:
    endSizing();
    SetState(tsNormal);
    SetBandRowCount(GetBandRowsAbove(FSizingPos));
    break;
  case tsHeaderPanelSizing:
    endSizing();
    SetState(tsNormal);
    SetHeaderPanelRowCount(std::max(1, GetHeaderRowsAt(FSizingPos)));
    break;
  case tsRowSizing: {
    endSizing();
    SetState(tsNormal);
    if (FSizingPos != FPointDragging.y) {
      RECT row{-1, -1, -1, -1};
      GetNodeRowRect(FHitInfo.Node, row);
      const int top = row.top == -1 && row.bottom == -1 ? FHitInfo.NodeTop : int(row.top);
      SetRowHeight(GetRowHeightForHeight(FHitInfo.Node, FSizingPos - top));
    }
    break;
  }
  case tsBandDown: {
    const int band = FDownBandIndex;
    CancelMouseOperation();
    if (hit.hitType == htBand && hit.Band == band)
      DoBandClick(band);
    break;
  }
  case tsBandDragging:
    EndBandDragging(true);
    SetState(tsNormal);
    break;
  case tsColumnDown: {
    const int column = FDownColumnIndex;
    CancelMouseOperation();
    if (hit.hitType == htColumn && hit.Column == column) {
      FlagMultiSort = IsMultiSort() && (AShift & ssShift) != 0;
      FlagClearSort = (AShift & ssCtrl) != 0;
      TFinally clear([this] {
        FlagMultiSort = false;
        FlagClearSort = false;
      });
      DoColumnClick(column);
    }
    break;
  }
  case tsColumnDragging:
    EndHeaderDragging(true);
    SetState(tsNormal);
    break;
  case tsBandButtonDown: {
    const bool pushed = FBandButtonPushed;
    CancelMouseOperation();
    if (pushed)
      DoBandButtonClick();
    break;
  }
  case tsHeaderButtonDown: {
    const bool pushed = FHeaderButtonPushed;
    CancelMouseOperation();
    if (pushed)
      DoHeaderButtonClick();
    break;
  }
  default:
    break;
  }
  if (FlagSelect) {
    FlagSelect = false;
    SelectOnlyFocused();
  }
  const bool nodeState =
      pressState == tsEditing || pressState == tsNodeDragging || pressState == tsNodeDown;
  if ((nodeState || FlagEditor) && AButton == mbLeft && !IsRowSelect()) {
    const int pressColumn = FHitInfo.Column;
    const int visible = GetFocusedVisibleIndexOrNone(pressColumn);
    const int shiftX = FLeftCoord - FMouseDownLeftCoord;
    const bool singleClickCheck = HandleSingleClickEdit(visible, FHitInfo.Node, AX + shiftX, AY);
    const bool sameCell = hit.Column == pressColumn && hit.Node == FHitInfo.Node &&
                          hit.hitType == FHitInfo.hitType &&
                          (hit.hitType == htLabel || hit.hitType == htNewRowItem);
    const bool onFocus = FFocused == hit.Node || hit.hitType == htNewRowItem;
    if ((IsImmediateEdit(pressColumn) || singleClickCheck) && sameCell && onFocus) {
      SetState(tsNormal);
      if (!(AShift & (ssShift | ssCtrl))) {
        if (singleClickCheck) {
          ShowEditor();
          if (FState == tsEditing && FInplaceEdit)
            FInplaceEdit->MouseClick(AX + shiftX, AY);
        } else {
          ShowEditorMouse(AX, AY);
        }
      }
    }
  }
  FlagEditor = false;
  if (FState == tsNodeDown)
    SetState(tsNormal);
  if (nodeState && AButton == mbLeft)
    Click();
  TCustomgxContainer::MouseUp(AButton, AShift, AX, AY);
}
