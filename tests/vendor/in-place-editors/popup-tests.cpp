#include "gx-popup.h"

#include "text-editors-fixture.h"

namespace text_editors {
namespace {

// A control that works as a popup, as the drop-down kinds make theirs.
class TTestPopup : public TgxInplacePopupControl {
public:
  explicit TTestPopup(TComponent* AOwner) : TgxInplacePopupControl(AOwner) {
    FIsPopupControl = true;
    SetColor(clWhite);
  }
};

class Popup : public TextEditors {
protected:
  TTestPopup* NewPopup(TgxPopupBorder ABorder, bool AShadow) {
    Editor = NewEditor<TgxInplaceTextEdit>();
    auto* popup = new TTestPopup(Owner.get());
    popup->OwnerControl = Editor;
    popup->SetPopupBorderStyle(ABorder);
    popup->SetShadow(AShadow);
    popup->SetBounds(120, 160, kWidth, kHeight);
    popup->ShowPopup();
    harness::PumpMessages();
    return popup;
  }
  static bool Notified(HWND AWindow) {
    MSG message;
    return PeekMessageW(&message, AWindow, WM_GX_POPUPCLOSED, WM_GX_POPUPCLOSED, PM_REMOVE) != 0;
  }
  static constexpr int kWidth = 80;
  static constexpr int kHeight = 60;
  TgxInplaceTextEdit* Editor = nullptr;
};

TEST_F(Popup, APopupIsAnOwnedTopLevelWindowShownWithoutTakingTheActivation) {
  TTestPopup* popup = NewPopup(pbSingle, false);
  HWND window = popup->Handle();
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_TRUE(GetWindowLongPtrW(window, GWL_STYLE) & WS_POPUP);
  EXPECT_EQ(GetWindow(window, GW_OWNER), Form->Handle());
  EXPECT_TRUE(Editor->Focused()) << "the editor keeps the focus";
  EXPECT_EQ(SendMessageW(window, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(Form->Handle()),
                         MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)),
            MA_NOACTIVATE);
  HWND active = GetActiveWindow();
  harness::ClickAtScreen(150, 190);
  Settle();
  EXPECT_EQ(GetActiveWindow(), active) << "a click inside does not activate the popup";
}

struct TFrameRow {
  const char* Name;
  TgxPopupBorder Border;
  int Size;
};

class PopupFrames : public Popup, public ::testing::WithParamInterface<TFrameRow> {};

TEST_P(PopupFrames, TheFrameTakesItsWidthFromTheClientAreaAndTheShadowItsSize) {
  const TFrameRow& row = GetParam();
  TTestPopup* popup = NewPopup(row.Border, true);
  RECT client;
  GetClientRect(popup->Handle(), &client);
  EXPECT_EQ(client.right, kWidth - 2 * row.Size - 2);
  EXPECT_EQ(client.bottom, kHeight - 2 * row.Size - 2);

  auto picture = harness::RenderControl(*popup);
  const TColor shadow = ColorToRGB(clBtnShadow);
  // The shadow runs down the right and along the bottom, 2 pixels wide,
  // starting 2 pixels in from the corners.
  for (POINT p : {POINT{kWidth - 1, kHeight / 2}, POINT{kWidth - 2, kHeight / 2},
                  POINT{kWidth / 2, kHeight - 1}, POINT{kWidth / 2, kHeight - 2}})
    EXPECT_EQ(harness::PixelAt(*picture, p.x, p.y), shadow) << p.x << "," << p.y;
  // Inside the frame the client's white shows.
  const POINT inside{row.Size + 3, kHeight / 2};
  EXPECT_EQ(harness::PixelAt(*picture, inside.x, inside.y), TColor(clWhite) & 0xFFFFFF);
  if (row.Size > 0) {
    EXPECT_NE(harness::PixelAt(*picture, 0, kHeight / 2), TColor(0xFFFFFF)) << "frame drawn";
  }

  // The window has no area in the shadow's outer corners.
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(popup->Handle(), region), ERROR);
  EXPECT_FALSE(PtInRegion(region, kWidth - 1, 0));
  EXPECT_FALSE(PtInRegion(region, 0, kHeight - 1));
  EXPECT_TRUE(PtInRegion(region, kWidth - 1, kHeight / 2));
  EXPECT_TRUE(PtInRegion(region, 0, 0));
  DeleteObject(region);
}

INSTANTIATE_TEST_SUITE_P(
    Borders, PopupFrames,
    ::testing::Values(TFrameRow{"Default", pbDefault, 0}, TFrameRow{"Single", pbSingle, 1},
                      TFrameRow{"Frame3D", pbFrame3D, 4}, TFrameRow{"Flat", pbFlat, 2}),
    [](const ::testing::TestParamInfo<TFrameRow>& AInfo) { return AInfo.param.Name; });

TEST_F(Popup, AShadowSizeBelowOneIsOne) {
  TTestPopup* popup = NewPopup(pbSingle, true);
  for (int size : {0, -4}) {
    popup->SetShadowSize(5);
    popup->SetShadowSize(size);
    EXPECT_EQ(popup->ShadowSize(), 1) << size;
  }
}

TEST_F(Popup, LosingTheFocusHidesThePopupAndHidingAlwaysTellsTheEditor) {
  TTestPopup* popup = NewPopup(pbFlat, false);
  while (Notified(Editor->Handle())) {
  }
  SendMessageW(popup->Handle(), WM_KILLFOCUS, reinterpret_cast<WPARAM>(Container->Handle()), 0);
  EXPECT_FALSE(IsWindowVisible(popup->Handle()));
  EXPECT_TRUE(Notified(Editor->Handle()));

  // Already hidden, the notice still goes.
  popup->HidePopup(false);
  EXPECT_TRUE(Notified(Editor->Handle()));
}

TEST_F(Popup, AControlWithoutThePopupFlagIsAnOrdinaryChild) {
  auto* control = new TgxInplacePopupControl(Owner.get());
  control->SetBounds(5, 5, 40, 30);
  control->SetPopupBorderStyle(pbFrame3D);
  control->SetShadow(true);
  control->SetParent(Form);
  Form->Show();
  harness::PumpMessages();
  EXPECT_TRUE(GetWindowLongPtrW(control->Handle(), GWL_STYLE) & WS_CHILD);
  RECT client;
  GetClientRect(control->Handle(), &client);
  EXPECT_EQ(client.right, 40) << "no frame outside the popup mode";
  EXPECT_EQ(control->PopupBorderStyle(), pbFrame3D);
}

} // namespace
} // namespace text_editors
