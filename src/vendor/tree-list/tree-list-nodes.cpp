#include "tree-list-nodes.h"

#include <algorithm>

// ---- TgxNodeVariant ---------------------------------------------------------------

TgxNodeVariant::TgxNodeVariant(const std::wstring& AText) {
  VariantInit(&FValue);
  const BSTR text = SysAllocStringLen(AText.data(), UINT(AText.size()));
  if (!text)
    throw EOutOfResources("Out of memory for a text value");
  V_VT(&FValue) = VT_BSTR;
  V_BSTR(&FValue) = text;
}

TgxNodeVariant::TgxNodeVariant(int32_t AValue) {
  VariantInit(&FValue);
  V_VT(&FValue) = VT_I4;
  V_I4(&FValue) = AValue;
}

TgxNodeVariant::TgxNodeVariant(const TgxNodeVariant& AOther) {
  VariantInit(&FValue);
  if (FAILED(VariantCopy(&FValue, const_cast<VARIANT*>(&AOther.FValue))))
    throw EConvertError("The value cannot be copied");
}

TgxNodeVariant& TgxNodeVariant::operator=(const TgxNodeVariant& AOther) {
  if (this != &AOther) {
    VARIANT copy;
    VariantInit(&copy);
    if (FAILED(VariantCopy(&copy, const_cast<VARIANT*>(&AOther.FValue))))
      throw EConvertError("The value cannot be copied");
    VariantClear(&FValue);
    FValue = copy;
  }
  return *this;
}

std::wstring TgxNodeVariant::AsText() const {
  const VARTYPE vt = V_VT(&FValue);
  if (vt == VT_EMPTY || vt == VT_NULL)
    return {};
  VARIANT text;
  VariantInit(&text);
  // Through by-reference values too: a text is a copy, never a reference.
  VARIANT direct;
  VariantInit(&direct);
  HRESULT hr = VariantCopyInd(&direct, const_cast<VARIANT*>(&FValue));
  if (SUCCEEDED(hr))
    hr = VariantChangeType(&text, &direct, 0, VT_BSTR);
  VariantClear(&direct);
  if (FAILED(hr))
    throw EConvertError("The value has no text form");
  const BSTR b = V_BSTR(&text);
  std::wstring result(b ? b : L"", b ? SysStringLen(b) : 0);
  VariantClear(&text);
  return result;
}

// ---- TgxTreeListNodeOwner -----------------------------------------------------

TgxTreeListNodeOwner::~TgxTreeListNodeOwner() {
  FreeAllNodes();
}

TgxTreeListNode* TgxTreeListNodeOwner::Items(int AIndex) const {
  if (AIndex < 0 || AIndex >= Count())
    return nullptr;
  return FNodeList[std::size_t(AIndex)];
}

int TgxTreeListNodeOwner::IndexOf(const TgxTreeListNode* ANode) const {
  const auto it = std::find(FNodeList.begin(), FNodeList.end(), ANode);
  return it == FNodeList.end() ? -1 : int(it - FNodeList.begin());
}

TgxTreeListNode* TgxTreeListNodeOwner::LastNode() const {
  TgxTreeListNode* node = FNodeList.empty() ? nullptr : FNodeList.back();
  while (node && node->Expanded() && node->Count() > 0)
    node = node->GetLastChild();
  return node;
}

TgxTreeListNode* TgxTreeListNodeOwner::LinkTopLevel(std::size_t AIndex) {
  // Room first, so that a node once made is always linked in.
  FNodeList.reserve(FNodeList.size() + 1);
  TgxTreeListNode* node = CreateNode();
  FNodeList.insert(FNodeList.begin() + std::ptrdiff_t(std::min(AIndex, FNodeList.size())), node);
  NodeAdded(node);
  return node;
}

TgxTreeListNode* TgxTreeListNodeOwner::Add() {
  return LinkTopLevel(FNodeList.size());
}

TgxTreeListNode* TgxTreeListNodeOwner::AddFirst() {
  return LinkTopLevel(0);
}

