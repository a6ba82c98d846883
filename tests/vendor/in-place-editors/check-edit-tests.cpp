#include "gx-check-edit.h"
#include "gx-container.h"
#include "gx-resources.h"
#include "gx-utils.h"

#include "application.h"
#include "ledger-balance.h"
#include "resource-ledger.h"
#include "rtl-exceptions.h"
#include "support/test-harness.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

class TCountingBeep : public TgxBeepSeam {
public:
  void Beep(UINT) override { ++Count; }
  int Count = 0;
};

// The least container of check cells: it may allow editing, may toggle
// with one click, and records the keys and cell moves the editor hands it.
class TCheckContainer : public TCustomControl, public IgxEditContainer {
public:
  explicit TCheckContainer(TComponent* AOwner) : TCustomControl(AOwner) { SetTabStop(true); }
  TWinControl* ContainerControl() override { return this; }
  bool CanEditModify() override { return Editable; }
  bool CanEditAcceptKey(wchar_t) override { return true; }
  bool SingleClickCheckEdit() const override { return SingleClick; }
  // Each editor keeps the style of its own kind.
  TgxEditStyle* CreateEditStyle(TgxInplaceEdit* AEdit) override {
    return AEdit->EditClass().CreateEditStyle(AEdit);
  }
  void ContainerKeyDown(WORD& AKey, TShiftState) override { KeysDown.push_back(AKey); }
  void FocusNextEditCell(bool ABackward) override { Moves.push_back(ABackward); }

  bool Editable = true;
  bool SingleClick = false;
  std::vector<WORD> KeysDown;
  std::vector<bool> Moves;

protected:
  void Paint() override {
    RECT r = ClientRect();
    Canvas().Brush().SetColor(Color());
    Canvas().FillRect(r);
  }
};

class CheckEditorTest : public TLedgerBalancedTest {
protected:
  void SetUp() override {
    TLedgerBalancedTest::SetUp();
    FRegistrations = TResourceLedger::Registrations();
    GxUtilsStartup();
    GxContainerStartup();
    GxExEditorsStartup();
    Owner = std::make_unique<TComponent>(nullptr);
    Container = new TCheckContainer(Owner.get());
  }
  void TearDown() override {
    Owner.reset();
    ReleaseApplication();
    TLedgerBalancedTest::TearDown();
  }
  void ReleaseShared() override {
    FinalizeControls();
    GxExEditorsShutdown();
    GxContainerShutdown();
    GxUtilsShutdown();
    EXPECT_EQ(TResourceLedger::Registrations(), FRegistrations);
  }
  TgxInplaceCheckEdit* NewCheck() { return new TgxInplaceCheckEdit(Container); }

  std::unique_ptr<TComponent> Owner;
  TCheckContainer* Container = nullptr;
  TCountingBeep Beeps;
  TSeamScope<TgxBeepSeam> BeepScope{Beeps};

private:
  size_t FRegistrations = 0;
};

// --- value and state --------------------------------------------------------------------

TEST_F(CheckEditorTest, ToggleCyclesTheStatesAndGrayedNeverGoesBackToUnchecked) {
  struct TCase {
    bool AllowGrayed;
    TgxCheckBoxState From, To;
  };
  TgxInplaceCheckEdit* edit = NewCheck();
  for (const TCase& c :
       {TCase{false, cbsUnchecked, cbsChecked}, TCase{true, cbsUnchecked, cbsGrayed},
        TCase{false, cbsChecked, cbsUnchecked}, TCase{true, cbsChecked, cbsUnchecked},
        TCase{false, cbsGrayed, cbsChecked}, TCase{true, cbsGrayed, cbsChecked}}) {
    edit->SetAllowGrayed(c.AllowGrayed);
    edit->SetState(c.From);
    edit->SetModified(false);
    edit->Toggle();
    EXPECT_EQ(edit->State(), c.To) << int(c.From) << " grayed " << c.AllowGrayed;
    EXPECT_TRUE(edit->Modified());
  }
  Container->Editable = false;
  edit->SetState(cbsUnchecked);
  edit->Toggle();
  EXPECT_EQ(edit->State(), cbsUnchecked) << "a container that refuses edits keeps the value";
}

