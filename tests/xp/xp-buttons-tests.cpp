#include "fixed-theme.h"
#include "ledger-balance.h"
#include "xp-buttons.h"
#include "xp-check-box.h"
#include "xp-group-box.h"
#include "xp-labels.h"
#include "xp-split-button.h"

#include "application.h"
#include "forms.h"
#include "menus.h"
#include "resource-ledger.h"
#include "seams.h"
#include "smooth-text.h"
#include "support/test-harness.h"
#include "xp-colors.h"
#include "xp-controls.h"
#include "xp-graphics.h"
#include "xp-system.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

// A form colour none of the controls draws with.
constexpr TColor kParentColor = 0x00A000;

// Real windows on a shown form; every test ends with the windows, GDI
// objects, contexts and icons it began with once the shared images are gone.
class XPButtons : public ::testing::Test {
protected:
  void SetUp() override {
    FStart = std::make_unique<TLedgerKindCounts>(
        std::initializer_list<TResourceKind>{TResourceKind::Window, TResourceKind::GdiObject,
                                             TResourceKind::DeviceContext, TResourceKind::Icon});
    Owner = std::make_unique<TComponent>(nullptr);
    Form = new TForm(Owner.get());
    Form->SetBounds(60, 60, 420, 300);
    Form->SetColor(kParentColor);
    // The controls' parent: rendered without the form's frame.
    Host = new TWinControl(Owner.get());
    Host->SetBounds(0, 0, 400, 260);
    Host->SetColor(kParentColor);
    Host->SetParent(Form);
  }
  void TearDown() override {
    Owner.reset();
    harness::PumpMessages();
    ReleaseApplication();
    TXPButtonResourceManager::FreeImages();
    TSmoothTextRenderer::Shutdown();
    XPGraphicsShutdown();
    FinalizeGraphics();
    FStart->ExpectUnchanged();
  }

  template <typename T>
  T* Make(int ALeft, int ATop, int AWidth, int AHeight, TWinControl* AParent = nullptr) {
    auto* control = new T(Owner.get());
    control->SetBounds(ALeft, ATop, AWidth, AHeight);
    control->SetParent(AParent ? AParent : Host);
    return control;
  }
  void ShowForm() {
    Form->Show();
    SetForegroundWindow(Form->Handle());
    harness::PumpMessages();
  }

  static void Down(TWinControl* AControl, POINT AAt) {
    SendMessageW(AControl->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(AAt.x, AAt.y));
  }
  static void Up(TWinControl* AControl, POINT AAt) {
    SendMessageW(AControl->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(AAt.x, AAt.y));
  }
  static void ClickAt(TWinControl* AControl, POINT AAt = {6, 6}) {
    Down(AControl, AAt);
    Up(AControl, AAt);
  }
  static void Key(TWinControl* AControl, UINT AMsg, WPARAM AKey) {
    SendMessageW(AControl->Handle(), AMsg, AKey, 0);
  }

  std::unique_ptr<TComponent> Owner;
  TForm* Form = nullptr;
  TWinControl* Host = nullptr;

private:
  std::unique_ptr<TLedgerKindCounts> FStart;
};

bool IsGrey(TColor AColor) {
  const int r = AColor & 0xFF, g = (AColor >> 8) & 0xFF, b = (AColor >> 16) & 0xFF;
  return std::abs(r - g) <= 2 && std::abs(g - b) <= 2;
}

// The pixels of the area that have the colour.
int CountColor(TBitmap& ABitmap, const RECT& AArea, TColor AColor) {
  int count = 0;
  for (int y = AArea.top; y < AArea.bottom; ++y)
    for (int x = AArea.left; x < AArea.right; ++x)
      if (harness::PixelAt(ABitmap, x, y) == AColor)
        ++count;
  return count;
}

// The smallest rectangle of pixels that differ from AColor.
RECT InkBounds(TBitmap& ABitmap, TColor AColor) {
  RECT bounds{ABitmap.Width(), ABitmap.Height(), 0, 0};
  for (int y = 0; y < ABitmap.Height(); ++y)
    for (int x = 0; x < ABitmap.Width(); ++x)
      if (harness::PixelAt(ABitmap, x, y) != AColor) {
        bounds.left = std::min<LONG>(bounds.left, x);
        bounds.top = std::min<LONG>(bounds.top, y);
        bounds.right = std::max<LONG>(bounds.right, x + 1);
        bounds.bottom = std::max<LONG>(bounds.bottom, y + 1);
      }
  return bounds.right == 0 ? RECT{0, 0, 0, 0} : bounds;
}

// A 24-bit glyph of cells side by side, each a square in one colour inside
// a one-pixel teal border (the bottom-left colour, drawn as see-through).
std::unique_ptr<TBitmap> MakeGlyph(const std::vector<TColor>& ACells, int ASize = 16) {
  auto glyph = std::make_unique<TBitmap>(ASize * int(ACells.size()), ASize, TPixelFormat::pf24bit);
  glyph->Canvas().Brush().SetColor(clTeal);
  glyph->Canvas().FillRect(RECT{0, 0, glyph->Width(), ASize});
  for (size_t i = 0; i < ACells.size(); ++i) {
    glyph->Canvas().Brush().SetColor(ACells[i]);
    glyph->Canvas().FillRect(RECT{int(i) * ASize + 1, 1, int(i + 1) * ASize - 1, ASize - 1});
  }
  return glyph;
}

int TextHeightOf(TFont& AFont, const std::wstring& AText) {
  TBitmap scratch(1, 1);
  scratch.Canvas().SetFont(AFont);
  return scratch.Canvas().TextHeight(AText);
}

// ===========================================================================
// Push and bitmap buttons

TEST_F(XPButtons, KindsSetCaptionResultDefaultCancelAndTwoImageGlyph) {
  struct TCase {
    TBitBtnKind Kind;
    const wchar_t* Caption;
    TModalResult Result;
    bool Default;
    bool Cancel;
    int GlyphHeight;
  };
  const TCase cases[] = {
      {bkOK, L"OK", 1, true, false, 18},           {bkCancel, L"Cancel", 2, false, true, 18},
      {bkHelp, L"&Help", 0, false, false, 18},     {bkYes, L"&Yes", 6, true, false, 18},
      {bkNo, L"&No", 7, false, true, 18},          {bkClose, L"&Close", 0, false, false, 18},
      {bkAbort, L"Abort", 3, false, false, 18},    {bkRetry, L"&Retry", 4, false, false, 18},
      {bkIgnore, L"&Ignore", 5, false, false, 18}, {bkAll, L"&All", 8, false, false, 19},
  };
  for (const TCase& c : cases) {
    auto* button = Make<TXPBitBtn>(8, 8, 75, 25);
    button->SetKind(c.Kind);
    EXPECT_EQ(button->Caption(), c.Caption);
    EXPECT_EQ(button->ModalResult(), c.Result) << int(c.Kind);
    EXPECT_EQ(button->Default(), c.Default) << int(c.Kind);
    EXPECT_EQ(button->Cancel(), c.Cancel) << int(c.Kind);
    EXPECT_EQ(button->Glyph().Width(), 36) << int(c.Kind);
    EXPECT_EQ(button->Glyph().Height(), c.GlyphHeight) << int(c.Kind);
    EXPECT_EQ(button->NumGlyphs(), 2) << int(c.Kind);
    EXPECT_EQ(button->Kind(), c.Kind);
    TComponent::Free(button);
  }
}