TgxTreeListNode* TgxTreeListNodeOwner::Insert(TgxTreeListNode* ABeforeNode) {
  if (!ABeforeNode)
    return Add();
  const int index = ABeforeNode->Index();
  return LinkTopLevel(index < 0 ? FNodeList.size() : std::size_t(index));
}

void TgxTreeListNodeOwner::FullExpand() {
  if (FNodeList.empty())
    return;
  BeginUpdate();
  try {
    for (int i = 0; i < Count(); ++i)
      Items(i)->Expand(true);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TgxTreeListNodeOwner::FullCollapse() {
  if (FNodeList.empty())
    return;
  BeginUpdate();
  try {
    for (int i = 0; i < Count(); ++i)
      Items(i)->Collapse(true);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

bool TgxTreeListNodeOwner::IsNodeVisible(const TgxTreeListNode* ANode) const {
  if (!ANode)
    return false;
  for (const TgxTreeListNode* p = ANode->Parent(); p; p = p->Parent())
    if (!p->Expanded())
      return false;
  return true;
}

TgxTreeListNode* TgxTreeListNodeOwner::GetNextVisible(TgxTreeListNode* ANode) const {
  if (!ANode)
    return nullptr;
  if (ANode->Expanded() && ANode->Count() > 0)
    return ANode->GetFirstChild();
  for (const TgxTreeListNode* n = ANode; n; n = n->Parent())
    if (TgxTreeListNode* next = n->GetNextSibling())
      return next;
  return nullptr;
}

int TgxTreeListNodeOwner::GetAbsoluteIndexOf(const TgxTreeListNode* ANode) const {
  if (!ANode || FNodeList.empty() || !IsNodeVisible(ANode))
    return -1;
  int row = 0;
  for (TgxTreeListNode* n = TopNode(); n; n = GetNextVisible(n), ++row)
    if (n == ANode)
      return row;
  return -1;
}

int TgxTreeListNodeOwner::GetAbsoluteCount() const {
  int rows = 0;
  for (TgxTreeListNode* n = TopNode(); n; n = GetNextVisible(n))
    ++rows;
  return rows;
}

bool TgxTreeListNodeOwner::TryGetPriorListNode(const TgxTreeListNode*,
                                               TgxTreeListNode*& APrior) const {
  APrior = nullptr;
  return false;
}

bool TgxTreeListNodeOwner::CanSetNodeData(TgxTreeListNode*) {
  return true;
}

void TgxTreeListNodeOwner::UpdateNodeDataIndex(TgxTreeListNode* ANode, void* ANewData) {
  if (!FTrackNodeData || !ANode)
    return;
  const auto old = FNodesByData.find(ANode->Data());
  if (old != FNodesByData.end()) {
    TgxTreeListNodes& nodes = old->second;
    nodes.erase(std::remove(nodes.begin(), nodes.end(), ANode), nodes.end());
    if (nodes.empty())
      FNodesByData.erase(old);
  }
  if (ANewData) {
    TgxTreeListNodes& nodes = FNodesByData[ANewData];
    if (std::find(nodes.begin(), nodes.end(), ANode) == nodes.end())
      nodes.push_back(ANode);
  }
}

void TgxTreeListNodeOwner::RemoveTreeNodeDataReference(void* AData) {
  if (FTrackNodeData) {
    // A copy: each SetData takes its node out of the index's own list.
    const TgxTreeListNodes nodes = NodesByData(AData);
    for (auto it = nodes.rbegin(); it != nodes.rend(); ++it)
      (*it)->SetData(nullptr);
    return;
  }
  for (TgxTreeListNode* n = TopNode(); n; n = n->GetNext())
    if (n->Data() == AData)
      n->SetData(nullptr);
}

TgxTreeListNodes TgxTreeListNodeOwner::NodesByData(void* AData) const {
  const auto it = FNodesByData.find(AData);
  return it == FNodesByData.end() ? TgxTreeListNodes{} : it->second;
}

bool TgxTreeListNodeOwner::GetNodeHasChildren(TgxTreeListNode* ANode) {
  return ANode && ANode->Count() > 0;
}

void TgxTreeListNodeOwner::NodeDeleted(TgxTreeListNode*, TgxTreeListNode*, TgxTreeListNode*, bool,
                                       bool) {}

bool TgxTreeListNodeOwner::FocusCollapsingNode(TgxTreeListNode* ANode) {
  SetFocusedNode(ANode, FocusedColumn(), false);
  return true;
}

void TgxTreeListNodeOwner::DoExpanding(TgxTreeListNode*, bool&) {}
void TgxTreeListNodeOwner::DoCollapsing(TgxTreeListNode*, bool&) {}
void TgxTreeListNodeOwner::DoExpanded(TgxTreeListNode*) {}
void TgxTreeListNodeOwner::DoCollapsed(TgxTreeListNode*) {}

void TgxTreeListNodeOwner::FreeAllNodes() {
  const bool wasClearing = FClearNodes;
  FClearNodes = true;
  // The list is taken off first: the nodes find no list to leave.
  TgxTreeListNodes nodes;
  nodes.swap(FNodeList);
  for (TgxTreeListNode* node : nodes)
    delete node;
  FNodesByData.clear();
  FClearNodes = wasClearing;
}

// ---- TgxTreeListNode ----------------------------------------------------------

TgxTreeListNode::TgxTreeListNode(TgxTreeListNodeOwner* AOwner) : FOwner(AOwner) {
  if (!AOwner)
    throw EInvalidgxTreeListOperation("Invalid Owner TgxTreeListNode");
}

TgxTreeListNode::~TgxTreeListNode() {
  // A deletion handler's failure cannot keep the node: it goes regardless.
  try {
    if (FData)
      FOwner->UpdateNodeDataIndex(this, nullptr);
  } catch (...) {
  }
  FDeleting = true;
  DeleteChildren();

  TgxTreeListNode* prior = nullptr;
  TgxTreeListNode* next = nullptr;
  bool wasLast = false;
  bool wasVisible = false;
  if (!FOwner->IsClearingNodes()) {
    try {
      prior = GetPriorParentNode();
      next = GetNextNode();
      wasLast = IsLast();
      wasVisible = !(FParent && FParent->FDeleting) && IsVisible();
    } catch (...) {
    }
  }
  try {
    if (FParent || !FOwner->IsClearingNodes())
      Detach();
  } catch (...) {
  }
  FList.reset();
  try {
    FOwner->NodeDeleted(this, prior, next, wasLast, wasVisible);
  } catch (...) {
  }
}

TgxTreeListNodes* TgxTreeListNode::SiblingList() const {
  return FParent ? FParent->FList.get() : &FOwner->NodeList();
}

TgxTreeListNodes& TgxTreeListNode::EnsureList() {
  if (!FList)
    FList = std::make_unique<TgxTreeListNodes>();
  return *FList;
}

void TgxTreeListNode::Detach(const TgxTreeListNodes* AComingBackTo) {
  if (TgxTreeListNodes* list = SiblingList()) {
    list->erase(std::remove(list->begin(), list->end(), this), list->end());
    if (FParent && list->empty() && list != AComingBackTo) {
      TgxTreeListNode* parent = FParent;
      parent->FList.reset();
      parent->FHasChildren = FOwner->GetNodeHasChildren(parent);
      parent->FExpanded = false;
    }
  }
  FParent = nullptr;
}

TgxTreeListNode* TgxTreeListNode::InsertChild(TgxTreeListNode* ABeforeNode) {
  TgxTreeListNodes& list = EnsureList();
  list.reserve(list.size() + 1);
  TgxTreeListNode* node = nullptr;
  try {
    node = FOwner->CreateNode();
  } catch (...) {
    if (list.empty())
      FList.reset();
    throw;
  }
  std::size_t at = list.size();
  if (ABeforeNode) {
    // A node that is not a child still gives its index among its own
    // siblings; it never reaches past the end of this list.
    const int index = ABeforeNode->Index();
    if (index >= 0)
      at = std::min(std::size_t(index), list.size());
  }
  list.insert(list.begin() + std::ptrdiff_t(at), node);
  node->FParent = this;
  SetHasChildren(true);
  FOwner->NodeAdded(node);
  return node;
}

TgxTreeListNode* TgxTreeListNode::AddChildFirst() {
  return InsertChild(Count() > 0 ? Items(0) : nullptr);
}

void TgxTreeListNode::DeleteChildren() {
  if (FOwner->IsClearingNodes()) {
    std::unique_ptr<TgxTreeListNodes> children = std::move(FList);
    if (children)
      for (TgxTreeListNode* child : *children)
        delete child; // finds no list of this node to leave
    return;
  }
  while (FList && !FList->empty())
    delete FList->front();
}

bool TgxTreeListNode::CanMove(TgxTreeListNode* ADestination,
                              TgxTreeListNodeAttachMode AMode) const {
  if (!ADestination)
    return false;
  if (ADestination == this &&
      (AMode == natlAddChild || AMode == natlAddChildFirst || AMode == natlInsert))
    return false;
  return !ADestination->HasAsParent(this);
}

void TgxTreeListNode::MoveTo(TgxTreeListNode* ADestination, TgxTreeListNodeAttachMode AMode) {
  if (!CanMove(ADestination, AMode))
    return;
  FOwner->BeginUpdate();
  try {
    InternalMove(ADestination, AMode);
  } catch (...) {
    FOwner->EndUpdate();
    throw;
  }
  FOwner->EndUpdate();
  FOwner->StoreFocusedNode(this);
  FOwner->MakeListNodes();
  MakeVisible();
}

void TgxTreeListNode::InternalMove(TgxTreeListNode* ADestination, TgxTreeListNodeAttachMode AMode) {
  if (!ADestination)
    return;
  const bool childMode = AMode == natlAddChild || AMode == natlAddChildFirst;
  if (ADestination == this) {
    // Onto itself only the sibling modes make sense: the node moves to the
    // end or the start of its own list. It stays in that list, so its
    // parent neither loses its children nor collapses on the way.
    if (childMode || AMode == natlInsert)
      return;
    TgxTreeListNodes& list = *SiblingList();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    if (AMode == natlAdd)
      list.push_back(this);
    else
      list.insert(list.begin(), this);
    return;
  }
  // Room in the destination's list before the node leaves its own, so the
  // move cannot stop half-way.
  TgxTreeListNodes& target =
      childMode ? ADestination->EnsureList()
                : (ADestination->FParent ? *ADestination->FParent->FList : FOwner->NodeList());
  target.reserve(target.size() + 1);
  // A node moved among its own parent's children leaves that list only for
  // a moment: the parent keeps it and stays expanded.
  Detach(&target);
  if (childMode) {
    if (AMode == natlAddChild)
      target.push_back(this);
    else
      target.insert(target.begin(), this);
    FParent = ADestination;
    ADestination->FHasChildren = true;
    return;
  }
  std::size_t at = AMode == natlAddFirst ? 0 : target.size();
  if (AMode == natlInsert) {
    const int index = ADestination->Index();
    at = index < 0 ? target.size() : std::min(std::size_t(index), target.size());
  }
  target.insert(target.begin() + std::ptrdiff_t(at), this);
  FParent = ADestination->FParent;
}

void TgxTreeListNode::AddNodesToList(TgxTreeListNodes& AList) const {
  if (FList)
    AList.insert(AList.end(), FList->begin(), FList->end());
}

TgxTreeListNode* TgxTreeListNode::Items(int AIndex) const {
  if (!FList || AIndex < 0 || AIndex >= int(FList->size()))
    return nullptr;
  return (*FList)[std::size_t(AIndex)];
}

int TgxTreeListNode::IndexOf(const TgxTreeListNode* ANode) const {
  if (!FList)
    return -1;
  const auto it = std::find(FList->begin(), FList->end(), ANode);
  return it == FList->end() ? -1 : int(it - FList->begin());
}

int TgxTreeListNode::Index() const {
  return FParent ? FParent->IndexOf(this) : FOwner->IndexOf(this);
}

int TgxTreeListNode::Level() const {
  int level = 0;
  for (const TgxTreeListNode* p = FParent; p; p = p->FParent)
    ++level;
  return level;
}

bool TgxTreeListNode::IsLast() const {
  const TgxTreeListNodes* list = SiblingList();
  return list && !list->empty() && list->back() == this;
}

bool TgxTreeListNode::HasAsParent(const TgxTreeListNode* ANode) const {
  if (!ANode)
    return false;
  for (const TgxTreeListNode* p = FParent; p; p = p->FParent)
    if (p == ANode)
      return true;
  return false;
}

TgxTreeListNode* TgxTreeListNode::GetLastChild() const {
  return FList && !FList->empty() ? FList->back() : nullptr;
}

TgxTreeListNode* TgxTreeListNode::GetNextSibling() const {
  const int index = Index();
  if (index < 0)
    return nullptr;
  return FParent ? FParent->Items(index + 1) : FOwner->Items(index + 1);
}

TgxTreeListNode* TgxTreeListNode::GetPrevSibling() const {
  const int index = Index();
  if (index < 1)
    return nullptr;
  return FParent ? FParent->Items(index - 1) : FOwner->Items(index - 1);
}

TgxTreeListNode* TgxTreeListNode::GetNext() const {
  if (Count() > 0)
    return GetFirstChild();
  for (const TgxTreeListNode* n = this; n; n = n->FParent)
    if (TgxTreeListNode* next = n->GetNextSibling())
      return next;
  return nullptr;
}

TgxTreeListNode* TgxTreeListNode::GetPrev() const {
  TgxTreeListNode* node = GetPrevSibling();
  if (!node)
    return FParent;
  while (node->Count() > 0)
    node = node->GetLastChild();
  return node;
}

TgxTreeListNode* TgxTreeListNode::GetNextNode() {
  return FOwner->GetNextVisible(this);
}

TgxTreeListNode* TgxTreeListNode::GetPriorNode() const {
  TgxTreeListNode* prior = nullptr;
  if (FOwner->TryGetPriorListNode(this, prior))
    return prior;
  if (Index() < 1)
    return FParent;
  prior = GetPrevSibling();
  while (prior && prior->Expanded() && prior->Count() > 0)
    prior = prior->GetLastChild();
  return prior;
}

TgxTreeListNode* TgxTreeListNode::GetPriorParentNode() const {
  if (TgxTreeListNode* prior = GetPrevSibling())
    return prior;
  return FParent;
}

int TgxTreeListNode::AbsoluteIndex() const {
  return FOwner->GetAbsoluteIndexOf(this);
}

bool TgxTreeListNode::IsVisible() const {
  return FOwner->IsNodeVisible(this);
}

void TgxTreeListNode::MakeVisible() {
  FOwner->MakeNodeVisible(this);
}

std::wstring TgxTreeListNode::Strings(int AColumn) {
  return FOwner->GetNodeString(this, AColumn);
}

void TgxTreeListNode::SetStrings(int AColumn, const std::wstring& AValue) {
  FOwner->SetNodeString(this, AColumn, AValue);
}

TgxNodeVariant TgxTreeListNode::Values(int AColumn) {
  return FOwner->GetNodeVariant(this, AColumn);
}

void TgxTreeListNode::SetValues(int AColumn, const TgxNodeVariant& AValue) {
  FOwner->SetNodeVariant(this, AColumn, AValue);
}

int TgxTreeListNode::ImageIndex() {
  return FOwner->GetNodeImageIndex(this);
}
void TgxTreeListNode::SetImageIndex(int AValue) {
  FOwner->SetNodeImageIndex(this, AValue);
}
int TgxTreeListNode::SelectedIndex() {
  return FOwner->GetNodeSelectedIndex(this);
}
void TgxTreeListNode::SetSelectedIndex(int AValue) {
  FOwner->SetNodeSelectedIndex(this, AValue);
}
int TgxTreeListNode::StateIndex() {
  return FOwner->GetNodeStateIndex(this);
}
void TgxTreeListNode::SetStateIndex(int AValue) {
  FOwner->SetNodeStateIndex(this, AValue);
}

void TgxTreeListNode::SetData(void* AValue) {
  if (!FOwner->CanSetNodeData(this) || AValue == FData)
    return;
  FOwner->UpdateNodeDataIndex(this, AValue);
  FData = AValue;
}

bool TgxTreeListNode::Focused() const {
  return FOwner->FocusedNode() == this;
}

void TgxTreeListNode::SetFocused(bool AValue) {
  if (AValue) {
    if (!Focused())
      FOwner->SetFocusedNode(this, FOwner->FocusedColumn(), true);
  } else {
    // The list refuses to focus nothing: the node keeps the focus.
    FOwner->SetFocusedNode(nullptr, FOwner->FocusedColumn(), true);
  }
}

bool TgxTreeListNode::Selected() const {
  if (FOwner->IsMultiSelect())
    return FOwner->IsNodeSelected(const_cast<TgxTreeListNode*>(this));
  return Focused();
}

void TgxTreeListNode::SetSelected(bool AValue) {
  FOwner->SetNodeSelected(this, AValue);
}

void TgxTreeListNode::SetHasChildren(bool AValue) {
  const bool value = AValue || Count() > 0;
  if (value == FHasChildren)
    return;
  FHasChildren = value;
  FOwner->InvalidateNode(this, false);
}

void TgxTreeListNode::SetExpanded(bool AValue) {
  if (!FHasChildren || AValue == FExpanded)
    return;
  bool allow = true;
  if (AValue)
    FOwner->DoExpanding(this, allow);
  else
    FOwner->DoCollapsing(this, allow);
  if (!allow)
    return;
  if (!AValue) {
    if (TgxTreeListNode* top = FOwner->TopVisibleNode(); top && top->HasAsParent(this))
      FOwner->SetTopVisibleNode(this);
    if (TgxTreeListNode* focused = FOwner->FocusedNode(); focused && focused->HasAsParent(this))
      if (!FOwner->FocusCollapsingNode(this))
        return;
  }
  FExpanded = AValue;
  if (!FOwner->IsUpdateLocked() && !FOwner->IsDestroying())
    FOwner->MakeListNodes();
  FOwner->InvalidateNode(this, true);
  if (AValue)
    FOwner->DoExpanded(this);
  else
    FOwner->DoCollapsed(this);
}

void TgxTreeListNode::Expand(bool ARecurse) {
  if (!FHasChildren)
    return;
  const bool bracket = !FOwner->IsUpdateLocked();
  if (bracket)
    FOwner->BeginUpdate();
  try {
    SetExpanded(true);
    if (ARecurse)
      for (int i = 0; i < Count(); ++i)
        Items(i)->Expand(true);
  } catch (...) {
    if (bracket)
      FOwner->EndUpdate();
    throw;
  }
  if (bracket)
    FOwner->EndUpdate();
}

void TgxTreeListNode::Collapse(bool ARecurse) {
  if (!FHasChildren)
    return;
  const bool bracket = !FOwner->IsUpdateLocked();
  if (bracket)
    FOwner->BeginUpdate();
  try {
    SetExpanded(false);
    if (ARecurse)
      for (int i = 0; i < Count(); ++i)
        Items(i)->Collapse(true);
  } catch (...) {
    if (bracket)
      FOwner->EndUpdate();
    throw;
  }
  if (bracket)
    FOwner->EndUpdate();
}

// ---- TgxTreeListTextNode ------------------------------------------------------

std::wstring TgxTreeListTextNode::Text(int AColumn) const {
  if (AColumn < 0 || AColumn >= int(FStrings.size()))
    return {};
  return FStrings[std::size_t(AColumn)];
}

void TgxTreeListTextNode::SetText(int AColumn, const std::wstring& AValue) {
  if (AColumn < 0)
    throw EListError("List index out of bounds (" + std::to_string(AColumn) + ")");
  if (AColumn >= int(FStrings.size()))
    FStrings.resize(std::size_t(AColumn) + 1);
  FStrings[std::size_t(AColumn)] = AValue;
}

void TgxTreeListTextNode::DeleteText(int AColumn) {
  if (AColumn >= 0 && AColumn < int(FStrings.size()))
    FStrings.erase(FStrings.begin() + AColumn);
}
