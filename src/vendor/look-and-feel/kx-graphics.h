#pragma once

// Interface stable.

// The library's shared graphics objects and bindings (system-colour and
// halftone brushes, AlphaBlend, screen resolution), the GDI+ start and stop
// it leaves with the units loader, and the text unit's shut-down.

#include <windows.h>

#include <cstdint>

// One brush per system colour index 0 .. 30, the system's own.
inline constexpr int kSystemColorBrushCount = 31;
HBRUSH SystemColorBrush(int AIndex);
bool SystemColorBrushesExist();
// The 8 x 8 pattern of rows 0xAA and 0x55 (made by the graphics unit).
HBRUSH HalftoneBrush();
bool AlphaBlendBound();
int ScreenPixelsPerInchX();
int ScreenPixelsPerInchY();

// GDI+: whether the queued start ran, and how often the stops ran.
bool GdiPlusStarted();
int GdiPlusStopCount();

void kxDrawTextUtilsShutdown();
void gxGDIPlusAPIStartup();
void gxGDIPlusAPIShutdown();
void gxGDIPlusClassesStartup();
void gxGDIPlusClassesShutdown();
void kxGraphicsStartup();
void kxGraphicsShutdown();
