#include "gx-container.h"
#include "gx-container-control.h"
#include "gx-utils.h"

#include "application.h"
#include "ledger-balance.h"
#include "resource-ledger.h"
#include "storage.h"
#include "string-lists.h"
#include "support/test-harness.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

// --- stand-ins -----------------------------------------------------------------------

class TCountingBeep : public TgxBeepSeam {
public:
  void Beep(UINT) override { ++Count; }
  int Count = 0;
};

// The exceptions window procedures hand on, kept for the test to read.
std::vector<std::wstring> GWindowErrors;
void KeepWindowError(const std::exception& AError) {
  if (auto* error = dynamic_cast<const Exception*>(&AError))
    GWindowErrors.push_back(error->Message());
  else
    GWindowErrors.push_back(L"?");
}

// The least container the tests need: it refuses digits, takes the keys
// the editor hands over and writes its own click time into the editor.
class TTestContainer : public TCustomControl, public IgxEditContainer {
public:
  explicit TTestContainer(TComponent* AOwner) : TCustomControl(AOwner) { SetTabStop(true); }
  TWinControl* ContainerControl() override { return this; }
  bool CanEditModify() override { return Editable; }
  bool CanEditAcceptKey(wchar_t AKey) override { return !(AKey >= L'0' && AKey <= L'9'); }
  bool IsImmediateEdit(int) override { return ImmediateEdit; }
  void ContainerKeyDown(WORD& AKey, TShiftState) override { KeysDown.push_back(AKey); }
  void ContainerDblClick() override { ++DblClicks; }
  void EditorFocusChanged() override { ++FocusChanges; }

  bool Editable = true;
  bool ImmediateEdit = false;
  std::vector<WORD> KeysDown;
  int DblClicks = 0;
  int FocusChanges = 0;
  std::vector<UINT> Seen;
  TgxInplaceEdit* Editor = nullptr;

protected:
  void WndProc(TMessage& AMessage) override {
    if (AMessage.Msg == WM_MOUSEWHEEL || AMessage.Msg == 0xB004)
      Seen.push_back(AMessage.Msg);
    if (AMessage.Msg == WM_LBUTTONDOWN && Editor)
      Editor->SetClickTime(GetMessageTime());
    if (AMessage.Msg == WM_LBUTTONDOWN && HandleAllocated())
      ::SetFocus(Handle());
    TCustomControl::WndProc(AMessage);
  }
  void Paint() override {
    RECT r = ClientRect();
    Canvas().Brush().SetColor(Color());
    Canvas().FillRect(r);
  }
};

// A text cell kind: the class draws the value's text in the client area.
class TTextEditClass : public TgxInplaceEditClass {
public:
  static const TTextEditClass& Instance() {
    static const TTextEditClass instance;
    return instance;
  }
  bool DrawClientArea(HDC ADC, RECT& ARect, TgxEditViewData& AViewData,
                      bool AIsControl) const override {
    TgxInplaceEditClass::DrawClientArea(ADC, ARect, AViewData, AIsControl);
    if (AViewData.CalcHeight)
      return true;
    const std::wstring text = VarToText(AViewData.Data);
    RECT inner = ARect;
    InflateRect(&inner, -1, 0);
    DrawTextInRect(
        ADC, text.c_str(), int(text.size()), ARect, inner,
        uint16_t(TextFlagsOf(AViewData.Alignment, AViewData.DrawAlignment) | gxdtVCenter),
        AViewData.Brush, AViewData.Font, AViewData.BkColor, AViewData.TextColor);
    return true;
  }
};

// The least text editor: typed characters go to the end of the text,
// Backspace takes the last one away.
class TTextEdit : public TgxInplaceEdit {
public:
  using TgxInplaceEdit::TgxInplaceEdit;
  const TgxInplaceEditClass& EditClass() const override { return TTextEditClass::Instance(); }
  bool IsEditClass() override { return true; }

protected:
  void KeyPress(wchar_t& AKey) override {
    TgxInplaceEdit::KeyPress(AKey);
    if (AKey == 0 || !CanEditValue())
      return;
    if (AKey == 8) {
      if (!Text().empty())
        SetText(Text().substr(0, Text().size() - 1));
    } else if (AKey >= 32) {
      SetText(Text() + AKey);
    } else {
      return;
    }
    SetModified(true);
  }
};

// A definition that offers right alignment and read-only.
class TRightReadOnlyDefinition : public TgxEditDataDefinition {
public:
  TAlignment GetAlignment() override { return taRightJustify; }
  bool GetCanModify() override { return false; }
  TgxVariant GetEditValue() override { return std::wstring(L"from definition"); }
};

class TDefinedEdit : public TgxInplaceEdit {
public:
  explicit TDefinedEdit(TComponent* AOwner) : TgxInplaceEdit(AOwner) { InitDataDefinition(); }
  TgxEditDataDefinition* CreateDataDefinition() override { return new TRightReadOnlyDefinition; }
};

// --- fixtures --------------------------------------------------------------------------

class EditorTest : public TLedgerBalancedTest {
protected:
  void SetUp() override {
    TLedgerBalancedTest::SetUp();
    FRegistrations = TResourceLedger::Registrations();
    GxUtilsStartup();
    GxContainerStartup();
  }
  void ReleaseShared() override {
    GxContainerShutdown();
    GxUtilsShutdown();
    EXPECT_EQ(TResourceLedger::Registrations(), FRegistrations);
  }

private:
  size_t FRegistrations = 0;
};

