#include "gx-check-edit.h"
#include "gx-container.h"
#include "gx-resources.h"
#include "gx-utils.h"

#include "application.h"
#include "image-lists.h"
#include "ledger-balance.h"
#include "resource-ledger.h"
#include "support/test-harness.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

// The editor unit's step between the editor base's, as the module loads it.
class EditorResources : public TLedgerBalancedTest {
protected:
  void SetUp() override {
    TLedgerBalancedTest::SetUp();
    FRegistrations = TResourceLedger::Registrations();
    GxUtilsStartup();
    GxContainerStartup();
  }
  void ReleaseShared() override {
    GxContainerShutdown();
    GxUtilsShutdown();
    ReleaseApplication();
    EXPECT_EQ(TResourceLedger::Registrations(), FRegistrations);
  }

private:
  size_t FRegistrations = 0;
};

TEST_F(EditorResources, StartupLoadsCursorTextsAndControllerAndShutdownGivesEverythingBack) {
  const size_t registrations = TResourceLedger::Registrations();
  const size_t cursors = TResourceLedger::Count(TResourceKind::Cursor);
  GxExEditorsStartup();
  EXPECT_EQ(TResourceLedger::Registrations(), registrations + 2) << "cursor slot and controller";
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Cursor), cursors + 1);
  ASSERT_TRUE(Screen()->HasCursor(kgxHandPointCursor));
  EXPECT_NE(Screen()->Cursor(kgxHandPointCursor), nullptr);

  EXPECT_GT(GetSystemCheckWidth(), 0);
  EXPECT_GT(GetSystemCheckHeight(), 0);
  EXPECT_EQ(GetInvalidDateText(), L"Invalid Date");
  const wchar_t* const tools[][2] = {{L"Cu&t", L"Cut"},
                                     {L"&Copy", L"Copy"},
                                     {L"&Paste", L"Paste"},
                                     {L"&Delete", L"Delete"},
                                     {L"&Load...", L"Load from file..."},
                                     {L"&Save To...", L"Save to file..."}};
  for (int i = 0; i < kgxEditorToolCount; ++i) {
    EXPECT_EQ(GetToolMenuCaption(TgxEditorTool(i)), tools[i][0]) << i;
    EXPECT_EQ(GetToolHint(TgxEditorTool(i)), tools[i][1]) << i;
  }
  const wchar_t* const captions[] = {L"&OK",
                                     L"&Cancel",
                                     L"&Close",
                                     L"Cu&t",
                                     L"&Copy",
                                     L"&Paste",
                                     L"&Delete",
                                     L"&Save to file...",
                                     L"&Load from file..."};
  for (int i = 0; i < kgxEditorCaptionCount; ++i)
    EXPECT_EQ(GetEditorCaption(TgxEditorCaption(i)), captions[i]) << i;
  const wchar_t* const keywords[] = {L"TODAY",   L"YESTERDAY", L"TOMORROW", L"SUNDAY", L"MONDAY",
                                     L"TUESDAY", L"WEDNESDAY", L"THURSDAY", L"FRIDAY", L"SATURDAY",
                                     L"FIRST",   L"SECOND",    L"THIRD",    L"FOURTH", L"FIFTH",
                                     L"SIXTH",   L"SEVENTH",   L"BOM",      L"EOM",    L"NOW"};
  for (int i = 0; i < kgxDateKeywordCount; ++i)
    EXPECT_EQ(GetDateKeyword(i), keywords[i]) << i;
  EXPECT_EQ(GetDateKeyword(20), L"") << "past the table";
  EXPECT_NE(GetEditorMeasureCanvas(), nullptr);
  EXPECT_DOUBLE_EQ(kgxMaxTime + kgxOneSecond, 1.0);
  EXPECT_DOUBLE_EQ(kgxOneHour, 60 * kgxOneMinute);

  TgxCheckEditStyleController* controller = GetDefaultCheckEditStyleController();
  ASSERT_NE(controller, nullptr);
  EXPECT_EQ(controller->BorderStyle(), xbsNone);
  EXPECT_EQ(controller->ButtonStyle(), bts3D);
  controller->SetBorderStyle(xbsThick);
  controller->RestoreDefaults();
  EXPECT_EQ(controller->BorderStyle(), xbsNone) << "its own defaults come back";

  GxExEditorsShutdown();
  EXPECT_EQ(TResourceLedger::Registrations(), registrations);
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Cursor), cursors);
  EXPECT_FALSE(Screen()->HasCursor(kgxHandPointCursor) &&
               Screen()->Cursor(kgxHandPointCursor) != nullptr);
  EXPECT_EQ(GetDefaultCheckEditStyleController(), nullptr);
  EXPECT_EQ(GetEditorMeasureCanvas(), nullptr);
  EXPECT_EQ(GetEditorCaption(ecOk), L"");
}

TEST_F(EditorResources, OnlyTheFirstStartupWorksAndOnlyTheLastShutdownFrees) {
  GxExEditorsStartup();
  TgxCheckEditStyleController* first = GetDefaultCheckEditStyleController();
  GxExEditorsStartup();
  EXPECT_EQ(GetDefaultCheckEditStyleController(), first) << "no second controller";
  GxExEditorsShutdown();
  EXPECT_EQ(GetDefaultCheckEditStyleController(), first) << "one start-up still holds it";
  GxExEditorsShutdown();
  EXPECT_EQ(GetDefaultCheckEditStyleController(), nullptr);
  GxExEditorsShutdown();
  EXPECT_EQ(GetDefaultCheckEditStyleController(), nullptr) << "an extra shut-down does nothing";
}

TEST_F(EditorResources, PictureListsAreMadeOnceOnFirstUseAndFreedWithTheUnit) {
  GxExEditorsStartup();
  const size_t lists = TResourceLedger::Count(TResourceKind::ImageList);
  struct TCase {
    const char* Name;
    TCustomImageList* (*Get)();
    int Count, Width, Height;
  };
  for (const TCase& c :
       {TCase{"blob", &GetBlobImages, 8, 18, 16}, TCase{"tool", &GetToolImages, 6, 16, 16}}) {
    TCustomImageList* list = c.Get();
    ASSERT_NE(list, nullptr) << c.Name;
    EXPECT_EQ(c.Get(), list) << c.Name << ": built once";
    EXPECT_EQ(list->Count(), c.Count) << c.Name;
    EXPECT_EQ(list->Width(), c.Width) << c.Name;
    EXPECT_EQ(list->Height(), c.Height) << c.Name;

    // The see-through colour (olive for the blob pictures, the bitmap's own
    // for the tools) shows what lies under the picture.
    for (int index = 0; index < c.Count; ++index) {
      TBitmap under(c.Width, c.Height, TPixelFormat::pf32bit);
      under.Canvas().Brush().SetColor(TColor(RGB(255, 0, 0)));
      under.Canvas().FillRect({0, 0, c.Width, c.Height});
      list->Draw(under.Canvas(), 0, 0, index);
      GdiFlush();
      EXPECT_EQ(harness::PixelAt(under, 0, c.Height - 1), TColor(RGB(255, 0, 0)))
          << c.Name << " " << index;
    }
  }
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::ImageList), lists + 2);
  GxExEditorsShutdown();
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::ImageList), lists) << "both go with the unit";
}

} // namespace
