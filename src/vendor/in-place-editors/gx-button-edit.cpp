#include "gx-button-edit.h"

#include "rtl-exceptions.h"

#include <cwchar>

namespace {

// The collection a new button would join, refused when it is full.
TCollection* CheckRoom(TCollection* ACollection) {
  if (ACollection && ACollection->Count() > kgxMaxEditButtons - 1) {
    wchar_t text[64];
    std::swprintf(text, 64, kgxTooManyButtonsText, kgxMaxEditButtons);
    throw Exception(text);
  }
  return ACollection;
}

// One update bracket of a collection, closed on every exit.
class TCollectionUpdate {
public:
  explicit TCollectionUpdate(TCollection* ACollection) : FCollection(ACollection) {
    if (FCollection)
      FCollection->BeginUpdate();
  }
  ~TCollectionUpdate() {
    if (FCollection)
      FCollection->EndUpdate();
  }
  TCollectionUpdate(const TCollectionUpdate&) = delete;
  TCollectionUpdate& operator=(const TCollectionUpdate&) = delete;

private:
  TCollection* FCollection;
};

TShortCut ShortCutOf(WORD AKey, TShiftState AShift) {
  TShortCut modifiers = 0;
  if (AShift & ssShift)
    modifiers |= scShift;
  if (AShift & ssCtrl)
    modifiers |= scCtrl;
  if (AShift & ssAlt)
    modifiers |= scAlt;
  return ShortCut(AKey, modifiers);
}

} // namespace

// ===========================================================================
// TgxEditButton

TgxEditButton::TgxEditButton(TCollection* ACollection) : TCollectionItem(nullptr) {
  // The button joins only once it is whole: joining reports an update, and
  // the update reads the buttons.
  SetCollection(CheckRoom(ACollection));
}

void TgxEditButton::RestoreDefaults() {
  FGlyph.reset();
  FKind = bkEllipsis;
  FLeftAlignment = false;
  FVisible = true;
  FWidth = 0;
  Changed(true);
}

void TgxEditButton::Assign(const TPersistent* ASource) {
  auto* source = dynamic_cast<const TgxEditButton*>(ASource);
  if (!source) {
    TCollectionItem::Assign(ASource);
    return;
  }
  TCollectionUpdate update(Collection());
  RestoreDefaults();
  SetDefault(source->FDefault);
  SetGlyph(&const_cast<TgxEditButton*>(source)->Glyph());
  SetKind(source->FKind);
  SetLeftAlignment(source->FLeftAlignment);
  SetVisible(source->FVisible);
  SetWidth(source->FWidth);
}

void TgxEditButton::SetDefault(bool AValue) {
  if (AValue == FDefault)
    return;
  if (AValue) {
    if (auto* buttons = dynamic_cast<TgxEditButtons*>(Collection()))
      for (int i = 0; i < buttons->Count(); ++i)
        buttons->Items(i)->FDefault = false;
  }
  FDefault = AValue;
  Changed(true);
}

TBitmap& TgxEditButton::Glyph() {
  if (!FGlyph)
    FGlyph = std::make_unique<TBitmap>();
  return *FGlyph;
}

void TgxEditButton::SetGlyph(TBitmap* AValue) {
  if (!AValue)
    FGlyph.reset();
  else if (AValue != FGlyph.get())
    Glyph().Assign(AValue);
  Changed(true);
}

#define GX_BUTTON_SETTER(Name, Type)                                                               \
  void TgxEditButton::Set##Name(Type AValue) {                                                     \
    if (AValue == F##Name)                                                                         \
      return;                                                                                      \
    F##Name = AValue;                                                                              \
    Changed(true);                                                                                 \
  }
GX_BUTTON_SETTER(Kind, TgxEditButtonKind)
GX_BUTTON_SETTER(LeftAlignment, bool)
GX_BUTTON_SETTER(Visible, bool)
GX_BUTTON_SETTER(Width, int)
#undef GX_BUTTON_SETTER

// ===========================================================================
// TgxEditButtons

TgxEditButtons::TgxEditButtons(TComponent* AOwner)
    : TCollection([](TCollection* ACollection) { return new TgxEditButton(ACollection); }, AOwner),
      FOwner(AOwner) {}

int TgxEditButtons::GetAbsoluteIndex(int AVisibleIndex) const {
  if (AVisibleIndex < 0)
    return -1;
  int visible = -1;
  for (int i = 0; i < Count(); ++i)
    if (Items(i)->Visible() && ++visible == AVisibleIndex)
      return i;
  return -1;
}

int TgxEditButtons::GetVisibleIndex(int AAbsoluteIndex) const {
  if (AAbsoluteIndex < 0 || AAbsoluteIndex >= Count() || !Items(AAbsoluteIndex)->Visible())
    return -1;
  int visible = 0;
  for (int i = 0; i <= AAbsoluteIndex; ++i)
    if (Items(i)->Visible())
      ++visible;
  return visible - 1;
}

int TgxEditButtons::VisibleCount() const {
  int count = 0;
  for (int i = 0; i < Count(); ++i)
    if (Items(i)->Visible())
      ++count;
  return count;
}

TgxEditButton* TgxEditButtons::VisibleItems(int AVisibleIndex) const {
  const int index = GetAbsoluteIndex(AVisibleIndex);
  return index < 0 ? nullptr : Items(index);
}

void TgxEditButtons::RestoreDefaults() {
  TCollectionUpdate update(this);
  for (int i = 0; i < Count(); ++i)
    Items(i)->RestoreDefaults();
}

void TgxEditButtons::Update(TCollectionItem* /*AItem*/) {
  if (FOwner && !FOwner->ComponentState().Contains(csLoading) && Count() == 1)
    Items(0)->FDefault = true;
}

