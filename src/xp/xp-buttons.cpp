#include "xp-buttons.h"

#include "application.h"
#include "labels.h"
#include "resource-ledger.h"
#include "seams.h"
#include "xp-colors.h"
#include "xp-strings.h"

#include <windows.h>

#include <array>

namespace {

constexpr std::array<TBitBtnKindInfo, 11> kKinds{{
    {L"", mrNone, nullptr, false, false},
    {L"OK", mrOk, L"BBOK", true, false},
    {L"Cancel", mrCancel, L"BBCANCEL", false, true},
    {L"&Help", mrNone, L"BBHELP", false, false},
    {L"&Yes", mrYes, L"BBYES", true, false},
    {L"&No", mrNo, L"BBNO", false, true},
    {L"&Close", mrNone, L"BBCLOSE", false, false},
    {L"Abort", mrAbort, L"BBABORT", false, false},
    {L"&Retry", mrRetry, L"BBRETRY", false, false},
    {L"&Ignore", mrIgnore, L"BBIGNORE", false, false},
    {L"&All", mrAll, L"BBALL", false, false},
}};

// The push-button sprite: rows of 20 x 23 cells, normal, hot, pressed,
// disabled and defaulted, each drawn in nine parts around its inner area.
constexpr int kPushCellWidth = 20;
constexpr int kPushCellHeight = 23;
constexpr RECT kPushInner{8, 8, 11, 14};

// --- shared images ---------------------------------------------------------------

struct TSharedImages {
  std::array<std::unique_ptr<TBitmap>, kKinds.size()> Glyphs;
  std::unique_ptr<TAlphaImage> PushButton;
  std::unique_ptr<TAlphaImage> CheckBox;
  std::unique_ptr<TAlphaImage> RadioButton;
  HICON Shield = nullptr;

  ~TSharedImages() {
    if (Shield) {
      DestroyIcon(Shield);
      LedgerGive(TResourceKind::Icon, Shield);
    }
  }
};

std::unique_ptr<TSharedImages>& SharedImagesSlot() {
  static std::unique_ptr<TSharedImages> images;
  return images;
}

// Everything at once on the first request: a missing image raises the
// loader's error and leaves nothing half made.
TSharedImages& SharedImages() {
  auto& slot = SharedImagesSlot();
  if (slot)
    return *slot;
  auto images = std::make_unique<TSharedImages>();
  for (size_t i = 0; i < kKinds.size(); ++i) {
    images->Glyphs[i] = std::make_unique<TBitmap>();
    if (const wchar_t* name = kKinds[i].Glyph) {
      HINSTANCE module = FindResourceModule(name, RT_BITMAP);
      images->Glyphs[i]->LoadFromResourceName(module ? module : ModuleInstance(), name);
      // The kind glyphs show their bottom-left colour as the button's face.
      images->Glyphs[i]->SetTransparent(true);
    }
  }
  images->PushButton = std::make_unique<TAlphaImage>(L"XPPUSHBUTTON");
  images->CheckBox = std::make_unique<TAlphaImage>(L"XPCHECKBOX");
  images->RadioButton = std::make_unique<TAlphaImage>(L"XPRADIOBUTTON");
  if (IsWindowsVistaOrLater()) {
    images->Shield = GetStockIconHandle(kShieldStockIconId, false);
    if (images->Shield)
      LedgerTake(TResourceKind::Icon, images->Shield);
  }
  slot = std::move(images);
  return *slot;
}

bool PointIn(const RECT& ARect, int AX, int AY) {
  return AX >= ARect.left && AX < ARect.right && AY >= ARect.top && AY < ARect.bottom;
}

RECT Shrunk(RECT ARect, int ABy) {
  InflateRect(&ARect, -ABy, -ABy);
  return ARect;
}

} // namespace

const TBitBtnKindInfo& BitBtnKindInfo(TBitBtnKind AKind) {
  return kKinds[size_t(AKind) < kKinds.size() ? size_t(AKind) : 0];
}

// ===========================================================================
// TXPButtonResourceManager

