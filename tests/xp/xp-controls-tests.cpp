#include "fixed-theme.h"
#include "xp-controls.h"

#include "alpha-image.h"
#include "application.h"
#include "resource-ledger.h"
#include "seams.h"
#include "support/test-harness.h"
#include "xp-graphics.h"
#include "xp-system.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// Windows, GDI objects, contexts and the layer's registrations: every test
// ends with the ledger where it began, once the layer is shut down.
class XPControls : public ::testing::Test {
protected:
  void SetUp() override {
    XPLibraryShutdown();
    for (size_t kind = 0; kind < size_t(TResourceKind::Count); ++kind)
      FStart[kind] = TResourceLedger::Count(TResourceKind(kind));
    FRegistrations = TResourceLedger::Registrations();
    Owner = std::make_unique<TComponent>(nullptr);
  }
  void TearDown() override {
    Owner.reset();
    XPLibraryShutdown();
    FinalizeFramework();
    FinalizeGraphics();
    for (size_t kind = 0; kind < size_t(TResourceKind::Count); ++kind)
      EXPECT_EQ(TResourceLedger::Count(TResourceKind(kind)), FStart[kind])
          << "resource kind " << kind;
    EXPECT_EQ(TResourceLedger::Registrations(), FRegistrations);
  }
  // A top-level parent of the given size, shown.
  template <typename TParent = TCustomControl> TParent* NewParent(int AWidth, int AHeight) {
    auto* parent = new TParent(Owner.get());
    parent->SetBounds(40, 40, AWidth, AHeight);
    return parent;
  }

  std::unique_ptr<TComponent> Owner;

private:
  size_t FStart[size_t(TResourceKind::Count)] = {};
  size_t FRegistrations = 0;
};

TColor Rgb(TColor AColor) {
  return ColorToRGB(AColor);
}

TColor At(TBitmap& ABitmap, int AX, int AY) {
  return harness::PixelAt(ABitmap, AX, AY);
}

void Fill(TBitmap& ABitmap, TColor AColor) {
  ABitmap.Canvas().Brush().SetColor(AColor);
  ABitmap.Canvas().FillRect(RECT{0, 0, ABitmap.Width(), ABitmap.Height()});
  GdiFlush();
}

// --- library colours, metrics, start-up ---------------------------------------------------

TEST_F(XPControls, LibraryColoursFollowTheThemeStateAtStartUp) {
  struct TRow {
    TThemeState State;
    TXPLibraryColors Expected;
  };
  const TXPLibraryColors system{clWindow,    clBtnFace,      clHighlight, clHighlightText,
                                clBtnShadow, clBtnHighlight, clGrayText};
  const TRow rows[] = {
      {TThemeState::Classic, system},
      {TThemeState::Emulated,
       {TColor(0xFFFFFF), TColor(0xDEEBEF), TColor(0xC56A31), TColor(0xFFFFFF), TColor(0xBFC3C4),
        TColor(0xEDF1F1), TColor(0x92A1A1)}},
      {TThemeState::Themed, system},
  };
  for (const TRow& row : rows) {
    TFixedTheme theme(row.State);
    TSeamScope<TThemeSeam> scope(theme);
    XPLibraryStartup();
    const TColor actual[] = {clXPWindow,    clXPBtnFace,      clXPHighlight, clXPHighlightText,
                             clXPBtnShadow, clXPBtnHighlight, clXPGrayText};
    const TColor expected[] = {row.Expected.Window,    row.Expected.BtnFace,
                               row.Expected.Highlight, row.Expected.HighlightText,
                               row.Expected.BtnShadow, row.Expected.BtnHighlight,
                               row.Expected.GrayText};
    for (size_t i = 0; i < std::size(actual); ++i)
      EXPECT_EQ(actual[i], expected[i]) << "theme state " << int(row.State) << ", colour " << i;
    XPLibraryShutdown();
  }
}

