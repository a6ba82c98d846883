#pragma once

#include "alpha-image.h"
#include "controls.h"
#include "forms.h"
#include "graphics.h"
#include "menus.h"
#include "xp-controls.h"

#include <unknwn.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

// The library's single-line edit: an owner-drawn window that keeps its own
// wide text, caret, selection and one-step undo, reads keys, characters,
// input-method results and the mouse itself, and paints itself in the
// themed, emulated-XP, classic or custom skinned look. No system edit window
// is involved.

using TBorderStyle = TFormBorderStyle;
enum TEditCharCase : uint8_t { ecNormal, ecUpperCase, ecLowerCase };
enum TRadix : uint8_t { rdxBinary, rdxOctal, rdxDecimal, rdxHexadecimal };
enum TNumberTypeEx : uint8_t { ntNone, ntUnsignedInt, ntSignedInt, ntFloat };
// Decimals of a float value, 0 to 15.
using TPrecision = uint8_t;

using TKeyEvent = std::function<void(TControl* ASender, WORD& AKey, TShiftState AShift)>;
using TKeyPressEvent = std::function<void(TControl* ASender, wchar_t& AKey)>;

// The edit commands the shared context menu drives, offered by every XP
// edit and by the wide-text editors. Each answers S_OK or the failure of
// the command; no exception crosses it.
// GUID {51610887-021C-4817-9A48-10CF21259CF3}, no type information.
struct IXPEditCommands : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Undo() = 0;
  virtual HRESULT STDMETHODCALLTYPE CutToClipboard() = 0;
  virtual HRESULT STDMETHODCALLTYPE CopyToClipboard() = 0;
  virtual HRESULT STDMETHODCALLTYPE PasteFromClipboard() = 0;
  virtual HRESULT STDMETHODCALLTYPE DeleteSelection() = 0;
  virtual HRESULT STDMETHODCALLTYPE SelectAll() = 0;
};
inline constexpr GUID IID_IXPEditCommands = {
    0x51610887, 0x021C, 0x4817, {0x9A, 0x48, 0x10, 0xCF, 0x21, 0x25, 0x9C, 0xF3}};

// The frame colour of an edit whose FrameColor is clDefault (RGB 127, 157, 185).
constexpr TColor kXPEditFrameColor = TColor(0xB99D7F);
// The extra bottom margin of the text area.
constexpr int kXPEditExtraDelta = 2;
// Characters are measured in chunks of this many per system call.
constexpr int kXPEditMeasureChunk = 32;

// The themed edit element's states.
constexpr int kEditStateNormal = 2;
constexpr int kEditStateHot = 3;
constexpr int kEditStateDisabled = 5;
constexpr int kEditStateFocused = 6;
constexpr int kEditStateReadOnly = 7;

// One element of the system theme: class, part and state.
struct TXPThemeDetails {
  const wchar_t* ClassName = L"EDIT";
  int Part = 1;
  int State = kEditStateNormal;
};

// Draws a themed element, with the parent's background first where the
// element is see-through; nothing where UxTheme has no data for it.
void DrawXPThemeDetails(HWND AWindow, const TXPThemeDetails& ADetails, HDC ADC, const RECT& ARect);

class TCustomXPEdit : public TXPCustomControl, public IXPEditCommands {
public:
  explicit TCustomXPEdit(TComponent* AOwner);
  ~TCustomXPEdit() override;
  std::wstring ClassName() const override { return L"TCustomXPEdit"; }
  void Loaded() override;

  // IUnknown: the edit lives as its owner decides; counting does nothing.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID AIid, void** AObject) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  // IXPEditCommands, also the edit's public commands.
  HRESULT STDMETHODCALLTYPE Undo() override;
  HRESULT STDMETHODCALLTYPE CutToClipboard() override;
  HRESULT STDMETHODCALLTYPE CopyToClipboard() override;
  HRESULT STDMETHODCALLTYPE PasteFromClipboard() override;
  HRESULT STDMETHODCALLTYPE DeleteSelection() override;
  HRESULT STDMETHODCALLTYPE SelectAll() override;

  // --- text ---
  // The text as stored, converted back from the OEM code page when
  // OEMConvert is on.
  std::wstring Text() const { return UnicodeText(); }
  // Sets the text by code and clears the undo buffer.
  virtual void SetText(const std::wstring& AValue);
  std::wstring UnicodeText() const;
  // Stores the text; a change notifies and repaints.
  void SetUnicodeText(const std::wstring& AValue);
  const std::wstring& DisplayText() const { return FDisplayText; }
  // Stores an empty text, which can be undone; no notification, no Change.
  virtual void Clear();
  void ClearUndo();
  bool CanUndo() const { return FCanUndo && !FReadOnly; }
  bool Modified() const { return FModified; }
  void SetModified(bool AValue) { FModified = AValue; }
  bool IsModified() override { return FText != FSavedText; }
  void SaveModifiedState() override { FSavedText = FText; }

