// The BSDL reader and the lazy evaluation of the boundary register: a real
// vendor file checked cell by cell against an extraction made here without
// the reader, and small texts for the register's edge cases.

#include "bsdl-file-entity.h"
#include "reader-fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

namespace {

// The vendor file, found in the source tree.
const std::wstring kVendorFile = L"" ORVANDEL_VENDOR_BSDL_FILE;

// One cell as the vendor file writes it.
struct TWrittenCell {
  int Number;
  std::vector<std::string> Fields; // kind, port, function, safe [, control, disable, result]
};

std::string Trimmed(const std::string& AText) {
  const auto first = AText.find_first_not_of(" \t\r\n");
  const auto last = AText.find_last_not_of(" \t\r\n");
  return first == std::string::npos ? std::string() : AText.substr(first, last - first + 1);
}

std::string Upper(std::string AText) {
  for (char& c : AText)
    if (c >= 'a' && c <= 'z')
      c = char(c - 'a' + 'A');
  return AText;
}

// The BOUNDARY_REGISTER attribute of the file: comments dropped, its quoted
// pieces joined, each "number (fields)" entry split at its commas. Plain
// string scanning (std::regex recurses per character and would need a
// deep stack for a text this long).
std::vector<TWrittenCell> ExtractRegister(const std::wstring& AFile) {
  std::ifstream file(std::filesystem::path(AFile), std::ios::binary);
  std::string text;
  for (std::string line; std::getline(file, line);)
    text += line.substr(0, line.find("--")) + "\n";
  const std::string upper = Upper(text);
  std::size_t at = upper.find("ATTRIBUTE BOUNDARY_REGISTER");
  EXPECT_NE(at, std::string::npos);
  at = upper.find("ENTITY IS", at);
  EXPECT_NE(at, std::string::npos);
  const std::string value = text.substr(at + 9, text.find(';', at) - at - 9);
  std::string joined;
  for (std::size_t open = value.find('"'); open != std::string::npos;
       open = value.find('"', open)) {
    std::size_t close = value.find('"', open + 1);
    joined += value.substr(open + 1, close - open - 1);
    open = close + 1;
  }
  std::vector<TWrittenCell> cells;
  const std::regex entry("^\\s*,?\\s*(\\d+)\\s*$");
  for (std::size_t open = joined.find('('), from = 0; open != std::string::npos;
       open = joined.find('(', from)) {
    std::size_t close = joined.find(')', open);
    std::smatch number;
    const std::string head = joined.substr(from, open - from);
    EXPECT_TRUE(std::regex_match(head, number, entry)) << head;
    TWrittenCell cell{std::stoi(number[1].str()), {}};
    std::string fields = joined.substr(open + 1, close - open - 1) + ",";
    for (std::size_t start = 0, comma; (comma = fields.find(',', start)) != std::string::npos;
         start = comma + 1)
      cell.Fields.push_back(Trimmed(fields.substr(start, comma - start)));
    cells.push_back(cell);
    from = close + 1;
  }
  return cells;
}

std::string Narrow(std::wstring_view AText) {
  return std::string(AText.begin(), AText.end());
}

using BSDLReader = ReaderTest;

TEST_F(BSDLReader, VendorFileRegisterAgreesCellByCellWithTheFileText) {
  const std::vector<TWrittenCell> written = ExtractRegister(kVendorFile);
  ASSERT_EQ(written.size(), 139u);

  ASSERT_TRUE(ReadBSDLFile(kVendorFile, FEntities, &FLog, &FSurroundings));
  ASSERT_EQ(FEntities.Count(), 1);
  TBSDLEntity* entity = BSDLEntity(L"STM32F301_F302_LQFP48");
  ASSERT_NE(entity, nullptr);
  EXPECT_EQ(entity->Name, L"STM32F301_F302_LQFP48");
  EXPECT_EQ(entity->Filename, kVendorFile);
  EXPECT_TRUE(entity->UsingLazyEvaluation);
  // Nothing of the register is made before it is asked for.
  EXPECT_FALSE(entity->FProcessedBoundaryInfo);
  EXPECT_TRUE(entity->BoundaryCells.empty());

  entity->EvaluateBoundaryInfo();
  EXPECT_EQ(entity->BoundaryLength, 139);
  ASSERT_EQ(entity->BoundaryCells.size(), 139u);
  for (const TWrittenCell& w : written) {
    SCOPED_TRACE(w.Number);
    ASSERT_GE(w.Number, 0);
    ASSERT_LT(w.Number, 139);
    const TBoundaryCell* cell = entity->BoundaryCells[w.Number];
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->CellNumber, w.Number);
    EXPECT_EQ(Narrow(CellKindName(cell->CellKind)), Upper(w.Fields[0]));
    EXPECT_EQ(Narrow(cell->PortId), w.Fields[1]);
    EXPECT_EQ(Upper(Narrow(CellFunctionName(cell->CellFunction))), Upper(w.Fields[2]));
    EXPECT_EQ(Narrow(BitValueName(cell->SafeBit)), Upper(w.Fields[3]));
    if (w.Fields.size() == 7) {
      EXPECT_EQ(cell->ControlCellNumber, std::stoi(w.Fields[4]));
      EXPECT_EQ(Narrow(BitValueName(cell->DisableValue)), Upper(w.Fields[5]));
      EXPECT_EQ(Narrow(DisableResultName(cell->DisableResult)), Upper(w.Fields[6]));
      ASSERT_NE(cell->ControlCell, nullptr);
      EXPECT_EQ(cell->ControlCell->CellNumber, std::stoi(w.Fields[4]));
    } else {
      EXPECT_EQ(cell->ControlCellNumber, -1);
      EXPECT_EQ(cell->ControlCell, nullptr);
    }
  }

