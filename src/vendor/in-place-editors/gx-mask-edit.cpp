#include "gx-mask-edit.h"

#include <richedit.h>
#include <windowsx.h>

#include <algorithm>
#include <cwctype>

namespace {

bool IsHigh(wchar_t AChar) {
  return AChar >= 0xD800 && AChar <= 0xDBFF;
}
bool IsLow(wchar_t AChar) {
  return AChar >= 0xDC00 && AChar <= 0xDFFF;
}

// Positions within the last four characters of a mask of at least four.
bool InFieldArea(const std::wstring& AMask, int APosition) {
  const int length = int(AMask.size());
  return length >= 4 && APosition >= length - 4;
}

bool OccupiesText(TgxMaskCharType AType) {
  return AType == mcLiteral || AType == mcIntlLiteral || AType == mcMask || AType == mcMaskOpt;
}

wchar_t LocaleSeparator(LCTYPE AType, wchar_t AFallback) {
  wchar_t text[8] = {};
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, AType, text, 8) > 0 && text[0])
    return text[0];
  return AFallback;
}

wchar_t ConvertLetter(wchar_t AChar, TgxMaskDirectives ADirectives) {
  wchar_t text[2] = {AChar, 0};
  if (ADirectives & mdUpperCase)
    CharUpperBuffW(text, 1);
  else if (ADirectives & mdLowerCase)
    CharLowerBuffW(text, 1);
  return text[0];
}

class TCounter {
public:
  explicit TCounter(int& ACount) : FCount(ACount) { ++FCount; }
  TCounter(const TCounter&) = delete;
  TCounter& operator=(const TCounter&) = delete;
  ~TCounter() { --FCount; }

private:
  int& FCount;
};

} // namespace

// ===========================================================================
// Mask routines

TgxMaskCharType MaskCharType(const std::wstring& AMask, int APosition) {
  const int length = int(AMask.size());
  if (APosition < 0 || APosition >= length)
    return mcNone;
  const wchar_t c = AMask[size_t(APosition)];
  const wchar_t before = APosition > 0 ? AMask[size_t(APosition - 1)] : 0;
  const bool beforeEscaped = APosition > 1 && AMask[size_t(APosition - 2)] == L'\\';
  if (IsLow(c) && IsHigh(before))
    return mcLiteral;
  if (before == L'\\' && !beforeEscaped)
    return mcLiteral;
  if (c == L';' && InFieldArea(AMask, APosition))
    return mcFieldSeparator;
  if (InFieldArea(AMask, APosition) && before == L';' && !beforeEscaped)
    return mcField;
  switch (c) {
  case L':':
  case L'/':
    return mcIntlLiteral;
  case L'!':
  case L'>':
  case L'<':
  case L'\\':
    return mcDirective;
  case L'l':
  case L'a':
  case L'c':
  case L'9':
  case L'#':
    return mcMaskOpt;
  case L'L':
  case L'A':
  case L'C':
  case L'0':
    return mcMask;
  default:
    return mcLiteral;
  }
}

TgxMaskDirectives MaskDirectivesAt(const std::wstring& AMask, int APosition) {
  TgxMaskDirectives result = 0;
  for (int i = 0; i < int(AMask.size()); ++i)
    if (AMask[size_t(i)] == L'!' && MaskCharType(AMask, i) == mcDirective)
      result |= mdReverseDir;
  for (int i = 0; i < APosition && i < int(AMask.size()); ++i) {
    if (MaskCharType(AMask, i) != mcDirective)
      continue;
    const wchar_t c = AMask[size_t(i)];
    if (c == L'<' && i + 1 < int(AMask.size()) && AMask[size_t(i + 1)] == L'>') {
      result &= TgxMaskDirectives(~(mdUpperCase | mdLowerCase));
      ++i;
    } else if (c == L'>') {
      result = TgxMaskDirectives((result & ~mdLowerCase) | mdUpperCase);
    } else if (c == L'<') {
      result = TgxMaskDirectives((result & ~mdUpperCase) | mdLowerCase);
    }
  }
  const TgxMaskCharType type = MaskCharType(AMask, APosition);
  if (type == mcLiteral || type == mcIntlLiteral)
    result |= mdLiteralChar;
  return result;
}

