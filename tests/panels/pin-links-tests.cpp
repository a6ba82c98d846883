// The pins panel's links and its board component list against the test
// host's design: scan pins of a boundary-scan model linked to nets of fake
// schematic and PCB documents, every host call made by DISPID through
// Invoke, and what the links write into the objects the workspace's unified
// data model resolves read back from those objects.

#include "board-components.h"
#include "pin-links.h"

#include "bsdl-faces.h"
#include "exceptions.h"
#include "fake-design.h"
#include "string-lists.h"
#include "test-host.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

constexpr DISPID kNetGetItem = 500428, kDeviceNamesMatch = 504007;

// The workspace module is the host's: loaded once for the program, as a
// host that has its workspace open.
void LoadWorkspaceModule() {
  static const bool loaded = [] {
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring module = program;
    module = module.substr(0, module.find_last_of(L'\\') + 1) + L"test-host-workspace\\Ombrel.DLL";
    return LoadLibraryW(module.c_str()) != nullptr;
  }();
  ASSERT_TRUE(loaded) << "the stand-in workspace module";
}

// A test host with a design workspace and a chip whose scan pins the test
// adds.
class PinLinks : public ::testing::Test {
protected:
  void SetUp() override { LoadWorkspaceModule(); }

  void TearDown() override { EXPECT_TRUE(FDesign.Errors().empty()) << FDesign.Errors().front(); }

  // A scan pin of the chip, as the host reaches it.
  IScanPin AddScanPin(const wchar_t* ANumber, TScanPinKind AKind = eScanPinKind_Normal) {
    TBSDLEntity& entity = FChip->Entity();
    TScanPin* pin = TScanPin::Create(entity);
    pin->SetPinName(std::wstring(L"IO_") + ANumber);
    pin->SetPinNumber(ANumber);
    pin->SetKind(AKind);
    entity.AddPin(pin);
    FPins.push_back(pin);
    return IBSDLEntity::FromDispatch(FChip.Get()).GetPin(int32_t(entity.Pins.size() - 1));
  }
  // What the host last sampled on a pin.
  void Sample(const IScanPin& APin, int32_t AValue) {
    for (TScanPin* pin : FPins)
      if (pin->PinNumber == APin.GetPinNumber())
        pin->CurrentValue = AValue;
  }

  TTestHost FHost;
  TFakeDesign FDesign{FHost};
  TComPtr<TBSDLEntityObject> FChip{new TBSDLEntityObject(std::make_unique<TBSDLEntity>())};
  std::vector<TScanPin*> FPins;
};

// ---- pin numbers ------------------------------------------------------------------