  // The cells the task names, spelled out.
  const TBoundaryCell* c137 = entity->BoundaryCells[137];
  EXPECT_EQ(c137->CellKind, eCellKind_BC_1);
  EXPECT_EQ(c137->PortId, L"PC13");
  EXPECT_EQ(c137->CellFunction, eCellFunction_Output3);
  EXPECT_EQ(c137->SafeBit, eBit_X);
  EXPECT_EQ(c137->ControlCellNumber, 138);
  EXPECT_EQ(c137->DisableValue, eBit_1);
  EXPECT_EQ(c137->DisableResult, eDisableResult_HiZ);
  ASSERT_NE(entity->BoundaryCells[138]->TargetCell, nullptr);
  EXPECT_EQ(entity->BoundaryCells[138]->TargetCell->CellNumber, 137);

  EXPECT_EQ(FLog, (std::vector<std::wstring>{L"New Entity:STM32F301_F302_LQFP48"}));
  EXPECT_EQ(FSurroundings.LogText(L"BSDL Parser.log"), "New Entity:STM32F301_F302_LQFP48\r\n");
}

// An entity whose register is the given text.
std::wstring EntityWithRegister(const std::wstring& ARegister, const std::wstring& ALength = L"") {
  std::wstring text = L"entity CHIP is\n"
                      L"  port (A : inout bit; B : in bit);\n";
  if (!ALength.empty())
    text += L"  attribute BOUNDARY_LENGTH of CHIP : entity is " + ALength + L";\n";
  text += L"  attribute BOUNDARY_REGISTER of CHIP : entity is\n" + ARegister +
          L";\n"
          L"end CHIP;\n";
  return text;
}

struct TRegisterCase {
  const char* Name;
  const wchar_t* Register;
  std::vector<int> Numbers; // the cell number in each slot, -1 for an empty slot
};

class RegisterText : public ReaderTest, public ::testing::WithParamInterface<TRegisterCase> {};

TEST_P(RegisterText, PutsEachCellAtTheIndexOfItsNumber) {
  ASSERT_TRUE(ReadBSDL(EntityWithRegister(GetParam().Register, L"3")));
  TBSDLEntity* chip = BSDLEntity(L"CHIP");
  chip->EvaluateBoundaryInfo();
  std::vector<int> numbers;
  for (const TBoundaryCell* cell : chip->BoundaryCells)
    numbers.push_back(cell ? cell->CellNumber : -1);
  EXPECT_EQ(numbers, GetParam().Numbers);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegisterText,
    ::testing::Values(
        TRegisterCase{"InTextOrder", L"\"0 (BC_1, A, input, X), 1 (BC_1, B, input, X)\"", {0, 1}},
        TRegisterCase{"HighestFirst",
                      L"\"2 (BC_1, *, control, 1),\" & \"1 (BC_1, A, output3, X, 2, 1, Z),\" &"
                      L" \"0 (BC_1, A, input, X)\"",
                      {0, 1, 2}},
        // The whole number is read when it stands right against its "(".
        TRegisterCase{"NumberAgainstParenthesis",
                      L"\"10(BC_1, A, input, X), 0(BC_1, B, input, X)\"",
                      {0, -1, -1, -1, -1, -1, -1, -1, -1, -1, 10}},
        TRegisterCase{"BlanksBeforeParenthesis",
                      L"\"1    (BC_1, A, input, X), 0 (BC_1, B, input, X)\"",
                      {0, 1}},
        // A number left out leaves its slot empty instead of failing.
        TRegisterCase{
            "GapInNumbers", L"\"0 (BC_1, A, input, X), 2 (BC_1, B, input, X)\"", {0, -1, 2}},
        // An entry that cannot be read ends the register quietly.
        TRegisterCase{"MalformedEntryEndsTheRegister",
                      L"\"0 (BC_1, A, input, X), x1 (BC_1, B, input, X), 2 (BC_1, B, input, X)\"",
                      {0}},
        TRegisterCase{"LaterEntryOfTheSameNumberWins",
                      L"\"0 (BC_1, A, input, X), 0 (BC_2, B, input, X)\"",
                      {0, -1}}),
    [](const auto& AInfo) { return std::string(AInfo.param.Name); });

