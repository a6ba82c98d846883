#include "page-control-painters.h"
#include "page-control-strings.h"
#include "page-control-units.h"

#include "gx-office11.h"

#include "rtl-exceptions.h"
#include "unit-steps.h"

#include <algorithm>
#include <cwctype>

namespace {

bool Never(const TkxPCLookAndFeel&) {
  return false;
}
bool NativeStyleDefault(const TkxPCLookAndFeel& A) {
  return A.NativeStyle;
}
bool TabsHas(const TkxPCLookAndFeel& A) {
  return A.TabsPainterStyle == lfsStandard || A.TabsPainterStyle == lfsNative;
}
bool UltraFlatHas(const TkxPCLookAndFeel& A) {
  return A.TabsPainterStyle == lfsUltraFlat;
}
bool FlatHas(const TkxPCLookAndFeel& A) {
  return A.TabsPainterStyle == lfsFlat;
}
bool Office11Has(const TkxPCLookAndFeel& A) {
  return !A.HasSkinPainter && A.TabsPainterStyle == lfsOffice11;
}

TkxPCPaintersFactory* GFactory = nullptr;

COLORREF GLightFaceColor = 0;
std::array<TkxColor, 6> GOneNoteColors{};
bool GPaintersRegistered = false;

// Reloads the OneNote colours for the scheme in force after every system
// colour change; it raises no event of its own.
class TkxPaletteChangedNotifier : public TkxSystemPaletteChangedNotifier {
public:
  TkxPaletteChangedNotifier() : TkxSystemPaletteChangedNotifier(true) {}
  void NotifyPaletteChanged() override { UpdateOneNoteColors(); }
};
TkxPaletteChangedNotifier* GOneNotePaletteNotifier = nullptr;

const std::array<TkxColor, 6> kOneNoteTable[4] = {
    {kxSystemColor(COLOR_BTNSHADOW), kxSystemColor(COLOR_BTNSHADOW), 0xFFFFFF, 0x6A240A,
     kxSystemColor(COLOR_BTNFACE), kxSystemColor(COLOR_BTNFACE)},
    {0x9C613B, 0x9A3500, 0xFFFFFF, 0x800000, 0xFFFFFF, 0xF1A675},
    {0x588060, 0x6B7760, 0xFFFFFF, 0x385D3F, 0xFFFFFF, 0x8CC2B0},
    {0x947C7C, 0x927476, 0xFFFFFF, 0x6F4B4B, 0xFFFFFF, 0xCEB9BA}};

std::wstring Upper(std::wstring AText) {
  if (!AText.empty())
    CharUpperBuffW(AText.data(), static_cast<DWORD>(AText.size()));
  return AText;
}

} // namespace

// Derivation decides the inherited answers: Flat answers as Tabs for the
// default, Office11 derives from UltraFlat, OneNote from Slanted.
const TkxPCPainterClass kkxPCPainterClasses[9] = {
    {L"TkxPCTabsPainter", 1, L"Tabs", TkxPCStandardStyle::tsTabs, TabsHas, NativeStyleDefault},
    {L"TkxPCButtonsPainter", 2, L"Buttons", TkxPCStandardStyle::tsButtons, Never, Never},
    {L"TkxPCFlatButtonsPainter", 3, L"FlatButtons", TkxPCStandardStyle::tsFlatButtons, Never,
     Never},
    {L"TkxPCExtraFlatPainter", 5, L"ExtraFlat", TkxPCStandardStyle::tsTabs, Never, Never},
    {L"TkxPCUltraFlatPainter", 6, L"UltraFlat", TkxPCStandardStyle::tsTabs, UltraFlatHas, Never},
    {L"TkxPCFlatPainter", 7, L"Flat", TkxPCStandardStyle::tsTabs, FlatHas, NativeStyleDefault},
    {L"TkxPCOffice11Painter", 8, L"Office11", TkxPCStandardStyle::tsTabs, Office11Has, Never},
    {L"TkxPCSlantedPainter", 9, L"Slanted", TkxPCStandardStyle::tsTabs, Never, Never},
    {L"TkxPCOneNotePainter", 10, L"OneNote", TkxPCStandardStyle::tsTabs, Never, Never},
};

void TkxPCPaintersFactory::RegisterPCPainterClass(const TkxPCPainterClass* AItem) {
  if (AItem && std::find(FPainterClassList.begin(), FPainterClassList.end(), AItem) ==
                   FPainterClassList.end())
    FPainterClassList.push_back(AItem);
}

void TkxPCPaintersFactory::UnregisterPCPainterClass(const TkxPCPainterClass* AItem) {
  auto it = std::find(FPainterClassList.begin(), FPainterClassList.end(), AItem);
  if (it != FPainterClassList.end())
    FPainterClassList.erase(it);
}