TEST(PinNumbers, APrefixPStripsOnlyBeforeAnInteger) {
  const struct {
    const wchar_t* Number;
    const wchar_t* Stripped;
  } cases[] = {
      {L"P12", L"12"}, {L"P", L""}, {L"PA3", L"PA3"},   {L"p12", L"p12"}, {L"P-5", L"-5"},
      {L"12", L"12"},  {L"", L""},  {L"P1.5", L"P1.5"}, {L"A1", L"A1"},   {L"P007", L"007"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(StripPinNumberPrefix(c.Number), c.Stripped) << c.Number;
}

TEST(PinNumbers, PCBHighlightIsTwoForAHighPinAndOneOtherwise) {
  EXPECT_EQ(PCBLiveHighlightValue(1), 2);
  EXPECT_EQ(PCBLiveHighlightValue(0), 1);
  EXPECT_EQ(PCBLiveHighlightValue(2), 1);
  EXPECT_EQ(PCBLiveHighlightValue(-1), 1);
}

TEST_F(PinLinks, NumericPinNumbersOnlyWhenTheDeviceUsesThem) {
  const IScanPin pin = AddScanPin(L"P7");
  TScanPinLink numeric(pin, IDevicePin(), false);
  TScanPinLink full(pin, IDevicePin(), true);
  EXPECT_EQ(numeric.PinNumber_Full(), L"P7");
  EXPECT_EQ(numeric.PinNumber_Numeric(), L"7");
  EXPECT_EQ(full.PinNumber_Numeric(), L"P7");
}

TEST_F(PinLinks, ANewLinkIsUnsampledUnlistedAndLive) {
  TScanPinLink link(AddScanPin(L"5"), IDevicePin(), false);
  EXPECT_EQ(link.LastValue, -1);
  EXPECT_EQ(link.TreeNode, nullptr);
  EXPECT_TRUE(link.UpdateEnabled());
  EXPECT_TRUE(link.NetName_FPGA.empty());
  EXPECT_TRUE(link.NetLinks().empty());
  EXPECT_FALSE(link.DevicePin());
}

// ---- which nets may be linked ------------------------------------------------------------

TEST_F(PinLinks, OnlyNetsThatCarryASignalAreLinkable) {
  TFakeDesign::TProject& board = FDesign.AddProject(L"C:\\Boards\\board.PrjPcb", L"PCBPROJECT");
  TFakeDesign::TDocument& pcb = FDesign.AddDocument(&board, L"C:\\Boards\\board.PcbDoc", L"PCB");
  TFakeDesign::TDocument& sch = FDesign.AddDocument(&board, L"C:\\Boards\\board.SchDoc", L"SCH");
  struct TPinSpec {
    const wchar_t* Name;
    bool Ignored;
  };
  const struct {
    const char* Name;
    bool OnPcb;
    int32_t Connections;
    std::vector<TPinSpec> Pins;
    bool Linkable;
  } cases[] = {
      {"a PCB net with one connection", true, 1, {{L"A", false}}, false},
      {"a PCB net with two connections, whatever its pins", true, 2, {{L"GND", false}}, true},
      {"a schematic net without pins", false, 5, {}, false},
      {"a schematic net of GND and VCC in any case",
       false,
       0,
       {{L"gnd", false}, {L"Vcc", false}},
       false},
      {"a schematic net whose other pins are ignored",
       false,
       0,
       {{L"GND", false}, {L"D0", true}},
       false},
      {"a schematic net with one signal pin", false, 0, {{L"VCC", false}, {L"D0", false}}, true},
  };
  TScanPinLink link(AddScanPin(L"3"), IDevicePin(), false);
  for (const auto& c : cases) {
    TFakeDesign::TNet& net = FDesign.AddNet(c.OnPcb ? &pcb : &sch);
    net.ConnectionCount = c.Connections;
    for (const TPinSpec& spec : c.Pins)
      FDesign.AddItem(net, &sch, L"", true, spec.Name).Ignored = spec.Ignored;
    EXPECT_EQ(link.ValidToLinkToNet(INet::FromDispatch(net.Object->Dispatch())), c.Linkable)
        << c.Name;
  }
}

TEST_F(PinLinks, PowerAndGroundPinsAreNeverLinkable) {
  TFakeDesign::TDocument& pcb = FDesign.AddDocument(nullptr, L"C:\\b.PcbDoc", L"PCB");
  TFakeDesign::TNet& net = FDesign.AddNet(&pcb);
  net.ConnectionCount = 4;
  const INet target = INet::FromDispatch(net.Object->Dispatch());
  EXPECT_FALSE(TScanPinLink(AddScanPin(L"1", eScanPinKind_Power), IDevicePin(), false)
                   .ValidToLinkToNet(target));
  EXPECT_FALSE(TScanPinLink(AddScanPin(L"2", eScanPinKind_Ground), IDevicePin(), false)
                   .ValidToLinkToNet(target));
  EXPECT_TRUE(TScanPinLink(AddScanPin(L"3"), IDevicePin(), false).ValidToLinkToNet(target));
}

TEST_F(PinLinks, DocumentAndProjectKindsComeFromTheHost) {
  TFakeDesign::TProject& board = FDesign.AddProject(L"C:\\b\\board.PrjPcb", L"PCBPROJECT");
  TFakeDesign::TProject& fpga = FDesign.AddProject(L"C:\\f\\chip.PrjFpg", L"FPGAPROJECT");
  TFakeDesign::TDocument& pcb = FDesign.AddDocument(&board, L"C:\\b\\board.PcbDoc", L"pcb");
  TFakeDesign::TDocument& sch = FDesign.AddDocument(&board, L"C:\\b\\board.SchDoc", L"SCH");
  EXPECT_TRUE(IsPCBProject(IProject::FromDispatch(board.Object->Dispatch())));
  EXPECT_FALSE(IsPCBProject(IProject::FromDispatch(fpga.Object->Dispatch())));
  EXPECT_TRUE(IsPCBDocument(IDocument::FromDispatch(pcb.Object->Dispatch())));
  EXPECT_FALSE(IsPCBDocument(IDocument::FromDispatch(sch.Object->Dispatch())));
  // A net without an owner document is on no board.
  EXPECT_FALSE(IsPCBDocument(IDocument()));
  EXPECT_FALSE(IsPCBProject(IProject()));
}

// ---- linking --------------------------------------------------------------------------

TEST_F(PinLinks, AWireThatIsABusBitAlsoLinksThatBitOfTheBus) {
  TFakeDesign::TDocument& sch = FDesign.AddDocument(nullptr, L"C:\\f\\top.SchDoc", L"SCH");
  TFakeDesign::TNet& bus = FDesign.AddNet(&sch);
  TFakeDesign::TNet& bit3 = FDesign.AddNet(&sch);
  TFakeDesign::TNet& wire = FDesign.AddNet(&sch);
  FDesign.AddBusMember(bus, bit3, 3);
  TScanPinLink link(AddScanPin(L"9"), IDevicePin(), false);

  TNetLink* first =
      link.AddNetLink(INet::FromDispatch(bit3.Object->Dispatch()), -1, TNetLinkKind::eNetLink_Wire);
  ASSERT_EQ(link.NetLinks().size(), 2u);
  EXPECT_EQ(first, link.NetLinks()[0].get());
  EXPECT_EQ(first->NetLinkKind, TNetLinkKind::eNetLink_Wire);
  EXPECT_EQ(first->BitIndex, -1);
  EXPECT_EQ(first->ScanPinLink, &link);
  const TNetLink& busLink = *link.NetLinks()[1];
  EXPECT_EQ(busLink.NetLinkKind, TNetLinkKind::eNetLink_Bus);
  EXPECT_EQ(busLink.BitIndex, 3);
  EXPECT_EQ(busLink.TargetNet.Intf(), bus.Object->Dispatch());

  // A plain wire and a bus bit linked as such give one link each.
  link.AddNetLink(INet::FromDispatch(wire.Object->Dispatch()), -1, TNetLinkKind::eNetLink_Wire);
  link.AddNetLink(INet::FromDispatch(bit3.Object->Dispatch()), 3, TNetLinkKind::eNetLink_Bus);
  EXPECT_EQ(link.NetLinks().size(), 4u);
  link.DeActivateNetLinks();
  EXPECT_EQ(link.NetLinks().size(), 4u);
  link.ClearNetLinks();
  EXPECT_TRUE(link.NetLinks().empty());
}

TEST_F(PinLinks, ANetExistsOnTheDocumentsOfItsItems) {
  TFakeDesign::TDocument& top = FDesign.AddDocument(nullptr, L"C:\\f\\top.SchDoc", L"SCH");
  TFakeDesign::TDocument& sheet = FDesign.AddDocument(nullptr, L"C:\\f\\sheet.SchDoc", L"SCH");
  TFakeDesign::TDocument& other = FDesign.AddDocument(nullptr, L"C:\\f\\other.SchDoc", L"SCH");
  TFakeDesign::TNet& net = FDesign.AddNet(&top);
  FDesign.AddItem(net, &top, L"i1", true);
  FDesign.AddItem(net, &sheet, L"i2", false);
  TScanPinLink link(AddScanPin(L"1"), IDevicePin(), false);
  const TNetLink* netLink =
      link.AddNetLink(INet::FromDispatch(net.Object->Dispatch()), -1, TNetLinkKind::eNetLink_Wire);
  EXPECT_TRUE(netLink->ExistsOnDocument(IDocument::FromDispatch(top.Object->Dispatch())));
  EXPECT_TRUE(netLink->ExistsOnDocument(IDocument::FromDispatch(sheet.Object->Dispatch())));
  EXPECT_FALSE(netLink->ExistsOnDocument(IDocument::FromDispatch(other.Object->Dispatch())));
  EXPECT_FALSE(netLink->ExistsOnDocument(IDocument()));
}

// ---- live values ----------------------------------------------------------------------

// A schematic sheet with a bus D whose bit 3 is a wire, each with items and
// lines the data model knows.
class PinLinkValues : public PinLinks {
protected:
  void SetUp() override {
    PinLinks::SetUp();
    Sheet = &FDesign.AddDocument(nullptr, L"C:\\f\\top.SchDoc", L"SCH");
    Bus = &FDesign.AddNet(Sheet);
    Wire = &FDesign.AddNet(Sheet);
    FDesign.AddBusMember(*Bus, *Wire, 3);
    FDesign.AddItem(*Wire, Sheet, L"wire.pin", true, L"D3");
    FDesign.AddItem(*Wire, Sheet, L"wire.label", false);
    FDesign.AddLine(*Wire, L"wire.line");
    FDesign.AddItem(*Bus, Sheet, L"bus.entry", false);
    FDesign.AddLine(*Bus, L"bus.line");
    for (const wchar_t* id : {L"wire.pin", L"wire.label", L"wire.line"})
      FDesign.AddSchObject(id);
    FDesign.AddSchObject(L"bus.line", L"0030");
    FDesign.AddSchObject(L"bus.entry", L"00F0");
    Pin = AddScanPin(L"P3");
    Link = std::make_unique<TScanPinLink>(Pin, IDevicePin(), false);
    Link->AddNetLink(INet::FromDispatch(Wire->Object->Dispatch()), -1, TNetLinkKind::eNetLink_Wire);
    SheetLink = std::make_unique<TDocumentLink>(IDocument::FromDispatch(Sheet->Object->Dispatch()));
  }
  void UpdateAll() {
    for (const auto& netLink : Link->NetLinks())
      netLink->PerformUpdate(*SheetLink);
  }
  std::wstring Value(const wchar_t* AId) const { return FDesign.Highlight(AId).Text; }

  TFakeDesign::TDocument* Sheet = nullptr;
  TFakeDesign::TNet* Bus = nullptr;
  TFakeDesign::TNet* Wire = nullptr;
  IScanPin Pin;
  std::unique_ptr<TScanPinLink> Link;
  std::unique_ptr<TDocumentLink> SheetLink;
};

TEST_F(PinLinkValues, ASchematicNetShowsThePinValueAndItsBusTheBitInAWord) {
  Sample(Pin, 1);
  UpdateAll();
  EXPECT_EQ(Value(L"wire.pin"), L"1");
  EXPECT_EQ(Value(L"wire.label"), L"1");
  EXPECT_EQ(Value(L"wire.line"), L"1");
  EXPECT_EQ(Value(L"bus.entry"), L"00F8");
  // The bus's lines show the word with the wire's bit, whichever of the
  // pin's links writes them, and keep the other bits.
  EXPECT_EQ(Value(L"bus.line"), L"0038");
  EXPECT_EQ(FDesign.BatchDepth(), 0);
  EXPECT_EQ(FDesign.BatchesOpened(), 2);

  Sample(Pin, 0);
  UpdateAll();
  EXPECT_EQ(Value(L"wire.pin"), L"0");
  EXPECT_EQ(Value(L"bus.entry"), L"00F0");
  EXPECT_EQ(Value(L"bus.line"), L"0030");
}

TEST_F(PinLinkValues, ABusWordStartsFromZeroWhenItHoldsNoNumber) {
  const TNetLink& busLink = *Link->NetLinks()[1];
  const struct {
    const wchar_t* Old;
    int32_t Value;
    const wchar_t* New;
  } cases[] = {
      {L"", 1, L"0008"},     {L"zz", 1, L"0008"},     {L"0008", 0, L"0000"},
      {L"FFFF", 0, L"FFF7"}, {L"12345", 1, L"1234D"}, {L"0x10", 1, L"0018"},
  };
  for (const auto& c : cases) {
    FDesign.AddSchObject(L"probe", c.Old);
    Sample(Pin, c.Value);
    const TFakeDesign::THighlight& probe = FDesign.Highlight(L"probe");
    EXPECT_TRUE(busLink.UpdateBusDisplayValue(
        ISch_GraphicalObject::FromDispatch(probe.Object->Dispatch())));
    EXPECT_EQ(probe.Text, c.New) << c.Old;
  }
  // Only a bus link with a bit writes, and only into an object.
  const TFakeDesign::THighlight& probe = FDesign.AddSchObject(L"probe", L"0000");
  const ISch_GraphicalObject object = ISch_GraphicalObject::FromDispatch(probe.Object->Dispatch());
  EXPECT_FALSE(Link->NetLinks()[0]->UpdateBusDisplayValue(object));
  TNetLink noBit(Link.get(), busLink.TargetNet, -1, TNetLinkKind::eNetLink_Bus);
  EXPECT_FALSE(noBit.UpdateBusDisplayValue(object));
  EXPECT_FALSE(busLink.UpdateBusDisplayValue(ISch_GraphicalObject()));
  EXPECT_EQ(probe.Writes, 0);
}

TEST_F(PinLinkValues, ANetNotOnTheDocumentIsNotWritten) {
  TFakeDesign::TDocument& other = FDesign.AddDocument(nullptr, L"C:\\f\\other.SchDoc", L"SCH");
  Sample(Pin, 1);
  Link->NetLinks()[0]->PerformUpdate(
      TDocumentLink(IDocument::FromDispatch(other.Object->Dispatch())));
  EXPECT_EQ(FDesign.Highlight(L"wire.pin").Writes, 0);
  EXPECT_EQ(FDesign.BatchDepth(), 0);
}

TEST_F(PinLinkValues, ObjectsTheModelDoesNotKnowAreSkipped) {
  FDesign.AddItem(*Wire, Sheet, L"unknown.item", false);
  Sample(Pin, 1);
  Link->NetLinks()[0]->PerformUpdate(*SheetLink);
  EXPECT_EQ(Value(L"wire.pin"), L"1");
}

TEST_F(PinLinkValues, AFailingHostCallStillClosesTheBatch) {
  Wire->Object->OnCall(kNetGetItem, [](TFakeInvocation& AInvocation) {
    return AInvocation.Raise(L"The net is gone");
  });
  try {
    Link->NetLinks()[0]->PerformUpdate(*SheetLink);
    ADD_FAILURE() << "the host's failure must reach the caller";
  } catch (const EOleSysError& e) {
    EXPECT_NE(e.Message().find(L"The net is gone"), std::wstring::npos);
  }
  EXPECT_EQ(FDesign.BatchDepth(), 0);
  EXPECT_EQ(FDesign.BatchesOpened(), 1);
}

TEST_F(PinLinkValues, SwitchingLiveUpdateOffRemovesTheItemsHighlights) {
  Sample(Pin, 1);
  UpdateAll();
  Link->SetUpdateEnabled(false);
  EXPECT_FALSE(Link->UpdateEnabled());
  EXPECT_EQ(Value(L"wire.pin"), L"");
  EXPECT_EQ(Value(L"wire.label"), L"");
  EXPECT_EQ(Value(L"bus.entry"), L"");
  // Lines keep their value until the next update writes them.
  EXPECT_EQ(Value(L"wire.line"), L"1");
  EXPECT_EQ(Value(L"bus.line"), L"0038");
  EXPECT_EQ(FDesign.BatchDepth(), 0);
  // Switching it on writes nothing by itself.
  const int writes = FDesign.Highlight(L"wire.pin").Writes;
  Link->SetUpdateEnabled(true);
  EXPECT_EQ(FDesign.Highlight(L"wire.pin").Writes, writes);
}

TEST_F(PinLinks, APCBNetIsTwoForAHighPinOneForALowAndZeroWhenReset) {
  TFakeDesign::TDocument& pcb = FDesign.AddDocument(nullptr, L"C:\\b\\board.PcbDoc", L"PCB");
  TFakeDesign::TNet& net = FDesign.AddNet(&pcb);
  net.ConnectionCount = 2;
  net.PCBObjectId = L"pcb.net.7";
  FDesign.AddItem(net, &pcb, L"pcb.pad", true, L"7");
  FDesign.AddPcbNet(L"pcb.net.7");
  FDesign.AddSchObject(L"pcb.pad");
  const IScanPin pin = AddScanPin(L"7");
  TScanPinLink link(pin, IDevicePin(), false);
  link.AddNetLink(INet::FromDispatch(net.Object->Dispatch()), -1, TNetLinkKind::eNetLink_Wire);
  const TDocumentLink board(IDocument::FromDispatch(pcb.Object->Dispatch()));

  const struct {
    int32_t Value;
    int32_t Shown;
  } cases[] = {{1, 2}, {0, 1}, {2, 1}};
  for (const auto& c : cases) {
    Sample(pin, c.Value);
    link.NetLinks()[0]->PerformUpdate(board);
    EXPECT_EQ(FDesign.Highlight(L"pcb.net.7").Value, c.Shown) << c.Value;
  }
  // A PCB document's items are not schematic objects.
  EXPECT_EQ(FDesign.Highlight(L"pcb.pad").Writes, 0);

  link.ResetAllObjectsLiveHighlightValue();
  EXPECT_EQ(FDesign.Highlight(L"pcb.net.7").Value, 0);
  // A net found as a PCB net is reset as that only.
  EXPECT_EQ(FDesign.Highlight(L"pcb.pad").Writes, 0);
  EXPECT_EQ(FDesign.BatchDepth(), 0);
}

TEST_F(PinLinks, WithoutAWorkspaceNothingIsWritten) {
  TFakeDesign::TDocument& sch = FDesign.AddDocument(nullptr, L"C:\\f\\top.SchDoc", L"SCH");
  TFakeDesign::TNet& net = FDesign.AddNet(&sch);
  FDesign.AddItem(net, &sch, L"item", true, L"A");
  FDesign.AddSchObject(L"item");
  TScanPinLink link(AddScanPin(L"1"), IDevicePin(), false);
  link.AddNetLink(INet::FromDispatch(net.Object->Dispatch()), -1, TNetLinkKind::eNetLink_Wire);
  const TDocumentLink document(IDocument::FromDispatch(sch.Object->Dispatch()));
  FDesign.OfferWorkspace = false;
  link.NetLinks()[0]->PerformUpdate(document);
  link.ResetAllObjectsLiveHighlightValue();
  EXPECT_EQ(FDesign.Highlight(L"item").Writes, 0);
  EXPECT_EQ(FDesign.BatchesOpened(), 0);
}

TEST_F(PinLinks, ACellWrapperGivesBackItsCell) {
  TBSDLEntity& entity = FChip->Entity();
  TBoundaryCell* cell = TBoundaryCell::Create(entity);
  cell->SetCellNumber(12);
  entity.AddBoundaryCell(cell);
  TScanPin* pin = TScanPin::Create(entity);
  pin->SetPinNumber(L"4");
  pin->AddBoundaryCell(cell);
  entity.AddPin(pin);
  const IScanPin scanPin = IBSDLEntity::FromDispatch(FChip.Get()).GetPin(0);
  const TCellWrapper wrapper(scanPin.GetBoundaryCell(0));
  EXPECT_EQ(wrapper.Cell().GetCellNumber(), 12);
  EXPECT_FALSE(TCellWrapper(IBoundaryCell()).Cell());
}

// ---- the board component list ------------------------------------------------------------

// The pins panel's combo box as the list sees it.
class TTestChooser final : public IBoardComponentChooser {
public:
  // A drop-down list shows only one of its items.
  std::wstring GetText() const override {
    return FItems.IndexOf(FText) >= 0 ? FText : std::wstring();
  }
  void SetText(const std::wstring& AText) override {
    FText = AText;
    if (FAttached)
      ++ChangesHandled;
  }
  TStrings& Items() override { return FItems; }
  void SetEnabled(bool AEnabled) override { Enabled = AEnabled; }
  void SetChangeHandlerAttached(bool AAttached) override { FAttached = AAttached; }

  std::vector<std::wstring> List() const {
    std::vector<std::wstring> out;
    for (int i = 0; i < FItems.Count(); ++i)
      out.push_back(FItems.Strings(i));
    return out;
  }
  // The user picks an item: the text changes and the handler runs.
  void Pick(const std::wstring& AText) { SetText(AText); }

  bool Enabled = true;
  int ChangesHandled = 0;

private:
  TStringList FItems;
  std::wstring FText;
  bool FAttached = true;
};

class BoardComponents : public PinLinks {
protected:
  void SetUp() override {
    PinLinks::SetUp();
    FManager.FLibraryReference = L"LM3S8962";
    FManager.FTargetProjectPath = L"C:\\Fpga\\chip.PrjFpg";
  }
  // A PCB project and its flattened schematic, there at once or made by
  // the first compile.
  TFakeDesign::TDocument& AddBoard(const std::wstring& APath, bool ACompiled = true) {
    TFakeDesign::TProject& project = FDesign.AddProject(APath, L"PCBPROJECT");
    TFakeDesign::TDocument& flattened = FDesign.AddDocument(nullptr, APath + L".flat", L"SCH");
    (ACompiled ? project.Flattened : project.FlattenedOnCompile) = &flattened;
    flattened.Project = &project;
    return flattened;
  }
  std::vector<std::wstring> Descriptions() {
    std::vector<std::wstring> out;
    for (int i = 0; i < FManager.Count(); ++i)
      out.push_back(FManager.Info(i).GetDescription());
    return out;
  }

  TPCBComponentInfoManager FManager;
};

TEST_F(BoardComponents, EveryPCBProjectsChipIsListedOnceTargetLinkedFirst) {
  TFakeDesign::TDocument& first = AddBoard(L"C:\\Boards\\first.PrjPcb");
  FDesign.AddComponent(first, L"U1", L"lm3s8962");
  FDesign.AddComponent(first, L"R1", L"RES");
  FDesign.AddComponent(first, L"U1", L"LM3S8962"); // the same description again
  FDesign.AddProject(L"C:\\Fpga\\chip.PrjFpg", L"FPGAPROJECT");
  TFakeDesign::TDocument& second = AddBoard(L"C:\\Boards\\second.PrjPcb", false);
  FDesign.AddComponent(second, L"U7", L"LM3S8962");
  // A sub-project path relative to the board project.
  FDesign.AddComponent(second, L"U3", L"LM3S8962", L"..\\Fpga\\chip.PrjFpg");
  FDesign.AddComponent(second, L"U4", L"LM3S8962", L"C:\\FPGA\\CHIP.PRJFPG");

  FManager.UpdateComponentsList();
  EXPECT_EQ(Descriptions(),
            (std::vector<std::wstring>{L"second.PrjPcb / U4", L"second.PrjPcb / U3",
                                       L"first.PrjPcb / U1", L"second.PrjPcb / U7"}));
  // The project without a flattened document was compiled; the other not.
  EXPECT_EQ(first.Project->Compiles, 0);
  EXPECT_EQ(second.Project->Compiles, 1);

  const TPCBComponentInfo* info = FManager.GetPCBComponentInfoFromDescription(L"FIRST.prjpcb / u1");
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->FProjectPath, L"C:\\Boards\\first.PrjPcb");
  EXPECT_EQ(info->FComponentDesignator, L"U1");
  EXPECT_EQ(FManager.GetPCBComponentInfoFromDescription(L"first.PrjPcb / R1"), nullptr);

  TStringList list;
  list.Add(L"kept");
  FManager.FillComponentDescriptions(&list);
  EXPECT_EQ(list.Count(), 5);
  EXPECT_EQ(list.Strings(0), L"kept");
  FManager.FillComponentDescriptions(nullptr);
}

TEST_F(BoardComponents, AProjectIsCompiledOnlyWithoutAFlattenedDocument) {
  TFakeDesign::TDocument& compiled = AddBoard(L"C:\\B\\a.PrjPcb");
  FDesign.AddComponent(compiled, L"U1", L"LM3S8962");
  TFakeDesign::TProject& fresh = FDesign.AddProject(L"C:\\B\\b.PrjPcb", L"PCBPROJECT");
  TFakeDesign::TProject& never = FDesign.AddProject(L"C:\\B\\c.PrjPcb", L"PCBPROJECT");
  TFakeDesign::TDocument& flattened = FDesign.AddDocument(nullptr, L"C:\\B\\b.flat", L"SCH");
  fresh.FlattenedOnCompile = &flattened;
  FDesign.AddComponent(flattened, L"U2", L"LM3S8962");
  FManager.UpdateComponentsList();
  EXPECT_EQ(fresh.Compiles, 1);
  EXPECT_EQ(never.Compiles, 1); // compiled, still nothing: no candidates
  EXPECT_EQ(Descriptions(), (std::vector<std::wstring>{L"a.PrjPcb / U1", L"b.PrjPcb / U2"}));
}

TEST_F(BoardComponents, TheHostsDeviceNameRulesMatchOtherReferences) {
  TFakeDesign::TDocument& board = AddBoard(L"C:\\B\\a.PrjPcb");
  FDesign.AddComponent(board, L"U1", L"LM3S8962-IQC50");
  FDesign.AddComponent(board, L"U2", L"OTHER");
  std::vector<std::pair<std::wstring, std::wstring>> asked;
  FHost.DeviceManager().OnCall(kDeviceNamesMatch, [&](TFakeInvocation& AInvocation) {
    asked.emplace_back(AInvocation.Text(0), AInvocation.Text(1));
    AInvocation.ReturnBool(AInvocation.Text(0).rfind(L"LM3S8962", 0) == 0);
    return S_OK;
  });
  FManager.UpdateComponentsList();
  EXPECT_EQ(Descriptions(), (std::vector<std::wstring>{L"a.PrjPcb / U1"}));
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].first, L"LM3S8962-IQC50");
  EXPECT_EQ(asked[0].second, L"LM3S8962");
}

