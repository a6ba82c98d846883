#include "gx-button-edit.h"
#include "gx-drop-down.h"
#include "gx-image-edit.h"
#include "gx-memo-edit.h"
#include "gx-pick-edit.h"
#include "text-editors-fixture.h"

#include "image-lists.h"

#include <windowsx.h>

#include <memory>
#include <string>
#include <vector>

namespace text_editors {
namespace {

// The drop-down editors on a cell of the least container: popups opened
// and closed by keys and by the mouse, buttons, images, completion and the
// most-recently-used list.
class DropDownEditors : public TextEditors {
protected:
  void SetUp() override {
    TextEditors::SetUp();
    Images = new TImageList(Owner.get(), 16, 16);
    for (TColor color : kImageColors) {
      TBitmap picture(16, 16);
      picture.Canvas().Brush().SetColor(color);
      RECT all{0, 0, 16, 16};
      picture.Canvas().FillRect(all);
      Images->Add(picture, nullptr);
    }
  }

  // An image editor with the pin-state values.
  TgxInplaceImageEdit* NewImageEditor(const RECT& ACell = kCell) {
    return NewEditor<TgxInplaceImageEdit>(
        [this](TgxInplaceImageEdit& AEdit) {
          AEdit.SetValues(Lines({L"0", L"1", L"2"}));
          AEdit.SetDescriptions(Lines({L"Low", L"High", L"Toggling"}));
          AEdit.SetImages(Images);
          AEdit.SetEditValue(std::wstring(L"0"));
        },
        ACell);
  }

  static TStringList& Lines(std::initializer_list<const wchar_t*> ATexts) {
    static TStringList list;
    list.Clear();
    for (const wchar_t* text : ATexts)
      list.Add(text);
    return list;
  }

  static RECT ScreenRect(HWND AWindow) {
    RECT r;
    GetWindowRect(AWindow, &r);
    return r;
  }
  static bool Shows(TWinControl* AControl) {
    return AControl && AControl->HandleAllocated() && IsWindowVisible(AControl->Handle());
  }
  // The screen centre of button AIndex of the editor.
  static POINT ButtonCentre(TgxInplaceDropDownEdit& AEdit, int AIndex) {
    std::unique_ptr<TgxEditViewData> data(AEdit.CreateViewData(false));
    auto& drop = dynamic_cast<TgxDropDownEditViewData&>(*data);
    TgxEditViewInfo info;
    AEdit.EditClass().CalcViewInfo(*data, false, info);
    std::array<RECT, kgxMaxEditButtons> rects{};
    TgxDropDownEditClass::CalcButtonRects(info, drop, rects);
    const RECT window = ScreenRect(AEdit.Handle());
    const RECT& r = rects[size_t(AIndex)];
    return {window.left + (r.left + r.right) / 2, window.top + (r.top + r.bottom) / 2};
  }
  static void ClickButton(TgxInplaceDropDownEdit& AEdit, int AIndex) {
    const POINT at = ButtonCentre(AEdit, AIndex);
    harness::ClickAtScreen(at.x, at.y);
    Settle();
  }
  static void CtrlKey(WORD AKey) {
    std::vector<INPUT> inputs(4);
    for (INPUT& input : inputs)
      input.type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = VK_CONTROL;
    inputs[1].ki.wVk = AKey;
    inputs[2].ki.wVk = AKey;
    inputs[2].ki.dwFlags = KEYEVENTF_KEYUP;
    inputs[3].ki.wVk = VK_CONTROL;
    inputs[3].ki.dwFlags = KEYEVENTF_KEYUP;
    ASSERT_EQ(SendInput(4, inputs.data(), sizeof(INPUT)), 4u);
  }
  static void Wheel(TgxInplaceEdit& AEdit, int ADelta) {
    SendMessageW(AEdit.Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, ADelta), 0);
  }

