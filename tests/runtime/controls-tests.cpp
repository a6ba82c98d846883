#include "controls.h"

#include "application.h"
#include "resource-ledger.h"
#include "seams.h"
#include "support/test-harness.h"
#include "timers.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <vector>

namespace {

// A windowed control that fills itself with one colour and records what it
// saw while painting.
class TBox : public TCustomControl {
public:
  using TCustomControl::TCustomControl;
  std::wstring ClassName() const override { return L"TBox"; }
  TColor Fill = clWhite;
  int Paints = 0;
  bool LastPaintCopy = false;
  DWORD LastDCKind = 0;
  bool ThrowInPaint = false;
  std::vector<std::pair<UINT, LPARAM>> Reflected;
  int TextChanges = 0, FontChanges = 0, ColorChanges = 0, EnabledChanges = 0;
  int ShowingChanges = 0, VisibleChanges = 0, Ctl3DChanges = 0;
  std::vector<std::pair<TControl*, bool>> ListChanges;

  void TextChanged() override {
    ++TextChanges;
    TCustomControl::TextChanged();
  }
  void FontChanged() override {
    ++FontChanges;
    TCustomControl::FontChanged();
  }
  void ColorChanged() override {
    ++ColorChanges;
    TCustomControl::ColorChanged();
  }
  void EnabledChanged() override {
    ++EnabledChanges;
    TCustomControl::EnabledChanged();
  }
  void ShowingChanged() override { ++ShowingChanges; }
  void VisibleChanged() override { ++VisibleChanges; }
  void Ctl3DChanged() override { ++Ctl3DChanges; }
  void ControlListChanged(TControl* AControl, bool AInserting) override {
    ListChanges.push_back({AControl, AInserting});
  }

protected:
  void Paint() override {
    ++Paints;
    LastPaintCopy = InState(csPaintCopy);
    LastDCKind = GetObjectType(Canvas().Handle());
    if (ThrowInPaint)
      throw EInvalidOperation(L"paint failed");
    Canvas().Brush().SetStyle(TBrushStyle::Solid);
    Canvas().Brush().SetColor(Fill);
    Canvas().FillRect(ClientRect());
  }
  void WndProc(TMessage& AMessage) override {
    if (AMessage.Msg >= CN_BASE && AMessage.Msg < CN_BASE + 0x400) {
      Reflected.push_back({AMessage.Msg, AMessage.LParam});
      AMessage.Result = 0x5A;
      return;
    }
    TCustomControl::WndProc(AMessage);
  }
};

// A graphic control that fills its bounds and records mouse traffic.
class TSwatch : public TGraphicControl {
public:
  using TGraphicControl::TGraphicControl;
  std::wstring ClassName() const override { return L"TSwatch"; }
  TColor Fill = clRed;
  bool Ticked = false;
  bool LastPaintCopy = false;
  int Clicks = 0, Enters = 0, Leaves = 0;
  std::vector<POINT> Downs, Ups, Moves;
  bool Checked() const override { return Ticked; }
  void MouseEnter(intptr_t AMarker) override {
    ++Enters;
    TGraphicControl::MouseEnter(AMarker);
  }
  void MouseLeave(intptr_t AMarker) override {
    ++Leaves;
    TGraphicControl::MouseLeave(AMarker);
  }

protected:
  void Paint() override {
    LastPaintCopy = InState(csPaintCopy);
    Canvas().Brush().SetColor(Fill);
    Canvas().FillRect({0, 0, Width(), Height()});
  }
  void Click() override {
    ++Clicks;
    TGraphicControl::Click();
  }
  void MouseDown(TMouseButton, TShiftState, int AX, int AY) override { Downs.push_back({AX, AY}); }
  void MouseUp(TMouseButton, TShiftState, int AX, int AY) override { Ups.push_back({AX, AY}); }
  void MouseMove(TShiftState, int AX, int AY) override { Moves.push_back({AX, AY}); }
};

// A control that refuses one kind of child.
class TPickyBox : public TBox {
public:
  using TBox::TBox;
  void ValidateInsertControl(TControl* AControl) override {
    if (dynamic_cast<TSwatch*>(AControl))
      throw EInvalidOperation(L"no swatches here");
  }
};

// A parent window on the desktop with the scene's children; frees
// everything (owner tree) at the end.
class ControlsTest : public ::testing::Test {
protected:
  void SetUp() override {
    FWindowsBefore = TResourceLedger::Count(TResourceKind::Window);
    Owner = std::make_unique<TComponent>(nullptr);
    Form = new TBox(Owner.get());
    Form->SetBounds(40, 40, 200, 100);
    Form->Fill = clWhite;
  }
  void TearDown() override {
    Owner.reset();
    EXPECT_EQ(TResourceLedger::Count(TResourceKind::Window), FWindowsBefore);
  }
  template <typename T> T* Add(TWinControl* AParent, RECT ABounds) {
    auto* control = new T(Owner.get());
    control->SetBoundsRect(ABounds);
    control->SetParent(AParent);
    return control;
  }
  std::unique_ptr<TComponent> Owner;
  TBox* Form = nullptr;

private:
  size_t FWindowsBefore = 0;
};

void ExpectRect(const RECT& AActual, const RECT& AExpected, const char* AWhat) {
  EXPECT_EQ(AActual.left, AExpected.left) << AWhat;
  EXPECT_EQ(AActual.top, AExpected.top) << AWhat;
  EXPECT_EQ(AActual.right, AExpected.right) << AWhat;
  EXPECT_EQ(AActual.bottom, AExpected.bottom) << AWhat;
}

// --- layout ------------------------------------------------------------------------

struct TAlignCase {
  const char* Name;
  std::vector<std::pair<TAlign, RECT>> Children; // align, initial bounds
  std::vector<RECT> Expected;
};

TEST_F(ControlsTest, AlignedChildrenFillTheClientAreaSideBySide) {
  const std::vector<TAlignCase> cases = {
      {"top then bottom then client",
       {{alTop, {0, 0, 10, 20}}, {alBottom, {0, 0, 10, 15}}, {alClient, {5, 5, 6, 6}}},
       {{0, 0, 200, 20}, {0, 85, 200, 100}, {0, 20, 200, 85}}},
      {"left and right keep their widths",
       {{alLeft, {0, 0, 30, 5}}, {alRight, {0, 0, 40, 5}}, {alClient, {0, 0, 1, 1}}},
       {{0, 0, 30, 100}, {160, 0, 200, 100}, {30, 0, 160, 100}}},
      {"tops stack in the order of their positions",
       {{alTop, {0, 50, 10, 60}}, {alTop, {0, 0, 10, 25}}},
       {{0, 25, 200, 35}, {0, 0, 200, 25}}},
      {"top is placed before left, left shares what is left",
       {{alLeft, {0, 0, 50, 5}}, {alTop, {0, 0, 5, 30}}},
       {{0, 30, 50, 100}, {0, 0, 200, 30}}},
      {"unaligned child stays where it is",
       {{alNone, {7, 8, 17, 18}}, {alClient, {0, 0, 1, 1}}},
       {{7, 8, 17, 18}, {0, 0, 200, 100}}},
  };
  for (const auto& c : cases) {
    SetUp();
    // Laid out once for all, as a form does after loading.
    Form->DisableAlign();
    std::vector<TControl*> children;
    for (const auto& [align, bounds] : c.Children) {
      TControl* child = Add<TSwatch>(Form, bounds);
      child->SetAlign(align);
      children.push_back(child);
    }
    Form->EnableAlign();
    for (size_t i = 0; i < children.size(); ++i)
      ExpectRect(children[i]->BoundsRect(), c.Expected[i], c.Name);
    TearDown();
  }
}

TEST_F(ControlsTest, AlignmentWaitsWhileDisabledAndRunsOnceEnabled) {
  Form->DisableAlign();
  auto* top = Add<TBox>(Form, {0, 40, 10, 60});
  top->SetAlign(alTop);
  ExpectRect(top->BoundsRect(), {0, 40, 10, 60}, "while disabled");
  EXPECT_TRUE(Form->InState(csAlignmentNeeded));
  Form->EnableAlign();
  ExpectRect(top->BoundsRect(), {0, 0, 200, 20}, "after enabling");
  EXPECT_FALSE(Form->InState(csAlignmentNeeded));
  // A size change of an aligned child asks the parent to lay out again.
  auto* client = Add<TBox>(Form, {0, 0, 1, 1});
  client->SetAlign(alClient);
  top->SetHeight(50);
  ExpectRect(client->BoundsRect(), {0, 50, 200, 100}, "client after the top grew");
}

struct TAnchorCase {
  const char* Name;
  TAnchors Anchors;
  RECT Expected; // after the parent grows from 200x100 to 300x150
};

TEST_F(ControlsTest, AnchoredChildrenFollowTheEdgesTheyAreAnchoredTo) {
  const TAnchorCase cases[] = {
      {"left top stays", akLeft | akTop, {10, 10, 60, 30}},
      {"right bottom moves", akRight | akBottom, {110, 60, 160, 80}},
      {"left right stretches", akLeft | akRight | akTop, {10, 10, 160, 30}},
      {"all four stretch both ways", akLeft | akTop | akRight | akBottom, {10, 10, 160, 80}},
  };
  for (const auto& c : cases) {
    SetUp();
    auto* child = Add<TSwatch>(Form, {10, 10, 60, 30});
    child->SetAnchors(c.Anchors);
    Form->SetBounds(40, 40, 300, 150);
    ExpectRect(child->BoundsRect(), c.Expected, c.Name);
    TearDown();
  }
}

// A container with a frame that aligned children keep clear of.
class TFramed : public TBox {
public:
  using TBox::TBox;

protected:
  void AdjustClientRect(RECT& ARect) override { InflateRect(&ARect, -10, -5); }
};

TEST_F(ControlsTest, AlignedChildrenKeepClearOfTheAdjustedClientArea) {
  auto* framed = Add<TFramed>(Form, {0, 0, 100, 60});
  auto* client = Add<TSwatch>(framed, {0, 0, 1, 1});
  client->SetAlign(alClient);
  ExpectRect(client->BoundsRect(), {10, 5, 90, 55}, "inside the frame");
}

// --- parents, visibility, Z-order --------------------------------------------------------

TEST_F(ControlsTest, ParentAssignmentRefusesCyclesAndWhatTheParentRejects) {
  auto* child = Add<TBox>(Form, {0, 0, 50, 50});
  auto* grandchild = Add<TBox>(child, {0, 0, 10, 10});
  EXPECT_THROW(Form->SetParent(Form), EInvalidOperation);
  EXPECT_THROW(Form->SetParent(grandchild), EInvalidOperation);
  EXPECT_EQ(Form->Parent(), nullptr);

  auto* picky = Add<TPickyBox>(Form, {0, 0, 10, 10});
  auto* swatch = Add<TSwatch>(Form, {0, 0, 5, 5});
  EXPECT_THROW(swatch->SetParent(picky), EInvalidOperation);
  EXPECT_EQ(swatch->Parent(), Form) << "a refused control stays with its old parent";
  EXPECT_TRUE(Form->ContainsControl(swatch));
  EXPECT_FALSE(picky->ContainsControl(swatch));
}

TEST_F(ControlsTest, ShowingFollowsEveryParentWhileVisibleIsTheControlsOwn) {
  auto* panel = Add<TBox>(Form, {0, 0, 100, 100});
  auto* leaf = Add<TBox>(panel, {0, 0, 10, 10});
  Form->Show();
  ASSERT_TRUE(Form->HandleAllocated());

  struct TRow {
    bool FormVisible, PanelVisible, LeafVisible;
    bool PanelShowing, LeafShowing;
  };
  const TRow rows[] = {
      {true, true, true, true, true},      {true, false, true, false, false},
      {true, true, false, true, false},    {false, true, true, false, false},
      {false, false, false, false, false}, {true, true, true, true, true},
  };
  for (const auto& row : rows) {
    Form->SetVisible(row.FormVisible);
    panel->SetVisible(row.PanelVisible);
    leaf->SetVisible(row.LeafVisible);
    EXPECT_EQ(panel->Showing(), row.PanelShowing);
    EXPECT_EQ(leaf->Showing(), row.LeafShowing);
    EXPECT_EQ(IsWindowVisible(leaf->Handle()) != FALSE, row.LeafShowing);
  }

  // Hiding the parent changes what the child shows, not its own Visible.
  leaf->ShowingChanges = leaf->VisibleChanges = 0;
  panel->Hide();
  EXPECT_EQ(leaf->ShowingChanges, 1);
  EXPECT_EQ(leaf->VisibleChanges, 0);
  EXPECT_TRUE(leaf->Visible());
  leaf->Hide();
  EXPECT_EQ(leaf->ShowingChanges, 1) << "was not showing, still is not";
  EXPECT_EQ(leaf->VisibleChanges, 1);
}

TEST_F(ControlsTest, ZOrderMovesWindowsAndGraphicChildrenAlike) {
  auto* a = Add<TBox>(Form, {0, 0, 50, 50});
  auto* b = Add<TBox>(Form, {0, 0, 50, 50});
  auto* red = Add<TSwatch>(Form, {100, 0, 150, 50});
  auto* green = Add<TSwatch>(Form, {100, 0, 150, 50});
  green->Fill = clLime;
  Form->Show();
  // Windowed children lie above graphic ones; each kind bottom first.
  EXPECT_EQ(Form->Controls(0), red);
  EXPECT_EQ(Form->Controls(1), green);
  EXPECT_EQ(Form->Controls(2), a);
  EXPECT_EQ(Form->Controls(3), b);
  EXPECT_EQ(GetWindow(Form->Handle(), GW_CHILD), b->Handle()) << "the last added is on top";

  a->BringToFront();
  EXPECT_EQ(Form->Controls(3), a);
  EXPECT_EQ(GetWindow(Form->Handle(), GW_CHILD), a->Handle());
  a->SendToBack();
  EXPECT_EQ(GetWindow(Form->Handle(), GW_CHILD), b->Handle());

  EXPECT_EQ(harness::PixelAt(*harness::RenderControl(*Form), 120, 20), clLime);
  red->BringToFront();
  EXPECT_EQ(Form->Controls(1), red);
  EXPECT_EQ(harness::PixelAt(*harness::RenderControl(*Form), 120, 20), clRed);
  EXPECT_EQ(Form->ControlAtPos({120, 20}, false), red);
}

// --- painting ------------------------------------------------------------------------

TEST_F(ControlsTest, GraphicChildIsPaintedIntoEveryDCThePaintPathsGet) {
  Add<TSwatch>(Form, {20, 30, 60, 50});
  auto* inner = Add<TBox>(Form, {100, 10, 180, 90});
  inner->Fill = clBlue;
  Form->Show();

  auto check = [](TBitmap& ABitmap, const char* APath) {
    EXPECT_EQ(harness::PixelAt(ABitmap, 25, 35), clRed) << APath;
    EXPECT_EQ(harness::PixelAt(ABitmap, 10, 10), clWhite) << APath;
    EXPECT_EQ(harness::PixelAt(ABitmap, 60, 50), clWhite)
        << APath << ": right and bottom are outside";
  };
  check(*harness::RenderControl(*Form), "PaintTo");
  auto printed = harness::PrintWindow(*Form);
  check(*printed, "WM_PRINT");
  EXPECT_EQ(harness::PixelAt(*printed, 150, 50), clBlue) << "WM_PRINT draws windowed children";

  // WM_PAINT and WM_ERASEBKGND with a DC in wParam draw into that DC.
  TBitmap target(200, 100, TPixelFormat::pf32bit);
  HDC dc = target.Canvas().Handle();
  SendMessageW(Form->Handle(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  SendMessageW(Form->Handle(), WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
  GdiFlush();
  check(target, "WM_PAINT with a DC");
}

TEST_F(ControlsTest, PaintCopyStateHoldsOnlyWhileDrawingIntoAForeignDC) {
  auto* swatch = Add<TSwatch>(Form, {0, 0, 10, 10});
  Form->Show();
  harness::PumpMessages();
  harness::RenderControl(*Form);
  EXPECT_TRUE(Form->LastPaintCopy);
  EXPECT_TRUE(swatch->LastPaintCopy);
  EXPECT_FALSE(Form->InState(csPaintCopy));
  EXPECT_FALSE(swatch->InState(csPaintCopy));

  InvalidateRect(Form->Handle(), nullptr, TRUE);
  UpdateWindow(Form->Handle());
  EXPECT_FALSE(Form->LastPaintCopy) << "a paint on the screen is no copy";
  EXPECT_FALSE(swatch->LastPaintCopy);
}

TEST_F(ControlsTest, DoubleBufferedControlPaintsOffScreenAndLeavesTheWindowUnerased) {
  struct TRow {
    bool DoubleBuffered;
    DWORD PaintDCKind;
    bool ErasesForeignDC;
  };
  const TRow rows[] = {{true, OBJ_MEMDC, false}, {false, OBJ_DC, true}};
  for (const auto& row : rows) {
    SetUp();
    Form->SetDoubleBuffered(row.DoubleBuffered);
    Form->SetColor(clYellow);
    Form->Show();
    harness::PumpMessages();
    Form->Paints = 0;
    InvalidateRect(Form->Handle(), nullptr, TRUE);
    UpdateWindow(Form->Handle());
    EXPECT_EQ(Form->Paints, 1);
    EXPECT_EQ(Form->LastDCKind, row.PaintDCKind) << row.DoubleBuffered;

    // The system's erase before a paint: a double-buffered control leaves the
    // pixels to the one copy of its finished picture.
    TBitmap target(10, 10, TPixelFormat::pf32bit);
    target.Canvas().Brush().SetColor(clBlack);
    target.Canvas().FillRect({0, 0, 10, 10});
    SendMessageW(Form->Handle(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(target.Canvas().Handle()),
                 0);
    GdiFlush();
    EXPECT_EQ(harness::PixelAt(target, 5, 5), row.ErasesForeignDC ? clYellow : clBlack);
    TearDown();
  }
}

TEST_F(ControlsTest, ParentBackgroundShowsTheParentsDrawingThroughTheChild) {
  Form->Fill = clNavy;
  auto* plain = Add<TWinControl>(Form, {10, 10, 50, 50});
  plain->SetColor(clYellow);
  auto* seeThrough = Add<TWinControl>(Form, {60, 10, 100, 50});
  seeThrough->SetColor(clYellow);
  seeThrough->SetParentBackground(true);
  Form->Show();
  auto picture = harness::RenderControl(*Form);
  EXPECT_EQ(harness::PixelAt(*picture, 20, 20), clYellow);
  EXPECT_EQ(harness::PixelAt(*picture, 70, 20), clNavy);
  EXPECT_EQ(harness::PixelAt(*picture, 5, 5), clNavy);
}

TEST_F(ControlsTest, ExceptionInAPaintStaysInsideTheWindowProcedure) {
  static std::string caught;
  caught.clear();
  auto previous =
      SetWindowExceptionHandler([](const std::exception& AError) { caught = AError.what(); });
  Form->ThrowInPaint = true;
  Form->Show();
  InvalidateRect(Form->Handle(), nullptr, TRUE);
  UpdateWindow(Form->Handle());
  SetWindowExceptionHandler(previous);
  EXPECT_EQ(caught, "paint failed");
  Form->ThrowInPaint = false;
}

// --- mouse ----------------------------------------------------------------------------

TEST_F(ControlsTest, ParentRoutesMouseToTheGraphicChildInItsCoordinates) {
  auto* swatch = Add<TSwatch>(Form, {20, 30, 60, 50});
  int formClicks = 0;
  Form->OnClick = [&](TControl*) { ++formClicks; };
  Form->Show();
  HWND window = Form->Handle();

  SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(25, 35));
  EXPECT_EQ(GetCapture(), window) << "the parent holds the capture for its graphic child";
  EXPECT_EQ(CaptureControl(), swatch);
  // Moving off the child while the button is held still goes to the child.
  SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(150, 80));
  SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(150, 80));
  ASSERT_EQ(swatch->Downs.size(), 1u);
  EXPECT_EQ(swatch->Downs[0].x, 5);
  EXPECT_EQ(swatch->Downs[0].y, 5);
  ASSERT_EQ(swatch->Moves.size(), 1u);
  EXPECT_EQ(swatch->Moves[0].x, 130);
  ASSERT_EQ(swatch->Ups.size(), 1u);
  EXPECT_EQ(swatch->Clicks, 0) << "released outside: no click";
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(CaptureControl(), nullptr);

  SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 40));
  SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(31, 41));
  EXPECT_EQ(swatch->Clicks, 1);
  EXPECT_EQ(formClicks, 0);

  SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(150, 80));
  SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(150, 80));
  EXPECT_EQ(formClicks, 1);
  EXPECT_EQ(swatch->Clicks, 1);

  // A disabled or hidden graphic child is no target.
  swatch->SetEnabled(false);
  EXPECT_EQ(Form->ControlAtPos({25, 35}, false), nullptr);
  EXPECT_EQ(Form->ControlAtPos({25, 35}, true), swatch);
}

