#include "xp-up-down.h"

#include "resource-ledger.h"
#include "seams.h"
#include "xp-graphics.h"
#include "xp-speed-button.h"
#include "xp-system.h"

#include <windows.h>

namespace {

// The theme's spin parts; their states run normal, hot, pressed, disabled
// from 1.
constexpr int kSpinUp = 1;
constexpr int kSpinDown = 2;
constexpr int kSpinUpHorz = 3;
constexpr int kSpinDownHorz = 4;

// Cells of the emulated look's sprites.
constexpr int kSpinButtonCellWidth = 15;
constexpr int kSpinButtonCellHeight = 16;
constexpr RECT kSpinButtonInner{4, 4, 11, 12};

// The flat look's colours.
constexpr TColor kFlatPressedFace = 0xB59285;
constexpr TColor kFlatHotFace = 0xD2BDB6;
constexpr TColor kFlatFrame = 0x6A240A;

bool PointIn(const RECT& ARect, int AX, int AY) {
  return AX >= ARect.left && AX < ARect.right && AY >= ARect.top && AY < ARect.bottom;
}

// An alpha image's area blended onto ADC at (AX, AY).
void BlendCell(HDC ADC, TAlphaImage& AImage, int AX, int AY, const RECT& ASource) {
  if (!AImage.Handle())
    return;
  HDC memory = CreateCompatibleDC(ADC);
  if (!memory)
    return;
  LedgerTake(TResourceKind::DeviceContext, memory);
  HGDIOBJ old = SelectObject(memory, AImage.Handle());
  AlphaBlendImage(ADC, AX, AY, ASource.right - ASource.left, ASource.bottom - ASource.top, memory,
                  ASource.left, ASource.top);
  SelectObject(memory, old);
  DeleteDC(memory);
  LedgerGive(TResourceKind::DeviceContext, memory);
}

void DrawThemedParentBackground(HWND AWindow, HDC ADC, const RECT& ARect) {
  TSystemLibrary uxtheme(L"uxtheme.dll");
  using TDrawParent = HRESULT(WINAPI*)(HWND, HDC, const RECT*);
  if (auto draw = uxtheme.Function<TDrawParent>("DrawThemeParentBackground"))
    draw(AWindow, ADC, &ARect);
}

} // namespace

TXPUpDown::TXPUpDown(TComponent* AOwner) : TXPCustomControl(AOwner) {
  SetTabStop(false);
  ApplyKindSize();
}

TXPUpDown::~TXPUpDown() = default;

void TXPUpDown::ApplyKindSize() {
  if (FKind == udkHorizontal)
    SetBounds(Left(), Top(), 32, 16);
  else
    SetBounds(Left(), Top(), 16, 32);
}

void TXPUpDown::SetFlat(bool AValue) {
  if (AValue == FFlat)
    return;
  FFlat = AValue;
  ApplyKindSize();
  Invalidate();
}

void TXPUpDown::SetKind(TUpDownKind AValue) {
  if (AValue == FKind)
    return;
  FKind = AValue;
  ApplyKindSize();
  Invalidate();
}

void TXPUpDown::SetUpEnabled(bool AValue) {
  if (AValue == FUpEnabled)
    return;
  FUpEnabled = AValue;
  FUpPressed = false;
  Invalidate();
}

void TXPUpDown::SetDownEnabled(bool AValue) {
  if (AValue == FDownEnabled)
    return;
  FDownEnabled = AValue;
  FDownPressed = false;
  Invalidate();
}

RECT TXPUpDown::UpRect() const {
  const int w = Width(), h = Height();
  if (FKind == udkVertical)
    return {0, 0, w, h / 2};
  return {0, 0, w / 2, h};
}

RECT TXPUpDown::DownRect() const {
  const int w = Width(), h = Height();
  if (FKind == udkVertical)
    return {0, h - h / 2, w, h};
  return {w - w / 2, 0, w, h};
}

void TXPUpDown::StepUp() {
  if (!FUpEnabled)
    return;
  UpClick();
}

void TXPUpDown::StepDown() {
  if (!FDownEnabled)
    return;
  DownClick();
}

void TXPUpDown::UpClick() {
  if (OnUpClick)
    OnUpClick(this);
}

void TXPUpDown::DownClick() {
  if (OnDownClick)
    OnDownClick(this);
}

void TXPUpDown::Click() {
  TXPCustomControl::Click();
  if (FIsUpTimer)
    StepUp();
  else
    StepDown();
}

