#pragma once

// The rows of a tree list: a tree of node objects. A node knows its owner,
// its parent and its ordered children, carries a user pointer and the
// expanded and has-children flags, and caches its row height. Every value,
// text and image index of a node is read and written through its owner, so
// that different tree lists can keep values in different places.

#include "rtl-exceptions.h"

#include <oaidl.h>
#include <oleauto.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class TgxTreeListNode;

// A tree-list operation the list cannot carry out.
class EInvalidgxTreeListOperation : public Exception {
public:
  using Exception::Exception;
};

// Where MoveTo puts a node, relative to its destination.
enum TgxTreeListNodeAttachMode : uint8_t {
  natlAdd,           // last sibling of the destination
  natlAddFirst,      // first sibling of the destination
  natlAddChild,      // last child of the destination
  natlAddChildFirst, // first child of the destination
  natlInsert,        // sibling just before the destination
};

using TgxTreeListNodes = std::vector<TgxTreeListNode*>;

// A VARIANT that owns its contents and copies them.
class TgxNodeVariant {
public:
  TgxNodeVariant() { VariantInit(&FValue); }
  explicit TgxNodeVariant(const std::wstring& AText);
  explicit TgxNodeVariant(int32_t AValue);
  TgxNodeVariant(const TgxNodeVariant& AOther);
  TgxNodeVariant& operator=(const TgxNodeVariant& AOther);
  ~TgxNodeVariant() { VariantClear(&FValue); }

  const VARIANT& Get() const { return FValue; }
  VARIANT& Get() { return FValue; }
  // The value as text: empty for Empty and Null; EConvertError when the
  // value has no text form.
  std::wstring AsText() const;

private:
  VARIANT FValue;
};

// The tree list as its nodes see it. The tree-list control implements the
// hooks; the bookkeeping that needs nothing but the nodes themselves (the
// top-level list, walking in display order without a cache, the node-data
// index) lives here. Every hook a node calls while it is being freed has a
// body, so nodes can still go while this base is being destroyed.
class TgxTreeListNodeOwner {
public:
  TgxTreeListNodeOwner() = default;
  TgxTreeListNodeOwner(const TgxTreeListNodeOwner&) = delete;
  TgxTreeListNodeOwner& operator=(const TgxTreeListNodeOwner&) = delete;
  // Frees the nodes that are still there, without per-node bookkeeping.
  virtual ~TgxTreeListNodeOwner();

  // ---- top-level nodes ----------------------------------------------------
  int Count() const { return int(FNodeList.size()); }
  // nullptr outside 0..Count-1.
  TgxTreeListNode* Items(int AIndex) const;
  // -1 when the node is not a top-level node.
  int IndexOf(const TgxTreeListNode* ANode) const;
  TgxTreeListNode* TopNode() const { return Items(0); }
  // The last node in display order: the last top-level node, descended
  // through expanded nodes to their last child.
  TgxTreeListNode* LastNode() const;
  // A new node from CreateNode, linked in, then NodeAdded.
  TgxTreeListNode* Add();
  TgxTreeListNode* AddFirst();
  // Inserted at ABeforeNode's index; appended when ABeforeNode is nullptr.
  TgxTreeListNode* Insert(TgxTreeListNode* ABeforeNode);
  // The list itself, for the nodes that move in and out of it.
  TgxTreeListNodes& NodeList() { return FNodeList; }
  const TgxTreeListNodes& NodeList() const { return FNodeList; }

  // Expand(true) / Collapse(true) on every top-level node inside one update.
  void FullExpand();
  void FullCollapse();

  // ---- display order (base answers walk the tree; a list with a cache of
  // its visible nodes answers from it) --------------------------------------
  // Every ancestor is expanded.
  virtual bool IsNodeVisible(const TgxTreeListNode* ANode) const;
  virtual TgxTreeListNode* GetNextVisible(TgxTreeListNode* ANode) const;
  // The row number of a visible node; -1 for nullptr, an empty list or a
  // node inside a collapsed subtree.
  virtual int GetAbsoluteIndexOf(const TgxTreeListNode* ANode) const;
  // The number of rows: top-level nodes and the children of expanded nodes.
  virtual int GetAbsoluteCount() const;
  // When the list keeps a current cache of its visible nodes: true, with
  // the entry before ANode (nullptr for the first). False without one.
  virtual bool TryGetPriorListNode(const TgxTreeListNode* ANode, TgxTreeListNode*& APrior) const;

  // ---- node-data index ----------------------------------------------------
  bool TrackNodeData() const { return FTrackNodeData; }
  void SetTrackNodeData(bool AValue) { FTrackNodeData = AValue; }
  virtual bool CanSetNodeData(TgxTreeListNode* ANode);
  // Moves ANode from the entry of its current Data to that of ANewData
  // while tracking is on; nothing while it is off.
  void UpdateNodeDataIndex(TgxTreeListNode* ANode, void* ANewData);
  // Sets Data to nullptr on every node that holds AData.
  void RemoveTreeNodeDataReference(void* AData);
  // The nodes the index holds for AData (empty when none).
  TgxTreeListNodes NodesByData(void* AData) const;