// A form on the screen with a container, and a live editor of the kind T
// on one of its cells.
class LiveEditor : public EditorTest {
protected:
  void SetUp() override {
    EditorTest::SetUp();
    GWindowErrors.clear();
    FPreviousHandler = SetWindowExceptionHandler(&KeepWindowError);
    Owner = std::make_unique<TComponent>(nullptr);
    Form = new TWinControl(Owner.get());
    Form->SetBounds(80, 80, 320, 200);
    Container = new TTestContainer(Owner.get());
    Container->SetBounds(10, 10, 280, 160);
    Container->SetColor(clWhite);
    Container->SetParent(Form);
  }
  void TearDown() override {
    Owner.reset();
    ReleaseApplication();
    SetWindowExceptionHandler(FPreviousHandler);
    EditorTest::TearDown();
  }
  void ReleaseShared() override {
    EditorTest::ReleaseShared();
    FinalizeControls();
  }
  template <typename T = TTextEdit> T* NewEditor(const RECT& ACell = kCell) {
    auto* editor = new T(Container);
    editor->SetParent(Container);
    Container->Editor = editor;
    Form->Show();
    SetForegroundWindow(Form->Handle());
    editor->SetModified(false);
    editor->SetActive(true);
    editor->Move(ACell);
    harness::PumpMessages();
    return editor;
  }
  // Pumps until ADone holds, a bounded number of rounds of at most 50 ms.
  static bool PumpUntil(const std::function<bool()>& ADone) {
    for (int round = 0; round < 100 && !ADone(); ++round) {
      harness::PumpMessages();
      if (!ADone())
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    harness::PumpMessages();
    return ADone();
  }
  static void Keys(const std::vector<WORD>& AKeys) {
    std::vector<INPUT> inputs;
    for (WORD key : AKeys)
      for (DWORD flags : {DWORD(0), DWORD(KEYEVENTF_KEYUP)}) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        input.ki.dwFlags = flags;
        inputs.push_back(input);
      }
    ASSERT_EQ(SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT)), inputs.size());
  }
  static void ClickAt(POINT AScreen) {
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    INPUT inputs[3]{};
    for (INPUT& input : inputs) {
      input.type = INPUT_MOUSE;
      input.mi.dx = LONG((AScreen.x * 65535 + width / 2) / (width - 1));
      input.mi.dy = LONG((AScreen.y * 65535 + height / 2) / (height - 1));
      input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE;
    }
    inputs[0].mi.dwFlags |= MOUSEEVENTF_MOVE;
    inputs[1].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    inputs[2].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    ASSERT_EQ(SendInput(3, inputs, sizeof(INPUT)), 3u);
  }

  static constexpr RECT kCell{20, 30, 140, 50};
  std::unique_ptr<TComponent> Owner;
  TWinControl* Form = nullptr;
  TTestContainer* Container = nullptr;
  TCountingBeep Beeps;
  TSeamScope<TgxBeepSeam> BeepScope{Beeps};

private:
  TWindowExceptionHandler FPreviousHandler = nullptr;
};

// --- the editor on a real window ------------------------------------------------------------

TEST_F(LiveEditor, MovePlacesTheFrameAroundTheCellSoTheClientAreaIsTheCell) {
  TTextEdit* editor = NewEditor();
  EXPECT_TRUE(editor->IsVisible());
  EXPECT_FALSE(editor->Visible()) << "an in-place editor shows without the framework's visibility";
  EXPECT_TRUE(IsWindowVisible(editor->Handle()));
  RECT client;
  GetClientRect(editor->Handle(), &client);
  POINT origin{0, 0};
  MapWindowPoints(editor->Handle(), Container->Handle(), &origin, 1);
  EXPECT_EQ(origin.x, kCell.left);
  EXPECT_EQ(origin.y, kCell.top);
  EXPECT_EQ(client.right, kCell.right - kCell.left);
  EXPECT_EQ(client.bottom, kCell.bottom - kCell.top);

  editor->Move({0, 0, 0, 0});
  EXPECT_EQ(editor->Left(), kCell.left - 2) << "an empty cell moves nothing";
  editor->Hide();
  EXPECT_FALSE(editor->IsVisible());
  EXPECT_FALSE(IsWindowVisible(editor->Handle()));
}

TEST_F(LiveEditor, TypedKeysEditTheValueAndEnterGoesToTheContainerWithoutABeep) {
  TTextEdit* editor = NewEditor();
  editor->SetFocus();
  ASSERT_TRUE(editor->Focused());
  Keys({'A', 'B', VK_BACK, 'C'});
  EXPECT_TRUE(PumpUntil([&] { return editor->Text() == L"ac"; }))
      << "text: " << editor->Text().size();
  EXPECT_TRUE(editor->Modified());
  Keys({VK_RETURN});
  EXPECT_TRUE(PumpUntil([&] { return !Container->KeysDown.empty(); }));
  EXPECT_EQ(Container->KeysDown, std::vector<WORD>{VK_RETURN});
  EXPECT_EQ(editor->Text(), L"ac") << "Enter makes no character";
  EXPECT_EQ(Beeps.Count, 0);
}

TEST_F(LiveEditor, ACharacterTheContainerRefusesBeepsAndIsDropped) {
  TTextEdit* editor = NewEditor();
  editor->SetFocus();
  Keys({'7', 'X'});
  EXPECT_TRUE(PumpUntil([&] { return editor->Text() == L"x"; }));
  EXPECT_EQ(Beeps.Count, 1);

  // A read-only editor drops printable characters without a beep.
  editor->SetReadOnly(true);
  Keys({'Y'});
  PumpUntil([] { return false; });
  EXPECT_EQ(editor->Text(), L"x");
  EXPECT_EQ(Beeps.Count, 1);
}

TEST_F(LiveEditor, EscapePutsBackTheTextAndFlagSavedAtActivation) {
  TTextEdit* editor = NewEditor();
  editor->SetEditingText(L"start");
  editor->SetModified(false);
  editor->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return editor->Focused(); }));
  Keys({'Q'});
  ASSERT_TRUE(PumpUntil([&] { return editor->Text() == L"startq"; }));
  Keys({VK_ESCAPE});
  EXPECT_TRUE(PumpUntil([&] { return editor->Text() == L"start"; }));
  EXPECT_FALSE(editor->Modified());
  EXPECT_EQ(Container->KeysDown, std::vector<WORD>{VK_ESCAPE});
}

