#include "gx-graphic-edit.h"
#include "gx-popup-toolbar.h"
#include "gx-resources.h"

#include "text-editors-fixture.h"

#include "streams.h"

#include <cstdio>
#include <string>
#include <vector>

// The graphic editor and its popup tool bar on real windows: pictures from
// BMP files on disk, the context menu, the tool window's buttons, the
// clipboard viewer, and the picture value format.
namespace text_editors {
namespace {

// A bitmap of one colour.
std::unique_ptr<TBitmap> Filled(int AWidth, int AHeight, TColor AColor) {
  auto bitmap = std::make_unique<TBitmap>(AWidth, AHeight);
  bitmap->Canvas().Brush().SetColor(AColor);
  bitmap->Canvas().FillRect(RECT{0, 0, AWidth, AHeight});
  return bitmap;
}

std::wstring BytesOf(TGraphic& AGraphic) {
  TPicture picture;
  picture.SetGraphic(&AGraphic);
  return SavePictureToString(&picture);
}

class TChosenFile : public TgxPictureDialogSeam {
public:
  bool Execute(TOpenFileRequest& ARequest, bool ASave) override {
    Requests.push_back(ASave);
    Filter = ARequest.Filter;
    if (FileName.empty())
      return false;
    ARequest.FileName = FileName;
    return true;
  }
  std::wstring FileName;
  std::wstring Filter;
  std::vector<bool> Requests;
};

class GraphicEditors : public TextEditors {
protected:
  void SetUp() override {
    TextEditors::SetUp();
    GxExEditorsStartup();
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    Folder = folder;
  }
  void TearDown() override {
    for (const std::wstring& file : Files)
      DeleteFileW(file.c_str());
    TextEditors::TearDown();
  }
  void ReleaseShared() override {
    GxExEditorsShutdown();
    TextEditors::ReleaseShared();
  }
  std::wstring TempFile(const std::wstring& AName) {
    Files.push_back(Folder + L"orvandel-xped-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                    AName);
    return Files.back();
  }
  static void EmptyTheClipboard() {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
  }
  static void PutClipboardBitmap(TBitmap& ABitmap) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HBITMAP copy = HBITMAP(CopyImage(ABitmap.Handle(), IMAGE_BITMAP, 0, 0, 0));
    SetClipboardData(CF_BITMAP, copy);
    CloseClipboard();
  }

