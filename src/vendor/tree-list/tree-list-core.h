#pragma once

#include "tree-list-nodes.h"
#include "tree-list-draw-info.h"

#include "gx-container-control.h"

#include "controls.h"
#include "forms.h"
#include "image-lists.h"
#include "graphics.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// The core of the tree list: the node tree on the editor container, its
// options, colours and metrics, the update locks, the cached list of
// visible rows, the focus, the live editor, and the virtual operations
// through which every band, column and node value is asked. The core knows
// no bands or columns: its answers are the neutral ones, and the
// band-and-column layer answers them from its own.

// --- option sets ---------------------------------------------------------------------

enum TgxTreeListOption : uint8_t {
  aoColumnSizing,
  aoColumnMoving,
  aoEditing,
  aoTabs,
  aoTabThrough,
  aoRowSelect,
  aoMultiSelect,
  aoImmediateEditor,
  aoPreview,
  aoDrawEndEllipsis,
  aoAutoWidth,
  aoExtMultiSelect,
  aoExtCustomizing,
  aoHideFocusRect,
  aoAutoSort,
  aoCaseInsensitive,
  aoStoreToRegistry,
  aoStoreToIniFile,
  aoShowTooltips,
  aoHeaderBandSizing,
  aoDrawPathEllipsis
};
using TgxTreeListOptions = uint32_t;

enum TgxTreeListOptionEx : uint8_t {
  aoInvertSelect,
  aoUseBitmap,
  aoBandHeaderWidth,
  aoAutoCalcPreviewLines,
  aoBandSizing,
  aoBandMoving,
  aoHorzThrough,
  aoVertThrough,
  aoCellMultiSelect,
  aoEnterThrough,
  aoEnterShowEditor,
  aoFullSizing,
  aoDragScroll,
  aoDragExpand,
  aoDragCollapse,
  aoRowAutoHeight,
  aoShowHourGlass,
  aoBandButtonClicking,
  aoBandPanelSizing,
  aoHeaderButtonClicking,
  aoHeaderPanelSizing,
  aoRowSizing,
  aoMultiSort,
  aoAutoSortRefresh,
  aoShowButtonAlways,
  aoAutoHeaderPanelHeight,
  aoKeepColumnWidth,
  aoAnsiSort,
  aoMouseScroll,
  aoAutoSearch,
  aoHotTrack,
  aoAutoCopySelectedToClipboard
};
using TgxTreeListOptionsEx = uint32_t;

constexpr uint32_t OptionBit(TgxTreeListOption AOption) {
  return 1u << AOption;
}
constexpr uint32_t OptionBit(TgxTreeListOptionEx AOption) {
  return 1u << AOption;
}

constexpr TgxTreeListOptions kgxDefaultTreeListOptions =
    OptionBit(aoColumnSizing) | OptionBit(aoColumnMoving) | OptionBit(aoEditing) |
    OptionBit(aoTabThrough) | OptionBit(aoRowSelect);
constexpr TgxTreeListOptionsEx kgxDefaultTreeListOptionsEx =
    OptionBit(aoUseBitmap) | OptionBit(aoBandHeaderWidth) | OptionBit(aoAutoCalcPreviewLines) |
    OptionBit(aoBandSizing) | OptionBit(aoBandMoving) | OptionBit(aoDragScroll) |
    OptionBit(aoDragExpand) | OptionBit(aoAutoCopySelectedToClipboard);
// What a form stores against: without the clipboard option, so that a form
// always stores OptionsEx.
constexpr TgxTreeListOptionsEx kgxPublishedTreeListOptionsEx = 0x303E;

static_assert(kgxDefaultTreeListOptions == 0x37);
static_assert(kgxDefaultTreeListOptionsEx == 0x8000303Eu);
static_assert(aoDrawPathEllipsis == 20 && aoAutoCopySelectedToClipboard == 31);

enum TgxTreeListState : uint8_t {
  tsNormal,
  tsColumnSizing,
  tsEditing,
  tsColumnDragging,
  tsColumnDown,
  tsNodeDragging,
  tsNodeDown,
  tsHeaderButtonDown,
  tsBandSizing,
  tsBandDragging,
  tsBandDown,
  tsBandButtonDown,
  tsBandPanelSizing,
  tsHeaderPanelSizing,
  tsRowSizing,
  tsDropDownButtonDown,
  tsStatusCloseButtonDown
};
static_assert(tsStatusCloseButtonDown == 16);

enum TgxLookAndFeel : uint8_t { lfStandard, lfFlat, lfUltraFlat };
enum TgxTreeListPaintStyle : uint8_t { psStandard, psOutlook };
enum TgxTreeLineStyle : uint8_t { tlSolid, tlDot };
using TBorderStyle = TFormBorderStyle;
enum TScrollStyle : uint8_t { ssNone, ssHorizontal, ssVertical, ssBoth };
enum TgxTreeListColumnSort : uint8_t { csNone, csUp, csDown };
enum TgxTreeListIndicatorKind : uint8_t {
  ikNone,
  ikArrow,
  ikEdit,
  ikInsert,
  ikMultiDot,
  ikMultiArrow
};
enum TgxTreeListHeaderHotTrack : uint8_t { hhtNone, hhtHeader, hhtDropDownButton };

// What a hot-tracked point covers.
struct TgxTreeListHotTrackInfo {
  TgxTreeListNode* Node = nullptr;
  int32_t Column = -1;
  int32_t ActiveIndex = -1;
  TgxTreeListHeaderHotTrack HeaderHotTrack = hhtNone;
};

static_assert(sizeof(TgxTreeListOptions) == 4 && sizeof(TgxTreeListOptionsEx) == 4,
              "both option sets are 32-bit sets");
#if defined(__i386__)
static_assert(offsetof(TgxTreeListHotTrackInfo, Column) == 4 &&
                  offsetof(TgxTreeListHotTrackInfo, ActiveIndex) == 8 &&
                  offsetof(TgxTreeListHotTrackInfo, HeaderHotTrack) == 12,
              "the hot-track record: node, column, active index, header part");
#endif

// TgxTreeListHitInfo, what a point of the control covers, is declared with
// the draw info (tree-list-draw-info.h).

// --- events (Sender first) -----------------------------------------------------------

class TCustomgxTreeList;
using TTLExpandingEvent =
    std::function<void(TControl* ASender, TgxTreeListNode* ANode, bool& AAllow)>;
using TTLExpandedEvent = std::function<void(TControl* ASender, TgxTreeListNode* ANode)>;
using TTLChangeNodeEvent =
    std::function<void(TControl* ASender, TgxTreeListNode* AOldNode, TgxTreeListNode* ANode)>;
using TTLChangeColumnEvent =
    std::function<void(TControl* ASender, TgxTreeListNode* ANode, int AColumn)>;
using TTLGetImageEvent =
    std::function<void(TControl* ASender, TgxTreeListNode* ANode, int& AIndex)>;
using TgxTLCanNodeSelected =
    std::function<void(TControl* ASender, TgxTreeListNode* ANode, bool& AAllow)>;
using TgxTLCompareEvent = std::function<void(TControl* ASender, TgxTreeListNode* ANode1,
                                             TgxTreeListNode* ANode2, int& ACompare)>;
using TgxTLGetEditColor = std::function<void(TControl* ASender, TColor& AColor)>;
using TTLMouseWheelScrollEvent =
    std::function<void(TControl* ASender, bool AScrollUp, int AScrollLines)>;
using TSelectionChangedEvent = std::function<void(TControl* ASender, TgxTreeListNode* ANode)>;
using TgxTLHotTrackNode = std::function<void(
    TControl* ASender, const TgxTreeListHotTrackInfo& AHotTrackInfo, TCursor& ACursor)>;
using TClickHoverEditEvent =
    std::function<void(TControl* ASender, int AColumn, bool& AClickHoverEdit)>;
using TImmediateEditEvent =
    std::function<void(TControl* ASender, int AColumn, bool& AImmediateEdit)>;
using TPostDrawImageEvent = std::function<void(TControl* ASender, const RECT& AnImageRect,
                                               TgxTreeListNode* ANode, int AUsedImageIndex)>;
using TGetIsHotTrackNodeEvent = std::function<void(TControl* ASender, int AX, int AY,
                                                   TgxTreeListNode* ANode, bool& AIsHotTracked)>;
using TOnGetTooltipInfoEvent =
    std::function<void(TControl* ASender, TgxTreeListNode* ANode, int AColumn, RECT& ARect,
                       std::wstring& AText, bool& AShowTooltip, bool& ADone)>;
using TgxTLEditValidateEvent =
    std::function<void(TControl* ASender, std::wstring& AErrorText, bool& AAccept)>;

// The notice the control posts itself when the focus left its editor for a
// window outside the control: the control's own exit, once the editor's has
// run.
constexpr UINT WM_GX_TREELISTEXIT = WM_APP + 0x0C8;

