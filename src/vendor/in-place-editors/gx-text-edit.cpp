#include "gx-text-edit.h"

#include "forms.h"
#include "resource-ledger.h"
#include "seams.h"

#include <richedit.h>
#include <richole.h>
#include <windowsx.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// The context menu's captions, as the unit's resource strings give them.
constexpr const wchar_t* kMenuCaptionTexts[7] = {L"&Undo",  L"&Redo",   L"Cu&t",       L"&Copy",
                                                 L"&Paste", L"&Delete", L"Select &All"};

std::unique_ptr<TSystemLibrary> GRichEdit;
std::vector<std::wstring> GMenuCaptions;

constexpr GUID kIID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {00020D03-0000-0000-C000-000000000046}
constexpr GUID kIID_IRichEditOleCallback = {
    0x00020D03, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Raises a flag for its lifetime, restoring the previous value after.
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

std::wstring ConvertCase(const std::wstring& AText, TEditCharCase ACase) {
  if (ACase == ecNormal || AText.empty())
    return AText;
  std::wstring result = AText;
  if (ACase == ecUpperCase)
    CharUpperBuffW(result.data(), DWORD(result.size()));
  else
    CharLowerBuffW(result.data(), DWORD(result.size()));
  return result;
}

// The rich edit's default character format record is the 116-byte form.
static_assert(sizeof(CHARFORMAT2W) == 116, "CHARFORMAT2W is 116 bytes");

bool IsAutoTextColor(TColor AColor) {
  return AColor == clWindowText || AColor == clDefault;
}

} // namespace

// ===========================================================================
// The rich edit's OLE callback: every question answered "not implemented"
// except drops, which are refused.