TEST_F(CheckEditorTest, ABooleanTextFollowsTheBoxAndAnyOtherTextStays) {
  struct TCase {
    const wchar_t* Text;
    bool AllowGrayed;
    TgxCheckBoxState From;
    const wchar_t* After;
  };
  TgxInplaceCheckEdit* edit = NewCheck();
  for (const TCase& c :
       {TCase{L"true", false, cbsChecked, L"False"}, TCase{L"FALSE", false, cbsUnchecked, L"True"},
        TCase{L"True", true, cbsUnchecked, L"True"},
        TCase{L"Enable", false, cbsUnchecked, L"Enable"},
        TCase{L"Truer", false, cbsUnchecked, L"Truer"}}) {
    edit->SetAllowGrayed(c.AllowGrayed);
    edit->SetState(c.From);
    edit->SetText(c.Text);
    edit->Toggle();
    EXPECT_EQ(edit->Text(), c.After);
  }
}

TEST_F(CheckEditorTest, OnlyANewStateOutsideLoadingClicksAndChanges) {
  TgxInplaceCheckEdit* edit = NewCheck();
  int clicks = 0, changes = 0;
  edit->OnClick = [&](TControl*) { ++clicks; };
  edit->OnChange = [&](TControl*) { ++changes; };
  edit->SetState(cbsChecked);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(changes, 1);
  edit->SetChecked(true);
  EXPECT_EQ(clicks, 1) << "the same state fires nothing";
  {
    TComponentLoading loading(edit);
    edit->SetState(cbsGrayed);
  }
  EXPECT_EQ(edit->State(), cbsGrayed);
  EXPECT_EQ(clicks, 1) << "a loading editor fires nothing";
}

TEST_F(CheckEditorTest, AnEditValueSetsTheStateQuietlyAndKeepsTheModifiedFlag) {
  TgxInplaceCheckEdit* edit = NewCheck();
  int clicks = 0;
  edit->OnClick = [&](TControl*) { ++clicks; };
  struct TCase {
    TgxVariant Value;
    TgxCheckBoxState State;
  };
  for (const TCase& c : {TCase{int64_t(2), cbsGrayed}, TCase{std::wstring(L"1"), cbsChecked},
                         TCase{int64_t(256), cbsUnchecked}, TCase{int64_t(257), cbsChecked},
                         TCase{0.0, cbsUnchecked}, TCase{true, cbsChecked}}) {
    edit->SetModified(true);
    edit->SetEditValue(c.Value);
    EXPECT_EQ(edit->State(), c.State) << VarToText(c.Value).size();
    EXPECT_TRUE(edit->Modified());
  }
  EXPECT_EQ(clicks, 0);
  TgxVariant value;
  edit->GetEditValue(value);
  EXPECT_EQ(std::get<int64_t>(value), int64_t(cbsChecked));

  // A value that names no state raises, and leaves flag and state as they were.
  edit->SetModified(false);
  for (const TgxVariant& bad :
       {TgxVariant(std::wstring(L"yes")), TgxVariant(int64_t(7)), TgxVariant(std::monostate())}) {
    EXPECT_THROW(edit->SetEditValue(bad), EConvertError);
    EXPECT_EQ(edit->State(), cbsChecked);
    EXPECT_FALSE(edit->Modified());
  }
  edit->SetState(cbsUnchecked);
  EXPECT_EQ(clicks, 1) << "the change flag is down again after a failed conversion";
}

TEST_F(CheckEditorTest, AReadOnlyEditorShowsNoCaptionAndTheViewDataCarriesTheSettings) {
  TgxInplaceCheckEdit* edit = NewCheck();
  edit->SetText(L"&Live");
  edit->SetMultiLine(true);
  edit->SetFullFocusRect(true);
  edit->SetNullStyle(nsInactive);
  edit->SetGlyphCount(3);
  edit->SetAlignment(taRightJustify);
  edit->SetState(cbsGrayed);
  std::unique_ptr<TgxEditViewData> base(edit->CreateViewData(false));
  auto* data = dynamic_cast<TgxCheckEditViewData*>(base.get());
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->Caption, L"&Live");
  EXPECT_EQ(data->DrawAlignment, daMultiLine);
  EXPECT_FALSE(data->ExactFocusRect);
  EXPECT_EQ(data->NullStyle, nsInactive);
  EXPECT_EQ(data->GlyphCount, 3);
  EXPECT_EQ(data->Glyph, nullptr) << "no strip until one is asked for";
  EXPECT_EQ(data->Alignment, taRightJustify);
  EXPECT_EQ(std::get<int64_t>(data->Data), int64_t(cbsGrayed));
  edit->SetReadOnly(true);
  std::unique_ptr<TgxEditViewData> readOnly(edit->CreateViewData(false));
  EXPECT_EQ(static_cast<TgxCheckEditViewData*>(readOnly.get())->Caption, L"");
}

