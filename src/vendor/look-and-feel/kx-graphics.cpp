#include "kx-graphics.h"

#include "kept-objects.h"
#include "gx-core.h"

#include "application.h"
#include "resource-ledger.h"
#include "seams.h"
#include "unit-steps.h"

#include <map>
#include <memory>

namespace {

// ---- Graphics ------------------------------------------------------------

bool GGraphicsFinalizing = false;
bool GSystemBrushes = false;
HBRUSH GHalftoneBrush = nullptr;
std::unique_ptr<TSystemLibrary>& GMsImg32 = Kept<TSystemLibrary>();
void* GAlphaBlend = nullptr;
int GPixelsPerInchX = 96, GPixelsPerInchY = 96;

// ---- Timers --------------------------------------------------------------

bool GClassesFinalizing = false;
std::unique_ptr<THiddenWindow>& GTimerWindow = Kept<THiddenWindow>();
std::map<UINT_PTR, std::function<void()>> GTimers;
UINT_PTR GNextTimerId = 1;

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

UINT_PTR kxStartTimer(UINT AIntervalMs, std::function<void()> AOnTimer) {
  if (GClassesFinalizing)
    return 0;
  if (!GTimerWindow) {
    GTimerWindow =
        std::make_unique<THiddenWindow>([](UINT AMsg, WPARAM AWParam, LPARAM, LRESULT& AResult) {
          if (AMsg != WM_TIMER)
            return false;
          const auto found = GTimers.find(UINT_PTR(AWParam));
          if (found != GTimers.end()) {
            const std::function<void()> handler = found->second;
            handler();
          }
          AResult = 0;
          return true;
        });
  }
  const UINT_PTR id = GNextTimerId++;
  if (!SetTimer(GTimerWindow->Handle(), id, AIntervalMs, nullptr))
    return 0;
  TResourceLedger::Take(TResourceKind::Timer, id);
  GTimers[id] = std::move(AOnTimer);
  return id;
}

void kxStopTimer(UINT_PTR ATimerId) {
  const auto found = GTimers.find(ATimerId);
  if (found == GTimers.end())
    return;
  GTimers.erase(found);
  if (GTimerWindow)
    KillTimer(GTimerWindow->Handle(), ATimerId);
  TResourceLedger::Give(TResourceKind::Timer, ATimerId);
}

HWND kxTimerWindow() {
  return GTimerWindow ? GTimerWindow->Handle() : nullptr;
}

bool GdiPlusStarted() {
  return GGdiPlusStarted;
}

int GdiPlusStopCount() {
  return GGdiPlusStops;
}

// ---- The units -----------------------------------------------------------

void kxGeometryStartup() {
  LedgerRegistration(L"StreamingClass", L"TkxRect", true);
}

void kxGeometryShutdown() {
  LedgerRegistration(L"StreamingClass", L"TkxRect", false);
}

void kxDrawTextUtilsShutdown() {
  // Its pattern brushes are made on first use, and nothing here uses them.
}

void kxClassesStartup() {
  GClassesFinalizing = false;
  // The control class's class group has no counterpart in this framework.
}

void kxClassesShutdown() {
  GClassesFinalizing = true;
  while (!GTimers.empty())
    kxStopTimer(GTimers.begin()->first);
  GTimerWindow.reset();
  // A translation names strings of this module: none outlives it.
  ReleaseResStringTranslations();
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
