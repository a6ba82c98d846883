#include "page-control-painters.h"
#include "page-control-strings.h"
#include "page-control-units.h"

#include "ledger-mark.h"

#include "gx-office11.h"
#include "kx-look-and-feels.h"
#include "rtl-exceptions.h"

#include <gtest/gtest.h>

#include <iterator>

namespace {

const TUnitStep kPageControlSteps[] = {
    {L"kxPCStrs", KxPCStringsStartup, KxPCStringsShutdown},
    {L"kxPCPaintersFactory", KxPCFactoryStartup, KxPCFactoryShutdown},
    {L"kxPCPainters", KxPCPaintersStartup, KxPCPaintersShutdown},
};
constexpr unsigned kStepCount = static_cast<unsigned>(std::size(kPageControlSteps));

const std::vector<std::wstring> kPainterOrder = {L"Tabs",      L"Buttons",   L"FlatButtons",
                                                 L"ExtraFlat", L"UltraFlat", L"Flat",
                                                 L"Office11",  L"Slanted",   L"OneNote"};

TEST(PageControlUnits, NinePaintersRegisterInTheirOrderAndTheRegistryGoesWithThem) {
  const TLedgerMark mark;
  {
    TLoadedSteps loaded(kPageControlSteps, kStepCount);
    ASSERT_NE(PaintersFactory(), nullptr);
    ASSERT_EQ(PaintersFactory()->PainterClassCount(), kPainterOrder.size());
    const TkxPCStyleID ids[] = {1, 2, 3, 5, 6, 7, 8, 9, 10};
    for (size_t i = 0; i < kPainterOrder.size(); ++i) {
      EXPECT_EQ(PaintersFactory()->PainterClass(i)->StyleName, kPainterOrder[i]);
      EXPECT_EQ(PaintersFactory()->PainterClass(i)->StyleID, ids[i]);
    }
    EXPECT_EQ(PaintersFactory()->GetPainterClass(4), nullptr);
    EXPECT_EQ(PaintersFactory()->GetPainterClass(std::wstring(L"oNeNoTe")),
              &kkxPCPainterClasses[8]);
    EXPECT_EQ(PaintersFactory()->GetPainterClass(TkxPCStandardStyle::tsFlatButtons),
              &kkxPCPainterClasses[2]);
  }
  EXPECT_EQ(mark.Names(L"PagePainter", true), kPainterOrder);
  EXPECT_EQ(PaintersFactory(), nullptr);
  EXPECT_TRUE(mark.Unbalanced().empty());
}

TEST(PageControlUnits, StyleFollowsTheLookAndFeelFromTheLastRegisteredPainter) {
  struct TCase {
    TkxLookAndFeelStyle TabsStyle;
    bool Skin;
    bool Native;
    TkxPCStyleID Style;
    TkxPCStyleID Default;
  };
  const TCase cases[] = {
      {lfsOffice11, false, false, 8, 1}, {lfsOffice11, true, false, -1, 1},
      {lfsFlat, false, false, 7, 1},     {lfsUltraFlat, false, true, 6, 7},
      {lfsStandard, false, false, 1, 1}, {lfsNative, false, true, 1, 7},
      {lfsSkin, true, false, -1, 1},
  };
  TLoadedSteps loaded(kPageControlSteps, kStepCount);
  for (const auto& c : cases) {
    const TkxPCLookAndFeel lookAndFeel{c.TabsStyle, c.Skin, c.Native};
    EXPECT_EQ(PaintersFactory()->GetStyleID(lookAndFeel), c.Style) << int(c.TabsStyle);
    EXPECT_EQ(PaintersFactory()->GetDefaultStyleID(lookAndFeel), c.Default) << int(c.TabsStyle);
  }
}

TEST(PageControlUnits, EmptyRegistryRefusesADefaultStyleWithItsMessage) {
  TkxPCPaintersFactory factory;
  try {
    factory.GetDefaultStyleID(TkxPCLookAndFeel{});
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(),
              L"TkxPCPaintersFactory.GetDefaultStyleID: There are no styles registered");
  }
}

TEST(PageControlUnits, StringsAreRegisteredUnderTheirProductWhileLoaded) {
  {
    TLoadedSteps loaded(kPageControlSteps, kStepCount);
    auto* repository = GetResourceStringsRepository();
    const int index = repository->GetProductIndexByName(kkxPCStringsProduct);
    ASSERT_GE(index, 0);
    EXPECT_EQ(repository->GetProduct(index).ResStringsCount(), 12);
    EXPECT_EQ(repository->GetOriginalValue(L"skxPCPageIndexError"),
              L"%d is an invalid PageIndex value.  PageIndex must be between 0 and %d");
  }
  EXPECT_LT(GetResourceStringsRepository()->GetProductIndexByName(kkxPCStringsProduct), 0);
}

TEST(PageControlUnits, OneNoteColoursAreTheSchemeRowAndTheListenerLivesWithTheUnit) {
  ASSERT_EQ(PaletteListenerWindow(), nullptr);
  {
    TLoadedSteps loaded(kPageControlSteps, kStepCount);
    EXPECT_EQ(OneNoteStyleColors(), OneNoteColorsForScheme(GetCurrentOffice11Scheme()));
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(GetRValue(LightFaceColor()), std::min(255, GetRValue(face) + 20));
    EXPECT_NE(PaletteListenerWindow(), nullptr) << "no notifier listens for colour changes";
    SendMessageW(PaletteListenerWindow(), WM_SYSCOLORCHANGE, 0, 0);
    EXPECT_EQ(OneNoteStyleColors(), OneNoteColorsForScheme(GetCurrentOffice11Scheme()));
  }
  EXPECT_EQ(PaletteListenerWindow(), nullptr) << "the notifier outlived its unit";
}

} // namespace
