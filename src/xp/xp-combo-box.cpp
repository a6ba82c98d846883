#include "xp-combo-box.h"

#include "seams.h"
#include "xp-controls.h"
#include "xp-graphics.h"
#include "xp-popup-list-box.h"
#include "xp-system.h"

#include <windows.h>
#include <windowsx.h>

#include <algorithm>
#include <utility>

namespace {

// The themed combo box: its elements and states.
constexpr wchar_t kComboThemeClass[] = L"COMBOBOX";
constexpr int kPartBorder = 4;
constexpr int kPartReadOnly = 5;
constexpr int kPartDropDownButtonRight = 6;
constexpr int kComboNormal = 1;
constexpr int kComboHot = 2;
constexpr int kComboPressed = 3;
constexpr int kComboDisabled = 4;
// The scroll bar's arrow button, whose true size the drop button takes.
constexpr wchar_t kScrollBarThemeClass[] = L"SCROLLBAR";
constexpr int kPartArrowButton = 1;
constexpr int kArrowUpNormal = 1;
// While the list is down the edit reports this theme state.
constexpr int kDroppedThemeState = 4;

TXPPopupListBox* NewPopupListBox(TXPCustomComboBox* AOwner) {
  return new TXPPopupListBox(AOwner);
}

bool IsHighSurrogate(wchar_t AChar) {
  return AChar >= 0xD800 && AChar <= 0xDBFF;
}
bool IsLowSurrogate(wchar_t AChar) {
  return AChar >= 0xDC00 && AChar <= 0xDFFF;
}

// How many characters the last character of AText takes (a surrogate pair
// goes whole).
size_t LastCharLength(const std::wstring& AText, size_t AEnd) {
  if (AEnd == 0)
    return 0;
  if (AEnd >= 2 && IsLowSurrogate(AText[AEnd - 1]) && IsHighSurrogate(AText[AEnd - 2]))
    return 2;
  return 1;
}

} // namespace

// ===========================================================================
// Creation and destruction

TXPCustomComboBox::TXPCustomComboBox(TComponent* AOwner) : TXPCustomButtonEdit(AOwner) {
  FPopupListBox = GetPopupListBoxClass()(this);
  FPopupListBox->SetVisible(false);
  FPopupListBox->SetParent(this);
  FPopupListBox->SetItemIndex(-1);
  FButton2 = new TXPEditButton(this);
  FButton2->SetParent(this);
  FButton2->SetAlign(alRight);
  FButton2->SetLeft(Width());
  UpdateButtonVisibility();
}

TXPCustomComboBox::~TXPCustomComboBox() = default;

void TXPCustomComboBox::BeforeDestruction() {
  FDestroying = true;
  if (FDroppedDown && FPopupListBox)
    FPopupListBox->Close(false);
  FDroppedDown = false;
  TXPCustomButtonEdit::BeforeDestruction();
}

TXPPopupListBoxClass TXPCustomComboBox::GetPopupListBoxClass() {
  return &NewPopupListBox;
}

void TXPCustomComboBox::CreateWnd() {
  TXPCustomButtonEdit::CreateWnd();
  if (FLookAndFeel != xlfNative)
    return;
  int width = GetXPScrollBarSize();
  SIZE arrow{};
  if (GetXPThemeState() == xtsThemed &&
      ThemePartTrueSize(Handle(), kScrollBarThemeClass, kPartArrowButton, kArrowUpNormal, nullptr,
                        arrow))
    width = arrow.cx;
  if (FButton)
    FButton->SetWidth(width);
  if (FButton2)
    FButton2->SetWidth(width);
}

// ===========================================================================
// Published properties

bool TXPCustomComboBox::AlphaNumericSorting() const {
  return FPopupListBox->AlphaNumericSorting();
}
void TXPCustomComboBox::SetAlphaNumericSorting(bool AValue) {
  FPopupListBox->SetAlphaNumericSorting(AValue);
}

