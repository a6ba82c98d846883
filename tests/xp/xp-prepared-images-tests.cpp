#include "fixed-theme.h"
#include "xp-controls.h"

#include "alpha-image.h"
#include "resource-ledger.h"
#include "seams.h"
#include "xp-system.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

// The control manager's prepared artwork, read from the program's own
// resources.

namespace {

class PreparedImages : public ::testing::Test {
protected:
  void SetUp() override {
    XPLibraryShutdown();
    FStart = TResourceLedger::Total();
    FRegistrations = TResourceLedger::Registrations();
    XPLibraryStartup();
  }
  void TearDown() override {
    XPLibraryShutdown();
    FinalizeGraphics();
    EXPECT_EQ(TResourceLedger::Total(), FStart);
    EXPECT_EQ(TResourceLedger::Registrations(), FRegistrations);
  }

private:
  size_t FStart = 0;
  size_t FRegistrations = 0;
};

std::vector<uint8_t> PixelsOf(const TAlphaImage& AImage) {
  GdiFlush();
  const uint8_t* bits = AImage.Bits();
  return std::vector<uint8_t>(bits, bits + size_t(AImage.Width()) * AImage.Height() * 4);
}

uint32_t Bgr(TColor AColor) {
  const uint32_t rgb = uint32_t(ColorToRGB(AColor));
  return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

TEST_F(PreparedImages, CheckBoxArtworkIsThirteenByOneHundredFiftySix) {
  TAlphaImage image(L"XPCHECKBOX");
  EXPECT_EQ(image.Width(), 13u);
  EXPECT_EQ(image.Height(), 156u);
}

TEST_F(PreparedImages, NeutralColoursBecomeTheSystemColours) {
  TAlphaImage raw(L"XPCHECKBOX");
  std::unique_ptr<TAlphaImage> prepared;
  CreateXPAlphaImage(prepared, L"XPCHECKBOX");
  ASSERT_TRUE(prepared);
  EXPECT_TRUE(TXPControlManager::IsPrepared(prepared.get()));
  EXPECT_NE(TXPControlManager::MessageWindow(), nullptr);
  struct TSubst {
    uint32_t Source;
    TColor Dest;
  };
  // As blue, green, red in memory.
  const TSubst substs[] = {{0xFFFFFF, clBtnHighlight},
                           {0xC0C0C0, clBtnFace},
                           {0x808080, clBtnShadow},
                           {0x000000, clBtnText}};
  const std::vector<uint8_t> before = PixelsOf(raw), after = PixelsOf(*prepared);
  ASSERT_EQ(before.size(), after.size());
  int substituted = 0;
  for (size_t i = 0; i < before.size(); i += 4) {
    uint32_t bgr = 0, expected = 0;
    std::memcpy(&bgr, &before[i], 3);
    expected = bgr;
    for (const TSubst& subst : substs)
      if (bgr == subst.Source) {
        expected = Bgr(subst.Dest);
        ++substituted;
        break;
      }
    uint32_t actual = 0;
    std::memcpy(&actual, &after[i], 3);
    ASSERT_EQ(actual, expected) << "pixel " << i / 4;
    ASSERT_EQ(after[i + 3], before[i + 3]) << "alpha of pixel " << i / 4;
  }
  EXPECT_GT(substituted, 0) << "the artwork holds neutral colours";
}

TEST_F(PreparedImages, ColourChangeReadsEveryImageAgainAndRecoloursItOnce) {
  TFixedTheme theme(TThemeState::Classic);
  TSeamScope<TThemeSeam> scope(theme);
  UpdateXPLibraryColors();
  std::unique_ptr<TAlphaImage> check, radio, reference;
  CreateXPAlphaImage(check, L"XPCHECKBOX");
  CreateXPAlphaImage(radio, L"XPRADIOBUTTON");
  CreateXPAlphaImage(reference, L"XPCHECKBOX");
  const std::vector<uint8_t> radioPrepared = PixelsOf(*radio);
  // Spoil both: only a fresh read gives the pixels back.
  std::memset(check->Bits(), 0x12, PixelsOf(*check).size());
  std::memset(radio->Bits(), 0xFF, PixelsOf(*radio).size());
  theme.Set(TThemeState::Emulated);
  SendMessageW(TXPControlManager::MessageWindow(), WM_SYSCOLORCHANGE, 0, 0);
  EXPECT_EQ(PixelsOf(*check), PixelsOf(*reference));
  EXPECT_EQ(PixelsOf(*radio), radioPrepared);
  // The library colours follow the theme state of the moment.
  EXPECT_EQ(clXPBtnFace, TColor(0xDEEBEF));
  theme.Set(TThemeState::Classic);
  SendMessageW(TXPControlManager::MessageWindow(), WM_SYSCOLORCHANGE, 0, 0);
  EXPECT_EQ(clXPBtnFace, clBtnFace);
}

TEST_F(PreparedImages, FreedImageLeavesTheListAndIsNeverReadAgain) {
  std::unique_ptr<TAlphaImage> kept, freed;
  CreateXPAlphaImage(kept, L"XPCHECKBOX");
  CreateXPAlphaImage(freed, L"XPRADIOBUTTON");
  const TAlphaImage* gone = freed.get();
  freed.reset();
  EXPECT_FALSE(TXPControlManager::IsPrepared(gone));
  // Preparing into a variable that holds an image frees the old one.
  std::unique_ptr<TAlphaImage> replaced;
  CreateXPAlphaImage(replaced, L"XPRADIOBUTTON");
  const TAlphaImage* first = replaced.get();
  CreateXPAlphaImage(replaced, L"XPCHECKBOX");
  EXPECT_NE(replaced.get(), first);
  EXPECT_FALSE(TXPControlManager::IsPrepared(first));
  EXPECT_TRUE(TXPControlManager::IsPrepared(replaced.get()));
  EXPECT_EQ(replaced->Height(), 156u);
  const std::vector<uint8_t> before = PixelsOf(*kept);
  std::memset(kept->Bits(), 0, before.size());
  SendMessageW(TXPControlManager::MessageWindow(), WM_SYSCOLORCHANGE, 0, 0);
  EXPECT_EQ(PixelsOf(*kept), before);
  EXPECT_TRUE(TXPControlManager::IsPrepared(kept.get()));
}

TEST_F(PreparedImages, ShutDownForgetsTheListButLeavesTheImagesToTheirOwners) {
  std::unique_ptr<TAlphaImage> image;
  CreateXPAlphaImage(image, L"XPCHECKBOX");
  const HWND window = TXPControlManager::MessageWindow();
  ASSERT_NE(window, nullptr);
  XPLibraryShutdown();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(TXPControlManager::MessageWindow(), nullptr);
  EXPECT_FALSE(TXPControlManager::IsPrepared(image.get()));
  EXPECT_EQ(image->Width(), 13u);
  // The owner frees it later; the fixture shows the ledger balances.
  image.reset();
}

TEST_F(PreparedImages, MissingResourceRaisesAndRemembersNothing) {
  std::unique_ptr<TAlphaImage> image;
  EXPECT_ANY_THROW(CreateXPAlphaImage(image, L"NO_SUCH_ARTWORK"));
  EXPECT_EQ(image, nullptr);
}

} // namespace
