#pragma once

#include "tree-list-core.h"

#include "gx-text-edit.h"

#include "classes.h"
#include "graphics.h"
#include "labels.h"
#include "xp-edit.h"
#include "xp-graphics.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The band-and-column layer of the tree list: bands grouping the columns
// under header cells of their own, the columns with their header and cell
// appearance, and the header geometry (band rows, header rows, the order
// caches) through which the core asks every band and column question.

class TCustomgxTreeListControl;
class TgxTreeListColumn;

// --- bands -------------------------------------------------------------------------

enum TgxGridBandFixed : uint8_t { bfNone, bfLeft, bfRight };

class TgxTreeListBand : public TCollectionItem {
public:
  explicit TgxTreeListBand(TCollection* ACollection);
  ~TgxTreeListBand() override;
  std::wstring ClassName() const override { return L"TgxTreeListBand"; }
  void Assign(const TPersistent* ASource) override;
  void SetIndex(int AValue) override;
  // Back to the defaults, without telling anybody; the caption, the
  // visibility and the two customizing switches stay.
  virtual void RestoreDefaults();

  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment AValue);
  const std::wstring& Caption() const { return FCaption; }
  void SetCaption(const std::wstring& AValue);
  bool DisableCustomizing() const { return FDisableCustomizing; }
  void SetDisableCustomizing(bool AValue);
  bool DisableDragging() const { return FDisableDragging; }
  void SetDisableDragging(bool AValue) { FDisableDragging = AValue; }
  TgxGridBandFixed Fixed() const { return FFixed; }
  void SetFixed(TgxGridBandFixed AValue);
  int MinWidth() const { return FMinWidth; }
  void SetMinWidth(int AValue);
  bool OnlyOwnColumns() const { return FOnlyOwnColumns; }
  void SetOnlyOwnColumns(bool AValue) { FOnlyOwnColumns = AValue; }
  bool Sizing() const { return FSizing; }
  void SetSizing(bool AValue);
  bool Visible() const { return FVisible; }
  void SetVisible(bool AValue);
  int Width() const { return FWidth; }
  void SetWidth(int AValue);

  // Header rows holding at least one visible column (0 without a tree list)
  // and the place among the visible bands (-1 hidden).
  int HeaderRowCount() const;
  int VisibleIndex() const;
  // The visible columns of one header row of the band, and the column at a
  // place there (nullptr when there is none).
  int GetRowColumnCount(int ARowIndex) const;
  TgxTreeListColumn* GetRowColumn(int ARowIndex, int AIndex) const;

  TCustomgxTreeListControl* TreeList() const;

private:
  friend class TgxTreeListBands;
  TAlignment FAlignment = taCenter;
  std::wstring FCaption;
  bool FDisableCustomizing = false;
  bool FDisableDragging = false;
  TgxGridBandFixed FFixed = bfNone;
  int FMinWidth = 30;
  bool FOnlyOwnColumns = false;
  bool FSizing = true;
  bool FVisible = true;
  int FWidth = 250;
};

class TgxTreeListBands : public TCollection {
public:
  using TBandFactory = std::function<TgxTreeListBand*(TCollection* ACollection)>;
  // Bands of the plain band class, or of the class AFactory makes.
  explicit TgxTreeListBands(TCustomgxTreeListControl* ATreeList, TBandFactory AFactory = nullptr);
  std::wstring ClassName() const override { return L"TgxTreeListBands"; }
  TPersistent* GetOwner() const override;

  TgxTreeListBand* Add() { return static_cast<TgxTreeListBand*>(TCollection::Add()); }
  TgxTreeListBand* Items(int AIndex) const {
    return static_cast<TgxTreeListBand*>(TCollection::Items(AIndex));
  }
  // The band at a visible place, nullptr when there is none.
  TgxTreeListBand* GetVisibleItem(int AVisibleIndex) const;
  void RestoreDefaults();
  int GetAbsoluteIndex(int AVisibleIndex) const;
  int GetVisibleIndex(int AAbsoluteIndex) const;
  int VisibleCount() const;
  TCustomgxTreeListControl* TreeList() const { return FTreeList; }

protected:
  void Update(TCollectionItem* AItem) override;

private:
  friend class TCustomgxTreeListControl;
  // At most one left-fixed band, the first visible; at most one right-fixed
  // band, the last visible.
  void NormalizeFixedBands();
  // Whether the tree list's order caches may answer.
  bool CacheUsable(const std::vector<int>& ACache) const;
  TCustomgxTreeListControl* FTreeList;
};