wchar_t MaskLiteralChar(wchar_t AChar) {
  if (AChar == L':')
    return LocaleSeparator(LOCALE_STIME, L':');
  if (AChar == L'/')
    return LocaleSeparator(LOCALE_SDATE, L'/');
  return AChar;
}

bool MaskSaveLiterals(const std::wstring& AMask) {
  const int length = int(AMask.size());
  if (length < 4)
    return true;
  int found[2] = {-1, -1};
  int count = 0;
  for (int i = length - 1; i >= std::max(0, length - 5) && count < 2; --i)
    if (MaskCharType(AMask, i) == mcFieldSeparator)
      found[count++] = i;
  const int separator = count == 2 ? found[1] : found[0];
  if (separator < 0 || separator == length - 1)
    return true;
  return AMask[size_t(separator + 1)] != L'0';
}

wchar_t MaskBlankChar(const std::wstring& AMask) {
  const int length = int(AMask.size());
  if (length >= 4 && MaskCharType(AMask, length - 2) == mcFieldSeparator &&
      (MaskCharType(AMask, length - 3) == mcFieldSeparator ||
       MaskCharType(AMask, length - 4) == mcFieldSeparator))
    return AMask[size_t(length - 1)];
  return L'_';
}

int MaskMaxChars(const std::wstring& AMask) {
  return MaskToTextOffset(AMask, int(AMask.size()) - 1);
}

int MaskToTextOffset(const std::wstring& AMask, int APosition) {
  int count = 0;
  for (int i = 0; i <= APosition && i < int(AMask.size()); ++i)
    if (OccupiesText(MaskCharType(AMask, i)))
      ++count;
  return count;
}

int TextToMaskOffset(const std::wstring& AMask, int AOffset) {
  if (AOffset < 0)
    return -1;
  int offset = 0;
  for (int i = 0; i < int(AMask.size()); ++i) {
    if (!OccupiesText(MaskCharType(AMask, i)))
      continue;
    if (offset == AOffset)
      return i;
    ++offset;
  }
  return -1;
}

bool IsMaskLiteralAt(const std::wstring& AMask, int AOffset) {
  const TgxMaskCharType type = MaskCharType(AMask, TextToMaskOffset(AMask, AOffset));
  return type == mcLiteral || type == mcIntlLiteral;
}

wchar_t MaskLiteralAt(const std::wstring& AMask, int AOffset) {
  const int position = TextToMaskOffset(AMask, AOffset);
  if (position < 0)
    return 0;
  const wchar_t c = AMask[size_t(position)];
  return MaskCharType(AMask, position) == mcIntlLiteral ? MaskLiteralChar(c) : c;
}

std::wstring MaskFormatText(const std::wstring& AMask, const std::wstring& AValue, wchar_t ABlank) {
  const int width = MaskMaxChars(AMask);
  std::wstring result(size_t(width), ABlank);
  const bool reverse = (MaskDirectivesAt(AMask, 0) & mdReverseDir) != 0;
  if (!reverse) {
    size_t next = 0;
    for (int k = 0; k < width; ++k) {
      if (IsMaskLiteralAt(AMask, k))
        result[size_t(k)] = MaskLiteralAt(AMask, k);
      else if (next < AValue.size())
        result[size_t(k)] = AValue[next++];
    }
  } else {
    int next = int(AValue.size()) - 1;
    for (int k = width - 1; k >= 0; --k) {
      if (IsMaskLiteralAt(AMask, k))
        result[size_t(k)] = MaskLiteralAt(AMask, k);
      else if (next >= 0)
        result[size_t(k)] = AValue[size_t(next--)];
    }
  }
  return result;
}