TEST_F(LiveEditor, ARejectedValueBeepsRaisesAndKeepsTheFocusAndItsCell) {
  TTextEdit* editor = NewEditor();
  int asked = 0;
  editor->OnValidate = [&](TControl*, std::wstring& AErrorText, bool& AAccept) {
    ++asked;
    AErrorText += L" (digits only)";
    AAccept = editor->Text().find(L"z") == std::wstring::npos;
  };
  editor->SetFocus();
  Keys({'Z', VK_DOWN});
  EXPECT_TRUE(PumpUntil([&] { return !GWindowErrors.empty(); }));
  ASSERT_EQ(GWindowErrors.size(), 1u);
  EXPECT_EQ(GWindowErrors[0],
            L"Invalid input value. Use escape key to abandon changes (digits only)");
  EXPECT_EQ(Beeps.Count, 1);
  EXPECT_TRUE(Container->KeysDown.empty()) << "the key never reaches the container";
  EXPECT_TRUE(editor->Focused());
  EXPECT_EQ(editor->Text(), L"z") << "the value stays for the user to correct";
  EXPECT_TRUE(editor->Modified());

  // Called directly it raises as well.
  EXPECT_THROW(editor->ValidateEdit(), EgxEditInvalidInput);
  EXPECT_EQ(Beeps.Count, 2);

  // Leaving the editor for the container is refused: the focus comes back.
  ClickAt(Container->ClientToScreen({250, 140}));
  EXPECT_TRUE(PumpUntil([&] { return GWindowErrors.size() == 2 && editor->Focused(); }));
  EXPECT_EQ(Beeps.Count, 3);

  // An accepted value lets the key through.
  editor->SetEditingText(L"ok");
  Keys({VK_DOWN});
  EXPECT_TRUE(PumpUntil([&] { return !Container->KeysDown.empty(); }));
  EXPECT_EQ(Container->KeysDown, std::vector<WORD>{VK_DOWN});
  EXPECT_GE(asked, 4);
}

TEST_F(LiveEditor, FreeingAFocusedEditorWithARefusedValueAsksNothingAndLeavesNothing) {
  TTextEdit* editor = NewEditor();
  editor->OnValidate = [](TControl*, std::wstring&, bool& AAccept) { AAccept = false; };
  editor->SetFocus();
  editor->SetEditingText(L"refused");
  TComponent::Free(editor);
  Container->Editor = nullptr;
  harness::PumpMessages();
  EXPECT_TRUE(GWindowErrors.empty());
  EXPECT_EQ(Beeps.Count, 0);
}

TEST_F(LiveEditor, AClickFocusesAWindowlessEditorAndASecondQuickClickIsADoubleClick) {
  TgxInplaceEdit* editor = NewEditor<TgxInplaceEdit>();
  Container->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return Container->Focused(); }));
  ClickAt(editor->ClientToScreen({10, 8}));
  EXPECT_TRUE(PumpUntil([&] { return editor->Focused(); }));
  EXPECT_EQ(Container->DblClicks, 0);
  EXPECT_GE(Container->FocusChanges, 1);

  // The container's own click just before makes the editor's a double-click.
  Container->ImmediateEdit = true;
  ClickAt(Container->ClientToScreen({250, 140}));
  ClickAt(editor->ClientToScreen({10, 8}));
  EXPECT_TRUE(PumpUntil([&] { return Container->DblClicks == 1; }));
  EXPECT_EQ(editor->ClickTime(), 0);
}

TEST_F(LiveEditor, TheWheelGoesToTheContainerAfterItsModeIsCancelled) {
  TTextEdit* editor = NewEditor();
  SendMessageW(editor->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
  EXPECT_EQ(Container->Seen, (std::vector<UINT>{0xB004, WM_MOUSEWHEEL}));
}

TEST_F(LiveEditor, DialogCodeAsksForAllKeysAndTabsOnlyWhenTheContainerWantsThem) {
  TTextEdit* editor = NewEditor();
  const LRESULT code = SendMessageW(editor->Handle(), WM_GETDLGCODE, 0, 0);
  EXPECT_TRUE(code & DLGC_WANTCHARS);
  EXPECT_TRUE(code & DLGC_WANTALLKEYS);
  EXPECT_FALSE(code & DLGC_WANTTAB);
}

// --- painting without a window --------------------------------------------------------------

struct TFrameCase {
  const char* Name;
  TgxEditBorderStyle Border;
  TgxEditEdges Edges;
  bool Shadow;
  TAlignment Alignment;
};

class CellPainting : public LiveEditor, public ::testing::WithParamInterface<TFrameCase> {};

TEST_P(CellPainting, ACellPaintedThroughTheClassMatchesTheLiveEditorPixelForPixel) {
  const TFrameCase& frame = GetParam();
  TTextEdit* editor = NewEditor();
  editor->Style().SetBorderStyle(frame.Border);
  editor->Style().SetEdges(frame.Edges);
  editor->Style().SetShadow(frame.Shadow);
  editor->SetAlignment(frame.Alignment);
  editor->SetColor(0x00E0F0FF);
  editor->SetEditingText(L"0x2000_0400");
  editor->Move(kCell);
  harness::PumpMessages();
  auto live = harness::RenderControl(*editor);

  // What a container fills for a cell the editor is not on.
  std::unique_ptr<TgxEditViewData> data(editor->EditClass().NewViewData());
  TBrush brush;
  brush.SetColor(0x00E0F0FF);
  data->ViewBounds = {0, 0, kCell.right - kCell.left + 4, kCell.bottom - kCell.top + 4};
  data->BorderStyle = frame.Border;
  data->Edges = frame.Edges;
  data->Shadow = frame.Shadow;
  data->Alignment = frame.Alignment;
  data->Brush = brush.Handle();
  data->BkColor = 0x00E0F0FF;
  data->Font = editor->Font().Handle();
  data->TextColor = ColorToColorRef(ColorToRGB(editor->Font().Color()));
  data->Data = std::wstring(L"0x2000_0400");
  TBitmap cell(live->Width(), live->Height(), TPixelFormat::pf32bit);
  HRGN remaining = CreateRectRgn(0, 0, cell.Width(), cell.Height());
  editor->EditClass().Draw(cell.Canvas().Handle(), {}, *data, remaining);
  GdiFlush();
  EXPECT_TRUE(harness::SamePixels(*live, cell)) << frame.Name;

  // The region left to the container is what the frame did not cover.
  TgxEditViewInfo info;
  editor->EditClass().CalcViewInfo(*data, false, info);
  EXPECT_FALSE(PtInRegion(remaining, info.BorderRect.left, info.BorderRect.top));
  EXPECT_EQ(PtInRegion(remaining, 0, 0) != 0, !PtInRect(&info.BorderRect, {0, 0})) << frame.Name;
  DeleteObject(remaining);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, CellPainting,
    ::testing::Values(TFrameCase{"3D", xbs3D, kgxAllEdges, false, taLeftJustify},
                      TFrameCase{"Single", xbsSingle, kgxAllEdges, false, taRightJustify},
                      TFrameCase{"Thick", xbsThick, kgxAllEdges, false, taCenter},
                      TFrameCase{"Flat", xbsFlat, kgxAllEdges, false, taLeftJustify},
                      TFrameCase{"None", xbsNone, kgxAllEdges, false, taLeftJustify},
                      TFrameCase{"SingleTopBottom", xbsSingle,
                                 TgxEditEdges(EdgeBit(edgTop) | EdgeBit(edgBottom)), false,
                                 taLeftJustify},
                      TFrameCase{"ThickLeftRight", xbsThick,
                                 TgxEditEdges(EdgeBit(edgLeft) | EdgeBit(edgRight)), false,
                                 taLeftJustify},
                      TFrameCase{"3DShadow", xbs3D, kgxAllEdges, true, taLeftJustify}),
    [](const ::testing::TestParamInfo<TFrameCase>& AInfo) { return AInfo.param.Name; });

TEST_F(LiveEditor, TheWindowRegionFollowsTheFrameAndShadow) {
  TTextEdit* editor = NewEditor();
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(editor->Handle(), region), ERROR) << "a full 3D frame needs no region";
  editor->Style().SetShadow(true);
  ASSERT_NE(GetWindowRgn(editor->Handle(), region), ERROR);
  const int w = editor->Width(), h = editor->Height();
  EXPECT_TRUE(PtInRegion(region, 0, 0));
  EXPECT_FALSE(PtInRegion(region, w - 1, 0)) << "top-right corner outside";
  EXPECT_FALSE(PtInRegion(region, 0, h - 1)) << "bottom-left corner outside";
  EXPECT_TRUE(PtInRegion(region, w - 1, h - 1));
  editor->Style().SetShadow(false);
  editor->Style().SetBorderStyle(xbsSingle);
  ASSERT_NE(GetWindowRgn(editor->Handle(), region), ERROR);
  EXPECT_FALSE(PtInRegion(region, 0, 0)) << "the outermost ring is the container's";
  EXPECT_TRUE(PtInRegion(region, 1, 1));
  DeleteObject(region);
}

