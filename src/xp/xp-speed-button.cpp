#include "xp-speed-button.h"

#include "bitmap-effects.h"
#include "resource-ledger.h"
#include "seams.h"
#include "xp-animation.h"
#include "xp-graphics.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cwctype>

namespace {

// Tool-bar parts of the theme; their states run normal, hot, pressed,
// disabled, checked, hot-checked from 1.
constexpr int kToolbarButton = 1;
constexpr int kToolbarSplitButton = 3;
constexpr int kToolbarSplitDropDown = 4;

// Rows of the speed-button sprites.
constexpr int kSpriteRowHeight = 23;

bool PointIn(const RECT& ARect, int AX, int AY) {
  return AX >= ARect.left && AX < ARect.right && AY >= ARect.top && AY < ARect.bottom;
}

// The accelerator of a caption: the character after a single "&".
wchar_t AcceleratorOf(const std::wstring& ACaption) {
  for (size_t i = 0; i + 1 < ACaption.size(); ++i) {
    if (ACaption[i] != L'&')
      continue;
    if (ACaption[i + 1] == L'&') {
      ++i;
      continue;
    }
    return ACaption[i + 1];
  }
  return 0;
}

// --- shared images -------------------------------------------------------------------

enum TSharedImage {
  siSpeedButton,
  siSpeedSplit,
  siSpeedDropDown,
  siSpinBtnDown,
  siSpinBtnLeft,
  siSpinBtnRight,
  siSpinBtnUp,
  siSpinGlyphDown,
  siSpinGlyphUp,
  siSpinGlyphLeft,
  siSpinGlyphRight,
  siCount
};

constexpr std::array<const wchar_t*, siCount> kSharedImageNames{
    L"XPSPEEDBTN",    L"XPSPEEDSPLIT",    L"XPSPEEDDROPDOWN", L"XPSPINBTNDOWN",
    L"XPSPINBTNLEFT", L"XPSPINBTNRIGHT",  L"XPSPINBTNUP",     L"XPSPINGLYPHDOWN",
    L"XPSPINGLYPHUP", L"XPSPINGLYPHLEFT", L"XPSPINGLYPHRIGHT"};

struct TSharedImages {
  std::array<std::unique_ptr<TAlphaImage>, siCount> Images;
  std::unique_ptr<TBitmap> StdArrows;
};

std::unique_ptr<TSharedImages>& SharedImagesSlot() {
  static std::unique_ptr<TSharedImages> images;
  return images;
}

// All images at once on the first request: a missing one raises the
// loader's error and leaves nothing half loaded.
TSharedImages& SharedImages() {
  auto& slot = SharedImagesSlot();
  if (!slot) {
    auto images = std::make_unique<TSharedImages>();
    for (size_t i = 0; i < siCount; ++i) {
      images->Images[i] = std::make_unique<TAlphaImage>();
      images->Images[i]->LoadFromResource(kSharedImageNames[i]);
    }
    images->StdArrows = std::make_unique<TBitmap>();
    images->StdArrows->LoadFromResourceName(FindResourceModule(L"STDARROWS", RT_BITMAP),
                                            L"STDARROWS");
    slot = std::move(images);
  }
  return *slot;
}

void DrawSprite(TAlphaImage& AImage, int ACellWidth, int ARow, const RECT& AInner, HDC ADC,
                const RECT& ADest) {
  if (!AImage.Handle() || ADest.right <= ADest.left || ADest.bottom <= ADest.top)
    return;
  const RECT source{0, ARow * kSpriteRowHeight, ACellWidth, (ARow + 1) * kSpriteRowHeight};
  DrawSkinBitmap(ADest, AInner, source, ADC, AImage.Handle(), true);
}

} // namespace

// ===========================================================================
// TSpeedResourceManager