  static constexpr TColor kImageColors[] = {TColor(RGB(255, 0, 0)), TColor(RGB(0, 160, 0)),
                                            TColor(RGB(0, 0, 255))};
  TImageList* Images = nullptr;
};

// --- the popup: keys, placement, accept and cancel ----------------------------------------

TEST_F(DropDownEditors, F4OpensThePopupBelowTheEditorAndEnterAcceptsTheChosenValue) {
  auto* editor = NewImageEditor();
  TgxPopupImageListBox& list = editor->PopupListBox();
  Keys({VK_F4});
  ASSERT_TRUE(Pump([&] { return Shows(&list); }));
  EXPECT_TRUE(editor->DroppedDown());
  EXPECT_EQ(GetFocus(), editor->Handle()) << "the popup never takes the focus";
  const RECT edit = ScreenRect(editor->Handle());
  const RECT popup = ScreenRect(list.Handle());
  EXPECT_EQ(popup.top, edit.bottom) << "just below the editor";
  EXPECT_GE(popup.right - popup.left, edit.right - edit.left - 2) << "at least the editor's width";
  EXPECT_EQ(list.ItemIndex(), 0) << "the current value is selected";
  EXPECT_EQ(GetWindowLongPtrW(list.Handle(), GWL_EXSTYLE) & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW),
            WS_EX_TOPMOST | WS_EX_TOOLWINDOW);

  Keys({VK_DOWN, VK_DOWN});
  ASSERT_TRUE(Pump([&] { return list.ItemIndex() == 2; })) << "the keys go to the list";
  EXPECT_EQ(editor->Text(), L"0") << "moving in the list is no choice yet";
  Keys({VK_RETURN});
  ASSERT_TRUE(Pump([&] { return !Shows(&list); }));
  EXPECT_EQ(editor->Text(), L"2");
  EXPECT_TRUE(editor->Modified());
  EXPECT_TRUE(Container->KeysDown.empty()) << "Enter that closes the popup stays with it";
}

TEST_F(DropDownEditors, EscapeAndAltF4CancelOrPassButAltDownTogglesThePopup) {
  std::vector<std::wstring> closes;
  auto* editor = NewImageEditor();
  editor->OnCloseUp = [&](TControl*, std::wstring& AValue, bool& AAccept) {
    closes.push_back(AValue + (AAccept ? L"+" : L"-"));
  };
  TgxPopupImageListBox& list = editor->PopupListBox();
  std::vector<INPUT> altDown(4);
  for (INPUT& input : altDown)
    input.type = INPUT_KEYBOARD;
  altDown[0].ki.wVk = VK_MENU;
  altDown[1].ki.wVk = VK_DOWN;
  altDown[2].ki.wVk = VK_DOWN;
  altDown[2].ki.dwFlags = KEYEVENTF_KEYUP;
  altDown[3].ki.wVk = VK_MENU;
  altDown[3].ki.dwFlags = KEYEVENTF_KEYUP;
  ASSERT_EQ(SendInput(4, altDown.data(), sizeof(INPUT)), 4u);
  ASSERT_TRUE(Pump([&] { return Shows(&list); }));
  Keys({VK_DOWN});
  ASSERT_TRUE(Pump([&] { return list.ItemIndex() == 1; }));
  Keys({VK_ESCAPE});
  ASSERT_TRUE(Pump([&] { return !Shows(&list); }));
  EXPECT_EQ(editor->Text(), L"0") << "Escape cancels";
  ASSERT_EQ(closes.size(), 1u);
  EXPECT_EQ(closes[0], L"1-");

  // The popup's keys are F4 alone and Alt with an arrow: Alt+F4 is none.
  WORD key = VK_F4;
  editor->HandleDropDownKey(key, ssAlt);
  EXPECT_EQ(key, VK_F4);
  EXPECT_FALSE(Shows(&list));
}

TEST_F(DropDownEditors, APopupThatFindsNoRoomBelowOpensAboveTheEditor) {
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  Form->SetBounds(80, work.bottom - 90, 360, 80);
  auto* editor = NewImageEditor(RECT{20, 20, 200, 44});
  TgxPopupImageListBox& list = editor->PopupListBox();
  editor->SetDroppedDown(true);
  EXPECT_FALSE(editor->DroppedDown()) << "the popup opens after the current message";
  ASSERT_TRUE(Pump([&] { return Shows(&list); }));
  const RECT edit = ScreenRect(editor->Handle());
  const RECT popup = ScreenRect(list.Handle());
  EXPECT_LE(popup.bottom, edit.top + 1);
  EXPECT_LE(popup.bottom, work.bottom);
  editor->SetDroppedDown(false);
  EXPECT_FALSE(Shows(&list));
}

