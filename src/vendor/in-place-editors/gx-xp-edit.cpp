#include "gx-xp-edit.h"

#include "gx-utils.h"

#include "rtl-exceptions.h"
#include "seams.h"
#include "string-routines.h"
#include "xp-button-edit.h"
#include "xp-colors.h"
#include "xp-controls.h"

#include <imm.h>
#include <windows.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// Sets a flag for its scope, and clears it however the scope ends.
class TFlagScope {
public:
  explicit TFlagScope(bool& AFlag) : FFlag(AFlag), FPrevious(AFlag) { FFlag = true; }
  TFlagScope(const TFlagScope&) = delete;
  TFlagScope& operator=(const TFlagScope&) = delete;
  ~TFlagScope() { FFlag = FPrevious; }

private:
  bool& FFlag;
  bool FPrevious;
};

// The clipboard opened for a scope; another program may hold it for a
// moment, so opening is tried a bounded number of times.
class TClipboardScope {
public:
  explicit TClipboardScope(HWND AOwner) {
    for (int attempt = 0; attempt < 10 && !FOpen; ++attempt) {
      FOpen = OpenClipboard(AOwner) != FALSE;
      if (!FOpen)
        SleepFor(10);
    }
    if (!FOpen)
      throw Exception(L"Cannot open clipboard");
  }
  TClipboardScope(const TClipboardScope&) = delete;
  TClipboardScope& operator=(const TClipboardScope&) = delete;
  ~TClipboardScope() { CloseClipboard(); }

private:
  bool FOpen = false;
};

// A memory context with a font selected, for measuring.
class TMeasureDC {
public:
  explicit TMeasureDC(TFont& AFont) : FDC(CreateCompatibleDC(nullptr)) {
    FOld = SelectObject(FDC, AFont.Handle());
  }
  TMeasureDC(const TMeasureDC&) = delete;
  TMeasureDC& operator=(const TMeasureDC&) = delete;
  ~TMeasureDC() {
    SelectObject(FDC, FOld);
    DeleteDC(FDC);
  }
  HDC Handle() const { return FDC; }
  TEXTMETRICW Metrics() const {
    TEXTMETRICW metrics{};
    GetTextMetricsW(FDC, &metrics);
    return metrics;
  }

private:
  HDC FDC;
  HGDIOBJ FOld;
};

// Cumulative extents of ACount characters from AFrom, measured in chunks.
std::vector<int> Extents(HDC ADC, const std::wstring& AText, int AFrom, int ACount) {
  std::vector<int> extents(size_t(std::max(ACount, 0)));
  int base = 0;
  for (int done = 0; done < ACount;) {
    const int chunk = std::min(kXPEditMeasureChunk, ACount - done);
    SIZE size{};
    GetTextExtentExPointW(ADC, AText.c_str() + AFrom + done, chunk, 0, nullptr,
                          extents.data() + done, &size);
    for (int i = 0; i < chunk; ++i)
      extents[size_t(done + i)] += base;
    base = extents[size_t(done + chunk - 1)];
    done += chunk;
  }
  return extents;
}