TBitmap& TXPButtonResourceManager::BitBtnGlyph(TBitBtnKind AKind) {
  return *SharedImages().Glyphs[size_t(AKind) < kKinds.size() ? size_t(AKind) : 0];
}
TAlphaImage& TXPButtonResourceManager::PushButton() {
  return *SharedImages().PushButton;
}
TAlphaImage& TXPButtonResourceManager::CheckBox() {
  return *SharedImages().CheckBox;
}
TAlphaImage& TXPButtonResourceManager::RadioButton() {
  return *SharedImages().RadioButton;
}
HICON TXPButtonResourceManager::ShieldIcon() {
  return SharedImages().Shield;
}
bool TXPButtonResourceManager::Loaded() {
  return SharedImagesSlot() != nullptr;
}
void TXPButtonResourceManager::FreeImages() {
  SharedImagesSlot().reset();
}

// ===========================================================================
// TWinXPCustomButtonControl

TWinXPCustomButtonControl::TWinXPCustomButtonControl(TComponent* AOwner)
    : TXPCustomControl(AOwner) {
  SetTabStop(true);
}

void TWinXPCustomButtonControl::SetPressed(bool AValue) {
  if (AValue == FPressed)
    return;
  FPressed = AValue;
  Invalidate();
}

void TWinXPCustomButtonControl::SetLookAndFeel(TXPLookAndFeel AValue) {
  if (AValue == FLookAndFeel)
    return;
  FLookAndFeel = AValue;
  Invalidate();
}

void TWinXPCustomButtonControl::SetWordWrap(bool AValue) {
  if (AValue == FWordWrap)
    return;
  FWordWrap = AValue;
  if (HandleAllocated())
    RecreateWnd();
  Invalidate();
}

void TWinXPCustomButtonControl::CreateParams(TCreateParams& AParams) {
  TXPCustomControl::CreateParams(AParams);
  if (FWordWrap)
    AParams.Style |= BS_MULTILINE;
}

void TWinXPCustomButtonControl::PressAt(int /*AX*/, int /*AY*/) {
  FMouseDown = true;
  SetPressed(true);
}

void TWinXPCustomButtonControl::TrackAt(int AX, int AY) {
  if (FMouseDown)
    SetPressed(PointIn(ClientRect(), AX, AY));
}

void TWinXPCustomButtonControl::Release() {
  FMouseDown = false;
  SetPressed(false);
}

void TWinXPCustomButtonControl::MouseDown(TMouseButton AButton, TShiftState AShift, int AX,
                                          int AY) {
  TXPCustomControl::MouseDown(AButton, AShift, AX, AY);
  if (AButton == mbLeft && !FSpaceDown)
    PressAt(AX, AY);
}

void TWinXPCustomButtonControl::MouseMove(TShiftState AShift, int AX, int AY) {
  TXPCustomControl::MouseMove(AShift, AX, AY);
  TrackAt(AX, AY);
}

void TWinXPCustomButtonControl::MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  if (AButton == mbLeft && !FSpaceDown)
    Release();
  TXPCustomControl::MouseUp(AButton, AShift, AX, AY);
}

void TWinXPCustomButtonControl::MouseEnter(intptr_t AMarker) {
  TXPCustomControl::MouseEnter(AMarker);
  if (!FHot) {
    FHot = true;
    Invalidate();
  }
}

void TWinXPCustomButtonControl::MouseLeave(intptr_t AMarker) {
  TXPCustomControl::MouseLeave(AMarker);
  if (FHot) {
    FHot = false;
    Invalidate();
  }
}

void TWinXPCustomButtonControl::EnabledChanged() {
  TXPCustomControl::EnabledChanged();
  Invalidate();
}

void TWinXPCustomButtonControl::TextChanged() {
  TXPCustomControl::TextChanged();
  Invalidate();
}