// --- styles and controllers -------------------------------------------------------------------

class Styles : public EditorTest {
protected:
  void TearDown() override {
    Owner.reset();
    EditorTest::TearDown();
  }
  TgxInplaceEdit* NewEdit() { return new TgxInplaceEdit(Owner.get()); }
  std::unique_ptr<TComponent> Owner = std::make_unique<TComponent>(nullptr);
};

TEST_F(Styles, ANewEditorFallsBackToTheBuiltInLook) {
  TgxInplaceEdit* edit = NewEdit();
  TgxEditStyle& style = edit->Style();
  EXPECT_EQ(style.AssignedValues(), 0);
  EXPECT_EQ(style.BorderStyle(), xbs3D);
  EXPECT_EQ(style.BorderColor(), TColor(0xFF000006));
  EXPECT_EQ(style.ButtonStyle(), btsDefault);
  EXPECT_EQ(style.ButtonTransparence(), ebtNone);
  EXPECT_EQ(style.Edges(), 15);
  EXPECT_FALSE(style.HotTrack());
  EXPECT_FALSE(style.Shadow());
  std::unique_ptr<TgxEditViewData> data(edit->CreateViewData(false));
  EXPECT_EQ(data->ButtonStyle, bts3D) << "the default buttons follow the 3D border";
}

TEST_F(Styles, AValueEqualToTheFallbackStillBecomesTheStylesOwn) {
  TgxInplaceEdit* edit = NewEdit();
  edit->Style().SetBorderStyle(xbs3D);
  EXPECT_TRUE(edit->Style().IsStored(svBorderStyle));
  TgxEditStyle::GetDefaultEditStyleController()->SetBorderStyle(xbsFlat);
  EXPECT_EQ(edit->Style().BorderStyle(), xbs3D);
  edit->Style().SetAssignedValues(0);
  EXPECT_EQ(edit->Style().BorderStyle(), xbsFlat) << "removing the bit falls back again";
  TgxEditStyle::GetDefaultEditStyleController()->RestoreDefaults();
}

TEST_F(Styles, TheDefaultControllerRefreshesOnlyEditorsWithoutTheirOwn) {
  TgxEditStyleController* defaults = TgxEditStyle::GetDefaultEditStyleController();
  ASSERT_NE(defaults, nullptr);
  TgxInplaceEdit* plain = NewEdit();
  TgxInplaceEdit* owned = NewEdit();
  auto* own = new TgxEditStyleController(Owner.get());
  own->SetBorderStyle(xbsSingle);
  owned->SetStyleController(own);
  std::vector<TPersistent*> refreshed;
  defaults->OnStyleChanged = [&](TPersistent*, TPersistent* ALink) { refreshed.push_back(ALink); };
  defaults->SetBorderStyle(xbsThick);
  EXPECT_EQ(refreshed, std::vector<TPersistent*>{plain});
  EXPECT_EQ(plain->Style().BorderStyle(), xbsThick);
  EXPECT_EQ(owned->Style().BorderStyle(), xbsSingle);

  // Locked changes go out once, at the last EndUpdate.
  refreshed.clear();
  defaults->BeginUpdate();
  defaults->SetShadow(true);
  defaults->SetHotTrack(true);
  EXPECT_TRUE(refreshed.empty());
  defaults->EndUpdate();
  EXPECT_EQ(refreshed.size(), 1u);

  // An unmatched EndUpdate holds changes back until the count is 0 again.
  refreshed.clear();
  defaults->EndUpdate();
  defaults->SetShadow(false);
  EXPECT_TRUE(refreshed.empty());
  defaults->BeginUpdate();
  defaults->Update();
  EXPECT_EQ(refreshed.size(), 1u);
  defaults->OnStyleChanged = nullptr;
  defaults->RestoreDefaults();

  // A controller that goes leaves its editors on the fallbacks.
  TComponent::Free(own);
  EXPECT_EQ(owned->StyleController(), nullptr);
  EXPECT_EQ(owned->Style().BorderStyle(), xbs3D);
}

