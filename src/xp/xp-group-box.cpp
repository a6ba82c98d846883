#include "xp-group-box.h"

#include "forms.h"
#include "labels.h"
#include "seams.h"
#include "xp-buttons.h"
#include "xp-colors.h"
#include "xp-graphics.h"
#include "xp-strings.h"
#include "xp-system.h"

#include <windows.h>

#include <vector>

namespace {

// The emulated look's caption colour.
constexpr TColor kEmulatedCaptionColor = TColor(0xD54600);
// The strip repainted at a moved edge on resize.
constexpr int kResizeStrip = 5;
// The theme's group-box states.
constexpr int kGroupBoxNormal = 1;
constexpr int kGroupBoxDisabled = 2;

// The theme's text services for the group-box part; each answers false
// where the theme services are missing, so the caller draws the text itself.
class TThemeText {
public:
  explicit TThemeText(HWND AWindow) : FLibrary(L"uxtheme.dll") {
    auto open = FLibrary.Function<HANDLE(WINAPI*)(HWND, LPCWSTR)>("OpenThemeData");
    FClose = FLibrary.Function<HRESULT(WINAPI*)(HANDLE)>("CloseThemeData");
    if (open && FClose)
      FTheme = open(AWindow, L"BUTTON");
  }
  TThemeText(const TThemeText&) = delete;
  TThemeText& operator=(const TThemeText&) = delete;
  ~TThemeText() {
    if (FTheme)
      FClose(FTheme);
  }
  bool Extent(HDC ADC, int AState, const std::wstring& AText, SIZE& ASize) {
    using TExtent =
        HRESULT(WINAPI*)(HANDLE, HDC, int, int, LPCWSTR, int, DWORD, const RECT*, RECT*);
    auto extent = FLibrary.Function<TExtent>("GetThemeTextExtent");
    RECT r{};
    if (!FTheme || !extent ||
        FAILED(extent(FTheme, ADC, kButtonPartGroupBox, AState, AText.c_str(), int(AText.size()),
                      DT_LEFT | DT_SINGLELINE, nullptr, &r)))
      return false;
    ASize = SIZE{r.right - r.left, r.bottom - r.top};
    return true;
  }
  bool Draw(HDC ADC, int AState, const std::wstring& AText, const RECT& ARect) {
    using TDraw = HRESULT(WINAPI*)(HANDLE, HDC, int, int, LPCWSTR, int, DWORD, DWORD, const RECT*);
    auto draw = FLibrary.Function<TDraw>("DrawThemeText");
    return FTheme && draw &&
           SUCCEEDED(draw(FTheme, ADC, kButtonPartGroupBox, AState, AText.c_str(),
                          int(AText.size()), DT_LEFT | DT_SINGLELINE | DT_VCENTER, 0, &ARect));
  }

private:
  TSystemLibrary FLibrary;
  HRESULT(WINAPI* FClose)(HANDLE) = nullptr;
  HANDLE FTheme = nullptr;
};

RECT Grown(RECT ARect, int ADx, int ADy) {
  InflateRect(&ARect, ADx, ADy);
  return ARect;
}

} // namespace

TXPCustomGroupBox::TXPCustomGroupBox(TComponent* AOwner) : TXPCustomControl(AOwner) {
  FControlStyle = (FControlStyle | csAcceptsControls) & ~uint32_t(csParentBackground);
  SetParentColor(true);
  SetBounds(Left(), Top(), 185, 105);
}

void TXPCustomGroupBox::SetOptions(TXPGroupBoxOptions AValue) {
  if (AValue == FOptions)
    return;
  FOptions = AValue;
  if (GetXPThemeState() == xtsThemed)
    Invalidate();
}

void TXPCustomGroupBox::AdjustClientRect(RECT& ARect) {
  TXPCustomControl::AdjustClientRect(ARect);
  TBitmap scratch(1, 1);
  scratch.Canvas().SetFont(Font());
  ARect.top += scratch.Canvas().TextHeight(L"0");
  InflateRect(&ARect, -1, -1);
  if (Ctl3D())
    InflateRect(&ARect, -1, -1);
}

