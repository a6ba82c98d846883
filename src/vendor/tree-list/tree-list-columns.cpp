#include "tree-list-control.h"

#include "rtl-exceptions.h"

#include <algorithm>

// ===========================================================================
// the plain text column's editor kind

const TgxTreeListEditorClass& TreeListTextEditClass() {
  static const TgxTreeListEditorClass kClass{
      L"TgxInplaceTreeListTextEdit",
      []() -> const TgxInplaceEditClass& { return TgxInplaceTextEditClass::Instance(); },
      [](TComponent* AOwner) -> TgxInplaceEdit* { return new TgxInplaceTreeListTextEdit(AOwner); },
      [](const TgxInplaceEdit* AEdit) {
        return dynamic_cast<const TgxInplaceTreeListTextEdit*>(AEdit) != nullptr;
      }};
  return kClass;
}

// ===========================================================================
// construction

TgxTreeListColumn::TgxTreeListColumn(TComponent* AOwner) : TComponent(AOwner) {
  FViewData.reset(GetEditorClass().ClassOps().NewViewData());
}

TgxTreeListColumn::~TgxTreeListColumn() {
  if (FTreeList) {
    if (!FTreeList->IsDestroying())
      FTreeList->DeleteColumnTexts(GetIndex());
    FTreeList->RemoveColumn(this);
  }
}

void TgxTreeListColumn::SetName(const std::wstring& ANewName) {
  TComponent::SetName(ANewName);
  if (OnChangeName)
    OnChangeName(this);
}

TComponent* TgxTreeListColumn::GetParentComponent() const {
  return FTreeList;
}

void TgxTreeListColumn::SetParentComponent(TComponent* AParent) {
  auto* treeList = dynamic_cast<TCustomgxTreeListControl*>(AParent);
  if (AParent && !treeList)
    throw EComponentError("Invalid class typecast");
  if (!ComponentState().Contains(csLoading))
    SetTreeList(treeList);
}

void TgxTreeListColumn::SetTreeList(TCustomgxTreeListControl* AValue) {
  if (FTreeList == AValue)
    return;
  if (FTreeList)
    FTreeList->RemoveColumn(this);
  if (AValue)
    AValue->AddColumn(this);
}

void TgxTreeListColumn::Changed(bool AAllItems) {
  if (FTreeList)
    FTreeList->ColumnChanged(AAllItems ? nullptr : this);
}

bool TgxTreeListColumn::IsUnicodeEditor() const {
  if (FTreeList)
    return FTreeList->EnableUnicodeSupport();
  auto* owner = dynamic_cast<TCustomgxTreeList*>(Owner());
  return owner && owner->EnableUnicodeSupport();
}

// ===========================================================================
// the virtual operations

void TgxTreeListColumn::SaveEditValue(TgxTreeListNode* ANode, TgxInplaceEdit* AEdit,
                                      TgxVariant& AValue) {
  if (!FTreeList || !ANode)
    return;
  const int index = GetIndex();
  if (auto* edit = dynamic_cast<TgxInplaceTextEdit*>(AEdit))
    FTreeList->SetNodeString(ANode, index, edit->Text());
  AValue = std::wstring(FTreeList->GetNodeVariant(ANode, index).AsText());
}

void TgxTreeListColumn::EditorChange(TControl* ASender) {
  if (!FTreeList || FTreeList->IsInitEditing())
    return;
  FTreeList->DoEditChange(ASender);
  if (OnChange)
    OnChange(this);
}

void TgxTreeListColumn::EditorValidate(TControl* ASender, std::wstring& AErrorText, bool& AAccept) {
  if (!FTreeList || FTreeList->IsInitEditing())
    return;
  FTreeList->DoEditValidate(ASender, AErrorText, AAccept);
  if (OnValidate)
    OnValidate(ASender, AErrorText, AAccept);
}

void TgxTreeListColumn::FontChanged() {
  if (FFontChanging)
    return;
  FAssignedValues |= ColumnValueBit(cvFont);
  Changed(true);
}

const TgxTreeListEditorClass& TgxTreeListColumn::GetEditorClass() {
  // The wide-text editor is not part of this build: every text column
  // edits with the text editor, whatever EnableUnicodeSupport says.
  return TreeListTextEditClass();
}