TEST_F(BSDLReader, GapInCellNumbersAnswersAnEmptySlot) {
  ASSERT_TRUE(ReadBSDL(
      EntityWithRegister(L"\"0 (BC_1, *, control, 1), 3 (BC_1, A, output3, X, 0, 1, Z)\"", L"4")));
  TBSDLEntity* chip = BSDLEntity(L"CHIP");
  chip->EvaluateBoundaryInfo();
  ASSERT_EQ(chip->BoundaryCells.size(), 4u);
  EXPECT_EQ(chip->BoundaryCells[1], nullptr);
  EXPECT_EQ(chip->BoundaryCells[2], nullptr);
  EXPECT_EQ(chip->BoundaryCells[3]->ControlCell, chip->BoundaryCells[0]);
  EXPECT_EQ(chip->BoundaryCells[0]->TargetCell, chip->BoundaryCells[3]);
  EXPECT_TRUE(chip->FProcessedBoundaryInfo);
}

TEST_F(BSDLReader, ControlCellNamingAnEmptySlotLinksNothing) {
  ASSERT_TRUE(ReadBSDL(
      EntityWithRegister(L"\"0 (BC_1, A, output3, X, 1, 1, Z), 2 (BC_1, A, input, X)\"", L"3")));
  TBSDLEntity* chip = BSDLEntity(L"CHIP");
  chip->EvaluateBoundaryInfo();
  EXPECT_EQ(chip->BoundaryCells[0]->ControlCellNumber, 1);
  EXPECT_EQ(chip->BoundaryCells[0]->ControlCell, nullptr);
}

TEST_F(BSDLReader, SecondQueryDoesNotParseAgain) {
  ASSERT_TRUE(ReadBSDL(EntityWithRegister(L"\"0 (BC_1, A, input, X)\"", L"1")));
  TBSDLEntity* chip = BSDLEntity(L"CHIP");
  chip->EvaluateBoundaryInfo();
  ASSERT_EQ(chip->BoundaryCells.size(), 1u);
  const TBoundaryCell* first = chip->BoundaryCells[0];
  // Were the text read again, these would show.
  for (int i = 0; i < chip->Attributes.Count(); ++i) {
    auto* attribute = dynamic_cast<TVHDLAttribute*>(chip->Attributes.Object(i));
    attribute->AttributeExpression = L"7";
    if (SameTextIgnoringCase(attribute->AttributeDesignator, L"BOUNDARY_REGISTER"))
      attribute->AttributeExpression = L"0 (BC_2, B, input, X), 1 (BC_2, B, input, X)";
  }
  chip->EvaluateBoundaryInfo();
  EXPECT_EQ(chip->BoundaryLength, 1);
  ASSERT_EQ(chip->BoundaryCells.size(), 1u);
  EXPECT_EQ(chip->BoundaryCells[0], first);
}

TEST_F(BSDLReader, WithoutBoundaryLengthTheLengthIsZero) {
  ASSERT_TRUE(ReadBSDL(EntityWithRegister(L"\"0 (BC_1, A, input, X)\"")));
  TBSDLEntity* chip = BSDLEntity(L"CHIP");
  chip->EvaluateBoundaryInfo();
  EXPECT_EQ(chip->BoundaryLength, 0);
  EXPECT_EQ(chip->BoundaryCells.size(), 1u);
}