void TXPCustomGroupBox::CreateParams(TCreateParams& AParams) {
  TXPCustomControl::CreateParams(AParams);
  // The framework's window class redraws nothing on resize by itself.
  AParams.Style |= WS_CLIPCHILDREN;
}

void TXPCustomGroupBox::EnabledChanged() {
  TXPCustomControl::EnabledChanged();
  Invalidate();
  // The children hear of it; their own Enabled stays as it is.
  std::vector<TControl*> children;
  for (int i = 0; i < ControlCount(); ++i)
    children.push_back(Controls(i));
  for (TControl* child : children)
    if (ContainsControl(child))
      child->EnabledChanged();
}

void TXPCustomGroupBox::TextChanged() {
  TXPCustomControl::TextChanged();
  Invalidate();
  Realign();
}

void TXPCustomGroupBox::Ctl3DChanged() {
  TXPCustomControl::Ctl3DChanged();
  Invalidate();
  Realign();
}

bool TXPCustomGroupBox::DialogChar(wchar_t AChar) {
  if (!IsAccel(AChar, Caption()) || !CanFocus())
    return false;
  if (TWinControl* first = FindNextControl(nullptr, true, true))
    first->SetFocus();
  return true;
}

void TXPCustomGroupBox::WndProc(TMessage& AMessage) {
  TXPCustomControl::WndProc(AMessage);
  if (AMessage.Msg != WM_NCCALCSIZE || !AMessage.WParam)
    return;
  // Keep the pixels on resize, except a strip at each moved edge.
  auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(AMessage.LParam);
  const RECT newClient = params->rgrc[0];
  const RECT oldWindow = params->rgrc[1];
  RECT source = oldWindow;
  OffsetRect(&source, oldWindow.left - newClient.left, oldWindow.top - newClient.top);
  auto adjust = [](LONG& AEdge, LONG ANewEdge) {
    if (ANewEdge > AEdge)
      AEdge -= kResizeStrip;
    else if (ANewEdge < AEdge)
      AEdge = ANewEdge - kResizeStrip;
  };
  adjust(source.right, newClient.right);
  adjust(source.bottom, newClient.bottom);
  params->rgrc[2] = source;
  AMessage.Result = WVR_VALIDRECTS;
}

void TXPCustomGroupBox::EraseBackground(HDC ADC) {
  if (GetXPThemeState() != xtsThemed) {
    ::PaintParentBackground(this, ADC);
    return;
  }
  TCanvas canvas;
  canvas.SetHandle(ADC);
  PaintThemed(canvas);
  canvas.SetHandle(nullptr);
}

RECT TXPCustomGroupBox::CaptionGap(TCanvas& ACanvas, SIZE& ATextSize) {
  ACanvas.SetFont(Font());
  ATextSize = ACanvas.TextExtent(StripAccelChars(Caption()));
  if (Caption().empty())
    return RECT{0, 0, 0, 0};
  return RECT{8 - 4, 0, 8 + ATextSize.cx + 4, ATextSize.cy};
}

void TXPCustomGroupBox::DrawCaptionIn(TCanvas& ACanvas, const RECT& AGap, TColor AColor) {
  if (Caption().empty())
    return;
  const RECT text = Grown(AGap, -4, 0);
  DrawXPCaption(ACanvas, text, Caption(), Font(), AColor, taLeftJustify, tlCenter,
                SmoothDraw() ? dcfSmoothText : 0, epNone, 100);
}

void TXPCustomGroupBox::Paint() {
  TCanvas& canvas = Canvas();
  switch (GetXPThemeState()) {
  case xtsEmulated:
    PaintEmulated(canvas);
    break;
  case xtsThemed:
    PaintThemed(canvas);
    break;
  default:
    PaintClassic(canvas);
    break;
  }
}