void TgxTreeListColumn::GetNodeText(TgxTreeListNode* ANode, std::wstring& AText) {
  AText = FTreeList && ANode ? FTreeList->GetNodeString(ANode, GetIndex()) : std::wstring();
}

int TgxTreeListColumn::GetIndex() const {
  if (FActualIndex != -1)
    return FActualIndex;
  if (!FTreeList)
    return -1;
  const auto& columns = FTreeList->FColumns;
  const auto it = std::find(columns.begin(), columns.end(), this);
  return it == columns.end() ? -1 : int(it - columns.begin());
}

void TgxTreeListColumn::InitEditor(TgxInplaceEdit* AEdit) {
  if (!AEdit)
    return;
  AEdit->SetReadOnly(ReadOnly());
  AEdit->OnChange = [this](TControl* ASender) { EditorChange(ASender); };
  AEdit->OnCustomDraw = OnCustomDrawInplaceEditor;
  AEdit->OnValidate = [this](TControl* ASender, std::wstring& AErrorText, bool& AAccept) {
    EditorValidate(ASender, AErrorText, AAccept);
  };
  if (auto* edit = dynamic_cast<TgxInplaceTextEdit*>(AEdit)) {
    edit->SetCharCase(FCharCase);
    edit->SetMaxLength(MaxLength());
    edit->SetOEMConvert(FOEMConvert);
    edit->SetPasswordChar(FPasswordChar);
    if (edit->HandleAllocated())
      edit->ClearUndo();
  }
}

void TgxTreeListColumn::LoadEditValue(TgxTreeListNode* ANode, TgxInplaceEdit* AEdit,
                                      TgxVariant& AValue) {
  std::wstring text;
  GetNodeText(ANode, text);
  if (auto* edit = dynamic_cast<TgxInplaceTextEdit*>(AEdit)) {
    edit->SetText(text);
    AValue = edit->Text();
  } else {
    AValue = text;
  }
}

bool TgxTreeListColumn::IsFilterEnabled() {
  return !FDisableFilter && !ComponentState().Contains(csDesigning);
}

int TgxTreeListColumn::GetBestFit(TCanvas& ACanvas, TgxTreeListNode* ANode) {
  std::wstring text;
  GetNodeText(ANode, text);
  return text.empty() ? 0 : int(ACanvas.TextExtent(text).cx);
}

std::wstring TgxTreeListColumn::GetDisplayValue(TgxTreeListNode*, const std::wstring& AValue) {
  return AValue;
}

void TgxTreeListColumn::RestoreDefaults() {
  FAssignedValues = 0;
  RestoreDefaultFont();
  RefreshDefaultWidth();
  FDisableEditor = false;
  FDisableCaption = false;
  FDisableCustomizing = false;
  FHeaderAlignment = taLeftJustify;
  FMinWidth = 20;
  FSizing = true;
  FSorted = csNone;
  FTabStop = true;
  FVertAlignment = tlTop;
}

void TgxTreeListColumn::Assign(const TPersistent* ASource) {
  const auto* source = dynamic_cast<const TgxTreeListColumn*>(ASource);
  if (!source) {
    TComponent::Assign(ASource);
    return;
  }
  auto* from = const_cast<TgxTreeListColumn*>(source);
  TCustomgxTreeListControl* treeList = FTreeList;
  if (treeList)
    treeList->BeginUpdate();
  try {
    RestoreDefaults();
    if (from->IsAssigned(cvAlignment))
      SetAlignment(from->FAlignment);
    if (from->IsAssigned(cvCaption))
      SetCaption(from->FCaption);
    if (from->IsAssigned(cvReadOnly))
      SetReadOnly(from->FReadonly);
    if (from->IsAssigned(cvWidth))
      SetWidth(from->FWidth);
    if (from->IsAssigned(cvColor))
      SetColor(from->FColor);
    if (from->IsAssigned(cvFont))
      SetFont(from->Font());
    SetDisableCaption(from->FDisableCaption);
    SetDisableCustomizing(from->FDisableCustomizing);
    SetDisableEditor(from->FDisableEditor);
    SetDisableFilter(from->FDisableFilter);
    SetHeaderAlignment(from->FHeaderAlignment);
    if (from->FHeaderGlyph)
      SetHeaderGlyph(from->FHeaderGlyph.get());
    SetMinWidth(from->FMinWidth);
    SetSizing(from->FSizing);
    SetSorted(from->FSorted);
    SetVertAlignment(from->FVertAlignment);
    SetVisible(from->FVisible);
    SetTabStop(from->FTabStop);
    SetBandIndex(from->FBandIndex);
    SetRowIndex(from->RowIndex());
    SetColIndex(from->ColIndex());
    SetHeaderMaxLineCount(from->FHeaderMaxLineCount);
  } catch (...) {
    if (treeList)
      treeList->EndUpdate();
    throw;
  }
  if (treeList)
    treeList->EndUpdate();
}