  // --- selection and caret ---
  int SelStart() const { return std::min(FSelBegin, FSelEnd); }
  void SetSelStart(int AValue);
  int SelLength() const { return std::abs(FSelEnd - FSelBegin); }
  void SetSelLength(int AValue);
  std::wstring SelText() const;
  void SetSelText(const std::wstring& AValue);
  virtual void ClearSelection();
  int CaretPos() const { return FCaretPos; }
  int FirstChar() const { return FFirstChar; }
  int CharVisibleCount() const { return FCharVisibleCount; }
  int CharPartialVisibleCount() const { return FCharPartialVisibleCount; }
  // The mouse position in client coordinates.
  void GetCursorPos(POINT& APoint) const;
  // The character boundary under a client point.
  int PositionAt(int AX);

  // --- properties ---
  bool AutoSelect() const { return FAutoSelect; }
  void SetAutoSelect(bool AValue) { FAutoSelect = AValue; }
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool AValue);
  TAlphaBitmap& BackImage() { return *FBackImage; }
  void SetBackImage(const TAlphaBitmap* AValue);
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle AValue);
  TEditCharCase CharCase() const { return FCharCase; }
  void SetCharCase(TEditCharCase AValue);
  TColor FrameColor() const { return FFrameColor; }
  void SetFrameColor(TColor AValue);
  bool HideSelection() const { return FHideSelection; }
  void SetHideSelection(bool AValue);
  bool HotTrack() const { return FHotTrack; }
  void SetHotTrack(bool AValue);
  TXPLookAndFeel LookAndFeel() const { return FLookAndFeel; }
  void SetLookAndFeel(TXPLookAndFeel AValue);
  int MaxLength() const { return FMaxLength; }
  void SetMaxLength(int AValue) { FMaxLength = AValue < 0 ? 0 : AValue; }
  TPrecision NumberPrecision() const { return FNumberPrecision; }
  void SetNumberPrecision(TPrecision AValue);
  TRadix NumberRadix() const { return FNumberRadix; }
  void SetNumberRadix(TRadix AValue);
  TNumberTypeEx NumberType() const { return FNumberType; }
  void SetNumberType(TNumberTypeEx AValue);
  bool OEMConvert() const { return FOEMConvert; }
  void SetOEMConvert(bool AValue) { FOEMConvert = AValue; }
  wchar_t PasswordChar() const { return FPasswordChar; }
  void SetPasswordChar(wchar_t AValue);
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool AValue);
  TColor SelectedColor() const { return FSelectedColor; }
  void SetSelectedColor(TColor AValue);
  TColor SelectedTextColor() const { return FSelectedTextColor; }
  void SetSelectedTextColor(TColor AValue);
  bool Transparent() const { return FTransparent; }
  virtual void SetTransparent(bool AValue);
  bool UseColor() const { return FUseColor; }
  void SetUseColor(bool AValue);
  bool Hot() const { return FHot; }
  int FrameSize() const { return FFrameSize; }
  int BorderSize() const { return FBorderSize; }

  // Nesting counters the combo box raises: while above zero Change does
  // nothing / typed characters are not processed.
  void BeginSuppressChange() { ++FSuppressChange; }
  void EndSuppressChange() { --FSuppressChange; }
  void BeginSuppressKeyPress() { ++FSuppressKeyPress; }
  void EndSuppressKeyPress() { --FSuppressKeyPress; }

  // The width that shows the whole text.
  virtual int GetAutoWidth();
  // The shared edit menu bound to this edit, or the assigned PopupMenu.
  virtual TPopupMenu* GetPopupMenu();

  TNotifyEvent OnChange;
  TKeyEvent OnKeyDown;
  TKeyPressEvent OnKeyPress;

  void TextChanged() override;
  void FontChanged() override;
  void EnabledChanged() override;
  void Ctl3DChanged() override;
  void MouseEnter(intptr_t AMarker) override;
  void MouseLeave(intptr_t AMarker) override;
  void Invalidate() override;
  void DoEnter() override;
  bool WantSpecialKey(WPARAM AKey) override;
  void CancelMode(TControl* ASender) override;

  // The transparent edits registered with the thread hook.
  static size_t TransparentEditCount();
  static bool TransparencyHookInstalled();
  // The unit's shut-down share: the hook and the list of transparent edits.
  static void FreeTransparencyHook();