std::wstring PadMaskLiterals(const std::wstring& AMask, const std::wstring& AValue,
                             wchar_t ABlank) {
  const int width = MaskMaxChars(AMask);
  const bool reverse = (MaskDirectivesAt(AMask, 0) & mdReverseDir) != 0;
  auto fit = [&](std::wstring AField, int AWidth) {
    const size_t size = size_t(AWidth);
    if (AField.size() > size)
      AField = reverse ? AField.substr(AField.size() - size) : AField.substr(0, size);
    else if (AField.size() < size)
      AField = reverse ? std::wstring(size - AField.size(), ABlank) + AField
                       : AField + std::wstring(size - AField.size(), ABlank);
    return AField;
  };
  std::wstring result;
  size_t next = 0;
  int fieldWidth = 0;
  for (int k = 0; k < width; ++k) {
    if (!IsMaskLiteralAt(AMask, k)) {
      ++fieldWidth;
      continue;
    }
    const wchar_t literal = MaskLiteralAt(AMask, k);
    const size_t found = next <= AValue.size() ? AValue.find(literal, next) : std::wstring::npos;
    std::wstring field;
    if (found != std::wstring::npos) {
      field = AValue.substr(next, found - next);
      next = found + 1;
    } else {
      field = next < AValue.size() ? AValue.substr(next) : std::wstring();
      next = AValue.size();
    }
    result += fit(field, fieldWidth);
    result += literal;
    fieldWidth = 0;
  }
  result += fit(next < AValue.size() ? AValue.substr(next) : std::wstring(), fieldWidth);
  for (int k = 0; k < int(result.size()); ++k)
    if (result[size_t(k)] == L' ' && !IsMaskLiteralAt(AMask, k))
      result[size_t(k)] = ABlank;
  return result;
}

// ===========================================================================
// TgxInplaceMaskEdit

TgxInplaceMaskEdit::TgxInplaceMaskEdit(TComponent* AOwner) : TgxInplaceTextEdit(AOwner) {
  FMaskState = 0;
  FMaskBlank = L'_';
}

std::wstring TgxInplaceMaskEdit::DefaultEditMask() {
  return FDataDefinition ? FDataDefinition->GetEditMask() : std::wstring();
}

void TgxInplaceMaskEdit::GetSelRange(int& AStart, int& AStop) {
  if (IsEditClass())
    GetSelection(AStart, AStop);
  else
    AStart = AStop = 0;
}

void TgxInplaceMaskEdit::SetEditMask(const std::wstring& AValue) {
  SetStoredValues(TgxEditStoredValues(StoredValues() | StoredValueBit(svEditMask)));
  InternalSetEditMask(AValue);
}

void TgxInplaceMaskEdit::InternalSetEditMask(const std::wstring& AValue) {
  if (AValue == FEditMask)
    return;
  const int selStart = HandleAllocated() ? GetSelStart() : 0;
  const std::wstring value = GetTextValue();
  FEditMask = AValue;
  FMaxChars = MaskMaxChars(AValue);
  FMaskSave = MaskSaveLiterals(AValue);
  FMaskBlank = MaskBlankChar(AValue);
  if (AValue.empty())
    FMaskState &= TgxMaskedState(~msMasked);
  else
    FMaskState |= msMasked;
  // The old limit must not cut the text laid out on the new pattern.
  TgxInplaceTextEdit::InternalSetMaxLength(0);
  std::wstring editText = value;
  if (IsMasked())
    editText = FMaskSave ? PadMaskLiterals(AValue, value, FMaskBlank)
                         : MaskFormatText(AValue, value, FMaskBlank);
  SetEditorText(editText);
  if (IsMasked())
    TgxInplaceTextEdit::InternalSetMaxLength(FMaxChars);
  if (HandleAllocated() && GetFocus() == Handle())
    SetCursor(selStart);
  RecreateWnd();
}

void TgxInplaceMaskEdit::ReadDefinitionProperties() {
  TgxInplaceTextEdit::ReadDefinitionProperties();
  if (!IsStored(svEditMask))
    InternalSetEditMask(DefaultEditMask());
}

int TgxInplaceMaskEdit::DefaultMaxLength() {
  return IsMasked() ? FMaxChars : TgxInplaceTextEdit::DefaultMaxLength();
}

void TgxInplaceMaskEdit::InternalSetMaxLength(int AValue) {
  TgxInplaceTextEdit::InternalSetMaxLength(IsMasked() ? FMaxChars : AValue);
}

bool TgxInplaceMaskEdit::HasDataDefinition() {
  return TgxInplaceTextEdit::HasDataDefinition() || IsMasked();
}

bool TgxInplaceMaskEdit::GetDisableCloseEditor() {
  return TgxInplaceTextEdit::GetDisableCloseEditor() && GetModified();
}

// --- text forms ----------------------------------------------------------------------------