TEST_F(Styles, AssignFromAnEmptyStyleAssignsAllSevenFallbacks) {
  TgxInplaceEdit* source = NewEdit();
  TgxInplaceEdit* target = NewEdit();
  auto* own = new TgxEditStyleController(Owner.get());
  own->SetEdges(EdgeBit(edgBottom));
  own->SetHotTrack(true);
  source->SetStyleController(own);
  target->Style().Assign(&source->Style());
  EXPECT_EQ(target->Style().AssignedValues(), 0x7F);
  EXPECT_EQ(target->Style().Edges(), EdgeBit(edgBottom));
  EXPECT_TRUE(target->Style().HotTrack());
  target->Style().RestoreDefaults();
  EXPECT_EQ(target->Style().AssignedValues(), 0);
  EXPECT_EQ(target->Style().Edges(), kgxAllEdges);
}

TEST_F(Styles, HotTrackingTurnsTheFrameUpWhileTheMouseIsOver) {
  TgxInplaceEdit* edit = NewEdit();
  edit->Style().SetHotTrack(true);
  struct TCase {
    TgxEditBorderStyle Border;
    TgxEditBorderStyle Hot;
    TgxEditButtonViewStyle Buttons;
  };
  for (const TCase& c : {TCase{xbsNone, xbsFlat, btsFlat}, TCase{xbsSingle, xbsSingle, btsHotFlat},
                         TCase{xbsFlat, xbs3D, bts3D}, TCase{xbsThick, xbsThick, bts3D}}) {
    edit->Style().SetBorderStyle(c.Border);
    edit->SetSelected(false);
    std::unique_ptr<TgxEditViewData> cold(edit->CreateViewData(false));
    EXPECT_EQ(cold->BorderStyle, c.Border);
    edit->SetSelected(true);
    std::unique_ptr<TgxEditViewData> hot(edit->CreateViewData(false));
    EXPECT_EQ(hot->BorderStyle, c.Hot);
    EXPECT_EQ(hot->ButtonStyle, c.Buttons);
    if (c.Border == xbsSingle) {
      EXPECT_EQ(hot->BorderColor, TColor(RGB(10, 36, 106)));
    }
  }
}

TEST_F(Styles, ADefinitionNeverOverwritesMarkedSettingsAndRestoreDefaultsClearsTheMarks) {
  auto* edit = new TDefinedEdit(Owner.get());
  edit->SetAlignment(taCenter);
  edit->SetReadOnly(false);
  EXPECT_EQ(edit->StoredValues(), StoredValueBit(svAlignment) | StoredValueBit(svReadOnly));
  edit->RefreshEdit();
  EXPECT_EQ(edit->Alignment(), taCenter);
  EXPECT_FALSE(edit->ReadOnly()) << "the definition's read-only leaves a marked setting alone";
  EXPECT_EQ(edit->Text(), L"from definition");
  EXPECT_FALSE(edit->Modified());
  std::unique_ptr<TgxEditViewData> marked(edit->CreateViewData(false));
  EXPECT_EQ(marked->Alignment, taCenter);

  edit->RestoreDefaults();
  EXPECT_EQ(edit->StoredValues(), 0);
  EXPECT_EQ(edit->Alignment(), taLeftJustify);
  EXPECT_TRUE(edit->ReadOnly()) << "unmarked, the definition decides";
  edit->RefreshEdit();
  EXPECT_EQ(edit->DataAlignment(), taRightJustify);
  std::unique_ptr<TgxEditViewData> unmarked(edit->CreateViewData(false));
  EXPECT_EQ(unmarked->Alignment, taRightJustify);
  EXPECT_FALSE(edit->CanModify());
}

// --- drawing utilities ---------------------------------------------------------------------

class Drawing : public EditorTest {};

TEST_F(Drawing, ASingleLineTooWideIsClippedAtTheTextRectAndTheRestOfTheCellFilled) {
  TBitmap bitmap(120, 20, TPixelFormat::pf32bit);
  HDC dc = bitmap.Canvas().Handle();
  HBRUSH brush = CreateSolidBrush(RGB(0, 0, 255));
  HFONT font = HFONT(GetStockObject(DEFAULT_GUI_FONT));
  const RECT cell{0, 0, 120, 20}, text{0, 0, 40, 20};
  const std::wstring wide(40, L'W');
  DrawTextInRect(dc, wide.c_str(), int(wide.size()), cell, text, 0, brush, font, RGB(255, 255, 255),
                 RGB(0, 0, 0));
  GdiFlush();
  for (int x = 40; x < 120; x += 7)
    EXPECT_EQ(harness::PixelAt(bitmap, x, 10), TColor(RGB(0, 0, 255))) << x;
  bool dark = false;
  for (int x = 0; x < 40 && !dark; ++x)
    for (int y = 0; y < 20 && !dark; ++y)
      dark = harness::PixelAt(bitmap, x, y) == TColor(RGB(0, 0, 0));
  EXPECT_TRUE(dark) << "the text is drawn inside its rectangle";
  DeleteObject(brush);
}