TEST_F(CheckEditorTest, TheStyleFallsBackToTheCheckDefaultsNotTheEditDefaults) {
  TgxInplaceCheckEdit* edit = NewCheck();
  EXPECT_EQ(edit->Style().BorderStyle(), xbsNone);
  EXPECT_EQ(edit->Style().ButtonStyle(), bts3D);
  TgxCheckEditStyleController* checks = GetDefaultCheckEditStyleController();
  TgxEditStyleController* edits = TgxEditStyle::GetDefaultEditStyleController();
  bool linked = false;
  for (int i = 0; i < checks->LinkCount(); ++i)
    linked |= checks->Links(i) == edit;
  EXPECT_TRUE(linked);
  for (int i = 0; i < edits->LinkCount(); ++i)
    EXPECT_NE(edits->Links(i), edit);
  checks->SetBorderStyle(xbsSingle);
  EXPECT_EQ(edit->Style().BorderStyle(), xbsSingle);
  checks->RestoreDefaults();
  TComponent::Free(edit);
  EXPECT_EQ(checks->LinkCount(), 0) << "a freed editor leaves no link behind";
}

TEST_F(CheckEditorTest, TheBoxIsPlacedByAlignmentAndOnlyItActivatesTheEditor) {
  const int w = GetSystemCheckWidth(), h = GetSystemCheckHeight();
  const RECT cell{10, 20, 110, 40};
  struct TCase {
    TAlignment Alignment;
    int Left;
    RECT Caption;
  };
  for (const TCase& c : {TCase{taCenter, (10 + 110 - w) / 2, {0, 0, 0, 0}},
                         TCase{taLeftJustify, 12, {12 + w + 3, 22, 108, 38}},
                         TCase{taRightJustify, 108 - w, {12, 22, 108 - (w + 3), 38}}}) {
    RECT box, caption;
    TgxCheckEditClass::PlaceCheckBox(w, h, cell, c.Alignment, box, caption);
    EXPECT_EQ(box.left, c.Left) << c.Alignment;
    EXPECT_EQ(box.right - box.left, w);
    EXPECT_EQ(box.top, (20 + 40 - h) / 2) << c.Alignment;
    EXPECT_TRUE(EqualRect(&caption, &c.Caption)) << c.Alignment;
    const auto& kind = TgxCheckEditClass::Instance();
    EXPECT_TRUE(kind.DoesEditorNeedActivating(cell, c.Alignment, box.left, box.top));
    EXPECT_FALSE(kind.DoesEditorNeedActivating(cell, c.Alignment, box.right, box.top));
    EXPECT_FALSE(kind.DoesEditorNeedActivating(cell, c.Alignment, box.left - 1, box.top));
  }
}

// --- on the screen ------------------------------------------------------------------------