TAlphaImage& TSpeedResourceManager::SpeedButton() {
  return *SharedImages().Images[siSpeedButton];
}
TAlphaImage& TSpeedResourceManager::SpeedSplit() {
  return *SharedImages().Images[siSpeedSplit];
}
TAlphaImage& TSpeedResourceManager::SpeedDropDown() {
  return *SharedImages().Images[siSpeedDropDown];
}
TAlphaImage& TSpeedResourceManager::XPSpinBtnDown() {
  return *SharedImages().Images[siSpinBtnDown];
}
TAlphaImage& TSpeedResourceManager::XPSpinBtnLeft() {
  return *SharedImages().Images[siSpinBtnLeft];
}
TAlphaImage& TSpeedResourceManager::XPSpinBtnRight() {
  return *SharedImages().Images[siSpinBtnRight];
}
TAlphaImage& TSpeedResourceManager::XPSpinBtnUp() {
  return *SharedImages().Images[siSpinBtnUp];
}
TAlphaImage& TSpeedResourceManager::XPSpinGlyphDown() {
  return *SharedImages().Images[siSpinGlyphDown];
}
TAlphaImage& TSpeedResourceManager::XPSpinGlyphUp() {
  return *SharedImages().Images[siSpinGlyphUp];
}
TAlphaImage& TSpeedResourceManager::XPSpinGlyphLeft() {
  return *SharedImages().Images[siSpinGlyphLeft];
}
TAlphaImage& TSpeedResourceManager::XPSpinGlyphRight() {
  return *SharedImages().Images[siSpinGlyphRight];
}
TBitmap& TSpeedResourceManager::StdArrows() {
  return *SharedImages().StdArrows;
}
bool TSpeedResourceManager::Loaded() {
  return SharedImagesSlot() != nullptr;
}
void TSpeedResourceManager::FreeImages() {
  SharedImagesSlot().reset();
}

// ===========================================================================
// TXPBaseCustomSpeedButton

TXPBaseCustomSpeedButton::TXPBaseCustomSpeedButton(TComponent* AOwner)
    : TXPCustomTransparentControl(AOwner) {
  SetBounds(Left(), Top(), 24, 24);
  // The button makes its own clicks: a release inside after a press.
  FControlStyle &= ~uint32_t(csSetCaption | csClickEvents);
  SetParentFont(true);
  SetParentColor(true);
  SetTabStop(false);
}

TXPBaseCustomSpeedButton::~TXPBaseCustomSpeedButton() {
  // No tick may reach a button that is going.
  FFadeTimer.reset();
  if (FDropdownMenu)
    FDropdownMenu->RemoveFreeNotification(this);
}

TTimer* TXPBaseCustomSpeedButton::FadeTimer() const {
  return FFadeTimer && FFadeTimer->Enabled() ? FFadeTimer.get() : nullptr;
}

// --- properties -----------------------------------------------------------------

void TXPBaseCustomSpeedButton::SetMargin(int AValue) {
  if (AValue == FMargin)
    return;
  FMargin = AValue;
  Invalidate();
}

void TXPBaseCustomSpeedButton::SetSpacing(int AValue) {
  if (AValue == FSpacing)
    return;
  FSpacing = AValue;
  Invalidate();
}

void TXPBaseCustomSpeedButton::SetLayout(TXPButtonLayout AValue) {
  if (AValue == FLayout)
    return;
  FLayout = AValue;
  Invalidate();
}

void TXPBaseCustomSpeedButton::SetStyle(TXPSpeedStyle AValue) {
  if (AValue == FStyle)
    return;
  FStyle = AValue;
  Invalidate();
}

void TXPBaseCustomSpeedButton::SetDropdownMenu(TPopupMenu* AValue) {
  if (AValue == FDropdownMenu)
    return;
  if (FDropdownMenu)
    FDropdownMenu->RemoveFreeNotification(this);
  FDropdownMenu = AValue;
  if (FDropdownMenu)
    FDropdownMenu->FreeNotification(this);
}