HRESULT Guard(void (TCustomXPGXEdit::*ACommand)(), TCustomXPGXEdit& AEdit) {
  try {
    (AEdit.*ACommand)();
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

} // namespace

// ===========================================================================
// TXPGXEditClass

const TXPGXEditClass& TXPGXEditClass::Instance() {
  static const TXPGXEditClass instance;
  return instance;
}

bool TXPGXEditClass::DrawClientArea(HDC ADC, RECT& ARect, TgxEditViewData& AViewData,
                                    bool AIsControl) const {
  if (AViewData.IsEditClass && AIsControl)
    return false;
  // A cell shows the plain text: no case, password character or selection.
  const std::wstring data = VarToText(AViewData.Data);
  if (AViewData.DataLength == 0)
    AViewData.DataLength = int(data.size());
  RECT textRect = ARect;
  if (AViewData.FocusRect) {
    InflateRect(&textRect, -2, -2);
  } else {
    InflateRect(&textRect, -1, -1);
    textRect.left += AViewData.OffsetSize.left;
    textRect.top += AViewData.OffsetSize.top;
    textRect.right -= AViewData.OffsetSize.right;
    if (AViewData.Alignment == taRightJustify)
      textRect.right -= 1;
  }
  uint16_t flags = TextFlagsOf(AViewData.Alignment, AViewData.DrawAlignment);
  if (AViewData.FocusRect && AViewData.Focused)
    flags |= gxdtFocusRect;
  if (AViewData.Transparent)
    flags |= gxdtNoFill;
  if (AViewData.NoTransparentText)
    flags |= gxdtKeepBkMode;
  const int length = int(data.size());
  if (AViewData.CalcHeight) {
    AViewData.LineCount = 0;
    AViewData.LineTextHeight = 0;
    const int height = DrawTextInRect(
        ADC, data.c_str(), length, ARect, textRect, uint16_t(flags | gxdtMeasure), AViewData.Brush,
        AViewData.Font, AViewData.BkColor, AViewData.TextColor, &AViewData.LineTextHeight);
    AViewData.LineHeight =
        AViewData.FocusRect ? height - 2 : height - (AViewData.OffsetSize.top + 2);
    if (AViewData.LineTextHeight != 0)
      AViewData.LineCount = AViewData.LineHeight / AViewData.LineTextHeight;
  } else {
    DrawTextInRect(ADC, data.c_str(), length, ARect, textRect, flags, AViewData.Brush,
                   AViewData.Font, AViewData.BkColor, AViewData.TextColor);
  }
  return true;
}

// ===========================================================================
// TCustomXPGXEdit: the command interface

HRESULT STDMETHODCALLTYPE TCustomXPGXEdit::TCommands::QueryInterface(REFIID AIid, void** AObject) {
  if (!AObject)
    return E_POINTER;
  if (IsEqualGUID(AIid, IID_IUnknown) || IsEqualGUID(AIid, IID_IXPEditCommands)) {
    *AObject = static_cast<IXPEditCommands*>(this);
    return S_OK;
  }
  *AObject = nullptr;
  return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE TCustomXPGXEdit::TCommands::Undo() {
  return Guard(&TCustomXPGXEdit::DoUndo, FEdit);
}
HRESULT STDMETHODCALLTYPE TCustomXPGXEdit::TCommands::CutToClipboard() {
  const HRESULT copied = CopyToClipboard();
  return FAILED(copied) ? copied : DeleteSelection();
}
HRESULT STDMETHODCALLTYPE TCustomXPGXEdit::TCommands::CopyToClipboard() {
  return Guard(&TCustomXPGXEdit::DoCopy, FEdit);
}
HRESULT STDMETHODCALLTYPE TCustomXPGXEdit::TCommands::PasteFromClipboard() {
  return Guard(&TCustomXPGXEdit::DoPaste, FEdit);
}
HRESULT STDMETHODCALLTYPE TCustomXPGXEdit::TCommands::DeleteSelection() {
  return Guard(&TCustomXPGXEdit::DoDeleteSelection, FEdit);
}
HRESULT STDMETHODCALLTYPE TCustomXPGXEdit::TCommands::SelectAll() {
  return Guard(&TCustomXPGXEdit::DoSelectAll, FEdit);
}

void TCustomXPGXEdit::RaiseOnFailure(HRESULT AResult) {
  if (FAILED(AResult))
    throw Exception(L"The edit command failed (0x" + std::to_wstring(unsigned(AResult)) + L")");
}

void TCustomXPGXEdit::Undo() {
  RaiseOnFailure(FCommands.Undo());
}
void TCustomXPGXEdit::CopyToClipboard() {
  RaiseOnFailure(FCommands.CopyToClipboard());
}
void TCustomXPGXEdit::CutToClipboard() {
  RaiseOnFailure(FCommands.CutToClipboard());
}
void TCustomXPGXEdit::PasteFromClipboard() {
  RaiseOnFailure(FCommands.PasteFromClipboard());
}
void TCustomXPGXEdit::DeleteSelection() {
  RaiseOnFailure(FCommands.DeleteSelection());
}
void TCustomXPGXEdit::SelectAll() {
  RaiseOnFailure(FCommands.SelectAll());
}

// ===========================================================================
// TCustomXPGXEdit

TCustomXPGXEdit::TCustomXPGXEdit(TComponent* AOwner) : TgxInplaceEdit(AOwner) {
  FControlStyle =
      (FControlStyle & ~uint32_t(csOpaque)) | csClickEvents | csDoubleClicks | csCaptureMouse;
  SetBounds(Left(), Top(), 121, 21);
  SetParentColor(false);
  SetColor(clWindow);
  SetCursor(crDefault);
  SetTabStop(true);
  SetParentFont(true);
  // Always the classic look: no frame, a one-pixel border.
  FFrameSize = 0;
  FBorderSize = 1;
  ClearUndo();
}

TCustomXPGXEdit::~TCustomXPGXEdit() {
  TXPEditResourceManager::Unbind(&FCommands);
  // The window's last messages paint through the canvas.
  DestroyHandle();
  FCanvas.SetHandle(nullptr);
}

void TCustomXPGXEdit::Loaded() {
  TgxInplaceEdit::Loaded();
  ClearUndo();
  SetModified(false);
}

// --- text ------------------------------------------------------------------------------------

void TCustomXPGXEdit::RebuildDisplayText() {
  FDisplayText = FPasswordChar ? std::wstring(FText.size(), FPasswordChar) : FText;
  const int length = int(FDisplayText.size());
  FCaretPos = std::clamp(FCaretPos, 0, length);
  FSelBegin = std::clamp(FSelBegin, 0, length);
  FSelEnd = std::clamp(FSelEnd, 0, length);
  FFirstChar = std::clamp(FFirstChar, 0, length);
  UpdateVisibleCounts();
}

void TCustomXPGXEdit::StoreText(const std::wstring& AValue) {
  std::wstring value = AValue;
  if (FOEMConvert) {
    value = OemConvertedText(value);
  }
  if (value == FText)
    return;
  if (FNeedSaveUndo) {
    FUndoText = FText;
    FNeedSaveUndo = false;
  }
  FText = value;
  FCanUndo = true;
  RebuildDisplayText();
  // The framework's caption follows, so listings and hints see the text.
  const TFlagScope mirroring(FMirroringCaption);
  TControl::SetText(FText);
}

std::wstring TCustomXPGXEdit::UnicodeText() const {
  if (!FOEMConvert || FText.empty())
    return FText;
  const std::string ansi = WideToAnsiString(FText);
  std::wstring text(ansi.size() + 1, L'\0');
  OemToCharW(ansi.c_str(), text.data());
  text.resize(wcslen(text.c_str()));
  return text;
}

void TCustomXPGXEdit::SetUnicodeText(const std::wstring& AValue) {
  const std::wstring before = FText;
  StoreText(AValue);
  if (FText != before) {
    SendTextChanged();
    Invalidate();
  }
}

void TCustomXPGXEdit::SetText(const std::wstring& AValue) {
  SetUnicodeText(AValue);
  ClearUndo();
}

void TCustomXPGXEdit::SetEditValue(const TgxVariant& AValue) {
  // As the window text: a value put in cannot be undone.
  SetText(VarToText(AValue));
}

void TCustomXPGXEdit::Clear() {
  {
    const TFlagScope changing(FInTextChanging);
    StoreText(L"");
  }
  Invalidate();
}

void TCustomXPGXEdit::ClearUndo() {
  FUndoText.clear();
  FCanUndo = false;
  FNeedSaveUndo = true;
}

void TCustomXPGXEdit::SendTextChanged() {
  if (FInTextChanging)
    return;
  SetFirstChar(0);
  SetCaretPosition(int(FDisplayText.size()));
  const TFlagScope external(FExternalTextChanging);
  DoChange();
}

void TCustomXPGXEdit::TextChanged() {
  if (FMirroringCaption)
    return;
  // The caption was set through the framework: the same as setting Text.
  SetText(TControl::Text());
}

void TCustomXPGXEdit::DoChange() {
  if (ComponentState().Contains(csLoading) || FSuppressChange > 0)
    return;
  SetModified(true);
  if (OnChange)
    OnChange(this);
}

// --- commands ----------------------------------------------------------------------------

void TCustomXPGXEdit::DoUndo() {
  if (!CanUndo())
    return;
  FNeedSaveUndo = true;
  StoreText(FUndoText);
  FNeedSaveUndo = true;
  SendTextChanged();
  Invalidate();
  DoSelectAll();
}

void TCustomXPGXEdit::DoCopy() {
  if (FPasswordChar)
    return;
  const std::wstring text = SelText();
  TClipboardScope clipboard(HandleAllocated() ? Handle() : nullptr);
  EmptyClipboard();
  const size_t bytes = text.size() * 2 + 2;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (!memory)
    throw Exception(L"Out of memory");
  void* data = GlobalLock(memory);
  std::memcpy(data, text.c_str(), bytes);
  GlobalUnlock(memory);
  if (!SetClipboardData(CF_UNICODETEXT, memory)) {
    GlobalFree(memory);
    throw Exception(L"Cannot set the clipboard's text");
  }
}

void TCustomXPGXEdit::DoPaste() {
  std::wstring text;
  {
    TClipboardScope clipboard(HandleAllocated() ? Handle() : nullptr);
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
      if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
        const size_t limit = GlobalSize(data) / sizeof(wchar_t);
        text.assign(chars, wcsnlen(chars, limit));
        GlobalUnlock(data);
      }
    }
  }
  InsertText(text);
}

void TCustomXPGXEdit::DoDeleteSelection() {
  if (FReadOnly)
    return;
  const int start = SelStart(), count = SelLength();
  FCaretPos = start;
  FSelBegin = FSelEnd = start;
  if (count > 0)
    DeleteAtCaret(count);
  else
    UpdateCaret();
  Invalidate();
}

void TCustomXPGXEdit::DoSelectAll() {
  SetSelStart(0);
  SetSelLength(int(FDisplayText.size()));
  MoveCaret(SelStart() + SelLength());
}

// --- editing --------------------------------------------------------------------------------

