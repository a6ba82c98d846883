#include "fixed-theme.h"
#include "xp-system.h"

#include "application.h"
#include "resource-ledger.h"
#include "seams.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

TEST(XPThemeState, FollowsTheVersionAndTheThemeServices) {
  struct TCase {
    DWORD Major, Minor;
    bool Themes;
    int Expected;
  };
  const TCase cases[] = {
      {5, 0, false, 1}, {5, 0, true, 2},  {4, 10, false, 1}, {5, 1, false, 0},
      {5, 1, true, 2},  {6, 1, false, 0}, {6, 0, true, 2},   {10, 0, false, 0},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(XPThemeStateFor(c.Major, c.Minor, c.Themes), c.Expected)
        << c.Major << "." << c.Minor << " themes " << c.Themes;
}

TEST(XPThemeState, IsAskedAfreshThroughTheThemeSeamOnEveryCall) {
  for (auto state : {TThemeState::Classic, TThemeState::Emulated, TThemeState::Themed}) {
    TFixedTheme theme(state);
    TSeamScope<TThemeSeam> scope(theme);
    EXPECT_EQ(GetXPThemeState(), int(state));
    EXPECT_EQ(GetXPThemeState(), int(state));
    EXPECT_EQ(theme.Asked, 2);
  }
}

struct TPlaceCase {
  const char* Name;
  RECT Client;
  POINT Glyph, Text;
  TXPButtonLayout Layout;
  int Margin, Spacing;
  POINT Total, GlyphPos;
  RECT TextBounds;
};

TEST(ButtonLayout, PlacesGlyphAndTextByLayoutMarginAndSpacing) {
  using L = TXPButtonLayout;
  const TPlaceCase cases[] = {
      // Both automatic: margin = spacing = (100 - 16 - 40) div 3 = 14.
      {"left, automatic",
       {0, 0, 100, 30},
       {16, 16},
       {40, 12},
       L::blGlyphLeft,
       -1,
       -1,
       {56, 16},
       {14, 7},
       {44, 9, 84, 21}},
      {"right, automatic",
       {0, 0, 100, 30},
       {16, 16},
       {40, 12},
       L::blGlyphRight,
       -1,
       -1,
       {56, 16},
       {70, 7},
       {16, 9, 56, 21}},
      // Spacing 4: margin = (100 - 60) div 2 = 20.
      {"left, spacing 4",
       {0, 0, 100, 30},
       {16, 16},
       {40, 12},
       L::blGlyphLeft,
       -1,
       4,
       {60, 16},
       {20, 7},
       {40, 9, 80, 21}},
      // Margin 4: the text centred right of the glyph, spacing (100-4-16-40) div 2 = 20.
      {"left, margin 4",
       {0, 0, 100, 30},
       {16, 16},
       {40, 12},
       L::blGlyphLeft,
       4,
       -1,
       {80, 16},
       {4, 7},
       {40, 9, 80, 21}},
      {"top, automatic",
       {0, 0, 60, 90},
       {16, 16},
       {40, 12},
       L::blGlyphTop,
       -1,
       -1,
       {40, 28},
       {22, 20},
       {10, 56, 50, 68}},
      {"bottom, automatic",
       {0, 0, 60, 90},
       {16, 16},
       {40, 12},
       L::blGlyphBottom,
       -1,
       -1,
       {40, 28},
       {22, 54},
       {10, 22, 50, 34}},
      // No caption: the spacing is 0 and the glyph is centred.
      {"glyph alone",
       {0, 0, 40, 40},
       {16, 16},
       {0, 0},
       L::blGlyphLeft,
       -1,
       -1,
       {16, 16},
       {12, 12},
       {28, 20, 28, 20}},
      {"offset client",
       {10, 5, 110, 35},
       {16, 16},
       {40, 12},
       L::blGlyphLeft,
       2,
       3,
       {59, 16},
       {12, 12},
       {31, 14, 71, 26}},
  };
  for (const TPlaceCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto placed = PlaceGlyphAndText(c.Client, c.Glyph, c.Text, c.Layout, c.Margin, c.Spacing);
    EXPECT_EQ(placed.TotalSize.x, c.Total.x);
    EXPECT_EQ(placed.TotalSize.y, c.Total.y);
    EXPECT_EQ(placed.GlyphPos.x, c.GlyphPos.x);
    EXPECT_EQ(placed.GlyphPos.y, c.GlyphPos.y);
    EXPECT_EQ(placed.TextBounds.left, c.TextBounds.left);
    EXPECT_EQ(placed.TextBounds.top, c.TextBounds.top);
    EXPECT_EQ(placed.TextBounds.right, c.TextBounds.right);
    EXPECT_EQ(placed.TextBounds.bottom, c.TextBounds.bottom);
  }
}

TEST(ButtonLayout, CaptionIsMeasuredWithTheFontAndPlaced) {
  const size_t before = TResourceLedger::Total();
  {
    TBitmap surface(10, 10);
    TFont font;
    const RECT client{0, 0, 200, 40};
    const auto empty = CalcXPButtonLayout(surface.Canvas(), client, font, L"", {16, 16},
                                          TXPButtonLayout::blGlyphLeft, -1, -1, 0);
    EXPECT_EQ(empty.GlyphPos.x, (200 - 16) / 2);
    const auto placed = CalcXPButtonLayout(surface.Canvas(), client, font, L"Caption", {16, 16},
                                           TXPButtonLayout::blGlyphLeft, 4, 2, 0);
    const SIZE extent = surface.Canvas().TextExtent(L"Caption");
    EXPECT_EQ(placed.GlyphPos.x, 4);
    EXPECT_EQ(placed.TextBounds.left, 4 + 2 + 16);
    EXPECT_EQ(placed.TextBounds.right - placed.TextBounds.left, extent.cx);
    EXPECT_EQ(placed.TextBounds.bottom - placed.TextBounds.top, extent.cy);
  }
  FinalizeGraphics();
  EXPECT_EQ(TResourceLedger::Total(), before);
}

// Functions of our own to patch: never inlined, called through a pointer
// the compiler cannot see through.
__attribute__((noinline)) int PatchedEntry(int AValue) {
  asm volatile("");
  return AValue + 1;
}
__attribute__((noinline)) int Replacement(int AValue) {
  asm volatile("");
  return AValue * 100;
}
int (*volatile GPatched)(int) = &PatchedEntry;

TEST(CodeHook, RedirectsAnEntryAndPutsItsBytesBack) {
  void* entry = reinterpret_cast<void*>(&PatchedEntry);
  uint8_t before[5];
  std::memcpy(before, entry, 5);
  TCodeHook hook;
  ASSERT_TRUE(InstallCodeHook(entry, reinterpret_cast<void*>(&Replacement), hook));
  EXPECT_EQ(hook.Address, entry);
  EXPECT_EQ(std::memcmp(hook.Saved, before, 5), 0);
  EXPECT_EQ(static_cast<uint8_t*>(entry)[0], 0xE9);
  EXPECT_EQ(GPatched(3), 300);
  RemoveCodeHook(hook);
  EXPECT_EQ(hook.Address, nullptr);
  EXPECT_EQ(std::memcmp(entry, before, 5), 0);
  EXPECT_EQ(GPatched(3), 4);
  RemoveCodeHook(hook); // an empty record: nothing happens
  EXPECT_EQ(GPatched(3), 4);
}

TEST(CodeHook, RefusesWhatItCannotWriteOrReach) {
  void* entry = reinterpret_cast<void*>(&PatchedEntry);
  uint8_t before[5];
  std::memcpy(before, entry, 5);
  TCodeHook hook;
  hook.Address = entry; // whatever the record held goes
  // Nothing is mapped at the bottom of the address space.
  EXPECT_FALSE(InstallCodeHook(reinterpret_cast<void*>(uintptr_t(0x10)),
                               reinterpret_cast<void*>(&Replacement), hook));
  EXPECT_EQ(hook.Address, nullptr);
  if (sizeof(void*) == 8) {
    // A jump of more than 2 GB does not fit the 32-bit displacement.
    void* distant = reinterpret_cast<void*>(
        uintptr_t(uint64_t(reinterpret_cast<uintptr_t>(entry)) + (uint64_t(1) << 33)));
    EXPECT_FALSE(InstallCodeHook(entry, distant, hook));
    EXPECT_EQ(hook.Address, nullptr);
    EXPECT_EQ(std::memcmp(entry, before, 5), 0);
  }
  EXPECT_EQ(GPatched(3), 4);
}

TEST(Resources, FindResourceModuleAnswersNullWhenNoModuleHasIt) {
  EXPECT_EQ(FindResourceModule(L"NO_SUCH_RESOURCE", RT_RCDATA), nullptr);
  EXPECT_EQ(FindResourceModule(L"NO_SUCH_BITMAP", RT_BITMAP), nullptr);
}

TEST(Monitors, InfoOfTheNearestMonitorIsFilled) {
  MONITORINFO info;
  std::memset(&info, 0xAB, sizeof(info));
  GetMonitorInfoFromPoint(POINT{-100000, -100000}, info);
  EXPECT_EQ(info.cbSize, sizeof(MONITORINFO));
  EXPECT_GT(info.rcMonitor.right - info.rcMonitor.left, 0);
}

// --- parent background and capture, with windows ----------------------------------------

// A parent that erases to navy and paints a red square at (12, 12)-(16, 16),
// counting the messages it gets.
class TPaintingParent : public TCustomControl {
public:
  using TCustomControl::TCustomControl;
  int Erases = 0, Paints = 0;
  void WndProc(TMessage& AMessage) override {
    if (AMessage.Msg == WM_ERASEBKGND) {
      ++Erases;
      HBRUSH brush = CreateSolidBrush(RGB(0, 0, 128));
      RECT all{0, 0, Width(), Height()};
      FillRect(HDC(AMessage.WParam), &all, brush);
      DeleteObject(brush);
      AMessage.Result = 1;
      return;
    }
    if (AMessage.Msg == WM_PAINT && AMessage.WParam) {
      ++Paints;
      HBRUSH brush = CreateSolidBrush(RGB(255, 0, 0));
      RECT square{12, 12, 16, 16};
      FillRect(HDC(AMessage.WParam), &square, brush);
      DeleteObject(brush);
      AMessage.Result = 0;
      return;
    }
    TCustomControl::WndProc(AMessage);
  }
};

class TPlainGraphic : public TGraphicControl {
public:
  using TGraphicControl::TGraphicControl;
};

class TBorderedBox : public TCustomControl {
public:
  using TCustomControl::TCustomControl;

protected:
  void CreateParams(TCreateParams& AParams) override {
    TCustomControl::CreateParams(AParams);
    AParams.ExStyle |= WS_EX_CLIENTEDGE;
  }
  void Paint() override {
    Canvas().Brush().SetColor(clLime);
    Canvas().FillRect(ClientRect());
  }
};

class ParentBackground : public ::testing::Test {
protected:
  // Windows, GDI objects and contexts; the framework's window class stays
  // registered while the program runs.
  static size_t Held() {
    return TResourceLedger::Count(TResourceKind::Window) +
           TResourceLedger::Count(TResourceKind::GdiObject) +
           TResourceLedger::Count(TResourceKind::DeviceContext);
  }
  void SetUp() override {
    FStart = Held();
    Owner = std::make_unique<TComponent>(nullptr);
    Parent = new TPaintingParent(Owner.get());
    Parent->SetBounds(30, 30, 100, 80);
    Parent->SetDoubleBuffered(true);
  }
  void TearDown() override {
    Owner.reset();
    FinalizeGraphics();
    EXPECT_EQ(Held(), FStart);
  }
  std::unique_ptr<TComponent> Owner;
  TPaintingParent* Parent = nullptr;

private:
  size_t FStart = 0;
};

TColor At(TBitmap& ABitmap, int AX, int AY) {
  const uint32_t bgra = static_cast<const uint32_t*>(ABitmap.ScanLine(AY))[AX];
  return TColor(((bgra & 0xFF) << 16) | (bgra & 0xFF00) | ((bgra >> 16) & 0xFF));
}

TEST_F(ParentBackground, GraphicControlGetsOnlyTheParentsErase) {
  auto* child = new TPlainGraphic(Owner.get());
  child->SetBounds(10, 10, 20, 20);
  child->SetParent(Parent);
  Parent->HandleNeeded();
  TBitmap target(20, 20, TPixelFormat::pf32bit);
  PaintParentBackground(child, target.Canvas().Handle());
  EXPECT_EQ(Parent->Erases, 1);
  EXPECT_EQ(Parent->Paints, 0);
  EXPECT_EQ(At(target, 5, 5), clNavy);
  EXPECT_TRUE(Parent->DoubleBuffered());
  POINT origin;
  GetWindowOrgEx(target.Canvas().Handle(), &origin);
  EXPECT_EQ(origin.x, 0);
  EXPECT_EQ(origin.y, 0);
  target.Dormant();
}

TEST_F(ParentBackground, WindowedControlGetsEraseAndPaintUnderItsOwnOrigin) {
  auto* child = new TWinControl(Owner.get());
  child->SetBounds(10, 10, 20, 20);
  child->SetParent(Parent);
  Parent->HandleNeeded();
  TBitmap target(20, 20, TPixelFormat::pf32bit);
  PaintParentBackground(child, target.Canvas().Handle());
  EXPECT_EQ(Parent->Erases, 1);
  EXPECT_EQ(Parent->Paints, 1);
  // The parent's square at (12, 12) lands at (2, 2) of the child.
  EXPECT_EQ(At(target, 3, 3), clRed);
  EXPECT_EQ(At(target, 10, 10), clNavy);
  target.Dormant();
}

TEST_F(ParentBackground, ClipRectangleLimitsTheParentsDrawing) {
  auto* child = new TWinControl(Owner.get());
  child->SetBounds(10, 10, 20, 20);
  child->SetParent(Parent);
  Parent->HandleNeeded();
  TBitmap target(20, 20, TPixelFormat::pf32bit);
  target.Canvas().Brush().SetColor(clWhite);
  target.Canvas().FillRect(RECT{0, 0, 20, 20});
  const RECT clip{0, 0, 10, 10};
  PaintParentBackground(child, target.Canvas().Handle(), &clip);
  EXPECT_EQ(At(target, 8, 8), clNavy);
  EXPECT_EQ(At(target, 3, 3), clRed);
  EXPECT_EQ(At(target, 15, 15), clWhite);
  target.Dormant();
}

TEST_F(ParentBackground, ControlWithoutParentIsLeftAlone) {
  auto* lone = new TPlainGraphic(Owner.get());
  lone->SetBounds(0, 0, 10, 10);
  TBitmap target(10, 10, TPixelFormat::pf32bit);
  target.Canvas().Brush().SetColor(clWhite);
  target.Canvas().FillRect(RECT{0, 0, 10, 10});
  PaintParentBackground(lone, target.Canvas().Handle());
  EXPECT_EQ(At(target, 5, 5), clWhite);
  target.Dormant();
}

TEST_F(ParentBackground, CaptureTakesTheClientAreaWithoutItsBorder) {
  auto* box = new TBorderedBox(Owner.get());
  box->SetBounds(10, 10, 40, 30);
  box->SetParent(Parent);
  Parent->Show();
  ASSERT_EQ(box->ClientWidth(), 36); // the client edge is 2 pixels each side
  TBitmap capture;
  ASSERT_TRUE(PrintControlToBitmap(box, capture));
  EXPECT_EQ(capture.Width(), 36);
  EXPECT_EQ(capture.Height(), 26);
  EXPECT_EQ(capture.PixelFormat(), TPixelFormat::pf32bit);
  EXPECT_EQ(At(capture, 0, 0), clLime);
  EXPECT_EQ(At(capture, 35, 25), clLime);
  capture.Dormant();
}

} // namespace