TEST_F(DropDownEditors, TheButtonOpensThePopupAClickInTheListChoosesAndASecondPressCloses) {
  auto* editor = NewImageEditor();
  TgxPopupImageListBox& list = editor->PopupListBox();
  ClickButton(*editor, 0);
  ASSERT_TRUE(Pump([&] { return Shows(&list); }));

  // A click on the last item chooses it.
  const RECT item = list.ItemRect(2);
  const RECT popup = ScreenRect(list.Handle());
  POINT client{0, 0};
  ClientToScreen(list.Handle(), &client);
  harness::ClickAtScreen(client.x + (item.left + item.right) / 2,
                         client.y + (item.top + item.bottom) / 2);
  ASSERT_TRUE(Pump([&] { return !Shows(&list); })) << popup.left << "," << popup.top;
  EXPECT_EQ(editor->Text(), L"2");
  EXPECT_EQ(GetFocus(), editor->Handle());

  // Open again, then the button once more: closed, nothing chosen.
  ClickButton(*editor, 0);
  ASSERT_TRUE(Pump([&] { return Shows(&list); }));
  Keys({VK_UP});
  ASSERT_TRUE(Pump([&] { return list.ItemIndex() == 1; }));
  ClickButton(*editor, 0);
  ASSERT_TRUE(Pump([&] { return !Shows(&list); }));
  EXPECT_EQ(editor->Text(), L"2");
  EXPECT_EQ(editor->PressedButton(), -1);
  EXPECT_NE(GetCapture(), editor->Handle());
}

TEST_F(DropDownEditors, EachWheelMessageStepsOneValueAndStopsAtTheEnds) {
  auto* editor = NewImageEditor();
  Wheel(*editor, -360);
  EXPECT_EQ(editor->Text(), L"1") << "one step whatever the delta, toward the next value";
  Wheel(*editor, -120);
  Wheel(*editor, -120);
  EXPECT_EQ(editor->Text(), L"2") << "no wrap at the last value";
  Wheel(*editor, 120);
  EXPECT_EQ(editor->Text(), L"1");

  editor->SetPassMouseWheelToGrid(true);
  Wheel(*editor, -120);
  EXPECT_EQ(editor->Text(), L"1") << "the grid takes the wheel";
}

TEST_F(DropDownEditors, LosingTheFocusOrHidingTheEditorClosesThePopupWithoutAChoice) {
  auto* editor = NewImageEditor();
  TgxPopupImageListBox& list = editor->PopupListBox();
  Keys({VK_F4, VK_DOWN});
  ASSERT_TRUE(Pump([&] { return Shows(&list) && list.ItemIndex() == 1; }));
  Container->SetFocus();
  ASSERT_TRUE(Pump([&] { return !Shows(&list); }));
  EXPECT_EQ(editor->Text(), L"0");

  editor->SetFocus();
  Keys({VK_F4});
  ASSERT_TRUE(Pump([&] { return Shows(&list); }));
  editor->Hide();
  EXPECT_FALSE(Shows(&list));
  EXPECT_FALSE(editor->ListVisible());
  EXPECT_EQ(editor->Text(), L"0");
}

TEST_F(DropDownEditors, TheDownButtonIsPaintedBesideTheTextWithItsArrow) {
  auto* editor = NewImageEditor();
  auto picture = harness::RenderControl(*editor);
  std::unique_ptr<TgxEditViewData> data(editor->CreateViewData(false));
  TgxEditViewInfo info;
  editor->EditClass().CalcViewInfo(*data, false, info);
  std::array<RECT, kgxMaxEditButtons> rects{};
  TgxDropDownEditClass::CalcButtonRects(info, dynamic_cast<TgxDropDownEditViewData&>(*data), rects);
  const RECT& button = rects[0];
  EXPECT_EQ(button.right, info.ClientBounds.right + (button.right - button.left));
  const TColor arrow = TColor(GetSysColor(COLOR_BTNTEXT));
  const TColor face = TColor(GetSysColor(COLOR_BTNFACE));
  int arrowPixels = 0, facePixels = 0;
  for (int y = button.top; y < button.bottom; ++y)
    for (int x = button.left; x < button.right; ++x) {
      const TColor pixel = harness::PixelAt(*picture, x, y);
      arrowPixels += pixel == arrow;
      facePixels += pixel == face;
    }
  EXPECT_GE(arrowPixels, 9) << "a filled triangle";
  EXPECT_GT(facePixels, arrowPixels) << "on the button's face";
}

// --- the image editor ----------------------------------------------------------------------

struct TImageCellRow {
  const char* Name;
  const wchar_t* Value;
  bool ShowDescription;
  bool DefaultImages;
  int Image; // -1: none
  const wchar_t* Shown;
};

class ImageCells : public DropDownEditors, public ::testing::WithParamInterface<TImageCellRow> {};

