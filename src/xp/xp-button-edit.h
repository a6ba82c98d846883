#pragma once

#include "alpha-image.h"
#include "controls.h"
#include "graphics.h"
#include "menus.h"
#include "unit-steps.h"
#include "xp-edit.h"

#include <windows.h>

#include <memory>
#include <string>

// The XP edit with a push button docked at its right edge inside the frame
// (the base of the combo box and the history edit), and the resources every
// XP edit shares: the button face, the glyphs and the context menu.

class TXPCustomButtonEdit;

// The button of a button edit. It is drawn by its edit (PaintButton), goes
// down while the left button is held over it and clicks on release.
class TXPEditButton : public TGraphicControl {
public:
  explicit TXPEditButton(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TXPEditButton"; }

  bool Hot() const { return FHot; }
  bool Down() const { return FDown; }
  // 1 normal, 2 hot, 3 pressed, 4 disabled; disabled wins over pressed,
  // pressed over hot.
  int DrawState() const;
  // The canvas the edit paints the face on.
  using TGraphicControl::Canvas;

  void EnabledChanged() override;
  void MouseEnter(intptr_t AMarker) override;
  void MouseLeave(intptr_t AMarker) override;
  void Click() override;

protected:
  void Paint() override;
  void MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
  void MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
  void MouseMove(TShiftState AShift, int AX, int AY) override;

private:
  TXPCustomButtonEdit* Edit() const;
  bool FHot = false;
  bool FDown = false;
  bool FTracking = false;
};

class TXPCustomButtonEdit : public TCustomXPEdit {
public:
  explicit TXPCustomButtonEdit(TComponent* AOwner);
  ~TXPCustomButtonEdit() override;
  std::wstring ClassName() const override { return L"TXPCustomButtonEdit"; }

  bool ShowButton() const { return FShowButton; }
  void SetShowButton(bool AValue);
  TColor HotColor() const { return FHotColor; }
  void SetHotColor(TColor AValue);
  TAlphaBitmap& ButtonImage() { return *FButtonImage; }
  void SetButtonImage(const TAlphaBitmap* AValue);
  TAlphaBitmap& DropDownGlyph() { return *FDropDownGlyph; }
  void SetDropDownGlyph(const TAlphaBitmap* AValue);
  bool WantsReturn() const { return FWantsReturn; }
  void SetWantsReturn(bool AValue) { FWantsReturn = AValue; }
  TXPEditButton* Button() const { return FButton; }

  TNotifyEvent OnButtonClick;

  // --- the new virtual operations, in slot order ---
  // Insets the docked buttons' area by the frame.
  virtual void AdjustButtonsArea(RECT& ARect);
  // Paints a button's face on the button's canvas, then its glyph.
  virtual void PaintButton(TXPEditButton* AButton);
  virtual void PaintButtonGlyph(TXPEditButton* AButton, const RECT& ARect);
  virtual bool IsButtonVisible(TXPEditButton* AButton, bool AShow);
  virtual void GetButtonDetails(TXPEditButton* AButton, TXPThemeDetails& ADetails);
  // What a click does without OnButtonClick; nothing here.
  virtual void ButtonClickDefault() {}
  // Clicks the button when ShowButton is on.
  virtual void ClickButton();
  // The glyph a button shows (two cells side by side: enabled, disabled).
  virtual TGraphic* GetButtonGlyph(TXPEditButton* AButton) = 0;
  virtual void UpdateButtonVisibility();

  // A click on the button: OnButtonClick, else ButtonClickDefault.
  virtual void ButtonClicked(TXPEditButton* AButton);

  int GetAutoWidth() override;
  void SetTransparent(bool AValue) override;
  void EnabledChanged() override;
  void MouseEnter(intptr_t AMarker) override;
  void MouseLeave(intptr_t AMarker) override;
  bool WantSpecialKey(WPARAM AKey) override;

protected:
  void GetButtonsRect(RECT& ARect) override;
  void GetTextRect(RECT& ARect) override;
  void KeyDown(WORD& AKey, TShiftState AShift) override;
  void Paint() override;
  void AdjustClientRect(RECT& ARect) override;
  void WndProc(TMessage& AMessage) override;

  bool FShowButton = true;
  TColor FHotColor = clDefault;
  std::unique_ptr<TAlphaBitmap> FButtonImage;
  std::unique_ptr<TAlphaBitmap> FDropDownGlyph;
  bool FWantsReturn = false;
  TXPEditButton* FButton = nullptr;
};

// Similarity of two colours by hue, saturation and luminance, as the
// themed arrow removal compares neighbouring pixels.
bool XPSimilarColors(TColor A, TColor B);
// Replaces, row by row inside AArea of a 32-bit bitmap, each run of pixels
// that stands out from the colour before it by a gradient between the
// pixels on either side; a run that reaches the right edge stays.
void RemoveThemedArrow(TBitmap& ABitmap, const RECT& AArea);

// The shared button face, glyphs and context menu of the XP edits.
class TXPEditResourceManager {
public:
  TXPEditResourceManager() = delete;

  // The bitmaps, loaded together on the first request.
  static TBitmap* ComboButton();
  static TBitmap* ComboButtonGlyph();
  static TBitmap* EllipsisGlyph();
  static TBitmap* DirectoryGlyph();
  static TBitmap* FileNameGlyph();

  // The menu and its items, made together on the first request.
  static TPopupMenu* StandardEditPopupMenu();
  static TMenuItem* MenuItemUndo();
  static TMenuItem* MenuItemCut();
  static TMenuItem* MenuItemCopy();
  static TMenuItem* MenuItemPaste();
  static TMenuItem* MenuItemDelete();
  static TMenuItem* MenuItemSelectAll();

  // The command items click into ATarget's IXPEditCommands (nullptr: into
  // nothing). An edit going away unbinds itself.
  static void BindMenuItems(IUnknown* ATarget);
  static IUnknown* BoundTarget();
  static void Unbind(IUnknown* ATarget);

  static bool BitmapsLoaded();
  static bool MenuCreated();
  // The unit's shut-down: the transparency hook and list, the bitmaps, the menu.
  static void FreeResources();
};

// The unit's entry for the module's unit steps.
inline constexpr TUnitStep kXPEditsUnitStep{L"XPEdits2", nullptr,
                                            &TXPEditResourceManager::FreeResources};
