#pragma once

// The tree list forms place: the band-and-column list with node texts, the
// set of selected nodes, the node stream (form data, streams and files),
// copying the nodes of another list, the automatic re-sort rules, storing
// edited values and the preview, row-height and footer events.

#include "tree-list-control.h"

#include "gx-mask-edit.h"
#include "streams.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using TgxTLGetFooterCellText = std::function<void(
    TControl* ASender, TgxTreeListNode* ANode, int AColumn, int AFooterIndex, std::wstring& AText)>;
using TgxTLGetPreviewLineCount =
    std::function<void(TControl* ASender, TgxTreeListNode* ANode, int& ALCount)>;
using TgxTLGetPreviewText =
    std::function<void(TControl* ASender, TgxTreeListNode* ANode, std::wstring& AText)>;
using TgxTLIsExistRowFooterCell = std::function<void(TControl* ASender, TgxTreeListNode* ANode,
                                                     int AColumn, int AFooterIndex, bool& AExist)>;
using TgxTLIsLevelFooter = std::function<void(TControl* ASender, int ALevel, bool& AExist)>;

// The edit style every in-place editor of a tree list gets: its defaults
// come from the list, so that editors look like the list they sit in; a
// value assigned to the style wins over them.
class TgxTreeListEditStyle : public TgxEditStyle {
public:
  TgxTreeListEditStyle(TgxInplaceEdit* AEdit, TCustomgxTreeList* ATreeList);
  std::wstring ClassName() const override { return L"TgxTreeListEditStyle"; }
  TColor DefaultBorderColor() override { return clWindowFrame; }
  TgxEditBorderStyle DefaultBorderStyle() override;
  TgxEditButtonViewStyle DefaultButtonStyle() override;
  TgxEditButtonTransparence DefaultButtonTransparence() override { return ebtNone; }
  TgxEditEdges DefaultEdges() override { return kgxAllEdges; }
  bool DefaultHotTrack() override { return false; }
  bool DefaultShadow() override { return false; }
  TCustomgxTreeList* TreeList() const { return FTreeList; }

private:
  TCustomgxTreeList* FTreeList;
};

// The mask column's editor.
class TgxInplaceTreeListMaskEdit : public TgxInplaceMaskEdit {
public:
  using TgxInplaceMaskEdit::TgxInplaceMaskEdit;
  std::wstring ClassName() const override { return L"TgxInplaceTreeListMaskEdit"; }
};
const TgxTreeListEditorClass& TreeListMaskEditClass();

// A column whose cells are edited with a mask editor.
class TgxTreeListMaskColumn : public TgxTreeListColumn {
public:
  explicit TgxTreeListMaskColumn(TComponent* AOwner) : TgxTreeListColumn(AOwner) {}
  std::wstring ClassName() const override { return L"TgxTreeListMaskColumn"; }
  static TgxTreeListColumn* Make(TComponent* AOwner) { return new TgxTreeListMaskColumn(AOwner); }
  TgxTreeListColumnClass ColumnClass() const override { return &Make; }
  // The mask is copied; the ignore-blank flag stays the target's own.
  void Assign(const TPersistent* ASource) override;
  void RestoreDefaults() override;
  const TgxTreeListEditorClass& GetEditorClass() override { return TreeListMaskEditClass(); }
  void InitEditor(TgxInplaceEdit* AEdit) override;

  const std::wstring& EditMask() const { return FEditMask; }
  void SetEditMask(const std::wstring& AValue) { FEditMask = AValue; }
  bool IgnoreMaskBlank() const { return FIgnoreMaskBlank; }
  void SetIgnoreMaskBlank(bool AValue) { FIgnoreMaskBlank = AValue; }

private:
  std::wstring FEditMask;
  bool FIgnoreMaskBlank = false;
};

class TgxTreeList : public TCustomgxTreeListControl {
public:
  explicit TgxTreeList(TComponent* AOwner);
  ~TgxTreeList() override;
  std::wstring ClassName() const override { return L"TgxTreeList"; }

  // ---- node stream --------------------------------------------------------------------
  void SaveToStream(TStream& AStream);
  // Replaces the nodes by the stream's, inside one update.
  void LoadFromStream(TStream& AStream);
  // Creates (replaces) the file and saves into it.
  void SaveToFile(const std::wstring& AFileName);
  // Opens the file before anything is cleared: a missing file leaves the
  // list as it was.
  void LoadFromFile(const std::wstring& AFileName);
  // The nodes of another tree list, copied through a memory stream; any
  // other source goes to Assign, which refuses what it cannot copy.
  void AssignNodes(const TPersistent* ASource);
  // The form property "Data": read and written as the node stream, stored
  // only when the list has a top-level node.
  void ReadNodes(TStream& AStream);
  void WriteNodes(TStream& AStream);
  bool IsDataStored() const { return Count() > 0; }
  // The marker of the last stream read: 0 for an old stream without one.
  int32_t StreamVersion() const { return FStreamVersion; }