void TXPBaseCustomSpeedButton::SetKind(TXPSpeedKind AValue) {
  if (AValue == FKind)
    return;
  FKind = AValue;
  StopFade();
  FFadeMode = xfmNone;
  RebuildVeil();
  Invalidate();
}

void TXPBaseCustomSpeedButton::SetDown(bool AValue) {
  // Outside a group a button never stays down.
  const bool value = FGroupIndex == 0 ? false : AValue;
  if (value == FDown)
    return;
  if (FDown && !value && !FAllowAllUp)
    return;
  SetDownState(value);
}

void TXPBaseCustomSpeedButton::SetAllowAllUp(bool AValue) {
  if (AValue == FAllowAllUp)
    return;
  FAllowAllUp = AValue;
  UpdateExclusive();
}

void TXPBaseCustomSpeedButton::SetGroupIndex(int AValue) {
  if (AValue == FGroupIndex)
    return;
  FGroupIndex = AValue;
  UpdateExclusive();
}

void TXPBaseCustomSpeedButton::SetFlat(bool AValue) {
  if (AValue == FFlat)
    return;
  FFlat = AValue;
  Invalidate();
}

// --- state --------------------------------------------------------------------

int TXPBaseCustomSpeedButton::GetStateIndex() const {
  if (IsDesigning())
    return FDown ? 4 : 1;
  if (!Enabled())
    return 3;
  if (FDown)
    return FHot ? 5 : 4;
  if (FState == bsDown || FState == bsExclusive)
    return 2;
  if (!FHot && FFlat)
    return 0;
  return 1;
}

int TXPBaseCustomSpeedButton::GetArrowStateIndex() const {
  if (FDropdownDown && Enabled() && !IsDesigning())
    return 2;
  return GetStateIndex();
}

void TXPBaseCustomSpeedButton::SetDownState(bool AValue) {
  FDown = AValue;
  if (AValue) {
    if (FState == bsUp)
      Invalidate();
    FState = bsExclusive;
    UpdateExclusive();
  } else {
    FState = bsUp;
    Invalidate();
  }
}

void TXPBaseCustomSpeedButton::UpdateDown(bool AValue) {
  const bool target = FGroupIndex != 0 ? AValue : false;
  if (target != FDown && (!FDown || FAllowAllUp))
    SetDownState(target);
}

void TXPBaseCustomSpeedButton::UpdateExclusive() {
  if (FGroupIndex == 0 || !Parent() || ComponentState().Contains(csLoading))
    return;
  TWinControl* parent = Parent();
  // The list may change under a receiver's feet: walk a copy.
  std::vector<TControl*> siblings;
  for (int i = 0; i < parent->ControlCount(); ++i)
    siblings.push_back(parent->Controls(i));
  for (TControl* sibling : siblings)
    if (parent->ContainsControl(sibling))
      sibling->ButtonPressed(FGroupIndex, this);
}

void TXPBaseCustomSpeedButton::ButtonPressed(int AGroupIndex, TControl* AButton) {
  TXPCustomTransparentControl::ButtonPressed(AGroupIndex, AButton);
  if (AGroupIndex != FGroupIndex || AButton == this)
    return;
  auto* sender = dynamic_cast<TXPBaseCustomSpeedButton*>(AButton);
  if (!sender || !sender->FDown || !FDown)
    return;
  FDown = false;
  FState = bsUp;
  AppearanceChanged(1);
}

bool TXPBaseCustomSpeedButton::CursorInside() {
  if (!HandleAllocated())
    return false;
  POINT cursor{};
  if (!GetCursorPos(&cursor))
    return false;
  HWND under = WindowFromPoint(cursor);
  if (under != Handle())
    return false;
  const POINT local = ScreenToClient(cursor);
  return PointIn(ClientRect(), local.x, local.y);
}

void TXPBaseCustomSpeedButton::UpdateHot() {
  if (!Enabled())
    return;
  if (CursorInside())
    MouseEnter(kSpeedHotMarker);
  else
    MouseLeave(kSpeedHotMarker);
}