TEST_F(XPButtons, KindOKWhileLoadingFillsOnlyAnEmptyCaptionAndDecaysOnChange) {
  auto* empty = Make<TXPBitBtn>(8, 8, 75, 25);
  auto* named = Make<TXPBitBtn>(8, 40, 75, 25);
  named->SetCaption(L"Proceed");
  {
    TComponentLoading loading(Owner.get());
    empty->SetKind(bkOK);
    named->SetKind(bkOK);
    loading.End();
  }
  EXPECT_EQ(empty->Caption(), L"OK");
  EXPECT_EQ(named->Caption(), L"Proceed");
  EXPECT_EQ(empty->Kind(), bkOK);
  EXPECT_FALSE(empty->ModifiedGlyph());
  empty->SetModalResult(mrCancel);
  EXPECT_EQ(empty->Kind(), bkCustom);
  // The decay sticks: the value matching again does not bring the kind back.
  empty->SetModalResult(mrOk);
  EXPECT_EQ(empty->Kind(), bkCustom);
  // A glyph of one's own is no kind's glyph.
  auto glyph = MakeGlyph({clRed});
  named->SetGlyph(glyph.get());
  EXPECT_EQ(named->Kind(), bkCustom);
  EXPECT_EQ(named->NumGlyphs(), 1);
}

// The modal form of a dialog: OK (default), Abort as the cancel button, a
// plain Retry button and a check box; APost runs once the form shows.
struct TDialog {
  TXPBitBtn* Ok;
  TXPBitBtn* Abort;
  TXPBitBtn* Retry;
  TXPCheckBox* Check;
};

TEST_F(XPButtons, AButtonsModalResultEndsTheModalForm) {
  struct TCase {
    const char* Name;
    std::function<void(TDialog&)> Act;
    TModalResult Expected;
    int OkClicks;
  };
  const TCase cases[] = {
      {"a click on Retry", [](TDialog& d) { ClickAt(d.Retry); }, mrRetry, 0},
      // Enter on a control that is no button goes to the default button.
      {"Enter on the check box",
       [](TDialog& d) { PostMessageW(d.Check->Handle(), WM_KEYDOWN, VK_RETURN, 0); }, mrOk, 1},
      {"Escape on the check box",
       [](TDialog& d) { PostMessageW(d.Check->Handle(), WM_KEYDOWN, VK_ESCAPE, 0); }, mrAbort, 0},
      {"space on OK",
       [](TDialog& d) {
         PostMessageW(d.Ok->Handle(), WM_KEYDOWN, VK_SPACE, 0);
         PostMessageW(d.Ok->Handle(), WM_KEYUP, VK_SPACE, 0);
       },
       mrOk, 1},
  };
  for (const TCase& c : cases) {
    auto* form = new TForm(Owner.get());
    form->SetBounds(80, 80, 300, 120);
    TDialog dialog{};
    dialog.Ok = Make<TXPBitBtn>(8, 60, 75, 25, form);
    dialog.Ok->SetKind(bkOK);
    dialog.Abort = Make<TXPBitBtn>(90, 60, 75, 25, form);
    dialog.Abort->SetCaption(L"Abort");
    dialog.Abort->SetCancel(true);
    dialog.Abort->SetModalResult(mrAbort);
    dialog.Retry = Make<TXPBitBtn>(172, 60, 75, 25, form);
    dialog.Retry->SetKind(bkRetry);
    dialog.Check = Make<TXPCheckBox>(8, 8, 120, 17, form);
    form->SetActiveControl(dialog.Check);
    int okClicks = 0;
    dialog.Ok->OnClick = [&](TControl*) { ++okClicks; };
    form->OnShow = [&](TControl*) {
      c.Act(dialog);
      // Should the action end nothing, the close after it does (mrCancel),
      // so a failure cannot hang the loop.
      PostMessageW(form->Handle(), WM_CLOSE, 0, 0);
    };
    const TModalResult result = form->ShowModal();
    EXPECT_EQ(result, c.Expected) << c.Name;
    EXPECT_EQ(okClicks, c.OkClicks) << c.Name;
    EXPECT_FALSE(form->Visible()) << c.Name;
    TComponent::Free(form);
  }
}

TEST_F(XPButtons, EnterClicksTheFocusedButtonAndTheDefaultOnlyWithoutOne) {
  auto* ok = Make<TXPBitBtn>(8, 8, 75, 25);
  ok->SetDefault(true);
  auto* other = Make<TXPBitBtn>(90, 8, 75, 25);
  auto* check = Make<TXPCheckBox>(8, 50, 100, 17);
  int okClicks = 0, otherClicks = 0;
  ok->OnClick = [&](TControl*) { ++okClicks; };
  other->OnClick = [&](TControl*) { ++otherClicks; };
  ShowForm();
  other->SetFocus();
  harness::PumpMessages();
  ASSERT_TRUE(other->Focused());
  EXPECT_TRUE(other->Active());
  EXPECT_FALSE(ok->Active());
  EXPECT_TRUE(Form->DialogKey(VK_RETURN));
  EXPECT_EQ(otherClicks, 1);
  EXPECT_EQ(okClicks, 0);
  check->SetFocus();
  harness::PumpMessages();
  EXPECT_TRUE(ok->Active());
  EXPECT_FALSE(other->Active());
  EXPECT_TRUE(Form->DialogKey(VK_RETURN));
  EXPECT_EQ(okClicks, 1);
  // Escape finds no cancel button.
  EXPECT_FALSE(Form->DialogKey(VK_ESCAPE));
  // Giving up Default hands Enter to nobody.
  ok->SetDefault(false);
  EXPECT_FALSE(ok->Active());
  EXPECT_FALSE(Form->DialogKey(VK_RETURN));
}

TEST_F(XPButtons, SpaceBarPressesAndItsReleaseClicks) {
  auto* button = Make<TXPBitBtn>(8, 8, 75, 25);
  button->SetCaption(L"Go");
  int clicks = 0;
  button->OnClick = [&](TControl*) { ++clicks; };
  ShowForm();
  Key(button, WM_KEYDOWN, VK_SPACE);
  EXPECT_TRUE(button->Pressed());
  EXPECT_TRUE(button->SpaceDown());
  // The mouse does not press a button the space bar holds.
  Down(button, {5, 5});
  Up(button, {5, 5});
  EXPECT_TRUE(button->Pressed());
  const int mouseClicks = clicks;
  Key(button, WM_KEYUP, VK_SPACE);
  EXPECT_FALSE(button->Pressed());
  EXPECT_EQ(clicks, mouseClicks + 1);
  // Another key lets go without a click.
  Key(button, WM_KEYDOWN, VK_SPACE);
  Key(button, WM_KEYDOWN, 'A');
  EXPECT_FALSE(button->Pressed());
  Key(button, WM_KEYUP, VK_SPACE);
  EXPECT_EQ(clicks, mouseClicks + 1);
}