void TXPCustomGroupBox::PaintClassic(TCanvas& ACanvas) {
  HDC dc = ACanvas.Handle();
  ::PaintParentBackground(this, dc);
  SIZE text{};
  const RECT gap = CaptionGap(ACanvas, text);
  const int h = ACanvas.TextHeight(L"0") / 2;
  const RECT client = ClientRect();
  HRGN saved = nullptr;
  if (!Caption().empty())
    ClipToRect(dc, gap, saved, true);
  ACanvas.Brush().SetStyle(TBrushStyle::Solid);
  ACanvas.Brush().SetColor(clBtnHighlight);
  ACanvas.FrameRect(RECT{client.left + 1, client.top + h + 1, client.right, client.bottom});
  ACanvas.Brush().SetColor(clBtnShadow);
  ACanvas.FrameRect(RECT{client.left, client.top + h, client.right - 1, client.bottom - 1});
  if (!Caption().empty())
    RestoreClipRgn(dc, saved);
  DrawCaptionIn(ACanvas, gap, Font().Color());
}

void TXPCustomGroupBox::PaintEmulated(TCanvas& ACanvas) {
  HDC dc = ACanvas.Handle();
  ::PaintParentBackground(this, dc);
  SIZE text{};
  const RECT gap = CaptionGap(ACanvas, text);
  const int L = 0, T = ACanvas.TextHeight(L"0") / 2, R = Width(), B = Height();
  HRGN saved = nullptr;
  if (!Caption().empty())
    ClipToRect(dc, gap, saved, true);
  // A frame whose corners are cut by two pixels.
  const std::vector<POINT> frame{{L + 2, T},     {R - 3, T},     {R - 3, T + 1}, {R - 2, T + 1},
                                 {R - 2, T + 2}, {R - 1, T + 2}, {R - 1, B - 3}, {R - 2, B - 3},
                                 {R - 2, B - 2}, {R - 3, B - 2}, {R - 3, B - 1}, {L + 2, B - 1},
                                 {L + 2, B - 2}, {L + 1, B - 2}, {L + 1, B - 3}, {L, B - 3},
                                 {L, T + 2},     {L + 1, T + 2}, {L + 1, T + 1}, {L + 2, T + 1},
                                 {L + 2, T}};
  ACanvas.Pen().SetStyle(TPenStyle::Solid);
  ACanvas.Pen().SetColor(clXPBtnShadow);
  ACanvas.Polyline(frame);
  if (!Caption().empty())
    RestoreClipRgn(dc, saved);
  DrawCaptionIn(ACanvas, gap, Enabled() ? kEmulatedCaptionColor : clXPBtnShadow);
}

void TXPCustomGroupBox::PaintThemed(TCanvas& ACanvas) {
  HDC dc = ACanvas.Handle();
  ACanvas.SetFont(Font());
  const int state = Enabled() ? kGroupBoxNormal : kGroupBoxDisabled;
  ::PaintParentBackground(this, dc);
  TThemeText theme(Handle());
  const std::wstring caption = StripAccelChars(Caption());
  // The theme measures with the font selected into the context.
  ACanvas.TextExtent(L"0");
  SIZE text{};
  if (!theme.Extent(dc, state, caption, text))
    text = ACanvas.TextExtent(caption);
  RECT client = ClientRect();
  client.top += text.cy / 2;
  RECT gap{0, 0, 0, 0};
  HRGN saved = nullptr;
  if (!Caption().empty()) {
    gap = RECT{8 - 4, 0, 8 + text.cx + 4, text.cy};
    ClipToRect(dc, gap, saved, true);
  }
  DrawThemePart(Handle(), L"BUTTON", kButtonPartGroupBox, state, dc, client);
  if (Caption().empty())
    return;
  RestoreClipRgn(dc, saved);
  if (FOptions & xgbIgnoreThemeFont) {
    DrawCaptionIn(ACanvas, gap, Font().Color());
    return;
  }
  ACanvas.TextExtent(L"0");
  SetBkMode(dc, TRANSPARENT);
  if (!theme.Draw(dc, state, caption, Grown(gap, -4, 0)))
    DrawCaptionIn(ACanvas, gap, Enabled() ? Font().Color() : clGrayText);
  ACanvas.Refresh();
}
