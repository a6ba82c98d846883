#include "controls.h"

#include "resource-ledger.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// What a drag told a control, in order.
struct TDragLog {
  int Starts = 0;
  struct TEnd {
    bool Cancelled;
    POINT Point;
  };
  std::vector<TEnd> Ends;
  std::vector<POINT> Moves;
  int Clicks = 0;

  void Attach(TControl* AControl) {
    AControl->OnStartDrag = [this](TControl*) { ++Starts; };
    AControl->OnEndDrag = [this](TControl*, bool ACancelled, int AX, int AY) {
      Ends.push_back({ACancelled, {AX, AY}});
    };
    AControl->OnMouseMove = [this](TControl*, TShiftState, int AX, int AY) {
      Moves.push_back({AX, AY});
    };
    AControl->OnClick = [this](TControl*) { ++Clicks; };
  }
};

class TPlainBox : public TCustomControl {
public:
  using TCustomControl::TCustomControl;
  std::wstring ClassName() const override { return L"TPlainBox"; }
};

class TPlainGraphic : public TGraphicControl {
public:
  using TGraphicControl::TGraphicControl;
  std::wstring ClassName() const override { return L"TPlainGraphic"; }
};

// A shown top-level window with one windowed child (`Box`, at 20,10) whose
// press begins a drag with `Threshold`; the ledger must be as it was at the
// end.
class DragTest : public ::testing::Test {
public:
  void SetUp() override {
    for (int kind = 0; kind < int(TResourceKind::Count); ++kind)
      FBefore.push_back(TResourceLedger::Count(TResourceKind(kind)));
    Owner = std::make_unique<TComponent>(nullptr);
    Form = new TPlainBox(Owner.get());
    Form->SetBounds(40, 40, 200, 120);
    Box = new TPlainBox(Owner.get());
    Box->SetBounds(20, 10, 100, 60);
    Box->SetParent(Form);
    Log.Attach(Box);
    Box->OnMouseDown = [this](TControl* ASender, TMouseButton, TShiftState, int, int) {
      if (BeginOnPress)
        ASender->BeginDrag(false, Threshold);
    };
    Form->Show();
  }
  void TearDown() override {
    Owner.reset();
    EXPECT_EQ(DragControl(), nullptr);
    // The framework's window class stays registered until the shut-down.
    for (int kind = 0; kind < int(TResourceKind::Count); ++kind) {
      if (TResourceKind(kind) != TResourceKind::WindowClass) {
        EXPECT_EQ(TResourceLedger::Count(TResourceKind(kind)), FBefore[kind]) << kind;
      }
    }
  }
  void Press(int AX, int AY) {
    SendMessageW(Box->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(AX, AY));
  }
  void Move(int AX, int AY) {
    SendMessageW(Box->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(AX, AY));
  }
  void Release(int AX, int AY) { SendMessageW(Box->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(AX, AY)); }
  void StartDragAt(int AX, int AY) {
    Threshold = 4;
    Press(AX, AY);
    Move(AX + 4, AY);
    ASSERT_TRUE(Box->Dragging());
  }

  std::unique_ptr<TComponent> Owner;
  TPlainBox* Form = nullptr;
  TPlainBox* Box = nullptr;
  TDragLog Log;
  bool BeginOnPress = true;
  int Threshold = -1;

private:
  std::vector<size_t> FBefore;
};

struct TThresholdCase {
  const char* Name;
  int Threshold;   // as BeginDrag takes it; -1 for the system's
  bool Horizontal; // the move that starts the drag is along x
};

