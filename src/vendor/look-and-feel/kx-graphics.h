#pragma once

// Interface stable.

// The library's shared graphics objects and bindings (system-colour and
// halftone brushes, AlphaBlend, screen resolution), its timers on one
// hidden window made on first use, the GDI+ start and stop it leaves with
// the units loader, and the small units that only register names.

#include <windows.h>

#include <cstdint>
#include <functional>

// One brush per system colour index 0 .. 30, the system's own.
inline constexpr int kSystemColorBrushCount = 31;
HBRUSH SystemColorBrush(int AIndex);
bool SystemColorBrushesExist();
// The 8 x 8 pattern of rows 0xAA and 0x55 (made by the graphics unit).
HBRUSH HalftoneBrush();
bool AlphaBlendBound();
int ScreenPixelsPerInchX();
int ScreenPixelsPerInchY();

// Timers of the library, all on one hidden window that the first timer
// makes; none is made once the library's shut-down began. Answers the timer
// id, 0 when none could be made.
UINT_PTR kxStartTimer(UINT AIntervalMs, std::function<void()> AOnTimer);
void kxStopTimer(UINT_PTR ATimerId);
// The timer window, or nullptr while none was needed.
HWND kxTimerWindow();

// GDI+: whether the queued start ran, and how often the stops ran.
bool GdiPlusStarted();
int GdiPlusStopCount();

void kxGeometryStartup();
void kxGeometryShutdown();
void kxDrawTextUtilsShutdown();
void kxClassesStartup();
void kxClassesShutdown();
void gxGDIPlusAPIStartup();
void gxGDIPlusAPIShutdown();
void gxGDIPlusClassesStartup();
void gxGDIPlusClassesShutdown();
void kxGraphicsStartup();
void kxGraphicsShutdown();