void TWinXPCustomButtonControl::WndProc(TMessage& AMessage) {
  switch (AMessage.Msg) {
  case WM_LBUTTONDOWN:
  case WM_LBUTTONDBLCLK:
    // A press first takes the focus; the focusing itself must not click
    // (a radio button checks itself when focused from the keyboard).
    if (!Focused() && !IsDesigning()) {
      if (CanFocus()) {
        FSpaceDown = true;
        try {
          SetFocus();
        } catch (const EInvalidOperation&) {
        }
        FSpaceDown = false;
      }
      if (!Focused()) {
        AMessage.Result = 0;
        return;
      }
    }
    break;
  case WM_KEYDOWN:
    if (!FMouseDown) {
      SetPressed(AMessage.WParam == VK_SPACE);
      FSpaceDown = FPressed;
    }
    break;
  case WM_KEYUP: {
    const bool click = !FMouseDown && FPressed;
    FSpaceDown = false;
    SetPressed(false);
    TXPCustomControl::WndProc(AMessage);
    if (click)
      DoClick();
    return;
  }
  case WM_SETFOCUS:
    TXPCustomControl::WndProc(AMessage);
    Invalidate();
    return;
  case WM_KILLFOCUS:
    TXPCustomControl::WndProc(AMessage);
    FSpaceDown = false;
    SetPressed(false);
    Invalidate();
    return;
  case CN_COMMAND:
    // BN_CLICKED; dropped while a press is taking the focus.
    if (HIWORD(AMessage.WParam) == 0 && !FSpaceDown)
      DoClick();
    AMessage.Result = 0;
    return;
  default:
    break;
  }
  TXPCustomControl::WndProc(AMessage);
}

// ===========================================================================
// TWinXPCustomButton

TWinXPCustomButton::TWinXPCustomButton(TComponent* AOwner)
    : TWinXPCustomButtonControl(AOwner), FCustomImage(std::make_unique<TAlphaBitmap>()) {
  SetColor(clBtnFace);
  SetParentColor(false);
  SetBounds(Left(), Top(), 75, 25);
  FCustomImage->OnChange = [this](TGraphic*) {
    if (FLookAndFeel == xlfCustom)
      Invalidate();
  };
}

TWinXPCustomButton::~TWinXPCustomButton() {
  FCustomImage->OnChange = nullptr;
}

void TWinXPCustomButton::SetDefault(bool AValue) {
  if (AValue == FDefault)
    return;
  FDefault = AValue;
  if (!HandleAllocated()) {
    FActive = AValue;
    return;
  }
  TCustomForm* form = GetParentForm(this);
  if (!form) {
    FActive = AValue;
    Invalidate();
    return;
  }
  TWinControl* active = form->ActiveControl();
  form->FocusChanged(active);
  form->ForEachDescendant([active](TControl* AControl) { AControl->FocusChanged(active); });
}

void TWinXPCustomButton::SetStyle(TXPButtonStyle AValue) {
  if (AValue == FStyle)
    return;
  FStyle = AValue;
  Invalidate();
}

void TWinXPCustomButton::SetHotColor(TColor AValue) {
  if (AValue == FHotColor)
    return;
  FHotColor = AValue;
  Invalidate();
}
void TWinXPCustomButton::SetPressedColor(TColor AValue) {
  if (AValue == FPressedColor)
    return;
  FPressedColor = AValue;
  Invalidate();
}
void TWinXPCustomButton::SetHotFrameColor(TColor AValue) {
  if (AValue == FHotFrameColor)
    return;
  FHotFrameColor = AValue;
  Invalidate();
}
void TWinXPCustomButton::SetFrameColor(TColor AValue) {
  if (AValue == FFrameColor)
    return;
  FFrameColor = AValue;
  Invalidate();
}

void TWinXPCustomButton::SetCustomImage(TGraphic* AValue) {
  FCustomImage->Assign(AValue);
}

void TWinXPCustomButton::CreateWnd() {
  TWinXPCustomButtonControl::CreateWnd();
  FActive = FDefault;
}

void TWinXPCustomButton::FocusChanged(TWinControl* AFocused) {
  TWinXPCustomButtonControl::FocusChanged(AFocused);
  const bool active = dynamic_cast<TWinXPCustomButton*>(AFocused) ? AFocused == this : FDefault;
  if (active != FActive) {
    FActive = active;
    Invalidate();
  }
}

void TWinXPCustomButton::Click() {
  if (Enabled())
    if (TCustomForm* form = GetParentForm(this))
      form->SetModalResult(FModalResult);
  TWinXPCustomButtonControl::Click();
}

bool TWinXPCustomButton::DialogChar(wchar_t AChar) {
  if (!Enabled())
    return false;
  const bool matches = IsAccel(AChar, Caption()) || (AChar == VK_RETURN && FActive) ||
                       (AChar == VK_ESCAPE && FCancel);
  if (!matches || !CanFocus())
    return false;
  SetFocus();
  if (Focused())
    Click();
  return true;
}

