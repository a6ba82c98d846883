#include "gx-container.h"

#include "application.h"
#include "resource-ledger.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

TgxEditStyleController* GDefaultEditStyleController = nullptr;

int RectWidth(const RECT& R) {
  return R.right - R.left;
}
int RectHeight(const RECT& R) {
  return R.bottom - R.top;
}
bool IsEmptyRect(const RECT& R) {
  return R.right <= R.left || R.bottom <= R.top;
}

// The handler's answer while it runs; the previous value after.
class TCounterScope {
public:
  explicit TCounterScope(int& ACounter) : FCounter(ACounter) { ++FCounter; }
  TCounterScope(const TCounterScope&) = delete;
  TCounterScope& operator=(const TCounterScope&) = delete;
  ~TCounterScope() { --FCounter; }

private:
  int& FCounter;
};

// The built-in constants every fallback ends at.
const TgxEditStyleController& BuiltInLook() {
  static const TgxEditStyleController look(nullptr);
  return look;
}

} // namespace

std::wstring VarToText(const TgxVariant& AValue) {
  struct TVisitor {
    std::wstring operator()(std::monostate) const { return {}; }
    std::wstring operator()(const std::wstring& AText) const { return AText; }
    std::wstring operator()(int64_t AValue) const { return std::to_wstring(AValue); }
    std::wstring operator()(double AValue) const {
      wchar_t text[64];
      std::swprintf(text, 64, L"%.15g", AValue);
      return text;
    }
    std::wstring operator()(bool AValue) const { return AValue ? L"True" : L"False"; }
  };
  return std::visit(TVisitor{}, AValue);
}

uint16_t TextFlagsOf(TAlignment AAlignment, TgxDrawAlignment ADrawAlignment) {
  static constexpr uint16_t kAlign[] = {gxdtLeft, gxdtRight, gxdtCenter};
  static constexpr uint16_t kLayout[] = {0, gxdtVCenter, gxdtBottom, gxdtWordWrap,
                                         gxdtWordWrapVCenter};
  return uint16_t(kAlign[AAlignment] | kLayout[ADrawAlignment]);
}

// ===========================================================================
// TgxStyleController

TgxStyleController::TgxStyleController(TComponent* AOwner) : TComponent(AOwner) {}

void TgxStyleController::AddLink(TPersistent* AItem) {
  FLinks.push_back(AItem);
}

void TgxStyleController::RemoveLink(TPersistent* AItem) {
  auto it = std::find(FLinks.begin(), FLinks.end(), AItem);
  if (it != FLinks.end())
    FLinks.erase(it);
}

void TgxStyleController::LinkChanged(TPersistent* AItem) {
  if (OnStyleChanged)
    OnStyleChanged(this, AItem);
}

void TgxStyleController::Loaded() {
  TComponent::Loaded();
  Update();
}

void TgxStyleController::Changed() {
  if (FLockUpdate != 0 || FComponentState.Contains(csLoading))
    return;
  const size_t count = FLinks.size();
  for (size_t i = 0; i < count && i < FLinks.size(); ++i)
    LinkChanged(FLinks[i]);
}

// ===========================================================================
// TgxEditStyleController

TgxEditStyleController::TgxEditStyleController(TComponent* AOwner) : TgxStyleController(AOwner) {}

#define GX_CONTROLLER_SETTER(Name, Type)                                                           \
  void TgxEditStyleController::Set##Name(Type AValue) {                                            \
    if (F##Name == AValue)                                                                         \
      return;                                                                                      \
    F##Name = AValue;                                                                              \
    Changed();                                                                                     \
  }
GX_CONTROLLER_SETTER(BorderColor, TColor)
GX_CONTROLLER_SETTER(BorderStyle, TgxEditBorderStyle)
GX_CONTROLLER_SETTER(ButtonStyle, TgxEditButtonViewStyle)
GX_CONTROLLER_SETTER(ButtonTransparence, TgxEditButtonTransparence)
GX_CONTROLLER_SETTER(Edges, TgxEditEdges)
GX_CONTROLLER_SETTER(HotTrack, bool)
GX_CONTROLLER_SETTER(Shadow, bool)
#undef GX_CONTROLLER_SETTER

