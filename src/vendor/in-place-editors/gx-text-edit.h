#pragma once

#include "gx-container.h"

#include "menus.h"
#include "unit-steps.h"
#include "xp-edit.h"

#include <windows.h>

#include <cstdint>
#include <string>

// The single-line text editor: a Unicode rich-edit window in plain-text
// mode for the live editor, DrawTextInRect for every other cell. It adds
// character case, a length limit, a password character, hidden selection,
// a selection bar, its own context menu and the selection and clipboard
// operations.

// TEditCharCase (ecNormal, ecUpperCase, ecLowerCase) is the edit's.

// The rich edit's selection-bar style bit.
constexpr DWORD kgxES_SELECTIONBAR = 0x01000000;

class TgxTextEditViewData : public TgxEditViewData {
public:
  TEditCharCase CharCase = ecNormal;
  bool EndEllipsis = false;
  bool PathEllipsis = false;
  wchar_t PasswordChar = 0;
  bool SelectionBar = false;
};

class TgxInplaceTextEditClass : public TgxInplaceEditClass {
public:
  static const TgxInplaceTextEditClass& Instance();
  TgxEditViewData* NewViewData() const override { return new TgxTextEditViewData; }
  // Draws the text of a cell; the live window paints itself (answers False
  // for an edit class drawn as the control).
  bool DrawClientArea(HDC ADC, RECT& ARect, TgxEditViewData& AViewData,
                      bool AIsControl) const override;
};

// The tags of the context menu's items; separators carry kgxMenuSeparatorTag.
enum : intptr_t {
  kgxMenuUndo = -1,
  kgxMenuRedo = -2,
  kgxMenuCut = -3,
  kgxMenuCopy = -4,
  kgxMenuPaste = -5,
  kgxMenuDelete = -6,
  kgxMenuSelectAll = -7,
  kgxMenuSeparatorTag = 0x7FFFFFFF
};

class TgxInplaceTextEdit : public TgxInplaceEdit {
public:
  explicit TgxInplaceTextEdit(TComponent* AOwner);
  ~TgxInplaceTextEdit() override;
  std::wstring ClassName() const override { return L"TgxInplaceTextEdit"; }
  const TgxInplaceEditClass& EditClass() const override {
    return TgxInplaceTextEditClass::Instance();
  }

  // --- the new virtual operations, in slot order ---------------------------------
  virtual void ApplyCharCase();
  virtual void SetWindowMaxLength(int AValue);
  virtual int GetSelLength();
  virtual int GetSelStart();
  virtual std::wstring GetSelText();
  virtual bool HasDataDefinition() { return FDataDefinition != nullptr; }
  virtual void DoSelectionChange();
  virtual void InternalSetMaxLength(int AValue);
  virtual void SetSelLength(int AValue);
  virtual void SetSelStart(int AValue);
  virtual int DefaultMaxLength();
  virtual int GetSelTextBuf(wchar_t* ABuffer, int ABufSize);

  // --- overrides of the editor base ------------------------------------------------
  bool IsEditClass() override { return true; }
  bool GetModified() override;
  void SetModified(bool AValue) override;
  void InternalSetReadOnly(bool AValue) override;
  void ReadDefinitionProperties() override;
  void RestoreDefaults() override;
  void SetEditValue(const TgxVariant& AValue) override;
  TgxEditViewData* CreateViewData(bool AFromDefinition) override;
  std::wstring GetEditorText() override;
  void SetEditorText(const std::wstring& AValue) override;
  void SelectAll() override { SetSelection(0, -1); }
  void Deselect() override;
  void Loaded() override;

  // The text: the window's while it exists. Editors with a value form of
  // their own (masks) answer and take that form here.
  std::wstring Text() { return GetTextValue(); }
  void SetText(const std::wstring& AValue) { SetTextValue(AValue); }