  // ---- state the nodes ask about -----------------------------------------
  // All nodes are being freed at once: nodes skip their bookkeeping.
  bool IsClearingNodes() const { return FClearNodes; }
  virtual bool IsDestroying() const { return false; }
  virtual bool IsUpdateLocked() const = 0;
  virtual void BeginUpdate() = 0;
  virtual void EndUpdate() = 0;

  // ---- node creation and bookkeeping --------------------------------------
  // A node of the list's node class, not yet linked in.
  virtual TgxTreeListNode* CreateNode() = 0;
  // After a node was linked into the tree.
  virtual void NodeAdded(TgxTreeListNode* ANode) = 0;
  // After a node left the tree, with what it was next to. Also called while
  // all nodes are cleared (with nullptr and false).
  virtual void NodeDeleted(TgxTreeListNode* ANode, TgxTreeListNode* APriorNode,
                           TgxTreeListNode* ANextVisible, bool AWasLast, bool AWasVisible);
  // Whether a node has children: asked when its last child has gone.
  virtual bool GetNodeHasChildren(TgxTreeListNode* ANode);
  virtual void MakeListNodes() = 0;
  virtual void InvalidateNode(TgxTreeListNode* ANode, bool ARecalc) = 0;
  virtual void MakeNodeVisible(TgxTreeListNode* ANode) = 0;

  // ---- focus and top row --------------------------------------------------
  virtual TgxTreeListNode* FocusedNode() const = 0;
  virtual int FocusedColumn() const = 0;
  // With the focus events and scrolling of the list.
  virtual void SetFocusedNode(TgxTreeListNode* ANode, int AVisibleColumn, bool AMakeVisible) = 0;
  // Stores the focused node directly: no events, no scrolling.
  virtual void StoreFocusedNode(TgxTreeListNode* ANode) = 0;
  virtual TgxTreeListNode* TopVisibleNode() const = 0;
  virtual void SetTopVisibleNode(TgxTreeListNode* ANode) = 0;
  // A node that holds the focus inside its subtree is collapsing: the base
  // focuses the collapsing node and allows it.
  virtual bool FocusCollapsingNode(TgxTreeListNode* ANode);

  // ---- expansion events (the base fires nothing) --------------------------
  virtual void DoExpanding(TgxTreeListNode* ANode, bool& AAllow);
  virtual void DoCollapsing(TgxTreeListNode* ANode, bool& AAllow);
  virtual void DoExpanded(TgxTreeListNode* ANode);
  virtual void DoCollapsed(TgxTreeListNode* ANode);

  // ---- values -------------------------------------------------------------
  virtual std::wstring GetNodeString(TgxTreeListNode* ANode, int AColumn) = 0;
  virtual void SetNodeString(TgxTreeListNode* ANode, int AColumn, const std::wstring& AValue) = 0;
  virtual TgxNodeVariant GetNodeVariant(TgxTreeListNode* ANode, int AColumn) = 0;
  virtual void SetNodeVariant(TgxTreeListNode* ANode, int AColumn, const TgxNodeVariant& AValue) = 0;
  virtual int GetColumnCount() const = 0;
  virtual int GetNodeImageIndex(TgxTreeListNode* ANode) = 0;
  virtual int GetNodeSelectedIndex(TgxTreeListNode* ANode) = 0;
  virtual int GetNodeStateIndex(TgxTreeListNode* ANode) = 0;
  virtual void SetNodeImageIndex(TgxTreeListNode* ANode, int AValue) = 0;
  virtual void SetNodeSelectedIndex(TgxTreeListNode* ANode, int AValue) = 0;
  virtual void SetNodeStateIndex(TgxTreeListNode* ANode, int AValue) = 0;

  // ---- selection ----------------------------------------------------------
  virtual bool IsMultiSelect() const = 0;
  virtual bool IsNodeSelected(TgxTreeListNode* ANode) const = 0;
  virtual void SetNodeSelected(TgxTreeListNode* ANode, bool AValue) = 0;

protected:
  // Frees every top-level node (each frees its subtree) without per-node
  // bookkeeping, and empties the node-data index. The list's own clearing
  // wraps it in its update bracket and resets its node references.
  void FreeAllNodes();

private:
  TgxTreeListNode* LinkTopLevel(std::size_t AIndex);

  TgxTreeListNodes FNodeList;
  bool FClearNodes = false;
  bool FTrackNodeData = false;
  std::map<void*, TgxTreeListNodes> FNodesByData;
};

// One row of a tree list. Made by its owner's CreateNode; freeing a node
// (delete) removes it and its subtree from the tree.
class TgxTreeListNode {
public:
  // EInvalidgxTreeListOperation "Invalid Owner TgxTreeListNode" without an
  // owner.
  explicit TgxTreeListNode(TgxTreeListNodeOwner* AOwner);
  TgxTreeListNode(const TgxTreeListNode&) = delete;
  TgxTreeListNode& operator=(const TgxTreeListNode&) = delete;
  virtual ~TgxTreeListNode();