TEST_F(XPButtons, MouseHeldOffTheButtonUnpressesItAndNoClickFollows) {
  auto* button = Make<TXPBitBtn>(8, 8, 75, 25);
  int clicks = 0;
  button->OnClick = [&](TControl*) { ++clicks; };
  ShowForm();
  Down(button, {10, 10});
  EXPECT_TRUE(button->Pressed());
  EXPECT_TRUE(button->Focused()) << "a press focuses the button";
  SendMessageW(button->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, 100));
  EXPECT_FALSE(button->Pressed());
  SendMessageW(button->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(20, 10));
  EXPECT_TRUE(button->Pressed()) << "back over the button it is pressed again";
  SendMessageW(button->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, 100));
  Up(button, {200, 100});
  EXPECT_FALSE(button->Pressed());
  EXPECT_EQ(clicks, 0);
  ClickAt(button, {10, 10});
  EXPECT_EQ(clicks, 1);
}

TEST_F(XPButtons, DisabledGlyphIsMonochromeOrTheSecondImage) {
  TFixedTheme theme(xtsClassic);
  TSeamScope<TThemeSeam> scope(theme);
  struct TCase {
    std::vector<TColor> Cells;
    bool Enabled;
    TColor Expected;
  };
  const TCase cases[] = {
      {{clRed}, true, clRed},
      {{clRed, clBlue}, true, clRed},
      {{clRed, clBlue}, false, clBlue},
  };
  for (const TCase& c : cases) {
    auto* button = Make<TXPBitBtn>(8, 8, 75, 25);
    auto glyph = MakeGlyph(c.Cells);
    button->SetGlyph(glyph.get());
    button->SetEnabled(c.Enabled);
    auto image = harness::RenderControl(*button);
    EXPECT_GT(CountColor(*image, RECT{0, 0, 75, 25}, c.Expected), 100)
        << c.Cells.size() << " images, enabled " << c.Enabled;
    TComponent::Free(button);
  }
  // One image disabled: grey, none of its red left.
  auto* button = Make<TXPBitBtn>(8, 8, 75, 25);
  auto glyph = MakeGlyph({clRed});
  button->SetGlyph(glyph.get());
  button->SetEnabled(false);
  auto image = harness::RenderControl(*button);
  EXPECT_EQ(CountColor(*image, RECT{0, 0, 75, 25}, clRed), 0);
  const POINT centre{75 / 2, 25 / 2};
  EXPECT_TRUE(IsGrey(harness::PixelAt(*image, centre.x, centre.y)));
}

// A stock-icon seam answering a solid magenta icon.
class TMagentaShield : public TStockIconSeam {
public:
  HICON Icon(int AId, bool) override {
    ++Asked;
    LastId = AId;
    const int cx = GetSystemMetrics(SM_CXSMICON), cy = GetSystemMetrics(SM_CYSMICON);
    TBitmap color(cx, cy, TPixelFormat::pf24bit);
    color.Canvas().Brush().SetColor(clFuchsia);
    color.Canvas().FillRect(RECT{0, 0, cx, cy});
    TBitmap mask(cx, cy, TPixelFormat::pf1bit);
    mask.Canvas().Brush().SetColor(clBlack);
    mask.Canvas().FillRect(RECT{0, 0, cx, cy});
    ICONINFO info{TRUE, 0, 0, mask.Handle(), color.Handle()};
    return CreateIconIndirect(&info);
  }
  int Asked = 0;
  int LastId = 0;
};

TEST_F(XPButtons, ShieldShowsWithoutAGlyphOnlyWhenAskedFor) {
  TFixedTheme theme(xtsClassic);
  TSeamScope<TThemeSeam> themeScope(theme);
  TMagentaShield shield;
  TSeamScope<TStockIconSeam> shieldScope(shield);
  auto* button = Make<TXPBitBtn>(8, 8, 75, 25);
  auto plain = harness::RenderControl(*button);
  EXPECT_EQ(CountColor(*plain, RECT{0, 0, 75, 25}, clFuchsia), 0);
  // The button message shows it as the property does.
  EXPECT_EQ(SendMessageW(button->Handle(), kBCMSetShield, 0, 1), 1);
  EXPECT_TRUE(button->ShowShieldIcon());
  auto shown = harness::RenderControl(*button);
  const int size = GetSystemMetrics(SM_CXSMICON) * GetSystemMetrics(SM_CYSMICON);
  EXPECT_EQ(CountColor(*shown, RECT{0, 0, 75, 25}, clFuchsia), size);
  EXPECT_EQ(shield.LastId, kShieldStockIconId);
  // Disabled, it is blended half over the button face.
  button->SetEnabled(false);
  auto faded = harness::RenderControl(*button);
  EXPECT_EQ(CountColor(*faded, RECT{0, 0, 75, 25}, clFuchsia), 0);
  // A glyph takes the shield's place.
  button->SetEnabled(true);
  auto glyph = MakeGlyph({clRed});
  button->SetGlyph(glyph.get());
  auto withGlyph = harness::RenderControl(*button);
  EXPECT_EQ(CountColor(*withGlyph, RECT{0, 0, 75, 25}, clFuchsia), 0);
  // The icon is made once, with the other shared images, and goes with them.
  EXPECT_EQ(shield.Asked, 1);
  const size_t icons = TResourceLedger::Count(TResourceKind::Icon);
  TXPButtonResourceManager::FreeImages();
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Icon), icons - 1);
}

TEST_F(XPButtons, HelpAndCloseKindsActOnTheHelpContextAndTheForm) {
  std::vector<uintptr_t> shown;
  Application()->OnHelp = [&](UINT, uintptr_t AData) {
    shown.push_back(AData);
    return true;
  };
  ShowForm();
  auto* help = Make<TXPBitBtn>(8, 8, 75, 25);
  help->SetKind(bkHelp);
  int helpClicks = 0;
  help->OnClick = [&](TControl*) { ++helpClicks; };
  // Without a help context up the parents it is a plain button.
  ClickAt(help);
  EXPECT_TRUE(shown.empty());
  EXPECT_EQ(helpClicks, 1);
  Form->SetHelpContext(77);
  ClickAt(help);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], 77u);
  EXPECT_EQ(helpClicks, 1);

  auto* close = Make<TXPBitBtn>(90, 8, 75, 25);
  close->SetKind(bkClose);
  ClickAt(close);
  EXPECT_FALSE(Form->Visible());
}