protected:
  // --- the new virtual operations, in slot order ---
  virtual void SetCaretPosition(int AIndex);
  virtual void CreateEditCaret();
  virtual void DestroyEditCaret();
  virtual void UpdateHotTrack(bool AHot);
  // The area buttons take inside the edit; empty here.
  virtual void GetButtonsRect(RECT& ARect);
  // Replaces the selection by the filtered text.
  virtual void InsertText(const std::wstring& AText);
  virtual void EndMouseSelect();
  virtual void GetTextRect(RECT& ARect);
  virtual void PaintText(const RECT& ARect, TColor ABackColor, TColor AFrameColor,
                         TColor ASelTextColor, TColor ASelBackColor, TColor ATextColor);
  virtual int GetThemeState();
  virtual void UpdateCursor();
  virtual int GetFontHeight();
  virtual void NumberTypeChanged() {}
  virtual void GetThemeDetails(TXPThemeDetails& ADetails);

  // Sets Modified and fires OnChange unless loading or suppressed.
  virtual void Change();
  virtual void KeyDown(WORD& AKey, TShiftState AShift);
  virtual void KeyPress(wchar_t& AKey);

  // The number value of the text in the number mode; TXPEdit publishes it.
  double GetNumberValue() const;
  void SetNumberValue(double AValue);

  void CreateParams(TCreateParams& AParams) override;
  void CreateWnd() override;
  void Paint() override;
  void WndProc(TMessage& AMessage) override;
  void EraseBackground(HDC ADC) override;
  void MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
  void MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
  void MouseMove(TShiftState AShift, int AX, int AY) override;

  // Whether the edit paints with its own colours.
  bool UsingColors() const { return FLookAndFeel == xlfCustom || FUseColor; }
  // The background the edit's paint fills with, theme colours included.
  TColor PaintBackColor();
  // Deletes n characters before / at the caret.
  void DeleteBeforeCaret(int ACount);
  void DeleteAtCaret(int ACount);
  void SetFirstChar(int AValue);
  void ScrollToCaret();
  void UpdateCaret();
  void AdjustHeight();
  // Recounts the characters that fit from the first visible one.
  void UpdateVisibleCounts();
  // The text stored by the edit itself (FInTextChanging set meanwhile).
  void StoreText(const std::wstring& AValue);
  // CM_TEXTCHANGED of the edit's own making.
  void SendTextChanged();

  bool FAutoSize = true;
  int FCaretPos = 0;
  int FCharPartialVisibleCount = 0;
  int FCharVisibleCount = 0;
  int FFirstChar = 0;
  bool FMouseSelect = false;
  int FSelBegin = 0;
  int FSelEnd = 0;
  bool FReadOnly = false;
  bool FOEMConvert = false;
  wchar_t FPasswordChar = 0;
  std::wstring FDisplayText;
  int FMaxLength = 0;
  bool FAutoSelect = true;
  bool FHideSelection = true;
  TEditCharCase FCharCase = ecNormal;
  bool FModified = false;
  std::wstring FText;
  bool FCanUndo = false;
  bool FTransparent = false;
  bool FHotTrack = false;
  int FImeCount = 0;
  std::wstring FImeStr;
  bool FPrevWasLeadByte = false;
  int FFrameSize = 0;
  int FBorderSize = 1;
  std::wstring FSavedText;
  TBorderStyle FBorderStyle = bsSingle;
  bool FUseColor = false;
  bool FNeedSaveUndo = true;
  TPrecision FNumberPrecision = 3;
  TRadix FNumberRadix = rdxDecimal;
  TNumberTypeEx FNumberType = ntNone;
  TColor FFrameColor = clDefault;
  TColor FSelectedColor = clDefault;
  TColor FSelectedTextColor = clDefault;
  TXPLookAndFeel FLookAndFeel = xlfNative;
  std::unique_ptr<TAlphaBitmap> FBackImage;
  bool FNeedSelectAll = false;
  std::wstring FUndoText;
  bool FInTextChanging = false;
  bool FHot = false;
  int FSuppressChange = 0;
  int FSuppressKeyPress = 0;
  int FExtraDelta = kXPEditExtraDelta;

private:
  void RebuildDisplayText();
  std::wstring ApplyCharCase(const std::wstring& AText) const;
  std::wstring FilterInsert(const std::wstring& AText) const;
  int WidthOf(int AFrom, int ATo);
  // The first character that puts AIndex at the right edge.
  int FirstCharForRightEdge(int AIndex);
  void MoveCaret(int AIndex);
  void RegisterTransparent(bool ARegister);
  void SelectWordAt(int APosition);
  void ShowContextMenu(LPARAM ALParam);
  void ImeComposition(TMessage& AMessage);
  void ImeNotify(TMessage& AMessage);
  // Runs one command; an exception becomes a failure result.
  HRESULT Guard(const std::function<void()>& ACommand);
  static void RaiseOnFailure(HRESULT AResult);

  bool FMirroringCaption = false;
  bool FFocusTakenByMouse = false;
};

// The published edit; it adds the number value and nothing else.
class TXPEdit : public TCustomXPEdit {
public:
  explicit TXPEdit(TComponent* AOwner) : TCustomXPEdit(AOwner) {}
  std::wstring ClassName() const override { return L"TXPEdit"; }
  double NumberValue() const { return GetNumberValue(); }
  void SetNumberValue(double AValue) { TCustomXPEdit::SetNumberValue(AValue); }
};

// The edit word boundaries the caret keys use: words are separated by the
// space character only.
int XPEditWordStartBefore(const std::wstring& AText, int AIndex);
int XPEditWordStartAfter(const std::wstring& AText, int AIndex);

// The text as the OEM code page can hold it: each character passed through
// the OEM code page, its bytes read back as ANSI codes.
std::wstring OemConvertedText(const std::wstring& AText);