void TXPCustomComboBox::SetCaseSensitive(bool AValue) {
  if (AValue == FCaseSensitive)
    return;
  FCaseSensitive = AValue;
  FPopupListBox->ListItems().SetCaseSensitive(AValue);
}

void TXPCustomComboBox::SetDropDownCount(int AValue) {
  FDropDownCount = std::max(AValue, 1);
}

int TXPCustomComboBox::ItemHeight() const {
  return FPopupListBox->ItemHeight();
}
void TXPCustomComboBox::SetItemHeight(int AValue) {
  FPopupListBox->SetItemHeight(AValue);
}

int TXPCustomComboBox::ItemIndex() const {
  return FPopupListBox->ItemIndex();
}

void TXPCustomComboBox::SetItemIndex(int AValue) {
  {
    // Code chooses the item: the list's click, which hands a user's choice
    // on, stays out of it.
    TXPSuppressChangeScope<TCustomXPListBox> quiet(*FPopupListBox);
    FPopupListBox->SetItemIndex(AValue);
  }
  ApplyText(FPopupListBox->CurrentText());
}

TStrings& TXPCustomComboBox::Items() {
  return FPopupListBox->Items();
}
void TXPCustomComboBox::SetItems(const TStrings& AValue) {
  FPopupListBox->SetItems(AValue);
}

void TXPCustomComboBox::SetNoItemText(const std::wstring& AValue) {
  if (AValue == FNoItemText)
    return;
  FNoItemText = AValue;
  Invalidate();
}

void TXPCustomComboBox::SetShowButton2(bool AValue) {
  if (AValue == FShowButton2)
    return;
  FShowButton2 = AValue;
  UpdateButtonVisibility();
  UpdateVisibleCounts();
  Invalidate();
}

bool TXPCustomComboBox::Sorted() const {
  return FPopupListBox->Sorted();
}
void TXPCustomComboBox::SetSorted(bool AValue) {
  FPopupListBox->SetSorted(AValue);
}

void TXPCustomComboBox::SetStyle(TXPComboBoxStyle AValue) {
  if (AValue == csSimple)
    AValue = csDropDown;
  if (AValue == FStyle)
    return;
  const bool caretShown = FStyle == csDropDown && HandleAllocated() && Focused();
  if (caretShown)
    DestroyEditCaret();
  FStyle = AValue;
  FPopupListBox->SetStyle(AValue == csOwnerDrawFixed ? lbOwnerDrawFixed : lbStandard);
  if (IsListStyle()) {
    const int index = Items().IndexOf(Text());
    SetItemIndex(index);
    if (index < 0 && !Text().empty())
      TCustomXPEdit::SetText(L"");
  } else if (HandleAllocated() && Focused()) {
    CreateEditCaret();
  }
  Invalidate();
}

TDrawItemEvent& TXPCustomComboBox::OnDrawItem() {
  return FPopupListBox->OnDrawItem;
}
void TXPCustomComboBox::SetOnDrawItem(const TDrawItemEvent& AValue) {
  FPopupListBox->OnDrawItem = AValue;
}

// ===========================================================================
// Text

bool TXPCustomComboBox::ApplyText(const std::wstring& AValue) {
  if (FIgnoreSetText > 0)
    return false;
  if (ComponentState().Contains(csLoading) || FStyle == csDropDown || AValue.empty()) {
    TCustomXPEdit::SetText(AValue);
  } else if (Items().IndexOf(AValue) < 0) {
    // The list styles show nothing but items.
    return false;
  } else {
    TCustomXPEdit::SetText(AValue);
  }
  if (FSuppressChange == 0) {
    TXPCountScope ignoring(FIgnoreSetText);
    TXPSuppressChangeScope<TCustomXPListBox> quiet(*FPopupListBox);
    FPopupListBox->SetItemIndex(Items().IndexOf(Text()));
  }
  return true;
}