std::wstring TCustomXPGXEdit::ApplyCharCase(const std::wstring& AText) const {
  std::wstring text = AText;
  for (wchar_t& c : text) {
    if (FCharCase == ecUpperCase && c >= L'a' && c <= L'z')
      c = wchar_t(c - L'a' + L'A');
    else if (FCharCase == ecLowerCase && c >= L'A' && c <= L'Z')
      c = wchar_t(c - L'A' + L'a');
  }
  return text;
}

void TCustomXPGXEdit::InsertText(const std::wstring& AText) {
  if (FReadOnly || AText.empty())
    return;
  {
    const TFlagScope changing(FInTextChanging);
    const int start = SelStart();
    std::wstring text = FText;
    text.erase(size_t(std::min(start, int(text.size()))), size_t(SelLength()));
    FCaretPos = start;
    std::wstring inserted = AText;
    for (wchar_t& c : inserted)
      if (c < 32)
        c = L' ';
    if (FMaxLength > 0) {
      const int room = std::max(0, FMaxLength - int(text.size()));
      if (int(inserted.size()) > room)
        inserted.resize(size_t(room));
    }
    inserted = ApplyCharCase(inserted);
    const bool followEnd = FCaretPos == FFirstChar && FCaretPos == int(text.size());
    text.insert(size_t(std::min(FCaretPos, int(text.size()))), inserted);
    const int firstChar = FFirstChar;
    StoreText(text);
    if (followEnd)
      ScrollToCaret();
    else
      SetFirstChar(firstChar);
    const int caret = std::min(start + int(inserted.size()), int(FDisplayText.size()));
    FSelBegin = FSelEnd = caret;
    MoveCaret(caret);
  }
  Invalidate();
  DoChange();
}

void TCustomXPGXEdit::DeleteBeforeCaret(int ACount) {
  if (FReadOnly || FCaretPos <= 0)
    return;
  {
    const TFlagScope changing(FInTextChanging);
    const int caret = std::max(0, FCaretPos - ACount);
    std::wstring text = FText;
    text.erase(size_t(caret), size_t(FCaretPos - caret));
    FCaretPos = caret;
    FSelBegin = FSelEnd = caret;
    const int firstChar = FFirstChar;
    StoreText(text);
    if (firstChar >= FCaretPos)
      ScrollToCaret();
    else
      SetFirstChar(firstChar);
    MoveCaret(caret);
  }
  Invalidate();
  DoChange();
}

void TCustomXPGXEdit::DeleteAtCaret(int ACount) {
  if (FReadOnly)
    return;
  {
    const TFlagScope changing(FInTextChanging);
    std::wstring text = FText;
    if (FCaretPos < int(text.size()))
      text.erase(size_t(FCaretPos), size_t(ACount));
    const int firstChar = FFirstChar, caret = FCaretPos;
    StoreText(text);
    if (caret == firstChar && caret == int(FDisplayText.size()))
      ScrollToCaret();
    else
      SetFirstChar(firstChar);
    FSelBegin = FSelEnd = caret;
    MoveCaret(caret);
  }
  Invalidate();
  DoChange();
}

// --- selection and caret ----------------------------------------------------------------------

void TCustomXPGXEdit::SetCaretPosition(int AIndex) {
  const int index = std::clamp(AIndex, 0, int(FDisplayText.size()));
  const bool extending = GetKeyState(VK_SHIFT) < 0 || FMouseSelect;
  if (!extending) {
    const bool hadSelection = FSelBegin != FSelEnd;
    FSelBegin = FSelEnd = index;
    if (hadSelection)
      Invalidate();
  }
  if (index == FCaretPos) {
    UpdateCaret();
    return;
  }
  if (extending) {
    FSelEnd = index;
    Invalidate();
  }
  MoveCaret(index);
}

void TCustomXPGXEdit::MoveCaret(int AIndex) {
  FCaretPos = std::clamp(AIndex, 0, int(FDisplayText.size()));
  if (HandleAllocated()) {
    if (FCaretPos < FFirstChar)
      SetFirstChar(FCaretPos);
    else if (FCaretPos > FFirstChar + FCharVisibleCount)
      SetFirstChar(FirstCharForRightEdge(FCaretPos));
  }
  UpdateCaret();
}

void TCustomXPGXEdit::SetSelStart(int AValue) {
  const int value = std::clamp(AValue, 0, int(FDisplayText.size()));
  if (value == SelStart())
    return;
  MoveCaret(value);
  FSelBegin = FSelEnd = value;
  Invalidate();
}

void TCustomXPGXEdit::SetSelLength(int AValue) {
  const int value = std::clamp(AValue, 0, int(FDisplayText.size()) - SelStart());
  if (value == SelLength())
    return;
  if (FSelEnd < FSelBegin)
    FSelBegin = FCaretPos;
  FSelEnd = FSelBegin + value;
  Invalidate();
}

std::wstring TCustomXPGXEdit::SelText() const {
  const std::wstring text = Text();
  const size_t start = std::min(size_t(SelStart()), text.size());
  return text.substr(start, size_t(SelLength()));
}

void TCustomXPGXEdit::SetSelText(const std::wstring& AValue) {
  if (AValue.empty()) {
    if (SelLength() > 0)
      DeleteSelection();
    return;
  }
  InsertText(AValue);
}

void TCustomXPGXEdit::ClearSelection() {
  SetSelText(L"");
}

void TCustomXPGXEdit::EndMouseSelect() {
  FMouseSelect = false;
}

void TCustomXPGXEdit::CancelMode(TControl* /*ASender*/) {
  EndMouseSelect();
}

void TCustomXPGXEdit::GetCursorPos(POINT& APoint) const {
  ::GetCursorPos(&APoint);
  APoint = ScreenToClient(APoint);
}

// --- geometry and scrolling -------------------------------------------------------------------

void TCustomXPGXEdit::GetButtonsRect(RECT& ARect) {
  ARect = RECT{0, 0, 0, 0};
}

void TCustomXPGXEdit::GetTextRect(RECT& ARect) {
  ARect = ClientRect();
  const int inset = FFrameSize + FBorderSize;
  InflateRect(&ARect, -inset, -inset);
}

int TCustomXPGXEdit::WidthOf(int AFrom, int ATo) {
  const int from = std::clamp(AFrom, 0, int(FDisplayText.size()));
  const int to = std::clamp(ATo, from, int(FDisplayText.size()));
  if (to == from)
    return 0;
  TMeasureDC dc(Font());
  return Extents(dc.Handle(), FDisplayText, from, to - from).back();
}

void TCustomXPGXEdit::UpdateVisibleCounts() {
  RECT rect;
  GetTextRect(rect);
  const int width = rect.right - rect.left;
  const int count = int(FDisplayText.size()) - FFirstChar;
  if (count <= 0 || width <= 0) {
    FCharPartialVisibleCount = FCharVisibleCount = 0;
    return;
  }
  TMeasureDC dc(Font());
  const int overhang = dc.Metrics().tmOverhang;
  const std::vector<int> extents = Extents(dc.Handle(), FDisplayText, FFirstChar, count);
  int partial = 0, full = 0;
  for (int i = 0; i < count; ++i) {
    const int start = i == 0 ? 0 : extents[size_t(i - 1)];
    if (start < width)
      partial = i + 1;
    if (extents[size_t(i)] <= width - overhang && full == i)
      full = i + 1;
  }
  FCharPartialVisibleCount = partial;
  FCharVisibleCount = full;
}

