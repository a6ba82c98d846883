#include "vhdl-model.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// A reader standing at a fixed place that logs what it is given and answers
// each primitive with a canned text, recording what was asked.
class TStubParser : public TVHDLParser {
public:
  std::int32_t CurrentLine() const override { return Line; }
  std::int32_t CurrentTokenColumn() const override { return Column; }
  void LogLine(const std::wstring& AText) override { Log.push_back(AText); }
  void ExpectReservedWord(std::int32_t AWordId) override {
    Asked.push_back(L"word " + std::to_wstring(AWordId));
  }
  std::wstring ExpectIdentifier() override { return L"ident"; }
  std::wstring ExpectIdentifierOrConstant() override { return L"ident-or-constant"; }
  std::wstring ExpectExpression(std::int32_t ALimit1, std::int32_t ALimit2) override {
    return L"glued " + std::to_wstring(ALimit1) + L"," + std::to_wstring(ALimit2);
  }
  std::wstring ExpectExpression(std::int32_t ALimit1, std::int32_t ALimit2,
                                std::int32_t ALimit3) override {
    return L"spaced " + std::to_wstring(ALimit1) + L"," + std::to_wstring(ALimit2) + L"," +
           std::to_wstring(ALimit3);
  }
  std::int32_t PeekReservedWord() override { return VHDLWord_To; }
  std::wstring PeekIdentifier() override { return L"peeked"; }

  std::int32_t Line = 0;
  std::int32_t Column = 0;
  std::vector<std::wstring> Log;
  std::vector<std::wstring> Asked;
};

// ---- name tables --------------------------------------------------------------

TEST(VHDLNameTables, ElementKindNamesFollowTheOrdinals) {
  const std::vector<std::pair<TElementKind, const wchar_t*>> cases = {
      {eElementAbstract, L"Abstract Element"},  {eElementPortDeclaration, L"Port"},
      {eElementGenericDeclaration, L"Generic"}, {eElementPortMap, L"Port Map"},
      {eElementGenericMap, L"Generic Map"},     {eElementSignalDeclaration, L"Signal"}};
  for (const auto& [kind, name] : cases)
    EXPECT_EQ(ElementKindName(kind), name) << int(kind);
}

TEST(VHDLNameTables, ReservedWordIdentifiersAreTheReadersIndexes) {
  const std::vector<std::pair<std::int32_t, const wchar_t*>> cases = {{0, L"'"},
                                                                      {2, L"\""},
                                                                      {13, L":="},
                                                                      {23, L">="},
                                                                      {24, L"abs"},
                                                                      {30, L"architecture"},
                                                                      {44, L"downto"},
                                                                      {47, L"end"},
                                                                      {48, L"entity"},
                                                                      {59, L"is"},
                                                                      {73, L"of"},
                                                                      {93, L"signal"},
                                                                      {97, L"to"},
                                                                      {99, L"translate_on"},
                                                                      {100, L"translate_off"},
                                                                      {105, L"variable"}};
  EXPECT_EQ(VHDLReservedWords.size(), 106u);
  for (const auto& [id, word] : cases)
    EXPECT_EQ(VHDLReservedWord(id), word) << id;
}

TEST(VHDLNameTables, AValueOutsideItsTableHasTheEmptyName) {
  EXPECT_EQ(ElementKindName(static_cast<TElementKind>(6)), L"");
  EXPECT_EQ(ElementKindName(static_cast<TElementKind>(255)), L"");
  EXPECT_EQ(VHDLReservedWord(-1), L"");
  EXPECT_EQ(VHDLReservedWord(106), L"");
  EXPECT_EQ(VHDLReservedWord(0x7FFFFFFF), L"");
}

// ---- source position and the reader -------------------------------------------