void TXPCustomComboBox::SetText(const std::wstring& AValue) {
  if (FStyle == csDropDownList) {
    const int index = Items().IndexOf(AValue);
    // A text that is no item leaves the choice as it is.
    if (index < 0 && !AValue.empty())
      return;
    SetItemIndex(index);
    return;
  }
  ApplyText(AValue);
}

void TXPCustomComboBox::Clear() {
  TCustomXPEdit::Clear();
  Items().Clear();
  SetFirstChar(0);
}

void TXPCustomComboBox::ClearSelection() {
  SetItemIndex(-1);
  TCustomXPEdit::ClearSelection();
}

HRESULT STDMETHODCALLTYPE TXPCustomComboBox::SelectAll() {
  if (IsListStyle())
    return S_OK;
  return TCustomXPEdit::SelectAll();
}

TPopupMenu* TXPCustomComboBox::GetPopupMenu() {
  if (FStyle == csDropDown)
    return TCustomXPEdit::GetPopupMenu();
  return dynamic_cast<TPopupMenu*>(PopupMenu());
}

int TXPCustomComboBox::GetAutoWidth() {
  int width = TXPCustomButtonEdit::GetAutoWidth();
  if (FButton2 && FButton2->Visible())
    width += FButton2->Width();
  return width;
}

int TXPCustomComboBox::MeasureItemText(int AIndex) {
  if (AIndex < 0 || AIndex >= Items().GetCount() || !HandleAllocated())
    return 0;
  const std::wstring text = Items().Get(AIndex);
  if (text.empty())
    return 0;
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc)
    return 0;
  HGDIOBJ old = SelectObject(dc, Font().Handle());
  RECT rect{0, 0, 0, 0};
  DrawTextW(dc, text.c_str(), int(text.size()), &rect, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old);
  DeleteDC(dc);
  return rect.right - rect.left;
}

// ===========================================================================
// Dropping down and closing

void TXPCustomComboBox::SaveHintSettings() {
  FSaveShowHint = ShowHint();
  FSaveParentShowHint = false;
}

void TXPCustomComboBox::RestoreHintSettings() {
  SetShowHint(FSaveShowHint);
}

void TXPCustomComboBox::SetDroppedDown(bool AValue) {
  UpdateHotTrack(false);
  if (FFlag2) {
    FFlag2 = false;
    AValue = false;
  }
  if (AValue == FDroppedDown)
    return;
  FDroppedDown = AValue;
  const bool destroying = FDestroying || ComponentState().Contains(csDestroying);
  if (AValue) {
    DropDown();
    if (!destroying && !Focused() && CanFocus())
      SetFocus();
    // The focus moving here may have closed the list again.
    if (!FDroppedDown)
      return;
    POINT at = ClientToScreen(POINT{0, Height()});
    if (GetXPThemeState() == xtsClassic) {
      at.x -= GetSystemMetrics(SM_CXEDGE);
      at.y -= GetSystemMetrics(SM_CYEDGE);
    }
    FPopupListBox->Popup(at.x, at.y);
  } else {
    FPopupListBox->Close(false);
    FPopupListBox->SetTabStop(false);
    // Closed because the focus left: it is not taken back.
    if (!destroying && !FLosingFocus && !Focused() && CanFocus())
      SetFocus();
  }
  Invalidate();
  if (!AValue)
    CloseUp();
}

void TXPCustomComboBox::DropDown() {
  if (OnDropDown)
    OnDropDown(this);
}

void TXPCustomComboBox::CloseUp() {
  if (OnCloseUp)
    OnCloseUp(this);
}

void TXPCustomComboBox::Select() {
  if (OnSelect)
    OnSelect(this);
}

void TXPCustomComboBox::ButtonClickDefault() {
  if (ComponentState().Contains(csLoading) || FReadOnly)
    return;
  if (FFlag1) {
    // The press that closed the list landed on the combo: it must not open
    // the list again.
    FFlag1 = false;
    FFlag2 = true;
  }
  SetDroppedDown(!FDroppedDown);
}