// ===========================================================================
// defaults

TColor TgxTreeListColumn::DefaultColor() const {
  return FTreeList ? FTreeList->Color() : clWindow;
}

TFont& TgxTreeListColumn::DefaultFont() {
  return FTreeList ? FTreeList->Font() : Font();
}

void TgxTreeListColumn::RestoreDefaultWidth() {
  FAssignedValues &= TgxColumnValues(~ColumnValueBit(cvWidth));
  RefreshDefaultWidth();
}

void TgxTreeListColumn::RefreshDefaultWidth() {
  if (!IsAssigned(cvWidth))
    FWidth = std::max(DefaultWidth(), FMinWidth);
}

void TgxTreeListColumn::RestoreDefaultFont() {
  if (IsAssigned(cvFont) || !FFont || !FTreeList)
    return;
  FFontChanging = true;
  try {
    FFont->Assign(&FTreeList->Font());
  } catch (...) {
    FFontChanging = false;
    throw;
  }
  FFontChanging = false;
}

// ===========================================================================
// properties

TFont& TgxTreeListColumn::Font() {
  if (!FFont) {
    FFont = std::make_unique<TFont>();
    if (FTreeList) {
      FFontChanging = true;
      FFont->Assign(&FTreeList->Font());
      FFontChanging = false;
    }
    FFont->OnChange = [this](TGraphicsObject*) { FontChanged(); };
  } else if (!IsAssigned(cvFont) && FTreeList) {
    // An unassigned font follows the tree list's.
    // Compared by what makes the font, so that reading it makes no handles.
    const TFont& source = FTreeList->Font();
    if (FFont->Name() != source.Name() || FFont->Height() != source.Height() ||
        FFont->Style() != source.Style() || FFont->Color() != source.Color() ||
        FFont->Charset() != source.Charset() || FFont->Pitch() != source.Pitch() ||
        FFont->Quality() != source.Quality() || FFont->Orientation() != source.Orientation())
      RestoreDefaultFont();
  }
  return *FFont;
}

void TgxTreeListColumn::SetFont(const TFont& AValue) {
  TFont& font = Font();
  FFontChanging = true;
  try {
    font.Assign(&AValue);
  } catch (...) {
    FFontChanging = false;
    throw;
  }
  FFontChanging = false;
  FAssignedValues |= ColumnValueBit(cvFont);
  Changed(true);
}

TAlignment TgxTreeListColumn::Alignment() {
  return IsAssigned(cvAlignment) ? FAlignment : DefaultAlignment();
}

void TgxTreeListColumn::SetAlignment(TAlignment AValue) {
  if (IsAssigned(cvAlignment) && FAlignment == AValue)
    return;
  FAlignment = AValue;
  FAssignedValues |= ColumnValueBit(cvAlignment);
  Changed(false);
}

std::wstring TgxTreeListColumn::Caption() {
  return IsAssigned(cvCaption) ? FCaption : DefaultCaption();
}

void TgxTreeListColumn::SetCaption(const std::wstring& AValue) {
  if (IsAssigned(cvCaption) && FCaption == AValue)
    return;
  FCaption = AValue;
  FAssignedValues |= ColumnValueBit(cvCaption);
  RefreshDefaultWidth();
  Changed(false);
}

TColor TgxTreeListColumn::Color() {
  return IsAssigned(cvColor) ? FColor : DefaultColor();
}

void TgxTreeListColumn::SetColor(TColor AValue) {
  if (IsAssigned(cvColor) && FColor == AValue)
    return;
  FColor = AValue;
  FAssignedValues |= ColumnValueBit(cvColor);
  Changed(false);
}