void TWinXPCustomButton::WndProc(TMessage& AMessage) {
  if (AMessage.Msg == CM_DIALOGKEY) {
    if (Enabled() &&
        ((AMessage.WParam == VK_RETURN && FActive) || (AMessage.WParam == VK_ESCAPE && FCancel))) {
      Click();
      AMessage.Result = 1;
    } else {
      AMessage.Result = 0;
    }
    return;
  }
  TWinXPCustomButtonControl::WndProc(AMessage);
}

int TWinXPCustomButton::GetThemeDetail(bool AEnabled, bool APressed, bool AHot) {
  if (!AEnabled)
    return tbPushButtonDisabled;
  if (APressed)
    return tbPushButtonPressed;
  if (AHot)
    return tbPushButtonHot;
  if (FActive)
    return tbPushButtonDefaulted;
  return tbPushButtonNormal;
}

bool TWinXPCustomButton::UsesClassicOffset() {
  return GetXPThemeState() != xtsThemed;
}

void TWinXPCustomButton::Paint() {
  const RECT client = ClientRect();
  const TColor color = Enabled() ? Font().Color() : clXPGrayText;
  if (FLookAndFeel == xlfCustom || FStyle == xpbsWindows)
    DrawButtonFace(color, client, nullptr, Enabled(), FPressed, FHot, true);
  else
    DrawOfficeFace(client, color);
  if (Focused()) {
    TCanvas& canvas = Canvas();
    canvas.Brush().SetStyle(TBrushStyle::Clear);
    SetTextColor(canvas.Handle(), RGB(0, 0, 0));
    SetBkColor(canvas.Handle(), RGB(255, 255, 255));
    canvas.DrawFocusRect(Shrunk(client, 3));
    canvas.Brush().SetStyle(TBrushStyle::Solid);
  }
}

void TWinXPCustomButton::DrawOfficeFace(const RECT& ARect, TColor AColor) {
  TCanvas& canvas = Canvas();
  canvas.Brush().SetStyle(TBrushStyle::Solid);
  if (Enabled()) {
    canvas.Pen().SetColor(FPressed || FHot ? FHotFrameColor : FFrameColor);
    canvas.Brush().SetColor(FPressed ? FPressedColor : FHot ? FHotColor : Color());
  } else {
    canvas.Pen().SetColor(clXPBtnShadow);
    canvas.Brush().SetColor(clXPBtnHighlight);
  }
  RECT r = ARect;
  canvas.Rectangle(r);
  r = Shrunk(r, 1);
  if (FActive) {
    canvas.Rectangle(r);
    r = Shrunk(r, 1);
  }
  DrawContent(r, AColor);
}

void TWinXPCustomButton::DrawButtonFace(TColor AColor, const RECT& ARect, const RECT* AClip,
                                        bool AEnabled, bool APressed, bool AHot, bool AContent) {
  TCanvas& canvas = Canvas();
  HDC dc = canvas.Handle();
  HRGN saved = nullptr;
  if (AClip)
    ClipToRect(dc, *AClip, saved);
  const int detail = GetThemeDetail(AEnabled, APressed, AHot);
  if (FLookAndFeel == xlfNative) {
    switch (GetXPThemeState()) {
    case xtsEmulated: {
      ::PaintParentBackground(this, dc, &ARect);
      TAlphaImage& sprite = TXPButtonResourceManager::PushButton();
      const int row = detail - tbPushButtonNormal;
      if (sprite.Handle())
        DrawSkinBitmap(ARect, kPushInner,
                       RECT{0, row * kPushCellHeight, kPushCellWidth, (row + 1) * kPushCellHeight},
                       dc, sprite.Handle(), true);
      break;
    }
    case xtsThemed:
      ::PaintParentBackground(this, dc, &ARect);
      DrawThemePart(Handle(), L"BUTTON", kButtonPartPushButton, detail - 1, dc, ARect);
      break;
    default: {
      RECT r = ARect;
      if (FActive) {
        canvas.Brush().SetStyle(TBrushStyle::Solid);
        canvas.Brush().SetColor(clWindowFrame);
        canvas.FrameRect(r);
        r = Shrunk(r, 1);
      }
      UINT state = DFCS_BUTTONPUSH | DFCS_ADJUSTRECT;
      if (APressed)
        state |= DFCS_PUSHED;
      if (!AEnabled)
        state |= DFCS_INACTIVE;
      DrawFrameControl(dc, &r, DFC_BUTTON, state);
      break;
    }
    }
  } else {
    ::PaintParentBackground(this, dc, &ARect);
    if (!FCustomImage->Empty()) {
      const int w = FCustomImage->Width(), h = FCustomImage->Height();
      // Six state cells along the image's longer side.
      const bool wide = w > h;
      const int cw = wide ? w / 6 : w, ch = wide ? h : h / 6;
      const int cell = detail - tbPushButtonNormal;
      const RECT source =
          wide ? RECT{cell * cw, 0, (cell + 1) * cw, ch} : RECT{0, cell * ch, cw, (cell + 1) * ch};
      if (cw > 0 && ch > 0)
        DrawSkinBitmap(ARect, RECT{4, 4, cw - 5, ch - 5}, source, dc, FCustomImage->Handle(), true);
    }
  }
  if (AContent)
    DrawContent(ARect, AColor);
  if (AClip)
    RestoreClipRgn(dc, saved);
}