TEST_P(ImageCells, ACellShowsTheValuesImageAndDescription) {
  const TImageCellRow& row = GetParam();
  TStringList values, descriptions, indexes;
  for (const wchar_t* v : {L"0", L"1", L"2"})
    values.Add(v);
  for (const wchar_t* d : {L"0", L"1", L"Toggling"})
    descriptions.Add(d);
  indexes.Add(L"2");
  indexes.Add(L"x");
  int description = -1, image = -1;
  TgxImageEditClass::CalcViewIndexes(row.Value, &indexes, description, image, row.DefaultImages,
                                     &values, &descriptions);
  EXPECT_EQ(image, row.Image);

  TgxImageEditViewData data;
  data.Data = std::wstring(row.Value);
  data.Values = &values;
  data.Descriptions = &descriptions;
  data.ImageIndexes = &indexes;
  data.DefaultImages = row.DefaultImages;
  data.ShowDescription = row.ShowDescription;
  data.Images = Images;
  data.Brush = GetSysColorBrush(COLOR_WINDOW);
  data.BkColor = GetSysColor(COLOR_WINDOW);
  data.Font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  TBitmap cell(80, 20);
  RECT r{0, 0, 80, 20};
  FillRect(cell.Canvas().Handle(), &r, GetSysColorBrush(COLOR_WINDOW));
  TgxImageEditClass::Instance().DrawClientArea(cell.Canvas().Handle(), r, data, false);
  const int imageX = row.ShowDescription ? 8 : 40;
  const TColor pixel = harness::PixelAt(cell, imageX, 10);
  if (row.Image >= 0)
    EXPECT_EQ(pixel, kImageColors[row.Image]);
  else
    EXPECT_EQ(pixel, TColor(GetSysColor(COLOR_WINDOW)));
  EXPECT_EQ(VarToText(data.Data), row.Shown);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ImageCells,
    ::testing::Values(TImageCellRow{"One", L"1", true, true, 1, L"1"},
                      TImageCellRow{"Toggling", L"2", true, true, 2, L"Toggling"},
                      TImageCellRow{"Unknown", L"7", true, true, -1, L"7"},
                      TImageCellRow{"ImageOnly", L"1", false, true, 1, L""},
                      TImageCellRow{"IndexFromList", L"0", true, false, 2, L"0"},
                      TImageCellRow{"IndexNotANumber", L"1", true, false, -1, L"1"},
                      TImageCellRow{"IndexPastTheList", L"2", true, false, 2, L"Toggling"}),
    [](const ::testing::TestParamInfo<TImageCellRow>& AInfo) { return AInfo.param.Name; });

TEST_F(DropDownEditors, TheImagePopupIsAsHighAsItsValuesAndDrawsTheirImages) {
  auto* editor = NewImageEditor();
  TgxPopupImageListBox& list = editor->PopupListBox();
  editor->SetEditValue(std::wstring(L"1"));
  Keys({VK_F4});
  ASSERT_TRUE(Pump([&] { return Shows(&list); }));
  RECT client;
  GetClientRect(list.Handle(), &client);
  EXPECT_EQ(client.bottom, 3 * list.RealItemHeight()) << "3 values, 7 rows";
  EXPECT_GE(list.RealItemHeight(), 18) << "an image with a pixel above and below";
  auto picture = harness::PrintWindow(list.Handle());
  for (int i = 0; i < 3; ++i) {
    const RECT item = list.ItemRect(i);
    EXPECT_EQ(harness::PixelAt(*picture, item.left + 8, (item.top + item.bottom) / 2),
              kImageColors[i])
        << "item " << i;
  }
  Keys({VK_ESCAPE});
  ASSERT_TRUE(Pump([&] { return !Shows(&list); }));
}

TEST_F(DropDownEditors, TypedInitialsChooseTheNextDescriptionAndIncrementalKeysStep) {
  auto* editor = NewImageEditor();
  editor->SetDescriptions(Lines({L"Tick", L"High", L"Toggling"}));
  Type(L"t");
  ASSERT_TRUE(Pump([&] { return editor->Text() == L"2"; })) << "the next T after the current";
  Type(L"t");
  ASSERT_TRUE(Pump([&] { return editor->Text() == L"0"; })) << "wrapping to the start";
  Type(L"q");
  Settle();
  EXPECT_EQ(editor->Text(), L"0");

  // In place the arrows leave the cell; incremental, they step.
  editor->SetIncremental(true);
  editor->SetDropDownRows(3);
  Keys({VK_NEXT});
  ASSERT_TRUE(Pump([&] { return editor->Text() == L"2"; })) << "rows - 1 values on";
  Keys({VK_DOWN, VK_HOME});
  ASSERT_TRUE(Pump([&] { return editor->Text() == L"0"; }));
  Keys({VK_END});
  ASSERT_TRUE(Pump([&] { return editor->Text() == L"2"; }));
  EXPECT_TRUE(Container->KeysDown.empty());
}