TEST_F(ControlsTest, MouseEnterAndLeaveFollowTheControlUnderTheMouse) {
  auto* a = Add<TSwatch>(Form, {0, 0, 50, 50});
  auto* b = Add<TSwatch>(Form, {50, 0, 100, 50});
  int formEnters = 0, formLeaves = 0;
  Form->OnMouseEnter = [&](TControl*) { ++formEnters; };
  Form->OnMouseLeave = [&](TControl*) { ++formLeaves; };
  Form->Show();
  HWND window = Form->Handle();

  SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
  EXPECT_EQ(MouseControl(), a);
  SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(20, 10));
  EXPECT_EQ(a->Enters, 1) << "moving inside does not enter again";
  SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(60, 10));
  EXPECT_EQ(a->Leaves, 1);
  EXPECT_EQ(b->Enters, 1);
  SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(150, 80));
  EXPECT_EQ(b->Leaves, 1);
  EXPECT_EQ(formEnters, 1);
  EXPECT_EQ(MouseControl(), Form);
  SendMessageW(window, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(formLeaves, 1);
  EXPECT_EQ(MouseControl(), nullptr);

  // A control freed under the mouse is forgotten.
  SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
  TComponent::Free(a);
  EXPECT_EQ(MouseControl(), nullptr);
}