TEST(VHDLObjects, ObjectReadFromATextRecordsItsPositionCountedFromOne) {
  TStubParser parser;
  parser.Line = 4;
  parser.Column = 10;
  TVHDLPort port(&parser);
  EXPECT_EQ(port.LineNumber, 5);
  EXPECT_EQ(port.ColumnNumber, 11);
  EXPECT_EQ(port.Parser, &parser);

  // An entity takes the position again once its name is read.
  TComponentDeclaration declaration(&parser);
  parser.Line = 6;
  parser.Column = 2;
  declaration.RecordSourcePosition();
  EXPECT_EQ(declaration.LineNumber, 7);
  EXPECT_EQ(declaration.ColumnNumber, 3);
}

TEST(VHDLObjects, EveryClassMadeWithoutAReaderReportsLineAndColumn9999) {
  TEntity entity;
  TComponentInstance instance(nullptr, &entity);
  std::vector<std::unique_ptr<TVHDLObject>> objects;
  objects.push_back(std::make_unique<TInterfaceElement>());
  objects.push_back(std::make_unique<TVHDLGeneric>());
  objects.push_back(std::make_unique<TVHDLSignal>());
  objects.push_back(std::make_unique<TVHDLPort>());
  objects.push_back(std::make_unique<TComponentDeclaration>());
  objects.push_back(std::make_unique<TVHDLAttribute>());
  objects.push_back(std::make_unique<TVHDLConstant>());
  objects.push_back(std::make_unique<TEntityInstance>(nullptr, &entity));
  objects.push_back(std::make_unique<TMappedPort>(nullptr, &instance));
  objects.push_back(std::make_unique<TMappedGeneric>(nullptr, &instance));
  for (const auto& object : objects) {
    EXPECT_EQ(object->LineNumber, 9999);
    EXPECT_EQ(object->ColumnNumber, 9999);
  }
}

TEST(VHDLObjects, ObjectHandsLogLinesAndPrimitivesToItsReader) {
  TStubParser parser;
  TVHDLAttribute attribute(&parser);
  attribute.LogLine(L"New Entity:CHIP");
  EXPECT_EQ(parser.Log, std::vector<std::wstring>{L"New Entity:CHIP"});
  attribute.ExpectReservedWord(VHDLWord_DownTo);
  EXPECT_EQ(parser.Asked, std::vector<std::wstring>{L"word 44"});
  EXPECT_EQ(attribute.ExpectIdentifier(), L"ident");
  EXPECT_EQ(attribute.ExpectIdentifierOrConstant(), L"ident-or-constant");
  EXPECT_EQ(attribute.ExpectExpression(14, 5), L"glued 14,5");
  EXPECT_EQ(attribute.ExpectExpression(14, 5, 8), L"spaced 14,5,8");
  EXPECT_EQ(attribute.PeekReservedWord(), VHDLWord_To);
  EXPECT_EQ(attribute.PeekIdentifier(), L"peeked");
}

TEST(VHDLObjects, ObjectWithoutAReaderLogsNothingAndRefusesToRead) {
  TVHDLConstant constant;
  EXPECT_NO_THROW(constant.LogLine(L"dropped"));
  EXPECT_THROW(constant.ExpectReservedWord(VHDLWord_To), EVHDLParserError);
  EXPECT_THROW(constant.ExpectIdentifier(), EVHDLParserError);
  EXPECT_THROW(constant.ExpectIdentifierOrConstant(), EVHDLParserError);
  EXPECT_THROW(constant.ExpectExpression(14, 5), EVHDLParserError);
  EXPECT_THROW(constant.ExpectExpression(14, 5, 8), EVHDLParserError);
  EXPECT_THROW(constant.PeekReservedWord(), EVHDLParserError);
  EXPECT_THROW(constant.PeekIdentifier(), EVHDLParserError);
}

TEST(VHDLParserError, RecordsTheReadersPositionAndNamesItInTheMessage) {
  TStubParser parser;
  parser.Line = 11;
  parser.Column = 0;
  const EVHDLParserError error(&parser, L"Identifier Expected");
  EXPECT_EQ(error.Message(), L"Identifier Expected at Line: 12 Offset: 1");
  EXPECT_STREQ(error.what(), "Identifier Expected at Line: 12 Offset: 1");
  EXPECT_EQ(error.Parser, &parser);
  EXPECT_EQ(parser.Error_LineNumber, 12);
  EXPECT_EQ(parser.Error_ColumnNumber, 1);

  const EVHDLParserError without(nullptr, L"Identifier Expected");
  EXPECT_EQ(without.Message(), L"Identifier Expected");
}

