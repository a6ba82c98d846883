#include "gx-office11.h"

#include "kept-objects.h"
#include "gx-themes.h"
#include "resource-ledger.h"
#include "seams.h"

#include "application.h"

#include <algorithm>
#include <cwctype>
#include <memory>
#include <string>

namespace {

// How a colour is made when no scheme is themed.
enum class TFallback { System, Mix, White, Light, LightUnsnapped, Same };
struct TFallbackRule {
  TFallback Kind;
  TgxColor A = 0, B = 0;
  int P1 = 0, P2 = 0, P3 = 0;
};
struct TColorRow {
  TgxColor Blue, Olive, Silver;
  TFallbackRule Fallback;
};

constexpr TgxColor Rgb(int R, int G, int B) {
  return TgxColor(R) | (TgxColor(G) << 8) | (TgxColor(B) << 16);
}
constexpr TgxColor Sys(int AIndex) {
  return 0xFF000000u | TgxColor(AIndex);
}
constexpr TgxColor kWhite = Rgb(255, 255, 255);
constexpr TgxColor kSameHot = Rgb(255, 244, 204), kSameHot2 = Rgb(255, 208, 145);
constexpr TgxColor kPressed = Rgb(255, 211, 142), kPressed2 = Rgb(254, 145, 78);
constexpr TgxColor kChecked = Rgb(255, 192, 111), kNavigator = Rgb(251, 230, 148);
constexpr TgxColor kGroupRow = Rgb(253, 238, 201);

constexpr TFallbackRule SysRule(int AIndex) {
  return {TFallback::System, Sys(AIndex)};
}
constexpr TFallbackRule MixRule(TgxColor A, TgxColor B, int P) {
  return {TFallback::Mix, A, B, P};
}
constexpr TFallbackRule SameRule(int ARow) {
  return {TFallback::Same, 0, 0, ARow};
}

// Group-by box colours of the themed schemes are mixes themselves.
constexpr TColorRow kRows[oc11ColorCount] = {
    {Rgb(158, 190, 245), Rgb(217, 217, 167), Rgb(215, 215, 229), SysRule(COLOR_BTNFACE)},
    {Rgb(195, 218, 249), Rgb(242, 240, 228), Rgb(243, 243, 247),
     MixRule(Sys(COLOR_BTNFACE), Sys(COLOR_WINDOW), 20)},
    {Rgb(221, 236, 254), Rgb(244, 247, 222), Rgb(243, 244, 250),
     MixRule(Sys(COLOR_BTNFACE), Sys(COLOR_WINDOW), 22)},
    {Rgb(129, 169, 226), Rgb(183, 198, 145), Rgb(153, 151, 181),
     MixRule(Sys(COLOR_BTNFACE), Sys(COLOR_WINDOW), 96)},
    {Rgb(221, 236, 254), Rgb(244, 247, 222), Rgb(243, 244, 250), SameRule(oc11GradientLightColor)},
    {Rgb(129, 169, 226), Rgb(183, 198, 145), Rgb(153, 151, 181), SameRule(oc11GradientDarkColor)},
    {Rgb(106, 140, 203), Rgb(96, 128, 88), Rgb(110, 109, 143),
     MixRule(Sys(COLOR_BTNSHADOW), Sys(COLOR_WINDOW), 70)},
    {Rgb(241, 249, 255), Rgb(244, 247, 222), kWhite, {TFallback::White}},
    {Rgb(42, 102, 201), Rgb(116, 134, 94), Rgb(122, 121, 153), SysRule(COLOR_BTNSHADOW)},
    {kWhite, kWhite, kWhite, SysRule(COLOR_BTNHIGHLIGHT)},
    {Rgb(0, 45, 150), Rgb(117, 141, 94), Rgb(124, 124, 148), SysRule(COLOR_BTNSHADOW)},
    {Rgb(0, 45, 150), Rgb(117, 141, 94), Rgb(124, 124, 148), SysRule(COLOR_BTNSHADOW)},
    {Rgb(246, 246, 246), Rgb(244, 244, 238), Rgb(253, 250, 255), SysRule(COLOR_WINDOW)},
    {Rgb(246, 246, 246), Rgb(244, 244, 238), Rgb(253, 250, 255), SysRule(COLOR_WINDOW)},
    {Rgb(0, 0, 128), Rgb(63, 93, 56), Rgb(75, 75, 111), SysRule(COLOR_HIGHLIGHT)},
    {kSameHot, kSameHot, kSameHot, {TFallback::Light, 0, 0, -2, 30, 72}},
    {kSameHot2, kSameHot2, kSameHot2, SameRule(oc11HotFaceColor)},
    {kPressed, kPressed, kPressed, {TFallback::Light, 0, 0, 14, 44, 40}},
    {kPressed2, kPressed2, kPressed2, SameRule(oc11PressedFaceColor)},
    {kChecked, kChecked, kChecked, {TFallback::LightUnsnapped, 0, 0, 41, 11, 48}},
    {Rgb(0, 0, 0), Rgb(0, 0, 0), Rgb(0, 0, 0), SysRule(COLOR_BTNTEXT)},
    {Rgb(141, 141, 141), Rgb(141, 141, 141), Rgb(141, 141, 141), SysRule(COLOR_GRAYTEXT)},
    {0, 0, 0, MixRule(Sys(COLOR_BTNSHADOW), Sys(COLOR_BTNFACE), 50)},
    {Rgb(190, 218, 251), Rgb(175, 186, 145), Rgb(229, 229, 235), SysRule(COLOR_BTNFACE)},
    {kNavigator, kNavigator, kNavigator, SameRule(oc11CheckedFaceColor)},
    {Rgb(0, 45, 150), Rgb(96, 128, 88), Rgb(124, 124, 148), SysRule(COLOR_BTNSHADOW)},
    {Rgb(196, 218, 250), Rgb(242, 241, 228), Rgb(243, 243, 247), SysRule(COLOR_BTNFACE)},
    {kGroupRow, kGroupRow, kGroupRow, SysRule(COLOR_BTNFACE)},
    {Rgb(55, 104, 185), Rgb(115, 137, 84), Rgb(112, 111, 145), SysRule(COLOR_BTNSHADOW)},
    {Rgb(123, 164, 224), Rgb(181, 196, 143), Rgb(147, 145, 176), SysRule(COLOR_BTNSHADOW)},
    {Rgb(39, 65, 118), Rgb(81, 94, 51), Rgb(84, 84, 117),
     MixRule(Sys(COLOR_BTNSHADOW), Sys(COLOR_WINDOW), 76)},
    {kWhite, kWhite, kWhite, SysRule(COLOR_WINDOW)},
};
constexpr int kMiddlePercent[4] = {75, 41, 125, 40};
constexpr TgxColor kGroupByBoxMix[3][2] = {
    {Rgb(0, 53, 145), Rgb(123, 164, 224)},
    {Rgb(96, 119, 107), Rgb(181, 196, 143)},
    {Rgb(118, 116, 146), Rgb(147, 145, 176)},
};

int GScheme = 0;
bool GSchemeThemed = false;
TgxColor GColors[oc11ColorCount] = {};
int GUseCount = 0;
struct TColorObjects {
  HBRUSH GripDot = nullptr, GripShadow = nullptr, HighlightBorder = nullptr;
  HBITMAP ExpandMinus = nullptr, ExpandPlus = nullptr, SubMenuExpand = nullptr;
} GObjects;

std::unique_ptr<TSystemLibrary>& GMsImg32 = Kept<TSystemLibrary>();
using TGradientFill = BOOL(WINAPI*)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG);
TGradientFill GGradientFill = nullptr;