  // ---- sorting ------------------------------------------------------------------------
  void RefreshSorting() override;
  void ClearColumnsSorted() override;
  TgxTreeListColumn* SortedColumn() { return GetSortedColumn(); }
  void BeforeColumnSorted(TgxTreeListColumn* AColumn) override;
  void AfterColumnSorted(TgxTreeListColumn* AColumn) override;

  bool OneEditUpdateIsEnough() const { return FOneEditUpdateIsEnough; }
  void SetOneEditUpdateIsEnough(bool AValue) { FOneEditUpdateIsEnough = AValue; }

  // ---- selection storage --------------------------------------------------------------
  void ClearSelection() override;
  void DeleteSelection() override;
  int GetSelectedCount() override { return int(FSelectedNodes.size()); }
  TgxTreeListNode* GetSelectedItem(int AIndex) override;
  bool IsNodeSelected(TgxTreeListNode* ANode) const override;
  void SetNodeSelected(TgxTreeListNode* ANode, bool AValue) override;
  void SelectNodes(TgxTreeListNode* ANode1, TgxTreeListNode* ANode2) override;
  void SelectAll() override;
  int SelectedCount() { return GetSelectedCount(); }

  // ---- node values: one text per column on text nodes --------------------------------
  std::wstring GetNodeString(TgxTreeListNode* ANode, int AColumn) override;
  void SetNodeString(TgxTreeListNode* ANode, int AColumn, const std::wstring& AValue) override;
  TgxNodeVariant GetNodeVariant(TgxTreeListNode* ANode, int AColumn) override;
  void SetNodeVariant(TgxTreeListNode* ANode, int AColumn, const TgxNodeVariant& AValue) override;
  int GetNodeImageIndex(TgxTreeListNode* ANode) override;
  int GetNodeSelectedIndex(TgxTreeListNode* ANode) override;
  int GetNodeStateIndex(TgxTreeListNode* ANode) override;
  void SetNodeImageIndex(TgxTreeListNode* ANode, int AValue) override;
  void SetNodeSelectedIndex(TgxTreeListNode* ANode, int AValue) override;
  void SetNodeStateIndex(TgxTreeListNode* ANode, int AValue) override;

  // ---- answers to the layers below ----------------------------------------------------
  TgxTreeListIndicatorKind GetRowIndicatorKind(TgxTreeListNode* ANode, bool ASelected) override;
  void GetNodeSortValue(TgxTreeListNode* ANode, int AColumn, std::wstring& AValue) override;
  void NodeAdded(TgxTreeListNode* ANode) override;
  void NodeDeleted(TgxTreeListNode* ANode, TgxTreeListNode* APriorNode,
                   TgxTreeListNode* ANextVisible, bool AWasLast, bool AWasVisible) override;
  void SetNodeEditValue(TgxTreeListNode* ANode, int AColumn, TgxVariant& AValue,
                        TgxInplaceEdit* AEditor) override;
  void GetPreviewText(TgxTreeListNode* ANode, std::wstring& AText) override;
  int GetRowLineCount(TgxTreeListNode* ANode, int& ALineHeight) override;
  int GetPreviewLineCount(TgxTreeListNode* ANode) override;
  void GetFooterCellText(TgxTreeListNode* ANode, int AColumn, int AFooterIndex,
                         std::wstring& AText) override;
  bool IsExistRowFooterCell(TgxTreeListNode* ANode, int AColumn, int AFooterIndex) override;
  bool IsLevelFooter(int ALevel) override;
  void DoLayoutChanged() override;
  // Editors of the list take their look from it.
  TgxEditStyle* CreateEditStyle(TgxInplaceEdit* AEdit) override;

  // ---- events ---------------------------------------------------------------------------
  TgxTLGetFooterCellText OnGetFooterCellText;
  TgxTLGetPreviewLineCount OnGetPreviewLineCount;
  TgxTLGetPreviewText OnGetPreviewText;
  TgxTLGetPreviewLineCount OnGetRowLineCount;
  TgxTLIsExistRowFooterCell OnIsExistRowFooterCell;
  TgxTLIsLevelFooter OnIsLevelFooter;

protected:
  TgxTreeListColumn* GetSortedColumn();
  // After a node was added, deleted or given a text: at once, or at the
  // end of the update when updates are locked.
  void RequestSortRefresh();
  // Whether BeginSorting holds the sort back; the band-and-column layer
  // keeps that count to itself, so a held sort is not seen here.
  bool IsSortingLocked() const { return false; }

  bool FNeededSortRefresh = false;
  bool FOneEditUpdateIsEnough = false;
  // Sorted by node address.
  std::vector<TgxTreeListNode*> FSelectedNodes;
  int32_t FStreamVersion = 0;
};