TEST_F(XPControls, ScrollBarThicknessIs17InTheEmulatedLookAndTheSystemsOtherwise) {
  struct TRow {
    TThemeState State;
    int Expected;
  };
  const TRow rows[] = {{TThemeState::Emulated, 17},
                       {TThemeState::Classic, GetSystemMetrics(SM_CXHSCROLL)},
                       {TThemeState::Themed, GetSystemMetrics(SM_CXHSCROLL)}};
  for (const TRow& row : rows) {
    TFixedTheme theme(row.State);
    TSeamScope<TThemeSeam> scope(theme);
    XPLibraryStartup();
    EXPECT_EQ(GetXPScrollBarSize(), row.Expected) << "theme state " << int(row.State);
    // Computed once: a later theme change does not move it.
    theme.Set(row.State == TThemeState::Emulated ? TThemeState::Classic : TThemeState::Emulated);
    EXPECT_EQ(GetXPScrollBarSize(), row.Expected) << "theme state " << int(row.State);
    XPLibraryShutdown();
  }
}

TEST_F(XPControls, CheckSizeIsOneCellOfTheSystemCheckBoxStrip) {
  XPLibraryStartup();
  SIZE size{};
  GetXPCheckSize(size);
  // The strip holds four columns (unchecked, checked, pushed, pushed and
  // checked) and three rows (plain, radio, radio mask).
  HBITMAP strip = LoadBitmapW(nullptr, MAKEINTRESOURCEW(32759));
  ASSERT_NE(strip, nullptr);
  BITMAP info{};
  GetObjectW(strip, sizeof(info), &info);
  DeleteObject(strip);
  EXPECT_EQ(size.cx * 4, info.bmWidth);
  EXPECT_EQ(size.cy * 3, info.bmHeight);
}

TEST_F(XPControls, StartUpIsGuardedAndShutDownUndoesEveryStep) {
  ASSERT_FALSE(XPLibraryStarted());
  ASSERT_FALSE(XPGradientFillBound());
  const size_t registrations = TResourceLedger::Registrations();
  XPLibraryStartup();
  const size_t started = TResourceLedger::Registrations();
  EXPECT_GT(started, registrations);
  XPLibraryStartup();
  EXPECT_EQ(TResourceLedger::Registrations(), started);
  EXPECT_TRUE(XPLibraryStarted());
  EXPECT_TRUE(XPGradientFillBound());
  EXPECT_EQ(TPicture::GraphicClassOfExtension(L"img"), GraphicClassOf<TAlphaBitmap>());
  EXPECT_EQ(TPicture::GraphicClassOfExtension(L"bmp"), GraphicClassOf<TCompressedBitmap>());
  // One shut-down undoes a start-up however often it was asked for.
  XPLibraryShutdown();
  EXPECT_EQ(TResourceLedger::Registrations(), registrations);
  EXPECT_FALSE(XPLibraryStarted());
  EXPECT_FALSE(XPGradientFillBound());
  EXPECT_EQ(TPicture::GraphicClassOfExtension(L"img"), nullptr);
  EXPECT_EQ(TPicture::GraphicClassOfExtension(L"bmp"), GraphicClassOf<TBitmap>());
  XPLibraryShutdown();
  // And the layer starts again after it.
  XPLibraryStartup();
  EXPECT_TRUE(XPGradientFillBound());
}

// --- the base control ---------------------------------------------------------------------

// A control with a current and a saved state, as check boxes and edits have;
// a click changes the current one.
class TStatefulBox : public TXPCustomControl {
public:
  explicit TStatefulBox(TComponent* AOwner) : TXPCustomControl(AOwner) {
    OnClick = [this](TControl*) { Current = !Current; };
  }
  bool IsModified() override { return Current != Saved; }
  void SaveModifiedState() override {
    ++Saves;
    Saved = Current;
  }
  void RedrawControl() override {
    ++Redraws;
    TXPCustomControl::RedrawControl();
  }
  bool Current = false, Saved = false;
  int Saves = 0, Redraws = 0;
};