void TgxInplaceMaskEdit::SetEditText(const std::wstring& AValue) {
  if (AValue == GetEditorText())
    return;
  SetEditorText(AValue);
  CheckCursor();
}

std::wstring TgxInplaceMaskEdit::GetTextValue() {
  const std::wstring editText = GetEditorText();
  if (!IsMasked())
    return editText;
  if (FMaskSave) {
    std::wstring value = editText;
    for (int k = 0; k < int(value.size()); ++k)
      if (value[size_t(k)] == FMaskBlank && !IsLiteralOffset(k))
        value[size_t(k)] = L' ';
    return value;
  }
  std::wstring value;
  for (int k = 0; k < int(editText.size()); ++k)
    if (!IsLiteralOffset(k))
      value += editText[size_t(k)];
  const bool reverse = (MaskDirectivesAt(FEditMask, 0) & mdReverseDir) != 0;
  if (reverse) {
    const size_t first = value.find_first_not_of(FMaskBlank);
    value = first == std::wstring::npos ? std::wstring() : value.substr(first);
  } else {
    const size_t last = value.find_last_not_of(FMaskBlank);
    value = last == std::wstring::npos ? std::wstring() : value.substr(0, last + 1);
  }
  std::replace(value.begin(), value.end(), FMaskBlank, L' ');
  return value;
}

void TgxInplaceMaskEdit::SetTextValue(const std::wstring& AValue) {
  if (!IsMasked()) {
    TgxInplaceTextEdit::SetTextValue(AValue);
    return;
  }
  SetEditText(FMaskSave ? PadMaskLiterals(FEditMask, AValue, FMaskBlank)
                        : MaskFormatText(FEditMask, AValue, FMaskBlank));
}

std::wstring TgxInplaceMaskEdit::GetBlankText() {
  return BlankRange(GetEditorText(), 0, FMaxChars);
}

std::wstring TgxInplaceMaskEdit::GetEditingText() {
  if (FIgnoreMaskBlank)
    return GetEditorText();
  if (IsMasked())
    return GetEditorText() != GetBlankText() ? Text() : std::wstring();
  return Text();
}

void TgxInplaceMaskEdit::SetEditValue(const TgxVariant& AValue) {
  if (!IsMasked()) {
    TgxInplaceTextEdit::SetEditValue(AValue);
    return;
  }
  {
    const bool previous = FAssigningText;
    FAssigningText = true;
    try {
      SetTextValue(VarToText(AValue));
    } catch (...) {
      FAssigningText = previous;
      throw;
    }
    FAssigningText = previous;
  }
  ClearUndo();
}

void TgxInplaceMaskEdit::EditChanged() {
  if (IsMasked() && !FCreating && int(GetEditorText().size()) != FMaxChars) {
    SetTextValue(GetTextValue());
    SetModified(true);
  }
  TgxInplaceTextEdit::EditChanged();
}

// --- caret ----------------------------------------------------------------------------------

bool TgxInplaceMaskEdit::IsLiteralOffset(int AOffset) const {
  return IsMaskLiteralAt(FEditMask, AOffset);
}

int TgxInplaceMaskEdit::NextInputPos(int AOffset) const {
  int offset = std::max(AOffset, 0);
  while (offset < FMaxChars && IsLiteralOffset(offset))
    ++offset;
  return std::min(offset, FMaxChars);
}

int TgxInplaceMaskEdit::PrevInputPos(int AOffset) const {
  for (int offset = std::min(AOffset, FMaxChars - 1); offset >= 0; --offset)
    if (!IsLiteralOffset(offset))
      return offset;
  return NextInputPos(0);
}

void TgxInplaceMaskEdit::SetSel(int AStart, int AStop) {
  SendMessageW(Handle(), EM_SETSEL, WPARAM(AStart), LPARAM(AStop));
}

void TgxInplaceMaskEdit::SetSelEx(int AStart, int AStop, bool AReverse) {
  SendMessageW(Handle(), EM_SETSEL, WPARAM(AStart), LPARAM(AStop));
  if (AReverse)
    SendMessageW(Handle(), EM_SETSEL, WPARAM(AStop), LPARAM(AStart));
}