// --- messages and notifications ----------------------------------------------------------

TEST_F(ControlsTest, CommandsAndNotificationsAreReflectedToTheChildThatSentThem) {
  auto* child = Add<TBox>(Form, {0, 0, 20, 20});
  Form->Show();
  HWND childWindow = child->Handle();

  LRESULT result = SendMessageW(Form->Handle(), WM_COMMAND, MAKEWPARAM(7, BN_CLICKED),
                                reinterpret_cast<LPARAM>(childWindow));
  EXPECT_EQ(result, 0x5A);
  NMHDR header{childWindow, 7, 0};
  SendMessageW(Form->Handle(), WM_NOTIFY, 7, reinterpret_cast<LPARAM>(&header));
  SendMessageW(Form->Handle(), WM_CTLCOLORSTATIC, 0, reinterpret_cast<LPARAM>(childWindow));
  ASSERT_EQ(child->Reflected.size(), 3u);
  EXPECT_EQ(child->Reflected[0].first, 0xBD11u);
  EXPECT_EQ(child->Reflected[1].first, 0xBC4Eu);
  EXPECT_EQ(child->Reflected[2].first, CN_CTLCOLORSTATIC);
  // A command from a window that is none of ours goes its usual way.
  SendMessageW(Form->Handle(), WM_COMMAND, 1, reinterpret_cast<LPARAM>(GetDesktopWindow()));
  EXPECT_EQ(child->Reflected.size(), 3u);
  EXPECT_TRUE(Form->Reflected.empty());
}