  std::wstring Folder;
  std::vector<std::wstring> Files;
  TChosenFile Chooser;
  TSeamScope<TgxPictureDialogSeam> ChooserScope{Chooser};
};

// --- the picture value format -------------------------------------------------------------------

TEST_F(GraphicEditors, APictureValueLoadsBehindAMatchingHeaderOnlyAndRoundTrips) {
  auto red = Filled(6, 4, clRed);
  const std::wstring plain = BytesOf(*red);
  ASSERT_GT(plain.size(), 8u);
  EXPECT_NE(plain.substr(0, 2), std::wstring(L"\x01\x00", 2)) << "no header is written";

  auto header = [](uint32_t ALength) {
    std::wstring text{wchar_t(1), wchar_t(0), wchar_t(0), wchar_t(1)};
    for (int i = 0; i < 4; ++i)
      text.push_back(wchar_t((ALength >> (8 * i)) & 0xFF));
    return text;
  };
  TPicture picture;
  LoadPictureFromVariant(picture, nullptr, header(uint32_t(plain.size())) + plain);
  ASSERT_FALSE(IsPictureEmpty(&picture));
  EXPECT_EQ(picture.Width(), 6);
  EXPECT_EQ(SavePictureToString(&picture), plain) << "the picture round-trips byte for byte";
  // A wrong length: the header goes to the reader, which refuses it.
  EXPECT_ANY_THROW(
      LoadPictureFromVariant(picture, nullptr, header(uint32_t(plain.size() + 1)) + plain));

  // Anything that is not a non-empty string clears.
  const TgxVariant clearing[] = {TgxVariant{}, TgxVariant{int64_t(5)}, TgxVariant{std::wstring()}};
  for (const TgxVariant& value : clearing) {
    LoadPictureFromVariant(picture, nullptr, plain);
    ASSERT_FALSE(IsPictureEmpty(&picture));
    LoadPictureFromVariant(picture, nullptr, value);
    EXPECT_TRUE(IsPictureEmpty(&picture)) << value.index();
  }
  EXPECT_EQ(SavePictureToString(&picture), L"");
  EXPECT_EQ(SavePictureToString(nullptr), L"");
  // With a graphic class the picture holds that class.
  LoadPictureFromVariant(picture, GraphicClassOf<TBitmap>(), plain);
  EXPECT_EQ(picture.Graphic()->GraphicClass(), GraphicClassOf<TBitmap>());
}

struct TFitRow {
  RECT Source;
  int Width, Height;
  RECT Fitted;
};

TEST_F(GraphicEditors, AFittedPictureKeepsItsAspectRatioAtTheTopLeft) {
  const TFitRow rows[] = {
      {{0, 0, 100, 100}, 200, 100, {0, 0, 100, 50}},
      {{10, 20, 110, 70}, 100, 100, {10, 20, 60, 70}},
      {{0, 0, 30, 30}, 7, 3, {0, 0, 30, 12}},
  };
  for (const TFitRow& row : rows) {
    const RECT fitted = FitRect(row.Source, row.Width, row.Height);
    EXPECT_TRUE(EqualRect(&fitted, &row.Fitted))
        << fitted.left << "," << fitted.top << "," << fitted.right << "," << fitted.bottom;
  }
}

// --- the editor
// ------------------------------------------------------------------------------------

TEST_F(GraphicEditors, AStretchedPictureIsDrawnFittedAndCentredOneShowsItsMiddle) {
  auto* editor = NewEditor<TgxInplaceGraphicEdit>();
  editor->Picture().SetGraphic(Filled(200, 100, clRed).get());
  editor->SetColor(clBlue);
  auto paint = [&] {
    std::unique_ptr<TgxEditViewData> data(editor->CreateViewData(false));
    auto target = Filled(100, 100, clLime);
    RECT rect{0, 0, 100, 100};
    editor->EditClass().DrawClientArea(target->Canvas().Handle(), rect, *data, false);
    return target;
  };
  editor->SetStretch(true);
  auto stretched = paint();
  EXPECT_EQ(harness::PixelAt(*stretched, 50, 25), clRed);
  EXPECT_EQ(harness::PixelAt(*stretched, 50, 75), clBlue) << "the background round the picture";
  editor->SetStretch(false);
  editor->Picture().SetGraphic(Filled(50, 20, clRed).get());
  auto centred = paint();
  EXPECT_EQ(harness::PixelAt(*centred, 50, 50), clRed);
  EXPECT_EQ(harness::PixelAt(*centred, 10, 50), clBlue);
  EXPECT_EQ(harness::PixelAt(*centred, 50, 30), clBlue);
}

TEST_F(GraphicEditors, SettingsThatChangeTheLookAreChangesAndTheValueIsNot) {
  int changes = 0;
  auto* editor = NewEditor<TgxInplaceGraphicEdit>(
      [&](TgxInplaceGraphicEdit& AEdit) { AEdit.OnChange = [&](TControl*) { ++changes; }; });
  auto bitmap = Filled(8, 8, clRed);
  editor->SetEditValue(BytesOf(*bitmap));
  EXPECT_FALSE(editor->Modified());
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(editor->Picture().Width(), 8);
  TgxVariant value;
  editor->GetEditValue(value);
  EXPECT_EQ(std::get<int64_t>(value),
            int64_t(reinterpret_cast<intptr_t>(editor->Picture().Graphic())));
  editor->SetModified(true);
  editor->SetEditValue(std::wstring());
  EXPECT_TRUE(IsPictureEmpty(&editor->Picture()));
  EXPECT_TRUE(editor->Modified()) << "the flag is put back as it was";

  editor->SetModified(false);
  editor->SetGraphicTransparency(gtTransparent);
  editor->SetCustomGraphic(true);
  EXPECT_EQ(changes, 0);
  EXPECT_FALSE(editor->Modified());
  editor->SetStretch(true);
  editor->SetCenter(false);
  EXPECT_EQ(changes, 2);
  EXPECT_TRUE(editor->Modified());
}

TEST_F(GraphicEditors, APictureLoadsFromAFileOnDiskAndSavesBackThroughTheContextMenu) {
  EmptyTheClipboard();
  auto* editor = NewEditor<TgxInplaceGraphicEdit>();
  const std::wstring source = TempFile(L"in.bmp"), saved = TempFile(L"out.bmp");
  Filled(12, 7, clRed)->SaveToFile(source);

  TChoosingPopup menu(PopupToolBarCaption(ptbLoad));
  {
    TSeamScope<TPopupMenuSeam> scope(menu);
    Chooser.FileName = source;
    SendMessageW(editor->Handle(), WM_CONTEXTMENU, WPARAM(editor->Handle()), MAKELPARAM(-1, -1));
    Settle();
  }
  ASSERT_EQ(menu.Shown, 1);
  // An empty picture offers only what needs no picture.
  EXPECT_EQ(menu.Enabled, (std::vector<std::wstring>{PopupToolBarCaption(ptbLoad)}));
  ASSERT_FALSE(IsPictureEmpty(&editor->Picture()));
  EXPECT_EQ(editor->Picture().Width(), 12);
  EXPECT_EQ(editor->Picture().Height(), 7);
  EXPECT_TRUE(editor->Modified());
  ASSERT_EQ(Chooser.Requests, std::vector<bool>{false});

  TChoosingPopup saving(PopupToolBarCaption(ptbSave));
  {
    TSeamScope<TPopupMenuSeam> scope(saving);
    Chooser.FileName = saved;
    SendMessageW(editor->Handle(), WM_CONTEXTMENU, WPARAM(editor->Handle()), MAKELPARAM(-1, -1));
    Settle();
  }
  EXPECT_EQ(saving.Enabled.size(), 5u) << "cut, copy, delete, load and save";
  TBitmap back;
  back.LoadFromFile(saved);
  EXPECT_EQ(back.Width(), 12);
  EXPECT_EQ(harness::PixelAt(back, 3, 3), clRed);

  TChoosingPopup clearing(PopupToolBarCaption(ptbDelete));
  {
    TSeamScope<TPopupMenuSeam> scope(clearing);
    SendMessageW(editor->Handle(), WM_CONTEXTMENU, WPARAM(editor->Handle()), MAKELPARAM(-1, -1));
    Settle();
  }
  EXPECT_TRUE(IsPictureEmpty(&editor->Picture()));
}

TEST_F(GraphicEditors, TheMenuHidesSeparatorsWhoseItemsAreHidden) {
  auto* editor = NewEditor<TgxInplaceGraphicEdit>();
  editor->ToolbarLayout().SetButtons(ToolBarButtonBit(ptbCopy) | ToolBarButtonBit(ptbCustom));
  editor->ToolbarLayout().SetCustomButtonCaption(L"Mine");
  int custom = 0;
  editor->OnCustomClick = [&](TControl*) { ++custom; };
  TChoosingPopup menu(L"Mine");
  TSeamScope<TPopupMenuSeam> scope(menu);
  SendMessageW(editor->Handle(), WM_CONTEXTMENU, WPARAM(editor->Handle()), MAKELPARAM(-1, -1));
  Settle();
  EXPECT_EQ(custom, 1);
  TMenuItem* items = editor->PopupToolBar()->EditPopupMenu()->Items();
  ASSERT_EQ(items->Count(), 9);
  std::vector<bool> visible;
  for (int i = 0; i < 9; ++i)
    visible.push_back(items->Items(i)->Visible());
  EXPECT_EQ(visible,
            (std::vector<bool>{false, true, false, false, false, false, false, true, true}));
}

// --- the popup tool bar
// -------------------------------------------------------------------------------

TEST_F(GraphicEditors, TheToolBarLaysItsButtonsOutInARowOrAnEquallyWideColumn) {
  auto* editor = NewEditor<TgxInplaceGraphicEdit>();
  TgxPopupToolBar* bar = editor->PopupToolBar();
  bar->SetToolBarAlignment(ptaTop);
  bar->SetToolBarButtons(0);
  EXPECT_EQ(bar->ClientWidth(), 0);
  EXPECT_EQ(bar->ClientHeight(), 22);
  bar->SetToolBarButtons(kgxStandardToolBarButtons);
  EXPECT_EQ(bar->ClientWidth(), 6 * 23);
  EXPECT_TRUE(bar->Buttons(ptbCut)->Caption().empty()) << "a row shows no captions";

  bar->SetToolBarAlignment(ptaLeft);
  const int height = bar->Buttons(ptbCut)->Height();
  EXPECT_GE(height, 22);
  EXPECT_GT(bar->ClientWidth(), height + 1) << "the widest caption widens every button";
  for (int i = 0; i < 6; ++i) {
    TgxToolButton* button = bar->Buttons(TgxPopupToolBarButton(i));
    EXPECT_EQ(button->Width(), bar->ClientWidth());
    EXPECT_EQ(button->Top(), i * height);
    EXPECT_EQ(button->Caption(), PopupToolBarCaption(TgxPopupToolBarButton(i)));
  }
  EXPECT_EQ(bar->ClientHeight(), 6 * height);
  EXPECT_FALSE(bar->Buttons(ptbCustom)->Visible());
}

TEST_F(GraphicEditors, TheToolWindowShowsOnFocusAndItsButtonsRunTheCommands) {
  EmptyTheClipboard();
  auto* editor = NewEditor<TgxInplaceGraphicEdit>([](TgxInplaceGraphicEdit& AEdit) {
    AEdit.SetDblClickActivate(false);
    AEdit.ToolbarLayout().SetIsPopupMenu(false);
    AEdit.ToolbarLayout().SetAlignment(ptaRight);
  });
  TgxPopupToolBar* bar = editor->PopupToolBar();
  ASSERT_TRUE(Pump([&] { return bar->Visible(); }));
  EXPECT_TRUE(bar->Chained());
  RECT editorRect{}, barRect{};
  GetWindowRect(editor->Handle(), &editorRect);
  GetWindowRect(bar->Handle(), &barRect);
  EXPECT_EQ(barRect.left, editorRect.right) << "beside the editor on the right";
  EXPECT_FALSE(bar->Buttons(ptbDelete)->Enabled());
  EXPECT_TRUE(bar->Buttons(ptbLoad)->Enabled());
  EXPECT_FALSE(bar->Buttons(ptbPaste)->Enabled());

  // The clipboard viewer follows the clipboard at once.
  auto bitmap = Filled(9, 5, clRed);
  PutClipboardBitmap(*bitmap);
  ASSERT_TRUE(Pump([&] { return bar->Buttons(ptbPaste)->Enabled(); }));

  TgxToolButton* paste = bar->Buttons(ptbPaste);
  const POINT at = paste->ClientToScreen(POINT{paste->Width() / 2, paste->Height() / 2});
  harness::ClickAtScreen(at.x, at.y);
  ASSERT_TRUE(Pump([&] { return !IsPictureEmpty(&editor->Picture()); }));
  EXPECT_EQ(editor->Picture().Width(), 9);
  EXPECT_TRUE(bar->Buttons(ptbDelete)->Enabled());
  EXPECT_TRUE(editor->Focused()) << "a click on the tool bar leaves the focus with the editor";

  TgxToolButton* clear = bar->Buttons(ptbDelete);
  const POINT at2 = clear->ClientToScreen(POINT{clear->Width() / 2, clear->Height() / 2});
  harness::ClickAtScreen(at2.x, at2.y);
  ASSERT_TRUE(Pump([&] { return IsPictureEmpty(&editor->Picture()); }));

  EmptyTheClipboard();
  EXPECT_TRUE(Pump([&] { return !bar->Buttons(ptbPaste)->Enabled(); }));

  // The close box hides it until the next showing.
  SendMessageW(bar->Handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(bar->Visible());
  bar->Show();
  EXPECT_FALSE(bar->Visible());
  editor->ShowToolBar();
  EXPECT_TRUE(bar->Visible());
}

TEST_F(GraphicEditors, ADraggedToolBarComesBackWhereTheUserPutItUntilPositionsAreNotStored) {
  auto* editor = NewEditor<TgxInplaceGraphicEdit>(
      [](TgxInplaceGraphicEdit& AEdit) { AEdit.ToolbarLayout().SetIsPopupMenu(false); });
  TgxPopupToolBar* bar = editor->PopupToolBar();
  editor->ShowToolBar();
  ASSERT_TRUE(bar->Visible());
  const POINT placed{bar->Left(), bar->Top()};
  bar->SetBounds(placed.x + 40, placed.y + 30, bar->Width(), bar->Height());
  bar->Hide();
  editor->ShowToolBar();
  EXPECT_EQ(bar->Left(), placed.x + 40);
  EXPECT_EQ(bar->Top(), placed.y + 30);
  editor->SetToolbarPosStored(false);
  editor->ShowToolBar();
  EXPECT_EQ(bar->Left(), placed.x);
  EXPECT_EQ(bar->Top(), placed.y);
}

TEST_F(GraphicEditors, TheClipboardChainPassesOnRemovalsOfOtherWindows) {
  auto* editor = NewEditor<TgxInplaceGraphicEdit>();
  TgxPopupToolBar* bar = editor->PopupToolBar();
  bar->HandleNeeded();
  ASSERT_TRUE(bar->Chained());
  const HWND next = bar->NextWindow();
  HWND other = reinterpret_cast<HWND>(intptr_t(0x1234));
  SendMessageW(bar->Handle(), WM_CHANGECBCHAIN, WPARAM(other), LPARAM(nullptr));
  EXPECT_EQ(bar->NextWindow(), next);
  if (next) {
    SendMessageW(bar->Handle(), WM_CHANGECBCHAIN, WPARAM(next), LPARAM(other));
    EXPECT_EQ(bar->NextWindow(), other);
    SendMessageW(bar->Handle(), WM_CHANGECBCHAIN, WPARAM(other), LPARAM(next));
  }
}

} // namespace
} // namespace text_editors