void TXPUpDown::MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  if (AButton != mbLeft) {
    TXPCustomControl::MouseDown(AButton, AShift, AX, AY);
    return;
  }
  FMouseDown = true;
  TXPCustomControl::MouseDown(AButton, AShift, AX, AY);
  UpdateState(AX, AY);
  if (!FTimer) {
    FTimer = std::make_unique<TTimer>(nullptr);
    FTimer->SetEnabled(false);
    FTimer->SetOnTimer([this](TTimer*) { TimerTick(); });
  }
  FTimer->SetInterval(kUpDownRepeatDelay);
  FTimer->SetEnabled(true);
  FIsUpTimer = PointIn(UpRect(), AX, AY);
}

void TXPUpDown::MouseMove(TShiftState AShift, int AX, int AY) {
  if (FMouseDown && FTimer)
    FTimer->SetEnabled(PointIn(FIsUpTimer ? UpRect() : DownRect(), AX, AY));
  TXPCustomControl::MouseMove(AShift, AX, AY);
  UpdateState(AX, AY);
}

void TXPUpDown::MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  if (AButton != mbLeft) {
    TXPCustomControl::MouseUp(AButton, AShift, AX, AY);
    return;
  }
  if (FTimer)
    FTimer->SetEnabled(false);
  FMouseDown = false;
  FIsUpTimer = PointIn(UpRect(), AX, AY);
  TXPCustomControl::MouseUp(AButton, AShift, AX, AY);
  UpdateState(AX, AY);
}

void TXPUpDown::MouseEnter(intptr_t AMarker) {
  FMouseInside = true;
  TXPCustomControl::MouseEnter(AMarker);
}

void TXPUpDown::MouseLeave(intptr_t AMarker) {
  FMouseInside = false;
  TXPCustomControl::MouseLeave(AMarker);
  UpdateState(-1, -1);
}

void TXPUpDown::TimerTick() {
  if (!FTimer)
    return;
  FTimer->SetInterval(kUpDownRepeatInterval);
  if (FIsUpTimer)
    StepUp();
  else
    StepDown();
}

void TXPUpDown::UpdateState(int AX, int AY) {
  const RECT up = UpRect(), down = DownRect();
  const bool upHot = PointIn(up, AX, AY);
  const bool upPressed = upHot && FMouseDown;
  const bool downHot = PointIn(down, AX, AY);
  const bool downPressed = downHot && FMouseDown;
  const bool upChanged = upHot != FUpHot || upPressed != FUpPressed;
  const bool downChanged = downHot != FDownHot || downPressed != FDownPressed;
  FUpHot = upHot;
  FUpPressed = upPressed;
  FDownHot = downHot;
  FDownPressed = downPressed;
  if (!HandleAllocated())
    return;
  if (upChanged)
    InvalidateRect(Handle(), &up, FALSE);
  if (downChanged)
    InvalidateRect(Handle(), &down, FALSE);
}

void TXPUpDown::EnabledChanged() {
  TXPCustomControl::EnabledChanged();
  Invalidate();
}

void TXPUpDown::Paint() {
  HDC dc = Canvas().Handle();
  FillSolidRect(dc, ClientRect(), GetParentBackColor(this));
  DrawButton(UpRect(), FUpPressed, FUpHot, true);
  DrawButton(DownRect(), FDownPressed, FDownHot, false);
}

void TXPUpDown::DrawButton(const RECT& ARect, bool APressed, bool AHot, bool AIsUp) {
  const bool buttonEnabled = AIsUp ? FUpEnabled : FDownEnabled;
  int state = 0;
  if (!Enabled() || !buttonEnabled)
    state = 3;
  else if (APressed)
    state = 2;
  else if (AHot)
    state = 1;
  if (FFlat) {
    DrawFlatButton(ARect, APressed, AHot, AIsUp, buttonEnabled);
    return;
  }
  switch (GetXPThemeState()) {
  case xtsEmulated:
    DrawEmulatedButton(ARect, state, AIsUp);
    break;
  case xtsThemed:
    DrawThemedButton(ARect, state, AIsUp);
    break;
  default:
    DrawClassicButton(ARect, APressed, AHot, AIsUp, buttonEnabled);
    break;
  }
}