void TXPCustomComboBox::ClickButton() {
  if (FShowButton2 && FButton2)
    FButton2->Click();
}

void TXPCustomComboBox::ButtonClicked(TXPEditButton* AButton) {
  if (AButton && AButton == FButton2) {
    if (OnButton2Click)
      OnButton2Click(this);
    else
      Button2ClickDefault();
    return;
  }
  TXPCustomButtonEdit::ButtonClicked(AButton);
}

void TXPCustomComboBox::Click() {
  TXPCustomButtonEdit::Click();
  if (IsListStyle())
    ButtonClickDefault();
}

void TXPCustomComboBox::DoExit() {
  if (FDroppedDown) {
    FLosingFocus = true;
    try {
      SetDroppedDown(false);
    } catch (...) {
      FLosingFocus = false;
      throw;
    }
    FLosingFocus = false;
  }
  TXPCustomButtonEdit::DoExit();
}

void TXPCustomComboBox::DoEnter() {
  TXPCustomButtonEdit::DoEnter();
  if (IsListStyle())
    Invalidate();
}

void TXPCustomComboBox::EnabledChanged() {
  if (FDroppedDown)
    SetDroppedDown(false);
  TXPCustomButtonEdit::EnabledChanged();
  if (FButton2)
    FButton2->SetEnabled(Enabled());
}

bool TXPCustomComboBox::WantSpecialKey(WPARAM AKey) {
  if (FDroppedDown && (AKey == VK_RETURN || AKey == VK_ESCAPE))
    return true;
  return TXPCustomButtonEdit::WantSpecialKey(AKey);
}

// ===========================================================================
// Keys

void TXPCustomComboBox::SelectAdjacent(int AIndex) {
  const int count = Items().GetCount();
  if (count == 0)
    return;
  SetItemIndex(std::clamp(AIndex, 0, count - 1));
  if (FStyle == csDropDown)
    SelectAll();
}

void TXPCustomComboBox::KeyDown(WORD& AKey, TShiftState AShift) {
  if (FReadOnly) {
    const bool passes =
        FStyle == csDropDown && (AKey == VK_END || AKey == VK_HOME || AKey == VK_LEFT ||
                                 AKey == VK_RIGHT || AKey == VK_INSERT);
    if (!passes) {
      AKey = 0;
      return;
    }
    TXPCustomButtonEdit::KeyDown(AKey, AShift);
    return;
  }
  const int current = ItemIndex();
  const bool altArrow =
      (AKey == VK_UP || AKey == VK_DOWN) && (AShift & ssAlt) && DropDownOnAltArrow();
  if (IsListStyle()) {
    if (OnKeyDown)
      OnKeyDown(this, AKey, AShift);
    switch (AKey) {
    case VK_END:
      SelectAdjacent(Items().GetCount() - 1);
      break;
    case VK_HOME:
      SelectAdjacent(0);
      break;
    case VK_LEFT:
      SelectAdjacent(std::max(current - 1, 0));
      break;
    case VK_RIGHT:
      SelectAdjacent(current + 1);
      break;
    case VK_UP:
    case VK_DOWN:
      if (altArrow) {
        if (FButton)
          FButton->Click();
      } else {
        SelectAdjacent(AKey == VK_UP ? std::max(current - 1, 0) : current + 1);
      }
      break;
    case VK_RETURN:
      if (AShift & ssCtrl) {
        ClickButton();
        AKey = 0;
      }
      break;
    default:
      break;
    }
    return;
  }
  TXPCustomButtonEdit::KeyDown(AKey, AShift);
  if (AKey != VK_UP && AKey != VK_DOWN)
    return;
  if (altArrow) {
    if (FButton)
      FButton->Click();
  } else {
    SelectAdjacent(AKey == VK_UP ? std::max(current - 1, 0) : current + 1);
  }
  AKey = 0;
}