class LiveCheck : public CheckEditorTest {
protected:
  void SetUp() override {
    CheckEditorTest::SetUp();
    Form = new TWinControl(Owner.get());
    Form->SetBounds(80, 80, 320, 200);
    Container->SetBounds(10, 10, 280, 160);
    Container->SetColor(clWhite);
    Container->SetParent(Form);
  }
  TgxInplaceCheckEdit* NewLiveCheck(TAlignment AAlignment = taLeftJustify) {
    auto* edit = NewCheck();
    edit->SetParent(Container);
    edit->SetAlignment(AAlignment);
    edit->SetColor(clWhite);
    Form->Show();
    SetForegroundWindow(Form->Handle());
    edit->Move(kCell);
    harness::PumpMessages();
    return edit;
  }
  static bool PumpUntil(const std::function<bool()>& ADone) {
    for (int round = 0; round < 100 && !ADone(); ++round) {
      harness::PumpMessages();
      if (!ADone())
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    harness::PumpMessages();
    return ADone();
  }
  static void Key(WORD AKey) {
    INPUT inputs[2]{};
    for (INPUT& input : inputs) {
      input.type = INPUT_KEYBOARD;
      input.ki.wVk = AKey;
    }
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ASSERT_EQ(SendInput(2, inputs, sizeof(INPUT)), 2u);
  }
  static void Click(TWinControl& AControl, POINT AClient) {
    const POINT screen = AControl.ClientToScreen(AClient);
    harness::ClickAtScreen(screen.x, screen.y);
  }
  static RECT BoxOf(TgxInplaceCheckEdit& AEdit) {
    RECT box, caption;
    TgxCheckEditClass::PlaceCheckBox(GetSystemCheckWidth(), GetSystemCheckHeight(),
                                     AEdit.ClientRect(), AEdit.Alignment(), box, caption);
    return box;
  }

  static constexpr RECT kCell{20, 30, 160, 52};
  TWinControl* Form = nullptr;
};

TEST_F(LiveCheck, AClickAnywhereTogglesUnlessOneClickEditingWantsTheBox) {
  TgxInplaceCheckEdit* edit = NewLiveCheck();
  const RECT box = BoxOf(*edit);
  const POINT beside{box.right + 40, (box.top + box.bottom) / 2};
  const POINT onBox{(box.left + box.right) / 2, (box.top + box.bottom) / 2};
  Click(*edit, beside);
  EXPECT_TRUE(PumpUntil([&] { return edit->State() == cbsChecked; }));
  EXPECT_FALSE(edit->Pressed()) << "the button is up again";
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_TRUE(Container->KeysDown.empty());

  // Input is taken in order: once the click on the box has toggled, the
  // one beside it before has been handled too, and did nothing.
  Container->SingleClick = true;
  int clicks = 0;
  edit->OnClick = [&](TControl*) { ++clicks; };
  Click(*edit, beside);
  Click(*edit, onBox);
  EXPECT_TRUE(PumpUntil([&] { return clicks > 0; }));
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(edit->State(), cbsUnchecked);
  EXPECT_EQ(Container->KeysDown, std::vector<WORD>{VK_RETURN}) << "the edit ends with an Enter";

  // The container's own click on a cell reaches the editor the same way.
  edit->MouseClick(beside.x, beside.y);
  EXPECT_EQ(edit->State(), cbsUnchecked);
  edit->MouseClick(onBox.x, onBox.y);
  EXPECT_EQ(edit->State(), cbsChecked);
}

TEST_F(LiveCheck, SpaceTogglesOnceOnReleaseAndALoneSpaceCharacterTogglesAtOnce) {
  TgxInplaceCheckEdit* edit = NewLiveCheck();
  edit->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return edit->Focused(); }));
  int clicks = 0;
  edit->OnClick = [&](TControl*) { ++clicks; };
  // The arrows after the space move to the next cells; once they have
  // arrived, the space's key-down, character and key-up have all been
  // handled.
  Key(VK_SPACE);
  Key(VK_LEFT);
  Key(VK_RIGHT);
  EXPECT_TRUE(PumpUntil([&] { return Container->Moves.size() == 2; }));
  EXPECT_EQ(Container->Moves, (std::vector<bool>{true, false}));
  EXPECT_EQ(clicks, 1) << "one toggle, on the release";
  EXPECT_EQ(edit->State(), cbsChecked);
  EXPECT_FALSE(edit->Pressed());

  SendMessageW(edit->Handle(), WM_CHAR, L' ', 0);
  EXPECT_EQ(edit->State(), cbsUnchecked);
  EXPECT_EQ(clicks, 2);

  const LRESULT code = SendMessageW(edit->Handle(), WM_GETDLGCODE, 0, 0);
  EXPECT_TRUE(code & DLGC_WANTARROWS);
  EXPECT_TRUE(code & DLGC_WANTALLKEYS);
  EXPECT_EQ(Beeps.Count, 0);
}

