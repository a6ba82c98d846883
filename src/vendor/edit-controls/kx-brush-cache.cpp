#include "kx-brush-cache.h"
#include "edit-controls-units.h"

#include "kx-look-and-feels.h"

#include "resource-ledger.h"
#include "unit-steps.h"

#include <algorithm>
#include <array>

namespace {

constexpr uint32_t kSystemColorBase = 0xFF000000u;
constexpr uint32_t kSystemColorLast = 0xFF00001Eu;

TkxSolidBrushCache* GCache = nullptr;

// Hands system palette changes to its cache.
class TCachePaletteNotifier : public TkxSystemPaletteChangedNotifier {
public:
  explicit TCachePaletteNotifier(TkxSolidBrushCache* ACache)
      : TkxSystemPaletteChangedNotifier(false), FCache(ACache) {}
  void NotifyPaletteChanged() override { FCache->HandlePaletteChange(); }

private:
  TkxSolidBrushCache* FCache;
};
std::array<HBRUSH, 31>* GSystemBrushes = nullptr;

COLORREF ToRgb(int32_t AColor) {
  const auto value = static_cast<uint32_t>(AColor);
  if ((value & 0xFF000000u) == kSystemColorBase)
    return GetSysColor(static_cast<int>(value & 0xFFu));
  return static_cast<COLORREF>(value & 0x00FFFFFFu);
}

} // namespace

TkxSolidBrushCache::TkxSolidBrushCache(int AMaxDepth)
    : FSystemPaletteChangedNotifier(new TCachePaletteNotifier(this)),
      FMaxDepth(std::max(1, AMaxDepth)) {
  FBrushColors.reserve(FMaxDepth);
  FBrushes.reserve(FMaxDepth);
  FCounts.reserve(FMaxDepth);
}

TkxSolidBrushCache::~TkxSolidBrushCache() {
  delete FSystemPaletteChangedNotifier;
  Clear();
}

void TkxSolidBrushCache::Clear() {
  for (HBRUSH brush : FBrushes)
    if (brush) {
      DeleteObject(brush);
      LedgerGive(TResourceKind::GdiObject, brush);
    }
  FBrushColors.clear();
  FBrushes.clear();
  FCounts.clear();
}

HBRUSH TkxSolidBrushCache::GetBrush(int32_t AColor) {
  const auto value = static_cast<uint32_t>(AColor);
  if (GSystemBrushes && value >= kSystemColorBase && value <= kSystemColorLast)
    return (*GSystemBrushes)[value - kSystemColorBase];
  auto pos = std::lower_bound(FBrushColors.begin(), FBrushColors.end(), AColor);
  size_t slot = static_cast<size_t>(pos - FBrushColors.begin());
  if (pos != FBrushColors.end() && *pos == AColor) {
    ++FCounts[slot];
    return FBrushes[slot];
  }
  if (static_cast<int>(FBrushColors.size()) >= FMaxDepth) {
    // The least used entry goes, the first in colour order on ties.
    const size_t victim =
        static_cast<size_t>(std::min_element(FCounts.begin(), FCounts.end()) - FCounts.begin());
    if (FBrushes[victim]) {
      DeleteObject(FBrushes[victim]);
      LedgerGive(TResourceKind::GdiObject, FBrushes[victim]);
    }
    FBrushColors.erase(FBrushColors.begin() + static_cast<ptrdiff_t>(victim));
    FBrushes.erase(FBrushes.begin() + static_cast<ptrdiff_t>(victim));
    FCounts.erase(FCounts.begin() + static_cast<ptrdiff_t>(victim));
    if (victim < slot)
      --slot;
  }
  HBRUSH brush = CreateSolidBrush(ToRgb(AColor));
  if (brush)
    LedgerTake(TResourceKind::GdiObject, brush);
  FBrushColors.insert(FBrushColors.begin() + static_cast<ptrdiff_t>(slot), AColor);
  FBrushes.insert(FBrushes.begin() + static_cast<ptrdiff_t>(slot), brush);
  FCounts.insert(FCounts.begin() + static_cast<ptrdiff_t>(slot), 0u);
  return brush;
}

TkxSolidBrushCache* SolidBrushCache() {
  return GCache;
}

HBRUSH GetSolidBrush(int32_t AColor) {
  return GCache ? GCache->GetBrush(AColor) : nullptr;
}

void KxPaintStartup() {
  try {
    GSystemBrushes = new std::array<HBRUSH, 31>();
    for (int i = 0; i < 31; ++i)
      (*GSystemBrushes)[static_cast<size_t>(i)] = GetSysColorBrush(i);
    GCache = new TkxSolidBrushCache(128);
    LedgerRegistration(L"BrushCache", L"TkxSolidBrushCache", true);
  } catch (...) {
  }
}

void KxPaintShutdown() {
  try {
    if (GCache) {
      delete GCache;
      GCache = nullptr;
      LedgerRegistration(L"BrushCache", L"TkxSolidBrushCache", false);
    }
    delete GSystemBrushes;
    GSystemBrushes = nullptr;
  } catch (...) {
  }
}
