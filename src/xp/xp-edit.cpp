#include "xp-edit.h"

#include "resource-ledger.h"
#include "rtl-exceptions.h"
#include "seams.h"
#include "string-routines.h"
#include "variants.h"
#include "xp-button-edit.h"
#include "xp-colors.h"
#include "xp-system.h"

#include <imm.h>
#include <windows.h>
#include <windowsx.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Sets a flag for its scope, and clears it however the scope ends.
class TFlagScope {
public:
  explicit TFlagScope(bool& AFlag) : FFlag(AFlag) { FFlag = true; }
  TFlagScope(const TFlagScope&) = delete;
  TFlagScope& operator=(const TFlagScope&) = delete;
  ~TFlagScope() { FFlag = false; }

private:
  bool& FFlag;
};

// The unit's transparent edits and the thread hook that repaints them over
// siblings and owners that repaint beneath.
std::vector<TCustomXPEdit*>* GTransparentEdits = nullptr;
HHOOK GTransparencyHook = nullptr;
// Windows an edit invalidated beneath itself: their next paint must not
// invalidate the edit again, or the two would repaint each other for ever.
std::vector<HWND>* GRepaintedBeneath = nullptr;

bool InReflectedRange(UINT AMsg) {
  return AMsg >= 0xBC01 && AMsg <= 0xBDF3;
}

RECT ScreenRectOf(HWND AWindow) {
  RECT rect{};
  GetWindowRect(AWindow, &rect);
  return rect;
}

LRESULT CALLBACK TransparencyHookProc(int ACode, WPARAM AWParam, LPARAM ALParam) {
  const LRESULT result = CallNextHookEx(GTransparencyHook, ACode, AWParam, ALParam);
  if (ACode < 0 || !GTransparentEdits || GTransparentEdits->empty())
    return result;
  const auto* message = reinterpret_cast<const CWPSTRUCT*>(ALParam);
  if (message->message != WM_SIZE && message->message != WM_PAINT &&
      !InReflectedRange(message->message))
    return result;
  if (message->message == WM_PAINT && GRepaintedBeneath) {
    auto it = std::find(GRepaintedBeneath->begin(), GRepaintedBeneath->end(), message->hwnd);
    if (it != GRepaintedBeneath->end()) {
      GRepaintedBeneath->erase(it);
      return result;
    }
  }
  TWinControl* control = TWinControl::FindControl(message->hwnd);
  if (!control || dynamic_cast<TCustomXPEdit*>(control))
    return result;
  // A copy: invalidating may register or unregister edits.
  const std::vector<TCustomXPEdit*> edits = *GTransparentEdits;
  for (TCustomXPEdit* edit : edits) {
    if (!edit->HandleAllocated() || !edit->Transparent())
      continue;
    if (control->Owner() != edit->Owner() && control != edit->Owner())
      continue;
    RECT a = ScreenRectOf(message->hwnd), b = ScreenRectOf(edit->Handle()), overlap{};
    if (IntersectRect(&overlap, &a, &b))
      edit->Invalidate();
  }
  return result;
}

// A memory context with the edit's font selected, for measuring.
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

// Cumulative extents of ACount characters from AFrom, in chunks.
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

bool IsRadixDigit(wchar_t AChar, TRadix ARadix) {
  switch (ARadix) {
  case rdxBinary:
    return AChar == L'0' || AChar == L'1';
  case rdxOctal:
    return AChar >= L'0' && AChar <= L'7';
  case rdxDecimal:
    return AChar >= L'0' && AChar <= L'9';
  case rdxHexadecimal:
    return (AChar >= L'0' && AChar <= L'9') || (AChar >= L'A' && AChar <= L'F') ||
           (AChar >= L'a' && AChar <= L'f');
  }
  return false;
}

constexpr unsigned kRadixBase[] = {2, 8, 10, 16};

std::string Narrow(const std::wstring& AText) {
  std::string text;
  for (wchar_t c : AText)
    text.push_back(c < 128 ? char(c) : '?');
  return text;
}

// The text without leading and trailing blanks, as number parsing takes it.
std::string Trimmed(const std::wstring& AText) {
  std::string text = Narrow(AText);
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos)
    return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

int64_t ParseInt64Def(const std::wstring& AText, int64_t ADefault) {
  std::string text = Trimmed(AText);
  bool negative = false;
  size_t at = 0;
  if (at < text.size() && (text[at] == '-' || text[at] == '+'))
    negative = text[at++] == '-';
  int base = 10;
  if (text.compare(at, 1, "$") == 0) {
    base = 16;
    ++at;
  } else if (text.compare(at, 2, "0x") == 0 || text.compare(at, 2, "0X") == 0) {
    base = 16;
    at += 2;
  }
  uint64_t value = 0;
  const char* first = text.data() + at;
  const char* last = text.data() + text.size();
  if (first == last)
    return ADefault;
  auto [end, error] = std::from_chars(first, last, value, base);
  if (error != std::errc() || end != last)
    return ADefault;
  return negative ? int64_t(0 - value) : int64_t(value);
}

double ParseFloatDef(const std::wstring& AText, double ADefault) {
  std::string text = Trimmed(AText);
  if (text.empty())
    return ADefault;
  const char* first = text.data();
  if (*first == '+')
    ++first;
  double value = 0;
  auto [end, error] = std::from_chars(first, text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size())
    return ADefault;
  return value;
}

std::wstring Widen(const char* AFirst, const char* ALast) {
  return std::wstring(AFirst, ALast);
}

// The edit's themed colours: fill and text of the edit class, each only
// when the theme has it.
void ThemeColors(HWND AWindow, int APart, int AState, TColor& ABack, TColor& AText) {
  TSystemLibrary uxtheme(L"uxtheme.dll");
  using TOpen = HANDLE(WINAPI*)(HWND, LPCWSTR);
  using TClose = HRESULT(WINAPI*)(HANDLE);
  using TColorOf = HRESULT(WINAPI*)(HANDLE, int, int, int, COLORREF*);
  auto open = uxtheme.Function<TOpen>("OpenThemeData");
  auto close = uxtheme.Function<TClose>("CloseThemeData");
  auto colorOf = uxtheme.Function<TColorOf>("GetThemeColor");
  if (!open || !close || !colorOf)
    return;
  HANDLE theme = open(AWindow, L"EDIT");
  if (!theme)
    return;
  COLORREF color = 0;
  if (SUCCEEDED(colorOf(theme, APart, AState, 3802 /* TMT_FILLCOLOR */, &color)))
    ABack = TColor(color);
  if (SUCCEEDED(colorOf(theme, APart, AState, 3803 /* TMT_TEXTCOLOR */, &color)))
    AText = TColor(color);
  close(theme);
}

} // namespace

