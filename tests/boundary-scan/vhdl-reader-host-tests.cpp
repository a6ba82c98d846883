// The readers inside the host: the entity being read in status pane 3, the
// host's text editor moved to an error, and a read the host breaks off
// leaving the compiled-in record to answer GetBSDLEntity.

#include "bsdl-entity-face.h"
#include "device-catalogue.h"
#include "host-call.h"
#include "host-services-fixture.h"
#include "vhdl-reader-host.h"
#include "vhdl-reader.h"

#include <string>
#include <vector>

namespace {

constexpr DISPID kGetGUIManager = 494, kSetStatusText = 164, kGetDocumentByPath = 491,
                 kShowDocument = 515, kRunCommand = 625;
constexpr DISPID kEntityName = 503458, kBoundaryCellCount = 503469;

std::vector<std::wstring> Lines(std::initializer_list<const wchar_t*> ALines) {
  return {ALines.begin(), ALines.end()};
}

class ReaderInTheHost : public HostServices {
protected:
  ReaderInTheHost() {
    Gui = ServeObject(Host.Client(), kGetGUIManager, {L"IGUIManager"});
    Document = ServeObject(Host.Client(), kGetDocumentByPath, {L"IServerDocument"});
    Host.Client().OnCall(kRunCommand, [this](TFakeInvocation& AInvocation) {
      Commands.push_back(AInvocation.Text(0) + L" " + AInvocation.Text(1));
      return S_OK;
    });
  }
  void TearDown() override {
    Host.Client().ClearLog();
    HostServices::TearDown();
  }

  std::vector<TFakeCall> DocumentsAskedFor(const std::wstring& APath) {
    std::vector<TFakeCall> asked;
    for (TFakeCall& call : CallsOf(Host.Client(), kGetDocumentByPath))
      if (std::wstring(V_BSTR(&call.Declared(0))) == APath)
        asked.push_back(std::move(call));
    return asked;
  }

  TComPtr<TFakeHostObject> Gui, Document;
  std::vector<std::wstring> Commands;
  THostReaderSurroundings Surroundings;
};

TEST_F(ReaderInTheHost, TheEntityBeingReadShowsInStatusPane3) {
  TVHDLEntities entities;
  TVHDLTextReader reader(entities, Tree.Root() + L"chip.vhd", &Surroundings);
  const std::vector<std::wstring> text = Lines({L"entity Chip is", L"end Chip;"});
  ASSERT_TRUE(reader.Run(text));
  const auto shown = CallsOf(*Gui.Get(), kSetStatusText);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(V_I4(&shown[0].Declared(0)), 3);
  EXPECT_EQ(std::wstring(V_BSTR(&shown[0].Declared(1))), L"Entity:CHIP");
  EXPECT_TRUE(Commands.empty()) << "no error, no editor move";
}

// The second entity's name stands on line 3, column 8 (both from 1): the
// editor is sent there counted from 0.
TEST_F(ReaderInTheHost, AnErrorBringsTheDocumentToTheFrontAtItsPosition) {
  const std::wstring path = Tree.Root() + L"chip.vhd";
  TVHDLEntities entities;
  TVHDLTextReader reader(entities, path, &Surroundings);
  const std::vector<std::wstring> text =
      Lines({L"entity A is", L"end A;", L"entity A is", L"end A;"});
  EXPECT_FALSE(reader.Run(text));
  EXPECT_EQ(reader.ErrorMessage(), L"Entity A Redeclared at Line: 3 Offset: 8");
  EXPECT_EQ(DocumentsAskedFor(path).size(), 1u);
  const auto shownDocuments = CallsOf(Host.Client(), kShowDocument);
  ASSERT_EQ(shownDocuments.size(), 1u);
  EXPECT_EQ(V_DISPATCH(&shownDocuments[0].Declared(0)), Document->Dispatch());
  ASSERT_EQ(Commands.size(), 1u);
  EXPECT_EQ(Commands[0], L"TEXTEDIT:CrossProbeNotify TargetFilename=" + path +
                             L"|FocusWindows=True|Kind=Position|LineNumber=2|ColumnNumber=7"
                             L"|SelectionLength=10");
}

TEST_F(ReaderInTheHost, AnErrorInsideAnArchitectureMovesNothing) {
  const std::wstring path = Tree.Root() + L"chip.vhd";
  TVHDLEntities entities;
  TVHDLTextReader reader(entities, path, &Surroundings);
  const std::vector<std::wstring> text = Lines({L"architecture Rtl of Missing is", L"end Rtl;"});
  EXPECT_FALSE(reader.Run(text));
  EXPECT_TRUE(DocumentsAskedFor(path).empty());
  EXPECT_TRUE(Commands.empty());
}

// The host fails the status-bar call the reader makes for the file's entity:
// the device's BSDL file counts as unreadable, and GetBSDLEntity answers the
// compiled-in record instead of failing.
TEST_F(ReaderInTheHost, AReadTheHostBreaksOffLeavesTheCompiledInRecordToAnswer) {
  Gui->OnCall(kSetStatusText, [](TFakeInvocation& AInvocation) {
    return AInvocation.Raise(L"The status bar is gone");
  });
  const std::wstring path = Tree.File(L"chip.bsd", "entity CHIP is\n"
                                                   "  port (A : inout bit);\n"
                                                   "end CHIP;\n");
  TBSDLEntitySlots slots;
  IBSDLEntity entity;
  ASSERT_EQ(slots.GetBSDLEntity(DeviceBSDLName(0), &entity, [&] { return path; }), S_OK);
  ASSERT_FALSE(entity.IsEmpty());
  EXPECT_EQ(HostText(entity.Intf(), kEntityName), L"LM3S101");
  EXPECT_EQ(HostInt(entity.Intf(), kBoundaryCellCount), 40);
}

} // namespace