TEST_F(XPButtons, PushButtonFacesInEveryThemeState) {
  auto* normal = Make<TXPBitBtn>(8, 8, 75, 25);
  normal->SetCaption(L"Close");
  auto* pressed = Make<TXPBitBtn>(90, 8, 75, 25);
  pressed->SetCaption(L"Abort");
  pressed->SetPressed(true);
  auto* active = Make<TXPBitBtn>(172, 8, 75, 25);
  active->SetKind(bkOK);
  auto* disabled = Make<TXPBitBtn>(254, 8, 75, 25);
  disabled->SetKind(bkCancel);
  disabled->SetEnabled(false);
  auto* office = Make<TXPBitBtn>(8, 40, 75, 25);
  office->SetCaption(L"Office");
  office->SetStyle(xpbsOffice);
  office->SetColor(clWhite);
  auto* shield = Make<TXPBitBtn>(90, 40, 100, 25);
  shield->SetCaption(L"Update");
  shield->SetShowShieldIcon(true);
  // A pointer left over the form by an earlier program would draw a button
  // hot; the faces here are the resting ones.
  SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
  ShowForm();
  const std::vector<TXPBitBtn*> buttons{normal, pressed, active, disabled};
  ASSERT_TRUE(normal->Focused());
  EXPECT_TRUE(normal->Active());
  EXPECT_FALSE(active->Active()) << "the default button gives way to a focused one";
  for (int state : {0, 1, 2}) {
    TFixedTheme theme(state);
    TSeamScope<TThemeSeam> scope(theme);
    auto image = harness::RenderControl(*Host);
    harness::SaveScreenshot(L"xp-buttons-" + std::to_wstring(state), *image);
    for (TXPBitBtn* button : buttons) {
      const POINT centre{button->Left() + 4, button->Top() + 12};
      EXPECT_NE(harness::PixelAt(*image, centre.x, centre.y), kParentColor)
          << "state " << state << ", "
          << std::string(button->Caption().begin(), button->Caption().end());
    }
    if (state == xtsClassic) {
      EXPECT_EQ(harness::PixelAt(*image, normal->Left() + 4, normal->Top() + 12),
                ColorToRGB(clBtnFace));
      // The button acting on Enter (the focused one, as a button has the
      // focus) has an extra frame; the others none.
      for (TXPBitBtn* button : buttons)
        EXPECT_EQ(harness::PixelAt(*image, button->Left(), button->Top() + 12) ==
                      ColorToRGB(clWindowFrame),
                  button->Active())
            << std::string(button->Caption().begin(), button->Caption().end());
    }
    if (state == xtsEmulated) {
      // Each state is its own row of the sprite.
      EXPECT_NE(harness::PixelAt(*image, normal->Left() + 4, normal->Top() + 12),
                harness::PixelAt(*image, pressed->Left() + 4, pressed->Top() + 12));
    }
    // The Office look: a frame in FrameColor around the colour.
    EXPECT_EQ(harness::PixelAt(*image, office->Left(), office->Top() + 12),
              ColorToRGB(clWindowFrame));
    EXPECT_EQ(harness::PixelAt(*image, office->Left() + 3, office->Top() + 3), clWhite);
  }
}

// ===========================================================================
// Check box and radio button

TEST_F(XPButtons, CheckBoxCyclesAndFiresOnClickOncePerChange) {
  auto* box = Make<TXPCheckBox>(8, 8, 120, 17);
  box->SetCaption(L"Verify Write");
  std::vector<TCheckBoxState> seen;
  box->OnClick = [&](TControl*) { seen.push_back(box->State()); };
  ShowForm();
  box->SetAllowGrayed(true);
  ClickAt(box);
  ClickAt(box);
  Key(box, WM_KEYDOWN, VK_SPACE);
  Key(box, WM_KEYUP, VK_SPACE);
  EXPECT_EQ(seen, (std::vector<TCheckBoxState>{cbGrayed, cbChecked, cbUnchecked}));
  box->SetAllowGrayed(false);
  ClickAt(box);
  EXPECT_TRUE(box->Checked());
  // From code: every change fires OnClick, an unchanged value does not.
  seen.clear();
  box->SetChecked(false);
  box->SetChecked(false);
  box->SetState(cbGrayed);
  EXPECT_EQ(seen, (std::vector<TCheckBoxState>{cbUnchecked, cbGrayed}));
  // Not while the form loads.
  seen.clear();
  {
    TComponentLoading loading(Owner.get());
    box->SetState(cbChecked);
    loading.End();
  }
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(box->State(), cbChecked);
  // The modified state through the library's message.
  EXPECT_EQ(SendMessageW(box->Handle(), XPM_MODIFIEDSTATE, kXPModifiedQuery, 0), 1);
  SendMessageW(box->Handle(), XPM_MODIFIEDSTATE, kXPModifiedSave, 0);
  EXPECT_EQ(SendMessageW(box->Handle(), XPM_MODIFIEDSTATE, kXPModifiedQuery, 0), 0);
}

TEST_F(XPButtons, RadioButtonsUncheckTheirGroupOnTheSameParentOnly) {
  auto* left = Make<TXPGroupBox>(8, 8, 180, 120);
  auto* right = Make<TXPGroupBox>(200, 8, 180, 120);
  auto* a = Make<TXPRadioButton>(8, 20, 150, 17, left);
  auto* b = Make<TXPRadioButton>(8, 40, 150, 17, left);
  auto* other = Make<TXPRadioButton>(8, 60, 150, 17, left);
  other->SetGroupIndex(1);
  auto* elsewhere = Make<TXPRadioButton>(8, 20, 150, 17, right);
  EXPECT_FALSE(a->TabStop()) << "an unchecked radio button is no tab stop";
  int clicksA = 0, clicksB = 0;
  a->OnClick = [&](TControl*) { ++clicksA; };
  b->OnClick = [&](TControl*) { ++clicksB; };
  ShowForm();
  other->SetChecked(true);
  elsewhere->SetChecked(true);
  // A press checks on the way down; the release adds no click.
  Down(a, {5, 5});
  EXPECT_TRUE(a->Checked());
  Up(a, {5, 5});
  EXPECT_EQ(clicksA, 1);
  EXPECT_TRUE(a->TabStop());
  ClickAt(b);
  EXPECT_TRUE(b->Checked());
  EXPECT_FALSE(a->Checked());
  EXPECT_FALSE(a->TabStop());
  EXPECT_TRUE(other->Checked());
  EXPECT_TRUE(elsewhere->Checked());
  EXPECT_EQ(clicksB, 1);
  // The user cannot uncheck it.
  ClickAt(b);
  EXPECT_TRUE(b->Checked());
  EXPECT_EQ(clicksB, 1);
  // A new group unchecks the button.
  b->SetGroupIndex(2);
  EXPECT_FALSE(b->Checked());
}

TEST_F(XPButtons, FocusFromTheKeyboardChecksARadioButton) {
  auto* first = Make<TXPRadioButton>(8, 8, 150, 17);
  auto* second = Make<TXPRadioButton>(8, 30, 150, 17);
  first->SetChecked(true);
  int clicks = 0;
  second->OnClick = [&](TControl*) { ++clicks; };
  ShowForm();
  first->SetFocus();
  harness::PumpMessages();
  Form->SelectNext(first, true, false);
  harness::PumpMessages();
  ASSERT_TRUE(second->Focused());
  EXPECT_TRUE(second->Checked());
  EXPECT_FALSE(first->Checked());
  EXPECT_EQ(clicks, 1);
}