  // --- selection and clipboard -------------------------------------------------------
  void Clear() { ClearText(); }
  void ClearSelection();
  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();
  void Undo();
  void Redo();
  void ClearUndo();
  void GetSelection(int& AStart, int& AEnd);
  void SetSelection(int AStartPos, int AEndPos, bool AScrollCaret = true);
  void SetSelText(const std::wstring& AValue);
  void SetSelTextBuf(const wchar_t* ABuffer);
  int GetTextLenEx();
  bool CanUndo();
  bool CanRedo();
  bool CanPaste();
  int SelStart() { return GetSelStart(); }
  int SelLength() { return GetSelLength(); }
  std::wstring SelText() { return GetSelText(); }

  // --- settings ----------------------------------------------------------------------
  bool AutoSelect() const { return FAutoSelect; }
  void SetAutoSelect(bool AValue) { FAutoSelect = AValue; }
  TEditCharCase CharCase() const { return FCharCase; }
  void SetCharCase(TEditCharCase AValue);
  bool HideSelection() const { return FHideSelection; }
  void SetHideSelection(bool AValue);
  int MaxLength() const { return FMaxLength; }
  void SetMaxLength(int AValue);
  bool OEMConvert() const { return FOEMConvert; }
  void SetOEMConvert(bool AValue);
  wchar_t PasswordChar() const { return FPasswordChar; }
  void SetPasswordChar(wchar_t AValue);
  bool SelectionBar() const { return FSelectionBar; }
  void SetSelectionBar(bool AValue);

  // The context menu, made on its first showing (nullptr before).
  TPopupMenu* EditPopupMenu() const { return FEditPopupMenu; }
  // The rich-edit callback's reference count (it never frees the editor).
  int CallbackRefCount() const { return FRefCount; }

  TNotifyEvent OnSelectionChange;

  void TextChanged() override;
  void ColorChanged() override;
  void FontChanged() override;
  void DoEnter() override;

protected:
  void CreateParams(TCreateParams& AParams) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void WndProc(TMessage& AMessage) override;
  void DefaultHandler(TMessage& AMessage) override;

  virtual std::wstring GetTextValue() { return GetEditorText(); }
  virtual void SetTextValue(const std::wstring& AValue) { SetEditorText(AValue); }
  virtual void ClearText() { SetEditorText(std::wstring()); }
  // The change notification of the window (EN_CHANGE).
  virtual void EditChanged();
  // The window's own text, empty without a window.
  std::wstring WindowText();
  // The alignment the window shows.
  TAlignment EffectiveAlignment();
  void ShowContextMenu(LPARAM ALParam);
  void PasteText();

  bool FAssigningText = false;
  bool FCreating = false;

private:
  class TOleCallback;
  void BuildContextMenu();
  void MenuCommand(intptr_t ATag);
  void SetFormatRect();
  void ApplyDefaultCharFormat();
  void SetBackgroundColor();
  // Takes the window's text into the framework's copy without writing it
  // back to the window.
  void SyncText(const std::wstring& AValue);

  bool FAutoSelect = true;
  TEditCharCase FCharCase = ecNormal;
  bool FCharCaseChanging = false;
  TPopupMenu* FEditPopupMenu = nullptr;
  bool FHideSelection = true;
  int FMaxLength = 0;
  bool FModified = false;
  bool FOEMConvert = false;
  wchar_t FPasswordChar = 0;
  int FRefCount = 0;
  bool FSelectionBar = false;
  bool FSyncingText = false;
  TOleCallback* FOleCallback = nullptr;
};

// --- unit step ---------------------------------------------------------------------

// gxEditor: loads the rich-edit library and the context menu's captions;
// frees both at unload.
void GxEditorStartup();
void GxEditorShutdown();
bool RichEditLibraryLoaded();
// The context menu's captions, in the order of the tags -1 to -7.
const std::wstring& TextEditMenuCaption(int AIndex);

inline constexpr TUnitStep kGxEditorUnitStep{L"gxEditor", &GxEditorStartup, &GxEditorShutdown};