// The state of one cell as the painters collect it, reused for every cell.
class TgxTreeListCellViewData {
public:
  HBRUSH Cell_Brush = nullptr;
  HFONT Cell_Font = nullptr;
  TColor Cell_BkColor = clWindow;
  TColor Cell_TextColor = clWindowText;
  int Cell_Alignment = 0; // TAlignment
  std::wstring Cell_Text;
  int Cell_TextLength = 0;
  bool Cell_Selected = false;
  bool Cell_InvertSelect = false;
  bool Cell_LeftEdge = false;
  bool Cell_RightEdge = false;
  bool Cell_MultiLine = false;
  bool Cell_InvertText = false;
  bool Cell_DrawEndEllipsis = false;
  bool Cell_DrawPathEllipsis = false;
  TgxTreeListNode* Cell_Node = nullptr;
  bool Cell_IsNullNode = false;
  TColor Cell_SelectionColor = clHighlight;
  HBRUSH Cell_CellBrush = nullptr;
  TColor Cell_CellColor = clWindow;
  bool Cell_HotTrackNode = false;
  RECT Cell_Rect{0, 0, 0, 0};
};

// --- the control -------------------------------------------------------------------

class TCustomgxTreeList : public TCustomgxContainer, public TgxTreeListNodeOwner {
public:
  explicit TCustomgxTreeList(TComponent* AOwner);
  ~TCustomgxTreeList() override;
  std::wstring ClassName() const override { return L"TCustomgxTreeList"; }

  // ---- container hooks ------------------------------------------------------------
  bool CanEditModify() override { return true; }
  bool CanEditAcceptKey(wchar_t /*AKey*/) override { return true; }
  TgxEditStyle* CreateEditStyle(TgxInplaceEdit* AEdit) override;
  void ScrollLines(bool AUp, int ACount) override;
  TColor GetEditorColor() override;
  TFont& GetEditFont() override;
  bool HidesFocusRect() override { return (FOptions & OptionBit(aoHideFocusRect)) != 0; }
  bool IsEditorStale() override { return FFocusedColumn != FInplaceColumnIndex; }
  bool IsImmediateEdit(int AColumn) override;
  bool ShowsButtonsAlways() override { return (FOptionsEx & OptionBit(aoShowButtonAlways)) != 0; }
  bool WantsTabs() override;
  void FocusNextEditCell(bool ABackward) override;
  void EditorFocusChanged() override { InvalidateSelection(); }
  void EditorKillFocus(HWND AFocusedWnd) override;
  TgxPopupBorderStyle GetDefaultPopupBorderStyle(TgxEditBorderStyle AEditBorderStyle) override;