// --- edit buttons and the button editor ------------------------------------------------------

TEST_F(DropDownEditors, TheButtonCollectionKeepsOneDefaultCountsVisibleButtonsAndHoldsEight) {
  TgxEditButtons buttons(Container);
  TgxEditButton* first = buttons.Add();
  EXPECT_TRUE(first->Default()) << "a lone button is the default";
  TgxEditButton* second = buttons.Add();
  TgxEditButton* third = buttons.Add();
  EXPECT_TRUE(first->Default());
  EXPECT_FALSE(second->Default());
  third->SetDefault(true);
  EXPECT_FALSE(first->Default()) << "one default button";
  second->SetVisible(false);
  EXPECT_EQ(buttons.VisibleCount(), 2);
  EXPECT_EQ(buttons.GetVisibleIndex(1), -1);
  EXPECT_EQ(buttons.GetVisibleIndex(2), 1);
  EXPECT_EQ(buttons.GetVisibleIndex(5), -1);
  EXPECT_EQ(buttons.GetAbsoluteIndex(1), 2);
  EXPECT_EQ(buttons.GetAbsoluteIndex(2), -1);

  // A copy keeps every button's settings.
  third->SetKind(bkGlyph);
  third->Glyph().SetSize(5, 4);
  third->SetWidth(30);
  TgxEditButtons copy(Container);
  copy.Assign(&buttons);
  ASSERT_EQ(copy.Count(), 3);
  EXPECT_FALSE(copy.Items(1)->Visible());
  EXPECT_TRUE(copy.Items(2)->Default());
  EXPECT_EQ(copy.Items(2)->Kind(), bkGlyph);
  EXPECT_EQ(copy.Items(2)->Width(), 30);
  EXPECT_EQ(copy.Items(2)->Glyph().Width(), 5);
  EXPECT_FALSE(copy.Items(0)->Default());

  while (buttons.Count() < 8)
    buttons.Add();
  try {
    buttons.Add();
    ADD_FAILURE() << "a ninth button";
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), L"Too many buttons ( >= 8)");
  }
  EXPECT_EQ(buttons.Count(), 8);
}