TEST_F(BoardComponents, NothingIsListedWithoutAReferenceOrAPCBProject) {
  TFakeDesign::TProject& fpga = FDesign.AddProject(L"C:\\F\\chip.PrjFpg", L"FPGAPROJECT");
  TFakeDesign::TDocument& flattened = FDesign.AddDocument(nullptr, L"C:\\F\\flat", L"SCH");
  fpga.Flattened = &flattened;
  FDesign.AddComponent(flattened, L"U1", L"LM3S8962");
  FManager.UpdateComponentsList();
  EXPECT_EQ(FManager.Count(), 0);

  TFakeDesign::TDocument& board = AddBoard(L"C:\\B\\a.PrjPcb");
  FDesign.AddComponent(board, L"U1", L"LM3S8962");
  FManager.FLibraryReference.clear();
  FManager.UpdateComponentsList();
  EXPECT_EQ(FManager.Count(), 0);
}

TEST_F(BoardComponents, RefreshingKeepsTheChosenComponentWhileItIsListed) {
  TFakeDesign::TDocument& board = AddBoard(L"C:\\B\\a.PrjPcb");
  TFakeDesign::TComponent& u1 = FDesign.AddComponent(board, L"U1", L"LM3S8962");
  FDesign.AddComponent(board, L"U2", L"LM3S8962");
  TTestChooser chooser;
  RefreshPCBComponentList(FManager, chooser, L"LM3S8962", L"C:\\Fpga\\chip.PrjFpg");
  EXPECT_EQ(chooser.List(), (std::vector<std::wstring>{L"a.PrjPcb / U1", L"a.PrjPcb / U2"}));
  EXPECT_TRUE(chooser.Enabled);
  EXPECT_EQ(chooser.GetText(), L"");

  chooser.Pick(L"a.PrjPcb / U2");
  EXPECT_EQ(chooser.ChangesHandled, 1);
  RefreshPCBComponentList(FManager, chooser, L"LM3S8962", L"C:\\Fpga\\chip.PrjFpg");
  EXPECT_EQ(chooser.GetText(), L"a.PrjPcb / U2");
  // Filling the list relinks nothing.
  EXPECT_EQ(chooser.ChangesHandled, 1);

  // The chosen component is renamed: nothing is selected instead.
  FDesign.AddComponent(board, L"U9", L"LM3S8962");
  board.Components[1]->Designator = L"U5";
  RefreshPCBComponentList(FManager, chooser, L"LM3S8962", L"");
  EXPECT_EQ(chooser.List(),
            (std::vector<std::wstring>{L"a.PrjPcb / U1", L"a.PrjPcb / U5", L"a.PrjPcb / U9"}));
  EXPECT_EQ(chooser.GetText(), L"");
  EXPECT_EQ(chooser.ChangesHandled, 1);
  EXPECT_TRUE(chooser.Enabled);

  // No candidate left: the list is empty and disabled.
  u1.LibraryReference = L"X";
  RefreshPCBComponentList(FManager, chooser, L"NOTHING", L"");
  EXPECT_TRUE(chooser.List().empty());
  EXPECT_FALSE(chooser.Enabled);
}