  // ---- the new virtual operations, in declaration order ----------------------------
  virtual bool HandleSingleClickEdit(int AVisibleColumn, TgxTreeListNode* ANode, int AX, int AY);
  virtual void CancelMouseOperation();
  virtual void CreateNodeDragImage(TgxTreeListNode* ANode, int AColumn);
  virtual bool CanScroll() { return true; }
  void NodeAdded(TgxTreeListNode* ANode) override;
  virtual void DoLayoutChanged() {}
  virtual bool CanDblClick() { return true; }
  bool GetNodeHasChildren(TgxTreeListNode* ANode) override;
  virtual void ClearHeaderBounds() {}
  virtual void ClearListNodes();
  virtual void ResetRowHeights();
  void DoCollapsed(TgxTreeListNode* ANode) override;
  virtual void DoEdited(TgxTreeListNode* ANode);
  void DoExpanded(TgxTreeListNode* ANode) override;
  void DoCollapsing(TgxTreeListNode* ANode, bool& AAllow) override;
  virtual void DoEditing(TgxTreeListNode* ANode, bool& AAllow);
  void DoExpanding(TgxTreeListNode* ANode, bool& AAllow) override;
  virtual void BandEdgeDblClick(int /*ABand*/) {}
  virtual void ColumnEdgeDblClick(int /*AColumn*/) {}
  virtual void DoChangeColumn(TgxTreeListNode* ANode, int AColumn);
  virtual void DoChangeLeftCoord();
  virtual void DoChangeNode(TgxTreeListNode* AOldNode, TgxTreeListNode* ANode);
  virtual void DoEditChange(TControl* ASender);
  virtual void DoEditValidate(TControl* ASender, std::wstring& AErrorText, bool& AAccept);
  virtual void LoadLayout() {}
  virtual void SaveLayout() {}
  void NodeDeleted(TgxTreeListNode* ANode, TgxTreeListNode* APriorNode,
                   TgxTreeListNode* ANextVisible, bool AWasLast, bool AWasVisible) override;
  virtual void DeleteColumnValues(TgxTreeListNode* ANode, int AColumn);
  virtual void LayoutRefreshed() {}
  virtual void GetCellsAreaRect(RECT& ARect);
  virtual bool IsHotTrackCellAt(int AX, int AY, int& AActiveIndex, int AColumn,
                                TgxTreeListNode* ANode);
  virtual void GetHeaderHotTrack(int AX, int AY, int AColumn,
                                 TgxTreeListHeaderHotTrack& AHeaderHotTrack);
  virtual void UpdateLayout();
  virtual void RefreshBandLists(bool /*AFull*/) {}
  virtual void RefreshHeaderBounds() {}
  void MakeListNodes() override;
  bool FocusCollapsingNode(TgxTreeListNode* ANode) override;
  virtual bool IsShowCellButton(TgxTreeListNode* ANode, int AColumn);
  void InvalidateNode(TgxTreeListNode* ANode, bool ARecalc) override;
  bool CanSetNodeData(TgxTreeListNode* /*ANode*/) override { return true; }
  TgxTreeListNode* CreateNode() override = 0;
  int GetNodeImageIndex(TgxTreeListNode* ANode) override = 0;
  int GetNodeSelectedIndex(TgxTreeListNode* ANode) override = 0;
  int GetNodeStateIndex(TgxTreeListNode* ANode) override = 0;
  TgxNodeVariant GetNodeVariant(TgxTreeListNode* ANode, int AColumn) override = 0;
  std::wstring GetNodeString(TgxTreeListNode* ANode, int AColumn) override = 0;
  virtual void GetNodeSortValue(TgxTreeListNode* ANode, int AColumn, std::wstring& AValue);
  void SetFocusedNode(TgxTreeListNode* ANode, int AVisibleColumn, bool AMakeVisible) override;
  virtual void SetFocusedNumber(int AIndex);
  void SetNodeImageIndex(TgxTreeListNode* ANode, int AValue) override = 0;
  void SetNodeSelectedIndex(TgxTreeListNode* ANode, int AValue) override = 0;
  void SetNodeStateIndex(TgxTreeListNode* ANode, int AValue) override = 0;
  void SetNodeString(TgxTreeListNode* ANode, int AColumn, const std::wstring& AValue) override = 0;
  void SetNodeVariant(TgxTreeListNode* ANode, int AColumn,
                      const TgxNodeVariant& AValue) override = 0;
  void SetTopVisibleNode(TgxTreeListNode* ANode) override;
  virtual int GetGroupPanelHeight() { return 0; }
  // Bands: band arguments are visible indexes unless named ABand.
  virtual int GetAbsoluteBandAlignment(int /*ABand*/) { return 0; }
  virtual int GetBandCount() { return 0; }
  virtual int GetBandAbsoluteIndex(int AVisibleIndex) { return AVisibleIndex; }
  virtual void GetAbsoluteBandCaption(int /*ABand*/, std::wstring& AText) { AText.clear(); }
  virtual int GetAbsoluteBandWidth(int /*ABand*/) { return 0; }
  virtual int GetBandAlignment(int /*AVisibleIndex*/) { return 0; }
  virtual int GetVisibleBandCount() { return 0; }
  virtual int GetLeftFixedBand() { return -1; }
  virtual int GetRightFixedBand() { return -1; }
  virtual int GetBandMinWidth(int /*AVisibleIndex*/) { return 0; }
  virtual int GetBandDefinedWidthValue(int /*AVisibleIndex*/) { return 0; }
  virtual void GetBandCaption(int /*AVisibleIndex*/, std::wstring& AText) { AText.clear(); }
  virtual int GetBandAreaOffset() { return 0; }
  virtual int GetBandVisibleIndex(int ABand) { return ABand; }
  virtual bool GetBandOnlyOwnColumns(int /*AVisibleIndex*/) { return false; }
  // Columns: column arguments are absolute indexes.
  int GetColumnCount() const override { return 0; }
  virtual int GetHeaderAbsoluteIndex(int /*ABand*/, int /*ARow*/, int /*ACol*/) { return -1; }
  virtual int GetHeaderAlignment(int /*AColumn*/) { return 0; }
  virtual int GetColumnBandIndex(int /*AColumn*/) { return 0; }
  virtual int GetColumnWidth(int AColumn);
  virtual int GetHeaderColCount(int /*ABand*/, int /*ARow*/) { return 0; }
  virtual int GetColumnColIndex(int /*AColumn*/) { return 0; }
  virtual bool GetHeaderDropDownState(int /*AColumn*/) { return false; }
  virtual TBitmap* GetHeaderGlyph(int /*AColumn*/) { return nullptr; }
  virtual int GetHeaderMaxLineCount(int /*AColumn*/) { return 1; }
  virtual int GetColumnMinWidth(int /*AColumn*/) { return 0; }
  virtual int GetHeaderRowCount(int /*ABand*/) { return 0; }
  virtual int GetColumnRowIndex(int /*AColumn*/) { return 0; }
  virtual TgxTreeListColumnSort GetColumnSorted(int /*AColumn*/) { return csNone; }
  virtual bool GetColumnTabStop(int /*AColumn*/) { return true; }
  virtual void GetHeaderCaption(int /*AColumn*/, std::wstring& AText) { AText.clear(); }
  virtual void GetColumnCaption(int AColumn, std::wstring& AText) {
    GetHeaderCaption(AColumn, AText);
  }
  virtual int GetColumnDefinedWidth(int /*AColumn*/) { return 0; }
  virtual TColor GetColumnColor(int /*AColumn*/) { return Color(); }
  virtual TFont& GetColumnFont(int /*AColumn*/) { return Font(); }
  virtual bool IsColumnFontAssigned(int /*AColumn*/) { return false; }
  virtual bool HasHeaderGlyph(int /*AColumn*/) { return false; }
  virtual int GetColumnAlignment(int /*ARow*/, int /*AColumn*/) { return 0; }
  virtual void GetCellText(TgxTreeListNode* /*ANode*/, int /*AColumn*/, std::wstring& AText) {
    AText.clear();
  }
  virtual void GetNonNodeCellText(int /*AColumn*/, std::wstring& AText) { AText.clear(); }
  virtual bool IsColumnMultiLine(int /*AColumn*/) { return false; }
  virtual bool ShowNewItemRowValues() { return true; }
  virtual int GetIndicatorWidth() { return FIndicatorWidth; }
  virtual int GetColumnTextHeight(TCanvas* ACanvas, int AColumn);
  virtual void GetPreviewText(TgxTreeListNode* /*ANode*/, std::wstring& AText) { AText.clear(); }
  virtual TgxTreeListIndicatorKind GetRowIndicatorKind(TgxTreeListNode* /*ANode*/,
                                                       bool /*ASelected*/) {
    return ikNone;
  }
  virtual int GetRowLineCount(TgxTreeListNode* ANode, int& ALineHeight);
  virtual bool HasStatusCloseButton() { return false; }
  virtual void GetStatusText(std::wstring& AText) { AText.clear(); }
  virtual void GetStatusCloseButtonHint(std::wstring& AText) { AText.clear(); }
  virtual int ColumnCalcLineCount(TgxTreeListNode* ANode, int AColumn, const std::wstring& AText,
                                  int AWidth, int ATextHeight);
  virtual int GetMaxColumnTextHeight(TCanvas* ACanvas);
  virtual int GetPreviewLineCount(TgxTreeListNode* ANode);
  virtual int GetRowSeparatorLineWidth() { return FRowSeparatorLineWidth; }
  virtual void HeaderPanelBestFit() {}
  virtual bool IsGroupNode(TgxTreeListNode* /*ANode*/) { return false; }
  virtual int GetFooterAlignment(TgxTreeListNode* /*ANode*/, int AColumn, int /*AFooterIndex*/) {
    return GetColumnAlignment(0, AColumn);
  }
  virtual void GetFooterCellText(TgxTreeListNode* /*ANode*/, int /*AColumn*/, int /*AFooterIndex*/,
                                 std::wstring& AText) {
    AText.clear();
  }
  virtual bool IsExistFooterCell(int /*AColumn*/) { return false; }
  virtual bool IsExistRowFooterCell(TgxTreeListNode* /*ANode*/, int /*AColumn*/,
                                    int /*AFooterIndex*/) {
    return false;
  }
  virtual bool IsLevelFooter(int /*ALevel*/) { return false; }
  // The option queries: every option test goes through one of these.
  virtual bool IsAnsiSort() { return HasEx(aoAnsiSort); }
  virtual bool IsAutoCalcPreviewLines() { return HasEx(aoAutoCalcPreviewLines); }
  virtual bool IsAutoHeaderPanelHeight() { return HasEx(aoAutoHeaderPanelHeight); }
  virtual bool IsAutoSearch() { return HasEx(aoAutoSearch); }
  virtual bool IsAutoSort() { return Has(aoAutoSort); }
  virtual bool IsAutoSortRefresh() { return HasEx(aoAutoSortRefresh); }
  virtual bool IsAutoWidth() { return Has(aoAutoWidth); }
  virtual bool IsBandHeaderWidth() { return HasEx(aoBandHeaderWidth); }
  virtual bool IsCaseInsensitive() { return Has(aoCaseInsensitive); }
  virtual bool IsCellMultiSelect() { return HasEx(aoCellMultiSelect); }
  virtual bool IsDragCollapse() { return HasEx(aoDragCollapse); }
  virtual bool IsDrawEndEllipsis() { return Has(aoDrawEndEllipsis); }
  virtual bool IsDrawPathEllipsis() { return Has(aoDrawPathEllipsis); }
  virtual bool IsDragExpand() { return HasEx(aoDragExpand); }
  virtual bool IsDragScroll() { return HasEx(aoDragScroll); }
  virtual bool IsEditing() { return Has(aoEditing); }
  virtual bool IsEnterShowEditor() { return HasEx(aoEnterShowEditor); }
  virtual bool IsEnterThrough() { return HasEx(aoEnterThrough) && IsEnterShowEditor(); }
  virtual bool IsExtCustomizing() { return Has(aoExtCustomizing); }
  virtual bool IsExtMultiSelect() { return Has(aoExtMultiSelect); }
  virtual bool IsHorzThrough() { return HasEx(aoHorzThrough); }
  virtual bool IsMouseScroll() {
    return HasEx(aoMouseScroll) && (Has(aoRowSelect) || !Has(aoEditing));
  }
  bool IsMultiSelect() const override { return (FOptions & OptionBit(aoMultiSelect)) != 0; }
  virtual bool IsMultiSort() { return HasEx(aoMultiSort); }
  virtual bool IsRowAutoHeightEnabled() { return HasEx(aoRowAutoHeight) && FMaxRowLineCount != 0; }
  virtual bool IsRowSelect() { return Has(aoRowSelect); }
  virtual bool IsShowHourGlass() { return HasEx(aoShowHourGlass); }
  virtual bool IsPreview() { return Has(aoPreview) && FPreviewLines != 0; }
  virtual bool IsTabThrough() { return Has(aoTabThrough); }
  virtual bool IsVertThrough() { return HasEx(aoVertThrough); }
  virtual bool IsUseBitmap() { return HasEx(aoUseBitmap); }
  virtual bool IsBandButtonClicking() { return HasEx(aoBandButtonClicking); }
  virtual bool IsBandFullSizing() { return HasEx(aoFullSizing); }
  virtual bool IsBandPanelSizing() { return HasEx(aoBandPanelSizing); }
  virtual bool IsHeaderBandSizing() { return Has(aoHeaderBandSizing); }
  virtual bool IsHeaderButtonClicking() { return HasEx(aoHeaderButtonClicking); }
  virtual bool IsColumnFullSizing() { return HasEx(aoFullSizing); }
  virtual bool IsHeaderPanelSizing() { return HasEx(aoHeaderPanelSizing); }
  virtual bool IsRowSizing() { return HasEx(aoRowSizing); }
  virtual bool IsCopyDragAllowed() { return false; }
  virtual bool IsHeaderDropDownOffered() { return false; }
  virtual bool IsShowStatusPanel() { return false; }
  virtual bool IsHorzScrollBarAllowed() {
    return FScrollBars == ssHorizontal || FScrollBars == ssBoth;
  }
  virtual bool IsNewItemRowActive() { return FNewItemRowActive; }
  virtual bool IsShowNewItemRow() { return FShowNewItemRow && FNewItemRowHeight > 0; }
  virtual bool IsShowRowFooter() { return FShowRowFooter; }
  virtual bool UseRowHeightCache() { return true; }
  virtual bool KeepScrollBars() { return false; }
  virtual bool IsVertScrollBarAllowed() {
    return FScrollBars == ssVertical || FScrollBars == ssBoth;
  }
  virtual bool IsBandSizable(int /*AVisibleIndex*/) { return true; }
  virtual bool IsColumnSizable(int /*AColumn*/) { return true; }
  virtual bool CanSizeColumn(int AColumn) {
    return Has(aoColumnSizing) && IsColumnSizable(AColumn);
  }
  virtual void SetBandRowCount(int /*AValue*/) {}
  virtual void SetBandWidth(int /*AVisibleIndex*/, int /*AWidth*/) {}
  virtual void SetHeaderPanelRowCount(int /*AValue*/) {}
  virtual void SetColumnWidth(int /*AColumn*/, int /*AWidth*/) {}
  virtual void ScaleBandWidths(int /*ANumerator*/, int /*ADenominator*/) {}
  virtual void ScaleColumnWidths(int /*ABand*/, int /*ANumerator*/, int /*ADenominator*/) {}
  virtual void SetRowHeight(int AValue);
  virtual void DoBandButtonClick() {}
  virtual void DoBandClick(int /*AVisibleIndex*/) {}
  virtual void DoChangedColumnsWidth() {}
  virtual void DoHeaderButtonClick() {}
  virtual void DoColumnClick(int /*AColumn*/) {}
  virtual void DoDropDownButtonClick(int /*AColumn*/) {}
  virtual void DoStatusCloseButtonClick() {}
  virtual int GetBandMaxRowCount() { return 5; }
  virtual int GetBandRowCount() { return 1; }
  virtual int GetHeaderPanelMaxRowCount() { return 4; }
  virtual int GetHeaderPanelRowCount() { return 1; }
  virtual int GetHeaderMinRowCount() { return 1; }
  // Dragging and customizing.
  virtual int CalcDropPosition(TgxTreeListNode* ATarget, POINT APoint);
  virtual void GetDragCursor(POINT APoint, TCursor& ACursor);
  virtual bool IsCustomizing() { return FCustomizingForm != nullptr; }
  virtual void GetNodeDragText(TgxTreeListNode* ANode, int AColumn, std::wstring& AText) {
    GetCellText(ANode, AColumn, AText);
  }
  virtual bool IsHeaderCustomizing() { return false; }
  virtual void MoveBand(int /*AFrom*/, int /*ATo*/) {}
  virtual bool CanBandDragging(int /*AVisibleIndex*/) { return HasEx(aoBandMoving); }
  virtual void DoDragOverBand(POINT /*APoint*/, int /*AIndex*/, bool& AAccept) { AAccept = false; }
  virtual void DoDragEndBand(POINT /*APoint*/, int /*AIndex*/) {}
  virtual void EndBandDragging(bool /*AAccept*/) {}
  virtual bool IsBandCustomizingDisabled(int /*ABand*/) { return false; }
  virtual void HideBand(int /*ABand*/) {}
  virtual bool IsBandHidden(int /*ABand*/) { return false; }
  virtual void StartBandDragging(int /*AAbsoluteIndex*/) {}
  virtual void ShowBand(int /*ANewIndex*/, int /*ABand*/) {}
  virtual bool CanHeaderDragging(int /*AColumn*/) { return Has(aoColumnMoving); }
  virtual void DoDragOverHeader(POINT /*APoint*/, int /*AColumn*/, bool& AAccept) {
    AAccept = false;
  }
  virtual void DoDragEndHeader(POINT /*APoint*/, int /*AColumn*/) {}
  virtual void EndHeaderDragging(bool /*AAccept*/) {}
  virtual bool IsHeaderCustomizingDisabled(int /*AColumn*/) { return false; }
  virtual void MoveHeader(int /*AColumn*/, int /*ABand*/, int /*ACol*/, int /*ARow*/) {}
  virtual void HideHeader(int /*AColumn*/) {}
  virtual bool IsHeaderListedInCustomizeBox(int /*AColumn*/) { return false; }
  virtual bool IsHeaderVisible(int AColumn) { return GetFocusedVisibleIndexOrNone(AColumn) >= 0; }
  virtual void StartHeaderDragging(int /*AColumn*/) {}
  virtual void ShowHeader(int /*ABand*/, int /*ARow*/, int /*AColumn*/, int /*ACol*/) {}
  virtual void DoBeginDragNode(TgxTreeListNode* ANode);
  virtual bool IsLastNode(TgxTreeListNode* ANode) { return ANode && ANode == LastNode(); }
  virtual bool IsFirstNode(TgxTreeListNode* ANode) { return ANode && ANode == TopNode(); }
  virtual int GetVisibleRowCount() { return FVisibleRowCount; }
  virtual void UpdateScrollBars();
  // Editing.
  virtual void SetNodeEditValue(TgxTreeListNode* ANode, int AColumn, TgxVariant& AValue,
                                TgxInplaceEdit* AEditor);
  virtual bool IsEditorActive();
  virtual bool CanKeyDown(WORD /*AKey*/, TShiftState /*AShift*/) { return true; }
  virtual void UpdateHotTrack(const TgxTreeListHitInfo& /*AHitInfo*/) {}
  virtual TgxInplaceEdit* CreateTextEditor(int AVisibleColumn);
  virtual void DoNewItemRowEditing(bool& /*AAllow*/) {}
  virtual void NoFocusedNodeClick() {}
  virtual void DoHotTrackNode(const TgxTreeListHotTrackInfo& AInfo, TCursor& ACursor);
  virtual TgxInplaceEdit* FindInplaceEditor(int /*AVisibleColumn*/) { return FInplaceEdit; }
  virtual void GetEditingText(std::wstring& AText);
  virtual void InitEditProperties(TgxInplaceEdit* AEditor);
  virtual void GetNodeEditValue(TgxTreeListNode* ANode, TgxInplaceEdit* AEditor,
                                TgxVariant& AValue);
  virtual bool IsHotTrackCell(TgxTreeListNode* /*ANode*/, int /*AColumn*/) { return false; }
  virtual void SetEditingText(const std::wstring& AText);
  // Selection.
  virtual bool CanSelectRange() { return true; }
  virtual bool CanNodeSelected(TgxTreeListNode* ANode);
  virtual void ClearSelection();
  virtual int CompareWithAnchor(TgxTreeListNode* ANode);
  virtual void DeleteSelection();
  virtual void DoSelectedCountChange();
  virtual int GetSelectedCount() { return 0; }
  virtual TgxTreeListNode* GetSelectedItem(int /*AIndex*/) { return nullptr; }
  virtual void InvalidateSelection();
  bool IsNodeSelected(TgxTreeListNode* /*ANode*/) const override { return false; }
  void SetNodeSelected(TgxTreeListNode* ANode, bool AValue) override;
  virtual void SelectNodes(TgxTreeListNode* ANode1, TgxTreeListNode* ANode2);
  virtual void SetSelectionAnchor(TgxTreeListNode* ANode) { FSelectionAnchor = ANode; }
  // Sorting.
  virtual void ClearColumnsSorted() {}
  virtual int CompareNodes(int AValue1, int AValue2) { return AValue1 - AValue2; }
  virtual void SortNodes(TgxTreeListNode* /*ANode*/, bool /*ARecurse*/) {}
  virtual int GetSortedColumnCount() { return 0; }
  virtual bool IsSortedColumnDown(int /*AIndex*/) { return false; }
  virtual int GetSortedColumnIndex(int AIndex) { return AIndex; }
  virtual bool IsMultiSortActive(int /*AColumn*/) { return IsMultiSort(); }
  // Sorts sibling lists by a column's sort values: level -1 every list of
  // the tree, level k the lists k levels below the top (0 the top level).
  virtual void SortNodes(int ALevel, int AColumn, bool ADesc);
  // One sibling list in place; its entries are written back only once the
  // whole sort has succeeded.
  void SortNodeList(TgxTreeListNodes& AList, int AColumn, bool ADesc);
  // The last tie-break of the plain comparison: by node address.
  virtual int CompareNodes(TgxTreeListNode* ANode1, TgxTreeListNode* ANode2);
  // Incremental search: the focus moves to the next node whose text in
  // the search column starts with the search text. AColumnIndex -1 takes
  // the focused column; answers whether a search text remains.
  bool StartSearch(int AColumnIndex, const std::wstring& AText);
  void EndSearch();
  bool IsSearching() const { return FSearching; }
  const std::wstring& SearchText() const { return FSearchText; }
  int SearchColumnIndex() const { return FSearchColumnIndex; }
  // Typing while a search runs: a character is added, Backspace drops the
  // last, Delete empties the text, Shift+Enter and Ctrl+Enter look
  // backward and forward for the next match.
  void SearchAddChar(wchar_t ACh);
  void SearchBackspace();
  void SearchClear();
  void SearchNext(bool ABackward);
  // Before each search key: unless whole rows are selected, the search
  // column follows the focused column, emptying the text.
  void CheckSearchColumn();
  // The search step and the node finder; ADirection 0 looks from the
  // focused node on, 1 backward from the node before it, 2 forward from the
  // node after it.
  virtual void DoSearch(std::wstring& AText, int ADirection, bool AClearOnFail);
  virtual bool SearchNode(int AColumn, const std::wstring& AText, TgxTreeListNode*& ANode,
                          int ADirection);
  // Custom drawing: the core draws nothing of its own accord.
  virtual bool IsCustomDrawBand() { return false; }
  virtual bool IsCustomDrawCell(TgxTreeListNode* /*ANode*/, int /*AColumn*/) { return false; }
  virtual bool IsCustomDrawFooter(int /*AFooterIndex*/) { return false; }
  virtual bool IsCustomDrawHeader(int /*AColumn*/) { return false; }
  virtual bool IsCustomDrawPreview() { return false; }
  virtual bool IsLevelColorAssigned() { return false; }
  virtual void DoCustomDrawBand(HDC /*ADC*/, const RECT& /*ARect*/, int /*ABand*/,
                                bool& /*ADone*/) {}
  virtual void DoCustomDrawCell(HDC /*ADC*/, const RECT& /*ARect*/, TgxTreeListNode* /*ANode*/,
                                int /*AColumn*/, bool& /*ADone*/) {}
  virtual void DoCustomDrawFooter(HDC /*ADC*/, const RECT& /*ARect*/, int /*AFooterIndex*/,
                                  bool& /*ADone*/) {}
  virtual void DoCustomDrawHeader(HDC /*ADC*/, const RECT& /*ARect*/, int /*AColumn*/,
                                  bool& /*ADone*/) {}
  virtual void DoCustomDrawIndicator(HDC /*ADC*/, const RECT& /*ARect*/, TgxTreeListNode* /*ANode*/,
                                     bool& /*ADone*/) {}
  virtual void DoCustomDrawPreview(HDC /*ADC*/, const RECT& /*ARect*/, TgxTreeListNode* /*ANode*/,
                                   bool& /*ADone*/) {}
  virtual void DoGetLevelColor(int /*ALevel*/, TColor& /*AColor*/) {}
  virtual void PrepareCellViewData(TgxTreeListNode* /*ANode*/, int /*AColumn*/) {}
  // The node step (kind 0 first, 1 prior, 2 next, 3 last) and the focus
  // step that applies it to the focused node.
  virtual TgxTreeListNode* GetStepNode(TgxTreeListNode* ANode, int AKind, bool AGotoHidden);
  virtual TgxTreeListNode* StepFocus(int AKind, bool AGotoHidden);
  // Public virtual operations.
  virtual bool IsActive();
  virtual bool IsBOF();
  virtual bool IsEOF();
  virtual bool IsInvertSelect() { return HasEx(aoInvertSelect); }
  virtual void SelectAll() {}
  // What a client point covers, from the rows and the columns' widths.
  virtual TgxTreeListHitInfo GetHitInfo(POINT APoint);
  TgxTreeListNode* GetNodeAt(int AX, int AY) { return GetHitInfo(POINT{AX, AY}).Node; }
  // The rows the cells area shows: wholly, and at least partly.
  virtual void UpdateRowCount();
  int VisibleRowCount() const { return FVisibleRowCount; }
  int RowCount() const { return FRowCount; }
  // Fits the columns once to the client width; re-applies the leading
  // width so that the others follow it.
  void AdjustColumnsWidth();
  void StabilizeAutoWidth();
  virtual void BeginSelection();
  virtual void EndSelection();