void DrawXPThemeDetails(HWND AWindow, const TXPThemeDetails& ADetails, HDC ADC, const RECT& ARect) {
  TSystemLibrary uxtheme(L"uxtheme.dll");
  using TOpen = HANDLE(WINAPI*)(HWND, LPCWSTR);
  using TClose = HRESULT(WINAPI*)(HANDLE);
  using TPartial = BOOL(WINAPI*)(HANDLE, int, int);
  using TParent = HRESULT(WINAPI*)(HWND, HDC, const RECT*);
  using TDraw = HRESULT(WINAPI*)(HANDLE, HDC, int, int, const RECT*, const RECT*);
  auto open = uxtheme.Function<TOpen>("OpenThemeData");
  auto close = uxtheme.Function<TClose>("CloseThemeData");
  auto partial = uxtheme.Function<TPartial>("IsThemeBackgroundPartiallyTransparent");
  auto parent = uxtheme.Function<TParent>("DrawThemeParentBackground");
  auto draw = uxtheme.Function<TDraw>("DrawThemeBackground");
  if (!open || !close || !draw)
    return;
  HANDLE theme = open(AWindow, ADetails.ClassName);
  if (!theme)
    return;
  if (partial && parent && partial(theme, ADetails.Part, ADetails.State))
    parent(AWindow, ADC, &ARect);
  draw(theme, ADC, ADetails.Part, ADetails.State, &ARect, nullptr);
  close(theme);
}

namespace {

// Keeps the clipboard open for its lifetime; the opening is retried a few
// times, as another program may hold it for a moment.
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

} // namespace

// ===========================================================================
// Word boundaries

int XPEditWordStartBefore(const std::wstring& AText, int AIndex) {
  int i = std::clamp(AIndex, 0, int(AText.size()));
  // The character just before the caret, then spaces, then the word.
  if (i > 0)
    --i;
  while (i > 0 && AText[size_t(i - 1)] == L' ')
    --i;
  while (i > 0 && AText[size_t(i - 1)] != L' ')
    --i;
  return i;
}

int XPEditWordStartAfter(const std::wstring& AText, int AIndex) {
  const int length = int(AText.size());
  int i = std::clamp(AIndex, 0, length);
  while (i < length && AText[size_t(i)] != L' ')
    ++i;
  while (i < length && AText[size_t(i)] == L' ')
    ++i;
  return i;
}

// ===========================================================================
// TCustomXPEdit

TCustomXPEdit::TCustomXPEdit(TComponent* AOwner)
    : TXPCustomControl(AOwner), FBackImage(std::make_unique<TAlphaBitmap>()) {
  SetBounds(Left(), Top(), 121, 21);
  SetParentColor(false);
  SetColor(clWindow);
  SetTabStop(true);
  SetParentFont(true);
  FControlStyle = (FControlStyle & ~uint32_t(csOpaque | csSetCaption)) | csClickEvents |
                  csDoubleClicks | csCaptureMouse;
  FBackImage->OnChange = [this](TGraphic*) {
    if (FLookAndFeel == xlfCustom)
      Invalidate();
  };
  if (GetXPThemeState() != xtsClassic) {
    FFrameSize = 1;
    FBorderSize = 2;
  } else {
    FFrameSize = 0;
    FBorderSize = 1;
  }
  ClearUndo();
}

TCustomXPEdit::~TCustomXPEdit() {
  TXPEditResourceManager::Unbind(static_cast<IXPEditCommands*>(this));
  RegisterTransparent(false);
  FBackImage->OnChange = nullptr;
}

HRESULT STDMETHODCALLTYPE TCustomXPEdit::QueryInterface(REFIID AIid, void** AObject) {
  if (!AObject)
    return E_POINTER;
  if (IsEqualGUID(AIid, IID_IUnknown) || IsEqualGUID(AIid, IID_IXPEditCommands)) {
    *AObject = static_cast<IXPEditCommands*>(this);
    return S_OK;
  }
  *AObject = nullptr;
  return E_NOINTERFACE;
}

void TCustomXPEdit::Loaded() {
  TXPCustomControl::Loaded();
  ClearUndo();
  FModified = false;
}