void TgxEditStyleController::Assign(const TPersistent* ASource) {
  const auto* source = dynamic_cast<const TgxEditStyleController*>(ASource);
  if (!source) {
    TgxStyleController::Assign(ASource);
    return;
  }
  BeginUpdate();
  try {
    SetBorderColor(source->FBorderColor);
    SetBorderStyle(source->FBorderStyle);
    SetButtonStyle(source->FButtonStyle);
    SetButtonTransparence(source->FButtonTransparence);
    SetEdges(source->FEdges);
    SetHotTrack(source->FHotTrack);
    SetShadow(source->FShadow);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TgxEditStyleController::RestoreDefaults() {
  BeginUpdate();
  try {
    SetBorderColor(kgxDefaultBorderColor);
    SetBorderStyle(xbs3D);
    SetButtonStyle(btsDefault);
    SetButtonTransparence(ebtNone);
    SetEdges(kgxAllEdges);
    SetHotTrack(false);
    SetShadow(false);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TgxEditStyleController::LinkChanged(TPersistent* AItem) {
  auto* edit = dynamic_cast<TgxInplaceEdit*>(AItem);
  if (!edit)
    return;
  if (edit->StyleController() && edit->StyleController() != this)
    return;
  edit->RefreshView();
  TgxStyleController::LinkChanged(AItem);
}

// ===========================================================================
// TgxEditStyle

TgxEditStyle::TgxEditStyle(TgxInplaceEdit* AEdit) : FEdit(AEdit) {
  LinkDefault();
}

TgxEditStyle::~TgxEditStyle() {
  UnlinkDefault();
}

void TgxEditStyle::LinkDefault() {
  // The default controller is the base's until a derived style's
  // constructor has run; a derived style links its own from there.
  FLinkedDefault = GetDefaultEditStyleController();
  if (FLinkedDefault)
    FLinkedDefault->AddLink(FEdit);
}

void TgxEditStyle::UnlinkDefault() {
  if (FLinkedDefault && FLinkedDefault == GDefaultEditStyleController)
    FLinkedDefault->RemoveLink(FEdit);
  FLinkedDefault = nullptr;
}

TgxEditStyleController* TgxEditStyle::GetDefaultEditStyleController() {
  return GDefaultEditStyleController;
}

TgxEditStyleController* TgxEditStyle::DefaultController() const {
  return GetDefaultEditStyleController();
}

TgxEditStyleController* TgxEditStyle::FallbackController() const {
  if (FEdit && FEdit->StyleController())
    return FEdit->StyleController();
  return DefaultController();
}

template <typename T> void TgxEditStyle::Store(T& AField, T AValue, TgxEditStyleValue ABit) {
  if (IsStored(ABit) && AField == AValue)
    return;
  AField = AValue;
  FAssignedValues |= StyleValueBit(ABit);
  NotifyEdit();
}

void TgxEditStyle::SetAssignedValues(TgxEditStyleValues AValue) {
  if (AValue == FAssignedValues)
    return;
  FAssignedValues = AValue;
  NotifyEdit();
}

#define GX_STYLE_VALUE(Name, Type, Bit)                                                            \
  Type TgxEditStyle::Name() {                                                                      \
    return IsStored(Bit) ? F##Name : Default##Name();                                              \
  }                                                                                                \
  void TgxEditStyle::Set##Name(Type AValue) {                                                      \
    Store(F##Name, AValue, Bit);                                                                   \
  }                                                                                                \
  Type TgxEditStyle::Default##Name() {                                                             \
    if (TgxEditStyleController* controller = FallbackController())                                 \
      return controller->Name();                                                                   \
    return BuiltInLook().Name();                                                                   \
  }
GX_STYLE_VALUE(BorderColor, TColor, svBorderColor)
GX_STYLE_VALUE(BorderStyle, TgxEditBorderStyle, svBorderStyle)
GX_STYLE_VALUE(ButtonStyle, TgxEditButtonViewStyle, svButtonStyle)
GX_STYLE_VALUE(ButtonTransparence, TgxEditButtonTransparence, svButtonTransparence)
GX_STYLE_VALUE(Edges, TgxEditEdges, svEdges)
GX_STYLE_VALUE(HotTrack, bool, svHotTrack)
GX_STYLE_VALUE(Shadow, bool, svShadow)
#undef GX_STYLE_VALUE

void TgxEditStyle::NotifyEdit() {
  if (FEdit)
    FEdit->RefreshView();
}

void TgxEditStyle::RestoreDefaults() {
  FAssignedValues = 0;
  NotifyEdit();
}

void TgxEditStyle::Assign(const TPersistent* ASource) {
  auto* source = const_cast<TgxEditStyle*>(dynamic_cast<const TgxEditStyle*>(ASource));
  if (!source) {
    TPersistent::Assign(ASource);
    return;
  }
  SetBorderColor(source->BorderColor());
  SetBorderStyle(source->BorderStyle());
  SetButtonStyle(source->ButtonStyle());
  SetButtonTransparence(source->ButtonTransparence());
  SetEdges(source->Edges());
  SetHotTrack(source->HotTrack());
  SetShadow(source->Shadow());
}

// ===========================================================================
// TgxInplaceEditClass

const TgxInplaceEditClass& TgxInplaceEditClass::Instance() {
  static const TgxInplaceEditClass instance;
  return instance;
}

void TgxInplaceEditClass::CalcBoundsInfo(TgxEditViewData& AViewData,
                                         TgxEditViewInfo& AViewInfo) const {
  AViewInfo = TgxEditViewInfo{};
  AViewInfo.ShadowSize = AViewData.Shadow ? 2 : 0;
  AViewInfo.Bounds = AViewData.ViewBounds;
  AViewInfo.ClientBounds = {AViewInfo.Bounds.left + 2, AViewInfo.Bounds.top + 2,
                            AViewInfo.Bounds.right - 2 - AViewInfo.ShadowSize,
                            AViewInfo.Bounds.bottom - 2 - AViewInfo.ShadowSize};
  static constexpr int kBorderSizes[] = {0, 1, 2, 2, 2};
  AViewInfo.BorderSize = kBorderSizes[AViewData.BorderStyle];
}

void TgxInplaceEditClass::CalcViewInfo(TgxEditViewData& AViewData, bool AAutoSize,
                                       TgxEditViewInfo& AViewInfo) const {
  CalcBoundsInfo(AViewData, AViewInfo);
  if (AAutoSize) {
    const RECT minimum = GetMinRect(AViewData);
    int height;
    if (!IsEmptyRect(minimum)) {
      AViewInfo.Bounds.right =
          AViewInfo.Bounds.left + RectWidth(minimum) + 4 + AViewInfo.ShadowSize;
      AViewInfo.ClientBounds.right = AViewInfo.Bounds.left + 2 + RectWidth(minimum);
      height = RectHeight(minimum);
    } else {
      height = GetMinHeight(AViewData);
    }
    AViewInfo.Bounds.bottom = AViewInfo.Bounds.top + height + 4 + AViewInfo.ShadowSize;
    AViewInfo.ClientBounds.bottom = AViewInfo.Bounds.top + 2 + height;
  }
  AViewInfo.FlagLeft = (AViewData.Edges & EdgeBit(edgLeft)) != 0;
  AViewInfo.FlagTop = (AViewData.Edges & EdgeBit(edgTop)) != 0;
  AViewInfo.FlagRight = (AViewData.Edges & EdgeBit(edgRight)) != 0;
  AViewInfo.FlagBottom = (AViewData.Edges & EdgeBit(edgBottom)) != 0;
  AViewInfo.BorderRect = AViewInfo.ClientBounds;
  InflateRectByBorder(AViewInfo.BorderRect, AViewInfo, true);
  if (AViewInfo.ShadowSize > 0) {
    AViewInfo.ShadowRect = AViewInfo.BorderRect;
    OffsetRect(&AViewInfo.ShadowRect, AViewInfo.ShadowSize, AViewInfo.ShadowSize);
  }
}

void TgxInplaceEditClass::InflateRectByBorder(RECT& ARect, const TgxEditViewInfo& AViewInfo,
                                              bool AGrow) {
  const int size = AViewInfo.BorderSize;
  if (size <= 0)
    return;
  const int d = AGrow ? size : -size;
  if (AViewInfo.FlagLeft)
    ARect.left -= d;
  if (AViewInfo.FlagTop)
    ARect.top -= d;
  if (AViewInfo.FlagRight)
    ARect.right += d;
  if (AViewInfo.FlagBottom)
    ARect.bottom += d;
}

void TgxInplaceEditClass::DrawBorder(HDC ADC, TgxEditViewInfo& AViewInfo,
                                     TgxEditViewData& AViewData) const {
  if (AViewData.BorderStyle != xbsNone) {
    RECT r = AViewInfo.BorderRect;
    const UINT sides = (AViewInfo.FlagLeft ? BF_LEFT : 0) | (AViewInfo.FlagTop ? BF_TOP : 0) |
                       (AViewInfo.FlagRight ? BF_RIGHT : 0) |
                       (AViewInfo.FlagBottom ? BF_BOTTOM : 0);
    switch (AViewData.BorderStyle) {
    case xbsSingle:
    case xbsThick: {
      HBRUSH brush = CreateSolidBrush(ColorToColorRef(ColorToRGB(AViewData.BorderColor)));
      const int size = AViewInfo.BorderSize;
      if (AViewData.Edges == kgxAllEdges) {
        for (int i = 0; i < size; ++i) {
          FrameRect(ADC, &r, brush);
          InflateRect(&r, -1, -1);
        }
      } else {
        const int top = AViewInfo.FlagTop ? r.top : r.top - size;
        if (AViewInfo.FlagLeft) {
          const RECT strip{r.left, top, r.left + size, r.bottom};
          FillRect(ADC, &strip, brush);
        }
        if (AViewInfo.FlagTop) {
          const RECT strip{r.left, r.top, r.right, r.top + size};
          FillRect(ADC, &strip, brush);
        }
        if (AViewInfo.FlagRight) {
          const RECT strip{r.right - size, top, r.right, r.bottom};
          FillRect(ADC, &strip, brush);
        }
        if (AViewInfo.FlagBottom) {
          const RECT strip{r.left, r.bottom - size, r.right, r.bottom};
          FillRect(ADC, &strip, brush);
        }
      }
      DeleteObject(brush);
      break;
    }
    case xbsFlat:
      DrawEdge(ADC, &r, BDR_SUNKENOUTER, sides | BF_ADJUST);
      DrawEdge(ADC, &r, BDR_SUNKENINNER, sides | BF_FLAT);
      break;
    case xbs3D:
      DrawEdge(ADC, &r, EDGE_SUNKEN, sides);
      break;
    default:
      break;
    }
  }
  if (AViewData.Shadow)
    DrawShadow(ADC, AViewInfo.ShadowRect, AViewInfo.ShadowSize, GetBtnShadowBrush());
}

bool TgxInplaceEditClass::DrawClientArea(HDC ADC, RECT& ARect, TgxEditViewData& AViewData,
                                         bool /*AIsControl*/) const {
  if (!AViewData.CalcHeight && AViewData.Brush)
    FillRect(ADC, &ARect, AViewData.Brush);
  return true;
}

void TgxInplaceEditClass::Draw(HDC ADC, const RECT& /*ARect*/, TgxEditViewData& AViewData,
                               HRGN ARgn) const {
  TgxEditViewInfo info;
  CalcViewInfo(AViewData, false, info);
  DrawBorder(ADC, info, AViewData);
  RECT client = info.ClientBounds;
  DrawClientArea(ADC, client, AViewData, false);
  if (ARgn) {
    HRGN frame = GetEditRgn(info);
    if (!frame)
      frame = CreateRectRgnIndirect(&info.BorderRect);
    CombineRgn(ARgn, ARgn, frame, RGN_DIFF);
    DeleteObject(frame);
  }
}

HRGN TgxInplaceEditClass::GetEditRgn(const TgxEditViewInfo& AViewInfo) const {
  const bool allEdges =
      AViewInfo.FlagLeft && AViewInfo.FlagTop && AViewInfo.FlagRight && AViewInfo.FlagBottom;
  if (AViewInfo.ShadowSize == 0 && AViewInfo.BorderSize > 1 && allEdges)
    return nullptr;
  HRGN region = CreateRectRgnIndirect(&AViewInfo.BorderRect);
  if (!IsEmptyRect(AViewInfo.ShadowRect)) {
    HRGN shadow = CreateRectRgnIndirect(&AViewInfo.ShadowRect);
    CombineRgn(region, region, shadow, RGN_OR);
    DeleteObject(shadow);
  }
  return region;
}

TCursor TgxInplaceEditClass::GetEditCursor(int /*AX*/, int /*AY*/,
                                           TgxEditViewData& AViewData) const {
  if (AViewData.Cursor != crDefault)
    return AViewData.Cursor;
  return AViewData.IsEditClass ? crDefault : crArrow;
}

int TgxInplaceEditClass::GetMinHeight(TgxEditViewData& AViewData) const {
  HDC screen = GetDC(nullptr);
  HGDIOBJ old = AViewData.Font ? SelectObject(screen, AViewData.Font) : nullptr;
  TEXTMETRICW metrics{};
  GetTextMetricsW(screen, &metrics);
  if (old)
    SelectObject(screen, old);
  ReleaseDC(nullptr, screen);
  return metrics.tmHeight + (IsInplace() ? 3 : 2 * (GetSystemMetrics(SM_CYBORDER) + 1));
}

RECT TgxInplaceEditClass::GetMinRect(TgxEditViewData& /*AViewData*/) const {
  return {0, 0, 0, 0};
}

bool TgxInplaceEditClass::DoesEditorNeedActivating(const RECT& /*ARect*/, TAlignment /*AAlignment*/,
                                                   int /*AX*/, int /*AY*/) const {
  return false;
}

TgxEditStyle* TgxInplaceEditClass::CreateEditStyle(TgxInplaceEdit* AEdit) const {
  return new TgxEditStyle(AEdit);
}

// ===========================================================================
// IgxEditContainer

TgxEditStyle* IgxEditContainer::CreateEditStyle(TgxInplaceEdit* AEdit) {
  return new TgxEditStyle(AEdit);
}

void IgxEditContainer::ScrollLines(bool AUp, int ACount) {
  TWinControl* control = ContainerControl();
  for (int i = 0; i < ACount; ++i)
    control->Perform(WM_VSCROLL, AUp ? SB_LINEUP : SB_LINEDOWN, 0);
}

void IgxEditContainer::DoEditKeyDown(WORD& AKey, TShiftState AShift) {
  if (OnEditKeyDown)
    OnEditKeyDown(ContainerControl(), AKey, AShift);
}

// ===========================================================================
// TgxInplaceEdit

TgxInplaceEdit::TgxInplaceEdit(TComponent* AOwner) : TWinControl(AOwner) {
  // The frame is the editor's own drawing, on the screen and in prints.
  FControlStyle |= csNeedsBorderPaint;
  FAutoSize = true;
  FDataAlignment = taLeftJustify;
  if (IgxEditContainer* container = Container())
    FStyle = container->CreateEditStyle(this);
  else
    FStyle = EditClass().CreateEditStyle(this);
  InitDataDefinition();
  if (IsInplaceKind()) {
    SetParentColor(false);
    SetCtl3D(false);
    SetTabStop(false);
    // Shown only by Move, through the editor's own visibility.
    SetVisible(false);
  } else {
    SetBounds(Left(), Top(), 121, 24);
    SetTabStop(true);
  }
}

TgxInplaceEdit::~TgxInplaceEdit() {
  BeforeDestruction();
  // The window's last messages still paint through the style.
  DestroyHandle();
  delete FDataDefinition;
  FDataDefinition = nullptr;
  delete FStyle;
  FStyle = nullptr;
}

void TgxInplaceEdit::BeforeDestruction() {
  if (FStyleController && !FStyleController->ComponentState().Contains(csDestroying))
    FStyleController->RemoveLink(this);
  FStyleController = nullptr;
  TWinControl::BeforeDestruction();
}

void TgxInplaceEdit::InitDataDefinition() {
  delete FDataDefinition;
  FDataDefinition = nullptr;
  FDataDefinition = CreateDataDefinition();
  if (!FDataDefinition)
    return;
  FDataDefinition->OnActiveChange = [this] { RefreshEdit(); };
  FDataDefinition->OnLayoutChanged = [this] { RefreshEdit(); };
  FDataDefinition->OnDataChange = [this] { LoadEditValue(); };
  FDataDefinition->OnFocusControl = [this](bool& ADone) { FocusEditor(ADone); };
  FDataDefinition->OnUpdateData = [this] { SaveEditValue(); };
}

void TgxInplaceEdit::InitEditStyle() {
  TgxEditStyle* style;
  if (IgxEditContainer* container = Container())
    style = container->CreateEditStyle(this);
  else
    style = EditClass().CreateEditStyle(this);
  delete FStyle;
  FStyle = style;
}

bool TgxInplaceEdit::CanFocus() const {
  if (!EditClass().IsInplace())
    return TWinControl::CanFocus();
  if (!FVisible || !Enabled())
    return false;
  return !Parent() || Parent()->CanFocus();
}

IgxEditContainer* TgxInplaceEdit::Container() const {
  if (!EditClass().IsInplace())
    return nullptr;
  return dynamic_cast<IgxEditContainer*>(Owner());
}

// --- value flow ----------------------------------------------------------------------

void TgxInplaceEdit::SetEditValue(const TgxVariant& AValue) {
  SetEditorText(VarToText(AValue));
}

void TgxInplaceEdit::ReadDefinitionProperties() {
  if (!FDataDefinition)
    return;
  if (!IsStored(svAlignment)) {
    const TAlignment alignment = FDataDefinition->GetAlignment();
    if (alignment != FDataAlignment) {
      FDataAlignment = alignment;
      Invalidate();
    }
  }
  if (!IsStored(svReadOnly))
    InternalSetReadOnly(InternalReadOnly());
}

void TgxInplaceEdit::GetDisplayValue(TgxVariant& AValue, bool AFromDefinition) {
  if (FDataDefinition && AFromDefinition) {
    AValue = FDataDefinition->GetDisplayValue();
    if (std::holds_alternative<std::monostate>(AValue))
      AValue = std::wstring();
  } else {
    AValue = GetEditorText();
  }
}

void TgxInplaceEdit::GetEditValue(TgxVariant& AValue) {
  AValue = GetEditorText();
}

void TgxInplaceEdit::LoadEditValue() {
  if (FDataDefinition)
    SetEditValue(FDataDefinition->GetEditValue());
  SetModified(false);
}

void TgxInplaceEdit::FocusEditor(bool& ADone) {
  if (CanFocus())
    SetFocus();
  ADone = true;
}

void TgxInplaceEdit::RefreshEdit() {
  ReadDefinitionProperties();
  LoadEditValue();
}

void TgxInplaceEdit::SaveEditValue() {
  ValidateEdit();
  if (FDataDefinition) {
    TgxVariant value;
    GetEditValue(value);
    FDataDefinition->StoreEditValue(value);
  }
}

bool TgxInplaceEdit::CanAcceptChar(wchar_t AKey) {
  if (IgxEditContainer* container = Container())
    return container->CanEditAcceptKey(AKey);
  if (FDataDefinition)
    return FDataDefinition->CanAcceptChar(AKey);
  return true;
}

void TgxInplaceEdit::DoChange() {
  if (OnChange)
    OnChange(this);
}

TgxEditViewData* TgxInplaceEdit::CreateViewData(bool AFromDefinition) {
  TgxEditViewData* data = EditClass().NewViewData();
  data->Enabled = Enabled();
  data->Focused = IsFocused();
  data->Selected = IsSelected();
  TgxEditBorderStyle border = FStyle->BorderStyle();
  data->BorderColor = FStyle->BorderColor();
  if (data->Selected && FStyle->HotTrack()) {
    switch (border) {
    case xbsNone:
      border = xbsFlat;
      break;
    case xbsSingle:
      data->BorderColor = TColor(RGB(10, 36, 106));
      break;
    case xbsFlat:
      border = xbs3D;
      break;
    default:
      break;
    }
  }
  data->BorderStyle = border;
  data->ButtonStyle = FStyle->ButtonStyle();
  if (data->ButtonStyle == btsDefault) {
    static constexpr TgxEditButtonViewStyle kByBorder[] = {btsSimple, btsHotFlat, bts3D, btsFlat,
                                                           bts3D};
    data->ButtonStyle = kByBorder[border];
  }
  const TgxEditButtonTransparence transparence = FStyle->ButtonTransparence();
  data->ButtonTransparence =
      transparence == ebtAlways || (transparence == ebtInactive && !data->Selected);
  data->Edges = FStyle->Edges();
  data->Shadow = FStyle->Shadow();
  data->Transparent = FTransparent && !data->Focused;
  data->ViewBounds = {0, 0, Width(), Height()};
  data->OffsetSize = FOffsetSize;
  data->DrawAlignment = daSingleLine;
  data->Font = Font().Handle();
  if (data->Enabled) {
    FBrush.SetColor(Color());
    data->Brush = FBrush.Handle();
    data->BkColor = ColorToColorRef(ColorToRGB(Color()));
    data->TextColor = ColorToColorRef(ColorToRGB(Font().Color()));
  } else {
    data->Brush = GetSysColorBrush(COLOR_BTNFACE);
    data->BkColor = GetSysColor(COLOR_BTNFACE);
    data->TextColor = GetSysColor(COLOR_BTNSHADOW);
  }
  data->Alignment =
      (IsStored(svAlignment) || !FDataDefinition) ? FAlignment : FDataDefinition->GetAlignment();
  data->IsEditClass = IsEditClass();
  data->DataLength = 0;
  GetDisplayValue(data->Data, AFromDefinition);
  data->Cursor = Cursor();
  return data;
}

void TgxInplaceEdit::FocusChanged() {
  UpdateHotLook();
  if (NeedsFocusRedraw())
    Invalidate();
}

bool TgxInplaceEdit::CanEditValue() {
  const bool readOnly = IsStored(svReadOnly) ? FReadOnly : DefaultReadOnly();
  if (readOnly)
    return false;
  if (IgxEditContainer* container = Container())
    return container->CanEditModify();
  if (FDataDefinition)
    return FDataDefinition->IsEditable();
  return true;
}

bool TgxInplaceEdit::IsTextChangingKey(WORD AKey, TShiftState AShift) {
  const bool ctrl = (AShift & ssCtrl) != 0;
  return (ctrl && (AKey == 'V' || AKey == 'X')) || AKey == VK_BACK || AKey == VK_DELETE ||
         (AKey == VK_INSERT && (AShift & ssShift));
}

bool TgxInplaceEdit::IsCtrlDown() {
  return GetAsyncKeyState(VK_CONTROL) < 0 && GetAsyncKeyState(VK_MENU) >= 0;
}

void TgxInplaceEdit::MoveToNextCell(bool ABackward) {
  if (IgxEditContainer* container = Container())
    container->FocusNextEditCell(ABackward);
}

void TgxInplaceEdit::RestorePrevValue() {
  if (GetModified() && IsResetTextClass()) {
    SetEditorText(FPrevTextValue);
    SetModified(FPrevModified);
  }
}

void TgxInplaceEdit::SetActive(bool AValue) {
  if (IsInplaceKind() || AValue != FActive) {
    FPrevModified = GetModified();
    FPrevTextValue = GetEditorText();
  }
  if (IsInplaceKind() || AValue == FActive)
    return;
  FActive = AValue;
  if (IsNeededRedraw())
    Invalidate();
  if (!AValue && FDataDefinition) {
    const bool modified = GetModified();
    try {
      FDataDefinition->NotifyDataChange();
    } catch (...) {
      SetModified(modified);
      throw;
    }
    SetModified(modified);
  }
}

void TgxInplaceEdit::InternalSetAlignment(TAlignment AValue) {
  if (FAlignment == AValue)
    return;
  FAlignment = AValue;
  RecreateWnd();
}

void TgxInplaceEdit::InternalSetReadOnly(bool AValue) {
  FReadOnly = AValue;
}

void TgxInplaceEdit::RefreshView() {
  UpdateEditShape();
  if (!HandleAllocated())
    return;
  // The frame's geometry and look follow the style: the client area is
  // calculated again and the frame repainted with it.
  SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE);
}

void TgxInplaceEdit::CreateWnd() {
  TWinControl::CreateWnd();
  // A window made again (a new alignment, new margins) keeps the editor's
  // own visibility.
  if (IsInplaceKind() && FVisible)
    ShowWindow(Handle(), SW_SHOWNOACTIVATE);
}

bool TgxInplaceEdit::CanModify() {
  const bool readOnly = IsStored(svReadOnly) ? FReadOnly : DefaultReadOnly();
  if (!FDataDefinition)
    return !readOnly;
  return !readOnly && FDataDefinition->GetCanModify();
}

bool TgxInplaceEdit::DefaultReadOnly() {
  return FDataDefinition ? FDataDefinition->GetReadOnly() : false;
}

bool TgxInplaceEdit::InternalReadOnly() {
  return FDataDefinition ? !FDataDefinition->GetCanModify() : false;
}

void TgxInplaceEdit::DoKillFocus(HWND AFocusedWnd) {
  UpdateHotLook();
  if (NeedsFocusRedraw())
    Invalidate();
  IgxEditContainer* container = Container();
  if (container && AFocusedWnd != container->ContainerControl()->Handle())
    container->EditorFocusChanged();
}

bool TgxInplaceEdit::IsSelected() {
  return FSelected || (IsFocused() && Enabled());
}

bool TgxInplaceEdit::IsQuickButtonClick() {
  IgxEditContainer* container = Container();
  return container && container->ShowsButtonsAlways();
}

bool TgxInplaceEdit::IsVisible() {
  return IsInplaceKind() ? FVisible : Visible();
}

void TgxInplaceEdit::RestoreDefaults() {
  FStoredValues = 0;
  const TAlignment before = FAlignment;
  InternalSetAlignment(DefaultAlignment());
  if (FAlignment == before && FDataDefinition) {
    const TAlignment data = FDataDefinition->GetAlignment();
    if (data != FDataAlignment) {
      FDataAlignment = data;
      if (FDataAlignment != FAlignment)
        Invalidate();
    }
  }
  InternalSetReadOnly(InternalReadOnly());
}

void TgxInplaceEdit::SetEditingText(const std::wstring& AValue) {
  if (CanEditValue())
    SetEditorText(AValue);
  SetModified(true);
}

void TgxInplaceEdit::Show() {
  if (!IsInplaceKind()) {
    TWinControl::Show();
    return;
  }
  FVisible = true;
  // The window is made visible directly: the framework's visibility stays
  // off, so a container relayout never shows the editor by itself.
  SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
               SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TgxInplaceEdit::Hide() {
  if (!IsInplaceKind()) {
    TWinControl::Hide();
    return;
  }
  FVisible = false;
  if (!HandleAllocated())
    return;
  if (IsWindowVisible(Handle()))
    InvalidateEdit();
  SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
               SWP_HIDEWINDOW | SWP_NOREDRAW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER |
                   SWP_NOACTIVATE);
}

void TgxInplaceEdit::ValidateEdit() {
  if (!GetModified() || FLockValidate != 0)
    return;
  bool accept = true;
  std::wstring errorText = kgxInvalidInputText;
  if (OnValidate)
    OnValidate(this, errorText, accept);
  if (accept)
    return;
  EditorBeep();
  if (HandleAllocated() && IsWindowVisible(Handle())) {
    // Inside the loss of the focus the focus may not move at once.
    if (FLosingFocus)
      PostMessageW(Handle(), WM_GX_REFOCUS, 0, 0);
    else if (CanFocus() || IsInplaceKind())
      ::SetFocus(Handle());
  }
  throw EgxEditInvalidInput(errorText);
}

// --- placing ------------------------------------------------------------------------------

void TgxInplaceEdit::Move(const RECT& ALoc) {
  if (!IsInplaceKind() || IsEmptyRect(ALoc))
    return;
  // The 2-pixel frame lies outside the cell: the client area is the cell.
  SetBounds(ALoc.left - 2, ALoc.top - 2, RectWidth(ALoc) + 4, RectHeight(ALoc) + 4);
  const bool wasVisible = FVisible;
  Show();
  HWND focused = GetFocus();
  HWND own = Handle();
  if (focused != own && focused) {
    HWND parent = GetParent(own);
    if (focused == parent || IsChild(own, focused))
      ::SetFocus(own);
  }
  SelectAll();
  if (!wasVisible && FLockActivate == 0)
    ActivateEdit();
}

void TgxInplaceEdit::InvalidateEdit() {
  IgxEditContainer* container = Container();
  if (!container || !HandleAllocated())
    return;
  HWND own = Handle();
  ValidateRect(own, nullptr);
  InvalidateRect(own, nullptr, TRUE);
  TWinControl* control = container->ContainerControl();
  if (!control->HandleAllocated())
    return;
  RECT r;
  GetWindowRect(own, &r);
  MapWindowPoints(nullptr, control->Handle(), reinterpret_cast<POINT*>(&r), 2);
  ValidateRect(control->Handle(), &r);
  InvalidateRect(control->Handle(), &r, FALSE);
}

void TgxInplaceEdit::Reset() {
  if (FDataDefinition) {
    FDataDefinition->NotifyDataChange();
    SelectAll();
  } else {
    RestorePrevValue();
  }
}

int TgxInplaceEdit::CheckWidth(int AButtonWidth) {
  IgxEditContainer* container = Container();
  if (container && container->NeedsMinEditWidth() && Width() < AButtonWidth + 20)
    return AButtonWidth + 20;
  return Width();
}

void TgxInplaceEdit::UpdateEditShape() {
  if (!HandleAllocated())
    return;
  std::unique_ptr<TgxEditViewData> data(CreateViewData(false));
  TgxEditViewInfo info;
  EditClass().CalcViewInfo(*data, FAutoSize && !IsInplaceKind(), info);
  const int width = RectWidth(info.Bounds), height = RectHeight(info.Bounds);
  if (width != Width() || height != Height())
    SetBounds(Left(), Top(), width, height);
  // The system owns the region once it is the window's.
  SetWindowRgn(Handle(), EditClass().GetEditRgn(info), IsWindowVisible(Handle()));
}

void TgxInplaceEdit::UpdateHotLook() {
  if (ComponentState().Contains(csDestroying) || !FStyle)
    return;
  const TgxEditButtonTransparence transparence = FStyle->ButtonTransparence();
  if (FStyle->HotTrack() || transparence == ebtInactive || transparence == ebtAlways ||
      transparence == ebtHideInactive)
    UpdateEditShape();
}

// --- setters ------------------------------------------------------------------------------

void TgxInplaceEdit::SetAlignment(TAlignment AValue) {
  FStoredValues |= StoredValueBit(svAlignment);
  InternalSetAlignment(AValue);
}

void TgxInplaceEdit::SetReadOnly(bool AValue) {
  FStoredValues |= StoredValueBit(svReadOnly);
  InternalSetReadOnly(AValue);
}

void TgxInplaceEdit::SetOffsetSize(const RECT& AValue) {
  if (EqualRect(&AValue, &FOffsetSize))
    return;
  FOffsetSize = AValue;
  RecreateWnd();
}

void TgxInplaceEdit::SetAutoSize(bool AValue) {
  if (AValue == FAutoSize)
    return;
  FAutoSize = AValue;
  RefreshView();
}

void TgxInplaceEdit::SetTransparent(bool AValue) {
  if (AValue == FTransparent)
    return;
  FTransparent = AValue;
  Invalidate();
}

void TgxInplaceEdit::SetStyleController(TgxEditStyleController* AValue) {
  if (AValue == FStyleController)
    return;
  if (FStyleController && !FStyleController->ComponentState().Contains(csDestroying))
    FStyleController->RemoveLink(this);
  FStyleController = AValue;
  if (AValue) {
    AValue->AddLink(this);
    AValue->FreeNotification(this);
    AValue->LinkChanged(this);
  } else {
    RefreshView();
  }
}

void TgxInplaceEdit::Notification(TComponent* AComponent, TOperation AOperation) {
  TWinControl::Notification(AComponent, AOperation);
  if (AOperation == opRemove && AComponent == FStyleController)
    SetStyleController(nullptr);
}

// --- framework notifications -------------------------------------------------------------

void TgxInplaceEdit::MouseEnter(intptr_t AMarker) {
  SetSelected(true);
  UpdateHotLook();
  TWinControl::MouseEnter(AMarker);
}

void TgxInplaceEdit::MouseLeave(intptr_t AMarker) {
  SetSelected(false);
  UpdateHotLook();
  TWinControl::MouseLeave(AMarker);
}

void TgxInplaceEdit::EnabledChanged() {
  TWinControl::EnabledChanged();
  RefreshView();
}

void TgxInplaceEdit::TextChanged() {
  TWinControl::TextChanged();
  if (!IsEditClass())
    Invalidate();
}

void TgxInplaceEdit::FontChanged() {
  TWinControl::FontChanged();
  UpdateEditShape();
}

void TgxInplaceEdit::DoEnter() {
  SetActive(true);
  TWinControl::DoEnter();
}

void TgxInplaceEdit::DoExit() {
  if (ComponentState().Contains(csDestroying)) {
    TWinControl::DoExit();
    return;
  }
  if (FDataDefinition) {
    try {
      FDataDefinition->NotifyUpdateData();
    } catch (...) {
      SelectAll();
      if (HandleAllocated())
        PostMessageW(Handle(), WM_GX_REFOCUS, 0, 0);
      throw;
    }
  } else {
    // A refused value keeps the focus here: ValidateEdit takes it back.
    ValidateEdit();
  }
  SetActive(false);
  TWinControl::DoExit();
}

// --- keys ------------------------------------------------------------------------------------

TShiftState TgxInplaceEdit::KeyShift() {
  return KeyboardShiftState();
}

void TgxInplaceEdit::KeyDown(WORD& AKey, TShiftState AShift) {
  if (AKey == VK_ESCAPE)
    Reset();
  IgxEditContainer* container = Container();
  if (IsInplaceKind()) {
    switch (AKey) {
    case VK_TAB:
    case VK_RETURN:
    case VK_ESCAPE:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_UP:
    case VK_DOWN:
    case VK_INSERT:
      ValidateEdit();
      break;
    default:
      break;
    }
    TCounterScope lock(FLockValidate);
    const bool handedOver = (AKey == VK_TAB && !(AShift & ssAlt)) || AKey == VK_RETURN ||
                            AKey == VK_ESCAPE || AKey == VK_PRIOR || AKey == VK_NEXT ||
                            AKey == VK_UP || AKey == VK_DOWN ||
                            (AKey == VK_INSERT && (AShift & (ssShift | ssCtrl | ssAlt)) == 0);
    if (handedOver) {
      if (container)
        container->ContainerKeyDown(AKey, AShift);
      AKey = 0;
      return;
    }
    if (AKey == VK_INSERT && AShift == ssShift && container && !container->CanEditModify()) {
      AKey = 0;
      return;
    }
    if (AKey == VK_F2) {
      if (container)
        container->DoEditKeyDown(AKey, AShift);
      if (AKey == VK_F2)
        Deselect();
      return;
    }
    if (AKey == VK_DELETE && container && !container->CanEditModify()) {
      AKey = 0;
      return;
    }
    if (AKey != 0 && container)
      container->DoEditKeyDown(AKey, AShift);
    if (AKey != 0 && IsTextChangingKey(AKey, AShift) && CanModify() && !CanEditValue())
      AKey = 0;
    if (AKey != 0 && OnKeyDown)
      OnKeyDown(this, AKey, AShift);
    return;
  }
  if (IsTextChangingKey(AKey, AShift) && CanModify() && !CanEditValue())
    AKey = 0;
  if (AKey == VK_RETURN && IsEnterValidate())
    ValidateEdit();
  if (AKey != 0 && OnKeyDown)
    OnKeyDown(this, AKey, AShift);
}

void TgxInplaceEdit::KeyPress(wchar_t& AKey) {
  if (IgxEditContainer* container = Container())
    container->ContainerKeyPress(AKey);
  if (AKey >= 32 && AKey <= 255 && !CanAcceptChar(AKey)) {
    AKey = 0;
    EditorBeep();
  }
  if (IsInplaceKind() && AKey == L'\t' && !WantsTabChar())
    AKey = 0;
  if (((AKey >= 32 && AKey <= 255) || AKey == L'\t') && IsEditClass() && !CanEditValue())
    AKey = 0;
  if (AKey == 27)
    AKey = 0;
  if (AKey != 0 && OnKeyPress)
    OnKeyPress(this, AKey);
}

void TgxInplaceEdit::KeyUp(WORD& AKey, TShiftState AShift) {
  if (IsInplaceKind()) {
    if (IgxEditContainer* container = Container())
      container->ContainerKeyUp(AKey, AShift);
    return;
  }
  if (OnKeyUp)
    OnKeyUp(this, AKey, AShift);
}

void TgxInplaceEdit::DblClick() {
  if (IsInplaceKind()) {
    if (IgxEditContainer* container = Container())
      container->ContainerDblClick();
    return;
  }
  if (OnDblClick)
    OnDblClick(this);
}

// --- window -----------------------------------------------------------------------------------

LRESULT TgxInplaceEdit::DialogCode() {
  LRESULT code = DLGC_WANTCHARS;
  if (IsInplaceKind())
    code |= DLGC_WANTALLKEYS;
  IgxEditContainer* container = Container();
  if (container && container->WantsTabs())
    code |= DLGC_WANTTAB;
  else
    code &= ~LRESULT(DLGC_WANTTAB);
  return code;
}

void TgxInplaceEdit::PaintNonClient(HDC ADC) {
  std::unique_ptr<TgxEditViewData> data(CreateViewData(false));
  TgxEditViewInfo info;
  EditClass().CalcViewInfo(*data, false, info);
  EditClass().DrawBorder(ADC, info, *data);
  const auto style = DWORD(GetWindowLongPtrW(Handle(), GWL_STYLE));
  if ((style & WS_HSCROLL) && (style & WS_VSCROLL)) {
    RECT inner = info.BorderRect;
    InflateRect(&inner, -info.BorderSize, -info.BorderSize);
    const RECT corner{inner.right - GetSystemMetrics(SM_CXVSCROLL),
                      inner.bottom - GetSystemMetrics(SM_CYHSCROLL), inner.right, inner.bottom};
    FillRect(ADC, &corner, GetSysColorBrush(COLOR_BTNFACE));
  }
}

void TgxInplaceEdit::PaintWindow(HDC ADC) {
  std::unique_ptr<TgxEditViewData> data(CreateViewData(false));
  RECT client = ClientRect();
  if (client.right <= 0)
    return;
  bool done = false;
  if (OnCustomDraw)
    OnCustomDraw(this, ADC, client, *data, true, done);
  if (!done)
    EditClass().DrawClientArea(ADC, client, *data, true);
}

void TgxInplaceEdit::WMPaintEdit(TMessage& AMessage) {
  std::unique_ptr<TgxEditViewData> data(CreateViewData(true));
  PAINTSTRUCT ps{};
  HDC dc = reinterpret_cast<HDC>(AMessage.WParam);
  const bool own = dc == nullptr;
  if (own)
    dc = BeginPaint(Handle(), &ps);
  try {
    if (InState(csPaintCopy)) {
      EditClass().Draw(dc, data->ViewBounds, *data, nullptr);
    } else {
      RECT client = ClientRect();
      EditClass().DrawClientArea(dc, client, *data, false);
    }
  } catch (...) {
    if (own)
      EndPaint(Handle(), &ps);
    throw;
  }
  if (own)
    EndPaint(Handle(), &ps);
  AMessage.Result = 0;
}

void TgxInplaceEdit::WMSetFocusEdit(TMessage& AMessage) {
  // The container's focus follows the editor, then the editor's look.
  TWinControl::WndProc(AMessage);
  if (IgxEditContainer* container = Container())
    container->EditorFocusChanged();
  FocusChanged();
}

void TgxInplaceEdit::WndProc(TMessage& AMessage) {
  const bool inplace = IsInplaceKind();
  IgxEditContainer* container = Container();
  switch (AMessage.Msg) {
  case WM_KEYDOWN:
  case WM_SYSKEYDOWN:
  case WM_CHAR:
    if (inplace && container && container->IsEditorStale()) {
      AMessage.Result = 0;
      return;
    }
    break;
  default:
    break;
  }
  switch (AMessage.Msg) {
  case WM_KEYDOWN: {
    if (inplace && (AMessage.WParam == VK_RETURN || (AMessage.WParam == VK_TAB && !WantsTabChar())))
      KillMessage(Handle(), WM_CHAR);
    WORD key = WORD(AMessage.WParam);
    KeyDown(key, KeyShift());
    AMessage.Result = 0;
    // An editor with an edit window of its own moves its caret and deletes
    // with the keys the container left it.
    if (key == 0 || (inplace && !IsEditClass()))
      return;
    AMessage.WParam = key;
    break;
  }
  case WM_CHAR: {
    wchar_t key = wchar_t(AMessage.WParam);
    KeyPress(key);
    AMessage.Result = 0;
    if (key == 0)
      return;
    AMessage.WParam = key;
    break;
  }
  case WM_KEYUP: {
    WORD key = WORD(AMessage.WParam);
    KeyUp(key, KeyShift());
    AMessage.Result = 0;
    return;
  }
  case WM_CUT:
  case WM_PASTE:
  case WM_CLEAR:
    if (!CanEditValue()) {
      AMessage.Result = 0;
      return;
    }
    break;
  case WM_IME_COMPOSITION:
    if ((AMessage.LParam & GCS_RESULTSTR) && IsEditClass() && !CanEditValue()) {
      AMessage.Result = 0;
      return;
    }
    break;
  case WM_LBUTTONDOWN:
    if (inplace && container) {
      const LONG now = GetMessageTime();
      if (container->IsImmediateEdit(-1) && FClickTime != 0 &&
          UINT(now - FClickTime) < GetDoubleClickTime())
        AMessage.Msg = WM_LBUTTONDBLCLK;
      FClickTime = 0;
    }
    [[fallthrough]];
  case WM_RBUTTONDOWN:
  case WM_MBUTTONDOWN:
    if (!IsEditClass() && !Focused() && HandleAllocated())
      ::SetFocus(Handle());
    if (AMessage.Msg == WM_LBUTTONDBLCLK) {
      TWinControl::WndProc(AMessage);
      DblClick();
      return;
    }
    break;
  case WM_LBUTTONDBLCLK:
    TWinControl::WndProc(AMessage);
    DblClick();
    return;
  case WM_MOUSEWHEEL:
    if (inplace && container && !HandlesMouseWheel()) {
      TWinControl* control = container->ContainerControl();
      control->Perform(0xB004, 0, 0);
      if (control->HandleAllocated())
        SendMessageW(control->Handle(), WM_MOUSEWHEEL, AMessage.WParam, AMessage.LParam);
      // The system's handling would pass the wheel to the parent again.
      AMessage.Result = 0;
      return;
    }
    break;
  case WM_SETFOCUS:
    if (inplace) {
      WMSetFocusEdit(AMessage);
      return;
    }
    FocusChanged();
    break;
  case WM_KILLFOCUS: {
    DoKillFocus(reinterpret_cast<HWND>(AMessage.WParam));
    if (container)
      container->EditorKillFocus(reinterpret_cast<HWND>(AMessage.WParam));
    const bool previous = FLosingFocus;
    FLosingFocus = true;
    try {
      TWinControl::WndProc(AMessage);
    } catch (...) {
      FLosingFocus = previous;
      throw;
    }
    FLosingFocus = previous;
    return;
  }
  case WM_GX_REFOCUS:
    if (HandleAllocated() && IsWindowVisible(Handle()))
      ::SetFocus(Handle());
    AMessage.Result = 0;
    return;
  case WM_NCCALCSIZE: {
    DefaultHandler(AMessage);
    std::unique_ptr<TgxEditViewData> data(CreateViewData(false));
    TgxEditViewInfo info;
    EditClass().CalcViewInfo(*data, false, info);
    auto* r = reinterpret_cast<RECT*>(AMessage.LParam);
    r->left += info.ClientBounds.left - info.Bounds.left;
    r->top += info.ClientBounds.top - info.Bounds.top;
    r->right += info.ClientBounds.right - info.Bounds.right;
    r->bottom += info.ClientBounds.bottom - info.Bounds.bottom;
    if (r->left >= r->right)
      r->right = r->left;
    if (r->top >= r->bottom)
      r->bottom = r->top;
    return;
  }
  case WM_SIZE:
    TWinControl::WndProc(AMessage);
    UpdateEditShape();
    return;
  case WM_PAINT:
    if (InState(csPaintCopy) || (!FActive && IsNeededRedraw())) {
      WMPaintEdit(AMessage);
      return;
    }
    break;
  case WM_ERASEBKGND:
    if (!IsEditClass()) {
      AMessage.Result = 1;
      return;
    }
    break;
  case WM_SETCURSOR:
    if (LOWORD(AMessage.LParam) == HTCLIENT &&
        reinterpret_cast<HWND>(AMessage.WParam) == Handle() &&
        Screen()->CurrentCursor() == crDefault) {
      POINT point;
      GetCursorPos(&point);
      ::ScreenToClient(Handle(), &point);
      std::unique_ptr<TgxEditViewData> data(CreateViewData(false));
      const TCursor cursor = EditClass().GetEditCursor(point.x, point.y, *data);
      if (cursor != crDefault) {
        ::SetCursor(Screen()->Cursor(cursor));
        AMessage.Result = 1;
        return;
      }
    }
    break;
  default:
    break;
  }
  TWinControl::WndProc(AMessage);
}

// ===========================================================================
// Unit steps

void GxUtilsStartup() {}

void GxUtilsShutdown() {
  try {
    FreeHalftoneBrush();
  } catch (...) {
  }
}

void GxContainerStartup() {
  try {
    if (GDefaultEditStyleController)
      return;
    GDefaultEditStyleController = new TgxEditStyleController(nullptr);
    LedgerRegistration(L"StyleController", L"TgxEditStyleController", true);
  } catch (...) {
  }
}

void GxContainerShutdown() {
  try {
    if (GDefaultEditStyleController) {
      TComponent::Free(GDefaultEditStyleController);
      GDefaultEditStyleController = nullptr;
      LedgerRegistration(L"StyleController", L"TgxEditStyleController", false);
    }
    FreeBtnShadowBrush();
  } catch (...) {
  }
}