void TXPBaseCustomSpeedButton::AppearanceChanged(int /*AReason*/) {
  Invalidate();
}

// --- notifications -------------------------------------------------------------

void TXPBaseCustomSpeedButton::MouseEnter(intptr_t AMarker) {
  TXPCustomTransparentControl::MouseEnter(AMarker);
  if (!FHot && Enabled() && DragMode() != dmAutomatic && !GetCapture()) {
    FHot = true;
    Invalidate();
  }
  if (AMarker != kSpeedHotMarker)
    StartFade(xfmFadeIn);
}

void TXPBaseCustomSpeedButton::MouseLeave(intptr_t AMarker) {
  TXPCustomTransparentControl::MouseLeave(AMarker);
  if (FHot && Enabled() && !FDragging) {
    FHot = false;
    Invalidate();
  }
  if (AMarker != kSpeedHotMarker)
    StartFade(xfmFadeOut);
}

void TXPBaseCustomSpeedButton::EnabledChanged() {
  TXPCustomTransparentControl::EnabledChanged();
  FHot = Enabled() && CursorInside();
  StopFade();
  FFadeMode = xfmNone;
  AppearanceChanged(0);
}

void TXPBaseCustomSpeedButton::ColorChanged() {
  TXPCustomTransparentControl::ColorChanged();
  AppearanceChanged(0);
}

void TXPBaseCustomSpeedButton::TextChanged() {
  TXPCustomTransparentControl::TextChanged();
  Invalidate();
}

bool TXPBaseCustomSpeedButton::DialogChar(wchar_t AChar) {
  const wchar_t accelerator = AcceleratorOf(Caption());
  if (!accelerator || std::towupper(accelerator) != std::towupper(AChar))
    return false;
  if (!Enabled() || !Visible() || !Parent() || !Parent()->Showing())
    return false;
  ButtonClick();
  return true;
}

void TXPBaseCustomSpeedButton::Notification(TComponent* AComponent, TOperation AOperation) {
  TXPCustomTransparentControl::Notification(AComponent, AOperation);
  if (AOperation == opRemove && AComponent == FDropdownMenu)
    FDropdownMenu = nullptr;
}

void TXPBaseCustomSpeedButton::Resize() {
  TXPCustomTransparentControl::Resize();
  if (Transparent())
    AppearanceChanged(2);
}

void TXPBaseCustomSpeedButton::WndProc(TMessage& AMessage) {
  TXPCustomTransparentControl::WndProc(AMessage);
  if (AMessage.Msg == WM_WINDOWPOSCHANGED)
    AppearanceChanged(3);
  else if (AMessage.Msg == WM_SYSCOLORCHANGE)
    AppearanceChanged(0);
}

// --- fading ---------------------------------------------------------------------

void TXPBaseCustomSpeedButton::StopFade() {
  if (FFadeTimer)
    FFadeTimer->SetEnabled(false);
}

void TXPBaseCustomSpeedButton::StartFade(TXPFadeMode AMode) {
  StopFade();
  if (FKind != xskFading || !Enabled() || ComponentState().Contains(csLoading))
    return;
  FFadeMode = AMode;
  FFadeStep = 0;
  // A finished timer was only stopped in its last tick; it goes now, from
  // outside any tick of its own.
  FFadeTimer = std::make_unique<TTimer>(nullptr);
  FFadeTimer->SetInterval(kSpeedFadeInterval);
  FFadeTimer->SetOnTimer([this](TTimer*) { FadeTick(); });
  FFadeTimer->SetEnabled(true);
}

void TXPBaseCustomSpeedButton::FadeTick() {
  if (!FFadeTimer)
    return;
  FFadeTimer->SetEnabled(false);
  ++FFadeStep;
  Invalidate();
  if (FFadeStep < kSpeedFadeSteps)
    FFadeTimer->SetEnabled(true);
}

// --- mouse ---------------------------------------------------------------------