// --- columns -----------------------------------------------------------------------

enum TgxColumnValue : uint8_t {
  cvAlignment,
  cvCaption,
  cvReadOnly,
  cvWidth,
  cvColor,
  cvFont,
  cvMaxLength
};
using TgxColumnValues = uint8_t;
constexpr TgxColumnValues ColumnValueBit(TgxColumnValue AValue) {
  return TgxColumnValues(1u << AValue);
}

// The plain text column's editor.
class TgxInplaceTreeListTextEdit : public TgxInplaceTextEdit {
public:
  using TgxInplaceTextEdit::TgxInplaceTextEdit;
  std::wstring ClassName() const override { return L"TgxInplaceTreeListTextEdit"; }
};

// An editor kind as a column names it: the class operations that paint and
// measure its cells, and the maker of its live editor. Kinds are compared
// by identity.
struct TgxTreeListEditorClass {
  const wchar_t* Name;
  const TgxInplaceEditClass& (*ClassOps)();
  TgxInplaceEdit* (*Create)(TComponent* AOwner);
  // Whether AEdit is an editor of exactly this kind.
  bool (*IsKindOf)(const TgxInplaceEdit* AEdit);
};
const TgxTreeListEditorClass& TreeListTextEditClass();

// What makes a column of one class; a column kind answers its own.
using TgxTreeListColumnClass = TgxTreeListColumn* (*)(TComponent* AOwner);

using TgxColumnCustomDrawEvent =
    std::function<void(TControl* ASender, HDC ADC, const RECT& ARect, TgxTreeListNode* ANode,
                       bool ASelected, std::wstring& AText, bool& ADone)>;
using TgxColumnValidateEvent =
    std::function<void(TControl* ASender, std::wstring& AErrorText, bool& AAccept)>;

class TgxTreeListColumn : public TComponent {
public:
  explicit TgxTreeListColumn(TComponent* AOwner);
  ~TgxTreeListColumn() override;
  std::wstring ClassName() const override { return L"TgxTreeListColumn"; }
  static TgxTreeListColumn* Make(TComponent* AOwner) { return new TgxTreeListColumn(AOwner); }
  // The maker of a column of this object's own class.
  virtual TgxTreeListColumnClass ColumnClass() const { return &Make; }
  void Assign(const TPersistent* ASource) override;
  void SetName(const std::wstring& ANewName) override;
  // The tree list is the column's parent in a form.
  TComponent* GetParentComponent() const;
  bool HasParent() const { return true; }
  // Raises EInvalidCast for a parent that is not a tree list.
  void SetParentComponent(TComponent* AParent);

  // ---- the virtual operations, in slot order ---------------------------------------
  virtual void SaveEditValue(TgxTreeListNode* ANode, TgxInplaceEdit* AEdit, TgxVariant& AValue);
  virtual bool HasCustomDrawCell() { return bool(OnCustomDrawCell) || bool(OnCustomDrawCellWide); }
  virtual void EditorChange(TControl* ASender);
  virtual void EditorValidate(TControl* ASender, std::wstring& AErrorText, bool& AAccept);
  virtual void FontChanged();
  virtual const TgxTreeListEditorClass& GetEditorClass();
  virtual void GetNodeText(TgxTreeListNode* ANode, std::wstring& AText);
  virtual bool CanShowEditor() { return !FDisableEditor; }
  virtual void DoHotTrack(TgxTreeListNode* /*ANode*/, int /*AActiveIndex*/) {}
  virtual int GetIndex() const;
  virtual int GetMinRowHeight() { return 0; }
  virtual TgxEditViewData* GetViewData() { return FViewData.get(); }
  virtual void InitEditor(TgxInplaceEdit* AEdit);
  virtual void LoadEditValue(TgxTreeListNode* ANode, TgxInplaceEdit* AEdit, TgxVariant& AValue);
  virtual bool IsHotTrack() { return false; }
  virtual bool IsFilterEnabled();
  virtual bool IsMultiLine() { return false; }
  virtual bool ShowsButton(bool /*ADefault*/) { return false; }
  virtual void PrepareViewData(TgxEditViewData& /*AViewData*/, TgxEditViewData& /*ACellViewData*/) {
  }
  virtual void SetIndex(int AValue);
  virtual bool ConvertExportValue(std::wstring& /*AValue*/, bool /*AIsHTML*/) { return false; }
  virtual TAlignment DefaultAlignment() { return taLeftJustify; }
  virtual std::wstring DefaultCaption() { return std::wstring(); }
  virtual int DefaultMaxLength() { return 0; }
  virtual bool DefaultReadOnly() { return false; }
  virtual int DefaultWidth() { return 100; }
  virtual int GetBestFit(TCanvas& ACanvas, TgxTreeListNode* ANode);
  virtual std::wstring GetDisplayValue(TgxTreeListNode* ANode, const std::wstring& AValue);
  virtual void RestoreDefaults();

