#pragma once

#include "gx-drop-down.h"
#include "gx-popup.h"

#include "change-links.h"
#include "controls.h"
#include "image-lists.h"
#include "string-lists.h"

#include <windows.h>

#include <memory>
#include <string>

// The popup list boxes of the drop-down editors (a borderless, top-level,
// owner-drawn system list box that never takes the focus, with its own
// frame and shadow) and the image editor, whose value is one of a list of
// value texts, each shown with an image and a description.

// An item's image index when it has none.
constexpr intptr_t kgxNoItemImage = -2;

class TCustomgxPopupListBox : public TWinControl {
public:
  explicit TCustomgxPopupListBox(TComponent* AOwner);
  ~TCustomgxPopupListBox() override;
  std::wstring ClassName() const override { return L"TCustomgxPopupListBox"; }

  // The items and, per item, a number (the image list box keeps its image
  // index there). Changing them directly shows after ItemsChanged.
  TStringList& Items() { return FItems; }
  void SetItems(const TStrings& AItems);
  void ItemsChanged();
  int ItemIndex();
  void SetItemIndex(int AValue);
  int ItemCount() const { return FItems.Count(); }
  // The item rectangle in client coordinates (empty for a bad index).
  RECT ItemRect(int AIndex);

  // The editor whose window owns the popup.
  TWinControl* PopupOwner() const { return FPopupOwner; }
  void SetPopupOwner(TWinControl* AValue);
  TgxPopupBorderStyle PopupBorderStyle() const { return FPopupBorderStyle; }
  void SetPopupBorderStyle(TgxPopupBorderStyle AValue);
  bool Shadow() const { return FShadow; }
  void SetShadow(bool AValue);
  int ShadowSize() const { return FShadowSize; }
  void SetShadowSize(int AValue);
  bool HotTrack() const { return FHotTrack; }
  void SetHotTrack(bool AValue) { FHotTrack = AValue; }
  int RealItemHeight() const { return FRealItemHeight; }
  // Sizes the window so that its client area is AWidth x AHeight.
  void SetClientSize(int AWidth, int AHeight);
  // The width of an item text in the list's font.
  int TextWidth(const std::wstring& AText);

  bool HintShow(std::wstring& /*AHintText*/) override { return false; }

protected:
  void CreateParams(TCreateParams& AParams) override;
  void CreateWnd() override;
  void WndProc(TMessage& AMessage) override;
  void MouseMove(TShiftState AShift, int AX, int AY) override;
  // The item height: the text height of "Wg" in the list's font.
  virtual int MeasureItem();
  virtual void DrawItem(HDC ADC, int AIndex, const RECT& ARect, bool ASelected);
  void ApplyItemHeight();

  TgxPopupBorderStyle FPopupBorderStyle = pbDefault;
  bool FHotTrack = true;
  int FRealItemHeight = 0;
  bool FShadow = false;
  int FShadowSize = 2;

private:
  TStringList FItems;
  TWinControl* FPopupOwner = nullptr;
  HWND FOwnerWindow = nullptr;
};

class TgxPopupImageListBox : public TCustomgxPopupListBox {
public:
  using TCustomgxPopupListBox::TCustomgxPopupListBox;
  std::wstring ClassName() const override { return L"TgxPopupImageListBox"; }
  TCustomImageList* Images() const { return FImages; }
  void SetImages(TCustomImageList* AValue);
  bool IsMultiLineText() const { return FIsMultiLineText; }
  void SetIsMultiLineText(bool AValue) { FIsMultiLineText = AValue; }

protected:
  int MeasureItem() override;
  void DrawItem(HDC ADC, int AIndex, const RECT& ARect, bool ASelected) override;
  void Notification(TComponent* AComponent, TOperation AOperation) override;

private:
  TCustomImageList* FImages = nullptr;
  bool FIsMultiLineText = false;
};

class TgxImageEditViewData : public TgxDropDownEditViewData {
public:
  bool DefaultImages = true;
  TStrings* Descriptions = nullptr;
  TStrings* ImageIndexes = nullptr;
  TCustomImageList* Images = nullptr;
  bool ShowDescription = true;
  TStrings* Values = nullptr;
};

class TgxImageEditClass : public TgxDropDownEditClass {
public:
  static const TgxImageEditClass& Instance();
  TgxEditViewData* NewViewData() const override { return new TgxImageEditViewData; }
  bool DrawClientArea(HDC ADC, RECT& ARect, TgxEditViewData& AViewData,
                      bool AIsControl) const override;
  int GetMinHeight(TgxEditViewData& AViewData) const override;

  // The description and image of a value: its position in AValues
  // (ignoring case); with ADefaultImages off, the image is the decimal
  // entry of AImageIndexes at that position (-1 when it is no number),
  // or the position itself when there is no such entry.
  static void CalcViewIndexes(const std::wstring& AValue, const TStrings* AImageIndexes,
                              int& ADescriptionIndex, int& AImageIndex, bool ADefaultImages,
                              const TStrings* AValues, const TStrings* ADescriptions);
};

class TgxInplaceImageEdit : public TgxInplaceDropDownEdit {
public:
  explicit TgxInplaceImageEdit(TComponent* AOwner);
  ~TgxInplaceImageEdit() override;
  std::wstring ClassName() const override { return L"TgxInplaceImageEdit"; }
  const TgxInplaceEditClass& EditClass() const override { return TgxImageEditClass::Instance(); }

  virtual void ApplyValue(const std::wstring& AValue);

  bool IsEditClass() override { return false; }
  bool IsResetTextClass() override { return true; }
  TgxEditViewData* CreateViewData(bool AFromDefinition) override;
  void DropDown() override;
  void CloseUp(bool AAccept) override;
  void StepValue(int ADelta, bool ACycle) override;

  bool DefaultImages() const { return FDefaultImages; }
  void SetDefaultImages(bool AValue);
  TStringList& Descriptions() { return FDescriptions; }
  void SetDescriptions(const TStrings& AValue);
  TStringList& ImageIndexes() { return FImageIndexes; }
  void SetImageIndexes(const TStrings& AValue);
  TCustomImageList* Images() const { return FImages; }
  void SetImages(TCustomImageList* AValue);
  bool Incremental() const { return FIncremental; }
  void SetIncremental(bool AValue) { FIncremental = AValue; }
  TCustomImageList* LargeImages() const { return FLargeImages; }
  void SetLargeImages(TCustomImageList* AValue);
  bool MultiLineText() const { return FMultiLineText; }
  void SetMultiLineText(bool AValue);
  bool ShowDescription() const { return FShowDescription; }
  void SetShowDescription(bool AValue);
  TStringList& Values() { return FValues; }
  void SetValues(const TStrings& AValue);
  TgxPopupImageListBox& PopupListBox() { return *FPopupListBox; }

protected:
  void KeyDown(WORD& AKey, TShiftState AShift) override;
  void KeyPress(wchar_t& AKey) override;
  LRESULT DialogCode() override;
  void Notification(TComponent* AComponent, TOperation AOperation) override;

private:
  void SetImageList(TCustomImageList*& AField, TChangeLink& ALink, TCustomImageList* AValue);
  int ValueIndex();

  bool FDefaultImages = true;
  TStringList FDescriptions;
  TChangeLink FImageChangeLink;
  TStringList FImageIndexes;
  TCustomImageList* FImages = nullptr;
  bool FIncremental = false;
  TChangeLink FLargeImageChangeLink;
  TCustomImageList* FLargeImages = nullptr;
  bool FMultiLineText = false;
  TgxPopupImageListBox* FPopupListBox = nullptr;
  bool FShowDescription = true;
  TStringList FValues;
};