HRESULT TCustomXPEdit::Guard(const std::function<void()>& ACommand) {
  try {
    ACommand();
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

void TCustomXPEdit::RaiseOnFailure(HRESULT AResult) {
  if (FAILED(AResult))
    throw Exception(L"The edit command failed (0x" + std::to_wstring(unsigned(AResult)) + L")");
}

// --- text ----------------------------------------------------------------------

void TCustomXPEdit::RebuildDisplayText() {
  FDisplayText = FPasswordChar ? std::wstring(FText.size(), FPasswordChar) : FText;
  const int length = int(FDisplayText.size());
  FCaretPos = std::clamp(FCaretPos, 0, length);
  FSelBegin = std::clamp(FSelBegin, 0, length);
  FSelEnd = std::clamp(FSelEnd, 0, length);
  FFirstChar = std::clamp(FFirstChar, 0, length);
  UpdateVisibleCounts();
}

void TCustomXPEdit::StoreText(const std::wstring& AValue) {
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
  FMirroringCaption = true;
  TControl::SetText(FText);
  FMirroringCaption = false;
}

std::wstring TCustomXPEdit::UnicodeText() const {
  if (!FOEMConvert || FText.empty())
    return FText;
  std::string ansi = WideToAnsiString(FText);
  std::wstring text(ansi.size() + 1, L'\0');
  OemToCharW(ansi.c_str(), text.data());
  text.resize(wcslen(text.c_str()));
  return text;
}

void TCustomXPEdit::SetUnicodeText(const std::wstring& AValue) {
  const std::wstring before = FText;
  StoreText(AValue);
  if (FText != before) {
    SendTextChanged();
    Invalidate();
  }
}

void TCustomXPEdit::SetText(const std::wstring& AValue) {
  SetUnicodeText(AValue);
  ClearUndo();
}

void TCustomXPEdit::Clear() {
  {
    const TFlagScope changing(FInTextChanging);
    StoreText(L"");
  }
  Invalidate();
}

void TCustomXPEdit::ClearUndo() {
  FUndoText.clear();
  FCanUndo = false;
  FNeedSaveUndo = true;
}

void TCustomXPEdit::SendTextChanged() {
  if (FInTextChanging)
    return;
  SetFirstChar(0);
  const int length = int(FDisplayText.size());
  FSelBegin = FSelEnd = length;
  MoveCaret(length);
  Change();
}

void TCustomXPEdit::TextChanged() {
  if (FMirroringCaption)
    return;
  // The caption was set through the framework: the same as setting Text.
  SetText(TControl::Text());
}

void TCustomXPEdit::Change() {
  if (ComponentState().Contains(csLoading) || FSuppressChange > 0)
    return;
  FModified = true;
  if (OnChange)
    OnChange(this);
}

// --- commands -------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE TCustomXPEdit::Undo() {
  return Guard([this] {
    if (!CanUndo())
      return;
    FNeedSaveUndo = true;
    StoreText(FUndoText);
    FNeedSaveUndo = true;
    SendTextChanged();
    Invalidate();
    RaiseOnFailure(SelectAll());
  });
}

HRESULT STDMETHODCALLTYPE TCustomXPEdit::CopyToClipboard() {
  return Guard([this] {
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
  });
}

HRESULT STDMETHODCALLTYPE TCustomXPEdit::CutToClipboard() {
  return Guard([this] {
    RaiseOnFailure(CopyToClipboard());
    RaiseOnFailure(DeleteSelection());
  });
}

HRESULT STDMETHODCALLTYPE TCustomXPEdit::PasteFromClipboard() {
  return Guard([this] {
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
  });
}

HRESULT STDMETHODCALLTYPE TCustomXPEdit::DeleteSelection() {
  return Guard([this] {
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
  });
}

HRESULT STDMETHODCALLTYPE TCustomXPEdit::SelectAll() {
  return Guard([this] {
    SetSelStart(0);
    SetSelLength(int(FDisplayText.size()));
    MoveCaret(SelStart() + SelLength());
  });
}

// --- editing --------------------------------------------------------------------

std::wstring TCustomXPEdit::ApplyCharCase(const std::wstring& AText) const {
  std::wstring text = AText;
  for (wchar_t& c : text) {
    if (FCharCase == ecUpperCase && c >= L'a' && c <= L'z')
      c = wchar_t(c - L'a' + L'A');
    else if (FCharCase == ecLowerCase && c >= L'A' && c <= L'Z')
      c = wchar_t(c - L'A' + L'a');
  }
  return text;
}

std::wstring TCustomXPEdit::FilterInsert(const std::wstring& AText) const {
  std::wstring text = AText;
  for (size_t i = text.size(); i-- > 0;) {
    const wchar_t c = text[i];
    if (c < 32) {
      text[i] = L' ';
      continue;
    }
    if (FNumberType == ntNone)
      continue;
    const bool allowed =
        c <= 255 && (IsRadixDigit(c, FNumberRadix) ||
                     (c == L'-' && (FNumberType == ntSignedInt || FNumberType == ntFloat)) ||
                     (c == L'.' && FNumberType == ntFloat));
    if (!allowed)
      text.erase(i, 1);
  }
  return text;
}

void TCustomXPEdit::InsertText(const std::wstring& AText) {
  if (FReadOnly || AText.empty())
    return;
  {
    const TFlagScope changing(FInTextChanging);
    const int start = SelStart();
    std::wstring text = FText;
    text.erase(size_t(start), size_t(SelLength()));
    FCaretPos = start;
    std::wstring inserted = FilterInsert(AText);
    if (FMaxLength > 0) {
      const int room = std::max(0, FMaxLength - int(text.size()));
      if (int(inserted.size()) > room)
        inserted.resize(size_t(room));
    }
    inserted = ApplyCharCase(inserted);
    const bool followEnd = FCaretPos == FFirstChar && FCaretPos == int(text.size());
    text.insert(size_t(FCaretPos), inserted);
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
  Change();
}

void TCustomXPEdit::DeleteBeforeCaret(int ACount) {
  if (FReadOnly || FCaretPos <= 0)
    return;
  const std::wstring before = FText;
  {
    const TFlagScope changing(FInTextChanging);
    const int caret = std::max(0, FCaretPos - ACount);
    std::wstring text = FText;
    text.erase(size_t(caret), size_t(FCaretPos - caret));
    FCaretPos = caret;
    FSelBegin = FSelEnd = caret;
    const int firstChar = FFirstChar;
    StoreText(text);
    if (FFirstChar == FCaretPos || firstChar >= FCaretPos)
      ScrollToCaret();
    else
      SetFirstChar(firstChar);
    MoveCaret(caret);
  }
  Invalidate();
  if (FText != before)
    Change();
}

void TCustomXPEdit::DeleteAtCaret(int ACount) {
  if (FReadOnly)
    return;
  const std::wstring before = FText;
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
  if (FText != before)
    Change();
}

// --- selection and caret ------------------------------------------------------------

void TCustomXPEdit::SetCaretPosition(int AIndex) {
  const int index = std::clamp(AIndex, 0, int(FDisplayText.size()));
  const bool extending = GetAsyncKeyState(VK_SHIFT) < 0 || FMouseSelect;
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

void TCustomXPEdit::MoveCaret(int AIndex) {
  FCaretPos = std::clamp(AIndex, 0, int(FDisplayText.size()));
  if (FCaretPos < FFirstChar)
    SetFirstChar(FCaretPos);
  else if (FCaretPos > FFirstChar + FCharVisibleCount)
    SetFirstChar(FirstCharForRightEdge(FCaretPos));
  UpdateCaret();
}

void TCustomXPEdit::SetSelStart(int AValue) {
  const int value = std::clamp(AValue, 0, int(FDisplayText.size()));
  if (value == SelStart())
    return;
  MoveCaret(value);
  FSelBegin = FSelEnd = value;
  Invalidate();
}

void TCustomXPEdit::SetSelLength(int AValue) {
  const int value = std::clamp(AValue, 0, int(FDisplayText.size()) - SelStart());
  if (value == SelLength())
    return;
  if (FSelEnd < FSelBegin)
    FSelBegin = FCaretPos;
  FSelEnd = FSelBegin + value;
  Invalidate();
}

std::wstring TCustomXPEdit::SelText() const {
  const std::wstring text = Text();
  const size_t start = std::min(size_t(SelStart()), text.size());
  return text.substr(start, size_t(SelLength()));
}

void TCustomXPEdit::SetSelText(const std::wstring& AValue) {
  if (AValue.empty()) {
    if (SelLength() > 0)
      RaiseOnFailure(DeleteSelection());
    return;
  }
  InsertText(AValue);
}

void TCustomXPEdit::ClearSelection() {
  SetSelText(L"");
}

void TCustomXPEdit::EndMouseSelect() {
  FMouseSelect = false;
}

void TCustomXPEdit::CancelMode(TControl* /*ASender*/) {
  EndMouseSelect();
}

void TCustomXPEdit::GetCursorPos(POINT& APoint) const {
  ::GetCursorPos(&APoint);
  APoint = ScreenToClient(APoint);
}

// --- geometry and scrolling ---------------------------------------------------------------

void TCustomXPEdit::GetButtonsRect(RECT& ARect) {
  ARect = RECT{0, 0, 0, 0};
}

void TCustomXPEdit::GetTextRect(RECT& ARect) {
  ARect = ClientRect();
  const int inset = FFrameSize + FBorderSize;
  InflateRect(&ARect, -inset, -inset);
  if ((GetXPThemeState() != xtsClassic && Enabled()) || FLookAndFeel == xlfCustom)
    ARect.bottom -= FExtraDelta;
}

int TCustomXPEdit::WidthOf(int AFrom, int ATo) {
  const int from = std::clamp(AFrom, 0, int(FDisplayText.size()));
  const int to = std::clamp(ATo, from, int(FDisplayText.size()));
  if (to == from)
    return 0;
  TMeasureDC dc(Font());
  return Extents(dc.Handle(), FDisplayText, from, to - from).back();
}

void TCustomXPEdit::UpdateVisibleCounts() {
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

int TCustomXPEdit::FirstCharForRightEdge(int AIndex) {
  const int index = std::clamp(AIndex, 0, int(FDisplayText.size()));
  RECT rect;
  GetTextRect(rect);
  TMeasureDC dc(Font());
  const int budget = rect.right - rect.left - dc.Metrics().tmOverhang;
  int first = index, used = 0;
  while (first > 0) {
    const int start = std::max(0, first - kXPEditMeasureChunk);
    const std::vector<int> extents = Extents(dc.Handle(), FDisplayText, start, first - start);
    // Walk back character by character inside the chunk.
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

void TCustomXPEdit::SetFirstChar(int AValue) {
  FFirstChar = std::clamp(AValue, 0, int(FDisplayText.size()));
  UpdateVisibleCounts();
  if (HandleAllocated())
    Invalidate();
}

void TCustomXPEdit::ScrollToCaret() {
  SetFirstChar(FirstCharForRightEdge(FCaretPos));
  UpdateCaret();
}

void TCustomXPEdit::UpdateCaret() {
  if (!HandleAllocated() || !Focused())
    return;
  RECT rect;
  GetTextRect(rect);
  const int x = rect.left + WidthOf(FFirstChar, FCaretPos), y = rect.top;
  SetCaretPos(x, y);
  if (HIMC context = ImmGetContext(Handle())) {
    COMPOSITIONFORM form{};
    form.dwStyle = CFS_POINT;
    form.ptCurrentPos = POINT{x, y};
    ImmSetCompositionWindow(context, &form);
    ImmReleaseContext(Handle(), context);
  }
}

void TCustomXPEdit::CreateEditCaret() {
  if (!HandleAllocated())
    return;
  RECT rect;
  GetTextRect(rect);
  CreateCaret(Handle(), nullptr, 1, rect.bottom - rect.top);
  UpdateCaret();
  ShowCaret(Handle());
}

void TCustomXPEdit::DestroyEditCaret() {
  if (!HandleAllocated())
    return;
  HideCaret(Handle());
  DestroyCaret();
}

int TCustomXPEdit::PositionAt(int AX) {
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

int TCustomXPEdit::GetFontHeight() {
  TMeasureDC dc(Font());
  return dc.Metrics().tmHeight;
}

void TCustomXPEdit::AdjustHeight() {
  if (!HandleAllocated())
    return;
  int height = FExtraDelta + 2 * (FBorderSize + FFrameSize) + GetFontHeight();
  if (GetXPThemeState() == xtsClassic && !FTransparent && FBorderStyle == bsSingle)
    height += Ctl3D() ? 2 * GetSystemMetrics(SM_CYEDGE) : 2;
  if (FAutoSize || Height() < height)
    SetHeight(height);
  Invalidate();
}

int TCustomXPEdit::GetAutoWidth() {
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
    width += 2 * FFrameSize;
    if (FBorderStyle != bsNone)
      width += 2 * FBorderSize;
  }
  return width;
}

// --- properties ---------------------------------------------------------------------

void TCustomXPEdit::SetAutoSize(bool AValue) {
  if (AValue == FAutoSize)
    return;
  FAutoSize = AValue;
  if (FAutoSize)
    AdjustHeight();
}

void TCustomXPEdit::SetBackImage(const TAlphaBitmap* AValue) {
  FBackImage->Assign(AValue);
}

void TCustomXPEdit::SetBorderStyle(TBorderStyle AValue) {
  if (AValue == FBorderStyle)
    return;
  FBorderStyle = AValue;
  if (HandleAllocated())
    RecreateWnd();
}

void TCustomXPEdit::SetLookAndFeel(TXPLookAndFeel AValue) {
  if (AValue == FLookAndFeel)
    return;
  FLookAndFeel = AValue;
  UpdateVisibleCounts();
  if (HandleAllocated())
    RecreateWnd();
}

void TCustomXPEdit::Ctl3DChanged() {
  if (HandleAllocated())
    RecreateWnd();
}

void TCustomXPEdit::SetCharCase(TEditCharCase AValue) {
  if (AValue == FCharCase)
    return;
  FCharCase = AValue;
  {
    const TFlagScope changing(FInTextChanging);
    StoreText(ApplyCharCase(FText));
  }
  Invalidate();
}

void TCustomXPEdit::SetPasswordChar(wchar_t AValue) {
  if (AValue == FPasswordChar)
    return;
  FPasswordChar = AValue;
  RebuildDisplayText();
  Invalidate();
}

void TCustomXPEdit::SetReadOnly(bool AValue) {
  if (AValue == FReadOnly)
    return;
  FReadOnly = AValue;
  Invalidate();
}

void TCustomXPEdit::SetHideSelection(bool AValue) {
  if (AValue == FHideSelection)
    return;
  FHideSelection = AValue;
  Invalidate();
}

void TCustomXPEdit::SetFrameColor(TColor AValue) {
  if (AValue == FFrameColor)
    return;
  FFrameColor = AValue;
  Invalidate();
}

void TCustomXPEdit::SetSelectedColor(TColor AValue) {
  if (AValue == FSelectedColor)
    return;
  FSelectedColor = AValue;
  Invalidate();
}

void TCustomXPEdit::SetSelectedTextColor(TColor AValue) {
  if (AValue == FSelectedTextColor)
    return;
  FSelectedTextColor = AValue;
  Invalidate();
}

void TCustomXPEdit::SetUseColor(bool AValue) {
  if (AValue == FUseColor)
    return;
  FUseColor = AValue;
  Invalidate();
}

void TCustomXPEdit::SetHotTrack(bool AValue) {
  if (AValue == FHotTrack)
    return;
  FHotTrack = AValue;
  UpdateHotTrack(false);
}

void TCustomXPEdit::UpdateHotTrack(bool AHot) {
  if (!FTransparent || !FHotTrack)
    return;
  const TFontStyles style = Font().Style();
  Font().SetStyle(AHot ? TFontStyles(style | fsUnderline) : TFontStyles(style & ~fsUnderline));
}

void TCustomXPEdit::SetTransparent(bool AValue) {
  if (AValue == FTransparent)
    return;
  FTransparent = AValue;
  RegisterTransparent(FTransparent);
  if (HandleAllocated())
    RecreateWnd();
}

void TCustomXPEdit::RegisterTransparent(bool ARegister) {
  if (ARegister) {
    if (!GTransparentEdits)
      GTransparentEdits = new std::vector<TCustomXPEdit*>;
    if (std::find(GTransparentEdits->begin(), GTransparentEdits->end(), this) !=
        GTransparentEdits->end())
      return;
    GTransparentEdits->push_back(this);
    if (!GTransparencyHook) {
      GTransparencyHook =
          SetWindowsHookExW(WH_CALLWNDPROC, &TransparencyHookProc, nullptr, GetCurrentThreadId());
      if (GTransparencyHook)
        LedgerTake(TResourceKind::Hook, GTransparencyHook);
    }
    return;
  }
  if (!GTransparentEdits)
    return;
  auto it = std::find(GTransparentEdits->begin(), GTransparentEdits->end(), this);
  if (it == GTransparentEdits->end())
    return;
  GTransparentEdits->erase(it);
  if (GTransparentEdits->empty() && GTransparencyHook) {
    UnhookWindowsHookEx(GTransparencyHook);
    LedgerGive(TResourceKind::Hook, GTransparencyHook);
    GTransparencyHook = nullptr;
  }
}

size_t TCustomXPEdit::TransparentEditCount() {
  return GTransparentEdits ? GTransparentEdits->size() : 0;
}

bool TCustomXPEdit::TransparencyHookInstalled() {
  return GTransparencyHook != nullptr;
}

void TCustomXPEdit::FreeTransparencyHook() {
  if (GTransparencyHook) {
    UnhookWindowsHookEx(GTransparencyHook);
    LedgerGive(TResourceKind::Hook, GTransparencyHook);
    GTransparencyHook = nullptr;
  }
  delete GTransparentEdits;
  GTransparentEdits = nullptr;
  delete GRepaintedBeneath;
  GRepaintedBeneath = nullptr;
}

// --- number modes -------------------------------------------------------------------

double TCustomXPEdit::GetNumberValue() const {
  const std::wstring text = Text();
  switch (FNumberType) {
  case ntUnsignedInt: {
    const unsigned base = kRadixBase[FNumberRadix];
    uint64_t value = 0;
    for (wchar_t c : text) {
      if (c >= L'a' && c <= L'z')
        c = wchar_t(c - L'a' + L'A');
      unsigned digit = 0;
      if (c >= L'0' && c <= L'9')
        digit = unsigned(c - L'0');
      else if (c >= L'A' && c <= L'F')
        digit = unsigned(c - L'A' + 10);
      if (digit >= base)
        digit = 0;
      value = value * base + digit;
    }
    return double(value);
  }
  case ntSignedInt:
    return double(ParseInt64Def(text, 0));
  case ntFloat:
    return ParseFloatDef(text, 0);
  case ntNone:
    break;
  }
  return 0;
}

void TCustomXPEdit::SetNumberValue(double AValue) {
  std::wstring text;
  switch (FNumberType) {
  case ntUnsignedInt: {
    // Negative values have no unsigned form here: they write as zero.
    const double rounded = std::nearbyint(AValue);
    uint64_t value = 0;
    if (rounded > 0)
      value = rounded >= 9223372036854775807.0 ? uint64_t(INT64_MAX) : uint64_t(rounded);
    const unsigned base = kRadixBase[FNumberRadix];
    static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
    do {
      text.insert(text.begin(), kDigits[value % base]);
      value /= base;
    } while (value != 0);
    break;
  }
  case ntSignedInt:
    text = std::to_wstring(int64_t(std::nearbyint(AValue)));
    break;
  case ntFloat: {
    char buffer[400];
    auto [end, error] =
        std::to_chars(buffer, buffer + sizeof(buffer), AValue, std::chars_format::fixed,
                      int(std::min<TPrecision>(FNumberPrecision, 15)));
    if (error != std::errc())
      return;
    text = Widen(buffer, end);
    break;
  }
  case ntNone:
    return;
  }
  SetText(text);
}

void TCustomXPEdit::SetNumberPrecision(TPrecision AValue) {
  AValue = std::min<TPrecision>(AValue, 15);
  if (AValue == FNumberPrecision)
    return;
  if (ComponentState().Contains(csLoading)) {
    FNumberPrecision = AValue;
    return;
  }
  const double value = GetNumberValue();
  FNumberPrecision = AValue;
  SetNumberValue(value);
}

void TCustomXPEdit::SetNumberRadix(TRadix AValue) {
  if (AValue == FNumberRadix)
    return;
  const bool loading = ComponentState().Contains(csLoading);
  const double value = loading ? 0 : GetNumberValue();
  FNumberRadix = AValue;
  if (FNumberRadix != rdxDecimal && FNumberType != ntNone)
    FNumberType = ntUnsignedInt;
  if (!loading)
    SetNumberValue(value);
}

void TCustomXPEdit::SetNumberType(TNumberTypeEx AValue) {
  if (AValue == FNumberType)
    return;
  const bool loading = ComponentState().Contains(csLoading);
  const double value = loading ? 0 : GetNumberValue();
  FNumberType = AValue;
  if (FNumberType == ntSignedInt || FNumberType == ntFloat)
    FNumberRadix = rdxDecimal;
  if (!loading)
    SetNumberValue(value);
  NumberTypeChanged();
}

// --- the context menu ---------------------------------------------------------------

TPopupMenu* TCustomXPEdit::GetPopupMenu() {
  if (auto* assigned = dynamic_cast<TPopupMenu*>(PopupMenu()))
    return assigned;
  TPopupMenu* menu = TXPEditResourceManager::StandardEditPopupMenu();
  TXPEditResourceManager::BindMenuItems(static_cast<IXPEditCommands*>(this));
  TXPEditResourceManager::MenuItemUndo()->SetEnabled(CanUndo());
  TXPEditResourceManager::MenuItemCut()->SetEnabled(SelLength() > 0);
  TXPEditResourceManager::MenuItemCopy()->SetEnabled(SelLength() > 0);
  TXPEditResourceManager::MenuItemDelete()->SetEnabled(SelLength() > 0);
  TXPEditResourceManager::MenuItemPaste()->SetEnabled(IsClipboardFormatAvailable(CF_UNICODETEXT) ||
                                                      IsClipboardFormatAvailable(CF_TEXT));
  TXPEditResourceManager::MenuItemSelectAll()->SetEnabled(SelLength() != int(FDisplayText.size()));
  return menu;
}

void TCustomXPEdit::ShowContextMenu(LPARAM ALParam) {
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

// --- keyboard -----------------------------------------------------------------------

namespace {

enum class TShiftRule { Any, None, ShiftAlone, CtrlAlone, AltAlone, WithCtrl, WithoutCtrl };

bool ShiftMatches(TShiftRule ARule, TShiftState AShift) {
  const TShiftState keys = AShift & (ssShift | ssAlt | ssCtrl);
  switch (ARule) {
  case TShiftRule::Any:
    return true;
  case TShiftRule::None:
    return keys == 0;
  case TShiftRule::ShiftAlone:
    return keys == ssShift;
  case TShiftRule::CtrlAlone:
    return keys == ssCtrl;
  case TShiftRule::AltAlone:
    return keys == ssAlt;
  case TShiftRule::WithCtrl:
    return (keys & ssCtrl) != 0;
  case TShiftRule::WithoutCtrl:
    return (keys & ssCtrl) == 0;
  }
  return false;
}

enum class TKeyAction {
  Undo,
  End,
  Home,
  WordLeft,
  Left,
  WordRight,
  Right,
  Paste,
  Copy,
  Delete,
  Cut
};

struct TKeyRow {
  WORD Key;
  TShiftRule Rule;
  TKeyAction Action;
};

constexpr TKeyRow kKeyTable[] = {
    {VK_BACK, TShiftRule::AltAlone, TKeyAction::Undo},
    {VK_END, TShiftRule::Any, TKeyAction::End},
    {VK_HOME, TShiftRule::Any, TKeyAction::Home},
    {VK_LEFT, TShiftRule::WithCtrl, TKeyAction::WordLeft},
    {VK_LEFT, TShiftRule::WithoutCtrl, TKeyAction::Left},
    {VK_RIGHT, TShiftRule::WithCtrl, TKeyAction::WordRight},
    {VK_RIGHT, TShiftRule::WithoutCtrl, TKeyAction::Right},
    {VK_INSERT, TShiftRule::ShiftAlone, TKeyAction::Paste},
    {VK_INSERT, TShiftRule::CtrlAlone, TKeyAction::Copy},
    {VK_DELETE, TShiftRule::None, TKeyAction::Delete},
    {VK_DELETE, TShiftRule::ShiftAlone, TKeyAction::Cut},
};

} // namespace

void TCustomXPEdit::KeyDown(WORD& AKey, TShiftState AShift) {
  if (OnKeyDown)
    OnKeyDown(this, AKey, AShift);
  if (AKey == 0)
    return;
  for (const TKeyRow& row : kKeyTable) {
    if (row.Key != AKey || !ShiftMatches(row.Rule, AShift))
      continue;
    switch (row.Action) {
    case TKeyAction::Undo:
      RaiseOnFailure(Undo());
      break;
    case TKeyAction::End:
      SetCaretPosition(int(FDisplayText.size()));
      break;
    case TKeyAction::Home:
      SetCaretPosition(0);
      break;
    case TKeyAction::WordLeft:
      SetCaretPosition(XPEditWordStartBefore(FDisplayText, FCaretPos));
      break;
    case TKeyAction::Left:
      SetCaretPosition(FCaretPos - 1);
      break;
    case TKeyAction::WordRight:
      SetCaretPosition(XPEditWordStartAfter(FDisplayText, FCaretPos));
      break;
    case TKeyAction::Right:
      SetCaretPosition(FCaretPos + 1);
      break;
    case TKeyAction::Paste:
      RaiseOnFailure(PasteFromClipboard());
      break;
    case TKeyAction::Copy:
      RaiseOnFailure(CopyToClipboard());
      break;
    case TKeyAction::Delete:
      if (SelLength() > 0)
        RaiseOnFailure(DeleteSelection());
      else
        DeleteAtCaret(1);
      break;
    case TKeyAction::Cut:
      RaiseOnFailure(CutToClipboard());
      break;
    }
    return;
  }
}

void TCustomXPEdit::KeyPress(wchar_t& AKey) {
  if (OnKeyPress)
    OnKeyPress(this, AKey);
  if (AKey == 0 || FSuppressKeyPress > 0)
    return;
  if (FImeCount > 0) {
    // The input method's result arrives character by character; it is
    // inserted whole once the last one is in.
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
  if (key > 31) {
    InsertText(std::wstring(1, key));
    AKey = 0;
    return;
  }
  switch (key) {
  case 3:
    RaiseOnFailure(CopyToClipboard());
    break;
  case 8:
    if (SelLength() > 0)
      RaiseOnFailure(DeleteSelection());
    else
      DeleteBeforeCaret(1);
    break;
  case 22:
    RaiseOnFailure(PasteFromClipboard());
    break;
  case 24:
    RaiseOnFailure(CutToClipboard());
    break;
  case 26:
    RaiseOnFailure(Undo());
    break;
  default:
    return;
  }
  AKey = 0;
}

bool TCustomXPEdit::WantSpecialKey(WPARAM AKey) {
  return AKey == VK_LEFT || AKey == VK_RIGHT || AKey == VK_UP || AKey == VK_DOWN;
}

void TCustomXPEdit::ImeComposition(TMessage& AMessage) {
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
  TXPCustomControl::WndProc(AMessage);
}

void TCustomXPEdit::ImeNotify(TMessage& AMessage) {
  if (AMessage.WParam == IMN_SETOPENSTATUS || AMessage.WParam == IMN_SETCOMPOSITIONWINDOW) {
    if (HIMC context = ImmGetContext(Handle())) {
      LOGFONTW font{};
      if (GetObjectW(Font().Handle(), sizeof(font), &font))
        ImmSetCompositionFontW(context, &font);
      ImmReleaseContext(Handle(), context);
    }
  }
  TXPCustomControl::WndProc(AMessage);
}

// --- mouse --------------------------------------------------------------------------

void TCustomXPEdit::MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  TXPCustomControl::MouseDown(AButton, AShift, AX, AY);
  bool tookFocus = false;
  if ((AButton == mbLeft || AButton == mbRight) && !Focused() && CanFocus()) {
    SetFocus();
    tookFocus = true;
  }
  if (AButton != mbLeft || (AShift & ssDouble))
    return;
  RECT rect;
  GetTextRect(rect);
  const POINT point{AX, AY};
  if (!PtInRect(&rect, point))
    return;
  SetCaretPosition(PositionAt(AX));
  FMouseSelect = true;
  if (tookFocus && FAutoSelect)
    FNeedSelectAll = true;
}

void TCustomXPEdit::MouseMove(TShiftState AShift, int AX, int AY) {
  TXPCustomControl::MouseMove(AShift, AX, AY);
  if (!FMouseSelect)
    return;
  const int position = PositionAt(AX);
  if (position != FCaretPos)
    FNeedSelectAll = false;
  SetCaretPosition(position);
}

void TCustomXPEdit::MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  FMouseSelect = false;
  if (FNeedSelectAll) {
    FNeedSelectAll = false;
    RaiseOnFailure(SelectAll());
  }
  TXPCustomControl::MouseUp(AButton, AShift, AX, AY);
}

void TCustomXPEdit::SelectWordAt(int APosition) {
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

void TCustomXPEdit::UpdateCursor() {
  POINT point;
  GetCursorPos(point);
  RECT rect;
  GetTextRect(rect);
  SetCursor(PtInRect(&rect, point) ? crIBeam : crDefault);
}

void TCustomXPEdit::MouseEnter(intptr_t AMarker) {
  TXPCustomControl::MouseEnter(AMarker);
  FHot = true;
  UpdateHotTrack(true);
  Invalidate();
}

void TCustomXPEdit::MouseLeave(intptr_t AMarker) {
  TXPCustomControl::MouseLeave(AMarker);
  FHot = false;
  UpdateHotTrack(false);
  Invalidate();
}

// --- focus, font, enabling -----------------------------------------------------------

void TCustomXPEdit::DoEnter() {
  TXPCustomControl::DoEnter();
  if (FAutoSelect && GetAsyncKeyState(VK_LBUTTON) >= 0)
    RaiseOnFailure(SelectAll());
  else
    ScrollToCaret();
}

void TCustomXPEdit::FontChanged() {
  TXPCustomControl::FontChanged();
  UpdateVisibleCounts();
  AdjustHeight();
}

void TCustomXPEdit::EnabledChanged() {
  TXPCustomControl::EnabledChanged();
  UpdateVisibleCounts();
  Invalidate();
}

// --- window ---------------------------------------------------------------------------

void TCustomXPEdit::CreateParams(TCreateParams& AParams) {
  TXPCustomControl::CreateParams(AParams);
  if (FLookAndFeel == xlfNative && GetXPThemeState() == xtsClassic && FBorderStyle == bsSingle &&
      !FTransparent) {
    if (Ctl3D())
      AParams.ExStyle |= WS_EX_CLIENTEDGE;
    else
      AParams.Style |= WS_BORDER;
  }
  if (FTransparent)
    AParams.ExStyle |= WS_EX_TRANSPARENT;
}

void TCustomXPEdit::CreateWnd() {
  const int caret = FCaretPos, firstChar = FFirstChar;
  TXPCustomControl::CreateWnd();
  FCaretPos = std::clamp(caret, 0, int(FDisplayText.size()));
  SetFirstChar(firstChar);
  UpdateCaret();
  AdjustHeight();
}

void TCustomXPEdit::EraseBackground(HDC ADC) {
  if (FTransparent && DoubleBuffered() && !ComponentState().Contains(csDesigning)) {
    ::PaintParentBackground(this, ADC);
    return;
  }
  TXPCustomControl::EraseBackground(ADC);
}

void TCustomXPEdit::Invalidate() {
  if (FTransparent && HandleAllocated() && Parent() && Parent()->HandleAllocated()) {
    // What lies beneath is drawn first, so the edit paints over it.
    HWND parent = Parent()->Handle();
    RECT rect = ClientRect();
    MapWindowPoints(Handle(), parent, reinterpret_cast<POINT*>(&rect), 2);
    if (HDC dc = GetDC(parent)) {
      IntersectClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);
      SendMessageW(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
      ReleaseDC(parent, dc);
    }
    if (!GRepaintedBeneath)
      GRepaintedBeneath = new std::vector<HWND>;
    Parent()->ForEachDescendant([&](TControl* AControl) {
      auto* window = dynamic_cast<TWinControl*>(AControl);
      if (!window || window == this || !window->HandleAllocated() || !window->Showing())
        return;
      RECT local = rect;
      MapWindowPoints(parent, window->Handle(), reinterpret_cast<POINT*>(&local), 2);
      RECT client{}, overlap{};
      GetClientRect(window->Handle(), &client);
      if (IntersectRect(&overlap, &client, &local)) {
        InvalidateRect(window->Handle(), &overlap, FALSE);
        if (std::find(GRepaintedBeneath->begin(), GRepaintedBeneath->end(), window->Handle()) ==
            GRepaintedBeneath->end())
          GRepaintedBeneath->push_back(window->Handle());
      }
    });
  }
  TXPCustomControl::Invalidate();
}

void TCustomXPEdit::WndProc(TMessage& AMessage) {
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
    AMessage.Result = LRESULT(Text().size());
    return;
  case WM_SETTEXT:
    SetText(AMessage.LParam ? reinterpret_cast<const wchar_t*>(AMessage.LParam) : L"");
    AMessage.Result = 1;
    return;
  case WM_GETDLGCODE:
    TXPCustomControl::WndProc(AMessage);
    AMessage.Result |= DLGC_WANTARROWS | DLGC_WANTCHARS;
    return;
  case WM_CANCELMODE:
    EndMouseSelect();
    break;
  case WM_KEYDOWN:
  case WM_SYSKEYDOWN: {
    WORD key = WORD(AMessage.WParam);
    KeyDown(key, KeyboardShiftState());
    if (key == 0) {
      AMessage.Result = 0;
      return;
    }
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
  case WM_LBUTTONDBLCLK: {
    TXPCustomControl::WndProc(AMessage);
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
    TXPCustomControl::WndProc(AMessage);
    Invalidate();
    CreateEditCaret();
    return;
  case WM_KILLFOCUS:
    DestroyEditCaret();
    TXPCustomControl::WndProc(AMessage);
    Invalidate();
    return;
  case WM_SIZE:
    TXPCustomControl::WndProc(AMessage);
    UpdateVisibleCounts();
    ScrollToCaret();
    return;
  case WM_SETCURSOR:
    if (!ComponentState().Contains(csDesigning))
      UpdateCursor();
    break;
  default:
    break;
  }
  TXPCustomControl::WndProc(AMessage);
}

// --- painting -----------------------------------------------------------------------

int TCustomXPEdit::GetThemeState() {
  if (!Enabled())
    return kEditStateDisabled;
  if (Focused())
    return kEditStateFocused;
  if (FHot)
    return kEditStateHot;
  if (FReadOnly)
    return kEditStateReadOnly;
  return kEditStateNormal;
}

void TCustomXPEdit::GetThemeDetails(TXPThemeDetails& ADetails) {
  ADetails.ClassName = L"EDIT";
  ADetails.Part = 1;
  ADetails.State = GetThemeState();
  if (IsWindowsVistaOrLater()) {
    ADetails.Part = 6;
    if (ADetails.State == kEditStateHot || ADetails.State == kEditStateFocused)
      ADetails.State = 3;
  }
}

TColor TCustomXPEdit::PaintBackColor() {
  const int theme = GetXPThemeState();
  TColor back = Enabled() ? ((FReadOnly && theme != xtsClassic) ? clXPBtnHighlight : clXPWindow)
                          : (theme != xtsClassic ? clXPBtnHighlight : clXPWindow);
  TColor text = Font().Color();
  if (FLookAndFeel == xlfNative && theme == xtsThemed) {
    const int part = IsWindowsVistaOrLater() ? 6 : 1;
    const int state = !Enabled() ? 4 : (FReadOnly ? 6 : 1);
    ThemeColors(HandleAllocated() ? Handle() : nullptr, part, state, back, text);
  }
  if (Enabled() && UsingColors())
    back = Color();
  return back;
}

void TCustomXPEdit::Paint() {
  TCanvas& canvas = Canvas();
  HDC dc = canvas.Handle();
  const RECT client = ClientRect();
  const int theme = GetXPThemeState();
  const bool usingColors = UsingColors();
  const bool showSelection = Focused() || !FHideSelection;

  TColor back, frame, text, selText, selBack;
  if (Enabled()) {
    back = (FReadOnly && theme != xtsClassic) ? clXPBtnHighlight : clXPWindow;
    frame = (usingColors && FFrameColor != clDefault) ? FFrameColor : kXPEditFrameColor;
    text = Font().Color();
    if (FLookAndFeel == xlfNative && theme == xtsThemed)
      ThemeColors(Handle(), IsWindowsVistaOrLater() ? 6 : 1, FReadOnly ? 6 : 1, back, text);
    if (usingColors)
      back = Color();
    if (showSelection) {
      selText =
          (usingColors && FSelectedTextColor != clDefault) ? FSelectedTextColor : clXPHighlightText;
      selBack = (usingColors && FSelectedColor != clDefault) ? FSelectedColor : clXPHighlight;
    } else {
      selText = text;
      selBack = back;
    }
  } else {
    text = clXPBtnShadow;
    back = theme != xtsClassic ? clXPBtnHighlight : clXPWindow;
    if (FLookAndFeel == xlfNative && theme == xtsThemed)
      ThemeColors(Handle(), IsWindowsVistaOrLater() ? 6 : 1, 4, back, text);
    frame = text;
    if (showSelection) {
      selText = back;
      selBack = text;
    } else {
      selText = text;
      selBack = back;
    }
  }

  if (!FTransparent) {
    const TXPLookAndFeel look = FBackImage->Empty() ? xlfNative : FLookAndFeel;
    const int state = (theme == xtsThemed && usingColors) ? xtsClassic : theme;
    RECT buttons;
    GetButtonsRect(buttons);
    if (look == xlfNative && state != xtsThemed) {
      canvas.Brush().SetStyle(TBrushStyle::Solid);
      canvas.Brush().SetColor(FBorderStyle == bsSingle ? frame : back);
      RECT ring = client;
      for (int i = 0; i < FFrameSize; ++i) {
        canvas.FrameRect(ring);
        InflateRect(&ring, -1, -1);
      }
      HRGN saved = nullptr;
      ClipToRect(dc, buttons, saved, true);
      canvas.Brush().SetColor(back);
      for (int i = 0; i < FBorderSize; ++i) {
        canvas.FrameRect(ring);
        InflateRect(&ring, -1, -1);
      }
      const int bottom = client.bottom - FFrameSize - FBorderSize;
      canvas.FillRect(RECT{FFrameSize, bottom - FExtraDelta, client.right - FFrameSize, bottom});
      RestoreClipRgn(dc, saved);
    } else if (look == xlfNative) {
      TXPThemeDetails details;
      GetThemeDetails(details);
      HRGN saved = nullptr;
      ClipToRect(dc, buttons, saved, true);
      DrawXPThemeDetails(Handle(), details, dc, client);
      RestoreClipRgn(dc, saved);
    } else {
      ::PaintParentBackground(this, dc);
      const int cell = FBackImage->Height() / 2;
      const int state = GetThemeState();
      const bool lower = state == kEditStateHot || state == kEditStateFocused;
      const RECT source{0, lower ? cell : 0, FBackImage->Width(), (lower ? cell : 0) + cell};
      const RECT inner{3, 3, FBackImage->Width() - 3, cell - 3};
      DrawSkinBitmap(client, inner, source, dc, FBackImage->Handle(), true);
    }
  }
  RECT rect;
  GetTextRect(rect);
  PaintText(rect, back, frame, selText, selBack, text);
}

void TCustomXPEdit::PaintText(const RECT& ARect, TColor ABackColor, TColor /*AFrameColor*/,
                              TColor ASelTextColor, TColor ASelBackColor, TColor ATextColor) {
  HDC dc = Canvas().Handle();
  const int theme = GetXPThemeState();
  const bool transparentText = FTransparent ||
                               (FLookAndFeel == xlfNative && IsWindowsVistaOrLater() &&
                                theme == xtsThemed && !UsingColors()) ||
                               (FLookAndFeel == xlfCustom && !FBackImage->Empty());
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
    // One character early, so overhanging glyphs join their neighbours.
    const int early = AFrom > 0 ? AFrom - 1 : AFrom;
    const int shift = WidthOf(early, AFrom);
    RECT clip{x, ARect.top, std::min<LONG>(x + width, ARect.right), ARect.bottom};
    SetTextColor(dc, ColorToColorRef(AText));
    SetBkColor(dc, ColorToColorRef(ABack));
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
    // The rest of the line: the last visible character clipped away, which
    // with the opaque option fills the background.
    RECT rest{x, ARect.top, ARect.right, ARect.bottom};
    SetTextColor(dc, ColorToColorRef(ATextColor));
    SetBkColor(dc, ColorToColorRef(ABackColor));
    SetBkMode(dc, transparentText ? TRANSPARENT : OPAQUE);
    const int lastChar = last > first ? last - 1 : last;
    ExtTextOutW(dc, ARect.right, ARect.top, ETO_CLIPPED | (transparentText ? 0 : ETO_OPAQUE), &rest,
                FDisplayText.c_str() + lastChar, UINT(last - lastChar), nullptr);
  }
  SelectObject(dc, oldFont);
}

std::wstring OemConvertedText(const std::wstring& AText) {
  // Each OEM byte is kept as the character of the same ANSI code.
  std::string oem(AText.size() * 2 + 1, '\0');
  CharToOemW(AText.c_str(), oem.data());
  oem.resize(std::strlen(oem.c_str()));
  return AnsiToWide(oem);
}