TEST_F(XPButtons, CheckBoxGrowsToItsMarkWhenItsWindowIsMade) {
  TFixedTheme theme(xtsClassic);
  TSeamScope<TThemeSeam> scope(theme);
  auto* box = Make<TXPCheckBox>(8, 8, 120, 12);
  EXPECT_EQ(box->Height(), 12);
  box->HandleNeeded();
  EXPECT_EQ(box->Height(), 17);
  // A larger font grows it to the text height + 2.
  box->Font().SetHeight(-30);
  EXPECT_EQ(box->Height(), TextHeightOf(box->Font(), L"0") + 2);
}

TEST_F(XPButtons, MarkSitsAtTheSideTheAlignmentGives) {
  struct TCase {
    int State;
    TAlignment Alignment;
    LONG Left;
  };
  SIZE classic{};
  GetXPCheckSize(classic);
  // The classic mark is the system's check box; only the box fills its cell.
  const TCase cases[] = {
      {xtsEmulated, taRightJustify, 0},
      {xtsEmulated, taLeftJustify, 120 - 14},
      {xtsClassic, taRightJustify, 0},
      {xtsClassic, taLeftJustify, 120 - classic.cx - 1},
  };
  ShowForm();
  for (const TCase& c : cases) {
    TFixedTheme theme(c.State);
    TSeamScope<TThemeSeam> scope(theme);
    for (bool radio : {false, true}) {
      if (radio && c.State == xtsClassic)
        continue;
      TXPCheckControl* control =
          radio ? static_cast<TXPCheckControl*>(Make<TXPRadioButton>(8, 8, 120, 17))
                : static_cast<TXPCheckControl*>(Make<TXPCheckBox>(8, 8, 120, 17));
      control->SetAlignment(c.Alignment);
      auto image = harness::RenderControl(*control);
      const RECT ink = InkBounds(*image, kParentColor);
      EXPECT_EQ(ink.left, c.Left) << "state " << c.State << " radio " << radio;
      EXPECT_LE(ink.right - ink.left, c.State == xtsClassic ? classic.cx : 13)
          << "state " << c.State << " radio " << radio;
      TComponent::Free(control);
    }
  }
}

TEST_F(XPButtons, CheckMarksInEveryThemeState) {
  auto* unchecked = Make<TXPCheckBox>(8, 8, 150, 17);
  unchecked->SetCaption(L"Reset Device");
  auto* checked = Make<TXPCheckBox>(8, 30, 150, 17);
  checked->SetCaption(L"Verify Write");
  checked->SetChecked(true);
  auto* grayed = Make<TXPCheckBox>(8, 52, 150, 17);
  grayed->SetCaption(L"Live Update");
  grayed->SetAllowGrayed(true);
  grayed->SetState(cbGrayed);
  auto* off = Make<TXPCheckBox>(8, 74, 150, 17);
  off->SetCaption(L"Disabled");
  off->SetEnabled(false);
  auto* radio = Make<TXPRadioButton>(180, 8, 180, 17);
  radio->SetCaption(L"Download current project");
  radio->SetChecked(true);
  auto* radio2 = Make<TXPRadioButton>(180, 30, 180, 17);
  radio2->SetCaption(L"Download file");
  ShowForm();
  for (int state : {0, 1, 2}) {
    TFixedTheme theme(state);
    TSeamScope<TThemeSeam> scope(theme);
    auto image = harness::RenderControl(*Host);
    harness::SaveScreenshot(L"xp-check-boxes-" + std::to_wstring(state), *image);
    for (TXPCheckControl* control :
         std::vector<TXPCheckControl*>{unchecked, checked, grayed, off, radio, radio2}) {
      // The middle of the mark is drawn, never the parent.
      EXPECT_NE(harness::PixelAt(*image, control->Left() + 6, control->Top() + 8), kParentColor)
          << "state " << state;
    }
    // Checked and unchecked marks differ.
    auto a = harness::RenderControl(*unchecked);
    auto b = harness::RenderControl(*checked);
    int differing = 0;
    for (int y = 0; y < 17; ++y)
      for (int x = 0; x < 13; ++x)
        differing += harness::PixelAt(*a, x, y) != harness::PixelAt(*b, x, y);
    EXPECT_GT(differing, 4) << "state " << state;
  }
}

// ===========================================================================
// Group box

TEST_F(XPButtons, GroupBoxClientAreaStartsUnderTheCaption) {
  auto* group = Make<TXPGroupBox>(8, 8, 185, 105);
  EXPECT_TRUE(group->ParentColor());
  auto* child = Make<TXPCheckBox>(0, 0, 10, 17, group);
  child->SetAlign(alClient);
  const int text = TextHeightOf(group->Font(), L"0");
  EXPECT_EQ(child->Top(), text + 2);
  EXPECT_EQ(child->Left(), 2);
  EXPECT_EQ(child->Width(), 185 - 4);
  group->SetCtl3D(false);
  EXPECT_EQ(child->Top(), text + 1);
  EXPECT_EQ(child->Left(), 1);
}

TEST_F(XPButtons, GroupBoxFrameStopsShortOfTheCaptionOnly) {
  ShowForm();
  for (int state : {0, 1}) {
    TFixedTheme theme(state);
    TSeamScope<TThemeSeam> scope(theme);
    for (bool captioned : {true, false}) {
      auto* group = Make<TXPGroupBox>(8, 8, 185, 105);
      if (captioned)
        group->SetCaption(L"Write Flash");
      auto image = harness::RenderControl(*group);
      const int line = TextHeightOf(group->Font(), L"0") / 2;
      const TColor frame =
          state == xtsClassic ? ColorToRGB(clBtnShadow) : ColorToRGB(clXPBtnShadow);
      // x = 6 lies in the gap (4 .. 12 + text) but left of the text itself.
      EXPECT_EQ(harness::PixelAt(*image, 6, line) == frame, !captioned)
          << "state " << state << " captioned " << captioned;
      EXPECT_EQ(harness::PixelAt(*image, 150, line), frame) << "state " << state;
      EXPECT_EQ(harness::PixelAt(*image, 90, 60), kParentColor) << "state " << state;
      TComponent::Free(group);
    }
  }
}

class TEnabledProbe : public TXPCheckBox {
public:
  using TXPCheckBox::TXPCheckBox;
  void EnabledChanged() override {
    ++Told;
    TXPCheckBox::EnabledChanged();
  }
  int Told = 0;
};