  // ---- draw info, cell rectangles and hit tests -------------------------------------
  // The fixed rectangles only (AIncludeAll: the client area widened to the
  // whole content width).
  void CalcRectInfo(TgxGridDrawInfo& ADrawInfo, bool AIncludeAll);
  // The whole layout of the window as it is now.
  void CalcDrawInfo(TgxGridDrawInfo& ADrawInfo);
  // The layout of the whole list for a picture of it: the selected nodes in
  // tree order (ASelectedOnly) or every node in display order, at most 500
  // rows, none marked selected.
  void CalcDrawInfo(TgxGridDrawInfo& ADrawInfo, bool ASelectedOnly);
  void FreeDrawInfo(TgxGridDrawInfo& ADrawInfo);
  // A node's cell at a focus-order column; (-1, -1, -1, -1) when the column
  // is not in the layout or the node not on screen.
  RECT CellRect(TgxTreeListNode* ANode, int AColumn);
  TgxTreeListHitTest GetHitTestInfoAt(int AX, int AY) { return GetHitInfo(POINT{AX, AY}).hitType; }
  // ---- widths -----------------------------------------------------------------------
  int GetContentWidth();
  // The computed least width of a visible band (its own and its rows').
  int CalcBandMinWidth(int AVisibleIndex);
  int GetBandDefinedWidth(int AVisibleIndex);
  int GetBandWidth(int AVisibleIndex);
  int GetRowDefinedWidth(int AVisibleIndex, int ARow);
  int GetRowMinWidth(int AVisibleIndex, int ARow);
  int GetBandLeft(int AVisibleIndex);
  void GetBandSizingBounds(int AVisibleIndex, int AX, int& ALeft, int& AMax, int& AMin);
  void GetColumnSizingBounds(int AColumn, int AX, int& ALeft, int& AMax, int& AMin);
  void ResizeBandAutoWidth(int AVisibleIndex, int ANewWidth);
  void ResizeColumnAutoWidth(int AVisibleIndex, int AColumn, int ANewWidth);
  void ScaleBandColumns(int AVisibleIndex, int ANewWidth);
  void ResizeColumnInBand(int AVisibleIndex, int AColumn, int ANewWidth);
  // ---- row heights, level footers and panel rows ------------------------------------
  int CalcRowHeight(TgxTreeListNode* ANode, int ALineHeight, bool ANoCache);
  bool IsRowAutoHeight();
  // Wraps a cell text into lines; the base computes nothing.
  virtual bool ColumnCalcLineCountEx(TgxTreeListNode* ANode, int AAbsoluteIndex,
                                     const std::wstring& AText, int ABoundsWidth, int ATextHeight,
                                     int AMaxLineCount, bool AInflateFlag, bool AGridFlag,
                                     int& ALineCount, int& ALineHeight);
  int GetLevelFooterCount(TgxTreeListNode* ANode);
  int GetNodeFooterLevel(TgxTreeListNode* ANode, int AIndex);
  int GetFooterCountBelowLevel(TgxTreeListNode* ANode, int ALevel);
  int GetRowHeightForHeight(TgxTreeListNode* ANode, int AHeight);
  void GetRowSizingBounds(TgxTreeListNode* ANode, int AY, int& AMax, int& AMin);
  int GetBandPanelHeight(int ARows);
  int GetBandRowsAbove(int AY);
  void SnapBandPanelHeight(int AY, int& AMin, int& AValue);
  int GetHeaderRowsAt(int AY);
  void SnapHeaderPanelHeight(int AY, int& AMin, int& AValue);
  int GetHeaderLineCount(int AVisibleIndex, int ARow, int ACol);
  // ---- rows on screen ---------------------------------------------------------------
  void GetNodeRowRect(TgxTreeListNode* ANode, RECT& ARect);
  void GetNodeRowToBottomRect(TgxTreeListNode* ANode, RECT& ARect);