  // ---- public operations ------------------------------------------------------------
  TColor DefaultColor() const;
  TFont& DefaultFont();
  void RestoreDefaultWidth();
  // Takes the default font again when the column has none of its own.
  void RestoreDefaultFont();
  // An unassigned width follows the default width.
  void RefreshDefaultWidth();
  int Index() const { return GetIndex(); }

  TCustomgxTreeListControl* TreeList() const { return FTreeList; }
  void SetTreeList(TCustomgxTreeListControl* AValue);
  TgxColumnValues AssignedValues() const { return FAssignedValues; }
  bool IsAssigned(TgxColumnValue AValue) const {
    return (FAssignedValues & ColumnValueBit(AValue)) != 0;
  }
  int ExtraWidth() const { return FExtraWidth; }
  void SetExtraWidth(int AValue) { FExtraWidth = AValue; }

  // ---- published properties ---------------------------------------------------------
  TAlignment Alignment();
  void SetAlignment(TAlignment AValue);
  std::wstring Caption();
  void SetCaption(const std::wstring& AValue);
  TEditCharCase CharCase() const { return FCharCase; }
  void SetCharCase(TEditCharCase AValue);
  TColor Color();
  void SetColor(TColor AValue);
  bool DisableCaption() const { return FDisableCaption; }
  void SetDisableCaption(bool AValue);
  bool DisableCustomizing() const { return FDisableCustomizing; }
  void SetDisableCustomizing(bool AValue);
  bool DisableDragging() const { return FDisableDragging; }
  void SetDisableDragging(bool AValue) { FDisableDragging = AValue; }
  bool DisableEditor() const { return FDisableEditor; }
  void SetDisableEditor(bool AValue) { FDisableEditor = AValue; }
  bool DisableFilter() const { return FDisableFilter; }
  void SetDisableFilter(bool AValue);
  TFont& Font();
  void SetFont(const TFont& AValue);
  TAlignment HeaderAlignment() const { return FHeaderAlignment; }
  void SetHeaderAlignment(TAlignment AValue);
  // Created on first use.
  TBitmap& HeaderGlyph();
  bool HasHeaderGlyph() const { return FHeaderGlyph != nullptr; }
  // A bitmap is copied; nullptr frees the glyph.
  void SetHeaderGlyph(const TBitmap* AValue);
  int MaxLength();
  void SetMaxLength(int AValue);
  int MinWidth() const { return FMinWidth; }
  void SetMinWidth(int AValue);
  bool OEMConvert() const { return FOEMConvert; }
  void SetOEMConvert(bool AValue);
  wchar_t PasswordChar() const { return FPasswordChar; }
  void SetPasswordChar(wchar_t AValue);
  bool ReadOnly();
  void SetReadOnly(bool AValue);
  bool Sizing() const { return FSizing; }
  void SetSizing(bool AValue);
  TgxTreeListColumnSort Sorted() const { return FSorted; }
  void SetSorted(TgxTreeListColumnSort AValue);
  bool TabStop() const { return FTabStop; }
  void SetTabStop(bool AValue) { FTabStop = AValue; }
  TTextLayout VertAlignment() const { return FVertAlignment; }
  void SetVertAlignment(TTextLayout AValue);
  bool Visible() const { return FVisible; }
  void SetVisible(bool AValue);
  int Width() const { return FWidth; }
  void SetWidth(int AValue);
  int BandIndex() const { return FBandIndex; }
  void SetBandIndex(int AValue);
  int RowIndex() const;
  void SetRowIndex(int AValue);
  int ColIndex() const;
  void SetColIndex(int AValue);
  int HeaderMaxLineCount() const { return FHeaderMaxLineCount; }
  void SetHeaderMaxLineCount(int AValue);
  int StoredRowIndex() const { return FStoredRowIndex; }
  int SortedOrder() const { return FSortedOrder; }
  void SetSortedOrder(int AValue) { FSortedOrder = AValue; }