void TgxInplaceEditButtons::Update(TCollectionItem* AItem) {
  TgxEditButtons::Update(AItem);
  if (auto* editor = dynamic_cast<TgxInplaceButtonEdit*>(Owner()))
    if (!editor->ComponentState().Contains(csDestroying))
      editor->RefreshView();
}

// ===========================================================================
// TgxButtonEditClass

const TgxButtonEditClass& TgxButtonEditClass::Instance() {
  static const TgxButtonEditClass instance;
  return instance;
}

void TgxButtonEditClass::CalcButtonsInfo(TgxDropDownEditViewData& AViewData) const {
  TgxDropDownEditClass::CalcButtonsInfo(AViewData);
  auto* data = dynamic_cast<TgxButtonEditViewData*>(&AViewData);
  if (!data || !data->EditButtons || data->HideButtons)
    return;
  TgxEditButtons& buttons = *data->EditButtons;
  data->Buttons.fill(TgxEditButtonInfo{});
  data->ButtonCount = std::min(buttons.VisibleCount(), kgxMaxEditButtons);
  int total = 0;
  for (int i = 0; i < data->ButtonCount; ++i) {
    TgxEditButton* button = buttons.VisibleItems(i);
    TgxEditButtonInfo& info = data->Buttons[size_t(i)];
    info.Glyph = button->HasGlyph() ? button->GlyphOrNull() : nullptr;
    info.Index = i;
    info.Kind = button->Kind();
    info.LeftAlignment = button->LeftAlignment();
    info.Width = button->Width() != 0 ? button->Width() : CalcDefaultButtonWidth(*data, info);
    total += info.Width;
  }
  if (data->ButtonOnly && data->ButtonCount > 0) {
    TgxEditViewInfo bounds;
    CalcBoundsInfo(*data, bounds);
    const int client = bounds.ClientBounds.right - bounds.ClientBounds.left;
    if (total < client)
      data->Buttons[size_t(data->ButtonCount - 1)].Width += client - total;
  }
}

void TgxButtonEditClass::CalcViewInfo(TgxEditViewData& AViewData, bool AAutoSize,
                                      TgxEditViewInfo& AViewInfo) const {
  TgxDropDownEditClass::CalcViewInfo(AViewData, AAutoSize, AViewInfo);
  auto* data = dynamic_cast<TgxButtonEditViewData*>(&AViewData);
  if (data && data->ButtonOnly)
    AViewInfo.ClientBounds.right = AViewInfo.ClientBounds.left;
}

bool TgxButtonEditClass::DrawClientArea(HDC ADC, RECT& ARect, TgxEditViewData& AViewData,
                                        bool AIsControl) const {
  auto* data = dynamic_cast<TgxButtonEditViewData*>(&AViewData);
  return TgxDropDownEditClass::DrawClientArea(ADC, ARect, AViewData,
                                              AIsControl && !(data && data->HideEditCursor));
}

// ===========================================================================
// TgxInplaceButtonEdit

TgxInplaceButtonEdit::TgxInplaceButtonEdit(TComponent* AOwner)
    : TgxInplaceDropDownEdit(AOwner), FButtons(std::make_unique<TgxInplaceEditButtons>(this)) {
  FButtons->Add();
}

TgxInplaceButtonEdit::~TgxInplaceButtonEdit() {
  DestroyHandle();
}

void TgxInplaceButtonEdit::SetViewStyle(TgxButtonEditViewStyle AValue) {
  if (AValue == FViewStyle)
    return;
  FViewStyle = AValue;
  RecreateWnd();
}

TgxEditViewData* TgxInplaceButtonEdit::CreateViewData(bool AFromDefinition) {
  TgxEditViewData* data = TgxInplaceDropDownEdit::CreateViewData(AFromDefinition);
  if (auto* buttons = dynamic_cast<TgxButtonEditViewData*>(data)) {
    buttons->EditButtons = FButtons.get();
    buttons->ButtonOnly = FViewStyle == vsButtonOnly && FButtons->Count() > 0;
    buttons->HideEditCursor = !data->IsEditClass;
  }
  return data;
}

void TgxInplaceButtonEdit::ButtonClick(int AButtonIndex) {
  if (OnButtonClick && AButtonIndex >= 0 && AButtonIndex < FButtons->VisibleCount())
    OnButtonClick(this, FButtons->GetAbsoluteIndex(AButtonIndex));
  DoDropDown();
}

void TgxInplaceButtonEdit::ClickDefaultButton() {
  for (int i = 0; i < FButtons->VisibleCount(); ++i)
    if (FButtons->VisibleItems(i)->Default()) {
      ButtonClick(i);
      return;
    }
}

void TgxInplaceButtonEdit::KeyDown(WORD& AKey, TShiftState AShift) {
  if (!IsEditClass() && (AKey == VK_LEFT || AKey == VK_RIGHT)) {
    MoveToNextCell(AKey == VK_LEFT);
    AKey = 0;
    return;
  }
  if (FButtons->Count() > 0 && ShortCutOf(AKey, AShift) == FClickKey && CanModify()) {
    if (HandleAllocated())
      KillMessage(Handle(), WM_CHAR);
    ClickDefaultButton();
    AKey = 0;
    return;
  }
  TgxInplaceDropDownEdit::KeyDown(AKey, AShift);
}

LRESULT TgxInplaceButtonEdit::DialogCode() {
  LRESULT code = TgxInplaceDropDownEdit::DialogCode();
  if (EditClass().IsInplace())
    code |= DLGC_WANTARROWS;
  return code;
}

void TgxInplaceButtonEdit::Loaded() {
  TgxInplaceDropDownEdit::Loaded();
  if (!FExistButtons)
    FButtons->Clear();
}
