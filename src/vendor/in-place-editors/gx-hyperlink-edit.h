#pragma once

#include "gx-text-edit.h"

#include "graphics.h"
#include "menus.h"

#include <string>

// The hyperlink editor: a text editor whose text is a link, painted
// underlined in the link colour under a hand cursor. A start action (the
// start key, a click or a double click, by its mode) hands the text to the
// shell to open, unless OnStartClick takes it.

class TgxHyperLinkEditViewData : public TgxTextEditViewData {
public:
  // The cell shows the hand cursor.
  bool IsLink = false;
};

class TgxInplaceHyperLinkEditClass : public TgxInplaceTextEditClass {
public:
  static const TgxInplaceHyperLinkEditClass& Instance();
  TgxEditViewData* NewViewData() const override { return new TgxHyperLinkEditViewData; }
  TCursor GetEditCursor(int AX, int AY, TgxEditViewData& AViewData) const override;
};

// Ctrl+Enter.
inline constexpr TShortCut kgxDefaultStartKey = TShortCut(scCtrl | VK_RETURN);

class TgxInplaceHyperLinkEdit : public TgxInplaceTextEdit {
public:
  explicit TgxInplaceHyperLinkEdit(TComponent* AOwner);
  ~TgxInplaceHyperLinkEdit() override;
  std::wstring ClassName() const override { return L"TgxInplaceHyperLinkEdit"; }
  const TgxInplaceEditClass& EditClass() const override {
    return TgxInplaceHyperLinkEditClass::Instance();
  }

  // --- the new virtual operation ------------------------------------------------------
  // Fires OnStartClick, or opens the text through the shell.
  virtual void DoStart();

  TColor LinkColor() const { return FLinkColor; }
  void SetLinkColor(TColor AValue);
  // The editor font, underlined, in the link colour; made on first use.
  TFont& LinkFont();
  bool SingleClick() const { return FSingleClick; }
  void SetSingleClick(bool AValue) { FSingleClick = AValue; }
  TShortCut StartKey() const { return FStartKey; }
  void SetStartKey(TShortCut AValue) { FStartKey = AValue; }
  TNotifyEvent OnStartClick;

  TgxEditViewData* CreateViewData(bool AFromDefinition) override;
  void MouseClick(int AX, int AY) override;
  // An in-place link editor never selects all its text.
  void SelectAll() override;
  void FontChanged() override;

protected:
  void KeyDown(WORD& AKey, TShiftState AShift) override;
  void MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
  void WndProc(TMessage& AMessage) override;

private:
  void UpdateLinkFont();
  void ApplyLinkCharFormat();

  TColor FLinkColor = clBlue;
  TFont* FLinkFont = nullptr;
  bool FSingleClick = false;
  TShortCut FStartKey = kgxDefaultStartKey;
};
