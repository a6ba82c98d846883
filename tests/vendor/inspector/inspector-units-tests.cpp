#include "inspector-rows.h"
#include "inspector-units.h"

#include "ledger-mark.h"

#include "application.h"
#include "classes.h"
#include "resource-ledger.h"
#include "rtl-exceptions.h"

#include <gtest/gtest.h>

#include <iterator>

namespace {

const TUnitStep kInspectorSteps[] = {
    {L"gxInspectorRows", GxInspectorRowsStartup, GxInspectorRowsShutdown},
    {L"gxInspectorRowKinds", GxInspectorRowKindsStartup, GxInspectorRowKindsShutdown},
};
constexpr unsigned kStepCount = static_cast<unsigned>(std::size(kInspectorSteps));

std::vector<std::wstring> ExpectedRowClasses() {
  std::vector<std::wstring> names(std::begin(kgxInspectorRowClasses),
                                  std::end(kgxInspectorRowClasses));
  names.insert(names.end(), std::begin(kgxInspectorTextRowClasses),
               std::end(kgxInspectorTextRowClasses));
  return names;
}

TEST(InspectorUnits, RowClassesRegisterInOrderByNameOnly) {
  const TLedgerMark mark;
  {
    TLoadedSteps loaded(kInspectorSteps, kStepCount);
    const auto expected = ExpectedRowClasses();
    ASSERT_EQ(expected.size(), 18u);
    auto names = TClassRegistry::ClassNames();
    ASSERT_GE(names.size(), expected.size());
    EXPECT_EQ(std::vector<std::wstring>(names.end() - 18, names.end()), expected);
    EXPECT_EQ(expected[2], L"TgxInspectorTextMaskRow");
    EXPECT_EQ(expected.back(), L"TgxInspectorTextGraphicRow");
    // Nothing in the module makes a row by name.
    EXPECT_THROW(TClassRegistry::CreateObject(L"TgxInspectorTextRow"), EClassNotFound);
  }
  EXPECT_EQ(mark.Names(L"RowClass", true), ExpectedRowClasses());
  for (const auto& name : ExpectedRowClasses())
    EXPECT_FALSE(TClassRegistry::IsRegistered(name)) << name;
}

TEST(InspectorUnits, CursorsImageListAndBitmapLiveFromLoadToUnload) {
  const TLedgerMark mark;
  const size_t cursorsBefore = TResourceLedger::Count(TResourceKind::Cursor);
  {
    TLoadedSteps loaded(kInspectorSteps, kStepCount);
    for (const auto& cursor : kgxInspectorCursors)
      EXPECT_NE(Screen()->Cursor(cursor.Slot), nullptr) << cursor.Slot;
    EXPECT_EQ(TResourceLedger::Count(TResourceKind::Cursor), cursorsBefore + 5);
    ASSERT_NE(InspectorImageList(), nullptr);
    int cx = 0, cy = 0;
    ASSERT_TRUE(ImageList_GetIconSize(InspectorImageList(), &cx, &cy));
    EXPECT_EQ(cx, 1);
    EXPECT_EQ(cy, 1);
    EXPECT_TRUE(InspectorDragBitmapExists());
    EXPECT_EQ(InspectorCheckTrueText(), L"True");
    EXPECT_EQ(InspectorCheckFalseText(), L"False");
  }
  EXPECT_EQ(InspectorImageList(), nullptr);
  EXPECT_FALSE(InspectorDragBitmapExists());
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Cursor), cursorsBefore);
  EXPECT_TRUE(mark.Unbalanced().empty());
}

TEST(InspectorUnits, ShutdownsRaiseNothingWithoutTheirStartups) {
  const TLedgerMark mark;
  for (size_t i = kStepCount; i-- > 0;)
    EXPECT_NO_THROW(kInspectorSteps[i].Shutdown());
  EXPECT_TRUE(mark.Since().empty());
}

} // namespace
