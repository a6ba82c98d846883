#pragma once

#include "gx-container.h"
#include "gx-popup-toolbar.h"

#include "graphics.h"
#include "menus.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

// The picture editor of a cell: it has no edit window of its own, paints
// its picture (fitted, centred or at the top-left, opaque or transparent)
// and offers cut, copy, paste, delete, load, save and one custom command as
// a context menu (the default) or through the floating popup tool bar. A
// picture travels as a string of raw bytes, one byte per character: the
// graphic's own stream format, optionally behind an 8-byte graphic header
// on reading.

enum TgxGraphicEditTransparency : uint8_t { gtDefault, gtOpaque, gtTransparent };

class TgxGraphicEditViewData : public TgxEditViewData {
public:
  bool Center = true;
  bool DrawShadow = false;
  TPicture* Picture = nullptr;
  bool QuickDraw = false;
  COLORREF ShadowColor = 0;
  bool Stretch = false;
  TBitmap* TempTransparentBitmap = nullptr;
};

class TgxInplaceGraphicEditClass : public TgxInplaceEditClass {
public:
  static const TgxInplaceGraphicEditClass& Instance();
  TgxEditViewData* NewViewData() const override { return new TgxGraphicEditViewData; }
  void CalcViewInfo(TgxEditViewData& AViewData, bool AAutoSize,
                    TgxEditViewInfo& AViewInfo) const override;
  bool DrawClientArea(HDC ADC, RECT& ARect, TgxEditViewData& AViewData,
                      bool AIsControl) const override;
  RECT GetMinRect(TgxEditViewData& AViewData) const override;
};

// The largest rectangle of the picture's aspect ratio anchored at
// ASource's top-left.
RECT FitRect(const RECT& ASource, int APicWidth, int APicHeight);

bool IsPictureEmpty(const TPicture* APicture);
// Clears the picture for a value that is not a string or is empty; raises
// what the graphic's reader raises for bytes that are not a picture.
void LoadPictureFromVariant(TPicture& APicture, TGraphicClass AGraphicClass,
                            const TgxVariant& AValue);
// The graphic's stream bytes, one per character; empty for no picture.
std::wstring SavePictureToString(const TPicture* APicture);

using TgxGraphicEditAssignPictureEvent =
    std::function<void(TControl* ASender, TPicture*& APicture)>;
using TgxGraphicEditGraphicClassEvent =
    std::function<void(TControl* ASender, TGraphicClass& AGraphicClass)>;

// The picture file dialogs; a test chooses the file.
class TgxPictureDialogSeam : public TSeam<TgxPictureDialogSeam> {
public:
  // True when a file was chosen (ARequest.FileName holds it).
  virtual bool Execute(TOpenFileRequest& ARequest, bool ASave) = 0;
  static TgxPictureDialogSeam& System();
};

class TgxInplaceGraphicEdit : public TgxInplaceEdit {
public:
  explicit TgxInplaceGraphicEdit(TComponent* AOwner);
  ~TgxInplaceGraphicEdit() override;
  std::wstring ClassName() const override { return L"TgxInplaceGraphicEdit"; }
  const TgxInplaceEditClass& EditClass() const override {
    return TgxInplaceGraphicEditClass::Instance();
  }

  void ClearPicture();
  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();
  void LoadFromFile();
  void SaveToFile();

  // --- the new virtual operations, in slot order ---
  virtual void CustomClick();
  virtual void AssignPicture(TPicture* APicture);
  virtual TGraphicClass GetGraphicClass();

  // --- settings ---
  bool Center() const { return FCenter; }
  void SetCenter(bool AValue);
  UINT ClipboardFormat() const { return FClipboardFormat; }
  void SetClipboardFormat(UINT AValue) { FClipboardFormat = AValue; }
  const std::wstring& CustomFilter() const { return FCustomFilter; }
  void SetCustomFilter(const std::wstring& AValue) { FCustomFilter = AValue; }
  bool CustomGraphic() const { return FCustomGraphic; }
  void SetCustomGraphic(bool AValue);
  bool DblClickActivate() const { return FDblClickActivate; }
  void SetDblClickActivate(bool AValue) { FDblClickActivate = AValue; }
  TgxGraphicEditTransparency GraphicTransparency() const { return FGraphicTransparency; }
  void SetGraphicTransparency(TgxGraphicEditTransparency AValue);
  TPicture& Picture() { return *FPicture; }
  void SetPicture(const TPicture* AValue) { FPicture->Assign(AValue); }
  bool QuickDraw() const { return FQuickDraw; }
  void SetQuickDraw(bool AValue) { FQuickDraw = AValue; }
  bool Stretch() const { return FStretch; }
  void SetStretch(bool AValue);
  TgxPopupToolBarWindow& ToolbarLayout() { return *FToolbarLayout; }
  POINT ToolbarPos() const { return FToolbarPos; }
  void SetToolbarPos(POINT AValue) { FToolbarPos = AValue; }
  bool ToolbarPosStored() const { return FToolbarPosStored; }
  void SetToolbarPosStored(bool AValue);
  TgxPopupToolBar* PopupToolBar() const { return FPopupToolBar; }

  TgxGraphicEditAssignPictureEvent OnAssignPicture;
  TNotifyEvent OnCustomClick;
  TgxGraphicEditGraphicClassEvent OnGetGraphicClass;

  // --- overrides of the editor base ---
  void SetEditValue(const TgxVariant& AValue) override;
  void GetDisplayValue(TgxVariant& AValue, bool AFromDefinition) override;
  void GetEditValue(TgxVariant& AValue) override;
  TgxEditViewData* CreateViewData(bool AFromDefinition) override;
  using TgxInplaceEdit::FocusChanged;
  void FocusChanged() override;
  void DoKillFocus(HWND AFocusedWnd) override;
  bool IsFocused() override;

  // The tool bar's command (0 cut ... 6 custom), then its enabled states.
  void ToolBarButtonClick(int AButton);
  void ShowToolBar();
  void HideToolBar();
  void PrepareToolBar();

protected:
  void KeyDown(WORD& AKey, TShiftState AShift) override;
  void KeyPress(wchar_t& AKey) override;
  void MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
  void WndProc(TMessage& AMessage) override;

private:
  void PictureChanged();
  void BuildContextMenu();
  void ContextMenu(TMessage& AMessage);

  bool FCenter = true;
  UINT FClipboardFormat = 0;
  std::wstring FCustomFilter;
  bool FCustomGraphic = false;
  bool FDblClickActivate = true;
  TgxGraphicEditTransparency FGraphicTransparency = gtDefault;
  std::unique_ptr<TPicture> FPicture;
  std::unique_ptr<TPicture> FTempPicture;
  TgxPopupToolBar* FPopupToolBar = nullptr;
  bool FQuickDraw = false;
  POINT FSavePos{-10000, -10000};
  bool FStretch = false;
  std::unique_ptr<TBitmap> FTempTransparentBitmap;
  std::unique_ptr<TgxPopupToolBarWindow> FToolbarLayout;
  POINT FToolbarPos{-10000, -10000};
  bool FToolbarPosStored = true;
};