TEST_F(DropDownEditors, AClickedButtonReportsItsCollectionIndexAndCtrlEnterClicksTheDefault) {
  std::vector<int> clicks;
  int editButtonClicks = 0;
  auto* editor = NewEditor<TgxInplaceButtonEdit>([&](TgxInplaceButtonEdit& AEdit) {
    AEdit.Buttons().Add()->SetVisible(false);
    TgxEditButton* last = AEdit.Buttons().Add();
    last->SetKind(bkDown);
    last->SetDefault(true);
    AEdit.OnButtonClick = [&](TControl*, int AIndex) { clicks.push_back(AIndex); };
    AEdit.OnEditButtonClick = [&](TControl*) { ++editButtonClicks; };
    AEdit.SetEditValue(std::wstring(L"text"));
  });
  // Right-aligned buttons are cut from the last to the first: the last
  // stands outermost.
  const POINT inner = ButtonCentre(*editor, 0);
  const POINT outer = ButtonCentre(*editor, 1);
  EXPECT_GT(outer.x, inner.x);

  ClickButton(*editor, 1);
  ASSERT_TRUE(Pump([&] { return clicks.size() == 1; }));
  EXPECT_EQ(clicks[0], 2) << "the visible index mapped back to the collection";
  EXPECT_EQ(editButtonClicks, 1);

  editor->SelectAll();
  CtrlKey(VK_RETURN);
  ASSERT_TRUE(Pump([&] { return clicks.size() == 2; }));
  EXPECT_EQ(clicks[1], 2) << "the default button";
  Settle();
  EXPECT_EQ(editor->Text(), L"text") << "the shortcut types nothing";
  EXPECT_TRUE(Container->KeysDown.empty());

  // A press that leaves the button before its release clicks nothing.
  const POINT at = ButtonCentre(*editor, 0);
  SetCursorPos(at.x, at.y);
  INPUT press[1] = {};
  press[0].type = INPUT_MOUSE;
  press[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  SendInput(1, press, sizeof(INPUT));
  Settle();
  EXPECT_EQ(editor->PressedButton(), 0);
  SetCursorPos(at.x - 100, at.y + 100);
  INPUT move[1] = {};
  move[0].type = INPUT_MOUSE;
  move[0].mi.dwFlags = MOUSEEVENTF_MOVE;
  SendInput(1, move, sizeof(INPUT));
  Settle();
  press[0].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(1, press, sizeof(INPUT));
  Settle();
  EXPECT_EQ(clicks.size(), 2u);
  EXPECT_EQ(editor->PressedButton(), -1);
}

TEST_F(DropDownEditors, AButtonOnlyEditorsLoneButtonFillsTheWholeEditor) {
  auto* editor = NewEditor<TgxInplaceButtonEdit>(
      [](TgxInplaceButtonEdit& AEdit) { AEdit.SetViewStyle(vsButtonOnly); });
  std::unique_ptr<TgxEditViewData> data(editor->CreateViewData(false));
  TgxEditViewInfo info;
  editor->EditClass().CalcViewInfo(*data, false, info);
  auto& buttons = dynamic_cast<TgxButtonEditViewData&>(*data);
  TgxEditViewInfo bounds;
  editor->EditClass().CalcBoundsInfo(*data, bounds);
  ASSERT_EQ(buttons.ButtonCount, 1);
  EXPECT_EQ(buttons.Buttons[0].Width, bounds.ClientBounds.right - bounds.ClientBounds.left);
  EXPECT_EQ(info.ClientBounds.right, info.ClientBounds.left);
  EXPECT_FALSE(editor->IsEditClass());
}

TEST_F(DropDownEditors, AGlyphButtonIsTheGlyphsWidthPlusItsStylesFrame) {
  TgxDropDownEditViewData data;
  TBitmap glyph(9, 9);
  struct TRow {
    TgxEditButtonViewStyle Style;
    int Width;
  };
  for (const TRow& row : {TRow{btsDefault, 11}, TRow{bts3D, 13}, TRow{btsFlat, 12},
                          TRow{btsSimple, 12}, TRow{btsHotFlat, 11}}) {
    data.ButtonStyle = row.Style;
    data.ButtonGlyph = &glyph;
    TgxDropDownEditClass::Instance().CalcButtonsInfo(data);
    EXPECT_EQ(data.Buttons[0].Kind, bkGlyph);
    EXPECT_EQ(data.Buttons[0].Width, row.Width) << int(row.Style);
  }
  data.ButtonGlyph = nullptr;
  data.ButtonStyle = btsFlat;
  TgxDropDownEditClass::Instance().CalcButtonsInfo(data);
  EXPECT_EQ(data.Buttons[0].Kind, bkDown);
  EXPECT_EQ(data.Buttons[0].Width, GetSystemMetrics(SM_CXVSCROLL) - 1);
  data.HideButtons = true;
  TgxDropDownEditClass::Instance().CalcButtonsInfo(data);
  EXPECT_EQ(data.ButtonCount, 0);
}

// --- the pick editor -----------------------------------------------------------------------

TEST_F(DropDownEditors, TypingCompletesFromTheItemsAndBackspaceSearchesAgain) {
  auto* editor = NewEditor<TgxInplacePickEdit>([this](TgxInplacePickEdit& AEdit) {
    AEdit.SetItems(Lines({L"Apple", L"Apricot", L"Banana"}));
  });
  Type(L"a");
  ASSERT_TRUE(Pump([&] { return editor->Text() == L"Apple"; })) << Narrow(editor->Text());
  EXPECT_EQ(editor->SelText(), L"pple");
  EXPECT_TRUE(Shows(&editor->PickList())) << "typing drops the list down";
  EXPECT_EQ(editor->PickList().ItemIndex(), 0);
  Type(L"pr");
  ASSERT_TRUE(Pump([&] { return editor->Text() == L"Apricot"; })) << Narrow(editor->Text());
  EXPECT_EQ(editor->SelText(), L"icot");
  EXPECT_EQ(editor->PickList().ItemIndex(), 1);
  Keys({VK_BACK});
  ASSERT_TRUE(Pump([&] { return editor->Text() == L"Apple"; })) << Narrow(editor->Text());
  EXPECT_EQ(editor->SelText(), L"ple");
  Keys({VK_RETURN});
  ASSERT_TRUE(Pump([&] { return !Shows(&editor->PickList()); }));
  EXPECT_EQ(editor->Text(), L"Apple");
}

TEST_F(DropDownEditors, AListOnlyPickEditorTakesNoFreeTextAndDeletesOnlyWhenAllowed) {
  auto* editor = NewEditor<TgxInplacePickEdit>([this](TgxInplacePickEdit& AEdit) {
    AEdit.SetItems(Lines({L"Apple", L"Banana"}));
    AEdit.SetDropDownListStyle(true);
    AEdit.SetImmediateDropDown(false);
    AEdit.SetEditValue(std::wstring(L"Banana"));
  });
  editor->SelectAll();
  Type(L"z");
  Settle();
  EXPECT_EQ(editor->Text(), L"Banana");
  editor->SelectAll();
  Keys({VK_DELETE});
  Settle();
  EXPECT_EQ(editor->Text(), L"Banana") << "deleting is not allowed";
  editor->SetCanDeleteText(true);
  editor->SelectAll();
  Keys({VK_DELETE});
  ASSERT_TRUE(Pump([&] { return editor->Text().empty(); }));
  Type(L"a");
  ASSERT_TRUE(Pump([&] { return editor->Text() == L"Apple"; }));
}

TEST_F(DropDownEditors, SteppingStopsAtTheLastItemAndARevertableDoubleClickWraps) {
  auto* editor = NewEditor<TgxInplacePickEdit>([this](TgxInplacePickEdit& AEdit) {
    AEdit.SetItems(Lines({L"one", L"two", L"three"}));
    AEdit.SetRevertable(true);
    AEdit.SetEditValue(std::wstring(L"two"));
  });
  Wheel(*editor, -120);
  EXPECT_EQ(editor->Text(), L"three");
  Wheel(*editor, -120);
  EXPECT_EQ(editor->Text(), L"three") << "no wrap";
  RECT client;
  GetClientRect(editor->Handle(), &client);
  SendMessageW(editor->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, client.bottom / 2));
  SendMessageW(editor->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, client.bottom / 2));
  EXPECT_EQ(editor->Text(), L"one") << "the double click wraps";
  EXPECT_EQ(editor->ItemIndex(), 0);

  // Changing the sorting closes an open list.
  Keys({VK_F4});
  ASSERT_TRUE(Pump([&] { return Shows(&editor->PickList()); }));
  editor->SetSorted(true);
  EXPECT_FALSE(Shows(&editor->PickList()));
}

