#include "gx-image-edit.h"

#include "gx-utils.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cwchar>

namespace {

// The decimal integer of a text, or -1 when it is none.
int ParseImageIndex(const std::wstring& AText) {
  if (AText.empty())
    return -1;
  wchar_t* end = nullptr;
  const long value = std::wcstol(AText.c_str(), &end, 10);
  if (!end || *end != 0 || value < INT_MIN || value > INT_MAX)
    return -1;
  return int(value);
}

// The position of a value among values compared ignoring case.
int IndexIgnoringCase(const TStrings* AValues, const std::wstring& AValue) {
  if (!AValues)
    return -1;
  for (int i = 0; i < AValues->Count(); ++i)
    if (CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, AValues->Strings(i).c_str(), -1,
                       AValue.c_str(), -1) == CSTR_EQUAL)
      return i;
  return -1;
}

// Whether the text begins with the prefix, ignoring case.
bool StartsWithIgnoringCase(const std::wstring& AText, const std::wstring& APrefix) {
  if (AText.size() < APrefix.size())
    return false;
  return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, AText.c_str(), int(APrefix.size()),
                        APrefix.c_str(), int(APrefix.size())) == CSTR_EQUAL;
}

} // namespace

// ===========================================================================
// TCustomgxPopupListBox

TCustomgxPopupListBox::TCustomgxPopupListBox(TComponent* AOwner) : TWinControl(AOwner) {
  SetVisible(false);
  SetColor(clWindow);
}

TCustomgxPopupListBox::~TCustomgxPopupListBox() {
  DestroyHandle();
}

void TCustomgxPopupListBox::SetItems(const TStrings& AItems) {
  FItems.Assign(&AItems);
  ItemsChanged();
}

void TCustomgxPopupListBox::ItemsChanged() {
  if (!HandleAllocated())
    return;
  HWND list = Handle();
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  for (int i = 0; i < FItems.Count(); ++i) {
    const LRESULT at =
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(FItems.Strings(i).c_str()));
    SendMessageW(list, LB_SETITEMDATA, WPARAM(at),
                 LPARAM(reinterpret_cast<intptr_t>(FItems.Objects(i))));
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

int TCustomgxPopupListBox::ItemIndex() {
  return HandleAllocated() ? int(SendMessageW(Handle(), LB_GETCURSEL, 0, 0)) : -1;
}

void TCustomgxPopupListBox::SetItemIndex(int AValue) {
  SendMessageW(Handle(), LB_SETCURSEL, WPARAM(AValue), 0);
}

RECT TCustomgxPopupListBox::ItemRect(int AIndex) {
  RECT r{0, 0, 0, 0};
  if (HandleAllocated())
    SendMessageW(Handle(), LB_GETITEMRECT, WPARAM(AIndex), reinterpret_cast<LPARAM>(&r));
  return r;
}

void TCustomgxPopupListBox::SetPopupOwner(TWinControl* AValue) {
  FPopupOwner = AValue;
  // The owner window receives the list's drawing requests: a list made
  // for another owner is made again.
  if (HandleAllocated() && AValue && AValue->HandleAllocated() && FOwnerWindow != AValue->Handle())
    RecreateWnd();
}

void TCustomgxPopupListBox::SetPopupBorderStyle(TgxPopupBorderStyle AValue) {
  if (AValue == FPopupBorderStyle)
    return;
  FPopupBorderStyle = AValue;
  RecreateWnd();
}

void TCustomgxPopupListBox::SetShadow(bool AValue) {
  if (AValue == FShadow)
    return;
  FShadow = AValue;
  RecreateWnd();
}

void TCustomgxPopupListBox::SetShadowSize(int AValue) {
  if (AValue <= 0)
    AValue = 1;
  if (AValue == FShadowSize)
    return;
  FShadowSize = AValue;
  RecreateWnd();
}

int TCustomgxPopupListBox::TextWidth(const std::wstring& AText) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font().Handle());
  SIZE size{0, 0};
  GetTextExtentPoint32W(dc, AText.c_str(), int(AText.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return size.cx;
}

int TCustomgxPopupListBox::MeasureItem() {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font().Handle());
  SIZE size{0, 0};
  GetTextExtentPoint32W(dc, L"Wg", 2, &size);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  FRealItemHeight = size.cy;
  return FRealItemHeight;
}