void ClickAt(HWND AWindow, int AX, int AY) {
  SendMessageW(AWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(AX, AY));
  SendMessageW(AWindow, WM_LBUTTONUP, 0, MAKELPARAM(AX, AY));
}

TEST_F(XPControls, ModifiedStateMessageQueriesAndSavesTheState) {
  auto* box = NewParent<TStatefulBox>(60, 20);
  box->Show();
  const HWND window = box->Handle();
  struct TStep {
    const char* What;
    bool Click;
    WPARAM WParam;
    LRESULT Expected;
    int Saves;
  };
  const TStep steps[] = {
      {"unchanged", false, kXPModifiedQuery, 0, 0},
      {"after a click", true, kXPModifiedQuery, 1, 0},
      {"an unknown request changes nothing", false, 3, 0, 0},
      {"still modified", false, kXPModifiedQuery, 1, 0},
      {"save", false, kXPModifiedSave, 0, 1},
      {"saved", false, kXPModifiedQuery, 0, 1},
      {"a request of 0 changes nothing", false, 0, 0, 1},
  };
  for (const TStep& step : steps) {
    if (step.Click)
      ClickAt(window, 10, 10);
    EXPECT_EQ(SendMessageW(window, WM_USER + 1, step.WParam, 0), step.Expected) << step.What;
    EXPECT_EQ(box->Saves, step.Saves) << step.What;
  }
}

class TTransparentBox : public TXPCustomTransparentControl {
public:
  using TXPCustomTransparentControl::TXPCustomTransparentControl;
  void TransparentChanged() override {
    ++Changes;
    TXPCustomTransparentControl::TransparentChanged();
  }
  int Changes = 0;
};

TEST_F(XPControls, SwitchesNotifyOnlyWhenTheirValueChanges) {
  auto* box = new TStatefulBox(Owner.get());
  auto* transparent = new TTransparentBox(Owner.get());
  EXPECT_FALSE(box->SmoothDraw());
  EXPECT_TRUE(transparent->Transparent());
  struct TStep {
    bool Value;
    int Notified;
  };
  // Each switch starts at its default; setting the default again is no change.
  const TStep smooth[] = {{false, 0}, {true, 1}, {true, 1}, {false, 2}};
  for (const TStep& step : smooth) {
    box->SetSmoothDraw(step.Value);
    EXPECT_EQ(box->SmoothDraw(), step.Value);
    EXPECT_EQ(box->Redraws, step.Notified) << "SmoothDraw " << step.Value;
  }
  const TStep transparency[] = {{true, 0}, {false, 1}, {false, 1}, {true, 2}};
  for (const TStep& step : transparency) {
    transparent->SetTransparent(step.Value);
    EXPECT_EQ(transparent->Transparent(), step.Value);
    EXPECT_EQ(transparent->Changes, step.Notified) << "Transparent " << step.Value;
  }
}

// A parent whose left half is navy and right half red.
class TTwoTonedParent : public TCustomControl {
public:
  using TCustomControl::TCustomControl;

protected:
  void Paint() override {
    Canvas().Brush().SetColor(clNavy);
    Canvas().FillRect(RECT{0, 0, Width() / 2, Height()});
    Canvas().Brush().SetColor(clRed);
    Canvas().FillRect(RECT{Width() / 2, 0, Width(), Height()});
  }
};