bool TgxTreeListColumn::ReadOnly() {
  const bool own = IsAssigned(cvReadOnly) ? FReadonly : DefaultReadOnly();
  return own || (FTreeList && FTreeList->IsContainerReadOnly());
}

void TgxTreeListColumn::SetReadOnly(bool AValue) {
  if (IsAssigned(cvReadOnly) && FReadonly == AValue)
    return;
  FReadonly = AValue;
  FAssignedValues |= ColumnValueBit(cvReadOnly);
  Changed(false);
}

int TgxTreeListColumn::MaxLength() {
  return IsAssigned(cvMaxLength) ? FMaxLength : DefaultMaxLength();
}

void TgxTreeListColumn::SetMaxLength(int AValue) {
  if (FMaxLength == AValue)
    return;
  FMaxLength = AValue;
  FAssignedValues |= ColumnValueBit(cvMaxLength);
  Changed(false);
}

void TgxTreeListColumn::SetWidth(int AValue) {
  AValue = std::max(AValue, FMinWidth);
  if (IsAssigned(cvWidth) || AValue != DefaultWidth()) {
    FWidth = AValue;
    FAssignedValues |= ColumnValueBit(cvWidth);
    Changed(false);
  }
}

void TgxTreeListColumn::SetMinWidth(int AValue) {
  FMinWidth = std::max(0, AValue);
  SetWidth(FWidth);
}

#define ORV_COLUMN_SETTER(Name, Type, Field, AllItems)                                             \
  void TgxTreeListColumn::Set##Name(Type AValue) {                                                 \
    if (Field == AValue)                                                                           \
      return;                                                                                      \
    Field = AValue;                                                                                \
    Changed(AllItems);                                                                             \
  }
ORV_COLUMN_SETTER(OEMConvert, bool, FOEMConvert, false)
ORV_COLUMN_SETTER(PasswordChar, wchar_t, FPasswordChar, false)
ORV_COLUMN_SETTER(Sizing, bool, FSizing, false)
ORV_COLUMN_SETTER(VertAlignment, TTextLayout, FVertAlignment, false)
ORV_COLUMN_SETTER(Visible, bool, FVisible, false)
ORV_COLUMN_SETTER(CharCase, TEditCharCase, FCharCase, true)
ORV_COLUMN_SETTER(DisableCaption, bool, FDisableCaption, true)
ORV_COLUMN_SETTER(DisableCustomizing, bool, FDisableCustomizing, true)
ORV_COLUMN_SETTER(HeaderAlignment, TAlignment, FHeaderAlignment, true)
ORV_COLUMN_SETTER(DisableFilter, bool, FDisableFilter, true)
#undef ORV_COLUMN_SETTER

void TgxTreeListColumn::SetHeaderMaxLineCount(int AValue) {
  AValue = std::max(0, AValue);
  if (FHeaderMaxLineCount == AValue)
    return;
  FHeaderMaxLineCount = AValue;
  Changed(true);
}

TBitmap& TgxTreeListColumn::HeaderGlyph() {
  if (!FHeaderGlyph)
    FHeaderGlyph = std::make_unique<TBitmap>();
  return *FHeaderGlyph;
}

void TgxTreeListColumn::SetHeaderGlyph(const TBitmap* AValue) {
  if (AValue)
    HeaderGlyph().Assign(AValue);
  else
    FHeaderGlyph.reset();
  Changed(true);
}

void TgxTreeListColumn::SetBandIndex(int AValue) {
  AValue = std::max(-1, AValue);
  if (FTreeList && AValue >= FTreeList->Bands().Count())
    AValue = FTreeList->Bands().Count() - 1;
  if (FBandIndex == AValue)
    return;
  FBandIndex = AValue;
  Changed(false);
}

int TgxTreeListColumn::RowIndex() const {
  if (!FTreeList)
    return FRowIndex;
  return std::max(0, std::min(FStoredRowIndex, FTreeList->HeaderPanelRowCount() - 1));
}