TEST_F(LiveCheck, CancellingTheModeReleasesAPressedBoxWithoutToggling) {
  TgxInplaceCheckEdit* edit = NewLiveCheck();
  const RECT box = BoxOf(*edit);
  SendMessageW(edit->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(box.left + 2, box.top + 2));
  EXPECT_TRUE(edit->Pressed());
  EXPECT_EQ(GetCapture(), edit->Handle());
  SendMessageW(edit->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-20, -20));
  EXPECT_FALSE(edit->Pressed()) << "off the editor the box comes up";
  SendMessageW(edit->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(box.left + 2, box.top + 2));
  EXPECT_TRUE(edit->Pressed());
  SendMessageW(edit->Handle(), WM_CANCELMODE, 0, 0);
  EXPECT_FALSE(edit->Pressed());
  EXPECT_NE(GetCapture(), edit->Handle());
  SendMessageW(edit->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(box.left + 2, box.top + 2));
  EXPECT_EQ(edit->State(), cbsUnchecked);
}

// --- painting ---------------------------------------------------------------------------------

struct TPaintCase {
  const char* Name;
  TAlignment Alignment;
  TgxCheckBoxState State;
  TgxEditButtonViewStyle Buttons;
  bool Enabled;
};

class CheckCellPainting : public LiveCheck, public ::testing::WithParamInterface<TPaintCase> {};

TEST_P(CheckCellPainting, ACellPaintedThroughTheClassMatchesTheLiveEditor) {
  const TPaintCase& c = GetParam();
  TgxInplaceCheckEdit* edit = NewLiveCheck(c.Alignment);
  edit->SetText(L"Live");
  edit->SetAllowGrayed(true);
  edit->SetState(c.State);
  edit->Style().SetButtonStyle(c.Buttons);
  edit->SetEnabled(c.Enabled);
  harness::PumpMessages();
  auto live = harness::RenderControl(*edit);

  // What a container fills for a check cell the editor is not on.
  TgxCheckEditViewData data;
  TBrush brush;
  brush.SetColor(clWhite);
  data.ViewBounds = {0, 0, kCell.right - kCell.left + 4, kCell.bottom - kCell.top + 4};
  data.BorderStyle = xbsNone;
  data.ButtonStyle = c.Buttons;
  data.Alignment = c.Alignment;
  data.DrawAlignment = daVCenter;
  data.Enabled = c.Enabled;
  data.Focused = edit->Focused();
  data.Brush = c.Enabled ? brush.Handle() : GetSysColorBrush(COLOR_BTNFACE);
  data.BkColor = c.Enabled ? RGB(255, 255, 255) : GetSysColor(COLOR_BTNFACE);
  data.Font = edit->Font().Handle();
  data.TextColor =
      c.Enabled ? ColorToColorRef(ColorToRGB(edit->Font().Color())) : GetSysColor(COLOR_BTNSHADOW);
  data.Data = int64_t(c.State);
  data.Caption = L"Live";
  data.ExactFocusRect = true;
  data.GlyphCount = 6;
  TBitmap cell(live->Width(), live->Height(), TPixelFormat::pf32bit);
  TgxCheckEditClass::Instance().Draw(cell.Canvas().Handle(), {}, data, nullptr);
  GdiFlush();
  EXPECT_TRUE(harness::SamePixels(*live, cell)) << c.Name;
}

INSTANTIATE_TEST_SUITE_P(
    Cells, CheckCellPainting,
    ::testing::Values(TPaintCase{"LeftChecked3D", taLeftJustify, cbsChecked, bts3D, true},
                      TPaintCase{"RightGrayedFlat", taRightJustify, cbsGrayed, btsFlat, true},
                      TPaintCase{"CenterUncheckedSimple", taCenter, cbsUnchecked, btsSimple, true},
                      TPaintCase{"CenterCheckedHotFlat", taCenter, cbsChecked, btsHotFlat, true},
                      TPaintCase{"LeftDisabledChecked", taLeftJustify, cbsChecked, bts3D, false}),
    [](const ::testing::TestParamInfo<TPaintCase>& AInfo) { return AInfo.param.Name; });