TEST_F(Drawing, LayoutsTheFlagsDoNotNameDrawASingleLineAtTheTop) {
  HFONT font = HFONT(GetStockObject(DEFAULT_GUI_FONT));
  TBitmap bitmap(100, 60, TPixelFormat::pf32bit);
  HDC dc = bitmap.Canvas().Handle();
  struct TCase {
    uint16_t Flags;
    bool AtTop;
  };
  for (const TCase& c :
       {TCase{0x0C, true}, TCase{0x00, true}, TCase{0x08, false}, TCase{0x04, false}}) {
    PatBlt(dc, 0, 0, 100, 60, WHITENESS);
    DrawTextInRect(dc, L"Ag\r\nAg", 6, {0, 0, 100, 60}, {0, 0, 100, 60}, c.Flags, nullptr, font,
                   RGB(255, 255, 255), RGB(0, 0, 0));
    GdiFlush();
    int firstInk = -1;
    for (int y = 0; y < 60 && firstInk < 0; ++y)
      for (int x = 0; x < 100; ++x)
        if (harness::PixelAt(bitmap, x, y) != TColor(RGB(255, 255, 255))) {
          firstInk = y;
          break;
        }
    EXPECT_EQ(firstInk >= 0 && firstInk < 12, c.AtTop)
        << "flags " << c.Flags << " ink " << firstInk;
  }
  // Measuring fills nothing and answers the cell's height for the text.
  int textHeight = 0;
  PatBlt(dc, 0, 0, 100, 60, WHITENESS);
  const int needed = DrawTextInRect(dc, L"Ag", 2, {0, 0, 100, 30}, {0, 2, 100, 28}, gxdtMeasure,
                                    HBRUSH(GetStockObject(BLACK_BRUSH)), font, 0, 0, &textHeight);
  EXPECT_GT(textHeight, 0);
  EXPECT_EQ(needed, 30 - 26 + textHeight);
  GdiFlush();
  EXPECT_EQ(harness::PixelAt(bitmap, 50, 15), TColor(RGB(255, 255, 255)));
}

TEST_F(Drawing, ALengthBeyondTheTextStopsAtItsEnd) {
  HFONT font = HFONT(GetStockObject(DEFAULT_GUI_FONT));
  const wchar_t* text = L"Ag";
  auto draw = [&](int ALength) {
    auto bitmap = std::make_unique<TBitmap>(60, 20, TPixelFormat::pf32bit);
    DrawTextInRect(bitmap->Canvas().Handle(), text, ALength, {0, 0, 60, 20}, {0, 0, 60, 20},
                   gxdtVCenter, HBRUSH(GetStockObject(WHITE_BRUSH)), font, RGB(255, 255, 255),
                   RGB(0, 0, 0));
    GdiFlush();
    return bitmap;
  };
  auto exact = draw(2);
  auto beyond = draw(4096);
  EXPECT_TRUE(harness::SamePixels(*exact, *beyond));
}

TEST_F(Drawing, APopupAtTheBottomOfTheWorkAreaOpensAboveTheEditorAndStaysInside) {
  RECT work;
  GetWorkAreaFromPoint({10, 10}, work);
  POINT below{work.left - 30, work.bottom - 20};
  AdjustPopupPos(below, 100, 200, 20);
  EXPECT_EQ(below.x, work.left);
  EXPECT_EQ(below.y, work.bottom - 20 - 220);
  POINT right{work.right - 10, work.top + 40};
  AdjustPopupPos(right, 100, 50, 20);
  EXPECT_EQ(right.x, work.right - 100);
  EXPECT_EQ(right.y, work.top + 40);
}

TEST_F(Drawing, KillMessageKeepsAQuitRequestTakenOutWithTheMessage) {
  bool quit = false, chars = false;
  {
    TWinControl window(nullptr);
    window.SetBounds(0, 0, 10, 10);
    HWND handle = window.Handle();
    PostMessageW(handle, WM_CHAR, L'a', 0);
    PostQuitMessage(7);
    KillMessage(handle, WM_CHAR);
    KillMessage(handle, WM_CHAR);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      quit |= msg.message == WM_QUIT && msg.wParam == 7;
      chars |= msg.message == WM_CHAR;
    }
  }
  FinalizeControls();
  EXPECT_TRUE(quit);
  EXPECT_FALSE(chars);
}

TEST_F(Drawing, TheHalftoneBrushIsOneCheckerboardMadeOnceAndFreedWithItsUnit) {
  const size_t before = TResourceLedger::Count(TResourceKind::GdiObject);
  HBRUSH first = GetHalftoneBrush();
  EXPECT_EQ(GetHalftoneBrush(), first);
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::GdiObject), before + 1);
  {
    TBitmap bitmap(8, 8, TPixelFormat::pf32bit);
    RECT all{0, 0, 8, 8};
    FillRect(bitmap.Canvas().Handle(), &all, first);
    GdiFlush();
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x)
        EXPECT_EQ(harness::PixelAt(bitmap, x, y), (x + y) % 2 ? clWhite : clBlack) << x << "," << y;
  }
  GxUtilsShutdown();
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::GdiObject), before);
}

// --- the layout storage wrapper --------------------------------------------------------------

class RegIni : public EditorTest {
protected:
  void SetUp() override {
    EditorTest::SetUp();
    Key = L"Software\\OrvandelTests\\InPlaceEditors" + std::to_wstring(GetCurrentProcessId());
  }
  void TearDown() override {
    TRegistry cleanup;
    cleanup.DeleteKey(L"\\" + Key);
    EXPECT_FALSE(cleanup.KeyExists(L"\\" + Key));
    EditorTest::TearDown();
  }
  std::wstring Key;
};

TEST_F(RegIni, TheSameCallsRoundTripThroughTheRegistryAndAnIniFile) {
  TRegIniFile registry(Key);
  TMemIniFile ini(L"");
  for (TPersistent* store :
       {static_cast<TPersistent*>(&registry), static_cast<TPersistent*>(&ini)}) {
    TgxRegIniWrapper wrapper;
    wrapper.SetRegIniObject(store);
    wrapper.WriteString(L"Grid\\Columns", L"Caption", L"Address");
    wrapper.WriteInteger(L"Grid\\Columns", L"Width", 120);
    wrapper.WriteBool(L"Grid", L"ShowHeader", true);
    EXPECT_EQ(wrapper.ReadString(L"Grid\\Columns", L"Caption", L"-"), L"Address");
    EXPECT_EQ(wrapper.ReadInteger(L"Grid\\Columns", L"Width", 0), 120);
    EXPECT_TRUE(wrapper.ReadBool(L"Grid", L"ShowHeader", false));
    EXPECT_EQ(wrapper.ReadInteger(L"Missing", L"Width", -5), -5);
    TStringList names;
    wrapper.ReadSection(L"Grid\\Columns", names);
    EXPECT_EQ(names.Count(), 2);
    wrapper.DeleteKey(L"Grid\\Columns", L"Width");
    EXPECT_EQ(wrapper.ReadInteger(L"Grid\\Columns", L"Width", 7), 7);
    wrapper.EraseSection(L"Grid\\Columns");
    EXPECT_EQ(wrapper.ReadString(L"Grid\\Columns", L"Caption", L"-"), L"-");
  }
}