TEST_F(ControlsTest, FontAndColourReachOnlyTheChildrenThatFollowTheirParent) {
  auto* following = Add<TBox>(Form, {0, 0, 10, 10});
  auto* own = Add<TBox>(Form, {0, 0, 10, 10});
  own->Font().SetName(L"Courier New");
  EXPECT_FALSE(own->ParentFont());
  own->SetColor(clAqua);
  following->SetParentColor(true);
  following->FontChanges = following->ColorChanges = 0;

  Form->Font().SetSize(14);
  Form->SetColor(clPurple);
  EXPECT_EQ(following->Font().Size(), 14);
  EXPECT_TRUE(following->ParentFont());
  EXPECT_GE(following->FontChanges, 1);
  EXPECT_EQ(following->Color(), clPurple);
  EXPECT_EQ(following->ColorChanges, 1);
  EXPECT_NE(own->Font().Size(), 14);
  EXPECT_EQ(own->Font().Name(), L"Courier New");
  EXPECT_EQ(own->Color(), clAqua);

  // A child joining later takes the parent's font.
  auto* late = new TBox(Owner.get());
  late->SetParent(Form);
  EXPECT_EQ(late->Font().Size(), 14);
}

TEST_F(ControlsTest, StateChangesReachTheWindowAndTheirNotifications) {
  Form->SetName(L"Panel1");
  EXPECT_EQ(Form->Caption(), L"Panel1") << "an unset caption follows the name";
  Form->Show();
  Form->TextChanges = 0;
  Form->SetText(L"Hello");
  Form->SetText(L"Hello");
  EXPECT_EQ(Form->TextChanges, 1);
  wchar_t text[32] = {};
  GetWindowTextW(Form->Handle(), text, 32);
  EXPECT_STREQ(text, L"Hello");
  Form->SetName(L"Panel2");
  EXPECT_EQ(Form->Caption(), L"Hello") << "a set caption stays";

  Form->SetEnabled(false);
  EXPECT_EQ(Form->EnabledChanges, 1);
  EXPECT_FALSE(IsWindowEnabled(Form->Handle()));
  Form->SetCtl3D(false);
  Form->SetCtl3D(false);
  EXPECT_EQ(Form->Ctl3DChanges, 1);

  auto* swatch = Add<TSwatch>(Form, {0, 0, 5, 5});
  swatch->SetParent(nullptr);
  ASSERT_EQ(Form->ListChanges.size(), 2u);
  EXPECT_EQ(Form->ListChanges[0], std::make_pair(static_cast<TControl*>(swatch), true));
  EXPECT_EQ(Form->ListChanges[1], std::make_pair(static_cast<TControl*>(swatch), false));
}