  // ---- events -------------------------------------------------------------------------
  // The column's editor changed its text (Sender: the column).
  std::function<void(TgxTreeListColumn* ASender)> OnChange;
  TgxColumnCustomDrawEvent OnCustomDrawCell;
  TgxColumnCustomDrawEvent OnCustomDrawCellWide;
  TgxColumnCustomDrawEvent OnCustomDrawColumnHeader;
  TgxEditCustomDrawEvent OnCustomDrawInplaceEditor;
  TgxColumnValidateEvent OnValidate;
  std::function<void(TgxTreeListColumn* ASender)> OnChangeName;

protected:
  // Tells the tree list this column (or every column) changed.
  void Changed(bool AAllItems);
  bool IsUnicodeEditor() const;

private:
  friend class TCustomgxTreeListControl;
  friend class TgxTreeListBand;
  TCustomgxTreeListControl* FTreeList = nullptr;
  TAlignment FAlignment = taLeftJustify;
  std::wstring FCaption;
  TEditCharCase FCharCase = ecNormal;
  TColor FColor = clWindow;
  bool FDisableCaption = false;
  bool FDisableCustomizing = false;
  bool FDisableEditor = false;
  bool FDisableDragging = false;
  std::unique_ptr<TFont> FFont;
  TAlignment FHeaderAlignment = taLeftJustify;
  std::unique_ptr<TBitmap> FHeaderGlyph;
  int FMaxLength = 0;
  int FMinWidth = 20;
  bool FOEMConvert = false;
  wchar_t FPasswordChar = 0;
  bool FReadonly = false;
  int FSortedOrder = -1;
  bool FSizing = true;
  bool FTabStop = true;
  TTextLayout FVertAlignment = tlTop;
  bool FVisible = true;
  int FWidth = 100;
  TgxColumnValues FAssignedValues = 0;
  int FBandIndex = 0;
  int FRowIndex = 0;
  int FHeaderMaxLineCount = 1;
  int FStoredRowIndex = 0;
  std::unique_ptr<TgxEditViewData> FViewData;
  bool FDisableFilter = false;
  int FExtraWidth = 0;
  TgxTreeListColumnSort FSorted = csNone;
  int FActualIndex = -1;
  TgxTreeListNode* FActualNode = nullptr;
  bool FFontChanging = false;
};

// --- the control -------------------------------------------------------------------

// Where a dragged header would land.
struct TgxHeaderPosInfo {
  int BandIndex = -1;
  int RowIndex = -1;
  int ColIndex = -1;
  int AbsoluteIndex = -1;
};

class TgxTreeListDesigner;

// What makes the nodes of a tree list.
using TgxTreeListNodeClass = TgxTreeListNode* (*)(TgxTreeListNodeOwner* AOwner);

using TgxTLBandEvent = std::function<void(TControl* ASender, int ABand)>;
using TgxTLCanBandDragging = std::function<void(TControl* ASender, int ABand, bool& AAllow)>;
using TgxTLDragOverBand =
    std::function<void(TControl* ASender, int ABand, POINT APoint, bool& AAccept)>;
using TgxTLDragEndBand =
    std::function<void(TControl* ASender, int ABand, POINT APoint, int AAbsoluteIndex,
                       int AVisibleIndex, int& ANewIndex, bool& AAccept)>;
using TgxTLShowBand = std::function<void(TControl* ASender, int ABand, int ANewIndex)>;
using TgxTLColumnEvent = std::function<void(TControl* ASender, TgxTreeListColumn* AColumn)>;
using TgxTLCanHeaderDragging =
    std::function<void(TControl* ASender, TgxTreeListColumn* AColumn, bool& AAllow)>;
using TgxTLDragOverHeader =
    std::function<void(TControl* ASender, TgxTreeListColumn* AColumn, POINT APoint, bool& AAccept)>;
using TgxTLDragEndHeader =
    std::function<void(TControl* ASender, TgxTreeListColumn* AColumn, POINT APoint,
                       TgxHeaderPosInfo& ANewPosInfo, bool& AAccept)>;
using TgxTLColumnMoved = std::function<void(TControl* ASender, int AFromIndex, int AToIndex)>;
using TgxTLEndDragColumn = std::function<void(TControl* ASender, int AX, int AY,
                                              TgxTreeListColumn* AColumn, int& ANewPosition)>;
using TgxTLShowHeader = std::function<void(TControl* ASender, TgxTreeListColumn* AColumn,
                                           int ABandIndex, int ARowIndex, int AColIndex)>;
