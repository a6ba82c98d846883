#pragma once

#include "kx-look-and-feels.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The page control's painter styles and their registry. A painter class is
// known by its class-level answers; the registry holds classes in
// registration order, and the order decides every lookup by look and feel.

using TkxPCStyleID = int32_t;
constexpr TkxPCStyleID kkxPCNoStyle = -1;

enum class TkxPCStandardStyle { tsTabs = 0, tsButtons = 1, tsFlatButtons = 2 };

// What a painter asks of a look and feel: the style of its available
// painter for tabs, whether a skin painter is set, and its native style.
struct TkxPCLookAndFeel {
  TkxLookAndFeelStyle TabsPainterStyle = lfsStandard;
  bool HasSkinPainter = false;
  bool NativeStyle = false;
};

// One painter class by its class-level answers.
struct TkxPCPainterClass {
  const wchar_t* ClassName;
  TkxPCStyleID StyleID;
  const wchar_t* StyleName;
  TkxPCStandardStyle StandardStyle;
  bool (*HasLookAndFeel)(const TkxPCLookAndFeel& ALookAndFeel);
  bool (*IsDefault)(const TkxPCLookAndFeel& ALookAndFeel);
  bool IsStandardStyle() const { return true; }
};

// The nine styles in the order the painter unit registers them.
extern const TkxPCPainterClass kkxPCPainterClasses[9];

class TkxPCPaintersFactory {
public:
  void RegisterPCPainterClass(const TkxPCPainterClass* AItem);
  void UnregisterPCPainterClass(const TkxPCPainterClass* AItem);
  size_t PainterClassCount() const { return FPainterClassList.size(); }
  const TkxPCPainterClass* PainterClass(size_t AIndex) const {
    return FPainterClassList.at(AIndex);
  }
  const TkxPCPainterClass* GetPainterClass(TkxPCStandardStyle AStandardStyle) const;
  const TkxPCPainterClass* GetPainterClass(TkxPCStyleID AStyleID) const;
  // Letter case is ignored.
  const TkxPCPainterClass* GetPainterClass(const std::wstring& AStyleName) const;
  // The last registered class that has the look and feel; -1 when none.
  TkxPCStyleID GetStyleID(const TkxPCLookAndFeel& ALookAndFeel) const;
  // The last registered default class, else the first registered; raises
  // when nothing is registered.
  TkxPCStyleID GetDefaultStyleID(const TkxPCLookAndFeel& ALookAndFeel) const;

private:
  std::vector<const TkxPCPainterClass*> FPainterClassList;
};

// The factory, or nullptr while no class is registered.
TkxPCPaintersFactory* PaintersFactory();
void RegisterPCPainterClass(const TkxPCPainterClass* APainterClass);
void UnregisterPCPainterClass(const TkxPCPainterClass* APainterClass);

// Colours as the framework holds them: RGB, or 0xFF000000 plus a system
// colour index.
using TkxColor = int32_t;
constexpr TkxColor kxSystemColor(int AIndex) {
  return static_cast<TkxColor>(0xFF000000u | unsigned(AIndex));
}

// The button face lightened by 20 on each component, computed at start-up.
COLORREF LightFaceColor();
// The OneNote style's six colours for the current Office 2003 scheme
// (0 none, 1 blue, 2 olive, 3 silver).
const std::array<TkxColor, 6>& OneNoteStyleColors();
void UpdateLightFaceColor();
void UpdateOneNoteColors();
// The scheme's row (an unknown scheme counts as none).
const std::array<TkxColor, 6>& OneNoteColorsForScheme(int AScheme);