TEST_F(ControlsTest, PostedInvalidateRepaintsFromTheMessageLoop) {
  Form->Show();
  harness::PumpMessages();
  ValidateRect(Form->Handle(), nullptr);
  Form->Paints = 0;
  Form->PostInvalidate();
  EXPECT_FALSE(GetUpdateRect(Form->Handle(), nullptr, FALSE))
      << "nothing happens before the loop runs";
  harness::PumpMessages();
  EXPECT_EQ(Form->Paints, 1);
}

TEST_F(ControlsTest, RecreatedWindowIsFoundAgainAndTheOldOneIsGone) {
  auto* child = Add<TBox>(Form, {0, 0, 20, 20});
  Form->Show();
  HWND before = child->Handle();
  EXPECT_EQ(TWinControl::FindControl(before), child);
  child->RecreateWnd();
  HWND after = child->Handle();
  EXPECT_FALSE(IsWindow(before));
  EXPECT_EQ(TWinControl::FindControl(after), child);
  EXPECT_EQ(GetParent(after), Form->Handle());
  EXPECT_TRUE(IsWindowVisible(after));
  EXPECT_EQ(TWinControl::FindControl(GetDesktopWindow()), nullptr);
}

TEST_F(ControlsTest, DeletingAWindowedChildOutrightLeavesNoWindowBehind) {
  // Owners and callers free controls through Free, but a plain delete must
  // not leave a window or create one on its way out either.
  struct TCase {
    const char* Name;
    bool ParentShown;
    bool WithGrandchild;
  };
  const TCase cases[] = {
      {"parent without a window", false, false},
      {"parent without a window, child holding a box", false, true},
      {"parent shown", true, false},
      {"parent shown, child holding a box", true, true},
  };
  for (const TCase& c : cases) {
    const size_t windows = TResourceLedger::Count(TResourceKind::Window);
    auto* parent = Add<TBox>(nullptr, {0, 0, 100, 60});
    auto* child = Add<TBox>(parent, {0, 0, 50, 30});
    if (c.WithGrandchild)
      Add<TBox>(child, {0, 0, 20, 20});
    if (c.ParentShown)
      parent->Show();
    delete child;
    EXPECT_EQ(TResourceLedger::Count(TResourceKind::Window), windows + (c.ParentShown ? 1 : 0))
        << c.Name;
    TComponent::Free(parent);
    EXPECT_EQ(TResourceLedger::Count(TResourceKind::Window), windows) << c.Name;
  }
}

// A control that records the broadcasts of the window tree.
class TListener : public TBox {
public:
  using TBox::TBox;
  std::wstring Section = L"(none)";
  int CancelModes = 0;
  void WinIniChange(const std::wstring& ASection) override { Section = ASection; }
  void CancelMode(TControl*) override { ++CancelModes; }
};

TEST_F(ControlsTest, SettingChangeReachesEveryControlAndCancelModeEndsTheCapture) {
  auto* inner = Add<TListener>(Form, {0, 0, 50, 50});
  auto* nested = Add<TListener>(inner, {0, 0, 10, 10});
  Form->Show();
  SendMessageW(Form->Handle(), WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"intl"));
  EXPECT_EQ(inner->Section, L"intl");
  EXPECT_EQ(nested->Section, L"intl");

  HWND window = inner->Handle();
  SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
  EXPECT_EQ(GetCapture(), window);
  SendMessageW(window, WM_CANCELMODE, 0, 0);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(inner->CancelModes, 1);
  EXPECT_EQ(CaptureControl(), nullptr);
}