using TgxTLColumnSorting =
    std::function<void(TControl* ASender, TgxTreeListColumn* AColumn, bool& AAllow)>;
using TgxTLColumnSorted = std::function<void(TControl* ASender, TgxTreeListColumn* AColumn,
                                             TgxTreeListColumnSort& ASorted)>;
using TgxTLNodeDragText = std::function<void(TControl* ASender, TgxTreeListNode* ANode, int AColumn,
                                             std::wstring& AText)>;
using TgxTLCalcRowLineHeight = std::function<void(
    TControl* ASender, TgxTreeListNode* ANode, int AColumn, const std::wstring& AText,
    int ABoundsWidth, int ATextHeight, int AMaxLineCount, bool AInflateFlag, bool AGridFlag,
    int& ALineCount, int& ALineHeight, bool& ADone)>;

class TCustomgxTreeListControl : public TCustomgxTreeList {
public:
  explicit TCustomgxTreeListControl(TComponent* AOwner);
  ~TCustomgxTreeListControl() override;
  std::wstring ClassName() const override { return L"TCustomgxTreeListControl"; }

  // ---- bands ------------------------------------------------------------------------
  TgxTreeListBands& Bands() { return *FBands; }
  void SetBands(const TgxTreeListBands& AValue);
  int BandMaxRowCount() const { return FBandMaxRowCount; }
  void SetBandMaxRowCount(int AValue);
  int BandRowCount() const { return FBandRowCount; }
  void SetBandRowCountProperty(int AValue);
  bool DefaultLayout() const { return FDefaultLayout; }
  void SetDefaultLayout(bool AValue);
  int HeaderMinRowCount() const { return FHeaderMinRowCount; }
  void SetHeaderMinRowCount(int AValue);
  int HeaderPanelMaxRowCount() const { return FHeaderPanelMaxRowCount; }
  void SetHeaderPanelMaxRowCount(int AValue);
  int HeaderPanelRowCount() const { return FHeaderPanelRowCount; }
  void SetHeaderPanelRowCountProperty(int AValue);
  TgxTreeListDesigner* Designer() const { return FDesigner; }

  // ---- columns ----------------------------------------------------------------------
  int ColumnCount() const { return int(FColumns.size()); }
  // Raises EListError for a bad index.
  TgxTreeListColumn* Columns(int AIndex) const;
  // A new column of the class (the plain column without one), owned by the
  // control or by AOwner, named after the control and attached to it.
  TgxTreeListColumn* CreateColumn(TgxTreeListColumnClass AColumnClass = nullptr);
  TgxTreeListColumn* CreateColumnEx(TgxTreeListColumnClass AColumnClass, TComponent* AOwner);
  template <typename T> T* CreateColumnOf() {
    return static_cast<T*>(
        CreateColumn([](TComponent* AOwner) -> TgxTreeListColumn* { return new T(AOwner); }));
  }
  TgxTreeListColumn* ColumnByName(const std::wstring& AName) const;
  void DestroyColumns();
  void AssignColumns(TCustomgxTreeListControl* ATreeListControl);
  int GetAbsoluteColumnIndex(int AVisibleIndex) const;
  int GetVisibleColumnIndex(int AAbsoluteIndex) const;
  int VisibleColumnCount() const;
  std::wstring GetDisplayValue(TgxTreeListNode* ANode, int AAbsoluteIndex);
  void RefreshDefaultColumnsWidths();
  void RestoreColumnsDefaults();
  // The column or band at a client point, by what the point covers: a cell
  // or header, a header, a footer cell, a row footer cell; a band header.
  TgxTreeListColumn* GetColumnAt(int AX, int AY);
  TgxTreeListColumn* GetHeaderColumnAt(int AX, int AY);
  TgxTreeListColumn* GetFooterColumnAt(int AX, int AY);
  TgxTreeListColumn* GetNodeFooterColumnAt(int AX, int AY);
  TgxTreeListBand* GetBandAt(int AX, int AY);
  TgxTreeListNodeClass DefaultNodeClass() const { return FDefaultNodeClass; }
  void SetDefaultNodeClass(TgxTreeListNodeClass AValue) { FDefaultNodeClass = AValue; }

  // ---- sorting ----------------------------------------------------------------------
  void BeginSorting() { ++FLockSorting; }
  void EndSorting();
  int SortedColumnCount() const { return int(FSortedColumns.size()); }
  TgxTreeListColumn* SortedColumns(int AIndex) const;
  virtual void RefreshSorting() {}
  // Whether a header click clears the sort instead of toggling it.
  bool ClearSortFlag() const { return FlagClearSort; }
  void SetClearSortFlag(bool AValue) { FlagClearSort = AValue; }