// ---- defaults -----------------------------------------------------------------

TEST(VHDLObjects, NewObjectsHoldTheirDefaults) {
  const std::vector<std::pair<std::shared_ptr<TInterfaceElement>, TElementKind>> elements = {
      {std::make_shared<TInterfaceElement>(), eElementAbstract},
      {std::make_shared<TVHDLGeneric>(), eElementGenericDeclaration},
      {std::make_shared<TVHDLSignal>(), eElementSignalDeclaration},
      {std::make_shared<TVHDLPort>(), eElementPortDeclaration}};
  for (const auto& [element, kind] : elements) {
    EXPECT_EQ(element->ElementKind, kind);
    EXPECT_EQ(element->ElementIndex, 0);
    EXPECT_EQ(element->FName, L"");
    EXPECT_EQ(element->FMode, eElectricIO);
    EXPECT_EQ(element->FArrayDirection, -1);
    EXPECT_EQ(element->SubTypeIndication + element->DefaultValue + element->Expression1 +
                  element->Expression2,
              L"");
    EXPECT_EQ(element->LinkedPin, nullptr);
  }

  TVHDLAttribute attribute;
  EXPECT_EQ(attribute.AttributeKind, eAttributeKind_None);
  EXPECT_EQ(attribute.AttributeTarget, eAttributeTarget_None);
  EXPECT_EQ(attribute.AttributeTargetKind, -1);
  EXPECT_TRUE(attribute.TargetList.empty());
  EXPECT_EQ(attribute.AttributeDesignator + attribute.AttributeExpression +
                attribute.AttributeTypeId,
            L"");

  TEntity entity;
  TEntityInstance instance(nullptr, &entity);
  EXPECT_EQ(instance.Entity, &entity);
  EXPECT_EQ(instance.ComponentDeclaration, nullptr);
  EXPECT_EQ(instance.EntityDeclaration, nullptr);
  EXPECT_EQ(instance.GenericMap.Count() + instance.PortMap.Count(), 0);

  const std::vector<std::pair<std::shared_ptr<TAssociationElement>, TElementKind>> maps = {
      {std::make_shared<TAssociationElement>(nullptr, &instance), eElementAbstract},
      {std::make_shared<TMappedPort>(nullptr, &instance), eElementPortMap},
      {std::make_shared<TMappedGeneric>(nullptr, &instance), eElementGenericMap}};
  for (const auto& [element, kind] : maps) {
    EXPECT_EQ(element->ElementKind, kind);
    EXPECT_EQ(element->ComponentInstance, &instance);
    EXPECT_EQ(element->Formal_ArrayDirection, -1);
    EXPECT_EQ(element->Actual_ArrayDirection, -1);
    EXPECT_EQ(element->SignalOrPort, nullptr);
    EXPECT_EQ(element->VHDLPort, nullptr);
  }
}

// ---- descriptions and schematic identifiers -------------------------------------

struct TElementCase {
  std::wstring Name;
  TPinElectrical Mode;
  std::wstring Type;
  std::int32_t Direction;
  std::wstring Expression1;
  std::wstring Expression2;
  std::wstring Default;
  std::wstring Description;
  std::wstring SchematicId;
};

template <class T> std::unique_ptr<T> MakeElement(const TElementCase& ACase) {
  auto element = std::make_unique<T>();
  element->FName = ACase.Name;
  element->FMode = ACase.Mode;
  element->SubTypeIndication = ACase.Type;
  element->FArrayDirection = ACase.Direction;
  element->Expression1 = ACase.Expression1;
  element->Expression2 = ACase.Expression2;
  element->DefaultValue = ACase.Default;
  return element;
}

