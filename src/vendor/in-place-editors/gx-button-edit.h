#pragma once

#include "gx-drop-down.h"

#include "classes.h"
#include "graphics.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// Edit buttons (a collection of at most eight: kind, glyph, width, side,
// visibility, default flag) and the button editor that shows the visible
// ones beside its text, reports clicks by the button's collection index and
// clicks the default button on its shortcut key.

inline constexpr wchar_t kgxTooManyButtonsText[] = L"Too many buttons ( >= %d)";

class TgxEditButtons;

class TgxEditButton : public TCollectionItem {
public:
  // Raises when the collection already holds eight buttons, before the
  // button joins it.
  explicit TgxEditButton(TCollection* ACollection);
  std::wstring ClassName() const override { return L"TgxEditButton"; }
  void Assign(const TPersistent* ASource) override;
  // No glyph, an ellipsis at the right, visible, default width; the default
  // flag stays.
  virtual void RestoreDefaults();

  bool Default() const { return FDefault; }
  void SetDefault(bool AValue);
  // The glyph, made empty on first read.
  TBitmap& Glyph();
  bool HasGlyph() const { return FGlyph && !FGlyph->Empty(); }
  TBitmap* GlyphOrNull() const { return FGlyph.get(); }
  // Copies the bitmap into the button's own; nullptr frees it.
  void SetGlyph(TBitmap* AValue);
  TgxEditButtonKind Kind() const { return FKind; }
  void SetKind(TgxEditButtonKind AValue);
  bool LeftAlignment() const { return FLeftAlignment; }
  void SetLeftAlignment(bool AValue);
  bool Visible() const { return FVisible; }
  void SetVisible(bool AValue);
  int Width() const { return FWidth; }
  void SetWidth(int AValue);

private:
  friend class TgxEditButtons;
  bool FDefault = false;
  std::unique_ptr<TBitmap> FGlyph;
  TgxEditButtonKind FKind = bkEllipsis;
  bool FLeftAlignment = false;
  bool FVisible = true;
  int FWidth = 0;
};

class TgxEditButtons : public TCollection {
public:
  explicit TgxEditButtons(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TgxEditButtons"; }
  TComponent* Owner() const { return FOwner; }

  TgxEditButton* Add() { return static_cast<TgxEditButton*>(TCollection::Add()); }
  TgxEditButton* Items(int AIndex) const {
    return static_cast<TgxEditButton*>(TCollection::Items(AIndex));
  }
  // The collection index of the AVisibleIndex-th visible button, or -1.
  int GetAbsoluteIndex(int AVisibleIndex) const;
  // -1 for an index past the end or an invisible button.
  int GetVisibleIndex(int AAbsoluteIndex) const;
  int VisibleCount() const;
  TgxEditButton* VisibleItems(int AVisibleIndex) const;
  void RestoreDefaults();

protected:
  // Outside loading, a lone button becomes the default button.
  void Update(TCollectionItem* AItem) override;

private:
  TComponent* FOwner;
};

class TgxInplaceButtonEdit;

// The collection a button editor owns: its changes refresh the editor.
class TgxInplaceEditButtons : public TgxEditButtons {
public:
  using TgxEditButtons::TgxEditButtons;
  std::wstring ClassName() const override { return L"TgxInplaceEditButtons"; }

protected:
  void Update(TCollectionItem* AItem) override;
};

enum TgxButtonEditViewStyle : uint8_t { vsStandard, vsHideCursor, vsButtonOnly };

class TgxButtonEditViewData : public TgxDropDownEditViewData {
public:
  bool ButtonOnly = false;
  TgxEditButtons* EditButtons = nullptr;
  bool HideEditCursor = false;
};

class TgxButtonEditClass : public TgxDropDownEditClass {
public:
  static const TgxButtonEditClass& Instance();
  TgxEditViewData* NewViewData() const override { return new TgxButtonEditViewData; }
  void CalcButtonsInfo(TgxDropDownEditViewData& AViewData) const override;
  void CalcViewInfo(TgxEditViewData& AViewData, bool AAutoSize,
                    TgxEditViewInfo& AViewInfo) const override;
  bool DrawClientArea(HDC ADC, RECT& ARect, TgxEditViewData& AViewData,
                      bool AIsControl) const override;
};

// (Sender, AbsoluteIndex): the collection index of the clicked button.
using TgxEditButtonClickEvent = std::function<void(TControl* ASender, int AAbsoluteIndex)>;

class TgxInplaceButtonEdit : public TgxInplaceDropDownEdit {
public:
  explicit TgxInplaceButtonEdit(TComponent* AOwner);
  ~TgxInplaceButtonEdit() override;
  std::wstring ClassName() const override { return L"TgxInplaceButtonEdit"; }
  const TgxInplaceEditClass& EditClass() const override { return TgxButtonEditClass::Instance(); }

  virtual void ClickDefaultButton();

  TgxEditButtons& Buttons() { return *FButtons; }
  void SetButtons(const TgxEditButtons& AButtons) { FButtons->Assign(&AButtons); }
  TShortCut ClickKey() const { return FClickKey; }
  void SetClickKey(TShortCut AValue) { FClickKey = AValue; }
  TgxButtonEditViewStyle ViewStyle() const { return FViewStyle; }
  void SetViewStyle(TgxButtonEditViewStyle AValue);
  // The stored form's "ExistButtons": whether the stored editor had
  // buttons; a loaded editor without it drops the constructor's button.
  bool ExistButtons() const { return FExistButtons; }
  void ReadExistButtons(bool AValue) { FExistButtons = AValue; }
  bool WritesExistButtons() const { return FButtons->Count() > 0; }

  bool IsEditClass() override { return FViewStyle == vsStandard; }
  bool IsResetTextClass() override { return true; }
  TgxEditViewData* CreateViewData(bool AFromDefinition) override;
  void ButtonClick(int AButtonIndex) override;
  void HandleDropDownKey(WORD& /*AKey*/, TShiftState /*AShift*/) override {}
  void Loaded() override;

  TgxEditButtonClickEvent OnButtonClick;

protected:
  void KeyDown(WORD& AKey, TShiftState AShift) override;
  LRESULT DialogCode() override;

private:
  std::unique_ptr<TgxEditButtons> FButtons;
  TShortCut FClickKey = TShortCut(VK_RETURN | scCtrl);
  bool FExistButtons = false;
  TgxButtonEditViewStyle FViewStyle = vsStandard;
};