int TCustomXPGXEdit::FirstCharForRightEdge(int AIndex) {
  const int index = std::clamp(AIndex, 0, int(FDisplayText.size()));
  RECT rect;
  GetTextRect(rect);
  TMeasureDC dc(Font());
  const int budget = rect.right - rect.left - dc.Metrics().tmOverhang;
  int first = index, used = 0;
  while (first > 0) {
    const int start = std::max(0, first - kXPEditMeasureChunk);
    const std::vector<int> extents = Extents(dc.Handle(), FDisplayText, start, first - start);
    for (int i = first - start - 1; i >= 0; --i) {
      const int charWidth = extents[size_t(i)] - (i == 0 ? 0 : extents[size_t(i - 1)]);
      if (used + charWidth > budget)
        return first;
      used += charWidth;
      --first;
    }
  }
  return first;
}

void TCustomXPGXEdit::SetFirstChar(int AValue) {
  FFirstChar = std::clamp(AValue, 0, int(FDisplayText.size()));
  UpdateVisibleCounts();
  if (HandleAllocated())
    Invalidate();
}

void TCustomXPGXEdit::ScrollToCaret() {
  SetFirstChar(FirstCharForRightEdge(FCaretPos));
  UpdateCaret();
}

void TCustomXPGXEdit::UpdateCaret() {
  if (!HandleAllocated())
    return;
  RECT rect;
  GetTextRect(rect);
  const int x = rect.left + WidthOf(FFirstChar, FCaretPos), y = rect.top;
  if (Focused())
    SetCaretPos(x, y);
  if (HIMC context = ImmGetContext(Handle())) {
    COMPOSITIONFORM form{};
    form.dwStyle = CFS_POINT;
    form.ptCurrentPos = POINT{x, y};
    ImmSetCompositionWindow(context, &form);
    ImmReleaseContext(Handle(), context);
  }
}

void TCustomXPGXEdit::CreateEditCaret() {
  if (!HandleAllocated())
    return;
  RECT rect;
  GetTextRect(rect);
  CreateCaret(Handle(), nullptr, 1, rect.bottom - rect.top);
  UpdateCaret();
  ShowCaret(Handle());
}

void TCustomXPGXEdit::DestroyEditCaret() {
  if (!HandleAllocated())
    return;
  HideCaret(Handle());
  DestroyCaret();
}

int TCustomXPGXEdit::PositionAt(int AX) {
  RECT rect;
  GetTextRect(rect);
  int x = AX - rect.left;
  if (x < 0)
    return std::max(0, FFirstChar - 1);
  const int count = int(FDisplayText.size()) - FFirstChar;
  if (count <= 0)
    return int(FDisplayText.size());
  TMeasureDC dc(Font());
  const std::vector<int> extents = Extents(dc.Handle(), FDisplayText, FFirstChar, count);
  for (int i = 0; i < count; ++i) {
    const int width = extents[size_t(i)] - (i == 0 ? 0 : extents[size_t(i - 1)]);
    if (x <= width / 2)
      return FFirstChar + i;
    x -= width;
  }
  return int(FDisplayText.size());
}

void TCustomXPGXEdit::AdjustHeight() {
  if (!HandleAllocated())
    return;
  {
    TMeasureDC dc(Font());
    FFontHeight = dc.Metrics().tmHeight;
  }
  int height = 2 * (FBorderSize + FFrameSize) + FFontHeight + 2;
  if (FBorderStyle == bsSingle && !FTransparent)
    height += Ctl3D() ? 2 * GetSystemMetrics(SM_CYEDGE) : 2;
  if (FAutoSize || Height() < height)
    SetHeight(height);
  Invalidate();
}

int TCustomXPGXEdit::GetAutoWidth() {
  if (!HandleAllocated())
    return Width();
  TMeasureDC dc(Font());
  int width = WidthOf(0, int(FDisplayText.size())) + 2 * (FFrameSize + FBorderSize);
  if (!FDisplayText.empty()) {
    const TEXTMETRICW metrics = dc.Metrics();
    ABC abc{};
    const wchar_t last = FDisplayText.back();
    if ((metrics.tmPitchAndFamily & TMPF_TRUETYPE) &&
        GetCharABCWidthsW(dc.Handle(), last, last, &abc))
      width -= abc.abcC;
    else
      width += metrics.tmOverhang;
  }
  width += 2 * FFrameSize;
  if (FBorderStyle != bsNone)
    width += 2 * FBorderSize;
  return width;
}

// --- settings ------------------------------------------------------------------------------------

void TCustomXPGXEdit::SetAutoSize(bool AValue) {
  if (AValue == FAutoSize)
    return;
  FAutoSize = AValue;
  if (FAutoSize)
    AdjustHeight();
}

void TCustomXPGXEdit::SetBorderStyle(TBorderStyle AValue) {
  if (AValue == FBorderStyle)
    return;
  FBorderStyle = AValue;
  if (HandleAllocated())
    RecreateWnd();
}

void TCustomXPGXEdit::Ctl3DChanged() {
  if (HandleAllocated())
    RecreateWnd();
}

void TCustomXPGXEdit::SetCharCase(TEditCharCase AValue) {
  if (AValue == FCharCase)
    return;
  FCharCase = AValue;
  {
    const TFlagScope changing(FInTextChanging);
    StoreText(ApplyCharCase(FText));
  }
  Invalidate();
}

void TCustomXPGXEdit::SetMaxLength(int AValue) {
  // The current text is not cut.
  FMaxLength = std::max(AValue, 0);
}

void TCustomXPGXEdit::SetPasswordChar(wchar_t AValue) {
  if (AValue == FPasswordChar)
    return;
  FPasswordChar = AValue;
  RebuildDisplayText();
  Invalidate();
}

void TCustomXPGXEdit::SetReadOnly(bool AValue) {
  if (AValue == FReadOnly)
    return;
  FReadOnly = AValue;
  Invalidate();
}

void TCustomXPGXEdit::SetHideSelection(bool AValue) {
  if (AValue == FHideSelection)
    return;
  FHideSelection = AValue;
  Invalidate();
}

void TCustomXPGXEdit::SetUseColor(bool AValue) {
  if (AValue == FUseColor)
    return;
  FUseColor = AValue;
  Invalidate();
}

void TCustomXPGXEdit::SetHotTrack(bool AValue) {
  if (AValue == FHotTrack)
    return;
  FHotTrack = AValue;
  UpdateHotTrack(false);
}

void TCustomXPGXEdit::UpdateHotTrack(bool AHot) {
  if (!FTransparent || !FHotTrack)
    return;
  const TFontStyles style = Font().Style();
  Font().SetStyle(AHot ? TFontStyles(style | fsUnderline) : TFontStyles(style & ~fsUnderline));
}