void TgxInplaceMaskEdit::SetCursor(int APos) {
  if (!HandleAllocated())
    return;
  const std::wstring text = GetEditorText();
  if (APos >= 0 && APos < int(text.size()) && IsLow(text[size_t(APos)]) && APos > 0)
    --APos;
  if (!IsMasked()) {
    APos = std::clamp(APos, 0, int(text.size()));
    SetSelection(APos, APos);
    return;
  }
  int start = std::max(APos, 0);
  int stop = start + (start < int(text.size()) && IsHigh(text[size_t(start)]) ? 2 : 1);
  if (start >= FMaxChars)
    start = stop = FMaxChars;
  stop = std::min(stop, FMaxChars);
  SetSelection(stop, stop);
  if (start != stop) {
    // Selected from its end back to its start, so the window's caret (and
    // its own Shift+arrow moves) sit at the logical caret.
    BYTE saved[256], state[256];
    GetKeyboardState(saved);
    std::copy(std::begin(saved), std::end(saved), std::begin(state));
    state[VK_SHIFT] = 0x81;
    state[VK_LSHIFT] = 0x81;
    state[VK_CONTROL] = state[VK_LCONTROL] = state[VK_RCONTROL] = 0;
    SetKeyboardState(state);
    for (UINT message : {UINT(WM_KEYDOWN), UINT(WM_KEYUP)}) {
      TMessage key{message, VK_LEFT, message == WM_KEYDOWN ? LPARAM(1) : LPARAM(0xC0000001), 0};
      DefaultHandler(key);
    }
    SetKeyboardState(saved);
    int s = 0, e = 0;
    GetSelection(s, e);
    if (s != start || e != stop)
      SetSelection(start, stop);
  }
  FCaretPos = start;
}

void TgxInplaceMaskEdit::CheckCursor() {
  if (!HandleAllocated() || !IsMasked())
    return;
  int start, stop;
  GetSelRange(start, stop);
  if (start == stop)
    SetCursor(start);
}

bool TgxInplaceMaskEdit::CursorDec(int APos) {
  int before, stop;
  GetSelRange(before, stop);
  const int target = PrevInputPos(APos - 1);
  SetCursor(target);
  return target != before;
}

void TgxInplaceMaskEdit::CursorInc(int APos, int AStep) {
  int next = NextInputPos(APos + AStep);
  if (next < FMaxChars && IsLiteralOffset(next))
    next = APos;
  SetCursor(next);
}

// --- keys ------------------------------------------------------------------------------------

void TgxInplaceMaskEdit::ArrowKeys(WORD& AKey, TShiftState AShift) {
  if (AShift & ssCtrl)
    return;
  if (AShift & ssShift) {
    FCaretPos = std::clamp(FCaretPos + (AKey == VK_LEFT ? -1 : 1), 0, FMaxChars);
    return;
  }
  int start, stop;
  GetSelRange(start, stop);
  const std::wstring text = GetEditorText();
  const bool pair = stop - start == 2 && start < int(text.size()) && IsHigh(text[size_t(start)]);
  if (stop - start <= 1 || pair) {
    if (AKey == VK_LEFT)
      CursorDec(start);
    else if (start == stop)
      SetCursor(start);
    else
      CursorInc(start, pair ? 2 : 1);
  } else {
    SetCursor(FCaretPos == stop ? FCaretPos - 1 : FCaretPos);
  }
  AKey = 0;
}

void TgxInplaceMaskEdit::HomeEndKeys(WORD& AKey, TShiftState AShift) {
  const bool home = AKey == VK_HOME;
  if (AShift & ssShift) {
    int start, stop;
    GetSelRange(start, stop);
    if (home)
      SetSelection(0, stop);
    else
      SetSelection(start, FMaxChars);
    FCaretPos = home ? 0 : FMaxChars;
  } else {
    SetCursor(home ? 0 : FMaxChars);
  }
  AKey = 0;
}

