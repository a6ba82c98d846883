#include "gx-pick-edit.h"

#include "gx-utils.h"

#include <richedit.h>

#include <algorithm>

namespace {

constexpr DWORD kSearchPause = 2000;
constexpr size_t kMaxSearchText = 32;

// Raises a counter for a scope.
class TLockScope {
public:
  explicit TLockScope(int& ACounter) : FCounter(ACounter) { ++FCounter; }
  ~TLockScope() { --FCounter; }
  TLockScope(const TLockScope&) = delete;
  TLockScope& operator=(const TLockScope&) = delete;

private:
  int& FCounter;
};

} // namespace

// ===========================================================================
// The pick lists

void TCustomgxPopupPickListBox::WndProc(TMessage& AMessage) {
  if (AMessage.Msg == WM_CHAR) {
    const auto key = wchar_t(AMessage.WParam);
    if (key == VK_BACK || key == VK_ESCAPE) {
      FSearchText.clear();
    } else if (key >= 32 && key <= 255) {
      const DWORD now = GetTickCount();
      if (now - FSearchTickCount > kSearchPause)
        FSearchText.clear();
      FSearchTickCount = now;
      if (FSearchText.size() < kMaxSearchText) {
        FSearchText += key;
        const LRESULT found = SendMessageW(Handle(), LB_SELECTSTRING, 0xFFFF,
                                           reinterpret_cast<LPARAM>(FSearchText.c_str()));
        if (found == LB_ERR)
          FSearchText.pop_back();
      }
    }
    AMessage.Result = 0;
    return;
  }
  TCustomgxPopupListBox::WndProc(AMessage);
}

void TgxPopupPickListBox::MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  TCustomgxPopupPickListBox::MouseUp(AButton, AShift, AX, AY);
  if (auto* editor = dynamic_cast<TgxInplacePickEdit*>(Owner())) {
    const RECT client = ClientRect();
    editor->CloseUp(PtInRect(&client, POINT{AX, AY}) != 0);
  }
}

// ===========================================================================
// TgxInplacePickEdit

TgxInplacePickEdit::TgxInplacePickEdit(TComponent* AOwner) : TgxInplaceDropDownEdit(AOwner) {
  FPickList = NewPickList();
  FPickList->SetControlStyle(FPickList->ControlStyle() | csReplicatable);
  FPickList->OnMouseUp = [this](TControl* ASender, TMouseButton AButton, TShiftState AShift, int AX,
                                int AY) { ListMouseUp(ASender, AButton, AShift, AX, AY); };
  FSearchStyle = true;
}

TgxInplacePickEdit::~TgxInplacePickEdit() {
  DestroyHandle();
}

TCustomgxPopupListBox* TgxInplacePickEdit::NewPickList() {
  return new TgxPopupPickListBox(this);
}

void TgxInplacePickEdit::Notification(TComponent* AComponent, TOperation AOperation) {
  TgxInplaceDropDownEdit::Notification(AComponent, AOperation);
  if (AOperation == opRemove && AComponent == FPickList) {
    FPickList = nullptr;
    if (FActiveList == AComponent)
      FActiveList = nullptr;
  }
}

bool TgxInplacePickEdit::CanModify() {
  return !FDropDownListStyle && TgxInplaceDropDownEdit::CanModify();
}

void TgxInplacePickEdit::SetSorted(bool AValue) {
  if (AValue == FSorted)
    return;
  SetDroppedDown(false);
  FSorted = AValue;
  FItems.SetSorted(AValue);
}

void TgxInplacePickEdit::SetDropDownListStyle(bool AValue) {
  if (AValue == FDropDownListStyle)
    return;
  FDropDownListStyle = AValue;
  InternalSetReadOnly(ReadOnly());
}

void TgxInplacePickEdit::InternalSetReadOnly(bool AValue) {
  TgxInplaceDropDownEdit::InternalSetReadOnly(AValue);
  if (FDropDownListStyle && HandleAllocated())
    SendMessageW(Handle(), EM_SETREADONLY, TRUE, 0);
}

int TgxInplacePickEdit::ItemIndex() {
  const std::wstring text = Text();
  for (int i = 0; i < FItems.Count(); ++i) {
    const std::wstring item = FItems.Strings(i);
    const bool equal = FItems.CaseSensitive()
                           ? item == text
                           : CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, item.c_str(), -1,
                                            text.c_str(), -1) == CSTR_EQUAL;
    if (equal)
      return i;
  }
  return -1;
}