void TXPBaseCustomSpeedButton::MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  TXPCustomTransparentControl::MouseDown(AButton, AShift, AX, AY);
  if (AButton != mbLeft || !Enabled())
    return;
  if (FStyle == xssDropDown && AX >= ClientWidth() - kSpeedDropDownWidth) {
    ShowDropDown();
    return;
  }
  if (!FDown) {
    FState = bsDown;
    AppearanceChanged(1);
  }
  FDragging = true;
}

void TXPBaseCustomSpeedButton::MouseMove(TShiftState AShift, int AX, int AY) {
  TXPCustomTransparentControl::MouseMove(AShift, AX, AY);
  if (!FDragging && !FHot)
    UpdateHot();
}

void TXPBaseCustomSpeedButton::MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  TXPCustomTransparentControl::MouseUp(AButton, AShift, AX, AY);
  if (AButton != mbLeft || !FDragging)
    return;
  FDragging = false;
  const bool inside = PointIn(ClientRect(), AX, AY);
  if (!CanStayDown()) {
    if (!FDown)
      FState = bsUp;
    FHot = false;
  } else if (FGroupIndex == 0) {
    FState = bsUp;
    FHot = false;
  } else if (inside) {
    UpdateDown(!(FAllowAllUp && FDown));
  } else {
    FState = FDown ? bsExclusive : bsUp;
  }
  AppearanceChanged(1);
  // The press's capture ends with the release; while it lasted, the button
  // under the cursor could not become hot again.
  constexpr TShiftState held = TShiftState(ssLeft | ssRight | ssMiddle);
  if (!(AShift & held) && HandleAllocated() && GetCapture() == Handle())
    ReleaseCapture();
  if (inside)
    ButtonClick();
  UpdateHot();
}

void TXPBaseCustomSpeedButton::ShowDropDown() {
  if (FDropdownDown)
    return;
  FDropdownDown = true;
  FHot = CursorInside();
  Repaint();
  struct TClose {
    TXPBaseCustomSpeedButton* Button;
    ~TClose() {
      Button->FDropdownDown = false;
      Button->FHot = Button->CursorInside();
      Button->Repaint();
    }
  } close{this};
  if (FDropdownMenu) {
    FDropdownMenu->SetPopupComponent(this);
    const POINT corner = ClientToScreen(POINT{0, Height()});
    FDropdownMenu->Popup(corner.x, corner.y);
  }
}

// --- painting -------------------------------------------------------------------

TXPDrawCaptionFlags TXPBaseCustomSpeedButton::GetCaptionFlags() {
  TXPDrawCaptionFlags flags = 0;
  if (!Enabled())
    flags |= dcfSunkenDisabled;
  if (SmoothDraw())
    flags |= dcfSmoothText;
  return flags;
}

void TXPBaseCustomSpeedButton::Paint() {
  HDC dc = Canvas().Handle();
  RECT client = ClientRect();
  if (Transparent())
    ::PaintParentBackground(this, dc);
  else
    FillSolidRect(dc, client, Color());

  RECT button = client;
  RECT arrow{};
  if (HasDropDownArrow()) {
    arrow = RECT{client.right - kSpeedDropDownWidth, client.top, client.right, client.bottom};
    button.right = arrow.left;
  }
  const bool pressed = FState == bsDown || FState == bsExclusive || FDropdownDown;
  if (FKind == xskStandard)
    DrawFrame(button, arrow, pressed);
  else
    DrawFadingFrame(arrow, pressed);
  const TColor color = Enabled() ? Font().Color() : clXPGrayText;
  DrawContent(button, color, UsesFadeVeil());
}

void TXPBaseCustomSpeedButton::DrawFrame(const RECT& AButton, const RECT& AArrow, bool APressed) {
  const bool arrowShown = HasDropDownArrow();
  switch (GetXPThemeState()) {
  case xtsEmulated:
    DrawEmulatedFrame(AButton, AArrow, arrowShown);
    break;
  case xtsThemed:
    DrawThemedFrame(AButton, AArrow, arrowShown);
    break;
  default:
    DrawClassicFrame(AButton, AArrow, arrowShown, APressed);
    break;
  }
}