void TCustomXPGXEdit::SetTransparent(bool AValue) {
  if (AValue == FTransparent)
    return;
  FTransparent = AValue;
  if (HandleAllocated())
    RecreateWnd();
}

// --- the context menu
// -----------------------------------------------------------------------------

TPopupMenu* TCustomXPGXEdit::GetPopupMenu() {
  if (auto* assigned = dynamic_cast<TPopupMenu*>(PopupMenu()))
    return assigned;
  TPopupMenu* menu = TXPEditResourceManager::StandardEditPopupMenu();
  TXPEditResourceManager::BindMenuItems(&FCommands);
  TXPEditResourceManager::MenuItemUndo()->SetEnabled(CanUndo());
  TXPEditResourceManager::MenuItemCut()->SetEnabled(SelLength() > 0);
  TXPEditResourceManager::MenuItemCopy()->SetEnabled(SelLength() > 0);
  TXPEditResourceManager::MenuItemDelete()->SetEnabled(SelLength() > 0);
  TXPEditResourceManager::MenuItemPaste()->SetEnabled(IsClipboardFormatAvailable(CF_UNICODETEXT) ||
                                                      IsClipboardFormatAvailable(CF_TEXT));
  TXPEditResourceManager::MenuItemSelectAll()->SetEnabled(SelLength() != int(FDisplayText.size()));
  return menu;
}

void TCustomXPGXEdit::ShowContextMenu(LPARAM ALParam) {
  TPopupMenu* menu = GetPopupMenu();
  if (!menu)
    return;
  POINT at{GET_X_LPARAM(ALParam), GET_Y_LPARAM(ALParam)};
  if (at.x == -1 && at.y == -1) {
    RECT rect;
    GetTextRect(rect);
    at = ClientToScreen({rect.left + WidthOf(FFirstChar, FCaretPos), rect.bottom});
  }
  menu->SetPopupComponent(this);
  menu->Popup(at.x, at.y);
}

// --- keyboard
// ---------------------------------------------------------------------------------------

void TCustomXPGXEdit::KeyDown(WORD& AKey, TShiftState AShift) {
  TgxInplaceEdit::KeyDown(AKey, AShift);
  if (AKey == 0)
    return;
  const TShiftState keys = AShift & (ssShift | ssAlt | ssCtrl);
  switch (AKey) {
  case VK_BACK:
    if (keys == ssAlt)
      Undo();
    break;
  case VK_END:
    SetCaretPosition(int(FDisplayText.size()));
    break;
  case VK_HOME:
    SetCaretPosition(0);
    break;
  case VK_LEFT:
    SetCaretPosition((keys & ssCtrl) ? XPEditWordStartBefore(FDisplayText, FCaretPos)
                                     : FCaretPos - 1);
    break;
  case VK_RIGHT:
    SetCaretPosition((keys & ssCtrl) ? XPEditWordStartAfter(FDisplayText, FCaretPos)
                                     : FCaretPos + 1);
    break;
  case VK_INSERT:
    if (keys == ssShift)
      PasteFromClipboard();
    else if (keys == ssCtrl)
      CopyToClipboard();
    break;
  case VK_DELETE:
    if (keys == 0) {
      if (SelLength() > 0)
        DeleteSelection();
      else
        DeleteAtCaret(1);
    } else if (keys == ssShift) {
      CutToClipboard();
    }
    break;
  default:
    break;
  }
}

void TCustomXPGXEdit::KeyPress(wchar_t& AKey) {
  TgxInplaceEdit::KeyPress(AKey);
  if (AKey == 0 || FSuppressKeyPress > 0)
    return;
  if (FImeCount > 0) {
    // The input method's result arrives character by character; it is
    // inserted whole once the last one is in. A surrogate pair counts once.
    const bool lead = AKey >= 0xD800 && AKey <= 0xDBFF;
    if (!lead)
      FImeCount -= 2;
    AKey = 0;
    if (FImeCount <= 0) {
      FImeCount = 0;
      const std::wstring text = FImeStr;
      FImeStr.clear();
      InsertText(text);
    }
    return;
  }
  const wchar_t key = AKey;
  if (key >= 0xD800 && key <= 0xDFFF) {
    AKey = 0;
    return;
  }
  if (key > 31) {
    InsertText(std::wstring(1, key));
    AKey = 0;
    return;
  }
  switch (key) {
  case 3:
    CopyToClipboard();
    break;
  case 8:
    if (SelLength() > 0)
      DeleteSelection();
    else
      DeleteBeforeCaret(1);
    break;
  case 22:
    PasteFromClipboard();
    break;
  case 24:
    CutToClipboard();
    break;
  case 26:
    Undo();
    break;
  default:
    return;
  }
  AKey = 0;
}

void TCustomXPGXEdit::ImeComposition(TMessage& AMessage) {
  if (AMessage.LParam & GCS_RESULTSTR) {
    if (HIMC context = ImmGetContext(Handle())) {
      const LONG bytes = ImmGetCompositionStringW(context, GCS_RESULTSTR, nullptr, 0);
      if (bytes > 0) {
        std::wstring text(size_t(bytes) / sizeof(wchar_t), L'\0');
        ImmGetCompositionStringW(context, GCS_RESULTSTR, text.data(), DWORD(bytes));
        FImeCount = int(bytes);
        FImeStr = text;
      }
      ImmReleaseContext(Handle(), context);
    }
  }
  TgxInplaceEdit::WndProc(AMessage);
}

void TCustomXPGXEdit::ImeNotify(TMessage& AMessage) {
  if (AMessage.WParam == IMN_SETOPENSTATUS || AMessage.WParam == IMN_SETCOMPOSITIONWINDOW) {
    if (HIMC context = ImmGetContext(Handle())) {
      LOGFONTW font{};
      if (GetObjectW(Font().Handle(), sizeof(font), &font))
        ImmSetCompositionFontW(context, &font);
      ImmReleaseContext(Handle(), context);
    }
  }
  TgxInplaceEdit::WndProc(AMessage);
}

// --- mouse
// ------------------------------------------------------------------------------------------

void TCustomXPGXEdit::MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  TgxInplaceEdit::MouseDown(AButton, AShift, AX, AY);
  if ((AButton == mbLeft || AButton == mbRight) && !Focused() && HandleAllocated())
    ::SetFocus(Handle());
  if (AButton != mbLeft || (AShift & ssDouble))
    return;
  RECT rect;
  GetTextRect(rect);
  const POINT point{AX, AY};
  if (!PtInRect(&rect, point))
    return;
  SetCaretPosition(PositionAt(AX));
  FMouseSelect = true;
}

void TCustomXPGXEdit::MouseMove(TShiftState AShift, int AX, int AY) {
  TgxInplaceEdit::MouseMove(AShift, AX, AY);
  if (FMouseSelect)
    SetCaretPosition(PositionAt(AX));
}

void TCustomXPGXEdit::MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  FMouseSelect = false;
  TgxInplaceEdit::MouseUp(AButton, AShift, AX, AY);
}