void TgxInplacePickEdit::SetItemIndex(int AValue) {
  if (AValue < 0 || AValue >= FItems.Count())
    return;
  ResetFindSelection();
  if (CanEditValue())
    ChangeText(FItems.Strings(AValue));
  SelectAll();
}

void TgxInplacePickEdit::ChangeText(const std::wstring& AValue) {
  if (Text() == AValue)
    return;
  SetText(AValue);
  SetModified(true);
}

void TgxInplacePickEdit::ClearText() {
  if (!CanEditValue())
    return;
  TLockScope lock(FRefreshLock);
  ChangeText(std::wstring());
}

void TgxInplacePickEdit::ResetFindSelection() {
  if (FRefreshLock != 0)
    return;
  FFindSelection = false;
  FFindStr.clear();
}

void TgxInplacePickEdit::SetEditValue(const TgxVariant& AValue) {
  TgxInplaceDropDownEdit::SetEditValue(AValue);
  ResetFindSelection();
}

void TgxInplacePickEdit::SetActive(bool AValue) {
  TgxInplaceDropDownEdit::SetActive(AValue);
  ResetFindSelection();
}

int TgxInplacePickEdit::FindItem(const std::wstring& AText) {
  if (AText.empty())
    return -1;
  const DWORD flags = FItems.CaseSensitive() ? 0 : NORM_IGNORECASE;
  const int length = int(AText.size());
  for (int i = 0; i < FItems.Count(); ++i) {
    const std::wstring item = FItems.Strings(i);
    if (int(item.size()) < length)
      continue;
    if (CompareStringW(LOCALE_USER_DEFAULT, flags, item.c_str(), length, AText.c_str(), length) ==
        CSTR_EQUAL)
      return i;
  }
  return -1;
}

bool TgxInplacePickEdit::WholeTextSelected() {
  return GetSelLength() == int(Text().size());
}

void TgxInplacePickEdit::PreparePickList() {
  TCustomgxPopupListBox& list = *FPickList;
  list.SetPopupOwner(this);
  list.SetColor(Color());
  list.Font().Assign(&Font());
  list.SetPopupBorderStyle(PopupBorderStyle());
  list.SetShadow(Style().Shadow());
  list.HandleNeeded();
  list.SetItems(FItems);
  const int height = std::min(FItems.Count(), FDropDownRows) * list.RealItemHeight();
  int width = FDropDownWidth;
  if (width == 0) {
    int widest = 10;
    for (int i = 0; i < FItems.Count(); ++i)
      widest = std::max(widest, list.TextWidth(FItems.Strings(i)));
    width = widest + 4;
  }
  list.SetClientSize(width, height);
  list.SetItemIndex(list.Items().IndexOf(Text()));
  CalcPopupPos(&list, true);
}