void TXPBaseCustomSpeedButton::DrawEmulatedFrame(const RECT& AButton, const RECT& AArrow,
                                                 bool AArrowShown) {
  HDC dc = Canvas().Handle();
  if (!Transparent())
    ::PaintParentBackground(this, dc, &AButton);
  if (!AArrowShown) {
    DrawSprite(TSpeedResourceManager::SpeedButton(), 20, GetStateIndex(), RECT{4, 4, 16, 19}, dc,
               AButton);
    return;
  }
  DrawSprite(TSpeedResourceManager::SpeedSplit(), 24, GetStateIndex(), RECT{4, 4, 22, 19}, dc,
             AButton);
  DrawSprite(TSpeedResourceManager::SpeedDropDown(), 11, GetArrowStateIndex(), RECT{2, 4, 7, 19},
             dc, AArrow);
  DrawArrow(AArrow, Enabled() ? clBtnText : clBtnShadow, FDropdownDown, 0);
}

void TXPBaseCustomSpeedButton::DrawThemedFrame(const RECT& AButton, const RECT& AArrow,
                                               bool AArrowShown) {
  HDC dc = Canvas().Handle();
  DrawThemePart(Handle(), L"TOOLBAR", AArrowShown ? kToolbarSplitButton : kToolbarButton,
                1 + GetStateIndex(), dc, AButton);
  if (AArrowShown)
    DrawThemePart(Handle(), L"TOOLBAR", kToolbarSplitDropDown, 1 + GetArrowStateIndex(), dc,
                  AArrow);
}

void TXPBaseCustomSpeedButton::DrawClassicFrame(RECT AButton, const RECT& AArrow, bool AArrowShown,
                                                bool APressed) {
  HDC dc = Canvas().Handle();
  if (!FFlat && AArrowShown)
    ++AButton.right;
  if (!Enabled()) {
    FState = bsDisabled;
    FDragging = false;
  } else if (FState == bsDisabled) {
    FState = FDown && FGroupIndex != 0 ? bsExclusive : bsUp;
  }
  const bool designing = IsDesigning();
  if (FFlat) {
    if (APressed || (FHot && Enabled()) || designing) {
      RECT edge = AButton;
      UINT sides = BF_RECT | (Transparent() ? 0 : BF_MIDDLE);
      DrawEdge(dc, &edge, APressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, sides);
    } else if (!Transparent()) {
      FillSolidRect(dc, AButton, Color());
    }
  } else {
    RECT frame = AButton;
    DrawFrameControl(dc, &frame, DFC_BUTTON, DFCS_BUTTONPUSH | (APressed ? DFCS_PUSHED : 0));
  }
  if (FState == bsExclusive && !(FFlat && FHot)) {
    RECT inside = AButton;
    InflateRect(&inside, -1, -1);
    Canvas().Brush().SetBitmap(AllocPatternBitmap(clBtnFace, clBtnHighlight));
    Canvas().FillRect(inside);
    Canvas().Brush().SetBitmap(nullptr);
  }
  if (!AArrowShown)
    return;
  if (!FFlat) {
    RECT frame = AArrow;
    DrawFrameControl(dc, &frame, DFC_BUTTON, DFCS_BUTTONPUSH | (FDropdownDown ? DFCS_PUSHED : 0));
  } else if (FDropdownDown || FHot) {
    RECT edge = AArrow;
    DrawEdge(dc, &edge, FDropdownDown ? BDR_SUNKENOUTER : BDR_RAISEDINNER,
             BF_RECT | (Transparent() ? 0 : BF_MIDDLE));
  } else if (!Transparent()) {
    FillSolidRect(dc, AArrow, Color());
  }
  if (Enabled()) {
    DrawArrow(AArrow, clBtnText, FDropdownDown, 0);
  } else {
    DrawArrow(AArrow, clBtnHighlight, FDropdownDown, 1);
    DrawArrow(AArrow, clBtnShadow, FDropdownDown, 0);
  }
}