TEST_F(ControlsTest, WindowClassGoesAtUnloadAndComesBackWhenNeeded) {
  Form->Show();
  const size_t classes = TResourceLedger::Count(TResourceKind::WindowClass);
  ASSERT_GE(classes, 1u);
  FinalizeControls();
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::WindowClass), classes)
      << "kept while a window lives";
  Owner.reset();
  FinalizeControls();
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::WindowClass), classes - 1);
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Window), 0u);

  SetUp();
  Form->Show();
  EXPECT_TRUE(IsWindow(Form->Handle()));
  EXPECT_EQ(TWinControl::FindControl(Form->Handle()), Form);
}

// --- the framework's halves joined ------------------------------------------------------

TEST_F(ControlsTest, ExceptionInAWindowProcedureGoesToTheApplication) {
  std::string caught;
  Application()->OnException = [&](TApplication*, const std::exception& AError) {
    caught = AError.what();
  };
  Form->ThrowInPaint = true;
  Form->Show();
  InvalidateRect(Form->Handle(), nullptr, TRUE);
  UpdateWindow(Form->Handle());
  Form->ThrowInPaint = false;
  EXPECT_EQ(caught, "paint failed");
  ReleaseApplication();
}

TEST_F(ControlsTest, ControlsShowTheScreensCursorSlotsTheModulesOwnToo) {
  // A module cursor in one of the module's slots, as the controllers load them.
  const BYTE andMask[4 * 32] = {}, xorMask[4 * 32] = {};
  HCURSOR own = CreateCursor(GetModuleHandleW(nullptr), 0, 0, 32, 32, andMask, xorMask);
  ASSERT_NE(own, nullptr);
  Screen()->SetCursor(2100, own, TCursorOwnership::Owned);
  Form->Show();
  HWND window = Form->Handle();
  struct TRow {
    TCursor Cursor;
    HCURSOR Expected;
  };
  const TRow rows[] = {{2100, own}, {crHourGlass, LoadCursorW(nullptr, IDC_WAIT)}};
  for (const auto& row : rows) {
    Form->SetCursor(row.Cursor);
    SetCursor(nullptr);
    EXPECT_TRUE(SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window),
                             MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(GetCursor(), row.Expected) << row.Cursor;
  }

  // The screen's current cursor stands over the control's own.
  Form->SetCursor(2100);
  {
    THourGlassScope busy;
    SetCursor(nullptr);
    SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
  }
  SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), own);
  SetCursor(nullptr);
  Owner.reset();
  ReleaseApplication();
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Cursor), 0u);
}

TEST_F(ControlsTest, FrameworkShutDownLeavesNothingInTheLedger) {
  Application();
  const BYTE andMask[4 * 32] = {}, xorMask[4 * 32] = {};
  Screen()->SetCursor(2101, CreateCursor(GetModuleHandleW(nullptr), 0, 0, 32, 32, andMask, xorMask),
                      TCursorOwnership::Owned);
  Form->Show();
  Form->Font().SetColor(clRed);
  Add<TSwatch>(Form, {0, 0, 10, 10});
  auto* timer = new TTimer(Owner.get());
  timer->SetInterval(60000);
  timer->SetOnTimer([](TTimer*) {});
  auto library = std::make_unique<TSystemLibrary>(L"riched20.dll");
  harness::RenderControl(*Form);
  harness::PumpMessages();
  for (auto kind : {TResourceKind::Window, TResourceKind::WindowClass, TResourceKind::Timer,
                    TResourceKind::Cursor, TResourceKind::Library})
    ASSERT_GT(TResourceLedger::Count(kind), 0u) << int(kind);
  library.reset();
  Owner.reset();
  FinalizeFramework();
  EXPECT_EQ(ApplicationIfAny(), nullptr);
  for (int kind = 0; kind < int(TResourceKind::Count); ++kind)
    EXPECT_EQ(TResourceLedger::Count(TResourceKind(kind)), 0u) << kind;
  WNDCLASSEXW info{};
  info.cbSize = sizeof(info);
  EXPECT_FALSE(GetClassInfoExW(ModuleInstance(), L"OrvandelControl", &info));
  FinalizeFramework();
}

// --- wrapped system classes ---------------------------------------------------------------

std::string Narrow(const std::wstring& AText) {
  return std::string(AText.begin(), AText.end());
}

// A control whose window is a system class under the control's own class
// name; it counts the messages of the system class its handler chain saw.
class TWrapped : public TWinControl {
public:
  TWrapped(TComponent* AOwner, std::wstring AOwnClass, std::wstring ASystemClass, DWORD AStyle)
      : TWinControl(AOwner), FOwnClass(std::move(AOwnClass)), FSystemClass(std::move(ASystemClass)),
        FStyle(AStyle) {}
  std::wstring ClassName() const override { return L"TWrapped"; }
  int LimitsSeen = 0;

protected:
  void CreateParams(TCreateParams& AParams) override {
    TWinControl::CreateParams(AParams);
    AParams.WinClassName = FOwnClass;
    AParams.SystemClassName = FSystemClass;
    AParams.Style |= FStyle;
  }
  void WndProc(TMessage& AMessage) override {
    if (AMessage.Msg == EM_LIMITTEXT || AMessage.Msg == LB_ADDSTRING)
      ++LimitsSeen;
    TWinControl::WndProc(AMessage);
  }

private:
  std::wstring FOwnClass, FSystemClass;
  DWORD FStyle;
};