void TCustomXPGXEdit::SelectWordAt(int APosition) {
  const std::wstring& text = FDisplayText;
  const int length = int(text.size());
  const int p = std::clamp(APosition, 0, length);
  int start = p, end = p;
  if (p < length && text[size_t(p)] != L' ') {
    while (start > 0 && text[size_t(start - 1)] != L' ')
      --start;
    while (end < length && text[size_t(end)] != L' ')
      ++end;
  } else {
    int left = p;
    while (left > 0 && text[size_t(left - 1)] == L' ')
      --left;
    if (left > 0) {
      end = left;
      start = left;
      while (start > 0 && text[size_t(start - 1)] != L' ')
        --start;
    } else {
      start = p;
      while (start < length && text[size_t(start)] == L' ')
        ++start;
      end = start;
      while (end < length && text[size_t(end)] != L' ')
        ++end;
    }
  }
  FSelBegin = start;
  FSelEnd = end;
  MoveCaret(end);
  Invalidate();
}

void TCustomXPGXEdit::UpdateCursor() {
  POINT point;
  GetCursorPos(point);
  RECT rect;
  GetTextRect(rect);
  ::SetCursor(Screen()->Cursor(PtInRect(&rect, point) ? crIBeam : crDefault));
}

void TCustomXPGXEdit::MouseEnter(intptr_t AMarker) {
  TgxInplaceEdit::MouseEnter(AMarker);
  FHot = true;
  UpdateHotTrack(true);
  Invalidate();
}

void TCustomXPGXEdit::MouseLeave(intptr_t AMarker) {
  TgxInplaceEdit::MouseLeave(AMarker);
  FHot = false;
  UpdateHotTrack(false);
  Invalidate();
}

// --- focus, font, enabling
// ------------------------------------------------------------------------

void TCustomXPGXEdit::DoEnter() {
  if (FAutoSelect && GetKeyState(VK_LBUTTON) >= 0)
    DoSelectAll();
  else
    ScrollToCaret();
  TgxInplaceEdit::DoEnter();
}

void TCustomXPGXEdit::FontChanged() {
  TgxInplaceEdit::FontChanged();
  UpdateVisibleCounts();
  AdjustHeight();
}

void TCustomXPGXEdit::EnabledChanged() {
  TgxInplaceEdit::EnabledChanged();
  Invalidate();
}

// --- window
// -----------------------------------------------------------------------------------------

void TCustomXPGXEdit::CreateParams(TCreateParams& AParams) {
  TgxInplaceEdit::CreateParams(AParams);
  if (FBorderStyle == bsSingle && !FTransparent) {
    AParams.Style |= WS_BORDER;
    if (Ctl3D())
      AParams.ExStyle |= WS_EX_CLIENTEDGE;
  }
  if (FTransparent)
    AParams.ExStyle |= WS_EX_TRANSPARENT;
}

void TCustomXPGXEdit::CreateWnd() {
  const int caret = FCaretPos, firstChar = FFirstChar;
  TgxInplaceEdit::CreateWnd();
  FCaretPos = std::clamp(caret, 0, int(FDisplayText.size()));
  SetFirstChar(firstChar);
  UpdateCaret();
  AdjustHeight();
}

void TCustomXPGXEdit::Invalidate() {
  if (FTransparent && HandleAllocated() && Parent() && Parent()->HandleAllocated()) {
    // What lies beneath is drawn first, so the editor paints over it.
    HWND parent = Parent()->Handle();
    RECT rect = ClientRect();
    MapWindowPoints(Handle(), parent, reinterpret_cast<POINT*>(&rect), 2);
    if (HDC dc = GetDC(parent)) {
      IntersectClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);
      SendMessageW(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
      ReleaseDC(parent, dc);
    }
    InvalidateRect(parent, &rect, FALSE);
  }
  TgxInplaceEdit::Invalidate();
}

void TCustomXPGXEdit::PaintWindow(HDC ADC) {
  FCanvas.Lock();
  FCanvas.SetHandle(ADC);
  try {
    PaintEdit(FCanvas);
  } catch (...) {
    FCanvas.SetHandle(nullptr);
    FCanvas.Unlock();
    throw;
  }
  FCanvas.SetHandle(nullptr);
  FCanvas.Unlock();
  // The base's cell painting answers at once for an edit class; only its
  // custom-draw hook adds to the picture.
  TgxInplaceEdit::PaintWindow(ADC);
}

void TCustomXPGXEdit::WndProc(TMessage& AMessage) {
  switch (AMessage.Msg) {
  case WM_GETTEXT: {
    const std::wstring text = Text();
    auto* buffer = reinterpret_cast<wchar_t*>(AMessage.LParam);
    if (!buffer || AMessage.WParam == 0) {
      AMessage.Result = 0;
      return;
    }
    const size_t count = std::min(text.size(), size_t(AMessage.WParam) - 1);
    std::memcpy(buffer, text.c_str(), count * sizeof(wchar_t));
    buffer[count] = L'\0';
    AMessage.Result = LRESULT(count);
    return;
  }
  case WM_GETTEXTLENGTH:
    AMessage.Result = LRESULT(FText.size());
    return;
  case WM_SETTEXT:
    SetText(AMessage.LParam ? reinterpret_cast<const wchar_t*>(AMessage.LParam) : L"");
    AMessage.Result = 1;
    return;
  case WM_GETDLGCODE:
    TgxInplaceEdit::WndProc(AMessage);
    AMessage.Result |= DLGC_WANTARROWS | DLGC_WANTCHARS;
    return;
  case WM_CANCELMODE:
    EndMouseSelect();
    break;
  case WM_ERASEBKGND:
    AMessage.Result = 1;
    return;
  case WM_LBUTTONDBLCLK: {
    TgxInplaceEdit::WndProc(AMessage);
    RECT rect;
    GetTextRect(rect);
    const POINT point{GET_X_LPARAM(AMessage.LParam), GET_Y_LPARAM(AMessage.LParam)};
    if (PtInRect(&rect, point))
      SelectWordAt(PositionAt(point.x));
    return;
  }
  case WM_CONTEXTMENU:
    ShowContextMenu(AMessage.LParam);
    AMessage.Result = 0;
    return;
  case WM_IME_COMPOSITION:
    ImeComposition(AMessage);
    return;
  case WM_IME_NOTIFY:
    ImeNotify(AMessage);
    return;
  case WM_SETFOCUS:
    TgxInplaceEdit::WndProc(AMessage);
    Invalidate();
    CreateEditCaret();
    return;
  case WM_KILLFOCUS:
    DestroyEditCaret();
    TgxInplaceEdit::WndProc(AMessage);
    Invalidate();
    return;
  case WM_SIZE:
    TgxInplaceEdit::WndProc(AMessage);
    UpdateVisibleCounts();
    ScrollToCaret();
    return;
  case WM_SETCURSOR:
    if (!ComponentState().Contains(csDesigning) && LOWORD(AMessage.LParam) == HTCLIENT) {
      UpdateCursor();
      AMessage.Result = 1;
      return;
    }
    break;
  default:
    break;
  }
  TgxInplaceEdit::WndProc(AMessage);
}

