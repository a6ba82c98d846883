#pragma once

#include "controls.h"
#include "graphics.h"

// Drawing services shared by several controls: GDI+ kept running while any
// control draws with it, the open and close animations of collapsible
// sections, the design frame, gripper dots and hatch fills. The animations
// block the user-interface thread; their pauses go through the sleep seam.

// Starts GDI+ on the first use and shuts it down after the last.
void GdiplusAcquire();
void GdiplusRelease();
// Whether GDI+ is running for these two.
bool GdiplusRunning();

// A focus rectangle moving from AFrom to ATo on the screen in ASteps, drawn
// twice with XOR so the screen is left as it was.
void AnimateFocusRects(const RECT& AFrom, const RECT& ATo, int ASteps, DWORD ADelay);
// The constant alpha of step AStep of ASteps.
uint8_t AnimationAlpha(int AStep, int ASteps, bool AFadeOut);
// The control's client area sliding and fading from AFrom to ATo.
void AnimateControlImage(TWinControl* AControl, bool AFadeOut, const RECT& AFrom, DWORD ADelay,
                         int ASteps, const RECT& ATo);
void AnimateBitmap(TBitmap& ABitmap, bool AFadeOut, const RECT& AFrom, DWORD ADelay, int ASteps,
                   const RECT& ATo);

// Only while the control is designed: a dashed frame round its client area.
void DrawDesignFrame(TControl* AControl);
void DrawGripperDots(TCanvas& ACanvas, int AWidth, int AHeight, int ACount, bool AVertical);
// Hatched brush styles fill ARect including its right and bottom edge;
// solid and clear draw nothing.
void DrawHatch(HDC ADC, const RECT& ARect, TBrushStyle AStyle, TColor AColor);