void TgxInplaceMaskEdit::KeyDown(WORD& AKey, TShiftState AShift) {
  if (AKey == VK_ESCAPE)
    Reset();
  if (EditClass().IsInplace()) {
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
  }
  {
    TCounter lock(FLockValidate);
    // A paste always goes through the masked paste.
    if ((AKey == 'V' && (AShift & (ssShift | ssCtrl | ssAlt)) == ssCtrl) ||
        (AKey == VK_INSERT && (AShift & (ssShift | ssCtrl | ssAlt)) == ssShift)) {
      if (HandleAllocated())
        PostMessageW(Handle(), WM_PASTE, 0, 0);
      AKey = 0;
    }
    TgxInplaceTextEdit::KeyDown(AKey, AShift);
  }
  if (!IsMasked() || AKey == 0 || (AShift & ssAlt))
    return;
  switch (AKey) {
  case VK_LEFT:
  case VK_RIGHT:
    ArrowKeys(AKey, AShift);
    break;
  case VK_UP:
  case VK_DOWN:
    AKey = 0;
    break;
  case VK_HOME:
  case VK_END:
    HomeEndKeys(AKey, AShift);
    break;
  case VK_DELETE:
  case VK_BACK:
    if (AKey == VK_DELETE && (AShift & (ssShift | ssCtrl)))
      break;
    if (CanEditValue())
      DeleteKeys(AKey);
    AKey = 0;
    break;
  default:
    CheckCursor();
    break;
  }
}

void TgxInplaceMaskEdit::KeyUp(WORD& AKey, TShiftState AShift) {
  const WORD key = AKey;
  TgxInplaceTextEdit::KeyUp(AKey, AShift);
  if (IsMasked() && (AShift & ssCtrl) && (key == VK_LEFT || key == VK_RIGHT))
    CheckCursor();
}

void TgxInplaceMaskEdit::KeyPress(wchar_t& AKey) {
  TgxInplaceTextEdit::KeyPress(AKey);
  if (!IsMasked() || AKey == 0 || AKey == 3 || AKey == 22 || AKey == 24)
    return;
  // The window never inserts a character of its own into a mask.
  CharKeys(AKey);
  AKey = 0;
}

std::wstring TgxInplaceMaskEdit::BlankRange(const std::wstring& AText, int AStart,
                                            int AStop) const {
  std::wstring result = AText;
  for (int k = std::max(AStart, 0); k < AStop && k < int(result.size()); ++k)
    if (!IsLiteralOffset(k))
      result[size_t(k)] = FMaskBlank;
  return result;
}

