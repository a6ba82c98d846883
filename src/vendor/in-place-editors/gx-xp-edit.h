#pragma once

#include "gx-container.h"

#include "controls.h"
#include "graphics.h"
#include "menus.h"
#include "xp-edit.h"

#include <unknwn.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>

// The wide-text editors: an in-place editor that keeps its own UTF-16 text
// and draws its own text, selection and caret (no system edit window), with
// the control library's edit model: caret and first visible character,
// anchor and active end of the selection, one-step undo, Unicode clipboard,
// input-method results, OEM conversion, character case, a length limit and
// hot tracking. It always draws in the classic look. The button editor adds
// one push button docked at the right edge.

// The class operations of the wide-text editors: a cell shows the plain
// text of its data; the live window paints itself.
class TXPGXEditClass : public TgxInplaceEditClass {
public:
  static const TXPGXEditClass& Instance();
  bool DrawClientArea(HDC ADC, RECT& ARect, TgxEditViewData& AViewData,
                      bool AIsControl) const override;
};

class TCustomXPGXEdit : public TgxInplaceEdit {
public:
  explicit TCustomXPGXEdit(TComponent* AOwner);
  ~TCustomXPGXEdit() override;
  std::wstring ClassName() const override { return L"TCustomXPGXEdit"; }
  const TgxInplaceEditClass& EditClass() const override { return TXPGXEditClass::Instance(); }
  void Loaded() override;

  // The edit-command interface the shared edit menu drives; each command
  // answers S_OK or the failure of the command, no exception crosses it.
  IXPEditCommands* EditCommands() { return &FCommands; }

  // --- text ---
  std::wstring Text() const { return UnicodeText(); }
  virtual void SetText(const std::wstring& AValue);
  // The stored text, converted back from the OEM code page with OEMConvert.
  std::wstring UnicodeText() const;
  std::wstring GetUnicodeText() const { return UnicodeText(); }
  // Stores the text; a change moves the caret to the end, notifies and
  // repaints. The undo text is kept.
  void SetUnicodeText(const std::wstring& AValue);
  const std::wstring& DisplayText() const { return FDisplayText; }
  void ClearUndo();
  bool CanUndo() const { return FCanUndo && !FReadOnly; }

  // --- commands (raise when the command fails) ---
  void Undo();
  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();
  void DeleteSelection();
  void SelectAll() override;
  virtual void Clear();
  virtual void ClearSelection();

  // --- selection and caret ---
  int SelStart() const { return std::min(FSelBegin, FSelEnd); }
  void SetSelStart(int AValue);
  int SelLength() const { return std::abs(FSelEnd - FSelBegin); }
  void SetSelLength(int AValue);
  std::wstring SelText() const;
  void SetSelText(const std::wstring& AValue);
  int CaretPos() const { return FCaretPos; }
  int FirstChar() const { return FFirstChar; }
  int CharVisibleCount() const { return FCharVisibleCount; }
  int CharPartialVisibleCount() const { return FCharPartialVisibleCount; }
  void GetCursorPos(POINT& APoint) const;
  // The character boundary under a client x.
  int PositionAt(int AX);