void TXPBaseCustomSpeedButton::DrawFadingFrame(const RECT& AArrow, bool /*APressed*/) {
  DrawDesignFrame(this);
  if (HasDropDownArrow())
    DrawArrow(AArrow, Enabled() ? clBtnText : clBtnShadow, FDropdownDown, 0);
}

void TXPBaseCustomSpeedButton::DrawArrow(const RECT& ARect, TColor AColor, bool APressed,
                                         int AOffset) {
  int cx = (ARect.left + ARect.right) / 2 + AOffset;
  int cy = (ARect.bottom - ARect.top) / 2 + AOffset;
  if (APressed && OffsetWhenPressed()) {
    ++cx;
    ++cy;
  }
  HDC dc = Canvas().Handle();
  // Rows of 5, 3 and 1 pixels, the widest on top.
  for (int row = 0; row < 3; ++row) {
    const int half = 2 - row;
    FillSolidRect(dc, RECT{cx - half, cy - 2 + row, cx + half + 1, cy - 1 + row}, AColor);
  }
}

TXPButtonPlacement TXPBaseCustomSpeedButton::CalcLayout(const RECT& ARect) {
  POINT glyph{0, 0};
  GetGlyphSize(glyph);
  return CalcXPButtonLayout(Canvas(), ARect, Font(), Caption(), glyph, FLayout, FMargin, FSpacing,
                            GetCaptionFlags());
}

void TXPBaseCustomSpeedButton::DrawContent(const RECT& ARect, TColor ATextColor,
                                           bool /*AFadeAllowed*/) {
  RECT area = ARect;
  InflateRect(&area, -1, -1);
  const int index = GetStateIndex();
  if (OffsetWhenPressed() && (index == 2 || index == 4 || index == 5))
    OffsetRect(&area, 1, 1);
  const TXPButtonPlacement placement = CalcLayout(area);
  POINT glyph{0, 0};
  if (GetGlyphSize(glyph))
    DrawGlyph(RECT{placement.GlyphPos.x, placement.GlyphPos.y, placement.GlyphPos.x + glyph.x,
                   placement.GlyphPos.y + glyph.y});
  RECT text{};
  if (!IntersectRect(&text, &placement.TextBounds, &area))
    return;
  TColor color = ATextColor;
  if (Enabled() && FKind == xskFading)
    color = FadeColor(color, FFadeMode, FFadeStep, FFadeStrength);
  if (!Caption().empty())
    DrawCaption(text, Caption(), color);
}

void TXPBaseCustomSpeedButton::DrawCaption(const RECT& ARect, const std::wstring& AText,
                                           TColor AColor) {
  DrawXPCaption(Canvas(), ARect, AText, Font(), AColor, taLeftJustify, tlCenter, GetCaptionFlags(),
                GetEllipsisPosition(), 100);
}

void TXPBaseCustomSpeedButton::DrawGlyphFaded(TCanvas& /*ACanvas*/, POINT /*APosition*/) {}

// ===========================================================================
// TXPCustomSpeedButton

TXPCustomSpeedButton::TXPCustomSpeedButton(TComponent* AOwner)
    : TXPBaseCustomSpeedButton(AOwner), FGlyph(std::make_unique<TAlphaBitmap>()) {
  FGlyph->OnChange = [this](TGraphic*) { GlyphChanged(); };
}

TXPCustomSpeedButton::~TXPCustomSpeedButton() {
  FGlyph->OnChange = nullptr;
}

void TXPCustomSpeedButton::SetGlyph(TGraphic* AValue) {
  FGlyph->Assign(AValue);
}

void TXPCustomSpeedButton::SetNumGlyphs(int AValue) {
  const int value = std::clamp(AValue, 1, 4);
  if (value == FNumGlyphs)
    return;
  FNumGlyphs = value;
  Invalidate();
}