void TgxInplaceMaskEdit::ReplaceSelection(const std::wstring& AText) {
  const bool previous = FInternalReplace;
  FInternalReplace = true;
  try {
    SendMessageW(Handle(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(AText.c_str()));
  } catch (...) {
    FInternalReplace = previous;
    throw;
  }
  FInternalReplace = previous;
}

void TgxInplaceMaskEdit::DeleteKeys(WORD AKey) {
  if (!CanModify())
    return;
  int start, stop;
  GetSelRange(start, stop);
  if (stop - start <= 1 && AKey == VK_BACK) {
    if (!CursorDec(start))
      return;
    GetSelRange(start, stop);
  }
  if (start == stop) {
    if (start >= FMaxChars)
      return;
    stop = start + 1;
    SetSelection(start, stop);
  }
  const std::wstring text = GetEditorText();
  const std::wstring blanked = BlankRange(text, start, stop);
  ReplaceSelection(blanked.substr(size_t(start), size_t(stop - start)));
  if (stop - start <= 1)
    SetCursor(start);
  else
    SetCursor(NextInputPos(start));
}

void TgxInplaceMaskEdit::CharKeys(wchar_t AKey) {
  if (AKey == 27) {
    Reset();
    return;
  }
  if (AKey == 13) {
    ValidateEdit();
    return;
  }
  if (!CanEditValue() || !CanModify() || AKey == 8)
    return;
  int start, stop;
  GetSelRange(start, stop);
  const std::wstring before = GetEditorText();
  const bool pair =
      stop - start == 2 && start < int(before.size()) && IsHigh(before[size_t(start)]);
  if (stop - start > 1 && !pair) {
    DeleteKeys(VK_DELETE);
    SetCursor(NextInputPos(start));
  }
  std::wstring typed(1, AKey);
  if (IsHigh(AKey)) {
    MSG message{};
    if (PeekMessageW(&message, Handle(), WM_CHAR, WM_CHAR, PM_REMOVE)) {
      if (message.message == WM_QUIT)
        PostQuitMessage(int(message.wParam));
      else
        typed += wchar_t(message.wParam);
    }
  }
  GetSelRange(start, stop);
  wchar_t c = AKey;
  if (!InputChar(c, start))
    return;
  typed[0] = c;
  const int width = int(typed.size());
  if (start >= FMaxChars)
    return;
  SetSelection(start, std::min(start + width, FMaxChars));
  ReplaceSelection(typed);
  SetCursor(NextInputPos(start + width));
}

bool TgxInplaceMaskEdit::InputChar(wchar_t& AChar, int AOffset) {
  if (!IsMasked())
    return true;
  const int position = TextToMaskOffset(FEditMask, AOffset);
  if (position >= 0 && DoInputChar(AChar, position))
    return true;
  const TgxMaskCharType type = MaskCharType(FEditMask, position);
  if (type == mcMask || type == mcMaskOpt) {
    for (int k = AOffset + 1; k < FMaxChars; ++k) {
      if (!IsLiteralOffset(k))
        continue;
      if (MaskLiteralAt(FEditMask, k) == AChar) {
        // The typed separator skips the rest of the field.
        SetCursor(NextInputPos(k + 1));
        return false;
      }
      break;
    }
  }
  EditorBeep();
  return false;
}

bool TgxInplaceMaskEdit::DoInputChar(wchar_t& AChar, int APosition) {
  const TgxMaskCharType type = MaskCharType(FEditMask, APosition);
  if (type == mcLiteral || type == mcIntlLiteral) {
    const int offset = MaskToTextOffset(FEditMask, APosition) - 1;
    AChar = MaskLiteralAt(FEditMask, offset);
    return true;
  }
  const wchar_t pattern = FEditMask[size_t(APosition)];
  const TgxMaskDirectives directives = MaskDirectivesAt(FEditMask, APosition);
  auto surrogateFits = [&] {
    const int next = APosition + 1;
    return next < int(FEditMask.size()) &&
           std::towupper(FEditMask[size_t(next)]) == std::towupper(pattern);
  };
  switch (pattern) {
  case L'0':
  case L'9':
    return AChar >= L'0' && AChar <= L'9';
  case L'#':
    return (AChar >= L'0' && AChar <= L'9') || AChar == L' ' || AChar == L'+' || AChar == L'-';
  case L'L':
  case L'l':
  case L'A':
  case L'a': {
    if (IsHigh(AChar) || IsLow(AChar))
      return surrogateFits();
    if (PRIMARYLANGID(GetUserDefaultLangID()) == 0x11 && AChar >= 0xA1 && AChar <= 0xDF)
      return true;
    if (IsCharAlphaW(AChar)) {
      AChar = ConvertLetter(AChar, directives);
      return true;
    }
    const bool alphanumeric = pattern == L'A' || pattern == L'a';
    return alphanumeric && AChar >= L'0' && AChar <= L'9';
  }
  case L'C':
  case L'c':
    if (IsHigh(AChar) || IsLow(AChar))
      return surrogateFits();
    if (IsCharAlphaW(AChar))
      AChar = ConvertLetter(AChar, directives);
    return true;
  default:
    return true;
  }
}

// --- clipboard ---------------------------------------------------------------------------------

void TgxInplaceMaskEdit::SavePrevText() {
  // Not yet modified: the text now is what Escape goes back to.
  if (!GetModified())
    SetActive(true);
}

void TgxInplaceMaskEdit::PasteMasked() {
  std::wstring pasted;
  if (OpenClipboard(Handle())) {
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
      if (auto* text = static_cast<const wchar_t*>(GlobalLock(data))) {
        pasted = text;
        GlobalUnlock(data);
      }
    }
    CloseClipboard();
  }
  SavePrevText();
  int start, stop;
  GetSelRange(start, stop);
  std::wstring text = BlankRange(GetEditorText(), start, stop);
  text.resize(size_t(FMaxChars), FMaskBlank);
  int offset = start;
  for (size_t i = 0; i < pasted.size() && offset < FMaxChars;) {
    const wchar_t c = pasted[i];
    if (IsLiteralOffset(offset)) {
      // The literal stays; an equal pasted character is used up by it.
      if (MaskLiteralAt(FEditMask, offset) == c)
        ++i;
      ++offset;
      continue;
    }
    wchar_t placed = c;
    text[size_t(offset)] =
        DoInputChar(placed, TextToMaskOffset(FEditMask, offset)) ? placed : FMaskBlank;
    ++offset;
    ++i;
  }
  SetEditorText(text);
  SetCursor(offset);
  SetModified(true);
  ValidateEdit();
}