void TXPUpDown::DrawFlatButton(const RECT& ARect, bool APressed, bool AHot, bool AIsUp,
                               bool AButtonEnabled) {
  HDC dc = Canvas().Handle();
  TColor face = clBtnFace;
  if (!Enabled())
    face = clXPBtnHighlight;
  else if (APressed && AButtonEnabled)
    face = kFlatPressedFace;
  else if (AHot && AButtonEnabled)
    face = kFlatHotFace;
  FillSolidRect(dc, ARect, face);
  if (Enabled() && AButtonEnabled && (APressed || AHot))
    FrameSolidRect(dc, ARect, kFlatFrame);

  TColor arrow = APressed ? clWindow : clWindowText;
  if (!Enabled() || !AButtonEnabled)
    arrow = clXPBtnShadow;
  Canvas().Pen().SetColor(arrow);
  const int d = AIsUp ? -1 : 1;
  // One figure, turned for a vertical control: a two-part stem and three
  // shrinking strokes toward the arrow's point.
  auto segment = [&](int AAlong0, int AAcross0, int AAlong1, int AAcross1) {
    if (FKind == udkHorizontal) {
      Canvas().MoveTo(AAlong0, AAcross0);
      Canvas().LineTo(AAlong1, AAcross1);
    } else {
      Canvas().MoveTo(AAcross0, AAlong0);
      Canvas().LineTo(AAcross1, AAlong1);
    }
  };
  int along0, across0;
  if (FKind == udkHorizontal) {
    along0 = (ARect.left + ARect.right - 4) / 2 + (AIsUp ? 3 : 0);
    across0 = (ARect.top + ARect.bottom - 7) / 2;
  } else {
    along0 = (ARect.top + ARect.bottom - 4) / 2 + (AIsUp ? 3 : 0);
    across0 = (ARect.left + ARect.right - 7) / 2;
  }
  segment(along0, across0, along0, across0 + 3);
  segment(along0, across0 + 4, along0, across0 + 7);
  for (int f = 1; f <= 3; ++f)
    segment(along0 + d * f, across0 + f, along0 + d * f, across0 + 7 - f);
}

void TXPUpDown::DrawClassicButton(const RECT& ARect, bool APressed, bool AHot, bool AIsUp,
                                  bool AButtonEnabled) {
  HDC dc = Canvas().Handle();
  UINT flags = DFCS_BUTTONPUSH;
  if (AHot)
    flags |= DFCS_HOT;
  if (APressed)
    flags |= DFCS_PUSHED;
  if (!Enabled() || !AButtonEnabled)
    flags |= DFCS_INACTIVE;
  RECT frame = ARect;
  DrawFrameControl(dc, &frame, DFC_BUTTON, flags);
  int x = (ARect.left + ARect.right - 8) / 2;
  int y = (ARect.top + ARect.bottom - 8) / 2;
  if (APressed) {
    ++x;
    ++y;
  }
  TBitmap& arrows = TSpeedResourceManager::StdArrows();
  const int column = Enabled() ? 0 : 8;
  const int row = 8 * ((AIsUp ? 1 : 0) + (FKind == udkHorizontal ? 2 : 0));
  TransparentMaskBlt(dc, x, y, 8, 8, arrows.Canvas().Handle(), column, row, TColor(0xFF00FF));
}

void TXPUpDown::DrawEmulatedButton(const RECT& ARect, int AState, bool AIsUp) {
  HDC dc = Canvas().Handle();
  const bool vertical = FKind == udkVertical;
  TAlphaImage& button = vertical ? (AIsUp ? TSpeedResourceManager::XPSpinBtnUp()
                                          : TSpeedResourceManager::XPSpinBtnDown())
                                 : (AIsUp ? TSpeedResourceManager::XPSpinBtnLeft()
                                          : TSpeedResourceManager::XPSpinBtnRight());
  if (button.Handle() && ARect.right > ARect.left && ARect.bottom > ARect.top) {
    const RECT source{0, AState * kSpinButtonCellHeight, kSpinButtonCellWidth,
                      (AState + 1) * kSpinButtonCellHeight};
    DrawSkinBitmap(ARect, kSpinButtonInner, source, dc, button.Handle(), true);
  }
  TAlphaImage& glyph = vertical ? (AIsUp ? TSpeedResourceManager::XPSpinGlyphUp()
                                         : TSpeedResourceManager::XPSpinGlyphDown())
                                : (AIsUp ? TSpeedResourceManager::XPSpinGlyphLeft()
                                         : TSpeedResourceManager::XPSpinGlyphRight());
  const int w = vertical ? 7 : 6;
  const int h = vertical ? 6 : 7;
  BlendCell(dc, glyph, (ARect.left + ARect.right - w) / 2, (ARect.top + ARect.bottom - h) / 2,
            RECT{0, AState * h, w, (AState + 1) * h});
}

void TXPUpDown::DrawThemedButton(const RECT& ARect, int AState, bool AIsUp) {
  HDC dc = Canvas().Handle();
  int part;
  if (FKind == udkVertical)
    part = AIsUp ? kSpinUp : kSpinDown;
  else
    part = AIsUp ? kSpinDownHorz : kSpinUpHorz;
  DrawThemedParentBackground(Handle(), dc, ARect);
  DrawThemePart(Handle(), L"SPIN", part, 1 + AState, dc, ARect);
}