TEST_F(BSDLReader, CellItemsAreLookedUpIgnoringCase) {
  ASSERT_TRUE(ReadBSDL(
      EntityWithRegister(L"\"0 (bc_7, A, BIDIR, x, 1, 0, pull1), 1 (BC_1, *, CONTROLR, 0),\" &"
                         L"\"2 (BC_0, B, observe_only, X), 3 (BC_99, B, nonsense, Q)\"",
                         L"4")));
  TBSDLEntity* chip = BSDLEntity(L"CHIP");
  chip->EvaluateBoundaryInfo();
  ASSERT_EQ(chip->BoundaryCells.size(), 4u);
  const TBoundaryCell* bidir = chip->BoundaryCells[0];
  EXPECT_EQ(bidir->CellKind, eCellKind_BC_7);
  EXPECT_EQ(bidir->CellFunction, eCellFunction_BiDir);
  EXPECT_EQ(bidir->SafeBit, eBit_X);
  EXPECT_EQ(bidir->DisableValue, eBit_0);
  EXPECT_EQ(bidir->DisableResult, eDisableResult_Pull1);
  EXPECT_EQ(chip->BoundaryCells[1]->CellFunction, eCellFunction_ControlR);
  // The standard's spelling of the observe-only function.
  EXPECT_EQ(chip->BoundaryCells[2]->CellFunction, eCellFunction_ObserveOnly);
  const TBoundaryCell* unknown = chip->BoundaryCells[3];
  EXPECT_EQ(unknown->CellKind, eCellKind_Undefined);
  EXPECT_EQ(unknown->CellFunction, eCellFunction_Undefined);
  EXPECT_EQ(unknown->SafeBit, eBit_Undefined);
}

TEST_F(BSDLReader, BuilderEntityIsNeverEvaluated) {
  TBSDLEntity entity;
  auto attribute = std::make_unique<TVHDLAttribute>();
  attribute->AttributeDesignator = L"Boundary_Length";
  attribute->AttributeExpression = L"9";
  AddAttribute(entity, std::move(attribute));
  entity.EvaluateBoundaryInfo();
  EXPECT_EQ(entity.BoundaryLength, 0);
  EXPECT_FALSE(entity.FProcessedBoundaryInfo);
}

TEST_F(BSDLReader, TwoEntitiesOfOneFileAreBothRead) {
  TBSDLParser* reader = nullptr;
  ASSERT_TRUE(ReadBSDL(L"entity ONE is end ONE;\nentity TWO is end TWO;\n", &reader));
  EXPECT_FALSE(reader->DidErrorOccur());
  EXPECT_EQ(FLog, (std::vector<std::wstring>{L"New Entity:ONE", L"New Entity:TWO"}));
}

TEST_F(BSDLReader, AMissingFileReadsNothing) {
  EXPECT_FALSE(ReadBSDLFile(L"no-such-folder/none.bsd", FEntities));
  EXPECT_EQ(FEntities.Count(), 0);
}