void TCustomgxPopupListBox::ApplyItemHeight() {
  const int height = MeasureItem();
  if (HandleAllocated())
    SendMessageW(Handle(), LB_SETITEMHEIGHT, 0, LPARAM(std::max(height, 1)));
}

void TCustomgxPopupListBox::SetClientSize(int AWidth, int AHeight) {
  const int border = PopupBorderSize(FPopupBorderStyle);
  int width = AWidth + 2 * border;
  int height = AHeight + 2 * border;
  if (FShadow) {
    width += FShadowSize;
    height += FShadowSize;
  }
  if (HandleAllocated() && FRealItemHeight > 0 && FItems.Count() * FRealItemHeight > AHeight)
    width += GetSystemMetrics(SM_CXVSCROLL);
  SetBounds(Left(), Top(), width, height);
}

void TCustomgxPopupListBox::CreateParams(TCreateParams& AParams) {
  TWinControl::CreateParams(AParams);
  AParams.WinClassName = ClassName();
  AParams.SystemClassName = L"LISTBOX";
  // Made as a child of the editor, so that the editor stays the list's
  // owner, which receives its drawing requests and reflects them back to
  // the list, wherever the editor's form is embedded; then made top-level.
  FOwnerWindow = FPopupOwner && FPopupOwner->HandleAllocated() ? FPopupOwner->Handle() : nullptr;
  AParams.Style = (AParams.Style & ~DWORD(WS_POPUP | WS_BORDER)) | WS_VSCROLL | LBS_OWNERDRAWFIXED |
                  LBS_HASSTRINGS | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
  AParams.Style |= FOwnerWindow ? DWORD(WS_CHILD) : DWORD(WS_POPUP);
  AParams.ExStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
  AParams.WndParent = FOwnerWindow;
}

void TCustomgxPopupListBox::CreateWnd() {
  TWinControl::CreateWnd();
  HWND list = Handle();
  if (GetWindowLongPtrW(list, GWL_STYLE) & WS_CHILD) {
    ::SetParent(list, nullptr);
    const auto style = DWORD(GetWindowLongPtrW(list, GWL_STYLE));
    SetWindowLongPtrW(list, GWL_STYLE, LONG_PTR((style & ~DWORD(WS_CHILD)) | WS_POPUP));
    SetWindowPos(list, HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  }
  SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), FALSE);
  ApplyItemHeight();
  ItemsChanged();
  // The list draws its selection as focused without holding the focus.
  TMessage focus{WM_SETFOCUS, 0, 0, 0};
  DefaultHandler(focus);
}

void TCustomgxPopupListBox::MouseMove(TShiftState AShift, int AX, int AY) {
  TWinControl::MouseMove(AShift, AX, AY);
  if (!FHotTrack || !HandleAllocated())
    return;
  const LRESULT hit = SendMessageW(Handle(), LB_ITEMFROMPOINT, 0, MAKELPARAM(AX, AY));
  if (HIWORD(hit) != 0)
    return;
  const int index = LOWORD(hit);
  if (index != ItemIndex())
    SetItemIndex(index);
}