  // ---- best fit and measuring -------------------------------------------------------
  // The width of the column (every column when nullptr) fitted to its
  // texts; waits for the window when there is none yet.
  void ApplyBestFit(TgxTreeListColumn* AColumn);
  bool NeedToApplyBestFit() const { return FNeedToApplyBestFit; }
  // The lines a cell text takes in a width, measured by the column's editor
  // kind (at most AMaxLineCount unless it is -1), and their height.
  bool ColumnCalcLineCountEx(TgxTreeListNode* ANode, int AAbsoluteIndex, const std::wstring& AText,
                             int ABoundsWidth, int ATextHeight, int AMaxLineCount,
                             bool AInflateFlag, bool AGridFlag, int& ALineCount,
                             int& ALineHeight) override;

  // ---- notifications (new virtual operations) ---------------------------------------
  virtual void BandsChanged();
  virtual void ColumnChanged(TgxTreeListColumn* AColumn);
  virtual void HeaderChanged() { UpdateLayout(); }
  virtual void ClearAutoHeaderPanelHeight() { FOptionsEx &= ~OptionBit(aoAutoHeaderPanelHeight); }
  // The published component's sort hooks around a column's sort change.
  virtual void BeforeColumnSorted(TgxTreeListColumn* /*AColumn*/) {}
  virtual void AfterColumnSorted(TgxTreeListColumn* AColumn);
  void ClearColumnsSorted() override;
  void RefreshSortedColumns();
  // Keeps header rows contiguous from row 0 in every band.
  void RefreshRowIndexes();
  void BeginLockRefreshRowIndexes() { ++FLockRefreshRowIndexes; }
  void EndLockRefreshRowIndexes() { --FLockRefreshRowIndexes; }
  bool IsLoading() const { return ComponentState().Contains(csLoading); }
  // Whether the editor is being set up (its change notices are not the user's).
  bool IsInitEditing() const { return IsInitEdit(); }

  // ---- answers to the core ----------------------------------------------------------
  void ClearListNodes() override;
  void ClearHeaderBounds() override;
  void ResetRowHeights() override;
  void MakeListNodes() override;
  void DoLayoutChanged() override;
  void RefreshBandLists(bool AFull) override;
  void RefreshHeaderBounds() override;
  void UpdateLayout() override;
  void Loaded() override;
  TgxTreeListNode* CreateNode() override;
  void HeaderPanelBestFit() override;
  void BandEdgeDblClick(int ABand) override;
  void ColumnEdgeDblClick(int AColumn) override;
  virtual void DoChangedColumnsWidth();

  int GetBandCount() override { return FBands->Count(); }
  int GetVisibleBandCount() override { return FBands->VisibleCount(); }
  int GetBandAbsoluteIndex(int AVisibleIndex) override {
    return FBands->GetAbsoluteIndex(AVisibleIndex);
  }
  int GetBandVisibleIndex(int ABand) override { return FBands->GetVisibleIndex(ABand); }
  int GetAbsoluteBandAlignment(int ABand) override;
  void GetAbsoluteBandCaption(int ABand, std::wstring& AText) override;
  int GetAbsoluteBandWidth(int ABand) override;
  int GetBandAlignment(int AVisibleIndex) override;
  void GetBandCaption(int AVisibleIndex, std::wstring& AText) override;
  int GetBandDefinedWidthValue(int AVisibleIndex) override;
  int GetBandMinWidth(int AVisibleIndex) override;
  int GetLeftFixedBand() override;
  int GetRightFixedBand() override;
  bool GetBandOnlyOwnColumns(int AVisibleIndex) override;
  bool IsBandSizable(int AVisibleIndex) override;
  bool IsBandCustomizingDisabled(int ABand) override;
  bool IsBandHidden(int ABand) override;
  void SetBandWidth(int AVisibleIndex, int AWidth) override;
  bool CanBandDragging(int AVisibleIndex) override;
  void StartBandDragging(int ABand) override;
  void DoDragOverBand(POINT APoint, int ABand, bool& AAccept) override;
  void DoDragEndBand(POINT APoint, int ABand) override;
  void MoveBand(int AFrom, int ATo) override;
  void HideBand(int ABand) override;
  void ShowBand(int ANewIndex, int ABand) override;
  void DoBandButtonClick() override;
  void DoBandClick(int AVisibleIndex) override;
  void ScaleBandWidths(int ANumerator, int ADenominator) override;
  int GetBandRowCount() override { return FBandRowCount; }
  int GetBandMaxRowCount() override { return FBandMaxRowCount; }
  int GetHeaderPanelRowCount() override { return FHeaderPanelRowCount; }
  int GetHeaderPanelMaxRowCount() override { return FHeaderPanelMaxRowCount; }
  int GetHeaderMinRowCount() override;
  void SetBandRowCount(int AValue) override { SetBandRowCountProperty(AValue); }
  void SetHeaderPanelRowCount(int AValue) override { SetHeaderPanelRowCountProperty(AValue); }
  bool IsBandHeaderWidth() override;