TEST_F(XPControls, EraseShowsTheParentThroughOnlyWhileTransparent) {
  constexpr TColor kUntouched = clFuchsia;
  auto* parent = NewParent<TTwoTonedParent>(100, 40);
  // Straddles the parent's halves: its left 10 pixels over navy.
  auto* transparent = new TTransparentBox(Owner.get());
  transparent->SetBounds(40, 10, 20, 20);
  transparent->SetColor(clLime);
  transparent->SetParent(parent);
  auto* plain = new TStatefulBox(Owner.get());
  plain->SetBounds(10, 10, 20, 20);
  plain->SetParent(parent);
  parent->Show();
  harness::PumpMessages();

  struct TRow {
    const char* What;
    TWinControl* Control;
    bool Transparent;
    TColor Left, Right;
  };
  const TRow rows[] = {
      {"transparent", transparent, true, clNavy, clRed},
      {"opaque", transparent, false, clLime, clLime},
      {"the base control erases nothing", plain, false, kUntouched, kUntouched},
  };
  for (const TRow& row : rows) {
    transparent->SetTransparent(row.Transparent);
    TBitmap target(20, 20, TPixelFormat::pf32bit);
    Fill(target, kUntouched);
    const LRESULT result = SendMessageW(row.Control->Handle(), WM_ERASEBKGND,
                                        reinterpret_cast<WPARAM>(target.Canvas().Handle()), 0);
    GdiFlush();
    EXPECT_EQ(result, 1) << row.What;
    EXPECT_EQ(At(target, 5, 10), row.Left) << row.What;
    EXPECT_EQ(At(target, 15, 10), row.Right) << row.What;
  }
}

// A control with a client edge (two pixels each side) that fills its client
// area with lime and notes whether its frame went to a print target.
class TFramedBox : public TXPCustomControl {
public:
  using TXPCustomControl::TXPCustomControl;
  int RedirectedFramePaints = 0;

protected:
  void CreateParams(TCreateParams& AParams) override {
    TXPCustomControl::CreateParams(AParams);
    AParams.ExStyle |= WS_EX_CLIENTEDGE;
  }
  void Paint() override {
    Canvas().Brush().SetColor(clLime);
    Canvas().FillRect(ClientRect());
  }
  void PaintNonClient(HDC ADC) override {
    if (WindowDCRedirected(Handle()))
      ++RedirectedFramePaints;
    TXPCustomControl::PaintNonClient(ADC);
  }
};

TEST_F(XPControls, PrintDrawsTheFrameIntoTheTargetOnlyForTheNonClientArea) {
  constexpr TColor kUntouched = clFuchsia;
  struct TRow {
    const char* What;
    LPARAM Flags;
    bool Hidden;
    bool Frame;          // (0, 0) and (1, 1) hold the edge, not lime or untouched
    TColor ClientCorner; // (2, 2): the client's top left inside the frame
    TColor OuterCorner;  // (0, 0) when there is no frame
    TColor FarCorner;    // (39, 29): outside a client drawn at (0, 0)
    LRESULT Result;
    int RedirectedFramePaints;
  };
  const TRow rows[] = {
      {"non-client and client", PRF_NONCLIENT | PRF_CLIENT, false, true, clLime, clNone, clNone, 1,
       1},
      {"client alone", PRF_CLIENT, false, false, clLime, clLime, kUntouched, 0, 0},
      {"hidden, checked for visibility", PRF_NONCLIENT | PRF_CLIENT | PRF_CHECKVISIBLE, true, false,
       kUntouched, kUntouched, kUntouched, 0, 0},
  };
  auto* parent = NewParent(80, 60);
  parent->Show();
  for (const TRow& row : rows) {
    auto* box = new TFramedBox(Owner.get());
    box->SetBounds(10, 10, 40, 30);
    box->SetParent(parent);
    box->SetVisible(!row.Hidden);
    harness::PumpMessages();
    ASSERT_EQ(box->ClientWidth(), 36) << "a two-pixel client edge";

    TBitmap target(40, 30, TPixelFormat::pf32bit);
    Fill(target, kUntouched);
    const LRESULT result = SendMessageW(
        box->Handle(), WM_PRINT, reinterpret_cast<WPARAM>(target.Canvas().Handle()), row.Flags);
    GdiFlush();
    EXPECT_EQ(result, row.Result) << row.What;
    EXPECT_EQ(box->RedirectedFramePaints, row.RedirectedFramePaints) << row.What;
    EXPECT_EQ(At(target, 2, 2), row.ClientCorner) << row.What;
    if (row.Frame) {
      for (POINT p : {POINT{0, 0}, POINT{1, 1}, POINT{39, 29}}) {
        EXPECT_NE(At(target, p.x, p.y), kUntouched) << row.What << " at " << p.x << "," << p.y;
        EXPECT_NE(At(target, p.x, p.y), clLime) << row.What << " at " << p.x << "," << p.y;
      }
    } else {
      EXPECT_EQ(At(target, 0, 0), row.OuterCorner) << row.What;
      EXPECT_EQ(At(target, 39, 29), row.FarCorner) << row.What;
    }
    EXPECT_FALSE(WindowDCRedirected(box->Handle())) << row.What;
    TComponent::Free(box);
  }
}