TgxColor SnapToScreenColor(TgxColor AColor) {
  const HDC dc = GetDC(nullptr);
  const TgxColor snapped = dc ? GetNearestColor(dc, AColor) : AColor;
  if (dc)
    ReleaseDC(nullptr, dc);
  return snapped == CLR_INVALID ? AColor : snapped;
}

HBRUSH MakeBrush(TgxColor AColor) {
  const HBRUSH brush = CreateSolidBrush(ResolveColor(AColor));
  if (brush)
    LedgerTake(TResourceKind::GdiObject, brush);
  return brush;
}

HBITMAP LoadSchemeBitmap(const wchar_t* AName) {
  const auto bitmap = static_cast<HBITMAP>(
      LoadImageW(ModuleInstance(), AName, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (bitmap)
    LedgerTake(TResourceKind::GdiObject, bitmap);
  return bitmap;
}

template <typename THandle> void FreeObject(THandle& AHandle) {
  if (!AHandle)
    return;
  DeleteObject(AHandle);
  LedgerGive(TResourceKind::GdiObject, AHandle);
  AHandle = nullptr;
}

void CreateColorObjects() {
  GObjects.GripDot = MakeBrush(GColors[oc11GripDotColor]);
  GObjects.GripShadow = MakeBrush(GColors[oc11GripShadowColor]);
  GObjects.HighlightBorder = MakeBrush(GColors[oc11HighlightBorderColor]);
  GObjects.ExpandMinus = LoadSchemeBitmap(L"GXEXPANDBUTTON_MINUS");
  GObjects.ExpandPlus = LoadSchemeBitmap(L"GXEXPANDBUTTON_PLUS");
  GObjects.SubMenuExpand = LoadSchemeBitmap(L"GXSUBMENUEXPAND");
}

void FreeColorObjects() {
  FreeObject(GObjects.GripDot);
  FreeObject(GObjects.GripShadow);
  FreeObject(GObjects.HighlightBorder);
  FreeObject(GObjects.ExpandMinus);
  FreeObject(GObjects.ExpandPlus);
  FreeObject(GObjects.SubMenuExpand);
}

std::wstring Upper(std::wstring AText) {
  std::transform(AText.begin(), AText.end(), AText.begin(),
                 [](wchar_t c) { return wchar_t(std::towupper(c)); });
  return AText;
}

} // namespace

TgxColor ResolveColor(TgxColor AColor) {
  if ((AColor & 0xFF000000u) == 0xFF000000u)
    return GetSysColor(int(AColor & 0xFF));
  return AColor & 0x00FFFFFFu;
}

TgxColor MixColorsByPercent(TgxColor AColor1, TgxColor AColor2, int APercent) {
  const TgxColor c1 = ResolveColor(AColor1), c2 = ResolveColor(AColor2);
  TgxColor mixed = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const int a = int((c1 >> shift) & 0xFF), b = int((c2 >> shift) & 0xFF);
    const int value = std::min(255, MulDiv(b, 100 - APercent, 100) + MulDiv(a, APercent, 100));
    mixed |= TgxColor(std::max(0, value)) << shift;
  }
  return SnapToScreenColor(mixed);
}