  int GetColumnCount() const override { return ColumnCount(); }
  int GetHeaderRowCount(int ABand) override;
  int GetHeaderColCount(int ABand, int ARow) override;
  int GetHeaderAbsoluteIndex(int ABand, int ARow, int ACol) override;
  int GetColumnWidth(int AColumn) override;
  int GetColumnBandIndex(int AColumn) override;
  int GetColumnRowIndex(int AColumn) override;
  int GetColumnColIndex(int AColumn) override;
  int GetColumnDefinedWidth(int AColumn) override;
  int GetColumnMinWidth(int AColumn) override;
  int GetHeaderAlignment(int AColumn) override;
  int GetColumnAlignment(int ARow, int AColumn) override;
  TColor GetColumnColor(int AColumn) override;
  TFont& GetColumnFont(int AColumn) override;
  bool IsColumnFontAssigned(int AColumn) override;
  TBitmap* GetHeaderGlyph(int AColumn) override;
  bool HasHeaderGlyph(int AColumn) override;
  int GetHeaderMaxLineCount(int AColumn) override;
  void GetHeaderCaption(int AColumn, std::wstring& AText) override;
  void GetColumnCaption(int AColumn, std::wstring& AText) override;
  bool GetHeaderDropDownState(int AColumn) override;
  TgxTreeListColumnSort GetColumnSorted(int AColumn) override;
  bool GetColumnTabStop(int AColumn) override;
  void GetCellText(TgxTreeListNode* ANode, int AColumn, std::wstring& AText) override;
  bool IsColumnMultiLine(int AColumn) override;
  int GetColumnTextHeight(TCanvas* ACanvas, int AColumn) override;
  bool IsColumnSizable(int AColumn) override;
  void SetColumnWidth(int AColumn, int AWidth) override;
  void ScaleColumnWidths(int ABand, int ANumerator, int ADenominator) override;
  void DoColumnClick(int AColumn) override;
  void DoHeaderButtonClick() override;
  bool CanHeaderDragging(int AColumn) override;
  void StartHeaderDragging(int AColumn) override;
  void DoDragOverHeader(POINT APoint, int AColumn, bool& AAccept) override;
  void DoDragEndHeader(POINT APoint, int AColumn) override;
  void MoveHeader(int AColumn, int ABand, int ACol, int ARow) override;
  void HideHeader(int AColumn) override;
  void ShowHeader(int ABand, int ARow, int AColumn, int ACol) override;
  bool IsHeaderCustomizingDisabled(int AColumn) override;
  bool IsHeaderListedInCustomizeBox(int AColumn) override;
  bool IsHeaderVisible(int AColumn) override;
  void GetNodeDragText(TgxTreeListNode* ANode, int AColumn, std::wstring& AText) override;
  bool CanEditModify() override;
  void DoEditing(TgxTreeListNode* ANode, bool& AAllow) override;
  bool IsHotTrackCellAt(int AX, int AY, int& AActiveIndex, int AColumn,
                        TgxTreeListNode* ANode) override;
  void GetHeaderHotTrack(int AX, int AY, int AColumn,
                         TgxTreeListHeaderHotTrack& AHeaderHotTrack) override;
  bool IsShowCellButton(TgxTreeListNode* ANode, int AColumn) override;
  void DoHotTrackNode(const TgxTreeListHotTrackInfo& AInfo, TCursor& ACursor) override;
  bool HandleSingleClickEdit(int AVisibleColumn, TgxTreeListNode* ANode, int AX, int AY) override;
  int GetSortedColumnCount() override { return SortedColumnCount(); }
  bool IsSortedColumnDown(int AIndex) override;
  int GetSortedColumnIndex(int AIndex) override;
  TgxInplaceEdit* CreateTextEditor(int AVisibleColumn) override;
  TgxInplaceEdit* FindInplaceEditor(int AVisibleColumn) override;
  void InitEditProperties(TgxInplaceEdit* AEditor) override;
  void GetNodeEditValue(TgxTreeListNode* ANode, TgxInplaceEdit* AEditor,
                        TgxVariant& AValue) override;