// --- the MRU editor --------------------------------------------------------------------------

TEST_F(DropDownEditors, TheMRUListKeepsItsMostRecentEntriesUpToItsLimit) {
  auto* editor =
      NewEditor<TgxInplaceMRUEdit>([](TgxInplaceMRUEdit& AEdit) { AEdit.SetMaxItemCount(3); });
  for (const wchar_t* colour : {L"red", L"green", L"blue", L"grey", L"green"}) {
    editor->SelectAll();
    Type(colour);
    ASSERT_TRUE(Pump([&] { return editor->Text() == colour; })) << Narrow(editor->Text());
    Keys({VK_RETURN});
    ASSERT_TRUE(Pump([&] { return !Container->KeysDown.empty(); }));
    Container->KeysDown.clear();
    editor->SetModified(false);
  }
  EXPECT_EQ(editor->Items().GetText(), L"green\r\ngrey\r\nblue");

  editor->SetMaxItemCount(-5);
  EXPECT_EQ(editor->MaxItemCount(), 0);
  for (const wchar_t* colour : {L"a", L"b", L"c", L"d"})
    editor->AddItem(colour);
  EXPECT_EQ(editor->Items().Count(), 7) << "no limit";
  editor->AddItem(L"");
  EXPECT_EQ(editor->Items().Count(), 7);
}

