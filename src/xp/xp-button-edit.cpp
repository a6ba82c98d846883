#include "xp-button-edit.h"

#include "rtl-exceptions.h"
#include "xp-colors.h"
#include "xp-graphics.h"
#include "xp-system.h"

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

// The six shared bitmaps, by resource name.
enum TEditBitmap { ebComboButton, ebXPCombo, ebStdCombo, ebEllipsis, ebDirectory, ebFileName };
constexpr const wchar_t* kEditBitmapNames[] = {L"XPCOMBOBUTTON", L"XPCOMBO", L"STDCOMBO",
                                               L"XPELLIPSIS",    L"XPDIR",   L"XPFILENAME"};
std::unique_ptr<TBitmap> GBitmaps[std::size(kEditBitmapNames)];
bool GBitmapsLoaded = false;

// The shared menu: its command items in order, the separators between.
enum TEditCommand { ecmUndo, ecmCut, ecmCopy, ecmPaste, ecmDelete, ecmSelectAll };
struct TMenuRow {
  const wchar_t* Caption;
  int Command; // -1 for a separator
};
constexpr TMenuRow kMenuRows[] = {
    {L"&Undo", ecmUndo},
    {L"-", -1},
    {L"Cu&t", ecmCut},
    {L"&Copy", ecmCopy},
    {L"&Paste", ecmPaste},
    {L"&Delete", ecmDelete},
    {L"-", -1},
    {L"Select &All", ecmSelectAll},
};
TPopupMenu* GMenu = nullptr;
TMenuItem* GItems[6] = {};
IUnknown* GBoundTarget = nullptr;

void LoadBitmaps() {
  if (GBitmapsLoaded)
    return;
  for (size_t i = 0; i < std::size(kEditBitmapNames); ++i) {
    auto bitmap = std::make_unique<TBitmap>();
    if (HINSTANCE module = FindResourceModule(kEditBitmapNames[i], RT_BITMAP))
      bitmap->LoadFromResourceName(module, kEditBitmapNames[i]);
    GBitmaps[i] = std::move(bitmap);
  }
  GBitmapsLoaded = true;
}

TBitmap* Bitmap(TEditBitmap AWhich) {
  LoadBitmaps();
  return GBitmaps[AWhich].get();
}

void RunCommand(int ACommand) {
  if (!GBoundTarget)
    return;
  IXPEditCommands* commands = nullptr;
  if (FAILED(
          GBoundTarget->QueryInterface(IID_IXPEditCommands, reinterpret_cast<void**>(&commands))) ||
      !commands)
    return;
  HRESULT result = S_OK;
  switch (ACommand) {
  case ecmUndo:
    result = commands->Undo();
    break;
  case ecmCut:
    result = commands->CutToClipboard();
    break;
  case ecmCopy:
    result = commands->CopyToClipboard();
    break;
  case ecmPaste:
    result = commands->PasteFromClipboard();
    break;
  case ecmDelete:
    result = commands->DeleteSelection();
    break;
  case ecmSelectAll:
    result = commands->SelectAll();
    break;
  }
  commands->Release();
  if (FAILED(result))
    throw Exception(L"The edit command failed");
}

void MakeSharedMenu() {
  if (GMenu)
    return;
  GMenu = new TPopupMenu(nullptr);
  for (const TMenuRow& row : kMenuRows) {
    auto* item = new TMenuItem(GMenu);
    item->SetCaption(row.Caption);
    if (row.Command >= 0) {
      const int command = row.Command;
      item->OnClick = [command](TMenuItem*) { RunCommand(command); };
      GItems[command] = item;
    }
    GMenu->Items()->Add(item);
  }
}

uint8_t Diff(uint8_t A, uint8_t B) {
  return uint8_t(A > B ? A - B : B - A);
}

} // namespace

// ===========================================================================
// TXPEditResourceManager

TBitmap* TXPEditResourceManager::ComboButton() {
  return Bitmap(ebComboButton);
}
TBitmap* TXPEditResourceManager::ComboButtonGlyph() {
  return Bitmap(GetXPThemeState() != xtsClassic ? ebXPCombo : ebStdCombo);
}
TBitmap* TXPEditResourceManager::EllipsisGlyph() {
  return Bitmap(ebEllipsis);
}
TBitmap* TXPEditResourceManager::DirectoryGlyph() {
  return Bitmap(ebDirectory);
}
TBitmap* TXPEditResourceManager::FileNameGlyph() {
  return Bitmap(ebFileName);
}