class TgxInplaceTextEdit::TOleCallback final : public IRichEditOleCallback {
public:
  explicit TOleCallback(TgxInplaceTextEdit& AEdit) : FEdit(AEdit) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID ARiid, void** AObject) override {
    if (!AObject)
      return E_POINTER;
    if (IsEqualGUID(ARiid, kIID_IUnknown) || IsEqualGUID(ARiid, kIID_IRichEditOleCallback)) {
      *AObject = static_cast<IRichEditOleCallback*>(this);
      AddRef();
      return S_OK;
    }
    *AObject = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++FEdit.FRefCount); }
  ULONG STDMETHODCALLTYPE Release() override { return ULONG(--FEdit.FRefCount); }

  HRESULT STDMETHODCALLTYPE GetNewStorage(LPSTORAGE* AStorage) override {
    if (AStorage)
      *AStorage = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetInPlaceContext(LPOLEINPLACEFRAME* AFrame, LPOLEINPLACEUIWINDOW* ADoc,
                                              LPOLEINPLACEFRAMEINFO) override {
    if (AFrame)
      *AFrame = nullptr;
    if (ADoc)
      *ADoc = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ShowContainerUI(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryInsertObject(LPCLSID, LPSTORAGE, LONG) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DeleteObject(LPOLEOBJECT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryAcceptData(LPDATAOBJECT, CLIPFORMAT*, DWORD, BOOL,
                                            HGLOBAL) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetClipboardData(CHARRANGE*, DWORD, LPDATAOBJECT* AData) override {
    if (AData)
      *AData = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetDragDropEffect(BOOL, DWORD, LPDWORD AEffect) override {
    if (AEffect)
      *AEffect = DROPEFFECT_NONE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetContextMenu(WORD, LPOLEOBJECT, CHARRANGE*, HMENU* AMenu) override {
    if (AMenu)
      *AMenu = nullptr;
    return E_NOTIMPL;
  }

private:
  TgxInplaceTextEdit& FEdit;
};

// ===========================================================================
// Cell painting

const TgxInplaceTextEditClass& TgxInplaceTextEditClass::Instance() {
  static const TgxInplaceTextEditClass instance;
  return instance;
}

bool TgxInplaceTextEditClass::DrawClientArea(HDC ADC, RECT& ARect, TgxEditViewData& AViewData,
                                             bool AIsControl) const {
  if (AViewData.IsEditClass && AIsControl)
    return false;
  auto* text = dynamic_cast<TgxTextEditViewData*>(&AViewData);
  std::wstring data = VarToText(AViewData.Data);
  if (AViewData.DataLength == 0)
    AViewData.DataLength = int(data.size());
  if (text) {
    data = ConvertCase(data, text->CharCase);
    if (text->PasswordChar != 0 && !data.empty())
      data.assign(data.size(), text->PasswordChar);
  }
  const bool selectionBar = text && text->SelectionBar;
  RECT textRect = ARect;
  if (selectionBar)
    textRect.left += 8;
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
  if (text && text->EndEllipsis)
    flags |= gxdtEndEllipsis;
  if (text && text->PathEllipsis)
    flags |= gxdtPathEllipsis;
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
// TgxInplaceTextEdit

TgxInplaceTextEdit::TgxInplaceTextEdit(TComponent* AOwner) : TgxInplaceEdit(AOwner) {
  FControlStyle = csClickEvents | csSetCaption | csDoubleClicks;
  SetParentColor(false);
  FAutoSelect = true;
  FHideSelection = true;
  FOleCallback = new TOleCallback(*this);
}

TgxInplaceTextEdit::~TgxInplaceTextEdit() {
  // The window's last messages still come through this class's handlers.
  DestroyHandle();
  delete FEditPopupMenu;
  FEditPopupMenu = nullptr;
  delete FOleCallback;
  FOleCallback = nullptr;
}

// --- text ------------------------------------------------------------------------------

std::wstring TgxInplaceTextEdit::WindowText() {
  if (!HandleAllocated())
    return {};
  const int length = GetWindowTextLengthW(Handle());
  std::wstring text(size_t(length) + 1, L'\0');
  const int copied = GetWindowTextW(Handle(), text.data(), length + 1);
  text.resize(size_t(copied > 0 ? copied : 0));
  return text;
}

std::wstring TgxInplaceTextEdit::GetEditorText() {
  return HandleAllocated() ? WindowText() : std::wstring(TControl::Text());
}

void TgxInplaceTextEdit::SetEditorText(const std::wstring& AValue) {
  if (HandleAllocated())
    SetWindowTextW(Handle(), AValue.c_str());
  else
    TControl::SetText(AValue);
}

void TgxInplaceTextEdit::SyncText(const std::wstring& AValue) {
  TFlagScope syncing(FSyncingText);
  TControl::SetText(AValue);
}

void TgxInplaceTextEdit::TextChanged() {
  // The window already shows a text taken from it.
  if (FSyncingText)
    return;
  TgxInplaceEdit::TextChanged();
}

void TgxInplaceTextEdit::EditChanged() {
  SyncText(WindowText());
  if (ComponentState().Contains(csLoading) || FCharCaseChanging)
    return;
  ApplyCharCase();
  if (!FCreating && !FAssigningText)
    DoChange();
}

void TgxInplaceTextEdit::SetEditValue(const TgxVariant& AValue) {
  {
    TFlagScope assigning(FAssigningText);
    TgxInplaceEdit::SetEditValue(AValue);
  }
  ClearUndo();
}

void TgxInplaceTextEdit::Loaded() {
  TgxInplaceEdit::Loaded();
  ApplyCharCase();
}

// --- modified, read-only, length ------------------------------------------------------

bool TgxInplaceTextEdit::GetModified() {
  if (HandleAllocated())
    return SendMessageW(Handle(), EM_GETMODIFY, 0, 0) != 0;
  return FModified;
}

void TgxInplaceTextEdit::SetModified(bool AValue) {
  if (HandleAllocated())
    SendMessageW(Handle(), EM_SETMODIFY, AValue ? TRUE : FALSE, 0);
  else
    FModified = AValue;
}

void TgxInplaceTextEdit::InternalSetReadOnly(bool AValue) {
  TgxInplaceEdit::InternalSetReadOnly(AValue);
  if (HandleAllocated())
    SendMessageW(Handle(), EM_SETREADONLY, AValue ? TRUE : FALSE, 0);
}

int TgxInplaceTextEdit::DefaultMaxLength() {
  return FDataDefinition ? FDataDefinition->GetEditLimit() : 0;
}

void TgxInplaceTextEdit::InternalSetMaxLength(int AValue) {
  if (AValue < 0)
    AValue = 0;
  if (AValue == FMaxLength)
    return;
  FMaxLength = AValue;
  SetWindowMaxLength(AValue);
}

void TgxInplaceTextEdit::SetWindowMaxLength(int AValue) {
  if (HandleAllocated())
    SendMessageW(Handle(), EM_EXLIMITTEXT, 0, AValue);
}

void TgxInplaceTextEdit::SetMaxLength(int AValue) {
  SetStoredValues(TgxEditStoredValues(StoredValues() | StoredValueBit(svEditLimit)));
  InternalSetMaxLength(AValue);
}

void TgxInplaceTextEdit::ReadDefinitionProperties() {
  TgxInplaceEdit::ReadDefinitionProperties();
  if (!IsStored(svEditLimit))
    InternalSetMaxLength(DefaultMaxLength());
  if (HandleAllocated())
    SendMessageW(Handle(), EM_SETREADONLY, CanModify() ? FALSE : TRUE, 0);
}

void TgxInplaceTextEdit::RestoreDefaults() {
  TgxInplaceEdit::RestoreDefaults();
  InternalSetMaxLength(DefaultMaxLength());
}

// --- settings ------------------------------------------------------------------------

void TgxInplaceTextEdit::SetCharCase(TEditCharCase AValue) {
  if (AValue == FCharCase)
    return;
  FCharCase = AValue;
  ApplyCharCase();
}

void TgxInplaceTextEdit::SetHideSelection(bool AValue) {
  if (AValue == FHideSelection)
    return;
  FHideSelection = AValue;
  RecreateWnd();
}

void TgxInplaceTextEdit::SetOEMConvert(bool AValue) {
  if (AValue == FOEMConvert)
    return;
  FOEMConvert = AValue;
  RecreateWnd();
}

void TgxInplaceTextEdit::SetSelectionBar(bool AValue) {
  if (AValue == FSelectionBar)
    return;
  FSelectionBar = AValue;
  RecreateWnd();
}

void TgxInplaceTextEdit::SetPasswordChar(wchar_t AValue) {
  if (AValue == FPasswordChar)
    return;
  FPasswordChar = AValue;
  if (!HandleAllocated())
    return;
  SendMessageW(Handle(), EM_SETPASSWORDCHAR, WPARAM(AValue), 0);
  // Setting the text again makes the window show it the new way.
  const bool modified = GetModified();
  SetEditorText(GetEditorText());
  SetModified(modified);
}

void TgxInplaceTextEdit::ApplyCharCase() {
  if (FCharCase == ecNormal)
    return;
  const std::wstring text = GetEditorText();
  const std::wstring converted = ConvertCase(text, FCharCase);
  if (converted == text)
    return;
  TFlagScope changing(FCharCaseChanging);
  int start = 0, end = 0;
  const bool window = HandleAllocated();
  if (window)
    GetSelection(start, end);
  const bool modified = GetModified();
  try {
    SetEditorText(converted);
  } catch (...) {
    SetModified(modified);
    throw;
  }
  SetModified(modified);
  if (window)
    SetSelection(start, end);
}

// --- selection and clipboard -----------------------------------------------------------

void TgxInplaceTextEdit::GetSelection(int& AStart, int& AEnd) {
  AStart = AEnd = 0;
  if (!HandleAllocated())
    return;
  CHARRANGE range{0, 0};
  SendMessageW(Handle(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
  // Some rich edits count the closing paragraph mark of a single line into
  // a whole selection; the editor's positions are the text's.
  const int length = GetWindowTextLengthW(Handle());
  AStart = std::min(int(range.cpMin), length);
  AEnd = std::min(int(range.cpMax), length);
}

void TgxInplaceTextEdit::SetSelection(int AStartPos, int AEndPos, bool /*AScrollCaret*/) {
  CHARRANGE range{AStartPos, AEndPos};
  SendMessageW(Handle(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

int TgxInplaceTextEdit::GetSelStart() {
  int start, end;
  GetSelection(start, end);
  return start;
}

int TgxInplaceTextEdit::GetSelLength() {
  int start, end;
  GetSelection(start, end);
  return end - start;
}

void TgxInplaceTextEdit::SetSelStart(int AValue) {
  SetSelection(AValue, AValue);
}

void TgxInplaceTextEdit::SetSelLength(int AValue) {
  const int start = GetSelStart();
  SetSelection(start, start + AValue);
}

std::wstring TgxInplaceTextEdit::GetSelText() {
  if (!HandleAllocated())
    return {};
  const int length = GetSelLength();
  std::wstring text(size_t(length > 0 ? length : 0) + 1, L'\0');
  const LRESULT copied =
      SendMessageW(Handle(), EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(text.data()));
  text.resize(size_t(copied > 0 && size_t(copied) < text.size() ? copied : 0));
  return text;
}

int TgxInplaceTextEdit::GetSelTextBuf(wchar_t* ABuffer, int ABufSize) {
  if (!ABuffer || ABufSize <= 0)
    return 0;
  const std::wstring text = GetSelText();
  const int count = std::min(int(text.size()), ABufSize - 1);
  text.copy(ABuffer, size_t(count));
  ABuffer[count] = L'\0';
  return count;
}

void TgxInplaceTextEdit::SetSelText(const std::wstring& AValue) {
  SendMessageW(Handle(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(AValue.c_str()));
}

void TgxInplaceTextEdit::SetSelTextBuf(const wchar_t* ABuffer) {
  SendMessageW(Handle(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(ABuffer ? ABuffer : L""));
}

int TgxInplaceTextEdit::GetTextLenEx() {
  if (!HandleAllocated())
    return int(TControl::Text().size());
  GETTEXTLENGTHEX request{GTL_DEFAULT, 1200};
  request.codepage = 0;
  return int(SendMessageW(Handle(), EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&request), 0));
}

void TgxInplaceTextEdit::Deselect() {
  if (HandleAllocated())
    SendMessageW(Handle(), EM_SETSEL, 0x7FFFFFFF, -1);
}

void TgxInplaceTextEdit::ClearSelection() {
  SendMessageW(Handle(), WM_CLEAR, 0, 0);
}
void TgxInplaceTextEdit::CopyToClipboard() {
  SendMessageW(Handle(), WM_COPY, 0, 0);
}
void TgxInplaceTextEdit::CutToClipboard() {
  SendMessageW(Handle(), WM_CUT, 0, 0);
}
void TgxInplaceTextEdit::PasteFromClipboard() {
  SendMessageW(Handle(), WM_PASTE, 0, 0);
}
void TgxInplaceTextEdit::Undo() {
  SendMessageW(Handle(), EM_UNDO, 0, 0);
}
void TgxInplaceTextEdit::Redo() {
  SendMessageW(Handle(), EM_REDO, 0, 0);
}
void TgxInplaceTextEdit::ClearUndo() {
  if (HandleAllocated())
    SendMessageW(Handle(), EM_EMPTYUNDOBUFFER, 0, 0);
}

bool TgxInplaceTextEdit::CanUndo() {
  return HandleAllocated() && SendMessageW(Handle(), EM_CANUNDO, 0, 0) != 0;
}
bool TgxInplaceTextEdit::CanRedo() {
  return HandleAllocated() && SendMessageW(Handle(), EM_CANREDO, 0, 0) != 0;
}
bool TgxInplaceTextEdit::CanPaste() {
  return HandleAllocated() && CanModify() && SendMessageW(Handle(), EM_CANPASTE, 0, 0) != 0;
}

void TgxInplaceTextEdit::DoSelectionChange() {
  if (OnSelectionChange)
    OnSelectionChange(this);
}

// --- view data ---------------------------------------------------------------------------

TgxEditViewData* TgxInplaceTextEdit::CreateViewData(bool AFromDefinition) {
  TgxEditViewData* data = TgxInplaceEdit::CreateViewData(AFromDefinition);
  if (auto* text = dynamic_cast<TgxTextEditViewData*>(data)) {
    text->CharCase = FCharCase;
    text->PasswordChar = FPasswordChar;
    text->SelectionBar = FSelectionBar;
  }
  // Only a class that is not in place with an edit window would want one.
  data->FocusRect = !EditClass().IsInplace() && !data->IsEditClass;
  return data;
}

// --- window ------------------------------------------------------------------------------

TAlignment TgxInplaceTextEdit::EffectiveAlignment() {
  return (IsStored(svAlignment) || !FDataDefinition) ? Alignment() : DataAlignment();
}

void TgxInplaceTextEdit::CreateParams(TCreateParams& AParams) {
  TgxInplaceEdit::CreateParams(AParams);
  if (!IsEditClass())
    return;
  AParams.WinClassName = ClassName();
  AParams.SystemClassName = L"RichEdit20W";
  DWORD style = ES_AUTOVSCROLL | ES_AUTOHSCROLL;
  if (!CanModify())
    style |= ES_READONLY;
  if (FPasswordChar != 0)
    style |= ES_PASSWORD;
  if (FCharCase == ecUpperCase)
    style |= ES_UPPERCASE;
  else if (FCharCase == ecLowerCase)
    style |= ES_LOWERCASE;
  if (!FHideSelection)
    style |= ES_NOHIDESEL;
  if (FOEMConvert)
    style |= ES_OEMCONVERT;
  static constexpr DWORD kAlign[] = {ES_LEFT, ES_RIGHT, ES_CENTER};
  style |= kAlign[EffectiveAlignment()];
  if (FSelectionBar)
    style |= kgxES_SELECTIONBAR;
  AParams.Style |= style;
}

void TgxInplaceTextEdit::CreateWnd() {
  {
    TFlagScope creating(FCreating);
    const std::wstring text(TControl::Text());
    TgxInplaceEdit::CreateWnd();
    HWND window = Handle();
    SetWindowTextW(window, L"");
    SendMessageW(window, EM_SETTEXTMODE, TM_PLAINTEXT | TM_SINGLECODEPAGE, 0);
    SendMessageW(window, EM_SETLANGOPTIONS, 0, IMF_UIFONTS);
    SetWindowTextW(window, text.c_str());
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), FALSE);
    SetWindowMaxLength(FMaxLength);
    SendMessageW(window, EM_SETEVENTMASK, 0, ENM_CHANGE | ENM_DRAGDROPDONE | ENM_SELCHANGE);
    SetBackgroundColor();
    if (FPasswordChar != 0)
      SendMessageW(window, EM_SETPASSWORDCHAR, WPARAM(FPasswordChar), 0);
    if (HasDataDefinition())
      SendMessageW(window, EM_SETOLECALLBACK, 0,
                   reinterpret_cast<LPARAM>(static_cast<IRichEditOleCallback*>(FOleCallback)));
    SetModified(FModified);
  }
  SetFormatRect();
}

void TgxInplaceTextEdit::DestroyWnd() {
  if (HandleAllocated())
    FModified = GetModified();
  TgxInplaceEdit::DestroyWnd();
}

void TgxInplaceTextEdit::SetBackgroundColor() {
  if (HandleAllocated())
    SendMessageW(Handle(), EM_SETBKGNDCOLOR, 0, LPARAM(ColorToColorRef(ColorToRGB(Color()))));
}

void TgxInplaceTextEdit::ColorChanged() {
  TgxInplaceEdit::ColorChanged();
  SetBackgroundColor();
}

void TgxInplaceTextEdit::FontChanged() {
  TgxInplaceEdit::FontChanged();
  if (HandleAllocated())
    SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), TRUE);
}

void TgxInplaceTextEdit::ApplyDefaultCharFormat() {
  CHARFORMAT2W format{};
  format.cbSize = sizeof(format);
  format.dwMask = CFM_COLOR;
  const TColor color = Font().Color();
  if (IsAutoTextColor(color))
    format.dwEffects = CFE_AUTOCOLOR;
  else
    format.crTextColor = ColorToColorRef(ColorToRGB(color));
  SendMessageW(Handle(), EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
}

void TgxInplaceTextEdit::SetFormatRect() {
  if (!HandleAllocated())
    return;
  RECT r;
  GetClientRect(Handle(), &r);
  InflateRect(&r, -1, -1);
  if (FSelectionBar && IsEditClass())
    r.left += 8;
  if (EffectiveAlignment() == taRightJustify)
    r.right -= 1;
  const RECT offsets = OffsetSize();
  r.left += offsets.left;
  r.top += offsets.top;
  r.right -= offsets.right;
  SendMessageW(Handle(), EM_SETRECT, 0, reinterpret_cast<LPARAM>(&r));
}

void TgxInplaceTextEdit::DoEnter() {
  // Entered by a click, the click places the caret; by the keyboard, all
  // of the text is selected.
  if (FAutoSelect && GetKeyState(VK_LBUTTON) >= 0)
    SelectAll();
  TgxInplaceEdit::DoEnter();
}

void TgxInplaceTextEdit::DefaultHandler(TMessage& AMessage) {
  // The rich edit never sees a right-button release: its own menu would
  // stand in for the editor's.
  if (AMessage.Msg == WM_RBUTTONUP && IsEditClass()) {
    AMessage.Result = 0;
    return;
  }
  if (AMessage.Msg == WM_PASTE && IsEditClass() && HandleAllocated()) {
    PasteText();
    AMessage.Result = 0;
    return;
  }
  TgxInplaceEdit::DefaultHandler(AMessage);
}

void TgxInplaceTextEdit::PasteText() {
  // The clipboard's text replaces the selection, its first line only (the
  // window holds one line). Some rich edits replace the whole text in plain
  // text mode, so the editor places the text itself.
  if (GetWindowLongPtrW(Handle(), GWL_STYLE) & ES_READONLY)
    return;
  std::wstring text;
  if (!OpenClipboard(Handle()))
    return;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (auto* locked = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = locked;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  const size_t lineEnd = text.find_first_of(L"\r\n");
  if (lineEnd != std::wstring::npos)
    text.resize(lineEnd);
  SendMessageW(Handle(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
}

void TgxInplaceTextEdit::WndProc(TMessage& AMessage) {
  switch (AMessage.Msg) {
  case WM_CHAR:
    if (FCharCase != ecNormal) {
      wchar_t key[2] = {wchar_t(AMessage.WParam), 0};
      AMessage.WParam = ConvertCase(key, FCharCase)[0];
    }
    break;
  case CN_COMMAND:
    if (HIWORD(AMessage.WParam) == EN_CHANGE) {
      EditChanged();
      AMessage.Result = 0;
      return;
    }
    break;
  case CN_NOTIFY:
    if (AMessage.LParam && reinterpret_cast<NMHDR*>(AMessage.LParam)->code == UINT(EN_SELCHANGE)) {
      if (!ComponentState().Contains(csLoading))
        DoSelectionChange();
      AMessage.Result = 0;
      return;
    }
    break;
  case WM_SETTEXT:
    TgxInplaceEdit::WndProc(AMessage);
    if (!FCreating && AMessage.LParam)
      SyncText(reinterpret_cast<const wchar_t*>(AMessage.LParam));
    SetWindowMaxLength(FMaxLength);
    return;
  case WM_SETFONT:
    TgxInplaceEdit::WndProc(AMessage);
    ApplyDefaultCharFormat();
    return;
  case WM_SIZE:
    TgxInplaceEdit::WndProc(AMessage);
    SetFormatRect();
    return;
  case WM_SYSCOLORCHANGE:
    TgxInplaceEdit::WndProc(AMessage);
    ColorChanged();
    return;
  case WM_LBUTTONDOWN:
  case WM_RBUTTONDOWN:
  case WM_MBUTTONDOWN: {
    const UINT msg = AMessage.Msg;
    TgxInplaceEdit::WndProc(AMessage);
    // A press that did not leave the focus here (the container took it)
    // must not leave the mouse captured by the editor.
    if (HandleAllocated() && !Focused() && !Dragging() && GetCapture() == Handle()) {
      if (msg == WM_MBUTTONDOWN)
        PostMessageW(Handle(), WM_MBUTTONUP, 0, 0);
      ReleaseCapture();
    }
    return;
  }
  case WM_RBUTTONUP:
    TgxInplaceEdit::WndProc(AMessage);
    if (HasDataDefinition() && HandleAllocated()) {
      POINT at{GET_X_LPARAM(AMessage.LParam), GET_Y_LPARAM(AMessage.LParam)};
      ::ClientToScreen(Handle(), &at);
      PostMessageW(Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Handle()),
                   MAKELPARAM(at.x, at.y));
    }
    return;
  case WM_CONTEXTMENU:
    TgxInplaceEdit::WndProc(AMessage);
    if (AMessage.Result == 0 && IsEditClass())
      ShowContextMenu(AMessage.LParam);
    return;
  default:
    break;
  }
  TgxInplaceEdit::WndProc(AMessage);
}

// --- context menu -------------------------------------------------------------------------

void TgxInplaceTextEdit::BuildContextMenu() {
  FEditPopupMenu = new TPopupMenu(nullptr);
  static constexpr intptr_t kTags[] = {kgxMenuUndo,   kgxMenuRedo,         kgxMenuSeparatorTag,
                                       kgxMenuCut,    kgxMenuCopy,         kgxMenuPaste,
                                       kgxMenuDelete, kgxMenuSeparatorTag, kgxMenuSelectAll};
  for (intptr_t tag : kTags) {
    auto* item = new TMenuItem(FEditPopupMenu);
    item->SetTag(tag);
    if (tag == kgxMenuSeparatorTag) {
      item->SetCaption(L"-");
    } else {
      item->SetCaption(TextEditMenuCaption(int(-tag - 1)));
      item->OnClick = [this, tag](TMenuItem*) { MenuCommand(tag); };
    }
    FEditPopupMenu->Items()->Add(item);
  }
}

void TgxInplaceTextEdit::MenuCommand(intptr_t ATag) {
  switch (ATag) {
  case kgxMenuUndo:
    Undo();
    break;
  case kgxMenuRedo:
    Redo();
    break;
  case kgxMenuCut:
    CutToClipboard();
    break;
  case kgxMenuCopy:
    CopyToClipboard();
    break;
  case kgxMenuPaste:
    PasteFromClipboard();
    break;
  case kgxMenuDelete:
    ClearSelection();
    break;
  case kgxMenuSelectAll:
    SelectAll();
    break;
  default:
    break;
  }
}

void TgxInplaceTextEdit::ShowContextMenu(LPARAM ALParam) {
  for (TControl* control = this; control; control = control->Parent())
    if (control->PopupMenu())
      return;
  POINT at{GET_X_LPARAM(ALParam), GET_Y_LPARAM(ALParam)};
  RECT client;
  GetClientRect(Handle(), &client);
  if (at.x == -1 && at.y == -1) {
    POINT caret{0, 0};
    if (GetFocus() == Handle()) {
      GetCaretPos(&caret);
    } else {
      int start, end;
      GetSelection(start, end);
      SendMessageW(Handle(), EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&caret), end);
    }
    if (caret.x > client.right)
      caret.x = client.right;
    ::ClientToScreen(Handle(), &caret);
    at = caret;
  } else {
    POINT local = at;
    ::ScreenToClient(Handle(), &local);
    if (!PtInRect(&client, local))
      return;
  }
  if (!FEditPopupMenu)
    BuildContextMenu();
  const bool selection = GetSelLength() != 0;
  const bool modify = CanModify();
  const bool password = FPasswordChar != 0;
  const bool enabled[] = {CanUndo(),
                          CanRedo(),
                          true,
                          selection && modify && !password,
                          selection && !password,
                          CanPaste(),
                          selection && modify,
                          true,
                          GetSelLength() != GetTextLenEx()};
  TMenuItem* items = FEditPopupMenu->Items();
  for (int i = 0; i < items->Count() && i < int(std::size(enabled)); ++i)
    items->Items(i)->SetEnabled(enabled[i]);
  FEditPopupMenu->SetPopupComponent(this);
  FEditPopupMenu->Popup(at.x, at.y);
}

// ===========================================================================
// Unit step

const std::wstring& TextEditMenuCaption(int AIndex) {
  static const std::wstring empty;
  if (AIndex < 0 || AIndex >= int(GMenuCaptions.size()))
    return empty;
  return GMenuCaptions[size_t(AIndex)];
}

bool RichEditLibraryLoaded() {
  return GRichEdit && GRichEdit->Loaded();
}

void GxEditorStartup() {
  try {
    if (!GRichEdit) {
      // A missing library must not bring up the system's file-error box.
      const UINT previous = SetErrorMode(SEM_NOOPENFILEERRORBOX);
      GRichEdit = std::make_unique<TSystemLibrary>(L"riched20.dll");
      SetErrorMode(previous);
    }
    GMenuCaptions.assign(std::begin(kMenuCaptionTexts), std::end(kMenuCaptionTexts));
  } catch (...) {
  }
}

void GxEditorShutdown() {
  try {
    GRichEdit.reset();
    GMenuCaptions.clear();
  } catch (...) {
  }
}