void TCustomgxPopupListBox::DrawItem(HDC ADC, int AIndex, const RECT& ARect, bool ASelected) {
  const std::wstring text = AIndex < FItems.Count() ? FItems.Strings(AIndex) : std::wstring();
  FillRect(ADC, &ARect,
           ASelected ? GetSysColorBrush(COLOR_HIGHLIGHT) : GetSysColorBrush(COLOR_WINDOW));
  SetBkMode(ADC, TRANSPARENT);
  RECT r = ARect;
  r.left += 2;
  DrawTextW(ADC, text.c_str(), int(text.size()), &r,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void TCustomgxPopupListBox::WndProc(TMessage& AMessage) {
  switch (AMessage.Msg) {
  case CN_DRAWITEM: {
    auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(AMessage.LParam);
    if (item && int(item->itemID) >= 0) {
      const bool selected = (item->itemState & ODS_SELECTED) != 0;
      const int saved = SaveDC(item->hDC);
      HGDIOBJ old = SelectObject(item->hDC, Font().Handle());
      SetTextColor(item->hDC, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT)
                                       : ColorToColorRef(ColorToRGB(Font().Color())));
      DrawItem(item->hDC, int(item->itemID), item->rcItem, selected);
      SelectObject(item->hDC, old);
      RestoreDC(item->hDC, saved);
    }
    AMessage.Result = TRUE;
    return;
  }
  case CN_MEASUREITEM: {
    if (auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(AMessage.LParam))
      measure->itemHeight = UINT(std::max(MeasureItem(), 1));
    AMessage.Result = TRUE;
    return;
  }
  case WM_MOUSEACTIVATE:
    AMessage.Result = MA_NOACTIVATE;
    return;
  case WM_NCCALCSIZE: {
    TWinControl::WndProc(AMessage);
    auto* r = reinterpret_cast<RECT*>(AMessage.LParam);
    const int border = PopupBorderSize(FPopupBorderStyle);
    InflateRect(r, -border, -border);
    if (FShadow) {
      r->right -= FShadowSize;
      r->bottom -= FShadowSize;
    }
    if (r->right < r->left)
      r->right = r->left;
    if (r->bottom < r->top)
      r->bottom = r->top;
    return;
  }
  case WM_NCPAINT: {
    TWinControl::WndProc(AMessage);
    const auto style = DWORD(GetWindowLongPtrW(Handle(), GWL_STYLE));
    DrawPopupNC(Handle(), FPopupBorderStyle, (style & WS_HSCROLL) && (style & WS_VSCROLL), FShadow,
                FShadowSize);
    AMessage.Result = 0;
    return;
  }
  case WM_SIZE:
    TWinControl::WndProc(AMessage);
    SetPopupShadowRegion(Handle(), FShadow, FShadowSize);
    return;
  default:
    break;
  }
  TWinControl::WndProc(AMessage);
}

// ===========================================================================
// TgxPopupImageListBox

void TgxPopupImageListBox::SetImages(TCustomImageList* AValue) {
  if (AValue == FImages)
    return;
  FImages = AValue;
  if (AValue)
    AValue->FreeNotification(this);
  RecreateWnd();
}

void TgxPopupImageListBox::Notification(TComponent* AComponent, TOperation AOperation) {
  TCustomgxPopupListBox::Notification(AComponent, AOperation);
  if (AOperation == opRemove && AComponent == FImages)
    FImages = nullptr;
}

int TgxPopupImageListBox::MeasureItem() {
  int height = TCustomgxPopupListBox::MeasureItem();
  if (FImages)
    height = std::max(height, FImages->Height() + 2);
  FRealItemHeight = height;
  return height;
}

void TgxPopupImageListBox::DrawItem(HDC ADC, int AIndex, const RECT& ARect, bool ASelected) {
  FillRect(ADC, &ARect,
           ASelected ? GetSysColorBrush(COLOR_HIGHLIGHT) : GetSysColorBrush(COLOR_WINDOW));
  const int image = AIndex < Items().Count()
                        ? int(reinterpret_cast<intptr_t>(Items().Objects(AIndex)))
                        : int(kgxNoItemImage);
  const int imageWidth = FImages ? FImages->Width() : 0;
  if (FImages && image >= 0 && image < FImages->Count())
    ImageList_Draw(FImages->Handle(), image, ADC, ARect.left + 1,
                   (ARect.top + ARect.bottom - FImages->Height()) / 2, ILD_TRANSPARENT);
  const std::wstring text = AIndex < Items().Count() ? Items().Strings(AIndex) : std::wstring();
  SetBkMode(ADC, TRANSPARENT);
  if (FIsMultiLineText) {
    RECT r = ARect;
    InflateRect(&r, -2, -2);
    r.left += imageWidth + 1;
    DrawTextW(ADC, text.c_str(), int(text.size()), &r,
              DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX | DT_END_ELLIPSIS);
  } else {
    SIZE size{0, 0};
    GetTextExtentPoint32W(ADC, L"Wg", 2, &size);
    TextOutW(ADC, ARect.left + imageWidth + 3, (ARect.top + ARect.bottom - size.cy) / 2,
             text.c_str(), int(text.size()));
  }
}

// ===========================================================================
// TgxImageEditClass

const TgxImageEditClass& TgxImageEditClass::Instance() {
  static const TgxImageEditClass instance;
  return instance;
}

void TgxImageEditClass::CalcViewIndexes(const std::wstring& AValue, const TStrings* AImageIndexes,
                                        int& ADescriptionIndex, int& AImageIndex,
                                        bool ADefaultImages, const TStrings* AValues,
                                        const TStrings* ADescriptions) {
  const int position = IndexIgnoringCase(AValues, AValue);
  AImageIndex = position;
  ADescriptionIndex =
      (position >= 0 && ADescriptions && position < ADescriptions->Count()) ? position : -1;
  if (!ADefaultImages && position >= 0 && AImageIndexes && position < AImageIndexes->Count())
    AImageIndex = ParseImageIndex(AImageIndexes->Strings(position));
}

bool TgxImageEditClass::DrawClientArea(HDC ADC, RECT& ARect, TgxEditViewData& AViewData,
                                       bool AIsControl) const {
  auto* data = dynamic_cast<TgxImageEditViewData*>(&AViewData);
  if (!data)
    return TgxDropDownEditClass::DrawClientArea(ADC, ARect, AViewData, AIsControl);
  const std::wstring value = VarToText(data->Data);
  int description = -1, image = -1;
  CalcViewIndexes(value, data->ImageIndexes, description, image, data->DefaultImages, data->Values,
                  data->Descriptions);
  const int w = data->Images ? data->Images->Width() : 0;
  const int h = data->Images ? data->Images->Height() : 0;
  const bool drawImage = data->Images && image >= 0 && image < data->Images->Count();
  if (data->ShowDescription) {
    if (description != -1)
      data->Data = data->Descriptions->Strings(description);
    if (w > 0) {
      RECT cell{ARect.left, ARect.top, ARect.left + w, ARect.bottom};
      ARect.left += w;
      if (!data->CalcHeight) {
        if (!data->Transparent && data->Brush)
          FillRect(ADC, &cell, data->Brush);
        if (drawImage)
          ImageList_Draw(data->Images->Handle(), image, ADC, cell.left,
                         (cell.top + cell.bottom - h) / 2, ILD_TRANSPARENT);
      }
    }
  } else {
    if (w > 0 && !data->CalcHeight) {
      if (!data->Transparent && data->Brush)
        FillRect(ADC, &ARect, data->Brush);
      if (drawImage)
        ImageList_Draw(data->Images->Handle(), image, ADC, (ARect.left + ARect.right - w) / 2,
                       (ARect.top + ARect.bottom - h) / 2, ILD_TRANSPARENT);
    }
    data->Transparent = true;
    data->Data = std::wstring();
  }
  data->DataLength = 0;
  return TgxDropDownEditClass::DrawClientArea(ADC, ARect, AViewData, AIsControl);
}

int TgxImageEditClass::GetMinHeight(TgxEditViewData& AViewData) const {
  int height = TgxDropDownEditClass::GetMinHeight(AViewData);
  if (auto* data = dynamic_cast<TgxImageEditViewData*>(&AViewData))
    if (data->Images)
      height = std::max(height, data->Images->Height());
  return height;
}

// ===========================================================================
// TgxInplaceImageEdit

TgxInplaceImageEdit::TgxInplaceImageEdit(TComponent* AOwner) : TgxInplaceDropDownEdit(AOwner) {
  FControlStyle |= csCaptureMouse;
  FImmediatePopupStyle = true;
  FImageChangeLink.OnChange = [this](TChangeLink*) { RefreshView(); };
  FLargeImageChangeLink.OnChange = [this](TChangeLink*) { RefreshView(); };
  FPopupListBox = new TgxPopupImageListBox(this);
  FPopupListBox->SetControlStyle(FPopupListBox->ControlStyle() | csReplicatable);
  FPopupListBox->OnMouseUp = [this](TControl* ASender, TMouseButton AButton, TShiftState AShift,
                                    int AX,
                                    int AY) { ListMouseUp(ASender, AButton, AShift, AX, AY); };
}

TgxInplaceImageEdit::~TgxInplaceImageEdit() {
  DestroyHandle();
  if (FImages)
    FImages->UnRegisterChanges(&FImageChangeLink);
  if (FLargeImages)
    FLargeImages->UnRegisterChanges(&FLargeImageChangeLink);
}

void TgxInplaceImageEdit::SetDefaultImages(bool AValue) {
  if (AValue == FDefaultImages)
    return;
  FDefaultImages = AValue;
  if (HandleAllocated())
    InvalidateRect(Handle(), nullptr, FALSE);
}

void TgxInplaceImageEdit::SetShowDescription(bool AValue) {
  if (AValue == FShowDescription)
    return;
  FShowDescription = AValue;
  if (HandleAllocated())
    InvalidateRect(Handle(), nullptr, FALSE);
}

void TgxInplaceImageEdit::SetDescriptions(const TStrings& AValue) {
  FDescriptions.Assign(&AValue);
  RefreshView();
}

void TgxInplaceImageEdit::SetImageIndexes(const TStrings& AValue) {
  FImageIndexes.Assign(&AValue);
  RefreshView();
}

void TgxInplaceImageEdit::SetValues(const TStrings& AValue) {
  FValues.Assign(&AValue);
  RefreshView();
}

void TgxInplaceImageEdit::SetMultiLineText(bool AValue) {
  if (AValue == FMultiLineText)
    return;
  FMultiLineText = AValue;
  RefreshView();
}

void TgxInplaceImageEdit::SetImageList(TCustomImageList*& AField, TChangeLink& ALink,
                                       TCustomImageList* AValue) {
  if (AField)
    AField->UnRegisterChanges(&ALink);
  AField = AValue;
  if (AValue) {
    AValue->RegisterChanges(&ALink);
    AValue->FreeNotification(this);
  }
  RefreshView();
}

void TgxInplaceImageEdit::SetImages(TCustomImageList* AValue) {
  SetImageList(FImages, FImageChangeLink, AValue);
}

void TgxInplaceImageEdit::SetLargeImages(TCustomImageList* AValue) {
  SetImageList(FLargeImages, FLargeImageChangeLink, AValue);
}

void TgxInplaceImageEdit::Notification(TComponent* AComponent, TOperation AOperation) {
  TgxInplaceDropDownEdit::Notification(AComponent, AOperation);
  if (AOperation != opRemove)
    return;
  if (AComponent == FImages)
    FImages = nullptr;
  if (AComponent == FLargeImages)
    FLargeImages = nullptr;
  if (AComponent == FPopupListBox) {
    FPopupListBox = nullptr;
    if (FActiveList == AComponent)
      FActiveList = nullptr;
  }
}

TgxEditViewData* TgxInplaceImageEdit::CreateViewData(bool AFromDefinition) {
  TgxEditViewData* data = TgxInplaceDropDownEdit::CreateViewData(AFromDefinition);
  data->Focused = data->Focused && !EditClass().IsInplace() && !FListVisible;
  if (FMultiLineText)
    data->DrawAlignment = daMultiLine;
  if (auto* image = dynamic_cast<TgxImageEditViewData*>(data)) {
    image->DefaultImages = FDefaultImages;
    image->Descriptions = &FDescriptions;
    image->ImageIndexes = &FImageIndexes;
    image->Images = FImages;
    image->ShowDescription = FShowDescription;
    image->Values = &FValues;
  }
  return data;
}

LRESULT TgxInplaceImageEdit::DialogCode() {
  return TgxInplaceDropDownEdit::DialogCode() | DLGC_WANTARROWS;
}

int TgxInplaceImageEdit::ValueIndex() {
  return IndexIgnoringCase(&FValues, Text());
}

void TgxInplaceImageEdit::ApplyValue(const std::wstring& AValue) {
  if (Text() == AValue || !CanModify() || !CanEditValue())
    return;
  SetText(AValue);
  SetModified(true);
  Invalidate();
}

void TgxInplaceImageEdit::StepValue(int ADelta, bool /*ACycle*/) {
  if (ReadOnly() || FValues.Count() == 0)
    return;
  const int position = ValueIndex();
  const int target = position < 0 ? 0 : std::clamp(position + ADelta, 0, FValues.Count() - 1);
  ApplyValue(FValues.Strings(target));
}

void TgxInplaceImageEdit::DropDown() {
  if (!CanModify() || !FPopupListBox)
    return;
  ::SetFocus(Handle());
  if (GetFocus() != Handle())
    return;
  DoDropDown();
  if (FValues.Count() == 0)
    return;
  TgxPopupImageListBox& list = *FPopupListBox;
  FActiveList = &list;
  list.SetPopupOwner(this);
  list.SetColor(Color());
  list.Font().Assign(&Font());
  list.SetImages(FLargeImages ? FLargeImages : FImages);
  list.SetIsMultiLineText(FMultiLineText);
  list.SetPopupBorderStyle(PopupBorderStyle());
  list.SetShadow(Style().Shadow());
  list.HandleNeeded();
  list.Items().BeginUpdate();
  list.Items().Clear();
  for (int i = 0; i < FValues.Count(); ++i) {
    int image = FDefaultImages
                    ? i
                    : (i < FImageIndexes.Count() ? ParseImageIndex(FImageIndexes.Strings(i)) : -1);
    if (image < 0)
      image = int(kgxNoItemImage);
    list.Items().AddObject(i < FDescriptions.Count() ? FDescriptions.Strings(i) : std::wstring(),
                           reinterpret_cast<void*>(intptr_t(image)));
  }
  list.Items().EndUpdate();
  list.ItemsChanged();
  const int itemHeight = list.RealItemHeight();
  const int height = std::min(list.ItemCount(), FDropDownRows) * itemHeight;
  int width = FDropDownWidth;
  if (width == 0) {
    int widest = 0;
    for (int i = 0; i < list.ItemCount(); ++i)
      widest = std::max(widest, list.TextWidth(list.Items().Strings(i)));
    const int textWidth = std::max(widest + 2, 10);
    const int imageWidth = FLargeImages ? FLargeImages->Width()
                                        : (list.Images() ? list.Images()->Width() : itemHeight);
    width = imageWidth + textWidth + 4;
  }
  list.SetClientSize(width, height);
  list.SetItemIndex(ValueIndex());
  CalcPopupPos(&list, true);
  SetWindowPos(list.Handle(), nullptr, list.Left(), list.Top(), 0, 0,
               SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  FListVisible = true;
  Invalidate();
}

void TgxInplaceImageEdit::CloseUp(bool AAccept) {
  if (!FListVisible || !FPopupListBox)
    return;
  if (HWND capture = GetCapture())
    SendMessageW(capture, WM_CANCELMODE, 0, 0);
  FocusEditorIfPossible();
  if (FPopupListBox->HandleAllocated())
    SetWindowPos(FPopupListBox->Handle(), nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
  FListVisible = false;
  Invalidate();
  const int index = FPopupListBox->ItemIndex();
  if (index < 0 || index >= FValues.Count())
    return;
  std::wstring value = FValues.Strings(index);
  bool accept = AAccept;
  DoCloseUp(value, accept);
  if (accept)
    ApplyValue(value);
}

void TgxInplaceImageEdit::KeyDown(WORD& AKey, TShiftState AShift) {
  const bool inplace = EditClass().IsInplace();
  if ((!inplace || FIncremental) && FValues.Count() > 0) {
    switch (AKey) {
    case VK_PRIOR:
      StepValue(-(FDropDownRows - 1), false);
      AKey = 0;
      break;
    case VK_NEXT:
      StepValue(FDropDownRows - 1, false);
      AKey = 0;
      break;
    case VK_END:
      ApplyValue(FValues.Strings(FValues.Count() - 1));
      AKey = 0;
      break;
    case VK_HOME:
      ApplyValue(FValues.Strings(0));
      AKey = 0;
      break;
    case VK_LEFT:
    case VK_UP:
      StepValue(-1, false);
      AKey = 0;
      break;
    case VK_RIGHT:
    case VK_DOWN:
      StepValue(1, false);
      AKey = 0;
      break;
    default:
      break;
    }
  }
  if (inplace && (AKey == VK_LEFT || AKey == VK_RIGHT)) {
    MoveToNextCell(AKey == VK_LEFT);
    AKey = 0;
  }
  if (AKey != 0)
    TgxInplaceDropDownEdit::KeyDown(AKey, AShift);
}

void TgxInplaceImageEdit::KeyPress(wchar_t& AKey) {
  TgxInplaceDropDownEdit::KeyPress(AKey);
  if (AKey < 32 || FValues.Count() == 0)
    return;
  const std::wstring typed(1, AKey);
  const int position = ValueIndex();
  const int start = position + 1;
  const int count = FValues.Count();
  for (int step = 0; step < count; ++step) {
    const int i = (start + step) % count;
    const std::wstring description = i < FDescriptions.Count() ? FDescriptions.Strings(i) : L"";
    if (!StartsWithIgnoringCase(description, typed))
      continue;
    if (i != position)
      ApplyValue(FValues.Strings(i));
    return;
  }
}