// --- painting -----------------------------------------------------------------------------------

int TCustomXPGXEdit::GetThemeState() {
  if (!Enabled())
    return kEditStateDisabled;
  if (FReadOnly)
    return kEditStateReadOnly;
  if (Focused())
    return kEditStateFocused;
  if (FHot)
    return kEditStateHot;
  return kEditStateNormal;
}

void TCustomXPGXEdit::PaintEdit(TCanvas& ACanvas) {
  const RECT client = ClientRect();
  const bool showSelection = Focused() || !FHideSelection;
  TColor back, text, selText, selBack;
  if (Enabled()) {
    back = FUseColor ? Color() : clXPWindow;
    text = Font().Color();
    selText = showSelection ? clXPHighlightText : text;
    selBack = showSelection ? clXPHighlight : back;
  } else {
    back = clXPWindow;
    text = clXPBtnShadow;
    selText = showSelection ? clXPWindow : text;
    selBack = showSelection ? clXPBtnShadow : back;
  }
  if (!FTransparent) {
    HDC dc = ACanvas.Handle();
    RECT buttons;
    GetButtonsRect(buttons);
    HRGN saved = nullptr;
    ClipToRect(dc, buttons, saved, true);
    ACanvas.Brush().SetStyle(TBrushStyle::Solid);
    ACanvas.Brush().SetColor(back);
    RECT ring = client;
    InflateRect(&ring, -FFrameSize, -FFrameSize);
    for (int i = 0; i < FBorderSize; ++i) {
      ACanvas.FrameRect(ring);
      InflateRect(&ring, -1, -1);
    }
    const int bottom = client.bottom - FFrameSize - FBorderSize;
    ACanvas.FillRect(RECT{FFrameSize, bottom - 2, client.right - FFrameSize, bottom});
    RestoreClipRgn(dc, saved);
  }
  RECT rect;
  GetTextRect(rect);
  PaintText(ACanvas, rect, back, back, selText, selBack, text);
}

void TCustomXPGXEdit::PaintText(TCanvas& ACanvas, const RECT& ARect, TColor ABackColor,
                                TColor /*ABorderColor*/, TColor ASelTextColor, TColor ASelBackColor,
                                TColor ATextColor) {
  HDC dc = ACanvas.Handle();
  const bool transparentText = FTransparent;
  const bool selectionHidden = !Focused() && FHideSelection;
  const int length = int(FDisplayText.size());
  const int first = std::clamp(FFirstChar, 0, length);
  const int last = std::min(length, first + FCharPartialVisibleCount);

  HGDIOBJ oldFont = SelectObject(dc, Font().Handle());
  SetTextAlign(dc, TA_LEFT | TA_TOP);
  int x = ARect.left;
  auto run = [&](int AFrom, int ATo, TColor AText, TColor ABack, bool ATransparent) {
    if (ATo <= AFrom)
      return;
    const int width = WidthOf(AFrom, ATo);
    // One character early, so overhanging glyphs stay whole.
    const int early = AFrom > 0 ? AFrom - 1 : AFrom;
    const int shift = WidthOf(early, AFrom);
    RECT clip{x, ARect.top, std::min<LONG>(x + width, ARect.right), ARect.bottom};
    SetTextColor(dc, ColorToColorRef(ColorToRGB(AText)));
    SetBkColor(dc, ColorToColorRef(ColorToRGB(ABack)));
    SetBkMode(dc, ATransparent ? TRANSPARENT : OPAQUE);
    ExtTextOutW(dc, x - shift, ARect.top, ETO_CLIPPED | (ATransparent ? 0 : ETO_OPAQUE), &clip,
                FDisplayText.c_str() + early, UINT(ATo - early), nullptr);
    x += width;
  };
  const int selStart = std::clamp(SelStart(), first, last);
  const int selEnd = std::clamp(SelStart() + SelLength(), first, last);
  if (SelLength() > 0 && selStart < selEnd) {
    run(first, selStart, ATextColor, ABackColor, transparentText);
    run(selStart, selEnd, ASelTextColor, ASelBackColor, transparentText && selectionHidden);
    run(selEnd, last, ATextColor, ABackColor, transparentText);
  } else {
    run(first, last, ATextColor, ABackColor, transparentText);
  }
  if (last >= length && x < ARect.right) {
    RECT rest{x, ARect.top, ARect.right, ARect.bottom};
    SetTextColor(dc, ColorToColorRef(ColorToRGB(ATextColor)));
    SetBkColor(dc, ColorToColorRef(ColorToRGB(ABackColor)));
    SetBkMode(dc, transparentText ? TRANSPARENT : OPAQUE);
    const int lastChar = last > first ? last - 1 : last;
    ExtTextOutW(dc, ARect.right, ARect.top, ETO_CLIPPED | (transparentText ? 0 : ETO_OPAQUE), &rest,
                FDisplayText.c_str() + lastChar, UINT(last - lastChar), nullptr);
  }
  SelectObject(dc, oldFont);
}

// ===========================================================================
// TXPGXEditButton

TXPGXEditButton::TXPGXEditButton(TComponent* AOwner) : TGraphicControl(AOwner) {
  SetBounds(Left(), Top(), 19, Height());
}

TXPGXCustomButtonEdit* TXPGXEditButton::Edit() const {
  return dynamic_cast<TXPGXCustomButtonEdit*>(Parent());
}

int TXPGXEditButton::ThemeState() const {
  if (!Enabled())
    return 4;
  if (FDown)
    return 3;
  if (FHot)
    return 2;
  return 1;
}

void TXPGXEditButton::Paint() {
  if (TXPGXCustomButtonEdit* edit = Edit())
    edit->PaintButton(this);
}

void TXPGXEditButton::EnabledChanged() {
  FDown = false;
  TGraphicControl::EnabledChanged();
  Invalidate();
}

void TXPGXEditButton::MouseEnter(intptr_t AMarker) {
  FHot = true;
  TGraphicControl::MouseEnter(AMarker);
  Invalidate();
}

void TXPGXEditButton::MouseLeave(intptr_t AMarker) {
  FHot = false;
  TGraphicControl::MouseLeave(AMarker);
  Invalidate();
}

void TXPGXEditButton::MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  TGraphicControl::MouseDown(AButton, AShift, AX, AY);
  if (AButton != mbLeft || !Enabled())
    return;
  FDown = true;
  FTracking = true;
  if (TXPGXCustomButtonEdit* edit = Edit())
    if (!edit->Focused() && edit->HandleAllocated())
      ::SetFocus(edit->Handle());
  Invalidate();
}

void TXPGXEditButton::MouseMove(TShiftState AShift, int AX, int AY) {
  TGraphicControl::MouseMove(AShift, AX, AY);
  if (!FTracking)
    return;
  const bool inside = AX >= 0 && AY >= 0 && AX < Width() && AY < Height();
  if (inside != FDown) {
    FDown = inside;
    Invalidate();
  }
}

void TXPGXEditButton::MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  if (AButton == mbLeft) {
    FTracking = false;
    FDown = false;
    Invalidate();
  }
  TGraphicControl::MouseUp(AButton, AShift, AX, AY);
}