void TgxInplaceMaskEdit::ClearMasked() {
  SavePrevText();
  SetEditorText(BlankRange(GetEditorText(), 0, FMaxChars));
  SetModified(true);
  CheckCursor();
}

int TgxInplaceMaskEdit::FirstUnfilled(const std::wstring& AText) const {
  if (AText.empty())
    return -1;
  for (int k = 0; k < int(AText.size()) && k < FMaxChars; ++k) {
    const int position = TextToMaskOffset(FEditMask, k);
    if (MaskCharType(FEditMask, position) != mcMask)
      continue;
    const wchar_t c = AText[size_t(k)];
    if ((c == FMaskBlank && !FIgnoreMaskBlank) ||
        (c == L' ' && std::towupper(FEditMask[size_t(position)]) != L'C'))
      return k;
  }
  return -1;
}

void TgxInplaceMaskEdit::ValidateEdit() {
  if (FLockValidate != 0)
    return;
  if (!IsMasked()) {
    TgxInplaceTextEdit::ValidateEdit();
    return;
  }
  const int unfilled = FirstUnfilled(GetEditorText());
  if (!GetModified() || unfilled < 0) {
    CheckCursor();
    TgxInplaceTextEdit::ValidateEdit();
    return;
  }
  if (CloseFlag()) {
    // The container is closing the editor: the value goes back instead.
    Reset();
    return;
  }
  FMaskState |= msReEnter;
  if (HandleAllocated() && IsWindowVisible(Handle()) && GetFocus() != Handle())
    PostMessageW(Handle(), WM_GX_REFOCUS, 0, 0);
  SetCursor(unfilled);
  EditorBeep();
  throw EDBEditError(kgxMaskInvalidInputText);
}

bool TgxInplaceMaskEdit::WantSpecialKey(WPARAM AKey) {
  if (AKey == VK_ESCAPE && IsMasked() && GetModified())
    return true;
  return TgxInplaceTextEdit::WantSpecialKey(AKey);
}

void TgxInplaceMaskEdit::DoEnter() {
  if (!IsMasked()) {
    TgxInplaceTextEdit::DoEnter();
    return;
  }
  if ((FMaskState & msReEnter) == 0)
    TgxInplaceTextEdit::DoEnter();
  else
    TgxInplaceEdit::DoEnter();
  FMaskState &= TgxMaskedState(~msReEnter);
  CheckCursor();
}

void TgxInplaceMaskEdit::WndProc(TMessage& AMessage) {
  if (!IsMasked()) {
    TgxInplaceTextEdit::WndProc(AMessage);
    return;
  }
  switch (AMessage.Msg) {
  case WM_PASTE:
    AMessage.Result = 0;
    if (CanModify()) {
      if (CanEditValue())
        PasteMasked();
      return;
    }
    break;
  case WM_CLEAR:
    AMessage.Result = 0;
    if (CanEditValue())
      ClearMasked();
    return;
  case WM_CUT:
    AMessage.Result = 0;
    if (CanEditValue()) {
      TMessage copy{WM_COPY, 0, 0, 0};
      DefaultHandler(copy);
      ClearMasked();
    }
    return;
  case EM_REPLACESEL:
    if (!FInternalReplace) {
      int start, stop;
      GetSelRange(start, stop);
      const auto* text = reinterpret_cast<const wchar_t*>(AMessage.LParam);
      if (!text || int(wcslen(text)) != stop - start) {
        AMessage.Result = 0;
        return;
      }
    }
    break;
  case WM_LBUTTONDOWN:
    FBtnDownX = GET_X_LPARAM(AMessage.LParam);
    break;
  case WM_LBUTTONUP: {
    TgxInplaceTextEdit::WndProc(AMessage);
    int start, stop;
    GetSelRange(start, stop);
    FCaretPos = (stop > start && GET_X_LPARAM(AMessage.LParam) > FBtnDownX) ? stop : start;
    CheckCursor();
    return;
  }
  case WM_SETFOCUS:
    TgxInplaceTextEdit::WndProc(AMessage);
    CheckCursor();
    return;
  default:
    break;
  }
  TgxInplaceTextEdit::WndProc(AMessage);
}