void TWinXPCustomButton::DrawCaptionText(const RECT& ARect, TColor AColor) {
  if (Caption().empty())
    return;
  RECT text{};
  const RECT inner = Shrunk(ClientRect(), 3);
  IntersectRect(&text, &inner, &ARect);
  if (FPressed && GetXPThemeState() == xtsClassic)
    OffsetRect(&text, 1, 1);
  TXPDrawCaptionFlags flags = 0;
  if (!Enabled() && FStyle == xpbsWindows && FLookAndFeel == xlfNative)
    flags |= dcfSunkenDisabled;
  if (FWordWrap)
    flags |= dcfMultiline;
  if (SmoothDraw())
    flags |= dcfSmoothText;
  DrawXPCaption(Canvas(), text, Caption(), Font(), AColor, taCenter, tlCenter, flags, epNone, 100);
}

void TWinXPCustomButton::DrawContent(const RECT& ARect, TColor AColor) {
  DrawCaptionText(ARect, AColor);
}

// ===========================================================================
// TXPCustomBitBtn

TXPCustomBitBtn::TXPCustomBitBtn(TComponent* AOwner)
    : TWinXPCustomButton(AOwner), FGlyph(std::make_unique<TBitmap>()) {
  FGlyph->OnChange = [this](TGraphic*) { GlyphChanged(); };
}

TXPCustomBitBtn::~TXPCustomBitBtn() {
  FGlyph->OnChange = nullptr;
}

void TXPCustomBitBtn::SetGlyph(TGraphic* AValue) {
  FGlyph->Assign(AValue);
}

void TXPCustomBitBtn::GlyphChanged() {
  const int w = FGlyph->Width(), h = FGlyph->Height();
  if (h != 0 && w % h == 0 && w / h >= 1)
    FNumGlyphs = w / h;
  FModifiedGlyph = true;
  Invalidate();
}

void TXPCustomBitBtn::SetLayout(TButtonLayout AValue) {
  if (AValue == FLayout)
    return;
  FLayout = AValue;
  Invalidate();
}

void TXPCustomBitBtn::SetMargin(int AValue) {
  if (AValue == FMargin || AValue < -1)
    return;
  FMargin = AValue;
  Invalidate();
}

void TXPCustomBitBtn::SetSpacing(int AValue) {
  if (AValue == FSpacing)
    return;
  FSpacing = AValue;
  Invalidate();
}

void TXPCustomBitBtn::SetNumGlyphs(int AValue) {
  // A strip has at least one image.
  const int value = AValue < 1 ? 1 : AValue;
  if (value == FNumGlyphs)
    return;
  FNumGlyphs = value;
  FModifiedGlyph = true;
  Invalidate();
}

void TXPCustomBitBtn::SetShowShieldIcon(bool AValue) {
  if (AValue == FShowShieldIcon)
    return;
  FShowShieldIcon = AValue;
  Invalidate();
}

TBitBtnKind TXPCustomBitBtn::Kind() {
  if (FKind != bkCustom) {
    const TBitBtnKindInfo& row = BitBtnKindInfo(FKind);
    if (FDefault != row.Default || FCancel != row.Cancel || FModalResult != row.ModalResult ||
        FModifiedGlyph)
      FKind = bkCustom;
  }
  return FKind;
}