void TgxTreeListColumn::SetRowIndex(int AValue) {
  AValue = std::max(0, AValue);
  if (FTreeList && AValue >= FTreeList->HeaderPanelRowCount())
    AValue = FTreeList->HeaderPanelRowCount() - 1;
  if (AValue == RowIndex())
    return;
  FRowIndex = AValue;
  FStoredRowIndex = AValue;
  Changed(false);
}

int TgxTreeListColumn::ColIndex() const {
  if (!FTreeList)
    return -1;
  const int row = RowIndex();
  int count = 0;
  for (TgxTreeListColumn* column : FTreeList->FColumns) {
    if (column->FVisible && column->FBandIndex == FBandIndex && column->RowIndex() == row)
      ++count;
    if (column == this)
      break;
  }
  return count - 1;
}

void TgxTreeListColumn::SetColIndex(int AValue) {
  if (!FTreeList || AValue == ColIndex() || FBandIndex == -1 ||
      FBandIndex >= FTreeList->Bands().Count())
    return;
  TgxTreeListBand* band = FTreeList->Bands().Items(FBandIndex);
  const int row = RowIndex();
  const int count = band->GetRowColumnCount(row);
  if (count <= 0)
    return;
  AValue = std::clamp(AValue, 0, count - 1);
  TgxTreeListColumn* target = band->GetRowColumn(row, AValue);
  if (!target)
    return;
  // Past the last column of the row means after it.
  SetIndex(target->GetIndex() + (AValue == count - 1 ? 1 : 0));
}

void TgxTreeListColumn::SetIndex(int AValue) {
  if (!FTreeList)
    return;
  const int old = GetIndex();
  if (old < 0)
    return;
  AValue = std::clamp(AValue, 0, FTreeList->ColumnCount() - 1);
  if (AValue == old)
    return;
  // The nodes keep their texts by column position: they move along.
  FTreeList->MoveColumnTexts(old, AValue);
  auto& columns = FTreeList->FColumns;
  columns.erase(columns.begin() + old);
  columns.insert(columns.begin() + AValue, this);
  Changed(true);
}

void TgxTreeListColumn::SetSorted(TgxTreeListColumnSort AValue) {
  if (FSorted == AValue)
    return;
  if (!FTreeList || FTreeList->IsLoading()) {
    FSorted = AValue;
    Changed(false);
    return;
  }
  TCustomgxTreeListControl* treeList = FTreeList;
  if (AValue != csNone) {
    treeList->BeginUpdate();
    try {
      treeList->BeforeColumnSorted(this);
      FSorted = AValue;
      treeList->AfterColumnSorted(this);
    } catch (...) {
      treeList->EndUpdate();
      throw;
    }
    treeList->EndUpdate();
  } else {
    treeList->BeginSorting();
    try {
      FSorted = csNone;
      auto& sorted = treeList->FSortedColumns;
      sorted.erase(std::remove(sorted.begin(), sorted.end(), this), sorted.end());
      Changed(false);
    } catch (...) {
      treeList->EndSorting();
      throw;
    }
    treeList->EndSorting();
  }
}

// ===========================================================================
// the control's column answers

int TCustomgxTreeListControl::GetColumnBandIndex(int AColumn) {
  return Columns(AColumn)->BandIndex();
}

int TCustomgxTreeListControl::GetColumnRowIndex(int AColumn) {
  return Columns(AColumn)->RowIndex();
}

int TCustomgxTreeListControl::GetColumnColIndex(int AColumn) {
  return Columns(AColumn)->ColIndex();
}

int TCustomgxTreeListControl::GetColumnDefinedWidth(int AColumn) {
  return Columns(AColumn)->Width();
}

int TCustomgxTreeListControl::GetColumnMinWidth(int AColumn) {
  TgxTreeListColumn* column = Columns(AColumn);
  return column->Sizing() ? column->MinWidth() : column->Width();
}

int TCustomgxTreeListControl::GetHeaderAlignment(int AColumn) {
  return Columns(AColumn)->HeaderAlignment();
}

int TCustomgxTreeListControl::GetColumnAlignment(int, int AColumn) {
  return Columns(AColumn)->Alignment();
}

TColor TCustomgxTreeListControl::GetColumnColor(int AColumn) {
  return Columns(AColumn)->Color();
}

TFont& TCustomgxTreeListControl::GetColumnFont(int AColumn) {
  return Columns(AColumn)->Font();
}