const std::vector<TElementCase> kPortCases = {
    {L"DATA", eElectricInput, L"std_logic_vector", VHDLWord_DownTo, L"7", L"0", L"",
     L"Port DATA Input : std_logic_vector(7 downto 0)", L"DATA[7..0]"},
    {L"ADDR", eElectricOutput, L"bit_vector", VHDLWord_To, L"0", L"15", L"",
     L"Port ADDR Output : bit_vector(0 to 15)", L"ADDR[0..15]"},
    {L"DATA", eElectricIO, L"std_logic_vector", VHDLWord_To, L"3", L"3", L"",
     L"Port DATA I/O : std_logic_vector(3)", L"DATA3"},
    {L"DATA", eElectricIO, L"std_logic_vector", VHDLWord_To, L"N", L"N", L"",
     L"Port DATA I/O : std_logic_vector(N)", L"DATA(N)"},
    {L"TDO", eElectricOpenCollector, L"bit", NoArrayDirection, L"", L"", L"'0'",
     L"Port TDO Open Collector : bit := '0'", L"TDO"},
    // Range expressions are trimmed before they are compared.
    {L"DATA", eElectricIO, L"bit_vector", VHDLWord_To, L" 3", L"3 ", L"",
     L"Port DATA I/O : bit_vector( 3 to 3 )", L"DATA3"},
    // Every decimal integer of 32 bits is an index but -999, which stands
    // for no number; one beyond 32 bits is not.
    {L"DATA", eElectricIO, L"bit_vector", VHDLWord_To, L"-998", L"-998", L"",
     L"Port DATA I/O : bit_vector(-998)", L"DATA-998"},
    {L"DATA", eElectricIO, L"bit_vector", VHDLWord_To, L"-999", L"-999", L"",
     L"Port DATA I/O : bit_vector(-999)", L"DATA(-999)"},
    {L"DATA", eElectricIO, L"bit_vector", VHDLWord_To, L"4294967296", L"4294967296", L"",
     L"Port DATA I/O : bit_vector(4294967296)", L"DATA(4294967296)"},
    // A direction that is no word identifier writes no word and reads
    // nothing outside the word table.
    {L"BUS", eElectricIO, L"bit_vector", 5000, L"0", L"7", L"", L"Port BUS I/O : bit_vector(0  7)",
     L"BUS[0..7]"},
};

TEST(VHDLDescriptions, PortsDescribeModeTypeRangeAndDefault) {
  for (const auto& c : kPortCases) {
    EXPECT_EQ(MakeElement<TVHDLPort>(c)->GetState_StringDescriptor(), c.Description)
        << c.Description;
  }
}

TEST(VHDLDescriptions, EachInterfaceClassPutsItsWordInFront) {
  const TElementCase c = {
      L"WIDTH", eElectricInput, L"integer", NoArrayDirection, L"", L"", L"8", L"", L""};
  EXPECT_EQ(MakeElement<TVHDLGeneric>(c)->GetState_StringDescriptor(),
            L"Generic WIDTH Input : integer := 8");
  EXPECT_EQ(MakeElement<TVHDLSignal>(c)->GetState_StringDescriptor(),
            L"Signal WIDTH Input : integer := 8");
  EXPECT_EQ(MakeElement<TVHDLPort>(c)->GetState_StringDescriptor(),
            L"Port WIDTH Input : integer := 8");
  EXPECT_EQ(MakeElement<TInterfaceElement>(c)->GetState_StringDescriptor(),
            L"WIDTH Input : integer := 8");
}

TEST(VHDLDescriptions, AttributesAndConstantsNameOnlyTheirClass) {
  TVHDLAttribute attribute;
  attribute.AttributeDesignator = L"BOUNDARY_LENGTH";
  TVHDLConstant constant;
  constant.ConstantDesignators = {L"PINMAP"};
  EXPECT_EQ(attribute.GetState_StringDescriptor(), L"Attribute ");
  EXPECT_EQ(constant.GetState_StringDescriptor(), L"Constant ");
  EXPECT_EQ(TVHDLObject().GetState_StringDescriptor(), L"");
}