  TgxTreeListNodeOwner* Owner() const { return FOwner; }
  TgxTreeListNode* Parent() const { return FParent; }
  bool Deleting() const { return FDeleting; }

  // ---- building -----------------------------------------------------------
  TgxTreeListNode* AddChild() { return InsertChild(nullptr); }
  // Appended without ABeforeNode, else at ABeforeNode's index.
  TgxTreeListNode* InsertChild(TgxTreeListNode* ABeforeNode);
  TgxTreeListNode* AddChildFirst();
  void DeleteChildren();
  bool CanMove(TgxTreeListNode* ADestination, TgxTreeListNodeAttachMode AMode) const;
  void MoveTo(TgxTreeListNode* ADestination, TgxTreeListNodeAttachMode AMode);
  // The move itself: no events, no checks (callers ask CanMove first).
  void InternalMove(TgxTreeListNode* ADestination, TgxTreeListNodeAttachMode AMode);
  // Appends the direct children, in order.
  void AddNodesToList(TgxTreeListNodes& AList) const;

  // ---- navigation (nullptr where there is no such node) --------------------
  TgxTreeListNode* Items(int AIndex) const;
  int Count() const { return FList ? int(FList->size()) : 0; }
  int IndexOf(const TgxTreeListNode* ANode) const;
  int Index() const;
  int Level() const;
  bool IsLast() const;
  // ANode is a proper ancestor.
  bool HasAsParent(const TgxTreeListNode* ANode) const;
  TgxTreeListNode* GetFirstChild() const { return Items(0); }
  TgxTreeListNode* GetLastChild() const;
  TgxTreeListNode* GetNextSibling() const;
  TgxTreeListNode* GetPrevSibling() const;
  // Pre-order over the whole tree, collapsed subtrees included.
  TgxTreeListNode* GetNext() const;
  TgxTreeListNode* GetPrev() const;
  // Display order: collapsed subtrees are skipped.
  TgxTreeListNode* GetNextNode();
  TgxTreeListNode* GetPriorNode() const;
  // The previous sibling, or the parent for a first child.
  TgxTreeListNode* GetPriorParentNode() const;
  int AbsoluteIndex() const;
  bool IsVisible() const;
  void MakeVisible();

  // ---- values and state ---------------------------------------------------
  std::wstring Strings(int AColumn);
  void SetStrings(int AColumn, const std::wstring& AValue);
  TgxNodeVariant Values(int AColumn);
  void SetValues(int AColumn, const TgxNodeVariant& AValue);
  int CountValues() const { return FOwner->GetColumnCount(); }
  int ImageIndex();
  void SetImageIndex(int AValue);
  int SelectedIndex();
  void SetSelectedIndex(int AValue);
  int StateIndex();
  void SetStateIndex(int AValue);

  void* Data() const { return FData; }
  void SetData(void* AValue);
  bool Focused() const;
  void SetFocused(bool AValue);
  bool Selected() const;
  void SetSelected(bool AValue);
  bool Expanded() const { return FExpanded; }
  void SetExpanded(bool AValue);
  bool HasChildren() const { return FHasChildren; }
  void SetHasChildren(bool AValue);
  void Expand(bool ARecurse);
  void Collapse(bool ARecurse);

  // Row layout cache, kept by the list's row heights; 0 = not computed.
  int RowHeight() const { return FRowHeight; }
  void SetRowHeight(int AValue) { FRowHeight = AValue; }
  int RowLineCount() const { return FRowLineCount; }
  void SetRowLineCount(int AValue) { FRowLineCount = AValue; }

private:
  // The list the node stands in: its parent's children or the top level.
  TgxTreeListNodes* SiblingList() const;
  // Leaves the list it stands in; a parent left without children drops its
  // list, takes the owner's has-children answer and is collapsed, unless the
  // node is coming back to that same list.
  void Detach(const TgxTreeListNodes* AComingBackTo = nullptr);
  TgxTreeListNodes& EnsureList();

  void* FData = nullptr;
  bool FDeleting = false;
  bool FExpanded = false;
  bool FHasChildren = false;
  std::unique_ptr<TgxTreeListNodes> FList;
  TgxTreeListNodeOwner* FOwner;
  TgxTreeListNode* FParent = nullptr;
  int32_t FRowHeight = 0;
  int32_t FRowLineCount = 0;
};

// The node the concrete tree list makes: one text per column, and its
// image indexes.
class TgxTreeListTextNode : public TgxTreeListNode {
public:
  explicit TgxTreeListTextNode(TgxTreeListNodeOwner* AOwner) : TgxTreeListNode(AOwner) {}

  // Empty beyond the texts it holds (and for a negative column).
  std::wstring Text(int AColumn) const;
  // Grows the texts to the column first; a negative column raises
  // EListError.
  void SetText(int AColumn, const std::wstring& AValue);
  int TextCount() const { return int(FStrings.size()); }
  // Drops the text of one column (the later columns move down).
  void DeleteText(int AColumn);

  int FImageIndex = 0;
  int FSelectedIndex = -1;
  int FStateIndex = -1;

private:
  std::vector<std::wstring> FStrings;
};