void TXPCustomBitBtn::SetKind(TBitBtnKind AValue) {
  if (AValue == FKind)
    return;
  if (AValue == bkCustom) {
    FKind = bkCustom;
    return;
  }
  const TBitBtnKindInfo& row = BitBtnKindInfo(AValue);
  SetDefault(row.Default);
  SetCancel(row.Cancel);
  if (!(ComponentState().Contains(csLoading) && !Caption().empty()))
    SetCaption(row.Caption);
  SetModalResult(row.ModalResult);
  SetGlyph(&TXPButtonResourceManager::BitBtnGlyph(AValue));
  SetNumGlyphs(2);
  FModifiedGlyph = false;
  FKind = AValue;
}

void TXPCustomBitBtn::Click() {
  const TBitBtnKind kind = Kind();
  if (kind == bkHelp) {
    for (TControl* control = this; control; control = control->Parent())
      if (control->HelpContext() != 0) {
        Application()->HelpContext(int(control->HelpContext()));
        return;
      }
  } else if (kind == bkClose) {
    if (TCustomForm* form = GetParentForm(this)) {
      form->Close();
      return;
    }
  }
  TWinXPCustomButton::Click();
}

void TXPCustomBitBtn::WndProc(TMessage& AMessage) {
  if (AMessage.Msg == kBCMSetShield) {
    SetShowShieldIcon(AMessage.LParam != 0);
    AMessage.Result = 1;
    return;
  }
  TWinXPCustomButton::WndProc(AMessage);
}

void TXPCustomBitBtn::DrawContent(const RECT& ARect, TColor AColor) {
  TCanvas& canvas = Canvas();
  HDC dc = canvas.Handle();
  const bool enabled = Enabled();
  const bool shield = FGlyph->Empty() && FShowShieldIcon && IsWindowsVistaOrLater();
  POINT size{0, 0};
  if (!FGlyph->Empty())
    size = {FGlyph->Width() / FNumGlyphs, FGlyph->Height()};
  else if (shield)
    size = {GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON)};
  TXPDrawCaptionFlags flags = 0;
  if (FWordWrap)
    flags |= dcfMultiline;
  if (SmoothDraw())
    flags |= dcfSmoothText;
  const TXPButtonPlacement placement =
      CalcXPButtonLayout(canvas, ARect, Font(), Caption(), size, FLayout, FMargin, FSpacing, flags);
  int index = enabled ? (FPressed ? 2 : 0) : 1;
  if (index >= FNumGlyphs)
    index = 0;
  POINT at = placement.GlyphPos;
  if (UsesClassicOffset() && FPressed) {
    ++at.x;
    ++at.y;
  }
  if (shield) {
    if (HICON icon = TXPButtonResourceManager::ShieldIcon()) {
      if (enabled) {
        DrawIconEx(dc, at.x, at.y, icon, size.x, size.y, 0, nullptr, DI_NORMAL);
      } else {
        TBitmap veil(size.x, size.y, TPixelFormat::pf32bit);
        veil.Canvas().Brush().SetColor(clBtnFace);
        veil.Canvas().FillRect(RECT{0, 0, size.x, size.y});
        DrawIconEx(veil.Canvas().Handle(), 0, 0, icon, size.x, size.y, 0, nullptr, DI_NORMAL);
        AlphaBlendConst(dc, at.x, at.y, size.x, size.y, veil.Canvas().Handle(), 0, 0, 128, 0);
      }
    }
  } else if (!FGlyph->Empty()) {
    HRGN saved = nullptr;
    ClipToRect(dc, RECT{at.x, at.y, at.x + size.x, at.y + size.y}, saved);
    const int x = at.x - index * size.x;
    if (enabled && FGlyph->Transparent()) {
      canvas.Draw(x, at.y, FGlyph.get());
    } else {
      TAlphaBitmap copy;
      copy.Assign(FGlyph.get());
      if (!enabled && FNumGlyphs == 1)
        copy.SetMonochrome(true);
      copy.DrawBit(canvas, x, at.y);
    }
    RestoreClipRgn(dc, saved);
  }
  DrawCaptionText(placement.TextBounds, AColor);
}