TEST(VHDLSchematicIds, RangesBecomeBusesAndNumericIndexesJoinTheName) {
  for (const auto& c : kPortCases) {
    EXPECT_EQ(MakeElement<TVHDLPort>(c)->GetState_AsSchematicId(), c.SchematicId) << c.Description;
  }
}

TEST(VHDLSchematicIds, RangeExpressionsAreTrimmedInPlace) {
  TVHDLSignal signal;
  signal.FName = L"S";
  signal.FArrayDirection = VHDLWord_DownTo;
  signal.Expression1 = L"\t7 ";
  signal.Expression2 = L"  0";
  EXPECT_EQ(signal.GetState_AsSchematicId(), L"S[7..0]");
  EXPECT_EQ(signal.Expression1, L"7");
  EXPECT_EQ(signal.Expression2, L"0");
}

// ---- association elements ----------------------------------------------------

TEST(VHDLAssociations, ElementWithoutLinksShowsOnlyItsKindAndArrow) {
  TEntity entity;
  TComponentInstance instance(nullptr, &entity);
  instance.Name = L"U1";
  TMappedPort port(nullptr, &instance);
  port.FormalPart = L"A";
  port.ActualPart = L"S";
  EXPECT_EQ(port.GetState_StringDescriptor(), L"Port Map  => ");
  EXPECT_EQ(TMappedGeneric(nullptr, &instance).GetState_StringDescriptor(), L"Generic Map  => ");
  EXPECT_EQ(TAssociationElement(nullptr, &instance).GetState_StringDescriptor(),
            L"Abstract Element  => ");
}

TEST(VHDLAssociations, LinkedElementShowsInstancePortAndActualWithItsRange) {
  TEntity entity;
  TComponentInstance instance(nullptr, &entity);
  instance.Name = L"U1";
  TVHDLPort componentPort;
  componentPort.FName = L"A";
  TVHDLSignal signal;
  signal.FName = L"BUS";

  TMappedPort element(nullptr, &instance);
  element.VHDLPort = &componentPort;
  element.SignalOrPort = &signal;
  EXPECT_EQ(element.GetState_StringDescriptor(), L"Port Map U1-A => BUS(Signal)");
  element.Actual_ArrayDirection = VHDLWord_DownTo;
  element.Actual_Expression1 = L"3";
  element.Actual_Expression2 = L"0";
  EXPECT_EQ(element.GetState_StringDescriptor(), L"Port Map U1-A => BUS(Signal)(3 downto 0)");
  element.Actual_Expression2 = L"3";
  EXPECT_EQ(element.GetState_StringDescriptor(), L"Port Map U1-A => BUS(Signal)(3)");

  // An element made without an instance still describes its port.
  TMappedPort orphan(nullptr, nullptr);
  orphan.VHDLPort = &componentPort;
  EXPECT_EQ(orphan.GetState_StringDescriptor(), L"Port Map -A => ");
}

// ---- lists and ownership --------------------------------------------------------

TEST(VHDLEntities, InterfaceElementsAreKeyedUpperCaseAndNumberedByTheirList) {
  TEntity entity;
  std::vector<TVHDLPort*> ports;
  for (const wchar_t* name : {L"tdo", L"Data", L"TCK"}) {
    auto port = std::make_unique<TVHDLPort>();
    port->FName = name;
    ports.push_back(AddInterfaceElement(entity.Ports, std::move(port)));
  }
  auto generic = std::make_unique<TVHDLGeneric>();
  generic->FName = L"width";
  TVHDLGeneric* width = AddInterfaceElement(entity.Generics, std::move(generic));

  EXPECT_EQ(ports[0]->ElementIndex, 0);
  EXPECT_EQ(ports[1]->ElementIndex, 1);
  EXPECT_EQ(ports[2]->ElementIndex, 2);
  EXPECT_EQ(width->ElementIndex, 0);
  EXPECT_EQ(entity.Ports.Find(L"TDO"), ports[0]);
  EXPECT_EQ(entity.Ports.Find(L"DATA"), ports[1]);
  EXPECT_EQ(entity.Ports.Find(L"Data"), nullptr);
  EXPECT_EQ(entity.Generics.Find(L"WIDTH"), width);
  ASSERT_EQ(entity.Ports.Count(), 3);
  EXPECT_EQ(entity.Ports.Key(0), L"DATA");
}