  // ---- scrolling and panning --------------------------------------------------------
  // Pixels the cells move for a change of the top index by ARows.
  int GetScrollDistance(int ARows);
  // The least top index that still shows the row at AIndex completely.
  int GetTopIndexForLastRow(int AIndex);
  // The rows from ANode down (then upward) that fit into AHeight: at least
  // partly and completely; answers the height used.
  int CountFittingRows(TgxTreeListNode* ANode, int AHeight, int& APartCount, int& AFullCount);
  void GetVScrollInfo(int& AMin, int& AMax, int& APos, int& APage, int& AMask);
  // The part of the client area that scrolls horizontally, and the width
  // of the content that scrolls in it.
  RECT GetScrollAreaRect();
  int GetScrollableWidth();
  void ScrollContentHorz(int ADx);
  void ScrollContentVert(int ADy);
  // Whether a scroll may move the pixels on screen instead of painting
  // everything again.
  bool CanScrollContent();
  void DropUnneededScrollBars();
  // The middle-button panning mode: a modal loop until a key, a click or
  // the lost capture ends it.
  void StartPanning();
  // ---- selection --------------------------------------------------------------------
  TgxTreeListNode* GetFirstSelectedNode();
  // ---- keyboard and mouse -----------------------------------------------------------
  virtual void KeyDown(WORD& AKey, TShiftState AShift);
  virtual void KeyPress(wchar_t& AKey);
  virtual void DblClick();
  void ContainerKeyDown(WORD& AKey, TShiftState AShift) override { KeyDown(AKey, AShift); }
  void ContainerKeyPress(wchar_t& AKey) override { KeyPress(AKey); }
  void ContainerDblClick() override { DblClick(); }
  std::function<void(TControl* ASender, WORD& AKey, TShiftState AShift)> OnKeyDown;
  std::function<void(TControl* ASender, wchar_t& AKey)> OnKeyPress;
  TNotifyEvent OnDblClick;
  int SizingPos() const { return FSizingPos; }
  bool IsClickEditTimerRunning() const { return FClickEditTimer; }

  // ---- node lists and the visible rows --------------------------------------------
  void ClearNodes();
  int GetAbsoluteCount() const override;
  int GetAbsoluteIndexOf(const TgxTreeListNode* ANode) const override;
  TgxTreeListNode* GetNodeAtAbsoluteIndex(int AIndex) const;
  TgxTreeListNode* GetNextVisible(TgxTreeListNode* ANode) const override;
  bool TryGetPriorListNode(const TgxTreeListNode* ANode, TgxTreeListNode*& APrior) const override;
  int AbsoluteCount() const { return GetAbsoluteCount(); }
  // Whether the cached list of visible rows can be read.
  bool IsListNodesUsable() const;