TEST_F(BoardComponents, TheChosenComponentResolvesToTheBoardsDocumentsAndComponents) {
  TFakeDesign::TProject& project = FDesign.AddProject(L"C:\\B\\a.PrjPcb", L"PCBPROJECT");
  TFakeDesign::TDocument& flattened = FDesign.AddDocument(nullptr, L"C:\\B\\a.flat", L"SCH");
  project.Flattened = &flattened;
  FDesign.AddComponent(flattened, L"R1", L"RES");
  TFakeDesign::TComponent& schChip = FDesign.AddComponent(flattened, L"u1", L"LM3S8962");
  TFakeDesign::TDocument& oldBoard = FDesign.AddDocument(&project, L"C:\\B\\old.PcbDoc", L"PCB");
  FDesign.AddComponent(oldBoard, L"U1", L"LM3S8962");
  TFakeDesign::TDocument& board = FDesign.AddDocument(&project, L"C:\\B\\new.PcbDoc", L"PCB");
  FDesign.AddDocument(&project, L"C:\\B\\sheet.SchDoc", L"SCH");
  // The later board knows its components only through the mappings.
  FDesign.AddComponent(board, L"R1", L"RES", L"", true);
  TFakeDesign::TComponent& pcbChip = FDesign.AddComponent(board, L"U1", L"LM3S8962", L"", true);
  FManager.UpdateComponentsList();

  const TBoardLevelLinks links = FindBoardComponents(FManager, L"a.PrjPcb / U1");
  EXPECT_EQ(links.BoardLevel_Project.Intf(), project.Object->Dispatch());
  EXPECT_EQ(links.BoardLevel_SCHDocument.Intf(), flattened.Object->Dispatch());
  EXPECT_EQ(links.BoardLevel_SCHComponent.Intf(), schChip.Object->Dispatch());
  EXPECT_EQ(links.BoardLevel_PCBDocument.Intf(), board.Object->Dispatch());
  EXPECT_EQ(links.BoardLevel_PCBComponent.Intf(), pcbChip.Object->Dispatch());
  EXPECT_EQ(project.MappingRequests, (std::vector<std::wstring>{L"C:\\B\\new.PcbDoc"}));

  // A board that knows its components is not asked for mappings again.
  FindBoardComponents(FManager, L"a.PrjPcb / U1");
  EXPECT_EQ(project.MappingRequests.size(), 1u);
}