// ===========================================================================
// TXPGXCustomButtonEdit

TXPGXCustomButtonEdit::TXPGXCustomButtonEdit(TComponent* AOwner) : TCustomXPGXEdit(AOwner) {
  SetWidth(145);
  FButton = new TXPGXEditButton(this);
  FButton->SetAlign(alRight);
  FButton->SetParent(this);
  FButton->SetVisible(true);
  FButton->OnClick = [this](TControl*) { ButtonClicked(FButton); };
}

void TXPGXCustomButtonEdit::ButtonClicked(TXPGXEditButton* /*AButton*/) {
  if (OnButtonClick)
    OnButtonClick(this);
  else
    ButtonClickDefault();
}

void TXPGXCustomButtonEdit::SetShowButton(bool AValue) {
  FShowButton = AValue;
  UpdateButtonVisibility();
  UpdateVisibleCounts();
  Invalidate();
}

bool TXPGXCustomButtonEdit::IsButtonVisible(TXPGXEditButton* AButton, bool AShow) {
  // A transparent editor shows its button only while focused or hot.
  return AShow && (!FTransparent || ComponentState().Contains(csDesigning) || Focused() || FHot ||
                   (AButton && AButton->Hot()));
}

void TXPGXCustomButtonEdit::UpdateButtonVisibility() {
  // Only a change: showing a shown graphic child repaints it, and this runs
  // from the editor's own painting.
  if (!FButton)
    return;
  const bool visible = IsButtonVisible(FButton, FShowButton);
  if (visible != FButton->Visible())
    FButton->SetVisible(visible);
}

void TXPGXCustomButtonEdit::ClickButton() {
  // What the button's own click does.
  if (FButton)
    ButtonClicked(FButton);
}

TBitmap* TXPGXCustomButtonEdit::GetButtonGlyph(TXPGXEditButton* /*AButton*/) {
  return TXPEditResourceManager::EllipsisGlyph();
}

void TXPGXCustomButtonEdit::SetTransparent(bool AValue) {
  TCustomXPGXEdit::SetTransparent(AValue);
  if (HandleAllocated())
    UpdateButtonVisibility();
}

void TXPGXCustomButtonEdit::AdjustClientRect(RECT& ARect) {
  TCustomXPGXEdit::AdjustClientRect(ARect);
  InflateRect(&ARect, -FFrameSize, -FFrameSize);
}

void TXPGXCustomButtonEdit::GetButtonsRect(RECT& ARect) {
  if (!FShowButton || !FButton) {
    ARect = RECT{0, 0, 0, 0};
    return;
  }
  ARect = FButton->BoundsRect();
}

void TXPGXCustomButtonEdit::GetTextRect(RECT& ARect) {
  TCustomXPGXEdit::GetTextRect(ARect);
  if (FShowButton && FButton)
    ARect.right -= FButton->Width() - FBorderSize + 1;
}

int TXPGXCustomButtonEdit::GetAutoWidth() {
  int width = TCustomXPGXEdit::GetAutoWidth();
  if (FButton && FButton->Visible())
    width += FButton->Width();
  return width;
}

void TXPGXCustomButtonEdit::PaintEdit(TCanvas& ACanvas) {
  if (FTransparent) {
    UpdateButtonVisibility();
  } else if (FButton && FButton->Visible()) {
    TColor line = Enabled() ? clXPWindow : clXPBtnHighlight;
    if (FUseColor)
      line = Color();
    ACanvas.Pen().SetStyle(TPenStyle::Solid);
    ACanvas.Pen().SetWidth(1);
    ACanvas.Pen().SetColor(line);
    for (int i = 1; i <= FBorderSize; ++i) {
      const int x = FButton->Left() - i;
      ACanvas.MoveTo(x, FFrameSize);
      ACanvas.LineTo(x, ClientHeight() - FFrameSize);
    }
  }
  TCustomXPGXEdit::PaintEdit(ACanvas);
}

void TXPGXCustomButtonEdit::PaintButton(TXPGXEditButton* AButton) {
  TCanvas& canvas = AButton->Canvas();
  HDC dc = canvas.Handle();
  RECT rect{0, 0, AButton->Width(), AButton->Height()};
  const int state = AButton->ThemeState();
  UINT flags = DFCS_BUTTONPUSH | DFCS_ADJUSTRECT;
  if (state == 4)
    flags |= DFCS_INACTIVE;
  if (AButton->Hot())
    flags |= DFCS_HOT;
  if (AButton->Down())
    flags |= DFCS_PUSHED;
  DrawFrameControl(dc, &rect, DFC_BUTTON, flags);
  PaintButtonGlyph(AButton, rect);
}

void TXPGXCustomButtonEdit::PaintButtonGlyph(TXPGXEditButton* AButton, const RECT& ARect) {
  TBitmap* glyph = GetButtonGlyph(AButton);
  if (!glyph || glyph->Empty())
    return;
  // Two images side by side: normal left, disabled right; the bottom-left
  // pixel is the transparent colour.
  const int w = glyph->Width() / 2, h = glyph->Height();
  int x = (ARect.left + ARect.right - w) / 2, y = (ARect.top + ARect.bottom - h) / 2;
  if (AButton->Down()) {
    ++x;
    ++y;
  }
  const UINT transparent = ColorToColorRef(ColorToRGB(glyph->TransparentColor()));
  TransparentBlt(AButton->Canvas().Handle(), x, y, w, h, glyph->Canvas().Handle(),
                 Enabled() ? 0 : w, 0, w, h, transparent);
}

void TXPGXCustomButtonEdit::EnabledChanged() {
  TCustomXPGXEdit::EnabledChanged();
  if (FButton)
    FButton->SetEnabled(Enabled());
}

void TXPGXCustomButtonEdit::MouseEnter(intptr_t AMarker) {
  TCustomXPGXEdit::MouseEnter(AMarker);
  UpdateButtonVisibility();
  Invalidate();
}

void TXPGXCustomButtonEdit::MouseLeave(intptr_t AMarker) {
  TCustomXPGXEdit::MouseLeave(AMarker);
  UpdateButtonVisibility();
  Invalidate();
}

bool TXPGXCustomButtonEdit::WantSpecialKey(WPARAM AKey) {
  if (TCustomXPGXEdit::WantSpecialKey(AKey))
    return true;
  return AKey == VK_RETURN && GetKeyState(VK_CONTROL) < 0;
}

void TXPGXCustomButtonEdit::KeyDown(WORD& AKey, TShiftState AShift) {
  // Taken before the base, which hands every Enter on to the container and
  // would leave the button unreachable from the keyboard in place.
  if (AKey == VK_RETURN && (AShift & ssCtrl)) {
    ClickButton();
    AKey = 0;
    return;
  }
  TCustomXPGXEdit::KeyDown(AKey, AShift);
}

void TXPGXCustomButtonEdit::WndProc(TMessage& AMessage) {
  TCustomXPGXEdit::WndProc(AMessage);
  if (AMessage.Msg == WM_SETFOCUS || AMessage.Msg == WM_KILLFOCUS)
    UpdateButtonVisibility();
}