TgxColor GetLightColor(int AFacePercent, int AHighlightPercent, int AWindowPercent) {
  const TgxColor face = GetSysColor(COLOR_BTNFACE), highlight = GetSysColor(COLOR_HIGHLIGHT),
                 window = GetSysColor(COLOR_WINDOW);
  if (face == 0 || face == 0xFFFFFF)
    return highlight;
  TgxColor light = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const int value = MulDiv(int((face >> shift) & 0xFF), AFacePercent, 100) +
                      MulDiv(int((highlight >> shift) & 0xFF), AHighlightPercent, 100) +
                      MulDiv(int((window >> shift) & 0xFF), AWindowPercent, 100);
    light |= TgxColor(std::clamp(value, 0, 255)) << shift;
  }
  return light;
}

int GetCurrentOffice11Scheme() {
  return GScheme;
}

bool IsOffice11SchemeThemed() {
  return GSchemeThemed;
}

int Office11SchemeOf(const wchar_t* AThemeFile, const wchar_t* AColorName, unsigned AMajorVersion) {
  std::wstring file = AThemeFile ? AThemeFile : L"";
  const size_t slash = file.find_last_of(L"\\/");
  if (slash != std::wstring::npos)
    file.erase(0, slash + 1);
  if (AMajorVersion < 6 && Upper(file) != L"LUNA.MSSTYLES")
    return 0;
  const std::wstring color = Upper(AColorName ? AColorName : L"");
  return color == L"NORMALCOLOR" ? 1 : color == L"HOMESTEAD" ? 2 : color == L"METALLIC" ? 3 : 0;
}

int DetectOffice11Scheme() {
  if (!IsThemingUsable())
    return 0;
  wchar_t file[1024] = {}, color[1024] = {}, size[1024] = {};
  if (FAILED(gxGetCurrentThemeName(file, 1024, color, 1024, size, 1024)))
    return 0;
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  GetVersionExW(&info);
  return Office11SchemeOf(file, color, info.dwMajorVersion);
}

void ComputeOffice11Colors() {
  GScheme = DetectOffice11Scheme();
  GSchemeThemed = IsThemingUsable() && GScheme != 0;
  for (int i = 0; i < oc11ColorCount; ++i) {
    const TColorRow& row = kRows[i];
    if (GSchemeThemed) {
      if (i == oc11GroupByBoxColor)
        GColors[i] =
            MixColorsByPercent(kGroupByBoxMix[GScheme - 1][0], kGroupByBoxMix[GScheme - 1][1], 50);
      else
        GColors[i] = GScheme == 1 ? row.Blue : GScheme == 2 ? row.Olive : row.Silver;
      continue;
    }
    const TFallbackRule& rule = row.Fallback;
    switch (rule.Kind) {
    case TFallback::System:
      GColors[i] = ResolveColor(rule.A);
      break;
    case TFallback::Mix:
      GColors[i] = MixColorsByPercent(rule.A, rule.B, rule.P1);
      break;
    case TFallback::White:
      GColors[i] = kWhite;
      break;
    case TFallback::Light:
      GColors[i] = SnapToScreenColor(GetLightColor(rule.P1, rule.P2, rule.P3));
      break;
    case TFallback::LightUnsnapped:
      GColors[i] = GetLightColor(rule.P1, rule.P2, rule.P3);
      break;
    case TFallback::Same:
      GColors[i] = GColors[rule.P1];
      break;
    }
  }
}