TEST_F(XPControls, ResizeKeepsTheOldPixelsButAStripAtEachMovedEdge) {
  class TSteadyBox : public TXPNonFlickingControl {
  public:
    using TXPNonFlickingControl::TXPNonFlickingControl;
  };
  auto* box = NewParent<TSteadyBox>(100, 50);
  box->HandleNeeded();
  EXPECT_NE(GetWindowLongPtrW(box->Handle(), GWL_STYLE) & WS_CLIPCHILDREN, 0);
  struct TRow {
    const char* What;
    RECT NewWindow;
    int Delta;
    RECT Source;
  };
  const TRow rows[] = {
      {"grown", {0, 0, 120, 60}, 2, {0, 0, 98, 48}},
      {"shrunk", {0, 0, 80, 40}, 2, {0, 0, 78, 38}},
      {"same size", {0, 0, 100, 50}, 2, {0, 0, 100, 50}},
      {"wider, same height, wider strip", {0, 0, 130, 50}, 5, {0, 0, 95, 50}},
  };
  for (const TRow& row : rows) {
    box->SetDelta(row.Delta);
    NCCALCSIZE_PARAMS params{};
    WINDOWPOS position{};
    params.rgrc[0] = row.NewWindow;
    params.rgrc[1] = RECT{0, 0, 100, 50};
    params.rgrc[2] = RECT{0, 0, 100, 50};
    params.lppos = &position;
    const LRESULT result = box->Perform(WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&params));
    EXPECT_EQ(result, WVR_VALIDRECTS) << row.What;
    EXPECT_EQ(params.rgrc[2].left, row.Source.left) << row.What;
    EXPECT_EQ(params.rgrc[2].top, row.Source.top) << row.What;
    EXPECT_EQ(params.rgrc[2].right, row.Source.right) << row.What;
    EXPECT_EQ(params.rgrc[2].bottom, row.Source.bottom) << row.What;
  }
}

// --- the scene ----------------------------------------------------------------------------

// Gradients, a nine-part skin, alpha frame strips (one of our own, and the
// check box's prepared artwork) and captions on the library's button face.
class TGraphicsScene : public TXPCustomControl {
public:
  explicit TGraphicsScene(TComponent* AOwner) : TXPCustomControl(AOwner) {
    CreateXPAlphaImage(FCheckBox, L"XPCHECKBOX");
    // A 12 x 12 skin: a 3-pixel dark frame round a light centre.
    FSkin.SetPixelFormat(TPixelFormat::pf32bit);
    FSkin.SetSize(12, 12);
    FSkin.Canvas().Brush().SetColor(TColor(0x404040));
    FSkin.Canvas().FillRect(RECT{0, 0, 12, 12});
    FSkin.Canvas().Brush().SetColor(TColor(0xF0E0C0));
    FSkin.Canvas().FillRect(RECT{3, 3, 9, 9});
    // Four 16 x 16 frames stacked, each more opaque than the last.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 16;
    info.bmiHeader.biHeight = 64;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* section = nullptr;
    FFrames.SetHandle(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &section, nullptr, 0));
    uint8_t* bits = FFrames.Bits();
    for (int row = 0; row < 64; ++row) {
      const int frame = 3 - row / 16; // rows run bottom-up
      const uint8_t alpha = uint8_t(64 * (frame + 1) - 1);
      for (int x = 0; x < 16; ++x) {
        uint8_t* p = bits + (size_t(row) * 16 + x) * 4;
        // Premultiplied blue.
        p[0] = alpha;
        p[1] = 0;
        p[2] = 0;
        p[3] = alpha;
      }
    }
  }