void TXPCustomComboBox::ProcessChar(wchar_t& AKey) {
  // The edit's own character handling, without firing OnKeyPress again.
  TKeyPressEvent handler = std::move(OnKeyPress);
  OnKeyPress = nullptr;
  try {
    TCustomXPEdit::KeyPress(AKey);
  } catch (...) {
    OnKeyPress = std::move(handler);
    throw;
  }
  OnKeyPress = std::move(handler);
}

void TXPCustomComboBox::KeyPressBackspace() {
  const std::wstring text = Text();
  if (SelLength() > 0) {
    const int start = SelStart();
    std::wstring rest = text;
    rest.erase(size_t(start), size_t(SelLength()));
    {
      TXPSuppressChangeScope<TCustomXPListBox> quiet(*FPopupListBox);
      FPopupListBox->SetItemIndex(-1);
    }
    TCustomXPEdit::SetText(rest);
    SetSelStart(start);
    return;
  }
  if (FStyle == csDropDown && !text.empty()) {
    const int caret = CaretPos();
    if (caret <= 0)
      return;
    const size_t length = LastCharLength(text, size_t(caret));
    std::wstring rest = text;
    rest.erase(size_t(caret) - length, length);
    {
      TXPSuppressChangeScope<TCustomXPEdit> suppress(*this);
      {
        TXPSuppressChangeScope<TCustomXPListBox> quiet(*FPopupListBox);
        FPopupListBox->SetItemIndex(-1);
      }
      TCustomXPEdit::SetText(rest);
      SetSelStart(caret - int(length));
    }
    FFilter = rest;
    Change();
    return;
  }
  FFilter.resize(FFilter.size() - LastCharLength(FFilter, FFilter.size()));
}

void TXPCustomComboBox::KeyPress(wchar_t& AKey) {
  if (FReadOnly) {
    AKey = 0;
    return;
  }
  if (!FAutoComplete) {
    TXPCustomButtonEdit::KeyPress(AKey);
    return;
  }
  BeginSuppressKeyPress();
  try {
    TXPCustomButtonEdit::KeyPress(AKey);
  } catch (...) {
    EndSuppressKeyPress();
    throw;
  }
  EndSuppressKeyPress();
  if (AKey == 0)
    return;

  if (IsListStyle()) {
    const DWORD now = GetTickCount();
    if (now - FLastTime >= FAutoCompleteDelay)
      FFilter.clear();
    FLastTime = now;
  } else {
    FFilter = Text();
  }

  if (FStyle != csDropDownList) {
    const int reach = SelLength() > 0 ? SelStart() + SelLength() : CaretPos();
    if (reach < int(Text().size())) {
      ProcessChar(AKey);
      return;
    }
  }

  switch (AKey) {
  case VK_BACK:
    KeyPressBackspace();
    AKey = 0;
    return;
  case VK_TAB:
    if (FAutoDropDown && FDroppedDown)
      SetDroppedDown(false);
    return;
  case VK_ESCAPE:
    return;
  default:
    break;
  }
  if (AKey < L' ') {
    // Control characters (copy, paste, undo ...) are the edit's.
    ProcessChar(AKey);
    return;
  }

  if (FAutoDropDown && !FDroppedDown)
    ButtonClickDefault();
  std::wstring search =
      SelLength() > 0 ? FFilter.substr(0, std::min(size_t(SelStart()), FFilter.size())) : FFilter;
  search.push_back(AKey);
  if (IsHighSurrogate(AKey) && HandleAllocated()) {
    // The pair's second half waits in the queue: the two complete together.
    MSG next{};
    if (PeekMessageW(&next, Handle(), WM_CHAR, WM_CHAR, PM_NOREMOVE) &&
        IsLowSurrogate(wchar_t(next.wParam))) {
      search.push_back(wchar_t(next.wParam));
      if (CompleteText(search)) {
        PeekMessageW(&next, Handle(), WM_CHAR, WM_CHAR, PM_REMOVE);
        AKey = 0;
        return;
      }
    }
    ProcessChar(AKey);
    return;
  }
  if (CompleteText(search)) {
    AKey = 0;
    return;
  }
  if (FStyle != csDropDownList)
    ProcessChar(AKey);
  // A character that matches no item has no place in a drop-down list.
  AKey = 0;
}