  // ---- painting -------------------------------------------------------------------
  // Lays the window out, paints every area onto ACanvas and frees the layout.
  void PaintArea(TgxGridDrawInfo& ADrawInfo, TCanvas& ACanvas);
  // Whether a rectangle meets what is being painted (everything non-empty
  // while FDrawNonVisibleParts is set).
  bool NeedsPaint(const RECT& ARect);
  void HideDragImages();
  void ShowDragImages();
  // The brush and colours of a cell; AHeaderEntry indexes the paint's
  // column brush table (-1: none).
  void GetCellColors(TgxTreeListNode* ANode, bool ASelected, bool AFocused, int AColumn, int ALevel,
                     bool AHasChildren, bool AIsGroup, HBRUSH& ABrush, TColor& ATextColor,
                     TColor& ABkColor);
  // Kinds of the cells the painters hand out.
  enum : int { kCellData = 0, kCellFooter = 1, kCellNewItemRow = 2, kCellGroup = 3 };
  virtual void DrawFooterCell(TCanvas& ACanvas, const RECT& ARect, bool ARightEdge, bool ALeftEdge,
                              int AKind, bool AMultiLine, HBRUSH ABrush, TColor ABkColor,
                              bool AFocusedCell, bool ASelected, int AFooterIndex, int AColumn,
                              TgxTreeListNode* ANode, TBitmap* ADrawBitmap);
  // Hands a cell to its column's editor class; the base paints it with the
  // text editor's look.
  virtual void PrepareCellViewData(HDC ADC, RECT& ARect, TgxTreeListCellViewData& AViewData,
                                   int AColumn);
  virtual void DrawCell(TCanvas& ACanvas, const RECT& ARect, HBRUSH ACellBrush, TColor ACellColor,
                        bool ARightEdge, bool ALeftEdge, int AKind, bool AMultiLine, HBRUSH ABrush,
                        TColor ATextColor, TColor ABkColor, bool AFocusedCell, bool ASelected,
                        int AColumn, TgxTreeListNode* ANode, TBitmap* ADrawBitmap);
  virtual void DrawGroupPanel(TCanvas& /*ACanvas*/, const RECT& /*ARect*/, HBRUSH /*APanelBrush*/,
                              HBRUSH /*AHeaderBrush*/) {}
  virtual void DrawPreview(TCanvas& ACanvas, const RECT& ARect, bool ASelected, HBRUSH ABrush,
                           TColor ATextColor, TColor ABkColor, TgxTreeListNode* ANode,
                           TBitmap* ADrawBitmap);
  virtual TColor GetGridLineColor() {
    return FGridLineColor == clNone ? FGridColor : FGridLineColor;
  }
  virtual void BeginDrawNode(TgxTreeListNode* /*ANode*/) {}
  virtual void EndDrawNode(TgxTreeListNode* /*ANode*/) {}
  virtual void DrawBorder(HDC ADC, const RECT& ARect);
  virtual TCustomImageList* GetNodeImages(TgxTreeListNode* /*ANode*/) { return FImages; }
  void DrawIndicator(HDC ADC, const RECT& ARect, const RECT& AClipRect, TgxTreeListNode* ANode,
                     HBRUSH ABrush, TBitmap& ADrawBitmap, TgxTreeListIndicatorKind AKind,
                     TgxLookAndFeel ALookAndFeel);
  int GetNodeImageWidth(TgxTreeListNode* ANode);
  int GetNodeImageHeight(TgxTreeListNode* ANode);
  void InvalidateArea(const RECT& ARect);
  // The J-th row footer of a node whose row starts at ATop; AInset is the
  // grid's pixel.
  RECT GetRowFooterRect(TgxTreeListNode* ANode, int AFooterIndex, const TgxGridDrawInfo& ADrawInfo,
                        int AInset, int ATop);
  // Draws the process-wide plus and minus glyphs of the expand buttons.
  static void MakeExpandButtonGlyphs();
  // The tree area of a node's row: to its level's end, and to its images' end.
  void GetNodeIndent(TgxTreeListNode* ANode, int& AIndent, int& AImageIndent);
  // The custom draws with the values a handler may change; the base ones
  // offer the cell to the plain hooks above.
  virtual void DoCustomDrawBand(TCanvas& ACanvas, const RECT& ARect, int ABand, std::wstring& AText,
                                TColor& AColor, TFont& AFont, int& AAlignment, bool& ADone);
  virtual void DoCustomDrawHeader(TCanvas& ACanvas, const RECT& ARect, int AColumn,
                                  std::wstring& AText, TColor& AColor, TFont& AFont,
                                  int& AAlignment, TgxTreeListColumnSort& ASorted, bool& ADone);
  virtual void DoCustomDrawCell(TCanvas& ACanvas, const RECT& ARect, TgxTreeListNode* ANode,
                                int AColumn, bool ASelected, bool AFocused, bool ANewItemRow,
                                bool AGroupRow, std::wstring& AText, TColor& AColor, TFont& AFont,
                                int& AAlignment, bool& ADone);
  virtual void DoCustomDrawFooter(TCanvas& ACanvas, const RECT& ARect, TgxTreeListNode* ANode,
                                  int AColumn, int AFooterIndex, std::wstring& AText,
                                  TColor& AColor, TFont& AFont, int& AAlignment, bool& ADone);
  virtual void DoCustomDrawPreview(TCanvas& ACanvas, const RECT& ARect, TgxTreeListNode* ANode,
                                   bool ASelected, std::wstring& AText, TColor& AColor,
                                   TColor& ATextColor, TFont& AFont, bool& ADone);
  // The scratch bitmap of the paint running (nullptr outside a paint).
  TBitmap* DrawBitmap() const { return FDrawBitmap.get(); }
  bool DrawNonVisibleParts() const { return FDrawNonVisibleParts; }
  void SetDrawNonVisibleParts(bool AValue) { FDrawNonVisibleParts = AValue; }
  bool DisableHeaderImages() const { return FDisableHeaderImages; }
  void SetDisableHeaderImages(bool AValue) { FDisableHeaderImages = AValue; }
  // Whether the keyboard focus is on the control or its editor.
  bool IsPaintFocused();

  // ---- update locks ----------------------------------------------------------------
  void BeginUpdate() override;
  void EndUpdate() override;
  void CancelUpdate();
  void DisableUpdate() { ++FLockUpdate; }
  void EnableUpdate() { --FLockUpdate; }
  bool IsUpdateLocked() const override { return FLockUpdate > 0; }
  int LockUpdate() const { return FLockUpdate; }
  void BeginPaintUpdate() { ++FLockPaintUpdate; }
  void EndPaintUpdate();
  bool IsPaintLocked() const { return FLockPaintUpdate > 0; }
  void DoSelectionChanged(TgxTreeListNode* ANode);
  void Loaded() override;
  bool IsDestroying() const override;

  // ---- focus, navigation and visibility ---------------------------------------------
  TgxTreeListNode* FocusedNode() const override { return FFocused; }
  void SetFocusedNodeProperty(TgxTreeListNode* ANode) {
    SetFocusedNode(ANode, FFocusedColumn, true);
  }
  int FocusedColumn() const override { return FFocusedColumn; }
  void SetFocusedColumn(int AValue);
  int FocusedNumber() const { return GetAbsoluteIndexOf(FFocused); }
  void StoreFocusedNode(TgxTreeListNode* ANode) override { FFocused = ANode; }
  TgxTreeListNode* TopVisibleNode() const override { return FTopVisibleNode; }
  int TopIndex() const { return GetAbsoluteIndexOf(FTopVisibleNode); }
  void SetTopIndex(int AValue);
  // The number of columns in focus order and the absolute column at a
  // focus-order position (-1 out of range), and its inverse (0 when the
  // column is not found).
  int GetVisibleColumnCount();
  int GetFocusedAbsoluteIndex(int AFocusedIndex);
  int GetFocusedVisibleIndex(int AAbsoluteIndex);
  bool GotoFirst() { return StepFocus(0, false) != nullptr; }
  bool GotoLast(bool AGotoHidden) { return StepFocus(3, AGotoHidden) != nullptr; }
  bool GotoNext(bool AGotoHidden) { return StepFocus(2, AGotoHidden) != nullptr; }
  bool GotoPrev(bool AGotoHidden) { return StepFocus(1, AGotoHidden) != nullptr; }
  void MakeNodeVisible(TgxTreeListNode* ANode) override;
  void MakeBandVisible(int AVisibleIndex);
  void MakeColumnVisible(int AAbsoluteIndex);
  int LeftCoord() const { return FLeftCoord; }
  void SetLeftCoord(int AValue);

  // ---- the editor --------------------------------------------------------------------
  void ShowEditor();
  void ShowEditorChar(wchar_t ACh);
  void ShowEditorMouse(int AX, int AY);
  void ShowButtonEditorMouse(int AX, int AY);
  void CloseEditor();
  void HideEditor();
  void CancelEditor();
  // The rectangle of a cell in client coordinates; empty when it is not on
  // screen.
  virtual RECT GetEditRect(TgxTreeListNode* ANode, int AVisibleColumn);
  TgxInplaceEdit* InplaceEditor() const { return FInplaceEdit; }
  TgxTreeListNode* InplaceNode() const { return FInplaceNode; }
  int InplaceColumn() const { return FInplaceColumn; }
  TgxTreeListState State() const { return FState; }
  void SetState(TgxTreeListState AValue);
  void DoExit() override;

