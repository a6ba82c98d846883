#pragma once

#include "controls.h"
#include "graphics.h"

#include <windows.h>

#include <memory>
#include <string>

// What the control tests need around real windows: a message pump, scenes
// rendered into DIB sections, pixels read back, and PNG screenshots of named
// scenes for people to look at.
namespace harness {

// Dispatches every message waiting for this thread (bounded, so a control
// that keeps posting cannot hang a test).
void PumpMessages();

// The control and its children drawn with PaintTo into a new 32-bit DIB
// section of the control's size.
std::unique_ptr<TBitmap> RenderControl(TWinControl& AControl);
// The same through the window: WM_PRINT with client, children and background.
std::unique_ptr<TBitmap> PrintWindow(TWinControl& AControl);

// Any window drawn through WM_PRINT into a DIB section of its client size.
std::unique_ptr<TBitmap> PrintWindow(HWND AWindow);

// A real left click at a screen point, through the input queue.
void ClickAtScreen(int AX, int AY);

// Over AArea of the picture: how far one channel (0 blue, 1 green, 2 red)
// stands above the larger of the other two, summed; a lamp's glow.
long ChannelGlow(TBitmap& APicture, const RECT& AArea, int AChannel);

// The pixel at (AX, AY) of a 24- or 32-bit bitmap as 0x00BBGGRR.
TColor PixelAt(TBitmap& ABitmap, int AX, int AY);
bool SamePixels(TBitmap& A, TBitmap& B);

// Writes the bitmap as "screenshots/<AScene>.png" under the test's working
// folder (the build tree) and answers the path.
std::wstring SaveScreenshot(const std::wstring& AScene, TBitmap& ABitmap);

} // namespace harness