bool TCustomgxTreeListControl::IsColumnFontAssigned(int AColumn) {
  return Columns(AColumn)->IsAssigned(cvFont);
}

TBitmap* TCustomgxTreeListControl::GetHeaderGlyph(int AColumn) {
  return &Columns(AColumn)->HeaderGlyph();
}

bool TCustomgxTreeListControl::HasHeaderGlyph(int AColumn) {
  return Columns(AColumn)->HasHeaderGlyph();
}

int TCustomgxTreeListControl::GetHeaderMaxLineCount(int AColumn) {
  return Columns(AColumn)->HeaderMaxLineCount();
}

void TCustomgxTreeListControl::GetHeaderCaption(int AColumn, std::wstring& AText) {
  TgxTreeListColumn* column = Columns(AColumn);
  AText = column->DisableCaption() ? std::wstring() : column->Caption();
}

void TCustomgxTreeListControl::GetColumnCaption(int AColumn, std::wstring& AText) {
  AText = Columns(AColumn)->Caption();
}

bool TCustomgxTreeListControl::GetHeaderDropDownState(int AColumn) {
  return !Columns(AColumn)->DisableFilter() && TCustomgxTreeList::GetHeaderDropDownState(AColumn);
}

TgxTreeListColumnSort TCustomgxTreeListControl::GetColumnSorted(int AColumn) {
  TgxTreeListColumn* column = Columns(AColumn);
  TgxTreeListColumnSort sorted = column->Sorted();
  if (OnColumnSorted)
    OnColumnSorted(this, column, sorted);
  return sorted;
}

bool TCustomgxTreeListControl::GetColumnTabStop(int AColumn) {
  return Columns(AColumn)->TabStop();
}

void TCustomgxTreeListControl::GetCellText(TgxTreeListNode* ANode, int AColumn,
                                           std::wstring& AText) {
  AText = ANode ? GetNodeString(ANode, AColumn) : std::wstring();
}

bool TCustomgxTreeListControl::IsColumnMultiLine(int AColumn) {
  return Columns(AColumn)->IsMultiLine();
}

int TCustomgxTreeListControl::GetColumnTextHeight(TCanvas* ACanvas, int AColumn) {
  return std::max(TCustomgxTreeList::GetColumnTextHeight(ACanvas, AColumn),
                  Columns(AColumn)->GetMinRowHeight());
}

bool TCustomgxTreeListControl::IsColumnSizable(int AColumn) {
  return TCustomgxTreeList::IsColumnSizable(AColumn) && Columns(AColumn)->Sizing();
}

void TCustomgxTreeListControl::SetColumnWidth(int AColumn, int AWidth) {
  // The user's sizing: stored quietly, the caller lays out.
  TgxTreeListColumn* column = Columns(AColumn);
  if (!column->Sizing())
    return;
  column->FWidth = std::max(AWidth, column->MinWidth());
  column->FAssignedValues |= ColumnValueBit(cvWidth);
}