class CheckGlyphs : public CheckEditorTest {
protected:
  // One centred box of the state drawn through the class on white.
  std::unique_ptr<TBitmap> DrawBox(int AState, bool AEnabled, bool APressed,
                                   TgxShowNullFieldStyle ANullStyle, TBitmap* AGlyph = nullptr,
                                   int AGlyphCount = 6) {
    auto bitmap = std::make_unique<TBitmap>(40, 30, TPixelFormat::pf32bit);
    TBrush white;
    white.SetColor(clWhite);
    TgxCheckEditViewData data;
    data.Alignment = taCenter;
    data.Brush = white.Handle();
    data.BkColor = RGB(255, 255, 255);
    data.ButtonStyle = bts3D;
    data.Enabled = AEnabled;
    data.Pressed = APressed;
    data.NullStyle = ANullStyle;
    data.Data = int64_t(AState);
    data.Glyph = AGlyph;
    data.GlyphCount = AGlyphCount;
    RECT all{0, 0, 40, 30};
    TgxCheckEditClass::Instance().DrawClientArea(bitmap->Canvas().Handle(), all, data, false);
    GdiFlush();
    return bitmap;
  }
  // The box's inside, without its two-pixel 3D frame.
  static RECT Inside() {
    const int w = GetSystemCheckWidth(), h = GetSystemCheckHeight();
    const int left = (40 - w) / 2, top = (30 - h) / 2;
    return {left + 2, top + 2, left + w - 2, top + h - 2};
  }
  static int Count(TBitmap& ABitmap, const RECT& AArea, const std::function<bool(TColor)>& AIs) {
    int count = 0;
    for (int y = AArea.top; y < AArea.bottom; ++y)
      for (int x = AArea.left; x < AArea.right; ++x)
        count += AIs(harness::PixelAt(ABitmap, x, y)) ? 1 : 0;
    return count;
  }
  static bool Dark(TColor AColor) {
    return GetRValue(AColor) < 64 && GetGValue(AColor) < 64 && GetBValue(AColor) < 64;
  }
};

TEST_F(CheckGlyphs, TheCheckMarkShowsForCheckedAndGrayedByTheNullStyle) {
  const RECT inside = Inside();
  auto unchecked = DrawBox(cbsUnchecked, true, false, nsGrayedChecked);
  auto checked = DrawBox(cbsChecked, true, false, nsGrayedChecked);
  EXPECT_EQ(Count(*unchecked, inside, Dark), 0) << "an empty box";
  EXPECT_GT(Count(*checked, inside, Dark), 4) << "a dark check mark";
  EXPECT_GT(Count(*unchecked, inside, [](TColor C) { return C == clWhite; }), 40)
      << "the window colour inside";

  // Grayed: a mark over a face-coloured box, an empty face box, or a plain box.
  auto grayedChecked = DrawBox(cbsGrayed, true, false, nsGrayedChecked);
  auto grayedInactive = DrawBox(cbsGrayed, true, false, nsInactive);
  auto grayedUnchecked = DrawBox(cbsGrayed, true, false, nsUnchecked);
  EXPECT_FALSE(harness::SamePixels(*grayedChecked, *checked));
  EXPECT_FALSE(harness::SamePixels(*grayedChecked, *grayedInactive));
  EXPECT_LT(Count(*grayedInactive, inside, [](TColor C) { return C == clWhite; }),
            Count(*unchecked, inside, [](TColor C) { return C == clWhite; }))
      << "the inactive box is not the window colour inside";
  EXPECT_FALSE(harness::SamePixels(*grayedUnchecked, *grayedChecked));

  // A pressed box is drawn pushed; a disabled one only tells set from unset.
  auto pressed = DrawBox(cbsUnchecked, true, true, nsGrayedChecked);
  EXPECT_FALSE(harness::SamePixels(*pressed, *unchecked));
  auto disabledChecked = DrawBox(cbsChecked, false, false, nsUnchecked);
  auto disabledGrayed = DrawBox(cbsGrayed, false, false, nsInactive);
  auto disabledUnchecked = DrawBox(cbsUnchecked, false, false, nsGrayedChecked);
  EXPECT_TRUE(harness::SamePixels(*disabledChecked, *disabledGrayed));
  EXPECT_FALSE(harness::SamePixels(*disabledChecked, *disabledUnchecked));
}

