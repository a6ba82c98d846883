// The VHDL text reader over texts written here: what it reads into the
// model, what it logs, and how it reports the first error.

#include "reader-fixture.h"

#include <gtest/gtest.h>

namespace {

using VHDLReader = ReaderTest;

struct TRegionCase {
  const wchar_t* Off;
  const wchar_t* On;
};

class SwitchedOffRegion : public ReaderTest, public ::testing::WithParamInterface<TRegionCase> {};

// Everything between the two comments is passed over, also text the reader
// could not read.
TEST_P(SwitchedOffRegion, IsPassedOverAsOneComment) {
  const std::wstring text = std::wstring(L"entity FIRST is end FIRST;\n") + GetParam().Off +
                            L"\n"
                            L"entity HIDDEN is\n"
                            L"  port ( : : garbage ;\n"
                            L"end HIDDEN;\n" +
                            GetParam().On +
                            L" and the rest of this line\n"
                            L"entity LAST is end LAST;\n";
  EXPECT_TRUE(ReadVHDL(text)) << FVHDLReader->ErrorMessage();
  EXPECT_NE(Entity(L"FIRST"), nullptr);
  EXPECT_EQ(Entity(L"HIDDEN"), nullptr);
  EXPECT_NE(Entity(L"LAST"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Pragmas, SwitchedOffRegion,
    ::testing::Values(TRegionCase{L"-- synopsys translate_off", L"-- synopsys translate_on"},
                      TRegionCase{L"--  SYNOPSYS Translate_Off", L"--synopsys translate_on"},
                      TRegionCase{L"-- rtl_synthesis off", L"-- rtl_synthesis on"}));

TEST_F(VHDLReader, ACommentThatOnlyMentionsThePragmaWordIsAnOrdinaryComment) {
  EXPECT_TRUE(ReadVHDL(L"-- synopsys is the vendor of this file\n"
                       L"entity ONE is end ONE;\n"));
  EXPECT_NE(Entity(L"ONE"), nullptr);
}

TEST_F(VHDLReader, RedeclaredEntityStopsAtItsNameAndMovesTheEditorThere) {
  EXPECT_FALSE(ReadVHDL(L"entity chip is\n"
                        L"end chip;\n"
                        L"entity CHIP is\n"
                        L"end CHIP;\n"));
  const std::wstring message = L"Entity CHIP Redeclared at Line: 3 Offset: 8";
  EXPECT_EQ(FVHDLReader->ErrorMessage(), message);
  EXPECT_EQ(FVHDLReader->Error_LineNumber, 3);
  EXPECT_EQ(FVHDLReader->Error_ColumnNumber, 8);
  ASSERT_EQ(FSurroundings.Posted.size(), 1u);
  EXPECT_EQ(FSurroundings.Posted[0], message);
  EXPECT_EQ(FSurroundings.PostedFor, L"C:\\src\\top.vhd");
  ASSERT_EQ(FSurroundings.EditorMoves.size(), 1u);
  EXPECT_EQ(FSurroundings.EditorMoves[0], std::make_pair(3, 8));
  // The first entity stays read.
  EXPECT_EQ(FEntities.Count(), 1);
}

TEST_F(VHDLReader, AnErrorOutsideAnArchitectureNamesItsPosition) {
  EXPECT_FALSE(ReadVHDL(L"entity chip is\n"
                        L"  port (a : in bit;\n"
                        L"        b : in bit\n"
                        L"        c : out bit);\n"
                        L"end chip;\n"));
  EXPECT_EQ(FVHDLReader->ErrorMessage(), L"Expected ) at Line: 4 Offset: 9");
  EXPECT_EQ(FSurroundings.EditorMoves.size(), 1u);
}

TEST_F(VHDLReader, AnErrorInsideAnArchitectureIsSilent) {
  EXPECT_FALSE(ReadVHDL(L"entity chip is\n"
                        L"  port (a : in bit);\n"
                        L"end chip;\n"
                        L"architecture rtl of chip is\n"
                        L"begin\n"
                        L"  u1 : nothere port map (a);\n"
                        L"end rtl;\n"));
  EXPECT_EQ(FVHDLReader->Error_LineNumber, 6);
  EXPECT_TRUE(FVHDLReader->ErrorMessage().empty());
  EXPECT_TRUE(FSurroundings.Posted.empty());
  EXPECT_TRUE(FSurroundings.EditorMoves.empty());
}

TEST_F(VHDLReader, AnArchitectureOfAnUnknownEntityStopsSilently) {
  EXPECT_FALSE(ReadVHDL(L"architecture rtl of nowhere is begin end rtl;\n"));
  EXPECT_TRUE(FSurroundings.Posted.empty());
  EXPECT_NE(FVHDLReader->Error_LineNumber, -1);
}

TEST_F(VHDLReader, PortsKeepModeTypeAndRange) {
  ASSERT_TRUE(ReadVHDL(L"entity chip is\n"
                       L"  generic (WIDTH : integer := 8);\n"
                       L"  port (DATA : in std_logic_vector(7 downto 0);\n"
                       L"        COUNT : out integer range 0 to 7;\n"
                       L"        B3 : inout bit_vector(3);\n"
                       L"        X, Y : buffer bit);\n"
                       L"end entity chip;\n"));
  TEntity* chip = Entity(L"CHIP");
  ASSERT_NE(chip, nullptr);
  EXPECT_EQ(chip->Name, L"chip");
  ASSERT_EQ(chip->Ports.Count(), 5);
  auto* data = dynamic_cast<TVHDLPort*>(chip->Ports.Find(L"DATA"));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->GetState_StringDescriptor(), L"Port DATA Input : std_logic_vector(7 downto 0)");
  EXPECT_EQ(data->GetState_AsSchematicId(), L"DATA[7..0]");
  EXPECT_EQ(data->ElementIndex, 0);
  auto* count = dynamic_cast<TVHDLPort*>(chip->Ports.Find(L"COUNT"));
  ASSERT_NE(count, nullptr);
  EXPECT_EQ(count->FMode, eElectricOutput);
  EXPECT_EQ(count->Expression1, L"0");
  EXPECT_EQ(count->Expression2, L"7");
  EXPECT_EQ(count->FArrayDirection, VHDLWord_To);
  auto* b3 = dynamic_cast<TVHDLPort*>(chip->Ports.Find(L"B3"));
  ASSERT_NE(b3, nullptr);
  EXPECT_EQ(b3->GetState_AsSchematicId(), L"B33");
  auto* y = dynamic_cast<TVHDLPort*>(chip->Ports.Find(L"Y"));
  ASSERT_NE(y, nullptr);
  EXPECT_EQ(y->FMode, eElectricOpenCollector);
  EXPECT_EQ(y->ElementIndex, 4);
  auto* width = dynamic_cast<TVHDLGeneric*>(chip->Generics.Find(L"WIDTH"));
  ASSERT_NE(width, nullptr);
  EXPECT_EQ(width->DefaultValue, L"8");
  // The objects read keep no link to the reader once the pass is over.
  EXPECT_EQ(chip->Parser, nullptr);
  EXPECT_EQ(data->Parser, nullptr);
}

TEST_F(VHDLReader, AttributesAndConstantsAreUnquoted) {
  ASSERT_TRUE(ReadVHDL(L"entity chip is\n"
                       L"  attribute NOTE of chip, other : entity is \"one,\" &\n"
                       L"     \"two\";\n"
                       L"  attribute KIND : string;\n"
                       L"  constant PKG, ALT : PIN_MAP_STRING := \"A : 1,\" & \"B : 2\";\n"
                       L"end chip;\n"));
  TEntity* chip = Entity(L"CHIP");
  ASSERT_EQ(chip->Attributes.Count(), 2);
  auto* note = dynamic_cast<TVHDLAttribute*>(chip->Attributes.Object(0));
  EXPECT_EQ(note->AttributeDesignator, L"NOTE");
  EXPECT_EQ(note->AttributeKind, eAttributeKind_Specification);
  EXPECT_EQ(note->AttributeTarget, eAttributeTarget_List);
  EXPECT_EQ(note->TargetList, (std::vector<std::wstring>{L"chip", L"other"}));
  EXPECT_EQ(note->AttributeTargetKind, VHDLWordId(L"entity"));
  EXPECT_EQ(note->AttributeExpression, L"one, two");
  auto* kind = dynamic_cast<TVHDLAttribute*>(chip->Attributes.Object(1));
  EXPECT_EQ(kind->AttributeKind, eAttributeKind_Declaration);
  auto* pkg = dynamic_cast<TVHDLConstant*>(chip->Constants.Object(0));
  EXPECT_EQ(pkg->ConstantDesignators, (std::vector<std::wstring>{L"PKG", L"ALT"}));
  EXPECT_EQ(pkg->ConstantTypeId, L"PIN_MAP_STRING");
  EXPECT_EQ(pkg->ConstantExpression, L"A : 1, B : 2");
}

TEST_F(VHDLReader, AnAttributeOfNoEntityClassFails) {
  EXPECT_FALSE(ReadVHDL(L"entity chip is\n"
                        L"  attribute NOTE of chip : thing is 1;\n"
                        L"end chip;\n"));
  EXPECT_EQ(FVHDLReader->ErrorMessage(),
            L"Entity Class Expected (Entity..Units) at Line: 2 Offset: 28");
}

constexpr const wchar_t* kDesign = L"entity top is\n"
                                   L"  port (a, b : in bit; y : out bit);\n"
                                   L"end top;\n"
                                   L"architecture rtl of top is\n"
                                   L"  signal s : bit;\n"
                                   L"  component and2 is\n"
                                   L"    port (i0, i1 : in bit; o : out bit);\n"
                                   L"  end component;\n"
                                   L"begin\n"
                                   L"  u1 : and2 port map (i0 => a, i1 => b, o => s);\n"
                                   L"  u2 : and2 port map (s, b, y);\n"
                                   L"  p1 : process (a)\n"
                                   L"  begin\n"
                                   L"    null;\n"
                                   L"  end process p1;\n"
                                   L"  y <= s;\n"
                                   L"end rtl;\n";

TEST_F(VHDLReader, ComponentInstancesMapTheirPortsOntoSignalsAndPorts) {
  ASSERT_TRUE(ReadVHDL(kDesign)) << FVHDLReader->ErrorMessage();
  TEntity* top = Entity(L"TOP");
  ASSERT_EQ(top->ComponentDeclarations.Count(), 1);
  ASSERT_EQ(top->ComponentInstances.Count(), 2);
  auto* u2 = dynamic_cast<TComponentInstance*>(top->ComponentInstances.Find(L"U2"));
  ASSERT_NE(u2, nullptr);
  EXPECT_EQ(u2->ComponentType, L"and2");
  ASSERT_EQ(u2->PortMap.Count(), 3);
  // Positional elements take the declaration's ports in order.
  auto* s = dynamic_cast<TVHDLSignal*>(top->Signals.Find(L"S"));
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(s->MappedPorts.Count(), 2);
  auto* y = dynamic_cast<TVHDLPort*>(top->Ports.Find(L"Y"));
  ASSERT_EQ(y->MappedPorts.Count(), 1);
  const std::string log = FSurroundings.LogText(L"VHDL Parser.log");
  EXPECT_NE(log.find("New Entity:TOP\r\n"), std::string::npos);
  EXPECT_NE(log.find("New Architecture: rtl For Entity:top\r\n"), std::string::npos);
  EXPECT_NE(log.find("Component Declaration :AND2\r\n"), std::string::npos);
  EXPECT_NE(log.find("Component Instance:u1 Type:and2\r\n"), std::string::npos);
  EXPECT_NE(log.find("Adding AssociationElement:Port Map u2-o => y(Port)\r\n"), std::string::npos);
  EXPECT_NE(log.find("Found PortAssignment:Port y Output : bit <= s\r\n"), std::string::npos);
  EXPECT_NE(log.find("PortConnectedToSignal:Port y Output : bit To Signal s I/O : bit\r\n"),
            std::string::npos);
  EXPECT_EQ(FSurroundings.Statuses.front(), L"Entity:TOP");
}

// An instance read with an error is dropped, and nothing keeps pointing at
// the elements it had mapped before the error.
TEST_F(VHDLReader, AnInstanceWithAnErrorLeavesNoMappedElementBehind) {
  EXPECT_FALSE(ReadVHDL(L"entity top is port (a : in bit); end top;\n"
                        L"architecture rtl of top is\n"
                        L"  component buf port (i : in bit); end component;\n"
                        L"begin\n"
                        L"  u1 : buf port map (i => a, nopin => a);\n"
                        L"end rtl;\n"));
  TEntity* top = Entity(L"TOP");
  EXPECT_EQ(top->ComponentInstances.Count(), 0);
  EXPECT_EQ(dynamic_cast<TVHDLPort*>(top->Ports.Find(L"A"))->MappedPorts.Count(), 0);
  EXPECT_TRUE(FSurroundings.Posted.empty());
}

TEST_F(VHDLReader, ALaterPassOverwritesTheLog) {
  ASSERT_TRUE(ReadVHDL(L"entity one is end one;\n"));
  FEntities = TVHDLEntities();
  ASSERT_TRUE(ReadVHDL(L"entity two is end two;\n"));
  const std::string log = FSurroundings.LogText(L"VHDL Parser.log");
  EXPECT_EQ(log, "New Entity:TWO\r\n");
}

// Surroundings whose status bar fails from its second use on, as a host's
// call may.
class TFailingStatus : public TRecordingSurroundings {
public:
  using TRecordingSurroundings::TRecordingSurroundings;
  void ShowStatus(const std::wstring& AText) override {
    if (!Statuses.empty())
      throw std::runtime_error("no status bar");
    Statuses.push_back(AText);
  }
};

// The failure ends the pass for the caller, but the pass still ends as
// every pass does: its log in place, the entities read let go of the reader.
TEST(VHDLReaderSurroundings, AFailingHostCallEndsThePassWithTheLogClosed) {
  TFailingStatus surroundings(TestFolder());
  TVHDLEntities entities;
  TVHDLTextReader reader(entities, L"C:\\src\\top.vhd", &surroundings);
  const std::vector<std::wstring> text = LinesOf(L"entity ONE is end ONE;\n"
                                                 L"entity TWO is end TWO;\n");
  EXPECT_THROW(reader.Run(text), std::runtime_error);
  ASSERT_EQ(entities.Count(), 1);
  EXPECT_EQ(entities.Object(0)->Parser, nullptr);
  EXPECT_EQ(surroundings.LogText(L"VHDL Parser.log"), "New Entity:ONE\r\n");
  EXPECT_TRUE(surroundings.Posted.empty());
}

} // namespace
