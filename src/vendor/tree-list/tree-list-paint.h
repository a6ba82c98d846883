#pragma once

#include "tree-list-core.h"

#include <windows.h>

#include <vector>

// What one PaintArea makes for its areas and deletes on every way out: the
// solid brushes of the control's colours, one brush per header entry whose
// column has a colour of its own, the level brush, and the grid segments.
struct TCustomgxTreeList::TPaintObjects {
  TPaintObjects() = default;
  TPaintObjects(const TPaintObjects&) = delete;
  TPaintObjects& operator=(const TPaintObjects&) = delete;
  ~TPaintObjects();

  HBRUSH Band = nullptr;
  HBRUSH Header = nullptr;
  HBRUSH Group = nullptr;
  HBRUSH Background = nullptr;
  HBRUSH Panel = nullptr;
  HBRUSH Highlight = nullptr;
  HBRUSH TreeLine = nullptr;
  HBRUSH HideSelection = nullptr;
  HBRUSH Footer = nullptr;
  HBRUSH FixedBandLine = nullptr;
  HBRUSH PlusMinus = nullptr;
  HBRUSH Level = nullptr;
  TColor LevelColor = clNone;
  TColor PanelColor = clBtnShadow;
  struct TColumnBrush {
    int Column = -1;
    HBRUSH Brush = nullptr;
    TColor Color = clWindow;
  };
  std::vector<TColumnBrush> Columns;
  bool Focused = false;
  // Two points per grid segment, drawn with one PolyPolyline.
  std::vector<POINT> Segments;
  void AddSegment(int AX1, int AY1, int AX2, int AY2) {
    Segments.push_back(POINT{AX1, AY1});
    Segments.push_back(POINT{AX2, AY2});
  }
  // Draws the collected segments in AColor and forgets them.
  void DrawSegments(HDC ADC, TColor AColor);
};