bool TXPCustomComboBox::CompleteText(const std::wstring& AText) {
  if (AText.empty()) {
    SetItemIndex(-1);
    Change();
    return false;
  }
  const int current = ItemIndex();
  int start = current;
  if (current == 0 && Text() != Items().Get(0))
    start = -1;
  const int found = FPopupListBox->FindItemByPrefix(AText, false, start);
  if (found < 0)
    return false;
  const bool changed = found != current;
  if (IsListStyle()) {
    SetItemIndex(found);
    FFilter = AText;
  } else {
    const std::wstring before = Text();
    const std::wstring item = Items().Get(found);
    const std::wstring completed = AText + item.substr(std::min(AText.size(), item.size()));
    {
      TXPSuppressChangeScope<TCustomXPEdit> suppress(*this);
      {
        TXPSuppressChangeScope<TCustomXPListBox> quiet(*FPopupListBox);
        FPopupListBox->SetItemIndex(found);
      }
      TCustomXPEdit::SetText(completed);
      SetSelStart(int(AText.size()));
      SetSelLength(int(completed.size() - AText.size()));
    }
    if (Text() != before)
      Change();
  }
  if (changed)
    TXPCustomButtonEdit::Click();
  return true;
}

void TXPCustomComboBox::Change() {
  TXPCustomButtonEdit::Change();
}

// ===========================================================================
// Messages

void TXPCustomComboBox::WheelMessage(TMessage& AMessage) {
  if (FReadOnly) {
    TXPCustomButtonEdit::WndProc(AMessage);
    return;
  }
  if (FDroppedDown) {
    AMessage.Result = FPopupListBox->Perform(AMessage.Msg, AMessage.WParam, AMessage.LParam);
    return;
  }
  const int delta = GET_WHEEL_DELTA_WPARAM(AMessage.WParam);
  const int current = ItemIndex();
  if (delta < 0)
    SelectAdjacent(current + 1);
  else if (delta > 0)
    SelectAdjacent(std::max(current - 1, 0));
  AMessage.Result = 1;
}

void TXPCustomComboBox::WndProc(TMessage& AMessage) {
  switch (AMessage.Msg) {
  case WM_SETTEXT:
    ApplyText(AMessage.LParam ? reinterpret_cast<const wchar_t*>(AMessage.LParam) : L"");
    AMessage.Result = 1;
    return;
  case WM_MOUSEWHEEL:
    WheelMessage(AMessage);
    return;
  case WM_LBUTTONDBLCLK:
    if (FStyle != csDropDown) {
      // No words to select: the second press is one more press.
      AMessage.Msg = WM_LBUTTONDOWN;
      TXPCustomButtonEdit::WndProc(AMessage);
      return;
    }
    break;
  case WM_LBUTTONUP:
    TXPCustomButtonEdit::WndProc(AMessage);
    // The press that closed the list has been answered.
    FFlag1 = false;
    FFlag2 = false;
    return;
  default:
    break;
  }
  TXPCustomButtonEdit::WndProc(AMessage);
}

void TXPCustomComboBox::MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  TXPCustomButtonEdit::MouseDown(AButton, AShift, AX, AY);
}

// ===========================================================================
// Caret and cursor

void TXPCustomComboBox::CreateEditCaret() {
  if (FStyle == csDropDown)
    TXPCustomButtonEdit::CreateEditCaret();
}

void TXPCustomComboBox::DestroyEditCaret() {
  if (FStyle == csDropDown)
    TXPCustomButtonEdit::DestroyEditCaret();
}

void TXPCustomComboBox::SetCaretPosition(int AIndex) {
  TXPCustomButtonEdit::SetCaretPosition(FStyle == csDropDownList ? 0 : AIndex);
}