TEST(VHDLEntities, AttributesAndConstantsSitUnderTheEmptyKeyOthersUnderTheirName) {
  TEntity entity;
  auto attribute = std::make_unique<TVHDLAttribute>();
  attribute->AttributeDesignator = L"BOUNDARY_LENGTH";
  TVHDLAttribute* length = AddAttribute(entity, std::move(attribute));
  TVHDLConstant* constant = AddConstant(entity, std::make_unique<TVHDLConstant>());
  auto declaration = std::make_unique<TComponentDeclaration>();
  declaration->Name = L"and2";
  TComponentDeclaration* and2 = AddComponentDeclaration(entity, std::move(declaration));
  auto instance = std::make_unique<TComponentInstance>(nullptr, &entity);
  instance->Name = L"u1";
  TComponentInstance* u1 = AddComponentInstance(entity, std::move(instance));

  EXPECT_EQ(entity.Attributes.Find(L""), length);
  EXPECT_EQ(entity.Constants.Find(L""), constant);
  EXPECT_EQ(entity.ComponentDeclarations.Find(L"AND2"), and2);
  EXPECT_EQ(entity.ComponentInstances.Find(L"U1"), u1);
}

TEST(VHDLEntities, MapElementsGoToTheirMapAndOntoTheirSignalOrPort) {
  TEntity entity;
  auto* signal = AddInterfaceElement(entity.Signals, std::make_unique<TVHDLSignal>());
  signal->FName = L"N1";
  auto* instance =
      AddComponentInstance(entity, std::make_unique<TComponentInstance>(nullptr, &entity));

  auto port = std::make_unique<TMappedPort>(nullptr, instance);
  port->FormalPart = L"a";
  TAssociationElement* a = AddAssociationElement(*instance, std::move(port));
  auto generic = std::make_unique<TMappedGeneric>(nullptr, instance);
  generic->FormalPart = L"width";
  TAssociationElement* width = AddAssociationElement(*instance, std::move(generic));
  MapOnto(*signal, *a);

  EXPECT_EQ(instance->PortMap.Find(L"A"), a);
  EXPECT_EQ(instance->GenericMap.Find(L"WIDTH"), width);
  EXPECT_EQ(a->SignalOrPort, signal);
  EXPECT_EQ(signal->MappedPorts.Find(L"A"), a);

  EXPECT_THROW(
      AddAssociationElement(*instance, std::make_unique<TAssociationElement>(nullptr, instance)),
      std::invalid_argument);
  TVHDLGeneric notMappable;
  EXPECT_THROW(MapOnto(notMappable, *width), std::invalid_argument);
  EXPECT_EQ(width->SignalOrPort, nullptr);
}

// Counts how often its objects are freed.
class TCountedPort : public TMappedPort {
public:
  TCountedPort(TComponentInstance* AInstance, int& AFreed)
      : TMappedPort(nullptr, AInstance), FFreed(AFreed) {}
  ~TCountedPort() override { ++FFreed; }

private:
  int& FFreed;
};

TEST(VHDLEntities, EntityFreesEveryMapElementOnceWithItsInstance) {
  int freed = 0;
  {
    TEntity entity;
    auto* port = AddInterfaceElement(entity.Ports, std::make_unique<TVHDLPort>());
    auto* signal = AddInterfaceElement(entity.Signals, std::make_unique<TVHDLSignal>());
    auto* instance =
        AddComponentInstance(entity, std::make_unique<TComponentInstance>(nullptr, &entity));
    auto* onPort =
        AddAssociationElement(*instance, std::make_unique<TCountedPort>(instance, freed));
    auto* onSignal =
        AddAssociationElement(*instance, std::make_unique<TCountedPort>(instance, freed));
    MapOnto(*port, *onPort);
    MapOnto(*signal, *onSignal);
  }
  EXPECT_EQ(freed, 2);
}

} // namespace