TEST_F(BoardComponents, AMissingCandidateOrProjectLinksNoBoard) {
  TFakeDesign::TProject& project = FDesign.AddProject(L"C:\\B\\a.PrjPcb", L"PCBPROJECT");
  TFakeDesign::TDocument& flattened = FDesign.AddDocument(nullptr, L"C:\\B\\a.flat", L"SCH");
  project.Flattened = &flattened;
  FDesign.AddComponent(flattened, L"U1", L"LM3S8962");
  FManager.UpdateComponentsList();
  const auto isEmpty = [](const TBoardLevelLinks& ALinks) {
    return !ALinks.BoardLevel_Project && !ALinks.BoardLevel_SCHDocument &&
           !ALinks.BoardLevel_SCHComponent && !ALinks.BoardLevel_PCBDocument &&
           !ALinks.BoardLevel_PCBComponent;
  };
  EXPECT_TRUE(isEmpty(FindBoardComponents(FManager, L"")));
  EXPECT_TRUE(isEmpty(FindBoardComponents(FManager, L"a.PrjPcb / U2")));
  // A project without a board: the schematic side only.
  const TBoardLevelLinks schematicOnly = FindBoardComponents(FManager, L"a.PrjPcb / U1");
  EXPECT_TRUE(schematicOnly.BoardLevel_SCHComponent);
  EXPECT_FALSE(schematicOnly.BoardLevel_PCBDocument);
  // The project was closed since the list was made.
  project.FullPath = L"C:\\B\\closed.PrjPcb";
  EXPECT_TRUE(isEmpty(FindBoardComponents(FManager, L"a.PrjPcb / U1")));
}

} // namespace