TEST_F(ControlsTest, WrappedSystemClassRunsThroughTheHandlerChainUnderItsOwnName) {
  TSystemLibrary richEdit(L"riched20.dll");
  struct TRow {
    const wchar_t* OwnClass;
    const wchar_t* SystemClass;
    DWORD Style;
    UINT Put;
    WPARAM PutValue;
    UINT Get;
    LRESULT Expected;
  };
  const TRow rows[] = {
      {L"TOrvTestEdit", L"EDIT", 0, EM_LIMITTEXT, 7, EM_GETLIMITTEXT, 7},
      {L"TOrvTestEditNoEdit", L"EDIT", ES_READONLY, EM_LIMITTEXT, 9, EM_GETLIMITTEXT, 9},
      {L"TOrvTestListBox", L"LISTBOX", 0, LB_ADDSTRING, 0, LB_GETCOUNT, 1},
      {L"TOrvTestRichEdit", L"RichEdit20W", 0, EM_LIMITTEXT, 11, EM_GETLIMITTEXT, 11},
      {L"TOrvTestRichEditNoEdit", L"RichEdit20W", ES_READONLY, EM_LIMITTEXT, 12, EM_GETLIMITTEXT,
       12},
  };
  Form->Show();
  const size_t classesBefore = TResourceLedger::Count(TResourceKind::WindowClass);
  std::vector<TWrapped*> controls;
  for (const auto& row : rows) {
    auto* control = new TWrapped(Owner.get(), row.OwnClass, row.SystemClass, row.Style);
    control->SetBounds(0, 0, 100, 60);
    control->SetParent(Form);
    HWND window = control->Handle();
    const std::string what = Narrow(row.OwnClass);
    ASSERT_NE(window, nullptr) << what;
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    EXPECT_EQ(std::wstring(name), row.OwnClass);
    EXPECT_TRUE(control->WrapsSystemClass()) << what;
    EXPECT_EQ(TWinControl::FindControl(window), control) << what;
    EXPECT_EQ(DWORD(GetWindowLongPtrW(window, GWL_STYLE)) & row.Style, row.Style) << what;
    // The system class's procedure answers what the default procedure cannot.
    const wchar_t item[] = L"item";
    control->Perform(row.Put, row.PutValue,
                     row.Put == LB_ADDSTRING ? reinterpret_cast<LPARAM>(item) : 0);
    EXPECT_EQ(SendMessageW(window, row.Get, 0, 0), row.Expected) << what;
    EXPECT_EQ(control->LimitsSeen, 1) << what;
    if (row.Put == LB_ADDSTRING) {
      // Clicks pass the control's mouse handling on to the system class.
      int downs = 0;
      control->OnMouseDown = [&](TControl*, TMouseButton, TShiftState, int, int) { ++downs; };
      SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
      SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
      EXPECT_EQ(downs, 1);
      EXPECT_EQ(SendMessageW(window, LB_GETCURSEL, 0, 0), 0) << "the click selected the item";
    }
    controls.push_back(control);
  }
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::WindowClass), classesBefore + std::size(rows));
  // A second control of a class already wrapped takes the same registration.
  auto* again = new TWrapped(Owner.get(), L"TOrvTestEdit", L"EDIT", 0);
  again->SetParent(Form);
  again->HandleNeeded();
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::WindowClass), classesBefore + std::size(rows));
  // Recreated windows stay wrapped.
  controls[0]->RecreateWnd();
  EXPECT_NE(SendMessageW(controls[0]->Handle(), EM_GETLIMITTEXT, 0, 0), 7)
      << "a new window starts from the system class's default limit";
  EXPECT_EQ(TWinControl::FindControl(controls[0]->Handle()), controls[0]);

  Owner.reset();
  FinalizeControls();
  for (const auto& row : rows) {
    WNDCLASSEXW info{};
    info.cbSize = sizeof(info);
    EXPECT_FALSE(GetClassInfoExW(ModuleInstance(), row.OwnClass, &info)) << Narrow(row.OwnClass);
  }
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::WindowClass), classesBefore - 1)
      << "the framework's own class went too";
}

TEST_F(ControlsTest, WrappingAnUnknownSystemClassRaisesAndLeavesNoClass) {
  const size_t classesBefore = TResourceLedger::Count(TResourceKind::WindowClass);
  auto* control = new TWrapped(Owner.get(), L"TOrvTestNothing", L"NoSuchSystemClass", 0);
  EXPECT_THROW(control->HandleNeeded(), EOutOfResources);
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::WindowClass), classesBefore);
}

// --- the frame in the print path ---------------------------------------------------------

class TBordered : public TBox {
public:
  using TBox::TBox;
  int NonClientPaints = 0;
  bool SawRedirect = false;

protected:
  void CreateParams(TCreateParams& AParams) override {
    TBox::CreateParams(AParams);
    AParams.Style |= WS_BORDER;
  }
  void PaintNonClient(HDC ADC) override {
    ++NonClientPaints;
    SawRedirect = WindowDCRedirected(Handle());
    TBox::PaintNonClient(ADC);
  }
};

TEST_F(ControlsTest, PrintDrawsTheFrameOnlyWhenTheNonClientAreaIsAsked) {
  constexpr TColor kUntouched = clFuchsia;
  const TColor frame = TColor(GetSysColor(COLOR_WINDOWFRAME));
  ASSERT_NE(frame, clLime);
  struct TRow {
    const char* What;
    LPARAM Flags;
    bool Hidden;
    TColor Corner;    // the pixel at (0, 0), the frame's when there is one
    TColor FarCorner; // the pixel at (79, 59), outside a client drawn at (0, 0)
    TColor Inside;    // a pixel well inside the client area
    int NonClientPaints;
  };
  const TRow rows[] = {
      {"non-client and client", PRF_NONCLIENT | PRF_CLIENT, false, frame, frame, clLime, 1},
      {"non-client alone", PRF_NONCLIENT, false, frame, frame, kUntouched, 1},
      {"client alone", PRF_CLIENT, false, clLime, kUntouched, clLime, 0},
      {"hidden, checked for visibility", PRF_NONCLIENT | PRF_CLIENT | PRF_CHECKVISIBLE, true,
       kUntouched, kUntouched, kUntouched, 0},
      {"hidden, not checked", PRF_NONCLIENT | PRF_CLIENT, true, frame, frame, clLime, 1},
  };
  for (const auto& row : rows) {
    SetUp();
    auto* bordered = Add<TBordered>(Form, {10, 10, 90, 70});
    bordered->Fill = clLime;
    Form->Show();
    bordered->SetVisible(!row.Hidden);
    harness::PumpMessages();
    bordered->NonClientPaints = 0;
    ASSERT_EQ(bordered->ClientWidth(), 78) << "a one-pixel border";

    TBitmap target(80, 60, TPixelFormat::pf32bit);
    target.Canvas().Brush().SetColor(kUntouched);
    target.Canvas().FillRect({0, 0, 80, 60});
    const size_t dcs = TResourceLedger::Count(TResourceKind::DeviceContext);
    SendMessageW(bordered->Handle(), WM_PRINT, reinterpret_cast<WPARAM>(target.Canvas().Handle()),
                 row.Flags);
    GdiFlush();
    EXPECT_EQ(harness::PixelAt(target, 0, 0), row.Corner) << row.What;
    EXPECT_EQ(harness::PixelAt(target, 79, 59), row.FarCorner) << row.What;
    EXPECT_EQ(harness::PixelAt(target, 40, 30), row.Inside) << row.What;
    EXPECT_EQ(bordered->NonClientPaints, row.NonClientPaints) << row.What;
    if (row.NonClientPaints) {
      EXPECT_TRUE(bordered->SawRedirect) << row.What;
    }
    EXPECT_FALSE(WindowDCRedirected(bordered->Handle())) << row.What << ": the redirect ends";
    EXPECT_EQ(TResourceLedger::Count(TResourceKind::DeviceContext), dcs) << row.What;
    TearDown();
  }
}