TEST_F(DropDownEditors, TheEllipsisButtonAndCtrlEnterFireTheEventWithoutOpeningTheList) {
  int clicks = 0;
  auto* editor = NewEditor<TgxInplaceMRUEdit>([&](TgxInplaceMRUEdit& AEdit) {
    AEdit.SetItems(Lines({L"red", L"green"}));
    AEdit.OnButtonClick = [&](TControl*) { ++clicks; };
  });
  std::unique_ptr<TgxEditViewData> data(editor->CreateViewData(false));
  TgxEditViewInfo info;
  editor->EditClass().CalcViewInfo(*data, false, info);
  auto& drop = dynamic_cast<TgxDropDownEditViewData&>(*data);
  ASSERT_EQ(drop.ButtonCount, 2);
  EXPECT_EQ(drop.Buttons[0].Kind, bkDown);
  EXPECT_EQ(drop.Buttons[1].Kind, bkEllipsis);

  ClickButton(*editor, 1);
  ASSERT_TRUE(Pump([&] { return clicks == 1; }));
  Settle();
  EXPECT_FALSE(Shows(&editor->PickList()));
  CtrlKey(VK_RETURN);
  ASSERT_TRUE(Pump([&] { return clicks == 2; }));
  EXPECT_TRUE(Container->KeysDown.empty());

  ClickButton(*editor, 0);
  ASSERT_TRUE(Pump([&] { return Shows(&editor->PickList()); })) << "the down button opens it";
  editor->SetShowEllipsis(false);
  std::unique_ptr<TgxEditViewData> plain(editor->CreateViewData(false));
  editor->EditClass().CalcViewInfo(*plain, false, info);
  EXPECT_EQ(dynamic_cast<TgxDropDownEditViewData&>(*plain).ButtonCount, 1);
}

// --- the memo editor -------------------------------------------------------------------------

TEST_F(DropDownEditors, MemoLinesCountAndEditTheWindowsLines) {
  auto* memo = NewEditor<TgxInplaceMemoEdit>(nullptr, RECT{20, 30, 200, 120});
  TgxMemoStrings& lines = memo->Lines();
  EXPECT_EQ(lines.Count(), 0) << "an empty memo";
  lines.SetText(L"alpha\nbeta\n");
  EXPECT_EQ(lines.Count(), 2) << "a closing line break adds no line";
  EXPECT_EQ(lines.Strings(1), L"beta");
  lines.Insert(2, L"gamma");
  ASSERT_EQ(lines.Count(), 3) << "inserting at the count appends";
  EXPECT_EQ(lines.Strings(2), L"gamma");
  lines.Put(0, L"ALPHA");
  lines.Delete(1);
  ASSERT_EQ(lines.Count(), 2);
  EXPECT_EQ(lines.Strings(0), L"ALPHA");
  EXPECT_EQ(lines.Strings(1), L"gamma");
  lines.Insert(-1, L"never");
  lines.Delete(7);
  EXPECT_EQ(lines.Count(), 2);

  // The same text again changes nothing the window would report.
  int changes = 0;
  memo->OnChange = [&](TControl*) { ++changes; };
  const std::wstring text = lines.GetText();
  lines.SetText(text);
  Settle();
  EXPECT_EQ(changes, 0);
  lines.Clear();
  EXPECT_EQ(lines.Count(), 0);
}

TEST_F(DropDownEditors, CtrlEnterTypesALineBreakAndDownLeavesOnlyAWhollySelectedMemo) {
  auto* memo = NewEditor<TgxInplaceMemoEdit>(nullptr, RECT{20, 30, 200, 120});
  EXPECT_TRUE(GetWindowLongPtrW(memo->Handle(), GWL_STYLE) & ES_MULTILINE);
  Type(L"one");
  CtrlKey(VK_RETURN);
  Type(L"two");
  ASSERT_TRUE(Pump([&] { return memo->Lines().Count() == 2; })) << Narrow(memo->Text());
  EXPECT_EQ(memo->Lines().Strings(0), L"one");
  EXPECT_EQ(memo->Lines().Strings(1), L"two");
  EXPECT_TRUE(Container->KeysDown.empty()) << "Ctrl+Enter stays in the memo";

  Keys({VK_UP});
  Settle();
  EXPECT_TRUE(Container->KeysDown.empty()) << "the caret moves up a line";
  memo->SelectAll();
  Keys({VK_DOWN});
  ASSERT_TRUE(Pump([&] { return !Container->KeysDown.empty(); }));
  EXPECT_EQ(Container->KeysDown[0], VK_DOWN) << "the whole text selected: the cell is left";

  memo->SetWantTabs(true);
  EXPECT_TRUE(SendMessageW(memo->Handle(), WM_GETDLGCODE, 0, 0) & DLGC_WANTTAB);
  memo->SetWantReturns(false);
  EXPECT_FALSE(SendMessageW(memo->Handle(), WM_GETDLGCODE, 0, 0) & DLGC_WANTALLKEYS);
}

} // namespace
} // namespace text_editors