void TCustomgxTreeListControl::ScaleColumnWidths(int ABand, int ANumerator, int ADenominator) {
  if (ADenominator == 0)
    return;
  const int band = FBands->GetAbsoluteIndex(ABand);
  BeginUpdate();
  try {
    // The shown columns are the caller's: it shares out their widths.
    for (TgxTreeListColumn* column : FColumns)
      if (column->BandIndex() == band && !column->Visible() && column->Sizing())
        column->SetWidth(MulDiv(column->Width(), ANumerator, ADenominator));
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TCustomgxTreeListControl::DoColumnClick(int AColumn) {
  TgxTreeListColumn* column = Columns(AColumn);
  if (OnColumnClick)
    OnColumnClick(this, column);
  if (IsAutoSort())
    ToggleColumnSort(column);
}

void TCustomgxTreeListControl::DoHeaderButtonClick() {
  if (OnHeaderButtonClick)
    OnHeaderButtonClick(this);
}

bool TCustomgxTreeListControl::CanHeaderDragging(int AColumn) {
  TgxTreeListColumn* column = Columns(AColumn);
  bool allow = TCustomgxTreeList::CanHeaderDragging(AColumn) && !column->DisableDragging();
  if (allow && OnCanHeaderDragging)
    OnCanHeaderDragging(this, column, allow);
  return allow;
}

void TCustomgxTreeListControl::StartHeaderDragging(int AColumn) {
  TCustomgxTreeList::StartHeaderDragging(AColumn);
  if (OnStartHeaderDragging)
    OnStartHeaderDragging(this, Columns(AColumn));
}

void TCustomgxTreeListControl::DoDragOverHeader(POINT APoint, int AColumn, bool& AAccept) {
  TCustomgxTreeList::DoDragOverHeader(APoint, AColumn, AAccept);
  if (OnDragOverHeader)
    OnDragOverHeader(this, Columns(AColumn), APoint, AAccept);
}

void TCustomgxTreeListControl::DoDragEndHeader(POINT APoint, int AColumn) {
  TCustomgxTreeList::DoDragEndHeader(APoint, AColumn);
  TgxTreeListColumn* column = Columns(AColumn);
  TgxHeaderPosInfo position = FDragPosInfo;
  bool accept = true;
  if (OnDragEndHeader)
    OnDragEndHeader(this, column, APoint, position, accept);
  if (!accept || FBands->VisibleCount() != 1)
    return;
  if (OnColumnMoved)
    OnColumnMoved(this, column->ColIndex(), position.ColIndex);
  if (OnEndDragColumn) {
    int newPosition = position.ColIndex;
    OnEndDragColumn(this, APoint.x, APoint.y, column, newPosition);
  }
}

void TCustomgxTreeListControl::MoveHeader(int AColumn, int ABand, int ACol, int ARow) {
  TgxTreeListColumn* column = Columns(AColumn);
  {
    BeginUpdate();
    struct TEnd {
      TCustomgxTreeListControl* FList;
      ~TEnd() { FList->EndUpdate(); }
    } end{this};
    column->SetBandIndex(FBands->GetAbsoluteIndex(ABand));
    column->SetRowIndex(ARow);
    column->SetColIndex(ACol);
  }
  if (OnHeaderMoved)
    OnHeaderMoved(this, column);
}

void TCustomgxTreeListControl::HideHeader(int AColumn) {
  TgxTreeListColumn* column = Columns(AColumn);
  column->SetVisible(false);
  if (OnHideHeader)
    OnHideHeader(this, column);
}

void TCustomgxTreeListControl::ShowHeader(int ABand, int ARow, int AColumn, int ACol) {
  TgxTreeListColumn* column = Columns(AColumn);
  {
    BeginUpdate();
    struct TEnd {
      TCustomgxTreeListControl* FList;
      ~TEnd() { FList->EndUpdate(); }
    } end{this};
    column->SetBandIndex(FBands->GetAbsoluteIndex(ABand));
    column->SetVisible(true);
    column->SetRowIndex(ARow);
    column->SetColIndex(ACol);
  }
  if (OnShowHeader)
    OnShowHeader(this, column, ABand, ARow, ACol);
}

bool TCustomgxTreeListControl::IsHeaderCustomizingDisabled(int AColumn) {
  return Columns(AColumn)->DisableCustomizing();
}

bool TCustomgxTreeListControl::IsHeaderListedInCustomizeBox(int AColumn) {
  TgxTreeListColumn* column = Columns(AColumn);
  return !(column->Visible() && column->BandIndex() != -1) && !column->DisableCustomizing();
}

bool TCustomgxTreeListControl::IsHeaderVisible(int AColumn) {
  TgxTreeListColumn* column = Columns(AColumn);
  const int band = column->BandIndex();
  return column->Visible() && band != -1 && FBands->Count() > 0 && band < FBands->Count() &&
         FBands->Items(band)->Visible();
}

void TCustomgxTreeListControl::GetNodeDragText(TgxTreeListNode* ANode, int AColumn,
                                               std::wstring& AText) {
  TCustomgxTreeList::GetNodeDragText(ANode, AColumn, AText);
  if (OnGetNodeDragText)
    OnGetNodeDragText(this, ANode, AColumn, AText);
}

bool TCustomgxTreeListControl::CanEditModify() {
  TgxTreeListColumn* column = FocusedColumnObject();
  return column && !column->ReadOnly();
}

void TCustomgxTreeListControl::DoEditing(TgxTreeListNode* ANode, bool& AAllow) {
  TCustomgxTreeList::DoEditing(ANode, AAllow);
  if (AAllow)
    if (TgxTreeListColumn* column = FocusedColumnObject())
      AAllow = column->CanShowEditor();
}

bool TCustomgxTreeListControl::IsHotTrackCellAt(int AX, int AY, int& AActiveIndex, int AColumn,
                                                TgxTreeListNode* ANode) {
  if (TCustomgxTreeList::IsHotTrackCellAt(AX, AY, AActiveIndex, AColumn, ANode) || AColumn == -1)
    return TCustomgxTreeList::IsHotTrackCellAt(AX, AY, AActiveIndex, AColumn, ANode);
  return Columns(AColumn)->IsHotTrack();
}

void TCustomgxTreeListControl::GetHeaderHotTrack(int AX, int AY, int AColumn,
                                                 TgxTreeListHeaderHotTrack& AHeaderHotTrack) {
  TCustomgxTreeList::GetHeaderHotTrack(AX, AY, AColumn, AHeaderHotTrack);
  if (AColumn != -1 && AHeaderHotTrack != hhtNone && !Columns(AColumn)->IsFilterEnabled())
    AHeaderHotTrack = hhtNone;
}

bool TCustomgxTreeListControl::IsShowCellButton(TgxTreeListNode* ANode, int AColumn) {
  const bool base = TCustomgxTreeList::IsShowCellButton(ANode, AColumn);
  if (!base || AColumn == -1)
    return base;
  return Columns(AColumn)->ShowsButton(base);
}

void TCustomgxTreeListControl::DoHotTrackNode(const TgxTreeListHotTrackInfo& AInfo,
                                              TCursor& ACursor) {
  if (AInfo.Node && AInfo.Column >= 0 && AInfo.Column < ColumnCount())
    Columns(AInfo.Column)->DoHotTrack(AInfo.Node, AInfo.ActiveIndex);
  TCustomgxTreeList::DoHotTrackNode(AInfo, ACursor);
}

bool TCustomgxTreeListControl::HandleSingleClickEdit(int AVisibleColumn, TgxTreeListNode* ANode,
                                                     int AX, int AY) {
  if (!SingleClickCheckEdit())
    return false;
  const int index = GetFocusedAbsoluteIndex(AVisibleColumn);
  if (index < 0 || index >= ColumnCount())
    return false;
  TgxTreeListColumn* column = FColumns[index];
  const RECT rect = GetEditRect(ANode, AVisibleColumn);
  return column->GetEditorClass().ClassOps().DoesEditorNeedActivating(rect, taCenter, AX, AY);
}

TgxInplaceEdit* TCustomgxTreeListControl::CreateTextEditor(int AVisibleColumn) {
  TgxTreeListColumn* column = FocusedColumnObject();
  if (!column)
    return TCustomgxTreeList::CreateTextEditor(AVisibleColumn);
  TgxInplaceEdit* editor = column->GetEditorClass().Create(this);
  FEditors.push_back(editor);
  FInplaceEdit = editor;
  return editor;
}

TgxInplaceEdit* TCustomgxTreeListControl::FindInplaceEditor(int AVisibleColumn) {
  TgxTreeListColumn* column = FocusedColumnObject();
  if (!column)
    return TCustomgxTreeList::FindInplaceEditor(AVisibleColumn);
  const TgxTreeListEditorClass& kind = column->GetEditorClass();
  for (TgxInplaceEdit* editor : FEditors)
    if (kind.IsKindOf(editor)) {
      FInplaceEdit = editor;
      return editor;
    }
  return nullptr;
}

void TCustomgxTreeListControl::InitEditProperties(TgxInplaceEdit* AEditor) {
  TCustomgxTreeList::InitEditProperties(AEditor);
  if (TgxTreeListColumn* column = FocusedColumnObject())
    column->InitEditor(AEditor);
}

void TCustomgxTreeListControl::GetNodeEditValue(TgxTreeListNode* ANode, TgxInplaceEdit* AEditor,
                                                TgxVariant& AValue) {
  if (TgxTreeListColumn* column = FocusedColumnObject())
    column->LoadEditValue(ANode, AEditor, AValue);
  else
    TCustomgxTreeList::GetNodeEditValue(ANode, AEditor, AValue);
}