  // --- settings ---
  bool AutoSelect() const { return FAutoSelect; }
  void SetAutoSelect(bool AValue) { FAutoSelect = AValue; }
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool AValue);
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle AValue);
  TEditCharCase CharCase() const { return FCharCase; }
  void SetCharCase(TEditCharCase AValue);
  bool HideSelection() const { return FHideSelection; }
  void SetHideSelection(bool AValue);
  bool HotTrack() const { return FHotTrack; }
  void SetHotTrack(bool AValue);
  int MaxLength() const { return FMaxLength; }
  void SetMaxLength(int AValue);
  bool OEMConvert() const { return FOEMConvert; }
  void SetOEMConvert(bool AValue) { FOEMConvert = AValue; }
  wchar_t PasswordChar() const { return FPasswordChar; }
  void SetPasswordChar(wchar_t AValue);
  // The editor's own read-only flag, apart from the in-place read-only
  // state the container sets.
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool AValue);
  bool Transparent() const { return FTransparent; }
  virtual void SetTransparent(bool AValue);
  bool UseColor() const { return FUseColor; }
  void SetUseColor(bool AValue);
  bool Hot() const { return FHot; }
  int FrameSize() const { return FFrameSize; }
  int BorderSize() const { return FBorderSize; }

  // Nesting counters: while above zero DoChange does nothing / typed
  // characters are not edited.
  void BeginSuppressChange() { ++FSuppressChange; }
  void EndSuppressChange() { --FSuppressChange; }
  void BeginSuppressKeyPress() { ++FSuppressKeyPress; }
  void EndSuppressKeyPress() { --FSuppressKeyPress; }

  // The editor's own change event (the base editor's OnChange is apart).
  TNotifyEvent OnChange;

  // --- the new virtual operations, in slot order ---
  virtual void SetCaretPosition(int AIndex);
  virtual void CreateEditCaret();
  virtual void DestroyEditCaret();
  virtual void UpdateHotTrack(bool AHot);
  virtual void GetButtonsRect(RECT& ARect);
  virtual void EndMouseSelect();
  virtual void GetTextRect(RECT& ARect);
  virtual void PaintEdit(TCanvas& ACanvas);
  virtual void PaintText(TCanvas& ACanvas, const RECT& ARect, TColor ABackColor,
                         TColor ABorderColor, TColor ASelTextColor, TColor ASelBackColor,
                         TColor ATextColor);
  virtual int GetThemeState();
  virtual void UpdateCursor();
  virtual int GetAutoWidth();

  // --- overrides of the editor base ---
  void SetEditValue(const TgxVariant& AValue) override;
  void DoChange() override;
  std::wstring GetEditorText() override { return UnicodeText(); }
  void SetEditorText(const std::wstring& AValue) override { SetUnicodeText(AValue); }
  std::wstring GetEditingText() override { return UnicodeText(); }
  bool IsEditClass() override { return true; }
  void Invalidate() override;
  void TextChanged() override;
  void FontChanged() override;
  void EnabledChanged() override;
  void Ctl3DChanged() override;
  void MouseEnter(intptr_t AMarker) override;
  void MouseLeave(intptr_t AMarker) override;
  void DoEnter() override;
  void CancelMode(TControl* ASender) override;
  // The edit menu bound to this editor, or the assigned PopupMenu.
  virtual TPopupMenu* GetPopupMenu();

protected:
  void KeyDown(WORD& AKey, TShiftState AShift) override;
  void KeyPress(wchar_t& AKey) override;
  void CreateParams(TCreateParams& AParams) override;
  void CreateWnd() override;
  void PaintWindow(HDC ADC) override;
  void WndProc(TMessage& AMessage) override;
  void MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
  void MouseMove(TShiftState AShift, int AX, int AY) override;
  void MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;

  // Replaces the selection by the filtered text.
  void InsertText(const std::wstring& AText);
  void DeleteBeforeCaret(int ACount);
  void DeleteAtCaret(int ACount);
  void SetFirstChar(int AValue);
  void ScrollToCaret();
  void UpdateCaret();
  void UpdateVisibleCounts();
  void AdjustHeight();
  // Stores a text of the editor's own making.
  void StoreText(const std::wstring& AValue);
  // CM_TEXTCHANGED: caret to the end and the change reported.
  void SendTextChanged();
  int WidthOf(int AFrom, int ATo);
  static void RaiseOnFailure(HRESULT AResult);

  bool FAutoSize = true;
  int FCaretPos = 0;
  int FCharPartialVisibleCount = 0;
  int FCharVisibleCount = 0;
  int FFirstChar = 0;
  int FFontHeight = 0;
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
  std::wstring FText;
  bool FCanUndo = false;
  bool FTransparent = false;
  bool FHotTrack = false;
  int FImeCount = 0;
  std::wstring FImeStr;
  bool FPrevWasLeadByte = false;
  int FFrameSize = 0;
  int FBorderSize = 1;
  TBorderStyle FBorderStyle = bsNone;
  bool FUseColor = false;
  bool FNeedSaveUndo = true;
  TCanvas FCanvas;
  std::wstring FUndoText;
  bool FInTextChanging = false;
  bool FExternalTextChanging = false;
  bool FHot = false;
  int FSuppressChange = 0;
  int FSuppressKeyPress = 0;

