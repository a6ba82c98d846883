#include "cfi-flash-query.h"

#include "flash-memory-utility.h"
#include "forms.h"
#include "gx-container.h"
#include "seams.h"
#include "support/test-harness.h"
#include "tree-list-drawing.h"
#include "tree-list.h"
#include "xp-buttons.h"
#include "xp-controls.h"
#include "xp-ext-panel.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

TRemoteCommandResult Answer(std::initializer_list<uint32_t> AWords) {
  TRemoteCommandResult result;
  uint32_t* word = result.resultArray;
  for (uint32_t value : AWords)
    *word++ = value;
  return result;
}

// The lines from the widths line on, or from the region count on.
struct TLinesCase {
  const char* Name;
  TRemoteCommandResult Result;
  std::vector<std::wstring> Expected;
  size_t From;
};

class CfiFlashQueryLines : public ::testing::TestWithParam<TLinesCase> {};

TEST_P(CfiFlashQueryLines, DescribeTheQuerysAnswer) {
  const std::vector<std::wstring> lines = ::CfiFlashQueryLines(GetParam().Result);
  ASSERT_GE(lines.size(), GetParam().From);
  EXPECT_EQ(std::vector<std::wstring>(lines.begin() + GetParam().From, lines.end()),
            GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    CfiFlashQuery, CfiFlashQueryLines,
    ::testing::Values(
        TLinesCase{"KnownCommandSetAndSize",
                   Answer({2, 20, 2, 0}),
                   {L"Primary vendor command set: AMD/Fujitsu Standard Command Set",
                    L"Size: 1048576 (Hex: 0x00100000)", L"Supported widths: 16",
                    L"Number of erase block regions: 0"},
                   0},
        TLinesCase{"UnknownCommandSetIsNA",
                   Answer({5, 0, 1, 0}),
                   {L"Primary vendor command set: NA", L"Size: 1 (Hex: 0x00000001)",
                    L"Supported widths: 8", L"Number of erase block regions: 0"},
                   0},
        TLinesCase{"LargestCommandSetId",
                   Answer({528, 31, 8, 0}),
                   {L"Primary vendor command set: Intel Data Command Set",
                    L"Size: 2147483648 (Hex: 0x80000000)", L"Supported widths: 64",
                    L"Number of erase block regions: 0"},
                   0},
        TLinesCase{"WidthZeroListsEveryWidth",
                   Answer({1, 0, 0, 0}),
                   {L"Supported widths: 8 16 32 64", L"Number of erase block regions: 0"},
                   2},
        TLinesCase{"WidthThreeListsNothing",
                   Answer({1, 0, 3, 0}),
                   {L"Supported widths:", L"Number of erase block regions: 0"},
                   2},
        TLinesCase{"OneRegionOf64BlocksOf64K",
                   Answer({1, 0, 0, 1, 0x0100003F}),
                   {L"Number of erase block regions: 1", L"Erase Block Region 1: 64 x 64K"},
                   3},
        TLinesCase{"SixRegionsShowTheFourWordsThereAre",
                   Answer({1, 0, 0, 6, 0x00200007, 0x0100003F, 0x00400000, 0x00010001}),
                   {L"Number of erase block regions: 6", L"Erase Block Region 1: 8 x 8K",
                    L"Erase Block Region 2: 64 x 64K", L"Erase Block Region 3: 1 x 16K",
                    L"Erase Block Region 4: 2 x 0K"},
                   3},
        TLinesCase{"AnExponentBeyond32BitsShowsZero",
                   Answer({1, 40, 0, 0}),
                   {L"Size: 0 (Hex: 0x00000000)", L"Supported widths: 8 16 32 64",
                    L"Number of erase block regions: 0"},
                   1}),
    [](const ::testing::TestParamInfo<TLinesCase>& AInfo) { return AInfo.param.Name; });

class CfiFlashQuery : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    XPLibraryStartup();
    GxUtilsStartup();
    GxContainerStartup();
    GxTreeListStartup();
  }
  static void TearDownTestSuite() {
    GxTreeListShutdown();
    GxContainerShutdown();
    GxUtilsShutdown();
    XPLibraryShutdown();
  }
  static std::vector<std::wstring> LinesOf(TCfiFlashQueryForm& AForm) {
    std::vector<std::wstring> lines;
    for (int i = 0; i < AForm.Tree_CfiQuery->Count(); ++i)
      lines.push_back(AForm.Tree_CfiQuery->Items(i)->Strings(0));
    return lines;
  }
};