TPopupMenu* TXPEditResourceManager::StandardEditPopupMenu() {
  MakeSharedMenu();
  return GMenu;
}
TMenuItem* TXPEditResourceManager::MenuItemUndo() {
  MakeSharedMenu();
  return GItems[ecmUndo];
}
TMenuItem* TXPEditResourceManager::MenuItemCut() {
  MakeSharedMenu();
  return GItems[ecmCut];
}
TMenuItem* TXPEditResourceManager::MenuItemCopy() {
  MakeSharedMenu();
  return GItems[ecmCopy];
}
TMenuItem* TXPEditResourceManager::MenuItemPaste() {
  MakeSharedMenu();
  return GItems[ecmPaste];
}
TMenuItem* TXPEditResourceManager::MenuItemDelete() {
  MakeSharedMenu();
  return GItems[ecmDelete];
}
TMenuItem* TXPEditResourceManager::MenuItemSelectAll() {
  MakeSharedMenu();
  return GItems[ecmSelectAll];
}

void TXPEditResourceManager::BindMenuItems(IUnknown* ATarget) {
  GBoundTarget = ATarget;
}

IUnknown* TXPEditResourceManager::BoundTarget() {
  return GBoundTarget;
}

void TXPEditResourceManager::Unbind(IUnknown* ATarget) {
  if (GBoundTarget == ATarget)
    GBoundTarget = nullptr;
}

bool TXPEditResourceManager::BitmapsLoaded() {
  return GBitmapsLoaded;
}

bool TXPEditResourceManager::MenuCreated() {
  return GMenu != nullptr;
}

void TXPEditResourceManager::FreeResources() {
  TCustomXPEdit::FreeTransparencyHook();
  for (auto& bitmap : GBitmaps)
    bitmap.reset();
  GBitmapsLoaded = false;
  if (GMenu) {
    TComponent::Free(GMenu);
    GMenu = nullptr;
  }
  for (TMenuItem*& item : GItems)
    item = nullptr;
  GBoundTarget = nullptr;
}

// ===========================================================================
// Arrow removal

bool XPSimilarColors(TColor A, TColor B) {
  uint8_t h1, s1, l1, h2, s2, l2;
  ColorToHSL(A, h1, s1, l1);
  ColorToHSL(B, h2, s2, l2);
  if (s1 < 8 && s2 < 8 && Diff(l1, l2) < 31)
    return true;
  if ((l1 < 8 && l2 < 8) || (l1 > 240 && l2 > 240))
    return true;
  return Diff(l1, l2) < 31 && Diff(h1, h2) < 31 && Diff(s1, s2) < 41;
}

void RemoveThemedArrow(TBitmap& ABitmap, const RECT& AArea) {
  const int right = std::min<int>(AArea.right, ABitmap.Width());
  auto pixel = [&](int AX, int AY) {
    GdiFlush();
    const uint32_t bgra = static_cast<const uint32_t*>(ABitmap.ScanLine(AY))[AX];
    return TColor(((bgra & 0xFF) << 16) | (bgra & 0xFF00) | ((bgra >> 16) & 0xFF));
  };
  for (int y = std::max<int>(AArea.top, 0); y < std::min<int>(AArea.bottom, ABitmap.Height());
       ++y) {
    int x = std::max<int>(AArea.left, 0);
    while (x < right) {
      const TColor reference = pixel(x, y);
      ++x;
      while (x < right && XPSimilarColors(pixel(x, y), reference))
        ++x;
      if (x >= right)
        break;
      const int start = x;
      const TColor first = pixel(start, y);
      ++x;
      while (x < right && XPSimilarColors(pixel(x, y), first))
        ++x;
      if (x >= right)
        break;
      GradientFillRect(ABitmap.Canvas().Handle(), RECT{start, y, x, y + 1},
                       start > 0 ? pixel(start - 1, y) : first, pixel(x, y), true);
    }
  }
  GdiFlush();
}

// ===========================================================================
// TXPEditButton

TXPEditButton::TXPEditButton(TComponent* AOwner) : TGraphicControl(AOwner) {
  SetBounds(Left(), Top(), 19, Height());
}

TXPCustomButtonEdit* TXPEditButton::Edit() const {
  return dynamic_cast<TXPCustomButtonEdit*>(Parent());
}

int TXPEditButton::DrawState() const {
  if (!Enabled())
    return 4;
  if (FDown)
    return 3;
  if (FHot)
    return 2;
  return 1;
}