TEST_F(DragTest, DragStartsOnlyOnceTheMouseMovesPastTheThreshold) {
  const TThresholdCase cases[] = {
      {"five pixels across", 5, true},
      {"five pixels down", 5, false},
      {"the system's across", -1, true},
      {"the system's down", -1, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Log = {};
    Log.Attach(Box);
    Threshold = c.Threshold;
    const int limit = c.Threshold >= 0 ? c.Threshold
                      : c.Horizontal   ? GetSystemMetrics(SM_CXDRAG)
                                       : GetSystemMetrics(SM_CYDRAG);
    ASSERT_GT(limit, 1);
    const int dx = c.Horizontal ? 1 : 0, dy = c.Horizontal ? 0 : 1;

    Press(30, 20);
    EXPECT_EQ(DragControl(), Box);
    EXPECT_EQ(GetCapture(), Box->Handle()) << "a pending drag holds the mouse";
    Move(30 + dx * (limit - 1), 20 + dy * (limit - 1));
    EXPECT_FALSE(Box->Dragging()) << "still inside the threshold";
    EXPECT_EQ(Log.Starts, 0);
    EXPECT_EQ(Log.Moves.size(), 1u) << "a pending drag lets the moves through";

    Move(30 + dx * limit, 20 + dy * limit);
    EXPECT_TRUE(Box->Dragging());
    EXPECT_EQ(Log.Starts, 1);
    Move(70, 50);
    EXPECT_EQ(Log.Starts, 1);
    EXPECT_EQ(Log.Moves.size(), 1u) << "a started drag owns the moves";

    Release(72, 51);
    ASSERT_EQ(Log.Ends.size(), 1u);
    EXPECT_FALSE(Log.Ends[0].Cancelled);
    EXPECT_EQ(Log.Ends[0].Point.x, 72);
    EXPECT_EQ(Log.Ends[0].Point.y, 51);
    EXPECT_EQ(Log.Clicks, 0) << "a drag is no click";
    EXPECT_EQ(DragControl(), nullptr);
    EXPECT_FALSE(Box->Dragging());
    EXPECT_EQ(GetCapture(), nullptr);
  }
}

TEST_F(DragTest, ReleaseBeforeTheThresholdIsAnOrdinaryClick) {
  Threshold = 8;
  Press(30, 20);
  Move(33, 22);
  Release(33, 22);
  EXPECT_EQ(Log.Starts, 0);
  EXPECT_TRUE(Log.Ends.empty());
  EXPECT_EQ(Log.Clicks, 1);
  EXPECT_EQ(DragControl(), nullptr);
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(DragTest, ImmediateDragStartsWithoutAMove) {
  BeginOnPress = false;
  Box->OnMouseDown = [](TControl* ASender, TMouseButton, TShiftState, int, int) {
    ASender->BeginDrag(true);
  };
  Press(30, 20);
  EXPECT_TRUE(Box->Dragging());
  EXPECT_EQ(Log.Starts, 1);
  Release(30, 20);
  ASSERT_EQ(Log.Ends.size(), 1u);
  EXPECT_FALSE(Log.Ends[0].Cancelled);
  EXPECT_EQ(Log.Clicks, 0);
}

struct TCancelCase {
  const char* Name;
  void (*Cancel)(DragTest& ATest, HWND AOther);
};

TEST_F(DragTest, EscapeLostCaptureOrCancelModeCancelsTheDrag) {
  auto* other = new TPlainBox(Owner.get());
  other->SetBounds(300, 40, 50, 50);
  other->Show();
  const TCancelCase cases[] = {
      {"Escape",
       [](DragTest& ATest, HWND) { SendMessageW(ATest.Form->Handle(), WM_KEYDOWN, VK_ESCAPE, 0); }},
      {"another window takes the capture", [](DragTest&, HWND AOther) { SetCapture(AOther); }},
      {"cancel mode",
       [](DragTest& ATest, HWND) { SendMessageW(ATest.Box->Handle(), WM_CANCELMODE, 0, 0); }},
      {"EndDrag without a drop", [](DragTest& ATest, HWND) { ATest.Box->EndDrag(false); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Log = {};
    Log.Attach(Box);
    StartDragAt(30, 20);
    c.Cancel(*this, other->Handle());
    ASSERT_EQ(Log.Ends.size(), 1u);
    EXPECT_TRUE(Log.Ends[0].Cancelled);
    EXPECT_EQ(Log.Ends[0].Point.x, 34);
    EXPECT_EQ(DragControl(), nullptr);
    EXPECT_NE(GetCapture(), Box->Handle());
    ReleaseCapture();
    Release(34, 20);
    EXPECT_EQ(Log.Ends.size(), 1u) << "the release after a cancel ends nothing more";
    EXPECT_EQ(Log.Clicks, 0) << "the press of a cancelled drag makes no click";
  }
}

TEST_F(DragTest, EscapeEndsAPendingDragUnseen) {
  Threshold = 8;
  Press(30, 20);
  SendMessageW(Form->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(DragControl(), nullptr);
  EXPECT_EQ(GetCapture(), nullptr);
  Move(60, 40);
  Release(60, 40);
  EXPECT_EQ(Log.Starts, 0);
  EXPECT_TRUE(Log.Ends.empty());
  EXPECT_EQ(Log.Clicks, 0);
}

TEST_F(DragTest, AutomaticModeDragsAGraphicControlThroughItsParentsWindow) {
  BeginOnPress = false;
  auto* swatch = new TPlainGraphic(Owner.get());
  swatch->SetBounds(130, 20, 40, 40);
  swatch->SetParent(Form);
  swatch->SetDragMode(dmAutomatic);
  TDragLog log;
  log.Attach(swatch);
  const HWND window = Form->Handle();

  SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(140, 30));
  EXPECT_EQ(DragControl(), swatch);
  EXPECT_FALSE(swatch->Dragging()) << "automatic drags wait for the threshold";
  EXPECT_EQ(GetCapture(), window);
  SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(140 + GetSystemMetrics(SM_CXDRAG), 30));
  EXPECT_TRUE(swatch->Dragging());
  SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(100, 90));
  ASSERT_EQ(log.Ends.size(), 1u);
  EXPECT_EQ(log.Ends[0].Point.x, -30) << "in the graphic control's own coordinates";
  EXPECT_EQ(log.Ends[0].Point.y, 70);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(CaptureControl(), nullptr);
}

TEST_F(DragTest, FreeingTheDraggedControlEndsItsDragAndCapture) {
  StartDragAt(30, 20);
  const HWND window = Box->Handle();
  TComponent::Free(Box);
  Box = nullptr;
  EXPECT_EQ(DragControl(), nullptr);
  EXPECT_NE(GetCapture(), window);
  EXPECT_TRUE(Log.Ends.empty()) << "a freed control is told nothing";
  // A key for a drag that is gone goes its usual way.
  SendMessageW(Form->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
}

TEST_F(DragTest, DragOfAControlWithoutAWindowRaises) {
  auto* loose = new TPlainGraphic(Owner.get());
  EXPECT_THROW(loose->BeginDrag(true), EInvalidOperation);
  EXPECT_EQ(DragControl(), nullptr);
}

TEST_F(DragTest, OnlyOneDragRunsAtATime) {
  StartDragAt(30, 20);
  auto* other = new TPlainBox(Owner.get());
  other->SetParent(Form);
  other->BeginDrag(true);
  EXPECT_EQ(DragControl(), Box);
  EXPECT_FALSE(other->Dragging());
  Release(34, 20);
}

// A walk up the parents that stops at the first scrolling container, as the
// panels' background search does.
TWinControl* EnclosingScrollBox(TControl* AControl) {
  for (TWinControl* parent = AControl->Parent(); parent; parent = parent->Parent())
    if (dynamic_cast<TScrollingWinControl*>(parent))
      return parent;
  return nullptr;
}

TEST_F(DragTest, ScrollBoxIsRecognisedOnTheWayUpTheParents) {
  auto* box = new TScrollBox(Owner.get());
  box->SetBounds(0, 0, 150, 100);
  box->SetParent(Form);
  auto* inner = new TPlainBox(Owner.get());
  inner->SetParent(box);
  auto* leaf = new TPlainGraphic(Owner.get());
  leaf->SetParent(inner);

  EXPECT_EQ(box->ClassName(), L"TScrollBox");
  EXPECT_TRUE(box->HasStyle(csAcceptsControls));
  EXPECT_EQ(EnclosingScrollBox(leaf), box);
  EXPECT_EQ(EnclosingScrollBox(Box), nullptr);
  EXPECT_NE(inner->Handle(), nullptr) << "children of a scroll box get their windows inside it";
  EXPECT_EQ(GetParent(inner->Handle()), box->Handle());
}

} // namespace