TEST_F(ControlsTest, PaintToDrawsTheFramesOfTheControlAndItsChildren) {
  auto* bordered = Add<TBordered>(Form, {10, 10, 90, 70});
  bordered->Fill = clLime;
  Form->Show();
  harness::PumpMessages();
  const TColor frame = TColor(GetSysColor(COLOR_WINDOWFRAME));
  auto picture = harness::RenderControl(*Form);
  EXPECT_EQ(harness::PixelAt(*picture, 10, 10), frame);
  EXPECT_EQ(harness::PixelAt(*picture, 89, 69), frame);
  EXPECT_EQ(harness::PixelAt(*picture, 11, 11), clLime) << "the client sits inside the frame";
  EXPECT_EQ(harness::PixelAt(*picture, 9, 9), clWhite);
  EXPECT_EQ(bordered->NonClientPaints > 0, true);

  // The frame on the screen is the system's: the print path's redirect is
  // the only way into a foreign DC.
  bordered->NonClientPaints = 0;
  SetWindowPos(bordered->Handle(), nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  EXPECT_EQ(bordered->NonClientPaints, 0);
}

// --- the harness's own surfaces -------------------------------------------------------------

TEST_F(ControlsTest, ControlListingNamesEveryControlGraphicOnesToo) {
  auto* panel = Add<TBox>(Form, {10, 10, 110, 90});
  panel->SetName(L"Panel");
  auto* tick = Add<TSwatch>(panel, {5, 5, 25, 15});
  tick->SetName(L"Tick");
  tick->SetCaption(L"Enabled?");
  tick->Ticked = true;
  auto* off = Add<TSwatch>(Form, {120, 10, 140, 20});
  off->SetName(L"Off");
  off->SetEnabled(false);

  const auto list = ListControls(Form);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].Name, L"Off");
  EXPECT_EQ(list[0].ClassName, L"TSwatch");
  EXPECT_FALSE(list[0].Enabled);
  EXPECT_EQ(list[1].Name, L"Panel");
  EXPECT_EQ(list[1].ClassName, L"TBox");
  EXPECT_EQ(list[1].Depth, 0);
  EXPECT_EQ(list[2].Name, L"Tick");
  EXPECT_EQ(list[2].Caption, L"Enabled?");
  EXPECT_TRUE(list[2].Checked);
  EXPECT_EQ(list[2].Depth, 1);
  ExpectRect(list[2].Bounds, {5, 5, 25, 15}, "in the parent's coordinates");
}

// A scene with a few controls: a header, a client area with two panels and
// graphic swatches, drawn twice and saved for people to look at.
class TLabelled : public TBox {
public:
  using TBox::TBox;

protected:
  void Paint() override {
    TBox::Paint();
    Canvas().Brush().SetStyle(TBrushStyle::Clear);
    Canvas().TextOut(4, 4, Caption());
  }
};

TEST_F(ControlsTest, SceneRendersIdenticallyTwiceAndItsScreenshotIsWritten) {
  Form->SetBounds(40, 40, 240, 160);
  auto* header = Add<TLabelled>(Form, {0, 0, 10, 24});
  header->SetAlign(alTop);
  header->Fill = clNavy;
  header->Font().SetColor(clWhite);
  header->SetCaption(L"Scene: panels");
  auto* left = Add<TLabelled>(Form, {0, 0, 80, 10});
  left->SetAlign(alLeft);
  left->Fill = clSilver;
  left->SetCaption(L"Left");
  auto* client = Add<TBox>(Form, {0, 0, 1, 1});
  client->SetAlign(alClient);
  client->Fill = clWhite;
  Add<TSwatch>(client, {10, 10, 40, 40});
  auto* green = Add<TSwatch>(client, {30, 30, 70, 70});
  green->Fill = clLime;
  Form->Show();
  harness::PumpMessages();

  auto first = harness::RenderControl(*Form);
  auto second = harness::PrintWindow(*Form);
  EXPECT_TRUE(harness::SamePixels(*first, *second));
  EXPECT_EQ(harness::PixelAt(*first, 80 + 20, 24 + 20), clRed);
  EXPECT_EQ(harness::PixelAt(*first, 80 + 50, 24 + 50), clLime);
  EXPECT_EQ(harness::PixelAt(*first, 235, 155), clWhite);
  EXPECT_EQ(harness::PixelAt(*first, 200, 20), clNavy);
  EXPECT_EQ(harness::PixelAt(*first, 40, 120), clSilver);

  const std::wstring path = harness::SaveScreenshot(L"controls-scene", *first);
  std::ifstream file(path.c_str(), std::ios::binary);
  ASSERT_TRUE(file.good());
  char signature[8] = {};
  file.read(signature, 8);
  EXPECT_EQ(std::string(signature + 1, 3), "PNG");
}

} // namespace