TEST_F(XPButtons, DisablingAGroupBoxTellsItsChildrenWithoutDisablingThem) {
  auto* group = Make<TXPGroupBox>(8, 8, 185, 105);
  auto* child = Make<TEnabledProbe>(8, 20, 100, 17, group);
  ShowForm();
  group->SetEnabled(false);
  EXPECT_EQ(child->Told, 1);
  EXPECT_TRUE(child->Enabled());
  EXPECT_FALSE(child->CanFocus());
}

TEST_F(XPButtons, DoubleBufferedGroupBoxLeavesTheEraseToItsPaint) {
  ShowForm();
  TFixedTheme theme(xtsClassic);
  TSeamScope<TThemeSeam> scope(theme);
  for (bool buffered : {true, false}) {
    auto* group = Make<TXPGroupBox>(8, 8, 185, 105);
    group->SetDoubleBuffered(buffered);
    TBitmap target(185, 105, TPixelFormat::pf32bit);
    target.Canvas().Brush().SetColor(clFuchsia);
    target.Canvas().FillRect(RECT{0, 0, 185, 105});
    EXPECT_EQ(SendMessageW(group->Handle(), WM_ERASEBKGND, WPARAM(target.Canvas().Handle()), 0), 1);
    EXPECT_EQ(harness::PixelAt(target, 90, 60), buffered ? clFuchsia : kParentColor);
    TComponent::Free(group);
  }
}

TEST_F(XPButtons, GroupBoxAcceleratorFocusesItsFirstChild) {
  auto* group = Make<TXPGroupBox>(8, 8, 185, 105);
  group->SetCaption(L"&Utility");
  auto* first = Make<TXPCheckBox>(8, 20, 100, 17, group);
  Make<TXPCheckBox>(8, 40, 100, 17, group);
  ShowForm();
  EXPECT_FALSE(group->DialogChar(L'x'));
  EXPECT_TRUE(group->DialogChar(L'u'));
  harness::PumpMessages();
  EXPECT_TRUE(first->Focused());
}

TEST_F(XPButtons, GroupBoxesInEveryThemeState) {
  auto* write = Make<TXPGroupBox>(8, 8, 185, 105);
  write->SetCaption(L"Write Flash");
  write->SetDoubleBuffered(true);
  Make<TXPCheckBox>(10, 24, 150, 17, write)->SetCaption(L"Verify Write");
  auto* info = Make<TXPGroupBox>(200, 8, 185, 105);
  info->SetCaption(L"Flash Information");
  info->SetEnabled(false);
  auto* plain = Make<TXPGroupBox>(8, 120, 185, 60);
  ShowForm();
  for (int state : {0, 1, 2}) {
    TFixedTheme theme(state);
    TSeamScope<TThemeSeam> scope(theme);
    auto image = harness::RenderControl(*Host);
    harness::SaveScreenshot(L"xp-group-boxes-" + std::to_wstring(state), *image);
    // Something framed each box: its bottom-right area is not all parent.
    for (TXPGroupBox* group : {write, info, plain}) {
      const RECT edge{group->Left() + 20, group->Top() + group->Height() - 3, group->Left() + 60,
                      group->Top() + group->Height()};
      EXPECT_LT(CountColor(*image, edge, kParentColor), 40 * 3) << "state " << state;
    }
  }
}

// ===========================================================================
// Labels

class TRecordingShell : public TShellSeam {
public:
  intptr_t Execute(HWND, const std::wstring& AVerb, const std::wstring& AFile,
                   const std::wstring& AParameters, const std::wstring&,
                   int AShowCommand) override {
    Calls.push_back({AVerb, AFile, AParameters, AShowCommand});
    return 33;
  }
  struct TCall {
    std::wstring Verb, File, Parameters;
    int Show;
  };
  std::vector<TCall> Calls;
};

TEST_F(XPButtons, LabelLinksOpenThroughTheShellOnlyWithAnAddress) {
  struct TCase {
    TXPLinkStyle Style;
    const wchar_t* Address;
    size_t Calls;
  };
  const TCase cases[] = {
      {xlsOpenExternally, L"http://example.invalid/", 1},
      {xlsOpenExternally, L"", 0},
      {xlsNavigate, L"http://example.invalid/", 0},
      {xlsCustom, L"http://example.invalid/", 0},
  };
  ShowForm();
  for (const TCase& c : cases) {
    TRecordingShell shell;
    TSeamScope<TShellSeam> scope(shell);
    auto* label = new TXPLabel(Owner.get());
    label->SetCaption(L"Visit");
    label->SetBounds(20, 20, 60, 13);
    label->SetParent(Host);
    label->SetLinkStyle(c.Style);
    label->SetLinkAddress(c.Address);
    int clicks = 0;
    label->OnClick = [&](TControl*) { ++clicks; };
    ClickAt(Host, {label->Left() + 3, label->Top() + 3});
    EXPECT_EQ(clicks, 1);
    ASSERT_EQ(shell.Calls.size(), c.Calls) << int(c.Style);
    if (c.Calls) {
      EXPECT_EQ(shell.Calls[0].Verb, L"");
      EXPECT_EQ(shell.Calls[0].File, c.Address);
      EXPECT_EQ(shell.Calls[0].Parameters, L"");
      EXPECT_EQ(shell.Calls[0].Show, SW_SHOW);
    }
    TComponent::Free(label);
  }
}

TEST_F(XPButtons, LabelOrientationExchangesWidthAndHeight) {
  auto* label = new TXPLabel(Owner.get());
  label->SetParent(Host);
  label->SetAutoSize(false);
  label->SetBounds(10, 10, 59, 13);
  label->SetOrientation(xtoVertical);
  EXPECT_EQ(label->Width(), 13);
  EXPECT_EQ(label->Height(), 59);
  // Vertical to vertical keeps the bounds.
  label->SetOrientation(xtoVerticalClockwise);
  EXPECT_EQ(label->Width(), 13);
  label->SetOrientation(xtoDefault);
  EXPECT_EQ(label->Width(), 59);
  EXPECT_EQ(label->Height(), 13);
}

TEST_F(XPButtons, LabelAutoSizeFitsCaptionAndGlyph) {
  auto* label = new TXPLabel(Owner.get());
  label->SetParent(Host);
  label->SetCaption(L"Flash Width:");
  const int textWidth = label->Width(), textHeight = label->Height();
  EXPECT_GT(textWidth, 20);
  auto glyph = MakeGlyph({clRed}, 20);
  label->SetGlyph(glyph.get());
  EXPECT_EQ(label->Width(), textWidth + 20 + 3);
  EXPECT_EQ(label->Height(), std::max(textHeight, 20));
  label->SetOrientation(xtoVertical);
  EXPECT_EQ(label->Height(), textWidth + 20 + 3);
  EXPECT_EQ(label->Width(), std::max(textHeight, 20));
}

