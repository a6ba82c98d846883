#include "gx-memo-edit.h"

#include "controls.h"

#include <richedit.h>

#include <vector>

namespace {

constexpr int kLineBufferSize = 4096;

// Line breaks of any kind made CR LF.
std::wstring NormaliseLineBreaks(const std::wstring& AText) {
  std::wstring result;
  result.reserve(AText.size());
  for (size_t i = 0; i < AText.size(); ++i) {
    const wchar_t c = AText[i];
    if (c == L'\r') {
      result += L"\r\n";
      if (i + 1 < AText.size() && AText[i + 1] == L'\n')
        ++i;
    } else if (c == L'\n') {
      result += L"\r\n";
    } else {
      result += c;
    }
  }
  return result;
}

} // namespace

// ===========================================================================
// TgxMemoStrings

HWND TgxMemoStrings::Window() const {
  if (!MemoEdit || !MemoEdit->HandleAllocated())
    return nullptr;
  return MemoEdit->Handle();
}

int TgxMemoStrings::GetCount() const {
  HWND window = Window();
  if (!window)
    return 0;
  int count = int(SendMessageW(window, EM_GETLINECOUNT, 0, 0));
  if (count <= 0)
    return 0;
  const int lastStart = int(SendMessageW(window, EM_LINEINDEX, WPARAM(count - 1), 0));
  const int lastLength = int(SendMessageW(window, EM_LINELENGTH, WPARAM(lastStart), 0));
  if (lastLength == 0 || lastStart >= MemoEdit->GetTextLenEx())
    --count;
  return count;
}

std::wstring TgxMemoStrings::Get(int AIndex) const {
  HWND window = Window();
  if (!window || AIndex < 0)
    return {};
  std::vector<wchar_t> buffer(kLineBufferSize + 1, 0);
  buffer[0] = wchar_t(kLineBufferSize);
  const int copied = int(
      SendMessageW(window, EM_GETLINE, WPARAM(AIndex), reinterpret_cast<LPARAM>(buffer.data())));
  std::wstring line(buffer.data(), size_t(copied > 0 ? copied : 0));
  while (!line.empty() && (line.back() == L'\r' || line.back() == L'\n'))
    line.pop_back();
  return line;
}

void TgxMemoStrings::Replace(int AStart, int AEnd, const std::wstring& AText) const {
  HWND window = Window();
  CHARRANGE range{AStart, AEnd};
  SendMessageW(window, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
  SendMessageW(window, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(AText.c_str()));
}

void TgxMemoStrings::Put(int AIndex, const std::wstring& S) {
  HWND window = Window();
  if (!window || AIndex < 0)
    return;
  const int start = int(SendMessageW(window, EM_LINEINDEX, WPARAM(AIndex), 0));
  if (start < 0)
    return;
  const int length = int(SendMessageW(window, EM_LINELENGTH, WPARAM(start), 0));
  Replace(start, start + length, S);
}

void TgxMemoStrings::Insert(int AIndex, const std::wstring& S) {
  HWND window = Window();
  if (!window || AIndex < 0)
    return;
  const int start = int(SendMessageW(window, EM_LINEINDEX, WPARAM(AIndex), 0));
  if (start >= 0) {
    Replace(start, start, S + L"\r");
    return;
  }
  const int previous = int(SendMessageW(window, EM_LINEINDEX, WPARAM(AIndex - 1), 0));
  if (previous < 0)
    return;
  const int length = int(SendMessageW(window, EM_LINELENGTH, WPARAM(previous), 0));
  if (length == 0)
    return;
  Replace(previous + length, previous + length, L"\r" + S);
}

void TgxMemoStrings::Delete(int AIndex) {
  HWND window = Window();
  if (!window || AIndex < 0)
    return;
  const int start = int(SendMessageW(window, EM_LINEINDEX, WPARAM(AIndex), 0));
  if (start < 0)
    return;
  int end = int(SendMessageW(window, EM_LINEINDEX, WPARAM(AIndex + 1), 0));
  if (end < 0)
    end = start + int(SendMessageW(window, EM_LINELENGTH, WPARAM(start), 0));
  Replace(start, end, std::wstring());
}

void TgxMemoStrings::Clear() {
  if (MemoEdit)
    MemoEdit->Clear();
}

void TgxMemoStrings::SetUpdateState(bool AUpdating) {
  HWND window = Window();
  if (!window || !MemoEdit->Showing())
    return;
  SendMessageW(window, WM_SETREDRAW, AUpdating ? FALSE : TRUE, 0);
  if (!AUpdating)
    MemoEdit->Invalidate();
}

std::wstring TgxMemoStrings::GetText() const {
  return MemoEdit ? MemoEdit->Text() : std::wstring();
}

void TgxMemoStrings::SetText(const std::wstring& AText) {
  const std::wstring text = NormaliseLineBreaks(AText);
  HWND window = Window();
  if (!window) {
    if (MemoEdit)
      MemoEdit->SetText(text);
    return;
  }
  const LRESULT mask = SendMessageW(window, EM_GETEVENTMASK, 0, 0);
  SendMessageW(window, EM_SETEVENTMASK, 0, mask & ~LRESULT(ENM_CHANGE));
  try {
    // The window may hold the text with CR line breaks only.
    std::wstring current = MemoEdit->Text();
    if (NormaliseLineBreaks(current) != text &&
        !SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())))
      throw EInvalidOperation(kgxMemoCapacityText);
  } catch (...) {
    SendMessageW(window, EM_SETEVENTMASK, 0, mask);
    throw;
  }
  SendMessageW(window, EM_SETEVENTMASK, 0, mask);
  MemoEdit->Invalidate();
}