private:
  class TCommands : public IXPEditCommands {
  public:
    explicit TCommands(TCustomXPGXEdit& AEdit) : FEdit(AEdit) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID AIid, void** AObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Undo() override;
    HRESULT STDMETHODCALLTYPE CutToClipboard() override;
    HRESULT STDMETHODCALLTYPE CopyToClipboard() override;
    HRESULT STDMETHODCALLTYPE PasteFromClipboard() override;
    HRESULT STDMETHODCALLTYPE DeleteSelection() override;
    HRESULT STDMETHODCALLTYPE SelectAll() override;

  private:
    TCustomXPGXEdit& FEdit;
  };

  void DoUndo();
  void DoCopy();
  void DoPaste();
  void DoDeleteSelection();
  void DoSelectAll();
  void RebuildDisplayText();
  std::wstring ApplyCharCase(const std::wstring& AText) const;
  int FirstCharForRightEdge(int AIndex);
  void MoveCaret(int AIndex);
  void SelectWordAt(int APosition);
  void ShowContextMenu(LPARAM ALParam);
  void ImeComposition(TMessage& AMessage);
  void ImeNotify(TMessage& AMessage);

  TCommands FCommands{*this};
  bool FMirroringCaption = false;
};

// The published wide-text editor; the tree list's Unicode text editor.
class TXPGXEdit : public TCustomXPGXEdit {
public:
  using TCustomXPGXEdit::TCustomXPGXEdit;
  std::wstring ClassName() const override { return L"TXPGXEdit"; }
};

// --- the button editor ---------------------------------------------------------------------

class TXPGXCustomButtonEdit;

// The button of a button editor: a speed button the editor paints. It goes
// down while the left button is held over it and clicks on release.
class TXPGXEditButton : public TGraphicControl {
public:
  explicit TXPGXEditButton(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TXPGXEditButton"; }
  bool Hot() const { return FHot; }
  bool Down() const { return FDown; }
  // 4 disabled, 3 down, 2 hot, else 1.
  int ThemeState() const;
  using TGraphicControl::Canvas;
  void EnabledChanged() override;
  void MouseEnter(intptr_t AMarker) override;
  void MouseLeave(intptr_t AMarker) override;

protected:
  void Paint() override;
  void MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
  void MouseMove(TShiftState AShift, int AX, int AY) override;
  void MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;

private:
  TXPGXCustomButtonEdit* Edit() const;
  bool FHot = false;
  bool FDown = false;
  bool FTracking = false;
};

class TXPGXCustomButtonEdit : public TCustomXPGXEdit {
public:
  explicit TXPGXCustomButtonEdit(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TXPGXCustomButtonEdit"; }

  bool ShowButton() const { return FShowButton; }
  void SetShowButton(bool AValue);
  TXPGXEditButton* Button() const { return FButton; }
  TNotifyEvent OnButtonClick;

  // --- the new virtual operations, in slot order ---
  virtual void PaintButton(TXPGXEditButton* AButton);
  virtual void PaintButtonGlyph(TXPGXEditButton* AButton, const RECT& ARect);
  virtual bool IsButtonVisible(TXPGXEditButton* AButton, bool AShow);
  virtual void ButtonClickDefault() {}
  virtual void ClickButton();
  virtual void UpdateButtonVisibility();
  virtual TBitmap* GetButtonGlyph(TXPGXEditButton* AButton);

  // A click of one of the editor's buttons.
  virtual void ButtonClicked(TXPGXEditButton* AButton);

  void SetTransparent(bool AValue) override;
  void GetButtonsRect(RECT& ARect) override;
  void GetTextRect(RECT& ARect) override;
  void PaintEdit(TCanvas& ACanvas) override;
  int GetAutoWidth() override;
  void EnabledChanged() override;
  void MouseEnter(intptr_t AMarker) override;
  void MouseLeave(intptr_t AMarker) override;
  bool WantSpecialKey(WPARAM AKey) override;

protected:
  void KeyDown(WORD& AKey, TShiftState AShift) override;
  void AdjustClientRect(RECT& ARect) override;
  void WndProc(TMessage& AMessage) override;

  bool FShowButton = true;
  TXPGXEditButton* FButton = nullptr;
};

// The published button editor with the ellipsis glyph.
class TXPGXButtonEdit : public TXPGXCustomButtonEdit {
public:
  using TXPGXCustomButtonEdit::TXPGXCustomButtonEdit;
  std::wstring ClassName() const override { return L"TXPGXButtonEdit"; }
};