TEST_F(RegIni, BinaryDataIsTheRegistrysOnlyAndLeavesItsCurrentKeyAlone) {
  TRegIniFile registry(Key);
  const HKEY current = registry.CurrentKey();
  TgxRegIniWrapper wrapper;
  wrapper.SetRegIniObject(&registry);
  const uint8_t bytes[5] = {1, 2, 3, 4, 5};
  wrapper.WriteBinaryData(L"Layout", L"Widths", bytes, 5);
  EXPECT_EQ(registry.CurrentKey(), current);
  EXPECT_EQ(wrapper.ReadBinaryData(L"Layout", L"Widths", nullptr, 0), 5) << "size without reading";
  uint8_t read[8] = {};
  EXPECT_EQ(wrapper.ReadBinaryData(L"Layout", L"Widths", read, 3), 3);
  EXPECT_EQ(read[2], 3);
  EXPECT_EQ(read[3], 0);
  EXPECT_EQ(wrapper.ReadBinaryData(L"Nowhere", L"Widths", read, 8), 0);
  EXPECT_EQ(wrapper.ReadBinaryData(L"Layout", L"Missing", read, 8), 0);
  EXPECT_EQ(registry.CurrentKey(), current);

  TMemIniFile ini(L"");
  wrapper.SetRegIniObject(&ini);
  wrapper.WriteBinaryData(L"Layout", L"Widths", bytes, 5);
  EXPECT_EQ(wrapper.ReadBinaryData(L"Layout", L"Widths", read, 8), 0);
  TStringList sections;
  ini.ReadSections(sections);
  EXPECT_EQ(sections.Count(), 0);
}

TEST_F(RegIni, EraseRemovesEverySectionBeginningWithThePathCaseSensitively) {
  TMemIniFile ini(L"");
  for (const wchar_t* section : {L"Grid", L"Grid\\Columns", L"Grid2", L"MyGrid", L"Other"})
    ini.WriteString(section, L"Key", L"1");
  TgxRegIniWrapper wrapper;
  wrapper.SetRegIniObject(&ini);
  wrapper.Erase(L"Grid");
  TStringList left;
  ini.ReadSections(left);
  ASSERT_EQ(left.Count(), 2);
  EXPECT_EQ(left.Strings(0), L"MyGrid");
  EXPECT_EQ(left.Strings(1), L"Other");

  // The registry is the callers' to erase.
  TRegIniFile registry(Key);
  wrapper.SetRegIniObject(&registry);
  wrapper.WriteString(L"Grid", L"Key", L"1");
  wrapper.Erase(L"Grid");
  EXPECT_EQ(wrapper.ReadString(L"Grid", L"Key", L"-"), L"1");
}

// --- the container control and its hint window -----------------------------------------

// A container that counts the scroll requests it gets.
class TCountingContainer : public TCustomgxContainer {
public:
  using TCustomgxContainer::TCustomgxContainer;
  std::vector<WPARAM> Scrolls;

protected:
  void CreateParams(TCreateParams& AParams) override {
    TCustomgxContainer::CreateParams(AParams);
    AParams.Style |= WS_VSCROLL | WS_HSCROLL;
  }
  void WndProc(TMessage& AMessage) override {
    if (AMessage.Msg == WM_VSCROLL)
      Scrolls.push_back(LOWORD(AMessage.WParam));
    TCustomgxContainer::WndProc(AMessage);
  }
};

class ContainerControl : public EditorTest {
protected:
  void SetUp() override {
    EditorTest::SetUp();
    Owner = std::make_unique<TComponent>(nullptr);
    Form = new TWinControl(Owner.get());
    Form->SetBounds(80, 80, 320, 200);
    Box = new TCountingContainer(Owner.get());
    Box->SetBounds(10, 10, 280, 160);
    Box->SetParent(Form);
    Form->Show();
    harness::PumpMessages();
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &FWheelLines, 0);
  }
  void TearDown() override {
    SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, FWheelLines, nullptr, 0);
    Owner.reset();
    ReleaseApplication();
    EditorTest::TearDown();
  }
  void ReleaseShared() override {
    EditorTest::ReleaseShared();
    FinalizeControls();
  }
  std::unique_ptr<TComponent> Owner;
  TWinControl* Form = nullptr;
  TCountingContainer* Box = nullptr;

private:
  UINT FWheelLines = 3;
};

struct TWheelCase {
  const char* Name;
  UINT Lines;
  short Delta;
  std::vector<WPARAM> Expected;
};

class ContainerWheel : public ContainerControl, public ::testing::WithParamInterface<TWheelCase> {};

TEST_P(ContainerWheel, ANotchScrollsTheSystemsLineCountInItsDirection) {
  ASSERT_TRUE(SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, GetParam().Lines, nullptr, 0));
  SendMessageW(Box->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(GetParam().Delta)), 0);
  EXPECT_EQ(Box->Scrolls, GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    ContainerControl, ContainerWheel,
    ::testing::Values(TWheelCase{"ThreeLinesUp", 3, WHEEL_DELTA, {SB_LINEUP, SB_LINEUP, SB_LINEUP}},
                      TWheelCase{"OneLineDown", 1, -WHEEL_DELTA, {SB_LINEDOWN}},
                      TWheelCase{"NoLines", 0, WHEEL_DELTA, {}}),
    [](const ::testing::TestParamInfo<TWheelCase>& AInfo) {
      return std::string(AInfo.param.Name);
    });

TEST_F(ContainerControl, ScrollInfoSetThroughTheContainerReadsBackAndAnswersThePosition) {
  SCROLLINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = SIF_ALL;
  info.nMin = 0;
  info.nMax = 99;
  info.nPage = 10;
  info.nPos = 30;
  EXPECT_EQ(Box->SetScrollInfo(SB_VERT, info, true), 30);
  SCROLLINFO read{};
  read.cbSize = sizeof(read);
  read.fMask = SIF_ALL;
  ASSERT_TRUE(Box->GetScrollInfo(SB_VERT, read));
  EXPECT_EQ(read.nMax, 99);
  EXPECT_EQ(read.nPage, 10u);
  EXPECT_EQ(read.nPos, 30);
  // A position past the last page is brought back by the bar.
  info.nPos = 500;
  EXPECT_EQ(Box->SetScrollInfo(SB_VERT, info, false), 90);
}