void TgxInplacePickEdit::DropDown() {
  if (InternalReadOnly() || !FPickList)
    return;
  ::SetFocus(Handle());
  if (GetFocus() != Handle())
    return;
  DoDropDown();
  FActiveList = FPickList;
  if (FItems.Count() == 0)
    return;
  PreparePickList();
  SetWindowPos(FPickList->Handle(), nullptr, FPickList->Left(), FPickList->Top(), 0, 0,
               SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  FListVisible = true;
  Invalidate();
}

void TgxInplacePickEdit::CloseUp(bool AAccept) {
  if (!FListVisible || !FPickList)
    return;
  ResetFindSelection();
  if (HWND capture = GetCapture())
    SendMessageW(capture, WM_CANCELMODE, 0, 0);
  FocusEditorIfPossible();
  if (FPickList->HandleAllocated())
    SetWindowPos(FPickList->Handle(), nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
  FListVisible = false;
  Invalidate();
  const int index = FPickList->ItemIndex();
  std::wstring value =
      (index >= 0 && index < FPickList->ItemCount()) ? FPickList->Items().Strings(index) : Text();
  bool accept = AAccept;
  DoCloseUp(value, accept);
  if (accept && CanEditValue()) {
    ChangeText(value);
    SelectAll();
    if (FPostEditorOnCloseUp && HandleAllocated())
      PostMessageW(Handle(), WM_KEYDOWN, VK_RETURN, 0);
  }
}

void TgxInplacePickEdit::StepValue(int ADelta, bool ACycle) {
  if (ReadOnly() || FItems.Count() == 0)
    return;
  ResetFindSelection();
  const int count = FItems.Count();
  const int start = FItemIndex == -1 ? FindItem(Text()) : FItemIndex;
  int target;
  if (start < 0 || start >= count) {
    target = 0;
  } else {
    target = std::max(start + ADelta, 0);
    if (target >= count)
      target = ACycle ? 0 : count - 1;
  }
  FItemIndex = target;
  if (CanEditValue())
    ChangeText(FItems.Strings(target));
  SelectAll();
}

void TgxInplacePickEdit::LocateListItem(const std::wstring& AText) {
  if (!FListVisible || !FPickList)
    return;
  if (!FFindSelection && FItemIndex < FPickList->ItemCount())
    FPickList->SetItemIndex(FItemIndex);
  else
    FPickList->SetItemIndex(FindItem(AText));
}

void TgxInplacePickEdit::KeyDown(WORD& AKey, TShiftState AShift) {
  if (AKey == VK_ESCAPE)
    ResetFindSelection();
  if (AKey == VK_DELETE && FDropDownListStyle && WholeTextSelected() && FCanDeleteText)
    ClearText();
  if (!EditClass().IsInplace() && FItems.Count() > 0) {
    int delta = 0;
    switch (AKey) {
    case VK_PRIOR:
      delta = 1 - FDropDownRows;
      break;
    case VK_NEXT:
      delta = FDropDownRows - 1;
      break;
    case VK_UP:
      delta = -1;
      break;
    case VK_DOWN:
      delta = 1;
      break;
    default:
      break;
    }
    if (delta != 0) {
      StepValue(delta, false);
      AKey = 0;
      return;
    }
  }
  TgxInplaceDropDownEdit::KeyDown(AKey, AShift);
}

bool TgxInplacePickEdit::Complete() {
  const int found = FindItem(FFindStr);
  if (found < 0)
    return false;
  const std::wstring item = FItems.Strings(found);
  if (CanEditValue()) {
    TLockScope lock(FRefreshLock);
    ChangeText(item);
  }
  if (HandleAllocated())
    SendMessageW(Handle(), EM_SETSEL, WPARAM(Text().size()), LPARAM(FFindStr.size()));
  return true;
}

void TgxInplacePickEdit::KeyPress(wchar_t& AKey) {
  if (ReadOnly()) {
    AKey = 0;
    return;
  }
  const std::wstring text = Text();
  const int length = int(text.size());
  const int selStart = GetSelStart();
  const int selLength = GetSelLength();
  const bool caretAtEnd = selStart + selLength == length;
  if (AKey == VK_BACK) {
    if (!caretAtEnd && !FDropDownListStyle)
      ResetFindSelection();
    if (FDropDownListStyle) {
      if (WholeTextSelected() && FCanDeleteText) {
        ClearText();
        AKey = 0;
      } else if (!FFindSelection) {
        FFindSelection = true;
        FFindStr = text;
      }
    }
    if (AKey != 0 && FFindSelection) {
      if (!FFindStr.empty())
        FFindStr.pop_back();
      if (FFindStr.empty() && (!FDropDownListStyle || FCanDeleteText)) {
        ClearText();
        AKey = 0;
      } else if (!FFindStr.empty()) {
        if (HandleAllocated())
          SendMessageW(Handle(), EM_SETSEL, WPARAM(FFindStr.size()), LPARAM(length));
        if (Complete())
          AKey = 0;
      }
    }
  } else if (AKey >= 32 && AKey <= 255) {
    if (!caretAtEnd || selStart != int(FFindStr.size()))
      ResetFindSelection();
    if (FFindSelection && (MaxLength() == 0 || length < MaxLength())) {
      FFindStr += AKey;
    } else {
      FFindSelection = true;
      FFindStr =
          text.substr(0, size_t(selStart)) + text.substr(size_t(selStart + selLength)) + AKey;
    }
    if (Complete())
      AKey = 0;
    if (FImmediateDropDown && !FListVisible) {
      DropDown();
      LocateListItem(Text());
    }
  }
  if (AKey != 0)
    TgxInplaceDropDownEdit::KeyPress(AKey);
}

void TgxInplacePickEdit::MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  if (AButton == mbLeft && (AShift & ssDouble) && FRevertable && FItems.Count() > 1) {
    StepValue(1, true);
    LocateListItem(Text());
  }
  TgxInplaceDropDownEdit::MouseDown(AButton, AShift, AX, AY);
}

// ===========================================================================
// TgxMRUEditClass

const TgxMRUEditClass& TgxMRUEditClass::Instance() {
  static const TgxMRUEditClass instance;
  return instance;
}

void TgxMRUEditClass::CalcButtonsInfo(TgxDropDownEditViewData& AViewData) const {
  TgxDropDownEditClass::CalcButtonsInfo(AViewData);
  auto* data = dynamic_cast<TgxMRUEditViewData*>(&AViewData);
  if (!data || data->ButtonCount == 0 || !data->ShowEllipsis)
    return;
  TgxEditButtonInfo& first = data->Buttons[0];
  TgxEditButtonInfo& second = data->Buttons[1];
  data->ButtonCount = 2;
  second.Index = 1;
  second.LeftAlignment = first.LeftAlignment;
  second.Kind = bkEllipsis;
  if (data->ButtonGlyph) {
    second.Glyph = data->ButtonGlyph;
    second.Kind = bkGlyph;
    first.Glyph = nullptr;
    first.Kind = bkDown;
    first.Width = CalcDefaultButtonWidth(*data, first);
  }
  second.Width = CalcDefaultButtonWidth(*data, second);
}

// ===========================================================================
// TgxInplaceMRUEdit

TgxInplaceMRUEdit::TgxInplaceMRUEdit(TComponent* AOwner) : TgxInplacePickEdit(AOwner) {
  FImmediateDropDown = false;
}

void TgxInplaceMRUEdit::DoButtonClick() {
  if (OnButtonClick)
    OnButtonClick(this);
}

void TgxInplaceMRUEdit::TrimItems() {
  if (FMaxItemCount <= 0)
    return;
  while (FItems.Count() > FMaxItemCount)
    FItems.Delete(FItems.Count() - 1);
}

void TgxInplaceMRUEdit::AddItem(const std::wstring& AValue) {
  if (AValue.empty())
    return;
  const int index = FItems.IndexOf(AValue);
  if (index < 0) {
    FItems.Insert(0, AValue);
    TrimItems();
  } else {
    FItems.Move(index, 0);
  }
}

void TgxInplaceMRUEdit::SetMaxItemCount(int AValue) {
  AValue = std::max(AValue, 0);
  if (AValue == FMaxItemCount)
    return;
  FMaxItemCount = AValue;
  TrimItems();
}

void TgxInplaceMRUEdit::SetShowEllipsis(bool AValue) {
  if (AValue == FShowEllipsis)
    return;
  FShowEllipsis = AValue;
  RefreshView();
}

TgxEditViewData* TgxInplaceMRUEdit::CreateViewData(bool AFromDefinition) {
  TgxEditViewData* data = TgxInplacePickEdit::CreateViewData(AFromDefinition);
  if (auto* mru = dynamic_cast<TgxMRUEditViewData*>(data))
    mru->ShowEllipsis = FShowEllipsis;
  return data;
}

void TgxInplaceMRUEdit::ValidateEdit() {
  TgxInplacePickEdit::ValidateEdit();
  if (GetModified())
    AddItem(Text());
}

void TgxInplaceMRUEdit::StartButtonPress(bool ANoCapture, int AButtonIndex) {
  TgxInplacePickEdit::StartButtonPress(ANoCapture, AButtonIndex == 1 ? -1 : AButtonIndex);
}

void TgxInplaceMRUEdit::ButtonClick(int AButtonIndex) {
  if (AButtonIndex == 1)
    DoButtonClick();
}

void TgxInplaceMRUEdit::KeyDown(WORD& AKey, TShiftState AShift) {
  // Ctrl+Enter is the ellipsis button's key; checked first, as an editor in
  // place hands Enter to its container.
  if (FShowEllipsis && AKey == VK_RETURN && (AShift & (ssCtrl | ssAlt | ssShift)) == ssCtrl &&
      CanModify()) {
    if (HandleAllocated())
      KillMessage(Handle(), WM_CHAR);
    DoButtonClick();
    AKey = 0;
    return;
  }
  TgxInplacePickEdit::KeyDown(AKey, AShift);
}
