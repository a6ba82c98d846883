#pragma once

#include "gx-container.h"

#include "graphics.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

// The in-place check-box editor: a three-state value shown as a system
// check box or as a picture of a glyph strip, with an optional caption.
// The tree list's check columns edit their focused cell with it and paint
// every other cell through its class operations.

enum TgxCheckBoxState : uint8_t { cbsUnchecked, cbsChecked, cbsGrayed };
// How the grayed state is drawn.
enum TgxShowNullFieldStyle : uint8_t { nsUnchecked, nsInactive, nsGrayedChecked };

// The edit-look values check editors fall back to: no border, 3D buttons.
class TgxCheckEditStyleController : public TgxEditStyleController {
public:
  explicit TgxCheckEditStyleController(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TgxCheckEditStyleController"; }
  void RestoreDefaults() override;
};

// The style of a check editor: its fallbacks end at the unit's default
// check style controller.
class TgxCheckEditStyle : public TgxEditStyle {
public:
  explicit TgxCheckEditStyle(TgxInplaceEdit* AEdit);
  ~TgxCheckEditStyle() override;
  std::wstring ClassName() const override { return L"TgxCheckEditStyle"; }
  TgxEditStyleController* DefaultController() const override;

private:
  TgxEditStyleController* FLinkedCheckDefault = nullptr;
};

// The paint parameters of a check cell; the state travels in Data.
class TgxCheckEditViewData : public TgxEditViewData {
public:
  std::wstring Caption;
  bool ExactFocusRect = false;
  TBitmap* Glyph = nullptr;
  int GlyphCount = 0;
  TgxShowNullFieldStyle NullStyle = nsGrayedChecked;
  bool Pressed = false;
};

// The class operations of the check editor kind.
class TgxCheckEditClass : public TgxInplaceEditClass {
public:
  static const TgxCheckEditClass& Instance();

  bool DrawClientArea(HDC ADC, RECT& ARect, TgxEditViewData& AViewData,
                      bool AIsControl) const override;
  int GetMinHeight(TgxEditViewData& AViewData) const override;
  TgxEditViewData* NewViewData() const override { return new TgxCheckEditViewData; }
  bool DoesEditorNeedActivating(const RECT& ARect, TAlignment AAlignment, int AX,
                                int AY) const override;
  TgxEditStyle* CreateEditStyle(TgxInplaceEdit* AEdit) const override;

  // The size of one picture: the system check size, or, when the strip has
  // AGlyphCount > 0 pictures and is not empty, one picture of the strip
  // (then the answer is true: the glyph is used).
  static bool CalcCheckSize(TBitmap* AGlyph, int AGlyphCount, int& ACheckWidth, int& ACheckHeight);
  // Where a box of AWidth x AHeight goes in ARect, and the caption area
  // beside it (empty when centred).
  static void PlaceCheckBox(int AWidth, int AHeight, const RECT& ARect, TAlignment AAlignment,
                            RECT& ABox, RECT& ACaptionArea);
  // The check-box state a value stands for; raises EConvertError for a
  // value that names none.
  static TgxCheckBoxState StateOfValue(const TgxVariant& AValue);
};

class TgxInplaceCheckEdit : public TgxInplaceEdit {
public:
  explicit TgxInplaceCheckEdit(TComponent* AOwner);
  ~TgxInplaceCheckEdit() override;
  std::wstring ClassName() const override { return L"TgxInplaceCheckEdit"; }
  const TgxInplaceEditClass& EditClass() const override { return TgxCheckEditClass::Instance(); }

  // The user's toggle: unchecked goes to grayed (when allowed) or checked,
  // checked to unchecked, grayed to checked.
  virtual void Toggle();

  TgxCheckBoxState State() const { return FState; }
  void SetState(TgxCheckBoxState AValue);
  bool Checked() const override { return FState == cbsChecked; }
  void SetChecked(bool AValue) { SetState(AValue ? cbsChecked : cbsUnchecked); }
  bool AllowGrayed() const { return FAllowGrayed; }
  void SetAllowGrayed(bool AValue) { FAllowGrayed = AValue; }
  bool FullFocusRect() const { return FFullFocusRect; }
  void SetFullFocusRect(bool AValue);
  bool MultiLine() const { return FMultiLine; }
  void SetMultiLine(bool AValue);
  // The glyph strip, made empty on first use.
  TBitmap& Glyph();
  // Copies the bitmap into the editor's own strip; nullptr frees it.
  void SetGlyph(TBitmap* AValue);
  int GlyphCount() const { return FGlyphCount; }
  void SetGlyphCount(int AValue);
  TgxShowNullFieldStyle NullStyle() const { return FNullStyle; }
  void SetNullStyle(TgxShowNullFieldStyle AValue);
  bool Pressed() const { return FPressed; }

  void SetEditValue(const TgxVariant& AValue) override;
  void GetDisplayValue(TgxVariant& AValue, bool AFromDefinition) override;
  void GetEditValue(TgxVariant& AValue) override;
  TgxEditViewData* CreateViewData(bool AFromDefinition) override;
  void MouseClick(int AX, int AY) override;
  bool DialogChar(wchar_t AChar) override;
  void TextChanged() override;

protected:
  void Click() override;
  void KeyDown(WORD& AKey, TShiftState AShift) override;
  void KeyPress(wchar_t& AKey) override;
  void KeyUp(WORD& AKey, TShiftState AShift) override;
  void MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
  void MouseMove(TShiftState AShift, int AX, int AY) override;
  void MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
  void WndProc(TMessage& AMessage) override;
  LRESULT DialogCode() override;

private:
  // Whether a click at the point may toggle: anywhere, unless the
  // container toggles check cells with one click, then only on the box.
  bool ClickHitTest(int AX, int AY);
  void SetPressed(bool AValue);
  void StopTracking();
  void InvalidateCheck();

  bool FAllowGrayed = false;
  bool FFullFocusRect = false;
  std::unique_ptr<TBitmap> FGlyph;
  int FGlyphCount = 6;
  bool FMultiLine = false;
  TgxShowNullFieldStyle FNullStyle = nsGrayedChecked;
  bool FPressed = false;
  TgxCheckBoxState FState = cbsUnchecked;
  bool FTracking = false;
};