TEST_F(XPButtons, RevealHintShowsACutOffCaptionOnly) {
  ShowForm();
  auto* narrow = new TXPLabel(Owner.get());
  narrow->SetParent(Host);
  narrow->SetAutoSize(false);
  narrow->SetBounds(10, 10, 30, 13);
  narrow->SetCaption(L"Hide Unassigned I/O Pins");
  narrow->SetRevealCaptionInHint(true);
  narrow->MouseEnter(0);
  ASSERT_NE(narrow->RevealHintWindow(), nullptr);
  EXPECT_TRUE(IsWindowVisible(narrow->RevealHintWindow()->Handle()));
  EXPECT_GT(narrow->RevealHintWindow()->Width(), 30);
  narrow->MouseLeave(0);
  EXPECT_EQ(narrow->RevealHintWindow(), nullptr);

  auto* wide = new TXPLabel(Owner.get());
  wide->SetParent(Host);
  wide->SetCaption(L"General");
  wide->SetBounds(10, 40, 200, 13);
  wide->SetRevealCaptionInHint(true);
  wide->MouseEnter(0);
  EXPECT_EQ(wide->RevealHintWindow(), nullptr);
  wide->MouseLeave(0);
}

TEST_F(XPButtons, HotTrackingChangesFontAndCursorAndPutsThemBack) {
  auto* label = new TXPLabel(Owner.get());
  label->SetParent(Host);
  label->SetCaption(L"Rebuild Links");
  TXPHotTrack track;
  track.TrackFontColor = true;
  track.TrackFontStyle = true;
  track.TrackCursor = true;
  label->SetHotTrack(track);
  ASSERT_TRUE(label->ParentFont());
  const TColor color = label->Font().Color();
  label->MouseEnter(0);
  EXPECT_EQ(label->Font().Color(), clHotLight);
  EXPECT_EQ(label->Font().Style(), fsUnderline);
  EXPECT_EQ(label->Cursor(), crHandPoint);
  label->MouseLeave(0);
  EXPECT_EQ(label->Font().Color(), color);
  EXPECT_EQ(label->Font().Style(), 0);
  EXPECT_EQ(label->Cursor(), crDefault);
  EXPECT_TRUE(label->ParentFont());
  // A disabled label does not track.
  label->SetEnabled(false);
  label->MouseEnter(0);
  EXPECT_EQ(label->Font().Color(), color);
  label->MouseLeave(0);
}

TEST_F(XPButtons, DisabledLabelGreysItsGlyphDarkerWhenSunken) {
  TFixedTheme theme(xtsClassic);
  TSeamScope<TThemeSeam> scope(theme);
  ShowForm();
  auto glyph = MakeGlyph({TColor(0x2040C0)}, 12);
  int levels[2] = {};
  for (bool sunken : {true, false}) {
    auto* label = new TXPLabel(Owner.get());
    label->SetParent(Host);
    label->SetBounds(10, 10, 80, 14);
    label->SetCaption(L"Glyph");
    label->SetGlyph(glyph.get());
    label->SetSunkenDisabled(sunken);
    label->SetEnabled(false);
    EXPECT_FALSE(label->CaptionFlags() & dcfSmoothText);
    auto image = harness::RenderControl(*Host);
    const TColor pixel = harness::PixelAt(*image, 10 + 5, 10 + 5);
    EXPECT_TRUE(IsGrey(pixel)) << "sunken " << sunken << std::hex << " " << pixel;
    levels[sunken ? 0 : 1] = pixel & 0xFF;
    TComponent::Free(label);
  }
  EXPECT_LT(levels[0], levels[1]) << "the light grey of a label without the sunken look";
}

TEST_F(XPButtons, SmoothDrawAppliesOnlyWhileEnabled) {
  auto* label = new TXPLabel(Owner.get());
  label->SetParent(Host);
  label->SetSmoothDraw(true);
  EXPECT_EQ(label->CaptionFlags() & (dcfSmoothText | dcfCustomUnderline),
            dcfSmoothText | dcfCustomUnderline);
  label->SetEnabled(false);
  EXPECT_EQ(label->CaptionFlags() & (dcfSmoothText | dcfCustomUnderline), 0);
  EXPECT_TRUE(label->CaptionFlags() & dcfSunkenDisabled);
}

// ===========================================================================
// Split button

class SplitButton : public XPButtons {
protected:
  void SetUp() override {
    XPButtons::SetUp();
    Button = Make<TXPSplitButton>(20, 20, 110, 24);
    Button->SetCaption(L"BSDL Information");
    Details = Make<TXPGroupBox>(200, 100, 60, 40);
    Details->SetCaption(L"General");
    Button->SetPopupControl(Details);
    Button->OnClick = [this](TControl*) { ++Clicks; };
    Button->OnAfterHidePopup = [this](TControl*) { ++Hidden; };
    Button->OnBeforeShowPopup = [this](TControl*) { ++Shown; };
    ShowForm();
    FormProc = GetWindowLongPtrW(Form->Handle(), GWLP_WNDPROC);
  }
  void PressArrow() {
    ClickAt(Button, {110 - 6, 12});
    harness::PumpMessages();
  }
  TXPSplitButton* Button = nullptr;
  TXPGroupBox* Details = nullptr;
  LONG_PTR FormProc = 0;
  int Clicks = 0;
  int Hidden = 0;
  int Shown = 0;
};