// ===========================================================================
// TgxMemoEditClass

const TgxMemoEditClass& TgxMemoEditClass::Instance() {
  static const TgxMemoEditClass instance;
  return instance;
}

// ===========================================================================
// TgxInplaceMemoEdit

TgxInplaceMemoEdit::TgxInplaceMemoEdit(TComponent* AOwner)
    : TgxInplaceTextEdit(AOwner), FLines(std::make_unique<TgxMemoStrings>(this)) {
  SetBounds(Left(), Top(), 185, 89);
  if (!EditClass().IsInplace())
    SetAutoSelect(false);
  SetAutoSize(false);
  SetSelectionBar(true);
}

TgxInplaceMemoEdit::~TgxInplaceMemoEdit() {
  DestroyHandle();
}

void TgxInplaceMemoEdit::SetHideScrollBars(bool AValue) {
  if (AValue == FHideScrollBars)
    return;
  FHideScrollBars = AValue;
  RecreateWnd();
}

void TgxInplaceMemoEdit::SetScrollBars(TgxMemoScrollStyle AValue) {
  if (AValue == FScrollBars)
    return;
  FScrollBars = AValue;
  RecreateWnd();
}

void TgxInplaceMemoEdit::SetWordWrap(bool AValue) {
  if (AValue == FWordWrap)
    return;
  FWordWrap = AValue;
  RecreateWnd();
}

void TgxInplaceMemoEdit::CreateParams(TCreateParams& AParams) {
  TgxInplaceTextEdit::CreateParams(AParams);
  if (FWordWrap)
    AParams.Style &= ~DWORD(ES_AUTOHSCROLL);
  static constexpr DWORD kScrollBars[] = {0, WS_HSCROLL, WS_VSCROLL, WS_HSCROLL | WS_VSCROLL};
  AParams.Style |= kScrollBars[FScrollBars];
  if (!FHideScrollBars)
    AParams.Style |= ES_DISABLENOSCROLL;
  AParams.Style |= ES_MULTILINE;
}

void TgxInplaceMemoEdit::CreateWnd() {
  const RECT bounds = BoundsRect();
  TgxInplaceTextEdit::CreateWnd();
  SetBoundsRect(bounds);
}

void TgxInplaceMemoEdit::SelectAll() {
  TgxInplaceTextEdit::SelectAll();
  if (EditClass().IsInplace() && HandleAllocated()) {
    SendMessageW(Handle(), EM_LINESCROLL, 0, -268435455);
    SendMessageW(Handle(), EM_SCROLL, SB_LINEUP, 0);
  }
}

TgxEditViewData* TgxInplaceMemoEdit::CreateViewData(bool AFromDefinition) {
  TgxEditViewData* data = TgxInplaceTextEdit::CreateViewData(AFromDefinition);
  data->DrawAlignment = daMultiLine;
  return data;
}

void TgxInplaceMemoEdit::GetDisplayValue(TgxVariant& AValue, bool AFromDefinition) {
  if (FDataDefinition && AFromDefinition) {
    AValue = FDataDefinition->GetDisplayValue();
    if (std::holds_alternative<std::monostate>(AValue))
      AValue = std::wstring();
    return;
  }
  TgxInplaceTextEdit::GetDisplayValue(AValue, AFromDefinition);
}

void TgxInplaceMemoEdit::Loaded() {
  TgxInplaceTextEdit::Loaded();
  SetModified(false);
}

void TgxInplaceMemoEdit::KeyDown(WORD& AKey, TShiftState AShift) {
  IgxEditContainer* container = Container();
  const bool ctrlOnly = (AShift & (ssCtrl | ssAlt)) == ssCtrl;
  if (AKey == VK_RETURN && ctrlOnly && CanModify()) {
    // The line break replaces the selection as typing would (undoable);
    // a rich edit ignores a carriage-return character while Ctrl is held.
    if (CanEditValue() && HandleAllocated())
      SendMessageW(Handle(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"\r"));
    AKey = 0;
    return;
  }
  if (AKey == VK_PRIOR || AKey == VK_NEXT || AKey == VK_UP || AKey == VK_DOWN) {
    // A rich edit's whole selection may take in its closing paragraph mark.
    if (GetSelLength() >= GetTextLenEx() && !(AShift & ssShift)) {
      TgxInplaceTextEdit::KeyDown(AKey, AShift);
    } else if (container) {
      container->DoEditKeyDown(AKey, AShift);
    }
    return;
  }
  if (AKey == VK_TAB && FWantTabs) {
    if (container)
      container->DoEditKeyDown(AKey, AShift);
    return;
  }
  TgxInplaceTextEdit::KeyDown(AKey, AShift);
}

void TgxInplaceMemoEdit::WndProc(TMessage& AMessage) {
  if (AMessage.Msg == WM_GETDLGCODE) {
    // The multi-line window asks for every key; the memo's settings decide.
    TgxInplaceTextEdit::WndProc(AMessage);
    if (FWantTabs)
      AMessage.Result |= DLGC_WANTTAB;
    if (!FWantReturns)
      AMessage.Result &= ~LRESULT(DLGC_WANTALLKEYS);
    return;
  }
  if (AMessage.Msg == WM_KEYDOWN && !FWantReturns && AMessage.WParam == VK_RETURN) {
    const bool ctrl = GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0;
    if (!ctrl) {
      // A plain Enter the memo does not want is the form's (its default
      // button) or the container's.
      if (HWND parent = HandleAllocated() ? GetParent(Handle()) : nullptr)
        AMessage.Result = SendMessageW(parent, AMessage.Msg, AMessage.WParam, AMessage.LParam);
      return;
    }
  }
  TgxInplaceTextEdit::WndProc(AMessage);
}