TEST_F(ContainerControl, OnlyAChangedScrollBarStyleMakesANewWindow) {
  EXPECT_EQ(FlatScrollBarMode(ssRegular), 0);
  EXPECT_EQ(FlatScrollBarMode(ssFlat), 1);
  EXPECT_EQ(FlatScrollBarMode(ssHotTrack), 2);
  HWND first = Box->Handle();
  Box->SetScrollBarStyle(ssRegular);
  EXPECT_EQ(Box->Handle(), first);
  Box->SetScrollBarStyle(ssHotTrack);
  EXPECT_EQ(Box->ScrollBarStyle(), ssHotTrack);
  EXPECT_TRUE(IsWindow(Box->Handle()));
  EXPECT_FALSE(IsWindow(first)) << "the old window went";
}

TEST_F(ContainerControl, TheLiveEditorOfTheFocusedCellAsksItsContainerControl) {
  auto* editor = new TTextEdit(Box);
  editor->SetParent(Box);
  EXPECT_EQ(editor->Container(), static_cast<IgxEditContainer*>(Box));
  EXPECT_EQ(Box->GetDefaultPopupBorderStyle(xbs3D), pbFrame3D);
  EXPECT_FALSE(Box->ReadOnly());
  Box->SetSingleClickCheckEdit(true);
  EXPECT_TRUE(static_cast<IgxEditContainer*>(Box)->SingleClickCheckEdit())
      << "the check editor asks the setting through the container's hooks";
  Box->BeginInitEdit();
  EXPECT_TRUE(Box->IsInitEdit());
  Box->EndInitEdit();
  EXPECT_FALSE(Box->IsInitEdit());
  Box->SetColor(clYellow);
  EXPECT_EQ(Box->GetEditorColor(), clYellow);
  editor->SetActive(true);
  editor->Move(RECT{20, 30, 140, 50});
  harness::PumpMessages();
  EXPECT_TRUE(editor->IsVisible());
  EXPECT_EQ(editor->Left(), 18);
  // Keys the editor hands on reach the container's own handler.
  std::vector<WORD> keys;
  Box->OnEditKeyDown = [&](TControl* ASender, WORD& AKey, TShiftState) {
    EXPECT_EQ(ASender, Box);
    keys.push_back(AKey);
  };
  WORD key = VK_F2;
  Box->DoEditKeyDown(key, 0);
  EXPECT_EQ(keys, std::vector<WORD>{VK_F2});
}

class HintWindow : public ContainerControl {
protected:
  void SetUp() override {
    ContainerControl::SetUp();
    Hint = new TgxContainerHintWindow(Owner.get());
    Font.SetName(L"Tahoma");
  }
  RECT HintRect() {
    RECT rect{};
    GetWindowRect(Hint->Handle(), &rect);
    return rect;
  }
  TgxContainerHintWindow* Hint = nullptr;
  TFont Font;
};

TEST_F(HintWindow, AHintNearTheBottomRightCornerMovesUpAndLeftOntoItsMonitor) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  const POINT corner{GetSystemMetrics(SM_CXSCREEN) - 5, GetSystemMetrics(SM_CYSCREEN) - 5};
  ASSERT_TRUE(GetMonitorInfoW(MonitorFromPoint(corner, MONITOR_DEFAULTTONEAREST), &monitor));
  Hint->ActivateHint(corner, L"The whole text of a clipped cell", Font);
  harness::PumpMessages();
  const RECT rect = HintRect();
  EXPECT_TRUE(IsWindowVisible(Hint->Handle()));
  EXPECT_EQ(rect.right, monitor.rcMonitor.right);
  EXPECT_EQ(rect.bottom, monitor.rcMonitor.bottom);
  EXPECT_GT(rect.right - rect.left, 6);
  EXPECT_NE(GetActiveWindow(), Hint->Handle()) << "a hint never takes the focus";
  EXPECT_EQ(SendMessageW(Hint->Handle(), WM_NCHITTEST, 0, MAKELPARAM(rect.left + 2, rect.top + 2)),
            LRESULT(HTTRANSPARENT));
  const DWORD style = DWORD(GetWindowLongPtrW(Hint->Handle(), GWL_STYLE));
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_FALSE(style & WS_BORDER);
  EXPECT_TRUE(GetWindowLongPtrW(Hint->Handle(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW);

  Hint->HideHint();
  EXPECT_FALSE(IsWindowVisible(Hint->Handle()));
  const RECT hidden = HintRect();
  EXPECT_EQ(hidden.right - hidden.left, rect.right - rect.left) << "hiding keeps the size";
}

TEST_F(HintWindow, AHintLargerThanTheMonitorKeepsItsTopLeftCornerOnIt) {
  std::wstring text;
  for (int i = 0; i < 400; ++i)
    text += L"word ";
  const POINT start{40, 40};
  Hint->ActivateHintEx(start, 0, text, Font, false);
  const RECT rect = HintRect();
  const int screen = GetSystemMetrics(SM_CXSCREEN);
  EXPECT_LE(rect.right - rect.left, screen + 6) << "a width of 0 wraps at the desktop width";
  EXPECT_GT(rect.bottom - rect.top, 40) << "the text wrapped onto several lines";
  EXPECT_GE(rect.left, 0);
  EXPECT_GE(rect.top, 0);
}

TEST_F(HintWindow, ANarrowWidthWrapsTheTextWithinIt) {
  Hint->ActivateHintEx(POINT{100, 100}, 80, L"several words that cannot fit in one line", Font,
                       false);
  const RECT rect = HintRect();
  EXPECT_LE(rect.right - rect.left, 80 + 6);
  EXPECT_EQ(rect.left, 100);
  EXPECT_EQ(rect.top, 100);
  EXPECT_EQ(Hint->Font().Name(), L"Tahoma");
}

} // namespace