void TXPCustomComboBox::UpdateCursor() {
  if (FStyle == csDropDown)
    TXPCustomButtonEdit::UpdateCursor();
  else
    ::SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

void TXPCustomComboBox::UpdateHotTrack(bool AHot) {
  if (FDroppedDown)
    return;
  TXPCustomButtonEdit::UpdateHotTrack(AHot);
}

// ===========================================================================
// Buttons

void TXPCustomComboBox::UpdateButtonVisibility() {
  TXPCustomButtonEdit::UpdateButtonVisibility();
  if (!FButton2)
    return;
  const bool show = IsButtonVisible(FButton2, FShowButton2);
  if (show && !FButton2->Visible())
    FButton2->SetLeft(Width());
  FButton2->SetVisible(show);
}

void TXPCustomComboBox::MouseEnter(intptr_t AMarker) {
  TXPCustomButtonEdit::MouseEnter(AMarker);
  if (FTransparent)
    PostInvalidate();
}

void TXPCustomComboBox::MouseLeave(intptr_t AMarker) {
  TXPCustomButtonEdit::MouseLeave(AMarker);
  if (FTransparent)
    PostInvalidate();
}

void TXPCustomComboBox::Invalidate() {
  if (FTransparent)
    UpdateButtonVisibility();
  TXPCustomButtonEdit::Invalidate();
}

void TXPCustomComboBox::GetButtonsRect(RECT& ARect) {
  ARect = RECT{0, 0, 0, 0};
}

void TXPCustomComboBox::GetTextRect(RECT& ARect) {
  TXPCustomButtonEdit::GetTextRect(ARect);
  if (FShowButton2 && FButton2)
    ARect.right -= FButton2->Width();
}

void TXPCustomComboBox::AdjustButtonsArea(RECT& ARect) {
  if (IsWindowsVistaOrLater())
    return;
  TXPCustomButtonEdit::AdjustButtonsArea(ARect);
}

TGraphic* TXPCustomComboBox::GetButtonGlyph(TXPEditButton* AButton) {
  if (AButton && AButton == FButton2)
    return TXPEditResourceManager::EllipsisGlyph();
  return TXPEditResourceManager::ComboButtonGlyph();
}

void TXPCustomComboBox::GetButtonDetails(TXPEditButton* AButton, TXPThemeDetails& ADetails) {
  TXPCustomButtonEdit::GetButtonDetails(AButton, ADetails);
  if (!IsWindowsVistaOrLater())
    return;
  TXPEditButton* outermost = (FButton2 && FButton2->Visible()) ? FButton2 : FButton;
  const int state = AButton ? AButton->DrawState() : kComboNormal;
  if (AButton == outermost || FStyle == csDropDownList || state == kComboNormal ||
      state == kComboDisabled)
    ADetails.Part = kPartDropDownButtonRight;
  if (FStyle == csDropDownList)
    ADetails.State = GetThemeState() == kEditStateDisabled ? kComboDisabled : kComboNormal;
}

void TXPCustomComboBox::PaintButton(TXPEditButton* AButton) {
  if (AButton == FButton && FLookAndFeel == xlfNative && GetXPThemeState() == xtsThemed) {
    const bool shown = ComponentState().Contains(csDesigning) || !FTransparent || Focused() ||
                       FHot || AButton->Hot();
    if (shown) {
      TXPThemeDetails details;
      GetButtonDetails(AButton, details);
      const RECT rect{0, 0, AButton->Width(), AButton->Height()};
      DrawXPThemeDetails(HandleAllocated() ? Handle() : nullptr, details,
                         AButton->Canvas().Handle(), rect);
    }
    return;
  }
  TXPCustomButtonEdit::PaintButton(AButton);
}

void TXPCustomComboBox::PaintButtonGlyph(TXPEditButton* AButton, const RECT& ARect) {
  // The theme draws the drop button's arrow itself.
  if (GetXPThemeState() == xtsThemed && FLookAndFeel != xlfCustom && AButton != FButton2)
    return;
  TXPCustomButtonEdit::PaintButtonGlyph(AButton, ARect);
}

// ===========================================================================
// Painting

int TXPCustomComboBox::GetThemeState() {
  if (FDroppedDown)
    return kDroppedThemeState;
  return TXPCustomButtonEdit::GetThemeState();
}

void TXPCustomComboBox::GetThemeDetails(TXPThemeDetails& ADetails) {
  ADetails.ClassName = kComboThemeClass;
  ADetails.Part = FStyle == csDropDownList ? kPartReadOnly : kPartBorder;
  if (!Enabled())
    ADetails.State = kComboDisabled;
  else if (FDroppedDown)
    ADetails.State = kComboPressed;
  else if (FHot)
    ADetails.State = kComboHot;
  else if (Focused())
    ADetails.State = FStyle != csDropDownList ? kComboHot : kComboNormal;
  else
    ADetails.State = kComboNormal;
}

void TXPCustomComboBox::PaintText(const RECT& ARect, TColor ABackColor, TColor AFrameColor,
                                  TColor ASelTextColor, TColor ASelBackColor, TColor ATextColor) {
  TCanvas& canvas = Canvas();
  const bool focused = HandleAllocated() && Focused();
  if (OnDraw) {
    TOwnerDrawState state = 0;
    if (focused)
      state |= odFocused;
    if (!Enabled())
      state |= odDisabled;
    bool handled = false;
    OnDraw(this, canvas, ARect, state, handled);
    if (handled)
      return;
  }
  const bool vista = IsWindowsVistaOrLater();
  const int theme = GetXPThemeState();
  if (IsListStyle() && focused && !FDroppedDown) {
    RECT rect = ARect;
    rect.bottom += FExtraDelta;
    if (!FTransparent && !vista) {
      // The whole text shows as chosen.
      FillSolidRect(canvas.Handle(), rect, ASelBackColor);
      TXPCustomButtonEdit::PaintText(rect, ASelBackColor, AFrameColor, ASelTextColor, ASelBackColor,
                                     ASelTextColor);
    } else {
      RECT textRect = rect;
      if (vista && theme != xtsClassic && FStyle == csDropDownList)
        InflateRect(&textRect, -1, -1);
      TXPCustomButtonEdit::PaintText(textRect, ABackColor, AFrameColor, ASelTextColor,
                                     ASelBackColor, ATextColor);
    }
    if (!vista) {
      InflateRect(&rect, 1, 1);
      canvas.Font().SetColor(clWhite);
      canvas.Brush().SetStyle(TBrushStyle::Clear);
      SetBkMode(canvas.Handle(), TRANSPARENT);
      canvas.DrawFocusRect(rect);
    }
  } else {
    RECT rect = ARect;
    if (FStyle == csDropDownList)
      rect.bottom += FExtraDelta;
    TXPCustomButtonEdit::PaintText(rect, ABackColor, AFrameColor, ASelTextColor, ASelBackColor,
                                   ATextColor);
  }
  if (FStyle == csDropDownList && ItemIndex() < 0 && !FNoItemText.empty()) {
    RECT rect = ARect;
    InflateRect(&rect, 1, 1);
    rect.left = 3 * FExtraDelta;
    HDC dc = canvas.Handle();
    HGDIOBJ oldFont = SelectObject(dc, Font().Handle());
    SIZE zero{};
    GetTextExtentPoint32W(dc, L"0", 1, &zero);
    const int y = (Height() - zero.cy) / 2;
    SetTextColor(dc, ColorToColorRef(clGrayText));
    SetBkMode(dc, TRANSPARENT);
    ExtTextOutW(dc, rect.left, y, ETO_CLIPPED, &rect, FNoItemText.c_str(), UINT(FNoItemText.size()),
                nullptr);
    SelectObject(dc, oldFont);
  }
}