void TXPEditButton::Paint() {
  if (TXPCustomButtonEdit* edit = Edit())
    edit->PaintButton(this);
}

void TXPEditButton::EnabledChanged() {
  FDown = false;
  TGraphicControl::EnabledChanged();
}

void TXPEditButton::MouseEnter(intptr_t AMarker) {
  TGraphicControl::MouseEnter(AMarker);
  FHot = true;
  Invalidate();
  if (TXPCustomButtonEdit* edit = Edit())
    edit->Invalidate();
}

void TXPEditButton::MouseLeave(intptr_t AMarker) {
  TGraphicControl::MouseLeave(AMarker);
  FHot = false;
  Invalidate();
  if (TXPCustomButtonEdit* edit = Edit())
    edit->Invalidate();
}

void TXPEditButton::MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  TGraphicControl::MouseDown(AButton, AShift, AX, AY);
  if (AButton != mbLeft || !Enabled())
    return;
  FDown = true;
  FTracking = true;
  if (TXPCustomButtonEdit* edit = Edit())
    if (!edit->Focused() && edit->CanFocus())
      edit->SetFocus();
  Invalidate();
}

void TXPEditButton::MouseMove(TShiftState AShift, int AX, int AY) {
  TGraphicControl::MouseMove(AShift, AX, AY);
  if (!FTracking)
    return;
  const bool inside = AX >= 0 && AY >= 0 && AX < Width() && AY < Height();
  if (inside != FDown) {
    FDown = inside;
    Invalidate();
  }
}

void TXPEditButton::MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  if (AButton == mbLeft) {
    FTracking = false;
    FDown = false;
    Invalidate();
  }
  TGraphicControl::MouseUp(AButton, AShift, AX, AY);
}

void TXPEditButton::Click() {
  TGraphicControl::Click();
  if (TXPCustomButtonEdit* edit = Edit())
    edit->ButtonClicked(this);
}

// ===========================================================================
// TXPCustomButtonEdit

TXPCustomButtonEdit::TXPCustomButtonEdit(TComponent* AOwner)
    : TCustomXPEdit(AOwner), FButtonImage(std::make_unique<TAlphaBitmap>()),
      FDropDownGlyph(std::make_unique<TAlphaBitmap>()) {
  SetWidth(145);
  auto repaintWhenCustom = [this](TGraphic*) {
    if (FLookAndFeel == xlfCustom)
      Invalidate();
  };
  FButtonImage->OnChange = repaintWhenCustom;
  FDropDownGlyph->OnChange = repaintWhenCustom;
  FButton = new TXPEditButton(this);
  FButton->SetParent(this);
  FButton->SetAlign(alRight);
  FButton->SetVisible(true);
}

TXPCustomButtonEdit::~TXPCustomButtonEdit() {
  FButtonImage->OnChange = nullptr;
  FDropDownGlyph->OnChange = nullptr;
}

void TXPCustomButtonEdit::SetShowButton(bool AValue) {
  if (AValue == FShowButton)
    return;
  FShowButton = AValue;
  UpdateButtonVisibility();
  UpdateVisibleCounts();
  Invalidate();
}

void TXPCustomButtonEdit::SetHotColor(TColor AValue) {
  if (AValue == FHotColor)
    return;
  FHotColor = AValue;
  Invalidate();
}

void TXPCustomButtonEdit::SetButtonImage(const TAlphaBitmap* AValue) {
  FButtonImage->Assign(AValue);
}

void TXPCustomButtonEdit::SetDropDownGlyph(const TAlphaBitmap* AValue) {
  FDropDownGlyph->Assign(AValue);
}

void TXPCustomButtonEdit::AdjustButtonsArea(RECT& ARect) {
  InflateRect(&ARect, -FFrameSize, -FFrameSize);
}

void TXPCustomButtonEdit::AdjustClientRect(RECT& ARect) {
  TCustomXPEdit::AdjustClientRect(ARect);
  AdjustButtonsArea(ARect);
}

bool TXPCustomButtonEdit::IsButtonVisible(TXPEditButton* AButton, bool AShow) {
  if (!AShow)
    return false;
  return !FTransparent || ComponentState().Contains(csDesigning) || Focused() || FHot ||
         (AButton && AButton->Hot());
}

void TXPCustomButtonEdit::UpdateButtonVisibility() {
  // Only a change: showing a shown graphic child repaints it, and this runs
  // from the edit's own painting.
  if (!FButton)
    return;
  const bool visible = IsButtonVisible(FButton, FShowButton);
  if (visible != FButton->Visible())
    FButton->SetVisible(visible);
}