  // ---- options and appearance --------------------------------------------------------
  TgxTreeListOptions Options() const { return FOptions; }
  void SetOptions(TgxTreeListOptions AValue);
  TgxTreeListOptionsEx OptionsEx() const { return FOptionsEx; }
  void SetOptionsEx(TgxTreeListOptionsEx AValue);
  TgxLookAndFeel LookAndFeel() const { return FLookAndFeel; }
  void SetLookAndFeel(TgxLookAndFeel AValue);
  TScrollStyle ScrollBars() const { return FScrollBars; }
  void SetScrollBars(TScrollStyle AValue);
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle AValue);
  int RowHeight() const { return FRowHeight; }
  bool RowHeightAssigned() const { return FRowHeightAssigned; }
  int HeaderHeight() const { return FHeaderHeight; }
  int TextHeight() const { return FTextHeight; }
  int Indent() const { return FIndent; }
  int PreviewLines() const { return FPreviewLines; }
  void SetPreviewLines(int AValue);
  int MaxRowLineCount() const { return FMaxRowLineCount; }
  void SetMaxRowLineCount(int AValue);
  int IndicatorWidth() const { return FIndicatorWidth; }
  void SetIndicatorWidth(int AValue);
  int WaitForExpandNodeTime() const { return int(FWaitForExpandNodeTime); }
  TgxTreeLineStyle TreeLineStyle() const { return FTreeLineStyle; }
  void SetTreeLineStyle(TgxTreeLineStyle AValue);
  TgxTreeListPaintStyle PaintStyle() const { return FPaintStyle; }
  void SetPaintStyle(TgxTreeListPaintStyle AValue);
  bool ShowNewItemRow() const { return FShowNewItemRow; }
  void SetShowNewItemRow(bool AValue);
  void SetNewItemRowHeight(int AValue);
  bool ShowRowFooter() const { return FShowRowFooter; }
  void SetShowRowFooter(bool AValue);
  bool EnableUnicodeSupport() const { return FEnableUnicodeSupport; }
  void SetEnableUnicodeSupport(bool AValue) { FEnableUnicodeSupport = AValue; }
  TFont& BandFont() { return FBandFont; }
  TFont& HeaderFont() { return FHeaderFont; }
  TFont& PreviewFont() { return FPreviewFont; }
  // The node images and state images; a change in either repaints.
  TCustomImageList* Images() const { return FImages; }
  void SetImages(TCustomImageList* AValue);
  TCustomImageList* StateImages() const { return FStateImages; }
  void SetStateImages(TCustomImageList* AValue);
  TgxTreeListNode* SelectionAnchor() const { return FSelectionAnchor; }
  int CustomizingRowCount() const { return FCustomizingRowCount; }
  POINT CustomizingPos() const { return FCustomizingPos; }

  // Boolean appearance properties with their defaults.
#define ORV_TL_FLAG(Name, Default)                                                                 \
  bool Name() const {                                                                              \
    return F##Name;                                                                                \
  }                                                                                                \
  void Set##Name(bool AValue) {                                                                    \
    SetFlag(F##Name, AValue);                                                                      \
  }
  ORV_TL_FLAG(DblClkExpanding, true)
  ORV_TL_FLAG(Flat, false)
  ORV_TL_FLAG(HideFocusRect, true)
  ORV_TL_FLAG(HideSelection, true)
  ORV_TL_FLAG(PaintStandard, false)
  ORV_TL_FLAG(ShowBands, false)
  ORV_TL_FLAG(ShowButtons, true)
  ORV_TL_FLAG(ShowFooter, false)
  ORV_TL_FLAG(ShowGrid, false)
  ORV_TL_FLAG(ShowHeaders, true)
  ORV_TL_FLAG(ShowIndicator, false)
  ORV_TL_FLAG(ShowLines, true)
  ORV_TL_FLAG(ShowPreviewGrid, true)
  ORV_TL_FLAG(ShowRoot, true)
  ORV_TL_FLAG(ShowDragImage, true)
  ORV_TL_FLAG(AutoExpandOnSearch, true)
  ORV_TL_FLAG(DrawTransparent, false)
#undef ORV_TL_FLAG

  // Colours with their defaults.
#define ORV_TL_COLOR(Name)                                                                         \
  TColor Name() const {                                                                            \
    return F##Name;                                                                                \
  }                                                                                                \
  void Set##Name(TColor AValue) {                                                                  \
    SetColorField(F##Name, AValue);                                                                \
  }
  ORV_TL_COLOR(ArrowsColor)
  ORV_TL_COLOR(BandColor)
  ORV_TL_COLOR(FixedBandLineColor)
  ORV_TL_COLOR(FooterColor)
  ORV_TL_COLOR(PlusMinusColor)
  ORV_TL_COLOR(FooterTextColor)
  ORV_TL_COLOR(GridColor)
  ORV_TL_COLOR(GridLineColor)
  ORV_TL_COLOR(GroupColor)
  ORV_TL_COLOR(GroupTextColor)
  ORV_TL_COLOR(HeaderColor)
  ORV_TL_COLOR(HideSelectionColor)
  ORV_TL_COLOR(HideSelectionTextColor)
  ORV_TL_COLOR(HighlightColor)
  ORV_TL_COLOR(HighlightTextColor)
  ORV_TL_COLOR(TreeLineColor)
  ORV_TL_COLOR(AutoSearchColor)
  ORV_TL_COLOR(AutoSearchTextColor)
#undef ORV_TL_COLOR

  // ---- events ------------------------------------------------------------------------
  TTLExpandedEvent OnBeginDragNode;
  TgxTLCanNodeSelected OnCanNodeSelected;
  TTLChangeColumnEvent OnChangeColumn;
  TNotifyEvent OnChangeLeftCoord;
  TTLChangeNodeEvent OnChangeNode;
  TNotifyEvent OnChangeTopVisibleNode;
  TTLExpandedEvent OnCollapsed;
  TTLExpandingEvent OnCollapsing;
  TgxTLCompareEvent OnCompare;
  TTLExpandedEvent OnDeletion;
  TNotifyEvent OnEditChange;
  TTLExpandedEvent OnEdited;
  TTLExpandingEvent OnEditing;
  TgxTLEditValidateEvent OnEditValidate;
  TNotifyEvent OnEndColumnsCustomizing;
  TTLExpandedEvent OnExpanded;
  TTLExpandingEvent OnExpanding;
  TgxTLGetEditColor OnGetEditColor;
  TgxTLHotTrackNode OnHotTrackNode;
  TNotifyEvent OnSelectedCountChange;
  TTLMouseWheelScrollEvent OnMouseWheelScroll;
  TClickHoverEditEvent OnClickHoverEdit;
  TImmediateEditEvent OnImmediateEdit;
  TSelectionChangedEvent OnSelectionChanged;
  TPostDrawImageEvent OnPostDrawImage;
  TGetIsHotTrackNodeEvent OnGetIsHotTrackNode;
  TOnGetTooltipInfoEvent OnGetTooltipInfo;
  TNotifyEvent OnBeforeSort;

