#include "kx-graphics.h"

#include "kept-objects.h"
#include "gx-core.h"

#include "application.h"
#include "resource-ledger.h"
#include "seams.h"
#include "unit-steps.h"

#include <memory>

namespace {

// ---- Graphics ------------------------------------------------------------

bool GGraphicsFinalizing = false;
bool GSystemBrushes = false;
HBRUSH GHalftoneBrush = nullptr;
std::unique_ptr<TSystemLibrary>& GMsImg32 = Kept<TSystemLibrary>();
void* GAlphaBlend = nullptr;
int GPixelsPerInchX = 96, GPixelsPerInchY = 96;

// ---- GDI+ ----------------------------------------------------------------

bool GGdiPlusStarted = false;
int GGdiPlusStops = 0;

// Starting GDI+ from a library while it loads is not allowed, so these only
// ever run through the units loader's own start, which a library never
// calls.
void GdiPlusStart() {
  GGdiPlusStarted = true;
}
void GdiPlusStop() {
  ++GGdiPlusStops;
  GGdiPlusStarted = false;
}
void GdiPlusClassesStart() {}
void GdiPlusClassesStop() {
  ++GGdiPlusStops;
}

} // namespace

HBRUSH SystemColorBrush(int AIndex) {
  return GSystemBrushes && AIndex >= 0 && AIndex < kSystemColorBrushCount ? GetSysColorBrush(AIndex)
                                                                          : nullptr;
}

bool SystemColorBrushesExist() {
  return GSystemBrushes;
}

HBRUSH HalftoneBrush() {
  return GHalftoneBrush;
}

bool AlphaBlendBound() {
  return GAlphaBlend != nullptr;
}

int ScreenPixelsPerInchX() {
  return GPixelsPerInchX;
}

int ScreenPixelsPerInchY() {
  return GPixelsPerInchY;
}

bool GdiPlusStarted() {
  return GGdiPlusStarted;
}

int GdiPlusStopCount() {
  return GGdiPlusStops;
}

// ---- The units -----------------------------------------------------------

void kxDrawTextUtilsShutdown() {
  // Its pattern brushes are made on first use, and nothing here uses them.
}

void gxGDIPlusAPIStartup() {
  GetUnitsLoader().AddUnit(&GdiPlusStart, &GdiPlusStop);
  LedgerRegistration(L"UnitsLoader", L"gxGDIPlusAPI", true);
}

void gxGDIPlusAPIShutdown() {
  LedgerRegistration(L"UnitsLoader", L"gxGDIPlusAPI", false);
  if (TgxUnitsLoader* loader = ExistingUnitsLoader())
    loader->RemoveUnit(&GdiPlusStop);
}

void gxGDIPlusClassesStartup() {
  GetUnitsLoader().AddUnit(&GdiPlusClassesStart, &GdiPlusClassesStop);
  LedgerRegistration(L"UnitsLoader", L"gxGDIPlusClasses", true);
}

void gxGDIPlusClassesShutdown() {
  LedgerRegistration(L"UnitsLoader", L"gxGDIPlusClasses", false);
  if (TgxUnitsLoader* loader = ExistingUnitsLoader())
    loader->RemoveUnit(&GdiPlusClassesStop);
}

void kxGraphicsStartup() {
  GGraphicsFinalizing = false;
  GSystemBrushes = true;
  constexpr WORD kRows[8] = {0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55};
  const HBITMAP pattern = CreateBitmap(8, 8, 1, 1, kRows);
  if (pattern) {
    GHalftoneBrush = CreatePatternBrush(pattern);
    DeleteObject(pattern);
    if (GHalftoneBrush)
      LedgerTake(TResourceKind::GdiObject, GHalftoneBrush);
  }
  GMsImg32 = std::make_unique<TSystemLibrary>(L"msimg32.dll");
  GAlphaBlend = reinterpret_cast<void*>(GMsImg32->Proc("AlphaBlend"));
  if (!GMsImg32->Loaded())
    GMsImg32.reset();
  LedgerRegistration(L"StreamingClass", L"TkxBitmap", true);
  LedgerRegistration(L"StreamingClass", L"TkxBitmap32", true);
  if (const HDC dc = GetDC(nullptr)) {
    GPixelsPerInchX = GetDeviceCaps(dc, LOGPIXELSX);
    GPixelsPerInchY = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
  }
}

void kxGraphicsShutdown() {
  GGraphicsFinalizing = true;
  GSystemBrushes = false;
  if (GHalftoneBrush) {
    DeleteObject(GHalftoneBrush);
    LedgerGive(TResourceKind::GdiObject, GHalftoneBrush);
    GHalftoneBrush = nullptr;
  }
  GAlphaBlend = nullptr;
  GMsImg32.reset();
  // The module's classes leave the streaming registry with the module.
  LedgerRegistration(L"StreamingClass", L"TkxBitmap32", false);
  LedgerRegistration(L"StreamingClass", L"TkxBitmap", false);
}