  // ---- events -----------------------------------------------------------------------
  TgxTLCanBandDragging OnCanBandDragging;
  TgxTLBandEvent OnStartBandDragging;
  TgxTLDragOverBand OnDragOverBand;
  TgxTLDragEndBand OnDragEndBand;
  TgxTLBandEvent OnHideBand;
  TgxTLShowBand OnShowBand;
  TNotifyEvent OnBandButtonClick;
  TgxTLBandEvent OnBandClick;
  TgxTLColumnEvent OnColumnClick;
  TNotifyEvent OnHeaderButtonClick;
  TgxTLCanHeaderDragging OnCanHeaderDragging;
  TgxTLColumnEvent OnStartHeaderDragging;
  TgxTLDragOverHeader OnDragOverHeader;
  TgxTLDragEndHeader OnDragEndHeader;
  TgxTLColumnMoved OnColumnMoved;
  TgxTLEndDragColumn OnEndDragColumn;
  TgxTLColumnEvent OnHeaderMoved;
  TgxTLColumnEvent OnHideHeader;
  TgxTLShowHeader OnShowHeader;
  TgxTLColumnSorting OnColumnSorting;
  TgxTLColumnSorted OnColumnSorted;
  TgxTLNodeDragText OnGetNodeDragText;
  TNotifyEvent OnChangedColumnsWidth;
  TgxTLCalcRowLineHeight OnCalcRowLineHeight;

protected:
  // Columns without a font of their own take the new one.
  void FontChanged() override;
  // A best fit asked for before the window existed runs once it does.
  void CreateWnd() override;
  // Where a header drag would drop, for the drop notice.
  TgxHeaderPosInfo FDragPosInfo;

private:
  friend class TgxTreeListBand;
  friend class TgxTreeListBands;
  friend class TgxTreeListColumn;
  friend class TgxTreeListDesigner;
  // A column joins or leaves the column list.
  void AddColumn(TgxTreeListColumn* AColumn);
  void RemoveColumn(TgxTreeListColumn* AColumn);
  void DropLayoutCaches();
  void BandLayoutChanged();
  // Moves the text of every text node from one column to another.
  void MoveColumnTexts(int AFrom, int ATo);
  void DeleteColumnTexts(int AColumn);
  TgxTreeListColumn* FocusedColumnObject();
  TgxTreeListColumn* ColumnOfHit(int AX, int AY, TgxTreeListHitTest AFirst,
                                 TgxTreeListHitTest ALast);
  void ToggleColumnSort(TgxTreeListColumn* AColumn);

  std::unique_ptr<TgxTreeListBands> FBands;
  int FBandMaxRowCount = 5;
  int FBandRowCount = 1;
  std::vector<TgxTreeListColumn*> FColumns;
  bool FDefaultLayout = true;
  TgxTreeListDesigner* FDesigner = nullptr;
  std::vector<TgxInplaceEdit*> FEditors;
  int FHeaderMinRowCount = 1;
  int FHeaderPanelMaxRowCount = 5;
  int FHeaderPanelRowCount = 1;
  int FLockSorting = 0;
  bool FSetAutoHeaderPanelRowCount = false;
  std::vector<TgxTreeListColumn*> FSortedColumns;
  bool FNeedToApplyBestFit = false;
  TgxTreeListNodeClass FDefaultNodeClass = nullptr;
  std::vector<int> FBandList;
  std::vector<int> FBandVisibleList;
  bool FBandListLoading = false;
  std::vector<std::vector<std::vector<int>>> FHeaderAbsoluteList;
  bool FHeaderListLoading = false;
  std::vector<int> FHeaderBounds;
  bool FHeaderBoundsLoading = false;
  int FLockRefreshRowIndexes = 0;
  bool FBandsDestroying = false;
};

// A design-time hook; nothing at run time makes one, the control frees one
// that exists.
class TgxTreeListDesigner {
public:
  explicit TgxTreeListDesigner(TCustomgxTreeListControl* ATreeList);
  virtual ~TgxTreeListDesigner();
  TCustomgxTreeListControl* TreeList() const { return FTreeList; }
  virtual void LayoutChanged() {}

private:
  TCustomgxTreeListControl* FTreeList;
};