TgxColor Office11Color(TgxOffice11Color AColor) {
  return AColor >= 0 && AColor < oc11ColorCount ? GColors[AColor] : 0;
}

int Office11MiddlePercent() {
  return kMiddlePercent[GSchemeThemed ? GScheme : 0];
}

void AcquireOffice11Colors() {
  if (GUseCount++ == 0) {
    ComputeOffice11Colors();
    CreateColorObjects();
  }
}

void ReleaseOffice11ColorUse() {
  if (GUseCount > 0 && --GUseCount == 0)
    FreeColorObjects();
}

void RefreshOffice11Colors() {
  ComputeOffice11Colors();
  if (GUseCount > 0) {
    FreeColorObjects();
    CreateColorObjects();
  }
}

HBRUSH Office11GripDotBrush() {
  return GObjects.GripDot;
}

void FillRectWithColor(HDC ADC, const RECT& ARect, TgxColor AColor) {
  const HBRUSH brush = CreateSolidBrush(ResolveColor(AColor));
  if (!brush)
    return;
  FillRect(ADC, &ARect, brush);
  DeleteObject(brush);
}

bool Office11GradientFillBound() {
  return GGradientFill != nullptr;
}

void PaintGradientRect(HDC ADC, const RECT& ARect, TgxColor AColor1, TgxColor AColor2,
                       bool AHorizontal) {
  const TgxColor c1 = ResolveColor(AColor1), c2 = ResolveColor(AColor2);
  if (c1 == c2) {
    FillRectWithColor(ADC, ARect, c1);
    return;
  }
  if (GGradientFill) {
    TRIVERTEX vertices[2] = {};
    vertices[0] = {ARect.left,
                   ARect.top,
                   COLOR16(GetRValue(c1) << 8),
                   COLOR16(GetGValue(c1) << 8),
                   COLOR16(GetBValue(c1) << 8),
                   0};
    vertices[1] = {ARect.right,
                   ARect.bottom,
                   COLOR16(GetRValue(c2) << 8),
                   COLOR16(GetGValue(c2) << 8),
                   COLOR16(GetBValue(c2) << 8),
                   0};
    GRADIENT_RECT rect = {0, 1};
    GGradientFill(ADC, vertices, 2, &rect, 1,
                  AHorizontal ? GRADIENT_FILL_RECT_H : GRADIENT_FILL_RECT_V);
    return;
  }
  const int n = AHorizontal ? ARect.right - ARect.left : ARect.bottom - ARect.top;
  if (n <= 0)
    return;
  const int steps = std::min(n, 256);
  const int start = AHorizontal ? ARect.left : ARect.top;
  int previous = start;
  for (int i = 0; i < steps; ++i) {
    const int end = start + MulDiv(i + 1, n, steps);
    TgxColor color = 0;
    for (int shift = 0; shift < 24; shift += 8) {
      const int a = int((c1 >> shift) & 0xFF), b = int((c2 >> shift) & 0xFF);
      color |= TgxColor(a + (steps > 1 ? MulDiv(i, b - a, steps - 1) : 0)) << shift;
    }
    RECT stripe = ARect;
    (AHorizontal ? stripe.left : stripe.top) = previous;
    (AHorizontal ? stripe.right : stripe.bottom) = end;
    if (end > previous)
      FillRectWithColor(ADC, stripe, color);
    previous = end;
    if (end >= (AHorizontal ? ARect.right : ARect.bottom))
      break;
  }
}

void gxOffice11Startup() {
  GMsImg32 = std::make_unique<TSystemLibrary>(L"msimg32.dll");
  if (!GMsImg32->Loaded()) {
    GMsImg32.reset();
    return;
  }
  GGradientFill = GMsImg32->Function<TGradientFill>("GradientFill");
}

void gxOffice11Shutdown() {
  GGradientFill = nullptr;
  GMsImg32.reset();
}