TEST_F(CheckGlyphs, AGlyphStripShowsThePictureOfStateAndPressAndTheBrushWhereItIsSeeThrough) {
  // Six 10 x 12 pictures, each filled with its own colour, with a magenta
  // see-through frame, and a magenta bottom-left pixel keying the strip.
  const TColor colours[6] = {TColor(RGB(200, 0, 0)),   TColor(RGB(0, 200, 0)),
                             TColor(RGB(0, 0, 200)),   TColor(RGB(200, 200, 0)),
                             TColor(RGB(0, 200, 200)), TColor(RGB(200, 0, 200))};
  TBitmap strip(60, 12, TPixelFormat::pf32bit);
  strip.Canvas().Brush().SetColor(TColor(RGB(255, 0, 255)));
  strip.Canvas().FillRect({0, 0, 60, 12});
  for (int i = 0; i < 6; ++i) {
    strip.Canvas().Brush().SetColor(colours[i]);
    strip.Canvas().FillRect({i * 10 + 2, 2, i * 10 + 8, 10});
  }
  int w = 0, h = 0;
  EXPECT_TRUE(TgxCheckEditClass::CalcCheckSize(&strip, 6, w, h));
  EXPECT_EQ(w, 10);
  EXPECT_EQ(h, 12);
  EXPECT_FALSE(TgxCheckEditClass::CalcCheckSize(&strip, 0, w, h)) << "no count, no glyph";
  EXPECT_EQ(w, GetSystemCheckWidth());

  struct TCase {
    int Count, State;
    bool Pressed;
    int Picture;
  };
  for (const TCase& c :
       {TCase{6, cbsUnchecked, false, 0}, TCase{6, cbsChecked, false, 1},
        TCase{6, cbsGrayed, false, 2}, TCase{6, cbsUnchecked, true, 3},
        TCase{6, cbsChecked, true, 4}, TCase{6, cbsGrayed, true, 5}, TCase{3, cbsChecked, true, 1},
        TCase{3, cbsGrayed, true, 2}, TCase{2, cbsGrayed, false, 1}}) {
    TBitmap part(c.Count * 10, 12, TPixelFormat::pf32bit);
    BitBlt(part.Canvas().Handle(), 0, 0, c.Count * 10, 12, strip.Canvas().Handle(), 0, 0, SRCCOPY);
    auto box = DrawBox(c.State, true, c.Pressed, nsGrayedChecked, &part, c.Count);
    const int left = (40 - 10) / 2, top = (30 - 12) / 2;
    EXPECT_EQ(harness::PixelAt(*box, left + 5, top + 6), colours[c.Picture])
        << c.Count << " pictures, state " << c.State << " pressed " << c.Pressed;
    EXPECT_EQ(harness::PixelAt(*box, left, top), clWhite) << "the brush shows through";
  }
}

TEST_F(CheckGlyphs, AMeasuringPassAsksOneLineOfTheBoxHeightAndDrawsNothing) {
  TBitmap bitmap(40, 30, TPixelFormat::pf32bit);
  TgxCheckEditViewData data;
  data.CalcHeight = true;
  data.Brush = HBRUSH(GetStockObject(BLACK_BRUSH));
  RECT all{0, 0, 40, 30};
  PatBlt(bitmap.Canvas().Handle(), 0, 0, 40, 30, WHITENESS);
  EXPECT_TRUE(
      TgxCheckEditClass::Instance().DrawClientArea(bitmap.Canvas().Handle(), all, data, false));
  GdiFlush();
  EXPECT_EQ(data.LineCount, 1);
  EXPECT_EQ(data.LineHeight, GetSystemCheckHeight());
  EXPECT_EQ(harness::PixelAt(bitmap, 20, 15), clWhite);

  data.Font = HFONT(GetStockObject(DEFAULT_GUI_FONT));
  data.ViewBounds = {0, 0, 200, 10};
  data.Caption = L"Enable";
  data.Alignment = taLeftJustify;
  EXPECT_GE(TgxCheckEditClass::Instance().GetMinHeight(data), GetSystemCheckHeight());
  data.Alignment = taCenter;
  EXPECT_GE(TgxCheckEditClass::Instance().GetMinHeight(data), GetSystemCheckHeight());
}

} // namespace