TEST_F(CfiFlashQuery, TheDialogListsTheLinesInAReadOnlyHeaderlessList) {
  TCustomForm owner(nullptr);
  const TRemoteCommandResult result = Answer({4, 22, 2, 2, 0x0020003F, 0x01000007});
  auto* form = new TCfiFlashQueryForm(&owner, result);
  EXPECT_EQ(form->Caption(), L"CFI Flash Query");
  EXPECT_EQ(LinesOf(*form), ::CfiFlashQueryLines(result));
  EXPECT_EQ(form->Tree_CfiQuery->Count(), 6);
  TgxTreeList& list = *form->Tree_CfiQuery;
  EXPECT_EQ(list.ColumnCount(), 1);
  EXPECT_EQ(list.Bands().Count(), 1);
  EXPECT_TRUE(form->Tree_CfiQueryColumnText->ReadOnly());
  EXPECT_EQ(form->Tree_CfiQueryColumnText->Width(), 491);
  EXPECT_FALSE(list.ShowHeaders());
  EXPECT_FALSE(list.ShowLines());
  EXPECT_FALSE(list.ShowRoot());
  EXPECT_FALSE(list.ShowButtons());
  EXPECT_EQ(list.IndicatorWidth(), 0);
  EXPECT_EQ(list.Color(), clBtnFace);
  EXPECT_NE(list.OptionsEx() & OptionBit(aoAutoCopySelectedToClipboard), 0u);
  EXPECT_EQ(form->buttonClose->Caption(), L"Close");
  EXPECT_TRUE(form->buttonClose->Default());
  EXPECT_TRUE(form->buttonClose->Cancel());
  EXPECT_EQ(form->buttonClose->ModalResult(), TCfiFlashQueryForm::kCloseResult);
}

// A modal loop that reads the dialog it was given and closes it with its
// button, bounded.
class TReadingModalLoop : public TModalLoopSeam {
public:
  std::vector<std::wstring> Lines;
  bool WindowShown = false;
  int Run(HWND AWindow, const std::function<int()>& AResult) override {
    WindowShown = IsWindowVisible(AWindow) != FALSE;
    TCfiFlashQueryForm* form = nullptr;
    for (TCustomForm* each : TCustomForm::Forms())
      if (auto* query = dynamic_cast<TCfiFlashQueryForm*>(each))
        form = query;
    if (!form)
      return 0;
    for (int i = 0; i < form->Tree_CfiQuery->Count(); ++i)
      Lines.push_back(form->Tree_CfiQuery->Items(i)->Strings(0));
    form->buttonClose->Click();
    for (int step = 0; step < 10; ++step) {
      harness::PumpMessages();
      if (const int result = AResult())
        return result;
    }
    return 0;
  }
};

TEST_F(CfiFlashQuery, TheFlashUtilityShowsTheAnswerModallyAndFreesTheDialog) {
  TCustomForm owner(nullptr);
  TReadingModalLoop loop;
  TSeamScope<TModalLoopSeam> scope(loop);
  const TRemoteCommandResult result = Answer({1, 24, 0, 1, 0x0100003F});
  ShowCfiFlashQueryResult(owner, result);
  EXPECT_TRUE(loop.WindowShown);
  EXPECT_EQ(loop.Lines, ::CfiFlashQueryLines(result));
  for (TCustomForm* form : TCustomForm::Forms())
    EXPECT_EQ(dynamic_cast<TCfiFlashQueryForm*>(form), nullptr);
}

} // namespace