const TkxPCPainterClass*
TkxPCPaintersFactory::GetPainterClass(TkxPCStandardStyle AStandardStyle) const {
  for (const auto* item : FPainterClassList)
    if (item->IsStandardStyle() && item->StandardStyle == AStandardStyle)
      return item;
  return nullptr;
}

const TkxPCPainterClass* TkxPCPaintersFactory::GetPainterClass(TkxPCStyleID AStyleID) const {
  for (const auto* item : FPainterClassList)
    if (item->StyleID == AStyleID)
      return item;
  return nullptr;
}

const TkxPCPainterClass*
TkxPCPaintersFactory::GetPainterClass(const std::wstring& AStyleName) const {
  const std::wstring wanted = Upper(AStyleName);
  for (const auto* item : FPainterClassList)
    if (Upper(item->StyleName) == wanted)
      return item;
  return nullptr;
}

TkxPCStyleID TkxPCPaintersFactory::GetStyleID(const TkxPCLookAndFeel& ALookAndFeel) const {
  for (auto it = FPainterClassList.rbegin(); it != FPainterClassList.rend(); ++it)
    if ((*it)->HasLookAndFeel(ALookAndFeel))
      return (*it)->StyleID;
  return kkxPCNoStyle;
}

TkxPCStyleID TkxPCPaintersFactory::GetDefaultStyleID(const TkxPCLookAndFeel& ALookAndFeel) const {
  if (FPainterClassList.empty())
    throw Exception(L"TkxPCPaintersFactory.GetDefaultStyleID: " +
                    KxPCResString(L"skxPCNoRegisteredStyles"));
  for (auto it = FPainterClassList.rbegin(); it != FPainterClassList.rend(); ++it)
    if ((*it)->IsDefault(ALookAndFeel))
      return (*it)->StyleID;
  return FPainterClassList.front()->StyleID;
}

TkxPCPaintersFactory* PaintersFactory() {
  return GFactory;
}

void RegisterPCPainterClass(const TkxPCPainterClass* APainterClass) {
  if (!GFactory)
    GFactory = new TkxPCPaintersFactory();
  GFactory->RegisterPCPainterClass(APainterClass);
}

void UnregisterPCPainterClass(const TkxPCPainterClass* APainterClass) {
  if (!GFactory)
    return;
  GFactory->UnregisterPCPainterClass(APainterClass);
  if (GFactory->PainterClassCount() == 0) {
    TkxPCPaintersFactory* factory = GFactory;
    GFactory = nullptr;
    delete factory;
  }
}

// ---------------------------------------------------------------------------
// Colours

COLORREF LightFaceColor() {
  return GLightFaceColor;
}

const std::array<TkxColor, 6>& OneNoteStyleColors() {
  return GOneNoteColors;
}

void UpdateLightFaceColor() {
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  auto lighten = [](BYTE AComponent) { return static_cast<BYTE>(std::min(255, AComponent + 20)); };
  GLightFaceColor =
      RGB(lighten(GetRValue(face)), lighten(GetGValue(face)), lighten(GetBValue(face)));
}

const std::array<TkxColor, 6>& OneNoteColorsForScheme(int AScheme) {
  return kOneNoteTable[AScheme >= 0 && AScheme < 4 ? AScheme : 0];
}

void UpdateOneNoteColors() {
  GOneNoteColors = OneNoteColorsForScheme(GetCurrentOffice11Scheme());
}

// ---------------------------------------------------------------------------
// The units

void KxPCFactoryStartup() {}

void KxPCFactoryShutdown() {
  try {
    if (GFactory) {
      TkxPCPaintersFactory* factory = GFactory;
      GFactory = nullptr;
      delete factory;
    }
  } catch (...) {
  }
}

void KxPCPaintersStartup() {
  try {
    UpdateLightFaceColor();
    UpdateOneNoteColors();
    if (!GOneNotePaletteNotifier) {
      GOneNotePaletteNotifier = new TkxPaletteChangedNotifier();
      LedgerRegistration(L"PaletteNotifier", L"OneNotePaletteNotifier", true);
    }
    for (const auto& painter : kkxPCPainterClasses) {
      RegisterPCPainterClass(&painter);
      LedgerRegistration(L"PagePainter", painter.StyleName, true);
    }
    GPaintersRegistered = true;
  } catch (...) {
  }
}

void KxPCPaintersShutdown() {
  try {
    if (GPaintersRegistered) {
      GPaintersRegistered = false;
      // In the same order as at load: the registry frees itself with the
      // last class.
      for (const auto& painter : kkxPCPainterClasses) {
        UnregisterPCPainterClass(&painter);
        LedgerRegistration(L"PagePainter", painter.StyleName, false);
      }
    }
    if (GOneNotePaletteNotifier) {
      TkxPaletteChangedNotifier* notifier = GOneNotePaletteNotifier;
      GOneNotePaletteNotifier = nullptr;
      delete notifier;
      LedgerRegistration(L"PaletteNotifier", L"OneNotePaletteNotifier", false);
    }
  } catch (...) {
  }
}