void TXPCustomSpeedButton::Loaded() {
  TXPBaseCustomSpeedButton::Loaded();
  RebuildVeil();
}

void TXPCustomSpeedButton::GlyphChanged() {
  const int w = FGlyph->Width(), h = FGlyph->Height();
  if (h != 0 && w % h == 0 && w / h >= 1 && w / h <= 4)
    FNumGlyphs = w / h;
  RebuildVeil();
  AppearanceChanged(0);
}

void TXPCustomSpeedButton::RebuildVeil() {
  FVeilBitmap.reset();
  if (Kind() == xskFading && !FGlyph->Empty())
    FVeilBitmap.reset(CreateAlphaSilhouette(*FGlyph, clWhite));
}

bool TXPCustomSpeedButton::GetGlyphSize(POINT& ASize) {
  if (FGlyph->Empty()) {
    ASize = {0, 0};
    return false;
  }
  ASize = {FGlyph->Width() / FNumGlyphs, FGlyph->Height()};
  return true;
}

int TXPCustomSpeedButton::GetGlyphIndex() {
  const int state = Enabled() ? int(FState) : int(bsDisabled);
  return state < FNumGlyphs ? state : 0;
}

void TXPCustomSpeedButton::DrawGlyph(const RECT& ARect) {
  if (!Enabled())
    DrawGlyphImage(Canvas(), ARect, false);
  else if (Kind() == xskStandard)
    DrawGlyphImage(Canvas(), ARect, true);
  else
    DrawGlyphFaded(Canvas(), POINT{ARect.left, ARect.top});
}

void TXPCustomSpeedButton::DrawGlyphImage(TCanvas& ACanvas, const RECT& ARect, bool AEnabled) {
  POINT size{};
  if (!GetGlyphSize(size))
    return;
  if (FNumGlyphs >= 2) {
    const int index = AEnabled ? GetGlyphIndex() : (int(bsDisabled) < FNumGlyphs ? 1 : 0);
    FGlyph->DrawRect(ACanvas, RECT{index * size.x, 0, (index + 1) * size.x, size.y},
                     RECT{ARect.left, ARect.top, ARect.left + size.x, ARect.top + size.y});
    return;
  }
  if (AEnabled) {
    FGlyph->DrawBit(ACanvas, ARect.left, ARect.top);
    return;
  }
  // A single glyph turns grey when the button is disabled.
  TAlphaBitmap copy;
  copy.Assign(FGlyph.get());
  const int w = ARect.right - ARect.left, h = ARect.bottom - ARect.top;
  if (w > 0 && h > 0 && (w != copy.Width() || h != copy.Height()))
    copy.SetSize(w, h);
  copy.SetMonochrome(true);
  copy.DrawBit(ACanvas, ARect.left, ARect.top);
}

void TXPCustomSpeedButton::DrawGlyphFaded(TCanvas& ACanvas, POINT APosition) {
  POINT size{};
  if (!GetGlyphSize(size))
    return;
  DrawGlyphImage(ACanvas,
                 RECT{APosition.x, APosition.y, APosition.x + size.x, APosition.y + size.y}, true);
  if (!FVeilBitmap)
    return;
  int step = 0;
  if (FFadeMode == xfmFadeIn)
    step = FFadeStep;
  else if (FFadeMode == xfmFadeOut)
    step = kSpeedFadeSteps - FFadeStep;
  const int alpha = std::min(255, step * FadeStrength() * 4);
  if (alpha <= 0)
    return;
  // The veil holds the whole strip; only the cell in use is blended.
  const int index = FNumGlyphs >= 2 ? GetGlyphIndex() : 0;
  AlphaBlendConst(ACanvas.Handle(), APosition.x, APosition.y, size.x, size.y,
                  FVeilBitmap->Canvas().Handle(), index * size.x, 0, uint8_t(alpha), AC_SRC_ALPHA);
}