TEST_F(SplitButton, AMainPartClickClicksAndAnArrowClickOpensThePopup) {
  EXPECT_EQ(Details->Parent(), nullptr);
  EXPECT_FALSE(Details->Visible());
  ClickAt(Button, {10, 12});
  harness::PumpMessages();
  EXPECT_EQ(Clicks, 1);
  EXPECT_EQ(Button->PopupHolder(), nullptr);

  PressArrow();
  EXPECT_EQ(Clicks, 1) << "the arrow does not click";
  EXPECT_EQ(Shown, 1);
  TPopupContainer* holder = Button->PopupHolder();
  ASSERT_NE(holder, nullptr);
  EXPECT_TRUE(Button->ArrowButtonPressed());
  EXPECT_EQ(Details->Parent(), holder);
  EXPECT_TRUE(Details->Visible());
  EXPECT_EQ(holder->ClientWidth(), 91);
  EXPECT_EQ(holder->ClientHeight(), 73);
  const POINT corner = Button->ClientToScreen(POINT{1, 24 - 1});
  EXPECT_EQ(holder->Left(), corner.x);
  EXPECT_EQ(holder->Top(), corner.y);
  const LONG style = GetWindowLongW(holder->Handle(), GWL_STYLE);
  EXPECT_NE(style & WS_CAPTION, WS_CAPTION);
  EXPECT_TRUE(style & WS_BORDER);
  EXPECT_TRUE(GetWindowLongW(holder->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(GetWindow(holder->Handle(), GW_OWNER), Form->Handle());
  EXPECT_EQ(Button->MainFormHandle(), Form->Handle());
  EXPECT_NE(GetWindowLongPtrW(Form->Handle(), GWLP_WNDPROC), FormProc);
  // The replaced procedure keeps the form's caption active.
  EXPECT_EQ(SendMessageW(Form->Handle(), WM_NCACTIVATE, FALSE, 0), 1);

  TXPBitBtn* close = nullptr;
  for (int i = 0; i < holder->ControlCount(); ++i)
    if (auto* button = dynamic_cast<TXPBitBtn*>(holder->Controls(i)))
      close = button;
  ASSERT_NE(close, nullptr);
  EXPECT_EQ(close->Caption(), L"&Close");
  EXPECT_TRUE(close->Default());
  EXPECT_TRUE(close->Cancel());
  EXPECT_EQ(close->Left(), 8);
  EXPECT_EQ(close->Top(), 40);

  ClickAt(close);
  harness::PumpMessages();
  EXPECT_EQ(Button->PopupHolder(), nullptr);
  EXPECT_FALSE(Button->ArrowButtonPressed());
  EXPECT_EQ(Hidden, 1);
  EXPECT_EQ(Details->Parent(), nullptr);
  EXPECT_FALSE(Details->Visible());
  EXPECT_EQ(GetWindowLongPtrW(Form->Handle(), GWLP_WNDPROC), FormProc);
  EXPECT_EQ(Clicks, 1);
}

TEST_F(SplitButton, ActivatingAnotherWindowClosesThePopup) {
  PressArrow();
  ASSERT_NE(Button->PopupHolder(), nullptr);
  auto* another = new TForm(Owner.get());
  another->SetBounds(500, 400, 120, 80);
  another->Show();
  SetActiveWindow(another->Handle());
  harness::PumpMessages();
  EXPECT_EQ(Button->PopupHolder(), nullptr);
  EXPECT_FALSE(Button->ArrowButtonPressed());
  EXPECT_EQ(Hidden, 1);
  EXPECT_EQ(GetWindowLongPtrW(Form->Handle(), GWLP_WNDPROC), FormProc);
}

TEST_F(SplitButton, AnArrowClickOnAnOpenPopupClosesItOnce) {
  PressArrow();
  ASSERT_NE(Button->PopupHolder(), nullptr);
  PressArrow();
  harness::PumpMessages();
  EXPECT_EQ(Button->PopupHolder(), nullptr);
  EXPECT_FALSE(Button->ArrowButtonPressed());
  EXPECT_EQ(Hidden, 1);
}

TEST_F(SplitButton, APopupNearTheRightEdgeStaysOnTheMonitor) {
  MONITORINFO monitor{};
  GetMonitorInfoFromPoint(POINT{0, 0}, monitor);
  ASSERT_NE(monitor.cbSize, 0u);
  Form->SetBounds(monitor.rcMonitor.right - 150, 60, 140, 100);
  harness::PumpMessages();
  Details->SetWidth(200);
  PressArrow();
  TPopupContainer* holder = Button->PopupHolder();
  ASSERT_NE(holder, nullptr);
  EXPECT_EQ(holder->Left() + holder->Width(), monitor.rcMonitor.right);
}

TEST_F(SplitButton, FreeingTheButtonWithItsPopupOpenGivesTheFormItsProcedureBack) {
  PressArrow();
  ASSERT_NE(Button->PopupHolder(), nullptr);
  const TControl* gone = Button;
  TComponent::Free(Button);
  EXPECT_NE(Form->ActiveControl(), gone) << "the form holds on to a freed control";
  EXPECT_EQ(GetWindowLongPtrW(Form->Handle(), GWLP_WNDPROC), FormProc);
  EXPECT_EQ(Details->Parent(), nullptr);
  harness::PumpMessages();
}

class TRecordingPopup : public TPopupMenuSeam {
public:
  std::function<void(POINT)> OnTrack;
  UINT Track(HMENU, UINT, int AX, int AY, HWND) override {
    OnTrack(POINT{AX, AY});
    return 0;
  }
};

TEST_F(SplitButton, WithOnlyAMenuItOpensAtTheBottomLeftCorner) {
  Button->SetPopupControl(nullptr);
  auto* menu = new TPopupMenu(Owner.get());
  auto* item = new TMenuItem(menu);
  item->SetCaption(L"Item");
  menu->Items()->Add(item);
  Button->SetDropDownMenu(menu);
  TRecordingPopup popup;
  std::vector<POINT> at;
  bool pressedWhileShown = false;
  popup.OnTrack = [&](POINT APoint) {
    at.push_back(APoint);
    pressedWhileShown = Button->ArrowButtonPressed();
  };
  TSeamScope<TPopupMenuSeam> scope(popup);
  PressArrow();
  harness::PumpMessages();
  ASSERT_EQ(at.size(), 1u);
  const POINT corner = Button->ClientToScreen(POINT{1, 24 - 1});
  EXPECT_EQ(at[0].x, corner.x - 1);
  EXPECT_EQ(at[0].y, corner.y);
  EXPECT_TRUE(pressedWhileShown);
  EXPECT_FALSE(Button->ArrowButtonPressed());
  EXPECT_EQ(Hidden, 1);
  EXPECT_EQ(Clicks, 0);
  // A menu that goes is forgotten.
  TComponent::Free(menu);
  EXPECT_EQ(Button->DropDownMenu(), nullptr);
}

TEST_F(SplitButton, ArrowPartAndSeparatorInEveryThemeState) {
  for (int state : {0, 1, 2}) {
    TFixedTheme theme(state);
    TSeamScope<TThemeSeam> scope(theme);
    auto image = harness::RenderControl(*Button);
    harness::SaveScreenshot(L"xp-split-button-" + std::to_wstring(state), *image);
    const int L = 110 - kSplitArrowWidth, y = 24 / 2;
    for (int x = L + 3; x <= L + 7; ++x)
      EXPECT_EQ(harness::PixelAt(*image, x, y - 2), clBlack) << "state " << state;
    for (int x = L + 4; x <= L + 6; ++x)
      EXPECT_EQ(harness::PixelAt(*image, x, y - 1), clBlack) << "state " << state;
    EXPECT_EQ(harness::PixelAt(*image, L + 5, y), clBlack) << "state " << state;
    EXPECT_NE(harness::PixelAt(*image, L + 2, y), clBlack) << "state " << state;
    EXPECT_EQ(harness::PixelAt(*image, L, 12), ColorToRGB(clBtnShadow)) << "state " << state;
    EXPECT_EQ(harness::PixelAt(*image, L + 1, 12), ColorToRGB(clBtnHighlight)) << "state " << state;
  }
  // Pressing the arrow presses only the arrow's face.
  TFixedTheme theme(xtsClassic);
  TSeamScope<TThemeSeam> scope(theme);
  auto before = harness::RenderControl(*Button);
  Button->SetPopupControl(nullptr);
  Down(Button, {110 - 6, 12});
  harness::PumpMessages();
  EXPECT_TRUE(Button->ArrowButtonPressed()) << "no popup shown, the arrow stays down";
  auto after = harness::RenderControl(*Button);
  EXPECT_TRUE(harness::PixelAt(*before, 10, 2) == harness::PixelAt(*after, 10, 2));
  EXPECT_NE(harness::PixelAt(*before, 110 - 2, 22), harness::PixelAt(*after, 110 - 2, 22));
  Up(Button, {110 - 6, 12});
}

} // namespace