void TXPCustomButtonEdit::GetButtonDetails(TXPEditButton* AButton, TXPThemeDetails& ADetails) {
  ADetails.ClassName = L"COMBOBOX";
  ADetails.Part = 1; // the drop-down button
  ADetails.State = AButton ? AButton->DrawState() : 1;
}

void TXPCustomButtonEdit::ClickButton() {
  if (FShowButton && FButton)
    FButton->Click();
}

void TXPCustomButtonEdit::ButtonClicked(TXPEditButton* /*AButton*/) {
  if (OnButtonClick)
    OnButtonClick(this);
  else
    ButtonClickDefault();
}

void TXPCustomButtonEdit::GetButtonsRect(RECT& ARect) {
  ARect = RECT{0, 0, 0, 0};
  if (FShowButton && FButton)
    ARect = FButton->BoundsRect();
}

void TXPCustomButtonEdit::GetTextRect(RECT& ARect) {
  TCustomXPEdit::GetTextRect(ARect);
  if (FShowButton && FButton)
    ARect.right -= FButton->Width() - FBorderSize + 1;
}

int TXPCustomButtonEdit::GetAutoWidth() {
  int width = TCustomXPEdit::GetAutoWidth();
  if (FButton && FButton->Visible())
    width += FButton->Width();
  return width;
}

void TXPCustomButtonEdit::SetTransparent(bool AValue) {
  TCustomXPEdit::SetTransparent(AValue);
  if (HandleAllocated())
    UpdateButtonVisibility();
}

void TXPCustomButtonEdit::EnabledChanged() {
  TCustomXPEdit::EnabledChanged();
  if (FButton)
    FButton->SetEnabled(Enabled());
}

void TXPCustomButtonEdit::MouseEnter(intptr_t AMarker) {
  TCustomXPEdit::MouseEnter(AMarker);
  UpdateButtonVisibility();
  Invalidate();
}

void TXPCustomButtonEdit::MouseLeave(intptr_t AMarker) {
  TCustomXPEdit::MouseLeave(AMarker);
  UpdateButtonVisibility();
  Invalidate();
}

bool TXPCustomButtonEdit::WantSpecialKey(WPARAM AKey) {
  if (TCustomXPEdit::WantSpecialKey(AKey))
    return true;
  return AKey == VK_RETURN && (FWantsReturn || GetKeyState(VK_CONTROL) < 0);
}

void TXPCustomButtonEdit::KeyDown(WORD& AKey, TShiftState AShift) {
  TCustomXPEdit::KeyDown(AKey, AShift);
  if (AKey == VK_RETURN && (AShift & ssCtrl)) {
    ClickButton();
    AKey = 0;
  }
}

void TXPCustomButtonEdit::WndProc(TMessage& AMessage) {
  TCustomXPEdit::WndProc(AMessage);
  if (AMessage.Msg == WM_SETFOCUS || AMessage.Msg == WM_KILLFOCUS)
    UpdateButtonVisibility();
}

void TXPCustomButtonEdit::Paint() {
  if (FTransparent) {
    UpdateButtonVisibility();
  } else {
    TCanvas& canvas = Canvas();
    TColor line = Enabled() ? clXPWindow : clXPBtnHighlight;
    if (UsingColors())
      line = Color();
    if (FButton && FButton->Visible()) {
      canvas.Pen().SetStyle(TPenStyle::Solid);
      canvas.Pen().SetWidth(1);
      canvas.Pen().SetColor(line);
      for (int i = 1; i <= FBorderSize; ++i) {
        const int x = FButton->Left() - i;
        canvas.MoveTo(x, FFrameSize);
        canvas.LineTo(x, ClientHeight() - FFrameSize);
      }
    }
    RECT buttons;
    GetButtonsRect(buttons);
    if (!IsRectEmpty(&buttons)) {
      canvas.Brush().SetStyle(TBrushStyle::Solid);
      canvas.Brush().SetColor(PaintBackColor());
      canvas.FillRect(buttons);
    }
  }
  TCustomXPEdit::Paint();
}

