#include "gx-hyperlink-edit.h"

#include "gx-resources.h"

#include "application.h"
#include "seams.h"

#include "text-editors-fixture.h"

#include <richedit.h>

namespace text_editors {
namespace {

class TRecordingShell : public TShellSeam {
public:
  intptr_t Execute(HWND, const std::wstring& AVerb, const std::wstring& AFile,
                   const std::wstring& AParameters, const std::wstring& ADirectory,
                   int AShowCommand) override {
    Calls.push_back(AVerb + L"|" + AFile + L"|" + AParameters + L"|" + ADirectory + L"|" +
                    std::to_wstring(AShowCommand));
    return 42;
  }
  std::vector<std::wstring> Calls;
};

class HyperLinkEdit : public TextEditors {
protected:
  void SetUp() override {
    TextEditors::SetUp();
    GxExEditorsStartup();
  }
  void ReleaseShared() override {
    FinalizeControls();
    GxExEditorsShutdown();
    TextEditors::ReleaseShared();
  }
  TgxInplaceHyperLinkEdit*
  NewLink(const std::wstring& AText,
          const std::function<void(TgxInplaceHyperLinkEdit&)>& AConfigure = nullptr) {
    return NewEditor<TgxInplaceHyperLinkEdit>([&](TgxInplaceHyperLinkEdit& AEdit) {
      AEdit.SetEditValue(AText);
      if (AConfigure)
        AConfigure(AEdit);
    });
  }
  static void CtrlEnter() {
    INPUT inputs[4] = {};
    const WORD keys[4] = {VK_CONTROL, VK_RETURN, VK_RETURN, VK_CONTROL};
    for (int i = 0; i < 4; ++i) {
      inputs[i].type = INPUT_KEYBOARD;
      inputs[i].ki.wVk = keys[i];
      inputs[i].ki.dwFlags = i < 2 ? 0 : KEYEVENTF_KEYUP;
    }
    ASSERT_EQ(SendInput(4, inputs, sizeof(INPUT)), 4u);
  }
  TRecordingShell Shell;
  TSeamScope<TShellSeam> ShellScope{Shell};
};

TEST_F(HyperLinkEdit, TheStartKeyOpensTheTextAsItIsThroughTheShell) {
  struct TRow {
    const wchar_t* Text;
    TShortCut StartKey;
    size_t Calls;
  };
  const TRow rows[] = {
      {L"  http://example.invalid/a  ", kgxDefaultStartKey, 1},
      {L"   ", kgxDefaultStartKey, 0},     // nothing but spaces opens nothing
      {L"http://example.invalid/b", 0, 0}, // a zero start key never matches
  };
  for (const TRow& row : rows) {
    Shell.Calls.clear();
    auto* editor =
        NewLink(row.Text, [&](TgxInplaceHyperLinkEdit& AEdit) { AEdit.SetStartKey(row.StartKey); });
    CtrlEnter();
    Settle();
    Pump([&] { return Shell.Calls.size() >= row.Calls; });
    ASSERT_EQ(Shell.Calls.size(), row.Calls) << Narrow(row.Text);
    if (row.Calls) {
      EXPECT_EQ(Shell.Calls[0], std::wstring(L"OPEN|") + row.Text + L"|||3")
          << "untrimmed, maximised";
    }
    EXPECT_EQ(editor->Text(), row.Text) << "the Enter typed no line break";
    TComponent::Free(editor);
  }
}

TEST_F(HyperLinkEdit, AnAssignedStartHandlerReplacesTheShell) {
  int started = 0;
  auto* editor = NewLink(L"http://example.invalid/", [&](TgxInplaceHyperLinkEdit& AEdit) {
    AEdit.OnStartClick = [&](TControl*) { ++started; };
  });
  CtrlEnter();
  ASSERT_TRUE(Pump([&] { return started == 1; }));
  editor->DoStart();
  EXPECT_EQ(started, 2);
  EXPECT_TRUE(Shell.Calls.empty());
}

TEST_F(HyperLinkEdit, AClickInTheCellOpensTheLinkAndOnlyInSingleClickModeTheContainersClick) {
  auto* editor = NewLink(L"http://example.invalid/c");
  editor->MouseClick(5, 5);
  EXPECT_TRUE(Shell.Calls.empty()) << "double-click mode ignores the activating click";
  editor->SetSingleClick(true);
  editor->MouseClick(5, 5);
  EXPECT_EQ(Shell.Calls.size(), 1u);

  RECT window;
  GetWindowRect(editor->Handle(), &window);
  harness::ClickAtScreen(window.left + 8, (window.top + window.bottom) / 2);
  EXPECT_TRUE(Pump([&] { return Shell.Calls.size() == 2; })) << "an in-place link starts on click";
  EXPECT_EQ(editor->SelLength(), 0) << "an in-place link never selects all";
}

TEST_F(HyperLinkEdit, TheLinkShowsTheHandAndIsUnderlinedInTheLinkColour) {
  auto* editor = NewLink(L"http://example.invalid/");
  std::unique_ptr<TgxEditViewData> data(editor->CreateViewData(false));
  auto* link = dynamic_cast<TgxHyperLinkEditViewData*>(data.get());
  ASSERT_NE(link, nullptr);
  EXPECT_TRUE(link->IsLink);
  EXPECT_EQ(editor->EditClass().GetEditCursor(1, 1, *data), TCursor(kgxHandPointCursor));
  EXPECT_EQ(data->TextColor, RGB(0, 0, 255));
  LOGFONTW font{};
  ASSERT_NE(GetObjectW(data->Font, sizeof(font), &font), 0);
  EXPECT_TRUE(font.lfUnderline);

  // Over the window the screen shows the hand.
  RECT window;
  GetWindowRect(editor->Handle(), &window);
  SetCursorPos(window.left + 8, (window.top + window.bottom) / 2);
  Settle();
  SendMessageW(editor->Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(editor->Handle()),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), Screen()->Cursor(TCursor(kgxHandPointCursor)));

  // The edit window's text is in the link colour; a new font keeps the link look.
  CHARFORMAT2W format{};
  format.cbSize = sizeof(format);
  SendMessageW(editor->Handle(), EM_GETCHARFORMAT, SCF_SELECTION,
               reinterpret_cast<LPARAM>(&format));
  EXPECT_EQ(format.crTextColor, RGB(0, 0, 255));
  editor->SetLinkColor(clRed);
  editor->Font().SetSize(14);
  data.reset(editor->CreateViewData(false));
  EXPECT_EQ(data->TextColor, RGB(255, 0, 0));
  ASSERT_NE(GetObjectW(data->Font, sizeof(font), &font), 0);
  EXPECT_TRUE(font.lfUnderline);
  EXPECT_EQ(editor->LinkFont().Size(), 14);
  SendMessageW(editor->Handle(), EM_GETCHARFORMAT, SCF_SELECTION,
               reinterpret_cast<LPARAM>(&format));
  EXPECT_EQ(format.crTextColor, RGB(255, 0, 0));
}

} // namespace
} // namespace text_editors