// What a driver hands the host for a file it found: the read entity with
// its pins, test-access pins and op-codes made from the file.
TEST_F(BSDLReader, VendorFileMakesAWholeEntity) {
  std::unique_ptr<TBSDLEntity> entity = ReadCompleteBSDLEntity(kVendorFile, &FSurroundings);
  ASSERT_NE(entity, nullptr);
  EXPECT_EQ(entity->Name, L"STM32F301_F302_LQFP48");
  EXPECT_EQ(entity->Parser, nullptr);
  // VSS4 and VDD4 are declared but not in the pin map: 48 package pins.
  ASSERT_EQ(entity->Pins.size(), 48u);
  struct TTap {
    TScanPin* TBSDLEntity::*Pin;
    const wchar_t* Name;
    const wchar_t* Number;
    TScanPinKind Kind;
  };
  const TTap taps[] = {{&TBSDLEntity::TAP_TDI, L"JTDI", L"38", eScanPinKind_TDI},
                       {&TBSDLEntity::TAP_TDO, L"JTDO", L"39", eScanPinKind_TDO},
                       {&TBSDLEntity::TAP_TMS, L"JTMS", L"34", eScanPinKind_TMS},
                       {&TBSDLEntity::TAP_TCK, L"JTCK", L"37", eScanPinKind_TCK},
                       {&TBSDLEntity::TAP_TRST, L"JTRST", L"40", eScanPinKind_TRST}};
  for (const TTap& tap : taps) {
    const TScanPin* pin = (*entity).*tap.Pin;
    ASSERT_NE(pin, nullptr) << tap.Name;
    EXPECT_EQ(pin->PinName, tap.Name);
    EXPECT_EQ(pin->PinNumber, tap.Number);
    EXPECT_EQ(pin->Kind, tap.Kind);
  }
  EXPECT_EQ(entity->InstructionLength, 5);
  ASSERT_EQ(entity->InstructionOpCodes.size(), 5u);
  EXPECT_EQ(entity->InstructionOpCodes[3]->GetDescription(), L"PRELOAD(00010)");
  EXPECT_EQ(entity->Instruction_BYPASS, 0x1Fu);
  EXPECT_EQ(entity->Instruction_EXTEST, 0u);
  EXPECT_EQ(entity->Instruction_SAMPLE, 2u);
  EXPECT_EQ(entity->Instruction_IDCODE, 1u);
  EXPECT_EQ(entity->Instruction_CLAMP, TBSDLEntity::UndefinedInstruction);
  EXPECT_EQ(entity->ScanClockMaxSpeed, 10.0e6);
  EXPECT_EQ(entity->ScanClockHaltMode, eScanClockHaltMode_Both);
  EXPECT_EQ(entity->ConformanceStatement, L"STD_1149_1_2001");
  EXPECT_EQ(entity->CompliancePattern, L"(NRST) (0)");
  EXPECT_EQ(entity->Instruction_Capture, L"XXX01");
  // The version bits are not fixed: no IDCODE.
  EXPECT_EQ(entity->IdCode, 0u);

  // The register links its cells to the pins when it is first asked for.
  auto pc13 = std::find_if(entity->Pins.begin(), entity->Pins.end(),
                           [](const TScanPin* p) { return p->PinName == L"PC13"; });
  ASSERT_NE(pc13, entity->Pins.end());
  EXPECT_EQ((*pc13)->PinNumber, L"2");
  ASSERT_NE((*pc13)->PinMapping, nullptr);
  EXPECT_EQ((*pc13)->PinMapping->ScanPin, *pc13);
  EXPECT_TRUE((*pc13)->BoundaryCells.empty());
  entity->EvaluateBoundaryInfo();
  ASSERT_EQ((*pc13)->BoundaryCells.size(), 2u);
  EXPECT_EQ((*pc13)->BoundaryCells[0]->CellNumber, 136);
  EXPECT_EQ((*pc13)->BoundaryCells[1]->CellNumber, 137);
  EXPECT_EQ(entity->BoundaryCells[137]->Pin, *pc13);
  auto vdda = std::find_if(entity->Pins.begin(), entity->Pins.end(),
                           [](const TScanPin* p) { return p->PinName == L"VDDA"; });
  ASSERT_NE(vdda, entity->Pins.end());
  EXPECT_EQ((*vdda)->Kind, eScanPinKind_Power);
  EXPECT_EQ((*vdda)->Direction, eElectricPower);
}

TEST_F(BSDLReader, VectorPortsGiveOnePinPerElementInRangeOrder) {
  ASSERT_TRUE(
      ReadBSDL(L"entity CHIP is\n"
               L"  generic (PHYSICAL_PIN_MAP : string := \"B\");\n"
               L"  port (D : inout bit_vector(2 downto 0); GND : linkage bit_vector(1 to 2));\n"
               L"  constant A : PIN_MAP_STRING := \"D : (9, 8, 7), GND : (1, 2)\";\n"
               L"  constant B : PIN_MAP_STRING := \"D : (3, 4, 5),\" & \"GND : (6, 10)\";\n"
               L"end CHIP;\n"));
  std::unique_ptr<TVHDLObject> object = FEntities.Release(0);
  auto* chip = dynamic_cast<TBSDLEntity*>(object.get());
  ASSERT_NE(chip, nullptr);
  CompleteBSDLEntity(*chip);
  std::vector<std::wstring> pins;
  for (const TScanPin* pin : chip->Pins)
    pins.push_back(pin->PinName + L"=" + pin->PinNumber);
  EXPECT_EQ(pins, (std::vector<std::wstring>{L"D(2)=3", L"D(1)=4", L"D(0)=5", L"GND(1)=6",
                                             L"GND(2)=10"}));
  EXPECT_EQ(chip->Pins[3]->Kind, eScanPinKind_Ground);
  EXPECT_EQ(chip->Pins[0]->Kind, eScanPinKind_Normal);
}

TEST_F(BSDLReader, AFileWithAnErrorGivesNoEntity) {
  const std::filesystem::path file =
      std::filesystem::path(FSurroundings.LogFolder()) / "broken.bsd";
  std::ofstream(file) << "entity X is\n port (A : in bit\nend X;\n";
  EXPECT_EQ(ReadCompleteBSDLEntity(file.wstring(), &FSurroundings), nullptr);
  EXPECT_EQ(FSurroundings.Posted.size(), 1u);
}

} // namespace