void TXPCustomButtonEdit::PaintButton(TXPEditButton* AButton) {
  TCanvas& canvas = AButton->Canvas();
  HDC dc = canvas.Handle();
  RECT rect{0, 0, AButton->Width(), AButton->Height()};
  const int state = AButton->DrawState();
  const int theme = GetXPThemeState();
  if (FLookAndFeel == xlfCustom) {
    rect.top += FFrameSize;
    rect.right -= FFrameSize;
    rect.bottom -= FFrameSize;
    auto parentBackground = [&] {
      POINT origin{};
      OffsetViewportOrgEx(dc, -AButton->Left(), -AButton->Top(), &origin);
      ::PaintParentBackground(this, dc);
      SetViewportOrgEx(dc, origin.x, origin.y, nullptr);
    };
    if (!FButtonImage->Empty()) {
      parentBackground();
      const int cell = FButtonImage->Height() / 4;
      const RECT source{0, (state - 1) * cell, FButtonImage->Width(), state * cell};
      const RECT inner{3, 3, FButtonImage->Width() - 3, cell - 3};
      DrawSkinBitmap(rect, inner, source, dc, FButtonImage->Handle(), true);
    } else if (FBackImage->Empty()) {
      const TColor frame = FFrameColor != clDefault ? FFrameColor : kXPEditFrameColor;
      TColor fill = Color(), outline = frame;
      if (state == 2 || state == 3)
        fill = FHotColor != clDefault ? FHotColor : Color();
      else if (state == 4) {
        fill = clXPBtnHighlight;
        outline = clXPBtnShadow;
      }
      canvas.Pen().SetStyle(TPenStyle::Solid);
      canvas.Pen().SetWidth(1);
      canvas.Pen().SetColor(outline);
      canvas.Brush().SetStyle(TBrushStyle::Solid);
      canvas.Brush().SetColor(fill);
      canvas.Rectangle(rect);
    } else {
      parentBackground();
    }
  } else if (theme == xtsClassic) {
    UINT flags = DFCS_BUTTONPUSH | DFCS_ADJUSTRECT;
    if (state == 4)
      flags |= DFCS_INACTIVE;
    else if (state == 3)
      flags |= DFCS_PUSHED;
    else if (state == 2)
      flags |= DFCS_HOT;
    RECT face = rect;
    DrawFrameControl(dc, &face, DFC_BUTTON, flags);
  } else if (theme == xtsEmulated) {
    if (TBitmap* face = TXPEditResourceManager::ComboButton(); face && !face->Empty()) {
      const RECT source{0, (state - 1) * 16, 15, state * 16};
      DrawSkinBitmap(rect, RECT{3, 3, 12, 13}, source, dc, *face, false);
    }
  } else {
    const int width = rect.right, height = rect.bottom;
    if (width > 0 && height > 0) {
      TBitmap face(width, height, TPixelFormat::pf32bit);
      const bool vista = IsWindowsVistaOrLater();
      face.Canvas().Brush().SetStyle(TBrushStyle::Solid);
      face.Canvas().Brush().SetColor(vista ? clBlack : PaintBackColor());
      face.Canvas().FillRect(rect);
      TXPThemeDetails details;
      GetButtonDetails(AButton, details);
      DrawXPThemeDetails(HandleAllocated() ? Handle() : nullptr, details, face.Canvas().Handle(),
                         rect);
      RECT inner = rect;
      InflateRect(&inner, -2, -2);
      RemoveThemedArrow(face, inner);
      if (vista)
        TransparentMaskBlt(dc, 0, 0, width, height, face.Canvas().Handle(), 0, 0, clBlack);
      else
        BitBlt(dc, 0, 0, width, height, face.Canvas().Handle(), 0, 0, SRCCOPY);
    }
  }
  PaintButtonGlyph(AButton, rect);
}

void TXPCustomButtonEdit::PaintButtonGlyph(TXPEditButton* AButton, const RECT& ARect) {
  if (FLookAndFeel == xlfCustom)
    return;
  auto* glyph = dynamic_cast<TBitmap*>(GetButtonGlyph(AButton));
  if (IsGraphicEmpty(glyph))
    return;
  const int cell = glyph->Width() / 2, height = glyph->Height();
  int x = (ARect.left + ARect.right - cell) / 2, y = (ARect.top + ARect.bottom - height) / 2;
  if (AButton->DrawState() == 3 && GetXPThemeState() == xtsClassic) {
    ++x;
    ++y;
  }
  const TColor key = glyph->Canvas().Pixel(0, height - 1);
  TransparentMaskBlt(AButton->Canvas().Handle(), x, y, cell, height, glyph->Canvas().Handle(),
                     Enabled() ? 0 : cell, 0, key);
}