protected:
  void CreateParams(TCreateParams& AParams) override;
  void CreateWnd() override;
  void Notification(TComponent* AComponent, TOperation AOperation) override;
  void WndProc(TMessage& AMessage) override;
  void Resize() override;

  bool Has(TgxTreeListOption AOption) const {
    return (FOptions & OptionBit(AOption)) != 0;
  }
  bool HasEx(TgxTreeListOptionEx AOption) const {
    return (FOptionsEx & OptionBit(AOption)) != 0;
  }
  // The focus-order position of a column, -1 when it has none.
  int GetFocusedVisibleIndexOrNone(int AAbsoluteIndex);
  void PatchListNodes(TgxTreeListNode* ANode, bool ADeleting);
  // The pieces of the draw info and of the hit test.
  void CalcBandsInfo(TgxGridDrawInfo& ADrawInfo);
  void CalcRowsInfo(TgxGridDrawInfo& ADrawInfo, const std::vector<TgxTreeListNode*>& ANodes,
                    bool AMarkSelected);
  int StateImageWidth();
  bool IsBandEdgeSizable(int AVisibleIndex);
  void ClassifyPoint(const TgxGridDrawInfo& AInfo, TgxTreeListHitInfo& AHit);
  void ClassifyHeaderPoint(const TgxGridDrawInfo& AInfo, TgxTreeListHitInfo& AHit, bool AInside);
  void ClassifyRowPoint(const TgxGridDrawInfo& AInfo, TgxTreeListHitInfo& AHit);
  void ClassifyTreeArea(const TgxGridDrawInfo& AInfo, TgxTreeListHitInfo& AHit,
                        TgxTreeListNode* ANode);
  void SetRowHit(const TgxGridDrawInfo& AInfo, TgxTreeListHitInfo& AHit, int ARow,
                 TgxTreeListHitTest AType);
  void ClearNodeReferences();
  // Shows the editor of the focused cell (Activate: it takes the focus).
  void ShowInplaceEditor(bool AActivate);
  // Saves, forgets and hides the editor; AFocusControl moves the focus
  // back to the control (else only when the editor had it).
  void HideInplaceEditor(bool AFocusControl);
  void FreeTooltipWindow();
  void MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
  void MouseMove(TShiftState AShift, int AX, int AY) override;
  void MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
  LRESULT DialogCode() override;
  // The scroll messages, the click-to-edit timer and the focus steps.
  void WMScroll(TMessage& AMessage, bool AVertical);
  void WMTimer(TMessage& AMessage);
  // Draws, or erases by drawing again, the line of a sizing operation.
  void DrawSizingLine();
  void StartClickEditTimer();
  void StopClickEditTimer();
  void StartFocusStepTimer(int ADirection);
  void StopFocusStepTimer();
  // The keyboard moves of the focus.
  void MoveFocusRow(int ADelta, TShiftState AShift);
  void MoveFocusPage(int ADelta);
  bool MoveFocusInBand(bool AUp);
  int FindFocusableColumn(int AFrom, bool AForward);
  void FocusFirstLastNode(bool ALast);
  void SelectOnlyFocused();
  void ActivateNewItemRow();
  TgxTreeListHitInfo FHitInfo;
  POINT FPointDragging{0, 0};
  int FMouseDownLeftCoord = 0;
  int FSizingPos = 0;
  int FPrevSizingPos = 0;
  bool FSizingLineShown = false;
  bool FClickEditTimer = false;
  // The focus step while a node press moves over the edge: -1 up, 1 down.
  int FFocusStepDirection = 0;
  bool FFocusStepTimer = false;
  bool FlagMultiSort = false;
  bool FlagClearSort = false;
  bool FFocusJustTaken = false;
  TgxTreeListNode* FFirstSelectedNode = nullptr;
  int FDragAbsoluteBandIndex = -1;
  bool FPanning = false;

  // Nodes and the visible rows.
  int FLockUpdate = 0;
  int FLockPaintUpdate = 0;
  TgxTreeListNode* FFocused = nullptr;
  TgxTreeListNode* OldFocusedNode = nullptr;
  bool FlagCtrl = false;
  bool FlagEditor = false;
  // Row number to node; and node to row number, sorted by node address.
  std::vector<TgxTreeListNode*> FListRealNodes;
  std::vector<std::pair<const TgxTreeListNode*, int>> FListNodes;
  bool FMakeListNodesFlag = false;
  TgxTreeListNode* FMakeListNode = nullptr;
  bool FMakeListNodeVisible = false;
  bool FNodeDeleteing = false;
  bool FClearListNodesFlag = false;
  std::vector<TgxTreeListNode*> FHiddenList;

  // Appearance.
  TColor FArrowsColor = TColor(0x00FF00);
  TColor FBandColor = clBtnFace;
  TFont FBandFont;
  TBorderStyle FBorderStyle = bsSingle;
  bool FDblClkExpanding = true;
  TColor FFixedBandLineColor = clWindowFrame;
  bool FFlat = false;
  TColor FFooterColor = cl3DLight;
  TColor FPlusMinusColor = clWindowText;
  TColor FFooterTextColor = clWindowText;
  TColor FGridColor = clBtnShadow;
  TColor FGridLineColor = clNone;
  TColor FGroupColor = clBtnFace;
  TColor FGroupTextColor = clNone;
  TColor FHeaderColor = clBtnFace;
  TFont FHeaderFont;
  bool FHideFocusRect = true;
  bool FHideSelection = true;
  TColor FHideSelectionColor = clBtnFace;
  TColor FHideSelectionTextColor = clBtnText;
  TColor FHighlightColor = clHighlight;
  TColor FHighlightTextColor = clHighlightText;
  TgxLookAndFeel FLookAndFeel = lfStandard;
  bool FPaintStandard = false;
  TgxTreeListPaintStyle FPaintStyle = psStandard;
  TFont FPreviewFont;
  TFont FSaveFont;
  TScrollStyle FScrollBars = ssBoth;
  bool FShowBands = false;
  bool FShowButtons = true;
  bool FShowFooter = false;
  bool FShowGrid = false;
  bool FShowHeaders = true;
  bool FShowIndicator = false;
  bool FShowLines = true;
  bool FShowNewItemRow = false;
  bool FShowPreviewGrid = true;
  bool FShowRoot = true;
  bool FShowRowFooter = false;
  TColor FTreeLineColor = clGrayText;
  TgxTreeLineStyle FTreeLineStyle = tlDot;
  bool FDrawTransparent = false;

  // Metrics.
  int FGroupPanelHeight = 0;
  int FBandHeight = 0;
  int FBandRowCount = 0;
  int FBandTextHeight = 0;
  int FHeaderHeight = 18;
  int FHeaderLineCount = 0;
  int FHeaderRowCount = 0;
  int FHeaderRowHeight = 0;
  int FNewItemRowHeight = 0;
  int FNewItemRowSeparatorHeight = 0;
  int FFixedBandLineWidth = 2;
  int FMinRowHeight = 0;
  int FRowHeight = 18;
  bool FRowHeightAssigned = false;
  int FRowSeparatorLineWidth = 1;
  int FTextHeight = 11;
  int FMaxRowLineCount = -1;
  int FDescTextHeight = 11;
  int FIndentDesc = 20;
  int FPreviewLines = 2;
  int FIndicatorWidth = 0;
  int FFooterRowHeight = 0;
  int FFooterRowNodeHeight = 0;
  int FFooterHeight = 0;
  int FStatusHeight = 0;
  int FDeltaHScroll = 0;
  int FIndent = 16;

  // Mouse state.
  int FDownBandIndex = -1;
  int FDownColumnIndex = -1;
  bool FDownBandPushed = false;
  bool FDownColumnPushed = false;
  bool FBandButtonPushed = false;
  bool FHeaderButtonPushed = false;
  bool FDropDownButtonColumnPushed = false;
  bool FStatusCloseButtonPressed = false;
  int FFocusedAbsoluteIndex = -1;
  int FFocusedColumn = -1;
  int FLeftCoord = 0;
  int FDragAbsoluteHeaderIndex = -1;

  // Rows, dragging, cells.
  TgxTreeListNode* FTopVisibleNode = nullptr;
  TgxTreeListNode* FDragNode = nullptr;
  bool FShowDragImage = true;
  uint32_t FWaitForExpandNodeTime = 500;
  int FLockSelection = 0;
  int FPrevSelectedCount = 0;
  bool FNewItemRowActive = false;

  TCustomImageList* FImages = nullptr;
  TChangeLink FImageChangeLink;
  TCustomImageList* FStateImages = nullptr;
  TChangeLink FStateChangeLink;

  // Options and state.
  TgxTreeListOptions FOptions = kgxDefaultTreeListOptions;
  TgxTreeListOptionsEx FOptionsEx = kgxDefaultTreeListOptionsEx;
  TgxTreeListNode* FSelectionAnchor = nullptr;
  TgxTreeListState FState = tsNormal;
  TgxTreeListHotTrackInfo FHotTrackInfo;

  // Editing.
  TgxInplaceEdit* FInplaceEdit = nullptr;
  int FInplaceColumn = -1;
  int FInplaceColumnIndex = -1;
  TgxTreeListNode* FInplaceNode = nullptr;

  // Customizing.
  TComponent* FCustomizingForm = nullptr;
  int FCustomizingLastBandIndex = -1;
  int FCustomizingLastHeaderIndex = -1;
  POINT FCustomizingPos{-1000, -1000};
  int FCustomizingRowCount = 11;

  // Search, hints and tooltips.
  bool FAutoExpandOnSearch = true;
  TColor FAutoSearchColor = clNone;
  TColor FAutoSearchTextColor = clNone;
  int FTooltipColumn = -1;
  TgxTreeListNode* FTooltipNode = nullptr;
  TgxContainerHintWindow* FTooltipWindow = nullptr;
  TgxContainerHintWindow* FHintWindow = nullptr;

  bool FEnableUnicodeSupport = false;
  bool FlagSelect = false;
  int FVisibleRowCount = 1;
  int FRowCount = 1;
  bool FSelecting = false;
  bool FSearching = false;
  std::wstring FSearchText;
  int FSearchColumnIndex = -1;
  int FLockSearching = 0;
  bool FDestroying = false;
  // The window the focus is leaving for, while the control loses it.
  HWND FFocusLeavingFor = nullptr;

  void Paint() override;
  // What one PaintArea made and shares between its areas.
  struct TPaintObjects;
  void PaintBands(TgxGridDrawInfo& ADrawInfo, TCanvas& ACanvas, TPaintObjects& AObjects);
  void PaintHeaders(TgxGridDrawInfo& ADrawInfo, TCanvas& ACanvas, TPaintObjects& AObjects);
  void PaintCornerButton(HDC ADC, const RECT& ARect, HBRUSH ABrush, bool APushed);
  void PaintNewItemRow(TgxGridDrawInfo& ADrawInfo, TCanvas& ACanvas, TPaintObjects& AObjects);
  void PaintIndicators(TgxGridDrawInfo& ADrawInfo, TCanvas& ACanvas, TPaintObjects& AObjects);
  void PaintFooter(TgxGridDrawInfo& ADrawInfo, TCanvas& ACanvas, TPaintObjects& AObjects);
  void PaintStatus(TgxGridDrawInfo& ADrawInfo, TCanvas& ACanvas, TPaintObjects& AObjects);
  void PaintRows(TgxGridDrawInfo& ADrawInfo, TCanvas& ACanvas, TPaintObjects& AObjects);
  void DrawFocusFrame(HDC ADC, const RECT& ARect, bool AFocused);
  HBRUSH LevelBrush(TPaintObjects& AObjects, int ALevel);
  TPaintObjects* FPaintObjects = nullptr;
  std::unique_ptr<TBitmap> FDrawBitmap;
  std::unique_ptr<TgxTreeListCellViewData> FCellViewData;
  HDC FPaintDC = nullptr;
  int FLockHideDragImages = 0;
  bool FDrawNonVisibleParts = false;
  bool FDisableHeaderImages = false;
  bool FStatusCloseButtonActive = false;

private:
  void SetFlag(bool& AField, bool AValue);
  void SetColorField(TColor& AField, TColor AValue);
  void FontsChanged();
  void SetImageList(TCustomImageList*& AField, TChangeLink& ALink, TCustomImageList* AValue);
  // The left edge (content coordinates) of a visible band.
  int BandLeft(int AVisibleIndex);
};