protected:
  void Paint() override {
    TCanvas& canvas = Canvas();
    canvas.Brush().SetColor(clXPBtnFace);
    canvas.FillRect(ClientRect());
    const HDC dc = canvas.Handle();
    GradientFillRect(dc, RECT{10, 10, 110, 30}, clXPHighlight, clXPWindow, true);
    GradientFillRect(dc, RECT{120, 10, 140, 70}, clXPBtnShadow, clXPBtnHighlight, false);
    DrawSkinBitmap(RECT{10, 40, 110, 70}, RECT{3, 3, 9, 9}, RECT{0, 0, 12, 12}, dc, FSkin, false);
    for (int i = 0; i < 4; ++i)
      FFrames.DrawRect(canvas, RECT{0, 16 * i, 16, 16 * i + 16},
                       RECT{150 + 20 * i, 10, 166 + 20 * i, 26});
    // The check box's twelve 13 x 13 states in two rows.
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, FCheckBox->Handle());
    for (int i = 0; i < 12; ++i)
      AlphaBlendImage(dc, 250 + 16 * (i % 6), 10 + 16 * (i / 6), 13, 13, memory, 0, 13 * i);
    SelectObject(memory, old);
    DeleteDC(memory);
    TFont font;
    font.SetName(L"Tahoma");
    font.SetSize(8);
    DrawXPCaption(canvas, RECT{150, 30, 240, 50}, L"Caption", font, clBtnText, taLeftJustify, tlTop,
                  0, epNone, 100);
    DrawXPCaption(canvas, RECT{150, 50, 240, 70}, L"Disabled", font, clXPGrayText, taLeftJustify,
                  tlTop, dcfSunkenDisabled, epNone, 100);
  }

private:
  TBitmap FSkin;
  TAlphaBitmap FFrames;
  std::unique_ptr<TAlphaImage> FCheckBox;
};

TEST_F(XPControls, GraphicsSceneDrawsInTheLibraryColoursOfEachThemeState) {
  const TThemeState states[] = {TThemeState::Classic, TThemeState::Emulated, TThemeState::Themed};
  for (TThemeState state : states) {
    TFixedTheme theme(state);
    TSeamScope<TThemeSeam> scope(theme);
    XPLibraryStartup();
    auto* scene = NewParent<TGraphicsScene>(350, 80);
    scene->Show();
    harness::PumpMessages();
    auto image = harness::RenderControl(*scene);
    harness::SaveScreenshot(L"xp-graphics-" + std::to_wstring(int(state)), *image);
    const char* name = state == TThemeState::Classic    ? "classic"
                       : state == TThemeState::Emulated ? "emulated"
                                                        : "themed";
    if (state != TThemeState::Themed) {
      // Face, gradient ends, the skin's unscaled corner and stretched centre.
      EXPECT_EQ(At(*image, 2, 2), Rgb(clXPBtnFace)) << name;
      EXPECT_EQ(At(*image, 10, 20), Rgb(clXPHighlight)) << name;
      EXPECT_EQ(At(*image, 130, 10), Rgb(clXPBtnShadow)) << name;
      EXPECT_EQ(At(*image, 11, 41), TColor(0x404040)) << name;
      EXPECT_EQ(At(*image, 60, 55), TColor(0xF0E0C0)) << name;
      // The most opaque frame hides the face more than the least.
      const TColor faint = At(*image, 158, 18), strong = At(*image, 218, 18);
      EXPECT_GT((strong >> 16) & 0xFF, (faint >> 16) & 0xFF) << name;
    }
    TComponent::Free(scene);
    XPLibraryShutdown();
  }
  EXPECT_EQ(Rgb(clXPBtnFace), Rgb(clBtnFace));
}

} // namespace
