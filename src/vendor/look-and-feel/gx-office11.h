#pragma once

// Interface stable.

// The Office 2003 colour set: the scheme of the standard XP visual style
// (blue, olive, silver) or colours derived from the system colours, the
// brushes and bitmaps drawn with them, and the gradient routines.

#include <windows.h>

#include <cstdint>

using TgxColor = uint32_t; // 0x00BBGGRR, or 0xFF0000nn for system colour nn

enum TgxOffice11Color {
  oc11FaceColor,
  oc11TabColor,
  oc11GradientLightColor,
  oc11GradientDarkColor,
  oc11GutterColor1,
  oc11GutterColor2,
  oc11SeparatorDarkColor,
  oc11SeparatorLightColor,
  oc11FilterBoxColor,
  oc11FilterBoxTextColor,
  oc11MenuBorderColor,
  oc11ControlBorderColor,
  oc11MenuBackColor,
  oc11MenuContentColor,
  oc11HighlightBorderColor,
  oc11HotFaceColor,
  oc11HotFaceColor2,
  oc11PressedFaceColor,
  oc11PressedFaceColor2,
  oc11CheckedFaceColor,
  oc11GlyphColor,
  oc11DisabledGlyphColor,
  oc11GroupByBoxColor,
  oc11GroupColor,
  oc11NavigatorSelectionColor,
  oc11SchedulerBorderColor,
  oc11SchedulerControlColor,
  oc11GroupRowColor,
  oc11GroupRowTextColor,
  oc11GroupRowSeparatorColor,
  oc11GripDotColor,
  oc11GripShadowColor,
  oc11ColorCount
};

// 0 none, 1 blue, 2 olive, 3 silver.
int GetCurrentOffice11Scheme();
bool IsOffice11SchemeThemed();
// The scheme named by a theme file and colour name on a system of that
// major version.
int Office11SchemeOf(const wchar_t* AThemeFile, const wchar_t* AColorName, unsigned AMajorVersion);
int DetectOffice11Scheme();
TgxColor Office11Color(TgxOffice11Color AColor);
int Office11MiddlePercent();
void ComputeOffice11Colors();
// The use-counted brushes and bitmaps.
void AcquireOffice11Colors();
void ReleaseOffice11ColorUse();
void RefreshOffice11Colors();
HBRUSH Office11GripDotBrush();

TgxColor ResolveColor(TgxColor AColor);
TgxColor MixColorsByPercent(TgxColor AColor1, TgxColor AColor2, int APercent);
TgxColor GetLightColor(int AFacePercent, int AHighlightPercent, int AWindowPercent);
void FillRectWithColor(HDC ADC, const RECT& ARect, TgxColor AColor);
// A two-colour gradient (left to right when AHorizontal), through
// GradientFill when bound, else in at most 256 stripes.
void PaintGradientRect(HDC ADC, const RECT& ARect, TgxColor AColor1, TgxColor AColor2,
                       bool AHorizontal);
bool Office11GradientFillBound();

void gxOffice11Startup();
void gxOffice11Shutdown();
