#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

class TkxSystemPaletteChangedNotifier;

// Solid GDI brushes by colour for the editors' painting: system colours come
// from the system's own brushes, other colours from a bounded cache sorted
// by colour that evicts its least used entry when full.
class TkxSolidBrushCache {
public:
  explicit TkxSolidBrushCache(int AMaxDepth = 128);
  TkxSolidBrushCache(const TkxSolidBrushCache&) = delete;
  TkxSolidBrushCache& operator=(const TkxSolidBrushCache&) = delete;
  virtual ~TkxSolidBrushCache();

  // Deletes every cached brush.
  void Clear();
  // The brush of the framework colour AColor, owned by the cache (or by the
  // system for a system colour).
  HBRUSH GetBrush(int32_t AColor);
  // A palette change makes every cached brush stale.
  virtual void HandlePaletteChange() { Clear(); }

  int Depth() const { return static_cast<int>(FBrushColors.size()); }
  int32_t ColorAt(int AIndex) const { return FBrushColors.at(AIndex); }

private:
  std::vector<int32_t> FBrushColors;
  std::vector<HBRUSH> FBrushes;
  std::vector<uint32_t> FCounts;
  TkxSystemPaletteChangedNotifier* FSystemPaletteChangedNotifier;
  int FMaxDepth;
};

// The process-wide cache's brush; nullptr outside the paint unit's load.
HBRUSH GetSolidBrush(int32_t AColor);
TkxSolidBrushCache* SolidBrushCache();
